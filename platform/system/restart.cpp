#include "platform/system/restart.h"

#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>

#include "platform/rtl/files.h"
#include "platform/rtl/lasterror.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/atomicfile.h"
#include "platform/system/faults.h"
#include "platform/system/inifiles.h"
#include "platform/system/machine.h"
#include "platform/system/process.h"
#include "platform/system/registry.h"
#include "platform/system/windows.h"

namespace
{

// The restart records live in the root, one small text file each, replaced
// atomically under a lock so that two programs never lose each other's
// entries.
std::string RestartFolder()
{
    const std::string folder = Machine().Root() + "/restart";
    mkdir(folder.c_str(), 0777);
    return folder;
}

std::string MovesFile()
{
    return RestartFolder() + "/pending-moves";
}
std::string RequestFile()
{
    return RestartFolder() + "/restart-request";
}
std::string LockFile()
{
    return RestartFolder() + "/.lock";
}

bool Exists(const std::string &hostPath)
{
    struct stat st;
    return stat(hostPath.c_str(), &st) == 0;
}

std::string ReadIfAny(const std::string &hostPath)
{
    return Exists(hostPath) ? ReadWholeFile(hostPath) : std::string();
}

// One move per line: source, a tab, destination (Windows paths never hold tabs).
std::vector<TPendingMove> ParseMoves(const std::string &text)
{
    std::vector<TPendingMove> moves;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0)
            continue; // a line cut short by a crash before the rename cannot exist; skip anything odd
        moves.push_back({ line.substr(0, tab), line.substr(tab + 1) });
    }
    return moves;
}

struct Token {
    uint32_t access;
};

struct Privileges {
    std::mutex lock;
    std::map<TTokenHandle, Token> tokens;
    TTokenHandle next = 1;
    std::set<std::string> enabled; // upper-case privilege names
};

Privileges &Process()
{
    static Privileges p;
    return p;
}

const char *const KnownPrivileges[] = { "SeShutdownPrivilege", "SeBackupPrivilege", "SeRestorePrivilege",
    "SeDebugPrivilege", "SeSystemtimePrivilege" };

