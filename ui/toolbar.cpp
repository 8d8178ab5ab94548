#include "ui/toolbar.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "render/fonts.h"
#include "render/prims2d.h"
#include "render/screentiles.h"
#include "sequencer/instruments.h"
#include "ui/caption.h"
#include "ui/gridcells.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/msgbox.h"
#include "ui/padslot.h"

#include <cstdio>
#include <cstring>

char g_szHintText[UI_HINT_CHARS];
int16_t g_asHintBox[4];

namespace {

constexpr int32_t kPlainPointerImage = 642;

void (*const kModeActions[6])() = {Ui_ToolbarSongTrack, Ui_ToolbarVideoTrack, Ui_ToolbarMusicJam,
                                   Ui_ToolbarLoadSave, Ui_ToolbarCdPlayer, Ui_ToolbarOptions};

} // namespace

int32_t Ui_ToolbarButton(const UIRECT *rect, void (*action)(), const char *hint, int32_t isFunctionKey)
{
    if (!rect || !Ui_PointerInRect(rect))
        return 0;
    Gfx_AddInsetBox(rect->x - 1, rect->y - 1, rect->w, rect->h);
    std::snprintf(g_szHintText, sizeof g_szHintText, "%s", hint ? hint : "");
    if ((g_ucMouseButtons & MOUSE_LEFT_PRESS) && action) {
        Seq_PlayInterfaceSound(0);
        if (isFunctionKey && g_iScreen == 21)
            Ui_ClosePageMenu();
        action();
    }
    return 1;
}

void Ui_DrawFKeyToolbar()
{
    if (!g_pTopBarWindow || !Ui_WindowIsOpen(g_pTopBarWindow) || !Ui_PointerInWindow(g_pTopBarWindow))
        return;
    if (g_pGridWindow && g_pFocusWidget == g_pGridWindow && g_ucGridKind != 3)
        for (int i = 0; i < 6; i++) {
            const UIRECT r{int16_t(17 + 25 * i), 17, 25, 25};
            Ui_ToolbarButton(&r, kModeActions[i], Ui_Text(24 + i), 0);
        }
    if (g_bModalBoxOpen || !g_pMenuFKeys)
        return;
    for (int i = 0; i < 12; i++) {
        const uint8_t row = g_pMenuFKeys[i];
        if (row >= MENU_ITEM_ROWS)
            continue;
        const MENUITEM &item = g_atMenuItems[row];
        char hint[UI_HINT_CHARS];
        std::snprintf(hint, sizeof hint, "%s (F%d)", Ui_Text(item.text), i + 1);
        const UIRECT r{int16_t(423 + 17 * i), 16, 17, 17};
        Ui_ToolbarButton(&r, item.handler, hint, 1);
    }
}

void Ui_DrawHint(const char *text)
{
    if (!text || !*text)
        return;
    g_pFont = &g_tFontMain;
    const int32_t width = Gfx_GetTextWidth(text);
    const bool plain = !g_pPointerTool || g_pPointerTool->image == kPlainPointerImage;
    int32_t x = g_sMouseX + (plain ? 15 : 23), y = g_sMouseY + (plain ? 11 : 13);
    if (y + 10 > 464)
        y = g_sMouseY - 10;
    if (x + width > 624)
        x = g_sMouseX - width - 2;
    g_uiTextColour = 0x108010;
    Gfx_DrawText(text, x, y, g_pOrderingTable);
    // Linked after the text, so drawn beneath it.
    Gfx_AddTile(x - 3, y - 1, width + 6, 13, 0, 32, 0);
    g_uiTextColour = 0x808080;
    g_asHintBox[0] = int16_t(x - 4);
    g_asHintBox[1] = int16_t(y - 2);
    g_asHintBox[2] = int16_t(width + 8);
    g_asHintBox[3] = 18;
    Gfx_PushSaveUnder(g_asHintBox[0], g_asHintBox[1], g_asHintBox[2], g_asHintBox[3]);
}

void Ui_HintFrame()
{
    if (g_asHintBox[2]) {
        Gfx_PopSaveUnder(g_asHintBox[0], g_asHintBox[1], g_asHintBox[2], g_asHintBox[3]);
        g_asHintBox[2] = 0;
    }
    if (g_szHintText[0]) {
        Ui_DrawHint(g_szHintText);
        g_szHintText[0] = '\0';
    } else if (g_szPendingToolTip[0]) {
        Ui_DrawToolTip(g_szPendingToolTip);
    }
    // A tool button's hint wins; the grid sets its tip again while the pointer stays.
    g_szPendingToolTip[0] = '\0';
}

void Ui_DrawToolTip(const char *text)
{
    Ui_DrawHint(text);
}
