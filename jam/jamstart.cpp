#include "jam/jamstart.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/calllog.h"
#include "app/cmdline.h"
#include "app/crash.h"
#include "app/settings.h"
#include "editors/topbar.h"
#include "jam/jamseq.h"
#include "jam/jamsession.h"
#include "jam/netjam.h"
#include "jam/netsession.h"
#include "render/gpustate.h"
#include "ui/popup.h"
#include "ui/frontend.h"
#include "ui/widgets.h"

namespace {

constexpr int32_t kSessionListPopup = 17;

void CloseTopBar()
{
    if (g_pTopBarWindow && Ui_WindowIsOpen(g_pTopBarWindow))
        Ui_CloseWindow(g_pTopBarWindow);
}

// The jam state is reset before the sessions start, so the node must point at it already.
void PrepareNode()
{
    Jam_ClampSettings();
    Net_SetProgramJam(&g_JamNet);
    Net_NodeFromSettings(&g_NetNode);
    Net_ResetJamState(&g_NetNode);
}

// A network start that could not go on: say why and give the user the studio back.
void StartFailed(const char *what)
{
    Net_StopSessionA(&g_NetNode);
    Net_StopSessionB(&g_NetNode);
    Sys_InfoBox("Jam session", what);
    Ui_OpenMainScreenAtStart();
}

void HostWith(int32_t mode)
{
    PrepareNode();
    if (Net_StartSessionB(&g_NetNode, mode) != 0) {
        StartFailed("The jam session could not be hosted: no network port could be opened.");
        return;
    }
    Net_ClearLobbySlots(&g_NetNode);
    Net_StopSessionA(&g_NetNode);
    Net_StartSessionA(&g_NetNode, mode);
    // The host only looks for its own session: asked on this machine, never broadcast.
    const std::string joinAddress = g_NetNode.JoinAddress;
    if (g_NetNode.pSessionB && g_NetNode.pSessionB->pServer)
        g_NetNode.JoinAddress = "127.0.0.1:" + std::to_string(g_NetNode.pSessionB->pServer->Port());
    if (g_NetNode.pSessionA)
        g_NetNode.pSessionA->iMode = NET_MODE_ADDRESS;
    Net_EnumSessions(&g_NetNode);
    if (g_NetNode.pSessionA)
        g_NetNode.pSessionA->iMode = mode;
    g_NetNode.JoinAddress = joinAddress;
    Ed_CloseWindowsThenRun(Jam_StartSession);
    CloseTopBar();
    if (Net_CreatePlayer(&g_NetNode, -1, g_szPlayerName) != 0)
        Jam_LogLine("Could not join the jam session hosted here.");
}

} // namespace

void Jam_ClampSettings()
{
    g_iJamPlayers = std::clamp(g_iJamPlayers, 1, (int)JAM_NET_SLOTS);
    g_iJamTempo = std::clamp<int32_t>(g_iJamTempo, 40, 240);
    g_iMaxTemplateSize = std::clamp(g_iMaxTemplateSize, 0, 2097151);
}

void Jam_StartSinglePlayer()
{
    Sys_CallLog("Jam_StartSinglePlayer");
    Net_StopSessionA(&g_NetNode);
    Net_SetProgramJam(&g_JamNet);
    Net_ResetJamState(&g_NetNode);
    g_bJamSinglePlayer = 1;
    g_iJamPlayers = 1;
    Ed_CloseWindowsThenRun(Jam_StartSession);
    CloseTopBar();
    Net_StartSessionA(&g_NetNode, NET_MODE_LAN);
    g_bNetJamImmediate = 1;
    g_bJamSinglePlayer = 1;
    g_iJamPlayers = 1;
    g_bNetHost = 1;
}

void Jam_HostFromLobby()
{
    Sys_CallLog("Jam_HostFromLobby");
    g_bNetJamImmediate = 0;
    g_bJamSinglePlayer = 0;
    HostWith(NET_MODE_ADDRESS);
}

void Jam_HostFromMenu()
{
    Sys_CallLog("Jam_HostFromMenu");
    g_bNetJamImmediate = 1;
    g_bJamSinglePlayer = 0;
    Net_StopSessionB(&g_NetNode);
    HostWith(NET_MODE_LAN);
}

void Jam_JoinFromLobby()
{
    Sys_CallLog("Jam_JoinFromLobby");
    PrepareNode();
    g_bJamSinglePlayer = 0;
    Net_StartSessionA(&g_NetNode, NET_MODE_ADDRESS);
    g_bNetJamImmediate = 0;
    if (g_bNetSession == 0) {
        Net_EnumSessions(&g_NetNode);
        Ui_OpenPopup(kSessionListPopup, nullptr, g_iScreenWidth / 4, 69, 170, 306);
        return;
    }
    g_bNetClient = 1;
    g_bNetHost = 0;
    g_NetNode.bNetClient = 1;
    g_NetNode.bNetHost = 0;
    // The lobby started us to join: wait for the session, but not for ever.
    int32_t rounds = 0;
    while (Net_EnumSessions(&g_NetNode) == 0)
        if (++rounds >= JAM_JOIN_ENUM_ROUNDS) {
            char line[160];
            std::snprintf(line, sizeof line, "No jam session answered at \"%s\".",
                          g_szJoinAddress[0] ? g_szJoinAddress : "the local network");
            StartFailed(line);
            return;
        }
    if (int32_t err = Net_CreatePlayer(&g_NetNode, 1, g_szPlayerName); err != 0) {
        char line[160];
        std::snprintf(line, sizeof line, "Could not join the jam session (%s).",
                      err == PLAT_NET_ERR_FULL ? "it is full" : "no answer");
        StartFailed(line);
        return;
    }
    Jam_StartSession();
}
