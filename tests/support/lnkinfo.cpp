#include "tests/support/lnkinfo.h"

#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

std::string Trimmed(const std::string &text)
{
    const size_t a = text.find_first_not_of(" \t");
    const size_t b = text.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : text.substr(a, b - a + 1);
}

} // namespace

std::map<std::string, std::string> LnkInfo(const std::string &hostPath)
{
    std::map<std::string, std::string> info;
    int fds[2];
    if (pipe(fds) != 0)
        return { { "error", "no pipe" } };
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        execlp("lnkinfo", "lnkinfo", hostPath.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string output;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return { { "error", output } };
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        const std::string line = output.substr(start, end - start);
        start = end + 1;
        const size_t colon = line.find(':');
        if (colon == std::string::npos || line.empty() || line[0] != '\t')
            continue;
        info[Trimmed(line.substr(0, colon))] = Trimmed(line.substr(colon + 1));
    }
    return info;
}

int LnkHeaderHotKey(const std::string &hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    char header[76] = {};
    if (!in.read(header, sizeof header))
        return -1;
    return static_cast<unsigned char>(header[64]) | (static_cast<unsigned char>(header[65]) << 8);
}
