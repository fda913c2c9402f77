#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"

#include <vector>

#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/windows.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/controls.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics.h"
#include "platform/ui/stdctrls.h"

const TEnumNames KvraLanguageNames { "klChineseSimplified", "klCzech", "klDanish", "klEnglish", "klFrench",
    "klGerman", "klGreek", "klHebrew", "klItalian", "klJapanese", "klKorean", "klPolish", "klPortugese",
    "klRussian", "klSpanish", "klUser", "klVietnamese" };

const TMetaClass TLanguageElement::Class { "TLanguageElement", &TObject::Class };
const TMetaClass TLanguageString::Class { "TLanguageString", &TLanguageElement::Class };
const TMetaClass TLanguageMemo::Class { "TLanguageMemo", &TLanguageElement::Class };
const TMetaClass TLangFormatStrings::Class { "TLangFormatStrings", &TStringList::Class };
const TMetaClass TLanguage::Class { "TLanguage", &TPersistent::Class };
const TMetaClass TTranslator::Class { "TTranslator", &TComponent::Class };
const TMetaClass TTranslateLabel::Class { "TTranslateLabel", &TLabel::Class };
const TMetaClass TTranslateBitBtn::Class { "TTranslateBitBtn", &TBitBtn::Class };

// A language's ident is fixed when the translator makes it.
static const auto RefuseLanguageIdent
    = [](TLanguage *, TKvraLanguage) { throw EPropertyError("Property LanguageIdent is read-only"); };

// clang-format off
using PLanguage = TPublish<TLanguage>;
static const TClassRegistrar<TLanguage> languageRegistrar({
    //                    name              names               getter                      setter                      default
    PLanguage::Persistent("Font",                               &TLanguage::Font,           &TLanguage::SetFont),
    PLanguage::Boolean   ("FontOverride",                       &TLanguage::FontOverride,   &TLanguage::SetFontOverride, false),
    PLanguage::Enum      ("LanguageIdent",  KvraLanguageNames,  &TLanguage::LanguageIdent,  RefuseLanguageIdent,        NoDefault, false),
    PLanguage::Strings   ("Strings",                            &TLanguage::Strings),
});

using PTranslator = TPublish<TTranslator>;
static const TClassRegistrar<TTranslator> translatorRegistrar({
    //                     name                     names              getter                                setter
    PTranslator::Persistent("lgChineseSimplified",                     &TTranslator::lgChineseSimplified),
    PTranslator::Persistent("lgCzech",                                 &TTranslator::lgCzech),
    PTranslator::Persistent("lgDanish",                                &TTranslator::lgDanish),
    PTranslator::Persistent("lgEnglish",                               &TTranslator::lgEnglish),
    PTranslator::Persistent("lgFrench",                                &TTranslator::lgFrench),
    PTranslator::Persistent("lgGerman",                                &TTranslator::lgGerman),
    PTranslator::Persistent("lgGreek",                                 &TTranslator::lgGreek),
    PTranslator::Persistent("lgHebrew",                                &TTranslator::lgHebrew),
    PTranslator::Persistent("lgItalian",                               &TTranslator::lgItalian),
    PTranslator::Persistent("lgJapanese",                              &TTranslator::lgJapanese),
    PTranslator::Persistent("lgKorean",                                &TTranslator::lgKorean),
    PTranslator::Persistent("lgPolish",                                &TTranslator::lgPolish),
    PTranslator::Persistent("lgPortugese",                             &TTranslator::lgPortugese),
    PTranslator::Persistent("lgRussian",                               &TTranslator::lgRussian),
    PTranslator::Persistent("lgSpanish",                               &TTranslator::lgSpanish),
    PTranslator::Persistent("lgVietnamese",                            &TTranslator::lgVietnamese),
    PTranslator::Enum      ("TranslateIntoLanguage", KvraLanguageNames, &TTranslator::TranslateIntoLanguage,
                                                                       &TTranslator::SetTranslateIntoLanguage, klUser),
});

static const TClassRegistrar<TTranslateLabel> translateLabelRegistrar({
    TPublish<TTranslateLabel>::Integer("GLID", &TTranslateLabel::GLID, &TTranslateLabel::SetGLID, NoDefault),
});
static const TClassRegistrar<TTranslateBitBtn> translateBitBtnRegistrar({
    TPublish<TTranslateBitBtn>::Integer("GLID", &TTranslateBitBtn::GLID, &TTranslateBitBtn::SetGLID, NoDefault),
});
// clang-format on

