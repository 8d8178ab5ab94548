// Stand-in until the 3-D device module is built: the shared result word, and viewport calls that
// do nothing.
#include "render/d3ddevice.h"

int32_t g_hrD3D = 0;

// Stand-ins until the 3-D device list is built: no device listed.
int32_t g_iRenderDevice = -1;
int32_t g_iRenderDeviceCount = 0;

const char *Gfx_GetRenderDeviceName(int32_t)
{
    return "";
}

int32_t Gfx_SetViewport(int32_t, int32_t, int32_t, int32_t)
{
    return 0;
}

int32_t Gfx_ClearViewportColour(uint32_t)
{
    return 0;
}
