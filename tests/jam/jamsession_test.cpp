// The jam session: the start state machine, the tempo tick, the position check, the jam log,
// resetting a player, and the song set aside at the start and brought back at the end, by every
// way the backup can go wrong.
#include "jamfixture.h"

#include "jam/jamplay.h"

#include "app/cmdline.h"
#include "jam/netsession.h"
#include "jamtesthelp.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace jamtest {
namespace {

// ---- The start state machine (no studio needed) ----

class JamStart : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Plat_ManualClockSet(5000000);
        g_bJamSinglePlayer = 1;
        g_iJamStartState = JAM_START_IDLE;
        g_iJamSyncKind = JAM_SYNC_UNKNOWN;
        g_uiJamSyncTime = 0;
        g_bJamKeysActive = 0;
        g_bNetHost = 0;
        Jam_ClearLog();
    }
    void TearDown() override
    {
        g_bJamSinglePlayer = 0;
        g_iJamStartState = JAM_START_IDLE;
        g_iJamSyncKind = JAM_SYNC_UNKNOWN;
        g_bSeqTimerRunning = 0;
        g_bJamSessionOn = 0;
        g_bNetHost = 0;
        g_iJamTempo = JAM_DEFAULT_TEMPO;
        Jam_SetTempoTick();
    }
    static int32_t LogLines()
    {
        int32_t n = 0;
        for (int32_t i = 1; i < JAM_LOG_LINES; ++i)
            n += g_aszJamLog[i][0] ? 1 : 0;
        return n;
    }
};

TEST_F(JamStart, WaitsForTheStartTimeItIsGiven)
{
    struct Case
    {
        const char *name;
        uint64_t nowUs;
        int32_t kind;
        int32_t offsetMs; // start time from now
        uint32_t framesAt, framesMore; // frames at now, and how far on the start is reached
    };
    // A time compares as a signed difference, so one just past the clock's wrap still waits.
    const uint64_t nearWrap = (uint64_t)0xFFFFFFF0u * 1000;
    const Case cases[] = {
        {"unknown waits for ever", 5000000, JAM_SYNC_UNKNOWN, 0, 0, 0},
        {"at once", 5000000, JAM_SYNC_AT_ONCE, 0, 0, 0},
        {"a time ahead", 5000000, JAM_SYNC_AT_TIME, 100, 0, 100},
        {"a time already past", 5000000, JAM_SYNC_AT_TIME, -50, 0, 0},
        {"a time of 0 is a time", 0, JAM_SYNC_AT_TIME, 0, 0, 0},
        {"across the wrap", nearWrap, JAM_SYNC_AT_TIME, 0x30, 0, 0x30},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Plat_ManualClockSet(c.nowUs);
        g_iJamStartState = JAM_START_WAITING;
        if (c.kind == JAM_SYNC_AT_ONCE)
            Jam_WaitForStartTime();
        else if (c.kind == JAM_SYNC_AT_TIME)
            Jam_SetSyncTime(Sys_GetMilliseconds() + (uint32_t)c.offsetMs);
        else
            g_iJamSyncKind = JAM_SYNC_UNKNOWN;
        if (c.kind == JAM_SYNC_UNKNOWN) {
            for (int i = 0; i < 100; ++i) {
                Plat_ManualClockAdvance(20000);
                Jam_StartStep();
            }
            EXPECT_EQ(g_iJamStartState.load(), JAM_START_WAITING);
            continue;
        }
        if (c.framesMore > 0) {
            Plat_ManualClockAdvance((uint64_t)(c.framesMore - 1) * 1000);
            Jam_StartStep();
            EXPECT_EQ(g_iJamStartState.load(), JAM_START_WAITING) << "a millisecond early";
            Plat_ManualClockAdvance(1000);
        }
        Jam_StartStep();
        EXPECT_EQ(g_iJamStartState.load(), JAM_START_RUNNING);
        EXPECT_EQ(g_bJamKeysActive.load(), 1);
        EXPECT_EQ(g_bSeqTimerRunning.load(), 1);
        EXPECT_EQ(g_uiJamStartTime.load(), Sys_GetMilliseconds());
    }
}

