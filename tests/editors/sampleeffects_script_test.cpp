// Each built-in effect applied from the sample editor's menu with parameters of its own, heard:
// the effect's mark on the sound is measured on the sample's bytes and again in what the studio
// played of a preview note of it, beside a preview of the untouched instrument. Undo gives the
// bytes back. The notes are found in the audio dump by their onsets after silence, never by frame.
#include "app/spine_fixture.h"

#include "audio/effects.h"
#include "audio/sampleedit.h"
#include "audio/sampleslot.h"
#include "sequencer/samples.h"
#include "ui/menupages.h"
#include "ui/popup.h"
#include "ui/samplemenu.h"
#include "ui/samplepanel.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

std::vector<int16_t> Bytes()
{
    std::vector<int16_t> out;
    if (g_pEditSample && g_pEditSample->pData)
        out.assign(reinterpret_cast<const int16_t *>(g_pEditSample->pData),
                   reinterpret_cast<const int16_t *>(g_pEditSample->pData) + g_iEditFrames);
    return out;
}

// What an effect must do to the sound, measured the same way on bytes and on the dump.
enum class Mark
{
    Darker,  // a low pass: much less high-frequency content against the level
    Thinner, // a band above the body: far quieter, and brighter for what is left
    Reshaped // delays and feedback: the waveform moves far from the original's, the level stays
};

struct SETTING
{
    const char *row;
    int32_t value;
};

struct EFFECTCASE
{
    int32_t effect;
    std::vector<SETTING> settings;
    Mark mark;
};

const std::vector<EFFECTCASE> &Cases()
{
    static const std::vector<EFFECTCASE> cases = {
        {EFFECT_COMB, {{"Delay", 300}}, Mark::Reshaped},
        {EFFECT_ALLPASS, {{"Delay", 200}}, Mark::Reshaped},
        {EFFECT_REVERB, {{"Depth", 20}}, Mark::Reshaped},
        {EFFECT_HIGHLOWPASS, {{"Delay", 16}}, Mark::Darker},
        {EFFECT_FLANGE, {{"End delay", 200}}, Mark::Reshaped},
        {EFFECT_PHASE, {{"End delay", 200}}, Mark::Reshaped},
        {EFFECT_WEIRD, {{"Feedback", 192}}, Mark::Reshaped},
        {EFFECT_BANDPASS, {{"Max Centre Frequency", 256}}, Mark::Thinner},
    };
    return cases;
}

struct RUN
{
    std::vector<int16_t> after, undone;
};
std::vector<int16_t> s_original;
RUN s_runs[EFFECT_COUNT];
int s_step = 0;
std::string s_failures;

// The user parameter called name, or null.
EFFECTPARAM *Row(EFFECTUNIT *unit, const char *name)
{
    for (uint32_t r = 0; r < unit->uRowCount; r++)
        if (unit->pRows[r].ucKind == 1 && unit->pRows[r].pszName && std::strcmp(unit->pRows[r].pszName, name) == 0)
            return &unit->pRows[r];
    return nullptr;
}

void PreviewOn()
{
    g_aiSampleMarkerPos[SAMPLEMARK_CURSOR] = 0;
    if (!g_bEditPreviewOn)
        Ui_SampleMenuPlay();
}

void PreviewOff()
{
    // A note that ended by itself is already off: a press would start it again.
    if (g_bEditPreviewOn)
        Ui_SampleMenuPlay();
}

