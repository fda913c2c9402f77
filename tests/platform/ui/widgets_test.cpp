#include "testform.h"

#include "platform/classes/filer.h"
#include "platform/ui/testing.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace
{

class WidgetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form.reset(new TForm(nullptr));
        form->SetBounds(0, 0, 300, 240);
        form->Show();
    }
    template <typename T> T *Add(int left, int top, int width, int height)
    {
        auto *control = new T(form.get());
        control->SetParent(form.get());
        control->SetBounds(left, top, width, height);
        return control;
    }
    std::unique_ptr<TForm, FormDeleter> form;
};

TEST_F(WidgetTest, AHandlerMayFreeTheControlThatCalledIt)
{
    // Freeing the sender inside its own handler must not touch freed memory
    // (the sanitizer build checks this).
    auto *button = Add<TButton>(10, 10, 80, 25);
    button->OnClick = [button](TObject *) { delete button; };
    ClickControl(button);
    ProcessPendingEvents();
    EXPECT_EQ(form->ControlCount(), 0);

    auto *edit = Add<TEdit>(10, 40, 80, 21);
    edit->SetFocus();
    edit->OnKeyPress = [edit](TObject *, char32_t &) { delete edit; };
    TypeText(edit, "a");
    ProcessPendingEvents();
    EXPECT_EQ(form->ControlCount(), 0);

    auto *panel = Add<TPanel>(10, 70, 80, 25);
    panel->OnMouseDown = [panel](TObject *, TMouseButton, TShiftState, int, int) { delete panel; };
    ClickControl(panel);
    ProcessPendingEvents();
    EXPECT_EQ(form->ControlCount(), 0);
}

