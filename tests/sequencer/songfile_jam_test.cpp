// Jam chunks and jam template files: the records, selection and sequence round trip byte for
// byte, template files of the setups in use are written and read back into a jam slot, and
// broken jam chunks never cost the music.
#include "seqfixture.h"
#include "support/tempdir.h"

#include "audio/mixer.h"
#include "core/browser.h"
#include "jam/jamrecords.h"
#include "sequencer/samples.h"
#include "sequencer/songcontrol.h"
#include "sequencer/samples.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

int16_t RowValue(const uint8_t *row) { return (int16_t)(row[0] | row[1] << 8); }

class SongJams : public SeqModel
{
protected:
    void SetUp() override
    {
        SeqModel::SetUp();
        Snd_InitSampleEngine(64);
        g_bTaggedSongFile = 1;
        Seq_Init();
        Seq_NewSong();
        Seq_ResetJamSlots();
        Jam_ResetRecords();
    }
    void TearDown() override
    {
        Jam_ResetRecords();
        Seq_ResetJamSlots();
        Seq_NewSong();
        Snd_ShutdownSampleEngine();
        SeqModel::TearDown();
    }
    static int32_t MakeRiff(int32_t bars, int32_t pitch, const char *name)
    {
        const int32_t riff = Seq_NewRiff(bars, 1);
        for (int32_t s = 0; s < bars * 16; s += 4) {
            const int32_t note = Note(pitch + s % 12, 1, 150);
            if (note > 0) {
                Seq_SetRiffNote(riff, s, 0, note, 1, 0, 0);
                Seq_ReleaseNoteRef(note);
            }
        }
        std::strncpy(Seq_GetRiff(riff)->szName, name, 15);
        return riff;
    }
    // Setup n plays the given riffs (record rows) and one riff through its companion.
    static void Setup(int32_t n, std::vector<int32_t> riffs, int32_t companionRiff)
    {
        g_JamSetups[n].ucState = 2;
        for (size_t i = 0; i < riffs.size(); i++)
            Jam_SetRecordRiff(n, (int32_t)i, riffs[i]);
        g_aabJamRecords[n][JAM_RECORD_SIZE - 1] = (uint8_t)(0x40 + n); // the jam's own bytes travel too
        uint8_t *comp = Jam_CompanionRecord(n);
        comp[JAM_COMPANION_RIFF_AT] = (uint8_t)companionRiff;
        comp[JAM_COMPANION_RIFF_AT + 6] = JAM_ROW_SONG;
    }
    static std::string RiffName(int32_t id)
    {
        const RIFFENTRY *r = id > 0 ? Seq_GetRiff(id) : nullptr;
        return r ? std::string(r->szName, strnlen(r->szName, 16)) : std::string("-");
    }
    // The riffs a setup's rows name, by riff name.
    static std::string Rows(int32_t n)
    {
        std::string text;
        for (int32_t i = 0; i < JAM_RECORD_RIFFS; i++) {
            const uint8_t *row = &g_aabJamRecords[n][JAM_RECORD_RIFF_AT + i * JAM_ROW_BYTES];
            if (row[6] == JAM_ROW_SONG)
                text += RiffName(RowValue(row)) + ",";
        }
        const uint8_t *comp = Jam_CompanionRecord(n) + JAM_COMPANION_RIFF_AT;
        if (comp[6] == JAM_ROW_SONG)
            text += "/" + RiffName(RowValue(comp));
        return text;
    }
};

} // namespace

