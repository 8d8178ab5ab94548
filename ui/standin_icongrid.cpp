// STAND-IN for the icon grid's click handler of the mouse layer (weak: the click maps' own
// replaces it): a press on a cell of the riff icon picker selects that cell and chooses it.
#include "ui/clickmaps.h"
#include "ui/iconpicker.h"
#include "ui/mouse.h"
#include "ui/widgets.h"

#define STANDIN __attribute__((weak))

STANDIN void Ui_IconGridClick(int32_t event)
{
    WINDOW *w = g_pIconPickerWindow;
    if (event != UI_CLICK_PRESS || !w)
        return;
    const CLICKHIT hit = Ui_IconGridHit(g_sMouseX, g_sMouseY, w->x, w->y);
    if (hit.region != ICONHIT_CELL || hit.index < 0 || hit.index >= UI_ICON_CELLS)
        return;
    g_ucIconCell = uint8_t(hit.index);
    Ui_IconPickerChoose();
}
