// The video engine's own tables that the file formats do not carry: particle types and their
// colours, the sprite rectangles of the particle textures and the head colours. Kept here in one
// place for the particle chase and the lane particle objects.
#pragma once

#include <cstdint>

constexpr int32_t VID_PARTICLE_TYPES = 160;
constexpr int32_t VID_PARTICLE_COLOURS = 16;
constexpr int32_t VID_SPRITE_RECTS = 8;
constexpr int32_t VID_HEAD_COLOURS = 8;

// One row of the particle type table, five 32-bit words:
//   0 spread (emitter velocity range, +-)    1 life range (frames)
//   2 particle size (16-bit)                 4 head size (16-bit)
//   3 bits 0-7 particle colour (row of g_aucParticleColours), 8-15 particle sprite rectangle,
//     16-23 head sprite rectangle, 24-31 head colour (row of g_aucHeadColours).
// Rows run through eight colours for each of twenty motions (spread x life x sizes).
extern const int32_t g_aiParticleTypes[VID_PARTICLE_TYPES][5];
// r, g, b of each particle colour.
extern const uint8_t g_aucParticleColours[VID_PARTICLE_COLOURS][3];
// u, v, w, h inside the 32 x 32 particle sprite textures.
extern const int16_t g_asSpriteRects[VID_SPRITE_RECTS][4];
// r, g, b of each emitter head colour.
extern const uint8_t g_aucHeadColours[VID_HEAD_COLOURS][3];

// The fields of a row.
inline int32_t Vid_ParticleColourOf(const int32_t *row) { return row[3] & 0xFF; }
inline int32_t Vid_ParticleRectOf(const int32_t *row) { return (row[3] >> 8) & 0xFF; }
inline int32_t Vid_HeadRectOf(const int32_t *row) { return (row[3] >> 16) & 0xFF; }
inline int32_t Vid_HeadColourOf(const int32_t *row) { return (row[3] >> 24) & 0xFF; }
