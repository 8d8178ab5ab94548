// Video engine start-up and shutdown, the sequencer's and the movie stream's events, pad triggers,
// the screen prompt, the per-frame lane update and the viewport.
#include "app/timers.h"
#include "core/console_memory.h"
#include "core/event.h"
#include "core/padbind.h"
#include "render/gpustate.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "video/chasetypes.h"
#include "video/engine.h"
#include "video/render.h"
#include "ui/gridstate.h"
#include "video_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "editors/topbar.h"

namespace {

using namespace vidtest;

class EngineStart : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Sys_EventInit();
        ASSERT_EQ(Sys_EventCreateClass(1, 11), EVENT_OK);
        ASSERT_EQ(Sys_EventCreateClass(3, 4), EVENT_OK);
        g_iFrameCount = 7;
        Vid_EarlyInit();
        ASSERT_EQ(Vid_InitChaseEngine(), 0);
    }
    void TearDown() override
    {
        Vid_ShutdownChaseEngine();
        Sys_EventInit();
        g_bSongPlaying = 0;
        g_iRecordRunning = 0;
        g_iFrameCount = 0;
    }
    static void Post(uint32_t id, int16_t a, int16_t value)
    {
        int16_t words[2] = {a, value};
        Sys_EventDispatch(id, reinterpret_cast<uintptr_t>(words));
    }
    static std::pair<int16_t, uint32_t> Trigger(int32_t bank, int32_t index)
    {
        int16_t v = 0;
        uint32_t s = 0;
        Vid_GetTrigger(bank, index, &v, &s);
        return {v, s};
    }
};

TEST_F(EngineStart, RegistersEveryTypeWithItsCodeAndTheHandlersOnce)
{
    // Registration order decides the codes songs and the editor rely on.
    const struct
    {
        int32_t storedId, code;
    } kCodes[] = {{1, 0x0000}, {2, 0x0001}, {3, 0x8000}, {4, 0x8001}, {5, 0x8002}, {6, 0x4000}, {7, 0x8003},
                  {8, 0x8004}, {9, 0x0002}, {10, 0x0003}, {11, 0x8005}, {12, -1}, {13, 0x8006}, {14, 0x8007},
                  {15, 0x2000}, {16, 0x2001}, {17, 0x2002}, {18, 0x8008}, {19, 0x0004}, {20, 0x2003}};
    for (const auto &c : kCodes)
        EXPECT_EQ(Vid_FindChaseType(c.storedId), c.code) << "stored id " << c.storedId;
    for (uint32_t id : {0x30000u, 0x30001u, 0x30002u, 0x30003u, 0x10000u, 0x10001u, 0x10002u})
        EXPECT_EQ(Sys_EventCountHandlers(id), 1) << std::hex << id;
    // A second start-up (a new song set-up) does not register the handlers twice.
    ASSERT_EQ(Vid_InitChaseEngine(), 0);
    for (uint32_t id : {0x30000u, 0x30003u, 0x10002u})
        EXPECT_EQ(Sys_EventCountHandlers(id), 1) << std::hex << id;
    // The cameras are made and the type tables filled.
    EXPECT_NE(Vid_CameraNode(0), nullptr);
    EXPECT_NE(Vid_CameraNode(1), nullptr);
    EXPECT_EQ(g_AuxCameraCoord.local.m[0][0], 4096);
    Vid_ShutdownChaseEngine();
    for (uint32_t id : {0x30000u, 0x10000u})
        EXPECT_EQ(Sys_EventCountHandlers(id), 0);
    ASSERT_EQ(Vid_InitChaseEngine(), 0);
}

