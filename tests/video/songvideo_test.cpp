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
#include "video/chasepack.h"
#include "video/chasetypes.h"
#include "video/videorebuild.h"

#include "audio/mixer.h"
#include "core/browser.h"
#include "sequencer/songcontrol.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// ---- Chase records of older song versions ----

namespace {

struct RecordValue
{
    int32_t channel, bits, value;
};

// A stored chase record: header (6 bytes below version 7, else 8) with one key at time 10 holding
// the given channels, values bit-packed at the given widths.
Bytes OldRecord(int32_t version, int32_t storedId, const std::vector<RecordValue> &values)
{
    Bytes r = {(uint8_t)storedId, (uint8_t)(storedId >> 8), 0, 0, 1, 1};
    if (version >= 7) {
        r.push_back(0);
        r.push_back(5);
    }
    uint32_t mask = 0;
    for (const RecordValue &v : values)
        mask |= 1u << v.channel;
    for (uint32_t b : {10u, 0u, mask & 255, mask >> 8})
        r.push_back((uint8_t)b);
    uint64_t acc = 0;
    int32_t have = 0;
    // Values go in channel order, as the reader takes them.
    std::vector<RecordValue> sorted = values;
    std::sort(sorted.begin(), sorted.end(), [](auto &a, auto &b) { return a.channel < b.channel; });
    for (const RecordValue &v : sorted) {
        acc |= (uint64_t)((uint32_t)v.value & ((1u << v.bits) - 1)) << have;
        have += v.bits;
    }
    for (; have > 0; have -= 8, acc >>= 8)
        r.push_back((uint8_t)acc);
    while (r.size() & 3)
        r.push_back(0);
    return r;
}

} // namespace

TEST_F(SongVideo, OlderChaseRecordsUnpackWithTheirOwnWidthsAndSaveWithTodays)
{
    struct Case
    {
        const char *what;
        int32_t version, storedId;
        std::vector<RecordValue> stored;
        std::vector<std::pair<int32_t, int32_t>> expect; // channel, value in the key
    } cases[] = {
        // Version 5: the camera's face channel had 1 bit, the rotation's speed 4 (doubled since).
        {"v5 camera", 5, 6, {{3, 4, 9}, {8, 1, 1}}, {{3, 9}, {8, 1}}},
        {"v5 rotation", 5, 3, {{0, 9, 5}, {2, 4, 13}}, {{0, 5}, {2, 26}}},
        // Below 12: the background has a third channel of 1 bit, dropped.
        {"v11 background", 11, 2, {{0, 16, 0xFFFF}, {2, 1, 1}}, {}},
        // Below 13: the camera's and the path's speed had 4 bits.
        {"v12 camera", 12, 6, {{3, 4, 14}, {6, 4, 3}}, {{3, 14}, {6, 3}}},
        {"v12 path", 12, 5, {{3, 4, 11}, {5, 4, 7}}, {{3, 11}, {5, 7}}},
        // From 13 the camera speed has its 5 bits.
        {"v13 camera", 13, 6, {{3, 5, 21}, {6, 4, 3}}, {{3, 21}, {6, 3}}},
        // Below 17 the spine switch's model channel is cleared.
        {"v16 spine", 16, 14, {{0, 1, 1}, {1, 1, 1}}, {{0, 1}, {1, 0}}},
        {"v17 spine", 17, 14, {{0, 1, 1}, {1, 1, 1}}, {{0, 1}, {1, 1}}},
    };
    for (const Case &c : cases) {
        const Bytes record = OldRecord(c.version, c.storedId, c.stored);
        g_iSongFormatVersion = c.version;
        const VIDLOADMAP map{nullptr, 0, (uint32_t)c.version};
        EXPECT_EQ(Vid_ChaseRecordSize(record.data(), record.size()), record.size()) << c.what;
        // The record cut by a byte does not fit.
        EXPECT_EQ(Vid_ChaseRecordSize(record.data(), record.size() - 1), 0u) << c.what;
        CHASE *chase = Vid_UnpackChase(record.data(), record.size(), &map);
        g_iSongFormatVersion = SONG_FORMAT_VERSION;
        ASSERT_NE(chase, nullptr) << c.what;
        EXPECT_EQ(chase->ucDuration, c.version >= 11 ? 5 : 1) << c.what;
        const CHASEKEY *key = Vid_FindKeyNode(chase, 10);
        ASSERT_TRUE(key && key->sTime == 10) << c.what;
        for (const auto &[channel, value] : c.expect) {
            ASSERT_TRUE(key->uMask >> channel & 1) << c.what << " channel " << channel;
            EXPECT_EQ(Vid_KeyValue(chase, key, channel), value) << c.what << " channel " << channel;
        }
        EXPECT_LT(key->uMask, 1u << chase->pDef->sChannelCount) << c.what;
        // Written again, the record has today's widths, and reads back as it was.
        Bytes again;
        const uint32_t size = Vid_PackChase(chase, &again);
        EXPECT_EQ(size, Vid_PackedChaseSize(chase)) << c.what;
        CHASE *back = Vid_UnpackChase(again.data(), again.size(), nullptr);
        ASSERT_NE(back, nullptr) << c.what;
        Bytes third;
        Vid_PackChase(back, &third);
        EXPECT_EQ(third, again) << c.what;
        Vid_FreeChase(back);
        Vid_FreeChase(chase);
    }
    // A background record below 12 naming the third channel is 1 bit longer per key than today's
    // two channels; from 12 on the third channel does not exist.
    const Bytes back11 = OldRecord(11, 2, {{0, 16, 0xFFFF}, {2, 1, 1}});
    g_iSongFormatVersion = 12;
    EXPECT_EQ(Vid_ChaseRecordSize(back11.data(), back11.size()), 0u);
    g_iSongFormatVersion = SONG_FORMAT_VERSION;
    EXPECT_EQ(Vid_StoredChannelBits(6, 8, 5), 1);
    EXPECT_EQ(Vid_StoredChannelBits(6, 8, 6), -1);
    EXPECT_EQ(Vid_StoredChannelBits(2, 2, 11), 1);
    EXPECT_EQ(Vid_StoredChannelBits(6, 3, 13), -1);
}

