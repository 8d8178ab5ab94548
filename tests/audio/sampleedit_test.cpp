// The sample editor: operations on small hand-made samples, command recording, replay and undo.
#include "audio/effects.h"
#include "audio/mixer.h"
#include "audio/sampleedit.h"
#include "audio/sampleslot.h"
#include "core/archive.h"
#include "sequencer/clock.h"
#include "sequencer/instruments.h"
#include "sequencer/samples.h"
#include "sequencer/songmodel.h"
#include "support/songdata.h"
#include "support/wadfixture.h"
#include "video/respages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Samples = std::vector<int16_t>;

// The library sample sits at N/D/E/F/SNARE001: kind 1, keys 1, 1, 1.
const uint8_t kPath[3] = {'D', 'E', 'F'};
const char kName[8] = {'S', 'N', 'A', 'R', 'E', '0', '0', '1'};
constexpr int kInst = 1;

struct Entry
{
    uint32_t type, p0, p1;
    bool operator==(const Entry &) const = default;
};

// The fixture's library files hold raw 16-bit samples after the 48-byte header, read by this
// loader in place of the ADPCM one, so the goldens stay exact.
void *RawSampleRes(int32_t id, void *data, const uint16_t *path, int32_t depth, uint32_t size)
{
    std::free(data);
    const WADENTRY *e = path && depth > 0 ? Sys_WadEntryAt((int)path[depth - 1] + 1) : nullptr;
    if (!e || size <= 48)
        return nullptr;
    std::vector<uint8_t> bytes(((size_t)size + 2047) & ~(size_t)2047);
    if (Sys_WadReadEntry(bytes.data(), e) < 0)
        return nullptr;
    const int32_t index = Seq_AddSampleRecord(size - 48);
    if (index < 1)
        return nullptr;
    SAMPLESLOT *slot = nullptr;
    g_aSamples[index].iSampleId = (int16_t)id;
    if (Snd_LoadSample(&slot, "library", bytes.data() + 48, size - 48, SAMPLE_FORMAT_RAW_MEMORY) != 0) {
        Seq_RemoveSampleRecord(id, 0);
        return nullptr;
    }
    slot->uRate = 44100;
    slot->uSampleId = (uint32_t)id;
    std::memcpy(g_aSamples[index].szName, bytes.data(), 19);
    return &g_aSamples[index];
}

void RawSampleFree(int32_t id, void *, const uint16_t *, int32_t)
{
    SAMPLESLOT *slot = nullptr;
    if (Snd_FindSampleById(&slot, (uint32_t)id) >= 0)
        Snd_FreeSample(slot);
    Seq_RemoveSampleRecord(id, 0);
}

class SampleEdit : public WadTest
{
protected:
    bool m_bOpen = false;

    void SetUp() override
    {
        WadTest::SetUp();
        ASSERT_EQ(Snd_InitSampleEngine(64), 0);
        Vid_CreateResPagePool();
        g_aucResKindCallbacks[RES_INSTRUMENT] = Vid_AddResCallbacks(RawSampleRes, RawSampleFree);
        ClearSongData();
    }

    void TearDown() override
    {
        Snd_CloseSampleEditor();
        ClearSongData();
        WadTest::TearDown();
        m_bOpen = false;
        g_aucResKindCallbacks[RES_INSTRUMENT] = 0;
        Snd_ShutdownSampleEngine();
    }

    // An archive whose instrument library holds data as its one sample.
    void WriteLibrary(const Samples &data)
    {
        if (m_bOpen) {
            Sys_WadFreeBuffers();
            Sys_FreeDiscPool();
            Sys_DiscInit();
        }
        PACKDIR root;
        for (const char *f : {"AUTO", "CHASES", "JAMTEM", "PERF", "R"})
            Pack_Dir(root, f);
        Pack_Dir(root, "BOOT").files = {File("DEFRIF", "riffs"), File("EFFREAL", "effects")};
        for (const char *f : {"B/B/A", "B/D/A", "B/F/A", "D/B/A", "D/D/A", "F/A", "H/A", "J/A", "L/A", "B/H/A", "P/A",
                              "T/A"})
            Pack_Dir(root, f);
        std::string bytes(48, '\0');
        std::memcpy(bytes.data(), "Snare", 5);
        for (int16_t v : data) {
            bytes.push_back((char)(uint8_t)v);
            bytes.push_back((char)(uint8_t)((uint16_t)v >> 8));
        }
        Pack_Dir(root, "N/D/E/F").files = {File(std::string(kName, 8), bytes)};
        PackAndWrite(root);
        ASSERT_EQ(Sys_WadOpen("demowad.WAD", "demowad.IND", 3), 1) << g_szWadErrorText;
        m_bOpen = true;
    }

    // A library sample loaded into an instrument slot, the editor open on it.
    void Start(const Samples &data, int32_t mode = EDIT_SILENT, int slot = kInst)
    {
        WriteLibrary(data);
        Load(slot);
        ASSERT_EQ(Snd_OpenSampleEditor(mode), 1);
        Snd_SelectEditInstrument(slot, 0);
        ASSERT_NE(g_pEditSample, nullptr);
    }

    static void Load(int slot)
    {
        ASSERT_EQ(Seq_LoadInstrument(slot, 1, 1, 1, 1, 0, 1, 1), 3);
        g_aInstrumentSlots[slot].uDisc = 1;
    }

    // A song note of the instrument slot starting at a sample offset.
    static int32_t NoteAt(int slot, uint32_t start)
    {
        const uint16_t flat[2] = {0x7F00, 0x7FFF};
        const int32_t a = Seq_AddParamList(2, flat, 0, 0);
        const int32_t b = Seq_AddParamList(2, flat, 0, 0);
        const int32_t c = Seq_AddParamList(2, flat, 0, 0);
        return Seq_FindOrAddNote((uint16_t)slot, 4, 0, 1, 200, 0, 0x40, 0x80, 0, start, a, b, c, 0, 0, 0, 1);
    }
    static uint32_t StartOf(int32_t note) { return Seq_GetNote(note)->uSampleStart; }

