// Jam templates in use: saved from the parts a player holds, listed in the jam list, loaded back
// as the same parts; and in a network jam, loaded by one player and sent, so that the others hold
// the same riffs and instruments under the numbers the sender's parts name.
#include "jamfixture.h"

#include "app/cmdline.h"
#include "core/archive.h"
#include "jam/jamplay.h"
#include "jam/jamrecords.h"
#include "jam/jamtemplates.h"
#include "jam/netjam.h"
#include "jam/netsession.h"
#include "sequencer/instruments.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace jamtest {
namespace {

using Bytes = std::vector<uint8_t>;

std::string RiffName(int32_t id)
{
    const RIFFENTRY *r = Seq_GetRiff(id);
    return r ? std::string(r->szName, strnlen(r->szName, sizeof r->szName)) : std::string();
}
std::string InstrumentName(int32_t slot)
{
    char name[20] = {};
    Seq_GetInstrumentName(slot, name);
    return std::string(name, strnlen(name, sizeof name));
}

// The first instrument slot of the song in use, and its number in this program's own list.
int32_t FirstOwnInstrument(int32_t *entry)
{
    for (int32_t s = 1; s <= 200; ++s)
        if (!Seq_InstrumentSlotFree(s)) {
            *entry = Jam_FindOwnInstrument(s);
            if (*entry < 0 && Jam_AppendInstrumentId(JAM_LOCAL_PLAYER, (uint16_t)s) == 0)
                *entry = Jam_FindOwnInstrument(s);
            return s;
        }
    return 0;
}

class JamTemplatePlay : public JamStudio
{
protected:
    void SetUp() override
    {
        JamStudio::SetUp();
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        ASSERT_EQ(Content_BuildDemoSong(), 0);
        g_szJamTemplateName[0] = 0;
    }
    void TearDown() override
    {
        JamStudio::TearDown();
        Sys_WadFreeBuffers();
    }
};

// Saved, listed as the last folder of the jam list, chosen there, and loaded back: the library
// parts by their keys, the song parts as the same riff and instrument (found again by their own
// list numbers); a missing or broken file changes nothing.
TEST_F(JamTemplatePlay, ASavedTemplateListsAndLoadsBackTheSameParts)
{
    const Bytes before = SongImage();
    Jam_StartSession();
    Ui_ClosePopup();
    Frame();
    ASSERT_EQ(g_iJamStartState.load(), JAM_START_RUNNING);
    JAMPLAYER &me = g_JamNet.aPlayers[JAM_LOCAL_PLAYER];
    Seq_BuildRiffList();
    ASSERT_GE(g_uRiffListCount, 2);
    int32_t instEntry = -1;
    const int32_t inst = FirstOwnInstrument(&instEntry);
    ASSERT_GT(inst, 0);
    ASSERT_GT(instEntry, 0);
    const std::string riffName = RiffName(g_auRiffList[2]);
    {
        std::lock_guard<std::recursive_mutex> jam(g_JamNet.Lock);
        ASSERT_EQ(Jam_AssignRiffFromLibrary(&g_NetNode, 1, 1, 1, 0), 0);
        ASSERT_EQ(Jam_AssignRiffFromList(&g_NetNode, JAM_LOCAL_PLAYER, 2, 3, 0), 0);
        ASSERT_EQ(Jam_AssignInstrumentFromLibrary(&g_NetNode, 1, 1, 1, 4), 0);
        ASSERT_EQ(Jam_AssignInstrumentFromList(&g_NetNode, JAM_LOCAL_PLAYER, (uint32_t)instEntry, 0, 0), 0);
        ASSERT_EQ(Jam_AssignKeyboardFromLibrary(&g_NetNode, 1, 1, 2, 1), 0);
    }
    const JAMPLAYER saved = me;

    std::snprintf(g_szJamTemplateName, sizeof g_szJamTemplateName, "%s", "My Groove");
    Jam_SaveTemplateAs();
    const std::string path = Jam_TemplateFilePath("My Groove");
    ASSERT_FALSE(path.empty()) << "nothing was saved";
    EXPECT_EQ(path, dir.File("share") + "/tonnivelle/Templates/My Groove.jam");

    // The rows as written: kind 1 with the entry's name, kind 2 with the song item and its
    // number in the player's own list, 255 for what holds nothing.
    const uint8_t *riffs = g_aabJamRecords[0] + JAM_RECORD_RIFF_AT;
    const uint8_t *instruments = g_aabJamRecords[0] + JAM_RECORD_INSTRUMENT_AT;
    EXPECT_EQ(riffs[6], JAM_TEMPLATE_ROW_KIND_LIBRARY);
    EXPECT_EQ(riffs[0] | riffs[1] << 8, 0);
    EXPECT_NE(riffs[12], 0);
    EXPECT_EQ(riffs[3 * 20 + 6], JAM_ROW_SONG);
    EXPECT_EQ(riffs[3 * 20 + 8], 2);
    EXPECT_EQ(std::string((const char *)riffs + 3 * 20 + 12, riffName.substr(0, 8).size()), riffName.substr(0, 8));
    EXPECT_EQ(riffs[1 * 20 + 6], JAM_ROW_EMPTY);
    EXPECT_EQ(instruments[4 * 20], JAM_TEMPLATE_ROW_KIND_LIBRARY);
    EXPECT_EQ(instruments[0], JAM_ROW_SONG);
    EXPECT_EQ(instruments[0 * 20 + 8], instEntry);
    EXPECT_EQ(instruments[1 * 20], JAM_ROW_EMPTY);
    EXPECT_EQ(instruments[10 * 20], JAM_TEMPLATE_ROW_KIND_LIBRARY); // keyboard 1
    EXPECT_EQ(instruments[10 * 20 + 4], 1);                         // entry 2, 0-based

    // Everything emptied, then the file chosen from the jam list's own folder.
    {
        std::lock_guard<std::recursive_mutex> jam(g_JamNet.Lock);
        for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k)
            Jam_AssignRiffFromLibrary(&g_NetNode, 0, 0, 0, k);
        for (int32_t p = 0; p < JAM_PADS; ++p)
            Jam_AssignInstrumentFromLibrary(&g_NetNode, 0, 0, 0, p);
        Jam_AssignKeyboardFromLibrary(&g_NetNode, 0, 0, 0, 1);
    }
    EXPECT_EQ(me.auRiffKey[0] >> 1, 0u);
    g_iJamStartState = JAM_START_IDLE; // rows are unavailable while the jam runs
    g_atPopupDescs[POPUP_JAM_LIST].folder = (int16_t)(Jam_TemplateStyleCount() + 1);
    g_atPopupDescs[POPUP_JAM_LIST].subfolder = 1;
    POPUP *list = Ui_OpenPopup(POPUP_JAM_LIST, nullptr, 160, 69, 170, 306);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->nameCount, 1);
    EXPECT_STREQ((const char *)list->names, "My Groove");
    EXPECT_EQ(list->empty[0], 0);
    g_iJamStartState = JAM_START_RUNNING;
    Ui_PopupChoose();
    EXPECT_TRUE(list->free) << "the choice closes the list";
    EXPECT_STREQ(g_szJamTemplateName, "My Groove");
    EXPECT_EQ(me.auRiffKey[0] >> 1, saved.auRiffKey[0] >> 1);
    EXPECT_EQ(me.auPad[4] >> 1, saved.auPad[4] >> 1);
    EXPECT_EQ(me.aKeyboard[1].uSlotWord, saved.aKeyboard[1].uSlotWord);
    EXPECT_EQ(me.auRiffKey[1] >> 1, 0u);
    // The song parts came with the template: the same riff and instrument, by name.
    ASSERT_TRUE(Jam_IsListEntry(me.auRiffKey[3] >> 1));
    EXPECT_EQ(RiffName(g_auRiffList[Jam_ListEntryNumber(me.auRiffKey[3] >> 1)]), riffName);
    ASSERT_TRUE(Jam_IsListEntry(me.auPad[0] >> 1));
    EXPECT_EQ(InstrumentName(Jam_InstrumentListEntry(JAM_LOCAL_PLAYER, Jam_ListEntryNumber(me.auPad[0] >> 1))),
              InstrumentName(inst));

    // What cannot be read changes nothing.
    const JAMPLAYER loaded = me;
    EXPECT_EQ(Jam_LoadTemplate(0, 0, 0, dir.File("missing.jam").c_str()), -1);
    {
        std::ofstream(dir.File("broken.jam"), std::ios::binary) << std::string(3000, 'x');
    }
    EXPECT_EQ(Jam_LoadTemplate(0, 0, 0, dir.File("broken.jam").c_str()), -1);
    EXPECT_EQ(Jam_LoadTemplate(99, 1, 1, nullptr), -1);
    EXPECT_TRUE(me == loaded);

    Jam_EndSession(1);
    EXPECT_EQ(g_iJamRestoreResult, JAM_RESTORE_OK);
    EXPECT_TRUE(SongImage() == before) << "the song image differs after the jam";
}

