#include "core/consolelib.h"

#include <gtest/gtest.h>

#include <climits>
#include <thread>

TEST(ConsoleLib, TexturePageAndPaletteIds)
{
    struct Page
    {
        int32_t tp, abr, x, y;
        uint16_t id;
    } pages[] = {
        {2, 1, 640, 256, 0x13A}, {0, 0, 0, 0, 0}, {3, 3, 1023, 768, 0x9FF},
        {1, 2, 64, 512, 0x8C1},  {6, 7, 2048, 0, 0x160}, // out-of-range fields masked
    };
    for (const Page &p : pages)
        EXPECT_EQ(Sys_TexturePageId(p.tp, p.abr, p.x, p.y), p.id) << p.tp << "," << p.abr << "," << p.x << "," << p.y;

    struct Clut
    {
        int32_t x, y;
        uint16_t id;
    } cluts[] = {{16, 480, 0x7801}, {0, 0, 0}, {1023, 511, 0x7FFF}, {15, 1, 0x40}};
    for (const Clut &c : cluts)
        EXPECT_EQ(Sys_ClutId(c.x, c.y), c.id) << c.x << "," << c.y;
}

TEST(ConsoleLib, VerticalSyncAndLeadingZeros)
{
    EXPECT_EQ(Sys_WaitVerticalSync(1), 999);
    EXPECT_EQ(Sys_WaitVerticalSync(0), 0);
    EXPECT_EQ(Sys_WaitVerticalSync(-1), 0);

    struct Case
    {
        int32_t x, zeros;
    } cases[] = {{0, 32}, {1, 31}, {-1, 31}, {0x00FF0000, 8}, {INT32_MAX, 1}, {INT32_MIN, 0}};
    for (const Case &c : cases)
        EXPECT_EQ(Sys_CountLeadingZeros(c.x), c.zeros) << c.x;
}

TEST(ConsoleLib, BlendColour)
{
    const uint8_t a[3] = {200, 100, 0}, b[3] = {100, 50, 255};
    uint8_t out[3];
    struct Case
    {
        int32_t wa, wb;
        uint8_t r, g, bl;
    } cases[] = {
        {4096, 0, 200, 100, 0},
        {0, 4096, 100, 50, 255},
        {2048, 2048, 150, 75, 127},
        {4096, 4096, 255, 150, 255}, // past 1.0: held at full, not wrapped
        {-4096, 0, 0, 0, 0},         // below 0: held at 0
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Sys_BlendColour(a, b, c.wa, c.wb, out), out);
        EXPECT_EQ(out[0], c.r) << c.wa << "," << c.wb;
        EXPECT_EQ(out[1], c.g) << c.wa << "," << c.wb;
        EXPECT_EQ(out[2], c.bl) << c.wa << "," << c.wb;
        uint8_t rgb[3];
        Sys_BlendColourRgb(a, b, c.wa, c.wb, rgb);
        EXPECT_EQ(rgb[1], c.g);
    }
}

TEST(ConsoleLib, OrderingTableLinkAndSemiTransparency)
{
    DISPLAYCONFIG config = Sys_DefaultDisplayConfig();
    ASSERT_EQ(Sys_SetDisplayConfig(&config), 0);
    ASSERT_EQ(Sys_AllocPacketBuffers(), 0);
    const uint32_t entry = CONSOLE_ENTRY_TABLE_ADDR; // any arena word will do
    const uint32_t packet = CONSOLE_PACKET_BUFFER_ADDR + 64;
    Sys_ArenaWriteWord(entry, CONSOLE_LINK_END);
    ASSERT_EQ(Sys_AddToOrderingTable(entry, packet), 0);
    EXPECT_EQ(Sys_ArenaReadWord(entry), packet);
    EXPECT_EQ(Sys_ArenaReadWord(packet), CONSOLE_LINK_END); // the only packet

    uint8_t *p = Sys_ArenaPtr(packet, 12);
    p[11] = 0x2C | 1;
    EXPECT_EQ(Sys_SetPacketSemiTrans(packet, 5), 0);
    EXPECT_EQ(p[11], 0x2F);
    EXPECT_EQ(Sys_SetPacketSemiTrans(packet, 0), 0);
    EXPECT_EQ(p[11], 0x2D);
    EXPECT_EQ(p[10], 0); // nothing else touched
    EXPECT_EQ(Sys_SetPacketSemiTrans(CONSOLE_ARENA_BYTES - 8, 1), -1);
    Sys_FreePacketBuffers();
}

TEST(ConsoleLib, PadsStartIdle)
{
    PADBUFFER one{}, two{};
    one.status = 0x55;
    two.buttons = 0;
    EXPECT_EQ(Sys_InitPads(&one, &two), 0);
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(two.status, 0xFF);
    EXPECT_EQ(one.type & 0xF0, 0x40);
    EXPECT_EQ(two.type & 0xF0, 0x40);
    EXPECT_EQ(one.buttons, 0xFFFF);
    EXPECT_EQ(two.buttons, 0xFFFF);
    EXPECT_EQ(Sys_InitPadBuffer(nullptr, &two), 0);
}

TEST(ConsoleLib, CriticalSectionHoldsTheMixLock)
{
    auto lockedElsewhere = [] {
        bool got = false;
        std::thread t([&] {
            got = g_csMix.try_lock();
            if (got)
                g_csMix.unlock();
        });
        t.join();
        return !got;
    };
    EXPECT_FALSE(lockedElsewhere());
    Sys_EnterCritical();
    Sys_EnterCritical(); // nests on one thread
    EXPECT_TRUE(lockedElsewhere());
    Sys_ExitCritical();
    EXPECT_TRUE(lockedElsewhere());
    Sys_ExitCritical();
    EXPECT_FALSE(lockedElsewhere());
}

TEST(ConsoleLib, EmptyCallsAnswerZero)
{
    const int16_t rect[4] = {0, 0, 16, 16};
    EXPECT_EQ(Sys_LoadVramImage(rect, nullptr), 0);
    EXPECT_EQ(Sys_WaitDrawDone(0), 0);
    EXPECT_EQ(Sys_SetVblankCallback([] {}), nullptr);
    EXPECT_EQ(Sys_SetDrawDoneCallback([] {}), nullptr);
    EXPECT_EQ(Sys_OpenTimerEvent(0xF2000002u, 0x1B20, 0x1000, nullptr), 0);
    EXPECT_EQ(Sys_GeomReadDepth(), 0);
    EXPECT_EQ(Sys_DebugPrintf("%d", 1), 0);
    int32_t record[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(Sys_GetSoundAttributes(record), 0);
    EXPECT_EQ(record[4], 5);
    DRAWENV env{};
    EXPECT_EQ(Sys_InitDrawEnv(&env, 0, 0, 384, 256), &env);
    EXPECT_EQ(env.clip[2], 0);
}
