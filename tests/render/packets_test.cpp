#include "render_fixture.h"

#include "render/framecycle.h"

#include <functional>

using namespace rendertest;

namespace {

std::string Hex(const uint8_t *p, size_t n)
{
    std::string s;
    char b[3];
    for (size_t i = 0; i < n; i++) {
        if (i && i % 4 == 0)
            s += ' ';
        std::snprintf(b, sizeof(b), "%02x", p[i]);
        s += b;
    }
    return s;
}

struct FillerCase
{
    const char *name;
    std::function<void(uint8_t *)> fill;
    const char *bytes; // unwritten bytes keep the 0xcc the buffer started with
};

} // namespace

TEST(PacketFillers, GoldenBytes)
{
    const int16_t area[4] = {10, 20, 300, 200};
    const int16_t wideArea[4] = {-1, 5000, 640, 480};
    const int16_t windowOff[4] = {0, 0, 255, 255};
    const int16_t window[4] = {32, 16, 16, 8};
    const uint16_t offset[2] = {12, 34};
    const FillerCase cases[] = {
        {"draw mode", [](uint8_t *p) { Gfx_SetDrawModePacket(p, 0, 0, 0x1234); }, "cccccccc 03000000 341200e0"},
        {"draw mode keeps a 16-bit page", [](uint8_t *p) { Gfx_SetDrawModePacket(p, 1, 1, 0xABCDEF); },
         "cccccccc 03000000 efcd00e0"},
        {"draw area", [&](uint8_t *p) { Gfx_SetDrawAreaPacket(p, area); }, "cccccccc cccccccc 14a000e8 c8002c01"},
        {"draw area keeps 12 bits of x and y", [&](uint8_t *p) { Gfx_SetDrawAreaPacket(p, wideArea); },
         "cccccccc cccccccc 88f3ffe8 e0018002"},
        {"texture window off", [&](uint8_t *p) { Gfx_SetTextureWindowPacket(p, windowOff); },
         "cccccccc cccccccc 000000e4 ff00ff00"},
        {"texture window", [&](uint8_t *p) { Gfx_SetTextureWindowPacket(p, window); },
         "cccccccc cccccccc 100002e4 08001000"},
        {"draw offset", [&](uint8_t *p) { Gfx_SetDrawOffsetPacket(p, offset); }, "cccccccc cccccccc ccccccd4 22000c00"},
        {"image blit", [](uint8_t *p) { Gfx_SetImageBlitPacket(p, 1, 2, 640, 0x12345678); },
         "cccccccc cccccccc 000000a0 01000000 02000000 80020000 78563412"},
        {"no-op", [](uint8_t *p) { Gfx_SetNopPacket(p); }, "cccccccc cccccccc ccccccf8"},
    };
    for (const FillerCase &c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t buf[32];
        std::memset(buf, 0xCC, sizeof(buf));
        c.fill(buf);
        const size_t n = (std::strlen(c.bytes) + 1) / 9 * 4;
        EXPECT_EQ(Hex(buf, n), c.bytes);
        // Nothing past the packet.
        for (size_t i = n; i < sizeof(buf); i++)
            EXPECT_EQ(buf[i], 0xCC) << i;
    }
    uint8_t buf[16];
    EXPECT_EQ(Gfx_SetTextureWindowPacket(buf, window), buf);
}

class Packets : public RenderTest
{
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        ASSERT_NE(Gfx_ResetFrameBuffer(), 0u);
    }
};

// The builders that allocate: link word = the entry's old head, the entry now leads to the packet.
TEST_F(Packets, TextureWindowResetGolden)
{
    const uint32_t entry = Entry(0, 2);
    const uint32_t oldHead = Sys_ArenaReadWord(entry);
    const uint32_t at = g_pPacketCursor;
    std::memset(Sys_ArenaPtr(at, 16), 0xCC, 16);

    EXPECT_EQ(Gfx_AddTextureWindowReset(entry), at);
    EXPECT_EQ(Sys_ArenaReadWord(entry), at);
    EXPECT_EQ(g_pPacketCursor, at + 16);
    char link[9];
    const uint8_t *l = reinterpret_cast<const uint8_t *>(&oldHead);
    std::snprintf(link, sizeof(link), "%02x%02x%02x%02x", l[0], l[1], l[2], l[3]);
    EXPECT_EQ(Hex(Sys_ArenaPtr(at, 16), 16), std::string(link) + " cccccccc 000000e4 ff00ff00");
}

