#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "installer/engine/cmp_TTranslator/kvralanguage.h"
#include "platform/classes/classes.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/strings.h"
#include "platform/ui/buttons.h"
#include "platform/ui/stdctrls.h"

class TControl;
class TFont;
class TLanguage;
class TTranslator;

// ---- Languages ---------------------------------------------------------------------

// "Spanish"; klUser gives the name of the user's language ("" when unknown).
std::string LangIdToString(TKvraLanguage ident);
// The language of a Windows language identifier (primary language in its low
// 10 bits); languages without a table of their own give klEnglish.
TKvraLanguage LanguageOfLangId(uint16_t langId);

// ---- String tables -------------------------------------------------------------------

// One entry of a table, with the 0-based line that defined it.
class TLanguageElement : public TObject
{
public:
    TLanguageElement(int glid, TLanguage *language, int lineIndex);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    int GLID() const { return glid_; }
    TLanguage *Language() const { return language_; }
    int LineIndex() const { return lineIndex_; }

private:
    int glid_;
    TLanguage *language_;
    int lineIndex_;
};

class TLanguageString : public TLanguageElement
{
public:
    TLanguageString(int glid, TLanguage *language, int lineIndex, std::string text);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const std::string &Text() const { return text_; }

private:
    std::string text_;
};

class TLanguageMemo : public TLanguageElement
{
public:
    TLanguageMemo(int glid, TLanguage *language, int lineIndex);
    ~TLanguageMemo() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TStringList *Lines() const { return lines_.get(); }

private:
    std::unique_ptr<TStringList> const lines_;
};

// The raw lines of a language's table, in the "GLID;Text" format:
//   * a comment (skipped everywhere, blank lines too)
//   4;< Previous            GLID 4; the text ends at a further ';'
//   #12;                    opens memo 12; its lines follow, up to a line "#"
// The table is parsed again after every change (a batch of changes between
// BeginUpdate and EndUpdate, Assign and loading, once at the end). A faulty
// line raises Exception naming its 0-based index and leaves the parsed lists empty.
class TLangFormatStrings : public TStringList
{
public:
    explicit TLangFormatStrings(TLanguage *language);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

protected:
    void Changed() override;

private:
    TLanguage *language_;
};

// One language of a translator: its table, its parsed strings and memos, and
// the font that shows it.
class TLanguage : public TPersistent
{
public:
    TLanguage(TTranslator *translator, TKvraLanguage ident);
    ~TLanguage() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Published
    TFont *Font() const;
    void SetFont(TFont *value); // copies
    bool FontOverride() const;
    void SetFontOverride(bool value);
    TKvraLanguage LanguageIdent() const;
    TLangFormatStrings *Strings() const;
    void SetStrings(TStrings *value); // copies

    // What it is
    TTranslator *Translator() const;
    std::string LanguageName() const;
    const std::string &FlagBitmapName() const; // "BM_LANG_SPANISH", for the language page
    const std::string &TextFileName() const; // "kvriSpanish.txt", carried only

    // Parsing the table
    bool ParseOnChange() const;
    void SetParseOnChange(bool value);
    void Parse(); // raises Exception for a faulty table

    // Lookups: each answers the first match in table order, or nil
    int StringCount() const;
    TLanguageString *StringItem(int index) const;
    int MemoCount() const;
    TLanguageMemo *MemoItem(int index) const;
    TLanguageString *FindStringByGLID(int glid) const;
    TLanguageMemo *FindMemoByGLID(int glid) const;
    TLanguageString *FindStringByText(const std::string &text) const; // case-insensitive
    TLanguageMemo *FindMemoByLines(const TStrings &lines) const; // exact

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
};

// ---- The translator ------------------------------------------------------------------

