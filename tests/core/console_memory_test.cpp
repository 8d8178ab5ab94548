#include "core/console_memory.h"

#include "core/consolelib.h"
#include "core/disc.h"
#include "core/event.h"
#include "core/fixmath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The console part of the core start-up, in its order.
void BringUp()
{
    DISPLAYCONFIG config = Sys_DefaultDisplayConfig();
    ASSERT_EQ(Sys_SetDisplayConfig(&config), 0);
    Sys_InitDisplayEnvs();
    Sys_InitCore();
    Sys_InitPackets();
    ASSERT_EQ(Sys_AllocOrderingTables(0, 1), 0);
    ASSERT_EQ(Sys_AllocOrderingTables(1, 3), 0);
    Sys_InitSmallPrimitiveAreas();
    Sys_InitSaveIcons();
}

class ConsoleMemory : public ::testing::Test
{
protected:
    void SetUp() override { BringUp(); }
    void TearDown() override { Sys_FreePacketBuffers(); }

    static const OTLIST *Lists(int record)
    {
        return Sys_OrderingTableLists(g_apFrameBuffers[record]);
    }
};

} // namespace

TEST_F(ConsoleMemory, ConfigurationCopiedAndNextWordCleared)
{
    EXPECT_EQ(g_tDisplayConfig.width, 384);
    EXPECT_EQ(g_tDisplayConfig.height, 256);
    EXPECT_EQ(g_tDisplayConfig.packetBytes, 784000u);
    EXPECT_EQ(g_tDisplayConfig.spareList, 2u);
    EXPECT_EQ(g_tDisplayConfig.entryCount, 1024u);
    EXPECT_EQ(g_iOrderingTableCount, 2);

    DISPLAYCONFIG dirty = Sys_DefaultDisplayConfig();
    dirty.cleared = 0xDEADBEEF;
    ASSERT_EQ(Sys_SetDisplayConfig(&dirty), 0);
    EXPECT_EQ(g_tDisplayConfig.cleared, 0u);
}

TEST_F(ConsoleMemory, BadConfigurationRefusedAndKept)
{
    struct Case
    {
        const char *what;
        void (*spoil)(DISPLAYCONFIG &);
    } cases[] = {
        {"no width", [](DISPLAYCONFIG &c) { c.width = 0; }},
        {"packet buffer too big", [](DISPLAYCONFIG &c) { c.packetBytes = 784004; }},
        {"odd packet buffer", [](DISPLAYCONFIG &c) { c.packetBytes = 1001; }},
        {"no lists", [](DISPLAYCONFIG &c) { c.orderingTableCount = 0; }},
        {"too many lists", [](DISPLAYCONFIG &c) { c.orderingTableCount = CONSOLE_MAX_OT_LISTS + 1; }},
        {"entry table too big", [](DISPLAYCONFIG &c) { c.entryCount = 1025; }},
    };
    for (const Case &c : cases) {
        DISPLAYCONFIG bad = Sys_DefaultDisplayConfig();
        c.spoil(bad);
        EXPECT_EQ(Sys_SetDisplayConfig(&bad), -1) << c.what;
        EXPECT_EQ(g_tDisplayConfig.packetBytes, 784000u) << c.what;
        EXPECT_EQ(g_iOrderingTableCount, 2) << c.what;
    }
    EXPECT_EQ(Sys_SetDisplayConfig(nullptr), -1);
    // Nothing was torn down by the refusals.
    EXPECT_EQ(g_pFrameBuffer, g_apFrameBuffers[0]);
}

