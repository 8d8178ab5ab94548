// Instruments loaded from the archive's instrument library, their command chains, the sample
// table, preview, copy and octave shift. The song model stays whole after every step.
#include "seqfixture.h"

#include "audio/import.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "core/archive.h"
#include "core/disc.h"
#include "jam/netobjects.h"
#include "sequencer/channels.h"
#include "sequencer/playback.h"
#include "sequencer/instruments.h"
#include "sequencer/samples.h"
#include "sequencer/songcontrol.h"
#include "sequencer/undo.h"
#include "support/songdata.h"
#include "support/wadfixture.h"
#include "tools/soundcontent.h"
#include "video/respages.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

int s_keyOffs;
int s_binds;

const SEQVOICEOPS kQuiet = {
    [](int32_t on, int32_t) {
        s_keyOffs += on == 0;
        return 0;
    },
    [](int32_t, uint32_t) {
        s_binds++;
        return 0;
    },
    [](int32_t) { return 0; },
    [](int32_t, int32_t) { return 0; },
    [](int32_t, uint32_t) { return 0; },
    [](int32_t, int32_t, int32_t) { return 0; },
    [](int32_t, int32_t) { return 0; },
    [](int32_t, int32_t) { return 0; },
};

// 48-byte header (name, category at byte 40) and n bytes of silent console ADPCM.
std::string SampleFile(const char *name, uint8_t category, size_t dataBytes)
{
    std::string f(48 + dataBytes, '\0');
    std::memcpy(f.data(), name, std::strlen(name));
    f[40] = (char)category;
    return f;
}

std::string Encoded(const char *name, uint8_t category, int frames)
{
    CONTENTSAMPLE s;
    for (int i = 0; i < frames; i++)
        s.samples.push_back((int16_t)((i % 50) * 300 - 7500));
    s.loopStart = -1;
    const std::vector<uint8_t> bytes = Content_MakeSampleFile(name, category, s);
    return std::string(bytes.begin(), bytes.end());
}

class SongSamples : public WadTest
{
protected:
    void SetUp() override
    {
        WadTest::SetUp();
        Seq_ResetSongModel();
        ASSERT_EQ(Snd_InitSampleEngine(256), 0);
        Vid_CreateResPagePool();
        Seq_UseVoiceOps(&kQuiet);
        ClearSongData();
        g_bJamSessionOn = 0;
        s_keyOffs = s_binds = 0;
        // The default note a new song makes: test notes play with its envelopes.
        g_DefaultNote = NOTEPARAMS{};
        g_DefaultNote.ucFlags = 0x40;
        g_DefaultNote.ucSetting2 = 0x80;
        g_DefaultNote.ucCountA = 3;
        g_DefaultNote.auValuesA[0] = 0 | 255 << 8;
        g_DefaultNote.auValuesA[1] = 29 | 255 << 8;
        g_DefaultNote.auValuesA[2] = 143;
        g_DefaultNote.ucCountB = g_DefaultNote.ucCountC = 2;
        g_DefaultNote.auValuesB[0] = g_DefaultNote.auValuesC[0] = 0 | 127 << 8;
        g_DefaultNote.auValuesB[1] = g_DefaultNote.auValuesC[1] = 255 | 127 << 8;
        PACKDIR root;
        for (const char *f : {"AUTO", "CHASES", "JAMTEM", "PERF", "R"})
            Pack_Dir(root, f);
        Pack_Dir(root, "BOOT").files = {File("DEFRIF", "riffs"), File("EFFREAL", "effects")};
        for (const char *f : {"B/B/A", "B/D/A", "B/F/A", "D/B/A", "D/D/A", "F/A", "H/A", "J/A", "L/A", "B/H/A", "P/A",
                              "T/A"})
            Pack_Dir(root, f);
        // Kinds 1..3 are the folders B, D and F, each with the same two sounds in A/A.
        for (const char *kind : {"N/B/A/A", "N/D/A/A", "N/F/A/A"})
            Pack_Dir(root, kind).files = {File("KICK", SampleFile("Kick drum", 3, 1024)),
                                          File("PAD", Encoded("Warm pad", 9, 560))};
        Pack_Dir(root, "N/B/A/B").files = {File("BROKEN", std::string(20, 'x'))};
        PackAndWrite(root);
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
    }

    void TearDown() override
    {
        g_bJamSessionOn = 0;
        ClearSongData();
        Seq_UseVoiceOps(nullptr);
        WadTest::TearDown();
        g_aucResKindCallbacks[RES_INSTRUMENT] = 0;
        Snd_ShutdownSampleEngine();
    }