// A network jam's clock starts with the parts assigned while waiting: the first phrase's block
// is the one sent at its end, and the assignments go out as commands of the first frame.
TEST_F(JamStart, ANetworkStartSendsWhatWasAssignedWhileWaiting)
{
    g_bJamSinglePlayer = 0;
    g_bNetJamImmediate = 0;
    Net_ResetJamState(&g_NetNode);
    Net_SetProgramJam(&g_JamNet);
    const uint32_t word = Jam_PackLibraryKey(1, 1, 2);
    g_JamNet.aPlayers[JAM_LOCAL_PLAYER].auRiffKey[3] = Jam_KeyWord(word, 0);
    g_iJamStartState = JAM_START_WAITING;
    Jam_WaitForStartTime();
    Jam_StartStep();
    ASSERT_EQ(g_iJamStartState.load(), JAM_START_RUNNING);
    EXPECT_EQ(Jam_SlotWordOf(g_JamNet.aPlayers[5].auRiffKey[3]), word);
    std::vector<JAMEVENT> &sent = g_JamNet.aEventLists[g_JamNet.iEventSetNext & 1][JAM_LOCAL_PLAYER].Events;
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].uHeartbeat, 0u);
    EXPECT_EQ(sent[0].iCommand, 13);
    EXPECT_EQ(sent[0].uData, word);
    sent.clear();
    Net_ResetJamState(&g_NetNode);
    Net_SetProgramJam(nullptr);
}

TEST_F(JamStart, StartMessageAndListCloseByKindOfJam)
{
    // Single-player: the start message starts at once, without a box.
    Jam_OnStartMessage();
    EXPECT_EQ(g_iJamStartState.load(), JAM_START_NOW);
    EXPECT_EQ(g_bJamKeysActive.load(), 1);
    Jam_StartStep();
    EXPECT_EQ(g_iJamStartState.load(), JAM_START_RUNNING);
    EXPECT_EQ(g_pJamStartBox, nullptr);

    // States 0, 1 and 4 are left alone by the frame.
    for (int32_t s : {JAM_START_IDLE, JAM_START_REQUESTED, JAM_START_RUNNING}) {
        g_iJamStartState = s;
        g_iJamSyncKind = JAM_SYNC_AT_ONCE;
        Jam_StartStep();
        EXPECT_EQ(g_iJamStartState.load(), s);
    }

    // Closing the jam list arms the start only in state 0 of a running session.
    g_bJamSessionOn = 1;
    g_iJamStartState = JAM_START_IDLE;
    Jam_OnJamListClosed();
    EXPECT_EQ(g_iJamStartState.load(), JAM_START_WAITING);
    EXPECT_EQ(g_iJamSyncKind.load(), JAM_SYNC_AT_ONCE);
    g_bJamSinglePlayer = 0;
    g_iJamStartState = JAM_START_IDLE;
    Jam_OnJamListClosed();
    EXPECT_EQ(g_iJamStartState.load(), JAM_START_RUNNING) << "start requested: reads running until 415";
    Jam_OnStartMessage();
    EXPECT_EQ(g_iJamStartState.load(), JAM_START_WAITING);
    EXPECT_EQ(g_iJamSyncKind.load(), JAM_SYNC_UNKNOWN);
    g_iJamStartState = JAM_START_WAITING;
    Jam_OnJamListClosed();
    EXPECT_EQ(g_iJamStartState.load(), JAM_START_WAITING) << "only from state 0";
    g_bJamSessionOn = 0;
}

TEST_F(JamStart, TempoTickAndPhraseLength)
{
    const struct
    {
        int32_t tempo, tick, phraseMs;
    } cases[] = {{130, 92, 7384}, {120, 100, 8000}, {40, 300, 24000}, {240, 50, 4000},
                 // Out of range (a broken setting): held to the range, never a division by 0.
                 {0, 300, 24000}, {-5, 300, 24000}, {1000, 50, 4000}};
    for (const auto &c : cases) {
        g_iJamTempo = c.tempo;
        Jam_SetTempoTick();
        EXPECT_EQ(g_iJamTickLen.load(), c.tick) << c.tempo;
        EXPECT_EQ(Net_PhraseLengthMs(), c.phraseMs) << c.tempo;
    }
}

