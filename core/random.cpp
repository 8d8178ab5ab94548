#include "core/random.h"

#include <atomic>

namespace {
// A plain linear congruential generator; its high bits are the result.
std::atomic<uint32_t> s_uRandState{1};
} // namespace

int32_t Sys_Rand()
{
    uint32_t next = s_uRandState.load(std::memory_order_relaxed) * 1103515245u + 12345u;
    s_uRandState.store(next, std::memory_order_relaxed);
    return static_cast<int32_t>((next >> 16) & SYS_RAND_MAX);
}

void Sys_SeedRand(uint32_t seed)
{
    s_uRandState.store(seed, std::memory_order_relaxed);
}
