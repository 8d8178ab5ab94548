#include "editors/topbar.h"
#include "editors/chaseeditor.h"
#include "editors/cdscreen.h"

#include "editors/options.h"
#include "editors/songlanes.h"

#include "editors/blockselect.h"
#include "editors/filescreen.h"

#include "app/calllog.h"
#include "core/console_memory.h"
#include "core/mixlock.h"
#include "jam/jamsession.h"
#include "render/gpustate.h"
#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/ordertable.h"
#include "render/prims2d.h"
#include "render/screentiles.h"
#include "render/texpages.h"
#include "sequencer/clock.h"
#include "sequencer/eventlists.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "ui/gridcells.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/riffeditor.h"
#include "ui/gridvideo.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "core/padbind.h"
#include "ui/help.h"
#include "video/engine.h"
#include "video/triggers.h"

#include <algorithm>
#include <cstdio>

WINDOW *g_pTopBarWindow = nullptr;
uint8_t g_ucTopBarButton = 0;
uint16_t g_usPromptTextId = 0;
int32_t g_iStatusHoldFrames = 0;
uint8_t g_ucVideoGridCountdown = 0;
uint8_t g_ucJamReturnScreen = 0;
void (*g_pfnJamEntry)() = nullptr;

const int16_t g_asTopBarLitImages[ED_TOPBAR_BUTTONS] = {711, 759, 478, 424, 350, 621};
const int16_t g_asTopBarButtonX[ED_TOPBAR_BUTTONS] = {9, 34, 59, 84, 109, 134};

namespace {

// Bit 0: the next "Music Jam" shows the jam's help instead of starting a jam.
uint8_t s_ucJamLaunchFlags = 0;

bool GridShown(int kind)
{
    return g_pGridWindow && Ui_WindowIsOpen(g_pGridWindow) && g_ucGridKind == kind;
}

void Image(int32_t n, int32_t x, int32_t y, uint8_t level = 128)
{
    if (const IMAGEREC *im = Gfx_GetImage(n))
        Gfx_AddImageSprite(im, x, y, level, level, level);
}

void Text(const char *text, int32_t x, int32_t y, FONT *font, bool right = false)
{
    Gfx_DrawTextInFont(text, x, y, font, 0x808080, g_pOrderingTable, right ? GFX_TEXT_RIGHT : GFX_TEXT_LEFT);
}

// Frame mode 0 and the jam set-ups cleared: every section but the jam runs in that mode.
void ResetJamFrameMode()
{
    Seq_ResetJamSlots();
    Gfx_SetFrameMode(0);
}

void ResetIfFrameStepPending()
{
    if (g_iFrameModeStep)
        ResetJamFrameMode();
}

void FocusGrid()
{
    if (g_pGridWindow)
        Ui_SetFocus(g_pGridWindow);
}

void HighlightMoved()
{
    g_iBlinkPhase = 6;
    Seq_PlayInterfaceSound(2);
    if (g_ucMouseButtons & MOUSE_MODE) {
        g_sMouseX = int16_t(g_ucTopBarButton * 25 + 37);
        g_sMouseY = 37;
    }
}

} // namespace

void Ed_OpenTopBar()
{
    if (Ui_WindowIsOpen(g_pTopBarWindow))
        return;
    WINDOWDESC d{};
    d.x = uint16_t(ED_TOPBAR_X);
    d.y = uint16_t(ED_TOPBAR_Y);
    d.w = uint16_t(g_iScreenWidth);
    d.h = uint16_t(ED_TOPBAR_H);
    d.input = Ed_TopBarFrame;
    d.draw = Ed_DrawTopBar;
    g_pTopBarWindow = Ui_OpenWindow(&d);
    if (g_pTopBarWindow)
        g_pTopBarWindow->flags |= WINDOW_NO_FRAME;
}

void Ed_DrawFunctionKeyIcons()
{
    for (int k = 0; k < MENU_FKEYS; k++) {
        int32_t icon = 0;
        if (g_bModalBoxOpen) {
            icon = ED_FKEY_BLOCKED_ICON;
        } else {
            const int row = Ui_MenuFKeyRow(k);
            icon = row < 0 ? int32_t(g_atMenuItems[MENU_EMPTY_ITEM].icon) : int32_t(g_atMenuItems[row].icon);
            // Items without an icon of their own show as a plain key.
            if (!icon && row >= 0)
                icon = 700 + (k % 10);
        }
        if (icon)
            Image(icon, 415 + 17 * k, 8);
    }
}

