// Tempo, the clock's state and its start and stop.
#include "sequencer/clock.h"

#include "core/mixlock.h"

#include <cmath>
#include <cstring>
#include <mutex>

#include "core/mixlock.h"

void Seq_StopSong();

uint16_t g_uTempo = 130;
uint32_t g_iStepLength = 5908;
uint32_t g_uSongTempo = 130;
uint16_t g_usTuning = 1872;
uint8_t g_bSeqClockRunning;

namespace {

struct StepLengths
{
    uint16_t v[961];
    constexpr StepLengths() : v()
    {
        // round(768000 / tempo), integer only so the table is the same on every machine.
        for (int32_t t = 40; t <= 1000; t++)
            v[t - 40] = (uint16_t)((768000 + t / 2) / t);
    }
};
constexpr StepLengths kStepLengths;

} // namespace

const uint16_t g_auStepLengths[961] = {
#define R(t) kStepLengths.v[t]
#define R10(t) R(t), R(t + 1), R(t + 2), R(t + 3), R(t + 4), R(t + 5), R(t + 6), R(t + 7), R(t + 8), R(t + 9)
#define R100(t) R10(t), R10(t + 10), R10(t + 20), R10(t + 30), R10(t + 40), R10(t + 50), R10(t + 60), R10(t + 70), \
                R10(t + 80), R10(t + 90)
    R100(0), R100(100), R100(200), R100(300), R100(400), R100(500), R100(600), R100(700), R100(800), R10(900),
    R10(910), R10(920), R10(930), R10(940), R10(950), R(960),
#undef R100
#undef R10
#undef R
};

void Seq_SetTempo(int32_t bpm)
{
    // The table has tempos 40..1000 only; anything else is held to that range.
    bpm = bpm < 40 ? 40 : bpm > 1000 ? 1000 : bpm;
    // The sequencer tick reads both on the mix thread, under this lock.
    std::lock_guard<std::recursive_mutex> mix(g_csMix);
    g_uTempo = (uint16_t)bpm;
    g_iStepLength = g_auStepLengths[bpm - 40];
}

int32_t Seq_StartClock()
{
    if (g_bSeqClockRunning)
        return 0;
    // The tick is driven by the mix (one per 72-frame block): there is no timer to start, and the
    // mix itself is switched by the program spine.
    g_bSeqClockRunning = 1;
    Seq_StopSong();
    return 1;
}

void Seq_StopClock()
{
    g_bSeqClockRunning = 0;
}
