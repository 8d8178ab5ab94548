// Hover steps of the panels and dialogs: what lies under the pointer becomes the current one, so
// that a click or a pad press acts on it.
#include "ui/hover.h"

#include "app/devices.h"
#include "core/padbind.h"
#include "editors/chaseeditor.h"
#include "editors/curveeditor.h"
#include "editors/curvewidget.h"
#include "editors/filescreen.h"
#include "editors/options.h"
#include "editors/songlanes.h"
#include "ui/clickmaps.h"
#include "ui/iconpicker.h"
#include "ui/gridcells.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/help.h"
#include "ui/list.h"
#include "ui/mouse.h"
#include "ui/noteparams.h"
#include "ui/popup.h"
#include "ui/riffeditor.h"
#include "ui/samplepanel.h"
#include "ui/view.h"
#include "ui/widgets.h"
#include "video/engine.h"
#include "video/render.h"

#include <cstdlib>

namespace {

bool StrictlyBetween(int32_t v, int32_t a, int32_t b)
{
    return v > a && v < b;
}

bool NoteSelected()
{
    return g_ucSelectedNoteValue != 0x42 && g_tSelectedNote.ucState != 255;
}

// The riff panel's click area under the pointer: its value, -1 for none.
int32_t PanelAreaAtPointer(const WINDOW *w)
{
    for (const CLICKAREA *a = static_cast<const CLICKAREA *>(w->nodes); a; a = a->next)
        if (g_sMouseX >= w->x + a->x && g_sMouseX <= w->x + a->x + a->w && g_sMouseY >= w->y + a->y &&
            g_sMouseY <= w->y + a->y + a->h)
            return int32_t(a->value);
    return -1;
}

// The pointer was over the panel at the last hover: the panel is taken when the pointer comes
// onto it, so a Back with the pointer resting there stays back.
bool s_bWasOverPanel = false;
// The setting the pointer was over: it becomes the current one when the pointer comes onto it,
// so the keys can move on while the pointer rests.
int32_t s_iLastPanelArea = -1;

} // namespace

void Ui_RiffPanelHover()
{
    const WINDOW *w = g_pGridWindow;
    if (!w || g_ucGridKind != 3)
        return;
    const int32_t px = g_sMouseX, py = g_sMouseY;
    const bool overPanel = StrictlyBetween(px, w->x + 252, w->x + 340) && StrictlyBetween(py, w->y + 25, w->y + 165);
    const bool entering = overPanel && !s_bWasOverPanel;
    s_bWasOverPanel = overPanel;
    if (overPanel) {
        // The panel edits the selected note: without one there is nothing to take.
        if (entering && g_iScreen == 0 && g_iNextScreen != 14 && NoteSelected()) {
            g_ucNotePanelFlags &= uint8_t(~1u);
            g_iNextScreen = 14;
        }
        const int32_t area = PanelAreaAtPointer(w);
        if ((g_iScreen == 14 || g_iNextScreen == 14) && area >= 0 && area < UI_NOTE_GADGETS &&
            area != s_iLastPanelArea)
            g_ucNoteGadget = uint8_t(area);
        s_iLastPanelArea = area;
        return;
    }
    s_iLastPanelArea = -1;
    // Elsewhere on the grid the panel is let go, unless a drag holds it or it edits a marked area
    // (that one is left by its own Back, which applies it).
    if (g_iScreen == 14 && Ui_PointerInWindow(w) && !(g_ucNotePanelFlags & 1) && !g_bGridDragLock &&
        g_iMouseButton1 != 0)
        Ui_NoteParamBack();
}

void Ui_FileBrowserHover()
{
    const WINDOW *w = g_pFileBrowserWindow;
    if (g_iScreen != 11 || !w || !Ui_WindowIsOpen(w))
        return;
    const int32_t px = g_sMouseX, py = g_sMouseY;
    if (!StrictlyBetween(py, w->y + 235, w->y + 262))
        return;
    if (StrictlyBetween(px, w->x + 7, w->x + 142))
        g_ucFileBrowserField = uint8_t(2 + (px - w->x - 7) / 27);
    else if (StrictlyBetween(px, w->x + 142, w->x + 196))
        g_ucFileBrowserField = uint8_t((px - w->x - 142) / 27);
}

void Ui_OptionGadgetHover()
{
    const WINDOW *w = g_pOptionWindow;
    if (!w || !g_pGadgetPage || g_ucOptionPageMode != 0 || !Ui_WindowHasFocus(w))
        return;
    for (int i = 0; i < ED_GADGETS; i++) {
        OPTIONGADGET *g = &g_pGadgetPage[i];
        if (!g->text || !g->action || (g->flags & GADGET_HIDDEN))
            continue;
        const int32_t x = w->x + g->x, y = w->y + g->y;
        if (!StrictlyBetween(g_sMouseX, x - 75, x + 75) || !StrictlyBetween(g_sMouseY, y, y + 16))
            continue;
        if (g != g_pCurrentGadget) {
            Ed_GadgetUnfocus(g_pCurrentGadget);
            g_pCurrentGadget = g;
            Ed_GadgetFocus(g);
        }
        return;
    }
}

