#include "core/idpool.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kAllFree = 0x7fffffffu;
constexpr uint32_t kBit30 = 0x40000000u;
// Records may hold pointers and doubles: keep them aligned past the occupancy words.
constexpr size_t kRecordAlign = alignof(std::max_align_t);

std::atomic<MEMALLOCHOOK> g_pfnMemAllocHook{nullptr};

size_t PoolWordBytes(const IDPOOL *pool)
{
    size_t head = sizeof(IDPOOLPAGE) + (size_t)pool->wordsPerPage * sizeof(uint32_t);
    return (head + kRecordAlign - 1) & ~(kRecordAlign - 1);
}

// Page slot whose records hold the address, -1 when none.
int32_t PoolFindPage(const IDPOOL *pool, const void *record)
{
    uintptr_t a = (uintptr_t)record;
    for (uint32_t p = 0; p < pool->pageCount; p++)
    {
        const IDPOOLPAGE *page = pool->pages[p];
        if (!page)
            continue;
        uintptr_t lo = (uintptr_t)page->records;
        if (a >= lo && a - lo < pool->pageBytes)
            return (int32_t)p;
    }
    return -1;
}

bool RecordFree(const IDPOOLPAGE *page, uint32_t index)
{
    return (page->words[index / 31] >> (index % 31)) & 1u;
}

bool PageAllFree(const IDPOOL *pool, const IDPOOLPAGE *page)
{
    for (uint32_t w = 0; w < pool->wordsPerPage; w++)
        if (page->words[w] != kAllFree)
            return false;
    return true;
}

} // namespace

// ---- heap -------------------------------------------------------------------------------------

void Sys_MemSetAllocHook(MEMALLOCHOOK hook)
{
    g_pfnMemAllocHook = hook;
}

void *Sys_MemHeapAlloc(size_t size)
{
    MEMALLOCHOOK hook = g_pfnMemAllocHook;
    return hook ? hook(size) : std::malloc(size);
}

void Sys_MemFree(void *block)
{
    std::free(block);
}

void *Sys_MemAlloc(void *heap, uint32_t size)
{
    (void)heap;
    void *p = Sys_MemHeapAlloc(size ? size : 1);
    if (p)
        std::memset(p, 0, size);
    return p;
}

uint32_t Sys_MemLargestFree(const void *heap)
{
    // The heap here has no fixed arena; callers size their buffers by this figure.
    (void)heap;
    return 0x20000;
}

void *Sys_MemAlignRegion(void *base, uint32_t size)
{
    (void)size;
    return base;
}

// ---- pools ------------------------------------------------------------------------------------

IDPOOL *Sys_PoolCreate(uint32_t shift, uint32_t recordSize, uint32_t pageCount, uint32_t flags,
                       const char *label, IDPOOLFREEFN freeCallback)
{
    (void)label;
    // Every id must fit in 31 bits and a page's bytes in 32.
    if (shift > 30 || recordSize == 0 || ((uint64_t)pageCount << shift) > 0x80000000ull ||
        ((uint64_t)recordSize << shift) > 0xffffffffull)
        return nullptr;

    size_t bytes = sizeof(IDPOOL) + ((size_t)pageCount + 1) * sizeof(IDPOOLPAGE *);
    IDPOOL *pool = (IDPOOL *)Sys_MemHeapAlloc(bytes);
    if (!pool)
        return nullptr;
    std::memset((void *)pool, 0, bytes);
    pool->recordSize = recordSize;
    pool->recordsPerPage = 1u << shift;
    pool->pageBytes = recordSize << shift;
    pool->pageCount = pageCount;
    pool->wordsPerPage = (pool->recordsPerPage + 30) / 31;
    pool->shift = shift;
    pool->flags = flags;
    pool->pages = (IDPOOLPAGE **)(pool + 1);
    pool->freeCallback = freeCallback;
    pool->topMask = 1u << ((pool->recordsPerPage - 1) % 31);
    return pool;
}

void Sys_PoolDestroy(IDPOOL *pool)
{
    if (!pool)
        return;
    // Owners normally empty their pools first; whatever is left would otherwise leak.
    for (uint32_t p = 0; p < pool->pageCount; p++)
        Sys_MemFree(pool->pages[p]);
    Sys_MemFree(pool);
}

