// Recording a network jam to a file, playing it back phrase by phrase, broken recordings, and the
// text dump of a player's pending commands. The jam runs in one process on the loopback hub with
// the manual clock, as in the network jam tests.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/cmdline.h"
#include "app/mainwindow.h"
#include "app/timers.h"
#include "jam/jamplay.h"
#include "jam/jamrecord.h"
#include "jam/netcommand.h"
#include "jam/netjam.h"
#include "jam/netsession.h"
#include "platform/clock.h"
#include "sequencer/clock.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

class Quiet : public JamActions
{
public:
    void LoadRiffKey(uint32_t, uint32_t, uint32_t, int32_t, int32_t, uint32_t) override {}
    int32_t LoadPad(int32_t, uint32_t, uint32_t, uint32_t, int32_t, uint32_t) override { return 1; }
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
    Quiet quiet;
    uint8_t keys[JAM_KEY_STATES]{};

    explicit Peer(PlatNetHub *hub)
    {
        Net_InitJamNet(&net, &quiet);
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

// What commands write into a block: riff keys on, pads held, keyboard keys held.
using Played = std::array<uint32_t, 4>;
Played PlayedOf(const JAMPLAYER &p)
{
    Played r{};
    for (int k = 0; k < JAM_RIFF_KEYS; ++k)
        r[0] |= (p.auRiffKey[k] & 1) << k;
    for (int k = 0; k < JAM_PADS; ++k)
        r[1] |= (p.auPad[k] & 1) << k;
    r[2] = p.aKeyboard[0].uHeld;
    r[3] = p.aKeyboard[1].uHeld;
    return r;
}
using Frame4 = std::array<Played, JAM_NET_SLOTS>;

Bytes ReadFile(const fs::path &path)
{
    std::ifstream f(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path &path, const Bytes &b)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char *>(b.data()), std::streamsize(b.size()));
}

std::string Hex(const Bytes &b, size_t from = 0)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = from; i < b.size(); ++i) {
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
    }
    return s;
}

class JamRecordTest : public ::testing::Test
{
protected:
    PlatNetHub hub;
    std::vector<std::unique_ptr<Peer>> peers;
    int32_t iBarFrame = 0;
    fs::path dir;

