// The 3-D device as the drawing layer sees it.
#pragma once

#include <cstdint>

// Result of the last call made on the 3-D device (0 = success).
extern int32_t g_hrD3D;

// The 3-D device list as the display overlay names it.
extern int32_t g_iRenderDevice;      // current record, -1 when none
extern int32_t g_iRenderDeviceCount; // records listed
// The name of a record; "" for an index out of range.
const char *Gfx_GetRenderDeviceName(int32_t device);

// Viewport of the 3-D device and the software clip with it, in screen-layout units; and a clear
// of the viewport to 0xRRGGBB. Both answer the device's result.
int32_t Gfx_SetViewport(int32_t x, int32_t y, int32_t w, int32_t h);
int32_t Gfx_ClearViewportColour(uint32_t rgb);

// The 3-D device list and the device made from one of its records, with its z-buffer and
// viewport. Enumerate and create answer 0, or 1 when there is no 3-D interface, or the failing
// result; release answers 0 or the first failing result.
int32_t Gfx_EnumerateD3DDevices(void *window);
int32_t Gfx_CreateD3DDevice(int32_t record);
int32_t Gfx_ReleaseD3DDevice();
// The texture side of the device, as the texture table (render/textures.h) uses it: the
// formats offered, listed to proc until it answers 0; TEXCAPS_ bits; whether surfaces are kept by
// the device; the stage-0 colour operation; the stage-0 texture (null = none); and the grab
// surface as the stage-0 texture.
struct TEXPIXELFORMAT;
struct TEXSURFACE;
int32_t Gfx_D3DEnumTextureFormats(int32_t (*proc)(const TEXPIXELFORMAT *format, void *context), void *context);
uint32_t Gfx_D3DTextureCaps();
int32_t Gfx_D3DManagedTextures();
int32_t Gfx_D3DSetColourStage(uint32_t op, uint32_t arg1, uint32_t arg2);
int32_t Gfx_D3DSetTexture(const TEXSURFACE *texture);
int32_t Gfx_BindGrabTexture();
// The index grid the quad drawers share.
int32_t Gfx_InitQuadIndexGrid();
// The render state outside a scene.
int32_t Gfx_ResetLightingState();