// Holds one table per language (klUser has none) and translates texts, memos,
// components and whole forms from one language into TranslateIntoLanguage:
// the English wording (or the GLID of a translate control) gives the GLID, the
// GLID the target language's text. Anything missing leaves a text as it was.
// The first translator created is the global one, which also translates the
// toolkit's messages (TranslateString).
class TTranslator : public TComponent
{
public:
    explicit TTranslator(TComponent *owner);
    ~TTranslator() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Languages, in ident order
    int GetLanguageCount() const; // 16
    TLanguage *GetLanguage(int index) const;
    TLanguage *FindLanguage(TKvraLanguage ident) const; // nil for klUser
    TLanguage *GetUserLanguage() const; // nil when the user's language is unknown
    TLanguage *GetTargetLanguage() const;

    // Target
    TKvraLanguage TranslateIntoLanguage() const;
    void SetTranslateIntoLanguage(TKvraLanguage value);

    // Translating
    std::string TranslateText(TKvraLanguage fromLanguage, const std::string &text) const;
    std::string TranslateGLID(int glid, const std::string &text) const;
    void TranslateMemo(TKvraLanguage fromLanguage, const TStrings &source, TStringList &dest) const;
    // The language the component's texts are in afterwards: fromLanguage when
    // the target's table is empty, else TranslateIntoLanguage.
    TKvraLanguage TranslateComponent(TKvraLanguage fromLanguage, TComponent *component);
    TKvraLanguage TranslateComponentInto(
        TKvraLanguage fromLanguage, TKvraLanguage target, TComponent *component);

    // The target language's font on control and its children; with an empty
    // target table and not keepWhenEmpty, English's.
    void ApplyFont(TControl *control, bool keepWhenEmpty);
    void ApplyFontInto(TKvraLanguage target, TControl *control, bool keepWhenEmpty);

    // Published languages
    TLanguage *lgChineseSimplified() const { return FindLanguage(klChineseSimplified); }
    TLanguage *lgCzech() const { return FindLanguage(klCzech); }
    TLanguage *lgDanish() const { return FindLanguage(klDanish); }
    TLanguage *lgEnglish() const { return FindLanguage(klEnglish); }
    TLanguage *lgFrench() const { return FindLanguage(klFrench); }
    TLanguage *lgGerman() const { return FindLanguage(klGerman); }
    TLanguage *lgGreek() const { return FindLanguage(klGreek); }
    TLanguage *lgHebrew() const { return FindLanguage(klHebrew); }
    TLanguage *lgItalian() const { return FindLanguage(klItalian); }
    TLanguage *lgJapanese() const { return FindLanguage(klJapanese); }
    TLanguage *lgKorean() const { return FindLanguage(klKorean); }
    TLanguage *lgPolish() const { return FindLanguage(klPolish); }
    TLanguage *lgPortugese() const { return FindLanguage(klPortugese); }
    TLanguage *lgRussian() const { return FindLanguage(klRussian); }
    TLanguage *lgSpanish() const { return FindLanguage(klSpanish); }
    TLanguage *lgVietnamese() const { return FindLanguage(klVietnamese); }

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
    TLanguage *LanguageObject(TKvraLanguage ident) const; // klUser: the user's
    void TranslateOne(TKvraLanguage fromLanguage, TComponent *component);
};

// The global translator (the first one created), or nil.
TTranslator *GlobalTranslator();

// ---- Controls translated by number -------------------------------------------------------

// A GLID above 0 takes the caption from the target table by number; 0
// translates the caption by its text like any label; below 0 leaves it alone.
class TTranslateLabel : public TLabel
{
public:
    explicit TTranslateLabel(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    int GLID() const { return glid_; }
    void SetGLID(int value) { glid_ = value; }

private:
    int glid_ = 0;
};

class TTranslateBitBtn : public TBitBtn
{
public:
    explicit TTranslateBitBtn(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    int GLID() const { return glid_; }
    void SetGLID(int value) { glid_ = value; }

private:
    int glid_ = 0;
};

// ---- Free routines over the global translator -------------------------------------------
// Without a global translator they leave everything as it is and answer current.

TKvraLanguage TranslateForm(TKvraLanguage current, TComponent *form);
TKvraLanguage TranslateFormInto(TKvraLanguage current, TKvraLanguage target, TComponent *form);
void ApplyLanguageFont(TControl *form);
void ApplyLanguageFontInto(TKvraLanguage target, TControl *form);
