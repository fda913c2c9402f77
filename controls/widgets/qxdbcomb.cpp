#include "controls/widgets/qxdbcomb.h"

#include "controls/base/Qxcommon.h"
#include "controls/base/Qxstr.h"
#include "controls/widgets/qxwidgets_p.h"
#include "platform/classes/typinfo.h"
#include "platform/db/db.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/forms.h"
#include "platform/ui/services.h"

#include <algorithm>
#include <utility>

const TMetaClass TqxPopupListbox::Class { "TqxPopupListbox", &TCustomListBox::Class };
const TMetaClass TqxDBComboBox::Class { "TqxDBComboBox", &TqxDBCustomCombo::Class };

namespace
{

const TEnumNames StyleNames { "csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed", "csOwnerDrawVariable" };
const TEnumNames ButtonStyleNames { "cbsEllipsis", "cbsDownArrow" };
const TEnumNames DataTypeNames { "qxDefault", "qxEdtDate", "qxEdtTime", "qxEdtDateTime" };

// clang-format off
using P = TPublish<TqxDBComboBox>;
const TClassRegistrar<TqxPopupListbox> listRegistrar({});
const TClassRegistrar<TqxDBComboBox> comboRegistrar({
    //             name              names             getter                          setter                             default        stored
    P::Boolean   ("ShowButton",                        &TqxDBComboBox::ShowButton,     &TqxDBComboBox::SetShowButton,     true),
    P::Enum      ("Style",           StyleNames,       &TqxDBComboBox::Style,          &TqxDBComboBox::SetStyle,          csDropDown),
    P::Boolean   ("MapList",                           &TqxDBComboBox::MapList,        &TqxDBComboBox::SetMapList,        false),
    P::Boolean   ("AllowClearKey",                     &TqxDBComboBox::AllowClearKey,  &TqxDBComboBox::SetAllowClearKey,  false),
    P::Boolean   ("AutoDropDown",                      &TqxDBComboBox::AutoDropDown,   &TqxDBComboBox::SetAutoDropDown,   false),
    P::Boolean   ("ShowMatchText",                     &TqxDBComboBox::ShowMatchText,  &TqxDBComboBox::SetShowMatchText,  false),
    P::Boolean   ("AutoFillDate",                      &TqxDBComboBox::AutoFillDate,   &TqxDBComboBox::SetAutoFillDate,   true),
    P::Enum      ("ButtonStyle",     ButtonStyleNames, &TqxDBComboBox::ButtonStyle,    &TqxDBComboBox::SetButtonStyle,    cbsDownArrow),
    P::String    ("DataField",                         &TqxDBComboBox::DataField,      &TqxDBComboBox::SetDataField,      ""),
    P::Component ("DataSource",                        &TqxDBComboBox::DataSource,     &TqxDBComboBox::SetDataSource),
    P::Integer   ("DropDownCount",                     &TqxDBComboBox::DropDownCount,  &TqxDBComboBox::SetDropDownCount,  8),
    P::Integer   ("DropDownWidth",                     &TqxDBComboBox::DropDownWidth,  &TqxDBComboBox::SetDropDownWidth,  0),
    P::Integer   ("ItemHeight",                        &TqxDBComboBox::ItemHeight,     &TqxDBComboBox::SetItemHeight,     0),
    P::Strings   ("Items",                             &TqxDBComboBox::Items),
    P::Integer   ("ItemIndex",                         &TqxDBComboBox::ItemIndex,      &TqxDBComboBox::SetItemIndex,      -1),
    P::Persistent("Picture",                           &TqxDBComboBox::Picture,        &TqxDBComboBox::SetPicture,                       &TqxDBComboBox::IsPictureStored),
    P::Boolean   ("ReadOnly",                          &TqxDBComboBox::ReadOnly,       &TqxDBComboBox::SetReadOnly,       false),
    P::Boolean   ("Sorted",                            &TqxDBComboBox::Sorted,         &TqxDBComboBox::SetSorted,         false),
    P::Enum      ("UnboundDataType", DataTypeNames,
                                                       &TqxDBComboBox::UnboundDataType, &TqxDBComboBox::SetUnboundDataType, qxDefault),
    P::Boolean   ("UsePictureMask",                    &TqxDBComboBox::UsePictureMask, &TqxDBComboBox::SetUsePictureMask, true),
    P::Event     ("OnCheckValue",                      &TqxDBComboBox::OnCheckValue),
    P::Event     ("OnDropDown",                        &TqxDBComboBox::OnDropDown),
    P::Event     ("OnCloseUp",                         &TqxDBComboBox::OnCloseUp),
    P::Event     ("OnDrawItem",                        &TqxDBComboBox::OnDrawItem),
    P::Event     ("OnMeasureItem",                     &TqxDBComboBox::OnMeasureItem),
});
// clang-format on

// A mapped line: display text, TAB, stored value.
std::string DisplayToken(const std::string &line)
{
    int position = 1;
    std::string token;
    qxNextToken(line, "\t", position, token);
    return token;
}
std::string ValueToken(const std::string &line)
{
    int position = 1;
    std::string token;
    qxNextToken(line, "\t", position, token);
    qxNextToken(line, "\t", position, token);
    return token;
}

// The character a key-down types for the first-letter search: letters and
// digits, the keypad's digits too.
char32_t KeyCharacter(uint16_t key)
{
    if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9)
        return U'0' + (key - VK_NUMPAD0);
    return AnsiUpperChar(static_cast<char32_t>(key));
}