// F3 on the panel's page: a preview of the original, then per effect: apply, preview, undo.
void Step()
{
    const int step = s_step++;
    if (step == 0) {
        s_original = Bytes();
        PreviewOn();
        return;
    }
    if (step == 1) {
        PreviewOff();
        return;
    }
    const size_t k = static_cast<size_t>(step - 2) / 3;
    if (k >= Cases().size())
        return;
    const EFFECTCASE &c = Cases()[k];
    RUN &run = s_runs[k];
    switch ((step - 2) % 3) {
    case 0:
        g_aiSampleMarkerPos[SAMPLEMARK_START] = 0;
        g_aiSampleMarkerPos[SAMPLEMARK_END] = g_iSampleLength - 1;
        g_iEditSelFirst = 0;
        g_iEditSelLast = g_iSampleLength - 1;
        g_atMenuItems[107 + c.effect].handler();
        if (!g_pEffectPopup) {
            s_failures += "effect " + std::to_string(c.effect) + " opens no pop-up\n";
            return;
        }
        // The values set as the value editor would set them.
        for (const SETTING &s : c.settings)
            if (EFFECTPARAM *row = Row(g_apEffects[c.effect], s.row))
                row->iCurrent = s.value;
            else
                s_failures += "effect " + std::to_string(c.effect) + " has no row " + s.row + "\n";
        // "Apply filter": the effect runs behind the busy box over the next frames.
        Ui_EffectParamsChoose(g_pEffectPopup, g_iEffectParamRows - 2);
        for (const SETTING &s : c.settings)
            if (EFFECTPARAM *row = Row(g_apEffects[c.effect], s.row); row && row->iCurrent != s.value)
                s_failures += "effect " + std::to_string(c.effect) + " lost its " + s.row + "\n";
        return;
    case 1:
        run.after = Bytes();
        PreviewOn();
        return;
    default:
        PreviewOff();
        Ui_SampleMenuUndo();
        run.undone = Bytes();
        return;
    }
}

void OpenOnFirstInstrument()
{
    for (int slot = 1; slot < SEQ_INSTRUMENT_SLOTS; slot++)
        if (g_aInstrumentSlots[slot].pszName && g_aInstrumentSlots[slot].pszName[0]) {
            Ui_OpenSampleEditPanel(SAMPLEPANEL_EDIT, slot);
            break;
        }
    // F3, the play row: the one row the panel leaves working while a preview sounds.
    Ui_SetMenuItemHandler(43, Step);
}

// Left channel of a 16-bit stereo dump.
std::vector<int16_t> ReadDump(const std::string &path)
{
    std::vector<int16_t> left;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return left;
    std::vector<uint8_t> bytes;
    uint8_t buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(f);
    for (size_t i = 44; i + 3 < bytes.size(); i += 4)
        left.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
    return left;
}

struct SPAN
{
    size_t from, to;
};

// The sounding stretches of the dump: runs of sound apart by more than gap silent frames.
std::vector<SPAN> Notes(const std::vector<int16_t> &x, size_t gap)
{
    std::vector<SPAN> notes;
    size_t quiet = gap + 1;
    for (size_t i = 0; i < x.size(); i++) {
        if (std::abs(x[i]) <= 8) {
            quiet++;
            continue;
        }
        if (quiet > gap)
            notes.push_back({i, i + 1});
        else
            notes.back().to = i + 1;
        quiet = 0;
    }
    return notes;
}

double Rms(const int16_t *x, size_t n)
{
    double sum = 0;
    for (size_t i = 0; i < n; i++)
        sum += double(x[i]) * x[i];
    return n ? std::sqrt(sum / double(n)) : 0;
}

// The level of the first difference against the level: higher for brighter sound.
double Brightness(const int16_t *x, size_t n)
{
    double sum = 0;
    for (size_t i = 1; i < n; i++) {
        const double d = double(x[i]) - x[i - 1];
        sum += d * d;
    }
    const double level = Rms(x, n);
    return n > 1 && level > 0 ? std::sqrt(sum / double(n - 1)) / level : 0;
}

// How far b moved from a, against a's level.
double Distance(const int16_t *a, const int16_t *b, size_t n)
{
    double sum = 0;
    for (size_t i = 0; i < n; i++) {
        const double d = double(b[i]) - a[i];
        sum += d * d;
    }
    const double level = Rms(a, n);
    return n && level > 0 ? std::sqrt(sum / double(n)) / level : 0;
}

