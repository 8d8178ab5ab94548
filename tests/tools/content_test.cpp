// The data folder the build made: the studio's archive opens and holds what start-up needs.
#include "core/archive.h"
#include "core/disc.h"
#include "core/file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

TEST(Content, BuiltArchiveOpens)
{
    const char *build = std::getenv("TNV_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/data/", build);
    Sys_DiscInit();
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
    Sys_FreeDiscPool();
    g_szDataDir[0] = 0;
}

namespace {

std::string RunStudio(const std::string &env, int *exitCode)
{
    std::string cmd = "env -u TNV_DATA_DIR -u TNV_INPUT_SCRIPT TNV_BACKEND=headless TNV_EXIT_AFTER_FRAMES=2 "
                      "TNV_SETTINGS=" + ::testing::TempDir() + "tnv_content_settings.ini " + env + " '" +
                      std::getenv("TNV_BUILD_DIR") + "/tnvpc' 2>&1 >/dev/null";
    std::string out;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int status = pclose(p);
    *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

} // namespace

TEST(Content, StudioFindsItsArchiveOnTheFirstStart)
{
    ASSERT_NE(std::getenv("TNV_BUILD_DIR"), nullptr);
    int code = -1;
    std::string err = RunStudio("", &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(err.find("archive:"), std::string::npos) << err;

    // Without its archive the studio still starts, and says what is missing.
    err = RunStudio("TNV_DATA_DIR=/nonexistent/", &code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(err.find("archive: Couldn't Load File (WADS\\demowad.IND)"), std::string::npos) << err;
}
