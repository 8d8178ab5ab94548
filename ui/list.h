// The list widget (kind 1): a window of fixed-height rows over a longer list whose rows the owner
// supplies on demand. Only the visible rows and one above and below are held; a step past the
// top or bottom scrolls by a short animation and fetches the single new row.
#pragma once

#include "ui/scrollbar.h"
#include "ui/widgets.h"

#include <cstdint>

// fillRow operations.
enum
{
    LISTFILL_FIRST = 1, // the first row
    LISTFILL_NEXT = 2,  // row number n + 1
    LISTFILL_PREV = 4,  // row number n - 1
};

typedef void (*LISTDRAWROW)(void *row, int32_t x, int32_t y);
typedef void (*LISTFILLROW)(int32_t op, int32_t number, void *row, void *user);

struct LISTDESC
{
    uint16_t x, y, w, visibleRows, totalRows, selected, first, rowHeight, rowStride;
    int32_t ownerKind;
    LISTDRAWROW drawRow;
    LISTFILLROW fillRow;
    void *user;
    UIWIDGETCALLBACK press;
};

struct LISTWIDGET
{
    WIDGET head;
    uint16_t visibleRows, rowHeight, selected, first, totalRows;
    uint8_t upHeld, downHeld;
    SCROLLBAR *scrollBar;
    SCROLLBAR *folderBar;
    uint8_t background[UI_HALVES][UI_QUAD_BYTES];
    uint8_t clip[UI_HALVES][UI_ENV_BYTES];
    uint8_t *lines[UI_HALVES]; // visibleRows + 2 line packets each
    UICALLBACK overlay;
    int16_t repeatDelay;
    uint16_t holdCount;
    int8_t scrollOffset, scrollStep;
    LISTFILLROW fillRow;
    LISTDRAWROW drawRow;
    void *user;
    uint8_t *rows; // (visibleRows + 2) x rowStride; buffer k holds row first - 1 + k
    int16_t rowStride;
};

extern LISTWIDGET g_atLists[UI_LISTS];

void Ui_InitListPool();
// Null when all four are in use, the rows cannot be held, or the bar cannot be made (nothing is
// kept then).
LISTWIDGET *Ui_CreateList(const LISTDESC *desc, WINDOW *parent);
// Frees the row buffer and line arrays (the window's destruction, after finishing a step).
void Ui_FreeList(LISTWIDGET *list);
void Ui_RefillListRows(LISTWIDGET *list);
uint8_t *Ui_ListRowBuffer(LISTWIDGET *list, int32_t k);
void Ui_ListScrollUp(LISTWIDGET *list);
void Ui_ListScrollDown(LISTWIDGET *list);
void Ui_FinishListScroll(LISTWIDGET *list);
void Ui_DrawList(LISTWIDGET *list);
