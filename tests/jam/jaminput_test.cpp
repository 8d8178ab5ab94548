// Player input and part loading in a running single-player jam: what the per-frame pass asks of
// the jam sequencer, and what the loaders leave in the event slots, rows and instruments, with a
// fake instrument library.
#include "jamfixture.h"

#include "core/mixlock.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/samples.h"

namespace jamtest {
namespace {

// Library instruments by their keys: (1, 2, n) loads as kind 1, key 1 of 9 fails to load.
int32_t FakeAlloc()
{
    for (int32_t s = 150; s <= 200; ++s)
        if (Seq_InstrumentSlotFree(s))
            return s;
    return 0;
}
int32_t FakeLoad(int32_t slot, uint32_t k1, uint32_t k2, uint32_t k3, int32_t)
{
    g_iFoundInstrumentSlot = -1;
    if (k1 == 9)
        return 10;
    for (int32_t s = 1; s <= 200; ++s) {
        INSTRUMENTSLOT &i = g_aInstrumentSlots[s];
        if (i.ucKey1 == k1 && i.uKey2 == k2 && i.uKey3 == k3) {
            i.ucUseCount++;
            g_iFoundInstrumentSlot = s;
            return 5;
        }
    }
    INSTRUMENTSLOT &i = g_aInstrumentSlots[slot];
    i = INSTRUMENTSLOT{};
    i.ucKey1 = (uint8_t)k1;
    i.uKey2 = (uint16_t)k2;
    i.uKey3 = (uint16_t)k3;
    i.ucKind = 1;
    i.ucUseCount = 1;
    return 3;
}
std::vector<int32_t> *g_pReleased;
void FakeRelease(int32_t slot)
{
    g_pReleased->push_back(slot);
    INSTRUMENTSLOT &i = g_aInstrumentSlots[slot];
    if (i.ucUseCount && --i.ucUseCount == 0)
        i = INSTRUMENTSLOT{};
}
int32_t FakeKind(int32_t slot) { return g_aInstrumentSlots[slot].ucKind; }

class JamInput : public JamStudio
{
protected:
    std::vector<int32_t> released;
    JAMSTATE *s = nullptr;
    JAMPLAYER *me = nullptr;
    JAMPLAYERROW *rows = nullptr;

