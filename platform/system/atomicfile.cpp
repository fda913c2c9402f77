#include "platform/system/atomicfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/exceptions.h"

namespace
{

[[noreturn]] void Fail(const std::string &what, const std::string &fileName, int error)
{
    throw EInOutError(what + " " + fileName + ": " + std::strerror(error), error);
}

bool WriteAll(int fd, std::string_view content)
{
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        content.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::string FolderOf(const std::string &fileName)
{
    const size_t slash = fileName.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : fileName.substr(0, slash);
}

} // namespace

void WriteFileAtomic(const std::string &fileName, std::string_view content)
{
    std::string temp = fileName + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        Fail("Cannot create a temporary file beside", fileName, errno);
    // Keep the permissions of the file it replaces, or the usual ones.
    struct stat old {
    };
    ::fchmod(fd, ::stat(fileName.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    if (!WriteAll(fd, content) || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        Fail("Cannot write", temp, error);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        Fail("Cannot write", temp, error);
    }
    if (::rename(temp.c_str(), fileName.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        Fail("Cannot replace", fileName, error);
    }
    const int dir = ::open(FolderOf(fileName).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

std::string ReadWholeFile(const std::string &fileName)
{
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        Fail("Cannot open", fileName, errno);
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            Fail("Cannot read", fileName, error);
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return content;
}

TFileLock::TFileLock(const std::string &lockFile, bool exclusive)
    : fd_(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644))
{
    if (fd_ < 0)
        Fail("Cannot open the lock file", lockFile, errno);
    while (::flock(fd_, exclusive ? LOCK_EX : LOCK_SH) != 0) {
        if (errno == EINTR)
            continue;
        const int error = errno;
        ::close(fd_);
        Fail("Cannot lock", lockFile, error);
    }
}

TFileLock::~TFileLock()
{
    ::close(fd_);
}

uint64_t TFileLock::Generation() const
{
    uint64_t generation = 0;
    if (::pread(fd_, &generation, sizeof generation, 0) != static_cast<ssize_t>(sizeof generation))
        return 0;
    return generation;
}

void TFileLock::SetGeneration(uint64_t generation)
{
    if (::pwrite(fd_, &generation, sizeof generation, 0) != static_cast<ssize_t>(sizeof generation))
        throw EInOutError("Cannot write the lock file", errno);
}
