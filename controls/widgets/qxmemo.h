#pragma once

#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/stdctrls.h"

#include <string>

class TqxMemoDialog;

// The memo dialog's form: a multi-line edit with OK and Cancel, up to two
// buttons of the application, and a question before changes are dropped.
class TqxMemoDlg : public TForm
{
public:
    explicit TqxMemoDlg(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TMemo *Memo = nullptr;
    TPanel *UserButtonPanel = nullptr;
    TButton *UserButton1 = nullptr;
    TButton *UserButton2 = nullptr;
    TButton *OKBtn = nullptr;
    TButton *CancelBtn = nullptr;

    // Handlers
    void ResizeControls(TObject *sender);
    void OKBtnClick(TObject *sender);
    void FormCloseQuery(TObject *sender, bool &canClose);
    void FormShow(TObject *sender);
    void MemoKeyDown(TObject *sender, uint16_t &key, TShiftState shift);
    void UserButton1Click(TObject *sender);
    void UserButton2Click(TObject *sender);

    // What the dialog component hands over before the form shows.
    void Prepare(TqxMemoDialog *dialog, bool editable, const std::string &caption, TFont *font, TRect bounds);
    bool Editable() const { return editable_; }

protected:
    void KeyPress(char32_t &key) override;
    void Loaded() override;

private:
    TqxMemoDialog *dialog_ = nullptr;
    bool okClicked_ = false;
    bool closingByOK_ = false;
    bool shownOnce_ = false;
    bool editable_ = true;
    std::string caption_;
    TFont font_;
    TRect bounds_;
};