// ---- The older whole-video block ----

namespace {

struct OldChase
{
    uint32_t type, duration, row;
    std::vector<Bytes> keys;
};
struct OldEntry
{
    int16_t chase, start, length;
};

void Put32(Bytes *b, uint32_t v)
{
    for (int32_t i = 0; i < 4; i++)
        b->push_back((uint8_t)(v >> (8 * i)));
}

Bytes OldVideoBlock(const std::vector<OldChase> &chases, const std::vector<OldEntry> &entries)
{
    Bytes b;
    Put32(&b, (uint32_t)chases.size());
    for (const OldChase &c : chases) {
        b.insert(b.end(), 12, 0xEE); // not read
        Put32(&b, c.type);
        Put32(&b, c.duration);
        Put32(&b, c.row);
        Put32(&b, 0);
        Put32(&b, (uint32_t)c.keys.size());
        for (const Bytes &k : c.keys)
            b.insert(b.end(), k.begin(), k.end());
    }
    Put32(&b, (uint32_t)entries.size());
    for (const OldEntry &e : entries)
        for (int16_t v : {e.chase, e.start, e.length, (int16_t)0}) {
            b.push_back((uint8_t)v);
            b.push_back((uint8_t)((uint16_t)v >> 8));
        }
    return b;
}

// A saved song with the block added as its "VI" chunk.
Bytes WithOldVideo(Bytes image, const Bytes &block)
{
    Bytes body = block;
    while (body.size() & 3)
        body.push_back(0);
    image.push_back('V');
    image.push_back('I');
    image.push_back((uint8_t)(body.size() / 4));
    image.push_back((uint8_t)(body.size() / 4 >> 8));
    image.insert(image.end(), body.begin(), body.end());
    const uint32_t total = (uint32_t)image.size();
    for (int32_t i = 0; i < 4; i++)
        image[8 + i] = (uint8_t)(total >> (8 * i));
    return image;
}

Bytes Key(std::initializer_list<uint8_t> bytes) { return Bytes(bytes); }

// Old keys without archive resources: particles (objects), scale, rotation and colour
// (modifiers), the scale-and-tint effect (a background key whose first byte is 8).
const Bytes kParticle = Key({3, 0x25, 0x01, 0});
const Bytes kScale = Key({10, 20, 30, 1});
const Bytes kColour = Key({40, 1, 0, 0});
const Bytes kTint = Key({8, 0, 0, 0, 0, 0, 0, 0});

} // namespace