TEST_F(JamStart, PositionCheckMovesStepRowsAndClock)
{
    JAMSTATE *s = new JAMSTATE();
    g_pJamState = s;
    for (int32_t r = 0; r < JAM_ROWS; ++r)
        s->aiRowStep[r] = r;
    g_iJamStartState = JAM_START_RUNNING;
    g_iJamStep = 130;
    g_iJamPhraseStep = 128;
    g_iStepAccum = 1000;
    g_iFineAccum = 2000;
    g_iSubStep = 5;
    g_iFineStep = 7;
    g_ucQuarterPhase = 1;
    g_ucStepCount16 = 3;
    g_ucBeatStep = 250;
    Jam_SnapshotPhraseClock();
    JAMCLOCK reported = g_JamPhraseClock;
    reported.aiWide[0] += 100;
    reported.aiWide[2] -= 2;
    reported.aucNarrow[2] = (uint8_t)(reported.aucNarrow[2] + 10); // wraps past 255

    // The host, and a jam not running, are left alone.
    g_bNetHost = 1;
    Jam_CheckPosition(192, reported);
    g_bNetHost = 0;
    g_iJamStartState = JAM_START_WAITING;
    Jam_CheckPosition(192, reported);
    g_iJamStartState = JAM_START_RUNNING;
    EXPECT_EQ(LogLines(), 0);
    EXPECT_EQ(g_iJamStep.load(), 130);

    // Same phrase step: one line, only the clock moves.
    Jam_CheckPosition(128, reported);
    EXPECT_EQ(LogLines(), 1);
    EXPECT_STREQ(g_aszJamLog[31], "My lastJamPosG was 128, the servers was 128.");
    EXPECT_EQ(g_iJamStep.load(), 130);
    EXPECT_EQ(s->aiRowStep[7].load(), 7);
    EXPECT_EQ(g_iStepAccum, 1100);
    EXPECT_EQ(g_iFineAccum, 2000);
    EXPECT_EQ(g_iSubStep, 3);
    EXPECT_EQ(g_ucBeatStep, 4) << "250 + 10 in 8 bits";

    // Behind by 64 steps: the step and every row counter follow, and the log says so.
    Jam_CheckPosition(192, g_JamPhraseClock);
    EXPECT_EQ(LogLines(), 3);
    EXPECT_STREQ(g_aszJamLog[30], "My lastJamPosG was 128, the servers was 192.");
    EXPECT_STREQ(g_aszJamLog[31], "reset jamPosG to 194.");
    EXPECT_EQ(g_iJamStep.load(), 194);
    for (int32_t r : {0, 30, 59})
        EXPECT_EQ(s->aiRowStep[r].load(), r + 64);
    EXPECT_EQ(g_iStepAccum, 1100) << "the reported clock equals the saved one";

    g_pJamState = nullptr;
    delete s;
    g_iJamStep = 0;
    g_iJamPhraseStep = 0;
    Seq_ResetPlayState();
}

TEST_F(JamStart, LogKeepsTheNewestLinesCutToTheirLength)
{
    for (int i = 0; i < 40; ++i)
        Jam_LogLine(("line " + std::to_string(i)).c_str());
    EXPECT_EQ(g_aszJamLog[0][0], 0) << "line 0 is never shown";
    EXPECT_STREQ(g_aszJamLog[1], "line 9");
    EXPECT_STREQ(g_aszJamLog[31], "line 39");
    const std::string longLine(400, 'x');
    Jam_LogLine(longLine.c_str());
    EXPECT_EQ(std::strlen(g_aszJamLog[31]), (size_t)JAM_LOG_CHARS - 1);
    EXPECT_STREQ(g_aszJamLog[30], "line 39");
    Jam_LogLine(nullptr);
    EXPECT_STREQ(g_aszJamLog[31], "");
}

TEST_F(JamStart, ResettingAPlayerClearsItsKeysAndNothingElse)
{
    for (int32_t player : {1, (int32_t)JAM_LOCAL_PLAYER}) {
        SCOPED_TRACE(player);
        const JAMPLAYER before = JamDistinctPlayer();
        g_JamNet.aPlayers[player] = before;
        const JAMPLAYER other = g_JamNet.aPlayers[2];
        Jam_ResetPlayer(player);
        JAMPLAYER expect = before;
        for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k) {
            expect.auRiffKey[k] = 0;
            expect.auRiffLatch[k] &= ~1u;
            expect.auRiffVolume[k] = 128;
            expect.aiRiffPitch[k] = 0;
            expect.aiRiffPrevPitch[k] = 0;
        }
        for (int32_t p = 0; p < JAM_PADS; ++p) {
            expect.auPad[p] = 0;
            expect.auPadLatch[p] &= ~1u;
        }
        for (JAMKEYBOARD &k : expect.aKeyboard) {
            k.uOctave = 5;
            k.uSlotWord = 0;
        }
        uint8_t a[JAM_PLAYER_BYTES], b[JAM_PLAYER_BYTES];
        Jam_EncodePlayer(g_JamNet.aPlayers[player], a);
        Jam_EncodePlayer(expect, b);
        EXPECT_EQ(JamHex(a, sizeof a), JamHex(b, sizeof b));
        EXPECT_EQ(g_JamNet.aPlayers[2], other);
    }
}

