#include "editors/clippalette.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "render/gpustate.h"
#include "editors/chaseeditor.h"
#include "editors/topbar.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/msgbox.h"
#include "ui/padslot.h"
#include "ui/popup.h"
#include "ui/popupkinds.h"
#include "ui/textentry.h"
#include "ui/view.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/lanes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

int32_t g_iSongMemoryBytes = 0;
int32_t g_iVideoMemoryBytes = 0;
VIDCLIP *g_pPreviousPreviewClip = nullptr;
VIDCLIP *g_pFoundClip = nullptr;
int32_t g_iFoundPosition = 0;

namespace {

char s_szName[13];
VIDCLIP *s_pNamedClip = nullptr;
VIDCLIP *s_pAskedClip = nullptr;
char s_szReport[96];

POPUP *Palette()
{
    for (POPUP &p : g_atPopups)
        if (!p.free && p.window && p.kind == POPUP_CLIP_PALETTE && p.list)
            return &p;
    return nullptr;
}

void BackToPalette(uint8_t = 0)
{
    if (POPUP *p = Palette()) {
        g_pCurrentPopup = p;
        Ui_SetFocus(p->window);
        g_iNextScreen = 9;
    }
}

const char *TypeName(const VIDCLIP *clip)
{
    const CHASE *head = Vid_GetClipEntryChase(clip, 1);
    return head && head->pDef ? Ed_ChaseTypeName(head->pDef) : "";
}

int32_t LaneRow(int32_t lane)
{
    return lane < 4 ? g_aucGridRowGroupFirst[lane] : g_aucGridRowGroupFirst[4] + (lane - 4);
}

// Moves the video grid's cursor onto a cell, scrolling the view when the cell is outside it.
void MoveGridCursor(int32_t column, int32_t row)
{
    if (!g_pGridView)
        return;
    const int32_t columns = std::max(1, g_pGridView->ringColumns - 2);
    const int32_t rows = std::max(1, g_pGridView->ringRows - 2);
    int32_t x = column - (g_pGridView->firstColumn + 1);
    int32_t y = row - (g_pGridView->firstRow + 1);
    if (x < 0 || x >= columns) {
        Ui_SetGridOrigin(column, -1);
        x = 0;
    }
    if (y < 0 || y >= rows) {
        Ui_SetGridOrigin(-1, row);
        y = 0;
    }
    g_sGridCursorX = int16_t(x);
    g_sGridCursorY = int16_t(y);
}

void DeleteNow(VIDCLIP *clip)
{
    if (g_pPreviousPreviewClip == clip)
        g_pPreviousPreviewClip = nullptr;
    if (g_pFoundClip == clip)
        g_pFoundClip = nullptr;
    Vid_AddClipRef(clip);
    Vid_RemoveClipFromLanes(clip);
    Vid_DeleteClip(clip);
    if (g_pGridView)
        Ui_RebuildRowGroups();
    Ed_RefreshClipList();
    Ed_UpdateMemoryUsage();
}

void DeleteAnswered(uint8_t button)
{
    VIDCLIP *clip = s_pAskedClip;
    s_pAskedClip = nullptr;
    if (button == 1 && clip && Vid_ClipId(clip) >= 0 && Vid_GetClip(Vid_ClipId(clip)) == clip)
        DeleteNow(clip);
    BackToPalette();
}

void PurgeReported(uint8_t)
{
    Ed_RefreshClipList();
    BackToPalette();
}

void PurgeAnswered(uint8_t button)
{
    if (button != 1) {
        BackToPalette();
        return;
    }
    // The previous preview's hold is let go first, so it does not keep an unused clip.
    if (g_pPreviousPreviewClip) {
        Vid_ReleaseClip(g_pPreviousPreviewClip);
        g_pPreviousPreviewClip = nullptr;
    }
    g_pFoundClip = nullptr;
    const int32_t n = Vid_PurgeUnusedClips();
    if (n == 0)
        std::snprintf(s_szReport, sizeof s_szReport, "%s", Ui_Text(409));
    else if (n == 1)
        std::snprintf(s_szReport, sizeof s_szReport, "%s %s", Ui_Text(278), Ui_Text(408));
    else
        std::snprintf(s_szReport, sizeof s_szReport, "%s %d %s", Ui_Text(278), n, Ui_Text(410));
    Ed_UpdateMemoryUsage();
    MSGBOXREQUEST req{};
    req.ucIcon = 3;
    req.pszText = s_szReport;
    req.ucButtonCount = 1;
    req.asButtonText[0] = 114;
    req.ucFlags = MSGBOX_COPY_TEXT;
    req.pfnAnswer = PurgeReported;
    if (!Ui_OpenMessageBox(&req))
        PurgeReported(0);
}

void OpenNameEntry();

void DuplicateAnswered(uint8_t)
{
    OpenNameEntry();
}

void NameAccepted()
{
    VIDCLIP *clip = s_pNamedClip;
    if (clip && Vid_ClipId(clip) >= 0 && Vid_GetClip(Vid_ClipId(clip)) == clip &&
        std::strncmp(clip->szName, s_szName, sizeof clip->szName) != 0) {
        if (Vid_ClipNameExists(s_szName, 12)) {
            MSGBOXREQUEST req{};
            req.pszText = Ui_Text(540);
            req.ucButtonCount = 1;
            req.asButtonText[0] = 114;
            req.pfnAnswer = DuplicateAnswered;
            if (Ui_OpenMessageBox(&req))
                return;
        } else {
            // The name stays a terminated 12-byte field, as songs store it.
            std::memset(clip->szName, 0, sizeof clip->szName);
            std::memcpy(clip->szName, s_szName, strnlen(s_szName, sizeof clip->szName - 1));
        }
    }
    s_pNamedClip = nullptr;
    Ed_RefreshClipList();
    BackToPalette();
}

void NameCancelled()
{
    s_pNamedClip = nullptr;
    Ed_RefreshClipList();
    BackToPalette();
}

void OpenNameEntry()
{
    TEXTENTRYREQUEST req{};
    req.x = 100;
    req.y = 90;
    req.maxLength = 12;
    req.titleText = 407;
    req.text = s_szName;
    req.accept = NameAccepted;
    req.cancel = NameCancelled;
    if (!Ui_OpenTextEntry(&req)) {
        Ui_PlayRefusal();
        BackToPalette();
    }
}

} // namespace