TEST_F(WidgetTest, PanelBevelsAreDrawnRaisedOrLowered)
{
    auto *panel = Add<TPanel>(10, 10, 60, 30);
    panel->SetBevelOuter(bvRaised);
    EXPECT_EQ(PixelOf(panel, 0, 0), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(PixelOf(panel, 59, 29), ColorToRGB(clBtnShadow));
    EXPECT_EQ(PixelOf(panel, 30, 15), ColorToRGB(clBtnFace));
    panel->SetBevelOuter(bvLowered);
    panel->SetColor(clSilver);
    EXPECT_EQ(PixelOf(panel, 0, 0), ColorToRGB(clBtnShadow));
    EXPECT_EQ(PixelOf(panel, 59, 29), ColorToRGB(clBtnHighlight));
    panel->SetBevelOuter(bvNone);
    panel->SetColor(clRed);
    EXPECT_EQ(PixelOf(panel, 0, 0), clRed);
}

TEST_F(WidgetTest, LabelsSizeThemselvesToTheirCaption)
{
    auto *label = Add<TLabel>(100, 10, 10, 10);
    label->SetCaption("Versión 2.01");
    TCanvas canvas;
    canvas.SetFont(label->Font());
    EXPECT_EQ(label->Width(), canvas.TextWidth("Versión 2.01"));
    EXPECT_EQ(label->Height(), canvas.TextHeight("V"));
    label->SetCaption("&Archivo");
    EXPECT_EQ(label->Width(), canvas.TextWidth("Archivo")) << "the accelerator mark takes no room";
    label->SetAutoSize(false);
    label->SetCaption("Versión 2.01 y más");
    EXPECT_EQ(label->Width(), canvas.TextWidth("Archivo"));

    // A right-aligned label keeps its right edge.
    auto *right = Add<TLabel>(100, 40, 10, 10);
    right->SetAlignment(taRightJustify);
    int rightEdge = right->Left() + right->Width();
    right->SetCaption("1.234,50");
    EXPECT_EQ(right->Left() + right->Width(), rightEdge);
}

TEST_F(WidgetTest, BitButtonKindsGiveResultsAndEnterClicksTheDefault)
{
    auto *ok = Add<TBitBtn>(10, 10, 77, 27);
    ok->SetKind(bkOK);
    EXPECT_EQ(ok->Caption(), "OK");
    EXPECT_TRUE(ok->Default());
    EXPECT_EQ(ok->ModalResult(), mrOk);
    auto *cancel = Add<TBitBtn>(100, 10, 77, 27);
    cancel->SetKind(bkCancel);
    EXPECT_TRUE(cancel->Cancel());
    EXPECT_EQ(cancel->ModalResult(), mrCancel);

    auto *edit = Add<TEdit>(10, 50, 80, 21);
    form->Hide();
    form->OnShow = [&](TObject *) {
        QueueCall([&] {
            edit->SetFocus();
            PressKey(edit, VK_RETURN, '\r');
        });
    };
    EXPECT_EQ(form->ShowModal(), mrOk);
}

TEST_F(WidgetTest, ABitButtonKeepsTheCaptionItsResourceGives)
{
    form.reset();
    TForm *about = new TForm(nullptr);
    form.reset(about);
    ReadComponentText(about, R"(object About: TForm
  Caption = ''
  object OKButton: TBitBtn
    Left = 111
    Top = 155
    Width = 77
    Height = 27
    Caption = 'Aceptar'
    Kind = bkOK
    Margin = 2
    Spacing = -1
  end
end
)",
        "about.dfm");
    auto *button = dynamic_cast<TBitBtn *>(about->FindComponent("OKButton"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->Caption(), "Aceptar");
    EXPECT_EQ(button->Kind(), bkOK);
    EXPECT_EQ(button->ModalResult(), mrOk);
    EXPECT_EQ(button->Spacing(), -1);
}

TEST_F(WidgetTest, SpeedButtonGroupsKeepOneDown)
{
    auto *a = Add<TSpeedButton>(0, 0, 20, 20);
    auto *b = Add<TSpeedButton>(20, 0, 20, 20);
    a->SetGroupIndex(1);
    b->SetGroupIndex(1);
    ClickControl(a);
    EXPECT_TRUE(a->Down());
    ClickControl(b);
    EXPECT_TRUE(b->Down());
    EXPECT_FALSE(a->Down());
    ClickControl(b);
    EXPECT_TRUE(b->Down()) << "without AllowAllUp the last one stays down";
    b->SetAllowAllUp(true);
    ClickControl(b);
    EXPECT_FALSE(b->Down());

    auto *plain = Add<TSpeedButton>(40, 0, 20, 20);
    plain->SetDown(true);
    EXPECT_FALSE(plain->Down()) << "a button outside a group never stays down";
}

// Two quick clicks reach a window as a click and then a double click; every
// button takes the double click as its second press, so both clicks count:
// the double click first, then the mouse-down, once each.
TEST_F(WidgetTest, TwoQuickClicksAreTwoClicksOfEveryKindOfButton)
{
    std::vector<std::string> journal;
    auto record = [&](TControl *control, const std::string &name) {
        control->OnClick = [&journal, name](TObject *) { journal.push_back(name + " click"); };
        control->OnDblClick = [&journal, name](TObject *) { journal.push_back(name + " double"); };
        control->OnMouseDown = [&journal, name](TObject *, TMouseButton, TShiftState shift, int, int) {
            journal.push_back(name + (shift.Contains(ssDouble) ? " down double" : " down"));
        };
    };
    auto *speed = Add<TSpeedButton>(0, 0, 25, 25);
    auto *button = Add<TButton>(30, 0, 75, 25);
    auto *bit = Add<TBitBtn>(110, 0, 75, 25);
    for (auto [control, name] : { std::pair<TControl *, std::string> { speed, "speed" }, { button, "button" },
             { bit, "bit" } }) {
        journal.clear();
        record(control, name);
        DoubleClickControl(control);
        ProcessPendingEvents();
        EXPECT_EQ(journal,
            (std::vector<std::string> { name + " down", name + " click", name + " double", name + " down double",
                name + " click" }));
    }

    // A speed button that toggles goes down and comes up again.
    auto *toggle = Add<TSpeedButton>(0, 30, 25, 25);
    toggle->SetGroupIndex(1);
    toggle->SetAllowAllUp(true);
    DoubleClickControl(toggle);
    EXPECT_FALSE(toggle->Down());

    // A radio button chosen twice stays chosen, reported once.
    auto *radio = Add<TRadioGroup>(0, 60, 200, 90);
    radio->Items()->Add("Uno");
    radio->Items()->Add("Dos");
    int chosen = 0;
    radio->OnClick = [&](TObject *) { ++chosen; };
    DoubleClickControl(radio, 16, radio->Height() - 14);
    ProcessPendingEvents();
    EXPECT_EQ(radio->ItemIndex(), 1);
    EXPECT_EQ(chosen, 1);
}

TEST_F(WidgetTest, MemoLinesAndTextStayTogether)
{
    auto *memo = Add<TMemo>(10, 10, 200, 100);
    memo->Lines()->Add("uno");
    memo->Lines()->Add("dos");
    EXPECT_EQ(memo->Text(), "uno\r\ndos");
    memo->SetFocus();
    memo->SetSelStart(static_cast<int>(memo->Text().size()));
    PressKey(memo, VK_RETURN, '\r');
    TypeText(memo, "tres");
    ASSERT_EQ(memo->Lines()->Count(), 3);
    EXPECT_EQ(memo->Lines()->Strings(2), "tres");
    memo->SetWantReturns(false);
    memo->SetFocus();
    memo->SetSelStart(0);
    PressKey(memo, VK_RETURN, '\r');
    EXPECT_EQ(memo->Lines()->Count(), 3) << "without WantReturns Enter does not break the line";
}

TEST_F(WidgetTest, EditSelectionMessagesClampTheirRange)
{
    auto *edit = Add<TEdit>(10, 10, 100, 21);
    edit->SetText("abcdef");
    edit->Perform(EM_SETSEL, 2, 100);
    EXPECT_EQ(edit->SelText(), "cdef");
    edit->Perform(EM_SETSEL, 4, 1);
    EXPECT_EQ(edit->SelText(), "bcd");
    uint32_t start = 0, end = 0;
    edit->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 1u);
    EXPECT_EQ(end, 4u);
    edit->Perform(EM_SETSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(edit->SelLength(), 0);
    edit->SetMaxLength(3);
    edit->SetText("");
    edit->SetFocus();
    TypeText(edit, "12345");
    EXPECT_EQ(edit->Text(), "123");
}

TEST_F(WidgetTest, EditAndMemoAnswerTheEditingMessagesAlike)
{
    TCustomEdit *line = Add<TEdit>(10, 10, 100, 21);
    TCustomEdit *memo = Add<TMemo>(10, 40, 200, 100);
    for (TCustomEdit *edit : { line, memo }) {
        SCOPED_TRACE(edit->ClassName());
        edit->SetText("abcdef");
        edit->SetFocus();
        edit->Perform(WM_CHAR, 1, 0);
        EXPECT_EQ(edit->SelText(), "abcdef") << "Ctrl+A selects everything";
        uint32_t start = 9, end = 9;
        LRESULT packed
            = edit->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, 6u);
        EXPECT_EQ(packed, LRESULT { 6 << 16 });
        EXPECT_EQ(edit->Perform(EM_SETREADONLY, 1, 0), 1);
        EXPECT_TRUE(edit->WindowStyle() & ES_READONLY);
        edit->Perform(WM_CUT, 0, 0);
        EXPECT_EQ(edit->Text(), "abcdef") << "a read-only edit keeps its text";
        edit->Perform(EM_SETREADONLY, 0, 0);
        EXPECT_FALSE(edit->WindowStyle() & ES_READONLY);
        edit->Perform(WM_CUT, 0, 0);
        EXPECT_EQ(edit->Text(), "");
    }
}

