#include "render/gpustate.h"
#include "render/textures.h"
#include "tools/interfacepictures.h"

#include <gtest/gtest.h>

#include <algorithm>

// Every picture is a full 256 x 256 page; its black background is keyed out, and nothing drawn
// on it is dark enough to vanish in either 16-bit layout. The images fill the first pages.
TEST(InterfacePictures, PicturesAreFullPagesWithOnlyTheBackgroundKeyedOut)
{
    const std::vector<CONTENTFILE> files = Content_InterfacePictureFiles();
    ASSERT_EQ(files.size(), 22u);
    size_t pagesWithInk = 0;
    for (size_t i = 0; i < files.size(); i++) {
        const CONTENTFILE &f = files[i];
        SCOPED_TRACE(f.path);
        EXPECT_EQ(f.path, "win" + std::to_string(i + 6) + ".raw");
        ASSERT_EQ(f.data.size(), 256u * 256 * 3);
        int background = 0, drawn = 0;
        for (size_t p = 0; p < f.data.size(); p += 3) {
            const uint8_t r = f.data[p], g = f.data[p + 1], b = f.data[p + 2];
            if (r == 0 && g == 0 && b == 0) {
                background++;
                continue;
            }
            drawn++;
            for (int layout : {PIXELFORMAT_565, PIXELFORMAT_555}) {
                g_iPixelFormat = layout;
                ASSERT_NE(Gfx_PackRawColour(r, g, b), 0) << "pixel " << p / 3;
            }
        }
        g_iPixelFormat = PIXELFORMAT_565;
        EXPECT_GT(background, 0);
        pagesWithInk += drawn > 0;
        // Pages fill in order: once one is empty, so are the rest.
        if (i > 0 && drawn > 0) {
            const std::vector<uint8_t> &before = files[i - 1].data;
            EXPECT_NE(std::count(before.begin(), before.end(), 0), std::ptrdiff_t(before.size()));
        }
    }
    EXPECT_GE(pagesWithInk, 10u);
}