// ---- Languages ---------------------------------------------------------------------

namespace
{

struct LanguageFacts {
    const char *name;
    const char *flagBitmap;
    TFontCharset charset;
    const char *face; // nullptr: keep the control's face
    int minimumSize;
};

// By ident; klUser's row is empty. The far-eastern faces are the fonts Windows
// ships for those scripts, named in UTF-8.
const LanguageFacts Facts[] = {
    { "ChineseSimplified", "BM_LANG_SIMPCHINESE", 134, "\u65B0\u7D30\u660E\u9AD4", 9 },
    { "Czech", "BM_LANG_CZECH", 238, "Arial", 8 },
    { "Danish", "BM_LANG_DANISH", 0, "Arial", 8 },
    { "English", "BM_LANG_ENGLISH", 0, "Arial", 8 },
    { "French", "BM_LANG_FRENCH", 0, "Arial", 8 },
    { "German", "BM_LANG_GERMAN", 0, "MS Sans Serif", 8 },
    { "Greek", "BM_LANG_GREEK", 0, "SGreek", 8 },
    { "Hebrew", "BM_LANG_HEBREW", 177, nullptr, 0 },
    { "Italian", "BM_LANG_ITALIAN", 0, "Arial", 8 },
    { "Japanese", "BM_LANG_JAPANESE", 128, "\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF", 9 },
    { "Korean", "BM_LANG_KOREAN", 129, "\uBC14\uD0D5", 9 },
    { "Polish", "BM_LANG_POLISH", 238, "Arial", 8 },
    { "Portugese", "BM_LANG_PORTUGESE", 238, "Arial", 8 },
    { "Russian", "BM_LANG_RUSSIAN", 204, "Arial", 8 },
    { "Spanish", "BM_LANG_SPANISH", 0, "Arial", 8 },
    { "", "", 0, nullptr, 0 },
    { "Vietnamese", "BM_LANG_VIETNAMESE", 163, "Arial", 8 },
};

const TKvraLanguage TableLanguages[]
    = { klChineseSimplified, klCzech, klDanish, klEnglish, klFrench, klGerman, klGreek, klHebrew, klItalian,
          klJapanese, klKorean, klPolish, klPortugese, klRussian, klSpanish, klVietnamese };

TTranslator *globalTranslator = nullptr;

// The language tables and the translator hand out their owned items by index
// with the class library's list error.
template <typename T> T *ItemAt(const std::vector<std::unique_ptr<T>> &items, int index)
{
    if (index < 0 || index >= static_cast<int>(items.size()))
        throw EListError(Format("List index out of bounds (%d)", index));
    return items[static_cast<size_t>(index)].get();
}

template <typename T> T *FirstWithGLID(const std::vector<std::unique_ptr<T>> &items, int glid)
{
    for (const auto &item : items)
        if (item->GLID() == glid)
            return item.get();
    return nullptr;
}

} // namespace

TKvraLanguage LanguageOfLangId(uint16_t langId)
{
    switch (langId & 0x3FF) {
    case 4:
        return klChineseSimplified;
    case 5:
        return klCzech;
    case 6:
        return klDanish;
    case 7:
        return klGerman;
    case 8:
        return klGreek;
    case 10:
        return klSpanish;
    case 12:
        return klFrench;
    case 13:
        return klHebrew;
    case 16:
        return klItalian;
    case 17:
        return klJapanese;
    case 18:
        return klKorean;
    case 21:
        return klPolish;
    case 22:
        return klPortugese;
    case 25:
        return klRussian;
    case 42:
        return klVietnamese;
    default:
        return klEnglish;
    }
}

std::string LangIdToString(TKvraLanguage ident)
{
    if (ident == klUser)
        ident = LanguageOfLangId(GetUserDefaultLangID());
    if (ident < klChineseSimplified || ident > klVietnamese)
        return {};
    return Facts[ident].name;
}

// ---- Table entries --------------------------------------------------------------------

TLanguageElement::TLanguageElement(int glid, TLanguage *language, int lineIndex)
    : glid_(glid)
    , language_(language)
    , lineIndex_(lineIndex)
{
}

