#include "tools/soundcontent.h"

#include "audio/adpcm.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Noise for the drums and clicks: a fixed generator, so the content is the same on every build.
struct Noise
{
    uint32_t state;
    explicit Noise(uint32_t seed) : state(seed ? seed : 1) {}
    double Next() // -1 .. 1
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return (double)state / 2147483648.0 - 1.0;
    }
};

// Scales to the given peak and rounds. A whole-sound scale keeps a loop's repeat exact.
std::vector<int16_t> ToSamples(const std::vector<double> &x, double peak)
{
    double max = 0;
    for (double v : x)
        max = std::max(max, std::fabs(v));
    double scale = max > 0 ? peak / max : 0;
    std::vector<int16_t> out(x.size());
    for (size_t i = 0; i < x.size(); i++)
        out[i] = (int16_t)std::lround(x[i] * scale);
    return out;
}

// Short fade so a one-shot ends on silence.
void FadeOut(std::vector<double> &x, size_t n)
{
    n = std::min(n, x.size());
    for (size_t i = 0; i < n; i++)
        x[x.size() - 1 - i] *= (double)i / (double)n;
}

// A tone of a few partials with a fast attack and an exponential decay, added at start.
void AddTone(std::vector<double> &x, int rate, double startS, double lenS, double hz, double amp, double decayS,
             double second = 0.25)
{
    size_t first = (size_t)(startS * rate);
    size_t n = (size_t)(lenS * rate);
    size_t attack = (size_t)(0.002 * rate);
    size_t release = (size_t)(0.006 * rate);
    if (x.size() < first + n)
        x.resize(first + n, 0.0);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / rate;
        double env = amp * std::exp(-t / decayS);
        if (i < attack)
            env *= (double)i / attack;
        if (n - i < release)
            env *= (double)(n - i) / release;
        double w = 2 * kPi * hz * t;
        x[first + i] += env * (std::sin(w) + second * std::sin(2 * w));
    }
}

} // namespace

std::vector<int16_t> Content_SynthInterfaceSound(int n)
{
    const int rate = 44100;
    std::vector<double> x;
    switch (n) {
    case 0: // confirm: rising fifth
        AddTone(x, rate, 0.000, 0.045, 1046.5, 1.0, 0.05);
        AddTone(x, rate, 0.035, 0.055, 1568.0, 1.0, 0.04);
        break;
    case 1: { // select: a bright tick
        AddTone(x, rate, 0.0, 0.030, 2093.0, 1.0, 0.008, 0.1);
        Noise noise(11);
        double prev = 0;
        for (size_t i = 0; i < (size_t)(0.002 * rate); i++) {
            double v = noise.Next();
            double ramp = std::min(1.0, i / 8.0) * (1.0 - (double)i / (0.002 * rate));
            x[i] += 0.4 * (v - prev) * ramp;
            prev = v;
        }
        break;
    }
    case 2: // move: a soft click (played an octave lower)
        AddTone(x, rate, 0.0, 0.030, 1318.5, 1.0, 0.010, 0.15);
        break;
    case 3: { // bad: a low buzz of two slightly apart band-limited squares
        size_t len = (size_t)(0.150 * rate);
        x.assign(len, 0.0);
        for (double hz : {110.0, 113.0}) {
            for (int k = 1; k * hz < 3000.0; k += 2) {
                for (size_t i = 0; i < len; i++)
                    x[i] += std::sin(2 * kPi * k * hz * i / rate) / k;
            }
        }
        size_t attack = (size_t)(0.005 * rate);
        for (size_t i = 0; i < attack; i++)
            x[i] *= (double)i / attack;
        FadeOut(x, (size_t)(0.030 * rate));
        break;
    }
    case 4: // cancel: falling fifth
        AddTone(x, rate, 0.000, 0.045, 1568.0, 1.0, 0.05);
        AddTone(x, rate, 0.035, 0.055, 1046.5, 1.0, 0.04);
        break;
    default:
        return {};
    }
    return ToSamples(x, 16384.0); // -6 dBFS
}

