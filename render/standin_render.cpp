#include "render/standin_render.h"

#include "app/calllog.h"

uint32_t g_auTexturePageMasks[32] = {};

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
