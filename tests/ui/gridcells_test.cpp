// The main editing grid's cells, headers, overlays, mouse and operations: song and video cells,
// the video grid's row groups, golden frames of the song grid, its world view and the video grid,
// the tools, play from the cursor and the marked block's loop, the value scroller.
#include "ui_fixture.h"

#include "core/browser.h"
#include "sequencer/clock.h"
#include "sequencer/eventlists.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "editors/chaseeditor.h"
#include "ui/bindings.h"
#include "ui/gridcells.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/gridworld.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/view.h"
#include "video/chase.h"
#include "video/chasetypes.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/lanes.h"

using namespace uitest;

namespace {

class GridCells : public UiTest
{
protected:
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
        g_uSongRowCount = 64;
        g_ucGridOptions = 0;
        g_iScreen = 0;
        g_uSongMuteMask = 0;
        g_uGridHiddenLanes = 0;
        g_ucGridToolMode = 1;
        // Every test opens its grids at the start, whatever an earlier test left kept.
        Ui_SetGridPlace(1, -1, -1, 0, 0);
        Ui_SetGridPlace(2, -1, -1, 0, 0);
    }
    void TearDown() override
    {
        Ui_CloseGridScreen();
        g_ucGridOptions = 0;
        g_bSongPlaying = 0;
        g_uSongRow = 0;
        g_bGridFollowPlay = 0;
        g_uSongMuteMask = 0;
        g_uGridHiddenLanes = 0;
        Ui_ResetGridRows();
        Seq_ResetSongModel();
        g_iScreen = 10;
        UiTest::TearDown();
    }
    // A small song: a drum riff of three tracks over every bar, a two-bar bass line, a
    // four-bar lead, a tempo ramp and a volume entry.
    void BuildSong()
    {
        const int drums = Seq_NewRiff(1, 3), bass = Seq_NewRiff(2, 1), lead = Seq_NewRiff(4, 1);
        ASSERT_GT(drums, 0);
        Seq_GetRiff(drums)->ucColour = 0;
        Seq_GetRiff(drums)->ucType = 0;
        Seq_GetRiff(bass)->ucColour = 15;
        Seq_GetRiff(bass)->ucType = 3;
        Seq_GetRiff(lead)->ucColour = 29;
        Seq_GetRiff(lead)->ucType = 9;
        for (int row = 0; row < 20; row++)
            ASSERT_EQ(Seq_PlaceRiffAt(drums, row, 0), 1);
        for (int row = 4; row < 20; row += 2)
            ASSERT_EQ(Seq_PlaceRiffAt(bass, row, 3), 1);
        for (int row = 8; row < 20; row += 4)
            ASSERT_EQ(Seq_PlaceRiffAt(lead, row, 5), 1);
        ASSERT_GE(Seq_SetTrackEntry(0, 4, 70, 100, 0, 0, 0, 0, 0, LIST_VOLUME), 0);
        ASSERT_GE(Seq_SetTrackEntry(8, 4, 120, 140, 0, 0, 0, 0, 0, LIST_TEMPO), 0);
        g_uSongRowCount = 24;
    }
    // The pointer over visible cell (x, y) of the open grid.
    static void PointAt(int x, int y)
    {
        g_sMouseX = int16_t(g_pGridWindow->x + g_pGridView->head.x + x * g_pGridView->cellWidth + 3);
        g_sMouseY = int16_t(g_pGridWindow->y + g_pGridView->head.y + y * g_pGridView->cellHeight + 3);
    }
    static void Frames(int n)
    {
        for (int i = 0; i < n; i++)
            Frame();
    }
};

TEST_F(GridCells, SongCellImagesFollowTheRiffsPieces)
{
    BuildSong();
    struct
    {
        int column, row, image;
        bool tinted;
    } cells[] = {
        {0, 0, 147, true},                          // the drum riff's type icon on its first cell
        {0, 1, GRIDIMG_RIFF_PIECES + 1 * 4 + 3, true}, // middle track of a one-bar riff
        {0, 2, GRIDIMG_RIFF_PIECES + 2 * 4 + 3, true}, // its last track
        {4, 3, 153, true},                          // the bass line's icon (type 3)
        {5, 3, GRIDIMG_RIFF_PIECES + 3 * 4 + 2, true}, // its last bar, one track
        {9, 5, GRIDIMG_RIFF_PIECES + 3 * 4 + 1, true}, // the lead's middle bars
        {11, 5, GRIDIMG_RIFF_PIECES + 3 * 4 + 2, true},
        {0, 10, GRIDIMG_EMPTY_BAR, false},          // empty: a bar mark every fourth column
        {1, 10, GRIDIMG_EMPTY_BEAT, false},
        {-1, 0, GRIDIMG_EMPTY_BEAT, false},         // left of the song
        {24, 0, GRIDIMG_PAST_END, false},           // at and past the end
        {500, 50, GRIDIMG_PAST_END, false},
    };
    for (const auto &c : cells) {
        int colour = 0;
        EXPECT_EQ(Ui_SongCellImage(c.column, c.row, &colour), c.image) << c.column << "," << c.row;
        EXPECT_EQ(colour >= 0, c.tinted) << c.column << "," << c.row;
    }
}