TEST_F(EngineStart, TypeTablesAreFilled)
{
    const struct
    {
        int32_t row, x, z;
    } kAxes[] = {{0, 1024, 0}, {1, 512, 0}, {8, -3072, 0}, {9, 1024, 512}, {71, -3072, 3584}};
    for (const auto &a : kAxes) {
        EXPECT_EQ(g_aRotationAxes[a.row][0], a.x) << a.row;
        EXPECT_EQ(g_aRotationAxes[a.row][1], a.z) << a.row;
    }
    EXPECT_EQ(g_aiRotationSpin[31], 155);
    EXPECT_EQ(g_aiCameraRoll[15], 3840);
    // Light 0 is (-1, -1, -1) normalised, 13 the middle (none), 26 (1, 1, 1), 14 (1, 0, 0).
    EXPECT_NEAR(g_aLightPositions[0][0], -2365, 2);
    EXPECT_EQ(g_aLightPositions[0][0], g_aLightPositions[0][2]);
    EXPECT_EQ(g_aLightPositions[13][0] | g_aLightPositions[13][1] | g_aLightPositions[13][2], 0);
    EXPECT_NEAR(g_aLightPositions[26][1], 2365, 2);
    EXPECT_EQ(g_aLightPositions[14][0], 4096);
    EXPECT_EQ(g_aLightPositions[14][1], 0);
}

TEST_F(EngineStart, ShutdownFreesChasesWithTheirKeysAndClips)
{
    // Chases with keys on a lane: the sanitizer build finds anything left behind. The Speed type's
    // default key needs nothing from the archive (none is open here).
    CHASE *c = Vid_NewChase(Vid_FindChaseType(20));
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(Vid_SetChaseDefaultKey(c), 1);
    VIDCLIP *clip = Vid_NewClip();
    Vid_AppendClipEntry(clip, c);
    EXPECT_EQ(Vid_PlaceClipRun(5, 0, 4, clip), LANE_DONE);
    Vid_ShutdownChaseEngine();
    EXPECT_EQ(g_pChasePool, nullptr);
    EXPECT_EQ(g_pVidClipPool, nullptr);
    ASSERT_EQ(Vid_InitChaseEngine(), 0);
}

TEST_F(EngineStart, SequencerEventsWriteTheirTriggersAndMarks)
{
    g_iFrameCount = 12;
    const struct
    {
        uint32_t event;
        int16_t a, value;
        int32_t bank, index, markBank;
    } kCases[] = {
        {0x30000, 0, 17, 1, 2, 2},
        {0x30001, 0, 33, 1, 3, 2},
        {0x30003, 0, 90, 1, 4, 2},
        {0x30002, 3, 100, 0, 5, 3},
        // Column 98 (the last of 99) reaches index 100.
        {0x30002, 98, 64, 0, 100, 3},
    };
    for (const auto &c : kCases) {
        Post(c.event, c.a, c.value);
        EXPECT_EQ(Trigger(c.bank, c.index), std::make_pair(c.value, 12u)) << std::hex << c.event;
        EXPECT_EQ(Trigger(c.markBank, c.index), std::make_pair(int16_t{255}, 12u)) << std::hex << c.event;
    }
    EXPECT_EQ(g_iBeatEventCount.load(), 1);
    // A negative column and a missing record write nothing.
    Post(0x30002, -3, 50);
    EXPECT_EQ(Trigger(0, -1).first, 0);
    Sys_EventDispatch(0x30000, 0);
    EXPECT_EQ(Trigger(1, 2).first, 17);
}

TEST_F(EngineStart, BarEventsMoveTheVideoPosition)
{
    // Value 0: the trigger only.
    g_iVideoPosition = 5;
    g_bSongPlaying = 1;
    g_uSongRow = 40;
    Post(0x30003, 0, 0);
    EXPECT_EQ(g_iVideoPosition.load(), 5);
    EXPECT_EQ(Trigger(2, 4).first, 255);
    // While the song plays the position is the song's row.
    Post(0x30003, 0, 1);
    EXPECT_EQ(g_iVideoPosition.load(), 40);
    // While recording, one position a bar over 64 positions: 64 bars come back to the start.
    g_bSongPlaying = 0;
    g_iRecordRunning = 1;
    g_iVideoPosition = 9;
    g_bLanesChanged = 0;
    Post(0x30003, 0, 1);
    EXPECT_EQ(g_iVideoPosition.load(), 10);
    EXPECT_EQ(g_bLanesChanged.load(), 1);
    for (int i = 1; i < 64; i++)
        Post(0x30003, 0, 1);
    EXPECT_EQ(g_iVideoPosition.load(), 9);
    // Neither playing nor recording: nothing moves.
    g_iRecordRunning = 0;
    Post(0x30003, 0, 1);
    EXPECT_EQ(g_iVideoPosition.load(), 9);
}

