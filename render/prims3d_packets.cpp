// The console packet kinds the 2-D walker draws, drawn instead through the 3-D device.
#include "app/startup.h"
#include "core/console_memory.h"
#include "render/d3ddevice.h"
#include "render/gpustate.h"
#include "render/prims3d.h"
#include "render/textures.h"

#include <cstring>

namespace {

int32_t s_iSpriteTexture = 0; // 1 + texture number chosen for sprites, 0 = none
int32_t s_iSpriteTextureWidth = 0, s_iSpriteTextureHeight = 0;

int32_t Check(int32_t sw3dResult)
{
    g_hrD3D = Gfx_D3DResult(sw3dResult);
    if (g_hrD3D != 0)
        Gfx_D3DErrorName(g_hrD3D);
    return g_hrD3D;
}

const uint8_t *Bytes(const PACKET *p)
{
    return reinterpret_cast<const uint8_t *>(p);
}

int16_t I16(const uint8_t *p)
{
    int16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

uint32_t Word(const PACKET *p, size_t offset)
{
    uint32_t v;
    std::memcpy(&v, Bytes(p) + offset, sizeof v);
    return v;
}

// The console draws into a space two displays high: the lower half is the other frame.
int32_t FromLowerHalf(int32_t y)
{
    const int32_t height = g_tDisplayConfig.height;
    return height > 0 && y >= height ? y - height : y;
}

uint32_t Colour(const uint8_t *rgb)
{
    return static_cast<uint32_t>(rgb[0]) << 16 | static_cast<uint32_t>(rgb[1]) << 8 | rgb[2];
}

void Place(int i, int32_t x, int32_t y, uint32_t colour, bool offset = true)
{
    SW3DTLVERTEX &v = g_aScratchVertices[i];
    v.sx = static_cast<float>(x + (offset ? g_iD3DOffsetX : 0));
    v.sy = static_cast<float>(y + (offset ? g_iD3DOffsetY : 0));
    v.colour = colour;
}

void PlaceXY(int i, const uint8_t *xy, uint32_t colour)
{
    Place(i, I16(xy), I16(xy + 2), colour);
}

// Blend mode from the page word, and no texture for the untextured kinds.
int32_t Begin(bool textured)
{
    if (const int32_t r = Gfx_SetBlendMode(static_cast<int32_t>((g_uTexturePage >> 5) & 3)))
        return r;
    return textured ? 0 : Gfx_SetCurrentTexture(-1);
}

int32_t Draw(SW3DPRIMITIVE type, int32_t count, int32_t primitives)
{
    if (const int32_t r = Check(Sw3d_DrawPrimitive(g_pD3DDevice, type, SW3D_FVF_TLVERTEX, g_aScratchVertices, count, 0)))
        return r;
    g_iPrimitivesDrawn += primitives;
    g_hrD3D = 0;
    return 0;
}

int32_t DrawQuad()
{
    return Gfx_ClipQuad(g_aScratchVertices) ? Draw(SW3D_PT_TRIANGLESTRIP, 4, 2) : 0;
}

int32_t DrawLine()
{
    return Gfx_ClipLine(g_aScratchVertices) ? Draw(SW3D_PT_LINELIST, 2, 1) : 0;
}

void QuadUV(const uint8_t *uv, int i)
{
    // One texel in from the right and bottom edges, as the console's rectangles end.
    g_aScratchVertices[i].tu = static_cast<float>(uv[0] - (i & 1)) / 255.0f;
    g_aScratchVertices[i].tv = static_cast<float>(uv[1] - (i >> 1)) / 256.0f;
}

void RectUV(float u0, float v0, float u1, float v1)
{
    const float u[4] = {u0, u1, u0, u1}, v[4] = {v0, v0, v1, v1};
    for (int i = 0; i < 4; i++) {
        g_aScratchVertices[i].tu = u[i];
        g_aScratchVertices[i].tv = v[i];
    }
}

void RectXY(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour, bool offset = true)
{
    Place(0, x, y, colour, offset);
    Place(1, x + w, y, colour, offset);
    Place(2, x, y + h, colour, offset);
    Place(3, x + w, y + h, colour, offset);
}

// Sprite body from byte `at` (colour, xy, uv + CLUT, w, h).
int32_t Sprite(uint8_t *p, int at)
{
    int16_t w = I16(p + at + 12);
    if (w == 0) {
        w = 1;
        std::memcpy(p + at + 12, &w, sizeof w);
    }
    const int16_t h = I16(p + at + 14);
    if (const int32_t r = Begin(true))
        return r;
    const uint8_t u = p[at + 8], v = p[at + 9];
    if (s_iSpriteTexture) {
        if (const int32_t r = Gfx_SetCurrentTexture(s_iSpriteTexture - 1))
            return r;
        const float tw = s_iSpriteTextureWidth > 0 ? static_cast<float>(s_iSpriteTextureWidth) : 1.0f;
        const float th = s_iSpriteTextureHeight > 0 ? static_cast<float>(s_iSpriteTextureHeight) : 1.0f;
        RectUV(0, 0, w / tw, h / th);
    } else {
        if (const int32_t r = Gfx_SetCurrentTexture(static_cast<int32_t>(g_uTexturePage & 31)))
            return r;
        RectUV(u / 256.0f, v / 256.0f, (u + w) / 256.0f, (v + h) / 256.0f);
    }
    RectXY(I16(p + at + 4), I16(p + at + 6), w, h, Colour(p + at));
    return DrawQuad();
}

int32_t SmallSprite(const PACKET *packet, int32_t size)
{
    if (!packet)
        return Check(SW3D_ERR_INVALIDPARAMS);
    const uint8_t *p = Bytes(packet);
    if (const int32_t r = Begin(true))
        return r;
    if (const int32_t r = Gfx_SetCurrentTexture(static_cast<int32_t>(g_uTexturePage & 31)))
        return r;
    RectXY(I16(p + 12), I16(p + 14), size, size, Colour(p + 8), false);
    RectUV(p[16] / 256.0f, p[17] / 256.0f, (p[16] + size) / 256.0f, (p[17] + size) / 256.0f);
    return DrawQuad();
}

} // namespace

int32_t Gfx_ClipQuad(SW3DTLVERTEX *v)
{
    if (!v)
        return 0;
    const float left = static_cast<float>(g_iDrawAreaLeft), right = static_cast<float>(g_iDrawAreaRight);
    const float top = static_cast<float>(g_iDrawAreaTop), bottom = static_cast<float>(g_iDrawAreaBottom);
    if ((v[0].sx < left && v[1].sx < left) || (v[0].sx > right && v[1].sx > right) ||
        (v[0].sy < top && v[2].sy < top) || (v[0].sy > bottom && v[2].sy > bottom))
        return 0;
    if (v[0].sx < left) {
        const float t = (left - v[0].sx) / (v[1].sx - v[0].sx);
        const float dx = (v[1].sx - v[0].sx) * t, du = (v[1].tu - v[0].tu) * t;
        v[0].sx += dx, v[2].sx += dx, v[0].tu += du, v[2].tu += du;
    }
    if (v[1].sx > right) {
        const float t = (right - v[1].sx) / (v[1].sx - v[0].sx);
        const float dx = (v[1].sx - v[0].sx) * t, du = (v[1].tu - v[0].tu) * t;
        v[1].sx += dx, v[3].sx += dx, v[1].tu += du, v[3].tu += du;
    }
    if (v[0].sy < top) {
        const float t = (top - v[0].sy) / (v[2].sy - v[0].sy);
        const float dy = (v[2].sy - v[0].sy) * t, dv = (v[2].tv - v[0].tv) * t;
        v[0].sy += dy, v[1].sy += dy, v[0].tv += dv, v[1].tv += dv;
    }
    if (v[2].sy > bottom) {
        const float t = (bottom - v[2].sy) / (v[2].sy - v[0].sy);
        const float dy = (v[2].sy - v[0].sy) * t, dv = (v[2].tv - v[0].tv) * t;
        v[2].sy += dy, v[3].sy += dy, v[2].tv += dv, v[3].tv += dv;
    }
    return 1;
}

int32_t Gfx_ClipLine(SW3DTLVERTEX *v)
{
    if (!v)
        return 0;
    // Edges in turn: left, top, right, bottom; an end beyond one moves onto it along the line.
    struct EDGE
    {
        bool vertical; // an x edge
        float at;
        bool below;    // beyond means less than the edge
    };
    const EDGE edges[4] = {{true, static_cast<float>(g_iDrawAreaLeft), true},
                           {false, static_cast<float>(g_iDrawAreaTop), true},
                           {true, static_cast<float>(g_iDrawAreaRight), false},
                           {false, static_cast<float>(g_iDrawAreaBottom), false}};
    for (const EDGE &e : edges) {
        auto axis = [&](SW3DTLVERTEX &p) -> float & { return e.vertical ? p.sx : p.sy; };
        auto other = [&](SW3DTLVERTEX &p) -> float & { return e.vertical ? p.sy : p.sx; };
        auto beyond = [&](SW3DTLVERTEX &p) { return e.below ? axis(p) < e.at : axis(p) > e.at; };
        const bool b0 = beyond(v[0]), b1 = beyond(v[1]);
        if (b0 && b1)
            return 0;
        if (!b0 && !b1)
            continue;
        SW3DTLVERTEX &out = b0 ? v[0] : v[1];
        SW3DTLVERTEX &in = b0 ? v[1] : v[0];
        const float t = (e.at - axis(out)) / (axis(in) - axis(out));
        other(out) += (other(in) - other(out)) * t;
        axis(out) = e.at;
    }
    return 4;
}

int32_t Gfx_DrawLinePacket(const PACKET *packet)
{
    if (!packet)
        return Check(SW3D_ERR_INVALIDPARAMS);
    const uint8_t *p = Bytes(packet);
    if (const int32_t r = Begin(false))
        return r;
    PlaceXY(0, p + 12, Colour(p + 8));
    PlaceXY(1, p + 16, Colour(p + 8));
    return DrawLine();
}

int32_t Gfx_DrawShadedLinePacket(const PACKET *packet)
{
    if (!packet)
        return Check(SW3D_ERR_INVALIDPARAMS);
    const uint8_t *p = Bytes(packet);
    if (const int32_t r = Begin(false))
        return r;
    PlaceXY(0, p + 12, Colour(p + 8));
    PlaceXY(1, p + 20, Colour(p + 16));
    return DrawLine();
}

int32_t Gfx_DrawPolylinePacket(const PACKET *packet)
{
    if (!packet)
        return Check(SW3D_ERR_INVALIDPARAMS);
    const uint8_t *p = Bytes(packet);
    if (const int32_t r = Begin(false))
        return r;
    for (int i = 0; i < 5; i++)
        PlaceXY(i, p + 12 + 4 * (i & 3), Colour(p + 8)); // closed: the fifth point is the first
    // Five points do not fit the two-point clip; the device's scissor keeps them inside.
    return Draw(SW3D_PT_LINESTRIP, 5, 2);
}

int32_t Gfx_DrawFlatQuadPacket(const PACKET *packet)
{
    if (!packet)
        return Check(SW3D_ERR_INVALIDPARAMS);
    const uint8_t *p = Bytes(packet);
    if (const int32_t r = Begin(false))
        return r;
    for (int i = 0; i < 4; i++)
        PlaceXY(i, p + 12 + 4 * i, Colour(p + 8));
    return DrawQuad();
}

int32_t Gfx_DrawShadedQuadPacket(const PACKET *packet)
{
    if (!packet)
        return Check(SW3D_ERR_INVALIDPARAMS);
    const uint8_t *p = Bytes(packet);
    if (const int32_t r = Begin(false))
        return r;
    for (int i = 0; i < 4; i++)
        PlaceXY(i, p + 12 + 8 * i, Colour(p + 8 + 8 * i));
    return DrawQuad();
}

int32_t Gfx_DrawTexturedQuadPacket(const PACKET *packet)
{
    if (!packet)
        return Check(SW3D_ERR_INVALIDPARAMS);
    const uint8_t *p = Bytes(packet);
    uint16_t page;
    std::memcpy(&page, p + 26, sizeof page);
    g_uTexturePage = page;
    if (const int32_t r = Begin(true))
        return r;
    if (const int32_t r = Gfx_SetCurrentTexture(page & 31))
        return r;
    for (int i = 0; i < 4; i++) {
        PlaceXY(i, p + 12 + 8 * i, Colour(p + 8));
        QuadUV(p + 16 + 8 * i, i);
    }
    return DrawQuad();
}

int32_t Gfx_DrawShadedTexturedQuadPacket(const PACKET *packet)
{
    if (!packet)
        return Check(SW3D_ERR_INVALIDPARAMS);
    const uint8_t *p = Bytes(packet);
    uint16_t page;
    std::memcpy(&page, p + 30, sizeof page);
    g_uTexturePage = page;
    if (const int32_t r = Begin(true))
        return r;
    if (const int32_t r = Gfx_SetCurrentTexture(page & 31))
        return r;
    for (int i = 0; i < 4; i++) {
        PlaceXY(i, p + 12 + 12 * i, Colour(p + 8 + 12 * i));
        QuadUV(p + 16 + 12 * i, i);
    }
    return DrawQuad();
}

int32_t Gfx_DrawSpritePacket(PACKET *packet)
{
    if (!packet)
        return Check(SW3D_ERR_INVALIDPARAMS);
    return Sprite(reinterpret_cast<uint8_t *>(packet), 8);
}

int32_t Gfx_DrawImageSpritePacket(PACKET *packet)
{
    if (!packet)
        return Check(SW3D_ERR_INVALIDPARAMS);
    uint8_t *p = reinterpret_cast<uint8_t *>(packet);
    uint32_t mode;
    std::memcpy(&mode, p + 8, sizeof mode);
    g_uTexturePage = mode & 31;
    return Sprite(p, 12);
}

int32_t Gfx_DrawTilePacket(PACKET *packet)
{
    if (!packet)
        return Check(SW3D_ERR_INVALIDPARAMS);
    uint8_t *p = reinterpret_cast<uint8_t *>(packet);
    int16_t w = I16(p + 16);
    if (w == 0) {
        w = 1;
        std::memcpy(p + 16, &w, sizeof w);
    }
    if (const int32_t r = Begin(false))
        return r;
    RectXY(I16(p + 12), I16(p + 14), w, I16(p + 18), Colour(p + 8));
    return DrawQuad();
}

int32_t Gfx_DrawSprite8Packet(const PACKET *packet)
{
    return SmallSprite(packet, 8);
}

int32_t Gfx_DrawSprite16Packet(const PACKET *packet)
{
    return SmallSprite(packet, 16);
}

int32_t Gfx_ApplySpriteTexturePacket(const PACKET *packet)
{
    if (!packet)
        return 0;
    uint32_t first, second;
    std::memcpy(&first, Bytes(packet) + 8, sizeof first);
    std::memcpy(&second, Bytes(packet) + 12, sizeof second);
    s_iSpriteTexture = static_cast<int32_t>(first & 0xFF);
    s_iSpriteTextureWidth = static_cast<int32_t>(second >> 16);
    s_iSpriteTextureHeight = static_cast<int32_t>(second & 0xFFFF);
    return 0;
}

int32_t Gfx_ApplyDrawAreaPacket(const PACKET *packet)
{
    if (!packet)
        return 0;
    const uint32_t corner = Word(packet, 8), size = Word(packet, 12);
    const int32_t x = static_cast<int32_t>((corner >> 12) & 0xFFF);
    const int32_t y = FromLowerHalf(static_cast<int32_t>(corner & 0xFFF));
    int32_t X, Y, W, H;
    if (!Gfx_ScaleToMode(x, y, static_cast<int16_t>(size >> 16), static_cast<int16_t>(size & 0xFFFF), &X, &Y, &W, &H))
        return 0;
    g_iDrawAreaLeft = X;
    g_iDrawAreaTop = Y;
    g_iDrawAreaRight = X + W;
    g_iDrawAreaBottom = Y + H;
    return 0;
}

int32_t Gfx_ApplyDrawOffsetPacket(const PACKET *packet)
{
    if (!packet)
        return 0;
    const uint32_t word = Word(packet, 12);
    g_iD3DOffsetX = static_cast<int32_t>(word >> 16);
    g_iD3DOffsetY = FromLowerHalf(static_cast<int32_t>(word & 0xFFFF));
    return 0;
}

int32_t Gfx_DrawMarker(int32_t x, int32_t y)
{
    if (const int32_t r = Gfx_SetCurrentTexture(-1))
        return r;
    const int32_t points[5][2] = {{x, y}, {x, y - 1}, {x, y + 1}, {x + 1, y}, {x - 1, y}};
    for (int i = 0; i < 5; i++)
        Place(i, points[i][0], points[i][1], 0x00FF0000, false);
    return Check(Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_POINTLIST, SW3D_FVF_TLVERTEX, g_aScratchVertices, 5, 0));
}
