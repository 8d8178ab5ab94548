#include "render_fixture.h"

#include "render/framecycle.h"

#include <functional>

using namespace rendertest;

namespace {

class Walker : public RenderTest
{
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
        Gfx_ResetDrawState();
        g_calls.clear();
    }

    // List 0 walked as the frame end does: from its last entry.
    static void WalkList0()
    {
        Gfx_DrawOrderingTable(Entry(0, List(0).count - 1));
    }
};

struct DispatchCase
{
    const char *name;
    uint32_t bytes;
    std::function<void(RawPacket &)> fill;
    std::vector<std::string> calls;
    uint32_t page; // page word afterwards
};

} // namespace

// One packet of each kind, its fields at their byte offsets, and what the walker makes of it.
TEST_F(Walker, DispatchTable)
{
    const DispatchCase cases[] = {
        {"flat triangle", 20, [](RawPacket &p) { p.rgbc(1, 2, 3, 0x20); }, {}, 0},
        {"textured triangle sets the page", 32, [](RawPacket &p) { p.rgbc(1, 2, 3, 0x24).u16(26, 0x1234); }, {}, 0x1234},
        {"flat quad", 28,
         [](RawPacket &p) { p.rgbc(10, 20, 30, 0x28).u16(12, 5).u16(14, 6).u16(16, 45).u16(22, 26); },
         {"rect 5 6 40 20 10 20 30"}, 0},
        {"semi-transparent flat quad draws nothing", 28,
         [](RawPacket &p) { p.rgbc(10, 20, 30, 0x2A).u16(12, 5).u16(14, 6).u16(16, 45).u16(22, 26); }, {}, 0},
        {"raw-texture bit is not semi-transparency", 28,
         [](RawPacket &p) { p.rgbc(10, 20, 30, 0x29).u16(12, 5).u16(14, 6).u16(16, 45).u16(22, 26); },
         {"rect 5 6 40 20 10 20 30"}, 0},
        {"textured quad", 44,
         [](RawPacket &p) {
             p.rgbc(0, 0, 0, 0x2C).u16(12, 7).u16(14, 8).u8(16, 9).u8(17, 10).u16(26, 0x0087).u16(36, 57).u16(38, 68);
         },
         {"tquad 7 8 9 10 57 68"}, 0x87},
        {"gouraud textured triangle sets the page", 40, [](RawPacket &p) { p.rgbc(0, 0, 0, 0x34).u16(30, 0x55); }, {}, 0x55},
        {"gouraud quad in the mean colour", 40,
         [](RawPacket &p) {
             p.rgbc(100, 0, 255, 0x38).u16(12, 1).u16(14, 2).u8(16, 51).u8(17, 255).u8(18, 0).u16(20, 11).u16(30, 22);
         },
         {"rect 1 2 10 20 75 127 127"}, 0},
        {"semi-transparent gouraud quad draws nothing", 40,
         [](RawPacket &p) { p.rgbc(1, 1, 1, 0x3A).u16(20, 11).u16(30, 22); }, {}, 0},
        {"gouraud textured quad sets the page", 52, [](RawPacket &p) { p.rgbc(0, 0, 0, 0x3C).u16(30, 0x66); }, {}, 0x66},
        {"line", 20,
         [](RawPacket &p) { p.rgbc(9, 8, 7, 0x40).u16(12, 10).u16(14, 11).u16(16, 12).u16(18, 13); },
         {"line 10 11 12 13 9 8 7"}, 0},
        {"polyline is three lines", 32,
         [](RawPacket &p) {
             p.rgbc(1, 2, 3, 0x4C).u16(12, 0).u16(14, 1).u16(16, 2).u16(18, 3).u16(20, 4).u16(22, 5).u16(24, 6).u16(26, 7);
             p.u32(28, 0x55555555);
         },
         {"line 0 1 2 3 1 2 3", "line 2 3 4 5 1 2 3", "line 4 5 6 7 1 2 3"}, 0},
        {"gouraud line in colour 0", 24,
         [](RawPacket &p) { p.rgbc(4, 5, 6, 0x50).u16(12, 1).u16(14, 2).u8(16, 99).u16(20, 3).u16(22, 4); },
         {"line 1 2 3 4 4 5 6"}, 0},
        {"tile", 20,
         [](RawPacket &p) { p.rgbc(255, 128, 0, 0x60).u16(12, 0xFFFE).u16(14, 3).u16(16, 4).u16(18, 5); },
         {"tile -2 3 4 5 255 128 0"}, 0},
        {"semi-transparent tile still drawn", 20,
         [](RawPacket &p) { p.rgbc(1, 1, 1, 0x62).u16(16, 4).u16(18, 5); }, {"tile 0 0 4 5 1 1 1"}, 0},
        {"sprite", 24,
         [](RawPacket &p) { p.rgbc(128, 128, 128, 0x64).u16(12, 20).u16(14, 30).u8(16, 40).u8(17, 50).u16(20, 16).u16(22, 8); },
         {"sprite 20 30 40 50 16 8"}, 0},
        {"screen tile marker", 24,
         [](RawPacket &p) { p.rgbc(3, 4, 5, 0x64).u16(12, 0xFFF6).u16(14, 24).u16(18, 0x4321); },
         {"screentile -10 24 3 4 5"}, 0},
        {"glyph", 24,
         [](RawPacket &p) { p.rgbc(128, 64, 0, 0xA4).u16(12, 1).u16(14, 2).u8(16, 3).u8(17, 4).u16(20, 5).u16(22, 6); },
         {"glyph 1 2 3 4 5 6 128 64 0"}, 0},
        {"image blit", 28,
         [](RawPacket &p) { p.u32(8, 0xA0000000).u32(12, 100).u32(16, 200).u32(20, 30).u32(24, 40); },
         {"blit 100 200 30 40"}, 0},
        {"image blit clipped to the layer", 28,
         [](RawPacket &p) { p.u32(8, 0xA0000000).u32(12, 0xFFFFFFF6).u32(16, 470).u32(20, 700).u32(24, 40); },
         {"blit 0 470 640 10"}, 0},
        {"image blit wholly off the layer", 28,
         [](RawPacket &p) { p.u32(8, 0xA0000000).u32(12, 640).u32(16, 0).u32(20, 30).u32(24, 40); }, {}, 0},
        {"draw mode length 3 sets the page word", 12,
         [](RawPacket &p) { p.u32(4, 3).u32(8, 0xE1FF0042); }, {}, 0xFF0042},
        {"draw mode length 6 draws its sprite", 28,
         [](RawPacket &p) {
             p.u32(4, 6).u32(8, 0xE1000405).u8(15, 0x64);
             p.u16(16, 11).u16(18, 12).u8(20, 13).u8(21, 14).u16(24, 15).u16(26, 16);
         },
         {"sprite 11 12 13 14 15 16"}, 0x000405},
        {"draw mode of another length does nothing", 28,
         [](RawPacket &p) { p.u32(4, 4).u32(8, 0xE1000405).u16(16, 11); }, {}, 0},
        {"no-op", 12, [](RawPacket &p) { p.u8(11, 0xF8); }, {}, 0},
        {"unknown code", 20, [](RawPacket &p) { p.rgbc(1, 2, 3, 0x70).u16(16, 4); }, {}, 0},
    };
    for (const DispatchCase &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
        Gfx_ResetDrawState();
        g_calls.clear();
        RawPacket p = Add(Entry(0, 1), c.bytes);
        c.fill(p);
        WalkList0();
        EXPECT_EQ(g_calls, c.calls);
        EXPECT_EQ(g_uTexturePage, c.page);
    }
}

