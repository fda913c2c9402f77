#include "controls/base/Qxintl.h"
#include "controls/base/Qxintl_p.h"

#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/buttons.h"
#include "platform/ui/forms.h"

#include <cstring>

const TMetaClass TqxIntlTexts::Class { "TqxIntlTexts", &TPersistent::Class };
const TMetaClass TqxFilterDialogIntl::Class { "TqxFilterDialogIntl", &TqxIntlTexts::Class };
const TMetaClass TqxDBRichEditIntl::Class { "TqxDBRichEditIntl", &TqxIntlTexts::Class };
const TMetaClass TqxRichEditMenuLabels::Class { "TqxRichEditMenuLabels", &TqxIntlTexts::Class };
const TMetaClass TqxRichEditPopupMenuLabels::Class { "TqxRichEditPopupMenuLabels", &TqxIntlTexts::Class };
const TMetaClass TqxRichEditParagraphDlg::Class { "TqxRichEditParagraphDlg", &TqxIntlTexts::Class };
const TMetaClass TqxRichEditTabDlg::Class { "TqxRichEditTabDlg", &TqxIntlTexts::Class };
const TMetaClass TqxMonthCalendarIntl::Class { "TqxMonthCalendarIntl", &TqxIntlTexts::Class };
const TMetaClass TqxSearchDialogIntl::Class { "TqxSearchDialogIntl", &TqxIntlTexts::Class };
const TMetaClass TqxLocateDialogIntl::Class { "TqxLocateDialogIntl", &TqxIntlTexts::Class };
const TMetaClass TqxUserMessagesIntl::Class { "TqxUserMessagesIntl", &TqxIntlTexts::Class };
const TMetaClass TqxDBNavigatorIntl::Class { "TqxDBNavigatorIntl", &TqxIntlTexts::Class };
const TMetaClass TqxDBNavigatorIntlHints::Class { "TqxDBNavigatorIntlHints", &TqxIntlTexts::Class };
const TMetaClass TqxIntl::Class { "TqxIntl", &TComponent::Class };

namespace {

// The published table of a sub-object class: its rows of the text table,
// with its nested sub-objects after the texts they follow in published order.
template <typename T>
std::vector<TPropInfo> TextProps(std::vector<std::pair<std::string, TPropInfo>> nested = {})
{
    std::vector<TPropInfo> props;
    const std::vector<TqxIntlRow> &rows = qxIntlRows();
    int own = 0;
    for (const TqxIntlRow &row : rows) {
        if (strcmp(row.ClassName, T::Class.ClassName()) != 0)
            continue;
        const int i = own++;
        props.push_back(TPublish<T>::String(
            row.Name, [i](const T *o) { return o->Value(i); },
            [i](T *o, const std::string &v) { o->SetValue(i, v); }, std::string(row.Default)));
        for (auto &[after, prop] : nested)
            if (after == row.Name)
                props.push_back(std::move(prop));
    }
    return props;
}

// clang-format off
using PR = TPublish<TqxDBRichEditIntl>;
using PN = TPublish<TqxDBNavigatorIntl>;
const TClassRegistrar<TqxIntlTexts> textsRegistrar({});
const TClassRegistrar<TqxFilterDialogIntl> filterRegistrar(TextProps<TqxFilterDialogIntl>());
const TClassRegistrar<TqxDBRichEditIntl> richEditRegistrar(TextProps<TqxDBRichEditIntl>({
    {"NUMLockCaption", PR::Persistent("MenuLabels",      &TqxDBRichEditIntl::MenuLabels)},
    {"NUMLockCaption", PR::Persistent("PopupMenuLabels", &TqxDBRichEditIntl::PopupMenuLabels)},
    {"NUMLockCaption", PR::Persistent("ParagraphDialog", &TqxDBRichEditIntl::ParagraphDialog)},
    {"NUMLockCaption", PR::Persistent("TabDialog",       &TqxDBRichEditIntl::TabDialog)},
}));
const TClassRegistrar<TqxRichEditMenuLabels> menuRegistrar(TextProps<TqxRichEditMenuLabels>());
const TClassRegistrar<TqxRichEditPopupMenuLabels> popupRegistrar(TextProps<TqxRichEditPopupMenuLabels>());
const TClassRegistrar<TqxRichEditParagraphDlg> paragraphRegistrar(TextProps<TqxRichEditParagraphDlg>());
const TClassRegistrar<TqxRichEditTabDlg> tabRegistrar(TextProps<TqxRichEditTabDlg>());
const TClassRegistrar<TqxMonthCalendarIntl> calendarRegistrar(TextProps<TqxMonthCalendarIntl>());
const TClassRegistrar<TqxSearchDialogIntl> searchRegistrar(TextProps<TqxSearchDialogIntl>());
const TClassRegistrar<TqxLocateDialogIntl> locateRegistrar(TextProps<TqxLocateDialogIntl>());
const TClassRegistrar<TqxUserMessagesIntl> messagesRegistrar(TextProps<TqxUserMessagesIntl>());
const TClassRegistrar<TqxDBNavigatorIntl> navigatorRegistrar(TextProps<TqxDBNavigatorIntl>({
    {"ConfirmDeleteMessage", PN::Persistent("Hints", &TqxDBNavigatorIntl::Hints)},
}));
const TClassRegistrar<TqxDBNavigatorIntlHints> hintsRegistrar(TextProps<TqxDBNavigatorIntlHints>());

const TEnumNames CheckBoxStyleNames = {"cbStyleAuto", "cbStyleCheckmark", "cbStyleXmark"};
const TEnumNames FontStyleNames = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};

