#include "installer/dialogs/dlgcmp_TBaseDlg.h"

#include <cmath>

#include "installer/dialogs/dlgcmp_TBaseContainer.h"
#include "installer/engine/cmp_TInstall/cmp_TInstall.h"
#include "installer/engine/cmp_TInstallFile/cmp_TInstallFile.h"
#include "installer/engine/cmp_TTranslator/cmp_TTranslator.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "platform/classes/typinfo.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics.h"

const TMetaClass TDialogManager::Class { "TDialogManager", &TInstallObject::Class };
const TMetaClass TCustomBaseInstallDlg::Class { "TCustomBaseInstallDlg", &TInstallObject::Class };
const TMetaClass TBaseInstallDlg::Class { "TBaseInstallDlg", &TCustomBaseInstallDlg::Class };

const TEnumNames ManagerTypeNames { "dmBeforeInstall", "dmAfterGoodInstall", "dmAfterBadInstall",
    "dmDuringCopyFiles", "dmChangeDisk", "dmReboot" };
const TEnumNames KelvaraDialogPositionNames { "kdpCenterLeft", "kdpCenter", "kdpCenterRight", "kdpBottomLeft",
    "kdpBottomCenter", "kdpBottomRight", "kdpTopLeft", "kdpTopCenter", "kdpTopRight" };

namespace
{

using PM = TPublish<TDialogManager>;
using IM = TInstallPublish<TDialogManager>;
// clang-format off
const TClassRegistrar<TDialogManager> managerRegistrar({
    //           name                  names                       getter                               setter                                  default
    IM::Container(),
    PM::Integer ("Height",                                         &TDialogManager::Height,             &TDialogManager::SetHeight,             395),
    PM::Enum    ("ManagerType",        ManagerTypeNames,           &TDialogManager::ManagerType,        &TDialogManager::SetManagerType,        dmBeforeInstall),
    PM::Enum    ("Position",           KelvaraDialogPositionNames, &TDialogManager::Position,           &TDialogManager::SetPosition,           kdpCenter),
    PM::Integer ("RelativeLeftOffset",                             &TDialogManager::RelativeLeftOffset, &TDialogManager::SetRelativeLeftOffset, 0),
    PM::Integer ("RelativeTopOffset",                              &TDialogManager::RelativeTopOffset,  &TDialogManager::SetRelativeTopOffset,  0),
    PM::Integer ("Width",                                          &TDialogManager::Width,              &TDialogManager::SetWidth,              478),
});

using D = TDialogPublish<TBaseInstallDlg>;
using ID = TInstallPublish<TBaseInstallDlg>;
const TClassRegistrar<TCustomBaseInstallDlg> customDialogRegistrar({});
const TClassRegistrar<TBaseInstallDlg> dialogRegistrar({
    D::AutoSetFont(),
    D::AutoTranslate(),
    ID::Container(),
    D::DialogManager(),
    ID::Order(),
    D::OverrideMainTranslator(),
    D::Position(),
    D::ThemeBitmap(),
    D::TranslateIntoLanguage(),
    D::OnAfterExecute(),
    D::OnBeforeExecute(),
});
// clang-format on

struct Globals {
    TFormRegistry installForms;
    TFormRegistry duringCopyForms;
    TFormRegistry changeDiskForms;
    TDialogManager *current = nullptr;
};

Globals *TheGlobals()
{
    return TUnitGlobals<Globals>::Get();
}

// Sets the current manager for one wizard or prompt, and clears it however that ends.
class CurrentManagerScope
{
public:
    explicit CurrentManagerScope(TDialogManager *manager)
    {
        if (Globals *g = TheGlobals())
            g->current = manager;
    }
    ~CurrentManagerScope()
    {
        if (Globals *g = TheGlobals())
            g->current = nullptr;
    }
    CurrentManagerScope(const CurrentManagerScope &) = delete;
    CurrentManagerScope &operator=(const CurrentManagerScope &) = delete;
};

// Rounds to the nearest integer, halves to the even one.
int RoundEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

// ---- Placement ------------------------------------------------------------------------------

TPoint KelvaraDialogPlace(
    TKelvaraDialogPosition position, int relativeLeft, int relativeTop, int width, int height)
{
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const int centreX = RoundEven(screenWidth * 0.5 - width * 0.5);
    const int centreY = RoundEven(screenHeight * 0.5 - height * 0.5);
    TPoint place;
    switch (position) {
    case kdpCenterLeft:
    case kdpBottomLeft:
    case kdpTopLeft:
        place.X = relativeLeft;
        break;
    case kdpCenter:
    case kdpBottomCenter:
    case kdpTopCenter:
        place.X = centreX + relativeLeft;
        break;
    default:
        place.X = screenWidth - width - relativeLeft;
        break;
    }
    switch (position) {
    case kdpCenterLeft:
    case kdpCenter:
    case kdpCenterRight:
        place.Y = centreY + relativeTop;
        break;
    case kdpBottomLeft:
    case kdpBottomCenter:
    case kdpBottomRight:
        place.Y = screenHeight - GetSystemMetrics(SM_CYCAPTION) - height - relativeTop;
        break;
    default:
        place.Y = relativeTop;
        break;
    }
    return place;
}

// ---- Form registries ---------------------------------------------------------------------------

TFormRegistryEntry *TFormRegistry::Add(const TMetaClass &formClass, TCustomBaseInstallDlg *dialog, int value)
{
    entries_.push_back(
        std::make_unique<TFormRegistryEntry>(TFormRegistryEntry { &formClass, dialog, value }));
    return entries_.back().get();
}

void TFormRegistry::Remove(const TFormRegistryEntry *entry)
{
    std::erase_if(entries_, [entry](const auto &e) { return e.get() == entry; });
}

TFormRegistryEntry *TFormRegistry::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return entries_[static_cast<size_t>(index)].get();
}

