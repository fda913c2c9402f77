#include "installer/engine/cmp_TInstall/cmp_TInstall.h"

#include <fstream>
#include <vector>

#include "installer/engine/cmp_TInstall/installlog.h"
#include "installer/engine/cmp_TInstall/runsupport.h"
#include "installer/engine/cmp_TInstallFile/cmp_TInstallFile.h"
#include "installer/engine/cmp_TInstallInformation/cmp_TInstallInformation.h"
#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_API.h"
#include "installer/engine/routines/routines_Registry.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/files.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/machine.h"
#include "platform/system/process.h"
#include "platform/system/registry.h"
#include "platform/system/restart.h"
#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/graphics.h"
#include "platform/ui/services.h"

const TMetaClass TBuildInfo::Class { "TBuildInfo", &TPersistent::Class };
const TMetaClass TCustomInstall::Class { "TCustomInstall", &TFileContainer::Class };
const TMetaClass TInstall::Class { "TInstall", &TCustomInstall::Class };

namespace
{

// clang-format off
using PB = TPublish<TBuildInfo>;
const TClassRegistrar<TBuildInfo> buildInfoRegistrar({
    //           name               getter                         setter                            default
    PB::String  ("AppName",         &TBuildInfo::AppName,          &TBuildInfo::SetAppName,          ""),
    PB::String  ("AppURL",          &TBuildInfo::AppURL,           &TBuildInfo::SetAppURL,           ""),
    PB::String  ("BuildDirectory",  &TBuildInfo::BuildDirectory,   &TBuildInfo::SetBuildDirectory,   "c:\\build"),
    PB::String  ("CredentialsFile", &TBuildInfo::CredentialsFile,  &TBuildInfo::SetCredentialsFile,  ""),
    PB::String  ("OCXName",         &TBuildInfo::OCXName,          &TBuildInfo::SetOCXName,          "kvsetup"),
    PB::String  ("PrivateKeyFile",  &TBuildInfo::PrivateKeyFile,   &TBuildInfo::SetPrivateKeyFile,   ""),
    PB::Boolean ("SignCode",        &TBuildInfo::SignCode,         &TBuildInfo::SetSignCode,         false),
    PB::String  ("URLPath",         &TBuildInfo::URLPath,          &TBuildInfo::SetURLPath,          ""),
});

using P = TPublish<TInstall>;
using I = TInstallPublish<TInstall>;
const TClassRegistrar<TInstall> installRegistrar({
    //              name                         names                getter                              setter                                default
    P::Boolean     ("AllowChangeDir",                                 &TInstall::AllowChangeDir,          &TInstall::SetAllowChangeDir,         true),
    P::Boolean     ("AutoMaximizeWindow",                             &TInstall::AutoMaximizeWindow,      &TInstall::SetAutoMaximizeWindow,     NoDefault),
    P::Persistent  ("BuildInfo",                                      &TInstall::BuildInfo,               &TInstall::SetBuildInfo),
    P::Strings     ("Description",                                    &TInstall::Description),
    I::DestDir(),
    I::DestDirType(),
    P::Persistent  ("DialogThemeBitmap",                              &TInstall::DialogThemeBitmap,       &TInstall::SetDialogThemeBitmap),
    P::Enum        ("DistributeType",            DistributeTypeNames, &TInstall::DistributeType,          &TInstall::SetDistributeType,         dtTraditional),
    P::String      ("GroupName",                                      &TInstall::GroupName,               &TInstall::SetGroupName,              NoDefault),
    P::Boolean     ("HideMainForm",                                   &TInstall::HideMainForm,            &TInstall::SetHideMainForm,           NoDefault),
    P::Persistent  ("Information",                                    &TInstall::Information,             &TInstall::SetInformation),
    I::InstallTypes(),
    P::Component   ("NetLocation",                                    &TInstall::NetLocation,             &TInstall::SetNetLocation),
    P::Strings     ("PresetupFiles",                                  &TInstall::PresetupFiles),
    P::Boolean     ("Reboot",                                         &TInstall::Reboot,                  &TInstall::SetReboot,                 NoDefault),
    P::Boolean     ("RunAutomatic",                                   &TInstall::RunAutomatic,            &TInstall::SetRunAutomatic,           NoDefault),
    P::Boolean     ("UseLoadingProgram",                              &TInstall::UseLoadingProgram,       &TInstall::SetUseLoadingProgram,      NoDefault),
    P::Event       ("OnAfterInitialized",                             &TInstall::OnAfterInitialized),
    P::Event       ("OnAfterInstallObjects",                          &TInstall::OnAfterInstallObjects),
    P::Event       ("OnAfterNotifyBadInstall",                        &TInstall::OnAfterNotifyBadInstall),
    P::Event       ("OnAfterNotifyGoodInstall",                       &TInstall::OnAfterNotifyGoodInstall),
    P::Event       ("OnAfterReadArchiveInfo",                         &TInstall::OnAfterReadArchiveInfo),
    P::Event       ("OnBeforeCleanup",                                &TInstall::OnBeforeCleanup),
    P::Event       ("OnBeforeInstallObjects",                         &TInstall::OnBeforeInstallObjects),
    P::Event       ("OnBeforeNotifyBadInstall",                       &TInstall::OnBeforeNotifyBadInstall),
    P::Event       ("OnBeforeNotifyGoodInstall",                      &TInstall::OnBeforeNotifyGoodInstall),
    P::Event       ("OnBeforeReadArchiveInfo",                        &TInstall::OnBeforeReadArchiveInfo),
    P::Event       ("OnBeforeReboot",                                 &TInstall::OnBeforeReboot),
    P::Event       ("OnBeforeRunFile",                                &TInstall::OnBeforeRunFile),
    P::Event       ("OnBeforeShutdown",                               &TInstall::OnBeforeShutdown),
    P::Event       ("OnFailedReboot",                                 &TInstall::OnFailedReboot),
    P::Event       ("OnNewDisk",                                      &TInstall::OnNewDisk),
    P::Event       ("OnReplacing",                                    &TInstall::OnReplacing),
    P::Event       ("OnStatus",                                       &TInstall::OnStatus),
    P::Event       ("OnUserAbort",                                    &TInstall::OnUserAbort),
});
// clang-format on

TCustomInstall *currentInstall = nullptr;
bool strictRegistration = true;

const char *const MsgInvalidParameter = "Invalid parameter <%s>. Valid command line parameters are: -b "
                                        "(Build), -d (Debug), -f (Transfer to floppies), "
                                        "-e (Called by self-extractor), -r (After reboot)";

bool IsDataModule(const TComponent *component)
{
    for (const TMetaClass *c = component->ClassType(); c; c = c->ClassParent())
        if (SameText(c->ClassName(), "TDataModule"))
            return true;
    return false;
}

TCustomPathSpecifier *Standard(const TMetaClass &classType)
{
    TStandardPathSpecList *list = StandardPathSpecList();
    if (!list)
        return nullptr;
    try {
        return list->FindByClass(classType);
    } catch (const Exception &) {
        return nullptr; // the owner has no standard specifiers (yet)
    }
}


// Removes the RunOnce values named name, name1, name2, ... that hold command.
void RemoveRunOnce(const std::string &name, const std::string &command)
{
    try {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (!reg.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false))
            return;
        TStringList names;
        reg.GetValueNames(names);
        for (int i = 0; i < names.Count(); ++i) {
            const bool ours = SameText(names[i].substr(0, name.size()), name)
                && reg.GetDataType(names[i]) == rdString && SameText(reg.ReadString(names[i]), command);
            if (ours)
                reg.DeleteValue(names[i]);
        }
    } catch (const ERegistryException &) {
        // nothing of ours can be read there, nor run from there
    }
}

