#include "core/idpool.h"
#include "support/failalloc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct PoolPtr
{
    IDPOOL *p;
    explicit PoolPtr(IDPOOL *pool) : p(pool) {}
    ~PoolPtr() { Sys_PoolDestroy(p); }
    IDPOOL *operator->() const { return p; }
    operator IDPOOL *() const { return p; }
};

std::vector<int32_t> AllocN(IDPOOL *pool, int n)
{
    std::vector<int32_t> ids;
    for (int i = 0; i < n; i++)
    {
        int32_t id = -2;
        EXPECT_NE(Sys_PoolAlloc(pool, &id), nullptr);
        ids.push_back(id);
    }
    return ids;
}

void Stamp(IDPOOL *pool, int32_t id, uint32_t value)
{
    std::memcpy(Sys_PoolGet(pool, id), &value, sizeof value);
}

uint32_t StampOf(IDPOOL *pool, int32_t id)
{
    uint32_t v;
    std::memcpy(&v, Sys_PoolGet(pool, id), sizeof v);
    return v;
}

// The pools the studio creates: their geometry sets the id capacity saved in song files.
TEST(IdPool, GeometryOfTheStudioPools)
{
    struct Case
    {
        const char *label;
        uint32_t shift, size, pages, flags;
        uint32_t words, topMask;
    } cases[] = {
        {"DISKNAMES", 3, 556, 8, 0, 1, 1u << 7},
        {"RES PAGE", 8, 32, 128, 0, 9, 1u << 7},
        {"TRACKENTRY", 4, 12, 312, 0, 1, 1u << 15},
        {"COMMANDENTRY", 7, 16, 1, 0, 5, 1u << 3},
        {"NOTEENTRY", 6, 28, 32, IDPOOL_DENSE, 3, 1u << 1},
        {"RIFFENTRY", 6, 44, 23, IDPOOL_DENSE, 3, 1u << 1},
        {"CHASE", 5, 56, 256, 0, 2, 1u << 0},
        {"CHASE CAM DEF", 4, 8, 1, IDPOOL_COMPACT, 1, 1u << 15},
        {"SL", 7, 16, 55, 0, 5, 1u << 3},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.label);
        PoolPtr pool(Sys_PoolCreate(c.shift, c.size, c.pages, c.flags, c.label, nullptr));
        ASSERT_NE(pool.p, nullptr);
        EXPECT_EQ(pool->recordsPerPage, 1u << c.shift);
        EXPECT_EQ(pool->pageBytes, c.size << c.shift);
        EXPECT_EQ(pool->wordsPerPage, c.words);
        EXPECT_EQ(pool->topMask, c.topMask);
        for (uint32_t p = 0; p <= c.pages; p++)
            EXPECT_EQ(pool->pages[p], nullptr);
        EXPECT_EQ(Sys_PoolHighestId(pool), -1);
    }
}

TEST(IdPool, Shift8PageKeepsTrailingBitsFree)
{
    PoolPtr pool(Sys_PoolCreate(8, 32, 128, 0, "RES PAGE", nullptr));
    AllocN(pool, 256);
    IDPOOLPAGE *page = pool->pages[0];
    // Record 255 is bit 7 of word 8; bits 8-30 of word 8 stay free.
    EXPECT_EQ(page->words[8], 0x7fffff00u);
    for (int w = 0; w < 8; w++)
        EXPECT_EQ(page->words[w], 0u);
    ASSERT_EQ(Sys_PoolFree(pool, Sys_PoolGet(pool, 255)), 0);
    EXPECT_EQ(page->words[8], 0x7fffff80u);
    int32_t id;
    Sys_PoolAlloc(pool, &id);
    EXPECT_EQ(id, 255);
    Sys_PoolAlloc(pool, &id);
    EXPECT_EQ(id, 256);
}

