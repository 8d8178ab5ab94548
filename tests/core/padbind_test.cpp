#include "core/padbind.h"
#include "core/console_memory.h"
#include "editors/jukebox.h"
#include "ui/msgbox.h"
#include "ui/widgets.h"
#include "video/engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "sequencer/playback.h"

namespace
{
std::string g_log;

void ActA() { g_log += 'A'; }
void ActB() { g_log += 'B'; }
void ActC() { g_log += 'C'; }
void ActNext() // asks for screen 1
{
    g_log += 'N';
    g_iNextScreen = 1;
}

// "0 9" -> pad word with slots 0 and 9 down (active low).
uint16_t Down(const std::string &slots)
{
    uint16_t word = 0xFFFF;
    std::istringstream in(slots);
    int slot;
    while (in >> slot)
        word = uint16_t(word & ~(1u << slot));
    return word;
}

struct Bind
{
    uint16_t screen;
    uint8_t slot;
    PADACTION action;
    uint16_t flags;
};

struct DispatchCase
{
    const char *name;
    std::vector<Bind> binds;
    std::vector<std::string> frames; // slots down in each frame
    std::vector<std::string> runs;   // actions run in each frame
};

class PadBind : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Sys_PadClearBindings();
        g_iScreen = 0;
        g_wPadWorkButtons = 0xFFFF;
        g_log.clear();
    }
};

TEST_F(PadBind, DispatchFrameSequences)
{
    const std::vector<DispatchCase> cases = {
        {"press fires once", {{0, 14, ActA, BIND_ON_PRESS}},
         {"", "14", "14", "14", "", "14"}, {"", "A", "", "", "", "A"}},
        {"hold fires every frame", {{0, 14, ActA, BIND_WHILE_HELD}},
         {"", "14", "14", "", "14"}, {"", "A", "A", "", "A"}},
        {"release fires on the first frame up", {{0, 14, ActA, BIND_ON_RELEASE}},
         {"14", "14", "", "", "14", ""}, {"", "", "A", "", "", "A"}},
        {"held non-direction slot blocks higher slots but not directions",
         {{0, 0, ActA, BIND_ON_PRESS}, {0, 9, ActB, BIND_ON_PRESS}, {0, 5, ActC, BIND_ON_PRESS}},
         {"0 9 5"}, {"AC"}},
        {"a held press slot keeps blocking after it fired",
         {{0, 0, ActA, BIND_ON_PRESS}, {0, 9, ActB, BIND_ON_PRESS}},
         {"0", "0 9", "9"}, {"A", "", ""}},
        {"only the lowest held slot blocks",
         {{0, 12, ActA, BIND_WHILE_HELD}, {0, 9, ActB, BIND_WHILE_HELD}},
         {"9 12", "12"}, {"B", "A"}},
        {"direction slots never block",
         {{0, 4, ActA, BIND_WHILE_HELD}, {0, 8, ActB, BIND_WHILE_HELD}},
         {"4 8"}, {"AB"}},
        {"release held under a block waits until the button is up",
         {{0, 0, ActA, BIND_WHILE_HELD}, {0, 9, ActB, BIND_ON_RELEASE}},
         {"9", "0 9", "0 9", "0", ""}, {"", "A", "A", "AB", ""}},
        {"raw cells run nothing but still block",
         {{0, 15, ActA, BIND_ON_PRESS}, {0, 3, nullptr, BIND_ON_PRESS},
          {0, 10, nullptr, BIND_WHILE_HELD}, {0, 11, nullptr, BIND_ON_RELEASE}},
         {"3 15", "10", "11", "", "15"}, {"", "", "", "", "A"}},
        {"next screen applies after the sixteen slots",
         {{0, 5, ActNext, BIND_ON_PRESS}, {0, 6, ActA, BIND_ON_PRESS}, {1, 6, ActB, BIND_ON_PRESS},
          {1, 7, ActC, BIND_WHILE_HELD}},
         {"5 6 7", "6 7", "", "6"}, {"NA", "C", "", "B"}},
    };
    for (const DispatchCase &c : cases)
    {
        SCOPED_TRACE(c.name);
        SetUp();
        for (const Bind &b : c.binds)
            ASSERT_EQ(Sys_PadBind(b.screen, b.slot, b.action, b.flags), 0);
        ASSERT_EQ(c.frames.size(), c.runs.size());
        for (size_t f = 0; f < c.frames.size(); ++f)
        {
            g_log.clear();
            g_wPadWorkButtons = Down(c.frames[f]);
            Sys_PadDispatch();
            EXPECT_EQ(g_log, c.runs[f]) << "frame " << f;
        }
    }
}

