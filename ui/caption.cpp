#include "ui/caption.h"

#include "app/calllog.h"
#include "app/startup.h"
#include "jam/jamsession.h"
#include "core/padbind.h"
#include "editors/topbar.h"
#include "render/gpustate.h"
#include "sequencer/instruments.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/handlers.h"
#include "ui/mouse.h"
#include "ui/padslot.h"
#include "ui/textfield.h"

#include <algorithm>

void Ui_CaptionDragTarget(int32_t px, int32_t py, int32_t w, int32_t h, int32_t *x, int32_t *y)
{
    // 6 and 7: the caption's own offset in its window, so the grab point stays under the pointer.
    int32_t nx = std::max(0, (px - g_sGrabX - 6) & ~1);
    int32_t ny = std::max(0, py - g_sGrabY - 7);
    if (nx + w > g_iScreenWidth)
        nx = (g_iScreenWidth - w) & ~1;
    if (ny + h > g_iScreenHeight)
        ny = g_iScreenHeight - h;
    // A window larger than the screen stays at the left / top edge.
    *x = std::max(0, nx);
    *y = std::max(0, ny);
}

void Ui_CaptionMouse(WIDGET *caption)
{
    if (!caption || !g_pFocusWidget || caption->kind != WIDGET_TEXTFIELD)
        return;
    WINDOW *w = caption->parent;
    if (!w)
        return;
    const uint8_t style = reinterpret_cast<TEXTFIELD *>(caption)->style;
    if (g_sMouseX < w->x + 23 && w->closing == 0 && (g_ucMouseButtons & MOUSE_LEFT_PRESS) &&
        !(style & TEXTFIELD_NO_ICON)) {
        Ui_CloseBoxClick();
        return;
    }
    if (style & TEXTFIELD_NO_DRAG)
        return;
    int32_t x, y;
    Ui_CaptionDragTarget(g_sMouseX, g_sMouseY, w->w, w->h, &x, &y);
    if (x != w->x || y != w->y)
        Ui_MoveWindow(w, x, y);
}

void Ui_CaptionRelease(WIDGET *)
{
    g_pClickedWidget = nullptr;
}

void Ui_CloseBoxClick()
{
    Sys_CallLog("Ui_CloseBoxClick");
    g_pClickedWidget = nullptr;
    Seq_PlayInterfaceSound(4);
    if (g_iScreen == 36 || g_iScreen == 37 || g_iScreen == 38 || g_iScreen == 2) {
        Ed_LeaveScreen();
    } else if (g_pFocusWidget != g_pTopBarWindow || g_bJamSessionOn) {
        Ui_RunPadSlot(12);
        if (g_ucGridKind != 3 && g_pGridWindow && (g_iNextScreen == 0 || g_iNextScreen == 39 ||
                                                   (g_iNextScreen == -1 && (g_iScreen == 0 || g_iScreen == 39)))) {
            g_sGridCursorX = int16_t(std::max(0, Ui_GridMouseColumn()));
            g_sGridCursorY = int16_t(std::max(0, Ui_GridMouseRow()));
        }
    }
    Ui_ApplyNextScreen();
}