VIDCLIP *Ed_SelectedPaletteClip()
{
    POPUP *p = Palette();
    if (!p || p->list->selected >= p->list->totalRows)
        return nullptr;
    return Vid_GetListedClip(p->list->selected);
}

void Ed_PasteClip()
{
    Sys_CallLog("Ed_PasteClip");
    VIDCLIP *clip = Ed_SelectedPaletteClip();
    if (!clip || !g_pGridView || g_ucGridKind != 1) {
        Ui_PlayRefusal();
        return;
    }
    const int32_t row = Ui_GridCursorRow(), column = Ui_GridCursorColumn();
    const int32_t group = Ui_FindRowGroup(row);
    const int32_t lane = group >= 4 ? row - g_aucGridRowGroupFirst[4] + 4 : group;
    if (group < 0 || lane < 0 || lane >= VID_LANE_COUNT || column < 0) {
        Ui_PlayRefusal();
        return;
    }
    if (g_pPreviewClip != clip) {
        Vid_AddClipRef(clip);
        if (g_pPreviewClip)
            Vid_ReleaseClip(g_pPreviewClip);
        g_pPreviewClip = clip;
    }
    // The placement can be taken back with the lane undo.
    if (Vid_FillClipGrid(0, column, lane, 1, 1) == 0)
        g_iClipGridCurrent = 0;
    const int32_t result = Vid_PlaceClipAt(lane, column, clip);
    if (POPUP *p = Palette()) {
        g_pCurrentPopup = p;
        Ui_ClosePopup();
    }
    if (result != LANE_DONE)
        Ui_PlayRefusal();
    Vid_GetVideoEnd();
    Ui_GridChangedHook(1);
    Ui_RebuildRowGroups();
    Ed_UpdateMemoryUsage();
}

void Ed_DeleteClip()
{
    Sys_CallLog("Ed_DeleteClip");
    VIDCLIP *clip = Ed_SelectedPaletteClip();
    if (!clip) {
        Ui_PlayRefusal();
        return;
    }
    if (!Vid_IsClipOnLanes(Vid_ClipId(clip))) {
        DeleteNow(clip);
        BackToPalette();
        return;
    }
    s_pAskedClip = clip;
    MSGBOXREQUEST req{};
    req.pszText = Ui_Text(406);
    req.ucButtonCount = 2;
    req.asButtonText[0] = 112;
    req.asButtonText[1] = 114;
    req.pfnAnswer = DeleteAnswered;
    if (!Ui_OpenMessageBox(&req)) {
        s_pAskedClip = nullptr;
        Ui_PlayRefusal();
    }
}

