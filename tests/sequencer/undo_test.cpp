// The undo log: single cases, and seeded random edit/undo/redo runs where every undo must give
// back the song as it was before the step and every redo the song after it, with the whole-model
// check after every step, in a log of normal size and in one that overflows all the time.
#include "seqfixture.h"

#include "songdump.h"
#include "sequencer/noteedit.h"
#include "sequencer/undo.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

// A note of instrument 1; the caller owns one reference (with undo a record holds another).
int32_t MakeNote(int32_t pitch, int32_t length, int32_t noUndo)
{
    const uint16_t amp[3] = {0x00FF, 0x1DFF, 0x8F00};
    const uint16_t flat[2] = {0x7F00, 0x7FFF};
    const int32_t a = Seq_AddParamList(3, amp, 0, 0);
    const int32_t b = Seq_AddParamList(2, flat, 0, 0);
    const int32_t c = Seq_AddParamList(2, flat, (uint8_t)(pitch & 3), 0);
    const uint16_t before = g_uNoteCount;
    const int32_t id = Seq_FindOrAddNote(1, pitch / 12, pitch % 12, (uint8_t)length, 200, 0, 0x40, 0x80, 0, 0, a, b,
                                         c, 0, 0, 0, noUndo);
    if (!(id > 0 && g_uNoteCount == before + 1)) {
        Seq_ReleaseParamList(a);
        Seq_ReleaseParamList(b);
        Seq_ReleaseParamList(c);
    }
    return id;
}

class Undo : public SeqModel
{
protected:
    void SetUp() override
    {
        SeqModel::SetUp();
        Seq_SetUndoLogSize(SEQ_UNDO_LOG_BYTES);
    }
    void TearDown() override
    {
        Seq_FreeUndoLog();
        Seq_SetUndoLogSize(SEQ_UNDO_LOG_BYTES);
        SeqModel::TearDown();
    }
    // A note made with undo: the caller owns one reference, a note-reference record another.
    static int32_t UndoNote(int32_t pitch, int32_t length) { return MakeNote(pitch, length, 0); }
};

