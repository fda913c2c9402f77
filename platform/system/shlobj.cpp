#include "platform/system/shlobj.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/lasterror.h"
#include "platform/rtl/pathmap.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "platform/system/atomicfile.h"
#include "platform/system/faults.h"
#include "platform/system/machine.h"

const CLSID CLSID_ShellLink { 0x00021401, 0x0000, 0x0000, { 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };
const IID IID_IShellLinkA { 0x000214EE, 0x0000, 0x0000, { 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };
const IID IID_IPersistFile { 0x0000010B, 0x0000, 0x0000, { 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 } };

namespace
{

constexpr size_t MaxArguments = 32767;

// ---- The file format ---------------------------------------------------------------
//
// A shortcut file is a 76-byte header, then the optional parts its link flags
// announce, in this order: the target's ID list (not written here), the link
// information (volume and local base path of the target), the string data
// (each a 16-bit character count and that many UTF-16 characters, no
// terminator), and the extra data blocks, ended by a 32-bit zero.

constexpr uint32_t HasLinkInfo = 0x00000002;
constexpr uint32_t HasRelativePath = 0x00000008;
constexpr uint32_t HasWorkingDir = 0x00000010;
constexpr uint32_t HasArguments = 0x00000020;
constexpr uint32_t IsUnicode = 0x00000080;

constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr uint32_t SW_SHOWNORMAL = 1;
constexpr uint32_t DRIVE_REMOVABLE = 2;
constexpr uint32_t DRIVE_FIXED = 3;
constexpr uint32_t VolumeIDAndLocalBasePath = 0x1;

class TBytes
{
public:
    void U16(uint32_t v)
    {
        bytes_ += static_cast<char>(v & 0xFF);
        bytes_ += static_cast<char>((v >> 8) & 0xFF);
    }
    void U32(uint32_t v)
    {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void U64(uint64_t v)
    {
        U32(static_cast<uint32_t>(v));
        U32(static_cast<uint32_t>(v >> 32));
    }
    void Guid(const GUID &g)
    {
        U32(g.Data1);
        U16(g.Data2);
        U16(g.Data3);
        bytes_.append(reinterpret_cast<const char *>(g.Data4), 8);
    }
    void Raw(std::string_view s) { bytes_ += s; }
    void Wide(std::u16string_view s)
    {
        for (char16_t c : s)
            U16(c);
    }
    void PatchU32(size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes_[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    size_t Size() const { return bytes_.size(); }
    const std::string &Str() const { return bytes_; }

private:
    std::string bytes_;
};

// The ANSI form of a text for the file's ANSI fields: Windows-1252, with '?'
// for what it cannot show (the Unicode fields carry the exact text).
std::string ToAnsi(std::string_view text)
{
    static constexpr char16_t High[32] = { 0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6,
        0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013,
        0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178 };
    std::string out;
    for (size_t pos = 0; pos < text.size();) {
        const char32_t cp = Utf8Next(text, pos);
        char c = '?';
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
            c = static_cast<char>(cp);
        else
            for (int i = 0; i < 32; ++i)
                if (High[i] && High[i] == cp)
                    c = static_cast<char>(0x80 + i);
        out += c;
    }
    return out;
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// The Windows name of a target: '/' read as '\', and a host path named by
// the drive that holds it.
std::string WindowsPath(const std::string &path)
{
    std::string result = path;
    if (!path.empty() && path.front() == '/') {
        result = "Z:" + path;
        for (char letter = 'A'; letter <= 'Y'; ++letter) {
            const std::string drive = Machine().DriveFolder(letter);
            if (path.size() > drive.size() && path.compare(0, drive.size(), drive) == 0
                && path[drive.size()] == '/') {
                result = std::string(1, letter) + ":" + path.substr(drive.size());
                break;
            }
        }
    }
    for (char &c : result)
        if (c == '/')
            c = '\\';
    return result;
}

std::vector<std::string> Components(const std::string &path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (IsSeparator(c)) {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

// The target named from the link's own folder ("..\..\Program Files\x.exe",
// ".\x.exe"), or "" when the two are on different drives.
std::string RelativePath(const std::string &linkFile, const std::string &target)
{
    if (linkFile.size() < 2 || target.size() < 2 || linkFile[1] != ':' || target[1] != ':'
        || !SameText(linkFile.substr(0, 1), target.substr(0, 1)))
        return "";
    std::vector<std::string> from = Components(linkFile.substr(2));
    if (!from.empty())
        from.pop_back(); // the link's own name
    const std::vector<std::string> to = Components(target.substr(2));
    size_t common = 0;
    while (common < from.size() && common + 1 < to.size() && AnsiSameText(from[common], to[common]))
        ++common;
    std::string relative;
    for (size_t i = common; i < from.size(); ++i)
        relative += "..\\";
    if (relative.empty())
        relative = ".\\";
    for (size_t i = common; i < to.size(); ++i)
        relative += to[i] + (i + 1 < to.size() ? "\\" : "");
    return relative;
}

uint64_t FileTime(const struct timespec &t)
{
    constexpr uint64_t UnixEpoch = 116444736000000000ull; // 1970-01-01 in 100 ns since 1601
    if (t.tv_sec < 0)
        return 0;
    return UnixEpoch + static_cast<uint64_t>(t.tv_sec) * 10000000ull + static_cast<uint64_t>(t.tv_nsec) / 100;
}

struct TLinkData {
    std::string Target; // Windows path
    std::string Arguments;
    std::string WorkingDirectory;
    uint16_t HotKey = 0;
};

void StringData(TBytes &out, const std::string &text)
{
    const std::u16string wide = Utf8ToUtf16(text);
    out.U16(static_cast<uint32_t>(wide.size()));
    out.Wide(wide);
}

std::string LinkFileBytes(const TLinkData &link, const std::string &linkFile)
{
    const std::string relative = link.Target.empty() ? "" : RelativePath(linkFile, link.Target);
    const bool local = link.Target.size() >= 3 && link.Target[1] == ':' && IsSeparator(link.Target[2]);

    struct stat st {
    };
    const bool exists = !link.Target.empty() && ::stat(MapPath(link.Target).c_str(), &st) == 0;

    uint32_t flags = IsUnicode;
    if (local)
        flags |= HasLinkInfo;
    if (!relative.empty())
        flags |= HasRelativePath;
    if (!link.WorkingDirectory.empty())
        flags |= HasWorkingDir;
    if (!link.Arguments.empty())
        flags |= HasArguments;

    TBytes out;
    out.U32(0x4C);
    out.Guid(CLSID_ShellLink);
    out.U32(flags);
    out.U32(exists && S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
    out.U64(exists ? FileTime(st.st_ctim) : 0);
    out.U64(exists ? FileTime(st.st_atim) : 0);
    out.U64(exists ? FileTime(st.st_mtim) : 0);
    out.U32(exists && S_ISREG(st.st_mode) ? static_cast<uint32_t>(st.st_size & 0xFFFFFFFF) : 0);
    out.U32(0); // icon index
    out.U32(SW_SHOWNORMAL);
    out.U16(link.HotKey);
    out.U16(0);
    out.U32(0);
    out.U32(0);

    if (local) {
        // Header of 0x24 bytes: the Unicode offsets follow the ANSI ones.
        const size_t start = out.Size();
        const char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(link.Target[0])));
        const std::string ansiPath = ToAnsi(link.Target);
        const uint32_t volumeSize = 0x10 + 1; // fixed fields and an empty label
        const uint32_t volumeOffset = 0x24;
        const uint32_t pathOffset = volumeOffset + volumeSize;
        const uint32_t suffixOffset = pathOffset + static_cast<uint32_t>(ansiPath.size()) + 1;
        const uint32_t pathOffsetUnicode = suffixOffset + 1;
        const std::u16string widePath = Utf8ToUtf16(link.Target);
        const uint32_t suffixOffsetUnicode = pathOffsetUnicode + 2 * (static_cast<uint32_t>(widePath.size()) + 1);
        out.U32(0); // size, patched below
        out.U32(0x24);
        out.U32(VolumeIDAndLocalBasePath);
        out.U32(volumeOffset);
        out.U32(pathOffset);
        out.U32(0); // no network share
        out.U32(suffixOffset);
        out.U32(pathOffsetUnicode);
        out.U32(suffixOffsetUnicode);
        out.U32(volumeSize);
        out.U32(drive == 'A' || drive == 'B' ? DRIVE_REMOVABLE : DRIVE_FIXED);
        out.U32(0x4F525600u + static_cast<uint32_t>(drive)); // the drive's serial number
        out.U32(0x10);
        out.Raw(std::string_view("\0", 1));
        out.Raw(ansiPath);
        out.Raw(std::string_view("\0\0", 2)); // the path's end and the empty suffix
        out.Wide(widePath);
        out.U16(0);
        out.U16(0); // empty Unicode suffix
        out.PatchU32(start, static_cast<uint32_t>(out.Size() - start));
    }
    if (flags & HasRelativePath)
        StringData(out, relative);
    if (flags & HasWorkingDir)
        StringData(out, link.WorkingDirectory);
    if (flags & HasArguments)
        StringData(out, link.Arguments);
    out.U32(0); // no extra data
    return out.Str();
}

// ---- The object ---------------------------------------------------------------------

class TShellLink final : public IShellLinkA, public IPersistFile
{
public:
    HRESULT QueryInterface(const IID &iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        if (const HRESULT fault = ComFault("QueryInterface")) {
            *object = nullptr;
            return fault;
        }
        if (iid == IID_IUnknown || iid == IID_IShellLinkA)
            *object = static_cast<IShellLinkA *>(this);
        else if (iid == IID_IPersistFile)
            *object = static_cast<IPersistFile *>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    uint32_t AddRef() override { return ++references_; }
    uint32_t Release() override
    {
        const uint32_t left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT SetPath(const char *file) override
    {
        return Store("SetPath", file, MAX_PATH - 1, link_.Target, true);
    }
    HRESULT SetArguments(const char *arguments) override
    {
        return Store("SetArguments", arguments, MaxArguments, link_.Arguments, false);
    }
    HRESULT SetWorkingDirectory(const char *folder) override
    {
        return Store("SetWorkingDirectory", folder, MAX_PATH - 1, link_.WorkingDirectory, true);
    }
    HRESULT SetHotkey(uint16_t hotKey) override
    {
        if (const HRESULT fault = ComFault("SetHotkey"))
            return fault;
        link_.HotKey = hotKey;
        return S_OK;
    }

    HRESULT Save(const char16_t *fileName, bool) override
    {
        if (const HRESULT fault = ComFault("Save"))
            return fault;
        if (!fileName || !*fileName)
            return E_INVALIDARG;
        const std::string name = WindowsPath(Utf16ToUtf8(fileName));
        try {
            WriteFileAtomic(MapPath(name), LinkFileBytes(link_, name));
        } catch (const EInOutError &e) {
            switch (e.ErrorCode) {
            case ENOENT:
            case ENOTDIR:
                return HResultFromWin32(ERROR_PATH_NOT_FOUND);
            case EACCES:
            case EPERM:
            case EROFS:
            case EISDIR:
                return E_ACCESSDENIED;
            case ENOSPC:
                return HResultFromWin32(112);
            default:
                return E_FAIL;
            }
        }
        return S_OK;
    }

private:
    HRESULT Store(const char *method, const char *text, size_t limit, std::string &field, bool path)
    {
        if (const HRESULT fault = ComFault(method))
            return fault;
        if (!text)
            return E_INVALIDARG;
        const std::string value = text;
        if (Utf8ToUtf16(value).size() > limit)
            return E_INVALIDARG;
        field = path ? WindowsPath(value) : value;
        return S_OK;
    }

    std::atomic<uint32_t> references_ { 1 };
    TLinkData link_;
};

} // namespace

IUnknown *NewShellLinkObject()
{
    return static_cast<IShellLinkA *>(new TShellLink);
}