TEST_F(SongJams, RecordsSelectionAndSequenceRoundTripByteForByte)
{
    const int32_t a = MakeRiff(1, 48, "Bass A"), b = MakeRiff(2, 60, "Lead B"), c = MakeRiff(1, 36, "Drum C");
    Setup(0, {a, b}, c);
    Setup(2, {c}, a);
    g_bJamSelectionActive = 1;
    const char seq[] = "jam steps!";
    std::memcpy(g_abJamSequence, seq, 10);
    g_uJamSequenceLength = 10;

    const Bytes first = Seq_SaveSongImage(SONGPART_SONG | SONGPART_JAMS, "Tester");
    ASSERT_FALSE(first.empty());
    std::string text;
    Seq_DescribeImage(first.data(), first.size(), &text);
    Seq_DescribeExtraChunks(first.data(), first.size(), &text);
    EXPECT_NE(text.find("JT     2120 bytes  4 items"), std::string::npos) << text; // 2 records + companions
    EXPECT_NE(text.find("jams: 2 records with companions, selection on, sequence 12 bytes"), std::string::npos)
        << text;

    Jam_ResetRecords();
    Seq_ResetJamSlots();
    ASSERT_EQ(Seq_LoadSongImage(first.data(), first.size()), 0);
    // Loaded records fill setups by their own index when none is free.
    EXPECT_EQ(Rows(0), "Bass A,Lead B,/Drum C");
    EXPECT_EQ(Rows(1), "Drum C,/Bass A");
    EXPECT_EQ(g_aabJamRecords[1][JAM_RECORD_SIZE - 1], 0x42);
    EXPECT_EQ(g_bJamSelectionActive, 1);
    // The sequence keeps the length of its data (padded to 12), not the chunk's (20).
    EXPECT_EQ(g_uJamSequenceLength, 12u);
    EXPECT_EQ(std::memcmp(g_abJamSequence, seq, 10), 0);
    const Bytes second = Seq_SaveSongImage(SONGPART_SONG | SONGPART_JAMS, "Tester");
    ASSERT_FALSE(second.empty());
    Jam_ResetRecords();
    Seq_ResetJamSlots();
    ASSERT_EQ(Seq_LoadSongImage(second.data(), second.size()), 0);
    EXPECT_EQ(g_uJamSequenceLength, 12u); // the file does not grow load after load
    EXPECT_EQ(Seq_SaveSongImage(SONGPART_SONG | SONGPART_JAMS, "Tester"), second);
}

TEST_F(SongJams, TemplatesOfTheSetupsInUseReloadIntoTheFirstSlot)
{
    const int32_t a = MakeRiff(1, 48, "Groove"), b = MakeRiff(2, 55, "Chords"), c = MakeRiff(1, 40, "Fill");
    Setup(0, {a, b}, c);
    Setup(1, {c}, b);
    TempDir dir;
    const std::string folder = dir.Path() + "/user";
    ASSERT_EQ(Seq_SaveJamTemplates(folder.c_str()), 2); // the folders are made on first use
    const Bytes zero = ReadFile(folder + "/JamTem/JamTem 0.jtm");
    const Bytes one = ReadFile(folder + "/JamTem/JamTem 1.jtm");
    ASSERT_FALSE(zero.empty());
    ASSERT_FALSE(one.empty());
    EXPECT_FALSE(std::filesystem::exists(folder + "/JamTem/JamTem 2.jtm"));
    // A template holds the record and the music its rows play (no companion: it carries no
    // sequence).
    std::string text;
    Seq_DescribeImage(zero.data(), zero.size(), &text);
    EXPECT_NE(text.find("JT      536 bytes  1 items"), std::string::npos) << text;
    EXPECT_NE(text.find("RI "), std::string::npos) << text;
    std::vector<FILERIFF> riffs;
    ASSERT_EQ(Seq_ListFileRiffs(one.data(), one.size(), &riffs), 1);

    // Into a new song: the template lands in setup 0 with its riffs.
    Seq_NewSong();
    Jam_ResetRecords();
    Seq_ResetJamSlots();
    ASSERT_EQ(Seq_LoadJamTemplateImage(one.data(), one.size()), 1);
    EXPECT_EQ(Rows(0), "Fill,");
    EXPECT_EQ(g_JamSetups[0].ucState, 2);
    EXPECT_EQ(Seq_WriteJamImage(0, "AUTHOR BLOKE"), one);
    Seq_NewSong();
    Jam_ResetRecords();
    Seq_ResetJamSlots();
    ASSERT_EQ(Seq_LoadJamTemplateImage(zero.data(), zero.size()), 1);
    EXPECT_EQ(Rows(0), "Groove,Chords,");
    EXPECT_EQ(Seq_WriteJamImage(0, "AUTHOR BLOKE"), zero);

    // Not a template: reported, the setup left as it was.
    const Bytes foreign = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 12, 0, 0, 0};
    EXPECT_EQ(Seq_LoadJamTemplateImage(foreign.data(), foreign.size()), 0);
    EXPECT_EQ(Rows(0), "Groove,Chords,");
    const Bytes noJam = Seq_SaveSongImage(SONGPART_SONG, "x");
    EXPECT_EQ(Seq_LoadJamTemplateImage(noJam.data(), noJam.size()), 0);
    // A folder that cannot be made is reported.
    EXPECT_EQ(Seq_SaveJamTemplates("/proc/no/such/place"), -1);
}

