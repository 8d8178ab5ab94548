// Chases: keyed video effects. A chase type (CHASEDEF) names its channels and ten methods; a chase
// (CHASE) holds keys of channel values on a time axis of 256 steps and moves its time cursor each
// frame from the music's triggers.
//
// Key values are kept bit-packed at each channel's width, as songs store them: 16-bit channels
// read back sign-extended (resource "none" is -1), narrower ones zero-extended, width 0 as 0.
// Main thread only, except the trigger banks (video/triggers.h).
#pragma once

#include <cstddef>
#include <cstdint>

struct CHASE;
struct VIDOBJECT;
struct VIDCLIP;
struct IDPOOL;

constexpr int32_t VID_MAX_CHANNELS = 16;
constexpr int32_t VID_KEY_TIMES = 256;
// The saved key count is one byte, so a chase keeps at most 255 keys.
constexpr int32_t VID_MAX_KEYS = 255;

// CHASEDEF.uKind
enum
{
    CHASEKIND_PLAIN = 1,
    CHASEKIND_MOD = 2,
    CHASEKIND_CAM = 4,
    CHASEKIND_DVE = 8,
};

// Pool bits of a registered type code; the low 13 bits are the index in the pool.
enum
{
    CHASETYPE_MOD = 0x8000,
    CHASETYPE_CAM = 0x4000,
    CHASETYPE_DVE = 0x2000,
    CHASETYPE_INDEX = 0x1FFF,
};

// Key states of Vid_GetChaseKey (1-3) and Vid_SetChaseKey (4-6).
enum
{
    KEYSTATE_AT = 1,      // a key exactly at the time holds the channel
    KEYSTATE_LAST = 2,    // no later key holds it
    KEYSTATE_LATER = 3,   // a later key holds it
    KEYSTATE_SET = 4,     // store this value
    KEYSTATE_KEEP = 5,    // leave the channel alone
    KEYSTATE_REMOVE = 6,  // remove the channel from the key at this time
};

// CHASE.uFlags
enum
{
    CHASEFLAG_ANIMATE = 1,
    CHASEFLAG_NOTSAVED = 2,
};

struct CHASECHANNEL
{
    int16_t sDefault;
    int16_t sMin;
    int16_t sMax;
    uint8_t ucBits; // width in packed key data, 0..16
    uint8_t ucKind; // 1 list, 2 number, 3, 4, 7 text, 8 hidden
    int16_t *pValueCell;
    char *pszNames; // 128-byte name buffer of list and text channels
};

typedef int32_t (*CHASEREADFN)(CHASE *chase, int32_t time, int32_t *values, int32_t max);
typedef int32_t (*CHASEAPPLYFN)(CHASE *chase, int32_t time, int32_t *values, uint8_t *states);
typedef void (*CHASEINTERPFN)(CHASE *chase, const int32_t *prev, const int32_t *next, const int16_t *fractions);
typedef void (*CHASERELEASEFN)(CHASE *chase, const int32_t *values, uint32_t mask);
typedef void (*CHASERENDERFN)(CHASE *chase, VIDOBJECT *object);
typedef void (*CHASEMARKFN)(int32_t value, int32_t channel, uint32_t *bitmap);
typedef int32_t (*CHASEPACKFN)(int32_t value, int32_t channel);
typedef int32_t (*CHASEREMAPFN)(CHASE *chase, int32_t *values, const void *loadMap);
typedef int32_t (*CHASEMIXFN)(CHASE *chase, VIDCLIP *source, int32_t entry);
typedef void (*CHASEPREVIEWFN)(CHASE *chase, const int32_t *values);

struct CHASEDEF
{
    uint16_t uStoredId; // 1..20, as songs name the type
    uint16_t uLabel;    // label numbers read by the chase editor screens
    uint16_t uLabel2;
    uint16_t uKind; // CHASEKIND_*
    int16_t sParamBytes;
    int16_t sParamBytesCopy;
    uint16_t uReserved;
    int16_t sChannelCount;
    const CHASECHANNEL *pChannels;
    void *pState;
    uint32_t uReserved2;
    CHASEREADFN read;
    CHASEAPPLYFN apply;
    CHASEINTERPFN interpolate;
    CHASERELEASEFN release;
    CHASERENDERFN render;
    CHASEMARKFN mark;
    CHASEPACKFN pack;
    CHASEREMAPFN remap;
    CHASEMIXFN mix;
    CHASEPREVIEWFN preview;
    uint32_t uCode; // the registered type code
};

