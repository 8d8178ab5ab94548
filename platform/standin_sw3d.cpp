// Stand-in for the software 3-D device until it is built: keeps the transforms and lights it is
// handed so callers and tests can read them back. Draws nothing.
#include "platform/sw3d.h"

#include <array>

namespace {

std::array<SW3DMATRIX, 4> s_transforms{};
std::array<SW3DCOLOUR, SW3D_LIGHTS> s_lightColours{};
std::array<SW3DVECTOR, SW3D_LIGHTS> s_lightDirections{};
uint32_t s_ambient = 0;

bool ValidTransform(SW3DTRANSFORM which)
{
    return which >= SW3D_TRANSFORM_WORLD && which <= SW3D_TRANSFORM_PROJECTION;
}

bool ValidLight(int32_t light)
{
    return light >= 0 && light < SW3D_LIGHTS;
}

} // namespace

int32_t Sw3d_SetTransform(SW3DTRANSFORM which, const SW3DMATRIX *m)
{
    if (!ValidTransform(which) || !m)
        return SW3D_ERR_INVALIDPARAMS;
    s_transforms[which] = *m;
    return 0;
}

int32_t Sw3d_GetTransform(SW3DTRANSFORM which, SW3DMATRIX *m)
{
    if (!ValidTransform(which) || !m)
        return SW3D_ERR_INVALIDPARAMS;
    *m = s_transforms[which];
    return 0;
}

int32_t Sw3d_SetLightColour(int32_t light, const SW3DCOLOUR *colour)
{
    if (!ValidLight(light) || !colour)
        return SW3D_ERR_INVALIDPARAMS;
    s_lightColours[light] = *colour;
    return 0;
}

int32_t Sw3d_SetLightDirection(int32_t light, const SW3DVECTOR *direction)
{
    if (!ValidLight(light) || !direction)
        return SW3D_ERR_INVALIDPARAMS;
    s_lightDirections[light] = *direction;
    return 0;
}

int32_t Sw3d_GetLight(int32_t light, SW3DCOLOUR *colour, SW3DVECTOR *direction)
{
    if (!ValidLight(light))
        return SW3D_ERR_INVALIDPARAMS;
    if (colour)
        *colour = s_lightColours[light];
    if (direction)
        *direction = s_lightDirections[light];
    return 0;
}

int32_t Sw3d_SetAmbient(uint32_t rgb)
{
    s_ambient = rgb & 0x00FFFFFFu;
    return 0;
}

uint32_t Sw3d_GetAmbient()
{
    return s_ambient;
}
