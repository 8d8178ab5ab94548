// Stand-in for the texture side of the 3-D device until the device is built: it offers the seven
// texture formats (the palettised one first, so palette changes never need an upload), demands
// neither powers of two nor square textures, keeps its textures itself, and accepts every binding.
#include "render/d3ddevice.h"
#include "render/textures.h"

namespace {

const TEXPIXELFORMAT kOffered[] = {
    {32, TEXPF_PALETTEINDEXED8 | TEXPF_RGB, 0, 8, 0, 0, 0, 0},
    {32, TEXPF_RGB, 0, 16, 0xF800, 0x07E0, 0x001F, 0},
    {32, TEXPF_RGB, 0, 16, 0x7C00, 0x03E0, 0x001F, 0},
    {32, TEXPF_RGB | TEXPF_ALPHAPIXELS, 0, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
    {32, TEXPF_RGB | TEXPF_ALPHAPIXELS, 0, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
    {32, TEXPF_RGB, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {32, TEXPF_RGB | TEXPF_ALPHAPIXELS, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u},
};

} // namespace

int32_t Gfx_D3DEnumTextureFormats(int32_t (*proc)(const TEXPIXELFORMAT *, void *), void *context)
{
    for (const TEXPIXELFORMAT &f : kOffered)
        if (proc(&f, context) == 0)
            break;
    return 0;
}

uint32_t Gfx_D3DTextureCaps()
{
    return 0;
}

int32_t Gfx_D3DManagedTextures()
{
    return 1;
}

int32_t Gfx_D3DSetColourStage(uint32_t, uint32_t, uint32_t)
{
    return 0;
}

int32_t Gfx_D3DSetTexture(const TEXSURFACE *)
{
    return 0;
}

int32_t Gfx_BindGrabTexture()
{
    return 0;
}
