#include "app/crash.h"
#include "core/file.h"
#include "platform/backend.h"
#include "platform/window.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class AssertBox : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        Plat_MessageBoxLogClear();
        Plat_MessageBoxSetHeadlessAnswer(1);
    }
    void TearDown() override { Plat_MessageBoxSetHeadlessAnswer(1); }
};

} // namespace

// The box names the file and line under the caller's caption; OK goes on.
TEST_F(AssertBox, OkGoesOnWithTheFileAndLineInTheText)
{
    Sys_AssertBox("Check failed", "sequencer/song.cpp", 417);
    EXPECT_STREQ(g_szErrorText, "sequencer/song.cpp (LINE #417)");
    ASSERT_EQ(Plat_MessageBoxLog().size(), 1u);
    EXPECT_EQ(Plat_MessageBoxLog()[0], "Check failed|sequencer/song.cpp (LINE #417)");
    // A name too long for the error text is cut, never overflowed.
    const std::string longName(2000, 'n');
    Sys_AssertBox("Check failed", longName.c_str(), 1);
    EXPECT_LT(std::strlen(g_szErrorText), sizeof g_szErrorText);
    Sys_AssertBox(nullptr, nullptr, -5);
    EXPECT_STREQ(g_szErrorText, " (LINE #-5)");
}

// Cancel ends the program at once, and not with the status of a clean end.
TEST_F(AssertBox, CancelEndsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Plat_MessageBoxSetHeadlessAnswer(2);
            Sys_AssertBox("Check failed", "a.cpp", 3);
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "Check failed");
}
