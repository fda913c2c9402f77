#include "platform/system/machine.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <list>
#include <map>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include "platform/rtl/pathmap.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/kernelnews.h"
#include "platform/system/registry_p.h"

namespace
{

constexpr const char *HiveNames[] = { "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS" };

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool HostExists(const std::string &path, struct stat &st)
{
    return ::lstat(path.c_str(), &st) == 0;
}

bool HostIsFolder(const std::string &path)
{
    struct stat st {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void MakeFolders(const std::string &path)
{
    std::string partial;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || (path[i] == '/' && i > 0)) {
            partial = path.substr(0, i);
            if (!HostIsFolder(partial) && ::mkdir(partial.c_str(), 0755) != 0 && !HostIsFolder(partial))
                throw EInOutError("Cannot create the machine folder " + partial, errno);
        }
    }
}

std::string UserName()
{
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_name && *pw->pw_name)
        return pw->pw_name;
    if (const char *user = std::getenv("USER"); user && *user)
        return user;
    return "User";
}

} // namespace

// What a look-up learned about one host folder: its entries and, for each
// name without case, the entries it stands for.
class TFolderListing
{
public:
    struct stat stamp {
    }; // the folder as it was listed
    int64_t listedTick = 0; // the file-time clock when it was listed
    int error = 0; // why the folder could not be read; 0 when it was
    int watch = -1; // the kernel's watch on the folder, -1 when it has none

    const std::list<std::string> &Entries() const { return entries_; } // in the folder's order
    bool Contains(const std::string &name) const { return names_.contains(name); }
    // The entry that names name regardless of case: the first match in name
    // order; empty when there is none.
    std::string Match(const std::string &name) const;

    void Add(std::string_view name);
    void Remove(std::string_view name);

private:
    std::list<std::string> entries_; // nodes stay put, so the views below stay valid
    std::unordered_map<std::string_view, std::list<std::string>::iterator> names_;
    std::unordered_map<std::string, std::vector<std::string_view>> byKey_; // by AnsiSameTextKey
};

std::string TFolderListing::Match(const std::string &name) const
{
    const auto found = byKey_.find(AnsiSameTextKey(name));
    if (found == byKey_.end() || found->second.empty())
        return {};
    return std::string(*std::min_element(found->second.begin(), found->second.end()));
}

void TFolderListing::Add(std::string_view name)
{
    if (names_.contains(name))
        return;
    const auto entry = entries_.emplace(entries_.end(), name);
    names_.emplace(*entry, entry);
    byKey_[AnsiSameTextKey(*entry)].push_back(*entry);
}

void TFolderListing::Remove(std::string_view name)
{
    const auto found = names_.find(name);
    if (found == names_.end())
        return;
    const auto entry = found->second;
    const auto key = byKey_.find(AnsiSameTextKey(*entry));
    if (key != byKey_.end()) {
        std::erase(key->second, std::string_view(*entry));
        if (key->second.empty())
            byKey_.erase(key);
    }
    names_.erase(found);
    entries_.erase(entry);
}

// A folder as the kernel knows it, whatever path led to it.
struct TFolderId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const TFolderId &) const = default;
};

struct TFolderIdHash {
    size_t operator()(const TFolderId &id) const { return std::hash<ino_t>()(id.inode) ^ (id.device << 1); }
};

TFolderId IdOf(const struct stat &st)
{
    return { st.st_dev, st.st_ino };
}

struct TMachine::Impl {
    std::string root;
    std::mutex hivesLock;
    std::map<std::string, std::unique_ptr<THive>, TCaseLess> hives;

    // Folder listings, kept while they stand for their folder. The kernel
    // tells of every change to a kept folder (inotify), so a listing is
    // brought up to date from those changes, the program's own included,
    // instead of being read again after each new file; a folder the kernel
    // cannot watch is read again whenever its stamp changes. Guarded by
    // listingsLock.
    std::mutex listingsLock;
    std::unordered_map<TFolderId, TFolderListing, TFolderIdHash> listings;
    int changes = -1; // the inotify descriptor, -1 when there is none (yet)
    uint64_t changesForks = 0; // ForkCount when it was opened
    std::unordered_map<int, TFolderId> watched; // by watch

