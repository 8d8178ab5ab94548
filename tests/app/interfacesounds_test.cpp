#include "audio/sampleslot.h"
#include "spine_fixture.h"
#include "support/tempdir.h"
#include "tools/soundcontent.h"

#include <cstdlib>
#include <string>

// Start-up loads the five interface sounds from the built data folder; shutdown frees them.
TEST_F(SpineTest, StartupLoadsTheInterfaceSounds)
{
    const char *build = std::getenv("TNV_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    setenv("TNV_DATA_DIR", (std::string(build) + "/data").c_str(), 1);
    Sys_LoadSettings();
    unsetenv("TNV_DATA_DIR");

    ASSERT_EQ(Sys_Startup(0), 0);
    for (int n = 0; n < 5; n++) {
        SCOPED_TRACE(n);
        EXPECT_NE(g_astInterfaceSounds[n].pData, nullptr);
        EXPECT_EQ(g_astInterfaceSounds[n].uFrames, (Content_SynthInterfaceSound(n).size() + 27) / 28 * 28);
        EXPECT_EQ(g_astInterfaceSounds[n].uRate, 11025u);
    }
    Sys_Shutdown(0);
    for (const SAMPLESLOT &s : g_astInterfaceSounds)
        EXPECT_EQ(s.pData, nullptr);
}

// Without its sound files the program still starts; the sounds stay silent.
TEST_F(SpineTest, StartupWithoutInterfaceSoundsGoesOn)
{
    TempDir data;
    setenv("TNV_DATA_DIR", data.Path().c_str(), 1);
    Sys_LoadSettings();
    unsetenv("TNV_DATA_DIR");
    ASSERT_EQ(Sys_Startup(0), 0);
    for (const SAMPLESLOT &s : g_astInterfaceSounds)
        EXPECT_EQ(s.pData, nullptr);
    Sys_Shutdown(0);
}
