#include "ui/view.h"

#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/texpages.h"
#include "ui/mouse.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

uint8_t *g_pGridCellPackets = nullptr;
VIEWWIDGET g_tView;
VIEWWIDGET *g_pGridView = nullptr;

namespace {

constexpr size_t CELL_PACKET = UI_SPRITE_BYTES;

void EmptyCallback(WIDGET *) {}

int Wrap(int i, int n)
{
    return ((i % n) + n) % n;
}

// Ring slot of ring cell c (0 = the hidden column at the left) in the current rotation.
int SlotColumn(const VIEWWIDGET *v, int c)
{
    return Wrap(c - v->ringFirstColumn, v->ringColumns);
}
int SlotRow(const VIEWWIDGET *v, int r)
{
    return Wrap(r - v->ringFirstRow, v->ringRows);
}

int CellX(const VIEWWIDGET *v, int c)
{
    return v->head.x - v->cellWidth + SlotColumn(v, c) * v->cellWidth;
}
int CellY(const VIEWWIDGET *v, int r)
{
    return v->head.y - v->cellHeight + SlotRow(v, r) * v->cellHeight;
}

// Fills ring cell (c, r) of both halves for the table cell its slot shows now.
void FillCell(VIEWWIDGET *v, int c, int r)
{
    const int column = v->firstColumn + SlotColumn(v, c), row = v->firstRow + SlotRow(v, r);
    for (int half = 0; half < UI_HALVES; half++) {
        uint8_t *p = Ui_ViewCell(v, half, c, r);
        std::memset(p, 0, CELL_PACKET * v->packetsPerCell);
        if (v->cell)
            v->cell(p, column, row, CellX(v, c), CellY(v, r));
    }
}

void FillColumn(VIEWWIDGET *v, int c)
{
    for (int r = 0; r < v->ringRows; r++)
        FillCell(v, c, r);
}

void FillRow(VIEWWIDGET *v, int r)
{
    for (int c = 0; c < v->ringColumns; c++)
        FillCell(v, c, r);
}

void BarFollows(SCROLLBAR *bar, int32_t position, bool change)
{
    if (!bar)
        return;
    Ui_SetScrollBarPos(bar, position);
    if (change && bar->change)
        bar->change(&bar->head);
    Ui_MarkScrollBarDirty(bar);
}

void Ui_StepViewScroll(VIEWWIDGET *v)
{
    if (v->columnStep) {
        v->columnOffset = int8_t(v->columnOffset + v->columnStep);
        if (v->columnOffset >= v->cellWidth || v->columnOffset <= -v->cellWidth) {
            const bool left = v->columnOffset > 0;
            v->firstColumn = int16_t(v->firstColumn + (left ? -1 : 1));
            v->columnOffset = v->columnStep = 0;
            const int d = left ? -1 : 1;
            v->ringFirstColumn = int8_t(Wrap(v->ringFirstColumn + d, v->ringColumns));
            v->ringLastColumn = int8_t(Wrap(v->ringLastColumn + d, v->ringColumns));
            int32_t direction = left ? 2 : 1;
            if (v->columnScrolled)
                v->columnScrolled(&direction);
            FillColumn(v, left ? v->ringFirstColumn : v->ringLastColumn);
            BarFollows(v->columnBar, v->firstColumn + 1, true);
        }
    }
    if (v->rowStep) {
        v->rowOffset = int8_t(v->rowOffset + v->rowStep);
        if (v->rowOffset >= v->cellHeight || v->rowOffset <= -v->cellHeight) {
            const bool up = v->rowOffset > 0;
            v->firstRow = int16_t(v->firstRow + (up ? -1 : 1));
            v->rowOffset = v->rowStep = 0;
            const int d = up ? -1 : 1;
            v->ringFirstRow = int8_t(Wrap(v->ringFirstRow + d, v->ringRows));
            v->ringLastRow = int8_t(Wrap(v->ringLastRow + d, v->ringRows));
            FillRow(v, up ? v->ringFirstRow : v->ringLastRow);
            if (v->head.flags & VIEW_ROW_BAR)
                BarFollows(v->rowBar, v->firstRow + 1, false);
        }
    }
}

// Every ring cell filled once, at creation.
void Ui_LayoutViewCells(VIEWWIDGET *v)
{
    for (int r = 0; r < v->ringRows; r++)
        FillRow(v, r);
}

// One frame of a full redraw: every ring cell filled again.
void Ui_RedrawViewCells(VIEWWIDGET *v)
{
    v->redraw--;
    for (int r = 0; r < v->ringRows; r++)
        FillRow(v, r);
}

// Every packet of the drawn half at its slot's place plus the scroll so far.
void PlaceCells(VIEWWIDGET *v, int half)
{
    for (int r = 0; r < v->ringRows; r++)
        for (int c = 0; c < v->ringColumns; c++) {
            uint8_t *p = Ui_ViewCell(v, half, c, r);
            for (int k = 0; k < v->packetsPerCell; k++) {
                PACKET_SPRITE_T s;
                std::memcpy(&s, p + k * CELL_PACKET, sizeof s);
                s.x = int16_t(CellX(v, c) + v->columnOffset);
                s.y = int16_t(CellY(v, r) + v->rowOffset);
                std::memcpy(p + k * CELL_PACKET, &s, sizeof s);
            }
        }
}

} // namespace

