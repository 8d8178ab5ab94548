#include "ui/hover.h"

#include "core/padbind.h"
#include "render/gpustate.h"
#include "editors/blockselect.h"
#include "sequencer/playback.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/gridvideo.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/view.h"
#include "ui/widgets.h"

#include <algorithm>

namespace {

constexpr int32_t kBlockBytesBelow = 395604;

bool EdgeScrollScreen(int32_t s)
{
    switch (s) {
    case 0: case 2: case 3: case 4: case 7: case 12: case 14: case 39:
        return true;
    default:
        return false;
    }
}

// The riff editor scrolls sideways when the pointer leaves its window left or right.
void RiffEditorSideScroll(VIEWWIDGET *v, const WINDOW *w)
{
    if (g_iScreen == 14 || g_iNextScreen == 14)
        return;
    if (g_sMouseX < w->x && v->firstColumn >= 0)
        Ui_GridScrollLeft();
    else if (g_sMouseX > w->x + w->w + 12)
        Ui_GridScrollRight();
}

// A block being marked or carried may only scroll where it still fits: the video grid's block on
// lanes of its kind (and never sideways on chase lanes), the song grid's within its byte limit,
// a riff being sized at most 12 rows by 8 columns.
bool RowScrollAllowed(int32_t d)
{
    const int32_t markRows = g_asGridMark[3] - g_asGridMark[1];
    switch (g_iScreen) {
    case 3: return Ed_BlockFits(Ui_GridCursorRowRaw() + d);
    case 2:
        if (g_ucGridKind == 1)
            return Ed_BlockFits(Ui_GridCursorRowRaw() + d);
        return Ed_BlockByteSize(Ui_GridCursorColumnRaw(), Ui_GridCursorRowRaw() + d) < kBlockBytesBelow;
    case 12: return d < 0 ? markRows > 0 : markRows < 11;
    default: return true;
    }
}

bool ColumnScrollAllowed(int32_t d)
{
    switch (g_iScreen) {
    case 2:
        if (g_ucGridKind == 1)
            return g_asGridMark[1] < 0 || g_asGridMark[1] > UI_GRID_MAX_ROWS || g_aucGridRowKinds[g_asGridMark[1]] != 3;
        return Ed_BlockByteSize(Ui_GridCursorColumnRaw() + d, Ui_GridCursorRowRaw()) < kBlockBytesBelow;
    case 12: return d < 0 || g_asGridMark[2] - g_asGridMark[0] < 7;
    default: return true;
    }
}

bool StrictlyInside(int32_t px, int32_t py, int32_t x, int32_t y, int32_t w, int32_t h)
{
    return px > x && px < x + w && py > y && py < y + h;
}

} // namespace

int32_t Ui_HoverListRow(int32_t row, int32_t first, int32_t total, int32_t visible)
{
    if (row < 0)
        row = first;
    const int32_t last = total < visible ? total - 1 : first + visible - 1;
    return std::max(first, std::min(row, last));
}

void Ui_GridEdgeScroll()
{
    VIEWWIDGET *v = g_pGridView;
    const WINDOW *w = g_pGridWindow;
    if (!v || !w || !Ui_WindowIsOpen(w) || !Ui_WindowHasFocus(w))
        return;
    if (g_ucGridKind == 3) {
        if (!g_bSongPlaying.load(std::memory_order_relaxed)) {
            RiffEditorSideScroll(v, w);
            Ui_RiffPanelHover();
        }
        if (g_iScreen == 3)
            Ui_PasteBlockHover();
        return;
    }
    if ((g_ucGridKind != 1 && g_ucGridKind != 2) || !EdgeScrollScreen(g_iScreen))
        return;
    const int32_t px = g_sMouseX, py = g_sMouseY;
    if (py < 10 && v->firstRow >= 0 && RowScrollAllowed(-1))
        Ui_GridScrollUp();
    else if (py > g_iScreenHeight - 13 && v->firstRow <= v->rowCount - v->ringRows &&
             (g_ucGridKind != 1 || v->firstRow + 10 < g_ucGridRowCount) && RowScrollAllowed(1))
        Ui_GridScrollDown();
    // While the song plays the grid follows the song sideways, never the pointer.
    if (g_iScreen != 4) {
        if (px < 10 && v->firstColumn >= 0 && ColumnScrollAllowed(-1))
            Ui_GridScrollLeft();
        else if (px > g_iScreenWidth - 13 && ColumnScrollAllowed(1))
            Ui_GridScrollRight();
    }
    if (g_iScreen == 12)
        Ui_SizingHover();
    else if (g_iScreen == 3)
        Ui_PasteBlockHover();
}