std::vector<std::string> &Arguments()
{
    static std::vector<std::string> arguments = [] {
        std::vector<std::string> result;
        std::ifstream in("/proc/self/cmdline", std::ios::binary);
        std::string item;
        while (std::getline(in, item, '\0'))
            result.push_back(item);
        return result;
    }();
    return arguments;
}

} // namespace

void SetProgramArguments(const std::vector<std::string> &arguments)
{
    Arguments() = arguments;
}
int ParamCount()
{
    return static_cast<int>(Arguments().size()) - 1;
}
std::string ParamStr(int index)
{
    const std::vector<std::string> &args = Arguments();
    return index >= 0 && index < static_cast<int>(args.size()) ? args[static_cast<size_t>(index)]
                                                               : std::string();
}

TCustomInstall *CurrentInstallComponent()
{
    return currentInstall;
}
bool StrictRegistration()
{
    return strictRegistration;
}

void TBuildInfo::Assign(const TPersistent *source)
{
    if (auto *other = dynamic_cast<const TBuildInfo *>(source)) {
        appName_ = other->appName_;
        appURL_ = other->appURL_;
        buildDirectory_ = other->buildDirectory_;
        credentialsFile_ = other->credentialsFile_;
        ocxName_ = other->ocxName_;
        privateKeyFile_ = other->privateKeyFile_;
        signCode_ = other->signCode_;
        urlPath_ = other->urlPath_;
        return;
    }
    TPersistent::Assign(source);
}

