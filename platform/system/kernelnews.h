#pragma once

#include <cstdint>
#include <functional>
#include <sys/inotify.h>

// The kernel's news of changes in watched folders (inotify), as the machine's
// folder listings and the registry's hives keep up with them.

// How many times this process came out of fork() as the child. A descriptor
// of news is shared with the parent after a fork, and news read by one are
// lost to the other: whoever keeps one opens its own once this count has
// moved since it opened it.
uint64_t ForkCount();

// Hands every change queued on fd (an inotify descriptor opened non-blocking)
// to take, in order. False when news were lost (the queue overflowed, or it
// could not be read): nothing learned from the watches can be trusted then.
bool TakeKernelNews(int fd, const std::function<void(const inotify_event &)> &take);