    // The library keys of an entry of A/A in a kind's folder: key 3 is its listing number.
    static int32_t Key3(int32_t kind, const char *name)
    {
        const uint8_t letters[3] = {(uint8_t)"BDF"[kind - 1], 'A', (uint8_t)(std::strcmp(name, "BROKEN") ? 'A' : 'B')};
        char entry[8] = {};
        std::memcpy(entry, name, std::strlen(name));
        uint16_t index[4] = {};
        EXPECT_EQ(Vid_LoadResByName(RES_INSTRUMENT, letters, entry, index, nullptr), 0) << name;
        return index[3];
    }

    static int32_t Load(int32_t slot, int32_t kind, const char *name = "KICK", int32_t replace = 1)
    {
        const int32_t key2 = std::strcmp(name, "BROKEN") ? 1 : 2;
        return Seq_LoadInstrument(slot, 1, key2, Key3(kind, name), kind, 0, replace, 1);
    }

    static SAMPLESLOT *SampleOf(int32_t slot)
    {
        SAMPLESLOT *p = nullptr;
        Snd_FindSampleById(&p, (uint32_t)g_aInstrumentSlots[slot].iSampleId);
        return p;
    }

    static int32_t LoadedSamples()
    {
        int32_t n = 0;
        for (int32_t i = 0; i < g_iSampleSlotCount; i++)
            n += g_ppSampleSlots[i] != nullptr;
        return n;
    }

    int32_t m_iRiff = 0, m_iStep = 0;

    // A note of the slot at the next cell of a riff.
    int32_t Note(int32_t slot, int32_t pitch)
    {
        if (!m_iRiff)
            m_iRiff = Seq_NewRiff(1, 1);
        const uint16_t flat[2] = {0x7F00, 0x7FFF};
        const int32_t a = Seq_AddParamList(2, flat, 0, 0);
        const int32_t b = Seq_AddParamList(2, flat, 0, 0);
        const int32_t c = Seq_AddParamList(2, flat, 0, 0);
        const int32_t id = Seq_FindOrAddNote((uint16_t)slot, pitch / 12, pitch % 12, 1, 200, 0, 0x40, 0x80, 0, 0, a,
                                             b, c, 0, 0, 0, 1);
        EXPECT_GT(id, 0);
        EXPECT_TRUE(id > 0 && Seq_SetRiffNote(m_iRiff, m_iStep++, 0, -id, 1, 0, 0));
        return id;
    }
};

TEST_F(SongSamples, LibraryInstrumentsLoadFromTheArchive)
{
    struct Case
    {
        int32_t kind, result;
        uint32_t rate;
    } cases[] = {{1, 3, 11025}, {2, 4, 22050}, {3, 5, 44100}};
    int32_t slot = 1;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        ASSERT_EQ(Load(slot, c.kind), c.result);
        const INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
        EXPECT_EQ(inst.ucKind, c.kind);
        EXPECT_EQ(inst.cSampleState, SAMPLE_STATE_LIBRARY);
        EXPECT_EQ(inst.ucReserved, 255);
        EXPECT_GT(inst.iSampleId, 0);
        EXPECT_EQ(std::string(inst.achArchiveName), "KICK");
        // 1072 bytes: (1072 - 48) x 7 / 4 = 1792 samples; name and category from the header.
        const int32_t record = Seq_FindSampleRecord(slot);
        ASSERT_GE(record, 1);
        EXPECT_EQ(g_aSamples[record].uLength, 1792u);
        EXPECT_EQ(g_aSamples[record].ucCategory, 3);
        EXPECT_STREQ(g_aSamples[record].szName, "Kick drum");
        EXPECT_EQ(inst.pszName, g_aSamples[record].szName);
        EXPECT_EQ(Seq_InstrumentCategory(slot), 3);
        SAMPLESLOT *sample = SampleOf(slot);
        ASSERT_NE(sample, nullptr);
        EXPECT_EQ(sample->uRate, c.rate);
        EXPECT_GT(sample->uFrames, 1700u);
        EXPECT_LE(sample->uFrames, 1792u);
        char shown[32];
        std::snprintf(shown, sizeof shown, "Sample %d", record);
        EXPECT_STREQ(sample->szName, shown);
        EXPECT_MODEL_WHOLE();
        slot++;
    }
    EXPECT_EQ(g_uInstrumentCount, 3);
    EXPECT_EQ(g_uSampleCount, 4) << "records 1..3";

    // An encoded sound decodes to its frames.
    ASSERT_EQ(Load(10, 3, "PAD"), 5);
    EXPECT_EQ(Seq_InstrumentCategory(10), 9);
    EXPECT_EQ(SampleOf(10)->uFrames, 560u);

    // Replacing an instrument releases the old sample and its record.
    const int32_t samples = LoadedSamples();
    const uint16_t records = g_uSampleCount;
    ASSERT_EQ(Load(10, 1), 3);
    EXPECT_EQ(LoadedSamples(), samples);
    EXPECT_EQ(g_uSampleCount, records);
    EXPECT_EQ(g_uInstrumentCount, 4);
    EXPECT_MODEL_WHOLE();

    // The new-song reset of a slot lets its resource, sample and record go.
    const int32_t id = g_aInstrumentSlots[10].iSampleId;
    ASSERT_NE(Vid_GetResData(id), nullptr);
    Seq_ClearInstrumentSlot(10, 1);
    EXPECT_EQ(Vid_GetResData(id), nullptr);
    EXPECT_EQ(LoadedSamples(), samples - 1);
    EXPECT_EQ(g_uSampleCount, records - 1);
    EXPECT_TRUE(Seq_InstrumentSlotFree(10));
}