// ---- Whole sessions on the studio ----

class JamSessionStudio : public JamStudio
{
protected:
    // The first open message box's text, "" when none is open.
    static std::string OpenBoxText()
    {
        for (const MSGBOX &b : g_aMsgBoxes)
            if (b.pWindow)
                return b.pszText ? b.pszText : "";
        return "";
    }
    void RunJam(void (*during)() = nullptr)
    {
        Jam_StartSession();
        ASSERT_EQ(g_bJamSessionOn.load(), 1);
        Ui_ClosePopup();
        Play(100);
        ASSERT_EQ(g_iJamStartState.load(), JAM_START_RUNNING);
        if (during)
            during();
        Play(200);
        Jam_EndSession(1);
        Frame();
    }
};

TEST_F(JamSessionStudio, TwoJamsInARowGiveTheSongBackAndANetworkJamStartsOnItsTime)
{
    ASSERT_EQ(Content_BuildDemoSong(), 0);
    const std::vector<uint8_t> before = SongImage();

    // Single-player: the song stays during the jam; the jam changes it.
    RunJam([] {
        EXPECT_GT(Seq_GetRiffStartingAt(0, 0), 0) << "a single-player jam keeps the song";
        Seq_NewSong();
    });
    EXPECT_EQ(g_iJamRestoreResult, JAM_RESTORE_OK);
    EXPECT_TRUE(SongImage() == before);
    EXPECT_EQ(OpenBoxText(), "");

    // A network jam starts from an empty song, waits with a box for its start time, and gives
    // the song back as well.
    g_bJamSinglePlayer = 0;
    g_iJamPlayers = 3;
    Jam_StartSession();
    EXPECT_EQ(Seq_GetRiffStartingAt(0, 0), 0) << "a network jam starts with an empty song";
    Ui_ClosePopup();
    EXPECT_EQ(g_iJamStartState.load(), JAM_START_RUNNING) << "start requested";
    Jam_OnStartMessage();
    Play(40);
    EXPECT_EQ(g_iJamStartState.load(), JAM_START_WAITING);
    ASSERT_NE(g_pJamStartBox, nullptr);
    EXPECT_STREQ(g_pJamStartBox->pszText, Ui_Text(664));
    Jam_SetSyncTime(Sys_GetMilliseconds() + 100);
    Play(60);
    EXPECT_EQ(g_iJamStartState.load(), JAM_START_WAITING);
    Play(60);
    EXPECT_EQ(g_iJamStartState.load(), JAM_START_RUNNING);
    EXPECT_EQ(g_pJamStartBox, nullptr) << "the start closes the box";
    EXPECT_EQ(g_pfnSeqStep.load(), Jam_Tick);
    Jam_EndSession(1);
    EXPECT_EQ(g_iJamPlayers, 3) << "only a single-player jam puts the player count back";
    g_iJamPlayers = 4;
    EXPECT_EQ(g_iJamRestoreResult, JAM_RESTORE_OK);
    EXPECT_TRUE(SongImage() == before);
    EXPECT_EQ(g_pfnSeqStep.load(), Seq_StepIdle);
}

// A tempo setting outside the jam's range starts the jam at the nearest tempo it has, and the song
// plays at that tempo too, so the phrases the jam counts are the ones heard.
TEST_F(JamSessionStudio, AnOutOfRangeTempoSettingStartsAtTheNearestJamTempo)
{
    const struct
    {
        int32_t setting, tempo, tick;
    } cases[] = {{0, 40, 300}, {300, 240, 50}, {-5, 40, 300}, {120, 120, 100}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.setting);
        g_iJamTempo = c.setting;
        g_bJamSinglePlayer = 1;
        Jam_StartSession();
        EXPECT_EQ(g_iJamTempo, c.tempo);
        EXPECT_EQ(g_uTempo, c.tempo);
        EXPECT_EQ(g_iJamTickLen.load(), c.tick);
        Ui_ClosePopup();
        Play(40);
        Jam_EndSession(1);
        Frame();
    }
}

