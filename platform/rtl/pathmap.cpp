#include "platform/rtl/pathmap.h"

#include <cerrno>
#include <dirent.h>
#include <mutex>

namespace
{

std::mutex mapperLock;
TPathMapper &Mapper()
{
    static TPathMapper mapper;
    return mapper;
}

TFolderLister &Lister()
{
    static TFolderLister lister;
    return lister;
}

std::string DefaultMap(std::string_view path)
{
    std::string host(path);
    for (char &c : host)
        if (c == '\\')
            c = '/';
    return host;
}

} // namespace

void SetPathMapper(TPathMapper mapper)
{
    std::lock_guard guard(mapperLock);
    Mapper() = std::move(mapper);
}

std::string MapPath(std::string_view path, TPathFound *found)
{
    TPathMapper mapper;
    {
        std::lock_guard guard(mapperLock);
        mapper = Mapper();
    }
    if (found)
        *found = {};
    return mapper ? mapper(path, found) : DefaultMap(path);
}

bool TPathFound::Stat(const std::string &host, struct stat &out) const
{
    if (known && !exists) {
        errno = ENOENT;
        return false;
    }
    if (known && !S_ISLNK(st.st_mode)) {
        out = st;
        return true;
    }
    return ::stat(host.c_str(), &out) == 0;
}

bool StatMapped(std::string_view path, struct stat &st, std::string *host)
{
    TPathFound found;
    std::string mapped = MapPath(path, &found);
    const bool exists = found.Stat(mapped, st);
    if (host)
        *host = std::move(mapped);
    return exists;
}

void SetFolderLister(TFolderLister lister)
{
    std::lock_guard guard(mapperLock);
    Lister() = std::move(lister);
}

bool ListFolder(const std::string &hostFolder, std::vector<std::string> &names, const struct stat *folder)
{
    TFolderLister lister;
    {
        std::lock_guard guard(mapperLock);
        lister = Lister();
    }
    if (lister)
        return lister(hostFolder, names, folder);
    DIR *dir = opendir(hostFolder.c_str());
    if (!dir)
        return false;
    while (const dirent *entry = readdir(dir))
        if (std::string_view name = entry->d_name; name != "." && name != "..")
            names.emplace_back(name);
    closedir(dir);
    return true;
}
