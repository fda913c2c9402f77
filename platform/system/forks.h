#pragma once

#include <cstdint>

// How many times this process came out of fork() as the child. A descriptor
// of kernel news (inotify) is shared with the parent after a fork, and news
// read by one are lost to the other: whoever keeps one opens its own once
// this count has moved since it opened it.
uint64_t ForkCount();
