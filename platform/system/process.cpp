#include "platform/system/process.h"

#include <algorithm>
#include <cerrno>
#include <dlfcn.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

#include "platform/rtl/files.h"
#include "platform/rtl/lasterror.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/atomicfile.h"
#include "platform/system/registry.h"
#include "platform/system/restart.h"
#include "platform/system/windows.h"

extern char **environ;

namespace
{

constexpr uint32_t ERROR_BAD_EXE_FORMAT = 193;

thread_local std::string lastLibraryError;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool NamesFile(const std::string &path)
{
    struct stat st;
    return stat(MapPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The batch files of the engine hold only "erase <file>" and "move <from>
// <to>" lines; they are carried out here, line by line, without a command
// interpreter. Any other line stops the batch.
uint32_t RunBatchFile(const std::string &fileName)
{
    std::string text;
    try {
        text = ReadWholeFile(MapPath(fileName));
    } catch (const Exception &) {
        return WINEXEC_FILE_NOT_FOUND;
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::vector<std::string> words = CommandLineToArgv(line);
        if (words.empty())
            continue;
        const std::string verb = LowerCase(words[0]);
        if (verb == "erase" && words.size() == 2)
            DeleteFile(words[1]);
        else if (verb == "move" && words.size() == 3)
            MoveFileEx(words[1], words[2], MOVEFILE_REPLACE_EXISTING);
        else
            break;
    }
    return 33;
}

} // namespace

std::vector<std::string> CommandLineToArgv(const std::string &commandLine)
{
    std::vector<std::string> result;
    size_t i = 0;
    const size_t n = commandLine.size();
    while (true) {
        while (i < n && IsBlank(commandLine[i]))
            ++i;
        if (i >= n)
            break;
        std::string item;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(commandLine[i]))) {
            if (commandLine[i] == '\\') {
                size_t slashes = 0;
                while (i < n && commandLine[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && commandLine[i] == '"') {
                    item.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        item += '"';
                        ++i;
                    }
                } else {
                    item.append(slashes, '\\');
                }
            } else if (commandLine[i] == '"') {
                quoted = !quoted;
                ++i;
            } else {
                item += commandLine[i++];
            }
        }
        result.push_back(item);
    }
    return result;
}

TCommandLine ParseCommandLine(const std::string &commandLine)
{
    TCommandLine result;
    size_t i = 0;
    while (i < commandLine.size() && IsBlank(commandLine[i]))
        ++i;
    const std::string line = commandLine.substr(i);
    if (!line.empty() && line[0] == '"') {
        const std::vector<std::string> items = CommandLineToArgv(line);
        result.Program = items.front();
        result.Arguments.assign(items.begin() + 1, items.end());
        return result;
    }
    // An unquoted program path may hold blanks: take the shortest prefix
    // that names a file.
    for (size_t end = 0; end <= line.size(); ++end) {
        if (end < line.size() && !IsBlank(line[end]))
            continue;
        const std::string candidate = line.substr(0, end);
        if (NamesFile(candidate) || NamesFile(candidate + ".exe")) {
            result.Program = candidate;
            result.Arguments = CommandLineToArgv(line.substr(end));
            return result;
        }
    }
    const std::vector<std::string> items = CommandLineToArgv(line);
    if (!items.empty()) {
        result.Program = items.front();
        result.Arguments.assign(items.begin() + 1, items.end());
    }
    return result;
}

int64_t StartProgram(const std::string &program, const std::vector<std::string> &arguments)
{
    // The program sees every registry change made before it started.
    try {
        FlushRegistry();
    } catch (const Exception &) {
        // it sees the last saved state; the batch's end reports the failure
    }
    const std::string host = MapPath(program);
    std::vector<std::string> args;
    args.push_back(host);
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, host.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        SetLastError(rc == ENOENT ? ERROR_FILE_NOT_FOUND
                : rc == EACCES    ? ERROR_ACCESS_DENIED
                : rc == ENOEXEC   ? ERROR_BAD_EXE_FORMAT
                                  : ERROR_INVALID_PARAMETER);
        return -1;
    }
    return pid;
}

