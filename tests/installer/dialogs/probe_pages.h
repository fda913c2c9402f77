// Pages for the frame and manager tests, shown after a good install so that
// no page of the product joins them: each is made for a probe component
// that says its order and whether it skips, and each page writes what
// happens to it into a journal.
#pragma once

#include <string>
#include <vector>

#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/dialogs/dlgcmp_TBaseDlg.h"
#include "platform/ui/buttons.h"

namespace wizard_test
{

std::vector<std::string> &PageJournal();
int LiveProbePages();

class TProbeDlg;

// A page with Previous, Next and Cancel that calls the page operations.
class TProbePage : public TBaseInstallForm
{
public:
    explicit TProbePage(TComponent *owner);
    ~TProbePage() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TButton *BackBtn = nullptr;
    TButton *ProceedBtn = nullptr;
    TButton *CancelBtn = nullptr;

    bool Skip() override;
    void Leave() override;
    void RefreshPage() override;
    void BackBtnClick(TObject *sender);
    void ProceedBtnClick(TObject *sender);
    void CancelBtnClick(TObject *sender);
};

class TProbeDlg : public TBaseInstallDlg
{
public:
    explicit TProbeDlg(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const TMetaClass &FormClass() const override { return TProbePage::Class; }
    bool CanShow() override { return ShowIt; }
    void AssignDialogProperties() override;

    bool SkipIt = false;
    bool ShowIt = true;
};

// A copy-progress window that writes down every update it gets.
class TProbeCopyForm : public TBaseDuringCopyForm
{
public:
    explicit TProbeCopyForm(TComponent *owner);
    ~TProbeCopyForm() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    using TBaseDuringCopyForm::Update;
    void Update(TFileStatusParameter *fileStatus, TDownloadStatusParameter *downloadStatus) override;
};
int LiveCopyForms();

class TProbeCopyDlg : public TBaseInstallDlg
{
public:
    explicit TProbeCopyDlg(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    const TMetaClass &FormClass() const override { return TProbeCopyForm::Class; }
};

// A next-disk prompt that answers from a script.
class TProbeDiskForm : public TBaseChangeDiskForm
{
public:
    explicit TProbeDiskForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

class TProbeDiskDlg : public TBaseInstallDlg
{
public:
    explicit TProbeDiskDlg(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    const TMetaClass &FormClass() const override { return TProbeDiskForm::Class; }
};

} // namespace wizard_test
