#include "tools/riffcontent.h"

#include "audio/import.h"
#include "core/browser.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "sequencer/samples.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

const CONTENTRIFFSTYLE kStyles[] = {
    {"ROCK", "Rock"}, {"FUNK", "Funk"}, {"DISCO", "Disco"}, {"HOUSE", "House"}, {"REGGAE", "Reggae"}, {"BALLAD", "Ballad"},
};
const char *const kParts[CONTENT_RIFF_PARTS] = {"DRUMS", "BASS", "LEAD", "PAD"};

// Library instruments used: kick, snare, closed hat, bass, lead, pad.
enum Sound
{
    KICK,
    SNARE,
    HAT,
    BASS,
    LEAD,
    PAD,
    SOUNDS
};
const int kLibrary[SOUNDS] = {0, 1, 2, 5, 6, 7};

// The untagged layout holds at most 65534 bytes of a sample: the sound is cut there, with a fade.
int32_t ImportShort(int library)
{
    CONTENTSAMPLE s = Content_SynthInstrument(library, 44100);
    const size_t most = 32766;
    if (s.samples.size() > most) {
        const size_t fade = 2000;
        s.samples.resize(most);
        for (size_t i = 0; i < fade; i++)
            s.samples[most - fade + i] = (int16_t)(s.samples[most - fade + i] * (double)(fade - i) / fade);
    }
    std::vector<uint8_t> bytes(s.samples.size() * 2);
    for (size_t i = 0; i < s.samples.size(); i++) {
        bytes[2 * i] = (uint8_t)((uint16_t)s.samples[i] & 0xFF);
        bytes[2 * i + 1] = (uint8_t)((uint16_t)s.samples[i] >> 8);
    }
    const int32_t slot = Snd_ImportRawSample(Content_InstrumentInfo(library).shown, bytes.data(),
                                             (uint32_t)bytes.size(), 44100);
    return slot >= 1 && slot <= 200 ? slot : -1;
}

bool Put(int32_t riff, int32_t step, int32_t track, int32_t slot, int32_t pitch, int32_t length, int32_t level,
         uint8_t hits = 0x80)
{
    const uint16_t amp[3] = {0 | 255 << 8, 29 | 255 << 8, 143 | 0 << 8};
    const uint16_t flat[2] = {0 | 127 << 8, 255 | 127 << 8};
    const int32_t a = Seq_AddParamList(3, amp, 0, 0), b = Seq_AddParamList(2, flat, 0, 0),
                  c = Seq_AddParamList(2, flat, 0, 0);
    const uint16_t before = g_uNoteCount;
    const int32_t id = a < 0 || b < 0 || c < 0
                           ? -1
                           : Seq_FindOrAddNote((uint16_t)slot, pitch / 12, pitch % 12, (uint8_t)length, (uint8_t)level,
                                               NOTE_FLAG_HITS8, 0, hits, 0, 0, a, b, c, 0, 0, 0, 1);
    if (!(id > 0 && g_uNoteCount == before + 1)) {
        Seq_ReleaseParamList(a);
        Seq_ReleaseParamList(b);
        Seq_ReleaseParamList(c);
    }
    if (id <= 0)
        return false;
    if (Seq_SetRiffNote(riff, step, track, -id, 1, 0, 0))
        return true;
    Seq_DeleteNote(id, 1, 0);
    return false;
}

