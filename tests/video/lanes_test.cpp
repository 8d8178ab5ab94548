// Video lanes: the cases the lane edits must meet, and a long seeded run of random edits checked
// against a plain 7 x 1000 array after every step (cells, block structure, clip references,
// particle object uses, the video end and the one-step undo).
#include "video_fixture.h"

#include "sequencer/playback.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>

using namespace vidtest;

namespace {

struct BLOCKVIEW
{
    int32_t start, length;
    VIDCLIP *clip;
    bool operator==(const BLOCKVIEW &) const = default;
};

std::vector<BLOCKVIEW> Blocks(int32_t lane)
{
    std::vector<BLOCKVIEW> out;
    for (VIDLANEBLOCK *b = &g_aVideoLanes[lane]; b->uStart != VID_LANE_END; b = b->pNext)
        out.push_back({b->uStart, b->uLength & LANEBLOCK_LENGTH, b->pClip});
    return out;
}

class LaneTest : public VideoTest
{
protected:
    VIDCLIP *A = nullptr, *B = nullptr, *P = nullptr, *Q = nullptr, *K = nullptr, *E = nullptr;

    void SetUp() override
    {
        VideoTest::SetUp();
        A = Vid_AddClipRef(NewClip(objType));
        B = Vid_AddClipRef(NewClip(objType, {modType}));
        P = Vid_AddClipRef(NewClip(particleType));
        Q = Vid_AddClipRef(NewClip(particleType, {modType, modType}));
        K = Vid_AddClipRef(NewClip(camType));
        E = Vid_AddClipRef(NewClip(dveType));
    }
};

} // namespace

TEST_F(LaneTest, PlacingJoinsAndSplitsBlocks)
{
    EXPECT_EQ(0, Vid_PlaceClipAt(0, 5, A));
    EXPECT_EQ(0, Vid_PlaceClipAt(0, 7, A));
    EXPECT_EQ(0, Vid_PlaceClipAt(0, 6, A));
    EXPECT_EQ((std::vector<BLOCKVIEW>{{5, 3, A}}), Blocks(0));
    EXPECT_EQ(4u, A->uRefCount); // 3 positions + the test's own

    EXPECT_EQ(0, Vid_PlaceClipAt(0, 6, B));
    EXPECT_EQ((std::vector<BLOCKVIEW>{{5, 1, A}, {6, 1, B}, {7, 1, A}}), Blocks(0));
    EXPECT_EQ(3u, A->uRefCount);
    EXPECT_EQ(1, g_abLaneHighWater[0]);

    // A block before the head: the head's contents move behind it.
    EXPECT_EQ(0, Vid_PlaceClipAt(0, 1, B));
    EXPECT_EQ((std::vector<BLOCKVIEW>{{1, 1, B}, {5, 1, A}, {6, 1, B}, {7, 1, A}}), Blocks(0));
    // Joining forward onto the head's block.
    EXPECT_EQ(0, Vid_PlaceClipAt(0, 0, B));
    EXPECT_EQ((BLOCKVIEW{0, 2, B}), Blocks(0)[0]);
    EXPECT_EQ(8, g_iVideoEnd);
}

TEST_F(LaneTest, LanesTakeOnlyTheirKind)
{
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++) {
        EXPECT_EQ(lane == 4 ? 0 : 255, Vid_PlaceClipAt(lane, 3, K)) << lane;
        EXPECT_EQ(lane == 5 ? 0 : 255, Vid_PlaceClipAt(lane, 3, E)) << lane;
        EXPECT_EQ(lane < 4 ? 0 : 255, Vid_PlaceClipAt(lane, 3, A)) << lane;
    }
    // A refused clip, or a position past the lanes, leaves the end alone.
    Vid_ResetVideo();
    A = Vid_AddClipRef(NewClip(objType));
    K = Vid_AddClipRef(NewClip(camType));
    EXPECT_EQ(255, Vid_PlaceClipAt(0, 500, K));
    EXPECT_EQ(255, Vid_PlaceClipAt(0, 1000, A));
    EXPECT_EQ(0, g_iVideoEnd);
    EXPECT_EQ(255, Vid_PlaceClipAt(0, 3, nullptr));
}

