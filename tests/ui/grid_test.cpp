// The main editing grid: geometry per kind, held directions scrolling faster, jumps, octave paging.
#include "ui_fixture.h"

#include "core/browser.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "ui/bindings.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/widgets.h"
#include "video/lanes.h"

using namespace uitest;

namespace {

class Grid : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        Ui_BindScreenButtons();
        Sys_SetGridLayout();
        Vid_InitLanes();
        Ui_ResetGridRows();
        g_uSongRowCount = 300;
        g_ucGridOptions = 0;
        g_ucRiffOctave = 3;
        g_iScreen = 0;
    }
    void TearDown() override
    {
        Ui_CloseGridScreen();
        g_iScreen = 10;
        UiTest::TearDown();
    }
    void Slots(std::initializer_list<int> down)
    {
        uint16_t w = 0xFFFF;
        for (int s : down)
            w = uint16_t(w & ~(1u << s));
        SetPad(1, 0x00, 0x41, w);
        Frame();
    }
};

TEST_F(Grid, GeometryPerKind)
{
    struct
    {
        int kind;
        bool world;
        int x, y, columns, rows, cw, ch, columnCount, rowCount;
    } cases[] = {
        {2, false, 56, 8, 23, 15, 24, 24, 300, 103},
        {1, false, 56, 8, 23, 15, 24, 24, 300, 15},
        {3, false, 57, 26, 16, 12, 12, 10, 32, 12},
        {2, true, 28, 8, 97, 60, 6, 6, 300, 103},
    };
    g_ucRiffEditorBars = 2;
    for (const auto &c : cases) {
        g_ucGridOptions = c.world ? 1 : 0;
        ASSERT_TRUE(Ui_SetupGridScreen(c.kind)) << c.kind;
        const VIEWWIDGET *v = g_pGridView;
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(g_ucGridKind, c.kind);
        EXPECT_EQ(v->head.x, c.x) << c.kind;
        EXPECT_EQ(v->head.y, c.y) << c.kind;
        EXPECT_EQ(v->ringColumns, c.columns + 2) << c.kind;
        EXPECT_EQ(v->ringRows, c.rows + 2) << c.kind;
        EXPECT_EQ(v->cellWidth, c.cw);
        EXPECT_EQ(v->cellHeight, c.ch);
        EXPECT_EQ(v->columnCount, c.columnCount) << c.kind;
        EXPECT_EQ(v->rowCount, c.rowCount) << c.kind;
        Ui_CloseGridScreen();
        for (int i = 0; i < 3; i++)
            Walk();
    }
    // Every speed divides its cell size, so scrolls always end on a cell.
    for (int kind = 1; kind <= 3; kind++)
        for (bool world : {false, true}) {
            const GRIDGEOMETRY *g = Ui_GridGeometry(kind, world);
            for (int i = 0; i < 3; i++) {
                EXPECT_EQ(g->cellWidth % g->speedsAcross[i], 0);
                EXPECT_EQ(g->cellHeight % g->speedsDown[i], 0);
            }
        }
    EXPECT_EQ(Ui_GridGeometry(0, false), nullptr);
    EXPECT_EQ(Ui_GridGeometry(4, false), nullptr);
    // The world view's ring fits the cell area: 99 x 62 cells, two packets, two halves.
    EXPECT_LE(size_t(99 * 62 * 2 * 24 * 2), UI_GRID_CELL_BYTES);
}

// Hold Right on the song grid: 2 px a frame for two cells, 6 px for four more, then 12 px; on
// release the scroll runs to the cell boundary and the speed starts again from the bottom.
TEST_F(Grid, HeldRightScrollsFasterAndStopsOnACell)
{
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    VIEWWIDGET *v = g_pGridView;
    ASSERT_EQ(v->firstColumn, -1);
    std::vector<int> perFrame; // pixels moved each frame
    int total = 0, lastOffset = 0, lastFirst = v->firstColumn;
    auto track = [&] {
        const int moved = (v->firstColumn - lastFirst) * 24 - (v->columnOffset - lastOffset);
        perFrame.push_back(moved);
        total += moved;
        lastOffset = v->columnOffset;
        lastFirst = v->firstColumn;
    };
    for (int f = 0; f < 1 + 12 * 2 + 4 * 4 + 2 * 3; f++) {
        Slots({5});
        track();
    }
    // The first frame only starts the scroll.
    std::vector<int> want{0};
    want.insert(want.end(), 24, 2);
    want.insert(want.end(), 16, 6);
    want.insert(want.end(), 6, 12);
    EXPECT_EQ(perFrame, want);
    EXPECT_EQ(v->firstColumn, -1 + 9);
    EXPECT_EQ(Ui_GridCursorColumnRaw(), v->firstColumn + 1 + g_sGridCursorX);
    // One frame into the tenth cell, then let go: it finishes that cell, then stops.
    Slots({5});
    track();
    EXPECT_NE(v->columnStep, 0);
    EXPECT_EQ(Ui_GridCursorColumn(), Ui_GridCursorColumnRaw() + 1) << "the cells already show the next column";
    for (int f = 0; f < 5; f++) {
        Slots({});
        track();
    }
    EXPECT_EQ(v->columnOffset, 0);
    EXPECT_EQ(v->columnStep, 0);
    EXPECT_EQ(v->firstColumn, -1 + 10);
    EXPECT_EQ(total, 10 * 24);
    EXPECT_EQ(g_ucGridScrollLevel, 0);
    EXPECT_EQ(g_ucGridScrollCount, 0);
    // Holding again starts slow.
    Slots({5});
    Slots({5});
    track();
    EXPECT_EQ(v->columnStep, -2);
    // Left back: the view moves the other way at the bottom speed.
    for (int f = 0; f < 12; f++)
        Slots({});
    Slots({7});
    Slots({7});
    EXPECT_EQ(v->columnStep, 2);
}