void Ed_DrawPlayLight()
{
    int32_t n = ED_BEAT_LIGHT_OFF;
    if (g_bSongPlaying.load(std::memory_order_relaxed))
        n = 720 + (g_ucStepCount16.load(std::memory_order_relaxed) & 15) / 4;
    Image(n, 212, 21);
}

void Ed_DrawTopBar(void *)
{
    char text[32];
    // 1. The prompt.
    if (g_usPromptTextId < TEXT_COUNT && g_apszText[g_usPromptTextId])
        Text(g_apszText[g_usPromptTextId], 6, 47, &g_atUiFonts[0]);
    // 2, 3. The jam button dimmed without a pad; the highlighted button.
    if (g_ucTopBarButton < ED_TOPBAR_BUTTONS)
        Image(g_asTopBarLitImages[g_ucTopBarButton], g_asTopBarButtonX[g_ucTopBarButton], 9);
    // 4. Function keys.
    Ed_DrawFunctionKeyIcons();
    // 5. Cursor column and tempo.
    const int32_t column = g_pGridView ? g_sGridCursorX + g_pGridView->firstColumn + 1 : 0;
    std::snprintf(text, sizeof text, "%.3d", column);
    Text(text, 252, 20, &g_atUiFonts[1]);
    int tempo = 0;
    {
        // The song's tempo list changes the tempo on the mix thread while the song plays.
        std::lock_guard<std::recursive_mutex> mix(g_csMix);
        tempo = g_uTempo;
    }
    std::snprintf(text, sizeof text, "%.3d", tempo);
    Text(text, 179, 20, &g_atUiFonts[1]);
    // 6, 7. Beat light, title.
    Ed_DrawPlayLight();
    Text(g_szSongTitle, 179, 7, &g_atUiFonts[0]);
    // 8. Memory in use.
    std::snprintf(text, sizeof text, "%.4dk", int(Seq_SongSizeTotal() / 1024));
    Text(text, 296, 24, &g_atUiFonts[1]);
    // 9. Playing position and song length.
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", g_ucPosHours, g_ucPosMinutes, g_ucPosSeconds);
    Text(text, 348, 26, &g_atUiFonts[1]);
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", g_ucSongHours, g_ucSongMinutes, g_ucSongSeconds);
    Text(text, 348, 20, &g_atUiFonts[1]);
    // 10. The name under the grid cursor over the background, right-aligned to the last piece.
    int32_t x = 0;
    for (int i = 0; i < ED_TOPBAR_PIECES; i++) {
        const IMAGEREC *im = Gfx_GetImage(ED_TOPBAR_BACKGROUND + i);
        if (i == ED_TOPBAR_PIECES - 1)
            Text(g_szCursorItemName, x - 6, 47, &g_atUiFonts[0], true);
        if (im) {
            Gfx_AddImageSprite(im, x, 0, 128, 128, 128);
            x += im->width;
        }
    }
}

void Ed_TopBarFrame()
{
    Ed_UpdateMemoryUsage();
    Ed_SongLanesFrame();
    if (g_iStatusHoldFrames > 0)
        g_iStatusHoldFrames--;
    if (g_ucVideoGridCountdown && --g_ucVideoGridCountdown == 0)
        Ed_ShowVideoGrid();
    if (Ui_WindowHasFocus(g_pGridWindow))
        Vid_ShowScreenPrompt();
    else if (Ui_WindowHasFocus(g_pTopBarWindow))
        Ed_SetPromptText(24 + g_ucTopBarButton);
}

void Ed_SetPromptText(int32_t textId)
{
    if (g_iStatusHoldFrames)
        return;
    if (textId >= 0 && textId < TEXT_COUNT)
        g_usPromptTextId = uint16_t(textId);
}

