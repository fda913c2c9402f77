#include <gtest/gtest.h>

#include <memory>

#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "platform/classes/filer.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics.h"
#include "platform/ui/testing_environment.h"

static auto *const environment = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

namespace
{

// A wizard page as the setup program's resources describe it, with the
// program's translator and its English and Spanish tables.
const char *const PageResource = R"(object Page: TForm
  Caption = 'Setup'
  Font.Name = 'MS Sans Serif'
  Font.Height = -9
  object MainTranslator: TTranslator
    lgEnglish.Strings.Strings = (
      '* Common strings for standard dialogs'
      '3;Setup'
      '4;< Previous'
      '5;Next >'
      '6;Cancel'
      '10;Typical'
      '11;Custom'
      '12;Welcome'
      '#40;'
      'Read the licence'
      'before you go on.'
      '#')
    lgSpanish.Strings.Strings = (
      '3;Instalación'
      '4;< Anterior'
      '5;Siguiente >'
      '6;Cancelar'
      '10;Típica'
      '11;Personalizada'
      '12;Bienvenido'
      '#40;'
      'Lea la licencia'
      'antes de seguir.'
      '#')
    TranslateIntoLanguage = klSpanish
  end
  object Title: TLabel
    Caption = 'welcome'
    AutoSize = True
  end
  object Hidden: TLabel
    Caption = 'Cancel'
    Visible = False
  end
  object ByText: TTranslateLabel
    Caption = 'Welcome'
    GLID = 0
  end
  object Untouched: TTranslateLabel
    Caption = 'Welcome'
    GLID = -1
  end
  object ByNumber: TTranslateLabel
    Caption = 'Anything'
    GLID = 12
  end
  object Back: TTranslateBitBtn
    Caption = 'Back'
    GLID = 4
  end
  object Next: TButton
    Caption = 'Next >'
  end
  object Kinds: TRadioGroup
    Items.Strings = (
      'Typical'
      'Custom'
      'Other')
  end
  object Choices: TListBox
    Items.Strings = (
      'custom'
      'Nothing')
  end
  object Licence: TMemo
    Lines.Strings = (
      'Read the licence'
      'before you go on.')
  end
end
)";

class TranslatedForm : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form = std::make_unique<TForm>(nullptr);
        ReadComponentText(form.get(), PageResource, "page.dfm");
        translator = dynamic_cast<TTranslator *>(form->FindComponent("MainTranslator"));
        ASSERT_NE(translator, nullptr);
        ASSERT_EQ(GlobalTranslator(), translator);
    }
    template <typename T> T *Find(const char *name) { return dynamic_cast<T *>(form->FindComponent(name)); }
    std::string Caption(const char *name) { return Find<TControl>(name)->Caption(); }

    std::unique_ptr<TForm> form;
    TTranslator *translator = nullptr;
};

TEST_F(TranslatedForm, ComesOutInSpanishAndBack)
{
    ASSERT_EQ(translator->TranslateIntoLanguage(), klSpanish);
    ASSERT_EQ(translator->lgSpanish()->MemoCount(), 1);

    EXPECT_EQ(TranslateForm(klEnglish, form.get()), klSpanish);
    EXPECT_EQ(form->Caption(), "Instalación");
    EXPECT_EQ(Caption("Title"), "Bienvenido"); // texts match regardless of case
    EXPECT_EQ(Caption("Hidden"), "Cancelar");
    EXPECT_EQ(Caption("ByText"), "Bienvenido");
    EXPECT_EQ(Caption("Untouched"), "Welcome");
    EXPECT_EQ(Caption("ByNumber"), "Bienvenido");
    EXPECT_EQ(Caption("Back"), "< Anterior");
    EXPECT_EQ(Caption("Next"), "Siguiente >");
    EXPECT_EQ(Find<TRadioGroup>("Kinds")->Items()->CommaText(), "Típica,Personalizada,Other");
    EXPECT_EQ(Find<TListBox>("Choices")->Items()->CommaText(), "Personalizada,Nothing");
    EXPECT_EQ(Find<TMemo>("Licence")->Lines()->Text(), "Lea la licencia\r\nantes de seguir.\r\n");
    EXPECT_EQ(form->Name(), "Page"); // names are never translated

    // what was hidden or sized while working stays as it was
    EXPECT_FALSE(Find<TLabel>("Hidden")->Visible());
    EXPECT_TRUE(Find<TLabel>("Title")->Visible());
    EXPECT_TRUE(Find<TLabel>("Title")->AutoSize());
    EXPECT_EQ(translator->TranslateIntoLanguage(), klSpanish);

    EXPECT_EQ(TranslateFormInto(klSpanish, klEnglish, form.get()), klEnglish);
    EXPECT_EQ(translator->TranslateIntoLanguage(), klSpanish); // the target is only lent
    EXPECT_EQ(form->Caption(), "Setup");
    EXPECT_EQ(Caption("Title"), "Welcome");
    EXPECT_EQ(Caption("Back"), "< Previous");
    EXPECT_EQ(Find<TRadioGroup>("Kinds")->Items()->CommaText(), "Typical,Custom,Other");
    EXPECT_EQ(Find<TMemo>("Licence")->Lines()->Text(), "Read the licence\r\nbefore you go on.\r\n");
}

