// The texture side of the 3-D device: what the texture table and the grab surface hand the
// software device, and the formats it samples.
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/textures.h"

static_assert(TEX_8_PAL8 == SW3D_TEX_8_PAL8 && TEX_16_RGB565 == SW3D_TEX_16_RGB565 &&
              TEX_16_RGB555 == SW3D_TEX_16_RGB555 && TEX_16_ARGB1555 == SW3D_TEX_16_ARGB1555 &&
              TEX_16_ARGB4444 == SW3D_TEX_16_ARGB4444 && TEX_32_RGB888 == SW3D_TEX_32_RGB888 &&
              TEX_32_ARGB8888 == SW3D_TEX_32_ARGB8888);
static_assert(TEXOP_SELECTARG1 == SW3D_TOP_SELECTARG1 && TEXOP_MODULATE == SW3D_TOP_MODULATE &&
              TEXARG_DIFFUSE == SW3D_TA_DIFFUSE && TEXARG_TEXTURE == SW3D_TA_TEXTURE);

namespace {

// The software device samples these seven; the palettised one first, so a palette change never
// needs the pixels converted again.
const TEXPIXELFORMAT kSampled[] = {
    {32, TEXPF_PALETTEINDEXED8 | TEXPF_RGB, 0, 8, 0, 0, 0, 0},
    {32, TEXPF_RGB, 0, 16, 0xF800, 0x07E0, 0x001F, 0},
    {32, TEXPF_RGB, 0, 16, 0x7C00, 0x03E0, 0x001F, 0},
    {32, TEXPF_RGB | TEXPF_ALPHAPIXELS, 0, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
    {32, TEXPF_RGB | TEXPF_ALPHAPIXELS, 0, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
    {32, TEXPF_RGB, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {32, TEXPF_RGB | TEXPF_ALPHAPIXELS, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u},
};

// The surface bound at stage 0, so one about to be freed can be unbound first (the device reads
// pixels and palette in place).
const void *s_pBound = nullptr;

int32_t Result(int32_t sw3dResult)
{
    g_hrD3D = Gfx_D3DResult(sw3dResult);
    if (g_hrD3D != 0)
        Gfx_D3DErrorName(g_hrD3D);
    return g_hrD3D;
}

} // namespace

int32_t Gfx_D3DEnumTextureFormats(int32_t (*proc)(const TEXPIXELFORMAT *, void *), void *context)
{
    if (!proc)
        return Result(SW3D_ERR_INVALIDPARAMS);
    for (const TEXPIXELFORMAT &f : kSampled)
        if (proc(&f, context) == 0)
            break;
    return 0;
}

uint32_t Gfx_D3DTextureCaps()
{
    return 0; // any width and height
}

int32_t Gfx_D3DManagedTextures()
{
    if (g_iRenderDevice < 0 || g_iRenderDevice >= g_iRenderDeviceCount || g_iRenderDevice >= RENDER_MAX_DEVICES)
        return 0;
    return g_aRenderDevices[g_iRenderDevice].hardware ? 1 : 0;
}

int32_t Gfx_D3DSetColourStage(uint32_t op, uint32_t arg1, uint32_t arg2)
{
    int32_t hr = Result(Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_COLOROP, op));
    if (hr == 0)
        hr = Result(Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_COLORARG1, arg1));
    if (hr == 0 && arg2 != TEXARG_KEEP)
        hr = Result(Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_COLORARG2, arg2));
    return hr;
}

int32_t Gfx_D3DSetTexture(const TEXSURFACE *texture)
{
    if (!texture) {
        int32_t hr = Result(Sw3d_SetTexture(g_pD3DDevice, 0, nullptr));
        if (hr == 0)
            s_pBound = nullptr;
        return hr;
    }
    SW3DTEXTURE t{};
    t.width = static_cast<int32_t>(texture->width);
    t.height = static_cast<int32_t>(texture->height);
    t.format = texture->format;
    t.pitch = static_cast<int32_t>(texture->pitch);
    t.pixels = texture->pixels;
    t.palette = texture->palette ? texture->palette->rgb : nullptr;
    t.colourKey = texture->hasColourKey ? 1 : 0;
    int32_t hr = Result(Sw3d_SetTexture(g_pD3DDevice, 0, &t));
    if (hr == 0)
        s_pBound = texture;
    return hr;
}

void Gfx_D3DForgetTexture(const void *storage)
{
    if (storage && storage == s_pBound) {
        Sw3d_SetTexture(g_pD3DDevice, 0, nullptr);
        s_pBound = nullptr;
    }
}

int32_t Gfx_BindGrabTexture()
{
    int32_t hr = Gfx_D3DSetColourStage(TEXOP_MODULATE, TEXARG_TEXTURE, TEXARG_DIFFUSE);
    if (hr != 0)
        return hr;
    if (!g_pGrabSurface)
        return Result(SW3D_ERR_INVALIDPARAMS);
    SW3DTEXTURE t{};
    t.width = g_iGrabSize[1];
    t.height = g_iGrabSize[0];
    t.format = g_iPixelFormat == PIXELFORMAT_555 ? SW3D_TEX_16_RGB555 : SW3D_TEX_16_RGB565;
    t.pitch = g_iGrabSize[1] * 2;
    t.pixels = g_pGrabSurface;
    t.colourKey = 1; // black is transparent
    hr = Result(Sw3d_SetTexture(g_pD3DDevice, 0, &t));
    if (hr == 0)
        s_pBound = g_pGrabSurface;
    return hr;
}