TEST_F(WidgetTest, RecreatingTheWindowKeepsTheText)
{
    auto *edit = Add<TEdit>(10, 10, 100, 21);
    edit->SetText("1234,5");
    HWND before = edit->Handle();
    edit->SetBorderStyle(bsNone);
    EXPECT_EQ(edit->Text(), "1234,5");
    EXPECT_EQ(edit->Handle(), before) << "the handle names the control, not the widget";
    EXPECT_TRUE(IsWindowVisible(edit->Handle()));
}

TEST_F(WidgetTest, MenuItemTreeRefusesToInsertAnItemTwice)
{
    auto *menu = new TMainMenu(form.get());
    auto *file = new TMenuItem(form.get());
    auto *exit = new TMenuItem(form.get());
    file->SetCaption("&Archivo");
    exit->SetCaption("&Salir");
    menu->Items()->Add(file);
    file->Add(exit);
    EXPECT_THROW(menu->Items()->Add(exit), EMenuError);
    form->SetMenu(menu);
    EXPECT_EQ(form->ClientHeight(), 240 - 8 - kCaptionHeight - kMenuHeight);
    delete menu;
    EXPECT_EQ(form->Menu(), nullptr);
    EXPECT_EQ(form->ClientHeight(), 240 - 8 - kCaptionHeight);
    EXPECT_EQ(file->Parent(), nullptr) << "items outlive their menu; only their place goes";
}