TEST_F(Walker, StateChangingPackets)
{
    struct Case
    {
        const char *name;
        uint32_t word2, word3;
        int32_t offX, offY, left, top, right, bottom, winX, winY, winW, winH, winOn;
    };
    // Defaults of the draw state: offset 0,0; area 0,0,640,480; window 0,0,256,256 off.
    const Case cases[] = {
        {"draw offset", 0xD4000000, (12u << 16) | 34, 12, 34, 0, 0, 640, 480, 0, 0, 256, 256, 0},
        {"draw offset y folded once", 0xD4000000, (1u << 16) | 960, 1, 480, 0, 0, 640, 480, 0, 0, 256, 256, 0},
        {"draw offset y 480 becomes 0", 0xD4000000, 480, 0, 0, 0, 0, 640, 480, 0, 0, 256, 256, 0},
        {"draw area", 0xE8000000 | (10u << 12) | 20, (100u << 16) | 50, 0, 0, 10, 20, 110, 70, 0, 0, 256, 256, 0},
        {"draw area y folded", 0xE8000000 | (0u << 12) | 500, (640u << 16) | 20, 0, 0, 0, 20, 640, 40, 0, 0, 256, 256, 0},
        {"draw area held to the layer", 0xE8000000 | (4095u << 12) | 4095, 0xFFFFFFFF, 0, 0, 640, 480, 640, 480, 0, 0,
         256, 256, 0},
        {"empty draw area", 0xE8000000, 0, 0, 0, 0, 0, 0, 0, 0, 0, 256, 256, 0},
        {"texture window on", 0xE4000000 | (32u << 12) | 0x7FF, (16u << 16) | 16, 0, 0, 0, 0, 640, 480, 32, 0x3FF, 16,
         16, 1},
        {"texture window width 255 is off", 0xE4000000 | (8u << 12) | 9, (255u << 16) | 7, 0, 0, 0, 0, 640, 480, 8, 9,
         256, 256, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
        Gfx_ResetDrawState();
        RawPacket p = Add(Entry(0, 0), 16);
        p.u32(8, c.word2).u32(12, c.word3);
        WalkList0();
        EXPECT_EQ(g_iDrawOffsetX, c.offX);
        EXPECT_EQ(g_iDrawOffsetY, c.offY);
        EXPECT_EQ(g_iDrawAreaLeft, c.left);
        EXPECT_EQ(g_iDrawAreaTop, c.top);
        EXPECT_EQ(g_iDrawAreaRight, c.right);
        EXPECT_EQ(g_iDrawAreaBottom, c.bottom);
        EXPECT_EQ(g_iTexWindowX, c.winX);
        EXPECT_EQ(g_iTexWindowY, c.winY);
        EXPECT_EQ(g_iTexWindowW, c.winW);
        EXPECT_EQ(g_iTexWindowH, c.winH);
        EXPECT_EQ(g_bTexWindow, c.winOn);
    }
}

TEST_F(Walker, ImageBlitOnlyWhileTheLayerIsFlushed)
{
    g_bGpuLayerFlush = 0;
    Add(Entry(0, 0), 28).u32(8, 0xA0000000).u32(20, 10).u32(24, 10);
    WalkList0();
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(Walker, ImageBlitAddsTheDrawOffset)
{
    Add(Entry(0, 0), 28).u32(8, 0xA0000000).u32(12, 5).u32(16, 6).u32(20, 10).u32(24, 10);
    Add(Entry(0, 0), 16).u32(8, 0xD4000000).u32(12, (100u << 16) | 200); // linked last: drawn first
    WalkList0();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"blit 105 206 10 10"}));
}