class OldVideo : public SongVideo
{
protected:
    static std::string LaneRuns(int32_t lane)
    {
        std::string text;
        for (int32_t p = 0; p < VID_POSITIONS; p++) {
            const VIDCLIP *clip = Vid_GetLaneClipAt(lane, p);
            if (!clip)
                continue;
            int32_t end = p;
            while (end + 1 < VID_POSITIONS && Vid_GetLaneClipAt(lane, end + 1) == clip)
                end++;
            text += std::to_string(p) + "-" + std::to_string(end) + ":";
            for (const VIDCLIPENTRY *e = clip->pFirst; e; e = e->pNext)
                text += std::to_string(e->pChase->pDef->uStoredId) + ",";
            text += " ";
            p = end;
        }
        return text;
    }
    Bytes SongWithRiff()
    {
        const int32_t riff = Seq_NewRiff(1, 1);
        EXPECT_GT(riff, 0);
        Seq_PlaceRiff(riff, 3, 2, 0, 1);
        return Save();
    }
};

TEST_F(OldVideo, ChasesBecomeClipsGroupedByPositionOnTheLanes)
{
    const Bytes song = SongWithRiff();
    const Bytes block = OldVideoBlock(
        {
            {4, 7, 0, {kParticle}},                         // 1 object
            {8, 3, 2, {kScale, kScale, kScale, kScale}},    // 2 modifier, four keys
            {4, 7, 0, {kParticle}},                         // 3 object
            {5, 2, 0, {Key({0, 0x05, 0, 0, 0, 0, 0, 0})}},  // 4 camera
            {2, 1, 0, {kTint}},                             // 5 screen effect
            {10, 1, 0, {kColour}},                          // 6 modifier
        },
        {
            {1, 0, 10}, // object with its modifier, one block of 10
            {2, 0, 10},
            {3, 0, 5},  // a second object at the same positions: the next lane
            {4, 2, 3},  // camera on lane 4
            {5, 6, 3},  // effect on lane 5
            {6, 12, 2}, // a modifier with no object: dropped
        });
    const Bytes image = WithOldVideo(song, block);
    std::string info;
    Seq_DescribeExtraChunks(image.data(), image.size(), &info);
    EXPECT_NE(info.find("old video block: " + std::to_string(block.size()) + " bytes, 6 chases"), std::string::npos)
        << info;
    ASSERT_EQ(Seq_LoadSongImage(image.data(), image.size()), 0)
        << "a block that holds together loads without anything missing";
    EXPECT_EQ(g_aSongGrid[3][2] & SEQ_CELL_ID_MASK, 1);
    EXPECT_EQ(LaneRuns(0), "0-9:9,4, ");
    EXPECT_EQ(LaneRuns(1), "0-4:9, ");
    EXPECT_EQ(LaneRuns(4), "2-4:6, ");
    EXPECT_EQ(LaneRuns(5), "6-8:17, ");
    for (int32_t lane : {2, 3, 6})
        EXPECT_EQ(LaneRuns(lane), "") << lane;
    EXPECT_EQ(g_iVideoEnd, 10);
    // The modifier's keys at i x 255 / 4, stepping through them, its trigger row 2 as source 3.
    const VIDCLIP *clip = Vid_GetLaneClipAt(0, 0);
    ASSERT_TRUE(clip && clip->pFirst && clip->pFirst->pNext);
    const CHASE *scale = clip->pFirst->pNext->pChase;
    std::vector<int32_t> times;
    for (int32_t i = 0; i < Vid_GetChaseKeyCount(scale); i++)
        times.push_back(Vid_GetChaseKeyTime(scale, i));
    EXPECT_EQ(times, (std::vector<int32_t>{0, 63, 127, 191}));
    EXPECT_EQ(scale->ucMode, 1);
    EXPECT_EQ(scale->ucTrigA, 3);
    EXPECT_EQ(scale->ucDuration, 3);
    EXPECT_TRUE(scale->uFlags & CHASEFLAG_ANIMATE);
    // The same object at every position is one clip, not ten.
    EXPECT_EQ(Vid_GetLaneClipAt(0, 9), clip);

    // Saved in today's layout, it loads and saves again byte for byte.
    const Bytes first = Save();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(Find(first, "VI"), 0u);
    const std::string before = Describe();
    ASSERT_EQ(Seq_LoadSongImage(first.data(), first.size()), 0);
    EXPECT_EQ(Describe(), before);
    EXPECT_EQ(FirstDiff(Save(), first), -1);
}