TEST_F(GridCells, RowHeadersAndTheirImages)
{
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    g_uSongMuteMask = 1u << 4;
    EXPECT_EQ(Ui_RowHeaderImage(0), GRIDIMG_TRACK_HEADER);
    EXPECT_EQ(Ui_RowHeaderImage(4), GRIDIMG_TRACK_FLAGGED);
    EXPECT_EQ(Ui_RowHeaderImage(98), GRIDIMG_TRACK_HEADER);
    for (int row = 99; row <= 102; row++)
        EXPECT_EQ(Ui_RowHeaderImage(row), GRIDIMG_EVENT_HEADERS + row - 99);
    EXPECT_EQ(Ui_RowHeaderImage(103), -1);
    Ui_CloseGridScreen();
    ASSERT_TRUE(Ui_SetupGridScreen(1));
    g_uGridHiddenLanes = 1u << 2;
    EXPECT_EQ(Ui_RowHeaderImage(0), GRIDIMG_VIDEO_HEADERS + 0);
    EXPECT_EQ(Ui_RowHeaderImage(2), GRIDIMG_VIDEO_HIDDEN + 0);
    EXPECT_EQ(Ui_RowHeaderImage(4), GRIDIMG_VIDEO_HEADERS + 2); // fixed row, kind 5
    EXPECT_EQ(Ui_RowHeaderImage(5), GRIDIMG_VIDEO_HEADERS + 3); // kind 6
    EXPECT_EQ(Ui_RowHeaderImage(6), GRIDIMG_VIDEO_EMPTY);
}

// ---- Video rows ----

// A chase type of a kind, to make clips that the lanes take.
int32_t TypeOfKind(uint16_t kind)
{
    for (int32_t id = 1; id <= 40; id++) {
        const int32_t type = Vid_FindChaseType(id);
        const CHASEDEF *def = type >= 0 ? Vid_GetChaseDef(type) : nullptr;
        if (def && (def->uKind & kind))
            return type;
    }
    return -1;
}

VIDCLIP *Clip(int chases, uint16_t kind = CHASEKIND_PLAIN)
{
    VIDCLIP *clip = Vid_NewClip();
    EXPECT_NE(clip, nullptr);
    for (int i = 0; i < chases && clip; i++) {
        CHASE *chase = Vid_NewChase(TypeOfKind(kind));
        EXPECT_NE(chase, nullptr);
        if (chase) {
            EXPECT_NE(Vid_AppendClipEntry(clip, chase), nullptr);
        }
    }
    return clip;
}

class VideoRows : public GridCells
{
protected:
    void SetUp() override
    {
        GridCells::SetUp();
        ASSERT_EQ(Vid_InitVideoCore(), 0);
        Ui_ResetGridRows();
    }
    void TearDown() override
    {
        Ui_CloseGridScreen();
        Vid_ResetVideo();
        Vid_FreeVideoCore();
        GridCells::TearDown();
    }
};