TEST_F(PadBind, ScreenChangeTakesEffectAtTheEndOfTheDispatch)
{
    ASSERT_EQ(Sys_PadBind(0, 5, ActNext, BIND_ON_PRESS), 0);
    g_wPadWorkButtons = Down("5");
    Sys_PadDispatch();
    EXPECT_EQ(g_iScreen, 1);
    EXPECT_EQ(g_iNextScreen, -1);
    EXPECT_EQ(g_wPadPrevButtons, Down("5"));
}

TEST_F(PadBind, ScreenOutsideTheGridDispatchesNothing)
{
    ASSERT_EQ(Sys_PadBind(0, 14, ActA, BIND_WHILE_HELD), 0);
    for (int screen : {-1, 80, 1000})
    {
        g_iScreen = screen;
        g_wPadWorkButtons = Down("14");
        Sys_PadDispatch();
        EXPECT_EQ(g_log, "");
        EXPECT_EQ(g_wPadPrevButtons, Down("14"));
    }
}

TEST_F(PadBind, SameActionStoredOnce)
{
    ASSERT_EQ(Sys_PadBind(0, 14, ActA, BIND_ON_PRESS), 0);
    ASSERT_EQ(Sys_PadBind(7, 3, ActA, BIND_ON_RELEASE), 0);
    ASSERT_EQ(Sys_PadBind(7, 4, ActB, BIND_WHILE_HELD), 0);
    EXPECT_EQ(g_nPadActions, 2);
    EXPECT_EQ(g_PadBindings.auCell[0][14], 0x2000);
    EXPECT_EQ(g_PadBindings.auCell[7][3], 0x6000);
    EXPECT_EQ(g_PadBindings.auCell[7][4], 0x4001);
}

TEST_F(PadBind, CellValues)
{
    struct
    {
        PADACTION action;
        uint16_t flags;
        uint16_t cell;
    } const cases[] = {
        {nullptr, BIND_ON_PRESS, 0xA000},
        {nullptr, 0x6012, 0xE012},
        {nullptr, 0x0034, 0x8034},
        {ActA, BIND_WHILE_HELD, 0x4000},
        {ActA, 0x2005, 0x2000}, // stray low bits must not name another action
    };
    for (const auto &c : cases)
    {
        ASSERT_EQ(Sys_PadBind(2, 9, c.action, c.flags), 0);
        EXPECT_EQ(g_PadBindings.auCell[2][9], c.cell) << std::hex << c.flags;
    }
}

TEST_F(PadBind, RefusesBindingsOutsideTheGrid)
{
    ASSERT_EQ(Sys_PadBind(79, 15, ActA, BIND_ON_PRESS), 0);
    EXPECT_EQ(Sys_PadBind(80, 0, ActB, BIND_ON_PRESS), -1);
    EXPECT_EQ(Sys_PadBind(0xFFFF, 0, nullptr, BIND_ON_PRESS), -1);
    EXPECT_EQ(Sys_PadBind(0, 16, ActB, BIND_ON_PRESS), -1);
    EXPECT_EQ(Sys_PadBind(0, 255, nullptr, BIND_ON_PRESS), -1);
    EXPECT_EQ(g_nPadActions, 1);

    // Fill the action list to its limit, then one more distinct action is refused.
    static void (*const kMany[])() = {
#define A10(n) []{}, []{}, []{}, []{}, []{}, []{}, []{}, []{}, []{}, []{}
        A10(0), A10(1), A10(2), A10(3), A10(4), A10(5), A10(6), A10(7), A10(8), A10(9),
        A10(10), A10(11), A10(12), A10(13), A10(14), A10(15), A10(16), A10(17), A10(18), A10(19),
        A10(20), A10(21), A10(22), A10(23), A10(24),
#undef A10
    };
    static_assert(std::size(kMany) == PAD_MAX_ACTIONS);
    for (size_t i = 0; i + 1 < std::size(kMany); ++i)
        ASSERT_EQ(Sys_PadBind(uint16_t(i % 80), uint8_t(i % 16), kMany[i], BIND_ON_PRESS), 0) << i;
    EXPECT_EQ(g_nPadActions, PAD_MAX_ACTIONS);
    const uint16_t before = g_PadBindings.auCell[5][5];
    EXPECT_EQ(Sys_PadBind(5, 5, kMany[249], BIND_ON_PRESS), -1);
    EXPECT_EQ(g_PadBindings.auCell[5][5], before);
    EXPECT_EQ(g_nPadActions, PAD_MAX_ACTIONS);
    // Known actions and raw cells still bind when the list is full.
    EXPECT_EQ(Sys_PadBind(5, 5, ActA, BIND_ON_PRESS), 0);
    EXPECT_EQ(Sys_PadBind(5, 6, nullptr, BIND_ON_PRESS), 0);
}

