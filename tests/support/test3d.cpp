#include "support/test3d.h"

#include "platform/backend.h"
#include "platform/display.h"
#include "platform/sw3d.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/lights.h"

bool Test3D_Open(int32_t mode)
{
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    Plat_DisplayHeadlessReset();
    Sw3d_TestSetDevices(nullptr, 0);
    Sw3d_TestSetZFormats(nullptr, -1);
    Sw3d_TestFailAfter(-1, 0);
    g_iScreenWidth = 640;
    g_iScreenHeight = 480;
    return Gfx_EnumerateDisplayDevices(nullptr) == 0 && Gfx_CreateDirectDraw(0) == 0 && Gfx_SetDisplayMode(mode) == 0 &&
           Gfx_EnumerateD3DDevices(nullptr) == 0 && Gfx_CreateD3DDevice(1) == 0 && Gfx_CreateLights() == 0;
}

void Test3D_Close()
{
    Sw3d_TestFailAfter(-1, 0);
    Gfx_ReleaseLights();
    Gfx_ReleaseD3DDevice();
    Gfx_ReleaseDirectDraw();
    Plat_DisplayHeadlessReset();
    Sw3d_TestSetDevices(nullptr, 0);
    Sw3d_TestSetZFormats(nullptr, -1);
}
