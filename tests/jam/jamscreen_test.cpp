// The jam screen: its button states, hotspot edges, dial knob, octave buttons, log rows, and a
// single-player jam driven with the mouse (template, riff key, pads, dial, pop-ups, page menu)
// checked against a golden picture.
#include "jamfixture.h"

#include "../editors/goldenpng.h"

#include "app/mainwindow.h"
#include "core/archive.h"
#include "core/fixmath.h"
#include "jam/jamplay.h"
#include "jam/jamscreen.h"
#include "jam/jamsound.h"
#include "jam/jamtemplates.h"
#include "jam/netsession.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/popup.h"
#include "ui/toolbar.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace jamtest {
namespace {

// ---- Without a studio ----

TEST(JamScreenButtons, StatesFollowTheBlock)
{
    JAMPLAYER p{};
    p.auRiffKey[1] = Jam_KeyWord(0x010101, 0); // assigned, off
    p.auRiffKey[2] = Jam_KeyWord(0x010102, 1); // on, not latched
    p.auRiffKey[3] = Jam_KeyWord(0x010103, 1); // on and latched
    p.auRiffLatch[3] = 1;
    p.auRiffKey[4] = Jam_KeyWord(0, 1);        // an on bit without a part
    p.auPad[0] = Jam_KeyWord(0x010101, 0);
    p.auPad[1] = Jam_KeyWord(0x010101, 1);
    p.aKeyboard[1].uHeld = 1u << 16 | 1u;
    struct Case
    {
        const char *what;
        int32_t got, want;
    } cases[] = {
        {"empty riff key", Jam_RiffKeyButtonState(p, 0, 0), 0},
        {"assigned riff key", Jam_RiffKeyButtonState(p, 1, 0), 1},
        {"riff key on", Jam_RiffKeyButtonState(p, 2, 3), 2},
        {"latched on the beat", Jam_RiffKeyButtonState(p, 3, 8), 2},
        {"latched off the beat", Jam_RiffKeyButtonState(p, 3, 9), 1},
        {"on bit without part", Jam_RiffKeyButtonState(p, 4, 0), 0},
        {"riff key out of range", Jam_RiffKeyButtonState(p, 12, 0), 0},
        {"pad assigned", Jam_PadButtonState(p, 0), 1},
        {"pad held", Jam_PadButtonState(p, 1), 2},
        {"pad empty", Jam_PadButtonState(p, 2), 0},
        {"pad out of range", Jam_PadButtonState(p, 9), 0},
        {"key up", Jam_KeyboardButtonState(p, 1, 5), 1},
        {"lowest key held", Jam_KeyboardButtonState(p, 1, 0), 2},
        {"highest key held", Jam_KeyboardButtonState(p, 1, 16), 2},
        {"other keyboard", Jam_KeyboardButtonState(p, 0, 0), 1},
        {"key out of range", Jam_KeyboardButtonState(p, 1, 17), 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(JamScreenButtons, ListsEndAtTheirTerminatorWithTheirSizes)
{
    const struct
    {
        int32_t list, count, originX;
    } lists[] = {{JAM_LIST_RIFFS, 12, 0}, {JAM_LIST_PADS, 9, 0}, {JAM_LIST_KEYBOARD0, 17, 0}, {JAM_LIST_KEYBOARD1, 17, 396}};
    for (const auto &l : lists) {
        int32_t ox = -1, oy = -1;
        const JAMBUTTON *b = Jam_ButtonList(l.list, &ox, &oy);
        int32_t n = 0;
        while (b[n].iState != JAM_BUTTON_END)
            ++n;
        EXPECT_EQ(n, l.count) << l.list;
        EXPECT_EQ(ox, l.originX) << l.list;
        EXPECT_EQ(b[n].iY, 0);
    }
    // Keyboard 1 ends where the screen ends.
    int32_t ox = 0;
    const JAMBUTTON *k = Jam_ButtonList(JAM_LIST_KEYBOARD1, &ox, nullptr);
    EXPECT_EQ(ox + k[16].iX, 586);
}

TEST(JamScreenMouse, HotspotEdgesAreExclusive)
{
    const JAMHOTSPOT s{100, 50, 20, 10, nullptr, JAM_TRIGGER_LEFT, 0, 0};
    const struct
    {
        int32_t x, y;
        bool inside;
    } cases[] = {
        {99, 55, false}, {100, 55, true}, {122, 55, true}, {123, 55, false},
        {110, 49, false}, {110, 50, true}, {110, 59, true}, {110, 60, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Jam_HotspotContains(s, c.x, c.y), c.inside) << c.x << "," << c.y;
}

TEST(JamScreenMouse, TableHasTheTwoEmptyLeadersAndEveryPart)
{
    const JAMHOTSPOT *t = Jam_Hotspots();
    EXPECT_EQ(t[0].pfnHandler, nullptr);
    EXPECT_EQ(t[1].pfnHandler, nullptr);
    int32_t n = 0, riffRight = 0, padLeft = 0;
    for (; t[n].iX != -1; ++n) {
        riffRight += t[n].iY == 8 && t[n].iTrigger == JAM_TRIGGER_RIGHT;
        padLeft += t[n].iY == 97 && t[n].iTrigger == JAM_TRIGGER_LEFT;
    }
    EXPECT_EQ(n, 2 + 1 + 4 + 4 + 4 + 1 + 2 + 2 + 1 + 1 + 2 + 2 + 24 + 18);
    EXPECT_EQ(riffRight, 12);
    EXPECT_EQ(padLeft, 9);
}

TEST(JamScreenDial, KnobGoesRoundTheFace)
{
    Sys_BuildSineTable();
    // a = (position + 128) x 16 of a 4096-step turn; the knob moves ten pixels from (381, 169).
    const struct
    {
        int32_t position, x, y;
    } cases[] = {{0, 381, 159}, {64, 371, 169}, {128, 381, 179}, {192, 391, 169}};
    for (const auto &c : cases) {
        int32_t x = 0, y = 0;
        Jam_DialKnobPosition(c.position, &x, &y);
        EXPECT_EQ(x, c.x) << c.position;
        EXPECT_EQ(y, c.y) << c.position;
    }
    // Every position keeps the 10 x 10 knob on the 48 x 48 face at (362, 150).
    for (int32_t pos = 0; pos < 256; ++pos) {
        int32_t x = 0, y = 0;
        Jam_DialKnobPosition(pos, &x, &y);
        EXPECT_TRUE(x >= 362 && x + 10 <= 410 && y >= 150 && y + 10 <= 198) << pos;
    }
}

TEST(JamScreenLog, RowTextServesLinesOneToThirtyOne)
{
    Jam_ClearLog();
    for (int i = 0; i < 40; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "line %d", i);
        Jam_LogLine(line);
    }
    char out[JAM_LOG_CHARS];
    const struct
    {
        int32_t row;
        const char *text;
    } cases[] = {{31, "line 39"}, {1, "line 9"}, {0, ""}, {32, ""}, {-1, ""}};
    for (const auto &c : cases) {
        Jam_LogRowText(c.row, out, sizeof out);
        EXPECT_STREQ(out, c.text) << c.row;
    }
    Jam_ClearLog();
}

// ---- A jam on the screen ----

class JamScreen : public JamStudio
{
protected:
    void SetUp() override
    {
        JamStudio::SetUp();
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        ASSERT_EQ(Content_BuildDemoSong(), 0);
        Sys_BuildSineTable();
        g_iMouseButton2 = 1;
        g_iMouseDeltaX = g_iMouseDeltaY = 0;
        // Mouse mode, the buttons up before the test.
        g_ucMouseButtons = MOUSE_MODE | MOUSE_LEFT_WAS_UP | MOUSE_RIGHT_WAS_UP;
    }
    void TearDown() override
    {
        g_iMouseButton1 = 1;
        g_iMouseButton2 = 1;
        JamStudio::TearDown();
        Sys_WadFreeBuffers();
    }
    static void PointAt(int x, int y)
    {
        g_sMouseX = int16_t(x);
        g_sMouseY = int16_t(y);
    }
    // A press on one frame and the release on the next.
    static void Click(int x, int y, bool right = false)
    {
        PointAt(x, y);
        (right ? g_iMouseButton2 : g_iMouseButton1) = 0;
        Frame();
        (right ? g_iMouseButton2 : g_iMouseButton1) = 1;
        Frame();
    }
    // The jam opens on the template list; a click on its first style's first template starts it.
    void StartWithFirstTemplate()
    {
        g_atPopupDescs[POPUP_JAM_LIST].folder = 1;
        g_atPopupDescs[POPUP_JAM_LIST].subfolder = 1;
        g_atPopupDescs[POPUP_JAM_LIST].selected = 0;
        g_atPopupDescs[POPUP_JAM_LIST].first = 0;
        Jam_StartSession();
        ASSERT_TRUE(PopupOpen(POPUP_JAM_LIST));
        ChooseFirstRow();
    }
    static JAMPLAYER &Me() { return g_JamNet.aPlayers[JAM_LOCAL_PLAYER]; }
    static bool PopupOpen(int kind)
    {
        return g_pCurrentPopup && !g_pCurrentPopup->free && g_pCurrentPopup->kind == kind;
    }
    // Clicks the first row of the open pop-up's list, then the same row again to choose it.
    static void ChooseFirstRow()
    {
        ASSERT_TRUE(g_pCurrentPopup && g_pCurrentPopup->list);
        const WIDGET &h = g_pCurrentPopup->list->head;
        const int x = g_pCurrentPopup->window->x + h.x + 20, y = g_pCurrentPopup->window->y + h.y + 4;
        // The first click may already choose (a double click of an earlier one) and close it.
        const int kind = g_pCurrentPopup->kind;
        Click(x, y);
        if (PopupOpen(kind))
            Click(x, y);
    }
};

TEST_F(JamScreen, SinglePlayerJamDrivenWithTheMouse)
{
    StartWithFirstTemplate();
    Play(100);
    ASSERT_FALSE(PopupOpen(POPUP_JAM_LIST));
    ASSERT_EQ(g_iJamStartState.load(), JAM_START_RUNNING);
    ASSERT_EQ(g_bJamKeysActive.load(), 1);
    ASSERT_NE(Jam_SlotWordOf(Me().auRiffKey[0]), 0u) << "the template gave riff key 0 nothing";

    // A right click on a riff key opens the riff library for that key, not the page menu.
    Click(70, 12, true);
    EXPECT_TRUE(PopupOpen(POPUP_RIFF_LIBRARY));
    EXPECT_EQ(g_iJamRiffKeyChoice, 0);
    EXPECT_EQ(g_bJamKeysActive.load(), 0);
    // While it is open the screen's hotspots do nothing.
    Click(90, 101);
    EXPECT_EQ(Me().uPartMask, 0u);
    Ui_ClosePopup();
    Frame();
    EXPECT_EQ(g_bJamKeysActive.load(), 1);
    EXPECT_EQ(g_iJamRiffKeyChoice, -1);

    // Pads: a click selects one, Ctrl adds another.
    Click(90, 101);
    EXPECT_EQ(Me().uPartMask & 0x7FFF, 1u << 2);
    g_bJamCtrlHeld = 1;
    Click(306, 101);
    g_bJamCtrlHeld = 0;
    EXPECT_EQ(Me().uPartMask & 0x7FFF, 1u << 2 | 1u << 6);

    // The dial: held and dragged up, the selected pads' volume goes up.
    const uint32_t before = Me().auLevel[2];
    PointAt(380, 170);
    g_iMouseButton1 = 0;
    Frame();
    g_iMouseDeltaY = -6;
    for (int i = 0; i < 5; ++i)
        Frame();
    g_iMouseDeltaY = 0;
    g_iMouseButton1 = 1;
    Frame();
    EXPECT_EQ(g_bJamDialDrag, 0);
    EXPECT_GT(Me().auLevel[2], before);
    EXPECT_EQ(Me().auLevel[6], Me().auLevel[2]);
    EXPECT_EQ(Me().auLevel[3], before) << "an unselected pad changed";

    // Octave buttons wrap both ways.
    const struct
    {
        bool right;
        uint32_t octave;
    } steps[] = {{false, 0}, {false, 1}, {true, 0}, {true, 5}};
    for (const auto &s : steps) {
        Click(190, 156, s.right);
        EXPECT_EQ(Me().aKeyboard[0].uOctave, s.octave);
    }

    // The plug-in panel's right click opens the slot list; a right click on the background the
    // page menu; both close back to a live screen.
    Click(290, 205, true);
    EXPECT_TRUE(PopupOpen(POPUP_JAM_PLUGIN_SLOT));
    Ui_ClosePopup();
    Frame();
    EXPECT_EQ(g_bJamKeysActive.load(), 1);
    Click(620, 60, true);
    EXPECT_EQ(g_sMenuPage, 28);
    EXPECT_EQ(g_bJamKeysActive.load(), 0);
    Ui_ClosePageMenu();
    Frame();
    EXPECT_EQ(g_bJamKeysActive.load(), 1);

    // Chat is refused in a single-player jam.
    Click(100, 450);
    EXPECT_EQ(g_bTextEntryActive, 0);

    // Another player's panel is not selectable when its slot is not shown.
    Click(80, 290);
    EXPECT_EQ(g_iJamSelectedPlayer, JAM_LOCAL_PLAYER);
}

TEST_F(JamScreen, GoldenPictureOfASinglePlayerJam)
{
    StartWithFirstTemplate();
    {
        std::lock_guard<std::recursive_mutex> jam(g_JamNet.Lock);
        Me().uPartMask = 1u << 3 | 1u;
        Me().aKeyboard[0].uHeld = 1u << 4 | 1u << 7;
        Me().aKeyboard[1].uOctave = 2;
    }
    PointAt(630, 470);
    for (int i = 0; i < 6; ++i)
        Frame();
    EXPECT_TRUE(MatchesGoldenPng("jam_single", "tests/jam/golden"));
}


// ---- Two players: the studio joins a scripted host on the loopback hub ----

struct QuietSound : JamActions
{
    void LoadRiffKey(uint32_t, uint32_t, uint32_t, int32_t, int32_t, uint32_t) override {}
    int32_t LoadPad(int32_t, uint32_t, uint32_t, uint32_t, int32_t, uint32_t) override { return 1; }
    void LoadKeyboard(int32_t, uint32_t, uint32_t, uint32_t, int32_t, uint32_t) override {}
    void StartPart(int32_t, int32_t) override {}
    void StopPart(int32_t, int32_t) override {}
    void LoadPlugin(int32_t, int32_t, int32_t) override {}
    void PluginInput(int32_t, int32_t, int32_t, int32_t) override {}
    void DropPlayerParts(int32_t) override {}
};

class JamScreenTwo : public JamScreen
{
protected:
    PlatNetHub hub;
    QuietSound quiet;
    JAMNET bobNet;
    NETNODE bob;
    std::vector<std::string> bobLog;

    void SetUp() override
    {
        JamScreen::SetUp();
        g_bJamSinglePlayer = 0;
        g_bNetJamImmediate = 1;
        Net_InitJamNet(&bobNet, &quiet);
        bob.pJam = &bobNet;
        bob.pHub = &hub;
        bob.iEnumTimeoutMs = 300;
        bob.LogSink = [this](const char *line) { bobLog.push_back(line); };
        Net_ResetJamState(&bob);
        g_NetNode.pHub = &hub;
        g_NetNode.iEnumTimeoutMs = 300;
    }
    void TearDown() override
    {
        if (g_bJamSessionOn)
            Jam_EndSession(1);
        Net_StopSessionA(&bob);
        Net_StopSessionB(&bob);
        g_NetNode.pHub = nullptr;
        JamScreen::TearDown();
    }
    void Settle()
    {
        for (int round = 0; round < 100; ++round) {
            int moved = hub.Pump();
            {
                std::lock_guard<std::recursive_mutex> hold(bobNet.Lock);
                moved += Net_ServiceInbox(&bob);
            }
            if (g_NetNode.pJam) {
                std::lock_guard<std::recursive_mutex> hold(g_NetNode.pJam->Lock);
                moved += Net_ServiceInbox(&g_NetNode);
            }
            if (!moved)
                return;
        }
        ADD_FAILURE() << "traffic never settled";
    }
    static bool InLog(const std::string &line)
    {
        for (const auto &l : g_aszJamLog)
            if (line == l)
                return true;
        return false;
    }
};

TEST_F(JamScreenTwo, BobsPanelAndChatReachTheOtherPlayer)
{
    // Bob hosts and plays in his own session; the studio's jam then joins it as Alice.
    ASSERT_EQ(Net_StartSessionB(&bob, NET_MODE_LAN), 0);
    ASSERT_EQ(Net_StartSessionA(&bob, NET_MODE_LAN), 0);
    ASSERT_EQ(Net_CreatePlayer(&bob, -1, "Bob"), 0);
    Settle();
    Jam_StartSession();
    Ui_ClosePopup(); // no template: the jam starts with empty parts
    ASSERT_EQ(Net_StartSessionA(&g_NetNode, NET_MODE_LAN), 0);
    ASSERT_GE(Net_EnumSessions(&g_NetNode), 1);
    ASSERT_EQ(Net_CreatePlayer(&g_NetNode, 1, "Alice"), 0);
    Settle();
    Play(100);
    Settle();
    const int32_t bobSlot = bobNet.iNetMySlot, aliceSlot = g_JamNet.iNetMySlot;
    ASSERT_NE(bobSlot, aliceSlot);
    EXPECT_STREQ(g_JamNet.aSlotNames[bobSlot].szName, "Bob");
    EXPECT_TRUE(InLog("Bob has entered the jam session") || InLog("Alice has entered the jam session"));

    ASSERT_EQ(g_bJamKeysActive.load(), 1);
    // Bob's panel can be shown; the own one cannot; a left click anywhere goes back to Alice's.
    const int32_t panelX[4] = {43, 196, 349, 502};
    Click(panelX[aliceSlot] + 40, 290);
    EXPECT_EQ(g_iJamSelectedPlayer, JAM_LOCAL_PLAYER);
    Click(panelX[bobSlot] + 40, 290);
    EXPECT_EQ(g_iJamSelectedPlayer, bobSlot);
    Click(600, 130);
    EXPECT_EQ(g_iJamSelectedPlayer, JAM_LOCAL_PLAYER);

    // Alice clicks the chat line, types and presses Enter: the line reaches Bob and her own log.
    Click(100, 450);
    ASSERT_EQ(g_bTextEntryActive, 1);
    EXPECT_EQ(g_bJamKeyboardInput.load(), 0);
    std::snprintf(g_szTextEntry, sizeof g_szTextEntry, "%s", "hello");
    g_pfnTextEntryChanged();
    Frame();
    g_pfnTextEntryEnter();
    EXPECT_EQ(g_bJamKeyboardInput.load(), 1);
    EXPECT_STREQ(g_szJamChatLine, "");
    Settle();
    EXPECT_NE(std::find(bobLog.begin(), bobLog.end(), "<Alice> hello"), bobLog.end());
    EXPECT_TRUE(InLog("<Alice> hello"));

    // And Bob's line reaches Alice's log.
    ASSERT_EQ(Net_SendText(&bob, "<Bob> hi", -1), 0);
    Settle();
    EXPECT_TRUE(InLog("<Bob> hi"));

    // A chat line half typed is shown on the screen.
    Click(100, 450);
    std::snprintf(g_szTextEntry, sizeof g_szTextEntry, "%s", "see you");
    g_pfnTextEntryChanged();
    PointAt(630, 470);
    for (int i = 0; i < 4; ++i)
        Frame();
    EXPECT_TRUE(MatchesGoldenPng("jam_two_players", "tests/jam/golden"));
    g_pfnTextEntryEscape();
    EXPECT_STREQ(g_szJamChatLine, "");
}

} // namespace
} // namespace jamtest