TEST_F(ConsoleMemory, StateAfterBringUp)
{
    EXPECT_EQ(g_pFrameBuffer, g_apFrameBuffers[0]);
    EXPECT_EQ(g_iFrameCount.load(), 0);
    EXPECT_EQ(g_uTimerTicks.load(), 0u);
    EXPECT_EQ(g_bFramesHeld, 0);
    EXPECT_EQ(g_bDebugBreak, 0);
    // The core set-up made event class 1 and started the disc layer.
    ASSERT_NE(Sys_EventFindClass(1), nullptr);
    EXPECT_EQ(Sys_EventFindClass(1)->slotCount, 11);
    EXPECT_EQ(g_bDiscLayerOn, 1);
    EXPECT_EQ(g_aConsoleScreenRect[2], 384);
    EXPECT_EQ(g_aConsoleScreenRect[3], 256);

    for (int i = 0; i < 2; i++) {
        const FRAMEBUFFER *r = g_apFrameBuffers[i];
        EXPECT_EQ(Sys_ArenaAddr(r), CONSOLE_FRAMEBUFFER_ADDR + i * CONSOLE_FRAMEBUFFER_STRIDE);
        EXPECT_EQ(r->draw.dither, 1);
        EXPECT_EQ(r->disp.screen[0], 8);
        EXPECT_EQ(r->disp.screen[1], 20);
        EXPECT_EQ(r->disp.screen[3], 256);
        EXPECT_EQ(r->disp.interlace, 1);
        // The environment calls do nothing, so the clip rectangle stays empty.
        for (int k = 0; k < 4; k++)
            EXPECT_EQ(r->draw.clip[k], 0);
        EXPECT_EQ(Lists(i)[0].count, 1u);
        EXPECT_EQ(Lists(i)[1].count, 3u);
    }
    EXPECT_EQ(g_apFrameBuffers[0]->largeArea, CONSOLE_PACKET_BUFFER_ADDR);
    EXPECT_EQ(g_apFrameBuffers[1]->largeArea - g_apFrameBuffers[0]->largeArea, 784000u / 2);
    EXPECT_EQ(g_apFrameBuffers[0]->smallArea, CONSOLE_SMALL_AREA1_ADDR);
    EXPECT_EQ(g_apFrameBuffers[1]->smallArea, CONSOLE_SMALL_AREA2_ADDR);
    EXPECT_GT(g_uEmulatedFreeMemory, 20000u);
    EXPECT_NE(g_pHeapBase, nullptr);
    EXPECT_EQ(g_pMainHeap, g_pHeapBase);
    EXPECT_EQ(g_uSecondHeapSize, 125952u);
}

TEST_F(ConsoleMemory, EveryAreaInsideTheArenaAndApart)
{
    struct Area
    {
        const char *name;
        uint32_t addr, bytes;
    };
    std::vector<Area> areas = {
        {"core heap", CONSOLE_CORE_HEAP_ADDR, 1024},
        {"heap base marker", Sys_ArenaAddr(g_pHeapBase), 12},
        {"second region marker", Sys_ArenaAddr(g_pSecondHeap), 12},
        {"record 1", Sys_ArenaAddr(g_apFrameBuffers[0]), sizeof(FRAMEBUFFER)},
        {"record 2", Sys_ArenaAddr(g_apFrameBuffers[1]), sizeof(FRAMEBUFFER)},
        {"lists 1", g_apFrameBuffers[0]->otList, 2 * sizeof(OTLIST)},
        {"lists 2", g_apFrameBuffers[1]->otList, 2 * sizeof(OTLIST)},
        {"pad 1", Sys_ArenaAddr(Sys_PadBuffer(1)), sizeof(PADBUFFER)},
        {"pad 2", Sys_ArenaAddr(Sys_PadBuffer(2)), sizeof(PADBUFFER)},
        {"save icon", CONSOLE_SAVE_ICON_ADDR, 192},
        {"1024 x 10 table", CONSOLE_ENTRY_TABLE_ADDR, 10240},
        {"small area 1 with entry 0", CONSOLE_SMALL_AREA1_ADDR - 4, 20004},
        {"small area 2 with entry 0", CONSOLE_SMALL_AREA2_ADDR - 4, 20004},
        {"packet buffer", CONSOLE_PACKET_BUFFER_ADDR, 784000},
    };
    for (int r = 0; r < 2; r++)
        for (int l = 0; l < 2; l++)
            areas.push_back({"ordering table", Lists(r)[l].base, Lists(r)[l].count * 4 + CONSOLE_OT_PAD_BYTES});

    for (const Area &a : areas) {
        EXPECT_GE(a.addr, CONSOLE_NULL_BYTES) << a.name;
        EXPECT_NE(Sys_ArenaPtr(a.addr, a.bytes), nullptr) << a.name;
        EXPECT_LT(a.addr + a.bytes, CONSOLE_LINK_STOP) << a.name;
    }
    std::sort(areas.begin(), areas.end(), [](const Area &x, const Area &y) { return x.addr < y.addr; });
    for (size_t i = 1; i < areas.size(); i++)
        EXPECT_LE(areas[i - 1].addr + areas[i - 1].bytes, areas[i].addr) << areas[i - 1].name << " / " << areas[i].name;
}