TEST(IdPool, PagesAreMadeAndFreedWithTheirRecords)
{
    PoolPtr pool(Sys_PoolCreate(3, 16, 4, 0, "T", nullptr));
    std::vector<int32_t> ids = AllocN(pool, 9);
    EXPECT_EQ(ids[0], 0);
    EXPECT_EQ(ids[8], 8); // the 2^shift+1-th record opens page 1
    EXPECT_NE(pool->pages[1], nullptr);

    // Emptying page 0 frees it; a later allocation remakes it in the same slot.
    for (int32_t id = 0; id < 8; id++)
        ASSERT_EQ(Sys_PoolFree(pool, Sys_PoolGet(pool, id)), 0);
    EXPECT_EQ(pool->pages[0], nullptr);
    EXPECT_EQ(Sys_PoolHighestId(pool), 8);
    int32_t id;
    ASSERT_NE(Sys_PoolAlloc(pool, &id), nullptr);
    EXPECT_EQ(id, 0);
    EXPECT_NE(pool->pages[0], nullptr);
}

TEST(IdPool, HighestIdAndStaleLookups)
{
    PoolPtr pool(Sys_PoolCreate(4, 8, 2, 0, "T", nullptr));
    AllocN(pool, 6);
    for (int32_t id = 1; id <= 4; id++)
        Sys_PoolFree(pool, Sys_PoolGet(pool, id));
    EXPECT_EQ(Sys_PoolHighestId(pool), 5);

    void *stale = Sys_PoolGetFast(pool, 3);
    EXPECT_EQ(Sys_PoolGet(pool, 3), nullptr);
    EXPECT_EQ(stale, (uint8_t *)Sys_PoolGet(pool, 0) + 3 * 8);
    EXPECT_EQ(Sys_PoolIdOf(pool, stale), 3);
    EXPECT_EQ(Sys_PoolGetFast(pool, 5), Sys_PoolGet(pool, 5));

    for (int32_t id : {-1, -100, 16, 31, 32, 1 << 20, INT32_MAX})
        EXPECT_EQ(Sys_PoolGet(pool, id), nullptr) << id;
    int outside = 0;
    EXPECT_EQ(Sys_PoolIdOf(pool, &outside), -1);
}

TEST(IdPool, FullPoolAnswersMinusOne)
{
    PoolPtr pool(Sys_PoolCreate(1, 4, 3, 0, "T", nullptr));
    AllocN(pool, 6);
    int32_t id = 77;
    EXPECT_EQ(Sys_PoolAlloc(pool, &id), nullptr);
    EXPECT_EQ(id, -1);
    Sys_PoolFree(pool, Sys_PoolGet(pool, 3));
    EXPECT_NE(Sys_PoolAlloc(pool, &id), nullptr);
    EXPECT_EQ(id, 3);

    PoolPtr none(Sys_PoolCreate(2, 4, 0, 0, "T", nullptr));
    ASSERT_NE(none.p, nullptr);
    EXPECT_EQ(Sys_PoolAlloc(none, &id), nullptr);
    EXPECT_EQ(id, -1);
}

TEST(IdPool, CompactPoolMovesLaterPagesDown)
{
    PoolPtr pool(Sys_PoolCreate(1, 4, 4, IDPOOL_COMPACT, "T", nullptr));
    AllocN(pool, 7); // pages 0..3, the last half used
    for (int32_t id = 0; id < 7; id++)
        Stamp(pool, id, 100 + id);
    IDPOOLPAGE *p2 = pool->pages[2];
    Sys_PoolFree(pool, Sys_PoolGet(pool, 2));
    Sys_PoolFree(pool, Sys_PoolGet(pool, 3));
    EXPECT_EQ(pool->pages[1], p2);
    EXPECT_EQ(pool->pages[3], nullptr);
    // Records of the moved pages answer to ids one page lower.
    EXPECT_EQ(StampOf(pool, 2), 104u);
    EXPECT_EQ(StampOf(pool, 4), 106u);
    EXPECT_EQ(Sys_PoolHighestId(pool), 4);
}

TEST(IdPool, DenseFreeClosesTheGap)
{
    PoolPtr pool(Sys_PoolCreate(6, 28, 32, IDPOOL_DENSE, "NOTEENTRY", nullptr));
    AllocN(pool, 10);
    for (int32_t id = 0; id < 10; id++)
        Stamp(pool, id, 1000 + id);
    ASSERT_EQ(Sys_PoolFree(pool, Sys_PoolGet(pool, 3)), 0);
    for (int32_t id = 3; id < 9; id++)
        EXPECT_EQ(StampOf(pool, id), 1000u + id + 1);
    EXPECT_EQ(Sys_PoolGet(pool, 9), nullptr);
    EXPECT_EQ(Sys_PoolHighestId(pool), 8);
    int32_t id;
    Sys_PoolAlloc(pool, &id);
    EXPECT_EQ(id, 9);
}

