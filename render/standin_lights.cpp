// Stand-in for the light calls until the 3-D device's light module is built: forwards the values
// to the device with the same scaling, without the step texts.
#include "render/lights.h"

#include "app/calllog.h"
#include "platform/sw3d.h"

#include <cstdlib>

int32_t Gfx_SetLightColour(int32_t n, int32_t r, int32_t g, int32_t b)
{
    SW3DCOLOUR colour{};
    Sw3d_GetLight(n, &colour, nullptr);
    colour.r = static_cast<float>(std::abs(r)) / 4096.0f;
    colour.g = static_cast<float>(std::abs(g)) / 4096.0f;
    colour.b = static_cast<float>(std::abs(b)) / 4096.0f;
    return Sw3d_SetLightColour(n, &colour);
}

int32_t Gfx_SetLightDirection(int32_t n, int32_t x, int32_t y, int32_t z)
{
    if (x == 0 && y == 0 && z == 0)
        return 0;
    SW3DVECTOR direction{static_cast<float>(x) / 4096.0f, static_cast<float>(y) / 4096.0f,
                         static_cast<float>(z) / 4096.0f};
    return Sw3d_SetLightDirection(n, &direction);
}

int32_t Gfx_SetAmbientColour(int32_t r, int32_t g, int32_t b)
{
    uint32_t packed = (static_cast<uint32_t>(r & 0xFF) << 16) | (static_cast<uint32_t>(g & 0xFF) << 8) |
                      static_cast<uint32_t>(b & 0xFF);
    return Sw3d_SetAmbient(packed);
}

// Stand-ins until the light module is built.
int32_t Gfx_CreateLights()
{
    return Sys_CallLogShouldFail("Gfx_CreateLights") ? -1 : 0;
}

int32_t Gfx_ReleaseLights()
{
    return 0;
}
