#include "spine_fixture.h"
#include "tools/videoresources.h"
#include "video/chase.h"
#include "video/interp.h"

#include <cstdlib>
#include <string>

// The studio's start-up brings the video engine up with the built data: every chase type at its
// code and the chase palette read from "BOOT\PALETTE.PAL".
TEST_F(SpineTest, StartupBringsUpTheVideoEngineWithItsPalette)
{
    const char *build = std::getenv("TNV_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    setenv("TNV_DATA_DIR", (std::string(build) + "/data").c_str(), 1);
    Sys_LoadSettings();
    unsetenv("TNV_DATA_DIR");
    ASSERT_EQ(Sys_Startup(0), 0);
    EXPECT_EQ(Vid_FindChaseType(6), 0x4000);
    EXPECT_EQ(Vid_FindChaseType(20), 0x2003);
    EXPECT_EQ(Vid_FindChaseType(12), -1);
    const std::vector<CONTENTRGB> colours = Content_ChasePaletteColours();
    ASSERT_EQ(colours.size(), 128u);
    for (int i = 0; i < 128; i++) {
        SCOPED_TRACE(i);
        // The file keeps 5 bits a channel.
        EXPECT_NEAR(g_aChasePalette[i][0], colours[i].r, 8);
        EXPECT_NEAR(g_aChasePalette[i][1], colours[i].g, 8);
        EXPECT_NEAR(g_aChasePalette[i][2], colours[i].b, 8);
    }
}