std::vector<uint32_t> g_freed;

TEST_F(EngineStart, MovieFramesUploadTheNewestAndGiveTheRestBack)
{
    g_freed.clear();
    g_pfnMovieBufferFree = [](uint32_t b) { g_freed.push_back(b); };
    auto slot = [](int i, uint16_t state, uint16_t kind, uint32_t stamp, uint32_t buffer) {
        g_aMovieSlots[i] = {};
        g_aMovieSlots[i].uState = state;
        g_aMovieSlots[i].uKind = kind;
        g_aMovieSlots[i].uStamp = stamp;
        g_aMovieSlots[i].uBuffer = buffer;
    };
    slot(0, MOVIESLOT_READY, 1, 10, 100);
    slot(1, MOVIESLOT_READY, 1, 12, 101);
    slot(2, MOVIESLOT_READY, 2, 3, 102);
    slot(3, MOVIESLOT_READY, 1, 11, 0);
    g_bMovieFrameUploaded = 0;
    Sys_EventDispatch(0x10000, 0);
    EXPECT_EQ(g_aMovieSlots[0].uState, MOVIESLOT_DONE);
    EXPECT_EQ(g_aMovieSlots[1].uState, MOVIESLOT_UPLOADED);
    EXPECT_EQ(g_aMovieSlots[2].uState, MOVIESLOT_UPLOADED);
    EXPECT_EQ(g_aMovieSlots[3].uState, MOVIESLOT_DONE);
    EXPECT_EQ(g_bMovieFrameUploaded, 1);
    EXPECT_EQ(g_freed, std::vector<uint32_t>({100}));
    Sys_EventDispatch(0x10001, 0);
    EXPECT_EQ(g_aMovieSlots[1].uState, MOVIESLOT_DONE);
    EXPECT_EQ(g_aMovieSlots[2].uState, MOVIESLOT_DONE);
    EXPECT_EQ(g_freed, std::vector<uint32_t>({100, 101, 102}));
    g_pfnMovieBufferFree = nullptr;
}

TEST_F(EngineStart, PadButtonsBecomeTriggersPadTwoLast)
{
    PADBUFFER *p1 = Sys_PadBuffer(1), *p2 = Sys_PadBuffer(2);
    *p1 = {};
    *p2 = {};
    p1->type = 0x41;
    p2->type = 0x41;
    // Active low: 0x4000 (index 6) on both pads, 0x0800 (index 12) on pad 1 only.
    p1->buttons = static_cast<uint16_t>(~(0x4000 | 0x0800));
    p2->buttons = static_cast<uint16_t>(~0x4000);
    g_iFrameCount = 30;
    Sys_EventDispatch(0x10002, 0);
    EXPECT_EQ(Trigger(1, 6), std::make_pair(int16_t{0}, 30u));
    EXPECT_EQ(Trigger(2, 6).first, 255);
    EXPECT_EQ(Trigger(1, 12).first, 255);
    EXPECT_EQ(Trigger(1, 7).first, 0);
    EXPECT_EQ(Trigger(2, 7).first, 0);
    // A missing pad 2 presses nothing; an analog pad 1 gives its four axes.
    p2->status = 0xFF;
    p2->buttons = 0;
    p1->type = 0x73;
    p1->data[0] = 4;
    p1->data[1] = 5;
    p1->data[2] = 6;
    p1->data[3] = 7;
    Sys_EventDispatch(0x10002, 0);
    EXPECT_EQ(Trigger(1, 6).first, 255);
    EXPECT_EQ(Trigger(1, 13).first, 7);
    EXPECT_EQ(Trigger(1, 16).first, 4);
    EXPECT_EQ(Trigger(2, 14).first, 6);
    *p1 = {};
    *p2 = {};
}

TEST_F(EngineStart, FullScreenKeyBindsAndUnbinds)
{
    Vid_EnterVideoOverlay();
    const uint16_t cell = g_PadBindings.auCell[4][9];
    EXPECT_EQ(cell & 0xE000, 0x2000);
    g_ucFullScreenVideo = 0;
    g_apfnPadActions[cell & BIND_INDEX_MASK]();
    EXPECT_EQ(g_ucFullScreenVideo, 1);
    g_ucFullScreenVideo = 0;
    Vid_LeaveVideoOverlay();
    EXPECT_EQ(g_PadBindings.auCell[4][9], 0x8000 | 8192);
}

