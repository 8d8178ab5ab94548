// The display device layer: device and mode lists, the open device and its mode, the 16-bit back
// buffer that the layer frame and the 3-D picture are drawn into, present, gamma, the overlay
// text and the grab surface of the video renderer.
//
// Devices and modes are named by their position in the lists, so the stored "GfxDevice" and
// "GfxRes" settings are such positions. Only 16-bit modes in 5:6:5 or 5:5:5 are listed: nothing in
// the studio can draw any other layout.
//
// Every call returns 0 or a failing result of render/dxerrors.h, whose name it has written into
// g_szDXErrorName and kept in g_hrDD. Main thread only.
#pragma once

#include <cstdint>

struct PLATDISPLAY;

constexpr int DISPLAY_MAX_DEVICES = 8;
constexpr int DISPLAY_MAX_MODES = 64;
constexpr int DISPLAY_NAME_SIZE = 256;

struct DISPLAYMODE
{
    char name[DISPLAY_NAME_SIZE]; // "%d X %d X %dBit"
    uint32_t width;
    uint32_t height;
    uint32_t depth;
    uint32_t pixelFormat; // 2 = 5:6:5, 4 = 5:5:5
};

struct DISPLAYDEVICE
{
    char name[DISPLAY_NAME_SIZE]; // "driver (description)", cut to fit
    int32_t hasGuid;
    uint8_t guid[16];
    uint32_t surfaceMemory; // memory kind of the 3-D device's surfaces (set by the 3-D layer)
    int32_t modeCount;
    int32_t currentMode; // -1 when none is set
    DISPLAYMODE modes[DISPLAY_MAX_MODES];
    int32_t has3D;        // hardware or emulated 3-D
    int32_t primaryGamma; // the primary surface takes a gamma ramp
    int32_t backendIndex; // the backend's device number behind this record
};

struct GAMMARAMP
{
    uint16_t red[256];
    uint16_t green[256];
    uint16_t blue[256];
};

extern DISPLAYDEVICE g_aDisplayDevices[DISPLAY_MAX_DEVICES];
extern int32_t g_iDisplayDevice;      // current record, -1 when none
extern int32_t g_iDisplayDeviceCount; // records filled by the last enumeration
extern PLATDISPLAY *g_pDirectDraw;    // the open device, null when none
extern void *g_hDisplayWnd;
extern int32_t g_hrDD; // result of the last failing display call
extern int32_t g_bGammaControl;       // some device offers a primary-surface gamma ramp
extern PLATDISPLAY *g_pGammaControl;  // the device whose ramp is set, null when none
extern GAMMARAMP g_abGammaRamp;
extern int32_t g_iGammaLevel;
extern int32_t g_bDebugFont; // the overlay font is ready
extern uint16_t *g_pGrabSurface; // grab pixels, rows of the second size, in the back buffer's layout
extern int32_t g_iGrabSize[2];   // height, then width, as given when made

int32_t Gfx_EnumerateDisplayDevices(void *window);
int32_t Gfx_CreateDirectDraw(int32_t device);
int32_t Gfx_FindDisplayMode(uint32_t width, uint32_t height, uint32_t depth);
int32_t Gfx_SetDisplayMode(int32_t mode);
int32_t Gfx_RestoreDisplayMode();
int32_t Gfx_ReleaseDirectDraw();

// The z-buffer of the 3-D device: 16 bits a pixel, the mode's size. The pixel-format argument is
// the 3-D layer's description of it (kept for that layer, not read here).
int32_t Gfx_CreateZBuffer(const void *pixelFormat);
int32_t Gfx_ReleaseSurfaces();
uint16_t *Gfx_GetZBuffer(int32_t *width, int32_t *height);

// The back buffer for drawing (pitch in bytes); null while no mode is set.
uint16_t *Gfx_GetBackBuffer(int32_t *pitch, int32_t *width, int32_t *height);

int32_t Gfx_Present();
// Layer frame (640 x 480, rows of 1280 bytes) -> top-left of the back buffer, clipped to both.
int32_t Gfx_CopyFrameToSurface(const uint16_t *frame);
// Back-buffer rectangle -> the same place of the layer frame, clipped to both.
int32_t Gfx_CopySurfaceRectToFrame(int32_t x, int32_t y, int32_t w, int32_t h);

int32_t Gfx_CreateColourKeySurface(int32_t height, int32_t width);
int32_t Gfx_ReleaseColourKeySurface();
// Stretches the draw area of the back buffer over the whole grab surface (nearest pixel).
int32_t Gfx_GrabDrawArea();

// Text on the back buffer: grey background, green letters, lines 16 pixels apart. With text null,
// the three lines naming the mode, the display device and the 3-D device. -1 when the back buffer
// is busy (nothing drawn).
int32_t Gfx_DrawDeviceOverlay(const char *text, int32_t x, int32_t y);

// Gamma ramp of a brightness level: entry i = min(i x level, 65535); 256 is the identity.
int32_t Gfx_SetGamma(int32_t level);
int32_t Gfx_GetGammaRamp(int32_t *level);

// Before a system message box. Nothing to do on our backends: the box shows over the window.
int32_t Gfx_FlipToGdi();

int32_t Gfx_GetDeviceCount();
// Buffers hold DISPLAY_NAME_SIZE bytes; an index out of range gives an empty text.
void Gfx_GetDeviceName(char *buffer, int32_t device);
int32_t Gfx_GetModeCount();
void Gfx_GetModeName(char *buffer, int32_t mode);
void Gfx_GetModeSize(int32_t mode, int32_t *width, int32_t *height, int32_t *depth);
