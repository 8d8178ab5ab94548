#include "tools/videohost.h"

#include "app/timers.h"
#include "core/archive.h"
#include "core/console_memory.h"
#include "core/disc.h"
#include "core/event.h"
#include "core/file.h"
#include "core/fixmath.h"
#include "platform/backend.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/lights.h"
#include "render/mesh.h"
#include "render/prims3d.h"
#include "render/texpages.h"
#include "render/textures.h"
#include "render/userimages.h"
#include "video/engine.h"
#include "video/render.h"
#include "video/respages.h"

#include <cstdio>

bool Content_StartVideoHost(const std::string &dataDir, std::string &err)
{
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    g_iScreenWidth = 640;
    g_iScreenHeight = 480;
    if (Gfx_EnumerateDisplayDevices(nullptr) != 0 || Gfx_CreateDirectDraw(0) != 0 || Gfx_SetDisplayMode(0) != 0 ||
        Gfx_EnumerateD3DDevices(nullptr) != 0 || Gfx_CreateD3DDevice(1) != 0 || Gfx_CreateLights() != 0 ||
        Gfx_InitTextureTable() != 0 || Gfx_EnumTextureFormats() != 0 || Gfx_ResetLightingState() != 0 ||
        Gfx_CreateColourKeySurface(256, 256) != 0) {
        err = "Couldn't Initialise Display Device";
        return false;
    }
    std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/", dataDir.c_str());
    Sys_DiscInit();
    Vid_CreateResPagePool();
    if (Sys_WadOpen("demowad.WAD", "demowad.IND", 3) != 1) {
        err = std::string("the content archive in ") + dataDir + " cannot be opened: " + g_szWadErrorText;
        return false;
    }
    Gfx_InitTexturePages();
    Gfx_InitUserImages();
    Sys_BuildSineTable();
    Sys_EventInit();
    Sys_EventCreateClass(1, 11);
    Sys_EventCreateClass(3, 4);
    g_iFrameCount = 1;
    g_ucFrameTick = 1;
    Vid_EarlyInit();
    if (Vid_InitChaseEngine() != 0) {
        err = "no memory for the video";
        return false;
    }
    const int16_t view[4] = {0, 0, 640, 480};
    Vid_SetViewport(view);
    return true;
}

void Content_StopVideoHost()
{
    Vid_ShutdownChaseEngine();
    Sys_EventInit();
    Gfx_DestroyAllMeshes();
    Gfx_FreeTextureTable();
    Gfx_ReleaseColourKeySurface();
    Sys_WadFreeBuffers();
    Sys_FreeDiscPool();
    Gfx_FreeUserImages();
    Gfx_ReleaseLights();
    Gfx_ReleaseD3DDevice();
    Gfx_ReleaseDirectDraw();
    g_szDataDir[0] = 0;
}
