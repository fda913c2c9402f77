#include "installer/dialogs/dlgcmp_InstallStatus.h"

#include <cmath>

#include "installer/dialogs/ordlg_InstallStatus.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/rtl/strings.h"
#include "platform/ui/graphics.h"

const TMetaClass TInstallStatusDlg::Class { "TInstallStatusDlg", &TCustomBaseInstallDlg::Class };

namespace
{
using D = TDialogPublish<TInstallStatusDlg>;
using I = TInstallPublish<TInstallStatusDlg>;
// clang-format off
const TClassRegistrar<TInstallStatusDlg> registrar({
    D::AutoSetFont(),
    D::AutoTranslate(),
    I::Container(),
    D::OverrideMainTranslator(),
    D::Position(),
    D::ThemeBitmap(),
    D::TranslateIntoLanguage(),
});
// clang-format on

int RoundEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}
} // namespace

TInstallStatusDlg::TInstallStatusDlg(TComponent *owner)
    : TCustomBaseInstallDlg(owner)
    , stack_(std::make_unique<TStringList>())
{
}

// The box belongs to the application, but nothing shows it once its
// component is gone: it goes too, rather than stay behind hidden.
TInstallStatusDlg::~TInstallStatusDlg()
{
    SetForm(nullptr);
    delete statusForm_;
}

// The application frees its forms when it ends, the box among them, and may
// do so before this component goes.
void TInstallStatusDlg::Notification(TComponent *component, TOperation operation)
{
    TCustomBaseInstallDlg::Notification(component, operation);
    if (operation == opRemove && component == statusForm_) {
        statusForm_ = nullptr;
        SetForm(nullptr);
    }
}

int TInstallStatusDlg::TextCount() const
{
    return stack_->Count();
}

const TMetaClass &TInstallStatusDlg::FormClass() const
{
    return TInstallStatusForm::Class;
}

void TInstallStatusDlg::Translate()
{
    TCustomBaseInstallDlg::Translate();
    SetCurrentLanguage(klEnglish);
}

void TInstallStatusDlg::DoInstallEvent(TObject *sender, int eventCode, TObject *po)
{
    TCustomBaseInstallDlg::DoInstallEvent(sender, eventCode, po);
    if (DialogManager())
        return;
    if (eventCode == ieShowStatus) {
        if (!po)
            throw IException("%s got a nil PO parameter", Name());
        auto *message = dynamic_cast<TMessageParameter *>(po);
        if (!message)
            throw IException("The PO object passed to %s is not a TMessageParameter object", Name());
        text_ = message->Text;
        stack_->Add(text_);
        ShowText();
    } else if (eventCode == ieClearStatus) {
        if (stack_->Count() > 0)
            stack_->Delete(stack_->Count() - 1);
        if (stack_->Count() > 0) {
            text_ = stack_->Strings(stack_->Count() - 1);
            ShowText();
        } else {
            if (statusForm_)
                statusForm_->Hide();
            Application->ProcessMessages();
        }
    }
}

void TInstallStatusDlg::ShowText()
{
    if (!statusForm_) {
        statusForm_ = NewForm<TInstallStatusForm>(Application);
        statusForm_->FreeNotification(this);
        SetForm(statusForm_);
        AssignDialogProperties();
    }
    TLabel *label = statusForm_->lblMessage;
    label->SetAlign(alNone);
    label->SetWordWrap(false);
    label->SetCaption(text_);
    Translate();
    label->SetAutoSize(false);
    label->SetAutoSize(true);
    label->SetTop(RoundEven(statusForm_->ClientHeight() * 0.5 - label->Height() * 0.5));
    TBitmap measure;
    measure.Canvas()->Font()->Assign(statusForm_->Font());
    const int width = measure.Canvas()->TextWidth(label->Caption()) + statusForm_->pnlBack->Left()
        + statusForm_->pnlMessage->Left() + label->Left() + 25;
    statusForm_->SetWidth(width);
    statusForm_->SetLeft(RoundEven(Screen->Width() * 0.5 - width * 0.5));
    statusForm_->Show();
    statusForm_->Repaint();
    Application->ProcessMessages();
}
