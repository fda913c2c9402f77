#include "installer/dialogs/ordlg_FileGroupSelect.h"

#include <cctype>

#include "installer/dialogs/cmp_TOpenFolderDialog.h"
#include "installer/engine/cmp_TFileContainer/cmp_TFileContainer.h"
#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TInstallFile/cmp_TInstallFile.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/windows.h"
#include "platform/ui/forms.h"

const TMetaClass TFileGroupSelectForm::Class { "TFileGroupSelectForm", &TBaseInstallForm::Class };

namespace
{
using F = TFileGroupSelectForm;
// clang-format off
const TClassRegistrar<TFileGroupSelectForm> registrar({},
    {{"FormCreate", &F::FormCreate}, {"DirectoryLabelChange", &F::DirectoryLabelChange},
     {"BrowseBtnClick", &F::BrowseBtnClick}, {"ProceedBtnClick", &F::ProceedBtnClick},
     {"BackBtnClick", &F::BackBtnClick}, {"CancelBtnClick", &F::CancelBtnClick}},
    {{"ThemeBitmap", &F::ThemeBitmap}, {"TopDescriptionLabel", &F::TopDescriptionLabel},
     {"GroupDescLabel", &F::GroupDescLabel}, {"pnlGroups", &F::pnlGroups},
     {"pnlDescriptionMemo", &F::pnlDescriptionMemo}, {"DescriptionMemo", &F::DescriptionMemo},
     {"DirectoryGroupBox", &F::DirectoryGroupBox}, {"DirectoryLabel", &F::DirectoryLabel},
     {"BrowseBtn", &F::BrowseBtn}, {"pnlDriveSpace", &F::pnlDriveSpace}, {"ilDriveSpace", &F::ilDriveSpace},
     {"Divider", &F::Divider}, {"BackBtn", &F::BackBtn}, {"ProceedBtn", &F::ProceedBtn},
     {"CancelBtn", &F::CancelBtn}});
// clang-format on

constexpr int DriveImage = 0;
constexpr int WarningImage = 1;
// The widths the page's columns start from; a figure that needs more widens its column.
constexpr int SizeWidth = 93;
constexpr int DriveWidth = 50;
constexpr int SpaceWidth = 120;
// What a view draws around a cell's text, on both sides together.
constexpr int CellMargins = 12;

// The width that shows every one of texts whole in a cell of the view, and
// never less than least.
int FittingWidth(TWinControl *view, const std::vector<std::string> &texts, int least)
{
    TBitmap measure;
    measure.Canvas()->Font()->Assign(view->Font());
    int width = least;
    for (const std::string &text : texts)
        width = std::max(width, measure.Canvas()->TextWidth(text) + CellMargins);
    return width;
}

TFileContainer *CheckedContainer(TInstallContainer *container, const std::string &treeName)
{
    if (!container)
        throw IEFileGroupSelectForm("Cannot show the install file groups dialog for blank container property");
    auto *files = dynamic_cast<TFileContainer *>(container);
    if (!files)
        throw IEFileGroupSelectForm("Container is not a TFileContainer for %s", treeName);
    return files;
}

void AddGroupNodes(TTreeNodes *nodes, TTreeNode *parent, TFileContainer *container)
{
    for (int i = 0; i < container->FileContainerCount(); ++i)
        if (auto *child = dynamic_cast<TFileContainer *>(container->FileContainers(i))) {
            TTreeNode *node = nodes->AddChildObject(parent, TranslateString(child->GroupName()), child);
            AddGroupNodes(nodes, node, child);
        }
}

// The drive a destination lies on, or 0 when it names none ("\x" or a
// relative path: the machine would take them on no drive of their own).
char DriveOf(const std::string &path)
{
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])))
        return static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    return 0;
}

} // namespace