TEST_F(OldVideo, EachOldTypeDecodesItsKeyBits)
{
    struct Case
    {
        const char *what;
        int32_t oldType, storedId;
        Bytes key;
        std::vector<std::pair<int32_t, int32_t>> expect; // channel, value in the key at time 0
    } cases[] = {
        // w = 0x0000B503: b0 3, bits 8-11 5, 12-14 3, 15-17 1.
        {"particle", 4, 9, Key({0x03, 0xB5, 0x00, 0x00}), {{0, 3}, {1, 6}, {3, 1}}},
        // w = 0x00003E05: axis 0x005 | (bit 9..12 = 0xF) ... axis w & 511, speed (w >> 9) & 15,
        // grouped bit 13, moving bit 14.
        {"rotation", 6, 3, Key({0x05, 0x7E, 0x00, 0x00}), {{0, 5}, {1, 1}, {2, 15}, {3, 1}}},
        {"scale", 8, 4, Key({1, 2, 3, 1}), {{0, 1}, {1, 2}, {2, 3}, {3, 1}}},
        {"colour", 10, 7, Key({77, 1, 0, 0}), {{0, 77}, {1, 1}, {2, 0}}},
        {"lighting", 9, 8, Key({11, 12, 13, 14, 20, 21, 22, 0}),
         {{3, 20}, {4, 21}, {5, 22}, {6, 11}, {7, 12}, {8, 13}, {9, 14}}},
        // w = amount 1 (bits 21-25) 4, colour 2 (bits 7-13) 9, colour 1 (0-6) 33, bits 26-30 10;
        // w2 = speed (bits 2-5) 6, mode (0-1) 2.
        {"palette", 13, 13, Key({0xA1, 0x04, 0x80, 0x28, 0x1A, 0, 0, 0, 0, 0, 0, 0}), {{0, 33}, {1, 4}, {2, 9}, {6, 6}, {8, 2}}},
        {"tint effect", 2, 17, kTint, {{0, 14}, {1, 1}, {2, 14}, {3, 14}, {4, 14}}},
    };
    for (const Case &c : cases) {
        ASSERT_EQ((size_t)Vid_OldChaseKeySize(c.oldType), c.key.size()) << c.what;
        Bytes record;
        Put32(&record, 9); // move duration
        Put32(&record, 0); // trigger row 0: source 0
        Put32(&record, 0);
        Put32(&record, 1);
        record.insert(record.end(), c.key.begin(), c.key.end());
        CHASE *chase = Vid_ConvertOldChase(c.oldType, record.data(), record.size());
        ASSERT_NE(chase, nullptr) << c.what;
        EXPECT_EQ(chase->pDef->uStoredId, c.storedId) << c.what;
        EXPECT_EQ(chase->ucDuration, 9) << c.what;
        EXPECT_EQ(chase->ucTrigA, 0) << c.what;
        // The values as the chase editor reads them back.
        int32_t values[VID_MAX_CHANNELS] = {};
        uint8_t states[VID_MAX_CHANNELS] = {};
        ASSERT_GE(Vid_GetChaseKey(chase, 0, values, states, nullptr, VID_MAX_CHANNELS), 0) << c.what;
        for (const auto &[channel, value] : c.expect)
            EXPECT_EQ(values[channel], value) << c.what << " channel " << channel;
        Vid_FreeChase(chase);
        // A record cut inside its key is refused.
        EXPECT_EQ(Vid_ConvertOldChase(c.oldType, record.data(), record.size() - 1), nullptr) << c.what;
    }
    EXPECT_EQ(Vid_OldChaseKeySize(0), 0);
    EXPECT_EQ(Vid_OldChaseKeySize(14), 0);
}

