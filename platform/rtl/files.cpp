#include "platform/rtl/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"

namespace
{

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool HasDrive(const std::string &name)
{
    return name.size() >= 2 && name[1] == ':'
        && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

// The last separator or drive colon, or npos. A colon counts only as the
// drive's: host names may hold colons where Windows names cannot.
size_t LastDelimiter(const std::string &name, bool orDot = false)
{
    for (size_t i = name.size(); i-- > 0;) {
        const char c = name[i];
        if (IsSeparator(c) || (orDot && c == '.') || (i == 1 && HasDrive(name)))
            return i;
    }
    return std::string::npos;
}

int DosDate(time_t unixTime)
{
    try {
        return DateTimeToFileDate(UnixTimeToDateTime(unixTime));
    } catch (const EConvertError &) {
        // Host times beyond the years 1..9999: the nearest DOS date.
        return DateTimeToFileDate(unixTime < 0 ? MinDateTime : MaxDateTime);
    }
}

int AttributesOf(const std::string &name, const struct stat &st)
{
    int attr = 0;
    if (S_ISDIR(st.st_mode))
        attr |= faDirectory;
    else if (S_ISREG(st.st_mode))
        attr |= faArchive;
    else
        attr |= faSysFile;
    if ((st.st_mode & S_IWUSR) == 0)
        attr |= faReadOnly;
    if (!name.empty() && name[0] == '.')
        attr |= faHidden;
    return attr;
}

// The name part of a host path, for the hidden attribute.
std::string HostName(const std::string &hostPath)
{
    std::string path = hostPath;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool StatPath(const std::string &hostPath, struct stat &st)
{
    return stat(hostPath.c_str(), &st) == 0 || lstat(hostPath.c_str(), &st) == 0;
}

// Windows wildcards over code points, ignoring case: '*' any run, '?' one
// character. A pattern ending in ".*" also matches a name without any
// extension, so "*.*" matches every name and "files.*" matches "files".
bool MatchFrom(const std::u32string &pattern, size_t p, const std::u32string &name, size_t n)
{
    size_t starP = std::u32string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == U'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (starP != std::u32string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*')
        ++p;
    return p == pattern.size();
}

std::u32string Folded(const std::string &text)
{
    std::u32string codePoints = Utf8ToCodePoints(text);
    for (char32_t &c : codePoints)
        c = AnsiUpperChar(c);
    return codePoints;
}

bool MatchesMask(const std::u32string &pattern, const std::string &name)
{
    const std::u32string folded = Folded(name);
    if (MatchFrom(pattern, 0, folded, 0))
        return true;
    const size_t n = pattern.size();
    return n >= 2 && pattern[n - 2] == U'.' && pattern[n - 1] == U'*'
        && MatchFrom(pattern.substr(0, n - 2), 0, folded, 0);
}

// Renames without replacing an existing target. Where the file system
// cannot do that in one step, the check and the rename are two.
bool RenameNoReplace(const std::string &from, const std::string &to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

// ---- Existence, folders, names -------------------------------------------------

bool FileExists(const std::string &fileName)
{
    struct stat st;
    return StatMapped(fileName, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string &directory)
{
    struct stat st;
    return StatMapped(directory, st) && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string &directory)
{
    return mkdir(MapPath(directory).c_str(), 0777) == 0;
}

bool RemoveDir(const std::string &directory)
{
    return rmdir(MapPath(directory).c_str()) == 0;
}

bool ForceDirectories(const std::string &directory)
{
    if (directory.empty())
        throw EInOutError("Unable to create directory");
    TPathFound found;
    std::string host = MapPath(directory, &found);
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    struct stat st;
    if (found.Stat(host, st) && S_ISDIR(st.st_mode))
        return true; // as a rule it is there already, and the mapping saw it
    // Made from the deepest folder that is there, so that a new folder costs
    // a look or two and not one per folder of its path.
    size_t start = found.known && !found.exists ? found.folder : 0; // the length of the part that is there
    for (size_t slash = host.rfind('/'); start == 0 && slash != std::string::npos && slash > 0;
         slash = host.rfind('/', slash - 1)) {
        if (stat(host.substr(0, slash).c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return false;
            start = slash;
            break;
        }
    }
    for (size_t end = host.find('/', start + 1);; end = host.find('/', end + 1)) {
        const std::string part = host.substr(0, end);
        if (mkdir(part.c_str(), 0777) != 0
            && (errno != EEXIST || stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
            return false;
        if (end == std::string::npos)
            return true;
    }
}

namespace
{
TFileFaultHooks faultHooks;
} // namespace

void SetFileFaultHooks(const TFileFaultHooks &hooks)
{
    faultHooks = hooks;
}

bool DeleteFile(const std::string &fileName)
{
    const std::string host = MapPath(fileName);
    struct stat st;
    if (lstat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (faultHooks.InUse && faultHooks.InUse(host)) {
        errno = EBUSY;
        return false;
    }
    return unlink(host.c_str()) == 0;
}

// Windows refuses to move a file onto an existing one; so do we, rather than
// let a rename silently destroy the file it lands on.
bool RenameFile(const std::string &oldName, const std::string &newName)
{
    const std::string from = MapPath(oldName);
    const std::string to = MapPath(newName);
    if (from == to) {
        struct stat st;
        return lstat(from.c_str(), &st) == 0;
    }
    return RenameNoReplace(from, to);
}

// The copy is written beside the destination under a temporary name and
// moved over it only when complete, so a failed copy leaves an existing
// destination as it was. Like Windows, the copy keeps the source's
// permissions and last-write time.
bool CopyFile(const std::string &source, const std::string &dest, bool failIfExists)
{
    const std::string to = MapPath(dest);
    const int in = FileOpen(source, fmOpenRead);
    if (in < 0)
        return false;
    struct stat st;
    if (fstat(in, &st) != 0) {
        FileClose(in);
        return false;
    }
    struct stat existing;
    if (failIfExists && lstat(to.c_str(), &existing) == 0) {
        FileClose(in);
        errno = EEXIST;
        return false;
    }
    std::string temporary = to + ".XXXXXX";
    const int out = mkostemp(temporary.data(), O_CLOEXEC);
    if (out < 0) {
        FileClose(in);
        return false;
    }
    int error = 0;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const int64_t n = FileRead(in, buffer.data(), static_cast<int64_t>(buffer.size()));
        if (n < 0 || (n > 0 && FileWrite(out, buffer.data(), n) != n)) {
            error = errno != 0 ? errno : EIO;
            break;
        }
        if (n == 0)
            break;
    }
    const struct timespec times[2] = { { 0, UTIME_OMIT }, st.st_mtim };
    if (error == 0 && (fchmod(out, st.st_mode & 07777) != 0 || futimens(out, times) != 0))
        error = errno;
    if (close(out) != 0 && error == 0)
        error = errno;
    FileClose(in);
    if (error == 0
        && !(failIfExists ? RenameNoReplace(temporary, to) : rename(temporary.c_str(), to.c_str()) == 0))
        error = errno;
    if (error != 0) {
        unlink(temporary.c_str());
        errno = error;
        return false;
    }
    return true;
}

std::string GetCurrentDir()
{
    std::vector<char> buffer(256);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

bool SetCurrentDir(const std::string &directory)
{
    return chdir(MapPath(directory).c_str()) == 0;
}

std::string ExtractFilePath(const std::string &fileName)
{
    const size_t i = LastDelimiter(fileName);
    return i == std::string::npos ? std::string() : fileName.substr(0, i + 1);
}

std::string ExtractFileDir(const std::string &fileName)
{
    size_t i = LastDelimiter(fileName);
    if (i == std::string::npos)
        return {};
    // Keep the separator of a root: "C:\", "\", "\\".
    if (i > 0 && IsSeparator(fileName[i]) && !IsSeparator(fileName[i - 1]) && !(i == 2 && HasDrive(fileName)))
        --i;
    return fileName.substr(0, i + 1);
}

std::string ExtractFileName(const std::string &fileName)
{
    const size_t i = LastDelimiter(fileName);
    return i == std::string::npos ? fileName : fileName.substr(i + 1);
}

std::string ExtractFileExt(const std::string &fileName)
{
    const size_t i = LastDelimiter(fileName, true);
    return i != std::string::npos && fileName[i] == '.' ? fileName.substr(i) : std::string();
}

std::string ExtractFileDrive(const std::string &fileName)
{
    if (HasDrive(fileName))
        return fileName.substr(0, 2);
    if (fileName.size() >= 2 && IsSeparator(fileName[0]) && IsSeparator(fileName[1])) {
        // "\\server\share": up to the separator after the share name.
        size_t separators = 0, i = 2;
        for (; i < fileName.size(); ++i)
            if (IsSeparator(fileName[i]) && ++separators == 2)
                break;
        return fileName.substr(0, i);
    }
    return {};
}

std::string ChangeFileExt(const std::string &fileName, const std::string &extension)
{
    size_t i = LastDelimiter(fileName, true);
    if (i == std::string::npos || fileName[i] != '.')
        i = fileName.size();
    return fileName.substr(0, i) + extension;
}

// A path written with "/" only keeps to "/"; anything else is a Windows path.
std::string IncludeTrailingBackslash(const std::string &path)
{
    if (!path.empty() && IsSeparator(path.back()))
        return path;
    const bool slashes = path.find('/') != std::string::npos && path.find('\\') == std::string::npos;
    return path + (slashes ? '/' : '\\');
}

// A lone root separator stays: without it "/" would turn into the current folder.
std::string ExcludeTrailingBackslash(const std::string &path)
{
    if (path.size() > 1 && IsSeparator(path.back()))
        return path.substr(0, path.size() - 1);
    return path;
}

std::string ExpandFileName(const std::string &fileName)
{
    if (fileName.empty())
        return {};
    std::string root, rest;
    char separator;
    const std::string drive = ExtractFileDrive(fileName);
    if (!drive.empty()) {
        // A drive's own current folder is not kept: "C:f" means "C:\f".
        root = drive + '\\';
        rest = fileName.substr(drive.size());
        separator = '\\';
    } else if (IsSeparator(fileName[0])) {
        separator = fileName[0];
        root = std::string(1, separator);
        rest = fileName;
    } else {
        separator = '/';
        root = "/";
        rest = GetCurrentDir() + '/' + fileName;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end]))
            ++end;
        const std::string part = rest.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result = root;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            result += separator;
        result += parts[i];
    }
    if (!parts.empty() && IsSeparator(fileName.back()))
        result += separator;
    return result;
}

// ---- Searching a folder --------------------------------------------------------

struct TSearchState {
    struct Entry {
        std::string name;
        int attr;
        int64_t size;
        int time;
    };
    std::vector<Entry> entries;
    size_t next = 0;
};

namespace
{

int TakeNext(TSearchRec &searchRec)
{
    TSearchState *state = searchRec.FindHandle.get();
    if (state == nullptr || state->next >= state->entries.size())
        return ENOENT;
    const TSearchState::Entry &entry = state->entries[state->next++];
    searchRec.Name = entry.name;
    searchRec.Attr = entry.attr;
    searchRec.Size = entry.size;
    searchRec.Time = entry.time;
    return 0;
}

} // namespace

// The folder is read whole at the start and sorted, so the order does not
// depend on the file system and files created meanwhile do not disturb it.
int FindFirst(const std::string &mask, int attr, TSearchRec &searchRec)
{
    FindClose(searchRec);
    const std::string directory = ExtractFilePath(mask);
    const std::string pattern = ExtractFileName(mask);
    if (pattern.empty())
        return ENOENT;
    TPathFound found;
    std::string host = directory.empty() ? std::string(".") : MapPath(directory, &found);
    std::vector<std::string> names;
    const bool seen = found.known && found.exists && S_ISDIR(found.st.st_mode);
    if (!ListFolder(host, names, seen ? &found.st : nullptr))
        return errno;
    if (!host.ends_with('/'))
        host += '/';

    const int excludeAttr = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
    const std::u32string folded = Folded(pattern);
    auto state = std::make_shared<TSearchState>();
    for (const std::string &name : names) {
        if (!MatchesMask(folded, name))
            continue;
        struct stat st;
        if (!StatPath(host + name, st))
            continue;
        const int entryAttr = AttributesOf(name, st);
        if ((entryAttr & excludeAttr) != 0)
            continue;
        state->entries.push_back({ name, entryAttr,
            S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size), DosDate(st.st_mtime) });
    }
    std::sort(state->entries.begin(), state->entries.end(), [](const auto &a, const auto &b) {
        const int c = AnsiCompareText(a.name, b.name);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    searchRec.ExcludeAttr = excludeAttr;
    searchRec.FindHandle = std::move(state);
    const int result = TakeNext(searchRec);
    if (result != 0)
        searchRec.FindHandle.reset();
    return result;
}

int FindNext(TSearchRec &searchRec)
{
    return TakeNext(searchRec);
}

void FindClose(TSearchRec &searchRec)
{
    searchRec.FindHandle.reset();
}

// ---- Dates and attributes ------------------------------------------------------

int FileAge(const std::string &fileName)
{
    struct stat st;
    if (stat(MapPath(fileName).c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return -1;
    return DosDate(st.st_mtime);
}

int FileGetDate(int handle)
{
    struct stat st;
    return fstat(handle, &st) == 0 ? DosDate(st.st_mtime) : -1;
}

namespace
{

// The host time of a DOS date, false for a date that names no real moment.
bool UnixTimeOf(int age, struct timespec &time)
{
    try {
        time.tv_sec = DateTimeToUnixTime(FileDateToDateTime(age));
        time.tv_nsec = 0;
        return true;
    } catch (const EConvertError &) {
        return false;
    }
}

} // namespace

int FileSetDate(int handle, int age)
{
    struct timespec times[2] = { { 0, UTIME_OMIT }, {} };
    if (!UnixTimeOf(age, times[1]))
        return EINVAL;
    return futimens(handle, times) == 0 ? 0 : errno;
}

int FileSetDate(const std::string &fileName, int age)
{
    struct timespec times[2] = { { 0, UTIME_OMIT }, {} };
    if (!UnixTimeOf(age, times[1]))
        return EINVAL;
    return utimensat(AT_FDCWD, MapPath(fileName).c_str(), times, 0) == 0 ? 0 : errno;
}

int FileGetAttr(const std::string &fileName)
{
    const std::string host = MapPath(fileName);
    struct stat st;
    return StatPath(host, st) ? AttributesOf(HostName(host), st) : -1;
}

// Only read-only can be kept: it clears every write bit, and clearing it
// gives the owner write access back. The other attributes have no home here.
int FileSetAttr(const std::string &fileName, int attr)
{
    const std::string host = MapPath(fileName);
    struct stat st;
    if (stat(host.c_str(), &st) != 0)
        return errno;
    const mode_t mode = st.st_mode & 07777;
    const mode_t wanted = (attr & faReadOnly) ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
    if (wanted == mode)
        return 0;
    return chmod(host.c_str(), wanted) == 0 ? 0 : errno;
}

int64_t FileSize(const std::string &fileName)
{
    struct stat st;
    if (stat(MapPath(fileName).c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return -1;
    return st.st_size;
}

// ---- Handles -------------------------------------------------------------------

// A folder is not a file: the host would open it for reading, Windows does not.
int FileOpen(const std::string &fileName, uint16_t mode)
{
    int flags;
    switch (mode & 0x0003) {
    case fmOpenRead:
        flags = O_RDONLY;
        break;
    case fmOpenWrite:
        flags = O_WRONLY;
        break;
    case fmOpenReadWrite:
        flags = O_RDWR;
        break;
    default:
        errno = EINVAL;
        return -1;
    }
    const int handle = open(MapPath(fileName).c_str(), flags | O_CLOEXEC);
    if (handle < 0)
        return -1;
    struct stat st;
    if (fstat(handle, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(handle);
        errno = EISDIR;
        return -1;
    }
    return handle;
}

int FileCreate(const std::string &fileName)
{
    return open(MapPath(fileName).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

namespace
{
// read and write may move fewer bytes than asked or be interrupted by a
// signal: step is called again for the rest until count is done, the end
// comes or an error stops it. What was moved before an error still counts.
template <class Step> int64_t TransferAll(int64_t count, Step step)
{
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = step(done, static_cast<size_t>(count - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? done : -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}
} // namespace

int64_t FileRead(int handle, void *buffer, int64_t count)
{
    return TransferAll(count,
        [&](int64_t done, size_t rest) { return read(handle, static_cast<char *>(buffer) + done, rest); });
}

int64_t FileWrite(int handle, const void *buffer, int64_t count)
{
    int64_t allowed = count;
    if (faultHooks.Fits)
        allowed = std::clamp<int64_t>(faultHooks.Fits(count), 0, count);
    const int64_t done = TransferAll(allowed, [&](int64_t done, size_t rest) {
        return write(handle, static_cast<const char *>(buffer) + done, rest);
    });
    if (done >= 0 && allowed < count) {
        errno = ENOSPC;
        return done > 0 ? done : -1;
    }
    return done;
}

int64_t FileSeek(int handle, int64_t offset, int origin)
{
    int whence;
    switch (origin) {
    case 0:
        whence = SEEK_SET;
        break;
    case 1:
        whence = SEEK_CUR;
        break;
    case 2:
        whence = SEEK_END;
        break;
    default:
        errno = EINVAL;
        return -1;
    }
    return lseek(handle, offset, whence);
}

void FileClose(int handle)
{
    close(handle);
}

bool IsProgramImage(const void *head, int64_t count)
{
    const auto *b = static_cast<const unsigned char *>(head);
    const bool elf = count >= 4 && b[0] == 0x7f && b[1] == 'E' && b[2] == 'L' && b[3] == 'F';
    const bool script = count >= 2 && b[0] == '#' && b[1] == '!';
    return elf || script;
}

bool MarkProgramExecutable(const std::string &fileName)
{
    const std::string host = MapPath(fileName);
    unsigned char head[4] = {};
    FILE *file = std::fopen(host.c_str(), "rb");
    if (!file)
        return false;
    const size_t read = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    if (!IsProgramImage(head, static_cast<int64_t>(read)))
        return false;
    const mode_t mask = umask(0);
    umask(mask);
    return chmod(host.c_str(), 0777 & ~mask) == 0;
}
