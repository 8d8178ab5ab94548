// Texture pages, image areas, CLUTs, console images and screen-graphics sets, against hand-worked
// values: page i sits at ((i % 16) * 64, (i / 16) * 256); a free-mask bit 4b + c is band b (32
// rows) and column c (16 words); CLUT rows run 385..511 from x 768.
#include "core/cardsave.h"
#include "core/console_memory.h"
#include "core/consolelib.h"
#include "core/disc.h"
#include "core/file.h"
#include "render/texpages.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

void Put16(std::vector<uint8_t> &b, size_t at, uint16_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t Get16(const std::vector<uint8_t> &b, size_t at)
{
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// TIM data: depth 0/1 get a CLUT block of `colours` colours 1, 2, 3 ... with colour 0 black.
std::vector<uint8_t> MakeTim(uint32_t depth, int16_t wordsWide, int16_t rows)
{
    std::vector<uint8_t> b(8);
    Put32(b, 0, 0x10);
    Put32(b, 4, depth);
    if (depth < 2) {
        const int colours = depth == 0 ? 16 : 256;
        const size_t at = b.size();
        b.resize(at + 12 + 2 * colours);
        Put32(b, at, 12 + 2 * colours);
        Put16(b, at + 8, static_cast<uint16_t>(colours));
        Put16(b, at + 10, 1);
        for (int i = 1; i < colours; i++)
            Put16(b, at + 12 + 2 * i, static_cast<uint16_t>(i));
    }
    const size_t at = b.size();
    const size_t pixels = static_cast<size_t>(wordsWide) * rows * 2;
    b.resize(at + 12 + pixels);
    Put32(b, at, static_cast<uint32_t>(12 + pixels));
    Put16(b, at + 8, static_cast<uint16_t>(wordsWide));
    Put16(b, at + 10, static_cast<uint16_t>(rows));
    return b;
}

struct TXREC
{
    uint8_t x, v, u, kind;
    uint16_t state, related;
    int16_t w, h;
    uint16_t page, clut;
    uint32_t blocks;
};

std::vector<uint8_t> MakeTx(const std::vector<uint32_t> &pages, uint32_t clutRows, const std::vector<TXREC> &recs)
{
    std::vector<uint8_t> b(8 + 4 * pages.size() + 28 * recs.size());
    Put32(b, 0, static_cast<uint32_t>(pages.size()));
    for (size_t i = 0; i < pages.size(); i++)
        Put32(b, 4 + 4 * i, pages[i]);
    Put32(b, 4 + 4 * pages.size(), clutRows);
    size_t at = 8 + 4 * pages.size();
    for (const TXREC &r : recs) {
        b[at] = r.x;
        b[at + 1] = r.v;
        b[at + 2] = r.u;
        b[at + 3] = r.kind;
        Put16(b, at + 4, r.state);
        Put16(b, at + 6, r.related);
        Put16(b, at + 8, static_cast<uint16_t>(r.w));
        Put16(b, at + 10, static_cast<uint16_t>(r.h));
        Put16(b, at + 12, r.page);
        Put16(b, at + 14, r.clut);
        Put32(b, at + 16, 0xDEADBEEF); // an address in the file: never taken as a pointer
        Put32(b, at + 20, r.blocks);
        Put32(b, at + 24, 0xDEADBEEF);
        at += 28;
    }
    return b;
}

// The small set of the tests: pages 13 and 14, 3 CLUT rows, 4 records.
std::vector<uint8_t> SmallTx()
{
    return MakeTx({13, 14}, 3,
                  {{0, 0, 0, 1, 0, 0, 64, 32, 13, 0, 0},
                   {64, 32, 16, 1, 0, 0, 16, 16, 13 | 0x20, (256 << 6) | 48, 0},
                   {0, 128, 0, 2, 0, 1, 100, 20, 14, 0, 0},
                   {192, 255, 48, 4, 0x8000, 3, 16, 1, 14, 0, 0x10}});
}

void SetDisplayWidth(uint16_t width)
{
    DISPLAYCONFIG config = Sys_DefaultDisplayConfig();
    config.width = width;
    ASSERT_EQ(Sys_SetDisplayConfig(&config), 0);
}

class TexPagesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_iWinTextureSize = 0;
        SetDisplayWidth(384);
        Gfx_InitTexturePages();
    }
    void TearDown() override
    {
        for (IMAGEREC &r : g_astImageRecords)
            Gfx_FreeImageArea(&r);
        g_iWinTextureSize = 0;
    }
    static std::vector<uint32_t> Masks()
    {
        std::vector<uint32_t> m;
        for (const TEXPAGE &p : g_aTexPages)
            m.push_back(p.freeMask);
        return m;
    }
};