// Emptying the local player's parts (the reset, the end of the jam) is no choice from a pop-up:
// the pop-up that is open stays open, the start is not armed, and the keys stay as they were.
TEST_F(JamSessionStudio, ResettingTheLocalPlayerLeavesThePopupAndKeysAlone)
{
    Jam_StartSession();
    ASSERT_NE(g_pCurrentPopup, nullptr);
    ASSERT_EQ(g_pCurrentPopup->kind, POPUP_JAM_LIST);
    Jam_AssignKeyboardFromLibrary(0, 0, 0, 1);
    Jam_ResetPlayer(JAM_LOCAL_PLAYER);
    ASSERT_NE(g_pCurrentPopup, nullptr);
    EXPECT_EQ(g_pCurrentPopup->kind, POPUP_JAM_LIST);
    EXPECT_EQ(g_iJamStartState.load(), JAM_START_IDLE);
    EXPECT_EQ(g_bJamKeysActive.load(), 0);
    EXPECT_STREQ(g_aszJamKeyboardNames[1], Ui_Text(697));

    Ui_ClosePopup();
    Play(40);
    ASSERT_EQ(g_bJamKeysActive.load(), 1);
    Jam_EndSession(1);
    EXPECT_EQ(g_bJamKeysActive.load(), 0) << "no jam keys are live once the jam is over";
}

// A jam that ends while the dial is being dragged gives the pointer back.
TEST_F(JamSessionStudio, EndingTheJamMidDragFreesThePointer)
{
    Jam_StartSession();
    Ui_ClosePopup();
    Play(40);
    Jam_StartDialDrag();
    ASSERT_EQ(g_bPointerFrozen, 1);
    Jam_EndSession(1);
    EXPECT_EQ(g_bPointerFrozen, 0);
    EXPECT_EQ(g_bJamDialDrag, 0);
}

TEST_F(JamSessionStudio, TheEndBoxKeepsOrEndsTheJam)
{
    Jam_StartSession();
    Ui_ClosePopup();
    Play(40);
    // The left button keeps the jam.
    Jam_AskEndSession();
    EXPECT_EQ(g_bJamKeysActive.load(), 0);
    EXPECT_EQ(OpenBoxText(), Ui_Text(456));
    Ui_MessageBoxAccept();
    EXPECT_EQ(g_bJamSessionOn.load(), 1);
    EXPECT_EQ(g_bJamKeysActive.load(), 1);
    Play(100);
    // The right one ends it.
    Jam_AskEndSession();
    Ui_MessageBoxRight();
    Ui_MessageBoxAccept();
    EXPECT_EQ(g_bJamSessionOn.load(), 0);
    EXPECT_EQ(g_bJamSinglePlayer, 0);
    EXPECT_EQ(g_iJamRestoreResult, JAM_RESTORE_OK);
}

