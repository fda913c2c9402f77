#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// A server on 127.0.0.1 for one test, run from a script in tests/support/servers.
// The script binds a free port and prints "LISTENING <port>"; the constructor
// waits for that line (and throws when it does not come), the destructor stops
// the server and waits for it to end.
class LoopbackServer {
public:
    LoopbackServer(const std::string &scriptPath, const std::vector<std::string> &arguments);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    int Port() const { return port_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    void Stop();

    pid_t pid_ = -1;
    int output_ = -1; // read end of the server's standard output
    int port_ = 0;
};

#ifdef ORVEX_SOURCE_DIR
inline std::string LoopbackScript(const std::string &name)
{
    return std::string(ORVEX_SOURCE_DIR) + "/tests/support/servers/" + name;
}
#endif
