// The editor windows' click handlers, each through the mouse layer's routing of a press, hold or
// release on its window: the index the hit map gives reaches the editor's own action. And the
// hover steps of the grid screens that carry a block.
#include "ui_fixture.h"

#include "app/calllog.h"
#include "audio/sampleedit.h"
#include "editors/cdscreen.h"
#include "editors/filescreen.h"
#include "editors/songlanes.h"
#include "platform/clock.h"
#include "sequencer/songmodel.h"
#include "ui/clickactions.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/barmouse.h"
#include "ui/hover.h"
#include "ui/iconpicker.h"
#include "ui/samplepanel.h"
#include "ui/view.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

namespace {

using uitest::UiTest;

class ClickActions : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        Sys_CallLogEnable(true);
        g_ucMouseButtons |= MOUSE_MODE;
    }
    void TearDown() override
    {
        g_tKeyDialog = KEYDIALOG{};
        g_pSampleEditWindow = nullptr;
        g_bSamplePanelReady = 0;
        g_iSampleLength = 0;
        g_iSampleViewStart = g_iSampleViewEnd = 0;
        g_ucCdCursor = 2;
        g_bCdCursorLatched = 0;
        g_ucMouseButtons &= uint8_t(~MOUSE_MODE);
        Sys_CallLogEnable(false);
        UiTest::TearDown();
    }
    static WINDOW *Open(int x, int y, int w, int h)
    {
        WINDOWDESC d{};
        d.x = uint16_t(x);
        d.y = uint16_t(y);
        d.w = uint16_t(w);
        d.h = uint16_t(h);
        return Ui_OpenWindow(&d);
    }
    // A sample of 2320 frames shown whole: ten frames a pixel. Cursor at 0, area 20..30, no loop.
    static void SetMarkerView()
    {
        g_iSampleLength = 2320;
        g_iSampleViewStart = 0;
        g_iSampleViewEnd = 2320;
        const int32_t px[4] = {0, 20, 30, 0};
        for (int m = 0; m < 4; m++) {
            g_aiSampleMarkerPx[m] = px[m];
            g_aiSampleMarkerPos[m] = Ui_SamplePosOfPixel(px[m]);
        }
        g_cSampleMarker = SAMPLEMARK_CURSOR;
        g_bSampleLoopPresent = 0;
    }
    static int Logged(const char *name)
    {
        const auto &log = Sys_CallLogGet();
        return int(std::count(log.begin(), log.end(), std::string(name)));
    }
    // The pointer at (dx, dy) in the window, then the event as the mouse layer routes it.
    static void Event(WINDOW *w, int dx, int dy, int32_t event)
    {
        g_sMouseX = int16_t(w->x + dx);
        g_sMouseY = int16_t(w->y + dy);
        Ui_SetFocus(w);
        switch (event) {
        case UI_CLICK_PRESS: Ui_MouseLeftPress(w); break;
        case UI_CLICK_HELD: Ui_MouseLeftHeld(w); break;
        default: Ui_MouseLeftRelease(w); break;
        }
    }
};