TEST_F(Undo, PlaceUndoRedoRestoresGridAndUseCount)
{
    const int32_t riff = Seq_NewRiff(2, 3);
    ASSERT_TRUE(Put(riff, 0, 0, 40));
    Seq_AllocUndoLog();
    const std::string before = Dump();
    ASSERT_EQ(Seq_PlaceRiffAt(riff, 10, 5), 1);
    Seq_CloseUndoStep();
    const std::string after = Dump();
    EXPECT_EQ(Seq_GetRiff(riff)->iUseCount, 2);
    EXPECT_MODEL_WHOLE();

    Seq_UndoLastStep();
    EXPECT_EQ(Dump(), before);
    EXPECT_EQ(g_aSongGrid[10][5], 0);
    EXPECT_EQ(Seq_GetRiff(riff)->iUseCount, 1);
    EXPECT_MODEL_WHOLE();
    Seq_RedoLastStep();
    EXPECT_EQ(Dump(), after);
    EXPECT_EQ(g_aSongGrid[10][5], riff);
    EXPECT_MODEL_WHOLE();

    // Removal: the log holds two uses of the removed riff, one once it is undone.
    Seq_RemoveRiffAt(11, 6, 0);
    Seq_CloseUndoStep();
    EXPECT_EQ(Seq_GetRiff(riff)->iUseCount, 3);
    EXPECT_MODEL_WHOLE();
    Seq_UndoLastStep();
    EXPECT_EQ(Dump(), after);
    EXPECT_EQ(Seq_GetRiff(riff)->iUseCount, 3);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Undo, NewEditAfterUndoGivesBackTheRedoSide)
{
    const int32_t riff = Seq_NewRiff(1, 1);
    Seq_AllocUndoLog();
    const int32_t note = UndoNote(50, 2);
    ASSERT_EQ(Seq_SetRiffNote(riff, 0, 0, -note, 0, 0, 0), 1);
    Seq_CloseUndoStep();
    EXPECT_MODEL_WHOLE();
    Seq_SetRiffNote(riff, 0, 0, 0, 0, 0, 0);
    Seq_CloseUndoStep();
    EXPECT_MODEL_WHOLE();
    Seq_UndoLastStep();
    Seq_UndoLastStep();
    EXPECT_EQ(Cell(riff, 0, 0), 0);
    EXPECT_TRUE(Seq_CanRedo());
    // Only the undone records keep the note now.
    EXPECT_EQ(g_uNoteCount, 1);
    EXPECT_MODEL_WHOLE();

    ASSERT_EQ(Seq_PlaceRiffAt(riff, 0, 0), 1);
    Seq_CloseUndoStep();
    EXPECT_FALSE(Seq_CanRedo());
    EXPECT_EQ(g_uNoteCount, 0) << "the note only the redo side held is freed";
    EXPECT_MODEL_WHOLE();
    Seq_RedoLastStep(); // nothing to redo
    EXPECT_EQ(Cell(riff, 0, 0), 0);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Undo, RiffDeletedBelowLoggedOnesLowersTheirIds)
{
    const int32_t gone = Seq_NewRiff(1, 1);
    const int32_t kept = Seq_NewRiff(1, 2);
    Seq_GetRiff(gone)->uFlags |= RIFF_FLAG_DELETE;
    Seq_AllocUndoLog();
    ASSERT_EQ(Seq_PlaceRiffAt(kept, 4, 4), 1);
    Seq_CloseUndoStep();
    Seq_PurgeDeletedRiffs();
    ASSERT_EQ(g_uRiffCount, 2);
    EXPECT_EQ(g_aSongGrid[4][4], 1);
    EXPECT_MODEL_WHOLE();
    Seq_UndoLastStep();
    EXPECT_EQ(g_aSongGrid[4][4], 0);
    Seq_RedoLastStep();
    EXPECT_EQ(g_aSongGrid[4][4], 1);
    EXPECT_EQ(Seq_GetRiff(1)->iUseCount, 2);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Undo, DeletingARiffTheLogNamesClearsTheLog)
{
    const int32_t a = Seq_NewRiff(1, 1);
    const int32_t b = Seq_NewRiff(1, 1);
    ASSERT_TRUE(Put(b, 0, 0, 30));
    Seq_AllocUndoLog();
    ASSERT_EQ(Seq_PlaceRiffAt(b, 0, 0), 1);
    Seq_CloseUndoStep();
    Seq_RemoveRiffAt(0, 0, 0);
    Seq_CloseUndoStep();
    Seq_SetRiffNote(a, 0, 0, -UndoNote(20, 1), 0, 0, 0);
    Seq_CloseUndoStep();
    EXPECT_MODEL_WHOLE();
    // Deleted outright while records name it: nothing may be left naming its id.
    ASSERT_EQ(Seq_ReleaseRiff(b, 3, 0), 1);
    EXPECT_FALSE(Seq_CanUndo());
    EXPECT_FALSE(Seq_CanRedo());
    EXPECT_EQ(g_uRiffCount, 2);
    EXPECT_EQ(Cell(a, 0, 0), 1);
    EXPECT_MODEL_WHOLE();
}

// A riff's icon (its type) changed with undo: undone, redone, and still right after a riff below it
// was freed (ids lowered) or after the riff itself was deleted (nothing left naming it).
TEST_F(Undo, RiffTypeChangeUndoesRedoesAndFollowsRiffIds)
{
    const int32_t gone = Seq_NewRiff(1, 1);
    const int32_t riff = Seq_NewRiff(1, 1);
    Seq_SetRiffType(riff, 3);
    Seq_GetRiff(gone)->uFlags |= RIFF_FLAG_DELETE;
    Seq_AllocUndoLog();
    Seq_SetRiffTypeWithUndo(riff, 12);
    Seq_CloseUndoStep();
    EXPECT_EQ(Seq_GetRiff(riff)->ucType, 12);
    Seq_UndoLastStep();
    EXPECT_EQ(Seq_GetRiff(riff)->ucType, 3);
    Seq_RedoLastStep();
    EXPECT_EQ(Seq_GetRiff(riff)->ucType, 12);
    // The riff below goes: the record follows the lowered id.
    Seq_PurgeDeletedRiffs();
    ASSERT_EQ(g_uRiffCount, 2);
    EXPECT_EQ(Seq_UndoFindDangling(), -1);
    Seq_UndoLastStep();
    EXPECT_EQ(Seq_GetRiff(1)->ucType, 3);
    Seq_RedoLastStep();
    EXPECT_EQ(Seq_GetRiff(1)->ucType, 12);
    // The riff itself goes: nothing is left that names it.
    ASSERT_EQ(Seq_ReleaseRiff(1, 3, 1), 1);
    EXPECT_EQ(Seq_UndoFindDangling(), -1);
    EXPECT_FALSE(Seq_UndoNamesRiff(1));
    Seq_UndoLastStep();
    EXPECT_MODEL_WHOLE();
}