struct CHASEKEY
{
    CHASEKEY *pNext;
    CHASEKEY *pPrev;
    uint16_t uMask; // bit n: the key holds channel n
    int16_t sTime;  // 0..255
    uint32_t uBytes; // packed value bytes that follow the node
    // packed values follow
};

struct CHASE
{
    uint16_t uType; // pool-coded
    uint16_t uKeyCount;
    CHASEKEY *pKeys;
    const CHASEDEF *pDef;
    uint16_t uSerial;
    uint16_t uSaveIndex;
    uint32_t uRefCount;
    uint32_t uInterpFrame; // g_iFrameCount when interpolate last ran
    uint8_t ucTrigA; // trigger sources as saved
    uint8_t ucTrigB;
    uint8_t ucMode; // 0 follow, 1 step through keys, 2 flash, 3 sweep per block
    uint8_t ucCursor;
    uint8_t ucTarget;
    uint8_t ucDuration; // move duration in frames
    uint16_t uSlope;    // 8.8 time steps a frame, modulo 2^16
    uint16_t uAccum;    // 8.8; the cursor is its high byte
    uint16_t uFramesLeft;
    uint32_t uTrigStamp; // stamp of the last trigger taken
    uint8_t ucOption;
    uint8_t ucWorkTrigA; // trigger sources in use
    uint8_t ucWorkTrigB;
    uint32_t uFlags; // CHASEFLAG_*
    uint32_t uSpare;
    uint8_t *pParams; // sParamBytes, zeroed at creation
    // Type-owned buffer (the layout entries of the Particle and Shape types); freed with the chase.
    void *pExtra;
    uint32_t uExtraBytes;
};

extern IDPOOL *g_pChasePool;
extern IDPOOL *g_apChaseDefPools[4]; // plain, modifier, camera, screen effect
extern int32_t g_aiChaseDefHighest[4]; // entries of each definition pool
extern int32_t g_iChaseHighestId;
extern uint16_t g_iChaseSerial;

// Lane block length and offset of the clip being played, published by Vid_PlayClip for the sweep
// mode.
extern uint16_t g_uPlayBlockLength;
extern uint16_t g_uPlayBlockOffset;

// Creates the "CHASE" pool and the four definition pools (freeing old ones), resets the counters.
// 0, or -1 when a pool cannot be made.
int Vid_InitChasePools();
// Frees every chase with its keys, then the pools.
void Vid_FreeChasePools();

int32_t Vid_RegisterChaseDef(CHASEDEF *def);
const CHASEDEF *Vid_GetChaseDef(int32_t type);
int32_t Vid_FindChaseType(int32_t storedId);
// The last "Invalid Chase type" text composed by Vid_GetChaseDef (for diagnostics).
const char *Vid_LastChaseTypeError();

CHASE *Vid_NewChase(int32_t type);
CHASE *Vid_GetChase(int32_t id);
int32_t Vid_ChaseId(const CHASE *chase);
int32_t Vid_SetChaseDefaultKey(CHASE *chase);
int32_t Vid_CompleteDefaultKey(CHASE *chase);
CHASE *Vid_CopyChase(CHASE *chase);

CHASE *Vid_AddChaseRef(CHASE *chase);
void Vid_ReleaseChase(CHASE *chase);
void Vid_AddChaseRefs(CHASE *chase, int32_t n);
void Vid_FreeChase(CHASE *chase);

CHASEKEY *Vid_FindKeyNode(const CHASE *chase, int32_t time);
// Values of key node channel (must be in its mask), width rule applied.
int32_t Vid_KeyValue(const CHASE *chase, const CHASEKEY *key, int32_t channel);

int32_t Vid_GetChaseKey(CHASE *chase, int32_t time, int32_t *values, uint8_t *states, const CHASECHANNEL **channels,
                        int32_t max);
int32_t Vid_SetChaseKey(CHASE *chase, int32_t time, int32_t *values, uint8_t *states);
int32_t Vid_GetChaseKeyCount(const CHASE *chase);
int32_t Vid_GetChaseKeyTime(const CHASE *chase, int32_t n);
void Vid_PreviewChaseAt(CHASE *chase, int32_t time);
void Vid_SetChaseLevel(CHASE *chase, int32_t level);

void Vid_UpdateChaseTime(CHASE *chase);
void Vid_EvaluateChase(CHASE *chase);
void Vid_RenderChase(CHASE *chase, VIDOBJECT *object);

// A value as a channel of that width holds it (the width rule above).
int32_t Vid_FitChannelValue(int32_t value, uint32_t bits);