    void SetUp() override
    {
        JamStudio::SetUp();
        g_JamSeqCalls.AllocInstrumentSlot = FakeAlloc;
        g_JamSeqCalls.LoadInstrument = FakeLoad;
        g_JamSeqCalls.ReleaseInstrument = FakeRelease;
        g_JamSeqCalls.InstrumentKind = FakeKind;
        g_pReleased = &released;
        ASSERT_EQ(Content_BuildDemoSong(), 0);
        Jam_StartSession();
        Ui_ClosePopup();
        Frame();
        ASSERT_EQ(g_iJamStartState.load(), JAM_START_RUNNING);
        s = g_pJamState;
        me = &g_JamNet.aPlayers[JAM_LOCAL_PLAYER];
        rows = &g_aJamPlayerRows[JAM_LOCAL_PLAYER];
    }
    void TearDown() override
    {
        Jam_EndSession(1);
        for (int32_t slot = 150; slot <= 200; ++slot)
            g_aInstrumentSlots[slot] = INSTRUMENTSLOT{};
        g_pReleased = nullptr;
        JamStudio::TearDown();
    }
    // One sequencer tick, as the mix runs it.
    static void Tick()
    {
        std::lock_guard<std::recursive_mutex> hold(g_csMix);
        Seq_Tick();
    }
    int32_t KeySlot(int32_t keyboard, int32_t key) const { return rows->aiKeyboardSlot[keyboard * 17 + key]; }
};

TEST_F(JamInput, KeyboardsShareALibraryInstrumentAndClearBackToEmpty)
{
    Jam_LoadKeyboard(JAM_LOCAL_PLAYER, 1, 2, 3, 0, JAM_LOAD_BY_KEYS);
    Jam_LoadKeyboard(JAM_LOCAL_PLAYER, 1, 2, 3, 17, JAM_LOAD_BY_KEYS);
    const int32_t inst = s->aucSlotInstrument[KeySlot(0, 0)];
    ASSERT_GE(inst, 150);
    EXPECT_EQ(s->aucSlotInstrument[KeySlot(1, 16)], inst) << "the second keyboard reuses the slot";
    EXPECT_EQ(g_aInstrumentSlots[inst].ucUseCount, 2);
    for (int32_t k = 0; k < 34; ++k) {
        const int32_t slot = rows->aiKeyboardSlot[k];
        ASSERT_GE(slot, 0);
        EXPECT_EQ(s->aucSlotAssigned[slot], 1);
        EXPECT_EQ(s->aucSlotTrigger[slot], JAM_TRIGGER_IDLE);
        EXPECT_EQ(s->aSlotNotes[slot].ucPitch, 36) << "kind 1 starts at 36";
    }

    // A failed load leaves the keyboard as it was.
    Jam_LoadKeyboard(JAM_LOCAL_PLAYER, 9, 1, 1, 0, JAM_LOAD_BY_KEYS);
    EXPECT_EQ(s->aucSlotInstrument[KeySlot(0, 5)], inst);
    EXPECT_EQ(g_aInstrumentSlots[inst].ucUseCount, 2);

    // Clearing one keyboard gives back its use; the other keeps the instrument.
    me->aKeyboard[0].uOctave = 3;
    me->aKeyboard[0].uSlotWord = 0x10203;
    const int32_t first = KeySlot(0, 0);
    Jam_LoadKeyboard(JAM_LOCAL_PLAYER, 0, 0, 0, 0, 0);
    EXPECT_EQ(me->aKeyboard[0].uOctave, 5u);
    EXPECT_EQ(me->aKeyboard[0].uSlotWord, 0u);
    EXPECT_EQ(KeySlot(0, 0), -1);
    EXPECT_EQ(s->aucSlotTrigger[first], JAM_TRIGGER_UNASSIGNED);
    EXPECT_EQ(s->aucSlotChannel[first], JAM_NO_CHANNEL);
    EXPECT_EQ(s->aucSlotAssigned[first], 0);
    EXPECT_EQ(g_aInstrumentSlots[inst].ucUseCount, 1);
    Jam_LoadKeyboard(JAM_LOCAL_PLAYER, 0, 0, 0, 17, 0);
    EXPECT_TRUE(Seq_InstrumentSlotFree(inst)) << "the last use frees it";

    // The song's own instrument is used as given and never released (it counts no uses).
    const int32_t own = 1;
    ASSERT_FALSE(Seq_InstrumentSlotFree(own));
    Jam_LoadKeyboard(JAM_LOCAL_PLAYER, 1, 0, 0, 0, own);
    EXPECT_EQ(s->aucSlotInstrument[KeySlot(0, 3)], own);
    released.clear();
    Jam_LoadKeyboard(JAM_LOCAL_PLAYER, 0, 0, 0, 0, 0);
    EXPECT_TRUE(released.empty());
    EXPECT_FALSE(Seq_InstrumentSlotFree(own));
}

TEST_F(JamInput, PadsLoadFailAndClear)
{
    EXPECT_EQ(Jam_LoadPad(JAM_LOCAL_PLAYER, 1, 2, 7, 3, JAM_LOAD_BY_KEYS), 1);
    const int32_t slot = rows->aiPadSlot[3];
    ASSERT_GE(slot, 0);
    const int32_t inst = s->aucSlotInstrument[slot];
    EXPECT_EQ(Jam_LoadPad(JAM_LOCAL_PLAYER, 9, 0, 1, 3, JAM_LOAD_BY_KEYS), 10);
    EXPECT_EQ(rows->aiPadSlot[3], slot);
    EXPECT_EQ(s->aucSlotInstrument[slot], inst);
    me->auPad[3] = Jam_KeyWord(0x10207, 1);
    EXPECT_EQ(Jam_LoadPad(JAM_LOCAL_PLAYER, 0, 0, 0, 3, 0), 0);
    EXPECT_EQ(me->auPad[3], 1u) << "the held bit stays, the assignment goes";
    EXPECT_EQ(rows->aiPadSlot[3], -1);
    EXPECT_TRUE(Seq_InstrumentSlotFree(inst));
    EXPECT_EQ(Jam_LoadPad(JAM_LOCAL_PLAYER, 0, 0, 0, 4, 0), 0) << "clearing an empty pad";
}

// When every event slot or row is taken a load is refused with a log line, and nothing that
// another key holds is touched.
TEST_F(JamInput, FullTablesRefuseTheLoad)
{
    ASSERT_EQ(Jam_LoadRiffKey(1, 0, 0, 0, JAM_LOCAL_PLAYER, (uint32_t)Seq_GetRiffStartingAt(0, 0)), 1);
    const int32_t keyRow = rows->aiRiffRow[0];
    for (int32_t r = 0; r < JAM_ROWS; ++r)
        if (s->aucRowState[r] == 0)
            s->aucRowState[r] = 1;
    EXPECT_EQ(Jam_LoadRiffKey(1, 0, 0, 5, JAM_LOCAL_PLAYER, (uint32_t)Seq_GetRiffStartingAt(0, 0)), -1);
    EXPECT_EQ(rows->aiRiffRow[5], -1);
    EXPECT_EQ(rows->aiRiffRow[0], keyRow);
    EXPECT_NE(std::string(g_aszJamLog[31]).find("riff"), std::string::npos);

    for (int32_t i = 0; i < JAM_EVENT_SLOTS; ++i)
        s->aucSlotAssigned[i] = 1;
    EXPECT_EQ(Jam_LoadPad(JAM_LOCAL_PLAYER, 1, 2, 3, 0, JAM_LOAD_BY_KEYS), 10);
    EXPECT_EQ(rows->aiPadSlot[0], -1);
    EXPECT_NE(std::string(g_aszJamLog[31]).find("pad"), std::string::npos);
    Jam_LoadKeyboard(JAM_LOCAL_PLAYER, 1, 2, 3, 0, JAM_LOAD_BY_KEYS);
    EXPECT_EQ(KeySlot(0, 0), -1);
    EXPECT_NE(std::string(g_aszJamLog[31]).find("keyboard"), std::string::npos);
    EXPECT_TRUE(Seq_InstrumentSlotFree(150)) << "a refused load takes no instrument";
}

TEST_F(JamInput, RiffKeysLoadIntoTheirOwnRowsAndFollowVolume)
{
    const int32_t drums = Seq_GetRiffStartingAt(0, 0), bass = Seq_GetRiffStartingAt(4, 3);
    g_iJamStep = 100;
    ASSERT_EQ(Jam_LoadRiffKey(1, 0, 0, 2, JAM_LOCAL_PLAYER, (uint32_t)drums), 1);
    const int32_t row = rows->aiRiffRow[2];
    EXPECT_EQ(s->aiRowStep[row].load(), 100);
    EXPECT_EQ(s->aRows[row].Riff.ucStartLevel, 255);
    EXPECT_EQ(s->aRows[row].Riff.ucEndLevel, 255);
    EXPECT_EQ(s->aucRowMute[row], 1);
    EXPECT_EQ(s->aucRowState[row], 1);
    // Another riff on the same key: the first copy goes first.
    g_bNetJamImmediate = 0;
    ASSERT_EQ(Jam_LoadRiffKey(1, 0, 0, 2, JAM_LOCAL_PLAYER, (uint32_t)bass), 1);
    const int32_t row2 = rows->aiRiffRow[2];
    EXPECT_EQ(s->aucRowState[row], row2 == row ? 1 : 0);
    EXPECT_EQ(s->aiRowStep[row2].load(), 164) << "scheduled mode: the local riff starts a phrase ahead";
    EXPECT_EQ(s->aRows[row2].Riff.ucBars, 2);
    ASSERT_EQ(Jam_LoadRiffKey(1, 0, 0, 0, 1, (uint32_t)drums), 1);
    EXPECT_EQ(s->aiRowStep[g_aJamPlayerRows[1].aiRiffRow[0]].load(), 100) << "a remote player's riff does not";
    g_bNetJamImmediate = 1;

    // Volume: 0 keeps the key silent while on; 256 and more count as 255.
    const struct
    {
        uint32_t volume, on;
        uint8_t level, mute;
    } cases[] = {{128, 1, 128, 0}, {300, 1, 255, 0}, {256, 1, 255, 0}, {0, 1, 0, 1}, {200, 0, 200, 1}};
    for (const auto &c : cases) {
        me->auRiffVolume[2] = c.volume;
        me->auRiffKey[2] = Jam_KeyWord(0x10203, c.on);
        Jam_ApplyPlayerInput();
        EXPECT_EQ(s->aucRowVolume[row2], c.level) << c.volume;
        EXPECT_EQ(s->aucRowMute[row2], c.mute) << c.volume << " on " << c.on;
    }
    // Clearing the key keeps its on bit and frees the row.
    ASSERT_EQ(Jam_LoadRiffKey(0, 0, 0, 2, JAM_LOCAL_PLAYER, 0), 0);
    EXPECT_EQ(rows->aiRiffRow[2], -1);
    EXPECT_EQ(s->aucRowState[row2], 0);
    EXPECT_EQ(me->auRiffKey[2], 0u);
}

TEST_F(JamInput, KeyboardAndPadStatesBecomeNotes)
{
    Jam_LoadKeyboard(JAM_LOCAL_PLAYER, 1, 2, 3, 0, JAM_LOAD_BY_KEYS);
    ASSERT_EQ(Jam_LoadPad(JAM_LOCAL_PLAYER, 1, 2, 4, 6, JAM_LOAD_BY_KEYS), 1);
    const int32_t k4 = KeySlot(0, 4), pad = rows->aiPadSlot[6];

    // Held key: pitch, level and the note asked for.
    me->aKeyboard[0].uOctave = 2;
    me->aiPitch[0] = 3 << 8;
    me->auLevel[0] = 90;
    me->aKeyboard[0].uHeld = 1u << 4;
    Jam_ApplyPlayerInput();
    EXPECT_EQ(s->aSlotNotes[k4].ucPitch, 4 + 24 + 3);
    EXPECT_EQ(s->aucSlotLevel[k4], 90);
    EXPECT_EQ(s->aucSlotTrigger[k4], JAM_TRIGGER_ON);
    for (int i = 0; i < 100 && s->aucSlotChannel[k4] == JAM_NO_CHANNEL; ++i)
        Tick();
    ASSERT_NE(s->aucSlotChannel[k4], JAM_NO_CHANNEL);
    const uint8_t channel = s->aucSlotChannel[k4];
    Jam_ApplyPlayerInput();
    EXPECT_EQ(s->aucSlotChannel[k4], channel) << "held: the same note sounds on";

    // Released and pressed again in one frame: stopped, then asked for anew.
    me->aKeyboard[0].uReleased = 1u << 4;
    Jam_ApplyPlayerInput();
    EXPECT_EQ(s->aucSlotChannel[k4], JAM_NO_CHANNEL);
    EXPECT_EQ(s->aucSlotTrigger[k4], JAM_TRIGGER_ON);
    // Released only: stopped.
    me->aKeyboard[0].uHeld = 0;
    Jam_ApplyPlayerInput();
    EXPECT_EQ(s->aucSlotTrigger[k4], JAM_TRIGGER_IDLE);
    EXPECT_EQ(s->aucSlotReleased[k4], 1);

    // A pad sounds at its kind's base pitch plus its offset, while held; on channel 0 as well.
    me->aiPitch[2 + 6] = -2 << 8;
    me->auLevel[2 + 6] = 300;
    me->auPad[6] |= 1;
    Jam_ApplyPlayerInput();
    EXPECT_EQ(s->aSlotNotes[pad].ucPitch, 34);
    EXPECT_EQ(s->aucSlotLevel[pad], 255);
    EXPECT_EQ(s->aucSlotTrigger[pad], JAM_TRIGGER_ON);
    s->aucSlotChannel[pad] = 0; // as if its note had gone to channel 0
    Jam_ApplyPlayerInput();
    EXPECT_EQ(s->aucSlotChannel[pad], 0) << "a held pad on channel 0 is not cut";
    EXPECT_EQ(s->aucSlotTrigger[pad], JAM_TRIGGER_ON);
    me->auPad[6] &= ~1u;
    Jam_ApplyPlayerInput();
    EXPECT_EQ(s->aucSlotChannel[pad], JAM_NO_CHANNEL);
    EXPECT_EQ(s->aucSlotTrigger[pad], JAM_TRIGGER_IDLE);

    // A remote player's keyboard plays through the same pass.
    Jam_LoadKeyboard(2, 1, 2, 3, 17, JAM_LOAD_BY_KEYS);
    g_JamNet.aPlayers[2].aKeyboard[1].uHeld = 1u << 16;
    g_JamNet.aPlayers[2].aKeyboard[1].uOctave = 5;
    Jam_ApplyPlayerInput();
    const int32_t remote = g_aJamPlayerRows[2].aiKeyboardSlot[17 + 16];
    EXPECT_EQ(s->aSlotNotes[remote].ucPitch, 76);
    EXPECT_EQ(s->aucSlotTrigger[remote], JAM_TRIGGER_ON);
}

// The network side's calls reach the loaders and the sequencer through the program's binding.
TEST_F(JamInput, TheSoundBindingLoadsAndPlays)
{
    JamActions *a = Jam_SoundActions();
    ASSERT_EQ(g_JamNet.pActions, a);
    EXPECT_EQ(a->LoadPad(1, 1, 2, 3, 0, JAM_LOAD_BY_KEYS), 1);
    const int32_t slot = g_aJamPlayerRows[1].aiPadSlot[0];
    ASSERT_GE(slot, 0);
    a->StartPart(1, slot);
    EXPECT_EQ(s->aucSlotTrigger[slot], JAM_TRIGGER_ON);
    a->StopPart(1, slot);
    EXPECT_EQ(s->aucSlotTrigger[slot], JAM_TRIGGER_IDLE);
    a->LoadKeyboard(1, 1, 2, 3, 0, JAM_LOAD_BY_KEYS);
    EXPECT_GE(g_aJamPlayerRows[1].aiKeyboardSlot[0], 0);
    a->LoadRiffKey(1, 0, 0, 4, 1, (uint32_t)Seq_GetRiffStartingAt(0, 0));
    EXPECT_GE(g_aJamPlayerRows[1].aiRiffRow[4], 0);
    Jam_ResetPlayer(1);
    EXPECT_EQ(g_aJamPlayerRows[1].aiPadSlot[0], -1);
    EXPECT_EQ(g_aJamPlayerRows[1].aiKeyboardSlot[0], -1);
    EXPECT_EQ(g_aJamPlayerRows[1].aiRiffRow[4], -1);
    EXPECT_EQ(s->aucSlotAssigned[slot], 0);
}

} // namespace
} // namespace jamtest
