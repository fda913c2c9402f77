#include "platform/system/registry.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "platform/rtl/strings.h"
#include "platform/rtl/sysutils.h"
#include "platform/system/atomicfile.h"
#include "platform/system/kernelnews.h"
#include "platform/system/machine.h"
#include "platform/system/registry_p.h"

// ---- Changes ---------------------------------------------------------------

namespace
{

TRegKeyNode *WalkTo(TRegKeyNode &root, const std::vector<std::string> &path, size_t count)
{
    TRegKeyNode *node = &root;
    for (size_t i = 0; i < count && node; ++i)
        node = node->SubKey(path[i]);
    return node;
}

} // namespace

bool ApplyChange(TRegKeyNode &root, const TRegChange &change)
{
    switch (change.Kind) {
    case TRegChange::CreatePath: {
        TRegKeyNode *node = &root;
        bool created = false;
        for (const std::string &part : change.Path) {
            if (!node->SubKey(part))
                created = true;
            node = &node->AddSubKey(part);
        }
        return created;
    }
    case TRegChange::SetValue: {
        TRegKeyNode *node = WalkTo(root, change.Path, change.Path.size());
        if (!node)
            return false; // deleted since it was opened
        node->SetValue(change.Name, change.Type, change.Data);
        return true;
    }
    case TRegChange::DeleteValue: {
        TRegKeyNode *node = WalkTo(root, change.Path, change.Path.size());
        return node && node->DeleteValue(change.Name);
    }
    case TRegChange::DeleteKey: {
        if (change.Path.empty())
            return false;
        TRegKeyNode *parent = WalkTo(root, change.Path, change.Path.size() - 1);
        if (!parent)
            return false;
        auto it = parent->SubKeys.find(change.Path.back());
        if (it == parent->SubKeys.end())
            return false;
        parent->SubKeys.erase(it);
        return true;
    }
    }
    return false;
}

// ---- Batches ---------------------------------------------------------------

namespace
{
std::atomic<int> batchDepth { 0 };
} // namespace

int RegistryBatchDepth()
{
    return batchDepth.load();
}

TRegistryBatch::TRegistryBatch()
{
    ++batchDepth;
}

TRegistryBatch::~TRegistryBatch()
{
    if (open_) {
        try {
            Commit();
        } catch (const Exception &) {
            // what could not be saved stays pending for the next save point
        }
    }
}

void TRegistryBatch::Commit()
{
    if (!open_)
        return;
    open_ = false;
    if (--batchDepth == 0) {
        FlushRegistry();
        return;
    }
    // A unit inside the outermost batch is whole now: a save that fell due
    // meanwhile may be made.
    if (batchDepth.load() == 1)
        try {
            FlushMachineHives(true);
        } catch (const Exception &) {
            // left for the next save point
        }
}

void FlushRegistry()
{
    try {
        FlushMachineHives();
    } catch (const ERegistryException &) {
        throw;
    } catch (const EInOutError &e) {
        throw ERegistryException(e.Message());
    }
}

// ---- THive -----------------------------------------------------------------

THive::THive(std::string fileName, std::string rootName)
    : fileName_(std::move(fileName))
    , rootName_(std::move(rootName))
    , lockName_(fileName_ + ".lock")
{
}

THive::~THive()
{
    try {
        Flush();
    } catch (const Exception &) {
        // nothing is left to report to
    }
    if (generationMap_)
        ::munmap(const_cast<uint64_t *>(generationMap_), sizeof *generationMap_);
    if (generationFd_ >= 0)
        ::close(generationFd_);
    if (watchFd_ >= 0)
        ::close(watchFd_);
}

namespace
{
bool SameFile(const struct stat &a, const struct stat &b)
{
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size
        && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}
} // namespace

// The lock file's counter. It is mapped once the file holds it, so reading it
// costs no system call: a save's write to the file shows in the mapping.
bool THive::ReadGeneration(uint64_t &generation)
{
    if (generationMap_) {
        generation = __atomic_load_n(generationMap_, __ATOMIC_ACQUIRE);
        return true;
    }
    if (generationFd_ < 0)
        generationFd_ = ::open(lockName_.c_str(), O_RDONLY | O_CLOEXEC);
    if (generationFd_ < 0)
        return false;
    struct stat st {
    };
    // Beyond the end of the file a mapping faults: until the first save
    // writes the counter, it is read.
    if (::fstat(generationFd_, &st) == 0 && st.st_size >= static_cast<off_t>(sizeof generation)) {
        void *map = ::mmap(nullptr, sizeof generation, PROT_READ, MAP_SHARED, generationFd_, 0);
        if (map != MAP_FAILED) {
            generationMap_ = static_cast<const uint64_t *>(map);
            generation = __atomic_load_n(generationMap_, __ATOMIC_ACQUIRE);
            return true;
        }
    }
    return ::pread(generationFd_, &generation, sizeof generation, 0)
        == static_cast<ssize_t>(sizeof generation);
}