// One row per handler: the window's role, the screen it answers on, where the pointer presses, and
// what the editor then shows.
TEST_F(ClickActions, EachWindowsClickReachesItsEditorsAction)
{
    struct CASE
    {
        const char *name;
        int32_t role, screen;
        int dx, dy;
        std::function<void(WINDOW *)> before;
        std::function<void()> check;
    };
    const CASE cases[] = {
        {"file browser: a button of the lower row is focused and pressed", UI_ROLE_FILE_BROWSER, 11, 66, 240,
         [](WINDOW *) {},
         [] { EXPECT_EQ(Logged("Ed_FileBrowserAccept"), 1); }},
        {"slot dialog: the sixth key is chosen and accepted", UI_ROLE_SLOT_DIALOG, SCREEN_KEY_DIALOG, 6 + 16 * 5 + 3, 30,
         [](WINDOW *w) {
             g_tKeyDialog.window = w;
             g_tKeyDialog.slot = 0;
             g_tKeyDialog.target = 0;
         },
         [] { EXPECT_EQ(g_tKeyDialog.slot, 5); }},
        {"slot dialog: the scale row steps the scale", UI_ROLE_SLOT_DIALOG, SCREEN_KEY_DIALOG, 100, 50,
         [](WINDOW *w) {
             g_tKeyDialog.window = w;
             g_tKeyDialog.slot = 2;
             g_tKeyDialog.scale = 0;
         },
         [] {
             EXPECT_EQ(g_tKeyDialog.slot, ED_KEY_SLOTS);
             EXPECT_EQ(g_tKeyDialog.scale, 1);
         }},
        {"chase editor: a parameter row is taken to its value screen", UI_ROLE_CHASE_EDITOR, 35, 150, 46 + 12 * 2 + 3,
         [](WINDOW *) {},
         [] {
             EXPECT_EQ(g_iNextScreen, 36);
             EXPECT_EQ(Logged("Ed_ChaseEditorAction"), 1);
         }},
        {"chase editor: the strip's first parameter", UI_ROLE_CHASE_EDITOR, 35, 20, 165, [](WINDOW *) {},
         [] { EXPECT_EQ(g_iNextScreen, 37); }},
        {"chase editor: the strip's level", UI_ROLE_CHASE_EDITOR, 35, 100, 165, [](WINDOW *) {},
         [] {
             EXPECT_EQ(g_iNextScreen, -1);
             EXPECT_EQ(Logged("Ed_ChaseEditorAction"), 1);
         }},
        {"chase editor: a colour slider's down arrow", UI_ROLE_CHASE_EDITOR, 35, 20, 105, [](WINDOW *) {},
         [] { EXPECT_EQ(Logged("Ed_ChaseEditorAction"), 1); }},
        {"CD screen: fast forward latches", UI_ROLE_CD_SCREEN, 54, 200 - 105 + 320 - 200 + 6 * 21 + 5 - 0, 0,
         [](WINDOW *) {},
         [] {
             EXPECT_EQ(g_ucCdCursor, 6);
             EXPECT_EQ(g_bCdCursorLatched, 1);
             EXPECT_EQ(Logged("Ed_CdTransportAction"), 1);
         }},
    };
    for (const CASE &c : cases) {
        SCOPED_TRACE(c.name);
        Sys_CallLogClear();
        WINDOW *w = Open(200, 40, 360, 290);
        ASSERT_NE(w, nullptr);
        Ui_SetWindowRole(c.role, w, nullptr);
        ASSERT_NE(g_atWindowRoles[c.role].click, nullptr) << "the role's own click map";
        c.before(w);
        g_iScreen = c.screen;
        g_iNextScreen = -1;
        int dy = c.dy;
        if (c.role == UI_ROLE_CD_SCREEN)
            dy = 97 + 480 / 2 + 3; // the transport row, centred on the screen
        Event(w, c.dx, dy, UI_CLICK_PRESS);
        c.check();
        Ui_SetWindowRole(c.role, nullptr, nullptr);
        Ui_CloseWindow(w);
        Walk();
        Walk();
        Walk();
    }
}

// A latched rewind or fast forward runs on until any release, then the cursor rests on play.
TEST_F(ClickActions, CdRewindRunsUntilAnyRelease)
{
    WINDOW *w = Open(100, 40, 300, 200);
    ASSERT_NE(w, nullptr);
    Ui_SetWindowRole(UI_ROLE_CD_SCREEN, w, nullptr);
    g_iScreen = 54;
    const int rowX = -105 + 320 + 21 + 5, rowY = 97 + 240 + 3;
    Event(w, rowX, rowY, UI_CLICK_PRESS);
    EXPECT_EQ(g_ucCdCursor, 1);
    EXPECT_EQ(g_bCdCursorLatched, 1);
    Event(w, 2, 2, UI_CLICK_RELEASE); // away from the row
    EXPECT_EQ(g_ucCdCursor, 2);
    EXPECT_EQ(g_bCdCursorLatched, 0);
    Event(w, rowX + 21 * 3, rowY, UI_CLICK_PRESS); // stop: no latch
    EXPECT_EQ(g_ucCdCursor, 4);
    EXPECT_EQ(g_bCdCursorLatched, 0);
    Ui_SetWindowRole(UI_ROLE_CD_SCREEN, nullptr, nullptr);
}