int64_t SelectedSize(TFileContainer *container, bool withSubGroups)
{
    int64_t total = 0;
    for (int i = 0; i < container->ChildCount(); ++i) {
        TInstallObject *child = container->Child(i);
        if (!child->ShouldInstall())
            continue;
        if (auto *file = dynamic_cast<TCustomInstallFile *>(child))
            total += file->UncompressedSize();
        else if (auto *group = dynamic_cast<TFileContainer *>(child); group && withSubGroups)
            total += SelectedSize(group, true);
    }
    return total;
}

std::string BytesText(int64_t bytes)
{
    return Format("%0.0n %s", static_cast<double>(bytes), TranslateString("Bytes"));
}

TBIFEntry *InitializeFileGroupSelectFormUnit()
{
    static TBIFEntry *const entry = RegisterInstallForm(TFileGroupSelectForm::Class, nullptr, 0);
    return entry;
}

// ---- The tree

TFileContainer *TGroupTreeView::Group(const TTreeNode *node) const
{
    return node ? static_cast<TFileContainer *>(node->Data()) : nullptr;
}

// ---- The page

TFileGroupSelectForm::TFileGroupSelectForm(TComponent *owner)
    : TBaseInstallForm(owner)
{
    SetContainer(CurrentInstallComponent());
    SetManager(FindDialogManager(dmBeforeInstall));
    SetOrder(50);
}

void TFileGroupSelectForm::FormCreate(TObject *)
{
    ShowThemeBitmap(ThemeBitmap);
    AssignButtonGlyph(BackBtn, "KVRA_BACK");
    AssignButtonGlyph(ProceedBtn, "KVRA_NEXT");
    AssignButtonGlyph(CancelBtn, "KVRA_CANCEL");
    if (ilDriveSpace->Count() == 0 && BitmapResourceExists("KVRA_DRIVE") && BitmapResourceExists("KVRA_WARNING")) {
        ilDriveSpace->AddResource("KVRA_DRIVE");
        ilDriveSpace->AddResource("KVRA_WARNING");
    }

    groupTree_ = new TGroupTreeView(this);
    groupTree_->SetName("GroupTree");
    groupTree_->SetParent(pnlGroups);
    groupTree_->SetAlign(alClient);
    groupTree_->SetBorderStyle(bsNone);
    groupTree_->SetHideSelection(false);
    groupTree_->SetReadOnly(true);
    groupTree_->AddColumn("", 20);
    groupTree_->AddColumn("", -1);
    groupTree_->AddColumn("", 93, taRightJustify);
    groupTree_->SetTreeColumn(TGroupTreeView::GroupColumn);
    groupTree_->SetCheckColumn(TGroupTreeView::IncludeColumn);
    groupTree_->SetCheckBoxes(true);
    groupTree_->OnCheckStateChanged = [this](TObject *, TTreeNode *node) { IncludeClicked(node); };
    groupTree_->OnChange = [this](TObject *, TTreeNode *) { ShowSelectedGroup(); };
    groupTree_->OnClick = [this](TObject *) { ShowSelectedGroup(); };

    driveList_ = new TDriveSpaceListView(this);
    driveList_->SetName("DriveList");
    driveList_->SetParent(pnlDriveSpace);
    driveList_->SetAlign(alClient);
    driveList_->SetSmallImages(ilDriveSpace);
    driveList_->SetStateImages(ilDriveSpace);
    driveList_->SetViewStyle(vsReport);
    driveList_->SetColumnClick(false);
    driveList_->SetIconArrangement(iaTop);
    driveList_->SetWrapText(false);
    driveList_->SetReadOnly(true);
    driveList_->AddColumn("", DriveWidth);
    driveList_->AddColumn(TranslateString("Space Required:"), SpaceWidth, taRightJustify);
    driveList_->AddColumn(TranslateString("Space Available:"), SpaceWidth, taRightJustify);
}

bool TFileGroupSelectForm::Skip()
{
    TInstallContainer *container = Container();
    if (!container)
        return true;
    const TInstallType type = container->CurrentInstallType();
    return type != itAlways && type != itCustom;
}

void TFileGroupSelectForm::RefreshPage()
{
    TBaseInstallForm::RefreshPage();
    BackBtn->SetVisible(!IsFirst());
    FillGroupTree(Container());
    RefreshColumns();
    FillDriveList(Container());
    ShowSelectedGroup();
    FocusIfShown(ProceedBtn);
}