    ~Impl() { Forget(); }
    void Seed(TMachine &machine);
    const TFolderListing &Listing(const std::string &folder, const struct stat &stamp);
    std::string FindEntry(const std::string &folder, const struct stat &stamp, const std::string &component);
    void TakeChanges();
    void Forget();
};

namespace
{

bool SameStamp(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_mtim.tv_sec == b.st_mtim.tv_sec
        && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ctim.tv_sec == b.st_ctim.tv_sec
        && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

int64_t Nanoseconds(const timespec &t)
{
    return int64_t { t.tv_sec } * 1'000'000'000 + t.tv_nsec;
}

// The clock the kernel stamps file times with: it moves in ticks of a few
// milliseconds, so two changes within one tick may leave a folder's times
// as they were.
int64_t FileTimeTick()
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return Nanoseconds(now);
}

// The entries of the folder open as fd, read straight from the kernel.
// errno when the folder cannot be read.
int ReadFolder(int fd, TFolderListing &listing)
{
    alignas(dirent64) char buffer[32768];
    for (;;) {
        const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        for (ssize_t at = 0; at < n;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(buffer + at);
            const std::string_view name = entry->d_name;
            if (name != "." && name != "..")
                listing.Add(name);
            at += entry->d_reclen;
        }
    }
}

constexpr uint32_t WatchedChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF
    | IN_ONLYDIR | IN_EXCL_UNLINK;

} // namespace

// Drops every listing and watch: after a lost change nothing kept can be
// trusted, and a folder is listed again on demand.
void TMachine::Impl::Forget()
{
    listings.clear();
    watched.clear();
    if (changes >= 0)
        ::close(changes);
    changes = -1;
}

// Brings the watched listings up to date with every change the kernel has
// told of so far. The kernel queues a change before the call that made it
// returns, so whatever was changed before this call is in.
void TMachine::Impl::TakeChanges()
{
    // In a child the descriptor is the parent's, and so are the listings it
    // kept up to date.
    if (changes >= 0 && changesForks != ForkCount())
        Forget();
    if (changes < 0)
        return;
    const bool whole = TakeKernelNews(changes, [&](const inotify_event &event) {
        const auto folder = watched.find(event.wd);
        if (folder == watched.end())
            return;
        const auto listing = listings.find(folder->second);
        if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_UNMOUNT)) {
            if (listing != listings.end() && listing->second.watch == event.wd)
                listings.erase(listing);
            if (event.mask & IN_IGNORED)
                watched.erase(folder);
            return;
        }
        if (listing == listings.end() || event.len == 0)
            return;
        const std::string_view name = event.name; // padded with NULs
        if (event.mask & (IN_CREATE | IN_MOVED_TO))
            listing->second.Add(name);
        else if (event.mask & (IN_DELETE | IN_MOVED_FROM))
            listing->second.Remove(name);
    });
    if (!whole)
        Forget();
}

// The listing of folder, whose stat (stamp) was just taken. It is read once
// and kept while it stands for the folder, changed by this program or
// another. Called with listingsLock held.
const TFolderListing &TMachine::Impl::Listing(const std::string &folder, const struct stat &stamp)
{
    TakeChanges();
    auto it = listings.find(IdOf(stamp));
    // A watched listing stands as long as its folder does. One without a
    // watch stands while the folder's stamp is unchanged, except that a
    // listing made in the tick of the folder's last change may miss a change
    // made later in that tick: it stands only until the tick ends.
    const auto stands = [&](const TFolderListing &l) {
        return l.watch >= 0
            || (SameStamp(l.stamp, stamp)
                && (Nanoseconds(l.stamp.st_ctim) < l.listedTick || FileTimeTick() == l.listedTick));
    };
    if (it != listings.end() && stands(it->second))
        return it->second;
    if (listings.size() >= 4096)
        Forget(); // a bound, not a policy: any folder is listed again on demand
    if (changes < 0) {
        changes = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        changesForks = ForkCount();
    }
    TFolderListing listing;
    listing.stamp = stamp;
    listing.listedTick = FileTimeTick();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        listing.error = errno;
    } else {
        // The watch goes on the folder just opened, before it is read, so
        // that no change falls between the two: one made meanwhile is in
        // the listing and told again, which changes nothing.
        struct stat opened {
        };
        if (::fstat(fd, &opened) == 0 && IdOf(opened) == IdOf(stamp) && changes >= 0) {
            const std::string self = "/proc/self/fd/" + std::to_string(fd);
            listing.watch = ::inotify_add_watch(changes, self.c_str(), WatchedChanges);
            if (listing.watch >= 0)
                watched[listing.watch] = IdOf(stamp);
        }
        listing.error = ReadFolder(fd, listing);
        ::close(fd);
        if (listing.error != 0 && listing.watch >= 0) {
            ::inotify_rm_watch(changes, listing.watch);
            listing.watch = -1;
        }
    }
    return listings.insert_or_assign(IdOf(stamp), std::move(listing)).first->second;
}

