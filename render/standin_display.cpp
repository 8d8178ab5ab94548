// Stand-in for the display device's layer copies until the display is built: there is no back
// surface to copy to or from yet.
#include <cstdint>

int32_t Gfx_CopyFrameToSurface(const uint16_t *)
{
    return 0;
}

int32_t Gfx_CopySurfaceRectToFrame(int32_t, int32_t, int32_t, int32_t)
{
    return 0;
}

int32_t Gfx_CreateColourKeySurface(int32_t, int32_t)
{
    return 0;
}

int32_t Gfx_ReleaseColourKeySurface()
{
    return 0;
}

int32_t Gfx_DrawDeviceTestFrame()
{
    return 0;
}
