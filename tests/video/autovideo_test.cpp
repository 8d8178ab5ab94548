// The auto video over the built archive's "/AUTO" library: a song of 40 used rows, the loop mode,
// the same seed giving the same video, the library load of the clip menus, and broken clip images.
#include "app/timers.h"
#include "core/archive.h"
#include "core/console_memory.h"
#include "core/disc.h"
#include "core/event.h"
#include "core/file.h"
#include "core/fixmath.h"
#include "core/random.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/lights.h"
#include "render/mesh.h"
#include "render/prims3d.h"
#include "render/texpages.h"
#include "render/textures.h"
#include "render/userimages.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "support/test3d.h"
#include "support/testlayer.h"
#include "video/autovideo.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/engine.h"
#include "video/lanes.h"
#include "video/render.h"
#include "video/respages.h"
#include "video/clipimage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

class AutoVideo : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Test3D_Open());
        ASSERT_EQ(Gfx_InitTextureTable(), 0);
        ASSERT_EQ(Gfx_EnumTextureFormats(), 0);
        ASSERT_EQ(Gfx_ResetLightingState(), 0);
        ASSERT_EQ(Gfx_CreateColourKeySurface(256, 256), 0);
        const char *build = std::getenv("TNV_BUILD_DIR");
        ASSERT_NE(build, nullptr);
        std::snprintf(g_szDataDir, sizeof(g_szDataDir), "%s/data/", build);
        Sys_DiscInit();
        Vid_CreateResPagePool();
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        Gfx_InitTexturePages();
        Gfx_InitUserImages();
        Sys_BuildSineTable();
        Sys_EventInit();
        Sys_EventCreateClass(1, 11);
        Sys_EventCreateClass(3, 4);
        g_iFrameCount = 1;
        g_ucFrameTick = 1;
        Vid_EarlyInit();
        ASSERT_EQ(Vid_InitChaseEngine(), 0);
        std::memset(g_aSongGrid, 0, sizeof g_aSongGrid);
        Sys_SeedRand(7);
    }
    void TearDown() override
    {
        std::memset(g_aSongGrid, 0, sizeof g_aSongGrid);
        Vid_ShutdownChaseEngine();
        Sys_EventInit();
        Gfx_DestroyAllMeshes();
        Gfx_FreeTextureTable();
        Gfx_ReleaseColourKeySurface();
        Sys_WadFreeBuffers();
        Sys_FreeDiscPool();
        Gfx_FreeUserImages();
        Test3D_Close();
        g_szDataDir[0] = 0;
        g_iFrameCount = 0;
    }
    // Rows [from, to) of the song grid with cells in their first n columns.
    static void Fill(int32_t from, int32_t to, int32_t n)
    {
        for (int32_t r = from; r < to; r++)
            for (int32_t c = 0; c < n; c++)
                g_aSongGrid[r][c] = 1;
    }
    static uint32_t KindOf(const VIDCLIP *clip)
    {
        return clip && clip->pFirst && clip->pFirst->pChase ? clip->pFirst->pChase->pDef->uKind : 0;
    }
    static std::vector<int32_t> BlockStarts(int32_t lane)
    {
        std::vector<int32_t> starts;
        for (const VIDLANEBLOCK *b = &g_aVideoLanes[lane]; b && b->uStart != VID_LANE_END; b = b->pNext)
            if (b->pClip)
                starts.push_back(b->uStart);
        return starts;
    }
    // What the lanes show, position by position: each clip's chain of types and key counts.
    static std::string Describe()
    {
        std::string text;
        for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
            for (int32_t p = 0; p < 70; p++) {
                const VIDCLIP *clip = Vid_GetLaneClipAt(lane, p);
                text += clip ? std::to_string(Vid_ClipId(clip)) + ":" : std::string("-");
                for (const VIDCLIPENTRY *e = clip ? clip->pFirst : nullptr; e; e = e->pNext)
                    text += std::to_string(e->pChase->pDef->uStoredId) + "/" +
                            std::to_string(Vid_GetChaseKeyCount(e->pChase)) + "/" +
                            std::to_string(e->pChase->ucTrigB) + ",";
                text += " ";
            }
        return text;
    }
    // Every clip is held once per position its blocks cover (and by the preview).
    static void ExpectReferencesMatchTheLanes()
    {
        for (int32_t id = 0; id <= g_iClipHighestId; id++) {
            const VIDCLIP *clip = Vid_GetClip(id);
            if (!clip)
                continue;
            uint32_t held = g_pPreviewClip == clip;
            for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
                for (int32_t p = 0; p < VID_POSITIONS; p++)
                    held += Vid_GetLaneClipAt(lane, p) == clip;
            EXPECT_EQ(clip->uRefCount, held) << clip->szName;
        }
    }
};

} // namespace

