// The texture table on the software 3-D device: a console image drawn through the binding, the
// palette seen by the device, and a bound texture freed without the device reading freed memory.
#include "platform/sw3d.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/textures.h"
#include "support/test3d.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

uint16_t BackPixel(int x, int y)
{
    int32_t pitch = 0, w = 0, h = 0;
    const uint16_t *back = Gfx_GetBackBuffer(&pitch, &w, &h);
    return back[static_cast<size_t>(y) * (pitch / 2) + x];
}

void Quad()
{
    const std::vector<SW3DTLVERTEX> v = {{100, 100, 0.5f, 1.0f, 0x00FFFFFF, 0, 0, 0},
                                         {200, 100, 0.5f, 1.0f, 0x00FFFFFF, 0, 1, 0},
                                         {100, 200, 0.5f, 1.0f, 0x00FFFFFF, 0, 0, 1},
                                         {200, 200, 0.5f, 1.0f, 0x00FFFFFF, 0, 1, 1}};
    ASSERT_EQ(Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLESTRIP, SW3D_FVF_TLVERTEX, v.data(), 4, 0), 0);
}

} // namespace

TEST(TexturesOnTheDevice, ConsoleImageIsDrawnAndAFreedTextureIsUnbound)
{
    ASSERT_TRUE(Test3D_Open());
    ASSERT_EQ(Gfx_InitTextureTable(), 0);
    ASSERT_EQ(Gfx_EnumTextureFormats(), 0);
    ASSERT_EQ(Gfx_FindTextureFormat()->format, TEX_8_PAL8);

    // 8 x 8 texels at 4 bits, all index 5 = console red.
    std::vector<uint8_t> image = {0x10, 0, 0, 0, 0, 0, 0, 0, 44, 0, 0, 0, 0, 0, 0, 0, 16, 0, 1, 0};
    for (int i = 0; i < 16; i++) {
        image.push_back(i == 5 ? 31 : 0);
        image.push_back(0);
    }
    const uint8_t pixelHeader[] = {44, 0, 0, 0, 0, 0, 0, 0, 2, 0, 8, 0};
    image.insert(image.end(), pixelHeader, pixelHeader + sizeof pixelHeader);
    image.insert(image.end(), 32, 0x55);
    TEXTURE *t = nullptr;
    ASSERT_EQ(Gfx_CreateTextureFromImage(&t, image.data(), image.size(), -1), 0);

    Gfx_ClearViewportColour(0x00000000);
    ASSERT_EQ(Gfx_BindTextureRecord(t, 0, 0), 0);
    Quad();
    EXPECT_EQ(BackPixel(150, 150) & 0x07FF, 0); // red only
    EXPECT_GE(BackPixel(150, 150) >> 11, 30);

    // Inverted: the device reads the palette in place, no new binding needed.
    ASSERT_EQ(Gfx_SetTextureInverted(t, 1), 0);
    Quad();
    EXPECT_EQ(BackPixel(150, 150) >> 11, 0); // red gone, green and blue full
    EXPECT_GE((BackPixel(150, 150) >> 5) & 63, 60);

    // Freed while bound: the device is left without it and draws the plain colour.
    Gfx_FreeTexture(t);
    Quad();
    EXPECT_EQ(BackPixel(150, 150), 0xFFFF);

    // No object: plain diffuse colour.
    EXPECT_EQ(Gfx_BindTexture(nullptr, 0, 0), 0);
    uint32_t op = 0;
    ASSERT_EQ(Sw3d_GetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_COLOROP, &op), 0);
    EXPECT_EQ(op, SW3D_TOP_SELECTARG1);

    Gfx_FreeTextureTable();
    Test3D_Close();
    g_iPixelFormat = PIXELFORMAT_565;
}
