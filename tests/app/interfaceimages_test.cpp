#include "render/gpustate.h"
#include "render/textures.h"
#include "spine_fixture.h"
#include "support/tempdir.h"
#include "tools/interfacepictures.h"

#include <cstdlib>
#include <string>

// Start-up loads the interface pictures of the built data folder into slots 6..27 as texel
// sources; shutdown frees the table.
TEST_F(SpineTest, StartupLoadsTheInterfacePictures)
{
    const char *build = std::getenv("TNV_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    setenv("TNV_DATA_DIR", (std::string(build) + "/data").c_str(), 1);
    Sys_LoadSettings();
    unsetenv("TNV_DATA_DIR");

    ASSERT_EQ(Sys_Startup(0), 0);
    ASSERT_NE(g_ppTextures, nullptr);
    for (int slot = 0; slot < 32; slot++) {
        SCOPED_TRACE(slot);
        const bool loaded = slot >= CONTENT_FIRST_PICTURE && slot <= CONTENT_LAST_PICTURE;
        const uint16_t *page = Gfx_GetTexelSource(slot);
        EXPECT_EQ(page != nullptr, loaded);
        if (!loaded)
            continue;
        // The pixel at the middle of the first cell is the builder's, in the display's layout.
        const std::vector<uint8_t> rgb = Content_InterfacePicture(slot);
        const uint8_t *p = &rgb[(32 * 256 + 32) * 3];
        EXPECT_EQ(page[32 * 512 + 16 * 4], Gfx_PackRawColour(p[0], p[1], p[2]));
    }
    // Page words name slots: a draw-mode packet for page 6 makes it the CLUT source.
    Gfx_SelectClutSource(6);
    EXPECT_EQ(g_pClutSource, Gfx_GetTexelSource(6));
    Sys_Shutdown(0);
    EXPECT_EQ(g_ppTextures, nullptr);
    EXPECT_EQ(g_pClutSource, nullptr);
}

// Without its pictures the program still starts, with the slots empty.
TEST_F(SpineTest, StartupWithoutInterfacePicturesGoesOn)
{
    TempDir data;
    setenv("TNV_DATA_DIR", data.Path().c_str(), 1);
    Sys_LoadSettings();
    unsetenv("TNV_DATA_DIR");
    ASSERT_EQ(Sys_Startup(0), 0);
    for (int slot = CONTENT_FIRST_PICTURE; slot <= CONTENT_LAST_PICTURE; slot++)
        EXPECT_EQ(g_ppTextures[slot], nullptr) << slot;
    Sys_Shutdown(0);
}