TEST_F(Undo, StepLargerThanTheLogIsNotRecordedAndTheEditStands)
{
    Seq_SetUndoLogSize(64);
    const int32_t riff = Seq_NewRiff(8, 12);
    Seq_AllocUndoLog();
    // 96 cell records: far over 64 bytes.
    ASSERT_EQ(Seq_PlaceRiffAt(riff, 0, 0), 1);
    Seq_CloseUndoStep();
    EXPECT_EQ(g_aSongGrid[0][0], riff);
    EXPECT_FALSE(Seq_CanUndo());
    EXPECT_MODEL_WHOLE();
    // The log works again for the next edit.
    Seq_RemoveRiffAt(0, 0, 0);
    Seq_CloseUndoStep();
    EXPECT_TRUE(Seq_CanUndo());
    Seq_UndoLastStep();
    EXPECT_EQ(g_aSongGrid[0][0], riff);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Undo, WithoutALogNothingIsRecordedOrHeld)
{
    Seq_FreeUndoLog();
    const int32_t riff = Seq_NewRiff(1, 1);
    ASSERT_EQ(Seq_PlaceRiffAt(riff, 0, 0), 1);
    Seq_RemoveRiffAt(0, 0, 0);
    Seq_CloseUndoStep();
    Seq_UndoLastStep();
    Seq_RedoLastStep();
    EXPECT_EQ(Seq_GetRiff(riff)->iUseCount, 1);
    EXPECT_EQ(g_aSongGrid[0][0], 0);
    EXPECT_MODEL_WHOLE();
}

