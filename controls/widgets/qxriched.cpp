#include "controls/widgets/qxriched.h"

#include "controls/widgets/qxriched_p.h"
#include "controls/widgets/qxrich.h"
#include "controls/widgets/qxrchdlg.h"
#include "controls/widgets/qxrichtb.h"
#include "controls/base/Qxintl.h"
#include "controls/widgets/qxrichole.h"
#include "controls/widgets/qxricholecallback.h"

#include "platform/classes/filer.h"
#include "platform/rich/rtf.h"
#include "platform/classes/typinfo.h"
#include "platform/db/db.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/system/atomicfile.h"
#include "platform/system/process.h"
#include "platform/system/windows.h"
#include "platform/ui/buttons.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/printers.h"
#include "platform/ui/services.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

const TMetaClass TqxPrintMargins::Class { "TqxPrintMargins", &TPersistent::Class };
const TMetaClass TqxRichMemoryStream::Class { "TqxRichMemoryStream", &TMemoryStream::Class };
const TMetaClass TqxCustomRichEdit::Class { "TqxCustomRichEdit", &TCustomRichEdit::Class };

// clang-format off
namespace {
using PM = TPublish<TqxPrintMargins>;
const TClassRegistrar<TqxPrintMargins> marginsRegistrar({
    //          name      getter                  setter                     default
    PM::Float  ("Top",    &TqxPrintMargins::Top,    &TqxPrintMargins::SetTop,    1.0),
    PM::Float  ("Bottom", &TqxPrintMargins::Bottom, &TqxPrintMargins::SetBottom, 1.0),
    PM::Float  ("Left",   &TqxPrintMargins::Left,   &TqxPrintMargins::SetLeft,   1.0),
    PM::Float  ("Right",  &TqxPrintMargins::Right,  &TqxPrintMargins::SetRight,  1.0),
});
const TEnumNames ScrollStyleNames = {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"};
using PE = TPublish<TqxCustomRichEdit>;
const TClassRegistrar<TqxCustomRichEdit> customRegistrar({
    PE::Enum    ("ScrollBars", ScrollStyleNames, &TqxCustomRichEdit::ScrollBars, &TqxCustomRichEdit::SetScrollBars, ssNone),
    PE::Strings ("Lines",                        &TqxCustomRichEdit::Lines),
});
} // namespace
// clang-format on

namespace
{

constexpr double kInchesPerCentimetre = 0.39416633819471817; // 1 / 2.537
constexpr double kCentimetresPerInch = 2.537;
constexpr int kStreamStep = 131072;
constexpr int kScrollThumb = 16; // SM_CXHTHUMB

// The popup menu's items in order, each with the name of its caption among
// the library's texts; a null name is a separator.
struct TPopupItem {
    const char *label;
    int option; // its TqxRichEditPopupOption, or -1 for a separator
};
const TPopupItem kPopupItems[] = {
    { "EditCaption", rpoPopupEdit },
    { nullptr, -1 },
    { "CutCaption", rpoPopupCut },
    { "CopyCaption", rpoPopupCopy },
    { "PasteCaption", rpoPopupPaste },
    { nullptr, -1 },
    { "BoldCaption", rpoPopupBold },
    { "ItalicCaption", rpoPopupItalic },
    { "UnderlineCaption", rpoPopupUnderline },
    { nullptr, -1 },
    { "FontCaption", rpoPopupFont },
    { "BulletStyleCaption", rpoPopupBullet },
    { "ParagraphCaption", rpoPopupParagraph },
    { "TabsCaption", rpoPopupTabs },
    { nullptr, -1 },
    { "FindCaption", rpoPopupFind },
    { "ReplaceCaption", rpoPopupReplace },
    { nullptr, -1 },
    { "InsertObjectCaption", rpoPopupInsertObject },
};
static_assert(std::size(kPopupItems) == kPopupItemCount);
const TqxIntlTexts &PopupLabels()
{
    return *qxIntl()->RichEdit()->PopupMenuLabels();
}

// Characters as the window counts them (UTF-16 units) in UTF-8 text.
size_t QStringLength(const std::string &text)
{
    size_t units = 0, pos = 0;
    while (pos < text.size())
        units += Utf8Next(text, pos) > 0xFFFF ? 2 : 1;
    return units;
}

} // namespace

// ---- Print margins and the memory stream -----------------------------------------------------

void TqxPrintMargins::Assign(const TPersistent *source)
{
    if (const auto *other = dynamic_cast<const TqxPrintMargins *>(source)) {
        top_ = other->top_;
        bottom_ = other->bottom_;
        left_ = other->left_;
        right_ = other->right_;
    }
}

void *TqxRichMemoryStream::Realloc(int64_t &newCapacity)
{
    if (newCapacity > 0)
        newCapacity = (newCapacity + kStreamStep - 1) / kStreamStep * kStreamStep;
    if (newCapacity == Capacity())
        return Memory();
    if (newCapacity == 0) {
        std::free(Memory());
        return nullptr;
    }
    void *block = std::realloc(Memory(), static_cast<size_t>(newCapacity));
    if (!block)
        throw EStreamError("Out of memory while expanding memory stream");
    return block;
}

// ---- The control's private side ----------------------------------------------------------------


TqxCustomRichEdit::TqxCustomRichEdit(TComponent *owner)
    : TCustomRichEdit(owner)
    , q(std::make_unique<QxImpl>())
{
    q->popupOptions = TqxRichEditPopupOptions::FromBits(16271);
    q->editorOptions = TqxRichEditOptions::FromBits(8188);
    SetWordWrap(true);
    if (!ComponentState().Contains(csDesigning)) {
        q->popup = new TPopupMenu(this);
        for (int i = 0; i < kPopupItemCount; ++i) {
            auto *item = new TMenuItem(q->popup);
            item->SetCaption(kPopupItems[i].label ? PopupLabels().Text(kPopupItems[i].label) : "-");
            q->popup->Items()->Add(item);
            q->items[i] = item;
        }
        auto on = [this](int index, auto action) { q->items[index]->OnClick = [action](TObject *) { action(); }; };
        on(0, [this] { Execute(); });
        on(2, [this] { Perform(WM_CUT, 0, 0); });
        on(3, [this] { Perform(WM_COPY, 0, 0); });
        on(4, [this] { Perform(WM_PASTE, 0, 0); });
        on(6, [this] { PrepareModify(), SetSelectionBold(!q->items[6]->Checked()); });
        on(7, [this] { PrepareModify(), SetSelectionItalic(!q->items[7]->Checked()); });
        on(8, [this] { PrepareModify(), SetSelectionUnderline(!q->items[8]->Checked()); });
        on(11, [this] { SetBullets(!q->items[11]->Checked()); });
        on(12, [this] { ExecuteParagraphDialog(); });
        on(13, [this] { ExecuteTabDialog(); });
        on(15, [this] { ExecuteFindDialog(); });
        on(16, [this] { ExecuteReplaceDialog(); });
        on(18, [this] { InsertObjectDialog(); });
        q->popup->OnPopup = [this](TObject *) { PreparePopup(); };
        q->findDialog = new TFindDialog(this);
        q->findDialog->SetOptions(TFindOptions { frHideUpDown, frReplace, frReplaceAll });
        q->replaceDialog = new TReplaceDialog(this);
        q->replaceDialog->SetOptions(TFindOptions { frHideUpDown });
        for (TFindDialog *dialog : { q->findDialog, static_cast<TFindDialog *>(q->replaceDialog) }) {
            dialog->OnFind = [this, dialog](TObject *) {
                TakeFindOptions(dialog);
                FindNextMatch();
            };
            dialog->OnClose = [this](TObject *) { EndFind(); };
        }
        q->replaceDialog->OnReplace = [this](TObject *) {
            TakeFindOptions(q->replaceDialog);
            q->replaceText = q->replaceDialog->ReplaceText();
            ReplaceMatch();
        };
        q->fontDialog = new TFontDialog(this);
        q->fontDialog->SetDevice(fdBoth);
    }
    q->screenPixelsPerInch = Screen->PixelsPerInch();
    q->callback = TComPtr<IRichEditOleCallback>(new TRichEditOleCallback(this));
    q->printJobName = Application->Title();
    q->lines = std::make_unique<TqxRichEditStrings>(this);
}

TqxCustomRichEdit::~TqxCustomRichEdit()
{
    if (HandleAllocated())
        DestroyHandle();
}

bool TqxCustomRichEdit::ProgrammaticChange() const
{
    return q->programmatic > 0;
}

TStrings *TqxCustomRichEdit::Lines() const
{
    return q->lines.get();
}
void TqxCustomRichEdit::SetLines(TStrings *lines)
{
    q->lines->Assign(*lines);
}
int TqxCustomRichEdit::RichEditVersion() const
{
    return q->version;
}

TqxPrintMargins *TqxCustomRichEdit::PrintMargins() const
{
    return q->margins.get();
}
void TqxCustomRichEdit::SetPrintMargins(TqxPrintMargins *margins)
{
    q->margins->Assign(margins);
}
int TqxCustomRichEdit::PaperSize() const
{
    return q->paperSize;
}
void TqxCustomRichEdit::SetPaperSize(int value)
{
    q->paperSize = value;
    if (GetParentForm(this) && q->editWidth == rewPrinterSize) {
        ApplyPaperSize();
        UpdateFormatRect();
    }
}
void TqxCustomRichEdit::ApplyPaperSize()
{
    Printer()->SetPaperSize(q->paperSize);
}
TqxRichEditWidth TqxCustomRichEdit::EditWidth() const
{
    return q->editWidth;
}
void TqxCustomRichEdit::SetEditWidth(TqxRichEditWidth width)
{
    q->editWidth = width;
}
TqxMeasurementUnits TqxCustomRichEdit::MeasurementUnits() const
{
    return q->units;
}
void TqxCustomRichEdit::SetMeasurementUnits(TqxMeasurementUnits units)
{
    q->units = units;
}
std::string TqxCustomRichEdit::PrintJobName() const
{
    return q->printJobName;
}
void TqxCustomRichEdit::SetPrintJobName(const std::string &name)
{
    q->printJobName = name;
}
int TqxCustomRichEdit::LeftInset() const
{
    return q->leftInset;
}
void TqxCustomRichEdit::SetLeftInset(int pixels)
{
    q->leftInset = pixels;
}
int TqxCustomRichEdit::ScreenPixelsPerInch() const
{
    return q->screenPixelsPerInch;
}
bool TqxCustomRichEdit::ReadOnly() const
{
    return TCustomEdit::ReadOnly();
}
void TqxCustomRichEdit::SetReadOnly(bool readOnly)
{
    TCustomEdit::SetReadOnly(readOnly);
}
TqxRichEditOleOptions TqxCustomRichEdit::OleOptions() const
{
    return q->oleOptions;
}
void TqxCustomRichEdit::SetOleOptions(TqxRichEditOleOptions options)
{
    if (options == q->oleOptions)
        return;
    q->oleOptions = options;
    RecreateWnd();
}
TqxRichEditPopupOptions TqxCustomRichEdit::PopupOptions() const
{
    return q->popupOptions;
}
void TqxCustomRichEdit::SetPopupOptions(TqxRichEditPopupOptions options)
{
    q->popupOptions = options;
}
TqxRichEditOptions TqxCustomRichEdit::EditorOptions() const
{
    return q->editorOptions;
}
void TqxCustomRichEdit::SetEditorOptions(TqxRichEditOptions options)
{
    q->editorOptions = options;
}
TqxFormPosition *TqxCustomRichEdit::EditorPosition() const
{
    return q->editorPosition.get();
}
void TqxCustomRichEdit::SetEditorPosition(TqxFormPosition *position)
{
    q->editorPosition->Assign(position);
}
std::string TqxCustomRichEdit::EditorCaption() const
{
    return q->editorCaption;
}
void TqxCustomRichEdit::SetEditorCaption(const std::string &caption)
{
    q->editorCaption = caption;
}
bool TqxCustomRichEdit::AutoURLDetect() const
{
    return q->autoUrlDetect;
}
void TqxCustomRichEdit::SetAutoURLDetect(bool detect)
{
    q->autoUrlDetect = detect;
    Perform(EM_AUTOURLDETECT, detect ? 1 : 0, 0);
    LRESULT mask = Perform(EM_GETEVENTMASK, 0, 0);
    Perform(EM_SETEVENTMASK, 0, detect ? mask | ENM_LINK : mask & ~static_cast<LRESULT>(ENM_LINK));
}
TSpeedButton *TqxCustomRichEdit::UserSpeedButton1() const
{
    return q->userButton1;
}
void TqxCustomRichEdit::SetUserSpeedButton1(TSpeedButton *button)
{
    q->userButton1 = button;
    if (button) {
        button->FreeNotification(this);
        button->Hide();
    }
}
TSpeedButton *TqxCustomRichEdit::UserSpeedButton2() const
{
    return q->userButton2;
}
void TqxCustomRichEdit::SetUserSpeedButton2(TSpeedButton *button)
{
    q->userButton2 = button;
    if (button) {
        button->FreeNotification(this);
        button->Hide();
    }
}
int TqxCustomRichEdit::TransferMode() const
{
    return q->transferMode;
}
void TqxCustomRichEdit::SetTransferMode(int mode)
{
    q->transferMode = mode;
}
bool TqxCustomRichEdit::Switch(int index) const
{
    return index >= 0 && index < 7 && q->switches[index];
}

void TqxCustomRichEdit::Notification(TComponent *component, TOperation operation)
{
    TCustomRichEdit::Notification(component, operation);
    if (operation != opRemove)
        return;
    if (component == q->userButton1)
        q->userButton1 = nullptr;
    if (component == q->userButton2)
        q->userButton2 = nullptr;
}

// ---- Measurements -----------------------------------------------------------------------------

int TqxCustomRichEdit::MeasurementToTwips(const std::string &text) const
{
    std::string number = text;
    while (!number.empty() && std::strchr(" 'CMcm", number.back()))
        number.pop_back();
    double value = number.empty() ? 0 : StrToFloat(number);
    value *= 1440;
    if (q->units == muCentimeters)
        value *= kInchesPerCentimetre;
    return static_cast<int>(std::trunc(value));
}

double TqxCustomRichEdit::TwipsToMeasurement(int twips) const
{
    double value = twips / 1440.0;
    if (q->units == muCentimeters)
        value *= kCentimetresPerInch;
    return std::round(value * 100) / 100;
}

std::string TqxCustomRichEdit::FormatMeasurement(double value) const
{
    return FloatToStr(value) + (q->units == muCentimeters ? " cm" : "''");
}

std::string TqxCustomRichEdit::FormatRoundedMeasurement(int step, double value) const
{
    if (step == 0)
        step = q->units == muCentimeters ? 20 : 8;
    double bias = 1.0 / (1.5 * step);
    value += value < 0 ? -bias : bias;
    auto thousandths = static_cast<int64_t>(std::trunc(value * 1000));
    thousandths -= thousandths % (1000 / step);
    return FormatMeasurement(thousandths * 0.001);
}

// ---- Window --------------------------------------------------------------------------------------

void TqxCustomRichEdit::CreateParams(TCreateParams &params)
{
    TCustomRichEdit::CreateParams(params);
    if (q->version < 2)
        return;
    params.WinClassName = RichEdit20Loaded() && !q->switches[1] ? "RICHEDIT20A" : "RICHEDIT";
    TScrollStyle bars = ScrollBars();
    if (bars == ssVertical || bars == ssBoth)
        params.Style |= WS_VSCROLL;
    if (bars == ssHorizontal || bars == ssBoth)
        params.Style |= WS_HSCROLL;
    if (!HideSelection())
        params.Style |= ES_NOHIDESEL;
}

void TqxCustomRichEdit::CreateWnd()
{
    q->lastFormatRect = TRect {};
    q->formatRectSent = false;
    {
        TProgrammaticChange change(this);
        TCustomRichEdit::CreateWnd();
    }
    if (!q->oleOptions.Contains(reoDisableOLE)) {
        IRichEditOle *ole = nullptr;
        if (!RichEditGetOleInterface(this, &ole) || !ole)
            throw Exception("Unable to get interface");
        q->ole = TComPtr<IRichEditOle>(ole);
        ole->Release();
        if (!RichEditSetOleCallback(this, q->callback.Get()))
            throw Exception("Unable to set callback");
    }
    if (q->contentSaved && q->saved) {
        TProgrammaticChange change(this);
        q->saved->SetPosition(0);
        int limit = MaxLength();
        if (limit > 0)
            SetMaxLength(limit + 1);
        q->lines->LoadFromStream(*q->saved);
        if (limit > 0)
            SetMaxLength(limit);
        q->contentSaved = false;
    }
    if (q->autoUrlDetect) {
        Perform(EM_AUTOURLDETECT, 1, 0);
        Perform(EM_SETEVENTMASK, 0, Perform(EM_GETEVENTMASK, 0, 0) | ENM_LINK);
    }
}

void TqxCustomRichEdit::DestroyWnd()
{
    if (!ComponentState().Contains(csDestroying) && !q->reparenting) {
        if (!q->saved)
            q->saved = std::make_unique<TqxRichMemoryStream>();
        else
            q->saved->SetSize(0);
        q->lines->SaveToStream(*q->saved);
        q->contentSaved = true;
        TProgrammaticChange change(this);
        TCustomRichEdit::Clear();
    }
    q->ole.Reset();
    TCustomRichEdit::DestroyWnd();
}

void TqxCustomRichEdit::Loaded()
{
    TCustomRichEdit::Loaded();
    if (ComponentState().Contains(csDesigning))
        return;
    if (!Visible() && HandleAllocated())
        Hide();
    // A localisation component on the form has put its texts in place by now.
    for (int i = 0; q->popup && i < kPopupItemCount; ++i)
        if (kPopupItems[i].label)
            q->items[i]->SetCaption(PopupLabels().Text(kPopupItems[i].label));
}

void TqxCustomRichEdit::WMSize(TMessage &message)
{
    TCustomRichEdit::WMSize(message);
    if (q->editWidth == rewWindowSize)
        UpdateFormatRect();
}

void TqxCustomRichEdit::UpdateFormatRect()
{
    auto verticalBar = [this] { return ScrollBars() == ssVertical || ScrollBars() == ssBoth; };
    if (q->editWidth == rewPrinterSize) {
        HDC dc = Printer()->Handle();
        double pageInches = static_cast<double>(GetDeviceCaps(dc, PHYSICALWIDTH)) / GetDeviceCaps(dc, LOGPIXELSX);
        double marginInches
            = MeasurementToTwips(FloatToStr(q->margins->Left() + q->margins->Right())) / 1440.0;
        int ppi = Screen->PixelsPerInch();
        TRect rect;
        rect.Left = q->leftInset;
        rect.Top = 0;
        rect.Right = static_cast<int>(std::trunc((pageInches - marginInches) * ppi)) + q->leftInset + 4;
        if (verticalBar())
            rect.Right -= kScrollThumb + 5;
        rect.Bottom = GetDeviceCaps(dc, PHYSICALHEIGHT) * ppi / std::max(1, GetDeviceCaps(dc, LOGPIXELSY));
        Perform(EM_SETRECT, 0, reinterpret_cast<LPARAM>(&rect));
        q->lastFormatRect = rect;
        q->formatRectSent = true;
        return;
    }
    if (!HandleAllocated() || !Visible())
        return;
    TRect rect { q->leftInset, 2, Width() - 4 - (verticalBar() ? kScrollThumb : 0), Height() };
    if (q->formatRectSent && rect == q->lastFormatRect)
        return;
    Perform(EM_SETRECT, 0, reinterpret_cast<LPARAM>(&rect));
    q->lastFormatRect = rect;
    q->formatRectSent = true;
}

// ---- Persistence in form resources ---------------------------------------------------------------

void TqxCustomRichEdit::DefineProperties(TFiler &filer)
{
    filer.DefineProperty(
        "RichEditVersion",
        [this](TReader &reader) {
            int version = static_cast<int>(reader.ReadInteger());
            bool changed = version != q->version;
            q->version = version;
            if (changed && HandleAllocated())
                RecreateWnd();
        },
        [this](TWriter &writer) {
            q->version = 2;
            writer.WriteInteger(2);
        },
        true);
    TCustomRichEdit::DefineProperties(filer);
    filer.DefineBinaryProperty(
        "Data",
        [this](TStream &stream) {
            SetPlainText(false);
            int32_t length = 0;
            stream.ReadBuffer(&length, sizeof length);
            if (length > 0) {
                if (length > stream.Size() - stream.Position())
                    throw EReadError("Stream read error");
                TqxRichMemoryStream content;
                content.CopyFrom(stream, length);
                content.SetPosition(0);
                q->lines->LoadFromStream(content);
            }
            q->dataRead = true;
        },
        [this](TStream &stream) {
            TqxRichMemoryStream content;
            q->lines->SaveToStream(content);
            auto length = static_cast<int32_t>(content.Size());
            stream.WriteBuffer(&length, sizeof length);
            stream.WriteBuffer(content.Memory(), length);
        },
        GetBoundField() == nullptr);
}

void TqxCustomRichEdit::ReadState(TReader &reader)
{
    q->version = 1; // a resource without "RichEditVersion" is of version 1
    q->dataRead = false;
    TCursor cursor = Screen->Cursor();
    Screen->SetCursor(crHourGlass);
    try {
        SetPlainText(true);
        TCustomRichEdit::ReadState(reader);
        if (!q->dataRead) {
            // Text stored in Lines is RTF when it reads as RTF.
            TqxRichMemoryStream content;
            q->lines->SaveToStream(content);
            SetPlainText(false);
            content.SetPosition(0);
            std::string bytes(static_cast<size_t>(content.Size()), '\0');
            content.ReadBuffer(bytes.data(), content.Size());
            if (IsRtf(bytes)) {
                content.SetPosition(0);
                q->lines->LoadFromStream(content);
            }
        }
        SetPlainText(false);
    } catch (...) {
        Screen->SetCursor(cursor);
        throw;
    }
    Screen->SetCursor(cursor);
}

// ---- Lines ------------------------------------------------------------------------------------------

TqxRichEditStrings::TqxRichEditStrings(TqxCustomRichEdit *edit)
    : edit_(edit)
{
}

std::string TqxRichEditStrings::Get(int index) const
{
    // The buffer is as long as the line: a fixed one would cut long lines.
    LRESULT start = edit_->Perform(EM_LINEINDEX, static_cast<WPARAM>(index), 0);
    if (index < 0 || start < 0)
        return {};
    LRESULT length = edit_->Perform(EM_LINELENGTH, static_cast<WPARAM>(start), 0);
    std::string buffer(static_cast<size_t>(length) * 4 + 8, '\0');
    auto size = static_cast<uint32_t>(buffer.size());
    std::memcpy(buffer.data(), &size, sizeof size);
    LRESULT copied = edit_->Perform(EM_GETLINE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(static_cast<size_t>(std::max<LRESULT>(0, copied)));
    if (buffer.size() >= 2 && buffer.compare(buffer.size() - 2, 2, "\r\n") == 0)
        buffer.resize(buffer.size() - 2);
    else if (!buffer.empty() && buffer.back() == '\r')
        buffer.pop_back();
    return buffer;
}

int TqxRichEditStrings::GetCount() const
{
    auto count = static_cast<int>(edit_->Perform(EM_GETLINECOUNT, 0, 0));
    if (count > 0) {
        LRESULT start = edit_->Perform(EM_LINEINDEX, static_cast<WPARAM>(count - 1), 0);
        if (edit_->Perform(EM_LINELENGTH, static_cast<WPARAM>(start), 0) == 0)
            --count;
    }
    return count;
}

void TqxRichEditStrings::Put(int index, const std::string &s)
{
    if (index < 0)
        return;
    LRESULT start = edit_->Perform(EM_LINEINDEX, static_cast<WPARAM>(index), 0);
    if (start < 0)
        return;
    CHARRANGE range { static_cast<int32_t>(start),
        static_cast<int32_t>(start + edit_->Perform(EM_LINELENGTH, static_cast<WPARAM>(start), 0)) };
    edit_->Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    edit_->Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(s.c_str()));
}

void TqxRichEditStrings::Insert(int index, const std::string &s)
{
    if (index < 0)
        return;
    LRESULT start = edit_->Perform(EM_LINEINDEX, static_cast<WPARAM>(index), 0);
    std::string text;
    if (start >= 0) {
        text = s + "\r\n";
    } else {
        start = edit_->Perform(EM_LINEINDEX, static_cast<WPARAM>(index - 1), 0);
        if (index == 0 || start < 0)
            return;
        LRESULT length = edit_->Perform(EM_LINELENGTH, static_cast<WPARAM>(start), 0);
        if (length == 0)
            return;
        start += length;
        text = "\r\n" + s;
    }
    CHARRANGE range { static_cast<int32_t>(start), static_cast<int32_t>(start) };
    edit_->Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    edit_->Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TqxRichEditStrings::Delete(int index)
{
    edit_->TCustomRichEdit::Lines()->Delete(index);
}
void TqxRichEditStrings::Clear()
{
    edit_->TCustomRichEdit::Lines()->Clear();
}
void TqxRichEditStrings::LoadFromFile(const std::string &fileName)
{
    edit_->TCustomRichEdit::Lines()->LoadFromFile(fileName);
}
void TqxRichEditStrings::LoadFromStream(TStream &stream)
{
    edit_->TCustomRichEdit::Lines()->LoadFromStream(stream);
}
// The document is built first and then replaces the file in one step: a
// crash while saving leaves the old document or the new one, never less.
void TqxRichEditStrings::SaveToFile(const std::string &fileName) const
{
    TStringStream content;
    SaveToStream(content);
    WriteFileAtomic(MapPath(fileName), content.DataString());
}
void TqxRichEditStrings::SaveToStream(TStream &stream) const
{
    edit_->TCustomRichEdit::Lines()->SaveToStream(stream);
}

void TqxRichEditStrings::AddStrings(const TStrings &strings)
{
    TNotifyEvent saved = edit_->OnSelectionChange;
    edit_->OnSelectionChange = TNotifyEvent {};
    try {
        TStrings::AddStrings(strings);
    } catch (...) {
        edit_->OnSelectionChange = saved;
        throw;
    }
    edit_->OnSelectionChange = saved;
}

void TqxRichEditStrings::SetUpdateState(bool updating)
{
    if (!updating) {
        edit_->Refresh();
        edit_->Perform(CM_TEXTCHANGED, 0, 0);
    }
}

void TqxRichEditStrings::SetText(const std::string &text)
{
    LRESULT mask = edit_->Perform(EM_GETEVENTMASK, 0, 0);
    edit_->Perform(EM_SETEVENTMASK, 0, mask & ~static_cast<LRESULT>(ENM_CHANGE));
    try {
        TStrings::SetText(text);
    } catch (...) {
        edit_->Perform(EM_SETEVENTMASK, 0, mask);
        throw;
    }
    edit_->Perform(EM_SETEVENTMASK, 0, mask);
}

// ---- Streaming in ------------------------------------------------------------------------------

namespace
{

// Feeds the window from a stream with line breaks made CR LF. A CR at the
// end of a chunk waits for the next one (its LF may start it), and the
// bytes of \binN in RTF pass untouched, however the chunks cut them.
struct TStreamFeed {
    TStream *source = nullptr;
    bool rtf = false;
    bool firstChunkOnly = false;
    bool delivered = false;
    bool pendingCR = false;
    bool ended = false;
    // The RTF scanner
    enum { Text, Backslash, Word, Number } state = Text;
    std::string word;
    int64_t number = 0;
    int64_t binaryLeft = 0;

    void Scan(char c)
    {
        switch (state) {
        case Text:
            if (c == '\\')
                state = Backslash;
            return;
        case Backslash:
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
                state = Word, word.assign(1, c);
            else
                state = Text;
            return;
        case Word:
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
                if (word.size() < 32)
                    word += c;
                return;
            }
            if (c >= '0' && c <= '9' && word == "bin") {
                state = Number, number = c - '0';
                return;
            }
            state = c == '\\' ? Backslash : Text;
            return;
        case Number:
            if (c >= '0' && c <= '9') {
                number = std::min<int64_t>(number * 10 + (c - '0'), int64_t(1) << 40);
                return;
            }
            // The delimiter: a space belongs to the word, anything else is data.
            binaryLeft = number;
            state = Text;
            if (c != ' ' && binaryLeft > 0)
                --binaryLeft;
            return;
        }
    }

    // Normalises input into out.
    void Normalise(const char *input, size_t count, std::string &out)
    {
        for (size_t i = 0; i < count; ++i) {
            char c = input[i];
            if (binaryLeft > 0) {
                --binaryLeft;
                out += c;
                continue;
            }
            if (pendingCR) {
                pendingCR = false;
                out += "\r\n";
                if (c == '\n')
                    continue;
            }
            if (c == '\r') {
                pendingCR = true;
                continue;
            }
            if (c == '\n') {
                out += "\r\n";
                if (rtf)
                    state = state == Number ? (binaryLeft = number, Text) : (state == Word ? Text : state);
                continue;
            }
            out += c;
            if (rtf)
                Scan(c);
        }
    }
};

uint32_t FeedCallback(uintptr_t cookie, uint8_t *buffer, int32_t cb, int32_t *pcb)
{
    auto *feed = reinterpret_cast<TStreamFeed *>(cookie);
    *pcb = 0;
    if (feed->ended || (feed->firstChunkOnly && feed->delivered))
        return 0;
    std::string out;
    try {
        // Half the room, less one for a CR kept back from the last chunk.
        int64_t want = std::max(1, cb / 2 - 1);
        std::string input(static_cast<size_t>(want), '\0');
        int64_t got = feed->source->Read(input.data(), want);
        if (got <= 0) {
            feed->ended = true;
            if (feed->pendingCR)
                out = "\r\n", feed->pendingCR = false;
        } else {
            feed->Normalise(input.data(), static_cast<size_t>(got), out);
        }
    } catch (const Exception &) {
        return 1;
    }
    if (feed->firstChunkOnly) {
        // Only the beginning: the first group behind the first \pard is
        // closed at once and the text ends there.
        size_t pard = out.find("\\pard");
        size_t brace = pard == std::string::npos ? pard : out.find('{', pard);
        if (brace != std::string::npos) {
            out[brace] = '}';
            out.resize(brace + 1);
        }
        feed->delivered = true;
    }
    size_t n = std::min(out.size(), static_cast<size_t>(cb));
    std::memcpy(buffer, out.data(), n);
    *pcb = static_cast<int32_t>(n);
    return 0;
}

} // namespace

void TqxCustomRichEdit::StreamInContent(TStream &stream, bool firstChunkOnly, bool selection)
{
    int64_t start = stream.Position();
    auto load = [&](WPARAM format) {
        TStreamFeed feed;
        feed.source = &stream;
        feed.rtf = format == SF_RTF;
        feed.firstChunkOnly = firstChunkOnly;
        EDITSTREAM edit;
        edit.dwCookie = reinterpret_cast<uintptr_t>(&feed);
        edit.pfnCallback = FeedCallback;
        Perform(EM_STREAMIN, format | (selection ? SFF_SELECTION : 0), reinterpret_cast<LPARAM>(&edit));
        return edit.dwError;
    };
    WPARAM format = PlainText() ? SF_TEXT : SF_RTF;
    if (load(format) == 0)
        return;
    if (format == SF_RTF && !selection) {
        stream.SetPosition(start);
        if (load(SF_TEXT) == 0)
            return;
    }
    throw EOutOfResources("Failed to Load Stream");
}

// ---- Formatting ------------------------------------------------------------------------------------

void TqxCustomRichEdit::SetParagraph(uint32_t flags, const std::string &alignment, int lineSpacingRule,
    int lineSpacing, int spaceAfter, int spaceBefore, const int *tabs, int tabCount, int startIndent,
    int rightIndent, int offset, bool numbering)
{
    PrepareModify();
    PARAFORMAT2 format;
    if (q->version < 2)
        format.cbSize = sizeof(PARAFORMAT);
    static const uint32_t masks[] = { PFM_ALIGNMENT, PFM_NUMBERING, PFM_OFFSET, PFM_RIGHTINDENT, PFM_STARTINDENT,
        PFM_TABSTOPS, PFM_SPACEBEFORE, PFM_SPACEAFTER, PFM_LINESPACING };
    format.dwMask = 0;
    for (int bit = 0; bit < 9; ++bit)
        if (flags & (1u << bit))
            format.dwMask |= masks[bit];
    if (numbering)
        format.wNumbering = PFN_BULLET;
    format.dxStartIndent = startIndent;
    format.dxRightIndent = rightIndent;
    format.dxOffset = offset;
    format.dySpaceBefore = spaceBefore;
    format.dySpaceAfter = spaceAfter;
    if (lineSpacingRule == 1)
        format.bLineSpacingRule = 5, format.dyLineSpacing = 30;
    else if (lineSpacingRule == 2)
        format.bLineSpacingRule = 5, format.dyLineSpacing = 40;
    else
        format.bLineSpacingRule = static_cast<uint8_t>(lineSpacingRule), format.dyLineSpacing = lineSpacing;
    const TqxIntlTexts &names = *qxIntl()->RichEdit()->ParagraphDialog();
    format.wAlignment = alignment == names.Text("AlignLeft") ? PFA_LEFT
        : alignment == names.Text("AlignRight")              ? PFA_RIGHT
                                                             : PFA_CENTER;
    format.cTabCount = static_cast<int16_t>(std::clamp(tabCount, 0, MAX_TAB_STOPS));
    for (int i = 0; i < format.cTabCount; ++i)
        format.rgxTabs[i] = tabs[i];
    Perform(EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
}

void TqxCustomRichEdit::GetParagraphIndents(int &offset, int &rightIndent, int &startIndent)
{
    offset = rightIndent = startIndent = 0;
    if (!HandleAllocated())
        return;
    PARAFORMAT format;
    Perform(EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
    offset = format.dxOffset;
    rightIndent = format.dxRightIndent;
    startIndent = format.dxStartIndent;
}

PARAFORMAT2 TqxCustomRichEdit::GetParagraphFormat()
{
    PARAFORMAT2 format;
    if (q->version < 2)
        format.cbSize = sizeof(PARAFORMAT);
    Perform(EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
    return format;
}

void TqxCustomRichEdit::SetBullets(bool on)
{
    PrepareModify();
    if (on)
        SetParagraph(2 | 4, "", 0, 0, 0, 0, nullptr, 0, 0, 0, 720, true);
    else
        Paragraph()->SetNumbering(nsNone);
}

void TqxCustomRichEdit::SetSelectionBold(bool on)
{
    TFontStyles style = SelAttributes()->Style();
    on ? style.Include(fsBold) : style.Exclude(fsBold);
    SelAttributes()->SetStyle(style);
}
void TqxCustomRichEdit::SetSelectionItalic(bool on)
{
    TFontStyles style = SelAttributes()->Style();
    on ? style.Include(fsItalic) : style.Exclude(fsItalic);
    SelAttributes()->SetStyle(style);
}
void TqxCustomRichEdit::SetSelectionUnderline(bool on)
{
    TFontStyles style = SelAttributes()->Style();
    on ? style.Include(fsUnderline) : style.Exclude(fsUnderline);
    SelAttributes()->SetStyle(style);
}

void TqxCustomRichEdit::SetSelectionFont(const std::string &name, int size, TColor color, TFontStyles style)
{
    CHARFORMAT format;
    format.dwMask = 0xE800000F;
    format.dwEffects = (style.Contains(fsBold) ? CFE_BOLD : 0) | (style.Contains(fsItalic) ? CFE_ITALIC : 0)
        | (style.Contains(fsUnderline) ? CFE_UNDERLINE : 0) | (style.Contains(fsStrikeOut) ? CFE_STRIKEOUT : 0);
    format.yHeight = size * 20;
    format.crTextColor = static_cast<uint32_t>(color) & 0xFFFFFF;
    size_t length = std::min(name.size(), sizeof format.szFaceName - 1);
    while (length > 0 && length < name.size() && (name[length] & 0xC0) == 0x80)
        --length;
    std::memcpy(format.szFaceName, name.data(), length);
    format.bCharSet = static_cast<uint8_t>(FontCharset(name));
    Perform(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

int TqxCustomRichEdit::FontCharset(const std::string &) const
{
    // Fonts here carry no Windows character set; every family reports the
    // control font's, which is what the lookup would find first.
    return Font()->Charset();
}

bool TqxCustomRichEdit::CanPaste()
{
    bool readOnly = TCustomEdit::ReadOnly();
    if (readOnly)
        Perform(EM_SETREADONLY, 0, 0);
    bool can = Perform(EM_CANPASTE, 0, 0) != 0;
    if (readOnly)
        Perform(EM_SETREADONLY, 1, 0);
    return can;
}

void TqxCustomRichEdit::CopyContentTo(TqxCustomRichEdit *target)
{
    if (!target)
        return;
    TCursor cursor = Screen->Cursor();
    Screen->SetCursor(crHourGlass);
    TProgrammaticChange change(this);
    auto restore = [&] { Screen->SetCursor(cursor); };
    try {
        // Content not shown yet (a deferred blob shows its label) comes
        // straight from the field.
        if (auto *blob = dynamic_cast<TBlobField *>(GetBoundField()); blob && !IsRichTextLoaded()) {
            qxLoadRichContentFromBlob(target, blob);
            return restore();
        }
        if (q->transferMode == 1) {
            std::string folder = GetTempPath();
            std::string file = folder + "_QX.TMP";
            if (GetTempFileName(folder, "_QX", 0, file) == 0) {
                Application->MessageBox("Fail to create temporary file.", Application->Title(), MB_OK);
                return restore();
            }
            q->lines->SaveToFile(file);
            target->Lines()->LoadFromFile(file);
            DeleteFile(file);
        } else {
            TqxRichMemoryStream content;
            q->lines->SaveToStream(content);
            content.SetPosition(0);
            int limit = target->MaxLength();
            if (limit > 0)
                target->SetMaxLength(limit + 1);
            target->Lines()->LoadFromStream(content);
            if (limit > 0)
                target->SetMaxLength(limit);
        }
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

// ---- Printing --------------------------------------------------------------------------------------

void TqxCustomRichEdit::Print(const std::string &title)
{
    if (q->editWidth == rewPrinterSize)
        ApplyPaperSize();
    TPrinter *printer = Printer();
    printer->SetTitle(title);
    printer->BeginDoc();
    HDC dc = printer->Handle();
    FORMATRANGE range;
    range.hdc = range.hdcTarget = dc;
    int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    TRect page = PageRect();
    if (page.Right <= page.Left || page.Bottom <= page.Top)
        page = Rect(0, 0, printer->PageWidth(), printer->PageHeight());
    range.rc = range.rcPage = Rect(page.Left * 1440 / dpiX, page.Top * 1440 / dpiY, page.Right * 1440 / dpiX,
        page.Bottom * 1440 / dpiY);
    auto length = static_cast<int>(Perform(WM_GETTEXTLENGTH, 0, 0));
    try {
        // Measure, then render page by page up to where measuring ended.
        int end = 0;
        for (range.chrg = { 0, -1 };;) {
            auto next = static_cast<int>(Perform(EM_FORMATRANGE, 0, reinterpret_cast<LPARAM>(&range)));
            if (next == -1 || next <= range.chrg.cpMin) {
                end = next == -1 ? end : next;
                break;
            }
            end = next;
            if (next >= length)
                break;
            range.chrg.cpMin = next;
        }
        Perform(EM_FORMATRANGE, 0, 0);
        for (range.chrg = { 0, -1 };;) {
            auto next = static_cast<int>(Perform(EM_FORMATRANGE, 1, reinterpret_cast<LPARAM>(&range)));
            if (next <= range.chrg.cpMin || next >= end || next == -1)
                break;
            printer->NewPage();
            range.chrg.cpMin = next;
        }
    } catch (...) {
        Perform(EM_FORMATRANGE, 0, 0);
        printer->Abort();
        throw;
    }
    Perform(EM_FORMATRANGE, 0, 0);
    printer->EndDoc();
}

// ---- Messages, keys and mouse ------------------------------------------------------------------

void TqxCustomRichEdit::WndProc(TMessage &message)
{
    switch (message.Msg) {
    case EM_FINDTEXT:
    case EM_FINDTEXTEX:
        if (!q->switches[0])
            message.WParam |= FR_DOWN;
        break;
    case EM_FORMATRANGE:
        if (auto *range = reinterpret_cast<FORMATRANGE *>(message.LParam); range && range->hdc) {
            // The page less the margins, in twips of the target device.
            HDC dc = range->hdc;
            int dpiX = std::max(1, GetDeviceCaps(dc, LOGPIXELSX)), dpiY = std::max(1, GetDeviceCaps(dc, LOGPIXELSY));
            int width = GetDeviceCaps(dc, PHYSICALWIDTH) * 1440 / dpiX;
            int height = GetDeviceCaps(dc, PHYSICALHEIGHT) * 1440 / dpiY;
            int offsetX = GetDeviceCaps(dc, PHYSICALOFFSETX) * 1440 / dpiX;
            int offsetY = GetDeviceCaps(dc, PHYSICALOFFSETY) * 1440 / dpiY;
            int left = MeasurementToTwips(FloatToStr(q->margins->Left()));
            int right = MeasurementToTwips(FloatToStr(q->margins->Right()));
            int top = MeasurementToTwips(FloatToStr(q->margins->Top()));
            int bottom = MeasurementToTwips(FloatToStr(q->margins->Bottom()));
            TRect rc;
            rc.Left = std::min(std::max(0, left - offsetX), width - 2 * offsetX);
            rc.Right = std::min(std::max(rc.Left, width - right - offsetX), width - 2 * offsetX);
            rc.Top = std::min(std::max(0, top - offsetY), height - offsetY);
            rc.Bottom = std::min(std::max(rc.Top, height - bottom - offsetY), height - 2 * offsetY);
            range->rc = rc;
        }
        break;
    case CN_NOTIFY:
        if (auto *header = reinterpret_cast<NMHDR *>(message.LParam); header && header->code == EN_LINK) {
            auto *link = reinterpret_cast<ENLINK *>(header);
            if (link->msg == WM_LBUTTONDOWN) {
                q->linkDown = true;
            } else if (link->msg == WM_LBUTTONUP && q->linkDown) {
                q->linkDown = false;
                std::string url(static_cast<size_t>(link->chrg.cpMax - link->chrg.cpMin) * 4 + 8, '\0');
                TEXTRANGE text;
                text.chrg = link->chrg;
                text.lpstrText = url.data();
                Perform(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&text));
                url.resize(std::strlen(url.c_str()));
                bool useDefault = true;
                DoURLOpen(url, useDefault);
                if (useDefault)
                    OpenLink(url);
                message.Result = 1;
            }
            return;
        }
        break;
    default:
        break;
    }
    TCustomRichEdit::WndProc(message);
}

void TqxCustomRichEdit::OpenLink(const std::string &url)
{
    // Handed to the desktop's opener as one argument, never to a shell; text
    // that could pass for an option is not a link.
    if (url.empty() || url[0] == '-')
        return;
    TCursor cursor = Screen->Cursor();
    Screen->SetCursor(crHourGlass);
    StartProgram("xdg-open", { url });
    Screen->SetCursor(cursor);
}

void TqxCustomRichEdit::KeyDown(uint16_t &key, TShiftState shift)
{
    TCustomRichEdit::KeyDown(key, shift);
    if (key == VK_F2 && q->popupOptions.Contains(rpoPopupEdit)) {
        Execute();
        key = 0;
    } else if (((key == VK_INSERT && shift.Contains(ssShift)) || (key == 'V' && shift.Contains(ssCtrl)))
        && !CanPaste()) {
        key = 0;
    }
}

void TqxCustomRichEdit::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    if (q->mouseUpRunning)
        return;
    q->mouseUpRunning = true;
    try {
        if (button == mbRight) {
            CHARRANGE before;
            Perform(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&before));
            Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(x, y));
            Perform(WM_LBUTTONUP, 0, MakeLParam(x, y));
            CHARRANGE after;
            Perform(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&after));
            if (after.cpMin == after.cpMax)
                Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&before));
        }
        TCustomRichEdit::MouseUp(mbLeft, shift, x, y);
    } catch (...) {
        q->mouseUpRunning = false;
        throw;
    }
    q->mouseUpRunning = false;
    q->linkDown = false;
}

void TqxCustomRichEdit::SelectionChange()
{
    TCustomRichEdit::SelectionChange();
    if (Focused() && q->editWidth == rewWindowSize)
        UpdateFormatRect();
}

void TqxCustomRichEdit::CMFontChanged(TMessage &message)
{
    TCustomRichEdit::CMFontChanged(message);
    TTextAttributes *attributes = DefAttributes();
    TFont *font = Font();
    if (attributes->Name() != font->Name())
        attributes->SetName(font->Name());
    if (attributes->Size() != font->Size())
        attributes->SetSize(font->Size());
    if (attributes->Style() != font->Style())
        attributes->SetStyle(font->Style());
    if (attributes->Color() != font->Color())
        attributes->SetColor(font->Color());
    if (attributes->Charset() != font->Charset())
        attributes->SetCharset(font->Charset());
}

// ---- The popup menu ------------------------------------------------------------------------------

TPopupMenu *TqxCustomRichEdit::BuiltInPopupMenu() const
{
    return q->popup;
}

void TqxCustomRichEdit::WMContextMenu(TMessage &message)
{
    // The built-in menu serves when no PopupMenu is set; it is not the
    // property's value, so a form resource never names it.
    if (!q->popup)
        return TCustomRichEdit::WMContextMenu(message);
    q->popup->SetPopupComponent(this);
    q->popup->Popup(LoWordSigned(message.LParam), HiWordSigned(message.LParam));
}

void TqxCustomRichEdit::PreparePopup()
{
    if (!q->popup)
        return;
    TqxRichEditPopupOptions options = q->popupOptions;
    bool readOnly = ReadOnly();
    if (readOnly)
        options = options * TqxRichEditPopupOptions::FromBits(0xC80F);
    q->items[0]->SetCaption(PopupLabels().Text(readOnly ? "ViewCaption" : "EditCaption"));
    auto has = [&](TqxRichEditPopupOption option) { return options.Contains(option); };
    auto any = [&](std::initializer_list<TqxRichEditPopupOption> list) {
        return std::any_of(list.begin(), list.end(), has);
    };
    for (int i = 0; i < kPopupItemCount; ++i)
        if (kPopupItems[i].option >= 0)
            q->items[i]->SetVisible(has(static_cast<TqxRichEditPopupOption>(kPopupItems[i].option)));
    // No object server exists on this machine, so inserting one is never offered.
    bool insertAllowed = false;
    bool fromBold = any({ rpoPopupBold, rpoPopupItalic, rpoPopupUnderline, rpoPopupFont, rpoPopupBullet,
        rpoPopupParagraph, rpoPopupTabs, rpoPopupFind, rpoPopupReplace, rpoPopupInsertObject });
    bool fromFont = any({ rpoPopupFont, rpoPopupBullet, rpoPopupParagraph, rpoPopupTabs, rpoPopupFind,
        rpoPopupReplace, rpoPopupInsertObject });
    q->items[1]->SetVisible(has(rpoPopupEdit) && (options.Bits() & ~1u) != 0);
    q->items[5]->SetVisible(any({ rpoPopupCut, rpoPopupCopy, rpoPopupPaste }) && fromBold);
    q->items[9]->SetVisible(any({ rpoPopupBold, rpoPopupItalic, rpoPopupUnderline }) && fromFont);
    q->items[14]->SetVisible(any({ rpoPopupFont, rpoPopupBullet, rpoPopupParagraph, rpoPopupTabs })
        && (insertAllowed || any({ rpoPopupFind, rpoPopupReplace })));
    q->items[17]->SetVisible(insertAllowed && any({ rpoPopupFind, rpoPopupReplace }));
    q->items[18]->SetVisible(insertAllowed);
    bool selected = SelLength() > 0;
    q->items[2]->SetEnabled(selected && !readOnly);
    q->items[3]->SetEnabled(selected);
    q->items[4]->SetEnabled(CanPaste() && !readOnly);
    TFontStyles style = SelAttributes()->Style();
    q->items[6]->SetChecked(style.Contains(fsBold));
    q->items[7]->SetChecked(style.Contains(fsItalic));
    q->items[8]->SetChecked(style.Contains(fsUnderline));
    q->items[11]->SetChecked(Paragraph()->Numbering() == nsBullet);
}

// ---- Find and replace ----------------------------------------------------------------------------

std::string TqxCustomRichEdit::FindTextValue() const
{
    return q->lastFindText;
}
void TqxCustomRichEdit::SetFindTextValue(const std::string &text)
{
    q->lastFindText = text;
}
std::string TqxCustomRichEdit::ReplaceTextValue() const
{
    return q->replaceText;
}
void TqxCustomRichEdit::SetReplaceTextValue(const std::string &text)
{
    q->replaceText = text;
}
TqxFindOptions TqxCustomRichEdit::FindOptions() const
{
    return q->findOptions;
}
void TqxCustomRichEdit::SetFindOptions(TqxFindOptions options)
{
    q->findOptions = options;
}

void TqxCustomRichEdit::BeginFind()
{
    std::string selected = SelText();
    if (!selected.empty() && selected.find('\r') == std::string::npos)
        q->lastFindText = selected;
    q->wrapped = false;
    q->searchStart = SelStart();
    if (!q->savedHideSelection)
        q->savedHideSelection = HideSelection();
    SetHideSelection(false);
}

void TqxCustomRichEdit::EndFind()
{
    if (q->savedHideSelection)
        SetHideSelection(*q->savedHideSelection);
    q->savedHideSelection.reset();
}

int TqxCustomRichEdit::FindTextPos(const std::string &text, int start, TqxFindOptions options, int length)
{
    WPARAM flags = FR_DOWN;
    if (options.Contains(qfoWholeWord))
        flags |= FR_WHOLEWORD;
    if (options.Contains(qfoMatchCase))
        flags |= FR_MATCHCASE;
    return FindText(text, start, length, flags);
}

void TqxCustomRichEdit::FindNextMatch()
{
    const std::string &text = q->lastFindText;
    if (text.empty())
        return;
    auto findLength = static_cast<int>(QStringLength(text));
    bool replacing = q->replacing;
    while (true) {
        int caret = SelStart();
        bool replaced = false;
        if (replacing && FindTextPos(text, caret, q->findOptions, findLength) == caret && SelLength() == findLength) {
            auto replaceLength = static_cast<int>(QStringLength(q->replaceText));
            Perform(EM_REPLACESEL, 1, reinterpret_cast<LPARAM>(q->replaceText.c_str()));
            if (q->wrapped)
                q->searchStart += replaceLength - findLength;
            caret += replaceLength;
            SetSelStart(caret);
            replaced = true;
        }
        // A match may start right behind a replacement, or at the caret when
        // nothing is selected yet: search from there, not one further.
        int from = replaced || SelLength() == 0 ? caret : caret + 1;
        auto total = static_cast<int>(Perform(WM_GETTEXTLENGTH, 0, 0));
        int hit = FindTextPos(text, from, q->findOptions, std::max(0, total - from));
        // Once wrapped, the search ends where it began: a match there was
        // found (or replaced) on the first round already.
        if (q->wrapped && hit >= q->searchStart)
            hit = -1;
        if (!q->wrapped && hit < 0 && caret > 0) {
            hit = FindTextPos(text, 0, q->findOptions, total);
            q->wrapped = true;
            if (hit >= q->searchStart)
                hit = -1;
        }
        if (hit >= 0) {
            CHARRANGE range { hit, hit + findLength };
            Perform(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
            if (replacing && q->findOptions.Contains(qfoReplaceAll))
                continue;
            return;
        }
        Application->MessageBox(qxIntl()->UserMessages()->Text("LocateNoMoreMatches"), Application->Title(),
            MB_OK | MB_ICONINFORMATION);
        q->searchStart = SelStart();
        q->wrapped = false;
        return;
    }
}

void TqxCustomRichEdit::ReplaceMatch()
{
    q->replacing = true;
    try {
        FindNextMatch();
    } catch (...) {
        q->replacing = false;
        throw;
    }
    q->replacing = false;
}

// ---- The virtual operations of this level --------------------------------------------------------

void TqxCustomRichEdit::PrepareModify()
{
}
void TqxCustomRichEdit::StoreContent()
{
}
bool TqxCustomRichEdit::IsRichTextLoaded() const
{
    return true;
}
TField *TqxCustomRichEdit::GetBoundField() const
{
    return nullptr;
}
void TqxCustomRichEdit::DoURLOpen(const std::string &url, bool &useDefault)
{
    if (OnURLOpen)
        OnURLOpen(this, url, useDefault);
}
bool TqxCustomRichEdit::InsertObjectDialog()
{
    // Inserting needs an object server, and this machine has none.
    return false;
}
bool TqxCustomRichEdit::Execute()
{
    return qxExecuteRichEditForm(this);
}

TFindDialog *TqxCustomRichEdit::FindDialog() const
{
    return q->findDialog;
}
TReplaceDialog *TqxCustomRichEdit::ReplaceDialog() const
{
    return q->replaceDialog;
}
TFontDialog *TqxCustomRichEdit::FontDialog() const
{
    return q->fontDialog;
}

void TqxCustomRichEdit::TakeFindOptions(TFindDialog *dialog)
{
    q->lastFindText = dialog->FindText();
    TFindOptions options = dialog->Options();
    TqxFindOptions find;
    if (options.Contains(frMatchCase))
        find.Include(qfoMatchCase);
    if (options.Contains(frWholeWord))
        find.Include(qfoWholeWord);
    if (options.Contains(frReplaceAll))
        find.Include(qfoReplaceAll);
    q->findOptions = find;
}

void TqxCustomRichEdit::OpenFindDialog(TFindDialog *dialog)
{
    if (!dialog)
        return;
    std::string previous = q->lastFindText;
    BeginFind();
    std::string selected = SelText();
    dialog->SetFindText(
        !selected.empty() && selected.find('\r') == std::string::npos ? selected : previous);
    q->lastFindText = previous;
    dialog->Execute();
}

void TqxCustomRichEdit::ExecuteFindDialog()
{
    OpenFindDialog(q->findDialog);
}

void TqxCustomRichEdit::ExecuteReplaceDialog()
{
    OpenFindDialog(q->replaceDialog);
}

bool TqxCustomRichEdit::ExecuteFontDialog()
{
    if (!q->fontDialog)
        return false;
    TFont *font = q->fontDialog->Font();
    TTextAttributes *attributes = SelAttributes();
    font->SetName(attributes->Name());
    font->SetStyle(attributes->Style());
    font->SetColor(attributes->Color());
    font->SetSize(attributes->Size());
    font->SetPitch(attributes->Pitch());
    TFontDialogOptions options = q->fontDialog->Options();
    if (q->editWidth == rewPrinterSize)
        options.Include(fdWysiwyg);
    else
        options.Exclude(fdWysiwyg);
    q->fontDialog->SetOptions(options);
    if (!q->fontDialog->Execute())
        return false;
    PrepareModify();
    SetSelectionFont(font->Name(), font->Size(), font->Color(), font->Style());
    return true;
}
bool TqxCustomRichEdit::ExecuteParagraphDialog()
{
    return qxExecuteParagraphDialog(this);
}
bool TqxCustomRichEdit::ExecuteTabDialog()
{
    return qxExecuteTabDialog(this);
}
void TqxCustomRichEdit::DoInitDialog(TForm *form)
{
    OnInitDialog(form);
}
void TqxCustomRichEdit::DoCloseDialog(TForm *form)
{
    OnCloseDialog(form);
}
void TqxCustomRichEdit::DoCreateDialog(TForm *form)
{
    OnCreateDialog(form);
}
