#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "installer/engine/cmp_TInstallContainer/cmp_TInstallContainer.h"
#include "platform/rtl/pointerlist.h"
#include "platform/ui/geometry.h"

// The wizard's framework: dialog managers, which turn the engine's install
// events into windows; the three registries of the form classes those windows
// are made of; and the base of the non-visual dialog components that carry a
// page's settings in the setup program's configuration.

class TBaseDuringCopyForm;
class TCustomBaseInstallDlg;
class TCustomForm;
class TPicture;

// ---- Kinds and places ------------------------------------------------------------------

enum TManagerType : uint8_t {
    dmBeforeInstall,
    dmAfterGoodInstall,
    dmAfterBadInstall,
    dmDuringCopyFiles,
    dmChangeDisk,
    dmReboot
};
extern const TEnumNames ManagerTypeNames;

enum TKelvaraDialogPosition : uint8_t {
    kdpCenterLeft,
    kdpCenter,
    kdpCenterRight,
    kdpBottomLeft,
    kdpBottomCenter,
    kdpBottomRight,
    kdpTopLeft,
    kdpTopCenter,
    kdpTopRight
};
extern const TEnumNames KelvaraDialogPositionNames;

// Where a window of width x height goes on the screen: centred, or flush with
// an edge, moved by the two offsets (away from a right or bottom edge). The
// bottom row leaves room for the caption height; halves round to even.
TPoint KelvaraDialogPlace(
    TKelvaraDialogPosition position, int relativeLeft, int relativeTop, int width, int height);

// ---- Form registries ---------------------------------------------------------------------

// One registered form class, with the dialog component that registered it
// (null for a form unit's own registration). Value is carried, never read.
struct TFormRegistryEntry {
    const TMetaClass *FormClass = nullptr;
    TCustomBaseInstallDlg *Dialog = nullptr;
    int Value = 0;
};
using TBIFEntry = TFormRegistryEntry; // install pages
using TDCFEntry = TFormRegistryEntry; // during-copy forms
using TBCDFEntry = TFormRegistryEntry; // change-disk forms

// Registered form classes in registration order; owns its entries.
class TFormRegistry
{
public:
    TFormRegistryEntry *Add(const TMetaClass &formClass, TCustomBaseInstallDlg *dialog, int value);
    void Remove(const TFormRegistryEntry *entry); // not listed: nothing happens
    int Count() const { return static_cast<int>(entries_.size()); }
    TFormRegistryEntry *Items(int index) const; // EListError outside 0..Count-1

private:
    std::vector<std::unique_ptr<TFormRegistryEntry>> entries_;
};

// The process-wide registries; null once the program has begun to end.
TFormRegistry *InstallFormRegistry();
TFormRegistry *DuringCopyFormRegistry();
TFormRegistry *ChangeDiskFormRegistry();

TBIFEntry *RegisterInstallForm(const TMetaClass &formClass, TCustomBaseInstallDlg *dialog, int value);
void UnregisterInstallForm(const TBIFEntry *entry);
int InstallFormCount();
// Exception "%d is an invalid index in the BIFList" outside the registry.
TBIFEntry *InstallFormEntry(int index);
TDCFEntry *RegisterDuringCopyForm(const TMetaClass &formClass, TCustomBaseInstallDlg *dialog, int value);
void UnregisterDuringCopyForm(const TDCFEntry *entry);
TBCDFEntry *RegisterChangeDiskForm(const TMetaClass &formClass, TCustomBaseInstallDlg *dialog, int value);
void UnregisterChangeDiskForm(const TBCDFEntry *entry);

// ---- Dialog managers ------------------------------------------------------------------------

class TDialogManager;

// The first dialog manager of this kind, in the order install containers were
// made, whose Container is the current install component; null when none.
TDialogManager *FindDialogManager(TManagerType kind);
// The manager showing its wizard or next-disk prompt now, else null.
TDialogManager *CurrentDialogManager();

// Stands for one moment of the wizard: before the install, after a good or a
// bad one, while copying, at a disk change, before a restart. The matching
// install event becomes a modal wizard of pages, the modeless copy forms, or
// the modal next-disk prompt. Not installable; it hears broadcasts (9000).
class TDialogManager : public TInstallObject
{
public:
    explicit TDialogManager(TComponent *owner);
    ~TDialogManager() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Kind
    TManagerType ManagerType() const { return managerType_; }
    void SetManagerType(TManagerType value) { managerType_ = value; }

