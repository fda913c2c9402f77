#include "testform.h"

#include "platform/ui/clipbrd.h"
#include "platform/ui/testing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace
{

FormPtr ShownForm()
{
    FormPtr form(NewForm<TTestForm>(nullptr));
    form->Show();
    ProcessPendingEvents();
    return form;
}

// An edit that accepts digits only and keeps its own log of clipboard
// messages, as a masked edit intercepts them.
class TDigitsEdit : public TEdit
{
public:
    using TEdit::TEdit;
    std::vector<uint32_t> clipboardMessages;
    bool refusePaste = false;

protected:
    void KeyPress(char32_t &key) override
    {
        if (key >= 32 && (key < '0' || key > '9'))
            key = 0;
        else if (key == '9')
            key = '0';
        TEdit::KeyPress(key);
    }
    void WndProc(TMessage &message) override
    {
        if (message.Msg == WM_PASTE || message.Msg == WM_COPY || message.Msg == WM_CUT) {
            clipboardMessages.push_back(message.Msg);
            if (message.Msg == WM_PASTE && refusePaste)
                return;
        }
        TEdit::WndProc(message);
    }
};

TEST(Controls, AMouseClickOnAButtonRunsItsHandler)
{
    FormPtr form = ShownForm();
    ClickControl(form->bSumar);
    ClickControl(form->bSumar);
    EXPECT_EQ(form->sumarClicks, 2);

    // Pressing and releasing outside the button is no click.
    MouseDownOn(form->bSumar, 5, 5);
    MouseUpOn(form->bSumar, 200, 200);
    EXPECT_EQ(form->sumarClicks, 2);

    form->bSumar->SetEnabled(false);
    ClickControl(form->bSumar);
    EXPECT_EQ(form->sumarClicks, 2);
}

TEST(Controls, MouseEventsReachTheHandlersWithClientCoordinates)
{
    FormPtr form = ShownForm();
    std::vector<std::string> seen;
    form->paTop->OnMouseDown = [&](TObject *, TMouseButton button, TShiftState shift, int x, int y) {
        seen.push_back("down " + std::to_string(button) + " " + std::to_string(x) + "," + std::to_string(y)
            + (shift.Contains(ssLeft) ? " left" : ""));
    };
    form->paTop->OnMouseUp = [&](TObject *, TMouseButton, TShiftState, int x, int y) {
        seen.push_back("up " + std::to_string(x) + "," + std::to_string(y));
    };
    form->paTop->OnClick = [&](TObject *) { seen.push_back("click"); };
    ClickControl(form->paTop, 30, 12);
    EXPECT_EQ(seen, (std::vector<std::string> { "down 0 30,12 left", "click", "up 30,12" }));
}

TEST(Controls, KeyPreviewLetsTheFormSeeAndChangeKeysFirst)
{
    FormPtr form = ShownForm();
    form->eDisplay->SetText("");
    form->eDisplay->SetFocus();
    std::u32string editSaw;
    form->eDisplay->OnKeyPress = [&](TObject *, char32_t &key) { editSaw += key; };
    form->swallow = 'x';
    form->replaceFrom = 'a', form->replaceTo = 'b';

    TypeText(form->eDisplay, "1xa2");
    EXPECT_EQ(form->previewed, U"1xa2");
    EXPECT_EQ(editSaw, U"1b2") << "the swallowed key never reaches the edit";
    EXPECT_EQ(form->eDisplay->Text(), "1b2");

    // Backspace is a character too, and the native edit acts on it.
    PressKey(form->eDisplay, VK_BACK, 8);
    EXPECT_EQ(form->eDisplay->Text(), "1b");
    EXPECT_EQ(form->previewed.back(), U'\b');
}

TEST(Controls, AFormWithoutFocusedControlGetsTheKeysItself)
{
    FormPtr form = ShownForm();
    form->SetActiveControl(nullptr);
    PressKey(form.get(), '7', '7');
    PressKey(form.get(), VK_RETURN, '\r');
    EXPECT_EQ(form->previewed, U"7") << "Enter went to the default button instead";
    EXPECT_EQ(form->ModalResult(), mrOk);
}

TEST(Controls, AnEditSubclassCanChangeOrRefuseKeysAndClipboardWork)
{
    FormPtr form = ShownForm();
    auto *edit = new TDigitsEdit(form.get());
    edit->SetParent(form.get());
    edit->SetFocus();
    TypeText(edit, "1a2b9");
    EXPECT_EQ(edit->Text(), "120");

    Clipboard()->SetAsText("456");
    edit->PasteFromClipboard();
    EXPECT_EQ(edit->Text(), "120456");
    edit->refusePaste = true;
    PressKey(edit, 'V', 22, { ssCtrl }); // Ctrl+V becomes WM_PASTE too
    EXPECT_EQ(edit->Text(), "120456");
    edit->SelectAll();
    edit->CopyToClipboard();
    EXPECT_EQ(Clipboard()->AsText(), "120456");
    EXPECT_EQ(edit->clipboardMessages, (std::vector<uint32_t> { WM_PASTE, WM_PASTE, WM_COPY }));

    // A read-only edit takes neither typing nor pastes.
    edit->refusePaste = false;
    edit->SetReadOnly(true);
    TypeText(edit, "7");
    edit->PasteFromClipboard();
    EXPECT_EQ(edit->Text(), "120456");
    edit->SetReadOnly(false);
    edit->SetSelStart(6);
    edit->PasteFromClipboard();
    EXPECT_EQ(edit->Text(), "120456120456");
}

TEST(Controls, EditSelectionCountsCharacters)
{
    FormPtr form = ShownForm();
    TEdit *edit = form->eDisplay;
    edit->SetText("añ€b");
    edit->SetSelStart(1);
    edit->SetSelLength(2);
    EXPECT_EQ(edit->SelText(), "ñ€");
    EXPECT_EQ(edit->SelStart(), 1);
    EXPECT_EQ(edit->SelLength(), 2);
    edit->SetSelText("x");
    EXPECT_EQ(edit->Text(), "axb");
    EXPECT_EQ(edit->GetTextLen(), 3);

    int changes = 0;
    edit->OnChange = [&](TObject *) { ++changes; };
    edit->SetText("axb");
    EXPECT_EQ(changes, 0) << "the same text is no change";
    edit->Clear();
    EXPECT_EQ(changes, 1);
}

TEST(Controls, ExtendedStyleRightAlignsTheEditText)
{
    FormPtr form = ShownForm();
    TEdit *edit = form->eDisplay;
    edit->SetText("1");
    // Where the digit's ink is: the leftmost column with a dark pixel.
    auto inkColumn = [&] {
        for (int x = 0; x < edit->Width(); ++x)
            for (int y = 0; y < edit->Height(); ++y)
                if ((ColorToRGB(PixelOf(edit, x, y)) & 0xFF) < 0x60)
                    if (x > 2 && x < edit->Width() - 3)
                        return x;
        return -1;
    };
    int before = inkColumn();
    ASSERT_GE(before, 0);
    EXPECT_LT(before, edit->Width() / 2);

    HWND handle = edit->Handle();
    SetWindowLong(handle, GWL_EXSTYLE, GetWindowLong(handle, GWL_EXSTYLE) | WS_EX_RIGHT);
    EXPECT_TRUE(GetWindowLong(handle, GWL_EXSTYLE) & WS_EX_RIGHT);
    int after = inkColumn();
    EXPECT_GT(after, edit->Width() / 2);
    EXPECT_EQ(edit->Text(), "1");
}

TEST(Controls, StaleHandlesFindNothing)
{
    auto *form = NewForm<TTestForm>(nullptr);
    HWND handle = form->eDisplay->Handle();
    EXPECT_EQ(FindControl(handle), form->eDisplay);
    delete form;
    EXPECT_EQ(FindControl(handle), nullptr);
    EXPECT_EQ(SendMessage(handle, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(SetWindowLong(handle, GWL_EXSTYLE, WS_EX_RIGHT), 0);
}

TEST(Controls, AHandlerThatThrowsReachesTheDefaultErrorBox)
{
    ScriptedMessageBoxes boxes;
    FormPtr form = ShownForm();
    Application->SetTitle("ORVEX Tabulo");
    form->throwOnClick = true;
    ClickControl(form->bSumar);
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "Intento de división por cero.");
    EXPECT_EQ(boxes.Last().Caption, "ORVEX Tabulo");
    EXPECT_EQ(boxes.Last().Flags, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(form->sumarClicks, 1);

    // An EAbort is silent; OnException takes over the box when assigned.
    form->bSumar->OnClick = [](TObject *) { Abort(); };
    ClickControl(form->bSumar);
    EXPECT_EQ(boxes.Count(), 1);
    std::string handled;
    Application->OnException = [&](TObject *sender, Exception &e) {
        handled = std::string(sender ? sender->ClassName() : "") + ": " + e.Message();
    };
    form->bSumar->OnClick = [](TObject *) { throw std::runtime_error("plain"); };
    ClickControl(form->bSumar);
    Application->OnException.Clear();
    EXPECT_EQ(handled, "TSpeedButton: plain");
    EXPECT_EQ(boxes.Count(), 1);
}

TEST(Controls, AnErrorWhilePaintingIsReportedNotThrownThroughQt)
{
    ScriptedMessageBoxes boxes;
    FormPtr form = ShownForm();
    form->throwOnDraw = true;
    form->drawnItems.clear();
    PixelOf(form->lbTape, 1, 1); // paints the list now
    EXPECT_FALSE(form->drawnItems.empty());
    ASSERT_GE(boxes.Count(), 1);
    EXPECT_EQ(boxes.Last().Text, "paint failed.");
}

TEST(Controls, OwnerDrawnListBoxPaintsEachItemThroughItsHandler)
{
    FormPtr form = ShownForm();
    TListBox *list = form->lbTape;
    form->drawnItems.clear();
    form->drawnRects.clear();
    PixelOf(list, 1, 1);
    ASSERT_EQ(form->drawnItems, (std::vector<int> { 0, 1, 2 }));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(form->drawnRects[i].Height(), 13);
        EXPECT_EQ(form->drawnRects[i].Top, i * 13);
        EXPECT_EQ(list->ItemRect(i), form->drawnRects[i]);
    }
    // The handler right-aligns the text: its ink ends next to the right edge.
    TRect row = form->drawnRects[0];
    int rightmostInk = -1;
    for (int x = 0; x < row.Right; ++x)
        for (int y = row.Top; y < row.Bottom; ++y)
            if ((ColorToRGB(PixelOf(list, x + 2, y + 2)) & 0xFF) < 0x60)
                rightmostInk = std::max(rightmostInk, x);
    EXPECT_GT(rightmostInk, row.Right - 8);
}

TEST(Controls, ListBoxMessagesAndScrollingToTheLastLine)
{
    FormPtr form = ShownForm();
    TListBox *list = form->lbTape;
    std::string line = "cuatro";
    EXPECT_EQ(list->Perform(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str())), 3);
    EXPECT_EQ(list->Perform(LB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(list->Perform(LB_SETCURSEL, 9, 0), LB_ERR);
    EXPECT_EQ(list->Perform(LB_GETCURSEL, 0, 0), -1);
    EXPECT_EQ(list->Perform(LB_DELETESTRING, 7, 0), LB_ERR);
    EXPECT_EQ(list->Perform(LB_GETITEMHEIGHT, 0, 0), 13);

    int clicks = 0;
    list->OnClick = [&](TObject *) { ++clicks; };
    for (int i = 0; i < 40; ++i)
        list->Items()->Add("línea " + std::to_string(i));
    list->SetItemIndex(list->Items()->Count() - 1);
    EXPECT_EQ(list->ItemIndex(), 43);
    EXPECT_GT(list->TopIndex(), 30) << "selecting the last line scrolls it into view";
    list->SetItemIndex(-1);
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_GT(list->TopIndex(), 30);
    EXPECT_EQ(clicks, 0) << "a program's selection is no click";

    // A user's click on a line selects it and is a click.
    list->SetTopIndex(0);
    ClickControl(list, 20, 13 + 6);
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(clicks, 1);

    list->Items()->Clear();
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_EQ(list->Perform(LB_GETCOUNT, 0, 0), 0);
}

TEST(Controls, RadioGroupClickChoosesAnItem)
{
    FormPtr form = ShownForm();
    TRadioGroup *group = form->rgDec;
    form->decClicks = 0;
    group->SetItemIndex(4);
    EXPECT_EQ(form->decClicks, 1);
    group->SetItemIndex(4);
    EXPECT_EQ(form->decClicks, 1);
    group->SetItemIndex(7);
    EXPECT_EQ(group->ItemIndex(), -1);

    // Five columns across the group: the first button sits at its left edge.
    ClickControl(group, 8 + 8, group->Height() - 14);
    ProcessPendingEvents();
    EXPECT_EQ(group->ItemIndex(), 0);
    EXPECT_EQ(form->decClicks, 3);
}

TEST(Controls, MenuItemsAndPopupMenus)
{
    FormPtr form = ShownForm();
    form->imSalir->Click();
    EXPECT_EQ(form->salirClicks, 1);
    EXPECT_EQ(StripHotkey(form->imArchivo->Caption()), "Archivo");
    EXPECT_EQ(StripHotkey("Copiar && pegar"), "Copiar & pegar");
    EXPECT_EQ(form->MainMenu1->FindItem(ShortCut('X', false, true, false)), form->imSalir);

    // An empty popup menu shows nothing and returns at once.
    auto *popup = new TPopupMenu(form.get());
    int popped = 0;
    popup->OnPopup = [&](TObject *) { ++popped; };
    form->eDisplay->SetPopupMenu(popup);
    popup->Popup(10, 10);
    EXPECT_EQ(popped, 1);
    delete popup;
    EXPECT_EQ(form->eDisplay->PopupMenu(), nullptr) << "a freed menu is forgotten";
}

TEST(Controls, ScreenshotShowsTheWindow)
{
    FormPtr form = ShownForm();
    form->lbTape->Items()->Add("1.234,50");
    std::string path = std::string(ORVEX_BINARY_DIR) + "/screenshots/platform_ui_testform.png";
    std::filesystem::remove(path);
    int64_t size = SaveScreenshot(form.get(), path);
    EXPECT_GT(size, 1000);
    EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(path)), size);
}

TEST(Controls, ScreenCursorAndActiveForm)
{
    FormPtr form = ShownForm();
    EXPECT_EQ(Screen->ActiveForm(), form.get());
    Screen->SetCursor(crHourGlass);
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    Screen->SetCursor(crDefault);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    form->eDisplay->SetFocus();
    EXPECT_EQ(Screen->ActiveControl(), form->eDisplay);
}

TEST(Controls, EnterAndExitFollowTheFocus)
{
    FormPtr form = ShownForm();
    std::vector<std::string> seen;
    form->eDisplay->OnEnter = [&](TObject *) { seen.push_back("enter edit"); };
    form->eDisplay->OnExit = [&](TObject *) { seen.push_back("exit edit"); };
    form->bOk->OnEnter = [&](TObject *) { seen.push_back("enter ok"); };
    form->eDisplay->SetFocus();
    form->bOk->SetFocus();
    EXPECT_EQ(seen, (std::vector<std::string> { "enter edit", "exit edit", "enter ok" }));
    EXPECT_EQ(form->ActiveControl(), form->bOk);
    // Entering an edit selects all of it.
    form->eDisplay->SetFocus();
    EXPECT_EQ(form->eDisplay->SelLength(), 2);
}

} // namespace