static std::vector<uint8_t> EncodeWithHeader(const uint8_t header[CONTENT_SAMPLE_HEADER], const int16_t *samples,
                                             uint32_t count, int32_t loopStart)
{
    uint32_t bytes = Snd_AdpcmEncodedSize(count, loopStart);
    std::vector<uint8_t> file(CONTENT_SAMPLE_HEADER + (size_t)bytes);
    std::memcpy(file.data(), header, CONTENT_SAMPLE_HEADER);
    int64_t written = Snd_EncodeAdpcm(samples, count, loopStart, file.data() + CONTENT_SAMPLE_HEADER, bytes);
    if (written != (int64_t)bytes)
        return {};
    return file;
}

std::vector<CONTENTFILE> Content_InterfaceSoundFiles()
{
    static const char *const names[5] = {"boot/confirm1.bin", "boot/select1.bin", "boot/move.bin", "boot/bad.bin",
                                         "boot/cancel.bin"};
    std::vector<CONTENTFILE> files;
    const uint8_t header[CONTENT_SAMPLE_HEADER] = {};
    for (int n = 0; n < 5; n++) {
        std::vector<int16_t> s = Content_SynthInterfaceSound(n);
        files.push_back({names[n], "", EncodeWithHeader(header, s.data(), (uint32_t)s.size(), -1)});
    }
    return files;
}