// Whether the kernel has told of nothing done to the file since it was last
// found to be identity_. The folder is watched from the first call; the
// kernel queues a change before the call that made it returns, so a change
// finished before this call is among the news read here. False when there
// is no watch (the file must be looked at), and then the news are all read,
// so that a look taken next covers them.
bool THive::FileUntouched()
{
    if (watchForks_ != ForkCount()) {
        // A child reads news of its own: the descriptor is its parent's.
        if (watchFd_ >= 0)
            ::close(watchFd_);
        watchFd_ = -1;
        watchTried_ = false;
        watchForks_ = ForkCount();
    }
    if (!watchTried_) {
        watchTried_ = true;
        watchFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        const std::string folder = fileName_.substr(0, fileName_.rfind('/'));
        if (watchFd_ >= 0
            && ::inotify_add_watch(watchFd_, folder.empty() ? "/" : folder.c_str(),
                   IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO
                       | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR)
                < 0) {
            ::close(watchFd_);
            watchFd_ = -1;
        }
        quiet_ = false;
    }
    if (watchFd_ < 0)
        return false;
    const std::string_view name = std::string_view(fileName_).substr(fileName_.rfind('/') + 1);
    bool lost = false;
    const bool whole = TakeKernelNews(watchFd_, [&](const inotify_event &event) {
        lost = lost || (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF));
        if (event.len > 0 && std::string_view(event.name) == name)
            quiet_ = false;
    });
    if (lost || !whole) {
        // The folder gone or moved, or news lost: the file is looked at
        // every time from now on.
        ::close(watchFd_);
        watchFd_ = -1;
        quiet_ = false;
        return false;
    }
    return quiet_;
}

// Whether tree_ still stands on the file, found without the lock: a save
// renames its file into place and then bumps the lock file's counter, so a
// save that has ended shows in either, and one under way has not happened
// yet for this reader. A file edited by hand shows in the kernel's news of
// its folder; only then, or without news, is the file itself looked at (a
// stat, instead of the lock's five calls).
bool THive::Unchanged()
{
    if (!tree_)
        return false;
    uint64_t generation = 0;
    if (!ReadGeneration(generation) || generation != generation_)
        return false;
    if (FileUntouched())
        return true;
    struct stat now {
    };
    if (::stat(fileName_.c_str(), &now) != 0) {
        if (errno != ENOENT)
            return false;
        now = {};
    }
    if (!SameFile(now, identity_))
        return false;
    quiet_ = watchFd_ >= 0;
    return true;
}

// The file is read again only when it is not the one last read: a program of
// the machine bumps the lock file's counter with each save, and a file edited
// by hand shows as another inode, size or time. The pending changes are made
// again on what was read.
void THive::Refresh(const TFileLock &lock)
{
    struct stat now {
    };
    if (::stat(fileName_.c_str(), &now) != 0) {
        if (errno != ENOENT)
            throw ERegistryException("Cannot read registry file " + fileName_ + ": " + std::strerror(errno));
        now = {};
    }
    const uint64_t generation = lock.Generation();
    if (tree_ && generation == generation_ && SameFile(now, identity_))
        return;
    tree_.reset();
    std::unique_ptr<TRegKeyNode> tree;
    if (now.st_ino == 0) {
        tree = std::make_unique<TRegKeyNode>();
        tree->Name = rootName_;
    } else {
        std::string text;
        try {
            text = ReadWholeFile(fileName_);
        } catch (const EInOutError &e) {
            throw ERegistryException(e.Message());
        }
        tree = ParseRegFile(text, fileName_, rootName_);
    }
    for (const TRegChange &change : pending_)
        ApplyChange(*tree, change);
    tree_ = std::move(tree);
    identity_ = now;
    quiet_ = false;
    generation_ = generation;
}