TEST_F(VideoRows, GroupsOpenByTheLanesEntriesAndCloseBack)
{
    EXPECT_EQ(g_ucGridRowCount, 6);
    struct
    {
        int row, group;
    } find[] = {{0, 0}, {1, 1}, {3, 3}, {4, 4}, {5, 5}, {6, -1}, {-1, -1}};
    for (const auto &f : find)
        EXPECT_EQ(Ui_FindRowGroup(f.row), f.group) << f.row;

    // A lane whose clips have no more than one entry adds no rows.
    g_abLaneHighWater[1] = 0;
    Ui_ToggleRowGroup(1);
    EXPECT_EQ(g_ucGridRowCount, 6);
    EXPECT_EQ(g_aucGridRowGroupSize[1], 0);

    // Three more entries on lane 1: three sub-rows after its row, later groups move down.
    g_abLaneHighWater[1] = 3;
    Ui_ToggleRowGroup(1);
    EXPECT_EQ(g_ucGridRowCount, 9);
    const uint8_t kinds[9] = {2, 2, 3, 3, 3, 2, 2, 5, 6};
    for (int r = 0; r < 9; r++)
        EXPECT_EQ(g_aucGridRowKinds[r], kinds[r]) << r;
    const uint8_t firsts[6] = {0, 1, 5, 6, 7, 8};
    for (int g = 0; g < 6; g++)
        EXPECT_EQ(g_aucGridRowGroupFirst[g], firsts[g]) << g;
    EXPECT_EQ(Ui_FindRowGroup(3), 1) << "a sub-row belongs to its group";
    EXPECT_EQ(Ui_FindRowGroup(7), 4);
    Ui_ToggleRowGroup(1);
    EXPECT_EQ(g_ucGridRowCount, 6);
    const uint8_t closed[6] = {2, 2, 2, 2, 5, 6};
    for (int r = 0; r < 6; r++)
        EXPECT_EQ(g_aucGridRowKinds[r], closed[r]) << r;
    for (int g = 0; g < 6; g++)
        EXPECT_EQ(g_aucGridRowGroupFirst[g], g);

    // A group never grows the byte-sized row list past its end.
    g_abLaneHighWater[0] = 255;
    Ui_ToggleRowGroup(0);
    EXPECT_LE(int(g_ucGridRowCount), UI_GRID_MAX_ROWS);
    EXPECT_EQ(g_aucGridRowGroupFirst[5], g_ucGridRowCount - 1);
    Ui_ToggleRowGroup(0);
    EXPECT_EQ(g_ucGridRowCount, 6);
    Ui_ToggleRowGroup(-1); // the -1 of a row outside the groups changes nothing
    Ui_ToggleRowGroup(4);
    EXPECT_EQ(g_ucGridRowCount, 6);
}

TEST_F(VideoRows, CellsOfClipsChasesAndEmptyLanes)
{
    VIDCLIP *clip = Clip(3);
    ASSERT_NE(clip, nullptr);
    ASSERT_EQ(Vid_PlaceClipRun(0, 4, 3, clip), 0);
    VIDCLIP *single = Clip(1, CHASEKIND_CAM);
    ASSERT_EQ(Vid_PlaceClipRun(4, 10, 1, single), 0);
    Vid_RecalcLaneHighWater(0);
    ASSERT_TRUE(Ui_SetupGridScreen(1));
    Ui_ToggleRowGroup(0); // rows 1 and 2 are the clip's second and third entries
    ASSERT_EQ(g_ucGridRowCount, 8);
    struct
    {
        int column, row, image;
        bool tinted;
    } cells[] = {
        {4, 0, 237, true}, {5, 0, 198, true}, {6, 0, 201, true},   // the clip's block on its lane
        {4, 1, 239, true}, {5, 1, 274, true}, {6, 1, 275, true},   // its second entry
        {4, 2, 239, true},                                         // its third
        {3, 1, 276, false},                                        // a sub-row with no clip
        {0, 0, 271, false}, {1, 0, 272, false}, {8, 3, 271, false}, // empty group lane: every 4th column
        {10, 6, 237, true},                                        // the lone clip of lane 4
        {8, 6, 240, false}, {9, 6, 241, false}, {8, 7, 243, false}, {9, 7, 244, false},
        {0, 8, 238, false}, {0, 40, 238, false},                   // below the last row
        {-1, 0, 276, false}, {64, 0, 238, false},                  // left of the song, past its end
    };
    for (const auto &c : cells) {
        int colour = 0;
        EXPECT_EQ(Ui_VideoCellImage(c.column, c.row, &colour), c.image) << c.column << "," << c.row;
        EXPECT_EQ(colour >= 0, c.tinted) << c.column << "," << c.row;
    }
    // The world view: the same rows in its own images.
    int colour = 0;
    EXPECT_EQ(Ui_WorldVideoCellImage(4, 0, &colour), 234);
    EXPECT_EQ(Ui_WorldVideoCellImage(5, 0, &colour), 235);
    EXPECT_EQ(Ui_WorldVideoCellImage(6, 0, &colour), 236);
    EXPECT_EQ(Ui_WorldVideoCellImage(10, 6, &colour), 233);
    EXPECT_EQ(Ui_WorldVideoCellImage(4, 1, &colour), 268);
    EXPECT_EQ(Ui_WorldVideoCellImage(5, 1, &colour), 269);
    EXPECT_EQ(Ui_WorldVideoCellImage(6, 1, &colour), 270);
    EXPECT_EQ(Ui_WorldVideoCellImage(0, 0, &colour), 263);
    EXPECT_EQ(Ui_WorldVideoCellImage(1, 0, &colour), 259);
    EXPECT_EQ(Ui_WorldVideoCellImage(3, 1, &colour), 267);
    EXPECT_EQ(Ui_WorldVideoCellImage(64, 0, &colour), 218);

    // The clip's name is the item under the pointer.
    char name[16];
    Ui_VideoCellName(5, 0, name, sizeof name);
    EXPECT_STREQ(name, clip->szName);
    Ui_VideoCellName(1, 0, name, sizeof name);
    EXPECT_STREQ(name, "");
}

