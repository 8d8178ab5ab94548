#include "seqfixture.h"

#include "core/idpool.h"

#include <vector>

namespace {

using Notes = SeqModel;
using Grid = SeqModel;
using Riffs = SeqModel;
using Names = SeqModel;

TEST_F(Notes, ParameterListsAreInternedAndKeptPacked)
{
    const uint16_t v1[2] = {1, 2}, v2[3] = {7, 8, 9};
    const int32_t a = Seq_AddParamList(2, v1, 5, 0);
    const int32_t b = Seq_AddParamList(3, v2, 0, 0);
    const int32_t e = Seq_AddParamList(0, nullptr, 1, 2);
    EXPECT_EQ(Seq_AddParamList(2, v1, 5, 0), a); // same list: same id, count 2
    EXPECT_EQ(g_aParamListSlots[a].uRefCount, 2);
    EXPECT_NE(Seq_AddParamList(2, v1, 5, 1), a); // the b byte counts
    EXPECT_EQ(g_uParamListBytes, 7u + 9u + 3u + 7u); // n = 0 takes 3 bytes
    const uint16_t bOffset = g_aParamListSlots[b].uOffset;
    Seq_ReleaseParamList(a);
    EXPECT_EQ(g_aParamListSlots[b].uOffset, bOffset);
    Seq_ReleaseParamList(a);
    EXPECT_EQ(g_aParamListSlots[a].uOffset, SEQ_NO_LIST);
    EXPECT_EQ(g_aParamListSlots[b].uOffset, bOffset - 7); // later data moved down by 2n + 3
    uint32_t bytes = 0;
    const uint8_t *p = Seq_GetParamList(b, &bytes);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(bytes, 9u);
    EXPECT_EQ(p[0], 3);
    EXPECT_EQ(p[5], 9);
    EXPECT_EQ(Seq_GetParamList(e, nullptr)[1], 1);
    // Releasing a free slot changes nothing and never wraps a count.
    Seq_ReleaseParamList(a);
    Seq_ReleaseParamList(-1);
    Seq_ReleaseParamList(SEQ_PARAM_LIST_SLOTS);
    EXPECT_EQ(Seq_ParamListCount(), 3);
}

TEST_F(Notes, ListStoreLimits)
{
    // Data area: one byte over 30000 is refused while slots are free.
    std::vector<uint16_t> values(255, 0);
    int32_t lists = 0;
    while (g_uParamListBytes + 513 <= SEQ_PARAM_LIST_BYTES) {
        values[0] = (uint16_t)lists;
        ASSERT_GE(Seq_AddParamList(255, values.data(), 0, 0), 0);
        lists++;
    }
    const uint32_t left = SEQ_PARAM_LIST_BYTES - g_uParamListBytes;
    const int32_t fits = (int32_t)(left - 3) / 2;
    values[0] = 60000;
    EXPECT_EQ(Seq_AddParamList(fits + 1, values.data(), 0, 0), -1);
    EXPECT_GE(Seq_AddParamList(fits, values.data(), 0, 0), 0);
    EXPECT_EQ(g_uParamListBytes, (uint32_t)SEQ_PARAM_LIST_BYTES - ((left - 3) % 2));
    Seq_ResetSongModel();
    // Slots: the 6001st list is refused and the store stays whole.
    for (int32_t i = 0; i < SEQ_PARAM_LIST_SLOTS; i++) {
        const uint16_t v = (uint16_t)i;
        ASSERT_EQ(Seq_AddParamList(1, &v, 0, 0), i);
    }
    const uint16_t v = 9999;
    EXPECT_EQ(Seq_AddParamList(1, &v, 0, 0), -1);
    EXPECT_EQ(Seq_ParamListCount(), SEQ_PARAM_LIST_SLOTS);
    EXPECT_EQ(Seq_AddParamList(-1, &v, 0, 0), -1);
    for (int32_t i = 0; i < SEQ_PARAM_LIST_SLOTS; i++)
        Seq_ReleaseParamList(i);
    EXPECT_MODEL_WHOLE();
    EXPECT_EQ(g_uParamListBytes, 0u);
}

TEST_F(Notes, InterningAndDeletionRenumberEveryGrid)
{
    const int32_t riff = Seq_NewRiff(1, 2);
    for (int32_t i = 0; i < 9; i++)
        ASSERT_TRUE(Put(riff, i, 0, 40 + i));
    ASSERT_TRUE(Put(riff, 0, 1, 45)); // note 6 again, on the second track
    EXPECT_EQ(g_uNoteCount, 9);
    EXPECT_EQ(Cell(riff, 0, 1), 6);
    g_NoteClipboard.ucColour = 2;
    g_NoteClipboard.puNotes[3] = 9;
    Seq_AddNoteRef(9);
    EXPECT_MODEL_WHOLE();
    // Note 5 goes: 6..9 become 5..8 everywhere, cells of 5 become 0.
    EXPECT_EQ(Seq_SetRiffNote(riff, 4, 0, 0, 1, 0, 0), 2);
    EXPECT_EQ(g_uNoteCount, 8);
    EXPECT_EQ(Cell(riff, 4, 0), 0);
    EXPECT_EQ(Cell(riff, 5, 0), 5);
    EXPECT_EQ(Cell(riff, 8, 0), 8);
    EXPECT_EQ(Cell(riff, 0, 1), 5);
    EXPECT_EQ(g_NoteClipboard.puNotes[3], 8);
    EXPECT_EQ(PitchAt(riff, 8, 0), 48);
    EXPECT_MODEL_WHOLE();
    g_NoteClipboard.puNotes[3] = 0;
    Seq_ReleaseNoteRef(8);
    g_NoteClipboard.ucColour = 0;
    // A note held twice survives one release.
    EXPECT_EQ(Seq_SetRiffNote(riff, 5, 0, 0, 1, 0, 0), 1);
    EXPECT_EQ(Cell(riff, 0, 1), 5);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Notes, EqualityLimitsAndClamp)
{
    const int32_t a = Note(50, 1, 100, 0, 1, 0);
    const int32_t b = Note(50, 1, 100, 0, 1, 1); // only the disc differs
    EXPECT_NE(a, b);
    EXPECT_EQ(Note(50, 1, 100, 0, 1, 1), b); // stored as compared: found again
    EXPECT_EQ(Seq_GetNote(b)->uRefCount, 2);
    Seq_ReleaseNoteRef(b);
    Seq_DeleteNote(b, 1, 0);
    Seq_DeleteNote(a, 1, 0);
    EXPECT_EQ(g_uNoteCount, 0);
    EXPECT_EQ(Seq_ParamListCount(), 0);
    for (auto [in, out] : std::vector<std::pair<int, int>>{{-5, 0}, {0, 0}, {6000, 6000}, {12000, 12000}, {12345, 12000}})
        EXPECT_EQ(Seq_ClampPitchCents(in), out) << in;
}

TEST_F(Notes, FullNotePoolIsRefusedAndTheSongStaysWhole)
{
    const int32_t riff = Seq_NewRiff(8, 12);
    int32_t made = 0;
    for (int32_t t = 0; t < 12 && made < SEQ_MAX_NOTES; t++)
        for (int32_t s = 0; s < 128 && made < SEQ_MAX_NOTES; s++) {
            ASSERT_TRUE(Put(riff, s, t, (made % 72), 1, made / 72)) << made;
            made++;
        }
    // Two riffs' worth: the second holds the rest.
    const int32_t riff2 = Seq_NewRiff(8, 12);
    for (int32_t i = 0; made < SEQ_MAX_NOTES; i++, made++)
        ASSERT_TRUE(Put(riff2, i % 128, i / 128, made % 72, 1, made / 72));
    EXPECT_EQ(g_uNoteCount, SEQ_MAX_NOTES);
    const uint32_t lists = g_uParamListUsed;
    EXPECT_EQ(Note(71, 1, 255), -1);
    EXPECT_FALSE(Put(riff2, 127, 11, 71, 1, 255));
    EXPECT_EQ(g_uNoteCount, SEQ_MAX_NOTES);
    EXPECT_EQ(g_uParamListUsed, lists);
    EXPECT_MODEL_WHOLE();
    // An existing note is still found.
    const int32_t again = Note(0, 1, 0);
    EXPECT_EQ(again, 1);
    Seq_ReleaseNoteRef(again);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Grid, CellEncodingOfAPlacedRiff)
{
    const int32_t riff = Seq_NewRiff(3, 4);
    Seq_PlaceRiff(riff, 10, 20, 0, 1);
    const uint16_t expected[3][5] = {{0x0001, 0x1001, 0x1002, 0x1003, 0},
                                     {0x2001, 0x3001, 0x3002, 0x3003, 0},
                                     {0x4001, 0x5001, 0x5002, 0x5003, 0}};
    for (int32_t b = 0; b < 3; b++)
        for (int32_t c = 0; c < 5; c++)
            EXPECT_EQ(g_aSongGrid[10 + b][20 + c], expected[b][c]) << b << "," << c;
    EXPECT_EQ(g_aSongGrid[13][20], 0);
    EXPECT_EQ(Seq_GetRiff(riff)->iUseCount, 2);
    int32_t top = 0, left = 0;
    EXPECT_EQ(Seq_RiffAtCell(12, 23, &top, &left), riff);
    EXPECT_EQ(top, 10);
    EXPECT_EQ(left, 20);
    EXPECT_EQ(Seq_GetRiffStartingAt(10, 20), riff);
    EXPECT_EQ(Seq_GetRiffStartingAt(11, 20), 0);
    EXPECT_EQ(Seq_GetRiffInBlock(10, 20, 13, 24), riff);
    EXPECT_EQ(Seq_GetRiffInBlock(10, 20, 12, 24), 0);
    EXPECT_EQ(Seq_CountUsedRows(), 13);
    GRIDCELLQUERY q{11, 22};
    char name[16];
    std::strcpy(Seq_GetRiff(riff)->szName, "Drums");
    EXPECT_EQ(Seq_GetGridCellInfo(&q, name), riff);
    EXPECT_EQ(q.ucBar, 1);
    EXPECT_EQ(q.ucColumnOffset, 2);
    EXPECT_EQ(q.ucBars, 3);
    EXPECT_EQ(q.ucTracks, 4);
    EXPECT_EQ(q.ucIcon, 146); // type not set
    EXPECT_STREQ(name, "Drums");
    GRIDCELLQUERY outside{5, 200};
    EXPECT_EQ(Seq_GetGridCellInfo(&outside, name), 0); // a column past the grid is refused
    GRIDCELLQUERY low{1000, 0};
    EXPECT_EQ(Seq_GetGridCellInfo(&low, name), 0);
    // Removing through any cell clears the whole rectangle.
    Seq_RemoveRiffAt(12, 22, 1);
    EXPECT_EQ(Seq_CountUsedRows(), 0);
    EXPECT_EQ(Seq_GetRiff(riff)->iUseCount, 1);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Grid, PlacementLimits)
{
    struct Case
    {
        int bars, tracks, row, column;
        bool fits;
    } cases[] = {
        {2, 1, 998, 0, false}, {1, 1, 998, 0, true}, {8, 1, 991, 0, true}, {8, 1, 992, 0, false},
        {1, 12, 0, 87, true},  {1, 12, 0, 88, false}, {1, 1, 999, 0, false}, {1, 1, 0, 98, true},
    };
    for (const Case &c : cases) {
        Seq_ResetSongModel();
        const int32_t riff = Seq_NewRiff(c.bars, c.tracks);
        EXPECT_EQ(Seq_PlaceRiffAt(riff, c.row, c.column), c.fits ? 1 : -1) << c.bars << "x" << c.tracks << " at " << c.row;
        EXPECT_EQ(Seq_GetRiff(riff)->iUseCount, c.fits ? 2 : 1);
        EXPECT_MODEL_WHOLE();
    }
    // Overlaps are refused: the cell is taken, or the rectangle crosses another riff.
    Seq_ResetSongModel();
    const int32_t a = Seq_NewRiff(2, 2), b = Seq_NewRiff(2, 2);
    Seq_PlaceRiff(a, 5, 5, 0, 1);
    EXPECT_EQ(Seq_PlaceRiffAt(b, 6, 6), 0);
    EXPECT_EQ(Seq_PlaceRiffAt(b, 4, 4), -1);
    Seq_PlaceRiff(b, 4, 4, 0, 1);
    EXPECT_EQ(Seq_GetRiff(b)->iUseCount, 1);
    EXPECT_EQ(Seq_PlaceRiffAt(b, 5, 7), 1);
    EXPECT_MODEL_WHOLE();
    // A full grid of one 1 x 1 riff would pass its 16-bit use count: placing stops at 32767.
    Seq_ResetSongModel();
    const int32_t one = Seq_NewRiff(1, 1);
    int32_t placed = 0;
    for (int32_t row = 0; row <= SEQ_LAST_PLACE_ROW; row++)
        for (int32_t c = 0; c < SEQ_GRID_COLUMNS; c++)
            if (Seq_PlaceRiffAt(one, row, c) == 1)
                placed++;
    EXPECT_EQ(placed, INT16_MAX - 1);
    EXPECT_EQ(Seq_GetRiff(one)->iUseCount, INT16_MAX);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Grid, PlacementMask)
{
    Seq_ComputePlacementMask(0, 95);
    for (int32_t r = 0; r < 8; r++)
        for (int32_t c = 0; c < 12; c++)
            EXPECT_EQ(g_abPlacementMask[r][c], c < 4 ? 1 : 0) << r << "," << c;
    // A riff two rows below and one column right makes a staircase.
    const int32_t block = Seq_NewRiff(1, 1);
    Seq_PlaceRiff(block, 2, 11, 0, 1);
    Seq_ComputePlacementMask(0, 10);
    EXPECT_EQ(g_abPlacementMask[1][0], 1);
    EXPECT_EQ(g_abPlacementMask[2][0], 1);
    EXPECT_EQ(g_abPlacementMask[1][1], 1);
    EXPECT_EQ(g_abPlacementMask[2][1], 0);
    EXPECT_EQ(g_abPlacementMask[7][5], 0);
    EXPECT_EQ(g_abPlacementMask[1][11], 1);
    // Resize mask of a riff placed twice: the intersection of both placements.
    const int32_t riff = Seq_NewRiff(1, 1);
    Seq_PlaceRiff(riff, 0, 0, 0, 1);
    Seq_PlaceRiff(riff, 20, 97, 0, 1);
    Seq_ComputePlacementMask(0, 0);
    EXPECT_EQ(g_abPlacementMask[0][0], 1);
    EXPECT_EQ(g_abPlacementMask[0][1], 1);
    EXPECT_EQ(g_abPlacementMask[7][1], 1);
    EXPECT_EQ(g_abPlacementMask[0][2], 0); // the second placement reaches column 98
    // A continuation cell leaves the mask full.
    const int32_t wide = Seq_NewRiff(1, 2);
    Seq_PlaceRiff(wide, 40, 40, 0, 1);
    Seq_ComputePlacementMask(40, 41);
    EXPECT_EQ(g_abPlacementMask[7][11], 1);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Riffs, MergeRefusalsAndLevelBake)
{
    const int32_t a = Seq_NewRiff(1, 1), b = Seq_NewRiff(2, 1);
    Seq_GetRiff(a)->ucStartLevel = 0;
    Seq_GetRiff(a)->ucEndLevel = 255;
    ASSERT_TRUE(Put(a, 15, 0, 40, 1, 200));
    ASSERT_TRUE(Put(b, 0, 0, 41, 1, 100));
    Seq_PlaceRiff(a, 0, 0, 0, 1);
    Seq_PlaceRiff(b, 0, 1, 0, 1);
    Seq_SetSelection(0, 0, 1, 2, 1); // cuts riff b (reaches row 1)
    EXPECT_EQ(Seq_MergeSelectedRiffs(), -1);
    Seq_SetSelection(0, 0, 2, 1, 1); // holds only riff a
    EXPECT_EQ(Seq_MergeSelectedRiffs(), -1);
    Seq_SetSelection(0, 0, 9, 2, 1); // nine rows: more than a riff can hold
    EXPECT_EQ(Seq_MergeSelectedRiffs(), -1);
    const uint16_t riffs = g_uRiffCount;
    EXPECT_MODEL_WHOLE();
    Seq_SetSelection(0, 0, 2, 2, 1);
    ASSERT_EQ(Seq_MergeSelectedRiffs(), 1);
    EXPECT_EQ(g_uRiffCount, riffs + 1);
    const int32_t merged = g_uRiffCount - 1;
    EXPECT_EQ(g_uLibraryRiff, merged);
    EXPECT_EQ(Seq_GetRiffStartingAt(0, 0), merged);
    EXPECT_EQ(Seq_GetRiffLength(merged), 2);
    EXPECT_EQ(Seq_GetRiffTrackCount(merged), 2);
    // Step 15 of a 0..255 ramp: level 239; the note keeps 239 x 200 / 256.
    NOTEENTRY *n = Seq_GetNote(Cell(merged, 15, 0));
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->ucLevel, 239 * 200 / 256);
    EXPECT_EQ(PitchAt(merged, 0, 1), 41);
    EXPECT_EQ(Seq_GetNote(Cell(merged, 0, 1))->ucLevel, 255 * 100 / 256);
    EXPECT_EQ(Name(merged), "Riff0001");
    EXPECT_EQ(Seq_GetRiff(a)->iUseCount, 1); // no longer placed
    EXPECT_MODEL_WHOLE();
}