TFileContainer *TFileGroupSelectForm::SelectedGroup() const
{
    return groupTree_ ? groupTree_->Group(groupTree_->Selected()) : nullptr;
}

void TFileGroupSelectForm::FillGroupTree(TInstallContainer *container)
{
    TFileContainer *root = CheckedContainer(container, groupTree_->Name());
    TTreeNodes *nodes = groupTree_->Items();
    nodes->BeginUpdate();
    try {
        nodes->Clear();
        TTreeNode *top = nodes->AddChildObject(nullptr, TranslateString(root->GroupName()), root);
        AddGroupNodes(nodes, top, root);
        groupTree_->SetSelected(top);
        top->Expand(false);
    } catch (...) {
        nodes->EndUpdate();
        throw;
    }
    nodes->EndUpdate();
    groupTree_->SetSelected(nodes->GetFirstNode());
}

void TFileGroupSelectForm::RefreshColumns()
{
    std::vector<std::string> sizes;
    for (TTreeNode *node = groupTree_->Items()->GetFirstNode(); node; node = node->GetNext()) {
        TFileContainer *group = groupTree_->Group(node);
        node->SetChecked(group->ShouldInstall());
        node->SetCheckEnabled(group->AllowChoice());
        sizes.push_back(BytesText(SelectedSize(group, true)));
        node->SetColumnText(TGroupTreeView::SizeColumn, sizes.back());
    }
    TTreeColumn column = groupTree_->Column(TGroupTreeView::SizeColumn);
    column.Width = FittingWidth(groupTree_, sizes, SizeWidth);
    if (column.Width != groupTree_->Column(TGroupTreeView::SizeColumn).Width)
        groupTree_->SetColumn(TGroupTreeView::SizeColumn, column);
}

void TFileGroupSelectForm::FitDriveColumns()
{
    // The drive letter's column keeps its width; each other column shows its
    // caption and figures whole, and the last one, the free space or why it
    // is not known, also takes what is left of the row.
    const int count = driveList_->ColumnCount();
    int used = DriveWidth;
    for (int c = 1; c < count; ++c) {
        std::vector<std::string> texts { driveList_->Column(c).Caption };
        for (int i = 0; i < driveList_->Items()->Count(); ++i)
            texts.push_back(driveList_->Items()->Item(i)->SubItems()->Strings(c - 1));
        const int least = c + 1 < count ? SpaceWidth : std::max(SpaceWidth, pnlDriveSpace->ClientWidth() - used - 4);
        TListColumn column = driveList_->Column(c);
        column.Width = FittingWidth(driveList_, texts, least);
        used += column.Width;
        if (column.Width != driveList_->Column(c).Width)
            driveList_->SetColumn(c, column);
    }
}

void TFileGroupSelectForm::IncludeClicked(TTreeNode *node)
{
    TFileContainer *group = groupTree_->Group(node);
    if (!group)
        return;
    group->SetInclude(node->Checked());
    RefreshColumns();
    ShowSelectedGroup();
    FillDriveList(Container());
}

void TFileGroupSelectForm::ShowSelectedGroup()
{
    TFileContainer *group = SelectedGroup();
    if (!group)
        return;
    updating_ = true;
    DirectoryLabel->SetText(group->GetDestPath());
    BrowseBtn->SetEnabled(group->AllowChangeDir());
    // A destination the group does not let change cannot be typed over either.
    DirectoryLabel->SetReadOnly(!group->AllowChangeDir());
    const bool described = group->Description() && group->Description()->Count() > 0;
    pnlDescriptionMemo->SetVisible(described);
    DescriptionMemo->SetVisible(described);
    GroupDescLabel->SetVisible(described);
    if (described) {
        if (TTranslator *translator = GlobalTranslator()) {
            TStringList lines;
            translator->TranslateMemo(klEnglish, *group->Description(), lines);
            DescriptionMemo->Lines()->Assign(lines);
        } else {
            DescriptionMemo->Lines()->Assign(*group->Description());
        }
        Application->ProcessMessages();
    }
    groupTree_->Repaint();
    updating_ = false;
}

