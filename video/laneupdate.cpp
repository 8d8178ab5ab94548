// The per-frame lane step and the view set-up.
#include <algorithm>

#include "app/timers.h"
#include "editors/chaseeditor.h"
#include "core/random.h"
#include "render/gpustate.h"
#include "ui/gridsetup.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/interp.h"
#include "video/lanes.h"
#include "video/render.h"
#include "video/triggers.h"

int32_t g_iShownPosition = -1;
int32_t g_bLaneUpdateForce = 0;
int32_t g_bVideoEmpty = 1;
uint8_t g_bNoPreviewClip = 0;
VIDCLIP *g_pPreviewClipShown = nullptr;
int32_t g_iChaseLevelShown = 0;

VIDCLIP *Vid_GetPreviewClip()
{
    VIDCLIP *clip = g_pLoadedClip;
    if (!clip) {
        g_bNoPreviewClip = 1;
        return nullptr;
    }
    clip->uFlags |= CLIPFLAG_UNLISTED;
    if (g_pPreviewClip != clip) {
        Vid_AddClipRef(clip);
        VIDCLIP *old = g_pPreviewClip;
        g_pPreviewClip = clip;
        Vid_ReleaseClip(old);
    }
    g_pPreviewClipShown = clip;
    return clip;
}

void Vid_UpdateLanes()
{
    g_bVideoEmpty = 1;
    if (g_pGridWindow) {
        Vid_SetVideoPosition(std::clamp(g_iGridCursorColumn, 0, VID_POSITIONS - 1));
        g_pPathPreview = nullptr;
    }
    Vid_BeginChaseFrame();

    uint32_t keep = 0;
    int32_t previewLane = -1;
    bool fallback = false;
    VIDCLIP *preview = nullptr;
    if (g_bClipPreview && !g_bNoPreviewClip) {
        if (!g_pPreviewClipShown)
            Vid_GetPreviewClip();
        preview = g_pPreviewClip;
        const CHASE *first = preview && preview->pFirst ? preview->pFirst->pChase : nullptr;
        const uint32_t kind = first && first->pDef ? first->pDef->uKind : 0;
        if (kind == CHASEKIND_PLAIN) {
            keep = 0x70;
            previewLane = 0;
        } else if (kind == CHASEKIND_CAM) {
            // No lane-0 fallback for a camera: played on two lanes in one frame it would move
            // the camera twice (landing at twice its offset) and run its time at double speed.
            keep = 0x6F;
            previewLane = 4;
        } else if (kind == CHASEKIND_DVE) {
            keep = 0x5F;
            previewLane = 5;
            fallback = true;
        } else {
            preview = nullptr;
        }
    }

    if ((Sys_Rand() & 255) > 127) {
        Vid_SetTrigger(1, 5, Sys_Rand() & 255);
        Vid_SetTrigger(2, 5, 255);
    }
    g_iChaseLevelShown = g_ucChaseLevel;

    // The lane update mode is the lanes' position request: 1 position requested, 2 stop.
    const int32_t mode = g_iLaneUpdateMode;
    if (mode == 1) {
        const int32_t position = g_iVideoPosition.load();
        if (position != g_iShownPosition || g_bLaneUpdateForce) {
            g_bLaneUpdateForce = 0;
            VIDCLIP *found[VID_LANE_COUNT] = {};
            for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++) {
                found[lane] = Vid_GetLaneClipAt(lane, position);
                if (found[lane])
                    g_bVideoEmpty = 0;
            }
            Vid_AssignChaseChannels(found, position);
            bool plain = false;
            for (int32_t lane = 0, bit = 1; lane < VID_LANE_COUNT; lane++, bit <<= 1) {
                VIDCLIP *play = nullptr;
                if (preview && !(keep & bit)) {
                    play = lane == previewLane ? preview : nullptr;
                } else if (!(g_uiLaneMuteMask & bit) && found[lane]) {
                    if (!(found[lane]->uFlags & 0x7FFF) && position != g_iShownPosition)
                        Vid_TouchClipChases(found[lane]);
                    play = found[lane];
                }
                Vid_SetLanePlayingClip(play, lane);
                if (lane < 4 && play)
                    plain = true;
                if (lane == 3 && fallback && !plain && preview)
                    Vid_SetLanePlayingClip(preview, 0);
            }
            g_iShownPosition = position;
        }
        Vid_PlayLanes(g_ucFrameTick.load() / 2);
    } else if (mode == 2) {
        g_iShownPosition = -1;
        g_bLaneUpdateForce = 0;
        Vid_ClearLanePlayingClips();
    }
}

void Vid_SetProjection(const int16_t rect[4], int32_t distance)
{
    // The device's projection is fixed here; the centre and distance change nothing.
    Vid_SetScreenCentre(rect[0] + rect[2] / 2, rect[1] + rect[3] / 2);
    (void)distance;
}

void Vid_SetViewport(const int16_t rect[4])
{
    const int64_t w = rect[2], h = rect[3];
    const int64_t sw = g_iScreenWidth > 0 ? g_iScreenWidth : 640, sh = g_iScreenHeight > 0 ? g_iScreenHeight : 480;
    // An empty view keeps the scale it had rather than dividing by zero.
    if (w > 0 && h >= 0) {
        const int64_t screen = sh * 4096 / sw;
        const int64_t v = screen ? -(((h * 4096 / w) << 12) / screen) : -4096;
        const int16_t v16 = static_cast<int16_t>(v);
        for (COORD &c : g_aCameraView)
            c.local.m[1][1] = v16;
    }
    g_iViewRedrawCount = 3;
    Vid_SetProjection(rect, rect[2] / 2);
    for (int32_t i = 0; i < 4; i++)
        g_aViewRect[i] = rect[i];
}