// --- set-up ---

TEST_F(TexPagesTest, SetUpLaysOutPagesAsTheDisplayWidthLeavesThem)
{
    struct Case
    {
        uint16_t width;
        int lastDisplayPage; // pages 0..n and 16..16+n are under the display
        int freeBlocks;
    };
    // 384: 5 whole free pages (13-15, 26, 27) and the bottom halves of 11 and 12 (10's goes to the
    // debug font) = 5 * 32 + 2 * 16. 368 also frees pages 5 and 21.
    for (const Case &c : {Case{384, 5, 192}, Case{368, 4, 256}}) {
        SCOPED_TRACE(c.width);
        SetDisplayWidth(c.width);
        Gfx_InitTexturePages();
        for (int i = 0; i < 32; i++) {
            SCOPED_TRACE(i);
            EXPECT_EQ(g_aTexPages[i].x, (i % 16) * 64);
            EXPECT_EQ(g_aTexPages[i].y, (i / 16) * 256);
            const bool display = (i % 16) <= c.lastDisplayPage;
            if (display) {
                EXPECT_EQ(g_aTexPages[i].state, TEXPAGE_DISPLAY);
                EXPECT_EQ(g_aTexPages[i].freeMask, 0u);
            } else if (i >= 28) {
                EXPECT_EQ(g_aTexPages[i].state, TEXPAGE_CLUT);
                EXPECT_EQ(g_aTexPages[i].freeMask, 0u);
            } else {
                EXPECT_EQ(g_aTexPages[i].state, TEXPAGE_FREE);
            }
        }
        EXPECT_EQ(g_aTexPages[10].freeMask, 0u);
        EXPECT_EQ(g_aTexPages[11].freeMask, 0xFFFFu);
        EXPECT_EQ(g_aTexPages[7].freeMask, 0u);
        EXPECT_EQ(g_aTexPages[23].freeMask, 0u);
        EXPECT_EQ(g_iFreeTextureBlocks, c.freeBlocks);
        EXPECT_EQ(Gfx_CountFreeTextureBlocks(), c.freeBlocks);
    }
}

TEST_F(TexPagesTest, SetUpRecordsAndCluts)
{
    ASSERT_NE(g_pDebugFontImage, nullptr);
    EXPECT_EQ(g_pDebugFontImage->page, 10 | 0x20);
    EXPECT_EQ(g_pDebugFontImage->blocks, 0xFFFFu);
    EXPECT_EQ(g_tScratchImage.v, 128);
    EXPECT_EQ(g_tScratchImage.width, 384);
    EXPECT_EQ(g_tScratchImage.height, 128);
    EXPECT_EQ(g_tScratchImage.page, 10);
    EXPECT_EQ(g_tScratchImage.kind, 1);
    EXPECT_EQ(g_tClutArea.page, 28);
    // Nine 256-colour CLUTs: the scratch image's at 511, then the video tables alternating down to 503.
    EXPECT_EQ(g_tScratchImage.clut, Sys_ClutId(768, 511));
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(g_ausVideoCluts[1][i], Sys_ClutId(768, 510 - 2 * i));
        EXPECT_EQ(g_ausVideoCluts[0][i], Sys_ClutId(768, 509 - 2 * i));
    }
    EXPECT_EQ(g_asClut16Cursor[0], 768);
    EXPECT_EQ(g_asClut16Cursor[1], 385);
    EXPECT_EQ(g_asClut256Cursor[1], 502);
    // Without a "win.tx" every image lookup is empty.
    EXPECT_EQ(g_iImageCount, 0);
    EXPECT_EQ(Gfx_GetImage(0), nullptr);
}

// --- image areas ---

TEST_F(TexPagesTest, AreasArePlacedByPageOrderBandThenColumn)
{
    IMAGEREC *a = Gfx_AllocImageArea(64, 32, 1);
    IMAGEREC *b = Gfx_AllocImageArea(64, 32, 1);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->page, 11 | 0x20);
    EXPECT_EQ(a->x, 0);
    EXPECT_EQ(a->v, 0);
    EXPECT_EQ(a->blocks, 0x1u);
    EXPECT_EQ(a->state & IMAGE_STATE_INUSE, IMAGE_STATE_INUSE);
    EXPECT_EQ(b->page, 11 | 0x20);
    EXPECT_EQ(b->x, 64);
    EXPECT_EQ(b->v, 0);
    EXPECT_EQ(b->blocks, 0x2u);
    EXPECT_EQ(g_aTexPages[11].freeMask, 0xFFFCu);
    EXPECT_EQ(g_iFreeTextureBlocks, 190);
}

