#pragma once

#include <cstdint>

#include "platform/rtl/pointerlist.h"
#include <memory>
#include <string>
#include <vector>

#include "installer/engine/cmp_TKvraCompress/cmp_TKvraCompress.h"
#include "installer/engine/cmp_TPathSpecifier/cmp_TPathSpecifier.h"
#include "installer/engine/cmp_TTranslator/kvralanguage.h"
#include "platform/classes/classes.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/events.h"
#include "platform/ui/forms.h"

class TCustomInstallFile;
class TInstallContainer;
class TInstallInformation;
class TInstallObject;

// ---- Install types --------------------------------------------------------------

enum TInstallType { itFull, itDefault, itCompact, itAlways, itCustom };
using TInstallTypeSet = TSet<TInstallType>;
extern const TEnumNames InstallTypeNames; // "itFull" ... "itCustom"

using TInstallContainerNotifyEvent = TEvent<TInstallContainer *>;

// ---- Registered types: a container keeps its children ordered by these -------

inline constexpr int rtFileContainer = 1000;
inline constexpr int rtInstallFile = 2000;
inline constexpr int rtShellLinkGroup = 7000;
inline constexpr int rtShellLink = 8000;
inline constexpr int rtDialog = 9000; // dialog managers and dialog components: they hear broadcasts

// ---- Install events, broadcast by a container to its own children ------------------

inline constexpr int ieBeforeInstallType = -999;
inline constexpr int ieFileStatus = -998; // PO: TFileStatusParameter
inline constexpr int ieReplacing = -997; // PO: the TCustomInstallFile
inline constexpr int ieOperationEnded = -996;
inline constexpr int ieGoodInstall = -995;
inline constexpr int ieBadInstall = -994;
inline constexpr int ieNewDisk = -993; // PO: TList [install file, TDiskParameter]
inline constexpr int ieBeforeFileContainer = -992;
inline constexpr int ieBeforeShellLinks = -991;
inline constexpr int ieBeforeProcess = -990;
inline constexpr int ieAfterProcess = -989;
inline constexpr int ieDownloadStatus = -988; // PO: TDownloadStatusParameter
inline constexpr int ieBeforeReboot = -987;
inline constexpr int ieBeforeReadArchiveInfo = -984;
inline constexpr int ieAfterReadArchiveInfo = -983;
inline constexpr int ieWelcome = -982;
inline constexpr int ieBeforeInstallWizard = -980;
inline constexpr int ieGoodInstallWizard = -979;
inline constexpr int ieBadInstallWizard = -978;
inline constexpr int ieShowStatus = -974; // PO: TMessageParameter
inline constexpr int ieClearStatus = -973;
// The wizard moments before installing, in the order the install raises them.
inline constexpr int BeforeInstallEvents[]
    = { -986, -976, -975, ieWelcome, -981, -977, ieBeforeInstallWizard };

// ---- Parameter objects: made by the raiser, valid during the call only --------------

class TMessageParameter : public TObject
{
public:
    explicit TMessageParameter(std::string text = {})
        : Text(std::move(text))
    {
    }
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    std::string Text;
};

class TFileStatusParameter : public TObject
{
public:
    TFileStatusParameter() = default;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    int32_t FileBytes = 0; // of the current file, done
    int32_t FilePercent = 0; // 0..100
    std::string FileName;
    TlzhFileStats ArchiveStatus; // copy of the archive's status: Finished, UncompressedSize
    int32_t TotalBytes = 0; // of the container's operation, done
    int32_t TotalPercent = 0; // 0..100
};

class TDownloadStatusParameter : public TObject
{
public:
    TDownloadStatusParameter() = default;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    const char *Buffer = nullptr; // the bytes just received
    std::string FileName;
    int32_t TotalBytes = 0; // bytes received so far
    int32_t FileSize = 0; // the size the server announced, 0 when unknown
    int32_t Percent = 0; // of FileSize received
};

class TDiskParameter : public TObject
{
public:
    TDiskParameter() = default;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    int32_t DiskNumber = 0;
    std::string Path; // where the disk's file is looked for; a receiver may change it
};

// ---- The container ------------------------------------------------------------------

