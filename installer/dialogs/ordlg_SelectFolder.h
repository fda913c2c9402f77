#pragma once

#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "platform/ui/stdctrls.h"

class TCustomShellLinkGroup;

// The Start-menu program folder that receives the product's shortcuts: typed,
// or picked from the folders that exist there already. Every change goes
// straight into the link group the page shows.
class TSelectFolderForm : public TBaseInstallForm
{
public:
    explicit TSelectFolderForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TImage *ThemeBitmap = nullptr;
    TTranslateLabel *TopDescriptionLabel = nullptr;
    TLabel *Label1 = nullptr;
    TTranslateLabel *ProgramFolders = nullptr;
    TEdit *FolderEdit = nullptr;
    TLabel *Label2 = nullptr;
    TTranslateLabel *ExistingFolders = nullptr;
    TLabel *Label3 = nullptr;
    TListBox *FolderListBox = nullptr;
    TLabel *Label4 = nullptr;
    TPanel *Divider = nullptr;
    TTranslateBitBtn *BackBtn = nullptr;
    TTranslateBitBtn *ProceedBtn = nullptr;
    TTranslateBitBtn *CancelBtn = nullptr;

    // The page's Container when it is a link group, else null.
    TCustomShellLinkGroup *LinkGroup() const;

    void RefreshPage() override;
    // Without a link group there is nothing to choose.
    bool Skip() override;

    // Handlers
    void FormCreate(TObject *sender);
    void FormResize(TObject *sender);
    void FolderListBoxClick(TObject *sender);
    void FolderEditChange(TObject *sender);
    void ProceedBtnClick(TObject *sender);
    void BackBtnClick(TObject *sender);
    void CancelBtnClick(TObject *sender);
};

// The program folders there are already: the Programs folder's sub-folders
// on Windows with a Start menu, Program Manager's groups on the others.
void GetExistingFolders(TStrings &folders);

// Why a folder name cannot be the shortcuts' folder, or "" when it can: it
// must name a folder below the Programs folder (sub-folders allowed).
std::string FolderNameFault(const std::string &name);

// The unit's start-up: registers the page on its own, once; answers that entry.
TBIFEntry *InitializeSelectFolderFormUnit();
