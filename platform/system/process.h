#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Starting programs and loading libraries of the emulated machine. A program
// is the Linux executable its Windows path maps to, started with an argument
// vector: never through a shell, so nothing in a command line is ever
// interpreted but the program name and the splitting into arguments.

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

// WinExec's failures (a result above 31 means the program started).
constexpr uint32_t WINEXEC_FILE_NOT_FOUND = 2;
constexpr uint32_t WINEXEC_PATH_NOT_FOUND = 3;
constexpr uint32_t WINEXEC_BAD_FORMAT = 11;

// Splits a command line as Windows programs do: blanks separate arguments,
// double quotes group them (and are dropped), a backslash is an ordinary
// character except before a double quote (\" is a quote; 2n backslashes
// before a quote give n).
std::vector<std::string> CommandLineToArgv(const std::string &commandLine);

// The program a command line names and the rest. A quoted first item names
// the program; otherwise, as Windows does with an unquoted path holding
// blanks, the shortest blank-separated prefix that names an existing file
// (as it is, or with ".exe") is the program.
struct TCommandLine {
    std::string Program; // Windows path as written
    std::vector<std::string> Arguments;
};
TCommandLine ParseCommandLine(const std::string &commandLine);

// Starts the program of commandLine and does not wait for it; above 31 when
// it started, else one of the WINEXEC_ codes (ERROR_ACCESS_DENIED for a file
// that is not executable).
uint32_t WinExec(const std::string &commandLine, int cmdShow);

// Starts program with arguments (program's own name is prepended as argv[0]),
// after saving the registry changes a batch holds. Answers the process id,
// or -1 with the reason in GetLastError.
int64_t StartProgram(const std::string &program, const std::vector<std::string> &arguments);
// Waits for a started program; its exit code, or -1 when it was killed or
// is not a child of this process.
int WaitForProgram(int64_t processId);

// ---- Libraries --------------------------------------------------------------------

using HMODULE = void *;

// Loads the shared library a Windows path maps to (dlopen); null on failure
// with GetLastError set.
HMODULE LoadLibrary(const std::string &fileName);
void *GetProcAddress(HMODULE module, const std::string &procName);
bool FreeLibrary(HMODULE module);
// The loader's last message, for logs and tests.
std::string LastLibraryError();

// The system's own libraries of the emulated Windows ("comdlg32.dll",
// "shell32.dll", by name without regard to case or folder) carry nothing but
// the string tables of the system's dialogs, in the user's language
// (GetUserDefaultLangID: Spanish or English). LoadLibrary answers a handle of
// their own for them, which FreeLibrary accepts.
// The text of string id of module, at most bufferMax - 1 characters (a
// UTF-8 sequence is never cut); answers its length, 0 when the module has
// no such string.
int LoadString(HMODULE module, uint32_t id, std::string &text, int bufferMax = 4096);
