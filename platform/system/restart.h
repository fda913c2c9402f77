#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Restarting the emulated machine, and the work Windows does while it
// restarts. A restart request and the files to move at restart are recorded
// in the machine's root (folder "restart"); the winboot command carries them
// out as Windows would: the pending moves first (those of MoveFileEx, then
// the [Rename] section of "WININIT.INI"), then the RunOnce commands.

constexpr uint32_t ERROR_WRITE_FAULT = 29;
constexpr uint32_t ERROR_SHARING_VIOLATION = 32;
constexpr uint32_t ERROR_NOT_ALL_ASSIGNED = 1300;
constexpr uint32_t ERROR_NO_SUCH_PRIVILEGE = 1313;
constexpr uint32_t ERROR_PRIVILEGE_NOT_HELD = 1314;
constexpr uint32_t ERROR_SHUTDOWN_IN_PROGRESS = 1115;

// ---- Ending the session ---------------------------------------------------------

constexpr uint32_t EWX_LOGOFF = 0;
constexpr uint32_t EWX_SHUTDOWN = 1;
constexpr uint32_t EWX_REBOOT = 2;
constexpr uint32_t EWX_FORCE = 4;
constexpr uint32_t EWX_POWEROFF = 8;

// Records the request; the machine restarts when winboot runs. A restart
// needs the shutdown privilege enabled in the process token, as on an
// NT-class Windows (ERROR_PRIVILEGE_NOT_HELD otherwise). The registry changes
// a batch holds are saved first; when they cannot be, nothing is recorded
// (ERROR_WRITE_FAULT).
bool ExitWindowsEx(uint32_t flags, uint32_t reserved);
// The flags of the recorded request, or -1 when none is pending.
int64_t PendingRestart();
void ClearPendingRestart();

// ---- Privileges of the process token ------------------------------------------------

constexpr uint32_t TOKEN_ADJUST_PRIVILEGES = 0x0020;
constexpr uint32_t TOKEN_QUERY = 0x0008;
constexpr uint32_t SE_PRIVILEGE_ENABLED = 0x0002;
inline constexpr const char *SE_SHUTDOWN_NAME = "SeShutdownPrivilege";

struct LUID {
    uint32_t LowPart = 0;
    int32_t HighPart = 0;
};
struct TOKEN_PRIVILEGE {
    LUID Luid;
    uint32_t Attributes = 0; // SE_PRIVILEGE_ENABLED or 0
};

using TTokenHandle = uintptr_t; // 0: none

bool OpenProcessToken(uint32_t desiredAccess, TTokenHandle &token);
bool LookupPrivilegeValue(const std::string &name, LUID &luid); // ERROR_NO_SUCH_PRIVILEGE
// Enables or disables each privilege; a token opened without
// TOKEN_ADJUST_PRIVILEGES answers ERROR_ACCESS_DENIED.
bool AdjustTokenPrivileges(TTokenHandle token, const std::vector<TOKEN_PRIVILEGE> &privileges);
bool CloseHandle(TTokenHandle token);
bool PrivilegeEnabled(const std::string &name);

// ---- Moving files ----------------------------------------------------------------------

constexpr uint32_t MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr uint32_t MOVEFILE_COPY_ALLOWED = 0x2;
constexpr uint32_t MOVEFILE_DELAY_UNTIL_REBOOT = 0x4;

// Without MOVEFILE_DELAY_UNTIL_REBOOT, moves now: with
// MOVEFILE_REPLACE_EXISTING an existing newName is replaced in one step (a
// reader sees the old file or the new one), and a newName held open by
// another program refuses (ERROR_SHARING_VIOLATION). With it, the move (or,
// for an empty newName, the deletion) is recorded for the next restart.
bool MoveFileEx(const std::string &existingFileName, const std::string &newFileName, uint32_t flags);

struct TPendingMove {
    std::string Source; // Windows paths
    std::string Dest; // "": delete Source
};
std::vector<TPendingMove> PendingMoves();
// Takes back every recorded move onto newFileName (the same file of the
// machine, however it is named) and answers their sources, which stay where
// they are. A list that cannot be read takes nothing back.
std::vector<std::string> CancelPendingMoves(const std::string &newFileName);

// ---- Restarting -------------------------------------------------------------------

// What a restart did, for the one who asked for it.
struct TBootReport {
    std::vector<std::string> Done; // one line per move and per command
    std::vector<std::string> Failed; // the same, for those that could not be carried out
};

// Restarts the machine: files in use are released, the pending moves of
// MoveFileEx are carried out in the order recorded, then the [Rename] lines
// of "WININIT.INI" in the Windows folder (the file is kept as "WININIT.BAK"),
// and the restart request is cleared. Then each RunOnce command of
// HKEY_LOCAL_MACHINE, and after them of HKEY_CURRENT_USER, is removed and
// run, one after the other, each waited for.
TBootReport RestartMachine();
