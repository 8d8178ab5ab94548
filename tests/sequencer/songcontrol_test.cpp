#include "seqfixture.h"

#include "core/disc.h"
#include "core/idpool.h"
#include "sequencer/clock.h"
#include "sequencer/eventlists.h"
#include "sequencer/songcontrol.h"

#include <array>
#include <vector>

namespace {

class Song : public SeqModel
{
protected:
    void SetUp() override
    {
        SeqModel::SetUp();
        Seq_Init();
        Seq_NewSong();
        g_bLoadAborted = 0;
    }
    void TearDown() override
    {
        Seq_NewSong();
        SeqModel::TearDown();
    }

    static TRACKQUERY At(int row, int kind)
    {
        TRACKQUERY q{};
        q.iRow = (int16_t)row;
        Seq_GetTrackEntryAt(&q, kind);
        return q;
    }
};

TEST_F(Song, NewSongHasOneDefaultEntryInEachList)
{
    Seq_SetTrackEntry(5, 2, 200, 200, 0, 0, 0, 0, 0, LIST_TEMPO);
    Seq_NewSong();
    for (int kind : {LIST_TEMPO, LIST_VOLUME, LIST_EFFECT, LIST_KEY}) {
        EXPECT_EQ(Seq_CountTrackEntries(kind), 1) << (char)kind;
        ASSERT_NE(*Seq_ListHead(kind), nullptr);
        EXPECT_EQ(Seq_EntryRow(*Seq_ListHead(kind)), 0);
        EXPECT_EQ(Seq_EntryLength(*Seq_ListHead(kind)), 1);
    }
    EXPECT_EQ(g_pTempoList->uStart, 130);
    EXPECT_EQ(g_pVolumeList->uStart, g_ucMasterVolume);
    EXPECT_EQ(g_pEffectList->uStart, 50);
    EXPECT_EQ(g_pEffectList->uEffectWord >> 11, 5);
    EXPECT_EQ(g_pEffectList->pPartner->uStart, 0);
    EXPECT_EQ(g_pEventListF->uStart, 0);
    EXPECT_EQ(g_uTempo, 130);
    EXPECT_EQ(g_iStepLength, 5908u);
    EXPECT_EQ(g_uRiffCount, 1);
    EXPECT_EQ(g_uNoteCount, 0);
    EXPECT_EQ(g_usTuning, 1872);
    EXPECT_EQ(g_CurrentNote.ucFlags, 0x40);
    EXPECT_EQ(g_CurrentNote.ucSetting2, 0x80);
    EXPECT_EQ(g_CurrentNote.auValuesA[1], 29 | 255 << 8);
    EXPECT_EQ(g_bSongChanged, 0);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Song, EntriesInsertReplaceAndRemove)
{
    EXPECT_EQ(Seq_SetTrackEntry(10, 40, 120, 240, 0, 0, 0, 0, 0, LIST_TEMPO), 1);
    EXPECT_EQ(Seq_EntryLength(g_pTempoList->pNext), 31); // 40 is held to 31
    EXPECT_EQ(Seq_SetTrackEntry(10, 4, 100, 110, 0, 0, 0, 0, 0, LIST_TEMPO), 1);
    EXPECT_EQ(Seq_CountTrackEntries(LIST_TEMPO), 2); // replaced, not added
    EXPECT_EQ(g_pTempoList->pNext->uStart, 100);
    EXPECT_EQ(Seq_SetTrackEntry(5, 0, 90, 90, 0, 0, 0, 0, 0, LIST_TEMPO), 1);
    EXPECT_EQ(Seq_EntryLength(g_pTempoList->pNext), 1); // a 0-row ramp becomes 1 row
    EXPECT_EQ(Seq_EntryRow(g_pTempoList->pNext), 5);    // kept in row order
    EXPECT_EQ(Seq_SetTrackEntry(7, 1, 0xFFFF, 0, 0, 0, 0, 0, 0, LIST_TEMPO), 1); // nothing at row 7
    EXPECT_EQ(Seq_CountTrackEntries(LIST_TEMPO), 3);
    const TRACKQUERY between = At(7, LIST_TEMPO);
    EXPECT_EQ(between.uStart, 90);
    EXPECT_EQ(between.uRowsIn, 2);
    EXPECT_EQ(Seq_GetTrackEntryAt(const_cast<TRACKQUERY *>(&between), LIST_TEMPO), 0);
    TRACKQUERY inside{};
    inside.iRow = 12;
    EXPECT_EQ(Seq_GetTrackEntryAt(&inside, LIST_TEMPO), 1);
    EXPECT_EQ(Seq_SetTrackEntry(5, 1, 0xFFFF, 0, 0, 0, 0, 0, 0, LIST_TEMPO), 1);
    EXPECT_EQ(Seq_CountTrackEntries(LIST_TEMPO), 2);
    // Tempos out of the table's range are held to it.
    Seq_SetTrackEntry(20, 1, 5, 5000, 0, 0, 0, 0, 0, LIST_TEMPO);
    EXPECT_EQ(g_pTempoList->pNext->pNext->uStart, 40);
    EXPECT_EQ(g_pTempoList->pNext->pNext->uEnd, 1000);
    EXPECT_EQ(g_uTempo, 40);
    // Row 0 removal empties the list.
    Seq_SetTrackEntry(0, 1, 0xFFFF, 0, 0, 0, 0, 0, 0, LIST_TEMPO);
    EXPECT_EQ(g_pTempoList, nullptr);
    // The effect list keeps its parameters in the partner.
    Seq_SetTrackEntry(3, 2, 40, 80, 7, 10, 20, 30, 60, LIST_EFFECT);
    const TRACKQUERY e = At(4, LIST_EFFECT);
    EXPECT_EQ(e.ucType, 7);
    EXPECT_EQ(e.uAStart, 10);
    EXPECT_EQ(e.uAEnd, 20);
    EXPECT_EQ(e.uBStart, 30);
    EXPECT_EQ(e.uBEnd, 60);
    TRACKRAMP ramp;
    Seq_GetRampState(4, &ramp, LIST_EFFECT);
    EXPECT_EQ(ramp.uStepsLeft, 16);
    EXPECT_EQ(ramp.iStep, (40 << 12) / 32);
    EXPECT_EQ(ramp.iValue, (40 << 12) + 16 * ramp.iStep);
    EXPECT_EQ(ramp.iStep2, (10 << 12) / 32);
    EXPECT_EQ(ramp.iStep3, ((60 - 30) * 256 * 16) / 32);
    Seq_GetRampState(9, &ramp, LIST_EFFECT);
    EXPECT_EQ(ramp.iValue, 80 << 12);
    EXPECT_EQ(ramp.iStep, 0);
}

TEST_F(Song, SongTimeFollowsTheTempoList)
{
    struct Case
    {
        std::vector<std::array<int, 4>> entries; // row, length, start, end
        int rows;
        int minutes, seconds;
    } cases[] = {
        {{}, 10, 0, 18},                         // 10 rows at 130: (945 + 945) >> 4 = 118 a row
        {{{0, 1, 120, 120}}, 10, 0, 20},         // 10 rows at 120
        {{{0, 1, 120, 120}}, 100, 3, 20},        // 200 seconds
        {{{0, 1, 130, 130}}, 10, 0, 18},
        // 2 x 128 + 115 + 93 + 79 + 68 + 4 x 64 = 867 sixty-fourths
        {{{0, 1, 120, 120}, {2, 4, 120, 240}}, 10, 0, 13},
        {{{0, 1, 60, 60}}, 30, 2, 0},
        {{{0, 1, 240, 240}, {5, 1, 60, 60}}, 6, 0, 9},
    };
    for (const Case &c : cases) {
        Seq_NewSong();
        for (const auto &e : c.entries)
            Seq_SetTrackEntry(e[0], e[1], e[2], e[3], 0, 0, 0, 0, 0, LIST_TEMPO);
        const int32_t riff = Seq_NewRiff(1, 1);
        Seq_PlaceRiff(riff, c.rows - 1, 0, 0, 1);
        Seq_ComputeSongTime(9999);
        EXPECT_EQ(g_ucSongMinutes, c.minutes) << c.rows;
        EXPECT_EQ(g_ucSongSeconds, c.seconds) << c.rows;
    }
    // A ramp from 120 to 240 over 4 rows raises the tempo by ((240 - 120) << 12) / 64 a step.
    Seq_NewSong();
    Seq_SetTrackEntry(0, 4, 120, 240, 0, 0, 0, 0, 0, LIST_TEMPO);
    TRACKRAMP ramp;
    Seq_GetRampState(0, &ramp, LIST_TEMPO);
    EXPECT_EQ(ramp.iStep, (120 << 12) / 64);
    EXPECT_EQ(ramp.uStepsLeft, 64);
    Seq_GetRampState(2, &ramp, LIST_TEMPO);
    EXPECT_EQ(ramp.iValue >> 12, 180);
    // Position time of a row.
    Seq_ComputeSongTime(2);
    EXPECT_EQ(g_ucPosSeconds, (((122880 / 120 + 122880 / 150) >> 4) + ((122880 / 150 + 122880 / 180) >> 4)) >> 6);
}

TEST_F(Song, FullEntryPoolIsRefusedAndTheListsStayWhole)
{
    int32_t added = 0;
    for (int32_t row = 1; row < SEQ_GRID_ROWS && Seq_SetTrackEntry(row, 1, 100, 100, 0, 0, 0, 0, 0, LIST_VOLUME) == 1;
         row++)
        added++;
    for (int32_t row = 1; row < SEQ_GRID_ROWS && Seq_SetTrackEntry(row, 1, 100, 100, 0, 0, 0, 0, 0, LIST_KEY) == 1;
         row++)
        added++;
    for (int32_t row = 1; row < SEQ_GRID_ROWS && Seq_SetTrackEntry(row, 1, 100, 100, 0, 0, 0, 0, 0, LIST_TEMPO) == 1;
         row++)
        added++;
    int32_t effects = 0;
    for (int32_t row = 1; row < SEQ_GRID_ROWS && Seq_SetTrackEntry(row, 1, 50, 50, 5, 0, 0, 0, 0, LIST_EFFECT) == 1;
         row++)
        effects++;
    for (int32_t row = 1; row < SEQ_GRID_ROWS && Seq_SetTrackEntry(row, 1, 100, 100, 0, 0, 0, 0, 0, LIST_TEMPO) == 1;
         row++)
        added++;
    // 312 pages of 16 entries; the four defaults take 5 (the effect's partner too).
    EXPECT_LE(5 + added + 2 * effects, 312 * 16);
    EXPECT_GE(5 + added + 2 * effects, 312 * 16 - 1);
    const int32_t effectEntries = Seq_CountTrackEntries(LIST_EFFECT);
    EXPECT_EQ(Seq_SetTrackEntry(998, 1, 50, 50, 5, 0, 0, 0, 0, LIST_EFFECT), -1);
    EXPECT_EQ(Seq_CountTrackEntries(LIST_EFFECT), effectEntries);
    for (TRACKENTRY *e = g_pEffectList; e; e = e->pNext)
        ASSERT_NE(e->pPartner, nullptr);
    // Emptying a list gives its entries back.
    Seq_SetTrackEntry(0, 1, 0xFFFF, 0, 0, 0, 0, 0, 0, LIST_VOLUME);
    EXPECT_EQ(Seq_SetTrackEntry(998, 1, 50, 50, 5, 0, 0, 0, 0, LIST_EFFECT), 1);
}

TEST_F(Song, EffectRefusalNeverTouchesTheLoadFlag)
{
    g_bLoadAborted = 1; // a load that failed
    EXPECT_EQ(Seq_ApplyEffect(5, 50, 0, 0, 0), 0);
    EXPECT_EQ(g_bLoadAborted, 1); // stays aborted
    g_bLoadAborted = 0;
    const int32_t entries = Seq_CountTrackEntries(LIST_EFFECT);
    EXPECT_EQ(Seq_ApplyEffect(200, 50, 0, 0, 0), -1); // a preset the sound layer refuses
    EXPECT_EQ(g_bEffectRefused, 1);
    EXPECT_EQ(g_bLoadAborted, 0); // aborts nothing
    EXPECT_EQ(Seq_SetTrackEntry(4, 1, 50, 50, 200, 0, 0, 0, 0, LIST_EFFECT), -1);
    EXPECT_EQ(Seq_CountTrackEntries(LIST_EFFECT), entries);
    EXPECT_EQ(Seq_SetTrackEntry(4, 1, 50, 50, 8, 30, 30, 20, 20, LIST_EFFECT), 1);
    EXPECT_EQ(g_ucEffectType, 8);
}

TEST_F(Song, VolumesAndMix)
{
    struct
    {
        int percent, maximum, expected;
    } cases[] = {{100, 0x3FFF, 16383}, {50, 0x7FFF, 16383}, {0, 0x3FFF, 0}, {1, 0x3FFF, 159}, {356, 0x3FFF, 16383}};
    for (const auto &c : cases)
        EXPECT_EQ(Seq_PercentToVolume(c.percent, c.maximum), c.expected) << c.percent;
    EXPECT_EQ(Seq_SetMixLevels(80, 1), 0);
    uint8_t mix[6];
    Seq_GetMixSettings(mix);
    EXPECT_EQ(mix[4], 80);
    EXPECT_EQ(mix[5], 1);
    g_bLoadAborted = 1;
    Seq_SetMixLevels(20, 0);
    EXPECT_EQ(g_ucMasterVolume, 80);
    g_bLoadAborted = 0;
    Seq_NewSong();
    EXPECT_EQ(g_pVolumeList->uStart, 80); // the new song's volume entry takes the mix setting
    Seq_SetMixLevels(100, 0);
}

TEST_F(Song, EnvelopeAndPitchParts)
{
    Seq_SetTempo(130); // u = 9000 / 130 = 69
    const int32_t id = Seq_MakeEnvelope(0, 0, 200, 0);
    uint32_t bytes = 0;
    const uint8_t *p = Seq_GetParamList(id, &bytes);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[0], 3);
    // t0 = 1, t1 = 5, t2 = 13: times 256 / 69 -> 3, 18, 48, shift 0.
    EXPECT_EQ(p[1], 3);
    EXPECT_EQ(p[2], 255);
    EXPECT_EQ(p[3], 18);
    EXPECT_EQ(p[4], 200);
    EXPECT_EQ(p[5], 48);
    EXPECT_EQ(p[6], 0);
    EXPECT_EQ(p[7], 0);
    // Long times take a shift so that the last point fits a byte.
    const int32_t slow = Seq_MakeEnvelope(255, 255, 100, 255);
    p = Seq_GetParamList(slow, nullptr);
    EXPECT_GT(p[7], 0);
    EXPECT_LT(p[5], 256);
    EXPECT_GT(p[5], 127);
    const int32_t n = Note(63);
    int32_t octave = 0, semitone = 0;
    Seq_NotePitchParts(n, &octave, &semitone);
    EXPECT_EQ(octave, 5);
    EXPECT_EQ(semitone, 3);
    Seq_DeleteNote(n, 1, 0);
    Seq_ReleaseParamList(id);
    Seq_ReleaseParamList(slow);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Song, RiffEditorTransitionsAndGridRebuild)
{
    EXPECT_EQ(Seq_CreateRiffAt(4, 4, 2, 3), 0);
    const int32_t riff = g_uCurrentRiff;
    ASSERT_EQ(riff, 1);
    EXPECT_EQ(g_uLibraryRiff, 1);
    EXPECT_EQ(Seq_GetRiffStartingAt(4, 4), 1);
    EXPECT_EQ(Seq_CreateRiffAt(5, 6, 1, 1), 0); // an occupied cell opens its riff
    EXPECT_EQ(g_uRiffCount, 2);
    // Closing an empty riff deletes it; one with notes stays and gets its colour.
    EXPECT_EQ(Seq_CloseRiffEditor(), 0);
    EXPECT_EQ(g_uRiffCount, 1);
    EXPECT_EQ(Seq_GetRiffStartingAt(4, 4), 0);
    EXPECT_EQ(Seq_CreateRiffAt(4, 4, 1, 1), 0);
    ASSERT_TRUE(Put(g_uCurrentRiff, 0, 0, 40));
    EXPECT_EQ(Seq_CloseRiffEditor(), 1);
    EXPECT_EQ(g_uCurrentRiff, 0);
    EXPECT_MODEL_WHOLE();
    // No riff to be had: 10, nothing placed.
    EXPECT_EQ(Seq_CreateRiffAt(500, 98, 1, 2), 10);
    EXPECT_EQ(g_aSongGrid[500][98], 0);

    // A grid merged in holds first cells only: the bar and column cells come back, riffs found
    // this way are adopted, and riffs nothing places (and empty riffs) go.
    Seq_NewSong();
    const int32_t a = Seq_NewRiff(3, 2), b = Seq_NewRiff(1, 1), c = Seq_NewRiff(1, 1);
    ASSERT_TRUE(Put(a, 0, 0, 40));
    ASSERT_TRUE(Put(c, 0, 0, 41));
    for (int32_t id : {a, b, c})
        Seq_GetRiff(id)->iUseCount = 0;
    g_aSongGrid[10][10] = (uint16_t)a;
    g_aSongGrid[11][11] = 0x3001; // a stale continuation cell: not a riff id
    g_aSongGrid[20][0] = (uint16_t)b;
    Seq_RebuildGridCells(1);
    EXPECT_EQ(g_uRiffCount, 2); // b (empty) and c (unplaced) went
    EXPECT_EQ(g_aSongGrid[12][11], 0x5001);
    EXPECT_EQ(g_aSongGrid[20][0], 0);
    EXPECT_EQ(Seq_GetRiff(1)->iUseCount, 1);
    // Deleting with mode 2 leaves the notes to the loader's recount, which comes next.
    Seq_RecountNoteRefs(1);
    Seq_GetRiff(1)->iUseCount = 2;
    EXPECT_EQ(g_uNoteCount, 1);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Song, ShiftMovesEntriesAndKeepsEachListsDefault)
{
    Seq_SetTrackEntry(3, 1, 150, 150, 0, 0, 0, 0, 0, LIST_TEMPO);
    EXPECT_EQ(Seq_ShiftTrackEntries(0, 8), 1);
    EXPECT_EQ(Seq_EntryRow(g_pTempoList), 0);
    EXPECT_EQ(g_pTempoList->uStart, 130); // its own default, not 50
    EXPECT_EQ(Seq_EntryRow(g_pTempoList->pNext), 8);
    EXPECT_EQ(Seq_EntryRow(g_pTempoList->pNext->pNext), 11);
    EXPECT_EQ(g_pEventListF->uStart, 0);
    EXPECT_EQ(g_pEffectList->uEffectWord >> 11, 5);
    // A shift below row 0 keeps the head and adds none.
    EXPECT_EQ(Seq_ShiftTrackEntries(5, 2), 1);
    EXPECT_EQ(Seq_CountTrackEntries(LIST_TEMPO), 3);
    EXPECT_EQ(Seq_EntryRow(g_pTempoList->pNext->pNext), 13);
    EXPECT_EQ(Seq_ShiftTrackEntries(5, 990), -1); // would leave the grid: nothing moves
    EXPECT_EQ(Seq_EntryRow(g_pTempoList->pNext->pNext), 13);
}

} // namespace