TEST(IdPool, DenseFreeAcrossPages)
{
    // 4 records a page: ids 0..9 on pages 0, 1, 2.
    PoolPtr pool(Sys_PoolCreate(2, 12, 4, IDPOOL_DENSE, "T", nullptr));
    AllocN(pool, 10);
    for (int32_t id = 0; id < 10; id++)
        Stamp(pool, id, id);
    Sys_PoolFree(pool, Sys_PoolGet(pool, 1));
    EXPECT_EQ(StampOf(pool, 3), 4u); // first record of page 1 moved into page 0's last slot
    EXPECT_EQ(StampOf(pool, 7), 8u);
    EXPECT_EQ(StampOf(pool, 8), 9u);
    EXPECT_NE(pool->pages[2], nullptr);
    Sys_PoolFree(pool, Sys_PoolGet(pool, 0));
    EXPECT_EQ(pool->pages[2], nullptr); // its last record moved down: the page goes
    EXPECT_EQ(Sys_PoolHighestId(pool), 7);
    EXPECT_EQ(StampOf(pool, 0), 2u);
    EXPECT_EQ(StampOf(pool, 7), 9u);
}

uint32_t g_uCallbackIndex;
uint32_t g_uCallbackStamp;
void RecordCallback(uint32_t indexInPage, void *record)
{
    g_uCallbackIndex = indexInPage;
    std::memcpy(&g_uCallbackStamp, record, 4);
}

TEST(IdPool, DenseFreeCallbackSeesTheRecordRemoved)
{
    PoolPtr pool(Sys_PoolCreate(2, 8, 2, IDPOOL_DENSE, "T", RecordCallback));
    AllocN(pool, 6);
    for (int32_t id = 0; id < 6; id++)
        Stamp(pool, id, 50 + id);
    Sys_PoolFree(pool, Sys_PoolGet(pool, 5)); // the last record: its page goes with it
    EXPECT_EQ(g_uCallbackIndex, 1u);
    EXPECT_EQ(g_uCallbackStamp, 55u);
    Sys_PoolFree(pool, Sys_PoolGet(pool, 2));
    EXPECT_EQ(g_uCallbackIndex, 2u);
    EXPECT_EQ(g_uCallbackStamp, 52u);
}

// Frees that must be refused and change nothing.
TEST(IdPool, BadFreesAreRefused)
{
    for (uint32_t flags : {0u, (uint32_t)IDPOOL_DENSE})
    {
        SCOPED_TRACE(flags);
        PoolPtr pool(Sys_PoolCreate(2, 8, 3, flags, "T", nullptr));
        AllocN(pool, 6);
        for (int32_t id = 0; id < 6; id++)
            Stamp(pool, id, id + 1);
        uint8_t *r0 = (uint8_t *)Sys_PoolGet(pool, 0);
        uint8_t *r5 = (uint8_t *)Sys_PoolGet(pool, 5);
        int outside = 0;
        void *bad[] = {
            nullptr,
            &outside,
            r0 + 1,                  // inside record 0, off its boundary
            r0 + 7,
            r5 + 8,                  // record 6: on a boundary, free
            r5 + 16,                 // record 7: the page's last, free
        };
        for (void *a : bad)
        {
            EXPECT_EQ(Sys_PoolFree(pool, a), -1);
            for (int32_t id = 0; id < 6; id++)
                ASSERT_EQ(StampOf(pool, id), (uint32_t)id + 1) << id;
            EXPECT_EQ(Sys_PoolHighestId(pool), 5);
        }
        // A double free: the second one is refused (the record is free by then).
        ASSERT_EQ(Sys_PoolFree(pool, r5), 0);
        EXPECT_EQ(Sys_PoolFree(pool, r5), -1);
        EXPECT_EQ(Sys_PoolHighestId(pool), 4);
        EXPECT_EQ(StampOf(pool, 4), 5u);
        EXPECT_EQ(Sys_PoolFree(nullptr, r0), -1);
    }
}

