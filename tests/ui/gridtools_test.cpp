// The grid's mouse and tools, play from the cursor and the marked block's loop, the value
// scroller, the interface fonts, the song options panel and the sample editor's bar position.
#include "ui_fixture.h"

#include "core/browser.h"
#include "sequencer/channels.h"
#include "sequencer/clock.h"
#include "sequencer/eventlists.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "ui/bindings.h"
#include "ui/gridcells.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/gridworld.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/shortcuts.h"
#include "ui/view.h"
#include "video/lanes.h"

#include <cstring>

using namespace uitest;

namespace {

class GridTools : public UiTest
{
protected:
    int m_riff = 0;

    void SetUp() override
    {
        UiTest::SetUp();
        Ui_BindScreenButtons();
        Seq_ResetSongModel();
        Seq_Init();
        Seq_NewSong();
        Sys_SetGridLayout();
        Vid_InitLanes();
        Ui_ResetGridRows();
        Ui_SetGridPlace(1, -1, -1, 0, 0);
        Ui_SetGridPlace(2, -1, -1, 0, 0);
        g_ucGridOptions = 0;
        g_ucGridToolMode = 1;
        // Two bars of a one-track riff over the first eight rows keep the song eight rows long.
        m_riff = Seq_NewRiff(2, 1);
        ASSERT_GT(m_riff, 0);
        for (int row = 0; row < 8; row += 2)
            ASSERT_EQ(Seq_PlaceRiffAt(m_riff, row, 0), 1);
        Seq_CountUsedRows();
        g_uCurrentRiff = uint16_t(m_riff);
        ASSERT_TRUE(Ui_SetupGridScreen(2));
        g_iScreen = 0;
        g_iNextScreen = -1;
    }
    void TearDown() override
    {
        if (g_bSongPlaying)
            Seq_StopSong();
        Ui_CloseGridScreen();
        g_bSongPlaying = 0;
        g_uSongRow = 0;
        g_bGridFollowPlay = 0;
        Seq_ResetSongModel();
        g_iScreen = 10;
        UiTest::TearDown();
    }
    static void PointAt(int x, int y)
    {
        g_sMouseX = int16_t(g_pGridWindow->x + g_pGridView->head.x + x * g_pGridView->cellWidth + 3);
        g_sMouseY = int16_t(g_pGridWindow->y + g_pGridView->head.y + y * g_pGridView->cellHeight + 3);
    }
    static void Click(int x, int y)
    {
        PointAt(x, y);
        Ui_GridMousePress(&g_pGridView->head);
        Ui_GridMouseRelease(&g_pGridView->head);
    }
    static int RiffAt(int column, int row)
    {
        int top = 0, left = 0;
        return Seq_RiffAtCell(column, row, &top, &left);
    }
};

TEST_F(GridTools, ClicksDrawAndEraseRiffsOnTheSongGrid)
{
    // Draw mode: a click places the current riff at the cell under the pointer, on release.
    const int before = g_uRefusals;
    Click(0, 3);
    EXPECT_EQ(RiffAt(0, 3), m_riff);
    EXPECT_EQ(RiffAt(1, 3), m_riff) << "two bars";
    // A riff that would run past the song's end is not placed.
    const int last = g_uSongRowCount - 1;
    Click(last, 5);
    EXPECT_EQ(RiffAt(last, 5), 0);
    EXPECT_EQ(int(g_uRefusals), before + 1);
    // Erase mode: the riff under the pointer goes.
    g_ucGridToolMode = 0;
    Click(1, 3);
    EXPECT_EQ(RiffAt(0, 3), 0);
    EXPECT_EQ(RiffAt(0, 0), m_riff) << "only the riff under the pointer";
}

TEST_F(GridTools, PressesByScreenAndDragsWhilePlaying)
{
    // A press handled by the screen (screen 2 returns to the menu) runs no tool on release.
    g_iScreen = 2;
    Click(0, 4);
    EXPECT_EQ(RiffAt(0, 4), 0);
    EXPECT_EQ(g_iNextScreen, 0);
    // A press puts the cursor on the pointer's cell.
    g_iScreen = 0;
    PointAt(5, 6);
    Ui_GridMousePress(&g_pGridView->head);
    EXPECT_EQ(g_sGridCursorX, 5);
    EXPECT_EQ(g_sGridCursorY, 6);
    // While the song plays a drag over the grid and the release change nothing.
    g_bSongPlaying = 255;
    PointAt(7, 6);
    Ui_GridMouseDrag(&g_pGridView->head);
    EXPECT_EQ(g_bGridDragLock, 0);
    Ui_GridMouseRelease(&g_pGridView->head);
    EXPECT_EQ(RiffAt(2, 6), 0);
    g_bSongPlaying = 0;
    // A drag to another cell on a navigation screen takes the press away from the release.
    PointAt(5, 6);
    Ui_GridMousePress(&g_pGridView->head);
    PointAt(6, 6);
    Ui_GridMouseDrag(&g_pGridView->head);
    Ui_GridMouseRelease(&g_pGridView->head);
    EXPECT_EQ(RiffAt(5, 6), 0);
    EXPECT_EQ(RiffAt(6, 6), 0);
    EXPECT_EQ(g_bGridDragLock, 0) << "the release clears the lock";
    // Screen 72: the press opens or closes the row group of the video grid (nothing here).
    g_iScreen = 72;
    Click(0, 0);
    EXPECT_EQ(RiffAt(0, 0), m_riff);
}

TEST_F(GridTools, PlayStartsAtThePointersColumnAndAMarkedBlockLoops)
{
    PointAt(3, 2);
    Ui_PlayFromCursor();
    EXPECT_EQ(g_bSongPlaying.load(), 255);
    EXPECT_EQ(g_uSongRow.load(), 3u);
    EXPECT_EQ(g_iNextScreen, 4);
    EXPECT_EQ(g_sMenuPage, MENU_PAGE_NONE);
    EXPECT_EQ(Ui_GridCursorColumnRaw(), 3);
    // Play again: it stops.
    Ui_PlayFromCursor();
    EXPECT_EQ(g_bSongPlaying.load(), 0);

    // Left of the cells the pointer's column would be negative: play starts at the first column.
    g_sMouseX = int16_t(g_pGridWindow->x + 10);
    g_sMouseY = int16_t(g_pGridWindow->y + g_pGridView->head.y + 30);
    Ui_PlayFromCursor();
    EXPECT_EQ(g_uSongRow.load(), 0u);
    EXPECT_EQ(g_sGridCursorX, 0);
    Ui_StopPlayback();

    // A marked block from column 1 to 3 playing on screen 5: past its end play starts again
    // from the cursor's column and the view goes back.
    g_sGridCursorX = 1;
    Ui_SaveGridView();
    g_asGridMark[0] = 1;
    g_asGridMark[2] = 3;
    Seq_PlaySongFrom(1);
    g_bGridFollowPlay = 1;
    g_iScreen = 5;
    g_uSongRow = 4;
    Ui_FollowPlayback();
    EXPECT_EQ(g_uSongRow.load(), 1u);
    EXPECT_EQ(g_bSongPlaying.load(), 255);
    EXPECT_EQ(Ui_GridCursorColumnRaw(), 1);
    // Inside the block the view follows as usual.
    g_uSongRow = 2;
    Ui_FollowPlayback();
    EXPECT_EQ(g_uSongRow.load(), 2u);
    g_iScreen = 0;
}

TEST_F(GridTools, WorldViewItemSwapsWithItsCancel)
{
    EXPECT_EQ(g_atMenuItems[10].text, g_atMenuItemTable[10].text);
    g_atMenuItems[10].handler();
    EXPECT_EQ(g_ucGridOptions & 1, 1);
    EXPECT_EQ(g_atMenuItems[10].text, 308) << "Cancel World View";
    g_atMenuItems[10].handler();
    EXPECT_EQ(g_ucGridOptions & 1, 0);
    EXPECT_EQ(g_atMenuItems[10].text, g_atMenuItemTable[10].text);
}

TEST_F(GridTools, FontsOptionsPanelAndBarPixels)
{
    // The three interface fonts come from their own files on images 0, 3 and 4.
    EXPECT_EQ(g_bUiFontsLoaded, 1);
    EXPECT_EQ(g_atUiFonts[0].sheet, Gfx_GetImage(0));
    EXPECT_EQ(g_atUiFonts[1].sheet, Gfx_GetImage(3));
    EXPECT_EQ(g_atUiFonts[2].sheet, Gfx_GetImage(4));
    const int a = Gfx_GlyphIndex('A');
    ASSERT_GE(a, 0);
    EXPECT_GT(g_atUiFonts[0].size[a].height, g_atUiFonts[1].size[a].height) << "the small font is smaller";
    // A missing font file leaves its record as it was.
    const FONT kept = g_atUiFonts[1];
    const std::string dir = g_szDataDir;
    std::snprintf(g_szDataDir, sizeof g_szDataDir, "/nonexistent/");
    Ui_LoadInterfaceFonts();
    std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s", dir.c_str());
    EXPECT_EQ(std::memcmp(&kept, &g_atUiFonts[1], sizeof kept), 0);

    // The options panel writes its tempo as the song's first tempo entry.
    Ui_LoadSongOptions();
    g_tSongOptions.tempo = 133;
    Ui_ApplyOptionPanel();
    TRACKQUERY q{};
    q.iRow = 0;
    ASSERT_EQ(Seq_GetTrackEntryAt(&q, LIST_TEMPO), 1);
    EXPECT_EQ(q.uStart, 133);
    EXPECT_EQ(g_uTempo, 133);
    Ui_LoadSongOptions();
    EXPECT_EQ(g_tSongOptions.tempo, 133);

    // The sample editor's 232-pixel bar.
    struct
    {
        int64_t value, start, end;
        int32_t pixels;
    } bars[] = {{0, 0, 100, 0},          {50, 0, 100, 116},  {100, 0, 100, 232},  {60, 20, 120, 92},
                {5, 0, 0, 0},            {5, 10, 10, 0},     {5, 20, 10, 0},      // no span: 0
                {9000000, 0, 10000000, 208}, {40000000, 0, 80000000, 116}};    // long recordings
    for (const auto &b : bars)
        EXPECT_EQ(Ui_ValueToBarPixels(b.value, b.start, b.end), b.pixels) << b.value << " " << b.end;
}

// ---- The value scroller ----

int32_t g_changed = -1, g_dragged = -1;

TEST_F(GridTools, ValueScrollerPressesAndDrags)
{
    HSCROLLER bar{4, 20, 40, 100, 10, 0, 5, 20};
    g_tScroller = SCROLLERSTATE{};
    g_tScroller.scroller = &bar;
    g_tScroller.value = 10;
    g_tScroller.minimum = 0;
    g_tScroller.maximum = 20;
    g_tScroller.width = 100;
    g_tScroller.change = [](int32_t v) { g_changed = v; };
    g_tScroller.drag = [](int32_t v) { g_dragged = v; };

    // The parts: left arrow, thumb, right arrow.
    Ui_ScrollerPartLeft();
    EXPECT_EQ(g_tScroller.part, 0);
    Ui_ScrollerPress();
    EXPECT_EQ(g_tScroller.value, 9);
    EXPECT_EQ(g_changed, 9);
    Ui_ScrollerPress(); // the arrow waits ten frames before it moves again
    EXPECT_EQ(g_tScroller.value, 9);
    for (int i = 0; i < 10; i++)
        Ui_DrawHScroller(&bar);
    Ui_ScrollerPress();
    EXPECT_EQ(g_tScroller.value, 8);
    Ui_ScrollerPartRight();
    Ui_ScrollerPartRight();
    Ui_ScrollerPartRight();
    EXPECT_EQ(g_tScroller.part, 2);
    Ui_ScrollerPartLeft();
    Ui_ScrollerPress();
    EXPECT_EQ(g_iNextScreen, 42) << "the thumb starts a drag";

    // A range smaller than the track: each drag step moves the value by 2.
    EXPECT_EQ(Ui_ScrollerDragStep(), 1);
    Ui_ScrollerDragRight();
    EXPECT_EQ(g_tScroller.value, 10);
    EXPECT_EQ(g_dragged, 10);
    for (int i = 0; i < 10; i++)
        Ui_ScrollerDragRight();
    EXPECT_EQ(g_tScroller.value, 20) << "held inside the range";
    // A wide range: the step grows with it; a scroller no wider than its arrows steps by 1.
    g_tScroller.maximum = 680;
    EXPECT_EQ(Ui_ScrollerDragStep(), 10);
    g_tScroller.width = 30;
    EXPECT_EQ(Ui_ScrollerDragStep(), 1);
    Ui_ScrollerDragLeft();
    EXPECT_EQ(g_tScroller.value, 18);
    Ui_ScrollerDragEnd();
    EXPECT_EQ(g_changed, 18);
    EXPECT_EQ(g_iNextScreen, 36);
    g_tScroller = SCROLLERSTATE{};
}

} // namespace