bool StartsWithIgnoringCase(const std::string &text, const std::string &prefix)
{
    return AnsiUpperCase(text).starts_with(AnsiUpperCase(prefix));
}

class Raised
{
public:
    explicit Raised(bool &flag)
        : flag_(flag)
        , old_(std::exchange(flag, true))
    {
    }
    ~Raised() { flag_ = old_; }

private:
    bool &flag_;
    bool old_;
};

} // namespace

struct TqxDBComboBox::Impl {
    bool mapList = false;
    std::unique_ptr<TStringList> items = std::make_unique<TStringList>();
    int dropDownCount = 8;
    int itemHeight = 0;
    TqxPopupListbox *list = nullptr;
    bool droppedDown = false;
    bool firstKeyClears = false; // the first key after dropping down replaces the text
    bool allowClearKey = false;
    int storedIndex = -1;
    TComboBoxStyle style = csDropDown;
    int dropDownWidth = 0;
    bool autoDropDown = false;
    bool showMatchText = false;
    bool autoDropping = false;
    bool savedShowHint = false;
    int hook = 0;
    TCanvas *drawCanvas = nullptr; // during owner drawing
};

// ---- The drop-down list -------------------------------------------------------------------

TqxPopupListbox::TqxPopupListbox(TqxDBComboBox *combo)
    : TCustomListBox(combo)
    , combo_(combo)
{
    SetTabStop(false);
}

std::string TqxPopupListbox::SearchText() const
{
    return CodePointsToUtf8(searchText_);
}

void TqxPopupListbox::CreateParams(TCreateParams &params)
{
    TCustomListBox::CreateParams(params);
    params.Style |= WS_BORDER;
    params.ExStyle |= WS_EX_TOOLWINDOW;
    params.WndParent = GetDesktopWindow();
}

void TqxPopupListbox::DrawItem(int index, const TRect &rect, TOwnerDrawState state)
{
    if (index < 0 || index >= Items()->Count())
        return;
    if (combo_->OnDrawItem) {
        if (!state.Contains(odSelected)) {
            Canvas()->Brush()->SetColor(Color());
            Canvas()->Font()->SetColor(Font()->Color());
            Canvas()->FillRect(rect);
        }
        TCanvas *saved = std::exchange(combo_->b->drawCanvas, Canvas());
        try {
            combo_->OnDrawItem(combo_, index, rect, state);
        } catch (...) {
            combo_->b->drawCanvas = saved;
            throw;
        }
        combo_->b->drawCanvas = saved;
        return;
    }
    TCustomListBox::DrawItem(index, rect, state);
}