    void SetUp() override
    {
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Plat_ManualClockSet(50'000'000);
        g_bJamSinglePlayer = 0;
        g_iJamStartState = JAM_START_RUNNING;
        g_bSeqTimerRunning = 1;
        g_bJamSessionOn = 1;
        g_bTextEntryActive = 0;
        g_bNetJamImmediate = 0;
        g_iJamBar = g_iJamStep = g_iJamPhraseBar = g_iJamPhraseStep = 0;
        g_iJamTempo = 240;
        g_uTempo = 240;
        Jam_SetTempoTick(); // 50 frames a bar
        g_iMaxTemplateSize = 262144;
        g_iJamPlayers = 4;
        g_uiJamStartTime = Plat_Milliseconds();
        g_iJamSyncKind = JAM_SYNC_UNKNOWN;
        char tmpl[] = "/tmp/tnv_jamrecord_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override
    {
        peers.clear();
        g_bSeqTimerRunning = 0;
        g_bJamSessionOn = 0;
        g_bNetJamImmediate = 0;
        g_iJamStartState = JAM_START_IDLE;
        g_iJamTempo = 130;
        g_uTempo = 130;
        Jam_SetTempoTick();
        g_iJamBar = g_iJamStep = g_iJamPhraseBar = g_iJamPhraseStep = 0;
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    std::string Path(const char *name = JAM_SAVE_FILE) const { return (dir / name).string(); }

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
    Peer &Host(const char *name)
    {
        peers.push_back(std::make_unique<Peer>(&hub));
        Peer &h = *peers.back();
        Net_ClearLobbySlots(&h.node);
        EXPECT_EQ(Net_StartSessionB(&h.node, NET_MODE_LAN), 0);
        EXPECT_EQ(Net_StartSessionA(&h.node, NET_MODE_LAN), 0);
        Net_EnumSessions(&h.node);
        EXPECT_EQ(Net_CreatePlayer(&h.node, -1, name), 0);
        Settle();
        return h;
    }
    Peer &Join(const char *name)
    {
        peers.push_back(std::make_unique<Peer>(&hub));
        Peer &j = *peers.back();
        EXPECT_EQ(Net_StartSessionA(&j.node, NET_MODE_LAN), 0);
        EXPECT_GE(Net_EnumSessions(&j.node), 1);
        EXPECT_EQ(Net_CreatePlayer(&j.node, 1, name), 0);
        Settle();
        return j;
    }
    // A program on its own, with no session: what plays a recording back.
    Peer &Alone()
    {
        peers.push_back(std::make_unique<Peer>(&hub));
        return *peers.back();
    }
    // One jam frame on every program, with the bar and phrase ends the clock would raise.
    void Frame()
    {
        for (auto &p : peers)
            Net_NodeFrame(&p->node, p->keys);
        Settle();
        if (++iBarFrame < g_iJamTickLen)
            return;
        iBarFrame = 0;
        const int32_t bar = g_iJamBar;
        g_iJamStep = g_iJamStep + JAM_BAR_STEPS;
        for (auto &p : peers) {
            std::lock_guard<std::recursive_mutex> hold(p->net.Lock);
            Net_EndBarWork(&p->node, bar, g_iJamStep);
        }
        Settle();
        g_iJamBar = bar + 1;
        if (g_iJamBar % 4 == 0) {
            g_iJamPhraseBar = g_iJamBar.load();
            g_iJamPhraseStep = g_iJamStep.load();
            for (auto &p : peers) {
                std::lock_guard<std::recursive_mutex> hold(p->net.Lock);
                Net_EndPhraseWork(&p->node);
            }
            Settle();
        }
    }
    int32_t PhraseFrames() const { return 4 * g_iJamTickLen; }
    static Frame4 Blocks(const Peer &p)
    {
        Frame4 f;
        for (int32_t s = 0; s < JAM_NET_SLOTS; ++s)
            f[s] = PlayedOf(p.net.aPlayers[s]);
        return f;
    }
};

// ---- The file's layout ----

TEST_F(JamRecordTest, HeadAndPhraseRecordsHaveTheirExactBytes)
{
    JAMPLAYER players[JAM_NET_SLOTS]{};
    players[2].auRiffKey[3] = 0x800001;
    const Bytes head = Jam_EncodeSaveHead(players);
    ASSERT_EQ(head.size(), 2800u);
    for (uint32_t p = 0; p < 4; ++p) {
        EXPECT_EQ(Hex(Bytes(head.begin() + p * 700, head.begin() + p * 700 + 4)),
                  (p == 0 ? "00" : p == 1 ? "01" : p == 2 ? "02" : "03") + std::string("000000"));
        uint8_t block[JAM_PLAYER_BYTES];
        Jam_EncodePlayer(players[p], block);
        EXPECT_TRUE(std::equal(block, block + JAM_PLAYER_BYTES, head.begin() + p * 700 + 4)) << p;
    }

    JAMEVENTLIST lists[JAM_NET_SLOTS];
    lists[0].Events = {{0x99, 22, 0}, {10, 22, 5}, {30, 22, 0}};
    lists[0].uCursor = 1; // written from the read cursor on
    lists[2].Events = {{7, 1, 0x800003}};
    const JAMEVENTLIST *ptrs[JAM_NET_SLOTS] = {&lists[0], &lists[1], &lists[2], &lists[3]};
    const Bytes phrase = Jam_EncodeSavePhrase(ptrs);
    const std::string zero12 = "000000000000000000000000";
    const std::string next = zero12 + "00000000" + "ffffffff" + "00000000";
    const std::string end = zero12 + "00000000" + "feffffff" + "00000000";
    EXPECT_EQ(Hex(phrase), "00000000" + zero12 + "0a000000" + "16000000" + "05000000" + //
                               zero12 + "1e000000" + "16000000" + "00000000" + next +        //
                               "01000000" + next +                                           //
                               "02000000" + zero12 + "07000000" + "01000000" + "03008000" + next + //
                               "03000000" + end);
    EXPECT_EQ(phrase.size(), 16u + 24u * 3 + 96u);
}

TEST_F(JamRecordTest, TheReaderTakesWholeRecordsAndRefusesTornOrBadOnes)
{
    JAMEVENTLIST lists[JAM_NET_SLOTS];
    lists[1].Events = {{4, 24, 1}, {9, 0, 77}, {12, 24, 0}}; // the empty record is skipped
    const JAMEVENTLIST *ptrs[JAM_NET_SLOTS] = {&lists[0], &lists[1], &lists[2], &lists[3]};
    const Bytes rec = Jam_EncodeSavePhrase(ptrs);
    const size_t p1 = 4 + 24;  // player 1's number
    struct Case
    {
        const char *what;
        Bytes bytes;
        int32_t result;
    };
    Bytes badPlayer = rec;
    badPlayer[p1] = 4;
    Bytes noEnd = rec;
    noEnd[noEnd.size() - 8] = 0xff; // the -2 becomes -1, and no player number follows
    std::vector<Case> cases = {
        {"whole", rec, JAM_SAVE_PHRASE},
        {"nothing left", {}, JAM_SAVE_END},
        {"player 4", badPlayer, JAM_SAVE_BROKEN},
        {"no end of phrase", noEnd, JAM_SAVE_BROKEN},
    };
    // Cut anywhere inside the record: never a phrase, never a read past the end.
    for (size_t cut = 1; cut < rec.size(); cut += 5)
        cases.push_back({"cut", Bytes(rec.begin(), rec.begin() + ptrdiff_t(cut)), JAM_SAVE_BROKEN});
    for (const Case &c : cases) {
        size_t at = 0;
        JAMSAVEPHRASE phrase;
        EXPECT_EQ(Jam_DecodeSavePhrase(c.bytes.data(), c.bytes.size(), &at, &phrase), c.result)
            << c.what << " " << c.bytes.size();
        EXPECT_EQ(at, c.result == JAM_SAVE_PHRASE ? c.bytes.size() : 0u) << c.what;
        if (c.result == JAM_SAVE_PHRASE) {
            EXPECT_EQ(phrase.aEvents[1], (std::vector<JAMEVENT>{{4, 24, 1}, {12, 24, 0}}));
        }
    }

    JAMPLAYER players[JAM_NET_SLOTS]{};
    players[3].aKeyboard[1].uOctave = 2;
    Bytes head = Jam_EncodeSaveHead(players);
    JAMPLAYER back[JAM_NET_SLOTS];
    ASSERT_EQ(Jam_DecodeSaveHead(head.data(), head.size(), back), 0);
    EXPECT_EQ(back[3], players[3]);
    EXPECT_EQ(Jam_DecodeSaveHead(head.data(), 2799, back), -1);
    head[2100] = 4; // the local player's block is never in a recording
    EXPECT_EQ(Jam_DecodeSaveHead(head.data(), head.size(), back), -1);
}

// ---- Recording and replay ----

TEST_F(JamRecordTest, ARecordedJamPlaysBackTheRemotePlayersPhraseByPhrase)
{
    Peer &hana = Host("Hana");
    Peer &alice = Join("Alice");
    Join("Bob");
    Join("Carol");
    ASSERT_EQ(alice.net.iNetMySlot, 1);
    const uint8_t keysOf[4][2] = {{0x70, 'Q'}, {0x61, 'Z'}, {0x72, '2'}, {0x65, 0xBC}};
    auto script = [&](int phrase, int f) {
        for (size_t i = 0; i < peers.size(); ++i) {
            if (i == 1)
                continue; // the recording player's own keys are not in its recording
            const int at = 10 + 17 * int(i) + phrase * 5;
            if (f == at)
                peers[i]->keys[keysOf[i][phrase % 2]] = 0x80;
            if (f == at + 40 + 20 * (phrase % 2))
                peers[i]->keys[keysOf[i][phrase % 2]] = 0;
        }
    };
    Jam_SaveToggle(&alice.node, Path());
    EXPECT_STREQ(g_aszJamCaptions[JAM_CAPTION_STATUS], "Saving Jam Session...");
    EXPECT_EQ(fs::file_size(Path()), 2800u);
    // Recording from phrase 0: what the others played in phrases 0..2 is heard in 1..3.
    std::vector<Frame4> live;
    for (int phrase = 0; phrase < 4; ++phrase) {
        if (phrase == 3) {
            Jam_SaveToggle(&alice.node, Path());
            EXPECT_STREQ(g_aszJamCaptions[JAM_CAPTION_STATUS], "Finished Saving Jam Session...");
        }
        for (int f = 0; f < PhraseFrames(); ++f) {
            script(phrase, f);
            Frame();
            if (phrase >= 1)
                live.push_back(Blocks(alice));
        }
    }
    (void)hana;

    // Three phrase records after the head, each of 16 + 24 n + 96 bytes.
    const Bytes file = ReadFile(Path());
    size_t at = JAM_SAVE_HEAD_BYTES, expected = JAM_SAVE_HEAD_BYTES, phrases = 0, events = 0;
    JAMSAVEPHRASE phrase;
    while (Jam_DecodeSavePhrase(file.data(), file.size(), &at, &phrase) == JAM_SAVE_PHRASE) {
        ++phrases;
        size_t n = 0;
        for (const auto &e : phrase.aEvents)
            n += e.size();
        EXPECT_EQ(phrase.aEvents[1].size(), 0u) << "the recording player's own slot";
        expected += 16 + 24 * n + 96;
        events += n;
    }
    EXPECT_EQ(phrases, 3u);
    EXPECT_EQ(file.size(), expected);
    EXPECT_GE(events, 12u);

    // Played back by a program alone in slot 0 (a slot that was Hana's), from immediate mode.
    peers.clear();
    Peer &rita = Alone();
    g_bNetJamImmediate = 1;
    ASSERT_EQ(Jam_PlaySavedToggle(&rita.node, Path()), 0);
    EXPECT_STREQ(g_aszJamCaptions[JAM_CAPTION_STATUS], "Playing Saved Jam Session...");
    EXPECT_EQ(g_bNetJamImmediate, 0);
    EXPECT_EQ(rita.net.iJamReplay, 2);
    std::vector<Frame4> replay;
    for (int p = 0; p < 4; ++p)
        for (int f = 0; f < PhraseFrames(); ++f) {
            rita.keys[0x70] = 0x80; // the local keys are not read during a replay
            Frame();
            if (p >= 1)
                replay.push_back(Blocks(rita));
        }
    ASSERT_EQ(replay.size(), live.size());
    // Frame by frame; the last frame's phrase end met the end of the recording and reset the jam.
    for (size_t i = 0; i + 1 < live.size(); ++i)
        ASSERT_EQ(replay[i], live[i]) << "phrase " << 1 + i / size_t(PhraseFrames()) << " frame "
                                      << i % size_t(PhraseFrames());
    EXPECT_NE(live[live.size() / 2], Frame4{}) << "the jam played something";
    EXPECT_EQ(rita.net.iJamReplay, 0);
    EXPECT_EQ(g_bNetJamImmediate, 1);
    EXPECT_EQ(rita.net.auSentMask[0], 0u);
    EXPECT_STREQ(g_aszJamCaptions[JAM_CAPTION_STATUS], "Stopping Playback...");
    EXPECT_EQ(replay.back(), Frame4{});
}

TEST_F(JamRecordTest, ATornLastPhraseIsNotPlayedAndTheReplayStopsBeforeIt)
{
    // Head, one whole phrase (player 2 presses riff key 0 at heartbeat 20), then a torn one.
    JAMPLAYER players[JAM_NET_SLOTS]{};
    Bytes file = Jam_EncodeSaveHead(players);
    JAMEVENTLIST lists[JAM_NET_SLOTS];
    lists[2].Events = {{20, 22, 1}};
    const JAMEVENTLIST *ptrs[JAM_NET_SLOTS] = {&lists[0], &lists[1], &lists[2], &lists[3]};
    Bytes rec = Jam_EncodeSavePhrase(ptrs);
    file.insert(file.end(), rec.begin(), rec.end());
    lists[2].Events = {{5, 22, 3}};
    rec = Jam_EncodeSavePhrase(ptrs);
    file.insert(file.end(), rec.begin(), rec.begin() + 60);
    WriteFile(Path(), file);

    Peer &rita = Alone();
    ASSERT_EQ(Jam_PlaySavedToggle(&rita.node, Path()), 0);
    EXPECT_EQ(rita.net.iJamReplay, 1);
    for (int f = 0; f < PhraseFrames(); ++f)
        Frame();
    for (int f = 0; f < 21; ++f)
        Frame();
    EXPECT_EQ(PlayedOf(rita.net.aPlayers[2])[0], 1u);
    for (int f = 21; f < PhraseFrames(); ++f)
        Frame();
    // The torn record ends the replay at this phrase end; nothing of it is queued.
    EXPECT_EQ(rita.net.iJamReplay, 0);
    EXPECT_EQ(g_bNetJamImmediate, 0);
    for (int f = 0; f < 10; ++f)
        Frame();
    EXPECT_EQ(PlayedOf(rita.net.aPlayers[2])[0], 0u);
    EXPECT_STREQ(g_aszJamCaptions[JAM_CAPTION_STATUS], "Stopping Playback...");
}

TEST_F(JamRecordTest, RecordingsThatCannotBePlayedAreRefusedAndChangeNothing)
{
    JAMPLAYER players[JAM_NET_SLOTS]{};
    Bytes bad = Jam_EncodeSaveHead(players);
    bad[700] = 4;
    WriteFile(Path("player4.jam"), bad);
    WriteFile(Path("short.jam"), Bytes(2799, 0));
    fs::create_directory(Path("folder.jam"));
    const std::string readOnly = Path("readonly.jam");
    WriteFile(readOnly, Jam_EncodeSaveHead(players));
    fs::permissions(readOnly, fs::perms::owner_read);

    Peer &rita = Alone();
    rita.net.aPlayers[2].auRiffKey[0] = 1;
    for (const char *name : {"missing.jam", "player4.jam", "short.jam", "folder.jam"}) {
        g_aszJamCaptions[JAM_CAPTION_STATUS][0] = 0;
        g_bNetJamImmediate = 1;
        EXPECT_EQ(Jam_PlaySavedToggle(&rita.node, Path(name)), -1) << name;
        EXPECT_STREQ(g_aszJamCaptions[JAM_CAPTION_STATUS], "The saved jam session cannot be played") << name;
        EXPECT_EQ(rita.net.iJamReplay, 0) << name;
        EXPECT_EQ(g_bNetJamImmediate, 1) << name;
        EXPECT_EQ(rita.net.aPlayers[2].auRiffKey[0], 1u) << name;
    }
    // A recording only read needs no write access; play does nothing while recording.
    EXPECT_EQ(Jam_PlaySavedToggle(&rita.node, readOnly), 0);
    EXPECT_EQ(Jam_PlaySavedToggle(&rita.node, readOnly), 0);
    EXPECT_EQ(rita.net.iJamReplay, 0);
    Jam_SaveToggle(&rita.node, Path());
    EXPECT_EQ(Jam_PlaySavedToggle(&rita.node, readOnly), -1);
    EXPECT_EQ(rita.net.iJamReplay, 0);
    Jam_SaveToggle(&rita.node, Path());
    EXPECT_EQ(rita.net.bJamRecording, 0);
    // Saving twice without a jam leaves the head alone, and replaces an older recording.
    EXPECT_EQ(fs::file_size(Path()), 2800u);
}

TEST_F(JamRecordTest, EachPhraseIsAppendedWholeAfterTheLastGoodRecord)
{
    Peer &rita = Alone();
    // The user's folder is not there yet (a file is in its way): recording stays on, and the
    // head is written at the first phrase end where it can be.
    WriteFile(dir / "later", Bytes{1});
    const std::string path = (dir / "later" / JAM_SAVE_FILE).string();
    Jam_SaveToggle(&rita.node, path);
    EXPECT_EQ(rita.net.bJamRecording, 1);
    EXPECT_FALSE(fs::exists(path));
    const JAMEVENT e{3, 24, 2};
    rita.net.aEventLists[rita.net.iEventSetNow & 1][3].Events = {e};
    Jam_WriteSaveEvents(&rita.node);
    EXPECT_FALSE(fs::exists(path));
    fs::remove(dir / "later");
    Jam_WriteSaveEvents(&rita.node);
    const size_t one = 2800 + 16 + 24 + 96;
    ASSERT_EQ(fs::file_size(path), one);

    // A crash tore the next record: the next append cuts the torn bytes off first.
    {
        std::ofstream tail(path, std::ios::binary | std::ios::app);
        tail << "torn record";
    }
    Jam_WriteSaveEvents(&rita.node);
    const Bytes file = ReadFile(path);
    ASSERT_EQ(file.size(), 2 * one - 2800);
    size_t at = JAM_SAVE_HEAD_BYTES;
    JAMSAVEPHRASE phrase;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(Jam_DecodeSavePhrase(file.data(), file.size(), &at, &phrase), JAM_SAVE_PHRASE);
        EXPECT_EQ(phrase.aEvents[3], std::vector<JAMEVENT>{e});
    }
    EXPECT_EQ(Jam_DecodeSavePhrase(file.data(), file.size(), &at, &phrase), JAM_SAVE_END);
}

TEST_F(JamRecordTest, TheJamsEndStopsRecordingAndReplaySoTheNextJamHearsTheNetwork)
{
    JAMPLAYER players[JAM_NET_SLOTS]{};
    WriteFile(Path(), Jam_EncodeSaveHead(players));
    Peer &rita = Alone();
    g_bNetJamImmediate = 1;
    ASSERT_EQ(Jam_PlaySavedToggle(&rita.node, Path()), 0);
    ASSERT_EQ(rita.net.iJamReplay, 2);
    Jam_EndRecordingAndReplay(&rita.node);
    EXPECT_EQ(rita.net.iJamReplay, 0);
    EXPECT_EQ(g_bNetJamImmediate, 1);
    Jam_SaveToggle(&rita.node, Path("next.jam"));
    Jam_EndRecordingAndReplay(&rita.node);
    EXPECT_EQ(rita.net.bJamRecording, 0);
    // A phrase end after the jam's end writes nothing more.
    Jam_WriteSaveEvents(&rita.node);
    EXPECT_EQ(fs::file_size(Path("next.jam")), 2800u);
}

// ---- Dump ----

TEST_F(JamRecordTest, TheDumpOfAPlayersPendingCommandsMatchesItsText)
{
    Host("Alice");
    Peer &bob = Join("Bob");
    Peer &alice = *peers[0];
    const int32_t bobSlot = bob.net.iNetMySlot;
    ASSERT_EQ(bobSlot, 1);
    ASSERT_STREQ(alice.net.aClientSlots[bobSlot].szName, "Bob");
    {
        std::lock_guard<std::recursive_mutex> hold(alice.net.Lock);
        // Bob's live commands in scheduled mode wait in his track list, in heartbeat order.
        for (const JAMEVENT &e : {JAMEVENT{30, 22, 4}, JAMEVENT{5, 26, Jam_PackKeyboardData(1, 5)},
                                  JAMEVENT{12, 24, 0}})
            Jam_ApplyPlayerEvent(&alice.node, e, bobSlot);
    }
    const std::string path = Path(JAM_DUMP_FILE);
    EXPECT_EQ(Jam_WriteDump(&alice.net, bobSlot, path), 0);
    EXPECT_EQ(Jam_WriteDump(&alice.net, 2, path), 0);
    EXPECT_EQ(Jam_WriteDump(&alice.net, 4, path), -1);
    EXPECT_EQ(Jam_WriteDump(&alice.net, -1, path), -1);
    EXPECT_EQ(Jam_WriteDump(&alice.net, 0, (dir / "none" / "x.txt").string()), -1);
    const Bytes text = ReadFile(path);
    EXPECT_EQ(std::string(text.begin(), text.end()),
              "Play data for player 1...\n"
              "\nData for track 0\n\n"
              "Data at heartbeat=5...\n\tplayer=Bob\n\tcommand=26\n\tdata=655361\n"
              "Data at heartbeat=12...\n\tplayer=Bob\n\tcommand=24\n\tdata=0\n"
              "Data at heartbeat=30...\n\tplayer=Bob\n\tcommand=22\n\tdata=4\n"
              "Play data for player 2...\n"
              "\nData for track 0\n\n"
              "Data at heartbeat=0...\n\tplayer=EMPTY\n\tcommand=0\n\tdata=0\n");
}

} // namespace