TEST(ScreenPrompt, TextByScreen)
{
    const struct
    {
        int32_t screen;
        uint8_t gridKind, paste, sub;
        int32_t text;
    } kCases[] = {
        {0, 3, 1, 0, 44}, {0, 3, 0, 0, 45}, {0, 2, 0, 0, -1}, {2, 0, 0, 0, 20},  {3, 0, 0, 0, 21},
        {7, 0, 0, 3, 31}, {7, 0, 0, 4, 542}, {7, 0, 0, 5, 541}, {7, 0, 0, 6, -1}, {8, 0, 0, 0, 33},
        {12, 0, 0, 0, 42}, {5, 0, 0, 0, -1},
    };
    const int32_t screen = g_iScreen;
    for (const auto &c : kCases) {
        // A text no screen sets stands for "no change".
        constexpr uint16_t kUnchanged = 699;
        g_iStatusHoldFrames = 0;
        g_usPromptTextId = kUnchanged;
        g_iScreen = c.screen;
        g_ucGridKind = c.gridKind;
        g_ucGridPasteMode = c.paste;
        g_ucScreenSubState = c.sub;
        Vid_ShowScreenPrompt();
        EXPECT_EQ(g_usPromptTextId, c.text < 0 ? kUnchanged : c.text) << "screen " << c.screen << " sub " << int(c.sub);
    }
    g_iScreen = screen;
    g_ucGridKind = g_ucGridPasteMode = g_ucScreenSubState = 0;
}

// The lane update on the recording chase types of the video fixture.
class LaneUpdate : public VideoTest
{
protected:
    void SetUp() override
    {
        VideoTest::SetUp();
        g_iShownPosition = -1;
        g_bLaneUpdateForce = 0;
        g_bNoPreviewClip = 0;
        g_pPreviewClipShown = nullptr;
        g_bClipPreview = 0;
        g_uiLaneMuteMask = 0;
    }
    void TearDown() override
    {
        g_bClipPreview = 0;
        g_pLoadedClip = nullptr;
        g_pPreviewClipShown = nullptr;
        g_iLaneUpdateMode = 0;
        VideoTest::TearDown();
    }
    static void Request(int32_t position)
    {
        Vid_ForceVideoPosition(position);
        g_log.clear();
    }
    static int Count(const std::string &prefix)
    {
        int n = 0;
        for (const std::string &s : g_log)
            n += s.rfind(prefix, 0) == 0;
        return n;
    }
};

TEST_F(LaneUpdate, ClipsAreChosenOncePerPositionAndPlayEveryFrame)
{
    VIDCLIP *a = NewClip(objType), *b = NewClip(objType);
    ASSERT_EQ(Vid_PlaceClipRun(0, 0, 4, a), LANE_DONE);
    ASSERT_EQ(Vid_PlaceClipRun(1, 4, 4, b), LANE_DONE);
    Request(0);
    Vid_UpdateLanes();
    EXPECT_EQ(g_apLanePlayingClip[0], a);
    EXPECT_EQ(g_apLanePlayingClip[1], nullptr);
    EXPECT_EQ(g_iShownPosition, 0);
    EXPECT_EQ(g_bVideoEmpty, 0);
    EXPECT_EQ(Count("render 1 0"), 1);
    // Same position: nothing chosen again (a lane changed behind its back keeps playing), but
    // the lanes still play a frame.
    g_apLanePlayingClip[2] = nullptr;
    Vid_SetLanePlayingClip(b, 2);
    g_log.clear();
    Vid_UpdateLanes();
    EXPECT_EQ(g_apLanePlayingClip[2], b);
    EXPECT_EQ(Count("render 1 0"), 1);
    // The force flag chooses again.
    g_bLaneUpdateForce = 1;
    Vid_UpdateLanes();
    EXPECT_EQ(g_apLanePlayingClip[2], nullptr);
    EXPECT_EQ(g_bLaneUpdateForce, 0);
    // The next row switches the shown clip.
    Request(4);
    Vid_UpdateLanes();
    EXPECT_EQ(g_apLanePlayingClip[0], nullptr);
    EXPECT_EQ(g_apLanePlayingClip[1], b);
    // An empty position.
    Request(20);
    Vid_UpdateLanes();
    EXPECT_EQ(g_bVideoEmpty, 1);
    // Stop: the shown position is forgotten and nothing plays.
    Request(4);
    Vid_UpdateLanes();
    Vid_RequestLaneRefresh();
    Vid_UpdateLanes();
    EXPECT_EQ(g_iShownPosition, -1);
    EXPECT_EQ(g_apLanePlayingClip[1], nullptr);
}