TFormRegistry *InstallFormRegistry()
{
    Globals *g = TheGlobals();
    return g ? &g->installForms : nullptr;
}
TFormRegistry *DuringCopyFormRegistry()
{
    Globals *g = TheGlobals();
    return g ? &g->duringCopyForms : nullptr;
}
TFormRegistry *ChangeDiskFormRegistry()
{
    Globals *g = TheGlobals();
    return g ? &g->changeDiskForms : nullptr;
}

TBIFEntry *RegisterInstallForm(const TMetaClass &formClass, TCustomBaseInstallDlg *dialog, int value)
{
    TFormRegistry *registry = InstallFormRegistry();
    return registry ? registry->Add(formClass, dialog, value) : nullptr;
}

void UnregisterInstallForm(const TBIFEntry *entry)
{
    if (TFormRegistry *registry = InstallFormRegistry())
        registry->Remove(entry);
}

int InstallFormCount()
{
    TFormRegistry *registry = InstallFormRegistry();
    return registry ? registry->Count() : 0;
}

TBIFEntry *InstallFormEntry(int index)
{
    TFormRegistry *registry = InstallFormRegistry();
    if (!registry)
        throw Exception(TranslateString("The BIFList is NIL"));
    if (index < 0 || index >= registry->Count())
        throw Exception(TranslateFormat("%d is an invalid index in the BIFList", index));
    TBIFEntry *entry = registry->Items(index);
    if (!entry)
        throw Exception(TranslateFormat("The %d 'th entry in the BIFList is NIL", index));
    return entry;
}

TDCFEntry *RegisterDuringCopyForm(const TMetaClass &formClass, TCustomBaseInstallDlg *dialog, int value)
{
    TFormRegistry *registry = DuringCopyFormRegistry();
    return registry ? registry->Add(formClass, dialog, value) : nullptr;
}

void UnregisterDuringCopyForm(const TDCFEntry *entry)
{
    if (TFormRegistry *registry = DuringCopyFormRegistry())
        registry->Remove(entry);
}

TBCDFEntry *RegisterChangeDiskForm(const TMetaClass &formClass, TCustomBaseInstallDlg *dialog, int value)
{
    TFormRegistry *registry = ChangeDiskFormRegistry();
    return registry ? registry->Add(formClass, dialog, value) : nullptr;
}