TEST_F(Grid, HeldLeftAtTheStartAndRightWhilePlayingDoNothing)
{
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    VIEWWIDGET *v = g_pGridView;
    v->firstColumn = -1;
    for (int f = 0; f < 5; f++)
        Slots({7});
    EXPECT_EQ(v->columnStep, 0);
    EXPECT_EQ(v->firstColumn, -1);
    g_bSongPlaying = 255;
    for (int f = 0; f < 5; f++)
        Slots({5});
    g_bSongPlaying = 0;
    EXPECT_EQ(v->columnStep, 0);
    // Up and down still scroll while playing is off or on.
    Slots({6});
    Slots({6});
    EXPECT_EQ(v->rowStep, -2);
}

TEST_F(Grid, JumpsStopAtTheSongEndAndNeverBeforeTheStart)
{
    struct
    {
        uint16_t songRows;
        int16_t from, by, want;
    } cases[] = {
        {300, 10, 500, 300 - 24}, // past the end
        {300, 10, -50, -1},       // before the start
        {300, 10, 5, 15},
        {10, 0, 7, -1}, // a song shorter than the view: the start wins
    };
    for (const auto &c : cases) {
        g_uSongRowCount = c.songRows;
        ASSERT_TRUE(Ui_SetupGridScreen(2));
        g_pGridView->firstColumn = c.from;
        g_pGridView->columnBar->step = c.by;
        Ui_GridFrameUpdate();
        EXPECT_EQ(g_pGridView->firstColumn, c.want) << c.songRows << " " << c.from << " " << c.by;
        EXPECT_EQ(g_pGridView->columnBar->position, c.want + 1);
    }
    // Rows: at most 102 - 15.
    g_pGridView->firstRow = 0;
    g_pGridView->rowBar->step = 200;
    Ui_GridFrameUpdate();
    EXPECT_EQ(g_pGridView->firstRow, 87);
}

TEST_F(Grid, PendingStepsScrollOneCellAtATime)
{
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    VIEWWIDGET *v = g_pGridView;
    g_cGridPendingColumns = 3;
    for (int f = 0; f < 60 && (g_cGridPendingColumns || v->columnStep); f++)
        Frame();
    EXPECT_EQ(g_cGridPendingColumns, 0);
    EXPECT_EQ(v->firstColumn, -1 + 3);
}

TEST_F(Grid, SongAndVideoGridsKeepTheirPlaceRiffEditorStartsAtTheTop)
{
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    g_pGridView->firstColumn = 40;
    g_pGridView->firstRow = 5;
    g_sGridCursorX = 7;
    g_sGridCursorY = 3;
    Ui_CloseGridScreen();
    Walk();
    Walk();
    Walk();
    ASSERT_TRUE(Ui_SetupGridScreen(3));
    EXPECT_EQ(g_pGridView->firstColumn, -1);
    EXPECT_EQ(g_pGridView->firstRow, -1);
    EXPECT_EQ(g_sGridCursorX, 0);
    // The riff editor opens with the cursor on row 12, and the return to its menu that ends the
    // set-up clamps it onto the last of its twelve rows.
    EXPECT_EQ(g_sGridCursorY, 11);
    ASSERT_TRUE(Ui_SetupGridScreen(1));
    EXPECT_EQ(g_pGridView->firstColumn, -1) << "the video grid keeps its own place";
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    EXPECT_EQ(g_pGridView->firstColumn, 40);
    EXPECT_EQ(g_pGridView->firstRow, 5);
    EXPECT_EQ(g_sGridCursorX, 7);
    EXPECT_EQ(g_sGridCursorY, 3);
    EXPECT_EQ(g_pGridWindow->x, 8);
    EXPECT_EQ(g_pGridWindow->h, 424 - 32);
}

