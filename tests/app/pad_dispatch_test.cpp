// The keyboard drives the pad word, and the interface frame runs the bindings of the current
// screen from it, once a frame.
#include "spine_fixture.h"

#include "core/padbind.h"

namespace
{
int g_nHeld, g_nPressed, g_nReleased;
void CountHeld() { g_nHeld++; }
void CountPressed() { g_nPressed++; }
void CountReleased() { g_nReleased++; }

TEST_F(SpineTest, HeldKeysRunTheirBindingsFrameByFrame)
{
    g_nHeld = g_nPressed = g_nReleased = 0;
    ASSERT_EQ(Sys_PadBind(0, 0, CountHeld, BIND_WHILE_HELD), 0);    // Numpad0
    ASSERT_EQ(Sys_PadBind(0, 4, CountPressed, BIND_ON_PRESS), 0);   // Up
    ASSERT_EQ(Sys_PadBind(0, 3, CountReleased, BIND_ON_RELEASE), 0); // keypad +
    // An event is taken before the frame after the given number of frames, so Numpad0 is down
    // for frames 3, 4 and 5.
    EXPECT_EQ(Run(nullptr, 12,
                  {"2 keydown Numpad0", "5 keyup Numpad0", "6 keydown Up", "9 keyup Up",
                   "10 keydown Add", "11 keyup Add"}),
              0);
    EXPECT_EQ(g_nHeld, 3);
    EXPECT_EQ(g_nPressed, 1);
    EXPECT_EQ(g_nReleased, 1);
}
} // namespace
