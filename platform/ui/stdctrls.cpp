#include "platform/ui/stdctrls.h"

#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics_p.h"
#include "platform/ui/itemstrings_p.h"
#include "platform/ui/menus.h"
#include "platform/ui/qtbridge_p.h"

#include <QAbstractListModel>
#include <QComboBox>
#include <QLineEdit>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTextBlock>

#include <algorithm>
#include <cstring>

const TMetaClass TCustomLabel::Class { "TCustomLabel", &TGraphicControl::Class };
const TMetaClass TLabel::Class { "TLabel", &TCustomLabel::Class };
const TMetaClass TStaticText::Class { "TStaticText", &TWinControl::Class };
const TMetaClass TCustomGroupBox::Class { "TCustomGroupBox", &TWinControl::Class };
const TMetaClass TGroupBox::Class { "TGroupBox", &TCustomGroupBox::Class };
const TMetaClass TButton::Class { "TButton", &TWinControl::Class };
const TMetaClass TCustomEdit::Class { "TCustomEdit", &TWinControl::Class };
const TMetaClass TEdit::Class { "TEdit", &TCustomEdit::Class };
const TMetaClass TCustomMemo::Class { "TCustomMemo", &TCustomEdit::Class };
const TMetaClass TMemo::Class { "TMemo", &TCustomMemo::Class };
const TMetaClass TCustomComboBox::Class { "TCustomComboBox", &TWinControl::Class };
const TMetaClass TComboBox::Class { "TComboBox", &TCustomComboBox::Class };
const TMetaClass TCustomListBox::Class { "TCustomListBox", &TWinControl::Class };
const TMetaClass TListBox::Class { "TListBox", &TCustomListBox::Class };