// While the song plays, each bar moves the video to the song's row and the clip placed on the
// lanes there is the one shown; it stops showing once the song has moved past it.
TEST_F(LaneUpdate, APlacedClipPlaysAtItsPositionWhileTheSongPlays)
{
    VIDCLIP *a = NewClip(objType), *b = NewClip(objType);
    ASSERT_EQ(Vid_PlaceClipRun(0, 8, 4, a), LANE_DONE);
    ASSERT_EQ(Vid_PlaceClipRun(2, 10, 2, b), LANE_DONE);
    Request(0);
    g_bSongPlaying = 1;
    for (int32_t row = 0; row < 16; row++) {
        SCOPED_TRACE(row);
        g_uSongRow = static_cast<uint32_t>(row);
        const int16_t bar[2] = {0, 1};
        Vid_OnBarEvent(reinterpret_cast<uintptr_t>(bar));
        EXPECT_EQ(g_iVideoPosition.load(), row);
        Vid_UpdateLanes();
        EXPECT_EQ(g_iShownPosition, row);
        EXPECT_EQ(g_apLanePlayingClip[0], row >= 8 && row < 12 ? a : nullptr);
        EXPECT_EQ(g_apLanePlayingClip[2], row >= 10 && row < 12 ? b : nullptr);
        EXPECT_EQ(g_bVideoEmpty, row >= 8 && row < 12 ? 0 : 1);
    }
    g_bSongPlaying = 0;
    g_uSongRow = 0;
}

TEST_F(LaneUpdate, MutedLanesAndThePreview)
{
    VIDCLIP *obj = NewClip(objType), *fx = NewClip(dveType), *cam = NewClip(camType);
    ASSERT_EQ(Vid_PlaceClipRun(1, 0, 2, obj), LANE_DONE);
    ASSERT_EQ(Vid_PlaceClipRun(5, 0, 2, fx), LANE_DONE);
    // Lane 1 muted: it plays nothing; the mute acts at once, at the same position.
    Request(0);
    Vid_UpdateLanes();
    EXPECT_EQ(g_apLanePlayingClip[1], obj);
    Vid_SetLaneMuteMask(2);
    g_bLaneUpdateForce = 1;
    Vid_UpdateLanes();
    EXPECT_EQ(g_apLanePlayingClip[1], nullptr);
    EXPECT_EQ(g_apLanePlayingClip[5], fx);

    // A camera clip previewed with no object clip on lanes 0..3 (lane 1 is muted) plays on lane 4
    // only: on lane 0 as well it would move the camera twice a frame; lane 5 (kept) keeps its clip.
    g_pLoadedClip = cam;
    g_bClipPreview = 1;
    g_bLaneUpdateForce = 1;
    Vid_UpdateLanes();
    EXPECT_EQ(g_apLanePlayingClip[4], cam);
    EXPECT_EQ(g_apLanePlayingClip[0], nullptr);
    EXPECT_EQ(g_apLanePlayingClip[5], fx);
    EXPECT_TRUE(cam->uFlags & CLIPFLAG_UNLISTED);
    // An effect clip previewed: lane 5 shows it; lane 4 (kept) and muted lane 1 (kept) play
    // their own, so lane 1 plays nothing.
    g_pPreviewClip = nullptr;
    Vid_ReleaseClip(cam);
    g_pLoadedClip = nullptr;
    VIDCLIP *fx2 = NewClip(dveType);
    g_pLoadedClip = fx2;
    g_pPreviewClipShown = nullptr;
    g_bLaneUpdateForce = 1;
    Vid_UpdateLanes();
    EXPECT_EQ(g_apLanePlayingClip[5], fx2);
    EXPECT_EQ(g_apLanePlayingClip[1], nullptr);
    EXPECT_EQ(g_apLanePlayingClip[0], fx2); // no object clip on 0..3: the fallback
    // No library clip: the preview stays off.
    g_pLoadedClip = nullptr;
    g_pPreviewClipShown = nullptr;
    Vid_ReleaseClip(g_pPreviewClip);
    g_pPreviewClip = nullptr;
    Vid_UpdateLanes();
    EXPECT_EQ(g_bNoPreviewClip, 1);
}