TEST_F(Packets, AllocatorRefusesPastTheEnd)
{
    // The small area: 16384 bytes, followed by memory that must stay untouched.
    Gfx_SetFrameMode(3);
    Gfx_ResetFrameBuffer();
    ASSERT_TRUE(Gfx_SmallFrameArea());
    const uint32_t end = g_pPacketEnd;
    ASSERT_EQ(end - g_pPacketCursor, FRAME_SMALL_AREA_BYTES);
    Sys_ArenaWriteWord(end, 0x5A5A5A5A);

    const uint32_t entry = Entry(1, 0);
    int added = 0;
    while (g_pPacketEnd - g_pPacketCursor >= 20) {
        ASSERT_NE(Gfx_AddPacket(entry, 20), nullptr);
        added++;
    }
    EXPECT_EQ(added, static_cast<int>(FRAME_SMALL_AREA_BYTES / 20));
    const uint32_t head = Sys_ArenaReadWord(entry), cursor = g_pPacketCursor;

    EXPECT_EQ(Gfx_AddPacket(entry, 20), nullptr);
    uint32_t addr = 0xDEAD;
    EXPECT_EQ(Gfx_AllocPacket(8, &addr), nullptr);
    EXPECT_EQ(g_uPacketsDropped, 2u);
    EXPECT_EQ(addr, 0xDEADu);
    EXPECT_EQ(Sys_ArenaReadWord(entry), head); // nothing linked
    EXPECT_EQ(g_pPacketCursor, cursor);
    EXPECT_EQ(Sys_ArenaReadWord(end), 0x5A5A5A5Au);

    // What still fits is handed out.
    EXPECT_NE(Gfx_AllocPacket(end - cursor), nullptr);
    EXPECT_EQ(g_pPacketCursor, end);
}

TEST_F(Packets, AllocatorRefusesBadEntriesAndNoFrame)
{
    const uint32_t cursor = g_pPacketCursor;
    for (uint32_t entry : {0u, 8u, CONSOLE_ARENA_BYTES - 2, CONSOLE_ARENA_BYTES, CONSOLE_LINK_END}) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(Gfx_AddPacket(entry, 20), nullptr);
        EXPECT_EQ(g_pPacketCursor, cursor);
    }
    EXPECT_EQ(g_uPacketsDropped, 5u);
    EXPECT_EQ(Gfx_AllocPacket(0), nullptr);

    // Before the frame cycle has set up an area, nothing is handed out.
    g_pPacketCursor = g_pPacketEnd = g_pPacketAreaStart = 0;
    EXPECT_EQ(Gfx_AllocPacket(4), nullptr);
}

TEST_F(Packets, TableClears)
{
    const OTLIST l = List(0); // 4 entries
    EXPECT_EQ(Gfx_ClearOrderingTableReverse(l.base, l.count), l.base);
    EXPECT_EQ(Sys_ArenaReadWord(l.base), CONSOLE_LINK_END);
    for (uint32_t i = 1; i < l.count; i++)
        EXPECT_EQ(Sys_ArenaReadWord(l.base + 4 * i), l.base + 4 * (i - 1));

    EXPECT_EQ(Gfx_ClearOrderingTable(l.base, l.count), l.base + 12);
    for (uint32_t i = 0; i + 1 < l.count; i++)
        EXPECT_EQ(Sys_ArenaReadWord(l.base + 4 * i), l.base + 4 * (i + 1));
    EXPECT_EQ(Sys_ArenaReadWord(l.base + 12), CONSOLE_LINK_END);

    // Refused, nothing written: no entries, outside the arena, running off its end, not on a word.
    EXPECT_EQ(Gfx_ClearOrderingTable(l.base, 0), 0u);
    EXPECT_EQ(Gfx_ClearOrderingTableReverse(0, 4), 0u);
    EXPECT_EQ(Gfx_ClearOrderingTableReverse(CONSOLE_ARENA_BYTES - 8, 4), 0u);
    EXPECT_EQ(Gfx_ClearOrderingTable(l.base, 0x40000000), 0u);
    EXPECT_EQ(Gfx_ClearOrderingTable(l.base + 2, 2), 0u);
    EXPECT_EQ(Sys_ArenaReadWord(l.base + 12), CONSOLE_LINK_END);
}

