#include "video/engine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/calllog.h"
#include "app/timers.h"
#include "core/event.h"
#include "core/idpool.h"
#include "core/padbind.h"
#include "render/texpages.h"
#include "sequencer/playback.h"
#include "video/chase.h"
#include "video/chasetypes.h"
#include "video/clips.h"
#include "video/interp.h"
#include "video/laneobject.h"
#include "video/lanes.h"
#include "video/render.h"
#include "video/resloaders.h"
#include "video/triggers.h"
#include "video/vidobject.h"

uint8_t g_ucFullScreenVideo = 0;
COORD g_aCameraView[VID_CAMERAS];
COORD g_AuxCameraCoord;
uint8_t g_bCamerasLive = 0;
MOVIESLOT g_aMovieSlots[VID_MOVIE_SLOTS];
uint8_t g_bMovieFrameUploaded = 0;
void (*g_pfnMovieBufferFree)(uint32_t buffer) = nullptr;
std::atomic<int32_t> g_iBeatEventCount{0};

// Tables the chase types read, filled as their types register.
int32_t g_aRotationAxes[72][2];
int32_t g_aiRotationSpin[32];
int32_t g_aiCameraRoll[16];
int16_t g_aLightPositions[27][3];

namespace {

IDPOOL *g_pAnimExtraPool = nullptr;
uint8_t *g_pAnimDefTable = nullptr;
// One entry of 10 bytes for every resource page the page pool can hold.
constexpr size_t kAnimDefEntries = 256 * 128;

const int16_t *EventWords(uintptr_t arg)
{
    return reinterpret_cast<const int16_t *>(arg);
}

FIXMATRIX Identity()
{
    FIXMATRIX m{};
    m.m[0][0] = m.m[1][1] = m.m[2][2] = 4096;
    return m;
}

void MakeCameras()
{
    const FIXMATRIX id = Identity();
    for (COORD &v : g_aCameraView)
        Sys_CoordInit(&v, nullptr, &id, 0);
    FIXMATRIX main = id;
    // The node stores the camera's place negated.
    main.t[0] = 0;
    main.t[1] = 400;
    main.t[2] = 2048;
    Sys_CoordInit(&g_CameraCoord, &g_aCameraView[0], &main, 0);
    FIXMATRIX aux = id;
    aux.t[2] = -300;
    Sys_CoordInit(&g_AuxCameraCoord, &g_aCameraView[1], &aux, 0);
    g_bCamerasLive = 1;
}

void FillTypeTables()
{
    for (int32_t a = 0; a < 72; a++) {
        g_aRotationAxes[a][0] = 1024 - (a % 9) * 512;
        g_aRotationAxes[a][1] = (a / 9) * 512;
    }
    for (int32_t v = 0; v < 32; v++)
        g_aiRotationSpin[v] = v * 160 / 32;
    for (int32_t v = 0; v < 16; v++)
        g_aiCameraRoll[v] = v * 4096 / 16;
    for (int32_t i = 0; i < 27; i++) {
        const int32_t p[3] = {(i % 3 - 1) * 4096, (i / 3 % 3 - 1) * 4096, (i / 9 - 1) * 4096};
        // The middle point has no direction and stays 0.
        if (p[0] || p[1] || p[2])
            Sys_FxNormaliseToShort(p, g_aLightPositions[i]);
        else
            g_aLightPositions[i][0] = g_aLightPositions[i][1] = g_aLightPositions[i][2] = 0;
    }
}

void ReadChasePalette()
{
    // Without the file the built-in colours stay.
    if (uint8_t *p = Gfx_ReadTexturePalette("BOOT\\PALETTE.PAL", 128)) {
        std::memcpy(g_aChasePalette, p, sizeof(g_aChasePalette));
        std::free(p);
    }
}

void FreeMovieBuffer(MOVIESLOT &s)
{
    if (s.uBuffer && g_pfnMovieBufferFree)
        g_pfnMovieBufferFree(s.uBuffer);
    s.uBuffer = 0;
}

struct HANDLER
{
    uint32_t id;
    EVENTFN fn;
};
const HANDLER kSequencerHandlers[] = {
    {0x30000, Vid_OnStepEvent}, {0x30001, Vid_OnBeatEvent}, {0x30003, Vid_OnBarEvent},
    {0x30002, Vid_OnNoteEvent}, {0x10002, Vid_PadTriggers},
};
const HANDLER kMovieHandlers[] = {{0x10000, Vid_OnMovieFrames}, {0x10001, Vid_OnMovieDone}};

void RemoveHandlers()
{
    for (const HANDLER &h : kSequencerHandlers)
        while (Sys_EventRemoveHandler(h.id, h.fn) == EVENT_OK) {
        }
    for (const HANDLER &h : kMovieHandlers)
        while (Sys_EventRemoveHandler(h.id, h.fn) == EVENT_OK) {
        }
}

} // namespace

