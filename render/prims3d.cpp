#include "render/prims3d.h"

#include "core/fixmath.h"
#include "platform/sw3d.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/dxerrors.h"
#include "render/gpustate.h"
#include "render/lights.h"
#include "render/textures.h"

#include <algorithm>
#include <cstring>

uint32_t g_bSceneOpen = 0;
uint16_t g_auQuadGridIndices[8 * QUAD_GRID_STRIP] = {};

namespace {

// Keeps and names a device result; answers it.
int32_t Check(int32_t sw3dResult)
{
    g_hrD3D = Gfx_D3DResult(sw3dResult);
    if (g_hrD3D != 0)
        Gfx_D3DErrorName(g_hrD3D);
    return g_hrD3D;
}

int32_t State(SW3DRENDERSTATE state, uint32_t value)
{
    return Check(Sw3d_SetRenderState(g_pD3DDevice, state, value));
}

int32_t Stage(SW3DTSS state, uint32_t value)
{
    return Check(Sw3d_SetTextureStageState(g_pD3DDevice, 0, state, value));
}

struct STEP
{
    bool stage;
    uint32_t which;
    uint32_t value;
};

template <size_t N>
int32_t Steps(const STEP (&steps)[N])
{
    for (const STEP &s : steps)
        if (const int32_t r = s.stage ? Stage(static_cast<SW3DTSS>(s.which), s.value)
                                      : State(static_cast<SW3DRENDERSTATE>(s.which), s.value))
            return r;
    return 0;
}

int32_t DrawStrip(const SW3DLVERTEX *v)
{
    return Check(Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLESTRIP, SW3D_FVF_LVERTEX, v, 4, 0));
}

uint32_t ConsoleColour(const uint8_t *rgb)
{
    return static_cast<uint32_t>(rgb[0]) << 16 | static_cast<uint32_t>(rgb[1]) << 8 | rgb[2];
}

int16_t ReadI16(const uint8_t *p)
{
    int16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// A trial mode with no 3-D device still shows: grey straight onto the back buffer.
int32_t PlainTestFrame()
{
    int32_t pitch = 0, w = 0, h = 0;
    uint8_t *back = reinterpret_cast<uint8_t *>(Gfx_GetBackBuffer(&pitch, &w, &h));
    if (!back)
        return DDERR_NOTINITIALIZED;
    const uint16_t grey = Gfx_PackFillColour(0x7F, 0x7F, 0x7F);
    for (int32_t y = 0; y < h; y++)
        std::fill_n(reinterpret_cast<uint16_t *>(back + static_cast<size_t>(y) * pitch), w, grey);
    Gfx_DrawDeviceOverlay(nullptr, 0, 0);
    return Gfx_Present();
}

} // namespace

int32_t Gfx_SetBlendMode(int32_t mode)
{
    switch (mode) {
    case 0:
        if (g_bSceneOpen)
            return Steps({{false, SW3D_RS_ALPHABLENDENABLE, 0},
                          {false, SW3D_RS_SRCBLEND, SW3D_BLEND_ONE},
                          {false, SW3D_RS_DESTBLEND, SW3D_BLEND_ONE},
                          {false, SW3D_RS_ZFUNC, SW3D_CMP_LESSEQUAL}});
        return Steps({{false, SW3D_RS_ALPHABLENDENABLE, 1}, {false, SW3D_RS_ZFUNC, SW3D_CMP_ALWAYS}});
    case 1:
        return Steps({{false, SW3D_RS_ALPHABLENDENABLE, 1},
                      {false, SW3D_RS_ZFUNC, SW3D_CMP_ALWAYS},
                      {false, SW3D_RS_SRCBLEND, SW3D_BLEND_ONE},
                      {false, SW3D_RS_DESTBLEND, SW3D_BLEND_ONE}});
    case 2:
        return Steps({{false, SW3D_RS_ALPHABLENDENABLE, 1},
                      {false, SW3D_RS_ZFUNC, SW3D_CMP_ALWAYS},
                      {false, SW3D_RS_SRCBLEND, SW3D_BLEND_SRCALPHA},
                      {false, SW3D_RS_DESTBLEND, SW3D_BLEND_SRCALPHA}});
    case 3:
        return Steps({{false, SW3D_RS_ALPHABLENDENABLE, 1},
                      {false, SW3D_RS_ZFUNC, SW3D_CMP_ALWAYS},
                      {false, SW3D_RS_SRCBLEND, SW3D_BLEND_SRCALPHA},
                      {false, SW3D_RS_DESTBLEND, SW3D_BLEND_ONE}});
    default:
        return mode;
    }
}

