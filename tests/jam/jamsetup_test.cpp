// The ways into a jam from the studio's own pop-ups and menu: the host, join and player set-ups
// with their rows and values, the names they store, the session list that joins the session
// chosen (a host on the loopback hub), and the Music Jam menu's single-player entry.
#include "jamfixture.h"

#include "app/cmdline.h"
#include "app/settings.h"
#include "platform/settings_store.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "jam/jamsetup.h"
#include "jam/netjam.h"
#include "jam/netsession.h"
#include "ui/menupages.h"
#include "ui/textentry.h"
#include "ui/valueslider.h"

#include <memory>
#include <string>

namespace jamtest {
namespace {

std::string RowText(int32_t kind, int32_t row)
{
    char t[128];
    Jam_SetupRowText(kind, row, t, sizeof t);
    return t;
}
std::string RowValue(int32_t kind, int32_t row)
{
    char t[128];
    Jam_SetupRowValue(kind, row, t, sizeof t);
    return t;
}

class JamSetup : public JamStudio
{
protected:
    char savedServer[sizeof g_szServerName] = {}, savedPlayer[sizeof g_szPlayerName] = {};
    int savedPlayers = 0, savedLimit = 0;

    void SetUp() override
    {
        JamStudio::SetUp();
        Plat_SettingsClear();
        std::memcpy(savedServer, g_szServerName, sizeof savedServer);
        std::memcpy(savedPlayer, g_szPlayerName, sizeof savedPlayer);
        savedPlayers = g_iJamPlayers;
        savedLimit = g_iMaxTemplateSize;
        Ui_SetLanguage();
    }
    void TearDown() override
    {
        Net_StopSessionA(&g_NetNode);
        Net_StopSessionB(&g_NetNode);
        g_NetNode.pHub = nullptr;
        g_NetNode.iEnumTimeoutMs = 1000;
        std::memcpy(g_szServerName, savedServer, sizeof savedServer);
        std::memcpy(g_szPlayerName, savedPlayer, sizeof savedPlayer);
        g_iJamPlayers = savedPlayers;
        g_iMaxTemplateSize = savedLimit;
        g_bNetClient = g_bNetHost = 0;
        Plat_SettingsClear();
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
        JamStudio::TearDown();
    }
    static int Sound() { return int(g_stInterfaceVoice.pSlot - g_astInterfaceSounds); }
    // Headless runs keep the settings in memory.
    static std::string Stored(const char *name)
    {
        char v[256] = {};
        return Plat_SettingsRead(SETTINGS_KEY, name, v, sizeof v) == 0 ? std::string(v) : std::string("?");
    }
};

TEST_F(JamSetup, SetUpRowsShowTheirCaptionsAndValuesAndNamesAreStored)
{
    std::snprintf(g_szServerName, sizeof g_szServerName, "%s", "Friday");
    std::snprintf(g_szPlayerName, sizeof g_szPlayerName, "%s", "Alice");
    std::snprintf(g_szJoinAddress, sizeof g_szJoinAddress, "%s", "10.0.0.2");
    g_iJamPlayers = 3;
    g_iJamTempo = 0;
    g_iMaxTemplateSize = 5000;
    Jam_OpenHostSetup();
    ASSERT_NE(g_pCurrentPopup, nullptr);
    EXPECT_EQ(g_pCurrentPopup->kind, POPUP_JAM_HOST_SETUP);
    EXPECT_STREQ(g_pCurrentPopup->title, "Host Options");
    EXPECT_EQ(g_pCurrentPopup->list->totalRows, 8);
    EXPECT_EQ(g_iJamTempo, 130) << "a tempo never set starts at 130";
    Frame();

    struct Row
    {
        int32_t kind, row;
        const char *caption, *value;
    } rows[] = {
        {POPUP_JAM_HOST_SETUP, 1, "Server Name", "Friday"},
        {POPUP_JAM_HOST_SETUP, 2, "Player Name", "Alice"},
        {POPUP_JAM_HOST_SETUP, 3, "Number of Players", "3"},
        {POPUP_JAM_HOST_SETUP, 4, "Tempo", "130"},
        {POPUP_JAM_HOST_SETUP, 5, "Max Template Size", "5000"},
        {POPUP_JAM_HOST_SETUP, 6, " ", ""},
        {POPUP_JAM_HOST_SETUP, 7, "Host Jam", ""},
        {POPUP_JAM_HOST_SETUP, 8, "Cancel", ""},
        {POPUP_JAM_HOST_SETUP, 9, "", ""},
        {POPUP_JAM_JOIN_SETUP, 1, "Player Name", "Alice"},
        {POPUP_JAM_JOIN_SETUP, 2, "Host Address", "10.0.0.2"},
        {POPUP_JAM_JOIN_SETUP, 4, "Join Jam", ""},
        {POPUP_JAM_JOIN_SETUP, 6, "", ""},
        {POPUP_JAM_PLAYER_SETUP, 1, "Player Name", "Alice"},
        {POPUP_JAM_PLAYER_SETUP, 3, "Join Jam", ""},
        {POPUP_JAM_PLAYER_SETUP, 4, "Cancel", ""},
        {POPUP_JAM_PLAYER_SETUP, 0, "", ""},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(RowText(r.kind, r.row), r.caption) << r.kind << " row " << r.row;
        EXPECT_EQ(RowValue(r.kind, r.row), r.value) << r.kind << " row " << r.row;
    }

    // The number of players is edited within 1..4.
    Jam_HostSetupAction(2);
    ASSERT_NE(g_pValueEditorSlider, nullptr);
    Ui_StepValueSlider(g_pValueEditorSlider, 10);
    Ui_StoreSliderValue(g_pValueEditorSlider);
    EXPECT_EQ(g_iJamPlayers, 4);
    Ui_ValueEditorClose();
    Frame();

    // Names: an empty one takes the default, and what is accepted is stored.
    g_szServerName[0] = 0;
    Jam_AcceptServerName();
    EXPECT_STREQ(g_szServerName, "New Server");
    g_szPlayerName[0] = 0;
    Jam_AcceptPlayerName();
    EXPECT_STREQ(g_szPlayerName, "New Player");
    EXPECT_EQ(Stored("ServerName"), "New Server");
    EXPECT_EQ(Stored("Name"), "New Player");

    // The player name entry writes back on accept.
    Jam_EditPlayerName();
    ASSERT_NE(g_pTextEntryWindow, nullptr);
    std::snprintf(g_szTextEntryField, sizeof g_szTextEntryField, "%s", "Bob");
    Ui_AcceptTextEntry();
    EXPECT_STREQ(g_szPlayerName, "Bob");
    EXPECT_EQ(Stored("Name"), "Bob");
    Frame();
    Ui_ClosePopup();
    EXPECT_TRUE(g_atPopups[0].free && g_atPopups[1].free);
}

// A host on the loopback hub; the player set-up lists its session, and choosing it joins it
// under the player's name and starts the jam. With nothing found a choice is refused.
TEST_F(JamSetup, TheSessionListJoinsTheChosenSessionAndTheJamStarts)
{
    PlatNetHub hub;
    JAMNET hostNet;
    struct Quiet : JamActions
    {
        void LoadRiffKey(uint32_t, uint32_t, uint32_t, int32_t, int32_t, uint32_t) override {}
        int32_t LoadPad(int32_t, uint32_t, uint32_t, uint32_t, int32_t, uint32_t) override { return 1; }
        void LoadKeyboard(int32_t, uint32_t, uint32_t, uint32_t, int32_t, uint32_t) override {}
        void StartPart(int32_t, int32_t) override {}
        void StopPart(int32_t, int32_t) override {}
        void LoadPlugin(int32_t, int32_t, int32_t) override {}
        void PluginInput(int32_t, int32_t, int32_t, int32_t) override {}
        void DropPlayerParts(int32_t) override {}
    } quiet;
    Net_InitJamNet(&hostNet, &quiet);
    auto host = std::make_unique<NETNODE>();
    host->pJam = &hostNet;
    host->pHub = &hub;
    host->ServerName = "Friday Jam";
    host->LogSink = [](const char *) {};
    g_NetNode.pHub = &hub;
    g_NetNode.iEnumTimeoutMs = 300;
    std::snprintf(g_szPlayerName, sizeof g_szPlayerName, "%s", "Cleo");

    // Nobody hosts yet: the list is empty and a choice is refused.
    Jam_OpenPlayerSetup();
    ASSERT_NE(g_pCurrentPopup, nullptr);
    Jam_PlayerSetupAction(2);
    ASSERT_NE(g_pCurrentPopup, nullptr);
    EXPECT_EQ(g_pCurrentPopup->kind, POPUP_JAM_SESSIONS);
    EXPECT_EQ(g_pCurrentPopup->list->totalRows, 0);
    Ui_PopupChoose();
    EXPECT_EQ(Sound(), 3);
    EXPECT_FALSE(g_pCurrentPopup->free);
    g_bPopupStepDone = 0;
    Ui_ClosePopup();
    EXPECT_EQ(g_NetNode.pSessionA, nullptr) << "closing the list stops the session";
    Frame();

    Net_ClearLobbySlots(host.get());
    ASSERT_EQ(Net_StartSessionB(host.get(), NET_MODE_LAN), 0);
    Jam_OpenPlayerSetup();
    Jam_PlayerSetupAction(2);
    ASSERT_NE(g_pCurrentPopup, nullptr);
    ASSERT_EQ(g_pCurrentPopup->list->totalRows, 1);
    EXPECT_EQ(RowText(POPUP_JAM_SESSIONS, 1), "Friday Jam");
    EXPECT_EQ(RowText(POPUP_JAM_SESSIONS, 2), "");
    Frame();
    g_bPopupStepDone = 0;
    Ui_PopupChoose();
    ASSERT_NE(g_pCurrentPopup, nullptr);
    EXPECT_EQ(g_pCurrentPopup->kind, POPUP_JAM_LIST) << "the list gave way to the jam's template list";
    EXPECT_EQ(g_bNetClient, 1);
    EXPECT_EQ(g_bNetHost, 0);
    EXPECT_EQ(g_bJamSinglePlayer, 0);
    EXPECT_EQ(g_bJamSessionOn, 1) << "the jam started";
    for (int i = 0; i < 10; ++i)
        hub.Pump();
    ASSERT_EQ(hostNet.aServerSlots[0].uPlayerId, g_NetNode.pSessionA->uPlayerId);
    EXPECT_STREQ(hostNet.aServerSlots[0].szName, "Cleo");
    Jam_EndSession(1);
    Net_StopSessionA(&g_NetNode);
    Net_StopSessionB(host.get());
}

// The Music Jam menu's first entry starts a single-player jam.
TEST_F(JamSetup, TheMusicJamMenuStartsASinglePlayerJam)
{
    g_bJamSinglePlayer = 0;
    Jam_InstallSetupMenuItems();
    Ui_SetMenuPage(27);
    Ui_OpenPageMenu();
    ASSERT_NE(g_pPageMenuPopup, nullptr);
    ASSERT_EQ(g_pPageMenuPopup->list->totalRows, 3);
    const uint8_t *row = Ui_ListRowBuffer(g_pPageMenuPopup->list, 1);
    EXPECT_STREQ(reinterpret_cast<const char *>(row + 2), "Single Player Jam");
    g_bPopupStepDone = 0;
    Ui_ChoosePageMenuItem();
    EXPECT_EQ(g_bJamSessionOn, 1);
    EXPECT_EQ(g_bJamSinglePlayer, 1);
    EXPECT_EQ(g_iJamPlayers, 1);
    EXPECT_EQ(g_bNetJamImmediate, 1);
    ASSERT_NE(g_pCurrentPopup, nullptr);
    EXPECT_EQ(g_pCurrentPopup->kind, POPUP_JAM_LIST) << "the jam asks for a template first";
    Jam_EndSession(1);
}

} // namespace
} // namespace jamtest