TEST_F(Grid, RiffEditorPagesOctavesAtItsEdges)
{
    struct
    {
        int octave, screen, slot, wantOctave, wantCursorY;
    } cases[] = {
        {3, 0, 6, 2, 0},  // down at the last row: an octave lower, cursor on the top row
        {1, 0, 6, 1, 5},  // octave 1 is the lowest
        {3, 2, 6, 3, 5},  // not while marking a block
        {3, 0, 4, 4, 11}, // up at the first row: an octave higher, cursor on the last row
        {6, 0, 4, 6, 5},  // octave 6 is the highest
        {3, 3, 4, 3, 5},  // not while moving a block
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(Ui_SetupGridScreen(3));
        g_ucRiffOctave = uint8_t(c.octave);
        g_sGridCursorY = 5;
        g_iScreen = c.screen;
        if (c.slot == 6)
            Ui_GridScrollDown();
        else
            Ui_GridScrollUp();
        EXPECT_EQ(g_ucRiffOctave, c.wantOctave) << c.octave << " " << c.screen << " " << c.slot;
        EXPECT_EQ(g_sGridCursorY, c.wantCursorY) << c.octave << " " << c.screen << " " << c.slot;
        EXPECT_EQ(g_pGridView->rowStep, 0) << "twelve rows never scroll";
        g_iScreen = 0;
    }
}

TEST_F(Grid, CursorGlideMovesOneCell)
{
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    g_sGridCursorX = 4;
    g_cGridGlideStepX = 6;
    const int32_t raw = Ui_GridCursorColumnRaw();
    EXPECT_EQ(Ui_GridCursorColumn(), raw + 1);
    for (int i = 0; i < 5; i++)
        Ui_GridCursorGlide();
    EXPECT_EQ(g_sGridCursorX, 5);
    EXPECT_EQ(g_cGridGlideStepX, 0);
    EXPECT_EQ(Ui_GridCursorColumn(), raw + 1);
}

TEST_F(Grid, TheWorkBufferComesBackAfterAnotherScreenFreedIt)
{
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    ASSERT_NE(g_p_ucWorkBuffer, nullptr);
    Ui_FreeGridWorkBuffer();
    EXPECT_EQ(g_p_ucWorkBuffer, nullptr);
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    EXPECT_NE(g_p_ucWorkBuffer, nullptr);
}

} // namespace

namespace {

class GridOps : public Grid
{
};

// The mute panel through its keys: the row starts at the cursor's track, stops at 23 going down
// and at 0 going up, and the toggle flips that track's bit.
TEST_F(GridOps, MutePanelStopsAtRow23AndTogglesTheTrack)
{
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    g_uSongMuteMask = 0;
    g_pGridView->firstRow = 60; // the cursor far below the tracks the mask can hold
    g_sGridCursorY = 5;
    Ui_OpenMutePanel();
    EXPECT_EQ(g_iNextScreen, 51);
    EXPECT_EQ(g_ucMutePanelRow, 23) << "clamped into the mask";
    g_iNextScreen = -1;
    g_iScreen = 51;
    Slots({14});
    Slots({});
    EXPECT_EQ(g_uSongMuteMask, 1u << 23);
    for (int f = 0; f < 40; f++)
        Slots({6});
    EXPECT_EQ(g_ucMutePanelRow, 23);
    // Up steps one row per finished scroll until row 0.
    for (int f = 0; f < 30 * 24; f++)
        Slots({4});
    EXPECT_EQ(g_ucMutePanelRow, 0);
    Slots({});
    Slots({14});
    EXPECT_GT(g_ucGridRedraw, 0) << "the row headers show the new mute";
    Slots({});
    EXPECT_EQ(g_uSongMuteMask, (1u << 23) | 1u);
    Slots({14});
    Slots({});
    EXPECT_EQ(g_uSongMuteMask, 1u << 23);
    // F3 closes: back on the song grid's screen.
    Slots({12});
    Slots({});
    EXPECT_EQ(g_iScreen, 0);
    EXPECT_EQ(g_ucGridMarkStyle, 0);
}

TEST_F(GridOps, SavedViewOriginGlideAndBeatLine)
{
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    Ui_SetGridOrigin(40, 7);
    EXPECT_EQ(g_pGridView->firstColumn, 39);
    EXPECT_EQ(g_pGridView->firstRow, 6);
    EXPECT_EQ(Ui_GridCursorColumnRaw(), 40);
    Ui_SetGridOrigin(-1, 2); // a negative column leaves that axis alone
    EXPECT_EQ(g_pGridView->firstColumn, 39);
    EXPECT_EQ(g_pGridView->firstRow, 1);
    g_sGridCursorX = 3;
    Ui_SaveGridView();
    Ui_SetGridOrigin(100, 50);
    Ui_RestoreGridView();
    EXPECT_EQ(g_pGridView->firstColumn, 39);
    EXPECT_EQ(g_pGridView->firstRow, 1);
    EXPECT_EQ(g_sGridCursorX, 3);

    g_cGridGlideStepX = -6;
    g_cGridGlideOffsetX = -12;
    g_cGridGlideStepY = 6;
    Ui_FinishCursorGlide();
    EXPECT_EQ(g_sGridCursorX, 2);
    EXPECT_EQ(g_sGridCursorY, 1);
    EXPECT_EQ(g_cGridGlideStepX | g_cGridGlideOffsetX | g_cGridGlideStepY | g_cGridGlideOffsetY, 0);

    // The play line: steps left in the bar 15..0 put it 23 - steps x 24 / 16 pixels in.
    const int want[16] = {23, 22, 20, 19, 17, 16, 14, 13, 11, 10, 8, 7, 5, 4, 2, 1};
    for (int steps = 0; steps < 16; steps++) {
        g_uStepsLeftInBar = uint16_t(steps);
        Ui_UpdateBeatPosition();
        EXPECT_EQ(g_iBeatLineOffset, want[steps]) << steps;
    }
    g_uStepsLeftInBar = 0;
}

} // namespace