namespace {

// The lane header strip of the grid window: the row under the pointer and its lane.
void PointAtLaneHeader(int32_t dx, int32_t row)
{
    g_sMouseX = int16_t(g_pGridWindow->x + dx);
    g_sMouseY = int16_t(g_pGridWindow->y + g_pGridView->head.y + row * g_pGridView->cellHeight + 2);
}

} // namespace

// While the song plays from the grid (screen 4) or an area plays (screen 5), a press on the lane
// header silences or brings back the track under the pointer; the data lanes and the cells keep
// theirs; Space on screen 5 brings every track back and stops.
TEST_F(GridTools, LaneHeaderPressesMarkTracksWhilePlayingAndSpaceClearsThem)
{
    Ui_SetFocus(g_pGridWindow);
    std::memset(g_aChannelMute, 0, sizeof g_aChannelMute);
    const struct
    {
        int screen;
        int16_t firstRow;
        int32_t dx, row;
        int want; // the track marked, -1 none
    } cases[] = {
        {4, -1, 5, 0, 0},
        {4, -1, 2 * 24 - 1, 3, 3},
        {5, 9, 20, 2, 12},     // scrolled: first visible row + 1 + the row
        {5, 95, 10, 4, -1},    // row 99, the volume lane, has no mark
        {4, -1, 2 * 24, 1, -1}, // the strip ends two cells from the window's edge
        {4, -1, 0, 1, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.screen << " first " << c.firstRow << " dx " << c.dx << " row " << c.row);
        g_pGridView->firstRow = c.firstRow;
        g_iScreen = c.screen;
        PointAtLaneHeader(c.dx, c.row);
        Ui_MouseLeftPress(g_pGridWindow);
        for (int t = 0; t < 99; t++)
            ASSERT_EQ(g_aChannelMute[t][3], t == c.want ? 1 : 0) << t;
        Ui_MouseLeftPress(g_pGridWindow); // the second press brings it back
        for (int t = 0; t < 99; t++)
            ASSERT_EQ(g_aChannelMute[t][3], 0) << t;
    }
    g_pGridView->firstRow = -1;
    g_iScreen = 5;
    for (int row : {1, 4, 6}) {
        PointAtLaneHeader(10, row);
        Ui_MouseLeftPress(g_pGridWindow);
    }
    EXPECT_EQ(g_aChannelMute[4][3], 1);
    g_bSongPlaying = 255;
    Ed_ClearLaneMarksAndStop();
    for (int t = 0; t < 99; t++)
        ASSERT_EQ(g_aChannelMute[t][3], 0) << t;
    EXPECT_EQ(g_bSongPlaying, 0);
}

