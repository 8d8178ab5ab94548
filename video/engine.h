// Start-up and shutdown of the video engine, its camera objects, the movie frame slots, and the
// handlers through which the sequencer's events reach the video.
//
// The sequencer's events (0x30000-0x30003) arrive on the thread that runs its tick (the mix thread
// while a song plays); their handlers write only the trigger banks (atomic words), the video
// position and the lanes-changed flag (atomics), and an atomic count.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/fixmath.h"

extern uint8_t g_ucFullScreenVideo;

// Camera objects of the frame render: 0 the main camera, 1 the auxiliary camera. Each is a view
// matrix (its m[1][1] the vertical scale of Vid_SetViewport) with the camera node below it; the
// main camera's node is g_CameraCoord.
constexpr int32_t VID_CAMERAS = 2;
extern COORD g_aCameraView[VID_CAMERAS];
extern COORD g_AuxCameraCoord;
extern uint8_t g_bCamerasLive;
COORD *Vid_CameraNode(int32_t camera); // null when the cameras are not made

// Movie frame slots (filled by the movie stream layer).
enum
{
    MOVIESLOT_FREE = 0,
    MOVIESLOT_READY = 1,
    MOVIESLOT_UPLOADED = 2,
    MOVIESLOT_DONE = 3,
};
struct MOVIESLOT
{
    int16_t rect[4]; // x, y, width, height
    void *pPixels;
    uint32_t uBuffer; // 0 = none
    uint16_t uState;
    uint16_t uKind; // 1 stream frame, 2 always uploaded
    uint32_t uStamp;
};
constexpr int32_t VID_MOVIE_SLOTS = 40;
extern MOVIESLOT g_aMovieSlots[VID_MOVIE_SLOTS];
extern uint8_t g_bMovieFrameUploaded;
// Gives a slot's buffer back; the movie stream layer sets it (null: buffers are only forgotten).
extern void (*g_pfnMovieBufferFree)(uint32_t buffer);

extern std::atomic<int32_t> g_iBeatEventCount;

// Tables the chase types read, filled at start-up as their types register: rotation axes (X and
// Z angle of each of 72 rows), spin steps, camera roll steps, and the 27 light directions (the
// points of {-1, 0, 1} cubed, x fastest, normalised to 4096; the middle one stays 0).
extern int32_t g_aRotationAxes[72][2];
extern int32_t g_aiRotationSpin[32];
extern int32_t g_aiCameraRoll[16];
extern int16_t g_aLightPositions[27][3];

// Animated-definition table and the "ANIMEXTRA" pool; run at boot before Vid_InitChaseEngine.
void Vid_EarlyInit();
// The whole start-up. 0, or -1 when a pool could not be made (a message says which; the engine
// is then left down).
int32_t Vid_InitChaseEngine();
void Vid_ShutdownChaseEngine();
void Vid_FreeCameraRig();

// Screen 4 slot 9 toggles the full-screen video; the unbind frees both clip grids too. The sound
// overlay's enter and leave actions.
void Vid_BindFullScreenKey();
void Vid_UnbindFullScreenKey();
void Vid_EnterVideoOverlay();
void Vid_LeaveVideoOverlay();
void Vid_ToggleFullScreenVideo();

// The geometry does no projection of its own on this platform: the centre is only kept.
void Vid_SetScreenCentre(int32_t x, int32_t y);

// Event handlers; arg points at the event's two i16 words {a, value} (null is ignored).
void Vid_OnStepEvent(uintptr_t arg);  // 0x30000
void Vid_OnBeatEvent(uintptr_t arg);  // 0x30001
void Vid_OnNoteEvent(uintptr_t arg);  // 0x30002
void Vid_OnBarEvent(uintptr_t arg);   // 0x30003
void Vid_OnMovieFrames(uintptr_t arg); // 0x10000
void Vid_OnMovieDone(uintptr_t arg);  // 0x10001