    static Samples Data()
    {
        if (!g_pEditSample || !g_pEditSample->pData)
            return {};
        const auto *p = (const int16_t *)g_pEditSample->pData;
        return Samples(p, p + g_pEditSample->uFrames);
    }

    static std::vector<Entry> Chain(int slot = kInst)
    {
        std::vector<Entry> out;
        for (const COMMANDENTRY *p = g_aInstrumentSlots[slot].pCommands; p; p = p->pNext)
            out.push_back({p->uType, p->uParam0, p->uParam1});
        return out;
    }

    static Samples Ramp(int n, int scale = 100)
    {
        Samples s;
        for (int i = 0; i < n; i++)
            s.push_back((int16_t)(i * scale));
        return s;
    }
};

// Each operation on a six-frame sample, with ranges at and past the edges.
TEST_F(SampleEdit, RangeOperationsGolden)
{
    struct Case
    {
        const char *what;
        int32_t code, a1, a2;
        Samples expected;
    } cases[] = {
        {"reverse even", EDIT_REVERSE, 1, 4, {1, 5, 4, 3, 2, 6}},
        {"reverse odd keeps the middle", EDIT_REVERSE, 0, 4, {5, 4, 3, 2, 1, 6}},
        {"reverse one frame", EDIT_REVERSE, 2, 2, {1, 2, 3, 4, 5, 6}},
        {"reverse whole", EDIT_REVERSE, 0, 5, {6, 5, 4, 3, 2, 1}},
        {"reverse past the end", EDIT_REVERSE, 3, 1000, {1, 2, 3, 6, 5, 4}},
        {"reverse before the start", EDIT_REVERSE, -7, 1, {2, 1, 3, 4, 5, 6}},
        {"reverse empty", EDIT_REVERSE, 4, 3, {1, 2, 3, 4, 5, 6}},
        {"reverse wholly outside", EDIT_REVERSE, 6, 9, {1, 2, 3, 4, 5, 6}},
        {"crop", EDIT_CROP, 1, 3, {2, 3, 4}},
        {"crop one frame", EDIT_CROP, 5, 5, {6}},
        {"crop past the end", EDIT_CROP, 4, 99, {5, 6}},
        {"crop empty", EDIT_CROP, 5, 2, {1, 2, 3, 4, 5, 6}},
        {"crop whole", EDIT_CROP, 0, 5, {1, 2, 3, 4, 5, 6}},
        {"code 8 does nothing", 8, 0, 5, {1, 2, 3, 4, 5, 6}},
        {"code 9 does nothing", 9, 0, 5, {1, 2, 3, 4, 5, 6}},
        {"code 20 does nothing", 20, 0, 5, {1, 2, 3, 4, 5, 6}},
        {"negative code does nothing", -3, 0, 5, {1, 2, 3, 4, 5, 6}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Start({1, 2, 3, 4, 5, 6});
        EXPECT_EQ(Snd_DispatchSampleEdit(c.code, c.a1, c.a2, 0), 1);
        EXPECT_EQ(Data(), c.expected);
        EXPECT_EQ(g_iEditFrames, (int32_t)c.expected.size());
        TearDown();
        SetUp();
    }
}

TEST_F(SampleEdit, EnvelopeAndNormaliseGolden)
{
    struct Point
    {
        uint8_t x, level;
    };
    struct Case
    {
        const char *what;
        Samples data;
        int32_t a1, a2;
        std::vector<Point> points;
        uint8_t shift;
        Samples expected;
    } cases[] = {
        {"level 128 leaves it", {1000, -1000, 20000, -20000}, 0, 4, {{0, 128}, {255, 128}}, 0,
         {1000, -1000, 20000, -20000}},
        {"level 255 nearly doubles, clipped", {1000, -1000, 20000, -20000}, 0, 4, {{0, 255}, {255, 255}}, 0,
         {1992, -1993, 32767, -32768}},
        {"shift 1 doubles", {1000, -1000, 20000, -20000}, 0, 4, {{0, 128}, {255, 128}}, 1,
         {2000, -2000, 32767, -32768}},
        {"fade in stops before a2", {16384, 16384, 16384, 16384, 16384, 16384, 16384, 16384}, 0, 4,
         {{0, 0}, {255, 128}}, 0, {0, 2730, 5461, 8191, 16384, 16384, 16384, 16384}},
        {"fade in over the whole sample", {16384, 16384, 16384, 16384, 16384, 16384, 16384, 16384}, 0, 8,
         {{0, 0}, {255, 128}}, 0, {0, 1820, 3640, 5461, 7281, 9102, 10922, 12743}},
        {"three points", {16384, 16384, 16384, 16384, 16384, 16384, 16384, 16384}, 0, 8,
         {{0, 128}, {128, 0}, {255, 128}}, 0, {16384, 13107, 9830, 6553, 3276, 0, 4096, 8192}},
        {"points out of order", {100, 100, 100, 100}, 0, 4, {{200, 128}, {10, 128}, {255, 128}}, 0,
         {100, 100, 100, 100}},
        {"huge shift saturates", {1, -1, 0, 3}, 0, 4, {{0, 255}, {255, 255}}, 40, {32767, -32768, 0, 32767}},
        {"range past the end", {100, 100}, -5, 50, {{0, 128}, {255, 128}}, 1, {200, 200}},
        {"empty range", {100, 100}, 1, 1, {{0, 255}, {255, 255}}, 1, {100, 100}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Start(c.data);
        std::vector<uint16_t> values;
        for (const Point &p : c.points)
            values.push_back((uint16_t)(p.level << 8 | p.x));
        int32_t id = Seq_AddParamList((int32_t)values.size(), values.data(), 0, c.shift);
        ASSERT_GE(id, 0);
        Snd_DispatchSampleEdit(EDIT_ENVELOPE, c.a1, c.a2, id);
        EXPECT_EQ(Data(), c.expected);
        TearDown();
        SetUp();
    }

    // Peak 16384 becomes 32640 (gain 255, shift 0); quieter samples follow; the list is released.
    Start({16384, -8192, 100, 16384});
    int32_t lists = Seq_ParamListCount();
    EXPECT_EQ(Snd_DispatchSampleEdit(EDIT_NORMALISE, 0, 4, 0), 1);
    EXPECT_EQ(Data(), (Samples{32640, -16320, 199, 32640}));
    EXPECT_EQ(Seq_ParamListCount(), lists);
    // A quiet range gets a shift; its peak ends near full scale.
    TearDown();
    SetUp();
    Start({0, 300, -200, 5});
    Snd_DispatchSampleEdit(EDIT_NORMALISE, 0, 4, 0);
    Samples d = Data();
    EXPECT_GT(d[1], 32000);
    EXPECT_LE(d[1], 32767);
    EXPECT_EQ(d[0], 0);
    // Silence stays silent; an empty range changes nothing.
    TearDown();
    SetUp();
    Start({0, 0, 7});
    EXPECT_EQ(Snd_DispatchSampleEdit(EDIT_NORMALISE, 0, 2, 0), 1);
    EXPECT_EQ(Snd_DispatchSampleEdit(EDIT_NORMALISE, 2, 2, 0), 1);
    EXPECT_EQ(Data(), (Samples{0, 0, 7}));
    // An envelope id that names no list changes nothing.
    Snd_DispatchSampleEdit(EDIT_ENVELOPE, 0, 3, 5999);
    Snd_DispatchSampleEdit(EDIT_ENVELOPE, 0, 3, -1);
    EXPECT_EQ(Data(), (Samples{0, 0, 7}));
}

TEST_F(SampleEdit, NormaliseWithoutRoomForItsListChangesNothing)
{
    Start({1000, 2000, 3000});
    std::vector<uint16_t> big(200, 0);
    for (int i = 0; i < 256 && Seq_AddParamList(200, big.data(), (uint8_t)i, 0) >= 0; i++) {
    }
    for (int i = 0; i < 65536; i++) {
        uint16_t v = (uint16_t)i;
        if (Seq_AddParamList(1, &v, 1, 1) < 0)
            break;
    }
    uint16_t two[2] = {1, 2};
    ASSERT_LT(Seq_AddParamList(2, two, 3, 3), 0); // the data area is full
    EXPECT_EQ(Snd_DispatchSampleEdit(EDIT_NORMALISE, 0, 3, 0), 0);
    EXPECT_EQ(Data(), (Samples{1000, 2000, 3000}));
}

TEST_F(SampleEdit, EffectRunsOverItsRangeOnly)
{
    Samples data;
    for (int i = 0; i < 400; i++)
        data.push_back((int16_t)((i * 7919) % 20000 - 10000));
    for (int effect = 0; effect < EFFECT_COUNT; effect++) {
        SCOPED_TRACE(effect);
        Start(data);
        for (uint32_t row = 0; row < g_apEffects[effect]->uRowCount; row++)
            g_aiEditEffectValues[row] = g_apEffects[effect]->pRows[row].iDefault;
        Snd_DispatchSampleEdit(effect, 100, 299, 0);
        Samples edited = Data();

        // The same effect run by hand over frames 100..299.
        Samples expected = data;
        Snd_SetEffectSampleRate(44100);
        ASSERT_EQ(Snd_SelectEffect(effect), 0);
        ASSERT_EQ(Snd_RunEffect(effect, expected.data() + 100, 200), 0);
        Snd_ReleaseEffect(effect);
        EXPECT_EQ(edited, expected);
        EXPECT_NE(edited, data);
        // Past the end: held to the data.
        Snd_DispatchSampleEdit(effect, 390, 5000, 0);
        Snd_DispatchSampleEdit(effect, 500, 600, 0);
        Snd_DispatchSampleEdit(effect, 5, 4, 0);
        TearDown();
        SetUp();
    }
}

TEST_F(SampleEdit, CutCopyPasteAndTheirFixUps)
{
    Start(Ramp(200));
    const int32_t notes[4] = {NoteAt(kInst, 5), NoteAt(kInst, 20), NoteAt(kInst, 100),
                              NoteAt(kInst + 1, 100)}; // the last: another instrument's note
    for (int32_t n : notes)
        ASSERT_GT(n, 0);
    Snd_SetSampleLoop(g_pEditSample, 100, 1);
    ASSERT_TRUE(Snd_IsEditSampleLooped());

    // Leaving 139 frames: nothing happens.
    Snd_DispatchSampleEdit(EDIT_CUT, 10, 70, 0);
    EXPECT_EQ(g_iEditFrames, 200);
    EXPECT_EQ(g_stEditClipboard.iFrames, 0);

    // Leaving exactly 140.
    Snd_DispatchSampleEdit(EDIT_CUT, 10, 69, 0);
    Samples expected = Ramp(200);
    expected.erase(expected.begin() + 10, expected.begin() + 70);
    EXPECT_EQ(Data(), expected);
    ASSERT_EQ(g_stEditClipboard.iFrames, 60);
    EXPECT_EQ(g_stEditClipboard.pData[0], 1000);
    EXPECT_EQ(g_stEditClipboard.pData[59], 6900);
    EXPECT_EQ(StartOf(notes[0]), 5u);
    EXPECT_EQ(StartOf(notes[1]), 1u);
    EXPECT_EQ(StartOf(notes[2]), 40u);
    EXPECT_EQ(StartOf(notes[3]), 100u);
    // The loop stays on the frame it marked.
    EXPECT_TRUE(Snd_IsEditSampleLooped());
    EXPECT_EQ(g_pEditSample->uLoopStartFrame, 40u);

    // Paste it back where it was: the original sample again; the loop and notes after it move up.
    Snd_DispatchSampleEdit(EDIT_PASTE, 10, 0, 0);
    EXPECT_EQ(Data(), Ramp(200));
    EXPECT_EQ(g_pEditSample->uLoopStartFrame, 100u);
    EXPECT_EQ(StartOf(notes[2]), 100u);
    EXPECT_EQ(StartOf(notes[0]), 5u);

    // Positions outside the data are held to it.
    Snd_DispatchSampleEdit(EDIT_COPY, 198, 500, 0);
    ASSERT_EQ(g_stEditClipboard.iFrames, 2);
    Snd_DispatchSampleEdit(EDIT_PASTE, 999, 0, 0);
    Snd_DispatchSampleEdit(EDIT_PASTE, -5, 0, 0);
    Samples d = Data();
    ASSERT_EQ(d.size(), 204u);
    EXPECT_EQ(d[0], 19800);
    EXPECT_EQ(d[1], 19900);
    EXPECT_EQ(d[2], 0);
    EXPECT_EQ(d[202], 19800);
    EXPECT_EQ(d[203], 19900);
    // A paste after the loop start switches the loop off; one before it moves it up.
    EXPECT_FALSE(Snd_IsEditSampleLooped());
    EXPECT_EQ(g_pEditSample->uLoopStartFrame, 0u);
    EXPECT_EQ(StartOf(notes[2]), 102u);

    // An empty copy keeps the clipboard it had.
    Snd_DispatchSampleEdit(EDIT_COPY, 50, 40, 0);
    EXPECT_EQ(g_stEditClipboard.iFrames, 2);
}

TEST_F(SampleEdit, CropMovesOrSwitchesOffTheLoop)
{
    Start(Ramp(50));
    Snd_DispatchSampleEdit(EDIT_LOOP, 20, 0, 0);
    Snd_DispatchSampleEdit(EDIT_CROP, 10, 30, 0);
    EXPECT_TRUE(Snd_IsEditSampleLooped());
    EXPECT_EQ(g_pEditSample->uLoopStartFrame, 10u);
    EXPECT_EQ(g_iEditLoopMarker, 10);
    // A crop that does not hold the loop start switches the loop off and sets it to 0.
    Snd_DispatchSampleEdit(EDIT_CROP, 12, 20, 0);
    EXPECT_FALSE(Snd_IsEditSampleLooped());
    EXPECT_EQ(g_pEditSample->uLoopStartFrame, 0u);
    EXPECT_EQ(g_iEditLoopMarker, 0);
    EXPECT_EQ(g_aSamples[g_iEditSampleIndex].uLength, 9u);
}

TEST_F(SampleEdit, MixGolden)
{
    struct Case
    {
        const char *what;
        int32_t a1, a2, step;
        Samples expected;
    } cases[] = {
        {"step 256 adds sample by sample", 0, 8, 256, {100, 200, 300, 400, 0, 0, 0, 0}},
        {"step 512 takes every second and stops", 0, 8, 512, {100, 300, 0, 0, 0, 0, 0, 0}},
        {"step 128 interpolates, the last frame held", 0, 8, 128, {100, 150, 200, 250, 300, 350, 400, 400}},
        {"stops before a2", 2, 4, 256, {0, 0, 100, 200, 0, 0, 0, 0}},
        {"range past the end", 6, 99, 256, {0, 0, 0, 0, 0, 0, 100, 200}},
        {"empty range", 3, 3, 256, {0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Start({100, 200, 300, 400, 0, 0, 0, 0, 0, 0, 0, 0});
        Snd_DispatchSampleEdit(EDIT_COPY, 0, 3, 0);
        Snd_DispatchSampleEdit(EDIT_CROP, 4, 11, 0);
        ASSERT_EQ(Data(), Samples(8, 0));
        Snd_DispatchSampleEdit(EDIT_MIX, c.a1, c.a2, c.step);
        EXPECT_EQ(Data(), c.expected);
        TearDown();
        SetUp();
    }

    // Sums clip; an empty clipboard does nothing.
    Start({32000, -32000, 5});
    Snd_DispatchSampleEdit(EDIT_MIX, 0, 3, 256);
    EXPECT_EQ(Data(), (Samples{32000, -32000, 5}));
    Snd_DispatchSampleEdit(EDIT_COPY, 0, 1, 0);
    Snd_DispatchSampleEdit(EDIT_MIX, 0, 3, 256);
    EXPECT_EQ(Data(), (Samples{32767, -32768, 5}));
}

TEST_F(SampleEdit, LoopCrossFade)
{
    Samples data;
    for (int i = 0; i < 200; i++)
        data.push_back((int16_t)(i % 2 ? 8000 : -8000));
    Start(data);
    ASSERT_EQ(g_iEditLoopMarker, 0);

    Snd_DispatchSampleEdit(EDIT_LOOP, 100, 0, 0);
    Samples once = Data();
    // n = 48 (half the tail, in 16s), step 2730: the seam lands near the mean, the far ends keep
    // all but 8 / 32768 of their distance from it.
    EXPECT_EQ(once[100], -166); // -8000 x 682 / 32768
    EXPECT_EQ(once[199], 166);
    EXPECT_EQ(once[99], 166);
    EXPECT_EQ(once[147], 7998); // 8000 x 32760 / 32768
    EXPECT_EQ(once[152], -7998);
    EXPECT_EQ(once[52], -7998);
    EXPECT_EQ(once[51], 8000);
    EXPECT_EQ(once[148], -8000);
    EXPECT_EQ(Snd_GetEditLoopStart(), 100);

    // A second move first puts back what the first blended.
    Snd_DispatchSampleEdit(EDIT_LOOP, 60, 0, 0);
    Snd_DispatchSampleEdit(EDIT_LOOP, 100, 0, 0);
    EXPECT_EQ(Data(), once);

    // Within 31 frames of the end there is nothing to blend (no division by zero).
    Snd_DispatchSampleEdit(EDIT_LOOP, 190, 0, 0);
    Samples nearEnd = Data();
    EXPECT_EQ(nearEnd, data);
    EXPECT_EQ(g_pEditSample->uLoopStartFrame, 190u);
    Snd_DispatchSampleEdit(EDIT_LOOP, 199, 0, 0);
    EXPECT_EQ(Data(), data);

    // Outside the data: the loop goes off; -1 too.
    Snd_DispatchSampleEdit(EDIT_LOOP, 500, 0, 0);
    EXPECT_FALSE(Snd_IsEditSampleLooped());
    Snd_DispatchSampleEdit(EDIT_LOOP, 50, 0, 0);
    EXPECT_TRUE(Snd_IsEditSampleLooped());
    Snd_DispatchSampleEdit(EDIT_LOOP, -1, 0, 0);
    EXPECT_FALSE(Snd_IsEditSampleLooped());
}

TEST_F(SampleEdit, StaleCrossFadeIsNotWrittenBack)
{
    Start(Ramp(200, 10));
    Snd_DispatchSampleEdit(EDIT_LOOP, 150, 0, 0);
    // The data shrinks below the saved position, then another loop move: nothing old is restored.
    Snd_DispatchSampleEdit(EDIT_CROP, 0, 99, 0);
    Snd_DispatchSampleEdit(EDIT_LOOP, 40, 0, 0);
    EXPECT_EQ(g_iEditFrames, 100);
    TearDown();
    SetUp();

    // After a reverse the saved samples no longer belong where they were: the next move blends
    // the reversed data as it is, as on a fresh copy of it.
    Samples noisy;
    for (int i = 0; i < 200; i++)
        noisy.push_back((int16_t)((i * 7717) % 16000 - 8000));
    Start(noisy);
    Snd_DispatchSampleEdit(EDIT_LOOP, 100, 0, 0);
    Snd_DispatchSampleEdit(EDIT_REVERSE, 0, 199, 0);
    Samples reversed = Data();
    Snd_DispatchSampleEdit(EDIT_LOOP, 60, 0, 0);
    Samples moved = Data();
    TearDown();
    SetUp();
    Start(reversed);
    Snd_DispatchSampleEdit(EDIT_LOOP, 60, 0, 0);
    EXPECT_EQ(moved, Data());
}

TEST_F(SampleEdit, CommandsAreRecordedInTheChain)
{
    Start(Ramp(300), EDIT_FULL);
    int32_t list = Seq_AddParamList(2, std::vector<uint16_t>{128 << 8 | 0, 64 << 8 | 255}.data(), 0, 0);
    Snd_DoSampleEdit(EDIT_REVERSE, 3, 9, 0);
    Snd_DoSampleEdit(EDIT_COPY, 0, 9, 0);
    Snd_DoSampleEdit(EDIT_MIX, 20, 40, 300);
    Snd_DoSampleEdit(EDIT_ENVELOPE, 0, 50, list);
    Snd_SetEffectParam(0, 0, 5); // first user row of the comb
    Snd_DoSampleEdit(0, 100, 199, 0);

    std::vector<Entry> chain = Chain();
    uint32_t name0, name1;
    Snd_PackEditEntry(kName, &name0, &name1);
    EXPECT_EQ(name0, 0x534E4152u); // "SNAR" big-endian
    EXPECT_EQ(name1, 0x45303031u);
    std::vector<Entry> head = {
        {EDIT_SOURCE, (uint32_t)kPath[0] << 16 | kPath[1], 1u << 16 | kPath[2]},
        {EDIT_SOURCE, name0, name1},
        {EDIT_REVERSE, 3, 9},
        {EDIT_COPY, 0, 9},
        {EDIT_MIX, 300, 0},
        {EDIT_MIX, 20, 40},
        {EDIT_ENVELOPE, (uint32_t)list, 0},
        {EDIT_ENVELOPE, 0, 50},
        {0, 100, 199},
    };
    ASSERT_EQ(chain.size(), head.size() + 2); // comb: 4 values in two entries
    EXPECT_EQ(std::vector<Entry>(chain.begin(), chain.begin() + (long)head.size()), head);
    EXPECT_EQ(chain[head.size()].type, 5u);
    EXPECT_EQ(g_aInstrumentSlots[kInst].ucCommandCount, chain.size());
    EXPECT_EQ(g_aInstrumentSlots[kInst].cSampleState, SAMPLE_STATE_EDITED);

    // Entry counts per command as the sequencer counts them.
    struct
    {
        int32_t code, entries;
    } counts[] = {{0, 3}, {1, 3}, {2, 3}, {3, 5}, {4, 4}, {6, 6}, {10, 1}, {15, 2}, {16, 1}, {17, 2}, {18, 2}, {19, 1}};
    for (auto c : counts)
        EXPECT_EQ(Seq_CommandEntryCount(c.code), c.entries) << c.code;

    char back[8];
    Snd_UnpackEditEntry(name0, name1, back);
    EXPECT_EQ(std::memcmp(back, kName, 8), 0);
}

TEST_F(SampleEdit, TwoLoopMovesLeaveOneLoopCommand)
{
    Start(Ramp(300), EDIT_FULL);
    Snd_DoSampleEdit(EDIT_LOOP, 100, 0, 0);
    Snd_DoSampleEdit(EDIT_LOOP, 150, 0, 0);
    Snd_DoSampleEdit(EDIT_LOOP, 120, 0, 0);
    std::vector<Entry> chain = Chain();
    ASSERT_EQ(chain.size(), 3u);
    EXPECT_EQ(chain[2], (Entry{EDIT_LOOP, 120, 0})); // the loop start before the first move
    EXPECT_EQ(g_iEditLoopMarker, 120);
    EXPECT_FALSE(g_bEditEdited);
}

// What a song keeps: the chain replayed on the library sample gives the edited sample again.
TEST_F(SampleEdit, ReplayOnTheSourceGivesTheSameData)
{
    Samples data;
    for (int i = 0; i < 600; i++)
        data.push_back((int16_t)((i * 4001) % 30000 - 15000));
    Start(data, EDIT_FULL);
    int32_t list = Seq_AddParamList(3, std::vector<uint16_t>{0 << 8 | 0, 200 << 8 | 100, 90 << 8 | 255}.data(), 0, 0);
    Snd_SetEffectParam(2, 0, 7000);
    Snd_DoSampleEdit(2, 50, 250, 0);
    Snd_DoSampleEdit(EDIT_REVERSE, 10, 400, 0);
    Snd_DoSampleEdit(EDIT_COPY, 100, 160, 0);
    Snd_DoSampleEdit(EDIT_PASTE, 300, 0, 0);
    Snd_DoSampleEdit(EDIT_MIX, 0, 200, 384);
    Snd_DoSampleEdit(EDIT_CUT, 20, 90, 0);
    Snd_DoSampleEdit(EDIT_ENVELOPE, 0, 9999, list);
    Snd_DoSampleEdit(EDIT_CROP, 5, 520, 0);
    Snd_DoSampleEdit(EDIT_LOOP, 200, 0, 0);
    Snd_DoSampleEdit(EDIT_NORMALISE, 0, 516, 0);
    Snd_DoSampleEdit(7, 30, 300, 0);
    Snd_DoSampleEdit(EDIT_LOOP, 260, 0, 0);
    Samples edited = Data();
    uint32_t loop = g_pEditSample->uLoopStartFrame;
    ASSERT_NE(edited, data);
    Snd_CloseSampleEditor();

    // A fresh instrument with the same library sample, replayed in silent mode.
    Load(2);
    ASSERT_EQ(Snd_OpenSampleEditor(EDIT_SILENT), 1);
    Snd_SelectEditInstrument(2, 0);
    Snd_ReplayEditChain(g_aInstrumentSlots[kInst].pCommands, (int32_t)g_aInstrumentSlots[kInst].ucCommandCount);
    EXPECT_EQ(Data(), edited);
    EXPECT_EQ(g_pEditSample->uLoopStartFrame, loop);
    EXPECT_TRUE(Snd_IsEditSampleLooped());
}

TEST_F(SampleEdit, Undo)
{
    Start(Ramp(300), EDIT_FULL);
    EXPECT_EQ(Snd_UndoSampleEdit(), 0); // nothing recorded
    Snd_DoSampleEdit(EDIT_REVERSE, 0, 99, 0);
    Samples afterReverse = Data();
    Snd_DoSampleEdit(EDIT_CROP, 10, 249, 0);
    Snd_DoSampleEdit(EDIT_LOOP, 50, 0, 0);

    // The snapshot: back to before the crop; the loop command and the crop leave the chain.
    EXPECT_EQ(Snd_UndoSampleEdit(), 1);
    EXPECT_EQ(Data(), afterReverse);
    ASSERT_EQ(Chain().size(), 3u);
    EXPECT_EQ(Chain()[2].type, (uint32_t)EDIT_REVERSE);
    EXPECT_FALSE(g_bEditEdited);
    // Nothing edited since: nothing to undo.
    EXPECT_EQ(Snd_UndoSampleEdit(), 0);

    // Without a snapshot the source is reloaded and the rest of the chain replayed.
    Snd_DoSampleEdit(EDIT_CROP, 0, 149, 0);
    Snd_DoSampleEdit(EDIT_REVERSE, 0, 9, 0); // snapshot of this one only
    EXPECT_EQ(Snd_UndoSampleEdit(), 1);
    Samples cropped(afterReverse.begin(), afterReverse.begin() + 150);
    EXPECT_EQ(Data(), cropped);
    g_bEditEdited = 1; // as after another edit that left no snapshot
    EXPECT_EQ(Snd_UndoSampleEdit(), 1);
    EXPECT_EQ(Data(), afterReverse);
    EXPECT_EQ(Chain().size(), 3u);
}

TEST_F(SampleEdit, UndoReleasesTheEnvelopeList)
{
    Start(Ramp(100), EDIT_FULL);
    int32_t list = Seq_AddParamList(2, std::vector<uint16_t>{128 << 8 | 0, 0 << 8 | 255}.data(), 0, 0);
    int32_t before = Seq_ParamListCount();
    Snd_DoSampleEdit(EDIT_ENVELOPE, 0, 100, list);
    EXPECT_EQ(Snd_UndoSampleEdit(), 1);
    EXPECT_EQ(Data(), Ramp(100));
    EXPECT_EQ(Seq_ParamListCount(), before - 1);
    EXPECT_EQ(Chain().size(), 2u);
}

// The clipboard's copy of a chain names the chain's envelope lists without holding them.
TEST_F(SampleEdit, ClipboardChainsHoldNoListReferences)
{
    Start(Ramp(100), EDIT_FULL);
    int32_t list = Seq_AddParamList(2, std::vector<uint16_t>{128 << 8 | 0, 0 << 8 | 255}.data(), 0, 0);
    Snd_DoSampleEdit(EDIT_ENVELOPE, 0, 100, list);
    const int32_t lists = Seq_ParamListCount();
    Snd_DoSampleEdit(EDIT_COPY, 0, 9, 0);
    ASSERT_NE(g_stEditClipboard.pChain, nullptr);
    Snd_DoSampleEdit(EDIT_COPY, 0, 19, 0); // frees the first clipboard
    Snd_CloseSampleEditor();                // and the second
    EXPECT_EQ(Seq_ParamListCount(), lists);
    EXPECT_NE(Seq_GetParamList(list, nullptr), nullptr) << "the instrument's chain still holds it";
    Seq_ClearInstrument(kInst, 1, 1);
    EXPECT_EQ(Seq_GetParamList(list, nullptr), nullptr);
}

TEST_F(SampleEdit, ClipFromAnotherInstrumentStopsTheRecording)
{
    Start(Ramp(300), EDIT_FULL);
    Snd_DoSampleEdit(EDIT_COPY, 0, 9, 0);
    ASSERT_TRUE(g_stEditClipboard.bRecordable);
    EXPECT_EQ(g_stEditClipboard.pChain->uType, (uint32_t)EDIT_SOURCE);
    SAMPLESLOT *pFirst = g_pEditSample;
    EXPECT_FALSE(pFirst->uFlags & SAMPLE_STEREO);
    Load(2);
    Snd_SelectEditInstrument(2, 0);
    // The sample left behind is stereo again for the song's voices; the new one is mono.
    EXPECT_TRUE(pFirst->uFlags & SAMPLE_STEREO);
    EXPECT_FALSE(g_pEditSample->uFlags & SAMPLE_STEREO);
    Snd_DoSampleEdit(EDIT_REVERSE, 0, 5, 0);
    Snd_DoSampleEdit(EDIT_PASTE, 0, 0, 0);
    // Its chain could not make this sample again: the instrument keeps its sample instead.
    EXPECT_EQ(g_aInstrumentSlots[2].cSampleState, SAMPLE_STATE_OWN);
    EXPECT_EQ(g_aInstrumentSlots[2].pCommands, nullptr);
    EXPECT_EQ(g_iEditFrames, 310);
    // The undo snapshot still works for it.
    EXPECT_EQ(Snd_UndoSampleEdit(), 1);
    EXPECT_EQ(g_iEditFrames, 300);
}

TEST_F(SampleEdit, BrokenChainsReplaySafely)
{
    Start(Ramp(500));
    // Commands cut short, arguments far outside the data, unknown codes, stray value entries.
    uint32_t garbage[][3] = {
        {EDIT_CROP, 0xFFFFFFF0u, 0x7FFFFFFF}, {EDIT_REVERSE, 0x80000000u, 0xFFFFFFFFu},
        {EDIT_PASTE, 0x7FFFFFFF, 0},          {EDIT_CUT, 0xFFFFFFFFu, 3},
        {EDIT_ENVELOPE, 77, 0},               {EDIT_ENVELOPE, 0, 0x7FFFFFFF},
        {EDIT_MIX, 0xFFFFFFFFu, 0},           {EDIT_MIX, 0, 0x7FFFFFFF},
        {EDIT_LOOP, 0x7FFFFFFF, 5},           {3, 0, 9999999},
        {0x7FFFFFFF, 1, 1},                   {0xFFFFFFFFu, 1, 1},
        {EDIT_NORMALISE, 0x80000000u, 0x7FFFFFFF}, {EDIT_SOURCE, 1, 2},
    };
    for (auto &g : garbage)
        Seq_AddInstrumentCommand(5, g[0], g[1], g[2]);
    Snd_ReplayEditChain(g_aInstrumentSlots[5].pCommands, (int32_t)g_aInstrumentSlots[5].ucCommandCount + 10);
    Snd_ReplayEditChain(g_aInstrumentSlots[5].pCommands, 3);
    Snd_ReplayEditChain(g_aInstrumentSlots[5].pCommands, -4);
    EXPECT_GT(g_iEditFrames, 0);
    EXPECT_EQ(Data().size(), (size_t)g_iEditFrames);
    Seq_FreeCommandChain(g_aInstrumentSlots[5].pCommands);
    g_aInstrumentSlots[5] = INSTRUMENTSLOT{};

    // Nothing selected, or the editor closed: operations do nothing.
    Snd_SelectEditInstrument(150, 0);
    for (int code = -1; code <= 20; code++)
        Snd_DispatchSampleEdit(code, 0, 10, 256);
    EXPECT_EQ(Snd_UndoSampleEdit(), 0);
    Snd_SelectEditInstrument(9999, 0);
    Snd_CloseSampleEditor();
    EXPECT_EQ(Snd_DoSampleEdit(EDIT_REVERSE, 0, 10, 0), 1);
}

TEST_F(SampleEdit, PreviewFollowsTheData)
{
    Start(Ramp(400), EDIT_FULL);
    Snd_ToggleEditPreview(10);
    EXPECT_TRUE(g_bEditPreviewOn);
    EXPECT_EQ(g_stPreviewVoice.pSlot, g_pEditSample);
    EXPECT_TRUE(g_stPreviewVoice.uState & VOICE_ACTIVE);
    EXPECT_EQ(g_stPreviewVoice.pCurrent - g_stPreviewVoice.pStart, 20);

    // Replacing the data stops the preview before the old data goes.
    Snd_DispatchSampleEdit(EDIT_CROP, 0, 199, 0);
    EXPECT_FALSE(g_stPreviewVoice.uState & VOICE_ACTIVE);
    EXPECT_EQ(g_stPreviewVoice.pSlot, nullptr);
    EXPECT_FALSE(g_bEditPreviewOn);

    // The mixer's end flag stops it on the next frame.
    Snd_ToggleEditPreview(0);
    ASSERT_TRUE(g_bEditPreviewOn);
    g_bPreviewEnded = 1;
    Snd_EditPreviewFrame();
    EXPECT_FALSE(g_bEditPreviewOn);
    EXPECT_FALSE(g_stPreviewVoice.uState & VOICE_ACTIVE);
    EXPECT_EQ(g_bPreviewEnded, 0);

    // A loop set while previewing moves the preview's loop too.
    Snd_ToggleEditPreview(0);
    Snd_DispatchSampleEdit(EDIT_LOOP, 50, 0, 0);
    EXPECT_EQ(g_stPreviewVoice.pLoop - g_stPreviewVoice.pStart, 100);
    Snd_CloseSampleEditor();
    EXPECT_FALSE(g_stPreviewVoice.uState & VOICE_ACTIVE);
}

TEST_F(SampleEdit, ViewPictureAndPalette)
{
    Samples data(464, 16384);
    for (int i = 232; i < 464; i++)
        data[(size_t)i] = -16384;
    g_uTempo = 0; // no beat marks
    Start(data, EDIT_FULL);
    g_iEditSelFirst = 0;
    g_iEditSelLast = -1; // nothing selected
    Snd_ProcessEditRange(0, 463);
    EXPECT_STREQ(g_szEditMessage, "PROCESS FORWARDS (START 0, SIZE 463)");
    int32_t uploads = g_iEditPictureUploads;
    EXPECT_TRUE(g_bEditWholeSample);
    auto pixel = [](int x, int y) {
        uint8_t b = g_pEditPicture[y * 116 + x / 2];
        return (x & 1) ? b >> 4 : b & 15;
    };
    // Row 50 - 16384 x 49 / 32768 = 26 on the left half, 74 on the right.
    EXPECT_EQ(pixel(0, 26), 15);
    EXPECT_EQ(pixel(0, 25), 0);
    EXPECT_EQ(pixel(0, 27), 0);
    EXPECT_EQ(pixel(100, 26), 15);
    EXPECT_EQ(pixel(200, 74), 15);
    EXPECT_EQ(pixel(231, 74), 15);
    EXPECT_EQ(g_aucEditColumnLevel[0], 109 - 54);
    EXPECT_EQ(g_iEditPictureUploads, uploads);
    Snd_ProcessEditRange(0, 463);
    EXPECT_EQ(g_iEditPictureUploads, uploads + 1);

    // The selection's columns in colour 5, its waveform in 4.
    g_iEditSelFirst = 0;
    g_iEditSelLast = 1;
    Snd_ProcessEditRange(0, 463);
    EXPECT_EQ(pixel(0, 26), 4);
    EXPECT_EQ(pixel(0, 0), 5);
    EXPECT_EQ(pixel(10, 0), 0);

    // A view shorter than the picture and one of a single frame draw without reading outside.
    Snd_ProcessEditRange(10, 20);
    EXPECT_FALSE(g_bEditWholeSample);
    Snd_ProcessEditRange(5, 5);
    Snd_ProcessEditRange(400, 90000);

    // Beat marks: 120 bpm, 464 frames at 44100 Hz is not a sixteenth yet; a long sample has them.
    g_uTempo = 120;
    Snd_CloseSampleEditor();
    ClearSongData();
    Start(Samples(44100, 0), EDIT_FULL);
    g_iEditSelLast = -1;
    Snd_ProcessEditRange(0, 44099);
    // 8 sixteenths a second: marks at columns k x 232 / 8 for k = 1..7 (the 8th is past the end).
    EXPECT_EQ(pixel(28, 0), 1); // frame 5512 -> column 28
    EXPECT_EQ(pixel(116, 0), 2); // 4th mark
    EXPECT_EQ(pixel(27, 0), 0);

    EXPECT_EQ(g_auEditPalette[0], 0x8000);
    EXPECT_EQ(g_auEditPalette[1], 0x8000 | 8 << 10 | 8 << 5 | 8);
    EXPECT_EQ(g_auEditPalette[4], 0x8000 | 24 << 10 | 6 << 5 | 24);
    EXPECT_EQ(g_auEditPalette[5], 0xFFFF);
    EXPECT_EQ(g_auEditPalette[9], 0x8000 | 9 << 5);
}

TEST_F(SampleEdit, NoteToStepAndSmallQueries)
{
    Start(Ramp(100), EDIT_FULL);
    Snd_DispatchSampleEdit(EDIT_COPY, 0, 9, 0); // clipboard rate code 3
    EXPECT_EQ(Snd_EditNoteToRate(48, 50), 256);
    EXPECT_EQ(Snd_EditNoteToRate(60, 50), 512);
    EXPECT_EQ(Snd_EditNoteToRate(36, 50), 128);
    EXPECT_GT(Snd_EditNoteToRate(48, 100), 256);
    EXPECT_LT(Snd_EditNoteToRate(48, 0), 256);
    // Anything out of range is held to the table.
    Snd_EditNoteToRate(-100000, -5);
    Snd_EditNoteToRate(100000, 500);
    g_stEditClipboard.iRateCode = 0;
    Snd_EditNoteToRate(48, 50);

    int32_t first = -9, last = -9;
    g_iEditSelFirst = 3;
    g_iEditSelLast = 7;
    Snd_GetEditSelection(&first, &last);
    EXPECT_EQ(first, 3);
    EXPECT_EQ(last, 7);
    Snd_SelectEditInstrument(kInst, 1); // select only
    EXPECT_EQ(g_iEditLoopMarker, -1);
    EXPECT_EQ(Snd_GetEditLoopStart(), -1);
    EXPECT_EQ(g_iEditFrames, 0);
}

} // namespace

namespace {

// A loaded song asks for its edited instruments' chains to be replayed: each gets its sample back.
TEST_F(SampleEdit, LoadedSongsReplayTheirEdits)
{
    Samples data;
    for (int i = 0; i < 400; i++)
        data.push_back((int16_t)((i * 3001) % 20000 - 10000));
    Start(data, EDIT_FULL);
    Snd_DoSampleEdit(EDIT_REVERSE, 10, 200, 0);
    Snd_DoSampleEdit(EDIT_CROP, 5, 300, 0);
    Snd_DoSampleEdit(EDIT_LOOP, 40, 0, 0);
    const Samples edited = Data();
    ASSERT_NE(edited, data);
    Snd_CloseSampleEditor();

    // As the song loader leaves it: the library sample, the chain, the state negated.
    Load(2);
    for (const COMMANDENTRY *p = g_aInstrumentSlots[kInst].pCommands; p; p = p->pNext)
        ASSERT_EQ(Seq_AddInstrumentCommand(2, p->uType, p->uParam0, p->uParam1), 0);
    g_aInstrumentSlots[2].cSampleState = (int8_t)-SAMPLE_STATE_EDITED;
    Seq_ReapplySampleEdits();
    EXPECT_EQ(g_iSampleEditorState, EDIT_CLOSED);
    EXPECT_EQ(g_aInstrumentSlots[2].cSampleState, SAMPLE_STATE_EDITED);
    SAMPLESLOT *sample = nullptr;
    ASSERT_GE(Snd_FindSampleById(&sample, (uint32_t)g_aInstrumentSlots[2].iSampleId), 0);
    std::vector<int16_t> left(sample->uFrames);
    Snd_CopySampleLeft(left.data(), sample);
    EXPECT_EQ(left, edited);
    EXPECT_EQ(sample->uLoopStartFrame, 40u);
}

// The song holds 128 command entries: an edit past them keeps the sample instead of a chain.
TEST_F(SampleEdit, AFullCommandPoolKeepsTheSampleInsteadOfAChain)
{
    Start(Ramp(300), EDIT_FULL);
    Snd_DoSampleEdit(EDIT_REVERSE, 0, 9, 0);
    ASSERT_EQ(Chain().size(), 3u);
    while (Seq_FreeCommandEntries() > 0)
        ASSERT_EQ(Seq_AddInstrumentCommand(7, EDIT_REVERSE, 0, 1), 0);
    Snd_DoSampleEdit(EDIT_REVERSE, 20, 29, 0);
    EXPECT_EQ(g_aInstrumentSlots[kInst].cSampleState, SAMPLE_STATE_OWN);
    EXPECT_EQ(g_aInstrumentSlots[kInst].pCommands, nullptr);
    EXPECT_EQ(Seq_FreeCommandEntries(), 3) << "its chain went back to the pool";
    Samples expected = Ramp(300);
    std::reverse(expected.begin(), expected.begin() + 10);
    std::reverse(expected.begin() + 20, expected.begin() + 30);
    EXPECT_EQ(Data(), expected) << "the edit itself still applies";
    Seq_FreeCommandChain(g_aInstrumentSlots[7].pCommands);
    g_aInstrumentSlots[7] = INSTRUMENTSLOT{};
}

} // namespace
