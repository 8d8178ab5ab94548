// The Shape chase (stored id 1): copies of an archive model at the points of a layout, optionally
// animated, scaled.
#pragma once

#include <cstdint>

struct CHASEDEF;
struct CHASECHANNEL;
struct VIDOBJECT;

struct SHAPEPARAMS
{
    VIDOBJECT *pModel;
    uint16_t uCopies;
    uint16_t uCapacity;  // copies the position buffer holds
    int32_t iAnimSpeed;  // Anim speed x 12, blended
    int32_t *pPositions; // x, y, z, spare per copy; the chase's own buffer
    void *pAnim;
    int32_t iScale;      // 4096 = 1.0
};

extern const int32_t g_aiShapeScale[8];
extern CHASEDEF g_ShapeChaseDef;
extern CHASECHANNEL g_aShapeChannels[7];
extern char g_szShapeFamily[128];
extern char g_szShapeName[128];
// Direction of the view line the copies' distances are measured from (4.12).
extern const int32_t g_aiShapeViewLine[3];