uint8_t *Ui_ViewCell(VIEWWIDGET *v, int half, int c, int r)
{
    return v->cells[half] + (size_t(r) * v->ringColumns + size_t(c)) * v->packetsPerCell * CELL_PACKET;
}

void Ui_InitViewPool()
{
    std::memset(&g_tView, 0, sizeof g_tView);
    g_tView.head.flags = WIDGET_FREE;
    g_pGridView = nullptr;
}

void Ui_FreeGridCellPackets()
{
    // A view still open on the area is hidden, so no later frame draws from it.
    if (g_pGridCellPackets && g_tView.cells[0] == g_pGridCellPackets && !(g_tView.head.flags & WIDGET_FREE))
        g_tView.head.flags |= WIDGET_HIDDEN;
    std::free(g_pGridCellPackets);
    g_pGridCellPackets = nullptr;
    g_tView.cells[0] = g_tView.cells[1] = nullptr;
}

VIEWWIDGET *Ui_CreateView(const VIEWDESC *desc, WINDOW *parent)
{
    if (!desc || !(g_tView.head.flags & WIDGET_FREE) || desc->cellWidth == 0 || desc->cellHeight == 0)
        return nullptr;
    const int packets = (desc->flags & VIEW_ONE_PACKET) ? 1 : 2;
    const size_t bytes = size_t(desc->columns + 2) * (desc->rows + 2) * packets * CELL_PACKET;
    if (2 * bytes > UI_GRID_CELL_BYTES || desc->columns + 2 > 127 || desc->rows + 2 > 127)
        return nullptr;
    if (!g_pGridCellPackets)
        g_pGridCellPackets = static_cast<uint8_t *>(std::calloc(1, UI_GRID_CELL_BYTES));
    if (!g_pGridCellPackets)
        return nullptr;
    VIEWWIDGET *v = &g_tView;
    std::memset(v, 0, sizeof *v);
    v->head.kind = WIDGET_VIEW;
    v->head.flags = desc->flags & ~WIDGET_FREE;
    v->head.x = desc->x;
    v->head.y = desc->y;
    v->head.w = uint16_t(desc->columns * desc->cellWidth);
    v->head.h = uint16_t(desc->rows * desc->cellHeight);
    v->head.press = desc->press ? desc->press : EmptyCallback;
    v->head.held = desc->held ? desc->held : EmptyCallback;
    v->head.release = desc->release;
    v->ringColumns = uint8_t(desc->columns + 2);
    v->ringRows = uint8_t(desc->rows + 2);
    v->cellWidth = desc->cellWidth;
    v->cellHeight = desc->cellHeight;
    v->firstColumn = desc->firstColumn;
    v->firstRow = desc->firstRow;
    v->columnCount = desc->columnCount;
    v->rowCount = desc->rowCount;
    v->packetsPerCell = uint8_t(packets);
    v->columnSpeed = desc->columnSpeed;
    v->rowSpeed = desc->rowSpeed;
    v->ringLastColumn = int8_t(v->ringColumns - 1);
    v->ringLastRow = int8_t(v->ringRows - 1);
    v->frameA = desc->frameA;
    v->cell = desc->cell;
    v->frameB = desc->frameB;
    v->columnScrolled = desc->columnScrolled;
    v->cells[0] = g_pGridCellPackets;
    v->cells[1] = g_pGridCellPackets + bytes;
    Ui_LayoutViewCells(v);
    for (int half = 0; half < UI_HALVES; half++) {
        Gfx_SetDrawModePacket(v->mode[half], 0, 0, desc->image ? desc->image->page : 0);
        const int16_t screen[4] = {0, 0, int16_t(g_iScreenWidth), int16_t(g_iScreenHeight)};
        Gfx_SetDrawAreaPacket(v->screen[half], screen);
        Gfx_SetDrawAreaPacket(v->clip[half], screen);
    }
    if (parent)
        Ui_AttachWidget(parent, &v->head);
    if (desc->flags & VIEW_ROW_BAR) {
        SCROLLBARDESC d{SCROLLBAR_VERTICAL, uint16_t(v->head.x + v->head.w), v->head.y, 8, v->head.h, v->firstRow + 1,
                        0, desc->rows, std::max(0, desc->rowCount - desc->rows), nullptr, nullptr, nullptr};
        v->rowBar = Ui_CreateScrollBar(&d, parent);
    }
    if (desc->flags & VIEW_COLUMN_BAR) {
        SCROLLBARDESC d{SCROLLBAR_HORIZONTAL, v->head.x, uint16_t(v->head.y + v->head.h + 8), v->head.w, 8,
                        v->firstColumn + 1, 0, desc->columns, std::max(0, desc->columnCount - desc->columns),
                        desc->columnBarChange,
                        nullptr, nullptr};
        v->columnBar = Ui_CreateScrollBar(&d, parent);
    }
    if (((desc->flags & VIEW_ROW_BAR) && !v->rowBar) || ((desc->flags & VIEW_COLUMN_BAR) && !v->columnBar)) {
        v->head.flags = WIDGET_FREE;
        return nullptr;
    }
    if (v->rowBar)
        v->rowBar->owner = v;
    if (v->columnBar)
        v->columnBar->owner = v;
    return v;
}