TEST_F(AutoVideo, FortyRowsGetACameraEffectsBySectionAndBredObjects)
{
    // Quiet, then busy, then in between: sections start at 0, 16 and 32.
    Fill(0, 16, 4);
    Fill(16, 32, 20);
    Fill(32, 40, 8);
    ASSERT_EQ(Seq_CountUsedRows(), 40);
    ASSERT_EQ(Vid_BuildAutoVideo(20, 40, 0, 0), 1);

    // Lane 4: one camera clip over the 40 rows.
    ASSERT_EQ(BlockStarts(4), std::vector<int32_t>{0});
    VIDCLIP *camera = Vid_GetLaneClipAt(4, 0);
    EXPECT_EQ(KindOf(camera), uint32_t{CHASEKIND_CAM});
    EXPECT_EQ(Vid_GetLaneClipAt(4, 39), camera);
    EXPECT_EQ(Vid_GetLaneClipAt(4, 40), nullptr);

    // Lane 5: a library effect clip per section, changing only where a section starts.
    for (int32_t start : BlockStarts(5))
        EXPECT_TRUE(start == 0 || start == 16 || start == 32) << start;
    for (int32_t p = 0; p < 40; p++) {
        const VIDCLIP *clip = Vid_GetLaneClipAt(5, p);
        ASSERT_NE(clip, nullptr) << p;
        EXPECT_EQ(KindOf(clip), uint32_t{CHASEKIND_DVE});
        if (p % 16 != 0 && p != 32) {
            EXPECT_EQ(clip, Vid_GetLaneClipAt(5, p - 1)) << p;
        }
    }
    EXPECT_EQ(Vid_GetLaneClipAt(5, 40), nullptr);

    // Lanes 0-3: object clips, more lanes on busier rows: one lane for 4 cells, two for 8, all
    // that the draw allows for 20 (lanes 0 and 1 and two of lanes 2-5).
    int32_t bred = 0;
    std::set<const VIDCLIP *> objects;
    for (int32_t p = 0; p < 40; p++) {
        int32_t shown = 0;
        for (int32_t lane = 0; lane < 4; lane++) {
            const VIDCLIP *clip = Vid_GetLaneClipAt(lane, p);
            if (!clip)
                continue;
            shown++;
            EXPECT_EQ(KindOf(clip), uint32_t{CHASEKIND_PLAIN}) << lane << "," << p;
            if (objects.insert(clip).second && (clip->uFlags & CLIPFLAG_AUTO))
                bred++;
        }
        ASSERT_NE(Vid_GetLaneClipAt(0, p), nullptr) << p;
        if (p < 16) {
            EXPECT_EQ(shown, 1) << p;
        } else if (p >= 32) {
            EXPECT_EQ(shown, 2) << p;
            EXPECT_NE(Vid_GetLaneClipAt(1, p), nullptr);
        } else {
            EXPECT_GE(shown, 2) << p;
            EXPECT_NE(Vid_GetLaneClipAt(1, p), nullptr);
        }
        EXPECT_EQ(Vid_GetLaneClipAt(6, p), nullptr);
    }
    EXPECT_GT(bred, 4) << "object clips are bred from the library's";
    EXPECT_GT(objects.size(), 8u);
    for (int32_t lane = 0; lane < 4; lane++)
        EXPECT_EQ(Vid_GetLaneClipAt(lane, 40), nullptr);
    // Nothing unused stays behind, and every count matches what the lanes hold.
    for (int32_t id = 0; id <= g_iClipHighestId; id++) {
        if (const VIDCLIP *clip = Vid_GetClip(id)) {
            EXPECT_GT(clip->uRefCount, 0u) << clip->szName;
        }
    }
    ExpectReferencesMatchTheLanes();

    // The video plays: pictures of a quiet and a busy section, after a second of each.
    const int16_t view[4] = {0, 0, 640, 480};
    Vid_SetViewport(view);
    g_uiLaneMuteMask = 0;
    const struct
    {
        int32_t position;
        const char *name;
        uint64_t hash;
    } shots[] = {{8, "auto_video_row8", 0x330D720FFED45220}, {24, "auto_video_row24", 0x84B0518AAADFAA85}};
    for (const auto &shot : shots) {
        Vid_ForceVideoPosition(shot.position);
        g_bLaneUpdateForce = 1;
        for (int32_t f = 0; f < 50; f++) {
            Vid_UpdateLanes();
            Vid_RenderFrame();
            g_iFrameCount++;
        }
        TestLayer_SetUp(g_iPixelFormat);
        Gfx_CopySurfaceRectToFrame(0, 0, 640, 480);
        EXPECT_TRUE(TestLayer_MatchesGolden(shot.name, shot.hash));
    }
}