// A load into an empty slot is one undo step that empties the slot again; a load over an
// instrument is not undone.
TEST_F(SongSamples, UndoEmptiesASlotALoadFilled)
{
    Seq_AllocUndoLog();
    const int32_t key3 = Key3(1, "KICK");
    ASSERT_EQ(Seq_LoadInstrument(7, 1, 1, key3, 1, 0, 1, 0), 3);
    Seq_CloseUndoStep();
    EXPECT_FALSE(Seq_InstrumentSlotFree(7));
    ASSERT_EQ(Seq_LoadInstrument(7, 1, 1, Key3(1, "PAD"), 1, 0, 1, 0), 3);
    Seq_CloseUndoStep();
    Seq_UndoLastStep();
    EXPECT_FALSE(Seq_InstrumentSlotFree(7)) << "a replacing load is not undone";
    Seq_UndoLastStep();
    EXPECT_TRUE(Seq_InstrumentSlotFree(7));
    EXPECT_MODEL_WHOLE();
    Seq_FreeUndoLog();
}

TEST_F(SongSamples, BrokenOrMissingEntriesLeaveTheSlotEmpty)
{
    const int32_t samples = LoadedSamples();
    // A file shorter than its header, a missing entry, a missing folder, kind out of range.
    EXPECT_EQ(Load(5, 1, "BROKEN"), 10);
    EXPECT_EQ(Seq_LoadInstrument(5, 1, 1, 40, 1, 0, 1, 1), 10);
    EXPECT_EQ(Seq_LoadInstrument(5, 9, 1, 1, 1, 0, 1, 1), 10);
    EXPECT_EQ(Seq_LoadInstrument(5, 1, 1, 1, 7, 0, 1, 1), 10);
    EXPECT_EQ(Seq_LoadInstrument(5, 1, 1, 1, 0, 0, 1, 1), 10);
    // Slots outside 0..200 are refused; key 3 of 0 names nothing to load.
    EXPECT_EQ(Seq_LoadInstrument(201, 1, 1, 1, 1, 0, 1, 1), 10);
    EXPECT_EQ(Seq_LoadInstrument(-1, 1, 1, 1, 1, 0, 1, 1), 10);
    EXPECT_EQ(Seq_LoadInstrument(0, 1, 1, 1, 1, 0, 1, 1), 10) << "slot 0 is the staging record";
    EXPECT_EQ(Seq_LoadInstrument(5, 1, 1, 0, 1, 0, 1, 1), 5);
    EXPECT_TRUE(Seq_InstrumentSlotFree(5));
    EXPECT_EQ(LoadedSamples(), samples);
    EXPECT_EQ(g_uSampleCount, 1);
    EXPECT_EQ(g_uInstrumentCount, 0);

    // A failed reload of a loaded slot empties it as well, releasing what it held. A song load's
    // abort flag stays as the load left it.
    g_bLoadAborted = 1;
    ASSERT_EQ(Load(5, 2), 4);
    EXPECT_EQ(g_bLoadAborted, 1);
    g_bLoadAborted = 0;
    EXPECT_EQ(Seq_LoadInstrument(5, 1, 1, 40, 2, 0, 1, 1), 10);
    EXPECT_TRUE(Seq_InstrumentSlotFree(5));
    EXPECT_EQ(LoadedSamples(), samples);
    EXPECT_EQ(g_uSampleCount, 1);
    EXPECT_MODEL_WHOLE();
}