// Every component that takes part in an installation. Its children are the
// install objects that name it as their Container, ordered by registered type
// and, within a type, by Order. Installing walks the tree: Process,
// InstallObjects, each installable child's Process.
class TInstallContainer : public TComponent
{
public:
    explicit TInstallContainer(TComponent *owner);
    ~TInstallContainer() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Taking part
    bool Installable() const; // InstallObjects processes only installable children
    bool Include() const;
    virtual void SetInclude(bool value);
    bool Processed() const;
    TInstallTypeSet InstallTypes() const;
    void SetInstallTypes(TInstallTypeSet value);
    TInstallType CurrentInstallType() const;
    void SetCurrentInstallType(TInstallType value); // on the whole subtree
    virtual bool ShouldInstall();

    // Destination
    const std::string &DestDir() const;
    virtual void SetDestDir(const std::string &value);
    TCustomPathSpecifier *DestDirType() const;
    virtual void SetDestDirType(TCustomPathSpecifier *value);
    virtual std::string GetDestPath(); // without trailing backslash

    // Place among the siblings
    int Order() const; // -1: not yet placed
    virtual void SetOrder(int value);
    // Raises IEInstallContainer unless a descendant names its type.
    virtual int RegisteredType() const;

    // Children
    int ChildCount() const;
    TInstallObject *Child(int index) const;
    TInstallObject *Comp(int index, const TMetaClass &classType) const;
    int CompCount(const TMetaClass &classType) const;
    void FreeChildren(const TMetaClass &classType); // last first
    virtual int FileContainerCount() const;
    virtual TInstallObject *FileContainers(int index) const;
    virtual void AddChild(TInstallObject *obj);
    virtual void RemoveChild(TInstallObject *obj);

    // Install events
    TInstallObject *EventTarget() const;
    void SetEventTarget(TInstallObject *value);
    // To every direct child of registered type 9000, or only to EventTarget.
    void BroadcastEvent(TObject *sender, int eventCode, TObject *po);
    virtual void DoInstallEvent(TObject *sender, int eventCode, TObject *po);
    // Status codes climbing from a child.
    virtual void DoInformationEventControl(TObject *sender, int code, TObject *po);
    virtual void ShowStatusMessage(const std::string &text);
    void ClearStatusMessage();

    // Installing
    virtual void Process();
    virtual void InstallObjects();
    virtual void Resume();
    virtual void LanguageChanged(TKvraLanguage language);
    virtual void WriteUninstallInfo(const std::string &key);
    // other is being destroyed: compare it, never call it or cast it.
    virtual void ContainerDestroying(TInstallContainer *other);

    TInstallContainerNotifyEvent OnAfterProcess;
    TInstallContainerNotifyEvent OnBeforeProcess;
    TInstallContainerNotifyEvent OnBeforeInstallType; // before -999; not published

protected:
    void SetInstallable(bool value);
    // The constructor's specifier: dropped by Loaded unless a resource names one.
    void SetDefaultDestDirType(TCustomPathSpecifier *value);
    bool DestDirTypeAssigned() const;
    bool DestDirTypeDefaulted() const;
    bool Loading() const { return ComponentState().Contains(csLoading); }
    void Loaded() override;
    void Notification(TComponent *component, TOperation operation) override;

private:
    struct Impl;
    std::unique_ptr<Impl> const d;
    void Renumber();
};

// ---- The install object ------------------------------------------------------------

// An install container that lives inside another one, named by Container.
class TInstallObject : public TInstallContainer
{
public:
    explicit TInstallObject(TComponent *owner);
    ~TInstallObject() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    TInstallContainer *Container() const;
    virtual void SetContainer(TInstallContainer *value);

    void ContainerDestroying(TInstallContainer *other) override;
    // Created while designing into the install: placed there now that the
    // whole object, with its registered type, exists.
    void SetParentComponent(TComponent *parent) override;

protected:
    bool ContainerAssigned() const;
    bool ContainerDefaulted() const;
    // Takes the object out of its container and adds it again under order,
    // so it moves to its new place; while loading only stores it.
    void MoveToOrder(int order);
    void Loaded() override;

private:
    TInstallContainer *container_ = nullptr;
    bool containerAssigned_ = false;
    bool containerDefaulted_ = false;
    bool pendingDefault_ = false;
};