void *Sys_PoolAddPage(IDPOOL *pool, uint32_t pageIndex)
{
    if (!pool || pageIndex >= pool->pageCount || pool->pages[pageIndex])
        return nullptr;
    size_t head = PoolWordBytes(pool);
    IDPOOLPAGE *page = (IDPOOLPAGE *)Sys_MemHeapAlloc(head + pool->pageBytes);
    if (!page)
        return nullptr;
    page->flags = 0;
    page->words = (uint32_t *)(page + 1);
    page->records = (uint8_t *)page + head;
    for (uint32_t w = 0; w < pool->wordsPerPage; w++)
        page->words[w] = kAllFree;
    pool->pages[pageIndex] = page;
    return Sys_PoolTakeRecord(pool, page, 0);
}

int32_t Sys_PoolPageFirstFree(const IDPOOL *pool, const IDPOOLPAGE *page)
{
    for (uint32_t w = 0; w < pool->wordsPerPage; w++)
    {
        uint32_t bits = page->words[w] & kAllFree;
        if (bits)
        {
            uint32_t index = 31 * w + (uint32_t)__builtin_ctz(bits);
            return index < pool->recordsPerPage ? (int32_t)index : -1;
        }
    }
    return -1;
}

void *Sys_PoolTakeRecord(IDPOOL *pool, IDPOOLPAGE *page, uint32_t index)
{
    page->words[index / 31] &= ~(1u << (index % 31));
    return page->records + (size_t)index * pool->recordSize;
}

int Sys_PoolReleaseRecord(IDPOOL *pool, IDPOOLPAGE *page, uint32_t index)
{
    page->words[index / 31] |= 1u << (index % 31);
    return PageAllFree(pool, page) ? 1 : 0;
}

void Sys_PoolFreePage(IDPOOL *pool, uint32_t pageIndex)
{
    if (!pool || pageIndex >= pool->pageCount)
        return;
    Sys_MemFree(pool->pages[pageIndex]);
    pool->pages[pageIndex] = nullptr;
    if (pool->flags & IDPOOL_COMPACT)
    {
        uint32_t p = pageIndex;
        for (; p + 1 < pool->pageCount && pool->pages[p + 1]; p++)
            pool->pages[p] = pool->pages[p + 1];
        pool->pages[p] = nullptr;
    }
}

void *Sys_PoolAlloc(IDPOOL *pool, int32_t *outId)
{
    int32_t dummy;
    if (!outId)
        outId = &dummy;
    *outId = -1;
    if (!pool)
        return nullptr;

    uint32_t p = 0;
    for (; p < pool->pageCount; p++)
    {
        IDPOOLPAGE *page = pool->pages[p];
        if (!page)
            break;
        if (page->flags & IDPOOLPAGE_FULL)
            continue;
        int32_t i = Sys_PoolPageFirstFree(pool, page);
        if (i >= 0)
        {
            *outId = (int32_t)(p << pool->shift | (uint32_t)i);
            return Sys_PoolTakeRecord(pool, page, (uint32_t)i);
        }
        page->flags |= IDPOOLPAGE_FULL;
    }
    if (p == pool->pageCount)
        return nullptr;

    void *record = Sys_PoolAddPage(pool, p);
    // Out of memory: no id, so nobody refers to a record that was never made.
    if (record)
        *outId = (int32_t)(p << pool->shift);
    return record;
}