namespace {

const CONTENTINSTRUMENT kInstruments[] = {
    {"DRUMS/KIT1", "KICK", "Kick", CONTENT_CATEGORY_DRUMS, 0},
    {"DRUMS/KIT1", "SNARE", "Snare", CONTENT_CATEGORY_DRUMS, 0},
    {"DRUMS/KIT1", "CLHAT", "Closed hat", CONTENT_CATEGORY_DRUMS, 0},
    {"DRUMS/KIT1", "OPHAT", "Open hat", CONTENT_CATEGORY_DRUMS, 0},
    {"DRUMS/KIT1", "CLAP", "Clap", CONTENT_CATEGORY_DRUMS, 0},
    {"BASS/SYNTH", "BASS1", "Round bass", CONTENT_CATEGORY_BASS, 65.4064},
    {"LEAD/SYNTH", "LEAD1", "Square lead", CONTENT_CATEGORY_LEAD, 261.6256},
    {"PAD/SYNTH", "PAD1", "Warm pad", CONTENT_CATEGORY_PAD, 261.6256},
};
constexpr int kInstrumentCount = (int)(sizeof(kInstruments) / sizeof(kInstruments[0]));
constexpr int kLowRate = 11025;

// Loop length in samples at 11025 Hz (whole ADPCM blocks) near seconds, and the whole number of
// cycles of baseHz in it, chosen so that the sounding pitch is nearest baseHz.
void PickLoop(double baseHz, double seconds, uint32_t &len11, uint32_t &cycles)
{
    double bestCents = 1e9;
    uint32_t center = (uint32_t)(seconds * kLowRate / (int)ADPCM_BLOCK_SAMPLES);
    for (uint32_t j = center * 4 / 5; j <= center * 6 / 5; j++) {
        uint32_t len = j * ADPCM_BLOCK_SAMPLES;
        double t = (double)len / kLowRate;
        uint32_t m = (uint32_t)std::lround(baseHz * t);
        double cents = std::fabs(1200.0 * std::log2(m / t / baseHz));
        if (cents < bestCents) {
            bestCents = cents;
            len11 = len;
            cycles = m;
        }
    }
}

struct Voice
{
    int cycleOffset; // cycles per loop relative to the centre voice (detune by whole cycles)
    double amp;
};

// A sustained additive sound: voices of harmonic partials (amplitude partialAmp(k)), every
// partial a whole number of cycles per loop so the loop repeats exactly. Brightness and level
// settle (decay time decayS) before the loop starts and stay fixed in it.
CONTENTSAMPLE Sustained(int rate, double baseHz, double loopSeconds, double loopStartSeconds, double attackS,
                        double decayS, double sustain, const std::vector<Voice> &voices,
                        double (*partialAmp)(int k))
{
    uint32_t len11 = 0, m = 0;
    PickLoop(baseHz, loopSeconds, len11, m);
    uint32_t q = (uint32_t)(rate / kLowRate);
    uint64_t loopLen = (uint64_t)len11 * q;
    uint64_t loopStart = (uint64_t)std::lround(loopStartSeconds * kLowRate / (int)ADPCM_BLOCK_SAMPLES) *
                         ADPCM_BLOCK_SAMPLES * q;
    double t = (double)len11 / kLowRate;
    std::vector<double> x(loopStart + loopLen, 0.0);
    // Every partial's phase is a whole fraction of the loop, so one table serves them all.
    std::vector<double> sine(loopLen);
    for (uint64_t p = 0; p < loopLen; p++)
        sine[p] = std::sin(2 * kPi * (double)p / (double)loopLen);
    for (const Voice &v : voices) {
        uint64_t c = m + v.cycleOffset;
        for (int k = 1; k * (double)c / t < 0.45 * rate; k++) {
            double a = v.amp * partialAmp(k);
            if (a < 1e-4)
                break; // below -80 dB: inaudible, and costly at 44100 Hz
            // Higher partials fade faster towards their sustained level.
            double tau = decayS / (1.0 + 0.15 * (k - 1));
            uint64_t step = (uint64_t)k * c % loopLen;
            uint64_t phase = 0;
            for (uint64_t n = 0; n < x.size(); n++) {
                double time = (double)std::min(n, loopStart) / rate;
                double env = sustain + (1.0 - sustain) * std::exp(-time / tau);
                x[n] += a * env * sine[phase];
                phase += step;
                if (phase >= loopLen)
                    phase -= loopLen;
            }
        }
    }
    size_t attack = (size_t)(attackS * rate);
    for (size_t n = 0; n < attack && n < x.size(); n++)
        x[n] *= (double)n / attack;
    return {ToSamples(x, 0.7 * 32767), (int32_t)loopStart};
}

double BassPartial(int k)
{
    return 1.0 / k / (1.0 + (k / 5.0) * (k / 5.0));
}

double LeadPartial(int k)
{
    return (k % 2 ? 1.0 : 0.25) / k / (1.0 + (k / 12.0) * (k / 12.0));
}

double PadPartial(int k)
{
    return 1.0 / k / (1.0 + (k / 4.0) * (k / 4.0));
}

// One-pole filters for the drums.
struct OnePole
{
    double prevIn = 0, prevOut = 0;
    double HighPass(double in, double a)
    {
        prevOut = a * (prevOut + in - prevIn);
        prevIn = in;
        return prevOut;
    }
    double LowPass(double in, double a)
    {
        prevOut += a * (in - prevOut);
        return prevOut;
    }
};

CONTENTSAMPLE Drum(int i, int rate)
{
    Noise noise(0x5eed + (uint32_t)i);
    OnePole hp1, hp2, lp;
    // Filter coefficients from cut-off frequencies, so every rate sounds alike.
    auto hpA = [rate](double hz) { return 1.0 / (1.0 + 2 * kPi * hz / rate); };
    auto lpA = [rate](double hz) { return 1.0 - std::exp(-2 * kPi * hz / rate); };
    double lenS = 0.4;
    switch (i) {
    case 0: lenS = 0.5; break;
    case 2: lenS = 0.15; break;
    case 3: lenS = 0.6; break;
    default: break;
    }
    std::vector<double> x((size_t)(lenS * rate), 0.0);
    double phase = 0;
    for (size_t n = 0; n < x.size(); n++) {
        double t = (double)n / rate;
        double v = 0;
        switch (i) {
        case 0: { // kick: falling sine and a short click
            double hz = 48.0 + 110.0 * std::exp(-t / 0.04);
            phase += 2 * kPi * hz / rate;
            v = std::sin(phase) * std::exp(-t / 0.25);
            if (t < 0.002)
                v += 0.3 * noise.Next() * (1.0 - t / 0.002);
            break;
        }
        case 1: { // snare: body tone and bright noise
            phase += 2 * kPi * 185.0 / rate;
            v = 0.5 * std::sin(phase) * std::exp(-t / 0.06) +
                hp1.HighPass(noise.Next(), hpA(1200.0)) * std::exp(-t / 0.12);
            break;
        }
        case 2:
        case 3: { // hats: twice high-passed noise
            double decay = i == 2 ? 0.03 : 0.25;
            v = hp2.HighPass(hp1.HighPass(noise.Next(), hpA(5000.0)), hpA(5000.0)) * std::exp(-t / decay);
            break;
        }
        default: { // clap: three quick bursts and a tail of band-passed noise
            double env = 0;
            for (double at : {0.0, 0.011, 0.022})
                if (t >= at)
                    env += std::exp(-(t - at) / 0.006);
            if (t >= 0.03)
                env += 0.8 * std::exp(-(t - 0.03) / 0.12);
            v = lp.LowPass(hp1.HighPass(noise.Next(), hpA(900.0)), lpA(3000.0)) * env;
            break;
        }
        }
        x[n] = v;
    }
    FadeOut(x, (size_t)(0.005 * rate));
    return {ToSamples(x, 0.7 * 32767), -1};
}

} // namespace