bool ReplaceNow(const std::string &source, const std::string &dest)
{
    const std::string to = MapPath(dest);
    if (HostFileInUse(to)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return false;
    }
    if (std::rename(MapPath(source).c_str(), to.c_str()) != 0) {
        SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

void RunOnceOf(HKEY root, TBootReport &report)
{
    const std::string key = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    TRegistry reg;
    reg.SetRootKey(root);
    if (!reg.OpenKey(key, false))
        return;
    TStringList names;
    reg.GetValueNames(names);
    for (int i = 0; i < names.Count(); ++i) {
        const std::string name = names.Strings(i);
        const std::string command = reg.ReadString(name);
        // Removed before it runs, so that a command that restarts the
        // machine itself is not run again.
        reg.DeleteValue(name);
        const TCommandLine parsed = ParseCommandLine(command);
        bool started = false;
        if (SameText(ExtractFileExt(parsed.Program), ".bat")) {
            started = WinExec(command, SW_HIDE) > 31;
        } else {
            const int64_t pid = StartProgram(parsed.Program, parsed.Arguments);
            if (pid >= 0) {
                WaitForProgram(pid);
                started = true;
            }
        }
        (started ? report.Done : report.Failed).push_back("run " + command);
    }
}

} // namespace

// ---- Ending the session ---------------------------------------------------------

bool ExitWindowsEx(uint32_t flags, uint32_t)
{
    if (!PrivilegeEnabled(SE_SHUTDOWN_NAME)) {
        SetLastError(ERROR_PRIVILEGE_NOT_HELD);
        return false;
    }
    if (RestartRefused()) {
        SetLastError(ERROR_SHUTDOWN_IN_PROGRESS);
        return false;
    }
    // What the session changed in the registry must survive the restart.
    try {
        FlushRegistry();
    } catch (const Exception &) {
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    TFileLock lock(LockFile(), true);
    WriteFileAtomic(RequestFile(), std::to_string(flags) + "\n");
    return true;
}

int64_t PendingRestart()
{
    TFileLock lock(LockFile(), false);
    const std::string text = Trim(ReadIfAny(RequestFile()));
    return text.empty() ? -1 : StrToInt64Def(text, -1);
}

void ClearPendingRestart()
{
    TFileLock lock(LockFile(), true);
    std::remove(RequestFile().c_str());
}

// ---- Privileges --------------------------------------------------------------------

bool OpenProcessToken(uint32_t desiredAccess, TTokenHandle &token)
{
    Privileges &p = Process();
    std::lock_guard guard(p.lock);
    token = p.next++;
    p.tokens[token] = Token { desiredAccess };
    return true;
}

bool LookupPrivilegeValue(const std::string &name, LUID &luid)
{
    for (size_t i = 0; i < std::size(KnownPrivileges); ++i) {
        if (SameText(name, KnownPrivileges[i])) {
            luid.LowPart = static_cast<uint32_t>(i + 19);
            luid.HighPart = 0;
            return true;
        }
    }
    SetLastError(ERROR_NO_SUCH_PRIVILEGE);
    return false;
}

bool AdjustTokenPrivileges(TTokenHandle token, const std::vector<TOKEN_PRIVILEGE> &privileges)
{
    Privileges &p = Process();
    std::lock_guard guard(p.lock);
    const auto found = p.tokens.find(token);
    if (found == p.tokens.end() || !(found->second.access & TOKEN_ADJUST_PRIVILEGES)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    for (const TOKEN_PRIVILEGE &privilege : privileges) {
        const uint32_t index = privilege.Luid.LowPart - 19;
        if (privilege.Luid.HighPart != 0 || index >= std::size(KnownPrivileges)) {
            SetLastError(ERROR_NOT_ALL_ASSIGNED);
            return false;
        }
        const std::string name = UpperCase(KnownPrivileges[index]);
        if (privilege.Attributes & SE_PRIVILEGE_ENABLED)
            p.enabled.insert(name);
        else
            p.enabled.erase(name);
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool CloseHandle(TTokenHandle token)
{
    Privileges &p = Process();
    std::lock_guard guard(p.lock);
    return p.tokens.erase(token) == 1;
}

bool PrivilegeEnabled(const std::string &name)
{
    Privileges &p = Process();
    std::lock_guard guard(p.lock);
    return p.enabled.count(UpperCase(name)) != 0;
}

// ---- Moving files --------------------------------------------------------------------

bool MoveFileEx(const std::string &existingFileName, const std::string &newFileName, uint32_t flags)
{
    if (existingFileName.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
        if (DelayedMovesRefused()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        try {
            TFileLock lock(LockFile(), true);
            std::string text = ReadIfAny(MovesFile());
            text += existingFileName + "\t" + newFileName + "\n";
            WriteFileAtomic(MovesFile(), text);
        } catch (const Exception &) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        return true;
    }
    if (newFileName.empty()) {
        if (HostFileInUse(MapPath(existingFileName))) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return false;
        }
        return DeleteFile(existingFileName);
    }
    if (!(flags & MOVEFILE_REPLACE_EXISTING) && Exists(MapPath(newFileName))) {
        SetLastError(ERROR_FILE_EXISTS);
        return false;
    }
    return ReplaceNow(existingFileName, newFileName);
}

std::vector<TPendingMove> PendingMoves()
{
    TFileLock lock(LockFile(), false);
    return ParseMoves(ReadIfAny(MovesFile()));
}

std::vector<std::string> CancelPendingMoves(const std::string &newFileName)
{
    // No list, nothing to take back: no lock either, nor a folder made.
    if (!Exists(Machine().Root() + "/restart/pending-moves"))
        return {};
    // A list that cannot be read or rewritten takes nothing back either, as
    // MoveFileEx answers FALSE for it: the moves stay as they were recorded.
    try {
        TFileLock lock(LockFile(), true);
        const std::string target = MapPath(newFileName);
        std::vector<std::string> sources;
        std::string kept;
        for (const TPendingMove &move : ParseMoves(ReadIfAny(MovesFile()))) {
            if (!move.Dest.empty() && MapPath(move.Dest) == target)
                sources.push_back(move.Source);
            else
                kept += move.Source + "\t" + move.Dest + "\n";
        }
        if (!sources.empty())
            WriteFileAtomic(MovesFile(), kept);
        return sources;
    } catch (const Exception &) {
        return {};
    }
}

// ---- Restarting -------------------------------------------------------------------

TBootReport RestartMachine()
{
    TBootReport report;
    ClearFilesInUse(); // every program of the old session has ended
    try {
        FlushRegistry(); // and has saved its changes
    } catch (const Exception &) {
        // the last saved state is what the new session finds
    }

    std::vector<TPendingMove> moves;
    {
        TFileLock lock(LockFile(), true);
        moves = ParseMoves(ReadIfAny(MovesFile()));
        std::remove(MovesFile().c_str());
    }
    for (const TPendingMove &move : moves) {
        const bool ok = move.Dest.empty() ? DeleteFile(move.Source) : ReplaceNow(move.Source, move.Dest);
        (ok ? report.Done : report.Failed)
            .push_back(move.Dest.empty() ? "delete " + move.Source : "move " + move.Source + " " + move.Dest);
    }

    const std::string wininit = IncludeTrailingBackslash(GetWindowsDirectory()) + "WININIT.INI";
    if (FileExists(wininit)) {
        TStringList lines;
        {
            TIniFile ini(wininit);
            ini.ReadSectionValues("Rename", lines);
        }
        for (int i = 0; i < lines.Count(); ++i) {
            const std::string line = lines.Strings(i);
            const size_t eq = line.find('=');
            if (eq == std::string::npos)
                continue;
            const std::string dest = line.substr(0, eq);
            const std::string source = line.substr(eq + 1);
            const bool remove = SameText(dest, "NUL");
            const bool ok = remove ? DeleteFile(source) : ReplaceNow(source, dest);
            (ok ? report.Done : report.Failed)
                .push_back(remove ? "delete " + source : "move " + source + " " + dest);
        }
        ReplaceNow(wininit, ChangeFileExt(wininit, ".BAK"));
    }
    ClearPendingRestart();

    RunOnceOf(HKEY_LOCAL_MACHINE, report);
    RunOnceOf(HKEY_CURRENT_USER, report);
    return report;
}
