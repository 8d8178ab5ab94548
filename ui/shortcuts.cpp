#include "ui/shortcuts.h"

#include "app/calllog.h"
#include "app/mainwindow.h"
#include "core/padbind.h"
#include "editors/blockselect.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/msgbox.h"
#include "ui/view.h"
#include "video/lanes.h"

#include <algorithm>

const KEYSHORTCUT g_atKeyShortcuts[UI_KEY_SHORTCUTS + 1] = {
    {0, KEY_SPACE, 0, Ui_ShortcutPlayStop},
    {4, KEY_SPACE, 0, Ui_StopPlayback},
    // Delete and Insert keep their rows (the order of the rest is the run order) but have no grid
    // action: the pointer's draw and erase tools are how cells are placed and removed.
    {0, KEY_DELETE, 0, nullptr},
    {0, KEY_INSERT, 0, nullptr},
    {7, KEY_DELETE, 0, nullptr},
    {7, KEY_INSERT, 0, nullptr},
    {0, KEY_HOME, 2, Ui_GoToGridTop},
    {0, KEY_HOME, 0, Ui_GoToGridStart},
    {0, KEY_END, 2, Ui_GoToGridBottom},
    {0, KEY_END, 0, Ui_GoToSongEnd},
    {7, KEY_HOME, 2, Ui_GoToGridTop},
    {7, KEY_HOME, 0, Ui_GoToGridStart},
    {7, KEY_END, 2, Ui_GoToGridBottom},
    {7, KEY_END, 0, Ui_GoToSongEnd},
    {7, KEY_Z, 2, Ui_ShortcutVideoUndo},
    {0, KEY_Z, 2, Ui_ShortcutSongUndo},
    {0, KEY_Y, 2, Ui_Redo},
    {15, KEY_M, 2, Ed_OpenMixerPanel},
    {0, KEY_M, 2, Ed_OpenMixerPanel},
    {2, KEY_C, 2, Ed_BlockCopyAction},
    {2, KEY_X, 2, Ed_BlockCutAction},
    {2, KEY_SPACE, 0, Ed_BlockPlayArea},
    {3, KEY_V, 2, Ed_BlockPaste},
    {5, KEY_SPACE, 0, Ed_ClearLaneMarksAndStop},
    {15, KEY_SPACE, 0, Ed_SamplePreviewToggle},
    {17, KEY_ENTER, 0, Ui_MessageBoxAccept},
    {0, KEY_PAGEUP, 0, Ui_PageGridUp},
    {0, KEY_PAGEDOWN, 0, Ui_PageSongGridDown},
    {7, KEY_PAGEUP, 0, Ui_PageGridUp},
    {7, KEY_PAGEDOWN, 0, Ui_PageVideoGridDown},
    {0, 0, 0, nullptr},
};

void Ui_DispatchKeyShortcut()
{
    const int32_t key = g_iLastKeyCode;
    if (key == 0)
        return;
    for (const KEYSHORTCUT &row : g_atKeyShortcuts) {
        if (!row.handler || int32_t(row.screen) != g_iScreen || int32_t(row.key) != key)
            continue;
        if (row.mask == 0 || (row.mask & g_uKeyModifiers))
            row.handler();
    }
    // Dropped whether or not a row ran: a key never waits for a later screen.
    g_iLastKeyCode = 0;
}

namespace {

void Finish(bool fullRedraw)
{
    VIEWWIDGET *v = g_pGridView;
    if (v)
        Ui_RefreshView(v);
    Ui_GridChangedHook(g_ucGridKind);
    if (fullRedraw)
        Ui_RequestGridRedraw();
}

// Rows a grid view shows with its two border rows.
int32_t RingRows(const VIEWWIDGET *v)
{
    return v->ringRows;
}

void GoToEnd(int32_t length, bool fullRedraw)
{
    VIEWWIDGET *v = g_pGridView;
    if (!v)
        return;
    v->firstColumn = int16_t(std::max(-1, length - 3));
    g_sGridCursorX = 0;
    Finish(fullRedraw);
}

} // namespace

void Ui_GoToGridStart()
{
    Sys_CallLog("Ui_GoToGridStart");
    VIEWWIDGET *v = g_pGridView;
    if (!v)
        return;
    g_sGridCursorX = 0;
    v->firstColumn = -1;
    v->firstRow = -1;
    Finish(true);
}

void Ui_GoToSongEnd()
{
    Sys_CallLog("Ui_GoToSongEnd");
    GoToEnd(Seq_CountUsedRows(), true);
}

void Ui_GoToVideoEnd()
{
    Sys_CallLog("Ui_GoToVideoEnd");
    GoToEnd(Vid_GetVideoEnd(), false);
}

void Ui_GoToGridTop()
{
    Sys_CallLog("Ui_GoToGridTop");
    VIEWWIDGET *v = g_pGridView;
    if (!v)
        return;
    v->firstRow = -1;
    g_sGridCursorY = 0;
    Finish(true);
}

void Ui_GoToGridBottom()
{
    Sys_CallLog("Ui_GoToGridBottom");
    VIEWWIDGET *v = g_pGridView;
    if (!v)
        return;
    // A table shorter than the view stays at its top.
    v->firstRow = int16_t(std::max(-1, v->rowCount - RingRows(v) + 1));
    const int32_t cursor = g_ucGridKind == 1 ? g_ucGridRowCount - 1 : RingRows(v) - 6;
    g_sGridCursorY = int16_t(std::clamp(cursor, 0, std::max(0, RingRows(v) - 3)));
    Finish(true);
}

void Ui_PageGridUp()
{
    Sys_CallLog("Ui_PageGridUp");
    VIEWWIDGET *v = g_pGridView;
    if (!v || !v->rowBar)
        return;
    v->rowBar->step = int16_t(-(std::max(1, v->rowBar->page) - 1));
    v->rowBar->holdCount = 6;
    Ui_RequestGridRedraw();
}

void Ui_PageSongGridDown()
{
    Sys_CallLog("Ui_PageSongGridDown");
    VIEWWIDGET *v = g_pGridView;
    if (!v || !v->rowBar)
        return;
    SCROLLBAR *b = v->rowBar;
    // Never past the last page.
    b->step = int16_t(std::max(0, std::min(b->page - 1, b->maximum - b->position)));
    b->holdCount = 6;
    Ui_RequestGridRedraw();
}

void Ui_PageVideoGridDown()
{
    Sys_CallLog("Ui_PageVideoGridDown");
    VIEWWIDGET *v = g_pGridView;
    if (!v)
        return;
    const int32_t page = v->rowBar ? v->rowBar->page : RingRows(v) - 2;
    int32_t first = v->firstRow + std::max(0, page - 1);
    if (first > g_ucGridRowCount - RingRows(v))
        first = v->rowCount - RingRows(v) + 1;
    v->firstRow = int16_t(std::max(-1, first));
    Finish(true);
}

void Ui_Redo()
{
    Sys_CallLog("Ui_Redo");
    if (Seq_HasUndoLog())
        Seq_RedoLastStep();
    Finish(false);
}

void Ui_ShortcutPlayStop()
{
    // Ui_PlayFromCursor stops a song that plays.
    Ui_PlayFromCursor();
}

void Ui_ShortcutVideoUndo()
{
    Sys_CallLog("Vid_SwapLaneUndo");
    Vid_SwapLaneUndo();
    Finish(true);
}

void Ui_ShortcutSongUndo()
{
    Sys_CallLog("Seq_UndoLastStep");
    Seq_UndoLastStep();
    Ui_RebuildAndRefresh();
    Finish(true);
}