TLanguageString::TLanguageString(int glid, TLanguage *language, int lineIndex, std::string text)
    : TLanguageElement(glid, language, lineIndex)
    , text_(std::move(text))
{
}

TLanguageMemo::TLanguageMemo(int glid, TLanguage *language, int lineIndex)
    : TLanguageElement(glid, language, lineIndex)
    , lines_(std::make_unique<TStringList>())
{
}

TLanguageMemo::~TLanguageMemo() = default;

TLangFormatStrings::TLangFormatStrings(TLanguage *language)
    : language_(language)
{
}

// Every finished change re-parses, so what is found is always what the lines
// say now, deleted lines included.
void TLangFormatStrings::Changed()
{
    TStringList::Changed();
    if (UpdateCount() == 0 && language_ && language_->ParseOnChange())
        language_->Parse();
}

// ---- The language ---------------------------------------------------------------------

struct TLanguage::Impl {
    TTranslator *translator;
    TKvraLanguage ident;
    std::string flagBitmapName;
    std::string textFileName;
    std::unique_ptr<TFont> font = std::make_unique<TFont>();
    bool fontOverride = false;
    bool parseOnChange = true;
    std::unique_ptr<TLangFormatStrings> strings;
    std::vector<std::unique_ptr<TLanguageString>> parsedStrings;
    std::vector<std::unique_ptr<TLanguageMemo>> parsedMemos;
};

TLanguage::TLanguage(TTranslator *translator, TKvraLanguage ident)
    : d(std::make_unique<Impl>())
{
    d->translator = translator;
    d->ident = ident;
    d->flagBitmapName = Facts[ident].flagBitmap;
    d->textFileName = std::string("kvri") + Facts[ident].name + ".txt";
    d->strings = std::make_unique<TLangFormatStrings>(this);
}

TLanguage::~TLanguage() = default;

TFont *TLanguage::Font() const
{
    return d->font.get();
}
void TLanguage::SetFont(TFont *value)
{
    d->font->Assign(value);
}
bool TLanguage::FontOverride() const
{
    return d->fontOverride;
}
void TLanguage::SetFontOverride(bool value)
{
    d->fontOverride = value;
}
TKvraLanguage TLanguage::LanguageIdent() const
{
    return d->ident;
}
TLangFormatStrings *TLanguage::Strings() const
{
    return d->strings.get();
}
void TLanguage::SetStrings(TStrings *value)
{
    if (value)
        d->strings->Assign(*value);
    else
        d->strings->Clear();
}

TTranslator *TLanguage::Translator() const
{
    return d->translator;
}
std::string TLanguage::LanguageName() const
{
    return LangIdToString(d->ident);
}
const std::string &TLanguage::FlagBitmapName() const
{
    return d->flagBitmapName;
}
const std::string &TLanguage::TextFileName() const
{
    return d->textFileName;
}
bool TLanguage::ParseOnChange() const
{
    return d->parseOnChange;
}
void TLanguage::SetParseOnChange(bool value)
{
    d->parseOnChange = value;
}

// The table, line by line (each trimmed first):
//   blank or starting with '*'   skipped, inside a memo too
//   GLID;Text                   a string; Text is the second ';' item
//   #GLID;                       opens a memo; its lines run to a line "#"
// A memo still open at the end is dropped.
void TLanguage::Parse()
{
    std::vector<std::unique_ptr<TLanguageString>> strings;
    std::vector<std::unique_ptr<TLanguageMemo>> memos;
    std::unique_ptr<TLanguageMemo> memo;

    auto readGlid = [](const std::string &glidText, int index, const std::string &line) {
        int glid = 0;
        if (!TryStrToInt(glidText, glid))
            throw Exception(Format(
                "The %d'th string (%s) does not have the proper format of GLID;Text or .GLID;", index, line));
        return glid;
    };
    auto badFormat = [](int index, const std::string &line) {
        return Exception(
            Format("The %d'th string (%s) does not have the proper format of GLID;Text", index, line));
    };

    d->parsedStrings.clear();
    d->parsedMemos.clear();
    const TStrings &lines = *d->strings;
    for (int index = 0; index < lines.Count(); ++index) {
        const std::string line = Trim(lines[index]);
        if (line.empty() || line[0] == '*')
            continue;
        if (line == "#") {
            if (!memo)
                throw Exception(
                    Format("Found the end of memo marker # at line %d. Was not in a memo however", index));
            memos.push_back(std::move(memo));
            continue;
        }
        if (memo) {
            memo->Lines()->Add(line);
            continue;
        }
        if (line[0] == '#') {
            const std::string glidText = GetItem(line, 1, ";").substr(1);
            if (glidText.empty())
                throw badFormat(index, line);
            memo = std::make_unique<TLanguageMemo>(readGlid(glidText, index, line), this, index);
            continue;
        }
        const std::string glidText = GetItem(line, 1, ";");
        const std::string text = GetItem(line, 2, ";");
        if (glidText.empty() || Trim(text).empty())
            throw badFormat(index, line);
        strings.push_back(
            std::make_unique<TLanguageString>(readGlid(glidText, index, line), this, index, text));
    }
    d->parsedStrings = std::move(strings);
    d->parsedMemos = std::move(memos);
}

