#include "ui/mouse.h"
#include "ui/hover.h"
#include "ui/clickactions.h"
#include "ui/valueslider.h"

#include "app/calllog.h"
#include "app/devices.h"
#include "app/startup.h"
#include "core/browser.h"
#include "core/padbind.h"
#include "editors/curveeditor.h"
#include "jam/netobjects.h"
#include "render/gpustate.h"
#include "ui/gridstate.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/padslot.h"
#include "ui/popup.h"
#include "ui/scrollbar.h"
#include "ui/toolbar.h"
#include "ui/view.h"
#include "video/engine.h"

#include <algorithm>
#include <cstdlib>
#include <new>

int16_t g_sMouseX = 0, g_sMouseY = 0;
int16_t g_sGrabX = 0, g_sGrabY = 0;
uint8_t g_ucMouseButtons = 0;
WINDOW *g_pMouseWindow = nullptr;
WIDGET *g_pClickedWidget = nullptr;
int32_t g_bMouseHoldMarked = 0;
int32_t g_iMouseHoldFrames = 0;
int32_t g_bPointerFrozen = 0;
int32_t g_iLastClickTime = 0;
UIWINDOWROLEREC g_atWindowRoles[UI_ROLES];
void (*g_pfnEndPlaylist)() = nullptr;
void (*g_pfnResetSliderAcceleration)() = Ui_ResetSliderAcceleration;
void (*g_pfnMouseHover)() = nullptr;

namespace {

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


bool InsideEdges(int x, int y, int rx, int ry, int rw, int rh)
{
    return x >= rx && y >= ry && x <= rx + rw && y <= ry + rh;
}

bool Focused(const WINDOW *w)
{
    return w && g_pFocusWidget == w;
}

WINDOW *Role(int role)
{
    return g_atWindowRoles[role].window;
}

bool IsRole(const WINDOW *w, int role)
{
    return w && g_atWindowRoles[role].window == w && g_atWindowRoles[role].click;
}

void RunRole(int role, int32_t event)
{
    if (g_atWindowRoles[role].click)
        g_atWindowRoles[role].click(event);
}

// The window's own handler, first match wins.
void WindowHandler(WINDOW *w)
{
    if (IsRole(w, UI_ROLE_GRID) && Focused(w)) {
        RunRole(UI_ROLE_GRID, UI_CLICK_PRESS);
        return;
    }
    if (IsRole(w, UI_ROLE_SAMPLE_EDITOR))
        return RunRole(UI_ROLE_SAMPLE_EDITOR, UI_CLICK_PRESS);
    if (IsRole(w, UI_ROLE_FILE_BROWSER))
        return RunRole(UI_ROLE_FILE_BROWSER, UI_CLICK_PRESS);
    if (IsRole(w, UI_ROLE_BAR_RANGE) && g_iScreen == 22 && g_ucOptionPageMode != 4)
        return RunRole(UI_ROLE_BAR_RANGE, UI_CLICK_PRESS);
    if (IsRole(w, UI_ROLE_CHASE_EDITOR) && g_iScreen != 21)
        return RunRole(UI_ROLE_CHASE_EDITOR, UI_CLICK_PRESS);
    if (IsRole(w, UI_ROLE_CD_OPTIONS) && g_iScreen == 22 && g_ucOptionPageMode == 4)
        return RunRole(UI_ROLE_CD_OPTIONS, UI_CLICK_PRESS);
    if (IsRole(w, UI_ROLE_CD_SCREEN) && g_iScreen == 54)
        return RunRole(UI_ROLE_CD_SCREEN, UI_CLICK_PRESS);
    if (IsRole(w, UI_ROLE_SLOT_DIALOG) && g_iScreen == 56)
        return RunRole(UI_ROLE_SLOT_DIALOG, UI_CLICK_PRESS);
    if (IsRole(w, UI_ROLE_KEYBOARD) && (g_iScreen == 18 || g_iScreen == 62))
        return RunRole(UI_ROLE_KEYBOARD, UI_CLICK_PRESS);
    if (IsRole(w, UI_ROLE_ICON_GRID))
        return RunRole(UI_ROLE_ICON_GRID, UI_CLICK_PRESS);
    if (IsRole(w, UI_ROLE_SLOT_DIALOG))
        return RunRole(UI_ROLE_SLOT_DIALOG, UI_CLICK_PRESS);
    if (w && w == Role(UI_ROLE_PREVIEW))
        Ui_RunPadSlot(9);
}

} // namespace

void Ui_SetWindowRole(int32_t role, WINDOW *window, UIROLECLICK click)
{
    if (role < 0 || role >= UI_ROLES)
        return;
    g_atWindowRoles[role].window = window;
    // An owner without a handler of its own gets its role's click map.
    g_atWindowRoles[role].click = window ? (click ? click : Ui_DefaultRoleClick(role)) : nullptr;
}

