// Stand-in until the 3-D device module is built: the shared result word, and viewport calls that
// do nothing.
#include "render/d3ddevice.h"

#include "app/calllog.h"

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

// Stand-ins until the 3-D device is built: the software device is always there, so every step
// succeeds unless a test asks for a failure.
int32_t Gfx_EnumerateD3DDevices(void *)
{
    return Sys_CallLogShouldFail("Gfx_EnumerateD3DDevices") ? 1 : 0;
}

int32_t Gfx_CreateD3DDevice(int32_t)
{
    return Sys_CallLogShouldFail("Gfx_CreateD3DDevice") ? 1 : 0;
}

int32_t Gfx_ReleaseD3DDevice()
{
    return 0;
}

int32_t Gfx_InitQuadIndexGrid()
{
    return 0;
}

int32_t Gfx_ResetLightingState()
{
    return 0;
}
