#include "installer/dialogs/ordlg_InstallType.h"

#include <vector>

#include "installer/dialogs/cmp_TOpenFolderDialog.h"
#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"

const TMetaClass TInstallTypeForm::Class { "TInstallTypeForm", &TBaseInstallForm::Class };

namespace
{
using F = TInstallTypeForm;
// clang-format off
const TClassRegistrar<TInstallTypeForm> registrar({},
    {{"FormCreate", &F::FormCreate}, {"PageControlChange", &F::PageControlChange},
     {"edDestDirChange", &F::edDestDirChange}, {"BrowseBtnClick", &F::BrowseBtnClick},
     {"ProceedBtnClick", &F::ProceedBtnClick}, {"BackBtnClick", &F::BackBtnClick},
     {"CancelBtnClick", &F::CancelBtnClick}},
    {{"ThemeBitmap", &F::ThemeBitmap}, {"TopDescriptionLabel", &F::TopDescriptionLabel},
     {"PageControl", &F::PageControl}, {"TypicalTab", &F::TypicalTab}, {"CompactTab", &F::CompactTab},
     {"FullTab", &F::FullTab}, {"CustomTab", &F::CustomTab}, {"TypicalLabel", &F::TypicalLabel},
     {"CompactLabel", &F::CompactLabel}, {"FullLabel", &F::FullLabel}, {"CustomLabel", &F::CustomLabel},
     {"DirectoryGroupBox", &F::DirectoryGroupBox}, {"edDestDir", &F::edDestDir},
     {"BrowseBtn", &F::BrowseBtn}, {"Divider", &F::Divider}, {"BackBtn", &F::BackBtn},
     {"ProceedBtn", &F::ProceedBtn}, {"CancelBtn", &F::CancelBtn}});
// clang-format on

// The folders of path that do not exist yet, deepest first.
std::vector<std::string> MissingFolders(const std::string &path)
{
    std::vector<std::string> missing;
    for (std::string folder = ExcludeTrailingBackslash(path); folder.size() > 3 && !DirectoryExists(folder);
         folder = ExtractFileDir(folder))
        missing.push_back(folder);
    return missing;
}

} // namespace

TBIFEntry *InitializeInstallTypeFormUnit()
{
    static TBIFEntry *const entry = RegisterInstallForm(TInstallTypeForm::Class, nullptr, 0);
    return entry;
}

TInstallTypeForm::TInstallTypeForm(TComponent *owner)
    : TBaseInstallForm(owner)
{
    SetContainer(CurrentInstallComponent());
    SetManager(FindDialogManager(dmBeforeInstall));
    SetOrder(40);
}

TCustomInstall *TInstallTypeForm::Install() const
{
    return dynamic_cast<TCustomInstall *>(Container());
}

void TInstallTypeForm::FormCreate(TObject *)
{
    ShowThemeBitmap(ThemeBitmap);
    AssignButtonGlyph(BackBtn, "KVRA_BACK");
    AssignButtonGlyph(ProceedBtn, "KVRA_NEXT");
    AssignButtonGlyph(CancelBtn, "KVRA_CANCEL");
}

bool TInstallTypeForm::Skip()
{
    TCustomInstall *install = Install();
    return !install || install->InstallTypes() == TInstallTypeSet { itAlways };
}

void TInstallTypeForm::RefreshPage()
{
    TBaseInstallForm::RefreshPage();
    updating_ = true;
    BackBtn->SetVisible(!IsFirst());
    if (TCustomInstall *install = Install()) {
        const TInstallTypeSet types = install->InstallTypes();
        TypicalTab->SetTabVisible(types.Contains(itDefault));
        CompactTab->SetTabVisible(types.Contains(itCompact));
        CustomTab->SetTabVisible(types.Contains(itCustom));
        FullTab->SetTabVisible(types.Contains(itFull));
        const std::string path = install->GetDestPath();
        DirectoryGroupBox->SetVisible(!path.empty());
        edDestDir->SetText(path);
        switch (install->CurrentInstallType()) {
        case itFull:
            PageControl->SetActivePage(FullTab);
            break;
        case itDefault:
            PageControl->SetActivePage(TypicalTab);
            break;
        case itCompact:
            PageControl->SetActivePage(CompactTab);
            break;
        default:
            PageControl->SetActivePage(CustomTab);
            break;
        }
    }
    updating_ = false;
    FocusIfShown(ProceedBtn);
}

void TInstallTypeForm::PageControlChange(TObject *)
{
    TCustomInstall *install = Install();
    if (updating_ || !install)
        return;
    TTabSheet *page = PageControl->ActivePage();
    const TInstallType type = page == CompactTab ? itCompact
        : page == FullTab                        ? itFull
        : page == CustomTab                      ? itCustom
                                                 : itDefault;
    install->SetCurrentInstallType(type);
}

void TInstallTypeForm::edDestDirChange(TObject *)
{
    TCustomInstall *install = Install();
    if (updating_ || !install)
        return;
    install->SetDestDirType(nullptr);
    install->SetDestDir(edDestDir->Text());
}

void TInstallTypeForm::BrowseBtnClick(TObject *)
{
    TCustomInstall *install = Install();
    if (!install)
        return;
    TOpenFolderDialog browser(nullptr);
    // The browser opens on the destination, made for the look if it does not
    // exist yet; a destination that names no folder of the machine opens it
    // without a start folder and makes nothing.
    std::string path = Trim(install->GetDestPath());
    std::vector<std::string> made;
    if (IsAbsoluteMachinePath(path)) {
        made = MissingFolders(path);
        try {
            if (!made.empty() && !ForceDirectories(path))
                path.clear();
        } catch (const Exception &) {
            path.clear();
        }
        if (path.empty())
            made.clear();
    } else {
        path.clear();
    }
    browser.SetDirectory(path);
    // What was made for the look goes again, deepest first, as far as it is
    // still empty (the user may have made a folder in it, or chosen it).
    struct Tidy {
        std::vector<std::string> &folders;
        ~Tidy()
        {
            for (const std::string &folder : folders)
                if (!RemoveDir(folder))
                    break;
        }
    } tidy { made };
    if (browser.Execute()) {
        install->SetDestDirType(nullptr);
        install->SetDestDir(ExcludeTrailingBackslash(browser.Directory()));
        updating_ = true;
        edDestDir->SetText(install->DestDir());
        updating_ = false;
    }
}

void TInstallTypeForm::ProceedBtnClick(TObject *)
{
    Next();
}

void TInstallTypeForm::BackBtnClick(TObject *)
{
    Previous();
}

void TInstallTypeForm::CancelBtnClick(TObject *)
{
    ConfirmCancel();
}