void TqxPopupListbox::KeyPress(char32_t &key)
{
    if (key == VK_BACK || key == VK_ESCAPE) {
        searchText_.clear();
        return;
    }
    if (key < 32) {
        TCustomListBox::KeyPress(key);
        return;
    }
    const uint32_t now = GetTickCount();
    size_t at;
    if (combo_->OwnerDraw()) {
        // Keys typed in a burst make one search, in the order typed; a pause
        // starts a new one. The combo's caret says nothing about this text.
        if (now - lastKeyTime_ > 1500)
            searchText_.clear();
        at = searchText_.size();
    } else {
        // The combo's text with the key typed over its selection.
        searchText_ = Utf8ToCodePoints(combo_->Text());
        const int length = static_cast<int>(searchText_.size());
        const int start = std::clamp(combo_->SelStart(), 0, length);
        const int selected = std::clamp(combo_->SelLength(), 0, length - start);
        searchText_.erase(static_cast<size_t>(start), static_cast<size_t>(selected));
        at = static_cast<size_t>(start);
    }
    lastKeyTime_ = now;
    if (searchText_.size() < 31)
        searchText_.insert(std::min(at, searchText_.size()), 1, key);
    // The first line that begins with the search text, ignoring case.
    const std::string search = CodePointsToUtf8(searchText_);
    int found = -1;
    for (int i = 0; i < Items()->Count() && found < 0; ++i)
        if (StartsWithIgnoringCase(Items()->Strings(i), search))
            found = i;
    if (found >= 0)
        SetItemIndex(found);
    else if (!combo_->ShowMatchText())
        SetItemIndex(-1);
    key = 0;
}

void TqxPopupListbox::KeyDown(uint16_t &key, TShiftState shift)
{
    TCustomListBox::KeyDown(key, shift);
    const int count = Items()->Count();
    if (count == 0)
        return;
    const int page = std::max(1, ClientHeight() / std::max(1, ItemHeight()) - 1);
    const int index = ItemIndex();
    int next;
    switch (key) {
    case VK_UP: next = index - 1; break;
    case VK_DOWN: next = index + 1; break;
    case VK_PRIOR: next = index - page; break;
    case VK_NEXT: next = index + page; break;
    case VK_HOME: next = 0; break;
    case VK_END: next = count - 1; break;
    default: return;
    }
    SetItemIndex(std::clamp(next, 0, count - 1));
    key = 0;
}

void TqxPopupListbox::WndProc(TMessage &message)
{
    TCustomListBox::WndProc(message);
    if (message.Msg != WM_LBUTTONUP || !combo_->IsDroppedDown())
        return;
    const TPoint at { LoWordSigned(message.LParam), HiWordSigned(message.LParam) };
    if (!PtInRect(ClientRect(), at))
        return;
    combo_->CloseUp(true);
    // A window manager may have made the clicked list the active window; the
    // focus belongs to the combo it dropped from.
    if (combo_->CanFocus() && !combo_->Focused())
        combo_->SetFocus();
}

// ---- The combo box ------------------------------------------------------------------------


TqxDBComboBox::TqxDBComboBox(TComponent *owner)
    : TqxDBCustomCombo(owner)
    , b(std::make_unique<Impl>())
{
    SetButtonStyle(cbsDownArrow);
}

TqxDBComboBox::~TqxDBComboBox()
{
    if (b->hook)
        RemoveMouseHook(b->hook);
}

TStrings *TqxDBComboBox::Items() const
{
    return b->items.get();
}
void TqxDBComboBox::SetItems(TStrings *items)
{
    b->items->Assign(*items);
    DataChange();
}
bool TqxDBComboBox::MapList() const
{
    return b->mapList;
}
void TqxDBComboBox::SetMapList(bool mapList)
{
    b->mapList = mapList;
}
bool TqxDBComboBox::Sorted() const
{
    return b->items->Sorted();
}
void TqxDBComboBox::SetSorted(bool sorted)
{
    b->items->SetSorted(sorted);
}

int TqxDBComboBox::ItemIndex() const
{
    const int index = b->list ? b->list->ItemIndex() : b->storedIndex;
    return index >= 0 && index < b->items->Count() ? index : -1;
}

void TqxDBComboBox::SetItemIndex(int index)
{
    if (index < -1 || index >= b->items->Count())
        index = -1;
    b->storedIndex = index;
    if (b->list)
        b->list->SetItemIndex(index);
    SetText(index >= 0 ? DisplayOf(index) : std::string());
}

std::string TqxDBComboBox::DisplayOf(int line) const
{
    const std::string text = b->items->Strings(line);
    return b->mapList ? DisplayToken(text) : text;
}