TEST_F(TexPagesTest, SizesRoundUpToTheirClass)
{
    struct Case
    {
        int w, h;
        int16_t keptW, keptH;
        uint32_t blocks; // placed at the top left of page 13 (fresh set-up)
    };
    // Page 13 is the first of the order with a whole free column of eight bands.
    for (const Case &c : {Case{100, 20, 128, 32, 0x3}, Case{1, 33, 64, 64, 0x11}, Case{129, 65, 256, 128, 0xFFFF},
                          Case{64, 256, 64, 256, 0x11111111}, Case{256, 256, 256, 256, 0xFFFFFFFF}}) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        Gfx_InitTexturePages();
        // Fill the free halves of pages 11 and 12 so page 13 is next.
        for (int i = 0; i < 2; i++)
            ASSERT_NE(Gfx_AllocImageArea(256, 128, 1), nullptr);
        IMAGEREC *r = Gfx_AllocImageArea(c.w, c.h, 2);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->width, c.keptW);
        EXPECT_EQ(r->height, c.keptH);
        EXPECT_EQ(r->page & 31, 13);
        EXPECT_EQ(r->blocks, c.blocks);
        EXPECT_EQ(r->kind, 2);
        for (IMAGEREC &rec : g_astImageRecords)
            Gfx_FreeImageArea(&rec);
    }
}

TEST_F(TexPagesTest, TallAreasOnlyOnTheirRowsAndNeverOverlap)
{
    uint32_t taken[32] = {};
    for (IMAGEREC *r; (r = Gfx_AllocImageArea(64, 64, 1)) != nullptr;) {
        EXPECT_EQ(r->v % 64, 0);
        EXPECT_EQ(r->x % 64, 0);
        const int page = r->page & 31;
        EXPECT_EQ(taken[page] & r->blocks, 0u) << "page " << page;
        taken[page] |= r->blocks;
    }
    // 192 free blocks / 2 = 96 areas, all in use now; the pool still had room.
    int used = 0;
    for (const IMAGEREC &r : g_astImageRecords)
        used += (r.state & IMAGE_STATE_INUSE) ? 1 : 0;
    EXPECT_EQ(used, 1 + 96); // debug font + areas
    EXPECT_EQ(g_iFreeTextureBlocks, 0);
    // A height-256 area wants a whole free column: none is left.
    EXPECT_EQ(Gfx_AllocImageArea(64, 256, 1), nullptr);
}

TEST_F(TexPagesTest, FreeGivesTheBlocksBackAndTheRecordReturnsToThePool)
{
    const std::vector<uint32_t> before = Masks();
    IMAGEREC *a = Gfx_AllocImageArea(128, 64, 1);
    ASSERT_NE(a, nullptr);
    a->clut = Gfx_AllocClut(nullptr, 1);
    ASSERT_NE(a->clut, 0);
    Gfx_FreeImageArea(a);
    EXPECT_EQ(Masks(), before);
    EXPECT_EQ(g_iFreeTextureBlocks, 192);
    EXPECT_EQ(a->state & 0xC000, 0);
    EXPECT_EQ(a->blocks, 0u);
    EXPECT_EQ(g_iFreeClut16Count, 1);
    // A second free changes nothing.
    Gfx_FreeImageArea(a);
    EXPECT_EQ(Masks(), before);
    EXPECT_EQ(g_iFreeClut16Count, 1);
    // The same record and place come back.
    EXPECT_EQ(Gfx_AllocImageArea(128, 64, 1), a);
    EXPECT_EQ(a->x, 0);
    EXPECT_EQ(a->v, 0);
}

TEST_F(TexPagesTest, FullPoolAndFullPagesGiveNull)
{
    // 126 pool records are left after the debug font; blocks are plenty.
    for (int i = 0; i < IMAGE_POOL_SIZE - 1; i++)
        ASSERT_NE(Gfx_AllocImageArea(64, 32, 1), nullptr) << i;
    const std::vector<uint32_t> before = Masks();
    EXPECT_EQ(Gfx_AllocImageArea(64, 32, 1), nullptr);
    EXPECT_EQ(Masks(), before);
    EXPECT_EQ(g_iFreeTextureBlocks, 192 - 126);

    Gfx_InitTexturePages();
    // Pages fill up: 5 whole pages of 256 x 256 and nothing more at that size.
    for (int i = 0; i < 5; i++)
        ASSERT_NE(Gfx_AllocImageArea(256, 256, 1), nullptr);
    EXPECT_EQ(Gfx_AllocImageArea(256, 256, 1), nullptr);
    EXPECT_NE(Gfx_AllocImageArea(256, 128, 1), nullptr); // the free half of page 11
}

