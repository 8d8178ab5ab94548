#include "render_fixture.h"

#include "core/random.h"
#include "ui/widgets.h"
#include "render/framecycle.h"

using namespace rendertest;

namespace {

std::vector<uint32_t> g_events;

template <uint32_t Id> void Record(uintptr_t arg)
{
    g_events.push_back(Id);
    EXPECT_EQ(arg, 0u);
}

class FrameCycle : public RenderTest
{
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        g_events.clear();
        g_bFramesHeld = 0;
        g_iFrameModeStep = 0;
        Gfx_ResetFrameBuffer();
    }
    void TearDown() override
    {
        g_bFramesHeld = 0;
        RenderTest::TearDown();
    }

    static void Tile(uint32_t entry, int16_t id)
    {
        Add(entry, 20).rgbc(0, 0, 0, 0x60).u16(12, id).u16(16, 1).u16(18, 1);
    }
};

} // namespace

TEST_F(FrameCycle, RecordsSwapEveryFrame)
{
    FRAMEBUFFER *first = g_pFrameBuffer;
    ASSERT_EQ(first, g_apFrameBuffers[0]);
    for (int frame = 1; frame <= 4; frame++) {
        Gfx_BeginFrame();
        EXPECT_EQ(g_iFrameBufferIndex, frame % 2);
        EXPECT_EQ(g_pFrameBuffer, g_apFrameBuffers[frame % 2]);
        // Each record draws into its own half of the packet buffer.
        EXPECT_EQ(g_pPacketAreaStart, g_pFrameBuffer->largeArea);
        EXPECT_EQ(g_pPacketEnd, g_pFrameBuffer->largeArea + FRAME_LARGE_AREA_BYTES);
        Gfx_EndFrame();
    }
    Gfx_SwapFrameBuffersNow();
    EXPECT_EQ(g_pFrameBuffer, g_apFrameBuffers[1]);
}

