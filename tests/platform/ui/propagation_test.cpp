#include "testform.h"

#include "platform/classes/filer.h"
#include "platform/classes/typinfo.h"
#include "platform/ui/clipbrd.h"
#include "platform/ui/testing.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

FormPtr ShownForm()
{
    FormPtr form(NewForm<TTestForm>(nullptr));
    form->Show();
    return form;
}

TEST(Propagation, ParentFontReachesOnlyChildrenThatFollowIt)
{
    FormPtr form = ShownForm();
    form->Font()->SetName("Arial");
    form->Font()->SetHeight(-13);
    EXPECT_EQ(form->eDisplay->Font()->Name(), "Arial");
    EXPECT_EQ(form->eDisplay->Font()->Height(), -13);
    EXPECT_TRUE(form->eDisplay->ParentFont());
    EXPECT_EQ(form->bSumar->Font()->Name(), "Arial") << "through the panel";
    EXPECT_EQ(form->lbTitle->Font()->Name(), "MS Sans Serif") << "a label with its own font keeps it";

    // Going back to the parent's font takes it at once.
    form->lbTitle->SetParentFont(true);
    EXPECT_EQ(form->lbTitle->Font()->Name(), "Arial");
    EXPECT_FALSE(form->lbTitle->Font()->Style().Contains(fsBold));
}

TEST(Propagation, ParentColorFollowsTheParent)
{
    FormPtr form = ShownForm();
    auto *label = new TLabel(form.get());
    label->SetParent(form->paTop);
    EXPECT_TRUE(label->ParentColor());
    EXPECT_EQ(label->Color(), clSilver);
    form->paTop->SetColor(clYellow);
    EXPECT_EQ(label->Color(), clYellow);
    label->SetColor(clRed);
    EXPECT_FALSE(label->ParentColor());
    form->paTop->SetColor(clSilver);
    EXPECT_EQ(label->Color(), clRed);
}

TEST(Propagation, HiddenAlignedControlsGiveUpTheirSpace)
{
    FormPtr form = ShownForm();
    auto *client = new TPanel(form.get());
    client->SetParent(form.get());
    client->SetAlign(alClient);
    int withTop = client->Height();
    form->paTop->Hide();
    EXPECT_EQ(client->Height(), withTop + 41);
    EXPECT_EQ(client->Top(), 0);
    form->paTop->Show();
    EXPECT_EQ(client->Top(), 41);
}

TEST(Propagation, DisablingAParentDisablesWhatIsInIt)
{
    FormPtr form = ShownForm();
    form->paTop->SetEnabled(false);
    ClickControl(form->bSumar);
    EXPECT_EQ(form->sumarClicks, 0);
    form->paTop->SetEnabled(true);
    ClickControl(form->bSumar);
    EXPECT_EQ(form->sumarClicks, 1);
}

TEST(Keys, KeyDownSeesVirtualKeysAndShiftState)
{
    FormPtr form = ShownForm();
    form->eDisplay->SetFocus();
    std::vector<std::string> seen;
    form->eDisplay->OnKeyDown = [&](TObject *, uint16_t &key, TShiftState shift) {
        seen.push_back(std::to_string(key) + (shift.Contains(ssShift) ? "+shift" : "")
            + (shift.Contains(ssCtrl) ? "+ctrl" : "") + (GetKeyState(VK_SHIFT) < 0 ? " down" : ""));
        if (key == VK_DELETE)
            key = 0;
    };
    PressKey(form->eDisplay, VK_ADD, '+');
    PressKey(form->eDisplay, 'A', 'A', { ssShift });
    PressKey(form->eDisplay, VK_F2);
    form->eDisplay->SetText("abc");
    form->eDisplay->SetSelStart(0);
    PressKey(form->eDisplay, VK_DELETE);
    EXPECT_EQ(form->eDisplay->Text(), "abc") << "a key set to 0 in OnKeyDown never reaches the edit";
    EXPECT_EQ(seen, (std::vector<std::string> { "107", "65+shift down", "113", "46" }));
    EXPECT_EQ(form->previewed, U"+A") << "keys that type nothing send no character";
}