// A backup this jam did not write is never read back: the song the jam ends with is kept, and
// the user is told.
TEST_F(JamSessionStudio, AStaleOrDamagedBackupIsNeverReadBack)
{
    ASSERT_EQ(Content_BuildDemoSong(), 0);
    const std::vector<uint8_t> demo = SongImage();
    // An earlier jam's backup: an empty song.
    const std::string path = Jam_BackupPath();
    ASSERT_FALSE(path.empty());
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::vector<uint8_t> stale;
    {
        Seq_NewSong();
        stale = SongImage();
        std::ofstream(path, std::ios::binary).write((const char *)stale.data(), (std::streamsize)stale.size());
        ASSERT_EQ(Seq_LoadSongImage(demo.data(), demo.size()), 0);
        ASSERT_TRUE(SongImage() == demo);
    }

    // This jam cannot set its song aside (the song file cannot hold a library sample yet).
    const int32_t inst = 1;
    const INSTRUMENTSLOT keep = g_aInstrumentSlots[inst];
    g_aInstrumentSlots[inst].ucKey1 = 3;
    g_aInstrumentSlots[inst].uKey2 = 1;
    g_aInstrumentSlots[inst].uKey3 = 1;
    RunJam();
    g_aInstrumentSlots[inst] = keep;
    EXPECT_EQ(g_iJamRestoreResult, JAM_RESTORE_NOT_SAVED);
    EXPECT_TRUE(SongImage() == demo) << "the stale backup replaced the song";
    EXPECT_NE(OpenBoxText().find("could not be set aside"), std::string::npos);
    Ui_MessageBoxAccept();
    for (int i = 0; i < 4; ++i)
        Frame();

    // The backup is written, then damaged or replaced during the jam.
    struct Case
    {
        const char *name;
        void (*damage)(const std::string &path, const std::vector<uint8_t> &other);
        int32_t result;
    };
    const Case cases[] = {
        {"removed", [](const std::string &p, const std::vector<uint8_t> &) { std::filesystem::remove(p); },
         JAM_RESTORE_MISSING},
        {"another song written over it",
         [](const std::string &p, const std::vector<uint8_t> &o) {
             std::ofstream(p, std::ios::binary).write((const char *)o.data(), (std::streamsize)o.size());
         },
         JAM_RESTORE_MISSING},
        {"cut short", [](const std::string &p, const std::vector<uint8_t> &) { std::filesystem::resize_file(p, 64); },
         JAM_RESTORE_MISSING},
        {"one byte changed",
         [](const std::string &p, const std::vector<uint8_t> &) {
             std::fstream f(p, std::ios::binary | std::ios::in | std::ios::out);
             f.seekp(40);
             f.put('\x5A');
         },
         JAM_RESTORE_MISSING},
    };
    static const std::string *s_path;
    static const std::vector<uint8_t> *s_other;
    static void (*s_damage)(const std::string &, const std::vector<uint8_t> &);
    s_path = &path;
    s_other = &stale;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        s_damage = c.damage;
        // The jam leaves an empty song behind: that is what must be kept.
        RunJam([] {
            s_damage(*s_path, *s_other);
            Seq_NewSong();
        });
        EXPECT_EQ(g_iJamRestoreResult, c.result);
        EXPECT_TRUE(SongImage() == stale) << "the jam's song is kept";
        EXPECT_NE(OpenBoxText(), "");
        Ui_MessageBoxAccept();
        for (int i = 0; i < 4; ++i)
            Frame();
        ASSERT_EQ(Seq_LoadSongImage(demo.data(), demo.size()), 0);
    }
}

} // namespace
} // namespace jamtest

namespace {

std::vector<std::vector<uint8_t>> g_serverGot;
void ServerDouble(NETNODE *, const uint8_t *data, size_t size, uint32_t)
{
    g_serverGot.emplace_back(data, data + size);
}

// A template for the exchange goes to the server whole, as 312 with this player's slot; what
// cannot be sent is refused.
TEST(JamTemplateSend, GoesToTheServerWhole)
{
    PlatNetHub hub;
    g_NetNode.pHub = &hub;
    g_NetNode.pfnDispatchB = ServerDouble;
    g_NetNode.iJamPlayers = 4;
    const std::vector<uint8_t> image = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(Jam_SendTemplateData(image.data(), image.size()), -1) << "no session";
    ASSERT_EQ(Net_StartSessionB(&g_NetNode, NET_MODE_LAN), 0);
    ASSERT_EQ(Net_StartSessionA(&g_NetNode, NET_MODE_LAN), 0);
    ASSERT_EQ(Net_CreatePlayer(&g_NetNode, -1, "Host"), 0);
    hub.Pump();
    g_JamNet.iNetMySlot = 2;
    g_serverGot.clear();
    EXPECT_EQ(Jam_SendTemplateData(image.data(), image.size()), 0);
    EXPECT_EQ(Jam_SendTemplateData(nullptr, 4), -1);
    EXPECT_EQ(Jam_SendTemplateData(image.data(), 2097152), -1) << "past the largest template";
    hub.Pump();
    ASSERT_EQ(g_serverGot.size(), 1u);
    EXPECT_EQ(JamHex(g_serverGot[0]), "38010000 02000000 09000000 01020304 05060708 09");
    Net_StopSessionA(&g_NetNode);
    Net_StopSessionB(&g_NetNode);
    g_NetNode.pHub = nullptr;
    g_NetNode.pfnDispatchB = Net_DispatchB;
    g_JamNet.iNetMySlot = 0;
}

} // namespace
