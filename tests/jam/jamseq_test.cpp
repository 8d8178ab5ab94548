// The jam sequencer on a stepped clock, with a recording fake of the sequencer's note, riff and
// instrument calls.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/mixlock.h"
#include "jam/jamchannel.h"
#include "jam/jamnet.h"
#include "jam/jamseq.h"
#include "sequencer/samples.h"
#include "sequencer/songcontrol.h"

namespace {

struct Trigger
{
    bool riff;
    int32_t channel, mode, step, track, plugin;
    uint8_t pitch, level;
    uint16_t instrument;
};

// The sequencer as the jam sees it: notes and riffs with reference counts, instruments with use
// counts, and a log of every call that sounds or frees something.
struct FakeSeq
{
    std::vector<Trigger> triggers;
    std::vector<JAMNOTE> notes{JAMNOTE{}}; // id 0 unused
    std::vector<RIFFENTRY> riffs{RIFFENTRY{}};
    std::vector<std::vector<uint16_t>> grids{{}};
    std::vector<int32_t> riffOwner{-1};
    std::vector<int32_t> releasedRiffs;
    std::vector<int32_t> releasedInstruments;
    std::vector<int32_t> stoppedVoices;
    std::vector<int32_t> clearedInstruments;
    std::vector<std::string> clockCalls;
    std::map<int32_t, int32_t> listRefs;
    int32_t nextList = 1;
    uint8_t uses[201]{};
    int32_t kind[201]{};
    int32_t library[201]{};
    int32_t nextInstrument = 100;
    int32_t loadResult = 0;
} *g_fake;

void FakeTrigger(const RIFFENTRY *riff, const JAMNOTE *note, int32_t c, int32_t mode, int32_t step, int32_t track,
                 int32_t plugin)
{
    g_fake->triggers.push_back({riff != nullptr, c, mode, step, track, plugin, note->ucPitch, note->ucLevel,
                                note->uInstrument});
    SEQCHANNEL &ch = g_aSeqChannels[c];
    ch.ucOwner = (uint8_t)mode;
    ch.ucLengthLeft = (uint8_t)(note->ucLength + 1);
    ch.iPitch = note->ucPitch << 15;
    ch.ucLevel = note->ucLevel;
}
int FakeStopVoice(int32_t v)
{
    g_fake->stoppedVoices.push_back(v);
    return 0;
}
int32_t FakeReverb(int32_t on, int32_t voice)
{
    g_fake->clockCalls.push_back("reverb " + std::to_string(on) + " " + std::to_string(voice));
    return 0;
}
void FakeNothing() {}
void FakeStartClock() { g_fake->clockCalls.push_back("start clock"); }
void FakeTempo(int32_t bpm) { g_fake->clockCalls.push_back("tempo " + std::to_string(bpm)); }
void FakeDefaultNote(JAMNOTE *n)
{
    *n = JAMNOTE{};
    n->uListA = (uint16_t)g_fake->nextList++;
    n->uListB = (uint16_t)g_fake->nextList++;
    n->uListC = (uint16_t)g_fake->nextList++;
    g_fake->listRefs[n->uListA]++;
    g_fake->listRefs[n->uListB]++;
    g_fake->listRefs[n->uListC]++;
}
void FakeReleaseList(int32_t id)
{
    if (--g_fake->listRefs[id] == 0)
        g_fake->listRefs.erase(id);
}
int32_t FakeRiffCount() { return (int32_t)g_fake->riffs.size(); }
RIFFENTRY *FakeGetRiff(int32_t id)
{
    if (id < 1 || id >= (int32_t)g_fake->riffs.size())
        return nullptr;
    g_fake->riffs[id].puNotes = g_fake->grids[id].data();
    return &g_fake->riffs[id];
}
const JAMNOTE *FakeGetNote(int32_t id)
{
    return id >= 1 && id < (int32_t)g_fake->notes.size() ? &g_fake->notes[id] : nullptr;
}
int32_t FakeRiffOwner(int32_t id) { return id >= 1 && id < (int32_t)g_fake->riffOwner.size() ? g_fake->riffOwner[id] : -1; }
void FakeAddRefs(int32_t riff)
{
    for (uint16_t id : g_fake->grids[riff])
        if (id)
            g_fake->notes[id].uRefCount++;
}
int32_t FakeReleaseRiff(int32_t riff, int32_t, int32_t)
{
    g_fake->releasedRiffs.push_back(riff);
    if (riff >= 1 && riff < (int32_t)g_fake->riffs.size()) {
        g_fake->riffs.erase(g_fake->riffs.begin() + riff);
        g_fake->grids.erase(g_fake->grids.begin() + riff);
        g_fake->riffOwner.erase(g_fake->riffOwner.begin() + riff);
    }
    return 1;
}
int32_t FakeReleaseNote(int32_t id, int32_t, int32_t)
{
    JAMNOTE &n = g_fake->notes[id];
    if (n.uRefCount > 1) {
        n.uRefCount--;
        return 0;
    }
    g_fake->notes.erase(g_fake->notes.begin() + id);
    return 1;
}
// Loads library riff (a, b, c) as the newest riff when it is (1, 2, 3).
int32_t FakeLoadLibraryRiff(int32_t, int32_t a, int32_t b, int32_t c, void *)
{
    if (a != 1 || b != 2 || c != 3)
        return 0;
    RIFFENTRY r{};
    r.ucBars = 1;
    r.ucTracks = 1;
    g_fake->riffs.push_back(r);
    g_fake->grids.push_back(std::vector<uint16_t>(16, 0));
    g_fake->grids.back()[0] = 1;
    g_fake->riffOwner.push_back(-1);
    return (int32_t)g_fake->riffs.size() - 1;
}
int32_t FakeAllocInstrument() { return 100 + g_fake->nextInstrument++ % 100; }
int32_t FakeLoadInstrument(int32_t slot, uint32_t, uint32_t, uint32_t, int32_t kind)
{
    g_iFoundInstrumentSlot = slot;
    g_fake->kind[slot] = kind;
    return g_fake->loadResult;
}
void FakeReleaseInstrument(int32_t slot) { g_fake->releasedInstruments.push_back(slot); }
void FakeClearInstrument(int32_t slot, int32_t, int32_t) { g_fake->clearedInstruments.push_back(slot); }
int32_t FakeKind(int32_t slot) { return g_fake->kind[slot]; }
int32_t FakeIsLibrary(int32_t slot) { return g_fake->library[slot]; }
uint8_t FakeUses(int32_t slot) { return g_fake->uses[slot]; }
void FakeSetUses(int32_t slot, uint8_t n) { g_fake->uses[slot] = n; }

const JAMSEQCALLS kFakeCalls = {
    .TriggerNote = FakeTrigger,
    .StopVoice = FakeStopVoice,
    .SetVoiceReverb = FakeReverb,
    .StartClock = FakeStartClock,
    .SetTempo = FakeTempo,
    .FreeUndoLog = FakeNothing,
    .FillDefaultNote = FakeDefaultNote,
    .ReleaseParamList = FakeReleaseList,
    .RiffCount = FakeRiffCount,
    .GetRiff = FakeGetRiff,
    .GetNote = FakeGetNote,
    .RiffOwner = FakeRiffOwner,
    .AddRiffNoteRefs = FakeAddRefs,
    .ReleaseRiff = FakeReleaseRiff,
    .ReleaseNote = FakeReleaseNote,
    .LoadLibraryRiff = FakeLoadLibraryRiff,
    .AllocInstrumentSlot = FakeAllocInstrument,
    .LoadInstrument = FakeLoadInstrument,
    .ReleaseInstrument = FakeReleaseInstrument,
    .ClearInstrument = FakeClearInstrument,
    .InstrumentKind = FakeKind,
    .InstrumentIsLibrary = FakeIsLibrary,
    .InstrumentUses = FakeUses,
    .SetInstrumentUses = FakeSetUses,
};

class JamSeq : public ::testing::Test
{
protected:
    FakeSeq fake;
    const int32_t mySlot = 0;