// A riff of one part of a style; variant 0 or 1. False when a record could not be made.
bool BuildRiff(int style, int part, int variant, char name[16])
{
    int32_t slot[SOUNDS] = {-1, -1, -1, -1, -1, -1};
    const int32_t bars = part == 0 ? 1 : 2;
    const int32_t tracks = part == 0 ? 3 : part == 3 ? 3 : 1;
    const int32_t riff = Seq_NewRiff(bars, tracks);
    if (riff < 0)
        return false;
    const std::string text = std::string(kStyles[style].name) + " " +
                             (part == 0 ? "Beat" : part == 1 ? "Bass" : part == 2 ? "Lead" : "Pad") + " " +
                             std::to_string(variant + 1);
    std::memset(name, 0, 16);
    std::memcpy(name, text.data(), std::min<size_t>(text.size(), 15));
    Seq_SetRiffName(riff, name);
    Seq_SetRiffType(riff, part == 0 ? CONTENT_CATEGORY_DRUMS : part == 1 ? CONTENT_CATEGORY_BASS
                                                            : part == 2 ? CONTENT_CATEGORY_LEAD
                                                                        : CONTENT_CATEGORY_PAD);
    bool ok = true;
    // Roots of the two-bar progressions, one per style (semitones above C).
    const int32_t root = 60 + (style * 5 + variant * 2) % 12 - 5;
    if (part == 0) {
        ok &= (slot[KICK] = ImportShort(kLibrary[KICK])) > 0;
        ok &= (slot[SNARE] = ImportShort(kLibrary[SNARE])) > 0;
        ok &= (slot[HAT] = ImportShort(kLibrary[HAT])) > 0;
        if (!ok)
            return false;
        // Kick patterns by style: straight, syncopated, four on the floor, offbeat one-drop, half time.
        static const uint16_t kKick[6][2] = {{0x0101, 0x0505}, {0x0221, 0x0a21}, {0x1111, 0x1111},
                                             {0x1111, 0x1151}, {0x0100, 0x0001}, {0x0101, 0x0001}};
        static const uint16_t kSnare[6][2] = {{0x1010, 0x1012}, {0x1090, 0x5010}, {0x1010, 0x1014},
                                              {0x1010, 0x1810}, {0x0100, 0x0101}, {0x0010, 0x1010}};
        for (int32_t s = 0; s < 16; s++) {
            if (kKick[style][variant] >> s & 1)
                ok &= Put(riff, s, 0, slot[KICK], 60, 1, 230);
            if (kSnare[style][variant] >> s & 1)
                ok &= Put(riff, s, 1, slot[SNARE], 60, 1, 200);
            const bool hat = style == 4 ? (s % 4 == 2) : variant ? true : (s % 2 == 0);
            if (hat)
                ok &= Put(riff, s, 2, slot[HAT], 60, 1, s % 4 == 0 ? 140 : 100, style == 3 && s % 4 == 2 ? 0x88 : 0x80);
        }
    } else if (part == 1) {
        if ((slot[BASS] = ImportShort(kLibrary[BASS])) <= 0)
            return false;
        const int32_t line[2][8][3] = {{{0, 0, 3}, {4, 0, 2}, {8, 7, 3}, {12, 5, 2}, {16, -2, 3}, {20, -2, 2}, {24, 5, 3}, {28, 7, 2}},
                                       {{0, 0, 2}, {3, 12, 1}, {6, 0, 2}, {10, 3, 2}, {16, 5, 2}, {19, 17, 1}, {22, 5, 2}, {26, 7, 4}}};
        for (const auto &n : line[variant])
            ok &= Put(riff, n[0], 0, slot[BASS], root - 5 + n[1], n[2], 210);
    } else if (part == 2) {
        if ((slot[LEAD] = ImportShort(kLibrary[LEAD])) <= 0)
            return false;
        const int32_t tune[2][7][3] = {{{0, 7, 2}, {2, 9, 2}, {4, 12, 4}, {10, 9, 2}, {16, 7, 4}, {22, 4, 2}, {24, 2, 6}},
                                       {{0, 12, 3}, {4, 11, 1}, {6, 9, 2}, {8, 7, 4}, {16, 4, 2}, {18, 7, 2}, {20, 9, 8}}};
        for (const auto &n : tune[variant])
            ok &= Put(riff, n[0], 0, slot[LEAD], root + n[1], n[2], 180);
    } else {
        if ((slot[PAD] = ImportShort(kLibrary[PAD])) <= 0)
            return false;
        // A chord a bar: root triad, then the fourth's triad (the second variant inverts it).
        const int32_t chords[2][3] = {{0, 4, 7}, {5, 9, 12}};
        for (int32_t bar = 0; bar < 2; bar++)
            for (int32_t t = 0; t < 3; t++)
                ok &= Put(riff, bar * 16, t, slot[PAD], root + chords[bar][t] - (variant && t == 2 ? 12 : 0), 16, 150);
    }
    return ok;
}

} // namespace

int Content_RiffStyleCount() { return (int)(sizeof(kStyles) / sizeof(kStyles[0])); }
const CONTENTRIFFSTYLE &Content_RiffStyle(int i) { return kStyles[i]; }
const char *Content_RiffPartFolder(int part) { return part >= 0 && part < CONTENT_RIFF_PARTS ? kParts[part] : ""; }

std::vector<CONTENTFILE> Content_RiffFiles(std::string &err)
{
    std::vector<CONTENTFILE> files;
    const int32_t tagged = g_bTaggedSongFile;
    g_bTaggedSongFile = 0; // library riffs are untagged images
    for (int style = 0; style < Content_RiffStyleCount() && err.empty(); style++)
        for (int part = 0; part < CONTENT_RIFF_PARTS && err.empty(); part++)
            for (int variant = 0; variant < CONTENT_RIFFS_PER_PART && err.empty(); variant++) {
                Seq_NewSong();
                char name[16] = {};
                CONTENTFILE f;
                if (BuildRiff(style, part, variant, name))
                    f.data = Seq_SaveSongImage(SONGPART_SONG, "Tonnivelle");
                if (f.data.empty()) {
                    err = std::string("riff library: ") + name + " could not be made";
                    break;
                }
                f.path = std::string("R/") + kStyles[style].folder + "/" + kParts[part] + "/RIFF" +
                         std::to_string(variant + 1);
                f.shown = name;
                files.push_back(std::move(f));
            }
    Seq_NewSong();
    g_bTaggedSongFile = tagged;
    if (!err.empty())
        files.clear();
    return files;
}