int TLanguage::StringCount() const
{
    return static_cast<int>(d->parsedStrings.size());
}
int TLanguage::MemoCount() const
{
    return static_cast<int>(d->parsedMemos.size());
}

TLanguageString *TLanguage::StringItem(int index) const
{
    return ItemAt(d->parsedStrings, index);
}

TLanguageMemo *TLanguage::MemoItem(int index) const
{
    return ItemAt(d->parsedMemos, index);
}

TLanguageString *TLanguage::FindStringByGLID(int glid) const
{
    return FirstWithGLID(d->parsedStrings, glid);
}

TLanguageMemo *TLanguage::FindMemoByGLID(int glid) const
{
    return FirstWithGLID(d->parsedMemos, glid);
}

TLanguageString *TLanguage::FindStringByText(const std::string &text) const
{
    for (const auto &s : d->parsedStrings)
        if (AnsiSameText(s->Text(), text))
            return s.get();
    return nullptr;
}

TLanguageMemo *TLanguage::FindMemoByLines(const TStrings &lines) const
{
    for (const auto &m : d->parsedMemos) {
        const TStrings &own = *m->Lines();
        bool same = own.Count() == lines.Count();
        for (int i = 0; same && i < own.Count(); ++i)
            same = own[i] == lines[i];
        if (same)
            return m.get();
    }
    return nullptr;
}

// ---- The translator -------------------------------------------------------------------

struct TTranslator::Impl {
    std::vector<std::unique_ptr<TLanguage>> languages; // ident order, no klUser
    TKvraLanguage target = klUser;
};

TTranslator::TTranslator(TComponent *owner)
    : TComponent(owner)
    , d(std::make_unique<Impl>())
{
    for (TKvraLanguage ident : TableLanguages)
        d->languages.push_back(std::make_unique<TLanguage>(this, ident));
    if (!globalTranslator) {
        globalTranslator = this;
        // The hook stays once set and asks whichever translator is global then:
        // a translator freed late in the program's end must not touch it.
        SetTranslateStringHook([](const std::string &text) {
            return globalTranslator ? globalTranslator->TranslateText(klEnglish, text) : text;
        });
    }
}

TTranslator::~TTranslator()
{
    if (globalTranslator == this)
        globalTranslator = nullptr;
}

TTranslator *GlobalTranslator()
{
    return globalTranslator;
}

int TTranslator::GetLanguageCount() const
{
    return static_cast<int>(d->languages.size());
}

TLanguage *TTranslator::GetLanguage(int index) const
{
    return ItemAt(d->languages, index);
}

TLanguage *TTranslator::FindLanguage(TKvraLanguage ident) const
{
    for (const auto &language : d->languages)
        if (language->LanguageIdent() == ident)
            return language.get();
    return nullptr;
}

TLanguage *TTranslator::GetUserLanguage() const
{
    return FindLanguage(LanguageOfLangId(GetUserDefaultLangID()));
}

TLanguage *TTranslator::LanguageObject(TKvraLanguage ident) const
{
    return ident == klUser ? GetUserLanguage() : FindLanguage(ident);
}

TLanguage *TTranslator::GetTargetLanguage() const
{
    return LanguageObject(d->target);
}
TKvraLanguage TTranslator::TranslateIntoLanguage() const
{
    return d->target;
}
void TTranslator::SetTranslateIntoLanguage(TKvraLanguage value)
{
    d->target = value;
}

