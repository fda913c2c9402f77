#include "controls/widgets/qxmemo.h"

#include "controls/base/Qxintl.h"
#include "controls/widgets/qxdbgrid.h"
#include "platform/classes/typinfo.h"
#include "platform/ui/services.h"

const TMetaClass TqxMemoDlg::Class { "TqxMemoDlg", &TForm::Class };

namespace
{
using M = TqxMemoDlg;
// clang-format off
const TClassRegistrar<TqxMemoDlg> registrar({},
    {{"ResizeControls", &M::ResizeControls}, {"OKBtnClick", &M::OKBtnClick},
     {"FormCloseQuery", &M::FormCloseQuery}, {"FormShow", &M::FormShow}, {"MemoKeyDown", &M::MemoKeyDown},
     {"UserButton1Click", &M::UserButton1Click}, {"UserButton2Click", &M::UserButton2Click}},
    {{"Memo", &M::Memo}, {"UserButtonPanel", &M::UserButtonPanel}, {"UserButton1", &M::UserButton1},
     {"UserButton2", &M::UserButton2}});
// clang-format on
} // namespace

TqxMemoDlg::TqxMemoDlg(TComponent *owner)
    : TForm(owner)
{
}

void TqxMemoDlg::Loaded()
{
    TForm::Loaded();
    OKBtn = qxCreateDialogButton(this, 1);
    OKBtn->SetTabOrder(1);
    OKBtn->OnClick = [this](TObject *sender) { OKBtnClick(sender); };
    CancelBtn = qxCreateDialogButton(this, 2);
    CancelBtn->SetTabOrder(2);
}

void TqxMemoDlg::Prepare(TqxMemoDialog *dialog, bool editable, const std::string &caption, TFont *font, TRect bounds)
{
    dialog_ = dialog;
    editable_ = editable;
    caption_ = caption;
    if (font)
        font_.Assign(font);
    bounds_ = bounds;
    if (!editable) {
        CancelBtn->SetVisible(false);
        Memo->SetReadOnly(true);
    }
}

void TqxMemoDlg::FormShow(TObject *)
{
    if (shownOnce_)
        return;
    shownOnce_ = true;
    SetKeyPreview(true);
    Memo->SetFont(&font_);
    SetCaption(caption_);
    if (bounds_.Left == 0 && bounds_.Top == 0)
        SetBounds(Left(), Top(), bounds_.Right - bounds_.Left, bounds_.Bottom - bounds_.Top);
    else if (bounds_.Left > 0 || bounds_.Top > 0)
        SetBounds(bounds_.Left, bounds_.Top, bounds_.Right - bounds_.Left, bounds_.Bottom - bounds_.Top);
    const bool one = dialog_ && !dialog_->UserButton1Caption().empty();
    const bool two = dialog_ && !dialog_->UserButton2Caption().empty();
    if (one || two) {
        UserButtonPanel->SetTop(Memo->Top() + Memo->Height() + 2);
        UserButtonPanel->SetLeft(Memo->Left() - 1);
        int right = 0;
        if (one) {
            UserButton1->SetCaption(dialog_->UserButton1Caption());
            UserButton1->SetLeft(10);
            UserButton1->SetVisible(true);
            right = UserButton1->Left() + UserButton1->Width();
        }
        if (two) {
            UserButton2->SetCaption(dialog_->UserButton2Caption());
            UserButton2->SetLeft(right + 15);
            UserButton2->SetVisible(true);
            right = UserButton2->Left() + UserButton2->Width();
        }
        UserButtonPanel->SetWidth(right + 10);
        UserButtonPanel->SetVisible(true);
    }
    Font()->SetStyle(qxIntl()->DialogFontStyle());
    ResizeControls(this);
    if (dialog_) {
        dialog_->form_ = this;
        dialog_->DoInitDialog(this);
    }
    Memo->SetModified(false);
}

void TqxMemoDlg::ResizeControls(TObject *)
{
    if (!Memo || !OKBtn)
        return;
    // The window's height less its frame and caption is the client height.
    Memo->SetBounds(6, 6, std::max(20, ClientWidth() - 14), std::max(20, ClientHeight() - 53));
    const int buttonsTop = Memo->Top() + Memo->Height() + 11;
    OKBtn->SetTop(buttonsTop);
    CancelBtn->SetTop(buttonsTop);
    if (UserButtonPanel->Visible())
        UserButtonPanel->SetTop(Memo->Top() + Memo->Height() + 2);
    const int right = Memo->Left() + Memo->Width();
    if (!Memo->ReadOnly()) {
        OKBtn->SetLeft(right - 2 * OKBtn->Width() - 20);
        CancelBtn->SetLeft(right - OKBtn->Width());
        CancelBtn->SetVisible(true);
    } else if (UserButtonPanel->Visible())
        OKBtn->SetLeft(right - OKBtn->Width() - 5);
    else
        OKBtn->SetLeft(Memo->Width() / 2 + Memo->Left() - CancelBtn->Width() / 2);
    OKBtn->SetVisible(true);
}

void TqxMemoDlg::OKBtnClick(TObject *)
{
    okClicked_ = true;
    closingByOK_ = true;
    SetModalResult(mrOk);
}

void TqxMemoDlg::MemoKeyDown(TObject *, uint16_t &key, TShiftState shift)
{
    if ((key == VK_RETURN && shift.Contains(ssCtrl)) || key == VK_F2) {
        key = 0;
        OKBtnClick(this);
    } else if (key == VK_ESCAPE) {
        key = 0;
        SetModalResult(mrCancel);
    }
}

void TqxMemoDlg::KeyPress(char32_t &key)
{
    if (key == 27)
        key = 0;
    TForm::KeyPress(key);
}

void TqxMemoDlg::FormCloseQuery(TObject *, bool &canClose)
{
    canClose = true;
    if (ModalResult() == mrOk && !okClicked_)
        canClose = false;
    else if (Memo->Modified() && !closingByOK_ && editable_) {
        std::string question = qxIntl()->UserMessages()->Text("MemoChangesWarning");
        if (MessageBox(nullptr, question, "Confirm", MB_YESNO | MB_ICONQUESTION) == IDYES)
            SetModalResult(mrCancel);
        else {
            canClose = false;
            SetModalResult(mrNone);
        }
    }
    closingByOK_ = false;
}

void TqxMemoDlg::UserButton1Click(TObject *)
{
    if (dialog_)
        dialog_->OnUserButton1Click(this, Memo);
}

void TqxMemoDlg::UserButton2Click(TObject *)
{
    if (dialog_)
        dialog_->OnUserButton2Click(this, Memo);
}
