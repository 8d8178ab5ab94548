// The grid view's mouse: press, drag (each frame while held) and release, by screen.
#include "editors/blockselect.h"
#include "editors/chaseeditor.h"
#include "core/file.h"
#include "core/padbind.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "ui/gridcells.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/handlers.h"
#include "ui/padslot.h"
#include "ui/riffeditor.h"
#include "ui/riffpalette.h"
#include "sequencer/noteedit.h"
#include "ui/view.h"

#include <algorithm>

uint8_t g_bGridDragStopped = 0, g_bGridPressHandled = 0, g_bGridDragLock = 0;
uint32_t g_uGridPressTime = 0;
int16_t g_sGridPressColumn = 0, g_sGridPressRow = 0;

namespace {

bool Playing()
{
    return g_bSongPlaying.load(std::memory_order_relaxed) != 0;
}

// The pointer's column lies inside the grid's columns.
bool PointerInColumns()
{
    const VIEWWIDGET *v = g_pGridView;
    if (!v)
        return false;
    const int32_t column = v->firstColumn + 1 + Ui_GridMouseColumn();
    return column >= 0 && column < v->columnCount;
}

// The cursor onto the pointer's visible cell; the video grid stops at its last row.
void CursorToPointer()
{
    const VIEWWIDGET *v = g_pGridView;
    int32_t x = std::clamp<int32_t>(Ui_GridMouseColumn(), 0, v->ringColumns - 3);
    int32_t y = std::clamp<int32_t>(Ui_GridMouseRow(), 0, v->ringRows - 3);
    if (g_ucGridKind == 1)
        y = std::min<int32_t>(y, std::max(0, g_ucGridRowCount - v->firstRow - 2));
    g_sGridCursorX = int16_t(x);
    g_sGridCursorY = int16_t(y);
}

bool NavigationScreen(int32_t s)
{
    switch (s) {
    case 2: case 3: case 12: case 22: case 32: case 33: case 34: case 39: case 46:
        return false;
    default:
        return true;
    }
}

void ToolAtPointer()
{
    if (g_ucGridToolMode)
        Ui_DrawAtCell();
    else
        Ui_EraseAtCell();
}

} // namespace

void Ui_GridMousePress(WIDGET *)
{
    if (!PointerInColumns())
        return;
    g_bGridDragStopped = g_bGridPressHandled = 0;
    CursorToPointer();
    g_sGridPressColumn = int16_t(Ui_GridCursorColumnRaw());
    g_sGridPressRow = int16_t(Ui_GridCursorRowRaw());
    switch (g_iScreen) {
    case 65: Ed_BlockBegin(); break;
    case 14: Ui_NoteParamBack(); break;
    case 2:
        Ui_ReturnToEditorMenu();
        g_bGridPressHandled = 1;
        break;
    case 3:
        Ui_RunPadSlot(14);
        g_bGridPressHandled = 1;
        break;
    case 66: Ui_BeginNewRiff(); break;
    case 67: Ed_ChaseGridAction(); break;
    case 68: Ui_BeginRiffResize(); break;
    case 69:
        Ui_MakeRiffUnique();
        g_bGridPressHandled = g_bGridDragStopped = 1;
        break;
    case 70: Ui_CursorRiffLevels(); break;
    case 75: Ui_BeginNoteLength(); break;
    case 71: Ui_ClickRiffCell(); break;
    case 72: Ui_ToggleRowGroupAtCursor(); break;
    case 73:
    case 74: break;
    case 58:
        g_sGridCursorX = 0;
        Ui_RunPadSlot(14);
        break;
    case 0:
    case 7:
        if (g_ucGridKind == 3) {
            // Over a note of the current channel the note prompt shows: a press selects it.
            const int32_t step = Ui_GridCursorColumnRaw(), row = Ui_GridCursorRowRaw();
            int32_t octave = 0, semitone = 0, covered = 0;
            if (Seq_GetNoteAt(step, g_ucCurrentChannel, &octave, &semitone, nullptr, &covered) && 11 - semitone == row) {
                Ui_SelectNoteCell(step, row);
                g_bGridPressHandled = g_bGridDragStopped = 1;
            } else {
                ToolAtPointer();
            }
        } else {
            g_uGridPressTime = Sys_GetMilliseconds();
        }
        break;
    default: break;
    }
}