TEST_F(SongJams, BrokenJamChunksCostOnlyTheJams)
{
    const int32_t a = MakeRiff(1, 48, "Keep me");
    Seq_PlaceRiff(a, 0, 0, 0, 1);
    Setup(0, {a}, a);
    g_uJamSequenceLength = 4;
    const Bytes good = Seq_SaveSongImage(SONGPART_SONG | SONGPART_JAMS, "Tester");
    ASSERT_FALSE(good.empty());
    size_t jt = 0;
    while (jt + 1 < good.size() && !(good[jt] == 'J' && good[jt + 1] == 'T'))
        jt++;
    ASSERT_LT(jt, good.size());
    struct Case
    {
        const char *what;
        size_t at;
        uint8_t value;
    } cases[] = {
        {"record count past the body", jt + 4, 9},
        {"riff row naming no riff", jt + 8 + JAM_RECORD_RIFF_AT, 77},
        {"instrument row naming no slot", jt + 8 + JAM_RECORD_INSTRUMENT_AT + 2, 99},
    };
    for (const Case &c : cases) {
        Bytes bad = good;
        bad[c.at] = c.value;
        if (c.at == jt + 8 + JAM_RECORD_INSTRUMENT_AT + 2)
            bad[jt + 8 + JAM_RECORD_INSTRUMENT_AT] = JAM_ROW_SONG;
        Jam_ResetRecords();
        const int32_t r = Seq_LoadSongImage(bad.data(), bad.size());
        EXPECT_EQ(r, 0x100 | SONGLOAD_MISSING) << c.what;
        EXPECT_EQ(RiffName(g_aSongGrid[0][0] & SEQ_CELL_ID_MASK), "Keep me") << c.what;
    }
}

