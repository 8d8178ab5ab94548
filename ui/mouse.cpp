#include "ui/mouse.h"

#include "app/devices.h"
#include "app/startup.h"
#include "render/gpustate.h"
#include "ui/list.h"
#include "ui/scrollbar.h"

#include <algorithm>
#include <cstdlib>

int16_t g_sMouseX = 0, g_sMouseY = 0;
uint8_t g_ucMouseButtons = 0;
WIDGET *g_pClickedWidget = nullptr;
int32_t g_bMouseHoldMarked = 0;
int32_t g_iMouseHoldFrames = 0;
int32_t g_bPointerFrozen = 0;

namespace {

bool Inside(int x, int y, int rx, int ry, int rw, int rh)
{
    return x >= rx && y >= ry && x < rx + rw && y < ry + rh;
}

SCROLLBAR *Bar(WIDGET *w)
{
    return w && w->kind == WIDGET_SCROLLBAR ? reinterpret_cast<SCROLLBAR *>(w) : nullptr;
}

// Which part of the bar the pointer is on, and the step a press there asks for.
int PartAt(const SCROLLBAR *b, int16_t *step)
{
    const bool v = !(b->head.flags & SCROLLBAR_HORIZONTAL);
    const WINDOW *w = b->head.parent;
    const int at = (v ? g_sMouseY - (w ? w->y : 0) - b->head.y : g_sMouseX - (w ? w->x : 0) - b->head.x);
    const int length = v ? b->head.h : b->head.w;
    int32_t top, middle;
    Ui_ScrollThumbGeometry(b, &top, &middle);
    top -= v ? b->head.y : b->head.x;
    if (at < 8) {
        *step = -1;
        return SCROLLPART_FIRST_ARROW;
    }
    if (at >= length - 8) {
        *step = 1;
        return SCROLLPART_SECOND_ARROW;
    }
    if (at < top) {
        *step = int16_t(-(b->page - 1));
        return SCROLLPART_NONE;
    }
    if (at >= top + 16 + middle) {
        *step = int16_t(b->page - 1);
        return SCROLLPART_NONE;
    }
    *step = 0;
    return SCROLLPART_THUMB;
}

void ApplyStep(SCROLLBAR *b)
{
    const int32_t hi = std::max(b->minimum, b->maximum);
    const int32_t p = std::clamp(b->position + b->step, b->minimum, hi);
    if (p != b->position) {
        b->position = p;
        if (b->change)
            b->change(&b->head);
        Ui_MarkScrollBarDirty(b);
    }
}

} // namespace

void Ui_InitMousePointer()
{
    g_sMouseX = int16_t(g_iScreenWidth / 2);
    g_sMouseY = int16_t(g_iScreenHeight / 2);
    g_iPointerX = g_sMouseX;
    g_iPointerY = g_sMouseY;
    g_ucMouseButtons &= 0x80;
    g_pClickedWidget = nullptr;
}

WINDOW *Ui_WindowAt(int x, int y)
{
    for (int i = g_ucWindowDepth - 1; i >= 0; i--) {
        WINDOW *w = g_apWindowStack[i];
        if (Ui_WindowIsOpen(w) && (!g_pModalWindow || g_pModalWindow == w) && Inside(x, y, w->x, w->y, w->w, w->h))
            return w;
    }
    return nullptr;
}

WIDGET *Ui_WidgetAt(WINDOW *w, int x, int y)
{
    if (!w)
        return nullptr;
    for (WIDGET *c = w->children; c; c = c->next)
        if (!(c->flags & (WIDGET_FREE | WIDGET_HIDDEN)) && Inside(x, y, w->x + c->x, w->y + c->y, c->w, c->h))
            return c;
    return nullptr;
}

// The left button's routing: press to the widget under the pointer, which takes the capture;
// held and release to the captured widget.
void Ui_DispatchMouseButtons()
{
    const bool down = g_iMouseButton1 == 0;
    static bool s_wasDown = false;
    if (down && !s_wasDown) {
        g_pClickedWidget = Ui_WidgetAt(Ui_WindowAt(g_sMouseX, g_sMouseY), g_sMouseX, g_sMouseY);
        if (g_pClickedWidget && g_pClickedWidget->press)
            g_pClickedWidget->press(g_pClickedWidget);
    } else if (down && g_pClickedWidget) {
        g_bMouseHoldMarked = 1;
        g_iMouseHoldFrames++;
        if (g_pClickedWidget && g_pClickedWidget->held)
            g_pClickedWidget->held(g_pClickedWidget);
    } else if (!down && s_wasDown && g_pClickedWidget) {
        WIDGET *w = g_pClickedWidget;
        g_pClickedWidget = nullptr;
        if (w->release)
            w->release(w);
    }
    s_wasDown = down;
}

void Ui_FreeNodeList(void *record)
{
    if (!record)
        return;
    void **head = reinterpret_cast<void **>(record) + 1;
    void *node = *head;
    while (node) {
        void *next = *reinterpret_cast<void **>(node);
        std::free(node);
        node = next;
    }
    *head = nullptr;
}

void Ui_ScrollBarPress(WIDGET *w)
{
    SCROLLBAR *b = Bar(w);
    if (!b)
        return;
    b->pressed = uint8_t(PartAt(b, &b->step));
    b->holdCount = 6;
    ApplyStep(b);
}

void Ui_ScrollBarHeld(WIDGET *w)
{
    SCROLLBAR *b = Bar(w);
    if (!b || b->holdCount)
        return;
    int16_t step = 0;
    PartAt(b, &step);
    b->step = step;
    ApplyStep(b);
}

void Ui_ListScrollPress(WIDGET *w)
{
    SCROLLBAR *b = Bar(w);
    if (!b)
        return;
    int16_t step = 0;
    b->pressed = uint8_t(PartAt(b, &step));
    b->holdCount = 6;
    auto *list = static_cast<LISTWIDGET *>(b->owner);
    if (!list)
        return;
    if (step < 0)
        Ui_ListScrollUp(list);
    else if (step > 0)
        Ui_ListScrollDown(list);
}

void Ui_ListScrollHeld(WIDGET *w)
{
    SCROLLBAR *b = Bar(w);
    if (!b || b->holdCount)
        return;
    Ui_ListScrollPress(w);
    b->holdCount = 0;
}

void Ui_ListRowClick(WIDGET *w)
{
    if (!w || w->kind != WIDGET_LIST)
        return;
    auto *list = reinterpret_cast<LISTWIDGET *>(w);
    const WINDOW *win = w->parent;
    const int y = g_sMouseY - (win ? win->y : 0) - w->y;
    if (list->rowHeight == 0 || y < 0)
        return;
    const int32_t row = int32_t(list->first) + y / list->rowHeight;
    if (row >= 0 && row < list->totalRows && list->scrollStep == 0)
        list->selected = uint16_t(row);
    g_pFocusWidget = w->parent;
}