// ---- Two programs on the loopback hub ----

struct Loads : public JamActions
{
    struct Part
    {
        int32_t player, index;
        uint32_t item;
    };
    std::vector<Part> riffs, pads;
    void LoadRiffKey(uint32_t a, uint32_t, uint32_t, int32_t key, int32_t player, uint32_t riff) override
    {
        if (a)
            riffs.push_back({player, key, riff});
    }
    int32_t LoadPad(int32_t player, uint32_t k1, uint32_t, uint32_t, int32_t pad, uint32_t inst) override
    {
        if (k1)
            pads.push_back({player, pad, inst});
        return 1;
    }
    void LoadKeyboard(int32_t, uint32_t, uint32_t, uint32_t, int32_t, uint32_t) override {}
    void StartPart(int32_t, int32_t) override {}
    void StopPart(int32_t, int32_t) override {}
    void LoadPlugin(int32_t, int32_t, int32_t) override {}
    void PluginInput(int32_t, int32_t, int32_t, int32_t) override {}
    void DropPlayerParts(int32_t) override {}
};

struct Peer
{
    JAMNET net;
    NETNODE node;
    Loads loads;
    explicit Peer(PlatNetHub *hub)
    {
        Net_InitJamNet(&net, &loads);
        node.pJam = &net;
        node.pHub = hub;
        node.iEnumTimeoutMs = 300;
        node.LogSink = [](const char *) {};
        Net_ResetJamState(&node);
    }
    ~Peer()
    {
        Net_StopSessionA(&node);
        Net_StopSessionB(&node);
    }
};