TEST_F(Riffs, SplitPiecesAndRefusals)
{
    const int32_t single = Seq_NewRiff(1, 1);
    Seq_PlaceRiff(single, 0, 0, 0, 1);
    EXPECT_EQ(Seq_SplitRiff(0, 0, 0, 1), 0);

    // Four bars, one track: four 1-bar riffs one below the other; an empty bar is not placed.
    const int32_t four = Seq_NewRiff(4, 1);
    std::strcpy(Seq_GetRiff(four)->szName, "Bass0012");
    Seq_GetRiff(four)->ucStartLevel = 0;
    Seq_GetRiff(four)->ucEndLevel = 200;
    ASSERT_TRUE(Put(four, 0, 0, 30, 4));
    ASSERT_TRUE(Put(four, 14, 0, 31, 6)); // runs into bar 1: cut at the piece's end
    ASSERT_TRUE(Put(four, 48, 0, 33));
    Seq_PlaceRiff(four, 10, 5, 0, 1);
    const uint16_t before = g_uRiffCount;
    ASSERT_EQ(Seq_SplitRiff(10, 5, 0, 1), 1);
    EXPECT_EQ(g_uRiffCount, before + 2); // bars 1 and 2 were empty
    const int32_t p0 = Seq_GetRiffStartingAt(10, 5), p3 = Seq_GetRiffStartingAt(13, 5);
    EXPECT_EQ(Seq_GetRiffStartingAt(11, 5), 0);
    EXPECT_EQ(Seq_GetRiffStartingAt(12, 5), 0);
    ASSERT_GT(p0, four);
    ASSERT_GT(p3, p0);
    EXPECT_EQ(Seq_GetRiffLength(p0), 1);
    EXPECT_EQ(Seq_GetNote(Cell(p0, 14, 0))->ucLength, 2);
    EXPECT_EQ(PitchAt(p3, 0, 0), 33);
    EXPECT_EQ(Seq_GetRiff(p0)->ucStartLevel, 0);
    EXPECT_EQ(Seq_GetRiff(p0)->ucEndLevel, 50);
    EXPECT_EQ(Seq_GetRiff(p3)->ucStartLevel, 150);
    EXPECT_EQ(Seq_GetRiff(p3)->ucEndLevel, 200);
    EXPECT_EQ(Name(p0).substr(0, 4), "Bass");
    EXPECT_EQ(Name(p0).size(), 8u);
    EXPECT_MODEL_WHOLE();

    // Tracks 0 and 1 joined, track 2 alone: a 2-track piece and a 1-track piece, whole length.
    const int32_t wide = Seq_NewRiff(2, 3);
    ASSERT_TRUE(Put(wide, 0, 0, 40, 1, 200, NOTE_FLAG_JOINED));
    ASSERT_TRUE(Put(wide, 20, 1, 41));
    ASSERT_TRUE(Put(wide, 3, 2, 42));
    EXPECT_EQ(Seq_GetRiff(wide)->uFlags & 1, 1);
    Seq_PlaceRiff(wide, 30, 0, 0, 1);
    ASSERT_EQ(Seq_SplitRiff(30, 0, 0, 1), 1);
    const int32_t pair = Seq_GetRiffStartingAt(30, 0), last = Seq_GetRiffStartingAt(30, 2);
    EXPECT_EQ(Seq_GetRiffTrackCount(pair), 2);
    EXPECT_EQ(Seq_GetRiffLength(pair), 2);
    EXPECT_EQ(PitchAt(pair, 20, 1), 41);
    EXPECT_EQ(Seq_GetRiffTrackCount(last), 1);
    EXPECT_EQ(PitchAt(last, 3, 0), 42);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Riffs, ReleaseRenumbersEveryHolder)
{
    int32_t id[6];
    for (int32_t i = 1; i <= 5; i++) {
        id[i] = Seq_NewRiff(1, 1);
        ASSERT_EQ(id[i], i);
        ASSERT_TRUE(Put(i, 0, 0, 30 + i));
        Seq_PlaceRiff(i, i * 2, 0, 0, 1);
    }
    Seq_LinkRiffAfter(2, 4);
    Seq_LinkRiffAfter(4, 5);
    Seq_LinkRiffAfter(3, 1);
    g_uCurrentRiff = 5;
    g_uLibraryRiff = 4;
    Seq_QueueRiffDelete(4);
    Seq_BuildRiffList();
    EXPECT_EQ(g_uRiffListCount, 5);
    EXPECT_MODEL_WHOLE();
    // Riff 3 goes: 4 and 5 become 3 and 4 in the grid, the rings, the holders.
    EXPECT_EQ(Seq_ReleaseRiff(3, 3, 1), 1);
    EXPECT_EQ(g_uRiffCount, 5);
    EXPECT_EQ(Seq_GetRiffStartingAt(6, 0), 0);
    EXPECT_EQ(Seq_GetRiffStartingAt(8, 0), 3);
    EXPECT_EQ(Seq_GetRiffStartingAt(10, 0), 4);
    EXPECT_EQ(PitchAt(3, 0, 0), 34);
    EXPECT_EQ(Seq_GetRiff(2)->uLink, 3);
    EXPECT_EQ(Seq_GetRiff(3)->uLink, 4);
    EXPECT_EQ(Seq_GetRiff(4)->uLink, 2);
    EXPECT_EQ(Seq_GetRiff(1)->uLink, 1);
    EXPECT_EQ(g_uCurrentRiff, 4);
    EXPECT_EQ(g_uLibraryRiff, 3);
    EXPECT_EQ(g_auDeferredRiffs[0], 3);
    EXPECT_EQ(g_uRiffListCount, 4);
    EXPECT_EQ(g_auRiffList[3], 3);
    EXPECT_EQ(g_uNoteCount, 4);
    EXPECT_MODEL_WHOLE();
    // The deferred queue gives its use back; unused riffs then go, highest first.
    Seq_FlushDeletedRiffs();
    EXPECT_EQ(g_uDeferredRiffCount, 0);
    Seq_RemoveRiffAt(2, 0, 1);
    EXPECT_EQ(Seq_DeleteUnusedRiffs(), 1);
    EXPECT_EQ(g_uRiffCount, 4);
    EXPECT_EQ(Seq_GetRiffStartingAt(4, 0), 1);
    EXPECT_EQ(Seq_GetRiffStartingAt(10, 0), 3);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Riffs, DeferredQueueNeverOverflows)
{
    const int32_t riff = Seq_NewRiff(1, 1);
    for (int32_t i = 0; i < SEQ_DEFERRED_RIFFS; i++)
        ASSERT_EQ(Seq_QueueRiffDelete(riff), 0);
    EXPECT_EQ(Seq_GetRiff(riff)->iUseCount, 1 + SEQ_DEFERRED_RIFFS);
    EXPECT_MODEL_WHOLE();
    // Full: what was queued is worked off first, then the new entry goes in.
    EXPECT_EQ(Seq_QueueRiffDelete(riff), -1);
    EXPECT_EQ(g_uDeferredRiffCount, 1);
    EXPECT_EQ(Seq_GetRiff(riff)->iUseCount, 2);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Riffs, PurgeKeepsTheLibraryRiffAndHeldRiffs)
{
    const int32_t a = Seq_NewRiff(1, 1), b = Seq_NewRiff(1, 1), c = Seq_NewRiff(1, 1);
    for (int32_t r : {a, b, c})
        Seq_GetRiff(r)->uFlags |= RIFF_FLAG_DELETE;
    g_uLibraryRiff = (uint16_t)c;
    Seq_PlaceRiff(b, 0, 0, 0, 1);
    Seq_BuildRiffList();
    EXPECT_EQ(g_uRiffListCount, 2); // b placed, c in hand; a marked and unused
    Seq_PurgeDeletedRiffs();
    EXPECT_EQ(g_uRiffCount, 3);
    EXPECT_EQ(g_uLibraryRiff, 2);
    EXPECT_EQ(Seq_GetRiffStartingAt(0, 0), 1);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Riffs, FullRiffPoolIsRefusedAndTheSongStaysWhole)
{
    for (int32_t i = 1; i <= SEQ_MAX_RIFFS; i++)
        ASSERT_EQ(Seq_NewRiff(1, 1), i);
    EXPECT_EQ(Seq_NewRiff(1, 1), -1);
    const int32_t last = SEQ_MAX_RIFFS;
    ASSERT_TRUE(Put(last, 0, 0, 40, 2));
    Seq_PlaceRiff(last, 0, 0, 0, 1);
    Seq_PlaceRiff(1, 0, 1, 0, 1);
    Seq_SetSelection(0, 0, 1, 2, 1);
    EXPECT_EQ(Seq_MergeSelectedRiffs(), -1);
    EXPECT_EQ(Seq_SplitRiff(0, 0, 0, 1), 0); // 1x1: refused
    EXPECT_EQ(Seq_DuplicateRiffAt(last, 0, 0), 10);
    EXPECT_EQ(Seq_ResizeRiff(last, 2, 1, 1), -1);
    Seq_SetRiffKey(last, 1, 0);
    EXPECT_EQ(Seq_TransposeRiff(last, 2, 0), last);
    EXPECT_EQ(g_uRiffCount, SEQ_MAX_RIFFS + 1);
    EXPECT_EQ(Seq_GetRiffStartingAt(0, 0), last);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Riffs, LevelsKeysAndNames)
{
    const int32_t riff = Seq_NewRiff(1, 1), other = Seq_NewRiff(1, 1);
    Seq_LinkRiffAfter(riff, other);
    Seq_GetRiff(riff)->uFlags |= RIFF_FLAG_DELETE;
    Seq_SetRiffLevels(riff, 50, 100);
    EXPECT_EQ(Seq_GetRiff(riff)->ucStartLevel, 128);
    EXPECT_EQ(Seq_GetRiff(riff)->ucEndLevel, 255);
    int32_t s = 0, e = 0;
    Seq_GetRiffLevels(riff, &s, &e);
    EXPECT_EQ(s, 50);
    EXPECT_EQ(e, 100);
    EXPECT_EQ(Seq_GetRiff(riff)->uFlags & RIFF_FLAG_DELETE, 0);
    EXPECT_EQ(Seq_GetRiff(riff)->uLink, riff); // detached
    EXPECT_EQ(Seq_GetRiff(other)->uLink, other);
    Seq_PlaceRiff(riff, 3, 3, 0, 1);
    EXPECT_EQ(Seq_SetCellRiffLevels(3, 3, 0, 10), 1);
    EXPECT_EQ(Seq_SetCellRiffLevels(3, 4, 0, 10), 0);
    EXPECT_EQ(Seq_GetRiff(riff)->ucEndLevel, 26);
    Seq_SetRiffKey(riff, 11, 2);
    int32_t mode = 0;
    EXPECT_EQ(Seq_GetRiffKey(riff, &mode), 11);
    EXPECT_EQ(mode, 2);
    Seq_SetRiffName(riff, "A name far too long for a riff");
    EXPECT_EQ(Name(riff), "A name far too ");
    char exact[16] = "Lead";
    EXPECT_EQ(Seq_RiffNameExists(exact), 0);
    Seq_SetRiffName(riff, exact);
    EXPECT_EQ(Seq_RiffNameExists(exact), 1);
    int32_t row = 0, column = 0;
    EXPECT_EQ(Seq_FindRiffInGrid(riff, &row, &column), 1);
    EXPECT_EQ(row, 3);
    EXPECT_EQ(Seq_CountRiffInGrid(riff), 1);
    row = 3;
    column = 4;
    EXPECT_EQ(Seq_FindRiffInGrid(riff, &row, &column), 0);
    Seq_SetRiffDefaults(riff, 2);
    Seq_SetRiffDefaults(other, 2);
    EXPECT_EQ(Seq_GetRiff(other)->ucColour, (Seq_GetRiff(riff)->ucColour + 13) % 48);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Riffs, TranspositionThroughTheRing)
{
    const int32_t riff = Seq_NewRiff(1, 2);
    std::strcpy(Seq_GetRiff(riff)->szName, "Hook");
    ASSERT_TRUE(Put(riff, 0, 0, 70));
    ASSERT_TRUE(Put(riff, 4, 1, 3));
    Seq_SetRiffKey(riff, 11, 0);
    const int32_t copy = Seq_TransposeRiff(riff, 3, 0);
    ASSERT_NE(copy, riff);
    EXPECT_EQ(Seq_GetRiffKey(copy, nullptr), 2);
    EXPECT_EQ(Name(copy), "Hook         C#");
    EXPECT_EQ(PitchAt(copy, 0, 0), 61);
    EXPECT_EQ(PitchAt(copy, 4, 1), 6);
    EXPECT_EQ(PitchAt(riff, 0, 0), 70);
    EXPECT_EQ(Seq_GetRiff(riff)->uLink, copy);
    EXPECT_EQ(Seq_TransposeRiff(riff, 3, 0), copy); // found in the ring
    EXPECT_EQ(Seq_TransposeRiff(riff, 0, 0), riff);
    const int32_t up5 = Seq_TransposeRiff(riff, 5, 0);
    EXPECT_EQ(PitchAt(up5, 0, 0), 63); // 75 - 12
    EXPECT_EQ(Seq_FindLinkedRiff(riff, 4, 0), up5);
    // A narrow measurer leaves the padded name; a wide one cuts it.
    Seq_SetTextMeasurer([](const char *t) { return 12 * (int32_t)strlen(t); });
    Seq_NameTransposedRiff(copy, 5);
    EXPECT_EQ(Name(copy), "Hook      E");
    EXPECT_MODEL_WHOLE();
    // Without a riff key nothing is copied.
    const int32_t plain = Seq_NewRiff(1, 1);
    EXPECT_EQ(Seq_TransposeRiff(plain, 4, 0), plain);
}