void Vid_EarlyInit()
{
    Sys_CallLog("Vid_EarlyInit");
    std::free(g_pAnimDefTable);
    g_pAnimDefTable = static_cast<uint8_t *>(std::calloc(kAnimDefEntries, 10));
    Sys_PoolDestroy(g_pAnimExtraPool);
    g_pAnimExtraPool = Sys_PoolCreate(6, 8, 16, 0, "ANIMEXTRA", nullptr);
}

int32_t Vid_InitChaseEngine()
{
    Sys_CallLog("Vid_InitChaseEngine");
    Vid_InstallResLoaders();
    // A pool that cannot be made leaves the engine down with a message, never a null pool that
    // the first chase would trip on.
    if (Vid_InitChasePools() != 0) {
        std::fprintf(stderr, "Video: out of memory for the chase pools; the video is off.\n");
        Vid_FreeChasePools();
        return -1;
    }
    g_iClipHighestId = -1;
    g_iClipNameCounter = 1;
    g_uVideoRenderFlags &= ~1u;
    MakeCameras();
    Vid_ResetRenderState();
    RemoveHandlers(); // a second start-up must not register the handlers twice
    for (const HANDLER &h : kSequencerHandlers)
        Sys_EventAddHandler(h.id, h.fn);
    Vid_InitLanes();
    if (Vid_InitClipPools() != 0) {
        std::fprintf(stderr, "Video: out of memory for the clip pools; the video is off.\n");
        Vid_FreeClipPools();
        Vid_FreeChasePools();
        RemoveHandlers();
        return -1;
    }
    for (const HANDLER &h : kMovieHandlers)
        Sys_EventAddHandler(h.id, h.fn);
    Vid_ClearTriggers();
    g_iBeatEventCount = 0;
    Vid_RegisterChaseTypes();
    // Render slots start empty: nothing (a fade, an effect) carries over from an earlier run.
    const FIXMATRIX id = Identity();
    for (VIDOBJECT &slot : g_aLaneSlots) {
        slot = {};
        Sys_CoordInit(&slot.coord, nullptr, &id, 0);
    }
    Vid_InitLaneCoords();
    FillTypeTables();
    ReadChasePalette();
    for (int32_t i = 0; i < 4; i++)
        Vid_FreeLaneObject(i);
    for (MOVIESLOT &s : g_aMovieSlots)
        s = {};
    Vid_ClearClipGridRecords();
    return 0;
}

void Vid_FreeCameraRig()
{
    Sys_CallLog("Vid_FreeCameraRig");
    g_bCamerasLive = 0;
}

void Vid_ShutdownChaseEngine()
{
    Sys_CallLog("Vid_ShutdownChaseEngine");
    RemoveHandlers();
    // Every chase goes with its keys and resources, so nothing is left behind.
    if (g_pVidClipPool || g_pChasePool)
        Vid_FreeVideoCore();
    Sys_PoolDestroy(g_pAnimExtraPool);
    g_pAnimExtraPool = nullptr;
    std::free(g_pAnimDefTable);
    g_pAnimDefTable = nullptr;
}