int32_t Gfx_SetSceneState()
{
    g_bSceneOpen = 1;
    if (const int32_t r = Steps({{false, SW3D_RS_ZFUNC, SW3D_CMP_LESSEQUAL},
                                 {false, SW3D_RS_CULLMODE, SW3D_CULL_NONE},
                                 {true, SW3D_TSS_MINFILTER, SW3D_FILTER_LINEAR},
                                 {true, SW3D_TSS_MAGFILTER, SW3D_FILTER_LINEAR}}))
        return r;
    Gfx_SetAmbientColour(255, 255, 255);
    return Check(Sw3d_SetLightState(g_pD3DDevice, SW3D_LIGHTSTATE_MATERIAL, g_hMaterial));
}

int32_t Gfx_ResetLightingState()
{
    g_bSceneOpen = 0;
    Gfx_SetAmbientColour(255, 255, 255);
    if (const int32_t r = Check(Sw3d_SetLightState(g_pD3DDevice, SW3D_LIGHTSTATE_MATERIAL, 0)))
        return r;
    return Steps({{true, SW3D_TSS_COLOROP, SW3D_TOP_MODULATE},
                  {true, SW3D_TSS_COLORARG1, SW3D_TA_TEXTURE},
                  {true, SW3D_TSS_COLORARG2, SW3D_TA_DIFFUSE}});
}

int32_t Gfx_BeginScene()
{
    Gfx_SetSceneState();
    return Check(Sw3d_BeginScene(g_pD3DDevice));
}

int32_t Gfx_EndScene()
{
    if (const int32_t r = Check(Sw3d_EndScene(g_pD3DDevice)))
        return r;
    Gfx_ResetLightingState();
    return 0;
}

int32_t Gfx_DrawShadedPolygonPacket(const PACKET *packet)
{
    if (!packet)
        return Check(SW3D_ERR_INVALIDPARAMS);
    const uint8_t *p = reinterpret_cast<const uint8_t *>(packet);
    if (const int32_t r = State(SW3D_RS_ZFUNC, SW3D_CMP_ALWAYS))
        return r;
    const uint32_t colour = ConsoleColour(p + 8);
    for (int i = 0; i < 3; i++) {
        const uint8_t *corner = p + 12 + 8 * i;
        SW3DTLVERTEX &v = g_aScratchVertices[i];
        v.sx = static_cast<float>(ReadI16(corner));
        v.sy = static_cast<float>(ReadI16(corner + 2));
        v.tu = static_cast<float>(corner[4]) / 256.0f;
        v.tv = static_cast<float>(corner[5]) / 256.0f;
        v.colour = colour;
    }
    if (const int32_t r =
            Check(Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLELIST, SW3D_FVF_TLVERTEX, g_aScratchVertices, 3, 0)))
        return r;
    return State(SW3D_RS_ZFUNC, SW3D_CMP_LESSEQUAL);
}