TEST_F(ConsoleMemory, GuardWordStampedAndChecked)
{
    const uint8_t *heap = Sys_ConsoleCoreHeap();
    const uint8_t guard[4] = {0xBB, 0xDA, 0xBA, 0xFA};
    EXPECT_EQ(std::memcmp(heap + 1020, guard, 4), 0);
    EXPECT_TRUE(Sys_GuardWordIntact());

    Sys_ConsoleCoreHeap()[1023] = 0;
    EXPECT_FALSE(Sys_GuardWordIntact());
    Sys_StampGuardWord();
    EXPECT_TRUE(Sys_GuardWordIntact());
}

TEST_F(ConsoleMemory, PadBuffersAndSaveIcon)
{
    EXPECT_EQ(Sys_PadBuffer(1)->status, 0);
    EXPECT_EQ(Sys_PadBuffer(2)->status, 0xFF);
    for (int port : {1, 2}) {
        EXPECT_EQ(Sys_PadBuffer(port)->type >> 4, 4);
        EXPECT_EQ(Sys_PadBuffer(port)->buttons, 0xFFFF);
    }
    EXPECT_EQ(Sys_PadBuffer(0), nullptr);
    EXPECT_EQ(Sys_PadBuffer(3), nullptr);

    const uint8_t *block = Sys_ArenaPtr(CONSOLE_SAVE_ICON_ADDR, CONSOLE_SAVE_ICON_BYTES);
    EXPECT_EQ(g_apSaveIconPalette[0], block + 20);
    EXPECT_EQ(g_apSaveIconImage[0], block + 64);
    // A real picture: more than one colour index used, and the colours it uses are set.
    int used[16] = {};
    for (int i = 0; i < 128; i++) {
        used[g_apSaveIconImage[0][i] & 15]++;
        used[g_apSaveIconImage[0][i] >> 4]++;
    }
    EXPECT_GT(std::count_if(used, used + 16, [](int n) { return n > 0; }), 2);
    EXPECT_NE(g_apSaveIconPalette[0][2 * 2] | g_apSaveIconPalette[0][2 * 2 + 1], 0);
}

TEST_F(ConsoleMemory, ArenaAccessorsCheckBounds)
{
    EXPECT_EQ(Sys_ArenaPtr(0, 4), nullptr);
    EXPECT_EQ(Sys_ArenaPtr(CONSOLE_NULL_BYTES - 1, 1), nullptr);
    EXPECT_NE(Sys_ArenaPtr(CONSOLE_ARENA_BYTES - 4, 4), nullptr);
    EXPECT_EQ(Sys_ArenaPtr(CONSOLE_ARENA_BYTES - 3, 4), nullptr);
    EXPECT_EQ(Sys_ArenaPtr(CONSOLE_PACKET_BUFFER_ADDR, 0xFFFFFFF0u), nullptr);
    EXPECT_EQ(Sys_ArenaPtr(CONSOLE_LINK_END, 1), nullptr);
    int outside = 0;
    EXPECT_EQ(Sys_ArenaAddr(&outside), 0u);
    EXPECT_EQ(Sys_ArenaAddr(Sys_ArenaPtr(CONSOLE_PACKET_BUFFER_ADDR + 8)), CONSOLE_PACKET_BUFFER_ADDR + 8);
    EXPECT_EQ(Sys_ArenaReadWord(CONSOLE_ARENA_BYTES), CONSOLE_LINK_END);
    EXPECT_EQ(Sys_ArenaWriteWord(CONSOLE_ARENA_BYTES - 2, 1), -1);
    EXPECT_TRUE(Sys_LinkStops(CONSOLE_LINK_END));
    EXPECT_TRUE(Sys_LinkStops(0x10000000u));
    EXPECT_FALSE(Sys_LinkStops(CONSOLE_ARENA_BYTES - 4));
}