void Ed_TopBarLeft()
{
    if (g_ucTopBarButton == 0)
        return;
    g_ucTopBarButton--;
    HighlightMoved();
}

void Ed_TopBarRight()
{
    if (g_ucTopBarButton >= ED_TOPBAR_BUTTONS - 1)
        return;
    g_ucTopBarButton++;
    HighlightMoved();
}

void Ed_TopBarChoose()
{
    Sys_CallLog("Ed_TopBarChoose");
    g_iStatusHoldFrames = 0;
    Seq_PlayInterfaceSound(1);
    switch (g_ucTopBarButton) {
    case 0:
        ResetJamFrameMode();
        Seq_StartClock();
        if (GridShown(2)) {
            FocusGrid();
            Ui_ReturnToEditorMenu();
            return;
        }
        Ed_CloseWindowsThenRun(Ed_ShowSongGrid);
        ResetIfFrameStepPending();
        return;
    case 1:
        ResetJamFrameMode();
        if (GridShown(1)) {
            FocusGrid();
            Ui_ResumeGridNavigation();
            return;
        }
        Ed_CloseWindowsThenRun(Ed_ShowVideoGrid);
        ResetIfFrameStepPending();
        return;
    case 2:
        g_ucJamReturnScreen = GridShown(1)                                                     ? 1
                              : g_pFileBrowserWindow && Ui_WindowIsOpen(g_pFileBrowserWindow) ? 6
                              : g_pOptionWindow && Ui_WindowIsOpen(g_pOptionWindow)         ? 7
                                                                                             : 2;
        if (!(s_ucJamLaunchFlags & 1)) {
            g_pfnJamEntry = Jam_StartSession;
            if (g_pTopBarWindow)
                Ui_CloseWindow(g_pTopBarWindow);
            g_pTopBarWindow = nullptr;
            Gfx_SelectTileSet(0);
        } else {
            s_ucJamLaunchFlags &= uint8_t(~1u);
            g_pfnJamEntry = Ui_ShowJamHelp;
        }
        Ed_CloseWindowsThenRun(g_uEmulatedFreeMemory < 20000 ? Ed_WarnLowMemoryThenJam : g_pfnJamEntry);
        return;
    case 3:
        ResetJamFrameMode();
        Ed_CloseWindowsThenRun(Ed_OpenFileBrowser);
        return;
    case 4:
        ResetIfFrameStepPending();
        Ed_CdPlayerCommand();
        return;
    case 5:
        if (g_pOptionWindow && Ui_WindowIsOpen(g_pOptionWindow)) {
            Ed_OpenOptionPage(); // focuses the open pages and their current gadget
            return;
        }
        ResetIfFrameStepPending();
        Ed_CloseWindowsThenRun(Ed_OpenOptionPage);
        return;
    default: return;
    }
}

void Ed_WarnLowMemoryThenJam()
{
    MSGBOXREQUEST r{};
    r.ucIcon = 0;
    r.pszText = g_apszText[568];
    r.ucButtonCount = 1;
    r.asButtonText[0] = 114;
    r.pfnAnswer = [](uint8_t) {
        if (g_pfnJamEntry)
            g_pfnJamEntry();
    };
    Ui_OpenMessageBox(&r);
}

void Ed_CloseWindowsThenRun(void (*action)())
{
    if (g_pGridWindow && Ui_WindowIsOpen(g_pGridWindow)) {
        // A block still in hand gives back the clips and chases it holds.
        if (g_tBlock.ucMode == 2) {
            Ed_BlockReleaseClipboard();
            g_tBlock.ucMode = 0;
        }
        g_iNextScreen = 10;
        g_pGridWindow->onClose = action;
        Ui_CloseGridScreen();
        return;
    }
    if (g_pFileBrowserWindow && Ui_WindowIsOpen(g_pFileBrowserWindow)) {
        g_iNextScreen = 10;
        Ed_FileBrowserCloseThenRun(action);
        return;
    }
    if (g_pOptionWindow && Ui_WindowIsOpen(g_pOptionWindow)) {
        g_iNextScreen = 10;
        Ed_OptionPageCloseThenRun(action);
        return;
    }
    if (action == Ed_ShowVideoGrid) {
        g_ucVideoGridCountdown = 3;
        g_iNextScreen = 10;
        return;
    }
    if (action)
        action();
}