// The video grid's lane header hides or shows the lane group under the pointer; the riff
// editor's octave strip shows the octave under the pointer.
TEST_F(GridTools, VideoLaneHeaderHidesItsGroupAndTheOctaveStripPicksTheOctave)
{
    Ui_CloseGridScreen();
    ASSERT_TRUE(Ui_SetupGridScreen(1));
    Ui_SetFocus(g_pGridWindow);
    g_iScreen = 7;
    const uint32_t hidden = g_uGridHiddenLanes;
    PointAtLaneHeader(10, 0);
    const int32_t group = Ui_FindRowGroup(g_pGridView->firstRow + 1);
    ASSERT_GE(group, 0);
    Ui_MouseLeftPress(g_pGridWindow);
    EXPECT_EQ(g_uGridHiddenLanes, hidden ^ (1u << group));
    Ui_MouseLeftPress(g_pGridWindow);
    EXPECT_EQ(g_uGridHiddenLanes, hidden);
    g_uGridHiddenLanes = 0;
    Vid_SetLaneMuteMask(0);

    Ui_CloseGridScreen();
    ASSERT_TRUE(Ui_SetupGridScreen(3));
    Ui_SetFocus(g_pGridWindow);
    g_iScreen = 0;
    const struct
    {
        int screen, dx, dy;
        int want;
    } cases[] = {
        {0, 20, 26, 6}, {0, 20, 26 + 20 * 5 + 19, 1}, {0, 20, 26 + 20 * 2 + 1, 4},
        {0, 33, 60, 4},  // the strip's right edge is not in it
        {2, 20, 26, 4},  // a block being marked keeps its octave
    };
    g_ucRiffOctave = 4;
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
        g_iScreen = c.screen;
        g_sMouseX = int16_t(g_pGridWindow->x + c.dx);
        g_sMouseY = int16_t(g_pGridWindow->y + c.dy);
        Ui_MouseLeftPress(g_pGridWindow);
        EXPECT_EQ(g_ucRiffOctave, c.want);
        g_ucRiffOctave = 4;
    }
    g_ucRiffOctave = 3;
}