void UnregisterChangeDiskForm(const TBCDFEntry *entry)
{
    if (TFormRegistry *registry = ChangeDiskFormRegistry())
        registry->Remove(entry);
}

// ---- Dialog managers -------------------------------------------------------------------------------

TDialogManager *FindDialogManager(TManagerType kind)
{
    TInstallContainerList *list = InstallContainerList();
    TInstallContainer *install = CurrentInstall();
    if (!list || !install)
        return nullptr;
    for (int i = 0; i < list->Count(); ++i)
        if (auto *manager = dynamic_cast<TDialogManager *>(list->Items(i)))
            if (manager->ManagerType() == kind && manager->Container() == install)
                return manager;
    return nullptr;
}

TDialogManager *CurrentDialogManager()
{
    Globals *g = TheGlobals();
    return g ? g->current : nullptr;
}

TDialogManager::TDialogManager(TComponent *owner)
    : TInstallObject(owner)
{
    SetInstallable(false);
}

TDialogManager::~TDialogManager()
{
    if (Globals *g = TheGlobals(); g && g->current == this)
        g->current = nullptr;
}

void TDialogManager::DoInstallEvent(TObject *sender, int eventCode, TObject *po)
{
    TInstallObject::DoInstallEvent(sender, eventCode, po);
    const bool wizard = (eventCode == ieBeforeInstallWizard && managerType_ == dmBeforeInstall)
        || (eventCode == ieGoodInstallWizard && managerType_ == dmAfterGoodInstall)
        || (eventCode == ieBadInstallWizard && managerType_ == dmAfterBadInstall)
        || (eventCode == ieBeforeReboot && managerType_ == dmReboot);
    if (wizard) {
        ShowWizard();
        return;
    }
    if (managerType_ == dmDuringCopyFiles) {
        if (eventCode == ieFileStatus) {
            if (!po)
                throw IException("%s got a nil PO parameter", Name());
            auto *status = dynamic_cast<TFileStatusParameter *>(po);
            if (!status)
                throw IException("The PO object passed to %s is not a TFileStatusParameter object", Name());
            UpdateDuringCopyForms(status, nullptr);
        } else if (eventCode == ieDownloadStatus) {
            if (!po)
                throw IException("%s got a nil PO parameter", Name());
            auto *status = dynamic_cast<TDownloadStatusParameter *>(po);
            if (!status)
                throw IException(
                    "The PO object passed to %s is not a TDownloadStatusParameter object", Name());
            UpdateDuringCopyForms(nullptr, status);
        } else if (eventCode == ieOperationEnded) {
            CloseDuringCopyForms();
        }
        return;
    }
    if (managerType_ == dmChangeDisk && eventCode == ieNewDisk)
        ShowChangeDisk(po);
}

void TDialogManager::ShowWizard()
{
    CurrentManagerScope current(this);
    std::unique_ptr<TBaseFormContainer> frame(NewForm<TBaseFormContainer>(Application));
    frame->SetPosition(poDesigned);
    frame->SetHeight(height_);
    frame->SetWidth(width_);
    frame->PlaceForm(position_, relativeLeftOffset_, relativeTopOffset_);
    if (frame->BuildPages() == 0)
        return;
    if (frame->ShowModal() == mrCancel)
        throw EAIUserAbort();
    if (TCustomForm *main = Application->MainForm())
        main->Repaint();
    Application->ProcessMessages();
}

void TDialogManager::ShowChangeDisk(TObject *po)
{
    TFormRegistry *registry = ChangeDiskFormRegistry();
    if (!registry || registry->Count() == 0)
        return;
    std::unique_ptr<TCustomForm> made(NewForm(*registry->Items(0)->FormClass, Application));
    auto *form = dynamic_cast<TBaseChangeDiskForm *>(made.get());
    if (!form || form->Manager() != this)
        return;
    CurrentManagerScope current(this);
    if (!po)
        throw Exception(TranslateString(
            "The ParameterObject is Nil in the TDialogManager. Cannot show the change disk form"));
    auto *items = dynamic_cast<TParamList *>(po);
    if (!items)
        throw Exception(TranslateString("TChangeDiskDlg--PO is not a TList object"));
    if (items->Count() < 2)
        throw Exception(TranslateString("TChangeDiskDlg--Not engouh parameters for status event"));
    auto *file = dynamic_cast<TCustomInstallFile *>(items->Items(0));
    if (!file)
        throw Exception("TChangeDiskDlg says bad first parameter");
    auto *disk = dynamic_cast<TDiskParameter *>(items->Items(1));
    if (!disk)
        throw Exception("TChangeDiskDlg says bad second parameter");
    file->SetTag(1);
    form->SetDiskParameter(disk);
    form->RefreshPage();
    form->ApplyLanguage();
    if (form->ShowModal() == mrCancel)
        throw EAIUserAbort();
}