TEST_F(LaneTest, RunsCutsAndTheEnd)
{
    EXPECT_EQ(0, Vid_PlaceClipRun(0, 990, 20, A));
    EXPECT_EQ((std::vector<BLOCKVIEW>{{990, 10, A}}), Blocks(0));
    EXPECT_EQ(11u, A->uRefCount);
    EXPECT_EQ(255, Vid_PlaceClipRun(0, 10, 0, A)); // a run of no positions
    EXPECT_EQ(255, Vid_PlaceClipRun(0, 65000, 600, A));
    EXPECT_EQ(2, Vid_CutLaneAt(1, 0));

    Vid_ResetVideo();
    A = Vid_AddClipRef(NewClip(objType));
    B = Vid_AddClipRef(NewClip(objType, {modType}));
    Vid_PlaceClipRun(0, 0, 10, A);
    Vid_PlaceClipRun(1, 5, 6, B);
    EXPECT_EQ(11, Vid_GetVideoEnd());
    EXPECT_EQ(11, g_iVideoEnd);
    // Cut at the start, the middle and the end.
    EXPECT_EQ(0, Vid_CutLaneAt(0, 0));
    EXPECT_EQ(0, Vid_CutLaneAt(0, 4));
    EXPECT_EQ(0, Vid_CutLaneAt(0, 9));
    EXPECT_EQ((std::vector<BLOCKVIEW>{{1, 3, A}, {5, 4, A}}), Blocks(0));
    Vid_CutLaneAt(1, 10);
    EXPECT_EQ(10, g_iVideoEnd);
    EXPECT_EQ(1, Vid_GetLaneGapAt(0, 0));
    EXPECT_EQ(999 - 600, Vid_GetLaneGapAt(0, 600));

    // A run over other blocks takes their positions.
    EXPECT_EQ(0, Vid_PlaceClipRun(0, 2, 5, B));
    EXPECT_EQ((std::vector<BLOCKVIEW>{{1, 1, A}, {2, 5, B}, {7, 2, A}}), Blocks(0));

    // The clip's block length and offset are published by the lookup.
    EXPECT_EQ(B, Vid_GetLaneClipAt(0, 4));
    EXPECT_EQ(5, B->uFlags & CLIPFLAG_BLOCKLEN);
    EXPECT_EQ(2, B->uOffset & CLIPOFFSET_MASK);
}

TEST_F(LaneTest, InsertDeleteResizeMove)
{
    Vid_PlaceClipRun(0, 2, 5, A);
    EXPECT_EQ(1, Vid_InsertLanePositions(4, 2));
    EXPECT_EQ((std::vector<BLOCKVIEW>{{2, 2, A}, {6, 3, A}}), Blocks(0));

    // Deleting positions that a block straddles trims it instead of dropping all of it.
    EXPECT_EQ(0, Vid_DeleteLanePositions(8, 3)); // positions 5..7
    EXPECT_EQ((std::vector<BLOCKVIEW>{{2, 2, A}, {5, 1, A}}), Blocks(0));
    EXPECT_EQ(4u, A->uRefCount);

    // Growing into another clip's block is refused; shrinking gives references back.
    Vid_PlaceClipRun(0, 10, 2, B);
    EXPECT_EQ(255, Vid_ResizeLaneBlock(0, 5, 6));
    EXPECT_EQ(0, Vid_ResizeLaneBlock(0, 5, 5));
    EXPECT_EQ((std::vector<BLOCKVIEW>{{2, 2, A}, {5, 5, A}, {10, 2, B}}), Blocks(0));
    EXPECT_EQ(0, Vid_ResizeLaneBlock(0, 5, 1));
    EXPECT_EQ(4u, A->uRefCount);
    // Growing up to a block of the same clip joins them.
    Vid_PlaceClipAt(0, 8, A);
    EXPECT_EQ(0, Vid_ResizeLaneBlock(0, 5, 3));
    EXPECT_EQ((std::vector<BLOCKVIEW>{{2, 2, A}, {5, 4, A}, {10, 2, B}}), Blocks(0));

    // Moving forward over itself keeps every clip.
    EXPECT_EQ(0, Vid_MoveLaneRange(2, 11, 3));
    EXPECT_EQ(A, Vid_GetLaneClipAt(0, 5));
    EXPECT_EQ(nullptr, Vid_GetLaneClipAt(0, 2));
    EXPECT_EQ(B, Vid_GetLaneClipAt(0, 14));
    EXPECT_EQ(7u, A->uRefCount);
    // Offset 0 changes nothing.
    const auto before = Blocks(0);
    EXPECT_EQ(0, Vid_MoveLaneRange(0, 999, 0));
    EXPECT_EQ(before, Blocks(0));

    // Inserting pushes what passes the last position out, with its references.
    Vid_ResetVideo();
    A = Vid_AddClipRef(NewClip(objType));
    Vid_PlaceClipRun(0, 990, 10, A);
    Vid_InsertLanePositions(500, 5);
    EXPECT_EQ((std::vector<BLOCKVIEW>{{995, 5, A}}), Blocks(0));
    EXPECT_EQ(6u, A->uRefCount);
    EXPECT_EQ(1000, g_iVideoEnd);
}