TEST_F(ConsoleMemory, PacketLinksStayThirtyTwoBit)
{
    // Three packets linked into entry 2 of list 1: the chain comes back newest first and ends on
    // the entry's old end marker, every link an arena address below the stop value.
    const uint32_t entry = Lists(0)[1].base + 2 * 4;
    ASSERT_EQ(Sys_ArenaReadWord(entry), CONSOLE_LINK_END);
    const uint32_t packets[3] = {g_pFrameBuffer->largeArea, g_pFrameBuffer->largeArea + 16,
                                 g_pFrameBuffer->largeArea + 392000 - 16};
    for (uint32_t p : packets)
        ASSERT_EQ(Sys_AddToOrderingTable(entry, p), 0);

    std::vector<uint32_t> walked;
    for (uint32_t link = Sys_ArenaReadWord(entry); !Sys_LinkStops(link); link = Sys_ArenaReadWord(link)) {
        walked.push_back(link);
        ASSERT_LE(walked.size(), 3u);
    }
    EXPECT_EQ(walked, (std::vector<uint32_t>{packets[2], packets[1], packets[0]}));
    EXPECT_EQ(Sys_ArenaReadWord(packets[0]), CONSOLE_LINK_END);

    // A packet or entry outside the arena is refused and nothing changes.
    EXPECT_EQ(Sys_AddToOrderingTable(entry, CONSOLE_ARENA_BYTES), -1);
    EXPECT_EQ(Sys_AddToOrderingTable(0, packets[0]), -1);
    EXPECT_EQ(Sys_ArenaReadWord(entry), packets[2]);
}

TEST_F(ConsoleMemory, OrderingTableRequestsChecked)
{
    struct Case
    {
        int32_t list, entries;
    } bad[] = {{-1, 1}, {2, 1}, {0, 0}, {1, -4}, {0, 1 << 30}, {0, 0x7FFFFFFF}};
    for (const Case &c : bad)
        EXPECT_EQ(Sys_AllocOrderingTables(c.list, c.entries), -1) << c.list << "," << c.entries;
    EXPECT_EQ(Lists(0)[1].count, 3u);

    // The pool fills up and then refuses.
    int granted = 0;
    while (Sys_AllocOrderingTables(1, 100) == 0)
        granted++;
    EXPECT_GT(granted, 0);
    EXPECT_EQ(Lists(1)[1].count, 100u);

    Sys_FreePacketBuffers();
    EXPECT_EQ(g_pFrameBuffer, nullptr);
    EXPECT_EQ(Sys_AllocOrderingTables(0, 1), -1);
    Sys_FreePacketBuffers(); // twice is harmless
}

TEST_F(ConsoleMemory, BringUpTwiceStartsFresh)
{
    g_adSineTable[1024] = 0; // the display set-up builds the sine table

    uint32_t entry = Lists(0)[0].base;
    Sys_AddToOrderingTable(entry, g_pFrameBuffer->largeArea);
    g_iFrameCount = 7;
    Sys_FreePacketBuffers();
    BringUp();
    EXPECT_EQ(g_iFrameCount.load(), 0);
    EXPECT_EQ(Lists(1)[1].count, 3u);
    EXPECT_EQ(Sys_ArenaReadWord(Lists(0)[0].base), CONSOLE_LINK_END);
    EXPECT_TRUE(Sys_GuardWordIntact());
    EXPECT_EQ(g_adSineTable[1024], 4096.0);
}