TEST(IdPool, OutOfMemoryGivesNoId)
{
    PoolPtr pool(Sys_PoolCreate(1, 4, 4, 0, "T", nullptr));
    AllocN(pool, 2);
    {
        FailAlloc fail;
        int32_t id = 5;
        EXPECT_EQ(Sys_PoolAlloc(pool, &id), nullptr);
        EXPECT_EQ(id, -1);
        EXPECT_EQ(pool->pages[1], nullptr);
        EXPECT_EQ(Sys_PoolHighestId(pool), 1);
        // Freeing needs no memory.
        EXPECT_EQ(Sys_PoolFree(pool, Sys_PoolGet(pool, 1)), 0);
        EXPECT_NE(Sys_PoolAlloc(pool, &id), nullptr);
        EXPECT_EQ(id, 1);
        EXPECT_EQ(Sys_PoolCreate(1, 4, 4, 0, "T", nullptr), nullptr);
    }
    int32_t id;
    EXPECT_NE(Sys_PoolAlloc(pool, &id), nullptr);
    EXPECT_EQ(id, 2);
}

TEST(IdPool, CreateRefusesSizesIdsCannotAddress)
{
    struct Case
    {
        uint32_t shift, size, pages;
        bool ok;
    } cases[] = {
        {0, 1, 1, true},      {30, 1, 2, true},      {31, 1, 1, false},
        {0, 0, 4, false},     {20, 4, 2048, true},   {20, 4, 2049, false},
        {16, 65536, 1, false}, {16, 65535, 1, true},
    };
    for (const Case &c : cases)
    {
        IDPOOL *pool = Sys_PoolCreate(c.shift, c.size, c.pages, 0, "T", nullptr);
        EXPECT_EQ(pool != nullptr, c.ok) << c.shift << " " << c.size << " " << c.pages;
        Sys_PoolDestroy(pool);
    }
}

TEST(IdPool, DestroyFreesPagesStillHeld)
{
    // Under the leak checker this shows the pages go with the pool.
    IDPOOL *pool = Sys_PoolCreate(2, 8, 4, 0, "T", nullptr);
    AllocN(pool, 13);
    Sys_PoolDestroy(pool);
    Sys_PoolDestroy(nullptr);
}

TEST(Mem, ConsoleCalls)
{
    int region = 0;
    EXPECT_EQ(Sys_MemLargestFree(), 0x20000u);
    EXPECT_EQ(Sys_MemLargestFree(&region), 0x20000u);
    EXPECT_EQ(Sys_MemAlignRegion(&region, 125952), &region);
    uint8_t *block = (uint8_t *)Sys_MemAlloc(nullptr, 64);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 64; i++)
        ASSERT_EQ(block[i], 0);
    Sys_MemFree(block);
    FailAlloc fail;
    EXPECT_EQ(Sys_MemAlloc(nullptr, 64), nullptr);
}

// ---- random sequences against a plain model ----------------------------------------------------

// What the pool should hold: per page slot, the stamp of each record (0 = free); a slot with no
// used record has no page. Dense pools are the list of live stamps in id order.
struct PoolModel
{
    uint32_t shift, rpp, pageCount, flags;
    std::vector<std::vector<uint32_t>> slots; // empty = no page
    std::vector<uint32_t> dense;

    bool Dense() const { return flags & IDPOOL_DENSE; }
    uint32_t Capacity() const { return pageCount * rpp; }

