// Id pools: paged tables of fixed-size records handed out by small integer ids, and the few calls
// left of the console memory manager.
//
// Id = pageIndex << shift | indexInPage; -1 means none. Ids are saved in song files, so shift and
// page count of each pool must stay as their owners give them.
//
// Occupancy: each page has wordsPerPage words of 31 bits; bit b of word w stands for record
// 31*w + b, set = free. Bits past the page's last record stay set for the life of the page, which
// lets the search and the dense compaction treat them as free records.
//
// Main thread only; no lock.
#pragma once

#include <cstddef>
#include <cstdint>

enum
{
    IDPOOL_COMPACT = 1, // a freed page's slot is closed up by moving later pages down
    IDPOOL_DENSE = 4,   // used records always hold ids 0 .. n-1
};

enum
{
    IDPOOLPAGE_FULL = 2,
};

// Runs for dense pools only, with the record about to be removed (its index in its page and its
// address), before the later records move down over it.
typedef void (*IDPOOLFREEFN)(uint32_t indexInPage, void *record);

struct IDPOOLPAGE
{
    uint32_t flags;   // IDPOOLPAGE_FULL: the allocator found no free record here
    uint8_t *records; // recordsPerPage records of recordSize bytes
    uint32_t *words;  // wordsPerPage occupancy words, set bit = free
};

struct IDPOOL
{
    uint32_t recordSize;
    uint32_t pageBytes; // recordSize << shift
    uint32_t pageCount; // length of the page array
    uint32_t wordsPerPage;
    uint32_t recordsPerPage;
    uint32_t shift;
    uint32_t flags; // IDPOOL_COMPACT, IDPOOL_DENSE
    IDPOOLPAGE **pages; // pageCount slots plus one that always stays null
    IDPOOLFREEFN freeCallback;
    uint32_t topMask; // bit of the page's last record in the last occupancy word
};

// Creates an empty pool (no page yet). Null when out of memory or when the sizes cannot be
// addressed by 31-bit ids. The label only names the pool for the reader of the call.
IDPOOL *Sys_PoolCreate(uint32_t shift, uint32_t recordSize, uint32_t pageCount, uint32_t flags,
                       const char *label, IDPOOLFREEFN freeCallback);
// Frees the pool and any page still held.
void Sys_PoolDestroy(IDPOOL *pool);

// Lowest free id of the first page that is not full. Writes the id in every case: -1 with a null
// result when the pool is full or memory is out.
void *Sys_PoolAlloc(IDPOOL *pool, int32_t *outId);
// Frees a record (in a dense pool, later records move down one id). Refuses, changing nothing, an
// address outside every page, off a record boundary, or of a record that is already free.
// 0 freed, -1 refused.
int Sys_PoolFree(IDPOOL *pool, void *record);

// Record of id; null when id < 0, out of range, its page is absent or the record is free.
void *Sys_PoolGet(const IDPOOL *pool, int32_t id);
// Record address of an id known to be live; no check at all.
inline void *Sys_PoolGetFast(const IDPOOL *pool, int32_t id)
{
    return pool->pages[id >> pool->shift]->records +
           (size_t)((uint32_t)id & (pool->recordsPerPage - 1)) * pool->recordSize;
}
// Id of the record holding an address, -1 when it lies in no page.
int32_t Sys_PoolIdOf(const IDPOOL *pool, const void *record);
// Highest id in use, -1 when the pool has no page.
int32_t Sys_PoolHighestId(const IDPOOL *pool);

// Page-level steps of the calls above.
void *Sys_PoolAddPage(IDPOOL *pool, uint32_t pageIndex);
int32_t Sys_PoolPageFirstFree(const IDPOOL *pool, const IDPOOLPAGE *page);
void *Sys_PoolTakeRecord(IDPOOL *pool, IDPOOLPAGE *page, uint32_t index);
int Sys_PoolReleaseRecord(IDPOOL *pool, IDPOOLPAGE *page, uint32_t index);
void Sys_PoolFreePage(IDPOOL *pool, uint32_t pageIndex);
void Sys_PoolCloseGap(IDPOOL *pool, uint32_t pageIndex, uint32_t index);

// Console memory manager.
void *Sys_MemAlloc(void *heap, uint32_t size); // zeroed block; release with Sys_MemFree
uint32_t Sys_MemLargestFree(const void *heap = nullptr); // always 0x20000
void *Sys_MemAlignRegion(void *base, uint32_t size);     // base unchanged

// Heap blocks of the pools and the event registry. The hook stands in for malloc so tests can
// make allocation fail; null restores malloc.
typedef void *(*MEMALLOCHOOK)(size_t size);
void Sys_MemSetAllocHook(MEMALLOCHOOK hook);
void *Sys_MemHeapAlloc(size_t size);
void Sys_MemFree(void *block);