using PI = TPublish<TqxIntl>;
const TClassRegistrar<TqxIntl> intlRegistrar({
    //              name                        getter                              setter                                 default
    PI::Persistent ("Navigator",                &TqxIntl::Navigator),
    PI::Persistent ("SearchDialog",             &TqxIntl::SearchDialog),
    PI::Persistent ("LocateDialog",             &TqxIntl::LocateDialog),
    PI::Persistent ("MonthCalendar",            &TqxIntl::MonthCalendar),
    PI::Persistent ("FilterDialog",             &TqxIntl::FilterDialog),
    PI::Persistent ("RichEdit",                 &TqxIntl::RichEdit),
    PI::Persistent ("UserMessages",             &TqxIntl::UserMessages),
    PI::Boolean    ("OKCancelBitmapped",        &TqxIntl::OKCancelBitmapped,        &TqxIntl::SetOKCancelBitmapped,        true),
    PI::String     ("BtnOKCaption",             &TqxIntl::BtnOKCaption,             &TqxIntl::SetBtnOKCaption,             "&OK"),
    PI::String     ("BtnCancelCaption",         &TqxIntl::BtnCancelCaption,         &TqxIntl::SetBtnCancelCaption,         "Cancel"),
    PI::Enum       ("CheckBoxInGridStyle",      CheckBoxStyleNames,
                                                &TqxIntl::CheckBoxInGridStyle,      &TqxIntl::SetCheckBoxInGridStyle,      cbStyleAuto),
    PI::String     ("VersionLumino",            &TqxIntl::VersionLumino,            &TqxIntl::SetVersionLumino,            "4.04"),
    PI::Integer    ("FilterMemoSize",           &TqxIntl::FilterMemoSize,           &TqxIntl::SetFilterMemoSize,           65536),
    PI::Boolean    ("UseLocateMethodForSearch", &TqxIntl::UseLocateMethodForSearch, &TqxIntl::SetUseLocateMethodForSearch, true),
    PI::Set        ("DialogFontStyle",          FontStyleNames,
                                                &TqxIntl::DialogFontStyle,          &TqxIntl::SetDialogFontStyle,          TFontStyles()),
    PI::Integer    ("DefaultEpochYear",         &TqxIntl::DefaultEpochYear,         &TqxIntl::SetDefaultEpochYear,         1950),
    PI::Boolean    ("Connected",                &TqxIntl::Connected,                &TqxIntl::SetConnected,                false),
});
// clang-format on