void Ed_PreviewClip()
{
    Sys_CallLog("Ed_PreviewClip");
    VIDCLIP *clip = Ed_SelectedPaletteClip();
    if (!clip)
        return;
    if (clip == g_pPreviewClip) {
        Vid_SetClipPreview(1 - g_bClipPreview);
        return;
    }
    if (g_pPreviousPreviewClip)
        Vid_ReleaseClip(g_pPreviousPreviewClip);
    g_pPreviousPreviewClip = g_pPreviewClip; // its reference moves along
    g_pPreviewClip = Vid_AddClipRef(clip);
    Vid_SetClipPreview(1);
}

void Ed_EditPaletteClip()
{
    Sys_CallLog("Ed_EditPaletteClip");
    VIDCLIP *clip = Ed_SelectedPaletteClip();
    if (!clip) {
        Ui_PlayRefusal();
        return;
    }
    if (POPUP *p = Palette()) {
        g_pCurrentPopup = p;
        Ui_ClosePopup();
    }
    if (g_pGridView) {
        g_asGridMark[0] = int16_t(Ui_GridCursorColumn());
        g_asGridMark[1] = int16_t(Ui_GridCursorRow());
    }
    g_ucChaseEditFlags = 0;
    Ed_OpenChaseEditorOnClip(clip);
    Vid_SetClipPreview(1);
}

void Ed_NameClip()
{
    Sys_CallLog("Ed_NameClip");
    VIDCLIP *clip = Ed_SelectedPaletteClip();
    if (!clip) {
        Ui_PlayRefusal();
        return;
    }
    s_pNamedClip = clip;
    std::memset(s_szName, 0, sizeof s_szName);
    std::memcpy(s_szName, clip->szName, strnlen(clip->szName, sizeof clip->szName));
    OpenNameEntry();
}

void Ed_RemoveUnusedClips()
{
    Sys_CallLog("Ed_RemoveUnusedClips");
    if (!Ed_SelectedPaletteClip()) {
        Ui_PlayRefusal();
        return;
    }
    MSGBOXREQUEST req{};
    req.pszText = Ui_Text(411);
    req.ucButtonCount = 2;
    req.asButtonText[0] = 112;
    req.asButtonText[1] = 114;
    req.pfnAnswer = PurgeAnswered;
    if (!Ui_OpenMessageBox(&req))
        Ui_PlayRefusal();
}

int32_t Ed_FindClipPosition(VIDCLIP *clip, int32_t *laneOut)
{
    if (!clip)
        return -1;
    int32_t start = 0;
    if (clip == g_pFoundClip) {
        start = g_iFoundPosition + 1;
    } else {
        g_pFoundClip = nullptr;
        g_iFoundPosition = 0;
    }
    const int32_t end = std::clamp<int32_t>(std::max<int32_t>(g_uSongRowCount, Vid_GetVideoEnd()), 1, VID_POSITIONS);
    if (start >= end)
        start = 0;
    // A block counts where it begins, so a long block is found once; the search wraps once.
    for (int32_t step = 0; step < end; step++) {
        const int32_t p = (start + step) % end;
        for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++) {
            VIDLANEBLOCK *b = Vid_FindLaneBlock(&g_aVideoLanes[lane], p);
            if (!b || b->uStart == VID_LANE_END || b->pClip != clip || b->uStart != p)
                continue;
            g_pFoundClip = clip;
            g_iFoundPosition = p;
            if (laneOut)
                *laneOut = lane;
            return p;
        }
    }
    return -1;
}

void Ed_FindClipInVideo()
{
    Sys_CallLog("Ed_FindClipInVideo");
    VIDCLIP *clip = Ed_SelectedPaletteClip();
    if (!clip) {
        Ui_PlayRefusal();
        return;
    }
    int32_t lane = 0;
    const int32_t p = Ed_FindClipPosition(clip, &lane);
    if (p >= 0 && lane < 6)
        MoveGridCursor(p, LaneRow(lane));
}