TEST_F(PadBind, ClearResetsTheDispatcher)
{
    ASSERT_EQ(Sys_PadBind(3, 3, ActA, BIND_ON_PRESS), 0);
    g_wPadPrevButtons = 0x1234;
    g_iNextScreen = 9;
    uint16_t other = 0;
    g_pPadButtons = &other;
    Sys_PadClearBindings();
    EXPECT_EQ(g_nPadActions, 0);
    EXPECT_EQ(g_PadBindings.auCell[3][3], 0);
    EXPECT_EQ(g_wPadPrevButtons, 0xFFFF);
    EXPECT_EQ(g_iNextScreen, -1);
    EXPECT_EQ(g_pPadButtons, &g_wPadWorkButtons);
}

// --- overlays

std::string g_overlayLog;
void Enter0() { g_overlayLog += "+0"; }
void Leave0() { g_overlayLog += "-0"; }
void Enter3() { g_overlayLog += "+3"; }
void Leave3() { g_overlayLog += "-3"; }

TEST(Overlay, SwitchRunsLeaveThenEnterOnlyOnChange)
{
    OVERLAY saved[OVERLAY_COUNT];
    std::memcpy(saved, OVERLAYS, sizeof saved);
    OVERLAYS[0].pfnEnter = Enter0, OVERLAYS[0].pfnLeave = Leave0;
    OVERLAYS[3].pfnEnter = Enter3, OVERLAYS[3].pfnLeave = Leave3;
    g_iCurrentOverlay = -1;

    struct
    {
        int32_t id;
        const char *log;
        int32_t current;
    } const steps[] = {
        {3, "+3", 3}, {3, "", 3},     {0, "-3+0", 0}, {1, "-0", 1}, {2, "", 2},
        {4, "", 2},   {-2, "", 2},    {3, "+3", 3},   {-1, "-3", -1},
    };
    for (const auto &s : steps)
    {
        g_overlayLog.clear();
        Sys_SwitchOverlay(s.id);
        EXPECT_EQ(g_overlayLog, s.log) << "switch to " << s.id;
        EXPECT_EQ(g_iCurrentOverlay, s.current) << "switch to " << s.id;
    }
    std::memcpy(OVERLAYS, saved, sizeof saved);
    EXPECT_STREQ(OVERLAYS[3].pszFile, "overlays\\other.bin");
}

// --- removed pad

struct RemovedCase
{
    const char *name;
    int32_t screen;
    int32_t nextScreen;
    uint8_t playing;
    uint8_t fullScreen;
    bool box;
    const char *text;
    uint8_t flagBit2;
    int16_t savedScreen;
    uint8_t playingAfter;
};

TEST(PadRemoved, OpensOneBoxAfterFivePolls)
{
    g_apszText[454] = "The pad is gone.";
    const RemovedCase cases[] = {
        {"literal text on screen 57", 57, -1, 0, 0, true, "Controller removed.", 0, 57, 0},
        {"language text elsewhere", 3, -1, 0, 0, true, "The pad is gone.", 0, 3, 0},
        {"grid playback stops with flag", 4, 12, 255, 0, true, "The pad is gone.", 4, 12, 0},
        {"screen 58 like 4", 58, -1, 255, 0, true, "The pad is gone.", 4, 58, 0},
        {"screen 5 without flag", 5, 20, 255, 0, true, "The pad is gone.", 0, 20, 0},
        {"other screens stop the song", 10, -1, 255, 0, true, "The pad is gone.", 0, 10, 0},
        {"riff preview stops too", 10, -1, 0xFE, 0, true, "The pad is gone.", 0, 10, 0},
        {"no box over full-screen video", 3, -1, 255, 1, false, nullptr, 0, 0, 255},
    };
    for (const RemovedCase &c : cases)
    {
        SCOPED_TRACE(c.name);
        Sys_PadClearBindings();
        Ui_InitWidgetPools();
        Ui_ResetMessageBoxes();
        g_ucPadMissingCount = 0;
        g_iScreen = c.screen;
        g_iNextScreen = c.nextScreen;
        g_bSongPlaying = c.playing;
        g_ucFullScreenVideo = c.fullScreen;
        g_iFrameCount = 321;
        for (int poll = 0; poll < 5; ++poll)
        {
            Sys_PadCheckRemoved();
            EXPECT_EQ(g_pPadRemovedBox, nullptr);
        }
        EXPECT_EQ(g_iAttractLastActivity, 321);
        Sys_PadCheckRemoved();
        MSGBOX *box = g_pPadRemovedBox;
        EXPECT_EQ(box != nullptr, c.box);
        EXPECT_EQ(g_bSongPlaying, c.playingAfter);
        if (box)
        {
            EXPECT_STREQ(box->pszText, c.text);
            EXPECT_EQ(box->ucFlags & 4, c.flagBit2);
            EXPECT_EQ(box->sSavedScreen, c.savedScreen);
            // A box already open is not opened again.
            g_bSongPlaying = 255;
            Sys_PadCheckRemoved();
            EXPECT_EQ(g_pPadRemovedBox, box);
            EXPECT_EQ(g_bSongPlaying, 255);
        }
    }
    g_ucFullScreenVideo = 0;
    g_bSongPlaying = 0;
    g_iScreen = 0;
    Sys_PadClearBindings();
}

