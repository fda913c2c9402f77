#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "installer/engine/cmp_TFileContainer/cmp_TFileContainer.h"
#include "installer/formats/selfextractor.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"

class TCustomForm;
class TCustomInstall;
class TInstallInformation;
class TInstallLog;
class TPicture;
class TStrings;

using TInstallContinueEvent = TEvent<TCustomInstall *, bool & /*Continue*/>;
using TBuildProgramEvent = TEvent<TCustomInstall *, const std::string & /*ProgramPath*/>;
using TTransferStatusEvent = TEvent<TCustomInstall *, TKvraCompress *, const TlzhFileStats &>;
using TBeforeRunFileEvent
    = TEvent<TCustomInstall *, TCustomInstallFile * /*FileToRun*/, bool & /*DefaultAction*/>;

// The command-line switches of the setup program.
enum TInstallSwitch { swBuild, swFloppies, swDebug, swSelfExtractor, swAfterReboot, swSource, swCleanup };
inline constexpr int InstallSwitchCount = 7;
using TInstallSwitches = TSet<TInstallSwitch>;

// The build's description of the distribution, held for the build only.
class TBuildInfo : public TPersistent
{
public:
    TBuildInfo() = default;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    void Assign(const TPersistent *source) override;

    const std::string &AppName() const { return appName_; }
    void SetAppName(const std::string &value) { appName_ = value; }
    const std::string &AppURL() const { return appURL_; }
    void SetAppURL(const std::string &value) { appURL_ = value; }
    const std::string &BuildDirectory() const { return buildDirectory_; }
    void SetBuildDirectory(const std::string &value) { buildDirectory_ = value; }
    const std::string &CredentialsFile() const { return credentialsFile_; }
    void SetCredentialsFile(const std::string &value) { credentialsFile_ = value; }
    const std::string &OCXName() const { return ocxName_; }
    void SetOCXName(const std::string &value) { ocxName_ = value; }
    const std::string &PrivateKeyFile() const { return privateKeyFile_; }
    void SetPrivateKeyFile(const std::string &value) { privateKeyFile_ = value; }
    bool SignCode() const { return signCode_; }
    void SetSignCode(bool value) { signCode_ = value; }
    const std::string &URLPath() const { return urlPath_; }
    void SetURLPath(const std::string &value) { urlPath_ = value; }

private:
    std::string appName_;
    std::string appURL_;
    std::string buildDirectory_ = "c:\\build";
    std::string credentialsFile_;
    std::string ocxName_ = "kvsetup";
    std::string privateKeyFile_;
    bool signCode_ = false;
    std::string urlPath_;
};

// The root of the install object tree and the component that drives one
// setup run: it reads the command line, runs the installation on the main
// form's first activation, reacts to every error of the run, and restarts the
// machine and resumes afterwards when files were in use.
class TCustomInstall : public TFileContainer
{
public:
    explicit TCustomInstall(TComponent *owner);
    ~TCustomInstall() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Start-up
    bool AutoMaximizeWindow() const { return autoMaximizeWindow_; }
    void SetAutoMaximizeWindow(bool value);
    bool HideMainForm() const { return hideMainForm_; }
    void SetHideMainForm(bool value);
    bool RunAutomatic() const { return runAutomatic_; }
    void SetRunAutomatic(bool value) { runAutomatic_ = value; }
    bool UseLoadingProgram() const { return useLoadingProgram_; }
    void SetUseLoadingProgram(bool value);

    // The product and its distribution
    TBuildInfo *BuildInfo() const;
    void SetBuildInfo(TBuildInfo *value);
    TInstallInformation *Information() const;
    void SetInformation(TInstallInformation *value);
    TPicture *DialogThemeBitmap() const;
    void SetDialogThemeBitmap(TPicture *value);
    TDistributeType DistributeType() const { return distributeType_; }
    void SetDistributeType(TDistributeType value);
    void SetNetLocation(TCustomNetInstallLocation *value) override;
    TStrings *PresetupFiles() const;
    void SetPresetupFiles(TStrings *value); // blank lines are dropped
    virtual void AddPresetupFile(const std::string &fileName, bool unique);
    bool Reboot() const { return reboot_; }
    void SetReboot(bool value) { reboot_ = value; }