TEST_F(SongSamples, ALibraryInstrumentUsedTwiceIsLoadedOnce)
{
    ASSERT_EQ(Load(150, 2), 4);
    const int32_t samples = LoadedSamples();
    // The song's lookup finds it in any slot 1..200, so a second use needs no load.
    EXPECT_EQ(Seq_FindLibraryInstrument(2, 1, 1, Key3(2, "KICK")), 150);
    EXPECT_EQ(Seq_FindLibraryInstrument(1, 1, 1, Key3(1, "KICK")), 0);

    // In a jam the load itself finds it: the use count rises and nothing more is loaded.
    g_bJamSessionOn = 1;
    g_aInstrumentSlots[150].ucUseCount = 1;
    EXPECT_EQ(Load(3, 2), 5);
    EXPECT_EQ(g_iFoundInstrumentSlot, 150);
    EXPECT_EQ(g_aInstrumentSlots[150].ucUseCount, 2);
    EXPECT_TRUE(Seq_InstrumentSlotFree(3));
    EXPECT_EQ(LoadedSamples(), samples);
    EXPECT_EQ(g_uSampleCount, 2);
    // Releasing: the first release keeps it, the last clears it.
    Seq_ReleaseInstrument(150);
    EXPECT_FALSE(Seq_InstrumentSlotFree(150));
    Seq_ReleaseInstrument(150);
    EXPECT_TRUE(Seq_InstrumentSlotFree(150));
    EXPECT_EQ(g_uSampleCount, 1);
    EXPECT_EQ(LoadedSamples(), samples - 1);
    EXPECT_MODEL_WHOLE();

    // An edited one is not the library's sound: it is not reused.
    g_bJamSessionOn = 0;
    ASSERT_EQ(Load(4, 2), 4);
    ASSERT_EQ(Seq_AddInstrumentCommand(4, 12, 0, 5), 0);
    EXPECT_EQ(Seq_FindLibraryInstrument(2, 1, 1, Key3(2, "KICK")), 0);
}

TEST_F(SongSamples, AFullInstrumentTableIsRefusedAndLeavesTheSongWhole)
{
    ASSERT_EQ(Load(1, 1), 3);
    const int32_t note = Note(1, 40);
    ASSERT_GT(note, 0);
    for (int32_t slot = 2; slot <= 200; slot++) {
        g_aInstrumentSlots[slot].ucKey1 = 255;
        g_aInstrumentSlots[slot].uKey2 = g_aInstrumentSlots[slot].uKey3 = 0xFFFF;
        g_aInstrumentSlots[slot].iSampleId = (int16_t)-slot;
    }
    INSTRUMENTSLOT before[SEQ_INSTRUMENT_SLOTS];
    std::memcpy(before, g_aInstrumentSlots, sizeof before);
    const uint16_t records = g_uSampleCount;
    const int32_t samples = LoadedSamples();
    const int32_t entries = Seq_FreeCommandEntries();

    EXPECT_EQ(Seq_AllocInstrumentSlot(), SEQ_NO_INSTRUMENT);
    EXPECT_EQ(Seq_PreviewLibraryInstrument(1, 1, Key3(3, "PAD"), 3), 10);
    EXPECT_EQ(Seq_CopyInstrument(1), 10);
    const int16_t words[4] = {1, 2, 3, 4};
    EXPECT_EQ(Snd_ImportRawSample("take", words, sizeof words, 44100), SEQ_NO_INSTRUMENT);

    EXPECT_EQ(std::memcmp(before, g_aInstrumentSlots, sizeof before), 0);
    EXPECT_EQ(g_uSampleCount, records);
    EXPECT_EQ(LoadedSamples(), samples);
    EXPECT_EQ(Seq_FreeCommandEntries(), entries);
    EXPECT_EQ(g_ucPendingInstrumentSlot, 201);
    EXPECT_EQ(Seq_GetNote(note)->uInstrument, 1);
    EXPECT_MODEL_WHOLE();
    for (int32_t slot = 2; slot <= 200; slot++)
        g_aInstrumentSlots[slot] = INSTRUMENTSLOT{};
}

TEST_F(SongSamples, AFullSampleTableRefusesTheLoad)
{
    while (Seq_AddSampleRecord(2) > 0) {
    }
    EXPECT_EQ(g_uSampleCount, SEQ_MAX_SAMPLES);
    const int32_t samples = LoadedSamples();
    EXPECT_EQ(Load(7, 3), 10);
    EXPECT_TRUE(Seq_InstrumentSlotFree(7));
    EXPECT_EQ(LoadedSamples(), samples);
    EXPECT_EQ(g_uSampleCount, SEQ_MAX_SAMPLES);
    EXPECT_MODEL_WHOLE();
}

