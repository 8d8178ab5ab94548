#include "ui/videopreview.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "render/gpustate.h"
#include "core/browser.h"
#include "core/disc.h"
#include "editors/chaseeditor.h"
#include "editors/jukebox.h"
#include "editors/topbar.h"
#include "core/console_memory.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/padslot.h"
#include "ui/popup.h"
#include "ui/textfield.h"
#include "ui/view.h"
#include "ui/widgets.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/lanes.h"
#include "video/render.h"

#include <algorithm>

WINDOW *g_pClipPreviewWindow = nullptr;
WINDOW *g_pFullScreenVideoWindow = nullptr;
int32_t g_iFullScreenHold = 0;

extern int32_t g_iChaseEditLane;
extern int32_t g_iChaseEditColumn;

void Ui_OpenClipPreviewWindow(int32_t x, int32_t y)
{
    if (g_pClipPreviewWindow)
        return;
    WINDOWDESC wd{};
    wd.x = uint16_t(std::max(0, x));
    wd.y = uint16_t(std::max(0, y));
    wd.w = uint16_t(g_iVideoPanelWidth);
    wd.h = uint16_t(g_iVideoPanelHeight);
    wd.style = 1;
    wd.draw = Ui_DrawClipPreview;
    g_bSeeThroughOnce = 1;
    g_pClipPreviewWindow = Ui_OpenWindow(&wd);
    g_bSeeThroughOnce = 0;
    if (!g_pClipPreviewWindow)
        return;
    const int16_t view[4] = {int16_t(x + g_iVideoPanelX), int16_t(y + g_iVideoPanelY + 20),
                             int16_t(g_iVideoPanelWidth - 2 * g_iVideoPanelX),
                             int16_t(g_iVideoPanelHeight - 2 * g_iVideoPanelY - 20)};
    std::copy(view, view + 4, g_asChaseViewRect);
    Vid_SetViewport(view);
    TEXTFIELDDESC td{};
    td.text = Ui_Text(268);
    td.x = 6;
    td.y = 7;
    td.w = int16_t(g_iVideoPanelWidth - 13);
    td.h = 14;
    td.parent = g_pClipPreviewWindow;
    td.style = 3;
    Ui_CreateTextField(&td);
}

void Ui_CloseClipPreviewWindow()
{
    if (!g_pClipPreviewWindow)
        return;
    WINDOW *w = g_pClipPreviewWindow;
    g_pClipPreviewWindow = nullptr;
    Ui_CloseWindow(w);
}

void Ui_DrawClipPreview(void *)
{
    if (g_iScreen == 43) {
        Ui_ReturnToEditorMenu();
        return;
    }
    const int32_t x = g_iVideoPanelX, y = g_iVideoPanelY;
    const int32_t w = g_iVideoPanelWidth, h = g_iVideoPanelHeight;
    Gfx_AddInsetBox(x - 1, y + 19, w - 2 * x + 1, h - 2 * y - 19);
    // The ground of the window around the picture.
    Gfx_AddTile(4, y + 20, x - 4, h - 2 * y - 20, 40, 40, 48);
    Gfx_AddTile(w - x, y + 20, x - 4, h - 2 * y - 20, 40, 40, 48);
    Gfx_AddTile(4, h - y, w - 8, y - 4, 40, 40, 48);
    Ed_DrawVideoPreview();
}

void Ui_OpenFullScreenVideo()
{
    Sys_CallLog("Ui_OpenFullScreenVideo");
    Ui_SetMenuPage(MENU_PAGE_NONE);
    if (g_pFullScreenVideoWindow)
        return;
    WINDOWDESC wd{};
    wd.w = uint16_t(g_iScreenWidth);
    wd.h = uint16_t(g_iScreenHeight);
    wd.style = 1;
    wd.draw = Ui_FullScreenVideoTick;
    g_bSeeThroughOnce = 1;
    g_pFullScreenVideoWindow = Ui_OpenWindow(&wd);
    g_bSeeThroughOnce = 0;
    if (g_pFullScreenVideoWindow)
        g_pFullScreenVideoWindow->flags |= WINDOW_NO_FRAME | WINDOW_NO_BORDER;
    const int16_t view[4] = {0, 0, int16_t(g_iScreenWidth), int16_t(g_iScreenHeight)};
    Vid_SetViewport(view);
}

void Ui_CloseFullScreenVideo()
{
    if (!g_pFullScreenVideoWindow)
        return;
    WINDOW *w = g_pFullScreenVideoWindow;
    g_pFullScreenVideoWindow = nullptr;
    Ui_CloseWindow(w);
}

void Ui_FullScreenVideoTick(void *)
{
    g_iAttractLastActivity = g_iFrameCount.load();
    int32_t ended = 0;
    if (g_bSongPlaying.load(std::memory_order_relaxed))
        ended = Ui_FollowSongInGrid();
    if (g_iFullScreenHold > 0) {
        g_iFullScreenHold--;
        return;
    }
    if (!ended && g_pFullScreenVideoWindow)
        Ed_DrawVideoPreview();
}