// A higher entry is drawn first; within an entry the packet linked last is drawn first.
TEST_F(Walker, DrawOrderByEntryAndLinkOrder)
{
    auto tile = [](uint32_t entry, int16_t id) { Add(entry, 20).rgbc(0, 0, 0, 0x60).u16(12, id); };
    tile(Entry(0, 1), 10);
    tile(Entry(0, 3), 30);
    tile(Entry(0, 1), 11);
    tile(Entry(0, 2), 20);
    tile(Entry(0, 3), 31);
    WalkList0();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"tile 31 0 0 0 0 0 0", "tile 30 0 0 0 0 0 0", "tile 20 0 0 0 0 0 0",
                                                 "tile 11 0 0 0 0 0 0", "tile 10 0 0 0 0 0 0"}));
}

// A packet linked first into entry 0 holds the end marker as its link; it is still drawn, and so
// is everything after it in that entry.
TEST_F(Walker, EntryZeroPacketsAreDrawn)
{
    Add(Entry(0, 0), 20).rgbc(0, 0, 0, 0x60).u16(12, 1);
    Add(Entry(0, 0), 20).rgbc(0, 0, 0, 0x60).u16(12, 2);
    Add(Entry(0, 2), 20).rgbc(0, 0, 0, 0x60).u16(12, 3);
    WalkList0();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"tile 3 0 0 0 0 0 0", "tile 2 0 0 0 0 0 0", "tile 1 0 0 0 0 0 0"}));
}

