// Song images: golden bytes of the empty song, round trips of a table of songs, broken files that
// are refused with the current song untouched, loads of chosen riffs and loads at an insert row.
#include "seqfixture.h"
#include "support/tempdir.h"

#include "audio/import.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "core/browser.h"
#include "core/disc.h"
#include "sequencer/eventlists.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/instruments.h"
#include "sequencer/samples.h"
#include "tools/demosong.h"
#include "tools/riffcontent.h"
#include "app/timers.h"
#include "sequencer/playback.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

uint16_t R16(const Bytes &b, size_t at) { return (uint16_t)(b[at] | b[at + 1] << 8); }
// Offset of the first byte where two images differ, or -1 when they are equal.
long FirstDiff(const Bytes &a, const Bytes &b)
{
    for (size_t i = 0; i < std::min(a.size(), b.size()); i++)
        if (a[i] != b[i])
            return (long)i;
    return a.size() == b.size() ? -1 : (long)std::min(a.size(), b.size());
}

uint32_t R32(const Bytes &b, size_t at) { return (uint32_t)R16(b, at) | (uint32_t)R16(b, at + 2) << 16; }

class SongFile : public SeqModel
{
protected:
    void SetUp() override
    {
        SeqModel::SetUp();
        Snd_InitSampleEngine(64);
        g_bTaggedSongFile = 1;
        Seq_Init();
        Seq_NewSong();
    }
    void TearDown() override
    {
        Seq_NewSong();
        g_bTaggedSongFile = 1;
        g_iSongInsertRow = -1;
        Snd_ShutdownSampleEngine();
        SeqModel::TearDown();
    }
    static Bytes Save() { return Seq_SaveSongImage(SONGPART_SONG, "Tester"); }
    static int32_t Load(const Bytes &b) { return Seq_LoadSongImage(b.data(), b.size()); }

    // A riff of the given size with a note every `every` steps on each track.
    static int32_t MakeRiff(int32_t bars, int32_t tracks, int32_t every, int32_t pitchBase = 48)
    {
        const int32_t riff = Seq_NewRiff(bars, tracks);
        if (riff <= 0)
            return riff;
        for (int32_t t = 0; t < tracks; t++)
            for (int32_t s = 0; s < bars * 16; s += every) {
                const int32_t note = Note(pitchBase + (s + t) % 24, 1, 100 + t);
                if (note > 0) {
                    Seq_SetRiffNote(riff, s, t, note, 1, 0, 0);
                }
            }
        return riff;
    }
};

TEST_F(SongFile, EmptySongGoldenBytes)
{
    const Bytes a = Save();
    ASSERT_EQ(a.size(), 168u);
    EXPECT_EQ(std::memcmp(a.data(), "H2", 2), 0);
    EXPECT_EQ(R16(a, 2), 3);
    EXPECT_EQ(R32(a, 4), 0x00400F11u); // version 17, H2 AU CN DS and SN present
    EXPECT_EQ(R32(a, 8), 168u);
    EXPECT_EQ(std::memcmp(a.data() + 12, "AU\x01\x00Tester", 10), 0);
    EXPECT_EQ(std::memcmp(a.data() + 48, "CN\x07\x00", 4), 0);
    EXPECT_EQ(std::memcmp(a.data() + 76, "DS\x07\x00\x01\x00\x00\x00\x00TONNIVELLE", 20), 0);
    EXPECT_EQ(std::memcmp(a.data() + 104, "SN\x10\x00\x07\x00\x00\x00", 8), 0);
    const uint16_t entries[7][4] = {{0, 99, 130, 1},  {0, 99, 130, 1},  {0, 100, 100, 1}, {0, 100, 100, 1},
                                    {0, 101, 50, 1},  {0, 101, 50, 5},  {0, 102, 0, 0}};
    for (int i = 0; i < 7; i++)
        for (int k = 0; k < 4; k++)
            EXPECT_EQ(R16(a, 112 + 8 * i + 2 * k), entries[i][k]) << "entry " << i << " field " << k;

    g_bTaggedSongFile = 0;
    const Bytes u = Save();
    ASSERT_EQ(u.size(), 140u); // SN of 7 four-byte entries
    EXPECT_EQ(R16(u, 112), (uint16_t)(0 | 24 << 11));
    EXPECT_EQ(R16(u, 114), (uint16_t)(130 | 1 << 11));
    EXPECT_EQ(R16(u, 112 + 4 * 5 + 2), (uint16_t)(50 | 5 << 11));
    EXPECT_EQ(R16(u, 112 + 4 * 6), (uint16_t)(0 | 27 << 11));
}

