#include "installer/engine/cmp_TInstall/installlog.h"

#include <cmath>

#include "installer/engine/exceptions/exceptions_Kelvara.h"
#include "installer/engine/routines/routines_Registry.h"
#include "installer/engine/routines/routines_Strings.h"
#include "platform/rtl/files.h"
#include "platform/rtl/strings.h"
#include "platform/system/registry.h"

namespace
{

constexpr double SameDate = 1e-7; // days: well below the file date's two seconds

// The registry's answer when the program's entry cannot be kept there.
constexpr const char *NoRegistryAccess = "El instalador no puede acceder al registro de Windows - Es posible "
                                         "que el usuario actual no tenga permisos "
                                         "suficientes";

struct TMatch {
    bool Found = false;
    std::string Name;
};

} // namespace

std::string TInstallLog::Open(const TInstallLogRun &run, bool create)
{
    key_.clear();
    const int age = FileAge(run.ProgramPath);
    const int64_t size = FileSize(run.ProgramPath);
    if (age == -1 || size < 0)
        return key_;
    const TDateTime date = FileDateToDateTime(age);
    try {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (!reg.OpenKey(InstallLogRoot, true))
            return key_;
        TStringList names;
        reg.GetKeyNames(names);
        for (int i = 0; i < names.Count(); ++i) {
            TRegistry entry;
            entry.SetRootKey(HKEY_LOCAL_MACHINE);
            if (!entry.OpenKey(AddTrailingBackslash(InstallLogRoot) + names[i], false))
                continue;
            TDateTime created;
            int storedSize;
            try {
                if (!entry.ValueExists("Path"))
                    continue;
                entry.ReadString("Path");
                created = entry.ReadFloat("CreationDate");
                storedSize = entry.ReadInteger("Size");
            } catch (const ERegistryException &) {
                continue;
            }
            if (std::fabs(date - created) < SameDate && storedSize == static_cast<int>(size)) {
                entry.WriteFloat("LastRunDate", run.RunStart);
                entry.WriteString("Path", run.ProgramPath);
                key_ = AddTrailingBackslash(InstallLogRoot) + names[i];
                return key_;
            }
        }
        if (!create)
            return key_;
        std::string name;
        for (int n = 0;; ++n) {
            name = Format("Install%d", n);
            bool taken = false;
            for (int i = 0; i < names.Count() && !taken; ++i)
                taken = SameText(names[i], name);
            if (!taken)
                break;
        }
        const std::string path = AddTrailingBackslash(InstallLogRoot) + name;
        TRegistry entry;
        entry.SetRootKey(HKEY_LOCAL_MACHINE);
        if (!entry.OpenKey(path, true))
            return key_;
        entry.WriteString("Path", run.ProgramPath);
        entry.WriteFloat("LastRunDate", run.RunStart);
        entry.WriteFloat("CreationDate", date);
        entry.WriteInteger("Size", static_cast<int>(size));
        if (run.SelfExtract)
            entry.WriteString("SelfExtract", AddTrailingBackslash(run.SourceDir) + run.SelfExtractFile);
        key_ = path;
    } catch (const ERegistryException &) {
        key_.clear();
    }
    return key_;
}

void TInstallLog::Remove()
{
    if (key_.empty())
        return;
    try {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (reg.OpenKey(key_, false)) {
            TStringList names;
            reg.GetKeyNames(names);
            for (int i = 0; i < names.Count(); ++i) {
                const std::string sub = AddTrailingBackslash(key_) + names[i];
                const std::string localFile = Trim(RegReadString(rkLocalMachine, sub, "LocalFile", ""));
                if (!localFile.empty())
                    DeleteFile(localFile);
                reg.DeleteKey(sub);
            }
        }
        reg.CloseKey();
        reg.DeleteKey(key_);
        for (const char *parent : { InstallLogRoot, "\\Software\\Kelvara" }) {
            if (!reg.OpenKey(parent, false) || reg.HasSubKeys())
                break;
            reg.CloseKey();
            reg.DeleteKey(parent);
        }
    } catch (const Exception &) {
        // Deleting the log never stops a run.
    }
    key_.clear();
}

void TInstallLog::RequireKey() const
{
    if (key_.empty())
        throw IEInstall(NoRegistryAccess);
}

void TInstallLog::ClearUnfinishedList()
{
    RequireKey();
    RegDeleteKeyTree(rkLocalMachine, AddTrailingBackslash(key_) + "Unfinished");
}

void TInstallLog::AddUnfinished(const std::string &name, int kind)
{
    RequireKey();
    ++filesInUse_;
    RegWriteString(rkLocalMachine, AddTrailingBackslash(key_) + "Unfinished", name, IntToStr(kind));
}

void TInstallLog::ReadUnfinishedList(TStrings &list)
{
    list.Clear();
    RequireKey();
    try {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (!reg.OpenKey(AddTrailingBackslash(key_) + "Unfinished", false))
            return;
        TStringList names;
        reg.GetValueNames(names);
        for (int i = 0; i < names.Count(); ++i) {
            try {
                list.Add(names[i] + ";" + reg.ReadString(names[i]));
            } catch (const ERegistryException &) {
                // a value of another type is no entry of the list
            }
        }
    } catch (const ERegistryException &) {
        // an unreadable registry leaves the list empty
    }
}

void TInstallLog::SaveLanguage(int language)
{
    if (!key_.empty())
        RegWriteInteger(rkLocalMachine, key_, "Language", language);
}

int TInstallLog::LoadLanguage(int fallback) const
{
    if (key_.empty())
        return fallback;
    return RegReadInteger(rkLocalMachine, key_, "Language", fallback);
}