TEST_F(SongSamples, CommandChainsAreBoundedAndKeepTheSampleState)
{
    ASSERT_EQ(Load(1, 1), 3);
    ASSERT_EQ(Load(2, 1, "PAD"), 3);
    // The only command gone: back to a plain library instrument (and an own sample to 2).
    ASSERT_EQ(Seq_AddInstrumentCommand(1, 10, 3, 9), 0);
    EXPECT_EQ(g_aInstrumentSlots[1].cSampleState, SAMPLE_STATE_EDITED);
    EXPECT_EQ(Seq_PackedInstrumentSize(1), 16);
    Seq_RemoveLastInstrumentCommand(1);
    EXPECT_EQ(g_aInstrumentSlots[1].cSampleState, SAMPLE_STATE_LIBRARY);
    EXPECT_EQ(g_aInstrumentSlots[1].pCommands, nullptr);
    EXPECT_EQ(g_aInstrumentSlots[1].ucCommandCount, 0);
    EXPECT_EQ(Seq_PackedInstrumentSize(1), 4);
    g_aInstrumentSlots[2].cSampleState = 2;
    ASSERT_EQ(Seq_AddInstrumentCommand(2, 10, 3, 9), 0);
    EXPECT_EQ(g_aInstrumentSlots[2].cSampleState, 3);
    Seq_RemoveLastInstrumentCommand(2);
    EXPECT_EQ(g_aInstrumentSlots[2].cSampleState, 2);

    // The song holds 128 entries in all: the next one is refused and changes nothing.
    for (int32_t i = 0; i < 100; i++)
        ASSERT_EQ(Seq_AddInstrumentCommand(1, 12, (uint32_t)i, 0), 0);
    for (int32_t i = 0; i < 28; i++)
        ASSERT_EQ(Seq_AddInstrumentCommand(2, 12, (uint32_t)i, 0), 0);
    EXPECT_EQ(Seq_FreeCommandEntries(), 0);
    EXPECT_EQ(Seq_AddInstrumentCommand(2, 12, 99, 0), -1);
    EXPECT_EQ(g_aInstrumentSlots[2].ucCommandCount, 28);
    EXPECT_EQ(Seq_AddInstrumentCommand(3, 12, 99, 0), -1);
    EXPECT_EQ(g_aInstrumentSlots[3].pCommands, nullptr);
    EXPECT_EQ(g_aInstrumentSlots[3].cSampleState, 0);
    // Clearing an instrument gives its entries back.
    Seq_ClearInstrument(1, 1, 1);
    EXPECT_EQ(Seq_FreeCommandEntries(), 100);
    EXPECT_MODEL_WHOLE();

    // A type-18 command owns one reference to its list, released with the chain.
    const uint16_t points[2] = {0x8000, 0x40FF};
    const int32_t list = Seq_AddParamList(2, points, 0, 0);
    ASSERT_GE(list, 0);
    Seq_ClearInstrument(2, 1, 1);
    ASSERT_EQ(Load(4, 1), 3);
    ASSERT_EQ(Seq_AddInstrumentCommand(4, 18, (uint32_t)list, 0), 0);
    ASSERT_EQ(Seq_AddInstrumentCommand(4, 0, 0, 50), 0);
    EXPECT_MODEL_WHOLE();
    const int32_t lists = Seq_ParamListCount();
    Seq_ClearInstrument(4, 1, 1);
    EXPECT_EQ(Seq_ParamListCount(), lists - 1);
    EXPECT_EQ(Seq_FreeCommandEntries(), SEQ_COMMAND_ENTRIES);
    EXPECT_MODEL_WHOLE();
}

TEST_F(SongSamples, PackedInstrumentBytes)
{
    ASSERT_EQ(Load(1, 2), 4);
    Vid_NumberResources(Vid_GetKindTree(Vid_GetKindRow(RES_INSTRUMENT)), nullptr, nullptr, nullptr);
    uint8_t out[64];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(Seq_PackInstrument(out, 1), out + 4);
    const uint16_t ref = (uint16_t)Vid_GetResSaveNumber(g_aInstrumentSlots[1].iSampleId);
    EXPECT_EQ(out[0], (uint8_t)ref);
    EXPECT_EQ(out[1], (uint8_t)(ref >> 8));
    EXPECT_EQ(out[2], 0) << "a plain library instrument packs no state";
    EXPECT_EQ(out[3], 0);

    const uint16_t points[2] = {0x8000, 0x40FF};
    const int32_t list = Seq_AddParamList(2, points, 0, 0);
    g_aParamListSlots[list].uSaveNumber = 7;
    ASSERT_EQ(Seq_AddInstrumentCommand(1, 18, (uint32_t)list, 0), 0);
    ASSERT_EQ(Seq_AddInstrumentCommand(1, 18, 0, 0x1234), 0);
    ASSERT_EQ(Seq_PackedInstrumentSize(1), 28);
    EXPECT_EQ(Seq_PackInstrument(out, 1), out + 28);
    const uint8_t expected[28] = {(uint8_t)ref, (uint8_t)(ref >> 8), 0x21, 2,
                                  7, 0, 0, 0, 0, 0, 0, 0, 18, 0, 0, 0,
                                  0, 0, 0, 0, 0x34, 0x12, 0, 0, 18, 0, 0, 0};
    EXPECT_EQ(std::memcmp(out, expected, sizeof expected), 0);
    EXPECT_EQ(out[28], 0xEE) << "nothing past the announced size";
    EXPECT_EQ(Seq_PackInstrument(out, 2), out) << "a free slot packs nothing";
}