// One small record of every music chunk, byte for byte as the format lays them out.
TEST_F(SongFile, OneRecordOfEachChunkGoldenBytes)
{
    for (int32_t tagged = 1; tagged >= 0; tagged--) {
        SCOPED_TRACE(tagged ? "tagged" : "untagged");
        Seq_NewSong();
        g_bTaggedSongFile = tagged;
        const uint8_t sound[8] = {1, 0, 2, 0, 3, 0, 4, 0};
        ASSERT_EQ(Snd_ImportRawSample("tick", sound, 8, 44100), 1);
        std::memset(g_aSamples[1].szName, 0, 20);
        std::memcpy(g_aSamples[1].szName, "Tick", 4);
        const uint16_t amp[3] = {0x00FF, 0x1DFF, 0x8F00}, flat[2] = {0x6000, 0x60FF};
        const int32_t a = Seq_AddParamList(3, amp, 7, 0), f = Seq_AddParamList(2, flat, 9, 0);
        Seq_AddParamListRef(f);
        const int32_t note = Seq_FindOrAddNote(1, 5, 0, 2, 200, 0x40, 3, 0x80, 0, 28, a, f, f, 5, 6, 0, 1);
        ASSERT_GT(note, 0);
        const int32_t riff = Seq_NewRiff(1, 1);
        *Seq_RiffCell(Seq_GetRiff(riff), 3, 0) = (uint16_t)note;
        Seq_SetRiffName(riff, "Tock");
        Seq_SetRiffType(riff, 2);
        Seq_PlaceRiff(riff, 2, 5, 0, 1);
        ASSERT_GE(Seq_SetTrackEntry(3, 2, 30, 60, 7, 0x12, 0x34, 0x56, 0x78, LIST_EFFECT), 0);
        const Bytes img = Save();
        ASSERT_FALSE(img.empty());
        EXPECT_EQ(R32(img, 4), 0x0043EF11u); // H2 AU CN DS EN SP IN NO RI SN
        EXPECT_EQ(R32(img, 8), (uint32_t)img.size());
        size_t at = 104;
        auto chunk = [&](const char *tag, const Bytes &body, uint32_t count) {
            SCOPED_TRACE(tag);
            ASSERT_LE(at + 8 + body.size(), img.size());
            EXPECT_EQ(std::memcmp(img.data() + at, tag, 2), 0);
            EXPECT_EQ(R16(img, at + 2), (uint16_t)((body.size() + 11) >> 2));
            EXPECT_EQ(R32(img, at + 4), count);
            EXPECT_EQ(Bytes(img.begin() + (ptrdiff_t)at + 8, img.begin() + (ptrdiff_t)(at + 8 + body.size())), body);
            at += 8 + body.size();
        };
        chunk("EN", {3, 0xFF, 0x00, 0xFF, 0x1D, 0x00, 0x8F, 7, 0, 0, 0, 0, 2, 0x00, 0x60, 0xFF, 0x60, 9, 0, 0}, 2);
        Bytes tick = {'T', 'i', 'c', 'k', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 3, 0, 4, 0};
        Bytes sp = tagged ? Bytes{4, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF} : Bytes{0, 8, 0, 0};
        sp.insert(sp.end(), tick.begin(), tick.end());
        chunk("SP", sp, 1);
        chunk("IN", {0, 0, 2, 0}, 1);
        Bytes no = tagged ? Bytes{28, 0, 0, 0} : Bytes{2, 0};
        const Bytes noRest = {0, 60, 2, 200, 3, 0x80, 0, 0x40, 5, 6, 0, 0, 1, 0, 1, 0};
        no.insert(no.end(), noRest.begin(), noRest.end());
        while (no.size() % 4)
            no.push_back(0);
        chunk("NO", no, 1);
        Bytes ri = {'C', 0, 255, 255, 1, 1, 2, 0, 0, 0, 0, 0, 'T', 'o', 'c', 'k', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                    1, 3, 1, 0};
        chunk("RI", ri, 1);
        const uint16_t sn[12][4] = {{2, 5, 0, 0},       {0, 99, 130, 1},     {0, 99, 130, 1},   {0, 100, 100, 1},
                                    {0, 100, 100, 1},   {0, 101, 50, 1},     {0, 101, 50, 5},   {3, 101, 30, 2},
                                    {3, 101, 60, 7},    {0x12, 101, 0x34, 2}, {0x5600, 101, 0x7800, 7}, {0, 102, 0, 0}};
        Bytes body;
        for (const auto &e : sn) {
            uint16_t w[4] = {e[0], e[1], e[2], e[3]};
            if (!tagged) {
                const uint16_t column = (uint16_t)(e[1] >= 99 ? e[1] - 75 : e[1]);
                const uint16_t row = e[0] >= 0x100 ? (uint16_t)(e[0] >> 8) : e[0];
                const uint16_t value = e[2] >= 0x100 ? (uint16_t)(e[2] >> 8) : e[2];
                w[0] = (uint16_t)(row | column << 11);
                w[1] = (uint16_t)(value | e[3] << 11);
            }
            for (int k = 0; k < (tagged ? 4 : 2); k++) {
                body.push_back((uint8_t)w[k]);
                body.push_back((uint8_t)(w[k] >> 8));
            }
        }
        chunk("SN", body, 12);
        EXPECT_EQ(at, img.size());
        // And back: the image loads and saves to itself.
        ASSERT_EQ(Load(img), 0);
        EXPECT_EQ(FirstDiff(Save(), img), -1);
        EXPECT_MODEL_WHOLE();
    }
}