// clang-format off
namespace {

const TEnumNames AlignmentNames = {"taLeftJustify", "taRightJustify", "taCenter"};
const TEnumNames LayoutNames = {"tlTop", "tlCenter", "tlBottom"};
const TEnumNames CharCaseNames = {"ecNormal", "ecUpperCase", "ecLowerCase"};
const TEnumNames BorderStyleNames = {"bsNone", "bsSingle"};
const TEnumNames StaticBorderNames = {"sbsNone", "sbsSingle", "sbsSunken"};
const TEnumNames ScrollStyleNames = {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"};
const TEnumNames ListBoxStyleNames = {"lbStandard", "lbOwnerDrawFixed", "lbOwnerDrawVariable"};
const TEnumNames ComboBoxStyleNames = {"csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed", "csOwnerDrawVariable"};
const TIdentMap ModalResultIdents = {{"mrNone", mrNone}, {"mrOk", mrOk}, {"mrCancel", mrCancel},
                                     {"mrAbort", mrAbort}, {"mrRetry", mrRetry}, {"mrIgnore", mrIgnore},
                                     {"mrYes", mrYes}, {"mrNo", mrNo}, {"mrAll", mrAll},
                                     {"mrNoToAll", mrNoToAll}, {"mrYesToAll", mrYesToAll}};

using PL = TPublish<TCustomLabel>;
const TClassRegistrar<TCustomLabel> customLabelRegistrar({});
const TClassRegistrar<TLabel> labelRegistrar({
    //           name            getter                        setter                          default
    PL::String  ("Caption",      &TCustomLabel::Caption,       &TCustomLabel::SetCaption,      ""),
    PL::Enum    ("Alignment",    AlignmentNames,
                                 &TCustomLabel::Alignment,     &TCustomLabel::SetAlignment,    taLeftJustify),
    PL::Boolean ("AutoSize",     &TCustomLabel::AutoSize,      &TCustomLabel::SetAutoSize,     true),
    PL::Enum    ("Layout",       LayoutNames,
                                 &TCustomLabel::Layout,        &TCustomLabel::SetLayout,       tlTop),
    PL::Boolean ("Transparent",  &TCustomLabel::Transparent,   &TCustomLabel::SetTransparent,  false),
    PL::Boolean ("WordWrap",     &TCustomLabel::WordWrap,      &TCustomLabel::SetWordWrap,     false),
    PL::Boolean ("ShowAccelChar", &TCustomLabel::ShowAccelChar, &TCustomLabel::SetShowAccelChar, true),
    PL::Component("FocusControl", &TCustomLabel::FocusControl, &TCustomLabel::SetFocusControl),
});

using PS = TPublish<TStaticText>;
const TClassRegistrar<TStaticText> staticTextRegistrar({
    PS::String  ("Caption",      &TStaticText::Caption,        &TStaticText::SetCaption,       ""),
    PS::Enum    ("Alignment",    AlignmentNames,
                                 &TStaticText::Alignment,      &TStaticText::SetAlignment,     taLeftJustify),
    PS::Boolean ("AutoSize",     &TStaticText::AutoSize,       &TStaticText::SetAutoSize,      true),
    PS::Enum    ("BorderStyle",  StaticBorderNames,
                                 &TStaticText::BorderStyle,    &TStaticText::SetBorderStyle,   sbsNone),
    PS::Boolean ("ShowAccelChar", &TStaticText::ShowAccelChar, &TStaticText::SetShowAccelChar, true),
});

using PG = TPublish<TGroupBox>;
const TClassRegistrar<TGroupBox> groupBoxRegistrar({
    PG::String  ("Caption",      &TGroupBox::Caption,          &TGroupBox::SetCaption,         ""),
});

using PB = TPublish<TButton>;
const TClassRegistrar<TButton> buttonRegistrar({
    PB::String  ("Caption",      &TButton::Caption,            &TButton::SetCaption,           ""),
    PB::Boolean ("Default",      &TButton::Default,            &TButton::SetDefault,           false),
    PB::Boolean ("Cancel",       &TButton::Cancel,             &TButton::SetCancel,            false),
    PB::Integer ("ModalResult",  &TButton::ModalResult,        &TButton::SetModalResult,       0).WithIdents(ModalResultIdents),
});

using PE = TPublish<TCustomEdit>;
const TClassRegistrar<TCustomEdit> customEditRegistrar({
    PE::Boolean ("AutoSelect",   &TCustomEdit::AutoSelect,     &TCustomEdit::SetAutoSelect,    true),
    PE::Boolean ("AutoSize",     &TCustomEdit::AutoSize,       &TCustomEdit::SetAutoSize,      true),
    PE::Enum    ("BorderStyle",  BorderStyleNames,
                                 &TCustomEdit::BorderStyle,    &TCustomEdit::SetBorderStyle,   bsSingle),
    PE::Enum    ("CharCase",     CharCaseNames,
                                 &TCustomEdit::CharCase,       &TCustomEdit::SetCharCase,      ecNormal),
    PE::Boolean ("HideSelection", &TCustomEdit::HideSelection, &TCustomEdit::SetHideSelection, true),
    PE::Integer ("MaxLength",    &TCustomEdit::MaxLength,      &TCustomEdit::SetMaxLength,     0),
    PE::String  ("PasswordChar", &TCustomEdit::PasswordChar,   &TCustomEdit::SetPasswordChar,  ""),
    PE::Boolean ("ReadOnly",     &TCustomEdit::ReadOnly,       &TCustomEdit::SetReadOnly,      false),
    PE::Event   ("OnChange",     &TCustomEdit::OnChange),
});
using PT = TPublish<TEdit>;
const TClassRegistrar<TEdit> editRegistrar({
    PT::String  ("Text",         &TEdit::Text,                 &TEdit::SetText,                ""),
});

using PM = TPublish<TCustomMemo>;
const TClassRegistrar<TCustomMemo> customMemoRegistrar({});
const TClassRegistrar<TMemo> memoRegistrar({
    PM::Enum    ("Alignment",    AlignmentNames,
                                 &TCustomMemo::Alignment,      &TCustomMemo::SetAlignment,     taLeftJustify),
    PM::Strings ("Lines",        &TCustomMemo::Lines),
    PM::Enum    ("ScrollBars",   ScrollStyleNames,
                                 &TCustomMemo::ScrollBars,     &TCustomMemo::SetScrollBars,    ssNone),
    PM::Boolean ("WantReturns",  &TCustomMemo::WantReturns,    &TCustomMemo::SetWantReturns,   true),
    PM::Boolean ("WantTabs",     &TCustomMemo::WantTabs,       &TCustomMemo::SetWantTabs,      false),
    PM::Boolean ("WordWrap",     &TCustomMemo::WordWrap,       &TCustomMemo::SetWordWrap,      true),
});

using PC = TPublish<TCustomComboBox>;
const TClassRegistrar<TCustomComboBox> customComboBoxRegistrar({});
const TClassRegistrar<TComboBox> comboBoxRegistrar({
    PC::Integer ("DropDownCount", &TCustomComboBox::DropDownCount, &TCustomComboBox::SetDropDownCount, 8),
    PC::Strings ("Items",        &TCustomComboBox::Items),
    PC::Integer ("ItemIndex",    &TCustomComboBox::ItemIndex,   &TCustomComboBox::SetItemIndex,   -1),
    PC::Enum    ("Style",        ComboBoxStyleNames,
                                 &TCustomComboBox::Style,       &TCustomComboBox::SetStyle,       csDropDown),
    PC::Event   ("OnChange",     &TCustomComboBox::OnChange),
    PC::Event   ("OnDropDown",   &TCustomComboBox::OnDropDown),
});

using PX = TPublish<TCustomListBox>;
const TClassRegistrar<TCustomListBox> customListBoxRegistrar({});
const TClassRegistrar<TListBox> listBoxRegistrar({
    PX::Enum    ("BorderStyle",  BorderStyleNames,
                                 &TCustomListBox::BorderStyle, &TCustomListBox::SetBorderStyle, bsSingle),
    PX::Boolean ("IntegralHeight", &TCustomListBox::IntegralHeight, &TCustomListBox::SetIntegralHeight, false),
    PX::Integer ("ItemHeight",   &TCustomListBox::ItemHeight,  &TCustomListBox::SetItemHeight,  16),
    PX::Strings ("Items",        &TCustomListBox::Items),
    PX::Boolean ("MultiSelect",  &TCustomListBox::MultiSelect, &TCustomListBox::SetMultiSelect, false),
    PX::Boolean ("Sorted",       &TCustomListBox::Sorted,      &TCustomListBox::SetSorted,      false),
    PX::Enum    ("Style",        ListBoxStyleNames,
                                 &TCustomListBox::Style,       &TCustomListBox::SetStyle,       lbStandard),
    PX::Event   ("OnDrawItem",   &TCustomListBox::OnDrawItem),
});

// Positions in a QString (UTF-16 units) and in characters (code points).
int CharsBefore(const QString &text, int units) { return static_cast<int>(text.left(units).toUcs4().size()); }
int UnitsBefore(const QString &text, int chars)
{
    int units = 0;
    for (int i = 0; i < chars && units < text.size(); ++i)
        units += (text.at(units).isHighSurrogate() && units + 1 < text.size()) ? 2 : 1;
    return units;
}

// A single border is sunken on 3D controls and a plain line on flat ones.
void AddBorderStyle(TCreateParams &params, TBorderStyle border, bool ctl3D)
{
    if (border != bsSingle)
        return;
    if (ctl3D)
        params.ExStyle |= WS_EX_CLIENTEDGE;
    else
        params.Style |= WS_BORDER;
}

QFrame::Shape FrameShapeOf(const TCreateParams &params)
{
    if (params.ExStyle & WS_EX_CLIENTEDGE)
        return QFrame::StyledPanel;
    return params.Style & WS_BORDER ? QFrame::Box : QFrame::NoFrame;
}

Qt::Alignment EditAlignmentOf(uint32_t style, uint32_t exStyle)
{
    if ((style & ES_CENTER) == ES_CENTER && !(style & ES_RIGHT))
        return Qt::AlignHCenter;
    if ((style & ES_RIGHT) || (exStyle & WS_EX_RIGHT))
        return Qt::AlignRight;
    return Qt::AlignLeft;
}

} // namespace
// clang-format on

// ---- Labels ---------------------------------------------------------------------------

struct TCustomLabel::Impl {
    TAlignment alignment = taLeftJustify;
    bool autoSize = true;
    TTextLayout layout = tlTop;
    bool transparent = false;
    bool wordWrap = false;
    bool showAccelChar = true;
    TWinControl *focusControl = nullptr;
};

TCustomLabel::TCustomLabel(TComponent *owner)
    : TGraphicControl(owner)
    , l(std::make_unique<Impl>())
{
    SetBounds(0, 0, 65, 17);
    SetParentColor(true);
}

TCustomLabel::~TCustomLabel() = default;

TAlignment TCustomLabel::Alignment() const
{
    return l->alignment;
}
void TCustomLabel::SetAlignment(TAlignment alignment)
{
    l->alignment = alignment;
    Invalidate();
}
bool TCustomLabel::AutoSize() const
{
    return l->autoSize;
}
void TCustomLabel::SetAutoSize(bool autoSize)
{
    l->autoSize = autoSize;
    AdjustBounds();
}
TTextLayout TCustomLabel::Layout() const
{
    return l->layout;
}
void TCustomLabel::SetLayout(TTextLayout layout)
{
    l->layout = layout;
    Invalidate();
}
bool TCustomLabel::Transparent() const
{
    return l->transparent;
}
void TCustomLabel::SetTransparent(bool transparent)
{
    l->transparent = transparent;
    Invalidate();
}
bool TCustomLabel::WordWrap() const
{
    return l->wordWrap;
}
void TCustomLabel::SetWordWrap(bool wordWrap)
{
    l->wordWrap = wordWrap;
    AdjustBounds();
    Invalidate();
}
bool TCustomLabel::ShowAccelChar() const
{
    return l->showAccelChar;
}
void TCustomLabel::SetShowAccelChar(bool show)
{
    l->showAccelChar = show;
    AdjustBounds();
    Invalidate();
}
TWinControl *TCustomLabel::FocusControl() const
{
    return l->focusControl;
}
void TCustomLabel::SetFocusControl(TWinControl *control)
{
    l->focusControl = control;
    if (control)
        control->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent *component, TOperation operation)
{
    TGraphicControl::Notification(component, operation);
    if (operation == opRemove && component == l->focusControl)
        l->focusControl = nullptr;
}

uint32_t TCustomLabel::DrawTextFormat() const
{
    uint32_t format = DT_EXPANDTABS;
    format |= l->alignment == taRightJustify ? DT_RIGHT : l->alignment == taCenter ? DT_CENTER : DT_LEFT;
    if (l->wordWrap)
        format |= DT_WORDBREAK;
    if (!l->showAccelChar)
        format |= DT_NOPREFIX;
    return format;
}

void TCustomLabel::Paint()
{
    TCanvas *canvas = Canvas();
    if (!l->transparent) {
        canvas->Brush()->SetColor(Color());
        canvas->FillRect(ClientRect());
    }
    if (!Enabled())
        canvas->Font()->SetColor(clGrayText);
    TRect rect = ClientRect();
    uint32_t format = DrawTextFormat();
    if (l->layout != tlTop) {
        TRect measure = rect;
        DrawText(canvas, Caption(), measure, format | DT_CALCRECT);
        int offset = rect.Height() - measure.Height();
        rect.Top += l->layout == tlCenter ? offset / 2 : offset;
    }
    DrawText(canvas, Caption(), rect, format);
}

void TCustomLabel::AdjustBounds()
{
    if (!l->autoSize || ComponentState().Contains(csLoading))
        return;
    TCanvas *canvas = Canvas();
    canvas->SetFont(Font());
    TRect rect = Bounds(0, 0, l->wordWrap ? Width() : 0, 0);
    std::string text = Caption().empty() ? " " : Caption();
    DrawText(canvas, text, rect, DrawTextFormat() | DT_CALCRECT);
    int width = l->wordWrap ? Width() : rect.Width();
    int left = Left();
    if (l->alignment == taRightJustify && !l->wordWrap)
        left += Width() - width;
    SetBounds(left, Top(), width, rect.Height());
}

void TCustomLabel::CMTextChanged(TMessage &message)
{
    TGraphicControl::CMTextChanged(message);
    AdjustBounds();
}

void TCustomLabel::CMFontChanged(TMessage &message)
{
    TGraphicControl::CMFontChanged(message);
    AdjustBounds();
}

void TCustomLabel::Loaded()
{
    TGraphicControl::Loaded();
    AdjustBounds();
}

TLabel::TLabel(TComponent *owner)
    : TCustomLabel(owner)
{
}

TCustomGroupBox::TCustomGroupBox(TComponent *owner)
    : TWinControl(owner)
{
    SetBounds(0, 0, 185, 105);
}

void TCustomGroupBox::CreateWindowHandle(const TCreateParams &params)
{
    auto *group = new TBridge<QGroupBox>(this, TQtBoundary::ParentWidgetFor(this));
    group->setTitle(QString::fromStdString(params.Caption));
    TQtBoundary::SetWidget(this, group);
}

// The controls inside keep clear of the frame and of the caption on its top edge.
void TCustomGroupBox::AdjustClientRect(TRect &rect) const
{
    TCanvas canvas;
    canvas.Font()->Assign(Font());
    int captionHeight = canvas.TextHeight("0");
    InflateRect(rect, -2, -2);
    rect.Top += captionHeight - 2;
}

TGroupBox::TGroupBox(TComponent *owner)
    : TCustomGroupBox(owner)
{
}

TStaticText::TStaticText(TComponent *owner)
    : TWinControl(owner)
{
    SetBounds(0, 0, 65, 17);
    SetParentColor(true);
}

void TStaticText::SetAlignment(TAlignment alignment)
{
    alignment_ = alignment;
    ApplyLook();
}
void TStaticText::SetAutoSize(bool autoSize)
{
    autoSize_ = autoSize;
    AdjustBounds();
}
void TStaticText::SetBorderStyle(TStaticBorderStyle style)
{
    borderStyle_ = style;
    ApplyLook();
}
void TStaticText::SetShowAccelChar(bool show)
{
    showAccelChar_ = show;
    ApplyLook();
}

void TStaticText::CreateWindowHandle(const TCreateParams &params)
{
    auto *label = new TBridge<QLabel>(this, TQtBoundary::ParentWidgetFor(this));
    label->setText(QString::fromStdString(params.Caption));
    TQtBoundary::SetWidget(this, label);
    ApplyLook();
}

void TStaticText::ApplyLook()
{
    auto *label = qobject_cast<QLabel *>(TQtBoundary::Widget(this));
    if (!label)
        return;
    label->setAlignment((alignment_ == taRightJustify    ? Qt::AlignRight
                                : alignment_ == taCenter ? Qt::AlignHCenter
                                                         : Qt::AlignLeft)
        | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setFrameStyle(borderStyle_ == sbsNone ? QFrame::NoFrame
            : borderStyle_ == sbsSingle          ? (QFrame::Box | QFrame::Plain)
                                                 : (QFrame::Panel | QFrame::Sunken));
    QString text = QString::fromStdString(Caption());
    if (showAccelChar_)
        text = QString::fromStdString(StripHotkey(Caption()));
    label->setText(text);
}

void TStaticText::AdjustBounds()
{
    if (!autoSize_ || ComponentState().Contains(csLoading))
        return;
    QFontMetrics metrics(TFontAccess::ToQFont(*Font()));
    QString text = QString::fromStdString(showAccelChar_ ? StripHotkey(Caption()) : Caption());
    int frame = borderStyle_ == sbsNone ? 0 : 2;
    SetBounds(Left(), Top(), metrics.horizontalAdvance(text) + 2 * frame, metrics.height() + 2 * frame);
}

void TStaticText::CMTextChanged(TMessage &message)
{
    TWinControl::CMTextChanged(message);
    ApplyLook();
    AdjustBounds();
}

void TStaticText::CMFontChanged(TMessage &message)
{
    TWinControl::CMFontChanged(message);
    AdjustBounds();
}

void TStaticText::Loaded()
{
    TWinControl::Loaded();
    AdjustBounds();
}

// ---- Buttons -------------------------------------------------------------------------------

TButton::TButton(TComponent *owner)
    : TWinControl(owner)
{
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
    SetColor(clBtnFace);
}

void TButton::SetDefault(bool value)
{
    default_ = value;
    if (auto *button = qobject_cast<QPushButton *>(TQtBoundary::Widget(this)))
        button->setDefault(value);
}

void TButton::Click()
{
    if (modalResult_ != mrNone)
        if (TCustomForm *form = GetParentForm(this))
            form->SetModalResult(modalResult_);
    TWinControl::Click();
}

void TButton::CreateWindowHandle(const TCreateParams &params)
{
    auto *button = new TBridge<QPushButton>(this, TQtBoundary::ParentWidgetFor(this));
    button->setText(QString::fromStdString(params.Caption));
    button->setAutoDefault(false);
    button->setDefault(default_);
    TQtBoundary::SetWidget(this, button);
    ConnectGuarded(*button, button, &QPushButton::clicked, [this] { Click(); });
}

void TButton::Dispatch(TMessage &message)
{
    if (message.Msg == CM_DIALOGKEY) {
        TCustomForm *form = GetParentForm(this);
        bool focusedButton = form && dynamic_cast<TButton *>(form->ActiveControl());
        bool mine = (message.WParam == VK_RETURN
                        && (Focused() || form->ActiveControl() == this || (default_ && !focusedButton)))
            || (message.WParam == VK_ESCAPE && cancel_);
        if (mine && CanFocus()) {
            Click();
            message.Result = 1;
        }
        return;
    }
    if (message.Msg == BM_CLICK) {
        Click();
        return;
    }
    TWinControl::Dispatch(message);
}

bool TButton::WantsKey(uint16_t) const
{
    return false;
}

// ---- Edits ----------------------------------------------------------------------------------

struct TCustomEdit::EditImpl {
    int maxLength = 0;
    bool readOnly = false;
    bool modified = false;
    std::string passwordChar;
    TEditCharCase charCase = ecNormal;
    bool autoSelect = true;
    bool autoSize = true;
    TBorderStyle borderStyle = bsSingle;
    bool hideSelection = true;
    TAlignment alignment = taLeftJustify;
    bool creating = false; // the first text of a new window is no change
    // Multi-line edits (memos)
    bool multiLine = false;
    TScrollStyle scrollBars = ssNone;
    bool wantReturns = true;
    bool wantTabs = false;
    bool wordWrap = true;
    std::function<void()> nativeChanged; // a memo refreshes its lines
};

TCustomEdit::TCustomEdit(TComponent *owner)
    : TWinControl(owner)
    , e(std::make_unique<EditImpl>())
{
    SetBounds(0, 0, 121, 25);
    SetTabStop(true);
    SetColor(clWindow);
}

TCustomEdit::~TCustomEdit() = default;

namespace
{
QLineEdit *LineOf(const TControl *control)
{
    return qobject_cast<QLineEdit *>(TQtBoundary::Widget(control));
}
QPlainTextEdit *PlainOf(const TControl *control)
{
    return qobject_cast<QPlainTextEdit *>(TQtBoundary::Widget(control));
}
// The selection of a native edit of another kind, as it answers EM_GETSEL.
std::pair<uint32_t, uint32_t> SelectionByMessage(const TCustomEdit *edit)
{
    uint32_t start = 0, end = 0;
    const_cast<TCustomEdit *>(edit)->Perform(
        EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return { start, end };
}
} // namespace

bool TCustomEdit::IsMultiLine() const
{
    return e->multiLine;
}

std::string TCustomEdit::GetText() const
{
    if (QLineEdit *line = LineOf(this))
        return line->text().toStdString();
    if (QPlainTextEdit *plain = PlainOf(this))
        return plain->toPlainText().replace("\n", "\r\n").toStdString();
    return TWinControl::GetText();
}

void TCustomEdit::SetTextValue(const std::string &text)
{
    TWinControl::SetTextValue(text);
    if (QLineEdit *line = LineOf(this)) {
        line->setText(QString::fromStdString(text));
    } else if (QPlainTextEdit *plain = PlainOf(this)) {
        QString qtext = QString::fromStdString(text);
        qtext.replace("\r\n", "\n").replace('\r', '\n');
        plain->setPlainText(qtext);
    }
}

void TCustomEdit::CMTextChanged(TMessage &message)
{
    TWinControl::CMTextChanged(message);
    // Without a window no native change notice comes.
    if (!HandleAllocated())
        Change();
}

void TCustomEdit::Change()
{
    if (e->nativeChanged)
        e->nativeChanged();
    OnChange(this);
}

int TCustomEdit::SelStart() const
{
    const_cast<TCustomEdit *>(this)->HandleNeeded();
    if (QLineEdit *line = LineOf(this)) {
        int start = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
        return CharsBefore(line->text(), start);
    }
    if (QPlainTextEdit *plain = PlainOf(this))
        return plain->textCursor().selectionStart();
    return static_cast<int>(SelectionByMessage(this).first);
}

void TCustomEdit::SetSelStart(int start)
{
    HandleNeeded();
    if (QLineEdit *line = LineOf(this)) {
        line->deselect();
        line->setCursorPosition(UnitsBefore(line->text(), std::max(0, start)));
    } else if (QPlainTextEdit *plain = PlainOf(this)) {
        QTextCursor cursor = plain->textCursor();
        cursor.setPosition(std::clamp(start, 0, static_cast<int>(plain->document()->characterCount()) - 1));
        plain->setTextCursor(cursor);
    } else {
        Perform(EM_SETSEL, static_cast<WPARAM>(std::max(0, start)), std::max(0, start));
    }
}

int TCustomEdit::SelLength() const
{
    const_cast<TCustomEdit *>(this)->HandleNeeded();
    if (QLineEdit *line = LineOf(this))
        return static_cast<int>(line->selectedText().toUcs4().size());
    if (QPlainTextEdit *plain = PlainOf(this))
        return plain->textCursor().selectionEnd() - plain->textCursor().selectionStart();
    auto [start, end] = SelectionByMessage(this);
    return static_cast<int>(end - start);
}

void TCustomEdit::SetSelLength(int length)
{
    HandleNeeded();
    int start = SelStart();
    if (QLineEdit *line = LineOf(this)) {
        int from = UnitsBefore(line->text(), start);
        int to = UnitsBefore(line->text(), start + std::max(0, length));
        line->setSelection(from, to - from);
    } else if (QPlainTextEdit *plain = PlainOf(this)) {
        QTextCursor cursor = plain->textCursor();
        int end = std::clamp(start + length, 0, static_cast<int>(plain->document()->characterCount()) - 1);
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        plain->setTextCursor(cursor);
    } else {
        Perform(EM_SETSEL, static_cast<WPARAM>(start), start + std::max(0, length));
    }
}

std::string TCustomEdit::SelText() const
{
    const_cast<TCustomEdit *>(this)->HandleNeeded();
    if (QLineEdit *line = LineOf(this))
        return line->selectedText().toStdString();
    if (QPlainTextEdit *plain = PlainOf(this))
        return plain->textCursor().selectedText().replace(QChar(0x2029), "\r\n").toStdString();
    // Another kind of native edit (the rich edit) answers EM_GETSELTEXT into
    // a buffer of four bytes a character and two for each line break.
    auto [start, end] = SelectionByMessage(this);
    std::string buffer(static_cast<size_t>(end - start) * 6 + 1, '\0');
    const_cast<TCustomEdit *>(this)->Perform(EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

void TCustomEdit::SetSelText(const std::string &text)
{
    HandleNeeded();
    Perform(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TCustomEdit::SelectAll()
{
    HandleNeeded();
    Perform(EM_SETSEL, 0, -1);
}

void TCustomEdit::ClearSelection()
{
    Perform(WM_CLEAR, 0, 0);
}
void TCustomEdit::Clear()
{
    SetText("");
}
int TCustomEdit::GetTextLen() const
{
    return static_cast<int>(Utf8Length(GetText()));
}

int TCustomEdit::MaxLength() const
{
    return e->maxLength;
}
void TCustomEdit::SetMaxLength(int maxLength)
{
    e->maxLength = std::max(0, maxLength);
    if (QLineEdit *line = LineOf(this))
        line->setMaxLength(e->maxLength > 0 ? e->maxLength : 32767);
}

bool TCustomEdit::ReadOnly() const
{
    return e->readOnly;
}
void TCustomEdit::SetReadOnly(bool readOnly)
{
    e->readOnly = readOnly;
    if (HandleAllocated())
        Perform(EM_SETREADONLY, readOnly, 0);
}

bool TCustomEdit::Modified() const
{
    if (HandleAllocated())
        return const_cast<TCustomEdit *>(this)->Perform(EM_GETMODIFY, 0, 0) != 0;
    return e->modified;
}

void TCustomEdit::SetModified(bool modified)
{
    e->modified = modified;
    if (HandleAllocated())
        Perform(EM_SETMODIFY, modified, 0);
}

std::string TCustomEdit::PasswordChar() const
{
    return e->passwordChar;
}
void TCustomEdit::SetPasswordChar(const std::string &passwordChar)
{
    e->passwordChar = passwordChar.empty() ? "" : CodePointToUtf8(Utf8ToCodePoints(passwordChar).front());
    if (HandleAllocated())
        Perform(
            EM_SETPASSWORDCHAR, e->passwordChar.empty() ? 0 : Utf8ToCodePoints(e->passwordChar).front(), 0);
}

TEditCharCase TCustomEdit::CharCase() const
{
    return e->charCase;
}
void TCustomEdit::SetCharCase(TEditCharCase charCase)
{
    e->charCase = charCase;
    if (charCase == ecUpperCase)
        SetText(AnsiUpperCase(Text()));
    else if (charCase == ecLowerCase)
        SetText(AnsiLowerCase(Text()));
    RecreateWnd();
}

bool TCustomEdit::AutoSelect() const
{
    return e->autoSelect;
}
void TCustomEdit::SetAutoSelect(bool autoSelect)
{
    e->autoSelect = autoSelect;
}
bool TCustomEdit::AutoSize() const
{
    return e->autoSize;
}
void TCustomEdit::SetAutoSize(bool autoSize)
{
    e->autoSize = autoSize;
}
TBorderStyle TCustomEdit::BorderStyle() const
{
    return e->borderStyle;
}
void TCustomEdit::SetBorderStyle(TBorderStyle style)
{
    e->borderStyle = style == bsNone ? bsNone : bsSingle;
    RecreateWnd();
}
bool TCustomEdit::HideSelection() const
{
    return e->hideSelection;
}
void TCustomEdit::SetHideSelection(bool hide)
{
    e->hideSelection = hide;
}

TAlignment TCustomEdit::EditAlignment() const
{
    return e->alignment;
}
void TCustomEdit::SetEditAlignment(TAlignment alignment)
{
    e->alignment = alignment;
    RecreateWnd();
}

void TCustomEdit::CopyToClipboard()
{
    Perform(WM_COPY, 0, 0);
}
void TCustomEdit::CutToClipboard()
{
    Perform(WM_CUT, 0, 0);
}
void TCustomEdit::PasteFromClipboard()
{
    Perform(WM_PASTE, 0, 0);
}
void TCustomEdit::Undo()
{
    Perform(WM_UNDO, 0, 0);
}
bool TCustomEdit::CanUndo() const
{
    return HandleAllocated() && const_cast<TCustomEdit *>(this)->Perform(EM_CANUNDO, 0, 0) != 0;
}

void TCustomEdit::CreateParams(TCreateParams &params)
{
    TWinControl::CreateParams(params);
    params.WinClassName = "EDIT";
    params.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL;
    AddBorderStyle(params, e->borderStyle, Ctl3D());
    if (e->readOnly)
        params.Style |= ES_READONLY;
    if (!e->passwordChar.empty())
        params.Style |= ES_PASSWORD;
    if (!e->hideSelection)
        params.Style |= ES_NOHIDESEL;
    if (e->charCase == ecUpperCase)
        params.Style |= ES_UPPERCASE;
    else if (e->charCase == ecLowerCase)
        params.Style |= ES_LOWERCASE;
    if (e->alignment == taRightJustify)
        params.Style |= ES_RIGHT;
    else if (e->alignment == taCenter)
        params.Style |= ES_CENTER;
}

void TCustomEdit::CreateWindowHandle(const TCreateParams &params)
{
    QWidget *parent = TQtBoundary::ParentWidgetFor(this);
    e->multiLine = (params.Style & ES_MULTILINE) != 0;
    if (e->multiLine) {
        auto *plain = new TBridge<QPlainTextEdit>(this, parent);
        plain->setFrameShape(FrameShapeOf(params));
        plain->setLineWrapMode(
            params.Style & ES_AUTOHSCROLL ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        plain->setVerticalScrollBarPolicy(
            params.Style & WS_VSCROLL ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        plain->setHorizontalScrollBarPolicy(
            params.Style & WS_HSCROLL ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        plain->setTabChangesFocus(true);
        TQtBoundary::SetWidget(this, plain);
        ConnectGuarded(*plain, plain, &QPlainTextEdit::textChanged, [this] {
            if (!e->creating)
                Change();
        });
    } else {
        auto *line = new TBridge<QLineEdit>(this, parent);
        line->setFrame(params.ExStyle & WS_EX_CLIENTEDGE || params.Style & WS_BORDER);
        line->setMaxLength(e->maxLength > 0 ? e->maxLength : 32767);
        TQtBoundary::SetWidget(this, line);
        ConnectGuarded(*line, line, &QLineEdit::textChanged, [this](const QString &) {
            if (!e->creating)
                Change();
        });
    }
}

void TCustomEdit::CreateWnd()
{
    e->creating = true;
    try {
        TWinControl::CreateWnd();
    } catch (...) {
        e->creating = false;
        throw;
    }
    e->creating = false;
    WindowStyleChanged(WindowStyle(), WindowExStyle());
    if (QLineEdit *line = LineOf(this))
        line->setModified(e->modified);
}

void TCustomEdit::DestroyWnd()
{
    if (HandleAllocated())
        e->modified = Modified();
    TWinControl::DestroyWnd();
}

void TCustomEdit::WindowStyleChanged(uint32_t oldStyle, uint32_t)
{
    uint32_t style = WindowStyle(), exStyle = WindowExStyle();
    if ((style & ES_MULTILINE) != (oldStyle & ES_MULTILINE)) {
        // Another kind of native edit serves the other kind of window.
        RecreateWnd();
        return;
    }
    Qt::Alignment alignment = EditAlignmentOf(style, exStyle);
    if (QLineEdit *line = LineOf(this)) {
        line->setAlignment(alignment | Qt::AlignVCenter);
        line->setReadOnly(style & ES_READONLY);
        line->setEchoMode(style & ES_PASSWORD ? QLineEdit::Password : QLineEdit::Normal);
    } else if (QPlainTextEdit *plain = PlainOf(this)) {
        plain->setReadOnly(style & ES_READONLY);
        QTextOption option = plain->document()->defaultTextOption();
        option.setAlignment(alignment);
        plain->document()->setDefaultTextOption(option);
    }
}

void TCustomEdit::CMEnter(TMessage &message)
{
    if (e->autoSelect && !(QApplication::mouseButtons() & Qt::LeftButton) && !e->multiLine)
        SelectAll();
    TWinControl::CMEnter(message);
}

bool TCustomEdit::WantsKey(uint16_t) const
{
    return false;
}

TEdit::TEdit(TComponent *owner)
    : TCustomEdit(owner)
{
}

// ---- Memos ----------------------------------------------------------------------------------

namespace
{
// The lines of a memo: kept in the list and written to the window on every
// change; the window's own edits come back through OnChange.
class TMemoStrings : public TStringList
{
public:
    explicit TMemoStrings(TCustomMemo *memo)
        : memo_(memo)
    {
    }
    bool pulling = false;

protected:
    void Changed() override
    {
        if (!pulling && UpdateCount() == 0) {
            pulling = true;
            std::string text;
            for (int i = 0; i < Count(); ++i)
                text += (i ? "\r\n" : "") + Strings(i);
            memo_->SetText(text);
            pulling = false;
        }
        TStringList::Changed();
    }

private:
    TCustomMemo *memo_;
};
} // namespace

struct TCustomMemo::MemoImpl {
    std::unique_ptr<TMemoStrings> lines;
};

TCustomMemo::TCustomMemo(TComponent *owner)
    : TCustomEdit(owner)
    , m(std::make_unique<MemoImpl>())
{
    SetBounds(0, 0, 185, 89);
    m->lines = std::make_unique<TMemoStrings>(this);
    e->nativeChanged = [this] {
        TMemoStrings &lines = *m->lines;
        if (lines.pulling)
            return;
        lines.pulling = true;
        std::string text = GetText();
        lines.SetText(text);
        if (!text.empty() && (text.back() == '\n'))
            lines.Add("");
        lines.pulling = false;
    };
}

TCustomMemo::~TCustomMemo()
{
    e->nativeChanged = nullptr;
}

TStrings *TCustomMemo::Lines() const
{
    return m->lines.get();
}
void TCustomMemo::SetLines(TStrings *lines)
{
    m->lines->Assign(*lines);
}
TScrollStyle TCustomMemo::ScrollBars() const
{
    return e->scrollBars;
}
void TCustomMemo::SetScrollBars(TScrollStyle scrollBars)
{
    e->scrollBars = scrollBars;
    RecreateWnd();
}
bool TCustomMemo::WantReturns() const
{
    return e->wantReturns;
}
void TCustomMemo::SetWantReturns(bool wantReturns)
{
    e->wantReturns = wantReturns;
    RecreateWnd();
}
bool TCustomMemo::WantTabs() const
{
    return e->wantTabs;
}
void TCustomMemo::SetWantTabs(bool wantTabs)
{
    e->wantTabs = wantTabs;
    if (QPlainTextEdit *plain = PlainOf(this))
        plain->setTabChangesFocus(!wantTabs);
}
bool TCustomMemo::WordWrap() const
{
    return e->wordWrap;
}
void TCustomMemo::SetWordWrap(bool wordWrap)
{
    e->wordWrap = wordWrap;
    RecreateWnd();
}

void TCustomMemo::CreateParams(TCreateParams &params)
{
    TCustomEdit::CreateParams(params);
    params.Style |= ES_MULTILINE;
    if (e->wantReturns)
        params.Style |= ES_WANTRETURN;
    if (e->wordWrap)
        params.Style &= ~ES_AUTOHSCROLL;
    if (e->scrollBars == ssVertical || e->scrollBars == ssBoth)
        params.Style |= WS_VSCROLL;
    if (e->scrollBars == ssHorizontal || e->scrollBars == ssBoth)
        params.Style |= WS_HSCROLL;
}

bool TCustomMemo::WantsKey(uint16_t key) const
{
    return (key == VK_RETURN && e->wantReturns) || (key == VK_TAB && e->wantTabs);
}

TMemo::TMemo(TComponent *owner)
    : TCustomMemo(owner)
{
}

// ---- The native edit's own handling -----------------------------------------------------------

namespace
{
bool CommonChar(TControl *control, char32_t c)
{
    switch (c) {
    case 3:
        control->Perform(WM_COPY, 0, 0);
        return true;
    case 22:
        control->Perform(WM_PASTE, 0, 0);
        return true;
    case 24:
        control->Perform(WM_CUT, 0, 0);
        return true;
    case 26:
        control->Perform(WM_UNDO, 0, 0);
        return true;
    default:
        return false;
    }
}

QString CasedChar(TControl *control, char32_t c)
{
    QString text = QString::fromUcs4(&c, 1);
    uint32_t style = static_cast<TWinControl *>(control)->WindowStyle();
    if (style & ES_UPPERCASE)
        return text.toUpper();
    if (style & ES_LOWERCASE)
        return text.toLower();
    return text;
}

// Keeps the window style in step with what a message changed in the native edit.
void SetStyleBit(TControl *control, uint32_t bit, bool on)
{
    auto *win = static_cast<TWinControl *>(control);
    uint32_t style = on ? win->WindowStyle() | bit : win->WindowStyle() & ~bit;
    win->SetWindowStyle(style, win->WindowExStyle());
}

// EM_GETSEL answers in the result and, when given, in the two places its
// parameters point to.
void AnswerSelection(TMessage &m, uint32_t start, uint32_t end)
{
    if (m.WParam)
        *reinterpret_cast<uint32_t *>(m.WParam) = start;
    if (m.LParam)
        *reinterpret_cast<uint32_t *>(m.LParam) = end;
    m.Result = static_cast<LRESULT>((end << 16) | (start & 0xFFFF));
}

// The messages that single- and multi-line native edits handle alike; false
// leaves m to the one that knows its kind.
template <class Edit> bool SharedEditDefault(Edit *edit, TControl *control, TMessage &m)
{
    switch (m.Msg) {
    case WM_CHAR: {
        auto c = static_cast<char32_t>(m.WParam);
        if (CommonChar(control, c))
            return true;
        if (c != 1)
            return false;
        edit->selectAll();
        return true;
    }
    case WM_COPY:
        edit->copy();
        return true;
    case WM_CUT:
        if (!edit->isReadOnly())
            edit->cut();
        return true;
    case WM_PASTE:
        if (!edit->isReadOnly())
            edit->paste();
        return true;
    case EM_SETREADONLY:
        edit->setReadOnly(m.WParam != 0);
        SetStyleBit(control, ES_READONLY, m.WParam != 0);
        m.Result = 1;
        return true;
    default:
        return false;
    }
}
} // namespace

void TQtBoundary::EditDefault(QLineEdit *edit, TWidgetLink &link, TMessage &m)
{
    TControl *control = link.control;
    if (SharedEditDefault(edit, control, m))
        return;
    QString text = edit->text();
    switch (m.Msg) {
    case WM_CHAR: {
        auto c = static_cast<char32_t>(m.WParam);
        if (c == VK_BACK) {
            if (!edit->isReadOnly())
                edit->backspace();
            return;
        }
        if (c >= 32 && !edit->isReadOnly())
            edit->insert(CasedChar(control, c));
        return;
    }
    case WM_CLEAR:
        if (!edit->isReadOnly() && edit->hasSelectedText())
            edit->del();
        return;
    case WM_UNDO:
    case EM_UNDO:
        m.Result = edit->isUndoAvailable();
        edit->undo();
        return;
    case EM_CANUNDO:
        m.Result = edit->isUndoAvailable();
        return;
    case WM_GETTEXTLENGTH:
        m.Result = static_cast<LRESULT>(text.toUcs4().size());
        return;
    case EM_GETSEL: {
        int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
        int end = edit->hasSelectedText() ? edit->selectionEnd() : start;
        AnswerSelection(m, CharsBefore(text, start), CharsBefore(text, end));
        return;
    }
    case EM_SETSEL: {
        auto start = static_cast<intptr_t>(m.WParam), end = static_cast<intptr_t>(m.LParam);
        int length = static_cast<int>(text.toUcs4().size());
        if (start < 0) {
            edit->deselect();
            return;
        }
        if (end < 0 || end > length)
            end = length;
        start = std::min<intptr_t>(start, length);
        int from = UnitsBefore(text, static_cast<int>(std::min(start, end)));
        int to = UnitsBefore(text, static_cast<int>(std::max(start, end)));
        edit->setSelection(from, to - from);
        return;
    }
    case EM_REPLACESEL:
        if (m.LParam)
            edit->insert(QString::fromUtf8(reinterpret_cast<const char *>(m.LParam)));
        return;
    case EM_LIMITTEXT:
        edit->setMaxLength(m.WParam ? static_cast<int>(m.WParam) : 32767);
        return;
    case EM_GETMODIFY:
        m.Result = edit->isModified();
        return;
    case EM_SETMODIFY:
        edit->setModified(m.WParam != 0);
        return;
    case EM_SETPASSWORDCHAR:
        edit->setEchoMode(m.WParam ? QLineEdit::Password : QLineEdit::Normal);
        SetStyleBit(control, ES_PASSWORD, m.WParam != 0);
        return;
    case EM_GETLINECOUNT:
        m.Result = 1;
        return;
    case EM_SETRECT:
    case EM_SETRECTNP:
        if (auto *rect = reinterpret_cast<const TRect *>(m.LParam)) {
            QRect inside = edit->rect();
            edit->setTextMargins(std::max(0, rect->Left), std::max(0, rect->Top),
                std::max(0, inside.width() - rect->Right), std::max(0, inside.height() - rect->Bottom));
        }
        return;
    case EM_GETRECT:
        if (auto *rect = reinterpret_cast<TRect *>(m.LParam)) {
            QMargins margins = edit->textMargins();
            QRect inside = edit->rect();
            *rect = Rect(margins.left(), margins.top(), inside.width() - margins.right(),
                inside.height() - margins.bottom());
        }
        return;
    default:
        return;
    }
}

namespace
{
// The characters a multi-line edit still takes in place of its selection
// under the edit's MaxLength, as a single-line edit keeps it; -1 for no limit.
int RoomUnderLimit(QPlainTextEdit *edit, TControl *control)
{
    auto *owner = dynamic_cast<TCustomEdit *>(control);
    if (!owner || owner->MaxLength() <= 0)
        return -1;
    const QTextCursor cursor = edit->textCursor();
    const auto length = edit->toPlainText().toUcs4().size(), selected = cursor.selectedText().toUcs4().size();
    return std::max(0, owner->MaxLength() - static_cast<int>(length - selected));
}
} // namespace

void TQtBoundary::EditDefault(QPlainTextEdit *edit, TWidgetLink &link, TMessage &m)
{
    TControl *control = link.control;
    if (m.Msg == WM_PASTE && !edit->isReadOnly()) {
        if (int room = RoomUnderLimit(edit, control); room >= 0) {
            const QList<uint> pasted = QApplication::clipboard()->text().toUcs4();
            const QList<uint> taken = pasted.mid(0, room);
            edit->textCursor().insertText(QString::fromUcs4(reinterpret_cast<const char32_t *>(taken.data()), taken.size()));
            return;
        }
    }
    if (SharedEditDefault(edit, control, m))
        return;
    QTextCursor cursor = edit->textCursor();
    switch (m.Msg) {
    case WM_CHAR: {
        auto c = static_cast<char32_t>(m.WParam);
        if (edit->isReadOnly())
            return;
        uint32_t style = static_cast<TWinControl *>(control)->WindowStyle();
        if (c != VK_BACK && RoomUnderLimit(edit, control) == 0)
            return;
        if (c == VK_BACK)
            cursor.deletePreviousChar();
        else if (c == VK_RETURN && (style & ES_WANTRETURN))
            cursor.insertText("\n");
        else if (c == VK_TAB && !edit->tabChangesFocus())
            cursor.insertText("\t");
        else if (c >= 32)
            cursor.insertText(CasedChar(control, c));
        else
            return;
        edit->setTextCursor(cursor);
        return;
    }
    case WM_CLEAR:
        if (!edit->isReadOnly() && cursor.hasSelection())
            cursor.removeSelectedText();
        return;
    case WM_UNDO:
    case EM_UNDO:
        m.Result = edit->document()->isUndoAvailable();
        edit->undo();
        return;
    case EM_SCROLLCARET:
        edit->ensureCursorVisible();
        m.Result = 1;
        return;
    case EM_CANUNDO:
        m.Result = edit->document()->isUndoAvailable();
        return;
    case EM_GETSEL: {
        AnswerSelection(
            m, static_cast<uint32_t>(cursor.selectionStart()), static_cast<uint32_t>(cursor.selectionEnd()));
        return;
    }
    case EM_SETSEL: {
        int last = edit->document()->characterCount() - 1;
        auto start = static_cast<intptr_t>(m.WParam), end = static_cast<intptr_t>(m.LParam);
        if (start < 0) {
            cursor.clearSelection();
        } else {
            if (end < 0 || end > last)
                end = last;
            cursor.setPosition(static_cast<int>(std::min<intptr_t>(start, last)));
            cursor.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
        }
        edit->setTextCursor(cursor);
        return;
    }
    case EM_REPLACESEL:
        if (m.LParam) {
            cursor.insertText(QString::fromUtf8(reinterpret_cast<const char *>(m.LParam)));
            edit->setTextCursor(cursor);
        }
        return;
    case EM_GETMODIFY:
        m.Result = edit->document()->isModified();
        return;
    case EM_SETMODIFY:
        edit->document()->setModified(m.WParam != 0);
        return;
    case EM_GETLINECOUNT:
        m.Result = edit->document()->blockCount();
        return;
    case WM_GETTEXTLENGTH:
        m.Result = static_cast<LRESULT>(edit->toPlainText().toUcs4().size());
        return;
    default:
        return;
    }
}

// ---- List boxes --------------------------------------------------------------------------------

namespace
{
class TListBoxModel : public QAbstractListModel
{
public:
    explicit TListBoxModel(TStrings *items, QObject *parent)
        : QAbstractListModel(parent)
        , items_(items)
    {
    }
    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : items_->Count(); }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::DisplayRole && index.row() >= 0 && index.row() < items_->Count())
            return QString::fromStdString(items_->Strings(index.row()));
        return QVariant();
    }
    void Reset()
    {
        beginResetModel();
        endResetModel();
    }

private:
    TStrings *items_;
};
} // namespace

// Paints owner-drawn items through the list box's canvas.
class TListBoxDelegate : public QStyledItemDelegate
{
public:
    TListBoxDelegate(TCustomListBox *box, QObject *parent)
        : QStyledItemDelegate(parent)
        , box_(box)
    {
    }

    void paint(
        QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(box_->ItemHeight());
        return size;
    }

private:
    TCustomListBox *box_;
};

struct TCustomListBox::ListImpl {
    std::unique_ptr<TItemStrings<TCustomListBox>> items;
    int itemIndex = -1; // while there is no window
    TListBoxStyle style = lbStandard;
    int itemHeight = 16;
    int topIndex = 0;
    TBorderStyle borderStyle = bsSingle;
    bool integralHeight = false;
    bool multiSelect = false;
    std::vector<bool> selected; // while there is no window
    bool settingIndex = false;
    QPointer<QListView> view;
    TListBoxModel *model = nullptr;
};

void TListBoxDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    TOwnerDrawState state;
    if (option.state & QStyle::State_Selected)
        state.Include(odSelected);
    if (option.state & QStyle::State_HasFocus)
        state.Include(odFocused);
    if (!(option.state & QStyle::State_Enabled))
        state.Include(odDisabled);
    TRect rect = FromQRect(option.rect);
    GuardedCall(box_, [&] {
        TCanvas *canvas = box_->Canvas();
        TCanvasBinding binding(*canvas, painter);
        canvas->SetFont(box_->Font());
        canvas->Brush()->SetColor(box_->Color());
        canvas->Brush()->SetStyle(bsSolid);
        if (state.Contains(odSelected)) {
            canvas->Brush()->SetColor(clHighlight);
            canvas->Font()->SetColor(clHighlightText);
        }
        if (box_->b->style == lbStandard) {
            canvas->FillRect(rect);
            canvas->TextOut(rect.Left + 2, rect.Top, box_->Items()->Strings(index.row()));
        } else {
            box_->DrawItem(index.row(), rect, state);
        }
        if (state.Contains(odFocused))
            canvas->DrawFocusRect(rect);
    });
}

TCustomListBox::TCustomListBox(TComponent *owner)
    : TWinControl(owner)
    , b(std::make_unique<ListImpl>())
{
    b->items = std::make_unique<TItemStrings<TCustomListBox>>(this);
    SetBounds(0, 0, 121, 97);
    SetTabStop(true);
    SetColor(clWindow);
}

TCustomListBox::~TCustomListBox()
{
    Destroying();
    DestroyHandle();
}

TStrings *TCustomListBox::Items() const
{
    return b->items.get();
}
void TCustomListBox::SetItems(TStrings *items)
{
    b->items->Assign(*items);
}

int TCustomListBox::ItemIndex() const
{
    if (QListView *view = b->view) {
        QModelIndexList rows = view->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    }
    return b->itemIndex;
}

void TCustomListBox::SetItemIndex(int index)
{
    if (index < -1 || index >= b->items->Count())
        index = -1;
    b->itemIndex = index;
    QListView *view = b->view;
    if (!view)
        return;
    b->settingIndex = true;
    if (index < 0) {
        view->selectionModel()->clearSelection();
    } else {
        QModelIndex item = b->model->index(index);
        view->selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
        view->scrollTo(item);
    }
    b->settingIndex = false;
}

TListBoxStyle TCustomListBox::Style() const
{
    return b->style;
}
void TCustomListBox::SetStyle(TListBoxStyle style)
{
    b->style = style;
    if (b->view)
        b->view->viewport()->update();
}

int TCustomListBox::ItemHeight() const
{
    if (b->style == lbStandard) {
        QFontMetrics metrics(TFontAccess::ToQFont(*Font()));
        return metrics.height();
    }
    return b->itemHeight;
}

void TCustomListBox::SetItemHeight(int height)
{
    if (height <= 0)
        return;
    b->itemHeight = height;
    ItemsChanged();
}

int TCustomListBox::TopIndex() const
{
    if (QListView *view = b->view) {
        QModelIndex top = view->indexAt(QPoint(1, 1));
        return top.isValid() ? top.row() : 0;
    }
    return b->topIndex;
}

void TCustomListBox::SetTopIndex(int index)
{
    b->topIndex = std::max(0, index);
    if (QListView *view = b->view; view && index >= 0 && index < b->items->Count())
        view->scrollTo(b->model->index(index), QAbstractItemView::PositionAtTop);
}

bool TCustomListBox::Sorted() const
{
    return b->items->Sorted();
}
void TCustomListBox::SetSorted(bool sorted)
{
    b->items->SetSorted(sorted);
}
TBorderStyle TCustomListBox::BorderStyle() const
{
    return b->borderStyle;
}
void TCustomListBox::SetBorderStyle(TBorderStyle style)
{
    b->borderStyle = style == bsNone ? bsNone : bsSingle;
    RecreateWnd();
}
bool TCustomListBox::IntegralHeight() const
{
    return b->integralHeight;
}
void TCustomListBox::SetIntegralHeight(bool value)
{
    b->integralHeight = value;
}
bool TCustomListBox::MultiSelect() const
{
    return b->multiSelect;
}
void TCustomListBox::SetMultiSelect(bool value)
{
    if (value == b->multiSelect)
        return;
    b->multiSelect = value;
    if (QListView *view = b->view)
        view->setSelectionMode(value ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}
bool TCustomListBox::Selected(int index) const
{
    if (index < 0 || index >= b->items->Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    if (QListView *view = b->view)
        return view->selectionModel()->isRowSelected(index, QModelIndex());
    if (!b->multiSelect)
        return index == b->itemIndex;
    return static_cast<size_t>(index) < b->selected.size() && b->selected[static_cast<size_t>(index)];
}
void TCustomListBox::SetSelected(int index, bool selected)
{
    if (index < 0 || index >= b->items->Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    if (!b->multiSelect) {
        if (selected)
            SetItemIndex(index);
        else if (ItemIndex() == index)
            SetItemIndex(-1);
        return;
    }
    if (QListView *view = b->view) {
        b->settingIndex = true;
        view->selectionModel()->select(
            b->model->index(index), selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
        b->settingIndex = false;
        return;
    }
    if (b->selected.size() <= static_cast<size_t>(index))
        b->selected.resize(static_cast<size_t>(index) + 1);
    b->selected[static_cast<size_t>(index)] = selected;
}
int TCustomListBox::SelCount() const
{
    if (!b->multiSelect)
        return -1; // as LB_GETSELCOUNT answers for a single-selection box
    int count = 0;
    for (int i = 0; i < b->items->Count(); ++i)
        count += Selected(i) ? 1 : 0;
    return count;
}

TRect TCustomListBox::ItemRect(int index) const
{
    if (QListView *view = b->view)
        return FromQRect(view->visualRect(b->model->index(index)));
    int height = ItemHeight();
    return Bounds(0, (index - b->topIndex) * height, ClientWidth(), height);
}

int TCustomListBox::ItemAtPos(TPoint pos, bool existing) const
{
    if (QListView *view = b->view) {
        QModelIndex index = view->indexAt(QPoint(pos.X, pos.Y));
        if (index.isValid())
            return index.row();
        return existing ? -1 : b->items->Count();
    }
    int row = b->topIndex + pos.Y / std::max(1, ItemHeight());
    if (row < b->items->Count())
        return row;
    return existing ? -1 : b->items->Count();
}

void TCustomListBox::Clear()
{
    b->items->Clear();
}

void TCustomListBox::DrawItem(int index, const TRect &rect, TOwnerDrawState state)
{
    if (OnDrawItem) {
        OnDrawItem(this, index, rect, state);
        return;
    }
    TCanvas *canvas = Canvas();
    canvas->FillRect(rect);
    if (index >= 0 && index < b->items->Count())
        canvas->TextOut(rect.Left + 2, rect.Top, b->items->Strings(index));
}

void TCustomListBox::ItemsChanged()
{
    if (b->itemIndex >= b->items->Count())
        b->itemIndex = -1;
    QListView *view = b->view;
    if (!view)
        return;
    // The model is rebuilt; the selection and the scroll position survive it.
    int index = ItemIndex();
    int scroll = view->verticalScrollBar()->value();
    b->settingIndex = true;
    b->model->Reset();
    b->settingIndex = false;
    view->verticalScrollBar()->setValue(scroll);
    if (index >= 0 && index < b->items->Count()) {
        b->settingIndex = true;
        view->selectionModel()->setCurrentIndex(b->model->index(index), QItemSelectionModel::ClearAndSelect);
        b->settingIndex = false;
    }
}

void TCustomListBox::CreateParams(TCreateParams &params)
{
    TWinControl::CreateParams(params);
    params.WinClassName = "LISTBOX";
    params.Style |= LBS_NOTIFY | LBS_HASSTRINGS | WS_VSCROLL;
    if (b->style == lbOwnerDrawFixed)
        params.Style |= LBS_OWNERDRAWFIXED;
    else if (b->style == lbOwnerDrawVariable)
        params.Style |= LBS_OWNERDRAWVARIABLE;
    if (!b->integralHeight)
        params.Style |= LBS_NOINTEGRALHEIGHT;
    AddBorderStyle(params, b->borderStyle, Ctl3D());
}

void TCustomListBox::CreateWindowHandle(const TCreateParams &params)
{
    auto *view = new TBridge<QListView>(this, TQtBoundary::ParentWidgetFor(this, params));
    if (TQtBoundary::MakeDropDown(view, params))
        view->setFocusPolicy(Qt::NoFocus);
    b->model = new TListBoxModel(b->items.get(), view);
    view->setModel(b->model);
    view->setItemDelegate(new TListBoxDelegate(this, view));
    view->setUniformItemSizes(true);
    view->setSelectionMode(
        b->multiSelect ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setFrameShape(FrameShapeOf(params));
    b->view = view;
    TQtBoundary::SetWidget(this, view);
    ConnectGuarded(*view, view->selectionModel(), &QItemSelectionModel::selectionChanged, [this](auto &&...) {
        b->itemIndex = ItemIndex();
        // Only the user's choice is a click; a program's ItemIndex is not.
        if (!b->settingIndex)
            Click();
    });
    int index = b->itemIndex;
    b->itemIndex = -1;
    SetItemIndex(index);
    if (b->multiSelect) {
        std::vector<bool> selected = std::exchange(b->selected, {});
        for (size_t i = 0; i < selected.size() && static_cast<int>(i) < b->items->Count(); ++i)
            if (selected[i])
                SetSelected(static_cast<int>(i), true);
    }
    SetTopIndex(b->topIndex);
}

void TCustomListBox::CMFontChanged(TMessage &message)
{
    TWinControl::CMFontChanged(message);
    ItemsChanged();
}

bool TCustomListBox::WantsKey(uint16_t key) const
{
    return key != VK_RETURN && key != VK_ESCAPE;
}

void TCustomListBox::Dispatch(TMessage &message)
{
    auto text = [&message] {
        return message.LParam ? std::string(reinterpret_cast<const char *>(message.LParam)) : std::string();
    };
    int count = b->items->Count();
    auto index = static_cast<intptr_t>(message.WParam);
    switch (message.Msg) {
    case LB_ADDSTRING:
        message.Result = b->items->Add(text());
        return;
    case LB_INSERTSTRING:
        if (index == -1)
            index = count;
        if (index < 0 || index > count) {
            message.Result = LB_ERR;
            return;
        }
        b->items->Insert(static_cast<int>(index), text());
        message.Result = index;
        return;
    case LB_DELETESTRING:
        if (index < 0 || index >= count) {
            message.Result = LB_ERR;
            return;
        }
        b->items->Delete(static_cast<int>(index));
        message.Result = count - 1;
        return;
    case LB_RESETCONTENT:
        b->items->Clear();
        return;
    case LB_GETCOUNT:
        message.Result = count;
        return;
    case LB_GETCURSEL:
        message.Result = ItemIndex();
        return;
    case LB_SETCURSEL:
        SetItemIndex(static_cast<int>(index));
        message.Result = (index >= 0 && index < count) ? index : LB_ERR;
        return;
    case LB_GETTOPINDEX:
        message.Result = TopIndex();
        return;
    case LB_SETTOPINDEX:
        if (index < 0 || index >= std::max(1, count)) {
            message.Result = LB_ERR;
            return;
        }
        SetTopIndex(static_cast<int>(index));
        return;
    case LB_GETITEMHEIGHT:
        message.Result = ItemHeight();
        return;
    case LB_SETITEMHEIGHT:
        SetItemHeight(static_cast<int>(message.LParam));
        return;
    case LB_GETITEMRECT:
        if (index < 0 || index >= count || !message.LParam) {
            message.Result = LB_ERR;
            return;
        }
        *reinterpret_cast<TRect *>(message.LParam) = ItemRect(static_cast<int>(index));
        return;
    default:
        TWinControl::Dispatch(message);
    }
}

TListBox::TListBox(TComponent *owner)
    : TCustomListBox(owner)
{
}

// ---- Combo boxes ------------------------------------------------------------------

namespace
{
// Tells the control when its list drops down.
class TComboBridge : public TBridge<QComboBox>
{
public:
    using TBridge<QComboBox>::TBridge;
    std::function<void()> dropping;
    bool dropped = false;
    void showPopup() override
    {
        if (dropping)
            dropping();
        dropped = true;
        QComboBox::showPopup();
    }
    void hidePopup() override
    {
        dropped = false;
        QComboBox::hidePopup();
    }
};
} // namespace

struct TCustomComboBox::ComboImpl {
    std::unique_ptr<TItemStrings<TCustomComboBox>> items;
    int itemIndex = -1; // while there is no window
    TComboBoxStyle style = csDropDown;
    int dropDownCount = 8;
    bool filling = false; // the program fills the list or sets the index
    QPointer<TComboBridge> combo;
};

TCustomComboBox::TCustomComboBox(TComponent *owner)
    : TWinControl(owner)
    , c(std::make_unique<ComboImpl>())
{
    c->items = std::make_unique<TItemStrings<TCustomComboBox>>(this);
    SetBounds(0, 0, 145, 21);
    SetTabStop(true);
    SetColor(clWindow);
}

TCustomComboBox::~TCustomComboBox()
{
    Destroying();
    DestroyHandle();
}

TStrings *TCustomComboBox::Items() const
{
    return c->items.get();
}
void TCustomComboBox::SetItems(TStrings *items)
{
    c->items->Assign(*items);
}
int TCustomComboBox::ItemIndex() const
{
    if (QComboBox *combo = c->combo)
        return combo->currentIndex();
    return c->itemIndex;
}
void TCustomComboBox::SetItemIndex(int index)
{
    if (index < -1 || index >= c->items->Count())
        index = -1;
    c->itemIndex = index;
    if (QComboBox *combo = c->combo) {
        c->filling = true;
        combo->setCurrentIndex(index);
        c->filling = false;
    } else {
        TWinControl::SetTextValue(index >= 0 ? c->items->Strings(index) : std::string());
    }
}
TComboBoxStyle TCustomComboBox::Style() const
{
    return c->style;
}
void TCustomComboBox::SetStyle(TComboBoxStyle style)
{
    if (style == c->style)
        return;
    c->style = style;
    RecreateWnd();
}
int TCustomComboBox::DropDownCount() const
{
    return c->dropDownCount;
}
void TCustomComboBox::SetDropDownCount(int count)
{
    c->dropDownCount = count;
    if (QComboBox *combo = c->combo)
        combo->setMaxVisibleItems(std::max(1, count));
}
bool TCustomComboBox::DroppedDown() const
{
    return c->combo && c->combo->dropped;
}
void TCustomComboBox::Clear()
{
    c->items->Clear();
    SetTextValue({});
}

void TCustomComboBox::Change()
{
    OnChange(this);
}

std::string TCustomComboBox::GetText() const
{
    if (QComboBox *combo = c->combo)
        return combo->currentText().toStdString();
    return TWinControl::GetText();
}

void TCustomComboBox::SetTextValue(const std::string &text)
{
    TWinControl::SetTextValue(text);
    QComboBox *combo = c->combo;
    if (!combo)
        return;
    c->filling = true;
    if (combo->isEditable()) {
        combo->setEditText(QString::fromStdString(text));
    } else {
        // A list-only box shows text of its list, or nothing.
        combo->setCurrentIndex(c->items->IndexOf(text));
    }
    c->filling = false;
}

void TCustomComboBox::ItemsChanged()
{
    QComboBox *combo = c->combo;
    if (!combo)
        return;
    std::string text = GetText();
    c->filling = true;
    combo->clear();
    for (int i = 0; i < c->items->Count(); ++i)
        combo->addItem(QString::fromStdString(c->items->Strings(i)));
    if (combo->isEditable())
        combo->setEditText(QString::fromStdString(text));
    else
        combo->setCurrentIndex(-1);
    c->filling = false;
}

void TCustomComboBox::CreateParams(TCreateParams &params)
{
    TWinControl::CreateParams(params);
    params.WinClassName = "COMBOBOX";
    params.Style |= WS_VSCROLL | CBS_AUTOHSCROLL;
    switch (c->style) {
    case csSimple:
        params.Style |= CBS_SIMPLE;
        break;
    case csDropDown:
        params.Style |= CBS_DROPDOWN;
        break;
    default:
        params.Style |= CBS_DROPDOWNLIST;
        break;
    }
}

void TCustomComboBox::CreateWindowHandle(const TCreateParams &)
{
    auto *combo = new TComboBridge(this, TQtBoundary::ParentWidgetFor(this));
    const bool editable = c->style == csDropDown || c->style == csSimple;
    combo->setEditable(editable);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMaxVisibleItems(std::max(1, c->dropDownCount));
    combo->dropping = [this] { GuardedCall(this, [this] { OnDropDown(this); }); };
    c->combo = combo;
    TQtBoundary::SetWidget(this, combo);
    std::string text = TWinControl::GetText();
    ItemsChanged();
    c->filling = true;
    if (c->itemIndex >= 0)
        combo->setCurrentIndex(c->itemIndex);
    else if (editable)
        combo->setEditText(QString::fromStdString(text));
    c->filling = false;
    // A choice from the list: the text becomes the item's, then Click and Change.
    ConnectGuarded(*combo, combo, &QComboBox::activated, [this](int index) {
        c->itemIndex = index;
        Click();
        Change();
    });
    if (QLineEdit *line = combo->lineEdit())
        ConnectGuarded(*combo, line, &QLineEdit::textEdited, [this](const QString &) {
            if (!c->filling)
                Change();
        });
}

bool TCustomComboBox::WantsKey(uint16_t key) const
{
    // Up and Down move through the list; Enter and Escape close it when dropped.
    return key == VK_UP || key == VK_DOWN || ((key == VK_RETURN || key == VK_ESCAPE) && DroppedDown());
}

TComboBox::TComboBox(TComponent *owner)
    : TCustomComboBox(owner)
{
}
