#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/rtl/files.h"
#include "platform/system/windows.h"

namespace
{

// Sets LC_ALL for one test and puts the old value back.
class LocaleGuard
{
public:
    explicit LocaleGuard(const char *locale)
    {
        if (const char *old = std::getenv("LC_ALL"))
            old_ = old;
        setenv("LC_ALL", locale, 1);
    }
    ~LocaleGuard() { old_ ? setenv("LC_ALL", old_->c_str(), 1) : unsetenv("LC_ALL"); }

private:
    std::optional<std::string> old_;
};

void Fill(TLanguage *language, std::initializer_list<const char *> lines)
{
    TStringList list;
    for (const char *line : lines)
        list.Add(line);
    language->SetStrings(&list);
}

std::string ParseError(std::initializer_list<const char *> lines)
{
    TTranslator translator(nullptr);
    try {
        Fill(translator.lgSpanish(), lines);
    } catch (const Exception &e) {
        EXPECT_EQ(translator.lgSpanish()->StringCount(), 0);
        EXPECT_EQ(translator.lgSpanish()->MemoCount(), 0);
        return e.Message();
    }
    return "no error";
}

// ---- The table format ----------------------------------------------------------------

struct BadTable {
    const char *name;
    std::initializer_list<const char *> lines;
    const char *message;
};

const BadTable BadTables[] = {
    { "MissingGlid", { ";x" }, "The 0'th string (;x) does not have the proper format of GLID;Text" },
    { "BlankText", { "4;< Previous", "  5;   ;x" },
        "The 1'th string (5;   ;x) does not have the proper format of GLID;Text" },
    { "NoSemicolon", { "* c", "", "  12  " },
        "The 2'th string (12) does not have the proper format of GLID;Text" },
    { "GlidNotANumber", { "x5;Hola" },
        "The 0'th string (x5;Hola) does not have the proper format of GLID;Text or .GLID;" },
    { "MemoWithoutGlid", { "#;" }, "The 0'th string (#;) does not have the proper format of GLID;Text" },
    { "MemoGlidNotANumber", { "#a1;" },
        "The 0'th string (#a1;) does not have the proper format of GLID;Text or .GLID;" },
    { "EndOfMemoOutsideMemo", { "1;a", "#2;", "line", "#", " # " },
        "Found the end of memo marker # at line 4. Was not in a memo however" },
};

class TableErrors : public ::testing::TestWithParam<BadTable>
{
};

TEST_P(TableErrors, NameTheLineAndLeaveNothingParsed)
{
    EXPECT_EQ(ParseError(GetParam().lines), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(Translator, TableErrors, ::testing::ValuesIn(BadTables),
    [](const ::testing::TestParamInfo<BadTable> &info) { return std::string(info.param.name); });

TEST(TranslatorTable, ReadsStringsMemosCommentsAndBlanks)
{
    TTranslator translator(nullptr);
    TLanguage *english = translator.lgEnglish();
    const std::string longText(300, 'x');
    Fill(english,
        { "* Common strings for standard dialogs", "", "   4;< Previous   ", "5;Next >", "5;Second five",
            "7; two words ;cut here", "#20;", "  First line  ", "* not a memo line", "", "Second line", "#",
            "8;Next >", ("9;" + longText).c_str(), "#21", "left open" });

    ASSERT_EQ(english->StringCount(), 6);
    EXPECT_EQ(english->StringItem(0)->Text(), "< Previous");
    EXPECT_EQ(english->StringItem(0)->LineIndex(), 2);
    EXPECT_EQ(english->FindStringByGLID(5)->Text(), "Next >"); // the first of two
    EXPECT_EQ(english->FindStringByGLID(7)->Text(), " two words "); // up to the next ';', blanks kept
    EXPECT_EQ(english->FindStringByText("NEXT >")->GLID(), 5); // the first, regardless of case
    EXPECT_EQ(english->FindStringByGLID(9)->Text(), longText); // no 255-character cut
    EXPECT_EQ(english->FindStringByText("missing"), nullptr);

    ASSERT_EQ(english->MemoCount(), 1); // #21 is never closed
    const TLanguageMemo *memo = english->FindMemoByGLID(20);
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->LineIndex(), 6);
    EXPECT_EQ(memo->Lines()->Text(), "First line\r\nSecond line\r\n");
    TStringList lines;
    lines.SetText("First line\nSecond line");
    EXPECT_EQ(english->FindMemoByLines(lines), memo);
    lines.SetText("first line\nSecond line");
    EXPECT_EQ(english->FindMemoByLines(lines), nullptr); // memos compare exactly
}

TEST(TranslatorTable, EveryChangeParsesAgain)
{
    TTranslator translator(nullptr);
    TLangFormatStrings *lines = translator.lgSpanish()->Strings();
    lines->Add("4;< Anterior");
    lines->Add("5;Siguiente >");
    lines->Add("6;Cancelar");
    EXPECT_EQ(translator.lgSpanish()->FindStringByGLID(6)->LineIndex(), 2);

    lines->Delete(1); // a deleted line is gone from the lookups
    EXPECT_EQ(translator.lgSpanish()->FindStringByGLID(5), nullptr);
    EXPECT_EQ(translator.lgSpanish()->FindStringByGLID(6)->LineIndex(), 1);

    lines->SetStrings(0, "4;Atrás");
    EXPECT_EQ(translator.lgSpanish()->FindStringByGLID(4)->Text(), "Atrás");

    EXPECT_THROW(lines->Insert(0, "bad"), Exception);
    EXPECT_EQ(translator.lgSpanish()->StringCount(), 0);
    lines->Delete(0); // mending the table brings its strings back
    EXPECT_EQ(translator.lgSpanish()->StringCount(), 2);

    lines->Clear();
    EXPECT_EQ(translator.lgSpanish()->StringCount(), 0);
}

TEST(TranslatorTable, LoadsAFileOnceAtTheEnd)
{
    const std::string file = std::string(std::getenv("WINROOT")) + "/kvriSpanish-test.txt";
    {
        TStringList text;
        text.SetText("#30;\nUna línea\n#\n30;Treinta");
        text.SaveToFile(file);
    }
    TTranslator translator(nullptr);
    translator.lgSpanish()->Strings()->LoadFromFile(file);
    EXPECT_EQ(translator.lgSpanish()->FindStringByGLID(30)->Text(), "Treinta");
    EXPECT_EQ(translator.lgSpanish()->FindMemoByGLID(30)->Lines()->Strings(0), "Una línea");
    DeleteFile(file);
}

// ---- Languages -------------------------------------------------------------------------

TEST(TranslatorLanguages, KnowTheirNamesAndResources)
{
    TTranslator translator(nullptr);
    ASSERT_EQ(translator.GetLanguageCount(), 16);
    EXPECT_EQ(translator.GetLanguage(0)->LanguageIdent(), klChineseSimplified);
    EXPECT_EQ(translator.GetLanguage(15)->LanguageIdent(), klVietnamese);
    EXPECT_EQ(translator.FindLanguage(klUser), nullptr);
    EXPECT_EQ(translator.lgPortugese()->LanguageName(), "Portugese");
    EXPECT_EQ(translator.lgChineseSimplified()->FlagBitmapName(), "BM_LANG_SIMPCHINESE");
    EXPECT_EQ(translator.lgSpanish()->TextFileName(), "kvriSpanish.txt");
    EXPECT_EQ(translator.TranslateIntoLanguage(), klUser);
}

struct LocaleCase {
    const char *locale;
    TKvraLanguage language;
    const char *name;
};

class UserLanguage : public ::testing::TestWithParam<LocaleCase>
{
};

TEST_P(UserLanguage, ComesFromThePosixLocale)
{
    const LocaleCase &c = GetParam();
    EXPECT_EQ(LanguageOfLangId(LangIdFromLocale(c.locale)), c.language);
    LocaleGuard guard(c.locale);
    TTranslator translator(nullptr);
    ASSERT_NE(translator.GetUserLanguage(), nullptr);
    EXPECT_EQ(translator.GetUserLanguage()->LanguageIdent(), c.language);
    EXPECT_EQ(LangIdToString(klUser), c.name);
}

INSTANTIATE_TEST_SUITE_P(Translator, UserLanguage,
    ::testing::Values(LocaleCase { "es_ES.UTF-8", klSpanish, "Spanish" },
        LocaleCase { "pt_BR", klPortugese, "Portugese" }, LocaleCase { "nl_NL", klEnglish, "English" },
        LocaleCase { "C", klEnglish, "English" }, LocaleCase { "he_IL.UTF-8", klHebrew, "Hebrew" }),
    [](const ::testing::TestParamInfo<LocaleCase> &info) {
        std::string name;
        for (const char *p = info.param.locale; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

// ---- Translating texts ------------------------------------------------------------------

class Translating : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Fill(translator.lgEnglish(),
            { "* Common strings for standard dialogs", "4;< Previous", "5;Next >", "6;Cancel",
                "8;Only English", "#40;", "Read this", "carefully.", "#" });
        Fill(translator.lgSpanish(),
            { "4;< Anterior", "5;Siguiente >", "6;Cancelar", "#40;", "Léalo", "con cuidado.", "#" });
        translator.SetTranslateIntoLanguage(klSpanish);
    }
    TTranslator translator { nullptr };
};

TEST_F(Translating, TextsByWordingAndByNumber)
{
    EXPECT_EQ(translator.TranslateText(klEnglish, "Next >"), "Siguiente >");
    EXPECT_EQ(translator.TranslateText(klEnglish, "cANCEL"), "Cancelar");
    EXPECT_EQ(translator.TranslateText(klEnglish, "Only English"), "Only English"); // no Spanish 8
    EXPECT_EQ(translator.TranslateText(klEnglish, "Unknown"), "Unknown");
    EXPECT_EQ(translator.TranslateText(klFrench, "Next >"), "Next >"); // French has no such text
    EXPECT_EQ(translator.TranslateGLID(4, "x"), "< Anterior");
    EXPECT_EQ(translator.TranslateGLID(99, "x"), "x");

    // and back: the Spanish wording now leads to the English one
    translator.SetTranslateIntoLanguage(klEnglish);
    EXPECT_EQ(translator.TranslateText(klSpanish, "Siguiente >"), "Next >");
    EXPECT_EQ(translator.TranslateText(klSpanish, "Next >"), "Next >");
}

TEST_F(Translating, MemosByTheirLines)
{
    TStringList source;
    source.SetText("Read this\ncarefully.");
    TStringList dest;
    translator.TranslateMemo(klEnglish, source, dest);
    EXPECT_EQ(dest.Text(), "Léalo\r\ncon cuidado.\r\n");
    source.SetText("Read this\ncarefully!");
    translator.TranslateMemo(klEnglish, source, dest);
    EXPECT_EQ(dest.Text(), "Read this\r\ncarefully!\r\n");
}

TEST_F(Translating, TheUsersLanguageAsTarget)
{
    translator.SetTranslateIntoLanguage(klUser);
    {
        LocaleGuard guard("es_ES.UTF-8");
        EXPECT_EQ(translator.TranslateText(klEnglish, "Cancel"), "Cancelar");
    }
    {
        LocaleGuard guard("fr_FR.UTF-8"); // French has an empty table
        EXPECT_EQ(translator.TranslateText(klEnglish, "Cancel"), "Cancel");
    }
}

TEST_F(Translating, TheFirstTranslatorTranslatesTheToolkitsMessages)
{
    ASSERT_EQ(GlobalTranslator(), &translator);
    translator.lgEnglish()->Strings()->Add("50;Could not find the path specifier");
    translator.lgSpanish()->Strings()->Add("50;No se encontró el especificador de ruta");
    EXPECT_EQ(IEPathSpecifier("Could not find the path specifier").Message(),
        "No se encontró el especificador de ruta");
    {
        TTranslator second(nullptr); // not global: changes nothing
        EXPECT_EQ(GlobalTranslator(), &translator);
        EXPECT_EQ(TranslateString("Cancel"), "Cancelar");
    }
    EXPECT_EQ(TranslateString("Cancel"), "Cancelar");
}

TEST(TranslatorGlobal, GoesWithTheFirstTranslator)
{
    {
        TTranslator translator(nullptr);
        Fill(translator.lgEnglish(), { "6;Cancel" });
        Fill(translator.lgSpanish(), { "6;Cancelar" });
        translator.SetTranslateIntoLanguage(klSpanish);
        EXPECT_EQ(TranslateString("Cancel"), "Cancelar");
    }
    EXPECT_EQ(GlobalTranslator(), nullptr);
    EXPECT_EQ(TranslateString("Cancel"), "Cancel");
    EXPECT_EQ(TranslateForm(klGerman, nullptr), klGerman);
}

} // namespace
