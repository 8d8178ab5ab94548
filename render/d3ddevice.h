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
// Texture formats the device offers, and the one the texture table uses.
int32_t Gfx_EnumTextureFormats();
int32_t Gfx_FindTextureFormat();
// The index grid the quad drawers share.
int32_t Gfx_InitQuadIndexGrid();
// The render state outside a scene.
int32_t Gfx_ResetLightingState();
