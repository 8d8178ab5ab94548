// Stand-ins for the rendering calls the program spine makes, until rendering is built.
#pragma once

#include <cstdint>

void Gfx_DrawPointer(int, int, int);

// Tile sheets into tile pages and the tile set of the screens (stand-ins in standin_tiles.cpp).
int32_t Gfx_LoadTileSheet(const char *path, int32_t columns, int32_t rows, int32_t page);
void Gfx_SelectTileSet(int32_t set);
