// The chase editor's globals (triggers, level, effect flags), the range screen that makes or
// resizes a clip, playing the clip, full-screen video and the drawing of the editor window.
#include "editors/chaseeditor.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "render/gpustate.h"
#include "app/devices.h"
#include "core/disc.h"
#include "editors/clippalette.h"
#include "editors/topbar.h"
#include "render/display.h"
#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "ui/gridcells.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/padslot.h"
#include "ui/popup.h"
#include "ui/videopreview.h"
#include "ui/widgets.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/lanes.h"
#include "video/render.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

extern int32_t g_iChaseEditLane;
extern int32_t g_iChaseEditColumn;

namespace {

const int16_t kMusicImages[] = {461, 520};
const int16_t kPadImages[] = {461, 519, 718, 312, 460, 659};
const int16_t kModeImages[] = {465, 466, 464, 463};
uint8_t s_ucSavedPosition = 0;
int32_t s_iShownEntries = -1;
struct PENDINGRUN
{
    VIDCLIP *clip;
    int32_t lane, start, length;
};
PENDINGRUN s_tPendingRun{};
int32_t s_iStepWait = 0;
int32_t s_iPadButtonsSeen = 0;

CHASESLIDER &Slider(int n)
{
    return g_atChaseSliders[std::clamp(n, 0, 2)];
}

bool FlagsRefused(const CHASE *chase)
{
    const int32_t id = chase && chase->pDef ? chase->pDef->uStoredId : 0;
    return id == 17 || id == 20;
}

int16_t CurrentScreen()
{
    return g_pPageMenuPopup ? g_sPageMenuSavedScreen : int16_t(g_iScreen);
}

} // namespace

CHASESLIDER g_atChaseSliders[3] = {
    {kMusicImages, 99, 1, 0},
    {kPadImages, 17, 1, 0},
    {kModeImages, 4, 1, 0},
};
uint8_t g_ucChaseSlider = 0;
int32_t g_iGridCursorColumn = 0;
int16_t g_sChaseTriggerLevel = 1;
uint8_t g_ucChaseEffectFlags = 0;
uint8_t g_ucChaseFlagBit = 0;
int16_t g_sChaseSettingsScreen = 44;
int16_t g_sChaseSettingsReturn = 36;
uint8_t g_ucVideoWindowed = 1;
int16_t g_asSavedViewRect[4] = {0, 0, 640, 480};
int16_t g_asChaseViewRect[4] = {219, 27, 120, 90};

// ---- Globals ----

void Ed_WriteChaseSettings()
{
    CHASE *chase = g_pEditChase;
    if (!chase)
        return;
    chase->ucTrigA = chase->ucWorkTrigA = Slider(0).ucPosition;
    chase->ucTrigB = chase->ucWorkTrigB = Slider(1).ucPosition;
    chase->ucMode = uint8_t(std::min<int>(Slider(2).ucPosition, 3));
    const int32_t scale = std::clamp<int32_t>(g_sChaseTriggerLevel, 1, 51) * 255 / 51;
    chase->ucDuration = uint8_t(scale ? scale : 1);
    chase->ucOption = uint8_t(g_ucChaseEffectFlags & 15);
}

void Ed_LoadChaseSettings()
{
    const CHASE *chase = g_pEditChase;
    if (!chase)
        return;
    Ed_UpdatePadTriggerRange();
    Slider(0).ucPosition = uint8_t(std::min<int>(chase->ucTrigA, Slider(0).ucPositions - 1));
    Slider(1).ucPosition = uint8_t(std::min<int>(chase->ucTrigB, Slider(1).ucPositions - 1));
    Slider(2).ucPosition = uint8_t(std::min<int>(chase->ucMode, 3));
    g_sChaseTriggerLevel = int16_t(std::clamp(chase->ucDuration * 51 / 255, 1, 51));
    g_ucChaseEffectFlags = uint8_t(chase->ucOption & 15);
}

void Ed_UpdatePadTriggerRange()
{
    const int32_t buttons = g_bPadStep == 16 ? 16 : 12;
    CHASESLIDER &s = Slider(1);
    s.ucPositions = uint8_t(buttons + 1);
    // A controller with fewer buttons leaves no position past its last one.
    if (s.ucPosition >= s.ucPositions)
        s.ucPosition = uint8_t(s.ucPositions - 1);
}

