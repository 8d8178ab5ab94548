// Stand-in for the texture table until it is built: no slot holds a texel source yet.
#include "render/d3ddevice.h"
#include "render/raster.h"
#include "render/standin_render.h"

const uint16_t *Gfx_GetTexelSource(int)
{
    return nullptr;
}

// Stand-in until the texture table is built: no picture is loaded.
int32_t Gfx_LoadTextureFile(const char *, uint32_t, int32_t)
{
    return 0;
}

// Stand-in until the texture table is built: no slot holds a 3-D texture, so every binding is the
// plain diffuse colour.
int32_t Gfx_BindTexture(TEXTURE *, uint32_t, int32_t)
{
    if (const int32_t r = Gfx_D3DResult(Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_COLOROP, SW3D_TOP_SELECTARG1)))
        return g_hrD3D = r;
    return g_hrD3D = Gfx_D3DResult(Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_COLORARG1, SW3D_TA_DIFFUSE));
}

// Stand-in until the texture table is built: with no slot holding a 3-D texture only "none" binds;
// any other number leaves the binding as it is.
int32_t Gfx_SetCurrentTexture(int32_t n)
{
    if (n != -1)
        return 0;
    return g_hrD3D = Gfx_D3DResult(Sw3d_SetTexture(g_pD3DDevice, 0, nullptr));
}
