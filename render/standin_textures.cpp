// Stand-in for the texture table until it is built: no slot holds a texel source yet.
#include "render/raster.h"

const uint16_t *Gfx_GetTexelSource(int)
{
    return nullptr;
}