void Ui_ViewScrollLeft(VIEWWIDGET *v)
{
    if (v && v->columnStep == 0)
        v->columnStep = int8_t(v->columnSpeed);
}

void Ui_ViewScrollRight(VIEWWIDGET *v)
{
    if (v && v->columnStep == 0)
        v->columnStep = int8_t(-v->columnSpeed);
}

void Ui_ViewScrollUp(VIEWWIDGET *v)
{
    if (v && v->rowStep == 0)
        v->rowStep = int8_t(v->rowSpeed);
}

void Ui_ViewScrollDown(VIEWWIDGET *v)
{
    if (v && v->rowStep == 0)
        v->rowStep = int8_t(-v->rowSpeed);
}

void Ui_RefreshView(VIEWWIDGET *v)
{
    if (!v)
        return;
    v->redraw = 2;
    BarFollows(v->columnBar, v->firstColumn + 1, true);
    BarFollows(v->rowBar, v->firstRow + 1, false);
}

void Ui_StopGridScrollRepeat()
{
    if (!g_pGridView)
        return;
    if (g_pGridView->columnBar)
        g_pGridView->columnBar->step = 0;
    if (g_pGridView->rowBar)
        g_pGridView->rowBar->step = 0;
}

void Ui_DrawView(VIEWWIDGET *v)
{
    if (!v || (v->head.flags & VIEW_HIDDEN))
        return;
    const int half = g_iFrameBufferIndex & 1;
    Ui_LinkPacket(v->screen[half], UI_ENV_BYTES);
    Ui_StepViewScroll(v);
    if (v->redraw)
        Ui_RedrawViewCells(v);
    if (v->frameA)
        v->frameA();
    if (v->frameB)
        v->frameB();
    PlaceCells(v, half);
    for (int r = 0; r < v->ringRows; r++)
        for (int c = 0; c < v->ringColumns; c++) {
            const uint8_t *p = Ui_ViewCell(v, half, c, r);
            Ui_LinkPacket(p, CELL_PACKET);
            if (v->packetsPerCell == 2 && v->firstRow + SlotRow(v, r) > 99)
                Ui_LinkPacket(p + CELL_PACKET, CELL_PACKET);
        }
    const WINDOW *w = v->head.parent;
    const int16_t clip[4] = {int16_t(v->head.x + (w ? w->x : 0)), int16_t(v->head.y + (w ? w->y : 0)),
                             int16_t((v->ringColumns - 2) * v->cellWidth), int16_t((v->ringRows - 2) * v->cellHeight)};
    Gfx_SetDrawAreaPacket(v->clip[half], clip);
    Ui_LinkPacket(v->clip[half], UI_ENV_BYTES);
    Ui_LinkPacket(v->mode[half], UI_MODE_BYTES);
}