// The sample editor's wave: a press puts the cursor there, a drag marks an area from it (the ends
// swapping when the pointer goes back past the start), the release puts the cursor on the area's
// start; two presses less than 400 ms apart mark the whole view, 400 ms apart do not.
TEST_F(ClickActions, SampleWavePressDragAndDoublePress)
{
    WINDOW *w = Open(156, 182, 328, 155);
    ASSERT_NE(w, nullptr);
    g_pSampleEditWindow = w;
    g_bSamplePanelReady = 1;
    Ui_SetWindowRole(UI_ROLE_SAMPLE_EDITOR, w, nullptr);
    g_iScreen = SCREEN_SAMPLEEDIT;
    Plat_ManualClockSet(10'000'000);
    SetMarkerView();
    Event(w, 27 + 100, 60, UI_CLICK_PRESS);
    EXPECT_EQ(g_cSampleMarker, SAMPLEMARK_CURSOR);
    EXPECT_EQ(g_aiSampleMarkerPx[SAMPLEMARK_CURSOR], 100);
    Event(w, 27 + 140, 60, UI_CLICK_HELD);
    EXPECT_EQ(g_aiSampleMarkerPx[SAMPLEMARK_START], 100);
    EXPECT_EQ(g_aiSampleMarkerPx[SAMPLEMARK_END], 140);
    EXPECT_EQ(g_cSampleMarker, SAMPLEMARK_END);
    Event(w, 27 + 60, 60, UI_CLICK_HELD);
    EXPECT_EQ(g_aiSampleMarkerPx[SAMPLEMARK_START], 60) << "the ends swap";
    EXPECT_EQ(g_aiSampleMarkerPx[SAMPLEMARK_END], 100);
    EXPECT_EQ(g_cSampleMarker, SAMPLEMARK_START);
    EXPECT_EQ(g_iEditSelFirst, g_aiSampleMarkerPos[SAMPLEMARK_START]);
    Event(w, 27 + 60, 60, UI_CLICK_RELEASE);
    EXPECT_EQ(g_aiSampleMarkerPx[SAMPLEMARK_CURSOR], 60);

    for (const uint32_t gap : {400u, 399u}) {
        SCOPED_TRACE(gap);
        Plat_ManualClockAdvance(1'000'000);
        SetMarkerView();
        Event(w, 27 + 10, 60, UI_CLICK_PRESS);
        Event(w, 27 + 10, 60, UI_CLICK_RELEASE);
        Plat_ManualClockAdvance(uint64_t(gap) * 1000);
        Event(w, 27 + 200, 60, UI_CLICK_PRESS);
        Event(w, 27 + 200, 60, UI_CLICK_RELEASE);
        const bool whole = gap < 400;
        EXPECT_EQ(g_aiSampleMarkerPx[SAMPLEMARK_START], whole ? 0 : 20);
        EXPECT_EQ(g_aiSampleMarkerPx[SAMPLEMARK_END], whole ? SAMPLE_VIEW_PIXELS : 30);
        EXPECT_EQ(g_aiSampleMarkerPx[SAMPLEMARK_CURSOR], 200);
    }
    // Under the caption nothing moves.
    Event(w, 27 + 50, 10, UI_CLICK_PRESS);
    EXPECT_EQ(g_aiSampleMarkerPx[SAMPLEMARK_CURSOR], 200);
    Ui_SetWindowRole(UI_ROLE_SAMPLE_EDITOR, nullptr, nullptr);
}

