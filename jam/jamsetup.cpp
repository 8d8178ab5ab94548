#include "jam/jamsetup.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "app/calllog.h"
#include "app/crash.h"
#include "app/cmdline.h"
#include "app/mainwindow.h"
#include "app/settings.h"
#include "core/padbind.h"
#include "editors/topbar.h"
#include "jam/jamsession.h"
#include "jam/jamstart.h"
#include "jam/jamtemplates.h"
#include "jam/netjam.h"
#include "jam/netsession.h"
#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "sequencer/instruments.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/popup.h"
#include "ui/textentry.h"
#include "ui/valueslider.h"
#include "ui/widgets.h"

namespace {

// The row buffer of a pop-up list: number word, text, empty flag last.
constexpr int kRowText = 2;
constexpr int kRowTextMax = UI_POPUP_ROW_STRIDE - kRowText - 2;
constexpr int kRowEmptyFlag = UI_POPUP_ROW_STRIDE - 1;
constexpr int32_t kValueX = 180;
constexpr int32_t kListWidth = 318 - 22;

struct SetupKind
{
    int32_t kind;
    int32_t rows;
    int16_t captions[8];
    int32_t firstAction; // rows from here are drawn centred
};

// Text 0: a blank row.
constexpr SetupKind kKinds[] = {
    {POPUP_JAM_HOST_SETUP, 8, {628, 629, 630, 636, 677, 0, 631, 112}, 5},
    {POPUP_JAM_JOIN_SETUP, 5, {629, 633, 0, 672, 112}, 2},
    {POPUP_JAM_PLAYER_SETUP, 4, {629, 0, 672, 112}, 1},
};

const SetupKind *KindOf(int32_t kind)
{
    for (const SetupKind &k : kKinds)
        if (k.kind == kind)
            return &k;
    return nullptr;
}

const char *DefaultName(bool server)
{
    const char *t = Ui_Text(server ? 686 : 685);
    return t && *t ? t : server ? "New Server" : "New Player";
}

void Fill(void *row, const char *text)
{
    auto *r = static_cast<char *>(row);
    const size_t n = strnlen(text, kRowTextMax);
    std::memcpy(r + kRowText, text, n);
    r[kRowText + n] = 0;
    r[kRowEmptyFlag] = 0;
}

int32_t Target(int32_t op, int32_t number)
{
    return op == LISTFILL_FIRST ? 1 : op == LISTFILL_NEXT ? number + 1 : number - 1;
}

void FillSetupRow(int32_t op, int32_t number, void *row, void *user)
{
    const POPUP *p = static_cast<const POPUP *>(user);
    const int32_t n = Target(op, number);
    if (!p || n < 1 || n > Jam_SetupRowCount(p->kind))
        return;
    char text[kRowTextMax + 1];
    Jam_SetupRowText(p->kind, n, text, sizeof text);
    Fill(row, text);
}

uint16_t RowNumber(const void *row)
{
    uint16_t n;
    std::memcpy(&n, row, 2);
    return n;
}

// Captions on the left and values at x + 180; the action rows centred.
void DrawSetupRow(int32_t kind, void *row, int32_t x, int32_t y)
{
    const SetupKind *k = KindOf(kind);
    const char *text = static_cast<const char *>(row) + kRowText;
    const int32_t n = RowNumber(row);
    if (k && n > k->firstAction)
        Gfx_DrawText(text, x + std::max((kListWidth - Gfx_GetTextWidth(text)) / 2, 0), y + 1, g_pOrderingTable);
    else
        Gfx_DrawText(text, x, y + 1, g_pOrderingTable);
    char value[64];
    Jam_SetupRowValue(kind, n, value, sizeof value);
    if (value[0])
        Gfx_DrawText(value, x + kValueX, y + 1, g_pOrderingTable);
}
void DrawHostRow(void *row, int32_t x, int32_t y) { DrawSetupRow(POPUP_JAM_HOST_SETUP, row, x, y); }
void DrawJoinRow(void *row, int32_t x, int32_t y) { DrawSetupRow(POPUP_JAM_JOIN_SETUP, row, x, y); }
void DrawPlayerRow(void *row, int32_t x, int32_t y) { DrawSetupRow(POPUP_JAM_PLAYER_SETUP, row, x, y); }

void EditName(char *buffer, int16_t title, void (*accept)())
{
    TEXTENTRYREQUEST r{};
    r.x = 100;
    r.y = 90;
    r.maxLength = JAM_NAME_CHARS + 1;
    r.titleText = title;
    r.text = buffer;
    r.accept = accept;
    if (!Ui_OpenTextEntry(&r))
        Ui_PlayRefusal();
}

void AcceptName(char *buffer, size_t size, bool server)
{
    // Names are kept as entered, cut to what an entry holds.
    buffer[std::min<size_t>(JAM_NAME_CHARS, size - 1)] = 0;
    if (!buffer[0])
        std::snprintf(buffer, size, "%s", DefaultName(server));
    Sys_SaveSetting(server ? "ServerName" : "Name", buffer);
}

void EditNumber(void *target, uint8_t width, int32_t low, int32_t high, int32_t title)
{
    g_pfnValueEditorClosed = nullptr;
    if (!Ui_OpenValueEditor(target, width, low, high, title, 0, 0, 0))
        Ui_PlayRefusal();
}

void CloseTopBar()
{
    if (g_pTopBarWindow && Ui_WindowIsOpen(g_pTopBarWindow))
        Ui_CloseWindow(g_pTopBarWindow);
}

// An action that leaves the pop-up: its window goes without the close's follow-ups.
void TakeDownCurrent()
{
    if (g_pCurrentPopup && !g_pCurrentPopup->free)
        Ui_TakeDownPopup(g_pCurrentPopup);
}

void OpenSessionList()
{
    if (!Ui_OpenPopup(POPUP_JAM_SESSIONS, nullptr, g_iScreenWidth / 4, 69, 170, 306))
        Ui_PlayRefusal();
}

} // namespace