// The mark of an effect, from the original a to the effected b.
void ExpectMark(Mark mark, const int16_t *a, const int16_t *b, size_t n, const char *where)
{
    SCOPED_TRACE(where);
    const double level = Rms(b, n) / Rms(a, n);
    const double bright = Brightness(b, n) / Brightness(a, n);
    const double moved = Distance(a, b, n);
    switch (mark) {
    case Mark::Darker:
        EXPECT_LT(bright, 0.7) << "the high frequencies go";
        EXPECT_GT(level, 0.3) << "the body stays";
        break;
    case Mark::Thinner:
        EXPECT_LT(level, 0.4) << "the body goes";
        EXPECT_GT(bright, 2.0) << "what is left is the upper band";
        break;
    case Mark::Reshaped:
        EXPECT_GT(moved, 0.3) << "the delayed sound mixes in";
        EXPECT_GT(level, 0.3) << "not silenced";
        EXPECT_LT(level, 2.0) << "not blown up";
        break;
    }
}

class SampleEffectsScript : public SpineTest
{
protected:
    void SetUp() override
    {
        SpineTest::SetUp();
        setenv("TNV_DATA_DIR", (std::string(TNV_TEST_BUILD_DIR) + "/data").c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("TNV_DATA_DIR");
        unsetenv("TNV_AUDIO_DUMP");
        Ui_ResetMenuItems();
        SpineTest::TearDown();
    }
};

TEST_F(SampleEffectsScript, EachEffectLeavesItsMarkOnTheBytesAndOnThePlayedNote)
{
    const int steps = 2 + 3 * static_cast<int>(Cases().size());
    const int first = 40, gap = 12;
    std::vector<std::string> script = {"10 keydown F4", "11 keyup F4"};
    for (int i = 0; i < steps; i++) {
        script.push_back(std::to_string(first + gap * i) + " keydown F3");
        script.push_back(std::to_string(first + gap * i + 1) + " keyup F3");
    }
    const std::string wav = ::testing::TempDir() + "tnv_sampleeffects.wav";
    std::remove(wav.c_str());
    setenv("TNV_AUDIO_DUMP", wav.c_str(), 1);
    Ui_SetMenuItemHandler(3, OpenOnFirstInstrument);
    ASSERT_EQ(Run(nullptr, first + gap * (steps + 1), script), 0);
    EXPECT_EQ(s_failures, "");
    ASSERT_FALSE(s_original.empty());

    const std::vector<int16_t> dump = ReadDump(wav);
    // A note sounds from one press to the next (over 10000 sound frames) and two presses of
    // silence (over 20000) lie between notes: 10000 silent frames part them, a short drop-out
    // inside a note does not. Short interface sounds (the panel opening) are no preview notes.
    std::vector<SPAN> notes;
    for (const SPAN &s : Notes(dump, 10000))
        if (s.to - s.from >= 8000)
            notes.push_back(s);
    ASSERT_EQ(notes.size(), 1 + Cases().size()) << "one note of the original, then one per effect";
    const SPAN ref = notes[0];

    for (size_t k = 0; k < Cases().size(); k++) {
        const EFFECTCASE &c = Cases()[k];
        const RUN &run = s_runs[k];
        SCOPED_TRACE("effect " + std::to_string(c.effect));
        ASSERT_EQ(run.after.size(), s_original.size());
        EXPECT_NE(run.after, s_original);
        EXPECT_EQ(run.undone, s_original) << "undo brings the bytes back";
        const SPAN note = notes[k + 1];
        const size_t n = std::min(ref.to - ref.from, note.to - note.from);
        const int16_t *a = dump.data() + ref.from;
        const int16_t *b = dump.data() + note.from;
        const size_t m = s_original.size();
        ExpectMark(c.mark, s_original.data(), run.after.data(), m, "bytes");
        ExpectMark(c.mark, a, b, n, "played note");
    }
}

} // namespace
