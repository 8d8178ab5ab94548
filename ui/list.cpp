#include "ui/list.h"

#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/prims2d.h"
#include "ui/barmouse.h"
#include "ui/mouse.h"
#include "ui/popup.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

LISTWIDGET g_atLists[UI_LISTS];

namespace {

uint16_t RowNumber(const uint8_t *row)
{
    uint16_t n;
    std::memcpy(&n, row, 2);
    return n;
}

void SetLine(uint8_t *packet, int x0, int y, int x1, uint8_t green)
{
    Gfx_SetLinePacket(packet, x0, y, x1, y, 8, green, 4);
}

// Fetches row `number` (1-based, 0 or past the end = empty) into buffer k through the owner.
void Fetch(LISTWIDGET *l, int32_t op, int32_t number, int32_t k)
{
    uint8_t *row = Ui_ListRowBuffer(l, k);
    std::memset(row, 0, size_t(l->rowStride));
    if (l->fillRow)
        l->fillRow(op, number, row, l->user);
    // Whatever the owner did, the buffer says which row it holds, and rows out of range are empty.
    int32_t target = op == LISTFILL_FIRST ? 1 : op == LISTFILL_NEXT ? number + 1 : number - 1;
    if (target < 1 || target > l->totalRows) {
        std::memset(row, 0, size_t(l->rowStride));
        target = 0;
    }
    const uint16_t n = uint16_t(target);
    std::memcpy(row, &n, 2);
}

bool StepAccepted(const LISTWIDGET *l)
{
    return l->scrollStep == 0 && l->repeatDelay == 0 && (l->holdCount == 0 || l->holdCount > 10);
}

void MovePointer(const LISTWIDGET *l, int32_t dy)
{
    if (!(g_ucMouseButtons & 0x80) || !l->head.parent)
        return;
    const WINDOW *w = l->head.parent;
    const int32_t y = g_sMouseY + dy;
    if (y > w->y && y < w->y + w->h)
        g_sMouseY = int16_t(y);
}

} // namespace

void Ui_InitListPool()
{
    for (LISTWIDGET &l : g_atLists) {
        std::free(l.rows);
        std::free(l.lines[0]);
        std::free(l.lines[1]);
        std::memset(&l, 0, sizeof l);
        l.head.flags = WIDGET_FREE;
    }
}

