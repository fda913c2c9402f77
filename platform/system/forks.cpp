#include "platform/system/forks.h"

#include <atomic>
#include <pthread.h>

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