// The core shutdown's releases: every reference goes, repeating them is harmless, and the ordering
// tables' heads are whole again for the next bring-up (a leftover pool would run out of room).
TEST_F(ConsoleMemory, ShutdownReleasesDropEveryReference)
{
    for (int round = 0; round < 2; round++) {
        Sys_FreeOrderingTableArrays();
        Sys_FreeSaveIcons();
        Sys_FreeMemoryLayout();
        for (int r = 0; r < 2; r++)
            for (int l = 0; l < 2; l++) {
                EXPECT_EQ(Lists(r)[l].base, 0u) << "record " << r << " list " << l;
                EXPECT_EQ(Lists(r)[l].count, 0u) << "record " << r << " list " << l;
            }
        EXPECT_EQ(g_apSaveIconPalette[0], nullptr);
        EXPECT_EQ(g_apSaveIconImage[0], nullptr);
        EXPECT_EQ(g_pHeapBase, nullptr);
        EXPECT_EQ(g_pMainHeap, nullptr);
        EXPECT_EQ(g_pSecondHeap, nullptr);
        EXPECT_EQ(g_uMainHeapSize, 0u);
        EXPECT_EQ(g_uEmulatedFreeMemory, 0u);
    }
    const uint8_t *icon = Sys_ArenaPtr(CONSOLE_SAVE_ICON_ADDR, CONSOLE_SAVE_ICON_BYTES);
    EXPECT_TRUE(std::all_of(icon, icon + CONSOLE_SAVE_ICON_BYTES, [](uint8_t b) { return b == 0; }));

    // The heads' pool is empty again: the whole of it can be handed out once more.
    int granted = 0;
    while (Sys_AllocOrderingTables(1, 100) == 0)
        granted++;
    Sys_FreeOrderingTableArrays();
    int again = 0;
    while (Sys_AllocOrderingTables(1, 100) == 0)
        again++;
    EXPECT_GT(granted, 0);
    EXPECT_EQ(again, granted);

    Sys_FreePacketBuffers();
    Sys_FreeOrderingTableArrays(); // after the lists went too
    BringUp();
    EXPECT_EQ(Lists(1)[1].count, 3u);
    EXPECT_NE(g_apSaveIconImage[0], nullptr);
    EXPECT_NE(g_pHeapBase, nullptr);
}

// The vertical-blank callback: one timer tick and event 0x10009 with argument 0 per call.
TEST_F(ConsoleMemory, FrameCallbackTicksAndRaisesItsEvent)
{
    static std::vector<uintptr_t> seen;
    seen.clear();
    ASSERT_EQ(Sys_EventAddHandler(0x10009, [](uintptr_t arg) { seen.push_back(arg); }), EVENT_OK);
    const uint32_t before = g_uTimerTicks.load();
    Sys_FrameCallback();
    Sys_FrameCallback();
    EXPECT_EQ(g_uTimerTicks.load(), before + 2);
    EXPECT_EQ(seen, (std::vector<uintptr_t>{0, 0}));
    Sys_EventInit();
}

TEST_F(ConsoleMemory, CountLinksStopsAtTheTerminatorAndAtLoops)
{
    const uint32_t a = g_pFrameBuffer->largeArea, b = a + 16, c = a + 32;
    struct Case
    {
        const char *name;
        uint32_t start;
        uint32_t words[3]; // first word of a, b, c
        int expected;
    } cases[] = {
        {"terminator alone", c, {0, 0, CONSOLE_LINK_END}, 0},
        {"three links", a, {b, c, CONSOLE_LINK_END}, 2},
        {"two links", b, {b, c, CONSOLE_LINK_END}, 1},
        {"loop", a, {b, a, CONSOLE_LINK_END}, -1},
        {"self loop", c, {0, 0, c}, -1},
        {"outside the arena", 0, {0, 0, 0}, 0},
        {"into the null bytes", a, {16, 0, 0}, 1},
    };
    for (const Case &k : cases) {
        Sys_ArenaWriteWord(a, k.words[0]);
        Sys_ArenaWriteWord(b, k.words[1]);
        Sys_ArenaWriteWord(c, k.words[2]);
        EXPECT_EQ(Sys_CountLinks(k.start), k.expected) << k.name;
    }
}