// --- colour ramp

struct RampCase
{
    const char *name;
    uint8_t c1[3], c2[3], c3[3];
    int32_t s1, s2, s3, start;
    std::vector<std::pair<int, uint16_t>> expect; // index, value
};

TEST(ColourRamp, GoldenTables)
{
    const uint16_t W = 0x7FFF, WT = 0xFFFF; // white, white in a later segment
    const std::vector<RampCase> cases = {
        {"one colour fills the ring", {255, 128, 8}, {1, 2, 3}, {4, 5, 6}, 1, 0, 0, 77,
         {{0, 1567}, {77, 1567}, {255, 1567}}},
        {"one colour left after zero shares shift down", {9, 9, 9}, {255, 128, 8}, {1, 2, 3}, 0, 5, 0,
         0, {{0, 1567}, {200, 1567}}},
        {"third colour alone", {9, 9, 9}, {1, 2, 3}, {255, 128, 8}, 0, 0, 3, 0, {{0, 1567}, {13, 1567}}},
        {"negative shares count as none", {255, 128, 8}, {1, 2, 3}, {4, 5, 6}, 1, -1, 0, 0,
         {{0, 1567}, {255, 1567}}},
        {"no colour gives zeros", {255, 255, 255}, {255, 255, 255}, {0, 0, 0}, 0, 0, 0, 5,
         {{0, 0}, {5, 0}, {255, 0}}},
        // Two segments of 208 go more than once round the ring: from 100 the blend survives in
        // 4..51 (entries 160..207), the second segment covers 52..255 and 0..3.
        {"two colours wrap", {0, 0, 0}, {255, 255, 255}, {0, 0, 0}, 1, 1, 0, 100,
         {{3, WT}, {4, 25368}, {51, W}, {52, WT}, {99, WT}, {100, WT}, {255, WT}, {0, WT}}},
        // 33/33/34 gives 85 + 86 + 86 = 257, so the ring's start is written twice.
        {"three colours from 250", {0, 0, 0}, {255, 255, 255}, {0, 0, 255}, 33, 33, 34, 250,
         {{250, WT}, {251, 0}, {0, 2114}, {77, W}, {78, W}, {79, WT}, {164, WT}, {165, WT}, {249, WT}}},
    };
    for (const RampCase &c : cases)
    {
        SCOPED_TRACE(c.name);
        uint16_t out[256];
        std::fill(std::begin(out), std::end(out), 0x1234);
        Sys_GradientColourAt(c.c1, c.c2, c.c3, c.s1, c.s2, c.s3, c.start, out);
        for (auto [index, value] : c.expect)
            EXPECT_EQ(out[index], value) << "index " << index;
        EXPECT_EQ(std::count(std::begin(out), std::end(out), 0x1234), 0);
    }
}

TEST(ColourRamp, StartOutsideTheRingWritesNothing)
{
    const uint8_t c[3] = {255, 255, 255};
    for (int start : {-1, 256, 100000})
    {
        uint16_t out[256];
        std::fill(std::begin(out), std::end(out), 0x1234);
        Sys_GradientColourAt(c, c, c, 1, 1, 1, start, out);
        EXPECT_EQ(std::count(std::begin(out), std::end(out), 0x1234), 256) << start;
    }
    Sys_GradientColourAt(c, c, c, 1, 1, 1, 0, nullptr);
}

TEST(ColourRamp, SegmentLengthsFollowTheShares)
{
    // Percentages: 30/30/40 -> 77 blended entries, then 90 + 90 of the last colour.
    const uint8_t black[3] = {0, 0, 0}, white[3] = {255, 255, 255};
    uint16_t out[256];
    Sys_GradientColourAt(black, white, black, 30, 30, 40, 0, out);
    // 257 entries in all: entry 0 is rewritten by the last segment.
    EXPECT_EQ(out[0], 0xFFFF);
    EXPECT_EQ(out[76], 0x7FFF);
    EXPECT_EQ(std::count(std::begin(out), std::end(out), uint16_t(0xFFFF)), 180);
    // Huge shares do not overflow.
    Sys_GradientColourAt(black, white, black, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0, out);
    EXPECT_EQ(out[84], 0x7FFF);
}
} // namespace