TEST_F(SongFile, SongsRoundTripByteForByte)
{
    struct Case
    {
        const char *name;
        std::function<void()> build;
        bool tagged;
    };
    const Case cases[] = {
        {"empty", [] {}, true},
        {"one sparse riff",
         [] {
             const int32_t r = MakeRiff(2, 3, 5);
             Seq_PlaceRiff(r, 0, 0, 0, 1);
         },
         true},
        {"full riff, runs of 32 and 8 copies",
         [] {
             const int32_t r = MakeRiff(1, 2, 1);
             for (int32_t row = 0; row < 40; row++)
                 Seq_PlaceRiff(r, row, 5, 0, 1);
         },
         true},
        {"8-bar 12-track riffs, many notes (three-byte items)",
         [] {
             for (int32_t i = 0; i < 4; i++) {
                 const int32_t r = MakeRiff(8, 12, 3, 24 + 12 * i);
                 Seq_PlaceRiff(r, 8 * i, 12 * i, 0, 1);
             }
         },
         true},
        {"linked riffs and a riff off the grid",
         [] {
             const int32_t a = MakeRiff(1, 1, 4), b = MakeRiff(1, 1, 8), c = MakeRiff(2, 1, 2);
             Seq_LinkRiffAfter(a, b);
             Seq_PlaceRiff(a, 3, 0, 0, 1);
             Seq_PlaceRiff(b, 3, 2, 0, 1);
             (void)c;
         },
         true},
        {"event lists with ramps and effect types 5 and 7",
         [] {
             Seq_SetTrackEntry(4, 4, 120, 160, 0, 0, 0, 0, 0, LIST_TEMPO);
             Seq_SetTrackEntry(6, 3, 70, 100, 0, 0, 0, 0, 0, LIST_VOLUME);
             Seq_SetTrackEntry(2, 2, 30, 60, 7, 12, 34, 56, 78, LIST_EFFECT);
             Seq_SetTrackEntry(9, 1, 40, 40, 5, 0, 0, 0, 0, LIST_EFFECT);
             Seq_SetTrackEntry(5, 1, 3, 1, 0, 0, 0, 0, 0, LIST_KEY);
         },
         true},
        {"untagged riffs and grid",
         [] {
             const int32_t r = MakeRiff(2, 4, 2);
             Seq_PlaceRiff(r, 0, 20, 0, 1);
             Seq_PlaceRiff(r, 2, 20, 0, 1);
         },
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Seq_NewSong();
        g_bTaggedSongFile = c.tagged;
        c.build();
        EXPECT_MODEL_WHOLE();
        const Bytes a = Save();
        ASSERT_FALSE(a.empty());
        ASSERT_EQ(Load(a), 0);
        EXPECT_MODEL_WHOLE();
        const Bytes b = Save();
        EXPECT_EQ(FirstDiff(a, b), -1);
        ASSERT_EQ(Load(b), 0);
        EXPECT_EQ(Save(), b);
    }
}

TEST_F(SongFile, DemoSongRoundTrips)
{
    ASSERT_EQ(Content_BuildDemoSong(), 0);
    const Bytes a = Save();
    ASSERT_EQ(Load(a), 0);
    EXPECT_MODEL_WHOLE();
    const Bytes b = Save();
    EXPECT_EQ(FirstDiff(a, b), -1) << a.size() << " " << b.size();
    // The samples' chunk passes 256 KB: its length runs into the count word's upper half.
    bool extended = false;
    for (size_t at = 12; at + 8 <= a.size();) {
        const int32_t type = Seq_ChunkTypeOfTag(a.data() + at);
        if (type == CHUNK_SP)
            extended = (R32(a, at + 4) >> 16) != 0;
        const uint32_t step = Seq_ChunkStep(a.data() + at, a.size() - at, type < 0 ? 0 : type);
        ASSERT_GT(step, 0u);
        at += step;
    }
    EXPECT_TRUE(extended);
    ASSERT_EQ(Load(b), 0);
    EXPECT_EQ(FirstDiff(Save(), b), -1);
    EXPECT_EQ(Seq_CountUsedRows(), DEMO_ROWS);
}

// Every broken image is refused before anything changes: the song saves to the same bytes after.
TEST_F(SongFile, BrokenImagesLeaveTheSongAlone)
{
    const int32_t r = MakeRiff(2, 3, 2);
    Seq_PlaceRiff(r, 0, 0, 0, 1);
    Seq_SetTrackEntry(3, 2, 100, 140, 0, 0, 0, 0, 0, LIST_TEMPO);
    const Bytes good = Save();
    // A different current song, to see that nothing of it changes.
    Seq_NewSong();
    Seq_PlaceRiff(MakeRiff(1, 1, 4), 7, 7, 0, 1);
    const Bytes current = Save();

    auto refused = [&](const Bytes &bad, const std::string &why) {
        SCOPED_TRACE(why);
        const int32_t result = Seq_LoadSongImage(bad.data(), bad.size());
        EXPECT_TRUE(result == SONGLOAD_UNREADABLE || result == SONGLOAD_NO_IMAGE) << result;
        EXPECT_EQ(Save(), current);
    };
    for (size_t len = 0; len < good.size(); len++) {
        Bytes cut(good.begin(), good.begin() + (ptrdiff_t)len);
        refused(cut, "truncated at " + std::to_string(len));
    }
    // Chunk starts, to break fields at every chunk.
    std::vector<size_t> starts;
    for (size_t at = 12; at < good.size();) {
        starts.push_back(at);
        const int32_t type = Seq_ChunkTypeOfTag(good.data() + at);
        const uint32_t step = Seq_ChunkStep(good.data() + at, good.size() - at, type < 0 ? 0 : type);
        ASSERT_GT(step, 0u);
        at += step;
    }
    ASSERT_GE(starts.size(), 7u); // AU CN DS EN IN NO RI SN
    for (size_t at : starts) {
        const int32_t type = Seq_ChunkTypeOfTag(good.data() + at);
        if (type == CHUNK_AU || type == CHUNK_CN)
            continue;
        Bytes zero = good;
        zero[at + 2] = zero[at + 3] = 0;
        refused(zero, std::string("zero length of ") + g_aChunkTypes[type].tag);
        Bytes huge = good;
        huge[at + 2] = huge[at + 3] = 0xFF;
        refused(huge, std::string("huge length of ") + g_aChunkTypes[type].tag);
        if (type == CHUNK_DS)
            continue;
        Bytes count = good;
        count[at + 4] = count[at + 5] = 0xFF;
        refused(count, std::string("huge count of ") + g_aChunkTypes[type].tag);
        // Out-of-range save numbers in the first record's reference fields.
        Bytes ref = good;
        if (type == CHUNK_NO) {
            ref[at + 8 + 4] = 200; // instrument
            refused(ref, "instrument save number");
            ref = good;
            ref[at + 8 + 14] = 0xEE; // list A
            refused(ref, "list save number");
            ref = good;
            ref[at + 8 + 6] = 0xF0; // length: the note would run past its riff
            refused(ref, "note past the end of its riff");
            ref = good;
            ref[at + 8 + 6] = 0; // length 0
            refused(ref, "note of no length");
        } else if (type == CHUNK_RI) {
            ref[at + 8 + 4] = 9; // bars
            refused(ref, "nine bars");
            ref = good;
            ref[at + 8 + 0] = 'X';
            refused(ref, "coding byte");
            ref = good;
            ref[at + 8 + 8] = 0x44; // link
            refused(ref, "link save number");
        } else if (type == CHUNK_SN) {
            ref[at + 8 + 4] = 0x30; // first entry's riff save number
            refused(ref, "riff save number");
            ref = good;
            ref[at + 8] = 0xE7;
            ref[at + 9] = 0x03; // row 999
            refused(ref, "run past row 998");
        }
    }
    for (size_t extra = 1; extra < 4; extra++) {
        // A total that leaves a few bytes after the last whole chunk.
        Bytes odd(good.begin(), good.begin() + 104 + (ptrdiff_t)extra);
        const uint32_t total = (uint32_t)odd.size();
        std::memcpy(odd.data() + 8, &total, 4);
        refused(odd, "a tail of " + std::to_string(extra) + " bytes");
        std::string text;
        EXPECT_EQ(Seq_DescribeImage(odd.data(), odd.size(), &text), -1);
    }
    Bytes foreign = good;
    foreign[0] = 'X';
    refused(foreign, "foreign first chunk");
    Bytes total = good;
    total[8] = 0xFF;
    total[9] = 0xFF;
    refused(total, "total past the end");
    EXPECT_EQ(Seq_LoadSongImage(nullptr, 0), SONGLOAD_NO_IMAGE);
    EXPECT_MODEL_WHOLE();
}

// The untagged layout keeps a sample's byte length in 16 bits: a longer sample fails the save.
TEST_F(SongFile, UntaggedSaveRefusesALongSample)
{
    ASSERT_EQ(Content_BuildDemoSong(), 0);
    g_bTaggedSongFile = 0;
    CHUNKCONTEXT ctx;
    int32_t blocks = -1;
    EXPECT_EQ(Seq_PrepareSave(SONGPART_SONG, &blocks, &ctx), 0u);
    EXPECT_TRUE(Seq_SaveSongImage(SONGPART_SONG, "x").empty());
}

TEST_F(SongFile, UnknownAndLaterChunksAreSteppedOver)
{
    Seq_PlaceRiff(MakeRiff(1, 2, 4), 1, 1, 0, 1);
    const Bytes a = Save();
    // Put a chunk of an unknown tag and one of a later type ("JS") after DS.
    Bytes b(a.begin(), a.begin() + 104);
    const uint8_t extra[] = {'Z', 'Q', 3, 0, 1, 0, 0, 0, 9, 9, 9, 9, 'J', 'S', 2, 0, 0, 0, 0, 0};
    b.insert(b.end(), extra, extra + sizeof(extra));
    b.insert(b.end(), a.begin() + 104, a.end());
    const uint32_t size = (uint32_t)b.size();
    std::memcpy(b.data() + 8, &size, 4);
    ASSERT_EQ(Load(b), 0);
    EXPECT_EQ(Save(), a);
}

// An older whole-song block ("SO") has no layout this program knows: a load that asks for it
// loads the rest and says that something is missing; one that does not ask steps over it.
TEST_F(SongFile, AnOlderSongBlockIsReportedMissing)
{
    Seq_PlaceRiff(MakeRiff(1, 2, 4), 1, 1, 0, 1);
    const Bytes a = Save();
    Bytes b(a.begin(), a.begin() + 104);
    const uint8_t so[] = {'S', 'O', 2, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    b.insert(b.end(), so, so + sizeof(so));
    b.insert(b.end(), a.begin() + 104, a.end());
    const uint32_t size = (uint32_t)b.size();
    std::memcpy(b.data() + 8, &size, 4);
    for (uint32_t mask : {0u, (uint32_t)(SONGPART_SONG | SONGPART_OLD_SONG)}) {
        SCOPED_TRACE(mask);
        Seq_NewSong();
        CHUNKLOADCONTEXT load;
        ASSERT_EQ(Seq_LoadChunks(b.data(), b.size(), mask, -1, 0, &load), 0);
        EXPECT_EQ(Seq_FinishLoad(mask, &load), mask ? SONGLOAD_MISSING : 0);
        EXPECT_EQ(Save(), a);
        EXPECT_MODEL_WHOLE();
    }
}

TEST_F(SongFile, ChosenRiffsBringOnlyWhatTheyUse)
{
    const int32_t a = MakeRiff(1, 1, 4, 30), b = MakeRiff(1, 1, 8, 60);
    Seq_PlaceRiff(a, 0, 0, 0, 1);
    Seq_PlaceRiff(b, 0, 1, 0, 1);
    const uint16_t notesOfB = (uint16_t)(g_uNoteCount - 4);
    const Bytes image = Save();
    Seq_NewSong();
    CHUNKLOADCONTEXT load;
    ASSERT_EQ(Seq_LoadChunks(image.data(), image.size(), 1u << (CHUNK_RI - 1), 0, 0, &load), 0);
    Seq_SetUsageSlot(&load.ctx, 3, CHUNK_RI);
    Seq_MarkBit(Seq_GetUsageBitmap(&load.ctx, CHUNK_RI), 1); // the second riff alone
    ASSERT_EQ(Seq_FinishLoad(1u << (CHUNK_RI - 1), &load), 0);
    EXPECT_EQ(g_uRiffCount, 2);
    EXPECT_EQ(g_uNoteCount, notesOfB);
    EXPECT_EQ(Seq_CountUsedRows(), 0); // riffs only, no grid
    EXPECT_MODEL_WHOLE();
}

TEST_F(SongFile, InsertAtARowMovesLaterRiffsOrIsRefused)
{
    Seq_PlaceRiff(MakeRiff(2, 1, 4), 0, 0, 0, 1);
    const Bytes part = Save(); // two rows high
    Seq_NewSong();
    const int32_t x = MakeRiff(1, 1, 8), y = MakeRiff(1, 1, 2);
    Seq_PlaceRiff(x, 0, 0, 0, 1);
    Seq_PlaceRiff(y, 5, 3, 0, 1);
    CHUNKLOADCONTEXT load;
    g_iSongInsertRow = 3;
    ASSERT_EQ(Seq_LoadChunks(part.data(), part.size(), 0, 0, 0, &load), 0);
    ASSERT_EQ(Seq_FinishLoad(0, &load), 0);
    EXPECT_EQ(Seq_GetRiffStartingAt(0, 0), x);
    EXPECT_EQ(Seq_GetRiffStartingAt(7, 3), y);
    EXPECT_EQ(Seq_GetRiffStartingAt(3, 0), 3);
    EXPECT_MODEL_WHOLE();

    // A song that would pass row 999 is refused and the song stays as it was.
    Seq_PlaceRiff(x, 997, 10, 0, 1);
    const Bytes before = Save();
    g_iSongInsertRow = 1;
    ASSERT_EQ(Seq_LoadChunks(part.data(), part.size(), 0, 0, 0, &load), 0);
    EXPECT_EQ(Seq_FinishLoad(0, &load), SONGLOAD_ABANDONED);
    EXPECT_EQ(Save(), before);
    EXPECT_MODEL_WHOLE();
}

// The start-up reset puts back a layer that an earlier load left mid-way: a part loads at row 0
// again, no abandoned or missing flag is carried over, and the memory display starts empty.
TEST_F(SongFile, ResetPutsTheLayerBackAsItStarts)
{
    Seq_PlaceRiff(MakeRiff(1, 1, 4), 0, 0, 0, 1);
    const Bytes part = Save();
    Seq_NewSong();
    g_iSongInsertRow = 40;
    g_iSongFormatVersion = 12;
    g_bLoadAborted = 1;
    g_bLoadMissingData = 1;
    g_iSizeMusic = g_iSizeSongGrid = g_iSizeJams = g_iSizeResources = 5000;
    g_iSizeHeader = g_iSizeDiscs = 1;

    Seq_ResetSongFile();
    EXPECT_EQ(g_iSongInsertRow, -1);
    EXPECT_EQ(g_iSongFormatVersion, SONG_FORMAT_VERSION);
    EXPECT_EQ(g_bLoadAborted, 0);
    EXPECT_EQ(g_bLoadMissingData, 0);
    EXPECT_EQ(g_iSizeMusic + g_iSizeSongGrid + g_iSizeJams + g_iSizeResources, 0);
    EXPECT_EQ(g_iSizeHeader, 76);
    EXPECT_EQ(g_iSizeDiscs, 12);

    CHUNKLOADCONTEXT load;
    ASSERT_EQ(Seq_LoadChunks(part.data(), part.size(), 0, 0, 0, &load), 0);
    EXPECT_EQ(Seq_FinishLoad(0, &load), 0);
    EXPECT_GT(Seq_GetRiffStartingAt(0, 0), 0);
    EXPECT_EQ(Seq_GetRiffStartingAt(40, 0), 0);
    EXPECT_MODEL_WHOLE();
}

TEST(SongFileIds, DistinctIdsOfTwoLists)
{
    struct Case
    {
        std::vector<uint16_t> a, b;
        int32_t distinct;
    };
    const Case cases[] = {
        {{}, {}, 0},
        {{1, 2, 3}, {}, 3},
        {{}, {4, 5}, 2},
        {{1, 2, 3}, {3, 4}, 4},
        {{7, 7}, {7}, 1},    // every entry of A found in B counts once less
        {{1, 2}, {1, 2}, 2},
        {{0, 9}, {9, 0, 5}, 3},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Seq_CountDistinctIds(c.a.data(), int32_t(c.a.size()), c.b.data(), int32_t(c.b.size())), c.distinct)
            << c.a.size() << " and " << c.b.size() << " ids";
    EXPECT_EQ(Seq_CountDistinctIds(nullptr, 3, nullptr, 2), 0);
}

// A load that runs out of room part way is rolled back: riffs, notes, lists, instruments and
// samples it made go again and the song is as it was.
TEST_F(SongFile, AFullRiffPoolRollsTheLoadBack)
{
    ASSERT_EQ(Content_BuildDemoSong(), 0); // five riffs, own samples and instruments
    const Bytes demo = Save();
    Seq_NewSong();
    const int32_t kept = MakeRiff(1, 1, 4);
    Seq_PlaceRiff(kept, 0, 0, 0, 1);
    while (Seq_NewRiff(1, 1) > 0 && g_uRiffCount < SEQ_MAX_RIFFS - 2) {
    }
    const Bytes before = Save();
    const uint16_t riffs = g_uRiffCount, notes = g_uNoteCount;
    const int32_t samples = g_uSampleCount;
    CHUNKLOADCONTEXT load;
    ASSERT_EQ(Seq_LoadChunks(demo.data(), demo.size(), 0, 0, 0, &load), 0);
    EXPECT_EQ(Seq_FinishLoad(0, &load), SONGLOAD_ABANDONED);
    EXPECT_EQ(g_uRiffCount, riffs);
    EXPECT_EQ(g_uNoteCount, notes);
    EXPECT_EQ(g_uSampleCount, samples);
    EXPECT_EQ(FirstDiff(Save(), before), -1);
    EXPECT_MODEL_WHOLE();
}

TEST_F(SongFile, SaveSummaryFromTheFirst128Bytes)
{
    Seq_PlaceRiff(MakeRiff(1, 1, 4), 0, 0, 0, 1);
    const Bytes image = Save();
    uint32_t parts = 0;
    char author[32];
    ASSERT_EQ(Seq_ReadSaveSummary(image.data(), 128, &parts, author), 0);
    EXPECT_EQ(parts, 0x43AFu); // H2 AU CN DS EN IN NO RI SN: no samples of its own
    EXPECT_STREQ(author, "Tester");
    // An older header: its flag bits name the video and the song.
    Bytes old = image;
    std::memcpy(old.data(), "HE", 2);
    old[4] = 6;
    old[5] = 0;
    old[6] = 3;
    old[7] = 0;
    ASSERT_EQ(Seq_ReadSaveSummary(old.data(), old.size(), &parts, author), 0);
    EXPECT_EQ(parts, 0x100000u | 0x20000u | 0x80000u | 0x4000u);
    EXPECT_EQ(Seq_ReadSaveSummary(image.data(), 11, &parts, author), -1);
    EXPECT_EQ(Seq_ReadSaveSummary((const uint8_t *)"XX..........", 12, &parts, author), -1);
}

// Older images: an "HE" header, riff heads of 24 bytes below version 8, and "R2" riffs.
TEST_F(SongFile, OlderLayoutsLoad)
{
    const int32_t riff = Seq_NewRiff(1, 1);
    const int32_t note = Note(62, 2);
    *Seq_RiffCell(Seq_GetRiff(riff), 3, 0) = (uint16_t)note;
    Seq_SetRiffName(riff, "Old one");
    Seq_PlaceRiff(riff, 1, 2, 0, 1);
    const Bytes image = Save();
    // Split the image at its RI chunk.
    size_t ri = 0, riEnd = 0;
    for (size_t at = 12; at < image.size();) {
        const int32_t type = Seq_ChunkTypeOfTag(image.data() + at);
        const uint32_t step = Seq_ChunkStep(image.data() + at, image.size() - at, type < 0 ? 0 : type);
        if (type == CHUNK_RI) {
            ri = at;
            riEnd = at + step;
        }
        at += step;
    }
    ASSERT_GT(ri, 0u);
    const Bytes grid(image.begin() + (ptrdiff_t)ri + 8 + 28, image.begin() + (ptrdiff_t)ri + 8 + 28 + 3); // k, step, note
    auto rebuild = [&](const char *tag, const Bytes &record, uint8_t version, bool he) {
        Bytes out(image.begin(), image.begin() + (ptrdiff_t)ri);
        Bytes body = record;
        body.insert(body.end(), grid.begin(), grid.end());
        while (body.size() % 4)
            body.push_back(0);
        const uint16_t words = (uint16_t)((body.size() + 8) / 4);
        const uint8_t head[8] = {(uint8_t)tag[0], (uint8_t)tag[1], (uint8_t)words, (uint8_t)(words >> 8), 1, 0, 0, 0};
        out.insert(out.end(), head, head + 8);
        out.insert(out.end(), body.begin(), body.end());
        out.insert(out.end(), image.begin() + (ptrdiff_t)riEnd, image.end());
        const uint32_t total = (uint32_t)out.size();
        std::memcpy(out.data() + 8, &total, 4);
        if (he) {
            out[0] = 'H';
            out[1] = 'E';
            const uint32_t whole = version;
            std::memcpy(out.data() + 4, &whole, 4);
        } else {
            out[4] = version;
        }
        return out;
    };
    Bytes head24 = {'C', 5, 200, 100, 1, 1, 2, 0xAA, 'O', 'l', 'd', ' ', 'o', 'n', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Bytes head28(image.begin() + (ptrdiff_t)ri + 8, image.begin() + (ptrdiff_t)ri + 8 + 28);
    Bytes head23(23, 0);
    head23[0] = 'C';
    head23[4] = 1;
    head23[5] = 1;
    struct Case
    {
        const char *name;
        Bytes bytes;
        uint8_t start;
        const char *riffName;
    };
    const Case cases[] = {
        {"version 7, 24-byte head", rebuild("RI", head24, 7, false), 200, "Old one"},
        {"HE header", rebuild("RI", head28, 17, true), 255, "Old one"},
        {"R2 riffs", rebuild("R2", head23, 17, false), 255, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Load(c.bytes), 0);
        ASSERT_EQ(g_uRiffCount, 2);
        const RIFFENTRY *r = Seq_GetRiff(1);
        EXPECT_EQ(r->ucStartLevel, c.start);
        EXPECT_STREQ(r->szName, c.riffName);
        EXPECT_EQ(r->uLink, 1);
        ASSERT_NE(Seq_GetNote(*Seq_RiffCell(Seq_GetRiff(1), 3, 0)), nullptr);
        EXPECT_EQ(Seq_GetNote(*Seq_RiffCell(Seq_GetRiff(1), 3, 0))->ucPitch, 62);
        EXPECT_EQ(Seq_GetRiffStartingAt(1, 2), 1);
        EXPECT_EQ(g_iSongFormatVersion, SONG_FORMAT_VERSION);
        EXPECT_MODEL_WHOLE();
    }
}

// A library instrument whose resource is not loaded cannot be named in the image: the save is
// refused instead of dropping it.
TEST_F(SongFile, ASaveNeverDropsALibraryInstrument)
{
    ASSERT_EQ(Seq_AllocInstrumentSlot(), 1);
    g_aInstrumentSlots[1].ucKey1 = 1;
    g_aInstrumentSlots[1].uKey2 = 2;
    g_aInstrumentSlots[1].uKey3 = 3;
    Seq_PlaceRiff(MakeRiff(1, 1, 4), 0, 0, 0, 1);
    EXPECT_TRUE(Save().empty());
    CHUNKCONTEXT ctx;
    int32_t blocks = 0;
    EXPECT_EQ(Seq_PrepareSave(SONGPART_SONG, &blocks, &ctx), 0u);
}

// Song files are replaced whole or not at all.
TEST_F(SongFile, SongFilesAreWrittenWholeOrNotAtAll)
{
    TempDir dir;
    const std::string path = dir.File("song.tnv");
    const Bytes first = Save();
    ASSERT_EQ(Seq_WriteSongFile(path.c_str(), first), 0);
    Seq_PlaceRiff(MakeRiff(1, 2, 4), 0, 0, 0, 1);
    const Bytes second = Save();
    ASSERT_EQ(Seq_WriteSongFile(path.c_str(), second), 0);
    EXPECT_EQ(ReadTextFile(path), std::string(second.begin(), second.end()));
    // A save that cannot be completed leaves the old file as it was and no part file behind.
    EXPECT_EQ(Seq_WriteSongFile((dir.File("missing") + "/song.tnv").c_str(), first), -1);
    EXPECT_EQ(Seq_WriteSongFile(path.c_str(), Bytes{}), -1);
    EXPECT_EQ(ReadTextFile(path), std::string(second.begin(), second.end()));
    EXPECT_FALSE(std::ifstream(path + ".part").good());
    // The file reads back as the song it holds, bare or behind its tag and header.
    std::vector<uint8_t> file(second.begin(), second.end());
    int32_t tagged = 0;
    EXPECT_EQ(Seq_LocateSongImage(file.data(), file.size(), &tagged), 0);
    EXPECT_EQ(tagged, 1);
    EXPECT_EQ(Seq_LocateSongImage((const uint8_t *)"nothing here", 12, &tagged), -1);
}

TEST_F(SongFile, ListingRiffsOfAnImage)
{
    const int32_t r = MakeRiff(1, 1, 4);
    Seq_SetRiffName(r, "Bassline");
    const Bytes image = Save();
    std::vector<FILERIFF> riffs;
    ASSERT_EQ(Seq_ListFileRiffs(image.data(), image.size(), &riffs), 1);
    EXPECT_STREQ(riffs[0].szName, "Bassline");
    Seq_NewSong();
    EXPECT_EQ(Seq_ListFileRiffs(Save().data(), 168, nullptr), 0); // no RI chunk
}

} // namespace

namespace {

// The riff library as the content builder writes it: loads as the riff in hand, and previews
// with sound.
class LibraryRiff : public SongFile
{
protected:
    static const std::vector<CONTENTFILE> &Riffs()
    {
        static std::vector<CONTENTFILE> riffs = [] {
            std::string err;
            std::vector<CONTENTFILE> r = Content_RiffFiles(err);
            EXPECT_EQ(err, "");
            return r;
        }();
        return riffs;
    }
};

TEST_F(LibraryRiff, ContentHasFortyRiffsOfEveryPart)
{
    const std::vector<CONTENTFILE> &riffs = Riffs();
    EXPECT_GE(riffs.size(), 40u);
    for (const char *part : {"/DRUMS/", "/BASS/", "/LEAD/", "/PAD/"})
        EXPECT_GE(std::count_if(riffs.begin(), riffs.end(),
                                [&](const CONTENTFILE &f) { return f.path.find(part) != std::string::npos; }),
                  6)
            << part;
    for (const CONTENTFILE &f : riffs) {
        SCOPED_TRACE(f.path);
        EXPECT_EQ(f.path.rfind("R/", 0), 0u);
        std::vector<FILERIFF> listed;
        g_bTaggedSongFile = 0;
        ASSERT_EQ(Seq_ListFileRiffs(f.data.data(), f.data.size(), &listed), 1);
        g_bTaggedSongFile = 1;
        EXPECT_EQ(f.shown, listed[0].szName);
    }
}

TEST_F(LibraryRiff, LoadsAsTheRiffInHandAndPreviewsAudibly)
{
    ASSERT_FALSE(Riffs().empty()); // made first: making them starts new songs
    Seq_NewSong();
    g_bTaggedSongFile = 0;
    const Bytes none = Save(); // an untagged image of no riffs
    g_bTaggedSongFile = 1;
    // A song riff already there must stay the song's (its notes play instrument 1).
    ASSERT_EQ(Seq_AllocInstrumentSlot(), 1);
    g_aInstrumentSlots[1].ucKey1 = 0xFE;
    g_aInstrumentSlots[1].uKey2 = g_aInstrumentSlots[1].uKey3 = 0xFFFE;
    const int32_t own = MakeRiff(1, 1, 4);
    Seq_PlaceRiff(own, 0, 0, 0, 1);
    const CONTENTFILE &bass = *std::find_if(Riffs().begin(), Riffs().end(), [](const CONTENTFILE &f) {
        return f.path.find("/BASS/") != std::string::npos;
    });
    ASSERT_EQ(Seq_LoadLibraryRiffImage(bass.data.data(), bass.data.size()), 1);
    const int32_t riff = g_uRiffCount - 1;
    ASSERT_EQ(riff, own + 1);
    EXPECT_EQ(g_uLibraryRiff, riff);
    EXPECT_TRUE(Seq_GetRiff(riff)->uFlags & RIFF_FLAG_DELETE);
    EXPECT_EQ(g_bTaggedSongFile, 1);
    EXPECT_MODEL_WHOLE();

    // The preview mixes sound.
    ASSERT_EQ(Sys_AllocMixBuffers(), 0);
    Snd_SetMasterVolume(0x3FFF, 0x3FFF);
    Seq_PlayRiffPreview(0, riff);
    double energy = 0;
    for (int32_t block = 0; block < 44100 / 72; block++) { // one second
        std::memset(g_pMixOutputBuffer, 0, (size_t)g_iMixBlockFrames * 4);
        Snd_SetMixParam(16, g_pMixOutputBuffer);
        Seq_Tick();
        Snd_MixBlock();
        for (int32_t i = 0; i < g_iMixBlockFrames * 2; i++)
            energy += (double)g_pMixOutputBuffer[i] * g_pMixOutputBuffer[i];
    }
    Seq_StopRiffPreview();
    Sys_FreeMixBuffers();
    const double rms = std::sqrt(energy / (44100.0 * 2));
    EXPECT_GT(rms, 300.0) << "the library riff's preview is silent";

    // An image without riffs never makes the song's own riff the library riff.
    Seq_DropLibraryRiff();
    EXPECT_EQ(g_uRiffCount, own + 1);
    const Bytes before = Save();
    EXPECT_EQ(Seq_LoadLibraryRiffImage(none.data(), none.size()), 10);
    EXPECT_EQ(g_uLibraryRiff, 0);
    EXPECT_FALSE(Seq_GetRiff(own)->uFlags & RIFF_FLAG_DELETE);
    EXPECT_EQ(Save(), before);
    EXPECT_MODEL_WHOLE();
}

} // namespace

// The song sizes the top bar and the statistics show are those of the image a save would write.
TEST_F(SongFile, SongSizesAddUpToTheSavedImage)
{
    Seq_UpdateSongSizes();
    EXPECT_EQ(g_iSizeHeader, 12 + 36 + 28);
    EXPECT_EQ(g_iSizeDiscs, 8 + 20); // the program's own disc when none is registered
    EXPECT_EQ(g_iSizeJams, 0);
    EXPECT_EQ(g_iSizeResources, 0);
    const int32_t emptyMusic = g_iSizeMusic;
    EXPECT_EQ(Seq_SongSizeTotal(), (int32_t)Save().size());

    const uint8_t sound[8] = {1, 0, 2, 0, 3, 0, 4, 0};
    ASSERT_EQ(Snd_ImportRawSample("tick", sound, 8, 44100), 1);
    const int32_t kept = MakeRiff(2, 3, 4);
    const int32_t dropped = MakeRiff(1, 1, 2, 30);
    ASSERT_GT(kept, 0);
    ASSERT_GT(dropped, 0);
    Seq_PlaceRiff(kept, 0, 0, 0, 1);
    Seq_PlaceRiff(kept, 4, 0, 0, 1);
    Seq_UpdateSongSizes();
    const int32_t music = g_iSizeMusic;
    EXPECT_GT(music, emptyMusic);
    EXPECT_GT(g_iSizeSongGrid, 8);
    EXPECT_LE(g_iSizeSongGrid, music); // the grid is part of the music
    EXPECT_EQ(Seq_SongSizeTotal(), (int32_t)Save().size());

    // A riff waiting for deletion stays queued while the sizes are taken; working the queue off
    // takes the sizes again (once: the flush and the sizing must not call each other for ever).
    Seq_QueueRiffDelete(dropped);
    const uint16_t queued = g_uDeferredRiffCount;
    ASSERT_GT(queued, 0);
    Seq_UpdateSongSizes();
    EXPECT_EQ(g_uDeferredRiffCount, queued);
    EXPECT_EQ(g_iSizeMusic, music);
    g_iSizeMusic = -1;
    Seq_FlushDeletedRiffs();
    EXPECT_EQ(g_uDeferredRiffCount, 0);
    EXPECT_GT(g_iSizeMusic, emptyMusic);
    EXPECT_EQ(Seq_SongSizeTotal(), (int32_t)Save().size());
    EXPECT_MODEL_WHOLE();
}