// ---- Rows ----

int32_t Jam_SetupRowCount(int32_t kind)
{
    if (kind == POPUP_JAM_SESSIONS)
        return std::max(Net_GetSessionCount(&g_NetNode), 0);
    const SetupKind *k = KindOf(kind);
    return k ? k->rows : 0;
}

void Jam_SetupRowText(int32_t kind, int32_t row, char *out, size_t size)
{
    if (!out || !size)
        return;
    out[0] = 0;
    if (row < 1 || row > Jam_SetupRowCount(kind))
        return;
    if (kind == POPUP_JAM_SESSIONS) {
        Net_GetSessionName(&g_NetNode, row - 1, out, size);
        return;
    }
    const int16_t id = KindOf(kind)->captions[row - 1];
    const char *t = id ? Ui_Text(id) : " ";
    std::snprintf(out, size, "%s", t ? t : "");
}

void Jam_SetupRowValue(int32_t kind, int32_t row, char *out, size_t size)
{
    if (!out || !size)
        return;
    out[0] = 0;
    const bool name = (kind == POPUP_JAM_HOST_SETUP && row == 2) ||
                      ((kind == POPUP_JAM_JOIN_SETUP || kind == POPUP_JAM_PLAYER_SETUP) && row == 1);
    if (kind == POPUP_JAM_HOST_SETUP && row == 1)
        std::snprintf(out, size, "%.*s", (int)JAM_NAME_CHARS, g_szServerName);
    else if (name)
        std::snprintf(out, size, "%.*s", (int)JAM_NAME_CHARS, g_szPlayerName);
    else if (kind == POPUP_JAM_JOIN_SETUP && row == 2)
        std::snprintf(out, size, "%.*s", (int)JAM_NAME_CHARS, g_szJoinAddress);
    else if (kind == POPUP_JAM_HOST_SETUP && row == 3)
        std::snprintf(out, size, "%d", g_iJamPlayers);
    else if (kind == POPUP_JAM_HOST_SETUP && row == 4)
        std::snprintf(out, size, "%d", (int)g_iJamTempo);
    else if (kind == POPUP_JAM_HOST_SETUP && row == 5)
        std::snprintf(out, size, "%d", g_iMaxTemplateSize);
}