TEST_F(VideoRows, MutePanelHidesTheLaneGroupOfItsRow)
{
    ASSERT_TRUE(Ui_SetupGridScreen(1));
    g_sGridCursorY = 2;
    Ui_OpenMutePanel();
    EXPECT_EQ(g_ucMutePanelRow, 2);
    Ui_MutePanelToggle();
    EXPECT_EQ(g_uGridHiddenLanes, 1u << 2);
    EXPECT_EQ(g_uiLaneMuteMask, 1u << 2) << "the video engine hides the lane";
    Ui_MutePanelToggle();
    EXPECT_EQ(g_uGridHiddenLanes, 0u);
    // The panel stops at the last row of the video grid.
    for (int i = 0; i < 20; i++) {
        Ui_MutePanelDown();
        g_pGridView->rowStep = 0;
        if (g_pGridView->rowBar)
            g_pGridView->rowBar->step = 0;
    }
    EXPECT_EQ(g_ucMutePanelRow, g_ucGridRowCount - 1);
}

// Click mode 67: a press on the video grid opens the chase editor on the clip under the pointer;
// an empty cell starts a new clip's range there; the song grid refuses.
TEST_F(VideoRows, ChaseClickModeOpensTheClipUnderThePointer)
{
    ASSERT_TRUE(Ui_SetupGridScreen(1));
    g_iScreen = 73; // presses do nothing here but put the cursor on the pointer's cell
    PointAt(3, 0);
    Ui_GridMousePress(&g_pGridView->head);
    const int32_t column = Ui_GridCursorColumn();
    VIDCLIP *clip = Clip(2);
    ASSERT_NE(clip, nullptr);
    ASSERT_EQ(Vid_PlaceClipRun(0, column - 1, 3, clip), 0);

    // An empty cell of the same lane: the new clip's range starts at that cell.
    g_iScreen = 67;
    g_iNextScreen = -1;
    PointAt(7, 0);
    Ui_GridMousePress(&g_pGridView->head);
    EXPECT_EQ(g_iNextScreen, 46);
    EXPECT_EQ(g_asGridMark[0], Ui_GridCursorColumn());
    EXPECT_EQ(g_asGridMark[0], column + 4);
    EXPECT_TRUE(g_ucChaseEditFlags & CHASEEDIT_NEWCLIP);
    EXPECT_EQ(g_pChaseEditWindow, nullptr);
    g_ucChaseEditFlags = 0;
    g_iNextScreen = -1;

    // The clip's middle cell: the grid closes and the editor opens on that clip, as an object clip.
    PointAt(3, 0);
    Ui_GridMousePress(&g_pGridView->head);
    EXPECT_EQ(g_pGridWindow, nullptr);
    for (int i = 0; i < 8 && !g_pChaseEditWindow; i++)
        Frame(); // the grid window goes at the frame's end, then the editor opens
    ASSERT_NE(g_pChaseEditWindow, nullptr);
    EXPECT_EQ(g_pPreviewClip, clip);
    EXPECT_TRUE(g_ucChaseEditFlags & CHASEEDIT_OBJECT);
    EXPECT_EQ(g_pEditChase, Vid_GetClipEntryChase(clip, 1));
    Ui_GridMouseRelease(nullptr); // the grid is gone: the release does nothing
    Ed_LeaveChaseEditor();
    EXPECT_EQ(g_pChaseEditWindow, nullptr);
    EXPECT_EQ(Vid_GetLaneClipAt(0, column), clip) << "leaving keeps a clip that has chases";
    for (int i = 0; i < 8 && !g_pGridWindow; i++)
        Frame();
    ASSERT_NE(g_pGridWindow, nullptr);
    EXPECT_EQ(g_ucGridKind, 1) << "back on the video grid";

    // The song grid has no clips: the press is refused and opens nothing.
    Ui_CloseGridScreen();
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    const uint32_t refusals = g_uRefusals;
    g_iScreen = 67;
    g_iNextScreen = -1;
    PointAt(3, 0);
    Ui_GridMousePress(&g_pGridView->head);
    EXPECT_EQ(g_uRefusals, refusals + 1);
    EXPECT_NE(g_pGridWindow, nullptr);
    EXPECT_EQ(g_pChaseEditWindow, nullptr);
    EXPECT_EQ(g_iNextScreen, -1);
    g_iScreen = 10;
}