TEST_F(SongSamples, PreviewTakesItsSlotOrGivesItBack)
{
    const int32_t key3 = Key3(3, "PAD");
    ASSERT_EQ(Seq_PreviewLibraryInstrument(1, 1, key3, 3), 1);
    const int32_t pending = g_ucPendingInstrumentSlot;
    ASSERT_EQ(pending, 1);
    EXPECT_EQ(g_aSeqChannels[0].uInstrument, pending) << "a test note sounds on channel 0";
    EXPECT_EQ(g_aPlayColumns[0].iLevel, 256 << 10) << "at full level";
    EXPECT_FALSE(Seq_InstrumentHasName(pending)) << "a pending instrument shows no name";
    EXPECT_MODEL_WHOLE();

    // Loading the same instrument into the pending slot keeps it and answers kind + 2.
    const int32_t id = g_aInstrumentSlots[pending].iSampleId;
    EXPECT_EQ(Seq_LoadInstrument(pending, 1, 1, key3, 3, 1, 1, 1), 5);
    EXPECT_EQ(g_ucPendingInstrumentSlot, 201);
    EXPECT_EQ(g_aInstrumentSlots[pending].iSampleId, id);
    EXPECT_TRUE(Seq_InstrumentHasName(pending));

    // Into another slot: the pending record moves there, nothing is loaded again.
    ASSERT_EQ(Seq_PreviewLibraryInstrument(1, 1, key3, 3), 1);
    const int32_t second = g_ucPendingInstrumentSlot;
    ASSERT_EQ(second, 2);
    const int32_t samples = LoadedSamples();
    EXPECT_EQ(Seq_LoadInstrument(9, 1, 1, key3, 3, 1, 1, 1), 5);
    EXPECT_TRUE(Seq_InstrumentSlotFree(second));
    EXPECT_FALSE(Seq_InstrumentSlotFree(9));
    EXPECT_EQ(LoadedSamples(), samples);

    // A different request drops the preview and loads its own.
    ASSERT_EQ(Seq_PreviewLibraryInstrument(1, 1, key3, 3), 1);
    const int32_t third = g_ucPendingInstrumentSlot;
    EXPECT_EQ(Seq_LoadInstrument(20, 1, 1, Key3(1, "KICK"), 1, 1, 1, 1), 3);
    EXPECT_TRUE(Seq_InstrumentSlotFree(third));
    EXPECT_EQ(g_ucPendingInstrumentSlot, 201);
    EXPECT_MODEL_WHOLE();

    // The test note of an instrument plays at octave kind + 2; a free slot plays nothing.
    Seq_PlayInstrumentTestNote(20);
    EXPECT_EQ(g_aSeqChannels[0].uInstrument, 20);
    EXPECT_EQ(g_aSeqChannels[0].iPitch >> 15, 3 * 12);
    Seq_PlayInstrumentTestNote(21);
    Seq_PlayInstrumentTestNote(201);
    EXPECT_EQ(g_aSeqChannels[0].uInstrument, 20);
    EXPECT_MODEL_WHOLE();

    // A preview that cannot load gives its slot back; dropping keys the voice off.
    EXPECT_EQ(Seq_PreviewLibraryInstrument(1, 2, Key3(1, "BROKEN"), 1), 10);
    EXPECT_EQ(g_ucPendingInstrumentSlot, 201);
    ASSERT_EQ(Seq_PreviewLibraryInstrument(1, 1, key3, 3), 1);
    const int32_t fourth = g_ucPendingInstrumentSlot;
    const int offs = s_keyOffs;
    Seq_DropPendingInstrument();
    EXPECT_GT(s_keyOffs, offs);
    EXPECT_TRUE(Seq_InstrumentSlotFree(fourth));
    EXPECT_EQ(g_ucPendingInstrumentSlot, 201);
    EXPECT_MODEL_WHOLE();
}

