#pragma once

#include "installer/dialogs/dlgcmp_TBaseDlg.h"
#include "platform/rtl/pointerlist.h"
#include "platform/ui/buttons.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"

// The wizard frame and the bases of the forms it and the managers show.

class TBaseInstallForm;

// The window of one wizard: its pages lie one over the other on
// DisplayPanel, the current one on top; Next and Previous move between the
// pages that do not skip. Only Finish (Next past the last page) or Cancel
// ends it; its close box does nothing.
class TBaseFormContainer : public TForm
{
public:
    explicit TBaseFormContainer(TComponent *owner);
    ~TBaseFormContainer() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Components of the form resource
    TPanel *DisplayPanel = nullptr;
    TTabControl *Tabs = nullptr;

    // Pages, in the order they are shown
    // Makes the current manager's pages; answers how many there are.
    int BuildPages();
    int PageCount() const { return pages_.Count(); }
    TBaseInstallForm *Pages(int index) const { return pages_.Items(index); }
    int CurrentPage() const; // the tab index
    // Shows the page at index, or the first one from there (towards the
    // start when backward) that does not skip; false when there is none.
    bool ShowPage(int index, bool backward);
    virtual void NextPage();
    virtual void PreviousPage();
    bool Finished() const { return finished_; }
    virtual void PlaceForm(TKelvaraDialogPosition position, int relativeLeft, int relativeTop);

    // Handlers
    void FormCreate(TObject *sender);
    void FormShow(TObject *sender);
    void FormResize(TObject *sender);
    void FormDestroy(TObject *sender);
    void FormClose(TObject *sender, TCloseAction &action);
    void TabsChange(TObject *sender);
    void TabsChanging(TObject *sender, bool &allowChange);

private:
    void Finish();
    TPointerList<TBaseInstallForm> pages_;
    bool resizing_ = false;
    bool finished_ = false;
};

// A wizard page. Inside a frame (its owner) it is a borderless child window
// over the frame's display area; made alone it is an ordinary modal dialog.
class TBaseInstallForm : public TBaseKelvaraForm
{
public:
    explicit TBaseInstallForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TCustomBaseInstallDlg *Dialog() const { return dialog_; }
    void SetDialog(TCustomBaseInstallDlg *value) { dialog_ = value; }
    TDialogManager *Manager() const { return manager_; }
    void SetManager(TDialogManager *value) { manager_ = value; }
    int Order() const { return order_; }
    void SetOrder(int value) { order_ = value; }
    TBaseFormContainer *Frame() const; // the owner, when it is a frame

    // Place among the pages
    virtual bool IsFirst() const;
    virtual bool IsLast() const;
    // Moving on and back
    virtual void Leave() { }
    // Ends the wizard (or the page alone) with mrCancel, without asking.
    virtual void Cancel();
    virtual void Next();
    virtual void Previous();
    // The page becomes the current one: it reads its install objects again.
    virtual void ActivatePage();
    virtual bool Skip() { return false; }
    // Cancel after the install component's abort confirmation.
    virtual void ConfirmCancel();

    void AssignInstallThemeBitmap(TPicture *picture);
    // The install's theme picture in image, unless the form resource gave it one.
    void ShowThemeBitmap(TImage *image);

protected:
    void CreateParams(TCreateParams &params) override;
    void Loaded() override;
    // Focuses control when it and the page are visible; answers whether it did.
    bool FocusIfShown(TWinControl *control);
    // Back on every page but the first, Next or else Finish on the last one.
    void ShowWayButtons(TControl *back, TControl *proceed, TControl *finish);

private:
    TCustomForm *Host() const; // the frame, or the page itself when alone
    TCustomBaseInstallDlg *dialog_ = nullptr;
    TDialogManager *manager_ = nullptr;
    int order_ = 0;
};

// The modeless forms that follow the copy, opened by the during-copy manager.
class TBaseDuringCopyForm : public TBaseKelvaraForm
{
public:
    explicit TBaseDuringCopyForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TDialogManager *Manager() const { return manager_; }
    void SetManager(TDialogManager *value) { manager_ = value; }

    // After the abort confirmation, stops the copy and the download at
    // their next check.
    virtual void Cancel();
    using TBaseKelvaraForm::Update;
    virtual void Update(TFileStatusParameter *fileStatus, TDownloadStatusParameter *downloadStatus);

private:
    TDialogManager *manager_ = nullptr;
};

// The next-disk prompt's base.
class TBaseChangeDiskForm : public TBaseKelvaraForm
{
public:
    explicit TBaseChangeDiskForm(TComponent *owner);
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TDialogManager *Manager() const { return manager_; }
    void SetManager(TDialogManager *value) { manager_ = value; }
    TDiskParameter *DiskParameter() const { return diskParameter_; }
    void SetDiskParameter(TDiskParameter *value) { diskParameter_ = value; }

    // mrCancel after the abort confirmation.
    virtual void Cancel();

private:
    TDialogManager *manager_ = nullptr;
    TDiskParameter *diskParameter_ = nullptr;
};

// The install component's answer to a Cancel: yes without one.
bool ConfirmInstallAbort();

// The glyph of a page's button from the bitmaps compiled into the program
// ("KVRA_BACK", "KVRA_NEXT", "KVRA_CANCEL", "KVRA_FINISH"); a missing one
// leaves the button as it is.
void AssignButtonGlyph(TBitBtn *button, const std::string &resourceName);
