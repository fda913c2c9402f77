#include "platform/ui/dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QEnterEvent>
#include <QFileDialog>
#include <QFontDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QWidgetAction>

#include <filesystem>
#include <memory>
#include <vector>

#include "platform/ui/buttons.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/qtbridge_p.h"
#include "platform/ui/testing.h"

namespace
{

// ---- Filters ---------------------------------------------------------------------------------

TEST(FileFilters, ReadTheClassLibrarysSyntax)
{
    const std::string filter = "Rich Text Files (*.RTF)|*.RTF|Text Files (*.TXT)|*.TXT;*.ASC|All|*.*";
    EXPECT_EQ(FilterCount(filter), 3);
    EXPECT_EQ(FilterDescription(filter, 1), "Rich Text Files (*.RTF)");
    EXPECT_EQ(FilterPatterns(filter, 2), "*.TXT;*.ASC");
    EXPECT_EQ(FilterPatterns(filter, 3), "*.*");
    EXPECT_EQ(FilterPatterns(filter, 4), "") << "one past the end";
    EXPECT_EQ(FilterPatterns(filter, 0), "") << "indexes start at 1";
    EXPECT_EQ(FilterCount(""), 0);
    EXPECT_EQ(FilterCount("Odd"), 1) << "a description without patterns still counts";
    EXPECT_EQ(FilterPatterns("Odd", 1), "");

    struct Case {
        const char *name, *file, *ext;
        int index;
        const char *expected;
    } cases[] = {
        { "the default extension is added", "notes", "rtf", 0, "notes.rtf" },
        { "a file with an extension keeps it", "notes.doc", "rtf", 1, "notes.doc" },
        { "one plain pattern wins", "notes", "rtf", 1, "notes.RTF" },
        { "a list of patterns leaves the default", "notes", "rtf", 2, "notes.rtf" },
        { "*.* leaves the default", "notes", "rtf", 3, "notes.rtf" },
        { "no default, no pattern: as typed", "notes", "", 3, "notes" },
        { "nothing typed stays nothing", "", "rtf", 1, "" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(AddDefaultExtension(c.file, c.ext, filter, c.index), c.expected) << c.name;
}

// ---- Message dialogs -------------------------------------------------------------------------

TEST(MessageDlgs, AreCaptionedByTypeWithTheButtonsAskedFor)
{
    ScriptedMessageBoxes boxes;
    struct Case {
        TMsgDlgType type;
        TMsgDlgButtons buttons;
        const char *caption;
        uint32_t flags;
    } cases[] = {
        { mtConfirmation, { mbYes, mbNo, mbCancel }, "Confirm", MB_YESNOCANCEL | MB_ICONQUESTION },
        { mtConfirmation, { mbOK, mbCancel }, "Confirm", MB_OKCANCEL | MB_ICONQUESTION },
        { mtInformation, { mbOK }, "Information", MB_OK | MB_ICONINFORMATION },
        { mtWarning, { mbYes, mbNo }, "Warning", MB_YESNO | MB_ICONWARNING },
        { mtError, { mbAbort, mbRetry, mbIgnore }, "Error", MB_ABORTRETRYIGNORE | MB_ICONERROR },
    };
    for (const Case &c : cases) {
        boxes.Answer(IDNO);
        EXPECT_EQ(MessageDlg("text", c.type, c.buttons), mrNo);
        EXPECT_EQ(boxes.Last().Caption, c.caption);
        EXPECT_EQ(boxes.Last().Flags, c.flags) << c.caption;
    }
}

// ---- The Qt dialogs --------------------------------------------------------------------------

QDialog *WindowTitled(const QString &title)
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<QDialog *>(widget); dialog && dialog->isVisible() && dialog->windowTitle() == title)
            return dialog;
    return nullptr;
}

QPushButton *ButtonOf(QWidget *window, const QString &text)
{
    for (QPushButton *button : window->findChildren<QPushButton *>())
        if (button->text() == text)
            return button;
    return nullptr;
}

TEST(QtFindDialogs, RunTheirEventsFromTheirButtons)
{
    TFindDialog find(nullptr);
    std::vector<std::string> found;
    TFindOptions optionsSeen;
    int closed = 0;
    find.OnFind = [&](TObject *) {
        found.push_back(find.FindText());
        optionsSeen = find.Options();
    };
    find.OnClose = [&](TObject *) { ++closed; };
    find.SetFindText("first");
    ASSERT_TRUE(find.Execute());
    EXPECT_TRUE(find.Showing());
    QDialog *window = WindowTitled("Find");
    ASSERT_NE(window, nullptr);
    QLineEdit *field = window->findChild<QLineEdit *>();
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(), "first");
    field->setText("second");
    for (QCheckBox *check : window->findChildren<QCheckBox *>())
        if (check->text() == "Match &case")
            check->setChecked(true);
    ButtonOf(window, "&Find Next")->click();
    EXPECT_EQ(found, std::vector<std::string> { "second" });
    EXPECT_TRUE(optionsSeen.Contains(frMatchCase));
    EXPECT_TRUE(optionsSeen.Contains(frFindNext));
    ButtonOf(window, "Cancel")->click();
    ProcessPendingEvents();
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(find.Showing());
    EXPECT_EQ(WindowTitled("Find"), nullptr);

