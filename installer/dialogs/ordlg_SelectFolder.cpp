#include "installer/dialogs/ordlg_SelectFolder.h"

#include "installer/engine/cmp_TInstallShellLink/cmp_TInstallShellLink.h"
#include "installer/engine/cmp_TProgramManager/cmp_TProgramManager.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_API.h"
#include "installer/engine/routines/routines_ExpandPaths.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"

const TMetaClass TSelectFolderForm::Class { "TSelectFolderForm", &TBaseInstallForm::Class };

namespace
{
using F = TSelectFolderForm;
// clang-format off
const TClassRegistrar<TSelectFolderForm> registrar({},
    {{"FormCreate", &F::FormCreate}, {"FormResize", &F::FormResize},
     {"FolderListBoxClick", &F::FolderListBoxClick}, {"FolderEditChange", &F::FolderEditChange},
     {"ProceedBtnClick", &F::ProceedBtnClick}, {"BackBtnClick", &F::BackBtnClick},
     {"CancelBtnClick", &F::CancelBtnClick}},
    {{"ThemeBitmap", &F::ThemeBitmap}, {"TopDescriptionLabel", &F::TopDescriptionLabel},
     {"Label1", &F::Label1}, {"ProgramFolders", &F::ProgramFolders}, {"FolderEdit", &F::FolderEdit},
     {"Label2", &F::Label2}, {"ExistingFolders", &F::ExistingFolders}, {"Label3", &F::Label3},
     {"FolderListBox", &F::FolderListBox}, {"Label4", &F::Label4}, {"Divider", &F::Divider},
     {"BackBtn", &F::BackBtn}, {"ProceedBtn", &F::ProceedBtn}, {"CancelBtn", &F::CancelBtn}});
// clang-format on
} // namespace

TBIFEntry *InitializeSelectFolderFormUnit()
{
    static TBIFEntry *const entry = RegisterInstallForm(TSelectFolderForm::Class, nullptr, 0);
    return entry;
}

void GetExistingFolders(TStrings &folders)
{
    folders.Clear();
    const int version = GetWindowsVersion();
    if (version == 1 || version == 2) {
        TSearchRec found;
        if (FindFirst(GetProgramsMenuDir() + "\\*.*", faAnyFile, found) == 0) {
            do {
                if ((found.Attr & faDirectory) && found.Name != "." && found.Name != "..")
                    folders.Add(found.Name);
            } while (FindNext(found) == 0);
            FindClose(found);
        }
    } else if (TProgramManager *progman = ProgramManager()) {
        progman->GetGroups(folders);
    }
}

std::string FolderNameFault(const std::string &name)
{
    if (Trim(name).empty())
        return TranslateString("Please type the name of the program folder.");
    if (name.find_first_of("/:*?\"<>|") != std::string::npos
        || std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return TranslateString("A folder name cannot contain any of the following characters: / : * ? \" < > |");
    // Each part between backslashes is one folder below Programs.
    size_t start = 0;
    while (true) {
        const size_t end = name.find('\\', start);
        const std::string part = Trim(name.substr(start, end == std::string::npos ? end : end - start));
        if (part.empty() || part == "." || part == "..")
            return TranslateString("The program folder must be a folder inside the Programs folder of the "
                                   "Start menu.");
        if (end == std::string::npos)
            return "";
        start = end + 1;
    }
}

TSelectFolderForm::TSelectFolderForm(TComponent *owner)
    : TBaseInstallForm(owner)
{
    SetManager(FindDialogManager(dmBeforeInstall));
    SetOrder(60);
    SetContainer(MainLinkGroup());
}

TCustomShellLinkGroup *TSelectFolderForm::LinkGroup() const
{
    return dynamic_cast<TCustomShellLinkGroup *>(Container());
}

void TSelectFolderForm::FormCreate(TObject *)
{
    ShowThemeBitmap(ThemeBitmap);
    AssignButtonGlyph(BackBtn, "KVRA_BACK");
    AssignButtonGlyph(ProceedBtn, "KVRA_NEXT");
    AssignButtonGlyph(CancelBtn, "KVRA_CANCEL");
}

void TSelectFolderForm::FormResize(TObject *)
{
    Label1->SetHeight(18);
    Label3->SetHeight(8);
    Label4->SetHeight(8);
}

void TSelectFolderForm::RefreshPage()
{
    TBaseInstallForm::RefreshPage();
    BackBtn->SetVisible(!IsFirst());
    GetExistingFolders(*FolderListBox->Items());
    std::string current;
    if (TCustomShellLinkGroup *group = LinkGroup();
        group && group->DestDirType() && group->DestDirType()->InheritsFrom(TpsProgramMenu::Class))
        current = ExtractFileName(ExcludeTrailingBackslash(group->DestDir()));
    if (current.empty() && FolderListBox->Items()->Count() > 0)
        current = FolderListBox->Items()->Strings(0);
    FolderEdit->SetText(current);
    FocusIfShown(ProceedBtn);
}

bool TSelectFolderForm::Skip()
{
    return LinkGroup() == nullptr;
}

void TSelectFolderForm::FolderListBoxClick(TObject *)
{
    const int index = FolderListBox->ItemIndex();
    if (index >= 0)
        FolderEdit->SetText(FolderListBox->Items()->Strings(index));
}

void TSelectFolderForm::FolderEditChange(TObject *)
{
    TCustomShellLinkGroup *group = LinkGroup();
    if (!group)
        return;
    TStandardPathSpecList *standard = StandardPathSpecList();
    if (TCustomPathSpecifier *programs = standard ? standard->FindByClass(TpsProgramMenu::Class) : nullptr)
        group->SetDestDirType(programs);
    group->SetDestDir("\\" + FolderEdit->Text());
}

void TSelectFolderForm::ProceedBtnClick(TObject *)
{
    // The name becomes a folder of the machine: one that would lie outside
    // the Programs folder, or that no file system takes, is refused here
    // rather than when the shortcuts are made.
    if (const std::string fault = FolderNameFault(FolderEdit->Text()); !fault.empty()) {
        SetModalResult(mrNone); // alone, Next would end the page
        Application->MessageBox(fault, Caption(), MB_OK | MB_ICONWARNING);
        FocusIfShown(FolderEdit);
        return;
    }
    Next();
}

void TSelectFolderForm::BackBtnClick(TObject *)
{
    Previous();
}

void TSelectFolderForm::CancelBtnClick(TObject *)
{
    ConfirmCancel();
}