// ---- Pop-up hooks ----

bool Jam_SetupPopupRows(POPUP *p, int32_t *total, LISTFILLROW *fill, LISTDRAWROW *draw)
{
    if (!p)
        return false;
    switch (p->kind) {
    case POPUP_JAM_SESSIONS: *draw = nullptr; break;
    case POPUP_JAM_HOST_SETUP:
        // A tempo never set starts at the usual one.
        if (g_iJamTempo == 0)
            g_iJamTempo = 130;
        *draw = DrawHostRow;
        break;
    case POPUP_JAM_JOIN_SETUP: *draw = DrawJoinRow; break;
    case POPUP_JAM_PLAYER_SETUP: *draw = DrawPlayerRow; break;
    default: return false;
    }
    *total = Jam_SetupRowCount(p->kind);
    *fill = FillSetupRow;
    return true;
}

bool Jam_SetupPopupChoose(POPUP *p, int32_t row)
{
    if (!p || p->free)
        return false;
    switch (p->kind) {
    case POPUP_JAM_SESSIONS: Jam_SessionListChoose(row); return true;
    case POPUP_JAM_HOST_SETUP: Jam_HostSetupAction(row); return true;
    case POPUP_JAM_JOIN_SETUP: Jam_JoinSetupAction(row); return true;
    case POPUP_JAM_PLAYER_SETUP: Jam_PlayerSetupAction(row); return true;
    default: return false;
    }
}

bool Jam_SetupPopupClose(POPUP *p)
{
    if (!p || p->free)
        return false;
    if (p->kind == POPUP_JAM_SESSIONS) {
        Net_StopSessionA(&g_NetNode);
        Net_StopSessionB(&g_NetNode);
        if (!g_bNoCd)
            return false; // the usual close
        Ui_TakeDownPopup(p);
        Jam_OpenPlayerSetup();
        return true;
    }
    if (p->kind == POPUP_JAM_PLAYER_SETUP && g_bNoCd) {
        Ui_TakeDownPopup(p);
        Jam_QuitProgram();
        return true;
    }
    return false;
}

// ---- Actions ----

void Jam_HostSetupAction(int32_t row)
{
    switch (row) {
    case 0: Jam_EditServerName(); break;
    case 1: Jam_EditPlayerName(); break;
    case 2: EditNumber(&g_iJamPlayers, SLIDER_I32, 1, JAM_NET_SLOTS, 630); break;
    case 3: EditNumber(&g_iJamTempo, SLIDER_I32, 40, 240, 636); break;
    case 4: EditNumber(&g_iMaxTemplateSize, SLIDER_I32, 0, 2097151, 677); break;
    case 6:
        Ui_ClosePopup();
        Jam_HostFromMenu();
        break;
    case 7: Ui_ClosePopup(); break;
    default: Ui_PlayRefusal(); break;
    }
}

void Jam_JoinSetupAction(int32_t row)
{
    switch (row) {
    case 0: Jam_EditPlayerName(); break;
    case 1: Jam_EditJoinAddress(); break;
    case 3:
        Ui_ClosePopup();
        Jam_JoinFromLobby();
        break;
    case 4: Ui_ClosePopup(); break;
    default: Ui_PlayRefusal(); break;
    }
}

void Jam_PlayerSetupAction(int32_t row)
{
    switch (row) {
    case 0: Jam_EditPlayerName(); break;
    case 2:
        TakeDownCurrent();
        Net_SetProgramJam(&g_JamNet);
        Net_NodeFromSettings(&g_NetNode);
        Net_ResetJamState(&g_NetNode);
        Net_StartSessionA(&g_NetNode, NET_MODE_LAN);
        g_bNetJamImmediate = 1;
        Net_EnumSessions(&g_NetNode);
        OpenSessionList();
        break;
    case 3: Ui_ClosePopup(); break;
    default: Ui_PlayRefusal(); break;
    }
}