TEST_F(TexPagesTest, OutOfRangeSizes)
{
    const std::vector<uint32_t> before = Masks();
    // Wider than a page: the empty pattern fits the first page with any free block, taking none.
    IMAGEREC *wide = Gfx_AllocImageArea(300, 32, 1);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->page & 31, 11);
    EXPECT_EQ(wide->x, 0);
    EXPECT_EQ(wide->v, 0);
    EXPECT_EQ(wide->blocks, 0u);
    EXPECT_EQ(Masks(), before);
    // Taller than a page: refused.
    EXPECT_EQ(Gfx_AllocImageArea(64, 257, 1), nullptr);
    EXPECT_EQ(Masks(), before);
    Gfx_FreeImageArea(nullptr);
}

// --- CLUTs ---

TEST_F(TexPagesTest, ClutCursorsFillFromBothEnds)
{
    EXPECT_EQ(Gfx_AllocClut(nullptr, 1), (385 << 6) | 48);
    for (int i = 1; i < 16; i++)
        EXPECT_EQ(Gfx_AllocClut(nullptr, 1), Sys_ClutId(768 + 16 * i, 385));
    EXPECT_EQ(Gfx_AllocClut(nullptr, 1), (386 << 6) | 48); // the seventeenth
    EXPECT_EQ(Gfx_AllocClut(nullptr, 2), (502 << 6) | 48);
    EXPECT_EQ(g_ausClutRowUse[0], 0xFFFF);
    EXPECT_EQ(g_ausClutRowUse[1], 0x0001);
    EXPECT_EQ(g_ausClutRowUse[502 - 385], 0xFFFF);
    EXPECT_EQ(Gfx_AllocClut(nullptr, 3), 0);
    EXPECT_EQ(Gfx_AllocClut(nullptr, 0), 0);
}

TEST_F(TexPagesTest, FreedClutIsReusedWithoutMovingTheCursor)
{
    uint16_t w[3];
    for (uint16_t &word : w)
        word = Gfx_AllocClut(nullptr, 1);
    Gfx_FreeClut(w[1], 1);
    EXPECT_EQ(g_iFreeClut16Count, 1);
    EXPECT_EQ(Gfx_AllocClut(nullptr, 1), w[1]);
    EXPECT_EQ(g_iFreeClut16Count, 0);
    EXPECT_EQ(g_asClut16Cursor[0], 768 + 48);
    EXPECT_EQ(Gfx_AllocClut(nullptr, 1), Sys_ClutId(768 + 48, 385));

    // A 256-colour one freed comes back too.
    const uint16_t video = g_ausVideoCluts[0][3]; // row 503
    Gfx_FreeClut(video, 2);
    EXPECT_EQ(Gfx_AllocClut(nullptr, 2), video);
    EXPECT_EQ(g_asClut256Cursor[1], 502);
}

TEST_F(TexPagesTest, DoubleFreeOfAClutGivesNoDuplicate)
{
    const uint16_t a = Gfx_AllocClut(nullptr, 1);
    const uint16_t b = Gfx_AllocClut(nullptr, 1);
    Gfx_FreeClut(a, 1);
    Gfx_FreeClut(a, 1);
    Gfx_FreeClut(Sys_ClutId(768 + 32, 385), 1); // never handed out
    Gfx_FreeClut(Sys_ClutId(768, 300), 1);      // outside the area
    EXPECT_EQ(g_iFreeClut16Count, 1);
    std::set<uint16_t> words = {b};
    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(words.insert(Gfx_AllocClut(nullptr, 1)).second);
    Gfx_FreeClut(Sys_ClutId(768, 450), 2); // a row that holds no 256-colour CLUT
    EXPECT_EQ(g_iFreeClut256Count, 0);
}

TEST_F(TexPagesTest, ClutAreaFullWhenTheCursorsMeet)
{
    // Rows 502 down to 386 take 256-colour CLUTs; then the cursors meet at 385.
    for (int row = 502; row >= 386; row--)
        ASSERT_EQ(Gfx_AllocClut(nullptr, 2), Sys_ClutId(768, row));
    EXPECT_EQ(Gfx_AllocClut(nullptr, 2), 0);
    EXPECT_EQ(Gfx_AllocClut(nullptr, 1), 0);
    // Full even with a freed one waiting; the freed one is not used up.
    Gfx_FreeClut(Sys_ClutId(768, 400), 2);
    EXPECT_EQ(Gfx_AllocClut(nullptr, 2), 0);
    EXPECT_EQ(g_iFreeClut256Count, 1);
}

// --- console images ---

