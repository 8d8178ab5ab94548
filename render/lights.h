// Lights of the 3-D device: three directional lights attached to the viewport, one material and
// the ambient light state, set from the console geometry's fixed-point light tables (4096 = 1.0).
// The step texts go into g_szErrorText; light calls keep their result in g_hrDD, material and
// light-state calls in g_hrD3D. Every call answers 0 or the failing result. Main thread only.
#pragma once

#include "platform/sw3d.h"

#include <cstdint>

extern SW3DLIGHTOBJ *g_apLights[3];
extern SW3DLIGHT g_tLightDesc;
extern SW3DMATERIALOBJ *g_pMaterial;
extern uint32_t g_hMaterial;
extern SW3DMATERIAL g_tMaterialDesc;

// Light n (0-2): colour components and direction in fixed point; a direction of all zeros
// changes nothing.
int32_t Gfx_SetLightColour(int32_t n, int32_t r, int32_t g, int32_t b);
int32_t Gfx_SetLightDirection(int32_t n, int32_t x, int32_t y, int32_t z);
// Ambient colour as bytes: the material's ambient and the ambient light state.
int32_t Gfx_SetAmbientColour(int32_t r, int32_t g, int32_t b);
// Made after the viewport, released before it.
int32_t Gfx_CreateLights();
int32_t Gfx_ReleaseLights();
int32_t Gfx_InitLight(int32_t n);
int32_t Gfx_CreateMaterial();