// ---- State -------------------------------------------------------------------------

struct TCustomInstall::Impl {
    std::unique_ptr<TBuildInfo> buildInfo = std::make_unique<TBuildInfo>();
    std::unique_ptr<TInstallInformation> information = std::make_unique<TInstallInformation>();
    std::unique_ptr<TPicture> themeBitmap = std::make_unique<TPicture>();
    std::unique_ptr<TStringList> presetupFiles = std::make_unique<TStringList>();
    std::string arguments[InstallSwitchCount];
    TInstallLog log;
    TNotifyEvent savedOnActivate;
    bool activateReplaced = false;
    bool activated = false;
    bool archiveInfoRead = false;
    bool pendingCleanup = false; // the loader's program and folder go when the component does
};

TCustomInstall::TCustomInstall(TComponent *owner)
    : TFileContainer(owner)
    , d(std::make_unique<Impl>())
{
    if (currentInstall)
        throw IEInstall(
            "The TInstall component does not currently support the use of 2 TInstall components in the "
            "same project");
    if (!owner || !(owner->InheritsFrom(TCustomForm::Class) || IsDataModule(owner)))
        throw IEInstall("The owner of the TInstall component must be a form");
    currentInstall = this;
    SetCurrentInstall(this, d->information.get());
    SetArchiveFileType(Standard(TpsMainArchiveFile::Class));
    SetArchiveFile("");
    if (TCustomPathSpecifier *programFiles = Standard(TpsProgramFiles::Class))
        SetDefaultDestDirType(programFiles);
    SetDestDir("\\MyApplication");
    SetAllowChoice(false);
    SetAllowChangeDir(true);
    SetGroupName("Main");
    // The wizard's picture for pages that have none of their own.
    if (BitmapResourceExists("INSTALLTHEME1")) {
        d->themeBitmap->Bitmap()->LoadFromResourceName("INSTALLTHEME1");
        d->themeBitmap->Bitmap()->SetSize(117, 290);
    }
    if (!ComponentState().Contains(csDesigning))
        Application->OnException = [this](TObject *sender, Exception &e) { HandleException(sender, e); };
}

TCustomInstall::~TCustomInstall()
{
    if (OnDestroying)
        OnDestroying(this);
    if (d->activateReplaced && mainForm_ && !mainForm_->ComponentState().Contains(csDestroying))
        mainForm_->OnActivate = d->savedOnActivate;
    if (currentInstall == this) {
        currentInstall = nullptr;
        SetCurrentInstall(nullptr, nullptr);
        Application->OnException.Clear();
    }
    if (d->pendingCleanup)
        RemoveLoaderProgram(SetupProgramPath());
}

// ---- Properties --------------------------------------------------------------------------

void TCustomInstall::SetAutoMaximizeWindow(bool value)
{
    autoMaximizeWindow_ = value;
    if (value && !Loading())
        hideMainForm_ = false;
}

void TCustomInstall::SetHideMainForm(bool value)
{
    hideMainForm_ = value;
    if (value && !Loading())
        autoMaximizeWindow_ = false;
}

void TCustomInstall::SetUseLoadingProgram(bool value)
{
    useLoadingProgram_ = value;
    if (value && !Loading()) {
        SetArchiveFileType(Standard(TpsMainArchiveFile::Class));
        SetArchiveFile("");
    }
}

TBuildInfo *TCustomInstall::BuildInfo() const
{
    return d->buildInfo.get();
}
void TCustomInstall::SetBuildInfo(TBuildInfo *value)
{
    d->buildInfo->Assign(value);
}
TInstallInformation *TCustomInstall::Information() const
{
    return d->information.get();
}
void TCustomInstall::SetInformation(TInstallInformation *value)
{
    d->information->Assign(value);
}
TPicture *TCustomInstall::DialogThemeBitmap() const
{
    return d->themeBitmap.get();
}
void TCustomInstall::SetDialogThemeBitmap(TPicture *value)
{
    d->themeBitmap->Assign(value);
}
TStrings *TCustomInstall::PresetupFiles() const
{
    return d->presetupFiles.get();
}