    // Predicted id of the next allocation and whether it needs a new page; -1 when full.
    int32_t NextId(bool *newPage) const
    {
        *newPage = false;
        if (Dense())
        {
            if (dense.size() == Capacity())
                return -1;
            *newPage = dense.size() % rpp == 0;
            return (int32_t)dense.size();
        }
        for (uint32_t p = 0; p < pageCount; p++)
        {
            if (slots[p].empty())
            {
                *newPage = true;
                return (int32_t)(p * rpp);
            }
            for (uint32_t i = 0; i < rpp; i++)
                if (!slots[p][i])
                    return (int32_t)(p * rpp + i);
        }
        return -1;
    }
    void Take(int32_t id, uint32_t stamp)
    {
        if (Dense())
        {
            dense.push_back(stamp);
            return;
        }
        std::vector<uint32_t> &page = slots[(uint32_t)id / rpp];
        if (page.empty())
            page.assign(rpp, 0);
        page[(uint32_t)id % rpp] = stamp;
    }
    void Free(int32_t id)
    {
        if (Dense())
        {
            dense.erase(dense.begin() + id);
            return;
        }
        uint32_t p = (uint32_t)id / rpp;
        slots[p][(uint32_t)id % rpp] = 0;
        for (uint32_t s : slots[p])
            if (s)
                return;
        slots[p].clear();
        if (flags & IDPOOL_COMPACT)
        {
            slots.erase(slots.begin() + p);
            slots.emplace_back();
        }
    }
    uint32_t StampAt(int32_t id) const
    {
        if (Dense())
            return (uint32_t)id < dense.size() ? dense[id] : 0;
        const std::vector<uint32_t> &page = slots[(uint32_t)id / rpp];
        return page.empty() ? 0 : page[(uint32_t)id % rpp];
    }
    bool PageExists(uint32_t p) const
    {
        if (Dense())
            return p * rpp < dense.size();
        return !slots[p].empty();
    }
    std::vector<int32_t> UsedIds() const
    {
        std::vector<int32_t> ids;
        for (uint32_t id = 0; id < Capacity(); id++)
            if (StampAt((int32_t)id))
                ids.push_back((int32_t)id);
        return ids;
    }
};

// Every byte of a record carries its stamp, so a record moved or copied short shows up.
uint8_t PatternByte(uint32_t stamp, uint32_t j)
{
    return (uint8_t)(stamp * 131u + j * 7u + (stamp >> 8));
}

void Fill(void *record, uint32_t size, uint32_t stamp)
{
    for (uint32_t j = 0; j < size; j++)
        ((uint8_t *)record)[j] = PatternByte(stamp, j);
}

bool Matches(const void *record, uint32_t size, uint32_t stamp)
{
    for (uint32_t j = 0; j < size; j++)
        if (((const uint8_t *)record)[j] != PatternByte(stamp, j))
            return false;
    return true;
}

void ExpectSame(IDPOOL *pool, const PoolModel &m, int step)
{
    int32_t highest = -1;
    for (uint32_t id = 0; id < m.Capacity(); id++)
    {
        uint32_t stamp = m.StampAt((int32_t)id);
        void *rec = Sys_PoolGet(pool, (int32_t)id);
        if (!stamp)
        {
            ASSERT_EQ(rec, nullptr) << "step " << step << " id " << id;
            continue;
        }
        highest = (int32_t)id;
        ASSERT_NE(rec, nullptr) << "step " << step << " id " << id;
        ASSERT_TRUE(Matches(rec, pool->recordSize, stamp)) << "step " << step << " id " << id;
        ASSERT_EQ(Sys_PoolIdOf(pool, rec), (int32_t)id) << "step " << step;
        ASSERT_EQ(Sys_PoolGetFast(pool, (int32_t)id), rec);
    }
    for (uint32_t p = 0; p < m.pageCount; p++)
        ASSERT_EQ(pool->pages[p] != nullptr, m.PageExists(p)) << "step " << step << " page " << p;
    ASSERT_EQ(pool->pages[m.pageCount], nullptr);
    ASSERT_EQ(Sys_PoolHighestId(pool), highest) << "step " << step;
}

struct RandomCase
{
    uint32_t shift, size, pages, flags;
};

class PoolAgainstModel : public ::testing::TestWithParam<RandomCase>
{
};

