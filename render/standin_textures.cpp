// Stand-in for the texture table until it is built: no slot holds a texel source yet.
#include "render/raster.h"

const uint16_t *Gfx_GetTexelSource(int)
{
    return nullptr;
}

// Stand-in until the texture table is built: no picture is loaded.
int32_t Gfx_LoadTextureFile(const char *, uint32_t, int32_t)
{
    return 0;
}
