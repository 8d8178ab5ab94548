// The Tunnel chase: a profile swept along a closed path, built ring by ring ahead of a camera that
// flies along the path. One tunnel shows at a time; its state is the one render context.
// Main thread only.
#pragma once

#include <cstdint>

#include "core/fixmath.h"

struct CHASEDEF;
struct MESH;
struct POINTLIST;
struct VIDOBJECT;

constexpr int32_t TUNNEL_RINGS = 34;
constexpr int32_t TUNNEL_POINTS = 16;
constexpr int32_t TUNNEL_REACH = 14336;
constexpr int32_t TUNNEL_RING_STEP = 1024;
constexpr int32_t TUNNEL_WINDOW = 34816;

struct TUNNELPARAMS
{
    const POINTLIST *path;
    const POINTLIST *profile;
    int32_t reach;
    int32_t speed; // path units (4.12 segments) a frame; below 0 travels backwards
    int32_t twist;
    int32_t sixth;
    uint8_t colours[4][4]; // r, g, b, 255 = off
    uint32_t flags;        // bit 0 path changed since the last frame, bit 1 transparent
};

struct TUNNELCONTEXT
{
    int16_t positions[TUNNEL_RINGS * TUNNEL_POINTS][4];
    int16_t offsets[TUNNEL_RINGS * TUNNEL_POINTS][4]; // from the ring centre, normalised
    uint64_t validRings;                              // bit r: ring r is built
    uint32_t ringTexture[TUNNEL_RINGS][2];
    uint8_t ringColour[TUNNEL_RINGS][8];
    COORD camera; // the tunnel's camera rig
    VIDOBJECT *object;
    const POINTLIST *profile;
    const POINTLIST *path;
    int32_t reach;
    const uint8_t (*colours)[4];
    int32_t speed;
    int32_t twist;
    int32_t transparent;
    int32_t position; // camera position on the path
    int32_t previous;
    int32_t nextRing; // where the next ring goes
    int32_t buildDirection;
    int32_t ringIndex; // slot the next ring takes
    int32_t lastRing;  // newest ring, -1 none
    int32_t twistAngle;
    int32_t step; // this frame's travel
    COORD node;   // the tunnel's own coordinates (identity)
    MESH *mesh;   // 544 vertices
    uint32_t frame; // g_iFrameCount of the last render
    int32_t lastPathId;
    int32_t ringsBuilt; // by the last advance
};

extern TUNNELCONTEXT g_TunnelContext;
extern CHASEDEF g_TunnelChaseDef;

// Clears the context and starts the flight over (start-up and video reset).
void Vid_ResetTunnel();
// Frees the tunnel's mesh (shutdown).
void Vid_FreeTunnel();
// Draws the tunnel held by slot (the frame render calls it for slots with the tunnel flag).
void Vid_DrawTunnel(VIDOBJECT *slot, int32_t depthShift);
// The frame of the path at position s looking d along it, twisted by roll: the rotation's z axis
// points along the path, the translation is the path's point at s. -1 for a path without points.
int32_t Vid_TunnelFrame(const POINTLIST *path, int32_t s, int32_t d, int32_t roll, FIXMATRIX *out);
// One frame of travel and ring building (the render runs it once a frame).
void Vid_AdvanceTunnel();