TEST_F(AutoVideo, TheSameSeedGivesTheSameVideo)
{
    Fill(0, 12, 3);
    Fill(12, 40, 16);
    Sys_SeedRand(1234);
    ASSERT_EQ(Vid_BuildAutoVideo(20, 40, 0, 0), 1);
    const std::string first = Describe();
    Sys_SeedRand(1234);
    ASSERT_EQ(Vid_BuildAutoVideo(20, 40, 0, 0), 1);
    EXPECT_EQ(Describe(), first);
    Sys_SeedRand(99);
    ASSERT_EQ(Vid_BuildAutoVideo(20, 40, 0, 0), 1);
    EXPECT_NE(Describe(), first);
}

TEST_F(AutoVideo, LoopModeFillsSixtyFourPositions)
{
    ASSERT_EQ(Vid_BuildAutoVideo(20, 40, 0, 1), 1);
    // The camera covers 0..62; effect sections start every eight positions.
    ASSERT_EQ(BlockStarts(4), std::vector<int32_t>{0});
    EXPECT_NE(Vid_GetLaneClipAt(4, 62), nullptr);
    EXPECT_EQ(Vid_GetLaneClipAt(4, 63), nullptr);
    for (int32_t start : BlockStarts(5))
        EXPECT_EQ(start % 8, 0) << start;
    EXPECT_NE(Vid_GetLaneClipAt(5, 62), nullptr);
    for (int32_t p = 0; p < VID_AUTO_LOOP_ROWS; p++) {
        EXPECT_NE(Vid_GetLaneClipAt(0, p), nullptr) << p;
        EXPECT_NE(Vid_GetLaneClipAt(1, p), nullptr) << p;
    }
    for (int32_t lane = 0; lane < 4; lane++)
        EXPECT_EQ(Vid_GetLaneClipAt(lane, 64), nullptr);
    ExpectReferencesMatchTheLanes();

    // New object lanes for the loop: the bred clips go, the library's stay counted right.
    const std::string before = Describe();
    Vid_FreeRandomClips(20, 40);
    EXPECT_NE(Describe(), before);
    for (int32_t p = 0; p < VID_AUTO_LOOP_ROWS; p++)
        EXPECT_NE(Vid_GetLaneClipAt(0, p), nullptr) << p;
    ExpectReferencesMatchTheLanes();
}

TEST_F(AutoVideo, EmptyAndLongSongs)
{
    // No used rows: nothing to do, and the video stays empty.
    ASSERT_EQ(Vid_BuildAutoVideo(20, 40, 0, 0), 1);
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
        EXPECT_TRUE(BlockStarts(lane).empty()) << lane;

    // 500 rows are bred four at a time (500 -> 250 -> 125).
    Fill(0, 500, 2);
    ASSERT_EQ(Vid_BuildAutoVideo(20, 40, 0, 0), 1);
    EXPECT_EQ(g_iAutoVideoRows, 500);
    for (int32_t start : BlockStarts(0))
        EXPECT_EQ(start % 4, 0) << start;
    for (int32_t p = 0; p < 500; p++)
        ASSERT_NE(Vid_GetLaneClipAt(0, p), nullptr) << p;
    EXPECT_EQ(Vid_GetLaneClipAt(0, 500), nullptr);
    EXPECT_NE(Vid_GetLaneClipAt(4, 499), nullptr);
    ExpectReferencesMatchTheLanes();
}

TEST_F(AutoVideo, AFailedBuildLeavesNoClipsBehind)
{
    // A video made earlier, then the content goes away: the camera's path and the library cannot
    // be read, the build says so and nothing it made stays.
    Fill(0, 20, 4);
    ASSERT_EQ(Vid_BuildAutoVideo(20, 40, 0, 0), 1);
    ASSERT_GT(g_iClipCount, 0);
    Sys_WadFreeBuffers();
    Sys_FreeDiscPool();
    EXPECT_EQ(Vid_BuildAutoVideo(20, 40, 0, 0), 0);
    EXPECT_EQ(g_iClipCount, 0);
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
        EXPECT_TRUE(BlockStarts(lane).empty()) << lane;
    EXPECT_EQ(Vid_LoadLibraryClip(g_iWadDirAuto, 4, 1, 1), 0);
    EXPECT_EQ(g_pPreviewClip, nullptr);
}