void Ed_ChaseEditGlobals()
{
    Ed_StopClipPlay();
    if (!g_pEditChase) {
        Ui_PlayRefusal();
        return;
    }
    g_sChaseSettingsReturn = CurrentScreen();
    g_iNextScreen = g_sChaseSettingsScreen;
    g_iChaseEditPage = 2;
}

void Ed_ChaseSliderUp()
{
    if (g_ucChaseSlider > 0) {
        const uint8_t arrow = Slider(g_ucChaseSlider).ucArrow;
        g_ucChaseSlider--;
        Slider(g_ucChaseSlider).ucArrow = arrow;
    }
    Seq_PlayInterfaceSound(2);
}

void Ed_ChaseSliderDown()
{
    if (g_ucChaseSlider < 2) {
        const uint8_t arrow = Slider(g_ucChaseSlider).ucArrow;
        g_ucChaseSlider++;
        Slider(g_ucChaseSlider).ucArrow = arrow;
    }
    Seq_PlayInterfaceSound(2);
}

void Ed_ChaseSliderLeft()
{
    Slider(g_ucChaseSlider).ucArrow = 0;
    Seq_PlayInterfaceSound(2);
}

void Ed_ChaseSliderRight()
{
    CHASESLIDER &s = Slider(g_ucChaseSlider);
    if (s.ucArrow == 1)
        g_iNextScreen = 45;
    s.ucArrow = 1;
    Seq_PlayInterfaceSound(2);
}

void Ed_ChaseSliderStep()
{
    if (s_iStepWait > 0) {
        s_iStepWait--;
        return;
    }
    CHASESLIDER &s = Slider(g_ucChaseSlider);
    if (s.ucArrow == 0 && s.ucPosition > 0)
        s.ucPosition--;
    else if (s.ucArrow == 1 && s.ucPosition + 1 < s.ucPositions)
        s.ucPosition++;
    Ed_WriteChaseSettings();
    s_iStepWait = 5;
}

void Ed_ChaseSliderBack()
{
    g_sChaseSettingsScreen = int16_t(g_iScreen);
    g_iNextScreen = g_sChaseSettingsReturn;
    g_iChaseEditPage = g_sChaseSettingsReturn == 35 ? 0 : 1;
    s_iStepWait = 0;
    Seq_PlayInterfaceSound(4);
}

void Ed_ChaseColourUp()
{
    g_sChaseTriggerLevel = int16_t(std::max(1, g_sChaseTriggerLevel - 2));
    Ed_WriteChaseSettings();
}

void Ed_ChaseColourDown()
{
    g_sChaseTriggerLevel = int16_t(std::min(51, g_sChaseTriggerLevel + 2));
    Ed_WriteChaseSettings();
}

void Ed_ChaseColourLeft()
{
    g_iNextScreen = 44;
    Seq_PlayInterfaceSound(2);
}

void Ed_ChaseColourRight()
{
    if (FlagsRefused(g_pEditChase)) {
        Ui_PlayRefusal();
        return;
    }
    g_iNextScreen = 53;
    Seq_PlayInterfaceSound(2);
}

void Ed_ChasePaletteUp()
{
    if (g_ucChaseFlagBit > 0)
        g_ucChaseFlagBit--;
    Seq_PlayInterfaceSound(2);
}

void Ed_ChasePaletteDown()
{
    if (g_ucChaseFlagBit < 3)
        g_ucChaseFlagBit++;
    Seq_PlayInterfaceSound(2);
}

void Ed_ChasePaletteLeft()
{
    g_iNextScreen = 45;
    Seq_PlayInterfaceSound(2);
}

void Ed_ChasePaletteAccept()
{
    if (!(g_ucChaseEditFlags & CHASEEDIT_EFFECT) || FlagsRefused(g_pEditChase)) {
        Ui_PlayRefusal();
        return;
    }
    g_ucChaseEffectFlags ^= uint8_t(1u << (g_ucChaseFlagBit & 3));
    Ed_WriteChaseSettings();
    Seq_PlayInterfaceSound(1);
}

// ---- The range screen: a new clip, or a resize ----

void Ed_StartNewClipRange()
{
    Sys_CallLog("Ed_StartNewClipRange");
    if (g_ucGridKind != 1 || !g_pGridView) {
        Ui_PlayRefusal();
        return;
    }
    const int32_t column = Ui_GridCursorColumn(), row = Ui_GridCursorRow();
    Ui_SaveGridView();
    g_asGridMark[0] = g_asGridMark[2] = int16_t(column);
    g_asGridMark[1] = g_asGridMark[3] = int16_t(row);
    g_ucGridMarkRepaint = 2;
    g_ucGridMarkStyle = 3;
    g_ucChaseEditFlags |= CHASEEDIT_NEWCLIP;
    g_iNextScreen = 46;
}

