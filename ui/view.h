// The scrolling cell view (widget kind 2): a window onto a large table of cells, scrolled one cell
// at a time with a short pixel animation. A ring of (visible + 2) x (visible + 2) cell packets is
// rotated by index; a scroll rebuilds only the exposed column or row through the owner's cell
// callback.
#pragma once

#include "ui/scrollbar.h"
#include "ui/widgets.h"

#include <cstdint>

enum : uint32_t
{
    VIEW_MOVED = 1,
    VIEW_OTHER_MOVED = 2,
    VIEW_ROW_BAR = 8,
    VIEW_COLUMN_BAR = 0x10,
    VIEW_HIDDEN = 0x20,
    VIEW_ONE_PACKET = 0x1000,
};

// Fills the cell's packets (one or two of 24 bytes) for table cell (column, row) at (x, y); called
// for cells outside the table too, which must be drawn empty.
typedef void (*VIEWCELLCALLBACK)(uint8_t *packets, int32_t column, int32_t row, int32_t x, int32_t y);
typedef void (*VIEWSCROLLCALLBACK)(int32_t *direction);

struct VIEWDESC
{
    uint16_t x, y;
    uint8_t columns, rows, cellWidth, cellHeight;
    uint32_t flags;
    int16_t firstColumn, firstRow, columnCount, rowCount;
    uint8_t columnSpeed, rowSpeed;
    UICALLBACK frameA;
    VIEWCELLCALLBACK cell;
    UICALLBACK frameB;
    VIEWSCROLLCALLBACK columnScrolled;
    UIWIDGETCALLBACK columnBarChange;
    UIWIDGETCALLBACK press, held, release;
    const IMAGEREC *image;
};

struct VIEWWIDGET
{
    WIDGET head;
    uint8_t ringColumns, ringRows, cellWidth, cellHeight;
    int16_t firstColumn, firstRow, columnCount, rowCount;
    uint8_t packetsPerCell;
    int8_t columnStep, rowStep, columnOffset, rowOffset;
    uint8_t columnSpeed, rowSpeed;
    int8_t ringFirstColumn, ringLastColumn, ringFirstRow, ringLastRow;
    uint8_t redraw;
    UICALLBACK frameA;
    VIEWCELLCALLBACK cell;
    UICALLBACK frameB;
    VIEWSCROLLCALLBACK columnScrolled;
    SCROLLBAR *columnBar, *rowBar;
    uint8_t *cells[UI_HALVES]; // ring columns x ring rows x packets per cell, row by row
    uint8_t mode[UI_HALVES][UI_MODE_BYTES];
    uint8_t clip[UI_HALVES][UI_ENV_BYTES];
    uint8_t screen[UI_HALVES][UI_ENV_BYTES];
};

// The shared cell packet area of the grid screens.
constexpr size_t UI_GRID_CELL_BYTES = 614400;
extern uint8_t *g_pGridCellPackets;
extern VIEWWIDGET g_tView;
extern VIEWWIDGET *g_pGridView;

void Ui_InitViewPool();
// Gives the cell packet area back (shutdown); a view open on it is hidden and no longer points into
// it. Safe to repeat.
void Ui_FreeGridCellPackets();
// Null when the view is in use, the ring does not fit the cell area, or a bar cannot be made.
VIEWWIDGET *Ui_CreateView(const VIEWDESC *desc, WINDOW *parent);
void Ui_ViewScrollLeft(VIEWWIDGET *v);
void Ui_ViewScrollRight(VIEWWIDGET *v);
void Ui_ViewScrollUp(VIEWWIDGET *v);
void Ui_ViewScrollDown(VIEWWIDGET *v);
void Ui_RefreshView(VIEWWIDGET *v);
void Ui_StopGridScrollRepeat();
void Ui_DrawView(VIEWWIDGET *v);
// The packets of ring cell (c, r) of a half.
uint8_t *Ui_ViewCell(VIEWWIDGET *v, int half, int c, int r);
