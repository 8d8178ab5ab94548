#include "tools/demosong.h"

#include <algorithm>
#include <vector>

#include "audio/import.h"
#include "audio/sampleslot.h"
#include "sequencer/eventlists.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/instruments.h"
#include "sequencer/samples.h"
#include "tools/soundcontent.h"

namespace {

enum Instrument
{
    KICK,
    SNARE,
    HAT,
    BASS,
    LEAD,
    PAD,
    COUNT
};
const int kLibrary[COUNT] = {0, 1, 2, 5, 6, 7}; // kick, snare, closed hat, bass, lead, pad
int32_t s_aSlot[COUNT];

// An instrument of the library's 44100 Hz sounds, imported as the song's own sample.
int32_t Import(int library)
{
    const CONTENTSAMPLE s = Content_SynthInstrument(library, 44100);
    std::vector<uint8_t> bytes(s.samples.size() * 2);
    for (size_t i = 0; i < s.samples.size(); i++) {
        bytes[2 * i] = (uint8_t)((uint16_t)s.samples[i] & 0xFF);
        bytes[2 * i + 1] = (uint8_t)((uint16_t)s.samples[i] >> 8);
    }
    const int32_t slot = Snd_ImportRawSample(Content_InstrumentInfo(library).shown, bytes.data(), (uint32_t)bytes.size(),
                                             44100);
    if (slot < 1 || slot > 200)
        return -1;
    SAMPLESLOT *sample = nullptr;
    if (s.loopStart >= 0 && Snd_FindSampleById(&sample, (uint32_t)g_aInstrumentSlots[slot].iSampleId) >= 0)
        Snd_SetSampleLoop(sample, (uint32_t)s.loopStart, 1);
    return slot;
}

struct Sound
{
    uint8_t flags = NOTE_FLAG_HITS8, hits = 0x80, preset = 0, rate = 0, depth = 0;
    std::vector<uint16_t> amp{0 | 255 << 8, 29 | 255 << 8, 143 | 0 << 8};
    uint8_t ampScale = 0;
    uint8_t pan = 127;
};

// A note through the song's note store; -1 when the store is full.
int32_t Note(Instrument inst, int32_t pitch, int32_t length, int32_t level, const Sound &s)
{
    const uint16_t pan[2] = {(uint16_t)(0 | s.pan << 8), (uint16_t)(255 | s.pan << 8)};
    const uint16_t flat[2] = {0 | 127 << 8, 255 | 127 << 8};
    const int32_t a = Seq_AddParamList((int32_t)s.amp.size(), s.amp.data(), s.ampScale, 0);
    const int32_t b = Seq_AddParamList(2, pan, 0, 0);
    const int32_t c = Seq_AddParamList(2, flat, 0, 0);
    const uint16_t before = g_uNoteCount;
    const int32_t id = (a < 0 || b < 0 || c < 0)
                           ? -1
                           : Seq_FindOrAddNote((uint16_t)s_aSlot[inst], pitch / 12, pitch % 12, (uint8_t)length,
                                               (uint8_t)level, s.flags, s.preset, s.hits, 0, 0, a, b, c, s.rate,
                                               s.depth, Seq_CurrentDiscByte(), 1);
    if (!(id > 0 && g_uNoteCount == before + 1)) {
        Seq_ReleaseParamList(a);
        Seq_ReleaseParamList(b);
        Seq_ReleaseParamList(c);
    }
    return id;
}

bool Put(int32_t riff, int32_t step, int32_t track, Instrument inst, int32_t pitch, int32_t length, int32_t level,
         const Sound &s = Sound{})
{
    const int32_t id = Note(inst, pitch, length, level, s);
    if (id < 0)
        return false;
    if (Seq_SetRiffNote(riff, step, track, -id, 1, 0, 0))
        return true;
    Seq_DeleteNote(id, 1, 0);
    return false;
}

int32_t NamedRiff(int32_t bars, int32_t tracks, const char *name, int32_t type)
{
    const int32_t riff = Seq_NewRiff(bars, tracks);
    if (riff < 0)
        return -1;
    char buffer[16] = {};
    for (int32_t i = 0; i < 15 && name[i]; i++)
        buffer[i] = name[i];
    Seq_SetRiffName(riff, buffer);
    Seq_SetRiffType(riff, type);
    Seq_SetRiffDefaults(riff, 2);
    return riff;
}

} // namespace

