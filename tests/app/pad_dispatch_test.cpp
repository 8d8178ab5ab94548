// The keyboard drives the pad word, and the interface frame runs the current screen's bindings of
// the start-up table from it, once a frame: press, held and the blocking of a higher slot.
#include "spine_fixture.h"

#include "core/padbind.h"

namespace
{

TEST_F(SpineTest, HeldKeysRunTheirBindingsFrameByFrame)
{
    // Screen 0, the song grid: Up is slot 4 (Ui_GridStepUp while held), Right slot 5
    // (Ui_GridStepRight while held), Numpad0 slot 0 and keypad + slot 3 (the page menu's items on
    // press). An event is taken before the frame after the given number of frames, so Up is down
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
    EXPECT_EQ(Count("Ui_RunPageItemForSlot(3)"), 1);
}
} // namespace
