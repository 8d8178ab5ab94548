#include "render/standin_render.h"

#include "app/calllog.h"

int32_t g_bSoftware3D = 0;
uint32_t g_auTexturePageMasks[32] = {};

// Stand-in.
void Gfx_ShowLoadingScreen()
{
    Sys_CallLog("Gfx_ShowLoadingScreen");
}

// Stand-in.
void Gfx_InitUserImages()
{
    Sys_CallLog("Gfx_InitUserImages");
}

// Stand-in.
void Gfx_LoadFonts(int)
{
    Sys_CallLog("Gfx_LoadFonts");
}

// Stand-in.
void Gfx_LoadScreenGraphics(int)
{
    Sys_CallLog("Gfx_LoadScreenGraphics");
}

// Stand-in.
void Gfx_DrawPointer(int, int, int)
{
    Sys_CallLog("Gfx_DrawPointer");
}

// Stand-in.
void Gfx_DestroyAllMeshes()
{
    Sys_CallLog("Gfx_DestroyAllMeshes");
}

// Stand-in.
void Gfx_FreeUserImages()
{
    Sys_CallLog("Gfx_FreeUserImages");
}