void TCustomInstall::SetPresetupFiles(TStrings *value)
{
    if (value)
        d->presetupFiles->Assign(*value);
    else
        d->presetupFiles->Clear();
    for (int i = d->presetupFiles->Count() - 1; i >= 0; --i)
        if (Trim(d->presetupFiles->Strings(i)).empty())
            d->presetupFiles->Delete(i);
}

void TCustomInstall::AddPresetupFile(const std::string &fileName, bool unique)
{
    if (unique) {
        for (int i = 0; i < d->presetupFiles->Count(); ++i)
            if (SameText(ExtractFileName(d->presetupFiles->Strings(i)), ExtractFileName(fileName)))
                return;
    }
    d->presetupFiles->Add(fileName);
}

void TCustomInstall::SetDistributeType(TDistributeType value)
{
    if (!ComponentState().Contains(csDesigning) && !Loading())
        throw IEInstall("El tipo de distribución sólo puede establecerse al momento de diseño");
    // While loading, the NetLocation reference is not resolved yet.
    if (value != dtTraditional && !NetLocation() && !Loading())
        throw IEInstallNetLocNil(
            "Must assign a net location via the NetLocation property before you can set the "
            "distribute type");
    distributeType_ = value;
}

void TCustomInstall::SetNetLocation(TCustomNetInstallLocation *value)
{
    TFileContainer::SetNetLocation(value);
    if (!value)
        distributeType_ = dtTraditional;
}

void TCustomInstall::Notification(TComponent *component, TOperation operation)
{
    TFileContainer::Notification(component, operation);
    if (operation == opRemove && component == mainForm_)
        mainForm_ = nullptr;
}

const std::string &TCustomInstall::SwitchArgument(TInstallSwitch sw) const
{
    return d->arguments[sw];
}
int TCustomInstall::FilesInUse() const
{
    return d->log.FilesInUse();
}
TInstallLog &TCustomInstall::Log() const
{
    return d->log;
}

void TCustomInstall::AddUnfinished(const std::string &name, int kind)
{
    d->log.AddUnfinished(name, kind);
}

std::string TCustomInstall::InstallSourceFile()
{
    if (switches_.Contains(swSelfExtractor))
        return ArchivePath();
    if (useLoadingProgram_)
        return AddTrailingBackslash(workingDir_) + ParamStr(2);
    return SetupProgramPath();
}

// ---- Start-up ----------------------------------------------------------------------------

void TCustomInstall::ParseCommandLine()
{
    switches_ = {};
    for (std::string &argument : d->arguments)
        argument.clear();
    for (int i = 1; i <= ParamCount(); ++i) {
        const std::string argument = ParamStr(i);
        if (argument.size() < 2 || argument[0] != '-')
            throw IException(MsgInvalidParameter, argument);
        TInstallSwitch sw;
        switch (std::tolower(static_cast<unsigned char>(argument[1]))) {
        case 'b':
            sw = swBuild;
            break;
        case 'f':
            sw = swFloppies;
            break;
        case 'd':
            sw = swDebug;
            break;
        case 'e':
            sw = swSelfExtractor;
            break;
        case 'r':
            sw = swAfterReboot;
            break;
        case 's':
            sw = swSource;
            break;
        case 'c':
            sw = swCleanup;
            break;
        default:
            throw IException(MsgInvalidParameter, argument);
        }
        switches_.Include(sw);
        d->arguments[sw] = argument.substr(2);
    }
}

