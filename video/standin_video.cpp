#include "video/standin_video.h"

#include "app/calllog.h"
#include "video/resloaders.h"

uint8_t g_ucFullScreenVideo = 0;

// Stand-in.
void Vid_EarlyInit()
{
    Sys_CallLog("Vid_EarlyInit");
}

// Stand-in.
void Vid_InitChaseEngine()
{
    Sys_CallLog("Vid_InitChaseEngine");
    Vid_InstallResLoaders();
}

// Stand-in.
void Vid_FreeCameraRig()
{
    Sys_CallLog("Vid_FreeCameraRig");
}

// Stand-in.
void Vid_ShutdownChaseEngine()
{
    Sys_CallLog("Vid_ShutdownChaseEngine");
}

// Stand-in: the geometry there does no projection of its own, so the centre is only kept.
void Vid_SetScreenCentre(int32_t, int32_t)
{
}