std::string TTranslator::TranslateText(TKvraLanguage fromLanguage, const std::string &text) const
{
    const TLanguage *from = LanguageObject(fromLanguage);
    const TLanguageString *source = from ? from->FindStringByText(text) : nullptr;
    const TLanguage *target = source ? GetTargetLanguage() : nullptr;
    const TLanguageString *translation = target ? target->FindStringByGLID(source->GLID()) : nullptr;
    return translation ? translation->Text() : text;
}

std::string TTranslator::TranslateGLID(int glid, const std::string &text) const
{
    const TLanguage *target = GetTargetLanguage();
    const TLanguageString *translation = target ? target->FindStringByGLID(glid) : nullptr;
    return translation ? translation->Text() : text;
}

void TTranslator::TranslateMemo(TKvraLanguage fromLanguage, const TStrings &source, TStringList &dest) const
{
    if (&source != &dest)
        dest.Assign(source);
    const TLanguage *from = LanguageObject(fromLanguage);
    const TLanguageMemo *memo = from ? from->FindMemoByLines(source) : nullptr;
    const TLanguage *target = memo ? GetTargetLanguage() : nullptr;
    const TLanguageMemo *translation = target ? target->FindMemoByGLID(memo->GLID()) : nullptr;
    if (translation)
        dest.Assign(*translation->Lines());
}

namespace
{

// A control is hidden while its texts change, so it is not redrawn at every
// one, and a label does not resize to each; both are put back afterwards.
class TWorkingOn
{
public:
    explicit TWorkingOn(TComponent *component)
        : control_(dynamic_cast<TControl *>(component))
    {
        if (!control_)
            return;
        if (!dynamic_cast<TCustomForm *>(control_) && !dynamic_cast<TImage *>(control_)) {
            hidden_ = true;
            wasVisible_ = control_->Visible();
            control_->SetVisible(false);
        }
        if ((label_ = dynamic_cast<TLabel *>(control_))) {
            wasAutoSize_ = label_->AutoSize();
            label_->SetAutoSize(false);
        }
    }
    ~TWorkingOn()
    {
        if (label_)
            label_->SetAutoSize(wasAutoSize_);
        if (hidden_)
            control_->SetVisible(wasVisible_);
        if (auto *windowed = dynamic_cast<TWinControl *>(control_))
            windowed->Realign();
    }
    TWorkingOn(const TWorkingOn &) = delete;
    TWorkingOn &operator=(const TWorkingOn &) = delete;

private:
    TControl *control_;
    TLabel *label_ = nullptr;
    bool hidden_ = false;
    bool wasVisible_ = false;
    bool wasAutoSize_ = false;
};

void TranslateLines(const TTranslator &translator, TKvraLanguage fromLanguage, TStrings &lines)
{
    lines.BeginUpdate();
    try {
        for (int i = 0; i < lines.Count(); ++i) {
            const std::string line = lines[i];
            const std::string translated = translator.TranslateText(fromLanguage, line);
            if (translated != line)
                lines.SetStrings(i, translated);
        }
    } catch (...) {
        lines.EndUpdate();
        throw;
    }
    lines.EndUpdate();
}

} // namespace

void TTranslator::TranslateOne(TKvraLanguage fromLanguage, TComponent *component)
{
    TWorkingOn working(component);

    int glid = 0;
    if (auto *label = dynamic_cast<TTranslateLabel *>(component))
        glid = label->GLID();
    else if (auto *button = dynamic_cast<TTranslateBitBtn *>(component))
        glid = button->GLID();
    if (glid > 0) {
        auto *control = static_cast<TControl *>(component);
        control->SetCaption(TranslateGLID(glid, control->Caption()));
    }
    if (glid == 0) {
        for (const TPropInfo *prop : GetPropList(component)) {
            if (prop->Kind != pkString || SameText(prop->Name, "Name") || !prop->SetStr)
                continue;
            const std::string value = prop->GetStr(component);
            if (Trim(value).empty())
                continue;
            const std::string translated = TranslateText(fromLanguage, value);
            if (translated != value)
                prop->SetStr(component, translated);
        }
        if (auto *memo = dynamic_cast<TMemo *>(component)) {
            TStringList lines;
            TranslateMemo(fromLanguage, *memo->Lines(), lines);
            if (!lines.Equals(*memo->Lines()))
                memo->Lines()->Assign(lines);
        } else if (auto *view = dynamic_cast<TCustomListView *>(component)) {
            for (int i = 0; i < view->ColumnCount(); ++i) {
                TListColumn column = view->Column(i);
                column.Caption = TranslateText(fromLanguage, column.Caption);
                if (column.Caption != view->Column(i).Caption)
                    view->SetColumn(i, column);
            }
        } else if (auto *list = dynamic_cast<TCustomListBox *>(component)) {
            TranslateLines(*this, fromLanguage, *list->Items());
        } else if (auto *combo = dynamic_cast<TCustomComboBox *>(component)) {
            // The chosen item stays chosen, in its new words.
            const int chosen = combo->ItemIndex();
            TranslateLines(*this, fromLanguage, *combo->Items());
            if (chosen >= 0)
                combo->SetItemIndex(chosen);
        } else if (auto *group = dynamic_cast<TRadioGroup *>(component)) {
            TranslateLines(*this, fromLanguage, *group->Items());
        }
    }

    // Owned components, by index: a component's own translation never frees a sibling.
    for (int i = 0; i < component->ComponentCount(); ++i) {
        TComponent *child = component->Components(i);
        if (!dynamic_cast<TCustomForm *>(child))
            TranslateOne(fromLanguage, child);
    }
}