// Sizing a riff: the mark grows toward the pointer one step at a time, the dimension further away
// first (rows on a tie), only while the riff still fits, never past 8 bars by 12 tracks.
TEST(MarkGrowth, GrowsTowardThePointerWhileTheRiffFits)
{
    struct CASE
    {
        const char *name;
        int32_t columns, rows;
        int32_t roomBars, roomTracks; // the size the song grid has room for
        int32_t w, h;
    };
    const CASE cases[] = {
        {"on the start cell", 0, 0, 8, 12, 0, 0},
        {"left of and above the start", -3, -2, 8, 12, 0, 0},
        {"three right, two down", 3, 2, 8, 12, 3, 2},
        {"far away stops at 8 by 12", 40, 40, 8, 12, 7, 11},
        {"a riff to the right leaves two bars", 5, 1, 2, 12, 1, 1},
        {"a riff below leaves three tracks", 2, 6, 8, 3, 2, 2},
    };
    for (const CASE &c : cases) {
        SCOPED_TRACE(c.name);
        static int32_t s_bars, s_tracks;
        s_bars = c.roomBars;
        s_tracks = c.roomTracks;
        int32_t w = -1, h = -1;
        Ui_GrowMarkToward(c.columns, c.rows, [](int32_t b, int32_t t) { return b <= s_bars && t <= s_tracks; }, &w,
                          &h);
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
    }
}

} // namespace

// The pointer's place alone: over the icon picker it picks the cell under it, over the slot
// dialog the key or the scale row (which remembers the key it was entered from); outside either
// grid nothing changes.
TEST_F(ClickActions, IconGridAndSlotDialogFollowThePointer)
{
    WINDOW *icons = Open(100, 100, 189, 73);
    WINDOW *slots = Open(300, 300, 220, 66);
    ASSERT_NE(icons, nullptr);
    ASSERT_NE(slots, nullptr);
    g_pIconPickerWindow = icons;
    Ui_SetWindowRole(UI_ROLE_ICON_GRID, icons, nullptr);
    g_tKeyDialog.window = slots;
    Ui_SetWindowRole(UI_ROLE_SLOT_DIALOG, slots, nullptr);
    // The key dialog follows the pointer only while it has the focus.
    Ui_SetFocus(slots);
    struct Case
    {
        const char *name;
        int x, y, cell, slot, kept;
    } cases[] = {
        {"first icon cell", 100 + 7, 100 + 24, 0, 0, 0},
        {"last cell of the first row", 100 + 181, 100 + 44, 7, 0, 0},
        {"second row", 100 + 6 + 22 * 2 + 1, 100 + 23 + 22 + 1, 10, 0, 0},
        {"the grid's edge itself is outside", 100 + 6, 100 + 30, 10, 0, 0},
        {"key 5", 300 + 6 + 16 * 5 + 3, 300 + 30, 10, 5, 0},
        {"the scale row keeps key 5", 300 + 100, 300 + 50, 10, 13, 5},
        {"key 12 from the last pixels", 300 + 213, 300 + 30, 10, 12, 5},
        {"below the dialog's rows", 300 + 100, 300 + 62, 10, 12, 5},
    };
    g_ucIconCell = 3;
    g_tKeyDialog.slot = 0;
    g_tKeyDialog.keptSlot = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        g_sMouseX = int16_t(c.x);
        g_sMouseY = int16_t(c.y);
        Ui_IconGridHover();
        Ui_SlotDialogHover();
        EXPECT_EQ(g_ucIconCell, c.cell);
        EXPECT_EQ(g_tKeyDialog.slot, c.slot);
        EXPECT_EQ(g_tKeyDialog.keptSlot, c.kept);
    }
    Ui_SetWindowRole(UI_ROLE_ICON_GRID, nullptr, nullptr);
    Ui_SetWindowRole(UI_ROLE_SLOT_DIALOG, nullptr, nullptr);
    g_pIconPickerWindow = nullptr;
    Ui_CloseWindow(icons);
    Ui_CloseWindow(slots);
}