int32_t Gfx_DrawImageQuad(const int16_t *corners, const uint8_t *colour)
{
    if (!corners || !colour)
        return Check(SW3D_ERR_INVALIDPARAMS);
    static constexpr float kUV[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    SW3DLVERTEX v[4];
    for (int i = 0; i < 4; i++)
        v[i] = {static_cast<float>(corners[4 * i]), static_cast<float>(corners[4 * i + 1]),
                static_cast<float>(corners[4 * i + 2]), 0, ConsoleColour(colour), 0, kUV[i][0], kUV[i][1]};
    if (const int32_t r = State(SW3D_RS_ZFUNC, SW3D_CMP_ALWAYS))
        return r;
    if (const int32_t r = State(SW3D_RS_ALPHABLENDENABLE, 0))
        return r;
    if (const int32_t r = Gfx_BindTexture(nullptr, 0, 0))
        return r;
    if (const int32_t r = DrawStrip(v))
        return r;
    for (SW3DLVERTEX &x : v)
        x.colour = 0x00FFFFFF;
    if (const int32_t r = Gfx_BindGrabTexture())
        return r;
    if (const int32_t r = State(SW3D_RS_COLORKEYENABLE, 1))
        return r;
    if (const int32_t r = DrawStrip(v))
        return r;
    if (const int32_t r = State(SW3D_RS_ZFUNC, SW3D_CMP_LESSEQUAL))
        return r;
    return State(SW3D_RS_COLORKEYENABLE, 0);
}

int32_t Gfx_DrawQuad3D(const int16_t *centre, int32_t halfSize, const PACKET *packet)
{
    if (!centre || !packet)
        return Check(SW3D_ERR_INVALIDPARAMS);
    const uint8_t *p = reinterpret_cast<const uint8_t *>(packet);
    // Floats from 64-bit sums: a huge half-size cannot overflow.
    const float x = centre[0], y = centre[1], z = centre[2];
    const float s = static_cast<float>(halfSize);
    const uint32_t colour = ConsoleColour(p + 8);
    const float pos[4][2] = {{x - s, y - s}, {x + s, y - s}, {x - s, y + s}, {x + s, y + s}};
    SW3DLVERTEX v[4];
    for (int i = 0; i < 4; i++) {
        const uint8_t *uv = p + 16 + 8 * i;
        v[i] = {pos[i][0], pos[i][1], z, 0, colour, 0, uv[0] / 128.0f, uv[1] / 128.0f};
    }
    if (const int32_t r = Gfx_SetBlendMode(1))
        return r;
    if (const int32_t r = DrawStrip(v))
        return r;
    return Gfx_SetBlendMode(0);
}

int32_t Gfx_DrawDeviceTestFrame()
{
    if (!g_pD3DDevice)
        return PlainTestFrame();
    const float W = static_cast<float>(g_iScreenWidth / 2);
    const float H = static_cast<float>(g_iScreenHeight);
    const SW3DLVERTEX v[4] = {{-W, -H / 8, H, 0, 0x00FF0000, 0, 0, 0},
                              {W, -H / 8, H, 0, 0x0000FF00, 0, 0, 0},
                              {-W, H / 8, H, 0, 0x000000FF, 0, 0, 0},
                              {W, H / 8, H, 0, 0x00FFFFFF, 0, 0, 0}};
    Gfx_BeginScene();
    Gfx_SetBlendMode(0);
    Gfx_ClearViewportColour(0x007F7F7F);
    if (const int32_t r = Stage(SW3D_TSS_COLOROP, SW3D_TOP_SELECTARG1))
        return r;
    if (const int32_t r = Stage(SW3D_TSS_COLORARG1, SW3D_TA_DIFFUSE))
        return r;
    if (const int32_t r = DrawStrip(v))
        return r;
    Gfx_EndScene();
    Gfx_DrawDeviceOverlay(nullptr, 0, 0);
    return Gfx_Present();
}

int32_t Gfx_InitQuadGridIndices()
{
    for (int row = 0; row < QUAD_GRID_SIDE - 1; row++)
        for (int i = 0; i < QUAD_GRID_SIDE; i++) {
            g_auQuadGridIndices[row * QUAD_GRID_STRIP + 2 * i] = static_cast<uint16_t>(i + QUAD_GRID_SIDE * row);
            g_auQuadGridIndices[row * QUAD_GRID_STRIP + 2 * i + 1] =
                static_cast<uint16_t>(i + QUAD_GRID_SIDE * (row + 1));
        }
    return 0;
}

int32_t Gfx_DrawRotatedTexture(uint32_t colour, int32_t angle, int32_t scale)
{
    constexpr int32_t N = QUAD_GRID_SIDE;
    // Texture coordinates turn about the picture's centre; the matrix keeps 16-bit elements.
    const int16_t diag = static_cast<int16_t>(std::clamp(scale, -32768, 32767));
    FIXMATRIX m{};
    m.m[0][0] = m.m[1][1] = m.m[2][2] = diag;
    Sys_RotateMatrixZ(angle, &m);
    uint32_t tint = 0;
    for (int shift = 0; shift < 24; shift += 8)
        tint |= std::min<uint32_t>(((colour >> shift) & 0xFF) * 2, 255) << shift;

    const float left = static_cast<float>(g_iDrawAreaLeft), top = static_cast<float>(g_iDrawAreaTop);
    const float stepX = static_cast<float>(g_iDrawAreaRight - g_iDrawAreaLeft) / 8.0f;
    const float stepY = static_cast<float>(g_iDrawAreaBottom - g_iDrawAreaTop) / 8.0f;
    SW3DTLVERTEX v[N * N];
    float fy = top;
    for (int row = 0; row < N; row++, fy += stepY) {
        float fx = left;
        for (int col = 0; col < N; col++, fx += stepX) {
            const int32_t p[3] = {col * 32 - 128, row * 32 - 128, 0};
            int32_t q[3];
            Sys_TransformLongVector(&m, p, q);
            v[row * N + col] = {static_cast<float>(static_cast<int32_t>(fx)),
                                static_cast<float>(static_cast<int32_t>(fy)),
                                0.9f,
                                1.1f,
                                tint,
                                0,
                                static_cast<float>(q[0] + 128) / 256.0f,
                                static_cast<float>(q[1] + 128) / 256.0f};
        }
    }
    if (const int32_t r = Steps({{false, SW3D_RS_ZFUNC, SW3D_CMP_ALWAYS},
                                 {false, SW3D_RS_ZWRITEENABLE, 0},
                                 {false, SW3D_RS_ALPHABLENDENABLE, 0},
                                 {false, SW3D_RS_SRCBLEND, SW3D_BLEND_ONE},
                                 {false, SW3D_RS_DESTBLEND, SW3D_BLEND_ONE}}))
        return r;
    for (int strip = 0; strip < N - 1; strip++)
        if (const int32_t r = Check(Sw3d_DrawIndexedPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLESTRIP, SW3D_FVF_TLVERTEX,
                                                              v, N * N, g_auQuadGridIndices + strip * QUAD_GRID_STRIP,
                                                              QUAD_GRID_STRIP, SW3D_DP_DONOTLIGHT)))
            return r;
    return Steps({{false, SW3D_RS_ZFUNC, SW3D_CMP_LESSEQUAL}, {false, SW3D_RS_ZWRITEENABLE, 1}});
}
