#include "platform/ui/forms.h"
#include "platform/ui/mask.h"
#include "platform/ui/testing.h"

#include "platform/rtl/formatsettings.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

struct MaskCase {
    const char *name;
    const char *editMask;
    const char *inputMask;
};

class MaskTranslation : public ::testing::TestWithParam<MaskCase>
{
};

TEST_P(MaskTranslation, BecomesTheQtInputMask)
{
    TFormatSettingsScope english(EnglishFormatSettings());
    EXPECT_EQ(MaskToInputMask(GetParam().editMask), GetParam().inputMask);
}

INSTANTIATE_TEST_SUITE_P(Masks, MaskTranslation,
    ::testing::Values(MaskCase { "date", "!99/99/0000;1;_", "00/00/9999;_" },
        MaskCase { "digitsWithoutLiterals", "000;0;_", "999;_" },
        MaskCase { "lettersAndCase", ">LL<ll;1; ", ">AA<aa; " }, MaskCase { "noCaseChange", "<>Aa", "!Nn;_" },
        MaskCase { "anyCharacter", "Cc", "Xx;_" }, MaskCase { "escapedMaskCharacter", "\\A00", "\\A99;_" },
        MaskCase { "qtMetaCharacterAsLiteral", "00N", "99\\N;_" }, MaskCase { "time", "90:00", "09:99;_" }),
    [](const auto &info) { return std::string(info.param.name); });

class MaskEditTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form.reset(new TForm(nullptr));
        edit = new TMaskEdit(form.get());
        edit->SetParent(form.get());
        form->Show();
        edit->SetFocus();
    }
    std::unique_ptr<TForm> form;
    TMaskEdit *edit = nullptr;
};

TEST_F(MaskEditTest, TypingFollowsTheMask)
{
    edit->SetEditMask("000;0;_");
    TypeText(edit, "1a23");
    EXPECT_EQ(edit->Text(), "123");
    TypeText(edit, "4");
    EXPECT_EQ(edit->Text(), "123") << "a full mask takes no more";
    edit->ValidateEdit();
}

TEST_F(MaskEditTest, LiteralsArePartOfTheTextOnlyWhenSaved)
{
    edit->SetEditMask("00-00;1;_");
    TypeText(edit, "1234");
    EXPECT_EQ(edit->Text(), "12-34");
    EXPECT_EQ(edit->EditText(), "12-34");
    edit->SetEditMask("00-00;0;_");
    EXPECT_EQ(edit->Text(), "1234");
}

TEST_F(MaskEditTest, AnIncompleteTextFailsValidation)
{
    edit->SetEditMask("000;0;_");
    TypeText(edit, "12");
    EXPECT_EQ(edit->EditText(), "12_");
    EXPECT_THROW(edit->ValidateEdit(), EDBEditError);
}

TEST_F(MaskEditTest, WithoutMaskItIsAPlainEdit)
{
    EXPECT_FALSE(edit->IsMasked());
    TypeText(edit, "abc");
    EXPECT_EQ(edit->Text(), "abc");
    edit->ValidateEdit();
}

} // namespace
