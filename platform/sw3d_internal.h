// Inside the software 3-D device: the records behind its handles and what the vertex pipeline
// (sw3d.cpp) hands the rasteriser (sw3d_raster.cpp). Not for use outside platform/sw3d*.
#pragma once

#include "platform/sw3d.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

struct SW3DINTERFACE
{
    int32_t unused;
};

struct SW3DLIGHTOBJ
{
    SW3DLIGHT desc;
};

struct SW3DMATERIALOBJ
{
    SW3DMATERIAL desc;
    uint32_t handle;
};

struct SW3DVIEWPORTOBJ
{
    SW3DVIEWPORT desc;
    SW3DDEVICE *device;
    std::array<SW3DLIGHTOBJ *, SW3D_MAX_VIEWPORT_LIGHTS> lights;
    int32_t lightCount;
};

struct SW3DDEVICE
{
    SW3DTARGETFN target;
    SW3DVIEWPORTOBJ *current;
    std::vector<SW3DVIEWPORTOBJ *> viewports;
    bool inScene;
    uint32_t ambient;
    uint32_t material;
    // render states
    uint32_t zEnable, shadeMode, zWrite, srcBlend, destBlend, cullMode, zFunc, blendEnable, colourKey;
    // stage 0
    uint32_t colourOp, colourArg1, colourArg2, magFilter, minFilter;
    bool hasTexture;
    SW3DTEXTURE texture;
};

namespace sw3d {

inline uint32_t Mul8(uint32_t a, uint32_t b)
{
    const uint32_t p = a * b + 128;
    return (p + (p >> 8)) >> 8;
}

struct ARGB
{
    uint32_t a, r, g, b;
};

inline ARGB Unpack(uint32_t c)
{
    return {c >> 24, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF};
}

inline uint32_t Expand5(uint32_t c)
{
    return (c << 3) | (c >> 2);
}

inline uint32_t Expand6(uint32_t c)
{
    return (c << 2) | (c >> 4);
}

inline uint16_t PackTarget(uint32_t r, uint32_t g, uint32_t b, int32_t format)
{
    if (format == 4)
        return static_cast<uint16_t>(((r & 0xF8) << 7) | ((g & 0xF8) << 2) | (b >> 3));
    return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
}

inline ARGB UnpackTarget(uint16_t p, int32_t format)
{
    if (format == 4)
        return {255, Expand5((p >> 10) & 31), Expand5((p >> 5) & 31), Expand5(p & 31)};
    return {255, Expand5(p >> 11), Expand6((p >> 5) & 63), Expand5(p & 31)};
}

inline uint16_t ZOf(float z)
{
    if (!(z > 0.0f)) // NaN too
        return 0;
    if (z >= 1.0f)
        return 0xFFFF;
    return static_cast<uint16_t>(std::floor(static_cast<double>(z) * 65535.0 + 0.5));
}

inline int32_t BytesPerTexel(uint32_t format)
{
    switch (format) {
    case SW3D_TEX_8_PAL8: return 1;
    case SW3D_TEX_16_RGB565:
    case SW3D_TEX_16_RGB555:
    case SW3D_TEX_16_ARGB1555:
    case SW3D_TEX_16_ARGB4444: return 2;
    case SW3D_TEX_32_RGB888:
    case SW3D_TEX_32_ARGB8888: return 4;
    default: return 0;
    }
}

// A screen-space vertex ready for the rasteriser.
struct SVERTEX
{
    float sx, sy, sz, rhw;
    uint32_t colour;
    float tu, tv;
};

struct Target
{
    SW3DSURFACES s;
    int32_t left, top, right, bottom; // scissor
};

// The target surfaces and the scissor of the current viewport; false when there is no target.
bool GetTarget(const SW3DDEVICE &d, Target *t);
// Screen-space primitives by the pixel rules of sw3d.h.
void DrawTriangle(const SW3DDEVICE &d, const Target &t, SVERTEX a, SVERTEX b, SVERTEX c);
void DrawLine(const SW3DDEVICE &d, const Target &t, const SVERTEX &a, const SVERTEX &b);
void DrawPoint(const SW3DDEVICE &d, const Target &t, const SVERTEX &a);

} // namespace sw3d