TqxIntl *global = nullptr;

// Frees the global instance when the program ends, if its owner has not.
struct TFinalization {
    ~TFinalization() { delete global; }
} finalization;

} // namespace

// ---- TqxIntlTexts ----------------------------------------------------------------

TqxIntlTexts::TqxIntlTexts(const TMetaClass &cls)
    : class_(cls)
{
    const std::vector<TqxIntlRow> &rows = qxIntlRows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (strcmp(rows[i].ClassName, cls.ClassName()) == 0) {
            rows_.push_back(static_cast<int>(i));
            values_.push_back(rows[i].Default);
        }
}

TqxIntlTexts::~TqxIntlTexts() = default;

int TqxIntlTexts::RowOf(std::string_view name) const
{
    const std::vector<TqxIntlRow> &rows = qxIntlRows();
    for (size_t i = 0; i < rows_.size(); ++i)
        if (name == rows[rows_[i]].Name)
            return static_cast<int>(i);
    throw EPropertyError(Format("Property %s does not exist", std::string(name)));
}

const std::string &TqxIntlTexts::Text(std::string_view name) const { return values_[RowOf(name)]; }
void TqxIntlTexts::SetText(std::string_view name, const std::string &value) { values_[RowOf(name)] = value; }

void TqxIntlTexts::Assign(const TPersistent *source)
{
    auto *texts = dynamic_cast<const TqxIntlTexts *>(source);
    if (!texts || &texts->class_ != &class_) {
        TPersistent::Assign(source);
        return;
    }
    values_ = texts->values_;
    for (size_t i = 0; i < subs_.size(); ++i)
        subs_[i]->Assign(texts->subs_[i].get());
}

#define QX_INTL_TEXTS_CONSTRUCTOR(Name)                                                                      \
    Name::Name()                                                                                             \
        : TqxIntlTexts(Class)                                                                                \
    {                                                                                                        \
    }
QX_INTL_TEXTS_CONSTRUCTOR(TqxFilterDialogIntl)
QX_INTL_TEXTS_CONSTRUCTOR(TqxRichEditMenuLabels)
QX_INTL_TEXTS_CONSTRUCTOR(TqxRichEditPopupMenuLabels)
QX_INTL_TEXTS_CONSTRUCTOR(TqxRichEditParagraphDlg)
QX_INTL_TEXTS_CONSTRUCTOR(TqxRichEditTabDlg)
QX_INTL_TEXTS_CONSTRUCTOR(TqxMonthCalendarIntl)
QX_INTL_TEXTS_CONSTRUCTOR(TqxSearchDialogIntl)
QX_INTL_TEXTS_CONSTRUCTOR(TqxLocateDialogIntl)
QX_INTL_TEXTS_CONSTRUCTOR(TqxUserMessagesIntl)
QX_INTL_TEXTS_CONSTRUCTOR(TqxDBNavigatorIntlHints)
#undef QX_INTL_TEXTS_CONSTRUCTOR

TqxDBRichEditIntl::TqxDBRichEditIntl()
    : TqxIntlTexts(Class)
    , menu_(new TqxRichEditMenuLabels)
    , popup_(new TqxRichEditPopupMenuLabels)
    , paragraph_(new TqxRichEditParagraphDlg)
    , tab_(new TqxRichEditTabDlg)
{
    Own(menu_), Own(popup_), Own(paragraph_), Own(tab_);
}

TqxDBNavigatorIntl::TqxDBNavigatorIntl()
    : TqxIntlTexts(Class)
    , hints_(new TqxDBNavigatorIntlHints)
{
    Own(hints_);
}

// ---- TqxIntl ---------------------------------------------------------------------

