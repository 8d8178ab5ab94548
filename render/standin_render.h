// Stand-ins for the rendering calls the program spine makes, until rendering is built.
#pragma once

#include <cstdint>

extern int32_t g_bSoftware3D;
extern uint32_t g_auTexturePageMasks[32];

void Gfx_ShowLoadingScreen();
int Gfx_InitTextureTable();
void Gfx_InitUserImages();
void Gfx_LoadFonts(int);
void Gfx_LoadScreenGraphics(int);
void Gfx_DrawPointer(int, int, int);
void Gfx_DestroyAllMeshes();
void Gfx_FreeTextureTable();
void Gfx_FreeUserImages();