std::string TqxDBComboBox::ValueOfDisplay(const std::string &text) const
{
    if (!b->mapList)
        return text;
    for (int i = 0; i < b->items->Count(); ++i)
        if (DisplayToken(b->items->Strings(i)) == text)
            return ValueToken(b->items->Strings(i));
    return {};
}

std::string TqxDBComboBox::DisplayOfValue(const std::string &value) const
{
    if (!b->mapList)
        return value;
    for (int i = 0; i < b->items->Count(); ++i)
        if (ValueToken(b->items->Strings(i)) == value)
            return DisplayToken(b->items->Strings(i));
    return {};
}

TComboBoxStyle TqxDBComboBox::Style() const
{
    return b->style;
}
void TqxDBComboBox::SetStyle(TComboBoxStyle style)
{
    if (style == csSimple)
        SetShowButton(false);
    else if (b->style == csSimple)
        SetShowButton(true);
    b->style = style;
    Invalidate();
}
bool TqxDBComboBox::AllowClearKey() const
{
    return b->allowClearKey;
}
void TqxDBComboBox::SetAllowClearKey(bool allow)
{
    b->allowClearKey = allow;
}
bool TqxDBComboBox::AutoDropDown() const
{
    return b->autoDropDown;
}
void TqxDBComboBox::SetAutoDropDown(bool autoDropDown)
{
    b->autoDropDown = autoDropDown;
}
bool TqxDBComboBox::ShowMatchText() const
{
    return b->showMatchText;
}
void TqxDBComboBox::SetShowMatchText(bool show)
{
    b->showMatchText = show;
}
int TqxDBComboBox::DropDownCount() const
{
    return b->dropDownCount;
}
void TqxDBComboBox::SetDropDownCount(int count)
{
    b->dropDownCount = count;
}
int TqxDBComboBox::DropDownWidth() const
{
    return b->dropDownWidth;
}
void TqxDBComboBox::SetDropDownWidth(int width)
{
    b->dropDownWidth = width;
}
int TqxDBComboBox::ItemHeight() const
{
    return b->itemHeight;
}
void TqxDBComboBox::SetItemHeight(int height)
{
    b->itemHeight = height;
}
TqxPopupListbox *TqxDBComboBox::ListBox() const
{
    return b->list;
}
TCanvas *TqxDBComboBox::Canvas() const
{
    return b->drawCanvas ? b->drawCanvas : TqxDBCustomCombo::Canvas();
}
bool TqxDBComboBox::IsDroppedDown() const
{
    return b->droppedDown;
}
bool TqxDBComboBox::OwnerDraw() const
{
    return b->style == csOwnerDrawFixed || b->style == csOwnerDrawVariable;
}

bool TqxDBComboBox::CanTypeText() const
{
    if (OwnerDraw())
        return false;
    if (b->style == csDropDownList)
        return b->droppedDown || b->showMatchText;
    return true;
}

bool TqxDBComboBox::MouseEditsText() const
{
    return b->style == csDropDown || b->style == csSimple;
}

std::string TqxDBComboBox::GetValueText() const
{
    if (b->style == csDropDown && Text().empty())
        return {};
    return ValueOfDisplay(Text());
}

bool TqxDBComboBox::GetMappedDisplayText(const std::string &value, std::string &displayText) const
{
    if (!b->mapList)
        return false;
    displayText = DisplayOfValue(value);
    return true;
}

void TqxDBComboBox::DataChange()
{
    if (Busy())
        return;
    TField *field = Field();
    if (b->mapList) {
        std::string value;
        if (field)
            value = field->AsString();
        else if (ComponentState().Contains(csDesigning))
            value = Name();
        ShowValue(value);
        return;
    }
    ShowValue(field ? field->DisplayText() : std::string());
    if (field && OwnerDraw()) {
        b->storedIndex = b->items->IndexOf(field->AsString());
        Invalidate();
    }
    TqxDBCustomCombo::DataChange();
}

void TqxDBComboBox::ShowValue(const std::string &value)
{
    if (value == GetValueText() && !(value.empty() && b->mapList))
        return;
    if (b->style == csDropDown && !b->mapList) {
        SetText(value);
        b->storedIndex = b->items->IndexOf(value);
        return;
    }
    int index = -1;
    if (b->mapList) {
        for (int i = 0; i < b->items->Count() && index < 0; ++i)
            if (ValueToken(b->items->Strings(i)) == value)
                index = i;
    } else if (!value.empty()) {
        index = b->items->IndexOf(value);
    }
    SetItemIndex(index);
    if (index < 0)
        SetText("");
}