TEST(Keys, ACharacterSentAsAMessageIsTyped)
{
    FormPtr form = ShownForm();
    TEdit *edit = form->eDisplay;
    edit->SetText("");
    edit->Perform(WM_CHAR, U'ñ', 0);
    edit->Perform(WM_CHAR, U'5', 0);
    EXPECT_EQ(edit->Text(), "ñ5");
    EXPECT_EQ(form->previewed, U"ñ5") << "a message takes the same road as a key";
    edit->Perform(WM_CHAR, VK_BACK, 0);
    EXPECT_EQ(edit->Text(), "ñ");
    edit->SetCharCase(ecUpperCase);
    edit->Perform(WM_CHAR, U'x', 0);
    EXPECT_EQ(edit->Text(), "ÑX");
}

TEST(Keys, PasswordEditsShowNoText)
{
    FormPtr form = ShownForm();
    TEdit *edit = form->eDisplay;
    edit->SetText("secreto");
    edit->SetPasswordChar("*");
    EXPECT_TRUE(GetWindowLong(edit->Handle(), GWL_STYLE) & ES_PASSWORD);
    edit->SelectAll();
    Clipboard()->SetAsText("antes");
    edit->CopyToClipboard();
    EXPECT_EQ(Clipboard()->AsText(), "antes") << "a password is never copied";
    EXPECT_EQ(edit->Text(), "secreto");
}

TEST(Keys, DoubleClickRunsOnDblClick)
{
    FormPtr form = ShownForm();
    int clicks = 0, doubles = 0, formDoubles = 0;
    form->paTop->OnClick = [&](TObject *) { ++clicks; };
    form->paTop->OnDblClick = [&](TObject *) { ++doubles; };
    form->OnDblClick = [&](TObject *) { ++formDoubles; };
    DoubleClickControl(form->paTop, 20, 20);
    EXPECT_EQ(doubles, 1);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(formDoubles, 0) << "the panel's, not its form's";
}

TEST(Resources, PictureDataIsReadFromTheResource)
{
    // A 2 x 1 bitmap file: red then blue.
    TBitmap source;
    source.SetSize(2, 1);
    source.Canvas()->SetPixels(0, 0, clRed);
    source.Canvas()->SetPixels(1, 0, clBlue);
    std::string text;
    {
        TForm holder(nullptr);
        holder.SetName("Holder");
        auto *image = new TImage(&holder);
        image->SetName("Image1");
        image->SetParent(&holder);
        image->Picture()->SetGraphic(&source);
        text = WriteComponentText(&holder);
    }
    ASSERT_NE(text.find("Picture.Data"), std::string::npos) << text;

    TForm form(nullptr);
    ReadComponentText(&form, text, "image.dfm");
    auto *image = dynamic_cast<TImage *>(form.FindComponent("Image1"));
    ASSERT_NE(image, nullptr);
    TGraphic *graphic = image->Picture()->Graphic();
    ASSERT_NE(graphic, nullptr);
    EXPECT_EQ(graphic->Width(), 2);
    EXPECT_EQ(graphic->Height(), 1);
}

TEST(Resources, CorruptPictureDataIsAnErrorThatNamesThePlace)
{
    // The class name claims 200 bytes where there are 3.
    TForm form(nullptr);
    try {
        ReadComponentText(&form, R"(object F: TForm
  object Image1: TImage
    Picture.Data = {C8414243}
  end
end
)",
            "corrupt.dfm");
        FAIL() << "no error";
    } catch (const Exception &e) {
        EXPECT_NE(std::string(e.Message()).find("Picture data is not valid"), std::string::npos)
            << e.Message();
    }
    EXPECT_EQ(form.ComponentCount(), 0);
}

TEST(Resources, EveryControlClassIsCreatableByName)
{
    TForm form(nullptr);
    for (const char *name :
        { "TPanel", "TLabel", "TStaticText", "TButton", "TBitBtn", "TSpeedButton", "TEdit", "TMemo",
            "TListBox", "TRadioGroup", "TImage", "TMainMenu", "TPopupMenu", "TMenuItem", "TMaskEdit" }) {
        TComponent *component = CreateComponent(name, &form);
        ASSERT_NE(component, nullptr) << name;
        EXPECT_STREQ(component->ClassName(), name);
    }
    EXPECT_TRUE(IsPublishedProp(form.Components(0), "BevelOuter"));
    EXPECT_EQ(GetEnumProp(form.Components(0), "BevelOuter"), "bvRaised");
    SetOrdProp(form.Components(0), "Color", clBtnFace);
    EXPECT_EQ(GetPropInfo(form.Components(0), "Font")->Kind, pkPersistent);
    EXPECT_EQ(GetStrProp(GetObjectProp(form.Components(0), "Font"), "Name"), "MS Sans Serif");
}

} // namespace
