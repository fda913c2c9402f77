#pragma once

#include <string>

#include "platform/rtl/datetime.h"

class TStrings;

// The install log: the registry entry under HKEY_LOCAL_MACHINE
// "\SOFTWARE\Kelvara\Install" that a setup program keeps for itself (which
// program ran, when, from where, the archives it downloaded, its language and
// the work left for after a restart). The install component keeps one and
// hands it what it knows of its run.
struct TInstallLogRun {
    std::string ProgramPath; // the setup program's full path (the module's inside a library)
    TDateTime RunStart = 0; // start of this run
    bool SelfExtract = false; // started by the self-extracting setup (-e)
    std::string SourceDir; // the -s argument
    std::string SelfExtractFile; // the -e argument
};

inline constexpr const char *InstallLogRoot = "\\SOFTWARE\\Kelvara\\Install";

class TInstallLog
{
public:
    TInstallLog() = default;

    // The entry of this setup program: the subkey whose program date and size
    // match the program's (its "Path" and "LastRunDate" are brought up to
    // date), else with create a new "Install<n>". Answers the entry's key
    // path, "" when there is none or the registry cannot be written.
    std::string Open(const TInstallLogRun &run, bool create);
    const std::string &Key() const { return key_; } // "" while there is no entry

    // Deletes the entry with the archives it downloaded, then the log's
    // parent keys when nothing else is left in them.
    void Remove();

    // The unfinished list ("Unfinished" below the entry): values named by a
    // file (kind 1, deleted at resume) or a component (kind 0, resumed).
    // Without an entry these raise IEInstall with the message that the
    // registry cannot be reached.
    void ClearUnfinishedList();
    void AddUnfinished(const std::string &name, int kind);
    void ReadUnfinishedList(TStrings &list); // "name;kind" lines
    int FilesInUse() const { return filesInUse_; } // entries added in this run
    void StartRun() { filesInUse_ = 0; } // a new run has added nothing yet

    // The wizard's language, kept across a restart. Nothing is written
    // without an entry; a missing or unreadable value gives fallback.
    void SaveLanguage(int language);
    int LoadLanguage(int fallback) const;

private:
    std::string key_;
    int filesInUse_ = 0;

    void RequireKey() const;
};