void Ed_ResizeClip()
{
    Sys_CallLog("Ed_ResizeClip");
    if (g_ucGridKind != 1 || !g_pGridView) {
        Ui_PlayRefusal();
        return;
    }
    const int32_t row = Ui_GridCursorRow(), column = Ui_GridCursorColumn();
    const int32_t group = Ui_FindRowGroup(row);
    const int32_t lane = group >= 4 ? row - g_aucGridRowGroupFirst[4] + 4 : group;
    if (group < 0 || lane < 0 || lane >= VID_LANE_COUNT) {
        Ui_PlayRefusal();
        return;
    }
    VIDLANEBLOCK *block = Vid_FindLaneBlock(&g_aVideoLanes[lane], column);
    if (!block || !block->pClip || block->uStart == VID_LANE_END) {
        Ui_PlayRefusal();
        return;
    }
    g_iChaseEditLane = lane;
    g_ucChaseEditFlags = uint8_t(lane == 4 ? CHASEEDIT_CAMERA : lane == 5 ? CHASEEDIT_EFFECT : CHASEEDIT_OBJECT);
    const int32_t start = block->uStart;
    const int32_t last = start + (block->uLength & LANEBLOCK_LENGTH) - 1;
    Ui_SaveGridView();
    g_asGridMark[0] = int16_t(start);
    g_asGridMark[1] = g_asGridMark[3] = int16_t(row);
    g_asGridMark[2] = int16_t(last);
    g_ucGridMarkRepaint = 2;
    g_ucGridMarkStyle = 3;
    // The cursor goes to the block's last position, three cells inside the right edge.
    const int32_t visible = std::max(1, g_pGridView->ringColumns - 2);
    int32_t first = g_pGridView->firstColumn + 1;
    if (last > first + visible - 4)
        first = std::max(0, std::min<int32_t>(start, last - visible + 4));
    if (first != g_pGridView->firstColumn + 1)
        Ui_SetGridOrigin(first, -1);
    g_sGridCursorX = int16_t(last - (g_pGridView->firstColumn + 1));
    g_iNextScreen = 46;
}

namespace {

int32_t MarkLane()
{
    const int32_t row = g_asGridMark[1];
    const int32_t group = Ui_FindRowGroup(row);
    return group >= 4 ? row - g_aucGridRowGroupFirst[4] + 4 : group;
}

void StepRange(int32_t d)
{
    const int32_t lane = MarkLane();
    if (lane < 0 || lane >= VID_LANE_COUNT)
        return;
    const int32_t start = g_asGridMark[0], end = g_asGridMark[2];
    const int32_t length = end - start + 1;
    // The block's own positions count as free when resizing.
    int32_t gap = Vid_GetLaneGapAt(lane, start);
    if (!(g_ucChaseEditFlags & CHASEEDIT_NEWCLIP)) {
        VIDLANEBLOCK *block = Vid_FindLaneBlock(&g_aVideoLanes[lane], start);
        if (block && block->pClip && block->uStart == start) {
            VIDLANEBLOCK *next = block->pNext;
            gap = next ? int32_t(next->uStart) - start : VID_POSITIONS - start;
        }
    }
    if (length + d > gap || length + d <= 0 || end + d + 1 > std::max<int32_t>(g_uSongRowCount, 1))
        return;
    g_asGridMark[2] = int16_t(end + d);
    g_ucGridMarkRepaint = 2;
    if (g_pGridView) {
        const int32_t visible = std::max(1, g_pGridView->ringColumns - 2);
        int32_t x = g_sGridCursorX + d;
        if (x < 0 || x >= visible) {
            Ui_SetGridOrigin(std::max(0, end + d - (x < 0 ? 0 : visible - 1)), -1);
            x = end + d - (g_pGridView->firstColumn + 1);
        }
        g_sGridCursorX = int16_t(x);
    }
}

} // namespace

void Ed_ChaseLengthDown()
{
    StepRange(-1);
}

void Ed_ChaseLengthUp()
{
    StepRange(+1);
}