// The entry of folder that names component regardless of case: the exact
// name when it exists, else the first match in name order; empty when there
// is none. stamp is the folder's stat, just taken.
std::string TMachine::Impl::FindEntry(
    const std::string &folder, const struct stat &stamp, const std::string &component)
{
    std::lock_guard guard(listingsLock);
    const TFolderListing &listing = Listing(folder, stamp);
    return listing.Contains(component) ? component : listing.Match(component);
}

bool TMachine::ListFolder(
    const std::string &hostFolder, std::vector<std::string> &names, const struct stat *seen) const
{
    std::string folder = hostFolder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    struct stat stamp {
    };
    if (seen)
        stamp = *seen;
    else if (::stat(folder.c_str(), &stamp) != 0)
        return false;
    if (!S_ISDIR(stamp.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    std::lock_guard guard(d->listingsLock);
    const TFolderListing &listing = d->Listing(folder, stamp);
    if (listing.error != 0) {
        errno = listing.error;
        return false;
    }
    names.insert(names.end(), listing.Entries().begin(), listing.Entries().end());
    return true;
}

TMachine::TMachine(const std::string &root)
    : d(std::make_unique<Impl>())
{
    std::string clean = root;
    while (clean.size() > 1 && clean.back() == '/')
        clean.pop_back();
    d->root = clean;
    for (const char *name : HiveNames)
        d->hives.emplace(name, std::make_unique<THive>(RegistryFolder() + "/" + name + ".reg", name));
    const bool fresh = !HostIsFolder(RegistryFolder());
    MakeFolders(DriveFolder('C'));
    if (fresh)
        d->Seed(*this);
}

TMachine::~TMachine() = default;

const std::string &TMachine::Root() const
{
    return d->root;
}

std::string TMachine::DriveFolder(char letter) const
{
    const char lower = static_cast<char>(letter >= 'A' && letter <= 'Z' ? letter - 'A' + 'a' : letter);
    if (lower == 'z')
        return "/";
    return d->root + "/drive_" + lower;
}

std::string TMachine::WindowsPath(std::string_view hostPath) const
{
    // Both sides canonical, so a root reached through a symbolic link still matches.
    auto canonical = [](const std::string &path) {
        std::error_code error;
        const std::filesystem::path result = std::filesystem::weakly_canonical(path, error);
        return error ? path : result.string();
    };
    std::string host = canonical(std::string(hostPath));
    const std::string prefix = canonical(d->root) + "/drive_";
    std::string result = "Z:" + host;
    if (host.size() > prefix.size() && host.compare(0, prefix.size(), prefix) == 0) {
        const char letter = host[prefix.size()];
        const size_t rest = prefix.size() + 1;
        if (letter >= 'a' && letter <= 'y' && (host.size() == rest || host[rest] == '/'))
            result = std::string(1, static_cast<char>(letter - 'a' + 'A')) + ":"
                + (host.size() == rest ? std::string("/") : host.substr(rest));
    }
    for (char &c : result)
        if (c == '/')
            c = '\\';
    return result;
}

std::string TMachine::RegistryFolder() const
{
    return d->root + "/registry";
}

THive &TMachine::Hive(std::string_view rootName)
{
    std::lock_guard guard(d->hivesLock);
    auto it = d->hives.find(rootName);
    if (it == d->hives.end())
        throw ERegistryException("There is no registry hive " + std::string(rootName));
    return *it->second;
}

std::string TMachine::HostPath(std::string_view path, TPathFound *found) const
{
    if (path.empty())
        return {};
    if (path.front() == '/') {
        // A host path, but the system's code joins names to it with '\'.
        std::string host(path);
        for (char &c : host)
            if (c == '\\')
                c = '/';
        return host;
    }
    std::string base;
    size_t start = 0;
    const bool hasDrive = path.size() >= 2 && path[1] == ':'
        && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (hasDrive) {
        base = DriveFolder(path[0]);
        start = 2;
    } else if (IsSeparator(path.front())) {
        base = DriveFolder('C');
    }
    const bool rooted = !base.empty();
    std::vector<std::string> parts;
    while (start < path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        const std::string part(path.substr(start, end - start));
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!rooted)
                parts.push_back(part); // a relative path may go above the current folder
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    // The path as written is the answer whenever it exists (one stat);
    // otherwise the deepest folder that exists as written is found, and only
    // the components below it are looked up without case.
    std::string host = base == "/" ? "" : base;
    const size_t lead = host.size();
    std::vector<size_t> ends; // host's length after each part
    for (const std::string &part : parts) {
        host += (host.empty() && !rooted ? "" : "/") + part;
        ends.push_back(host.size());
    }
    struct stat seen {
    };
    if (parts.empty() || HostExists(host, seen)) {
        if (found && !parts.empty())
            *found = { .known = true, .exists = true, .st = seen };
    } else {
        const auto before = [&](size_t part) { return part == 0 ? lead : ends[part - 1]; };
        const auto folderOf
            = [&](const std::string &path) { return path.empty() ? std::string(rooted ? "/" : ".") : path; };
        size_t known = parts.size() - 1; // the parts before this one exist as written
        struct stat stamp {
        };
        bool searching = false;
        for (;; --known) {
            searching = ::stat(folderOf(host.substr(0, before(known))).c_str(), &stamp) == 0
                && S_ISDIR(stamp.st_mode);
            if (searching || known == 0)
                break;
        }
        // The path is missing for sure when a folder of it lacks the next
        // part: then the caller learns which folder is the deepest there.
        TPathFound missing { .known = true };
        bool certain = !searching;
        std::string resolved = host.substr(0, before(known));
        for (size_t i = known; i < parts.size(); ++i) {
            const std::string &part = parts[i];
            std::string name = part;
            if (searching && part != "..") {
                const std::string folder = folderOf(resolved);
                if (i > known && (::stat(folder.c_str(), &stamp) != 0 || !S_ISDIR(stamp.st_mode))) {
                    searching = false;
                } else if (std::string entry = d->FindEntry(folder, stamp, part); !entry.empty()) {
                    name = std::move(entry);
                } else {
                    searching = false;
                    certain = true;
                    missing.folder = resolved.size();
                }
            }
            resolved += (resolved.empty() && !rooted ? "" : "/") + name;
        }
        if (found && certain)
            *found = missing;
        host = std::move(resolved);
    }
    if (host.empty())
        return rooted ? (base == "/" ? "/" : base) : ".";
    if (IsSeparator(path.back()))
        host += '/';
    return host;
}

// A new machine: the folders a fresh Windows installation has, and the
// registry keys programs read to find them and to tell the Windows version.
void TMachine::Impl::Seed(TMachine &machine)
{
    const std::string user = UserName();
    const std::string profile = "C:\\Documents and Settings\\" + user;
    const std::string common = "C:\\Documents and Settings\\All Users";
    const std::string startMenu = profile + "\\Start Menu";
    const std::string commonStart = common + "\\Start Menu";

    const std::vector<std::pair<std::string, std::string>> userFolders = {
        { "AppData", profile + "\\Application Data" },
        { "Desktop", profile + "\\Desktop" },
        { "Favorites", profile + "\\Favorites" },
        { "Fonts", "C:\\WINDOWS\\Fonts" },
        { "Local AppData", profile + "\\Local Settings\\Application Data" },
        { "Personal", profile + "\\My Documents" },
        { "Programs", startMenu + "\\Programs" },
        { "Recent", profile + "\\Recent" },
        { "SendTo", profile + "\\SendTo" },
        { "Start Menu", startMenu },
        { "Startup", startMenu + "\\Programs\\Startup" },
        { "Templates", profile + "\\Templates" },
    };
    const std::vector<std::pair<std::string, std::string>> commonFolders = {
        { "Common AppData", common + "\\Application Data" },
        { "Common Desktop", common + "\\Desktop" },
        { "Common Documents", common + "\\Documents" },
        { "Common Programs", commonStart + "\\Programs" },
        { "Common Start Menu", commonStart },
        { "Common Startup", commonStart + "\\Programs\\Startup" },
    };

    std::vector<std::string> folders
        = { "A:\\", "C:\\WINDOWS\\SYSTEM32", "C:\\WINDOWS\\TEMP", "C:\\Program Files\\Common Files" };
    for (const auto &[name, folder] : userFolders)
        folders.push_back(folder);
    for (const auto &[name, folder] : commonFolders)
        folders.push_back(folder);
    for (const std::string &folder : folders)
        MakeFolders(machine.HostPath(folder));
    MakeFolders(machine.RegistryFolder());

    const std::string shellFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    auto put
        = [](TRegKeyNode &root, const std::string &path, const std::string &name, const std::string &value) {
              TRegKeyNode *node = &root;
              for (const std::string &part : SplitKeyPath(path))
                  node = &node->AddSubKey(part);
              if (!name.empty() || !value.empty())
                  node->SetValue(name, REG_SZ, value);
          };

    machine.Hive("HKEY_CURRENT_USER").Update([&](TRegKeyNode &root) {
        for (const auto &[name, folder] : userFolders)
            put(root, shellFolders, name, folder);
        put(root, "Software\\Classes", "", "");
        put(root, "Environment", "TEMP", "C:\\WINDOWS\\TEMP");
        put(root, "Environment", "TMP", "C:\\WINDOWS\\TEMP");
        return true;
    });
    machine.Hive("HKEY_LOCAL_MACHINE").Update([&](TRegKeyNode &root) {
        for (const auto &[name, folder] : commonFolders)
            put(root, shellFolders, name, folder);
        const std::string windows = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
        put(root, windows, "ProgramFilesDir", "C:\\Program Files");
        put(root, windows, "CommonFilesDir", "C:\\Program Files\\Common Files");
        put(root, windows + "\\Run", "", "");
        put(root, windows + "\\RunOnce", "", "");
        put(root, windows + "\\Uninstall", "", "");
        put(root, windows + "\\SharedDLLs", "", "");
        put(root, "SOFTWARE\\Microsoft\\Windows\\Help", "", "");
        const std::string nt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
        put(root, nt, "ProductName", "Microsoft Windows XP");
        put(root, nt, "CurrentVersion", "5.1");
        put(root, nt, "CurrentBuildNumber", "2600");
        put(root, nt, "CSDVersion", "Service Pack 3");
        put(root, nt, "SystemRoot", "C:\\WINDOWS");
        put(root, nt, "RegisteredOwner", user);
        put(root, "SOFTWARE\\Classes", "", "");
        put(root, "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current", "", "");
        return true;
    });
    machine.Hive("HKEY_USERS").Update([&](TRegKeyNode &root) {
        put(root, ".DEFAULT", "", "");
        return true;
    });
}

// ---- The machine of this process -----------------------------------------------

namespace
{

std::mutex machineLock;
std::unique_ptr<TMachine> current;

} // namespace

void MapPathsThroughMachine()
{
    SetPathMapper([](std::string_view path, TPathFound *found) { return Machine().HostPath(path, found); });
    SetFolderLister([](const std::string &folder, std::vector<std::string> &names, const struct stat *seen) {
        return Machine().ListFolder(folder, names, seen);
    });
}

std::string DefaultMachineRoot()
{
    if (const char *root = std::getenv("WINROOT"); root && *root)
        return root;
    const char *home = std::getenv("HOME");
    std::string base = home && *home ? home : "/tmp";
    return base + "/.local/share/winroot";
}

TMachine &Machine()
{
    {
        std::lock_guard guard(machineLock);
        if (current)
            return *current;
        current = std::make_unique<TMachine>(DefaultMachineRoot());
    }
    MapPathsThroughMachine();
    return *current;
}

void FlushMachineHives(bool dueOnly)
{
    std::lock_guard guard(machineLock);
    if (!current)
        return;
    std::exception_ptr failure;
    for (const char *name : HiveNames) {
        try {
            current->Hive(name).Flush(dueOnly);
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

TMachine &OpenMachine(const std::string &root)
{
    {
        std::lock_guard guard(machineLock);
        current.reset();
        current = std::make_unique<TMachine>(root);
    }
    MapPathsThroughMachine();
    return *current;
}
