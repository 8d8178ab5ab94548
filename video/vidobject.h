// Stand-in for the video engine's render object until the video engine is built: only the
// fields the mesh drawing reads.
#pragma once

#include <cstdint>

struct TEXTURE;

// VIDOBJECT.flags
constexpr uint32_t VIDOBJ_SOLID = 0x40;
constexpr uint32_t VIDOBJ_OUTLINE = 0x80;
constexpr uint32_t VIDOBJ_OWNTEXTURE = 0x100;
constexpr uint32_t VIDOBJ_HUBLINES = 0x80000;
constexpr uint32_t VIDOBJ_INVERTED = 0x800000;
constexpr uint32_t VIDOBJ_OUTLINE_ADDITIVE = 0x4000000;
constexpr uint32_t VIDOBJ_OUTLINE_RECOLOUR = 0x8000000;
constexpr uint32_t VIDOBJ_OUTLINE_INVERTED = 0x10000000;

struct VIDOBJECT
{
    uint32_t flags;
    uint8_t colour[3]; // r, g, b
    TEXTURE *texture;
};
