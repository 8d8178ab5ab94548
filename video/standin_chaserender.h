// Stand-in for what the chase types need of the frame render until it is built: the effect
// blocks it reads and the frame's scene extent (same declarations as the frame render's own).
#pragma once

#include <cstdint>

#if __has_include("video/render.h")
#include "video/render.h"
#else
struct TEXTURE;

struct VIDRADIALBLOCK
{
    int32_t iCount; // 16.16 segments
    int16_t sStartAngle;
    uint32_t uColour1; // 0x00RRGGBB, odd segments
    uint32_t uColour2; // even segments
    uint8_t ucLaneMask;
};
struct VIDGRIDBLOCK
{
    int32_t iColumns; // 4.12
    int32_t iRows;    // 4.12
    int16_t sAngle;
    int16_t sScale;
    uint32_t uLaneMask;
    uint32_t auColours[4]; // r, g, b, alpha byte (255 = cell not drawn)
};
struct VIDPICTUREBLOCK
{
    TEXTURE *pTexture; // null = the grabbed picture
    uint32_t uColour;  // 0x00RRGGBB
    int16_t sAngle;
    int16_t sScale;
};

extern int32_t g_iSceneExtent;
#endif