TEST_F(LaneTest, DeletingAClipRemovesItsBlocksAndGridCells)
{
    Vid_PlaceClipRun(0, 0, 4, A);
    Vid_PlaceClipRun(2, 10, 4, A);
    Vid_FillClipGrid(0, 0, 0, 5, 3);
    EXPECT_EQ(1, Vid_IsClipOnLanes(Vid_ClipId(A)));
    g_pClipMenuClip = Vid_AddClipRef(A);
    Vid_DeleteClip(A);
    EXPECT_TRUE(Blocks(0).empty());
    EXPECT_TRUE(Blocks(2).empty());
    EXPECT_EQ(nullptr, g_pClipMenuClip);
    EXPECT_EQ(nullptr, g_aClipGrid[0].apRows[0][0]);
    EXPECT_EQ(nullptr, Vid_GetLaneClipAt(0, 1));
    EXPECT_EQ(0, g_iVideoEnd);
    Vid_FreeClipGrid(0);

    // A clip held only by its blocks goes once.
    VIDCLIP *onlyLanes = NewClip(objType);
    Vid_PlaceClipRun(1, 3, 3, onlyLanes);
    const int32_t clipsBefore = g_iClipCount;
    Vid_DeleteClip(onlyLanes);
    EXPECT_EQ(clipsBefore - 1, g_iClipCount);
    EXPECT_TRUE(Blocks(1).empty());
}

TEST_F(LaneTest, ParticleClipsUseLaneObjectsByRank)
{
    Vid_PlaceClipRun(0, 0, 4, P);
    EXPECT_EQ(4, g_aiLaneObjectUse[0]);
    EXPECT_NE(nullptr, g_apLaneObjects[0]);
    Vid_PlaceClipRun(2, 2, 4, Q);
    EXPECT_EQ(6, g_aiLaneObjectUse[0]);
    EXPECT_EQ(2, g_aiLaneObjectUse[1]);
    EXPECT_EQ(2, Vid_CountLanesWithType(2, particleType));
    Vid_CutLaneAt(0, 2); // position 2 keeps one particle lane
    EXPECT_EQ(6, g_aiLaneObjectUse[0]);
    EXPECT_EQ(1, g_aiLaneObjectUse[1]);

    // A shrink gives its uses back, so the object goes with the last use.
    EXPECT_EQ(0, Vid_ResizeLaneBlock(2, 2, 1));
    EXPECT_EQ(0, g_aiLaneObjectUse[1]);
    EXPECT_EQ(nullptr, g_apLaneObjects[1]);

    EXPECT_EQ(4, g_aiLaneObjectUse[0]);
    Vid_HoldLaneObjects();
    EXPECT_EQ(5, g_aiLaneObjectUse[0]);
    Vid_PlaceClipAt(1, 0, P); // rank 1 made while held counts one extra
    EXPECT_EQ(2, g_aiLaneObjectUse[1]);
    Vid_ReleaseLaneObjectHold();
    EXPECT_EQ(4, g_aiLaneObjectUse[0]);
    EXPECT_EQ(1, g_aiLaneObjectUse[1]);

    Vid_RecountLaneObjects();
    EXPECT_EQ(4, g_aiLaneObjectUse[0]);
    EXPECT_EQ(1, g_aiLaneObjectUse[1]);

    // No memory for a new object: the position is taken back.
    Vid_ResetVideo();
    EXPECT_EQ(nullptr, g_apLaneObjects[0]);
    P = Vid_AddClipRef(NewClip(particleType));
    Sys_MemSetAllocHook(
        [](size_t size) -> void * { return size == sizeof(PARTICLE) * LANEOBJ_PARTICLES ? nullptr : std::malloc(size); });
    EXPECT_EQ(8, Vid_PlaceClipAt(0, 3, P));
    EXPECT_EQ(255, Vid_PlaceClipRun(0, 3, 5, P));
    Sys_MemSetAllocHook(nullptr);
    EXPECT_TRUE(Blocks(0).empty());
    EXPECT_EQ(1u, P->uRefCount);
    EXPECT_EQ(1, g_bLaneObjectFailed);
    EXPECT_EQ(0, g_aiLaneObjectUse[0]);
}

