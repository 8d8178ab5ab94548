#include "video/standin_video.h"

#include "app/calllog.h"
#include "video/chasetypes.h"
#include "video/resloaders.h"

uint8_t g_ucFullScreenVideo = 0;

// Stand-in.
void Vid_EarlyInit()
{
    Sys_CallLog("Vid_EarlyInit");
}

// Stand-in: brings up the engine's core (pools, lanes, chase types) until the full start-up
// with its camera objects and event handlers is built.
void Vid_InitChaseEngine()
{
    Sys_CallLog("Vid_InitChaseEngine");
    Vid_InstallResLoaders();
    Vid_InitVideoCore();
}

// Stand-in.
void Vid_FreeCameraRig()
{
    Sys_CallLog("Vid_FreeCameraRig");
}

// Stand-in: frees the engine's core.
void Vid_ShutdownChaseEngine()
{
    Sys_CallLog("Vid_ShutdownChaseEngine");
    Vid_FreeVideoCore();
}

// Stand-in: the geometry there does no projection of its own, so the centre is only kept.
void Vid_SetScreenCentre(int32_t, int32_t)
{
}