void THive::RefreshShared()
{
    if (Unchanged())
        return;
    std::unique_ptr<TFileLock> lock;
    try {
        lock = std::make_unique<TFileLock>(lockName_, false);
    } catch (const EInOutError &e) {
        throw ERegistryException(e.Message());
    }
    Refresh(*lock);
}

void THive::Read(const std::function<void(const TRegKeyNode &root)> &fn)
{
    std::lock_guard guard(mutex_);
    RefreshShared();
    fn(*tree_);
}

// Holding the exclusive lock, any temporary file beside the hive belongs to a
// writer that died before its rename.
void THive::RemoveDebris()
{
    const size_t slash = fileName_.rfind('/');
    const std::string folder = fileName_.substr(0, slash);
    const std::string prefix = fileName_.substr(slash + 1) + ".";
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix))
            ::unlink((folder + "/" + name).c_str());
    }
    ::closedir(dir);
}

// Writes tree_ under the exclusive lock. When that fails the file is as it
// was, and tree_ with the pending changes still stands on it.
void THive::Save(TFileLock &lock)
{
    WriteFileAtomic(fileName_, WriteRegFile(*tree_, rootName_));
    pending_.clear();
    ::stat(fileName_.c_str(), &identity_);
    quiet_ = false;
    generation_ = lock.Generation() + 1;
    try {
        lock.SetGeneration(generation_);
    } catch (const EInOutError &) {
        tree_.reset(); // others may not see the change: nor trust our tree
    }
}

void THive::SaveNow()
{
    if (pending_.empty())
        return;
    TFileLock lock(lockName_, true);
    RemoveDebris();
    Refresh(lock); // another program's save since: its tree, with our changes made again
    Save(lock);
}

void THive::Update(const std::function<bool(TRegKeyNode &root)> &fn)
{
    std::lock_guard guard(mutex_);
    TFileLock lock(lockName_, true);
    RemoveDebris();
    Refresh(lock);
    bool changed;
    try {
        changed = fn(*tree_);
    } catch (...) {
        tree_.reset(); // fn may have changed part of it
        throw;
    }
    if (!changed && pending_.empty())
        return;
    try {
        Save(lock);
    } catch (...) {
        tree_.reset(); // the file still holds the old tree: fn's change is dropped
        throw;
    }
}

bool THive::Change(TRegChange change)
{
    std::lock_guard guard(mutex_);
    const int depth = RegistryBatchDepth();
    if (depth == 0) {
        TFileLock lock(lockName_, true);
        RemoveDebris();
        Refresh(lock);
        const bool changed = ApplyChange(*tree_, change);
        if (!changed && pending_.empty())
            return false;
        if (changed)
            pending_.push_back(std::move(change));
        try {
            Save(lock);
        } catch (...) {
            if (changed) { // the caller hears of the failure: the change is not made later
                pending_.pop_back();
                tree_.reset();
            }
            throw;
        }
        return changed;
    }
    RefreshShared();
    const bool changed = ApplyChange(*tree_, change);
    if (changed) {
        if (pending_.empty())
            pendingSince_ = TClock::now();
        pending_.push_back(std::move(change));
    }
    if (depth == 1 && SaveDue()) {
        try {
            SaveNow();
        } catch (const Exception &) {
            // kept pending; the next save point reports it
        }
    }
    return changed;
}

bool THive::SaveDue() const
{
    return !pending_.empty()
        && (pending_.size() >= MaxPendingChanges || TClock::now() - pendingSince_ >= MaxPendingTime);
}

void THive::Flush(bool dueOnly)
{
    std::lock_guard guard(mutex_);
    if (!dueOnly || SaveDue())
        SaveNow();
}

// ---- TRegistry ---------------------------------------------------------------