TEST_F(SongJams, ATemplateHoldsTheRecordAndItsMusicAlone)
{
    // The riff is on the song grid too, and the record names an instrument no riff plays.
    const int32_t a = MakeRiff(1, 48, "Groove");
    Seq_PlaceRiff(a, 0, 0, 0, 1);
    int32_t extra = Seq_AllocInstrumentSlot();
    if (extra == 1) // the notes' own instrument
        extra = Seq_AllocInstrumentSlot();
    ASSERT_GT(extra, 1);
    g_aInstrumentSlots[extra].ucKey1 = 0xFE; // made by its own command chain
    g_aInstrumentSlots[extra].uKey2 = g_aInstrumentSlots[extra].uKey3 = 0xFFFE;
    Setup(0, {a}, a);
    Jam_SetRecordInstrument(0, 3, extra);
    const Bytes image = Seq_WriteJamImage(0, "AUTHOR BLOKE");
    ASSERT_FALSE(image.empty());
    std::string text;
    ASSERT_EQ(Seq_DescribeImage(image.data(), image.size(), &text), 0) << text;
    for (const char *absent : {"\n  AU ", "\n  CN ", "\n  DS ", "\n  SN "})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent << " in\n" << text;
    for (const char *present : {"\n  RI ", "\n  NO ", "\n  JT "})
        EXPECT_NE(text.find(present), std::string::npos) << present << " in\n" << text;
    // The notes' instrument and the row's.
    EXPECT_NE(text.find("IN "), std::string::npos);
    EXPECT_NE(text.find("2 items"), std::string::npos) << text;

    // Loaded into a new song, the row names the instrument again, and the image comes back.
    Seq_NewSong();
    Jam_ResetRecords();
    Seq_ResetJamSlots();
    ASSERT_EQ(Seq_LoadJamTemplateImage(image.data(), image.size()), 1);
    const uint8_t *row = &g_aabJamRecords[0][JAM_RECORD_INSTRUMENT_AT + 3 * JAM_ROW_BYTES];
    ASSERT_EQ(row[0], JAM_ROW_SONG) << "the row was written empty";
    const int32_t slot = RowValue(row + 2);
    ASSERT_GT(slot, 0);
    EXPECT_EQ(g_aInstrumentSlots[slot].ucKey1, 0xFE);
    EXPECT_EQ(Rows(0), "Groove,"); // no sequence, so no companion
    // The template brings no grid: nothing was placed.
    EXPECT_EQ(g_aSongGrid[0][0], 0);
    EXPECT_EQ(Seq_WriteJamImage(0, "AUTHOR BLOKE"), image);
}

TEST_F(SongJams, AChosenJamRecordBringsOnlyItsOwnRiffs)
{
    const int32_t a = MakeRiff(1, 48, "Alpha"), b = MakeRiff(1, 55, "Beta"), c = MakeRiff(1, 40, "Gamma");
    Setup(0, {a, b}, a);
    Setup(1, {c}, c);
    g_bJamSelectionActive = 1;
    const Bytes image = Seq_SaveSongImage(SONGPART_SONG | SONGPART_JAMS, "Tester");
    ASSERT_FALSE(image.empty());
    struct Case
    {
        const char *what;
        int32_t record; // chosen through JT, or -1 through JC (every record in use)
        const char *rows0, *rows1;
        int32_t riffs;
    } cases[] = {
        {"second record alone", 1, "Gamma,", "", 1},
        {"first record alone", 0, "Alpha,Beta,", "", 2},
        {"every record the selection names", -1, "Alpha,Beta,", "Gamma,", 3},
    };
    for (const Case &k : cases) {
        Seq_NewSong();
        Jam_ResetRecords();
        Seq_ResetJamSlots();
        g_JamSetups[0].ucState = 3; // free for a loaded record
        uint32_t mask = 1u << (CHUNK_RI - 1) | 1u << (CHUNK_JT - 1) | 1u << (CHUNK_IN - 1) | 1u << (CHUNK_NO - 1) |
                        1u << (CHUNK_EN - 1);
        if (k.record < 0)
            mask |= 1u << (CHUNK_JC - 1);
        CHUNKLOADCONTEXT load;
        ASSERT_EQ(Seq_LoadChunks(image.data(), image.size(), mask, 0, 0, &load), 0) << k.what;
        Seq_SetUsageSlot(&load.ctx, 3, CHUNK_RI);
        Seq_SetUsageSlot(&load.ctx, 8, CHUNK_JT);
        if (k.record >= 0)
            Seq_MarkBit(Seq_GetUsageBitmap(&load.ctx, CHUNK_JT), (uint32_t)k.record);
        ASSERT_EQ(Seq_FinishLoad(mask, &load), 0) << k.what;
        EXPECT_EQ(g_uRiffCount - 1, k.riffs) << k.what;
        // Rows without the companion's riff (the sequence was not saved, so no companions).
        std::string rows0 = Rows(0), rows1 = Rows(1);
        EXPECT_EQ(rows0, k.rows0) << k.what;
        if (k.record < 0) {
            EXPECT_EQ(rows1, k.rows1) << k.what;
        }
    }
}