// Whatever a record held two frames ago is gone when it comes round again.
TEST_F(FrameCycle, TablesAreClearAtTheStartOfEachFrame)
{
    Gfx_BeginFrame();
    const FRAMEBUFFER *fb = g_pFrameBuffer;
    Tile(Entry(0, 2), 1);
    Tile(Entry(1, 0), 2);
    Add(Sys_ArenaAddr(&g_pFrameBuffer->twoEntry[0]), 20).rgbc(0, 0, 0, 0x60);
    Gfx_EndFrame();
    EXPECT_EQ(g_calls.size(), 3u);

    Gfx_BeginFrame();
    Gfx_EndFrame();
    Gfx_BeginFrame();
    ASSERT_EQ(g_pFrameBuffer, fb);
    for (int list = 0; list < 2; list++) {
        const OTLIST l = List(list);
        EXPECT_EQ(Sys_ArenaReadWord(l.base), CONSOLE_LINK_END);
        for (uint32_t e = 1; e < l.count; e++)
            EXPECT_EQ(Sys_ArenaReadWord(l.base + 4 * e), l.base + 4 * (e - 1));
    }
    EXPECT_EQ(fb->twoEntry[0], CONSOLE_LINK_END);
    EXPECT_EQ(fb->twoEntry[1], Sys_ArenaAddr(&fb->twoEntry[0]));
    g_calls.clear();
    Gfx_EndFrame();
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(FrameCycle, FrameEventsFireInOrder)
{
    ASSERT_EQ(Sys_EventAddHandler(GFX_EVENT_FRAME_START, Record<GFX_EVENT_FRAME_START>), 0);
    ASSERT_EQ(Sys_EventAddHandler(GFX_EVENT_FRAME_END, Record<GFX_EVENT_FRAME_END>), 0);
    ASSERT_EQ(Sys_EventAddHandler(GFX_EVENT_FRAME_DRAW, Record<GFX_EVENT_FRAME_DRAW>), 0);
    ASSERT_EQ(Sys_EventAddHandler(GFX_EVENT_FRAME_DONE, Record<GFX_EVENT_FRAME_DONE>), 0);
    const int32_t count = g_iFrameCount;
    for (int i = 0; i < 2; i++) {
        Gfx_BeginFrame();
        Gfx_EndFrame();
    }
    EXPECT_EQ(g_events, (std::vector<uint32_t>{0x10002, 0x1000A, 0x10000, 0x10003, 0x10002, 0x1000A, 0x10000, 0x10003}));
    EXPECT_EQ(g_iFrameCount, count + 2);
}

// Frame done comes after the walk: a handler sees the frame drawn and counted.
TEST_F(FrameCycle, FrameDoneAfterTheWalk)
{
    static size_t s_callsSeen;
    static int32_t s_countSeen;
    s_callsSeen = 99;
    ASSERT_EQ(Sys_EventAddHandler(GFX_EVENT_FRAME_DONE, [](uintptr_t) {
                  s_callsSeen = g_calls.size();
                  s_countSeen = g_iFrameCount;
              }),
              0);
    const int32_t count = g_iFrameCount;
    Gfx_BeginFrame();
    Tile(Entry(0, 1), 5);
    Gfx_EndFrame();
    EXPECT_EQ(s_callsSeen, 1u);
    EXPECT_EQ(s_countSeen, count + 1);
}

// Lists in list order (the second over the first), each higher entry first, the two-entry table
// last; and the draw area is empty when the frame is over.
TEST_F(FrameCycle, PaintersOrderAndEmptyDrawAreaAfterTheFrame)
{
    Gfx_BeginFrame();
    FRAMEBUFFER *fb = g_pFrameBuffer;
    Tile(Sys_ArenaAddr(&fb->twoEntry[0]), 90);
    Tile(Sys_ArenaAddr(&fb->twoEntry[1]), 91);
    Tile(Entry(1, 0), 10);
    Tile(Entry(1, 2), 12);
    Tile(Entry(0, 0), 0);
    Tile(Entry(0, 3), 3);
    Gfx_EndFrame();
    std::vector<int> order;
    for (const std::string &c : g_calls)
        order.push_back(std::atoi(c.c_str() + 5));
    EXPECT_EQ(order, (std::vector<int>{3, 0, 12, 10, 91, 90}));
    EXPECT_EQ(g_iDrawAreaLeft, 0);
    EXPECT_EQ(g_iDrawAreaTop, 0);
    EXPECT_EQ(g_iDrawAreaRight, 0);
    EXPECT_EQ(g_iDrawAreaBottom, 0);
}

TEST_F(FrameCycle, FrameModesSwitchAtTheNextReset)
{
    struct Step
    {
        int32_t setMode; // -1: none
        int32_t stepAfter;
        bool small;
    };
    // Mode 3 then two frames in the small area, mode 0 then back in the large one.
    const Step steps[] = {{-1, 0, false}, {3, 2, true}, {-1, 3, true}, {-1, 3, true},
                          {0, 5, false},  {-1, 0, false}, {7, 0, false}};
    for (const Step &s : steps) {
        SCOPED_TRACE(s.setMode);
        if (s.setMode >= 0) {
            EXPECT_EQ(Gfx_SetFrameMode(s.setMode), s.setMode);
        }
        Gfx_BeginFrame();
        EXPECT_EQ(g_iFrameModeStep, s.stepAfter);
        EXPECT_EQ(Gfx_SmallFrameArea(), s.small);
        const FRAMEBUFFER *fb = g_pFrameBuffer;
        if (s.small) {
            EXPECT_EQ(g_pPacketAreaStart, fb->smallArea);
            EXPECT_EQ(g_pPacketEnd, fb->smallArea + FRAME_SMALL_AREA_BYTES);
            EXPECT_EQ(g_pPacketCursor, g_pPacketAreaStart); // no texture-window reset in the depth table
        } else {
            EXPECT_EQ(g_pPacketAreaStart, fb->largeArea);
            EXPECT_EQ(g_pPacketEnd, fb->largeArea + FRAME_LARGE_AREA_BYTES);
            // The texture-window reset, linked in front of depth entry 1.
            EXPECT_EQ(g_pPacketCursor, g_pPacketAreaStart + 16);
            EXPECT_EQ(Sys_ArenaReadWord(fb->smallArea), g_pPacketAreaStart);
        }
        Gfx_EndFrame();
    }
}

TEST_F(FrameCycle, LargeModeResetsTheSequencerBlock)
{
    extern uint32_t g_uSeqBlockSize;
    extern uint8_t g_bySeqStatus;
    g_uSeqBlockSize = 99;
    g_bySeqStatus = 0xFF;
    Gfx_SetFrameMode(3);
    EXPECT_EQ(g_uSeqBlockSize, 99u);
    Gfx_SetFrameMode(0);
    EXPECT_EQ(g_uSeqBlockSize, 0u);
    EXPECT_EQ(g_bySeqStatus, 0xFB);
}

TEST_F(FrameCycle, HeldFramesDoNothing)
{
    ASSERT_EQ(Sys_EventAddHandler(GFX_EVENT_FRAME_START, Record<GFX_EVENT_FRAME_START>), 0);
    ASSERT_EQ(Sys_EventAddHandler(GFX_EVENT_FRAME_DONE, Record<GFX_EVENT_FRAME_DONE>), 0);
    Gfx_BeginFrame();
    Tile(Entry(0, 1), 1);
    const FRAMEBUFFER *fb = g_pFrameBuffer;
    const int32_t count = g_iFrameCount;
    g_events.clear();
    g_bFramesHeld = 1;
    Gfx_EndFrame();
    Gfx_BeginFrame();
    EXPECT_EQ(g_pFrameBuffer, fb);
    EXPECT_EQ(g_iFrameCount, count);
    EXPECT_TRUE(g_events.empty());
    EXPECT_TRUE(g_calls.empty());
    g_bFramesHeld = 0;
    Gfx_EndFrame();
    EXPECT_EQ(g_calls.size(), 1u);
}

// A list of no entries is neither cleared nor walked.
TEST(FrameCycleLists, EmptyListIsSkipped)
{
    Plat_ClockUse(PLAT_CLOCK_MANUAL);
    BringUp(2, 0);
    ASSERT_EQ(Gfx_InitSoftGpu(), 0);
    g_tRasterRoutines = kRecorder;
    g_calls.clear();
    ASSERT_EQ(List(1).count, 0u);
    Gfx_BeginFrame();
    Gfx_EndFrame();
    EXPECT_TRUE(g_calls.empty());
    g_tRasterRoutines = g_tDefaultRasterRoutines;
    Gfx_ShutdownSoftGpu();
    Sys_FreePacketBuffers();
    Sys_EventInit();
}

TEST_F(FrameCycle, FrameEndBookkeeping)
{
    // The tick count of the frame end, from the timer counter.
    g_uTimerTicks = 1234;
    // The seed mixes in the vertical-sync answer and the generator, which is then reseeded.
    g_uRandomSeed = 5;
    Sys_SeedRand(77);
    const uint32_t r = static_cast<uint32_t>(Sys_Rand());
    Sys_SeedRand(77);
    const uint32_t expected = (5u << 2) ^ (999u | r);
    // A damaged guard word is restored.
    Sys_ArenaWriteWord(CONSOLE_GUARD_ADDR, 0);

    Gfx_BeginFrame();
    Gfx_EndFrame();
    EXPECT_EQ(g_uFrameEndTicks, 1234u);
    EXPECT_EQ(g_uRandomSeed, expected);
    const int32_t next = Sys_Rand();
    Sys_SeedRand(expected);
    EXPECT_EQ(next, Sys_Rand());
    EXPECT_TRUE(Sys_GuardWordIntact());
}

TEST_F(FrameCycle, PadStepAndBlankCountdown)
{
    g_tPadCopy.type = 0x73;
    Gfx_BeginFrame();
    Gfx_EndFrame();
    EXPECT_EQ(g_bPadStep, 16);
    g_tPadCopy.type = 0x41;
    g_iDisplayBlankCountdown = 2;
    Gfx_BeginFrame();
    Gfx_EndFrame();
    EXPECT_EQ(g_bPadStep, 12);
    EXPECT_EQ(g_iDisplayBlankCountdown, 1);
    Gfx_BeginFrame();
    Gfx_EndFrame();
    Gfx_BeginFrame();
    EXPECT_EQ(g_iDisplayBlankCountdown, 0);
    Gfx_EndFrame();
}

// A frame whose packets overflow the area loses only what did not fit, and says so.
TEST_F(FrameCycle, OverfullFrameDropsAndCounts)
{
    Gfx_SetFrameMode(3);
    Gfx_BeginFrame();
    ASSERT_TRUE(Gfx_SmallFrameArea());
    int added = 0;
    for (int i = 0; i < 1000; i++)
        if (Gfx_AddPacket(Entry(0, 1), 20))
            added++;
    EXPECT_EQ(added, 819);
    EXPECT_EQ(g_uPacketsDropped, 181u);
    g_calls.clear();
    Gfx_EndFrame();
    EXPECT_EQ(g_calls.size(), 0u); // zeroed packets carry no drawing code
}

// The display window pans with the pad (buttons active low, analogue sticks past a dead zone),
// stays inside the 1024 x 512 drawing space, and gives way to the whole display on request.
TEST_F(FrameCycle, DisplayWindow)
{
    PADBUFFER *pad = Sys_PadBuffer(1);
    auto step = [&](uint16_t buttons, uint16_t padWord = 0, int times = 1) {
        pad->buttons = buttons;
        g_wUiPadWord = padWord;
        int32_t result = 0;
        for (int i = 0; i < times; i++)
            result = Gfx_UpdateDisplayWindow();
        g_wUiPadWord = 0;
        return result;
    };
    auto display = [](int record) {
        const int16_t *d = g_apFrameBuffers[record]->disp.display;
        return std::vector<int>{d[0], d[1], d[2], d[3]};
    };
    pad->type = 0x41;
    pad->data[2] = pad->data[3] = 127;
    step(0xFFFF);
    if (display(0)[2] != 256)
        step(0xFFFF, 0x2000);
    ASSERT_EQ(display(0)[2], 256);

    EXPECT_EQ(step(0xFFFF & ~0x80 & ~0x10, 0, 300), 0); // left and up, into the corner
    EXPECT_EQ(display(0), (std::vector<int>{0, 0, 256, 256}));
    step(0xFFFF & ~0x20 & ~0x40, 0, 300); // right and down
    EXPECT_EQ(display(0), (std::vector<int>{768, 256, 256, 256}));
    EXPECT_EQ(display(1), display(0));
    step(0xFFFF & ~0x80); // left wins over right
    EXPECT_EQ(display(0)[0], 764);

    // The larger window is pulled back inside.
    step(0xFFFF, 0x2000);
    EXPECT_EQ(display(0), (std::vector<int>{384, 0, 640, 512}));
    step(0xFFFF, 0x2000);

    // Analogue sticks move by (d >> 3) once |d| reaches 17.
    pad->type = 0x73;
    step(0xFFFF & ~0x80 & ~0x10, 0, 300);
    struct Stick
    {
        uint8_t x, y;
        int dx, dy;
    };
    const Stick sticks[] = {{127 + 16, 127 - 16, 0, 0}, {127 + 17, 127 + 40, 2, 5}, {127 - 17, 127, -3, 0}};
    for (const Stick &s : sticks) {
        SCOPED_TRACE(s.x);
        step(0xFFFF & ~0x20 & ~0x40, 0, 10); // away from the corner
        const std::vector<int> before = display(0);
        pad->data[2] = s.x;
        pad->data[3] = s.y;
        step(0xFFFF);
        pad->data[2] = pad->data[3] = 127;
        EXPECT_EQ(display(0)[0] - before[0], s.dx);
        EXPECT_EQ(display(0)[1] - before[1], s.dy);
    }

    // The whole display: the console screen, and the answer that ends the window view.
    EXPECT_EQ(step(0xFFFF, 0x1000), 1);
    for (int r = 0; r < 2; r++) {
        EXPECT_EQ(display(r), (std::vector<int>{0, 0, g_aConsoleScreenRect[2], g_aConsoleScreenRect[3]}));
        const DISPENV &e = g_apFrameBuffers[r]->disp;
        EXPECT_EQ(e.screen[0], 1);
        EXPECT_EQ(e.screen[1], 20);
        EXPECT_EQ(e.screen[3], 256);
        EXPECT_EQ(e.interlace, 1);
    }
    // The working copy the interface reads is port 1's buffer.
    EXPECT_EQ(g_tPadCopy.type, 0x73);
    pad->type = 0;
    g_tPadCopy = {};
}

// The frame end's draw-area packet: built from the record's clip rectangle (empty), linked in front
// of entry 1 of the two-entry table, its length word left as it was.
TEST_F(FrameCycle, FrameEndDrawAreaPacketGolden)
{
    Gfx_BeginFrame();
    FRAMEBUFFER *fb = g_pFrameBuffer;
    // The frame end first links a texture-window reset (16 bytes) into the depth table.
    const uint32_t at = g_pPacketCursor + 16;
    std::memset(Sys_ArenaPtr(at, 16), 0xCC, 16);
    const int16_t clip[4] = {16, 500, 320, 240};
    std::memcpy(fb->draw.clip, clip, sizeof(clip));
    Gfx_EndFrame();
    std::memset(fb->draw.clip, 0, sizeof(fb->draw.clip));

    EXPECT_EQ(fb->twoEntry[1], at);
    const uint8_t *p = Sys_ArenaPtr(at, 16);
    uint32_t w[4];
    std::memcpy(w, p, 16);
    EXPECT_EQ(w[0], Sys_ArenaAddr(&fb->twoEntry[0]));
    EXPECT_EQ(w[1], 0xCCCCCCCCu);
    EXPECT_EQ(w[2], 0xE8000000u | (16u << 12) | 500u);
    EXPECT_EQ(w[3], (320u << 16) | 240u);
    // Walked at once: the draw area is the clip rectangle, y folded by the screen height.
    EXPECT_EQ(g_iDrawAreaLeft, 16);
    EXPECT_EQ(g_iDrawAreaTop, 20);
    EXPECT_EQ(g_iDrawAreaRight, 336);
    EXPECT_EQ(g_iDrawAreaBottom, 260);
}

// With a packet buffer smaller than two large areas, a record's area ends at its own half instead
// of running into the other record's packets.
TEST(FrameCycleLists, LargeAreaStaysInsideItsHalf)
{
    Plat_ClockUse(PLAT_CLOCK_MANUAL);
    DISPLAYCONFIG config = Sys_DefaultDisplayConfig();
    config.packetBytes = 400000;
    ASSERT_EQ(Sys_SetDisplayConfig(&config), 0);
    Sys_InitDisplayEnvs();
    Sys_InitCore();
    Sys_InitPackets();
    ASSERT_EQ(Sys_AllocOrderingTables(0, 2), 0);
    Sys_InitSmallPrimitiveAreas();
    g_iFrameModeStep = 0;
    for (int i = 0; i < 2; i++) {
        Gfx_BeginFrame();
        EXPECT_EQ(g_pPacketEnd, g_pFrameBuffer->largeArea + 200000);
        Gfx_EndFrame();
    }
    EXPECT_EQ(g_apFrameBuffers[0]->largeArea + 200000, g_apFrameBuffers[1]->largeArea);
    Sys_FreePacketBuffers();
    Sys_EventInit();
    DISPLAYCONFIG standard = Sys_DefaultDisplayConfig();
    Sys_SetDisplayConfig(&standard);
}

// A flat quadrilateral in the interface's fill colour, linked in front of the depth table's entry
// 1 (so it is drawn before what was linked there earlier), and drawn as its rectangle.
TEST_F(FrameCycle, FlatQuadInTheFillColour)
{
    Gfx_BeginFrame();
    const FRAMEBUFFER *fb = g_pFrameBuffer;
    const uint32_t before = Sys_ArenaReadWord(fb->smallArea); // the texture-window reset
    g_abFillColour[0] = 200, g_abFillColour[1] = 100, g_abFillColour[2] = 50;
    const uint32_t addr = Gfx_AddFlatQuad(10, 20, 30, 40);
    g_abFillColour[0] = g_abFillColour[1] = g_abFillColour[2] = 0;
    ASSERT_NE(addr, 0u);
    EXPECT_EQ(Sys_ArenaReadWord(fb->smallArea), addr);
    const uint8_t *p = static_cast<const uint8_t *>(Sys_ArenaPtr(addr, 28));
    ASSERT_NE(p, nullptr);
    const uint8_t want[28] = {
        uint8_t(before), uint8_t(before >> 8), uint8_t(before >> 16), uint8_t(before >> 24), // link
        6, 0, 0, 0, 200, 100, 50, 0x28, // length, colour, code
        10, 0, 20, 0, 40, 0, 20, 0, 10, 0, 60, 0, 40, 0, 60, 0, // corners
    };
    EXPECT_EQ(std::vector<uint8_t>(p, p + 28), std::vector<uint8_t>(want, want + 28));
    EXPECT_EQ(g_pPacketCursor, addr + 28);
    g_calls.clear();
    Gfx_DrawOrderingTable(fb->smallArea);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls[0], "rect 10 20 30 40 200 100 50");

    // No room: nothing is linked.
    const uint32_t end = g_pPacketEnd;
    g_pPacketEnd = g_pPacketCursor + 24;
    EXPECT_EQ(Gfx_AddFlatQuad(0, 0, 5, 5), 0u);
    EXPECT_EQ(Sys_ArenaReadWord(fb->smallArea), addr);
    g_pPacketEnd = end;
    Gfx_EndFrame();

    // In the small mode the depth table's memory holds the packets: refused.
    Gfx_SetFrameMode(3);
    Gfx_BeginFrame();
    const uint32_t cursor = g_pPacketCursor;
    EXPECT_EQ(Gfx_AddFlatQuad(0, 0, 5, 5), 0u);
    EXPECT_EQ(g_pPacketCursor, cursor);
    Gfx_EndFrame();
    Gfx_SetFrameMode(0);
}

TEST_F(FrameCycle, ScreenSizeSetsBothDisplayEnvironments)
{
    const int16_t rect[4] = {0, 0, 320, 240};
    Gfx_SetScreenSize(rect);
    for (FRAMEBUFFER *fb : g_apFrameBuffers) {
        const DISPENV &e = fb->disp;
        EXPECT_EQ(std::vector<int>(e.display, e.display + 4), (std::vector<int>{0, 0, 320, 240}));
        EXPECT_EQ(e.screen[0], 8);
        EXPECT_EQ(e.screen[1], 20);
        EXPECT_EQ(e.screen[3], 256);
        EXPECT_EQ(e.interlace, 1);
        // The drawing clip stays empty: the frame end's draw area is built from it.
        EXPECT_EQ(std::vector<int>(fb->draw.clip, fb->draw.clip + 4), (std::vector<int>{0, 0, 0, 0}));
    }
    Gfx_SetScreenSize(nullptr);
    EXPECT_EQ(g_apFrameBuffers[1]->disp.display[2], 320);
}