TEST_F(SongSamples, CopyGivesAnIndependentInstrument)
{
    ASSERT_EQ(Load(1, 3, "PAD"), 5);
    const uint16_t points[2] = {0x8000, 0x40FF};
    const int32_t list = Seq_AddParamList(2, points, 0, 0);
    ASSERT_EQ(Seq_AddInstrumentCommand(1, 18, (uint32_t)list, 0), 0);
    ASSERT_EQ(Seq_AddInstrumentCommand(1, 18, 0, 200), 0);
    ASSERT_EQ(Seq_AddInstrumentCommand(1, 10, 5, 100), 0);
    // The source's sample as edited: the copy takes this data, not the library's.
    SAMPLESLOT *source = SampleOf(1);
    reinterpret_cast<int16_t *>(source->pData)[0] = 1234;

    ASSERT_EQ(Seq_CopyInstrument(1), 1);
    const INSTRUMENTSLOT &a = g_aInstrumentSlots[1];
    const INSTRUMENTSLOT &b = g_aInstrumentSlots[2];
    EXPECT_EQ(b.cSampleState, SAMPLE_STATE_EDITED);
    EXPECT_EQ(b.ucCommandCount, 3);
    EXPECT_NE(b.pCommands, a.pCommands);
    EXPECT_NE(b.iSampleId, a.iSampleId);
    EXPECT_GT(b.iSampleId, 0);
    EXPECT_EQ(std::string(b.achArchiveName), "PAD");
    EXPECT_STREQ(b.pszName, "Warm pad");
    EXPECT_NE(b.pszName, a.pszName);
    SAMPLESLOT *copy = SampleOf(2);
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, source);
    EXPECT_EQ(copy->uFrames, source->uFrames);
    EXPECT_EQ(reinterpret_cast<int16_t *>(copy->pData)[0], 1234);
    EXPECT_NE(copy->pData, source->pData);
    EXPECT_MODEL_WHOLE();

    // Each chain goes on its own; each holds its own list reference.
    Seq_RemoveLastInstrumentCommand(2);
    EXPECT_EQ(a.ucCommandCount, 3);
    Seq_ClearInstrument(1, 1, 1);
    EXPECT_MODEL_WHOLE();
    EXPECT_NE(Seq_GetParamList(list, nullptr), nullptr);
    EXPECT_EQ(SampleOf(2), copy);
    Seq_ClearInstrument(2, 1, 1);
    EXPECT_EQ(Seq_GetParamList(list, nullptr), nullptr);
    EXPECT_EQ(g_uSampleCount, 1);
    EXPECT_MODEL_WHOLE();

    // An own sample is copied under a fresh own id; a free slot cannot be copied.
    const int16_t words[4] = {5, 6, 7, 8};
    const int32_t own = Snd_ImportRawSample("take", words, sizeof words, 22050);
    ASSERT_GE(own, 1);
    const uint16_t count = g_uInstrumentCount;
    ASSERT_EQ(Seq_CopyInstrument(own), 1);
    EXPECT_EQ(g_uInstrumentCount, count + 1);
    const int32_t other = own + 1;
    EXPECT_EQ(g_aInstrumentSlots[other].iSampleId, -2);
    EXPECT_EQ(g_aInstrumentSlots[other].cSampleState, SAMPLE_STATE_OWN);
    EXPECT_EQ(SampleOf(other)->uRate, 22050u);
    EXPECT_EQ(Seq_CopyInstrument(150), -1);
    EXPECT_EQ(Seq_CopyInstrument(0), -1);
    EXPECT_EQ(Seq_CopyInstrument(201), -1);
    EXPECT_MODEL_WHOLE();
}