TqxIntl::TqxIntl(TComponent *owner)
    : TComponent(owner)
    , navigator_(std::make_unique<TqxDBNavigatorIntl>())
    , search_(std::make_unique<TqxSearchDialogIntl>())
    , locate_(std::make_unique<TqxLocateDialogIntl>())
    , calendar_(std::make_unique<TqxMonthCalendarIntl>())
    , filter_(std::make_unique<TqxFilterDialogIntl>())
    , richEdit_(std::make_unique<TqxDBRichEditIntl>())
    , messages_(std::make_unique<TqxUserMessagesIntl>())
{
}

TqxIntl::~TqxIntl()
{
    if (global == this)
        global = nullptr;
}

void TqxIntl::SetCheckBoxInGridStyle(TqxCheckBoxInGridStyle style)
{
    checkBoxStyle_ = style;
    if (connected_ && global != this && !ComponentState().Contains(csLoading))
        qxIntl()->SetCheckBoxInGridStyle(style);
}

void TqxIntl::SetConnected(bool connected)
{
    connected_ = connected;
    if (connected && !ComponentState().Contains(csLoading))
        CopyToGlobal();
}

void TqxIntl::Loaded()
{
    TComponent::Loaded();
    if (connected_)
        CopyToGlobal();
}

void TqxIntl::CopyToGlobal() const
{
    if (global == this)
        return;
    TqxIntl *g = qxIntl();
    g->navigator_->Assign(navigator_.get());
    g->search_->Assign(search_.get());
    g->locate_->Assign(locate_.get());
    g->calendar_->Assign(calendar_.get());
    g->filter_->Assign(filter_.get());
    g->richEdit_->Assign(richEdit_.get());
    g->messages_->Assign(messages_.get());
    g->okCancelBitmapped_ = okCancelBitmapped_;
    g->btnOK_ = btnOK_;
    g->btnCancel_ = btnCancel_;
    g->SetCheckBoxInGridStyle(checkBoxStyle_);
    g->dialogFontStyle_ = dialogFontStyle_;
    g->useLocate_ = useLocate_;
    g->epochYear_ = epochYear_;
    g->filterMemoSize_ = filterMemoSize_;
}

TqxIntl *qxIntl()
{
    if (!global)
        global = new TqxIntl(Application);
    return global;
}

bool qxIntlExists() { return global != nullptr; }

int qxGetFilterMemoSize() { return qxIntl()->FilterMemoSize(); }

TButton *qxCreateDialogButton(TCustomForm *dialog, int kind)
{
    TqxIntl *intl = qxIntl();
    const int ppi = Screen->PixelsPerInch();
    auto scale = [ppi](int v) { return v * ppi / 96; };
    TButton *button;
    if (intl->OKCancelBitmapped()) {
        auto *bit = new TBitBtn(dialog);
        bit->SetMargin(2);
        bit->SetKind(kind == 1 ? bkOK : kind == 2 ? bkCancel : bkHelp);
        bit->SetLayout(blGlyphLeft);
        bit->SetNumGlyphs(2);
        bit->SetSpacing(-1);
        bit->Font()->SetColor(clWindowText);
        bit->Font()->SetHeight(-11);
        bit->Font()->SetName("MS Sans Serif");
        bit->Font()->SetStyle(intl->DialogFontStyle());
        button = bit;
    } else
        button = new TButton(dialog);
    button->SetParent(dialog);
    button->SetVisible(false);
    button->SetWidth(scale(77));
    button->SetHeight(scale(intl->OKCancelBitmapped() ? 27 : 24));
    switch (kind) {
    case 1:
        button->SetCaption(intl->BtnOKCaption());
        button->SetModalResult(mrOk);
        break;
    case 2:
        button->SetCaption(intl->BtnCancelCaption());
        button->SetModalResult(mrCancel);
        button->SetCancel(true);
        break;
    default: button->SetCaption("Help"); break;
    }
    return button;
}