class JamTemplateNet : public JamTemplatePlay
{
protected:
    PlatNetHub hub;
    std::vector<std::unique_ptr<Peer>> peers;
    int32_t savedLimit = 0;

    void SetUp() override
    {
        JamTemplatePlay::SetUp();
        ASSERT_EQ(Jam_AllocPlayerLists(), 0);
        savedLimit = g_iMaxTemplateSize;
        g_iMaxTemplateSize = 2097151;
        g_bJamSinglePlayer = 0;
        g_bNetJamImmediate = 1;
        g_iJamPlayers = 4;
    }
    void TearDown() override
    {
        peers.clear();
        Jam_FreePlayerLists();
        g_iMaxTemplateSize = savedLimit;
        JamTemplatePlay::TearDown();
    }
    void Settle()
    {
        for (int round = 0; round < 100; ++round) {
            int moved = hub.Pump();
            for (auto &p : peers) {
                std::lock_guard<std::recursive_mutex> hold(p->net.Lock);
                moved += Net_ServiceInbox(&p->node);
            }
            if (!moved)
                return;
        }
        ADD_FAILURE() << "traffic never settled";
    }
    Peer &Add()
    {
        peers.push_back(std::make_unique<Peer>(&hub));
        return *peers.back();
    }
};

// One player loads a template: the other gets its riffs and instruments filed under the numbers
// the sender's parts name, so both play the same riff and instrument for that player. What cannot
// be loaded, or is over the size limit at the go-ahead, goes out empty and ends the hold.
TEST_F(JamTemplateNet, ATemplateOnePlayerLoadsGivesTheOthersTheSameParts)
{
    Peer &a = Add();
    Net_ClearLobbySlots(&a.node);
    ASSERT_EQ(Net_StartSessionB(&a.node, NET_MODE_LAN), 0);
    ASSERT_EQ(Net_StartSessionA(&a.node, NET_MODE_LAN), 0);
    Net_EnumSessions(&a.node);
    ASSERT_EQ(Net_CreatePlayer(&a.node, -1, "Alice"), 0);
    Settle();

    // Alice's template: a song riff on key 2 and a song instrument on pad 5.
    Seq_BuildRiffList();
    ASSERT_GE(g_uRiffListCount, 1);
    int32_t instEntry = -1;
    const int32_t inst = FirstOwnInstrument(&instEntry);
    ASSERT_GT(inst, 0);
    const std::string riffName = RiffName(g_auRiffList[1]);
    Bytes image;
    {
        std::lock_guard<std::recursive_mutex> jam(a.net.Lock);
        ASSERT_EQ(Jam_AssignRiffFromList(&a.node, JAM_LOCAL_PLAYER, 1, 2, 0), 0);
        ASSERT_EQ(Jam_AssignInstrumentFromList(&a.node, JAM_LOCAL_PLAYER, (uint32_t)instEntry, 5, 0), 0);
        ASSERT_GT(Jam_BuildTemplateImage(&a.node, &image), 0);
        Jam_AssignRiffFromLibrary(&a.node, 0, 0, 0, 2);
        Jam_AssignInstrumentFromLibrary(&a.node, 0, 0, 0, 5);
    }
    Settle();
    Peer &b = Add();
    ASSERT_EQ(Net_StartSessionA(&b.node, NET_MODE_LAN), 0);
    ASSERT_GE(Net_EnumSessions(&b.node), 1);
    ASSERT_EQ(Net_CreatePlayer(&b.node, 1, "Bob"), 0);
    Settle();
    ASSERT_EQ(a.net.iNetMySlot, 0);
    ASSERT_EQ(b.net.iNetMySlot, 1);

    {
        std::lock_guard<std::recursive_mutex> jam(a.net.Lock);
        ASSERT_EQ(Jam_ChooseTemplate(&a.node, image), 1);
    }
    Settle();
    {
        // Bob's jam step plays the commands that came (immediate mode).
        std::lock_guard<std::recursive_mutex> jam(b.net.Lock);
        Net_ApplyAllQueuedEvents(&b.node);
    }
    EXPECT_EQ(b.net.bNetJamHold, 0);
    ASSERT_FALSE(a.net.aTemplateCopies[0].empty()) << "the server keeps what was sent";

    // Alice plays what the template loaded here...
    const uint32_t riffWord = a.net.aPlayers[JAM_LOCAL_PLAYER].auRiffKey[2] >> 1;
    const uint32_t padWord = a.net.aPlayers[JAM_LOCAL_PLAYER].auPad[5] >> 1;
    ASSERT_TRUE(Jam_IsListEntry(riffWord));
    ASSERT_TRUE(Jam_IsListEntry(padWord));
    EXPECT_EQ(Jam_ListEntryPlayer(riffWord), 0);
    const uint16_t aliceRiff = g_auRiffList[Jam_ListEntryNumber(riffWord)];
    const uint16_t alicePad = Jam_InstrumentListEntry(JAM_LOCAL_PLAYER, Jam_ListEntryNumber(padWord));
    EXPECT_EQ(RiffName(aliceRiff), riffName);
    EXPECT_EQ(InstrumentName(alicePad), InstrumentName(inst));
    // ...and Bob's program plays the same for Alice from its own copies, filed in her lists.
    EXPECT_EQ(b.net.aPlayers[0].auRiffKey[2] >> 1, riffWord);
    EXPECT_EQ(b.net.aPlayers[0].auPad[5] >> 1, padWord);
    ASSERT_EQ(b.loads.riffs.size(), 1u);
    EXPECT_EQ(b.loads.riffs[0].player, 0);
    EXPECT_EQ(b.loads.riffs[0].index, 2);
    EXPECT_EQ(RiffName((int32_t)b.loads.riffs[0].item), riffName);
    EXPECT_NE(b.loads.riffs[0].item, aliceRiff) << "Bob plays his own copy";
    ASSERT_EQ(b.loads.pads.size(), 1u);
    EXPECT_EQ(b.loads.pads[0].player, 0);
    EXPECT_EQ(InstrumentName((int32_t)b.loads.pads[0].item), InstrumentName(inst));
    EXPECT_NE(b.loads.pads[0].item, alicePad);

    // A template Bob's program cannot read still ends the hold, and files nothing.
    const int32_t filed = g_aiJamRiffIdCount[0];
    EXPECT_EQ(Jam_LoadTemplateImage(&b.node, 0, image.data(), 100), -1);
    EXPECT_EQ(Jam_LoadTemplateImage(&b.node, 1, image.data(), image.size()), -1) << "its own slot";
    EXPECT_EQ(Jam_LoadTemplateImage(&b.node, 7, image.data(), image.size()), -1);
    EXPECT_EQ(g_aiJamRiffIdCount[0], filed);
    Bytes broken(4000, 0x5A);
    {
        std::lock_guard<std::recursive_mutex> jam(b.net.Lock);
        ASSERT_EQ(Jam_ChooseTemplate(&b.node, broken), 1);
    }
    Settle();
    EXPECT_EQ(a.net.bNetJamHold, 0);
    EXPECT_TRUE(a.net.aTemplateCopies[1].empty()) << "nothing loadable went out";

    // The limit drops below the template between the choice and the go-ahead: sent empty,
    // nobody stays on hold.
    {
        std::lock_guard<std::recursive_mutex> jam(a.net.Lock);
        ASSERT_EQ(Jam_ChooseTemplate(&a.node, image), 1);
    }
    g_iMaxTemplateSize = 1000;
    Settle();
    EXPECT_EQ(b.net.bNetJamHold, 0);
    EXPECT_TRUE(a.net.aTemplateCopies[0].empty()) << "nothing over the limit went out";

    // Over the limit when chosen: refused at once, so the chooser can say so, and the others
    // are never put on hold for it.
    a.net.aTemplateCopies[0] = image;
    {
        std::lock_guard<std::recursive_mutex> jam(a.net.Lock);
        EXPECT_EQ(Jam_ChooseTemplate(&a.node, image), JAM_TEMPLATE_TOO_LARGE);
    }
    Settle();
    EXPECT_EQ(b.net.bNetJamHold, 0);
    EXPECT_EQ(a.net.iTemplatePhase, 0) << "no exchange began";
    EXPECT_EQ(a.net.aTemplateCopies[0], image) << "what was sent before stays";
}

} // namespace
} // namespace jamtest