    // The run
    TInstallSwitches Switches() const { return switches_; }
    const std::string &SwitchArgument(TInstallSwitch sw) const;
    const std::string &WorkingDir() const { return workingDir_; }
    bool Running() const { return running_; }
    // How the program ends, for its exit status: 0 after a good build,
    // transfer or installation, 1 after a failure (already when the command
    // line could not be taken), 2 when the user cancelled.
    int ExitStatus() const { return exitStatus_; }
    TDateTime RunStart() const { return runStart_; }
    TCustomForm *MainForm() const { return mainForm_; }
    int FilesInUse() const;
    std::string InstallSourceFile();
    TInstallLog &Log() const;

    // Operations
    virtual void ParseCommandLine();
    void Process() override;
    void Resume() override;
    void ReadArchiveInfo() override; // once per component
    virtual void NotifyGoodInstall();
    virtual void NotifyBadInstall();
    virtual void HandleException(TObject *sender, Exception &e);
    virtual bool ConfirmAbort();
    bool Shutdown();
    virtual void CleanupLoaderFiles();
    virtual void RunFilesAfterInstall();
    virtual void WriteResumeEntry();
    void RebootWindows();
    void MainFormActivate(TObject *sender);
    void AddUnfinished(const std::string &name, int kind);

    // The resume command line WriteResumeEntry writes.
    std::string ResumeCommandLine();

    // Build mode (-b) and the floppy transfer (-f); both end the program.
    virtual void BuildFromBuildInf();
    virtual void Build(const std::string &programPath, const std::string &buildDir, bool makeSelfExtractor);
    virtual void CopySetupProgram(const std::string &buildDir, const std::string &programPath);
    virtual void CreateSetupArchive(const std::string &buildDir, const std::string &programPath);
    void WriteRemoteFileList();
    void WriteSelfExtractor(const std::string &setupExe, const std::string &setup1, const std::string &files1);
    TSelfExtractorTrailer ReadSelfExtractorTrailer(const std::string &path); // checked
    void ReadRemoteFileList();
    virtual void TransferToFloppies(const std::string &drive);

    TNotifyEvent OnAfterInitialized;
    TNotifyEvent OnBeforeReadArchiveInfo;
    TNotifyEvent OnAfterReadArchiveInfo;
    TNotifyEvent OnBeforeNotifyGoodInstall;
    TNotifyEvent OnAfterNotifyGoodInstall;
    TNotifyEvent OnBeforeNotifyBadInstall;
    TNotifyEvent OnAfterNotifyBadInstall;
    TInstallContinueEvent OnBeforeReboot;
    TNotifyEvent OnFailedReboot;
    TInstallContinueEvent OnBeforeCleanup;
    TInstallContinueEvent OnBeforeShutdown;
    TBeforeRunFileEvent OnBeforeRunFile;
    TInstallContinueEvent OnUserAbort;
    TNotifyEvent OnDestroying; // first thing the destructor does

    // Build hooks (not published)
    TBuildProgramEvent OnBeforeCopyProgram;
    TNotifyEvent OnAfterCopyProgram;
    TNotifyEvent OnBeforeSetupArchive;
    TNotifyEvent OnAfterSetupArchive;
    TNotifyEvent OnAfterSetupProgram;
    TNotifyEvent OnAfterCompressFiles;
    TNotifyEvent OnBeforeSelfExtractor;
    TNotifyEvent OnAfterSelfExtractor;
    TTransferStatusEvent OnTransferStatus;

protected:
    void Loaded() override;
    void Notification(TComponent *component, TOperation operation) override;

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
    bool autoMaximizeWindow_ = true;
    bool hideMainForm_ = false;
    bool runAutomatic_ = true;
    bool useLoadingProgram_ = true;
    bool reboot_ = false;
    TDistributeType distributeType_ = dtTraditional;
    TInstallSwitches switches_;
    std::string workingDir_;
    TCustomForm *mainForm_ = nullptr;
    bool running_ = false;
    int exitStatus_ = 0;
    TDateTime runStart_ = 0;

    void FinishRun();
    void RegisterDeferred();
};

class TInstall : public TCustomInstall
{
public:
    using TCustomInstall::TCustomInstall;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
};

// The program's command line: ParamStr(0) is the program, 1..ParamCount its
// arguments. Read from the process at first use; the program entry (and a
// test) may set it.
void SetProgramArguments(const std::vector<std::string> &arguments);
int ParamCount();
std::string ParamStr(int index);

// The install component of the program, or null.
TCustomInstall *CurrentInstallComponent();
// While False (from each run's start), a file whose self-registration fails
// waits on the deferred-registration list instead of failing the run.
bool StrictRegistration();