void Vid_ToggleFullScreenVideo()
{
    g_ucFullScreenVideo = g_ucFullScreenVideo ? 0 : 1;
}

void Vid_BindFullScreenKey()
{
    Sys_PadBind(4, 9, Vid_ToggleFullScreenVideo, 8192);
}

void Vid_UnbindFullScreenKey()
{
    Vid_FreeClipGrid(0);
    Vid_FreeClipGrid(1);
    Sys_PadBind(4, 9, nullptr, 8192);
}

void Vid_EnterVideoOverlay()
{
    Vid_BindFullScreenKey();
}

void Vid_LeaveVideoOverlay()
{
    Vid_UnbindFullScreenKey();
}

void Vid_SetScreenCentre(int32_t, int32_t)
{
}

void Vid_OnStepEvent(uintptr_t arg)
{
    if (const int16_t *w = EventWords(arg)) {
        Vid_SetTrigger(1, 2, w[1]);
        Vid_SetTrigger(2, 2, 255);
    }
}

void Vid_OnBeatEvent(uintptr_t arg)
{
    if (const int16_t *w = EventWords(arg)) {
        Vid_SetTrigger(1, 3, w[1]);
        Vid_SetTrigger(2, 3, 255);
        g_iBeatEventCount.fetch_add(1, std::memory_order_relaxed);
    }
}

void Vid_OnNoteEvent(uintptr_t arg)
{
    const int16_t *w = EventWords(arg);
    // Columns reach 98 on this platform; an index outside the banks is dropped by the bank.
    if (!w || w[0] < 0)
        return;
    Vid_SetTrigger(0, w[0] + 2, w[1]);
    Vid_SetTrigger(3, w[0] + 2, 255);
}

void Vid_OnBarEvent(uintptr_t arg)
{
    const int16_t *w = EventWords(arg);
    if (!w)
        return;
    Vid_SetTrigger(1, 4, w[1]);
    Vid_SetTrigger(2, 4, 255);
    if (w[1] == 0)
        return;
    if (g_bSongPlaying) {
        g_iVideoPosition.store(static_cast<int32_t>(g_uSongRow.load()));
    } else if (g_iRecordRunning.load() == 1) {
        const int32_t p = g_iVideoPosition.load();
        g_iVideoPosition.store(p >= 63 ? 0 : p + 1);
        g_bLanesChanged = 1;
    }
}

void Vid_OnMovieFrames(uintptr_t)
{
    uint32_t newest = 0;
    bool any = false;
    for (const MOVIESLOT &s : g_aMovieSlots)
        if (s.uState == MOVIESLOT_READY && s.uKind == 1 && (!any || s.uStamp > newest)) {
            newest = s.uStamp;
            any = true;
        }
    for (MOVIESLOT &s : g_aMovieSlots) {
        if (s.uState != MOVIESLOT_READY)
            continue;
        if ((s.uKind == 1 && any && s.uStamp == newest) || s.uKind == 2) {
            // Texture memory is the device's own here: the upload is bookkeeping.
            g_bMovieFrameUploaded = 1;
            s.uState = MOVIESLOT_UPLOADED;
        } else {
            FreeMovieBuffer(s);
            s.uState = MOVIESLOT_DONE;
        }
    }
}

void Vid_OnMovieDone(uintptr_t)
{
    for (MOVIESLOT &s : g_aMovieSlots)
        if (s.uState == MOVIESLOT_UPLOADED) {
            FreeMovieBuffer(s);
            s.uState = MOVIESLOT_DONE;
        }
}

COORD *Vid_CameraNode(int32_t camera)
{
    if (!g_bCamerasLive)
        return nullptr;
    return camera == 0 ? &g_CameraCoord : camera == 1 ? &g_AuxCameraCoord : nullptr;
}
