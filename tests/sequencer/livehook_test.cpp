// The live input step hook: a generated beat on the headless sound input, captured into memory,
// drives the hooked sequencer clock tick by tick on the manual clock.
#include "app/devices.h"
#include "app/settings.h"
#include "app/timers.h"
#include "audio/capture.h"
#include "core/event.h"
#include "platform/audio_in.h"
#include "platform/audio_out.h"
#include "platform/clock.h"
#include "sequencer/clock.h"
#include "sequencer/livehook.h"
#include "sequencer/playback.h"
#include "video/engine.h"
#include "video/lanes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kBeatSamples = kRate / 2; // 120 bpm
constexpr int32_t kKickSamples = 2205;

// A kick every half second: a square burst at 80 Hz from full level, fading over 50 ms.
int16_t Beat120(uint64_t n, int)
{
    const uint64_t k = n % kBeatSamples;
    if (k >= kKickSamples)
        return 0;
    const int32_t level = static_cast<int32_t>(30000 * (kKickSamples - k) / kKickSamples);
    return static_cast<int16_t>((k / 276) % 2 ? -level : level);
}

struct POSTED
{
    uint32_t id;
    uint16_t first, second;
    uint32_t tick;
};
std::vector<POSTED> g_posted;

void Record(uint32_t id, uintptr_t arg)
{
    const auto *w = reinterpret_cast<const uint16_t *>(arg);
    g_posted.push_back({id, w[0], w[1], g_uSeqTickCount.load()});
}
void On30000(uintptr_t a) { Record(0x30000, a); }
void On30001(uintptr_t a) { Record(0x30001, a); }
void On30002(uintptr_t a) { Record(0x30002, a); }
void On30003(uintptr_t a) { Record(0x30003, a); }

bool WaitRecorded(int64_t bytes)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (g_iRecordedBytes.load() < bytes) {
        if (std::chrono::steady_clock::now() > giveUp)
            return false;
        std::this_thread::yield();
    }
    return true;
}

class LiveHook : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        Plat_ManualClockSet(0);
        g_iAudioInDevice = 0;
        g_iAudioOutDevice = 0;
        ASSERT_EQ(Snd_EnumInputDevices(), 0);
        ASSERT_EQ(Sys_OpenAudioOutput(0), 0);
        Sys_EventInit();
        Sys_EventCreateClass(3, 4);
        Sys_EventAddHandler(0x30000, On30000);
        Sys_EventAddHandler(0x30001, On30001);
        Sys_EventAddHandler(0x30002, On30002);
        Sys_EventAddHandler(0x30003, On30003);
        Sys_EventAddHandler(0x30003, Vid_OnBarEvent);
        g_posted.clear();
        g_uSeqTickCount = 0;
        g_iVideoPosition = 0;
        g_iRecordRunning = 1;
        g_uiLaneMuteMask = 0x1234;
        m_buffer.assign(SEQ_RECORD_BUFFER_BYTES, 0);
    }
    void TearDown() override
    {
        Seq_RemoveStepHook();
        g_p_ucRecordBuffer = nullptr;
        Snd_StopRecording();
        Plat_AudioInSetGenerator(nullptr);
        Sys_CloseAudioOutput();
        Sys_EventInit();
        g_iRecordRunning = 0;
        g_uiLaneMuteMask = 0;
        Seq_StopClock();
    }
    // Ticks the hooked clock as the mix would (72 samples a tick), letting each half-buffer
    // handover of the capture land before the tick that may see it.
    void RunTicks(uint32_t ticks)
    {
        for (uint32_t i = 0; i < ticks; i++) {
            const uint64_t samples = 72ull * (m_tick + 1);
            while (m_nextHandover <= samples) {
                Plat_ManualClockSet((m_nextHandover * 1000000u + kRate - 1) / kRate);
                ASSERT_TRUE(WaitRecorded(static_cast<int64_t>(m_nextHandover) * 2));
                m_nextHandover += 2048;
            }
            Seq_Tick();
            m_tick++;
        }
    }
    void RunTo(uint64_t tick)
    {
        if (tick > m_tick)
            RunTicks(static_cast<uint32_t>(tick - m_tick));
    }
    std::vector<uint8_t> m_buffer;
    uint64_t m_tick = 0;
    uint64_t m_nextHandover = 2048;
};

} // namespace