TEST_F(TexPagesTest, FourBitImageIsPlaced)
{
    std::vector<uint8_t> tim = MakeTim(0, 8, 20); // 32 x 20 texels
    const size_t pixelBlock = 8 + 12 + 32;
    IMAGEREC *r = Gfx_LoadImageData(tim.data(), tim.size(), IMAGE_LOAD_SEMITRANS | 64, nullptr);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->kind, 1); // a fresh area's kind is 1 either way
    EXPECT_EQ(r->width, 64);
    EXPECT_EQ(r->height, 32);
    EXPECT_EQ(r->clut, (385 << 6) | 48);
    // Page 11 at (704, 0): the block now names that place.
    EXPECT_EQ(Get16(tim, pixelBlock + 4), 704);
    EXPECT_EQ(Get16(tim, pixelBlock + 6), 0);
    EXPECT_EQ(r->page, Sys_TexturePageId(0, 0, 704, 0));
    EXPECT_EQ(r->u, 0);
    // Semi-transparency on every colour but black.
    EXPECT_EQ(Get16(tim, 20), 0);
    EXPECT_EQ(Get16(tim, 22), 0x8001);
    EXPECT_EQ(Get16(tim, 20 + 30), 0x800F);

    // The second lands one column on.
    std::vector<uint8_t> again = MakeTim(0, 8, 20);
    IMAGEREC *r2 = Gfx_LoadImageData(again.data(), again.size(), 0, nullptr);
    ASSERT_NE(r2, nullptr);
    EXPECT_EQ(Get16(again, pixelBlock + 4), 704 + 16);
    EXPECT_EQ(r2->u, 64);
    EXPECT_EQ(Get16(again, 22), 1); // unmarked without flag 8
}

TEST_F(TexPagesTest, EightAndSixteenBitImages)
{
    std::vector<uint8_t> tim = MakeTim(1, 40, 10);
    IMAGEREC *r = Gfx_LoadImageData(tim.data(), tim.size(), IMAGE_LOAD_KEEPPALETTE, nullptr);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->width, 128); // 160 rounds to 256, halved
    EXPECT_EQ(r->kind, 2);
    EXPECT_EQ(r->clut, (502 << 6) | 48);
    ASSERT_NE(r->palette, nullptr);
    EXPECT_EQ(r->palette[255], 255);
    EXPECT_EQ(r->page, Sys_TexturePageId(1, 0, 704, 0));
    Gfx_FreeImageArea(r);
    EXPECT_EQ(r->palette, nullptr);
    EXPECT_EQ(g_iFreeClut256Count, 1);

    std::vector<uint8_t> direct = MakeTim(2, 20, 40);
    IMAGEREC *d = Gfx_LoadImageData(direct.data(), direct.size(), 0, nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->width, 32); // 80 rounds to 128, a quarter
    EXPECT_EQ(d->height, 64);
    EXPECT_EQ(d->clut, 0);
    EXPECT_EQ(d->page, Sys_TexturePageId(2, 0, 704, 0));
    EXPECT_EQ(Get16(direct, 8 + 4), 704);
}

TEST_F(TexPagesTest, RefillingAGivenRecordKeepsItsPlaceAndClut)
{
    std::vector<uint8_t> tim = MakeTim(0, 8, 20);
    IMAGEREC *r = Gfx_LoadImageData(tim.data(), tim.size(), 0, nullptr);
    ASSERT_NE(r, nullptr);
    const uint16_t clut = r->clut;
    r->kind = 9;
    std::vector<uint8_t> next = MakeTim(0, 8, 20);
    EXPECT_EQ(Gfx_LoadImageData(next.data(), next.size(), IMAGE_LOAD_KEEPKIND, r), r);
    EXPECT_EQ(r->clut, clut);
    EXPECT_EQ(r->kind, 9);
    EXPECT_EQ(g_asClut16Cursor[0], 768 + 16); // no new CLUT
}

