// The keyboard drives the pad word, and the interface frame runs the current screen's bindings of
// the start-up table from it, once a frame: press, held and the blocking of a higher slot.
#include "spine_fixture.h"

#include "core/padbind.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/popup.h"

#include <filesystem>

namespace
{

// Slot 0's item on the song grid's page ("Area selection"), replaced so the run stays on the grid
// and the item's runs are counted.
void SlotZeroItem()
{
    Sys_CallLog("Ui_RunPageItemForSlot(0)");
}

TEST_F(SpineTest, HeldKeysRunTheirBindingsFrameByFrame)
{
    Ui_SetMenuItemHandler(3, SlotZeroItem);
    // Screen 0, the song grid: Up is slot 4 (Ui_GridStepUp while held), Right slot 5
    // (Ui_GridStepRight while held), Numpad0 slot 0 and keypad + slot 3 (the page menu's items on
    // press: slot 3 is the Play item, which the grid has a handler for). An event is taken before the frame after the given number of frames, so Up is down
    // for frames 3-5.
    EXPECT_EQ(Run(nullptr, 20,
                  {"2 keydown Up", "5 keyup Up", "6 keydown Numpad0", "7 keyup Numpad0", "8 keydown Add",
                   "9 keyup Add",
                   // Slot 0 held: slot 3's press is blocked while it is down and does not fire late;
                   // the cursor slots are never blocked.
                   "10 keydown Numpad0", "11 keydown Add", "12 keydown Right", "13 keyup Right", "14 keyup Add",
                   "15 keyup Numpad0"}),
              0);
    EXPECT_EQ(g_iScreen, 0);
    EXPECT_EQ(Count("Ui_GridStepUp"), 3);
    EXPECT_EQ(Count("Ui_GridStepRight"), 1);
    EXPECT_EQ(Count("Ui_RunPageItemForSlot(0)"), 2);
    EXPECT_EQ(Count("Ui_PlayFromCursor"), 1);
    Ui_ResetMenuItems();
}
} // namespace

namespace
{
// Frame by frame through the studio's own loop steps, with the pad driven as the keyboard drives
// it: on the pop-up's folder-modifier screen, slot 0's release cell runs when the slot comes up,
// and slot 5's press cell once per press.
TEST_F(SpineTest, ReleaseAndPressCellsRunThroughTheTable)
{
    ASSERT_EQ(Sys_Startup(0), 0);
    g_iScreen = 48;
    auto frames = [](int n) {
        for (int i = 0; i < n; i++)
            Sys_FrameUpdate();
    };
    Sys_SetPadButtons(static_cast<uint16_t>(~1u), 0); // slot 0 down
    frames(3);
    EXPECT_EQ(g_iScreen, 48);
    g_bFolderStepped = 0;
    Sys_SetPadButtons(static_cast<uint16_t>(~(1u << 5)), 0); // slot 5 down as well: a cursor slot
    frames(2);
    EXPECT_EQ(g_bFolderStepped, 1) << "the next-folder press ran";
    g_bFolderStepped = 0;
    Sys_SetPadButtons(1u << 5, 1);
    Sys_SetPadButtons(1u, 1); // slot 0 up
    frames(2);
    EXPECT_EQ(g_iScreen, 9) << "the release cell returned to the pop-up screen";
    EXPECT_EQ(g_bFolderStepped, 0) << "slot 5 ran once per press";
    Sys_Shutdown(0);
}
} // namespace

namespace
{
// The studio's own loop with scripted mouse motion: pushed past the top-left and then far past the
// bottom-right, the pointer stops 12 pixels short of the right and bottom edges.
TEST_F(SpineTest, ScriptedPointerStopsTwelvePixelsShortOfTheEdges)
{
    const std::string picture = ::testing::TempDir() + "tnv_pointer_corner.png";
    setenv("TNV_DUMP_FRAME", picture.c_str(), 1);
    g_ucMouseButtons = 0;
    EXPECT_EQ(Run(nullptr, 6, {"1 mousemove -9000 -9000", "2 mousemove 5000 5000", "3 mousemove 3000 3000"}), 0);
    unsetenv("TNV_DUMP_FRAME");
    EXPECT_EQ(g_sMouseX, 640 - 12);
    EXPECT_EQ(g_sMouseY, 480 - 12);
    EXPECT_TRUE(std::filesystem::exists(picture));
}
} // namespace
