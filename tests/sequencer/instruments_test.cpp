#include "seqfixture.h"

#include "sequencer/instruments.h"
#include "sequencer/songcontrol.h"
#include "sequencer/samples.h"

namespace {

class Instruments : public SeqModel
{
protected:
    void SetUp() override
    {
        SeqModel::SetUp();
        for (INSTRUMENTSLOT &slot : g_aInstrumentSlots)
            slot = INSTRUMENTSLOT{};
        g_uInstrumentCount = 0;
    }
    void TearDown() override
    {
        for (INSTRUMENTSLOT &slot : g_aInstrumentSlots)
            slot = INSTRUMENTSLOT{};
        SeqModel::TearDown();
    }
    static void Library(int32_t slot, int32_t kind, int32_t k1, int32_t k2, int32_t k3, const char *name = "Kick")
    {
        INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
        inst.ucKind = (uint8_t)kind;
        inst.ucKey1 = (uint8_t)k1;
        inst.uKey2 = (uint16_t)k2;
        inst.uKey3 = (uint16_t)k3;
        inst.iSampleId = (int16_t)(1000 + slot);
        inst.pszName = name;
        g_uInstrumentCount++;
    }
    // A note of an instrument slot at a riff cell.
    static bool PutOf(int32_t riff, int32_t step, int32_t track, uint16_t slot, int32_t pitch)
    {
        const int32_t id = Note(pitch, 1, 200, 0, slot);
        if (id > 0 && Seq_SetRiffNote(riff, step, track, -id, 1, 0, 0))
            return true;
        Seq_DeleteNote(id, 1, 0);
        return false;
    }
};

TEST_F(Instruments, LookupsNamesAndSizes)
{
    Library(150, 2, 1, 4, 7); // a high slot is found as well
    EXPECT_EQ(Seq_FindLibraryInstrument(2, 1, 4, 7), 150);
    EXPECT_EQ(Seq_FindLibraryInstrument(3, 1, 4, 7), 0);
    EXPECT_EQ(Seq_GetInstrumentKind(150), 2);
    EXPECT_EQ(Seq_GetInstrumentKind(151), 0);
    char name[20];
    Seq_GetInstrumentName(150, name);
    EXPECT_STREQ(name, "Kick");
    g_ucPendingInstrumentSlot = 150;
    EXPECT_FALSE(Seq_InstrumentHasName(150));
    g_ucPendingInstrumentSlot = 201;
    EXPECT_EQ(Seq_PackedInstrumentSize(150), 4);
    EXPECT_EQ(Seq_PackedInstrumentSize(151), 0);
    Seq_AddInstrumentCommand(150, 11, 0, 10);
    Seq_AddInstrumentCommand(150, 16, 5, 0);
    EXPECT_EQ(Seq_PackedInstrumentSize(150), 4 + 24);
    EXPECT_EQ(Seq_FindLibraryInstrument(2, 1, 4, 7), 0); // edited: not the library's sound
    Seq_ClearInstrumentSlot(150, 0);
    // Duplicates: the lowest slot stays.
    Library(3, 1, 1, 1, 1);
    Library(9, 1, 1, 1, 1);
    Library(12, 1, 1, 1, 2);
    Seq_RemoveDuplicateInstruments();
    EXPECT_FALSE(Seq_InstrumentSlotFree(3));
    EXPECT_TRUE(Seq_InstrumentSlotFree(9));
    EXPECT_FALSE(Seq_InstrumentSlotFree(12));
    EXPECT_EQ(g_uInstrumentCount, 2);
}

TEST_F(Instruments, ClearingAnInstrumentTakesItsNotesOutOfEveryRiff)
{
    Library(1, 1, 1, 1, 1);
    Library(2, 1, 1, 1, 2);
    const int32_t mixed = Seq_NewRiff(1, 2), only = Seq_NewRiff(1, 1), open = Seq_NewRiff(1, 1);
    ASSERT_TRUE(PutOf(mixed, 0, 0, 1, 40));
    ASSERT_TRUE(PutOf(mixed, 4, 1, 2, 41));
    ASSERT_TRUE(PutOf(only, 0, 0, 1, 42));
    ASSERT_TRUE(PutOf(open, 0, 0, 1, 43));
    Seq_PlaceRiff(only, 5, 5, 0, 1);
    g_uCurrentRiff = (uint16_t)open;
    // A clipboard cell in cut mode holds two references.
    g_NoteClipboard.ucColour = 1;
    g_NoteClipboard.puNotes[0] = (uint16_t)Note(44, 1, 200, 0, 1);
    Seq_AddNoteRef(g_NoteClipboard.puNotes[0]);
    EXPECT_MODEL_WHOLE();
    Seq_ClearInstrument(1, 1, 1);
    EXPECT_TRUE(Seq_InstrumentSlotFree(1));
    EXPECT_EQ(g_uRiffCount, 3); // "only" went with its last note; the open riff stays
    EXPECT_EQ(Seq_GetRiffStartingAt(5, 5), 0);
    EXPECT_EQ(Cell(1, 0, 0), 0);
    EXPECT_EQ(PitchAt(1, 4, 1), 41);
    EXPECT_EQ(g_uCurrentRiff, 2);
    EXPECT_EQ(Cell(2, 0, 0), 0);
    EXPECT_EQ(g_NoteClipboard.puNotes[0], 0);
    EXPECT_EQ(g_uNoteCount, 1);
    g_NoteClipboard.ucColour = 0;
    EXPECT_MODEL_WHOLE();
}

TEST_F(Instruments, UnusedInstrumentsGo)
{
    Library(1, 1, 1, 1, 1);
    Library(2, 1, 1, 1, 2);
    Library(3, 1, 1, 1, 3);
    g_aInstrumentSlots[2].uMark = 0xFFFF;
    g_aInstrumentSlots[3].uMark = 0xFFFF;
    const int32_t riff = Seq_NewRiff(1, 1);
    ASSERT_TRUE(PutOf(riff, 0, 0, 3, 40));
    Seq_ClearUnusedInstruments(0); // only the temporary one no note uses
    EXPECT_FALSE(Seq_InstrumentSlotFree(1));
    EXPECT_TRUE(Seq_InstrumentSlotFree(2));
    EXPECT_FALSE(Seq_InstrumentSlotFree(3));
    Seq_ClearUnusedInstruments(1);
    EXPECT_TRUE(Seq_InstrumentSlotFree(1));
    EXPECT_FALSE(Seq_InstrumentSlotFree(3));
    // The note's last reference going with the clean-up flag takes its temporary slot along.
    EXPECT_EQ(Seq_SetRiffNote(riff, 0, 0, 0, 1, 0, 0), 2);
    EXPECT_FALSE(Seq_InstrumentSlotFree(3));
    Seq_ClearUnusedInstruments(0);
    EXPECT_TRUE(Seq_InstrumentSlotFree(3));
    EXPECT_MODEL_WHOLE();
}

} // namespace