void Ui_ForgetWindowRoles(const WINDOW *window)
{
    for (UIWINDOWROLEREC &r : g_atWindowRoles)
        if (window && r.window == window)
            r = {};
    if (g_pMouseWindow == window)
        g_pMouseWindow = nullptr;
}

void Ui_InitMousePointer()
{
    g_sMouseX = int16_t(g_iScreenWidth / 2);
    g_sMouseY = int16_t(g_iScreenHeight / 2);
    g_iPointerX = g_sMouseX;
    g_iPointerY = g_sMouseY;
    // Both buttons up; the mode bit survives (it is switched on once, before the pools start).
    g_ucMouseButtons = uint8_t((g_ucMouseButtons & MOUSE_MODE) | MOUSE_LEFT_WAS_UP | MOUSE_RIGHT_WAS_UP);
    g_pClickedWidget = nullptr;
    g_pMouseWindow = nullptr;
    g_bPointerFrozen = 0;
    for (UIWINDOWROLEREC &r : g_atWindowRoles)
        r = {};
    Ui_InitPointerModes();
    g_pPointerTool = &g_atPointerTools[0];
}

void Ui_ToggleMouseMode()
{
    Sys_CallLog("Ui_ToggleMouseMode");
    g_ucMouseButtons ^= MOUSE_MODE;
}

void Ui_FreezePointer()
{
    g_bPointerFrozen = 1;
}

void Ui_UnfreezePointer()
{
    g_bPointerFrozen = 0;
}

int32_t Ui_PointerInWindow(const WINDOW *w)
{
    return w && InsideEdges(g_sMouseX, g_sMouseY, w->x, w->y, w->w, w->h) ? 1 : 0;
}

int32_t Ui_PointerInRect(const UIRECT *r)
{
    return r && g_sMouseX >= r->x && g_sMouseY >= r->y && g_sMouseX < r->x + r->w && g_sMouseY < r->y + r->h ? 1
                                                                                                             : 0;
}

WINDOW *Ui_WindowAtPointer()
{
    for (int i = g_ucWindowDepth - 1; i >= 0; i--) {
        WINDOW *w = g_apWindowStack[i];
        if (Ui_WindowIsOpen(w) && !w->closing && Ui_PointerInWindow(w))
            return w;
    }
    return nullptr;
}

WIDGET *Ui_WidgetAtPointer(WINDOW *w)
{
    if (!w)
        return nullptr;
    for (WIDGET *c = w->children; c; c = c->next) {
        if (c->flags & (WIDGET_FREE | WIDGET_HIDDEN))
            continue;
        const int x = w->x + c->x, y = w->y + c->y;
        if (InsideEdges(g_sMouseX, g_sMouseY, x, y, c->w, c->h)) {
            g_sGrabX = int16_t(g_sMouseX - x);
            g_sGrabY = int16_t(g_sMouseY - y);
            return c;
        }
    }
    return nullptr;
}

void Ui_AddClickArea(WINDOW *w, const UIRECT *r, void (*callback)(uint32_t value), uint32_t value)
{
    if (!w || !r)
        return;
    auto *node = static_cast<CLICKAREA *>(std::malloc(sizeof(CLICKAREA)));
    if (!node)
        return;
    *node = {nullptr, value, r->x, r->y, r->w, r->h, callback};
    CLICKAREA **at = reinterpret_cast<CLICKAREA **>(&w->nodes);
    while (*at)
        at = &(*at)->next;
    *at = node;
}

int32_t Ui_RunClickArea(WINDOW *w)
{
    if (!w)
        return 0;
    for (CLICKAREA *a = static_cast<CLICKAREA *>(w->nodes); a; a = a->next) {
        if (a->callback && InsideEdges(g_sMouseX, g_sMouseY, w->x + a->x, w->y + a->y, a->w, a->h)) {
            a->callback(a->value);
            return 1;
        }
    }
    return 0;
}

