// The built-in chase types: their registration in start-up order, the resource calls their key
// methods make, and the Particle type's key methods.
#pragma once

#include <cstdint>

struct CHASE;
struct CHASEDEF;

// The resource pages' calls as the chase types make them; tests put fakes in their place.
struct VIDRESCALLS
{
    void *(*load)(int32_t kind, const uint16_t *path, int32_t depth, int32_t *outId);
    void (*addRef)(int32_t id);
    int32_t (*releaseRef)(int32_t id);
    int32_t (*saveNumber)(int32_t id);
    int32_t (*indexPath)(int32_t id, uint16_t *outPath, int32_t *outDepth);
};
extern VIDRESCALLS g_VidRes;

// What a song load hands to the types' remap: its table of new resource ids by save number
// (0xFFFF = not loaded) and the song's format version.
struct VIDLOADMAP
{
    const uint16_t *pResIds;
    uint32_t uResCount;
    uint32_t uVersion;
};

// Stored ids in registration order; stored id 12 (Movie) is never registered.
constexpr int32_t VID_CHASE_TYPE_COUNT = 19;
extern const uint16_t g_auChaseStoredIds[VID_CHASE_TYPE_COUNT];
extern CHASEDEF *g_apChaseDefs[VID_CHASE_TYPE_COUNT];

// Registers every built-in type in start-up order, writing each code into its descriptor. Returns
// the number registered.
int32_t Vid_RegisterChaseTypes();

// The whole core of the engine for start-up and shutdown: pools, lanes, types, lane coordinates.
int32_t Vid_InitVideoCore();
void Vid_FreeVideoCore();

// Particle type (stored id 9) key methods.
extern CHASEDEF g_ParticleChaseDef;
int32_t Vid_LaneObjectDefaults(CHASE *chase, int32_t time, int32_t *values, int32_t max);
int32_t Vid_LaneObjectApplyKey(CHASE *chase, int32_t time, int32_t *values, uint8_t *states);
void Vid_LaneObjectRelease(CHASE *chase, const int32_t *values, uint32_t which);
void Vid_LaneObjectMarkRes(int32_t id, int32_t kind, uint32_t *mask);
int32_t Vid_LaneObjectSaveNumber(int32_t id, int32_t kind);
int32_t Vid_LaneObjectUnpack(CHASE *chase, int32_t *values, const void *loadMap);