int32_t Content_BuildDemoSong()
{
    for (int i = 0; i < COUNT; i++)
        if ((s_aSlot[i] = Import(kLibrary[i])) < 0)
            return -1;
    bool ok = true;

    // Drums: one bar of kick, snare and hats; the hats play four hits a step on the off-beats.
    const int32_t drums = NamedRiff(1, 3, "Beat", CONTENT_CATEGORY_DRUMS);
    Sound hat;
    hat.hits = 0x88;
    hat.pan = 170;
    for (int32_t s : {0, 6, 8, 10})
        ok &= Put(drums, s, 0, KICK, 60, 1, 230);
    for (int32_t s : {4, 12})
        ok &= Put(drums, s, 1, SNARE, 60, 1, 200);
    for (int32_t s = 2; s < 16; s += 4)
        ok &= Put(drums, s, 2, HAT, 60, 1, 120, hat);

    // Bass: two bars, the last note gliding up into the next.
    const int32_t bass = NamedRiff(2, 1, "Bassline", CONTENT_CATEGORY_BASS);
    Sound round;
    round.amp = {0 | 255 << 8, 40 | 220 << 8, 120 | 0 << 8};
    Sound glide = round;
    glide.flags |= NOTE_FLAG_GLIDE;
    const int32_t line[8][2] = {{0, 60}, {3, 60}, {6, 67}, {8, 63}, {16, 58}, {19, 58}, {22, 65}, {28, 67}};
    for (const auto &n : line)
        ok &= Put(bass, n[0], 0, BASS, n[1], (n[0] == 28 || n[0] == 6) ? 2 : 3, 220, n[0] == 22 ? glide : round);

    // Lead: four bars with vibrato on the long notes and an echo preset.
    const int32_t lead = NamedRiff(4, 1, "Melody", CONTENT_CATEGORY_LEAD);
    Sound sing;
    sing.preset = 3;
    sing.rate = 0x21;
    sing.depth = 90;
    sing.pan = 100;
    const int32_t tune[10][3] = {{0, 72, 4},  {4, 75, 2},  {6, 79, 2},  {8, 77, 8},  {20, 75, 4},
                                 {24, 72, 8}, {32, 72, 4}, {36, 70, 4}, {40, 67, 8}, {52, 72, 12}};
    for (const auto &n : tune)
        ok &= Put(lead, n[0], 0, LEAD, n[1], n[2], 170, sing);

    // Pad: a slow chord of two joined-free tracks, four bars.
    const int32_t pad = NamedRiff(4, 2, "Chords", CONTENT_CATEGORY_PAD);
    Sound warm;
    warm.amp = {0 | 0 << 8, 60 | 255 << 8, 90 | 200 << 8, 160 | 0 << 8};
    warm.ampScale = 3;
    warm.pan = 80;
    Sound warm2 = warm;
    warm2.pan = 180;
    ok &= Put(pad, 0, 0, PAD, 60, 30, 140, warm);
    ok &= Put(pad, 0, 1, PAD, 67, 30, 120, warm2);
    ok &= Put(pad, 32, 0, PAD, 58, 30, 140, warm);
    ok &= Put(pad, 32, 1, PAD, 65, 30, 120, warm2);

    // The tone: one lead note alone, plain, over two rows.
    const int32_t tone = NamedRiff(2, 1, "Tone", CONTENT_CATEGORY_LEAD);
    ok &= Put(tone, 0, 0, LEAD, DEMO_TONE_PITCH, 28, 200);
    if (!ok || drums < 0 || bass < 0 || lead < 0 || pad < 0 || tone < 0)
        return -1;

    for (int32_t row = 0; row < DEMO_TONE_ROW; row++)
        Seq_PlaceRiff(drums, row, 0, 0, 1);
    for (int32_t row = 4; row < DEMO_TONE_ROW; row += 2)
        Seq_PlaceRiff(bass, row, 3, 0, 1);
    for (int32_t row = 8; row < DEMO_TONE_ROW; row += 4)
        Seq_PlaceRiff(lead, row, 4, 0, 1);
    for (int32_t row = 0; row < DEMO_TONE_ROW; row += 4)
        Seq_PlaceRiff(pad, row, 5, 0, 1);
    Seq_PlaceRiff(tone, DEMO_TONE_ROW, 4, 0, 1);

    // Tempo 120, rising to 140 over rows 8..11; volume 70 % rising to 100 % over the first 4 rows.
    if (Seq_SetTrackEntry(0, 1, 120, 120, 0, 0, 0, 0, 0, LIST_TEMPO) < 0 ||
        Seq_SetTrackEntry(8, 4, 120, 140, 0, 0, 0, 0, 0, LIST_TEMPO) < 0 ||
        Seq_SetTrackEntry(0, 4, 70, 100, 0, 0, 0, 0, 0, LIST_VOLUME) < 0)
        return -1;
    Seq_CountUsedRows();
    Seq_ComputeSongTime(9999);
    return 0;
}

