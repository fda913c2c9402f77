#include "platform/rtl/pathmap.h"

#include <mutex>

namespace {

std::mutex mapperLock;
TPathMapper &Mapper()
{
    static TPathMapper mapper;
    return mapper;
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