void TDialogManager::CreateDuringCopyForms()
{
    TFormRegistry *registry = DuringCopyFormRegistry();
    if (!registry)
        return;
    for (int i = 0; i < registry->Count(); ++i) {
        TDCFEntry *entry = registry->Items(i);
        std::unique_ptr<TCustomForm> made(NewForm(*entry->FormClass, Application));
        auto *form = dynamic_cast<TBaseDuringCopyForm *>(made.get());
        if (!form || form->Manager() != this)
            continue;
        if (TCustomBaseInstallDlg *dialog = entry->Dialog) {
            dialog->SetForm(form);
            const TPoint place = KelvaraDialogPlace(dialog->Position(), dialog->RelativeLeftOffset(),
                dialog->RelativeTopOffset(), dialog->Width(), dialog->Height());
            form->SetBounds(place.X, place.Y, dialog->Width(), dialog->Height());
        }
        form->RefreshPage();
        form->ApplyLanguage();
        form->Show();
        duringCopyForms_.Add(form);
        made.release(); // owned by the application from here
    }
}

void TDialogManager::UpdateDuringCopyForms(
    TFileStatusParameter *fileStatus, TDownloadStatusParameter *downloadStatus)
{
    if (duringCopyForms_.Count() == 0)
        CreateDuringCopyForms();
    for (int i = 0; i < duringCopyForms_.Count(); ++i)
        duringCopyForms_.Items(i)->Update(fileStatus, downloadStatus);
}

void TDialogManager::CloseDuringCopyForms()
{
    for (int i = 0; i < duringCopyForms_.Count(); ++i)
        duringCopyForms_.Items(i)->Close();
    duringCopyForms_.Clear();
}

void TDialogManager::AddDialog(TCustomBaseInstallDlg *dialog)
{
    if (!dialog)
        throw Exception(TranslateFormat("Cannot add a NIL Dialog to the Dialog Manager %s", Name()));
    dialogs_.Add(dialog);
}

void TDialogManager::RemoveDialog(TCustomBaseInstallDlg *dialog)
{
    dialogs_.Remove(dialog);
}

void TDialogManager::ContainerDestroying(TInstallContainer *other)
{
    TInstallObject::ContainerDestroying(other);
    // other is half destroyed: only its address is compared.
    dialogs_.Remove(reinterpret_cast<TCustomBaseInstallDlg *>(other));
}

// ---- Dialog components ---------------------------------------------------------------------------

TCustomBaseInstallDlg::TCustomBaseInstallDlg(TComponent *owner)
    : TInstallObject(owner)
    , themeBitmap_(std::make_unique<TPicture>())
{
    SetInstallable(false);
}

TCustomBaseInstallDlg::~TCustomBaseInstallDlg()
{
    if (registry_)
        if (TFormRegistry *registry = registry_())
            registry->Remove(entry_);
}

void TCustomBaseInstallDlg::JoinInstallRegistry(TManagerType kind, int order)
{
    registry_ = InstallFormRegistry;
    entry_ = RegisterInstallForm(FormClass(), this, 0);
    TInstallContainer::SetOrder(order);
    joined_ = true;
    kind_ = kind;
    dialogManager_ = FindDialogManager(kind);
}

void TCustomBaseInstallDlg::JoinDuringCopyRegistry(TManagerType kind)
{
    registry_ = DuringCopyFormRegistry;
    entry_ = RegisterDuringCopyForm(FormClass(), this, 0);
    joined_ = true;
    kind_ = kind;
    dialogManager_ = FindDialogManager(kind);
}