TEST_F(TranslatedForm, AnEmptyTargetKeepsTextsAndTheirLanguage)
{
    EXPECT_EQ(TranslateFormInto(klEnglish, klGerman, form.get()), klEnglish);
    EXPECT_EQ(Caption("Next"), "Next >");
    // the texts are still known as English, so a filled language finds them later
    EXPECT_EQ(TranslateForm(klEnglish, form.get()), klSpanish);
    EXPECT_EQ(Caption("Next"), "Siguiente >");
}

TEST_F(TranslatedForm, GetsTheFontOfItsLanguage)
{
    auto *title = Find<TLabel>("Title");
    title->Font()->SetSize(6);
    ApplyLanguageFont(form.get());
    EXPECT_EQ(form->Font()->Name(), "Arial");
    EXPECT_EQ(title->Font()->Name(), "Arial");
    EXPECT_EQ(title->Font()->Size(), 8); // raised to the language's minimum
    EXPECT_EQ(title->Font()->Charset(), 0);

    ApplyLanguageFontInto(klGerman, form.get()); // empty table: English's font
    EXPECT_EQ(title->Font()->Name(), "Arial");

    translator->lgJapanese()->Strings()->Add("5;次へ >");
    ApplyLanguageFontInto(klJapanese, form.get());
    EXPECT_EQ(title->Font()->Name(), "ＭＳ Ｐゴシック");
    EXPECT_EQ(title->Font()->Charset(), 128);
    EXPECT_EQ(title->Font()->Size(), 9);

    // Hebrew has no face of its own: the charset changes and the face stays
    translator->lgHebrew()->Strings()->Add("5;הבא >");
    EXPECT_NO_THROW(ApplyLanguageFontInto(klHebrew, form.get()));
    EXPECT_EQ(title->Font()->Charset(), 177);
    EXPECT_EQ(title->Font()->Name(), "ＭＳ Ｐゴシック");

    translator->lgSpanish()->SetFontOverride(true);
    translator->lgSpanish()->Font()->SetName("Courier New");
    translator->lgSpanish()->Font()->SetSize(12);
    ApplyLanguageFont(form.get());
    EXPECT_EQ(Find<TButton>("Next")->Font()->Name(), "Courier New");
    EXPECT_EQ(Find<TButton>("Next")->Font()->Size(), 12);
    EXPECT_EQ(translator->TranslateIntoLanguage(), klSpanish);
}

TEST(TranslatorResource, RefusesAFaultyTableWithItsPlace)
{
    TForm form(nullptr);
    try {
        ReadComponentText(&form, R"(object Page: TForm
  object T: TTranslator
    lgSpanish.Strings.Strings = (
      '4;< Anterior'
      '5')
  end
end
)",
            "bad.dfm");
        FAIL() << "no error";
    } catch (const Exception &e) {
        EXPECT_NE(e.Message().find("The 1'th string (5) does not have the proper format of GLID;Text"),
            std::string::npos)
            << e.Message();
        EXPECT_NE(e.Message().find("bad.dfm"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(form.FindComponent("T"), nullptr);
}

} // namespace
