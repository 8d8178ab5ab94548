#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/mouse.h"
#include "platform/window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class HeadlessMouse : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        unsetenv("TNV_INPUT_SCRIPT");
        Plat_MouseHeadlessReset();
        ASSERT_EQ(Plat_MouseOpen(), PLAT_MOUSE_OK);
    }
    void TearDown() override
    {
        Plat_MouseClose();
        Plat_MouseHeadlessReset();
        Plat_WindowDestroy();
        unsetenv("TNV_INPUT_SCRIPT");
    }
};

} // namespace

TEST_F(HeadlessMouse, ReadsNeedTheMouseAcquiredAndLeaveTheStateAloneOnFailure)
{
    PLATMOUSESTATE st{7, 7, 7, {7, 7, 7, 7}};
    Plat_MouseHeadlessMove(4, 5, 0);
    EXPECT_EQ(Plat_MouseGetState(&st), PLAT_MOUSE_NOTACQUIRED);
    EXPECT_EQ(st.dx, 7);
    Plat_MouseHeadlessRefuseAcquire(true);
    EXPECT_EQ(Plat_MouseAcquire(true), PLAT_MOUSE_OTHERHASPRIO);
    Plat_MouseHeadlessRefuseAcquire(false);
    ASSERT_EQ(Plat_MouseAcquire(true), PLAT_MOUSE_OK);
    ASSERT_EQ(Plat_MouseGetState(&st), PLAT_MOUSE_OK);
    EXPECT_EQ(st.dx, 4);
    EXPECT_EQ(st.dy, 5);
    // Lost input is told once; after that the mouse is not acquired until asked again.
    Plat_MouseHeadlessLoseInput();
    EXPECT_EQ(Plat_MouseGetState(&st), PLAT_MOUSE_INPUTLOST);
    EXPECT_EQ(Plat_MouseGetState(&st), PLAT_MOUSE_NOTACQUIRED);
    Plat_MouseClose();
    EXPECT_EQ(Plat_MouseAcquire(true), PLAT_MOUSE_NODEVICE);
    EXPECT_EQ(Plat_MouseGetState(&st), PLAT_MOUSE_NODEVICE);
}

TEST_F(HeadlessMouse, ScriptLinesArriveWhenDueWithOneButtonChangeARead)
{
    const std::string path = ::testing::TempDir() + "mouse_script.txt";
    FILE *f = std::fopen(path.c_str(), "w");
    std::fputs("0 mousemove 3 -4\n0 mousemove 1 1\n1 mousedown 1\n1 mouseup 1\n1 mousedown 2\n2 mousemove -7 0\n", f);
    std::fclose(f);
    setenv("TNV_INPUT_SCRIPT", path.c_str(), 1);
    ASSERT_TRUE(Plat_WindowCreate("t", 640, 480));
    ASSERT_EQ(Plat_MouseAcquire(true), PLAT_MOUSE_OK);

    struct Read
    {
        int32_t dx, dy;
        uint8_t b0, b1;
    };
    // Frame 0: both moves. Frame 1: the press of 1; its release and the press of 2 wait a read
    // each, the first of them coming with the move of frame 2.
    const Read expected[] = {{4, -3, 0, 0}, {0, 0, 0x80, 0}, {-7, 0, 0, 0}, {0, 0, 0, 0x80}, {0, 0, 0, 0x80}};
    const bool frameEndsAfter[] = {true, true, false, false, false};
    for (size_t i = 0; i < std::size(expected); i++) {
        SCOPED_TRACE(i);
        PLATMOUSESTATE st{};
        ASSERT_EQ(Plat_MouseGetState(&st), PLAT_MOUSE_OK);
        EXPECT_EQ(st.dx, expected[i].dx);
        EXPECT_EQ(st.dy, expected[i].dy);
        EXPECT_EQ(st.buttons[0], expected[i].b0);
        EXPECT_EQ(st.buttons[1], expected[i].b1);
        if (frameEndsAfter[i])
            Plat_WindowFrameDone();
    }
}

TEST(RealMouse, NoWindowMeansNoDevice)
{
    Plat_SetBackend(PLAT_BACKEND_REAL);
    if (!Plat_WindowExists()) {
        EXPECT_EQ(Plat_MouseOpen(), PLAT_MOUSE_NODEVICE);
    }
    EXPECT_FALSE(Plat_MouseIsOpen());
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
}