TEST_P(PoolAgainstModel, RandomAllocsAndFrees)
{
    const RandomCase c = GetParam();
    PoolPtr pool(Sys_PoolCreate(c.shift, c.size, c.pages, c.flags, "T", nullptr));
    ASSERT_NE(pool.p, nullptr);
    PoolModel m{c.shift, 1u << c.shift, c.pages, c.flags, {}, {}};
    m.slots.resize(c.pages);

    std::mt19937 rng(c.shift * 1000 + c.size * 7 + c.flags);
    // Filling and draining phases long enough for every pool to run full and empty again.
    const int phase = std::max(150, (int)(m.Capacity() * 5 / 2));
    const int steps = std::max(1500, phase * 4);
    uint32_t nextStamp = 1;
    int fulls = 0, ooms = 0, refused = 0;
    for (int step = 0; step < steps; step++)
    {
        bool filling = (step / phase) % 2 == 0;
        std::vector<int32_t> used = m.UsedIds();
        int roll = (int)(rng() % 100);
        if (roll < 5)
        {
            // A stray free: off a boundary, or of a free record of a live page.
            std::vector<uint8_t *> targets;
            for (int32_t id : used)
                if (c.size > 1)
                    targets.push_back((uint8_t *)Sys_PoolGet(pool, id) + 1 + rng() % (c.size - 1));
            for (uint32_t p = 0; p < c.pages; p++)
                if (pool->pages[p])
                    for (uint32_t i = 0; i < m.rpp; i++)
                        if (!m.StampAt((int32_t)(p * m.rpp + i)))
                            targets.push_back(pool->pages[p]->records + i * c.size);
            if (targets.empty())
                continue;
            ASSERT_EQ(Sys_PoolFree(pool, targets[rng() % targets.size()]), -1) << "step " << step;
            refused++;
        }
        else if (used.empty() || roll < (filling ? 80 : 25))
        {
            bool newPage;
            int32_t want = m.NextId(&newPage);
            bool failPage = newPage && rng() % 8 == 0;
            int32_t id = -2;
            void *rec;
            {
                FailAlloc fail(failPage ? 0 : 1);
                rec = Sys_PoolAlloc(pool, &id);
            }
            if (want < 0 || failPage)
            {
                ASSERT_EQ(rec, nullptr) << "step " << step;
                ASSERT_EQ(id, -1) << "step " << step;
                (want < 0 ? fulls : ooms)++;
            }
            else
            {
                ASSERT_NE(rec, nullptr) << "step " << step;
                ASSERT_EQ(id, want) << "step " << step;
                uint32_t stamp = nextStamp++;
                Fill(rec, c.size, stamp);
                m.Take(id, stamp);
            }
        }
        else
        {
            int32_t id = used[rng() % used.size()];
            ASSERT_EQ(Sys_PoolFree(pool, Sys_PoolGet(pool, id)), 0) << "step " << step;
            m.Free(id);
        }
        ExpectSame(pool, m, step);
        if (HasFatalFailure())
            return;
    }
    // The sequence reached the cases it is meant to cover.
    EXPECT_GT(fulls, 0);
    EXPECT_GT(ooms, 0);
    EXPECT_GT(refused, 0);
}

INSTANTIATE_TEST_SUITE_P(Pools, PoolAgainstModel,
                         ::testing::Values(RandomCase{0, 4, 6, 0},
                                           RandomCase{1, 12, 5, 0},
                                           RandomCase{3, 556, 4, 0},
                                           RandomCase{5, 56, 3, 0},
                                           RandomCase{8, 32, 2, 0},
                                           RandomCase{2, 8, 5, IDPOOL_COMPACT},
                                           RandomCase{4, 8, 4, IDPOOL_COMPACT},
                                           RandomCase{0, 4, 6, IDPOOL_DENSE},
                                           RandomCase{2, 12, 5, IDPOOL_DENSE},
                                           RandomCase{5, 28, 3, IDPOOL_DENSE},
                                           RandomCase{6, 44, 3, IDPOOL_DENSE},
                                           RandomCase{8, 7, 2, IDPOOL_DENSE}),
                         [](const ::testing::TestParamInfo<RandomCase> &param) {
                             const RandomCase &c = param.param;
                             const char *kind = c.flags & IDPOOL_DENSE     ? "Dense"
                                                : c.flags & IDPOOL_COMPACT ? "Compact"
                                                                           : "Plain";
                             return std::string(kind) + "Shift" + std::to_string(c.shift) +
                                    "Size" + std::to_string(c.size);
                         });

} // namespace