void Ui_HoverList(LISTWIDGET *list)
{
    if (!list || !list->head.parent || list->rowHeight == 0 || list->scrollStep != 0 || list->totalRows == 0)
        return;
    const WINDOW *w = list->head.parent;
    const int32_t top = w->y + list->head.y;
    const int32_t dy = g_sMouseY - top;
    // Signed division: a pointer above the list gives a negative row, which means its first row.
    const int32_t row = dy < 0 ? -1 : int32_t(list->first) + dy / list->rowHeight;
    list->selected = uint16_t(Ui_HoverListRow(row, list->first, list->totalRows, list->visibleRows));
}

void Ui_MsgBoxHover()
{
    MSGBOX *box = g_pCurrentMsgBox;
    if (!box || !box->pWindow || !Ui_WindowHasFocus(box->pWindow))
        return;
    for (int i = 0; i < box->ucButtonCount && i < 2; i++) {
        const WIDGET &b = box->aButtonWidgets[i];
        if (StrictlyInside(g_sMouseX, g_sMouseY, box->pWindow->x + b.x, box->pWindow->y + b.y, b.w, b.h))
            box->ucChosen = uint8_t(i);
    }
}

void Ui_PointerHover()
{
    if (!(g_ucMouseButtons & MOUSE_MODE))
        return;
    if (g_iScreen != 12)
        Ui_SizingHover(); // forgets the last sizing's pointer
    Ui_GridEdgeScroll();
    Ui_ChasePreviewHover();
    if (g_iScreen == 21 && g_pPageMenuPopup && !g_pPageMenuPopup->free && g_pPageMenuPopup->window &&
        Ui_PointerInWindow(g_pPageMenuPopup->window))
        Ui_HoverList(g_pPageMenuPopup->list);
    Ui_HelpTopicHover();
    Ui_FileBrowserHover();
    if (g_iScreen == 9 && g_pCurrentPopup && !g_pCurrentPopup->free && g_pCurrentPopup->window &&
        g_pCurrentPopup->list) {
        LISTWIDGET *list = g_pCurrentPopup->list;
        const WINDOW *w = g_pCurrentPopup->window;
        const bool ready = list->scrollStep == 0 && (list->holdCount == 0 || list->holdCount > 10);
        if (g_sMouseY < w->y) {
            if (list->first != 0 && ready)
                Ui_ListScrollUp(list);
            else
                list->holdCount++;
        } else if (g_sMouseY > w->y + w->h) {
            if (int32_t(list->selected) < int32_t(list->totalRows) - 2 && ready)
                Ui_ListScrollDown(list);
            else
                list->holdCount++;
        } else if (Ui_PointerInWindow(w)) {
            Ui_HoverList(list);
            if (g_pCurrentPopup->desc) {
                g_pCurrentPopup->desc->selected = list->selected;
                g_pCurrentPopup->desc->first = list->first;
            }
        }
    }
    Ui_CurvePointHover();
    Ui_SampleMarkerHover();
    Ui_OptionGadgetHover();
    Ui_CdOptionsHover();
    Ui_MsgBoxHover();
    Ui_SlotDialogHover();
    Ui_IconGridHover();
}