LISTWIDGET *Ui_CreateList(const LISTDESC *desc, WINDOW *parent)
{
    if (!desc || desc->visibleRows == 0 || desc->rowStride < 2)
        return nullptr;
    LISTWIDGET *l = nullptr;
    for (LISTWIDGET &c : g_atLists)
        if (c.head.flags & WIDGET_FREE) {
            l = &c;
            break;
        }
    if (!l)
        return nullptr;
    const size_t lineCount = size_t(desc->visibleRows) + 2;
    uint8_t *rows = static_cast<uint8_t *>(std::calloc(lineCount, desc->rowStride));
    uint8_t *lines0 = static_cast<uint8_t *>(std::calloc(lineCount, UI_LINE_BYTES));
    uint8_t *lines1 = static_cast<uint8_t *>(std::calloc(lineCount, UI_LINE_BYTES));
    if (!rows || !lines0 || !lines1) {
        std::free(rows);
        std::free(lines0);
        std::free(lines1);
        return nullptr;
    }
    std::memset(l, 0, sizeof *l);
    l->head.kind = WIDGET_LIST;
    l->head.x = desc->x;
    l->head.y = desc->y;
    l->head.w = desc->w;
    l->head.h = uint16_t(desc->visibleRows * desc->rowHeight + 1);
    l->head.press = desc->press ? desc->press : Ui_ListRowClick;
    l->visibleRows = desc->visibleRows;
    l->rowHeight = desc->rowHeight;
    l->selected = desc->selected;
    l->first = desc->first;
    l->totalRows = desc->totalRows;
    l->fillRow = desc->fillRow;
    l->drawRow = desc->drawRow;
    l->user = desc->user;
    l->rows = rows;
    l->rowStride = int16_t(desc->rowStride);
    l->lines[0] = lines0;
    l->lines[1] = lines1;
    for (int half = 0; half < UI_HALVES; half++) {
        for (size_t k = 0; k < lineCount; k++)
            SetLine(l->lines[half] + k * UI_LINE_BYTES, desc->x, desc->y - desc->rowHeight + int(k) * desc->rowHeight,
                    desc->x + desc->w, 64);
        Gfx_SetFlatQuadPacket(l->background[half], desc->x, desc->y, desc->w, l->head.h, 24, 24, 24);
        const int16_t clip[4] = {int16_t(desc->x + (parent ? parent->x : 0)), int16_t(desc->y + (parent ? parent->y : 0)),
                                 int16_t(desc->w), int16_t(l->head.h)};
        Gfx_SetDrawAreaPacket(l->clip[half], clip);
    }
    if (parent)
        Ui_AttachWidget(parent, &l->head);
    SCROLLBARDESC bar{SCROLLBAR_VERTICAL, uint16_t(desc->x + desc->w), desc->y, 8, l->head.h, desc->first, 0,
                      desc->visibleRows, std::max(int32_t(desc->totalRows) - int32_t(desc->visibleRows), 0), nullptr,
                      Ui_ListScrollBarMouse, Ui_ListScrollBarMouse};
    l->scrollBar = Ui_CreateScrollBar(&bar, parent);
    if (!l->scrollBar) {
        // A list without its bar is not made: the window closes with what it has.
        if (parent) {
            WIDGET **at = &parent->children;
            while (*at && *at != &l->head)
                at = &(*at)->next;
            if (*at)
                *at = l->head.next;
        }
        Ui_FreeList(l);
        l->head.flags = WIDGET_FREE;
        return nullptr;
    }
    l->scrollBar->owner = l;
    // A library pop-up in mouse mode pages its sub-folders with a bar under the list.
    const int32_t kind = desc->ownerKind;
    int32_t total = 0, position = 0;
    if ((g_ucMouseButtons & MOUSE_MODE) && desc->user && (kind == 0 || kind == 1 || kind == 2 || kind == 23) &&
        Ui_PopupFolderBarRange(static_cast<const POPUP *>(desc->user), &total, &position)) {
        const int32_t range = std::max(total - 2, 0);
        SCROLLBARDESC folders{SCROLLBAR_HORIZONTAL, desc->x, uint16_t(desc->y + l->head.h), uint16_t(desc->w + 8), 8,
                              std::min(position, range), 0, range, range, nullptr, Ui_PagedListScrollBarMouse,
                              Ui_PagedListScrollBarMouse};
        l->folderBar = Ui_CreateScrollBar(&folders, parent);
        if (l->folderBar)
            l->folderBar->owner = l;
    }
    return l;
}

void Ui_FreeList(LISTWIDGET *list)
{
    if (!list)
        return;
    Ui_FinishListScroll(list);
    std::free(list->rows);
    std::free(list->lines[0]);
    std::free(list->lines[1]);
    list->rows = nullptr;
    list->lines[0] = list->lines[1] = nullptr;
}

void Ui_RefillListRows(LISTWIDGET *list)
{
    if (!list || !list->rows)
        return;
    for (int32_t k = -1; k <= list->visibleRows; k++)
        Fetch(list, LISTFILL_NEXT, list->first + k, k + 1);
}

uint8_t *Ui_ListRowBuffer(LISTWIDGET *list, int32_t k)
{
    return list && list->rows ? list->rows + k * list->rowStride : nullptr;
}

void Ui_ListScrollUp(LISTWIDGET *list)
{
    if (!list)
        return;
    if (list->selected > 0 && StepAccepted(list)) {
        list->repeatDelay = 3;
        if (int32_t(list->selected) - 1 < int32_t(list->first))
            list->scrollStep = 2;
        list->selected--;
        MovePointer(list, -list->rowHeight);
        g_iBlinkPhase = 0;
    }
    list->upHeld = 1;
    list->holdCount++;
}

