// The software 3-D device's triangle filling locked against pictures made before it was made fast:
// many seeded random triangles over every filling path (gouraud and flat colour, palette and
// 16-bit textures with point and bilinear filtering and the colour key, the blend modes, z tests,
// slivers, triangles reaching far off the target and through the scissor), hashed from the back
// buffer and the z-buffer. A changed hash means a changed pixel rule.
#include "platform/sw3d.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "support/test3d.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

uint64_t Fnv(uint64_t h, const void *data, size_t bytes)
{
    const uint8_t *p = static_cast<const uint8_t *>(data);
    for (size_t i = 0; i < bytes; i++)
        h = (h ^ p[i]) * 0x100000001B3ull;
    return h;
}

class Sw3dFill : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(Test3D_Open()); }
    void TearDown() override
    {
        Sw3d_SetTexture(g_pD3DDevice, 0, nullptr);
        Test3D_Close();
    }
    static uint64_t Hash()
    {
        int32_t pitch = 0, w = 0, h = 0;
        const uint16_t *px = Gfx_GetBackBuffer(&pitch, &w, &h);
        uint64_t hash = 0xCBF29CE484222325ull;
        for (int32_t y = 0; px && y < h; y++)
            hash = Fnv(hash, reinterpret_cast<const uint8_t *>(px) + static_cast<size_t>(y) * pitch, static_cast<size_t>(w) * 2);
        return hash;
    }
};

struct MODE
{
    int textured; // 0 none, 1 palette, 2 RGB565, 3 ARGB4444
    uint32_t filter;
    uint32_t key;
    uint32_t blend; // 0 off, else src/dest pair index
    uint32_t zfunc;
    uint32_t shade;
    uint32_t op;
};

TEST_F(Sw3dFill, RandomTrianglesKeepTheirPixels)
{
    std::mt19937 rng(20261210);
    auto uni = [&rng](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
    auto pick = [&rng](uint32_t n) { return static_cast<uint32_t>(rng() % n); };

    // Textures: an 8 x 8 palette picture with a key index, a 16 x 16 RGB565 and a 4 x 8 ARGB4444 one.
    std::vector<uint8_t> pal8(64);
    std::vector<uint32_t> palette(256);
    for (int i = 0; i < 64; i++)
        pal8[i] = static_cast<uint8_t>((i * 7) % 5);
    for (int i = 0; i < 256; i++)
        palette[i] = (i * 0x3F1D27u) & 0xFFFFFF;
    std::vector<uint16_t> rgb565(256), argb4444(32);
    for (int i = 0; i < 256; i++)
        rgb565[i] = static_cast<uint16_t>((i % 3) ? i * 0x0841 + 0x1234 : 0);
    for (int i = 0; i < 32; i++)
        argb4444[i] = static_cast<uint16_t>(i * 0x1357);
    const SW3DTEXTURE textures[3] = {
        {8, 8, SW3D_TEX_8_PAL8, 8, pal8.data(), palette.data(), 1},
        {16, 16, SW3D_TEX_16_RGB565, 32, rgb565.data(), nullptr, 1},
        {4, 8, SW3D_TEX_16_ARGB4444, 8, argb4444.data(), nullptr, 0},
    };
    static const uint32_t kBlends[3][2] = {{SW3D_BLEND_ONE, SW3D_BLEND_ONE},
                                           {SW3D_BLEND_SRCALPHA, SW3D_BLEND_SRCALPHA},
                                           {SW3D_BLEND_SRCALPHA, SW3D_BLEND_INVSRCALPHA}};

    std::vector<uint64_t> hashes;
    for (int round = 0; round < 6; round++) {
        Gfx_ClearViewportColour(0x00203040);
        for (int tri = 0; tri < 60; tri++) {
            MODE m{};
            m.textured = static_cast<int>(pick(4));
            m.filter = pick(2) ? SW3D_FILTER_LINEAR : SW3D_FILTER_POINT;
            m.key = pick(2);
            m.blend = pick(4);
            m.zfunc = SW3D_CMP_NEVER + pick(8);
            m.shade = pick(3) ? SW3D_SHADE_GOURAUD : SW3D_SHADE_FLAT;
            m.op = SW3D_TOP_SELECTARG1 + pick(3);
            Sw3d_SetTexture(g_pD3DDevice, 0, m.textured ? &textures[m.textured - 1] : nullptr);
            Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_MAGFILTER, m.filter);
            Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_COLOROP, m.op);
            Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_COLORARG1, SW3D_TA_TEXTURE);
            Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_COLORARG2, SW3D_TA_DIFFUSE);
            Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_COLORKEYENABLE, m.key);
            Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_ALPHABLENDENABLE, m.blend != 0);
            if (m.blend) {
                Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_SRCBLEND, kBlends[m.blend - 1][0]);
                Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_DESTBLEND, kBlends[m.blend - 1][1]);
            }
            Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_ZFUNC, m.zfunc);
            Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_ZENABLE, pick(5) != 0);
            Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_ZWRITEENABLE, pick(4) != 0);
            Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_SHADEMODE, m.shade);
            // Sizes from slivers to triangles far larger than the target.
            const float reach = round < 2 ? 80.0f : round < 4 ? 700.0f : 4000.0f;
            const float cx = uni(-100, 740), cy = uni(-100, 580);
            SW3DTLVERTEX v[3];
            for (SW3DTLVERTEX &p : v) {
                const float rhw = uni(0.05f, 2.0f);
                p = {cx + uni(-reach, reach), cy + uni(-reach, reach), uni(0.0f, 1.0f), rhw,
                     static_cast<uint32_t>(rng()), 0, uni(-1.5f, 2.5f), uni(-1.5f, 2.5f)};
            }
            if (tri % 17 == 0) // a sliver: two corners almost on one line
                v[2] = {v[0].sx + (v[1].sx - v[0].sx) * 0.5f + 0.03f, v[0].sy + (v[1].sy - v[0].sy) * 0.5f, 0.5f, 1.0f,
                        0xFFFFFFFF, 0, 0.5f, 0.5f};
            ASSERT_EQ(Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLELIST, SW3D_FVF_TLVERTEX, v, 3, 0), SW3D_OK);
        }
        hashes.push_back(Hash());
        // Through a scissor that is not the whole target.
        Gfx_SetViewport(37, 21, 300, 200);
    }
    const std::vector<uint64_t> kExpected = {0xc87e1670cd1620c0, 0xe60c2ed24920f35b, 0x3ed1d39dc38daa19,
                                             0x58a14defd1b3dd80, 0xe54b931362ef2d58, 0xe24ae0e2fa785ede};
    for (size_t i = 0; i < hashes.size(); i++)
        EXPECT_EQ(hashes[i], kExpected[i]) << "round " << i << std::hex << " hash 0x" << hashes[i];
}