void Ed_ChaseLengthAccept()
{
    const int32_t lane = MarkLane();
    const int32_t start = g_asGridMark[0], length = g_asGridMark[2] - g_asGridMark[0] + 1;
    if (lane < 0 || lane >= VID_LANE_COUNT || length <= 0) {
        Ui_PlayRefusal();
        return;
    }
    if (!(g_ucChaseEditFlags & CHASEEDIT_NEWCLIP)) {
        if (Vid_ResizeLaneBlock(lane, start, length) != LANE_DONE)
            Ui_PlayRefusal();
        Vid_GetVideoEnd();
        g_ucChaseEditFlags = 0;
        Ui_ReturnToEditorMenu();
        Ui_RebuildRowGroups();
        Ed_UpdateMemoryUsage();
        return;
    }
    VIDCLIP *clip = Vid_NewClip();
    if (!clip) {
        // No clip record: nothing is laid, and the grid goes on.
        g_ucChaseEditFlags = 0;
        Ui_ReturnToEditorMenu();
        Sys_ShowOutOfMemoryBox(nullptr);
        return;
    }
    Ed_MakeClipName(clip);
    Vid_AddClipRefs(clip, 2);
    clip->uOffset |= CLIPOFFSET_MENUHELD;
    // A clip without chases is not taken by the lanes yet: its run is laid once it has its first.
    const int32_t laid = Vid_PlaceClipRun(lane, start, length, clip);
    s_tPendingRun = {};
    if (laid == LANE_REFUSED && clip->sEntryCount == 0)
        s_tPendingRun = {clip, lane, start, length};
    else if (laid != LANE_DONE) {
        Vid_ReleaseClip(clip);
        Vid_ReleaseClip(clip);
        g_ucChaseEditFlags = 0;
        Ui_ReturnToEditorMenu();
        Ui_PlayRefusal();
        return;
    }
    Vid_GetVideoEnd();
    g_iChaseEditLane = lane;
    g_iChaseEditColumn = start;
    // The editor takes one reference of its own; the creation's two go with the placement's.
    g_ucChaseEditFlags &= uint8_t(~CHASEEDIT_NEWCLIP);
    g_ucChaseEditFlags |= uint8_t(lane == 4 ? CHASEEDIT_CAMERA : lane == 5 ? CHASEEDIT_EFFECT : CHASEEDIT_OBJECT);
    Ed_OpenChaseEditorOnClip(clip);
    Vid_ReleaseClip(clip);
    Vid_ReleaseClip(clip);
}

void Ed_PlacePendingRun()
{
    PENDINGRUN run = s_tPendingRun;
    if (!run.clip || run.clip != g_pPreviewClip || run.clip->sEntryCount == 0)
        return;
    s_tPendingRun = {};
    if (Vid_PlaceClipRun(run.lane, run.start, run.length, run.clip) != LANE_DONE)
        Ui_PlayRefusal();
    Vid_GetVideoEnd();
}

void Ed_ForgetPendingRun()
{
    s_tPendingRun = {};
}

void Ed_ChaseLengthBack()
{
    g_ucChaseEditFlags = 0;
    Ui_CancelRangeMark();
}

// ---- Playing the clip ----

void Ed_StopClipPlay()
{
    if (!(g_ucChaseEditFlags & CHASEEDIT_PLAYING))
        return;
    g_ucChaseEditFlags &= uint8_t(~CHASEEDIT_PLAYING);
    if (g_pEditChase)
        Vid_SetChaseLevel(g_pEditChase, s_ucSavedPosition);
    g_ucChaseLevel = s_ucSavedPosition;
    if (g_pPreviewClip)
        Vid_ClearClipChaseFlag(g_pPreviewClip);
    Seq_PauseSong();
}

void Ed_PlayClip()
{
    if (g_ucChaseEditFlags & CHASEEDIT_PLAYING) {
        Ed_StopClipPlay();
        return;
    }
    if (!g_pEditChase || !g_pPreviewClip) {
        Ui_PlayFromCursor();
        return;
    }
    s_ucSavedPosition = g_ucChaseLevel;
    Vid_SetClipChaseFlag(g_pPreviewClip);
    g_ucChaseEditFlags |= CHASEEDIT_PLAYING;
    Seq_StopCueing();
    Seq_PlaySongFrom(uint32_t(std::max(0, g_iChaseEditColumn)));
}