TEST_F(LaneUpdate, NoteFollowingChasesTakeTheRowsColumns)
{
    VIDCLIP *clip = NewClip(objType, {objType});
    for (VIDCLIPENTRY *e = clip->pFirst; e; e = e->pNext)
        e->pChase->ucTrigA = 1;
    ASSERT_EQ(Vid_PlaceClipRun(0, 3, 1, clip), LANE_DONE);
    g_aSongGrid[3][3] = 1;
    g_aSongGrid[3][7] = 1;
    Request(3);
    Vid_UpdateLanes();
    EXPECT_EQ(clip->pFirst->pChase->ucWorkTrigA, 5);
    EXPECT_EQ(clip->pFirst->pNext->pChase->ucWorkTrigA, 9);
    g_aSongGrid[3][3] = g_aSongGrid[3][7] = 0;
}

TEST_F(LaneUpdate, ViewportScale)
{
    const struct
    {
        int16_t rect[4];
        int16_t v;
    } kCases[] = {
        {{0, 0, 640, 480}, -4096},
        {{10, 20, 320, 240}, -4096},
        {{0, 0, 640, 240}, -2048},
        {{0, 0, 320, 480}, -8192},
    };
    g_iScreenWidth = 640;
    g_iScreenHeight = 480;
    for (const auto &c : kCases) {
        Vid_SetViewport(c.rect);
        EXPECT_EQ(g_aCameraView[0].local.m[1][1], c.v);
        EXPECT_EQ(g_aCameraView[1].local.m[1][1], c.v);
        EXPECT_EQ(g_iViewRedrawCount, 3);
        EXPECT_EQ(g_aViewRect[2], c.rect[2]);
    }
    // A view of no width keeps the scale it had.
    const int16_t empty[4] = {0, 0, 0, 100};
    Vid_SetViewport(empty);
    EXPECT_EQ(g_aCameraView[0].local.m[1][1], -8192);
    const int16_t full[4] = {0, 0, 640, 480};
    Vid_SetViewport(full);
}

} // namespace

namespace {

int g_allocsLeft = 0;
void *FailingAlloc(size_t size)
{
    if (g_allocsLeft-- <= 0)
        return nullptr;
    return std::malloc(size);
}

// A pool that cannot be made leaves the engine down with a message instead of a null pool that
// the first chase would trip on; memory back, it comes up.
TEST(EngineStartFailure, OutOfMemoryLeavesTheEngineDownCleanly)
{
    Sys_EventInit();
    Sys_EventCreateClass(1, 11);
    Sys_EventCreateClass(3, 4);
    for (int allowed : {0, 1, 3, 6}) {
        g_allocsLeft = allowed;
        Sys_MemSetAllocHook(FailingAlloc);
        const int32_t r = Vid_InitChaseEngine();
        Sys_MemSetAllocHook(nullptr);
        if (r != 0) {
            EXPECT_EQ(g_pChasePool, nullptr) << allowed;
            EXPECT_EQ(Vid_NewChase(0), nullptr);
            EXPECT_EQ(Sys_EventCountHandlers(0x30000), 0);
        }
        Vid_ShutdownChaseEngine();
    }
    ASSERT_EQ(Vid_InitChaseEngine(), 0);
    EXPECT_NE(Vid_NewClip(), nullptr);
    Vid_ShutdownChaseEngine();
    Sys_EventInit();
}

} // namespace