TEST_F(TexPagesTest, BrokenImagesAreRefusedAndTakeNothing)
{
    struct Case
    {
        const char *name;
        std::vector<uint8_t> data;
    };
    std::vector<Case> cases;
    auto withU32 = [](std::vector<uint8_t> b, size_t at, uint32_t v) {
        Put32(b, at, v);
        return b;
    };
    auto withU16 = [](std::vector<uint8_t> b, size_t at, uint16_t v) {
        Put16(b, at, v);
        return b;
    };
    const std::vector<uint8_t> good4 = MakeTim(0, 8, 20), good16 = MakeTim(2, 8, 20);
    cases.push_back({"empty", {}});
    cases.push_back({"header only", std::vector<uint8_t>(good4.begin(), good4.begin() + 8)});
    cases.push_back({"bad magic", withU32(good4, 0, 0x11)});
    cases.push_back({"depth 3", withU32(good4, 4, 3)});
    cases.push_back({"CLUT block past the end", withU32(good4, 8, 100000)});
    cases.push_back({"CLUT block too short", withU32(good4, 8, 20)});
    cases.push_back({"pixels cut short", std::vector<uint8_t>(good4.begin(), good4.end() - 2)});
    cases.push_back({"zero width", withU16(good4, 52 + 8, 0)});
    cases.push_back({"negative height", withU16(good4, 52 + 10, 0xFFFF)});
    cases.push_back({"wider than a page", withU16(good16, 8 + 8, 65)});
    cases.push_back({"taller than a page", withU16(good16, 8 + 10, 257)});
    cases.push_back({"16-bit pixels cut short", std::vector<uint8_t>(good16.begin(), good16.end() - 1)});
    const std::vector<uint32_t> masks = Masks();
    for (Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Gfx_LoadImageData(c.data.data(), c.data.size(), 8, nullptr), nullptr);
        EXPECT_EQ(Masks(), masks);
        EXPECT_EQ(g_asClut16Cursor[0], 768);
        EXPECT_EQ(g_asClut256Cursor[1], 502);
    }
}

TEST_F(TexPagesTest, ImageWithoutRoomGivesItsClutBack)
{
    for (int i = 0; i < 5; i++)
        ASSERT_NE(Gfx_AllocImageArea(256, 256, 1), nullptr);
    for (int i = 0; i < 2; i++)
        ASSERT_NE(Gfx_AllocImageArea(256, 128, 1), nullptr);
    std::vector<uint8_t> tim = MakeTim(0, 8, 20);
    EXPECT_EQ(Gfx_LoadImageData(tim.data(), tim.size(), 0, nullptr), nullptr);
    EXPECT_EQ(g_ausClutRowUse[0], 0);
    EXPECT_EQ(g_iFreeClut16Count, 1);
}

TEST_F(TexPagesTest, UserImageArea)
{
    std::vector<uint8_t> pixels(128 * 64, 7), palette(768, 0xFF);
    IMAGEREC *r = Gfx_CreateUserImageArea(pixels.data(), palette.data());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->kind, 2);
    EXPECT_EQ(r->width, 128);
    EXPECT_EQ(r->height, 64);
    EXPECT_EQ(r->x, 0);
    EXPECT_EQ(r->v, 0);
    EXPECT_EQ(r->u, 0);
    EXPECT_EQ(r->blocks, 0x33u);
    EXPECT_EQ(Gfx_CreateUserImageArea(nullptr, palette.data()), nullptr);
}

// --- files ---

class TexFilesTest : public TexPagesTest
{
protected:
    void SetUp() override
    {
        std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/", dir_.Path().c_str());
        Sys_DiscInit();
        TexPagesTest::SetUp();
    }
    void TearDown() override
    {
        TexPagesTest::TearDown();
        g_szDataDir[0] = 0;
    }
    void Write(const std::string &name, const std::vector<uint8_t> &bytes)
    {
        WriteTextFile(dir_.File(name), std::string(bytes.begin(), bytes.end()));
    }
    void WriteSet(const std::vector<uint8_t> &tx, size_t vrmBytes)
    {
        Write("win.tx", tx);
        Write("win.vrm", std::vector<uint8_t>(vrmBytes));
    }
    TempDir dir_;
};

TEST_F(TexFilesTest, TxFileIsParsedIntoTheTable)
{
    const std::vector<uint8_t> tx = SmallTx();
    ASSERT_EQ(Gfx_ParseTxFile(tx.data(), tx.size()), 0);
    EXPECT_EQ(g_iTxPageCount, 2);
    EXPECT_EQ(g_aiTxPages[0], 13);
    EXPECT_EQ(g_aiTxPages[1], 14);
    EXPECT_EQ(g_iTxClutRows, 3);
    EXPECT_EQ(g_iImageCount, 4);
    IMAGEREC *r = Gfx_GetImage(1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r, g_pImageTable + 1);
    EXPECT_EQ(r->x, 64);
    EXPECT_EQ(r->v, 32);
    EXPECT_EQ(r->u, 16);
    EXPECT_EQ(r->width, 16);
    EXPECT_EQ(r->page, 13 | 0x20);
    EXPECT_EQ(r->clut, (256 << 6) | 48);
    const IMAGEREC *last = Gfx_GetImage(3);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->state, 0x8000);
    EXPECT_EQ(last->related, 3);
    EXPECT_EQ(last->blocks, 0x10u);
    EXPECT_EQ(last->texture, nullptr);
    EXPECT_EQ(last->palette, nullptr);
    EXPECT_EQ(Gfx_GetImage(4), nullptr);
    EXPECT_EQ(Gfx_GetImage(-1), nullptr);

    // A trailing part of a record is no record.
    std::vector<uint8_t> tail = tx;
    tail.resize(tail.size() + 27);
    ASSERT_EQ(Gfx_ParseTxFile(tail.data(), tail.size()), 0);
    EXPECT_EQ(g_iImageCount, 4);
}