// Selects a line as the user's choice: the record goes into edit first.
bool TqxDBComboBox::SelectLine(int index)
{
    SetBusy(true);
    struct Lower {
        TqxDBComboBox *combo;
        ~Lower() { combo->SetBusy(false); }
    } lower { this };
    if (Field() && !EditCanModify())
        return false;
    SetItemIndex(index);
    SetModifiedState(true);
    return true;
}

void TqxDBComboBox::ClearValue()
{
    SetBusy(true);
    struct Lower {
        TqxDBComboBox *combo;
        ~Lower() { combo->SetBusy(false); }
    } lower { this };
    if (Field() && !EditCanModify())
        return;
    SetItemIndex(-1);
    SetModifiedState(true);
}

void TqxDBComboBox::DropDown()
{
    if (ReadOnly() || b->droppedDown || b->style == csSimple)
        return;
    Invalidate();
    if (!b->list) {
        b->list = new TqxPopupListbox(this);
        b->list->SetVisible(false);
        b->list->SetIntegralHeight(true);
        b->list->SetItemHeight(11);
        b->list->SetShowHint(false);
        b->list->SetParent(this);
    }
    TqxPopupListbox *list = b->list;
    auto fill = [&] {
        list->Items()->BeginUpdate();
        list->Items()->Clear();
        for (int i = 0; i < b->items->Count(); ++i)
            list->Items()->Add(DisplayOf(i));
        list->Items()->EndUpdate();
    };
    fill();
    if (OnDropDown) {
        OnDropDown(this);
        fill();
    }
    list->SetStyle(b->style == csOwnerDrawFixed ? lbOwnerDrawFixed
            : b->style == csOwnerDrawVariable    ? lbOwnerDrawVariable
                                                 : lbStandard);
    list->SetSorted(Sorted());
    list->SetColor(Color());
    list->SetFont(Font());
    if (b->itemHeight > 0)
        list->SetItemHeight(b->itemHeight);

    const int lines = std::min(list->Items()->Count(), b->dropDownCount);
    const int height = lines * list->ItemHeight() + 4;
    const int width = b->dropDownWidth != 0 ? b->dropDownWidth : Width();
    int index;
    if (OwnerDraw() && Field())
        index = b->items->IndexOf(Field()->AsString());
    else
        index = Text().empty() ? -1 : list->Items()->IndexOf(Text());

    const TPoint origin = ClientToScreen({ 0, 0 });
    const TPoint corner { origin.X - (Width() - ClientWidth()) / 2, origin.Y - (Height() - ClientHeight()) / 2 };
    int y = corner.Y + Height() - 1;
    if (y + height > Screen->Height())
        y = corner.Y - height;
    int x = corner.X;
    if (x + width >= Screen->Width())
        x = corner.X + Width() - width - 1;
    list->SetBounds(x, y, width, height);
    list->SetVisible(true);
    list->SetItemIndex(index);
    list->BringToFront();

    b->droppedDown = true;
    b->firstKeyClears = true;
    if (CanFocus())
        SetFocus();
    if (!b->autoDropping && CanTypeText())
        SelectAll();
    b->savedShowHint = ShowHint();
    SetShowHint(false);
    Invalidate();
    if (!b->hook)
        b->hook = SetMouseHook([this](uint32_t msg, TPoint at) {
            if (!b->droppedDown || (msg != WM_LBUTTONDOWN && msg != WM_RBUTTONDOWN && msg != WM_MBUTTONDOWN))
                return;
            const TPoint origin = ClientToScreen({ 0, 0 });
            const TRect comboRect = Rect(origin.X, origin.Y, origin.X + ClientWidth(), origin.Y + ClientHeight());
            if (!PtInRect(b->list->BoundsRect(), at) && !PtInRect(comboRect, at))
                PostMessage(Handle(), CM_CANCELMODE, 0, 0);
        });
}