    // The wizard frame's size and place on the screen
    int Width() const { return width_; }
    void SetWidth(int value) { width_ = value; }
    int Height() const { return height_; }
    void SetHeight(int value) { height_ = value; }
    TKelvaraDialogPosition Position() const { return position_; }
    void SetPosition(TKelvaraDialogPosition value) { position_ = value; }
    int RelativeLeftOffset() const { return relativeLeftOffset_; }
    void SetRelativeLeftOffset(int value) { relativeLeftOffset_ = value; }
    int RelativeTopOffset() const { return relativeTopOffset_; }
    void SetRelativeTopOffset(int value) { relativeTopOffset_ = value; }
    void SetOrder(int value) override { MoveToOrder(value); }

    // Windows
    virtual void ShowWizard();
    virtual void ShowChangeDisk(TObject *po);
    virtual void AddDialog(TCustomBaseInstallDlg *dialog);
    virtual void RemoveDialog(TCustomBaseInstallDlg *dialog);
    int DialogCount() const { return dialogs_.Count(); }

    // The modeless forms that follow the copy
    void CreateDuringCopyForms();
    void UpdateDuringCopyForms(TFileStatusParameter *fileStatus, TDownloadStatusParameter *downloadStatus);
    void CloseDuringCopyForms();
    int DuringCopyFormCount() const { return duringCopyForms_.Count(); }
    TBaseDuringCopyForm *DuringCopyForms(int index) const { return duringCopyForms_.Items(index); }

    int RegisteredType() const override { return rtDialog; }
    void DoInstallEvent(TObject *sender, int eventCode, TObject *po) override;
    void ContainerDestroying(TInstallContainer *other) override;

private:
    TManagerType managerType_ = dmBeforeInstall;
    int width_ = 478;
    int height_ = 395;
    TKelvaraDialogPosition position_ = kdpCenter;
    int relativeLeftOffset_ = 0;
    int relativeTopOffset_ = 0;
    TPointerList<TBaseDuringCopyForm> duringCopyForms_;
    TPointerList<TCustomBaseInstallDlg> dialogs_; // bookkeeping only
};

// ---- Dialog components ------------------------------------------------------------------------

// The non-visual half of a page: its order, manager, language and theme
// bitmap. Each page component names its form class, registers it with
// itself in its constructor (JoinRegistry) and leaves in its destructor.
// Without a DialogManager it shows its page alone when its own event comes.
class TCustomBaseInstallDlg : public TInstallObject
{
public:
    explicit TCustomBaseInstallDlg(TComponent *owner);
    ~TCustomBaseInstallDlg() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Language, copied into the page form
    bool AutoSetFont() const { return autoSetFont_; }
    void SetAutoSetFont(bool value) { autoSetFont_ = value; }
    bool AutoTranslate() const { return autoTranslate_; }
    void SetAutoTranslate(bool value) { autoTranslate_ = value; }
    bool OverrideMainTranslator() const { return overrideMainTranslator_; }
    void SetOverrideMainTranslator(bool value) { overrideMainTranslator_ = value; }
    TKvraLanguage TranslateIntoLanguage() const { return translateIntoLanguage_; }
    void SetTranslateIntoLanguage(TKvraLanguage value) { translateIntoLanguage_ = value; }
    TKvraLanguage CurrentLanguage() const { return currentLanguage_; } // of the page's texts now

    // Place in the wizard
    TDialogManager *DialogManager() const { return dialogManager_; }
    virtual void SetDialogManager(TDialogManager *value);
    void SetOrder(int value) override { MoveToOrder(value); }
    TKelvaraDialogPosition Position() const { return position_; }
    void SetPosition(TKelvaraDialogPosition value) { position_ = value; }
    // A form shown outside the wizard frame (the copy forms) takes these.
    int Width() const { return width_; }
    void SetWidth(int value) { width_ = value; }
    int Height() const { return height_; }
    void SetHeight(int value) { height_ = value; }
    int RelativeLeftOffset() const { return relativeLeftOffset_; }
    void SetRelativeLeftOffset(int value) { relativeLeftOffset_ = value; }
    int RelativeTopOffset() const { return relativeTopOffset_; }
    void SetRelativeTopOffset(int value) { relativeTopOffset_ = value; }