TEST_F(WidgetTest, ClientSizeSettersAdjustTheOuterSize)
{
    std::unique_ptr<TForm, FormDeleter> dialog(new TForm(nullptr));
    dialog->SetBorderStyle(bsDialog);
    dialog->SetClientWidth(298);
    dialog->SetClientHeight(187);
    EXPECT_EQ(dialog->Width(), 298 + 6);
    EXPECT_EQ(dialog->Height(), 187 + 6 + kCaptionHeight);
    // Centred on the screen when it is first shown.
    dialog->SetPosition(poScreenCenter);
    dialog->Show();
    EXPECT_EQ(dialog->Left(), (Screen->Width() - dialog->Width()) / 2);
    EXPECT_EQ(dialog->Top(), (Screen->Height() - dialog->Height()) / 2);
    // A border style change keeps the outer size, as stored.
    dialog->SetBorderStyle(bsSizeable);
    EXPECT_TRUE(IsWindowVisible(dialog->Handle())) << "the new window shows as the old one did";
    EXPECT_EQ(dialog->Width(), 298 + 6);
    EXPECT_EQ(dialog->ClientWidth(), 298 - 2);
}

TEST_F(WidgetTest, AnErrorInOnCreateIsShownAndTheFormStillExists)
{
    ScriptedMessageBoxes boxes;
    TTestForm::failCreate = true;
    std::unique_ptr<TTestForm, FormDeleter> created(NewForm<TTestForm>(nullptr));
    TTestForm::failCreate = false;
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "fallo al crear.");
    EXPECT_EQ(created->created, 1);
    EXPECT_NE(created->bOk, nullptr);
}

TEST_F(WidgetTest, ABrokenResourceCreatesNothing)
{
    int before = form->ComponentCount();
    EXPECT_THROW(ReadComponentText(form.get(), R"(object F: TForm
  object P: TPanel
    BevelOuter = bvSideways
  end
end
)",
                     "broken.dfm"),
        EFormResourceError);
    EXPECT_EQ(form->ComponentCount(), before);
    EXPECT_EQ(form->ControlCount(), 0);
}

} // namespace

namespace
{

TEST_F(WidgetTest, AGroupBoxHoldsItsControlsBelowItsCaption)
{
    form.reset();
    auto *dialog = new TForm(nullptr);
    form.reset(dialog);
    ReadComponentText(dialog, R"(object Setup: TForm
  ClientWidth = 400
  ClientHeight = 200
  Caption = 'Tipo'
  object DirectoryGroupBox: TGroupBox
    Left = 20
    Top = 30
    Width = 360
    Height = 60
    Caption = 'Carpeta de destino'
    object edDestDir: TEdit
      Left = 12
      Top = 24
      Width = 250
      Height = 21
      CharCase = ecLowerCase
    end
  end
  object FillBox: TGroupBox
    Left = 20
    Top = 100
    Width = 360
    Height = 80
    Caption = 'Lleno'
    object Inner: TPanel
      Align = alClient
    end
  end
end
)",
        "groupbox.dfm");
    dialog->Show();
    auto *box = dynamic_cast<TGroupBox *>(dialog->FindComponent("DirectoryGroupBox"));
    auto *edit = dynamic_cast<TEdit *>(dialog->FindComponent("edDestDir"));
    auto *inner = dynamic_cast<TPanel *>(dialog->FindComponent("Inner"));
    ASSERT_NE(box, nullptr);
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(box->Caption(), "Carpeta de destino");
    EXPECT_EQ(edit->Parent(), box);
    EXPECT_EQ(edit->Left(), 12) << "a control inside keeps its place within the box";
    EXPECT_EQ(edit->Top(), 24);

    // An aligned control fills the inside of the frame only, not the caption band.
    auto *fill = inner->Parent();
    EXPECT_GE(inner->Top(), 10);
    EXPECT_GE(inner->Left(), 2);
    EXPECT_LE(inner->Left() + inner->Width(), fill->Width() - 2);
    EXPECT_LE(inner->Top() + inner->Height(), fill->Height() - 2);
    EXPECT_GT(inner->Height(), 40);

    // The controls inside take the keyboard as anywhere else.
    edit->SetFocus();
    TypeText(edit, "Tabulo");
    EXPECT_EQ(edit->Text(), "tabulo");

    box->SetCaption("Destino");
    EXPECT_EQ(box->Caption(), "Destino");
    std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/platform_ui_groupbox.png";
    EXPECT_GT(SaveScreenshot(dialog, path), 1000);
}

} // namespace