TEST_F(LaneTest, UndoSwapRestoresAndRedoes)
{
    Vid_PlaceClipRun(0, 0, 6, A);
    Vid_PlaceClipRun(1, 2, 2, B);
    ASSERT_EQ(0, Vid_FillClipGrid(g_iClipGridCurrent, 0, 0, 8, 2));
    Vid_ClearLaneRange(1, 4);
    Vid_PlaceClipAt(1, 7, A);
    EXPECT_EQ(0, Vid_SwapLaneUndo());
    EXPECT_EQ(1, g_iClipGridCurrent);
    for (int32_t p = 0; p < 8; p++) {
        EXPECT_EQ(p < 6 ? A : nullptr, Vid_GetLaneClipAt(0, p)) << p;
        EXPECT_EQ(p == 2 || p == 3 ? B : nullptr, Vid_GetLaneClipAt(1, p)) << p;
    }
    EXPECT_EQ(0, Vid_SwapLaneUndo());
    for (int32_t p = 0; p < 8; p++) {
        EXPECT_EQ(p == 0 || p == 5 ? A : nullptr, Vid_GetLaneClipAt(0, p)) << p;
        EXPECT_EQ(p == 7 ? A : nullptr, Vid_GetLaneClipAt(1, p)) << p;
    }
    Vid_FreeClipGrid(0);
    Vid_FreeClipGrid(1);
    EXPECT_EQ(4u, A->uRefCount);
}

TEST_F(LaneTest, ResetEmptiesEverythingAndRunsHooks)
{
    static int hooked;
    hooked = 0;
    Vid_AddResetHook([] { hooked++; });
    Vid_PlaceClipRun(0, 0, 3, P);
    Vid_PlaceClipRun(4, 0, 3, K);
    g_pPreviewClip = Vid_AddClipRef(B);
    g_uiLaneMuteMask = 5;
    g_iClipNameCounter = 40;
    Vid_ResetVideo();
    EXPECT_EQ(1, hooked);
    EXPECT_EQ(0, g_iClipCount);
    EXPECT_EQ(nullptr, g_pPreviewClip);
    EXPECT_EQ(nullptr, g_apLaneObjects[0]);
    EXPECT_EQ(0, g_iVideoEnd);
    EXPECT_EQ(0u, g_uiLaneMuteMask);
    EXPECT_EQ(1, g_iClipNameCounter);
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
        EXPECT_TRUE(Blocks(lane).empty());
}

TEST_F(LaneTest, VideoPositionWaitsForTheSong)
{
    Vid_ForceVideoPosition(12);
    EXPECT_EQ(12, g_iVideoPosition.load());
    g_bSongPlaying = 1;
    g_bLanesChanged = 0;
    Vid_SetVideoPosition(30);
    EXPECT_EQ(12, g_iVideoPosition.load());
    EXPECT_EQ(1, g_bLanesChanged.load());
    g_bSongPlaying = 0;
    Vid_SetVideoPosition(30);
    EXPECT_EQ(30, g_iVideoPosition.load());
    Vid_SetVideoPosition(5000);
    EXPECT_EQ(999, g_iVideoPosition.load());
    Vid_RequestLaneRefresh();
    EXPECT_EQ(2, g_iLaneUpdateMode);
    g_iVideoPosition = 0;
}

// ---- model check --------------------------------------------------------------------------------

namespace {

struct LANEMODEL
{
    std::array<std::array<VIDCLIP *, VID_POSITIONS>, VID_LANE_COUNT> cell{};
};

bool Accepts(int32_t lane, int32_t kind)
{
    return lane < 4 ? kind == CHASEKIND_PLAIN : (lane == 4 ? kind == CHASEKIND_CAM : lane == 5 && kind == CHASEKIND_DVE);
}

} // namespace

class LaneModelTest : public LaneTest
{
protected:
    LANEMODEL m;
    std::vector<VIDCLIP *> clips;
    std::mt19937 rng{20261210};

