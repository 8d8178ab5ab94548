#include "seqfixture.h"

#include "sequencer/eventlists.h"
#include "sequencer/songcontrol.h"

namespace {

class GridOps : public SeqModel
{
protected:
    void SetUp() override
    {
        SeqModel::SetUp();
        Seq_Init();
        Seq_NewSong();
    }
    void TearDown() override
    {
        Seq_NewSong();
        SeqModel::TearDown();
    }
};

TEST_F(GridOps, LibraryRiffPlacesItsTransposedCopyWhereTheSongChangesKey)
{
    const int32_t riff = Seq_NewRiff(1, 1);
    ASSERT_TRUE(Put(riff, 0, 0, 60));
    Seq_SetRiffKey(riff, 1, 0); // C
    g_uLibraryRiff = (uint16_t)riff;
    EXPECT_EQ(Seq_PlaceLibraryRiff(0, 0), 1); // the song has no key: the riff itself
    EXPECT_EQ(Seq_GetRiffStartingAt(0, 0), riff);
    EXPECT_EQ(g_uLibraryRiff, riff);
    Seq_SetTrackEntry(8, 1, 8, 0, 0, 0, 0, 0, 0, LIST_KEY); // G from row 8
    EXPECT_EQ(Seq_KeyTransposition(riff, 9), 7);
    EXPECT_EQ(Seq_PlaceLibraryRiff(9, 0), 1);
    const int32_t copy = Seq_GetRiffStartingAt(9, 0);
    ASSERT_NE(copy, riff);
    EXPECT_EQ(PitchAt(copy, 0, 0), 67);
    EXPECT_EQ(Seq_GetRiffKey(copy, nullptr), 8);
    EXPECT_EQ(g_uLibraryRiff, riff); // the copy is not the riff in hand
    // A second placement in G takes the same copy from the ring.
    EXPECT_EQ(Seq_PlaceLibraryRiff(10, 0), 1);
    EXPECT_EQ(Seq_GetRiffStartingAt(10, 0), copy);
    // No library riff, or no room: refused.
    EXPECT_EQ(Seq_PlaceLibraryRiff(998, 0), 1);
    EXPECT_EQ(Seq_PlaceLibraryRiff(999, 0), -1);
    g_uLibraryRiff = 0;
    EXPECT_EQ(Seq_PlaceLibraryRiff(20, 0), -1);
    EXPECT_MODEL_WHOLE();
}

TEST_F(GridOps, CellOperationsDescribeAndRemoveSelectedRiffs)
{
    const int32_t riff = Seq_NewRiff(2, 3);
    Seq_PlaceRiff(riff, 4, 4, 0, 1);
    Seq_SetSelection(4, 4, 2, 3, 1);
    GRIDCELLDESC desc{};
    EXPECT_EQ(Seq_GridCellOp(4, 4, &desc, 0, 0), 1);
    EXPECT_EQ(desc.uRiff, riff);
    EXPECT_EQ(desc.ucBars, 2);
    EXPECT_EQ(desc.ucTracks, 3);
    EXPECT_EQ(desc.ucMarker, 202);
    EXPECT_EQ(Seq_GridCellOp(5, 5, &desc, 0, 0), 1); // not a first cell
    EXPECT_EQ(desc.ucColumn, 255);
    Seq_SetSelection(4, 4, 1, 3, 1); // the riff reaches past the selection
    EXPECT_EQ(Seq_GridCellOp(4, 4, &desc, 0, 0), 1);
    EXPECT_EQ(desc.ucColumn, 255);
    // Removal of a selected riff queues it for deferred deletion.
    Seq_SetSelection(4, 4, 2, 3, 1);
    EXPECT_EQ(Seq_GridCellOp(4, 4, nullptr, 1, 0), 1);
    EXPECT_EQ(Seq_GetRiffStartingAt(4, 4), 0);
    EXPECT_EQ(g_uDeferredRiffCount, 1);
    EXPECT_MODEL_WHOLE();
    Seq_FlushDeletedRiffs();
    EXPECT_EQ(g_uRiffCount, 2); // still held by its own use
    EXPECT_MODEL_WHOLE();
}

} // namespace