int WaitForProgram(int64_t processId)
{
    int status = 0;
    while (waitpid(static_cast<pid_t>(processId), &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

uint32_t WinExec(const std::string &commandLine, int cmdShow)
{
    (void)cmdShow; // windows of the started program are its own business
    TCommandLine parsed = ParseCommandLine(commandLine);
    if (parsed.Program.empty())
        return WINEXEC_FILE_NOT_FOUND;
    if (!NamesFile(parsed.Program)) {
        if (NamesFile(parsed.Program + ".exe")) {
            parsed.Program += ".exe";
        } else {
            const std::string folder = ExtractFileDir(parsed.Program);
            return folder.empty() || DirectoryExists(folder) ? WINEXEC_FILE_NOT_FOUND
                                                             : WINEXEC_PATH_NOT_FOUND;
        }
    }
    if (SameText(ExtractFileExt(parsed.Program), ".bat"))
        return RunBatchFile(parsed.Program);
    const int64_t pid = StartProgram(parsed.Program, parsed.Arguments);
    if (pid < 0) {
        const uint32_t error = GetLastError();
        return error == ERROR_BAD_EXE_FORMAT ? WINEXEC_BAD_FORMAT
            : error == ERROR_ACCESS_DENIED   ? ERROR_ACCESS_DENIED
                                             : WINEXEC_FILE_NOT_FOUND;
    }
    return 33;
}

// ---- Libraries --------------------------------------------------------------------

namespace
{

// The string tables of the system's own libraries, as far as the system's
// dialogs use them.
struct TSystemLibrary {
    const char *Name;
    struct Text {
        uint32_t Id;
        const char *English;
        const char *Spanish;
    };
    std::vector<Text> Texts;
};

std::vector<TSystemLibrary> &SystemLibraries()
{
    static std::vector<TSystemLibrary> libraries {
        { "comdlg32.dll", { { 703, "Create New Folder", "Crear nueva carpeta" } } },
        { "shell32.dll",
            { { 8977, "Type the name of the new folder:", "Escriba el nombre de la nueva carpeta:" },
                { 9248, "Choose a folder%s", "Elija una carpeta%s" } } },
    };
    return libraries;
}

TSystemLibrary *SystemLibrary(const std::string &fileName)
{
    const size_t slash = fileName.find_last_of("\\/");
    std::string name = LowerCase(slash == std::string::npos ? fileName : fileName.substr(slash + 1));
    if (name.find('.') == std::string::npos)
        name += ".dll";
    for (TSystemLibrary &library : SystemLibraries())
        if (name == library.Name)
            return &library;
    return nullptr;
}

bool IsSystemLibrary(HMODULE module)
{
    for (TSystemLibrary &library : SystemLibraries())
        if (module == &library)
            return true;
    return false;
}

} // namespace

int LoadString(HMODULE module, uint32_t id, std::string &text, int bufferMax)
{
    text.clear();
    if (!IsSystemLibrary(module)) {
        SetLastError(module ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return 0;
    }
    const bool spanish = (GetUserDefaultLangID() & 0x3FF) == 0x0A;
    for (const TSystemLibrary::Text &entry : static_cast<TSystemLibrary *>(module)->Texts)
        if (entry.Id == id) {
            std::string found = spanish ? entry.Spanish : entry.English;
            size_t length = std::min(found.size(), static_cast<size_t>(std::max(0, bufferMax - 1)));
            while (length > 0 && length < found.size() && (static_cast<unsigned char>(found[length]) & 0xC0) == 0x80)
                --length;
            text = found.substr(0, length);
            return static_cast<int>(text.size());
        }
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
}

HMODULE LoadLibrary(const std::string &fileName)
{
    if (TSystemLibrary *library = SystemLibrary(fileName))
        return library;
    const std::string host = MapPath(fileName);
    void *module = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char *message = dlerror();
        lastLibraryError = message ? message : "";
        SetLastError(NamesFile(fileName) ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
    }
    return module;
}

void *GetProcAddress(HMODULE module, const std::string &procName)
{
    if (IsSystemLibrary(module)) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    if (!module) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    dlerror();
    void *address = dlsym(module, procName.c_str());
    if (!address) {
        const char *message = dlerror();
        lastLibraryError = message ? message : "";
        SetLastError(ERROR_PROC_NOT_FOUND);
    }
    return address;
}

bool FreeLibrary(HMODULE module)
{
    if (IsSystemLibrary(module))
        return true;
    if (!module || dlclose(module) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

std::string LastLibraryError()
{
    return lastLibraryError;
}