void Ui_GridMouseDrag(WIDGET *)
{
    VIEWWIDGET *v = g_pGridView;
    if (!v || g_bGridDragStopped || Playing() || !PointerInColumns())
        return;
    const int32_t column = v->firstColumn + 1 + Ui_GridMouseColumn();
    const int32_t row = v->firstRow + 1 + Ui_GridMouseRow();
    if (column == g_sGridPressColumn && row == g_sGridPressRow)
        return;
    const int32_t s = g_iScreen;
    if (NavigationScreen(s) && !g_bGridDragLock) {
        if (row < 99) {
            if (g_ucGridKind == 3)
                Ui_DrawAtCursorCell();
            else if (g_ucGridKind != 1 || row < g_ucGridRowCount)
                Ed_BlockBegin();
            g_bGridDragLock = 1;
        } else if (row <= 101) {
            Ui_RunPadSlot(14);
            g_bGridDragLock = 1;
        }
        return;
    }
    if (s == 2 && g_ucGridKind != 1) {
        // One cell at a time toward the pointer, inside the view and above the event rows.
        const int32_t tx = std::clamp<int32_t>(Ui_GridMouseColumn(), 0, v->ringColumns - 2 - 3);
        const int32_t ty = std::clamp<int32_t>(Ui_GridMouseRow(), 0, std::min(v->ringRows - 2 - 3, 97 - v->firstRow));
        if (tx != g_sGridCursorX)
            g_sGridCursorX = int16_t(g_sGridCursorX + (tx > g_sGridCursorX ? 1 : -1));
        else if (ty != g_sGridCursorY)
            g_sGridCursorY = int16_t(g_sGridCursorY + (ty > g_sGridCursorY ? 1 : -1));
        g_asGridMark[2] = int16_t(Ui_GridCursorColumnRaw());
        g_asGridMark[3] = int16_t(Ui_GridCursorRowRaw());
    } else if (s == 2) {
        // The video grid: the block's corner follows the pointer, never left of its start.
        const int32_t last = v->firstColumn + v->ringColumns - 3;
        g_asGridMark[2] = int16_t(std::clamp<int32_t>(column, g_asGridMark[0], std::max<int32_t>(g_asGridMark[0], last)));
        g_asGridMark[3] = int16_t(std::clamp<int32_t>(row, 0, std::max(0, g_ucGridRowCount - 1)));
    } else if ((s == 32 || s == 34) && g_ucGridKind == 3) {
        Ui_NoteLengthFollowPointer();
    } else if (s == 46) {
        const int32_t last = v->firstColumn + v->ringColumns - 3;
        g_asGridMark[2] =
            int16_t(std::clamp<int32_t>(column, g_asGridMark[0], std::min<int32_t>(g_asGridMark[0] + 7, last)));
    }
}

void Ui_GridMouseRelease(WIDGET *)
{
    if (Playing() || !g_pGridWindow || g_bGridPressHandled) {
        g_bGridDragLock = 0;
        g_uGridPressTime = 0;
        return;
    }
    const int32_t s = g_iScreen;
    if ((s == 32 || s == 34) && g_ucGridKind == 3) {
        if (PointerInColumns())
            Ui_NoteLengthFollowPointer();
        Ui_RunPadSlot(14);
    } else if (s == 12 || s == 46 || s == 39) {
        Ui_RunPadSlot(14);
    }
    else if ((s == 0 || s == 7) && (g_ucGridKind == 1 || g_ucGridKind == 2) && !g_bGridDragLock &&
             PointerInColumns())
        ToolAtPointer();
    g_bGridDragLock = 0;
    g_uGridPressTime = 0;
}