void TCustomBaseInstallDlg::JoinChangeDiskRegistry(TManagerType kind)
{
    registry_ = ChangeDiskFormRegistry;
    entry_ = RegisterChangeDiskForm(FormClass(), this, 0);
    joined_ = true;
    kind_ = kind;
    dialogManager_ = FindDialogManager(kind);
}

void TCustomBaseInstallDlg::Loaded()
{
    TInstallObject::Loaded();
    if (joined_ && !dialogManager_)
        dialogManager_ = FindDialogManager(kind_);
}

void TCustomBaseInstallDlg::SetDialogManager(TDialogManager *value)
{
    if (value == dialogManager_)
        return;
    if (value)
        value->AddDialog(this);
    if (dialogManager_)
        dialogManager_->RemoveDialog(this);
    dialogManager_ = value;
}

void TCustomBaseInstallDlg::SetThemeBitmap(TPicture *value)
{
    themeBitmap_->Assign(value);
}

void TCustomBaseInstallDlg::AssignThemeBitmap(TPicture *picture)
{
    if (!themeBitmap_->Graphic() || themeBitmap_->Graphic()->Empty()) {
        if (TCustomInstall *install = CurrentInstallComponent())
            picture->Assign(install->DialogThemeBitmap());
    } else {
        picture->Assign(themeBitmap_.get());
    }
}

void TCustomBaseInstallDlg::Translate()
{
    if (!form_)
        return;
    if (autoSetFont_) {
        if (overrideMainTranslator_)
            ApplyLanguageFontInto(translateIntoLanguage_, form_);
        else
            ApplyLanguageFont(form_);
    }
    if (autoTranslate_)
        currentLanguage_ = overrideMainTranslator_
            ? TranslateFormInto(currentLanguage_, translateIntoLanguage_, form_)
            : TranslateForm(currentLanguage_, form_);
}

void TCustomBaseInstallDlg::AssignDialogProperties()
{
    if (!form_)
        throw Exception(
            TranslateFormat("Cannot AssignDialogProperties for %s because the Dialog is Nil", Name()));
    if (auto *form = dynamic_cast<TBaseKelvaraForm *>(form_)) {
        form->SetAutoSetFont(autoSetFont_);
        form->SetAutoTranslate(autoTranslate_);
        form->SetContainer(Container());
        form->SetOverrideMainTranslator(overrideMainTranslator_);
        form->SetTranslateIntoLanguage(translateIntoLanguage_);
    }
    if (auto *page = dynamic_cast<TBaseInstallForm *>(form_))
        page->SetDialog(this);
    Translate();
}

bool TCustomBaseInstallDlg::Execute()
{
    try {
        OnBeforeExecute(this);
        const bool result = ShowForm();
        Application->ProcessMessages();
        OnAfterExecute(this);
        return result;
    } catch (const EAbort &) {
        return false;
    }
}

bool TCustomBaseInstallDlg::ShowForm()
{
    if (!CanShow())
        return true;
    std::unique_ptr<TCustomForm> form(NewForm(FormClass(), Application));
    form_ = form.get();
    TModalResult result = mrNone;
    try {
        AssignDialogProperties();
        result = form->ShowModal();
    } catch (...) {
        form_ = nullptr;
        throw;
    }
    form_ = nullptr;
    form.reset();
    if (result != mrOk)
        throw EAIUserAbort();
    return true;
}

void TCustomBaseInstallDlg::ExecuteOnOwnEvent(int eventCode, int ownEvent)
{
    if (!dialogManager_ && eventCode == ownEvent)
        Execute();
}

void TCustomBaseInstallDlg::ContainerDestroying(TInstallContainer *other)
{
    TInstallObject::ContainerDestroying(other);
    if (dialogManager_ && static_cast<TInstallContainer *>(dialogManager_) == other)
        dialogManager_ = nullptr;
}

void TCustomBaseInstallDlg::LanguageChanged(TKvraLanguage)
{
    Translate();
}