int32_t Ui_FollowSongInGrid()
{
    const int32_t row = int32_t(g_uSongRow.load(std::memory_order_relaxed));
    if (g_pGridView) {
        const int32_t d = row - Ui_GridCursorColumn();
        if (d == 1)
            Ui_ClipCursorRight();
        else if (d > 1)
            Ui_SetGridOrigin(g_pGridView->firstColumn + 1 + d, -1);
    }
    const int32_t end = std::max<int32_t>(g_uSongRowCount, Vid_GetVideoEnd());
    if (row < end)
        return 0;
    Ui_StopPlayback();
    if (g_ucVideoWindowed == 0 || g_ucFullScreenVideo) {
        Ed_ToggleFullScreenVideo();
        if (g_iNextScreen == 43 || g_iScreen == 43)
            g_iNextScreen = g_sReturnScreen;
        if (g_ucGridKind == 1)
            Ui_ReturnToEditorMenu();
    }
    return 1;
}

// ---- Clip actions ----

void Ui_CloneClip()
{
    Sys_CallLog("Ui_CloneClip");
    // The clip being edited: the chase editor's, or on the video track the one at the cursor.
    VIDCLIP *clip = nullptr;
    int32_t lane = g_iChaseEditLane, column = g_iChaseEditColumn;
    if (g_pChaseEditWindow) {
        clip = g_pPreviewClip;
    } else if (g_ucGridKind == 1 && g_pGridView) {
        const int32_t row = Ui_GridCursorRow();
        const int32_t group = Ui_FindRowGroup(row);
        lane = group >= 4 ? row - g_aucGridRowGroupFirst[4] + 4 : group;
        column = Ui_GridCursorColumn();
        clip = group >= 0 && lane >= 0 && lane < VID_LANE_COUNT ? Vid_GetLaneClipAt(lane, column) : nullptr;
    }
    if (!clip) {
        Ui_PlayRefusal();
        return;
    }
    Vid_FreeClipGrid(0);
    Vid_FreeClipGrid(1);
    // The preview keeps its reference until the copy exists: a failed copy leaves it as it was.
    VIDCLIP *copy = Vid_CopySharedClip(clip);
    if (!copy) {
        Sys_ShowOutOfMemoryBox([](uint8_t) { Ui_ReturnToEditorMenu(); });
        return;
    }
    if (copy == clip) {
        Ui_PlayRefusal();
        return;
    }
    Vid_AddClipRef(copy);
    if (g_pPreviewClip == clip) {
        g_pPreviewClip = Vid_AddClipRef(copy);
        Vid_ReleaseClip(clip);
    }
    const int32_t result = Vid_PlaceClipAt(lane, column, copy);
    if (result == LANE_NORECORD)
        Sys_ShowOutOfMemoryBox(nullptr);
    else if (result != LANE_DONE)
        Ui_PlayRefusal();
    Vid_ReleaseClip(copy);
    Ui_GridChangedHook(1);
    if (g_pChaseEditWindow)
        Ed_ChaseRefresh();
    if (g_pGridView)
        Ui_RebuildRowGroups();
}

void Ui_UndoLaneEdit()
{
    Sys_CallLog("Ui_UndoLaneEdit");
    const int32_t result = Vid_SwapLaneUndo();
    if (result == LANE_NOTHING)
        Ui_PlayRefusal();
    else if (result == LANE_NORECORD)
        Sys_ShowOutOfMemoryBox(nullptr);
    Vid_GetVideoEnd();
    if (g_pGridView)
        Ui_RebuildRowGroups();
}

void Ui_ClipCursorLeft()
{
    if (g_pEditChase || !g_pGridView)
        return;
    if (g_sGridCursorX > 0)
        g_sGridCursorX--;
    else if (g_pGridView->firstColumn >= 0)
        Ui_SetGridOrigin(g_pGridView->firstColumn, -1);
}

void Ui_ClipCursorRight()
{
    if (g_pEditChase || !g_pGridView)
        return;
    const int32_t visible = std::max(1, g_pGridView->ringColumns - 2);
    if (g_sGridCursorX < visible - 1) {
        g_sGridCursorX++;
    } else if (g_pGridView->firstColumn + g_pGridView->ringColumns - 1 < g_pGridView->columnCount) {
        const int16_t x = g_sGridCursorX;
        Ui_SetGridOrigin(g_pGridView->firstColumn + 2, -1);
        g_sGridCursorX = x;
    }
}

void Ui_InstallVideoPreviewItems()
{
    Ui_SetMenuItemHandler(116, Ui_CloneClip);
    Ui_SetMenuItemHandler(141, Ui_UndoLaneEdit);
}
