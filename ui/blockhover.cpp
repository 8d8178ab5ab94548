// The hover steps of the grid screens that carry a block: the far corner of a riff being sized
// follows the pointer (screen 12), a block being pasted moves with it (screen 3); and the riff
// editor's side panel taken and left by the pointer.
#include "ui/hover.h"

#include "core/padbind.h"
#include "editors/blockselect.h"
#include "sequencer/songmodel.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "app/devices.h"
#include "ui/gridcells.h"
#include "ui/gridvideo.h"
#include "ui/mouse.h"
#include "ui/noteparams.h"
#include "ui/riffeditor.h"
#include "ui/view.h"
#include "ui/widgets.h"

#include <algorithm>
#include <cstring>

namespace {

// Where the pointer was when sizing began: keys size the riff while the pointer rests, and the
// corner follows the pointer once it moves.
bool s_bSizingSeen = false;
int16_t s_asSizingFrom[2] = {0, 0};

bool PlacementFits(int32_t bars, int32_t tracks)
{
    return bars >= 1 && tracks >= 1 && bars <= SEQ_MAX_BARS && tracks <= SEQ_MAX_TRACKS &&
           g_abPlacementMask[bars - 1][tracks - 1] != 0;
}

int32_t RowKind(int32_t row)
{
    return row >= 0 && row <= UI_GRID_MAX_ROWS ? g_aucGridRowKinds[row] : -1;
}

bool RowsOfKind(int32_t from, int32_t to, int32_t kind)
{
    for (int32_t r = from; r <= to; r++)
        if (RowKind(r) != kind)
            return false;
    return true;
}

} // namespace

void Ui_GrowMarkToward(int32_t columns, int32_t rows, bool (*fits)(int32_t bars, int32_t tracks), int32_t *w,
                       int32_t *h)
{
    int32_t cw = 0, ch = 0;
    for (;;) {
        const bool wider = cw < UI_MARK_MAX_MORE_COLUMNS && cw < columns && (!fits || fits(cw + 2, ch + 1));
        const bool taller = ch < UI_MARK_MAX_MORE_ROWS && ch < rows && (!fits || fits(cw + 1, ch + 2));
        if (!wider && !taller)
            break;
        // The dimension further from the pointer first; rows on a tie.
        if (wider && (!taller || columns - cw > rows - ch))
            cw++;
        else
            ch++;
    }
    *w = cw;
    *h = ch;
}

void Ui_MarkBlockToPointer()
{
    VIEWWIDGET *v = g_pGridView;
    if (!v || !g_pGridWindow)
        return;
    const int32_t column = v->firstColumn + 1 + Ui_GridMouseColumn();
    const int32_t row = v->firstRow + 1 + Ui_GridMouseRow();
    Ui_NormaliseMark();
    int32_t w = 0, h = 0;
    Ui_GrowMarkToward(column - g_asGridMark[0], row - g_asGridMark[1], PlacementFits, &w, &h);
    // The song grid's riffs stay above its data lanes.
    h = std::min(h, std::max(0, 98 - g_asGridMark[1]));
    g_asGridMark[2] = int16_t(g_asGridMark[0] + w);
    g_asGridMark[3] = int16_t(g_asGridMark[1] + h);
    const int32_t lastRow = std::max(0, std::min(97 - v->firstRow, 14));
    g_sGridCursorX = int16_t(std::clamp<int32_t>(g_asGridMark[2] - v->firstColumn - 1, 0, std::max(0, v->ringColumns - 3)));
    g_sGridCursorY = int16_t(std::clamp<int32_t>(g_asGridMark[3] - v->firstRow - 1, 0, lastRow));
}

void Ui_CursorToLaneEnd(int32_t limit)
{
    VIEWWIDGET *v = g_pGridView;
    if (!v)
        return;
    int32_t row = g_asGridMark[1];
    while (row + 1 < limit && row + 1 <= UI_GRID_MAX_ROWS && RowKind(row + 1) == RowKind(row))
        row++;
    g_sGridCursorY = int16_t(std::max(0, row - v->firstRow - 1));
}

void Ui_SizingHover()
{
    if (g_iScreen != 12 || g_ucGridKind != 2) {
        s_bSizingSeen = false;
        return;
    }
    if (!s_bSizingSeen) {
        s_bSizingSeen = true;
        s_asSizingFrom[0] = g_sMouseX;
        s_asSizingFrom[1] = g_sMouseY;
        return;
    }
    if (g_sMouseX == s_asSizingFrom[0] && g_sMouseY == s_asSizingFrom[1])
        return;
    s_asSizingFrom[0] = -1; // moved once: from now on the corner follows
    Ui_MarkBlockToPointer();
}

void Ui_PasteBlockHover()
{
    VIEWWIDGET *v = g_pGridView;
    if (g_iScreen != 3 || !v || !g_pGridWindow || g_tBlock.ucMode != 2)
        return;
    const int32_t height = g_tBlock.corner[1] - g_tBlock.origin[1];
    int32_t cx = std::clamp<int32_t>(Ui_GridMouseColumn(), 0, std::max(0, v->ringColumns - 3));
    int32_t cy = std::clamp<int32_t>(Ui_GridMouseRow(), 0, std::max(0, v->ringRows - 3));
    switch (g_ucGridKind) {
    case 1:
        cy = std::min<int32_t>(cy, g_ucGridRowCount - v->firstRow - 2 - height);
        break;
    case 2: cy = std::min<int32_t>(cy, 97 - v->firstRow - height); break;
    default: cy = std::min<int32_t>(cy, v->ringRows - 3 - height); break;
    }
    cy = std::max(cy, 0);
    int32_t dx = v->firstColumn + 1 + cx - g_tBlock.origin[0];
    int32_t dy = v->firstRow + 1 + cy - g_tBlock.origin[1];
    // Video clips and chases stay on lanes of the kind they came from.
    if (g_ucGridKind == 1 && dy != 0) {
        const int32_t kind = g_tBlock.ucClipboardKind == BLOCK_CLIP_VIDEO_CHASES ? 3 : RowKind(g_tBlock.origin[1]);
        if (!RowsOfKind(g_tBlock.origin[1] + dy, g_tBlock.corner[1] + dy, kind))
            dy = 0;
    }
    if (dx == 0 && dy == 0)
        return;
    g_tBlock.origin[0] = int16_t(g_tBlock.origin[0] + dx);
    g_tBlock.corner[0] = int16_t(g_tBlock.corner[0] + dx);
    g_tBlock.origin[1] = int16_t(g_tBlock.origin[1] + dy);
    g_tBlock.corner[1] = int16_t(g_tBlock.corner[1] + dy);
    g_sGridCursorX = int16_t(g_tBlock.origin[0] - v->firstColumn - 1);
    g_sGridCursorY = int16_t(std::max(0, g_tBlock.origin[1] - v->firstRow - 1));
    // The block mover sees the cursor where the block already is: it adds no step of its own.
    g_tBlock.lastCursor[0] = int16_t(Ui_GridCursorColumnRaw());
    g_tBlock.lastCursor[1] = int16_t(Ui_GridCursorRowRaw());
    std::memcpy(g_asGridMark, &g_tBlock, sizeof g_asGridMark);
}