// The studio's usual state (z less-or-equal, texture x diffuse, no blending) has its own filling
// path: every texture format, both filters, the colour key, and sides that are not powers of two,
// hashed per texture so a changed rule names its texture.
TEST_F(Sw3dFill, UsualStateTrianglesKeepTheirPixelsForEveryTexture)
{
    std::mt19937 rng(7121);
    auto uni = [&rng](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
    std::vector<uint8_t> pal8(12 * 10);
    std::vector<uint32_t> palette(256);
    for (size_t i = 0; i < pal8.size(); i++)
        pal8[i] = static_cast<uint8_t>((i * 11) % 7);
    for (int i = 0; i < 256; i++)
        palette[i] = (i * 0x51A3C7u) & 0xFFFFFF;
    std::vector<uint16_t> w16(16 * 16);
    for (size_t i = 0; i < w16.size(); i++)
        w16[i] = static_cast<uint16_t>((i % 5) ? i * 0x9E37 + 0x0421 : 0);
    std::vector<uint32_t> w32(16 * 16);
    for (size_t i = 0; i < w32.size(); i++)
        w32[i] = (i % 6) ? static_cast<uint32_t>(i * 0x9E3779B1u) : 0xAB000000u;
    const SW3DTEXTURE textures[] = {
        {8, 8, SW3D_TEX_8_PAL8, 8, pal8.data(), palette.data(), 1},
        {12, 10, SW3D_TEX_8_PAL8, 12, pal8.data(), palette.data(), 1},
        {16, 16, SW3D_TEX_16_RGB565, 32, w16.data(), nullptr, 1},
        {16, 8, SW3D_TEX_16_RGB555, 32, w16.data(), nullptr, 1},
        {8, 16, SW3D_TEX_16_ARGB1555, 16, w16.data(), nullptr, 1},
        {6, 16, SW3D_TEX_16_ARGB4444, 32, w16.data(), nullptr, 1},
        {16, 16, SW3D_TEX_32_RGB888, 64, w32.data(), nullptr, 1},
        {16, 12, SW3D_TEX_32_ARGB8888, 64, w32.data(), nullptr, 1},
    };
    std::vector<uint64_t> hashes;
    for (const SW3DTEXTURE &texture : textures) {
        Gfx_ClearViewportColour(0x00102030);
        Sw3d_SetTexture(g_pD3DDevice, 0, &texture);
        Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_COLOROP, SW3D_TOP_MODULATE);
        Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_COLORARG1, SW3D_TA_TEXTURE);
        Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_COLORARG2, SW3D_TA_DIFFUSE);
        Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_ALPHABLENDENABLE, 0);
        Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_ZENABLE, 1);
        Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_ZFUNC, SW3D_CMP_LESSEQUAL);
        Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_ZWRITEENABLE, 1);
        for (int tri = 0; tri < 48; tri++) {
            Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_MAGFILTER,
                                      tri % 2 ? SW3D_FILTER_LINEAR : SW3D_FILTER_POINT);
            Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_COLORKEYENABLE, (tri / 2) % 2);
            Sw3d_SetRenderState(g_pD3DDevice, SW3D_RS_SHADEMODE, tri % 5 ? SW3D_SHADE_GOURAUD : SW3D_SHADE_FLAT);
            const float reach = tri < 16 ? 60.0f : tri < 40 ? 400.0f : 3000.0f;
            const float cx = uni(-50, 690), cy = uni(-50, 530);
            SW3DTLVERTEX v[3];
            for (SW3DTLVERTEX &p : v)
                p = {cx + uni(-reach, reach), cy + uni(-reach, reach), uni(0.0f, 1.0f), uni(0.05f, 2.0f),
                     static_cast<uint32_t>(rng()), 0, uni(-3.0f, 4.0f), uni(-3.0f, 4.0f)};
            ASSERT_EQ(Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLELIST, SW3D_FVF_TLVERTEX, v, 3, 0), SW3D_OK);
        }
        hashes.push_back(Hash());
    }
    const std::vector<uint64_t> kExpected = {0xcd7b1a0bb0f13b4e, 0x51f49d0f5bf148a9, 0x010d7919cfeede83,
                                             0x725ce2755776fa7f, 0xf4e3075c1bfd3ea9, 0x2a9a291843e8cd29,
                                             0x48f0a463b2bb25dc, 0x0cf8deb2ebc125fc};
    ASSERT_EQ(hashes.size(), kExpected.size());
    for (size_t i = 0; i < hashes.size(); i++)
        EXPECT_EQ(hashes[i], kExpected[i]) << "texture " << i << std::hex << " hash 0x" << hashes[i];
}

} // namespace