TEST_F(SongSamples, OctaveShiftReloadsTheKindAndMovesTheNotes)
{
    ASSERT_EQ(Load(1, 1), 3);
    const int32_t low = Note(1, 30), high = Note(1, 65), other = Note(2, 30);
    ASSERT_GT(low, 0);
    Seq_InstrumentOctaveUp(1);
    EXPECT_EQ(g_aInstrumentSlots[1].ucKind, 2);
    EXPECT_EQ(SampleOf(1)->uRate, 22050u);
    EXPECT_EQ(Seq_GetNote(low)->ucPitch, 42);
    EXPECT_EQ(Seq_GetNote(high)->ucPitch, 65) << "notes at 60 and above stay";
    EXPECT_EQ(Seq_GetNote(other)->ucPitch, 30) << "another instrument's note";
    Seq_InstrumentOctaveUp(1);
    EXPECT_EQ(g_aInstrumentSlots[1].ucKind, 3);
    EXPECT_EQ(Seq_GetNote(low)->ucPitch, 54);
    // Kind 3 goes no higher.
    Seq_InstrumentOctaveUp(1);
    EXPECT_EQ(g_aInstrumentSlots[1].ucKind, 3);
    EXPECT_EQ(Seq_GetNote(low)->ucPitch, 54);
    Seq_InstrumentOctaveDown(1);
    EXPECT_EQ(g_aInstrumentSlots[1].ucKind, 2);
    EXPECT_EQ(Seq_GetNote(low)->ucPitch, 42);
    EXPECT_EQ(Seq_GetNote(high)->ucPitch, 53);
    EXPECT_EQ(g_uSampleCount, 2) << "one record: the old one went with its sample";
    EXPECT_MODEL_WHOLE();
    // An edited instrument is left alone.
    ASSERT_EQ(Seq_AddInstrumentCommand(1, 10, 0, 5), 0);
    Seq_InstrumentOctaveDown(1);
    EXPECT_EQ(g_aInstrumentSlots[1].ucKind, 2);
    EXPECT_EQ(Seq_GetNote(low)->ucPitch, 42);
    EXPECT_MODEL_WHOLE();
}

TEST_F(SongSamples, SampleRecordsCountFromOneAndOwnIdsAreBounded)
{
    EXPECT_EQ(Seq_AddSampleRecord(10), 1);
    g_aSamples[1].iSampleId = -1;
    EXPECT_EQ(Seq_AddSampleRecord(10), 2);
    g_aSamples[2].iSampleId = -3;
    EXPECT_EQ(Seq_NewSampleId(), -2);
    g_aSamples[2].iSampleId = -2;
    EXPECT_EQ(Seq_NewSampleId(), -3);
    Seq_RemoveSampleRecord(-1, 0);
    EXPECT_EQ(g_uSampleCount, 2);
    EXPECT_EQ(g_aSamples[1].iSampleId, -2);
    EXPECT_EQ(g_aSamples[2].iSampleId, 0) << "the records after the end are zeroed";
    EXPECT_EQ(Seq_NewSampleId(), -1);
    Seq_ClearSampleTable();
    // All 201 own ids taken: 0, which names no resource.
    for (int32_t n = 0; n < SEQ_MAX_SAMPLES - 1; n++)
        g_aSamples[Seq_AddSampleRecord(2)].iSampleId = (int16_t)-(n + 1);
    EXPECT_EQ(Seq_NewSampleId(), -200);
    EXPECT_EQ(Seq_FindSampleRecord(0), 0);
    EXPECT_EQ(Seq_FindSampleRecord(201), 0);
}

} // namespace

// The palette's test note is heard in a stopped studio whatever level the last song left on
// channel 0's column: a column no song ever played sits at 0, which silenced the note.
static int s_loudest0;

TEST_F(SongSamples, TheTestNoteIsHeardWhateverLevelTheSongLeft)
{
    SEQVOICEOPS ops = kQuiet;
    ops.setVolume = [](int32_t channel, int32_t left, int32_t right) {
        if (channel == 0)
            s_loudest0 = std::max({s_loudest0, left, right});
        return 0;
    };
    Seq_UseVoiceOps(&ops);
    g_CurrentNote = g_DefaultNote; // as a new song leaves it: the test note takes its flags
    ASSERT_EQ(Seq_LoadInstrument(20, 1, 1, Key3(1, "KICK"), 1, 1, 1, 1), 3);
    int heardAtFull = -1;
    for (const int32_t left : {256 << 10, 0, 3 << 10}) {
        SCOPED_TRACE(left);
        Seq_StopSong();
        g_aPlayColumns[0].iLevel = left;
        s_loudest0 = 0;
        Seq_PlayInstrumentTestNote(20);
        EXPECT_EQ(g_aPlayColumns[0].iLevel, 256 << 10);
        for (int block = 0; block < 40; block++)
            Seq_Tick();
        EXPECT_GT(s_loudest0, 0) << "the test note is heard";
        if (heardAtFull < 0)
            heardAtFull = s_loudest0;
        EXPECT_EQ(s_loudest0, heardAtFull) << "and as loud as after a song that ended at full level";
    }
    // A free slot plays nothing and leaves the column as it was.
    g_aPlayColumns[0].iLevel = 0;
    Seq_PlayInstrumentTestNote(21);
    EXPECT_EQ(g_aPlayColumns[0].iLevel, 0);
    EXPECT_MODEL_WHOLE();
}