namespace {

// An instrument of the archive's library in the next free slot, named by reference: the song
// carries no sample data of its own. -1 when it cannot be loaded.
int32_t LibraryInstrument(int library, int kind)
{
    // Folder and entry of each library sound ("DRUMS/KIT1" 1, "BASS/SYNTH" 2, ...), 1-based.
    const int kKeys[8][2] = {{1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {2, 1}, {3, 1}, {4, 1}};
    int32_t slot = 1;
    while (slot < 100 && !Seq_InstrumentSlotFree(slot))
        slot++;
    if (slot >= 100 || library < 0 || library > 7)
        return -1;
    const int32_t result = Seq_LoadInstrument(slot, kKeys[library][0], 1, kKeys[library][1], kind, 0, 1, 1);
    return result == kind + 2 ? slot : -1;
}

} // namespace

int32_t Content_BuildStyledSong(const CONTENTSTYLE &st)
{
    const int kStyleLibrary[COUNT] = {0, 1, 2, 5, 6, 7};
    for (int i = 0; i < COUNT; i++)
        if ((s_aSlot[i] = LibraryInstrument(kStyleLibrary[i], st.kind)) < 0)
            return -1;
    int32_t clapSlot = -1, openSlot = -1;
    if (!st.clap.empty() && (clapSlot = LibraryInstrument(4, st.kind)) < 0)
        return -1;
    if (!st.openHat.empty() && (openSlot = LibraryInstrument(3, st.kind)) < 0)
        return -1;
    bool ok = true;

    const int32_t drums = NamedRiff(1, 5, "Beat", CONTENT_CATEGORY_DRUMS);
    Sound hat;
    hat.hits = st.hatHits ? st.hatHits : 0x80;
    hat.pan = 170;
    for (int32_t s : st.kick)
        ok &= Put(drums, s, 0, KICK, 60, 1, 230);
    for (int32_t s : st.snare)
        ok &= Put(drums, s, 1, SNARE, 60, 1, 190);
    for (int32_t s : st.hat)
        ok &= Put(drums, s, 2, HAT, 60, 1, 110, hat);
    // The clap and the open hat borrow the snare's and the hat's slot numbers for their notes.
    const int32_t snareSlot = s_aSlot[SNARE], hatSlot = s_aSlot[HAT];
    if (clapSlot > 0) {
        s_aSlot[SNARE] = clapSlot;
        for (int32_t s : st.clap)
            ok &= Put(drums, s, 3, SNARE, 60, 1, 170);
        s_aSlot[SNARE] = snareSlot;
    }
    if (openSlot > 0) {
        s_aSlot[HAT] = openSlot;
        Sound open;
        open.pan = 90;
        for (int32_t s : st.openHat)
            ok &= Put(drums, s, 4, HAT, 60, 2, 100, open);
        s_aSlot[HAT] = hatSlot;
    }

    const int32_t bass = NamedRiff(2, 1, "Bassline", CONTENT_CATEGORY_BASS);
    Sound round;
    round.amp = {0 | 255 << 8, 40 | 220 << 8, 120 | 0 << 8};
    for (const CONTENTNOTE &n : st.bass)
        ok &= Put(bass, n.step, 0, BASS, 48 + st.key + n.pitch, n.length, 220, round);

    const int32_t lead = NamedRiff(4, 1, "Melody", CONTENT_CATEGORY_LEAD);
    Sound sing;
    sing.preset = 3;
    sing.rate = 0x21;
    sing.depth = 70;
    sing.pan = 100;
    for (const CONTENTNOTE &n : st.lead)
        ok &= Put(lead, n.step, 0, LEAD, 72 + st.key + n.pitch, n.length, 160, sing);

    const int32_t pad = NamedRiff(4, 2, "Chords", CONTENT_CATEGORY_PAD);
    Sound warm;
    warm.amp = {0 | 0 << 8, 60 | 255 << 8, 90 | 200 << 8, 160 | 0 << 8};
    warm.ampScale = 3;
    warm.pan = 80;
    Sound warm2 = warm;
    warm2.pan = 180;
    for (size_t i = 0; i < st.chords.size(); i++) {
        const CONTENTNOTE &n = st.chords[i];
        ok &= Put(pad, n.step, int32_t(i % 2), PAD, 60 + st.key + n.pitch, n.length, i % 2 ? 110 : 130,
                  i % 2 ? warm2 : warm);
    }
    if (!ok || drums < 0 || bass < 0 || lead < 0 || pad < 0)
        return -1;

    for (int32_t row = std::max(st.drumsFrom, 0); st.drumsFrom >= 0 && row < st.rows; row++)
        Seq_PlaceRiff(drums, row, 0, 0, 1);
    for (int32_t row = std::max(st.bassFrom, 0); st.bassFrom >= 0 && row + 2 <= st.rows; row += 2)
        Seq_PlaceRiff(bass, row, 3, 0, 1);
    for (int32_t row = std::max(st.leadFrom, 0); st.leadFrom >= 0 && row + 4 <= st.rows; row += 4)
        Seq_PlaceRiff(lead, row, 4, 0, 1);
    for (int32_t row = std::max(st.padFrom, 0); st.padFrom >= 0 && row + 4 <= st.rows; row += 4)
        Seq_PlaceRiff(pad, row, 5, 0, 1);

    if (Seq_SetTrackEntry(0, 1, st.tempo, st.tempo, 0, 0, 0, 0, 0, LIST_TEMPO) < 0 ||
        Seq_SetTrackEntry(0, 2, 80, 100, 0, 0, 0, 0, 0, LIST_VOLUME) < 0)
        return -1;
    Seq_CountUsedRows();
    Seq_ComputeSongTime(9999);
    return 0;
}