void Ui_CdOptionsHover()
{
    const WINDOW *w = g_atWindowRoles[UI_ROLE_CD_OPTIONS].window;
    if (!w || !g_pGadgetPage || g_ucOptionPageMode != 4 || !Ui_WindowHasFocus(w))
        return;
    // Only the page's two buttons follow the pointer: its sliders keep the focus a key gave them.
    for (int i = 2; i <= 3; i++) {
        OPTIONGADGET *g = &g_pGadgetPage[i];
        if (!g->text || !g->action || (g->flags & GADGET_HIDDEN))
            continue;
        if (!Ui_OptionGadgetHit(g_sMouseX, g_sMouseY, w->x + g->x, w->y + g->y))
            continue;
        if (g != g_pCurrentGadget) {
            Ed_GadgetUnfocus(g_pCurrentGadget);
            g_pCurrentGadget = g;
            Ed_GadgetFocus(g);
        }
        return;
    }
}

void Ui_SlotDialogHover()
{
    KEYDIALOG &k = g_tKeyDialog;
    if (!k.window || !Ui_WindowIsOpen(k.window) || !Ui_WindowHasFocus(k.window))
        return;
    const CLICKHIT hit = Ui_SlotDialogHit(g_sMouseX, g_sMouseY, k.window->x, k.window->y);
    if (hit.region != SLOTHIT_SLOT || hit.index == k.slot)
        return;
    // Going down to the scale row keeps the key to come back to, as the pad does.
    if (hit.index == ED_KEY_SLOTS)
        k.keptSlot = k.slot;
    k.slot = uint8_t(hit.index);
}

void Ui_IconGridHover()
{
    const WINDOW *w = g_pIconPickerWindow;
    if (!w || g_atWindowRoles[UI_ROLE_ICON_GRID].window != w || !Ui_WindowIsOpen(w))
        return;
    const CLICKHIT hit = Ui_IconGridHit(g_sMouseX, g_sMouseY, w->x, w->y);
    if (hit.region == ICONHIT_CELL && hit.index >= 0 && hit.index < UI_ICON_CELLS)
        g_ucIconCell = uint8_t(hit.index);
}

void Ui_ChasePreviewHover()
{
    const WINDOW *w = g_pChaseEditWindow;
    if (!w || g_ucFullScreenVideo || !Ui_WindowHasFocus(w))
        return;
    // Drawn again on both halves of the frame buffer, so the picture under the pointer is whole.
    if (g_sMouseX >= w->x + 209 && g_sMouseX <= w->x + 339 && g_sMouseY >= w->y + 17 && g_sMouseY <= w->y + 117)
        g_iViewRedrawCount = 2;
}

void Ui_SampleMarkerHover()
{
    const WINDOW *w = g_pSampleEditWindow;
    // The held button drags the selected marker: it keeps it.
    if (!w || !Ui_WindowIsOpen(w) || g_iMouseButton1 == 0)
        return;
    // Measured from where the panel is now: its caption may have moved it.
    const int32_t p = g_sMouseX - w->x - 30;
    for (int m = 3; m >= 0; m--)
        if (std::abs(g_aiSampleMarkerPx[m] - p) <= 5)
            g_cSampleMarker = int8_t(m);
}

void Ui_CurvePointHover()
{
    const WINDOW *w = g_pCurveWindow;
    if (!w || !g_pCurveGraph || !g_pCurve || !Ui_WindowHasFocus(w) || g_iScreen == SCREEN_CURVE_MOVE ||
        g_iScreen == 21)
        return;
    const int32_t gx = w->x + g_pCurveGraph->head.x, gy = w->y + g_pCurveGraph->head.y;
    for (int32_t i = 0; i < g_pCurve->count; i++) {
        int32_t x = 0, y = 0;
        Ed_CurvePointPixel(g_pCurveGraph, g_pCurve, i, &x, &y);
        if (std::abs(gx + x - g_sMouseX) <= 5 && std::abs(gy + y - g_sMouseY) <= 5) {
            g_pCurve->current = uint8_t(i);
            return;
        }
    }
}

void Ui_HelpTopicHover()
{
    POPUP *p = g_pHelpTopicPopup;
    if (g_iScreen != 49 || !p || p->free || !p->window || !p->list)
        return;
    LISTWIDGET *list = p->list;
    const WINDOW *w = p->window;
    if (list->scrollStep != 0)
        return;
    if (g_sMouseY < w->y) {
        if (list->first > 0)
            Ui_ListScrollUp(list);
    } else if (g_sMouseY > w->y + w->h) {
        if (int32_t(list->first) + int32_t(list->visibleRows) < int32_t(list->totalRows))
            Ui_ListScrollDown(list);
    } else if (Ui_PointerInWindow(w)) {
        Ui_HoverList(list);
    }
}
