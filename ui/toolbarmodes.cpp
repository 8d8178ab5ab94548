// The toolbar's six mode buttons: each leaves what is open and switches the studio to its main
// mode, through the top bar's own section switching.
#include "ui/toolbar.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "editors/topbar.h"
#include "render/d3ddevice.h"
#include "render/framecycle.h"
#include "render/screentiles.h"
#include "sequencer/songcontrol.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/gridvideo.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/msgbox.h"
#include "ui/padslot.h"
#include "ui/widgets.h"

namespace {

bool GridOpen()
{
    return g_pGridWindow && Ui_WindowIsOpen(g_pGridWindow);
}

bool GridShown(int kind)
{
    return GridOpen() && g_ucGridKind == kind;
}

bool RoleOpen(int role)
{
    WINDOW *w = g_atWindowRoles[role].window;
    return w && Ui_WindowIsOpen(w);
}

// A pop-up, the page menu or the riff editor is left first, as its back key would.
void BackOutFirst(bool riffEditorToo)
{
    if (g_iScreen == 21 || g_iScreen == 9 || (riffEditorToo && GridShown(3)))
        Ui_RunPadSlot(12);
}

void LeaveJamModes()
{
    Seq_ResetJamSlots();
    Gfx_SetFrameMode(0);
}

// The sections the top bar opens by itself (file screen, CD player, options): the toolbar points
// the bar at the section and chooses it. A section that cannot open leaves the bar as it was.
void ChooseSection(uint8_t button)
{
    const uint8_t before = g_ucTopBarButton;
    const int32_t next = g_iNextScreen;
    g_ucTopBarButton = button;
    Ed_TopBarChoose();
    if (g_iNextScreen == next && GridOpen() && Ui_GetFocus() == g_pGridWindow)
        g_ucTopBarButton = before;
}

} // namespace

void Ui_ToolbarSongTrack()
{
    Sys_CallLog("Ui_ToolbarSongTrack");
    BackOutFirst(true);
    if (GridShown(3))
        return; // the riff editor leaves by its own way
    Gfx_SelectTileSet(0);
    g_ucTopBarButton = 0;
    LeaveJamModes();
    if (GridShown(2)) {
        Ui_SetFocus(g_pGridWindow);
        Ui_ReturnToEditorMenu();
        return;
    }
    Ed_CloseWindowsThenRun(Ed_ShowSongGrid);
}

void Ui_ToolbarVideoTrack()
{
    Sys_CallLog("Ui_ToolbarVideoTrack");
    BackOutFirst(false);
    if (g_bSoftware3D) {
        MSGBOXREQUEST r{};
        r.pszText = Ui_Text(675);
        r.ucButtonCount = 1;
        r.asButtonText[0] = 114;
        r.pfnAnswer = [](uint8_t) { Ed_LeaveScreen(); };
        Ui_OpenMessageBox(&r);
        return;
    }
    g_ucTopBarButton = 1;
    LeaveJamModes();
    Gfx_SelectTileSet(1);
    if (GridShown(1)) {
        Ui_SetFocus(g_pGridWindow);
        Ui_ResumeGridNavigation();
        return;
    }
    Ed_CloseWindowsThenRun(Ed_ShowVideoGrid);
    if (g_iFrameModeStep)
        LeaveJamModes();
}

void Ui_ToolbarMusicJam()
{
    Sys_CallLog("Ui_ToolbarMusicJam");
    // Where the end of the jam comes back to.
    if (GridOpen())
        g_ucJamReturnScreen = g_ucGridKind == 1 ? 1 : 2;
    else if (RoleOpen(UI_ROLE_FILE_BROWSER))
        g_ucJamReturnScreen = 6;
    else if (RoleOpen(UI_ROLE_OPTION))
        g_ucJamReturnScreen = 7;
    else
        g_ucJamReturnScreen = 1;
    Ui_SetMenuPage(27);
    Ui_OpenPageMenu();
}

void Ui_ToolbarLoadSave()
{
    Sys_CallLog("Ui_ToolbarLoadSave");
    BackOutFirst(true);
    ChooseSection(3);
}

void Ui_ToolbarCdPlayer()
{
    Sys_CallLog("Ui_ToolbarCdPlayer");
    if (RoleOpen(UI_ROLE_CD_OPTIONS) && Ui_GetFocus() == g_atWindowRoles[UI_ROLE_CD_OPTIONS].window)
        return;
    ChooseSection(4);
}

void Ui_ToolbarOptions()
{
    Sys_CallLog("Ui_ToolbarOptions");
    BackOutFirst(true);
    ChooseSection(5);
}