void Ui_ListScrollDown(LISTWIDGET *list)
{
    if (!list)
        return;
    // Signed: an empty list has nothing to step to.
    if (int32_t(list->selected) < int32_t(list->totalRows) - 1 && StepAccepted(list)) {
        list->repeatDelay = 3;
        if (int32_t(list->selected) > int32_t(list->first) + list->visibleRows - 2)
            list->scrollStep = -2;
        list->selected++;
        MovePointer(list, list->rowHeight);
        g_iBlinkPhase = 0;
    }
    list->downHeld = 1;
    list->holdCount++;
}

void Ui_FinishListScroll(LISTWIDGET *list)
{
    if (!list || list->scrollStep == 0)
        return;
    if (list->scrollStep > 0)
        list->first--;
    else
        list->first++;
    list->scrollOffset = 0;
    list->scrollStep = 0;
}

namespace {

void ScrollStep(LISTWIDGET *l)
{
    if (!l->upHeld && !l->downHeld)
        l->holdCount = 0;
    if (l->repeatDelay > 0)
        l->repeatDelay--;
    if (l->scrollStep) {
        l->scrollOffset = int8_t(l->scrollOffset + l->scrollStep);
        if (std::abs(l->scrollOffset) >= l->rowHeight) {
            const int32_t last = l->visibleRows + 1;
            if (l->scrollOffset < 0) {
                l->first++;
                std::memmove(l->rows, l->rows + l->rowStride, size_t(last) * l->rowStride);
                Fetch(l, LISTFILL_NEXT, RowNumber(Ui_ListRowBuffer(l, l->visibleRows)), last);
            } else {
                l->first--;
                std::memmove(l->rows + l->rowStride, l->rows, size_t(last) * l->rowStride);
                Fetch(l, LISTFILL_PREV, RowNumber(Ui_ListRowBuffer(l, 1)), 0);
            }
            Ui_SetScrollBarPos(l->scrollBar, l->first);
            Ui_MarkScrollBarDirty(l->scrollBar);
            l->scrollOffset = 0;
            l->scrollStep = 0;
        }
    }
    l->upHeld = l->downHeld = 0;
}

} // namespace

void Ui_DrawList(LISTWIDGET *list)
{
    if (!list || !list->rows)
        return;
    ScrollStep(list);
    const int half = g_iFrameBufferIndex & 1;
    FONT *font = g_pFont;
    g_pFont = &g_tFontMain;
    const uint32_t colour = g_uiTextColour;
    const bool focused = list->head.parent && list->head.parent == g_pFocusWidget;
    const uint32_t f = list->head.flags;
    const bool light = (!(f & WIDGET_LIST_NO_FOCUS_LIGHT) && focused) || (f & WIDGET_LIST_ALWAYS_LIT) ||
                       (f & WIDGET_LIST_LIT_GREEN);
    Gfx_AddDrawArea(0, 0, g_iScreenWidth, g_iScreenHeight);
    uint8_t *lines = list->lines[half];
    for (int32_t k = 0; k < list->visibleRows + 2; k++) {
        const int32_t y = list->head.y - list->rowHeight + list->scrollOffset + k * list->rowHeight;
        const uint8_t *row = Ui_ListRowBuffer(list, k);
        const uint16_t number = RowNumber(row);
        const bool selected = number == uint32_t(list->selected) + 1;
        uint8_t *line = lines + size_t(k) * UI_LINE_BYTES;
        const bool lit = (selected && light) || (k > 0 && RowNumber(Ui_ListRowBuffer(list, k - 1)) == list->selected + 1 && light);
        SetLine(line, list->head.x, y, list->head.x + list->head.w, lit ? 128 : 64);
        Ui_LinkPacket(line, UI_LINE_BYTES);
        if (number == 0 || number > list->totalRows || !list->drawRow)
            continue;
        g_uiTextColour = selected && (focused || (f & WIDGET_LIST_LIT_GREEN)) ? 0x008000 : 0x808080;
        list->drawRow(const_cast<uint8_t *>(row), list->head.x + 2, y);
    }
    if (list->overlay)
        list->overlay();
    Ui_LinkPacket(list->background[half], UI_QUAD_BYTES);
    Ui_LinkPacket(list->clip[half], UI_ENV_BYTES);
    g_uiTextColour = colour;
    g_pFont = font;
}
