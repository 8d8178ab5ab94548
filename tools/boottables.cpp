#include "tools/boottables.h"

#include <array>

namespace {

constexpr int kPresets = 75, kEntries = 9, kEntryBytes = 12;

constexpr BOOTEFFECTENTRY kEmpty{-1, 0, 0, 0, 0, 0, 0};

using Preset = std::array<BOOTEFFECTENTRY, kEntries>;

Preset Make(std::initializer_list<BOOTEFFECTENTRY> entries)
{
    Preset p;
    p.fill(kEmpty);
    size_t i = 0;
    for (const BOOTEFFECTENTRY &e : entries)
        if (i < p.size())
            p[i++] = e;
    return p;
}

// Echoes: copies every `gap` quarter steps, each quieter, alternating sides when `spread`.
Preset Echo(int gap, int repeats, int first, int decay, bool spread)
{
    Preset p;
    p.fill(kEmpty);
    int share = first;
    for (int i = 0; i < repeats && i < kEntries; i++) {
        const uint8_t pan = spread ? (uint8_t)(i % 2 ? 200 : 56) : 128;
        p[(size_t)i] = BOOTEFFECTENTRY{(int16_t)(gap * (i + 1)), 0, 0, 0, 0, (uint8_t)share, pan};
        share = share * decay / 100;
    }
    return p;
}

// Detuned copies on both sides, played with the note.
Preset Double(int cents, int share, uint8_t flags)
{
    const int16_t d = (int16_t)(cents * 128 / 100);
    return Make({{0, d, 0, 0, flags, (uint8_t)share, 48}, {0, (int16_t)-d, 0, 0, flags, (uint8_t)share, 208}});
}

// Copies a number of semitones away (octaves, fifths, chords).
Preset Interval(std::initializer_list<int> semitones, int share)
{
    Preset p;
    p.fill(kEmpty);
    size_t i = 0;
    for (int s : semitones)
        if (i < p.size()) {
            const uint8_t pan = (uint8_t)(i % 2 ? 96 : 160);
            p[i++] = BOOTEFFECTENTRY{0, (int16_t)(s * 128), 0, 0, 0, (uint8_t)share, pan};
        }
    return p;
}

std::vector<Preset> Presets()
{
    std::vector<Preset> out;
    // 1..24: echoes of an eighth, a dotted eighth, a quarter and a half note, short and long.
    for (int gap : {8, 12, 16, 32})
        for (int repeats : {2, 4, 8})
            for (bool spread : {false, true})
                out.push_back(Echo(gap, repeats, 150, 60, spread));
    // 25..36: doublings from a slight thickening to a wide chorus, steady or swept.
    for (int cents : {5, 10, 20})
        for (uint8_t flags : {uint8_t(0), uint8_t(4), uint8_t(4 | 16), uint8_t(2)})
            out.push_back(Double(cents, 110, flags));
    // 37..48: octaves, fifths and chords above and below the note.
    out.push_back(Interval({12}, 120));
    out.push_back(Interval({-12}, 120));
    out.push_back(Interval({12, -12}, 90));
    out.push_back(Interval({7}, 110));
    out.push_back(Interval({-5}, 110));
    out.push_back(Interval({7, 12}, 90));
    out.push_back(Interval({4, 7}, 90));   // major chord
    out.push_back(Interval({3, 7}, 90));   // minor chord
    out.push_back(Interval({4, 7, 11}, 70));
    out.push_back(Interval({3, 7, 10}, 70));
    out.push_back(Interval({5, 7}, 90));   // suspended
    out.push_back(Interval({24}, 80));
    // 49..60: slap-backs and ping-pongs with a quieter, panned repeat.
    for (int gap : {1, 2, 3, 4, 6, 8})
        for (int first : {180, 120})
            out.push_back(Make({{(int16_t)gap, 0, 0, 0, 1 << 1, (uint8_t)first, 40},
                                {(int16_t)(gap * 2), 0, 0, 0, 1 << 1, (uint8_t)(first / 2), 216}}));
    // 61..66: echoes that drift in pitch (tape-like) and wobble.
    for (int gap : {8, 12, 16})
        for (uint8_t flags : {uint8_t(4), uint8_t(4 | 16)}) {
            Preset p = Echo(gap, 4, 140, 65, true);
            for (BOOTEFFECTENTRY &e : p)
                if (e.delay >= 0)
                    e.flags = flags;
            out.push_back(p);
        }
    // 67..72: vibrato copies: the note with a slow or fast shimmer beside it.
    for (uint8_t rate : {uint8_t(9), uint8_t(25), uint8_t(49)})
        for (uint8_t depth : {uint8_t(60), uint8_t(140)})
            out.push_back(Make({{0, 0, rate, depth, 0, 110, 64}, {0, 0, rate, depth, 0, 110, 192}}));
    // 73..75: wide stereo (an inverted copy), a quiet room and a big wash.
    out.push_back(Make({{0, 0, 0, 0, 1, 96, 255}}));
    out.push_back(Echo(2, 6, 80, 70, true));
    out.push_back(Make({{0, 10, 0, 0, 4, 90, 40}, {0, -10, 0, 0, 4, 90, 216}, {16, 0, 0, 0, 0, 100, 128},
                        {32, 5, 0, 0, 4, 70, 60}, {48, -5, 0, 0, 4, 50, 196}}));
    return out;
}

void Put16(std::vector<uint8_t> &out, int16_t v)
{
    out.push_back((uint8_t)(v & 0xFF));
    out.push_back((uint8_t)((uint16_t)v >> 8));
}

} // namespace

std::vector<uint8_t> Content_EffectPresets()
{
    std::vector<Preset> presets = Presets();
    presets.resize(kPresets, Make({}));
    std::vector<uint8_t> out;
    out.reserve((size_t)kPresets * kEntries * kEntryBytes);
    for (const Preset &p : presets)
        for (const BOOTEFFECTENTRY &e : p) {
            Put16(out, e.delay);
            Put16(out, e.detune);
            out.insert(out.end(), {e.rate, e.depth, e.flags, e.share, e.pan, 0, 0, 0});
        }
    return out;
}

std::vector<uint8_t> Content_DefaultRiffTable()
{
    // Start level of a new riff by its type (0..17) and bars (1..4), three extra for 8 bars of
    // drums, bass and pads: quieter pads and effects, full drums and bass.
    static const uint8_t kLevel[18] = {255, 255, 230, 220, 200, 190, 180, 200, 210,
                                       220, 200, 190, 180, 170, 160, 150, 140, 130};
    std::vector<uint8_t> out;
    for (uint8_t type = 0; type < 18; type++)
        for (uint8_t bars = 1; bars <= 4; bars++)
            out.insert(out.end(), {type, bars, kLevel[type]});
    for (uint8_t type : {uint8_t(0), uint8_t(1), uint8_t(5)})
        out.insert(out.end(), {type, uint8_t(8), kLevel[type]});
    return out;
}

std::vector<CONTENTFILE> Content_BootFiles()
{
    return {CONTENTFILE{"BOOT/DEFRIF", "DEFRIF", Content_DefaultRiffTable()},
            CONTENTFILE{"BOOT/EFFREAL", "EFFREAL", Content_EffectPresets()}};
}