void Jam_SessionListChoose(int32_t row)
{
    Sys_CallLog("Jam_SessionListChoose");
    if (row < 0 || row >= Net_GetSessionCount(&g_NetNode)) {
        Ui_PlayRefusal();
        return;
    }
    CloseTopBar();
    g_bNetClient = 1;
    g_bNetHost = 0;
    g_bJamSinglePlayer = 0;
    g_NetNode.bNetClient = 1;
    g_NetNode.bNetHost = 0;
    Net_SetProgramJam(&g_JamNet);
    if (const int32_t err = Net_CreatePlayer(&g_NetNode, row + 1, g_szPlayerName); err != 0) {
        // Nothing joined: say so and leave the list as it was.
        char line[128];
        std::snprintf(line, sizeof line, "Could not join the jam session (%s).",
                      err == PLAT_NET_ERR_FULL ? "it is full" : "no answer");
        Sys_InfoBox("Jam session", line);
        return;
    }
    TakeDownCurrent();
    Ed_CloseWindowsThenRun(Jam_StartSession);
}

// ---- Names ----

void Jam_EditServerName() { EditName(g_szServerName, 628, Jam_AcceptServerName); }
void Jam_EditPlayerName() { EditName(g_szPlayerName, 629, Jam_AcceptPlayerName); }

void Jam_EditJoinAddress()
{
    EditName(g_szJoinAddress, 668, nullptr);
    if (g_pTextEntryWindow) {
        // Typed on the PC keyboard: an address takes digits and dots.
        g_ucTextEntryFilter |= 2;
        g_uTextEntryFilter |= 2;
    }
}

void Jam_AcceptServerName() { AcceptName(g_szServerName, sizeof g_szServerName, true); }
void Jam_AcceptPlayerName() { AcceptName(g_szPlayerName, sizeof g_szPlayerName, false); }

// ---- Jam menu items ----

void Jam_EditTempo()
{
    if (!g_bNetHost || g_bJamSinglePlayer) {
        Ui_PlayRefusal();
        return;
    }
    EditNumber(&g_iJamTempo, SLIDER_I32, 40, 240, 248);
}

void Jam_OpenPlayerMenu(int32_t player)
{
    if (g_bJamSinglePlayer || !g_bNetHost || player < 0 || player >= JAM_NET_SLOTS) {
        Seq_PlayInterfaceSound(3);
        return;
    }
    g_iJamSelectedPlayer = player;
    Ui_SetMenuPage(30);
    Ui_OpenPageMenu();
}

void Jam_DropSelectedPlayer()
{
    if (g_iJamSelectedPlayer >= 0 && g_iJamSelectedPlayer < JAM_NET_SLOTS)
        Net_DropPlayer(&g_NetNode, g_iJamSelectedPlayer);
    Jam_ClosePlayerMenu();
}

void Jam_ClosePlayerMenu()
{
    g_iJamSelectedPlayer = JAM_LOCAL_PLAYER;
    Ui_ClosePageMenu();
}

void Jam_OpenHostSetup()
{
    if (!Ui_OpenPopup(POPUP_JAM_HOST_SETUP, nullptr, g_iScreenWidth / 4, 69, 318, 127))
        Ui_PlayRefusal();
}
void Jam_OpenJoinSetup()
{
    if (!Ui_OpenPopup(POPUP_JAM_JOIN_SETUP, nullptr, g_iScreenWidth / 4, 69, 318, 91))
        Ui_PlayRefusal();
}
void Jam_OpenPlayerSetup()
{
    if (!Ui_OpenPopup(POPUP_JAM_PLAYER_SETUP, nullptr, g_iScreenWidth / 4, 69, 318, 79))
        Ui_PlayRefusal();
}

void Jam_InstallSetupMenuItems()
{
    Ui_SetMenuItemHandler(156, Jam_StartSinglePlayer);
    Ui_SetMenuItemHandler(142, Jam_OpenHostSetup);
    Ui_SetMenuItemHandler(146, Jam_OpenPlayerSetup);
    Ui_SetMenuItemHandler(155, Jam_EnterTemplateName);
    Ui_SetMenuItemHandler(160, Jam_DropSelectedPlayer);
}
