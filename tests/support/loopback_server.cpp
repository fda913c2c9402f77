#include "tests/support/loopback_server.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Debian's interpreter carries the packaged pyftpdlib; a user's own python3 may not.
const char *Interpreter()
{
    return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

bool WaitForExit(pid_t pid, std::chrono::milliseconds patience)
{
    auto until = std::chrono::steady_clock::now() + patience;
    for (;;) {
        pid_t r = waitpid(pid, nullptr, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR))
            return true;
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

LoopbackServer::LoopbackServer(const std::string &scriptPath, const std::vector<std::string> &arguments)
{
    std::vector<std::string> words{Interpreter(), "-u", scriptPath};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("LoopbackServer: pipe failed");
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) {
        close(fds[0]);
        close(fds[1]);
        throw std::runtime_error("LoopbackServer: fork failed");
    }
    if (pid_ == 0) {
        // The server must not outlive a test run that crashes.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(126);
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    output_ = fds[0];

    std::string line;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (line.find('\n') == std::string::npos) {
        auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd p{output_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0)
            break;
        char buffer[256];
        ssize_t n = read(output_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, size_t(n));
    }
    if (line.rfind("LISTENING ", 0) == 0)
        port_ = std::atoi(line.c_str() + 10);
    if (port_ <= 0) {
        Stop();
        throw std::runtime_error("LoopbackServer: " + scriptPath + " did not start: " + line);
    }
}

LoopbackServer::~LoopbackServer()
{
    Stop();
}

void LoopbackServer::Stop()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        if (!WaitForExit(pid_, std::chrono::seconds(3))) {
            kill(pid_, SIGKILL);
            WaitForExit(pid_, std::chrono::seconds(3));
        }
        pid_ = -1;
    }
    if (output_ >= 0) {
        close(output_);
        output_ = -1;
    }
}
