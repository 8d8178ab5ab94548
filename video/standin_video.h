// Stand-ins for the video engine calls the program spine makes, until the video engine is built.
#pragma once

#include "video/respages.h"

#include <cstdint>

extern uint8_t g_ucFullScreenVideo;

void Vid_EarlyInit();
void Vid_InitChaseEngine();
void Vid_FreeCameraRig();
void Vid_ShutdownChaseEngine();
void Vid_SetScreenCentre(int32_t x, int32_t y);