// ---- Golden frames ----

TEST_F(GridCells, GoldenSongGridWorldViewAndVideoGrid)
{
    BuildSong();
    Frame();
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    g_iScreen = 0;
    Frames(3);
    EXPECT_EQ(g_uPacketsDropped, 0u);
    EXPECT_TRUE(TestLayer_MatchesGolden("grid_song", 0xEA125B783A05403C));

    // Playing (screen 4): the cursor frame with the play line a quarter into its cell.
    g_iScreen = 4;
    g_sGridCursorX = 5;
    g_sGridCursorY = 3;
    g_uStepsLeftInBar = 11;
    Frames(2);
    EXPECT_EQ(g_iBeatLineOffset, 7);
    EXPECT_TRUE(TestLayer_MatchesGolden("grid_song_playing", 0x4B2C514B9DD59B5B));
    // Marking (screen 2): the marked range in blue over two riffs' cells, the panel frame magenta.
    g_iScreen = 2;
    g_asGridMark[0] = 4;
    g_asGridMark[1] = 3;
    g_asGridMark[2] = 7;
    g_asGridMark[3] = 5;
    // While marking, the block's corner follows the cursor.
    g_sGridCursorX = int16_t(7 - g_pGridView->firstColumn - 1);
    g_sGridCursorY = int16_t(5 - g_pGridView->firstRow - 1);
    g_ucGridMarkStyle = 3;
    g_ucGridMarkRepaint = 2;
    Frames(2);
    EXPECT_EQ(Ui_PanelFrameStyle(0), 3);
    EXPECT_EQ(Ui_PanelFrameStyle(1), 3);
    EXPECT_TRUE(TestLayer_MatchesGolden("grid_song_marked", 0xEE1E8E7E47D75F35));
    g_iScreen = 0;
    g_ucGridMarkStyle = 0;
    g_ucGridMarkRepaint = 2;

    // The world view: 97 x 60 cells of 6 pixels with the small labels.
    Ui_WorldViewOn();
    Frames(3);
    EXPECT_EQ(g_pGridView->cellWidth, 6);
    // A song shorter than the view: the column bar's range starts and ends at 0, so its thumb
    // stays on the bar (a negative range drew it off the bar's left end).
    ASSERT_NE(g_pGridView->columnBar, nullptr);
    EXPECT_EQ(g_pGridView->columnBar->maximum, 0);
    EXPECT_EQ(g_uPacketsDropped, 0u);
    EXPECT_TRUE(TestLayer_MatchesGolden("grid_world", 0xE238380B9DBAEBB6));
    Ui_WorldViewOff();

    // The video grid with a clip of two entries, its group open.
    ASSERT_EQ(Vid_InitVideoCore(), 0);
    VIDCLIP *clip = Clip(2);
    ASSERT_NE(clip, nullptr);
    ASSERT_EQ(Vid_PlaceClipRun(1, 2, 5, clip), 0);
    Vid_RecalcLaneHighWater(1);
    Ui_CloseGridScreen();
    Walk();
    ASSERT_TRUE(Ui_SetupGridScreen(1));
    Ui_ToggleRowGroup(1);
    g_iScreen = 7;
    Frames(3);
    EXPECT_TRUE(TestLayer_MatchesGolden("grid_video", 0x09280321823308FF));
    EXPECT_TRUE(TestLayer_GuardsIntact());
    Ui_CloseGridScreen();
    Vid_ResetVideo();
    Vid_FreeVideoCore();
}

// Holding Right on the song grid through the real pad bindings: four frames in, the cells, the
// bar numbers and the riffs have moved 8 pixels left, a third of the way through the first cell.
TEST_F(GridCells, GoldenHeldRightHalfwayThroughACell)
{
    BuildSong();
    Frame();
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    g_iScreen = 0;
    Frames(2);
    SetPad(1, 0x00, 0x41, uint16_t(~(1u << 5)));
    Frames(5); // the press is latched in the first frame; the view moves 2 pixels a frame after it
    SetPad(1, 0x00, 0x41, 0xFFFF);
    EXPECT_EQ(g_pGridView->columnOffset, -8);
    EXPECT_EQ(g_pGridView->firstColumn, -1);
    EXPECT_TRUE(TestLayer_MatchesGolden("grid_song_scrolling", 0x98460F170CDF6696));
    // Released, the scroll finishes its cell and stops there.
    Frames(12);
    EXPECT_EQ(g_pGridView->columnOffset, 0);
    EXPECT_EQ(g_pGridView->firstColumn, 0);
}

} // namespace
