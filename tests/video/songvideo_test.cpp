// Songs with video: the video chunks round trip byte for byte (past position 24 too), the lanes,
// clips, keys and resources come back, and broken video chunks cost only the video.
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

#include "audio/mixer.h"
#include "core/browser.h"
#include "sequencer/songcontrol.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

class SongVideo : public ::testing::Test
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
        Snd_InitSampleEngine(64);
        g_bTaggedSongFile = 1;
        Seq_Init();
        Seq_NewSong();
    }
    void TearDown() override
    {
        Seq_NewSong();
        Snd_ShutdownSampleEngine();
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
    static void Fill(int32_t from, int32_t to, int32_t n)
    {
        for (int32_t r = from; r < to; r++)
            for (int32_t c = 0; c < n; c++)
                g_aSongGrid[r][c] = 1;
    }
    static Bytes Save() { return Seq_SaveSongImage(SONGPART_SONG | SONGPART_VIDEO, "Tester"); }
    // Every lane position: the clip's name and its chases with their keys and values.
    static std::string Describe()
    {
        std::string text;
        for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
            for (int32_t p = 0; p < VID_POSITIONS; p++) {
                const VIDCLIP *clip = Vid_GetLaneClipAt(lane, p);
                if (!clip)
                    continue;
                text += std::to_string(lane) + "@" + std::to_string(p) + " " + clip->szName + ":";
                for (const VIDCLIPENTRY *e = clip->pFirst; e; e = e->pNext) {
                    const CHASE *c = e->pChase;
                    text += std::to_string(c->pDef->uStoredId) + "/" + std::to_string(c->ucTrigA) + "/" +
                            std::to_string(c->ucMode) + "[";
                    for (const CHASEKEY *k = c->pKeys; k; k = k->pNext) {
                        text += std::to_string(k->sTime) + ":";
                        for (int32_t ch = 0; ch < c->pDef->sChannelCount; ch++)
                            if (k->uMask >> ch & 1) {
                                int32_t v = Vid_KeyValue(c, k, ch);
                                char path[16] = {};
                                // Resources by where they are in the archive, not by id.
                                if (v > 0 && c->pDef->mark) {
                                    uint32_t bits[2048] = {};
                                    c->pDef->mark(v, ch, bits);
                                    // Hidden channels hold a resource the type finds itself.
                                    if ((bits[v >> 5] >> (v & 31) & 1) || c->pDef->pChannels[ch].ucKind == 8)
                                        Vid_GetResPath(v, path);
                                }
                                text += path[0] ? std::string(path) : std::to_string(v);
                                text += ",";
                            }
                    }
                    text += "]";
                }
                text += "\n";
            }
        return text;
    }
    // Where two texts part, with a little of each.
    static std::string Parting(const std::string &a, const std::string &b)
    {
        size_t i = 0;
        while (i < a.size() && i < b.size() && a[i] == b[i])
            i++;
        const size_t from = i > 120 ? i - 120 : 0;
        return "at " + std::to_string(i) + ":\n" + a.substr(from, 240) + "\n---\n" + b.substr(from, 240);
    }
    static long FirstDiff(const Bytes &a, const Bytes &b)
    {
        for (size_t i = 0; i < std::min(a.size(), b.size()); i++)
            if (a[i] != b[i])
                return (long)i;
        return a.size() == b.size() ? -1 : (long)std::min(a.size(), b.size());
    }
    static size_t Find(const Bytes &b, const char *tag)
    {
        // Chunks start on 4-byte boundaries.
        for (size_t at = 12; at + 8 <= b.size(); at += 4)
            if (b[at] == (uint8_t)tag[0] && b[at + 1] == (uint8_t)tag[1])
                return at;
        return 0;
    }
};

} // namespace