// The depth table (4097 entries from one before the record's pointer) is the primitive area in the
// small mode: clearing it then would wipe the interface's packets, so it is refused.
TEST_F(Packets, DepthTableClearNeverOverwritesSmallAreaPackets)
{
    Gfx_SetFrameMode(3);
    Gfx_ResetFrameBuffer();
    ASSERT_TRUE(Gfx_SmallFrameArea());
    const uint32_t depth0 = g_pFrameBuffer->smallArea - 4;
    RawPacket tile = Add(Entry(0, 1), 20);
    tile.rgbc(1, 2, 3, 0x60).u16(16, 5).u16(18, 6);
    std::vector<uint8_t> before(tile.p, tile.p + 20);

    EXPECT_EQ(Gfx_ClearOrderingTableReverse(depth0, 4097), 0u);
    EXPECT_EQ(Gfx_ClearOrderingTable(depth0, 4097), 0u);
    EXPECT_EQ(std::vector<uint8_t>(tile.p, tile.p + 20), before);
    Gfx_DrawOrderingTable(Entry(0, List(0).count - 1));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"tile 0 0 5 6 1 2 3"}));

    // In the large mode the same clear is the video engine's business and goes ahead.
    Gfx_SetFrameMode(0);
    Gfx_ResetFrameBuffer();
    ASSERT_FALSE(Gfx_SmallFrameArea());
    EXPECT_EQ(Gfx_ClearOrderingTableReverse(depth0, 4097), depth0);
    EXPECT_EQ(Sys_ArenaReadWord(depth0), CONSOLE_LINK_END);
    EXPECT_EQ(Sys_ArenaReadWord(depth0 + 4 * 4096), depth0 + 4 * 4095);
}

TEST_F(Packets, SoftGpuLayer)
{
    ASSERT_NE(g_pLayerFrame, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(g_pLayerFrame) % 32, 0u);
    for (int r = 0; r < LAYER_ROW_TABLE_SIZE; r++)
        ASSERT_EQ(g_apLayerRows[r], g_pLayerFrame + 640 * r) << r;
    for (int i = 0; i < LAYER_WIDTH * LAYER_HEIGHT; i++)
        ASSERT_EQ(g_pLayerFrame[i], 0) << i;
    // Rows past the frame are still the block's memory.
    g_apLayerRows[639][639] = 0xFFFF;
    ASSERT_NE(g_pTileBuffer, nullptr);
    for (uint32_t i = 0; i < SOFTGPU_TILE_BYTES; i++)
        ASSERT_EQ(g_pTileBuffer[i], 0xFF);
    EXPECT_EQ(g_iDrawAreaRight, LAYER_WIDTH);
    EXPECT_EQ(g_iDrawAreaBottom, LAYER_HEIGHT);
    EXPECT_EQ(g_bTexWindow, 0);

    // A second set-up replaces the first; shutdown leaves nothing behind.
    ASSERT_EQ(Gfx_InitSoftGpu(), 0);
    Gfx_ShutdownSoftGpu();
    EXPECT_EQ(g_pLayerFrame, nullptr);
    EXPECT_EQ(g_apLayerRows[0], nullptr);
    EXPECT_EQ(g_pTileBuffer, nullptr);
    Gfx_FlushLayer(); // nothing to copy, no fault
    Gfx_ShutdownSoftGpu();
}

// Without a texture table slot holding texels the CLUT source stays as it was.
TEST_F(Packets, DrawModeKeepsTheClutSourceWithoutATexelSlot)
{
    static const uint16_t texels[4] = {};
    g_pClutSource = texels;
    Add(Entry(0, 0), 12).u32(4, 3).u32(8, 0xE1000006);
    Gfx_DrawOrderingTable(Entry(0, List(0).count - 1));
    EXPECT_EQ(g_uTexturePage, 6u);
    EXPECT_EQ(g_pClutSource, texels);
}