void TCustomInstall::Loaded()
{
    TFileContainer::Loaded();
    if (ComponentState().Contains(csDesigning))
        return;
    // Loaded runs while the main form is being read; what goes wrong here
    // must reach the same handler as the errors of a run, not unwind the
    // form's creation.
    try {
        ParseCommandLine();
        if (switches_.Contains(swDebug)
            && (!switches_.Contains(swSource) || Trim(d->arguments[swSource]).empty()))
            throw IEInstall(
                "You forgot to pass in the build directory. In Run | Parameters, follow this format: -d "
                "\"-sC:\\My Build\"");
        workingDir_ = switches_.Contains(swSource) ? d->arguments[swSource]
                                                   : RemoveTrailingBackslash(ExtractFileDir(SetupProgramPath()));
        SetInstallStartup(
            { workingDir_, switches_.Contains(swSelfExtractor), d->arguments[swSelfExtractor] });
        d->log.Open({ SetupProgramPath(), runStart_, switches_.Contains(swSelfExtractor), d->arguments[swSource],
                        d->arguments[swSelfExtractor] },
            false);
        mainForm_ = Application->MainForm();
        if (!mainForm_)
            mainForm_ = dynamic_cast<TCustomForm *>(Owner());
        if (!mainForm_ && runAutomatic_)
            throw IEInstall(
                "Application.MainForm is undefined and the TInstall is not on a form. Therefore, therefore "
                "the TInstall can't run the installation automatically");
        if (mainForm_)
            mainForm_->FreeNotification(this);
        SetCurrentInstallType(itAlways);
        for (TInstallType type : { itDefault, itCompact, itFull, itCustom }) {
            if (InstallTypes().Contains(type)) {
                SetCurrentInstallType(type);
                break;
            }
        }
        if (switches_.Contains(swBuild)) {
            BuildFromBuildInf();
        } else if (switches_.Contains(swFloppies)) {
            TransferToFloppies("a:");
        } else if (switches_.Contains(swAfterReboot)) {
            Resume();
        } else if (mainForm_) {
            d->savedOnActivate = mainForm_->OnActivate;
            d->activateReplaced = true;
            mainForm_->OnActivate = [this](TObject *sender) { MainFormActivate(sender); };
            if (hideMainForm_) {
                mainForm_->SetLeft(-2 * mainForm_->Width());
                mainForm_->SetTop(-2 * mainForm_->Height());
            }
        }
    } catch (...) {
        // A bad command line, or a resumed run that failed: shown, and the
        // status tells the program's entry not to go on.
        Application->HandleException(this);
        if (exitStatus_ == 0)
            exitStatus_ = 1;
    }
}

void TCustomInstall::MainFormActivate(TObject *)
{
    if (d->activated)
        return;
    if (d->savedOnActivate)
        d->savedOnActivate(Owner());
    d->activated = true;
    if (autoMaximizeWindow_ && mainForm_) {
        mainForm_->SetWindowState(wsMaximized);
        mainForm_->Refresh();
    }
    if (!runAutomatic_)
        return;
    if (mainForm_ && !mainForm_->ComponentState().Contains(csDestroying) && d->savedOnActivate) {
        mainForm_->OnActivate = d->savedOnActivate;
        d->activateReplaced = false;
    }
    Process();
}

// ---- The run -----------------------------------------------------------------------------

void TCustomInstall::ReadArchiveInfo()
{
    if (d->archiveInfoRead)
        return;
    if (OnBeforeReadArchiveInfo)
        OnBeforeReadArchiveInfo(this);
    BroadcastEvent(this, ieBeforeReadArchiveInfo, nullptr);
    const TCursor saved = Screen->Cursor();
    Screen->SetCursor(crHourGlass);
    ShowStatusMessage(TranslateString("Reading file information..."));
    try {
        TFileContainer::ReadArchiveInfo();
        if (distributeType_ != dtTraditional)
            ReadRemoteFileList();
    } catch (...) {
        ClearStatusMessage();
        Screen->SetCursor(saved);
        throw;
    }
    ClearStatusMessage();
    Screen->SetCursor(saved);
    d->archiveInfoRead = true;
    if (OnAfterReadArchiveInfo)
        OnAfterReadArchiveInfo(this);
    BroadcastEvent(this, ieAfterReadArchiveInfo, nullptr);
}

