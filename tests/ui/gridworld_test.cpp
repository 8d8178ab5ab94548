// The song grid's world-view cells and switching the world view on and off.
#include "ui_fixture.h"

#include "core/browser.h"
#include "render/ordertable.h"
#include "sequencer/eventlists.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "ui/bindings.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "video/lanes.h"
#include "ui/gridworld.h"

using namespace uitest;

namespace {

class GridWorld : public UiTest
{
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        Seq_ResetSongModel();
        Seq_Init();
        Seq_NewSong();
        Sys_SetGridLayout();
        Vid_InitLanes();
        Ui_ResetGridRows();
        g_uSongRowCount = 200;
        g_ucGridOptions = 0;
        g_iScreen = 0;
    }
    void TearDown() override
    {
        Ui_CloseGridScreen();
        g_ucGridOptions = 0;
        Seq_ResetSongModel();
        UiTest::TearDown();
    }
    static int Image(int column, int row, int *colour = nullptr)
    {
        int c = 0;
        const int image = Ui_SongWorldCellImage(column, row, &c);
        if (colour)
            *colour = c;
        return image;
    }
};

TEST_F(GridWorld, SongCellsShowRiffsLanesAndTheEnd)
{
    // An empty song: track cells with the darker mark on every fourth column.
    struct
    {
        int column, row, image;
    } empty[] = {{0, 0, 214}, {1, 0, 210}, {3, 98, 210}, {4, 98, 214}, {-1, 0, 210}, {0, -1, 214},
                 {199, 5, 210}, {200, 5, 218}, {500, 99, 218},
                 // The event lanes, empty: bar mark and plain cell per lane.
                 {16, 99, 217}, {17, 99, 213}, {4, 100, 216}, {5, 100, 212}, {8, 101, 215}, {9, 101, 211},
                 {12, 102, 220}, {13, 102, 219}};
    for (const auto &c : empty) {
        int colour = 0;
        EXPECT_EQ(Image(c.column, c.row, &colour), c.image) << c.column << "," << c.row;
        EXPECT_EQ(colour, -1) << "empty cells are drawn at the neutral tint";
    }

    // A one-track one-bar riff, a one-track three-bar riff and a three-track three-bar riff.
    const int single = Seq_NewRiff(1, 1), longer = Seq_NewRiff(3, 1), block = Seq_NewRiff(3, 3);
    ASSERT_GT(single, 0);
    Seq_GetRiff(block)->ucColour = 50;
    ASSERT_EQ(Seq_PlaceRiffAt(single, 0, 0), 1);
    ASSERT_EQ(Seq_PlaceRiffAt(longer, 10, 2), 1);
    ASSERT_EQ(Seq_PlaceRiffAt(block, 20, 5), 1);
    EXPECT_EQ(Image(0, 0), 233);
    EXPECT_EQ(Image(10, 2), 234);
    EXPECT_EQ(Image(11, 2), 235);
    EXPECT_EQ(Image(12, 2), 236);
    const int frame[3][3] = {{224, 225, 226}, {227, 228, 229}, {230, 231, 232}};
    for (int track = 0; track < 3; track++)
        for (int bar = 0; bar < 3; bar++) {
            int colour = 0;
            EXPECT_EQ(Image(20 + bar, 5 + track, &colour), frame[track][bar]) << track << " " << bar;
            EXPECT_EQ(colour, 50 % 48);
        }

    // Lane entries: one row long, and several rows.
    ASSERT_EQ(Seq_SetTrackEntry(30, 1, 120, 120, 0, 0, 0, 0, 0, LIST_TEMPO), 1);
    ASSERT_EQ(Seq_SetTrackEntry(40, 3, 200, 200, 0, 0, 0, 0, 0, LIST_VOLUME), 1);
    int colour = 0;
    EXPECT_EQ(Image(30, 101, &colour), 233);
    EXPECT_EQ(colour, 25);
    EXPECT_EQ(Image(40, 99, &colour), 234);
    EXPECT_EQ(colour, 24);
    EXPECT_EQ(Image(41, 99), 235);
    EXPECT_EQ(Image(42, 99), 236);

    // The packet carries the tint of the colour table as a glyph sprite (the only sprite the
    // walker tints), toned down a little and never past 128, above which the tint mask wraps.
    PACKET_SPRITE_T packet{};
    Ui_SongCellCallback(reinterpret_cast<uint8_t *>(&packet), 21, 6, 40, 50);
    const uint8_t *want = g_aabGridCellColours[2];
    EXPECT_EQ(packet.head.code, PACKET_GLYPH);
    EXPECT_EQ(packet.head.r, want[0] * 7 / 8);
    EXPECT_EQ(packet.head.g, want[1] * 7 / 8);
    EXPECT_EQ(packet.head.b, want[2] * 7 / 8);
    for (int entry : {0, 6})
        EXPECT_LE(g_aabGridCellColours[entry][1] * 7 / 8, 128) << "the brightest entries stay inside the mask";
    EXPECT_EQ(packet.x, 40);
    EXPECT_EQ(packet.y, 50);
    Ui_SongCellCallback(reinterpret_cast<uint8_t *>(&packet), 1, 1, 40, 50);
    EXPECT_EQ(packet.head.r, 128);
    EXPECT_EQ(packet.head.code, PACKET_SPRITE) << "empty cells are drawn as they are";
}