namespace
{

struct TKeyLocation {
    THive *Hive = nullptr;
    std::vector<std::string> Path; // from the hive's root
};

std::vector<std::string> RootPrefix(HKEY root)
{
    if (root == HKEY_CLASSES_ROOT)
        return { "Software", "Classes" };
    if (root == HKEY_CURRENT_CONFIG)
        return { "SYSTEM", "CurrentControlSet", "Hardware Profiles", "Current" };
    return {};
}

THive *RootHive(HKEY root)
{
    switch (root) {
    case HKEY_CLASSES_ROOT:
    case HKEY_LOCAL_MACHINE:
    case HKEY_CURRENT_CONFIG:
        return &Machine().Hive("HKEY_LOCAL_MACHINE");
    case HKEY_CURRENT_USER:
        return &Machine().Hive("HKEY_CURRENT_USER");
    case HKEY_USERS:
        return &Machine().Hive("HKEY_USERS");
    default:
        return nullptr;
    }
}

const TRegKeyNode *Walk(const TRegKeyNode &root, const std::vector<std::string> &path)
{
    const TRegKeyNode *node = &root;
    for (const std::string &name : path)
        if (!(node = node->SubKey(name)))
            return nullptr;
    return node;
}

// Adds the keys of path that are missing; the hive is saved only when one was.
void CreatePath(THive &hive, const std::vector<std::string> &path)
{
    hive.Change({ TRegChange::CreatePath, path, {}, REG_NONE, {} });
}

// Names that the hive file cannot hold on one line are refused.
bool ValidName(const std::string &name)
{
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
    return true;
}

std::string JoinPath(const std::vector<std::string> &parts)
{
    std::string out;
    for (const std::string &part : parts)
        out += (out.empty() ? "" : "\\") + part;
    return out;
}

std::string Int32Bytes(uint32_t v)
{
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}

} // namespace

struct TRegistry::Impl {
    HKEY root = HKEY_CURRENT_USER;
    uint32_t access = KEY_ALL_ACCESS;
    bool open = false;
    uint32_t keyAccess = 0; // the access the current key was opened with
    std::string currentPath;
    std::vector<std::string> currentParts;

    // The location of key, taken from the root when it starts with '\'.
    TKeyLocation Locate(const std::string &key) const
    {
        TKeyLocation loc;
        loc.Hive = RootHive(root);
        loc.Path = RootPrefix(root);
        if (open && !key.starts_with('\\'))
            loc.Path.insert(loc.Path.end(), currentParts.begin(), currentParts.end());
        for (std::string &part : SplitKeyPath(key))
            loc.Path.push_back(std::move(part));
        return loc;
    }
    TKeyLocation Current() const
    {
        TKeyLocation loc;
        loc.Hive = open ? RootHive(root) : nullptr;
        loc.Path = RootPrefix(root);
        loc.Path.insert(loc.Path.end(), currentParts.begin(), currentParts.end());
        return loc;
    }
    std::vector<std::string> Relative(const TKeyLocation &loc) const
    {
        return { loc.Path.begin() + static_cast<long>(RootPrefix(root).size()), loc.Path.end() };
    }

    // Reads a value of the current key; false when there is no such value.
    bool Get(const std::string &name, TRegValue &out) const
    {
        const TKeyLocation loc = Current();
        if (!loc.Hive)
            return false;
        bool found = false;
        loc.Hive->Read([&](const TRegKeyNode &rootNode) {
            if (const TRegKeyNode *node = Walk(rootNode, loc.Path))
                if (const TRegValue *value = node->Value(name)) {
                    out = *value;
                    found = true;
                }
        });
        return found;
    }

    // Fills strings with the names collect gathers from the current key. They
    // reach strings only once the hive is let go, as a handler of strings may
    // read the registry again.
    template <class Collect> void ListNames(TStrings &strings, Collect collect) const
    {
        strings.Clear();
        const TKeyLocation loc = Current();
        if (!loc.Hive)
            return;
        std::vector<std::string> names;
        loc.Hive->Read([&](const TRegKeyNode &rootNode) {
            if (const TRegKeyNode *node = Walk(rootNode, loc.Path))
                collect(*node, names);
        });
        for (const std::string &name : names)
            strings.Add(name);
    }

    void Put(const std::string &name, uint32_t type, std::string data) const
    {
        const TKeyLocation loc = Current();
        bool written = false;
        if (loc.Hive && (keyAccess & KEY_SET_VALUE) && ValidName(name)) {
            try {
                // false: the key was deleted since it was opened
                written = loc.Hive->Change({ TRegChange::SetValue, loc.Path, name, type, std::move(data) });
            } catch (const EInOutError &) {
                written = false;
            }
        }
        if (!written)
            throw ERegistryException(Format("Failed to set data for '%s'", name));
    }
};

