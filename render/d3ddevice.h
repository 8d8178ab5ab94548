// The 3-D device of the display: the device list, the device made on the display's back buffer
// with its 16-bit z-buffer, the viewport, the start render state, clears, and the names of 3-D
// results. The device itself is the software rasteriser of platform/sw3d.h.
//
// Every 3-D call's result lands in g_hrD3D; a failure is named through Gfx_D3DErrorName and
// returned at once, steps already done staying for the release. Main thread only.
#pragma once

#include "platform/sw3d.h"

#include <cstdint>

constexpr int RENDER_MAX_DEVICES = 8;

struct RENDERDEVICE
{
    char name[256];              // "name (description)"
    SW3DGUID guid;
    uint32_t hardware;           // 1: the hardware device, showing every capability the studio needs
    const SW3DDEVICEDESC *desc;  // valid only inside the enumeration
};

// Memory kinds of the display device's surfaces, chosen by the 3-D record.
constexpr uint32_t DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr uint32_t DDSCAPS_VIDEOMEMORY = 0x4000;

extern RENDERDEVICE g_aRenderDevices[RENDER_MAX_DEVICES];
extern int32_t g_iRenderDeviceCount; // records listed by the last enumeration
extern int32_t g_iRenderDevice;      // record of the current device, -1 before the first
extern SW3DINTERFACE *g_pD3D;
extern SW3DDEVICE *g_pD3DDevice;
extern SW3DVIEWPORTOBJ *g_pViewport;
extern int32_t g_hrD3D; // result of the last 3-D call, 0 for success
extern SW3DZFORMAT g_aZBufferFormats[8];
extern int32_t g_iZBufferFormatCount;
extern SW3DVIEWPORT g_tViewportDesc;
extern SW3DRECT g_rcClear;   // the current viewport rectangle, for both clears
extern int32_t g_bSoftware3D; // 1 only for the emulation device
// The screen-space scratch vertices and draw offset of the console primitive drawers.
extern SW3DTLVERTEX g_aScratchVertices[8];
extern int32_t g_iD3DOffsetX, g_iD3DOffsetY;

// The name of a record; "" for an index out of range.
const char *Gfx_GetRenderDeviceName(int32_t device);

// A device result as the 3-D layer's code (0 stays 0).
int32_t Gfx_D3DResult(int32_t sw3dResult);
// Writes the name of a 3-D result into g_szDXErrorName and returns it; other codes leave the
// text as it was and give null.
const char *Gfx_D3DErrorName(int32_t result);

// Enumerate and create answer 0, 1 when there is no 3-D interface, or the failing result.
int32_t Gfx_EnumerateD3DDevices(void *window);
int32_t Gfx_CreateD3DDevice(int32_t record);
int32_t Gfx_ReleaseD3DDevice();
int32_t Gfx_CreateD3D();
int32_t Gfx_ReleaseD3D();
int32_t Gfx_CreateViewport();
int32_t Gfx_ReleaseViewport();
// An area in screen-layout units in mode pixels, cut to the mode; false while there is no mode.
bool Gfx_ScaleToMode(int32_t x, int32_t y, int32_t w, int32_t h, int32_t *X, int32_t *Y, int32_t *W, int32_t *H);
// Viewport, clear rectangle and software clip for an area in screen-layout units.
int32_t Gfx_SetViewport(int32_t x, int32_t y, int32_t w, int32_t h);
// Target and z (to 1.0) over g_rcClear; colour 0x00RRGGBB. 0 without a device.
int32_t Gfx_ClearViewportColour(uint32_t rgb);
int32_t Gfx_ClearZBuffer();
int32_t Gfx_SetInitialRenderState();
// Perspective matrix; left untouched for a degenerate request.
void Gfx_BuildProjectionMatrix(SW3DMATRIX *m, float fov, float aspect, float nearZ, float farZ);
void Gfx_SetIdentityMatrix(SW3DMATRIX *m);
// out = b x a.
void Gfx_MultiplyMatrix(const SW3DMATRIX *a, const SW3DMATRIX *b, SW3DMATRIX *out);
int32_t Gfx_DrawTestTriangle();

// The texture side of the device, as the texture table (render/textures.h) uses it: the formats
// the device samples, listed to proc until it answers 0; its TEXCAPS_ demands; whether its records
// keep textures (the hardware flag); the stage-0 colour operation (arg2 TEXARG_KEEP leaves the
// second argument alone); the stage-0 texture (null = none); forgetting a texture whose storage
// is about to go (unbound first when bound); and the grab surface as the stage-0 texture.
struct TEXPIXELFORMAT;
struct TEXSURFACE;
int32_t Gfx_D3DEnumTextureFormats(int32_t (*proc)(const TEXPIXELFORMAT *format, void *context), void *context);
uint32_t Gfx_D3DTextureCaps();
int32_t Gfx_D3DManagedTextures();
int32_t Gfx_D3DSetColourStage(uint32_t op, uint32_t arg1, uint32_t arg2);
int32_t Gfx_D3DSetTexture(const TEXSURFACE *texture);
void Gfx_D3DForgetTexture(const void *storage);
int32_t Gfx_BindGrabTexture();
