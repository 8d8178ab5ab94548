// Vertex-group animation: before an animated slot is drawn, each vertex group of its animation is
// set between the frames on both sides of the current time, written into the model's vertices and
// the mesh refreshed. An animation is evaluated at most once per displayed frame.
#pragma once

#include <cstdint>

struct ANIMRES;
struct ANIMFRAME;
struct VIDOBJECT;

// One animation time shared by every animated object; the slot draw passes it in and keeps the
// answer.
extern int32_t g_iAnimTime;

// The new time; objects without an animation (or evaluated already this frame) return time.
int32_t Vid_AnimateObject(VIDOBJECT *object, int32_t time);

void Vid_FindFromFrames(ANIMRES *anim, int32_t t);
void Vid_FindToFrames(ANIMRES *anim, int32_t t);
void Vid_ComputeFactors(ANIMRES *anim, int32_t t);
void Vid_ApplyAnimation(VIDOBJECT *object, ANIMRES *anim);
// count items of {i16 x, y, z, vertex}; vertexCount bounds the indices (others are skipped).
void Vid_CopyGroup(const uint8_t *items, int32_t count, uint8_t *vertices, uint32_t vertexCount);
void Vid_BlendGroup(const uint8_t *fromItems, const uint8_t *toItems, int32_t factor, int32_t count,
                    uint8_t *vertices, uint32_t vertexCount);
