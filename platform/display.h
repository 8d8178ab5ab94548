// The display: devices and their modes, one open device with a 16-bit back buffer, present, the
// gamma ramp.
//
// One device is open at a time. Setting a mode makes a primary surface and one back buffer of the
// mode's size; the back buffer keeps its content across a present (the present copies it out).
// Gamma is applied to the presented copy only, never to the back buffer.
//
// Real backend: SDL2. The spine's window shows a streaming RGB565 texture of the mode's size at
// the largest whole scale that fits the desktop, presented with vsync.
// Headless backend: memory surfaces. Its device list can be replaced, and switches make surfaces
// "lost", the back buffer busy or a step fail, so that the callers' recovery paths can be tested.
//   TNV_DUMP_FRAME=file.png  the last presented frame is written there (RGB, 8 bits a channel)
//                            when the device is closed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum PLATDISPLAYRESULT
{
    PLAT_DISPLAY_OK = 0,
    PLAT_DISPLAY_LOST,     // the surface lost its memory; restore it before use
    PLAT_DISPLAY_BUSY,     // the surface cannot be drawn on just now
    PLAT_DISPLAY_FAILED,   // the backend refused (no window, renderer failure)
    PLAT_DISPLAY_BADMODE,  // the mode is not one of the device's
    PLAT_DISPLAY_NOTREADY, // no device open, or no surfaces made
};

struct PLATDISPLAYMODE
{
    uint32_t width;
    uint32_t height;
    uint32_t depth; // bits per pixel
    uint32_t redMask, greenMask, blueMask;
};

struct PLATDISPLAYDEVICE
{
    std::string driver;
    std::string description;
    bool hasGuid = false;
    uint8_t guid[16] = {};
    bool has3D = true;
    bool primaryGamma = true;
    std::vector<PLATDISPLAYMODE> modes;
};

// Surfaces whose lost state can be asked for and restored.
enum PLATSURFACE
{
    PLAT_SURFACE_PRIMARY = 1,
    PLAT_SURFACE_BACK = 2,
    PLAT_SURFACE_ZBUFFER = 4,
};

struct PLATGAMMARAMP
{
    uint16_t red[256];
    uint16_t green[256];
    uint16_t blue[256];
};

struct PLATDISPLAY; // the open device

// The devices in a fixed order, each with its modes in a fixed order.
std::vector<PLATDISPLAYDEVICE> Plat_DisplayDevices();

// Opens a device (index into the list); null with *result set when it cannot be opened.
PLATDISPLAY *Plat_DisplayOpen(int device, PLATDISPLAYRESULT *result);
void Plat_DisplayClose(PLATDISPLAY *display);

// Sets one of the device's modes and makes the primary surface and its back buffer.
PLATDISPLAYRESULT Plat_DisplaySetMode(PLATDISPLAY *display, const PLATDISPLAYMODE &mode);
// Gives the desktop back and drops the surfaces.
void Plat_DisplayRestoreMode(PLATDISPLAY *display);
bool Plat_DisplayHasSurfaces(const PLATDISPLAY *display);

// The back buffer: pixels in the mode's layout, pitch in bytes (may be wider than a row). Null
// while there are no surfaces.
uint16_t *Plat_DisplayBackBuffer(PLATDISPLAY *display, int32_t *pitch, int32_t *width, int32_t *height);

// Lost state of the surfaces in mask (PLATSURFACE bits): LOST when any is lost.
PLATDISPLAYRESULT Plat_DisplayIsLost(PLATDISPLAY *display, uint32_t mask);
// Restores the surfaces in mask; a restored surface's content is undefined (cleared here).
PLATDISPLAYRESULT Plat_DisplayRestore(PLATDISPLAY *display, uint32_t mask);
// Asks to draw on the back buffer outside a lock (text): OK, BUSY or LOST.
PLATDISPLAYRESULT Plat_DisplayBeginDraw(PLATDISPLAY *display);

// Shows the back buffer: LOST when the primary surface is lost (nothing shown).
PLATDISPLAYRESULT Plat_DisplayPresent(PLATDISPLAY *display);

PLATDISPLAYRESULT Plat_DisplaySetGammaRamp(PLATDISPLAY *display, const PLATGAMMARAMP &ramp);
PLATDISPLAYRESULT Plat_DisplayGetGammaRamp(PLATDISPLAY *display, PLATGAMMARAMP *ramp);

// Converts one 16-bit pixel of the given masks to 8-bit red, green and blue through the ramp
// (channels are widened by repeating their top bits, then looked up). Both backends present
// with it.
void Plat_DisplayConvertPixel(uint16_t pixel, const PLATDISPLAYMODE &mode, const PLATGAMMARAMP &ramp, uint8_t rgb[3]);

// The last presented frame as RGB bytes (width x height x 3); empty before the first present.
// The headless backend converts a frame only when it is read here or dumped at close.
const std::vector<uint8_t> &Plat_DisplayPresentedFrame(uint32_t *width, uint32_t *height);
// How many presented frames were converted to RGB so far (headless).
uint32_t Plat_DisplayFrameConversions();
uint32_t Plat_DisplayPresentCount();
// Writes RGB bytes as an 8-bit PNG; false with a message on stderr when it cannot.
bool Plat_WritePng(const char *path, const uint8_t *rgb, uint32_t width, uint32_t height);

// Headless switches (ignored by the real backend).
enum PLATDISPLAYSTEP
{
    PLAT_DISPLAY_STEP_NONE = 0,
    PLAT_DISPLAY_STEP_OPEN,
    PLAT_DISPLAY_STEP_SETMODE,
    PLAT_DISPLAY_STEP_RESTORE, // restoring a lost surface
    PLAT_DISPLAY_STEP_GAMMA,
};
void Plat_DisplayHeadlessSetDevices(const std::vector<PLATDISPLAYDEVICE> &devices);
void Plat_DisplayHeadlessReset(); // the default devices, no switch on
void Plat_DisplayHeadlessLoseSurfaces(uint32_t mask);
void Plat_DisplayHeadlessSetBusy(bool busy);
void Plat_DisplayHeadlessFailStep(PLATDISPLAYSTEP step);
