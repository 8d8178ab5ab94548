// The frame render: draws the seven lane render slots that the lane playback filled this frame
// into the 3-D view (g_aViewRect), in one or two passes around the screen effects (radial split,
// grid, full-screen picture), with the auto camera when no camera chase places the camera.
//
// Main thread only. The video steps at 50 frames a second; call Vid_UpdateLanes then
// Vid_RenderFrame once a video frame.
#pragma once

#include <cstdint>

#include "core/fixmath.h"

struct VIDOBJECT;
struct TEXTURE;

// VIDOBJECT.flags bits the frame render tests (besides the model flags of vidobject.h).
constexpr uint32_t VIDOBJ_OWNLIGHTS_APPLY = 0x8;  // apply the slot's lights before drawing
constexpr uint32_t VIDOBJ_NORMALISED = 0x10;      // local-screen matrix with normalised rows
constexpr uint32_t VIDOBJ_UVLAYER1 = 0x200;
constexpr uint32_t VIDOBJ_UVLAYER2 = 0x400;
constexpr uint32_t VIDOBJ_UVLAYER3 = 0x800;
constexpr uint32_t VIDOBJ_AUXINSTANCES = 0x4000;
constexpr uint32_t VIDOBJ_SEMITRANS = 0x8000;
constexpr uint32_t VIDOBJ_SEMIRATE = 0x30000;
constexpr uint32_t VIDOBJ_RADIAL = 0x100000;
constexpr uint32_t VIDOBJ_GRID = 0x200000;
constexpr uint32_t VIDOBJ_PICTURE = 0x400000;
constexpr uint32_t VIDOBJ_WHITECLEAR = 0x1000000;
constexpr uint32_t VIDOBJ_TUNNEL = 0x2000000;

// Effect blocks the screen-effect chases fill.
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

// The path whose line is drawn over the video: 16-byte points (x, y, z as i32, spare).
struct VIDPATHPREVIEW
{
    const int32_t *piPoints;
    int32_t iCount;
    int32_t bClosed;
    int32_t iScale;
    int32_t iCamera; // 0 main, 1 auxiliary, other: the path display camera
};

extern int32_t g_iSceneExtent;     // raised by the chases during a chase frame, reset with it
extern int32_t g_iSceneExtentUsed; // the extent the auto camera aimed by last
extern int32_t g_aiAutoCameraPos[3];
extern int32_t g_aiAutoCameraStep[3];
extern int32_t g_iViewRedrawCount;
extern int32_t g_bVideoTrails;
extern const VIDPATHPREVIEW *g_pPathPreview;
extern int32_t g_iCameraScale;     // 9500 unless a camera chase scales
extern int32_t g_iCameraDepthValue; // the depth value the chase types set this frame
extern int32_t g_iAuxCameraDepth;
extern int16_t g_aViewRect[4]; // x, y, w, h
extern int32_t g_iGridProjectionDistance;

// What the frame did, for tests and the benchmark.
struct VIDFRAMESTATS
{
    int32_t iLaneMask;
    int32_t bInsidePass;
    int32_t iSlotDraws;   // model draws
    int32_t iClears;
    int32_t iGrabs;
    int32_t iWinningLane[3]; // radial, grid, picture: the lane whose block was taken, -1 none
    int32_t bOutsideElided;  // the outside pass's pixels were left out (all opaque, no effect)
};
extern VIDFRAMESTATS g_VidFrameStats;
// 1 (the default): an all-opaque frame without effects leaves out the outside pass's pixels,
// which the inside pass overwrites. Tests turn it off to compare.
extern int32_t g_bVidElideOpaquePass;

void Vid_ResetRenderState();
void Vid_RenderFrame();

// 256 16-bit colours XOR 0x7FFF.
void Vid_InvertClut(const uint16_t *src, uint16_t *dst);
// camera: 0 main, 1 auxiliary; instance -1 = the slot's own model.
void Vid_DrawSlot(VIDOBJECT *slot, int32_t depthShift, int32_t camera, int32_t instance);
void Vid_DrawPathPreview(const VIDPATHPREVIEW *path);
void Vid_DrawRadialSplit(const VIDRADIALBLOCK *block);
void Vid_DrawGridEffect(const VIDGRIDBLOCK *block);
void Vid_SetGridInnerView(const VIDGRIDBLOCK *block);
void Vid_ClearGridCell(int32_t r, int32_t g, int32_t b);
void Vid_DrawFullPicture(const VIDPICTUREBLOCK *block);

// Lane update and view set-up (run before the render each frame).
extern int32_t g_iShownPosition;
extern int32_t g_bLaneUpdateForce;
extern int32_t g_bVideoEmpty;
extern uint8_t g_bNoPreviewClip;
extern struct VIDCLIP *g_pPreviewClipShown;
extern int32_t g_iChaseLevelShown;
void Vid_UpdateLanes();
void Vid_SetViewport(const int16_t rect[4]);
void Vid_SetProjection(const int16_t rect[4], int32_t distance);
struct VIDCLIP *Vid_GetPreviewClip();