namespace {

// A chain is walked command by command: an effect command's value entries may hold 18 in their
// type field, which names no list.
TEST_F(Instruments, ChainsReleaseOnlyTheirEnvelopeLists)
{
    Library(1, 1, 1, 1, 1);
    const uint16_t points[2] = {0x00FF, 0x7F00};
    const int32_t kept = Seq_AddParamList(2, points, 0, 0);
    const int32_t held = Seq_AddParamList(2, points, 1, 0);
    // Effect 0 takes (4 + 2) / 3 + 1 = 3 entries: the command and two value entries.
    Seq_AddInstrumentCommand(1, 0, 10, 20);
    Seq_AddInstrumentCommand(1, (uint32_t)kept, 7, 18); // values; the last one reads as 18
    Seq_AddInstrumentCommand(1, 0, 0, 0);
    Seq_AddInstrumentCommand(1, 18, (uint32_t)held, 0); // an envelope command holds its list
    Seq_AddInstrumentCommand(1, 0, 0, 0);
    Seq_ClearInstrumentSlot(1, 0);
    EXPECT_NE(Seq_GetParamList(kept, nullptr), nullptr); // still the test's own
    EXPECT_EQ(g_aParamListSlots[kept].uRefCount, 1);
    EXPECT_EQ(Seq_GetParamList(held, nullptr), nullptr); // went with its command
    Seq_ReleaseParamList(kept);
    EXPECT_EQ(Seq_ParamListCount(), 0);
    EXPECT_MODEL_WHOLE();
}

} // namespace