    int32_t R(int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); }

    int32_t KindOf(const VIDCLIP *c) { return Vid_GetChaseDef(Vid_GetClipChaseType(c))->uKind; }

    void Check(const char *what, int step)
    {
        SCOPED_TRACE(testing::Message() << "step " << step << " " << what);
        int32_t end = 0;
        std::vector<uint32_t> expectRefs(clips.size(), 1);
        for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++) {
            std::array<VIDCLIP *, VID_POSITIONS> got{};
            int32_t last = -1;
            VIDLANEBLOCK *b = &g_aVideoLanes[lane];
            ASSERT_EQ(nullptr, b->pPrev);
            for (; b->uStart != VID_LANE_END; b = b->pNext) {
                const int32_t len = b->uLength & LANEBLOCK_LENGTH;
                ASSERT_TRUE(b->uLength & LANEBLOCK_LINKED);
                ASSERT_GE(len, 1);
                ASSERT_GT(static_cast<int32_t>(b->uStart), last);
                ASSERT_LE(b->uStart + len, VID_POSITIONS);
                ASSERT_NE(nullptr, b->pNext);
                ASSERT_EQ(b, b->pNext->pPrev);
                for (int32_t p = b->uStart; p < b->uStart + len; p++)
                    got[p] = b->pClip;
                last = b->uStart + len - 1;
                end = std::max(end, b->uStart + len);
            }
            ASSERT_EQ(nullptr, b->pNext);
            ASSERT_EQ(0, b->uLength & LANEBLOCK_LENGTH);
            for (int32_t p = 0; p < VID_POSITIONS; p++) {
                ASSERT_EQ(m.cell[lane][p], got[p]) << "lane " << lane << " position " << p;
                if (got[p])
                    expectRefs[std::find(clips.begin(), clips.end(), got[p]) - clips.begin()]++;
            }
            for (int i = 0; i < 5; i++) {
                const int32_t p = R(0, VID_POSITIONS - 1);
                ASSERT_EQ(m.cell[lane][p], Vid_GetLaneClipAt(lane, p)) << "lookup " << lane << " " << p;
            }
        }
        for (const CLIPGRID &g : g_aClipGrid)
            if (g.uValid)
                for (int32_t r = 0; r < g.iRows; r++)
                    for (int32_t c = 0; c < g.iColumns; c++)
                        if (g.apRows[r][c])
                            expectRefs[std::find(clips.begin(), clips.end(), g.apRows[r][c]) - clips.begin()]++;
        for (size_t i = 0; i < clips.size(); i++)
            ASSERT_EQ(expectRefs[i], clips[i]->uRefCount) << "clip " << i;
        ASSERT_EQ(end, g_iVideoEnd);
        int32_t uses[4] = {};
        for (int32_t p = 0; p < VID_POSITIONS; p++) {
            int32_t k = 0;
            for (int32_t lane = 0; lane < 4; lane++)
                k += m.cell[lane][p] && Vid_GetClipStoredId(m.cell[lane][p]) == 9;
            for (int32_t r = 0; r < k; r++)
                uses[r]++;
        }
        for (int32_t r = 0; r < 4; r++) {
            ASSERT_EQ(uses[r], g_aiLaneObjectUse[r]) << "rank " << r;
            ASSERT_EQ(uses[r] > 0, g_apLaneObjects[r] != nullptr) << "rank " << r;
        }
    }

    VIDCLIP *AnyClip() { return clips[R(0, static_cast<int32_t>(clips.size()) - 1)]; }

    // One random edit on lanes and model; returns its name.
    const char *Edit(bool allowUndo = true)
    {
        const int32_t op = R(0, allowUndo ? 13 : 10);
        switch (op) {
        case 0:
        case 1: {
            const int32_t lane = R(0, 6), p = R(0, 1005);
            VIDCLIP *c = AnyClip();
            const bool ok = p < VID_POSITIONS && Accepts(lane, KindOf(c));
            EXPECT_EQ(ok ? 0 : 255, Vid_PlaceClipAt(lane, p, c));
            if (ok)
                m.cell[lane][p] = c;
            return "place";
        }
        case 2:
        case 3: {
            const int32_t lane = R(0, 6), p = R(0, 1002), len = R(0, 150);
            VIDCLIP *c = AnyClip();
            const bool ok = len >= 1 && p < VID_POSITIONS && Accepts(lane, KindOf(c));
            EXPECT_EQ(ok ? 0 : 255, Vid_PlaceClipRun(lane, p, len, c));
            if (ok)
                for (int32_t q = p; q < std::min(p + len, VID_POSITIONS); q++)
                    m.cell[lane][q] = c;
            return "run";
        }
        case 4: {
            const int32_t lane = R(0, 6), p = R(0, 999);
            EXPECT_EQ(m.cell[lane][p] ? 0 : 2, Vid_CutLaneAt(lane, p));
            m.cell[lane][p] = nullptr;
            return "cut";
        }
        case 5: {
            const int32_t lane = R(0, 6), p = R(0, 999);
            VIDLANEBLOCK *b = Vid_FindLaneBlock(&g_aVideoLanes[lane], p);
            if (b) {
                for (int32_t q = b->uStart; q < b->uStart + (b->uLength & LANEBLOCK_LENGTH); q++)
                    m.cell[lane][q] = nullptr;
                EXPECT_EQ(0, Vid_RemoveLaneBlock(b, lane));
            }
            return "remove";
        }
        case 6: {
            const int32_t s = R(0, 999), e = s + R(0, 25);
            EXPECT_EQ(0, Vid_ClearLaneRange(s, e));
            for (auto &lane : m.cell)
                for (int32_t q = s; q <= std::min(e, 999); q++)
                    lane[q] = nullptr;
            return "clear";
        }
        case 7: {
            const int32_t p = R(0, 999), n = R(1, 30);
            EXPECT_EQ(1, Vid_InsertLanePositions(p, n));
            for (auto &lane : m.cell) {
                for (int32_t q = 999; q >= p; q--)
                    lane[q] = q - n >= p ? lane[q - n] : nullptr;
            }
            return "insert";
        }
        case 8: {
            const int32_t p = R(1, 1000), n = std::min(R(1, 30), p);
            // Asking for more positions than lie before p deletes those there are.
            EXPECT_EQ(0, Vid_DeleteLanePositions(p, n == p && R(0, 1) ? n + 50 : n));
            for (auto &lane : m.cell) {
                for (int32_t q = p - n; q < VID_POSITIONS; q++)
                    lane[q] = q + n < VID_POSITIONS ? lane[q + n] : nullptr;
            }
            return "delete";
        }
        case 9: {
            const int32_t lane = R(0, 6);
            const auto blocks = Blocks(lane);
            if (blocks.empty())
                return "resize none";
            VIDLANEBLOCK *b = Vid_FindLaneBlock(&g_aVideoLanes[lane],
                                                blocks[static_cast<size_t>(R(0, static_cast<int32_t>(blocks.size()) - 1))].start);
            const int32_t s = b->uStart, old = b->uLength & LANEBLOCK_LENGTH, len = R(0, old + 20);
            VIDCLIP *c = b->pClip;
            bool ok = len >= 1 && s + len <= VID_POSITIONS;
            for (int32_t q = s + old; ok && q < s + len; q++)
                ok = m.cell[lane][q] == nullptr;
            EXPECT_EQ(ok ? 0 : 255, Vid_ResizeLaneBlock(lane, s, len));
            if (ok) {
                for (int32_t q = s; q < s + std::max(old, len); q++)
                    m.cell[lane][q] = q < s + len ? c : nullptr;
            }
            return "resize";
        }
        case 10: {
            const int32_t s = R(0, 999), e = std::min(999, s + R(0, 50)), off = R(-60, 60);
            EXPECT_EQ(0, Vid_MoveLaneRange(s, e, off));
            if (off)
                for (auto &lane : m.cell) {
                    std::vector<VIDCLIP *> snap(lane.begin() + s, lane.begin() + e + 1);
                    for (int32_t q = s; q <= e; q++)
                        lane[q] = nullptr;
                    for (int32_t q = s; q <= e; q++)
                        if (snap[q - s] && q + off >= 0 && q + off < VID_POSITIONS)
                            lane[q + off] = snap[q - s];
                }
            return "move";
        }
        case 12: {
            // Deleting a clip takes it off the lanes (and out of the grids) before it goes.
            const size_t i = static_cast<size_t>(R(0, static_cast<int32_t>(clips.size()) - 1));
            VIDCLIP *gone = clips[i];
            const int32_t type = Vid_GetClipChaseType(gone);
            Vid_DeleteClip(gone);
            for (auto &lane : m.cell)
                for (VIDCLIP *&c : lane)
                    if (c == gone)
                        c = nullptr;
            clips[i] = Vid_AddClipRef(NewClip(type));
            return "delete clip";
        }
        case 13: {
            // A copy of a shared clip is a new clip with copies of its chases.
            VIDCLIP *c = AnyClip();
            if (clips.size() >= 60 || c->uRefCount < 2)
                return "copy none";
            VIDCLIP *copy = Vid_CopySharedClip(c);
            EXPECT_NE(nullptr, copy);
            EXPECT_NE(c, copy);
            EXPECT_EQ(c->sEntryCount, copy->sEntryCount);
            EXPECT_EQ(copy, Vid_FindIdenticalClip(copy)); // its chases are its own
            clips.push_back(Vid_AddClipRef(copy));
            const int32_t lane = R(0, 6), p = R(0, 999);
            const bool ok = Accepts(lane, KindOf(copy));
            EXPECT_EQ(ok ? 0 : 255, Vid_PlaceClipAt(lane, p, copy));
            if (ok)
                m.cell[lane][p] = copy;
            return "copy";
        }
        default: {
            // An edit inside an undo snapshot, undone and redone.
            const int32_t start = R(0, 960), first = R(0, 6), rows = R(1, VID_LANE_COUNT - first), cols = R(1, 40);
            EXPECT_EQ(0, Vid_FillClipGrid(g_iClipGridCurrent, start, first, cols, rows));
            auto area = [&] {
                std::vector<VIDCLIP *> a;
                for (int32_t r = 0; r < rows; r++)
                    for (int32_t c = 0; c < cols; c++)
                        a.push_back(m.cell[first + r][start + c]);
                return a;
            };
            auto put = [&](const std::vector<VIDCLIP *> &a) {
                for (int32_t r = 0; r < rows; r++)
                    for (int32_t c = 0; c < cols; c++)
                        m.cell[first + r][start + c] = a[r * cols + c];
            };
            const auto before = area();
            Edit(false);
            const auto after = area();
            EXPECT_EQ(0, Vid_SwapLaneUndo());
            put(before);
            if (R(0, 1)) {
                EXPECT_EQ(0, Vid_SwapLaneUndo());
                put(after);
            }
            return "undo";
        }
        }
    }
};