void Ui_DispatchMouseClick()
{
    if (!(g_ucMouseButtons & MOUSE_MODE)) {
        g_bMouseClicked = 0;
        return;
    }
    if (!g_bJamSessionOn) {
        Ui_DrawFKeyToolbar();
        Ui_UpdatePointerMode();
    }
    Ui_PointerHover();
    if (g_pfnMouseHover)
        g_pfnMouseHover();
    const bool leftDown = g_iMouseButton1 == 0, rightDown = g_iMouseButton2 == 0;
    uint8_t b = g_ucMouseButtons & (MOUSE_MODE | MOUSE_LEFT_WAS_UP | MOUSE_RIGHT_WAS_UP);
    if ((b & MOUSE_LEFT_WAS_UP) && leftDown)
        b |= MOUSE_LEFT_PRESS;
    if ((b & MOUSE_RIGHT_WAS_UP) && rightDown)
        b |= MOUSE_RIGHT_PRESS;
    if (g_bMouseClicked)
        b |= MOUSE_LEFT_RELEASE;
    g_bMouseClicked = 0;
    if (leftDown)
        b |= MOUSE_LEFT_DOWN;
    if (rightDown)
        b |= MOUSE_RIGHT_DOWN;
    if (g_iScreen == 55) {
        // The display-position page moves the display, not the pointer.
    } else if (!g_bPointerFrozen) {
        g_sMouseX = int16_t(std::clamp(g_sMouseX + g_iMouseDeltaX, 0, std::max(0, g_iScreenWidth - 12)));
        g_sMouseY = int16_t(std::clamp(g_sMouseY + g_iMouseDeltaY, 0, std::max(0, g_iScreenHeight - 12)));
    }
    // Whoever else moved the pointer (lists, keyboards) is held to the same bounds.
    g_sMouseX = int16_t(std::clamp<int>(g_sMouseX, 0, std::max(0, g_iScreenWidth - 12)));
    g_sMouseY = int16_t(std::clamp<int>(g_sMouseY, 0, std::max(0, g_iScreenHeight - 12)));
    g_iPointerX = g_sMouseX;
    g_iPointerY = g_sMouseY;
    b = uint8_t(b & ~(MOUSE_LEFT_WAS_UP | MOUSE_RIGHT_WAS_UP));
    if (!leftDown)
        b |= MOUSE_LEFT_WAS_UP;
    if (!rightDown)
        b |= MOUSE_RIGHT_WAS_UP;
    g_ucMouseButtons = b;
}

void Ui_DispatchMouseButtons()
{
    if (!(g_ucMouseButtons & MOUSE_MODE))
        return;
    if (g_ucMouseButtons & MOUSE_LEFT_PRESS) {
        g_pMouseWindow = Ui_WindowAtPointer();
        Ui_MouseLeftPress(g_pMouseWindow);
    } else if (g_ucMouseButtons & MOUSE_LEFT_RELEASE) {
        g_pMouseWindow = Ui_WindowAtPointer();
        Ui_MouseLeftRelease(g_pMouseWindow);
    } else if (g_ucMouseButtons & MOUSE_LEFT_DOWN) {
        g_pMouseWindow = Ui_WindowAtPointer();
        Ui_MouseLeftHeld(g_pMouseWindow);
    }
    if (g_ucMouseButtons & MOUSE_RIGHT_PRESS) {
        g_pMouseWindow = Ui_WindowAtPointer();
        Ui_MouseRightPress();
    }
}

void Ui_MouseLeftPress(WINDOW *w)
{
    if (!w)
        return;
    g_pClickedWidget = nullptr;
    if (g_ucFullScreenVideo) {
        Ui_RunPadSlot(9);
        return;
    }
    WINDOW *preview = Role(UI_ROLE_PREVIEW);
    if (!Focused(w) && w != preview)
        return; // consumed without effect
    if (g_iScreen == 60) {
        if (g_pfnEndPlaylist)
            g_pfnEndPlaylist();
        return;
    }
    if (g_iScreen == 50 && g_ucHelpTopic != 108 && !Ui_WidgetAtPointer(w)) {
        Ui_RunPadSlot(14);
        return;
    }
    if (g_iScreen == 4 || g_iScreen == 5) {
        WINDOW *grid = Role(UI_ROLE_GRID);
        if (w == preview) {
            Ui_RunPadSlot(9);
            return;
        }
        if (grid && (g_ucGridKind == 1 || g_ucGridKind == 2)) {
            // The lane header is the strip two cells wide at the window's own left edge.
            const int offset = g_sMouseX - grid->x;
            if (offset > 0 && offset < 2 * g_iGridCellWidth) {
                RunRole(UI_ROLE_GRID, UI_CLICK_LANE);
                return;
            }
        }
        Ui_RunPadSlot(3);
        return;
    }
    Ui_RunClickArea(w);
    g_pClickedWidget = Ui_WidgetAtPointer(w);
    if (g_pClickedWidget && g_pClickedWidget->press) {
        g_pClickedWidget->press(g_pClickedWidget);
        return;
    }
    WindowHandler(w);
}

