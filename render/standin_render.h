// Stand-ins for the rendering calls the program spine makes, until rendering is built.
#pragma once

#include <cstdint>

extern uint32_t g_auTexturePageMasks[32];

int Gfx_InitTextureTable();
void Gfx_LoadFonts(int);
void Gfx_LoadScreenGraphics(int);
void Gfx_DrawPointer(int, int, int);
void Gfx_DestroyAllMeshes();
void Gfx_FreeTextureTable();

// Tile sheets into tile pages, the tile set of the screens, and raw pictures into texture slots
// (stand-ins in standin_tiles.cpp and standin_textures.cpp).
int32_t Gfx_LoadTileSheet(const char *path, int32_t columns, int32_t rows, int32_t page);
void Gfx_SelectTileSet(int32_t set);
int32_t Gfx_LoadTextureFile(const char *path, uint32_t format, int32_t slot);
