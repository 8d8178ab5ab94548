// Riff note editing: where notes may go, lengths, covered cells, notes from the pending
// instrument, cut/copy/paste, the note image, and the undo of each edit.
#include "seqfixture.h"
#include "songdump.h"

#include "sequencer/noteedit.h"
#include "sequencer/songcontrol.h"
#include "sequencer/samples.h"

namespace {

class NoteEdit : public SeqModel
{
protected:
    int32_t riff = 0;

    void SetUp() override
    {
        SeqModel::SetUp();
        Seq_SetUndoLogSize(SEQ_UNDO_LOG_BYTES);
        riff = Seq_NewRiff(1, 2);
        g_uCurrentRiff = (uint16_t)riff;
        g_ucNoteEditOctave = 3;
        g_uNoteEditTracks = 0x0FFF;
        g_NoteEntry.ucSlot = 255;
        g_uNoteEditInstrument = 0;
        g_uNoteEditSampleLength = 0;
        g_CurrentNote = NOTEPARAMS{};
        g_CurrentNote.ucLevel = 150;
        g_CurrentNote.ucCountA = 2;
        g_CurrentNote.auValuesA[0] = 0xFF00;
        g_CurrentNote.auValuesA[1] = 0x00FF;
        // Slot 1 holds a library instrument; slot 2 is empty.
        g_aInstrumentSlots[1].ucKey1 = 1;
        g_aInstrumentSlots[1].uKey2 = 1;
        g_aInstrumentSlots[1].uKey3 = 1;
    }
    void TearDown() override
    {
        g_aInstrumentSlots[1] = INSTRUMENTSLOT{};
        g_NoteEntry.ucSlot = 255;
        Seq_FreeUndoLog();
        SeqModel::TearDown();
    }
    static int32_t Put(int32_t r, int32_t step, int32_t track, int32_t pitch, int32_t length, int32_t noUndo = 1)
    {
        const int32_t id = Note(pitch, length);
        if (id < 0)
            return 0;
        const int32_t result = Seq_SetRiffNote(r, step, track, -id, noUndo, 0, 0);
        if (!result)
            Seq_DeleteNote(id, 1, 0);
        return result;
    }
};

TEST_F(NoteEdit, WhereANoteMayGo)
{
    struct Case
    {
        const char *what;
        int32_t firstStep, firstLength; // a note already there (length 0: none)
        int32_t step, length, expected;
    };
    const Case cases[] = {
        {"4 steps at 14 of a 1-bar riff run past its end", 0, 0, 14, 4, 0},
        {"4 steps at 12 fit", 0, 0, 12, 4, 1},
        {"step 3 under a 4-step note at 0", 0, 4, 3, 1, 0},
        {"step 4 just after a 4-step note at 0", 0, 4, 4, 1, 1},
        {"a note over the start of another replaces it", 5, 1, 5, 2, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Seq_ResetSongModel();
        riff = Seq_NewRiff(1, 2);
        if (c.firstLength) {
            ASSERT_EQ(Put(riff, c.firstStep, 0, 40, c.firstLength), 1);
        }
        EXPECT_EQ(Put(riff, c.step, 0, 50, c.length), c.expected);
        EXPECT_MODEL_WHOLE();
    }
}

TEST_F(NoteEdit, LongerNoteDeletesTheNotesStartingInsideIt)
{
    ASSERT_EQ(Put(riff, 0, 0, 40, 1), 1);
    ASSERT_EQ(Put(riff, 2, 0, 41, 1), 1);
    ASSERT_EQ(Put(riff, 5, 0, 42, 1), 1);
    ASSERT_EQ(Put(riff, 9, 0, 43, 1), 1);
    EXPECT_EQ(Seq_NoteRoomAt(0, 0), 2);
    Seq_AllocUndoLog();
    const std::string before = Dump();
    ASSERT_EQ(Seq_SetNoteLength(riff, 0, 0, 6), 1);
    Seq_CloseUndoStep();
    EXPECT_EQ(Seq_GetNoteLengthAt(0, 0), 6);
    EXPECT_EQ(Cell(riff, 2, 0), 0);
    EXPECT_EQ(Cell(riff, 5, 0), 0);
    EXPECT_EQ(PitchAt(riff, 9, 0), 43);
    EXPECT_EQ(Seq_NoteRoomAt(0, 0), 9);
    EXPECT_MODEL_WHOLE();
    const std::string after = Dump();
    Seq_UndoLastStep();
    EXPECT_EQ(Dump(), before);
    EXPECT_MODEL_WHOLE();
    Seq_RedoLastStep();
    EXPECT_EQ(Dump(), after);
    EXPECT_MODEL_WHOLE();
}

TEST_F(NoteEdit, CoveredCellsReportTheCoveringNote)
{
    ASSERT_EQ(Put(riff, 4, 1, 52, 4), 1);
    int32_t note = -1, octave = -1, semitone = -1, instrument = -1, covered = -1;
    EXPECT_EQ(Seq_FindNoteStart(6, 1, &note), 4);
    EXPECT_EQ(note, Cell(riff, 4, 1));
    EXPECT_EQ(Seq_FindNoteStart(8, 1, &note), 4) << "nearest start, though it no longer covers";
    EXPECT_EQ(note, 0);
    EXPECT_EQ(Seq_FindNoteStart(3, 1, &note), -1);
    EXPECT_EQ(Seq_GetNoteAt(6, 1, &octave, &semitone, &instrument, nullptr), 0);
    EXPECT_EQ(Seq_GetNoteAt(6, 1, &octave, &semitone, &instrument, &covered), Cell(riff, 4, 1));
    EXPECT_EQ(covered, 1);
    EXPECT_EQ(octave, 4);
    EXPECT_EQ(semitone, 4);
    EXPECT_EQ(instrument, 1);
    EXPECT_EQ(Seq_GetNoteAt(99, 1, &octave, &semitone, &instrument, &covered), 0) << "past the riff's end";

    NOTEPARAMS read{};
    Seq_GetNote(Cell(riff, 4, 1))->ucSetting1 = 7;
    Seq_ReadNote(7, 1, &read);
    EXPECT_EQ(read.ucState, 0);
    EXPECT_EQ(read.ucSetting1, 7);
    EXPECT_EQ(read.ucCountA, 3);
    EXPECT_EQ(read.auValuesA[1], 0x1DFF);
    Seq_ReadNote(9, 1, &read);
    EXPECT_EQ(read.ucState, 255);
}

TEST_F(NoteEdit, PendingInstrumentMakesTheNoteFromTheCurrentNote)
{
    Seq_AllocUndoLog();
    // An empty slot is refused.
    Seq_SelectInstrument(2, 4, 2);
    EXPECT_EQ(Seq_SetRiffNote(riff, 0, 0, 1, 0, 0, 0), 0);
    EXPECT_EQ(g_uNoteCount, 0);

    const std::string before = Dump();
    Seq_SelectInstrument(1, 4, 2);
    ASSERT_EQ(Seq_SetRiffNote(riff, 3, 1, 1, 0, 1, 1), 1);
    Seq_CloseUndoStep();
    const NOTEENTRY *n = Seq_GetNote(Cell(riff, 3, 1));
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->uInstrument, 1);
    EXPECT_EQ(n->ucPitch, 50);
    EXPECT_EQ(n->ucLength, 1);
    EXPECT_EQ(n->ucLevel, 150);
    EXPECT_EQ(g_NoteEntry.ucSlot, 255) << "the pending note is used up";
    EXPECT_EQ(Seq_GetRiff(riff)->uCursor, (3 + 1) * 256 + 1 + 1);
    EXPECT_MODEL_WHOLE();
    Seq_UndoLastStep();
    EXPECT_EQ(Dump(), before);
    EXPECT_MODEL_WHOLE();
    Seq_RedoLastStep();
    EXPECT_EQ(PitchAt(riff, 3, 1), 50);
    EXPECT_MODEL_WHOLE();
}

TEST_F(NoteEdit, CutAndPasteAnOctaveUpTransposesByTwelve)
{
    ASSERT_EQ(Put(riff, 0, 0, 36 + 2, 1), 1); // row 9
    ASSERT_EQ(Put(riff, 2, 1, 36 + 4, 2), 1); // row 7
    ASSERT_EQ(Put(riff, 6, 0, 36 + 11, 1), 1); // row 0: outside the rows
    Seq_AllocUndoLog();
    const std::string start = Dump();
    g_Selection = SEQSELECTION{0, 5, 7, 11};
    const int32_t span = Seq_CutCopyNotes(1);
    EXPECT_EQ(span, 40 << 16 | 38);
    EXPECT_EQ(Cell(riff, 0, 0), 0);
    EXPECT_EQ(Cell(riff, 2, 1), 0);
    EXPECT_EQ(PitchAt(riff, 6, 0), 47);
    EXPECT_MODEL_WHOLE();
    const std::string cut = Dump();

    // One octave up, at step 8, in a selection two bars wide: the clipboard's own row length
    // places track 1 right.
    Seq_ResizeRiff(riff, 2, 2, 1);
    riff = g_uCurrentRiff = (uint16_t)(g_uRiffCount - 1);
    g_ucNoteEditOctave = 4;
    g_Selection = SEQSELECTION{8, 5, 31, 11};
    const std::string beforePaste = Dump();
    Seq_PasteNotes();
    EXPECT_EQ(PitchAt(riff, 8, 0), 50);
    EXPECT_EQ(PitchAt(riff, 10, 1), 52);
    EXPECT_EQ(Seq_GetNote(Cell(riff, 10, 1))->ucLength, 2);
    EXPECT_MODEL_WHOLE();
    Seq_UndoLastStep();
    EXPECT_EQ(Dump(), beforePaste);
    EXPECT_MODEL_WHOLE();
    (void)start;
    (void)cut;
}

TEST_F(NoteEdit, UndoOfCutAndCopyRestoresCellsAndCounts)
{
    ASSERT_EQ(Put(riff, 0, 0, 40, 1), 1);
    ASSERT_EQ(Put(riff, 4, 1, 41, 3), 1);
    Seq_AllocUndoLog();
    g_Selection = SEQSELECTION{0, 0, 15, 11};
    for (int32_t mode : {2, 1, 0}) {
        SCOPED_TRACE(mode);
        const std::string before = Dump();
        Seq_CutCopyNotes(mode);
        EXPECT_MODEL_WHOLE();
        if (mode != 2) {
            EXPECT_EQ(Cell(riff, 0, 0), 0);
            Seq_UndoLastStep();
            // The clipboard keeps what it took; the song's cells come back.
            EXPECT_EQ(PitchAt(riff, 0, 0), 40);
            EXPECT_EQ(PitchAt(riff, 4, 1), 41);
            EXPECT_MODEL_WHOLE();
        } else {
            EXPECT_EQ(Dump(), before) << "a copy changes nothing in the song";
        }
    }
    // Writing the note image back stores an edited note in place, undoable.
    NOTEPARAMS image{};
    Seq_ReadNote(5, 1, &image);
    image.ucSetting2 = 0x33;
    const std::string before = Dump();
    Seq_WriteNote(5, 1, &image);
    Seq_CloseUndoStep();
    EXPECT_EQ(Seq_GetNote(Cell(riff, 4, 1))->ucSetting2, 0x33);
    EXPECT_EQ(Seq_GetNote(Cell(riff, 4, 1))->ucLength, 3);
    EXPECT_MODEL_WHOLE();
    Seq_UndoLastStep();
    EXPECT_EQ(Dump(), before);
    EXPECT_MODEL_WHOLE();
}

} // namespace