TKvraLanguage TTranslator::TranslateComponent(TKvraLanguage fromLanguage, TComponent *component)
{
    if (!component)
        return fromLanguage;
    TranslateOne(fromLanguage, component);
    const TLanguage *target = GetTargetLanguage();
    return !target || target->Strings()->Count() == 0 ? fromLanguage : d->target;
}

TKvraLanguage TTranslator::TranslateComponentInto(
    TKvraLanguage fromLanguage, TKvraLanguage target, TComponent *component)
{
    const TKvraLanguage saved = d->target;
    d->target = target;
    try {
        const TKvraLanguage result = TranslateComponent(fromLanguage, component);
        d->target = saved;
        return result;
    } catch (...) {
        d->target = saved;
        throw;
    }
}

namespace
{

void SetLanguageFont(TControl *control, const TLanguage &language)
{
    TFont *font = control->Font();
    if (language.FontOverride()) {
        font->Assign(language.Font());
    } else {
        const LanguageFacts &facts = Facts[language.LanguageIdent()];
        font->SetCharset(facts.charset);
        if (facts.face) {
            font->SetName(facts.face);
            if (font->Size() < facts.minimumSize)
                font->SetSize(facts.minimumSize);
        }
    }
    if (auto *windowed = dynamic_cast<TWinControl *>(control))
        for (int i = 0; i < windowed->ControlCount(); ++i)
            SetLanguageFont(windowed->Controls(i), language);
}

} // namespace

void TTranslator::ApplyFont(TControl *control, bool keepWhenEmpty)
{
    const TLanguage *language = GetTargetLanguage();
    if (!language || !control)
        return;
    if (language->Strings()->Count() == 0 && !keepWhenEmpty)
        language = FindLanguage(klEnglish);
    SetLanguageFont(control, *language);
}

void TTranslator::ApplyFontInto(TKvraLanguage target, TControl *control, bool keepWhenEmpty)
{
    const TKvraLanguage saved = d->target;
    d->target = target;
    try {
        ApplyFont(control, keepWhenEmpty);
    } catch (...) {
        d->target = saved;
        throw;
    }
    d->target = saved;
}

// ---- Controls translated by number -------------------------------------------------------

TTranslateLabel::TTranslateLabel(TComponent *owner)
    : TLabel(owner)
{
}

TTranslateBitBtn::TTranslateBitBtn(TComponent *owner)
    : TBitBtn(owner)
{
}

// ---- Free routines -----------------------------------------------------------------------

TKvraLanguage TranslateForm(TKvraLanguage current, TComponent *form)
{
    return globalTranslator ? globalTranslator->TranslateComponent(current, form) : current;
}

TKvraLanguage TranslateFormInto(TKvraLanguage current, TKvraLanguage target, TComponent *form)
{
    return globalTranslator ? globalTranslator->TranslateComponentInto(current, target, form) : current;
}

void ApplyLanguageFont(TControl *form)
{
    if (globalTranslator)
        globalTranslator->ApplyFont(form, false);
}

void ApplyLanguageFontInto(TKvraLanguage target, TControl *form)
{
    if (globalTranslator)
        globalTranslator->ApplyFontInto(target, form, false);
}
