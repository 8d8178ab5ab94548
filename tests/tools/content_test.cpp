// The data folder the build made: the studio's archive opens and holds what start-up needs.
#include "core/archive.h"
#include "core/standin_disc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

TEST(Content, BuiltArchiveOpens)
{
    const char *build = std::getenv("TNV_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/data/", build);
    ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
    EXPECT_EQ(g_iDiscError, 0);
    for (int dir : {g_iWadDirN, g_iWadDirR, g_iWadDirPerf, g_iWadDirChases, g_iWadDirJamTem, g_iWadDirAuto})
        EXPECT_GE(dir, 0);
    uint16_t idx[WAD_MAX_DEPTH + 1];
    EXPECT_EQ(Sys_WadPathToIndices("/BOOT/DEFRIF", idx), 2);
    EXPECT_EQ(Sys_WadPathToIndices("/BOOT/EFFREAL", idx), 2);
    int32_t count = -1;
    EXPECT_NE(Sys_WadListDirByIndex(idx, 1, &count), nullptr);
    EXPECT_GE(count, 2);
    Sys_WadFreeBuffers();
    g_szDataDir[0] = 0;
}
