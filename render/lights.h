// Lights of the 3-D device: three directional lights and the ambient colour, set from the console
// geometry's fixed-point light tables (4096 = 1.0).
#pragma once

#include <cstdint>

int32_t Gfx_SetLightColour(int32_t n, int32_t r, int32_t g, int32_t b);
int32_t Gfx_SetLightDirection(int32_t n, int32_t x, int32_t y, int32_t z);
int32_t Gfx_SetAmbientColour(int32_t r, int32_t g, int32_t b);
// The three lights and the material, made with the display objects and released with them.
int32_t Gfx_CreateLights();
int32_t Gfx_ReleaseLights();
