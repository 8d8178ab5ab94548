// Stand-in until the 3-D device module is built: the shared result word, and viewport calls that
// do nothing.
#include "render/d3ddevice.h"

int32_t g_hrD3D = 0;

int32_t Gfx_SetViewport(int32_t, int32_t, int32_t, int32_t)
{
    return 0;
}

int32_t Gfx_ClearViewportColour(uint32_t)
{
    return 0;
}
