// The chase types that move along an archive path (a point list, open or closed): Path (stored
// id 5) carries the lane's object along it; Camera (6) flies the main camera along it, aimed
// ahead or at another lane's object. Also the tunnel's three-node camera rig and the small node
// operations the frame render uses on camera nodes.
#pragma once

#include <cstdint>

struct CHASEDEF;
struct CHASECHANNEL;
struct COORD;

constexpr int32_t VID_PATH_STARTED = 61883; // the block has taken its first step

struct PATHPARAMS
{
    int32_t iPos;   // 4.12: segment, fraction
    int32_t iScale; // 4096 = 1.0
    int32_t iStep;
    int32_t iStarted;
    const void *pPath;
    const int32_t *piLine; // the path's points << 6 as the path line takes them (kept per lane here)
    int32_t aiPoint[3];
    int32_t iSegment;
    int32_t iNext;
    int32_t iFraction;
};

struct CAMERAPARAMS
{
    int32_t iPos;
    int32_t iScale; // dolly
    int32_t iStep;
    uint16_t uStarted; // VID_PATH_STARTED does not fit a signed 16-bit field
    int16_t sRoll;
    uint8_t ucFlags; // bit 0 Direction, bit 1 Moving
    int8_t cFace;    // -1..4
    int16_t sFov;
    uint8_t ucSegment;
    uint8_t ucNext;
    uint16_t uFraction;
    const void *pPath;
    int32_t aiEye[3];   // p, scaled
    int32_t aiAhead[3]; // q, scaled
    int16_t asAngles[3]; // pitch, heading, roll as last placed
    int32_t iNext;       // next point, unwrapped (-1 and n stand for the wrapped ends)
    int32_t iSegment;
};

extern const int32_t g_aiChaseSpeed[17];
extern const int32_t g_aiPathScale[16];
extern const int32_t g_aiCameraFov[8];

extern CHASEDEF g_PathChaseDef;
extern CHASEDEF g_CameraChaseDef;
extern CHASECHANNEL g_aPathChannels[6];
extern CHASECHANNEL g_aCameraChannels[9];
extern char g_szPathFamily[128];
extern char g_szCameraFamily[128];

// The node of the path line shown over the video while its Path chase is being edited (the line
// itself is the frame render's g_pPathPreview).
extern COORD *g_pPathPreviewNode;

// Fills the camera roll table (the engine start-up fills it too; the types' tests run without it).
void Vid_InitCameraTables();
// Frees the path lines (engine shutdown).
void Vid_FreePathMeshes();

// The tunnel's camera rig: base (Y negated) <- middle <- camera at (0, 0, 512), one block. The
// camera node, or null when out of memory. Free it with Vid_DestroyCameraRig.
COORD *Vid_NewCameraRig();
void Vid_DestroyCameraRig(COORD *camera);
COORD *Vid_CameraRigMiddle(COORD *camera);
COORD *Vid_CameraRigBase(COORD *camera);

// Node operations: translation = -v; translation -= v; rotation = the negated angles (identity
// rotated about X, Y and Z in turn).
void Vid_SetNodeTranslation(COORD *node, const int32_t v[3]);
void Vid_SubNodeTranslation(COORD *node, const int32_t v[3]);
void Vid_SetNodeRotation(COORD *node, const int16_t angles[3]);