// Published property lines that descendants of TInstallObject put in their
// tables, each publishing its own selection in its own order.
template <typename T> struct TInstallPublish {
    using P = TPublish<T>;
    static TPropInfo Container() { return P::Component("Container", &T::Container, &T::SetContainer); }
    static TPropInfo DestDir() { return P::String("DestDir", &T::DestDir, &T::SetDestDir, ""); }
    static TPropInfo DestDirType()
    {
        return P::Component("DestDirType", &T::DestDirType, &T::SetDestDirType);
    }
    static TPropInfo Include() { return P::Boolean("Include", &T::Include, &T::SetInclude, true); }
    static TPropInfo InstallTypes()
    {
        return P::Set("InstallTypes", InstallTypeNames, &T::InstallTypes, &T::SetInstallTypes,
            TInstallTypeSet { itAlways });
    }
    static TPropInfo Order() { return P::Integer("Order", &T::Order, &T::SetOrder, NoDefault); }
    static TPropInfo OnAfterProcess() { return P::Event("OnAfterProcess", &T::OnAfterProcess); }
    static TPropInfo OnBeforeProcess() { return P::Event("OnBeforeProcess", &T::OnBeforeProcess); }
};

// ---- The program's install component --------------------------------------------

// The install component enters itself here in its constructor (with its
// Information) and leaves in its destructor. Objects created while designing
// join it, and every container that installs records its uninstall
// information under its product's Uninstall key.
TInstallContainer *CurrentInstall();
void SetCurrentInstall(TInstallContainer *install, const TInstallInformation *information);
inline constexpr const char *UninstallKeyRoot = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Whether owner is a form or a data module: install objects they own are
// given the standard path specifiers.
bool IsFormOrDataModule(const TComponent *owner);

// ---- Global lists ------------------------------------------------------------------

// Every install container that exists, in the order they were made.
class TInstallContainerList : public TPointerList<TInstallContainer>
{
public:
    void Add(TInstallContainer *container); // nil: IEContainerList
    void Remove(const TInstallContainer *container);
    uint64_t Removals() const { return removals_; } // grows with every Remove

private:
    uint64_t removals_ = 0;
};

// A list of install files: all of them, and those whose registration is deferred.
class TCustomInstallFileList : public TPointerList<TCustomInstallFile>
{
public:
    void Add(TCustomInstallFile *file); // nil: IECustomInstallFileList
};

// Each is null once the program has begun to end.
TInstallContainerList *InstallContainerList();
TCustomInstallFileList *InstallFileList();
TCustomInstallFileList *DeferredRegistrationList();
// The archive component shared by the whole run.
TKvraCompress *SharedArchive();

// ---- The toolkit's forms -------------------------------------------------------------

// The base of every form of the toolkit: it knows the language its texts are
// in and brings them, and its font, to the language the wizard shows.
class TBaseKelvaraForm : public TForm
{
public:
    explicit TBaseKelvaraForm(TComponent *owner);
    ~TBaseKelvaraForm() override;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }

    // Language
    bool AutoSetFont() const { return autoSetFont_; }
    void SetAutoSetFont(bool value) { autoSetFont_ = value; }
    bool AutoTranslate() const { return autoTranslate_; }
    void SetAutoTranslate(bool value) { autoTranslate_ = value; }
    TKvraLanguage CurrentLanguage() const { return currentLanguage_; } // the texts' language now
    void SetCurrentLanguage(TKvraLanguage value) { currentLanguage_ = value; }
    // Translate into TranslateIntoLanguage rather than the global translator's target.
    bool OverrideMainTranslator() const { return overrideMainTranslator_; }
    void SetOverrideMainTranslator(bool value) { overrideMainTranslator_ = value; }
    TKvraLanguage TranslateIntoLanguage() const { return translateIntoLanguage_; }
    void SetTranslateIntoLanguage(TKvraLanguage value) { translateIntoLanguage_ = value; }

    // The install object the form shows
    TInstallContainer *Container() const { return container_; }
    void SetContainer(TInstallContainer *value);

    virtual void Translate();
    virtual void RefreshPage(); // pages read their install objects again
    virtual void ApplyLanguage();

protected:
    void Notification(TComponent *component, TOperation operation) override;

private:
    bool autoSetFont_ = true;
    bool autoTranslate_ = true;
    TInstallContainer *container_ = nullptr;
    TKvraLanguage currentLanguage_ = klEnglish;
    bool overrideMainTranslator_ = false;
    TKvraLanguage translateIntoLanguage_ = klUser;
};

// Every toolkit form that exists, in the order they were made; null once the
// program has begun to end.
// Forms join and leave it themselves.
class TBaseKelvaraFormList : public TPointerList<TBaseKelvaraForm>
{
};
TBaseKelvaraFormList *KelvaraFormList();
