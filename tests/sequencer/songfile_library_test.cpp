// Song images of songs that play library instruments: the RE chunk of resource references, the
// instruments found again by them (once, however many records name them), references of a disc
// that is not in use (the load goes on without them and says so), and broken RE chunks.
#include "seqfixture.h"

#include "audio/mixer.h"
#include "audio/sampleedit.h"
#include "audio/sampleslot.h"
#include "core/browser.h"
#include "app/timers.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/samples.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "support/songdata.h"
#include "support/wadfixture.h"
#include "tools/soundcontent.h"
#include "video/respages.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Image = std::vector<uint8_t>;

uint16_t R16(const Image &b, size_t at) { return (uint16_t)(b[at] | b[at + 1] << 8); }
uint32_t R32(const Image &b, size_t at) { return (uint32_t)R16(b, at) | (uint32_t)R16(b, at + 2) << 16; }

std::string Encoded(const char *name, uint8_t category, int frames)
{
    CONTENTSAMPLE s;
    for (int i = 0; i < frames; i++)
        s.samples.push_back((int16_t)((i % 40) * 400 - 8000));
    s.loopStart = -1;
    const std::vector<uint8_t> bytes = Content_MakeSampleFile(name, category, s);
    return std::string(bytes.begin(), bytes.end());
}

// Offset of the chunk of a type, 0 when the image has none.
size_t ChunkAt(const Image &img, int32_t type)
{
    for (size_t at = 12; at + 4 <= img.size();) {
        const int32_t t = Seq_ChunkTypeOfTag(img.data() + at);
        const uint32_t step = Seq_ChunkStep(img.data() + at, img.size() - at, t < 0 ? 0 : t);
        if (t == type)
            return at;
        if (!step)
            return 0;
        at += step;
    }
    return 0;
}

class LibrarySong : public WadTest
{
protected:
    void SetUp() override
    {
        Seq_ResetSongModel();
        Seq_SetTextMeasurer(FixedWidth);
        ASSERT_EQ(Snd_InitSampleEngine(256), 0);
        g_bTaggedSongFile = 1;
        Seq_Init();
        Seq_NewSong();
        WadTest::SetUp();
        Vid_CreateResPagePool();
        PACKDIR &root = m_root;
        for (const char *f : {"AUTO", "CHASES", "JAMTEM", "PERF", "R", "BOOT"})
            Pack_Dir(root, f);
        for (const char *f : {"B/B/A", "B/D/A", "B/F/A", "D/B/A", "D/D/A", "F/A", "H/A", "J/A", "L/A", "B/H/A", "P/A",
                              "T/A"})
            Pack_Dir(root, f);
        for (const char *kind : {"N/B/A/A", "N/D/A/A", "N/F/A/A"})
            Pack_Dir(root, kind).files = {File("KICK", Encoded("Kick drum", 3, 560)),
                                          File("PAD", Encoded("Warm pad", 9, 840))};
        PackAndWrite(root);
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        Seq_NewSong();
    }
    void TearDown() override
    {
        Seq_NewSong();
        ClearSongData();
        g_iSongInsertRow = -1;
        g_bTaggedSongFile = 1;
        WadTest::TearDown();
        g_aucResKindCallbacks[RES_INSTRUMENT] = 0;
        Snd_ShutdownSampleEngine();
        Seq_SetTextMeasurer(nullptr);
    }

    // Loads library entry `name` of kind folder `kind` into a new slot; the slot.
    static int32_t Instrument(int32_t kind, const char *name)
    {
        const uint8_t letters[3] = {(uint8_t)"BDF"[kind - 1], 'A', 'A'};
        char entry[8] = {};
        std::memcpy(entry, name, std::strlen(name));
        uint16_t index[4] = {};
        EXPECT_EQ(Vid_LoadResByName(RES_INSTRUMENT, letters, entry, index, nullptr), 0) << name;
        const int32_t slot = Seq_AllocInstrumentSlot();
        EXPECT_EQ(Seq_LoadInstrument(slot, 1, 1, index[3], kind, 0, 1, 1), kind + 2) << name;
        return slot;
    }

