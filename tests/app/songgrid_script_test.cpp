// The song grid driven as a user drives it, through the studio's own loop and an input script,
// on the demo song the studio opens with.
#include "spine_fixture.h"

#include "ui/gridsetup.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/popup.h"
#include "ui/view.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace
{

class SongGridScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        m_mouseButtons = g_ucMouseButtons;
        Fresh();
    }
    void TearDown() override
    {
        unsetenv("TNV_DUMP_FRAME");
        unsetenv("TNV_DATA_DIR");
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        g_ucGridOptions = 0;
        g_ucMouseButtons = m_mouseButtons; // the mouse use as the test found it
        SpineTest::TearDown();
    }
    uint8_t m_mouseButtons = 0;
    // Each run starts the studio from scratch: the loop's globals, the grid's options, the menu
    // rows rewritten at run time and the page menu's kept places.
    void Fresh()
    {
        SpineTest::TearDown();
        SpineTest::SetUp();
        ResetPageMenus();
        g_ucGridOptions = 0;
        g_ucMouseButtons = 0; // start-up switches mouse use on
        setenv("TNV_DATA_DIR", TNV_TEST_BUILD_DIR "/data", 1);
    }
    // Pixels the song grid has moved right of its start.
    static int Moved() { return g_pGridView ? g_pGridView->firstColumn * 24 + 24 - g_pGridView->columnOffset : -1; }
    static std::string Bytes(const std::string &path)
    {
        std::ifstream f(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
};

// Held Right: the view moves 2 px a frame, one cell at a time; the demo song is one cell wider
// than the view, so it stops there, on the cell boundary, and holding on moves nothing more.
TEST_F(SongGridScript, HeldRightScrollsTwoPixelsAFrameAndStopsOnACellAtTheSongEnd)
{
    const std::string before = ::testing::TempDir() + "tnv_songgrid_before.png";
    const std::string after = ::testing::TempDir() + "tnv_songgrid_after.png";
    setenv("TNV_DUMP_FRAME", before.c_str(), 1);
    ASSERT_EQ(Run(nullptr, 10), 0);
    unsetenv("TNV_DUMP_FRAME");
    ASSERT_NE(g_pGridView, nullptr);
    EXPECT_EQ(g_ucGridKind, 2);
    EXPECT_EQ(Moved(), 0);
    std::vector<int> moved;
    for (int frames = 6; frames <= 18; frames++) {
        Fresh();
        ASSERT_EQ(Run(nullptr, frames, {"5 keydown Right"}), 0);
        moved.push_back(Moved());
    }
    const std::vector<int> want = {4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 24, 24};
    EXPECT_EQ(moved, want);
    Fresh();
    setenv("TNV_DUMP_FRAME", after.c_str(), 1);
    ASSERT_EQ(Run(nullptr, 40, {"5 keydown Right", "30 keyup Right"}), 0);
    EXPECT_EQ(g_pGridView->firstColumn, 0);
    EXPECT_EQ(g_pGridView->columnOffset, 0);
    EXPECT_EQ(g_pGridView->columnStep, 0);
    ASSERT_TRUE(std::filesystem::exists(before));
    ASSERT_TRUE(std::filesystem::exists(after));
    EXPECT_TRUE(Bytes(before) != Bytes(after)) << "the dumped grid shows the scroll";
}

// The page menu's World View item: the overview of 97 x 60 cells of 6 px; its cancel, in the same
// row of the menu reopened under the pointer, returns to the cells of 24 px at the old place.
TEST_F(SongGridScript, WorldViewFromThePageMenuAndBack)
{
    const std::string world = ::testing::TempDir() + "tnv_songgrid_world.png";
    setenv("TNV_DUMP_FRAME", world.c_str(), 1);
    // The menu opens with its first row under the pointer; row 18 (World View) lies 17 rows lower.
    const std::vector<std::string> open = {"10 mousedown 2", "11 mouseup 2", "14 mousemove 0 190", "16 mousedown 1",
                                           "17 mouseup 1"};
    ASSERT_EQ(Run(nullptr, 26, open), 0);
    ASSERT_NE(g_pGridView, nullptr);
    EXPECT_EQ(g_ucGridOptions & 1, 1);
    EXPECT_EQ(g_pGridView->cellWidth, 6);
    EXPECT_EQ(g_pGridView->cellHeight, 6);
    EXPECT_EQ(g_pGridView->ringColumns - 2, 97);
    EXPECT_EQ(g_pGridView->ringRows - 2, 60);
    EXPECT_EQ(g_pPageMenuPopup, nullptr);
    EXPECT_TRUE(std::filesystem::exists(world));
    unsetenv("TNV_DUMP_FRAME");

    Fresh();
    std::vector<std::string> back = open;
    back.insert(back.end(), {"30 mousedown 2", "31 mouseup 2", "36 mousedown 1", "37 mouseup 1"});
    ASSERT_EQ(Run(nullptr, 50, back), 0);
    EXPECT_EQ(g_ucGridOptions & 1, 0);
    EXPECT_EQ(g_pGridView->cellWidth, 24);
    EXPECT_EQ(g_pGridView->ringColumns - 2, 23);
    EXPECT_EQ(g_pGridView->firstColumn, -1) << "back at the start, where it was";
    EXPECT_EQ(g_pPageMenuPopup, nullptr);
}

} // namespace