void TqxDBComboBox::CloseUp(bool accept)
{
    if (!b->droppedDown)
        return;
    TqxPopupListbox *list = b->list;
    const int listIndex = list->ItemIndex();
    std::string newText;
    if (accept && listIndex >= 0)
        newText = list->Items()->Strings(listIndex);
    else if (b->style == csDropDown)
        newText = Text();
    list->SetVisible(false);
    b->droppedDown = false;
    if (!accept)
        list->SetItemIndex(b->storedIndex); // the line moved to is not chosen
    if (b->hook)
        RemoveMouseHook(std::exchange(b->hook, 0));
    if (accept) {
        SetBusy(true);
        struct Lower {
            TqxDBComboBox *combo;
            ~Lower() { combo->SetBusy(false); }
        } lower { this };
        if (newText != Text() && EditCanModify()) {
            if (!newText.empty() || b->style == csDropDownList || b->mapList)
                SetText(newText);
            b->storedIndex = listIndex;
            SetModifiedState(true);
        }
    }
    Invalidate();
    if (CanTypeText())
        SelectAll();
    OnCloseUp(this, accept);
    SetShowHint(b->savedShowHint);
}

void TqxDBComboBox::WndProc(TMessage &message)
{
    const bool key = message.Msg == WM_KEYDOWN || message.Msg == WM_CHAR || message.Msg == WM_SYSKEYDOWN;
    if (!key || KeyboardShiftState().Contains(ssShift) || !b->droppedDown) {
        TqxDBCustomCombo::WndProc(message);
        return;
    }
    const auto code = static_cast<uint16_t>(message.WParam);
    const bool keyDown = message.Msg != WM_CHAR;
    const bool editing = keyDown && (code == VK_HOME || code == VK_END || code == VK_LEFT || code == VK_RIGHT);
    const bool closing = keyDown
        && (code == VK_RETURN || code == VK_ESCAPE || code == VK_TAB
            || ((code == VK_UP || code == VK_DOWN) && KeyboardShiftState().Contains(ssAlt)));
    if (closing || editing) {
        TqxDBCustomCombo::WndProc(message);
        return;
    }
    // The list hears the key first; the arrows move only it.
    std::weak_ptr<int> alive = AliveToken();
    b->list->Perform(message.Msg, message.WParam, message.LParam);
    if (alive.expired())
        return;
    if (code == VK_UP || code == VK_DOWN) {
        message.Result = 1;
        return;
    }
    TqxDBCustomCombo::WndProc(message);
}

void TqxDBComboBox::Dispatch(TMessage &message)
{
    switch (message.Msg) {
    case WM_KILLFOCUS: {
        TqxDBCustomCombo::Dispatch(message);
        // Showing the list may make its window the active one; that keeps it open.
        const bool toList = b->list && b->list->HandleAllocated()
            && message.WParam == reinterpret_cast<WPARAM>(b->list->Handle());
        if (!toList)
            CloseUp(true);
        return;
    }
    case CM_CANCELMODE: {
        auto *sender = reinterpret_cast<TObject *>(message.LParam);
        if (sender != this && sender != b->list && sender != Button())
            CloseUp(true);
        return;
    }
    default:
        TqxDBCustomCombo::Dispatch(message);
    }
}

void TqxDBComboBox::DrawText(TCanvas *canvas, const TRect &rect, const std::string &text, uint32_t flags)
{
    if (!OwnerDraw() || !OnDrawItem) {
        TqxDBCustomCombo::DrawText(canvas, rect, text, flags);
        return;
    }
    if (b->droppedDown) {
        canvas->Brush()->SetColor(Color());
        canvas->Font()->Assign(Font());
    }
    canvas->FillRect(rect);
    const int index = ItemIndex();
    if (index < 0)
        return;
    TCanvas *saved = std::exchange(b->drawCanvas, canvas);
    try {
        OnDrawItem(this, index, rect, EditFocused() ? TOwnerDrawState { odFocused } : TOwnerDrawState {});
    } catch (...) {
        b->drawCanvas = saved;
        throw;
    }
    b->drawCanvas = saved;
}

