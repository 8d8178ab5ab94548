// One video frame of running chases: 256 chases of a 10-channel type with 8 keys each, following
// note triggers, each updated and evaluated (interpolating once) as a playing clip does. Reported
// per frame; the video steps 50 times a second, so a frame has 20 ms.
#include "app/timers.h"
#include "core/console_memory.h"
#include "video/chase.h"
#include "video/triggers.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

int32_t g_iSink;

int32_t Read(CHASE *, int32_t, int32_t *, int32_t)
{
    return 0;
}
int32_t Apply(CHASE *, int32_t, int32_t *, uint8_t *)
{
    return 1;
}
void Interp(CHASE *, const int32_t *a, const int32_t *b, const int16_t *w)
{
    for (int i = 0; i < 10; i++)
        g_iSink += a[i] + ((b[i] - a[i]) * w[i] >> 12);
}
void Release(CHASE *, const int32_t *, uint32_t) {}
void Render(CHASE *, VIDOBJECT *) {}

const CHASECHANNEL kChannels[10] = {
    {0, 0, 255, 16, 2, nullptr, nullptr}, {0, 0, 255, 8, 2, nullptr, nullptr}, {0, 0, 255, 8, 2, nullptr, nullptr},
    {0, 0, 15, 4, 2, nullptr, nullptr},   {0, 0, 1, 1, 2, nullptr, nullptr},    {0, 0, 127, 7, 2, nullptr, nullptr},
    {0, 0, 127, 7, 2, nullptr, nullptr},  {0, 0, 63, 6, 2, nullptr, nullptr},   {0, 0, 31, 5, 2, nullptr, nullptr},
    {0, 0, 255, 16, 2, nullptr, nullptr},
};

CHASEDEF g_def = {1, 0, 0, CHASEKIND_PLAIN, 16, 16, 0, 10, kChannels, nullptr, 0,
                  Read, Apply, Interp, Release, Render, nullptr, nullptr, nullptr, nullptr, nullptr, 0};

} // namespace

static void BM_ChaseFrame256(benchmark::State &state)
{
    Vid_InitChasePools();
    const int32_t type = Vid_RegisterChaseDef(&g_def);
    std::vector<CHASE *> chases;
    for (int i = 0; i < 256; i++) {
        CHASE *c = Vid_NewChase(type);
        Vid_SetChaseDefaultKey(c);
        for (int k = 1; k < 8; k++) {
            int32_t v[10];
            uint8_t s[10];
            for (int ch = 0; ch < 10; ch++) {
                v[ch] = (i * 7 + k * 13 + ch) & 31;
                s[ch] = (ch + k) % 3 ? KEYSTATE_SET : KEYSTATE_KEEP;
            }
            Vid_SetChaseKey(c, k * 30, v, s);
        }
        c->ucMode = static_cast<uint8_t>(i % 3);
        c->ucDuration = 12;
        c->ucWorkTrigA = static_cast<uint8_t>(2 + i % 99);
        c->ucWorkTrigB = 2;
        c->uFlags = CHASEFLAG_ANIMATE;
        chases.push_back(c);
    }
    g_ucFrameTick = 1;
    int32_t frame = 1;
    for (auto _ : state) {
        g_iFrameCount = ++frame;
        if (frame % 4 == 0) {
            Vid_SetTrigger(0, 2 + frame % 99, 200);
            Vid_SetTrigger(3, 2 + frame % 99, 255);
        }
        for (CHASE *c : chases) {
            Vid_UpdateChaseTime(c);
            Vid_EvaluateChase(c);
        }
        benchmark::DoNotOptimize(g_iSink);
    }
    state.SetLabel("256 chases a frame");
    Vid_FreeChasePools();
    Vid_ClearTriggers();
    g_iFrameCount = 0;
}
BENCHMARK(BM_ChaseFrame256)->Unit(benchmark::kMicrosecond);