TEST_F(TexFilesTest, BrokenTxFilesAreRefusedWhole)
{
    const std::vector<uint8_t> good = SmallTx();
    ASSERT_EQ(Gfx_ParseTxFile(good.data(), good.size()), 0);
    struct Case
    {
        const char *name;
        std::vector<uint8_t> data;
    };
    std::vector<uint8_t> bigPages = good, page32 = good, rows129 = good;
    Put32(bigPages, 0, 1000);
    Put32(page32, 8, 32);
    Put32(rows129, 12, 129);
    const std::vector<Case> cases = {
        {"empty", {}},
        {"seven bytes", std::vector<uint8_t>(good.begin(), good.begin() + 7)},
        {"page list past the end", bigPages},
        {"page 32", page32},
        {"129 CLUT rows", rows129},
        {"33 pages", MakeTx(std::vector<uint32_t>(33, 13), 0, {})},
        {"larger than the buffer", MakeTx({}, 0, std::vector<TXREC>(4681))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Gfx_ParseTxFile(c.data.data(), c.data.size()), -1);
        EXPECT_EQ(g_iImageCount, 4);
        EXPECT_EQ(g_iTxPageCount, 2);
        EXPECT_EQ(g_iTxClutRows, 3);
    }
    // The largest file the buffer takes is fine; no records is fine.
    const std::vector<uint8_t> largest = MakeTx({}, 0, std::vector<TXREC>(4680));
    ASSERT_LE(largest.size(), static_cast<size_t>(TX_FILE_MAX));
    EXPECT_EQ(Gfx_ParseTxFile(largest.data(), largest.size()), 0);
    EXPECT_EQ(g_iImageCount, 4680);
    const std::vector<uint8_t> none = MakeTx({}, 0, {});
    EXPECT_EQ(Gfx_ParseTxFile(none.data(), none.size()), 0);
    EXPECT_EQ(g_iImageCount, 0);
}

TEST_F(TexFilesTest, LoadingASetMarksItsPagesAndResetsTheCards)
{
    WriteSet(SmallTx(), 2 * VRM_PAGE_BYTES + 3 * VRM_CLUT_ROW_BYTES);
    g_aiCardSeenChange[0] = 5;
    g_aiCardSeenChange[1] = 7;
    ASSERT_EQ(Gfx_LoadScreenGraphics(0), 0);
    EXPECT_EQ(g_aTexPages[13].state, TEXPAGE_LOADED);
    EXPECT_EQ(g_aTexPages[14].state, TEXPAGE_LOADED);
    EXPECT_EQ(g_aTexPages[15].state, TEXPAGE_FREE);
    EXPECT_EQ(g_iImageCount, 4);
    EXPECT_EQ(g_aiCardSeenChange[0], 4);
    EXPECT_EQ(g_aiCardSeenChange[1], 6);

    // Twice is as once (but for the cards' second nudge).
    std::vector<uint16_t> states;
    for (const TEXPAGE &p : g_aTexPages)
        states.push_back(p.state);
    ASSERT_EQ(Gfx_LoadScreenGraphics(0), 0);
    for (int i = 0; i < 32; i++)
        EXPECT_EQ(g_aTexPages[i].state, states[i]) << i;
    EXPECT_EQ(g_iImageCount, 4);
    EXPECT_EQ(Gfx_GetImage(1)->x, 64);

    // A set whose pages differ releases the old ones.
    WriteSet(MakeTx({15}, 0, {{}}), VRM_PAGE_BYTES);
    ASSERT_EQ(Gfx_LoadScreenGraphics(0), 0);
    EXPECT_EQ(g_aTexPages[13].state, TEXPAGE_FREE);
    EXPECT_EQ(g_aTexPages[15].state, TEXPAGE_LOADED);
    EXPECT_EQ(g_iImageCount, 1);
}

