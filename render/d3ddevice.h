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