TEST_F(GridWorld, OnShowsTheOverviewOffReturnsNearTheOldPlace)
{
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    g_pGridView->firstColumn = 30;
    g_pGridView->firstRow = 10;
    g_sGridCursorX = 5;
    g_sGridCursorY = 4;
    Ui_WorldViewOn();
    ASSERT_NE(g_pGridView, nullptr) << "the overview's ring fits the cell area";
    EXPECT_EQ(g_ucGridOptions & 1, 1);
    EXPECT_EQ(g_pGridView->ringColumns, 97 + 2);
    EXPECT_EQ(g_pGridView->ringRows, 60 + 2);
    EXPECT_EQ(g_pGridView->cellWidth, 6);
    EXPECT_EQ(g_pGridView->head.x, 28);
    EXPECT_EQ(g_pGridView->firstColumn, 30);
    EXPECT_EQ(g_pGridView->firstRow, -1);
    Ui_WorldViewOn(); // already on: nothing
    EXPECT_EQ(g_pGridView->firstColumn, 30);
    for (int i = 0; i < 3; i++)
        Frame();

    // Off: the cursor's cell stays under the cursor when it fits the normal view.
    Ui_WorldViewOff();
    ASSERT_NE(g_pGridView, nullptr);
    EXPECT_EQ(g_ucGridOptions & 1, 0);
    EXPECT_EQ(g_pGridView->cellWidth, 24);
    EXPECT_EQ(g_pGridView->firstColumn, 30);
    EXPECT_EQ(g_pGridView->firstRow, -1);
    EXPECT_EQ(Ui_GridCursorColumnRaw(), 36);
    EXPECT_EQ(Ui_GridCursorRowRaw(), 4);

    // A cursor far into the overview: the view moves so that it stays inside.
    Ui_WorldViewOn();
    g_sGridCursorX = 90;
    g_sGridCursorY = 55;
    const int cellX = Ui_GridCursorColumnRaw(), cellY = Ui_GridCursorRowRaw();
    Ui_WorldViewOff();
    EXPECT_EQ(Ui_GridCursorColumnRaw(), cellX);
    EXPECT_EQ(Ui_GridCursorRowRaw(), cellY);
    EXPECT_GE(g_sGridCursorX, 0);
    EXPECT_LT(g_sGridCursorX, 23);
    EXPECT_GE(g_sGridCursorY, 0);
    EXPECT_LT(g_sGridCursorY, 15);
    Ui_WorldViewOff(); // already off: nothing
    EXPECT_EQ(Ui_GridCursorColumnRaw(), cellX);

    // The first column is kept to 901 at most when the overview opens.
    g_uSongRowCount = 999;
    ASSERT_TRUE(Ui_SetupGridScreen(2));
    g_pGridView->firstColumn = 950;
    Ui_WorldViewOn();
    EXPECT_EQ(g_pGridView->firstColumn, 901);
}

} // namespace
