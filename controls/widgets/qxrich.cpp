#include "controls/widgets/qxrich.h"

#include "controls/base/Qxintl.h"
#include "controls/base/Qxtypes.h"
#include "controls/widgets/qxTrackIcon.h"
#include "controls/widgets/qxriched.h"

#include "platform/classes/typinfo.h"
#include "platform/db/db.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/printers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

const TMetaClass TqxRichEditForm::Class { "TqxRichEditForm", &TForm::Class };
const TMetaClass TqxPageSetupDialog::Class { "TqxPageSetupDialog", &TCommonDialog::Class };

namespace
{
using F = TqxRichEditForm;
// clang-format off
const TClassRegistrar<TqxRichEditForm> registrar({},
    {{"FormCreate", &F::FormCreate}, {"FormDestroy", &F::FormDestroy}, {"FormShow", &F::FormShow},
     {"FormClose", &F::FormClose}, {"FormCloseQuery", &F::FormCloseQuery}, {"FormResize", &F::FormResize},
     {"FormKeyPress", &F::FormKeyPress}, {"FormKeyUp", &F::FormKeyUp},
     {"Load1Click", &F::Load1Click}, {"LoadButton1Click", &F::LoadButton1Click}, {"SaveAs1Click", &F::SaveAs1Click},
     {"SaveAsButtonClick", &F::SaveAsButtonClick}, {"SaveExit1Click", &F::SaveExit1Click},
     {"Exit1Click", &F::Exit1Click}, {"Print1Click", &F::Print1Click}, {"PrintButtonClick", &F::PrintButtonClick},
     {"PageSetup1Click", &F::PageSetup1Click}, {"NewButtonClick", &F::NewButtonClick},
     {"Edit1Click", &F::Edit1Click}, {"Undo1Click", &F::Undo1Click}, {"UndoButtonClick", &F::UndoButtonClick},
     {"Redo1Click", &F::Redo1Click}, {"RedoButtonClick", &F::RedoButtonClick}, {"Cut1Click", &F::Cut1Click},
     {"CutButtonClick", &F::CutButtonClick}, {"Copy1Click", &F::Copy1Click}, {"CopyButtonClick", &F::CopyButtonClick},
     {"Paste1Click", &F::Paste1Click}, {"PasteButtonClick", &F::PasteButtonClick}, {"Clear1Click", &F::Clear1Click},
     {"SelectAll1Click", &F::SelectAll1Click},
     {"Find1Click", &F::Find1Click}, {"FindButtonClick", &F::FindButtonClick}, {"FindNext1Click", &F::FindNext1Click},
     {"Replace1Click", &F::Replace1Click},
     {"Toolbar1Click", &F::Toolbar1Click}, {"FormatBar1Click", &F::FormatBar1Click},
     {"StatusBar1Click", &F::StatusBar1Click}, {"Ruler1Click", &F::Ruler1Click},
     {"BoldButtonClick", &F::BoldButtonClick}, {"ItalicButtonClick", &F::ItalicButtonClick},
     {"UnderlineButtonClick", &F::UnderlineButtonClick}, {"BoldButtonMouseDown", &F::BoldButtonMouseDown},
     {"LeftButtonClick", &F::LeftButtonClick}, {"CenterButtonClick", &F::CenterButtonClick},
     {"RightButtonClick", &F::RightButtonClick}, {"BulletButtonClick", &F::BulletButtonClick},
     {"BulletStyle1Click", &F::BulletStyle1Click}, {"Font1Click", &F::Font1Click},
     {"Paragraph1Click", &F::Paragraph1Click}, {"Tabs1Click", &F::Tabs1Click},
     {"FontNameComboDropDown", &F::FontNameComboDropDown}, {"FontNameComboCloseUp", &F::FontNameComboCloseUp},
     {"FontSizeComboCloseUp", &F::FontSizeComboCloseUp}, {"FontSizeComboExit", &F::FontSizeComboExit},
     {"SpeedButton1Click", &F::SpeedButton1Click},
     {"InsertObject1Click", &F::InsertObject1Click}, {"RichEdit1SelectionChange", &F::RichEdit1SelectionChange}},
    {{"ToolBarBevel", &F::ToolBarBevel}, {"FormatBarBevel", &F::FormatBarBevel}, {"RulerBevel", &F::RulerBevel},
     {"StatusBar", &F::StatusBar}, {"FormatBar", &F::FormatBar},
     {"BoldButton", &F::BoldButton}, {"UnderlineButton", &F::UnderlineButton}, {"ItalicButton", &F::ItalicButton},
     {"BulletButton", &F::BulletButton}, {"LeftButton", &F::LeftButton}, {"CenterButton", &F::CenterButton},
     {"RightButton", &F::RightButton}, {"SpeedButton1", &F::SpeedButton1},
     {"FontNameCombo", &F::FontNameCombo}, {"FontSizeCombo", &F::FontSizeCombo}, {"Toolbar", &F::Toolbar},
     {"NewButton", &F::NewButton}, {"LoadButton1", &F::LoadButton1}, {"SaveAsButton", &F::SaveAsButton},
     {"PrintButton", &F::PrintButton}, {"FindButton", &F::FindButton}, {"CutButton", &F::CutButton},
     {"CopyButton", &F::CopyButton}, {"UndoButton", &F::UndoButton}, {"PasteButton", &F::PasteButton},
     {"RedoButton", &F::RedoButton}, {"UserButtonBevel", &F::UserButtonBevel}, {"MainMenu1", &F::MainMenu1},
     {"File1", &F::File1}, {"Load1", &F::Load1}, {"SaveAs1", &F::SaveAs1}, {"SaveExit1", &F::SaveExit1},
     {"FileSep1", &F::FileSep1}, {"Print1", &F::Print1}, {"PageSetup1", &F::PageSetup1}, {"FileSep2", &F::FileSep2},
     {"Exit1", &F::Exit1}, {"Edit1", &F::Edit1}, {"Undo1", &F::Undo1}, {"Redo1", &F::Redo1}, {"Cut1", &F::Cut1},
     {"Copy1", &F::Copy1}, {"Paste1", &F::Paste1}, {"Clear1", &F::Clear1}, {"SelectAll1", &F::SelectAll1},
     {"Find1", &F::Find1}, {"FindNext1", &F::FindNext1}, {"Replace1", &F::Replace1}, {"View1", &F::View1},
     {"Toolbar1", &F::Toolbar1}, {"FormatBar1", &F::FormatBar1}, {"StatusBar1", &F::StatusBar1},
     {"Ruler1", &F::Ruler1}, {"Options1", &F::Options1}, {"Insert1", &F::Insert1},
     {"InsertObject1", &F::InsertObject1}, {"Format1", &F::Format1}, {"Font1", &F::Font1},
     {"BulletStyle1", &F::BulletStyle1}, {"Paragraph1", &F::Paragraph1}, {"Tabs1", &F::Tabs1}, {"Help1", &F::Help1},
     {"PrintDialog1", &F::PrintDialog1}, {"OpenDialog1", &F::OpenDialog1}, {"SaveDialog1", &F::SaveDialog1},
     {"PopupMenu1", &F::PopupMenu1}, {"Automatic1", &F::Automatic1}});
const TClassRegistrar<TqxPageSetupDialog> pageSetupRegistrar({});
// clang-format on

// The options a read-only editor keeps (no load, save, bars or ruler).
constexpr uint32_t kReadOnlyOptionsMask = 0xFD18;
// Cut, Copy, Paste, Font, Bullet and Paragraph.
constexpr uint32_t kInnerPopupOptions = 910;

const TqxIntlTexts &RichTexts()
{
    return *qxIntl()->RichEdit();
}

// A size typed or chosen in the size combo: a positive whole number, or
// nothing (any other text is left alone).
bool SizeOfText(const std::string &text, int &size)
{
    std::string trimmed = Trim(text);
    if (trimmed.empty() || trimmed.size() > 4
        || !std::all_of(trimmed.begin(), trimmed.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    size = std::stoi(trimmed);
    return size > 0;
}

// The bars' pictures, drawn once on 16 x 16 bitmaps; the bottom-left
// pixel's colour is the background a button leaves out.
enum TGlyph { gNew, gLoad, gSave, gPrint, gFind, gCut, gCopy, gPaste, gUndo, gRedo, gBold, gItalic, gUnderline,
    gColour, gLeft, gCenter, gRight, gBullet };

void DrawGlyph(TCanvas *c, TGlyph glyph)
{
    // Near the button face, so that the edges of smoothed letters blend into it.
    const TColor background = static_cast<TColor>(0xC1C0C0), ink = clBlack, paper = clWhite, shade = clGray;
    c->Brush()->SetColor(background);
    c->FillRect(Rect(0, 0, 16, 16));
    c->Pen()->SetWidth(1);
    auto line = [c](TColor color, int x1, int y1, int x2, int y2) {
        c->Pen()->SetColor(color);
        c->MoveTo(x1, y1);
        c->LineTo(x2, y2);
    };
    auto box = [c](TColor pen, TColor fill, int x1, int y1, int x2, int y2) {
        c->Pen()->SetColor(pen);
        c->Brush()->SetColor(fill);
        c->Rectangle(x1, y1, x2, y2);
    };
    auto page = [&](int x, int y, int w, int h) {
        box(ink, paper, x, y, x + w, y + h);
        for (int row = y + 3; row < y + h - 2; row += 2)
            line(shade, x + 2, row, x + w - 2, row);
    };
    auto letter = [c](const char *text, TFontStyles style, TColor color) {
        c->Font()->SetName("DejaVu Serif");
        c->Font()->SetHeight(-13);
        c->Font()->SetStyle(style);
        c->Font()->SetColor(color);
        c->Brush()->SetStyle(bsClear);
        TRect rect = Rect(0, 0, 16, 15);
        DrawText(c, text, rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        c->Brush()->SetStyle(bsSolid);
    };
    auto arrow = [&](bool left) {
        int tip = left ? 3 : 12, dir = left ? 1 : -1;
        c->Pen()->SetColor(clNavy);
        c->Pen()->SetWidth(2);
        c->MoveTo(tip + dir * 9, 12);
        c->LineTo(tip + dir * 9, 7);
        c->LineTo(tip + dir * 2, 7);
        c->Pen()->SetWidth(1);
        for (int i = 0; i < 4; ++i)
            line(clNavy, tip + dir * i, 7 - i, tip + dir * i, 8 + i);
    };
    auto rows = [&](int align) {
        const int widths[] = { 12, 8, 12, 6, 12 };
        for (int i = 0; i < 5; ++i) {
            int w = widths[i], x = align == 0 ? 2 : align == 1 ? 8 - w / 2 : 14 - w;
            line(ink, x, 3 + i * 2 + (i > 0 ? i : 0), x + w, 3 + i * 2 + (i > 0 ? i : 0));
        }
    };
    switch (glyph) {
    case gNew:
        page(3, 1, 10, 14);
        break;
    case gLoad:
        box(ink, clYellow, 1, 5, 14, 14);
        box(ink, clOlive, 1, 3, 7, 6);
        break;
    case gSave:
        box(ink, clNavy, 2, 2, 14, 14);
        box(ink, paper, 4, 2, 12, 8);
        box(ink, shade, 5, 10, 11, 14);
        break;
    case gPrint:
        page(4, 1, 8, 7);
        box(ink, clSilver, 1, 7, 15, 13);
        line(clLime, 12, 9, 14, 9);
        break;
    case gFind:
        c->Pen()->SetColor(ink);
        c->Brush()->SetColor(clAqua);
        c->Pen()->SetWidth(2);
        c->Ellipse(2, 2, 10, 10);
        c->MoveTo(9, 9);
        c->LineTo(14, 14);
        c->Pen()->SetWidth(1);
        break;
    case gCut:
        line(ink, 4, 1, 10, 10);
        line(ink, 11, 1, 5, 10);
        c->Pen()->SetColor(clNavy);
        c->Brush()->SetColor(background);
        c->Ellipse(1, 9, 7, 15);
        c->Ellipse(8, 9, 14, 15);
        break;
    case gCopy:
        page(1, 1, 8, 10);
        page(6, 5, 8, 10);
        break;
    case gPaste:
        box(ink, clOlive, 2, 2, 12, 15);
        box(ink, clSilver, 5, 1, 9, 4);
        page(7, 6, 8, 9);
        break;
    case gUndo:
        arrow(true);
        break;
    case gRedo:
        arrow(false);
        break;
    case gBold:
        letter("B", { fsBold }, ink);
        break;
    case gItalic:
        letter("I", { fsItalic }, ink);
        break;
    case gUnderline:
        letter("U", { fsUnderline }, ink);
        break;
    case gColour:
        letter("A", { fsBold }, ink);
        box(clRed, clRed, 2, 13, 14, 16);
        break;
    case gLeft:
        rows(0);
        break;
    case gCenter:
        rows(1);
        break;
    case gRight:
        rows(2);
        break;
    case gBullet:
        for (int i = 0; i < 3; ++i) {
            box(ink, ink, 2, 3 + i * 4, 4, 5 + i * 4);
            line(ink, 6, 4 + i * 4, 14, 4 + i * 4);
        }
        break;
    }
    c->Pen()->SetColor(background);
    c->SetPixels(0, 15, background);
}

} // namespace

struct TqxRichEditForm::Impl {
    bool lastDown = false; // the pressed state of the last format button, at mouse-down
    TNotifyEvent savedOnHint;
    std::unique_ptr<TCanvas> canvas;
    TWinControl *oldParent1 = nullptr, *oldParent2 = nullptr;
    TqxCustomRichEdit *caller = nullptr;
    TqxCustomRichEdit *edit = nullptr;
    TqxRulerPanel *ruler = nullptr;
    bool sizeModified = false;
    // Ctrl+Z undid already as it went down (through Undo1's shortcut or in
    // the edit); its key-up must not undo a second step.
    bool undone = false;
};

TqxRichEditForm::TqxRichEditForm(TComponent *owner)
    : TForm(owner)
    , d(std::make_unique<Impl>())
{
}

TqxRichEditForm::~TqxRichEditForm()
{
    // OnDestroy runs here, while the form is still this class; the base
    // destructor would call it on what is left.
    TNotifyEvent destroy = std::exchange(OnDestroy, {});
    destroy(this);
}

TqxCustomRichEdit *TqxRichEditForm::Caller() const
{
    return d->caller;
}
TqxCustomRichEdit *TqxRichEditForm::RichEdit1() const
{
    return d->edit;
}
TqxRulerPanel *TqxRichEditForm::Ruler() const
{
    return d->ruler;
}

// ---- Opening from the calling control -------------------------------------------------------

void TqxRichEditForm::Setup(TqxCustomRichEdit *caller)
{
    d->caller = caller;
    auto *edit = static_cast<TqxCustomRichEdit *>(CreateComponent(*caller->ClassType(), this));
    d->edit = edit;
    edit->SetOleOptions(caller->OleOptions());
    edit->SetScrollBars(ssVertical);
    edit->SetWordWrap(caller->WordWrap());
    edit->SetHideSelection(false);
    edit->SetWantTabs(true);
    edit->OnSelectionChange = [this](TObject *sender) { RichEdit1SelectionChange(sender); };
    edit->SetPopupOptions(TqxRichEditPopupOptions::FromBits(kInnerPopupOptions));
    edit->SetEditorCaption("Edit Rich Text");
    edit->SetMeasurementUnits(muInches);
    edit->SetMeasurementUnits(caller->MeasurementUnits());
    edit->PrintMargins()->Assign(caller->PrintMargins());
    edit->SetName("RichEdit1");

    d->ruler = new TqxRulerPanel(this);
    d->ruler->SetParent(this);
    d->ruler->SetTop(FormatBar->Top() + FormatBar->Height() + 10);
    edit->SetParent(this);
    edit->SetBounds(0, d->ruler->Top() + 62, 595, 330);
    edit->SetTabOrder(3);
    d->ruler->Setup(edit);
    SetActiveControl(edit);

    SetCaption(caller->EditorCaption());
    edit->Font()->Assign(caller->Font());
    TTextAttributes *defaults = edit->DefAttributes();
    defaults->SetName(caller->Font()->Name());
    defaults->SetStyle(caller->Font()->Style());
    defaults->SetColor(caller->Font()->Color());
    defaults->SetSize(caller->Font()->Size());
    defaults->SetPitch(caller->Font()->Pitch());
    edit->OnInitDialog = caller->OnInitDialog;
    edit->SetEditWidth(caller->EditWidth());
    edit->SetPaperSize(caller->PaperSize());
    edit->SetAutoURLDetect(caller->AutoURLDetect());
    edit->OnURLOpen = caller->OnURLOpen;
    edit->SetMaxLength(caller->MaxLength());
    edit->SetUserSpeedButton1(caller->UserSpeedButton1());
    edit->SetUserSpeedButton2(caller->UserSpeedButton2());
    edit->SetEditorOptions(caller->EditorOptions());
    edit->SetReadOnly(caller->ReadOnly());

    // Where the caller's EditorPosition says, else centred on the screen at the form's size.
    const TqxFormPosition *position = caller->EditorPosition();
    if (position->Width() > 0 && position->Height() > 0)
        SetBounds(Left(), Top(), position->Width(), position->Height());
    if (position->Left() >= 1 && position->Top() >= 1) {
        SetLeft(position->Left());
        SetTop(position->Top());
    } else {
        int w = Width() * PixelsPerInch() / 96, h = Height() * PixelsPerInch() / 96;
        SetLeft(std::max(0, (Screen->Width() - w) / 2));
        SetTop(std::max(0, (Screen->Height() - h) / 2));
    }
}

bool qxExecuteRichEditForm(TqxCustomRichEdit *caller)
{
    TCursor savedCursor = Screen->Cursor();
    Screen->SetCursor(crHourGlass);
    TqxRichEditForm *form = nullptr;
    bool result = false;
    auto cleanup = [&] {
        Screen->SetCursor(savedCursor);
        if (form) {
            if (form->RichEdit1())
                form->RichEdit1()->Lines()->Clear();
            delete form;
        }
    };
    try {
        form = NewForm<TqxRichEditForm>(Application);
        form->Setup(caller);
        caller->DoCreateDialog(form);
        TModalResult answer = form->ShowModal();
        TqxCustomRichEdit *edit = form->RichEdit1();
        if (answer == mrOk) {
            if (edit->Modified()) {
                caller->PrepareModify();
                if (auto *blob = dynamic_cast<TBlobField *>(caller->GetBoundField())) {
                    TqxRichMemoryStream content;
                    edit->Lines()->SaveToStream(content);
                    content.SetPosition(0);
                    blob->LoadFromStream(content);
                } else {
                    edit->CopyContentTo(caller);
                }
                caller->DoCloseDialog(form);
                caller->SetModified(true);
            } else {
                caller->DoCloseDialog(form);
            }
            caller->PrintMargins()->Assign(edit->PrintMargins());
            caller->SetPaperSize(edit->PaperSize());
        } else {
            caller->DoCloseDialog(form);
        }
        result = answer == mrOk;
    } catch (...) {
        cleanup();
        throw;
    }
    cleanup();
    return result;
}

// ---- Form life ------------------------------------------------------------------------------

void TqxRichEditForm::FormCreate(TObject *)
{
    d->canvas = std::make_unique<TCanvas>();
    const std::pair<TSpeedButton *, TGlyph> glyphs[] = { { NewButton, gNew }, { LoadButton1, gLoad },
        { SaveAsButton, gSave }, { PrintButton, gPrint }, { FindButton, gFind }, { CutButton, gCut },
        { CopyButton, gCopy }, { PasteButton, gPaste }, { UndoButton, gUndo }, { RedoButton, gRedo },
        { BoldButton, gBold }, { ItalicButton, gItalic }, { UnderlineButton, gUnderline }, { SpeedButton1, gColour },
        { LeftButton, gLeft }, { CenterButton, gCenter }, { RightButton, gRight }, { BulletButton, gBullet } };
    for (auto [button, glyph] : glyphs) {
        TBitmap bitmap;
        bitmap.SetSize(16, 16);
        DrawGlyph(bitmap.Canvas(), glyph);
        button->SetGlyph(&bitmap);
        button->SetCaption("");
    }
    FontSizeCombo->OnChange = [this](TObject *) { d->sizeModified = true; };
}

void TqxRichEditForm::FormDestroy(TObject *)
{
    d->canvas.reset();
}

void TqxRichEditForm::FormShow(TObject *)
{
    TqxCustomRichEdit *edit = d->edit;
    if (!edit)
        return;
    // The colour menu: swatches drawn by the form, each item colouring the selection.
    for (int i = 0; i < PopupMenu1->Items()->Count(); ++i) {
        TMenuItem *item = PopupMenu1->Items()->Items(i);
        item->OnMeasureItem = [this](TObject *s, TCanvas *c, int &w, int &h) { ColorMeasureItem(s, c, w, h); };
        item->OnDrawItem = [this](TObject *s, TCanvas *c, TRect r, bool selected) { ColorDrawItem(s, c, r, selected); };
        item->OnClick = [this](TObject *s) { ColorItemClick(s); };
    }
    Automatic1->SetTag(static_cast<int>(edit->Font()->Color()));

    d->savedOnHint = Application->OnHint;
    Application->OnHint = [this](TObject *) {
        if (StatusBar->Panels()->Count() > 0)
            StatusBar->Panels()->Items(0)->SetText(Application->Hint());
    };

    bool callerModified = d->caller->Modified();
    d->caller->CopyContentTo(edit);
    d->caller->SetModified(callerModified);
    edit->SetSelStart(d->caller->SelStart());
    Screen->SetCursor(crDefault);
    edit->SetLeftInset(6);

    // Every screen font; the printer here prints whatever the screen shows.
    TStringList names;
    names.Assign(*Screen->Fonts());
    names.Sort();
    FontNameCombo->Items()->Assign(names);

    UpdateLockIndicators();
    UpdateToolState();
    edit->SetModified(false);
    ApplyOptions();
    ApplyTexts();
    edit->DoInitDialog(this);
    FormResize(this);
}

void TqxRichEditForm::ApplyOptions()
{
    TqxCustomRichEdit *edit = d->edit;
    bool readOnly = edit->ReadOnly();
    TqxRichEditOptions options = edit->EditorOptions();
    if (readOnly) {
        options = TqxRichEditOptions::FromBits(options.Bits() & kReadOnlyOptionsMask);
        edit->SetEditorOptions(options);
    }
    auto has = [&](TqxRichEditOption option) { return options.Contains(option); };
    Load1->SetVisible(has(reoShowLoad));
    LoadButton1->SetVisible(has(reoShowLoad));
    SaveAs1->SetVisible(has(reoShowSaveAs));
    SaveAsButton->SetVisible(has(reoShowSaveAs));
    Print1->SetVisible(has(reoShowPrint));
    PrintButton->SetVisible(has(reoShowPrint));
    bool insert = has(reoShowInsertObject) && !edit->OleOptions().Contains(reoDisableOLE) && !readOnly;
    Insert1->SetVisible(insert);
    InsertObject1->SetVisible(insert);
    FileSep2->SetVisible(has(reoShowPrint) || has(reoShowPageSetup));
    PageSetup1->SetVisible(has(reoShowPageSetup));
    SaveExit1->SetVisible(has(reoShowSaveExit));
    FileSep1->SetVisible(has(reoShowLoad) || has(reoShowSaveExit));
    StatusBar->SetVisible(has(reoShowStatusBar));
    FormatBar->SetVisible(has(reoShowFormatBar));
    FormatBarBevel->SetVisible(has(reoShowFormatBar));
    Toolbar->SetVisible(has(reoShowToolBar));
    ToolBarBevel->SetVisible(has(reoShowToolBar));
    d->ruler->SetVisible(has(reoShowRuler));
    RulerBevel->SetVisible(has(reoShowRuler));
    if (readOnly) {
        Format1->SetVisible(false);
        View1->SetVisible(false);
        NewButton->SetVisible(false);
    }
    Toolbar1->SetChecked(has(reoShowToolBar));
    FormatBar1->SetChecked(has(reoShowFormatBar));
    StatusBar1->SetChecked(has(reoShowStatusBar));
    Ruler1->SetChecked(has(reoShowRuler));

    bool flat = has(reoFlatButtons);
    TSpeedButton *user[] = { edit->UserSpeedButton1(), edit->UserSpeedButton2() };
    TWinControl **oldParents[] = { &d->oldParent1, &d->oldParent2 };
    int left = UndoButton->Left() + UndoButton->Width() + 32;
    for (int i = 0; i < 2; ++i) {
        TSpeedButton *button = user[i];
        if (!button)
            continue;
        *oldParents[i] = button->Parent();
        button->SetParent(Toolbar);
        button->SetVisible(true);
        button->SetFlat(flat);
        button->SetBounds(left, UndoButton->Top(), button->Width(), UndoButton->Height());
        left += button->Width();
        UserButtonBevel->SetVisible(true);
    }
    if (!flat) {
        Toolbar->SetHeight(Toolbar->Height() + 4);
        FormatBar->SetHeight(FormatBar->Height() + 2);
        for (auto [bar, down] : { std::pair { Toolbar, 2 }, std::pair { FormatBar, 1 } })
            for (int i = 0; i < bar->ControlCount(); ++i) {
                TControl *control = bar->Controls(i);
                if (auto *button = dynamic_cast<TSpeedButton *>(control)) {
                    button->SetTop(button->Top() + down);
                    button->SetMargin(button->Margin() - 1);
                    button->SetFlat(false);
                } else if (auto *bevel = dynamic_cast<TBevel *>(control)) {
                    bevel->SetVisible(false);
                }
            }
    }
    int ppi = PixelsPerInch();
    if (ppi != 96) {
        SetWidth(Width() * ppi / 96);
        SetHeight(Height() * ppi / 96);
        for (int i = 1; i < StatusBar->Panels()->Count() && i <= 3; ++i) {
            TStatusPanel *panel = StatusBar->Panels()->Items(i);
            panel->SetWidth(panel->Width() * ppi / 96);
        }
    }
}

void TqxRichEditForm::ApplyTexts()
{
    const TqxIntlTexts &menu = *qxIntl()->RichEdit()->MenuLabels();
    const TqxIntlTexts &texts = RichTexts();
    const std::pair<TMenuItem *, const char *> captions[] = { { File1, "FileCaption" }, { Load1, "LoadCaption" },
        { SaveAs1, "SaveAsCaption" }, { SaveExit1, "SaveExitCaption" }, { Print1, "PrintCaption" },
        { PageSetup1, "PageSetupCaption" }, { Exit1, "ExitCaption" }, { Edit1, "EditCaption" },
        { Undo1, "UndoCaption" }, { Cut1, "CutCaption" }, { Copy1, "CopyCaption" }, { Paste1, "PasteCaption" },
        { Clear1, "ClearCaption" }, { SelectAll1, "SelectallCaption" }, { Find1, "FindCaption" },
        { FindNext1, "FindNextCaption" }, { Replace1, "ReplaceCaption" }, { InsertObject1, "InsertObjectCaption" },
        { View1, "ViewCaption" }, { Toolbar1, "ToolbarCaption" }, { FormatBar1, "FormatBarCaption" },
        { StatusBar1, "ViewStatusBarCaption" }, { Options1, "OptionsCaption" }, { Format1, "FormatCaption" },
        { Font1, "FontCaption" }, { BulletStyle1, "BulletStyleCaption" }, { Paragraph1, "ParagraphCaption" },
        { Tabs1, "TabsCaption" }, { Help1, "HelpCaption" } };
    for (auto [item, name] : captions)
        item->SetCaption(menu.Text(name));

    if (!d->edit->EditorOptions().Contains(reoShowHints)) {
        Application->OnHint = {};
        return;
    }
    SetShowHint(true);
    FontNameCombo->SetHint(texts.Text("FontNameComboHint"));
    FontSizeCombo->SetHint(texts.Text("FontSizeComboHint"));
    const std::pair<TSpeedButton *, const char *> buttons[] = { { NewButton, "NewButtonHint" },
        { LoadButton1, "LoadButtonHint" }, { SaveAsButton, "SaveAsButtonHint" }, { PrintButton, "PrintButtonHint" },
        { FindButton, "FindButtonHint" }, { CutButton, "CutButtonHint" }, { CopyButton, "CopyButtonHint" },
        { UndoButton, "UndoButtonHint" }, { PasteButton, "PasteButtonHint" }, { BoldButton, "BoldButtonHint" },
        { UnderlineButton, "UnderlineButtonHint" }, { ItalicButton, "ItalicButtonHint" },
        { LeftButton, "LeftButtonHint" }, { CenterButton, "CenterButtonHint" }, { RightButton, "RightButtonHint" },
        { BulletButton, "BulletButtonHint" } };
    for (auto [button, name] : buttons)
        button->SetHint(texts.Text(name));
    if (RedoButton->Hint().empty())
        RedoButton->SetHint("Redo | Reverses the last undo action");
    const std::pair<TMenuItem *, TSpeedButton *> fromButtons[] = { { Load1, LoadButton1 }, { SaveAs1, SaveAsButton },
        { Print1, PrintButton }, { Find1, FindButton }, { Cut1, CutButton }, { Copy1, CopyButton },
        { Paste1, PasteButton }, { Undo1, UndoButton }, { Redo1, RedoButton }, { BulletStyle1, BulletButton } };
    for (auto [item, button] : fromButtons)
        item->SetHint(button->Hint());
    const std::pair<TMenuItem *, const char *> menuHints[] = { { SaveExit1, "SaveExitHint" },
        { PageSetup1, "PageSetupHint" }, { Exit1, "ExitHint" }, { Clear1, "ClearHint" },
        { SelectAll1, "SelectAllHint" }, { FindNext1, "FindNextHint" }, { Replace1, "ReplaceHint" },
        { InsertObject1, "InsertObjectHint" }, { Toolbar1, "ToolbarHint" }, { FormatBar1, "FormatBarHint" },
        { StatusBar1, "ViewStatusBarHint" }, { Options1, "OptionsHint" }, { Font1, "FontHint" },
        { Paragraph1, "ParagraphHint" }, { Tabs1, "TabsHint" } };
    for (auto [item, name] : menuHints)
        item->SetHint(texts.Text(name));
}

void TqxRichEditForm::FormClose(TObject *, TCloseAction &)
{
    Application->OnHint = d->savedOnHint;
    if (!d->edit)
        return;
    TSpeedButton *user[] = { d->edit->UserSpeedButton1(), d->edit->UserSpeedButton2() };
    TWinControl *parents[] = { d->oldParent1, d->oldParent2 };
    for (int i = 0; i < 2; ++i)
        if (user[i] && user[i]->Parent() == Toolbar) {
            user[i]->SetVisible(false);
            user[i]->SetParent(parents[i]);
        }
}

void TqxRichEditForm::FormCloseQuery(TObject *, bool &canClose)
{
    if (ModalResult() == mrOk)
        return;
    TqxCustomRichEdit *edit = d->edit;
    if (!edit || !edit->Modified() || edit->ReadOnly()) {
        SetModalResult(mrCancel);
        return;
    }
    switch (MessageDlg(qxIntl()->UserMessages()->Text("RichEditExitWarning"), mtConfirmation,
        TMsgDlgButtons { mbYes, mbNo, mbCancel })) {
    case mrYes:
        SetModalResult(mrOk);
        break;
    case mrNo:
        SetModalResult(mrCancel);
        break;
    default:
        canClose = false;
        break;
    }
}

void TqxRichEditForm::FormResize(TObject *)
{
    TqxCustomRichEdit *edit = d->edit;
    if (!edit || !d->ruler)
        return;
    auto *bound = dynamic_cast<TqxDBRichEdit *>(edit);
    if (bound)
        bound->SetPaintSuppressed(true);
    try {
        bool printerSize = edit->EditWidth() == rewPrinterSize;
        if (!printerSize)
            d->ruler->SetRulerWidth(Width() - 8);
        if (StatusBar->Panels()->Count() > 0)
            StatusBar->Panels()->Items(0)->SetWidth((Width() - 90) * PixelsPerInch() / 96);
        int offset = 0;
        if (FormatBar->Visible())
            offset += FormatBar->Height() + 2;
        if (Toolbar->Visible())
            offset += Toolbar->Height() + 2;
        if (d->ruler->Visible()) {
            RulerBevel->SetBounds(0, offset, ClientWidth(), 2);
            d->ruler->SetTop(offset + 2);
            offset += d->ruler->Height() + 2 + 2;
        }
        int statusHeight = StatusBar->Visible() ? StatusBar->Height() : 0;
        edit->SetBounds(edit->Left(), offset, Width() - 8, std::max(0, ClientHeight() - offset - statusHeight));
        TqxTrackIcon *right = d->ruler->RightIndentMarker();
        right->SetMaxValue(d->ruler->DrawRect().Right - right->Width() / 2);
        d->ruler->PlaceMarkers();
        StatusBar->SetBounds(StatusBar->Left(), edit->Height() + edit->Top(), edit->Width(), StatusBar->Height());
        edit->UpdateFormatRect();
        if (printerSize) {
            edit->SetWidth(edit->Width() + 1);
            edit->SetWidth(edit->Width() - 1);
        }
    } catch (...) {
        if (bound)
            bound->SetPaintSuppressed(false);
        Application->MessageBox("Error in resize", Application->Title(), MB_OK | MB_ICONERROR);
        return;
    }
    if (bound)
        bound->SetPaintSuppressed(false);
    edit->Invalidate();
}

void TqxRichEditForm::FormKeyPress(TObject *, char32_t &key)
{
    TqxCustomRichEdit *edit = d->edit;
    if (!edit)
        return;
    if (edit->ReadOnly()) {
        if (key == 27) {
            key = 0;
            SetModalResult(mrCancel);
        }
        return;
    }
    if (key == 27) {
        key = 0;
        if (edit->EditorOptions().Contains(reoCloseOnEscape))
            Close();
        else
            edit->Perform(EM_UNDO, 0, 0);
        return;
    }
    // Ctrl+B, Ctrl+U and Ctrl+I type control characters 2, 21 and 9.
    if (GetKeyState(VK_CONTROL) >= 0)
        return;
    // Ctrl+Z (26) is undone by the edit itself; its key-up must not undo again.
    if (key == 26)
        d->undone = true;
    TSpeedButton *button = key == 2 ? BoldButton : key == 21 ? UnderlineButton : key == 9 ? ItalicButton : nullptr;
    if (!button)
        return;
    key = 0;
    d->lastDown = button->Down();
    button->Click();
}

void TqxRichEditForm::FormKeyUp(TObject *, uint16_t &key, TShiftState shift)
{
    if (key == 'Z' && shift.Contains(ssCtrl) && d->edit && !d->undone)
        d->edit->Perform(EM_UNDO, 0, 0);
    d->undone = false;
    UpdateLockIndicators();
}

void TqxRichEditForm::UpdateLockIndicators()
{
    if (StatusBar->Panels()->Count() < 3)
        return;
    const TqxIntlTexts &texts = RichTexts();
    StatusBar->Panels()->Items(1)->SetText(GetKeyState(VK_CAPITAL) & 1 ? texts.Text("CAPLockCaption") : "");
    StatusBar->Panels()->Items(2)->SetText(GetKeyState(VK_NUMLOCK) & 1 ? texts.Text("NUMLockCaption") : "");
}

// ---- What the bars show ----------------------------------------------------------------------

void TqxRichEditForm::UpdateToolState()
{
    TqxCustomRichEdit *edit = d->edit;
    if (!edit)
        return;
    TTextAttributes *attributes = edit->SelAttributes();
    TFontStyles style = attributes->Style();
    BoldButton->SetDown(style.Contains(fsBold));
    UnderlineButton->SetDown(style.Contains(fsUnderline));
    ItalicButton->SetDown(style.Contains(fsItalic));

    // A stock face the machine lacks shows as the face it is drawn in.
    std::string face = InstalledFaceName(attributes->Name());
    int index = FontNameCombo->Items()->IndexOf(face);
    if (index >= 0) {
        FontNameCombo->SetItemIndex(index);
        FontNameCombo->Font()->SetColor(clWindowText);
    } else {
        FontNameCombo->SetItemIndex(-1);
        FontNameCombo->SetText(face);
        FontNameCombo->Font()->SetColor(static_cast<TColor>(255));
    }
    FontSizeCombo->SetItemIndex(FontSizeCombo->Items()->IndexOf(std::to_string(attributes->Size())));
    d->sizeModified = false;

    TParaAttributes *paragraph = edit->Paragraph();
    bool bullets = paragraph->Numbering() == nsBullet;
    BulletButton->SetDown(bullets);
    BulletStyle1->SetChecked(bullets);
    switch (paragraph->Alignment()) {
    case taLeftJustify:
        LeftButton->SetDown(true);
        break;
    case taCenter:
        CenterButton->SetDown(true);
        break;
    case taRightJustify:
        RightButton->SetDown(true);
        break;
    }

    bool readOnly = edit->ReadOnly();
    bool canPaste = edit->CanPaste() && !readOnly;
    Paste1->SetEnabled(canPaste);
    PasteButton->SetEnabled(canPaste);
    bool canUndo = edit->Perform(EM_CANUNDO, 0, 0) != 0, canRedo = edit->Perform(EM_CANREDO, 0, 0) != 0;
    Undo1->SetEnabled(canUndo);
    UndoButton->SetEnabled(canUndo);
    Redo1->SetEnabled(canRedo);
    RedoButton->SetEnabled(canRedo);
    int lines = edit->Lines()->Count();
    bool hasText = lines > 1 || (lines == 1 && !edit->Lines()->Strings(0).empty());
    bool selection = edit->SelLength() > 0;
    Cut1->SetEnabled(selection && !readOnly);
    CutButton->SetEnabled(selection && !readOnly);
    Clear1->SetEnabled(selection && !readOnly);
    Copy1->SetEnabled(selection);
    CopyButton->SetEnabled(selection);
    SelectAll1->SetEnabled(hasText);
    Find1->SetEnabled(hasText);
    FindButton->SetEnabled(hasText);
    FindNext1->SetEnabled(!edit->FindTextValue().empty());
    Replace1->SetEnabled(hasText && !readOnly);
    if (d->ruler)
        d->ruler->PlaceMarkers();
}

// ---- File and print --------------------------------------------------------------------------

void TqxRichEditForm::Load1Click(TObject *)
{
    if (!OpenDialog1->Execute())
        return;
    d->edit->Lines()->LoadFromFile(OpenDialog1->FileName());
    d->edit->SetFocus();
}
void TqxRichEditForm::LoadButton1Click(TObject *sender)
{
    Load1Click(sender);
}

void TqxRichEditForm::SaveAs1Click(TObject *)
{
    if (!SaveDialog1->Execute())
        return;
    std::string name = SaveDialog1->FileName();
    if (FileExists(name)
        && MessageDlg(Format("OK to overwrite %s", name), mtConfirmation, TMsgDlgButtons { mbYes, mbNo, mbCancel })
            != mrYes)
        return;
    d->edit->Lines()->SaveToFile(name);
}
void TqxRichEditForm::SaveAsButtonClick(TObject *sender)
{
    SaveAs1Click(sender);
}

void TqxRichEditForm::SaveExit1Click(TObject *)
{
    SetModalResult(mrOk);
}

void TqxRichEditForm::Exit1Click(TObject *)
{
    SetModalResult(mrCancel);
}

void TqxRichEditForm::Print1Click(TObject *)
{
    PrintDialog1->SetCollate(true);
    if (!PrintDialog1->Execute())
        return;
    for (int copy = 0; copy < PrintDialog1->Copies(); ++copy)
        d->edit->Print(d->caller->PrintJobName());
}
void TqxRichEditForm::PrintButtonClick(TObject *sender)
{
    Print1Click(sender);
}

void TqxRichEditForm::PageSetup1Click(TObject *)
{
    TqxPageSetupDialog dialog(nullptr);
    dialog.SetRichEdit(d->edit);
    if (!dialog.Execute())
        return;
    if (d->edit->EditWidth() == rewPrinterSize) {
        d->ruler->SetWidthFromPrinter();
        d->ruler->ApplyMarker(d->ruler->RightIndentMarker());
    } else {
        d->edit->UpdateFormatRect();
    }
}

void TqxRichEditForm::NewButtonClick(TObject *)
{
    if (MessageDlg(qxIntl()->UserMessages()->Text("RichEditClearWarning"), mtConfirmation,
            TMsgDlgButtons { mbOK, mbCancel })
        != mrOk)
        return;
    d->edit->Clear();
    d->edit->SetModified(true);
}

// ---- Edit --------------------------------------------------------------------------------------

void TqxRichEditForm::Edit1Click(TObject *)
{
    UpdateToolState();
}
void TqxRichEditForm::Undo1Click(TObject *)
{
    d->undone = true;
    d->edit->Perform(EM_UNDO, 0, 0);
    UpdateToolState();
}
void TqxRichEditForm::UndoButtonClick(TObject *sender)
{
    Undo1Click(sender);
    d->undone = false;
}
void TqxRichEditForm::Redo1Click(TObject *)
{
    d->edit->Perform(EM_REDO, 0, 0);
    UpdateToolState();
}
void TqxRichEditForm::RedoButtonClick(TObject *sender)
{
    Redo1Click(sender);
}
void TqxRichEditForm::Cut1Click(TObject *)
{
    d->edit->CutToClipboard();
}
void TqxRichEditForm::CutButtonClick(TObject *sender)
{
    Cut1Click(sender);
}
void TqxRichEditForm::Copy1Click(TObject *)
{
    d->edit->CopyToClipboard();
    UpdateToolState();
}
void TqxRichEditForm::CopyButtonClick(TObject *sender)
{
    Copy1Click(sender);
}
void TqxRichEditForm::Paste1Click(TObject *)
{
    d->edit->PasteFromClipboard();
}
void TqxRichEditForm::PasteButtonClick(TObject *sender)
{
    Paste1Click(sender);
}
void TqxRichEditForm::Clear1Click(TObject *)
{
    d->edit->ClearSelection();
}
void TqxRichEditForm::SelectAll1Click(TObject *)
{
    d->edit->SelectAll();
}

// ---- Search ------------------------------------------------------------------------------------

void TqxRichEditForm::Find1Click(TObject *)
{
    d->edit->ExecuteFindDialog();
}
void TqxRichEditForm::FindButtonClick(TObject *sender)
{
    Find1Click(sender);
}
void TqxRichEditForm::FindNext1Click(TObject *)
{
    d->edit->FindNextMatch();
}
void TqxRichEditForm::Replace1Click(TObject *)
{
    d->edit->ExecuteReplaceDialog();
}

// ---- View --------------------------------------------------------------------------------------

namespace
{
void Toggle(TMenuItem *item, std::initializer_list<TControl *> controls)
{
    item->SetChecked(!item->Checked());
    for (TControl *control : controls)
        control->SetVisible(item->Checked());
}
} // namespace

void TqxRichEditForm::Toolbar1Click(TObject *)
{
    Toggle(Toolbar1, { Toolbar, ToolBarBevel });
    FormResize(this);
}
void TqxRichEditForm::FormatBar1Click(TObject *)
{
    Toggle(FormatBar1, { FormatBar, FormatBarBevel });
    FormResize(this);
}
void TqxRichEditForm::StatusBar1Click(TObject *)
{
    Toggle(StatusBar1, { StatusBar });
    FormResize(this);
}
void TqxRichEditForm::Ruler1Click(TObject *)
{
    Toggle(Ruler1, { d->ruler, RulerBevel });
    FormResize(this);
}

// ---- Format ------------------------------------------------------------------------------------

void TqxRichEditForm::BoldButtonMouseDown(TObject *sender, TMouseButton, TShiftState, int, int)
{
    if (auto *button = dynamic_cast<TSpeedButton *>(sender))
        d->lastDown = button->Down();
}

bool TqxRichEditForm::FormatButtonWasDown(TSpeedButton *) const
{
    return d->lastDown;
}

void TqxRichEditForm::BoldButtonClick(TObject *)
{
    d->edit->PrepareModify();
    d->edit->SetSelectionBold(!FormatButtonWasDown(BoldButton));
    UpdateToolState();
}
void TqxRichEditForm::ItalicButtonClick(TObject *)
{
    d->edit->PrepareModify();
    d->edit->SetSelectionItalic(!FormatButtonWasDown(ItalicButton));
    UpdateToolState();
}
void TqxRichEditForm::UnderlineButtonClick(TObject *)
{
    d->edit->PrepareModify();
    d->edit->SetSelectionUnderline(!FormatButtonWasDown(UnderlineButton));
    UpdateToolState();
}

namespace
{
void AlignParagraphs(TqxCustomRichEdit *edit, TAlignment alignment)
{
    edit->PrepareModify();
    edit->Paragraph()->SetAlignment(alignment);
}
} // namespace

void TqxRichEditForm::LeftButtonClick(TObject *)
{
    AlignParagraphs(d->edit, taLeftJustify);
    UpdateToolState();
}
void TqxRichEditForm::CenterButtonClick(TObject *)
{
    AlignParagraphs(d->edit, taCenter);
    UpdateToolState();
}
void TqxRichEditForm::RightButtonClick(TObject *)
{
    AlignParagraphs(d->edit, taRightJustify);
    UpdateToolState();
}
void TqxRichEditForm::BulletButtonClick(TObject *)
{
    d->edit->SetBullets(!d->lastDown);
    UpdateToolState();
}
void TqxRichEditForm::BulletStyle1Click(TObject *sender)
{
    d->lastDown = d->edit->Paragraph()->Numbering() == nsBullet;
    BulletButtonClick(sender);
}
void TqxRichEditForm::Font1Click(TObject *)
{
    d->edit->ExecuteFontDialog();
    UpdateToolState();
}
void TqxRichEditForm::Paragraph1Click(TObject *)
{
    d->edit->ExecuteParagraphDialog();
    d->ruler->PlaceMarkers();
    UpdateToolState();
}
void TqxRichEditForm::Tabs1Click(TObject *)
{
    d->edit->ExecuteTabDialog();
    UpdateToolState();
}

void TqxRichEditForm::FontNameComboDropDown(TObject *)
{
    FontNameCombo->Font()->SetColor(clBlack);
}

void TqxRichEditForm::FontNameComboCloseUp(TObject *)
{
    TqxCustomRichEdit *edit = d->edit;
    std::string face = FontNameCombo->Text();
    if (!face.empty() && face != edit->SelAttributes()->Name()) {
        CHARFORMAT format;
        format.dwMask = CFM_FACE | CFM_CHARSET;
        // The face field holds at most 31 bytes and its terminator.
        std::string cut = face.substr(0, LF_FACESIZE - 1);
        std::memcpy(format.szFaceName, cut.c_str(), cut.size() + 1);
        format.bCharSet = static_cast<uint8_t>(edit->FontCharset(face));
        edit->PrepareModify();
        edit->Perform(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    }
    edit->SetFocus();
    UpdateToolState();
}

void TqxRichEditForm::FontSizeComboCloseUp(TObject *)
{
    int size = 0;
    // A size that is no number is left alone instead of failing.
    if (SizeOfText(FontSizeCombo->Text(), size)) {
        d->edit->PrepareModify();
        d->edit->SelAttributes()->SetSize(size);
    }
    d->edit->SetFocus();
    UpdateToolState();
}

void TqxRichEditForm::FontSizeComboExit(TObject *sender)
{
    if (d->sizeModified)
        FontSizeComboCloseUp(sender);
}

void TqxRichEditForm::SpeedButton1Click(TObject *)
{
    TPoint at = SpeedButton1->ClientToScreen(Point(-1, SpeedButton1->Height()));
    PopupMenu1->Popup(at.X, at.Y);
}

// ---- The colour menu --------------------------------------------------------------------------

void TqxRichEditForm::ColorMeasureItem(TObject *sender, TCanvas *canvas, int &width, int &height)
{
    auto *item = static_cast<TMenuItem *>(sender);
    std::string caption = StripHotkey(item->Caption());
    height = canvas->TextHeight(caption) + 2;
    width = canvas->TextWidth(caption) + 45;
}

void TqxRichEditForm::ColorDrawItem(TObject *sender, TCanvas *canvas, TRect rect, bool selected)
{
    auto *item = static_cast<TMenuItem *>(sender);
    if (selected) {
        canvas->Brush()->SetColor(clHighlight);
        canvas->Font()->SetColor(clHighlightText);
        canvas->Pen()->SetColor(clBlack);
    } else {
        canvas->Brush()->SetColor(clBtnFace);
        canvas->Pen()->SetColor(clWindowText);
        canvas->Font()->SetColor(clWindowText);
    }
    // A disabled item keeps its swatch but greys its caption.
    if (!item->Enabled())
        canvas->Font()->SetColor(clGrayText);
    canvas->FillRect(rect);
    TRect swatch = Rect(rect.Left + 3, rect.Top + 2, rect.Left + 43, rect.Bottom - 2);
    canvas->Brush()->SetColor(static_cast<TColor>(item->Tag()));
    canvas->Rectangle(swatch.Left, swatch.Top, swatch.Right, swatch.Bottom);
    TRect text = Rect(swatch.Right + 3, rect.Top, rect.Right, rect.Bottom);
    canvas->Brush()->SetStyle(bsClear);
    DrawText(canvas, StripHotkey(item->Caption()), text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    canvas->Brush()->SetStyle(bsSolid);
}

void TqxRichEditForm::ColorItemClick(TObject *sender)
{
    auto *item = static_cast<TMenuItem *>(sender);
    d->edit->PrepareModify();
    d->edit->SelAttributes()->SetColor(static_cast<TColor>(item->Tag()));
    UpdateToolState();
}

// ---- Other -------------------------------------------------------------------------------------

void TqxRichEditForm::InsertObject1Click(TObject *)
{
    d->edit->InsertObjectDialog();
}

void TqxRichEditForm::RichEdit1SelectionChange(TObject *)
{
    if (Visible())
        UpdateToolState();
}

// ---- Page setup --------------------------------------------------------------------------------

TqxPageSetupDialog::TqxPageSetupDialog(TComponent *owner)
    : TCommonDialog(owner)
{
}

bool TqxPageSetupDialog::Execute()
{
    if (!richEdit_)
        return false;
    PAGESETUPDLG setup;
    setup.Flags = PSD_MARGINS | PSD_ENABLEPAGESETUPHOOK;
    if (richEdit_->EditWidth() == rewWindowSize)
        setup.Flags |= PSD_DISABLEPAPER;
    bool centimetres = richEdit_->MeasurementUnits() == muCentimeters;
    setup.Flags |= centimetres ? PSD_INHUNDREDTHSOFMILLIMETERS : PSD_INTHOUSANDTHSOFINCHES;
    TqxPrintMargins *margins = richEdit_->PrintMargins();
    auto thousandths = [](double value) { return static_cast<int>(std::trunc(value * 1000)); };
    setup.rtMargin = Rect(thousandths(margins->Left()), thousandths(margins->Top()), thousandths(margins->Right()),
        thousandths(margins->Bottom()));
    setup.dmPaperSize = richEdit_->EditWidth() == rewPrinterSize ? richEdit_->PaperSize() : Printer()->PaperSize();
    setup.dmOrientation = Printer()->Orientation() == poLandscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    OnShow(this);
    bool confirmed = PageSetupDlg(setup);
    OnClose(this);
    if (!confirmed)
        return false;
    margins->SetLeft(setup.rtMargin.Left / 1000.0);
    margins->SetTop(setup.rtMargin.Top / 1000.0);
    margins->SetRight(setup.rtMargin.Right / 1000.0);
    margins->SetBottom(setup.rtMargin.Bottom / 1000.0);
    Printer()->SetOrientation(setup.dmOrientation == DMORIENT_LANDSCAPE ? poLandscape : poPortrait);
    richEdit_->SetPaperSize(setup.dmPaperSize);
    richEdit_->ApplyPaperSize();
    return true;
}