TEST_F(AutoVideo, CrossingTakesEachEntryFromTheParentItsBitNames)
{
    auto make = [](std::vector<int32_t> ids) {
        VIDCLIP *clip = Vid_NewClip();
        for (int32_t id : ids) {
            CHASE *c = Vid_NewChase(Vid_FindChaseType(id));
            EXPECT_EQ(Vid_SetChaseDefaultKey(c), 1) << id;
            Vid_AppendClipEntry(clip, c);
        }
        return clip;
    };
    VIDCLIP *a = make({1, 3, 4, 7, 3});
    VIDCLIP *b = make({1, 4, 3, 7, 4});
    VIDCLIP *same = make({1, 3});
    VIDCLIP *parentsA[4] = {a, same, nullptr, a};
    VIDCLIP *parentsB[4] = {b, same, b, nullptr};
    CHASE *bases[4] = {Vid_GetClipEntryChase(b, 1), nullptr, nullptr, nullptr};
    Sys_SeedRand(5);
    const int32_t r = Sys_Rand();
    Sys_SeedRand(5);
    VIDCLIP *out[4] = {};
    Vid_CrossClips(parentsA, parentsB, out, bases, 40);
    // Lane 0: a new clip; entry 0 the base, entry i from A when bit i of the draw is set.
    ASSERT_NE(out[0], a);
    ASSERT_NE(out[0], b);
    EXPECT_TRUE(out[0]->uFlags & CLIPFLAG_AUTO);
    ASSERT_EQ(out[0]->sEntryCount, 5);
    EXPECT_EQ(Vid_GetClipEntryChase(out[0], 1), Vid_GetClipEntryChase(b, 1));
    for (int32_t i = 1; i < 5; i++)
        EXPECT_EQ(Vid_GetClipEntryChase(out[0], i + 1), Vid_GetClipEntryChase((r >> i) & 1 ? a : b, i + 1)) << i;
    // The same clip in both, or a parent missing: that clip, nothing new.
    EXPECT_EQ(out[1], same);
    EXPECT_EQ(out[2], b);
    EXPECT_EQ(out[3], a);
}

TEST_F(AutoVideo, EveryFileOfAStyleCanBeDrawnAndAMissingKindGivesNone)
{
    // The last file of each style comes up too (a draw modulo count - 1 never reached it).
    std::vector<uint8_t> buffer(VID_AUTO_PICK_BUDGET);
    std::set<std::string> names;
    for (int32_t i = 0; i < 300; i++) {
        ASSERT_EQ(Vid_PickRandomLibraryClips(buffer.data(), VID_AUTO_PICK_BUDGET, 1, VID_AUTO_GROUP_OBJECTS), 1);
        const uint32_t size = static_cast<uint32_t>(buffer[8] | buffer[9] << 8 | buffer[10] << 16 | buffer[11] << 24);
        names.insert(reinterpret_cast<const char *>(buffer.data() + ((size + 15) & ~3u) - VID_AUTO_NAME_BYTES));
    }
    for (const char *last : {"Spin twist", "Fly still", "Skin pulse", "Colour bits"})
        EXPECT_EQ(names.count(last), 1u) << last;
    EXPECT_EQ(names.size(), 15u) << [&] { std::string all; for (const auto &n : names) all += n + "; "; return all; }();

    // No clip of a kind: none, at once.
    EXPECT_EQ(Vid_PickRandomClip(CHASEKIND_CAM), nullptr);
    Vid_LoadRandomClips(buffer.data(), VID_AUTO_PICK_BUDGET, 1);
    EXPECT_EQ(Vid_PickRandomClip(CHASEKIND_CAM), nullptr);
    EXPECT_NE(Vid_PickRandomClip(CHASEKIND_PLAIN), nullptr);
}