TEST_F(Riffs, ResizeDuplicateAndTracks)
{
    const int32_t riff = Seq_NewRiff(2, 2);
    ASSERT_TRUE(Put(riff, 10, 0, 40, 10));
    ASSERT_TRUE(Put(riff, 20, 1, 41, 4));
    Seq_PlaceRiff(riff, 0, 0, 0, 1);
    Seq_PlaceRiff(riff, 10, 0, 0, 1);
    EXPECT_EQ(Seq_ResizeRiff(riff, 9, 1, 1), -1);
    EXPECT_EQ(Seq_ResizeRiff(riff, 1, 1, 1), 1);
    const int32_t small = Seq_GetRiffStartingAt(0, 0);
    EXPECT_NE(small, riff);
    EXPECT_EQ(Seq_GetRiffStartingAt(10, 0), small);
    EXPECT_EQ(Seq_GetNote(Cell(small, 10, 0))->ucLength, 6); // shortened to the riff's end
    EXPECT_EQ(Seq_GetRiff(riff)->iUseCount, 1);
    EXPECT_MODEL_WHOLE();

    EXPECT_EQ(Seq_DuplicateRiffAt(small, 10, 0), 1);
    const int32_t dup = Seq_GetRiffStartingAt(10, 0);
    EXPECT_NE(dup, small);
    EXPECT_EQ(PitchAt(dup, 10, 0), 40);
    EXPECT_MODEL_WHOLE();

    // Insert a track after track 0; the placement grows right, or moves left at the edge.
    const int32_t edge = Seq_NewRiff(1, 2);
    ASSERT_TRUE(Put(edge, 0, 1, 50));
    Seq_PlaceRiff(edge, 20, 97, 0, 1);
    Seq_OpenRiff(edge);
    EXPECT_EQ(Seq_InsertRiffTrack(0, 0), 1);
    EXPECT_EQ(Seq_GetRiffTrackCount(edge), 2); // test mode changes nothing
    EXPECT_EQ(Seq_InsertRiffTrack(1, 0), 1);
    EXPECT_EQ(Seq_GetRiffTrackCount(edge), 3);
    EXPECT_EQ(Seq_GetRiffStartingAt(20, 96), edge);
    EXPECT_EQ(PitchAt(edge, 0, 2), 50);
    EXPECT_EQ(Cell(edge, 0, 1), 0);
    EXPECT_EQ(Seq_GetRiffTrackFlag(0), 1);
    EXPECT_MODEL_WHOLE();
    // Blocked on both sides: refused, nothing changes.
    const int32_t wall = Seq_NewRiff(1, 1);
    Seq_PlaceRiff(wall, 20, 95, 0, 1);
    EXPECT_EQ(Seq_InsertRiffTrack(1, 0), 0);
    EXPECT_EQ(Seq_GetRiffTrackCount(edge), 3);
    // Remove the joined track again.
    ASSERT_TRUE(Put(edge, 5, 1, 51));
    EXPECT_EQ(Seq_RemoveJoinedTrack(0), 1);
    EXPECT_EQ(Seq_GetRiffTrackCount(edge), 2);
    EXPECT_EQ(PitchAt(edge, 0, 1), 50);
    EXPECT_EQ(Seq_GetRiffTrackFlag(0), 0);
    EXPECT_EQ(Seq_GetRiffStartingAt(20, 96), edge);
    EXPECT_EQ(g_aSongGrid[20][98], 0);
    EXPECT_MODEL_WHOLE();
}