bool ReadRegistryValue(HKEY root, const std::string &key, const std::string &name, TRegValue &value)
{
    THive *hive = RootHive(root);
    if (!hive)
        return false;
    std::vector<std::string> path = RootPrefix(root);
    for (std::string &part : SplitKeyPath(key))
        path.push_back(std::move(part));
    bool found = false;
    hive->Read([&](const TRegKeyNode &rootNode) {
        if (const TRegKeyNode *node = Walk(rootNode, path))
            if (const TRegValue *v = node->Value(name)) {
                value = *v;
                found = true;
            }
    });
    return found;
}

TRegistry::TRegistry()
    : d(std::make_unique<Impl>())
{
}

TRegistry::TRegistry(uint32_t access)
    : d(std::make_unique<Impl>())
{
    d->access = access;
}

TRegistry::~TRegistry() = default;

HKEY TRegistry::RootKey() const
{
    return d->root;
}

void TRegistry::SetRootKey(HKEY rootKey)
{
    CloseKey();
    d->root = rootKey;
}

uint32_t TRegistry::Access() const
{
    return d->access;
}

void TRegistry::SetAccess(uint32_t access)
{
    d->access = access;
}

const std::string &TRegistry::CurrentPath() const
{
    return d->currentPath;
}

bool TRegistry::HasCurrentKey() const
{
    return d->open;
}

bool TRegistry::OpenKey(const std::string &key, bool canCreate)
{
    TKeyLocation loc = d->Locate(key);
    if (!loc.Hive)
        return false;
    bool exists = false;
    if (canCreate && (d->access & KEY_CREATE_SUB_KEY)) {
        for (const std::string &part : loc.Path)
            if (!ValidName(part))
                return false;
        try {
            CreatePath(*loc.Hive, loc.Path);
            exists = true;
        } catch (const EInOutError &) {
            return false;
        }
    } else {
        loc.Hive->Read([&](const TRegKeyNode &rootNode) { exists = Walk(rootNode, loc.Path) != nullptr; });
    }
    if (!exists)
        return false;
    d->open = true;
    d->keyAccess = d->access;
    d->currentParts = d->Relative(loc);
    d->currentPath = JoinPath(d->currentParts);
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string &key)
{
    const uint32_t saved = d->access;
    d->access = KEY_READ;
    const bool result = OpenKey(key, false);
    d->access = saved;
    if (result)
        d->keyAccess = KEY_READ;
    return result;
}

void TRegistry::CloseKey()
{
    d->open = false;
    d->keyAccess = 0;
    d->currentParts.clear();
    d->currentPath.clear();
}

bool TRegistry::CreateKey(const std::string &key)
{
    TKeyLocation loc = d->Locate(key);
    bool created = false;
    bool valid = loc.Hive && (d->access & KEY_CREATE_SUB_KEY) && loc.Path.size() > RootPrefix(d->root).size();
    for (const std::string &part : loc.Path)
        valid = valid && ValidName(part);
    if (valid) {
        try {
            CreatePath(*loc.Hive, loc.Path);
            created = true;
        } catch (const EInOutError &) {
            created = false;
        }
    }
    if (!created)
        throw ERegistryException(Format("Failed to create key %s", key));
    return true;
}

bool TRegistry::DeleteKey(const std::string &key)
{
    TKeyLocation loc = d->Locate(key);
    if (!loc.Hive || loc.Path.size() <= RootPrefix(d->root).size() || !(d->access & KEY_SET_VALUE))
        return false;
    try {
        return loc.Hive->Change({ TRegChange::DeleteKey, loc.Path, {}, REG_NONE, {} });
    } catch (const EInOutError &) {
        return false;
    }
}

bool TRegistry::KeyExists(const std::string &key)
{
    const TKeyLocation loc = d->Locate(key);
    if (!loc.Hive)
        return false;
    bool exists = false;
    loc.Hive->Read([&](const TRegKeyNode &rootNode) { exists = Walk(rootNode, loc.Path) != nullptr; });
    return exists;
}

bool TRegistry::HasSubKeys()
{
    const TKeyLocation loc = d->Current();
    bool any = false;
    if (loc.Hive)
        loc.Hive->Read([&](const TRegKeyNode &rootNode) {
            const TRegKeyNode *node = Walk(rootNode, loc.Path);
            any = node && !node->SubKeys.empty();
        });
    return any;
}

void TRegistry::GetKeyNames(TStrings &strings)
{
    d->ListNames(strings, [](const TRegKeyNode &node, std::vector<std::string> &names) {
        for (const auto &[name, sub] : node.SubKeys)
            names.push_back(sub->Name);
    });
}