    // A riff of notes of the given slots, placed at a row.
    static int32_t Riff(std::initializer_list<int32_t> slots, int32_t row, int32_t column)
    {
        const int32_t riff = Seq_NewRiff(1, (int32_t)slots.size());
        int32_t track = 0;
        for (int32_t slot : slots) {
            const uint16_t amp[3] = {0xFF00, 0xFF1D, 0x008F}, flat[2] = {0x7F00, 0x7FFF}; // time | level << 8
            const int32_t a = Seq_AddParamList(3, amp, 0, 0), b = Seq_AddParamList(2, flat, 0, 0),
                          c = Seq_AddParamList(2, flat, 0, 0);
            const uint16_t before = g_uNoteCount;
            const int32_t id = Seq_FindOrAddNote((uint16_t)slot, 4, track, 2, 200, NOTE_FLAG_HITS8, 0, 0x80, 0, 0, a, b, c, 0,
                                                 0, 0, 1);
            if (!(id > 0 && g_uNoteCount == before + 1)) {
                Seq_ReleaseParamList(a);
                Seq_ReleaseParamList(b);
                Seq_ReleaseParamList(c);
            }
            EXPECT_TRUE(id > 0 && Seq_SetRiffNote(riff, 4 * track, track, -id, 1, 0, 0));
            track++;
        }
        Seq_PlaceRiff(riff, row, column, 0, 1);
        return riff;
    }

    PACKDIR m_root;

    // RMS of one second of a riff's preview through the mixer.
    static double PreviewLevel(int32_t riff)
    {
        EXPECT_EQ(Sys_AllocMixBuffers(), 0);
        Snd_SetMasterVolume(0x3FFF, 0x3FFF);
        Seq_PlayRiffPreview(0, riff);
        double energy = 0;
        for (int32_t block = 0; block < 44100 / 72; block++) {
            std::memset(g_pMixOutputBuffer, 0, (size_t)g_iMixBlockFrames * 4);
            Snd_SetMixParam(16, g_pMixOutputBuffer);
            Seq_Tick();
            Snd_MixBlock();
            for (int32_t i = 0; i < g_iMixBlockFrames * 2; i++)
                energy += (double)g_pMixOutputBuffer[i] * g_pMixOutputBuffer[i];
        }
        Seq_StopRiffPreview();
        Sys_FreeMixBuffers();
        return std::sqrt(energy / (44100.0 * 2));
    }

    static std::vector<int16_t> Sound(int32_t slot)
    {
        SAMPLESLOT *p = nullptr;
        EXPECT_GE(Snd_FindSampleById(&p, (uint32_t)g_aInstrumentSlots[slot].iSampleId), 0);
        std::vector<int16_t> mono(p ? p->uFrames : 0);
        if (p)
            Snd_CopySampleLeft(mono.data(), p);
        return mono;
    }

    static Image Save() { return Seq_SaveSongImage(SONGPART_SONG, "Library"); }
    static int32_t Load(const Image &b) { return Seq_LoadSongImage(b.data(), b.size()); }

    // A song of two library instruments of different kinds and an own note of neither.
    static Image TwoInstrumentSong()
    {
        const int32_t kick = Instrument(1, "KICK"), pad = Instrument(3, "PAD");
        Riff({kick, pad}, 0, 0);
        Riff({pad}, 2, 4);
        return Save();
    }

    static int32_t LibrarySlots()
    {
        int32_t n = 0;
        for (int32_t s = 1; s < SEQ_INSTRUMENT_SLOTS; s++)
            n += !Seq_InstrumentSlotFree(s) && g_aInstrumentSlots[s].ucKey1 < 254;
        return n;
    }
};