    void SetUp() override
    {
        g_fake = &fake;
        g_JamSeqCalls = kFakeCalls;
        std::memset(g_aSeqChannels, 0, sizeof g_aSeqChannels);
        std::memset(g_aPlayColumns, 0, sizeof g_aPlayColumns);
        std::memset(g_aChannelMute, 0, sizeof g_aChannelMute);
        g_iSubStep = 0;
        g_iJamPhraseStep = 0;
        g_iJamPhraseBar = 0;
        g_iJamBar = 0;
        g_uJamBarEnds = 0;
        g_uJamPhraseEnds = 0;
        g_bNetJamImmediate = 1;
        g_uRiffListCount = 0;
        ASSERT_EQ(Jam_AllocPlayerLists(), 0);
        ASSERT_EQ(Jam_AllocState(), 0);
    }
    void TearDown() override
    {
        Jam_FreeState();
        g_JamSeqCalls = g_JamSeqDefaultCalls;
        g_fake = nullptr;
    }

    JAMSTATE &S() { return *g_pJamState; }

    // One call of the clock's step callback, as the sequencer makes it: under the mix lock.
    void SubStep()
    {
        std::lock_guard<std::recursive_mutex> hold(g_csMix);
        g_iSubStep = g_iSubStep % 24 + 1;
        Jam_Tick();
    }
    void Steps(int n)
    {
        for (int i = 0; i < n * 12; ++i)
            SubStep();
    }