namespace {

// A play from the grid: the view follows the playing row one cell at a time, jumps when the row
// runs ahead, and stops at the song's end with the cursor on its last row.
TEST_F(GridOps, PlayFollowsTheSongRowAndStopsAtTheEnd)
{
    g_uSongRowCount = 60;
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    VIEWWIDGET *v = g_pGridView;
    v->firstColumn = -1;
    g_sGridCursorX = 0;
    g_bGridFollowPlay = 1;
    g_bSongPlaying = 255;
    g_uSongRow = 1; // one ahead of the cursor: a one-cell scroll at the lowest speed
    Frame();
    EXPECT_EQ(v->columnStep, -2);
    for (int f = 0; f < 12; f++)
        Frame();
    EXPECT_EQ(Ui_GridCursorColumnRaw(), 1);
    g_uSongRow = 20; // far ahead: a jump
    Frame();
    EXPECT_EQ(Ui_GridCursorColumnRaw(), 20);
    EXPECT_EQ(v->columnStep, 0);
    // The cursor reaches the end: playback stops, the cursor goes back onto the last row.
    g_uSongRow = 60;
    Frame();
    Frame();
    EXPECT_EQ(g_bSongPlaying.load(), 0);
    EXPECT_EQ(g_bGridFollowPlay, 0);
    EXPECT_EQ(Ui_GridCursorColumnRaw(), 59);
    EXPECT_GE(g_sGridCursorX, 0);
    EXPECT_EQ(g_iNextScreen == 0 || g_iScreen == 0, true);
    g_uSongRow = 0;
}

// Song play running off its last row is reported from the mix thread; the next interface frame
// goes back to the grid's menu with the cursor on the song's last row, once. With no grid open the
// report is dropped without a screen change.
TEST_F(GridOps, SongEndTakenByTheNextFrameOnce)
{
    g_uSongRowCount = 60;
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    VIEWWIDGET *v = g_pGridView;
    v->firstColumn = 990;
    g_sGridCursorX = 5;
    g_bGridFollowPlay = 1;
    g_iScreen = 4;
    g_iNextScreen = -1;
    Ui_OnSongEnd();
    Ui_Frame();
    EXPECT_EQ(g_bSongEnded.load(), 0);
    EXPECT_EQ(g_iNextScreen, 0);
    EXPECT_EQ(g_bGridFollowPlay, 0);
    EXPECT_EQ(Ui_GridCursorColumnRaw(), 59);
    EXPECT_GE(g_sGridCursorX, 0);
    // Taken once: a later frame leaves the screen alone.
    g_iNextScreen = -1;
    Ui_Frame();
    EXPECT_EQ(g_iNextScreen, -1);

    Ui_CloseGridScreen();
    g_iScreen = 11;
    Ui_OnSongEnd();
    Ui_Frame();
    EXPECT_EQ(g_bSongEnded.load(), 0);
    EXPECT_EQ(g_iNextScreen, -1);
}

} // namespace
