#include "render/standin_render.h"

#include "app/calllog.h"

// Stand-in.
void Gfx_DrawPointer(int, int, int)
{
    Sys_CallLog("Gfx_DrawPointer");
}

