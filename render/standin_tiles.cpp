// Stand-in for the tile pages until they are built: no screen tile is loaded yet.
#include "render/raster.h"

const uint16_t *Gfx_TileAddress(int, int, int)
{
    return nullptr;
}

// Stand-ins until the tile pages are built: nothing is loaded.
int32_t Gfx_LoadTileSheet(const char *, int32_t, int32_t, int32_t)
{
    return 0;
}

void Gfx_SelectTileSet(int32_t) {}
