#include "platform/system/kernelnews.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <pthread.h>
#include <unistd.h>

namespace
{

std::atomic<uint64_t> forks { 0 };

[[maybe_unused]] const int registered
    = pthread_atfork(nullptr, nullptr, [] { forks.fetch_add(1, std::memory_order_relaxed); });

} // namespace

uint64_t ForkCount()
{
    return forks.load(std::memory_order_relaxed);
}

bool TakeKernelNews(int fd, const std::function<void(const inotify_event &)> &take)
{
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return true;
        if (n <= 0)
            return false;
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW)
                return false;
            take(*event);
        }
        // A read takes every queued change that fits: one that left room for
        // the largest change took them all.
        if (n <= static_cast<ssize_t>(sizeof buffer - sizeof(inotify_event) - NAME_MAX - 1))
            return true;
    }
}