bool TRegistry::ValueExists(const std::string &name)
{
    TRegValue value;
    return d->Get(name, value);
}

bool TRegistry::DeleteValue(const std::string &name)
{
    const TKeyLocation loc = d->Current();
    if (!loc.Hive || !(d->keyAccess & KEY_SET_VALUE))
        return false;
    try {
        return loc.Hive->Change({ TRegChange::DeleteValue, loc.Path, name, REG_NONE, {} });
    } catch (const EInOutError &) {
        return false;
    }
}

void TRegistry::GetValueNames(TStrings &strings)
{
    d->ListNames(strings, [](const TRegKeyNode &node, std::vector<std::string> &names) {
        for (const TRegValue &value : node.Values)
            names.push_back(value.Name);
    });
}

TRegDataType TRegistry::GetDataType(const std::string &name)
{
    TRegValue value;
    if (!d->Get(name, value))
        return rdUnknown;
    switch (value.Type) {
    case REG_SZ:
        return rdString;
    case REG_EXPAND_SZ:
        return rdExpandString;
    case REG_DWORD:
        return rdInteger;
    case REG_BINARY:
        return rdBinary;
    default:
        return rdUnknown;
    }
}

int TRegistry::GetDataSize(const std::string &name)
{
    TRegValue value;
    if (!d->Get(name, value))
        return -1;
    const bool terminated = value.Type == REG_SZ || value.Type == REG_EXPAND_SZ;
    return static_cast<int>(value.Data.size()) + (terminated ? 1 : 0);
}

std::string TRegistry::ReadString(const std::string &name)
{
    TRegValue value;
    if (!d->Get(name, value))
        return {};
    if (value.Type != REG_SZ && value.Type != REG_EXPAND_SZ)
        throw ERegistryException(Format("Invalid data type for '%s'", name));
    return value.Data;
}

void TRegistry::WriteString(const std::string &name, const std::string &value)
{
    d->Put(name, REG_SZ, value);
}

void TRegistry::WriteExpandString(const std::string &name, const std::string &value)
{
    d->Put(name, REG_EXPAND_SZ, value);
}

int TRegistry::ReadInteger(const std::string &name)
{
    TRegValue value;
    if (!d->Get(name, value))
        throw ERegistryException(Format("Failed to get data for '%s'", name));
    if (value.Type != REG_DWORD || value.Data.size() != 4)
        throw ERegistryException(Format("Invalid data type for '%s'", name));
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(value.Data[i]);
    return static_cast<int>(v);
}

void TRegistry::WriteInteger(const std::string &name, int value)
{
    d->Put(name, REG_DWORD, Int32Bytes(static_cast<uint32_t>(value)));
}

double TRegistry::ReadFloat(const std::string &name)
{
    TRegValue value;
    if (!d->Get(name, value))
        throw ERegistryException(Format("Failed to get data for '%s'", name));
    double result;
    if (value.Type != REG_BINARY || value.Data.size() != sizeof result)
        throw ERegistryException(Format("Invalid data type for '%s'", name));
    std::memcpy(&result, value.Data.data(), sizeof result);
    return result;
}

void TRegistry::WriteFloat(const std::string &name, double value)
{
    d->Put(name, REG_BINARY, std::string(reinterpret_cast<const char *>(&value), sizeof value));
}

int TRegistry::ReadBinaryData(const std::string &name, void *buffer, int bufSize)
{
    TRegValue value;
    if (!d->Get(name, value))
        return 0;
    const bool binary = value.Type != REG_SZ && value.Type != REG_EXPAND_SZ && value.Type != REG_DWORD;
    if (!binary || bufSize < 0 || value.Data.size() > static_cast<size_t>(bufSize))
        throw ERegistryException(Format("Invalid data type for '%s'", name));
    if (!value.Data.empty())
        std::memcpy(buffer, value.Data.data(), value.Data.size());
    return static_cast<int>(value.Data.size());
}

void TRegistry::WriteBinaryData(const std::string &name, const void *buffer, int bufSize)
{
    if (bufSize < 0 || (bufSize > 0 && !buffer))
        throw ERegistryException(Format("Failed to set data for '%s'", name));
    d->Put(name, REG_BINARY,
        bufSize == 0 ? std::string()
                     : std::string(static_cast<const char *>(buffer), static_cast<size_t>(bufSize)));
}
