#include "editors/blockselect.h"
#include "editors/songlanes.h"

#include "app/calllog.h"
#include "core/disc.h"
#include "core/padbind.h"
#include "editors/topbar.h"
#include "sequencer/channels.h"
#include "sequencer/eventlists.h"
#include "sequencer/instruments.h"
#include "sequencer/noteedit.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/gridcells.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/shortcuts.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/lanes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

BLOCKSELECTION g_tBlock = {};
int16_t g_asBlockPitchPair[2] = {0, 0};

namespace {

constexpr int32_t kSongTracks = 99;
constexpr int32_t kClipEntryLimit = 60;

// The user's own track mutes, kept while a play of the area mutes the tracks outside it.
uint8_t s_aucSavedMutes[kSongTracks];
bool s_bMutesSaved = false;

struct RECT
{
    int32_t x1, y1, x2, y2;
};

// The marked rectangle, normalised.
RECT Rect()
{
    RECT r;
    r.x1 = std::min(g_asGridMark[0], g_asGridMark[2]);
    r.x2 = std::max(g_asGridMark[0], g_asGridMark[2]);
    r.y1 = std::min(g_asGridMark[1], g_asGridMark[3]);
    r.y2 = std::max(g_asGridMark[1], g_asGridMark[3]);
    return r;
}

// The same, corrected against a scroll in progress.
RECT ScrolledRect()
{
    RECT r = Rect();
    Ui_AdjustColumnForScroll(&r.x1);
    Ui_AdjustColumnForScroll(&r.x2);
    Ui_AdjustRowForScroll(&r.y1);
    Ui_AdjustRowForScroll(&r.y2);
    return r;
}

// The video grid's clipboard: a clip or chase (one reference held) per cell, column by column.
std::vector<void *> s_videoCells;

uint32_t *Cells()
{
    return reinterpret_cast<uint32_t *>(g_p_ucWorkBuffer);
}

// Clipboard cell of (column, row) inside the rectangle, column by column.
size_t CellIndex(const RECT &r, int32_t column, int32_t row)
{
    return size_t(column - r.x1) * size_t(r.y2 - r.y1 + 1) + size_t(row - r.y1);
}

bool CellsFit(const RECT &r)
{
    const int64_t cells = int64_t(r.x2 - r.x1 + 1) * int64_t(r.y2 - r.y1 + 1);
    return g_p_ucWorkBuffer && r.x1 >= 0 && r.y1 >= 0 && cells * 4 < ED_BLOCK_BYTE_LIMIT;
}

bool ColumnScrolling()
{
    return g_pGridView && g_pGridView->columnStep;
}
bool RowScrolling()
{
    return g_pGridView && g_pGridView->rowStep;
}

int32_t RowKind(int32_t row)
{
    return row >= 0 && row <= UI_GRID_MAX_ROWS ? g_aucGridRowKinds[row] : -1;
}
bool ClipRow(int32_t row)
{
    const int32_t k = RowKind(row);
    return k == 2 || k == 5 || k == 6;
}
bool ChaseRow(int32_t row)
{
    return RowKind(row) == 3;
}

VIDCLIP *LaneClip(int32_t row, int32_t column)
{
    const int32_t group = Ui_FindRowGroup(row);
    return group < 0 ? nullptr : Vid_GetLaneClipAt(group, column);
}

void Refresh()
{
    Ui_GridChangedHook(g_ucGridKind);
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

void StepColumns(int32_t d)
{
    if (g_pGridView && g_pGridView->columnBar)
        g_pGridView->columnBar->step = int16_t(d);
}
void StepRows(int32_t d)
{
    if (g_pGridView && g_pGridView->rowBar)
        g_pGridView->rowBar->step = int16_t(d);
}

void SaveMutes()
{
    for (int32_t t = 0; t < kSongTracks; t++)
        s_aucSavedMutes[t] = g_aChannelMute[t][3];
    s_bMutesSaved = true;
}

} // namespace

void Ed_AreaSelectionMode()
{
    Sys_CallLog("Ed_AreaSelectionMode");
    g_iNextScreen = 65;
}

void Ed_BlockSetOrigin()
{
    const int32_t column = Ui_GridCursorColumnRaw(), row = Ui_GridCursorRowRaw();
    g_tBlock.origin[0] = g_tBlock.corner[0] = int16_t(column);
    g_tBlock.origin[1] = g_tBlock.corner[1] = int16_t(row);
    if (g_ucGridKind == 2 && g_pGridView) {
        GRIDCELLQUERY q{};
        q.uRow = uint16_t(std::max(column, 0));
        q.ucColumn = uint8_t(std::clamp(row, 0, 255));
        if (row >= 0 && row < kSongTracks && column >= 0 && Seq_GetGridCellInfo(&q, g_szCursorItemName)) {
            VIEWWIDGET *v = g_pGridView;
            const int32_t visibleColumns = v->ringColumns - 2, visibleRows = v->ringRows - 2;
            // The whole riff: origin at its first cell, cursor on its last.
            g_tBlock.origin[0] = int16_t(column - q.ucBar);
            g_tBlock.origin[1] = int16_t(row - q.ucColumnOffset);
            g_sGridCursorX = int16_t(g_sGridCursorX + q.ucBars - q.ucBar - 1);
            g_sGridCursorY = int16_t(g_sGridCursorY + q.ucTracks - q.ucColumnOffset - 1);
            if (g_sGridCursorX < visibleColumns && g_tBlock.origin[0] <= v->firstColumn)
                g_cGridPendingColumns = int8_t(g_tBlock.origin[0] - (v->firstColumn + 1));
            if (g_sGridCursorX >= visibleColumns) {
                const int32_t over = g_sGridCursorX - (visibleColumns - 1);
                g_cGridPendingColumns = int8_t(over);
                g_sGridCursorX = int16_t(g_sGridCursorX - over);
            }
            if (g_sGridCursorY >= visibleRows) {
                const int32_t over = g_sGridCursorY - (visibleRows - 1);
                g_cGridPendingRows = int8_t(over);
                g_sGridCursorY = int16_t(g_sGridCursorY - over);
            }
            g_tBlock.corner[0] = int16_t(g_tBlock.origin[0] + q.ucBars - 1);
            g_tBlock.corner[1] = int16_t(g_tBlock.origin[1] + q.ucTracks - 1);
        }
    }
    std::memcpy(g_asGridMark, &g_tBlock, sizeof g_asGridMark);
}

void Ed_BlockBegin()
{
    Sys_CallLog("Ed_BlockBegin");
    if (g_ucGridKind == 1 && g_pGridWindow && g_ucFullScreenVideo)
        return;
    if (g_ucGridKind == 2 && Ui_GridCursorRowClamped() >= kSongTracks) {
        // On a data lane the block is the entry under the cursor (sound 3 where there is none).
        Ui_MarkBlockRange();
        return;
    }
    Ed_BlockSetOrigin();
    g_iNextScreen = 2;
    g_tBlock.ucMode = 1;
    g_tBlock.ucFrameRedraw = 2;
    g_ucGridMarkRepaint = 2;
    Ui_SetMenuPage(g_ucGridKind == 2 ? 1 : g_ucGridKind == 1 ? 26 : 17);
}

void Ed_BlockSetCornerFromCursor()
{
    if (!g_pGridView)
        return;
    g_tBlock.corner[0] = int16_t(g_sGridCursorX + g_pGridView->firstColumn + 1);
    g_tBlock.corner[1] = int16_t(g_sGridCursorY + g_pGridView->firstRow + 1);
    g_asGridMark[2] = g_tBlock.corner[0];
    g_asGridMark[3] = g_tBlock.corner[1];
}

int32_t Ed_BlockByteSize(int32_t column, int32_t row)
{
    int32_t w = std::abs(column - g_tBlock.origin[0]) + 1, h = std::abs(row - g_tBlock.origin[1]) + 1;
    if (ColumnScrolling())
        w++;
    if (RowScrolling())
        h++;
    return w * h * 4;
}

bool Ed_BlockFits(int32_t row)
{
    if (Ed_BlockByteSize(Ui_GridCursorColumnRaw(), row) >= ED_BLOCK_BYTE_LIMIT)
        return false;
    if (g_ucGridKind == 1) {
        int32_t r = row;
        Ui_AdjustRowForScroll(&r);
        return RowKind(r) == RowKind(g_tBlock.origin[1]);
    }
    return true;
}

namespace {

void GrowSideways(int32_t d)
{
    if (g_ucGridKind == 1 && ChaseRow(g_tBlock.origin[1]))
        return;
    if (Ed_BlockByteSize(Ui_GridCursorColumnRaw() + d, Ui_GridCursorRowRaw()) >= ED_BLOCK_BYTE_LIMIT)
        return;
    StepColumns(d);
}

void GrowVertically(int32_t d)
{
    if (!Ed_BlockFits(Ui_GridCursorRowRaw() + d))
        return;
    // The song grid's blocks stay above its fixed rows.
    if (g_ucGridKind == 2 && Ui_GridCursorRowRaw() + d >= kSongTracks)
        return;
    StepRows(d);
}

} // namespace

void Ed_BlockGrowLeft() { GrowSideways(-1); }
void Ed_BlockGrowRight() { GrowSideways(1); }
void Ed_BlockGrowUp() { GrowVertically(-1); }
void Ed_BlockGrowDown() { GrowVertically(1); }

int32_t Ed_BlockCopy()
{
    Sys_CallLog("Ed_BlockCopy");
    RECT r = Rect();
    if (r.x1 > 0 && r.y1 > 0) {
        Ui_AdjustColumnForScroll(&r.x1);
        Ui_AdjustColumnForScroll(&r.x2);
        Ui_AdjustRowForScroll(&r.y1);
        Ui_AdjustRowForScroll(&r.y2);
    } else {
        Ui_StopGridScrollRepeat();
    }
    // A block in hand gives back what it holds before the clipboard is refilled.
    Ed_BlockReleaseClipboard();
    switch (g_ucGridKind) {
    case 1: {
        if (!CellsFit(r))
            return 0;
        s_videoCells.assign(size_t(r.x2 - r.x1 + 1) * size_t(r.y2 - r.y1 + 1), nullptr);
        uint8_t kind = BLOCK_CLIP_NONE;
        for (int32_t x = r.x1; x <= r.x2; x++)
            for (int32_t y = r.y1; y <= r.y2; y++) {
                void *held = nullptr;
                if (ClipRow(y)) {
                    if (VIDCLIP *c = LaneClip(y, x))
                        held = Vid_AddClipRef(c);
                    kind = BLOCK_CLIP_VIDEO_CLIPS;
                } else if (ChaseRow(y)) {
                    const int32_t group = Ui_FindRowGroup(y);
                    VIDCLIP *c = LaneClip(y, x);
                    const int32_t n = y - (group >= 0 ? g_aucGridRowGroupFirst[group] : y) + 1;
                    if (c && c->sEntryCount >= n)
                        if (CHASE *ch = Vid_GetClipEntryChase(c, n - 1))
                            held = Vid_AddChaseRef(ch);
                    kind = BLOCK_CLIP_VIDEO_CHASES;
                }
                s_videoCells[CellIndex(r, x, y)] = held;
            }
        g_tBlock.ucClipboardKind = kind;
        Ui_UpdateGridRowTotal();
        return 1;
    }
    case 2: {
        if (!CellsFit(r))
            return 0;
        Seq_FlushDeletedRiffs();
        Seq_SetSelection(r.x1, r.y1, r.x2, r.y2, 0);
        uint32_t *cells = Cells();
        for (int32_t x = r.x1; x <= r.x2; x++)
            for (int32_t y = r.y1; y <= r.y2; y++) {
                int32_t riff = y < kSongTracks ? Seq_GetRiffStartingAt(x, y) : 0;
                if (RIFFENTRY *e = Seq_GetRiff(riff))
                    if (x + e->ucBars - 1 > r.x2 || y + e->ucTracks - 1 > r.y2)
                        riff = 0;
                cells[CellIndex(r, x, y)] = uint32_t(riff & 0xFFFF);
            }
        g_tBlock.ucClipboardKind = BLOCK_CLIP_SONG;
        return 1;
    }
    case 3: {
        Seq_SetSelection(r.x1, r.y1, r.x2, r.y2, 1);
        const int32_t pitches = Seq_CutCopyNotes(2);
        if (pitches == 255)
            return 0;
        g_asBlockPitchPair[0] = int16_t(71 - (pitches >> 16));
        g_asBlockPitchPair[1] = int16_t(pitches & 0xFFFF);
        g_tBlock.ucClipboardKind = BLOCK_CLIP_NOTES;
        return 1;
    }
    default: return 0;
    }
}

void Ed_BlockDelete()
{
    Sys_CallLog("Ed_BlockDelete");
    const RECT r = ScrolledRect();
    switch (g_ucGridKind) {
    case 1:
        for (int32_t x = r.x1; x <= r.x2; x++) {
            for (int32_t y = r.y1; y <= r.y2; y++) {
                if (ClipRow(y)) {
                    const int32_t group = Ui_FindRowGroup(y);
                    if (group < 0)
                        continue;
                    Vid_FillClipGrid(0, r.x1, group, r.x2 - r.x1 + 1, 1);
                    if (Vid_CutLaneAt(group, x) == 8)
                        Seq_PlayInterfaceSound(3);
                } else if (ChaseRow(y)) {
                    // A column without a clip is skipped: the rest of the block is still deleted.
                    VIDCLIP *c = LaneClip(y, x);
                    const int32_t group = Ui_FindRowGroup(y);
                    const int32_t n = r.y1 - (group >= 0 ? g_aucGridRowGroupFirst[group] : r.y1) + 1;
                    if (c && c->sEntryCount >= n)
                        Vid_RemoveClipEntry(c, n - 1);
                }
            }
        }
        Ed_UpdateMemoryUsage();
        break;
    case 2:
        Seq_SetSelection(r.x1, r.y1, r.x2, r.y2, 0);
        for (int32_t x = r.x1; x <= r.x2; x++)
            for (int32_t y = r.y1; y <= std::min(r.y2, kSongTracks - 1); y++)
                Seq_GridCellOp(x, y, nullptr, 1, 8);
        Seq_CloseUndoStep();
        Seq_ComputeSongTime(9999);
        break;
    case 3:
        Seq_SetSelection(r.x1, r.y1, r.x2, r.y2, 1);
        Seq_CutCopyNotes(0);
        break;
    default: return;
    }
    Refresh();
}

void Ed_BlockEnterPasteMode()
{
    Sys_CallLog("Ed_BlockEnterPasteMode");
    g_iNextScreen = 3;
    g_tBlock.ucMode = 2;
    g_tBlock.ucFrameRedraw = 2;
    g_ucGridMarkRepaint = 2;
    g_tBlock.lastCursor[0] = int16_t(Ui_GridCursorColumnRaw());
    g_tBlock.lastCursor[1] = int16_t(Ui_GridCursorRowRaw());
    g_tBlock.aucDrag[0] = g_tBlock.aucDrag[1] = 0;
    const RECT r = Rect();
    g_tBlock.origin[0] = int16_t(r.x1);
    g_tBlock.origin[1] = int16_t(r.y1);
    g_tBlock.corner[0] = int16_t(r.x2);
    g_tBlock.corner[1] = int16_t(r.y2);
    std::memcpy(g_asGridMark, &g_tBlock, sizeof g_asGridMark);
    if (g_ucGridKind == 3) {
        g_tBlock.ucWidthLess1 = uint8_t(std::min(r.x2 - r.x1, 255));
        g_tBlock.ucHeightLess1 = uint8_t(std::min(r.y2 - r.y1, 255));
    }
}

void Ed_BlockCopyAction()
{
    if (!Ed_BlockCopy()) {
        Seq_PlayInterfaceSound(3);
        return;
    }
    Ed_BlockEnterPasteMode();
}

void Ed_BlockCutAction()
{
    Sys_CallLog("Ed_BlockCutAction");
    if (g_ucGridKind == 3) {
        const RECT r = ScrolledRect();
        Seq_SetSelection(r.x1, r.y1, r.x2, r.y2, 1);
        const int32_t pitches = Seq_CutCopyNotes(1);
        if (pitches == 255) {
            Seq_PlayInterfaceSound(3);
            return;
        }
        Refresh();
        g_asBlockPitchPair[0] = int16_t(71 - (pitches >> 16));
        g_asBlockPitchPair[1] = int16_t(pitches & 0xFFFF);
        g_tBlock.ucClipboardKind = BLOCK_CLIP_NOTES;
        Ed_BlockEnterPasteMode();
        return;
    }
    // Nothing is deleted that the clipboard could not take.
    if (!Ed_BlockCopy()) {
        Seq_PlayInterfaceSound(3);
        return;
    }
    Ed_BlockDelete();
    Ed_BlockEnterPasteMode();
}

void Ed_BlockDeleteAction()
{
    Ed_BlockDelete();
    Ui_ReturnToEditorMenu();
}

void Ed_BlockPlayArea()
{
    Sys_CallLog("Ed_BlockPlayArea");
    if (g_ucGridKind != 2 || !g_pGridView)
        return;
    const RECT r = ScrolledRect();
    SaveMutes();
    for (int32_t t = 0; t < kSongTracks; t++)
        g_aChannelMute[t][3] = (t < r.y1 || t > r.y2) ? 1 : 0;
    if (g_tBlock.origin[0] <= g_pGridView->firstColumn) {
        g_pGridView->firstColumn = int16_t(std::max(r.x1 - 1, -1));
        Ui_RefreshView(g_pGridView);
    }
    g_sGridCursorX = int16_t(r.x1 - g_pGridView->firstColumn - 1);
    Seq_StopCueing();
    Seq_PlaySongFrom(r.x1);
    g_iNextScreen = 5;
    Ui_SaveGridView();
}

void Ed_BlockStopPlay()
{
    Sys_CallLog("Ed_BlockStopPlay");
    // The user's own mutes come back, not a blanket unmute.
    for (int32_t t = 0; t < kSongTracks; t++)
        g_aChannelMute[t][3] = s_bMutesSaved ? s_aucSavedMutes[t] : 0;
    s_bMutesSaved = false;
    Ui_StopPlayback();
}

void Ed_ClearLaneMarksAndStop()
{
    Sys_CallLog("Ed_ClearLaneMarksAndStop");
    // Every track is heard again, also those muted before the area played.
    for (int32_t t = 0; t < kSongTracks; t++)
        g_aChannelMute[t][3] = 0;
    s_bMutesSaved = false;
    Ui_StopPlayback();
    Ui_RequestGridRedraw();
}

void Ed_BlockJoinRiffs()
{
    Sys_CallLog("Ed_BlockJoinRiffs");
    const RECT r = ScrolledRect();
    if (r.x2 - r.x1 < 8 && r.y2 - r.y1 < 12) {
        Seq_SetSelection(r.x1, r.y1, r.x2, r.y2, 0);
        if (Seq_MergeSelectedRiffs() < 0)
            Seq_PlayInterfaceSound(3);
    }
    Ui_ReturnToEditorMenu();
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

void Ed_BlockAutoScroll()
{
    if (!g_pGridView)
        return;
    if (g_ucGridKind == 3) {
        const int32_t visibleRows = g_pGridView->ringRows - 2;
        const int32_t height = g_tBlock.corner[1] - g_tBlock.origin[1];
        if (g_tBlock.origin[1] >= visibleRows && g_ucRiffOctave > 1) {
            g_tBlock.corner[1] = int16_t(height);
            g_tBlock.origin[1] = 0;
            g_tBlock.aucDrag[0] = g_tBlock.aucDrag[1] = 0;
            g_ucRiffOctave--;
        } else if (g_tBlock.corner[1] < 0 && g_ucRiffOctave < 6) {
            g_tBlock.corner[1] = int16_t(visibleRows - 1);
            g_tBlock.origin[1] = int16_t(g_tBlock.corner[1] - height);
            g_ucRiffOctave++;
        }
    }
    // The block follows the cursor, whether the cursor stepped or a click put it on a cell (the
    // pointer has no drag of the block of its own, so mouse mode follows the cursor too).
    const int32_t column = Ui_GridCursorColumnRaw(), row = Ui_GridCursorRowRaw();
    const int32_t dx = column - g_tBlock.lastCursor[0], dy = row - g_tBlock.lastCursor[1];
    g_tBlock.origin[0] = int16_t(g_tBlock.origin[0] + dx);
    g_tBlock.corner[0] = int16_t(g_tBlock.corner[0] + dx);
    g_tBlock.origin[1] = int16_t(g_tBlock.origin[1] + dy);
    g_tBlock.corner[1] = int16_t(g_tBlock.corner[1] + dy);
    g_tBlock.lastCursor[0] = int16_t(column);
    g_tBlock.lastCursor[1] = int16_t(row);
    std::memcpy(g_asGridMark, &g_tBlock, sizeof g_asGridMark);
}

namespace {

bool RowsOfKind(int32_t from, int32_t to, int32_t kind)
{
    for (int32_t y = from; y <= to; y++) {
        int32_t r = y;
        Ui_AdjustRowForScroll(&r);
        if (RowKind(r) != kind)
            return false;
    }
    return true;
}

int32_t ClipboardRowKind()
{
    return g_tBlock.ucClipboardKind == BLOCK_CLIP_VIDEO_CHASES ? 3 : RowKind(g_tBlock.origin[1]);
}

} // namespace

void Ed_BlockMoveLeft()
{
    Sys_CallLog("Ed_BlockMoveLeft");
    Ed_BlockAutoScroll();
    if (ScrolledRect().x1 > 0)
        StepColumns(-1);
}

void Ed_BlockMoveRight()
{
    Sys_CallLog("Ed_BlockMoveRight");
    Ed_BlockAutoScroll();
    if (g_pGridView && ScrolledRect().x2 < g_pGridView->columnCount - 1)
        StepColumns(1);
}

void Ed_BlockMoveUp()
{
    Sys_CallLog("Ed_BlockMoveUp");
    if (g_cGridPendingRows)
        return;
    Ed_BlockAutoScroll();
    if (g_ucMouseButtons & MOUSE_MODE) {
        g_sMouseY = int16_t(g_sMouseY - 2);
        return;
    }
    const RECT r = Rect();
    switch (g_ucGridKind) {
    case 1:
        if (RowsOfKind(r.y1 - 1, r.y2 - 1, ClipboardRowKind()))
            StepRows(-1);
        break;
    case 2:
        if (g_tBlock.origin[1] - (RowScrolling() && g_pGridView->rowStep < 0 ? 2 : 0) > 0)
            StepRows(-1);
        break;
    case 3: StepRows(-1); break;
    default: break;
    }
}

void Ed_BlockMoveDown()
{
    Sys_CallLog("Ed_BlockMoveDown");
    if (g_cGridPendingRows)
        return;
    Ed_BlockAutoScroll();
    const RECT r = Rect();
    switch (g_ucGridKind) {
    case 1:
        if (r.y2 + 1 < g_ucGridRowCount && RowsOfKind(r.y1 + 1, r.y2 + 1, ClipboardRowKind()))
            StepRows(1);
        break;
    case 2:
        if (g_tBlock.corner[1] + (RowScrolling() && g_pGridView->rowStep > 0 ? 2 : 0) < kSongTracks - 1)
            StepRows(1);
        break;
    case 3: StepRows(1); break;
    default: break;
    }
}

namespace {

// The clipboard cell of a cell of the carried block (same shape as when it was copied).
size_t CarriedIndex(const RECT &r, int32_t column, int32_t row)
{
    return CellIndex(r, column, row);
}

bool PasteVideo(const RECT &r)
{
    bool pasted = false, chasesInserted = false;
    const int32_t x2 = std::min(r.x2, 998);
    if (ChaseRow(r.y1)) {
        for (int32_t x = r.x1; x <= x2; x++) {
            VIDCLIP *c = LaneClip(r.y1, x);
            if (!c || c->sEntryCount + (r.y2 - r.y1 + 1) > kClipEntryLimit)
                return false;
        }
    }
    for (int32_t x = r.x1; x <= x2; x++)
        for (int32_t y = r.y1; y <= r.y2; y++) {
            const size_t at = CarriedIndex(r, x, y);
            void *held = at < s_videoCells.size() ? s_videoCells[at] : nullptr;
            const int32_t group = Ui_FindRowGroup(y);
            if (group < 0)
                continue;
            if (ClipRow(y) && g_tBlock.ucClipboardKind == BLOCK_CLIP_VIDEO_CLIPS) {
                Vid_FillClipGrid(0, r.x1, group, x2 - r.x1 + 1, 1);
                if (!held)
                    continue;
                if (Vid_PlaceClipAt(group, x, static_cast<VIDCLIP *>(held)) == 8) {
                    Sys_ShowOutOfMemoryBox([](uint8_t) { Ui_ReturnToEditorMenu(); });
                    return true;
                }
                pasted = true;
            } else if (ChaseRow(y) && g_tBlock.ucClipboardKind == BLOCK_CLIP_VIDEO_CHASES && held) {
                VIDCLIP *c = LaneClip(y, x);
                if (!c)
                    continue;
                const int32_t index = std::min<int32_t>(y - g_aucGridRowGroupFirst[group], c->sEntryCount);
                if (Vid_InsertClipEntry(c, static_cast<CHASE *>(held), index)) {
                    pasted = chasesInserted = true;
                }
            }
        }
    Ed_UpdateMemoryUsage();
    if (chasesInserted)
        Ui_RebuildRowGroups();
    return pasted;
}

} // namespace

void Ed_BlockPaste()
{
    Sys_CallLog("Ed_BlockPaste");
    Ed_BlockAutoScroll();
    const RECT r = Rect();
    bool pasted = false;
    bool chases = false;
    switch (g_ucGridKind) {
    case 1:
        chases = g_tBlock.ucClipboardKind == BLOCK_CLIP_VIDEO_CHASES;
        pasted = PasteVideo(r);
        break;
    case 2: {
        if (g_tBlock.ucClipboardKind != BLOCK_CLIP_SONG || !CellsFit(r))
            break;
        Seq_SetSelection(r.x1, r.y1, r.x2, r.y2, 0);
        const uint32_t *cells = Cells();
        for (int32_t x = r.x1; x <= r.x2; x++)
            for (int32_t y = r.y1; y <= r.y2 && y < kSongTracks; y++) {
                const int32_t riff = int32_t(cells[CellIndex(r, x, y)] & 0xFFFF);
                if (riff && Seq_PlaceRiffAt(riff, x, y) > 0)
                    pasted = true;
            }
        Seq_CloseUndoStep();
        Seq_UpdateSongSizes();
        Seq_ComputeSongTime(9999);
        break;
    }
    case 3:
        if (g_tBlock.ucClipboardKind != BLOCK_CLIP_NOTES)
            break;
        Seq_SetSelection(r.x1, r.y1, r.x2, r.y2, 1);
        Seq_PasteNotes();
        pasted = true;
        break;
    default: break;
    }
    if (!pasted) {
        Seq_PlayInterfaceSound(3);
        return;
    }
    Refresh();
    if (chases)
        Ed_BlockDrop();
}

void Ed_BlockReleaseClipboard()
{
    for (void *held : s_videoCells) {
        if (!held)
            continue;
        if (g_tBlock.ucClipboardKind == BLOCK_CLIP_VIDEO_CLIPS)
            Vid_ReleaseClip(static_cast<VIDCLIP *>(held));
        else if (g_tBlock.ucClipboardKind == BLOCK_CLIP_VIDEO_CHASES)
            Vid_ReleaseChase(static_cast<CHASE *>(held));
    }
    s_videoCells.clear();
    if (g_tBlock.ucClipboardKind == BLOCK_CLIP_VIDEO_CLIPS || g_tBlock.ucClipboardKind == BLOCK_CLIP_VIDEO_CHASES)
        g_tBlock.ucClipboardKind = BLOCK_CLIP_NONE;
}

void Ed_BlockDrop()
{
    Sys_CallLog("Ed_BlockDrop");
    Ed_BlockReleaseClipboard();
    g_tBlock.ucMode = 0;
    if (g_ucGridKind == 1)
        Ui_RebuildRowGroups();
    else if (g_ucGridKind == 2)
        Seq_FlushDeletedRiffs();
    Ui_ReturnToEditorMenu();
}

bool Ed_RiffStartOfCell(int32_t *column, int32_t *row)
{
    int32_t top = 0, left = 0;
    if (!column || !row || *row < 0 || *row >= kSongTracks || *column < 0)
        return false;
    if (!Seq_RiffAtCell(*column, *row, &top, &left))
        return false;
    *column = top;
    *row = left;
    return true;
}

void Ed_InstallBlockMenuItems()
{
    const struct
    {
        int row;
        MENUHANDLER handler;
    } kItems[] = {{3, Ed_AreaSelectionMode}, {12, Ed_BlockJoinRiffs}, {13, Ed_BlockCutAction},
                  {14, Ed_BlockCopyAction}, {15, Ed_BlockPlayArea}};
    // A row already given a handler keeps it.
    for (const auto &item : kItems)
        if (!g_atMenuItems[item.row].handler)
            Ui_SetMenuItemHandler(item.row, item.handler);
}