    // A note of pitch p, instrument 7, one reference per use.
    int32_t AddNote(uint8_t pitch)
    {
        JAMNOTE n{};
        n.ucPitch = pitch;
        n.uInstrument = 7;
        n.ucLength = 2;
        n.uRefCount = 1;
        fake.notes.push_back(n);
        return (int32_t)fake.notes.size() - 1;
    }
    // A riff of `bars` bars with the given (track, step, note) cells, listed as own entry n.
    int32_t AddRiff(int bars, int tracks, std::vector<std::array<int, 3>> cells, int32_t owner = -1)
    {
        RIFFENTRY r{};
        r.ucBars = (uint8_t)bars;
        r.ucTracks = (uint8_t)tracks;
        r.ucStartLevel = 255;
        r.ucEndLevel = 255;
        std::vector<uint16_t> grid((size_t)bars * 16 * tracks, 0);
        for (auto &c : cells)
            grid[(size_t)c[0] * bars * 16 + c[1]] = (uint16_t)c[2];
        fake.riffs.push_back(r);
        fake.grids.push_back(grid);
        fake.riffOwner.push_back(owner);
        const int32_t id = (int32_t)fake.riffs.size() - 1;
        g_auRiffList[++g_uRiffListCount] = (uint16_t)id;
        return id;
    }
    // An event slot bound to instrument `inst`, idle.
    void AssignSlot(int32_t slot, uint8_t inst, uint8_t level = 100)
    {
        S().aucSlotInstrument[slot] = inst;
        S().aucSlotAssigned[slot] = 1;
        S().aucSlotTrigger[slot] = JAM_TRIGGER_IDLE;
        S().aucSlotLevel[slot] = level;
    }
    // Channel c becomes a layer voice of the given level and start delay.
    static void Layer(int c, uint8_t level, uint16_t delay)
    {
        g_aSeqChannels[c] = SEQCHANNEL{};
        g_aSeqChannels[c].ucOwner = JAM_MODE_LAYER;
        g_aSeqChannels[c].ucLevel = level;
        g_aSeqChannels[c].uStartDelay = delay;
    }
    // Every channel busy: keyed notes of audible row 59 with long notes.
    void AllBusy()
    {
        for (int c = 0; c < JAM_CHANNELS; ++c) {
            g_aSeqChannels[c].ucOwner = JAM_MODE_KEYED;
            g_aSeqChannels[c].ucLengthLeft = 200;
            S().aiChannelOwner[c] = 59;
            S().aiChannelTrack[c] = 0;
        }
        S().aucRowMute[59] = 0;
    }
};

TEST_F(JamSeq, SlotsEverySubStepRowsEveryTwelve)
{
    AssignSlot(3, 9);
    Jam_StartPart(1, 3);
    SubStep(); // sub-step 1: the slot starts at once
    ASSERT_EQ(fake.triggers.size(), 1u);
    EXPECT_EQ(fake.triggers[0].mode, JAM_MODE_SLOT);
    EXPECT_EQ(fake.triggers[0].instrument, 9);
    EXPECT_EQ(fake.triggers[0].level, 255);
    const int32_t c = fake.triggers[0].channel;
    EXPECT_EQ(S().aiChannelOwner[c], JAM_OWNER_SLOT + 3);
    EXPECT_EQ(g_aPlayColumns[c].iLevel, 100 * 1024);
    EXPECT_EQ(g_aSeqChannels[c].apPoints[1], g_aJamSlotPan[3]);
    EXPECT_EQ(g_aSeqChannels[c].iPanValue, 128 * 256);
    EXPECT_EQ(g_aJamSlotPan[3][1], 128);
    EXPECT_EQ(g_aJamSlotPan[3][2], 255);
    EXPECT_EQ(g_iJamStep, 0);
    for (int i = 0; i < 10; ++i)
        SubStep();
    EXPECT_EQ(g_iJamStep, 0);
    SubStep(); // 12
    EXPECT_EQ(g_iJamStep, 1);
    for (int i = 0; i < 12; ++i)
        SubStep();
    EXPECT_EQ(g_iJamStep, 2);
    EXPECT_EQ(fake.triggers.size(), 1u);
}

TEST_F(JamSeq, HeldKeyStartsOneNoteReleaseEndsItPressAgainStartsAnother)
{
    AssignSlot(0, 5);
    Jam_StartPart(1, 0);
    Steps(6);
    ASSERT_EQ(fake.triggers.size(), 1u);
    const int32_t c = fake.triggers[0].channel;
    EXPECT_EQ(S().aucSlotTrigger[0], JAM_TRIGGER_ON);

    Jam_StopPart(1, 0);
    EXPECT_EQ(S().aucSlotTrigger[0], JAM_TRIGGER_IDLE);
    EXPECT_EQ(S().aucSlotChannel[0], JAM_NO_CHANNEL);
    EXPECT_EQ(S().aucSlotReleased[0], 1);
    EXPECT_EQ(JamCh_LengthLeft(c), 0); // releases on the next step
    EXPECT_EQ(JamCh_Mute(c), 1);
    EXPECT_EQ(S().aiChannelOwner[c], -1);
    Steps(2);
    EXPECT_EQ(fake.triggers.size(), 1u);

    Jam_StartPart(1, 0);
    SubStep();
    EXPECT_EQ(fake.triggers.size(), 2u);
    EXPECT_EQ(JamCh_Mute(fake.triggers[1].channel), 0);
}

TEST_F(JamSeq, SlotStatesNeverAssignedIdleOnIdle)
{
    // 2: a slot never assigned ignores presses.
    EXPECT_EQ(S().aucSlotTrigger[4], JAM_TRIGGER_UNASSIGNED);
    Jam_StartPart(1, 4);
    SubStep();
    EXPECT_TRUE(fake.triggers.empty());
    AssignSlot(4, 2); // 0
    Jam_StartPart(1, 4);
    EXPECT_EQ(S().aucSlotTrigger[4], JAM_TRIGGER_ON); // 1
    SubStep();
    EXPECT_EQ(fake.triggers.size(), 1u);
    Jam_StopPart(1, 4);
    EXPECT_EQ(S().aucSlotTrigger[4], JAM_TRIGGER_IDLE); // 0
}

TEST_F(JamSeq, RowPlaysItsPositionInLockstep)
{
    const int32_t n8 = AddNote(50), n0 = AddNote(40);
    const int32_t riff = AddRiff(2, 2, {{0, 8, n8}, {1, 0, n0}});
    const int32_t row = Jam_AddRiffSlot(0, 0, 0, mySlot, 1, mySlot);
    ASSERT_GE(row, 0);
    EXPECT_EQ(S().aucRowState[row], 1);
    EXPECT_EQ(S().aucRowMute[row], 0); // audible from the start part
    EXPECT_EQ(fake.notes[n8].uRefCount, 2); // one reference for the row's copy
    S().aiRowStep[row] = 40;                // 40 mod 32 = 8
    Steps(1);
    ASSERT_EQ(fake.triggers.size(), 1u);
    const Trigger &t = fake.triggers[0];
    EXPECT_TRUE(t.riff);
    EXPECT_EQ(t.mode, JAM_MODE_KEYED);
    EXPECT_EQ(t.step, 8);
    EXPECT_EQ(t.track, 0);
    EXPECT_EQ(t.pitch, 50);
    EXPECT_EQ(g_aPlayColumns[t.channel].uStepsLeft, 32 - 8);
    EXPECT_EQ(g_aPlayColumns[t.channel].uLevelUpdates, 2 * 64);
    EXPECT_EQ(g_aPlayColumns[t.channel].iLevel, 255 * 1024);
    EXPECT_EQ(S().aucRowChannels[row][0], t.channel);
    EXPECT_EQ(S().aiRowStep[row], 41);
    // Every row's counter runs, loaded or not.
    EXPECT_EQ(S().aiRowStep[row == 0 ? 1 : 0], 1);
    (void)riff;

    // Position 0 comes round 24 steps later, on track 1.
    Steps(23);
    EXPECT_EQ(fake.triggers.size(), 1u);
    Steps(1);
    ASSERT_EQ(fake.triggers.size(), 2u);
    EXPECT_EQ(fake.triggers[1].track, 1);
    EXPECT_EQ(fake.triggers[1].step, 0);
}

TEST_F(JamSeq, ScheduledModeAuditionStartsAPhraseAhead)
{
    AddRiff(1, 1, {});
    Steps(5);
    g_bNetJamImmediate = 0;
    const int32_t row = Jam_AddRiffSlot(0, 0, 0, mySlot, 1, mySlot);
    ASSERT_GE(row, 0);
    EXPECT_EQ(S().aiRowStep[row], 5 + 64);
    g_bNetJamImmediate = 1;
    Jam_CancelPendingRiff();
    const int32_t again = Jam_AddRiffSlot(0, 0, 0, mySlot, 1, mySlot);
    EXPECT_EQ(S().aiRowStep[again], 5);
}

TEST_F(JamSeq, LibraryRiffAuditionKeepsOnlyTheRowsCopy)
{
    const int32_t n = AddNote(30);
    const int32_t row = Jam_AddRiffSlot(1, 2, 3, JAM_LOCAL_PLAYER, 0, mySlot);
    ASSERT_GE(row, 0);
    // The temporary riff is released at once; the row plays its own copy.
    ASSERT_EQ(fake.releasedRiffs.size(), 1u);
    EXPECT_EQ(fake.notes[n].uRefCount, 2);
    EXPECT_EQ(S().aRows[row].pGrid[0], n);
    EXPECT_EQ(S().aucRowVolume[row], 255);
    EXPECT_EQ(g_iJamPendingRiff, row);
    Steps(1);
    EXPECT_EQ(fake.triggers.size(), 1u);
    // A library riff that is not there starts nothing, and the audition it replaced is gone.
    EXPECT_EQ(Jam_AddRiffSlot(9, 9, 9, JAM_LOCAL_PLAYER, 0, mySlot), -1);
    EXPECT_EQ(g_iJamPendingRiff, -1);
    EXPECT_EQ(S().aucRowState[row], 0);
    EXPECT_EQ(fake.notes[n].uRefCount, 1);
    Jam_CancelPendingRiff(); // nothing pending: no harm
    EXPECT_EQ(fake.notes[n].uRefCount, 1);
}

TEST_F(JamSeq, BarAndPhraseEndsAtTheirSteps)
{
    Steps(15);
    EXPECT_EQ(g_uJamBarEnds, 0u);
    Steps(1);
    EXPECT_EQ(g_uJamBarEnds, 1u);
    EXPECT_EQ(g_iJamBar, 1);
    Steps(47);
    EXPECT_EQ(g_uJamPhraseEnds, 0u);
    Steps(1); // step 64
    EXPECT_EQ(g_uJamBarEnds, 4u);
    EXPECT_EQ(g_uJamPhraseEnds, 1u);
    EXPECT_EQ(g_iJamPhraseStep, 64);
    EXPECT_EQ(g_iJamPhraseBar, 4);
    Steps(64);
    EXPECT_EQ(g_uJamPhraseEnds, 2u);
    EXPECT_EQ(g_iJamPhraseStep, 128);
}

// With all 99 channels busy, who gives up a channel to whom.
TEST_F(JamSeq, AllocationTable)
{
    // A new slot note takes a released slot's channel before a muted row's.
    AllBusy();
    S().aiChannelOwner[5] = 3; // muted row 3 comes first in the scan
    S().aucRowMute[3] = 1;
    S().aiChannelTrack[5] = 2;
    S().aucRowChannels[3][2] = 5;
    AssignSlot(9, 1);
    S().aiChannelOwner[10] = JAM_OWNER_SLOT + 9;
    S().aucSlotChannel[9] = 10;
    S().aucSlotTrigger[9] = JAM_TRIGGER_ON;
    Jam_StopPart(1, 9); // the key went up: length 0, owner -1
    S().aiChannelOwner[10] = JAM_OWNER_SLOT + 9;
    EXPECT_EQ(Jam_AllocChannel(JAM_OWNER_SLOT + 1, 3, 0), 10);
    // Without it the muted row's channel goes, and the row forgets it.
    S().aiChannelOwner[10] = 59;
    EXPECT_EQ(Jam_AllocChannel(JAM_OWNER_SLOT + 1, 3, 0), 5);
    EXPECT_EQ(S().aucRowChannels[3][2], JAM_NO_CHANNEL);

    // A row track takes a muted row's channel only while its own row is audible.
    S().aucRowMute[7] = 0;
    EXPECT_EQ(Jam_AllocChannel(7, 4, 0), 5);
    S().aucRowMute[7] = 1;
    EXPECT_EQ(Jam_AllocChannel(7, 4, 0), JAM_NO_CHANNEL);
    // An owner that is neither a row nor an event slot (a stray value) is never taken.
    S().aiChannelOwner[5] = 300;
    S().aucRowMute[7] = 0;
    EXPECT_EQ(Jam_AllocChannel(7, 4, 0), JAM_NO_CHANNEL);
    S().aiChannelOwner[5] = 3;
    // A track of a row that already has a channel keeps it.
    S().aucRowChannels[7][4] = 42;
    EXPECT_EQ(Jam_AllocChannel(7, 4, 4), 42);

    // Kind 2 takes the layer candidate: lowest level, or the longest start delay (later wins).
    S().aiChannelOwner[5] = 59;
    Layer(30, 10, 0);
    Layer(31, 5, 0);
    g_iJamCurrentRow = 12;
    S().aucRowMute[12] = 1;
    EXPECT_EQ(Jam_AllocChannel(12, 2, 0), 31);
    EXPECT_EQ(S().aiChannelOwner[31], 12 | JAM_OWNER_LAYER);
    EXPECT_EQ(JamCh_Mute(31), 1);
    EXPECT_EQ(g_aSeqChannels[31].ucLevel, 0);
    g_aSeqChannels[31].ucLevel = 5;
    Layer(32, 50, 9);
    EXPECT_EQ(Jam_AllocChannel(12, 2, 0), 32);
    // A free channel is not a layer voice's to take.
    g_aSeqChannels[40].ucOwner = JAM_MODE_FREE;
    EXPECT_EQ(Jam_AllocChannel(12, 2, 0), 32);
    // Anyone else takes the free one at once; a just-triggered one is skipped.
    g_aSeqChannels[40].ucState = SEQ_STATE_SETUP;
    g_aSeqChannels[41].ucOwner = JAM_MODE_FREE;
    EXPECT_EQ(Jam_AllocChannel(JAM_OWNER_SLOT, 3, 0), 41);
}

TEST_F(JamSeq, SlotNoteFallsBackToTheShortestKeyedNoteThenNothing)
{
    AllBusy();
    g_aSeqChannels[20].ucLengthLeft = 90;
    g_aSeqChannels[21].ucLengthLeft = 30;
    EXPECT_EQ(Jam_AllocChannel(JAM_OWNER_SLOT + 2, 3, 0), 21);
    // Nothing below 128 left: no channel, and a requested slot note is dropped.
    g_aSeqChannels[20].ucLengthLeft = 200;
    g_aSeqChannels[21].ucLengthLeft = 200;
    EXPECT_EQ(Jam_AllocChannel(JAM_OWNER_SLOT + 2, 3, 0), JAM_NO_CHANNEL);
    AssignSlot(2, 3);
    Jam_StartPart(1, 2);
    SubStep();
    EXPECT_TRUE(fake.triggers.empty());
    EXPECT_EQ(S().aucSlotTrigger[2], JAM_TRIGGER_IDLE);
}

TEST_F(JamSeq, MuteAndPitchReachTheRowsChannelsAndLayers)
{
    const int32_t n = AddNote(48);
    AddRiff(1, 2, {{0, 0, n}, {1, 0, n}});
    const int32_t row = Jam_AddRiffSlot(0, 0, 0, mySlot, 1, mySlot);
    S().aiRowStep[row] = 0;
    Steps(1);
    ASSERT_EQ(fake.triggers.size(), 2u);
    const int32_t c0 = fake.triggers[0].channel, c1 = fake.triggers[1].channel;
    S().aiChannelOwner[70] = row | JAM_OWNER_LAYER;
    Jam_SetRowMute(row, 1);
    EXPECT_EQ(JamCh_Mute(c0), 1);
    EXPECT_EQ(JamCh_Mute(c1), 1);
    EXPECT_EQ(JamCh_Mute(70), 1);
    Jam_StopPart(2, row);
    Jam_StartPart(2, row);
    EXPECT_EQ(JamCh_Mute(c0), 0);
    EXPECT_EQ(JamCh_Mute(70), 0);

    const int32_t before = g_aSeqChannels[c0].iPitch;
    S().aucRowVolume[row] = 128;
    Jam_AddRowPitch(row, 32768);
    EXPECT_EQ(g_aSeqChannels[c0].iPitch, before + 32768);
    EXPECT_EQ(g_aSeqChannels[70].iPitch, 32768);
    EXPECT_EQ(g_aPlayColumns[c1].iLevel, 255 * 1024 * 128 / 255);
    EXPECT_EQ(g_aPlayColumns[c1].iLevelStep, 0);
}

// Each note of a transposed row carries the row pitch once, however many tracks start with it.
TEST_F(JamSeq, RowPitchIsAddedOnceToEachNote)
{
    const int32_t n = AddNote(48);
    AddRiff(1, 3, {{0, 0, n}, {1, 0, n}, {2, 0, n}});
    const int32_t row = Jam_AddRiffSlot(0, 0, 0, mySlot, 1, mySlot);
    S().aiRowStep[row] = 0;
    S().aiRowPitch[row] = 256; // one semitone
    Steps(1);
    ASSERT_EQ(fake.triggers.size(), 3u);
    for (const Trigger &t : fake.triggers)
        EXPECT_EQ(g_aSeqChannels[t.channel].iPitch, (48 << 15) + 32768) << "channel " << t.channel;
}

TEST_F(JamSeq, DeletedNoteRenumbersEveryRowsGrid)
{
    const int32_t a = AddNote(40), b = AddNote(41), c = AddNote(42);
    AddRiff(1, 1, {{0, 0, a}, {0, 1, b}, {0, 2, c}});
    AddRiff(1, 1, {{0, 5, c}, {0, 6, b}});
    const int32_t r1 = Jam_AddRiffSlot(0, 0, 0, mySlot, 1, mySlot);
    g_iJamPendingRiff = -1; // keep it loaded as a key's row
    g_aJamPlayerRows[JAM_LOCAL_PLAYER].aiRiffRow[JAM_RIFF_KEYS] = -1;
    const int32_t r2 = Jam_AddRiffSlot(0, 0, 0, mySlot, 2, mySlot);
    ASSERT_NE(r1, r2);
    // Song and both rows hold b: three references. Dropping the song's and one row's leaves one.
    fake.notes[b].uRefCount = 1;
    Jam_ReleaseRowNote(b);
    const uint16_t *g1 = S().aRows[r1].pGrid, *g2 = S().aRows[r2].pGrid;
    EXPECT_EQ(g1[0], a);
    EXPECT_EQ(g1[1], 0);
    EXPECT_EQ(g1[2], c - 1);
    EXPECT_EQ(g2[5], c - 1);
    EXPECT_EQ(g2[6], 0);
    // Unloading a row gives back a reference of each of its notes.
    const uint16_t refsA = fake.notes[a].uRefCount;
    Jam_UnloadRow(r1);
    EXPECT_EQ(S().aucRowState[r1], 0);
    EXPECT_EQ(fake.notes[a].uRefCount, refsA - 1);
}

// A cancelled instrument audition gives its event slot back, so auditions never run out.
TEST_F(JamSeq, CancelledAuditionsDoNotUseUpSlots)
{
    for (int i = 0; i < 2 * JAM_EVENT_SLOTS; ++i) {
        ASSERT_EQ(Jam_AddInstrumentSlot(Jam_PackLibraryKey(1, 2, 3), 2, 3, JAM_LOCAL_PLAYER, 0, mySlot), 1)
            << "audition " << i;
        Jam_CancelPendingInstrument();
    }
    EXPECT_EQ(Jam_FindFreeSlot(), 0);
    EXPECT_EQ(S().aucSlotInstrument[0], 0);
    EXPECT_EQ(S().aucSlotTrigger[0], JAM_TRIGGER_UNASSIGNED);
}

TEST_F(JamSeq, InstrumentAuditionPlaysAtItsKindsPitch)
{
    const int32_t r = Jam_AddInstrumentSlot(Jam_PackLibraryKey(1, 2, 3), 2, 3, JAM_LOCAL_PLAYER, 0, mySlot);
    ASSERT_EQ(r, 1);
    const int32_t slot = g_iJamPendingInstrument;
    SubStep();
    ASSERT_EQ(fake.triggers.size(), 1u);
    EXPECT_EQ(fake.triggers[0].pitch, 60); // kind 3
    EXPECT_EQ(S().aucSlotLevel[slot], 255);
    // A second audition stops the first one's voice.
    const int32_t c = fake.triggers[0].channel;
    Jam_AddInstrumentSlot(Jam_PackLibraryKey(1, 2, 4), 2, 4, JAM_LOCAL_PLAYER, 0, mySlot);
    ASSERT_EQ(fake.stoppedVoices.size(), 1u);
    EXPECT_EQ(fake.stoppedVoices[0], c);
    // A failed load leaves no pending audition.
    fake.loadResult = 10;
    EXPECT_EQ(Jam_AddInstrumentSlot(Jam_PackLibraryKey(1, 2, 5), 2, 5, JAM_LOCAL_PLAYER, 0, mySlot), 10);
    EXPECT_EQ(g_iJamPendingInstrument, -1);
    // A list entry that is not in the list changes nothing.
    fake.loadResult = 0;
    EXPECT_EQ(Jam_AddInstrumentSlot(0, 0, 0, 2, 5, mySlot), 0);
}

TEST_F(JamSeq, DroppingAPlayerReleasesItsMusicButNeverOurOwn)
{
    JAMNET net;
    Net_InitJamNet(&net, nullptr);
    net.iNetMySlot = 1;
    const int32_t r1 = AddRiff(1, 1, {}, 2), r2 = AddRiff(1, 1, {}, 2);
    Jam_AppendRiffId(2, (uint16_t)r2);
    Jam_AppendRiffId(2, (uint16_t)r1);
    Jam_AppendInstrumentId(2, 17);
    JAMPLAYER &local = net.aPlayers[JAM_LOCAL_PLAYER];
    local.auRiffKey[3] = Jam_KeyWord(Jam_PackListEntry(2, 1), 1);
    local.auRiffKey[4] = Jam_KeyWord(Jam_PackListEntry(3, 1), 1);
    local.auPad[0] = Jam_KeyWord(Jam_PackListEntry(2, 1), 0);
    local.aKeyboard[1].uSlotWord = Jam_PackListEntry(2, 1);
    net.aPlayers[2].auRiffKey[3] = 0x123;
    net.aPlayers[2].auRiffLatch[3] = 3;
    net.aPlayers[2].auRiffVolume[3] = 200;
    net.aPlayers[2].aKeyboard[1] = {1, 2, 3, 4};

    Jam_DropPlayerParts(&net, 1); // our own slot: nothing
    EXPECT_TRUE(fake.releasedRiffs.empty());
    EXPECT_EQ(g_aiJamRiffIdCount[2], 2);

    Jam_DropPlayerParts(&net, 2);
    // Releasing r2 first moves r1 down, and the list follows.
    ASSERT_EQ(fake.releasedRiffs.size(), 2u);
    EXPECT_EQ(fake.releasedRiffs[0], r2);
    EXPECT_EQ(fake.releasedRiffs[1], r1);
    EXPECT_EQ(fake.releasedInstruments, (std::vector<int32_t>{17, 17}));
    EXPECT_EQ(g_aiJamRiffIdCount[2], 0);
    EXPECT_EQ(g_aiJamInstrumentIdCount[2], 0);
    EXPECT_EQ(local.auRiffKey[3], 1u);  // the key stays on, without a riff
    EXPECT_NE(local.auRiffKey[4], 1u);  // another player's entry is kept
    EXPECT_EQ(local.auPad[0], 0u);
    EXPECT_EQ(local.aKeyboard[1].uSlotWord, 0u);
    EXPECT_EQ(net.aPlayers[2].auRiffKey[3], 0u);
    EXPECT_EQ(net.aPlayers[2].auRiffLatch[3], 2u);
    EXPECT_EQ(net.aPlayers[2].auRiffVolume[3], 128u);
    EXPECT_EQ(net.aPlayers[2].aKeyboard[1].uOctave, 5u);
    EXPECT_EQ(net.aPlayers[2].aKeyboard[1].uSlotWord, 0u);
}

TEST_F(JamSeq, FreeingPutsTheSequencersHooksBackAndTheListsGoBack)
{
    EXPECT_EQ(g_pfnSeqChannelAlloc, &Jam_AllocChannel);
    EXPECT_EQ(g_bJamActive, 1);
    EXPECT_EQ(fake.listRefs.size(), 3u * JAM_EVENT_SLOTS);
    JAMSTATE *first = g_pJamState;
    EXPECT_EQ(Jam_AllocState(), -1);
    EXPECT_EQ(g_pJamState, first);
    g_pfnSeqStep = Jam_Tick;
    Jam_FreeState();
    EXPECT_EQ(g_pfnSeqStep.load(), &Seq_StepIdle);
    EXPECT_EQ(g_pfnSeqChannelAlloc, static_cast<SEQCHANNELALLOCFN>(&Seq_AllocChannel));
    EXPECT_EQ(g_bJamActive, 0);
    EXPECT_TRUE(fake.listRefs.empty());
    EXPECT_EQ(g_pJamState, nullptr);
    // A tick after the end does nothing.
    SubStep();
    ASSERT_EQ(Jam_AllocState(), 0); // for TearDown
}

TEST_F(JamSeq, InitStateFilesOwnLibraryInstrumentsApart)
{
    Jam_FreeState();
    ASSERT_EQ(Jam_AllocPlayerLists(), 0);
    fake.library[4] = 1;
    fake.library[9] = 1;
    ASSERT_EQ(Jam_AllocState(), 0);
    EXPECT_EQ(g_aiJamInstrumentIdCount[JAM_LOCAL_PLAYER], 2);
    EXPECT_EQ(Jam_FindOwnInstrument(9), 2);
    EXPECT_EQ(fake.uses[4], 1);
    EXPECT_EQ(g_JamSetups[0].ucState, 2);
    EXPECT_EQ(g_JamSetups[3].ucState, 0);
    EXPECT_EQ(S().aucRowMute[0], 1);
    EXPECT_EQ(S().aiChannelOwner[98], -1);
    EXPECT_EQ(S().aSlotNotes[0].ucLength, JAM_SLOT_LENGTH);
}

TEST_F(JamSeq, RestartClockZeroesEveryCounter)
{
    Steps(3);
    S().aiRowStep[17] = 99;
    fake.clockCalls.clear();
    g_uTempo = 130;
    Jam_RestartClock();
    EXPECT_EQ(fake.clockCalls, (std::vector<std::string>{"start clock", "reverb 0 16777215", "tempo 130"}));
    EXPECT_EQ(g_iJamStep, 0);
    EXPECT_EQ(S().aiRowStep[17], 0);
}

TEST_F(JamSeq, ReleasePlayerMusicLooksAgainAfterEachRelease)
{
    AddRiff(1, 1, {}, 3);
    AddRiff(1, 1, {}, 3); // moves down to id 1 after the first release
    AddRiff(1, 1, {}, 1);
    AddRiff(1, 1, {}, 3);
    fake.library[5] = 1;
    fake.uses[5] = 2;
    fake.library[6] = 1; // unused: left alone
    Jam_ReleasePlayerMusic(3);
    EXPECT_EQ(fake.releasedRiffs, (std::vector<int32_t>{1, 1, 2}));
    ASSERT_EQ(fake.riffOwner.size(), 2u);
    EXPECT_EQ(fake.riffOwner[1], 1);
    EXPECT_EQ(fake.clearedInstruments, (std::vector<int32_t>{5}));
}

TEST_F(JamSeq, FindInstrumentSlotByKeysKindOrName)
{
    INSTRUMENTSLOT saved[3] = {g_aInstrumentSlots[20], g_aInstrumentSlots[21], g_aInstrumentSlots[22]};
    g_aInstrumentSlots[20] = INSTRUMENTSLOT{};
    g_aInstrumentSlots[20].ucKey1 = 4;
    g_aInstrumentSlots[20].uKey2 = 7;
    g_aInstrumentSlots[20].uKey3 = 9;
    std::memcpy(g_aInstrumentSlots[20].achArchiveName, "BASSLINE", 8);
    fake.kind[20] = 1;
    g_aInstrumentSlots[21] = g_aInstrumentSlots[20];
    std::memcpy(g_aInstrumentSlots[21].achArchiveName, "PADSOFT1", 8);
    fake.kind[21] = 3;
    EXPECT_EQ(Jam_FindInstrumentSlot(4, 7, 9, 1, nullptr), 20);
    EXPECT_EQ(Jam_FindInstrumentSlot(4, 7, 9, 3, nullptr), 21);
    EXPECT_EQ(Jam_FindInstrumentSlot(4, 7, 9, 2, nullptr), 0);
    EXPECT_EQ(Jam_FindInstrumentSlot(4, 7, 0, 0, "PADSOFT1"), 21);
    EXPECT_EQ(Jam_FindInstrumentSlot(4, 8, 9, 1, nullptr), 0);
    for (int i = 0; i < 3; ++i)
        g_aInstrumentSlots[20 + i] = saved[i];
}

// The clock runs on its own thread under the mix lock while the interface presses keys, mutes
// rows and auditions: the thread sanitizer build checks that nothing is shared unguarded.
TEST_F(JamSeq, ClockThreadAndInterfaceThreadTogether)
{
    const int32_t n = AddNote(45);
    AddRiff(1, 2, {{0, 0, n}, {1, 4, n}, {0, 8, n}});
    for (int s = 0; s < 16; ++s)
        AssignSlot(s, (uint8_t)(s + 1));
    std::atomic<bool> stop{false};
    std::atomic<int> ticks{0};
    std::thread clock([&] {
        while (!stop.load()) {
            ++ticks;
            std::lock_guard<std::recursive_mutex> hold(g_csMix);
            g_iSubStep = g_iSubStep % 24 + 1;
            Jam_Tick();
            // The engine frees released notes.
            for (int c = 0; c < JAM_CHANNELS; ++c)
                if (g_aSeqChannels[c].ucLengthLeft == 0)
                    g_aSeqChannels[c].ucOwner = JAM_MODE_FREE;
        }
    });
    // Count only the ticks that come after a part is on: a loaded machine can run the whole
    // clock loop before this thread starts its own.
    Jam_StartPart(1, 15);
    const int first = ticks.load();
    for (int i = 0; i < 3000 || ticks - first < 2000; ++i) {
        const int s = i % 16;
        Jam_StartPart(1, s);
        if (i % 3 == 0)
            Jam_StopPart(1, (s + 5) % 16);
        if (i % 50 == 0) {
            Jam_AddRiffSlot(0, 0, 0, mySlot, 1, mySlot);
            Jam_SetRowMute(g_iJamPendingRiff, i % 100 == 0);
            Jam_AddRowPitch(g_iJamPendingRiff, 128);
        }
        if (i % 70 == 0)
            Jam_CancelPendingRiff();
        if (i % 40 == 0) {
            Jam_AddInstrumentSlot(Jam_PackLibraryKey(1, 1, 1), 1, 1, JAM_LOCAL_PLAYER, 0, mySlot);
            Jam_CancelPendingInstrument();
        }
    }
    stop = true;
    clock.join();
    std::lock_guard<std::recursive_mutex> hold(g_csMix);
    EXPECT_GT(g_iJamStep, 0);
    EXPECT_FALSE(fake.triggers.empty());
}

} // namespace
