#include "platform/rtl/pathmap.h"

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

std::string MapPath(std::string_view path)
{
    TPathMapper mapper;
    {
        std::lock_guard guard(mapperLock);
        mapper = Mapper();
    }
    return mapper ? mapper(path) : DefaultMap(path);
}

void SetFolderLister(TFolderLister lister)
{
    std::lock_guard guard(mapperLock);
    Lister() = std::move(lister);
}

bool ListFolder(const std::string &hostFolder, std::vector<std::string> &names)
{
    TFolderLister lister;
    {
        std::lock_guard guard(mapperLock);
        lister = Lister();
    }
    if (lister)
        return lister(hostFolder, names);
    DIR *dir = opendir(hostFolder.c_str());
    if (!dir)
        return false;
    while (const dirent *entry = readdir(dir))
        if (std::string_view name = entry->d_name; name != "." && name != "..")
            names.emplace_back(name);
    closedir(dir);
    return true;
}