TEST_F(OldVideo, BrokenBlocksCostOnlyTheVideo)
{
    const Bytes song = SongWithRiff();
    const std::vector<OldChase> chases = {{4, 7, 0, {kParticle}}, {8, 3, 2, {kScale}}};
    const std::vector<OldEntry> entries = {{1, 0, 4}, {2, 0, 4}};
    const Bytes good = OldVideoBlock(chases, entries);
    struct Case
    {
        const char *what;
        size_t at;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"chase count past the block", 0, {0xFF, 0xFF, 0, 0}},
        {"unknown old type", 4 + 12, {14}},
        {"key count past the block", 4 + 28, {0, 0, 1, 0}},
        {"chase number 0", good.size() - 16, {0, 0}},
        {"chase number past the chases", good.size() - 16, {3, 0}},
        {"negative start", good.size() - 14, {0xFF, 0xFF}},
        {"a run past position 999", good.size() - 14, {0xE6, 0x03}},
        {"entry count past the block", good.size() - 20, {9}},
    };
    for (const Case &c : cases) {
        Bytes bad = good;
        std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + (long)c.at);
        const Bytes image = WithOldVideo(song, bad);
        EXPECT_EQ(Seq_LoadSongImage(image.data(), image.size()), 0x100 | SONGLOAD_MISSING) << c.what;
        EXPECT_EQ(g_aSongGrid[3][2] & SEQ_CELL_ID_MASK, 1) << c.what;
        for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
            EXPECT_EQ(LaneRuns(lane), "") << c.what;
        EXPECT_EQ(g_iChaseHighestId, -1) << c.what << ": nothing made is kept";
    }
    // Cut anywhere, never a crash and the music always loads.
    for (size_t cut = 0; cut < good.size(); cut += 2) {
        const Bytes image = WithOldVideo(song, Bytes(good.begin(), good.begin() + (long)cut));
        const int32_t r = Seq_LoadSongImage(image.data(), image.size());
        EXPECT_TRUE(r == 0 || r == (0x100 | SONGLOAD_MISSING)) << cut;
        EXPECT_EQ(g_aSongGrid[3][2] & SEQ_CELL_ID_MASK, 1) << cut;
    }
    const Bytes image = WithOldVideo(song, good);
    EXPECT_EQ(Seq_LoadSongImage(image.data(), image.size()), 0);
    EXPECT_EQ(LaneRuns(0), "0-3:9,4, ");
}

TEST_F(SongVideo, AChosenClipBringsOnlyItsOwnChases)
{
    Fill(0, 40, 6);
    ASSERT_EQ(Vid_BuildAutoVideo(20, 40, 0, 0), 1);
    std::memset(g_aSongGrid, 0, sizeof g_aSongGrid);
    const Bytes image = Save();
    ASSERT_FALSE(image.empty());
    Vid_ResetVideo();
    Vid_FreeAllClipsAndChases();
    const uint32_t mask = 1u << (CHUNK_CH - 1) | 1u << (CHUNK_CL - 1);
    CHUNKLOADCONTEXT load;
    ASSERT_EQ(Seq_LoadChunks(image.data(), image.size(), mask, 0, 0, &load), 0);
    Seq_SetUsageSlot(&load.ctx, 3, CHUNK_CL);
    Seq_MarkBit(Seq_GetUsageBitmap(&load.ctx, CHUNK_CL), 1); // the second clip alone
    ASSERT_EQ(Seq_FinishLoad(mask, &load), 0);
    int32_t clips = 0, chases = 0;
    const VIDCLIP *made = nullptr;
    for (int32_t id = 0; id <= g_iClipHighestId; id++)
        if (const VIDCLIP *c = Vid_GetClip(id)) {
            clips++;
            made = c;
        }
    for (int32_t id = 0; id <= g_iChaseHighestId; id++)
        chases += Vid_GetChase(id) ? 1 : 0;
    ASSERT_EQ(clips, 1);
    EXPECT_EQ(chases, made->sEntryCount);
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
        EXPECT_EQ(Vid_GetLaneClipAt(lane, 0), nullptr) << "placements not chosen";
}