TEST_F(LibrarySong, LibraryInstrumentsRoundTripAsResourceReferences)
{
    const Image a = TwoInstrumentSong();
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(R32(a, 4) >> 8 & 0x1F, 0x1Fu) << "H2 AU CN DS RE present";
    // RE: one disc group, disc 0, two references root first: kind folder N, then B/A/A or F/A/A.
    const size_t re = ChunkAt(a, CHUNK_RE);
    ASSERT_GT(re, 0u);
    EXPECT_EQ(R16(a, re + 2), (4 + 24 + 11) >> 2);
    EXPECT_EQ(R32(a, re + 4), 1u);
    EXPECT_EQ(R16(a, re + 8), 0);
    EXPECT_EQ(R16(a, re + 10), 2);
    EXPECT_EQ(std::memcmp(a.data() + re + 12, "NBAAKICK\0\0\0\0", 12), 0);
    EXPECT_EQ(std::memcmp(a.data() + re + 24, "NFAAPAD\0\0\0\0\0", 12), 0);
    // IN: two four-byte records naming resources 0 and 1, source kind 0.
    const size_t in = ChunkAt(a, CHUNK_IN);
    ASSERT_GT(in, 0u);
    EXPECT_EQ(R32(a, in + 4), 2u);
    EXPECT_EQ(R32(a, in + 8), 0u);
    EXPECT_EQ(R32(a, in + 12), 1u);

    const std::vector<int16_t> padSound = Sound(2);
    Seq_NewSong();
    EXPECT_EQ(LibrarySlots(), 0);
    ASSERT_EQ(Load(a), 0);
    EXPECT_MODEL_WHOLE();
    ASSERT_EQ(LibrarySlots(), 2);
    const INSTRUMENTSLOT &kick = g_aInstrumentSlots[1], &pad = g_aInstrumentSlots[2];
    EXPECT_EQ(kick.ucKind, 1);
    EXPECT_EQ(pad.ucKind, 3);
    EXPECT_EQ(std::string(kick.achArchiveName), "KICK");
    EXPECT_EQ(std::string(pad.achArchiveName), "PAD");
    EXPECT_EQ(pad.cSampleState, SAMPLE_STATE_LIBRARY);
    SAMPLESLOT *sample = nullptr;
    ASSERT_GE(Snd_FindSampleById(&sample, (uint32_t)pad.iSampleId), 0);
    EXPECT_GT(sample->uFrames, 800u);
    EXPECT_EQ(Sound(2), padSound) << "the library sample itself is back";
    EXPECT_GT(PreviewLevel(1), 300.0) << "the loaded riff of library instruments is silent";
    const NOTEENTRY *first = Seq_GetNote(*Seq_RiffCell(Seq_GetRiff(1), 0, 0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->uInstrument, 1);
    const Image b = Save();
    EXPECT_EQ(b, a);
    ASSERT_EQ(Load(b), 0);
    EXPECT_EQ(Save(), a);
}

// An instrument already in the song is used again by a load that adds to the song, and two
// records of one library sample make one slot.
TEST_F(LibrarySong, AnInstrumentInTheSongIsNotLoadedTwice)
{
    const int32_t kick = Instrument(1, "KICK");
    Riff({kick}, 0, 0);
    const int32_t again = Instrument(1, "KICK"); // a second slot of the same sample
    Riff({again}, 0, 3);
    const Image a = Save();
    ASSERT_FALSE(a.empty());
    // Each slot holds its own record of the entry (instruments stream): two references.
    EXPECT_EQ(R32(a, ChunkAt(a, CHUNK_RE) + 8), 0x00020000u);

    Seq_NewSong();
    ASSERT_EQ(Load(a), 0);
    EXPECT_EQ(LibrarySlots(), 1);
    EXPECT_MODEL_WHOLE();
    // Inserted below the song: the slot of the song plays the inserted notes too.
    const int32_t resources = Vid_GetResCount(g_aInstrumentSlots[1].iSampleId);
    g_iSongInsertRow = Seq_CountUsedRows();
    CHUNKLOADCONTEXT load;
    ASSERT_EQ(Seq_LoadChunks(a.data(), a.size(), 0, 0, 0, &load), 0);
    EXPECT_EQ(Seq_FinishLoad(0, &load), 0);
    g_iSongInsertRow = -1;
    EXPECT_EQ(LibrarySlots(), 1);
    EXPECT_EQ(Vid_GetResCount(g_aInstrumentSlots[1].iSampleId), resources);
    EXPECT_EQ(g_uRiffCount, 5);
    EXPECT_MODEL_WHOLE();
}

// A load that runs out of riffs gives back the library instruments it loaded, samples and all.
TEST_F(LibrarySong, AnAbandonedLoadGivesItsInstrumentsBack)
{
    const Image a = TwoInstrumentSong();
    Seq_NewSong();
    Riff({Instrument(2, "KICK")}, 0, 0);
    while (Seq_NewRiff(1, 1) > 0 && g_uRiffCount < SEQ_MAX_RIFFS - 1) {
    }
    const Image before = Save();
    const int32_t samples = g_uSampleCount, slots = LibrarySlots();
    CHUNKLOADCONTEXT load;
    ASSERT_EQ(Seq_LoadChunks(a.data(), a.size(), 0, 0, 0, &load), 0);
    EXPECT_EQ(Seq_FinishLoad(0, &load), SONGLOAD_ABANDONED);
    EXPECT_EQ(LibrarySlots(), slots);
    EXPECT_EQ(g_uSampleCount, samples);
    EXPECT_EQ(Save(), before);
    EXPECT_MODEL_WHOLE();
}

// A reference is looked up by its disc's name among the registered discs: the disc in use loads
// whatever number it was saved under; any other disc is never waited for, the instrument comes
// out without its sample and the load says so.
TEST_F(LibrarySong, ReferencesOfAnotherDiscAreLookedUpByName)
{
    const Image a = TwoInstrumentSong();
    const size_t ds = ChunkAt(a, CHUNK_DS), re = ChunkAt(a, CHUNK_RE);
    ASSERT_GT(ds, 0u);
    ASSERT_GT(re, 0u);
    EXPECT_EQ(std::memcmp(a.data() + ds + 8, "\0TONNIVELLE", 11), 0);
    struct Case
    {
        const char *name;
        uint8_t discNumber;  // the DS record's and the RE group's
        const char *discName; // the DS record's name
        int32_t result;
    };
    const Case cases[] = {
        {"the disc in use under another number", 5, "TONNIVELLE", 0},
        {"a disc that is not registered", 3, "OTHER DISC", 0x101},
        {"a disc number the image does not name", 7, nullptr, 0x101},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Image img = a;
        img[re + 8] = c.discNumber;
        if (c.discName) {
            img[ds + 8] = c.discNumber;
            std::memset(img.data() + ds + 9, 0, 19);
            std::memcpy(img.data() + ds + 9, c.discName, std::strlen(c.discName));
        }
        Seq_NewSong();
        ASSERT_EQ(Load(img), c.result);
        EXPECT_MODEL_WHOLE();
        EXPECT_EQ(g_uRiffCount, 3) << "the rest of the song is there";
        EXPECT_EQ(LibrarySlots(), c.result ? 0 : 2);
        // The notes keep an instrument of their own, which plays nothing.
        const NOTEENTRY *n = Seq_GetNote(*Seq_RiffCell(Seq_GetRiff(1), 0, 0));
        ASSERT_NE(n, nullptr);
        EXPECT_GE(n->uInstrument, 1);
        EXPECT_LE(n->uInstrument, 200);
    }
}

// The disc in use is saved under its own number and name, and found again by them.
TEST_F(LibrarySong, ADiscOfAnotherNumberAndNameRoundTrips)
{
    Sys_WadFreeBuffers();
    Sys_FreeDiscPool();
    PACKOPTIONS options;
    options.discName = "SECOND DISC";
    options.discNumber = 3;
    PackAndWrite(m_root, options);
    ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
    const Image a = TwoInstrumentSong();
    ASSERT_FALSE(a.empty());
    const size_t ds = ChunkAt(a, CHUNK_DS), re = ChunkAt(a, CHUNK_RE);
    EXPECT_EQ(R32(a, ds + 4), 1u);
    EXPECT_EQ(std::memcmp(a.data() + ds + 8, "\x03SECOND DISC\0", 13), 0);
    EXPECT_EQ(R16(a, re + 8), 3);
    Seq_NewSong();
    ASSERT_EQ(Load(a), 0);
    EXPECT_EQ(LibrarySlots(), 2);
    EXPECT_EQ(Save(), a);
}

// Broken RE chunks are refused before anything of the current song changes.
TEST_F(LibrarySong, BrokenResourceChunksLeaveTheSongAlone)
{
    const Image good = TwoInstrumentSong();
    Seq_NewSong();
    Riff({Instrument(2, "PAD")}, 5, 5);
    const Image current = Save();
    ASSERT_FALSE(current.empty());
    const size_t re = ChunkAt(good, CHUNK_RE), in = ChunkAt(good, CHUNK_IN);
    ASSERT_GT(re, 0u);
    ASSERT_GT(in, 0u);
    auto refused = [&](const Image &bad, const std::string &why) {
        SCOPED_TRACE(why);
        EXPECT_EQ(Load(bad), SONGLOAD_UNREADABLE);
        EXPECT_EQ(Save(), current);
    };
    auto patched = [&](size_t at, std::initializer_list<uint8_t> bytes) {
        Image b = good;
        for (uint8_t v : bytes)
            b[at++] = v;
        return b;
    };
    const uint32_t reEnd = (uint32_t)re + Seq_ChunkStep(good.data() + re, good.size() - re, CHUNK_RE);
    for (size_t len = re + 1; len < reEnd; len++) {
        // Cut inside RE, with a total that agrees with the cut and one that does not.
        Image cut(good.begin(), good.begin() + (ptrdiff_t)len);
        refused(cut, "cut at " + std::to_string(len));
        const uint32_t total = (uint32_t)len;
        std::memcpy(cut.data() + 8, &total, 4);
        refused(cut, "cut at " + std::to_string(len) + ", total says so");
    }
    refused(patched(re + 2, {0, 0}), "zero length");
    refused(patched(re + 2, {0xFF, 0xFF}), "huge length");
    refused(patched(re + 4, {0xFF, 0xFF}), "huge group count");
    refused(patched(re + 10, {0xFF, 0x00}), "group of more references than the chunk holds");
    refused(patched(in + 8, {2, 0}), "instrument naming resource 2 of 2");
    refused(patched(in + 8, {0xFF, 0xFF}), "instrument naming resource 0xFFFF");
    EXPECT_MODEL_WHOLE();
}

// A library instrument with sample edits travels as its chain (the chain starts from its source)
// and is made again from it when the load is done.
TEST_F(LibrarySong, AnEditedLibraryInstrumentIsSavedAsItsChain)
{
    const int32_t kick = Instrument(1, "KICK");
    Riff({kick}, 0, 0);
    ASSERT_EQ(Snd_OpenSampleEditor(EDIT_SILENT), 1);
    Snd_SelectEditInstrument(kick, 0);
    const int32_t frames = g_iEditFrames;
    ASSERT_GT(frames, 100);
    Snd_DoSampleEdit(EDIT_REVERSE, 0, frames - 1, 0);
    Snd_CloseSampleEditor();
    ASSERT_EQ(g_aInstrumentSlots[kick].cSampleState, SAMPLE_STATE_EDITED);
    auto sound = [](int32_t slot) {
        SAMPLESLOT *p = nullptr;
        EXPECT_GE(Snd_FindSampleById(&p, (uint32_t)g_aInstrumentSlots[slot].iSampleId), 0);
        std::vector<int16_t> mono(p ? p->uFrames : 0);
        if (p)
            Snd_CopySampleLeft(mono.data(), p);
        return mono;
    };
    const std::vector<int16_t> edited = sound(kick);
    const Image a = Save();
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(ChunkAt(a, CHUNK_RE), 0u) << "an edited sample names no resource: its chain starts from it";
    const size_t in = ChunkAt(a, CHUNK_IN);
    ASSERT_GT(in, 0u);
    EXPECT_EQ(a[in + 10], 1 << 4 | 1) << "library kind 1, source kind 1";
    EXPECT_EQ(a[in + 11], 3) << "source (two entries) and reverse";
    EXPECT_EQ(R32(a, in + 12 + 8), (uint32_t)EDIT_SOURCE);
    Seq_NewSong();
    ASSERT_EQ(Load(a), 0);
    EXPECT_MODEL_WHOLE();
    EXPECT_EQ(g_aInstrumentSlots[1].cSampleState, SAMPLE_STATE_EDITED) << "the chain was replayed";
    EXPECT_EQ(sound(1), edited);
    EXPECT_EQ(Save(), a);
}

} // namespace