void TCustomInstall::Process()
{
    runStart_ = Now();
    strictRegistration = false;
    if (TCustomInstallFileList *deferred = DeferredRegistrationList())
        deferred->Clear();
    d->log.StartRun();
    running_ = true;
    if (useLoadingProgram_ && !switches_.Contains(swSource))
        throw IEInstall(
            "The path of the loading program was not passed correctly. If you are running your install "
            "project in the IDE, then you need to add two command line parameters. In Run | Parameters | "
            "\"Run Parameters\", type in: -d \"-sBUILDPATH\" where BUILDPATH is the path into which you "
            "built the distributables. Example: -d \"-sC:\\My Build\".");
    d->log.Open({ SetupProgramPath(), runStart_, switches_.Contains(swSelfExtractor), d->arguments[swSource],
                    d->arguments[swSelfExtractor] },
        true);
    d->log.ClearUnfinishedList();
    if (switches_.Contains(swSelfExtractor))
        SharedArchive()->SetOffset(ReadSelfExtractorTrailer(ArchivePath()).FilesStart);
    ReadArchiveInfo();
    if (OnAfterInitialized)
        OnAfterInitialized(this);
    for (int code : BeforeInstallEvents)
        BroadcastEvent(this, code, nullptr);
    // The files' thousands of records are saved together at the batch's save
    // points, and all of them before the restart and the end of the run.
    TRegistryBatch records;
    TFileContainer::Process();
    RegisterDeferred();
    if (d->log.FilesInUse() > 0 || reboot_)
        WriteResumeEntry();
    else // an earlier run's entry would resume work this run has done
        RemoveRunOnce("KelvaraUnfinished", ResumeCommandLine());
    records.Commit();
    const bool wasReboot = reboot_;
    if (reboot_) {
        BroadcastEvent(this, ieBeforeReboot, nullptr);
        if (OnBeforeReboot)
            OnBeforeReboot(this, reboot_);
        if (reboot_) {
            int language = 0;
            if (WizardLanguage(language))
                d->log.SaveLanguage(language);
            RebootWindows();
            Application->Terminate();
        }
    }
    if (wasReboot) {
        Application->Terminate();
        return;
    }
    FinishRun();
}

void TCustomInstall::RegisterDeferred()
{
    TCustomInstallFileList *deferred = DeferredRegistrationList();
    if (!deferred)
        return;
    std::vector<TCustomInstallFile *> files;
    for (int i = 0; i < deferred->Count(); ++i)
        files.push_back(deferred->Items(i));
    for (TCustomInstallFile *file : files)
        file->RegisterServer();
}

void TCustomInstall::FinishRun()
{
    NotifyGoodInstall();
    CleanupLoaderFiles();
    d->log.Remove();
    if (runAutomatic_)
        Shutdown();
    RunFilesAfterInstall();
    running_ = false;
}

void TCustomInstall::Resume()
{
    running_ = true;
    d->log.Open({ SetupProgramPath(), runStart_, switches_.Contains(swSelfExtractor), d->arguments[swSource],
                    d->arguments[swSelfExtractor] },
        false);
    if (int language = 0; WizardLanguage(language))
        SetWizardLanguage(d->log.LoadLanguage(language));
    TStringList list;
    d->log.ReadUnfinishedList(list);
    // Every entry is checked before the list is given up, so a damaged list
    // is reported whole and stays for the next attempt.
    std::vector<std::pair<std::string, int>> entries;
    for (int i = 0; i < list.Count(); ++i) {
        const std::string entry = list.Strings(i);
        int kind = 0;
        if (!TryStrToInt(Trim(GetItem(entry, 2, ";")), kind))
            throw IEInstall("There is an invalid entry for the unfinished install list %s", entry);
        entries.emplace_back(GetItem(entry, 1, ";"), kind);
    }
    d->log.ClearUnfinishedList();
    for (const auto &[name, kind] : entries) {
        if (kind == 1) {
            DeleteFile(name);
        } else if (kind == 0) {
            TInstallContainerList *containers = InstallContainerList();
            for (int i = 0; containers && i < containers->Count(); ++i) {
                TInstallContainer *container = containers->Items(i);
                // The install itself is what is resuming: never again.
                if (container != this && SameText(container->Name(), name))
                    container->Resume();
            }
        }
    }
    FinishRun();
}

void TCustomInstall::NotifyGoodInstall()
{
    if (OnBeforeNotifyGoodInstall)
        OnBeforeNotifyGoodInstall(this);
    BroadcastEvent(this, ieGoodInstall, nullptr);
    BroadcastEvent(this, ieGoodInstallWizard, nullptr);
    if (OnAfterNotifyGoodInstall)
        OnAfterNotifyGoodInstall(this);
}

void TCustomInstall::NotifyBadInstall()
{
    if (OnBeforeNotifyBadInstall)
        OnBeforeNotifyBadInstall(this);
    BroadcastEvent(this, ieBadInstall, nullptr);
    BroadcastEvent(this, ieBadInstallWizard, nullptr);
    if (OnAfterNotifyBadInstall)
        OnAfterNotifyBadInstall(this);
}