TEST_F(LiveHook, ABeatAt120BpmDrivesTheHookedClockOnTheBeats)
{
    Plat_AudioInSetGenerator(Beat120);
    ASSERT_EQ(Snd_StartRecording(kRate, m_buffer.data(), SEQ_RECORD_BUFFER_BYTES, 0), 0);
    g_p_ucRecordBuffer = m_buffer.data();
    Seq_InstallStepHook();
    EXPECT_EQ(g_bSeqStepHooked, 255);
    EXPECT_EQ(g_pfnSeqStep.load(), Seq_StepLiveInput);

    // While hooked the song's play requests are ignored.
    Seq_PlaySongFrom(0);
    EXPECT_EQ(g_bSongPlaying.load(), 0);
    EXPECT_EQ(g_pfnSeqStep.load(), Seq_StepLiveInput);

    // 130 seconds: 260 kicks, the hit counter posts on every fourth from the fifth. The lanes are
    // looked at just after a kick's first half-buffer lands, and again once it has faded.
    std::vector<uint32_t> masks;
    for (uint64_t beat = 0; beat < 260; beat++) {
        const uint64_t kick = beat * kBeatSamples;
        const uint64_t landed = (kick / 2048 + 1) * 2048;
        RunTo((landed + 71) / 72 + 3);
        masks.push_back(g_uiLaneMuteMask.load());
        RunTo((kick + 8000) / 72);
        masks.push_back(g_uiLaneMuteMask.load());
    }

    // Each strong hit posts the note event then the beat event at the same tick, within one
    // half-buffer (46 ms) and one hook period of a kick's start.
    std::vector<POSTED> notes, beats, bars;
    for (const POSTED &p : g_posted) {
        (p.id == 0x30002 ? notes : p.id == 0x30001 ? beats : p.id == 0x30003 ? bars : notes).push_back(p);
    }
    ASSERT_EQ(beats.size(), 64u); // kicks 5, 9, ..., 257
    uint16_t expectBeat = 0;
    for (size_t i = 0; i < beats.size(); i++) {
        SCOPED_TRACE(i);
        const uint64_t kick = 5 + 4 * i - 1; // 0-based kick number
        const double kickTick = kick * 22050.0 / 72.0;
        EXPECT_GE(beats[i].tick, kickTick);
        EXPECT_LE(beats[i].tick, kickTick + 2048 / 72.0 + 4);
        expectBeat = static_cast<uint16_t>((expectBeat + 1) & 15);
        EXPECT_EQ(beats[i].first, expectBeat);
        EXPECT_EQ(beats[i].second, 255);
    }
    size_t noteEvents = 0;
    for (const POSTED &p : g_posted)
        if (p.id == 0x30002) {
            EXPECT_EQ(p.tick, beats[noteEvents].tick);
            EXPECT_GT(p.second, 45056 >> 8);
            noteEvents++;
        }
    EXPECT_EQ(noteEvents, beats.size());
    // The step event comes on every twelfth strong hit after the first twelve.
    size_t steps = 0;
    for (const POSTED &p : g_posted)
        steps += p.id == 0x30000;
    EXPECT_EQ(steps, 5u);
    // The sixty-fourth strong hit posts a new row, and with the recorder running the video's
    // loop position moves on.
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_EQ(bars[0].tick, beats[63].tick);
    EXPECT_EQ(g_iVideoPosition.load(), 1);

    // Loud input shows every lane, the silence between kicks none.
    for (size_t i = 0; i < masks.size(); i += 2) {
        EXPECT_EQ(masks[i], 0u) << "during kick " << i / 2;
        EXPECT_EQ(masks[i + 1], 65535u) << "after kick " << i / 2;
    }

    Seq_RemoveStepHook();
    EXPECT_EQ(g_bSeqStepHooked, 0);
    EXPECT_EQ(g_pfnSeqStep.load(), Seq_StepIdle);
    EXPECT_EQ(g_uiLaneMuteMask.load(), 65535u);
}

TEST_F(LiveHook, WithoutACaptureBufferNothingMovesNotEvenTheDivider)
{
    Seq_InstallStepHook();
    g_p_ucRecordBuffer = nullptr;
    for (int i = 0; i < 10; i++)
        Seq_Tick();
    EXPECT_EQ(g_LiveHook.ucDivider, 0);
    EXPECT_EQ(g_LiveHook.uFrameCounter, 0);
    EXPECT_TRUE(g_posted.empty());
    EXPECT_EQ(g_uiLaneMuteMask.load(), 0x1234u);

    // With a buffer the hook works on every third tick: the first, the fourth, the seventh.
    g_p_ucRecordBuffer = m_buffer.data();
    for (int i = 0; i < 7; i++)
        Seq_Tick();
    EXPECT_EQ(g_LiveHook.ucDivider, 2);
    // Silence leaves every lane hidden at each period.
    EXPECT_EQ(g_uiLaneMuteMask.load(), 65535u);
    EXPECT_TRUE(g_posted.empty());
}

TEST(LiveHookTables, LoudnessChoosesTheLanesAndRisesReachEveryThreshold)
{
    const struct
    {
        uint16_t peak;
        uint32_t mask;
    } cases[] = {{0, 65535}, {1, 255}, {2, 46}, {6, 46}, {8, 14}, {31, 14}, {32, 44}, {127, 44},
                 {128, 10}, {256, 12}, {1023, 12}, {1024, 4}, {4096, 8}, {16383, 8}, {16384, 0},
                 {32767, 0}, {65535, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(Seq_LiveLaneMask(c.peak), c.mask) << c.peak;
    EXPECT_EQ(Seq_LiveRise(100, 50), 0);
    EXPECT_EQ(Seq_LiveRise(0, 10241), 20482);
    EXPECT_GT(Seq_LiveRise(0, 16385), 32768);
    EXPECT_GT(Seq_LiveRise(0, 22529), 45056);
    EXPECT_EQ(Seq_LiveRise(0, 32767), 65534);
    EXPECT_EQ(Seq_LiveRise(0, 65535), 65535);
}
