#include "platform/backend.h"

#include <gtest/gtest.h>

// CTest hands every test the headless backend and the source and build folders.
TEST(TestEnvironment, FoldersAreSet)
{
    ASSERT_NE(Plat_GetEnv("TNV_BACKEND"), nullptr);
    EXPECT_STREQ(Plat_GetEnv("TNV_BACKEND"), "headless");
    EXPECT_NE(Plat_GetEnv("TNV_SOURCE_DIR"), nullptr);
    EXPECT_NE(Plat_GetEnv("TNV_BUILD_DIR"), nullptr);
}
