// Lane particle objects: the render objects of particle clips. Up to four exist at a time (one a
// lane-object index), each an emitter of sprites in up to 8 parts. The lanes create and free them
// as the number of particle clips playing at one position changes.
#pragma once

#include <cstdint>

#include "core/fixmath.h"

struct TEXTURE;
struct VIDOBJECT;

constexpr int32_t LANEOBJ_PARTS = 8;
constexpr int32_t LANEOBJ_PARTICLES = 200;
constexpr uint32_t LANEOBJ_COLOUR_CODE = 0x2E; // semi-transparent textured sprite
constexpr uint32_t LANEOBJ_DRAWABLE = 0x80;

struct PARTICLE
{
    int16_t pos[3];
    int16_t spare0;
    int16_t vel[3];
    int16_t spare1[4];
    int16_t life;
    uint8_t rgb[3]; // sprite colour, halved each frame near the end of its life
    uint8_t pad;
};

struct LANEOBJECTPART
{
    int32_t count;
    PARTICLE *particles;
    int32_t emitter[4];
    uint8_t headRgb[3];
};

struct LANEOBJECT
{
    PARTICLE *particles;
    LANEOBJECTPART *parts;
    uint8_t *lifeTable;     // 256 entries: 1 + random mod life range
    int8_t *velocityTable;  // 256 entries: random mod (2 spread) - spread
    uint8_t colour[4];      // r, g, b, code
    int32_t partCount;
    int32_t spread;
    int32_t lifeRange;
    int32_t total;
    COORD coord; // scale 1/16
    int16_t spriteRect[4]; // u, v, w, h of the particle sprite (texture units of 128 a side)
    int16_t headRect[4];
    int32_t particleTexture; // resource ids the setters compare against
    int32_t headTexture;
    TEXTURE *textureRecord; // the particle texture, bound for drawing
    TEXTURE *headTextureRecord;
    uint32_t flags;
    VIDOBJECT *slot; // set by the frame render each frame
};

extern LANEOBJECT *g_apLaneObjects[4];

// (Re)creates object index 0..3 with 8 parts and 200 particles. 1, or 0 when memory is out.
int32_t Vid_CreateLaneObject(int32_t index);
void Vid_FreeLaneObject(int32_t index);

void Vid_SetLaneObjectLife(LANEOBJECT *object, int32_t range);
void Vid_SetLaneObjectSpread(LANEOBJECT *object, int32_t spread);
void Vid_SetLaneObjectColour(LANEOBJECT *object, int32_t r, int32_t g, int32_t b);
// The particle sprite's texture (resource id and its device texture); the object becomes drawable.
// Nothing changes when the id is the one it has.
void Vid_SetLaneObjectTexture(LANEOBJECT *object, int32_t id, TEXTURE *image);
void Vid_SetLaneObjectHeadTexture(LANEOBJECT *object, int32_t id, TEXTURE *image);
void Vid_SplitLaneObject(LANEOBJECT *object, int32_t parts, int32_t bothBuffers);

// Respawns every particle whose life ran out, from its part's emitter.
void Vid_SpawnParticles(LANEOBJECT *object);
// One frame of motion: spawn, move, age (colour halves while life is below 4).
void Vid_StepParticles(LANEOBJECT *object);
// Steps the particles, then draws each as an additive world-space square (half-size 960) and
// each part's head sprite at its emitter (half-size 1440), in the current world transform, with
// the particle texture bound. The console's ordering table and depth shift have no use here:
// the squares go straight to the 3-D device. 0 or the device's error.
int32_t Vid_DrawParticles(LANEOBJECT *object, void *orderingTable, int32_t depthShift);