TEST_F(Walker, ChainsEndAtTheEndMarkerOrAStoppingLink)
{
    struct Case
    {
        uint32_t link;
        size_t calls;
    };
    // The first tile links to the value; a second tile sits where a lower link would lead.
    const Case cases[] = {{CONSOLE_LINK_END, 1}, {CONSOLE_LINK_STOP, 1}, {0x1FFFFFFF, 1}, {0x80000000, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.link);
        ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
        g_calls.clear();
        RawPacket first = Add(Entry(0, 3), 20);
        first.rgbc(0, 0, 0, 0x60).u32(0, c.link);
        WalkList0();
        EXPECT_EQ(g_calls.size(), c.calls);
    }
    // A link below the stop is followed.
    ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
    g_calls.clear();
    RawPacket second = Add(Entry(0, 0), 20);
    second.rgbc(0, 0, 0, 0x60).u16(12, 2).u32(0, CONSOLE_LINK_END);
    RawPacket first = Add(Entry(0, 3), 20);
    first.rgbc(0, 0, 0, 0x60).u16(12, 1).u32(0, second.addr);
    Gfx_DrawOrderingTable(first.addr);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"tile 1 0 0 0 0 0 0", "tile 2 0 0 0 0 0 0"}));
}

// The walker never reads outside the arena: a link past it ends the walk, a packet cut by the
// arena's end is not drawn, and a looped chain ends.
TEST_F(Walker, PacketAreaBound)
{
    const uint32_t head = Entry(0, 0);
    for (uint32_t outside : {CONSOLE_ARENA_BYTES, CONSOLE_ARENA_BYTES - 8, CONSOLE_LINK_STOP - 4, 4u}) {
        SCOPED_TRACE(outside);
        Sys_ArenaWriteWord(head, outside);
        g_calls.clear();
        Gfx_DrawOrderingTable(head);
        EXPECT_TRUE(g_calls.empty());
    }

    // A tile whose last bytes would lie past the arena's end.
    const uint32_t cut = CONSOLE_ARENA_BYTES - 16;
    uint8_t *p = Sys_ArenaPtr(cut, 16);
    ASSERT_NE(p, nullptr);
    std::memset(p, 0, 16);
    RawPacket{cut, p}.u32(0, CONSOLE_LINK_END).rgbc(0, 0, 0, 0x60);
    Sys_ArenaWriteWord(head, cut);
    g_calls.clear();
    Gfx_DrawOrderingTable(head);
    EXPECT_TRUE(g_calls.empty());

    // Two tiles linked to each other.
    ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
    RawPacket a = Add(Entry(0, 1), 20);
    RawPacket b = Add(Entry(0, 1), 20);
    a.rgbc(0, 0, 0, 0x60).u32(0, b.addr);
    b.rgbc(0, 0, 0, 0x60).u32(0, a.addr);
    g_calls.clear();
    Gfx_DrawOrderingTable(a.addr);
    EXPECT_GT(g_calls.size(), 2u);
    EXPECT_LE(g_calls.size(), CONSOLE_ARENA_BYTES / 4);
}

// Forward-cleared tables are walked from entry 0 and end at their last entry.
TEST_F(Walker, ForwardClearedTable)
{
    const OTLIST l = List(0);
    EXPECT_EQ(Gfx_ClearOrderingTable(l.base, l.count), l.base + 4 * (l.count - 1));
    Add(Entry(0, 0), 20).rgbc(0, 0, 0, 0x60).u16(12, 0);
    Add(Entry(0, l.count - 1), 20).rgbc(0, 0, 0, 0x60).u16(12, 3);
    Gfx_DrawOrderingTable(l.base);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"tile 0 0 0 0 0 0 0", "tile 3 0 0 0 0 0 0"}));
}