void Ed_ClipEditPlay()
{
    Sys_CallLog("Ed_ClipEditPlay");
    if (g_pChaseEditWindow)
        Ed_PlayClip();
    else
        Ui_PlayFromCursor();
}

// ---- Full-screen video ----

void Ed_VideoToFullScreen()
{
    Sys_CallLog("Ed_VideoToFullScreen");
    if (g_iNextScreen != -1 && !g_pPageMenuPopup)
        return;
    g_sReturnScreen = CurrentScreen();
    if (g_pPageMenuPopup)
        Ui_ClosePageMenu();
    Ed_ToggleFullScreenVideo();
    if (g_pPreviewClip && g_pChaseEditWindow)
        Vid_SetClipChaseFlag(g_pPreviewClip);
    g_iNextScreen = 43;
}

void Ed_ToggleFullScreenVideo()
{
    Sys_CallLog("Ed_ToggleFullScreenVideo");
    if (!g_ucFullScreenVideo) {
        g_ucFullScreenVideo = 1;
        std::copy(g_asChaseViewRect, g_asChaseViewRect + 4, g_asSavedViewRect);
        g_ucVideoWindowed = 0;
        Sys_SetDisplayResolution(1);
        Ui_OpenFullScreenVideo();
        return;
    }
    Sys_SetDisplayResolution(0);
    g_ucFullScreenVideo = 0;
    std::copy(g_asSavedViewRect, g_asSavedViewRect + 4, g_asChaseViewRect);
    Vid_SetViewport(g_asSavedViewRect);
    if (g_pGridWindow && g_iScreen != 54)
        Ui_ShowGridView();
    Ui_CloseFullScreenVideo();
    g_ucVideoWindowed = 1;
    if (g_iScreen == 43 || g_iNextScreen == 43)
        g_iNextScreen = g_sReturnScreen;
}

void Ed_ClipEditLeave()
{
    Sys_CallLog("Ed_ClipEditLeave");
    if (!g_ucFullScreenVideo) {
        g_iNextScreen = g_sReturnScreen;
        return;
    }
    if (g_ucGridKind == 4) {
        Ed_ToggleFullScreenVideo();
        if (g_pPreviewClip)
            Vid_ClearClipChaseFlag(g_pPreviewClip);
        g_iNextScreen = g_sReturnScreen;
        return;
    }
    Ed_ToggleFullScreenVideo();
    Ui_ReturnToEditorMenu();
}

// ---- Drawing ----

void Ed_DrawVideoPreview()
{
    // The editor's clip is shown in place of the lanes' own while preview is on.
    if (g_bClipPreview && g_pPreviewClip) {
        // A clip newly shown, or one whose chain changed, takes its lane at once.
        if (g_pPreviewClipShown != g_pPreviewClip || s_iShownEntries != g_pPreviewClip->sEntryCount)
            g_bLaneUpdateForce = 1;
        s_iShownEntries = g_pPreviewClip->sEntryCount;
        g_pPreviewClipShown = g_pPreviewClip;
        g_bNoPreviewClip = 0;
    }
    // The picture is the video at the playing row, else at the grid's cursor or the edited clip.
    int32_t position = g_iChaseEditColumn;
    if (g_bSongPlaying.load(std::memory_order_relaxed))
        position = int32_t(g_uSongRow.load(std::memory_order_relaxed));
    else if (g_pGridWindow && g_pGridView && !g_pChaseEditWindow)
        position = Ui_GridCursorColumn();
    position = std::clamp(position, 0, VID_POSITIONS - 1);
    g_iGridCursorColumn = position;
    Vid_SetVideoPosition(position);
    Vid_UpdateLanes();
    Vid_RenderFrame();
    // While the interface layer is copied over the display each frame, the picture goes into it.
    if (g_bGpuLayerFlush)
        Gfx_CopySurfaceRectToFrame(g_aViewRect[0], g_aViewRect[1], g_aViewRect[2], g_aViewRect[3]);
}

namespace {

void Image(int32_t n, int32_t x, int32_t y)
{
    if (const IMAGEREC *im = Gfx_GetImage(n))
        Gfx_AddImageSprite(im, x, y, 128, 128, 128);
}

void Text(const char *s, int32_t x, int32_t y)
{
    Gfx_DrawText(s, x, y, g_pOrderingTable);
}

void SliderText(const CHASESLIDER &s, int index, char *out, size_t size)
{
    const int32_t p = s.ucPosition;
    if (index == 0 && p >= 2)
        std::snprintf(out, size, "%02d", p - 1);
    else if (index == 1 && p >= 6)
        std::snprintf(out, size, "F%d", p - 5);
    else
        out[0] = 0;
}

} // namespace