TEST_F(SongVideo, AnAutoVideoRoundTripsByteForBytePastPosition24)
{
    Fill(0, 16, 4);
    Fill(16, 32, 20);
    Fill(32, 64, 8);
    ASSERT_EQ(Vid_BuildAutoVideo(20, 40, 0, 0), 1);
    std::memset(g_aSongGrid, 0, sizeof g_aSongGrid);
    // And one clip at the very end of the lanes.
    VIDCLIP *last = Vid_GetLaneClipAt(4, 0);
    ASSERT_NE(last, nullptr);
    ASSERT_EQ(Vid_PlaceClipRun(4, 990, 10, last), 0);
    const std::string before = Describe();
    ASSERT_NE(before.find("0@50 "), std::string::npos);
    ASSERT_NE(before.find("4@999 "), std::string::npos);

    const Bytes first = Save();
    ASSERT_FALSE(first.empty());
    std::string text;
    Seq_DescribeExtraChunks(first.data(), first.size(), &text);
    EXPECT_NE(text.find("to position 1000"), std::string::npos) << text;

    Vid_ResetVideo();
    ASSERT_EQ(Describe(), "");
    ASSERT_EQ(Seq_LoadSongImage(first.data(), first.size()), 0);
    const std::string after = Describe();
    EXPECT_TRUE(after == before) << Parting(before, after);
    EXPECT_EQ(g_iVideoEnd, 1000);
    const Bytes second = Save();
    EXPECT_EQ(FirstDiff(second, first), -1);
    ASSERT_EQ(Seq_LoadSongImage(second.data(), second.size()), 0);
    EXPECT_EQ(FirstDiff(Save(), first), -1);
}

TEST_F(SongVideo, BrokenVideoChunksCostOnlyTheVideo)
{
    Fill(0, 40, 6);
    ASSERT_EQ(Vid_BuildAutoVideo(20, 40, 0, 0), 1);
    std::memset(g_aSongGrid, 0, sizeof g_aSongGrid);
    const int32_t riff = Seq_NewRiff(1, 1);
    ASSERT_GT(riff, 0);
    Seq_PlaceRiff(riff, 3, 2, 0, 1);
    const Bytes good = Save();
    ASSERT_FALSE(good.empty());
    const size_t ch = Find(good, "CH"), cl = Find(good, "CL"), vd = Find(good, "VD"), re = Find(good, "RE");
    ASSERT_TRUE(ch && cl && vd && re);
    struct Case
    {
        const char *what;
        size_t at;
        uint8_t value;
    } cases[] = {
        {"unknown chase type", ch + 8, 99},
        {"chase key time past 255", ch + 8 + 9, 1},
        {"clip naming a chase past CH", cl + 8 + 16 + 1, 0x7F},
        {"clip count past the body", cl + 4 + 1, 0x70},
        {"placement on lane 9", vd + 8 + 6, 9},
        {"placement naming no clip", vd + 8 + 1, 0x7F},
        {"placement past 999", vd + 8 + 3, 0x7F},
        {"resource of no archive entry", re + 8 + 4 + 4, 'z'},
    };
    for (const Case &c : cases) {
        Bytes bad = good;
        bad[c.at] = c.value;
        const int32_t r = Seq_LoadSongImage(bad.data(), bad.size());
        EXPECT_EQ(r, 0x100 | SONGLOAD_MISSING) << c.what;
        EXPECT_EQ(g_aSongGrid[3][2] & SEQ_CELL_ID_MASK, 1) << c.what; // the music is all there
        // What did load saves and loads again cleanly.
        const Bytes again = Save();
        ASSERT_FALSE(again.empty()) << c.what;
        EXPECT_EQ(Seq_LoadSongImage(again.data(), again.size()), 0) << c.what;
        EXPECT_EQ(FirstDiff(Save(), again), -1) << c.what;
    }
    // RE also names the song's library instruments: a broken layout refuses the whole image and
    // leaves the song as it was.
    {
        Bytes bad = good;
        bad[re + 4] = 9; // resource groups past the body
        EXPECT_EQ(Seq_LoadSongImage(bad.data(), bad.size()) & 0x100, 0);
        EXPECT_EQ(g_aSongGrid[3][2] & SEQ_CELL_ID_MASK, 1);
        EXPECT_EQ(FirstDiff(Save(), good), -1);
    }
    // Any byte of the video chunks damaged: never a crash, the music always loads.
    std::vector<size_t> video;
    for (size_t at = re; at < re + 8 + 4 + 12 * 4; at++)
        video.push_back(at);
    for (size_t at = std::min({ch, cl, vd}); at < good.size(); at += 3)
        video.push_back(at);
    for (size_t at : video) {
        Bytes bad = good;
        bad[at] ^= 0x5A;
        const int32_t r = Seq_LoadSongImage(bad.data(), bad.size());
        if (r == 0 || (r & 0x100)) {
            EXPECT_EQ(g_aSongGrid[3][2] & SEQ_CELL_ID_MASK, 1) << at;
        }
    }
}
