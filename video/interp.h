// Keyframe blending shared by the chase types, the per-lane transform nodes that modifier chases
// push, the frame's global speed factor (the Speed chase) and the per-frame reset of the lane
// render objects.
#pragma once

#include <cstdint>

#include "core/fixmath.h"

struct CHASEDEF;
struct VIDOBJECT;

constexpr int32_t VID_LANES = 7;
constexpr int32_t VID_NODE_LANES = 4; // lanes with transform nodes
constexpr int32_t VID_NODES_PER_LANE = 16;

// Transform node kinds
enum
{
    VIDNODE_OBJECT = 1,
    VIDNODE_PATH = 2,
    VIDNODE_GROUP = 3,
};

struct VIDNODE
{
    COORD coord;
    int32_t kind;
};

// The render objects the lanes' chases fill each frame (lane 0..6).
extern VIDOBJECT g_aLaneSlots[VID_LANES];

extern uint8_t g_aChasePalette[128][4]; // r, g, b, spare
extern uint8_t (*g_pChasePalette)[4];
extern int32_t g_iChaseSpeedFactor;
extern uint8_t g_bChaseSpeedFactorSet;

// Per-frame state that Vid_BeginChaseFrame resets.
extern VIDNODE g_aObjectNodes[VID_NODE_LANES][VID_NODES_PER_LANE];
extern VIDNODE g_aGroupNodes[VID_NODE_LANES][VID_NODES_PER_LANE];
extern int32_t g_aiObjectNodeUse[VID_NODE_LANES];
extern int32_t g_aiGroupNodeUse[VID_NODE_LANES];
extern COORD *g_apLaneTopNode[VID_NODE_LANES];   // top of each lane's transform chain
extern COORD *g_apLaneGroupNode[VID_NODE_LANES]; // the lane's group node, null = none
extern uint8_t g_bMovieFetched;
extern int32_t g_iLaneObjectCounter;
extern uint32_t g_uVideoRenderFlags; // bit 4: camera placed
extern int32_t g_iTextWidest;
extern int32_t g_iProjectionDistance;
extern int32_t g_iVideoViewWidth;
extern COORD g_CameraCoord; // translation cleared each frame

// w = 0 gives a and never reads b (the last key may have no successor).
int32_t Vid_Blend(int32_t a, int32_t b, int32_t w);
// Difference form: a + ((b - a) w >> 12).
int32_t Vid_BlendDiff(int32_t a, int32_t b, int32_t w);
// The Scale chase's form: a x 512 + ((b - a) w >> 3).
int32_t Vid_BlendScale(int32_t a, int32_t b, int32_t w);
// Angles of 4096 a turn, the short way round; result 0..4095.
int32_t Vid_BlendAngle(int32_t a, int32_t b, int32_t w);

// How a colour channel's stored value picks a palette entry.
enum
{
    CHASECOLOUR_DIRECT = 0,   // entry c (Colour, Lighting, Palette)
    CHASECOLOUR_MINUS1 = 1,   // entry c - 1 (number and rotation effect)
    CHASECOLOUR_OFFSTATE = 2, // entry c - 1, 0 = off (Tunnel, Tiles)
};
// Blends the two keys' palette colours byte by byte: out r, g, b and the off byte (255 off, else 0).
void Vid_BlendChaseColour(int32_t a, int32_t b, int32_t w, int32_t mode, uint8_t out[4]);

// A moving value's step this frame: step x g_ucFrameTick, scaled by the speed factor when a
// Speed chase set it.
int32_t Vid_MovingStep(int32_t step);

// Pushes a transform node on lane's chain (a group node first when grouped). Null, pushing
// nothing, for lanes without nodes or when the lane's 16 nodes are used.
COORD *Vid_PushTransformNode(int32_t lane, int32_t kind, int32_t grouped);

// Identity coordinate systems of the lane objects and nodes (run once at start-up).
void Vid_InitLaneCoords();
void Vid_BeginChaseFrame();

// The Speed chase type (stored id 20).
extern CHASEDEF g_SpeedChaseDef;
