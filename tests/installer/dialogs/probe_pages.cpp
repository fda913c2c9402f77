#include "tests/installer/dialogs/probe_pages.h"

#include "platform/classes/filer.h"
#include "platform/classes/typinfo.h"

namespace wizard_test
{

const TMetaClass TProbePage::Class { "TProbePage", &TBaseInstallForm::Class };
const TMetaClass TProbeDlg::Class { "TProbeDlg", &TBaseInstallDlg::Class };
const TMetaClass TProbeCopyForm::Class { "TProbeCopyForm", &TBaseDuringCopyForm::Class };
const TMetaClass TProbeCopyDlg::Class { "TProbeCopyDlg", &TBaseInstallDlg::Class };
const TMetaClass TProbeDiskForm::Class { "TProbeDiskForm", &TBaseChangeDiskForm::Class };
const TMetaClass TProbeDiskDlg::Class { "TProbeDiskDlg", &TBaseInstallDlg::Class };

namespace
{
int live = 0;

using F = TProbePage;
// clang-format off
const TClassRegistrar<TProbePage> pageRegistrar({},
    {{"BackBtnClick", &F::BackBtnClick}, {"ProceedBtnClick", &F::ProceedBtnClick},
     {"CancelBtnClick", &F::CancelBtnClick}},
    {{"BackBtn", &F::BackBtn}, {"ProceedBtn", &F::ProceedBtn}, {"CancelBtn", &F::CancelBtn}});
// clang-format on
const TClassRegistrar<TProbeDlg> dialogRegistrar({});
const TClassRegistrar<TProbeCopyForm> copyFormRegistrar({});
const TClassRegistrar<TProbeCopyDlg> copyDialogRegistrar({});
const TClassRegistrar<TProbeDiskForm> diskFormRegistrar({});
const TClassRegistrar<TProbeDiskDlg> diskDialogRegistrar({});
int liveCopyForms = 0;
const bool registered = (RegisterClasses({ &TProbePage::Class, &TProbeDlg::Class, &TProbeCopyForm::Class,
                             &TProbeCopyDlg::Class, &TProbeDiskForm::Class, &TProbeDiskDlg::Class }),
    true);

const TFormResourceRegistrar copyResource("TProbeCopyForm", "probe_pages.dfm",
    "object ProbeCopyForm: TProbeCopyForm\n  BorderStyle = bsDialog\n  Caption = 'Copying'\nend\n");
const TFormResourceRegistrar diskResource("TProbeDiskForm", "probe_pages.dfm",
    "object ProbeDiskForm: TProbeDiskForm\n  BorderStyle = bsDialog\n  Caption = 'Disk'\nend\n");

const TFormResourceRegistrar resource("TProbePage", "probe_pages.dfm",
    "object ProbePage: TProbePage\n"
    "  BorderStyle = bsDialog\n"
    "  Caption = 'Probe'\n"
    "  ClientHeight = 370\n"
    "  ClientWidth = 544\n"
    "  object BackBtn: TButton\n"
    "    Left = 262\n    Top = 330\n    Width = 87\n    Height = 26\n"
    "    Caption = '< Previous'\n    TabOrder = 0\n    OnClick = BackBtnClick\n"
    "  end\n"
    "  object ProceedBtn: TButton\n"
    "    Left = 352\n    Top = 330\n    Width = 87\n    Height = 26\n"
    "    Caption = 'Next >'\n    Default = True\n    TabOrder = 1\n    OnClick = ProceedBtnClick\n"
    "  end\n"
    "  object CancelBtn: TButton\n"
    "    Left = 446\n    Top = 330\n    Width = 87\n    Height = 26\n"
    "    Caption = 'Cancel'\n    Cancel = True\n    TabOrder = 2\n    OnClick = CancelBtnClick\n"
    "  end\n"
    "end\n");
} // namespace

std::vector<std::string> &PageJournal()
{
    static std::vector<std::string> journal;
    return journal;
}

int LiveProbePages()
{
    return live;
}

TProbePage::TProbePage(TComponent *owner)
    : TBaseInstallForm(owner)
{
    ++live;
    SetManager(FindDialogManager(dmAfterGoodInstall));
}

TProbePage::~TProbePage()
{
    --live;
}

bool TProbePage::Skip()
{
    auto *dialog = dynamic_cast<TProbeDlg *>(Dialog());
    return dialog && dialog->SkipIt;
}

void TProbePage::Leave()
{
    PageJournal().push_back(Caption() + " leave");
}

void TProbePage::RefreshPage()
{
    TBaseInstallForm::RefreshPage();
    PageJournal().push_back(Caption() + " shown");
    BackBtn->SetVisible(!IsFirst());
    FocusIfShown(ProceedBtn);
}

void TProbePage::BackBtnClick(TObject *)
{
    Previous();
}
void TProbePage::ProceedBtnClick(TObject *)
{
    Next();
}
void TProbePage::CancelBtnClick(TObject *)
{
    ConfirmCancel();
}

TProbeDlg::TProbeDlg(TComponent *owner)
    : TBaseInstallDlg(owner)
{
    JoinInstallRegistry(dmAfterGoodInstall, 0);
}

void TProbeDlg::AssignDialogProperties()
{
    TBaseInstallDlg::AssignDialogProperties();
    Form()->SetCaption(Name());
}

TProbeCopyForm::TProbeCopyForm(TComponent *owner)
    : TBaseDuringCopyForm(owner)
{
    ++liveCopyForms;
    SetManager(FindDialogManager(dmDuringCopyFiles));
}

TProbeCopyForm::~TProbeCopyForm()
{
    --liveCopyForms;
}

int LiveCopyForms()
{
    return liveCopyForms;
}

void TProbeCopyForm::Update(TFileStatusParameter *fileStatus, TDownloadStatusParameter *downloadStatus)
{
    if (fileStatus)
        PageJournal().push_back(
            "file " + fileStatus->FileName + " " + std::to_string(fileStatus->TotalPercent));
    if (downloadStatus)
        PageJournal().push_back("download " + downloadStatus->FileName);
}

TProbeCopyDlg::TProbeCopyDlg(TComponent *owner)
    : TBaseInstallDlg(owner)
{
    JoinDuringCopyRegistry(dmDuringCopyFiles);
    SetWidth(474);
    SetHeight(146);
    SetPosition(kdpBottomCenter);
    SetRelativeTopOffset(30);
}

TProbeDiskForm::TProbeDiskForm(TComponent *owner)
    : TBaseChangeDiskForm(owner)
{
    SetManager(FindDialogManager(dmChangeDisk));
}

TProbeDiskDlg::TProbeDiskDlg(TComponent *owner)
    : TBaseInstallDlg(owner)
{
    JoinChangeDiskRegistry(dmChangeDisk);
}

} // namespace wizard_test
