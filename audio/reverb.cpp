#include "audio/reverb.h"

#include "audio/mixer.h"
#include "core/mixlock.h"

#include <cstdlib>
#include <cstring>

REVERBLINE g_astReverbLines[SND_REVERB_LINES] = {};
std::atomic<int32_t> g_iReverbDepthLeft{256};
std::atomic<int32_t> g_iReverbDepthRight{256};
std::atomic<int32_t> g_iReverbAskedDepthLeft{-1};
std::atomic<int32_t> g_iReverbAskedDepthRight{-1};

const int32_t g_aiReverbPresetMs[SND_REVERB_PRESETS][SND_REVERB_LINES] = {
    {1, 1, 1, 1},       {4, 2, 8, 2},       {16, 8, 24, 4},     {24, 16, 32, 7},
    {40, 32, 48, 17},   {32, 64, 96, 37},   {128, 64, 256, 64}, {256, 1, 1, 1},
    {1, 1, 1, 128},     {8, 12, 16, 128},   {256, 384, 512, 128},
};

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

bool s_bLinesValid = false;

int32_t FramesFor(int32_t ms)
{
    return (int32_t)(((int64_t)g_iMixRate * ms) / 1000);
}

int16_t Clamp16(int32_t v)
{
    return (int16_t)(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}

int32_t *Next(const REVERBLINE &line)
{
    int32_t *n = line.pCurrent + 2;
    return n >= line.pEnd ? line.pBuffer : n;
}

// Every line gets the largest length once; later sizings reuse the buffers.
bool AllocateLines()
{
    int32_t capacity = FramesFor(SND_REVERB_MAX_MS);
    if (capacity < 1)
        return false;
    for (REVERBLINE &line : g_astReverbLines) {
        if (line.pBuffer && line.iCapacity >= capacity)
            continue;
        int32_t *p = (int32_t *)calloc((size_t)capacity, 8);
        if (!p)
            return false;
        free(line.pBuffer);
        line.pBuffer = p;
        line.iCapacity = capacity;
        line.iLength = 0;
        line.pCurrent = line.pEnd = p;
    }
    return true;
}

void DryOnly()
{
    for (int32_t i = 0; i < g_iMixFrames * 2; i++)
        g_pMixOut[i] = Clamp16(g_pMixOut[i] + g_pMixSend[i]);
}

} // namespace

bool Snd_ReverbLinesValid()
{
    Lock lock(g_csMix);
    return s_bLinesValid;
}

int Snd_SetReverbDelays(int32_t ms1, int32_t ms2, int32_t ms3, int32_t ms4)
{
    Lock lock(g_csMix);
    g_iReverbDepthLeft = 256;
    g_iReverbDepthRight = 256;
    g_bReverbChanged = 0;
    const int32_t ms[SND_REVERB_LINES] = {ms1, ms2, ms3, ms4};
    s_bLinesValid = false;
    for (int32_t m : ms) {
        if (m < 1 || m > SND_REVERB_MAX_MS || FramesFor(m) < 1)
            return -1;
    }
    if (!AllocateLines())
        return -1;
    for (int i = 0; i < SND_REVERB_LINES; i++) {
        REVERBLINE &line = g_astReverbLines[i];
        line.iLength = FramesFor(ms[i]);
        line.pEnd = line.pBuffer + 2 * line.iLength;
        line.pCurrent = line.pBuffer;
    }
    s_bLinesValid = true;
    return Snd_ClearReverbDelays();
}

int Snd_ClearReverbDelays()
{
    Lock lock(g_csMix);
    for (REVERBLINE &line : g_astReverbLines) {
        if (line.pBuffer)
            memset(line.pBuffer, 0, (size_t)line.iCapacity * 8);
    }
    return 0;
}

void Snd_FreeReverbDelays()
{
    Lock lock(g_csMix);
    for (int i = SND_REVERB_LINES - 1; i >= 0; i--) {
        free(g_astReverbLines[i].pBuffer);
        g_astReverbLines[i] = REVERBLINE{};
    }
    s_bLinesValid = false;
}

int Snd_ApplyReverbPreset(int32_t n)
{
    Lock lock(g_csMix);
    if (n < 0 || n >= SND_REVERB_PRESETS) {
        s_bLinesValid = false;
        g_bReverbChanged = 0;
        return 0;
    }
    const int32_t *ms = g_aiReverbPresetMs[n];
    Snd_SetReverbDelays(ms[0], ms[1], ms[2], ms[3]);
    // A depth asked together with this change survives it, and only it.
    int32_t left = g_iReverbAskedDepthLeft.exchange(-1);
    int32_t right = g_iReverbAskedDepthRight.exchange(-1);
    if (left >= 0)
        g_iReverbDepthLeft = left;
    if (right >= 0)
        g_iReverbDepthRight = right;
    return 0;
}

int Snd_MixReverb()
{
    Lock lock(g_csMix);
    if (!g_pMixOut || !g_pMixSend || g_pMixSend == g_pMixOut)
        return 0;
    if (!s_bLinesValid || !g_pMixScratch) {
        DryOnly();
        return 0;
    }
    const int32_t frames = g_iMixFrames;
    const int16_t *send = g_pMixSend;
    int16_t *scratch = g_pMixScratch;
    static const int kShift[3] = {2, 3, 3};

    for (int32_t i = 0; i < frames; i++) {
        int32_t l = send[2 * i] >> 2;
        int32_t r = send[2 * i + 1] >> 2;
        int32_t sumL = 0, sumR = 0;
        for (int k = 0; k < 3; k++) {
            REVERBLINE &line = g_astReverbLines[k];
            int32_t *n = Next(line);
            line.pCurrent[0] = l + n[0] - (n[0] >> kShift[k]);
            line.pCurrent[1] = r + n[1] - (n[1] >> kShift[k]);
            line.pCurrent = n;
            sumL += n[0];
            sumR += n[1];
        }
        scratch[2 * i] = Clamp16(sumL);
        scratch[2 * i + 1] = Clamp16(sumR);
    }

    const int32_t depthL = g_iReverbDepthLeft;
    const int32_t depthR = g_iReverbDepthRight;
    REVERBLINE &ap = g_astReverbLines[3];
    for (int32_t i = 0; i < frames; i++) {
        int32_t in[2] = {scratch[2 * i], scratch[2 * i + 1]};
        int32_t *n = Next(ap);
        int32_t y[2];
        for (int c = 0; c < 2; c++) {
            int32_t w = in[c] + n[c] - (n[c] >> 2);
            ap.pCurrent[c] = w;
            y[c] = n[c] - w + (w >> 2);
        }
        // The product is taken in 64 bits: a loud tail at a high depth would wrap in 32.
        if (depthL < 32768)
            y[0] = (int32_t)(((int64_t)y[0] * depthL) >> 16);
        if (depthR < 32768)
            y[1] = (int32_t)(((int64_t)y[1] * depthR) >> 16);
        ap.pCurrent = n;
        g_pMixOut[2 * i] = Clamp16(g_pMixOut[2 * i] + y[0] + send[2 * i]);
        g_pMixOut[2 * i + 1] = Clamp16(g_pMixOut[2 * i + 1] + y[1] + send[2 * i + 1]);
    }
    return 0;
}
