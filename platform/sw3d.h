// The software 3-D device: the part of its interface that the console geometry hands work to.
//
// Matrices are row-vector 4x4 floats (a point p is transformed as p x M), element _rc at row r,
// column c. Light colours are 0..1 per channel, directions are not renormalised by the device.
// Every call answers 0 on success or a non-zero device result.
#pragma once

#include <cstdint>

struct SW3DMATRIX
{
    float _11, _12, _13, _14;
    float _21, _22, _23, _24;
    float _31, _32, _33, _34;
    float _41, _42, _43, _44;
};

enum SW3DTRANSFORM
{
    SW3D_TRANSFORM_WORLD = 1,
    SW3D_TRANSFORM_VIEW = 2,
    SW3D_TRANSFORM_PROJECTION = 3,
};

struct SW3DCOLOUR
{
    float r, g, b, a;
};

struct SW3DVECTOR
{
    float x, y, z;
};

constexpr int32_t SW3D_LIGHTS = 3;
constexpr int32_t SW3D_ERR_INVALIDPARAMS = -1;

int32_t Sw3d_SetTransform(SW3DTRANSFORM which, const SW3DMATRIX *m);
int32_t Sw3d_GetTransform(SW3DTRANSFORM which, SW3DMATRIX *m);

int32_t Sw3d_SetLightColour(int32_t light, const SW3DCOLOUR *colour);
int32_t Sw3d_SetLightDirection(int32_t light, const SW3DVECTOR *direction);
int32_t Sw3d_GetLight(int32_t light, SW3DCOLOUR *colour, SW3DVECTOR *direction);
// Ambient light as 0x00RRGGBB.
int32_t Sw3d_SetAmbient(uint32_t rgb);
uint32_t Sw3d_GetAmbient();
