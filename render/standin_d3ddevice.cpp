// Stand-in until the 3-D device module is built: only the shared result word.
#include "render/d3ddevice.h"

int32_t g_hrD3D = 0;

// Stand-ins until the 3-D device list is built: no device listed.
int32_t g_iRenderDevice = -1;
int32_t g_iRenderDeviceCount = 0;

const char *Gfx_GetRenderDeviceName(int32_t)
{
    return "";
}
