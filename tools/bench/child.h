#pragma once

// Runs one side of a benchmark in a child process, so that each side starts
// from the same empty process and its peak memory is its own.

#include <cstdio>
#include <cstdlib>
#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// The side's results (a plain struct, sent back through a pipe) and its peak
// memory in KiB.
template <typename Result> Result InChild(const std::function<Result()> &side, long &peakKiB)
{
    int fds[2];
    if (pipe(fds) != 0)
        std::exit(1);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        Result r = side();
        if (write(fds[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r))
            _exit(1);
        _exit(0);
    }
    close(fds[1]);
    Result r {};
    if (read(fds[0], &r, sizeof r) != static_cast<ssize_t>(sizeof r))
        std::fprintf(stderr, "a side failed\n");
    close(fds[0]);
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    peakKiB = usage.ru_maxrss;
    return r;
}