TEST_F(LaneModelTest, RandomEditsMatchAPlainArray)
{
    clips = {A, B, P, Q, K, E};
    for (int i = 0; i < 2; i++)
        clips.push_back(Vid_AddClipRef(NewClip(objType)));
    for (int i = 0; i < 3; i++)
        clips.push_back(Vid_AddClipRef(NewClip(particleType)));
    for (int step = 0; step < 2500; step++) {
        const char *what = Edit();
        Check(what, step);
        if (HasFatalFailure() || HasFailure())
            return;
    }
    Vid_FreeClipGrid(0);
    Vid_FreeClipGrid(1);
    Vid_ResetVideo();
}

TEST_F(LaneTest, OutOfBlockRecordsChangesNothing)
{
    // One page of 128 block records: a particle run on lane 1, then single blocks on lane 0
    // until the page is full (the heads are not records; each lane's end is).
    ASSERT_EQ(0, Vid_PlaceClipRun(1, 500, 5, P));
    for (int32_t p = 0; p < 127; p++)
        ASSERT_EQ(0, Vid_PlaceClipAt(0, p, p % 2 ? A : B));
    ASSERT_EQ(127, Sys_PoolHighestId(g_pLaneBlockPool));
    const auto lane1 = Blocks(1);
    const uint32_t refs = P->uRefCount;
    Sys_MemSetAllocHook([](size_t size) -> void * { return size >= 2048 ? nullptr : std::malloc(size); });
    // A cut inside the block needs a record for its tail: refused before any use is given back.
    EXPECT_EQ(8, Vid_CutLaneAt(1, 502));
    EXPECT_EQ(8, Vid_PlaceClipAt(0, 300, A));
    EXPECT_EQ(0, Vid_InsertLanePositions(502, 3));
    Sys_MemSetAllocHook(nullptr);
    EXPECT_EQ(lane1, Blocks(1));
    EXPECT_EQ(refs, P->uRefCount);
    EXPECT_EQ(5, g_aiLaneObjectUse[0]);
    EXPECT_EQ(nullptr, Vid_GetLaneClipAt(0, 300));
    EXPECT_EQ(0, Vid_CutLaneAt(1, 502));
    EXPECT_EQ(4, g_aiLaneObjectUse[0]);
}