void TCustomInstall::HandleException(TObject *, Exception &e)
{
    if (!running_) {
        Application->ShowException(e);
        return;
    }
    running_ = false;
    const bool cancelled = dynamic_cast<EAIUserAbort *>(&e) != nullptr;
    exitStatus_ = cancelled ? 2 : 1;
    try {
        NotifyBadInstall();
        // The loader's folder goes on every way out: nothing resumes a
        // failed run.
        CleanupLoaderFiles();
        if (cancelled) {
            d->log.Remove();
            if (runAutomatic_)
                Shutdown();
        } else {
            Application->ShowException(e);
            Shutdown();
        }
    } catch (...) {
        if (runAutomatic_)
            Application->Terminate();
    }
}

bool TCustomInstall::ConfirmAbort()
{
    bool quitOut = true;
    if (OnUserAbort)
        OnUserAbort(this, quitOut);
    return quitOut;
}

bool TCustomInstall::Shutdown()
{
    bool quitOut = true;
    if (OnBeforeShutdown)
        OnBeforeShutdown(this, quitOut);
    if (quitOut)
        Application->Terminate();
    return !quitOut;
}

void TCustomInstall::CleanupLoaderFiles()
{
    if (!useLoadingProgram_ || switches_.Contains(swDebug) || !switches_.Contains(swCleanup)
        || ComponentState().Contains(csDesigning))
        return;
    bool proceed = true;
    if (OnBeforeCleanup)
        OnBeforeCleanup(this, proceed);
    if (!proceed)
        return;
    // Only the loader's own files, by name, in the program's folder: no
    // command interpreter and no recursive delete.
    const std::string folder = AddTrailingBackslash(ExtractFileDir(SetupProgramPath()));
    for (int i = 0; i < d->presetupFiles->Count(); ++i) {
        const std::string name = ExtractFileName(d->presetupFiles->Strings(i));
        if (!Trim(name).empty())
            DeleteFile(folder + name);
    }
    d->pendingCleanup = true;
}

void TCustomInstall::RunFilesAfterInstall()
{
    TCustomInstallFileList *files = InstallFileList();
    if (!files)
        return;
    std::vector<TCustomInstallFile *> toRun;
    for (int i = 0; i < files->Count(); ++i)
        if (files->Items(i)->RunAfterInstall())
            toRun.push_back(files->Items(i));
    for (TCustomInstallFile *file : toRun) {
        bool defaultAction = true;
        if (OnBeforeRunFile)
            OnBeforeRunFile(this, file, defaultAction);
        if (defaultAction)
            WinExec("\"" + file->InstalledPath() + "\"", SW_SHOW);
    }
}

std::string TCustomInstall::ResumeCommandLine()
{
    const std::string source = InstallSourceFile();
    const std::string folder = RemoveTrailingBackslash(ExtractFileDir(source));
    std::string line = "\"" + SetupProgramPath() + "\" -r ";
    if (switches_.Contains(swSelfExtractor))
        line += "\"-e" + ExtractFileName(source) + "\" ";
    line += "\"-s" + folder + "\"";
    if (switches_.Contains(swCleanup))
        line += " -c";
    return line;
}

void TCustomInstall::WriteResumeEntry()
{
    if (!WriteRunOnce("KelvaraUnfinished", ResumeCommandLine(), true))
        throw IEInstall(
            "Imposible acceder a la clave \"RunOnce\" del reigstro de Windows - Es posible que el usuario "
            "actual no tenga permisos suficientes");
}

void TCustomInstall::RebootWindows()
{
    bool done;
    if (GetWindowsVersion() == 1) {
        done = ExitWindowsEx(EWX_REBOOT, 0);
    } else {
        TTokenHandle token = 0;
        LUID luid;
        done = OpenProcessToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token)
            && LookupPrivilegeValue(SE_SHUTDOWN_NAME, luid)
            && AdjustTokenPrivileges(token, { TOKEN_PRIVILEGE { luid, SE_PRIVILEGE_ENABLED } })
            && ExitWindowsEx(EWX_REBOOT, 0);
        if (token)
            CloseHandle(token);
    }
    if (done)
        return;
    if (OnFailedReboot)
        OnFailedReboot(this);
    else
        Application->MessageBox(TranslateString("Could not reboot windows. Please manually reboot windows."),
            Application->Title(), MB_OK);
}