TEST_F(Names, DefaultNames)
{
    struct Case
    {
        const char *name;
        uint16_t counter;
        const char *expected;
    } cases[] = {
        {"Bass0012", 40, "Bass0041"},
        {"Intro0000", 40, "Intro00000041"},
        {"Thirteen chars", 40, "Thirteen c0041"},
        {"Pad", 9999, "Pad0001"},
        {"", 7, "0008"},
    };
    for (const Case &c : cases) {
        char buffer[16] = {};
        std::strncpy(buffer, c.name, 15);
        g_uNameCounter = c.counter;
        Seq_MakeDefaultName(buffer, 2);
        EXPECT_STREQ(buffer, c.expected) << c.name;
    }
    // Width: 16 pixels a character leaves room for 4 characters beside the number (4 x 16 +
    // 4 x 16 = 128 < 136; 5 would reach 144).
    Seq_SetTextMeasurer([](const char *t) { return 16 * (int32_t)strlen(t); });
    char wide[16] = "Widename";
    g_uNameCounter = 0;
    Seq_MakeDefaultName(wide, 1);
    EXPECT_STREQ(wide, "Wide0001");
    g_uNameCounter = 41;
    char merged[16];
    Seq_MakeDefaultName(merged, 0);
    EXPECT_STREQ(merged, "Riff0042");
    char sample[20];
    g_uSampleNameCounter = 9999;
    Seq_MakeDefaultName(sample, 3);
    EXPECT_STREQ(sample, "Sample10000");
    char strip[16] = "Abc0000";
    EXPECT_EQ(Seq_StripNumberSuffix(strip), 7);
    std::strcpy(strip, "Abc0100");
    EXPECT_EQ(Seq_StripNumberSuffix(strip), 3);
    EXPECT_STREQ(strip, "Abc");
    std::strcpy(strip, "12");
    EXPECT_EQ(Seq_StripNumberSuffix(strip), 2);
}