void TqxDBComboBox::KeyDown(uint16_t &key, TShiftState shift)
{
    const bool alt = shift.Contains(ssAlt);
    if (b->autoDropDown && !b->droppedDown && qxIsCharKey(key) && key != VK_BACK && key != VK_DELETE && !alt) {
        Raised autoDrop(b->autoDropping);
        DropDown();
    }
    if (b->showMatchText && b->style == csDropDownList && (key == VK_DELETE || key == VK_BACK)) {
        const int length = static_cast<int>(Utf8Length(Text()));
        if (b->allowClearKey && length > 0 && SelStart() == 0 && SelLength() == length) {
            ClearValue();
        } else if (SelStart() > 0) {
            // The matched part shrinks by one character.
            const int from = SelStart() - 1;
            SetSelStart(from);
            SetSelLength(length - from);
        }
        key = 0;
        return;
    }
    const bool inGrid = qxwidgets::InheritsFromClassNamed(Parent(), "TqxCustomDBGrid");
    if (!b->droppedDown) {
        if ((inGrid || (key != VK_UP && key != VK_DOWN)) && b->style == csDropDownList && !b->showMatchText
            && qxIsCharKey(key) && !alt) {
            const char32_t wanted = KeyCharacter(key);
            const int count = b->items->Count();
            const int current = ItemIndex();
            for (int step = 1; step <= count; ++step) {
                const int line = (current + step + count) % count;
                const std::u32string display = Utf8ToCodePoints(DisplayOf(line));
                if (!display.empty() && AnsiUpperChar(display.front()) == wanted) {
                    if (SelectLine(line))
                        SelectAll();
                    break;
                }
            }
        }
        if (!inGrid && !alt && (key == VK_DOWN || key == VK_UP)) {
            const int next = ItemIndex() + (key == VK_DOWN ? 1 : -1);
            if (next >= 0 && next < b->items->Count())
                SelectLine(next);
            key = 0;
            return;
        }
    } else if (b->firstKeyClears && qxIsCharKey(key) && !(b->style == csDropDown && !b->autoDropDown)) {
        b->firstKeyClears = false;
        if (Field())
            DataLink()->Edit();
        SetText("");
    }
    const uint16_t typed = key;
    TqxDBCustomCombo::KeyDown(key, shift);
    // A text that cannot be typed keeps its key-down from typing, but while
    // the list is down the character must still come: the list searches by it.
    if (key == 0 && b->droppedDown && !CanTypeText() && typed != VK_BACK && typed != VK_DELETE && qxIsCharKey(typed))
        key = typed;
}

void TqxDBComboBox::KeyPress(char32_t &key)
{
    if (key == VK_BACK && b->style == csDropDownList && b->showMatchText) {
        key = 0;
        return;
    }
    if (b->showMatchText && key >= 32) {
        std::u32string text = Utf8ToCodePoints(Text());
        const int length = static_cast<int>(text.size());
        const int start = std::clamp(SelStart(), 0, length);
        const int selected = std::clamp(SelLength(), 0, length - start);
        std::u32string proposed = text;
        proposed.replace(static_cast<size_t>(start), static_cast<size_t>(selected), 1, key);
        if (proposed != text && start >= static_cast<int>(proposed.size()) - 1) {
            const std::string typed = CodePointsToUtf8(proposed);
            const int count = b->items->Count();
            const int first = std::max(ItemIndex(), 0);
            for (int step = 0; step < count; ++step) {
                const int line = (first + step) % count;
                const std::string display = DisplayOf(line);
                if (!StartsWithIgnoringCase(display, typed))
                    continue;
                if (SelectLine(line)) {
                    SetSelStart(static_cast<int>(proposed.size()));
                    SetSelLength(static_cast<int>(Utf8Length(display)) - static_cast<int>(proposed.size()));
                }
                key = 0;
                return;
            }
            if (b->style == csDropDownList || b->droppedDown) {
                key = 0;
                return;
            }
        }
    }
    if (b->mapList) {
        const bool fill = AutoFillDate();
        SetAutoFillDate(false);
        TqxDBCustomCombo::KeyPress(key);
        SetAutoFillDate(fill);
    } else {
        TqxDBCustomCombo::KeyPress(key);
    }
    if (key == VK_RETURN)
        key = 0;
}

void TqxDBComboBox::KeyUp(uint16_t &key, TShiftState shift)
{
    TqxDBCustomCombo::KeyUp(key, shift);
    if (!b->allowClearKey || (key != VK_DELETE && key != VK_BACK))
        return;
    if (b->droppedDown) {
        if (Text().empty())
            SetItemIndex(-1);
    } else if (b->style == csDropDownList && !b->showMatchText) {
        ClearValue();
    }
}