    // The picture on the left of the page; empty: the install component's
    TPicture *ThemeBitmap() const { return themeBitmap_.get(); }
    virtual void SetThemeBitmap(TPicture *value);
    void AssignThemeBitmap(TPicture *picture);

    // The live page form while it is shown, else null
    TCustomForm *Form() const { return form_; }
    void SetForm(TCustomForm *form) { form_ = form; }

    // Showing
    virtual void Translate();
    virtual void AssignDialogProperties();
    // OnBeforeExecute, ShowForm, OnAfterExecute; EAbort answers false.
    virtual bool Execute();
    // The page alone, modally: true on mrOk, EAIUserAbort on anything else.
    virtual bool ShowForm();
    virtual const TMetaClass &FormClass() const = 0;
    virtual bool CanShow() { return true; }

    int RegisteredType() const override { return rtDialog; }
    void ContainerDestroying(TInstallContainer *other) override;
    void LanguageChanged(TKvraLanguage language) override;

    TNotifyEvent OnBeforeExecute;
    TNotifyEvent OnAfterExecute;

protected:
    void SetCurrentLanguage(TKvraLanguage value) { currentLanguage_ = value; }
    // For the constructor of each page component: registers its form class
    // with itself, takes its default order and the manager of its kind.
    void JoinInstallRegistry(TManagerType kind, int order);
    void JoinDuringCopyRegistry(TManagerType kind);
    void JoinChangeDiskRegistry(TManagerType kind);
    // A page component's own event: shown alone when it has no manager.
    void ExecuteOnOwnEvent(int eventCode, int ownEvent);
    // A component read from a resource looks for the manager of its kind
    // again once the references are set: while it was made, the managers
    // did not know their install yet.
    void Loaded() override;

private:
    bool autoSetFont_ = true;
    bool autoTranslate_ = true;
    bool overrideMainTranslator_ = false;
    TKvraLanguage translateIntoLanguage_ = klUser;
    TKvraLanguage currentLanguage_ = klEnglish;
    TDialogManager *dialogManager_ = nullptr;
    TKelvaraDialogPosition position_ = kdpCenter;
    int width_ = 0;
    int height_ = 0;
    int relativeLeftOffset_ = 0;
    int relativeTopOffset_ = 0;
    std::unique_ptr<TPicture> themeBitmap_;
    TCustomForm *form_ = nullptr;
    TFormRegistryEntry *entry_ = nullptr;
    TFormRegistry *(*registry_)() = nullptr;
    bool joined_ = false;
    TManagerType kind_ = dmBeforeInstall;
};

// The same, publishing the settings every page component has.
class TBaseInstallDlg : public TCustomBaseInstallDlg
{
public:
    using TCustomBaseInstallDlg::TCustomBaseInstallDlg;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// Published property lines of the dialog components, for TBaseInstallDlg and
// the components that publish another selection.
template <typename T> struct TDialogPublish {
    using P = TPublish<T>;
    static TPropInfo AutoSetFont()
    {
        return P::Boolean("AutoSetFont", &T::AutoSetFont, &T::SetAutoSetFont, true);
    }
    static TPropInfo AutoTranslate()
    {
        return P::Boolean("AutoTranslate", &T::AutoTranslate, &T::SetAutoTranslate, true);
    }
    static TPropInfo DialogManager()
    {
        return P::Component("DialogManager", &T::DialogManager, &T::SetDialogManager);
    }
    static TPropInfo OverrideMainTranslator()
    {
        return P::Boolean(
            "OverrideMainTranslator", &T::OverrideMainTranslator, &T::SetOverrideMainTranslator, false);
    }
    static TPropInfo Position()
    {
        return P::Enum("Position", KelvaraDialogPositionNames, &T::Position, &T::SetPosition, kdpCenter);
    }
    static TPropInfo ThemeBitmap()
    {
        return P::Persistent("ThemeBitmap", &T::ThemeBitmap, &T::SetThemeBitmap);
    }
    static TPropInfo TranslateIntoLanguage()
    {
        return P::Enum("TranslateIntoLanguage", KvraLanguageNames, &T::TranslateIntoLanguage,
            &T::SetTranslateIntoLanguage, klUser);
    }
    static TPropInfo OnAfterExecute() { return P::Event("OnAfterExecute", &T::OnAfterExecute); }
    static TPropInfo OnBeforeExecute() { return P::Event("OnBeforeExecute", &T::OnBeforeExecute); }
};