TEST_F(TexFilesTest, MissingOrBrokenFiles)
{
    WriteSet(SmallTx(), 2 * VRM_PAGE_BYTES + 3 * VRM_CLUT_ROW_BYTES);
    ASSERT_EQ(Gfx_LoadScreenGraphics(0), 0);
    g_aiCardSeenChange[0] = 5;

    // Set 1 has no files: nothing changes.
    EXPECT_EQ(Gfx_LoadScreenGraphics(1), -1);
    EXPECT_EQ(g_iImageCount, 4);
    EXPECT_EQ(g_aTexPages[13].state, TEXPAGE_LOADED);
    EXPECT_EQ(Gfx_LoadScreenGraphics(2), -1);
    EXPECT_EQ(Gfx_LoadScreenGraphics(-1), -1);

    // A broken TX file on disc leaves the loaded set.
    Write("win.tx", {1, 0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(Gfx_LoadScreenGraphics(0), -1);
    EXPECT_EQ(g_iImageCount, 4);
    EXPECT_EQ(g_aTexPages[13].state, TEXPAGE_LOADED);

    // No VRM file: the new table is in, no page is loaded, the rest of the load does not run.
    Write("win.tx", MakeTx({15}, 0, {{}, {}}));
    std::remove(dir_.File("win.vrm").c_str());
    EXPECT_EQ(Gfx_LoadScreenGraphics(0), -1);
    EXPECT_EQ(g_iImageCount, 2);
    for (int i = 0; i < 32; i++)
        EXPECT_NE(g_aTexPages[i].state, TEXPAGE_LOADED) << i;
    EXPECT_EQ(g_aiCardSeenChange[0], 5);

    // A VRM file shorter than its pages: the pages read are loaded, the load is reported failed.
    Write("win.tx", MakeTx({13, 14}, 0, {{}}));
    Write("win.vrm", std::vector<uint8_t>(VRM_PAGE_BYTES + 10));
    EXPECT_EQ(Gfx_LoadScreenGraphics(0), -1);
    EXPECT_EQ(g_aTexPages[13].state, TEXPAGE_LOADED);
    EXPECT_EQ(g_aTexPages[14].state, TEXPAGE_FREE);
    EXPECT_EQ(g_aiCardSeenChange[0], 5);
}

TEST_F(TexFilesTest, StartUpInstallsTheWinTxAlreadyLoaded)
{
    Write("win.tx", SmallTx());
    ASSERT_EQ(Sys_LoadWinTexture(), 0);
    Gfx_InitTexturePages();
    EXPECT_EQ(g_iImageCount, 4);
    EXPECT_EQ(g_aTexPages[13].state, TEXPAGE_LOADED);
    EXPECT_EQ(g_aTexPages[14].state, TEXPAGE_LOADED);
    // The pages' blocks stay as set-up left them: page 13 still takes areas.
    EXPECT_EQ(g_aTexPages[13].freeMask, 0xFFFFFFFFu);
}

TEST_F(TexFilesTest, PaletteFromATimFile)
{
    std::vector<uint8_t> tim4 = MakeTim(0, 4, 4), tim8 = MakeTim(1, 4, 4), tim16 = MakeTim(2, 4, 4);
    Put16(tim4, 20 + 2 * 3, static_cast<uint16_t>(1 | (2 << 5) | (31 << 10)));
    Write("pal4.tim", tim4);
    Write("pal8.tim", tim8);
    Write("pal16.tim", tim16);
    Write("short.tim", std::vector<uint8_t>(tim8.begin(), tim8.begin() + 40));
    struct Case
    {
        const char *file;
        int maxEntries;
        bool ok;
    };
    for (const Case &c : {Case{"pal4.tim", 48, true}, Case{"pal8.tim", 48, true}, Case{"pal8.tim", 300, true},
                          Case{"pal16.tim", 4, false}, Case{"short.tim", 48, false}, Case{"missing.tim", 4, false}}) {
        SCOPED_TRACE(testing::Message() << c.file << " " << c.maxEntries);
        uint8_t *pal = Gfx_ReadTexturePalette(c.file, c.maxEntries);
        EXPECT_EQ(pal != nullptr, c.ok);
        std::free(pal);
    }
    uint8_t *pal = Gfx_ReadTexturePalette("pal4.tim", 48); // 16 entries at most
    ASSERT_NE(pal, nullptr);
    EXPECT_EQ(pal[4 * 3], 8);
    EXPECT_EQ(pal[4 * 3 + 1], 16);
    EXPECT_EQ(pal[4 * 3 + 2], 248);
    std::free(pal);
    pal = Gfx_ReadTexturePalette("pal8.tim", 256);
    ASSERT_NE(pal, nullptr);
    EXPECT_EQ(pal[4 * 255], (255 & 31) * 8);
    EXPECT_EQ(pal[4 * 255 + 1], ((255 >> 5) & 31) * 8);
    std::free(pal);
}

} // namespace
