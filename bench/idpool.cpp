#include "core/idpool.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

// Allocate a pool's worth of records, then free them all: pages come and go every round.
static void BM_PoolAllocFree(benchmark::State &state)
{
    const uint32_t shift = (uint32_t)state.range(0);
    const uint32_t flags = (uint32_t)state.range(1);
    const uint32_t pages = 16;
    IDPOOL *pool = Sys_PoolCreate(shift, 32, pages, flags, "BENCH", nullptr);
    std::vector<void *> recs(pages << shift);
    for (auto _ : state)
    {
        int32_t id;
        for (void *&r : recs)
            r = Sys_PoolAlloc(pool, &id);
        // Dense pools free from the top so each free is the cheap end of the gap close.
        for (size_t i = recs.size(); i-- > 0;)
            Sys_PoolFree(pool, recs[i]);
    }
    state.SetItemsProcessed(state.iterations() * (int64_t)recs.size());
    Sys_PoolDestroy(pool);
}
BENCHMARK(BM_PoolAllocFree)->Args({4, 0})->Args({6, 0})->Args({8, 0})->Args({6, IDPOOL_DENSE});

// Lookup by id in a full pool, checked and unchecked.
static void BM_PoolGet(benchmark::State &state)
{
    const bool fast = state.range(0) != 0;
    IDPOOL *pool = Sys_PoolCreate(6, 28, 32, 0, "BENCH", nullptr);
    int32_t id;
    while (Sys_PoolAlloc(pool, &id))
    {
    }
    std::mt19937 rng(1);
    std::vector<int32_t> ids(4096);
    for (int32_t &i : ids)
        i = (int32_t)(rng() % (32u << 6));
    for (auto _ : state)
        for (int32_t i : ids)
            benchmark::DoNotOptimize(fast ? Sys_PoolGetFast(pool, i) : Sys_PoolGet(pool, i));
    state.SetItemsProcessed(state.iterations() * (int64_t)ids.size());
    Sys_PoolDestroy(pool);
}
BENCHMARK(BM_PoolGet)->Arg(0)->Arg(1);

// Freeing from the middle of a dense pool moves every later record down.
static void BM_PoolDenseFreeMiddle(benchmark::State &state)
{
    IDPOOL *pool = Sys_PoolCreate(6, 44, 23, IDPOOL_DENSE, "RIFFENTRY", nullptr);
    int32_t id;
    for (int i = 0; i < 1000; i++)
        Sys_PoolAlloc(pool, &id);
    for (auto _ : state)
    {
        Sys_PoolFree(pool, Sys_PoolGet(pool, 10));
        Sys_PoolAlloc(pool, &id);
    }
    Sys_PoolDestroy(pool);
}
BENCHMARK(BM_PoolDenseFreeMiddle);
