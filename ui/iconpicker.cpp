#include "ui/iconpicker.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/gridsetup.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/mouse.h"
#include "ui/riffpalette.h"
#include "ui/textfield.h"
#include "ui/view.h"
#include "ui/widgets.h"

#include <algorithm>

const uint16_t g_auIconCellImages[UI_ICON_CELLS] = {147, 151, 152, 153, 154, 156, 159, 161,
                                                    180, 181, 183, 204, 205, 206, 207, 207};
uint8_t g_ucIconCell = 0;
uint8_t g_ucIconPickerMode = 0;
WINDOW *g_pIconPickerWindow = nullptr;

namespace {

constexpr int32_t kWidth = 189, kHeight = 73;
constexpr int32_t kMoveDelay = 3;

int16_t s_sReturnScreen = 0;
void *s_pReturnFocus = nullptr;
int32_t s_iTargetRiff = 0;

// The window's role goes with the window, so a pool slot reused by another window is not taken
// for the picker.
bool Open()
{
    return g_pIconPickerWindow && g_atWindowRoles[UI_ROLE_ICON_GRID].window == g_pIconPickerWindow &&
           Ui_WindowIsOpen(g_pIconPickerWindow);
}

// Moves when the delay has run out and the held direction is at its first press or repeating.
bool MoveReady()
{
    g_bKeyHeldMark = 1;
    return Open() && g_iRepeatDelay == 0 && (g_iKeyRepeatCount == 0 || g_iKeyRepeatCount > 11);
}

void MovedTo(int32_t cell)
{
    g_ucIconCell = uint8_t(cell);
    g_iRepeatDelay = kMoveDelay;
    if ((g_ucMouseButtons & MOUSE_MODE) && g_pIconPickerWindow) {
        g_sMouseX = int16_t(g_pIconPickerWindow->x + 19 + (cell * 22) % 176);
        g_sMouseY = int16_t(g_pIconPickerWindow->y + 42 + (cell / 8) * 22);
    }
}

} // namespace

void Ui_OpenIconPicker(uint8_t mode)
{
    Sys_CallLog("Ui_OpenIconPicker");
    if (Open())
        return;
    // The target is fixed now: the palette's row may move while the picker is open.
    s_iTargetRiff = (mode & ICONPICKER_PALETTE) ? Ui_SelectedPaletteRiff() : g_uCurrentRiff;
    const RIFFENTRY *r = Seq_GetRiff(s_iTargetRiff);
    if (!r)
        return;
    WINDOWDESC d{};
    d.x = uint16_t(std::max(0, g_iScreenWidth / 2 - 94));
    d.y = 100;
    d.w = kWidth;
    d.h = kHeight;
    d.draw = Ui_DrawIconPicker;
    s_sReturnScreen = int16_t(g_iNextScreen >= 0 ? g_iNextScreen : g_iScreen);
    s_pReturnFocus = Ui_GetFocus();
    WINDOW *w = Ui_OpenWindow(&d);
    if (!w) {
        Ui_PlayRefusal();
        return;
    }
    TEXTFIELDDESC tf{};
    tf.text = Ui_Text(317);
    tf.x = 6;
    tf.y = 5;
    tf.w = int16_t(kWidth - 13);
    tf.h = 14;
    tf.parent = w;
    tf.b = 128;
    Ui_CreateTextField(&tf);
    g_pIconPickerWindow = w;
    Ui_SetWindowRole(UI_ROLE_ICON_GRID, w, nullptr); // the click maps' icon grid handler
    g_ucIconPickerMode = mode;
    g_ucIconCell = uint8_t(r->ucType < UI_ICON_CELLS ? r->ucType : 0);
    Ui_SetFocus(w);
    g_iNextScreen = 52;
}

void Ui_DrawIconPicker(void *)
{
    if (g_pUpdatingWindow && g_pUpdatingWindow != g_pIconPickerWindow)
        return;
    Ui_KeyRepeatTick();
    Gfx_AddBevelBox(6, 23, 176, 44);
    Gfx_AddLine(6, 45, 182, 45, 0, 64, 0);
    for (int32_t i = 1; i <= 7; i++)
        Gfx_AddLine(6 + 22 * i, 23, 6 + 22 * i, 67, 0, 64, 0);
    const bool focused = Ui_WindowHasFocus(g_pIconPickerWindow);
    for (int32_t c = 0; c < UI_ICON_CELLS; c++) {
        const int32_t x = 9 + 22 * (c % 8), y = 26 + 22 * (c / 8);
        const IMAGEREC *image = Gfx_GetImage(g_auIconCellImages[c]);
        if (c == g_ucIconCell && focused) {
            if (image)
                Gfx_AddImageSprite(image, x, y, g_ucPulse, g_ucPulse, g_ucPulse);
            Gfx_AddTile(x - 3, y - 3, 22, 22, 0, uint8_t(g_ucPulse / 2), 0);
        } else if (image) {
            Gfx_AddImageSprite(image, x, y, 128, 128, 128);
        }
    }
    Gfx_AddTile(6, 23, 177, 45, 16, 16, 16);
}

void Ui_IconPickerLeft()
{
    if (MoveReady() && g_ucIconCell % 8 != 0)
        MovedTo(g_ucIconCell - 1);
}

void Ui_IconPickerRight()
{
    if (MoveReady() && (g_ucIconCell + 1) % 8 != 0 && g_ucIconCell + 1 < UI_ICON_CELLS)
        MovedTo(g_ucIconCell + 1);
}

void Ui_IconPickerUp()
{
    if (MoveReady() && g_ucIconCell >= 8)
        MovedTo(g_ucIconCell - 8);
}

void Ui_IconPickerDown()
{
    if (MoveReady() && g_ucIconCell < 8)
        MovedTo(g_ucIconCell + 8);
}

void Ui_IconPickerChoose()
{
    if (!Open())
        return;
    if (g_ucIconCell < UI_ICON_CELLS && Seq_GetRiff(s_iTargetRiff)) {
        Seq_SetRiffTypeWithUndo(s_iTargetRiff, g_ucIconCell);
        Seq_CloseUndoStep();
        if (g_pGridView)
            Ui_RefreshView(g_pGridView);
    }
    Ui_IconPickerClose();
}

void Ui_IconPickerClose()
{
    if (!g_pIconPickerWindow)
        return;
    WINDOW *w = g_pIconPickerWindow;
    const bool open = Open();
    g_pIconPickerWindow = nullptr;
    if (open)
        Ui_CloseWindow(w);
    g_iNextScreen = s_sReturnScreen;
    Ui_SetFocus(s_pReturnFocus);
}