void Ed_ShowSongGrid()
{
    Sys_CallLog("Ed_ShowSongGrid");
    if (!Ui_SetupGridScreen(2))
        return;
    FocusGrid();
}

void Ed_ShowVideoGrid()
{
    Sys_CallLog("Ed_ShowVideoGrid");
    if (!Ui_SetupGridScreen(1))
        return;
    FocusGrid();
}

void Ed_LeaveScreen()
{
    Sys_CallLog("Ed_LeaveScreen");
    g_iStatusHoldFrames = 0;
    if (g_ucGridKind == 2)
        Seq_FlushDeletedRiffs();
    if (g_bSongPlaying.load(std::memory_order_relaxed))
        Ui_StopPlayback();
    if (g_ucGridKind == 4) {
        Ed_LeaveChaseEditor();
        return;
    }
    if (g_ucGridKind == 1)
        Ed_UpdateMemoryUsage();
    if (g_ucGridKind == 1 && g_pGridWindow && g_ucFullScreenVideo)
        return;
    if (g_ucGridKind == 3 && Ui_WindowHasFocus(g_pGridWindow)) {
        Seq_PlayInterfaceSound(4);
        Ui_CloseRiffEditor();
        return;
    }
    if (Ui_WindowHasFocus(g_pGridWindow) && (g_ucGridKind == 1 || g_ucGridKind == 2)) {
        // Remember the view, then hand the focus to the top bar on its section's button.
        Ui_SaveGridView();
        g_ucTopBarButton = g_ucGridKind == 2 ? 0 : 1;
        if (Ui_WindowIsOpen(g_pTopBarWindow)) {
            Ui_SetFocus(g_pTopBarWindow);
            g_iNextScreen = 6;
            Seq_PlayInterfaceSound(4);
        }
    }
}

void Ed_LeaveScreenAction()
{
    Ed_LeaveScreen();
}

void Ed_BackAction()
{
    Ed_LeaveScreen();
}

void Ed_RunFunctionKey(int32_t key)
{
    if (g_bModalBoxOpen || key < 0x70 || key > 0x7b)
        return;
    if (g_iScreen == 21)
        Ui_ClosePageMenu();
    // Rows that follow the editor's state are as the menu would show them now.
    Ui_RewriteMenuRows(g_sMenuPage);
    const int row = Ui_MenuFKeyRow(key - 0x70);
    if (row < 0 || row == MENU_EMPTY_ITEM || !g_atMenuItems[row].handler)
        return;
    g_atMenuItems[row].handler();
}

void Ed_FunctionKeyAction(int key)
{
    Sys_CallLog("Ed_FunctionKeyAction");
    Ed_RunFunctionKey(key);
}

void Ed_ReturnFromJam()
{
    Sys_CallLog("Ed_ReturnFromJam");
    Seq_StopClock();
    switch (g_ucJamReturnScreen) {
    case 1:
    case 2:
        Gfx_SelectTileSet(g_ucJamReturnScreen == 1 ? 1 : 0);
        g_ucTopBarButton = g_ucJamReturnScreen == 1 ? 1 : 0;
        if (Ui_SetupGridScreen(g_ucJamReturnScreen == 1 ? 1 : 2)) {
            FocusGrid();
            Ui_ReturnToEditorMenu();
        }
        Ed_OpenTopBar();
        break;
    case 9: {
        POPUP *p = Ui_OpenPopup(29, nullptr, g_iScreenWidth / 4, 69, 318, 79);
        (void)p;
        break;
    }
    case 6:
        Sys_SwitchOverlay(3);
        Ed_OpenFileBrowser();
        g_ucTopBarButton = 3;
        Ed_OpenTopBar();
        break;
    case 7:
        Ed_OpenOptionPage();
        g_ucTopBarButton = 5;
        Ed_OpenTopBar();
        break;
    default:
        g_ucTopBarButton = 0;
        if (Ui_SetupGridScreen(2)) {
            FocusGrid();
            Ui_ReturnToEditorMenu();
        }
        Ed_OpenTopBar();
        break;
    }
}