TEST_F(Names, DefaultRiffTable)
{
    std::memset(g_abDefaultRiffs, 0, sizeof(g_abDefaultRiffs));
    g_abDefaultRiffs[3 * 5] = 2;
    g_abDefaultRiffs[3 * 5 + 1] = 7;
    g_abDefaultRiffs[3 * 5 + 2] = 99;
    EXPECT_EQ(Seq_DefaultRiffValue(2, 7), 99);
    EXPECT_EQ(Seq_DefaultRiffValue(7, 2), 0);
}

TEST_F(SeqModel, CheckFindsBrokenModels)
{
    const int32_t riff = Seq_NewRiff(2, 2);
    ASSERT_TRUE(Put(riff, 0, 0, 40));
    Seq_PlaceRiff(riff, 0, 0, 0, 1);
    EXPECT_MODEL_WHOLE();
    char why[256];
    struct Break
    {
        const char *what;
        void (*breakIt)(int32_t riff);
    } breaks[] = {
        {"use count", [](int32_t r) { Seq_GetRiff(r)->iUseCount++; }},
        {"note reference", [](int32_t) { Seq_GetNote(1)->uRefCount++; }},
        {"grid cell", [](int32_t) { g_aSongGrid[1][1] = 0; }},
        {"stray cell", [](int32_t) { g_aSongGrid[50][50] = 0x2001; }},
        {"ring", [](int32_t r) { Seq_GetRiff(r)->uLink = 7; }},
        {"list count", [](int32_t) { g_aParamListSlots[0].uRefCount++; }},
        {"note id", [](int32_t r) { *Seq_RiffCell(Seq_GetRiff(r), 5, 1) = 9; }},
    };
    for (const Break &b : breaks) {
        Seq_ResetSongModel();
        const int32_t r = Seq_NewRiff(2, 2);
        ASSERT_TRUE(Put(r, 0, 0, 40));
        Seq_PlaceRiff(r, 0, 0, 0, 1);
        b.breakIt(r);
        EXPECT_EQ(Seq_CheckSongModel(why, sizeof(why)), -1) << b.what;
        Seq_ResetSongModel();
    }
}

} // namespace
