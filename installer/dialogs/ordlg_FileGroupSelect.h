#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/imglist.h"
#include "platform/ui/stdctrls.h"

class TFileContainer;
class TFileGroupSelectForm;


// The file groups as a tree: the install component at the root, its groups
// below. Each row holds the group's include box and its size as cells of
// their own columns, so they stay with the row however the tree scrolls or
// moves by key; the page hears every new selection through OnChange.
class TGroupTreeView : public TTreeView
{
public:
    using TTreeView::TTreeView;
    static constexpr int IncludeColumn = 0;
    static constexpr int GroupColumn = 1;
    static constexpr int SizeColumn = 2;

    TFileContainer *Group(const TTreeNode *node) const;
};

// The drives the selection is installed to: what it needs and what is free.
class TDriveSpaceListView : public TListView
{
public:
    using TListView::TListView;
};

// One drive of the table: the bytes the selection puts there and the bytes
// free (or why that could not be learnt).
struct TDriveSpace {
    char Drive = 0;
    int64_t Required = 0;
    int64_t Available = -1;
    std::string Failure; // empty when the free space is known
};

// The component selection of a custom installation: groups included or
// left out, a group's destination, and the space per drive.
class TFileGroupSelectForm : public TBaseInstallForm
{
public:
    explicit TFileGroupSelectForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TImage *ThemeBitmap = nullptr;
    TTranslateLabel *TopDescriptionLabel = nullptr;
    TTranslateLabel *GroupDescLabel = nullptr;
    TPanel *pnlGroups = nullptr;
    TPanel *pnlDescriptionMemo = nullptr;
    TMemo *DescriptionMemo = nullptr;
    TGroupBox *DirectoryGroupBox = nullptr;
    TEdit *DirectoryLabel = nullptr;
    TTranslateBitBtn *BrowseBtn = nullptr;
    TPanel *pnlDriveSpace = nullptr;
    TImageList *ilDriveSpace = nullptr;
    TPanel *Divider = nullptr;
    TTranslateBitBtn *BackBtn = nullptr;
    TTranslateBitBtn *ProceedBtn = nullptr;
    TTranslateBitBtn *CancelBtn = nullptr;

    // Made by FormCreate
    TGroupTreeView *GroupTree() const { return groupTree_; }
    TDriveSpaceListView *DriveList() const { return driveList_; }
    const std::vector<TDriveSpace> &Drives() const { return drives_; }

    void RefreshPage() override;
    // Outside a custom installation.
    bool Skip() override;

    // The parts of RefreshPage
    void FillGroupTree(TInstallContainer *container);
    void RefreshColumns();
    void FitDriveColumns();
    void FillDriveList(TInstallContainer *container);
    void ShowSelectedGroup();

    // Handlers
    void FormCreate(TObject *sender);
    void DirectoryLabelChange(TObject *sender);
    void BrowseBtnClick(TObject *sender);
    void ProceedBtnClick(TObject *sender);
    void BackBtnClick(TObject *sender);
    void CancelBtnClick(TObject *sender);

private:
    TFileContainer *SelectedGroup() const;
    void IncludeClicked(TTreeNode *node);
    void AddToDrive(char drive, int64_t bytes);
    TGroupTreeView *groupTree_ = nullptr;
    TDriveSpaceListView *driveList_ = nullptr;
    std::vector<TDriveSpace> drives_;
    bool updating_ = false;
};

// The bytes of container's files that will be installed; with its
// sub-groups' when withSubGroups. Counted in 64 bits.
int64_t SelectedSize(TFileContainer *container, bool withSubGroups);

// "1,234,567 Bytes", in the regional settings' digits.
std::string BytesText(int64_t bytes);

// The unit's start-up: registers the page on its own, once; answers that entry.
TBIFEntry *InitializeFileGroupSelectFormUnit();