void Ui_MouseLeftRelease(WINDOW *w)
{
    if (g_pfnResetSliderAcceleration)
        g_pfnResetSliderAcceleration();
    // The capture ends with every release: a release away from the focused window would
    // otherwise leave the widget captured, and a later hold would drive it again.
    WIDGET *clicked = g_pClickedWidget;
    g_pClickedWidget = nullptr;
    if (!w || (!Focused(w) && w != Role(UI_ROLE_PREVIEW)))
        return;
    if (IsRole(w, UI_ROLE_SAMPLE_EDITOR))
        RunRole(UI_ROLE_SAMPLE_EDITOR, UI_CLICK_RELEASE);
    if (clicked && clicked->release && !(clicked->flags & WIDGET_FREE))
        clicked->release(clicked);
    if (IsRole(w, UI_ROLE_CHASE_EDITOR))
        RunRole(UI_ROLE_CHASE_EDITOR, UI_CLICK_RELEASE);
    if (IsRole(w, UI_ROLE_OPTION))
        RunRole(UI_ROLE_OPTION, UI_CLICK_RELEASE);
    if (IsRole(w, UI_ROLE_CD_SCREEN))
        RunRole(UI_ROLE_CD_SCREEN, UI_CLICK_RELEASE);
}

void Ui_MouseLeftHeld(WINDOW *w)
{
    g_bMouseHoldMarked = 1;
    g_iMouseHoldFrames++;
    if (g_pClickedWidget && g_pClickedWidget->held) {
        g_pClickedWidget->held(g_pClickedWidget);
        return;
    }
    if (!Focused(w))
        return;
    if (IsRole(w, UI_ROLE_SAMPLE_EDITOR))
        RunRole(UI_ROLE_SAMPLE_EDITOR, UI_CLICK_HELD);
    else if (IsRole(w, UI_ROLE_CHASE_EDITOR))
        RunRole(UI_ROLE_CHASE_EDITOR, UI_CLICK_HELD);
}

void Ui_MouseRightPress()
{
    switch (g_iScreen) {
    case 16: case 14: case 3: case 12: case 54: case 39: case 55:
        Ui_RunPadSlot(12);
        return;
    case 0:
    case 7: {
        const WINDOW *grid = Role(UI_ROLE_GRID);
        if (grid && g_pGridView && g_pGridView->cellWidth && g_pGridView->cellHeight) {
            const VIEWWIDGET *v = g_pGridView;
            int column = (g_sMouseX - grid->x - v->head.x) / v->cellWidth;
            int row = (g_sMouseY - grid->y - v->head.y) / v->cellHeight;
            column = std::max(column, 0);
            row = std::max(row, 0);
            if (g_ucGridKind == 1)
                row = std::max(0, std::min(row, g_ucGridRowCount - v->firstRow - 2));
            g_sGridCursorX = int16_t(column);
            g_sGridCursorY = int16_t(row);
        }
        Ui_RunPadSlot(13);
        return;
    }
    case 9:
        Ui_PopupRightPress();
        return;
    case 21:
        return;
    default:
        Ui_RunPadSlot(13);
    }
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

int32_t Ui_ScrollBarStepAtPointer(const SCROLLBAR *bar)
{
    int16_t step = 0;
    if (!bar || !(bar->head.flags & (SCROLLBAR_VERTICAL | SCROLLBAR_HORIZONTAL)))
        return 0;
    PartAt(bar, &step);
    // The track repeats only once its delay has run out; the arrows every time.
    if ((step > 1 || step < -1) && bar->holdCount)
        return 0;
    return step;
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
    if (row < 0 || row >= list->totalRows || list->scrollStep != 0)
        return;
    Ui_ListRowChosen(list, row);
}

void Ui_ListRowChosen(LISTWIDGET *list, int32_t row)
{
    // A click on a row of the help topics, a pop-up or the page menu chooses it, as slot 14 does.
    if (g_iScreen == 49) {
        Ui_RunPadSlot(14);
        return;
    }
    POPUP *popup = g_pCurrentPopup && !g_pCurrentPopup->free ? g_pCurrentPopup : nullptr;
    LISTWIDGET *menu = g_pPageMenuPopup && !g_pPageMenuPopup->free ? g_pPageMenuPopup->list : nullptr;
    auto select = [row](LISTWIDGET *l) {
        if (l && l->totalRows > 0)
            l->selected = uint16_t(std::min<int32_t>(row, l->totalRows - 1));
    };
    auto copyToDesc = [popup] {
        if (popup && popup->list && popup->desc) {
            popup->desc->selected = popup->list->selected;
            popup->desc->first = popup->list->first;
        }
    };
    if (!menu && popup && popup->list == list && g_iScreen == 9) {
        select(popup->list);
        copyToDesc();
        Ui_RunPadSlot(14);
        return;
    }
    if (menu && g_iScreen == 21) {
        select(menu);
        if (popup && popup->list && list != menu) {
            select(popup->list);
            copyToDesc();
        }
        Ui_RunPadSlot(14);
        return;
    }
    // A preset of the curve editor's list is shown on the curve and kept at once.
    if (list == g_pCurvePresetList && Ed_CurveEditorIsOpen()) {
        Ed_CurvePresetLayouts();
        Ed_CurveEditAccept();
    }
}