// Seeded random edits with undo and redo. The log's steps must match a stack of dumps.
void RandomRun(uint32_t seed, int32_t steps, int32_t logBytes, int32_t *pDropped)
{
    Seq_SetUndoLogSize(logBytes);
    std::mt19937 rng(seed);
    auto pick = [&rng](int32_t n) { return (int32_t)(rng() % (uint32_t)n); };

    // A few riffs with notes, placed, before the log exists.
    const int32_t sizes[][2] = {{1, 1}, {1, 3}, {2, 2}, {4, 1}, {2, 4}, {3, 2}};
    for (auto &s : sizes) {
        const int32_t riff = Seq_NewRiff(s[0], s[1]);
        ASSERT_GT(riff, 0);
        const int32_t id = MakeNote(36 + riff, 1, 1);
        if (!Seq_SetRiffNote(riff, 0, 0, -id, 1, 0, 0))
            Seq_DeleteNote(id, 1, 0);
        Seq_PlaceRiffAt(riff, riff * 3, riff);
    }
    Seq_AllocUndoLog();

    std::vector<std::string> done{Dump()}, undone;
    int32_t dropped = 0;
    char why[256];
    for (int32_t i = 0; i < steps; i++) {
        SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(i));
        const int32_t op = pick(10);
        const uint32_t before = Seq_UndoRecordSerial();
        const std::string was = done.back();
        if (op == 0 && Seq_CanUndo()) {
            Seq_UndoLastStep();
            ASSERT_GT(done.size(), 1u) << "the log undoes more steps than were made";
            undone.push_back(done.back());
            done.pop_back();
            ASSERT_EQ(Dump(), done.back()) << "undo did not give back the earlier song";
        } else if (op == 1 && Seq_CanRedo()) {
            Seq_RedoLastStep();
            ASSERT_FALSE(undone.empty());
            done.push_back(undone.back());
            undone.pop_back();
            ASSERT_EQ(Dump(), done.back()) << "redo did not give back the later song";
        } else {
            const int32_t riff = 1 + pick(g_uRiffCount - 1);
            RIFFENTRY *r = Seq_GetRiff(riff);
            const int32_t step = pick(r->ucBars * 16), track = pick(r->ucTracks);
            switch (pick(8)) {
            case 0: Seq_PlaceRiffAt(riff, pick(30), pick(20)); break;
            case 1: Seq_RemoveRiffAt(pick(30), pick(20), 0); break;
            case 2: {
                const int32_t id = MakeNote(30 + pick(12), 1 + pick(4), pick(2));
                if (id > 0 && !Seq_SetRiffNote(riff, step, track, -id, 0, 0, 0))
                    Seq_DeleteNote(id, 0, 0);
                break;
            }
            case 3: Seq_SetRiffNote(riff, step, track, 0, 0, 0, 0); break;
            case 5: Seq_SetNoteLength(riff, step, track, 1 + pick(5)); break;
            case 6: {
                g_uCurrentRiff = (uint16_t)riff;
                const int32_t a = pick(r->ucBars * 16), b = pick(r->ucBars * 16);
                const int32_t y = pick(12), z = pick(12);
                g_Selection = SEQSELECTION{std::min(a, b), std::min(y, z), std::max(a, b), std::max(y, z)};
                if (pick(3) == 0) {
                    Seq_PasteNotes();
                } else {
                    g_ucNoteEditOctave = (uint8_t)(2 + pick(3));
                    Seq_CutCopyNotes(pick(3));
                }
                break;
            }
            default: {
                // Only over a note start: the cell op itself does not look at lengths.
                if (!*Seq_RiffCell(Seq_GetRiff(riff), step, track))
                    break;
                const int32_t id = MakeNote(30 + pick(12), 1, 1);
                if (id > 0)
                    Seq_ReplaceRiffCell(riff, step, track, id, 0);
                break;
            }
            }
            Seq_CloseUndoStep();
            const std::string now = Dump();
            if (Seq_UndoRecordSerial() != before) {
                undone.clear();
                done.push_back(now);
            } else if (now != was) {
                // Changed without a record: only an edit too large for the log, which empties it.
                ASSERT_FALSE(Seq_CanUndo());
                ASSERT_FALSE(Seq_CanRedo());
                undone.clear();
                done.push_back(now);
            }
        }
        if (!Seq_CanUndo()) {
            dropped += (int32_t)done.size() - 1;
            done.erase(done.begin(), done.end() - 1);
        }
        if (!Seq_CanRedo())
            undone.clear();
        int32_t logDone = 0, logRedo = 0;
        Seq_UndoCountSteps(&logDone, &logRedo);
        ASSERT_EQ(logRedo, (int32_t)undone.size()) << "op " << op;
        ASSERT_LE(logDone, (int32_t)done.size() - 1) << "op " << op;
        ASSERT_EQ(Seq_CheckSongModel(why, sizeof(why)), 0) << why;
        if (testing::Test::HasFatalFailure())
            return;
    }
    // Every step the log still has undoes to its song, back to where it begins; all redo again.
    const int32_t redoable = (int32_t)undone.size();
    int32_t undos = 0;
    for (; Seq_CanUndo(); undos++) {
        Seq_UndoLastStep();
        ASSERT_GT(done.size(), 1u);
        undone.push_back(done.back());
        done.pop_back();
        ASSERT_EQ(Dump(), done.back()) << "undo " << undos << " of the final walk";
        ASSERT_EQ(Seq_CheckSongModel(why, sizeof(why)), 0) << why;
    }
    dropped += (int32_t)done.size() - 1;
    for (int32_t k = 0; k < undos + redoable; k++) {
        ASSERT_TRUE(Seq_CanRedo());
        Seq_RedoLastStep();
        done.push_back(undone.back());
        undone.pop_back();
        ASSERT_EQ(Dump(), done.back()) << "redo " << k << " of the final walk";
    }
    ASSERT_FALSE(Seq_CanRedo());
    // Clearing the log gives back every hold: the song's own counts remain.
    Seq_ClearUndo();
    ASSERT_EQ(Seq_CheckSongModel(why, sizeof(why)), 0) << why;
    ASSERT_EQ(Dump(), done.back());
    if (pDropped)
        *pDropped = dropped;
}

} // namespace

TEST_F(Undo, RandomEditsUndoAndRedoGiveBackExactSongs)
{
    for (uint32_t seed : {1u, 2u, 3u}) {
        Seq_ResetSongModel();
        RandomRun(seed, 2500, SEQ_UNDO_LOG_BYTES, nullptr);
        if (HasFatalFailure())
            return;
        Seq_FreeUndoLog();
    }
}

TEST_F(Undo, RandomEditsInAnOverflowingLogStayConsistent)
{
    for (uint32_t seed : {11u, 12u, 13u}) {
        Seq_ResetSongModel();
        int32_t dropped = 0;
        RandomRun(seed, 2500, 600, &dropped);
        if (HasFatalFailure())
            return;
        EXPECT_GT(dropped, 100) << "the small log should have dropped old steps";
        Seq_FreeUndoLog();
    }
}