    TReplaceDialog replace(nullptr);
    bool all = false;
    std::string with;
    replace.OnReplace = [&](TObject *) {
        all = replace.Options().Contains(frReplaceAll);
        with = replace.ReplaceText();
    };
    ASSERT_TRUE(replace.Execute());
    window = WindowTitled("Replace");
    ASSERT_NE(window, nullptr);
    auto fields = window->findChildren<QLineEdit *>();
    ASSERT_EQ(fields.size(), 2);
    fields[1]->setText("new");
    ButtonOf(window, "Replace &All")->click();
    EXPECT_TRUE(all);
    EXPECT_EQ(with, "new");
    replace.CloseDialog();
    ProcessPendingEvents();
    EXPECT_EQ(WindowTitled("Replace"), nullptr) << "the program closes it too";
}

TEST(QtFileDialogs, ChooseAFileWithTheFiltersExtension)
{
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "qxdialogs-test";
    std::filesystem::create_directories(folder);
    TSaveDialog save(nullptr);
    save.SetFilter("Rich Text Files (*.RTF)|*.RTF|Text Files (*.TXT)|*.TXT");
    save.SetFilterIndex(2);
    save.SetDefaultExt("rtf");
    save.SetInitialDir(folder.string());
    QStringList filtersShown;
    QueueCall([&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        filtersShown = dialog->nameFilters();
        EXPECT_EQ(dialog->selectedNameFilter(), filtersShown.value(1));
        dialog->selectFile("letter");
        static_cast<QDialog *>(dialog)->accept();
    });
    ASSERT_TRUE(save.Execute());
    EXPECT_EQ(filtersShown.size(), 2);
    EXPECT_EQ(save.FileName(), (folder / "letter.TXT").string());
    EXPECT_EQ(save.FilterIndex(), 2);

    TOpenDialog open(nullptr);
    QueueCall([] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    EXPECT_FALSE(open.Execute());
}

TEST(QtFontAndPageDialogs, GiveBackWhatWasChosen)
{
    TFontDialog font(nullptr);
    font.Font()->SetName("DejaVu Sans");
    font.Font()->SetSize(10);
    QueueCall([] {
        auto *dialog = qobject_cast<QFontDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QFont chosen("DejaVu Serif");
        chosen.setPointSize(14);
        chosen.setBold(true);
        dialog->setCurrentFont(chosen);
        dialog->accept();
    });
    ASSERT_TRUE(font.Execute());
    EXPECT_EQ(font.Font()->Name(), "DejaVu Serif");
    EXPECT_EQ(font.Font()->Size(), 14);
    EXPECT_EQ(font.Font()->Style(), TFontStyles { fsBold });

    PAGESETUPDLG setup;
    setup.Flags = PSD_MARGINS | PSD_INTHOUSANDTHSOFINCHES;
    setup.rtMargin = Rect(1500, 1000, 750, 2000);
    bool shown = false;
    QueueCall([&] {
        QWidget *dialog = QApplication::activeModalWidget();
        shown = dialog != nullptr;
        if (auto *modal = qobject_cast<QDialog *>(dialog))
            modal->accept();
    });
    ASSERT_TRUE(PageSetupDlg(setup));
    EXPECT_TRUE(shown);
    EXPECT_EQ(setup.rtMargin.Left, 1500) << "the margins come back as they went in";
    EXPECT_EQ(setup.rtMargin.Top, 1000);
    EXPECT_EQ(setup.rtMargin.Right, 750);
    EXPECT_EQ(setup.rtMargin.Bottom, 2000);
    EXPECT_EQ(setup.dmOrientation, DMORIENT_PORTRAIT);
}

// ---- Menus -----------------------------------------------------------------------------------

TEST(OwnerDrawnMenus, PaintTheirItemsAndChooseThem)
{
    TPopupMenu menu(nullptr);
    auto *item = new TMenuItem(&menu);
    item->SetCaption("Red");
    menu.Items()->Add(item);
    int measured = 0, clicked = 0;
    std::vector<bool> selections;
    item->OnMeasureItem = [&](TObject *, TCanvas *, int &width, int &height) {
        ++measured;
        width = 140;
        height = 24;
    };
    item->OnDrawItem = [&](TObject *, TCanvas *canvas, TRect rect, bool selected) {
        selections.push_back(selected);
        canvas->Brush()->SetColor(clRed);
        canvas->FillRect(rect);
    };
    item->OnClick = [&](TObject *) { ++clicked; };
    QColor painted;
    QSize size;
    QueueCall([&] {
        auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(popup, nullptr);
        auto *action = qobject_cast<QWidgetAction *>(popup->actions().value(0));
        ASSERT_NE(action, nullptr);
        QWidget *widget = action->defaultWidget();
        size = widget->size();
        painted = widget->grab().toImage().pixelColor(widget->width() / 2, widget->height() / 2);
        QPointF centre(widget->width() / 2.0, widget->height() / 2.0);
        QMouseEvent release(QEvent::MouseButtonRelease, centre, widget->mapToGlobal(centre), Qt::LeftButton,
            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &release);
    });
    menu.Popup(100, 100);
    EXPECT_EQ(measured, 1);
    EXPECT_GE(size.width(), 140);
    EXPECT_EQ(size.height(), 24);
    EXPECT_EQ(painted, QColor(Qt::red));
    EXPECT_FALSE(selections.empty());
    EXPECT_EQ(clicked, 1) << "a click on the painted item chooses it";
}

TEST(MainMenus, PrepareOnOpeningAndShowItemsHiddenAtFirst)
{
    auto form = std::make_unique<TForm>(nullptr);
    auto *menu = new TMainMenu(form.get());
    auto *edit = new TMenuItem(form.get());
    edit->SetCaption("&Edit");
    menu->Items()->Add(edit);
    auto *later = new TMenuItem(form.get());
    later->SetCaption("Later");
    later->SetVisible(false);
    edit->Add(later);
    auto *hidden = new TMenuItem(form.get());
    hidden->SetCaption("&Hidden");
    hidden->SetVisible(false);
    hidden->Add(new TMenuItem(form.get()));
    menu->Items()->Add(hidden);
    int opened = 0;
    edit->OnClick = [&](TObject *) {
        ++opened;
        later->SetVisible(true);
    };
    form->SetMenu(menu);
    form->Show();
    auto *bar = TQtBoundary::Widget(form.get())->findChild<QMenuBar *>();
    ASSERT_NE(bar, nullptr);
    QList<QAction *> tops = bar->actions();
    ASSERT_EQ(tops.size(), 2);
    EXPECT_FALSE(tops[1]->isVisible()) << "a hidden menu stays off the bar";
    QMenu *sub = tops[0]->menu();
    ASSERT_NE(sub, nullptr);
    EXPECT_FALSE(sub->actions().value(0)->isVisible());
    sub->popup(QPoint(10, 10));
    EXPECT_EQ(opened, 1) << "an item's OnClick runs as its menu opens";
    EXPECT_TRUE(sub->actions().value(0)->isVisible()) << "and may show what was hidden";
    sub->close();
    hidden->SetVisible(true);
    EXPECT_TRUE(tops[1]->isVisible());
}

// ---- Hints, locks, bars and bevels -----------------------------------------------------------

TEST(ApplicationHints, FollowTheMouseAndTellOnHint)
{
    auto form = std::make_unique<TForm>(nullptr);
    auto *button = new TButton(form.get());
    button->SetParent(form.get());
    button->SetHint("Print | Prints the active document");
    button->SetShowHint(true);
    form->Show();
    std::vector<std::string> seen;
    Application->OnHint = [&](TObject *) { seen.push_back(Application->Hint()); };
    QWidget *widget = TQtBoundary::Widget(button);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(widget, &enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
    Application->OnHint = {};
    EXPECT_EQ(seen, (std::vector<std::string> { " Prints the active document", "" }));
    EXPECT_EQ(widget->toolTip().toStdString(), "Print ") << "the short part shows beside the control";
    EXPECT_EQ(GetShortHint("no bar"), "no bar");
    EXPECT_EQ(GetLongHint("no bar"), "no bar");
}

TEST(KeyLocks, FollowTheLockKeysWhenTheMachineShowsNoLights)
{
    if (std::filesystem::exists("/sys/class/leds") && !std::filesystem::is_empty("/sys/class/leds"))
        GTEST_SKIP() << "this machine's keyboard lights tell the state";
    auto form = std::make_unique<TForm>(nullptr);
    auto *edit = new TEdit(form.get());
    edit->SetParent(form.get());
    form->Show();
    bool before = GetKeyState(VK_CAPITAL) & 1;
    PressKey(edit, VK_CAPITAL);
    EXPECT_EQ((GetKeyState(VK_CAPITAL) & 1) != 0, !before);
    PressKey(edit, VK_CAPITAL);
    EXPECT_EQ((GetKeyState(VK_CAPITAL) & 1) != 0, before);
    EXPECT_EQ(GetKeyState('A') & 1, 0) << "other keys have no lock";

    FixedKeyLocks locks;
    locks.Set(VK_NUMLOCK, true);
    EXPECT_EQ(GetKeyState(VK_NUMLOCK) & 1, 1);
}

TEST(StatusBars, LayTheirPanelsOutAndDrawTheirTexts)
{
    auto form = std::make_unique<TForm>(nullptr);
    form->SetClientWidth(320);
    form->SetClientHeight(100);
    auto *bar = new TStatusBar(form.get());
    bar->SetParent(form.get());
    for (int width : { 100, 50, -1 })
        bar->Panels()->Add()->SetWidth(width);
    bar->Panels()->Items(0)->SetBevel(pbNone);
    bar->Panels()->Items(1)->SetText("WWWW");
    form->Show();
    EXPECT_EQ(bar->Top() + bar->Height(), form->ClientHeight()) << "at the bottom of the form";
    EXPECT_EQ(bar->Width(), 320);
    EXPECT_EQ(bar->PanelRect(0).Right, 100);
    EXPECT_EQ(bar->PanelRect(1).Left, 102);
    EXPECT_EQ(bar->PanelRect(1).Right, 152);
    EXPECT_EQ(bar->PanelRect(2).Right, 320) << "the last panel takes the rest";
    auto darkPixels = [&](int left, int right) {
        int dark = 0;
        for (int x = left + 2; x < right - 2; ++x)
            for (int y = 4; y < bar->Height() - 3; ++y)
                if ((PixelOf(bar, x, y) & 0xFF) < 0x60)
                    ++dark;
        return dark;
    };
    EXPECT_GT(darkPixels(102, 152), 10) << "the text is drawn";
    EXPECT_EQ(darkPixels(154, 320), 0) << "an empty panel shows nothing";
    EXPECT_EQ(PixelOf(bar, 153 + 1, 2), ColorToRGB(clBtnShadow)) << "a lowered panel's top edge";
}

} // namespace