void Sys_PoolCloseGap(IDPOOL *pool, uint32_t pageIndex, uint32_t index)
{
    if (!pool || pageIndex >= pool->pageCount || index >= pool->recordsPerPage)
        return;
    uint32_t p = pageIndex;
    uint32_t last = pool->wordsPerPage - 1;
    for (;;)
    {
        IDPOOLPAGE *page = pool->pages[p];
        if (!page)
            return;
        uint8_t *rec = page->records;
        size_t size = pool->recordSize;
        std::memmove(rec + index * size, rec + (index + 1) * size,
                     (size_t)(pool->recordsPerPage - 1 - index) * size);

        // Shift the occupancy bits above index down one place; bit 30 of each word takes bit 0
        // of the next, and the last word's bit 30 stays free.
        uint32_t *words = page->words;
        for (uint32_t w = index / 31; w <= last; w++)
        {
            uint32_t carry = w < last ? (words[w + 1] & 1u) : 1u;
            uint32_t word = words[w];
            uint32_t keep = 0;
            if (w == index / 31)
            {
                uint32_t b = index % 31;
                keep = word & ((1u << b) - 1);
                word &= ~((1u << (b + 1)) - 1);
            }
            words[w] = keep | ((word >> 1) & (kBit30 - 1)) | (carry ? kBit30 : 0);
        }

        IDPOOLPAGE *next = p + 1 < pool->pageCount ? pool->pages[p + 1] : nullptr;
        if (!next)
        {
            page->flags &= ~IDPOOLPAGE_FULL;
            if (PageAllFree(pool, page))
                Sys_PoolFreePage(pool, p);
            return;
        }
        std::memcpy(rec + (size_t)(pool->recordsPerPage - 1) * size, next->records, size);
        if (RecordFree(next, 0))
        {
            words[last] |= pool->topMask;
            page->flags &= ~IDPOOLPAGE_FULL;
        }
        else
        {
            words[last] &= ~pool->topMask;
        }
        p++;
        index = 0;
    }
}

int Sys_PoolFree(IDPOOL *pool, void *record)
{
    if (!pool || !record)
        return -1;
    int32_t p = PoolFindPage(pool, record);
    if (p < 0)
        return -1;
    IDPOOLPAGE *page = pool->pages[p];
    size_t offset = (size_t)((uint8_t *)record - page->records);
    // A stray pointer or a second free would otherwise release (or, in a dense pool, remove)
    // a record somebody still uses.
    if (offset % pool->recordSize)
        return -1;
    uint32_t index = (uint32_t)(offset / pool->recordSize);
    if (RecordFree(page, index))
        return -1;

    if (pool->flags & IDPOOL_DENSE)
    {
        if (pool->freeCallback)
            pool->freeCallback(index, record);
        Sys_PoolCloseGap(pool, (uint32_t)p, index);
        return 0;
    }
    page->flags &= ~IDPOOLPAGE_FULL;
    if (Sys_PoolReleaseRecord(pool, page, index))
        Sys_PoolFreePage(pool, (uint32_t)p);
    return 0;
}

void *Sys_PoolGet(const IDPOOL *pool, int32_t id)
{
    if (!pool || id < 0)
        return nullptr;
    // Ids come from song files: an id past the page array is absent, not an overrun.
    uint32_t p = (uint32_t)id >> pool->shift;
    if (p >= pool->pageCount)
        return nullptr;
    const IDPOOLPAGE *page = pool->pages[p];
    if (!page)
        return nullptr;
    uint32_t index = (uint32_t)id & (pool->recordsPerPage - 1);
    if (RecordFree(page, index))
        return nullptr;
    return page->records + (size_t)index * pool->recordSize;
}

int32_t Sys_PoolIdOf(const IDPOOL *pool, const void *record)
{
    if (!pool)
        return -1;
    int32_t p = PoolFindPage(pool, record);
    if (p < 0)
        return -1;
    size_t offset = (size_t)((const uint8_t *)record - pool->pages[p]->records);
    return (int32_t)((uint32_t)p * pool->recordsPerPage + offset / pool->recordSize);
}

int32_t Sys_PoolHighestId(const IDPOOL *pool)
{
    if (!pool)
        return -1;
    int32_t p = -1;
    for (uint32_t s = 0; s < pool->pageCount; s++)
        if (pool->pages[s])
            p = (int32_t)s;
    if (p < 0)
        return -1;
    const IDPOOLPAGE *page = pool->pages[p];

    // Bits past the last record read as free; then the highest word with a used record.
    uint32_t last = pool->wordsPerPage - 1;
    uint32_t r = pool->recordsPerPage % 31;
    uint32_t lastWord = page->words[last] | (r ? ~((1u << r) - 1) & kAllFree : 0);
    int32_t w = (int32_t)last;
    uint32_t word = lastWord;
    while (w >= 0 && (word & kAllFree) == kAllFree)
    {
        w--;
        if (w >= 0)
            word = page->words[w];
    }
    if (w < 0)
        return -1; // a page with no used record: only while a caller works page by page
    uint32_t used = ~word & kAllFree;
    uint32_t b = 31 - (uint32_t)__builtin_clz(used);
    return (int32_t)((uint32_t)p * pool->recordsPerPage + 31 * (uint32_t)w + b);
}