TEST_F(AutoVideo, TheLibraryLoadGivesThePreviewClipItsNameAndTriggers)
{
    ASSERT_GE(g_iWadDirAuto, 0);
    g_ucLibraryTriggerCounter = 6;
    // Group 3, style A ("Spinners"), its second file.
    ASSERT_EQ(Vid_LoadLibraryClip(g_iWadDirAuto, 4, 1, 2), 1);
    VIDCLIP *clip = g_pPreviewClip;
    ASSERT_NE(clip, nullptr);
    EXPECT_STREQ(clip->szName, "Spin pulse");
    EXPECT_EQ(clip->uRefCount, 1u);
    ASSERT_EQ(clip->sEntryCount, 2);
    CHASE *shape = Vid_GetClipEntryChase(clip, 1);
    EXPECT_EQ(shape->pDef->uStoredId, 1);
    EXPECT_EQ(Vid_GetClipEntryChase(clip, 2)->pDef->uStoredId, 3);
    EXPECT_EQ(shape->ucTrigA, 1);
    EXPECT_EQ(Vid_GetChaseKeyCount(shape), 2);
    // Chases of two keys take the library counter in turn.
    EXPECT_EQ(shape->ucTrigB, 6);
    EXPECT_EQ(Vid_GetClipEntryChase(clip, 2)->ucTrigB, 7);
    EXPECT_EQ(g_ucLibraryTriggerCounter, 8);

    // The last entry of the folder has its name too.
    ASSERT_EQ(Vid_LoadLibraryClip(g_iWadDirAuto, 4, 1, 4), 1);
    EXPECT_STREQ(g_pPreviewClip->szName, "Spin twist");

    // An entry that is not there: the menu's state 20, no preview.
    EXPECT_EQ(Vid_LoadLibraryClip(g_iWadDirAuto, 4, 1, 99), 0);
    EXPECT_EQ(g_ucClipMenuState, 20);
    EXPECT_EQ(g_pPreviewClip, nullptr);
}

TEST_F(AutoVideo, ClipImagesRoundTripAndBrokenOnesAreRefused)
{
    ASSERT_EQ(Vid_LoadLibraryClip(g_iWadDirAuto, 4, 3, 1), 1); // a textured spinner
    VIDCLIP *clip = g_pPreviewClip;
    const std::vector<uint8_t> image = Vid_WriteClipImage(clip);
    ASSERT_FALSE(image.empty());
    g_pLoadedClip = nullptr;
    ASSERT_EQ(Vid_LoadClipImage(image.data(), image.size()), 0);
    ASSERT_NE(g_pLoadedClip, nullptr);
    ASSERT_NE(g_pLoadedClip, clip);
    ASSERT_EQ(g_pLoadedClip->sEntryCount, clip->sEntryCount);
    for (int32_t i = 1; i <= clip->sEntryCount; i++) {
        CHASE *x = Vid_GetClipEntryChase(clip, i), *y = Vid_GetClipEntryChase(g_pLoadedClip, i);
        EXPECT_EQ(x->pDef, y->pDef);
        ASSERT_EQ(Vid_GetChaseKeyCount(x), Vid_GetChaseKeyCount(y));
        for (const CHASEKEY *kx = x->pKeys, *ky = y->pKeys; kx && ky; kx = kx->pNext, ky = ky->pNext) {
            EXPECT_EQ(kx->sTime, ky->sTime);
            EXPECT_EQ(kx->uMask, ky->uMask);
            for (int32_t ch = 0; ch < x->pDef->sChannelCount; ch++)
                if (kx->uMask >> ch & 1) {
                    EXPECT_EQ(Vid_KeyValue(x, kx, ch), Vid_KeyValue(y, ky, ch)) << i << "," << ch;
                }
        }
    }
    // The same image written again: the same bytes.
    EXPECT_EQ(Vid_WriteClipImage(g_pLoadedClip), image);
    Vid_DestroyClip(g_pLoadedClip);

    // Not an image, cut short, or damaged: refused or partly made, never read past the end.
    EXPECT_EQ(Vid_LoadClipImage(nullptr, 0), 4);
    const std::vector<uint8_t> foreign = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 12, 0, 0, 0};
    EXPECT_EQ(Vid_LoadClipImage(foreign.data(), foreign.size()), 4);
    const int32_t clips = g_iClipCount;
    for (size_t cut = 0; cut < image.size(); cut += 7) {
        std::vector<uint8_t> part(image.begin(), image.begin() + static_cast<long>(cut));
        EXPECT_NE(Vid_LoadClipImage(part.data(), part.size()), 0) << cut;
    }
    for (size_t at = 12; at < image.size(); at += 5) {
        std::vector<uint8_t> bad = image;
        bad[at] ^= 0xA5;
        g_pLoadedClip = nullptr;
        Vid_LoadClipImage(bad.data(), bad.size());
        if (g_pLoadedClip)
            Vid_DestroyClip(g_pLoadedClip);
    }
    EXPECT_EQ(g_iClipCount, clips);
}