void Ed_DrawChaseEditor(void *)
{
    WINDOW *w = g_pChaseEditWindow;
    if (!w)
        return;
    const CHASE *chase = g_pEditChase;
    const int32_t id = chase && chase->pDef ? chase->pDef->uStoredId : 0;
    char buf[48];
    // Drawn front to back: what is added last to the ordering entry is drawn first.
    if (chase && chase->pDef)
        Text(Ed_ChaseTypeName(chase->pDef), 123, 29);
    // The globals panel below the object list; its geometry is the one the pointer hits.
    if (chase) {
        Gfx_DrawTextCentred(Ui_Text(269), 51, 90, g_pOrderingTable);
        for (int i = 0; i < 3; i++) {
            const CHASESLIDER &s = g_atChaseSliders[i];
            const int32_t y = 100 + 19 * i;
            SliderText(s, i, buf, sizeof buf);
            if (buf[0])
                Text(buf, 32, y + 3);
            else if (s.pImages)
                Image(s.pImages[std::min<int>(s.ucPosition, i == 0 ? 1 : i == 1 ? 5 : 3)], 32, y + 1);
            Text("<", 15, y + 3);
            Text(">", 54, y + 3);
            const bool chosen = g_iScreen == 44 && g_ucChaseSlider == i;
            const uint8_t on = chosen ? 160 : 70;
            Gfx_AddTile(8, y + 1, 22, 16, s.ucArrow == 0 ? on : 50, 30, 30);
            Gfx_AddTile(50, y + 1, 16, 16, s.ucArrow == 1 ? on : 50, 30, 30);
        }
        // The trigger level: its marker runs down the column as the level grows.
        const int32_t level = std::clamp<int>(g_sChaseTriggerLevel, 1, 51);
        Gfx_AddTile(70, 100 + level - 1, 9, 3, 255, 255, 0);
        Gfx_AddTile(70, 100, 9, 52, g_iScreen == 45 ? 90 : 20, 20, 20);
        if (id != 17 && id != 20)
            for (int b = 0; b < 4; b++) {
                const int32_t y = 100 + 14 * b;
                if (g_ucChaseEffectFlags & (1u << b))
                    Image(454 + b, 82, y);
                if (g_iScreen == 53 && g_ucChaseFlagBit == b)
                    Gfx_AddTile(81, y, 16, 13, 128, 0, 0);
                else
                    Gfx_AddTile(81, y, 16, 13, 20, 20, 28);
            }
        Gfx_AddTile(6, 89, 92, 69, 24, 24, 40);
    }
    // The parameter rows. Their texts start right of the key mark (x 107, 14 pixels wide).
    constexpr int32_t kRowTextLeft = 123;
    for (int r = 0; r < 9 && chase; r++) {
        if (r >= g_ucChaseListCount)
            break;
        const CHASECHANNEL *c = g_apChaseChannels[r];
        if (!c || c->ucKind == 8)
            continue;
        const int32_t y = 48 + 12 * r;
        const bool sel = r == g_ucChaseListSel && g_iScreen == 36;
        if (c->ucKind == 1 || c->ucKind == 7) {
            const char *name = c->pszNames ? c->pszNames : "";
            if (c->ucKind == 1 && c->pszNames) {
                // List channels keep their names one after another, zero-separated.
                const char *p = c->pszNames;
                for (int32_t k = c->sMin; k < g_aiChaseValues[r] && *p; k++)
                    p += std::strlen(p) + 1;
                name = *p ? p : c->pszNames;
            }
            // Centred in the row, but never under the key mark at its left.
            const int32_t half = Gfx_GetTextWidth(name) / 2;
            Gfx_DrawTextCentred(name, std::max(102 + 53, kRowTextLeft + half), y + 1, g_pOrderingTable);
        } else {
            // Labels end at the value column; a long one starts after the key mark instead and
            // pushes its value along.
            const char *label = Ed_ChaseChannelLabel(id, r);
            const int32_t right = std::max(172, kRowTextLeft + Gfx_GetTextWidth(label));
            Gfx_DrawTextRight(label, right, y + 1, g_pOrderingTable);
            std::snprintf(buf, sizeof buf, "%d", g_aiChaseValues[r]);
            Text(buf, right + 8, y + 1);
        }
        if (g_aucChaseKeyHere[r] == KEYSTATE_AT)
            Image(667, 107, y + 2);
        const uint8_t shade = c->sMin == c->sMax ? (sel ? 63 : 45) : (sel ? 127 : 90);
        if (sel)
            Gfx_AddTile(104, y, 106, 11, 128, 0, 0);
        else
            Gfx_AddTile(104, y, 106, 11, uint8_t(shade / 4), uint8_t(shade / 4), uint8_t(shade / 3));
    }
    // The value panel: the selected row's label and value over its bar (the word of a text row).
    if (g_pChaseSelChannel && chase) {
        if (g_pChaseSelChannel->ucKind == 7) {
            Text(Ui_Text(235), 222, 132);
            Text(g_pChaseSelChannel->pszNames ? g_pChaseSelChannel->pszNames : "", 222, 146);
        } else if (g_ucChaseListSel < g_ucChaseListCount) {
            Text(Ed_ChaseChannelLabel(id, g_ucChaseListSel), 222, 132);
            std::snprintf(buf, sizeof buf, "%d", g_aiChaseValues[g_ucChaseListSel]);
            Gfx_DrawTextRight(buf, 335, 132, g_pOrderingTable);
            const int32_t knob = Ed_ChaseKnobOffset();
            if (knob >= 0)
                Gfx_AddTile(218 + knob, 145, ED_CHASE_KNOB_WIDTH, 11, 200, 200, 220);
            Text("<", 219, 146);
            Text(">", 332, 146);
            Gfx_AddTile(218 + ED_CHASE_TRACK_LEFT, 148, ED_CHASE_TRACK_WIDTH, 5, 20, 20, 30);
        }
    }
    Gfx_AddBevelBox(218, 129, 121, 27);
    // The preview frame: its caption; the picture itself shows through.
    Text(Ui_Text(268), 222, 116);
    // The timeline.
    const int32_t keys = chase ? std::min(Vid_GetChaseKeyCount(chase), 256) : 0;
    Image(643, 44 + g_ucChaseLevel, 159);
    Gfx_AddTile(44 + g_ucChaseLevel, 160, 2, 11, 255, 255, 255);
    for (int32_t k = 0; k < keys; k++)
        Gfx_AddTile(46 + g_aucChaseKeyTimes[k], 166, 2, 5, 255, 200, 0);
    static const int16_t kButtons[6][2] = {{378, 14}, {379, 30}, {386, 46}, {387, 294}, {380, 302}, {381, 318}};
    for (const auto &b : kButtons)
        Image(b[0], b[1], 159);
    if (g_iScreen == 37 || g_iScreen == 38)
        Gfx_AddTile(14 + 16 * g_ucTimelineChoice, 158, 14, 15, 128, 0, 0);
    Gfx_AddTile(13, 159, 321, 13, 30, 30, 60);
    if (g_ucChaseEditFlags & CHASEEDIT_CAMERA)
        Image(325, 8, 27);
    Gfx_AddTile(102, 26, 110, 17, 0, 96, 0);
    Gfx_AddBevelBox(102, 45, 110, 111);
    Gfx_AddBevelBox(7, 26, 89, 62);
    // The window's own ground, all but the live picture.
    const uint8_t g = 40;
    Gfx_AddTile(4, 22, 340, 5, g, g, g + 8);
    Gfx_AddTile(4, 117, 340, 58, g, g, g + 8);
    Gfx_AddTile(4, 27, 215, 90, g, g, g + 8);
    Gfx_AddTile(339, 27, 5, 90, g, g, g + 8);
    Ed_DrawVideoPreview();
}

void Ed_ChaseEditorFrame()
{
    if (!g_pChaseEditWindow)
        return;
    if (g_iScreen == 37)
        Ui_KeyRepeatTick();
    const int32_t buttons = g_bPadStep;
    if (buttons != s_iPadButtonsSeen) {
        s_iPadButtonsSeen = buttons;
        Ed_UpdatePadTriggerRange();
        Ed_ChaseRefresh();
    }
    // While the clip plays the rows follow the chase's time.
    if (g_pEditChase && (g_ucChaseEditFlags & CHASEEDIT_PLAYING) && g_pEditChase->ucCursor != g_ucChaseLevel)
        Ed_ChaseRefresh();
}
