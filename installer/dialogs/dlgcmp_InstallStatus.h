#pragma once

#include <memory>
#include <string>

#include "installer/dialogs/dlgcmp_TBaseDlg.h"

class TInstallStatusForm;
class TStringList;

// The status box's component, always on its own: -974 shows a text (and
// stacks it), -973 takes the top text away and shows the one below, or
// hides the box when none is left.
class TInstallStatusDlg : public TCustomBaseInstallDlg
{
public:
    explicit TInstallStatusDlg(TComponent *owner);
    ~TInstallStatusDlg() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const std::string &CurrentText() const { return text_; }
    int TextCount() const; // on the stack
    TInstallStatusForm *StatusForm() const { return statusForm_; } // null until first shown

    const TMetaClass &FormClass() const override;
    // After the form's translation the texts count as English again, so
    // that each new status text is translated from English.
    void Translate() override;
    void DoInstallEvent(TObject *sender, int eventCode, TObject *po) override;

protected:
    void Notification(TComponent *component, TOperation operation) override;

private:
    void ShowText();
    std::string text_;
    std::unique_ptr<TStringList> stack_;
    TInstallStatusForm *statusForm_ = nullptr;
};