void TFileGroupSelectForm::DirectoryLabelChange(TObject *)
{
    TFileContainer *group = SelectedGroup();
    if (updating_ || !group)
        return;
    group->SetDestDirType(nullptr);
    group->SetDestDir(DirectoryLabel->Text());
    // The table follows the destination, so a drive that cannot be read
    // shows at once and another one can be typed.
    FillDriveList(Container());
}

void TFileGroupSelectForm::BrowseBtnClick(TObject *)
{
    TFileContainer *group = SelectedGroup();
    if (!group)
        return;
    TOpenFolderDialog browser(nullptr);
    if (const std::string path = group->GetDestPath(); IsAbsoluteMachinePath(path))
        browser.SetDirectory(path);
    if (browser.Execute()) {
        group->SetDestDirType(nullptr);
        group->SetDestDir(ExcludeTrailingBackslash(browser.Directory()));
    }
    ShowSelectedGroup();
    FillDriveList(Container());
}

void TFileGroupSelectForm::AddToDrive(char drive, int64_t bytes)
{
    for (TDriveSpace &row : drives_)
        if (row.Drive == drive) {
            row.Required += bytes;
            return;
        }
    TDriveSpace row;
    row.Drive = drive;
    row.Required = bytes;
    const std::string root = std::string(1, drive) + ":\\";
    uint64_t available = 0, total = 0, free = 0;
    if (GetDiskFreeSpaceEx(root, available, total, free)) {
        row.Available = static_cast<int64_t>(available);
    } else {
        // The row says what is wrong; the user can choose another folder.
        const std::string name = std::string(1, drive) + ":";
        row.Failure = DirectoryExists(root)
            ? "Cambie la ruta \"" + name + "\" por otra que comience especificando una UNIDAD DE DISCO"
            : "Ruta \"" + name + "\" no existe o no hay disco colocado";
    }
    drives_.push_back(row);
}

void TFileGroupSelectForm::FillDriveList(TInstallContainer *container)
{
    TFileContainer *root = CheckedContainer(container, groupTree_->Name());
    drives_.clear();
    // Depth first from the container; an excluded group still claims its
    // drive (with nothing), but what lies below it is not looked at.
    std::vector<TFileContainer *> pending { root };
    while (!pending.empty()) {
        TFileContainer *object = pending.back();
        pending.pop_back();
        const bool selected = object->ShouldInstall();
        if (const char drive = DriveOf(UpperCase(object->GetDestPath())))
            AddToDrive(drive, selected ? SelectedSize(object, false) : 0);
        if (!selected)
            continue;
        for (int i = object->FileContainerCount() - 1; i >= 0; --i)
            if (auto *child = dynamic_cast<TFileContainer *>(object->FileContainers(i)))
                pending.push_back(child);
    }
    TListItems *items = driveList_->Items();
    items->BeginUpdate();
    items->Clear();
    for (const TDriveSpace &row : drives_) {
        TListItem *item = items->Add();
        item->SetCaption(Format("%s", std::string(1, row.Drive)));
        item->SubItems()->Add(BytesText(row.Required));
        item->SubItems()->Add(row.Failure.empty() ? BytesText(row.Available) : row.Failure);
        item->SetImageIndex(DriveImage);
        item->SetStateIndex(row.Failure.empty() && row.Available > row.Required ? -1 : WarningImage);
    }
    items->EndUpdate();
    FitDriveColumns();
    const int rows = static_cast<int>(drives_.size());
    pnlDriveSpace->SetHeight(rows > 2 ? 61 : rows * 18 + 25);
}

void TFileGroupSelectForm::ProceedBtnClick(TObject *)
{
    Next();
}

void TFileGroupSelectForm::BackBtnClick(TObject *)
{
    Previous();
}

void TFileGroupSelectForm::CancelBtnClick(TObject *)
{
    ConfirmCancel();
}