int Content_InstrumentCount()
{
    return kInstrumentCount;
}

const CONTENTINSTRUMENT &Content_InstrumentInfo(int i)
{
    return kInstruments[std::clamp(i, 0, kInstrumentCount - 1)];
}

CONTENTSAMPLE Content_SynthInstrument(int i, int rate)
{
    if (i < 0 || i >= kInstrumentCount || (rate != 11025 && rate != 22050 && rate != 44100))
        return {{}, -1};
    double base = kInstruments[i].baseHz;
    switch (i) {
    case 5:
        return Sustained(rate, base, 1.0, 1.0, 0.004, 0.15, 0.55, {{0, 1.0}}, BassPartial);
    case 6:
        return Sustained(rate, base, 2.0, 0.5, 0.010, 0.20, 0.80, {{-1, 0.5}, {0, 1.0}, {1, 0.5}}, LeadPartial);
    case 7:
        return Sustained(rate, base, 2.0, 1.0, 0.600, 0.50, 0.90, {{-1, 0.6}, {0, 1.0}, {1, 0.6}}, PadPartial);
    default:
        return Drum(i, rate);
    }
}

std::vector<uint8_t> Content_MakeSampleFile(const char *name, uint8_t category, const CONTENTSAMPLE &sample)
{
    uint8_t header[CONTENT_SAMPLE_HEADER] = {};
    if (name)
        std::strncpy((char *)header, name, CONTENT_SAMPLE_NAME - 1);
    header[CONTENT_SAMPLE_CATEGORY] = category;
    return EncodeWithHeader(header, sample.samples.data(), (uint32_t)sample.samples.size(), sample.loopStart);
}

std::vector<CONTENTFILE> Content_InstrumentFiles()
{
    static const struct
    {
        const char *folder;
        int rate;
    } kinds[] = {{"B", 11025}, {"D", 22050}, {"F", 44100}};
    std::vector<CONTENTFILE> files;
    for (const auto &kind : kinds) {
        for (int i = 0; i < kInstrumentCount; i++) {
            const CONTENTINSTRUMENT &info = kInstruments[i];
            CONTENTFILE f;
            f.path = std::string("N/") + kind.folder + "/" + info.folder + "/" + info.entry;
            f.shown = info.shown;
            f.data = Content_MakeSampleFile(info.shown, info.category, Content_SynthInstrument(i, kind.rate));
            files.push_back(std::move(f));
        }
    }
    return files;
}
