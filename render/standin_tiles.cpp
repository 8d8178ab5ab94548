// Stand-in for the tile pages until they are built: no screen tile is loaded yet.
#include "render/raster.h"

const uint16_t *Gfx_TileAddress(int, int, int)
{
    return nullptr;
}
