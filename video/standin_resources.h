// Stand-ins for the resource pages' calls that the chase types make, until the resource pages are
// built (same declarations as theirs). Weak, so the real definitions win at link time; remove
// this file when they are in.
#pragma once

#include <cstdint>

// Resource kinds the chase types load.
constexpr int32_t RES_LAYOUT_KIND = 4;
constexpr int32_t RES_PARTICLE_KIND = 6;

void *Vid_LoadResource(int32_t kind, const uint16_t *path, int32_t depth, int32_t *outId);
void Vid_AddResRef(int32_t id);
int32_t Vid_ReleaseResRef(int32_t id);
int32_t Vid_GetResSaveNumber(int32_t id);
int32_t Vid_GetResIndexPath(int32_t id, uint16_t *outPath, int32_t *outDepth);