void Ed_RefreshClipList()
{
    POPUP *p = Palette();
    if (!p)
        return;
    LISTWIDGET *l = p->list;
    int32_t count = 0;
    while (Vid_GetListedClip(count))
        count++;
    l->totalRows = uint16_t(count);
    if (count == 0) {
        l->selected = l->first = 0;
    } else {
        if (l->selected >= count)
            l->selected = uint16_t(count - 1);
        if (l->first > l->selected)
            l->first = l->selected;
    }
    if (p->desc) {
        p->desc->selected = l->selected;
        p->desc->first = l->first;
    }
    if (l->scrollBar)
        Ui_SetScrollBarMax(l->scrollBar, std::max(0, count - int32_t(l->visibleRows)));
    Ui_RefillListRows(l);
}

void Ed_InstallClipPaletteItems()
{
    Ui_SetMenuItemHandler(124, Ed_PasteClip);
    Ui_SetMenuItemHandler(125, Ed_DeleteClip);
    Ui_SetMenuItemHandler(126, Ed_PreviewClip);
    Ui_SetMenuItemHandler(127, Ed_EditPaletteClip);
    Ui_SetMenuItemHandler(128, Ed_NameClip);
    Ui_SetMenuItemHandler(129, Ed_RemoveUnusedClips);
    Ui_SetMenuItemHandler(130, Ed_FindClipInVideo);
}

// The palette's choice replaces the clip at the grid's cursor.
void Ed_ClipReplaceAtCursor()
{
    Ed_PasteClip();
}

// ---- Names ----

void Ed_MakeClipName(VIDCLIP *clip)
{
    if (!clip)
        return;
    std::memset(clip->szName, 0, sizeof clip->szName);
    const unsigned n = static_cast<uint32_t>(g_iClipNameCounter) % 10000u;
    if (clip->sEntryCount <= 0)
        std::snprintf(clip->szName, sizeof clip->szName, "clip%04u", n);
    else
        std::snprintf(clip->szName, sizeof clip->szName, "%.7s%04u", TypeName(clip), n);
    g_iClipNameCounter++;
}

int32_t Ed_ParseClipNumber(const VIDCLIP *clip)
{
    if (!clip)
        return 0;
    char prefix[8] = {};
    if (clip->sEntryCount <= 0)
        std::snprintf(prefix, sizeof prefix, "clip");
    else
        std::snprintf(prefix, sizeof prefix, "%.7s", TypeName(clip));
    const size_t len = std::strlen(prefix);
    const size_t nameLen = strnlen(clip->szName, sizeof clip->szName);
    if (len == 0 || nameLen < len + 4 || std::strncmp(clip->szName, prefix, len) != 0)
        return 0;
    int32_t value = 0;
    for (size_t i = len; i < len + 4; i++) {
        if (!std::isdigit(static_cast<unsigned char>(clip->szName[i])))
            return 0;
        value = value * 10 + (clip->szName[i] - '0');
    }
    return value;
}

// ---- Memory totals ----

void Ed_UpdateMemoryUsage()
{
    // The video as a save would size it.
    CHUNKCONTEXT ctx;
    Seq_SetUsageSlot(&ctx, 7, 5);
    Seq_SetUsageSlot(&ctx, 1, 16);
    Vid_CountVideoChunkSize(&ctx);
    int64_t video = 0;
    for (int32_t t = CHUNK_CH; t <= CHUNK_VD; t++)
        if (ctx.aChunk[t].uSize)
            video += int64_t(ctx.aChunk[t].uSize) + 8;
    g_iVideoMemoryBytes = int32_t(std::min<int64_t>(video, INT32_MAX));

    int64_t bytes = int64_t(g_uSongRowCount) * SEQ_GRID_COLUMNS * 2;
    for (int32_t id = 1; id < g_uRiffCount; id++)
        if (const RIFFENTRY *r = Seq_GetRiff(id))
            bytes += int64_t(sizeof(RIFFENTRY)) + int64_t(r->ucBars) * SEQ_STEPS_PER_BAR * r->ucTracks * 2;
    bytes += int64_t(g_uNoteCount) * int64_t(sizeof(NOTEENTRY));
    bytes += video;
    g_iSongMemoryBytes = int32_t(std::min<int64_t>(bytes, INT32_MAX));
}
