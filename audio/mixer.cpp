#include "audio/mixer.h"
#include "audio/samplebuffer.h"

#include "audio/plugin.h"
#include "audio/reverb.h"
#include "audio/sampleslot.h"
#include "core/mixlock.h"
#include "jam/netobjects.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define SND_MIX_SSE2 1
#endif

float g_fMixRate = 44100.0f;
int32_t g_iMixRate = 44100;
float g_fMixBlockSeconds = 0.0016666667f;
int32_t g_iMixFrames = 72;
int16_t *g_pMixOut;
int16_t *g_pMixSend;
int16_t *g_pMixScratch;

VOICE g_astVoices[SND_VOICE_COUNT];
VOICE g_stInterfaceVoice;
VOICE g_stPreviewVoice;
std::atomic<int32_t> g_iInterfaceVoiceOn{0};
int32_t *g_pVoiceKeyTable;
SAMPLESLOT *g_apVoiceSample[SND_VOICE_COUNT];
int32_t g_aiMasterVolume[2] = {16383, 16383};
std::atomic<int32_t> g_iInterfaceVolume{255};

std::atomic<int32_t> g_bReverbOn{0};
std::atomic<int32_t> g_iReverbType{0};
std::atomic<int32_t> g_bReverbChanged{0};

std::atomic<int32_t> g_iPreviewPlayPosition{0};
std::atomic<int32_t> g_bPreviewPlaying{0};
std::atomic<int32_t> g_bPreviewEnded{0};

std::recursive_mutex g_csSampleEngine;

struct SAMPLERELEASE
{
    SAMPLESLOT *pSlot;
    SAMPLERELEASE *pNext;
};
static SAMPLERELEASE *g_pSampleReleaseList;

// step * 144 must fit in 32 bits, so the block advance (and with it the choice of the unchecked
// path) stays right: about 227 source frames per output frame at most.
static constexpr int32_t MAX_STEREO_STEP = INT32_MAX / 144;
static constexpr int32_t MAX_MONO_STEP = 1 << 24;

using Lock = std::lock_guard<std::recursive_mutex>;

static inline int16_t Clamp16(int64_t v)
{
    return (int16_t)(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}

static inline bool IsStereo(const VOICE *pVoice)
{
    return (pVoice->uFlags & SAMPLE_STEREO) != 0;
}

static inline void SetMaskBit(SAMPLESLOT *pSlot, int32_t number, bool on)
{
    if (!pSlot || number < 0 || number >= 128)
        return;
    uint32_t bit = 1u << (number % 32);
    if (on)
        pSlot->auVoiceMask[number / 32] |= bit;
    else
        pSlot->auVoiceMask[number / 32] &= ~bit;
}

// ---------------------------------------------------------------------------------------------
// Engine life cycle and parameters

static void ClearVoice(VOICE *pVoice, int32_t number)
{
    memset(pVoice, 0, sizeof(*pVoice));
    pVoice->iNumber = number;
}

int Snd_InitSampleEngine(int32_t slotCount)
{
    Lock lock(g_csMix);
    free(g_pVoiceKeyTable);
    g_pVoiceKeyTable = (int32_t *)calloc(SND_VOICE_COUNT, sizeof(int32_t));
    if (!g_pVoiceKeyTable || Snd_AllocSampleTable(slotCount) != 0)
        return -1;
    // Slot 0 belongs to the engine and holds nothing.
    if (Snd_AllocSampleSlot(nullptr) < 0)
        return -1;
    g_bReverbOn = 0;
    for (int32_t i = 0; i < SND_VOICE_COUNT; i++) {
        ClearVoice(&g_astVoices[i], i);
        g_apVoiceSample[i] = nullptr;
    }
    ClearVoice(&g_stInterfaceVoice, SND_INTERFACE_VOICE_NUMBER);
    ClearVoice(&g_stPreviewVoice, SND_PREVIEW_VOICE_NUMBER);
    g_iInterfaceVoiceOn = 0;
    return 0;
}

int Snd_ShutdownSampleEngine()
{
    Lock lock(g_csMix);
    Snd_FreeReverbDelays();
    Snd_ReleaseFinishedSamples();
    Snd_FreeSampleTable();
    free(g_pVoiceKeyTable);
    g_pVoiceKeyTable = nullptr;
    return 0;
}

static int32_t FramesFor(float rate, float seconds)
{
    double frames = (double)rate * (double)seconds;
    if (!std::isfinite(frames) || frames < 4 || frames >= SND_MAX_MIX_FRAMES + 4)
        return -1;
    return (int32_t)frames & ~3;
}

int Snd_SetMixParam(int32_t selector, void *pValue)
{
    if (!pValue || selector == 0)
        return -1;
    Lock lock(g_csMix);
    switch (selector) {
    case 1: {
        float rate;
        memcpy(&rate, pValue, sizeof(rate));
        if (!std::isfinite(rate) || rate < 1.0f || rate > 1e6f)
            return -1;
        g_fMixRate = rate;
        g_iMixRate = (int32_t)rate;
        break;
    }
    case 4: {
        float seconds;
        memcpy(&seconds, pValue, sizeof(seconds));
        int32_t frames = FramesFor(g_fMixRate, seconds);
        if (frames < 0)
            return -1;
        g_fMixBlockSeconds = seconds;
        g_iMixFrames = frames;
        break;
    }
    case 8:
        g_pMixScratch = (int16_t *)pValue;
        break;
    case 16:
        g_pMixOut = (int16_t *)pValue;
        break;
    case 32:
        g_pMixSend = (int16_t *)pValue;
        break;
    default:
        break;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Voice operations

static void ApplyStartOffset(VOICE *pVoice, uint32_t n)
{
    // Stereo voices store twice the argument: with prepare, offset n, key-on, the stored value
    // doubles twice and the voice starts at frame n.
    uint32_t stored = IsStereo(pVoice) ? 2 * n : n;
    pVoice->uStartOffset = stored;
    if (!pVoice->pStart)
        return;
    uint64_t offset = 2 * (uint64_t)n;
    if (offset < (uint64_t)(pVoice->pEnd - pVoice->pStart)) {
        pVoice->uFraction = 0;
        pVoice->pCurrent = pVoice->pStart + offset;
    }
}

int Snd_StartVoice(VOICE *pVoice, SAMPLESLOT *pSlot, uint32_t flags)
{
    if (!pVoice || !pSlot)
        return 0;
    Lock lock(g_csMix);
    if (flags & VOICE_PREPARED) {
        if (pVoice->pSlot && pVoice->pSlot != pSlot)
            SetMaskBit(pVoice->pSlot, pVoice->iNumber, false);
        pVoice->uFlags = pSlot->uFlags;
        pVoice->pCurrent = pSlot->pCurrent;
        pVoice->pEnd = pSlot->pEnd;
        pVoice->pStart = pSlot->pStart;
        pVoice->pLoop = pSlot->pLoop;
        pVoice->uRate = pSlot->uRate;
        // A header that does not describe its data plays nothing rather than reading elsewhere.
        uint32_t frameBytes = IsStereo(pVoice) ? 4 : 2;
        if (!pVoice->pStart || !pVoice->pEnd || pVoice->pEnd < pVoice->pStart) {
            pVoice->pStart = nullptr;
        } else {
            size_t length = (size_t)(pVoice->pEnd - pVoice->pStart) / frameBytes * frameBytes;
            pVoice->pEnd = pVoice->pStart + length;
            if (pVoice->pCurrent < pVoice->pStart || pVoice->pCurrent > pVoice->pEnd)
                pVoice->pCurrent = pVoice->pStart;
            if (!pVoice->pLoop || pVoice->pLoop < pVoice->pStart || pVoice->pLoop >= pVoice->pEnd)
                pVoice->pLoop = pVoice->pStart;
            else
                pVoice->pLoop = pVoice->pStart +
                                (size_t)(pVoice->pLoop - pVoice->pStart) / frameBytes * frameBytes;
        }
        memset(pVoice->auPhase, 0, sizeof(pVoice->auPhase));
        pVoice->uState = flags;
        ApplyStartOffset(pVoice, pVoice->uStartOffset);
        SetMaskBit(pSlot, pVoice->iNumber, true);
        pVoice->pSlot = pSlot;
    } else {
        ApplyStartOffset(pVoice, pVoice->uStartOffset);
        pVoice->uState = VOICE_ACTIVE;
    }
    return 0;
}

int Snd_StopVoice(VOICE *pVoice)
{
    if (!pVoice)
        return 0;
    Lock lock(g_csMix);
    pVoice->uState = 0;
    pVoice->uStartOffset = 0;
    pVoice->pPlugin = nullptr;
    pVoice->pPluginBuffer = nullptr;
    if (pVoice->pSlot) {
        SetMaskBit(pVoice->pSlot, pVoice->iNumber, false);
        pVoice->pSlot = nullptr;
    }
    return 0;
}

int Snd_StopVoiceIndex(int32_t n)
{
    if (n < 0 || n >= SND_VOICE_COUNT)
        return 0;
    return Snd_StopVoice(&g_astVoices[n]);
}

int Snd_StopAllVoices()
{
    Lock lock(g_csMix);
    for (VOICE &voice : g_astVoices)
        voice.uState &= ~VOICE_ACTIVE;
    return 0;
}

void Snd_StopSampleVoices(SAMPLESLOT *pSlot)
{
    if (!pSlot)
        return;
    Lock lock(g_csMix);
    for (int32_t n = 0; n < SND_VOICE_COUNT; n++) {
        if (pSlot->auVoiceMask[n / 32] & (1u << (n % 32)))
            Snd_StopVoiceIndex(n);
    }
    if (g_stInterfaceVoice.pSlot == pSlot) {
        Snd_StopVoice(&g_stInterfaceVoice);
        g_iInterfaceVoiceOn = 0;
    }
    if (g_stPreviewVoice.pSlot == pSlot)
        Snd_StopVoice(&g_stPreviewVoice);
}

void Snd_ForgetSampleData(const uint8_t *pData, size_t bytes)
{
    if (!pData)
        return;
    Lock lock(g_csMix);
    uintptr_t first = (uintptr_t)pData;
    uintptr_t last = first + bytes;
    auto forget = [first, last](VOICE *pVoice) {
        uintptr_t start = (uintptr_t)pVoice->pStart;
        if (pVoice->pStart && start >= first && start <= last) {
            Snd_StopVoice(pVoice);
            pVoice->pStart = pVoice->pCurrent = pVoice->pEnd = pVoice->pLoop = nullptr;
        }
    };
    for (VOICE &voice : g_astVoices)
        forget(&voice);
    forget(&g_stPreviewVoice);
    if (g_stInterfaceVoice.pStart && (uintptr_t)g_stInterfaceVoice.pStart >= first &&
        (uintptr_t)g_stInterfaceVoice.pStart <= last) {
        forget(&g_stInterfaceVoice);
        g_iInterfaceVoiceOn = 0;
    }
}

int Snd_SetVoicePitch(VOICE *pVoice, int32_t rate)
{
    if (!pVoice)
        return 0;
    Lock lock(g_csMix);
    int32_t sampleRate = (int32_t)pVoice->uRate;
    if (!pVoice->pStart || sampleRate <= 0)
        return 0;
    int32_t step = (int32_t)((uint32_t)rate << 12) / sampleRate;
    if (IsStereo(pVoice)) {
        if (sampleRate == 44100)
            step *= 16;
        else if (sampleRate == 22050)
            step *= 8;
        else if (sampleRate == 11025)
            step *= 4;
        step = step < 0 ? 0 : step > MAX_STEREO_STEP ? MAX_STEREO_STEP : step;
        pVoice->iStep = step;
        uint32_t h = ((uint32_t)step & 0xFFFF) >> 1;
        uint32_t p = pVoice->auPhase[0] & 0xFFFF;
        for (uint32_t k = 0; k < 4; k++) {
            uint32_t phase = (p + k * h) & 0x7FFF;
            pVoice->auPhase[k] = phase << 16 | phase;
        }
        uint32_t inc = (2 * (uint32_t)step) & 0xFFFF;
        pVoice->auPhaseInc[0] = pVoice->auPhaseInc[1] = inc << 16 | inc;
        pVoice->iBlockAdvance = (step * 144) >> 16;
    } else {
        if (sampleRate == 44100)
            step >>= 4;
        else if (sampleRate == 22050)
            step >>= 5;
        else if (sampleRate == 11025)
            step >>= 6;
        pVoice->iStep = step < 0 ? 0 : step > MAX_MONO_STEP ? MAX_MONO_STEP : step;
    }
    return 0;
}

static int32_t ScaleByMaster(int32_t v, int32_t master)
{
    int64_t scaled = ((int64_t)v * master) >> 16;
    // Above unity the 16-bit volume stage would wrap: a loud voice would turn quiet or invert.
    return (int32_t)(scaled < -SND_UNITY_VOLUME ? -SND_UNITY_VOLUME
                     : scaled > SND_UNITY_VOLUME ? SND_UNITY_VOLUME : scaled);
}

static void ApplyVolume(VOICE *pVoice)
{
    int32_t a = pVoice->aiRequestedVolume[0];
    int32_t b = pVoice->aiRequestedVolume[1];
    if (IsStereo(pVoice)) {
        uint32_t high = (uint32_t)ScaleByMaster(a, g_aiMasterVolume[0]) & 0xFFFF;
        uint32_t low = (uint32_t)ScaleByMaster(b, g_aiMasterVolume[1]) & 0xFFFF;
        pVoice->auVolume[0] = pVoice->auVolume[1] = high << 16 | low;
    } else {
        pVoice->iMonoVolLeft = (int32_t)std::min<int64_t>(std::llabs(a), INT32_MAX);
        pVoice->iMonoVolRight = (int32_t)std::min<int64_t>(std::llabs(b), INT32_MAX);
    }
}

int Snd_SetVoiceVolume(VOICE *pVoice, int32_t a, int32_t b)
{
    if (!pVoice)
        return 0;
    Lock lock(g_csMix);
    if (!pVoice->pStart)
        return 0;
    pVoice->aiRequestedVolume[0] = a;
    pVoice->aiRequestedVolume[1] = b;
    ApplyVolume(pVoice);
    return 0;
}

int Snd_SetMasterVolume(int32_t first, int32_t second)
{
    Lock lock(g_csMix);
    auto times4 = [](int32_t v) {
        int64_t m = 4 * (int64_t)v;
        return (int32_t)(m < INT32_MIN ? INT32_MIN : m > INT32_MAX ? INT32_MAX : m);
    };
    g_aiMasterVolume[0] = times4(first);
    g_aiMasterVolume[1] = times4(second);
    // Playing voices take the new master once, from the volume last asked for.
    for (VOICE &voice : g_astVoices) {
        if ((voice.uState & VOICE_ACTIVE) && voice.pStart)
            ApplyVolume(&voice);
    }
    return 0;
}

int Snd_SetVoiceStartOffset(VOICE *pVoice, uint32_t n)
{
    if (!pVoice)
        return 0;
    Lock lock(g_csMix);
    ApplyStartOffset(pVoice, n);
    return 0;
}

int Snd_SetVoicePlugin(int32_t n, int32_t slot)
{
    if (n < 0 || n >= SND_VOICE_COUNT)
        return 0;
    Lock lock(g_csMix);
    VOICE *pVoice = &g_astVoices[n];
    if (slot == -1) {
        pVoice->pPlugin = nullptr;
        pVoice->pPluginBuffer = nullptr;
        pVoice->iPluginSlot = -1;
        return 0;
    }
    PLUGININSTANCE *pPlugin = nullptr;
    Snd_GetPlugin(slot, &pPlugin);
    pVoice->pPlugin = pPlugin;
    pVoice->pPluginBuffer = pPlugin ? pPlugin->pInput : nullptr;
    pVoice->iPluginSlot = slot;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Interface sounds

static int PlayInterface(int32_t n, int32_t rate, int32_t volume)
{
    Lock lock(g_csMix);
    VOICE *pVoice = &g_stInterfaceVoice;
    Snd_StartVoice(pVoice, &g_astInterfaceSounds[n], VOICE_PREPARED);
    Snd_SetVoiceVolume(pVoice, volume, volume);
    Snd_SetVoicePitch(pVoice, rate);
    Snd_StartVoice(pVoice, &g_astInterfaceSounds[n], VOICE_ACTIVE);
    g_iInterfaceVoiceOn = 1;
    return 0;
}

int Snd_PlayInterfaceSound(int32_t n)
{
    if (n < 0 || n >= 5)
        return 0;
    return PlayInterface(n, n == 2 ? 22050 : 44100, g_iInterfaceVolume * 64);
}

int Snd_PlayInterfaceSoundAt(int32_t n, int32_t rate, int32_t volume)
{
    if (n < 0 || n >= 5)
        return 0;
    return PlayInterface(n, n == 2 ? rate >> 1 : rate, volume);
}

// ---------------------------------------------------------------------------------------------
// Stereo mixing
//
// Two builds of the same arithmetic. The portable one: each block path first gathers the frames
// it reads (cur and next per output frame, as the position checks of that path allow), then one
// word loop runs over them. The SSE2 one (x86-64 always has it) reads each group's frames
// straight into registers and mixes them there, eight words to a vector; the ending path, rare,
// gathers first there too. Tests hold the two to the same words and voice state.

struct STEREOWORK
{
    const uint8_t *pBase; // voice start
    int64_t pos;          // byte offset of the current frame
    int64_t limit;        // byte offset of the last frame that has a following frame
    int64_t end;          // byte offset just past the data
    int64_t loop;
    uint32_t fraction;
    uint32_t step;
    int32_t groups; // groups of four frames gathered
};

// Frames read by the block paths: cur and next of each output frame, left and right words (the
// fast path reads both in one go, as pairs). Only used under g_csMix.
static int16_t g_aiMixCur[SND_MAX_MIX_FRAMES * 2];
static int16_t g_aiMixNext[SND_MAX_MIX_FRAMES * 2];
static uint64_t g_auMixPairs[SND_MAX_MIX_FRAMES];

static inline void ReadFrame(const uint8_t *pBase, int64_t pos, int16_t *__restrict pOut)
{
    memcpy(pOut, pBase + pos, 4);
}

// No position checks: the caller made sure the block stays before the limit (the zero guard
// after the data covers the frame the estimate may let it read past). Frame j of the block sits
// (fraction + j * step) >> 16 frames on, so the reads do not wait on each other; cur and next are
// neighbours and come in one 8-byte read.
static void Snd_MixStereoBlock(STEREOWORK &w, int32_t groups, uint64_t *__restrict pPairs)
{
    const uint8_t *pBase = w.pBase + w.pos;
    uint64_t fraction = w.fraction, step = w.step;
    int32_t frames = groups * 4;
    for (int32_t j = 0; j < frames; j++) {
        size_t at = (size_t)((fraction + (uint64_t)j * step) >> 16) * 4;
        memcpy(&pPairs[j], pBase + at, 8);
    }
    uint64_t f = fraction + (uint64_t)frames * step;
    w.pos += (int64_t)(f >> 16) * 4;
    w.fraction = (uint32_t)(f & 0xFFFF);
    w.groups = groups;
}

// A read at or past the limit continues at the loop frame; the overshoot is dropped.
static void Snd_MixStereoBlockLooping(STEREOWORK &w, int32_t groups, int16_t *__restrict pCur,
                                      int16_t *__restrict pNext)
{
    int64_t pos = w.pos;
    uint32_t fraction = w.fraction;
    for (int32_t j = 0; j < groups * 4; j++) {
        if (pos >= w.limit)
            pos = w.loop;
        ReadFrame(w.pBase, pos, &pCur[2 * j]);
        ReadFrame(w.pBase, pos + 4, &pNext[2 * j]);
        uint32_t f = fraction + w.step;
        pos += (int64_t)(f >> 16) * 4;
        fraction = f & 0xFFFF;
    }
    w.pos = pos;
    w.fraction = fraction;
    w.groups = groups;
}

// Stops before a group that starts at or past the limit. Inside the last group the frame after
// the limit reads as 0 and frames past the end of the data are silence.
static void Snd_MixStereoBlockEnding(STEREOWORK &w, int32_t groups, int16_t *__restrict pCur,
                                     int16_t *__restrict pNext)
{
    int64_t pos = w.pos;
    uint32_t fraction = w.fraction;
    int32_t g = 0;
    for (; g < groups && pos < w.limit; g++) {
        for (int32_t k = 0; k < 4; k++) {
            int32_t j = g * 4 + k;
            if (pos < w.end)
                ReadFrame(w.pBase, pos, &pCur[2 * j]);
            else
                pCur[2 * j] = pCur[2 * j + 1] = 0;
            if (pos < w.limit)
                ReadFrame(w.pBase, pos + 4, &pNext[2 * j]);
            else
                pNext[2 * j] = pNext[2 * j + 1] = 0;
            uint32_t f = fraction + w.step;
            pos += (int64_t)(f >> 16) * 4;
            fraction = f & 0xFFFF;
        }
    }
    w.pos = pos;
    w.fraction = fraction;
    w.groups = g;
}

static inline int16_t MixWord(int16_t dst, int16_t cur, int16_t next, int16_t phase, int16_t volume)
{
    int16_t c = (int16_t)(cur >> 1);
    int16_t n = (int16_t)(next >> 1);
    int16_t d = (int16_t)(n - c);
    int16_t t = (int16_t)((d * phase) >> 16);
    int16_t s = (int16_t)(t * 2 + c);
    int16_t v = (int16_t)(uint16_t)(((s * volume) >> 16) << 3);
    // Saturating add kept in 16-bit lanes: the wrapped sum overflowed when both operands have
    // the other sign; it then takes the limit on dst's side.
    int16_t sum = (int16_t)(uint16_t)((uint16_t)dst + (uint16_t)v);
    int16_t overflow = (int16_t)((int16_t)((dst ^ sum) & (v ^ sum)) >> 15);
    int16_t limit = (int16_t)((dst >> 15) ^ 0x7FFF);
    return (int16_t)((sum & ~overflow) | (limit & overflow));
}

struct GROUPSTATE
{
    int16_t ph[8]; // phase of each word of the group
    int16_t ad[8]; // phase increment per group
    int16_t vol[8];
};

static void InitGroupState(GROUPSTATE &gs, const uint32_t phases[4], uint32_t inc, uint32_t volume)
{
    for (int i = 0; i < 8; i++) {
        uint32_t shift = (i & 1) ? 16 : 0;
        gs.ph[i] = (int16_t)((phases[i >> 1] >> shift) & 0x7FFF);
        gs.ad[i] = (int16_t)((inc >> shift) & 0xFFFF);
        gs.vol[i] = (int16_t)((volume >> shift) & 0xFFFF);
    }
}

static void SaveGroupState(const GROUPSTATE &gs, uint32_t phases[4])
{
    for (int k = 0; k < 4; k++)
        phases[k] = (uint32_t)(uint16_t)gs.ph[2 * k + 1] << 16 | (uint16_t)gs.ph[2 * k];
}

static inline void MixGroup(int16_t *__restrict d, const int16_t *__restrict c,
                            const int16_t *__restrict n, GROUPSTATE &gs)
{
    for (int i = 0; i < 8; i++)
        d[i] = MixWord(d[i], c[i], n[i], gs.ph[i], gs.vol[i]);
    for (int i = 0; i < 8; i++)
        gs.ph[i] = (int16_t)((uint16_t)(gs.ph[i] + gs.ad[i]) & 0x7FFF);
}

// The word arithmetic over the gathered groups, eight words (one group) at a time; phases
// advance by the increment after every group.
static void MixGroups(int16_t *__restrict pDst, const int16_t *__restrict pCur,
                      const int16_t *__restrict pNext, int32_t groups, GROUPSTATE &gs)
{
    for (int32_t g = 0; g < groups; g++)
        MixGroup(pDst + g * 8, pCur + g * 8, pNext + g * 8, gs);
}

// The same over gathered (cur, next) pairs: words cur L, cur R, next L, next R per frame.
static void MixGroupsPairs(int16_t *__restrict pDst, const uint64_t *__restrict pPairs,
                           int32_t groups, GROUPSTATE &gs)
{
    for (int32_t g = 0; g < groups; g++) {
        int16_t p[16], c[8], n[8];
        memcpy(p, pPairs + g * 4, sizeof(p));
        for (int k = 0; k < 4; k++) {
            c[2 * k] = p[4 * k];
            c[2 * k + 1] = p[4 * k + 1];
            n[2 * k] = p[4 * k + 2];
            n[2 * k + 1] = p[4 * k + 3];
        }
        MixGroup(pDst + g * 8, c, n, gs);
    }
}

#if SND_MIX_SSE2
// The same word arithmetic, one group of eight words to a vector: the packed phases and volume
// map straight onto the lanes (low half left, high half right), and the saturating add is paddsw.
struct GROUPVEC
{
    __m128i ph, ad, vol;
};

static inline GROUPVEC LoadGroupVec(const VOICE *pVoice)
{
    GROUPVEC gv;
    gv.ph = _mm_and_si128(_mm_loadu_si128((const __m128i *)pVoice->auPhase), _mm_set1_epi16(0x7FFF));
    gv.ad = _mm_set1_epi32((int32_t)pVoice->auPhaseInc[0]);
    gv.vol = _mm_set1_epi32((int32_t)pVoice->auVolume[0]);
    return gv;
}

static inline void MixGroupVec(int16_t *pDst, __m128i cur, __m128i next, GROUPVEC &gv)
{
    __m128i c = _mm_srai_epi16(cur, 1);
    __m128i n = _mm_srai_epi16(next, 1);
    __m128i t = _mm_mulhi_epi16(_mm_sub_epi16(n, c), gv.ph);
    __m128i s = _mm_add_epi16(_mm_add_epi16(t, t), c);
    __m128i v = _mm_slli_epi16(_mm_mulhi_epi16(s, gv.vol), 3);
    __m128i d = _mm_loadu_si128((const __m128i *)pDst);
    _mm_storeu_si128((__m128i *)pDst, _mm_adds_epi16(d, v));
    gv.ph = _mm_and_si128(_mm_add_epi16(gv.ph, gv.ad), _mm_set1_epi16(0x7FFF));
}

// One group from the addresses of its four frames: each (cur, next) pair comes in one 8-byte
// read and the pairs are split into cur and next words in registers.
static inline void MixFramesVec(int16_t *pDst, const uint8_t *p0, const uint8_t *p1,
                                const uint8_t *p2, const uint8_t *p3, GROUPVEC &gv)
{
    __m128 af = _mm_loadh_pi(_mm_castsi128_ps(_mm_loadl_epi64((const __m128i *)p0)),
                             (const __m64 *)p1);
    __m128 bf = _mm_loadh_pi(_mm_castsi128_ps(_mm_loadl_epi64((const __m128i *)p2)),
                             (const __m64 *)p3);
    __m128i cur = _mm_castps_si128(_mm_shuffle_ps(af, bf, _MM_SHUFFLE(2, 0, 2, 0)));
    __m128i next = _mm_castps_si128(_mm_shuffle_ps(af, bf, _MM_SHUFFLE(3, 1, 3, 1)));
    MixGroupVec(pDst, cur, next, gv);
}

// Fast path, reads fused into the group loop so the frames stay in registers.
static void MixStereoBlockVec(int16_t *__restrict pDst, STEREOWORK &w, int32_t groups,
                              GROUPVEC &gv)
{
    const uint8_t *pBase = w.pBase + w.pos;
    uint64_t f = w.fraction, step = w.step;
#pragma GCC unroll 2
    for (int32_t g = 0; g < groups; g++) {
        const uint8_t *p0 = pBase + (size_t)(f >> 16) * 4;
        f += step;
        const uint8_t *p1 = pBase + (size_t)(f >> 16) * 4;
        f += step;
        const uint8_t *p2 = pBase + (size_t)(f >> 16) * 4;
        f += step;
        const uint8_t *p3 = pBase + (size_t)(f >> 16) * 4;
        f += step;
        MixFramesVec(pDst + g * 8, p0, p1, p2, p3, gv);
    }
    w.pos += (int64_t)(f >> 16) * 4;
    w.fraction = (uint32_t)(f & 0xFFFF);
    w.groups = groups;
}

// Looping path, fused the same way. A group whose last frame stays before the limit needs no
// checks (positions only grow); the others check before every read. After the check the frame
// read is before the limit, or is the last frame when the loop starts there, so cur and next
// still come in one read.
static void MixStereoBlockLoopingVec(int16_t *__restrict pDst, STEREOWORK &w, int32_t groups,
                                     GROUPVEC &gv)
{
    const uint8_t *pBase = w.pBase;
    int64_t pos = w.pos;
    const int64_t limit = w.limit, loop = w.loop;
    uint32_t fraction = w.fraction;
    const uint32_t step = w.step;
    auto frame = [&]() {
        if (pos >= limit)
            pos = loop;
        const uint8_t *p = pBase + pos;
        uint32_t f = fraction + step;
        pos += (int64_t)(f >> 16) * 4;
        fraction = f & 0xFFFF;
        return p;
    };
    for (int32_t g = 0; g < groups; g++) {
        uint64_t f = fraction;
        if (pos + (int64_t)((f + 3 * (uint64_t)step) >> 16) * 4 < limit) {
            const uint8_t *p = pBase + pos;
            const uint8_t *p1 = p + (size_t)((f + step) >> 16) * 4;
            const uint8_t *p2 = p + (size_t)((f + 2 * (uint64_t)step) >> 16) * 4;
            const uint8_t *p3 = p + (size_t)((f + 3 * (uint64_t)step) >> 16) * 4;
            f += 4 * (uint64_t)step;
            pos += (int64_t)(f >> 16) * 4;
            fraction = (uint32_t)(f & 0xFFFF);
            MixFramesVec(pDst + g * 8, p, p1, p2, p3, gv);
        } else {
            const uint8_t *p0 = frame();
            const uint8_t *p1 = frame();
            const uint8_t *p2 = frame();
            const uint8_t *p3 = frame();
            MixFramesVec(pDst + g * 8, p0, p1, p2, p3, gv);
        }
    }
    w.pos = pos;
    w.fraction = fraction;
    w.groups = groups;
}

static void MixGroupsVec(int16_t *__restrict pDst, const int16_t *__restrict pCur,
                         const int16_t *__restrict pNext, int32_t groups, GROUPVEC &gv)
{
    for (int32_t g = 0; g < groups; g++)
        MixGroupVec(pDst + g * 8, _mm_loadu_si128((const __m128i *)(pCur + g * 8)),
                    _mm_loadu_si128((const __m128i *)(pNext + g * 8)), gv);
}
#endif

// Tests switch to the portable word loop to check the vector one against it.
static bool g_bPortableMix;

void Snd_SetPortableMix(bool on)
{
    g_bPortableMix = on;
}

// Plug-in inputs looked up during the current block, by plug-in slot: the voices sharing a slot
// (all of them start on slot 0) take one lookup per block between them. Only used under g_csMix.
static int16_t *g_apBlockPluginInput[SND_PLUGIN_SLOTS];
static uint32_t g_auBlockPluginLookup[SND_PLUGIN_SLOTS]; // block number of the lookup
static uint32_t g_uMixBlockNumber;
static bool g_bMixingSongVoices; // the lookups are kept only while the block mixes them

static bool CachesPluginInput(int32_t slot)
{
    return g_bMixingSongVoices && slot >= 0 && slot < SND_PLUGIN_SLOTS;
}

__attribute__((noinline)) static int16_t *LookUpPluginInput(int32_t slot)
{
    PLUGININSTANCE *pPlugin = nullptr;
    Snd_GetPlugin(slot, &pPlugin);
    int16_t *pInput = pPlugin ? pPlugin->pInput : nullptr;
    if (CachesPluginInput(slot)) {
        g_apBlockPluginInput[slot] = pInput;
        g_auBlockPluginLookup[slot] = g_uMixBlockNumber;
    }
    return pInput;
}

static inline int16_t *Destination(const VOICE *pVoice)
{
    int32_t slot = pVoice->iPluginSlot;
    if (slot != -1) {
        int16_t *pInput = CachesPluginInput(slot) && g_auBlockPluginLookup[slot] == g_uMixBlockNumber
                              ? g_apBlockPluginInput[slot]
                              : LookUpPluginInput(slot);
        if (pInput)
            return pInput;
    }
    if (pVoice->uReverbSend && g_bReverbOn && g_pMixSend)
        return g_pMixSend;
    return g_pMixOut;
}

#if SND_MIX_SSE2
// Returns true when the voice reached its end. The phases go back to the voice, position and
// fraction into w.
static inline bool MixStereoVec(VOICE *pVoice, int16_t *pDst, STEREOWORK &w, int32_t groups,
                                bool fast)
{
    GROUPVEC gv = LoadGroupVec(pVoice);
    bool ended = false;
    if (fast) {
        MixStereoBlockVec(pDst, w, groups, gv);
    } else if (pVoice->uFlags & SAMPLE_LOOPS) {
        MixStereoBlockLoopingVec(pDst, w, groups, gv);
    } else {
        Snd_MixStereoBlockEnding(w, groups, g_aiMixCur, g_aiMixNext);
        MixGroupsVec(pDst, g_aiMixCur, g_aiMixNext, w.groups, gv);
        ended = true;
    }
    _mm_storeu_si128((__m128i *)pVoice->auPhase, gv.ph);
    return ended;
}
#endif

// Kept out of line where the vector loop is built, so it does not weigh on the hot path.
#if SND_MIX_SSE2
__attribute__((noinline))
#endif
static bool MixStereoPortable(VOICE *pVoice, int16_t *pDst, STEREOWORK &w, int32_t groups,
                              bool fast)
{
    uint32_t phases[4];
    memcpy(phases, pVoice->auPhase, sizeof(phases));
    GROUPSTATE gs;
    InitGroupState(gs, phases, pVoice->auPhaseInc[0], pVoice->auVolume[0]);
    bool ended = false;
    if (fast) {
        Snd_MixStereoBlock(w, groups, g_auMixPairs);
        MixGroupsPairs(pDst, g_auMixPairs, w.groups, gs);
    } else {
        if (pVoice->uFlags & SAMPLE_LOOPS) {
            Snd_MixStereoBlockLooping(w, groups, g_aiMixCur, g_aiMixNext);
        } else {
            Snd_MixStereoBlockEnding(w, groups, g_aiMixCur, g_aiMixNext);
            ended = true;
        }
        MixGroups(pDst, g_aiMixCur, g_aiMixNext, w.groups, gs);
    }
    SaveGroupState(gs, phases);
    memcpy(pVoice->auPhase, phases, sizeof(phases));
    return ended;
}

static void EndVoice(VOICE *pVoice)
{
    Snd_StopVoice(pVoice);
    pVoice->uState = 0;
    if (pVoice == &g_stInterfaceVoice)
        g_iInterfaceVoiceOn = 0;
}

// The block mix already holds g_csMix.
static int MixVoice(VOICE *pVoice)
{
    if (!pVoice->pStart)
        return 0;
    int16_t *pDst = Destination(pVoice);
    int32_t frames = g_iMixFrames;
    if (!pDst || frames <= 0 || frames > SND_MAX_MIX_FRAMES)
        return 0;
    int32_t groups = frames / 4;

    STEREOWORK w;
    w.pBase = pVoice->pStart;
    w.end = pVoice->pEnd - pVoice->pStart;
    w.limit = w.end - 4;
    w.loop = pVoice->pLoop - pVoice->pStart;
    w.pos = pVoice->pCurrent - pVoice->pStart;
    w.fraction = pVoice->uFraction & 0xFFFF;
    w.step = (uint32_t)pVoice->iStep;

    // The block advance covers 72 frames; a block of another length is checked against what it
    // really reads (the same figure at 72), so the zero guard covers any length.
    int64_t advance = frames == 72 ? pVoice->iBlockAdvance
                                   : ((int64_t)w.step * 2 * frames) >> 16;
    bool fast = w.pos + 2 * advance < w.limit;
    bool ended;
#if SND_MIX_SSE2
    if (!g_bPortableMix)
        ended = MixStereoVec(pVoice, pDst, w, groups, fast);
    else
#endif
        ended = MixStereoPortable(pVoice, pDst, w, groups, fast);
    pVoice->pCurrent = pVoice->pStart + w.pos;
    pVoice->uFraction = w.fraction;
    if (ended)
        EndVoice(pVoice);
    return 0;
}

int Snd_MixVoice(VOICE *pVoice)
{
    if (!pVoice)
        return 0;
    Lock lock(g_csMix);
    return MixVoice(pVoice);
}

// ---------------------------------------------------------------------------------------------
// Mono preview voice

int Snd_MixPreviewVoice(VOICE *pVoice)
{
    if (!pVoice)
        return 0;
    Lock lock(g_csMix);
    if (!pVoice->pStart)
        return 0;
    int16_t *pDst = Destination(pVoice);
    int32_t frames = g_iMixFrames;
    if (!pDst || frames <= 0 || frames > SND_MAX_MIX_FRAMES)
        return 0;
    const uint8_t *pBase = pVoice->pStart;
    int64_t end = pVoice->pEnd - pVoice->pStart;
    int64_t loop = pVoice->pLoop - pVoice->pStart;
    int64_t pos = pVoice->pCurrent - pVoice->pStart;
    uint32_t fraction = pVoice->uFraction;
    int64_t volLeft = pVoice->iMonoVolLeft;
    int64_t volRight = pVoice->iMonoVolRight;
    auto sample = [pBase](int64_t at) {
        int16_t s;
        memcpy(&s, pBase + at, 2);
        return (int32_t)s;
    };
    for (int32_t i = 0; i < frames; i++) {
        if (pos < 0 || pos >= end)
            break; // an empty sample, or a position the header does not cover
        int32_t cur = sample(pos);
        int32_t s = cur;
        uint32_t w = fraction & 0xFF;
        if (w) {
            int32_t next = pos + 2 < end ? sample(pos + 2) : sample(loop);
            s = cur + (((next - cur) * (int32_t)w) >> 8);
        }
        pDst[2 * i] = Clamp16(pDst[2 * i] + ((s * volLeft) >> 14));
        pDst[2 * i + 1] = Clamp16(pDst[2 * i + 1] + ((s * volRight) >> 14));
        fraction += (uint32_t)pVoice->iStep;
        pos += (int64_t)(fraction >> 8) * 2;
        fraction &= 0xFF;
        if (pos >= end) {
            if (pVoice->uFlags & SAMPLE_LOOPS) {
                pos = loop;
            } else {
                pVoice->pCurrent = pVoice->pStart + end;
                pVoice->uFraction = fraction;
                Snd_StopVoice(pVoice);
                return 0;
            }
        }
    }
    pVoice->pCurrent = pVoice->pStart + pos;
    pVoice->uFraction = fraction;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The block

int Snd_ReleaseFinishedSamples()
{
    SAMPLERELEASE *pList;
    {
        std::lock_guard<std::recursive_mutex> lock(g_csSampleEngine);
        pList = g_pSampleReleaseList;
        g_pSampleReleaseList = nullptr;
    }
    while (pList) {
        SAMPLERELEASE *pNext = pList->pNext;
        Snd_FreeSample(pList->pSlot);
        free(pList);
        pList = pNext;
    }
    return 0;
}

int Snd_QueueSampleRelease(SAMPLESLOT *pSlot)
{
    if (!pSlot)
        return 0;
    SAMPLERELEASE *pNode = (SAMPLERELEASE *)malloc(sizeof(SAMPLERELEASE));
    if (!pNode)
        return -1;
    pNode->pSlot = pSlot;
    std::lock_guard<std::recursive_mutex> lock(g_csSampleEngine);
    pNode->pNext = g_pSampleReleaseList;
    g_pSampleReleaseList = pNode;
    return 0;
}

static inline void PrefetchBlock(const VOICE *pVoice)
{
    if (!(pVoice->uState & VOICE_ACTIVE) || !pVoice->pStart)
        return;
    uintptr_t first = (uintptr_t)pVoice->pCurrent & ~(uintptr_t)63;
    uintptr_t last = (uintptr_t)pVoice->pCurrent + 2 * (uintptr_t)pVoice->iBlockAdvance + 8;
    last = std::min(last, (uintptr_t)pVoice->pEnd);
    for (uintptr_t at = first; at <= last; at += 64)
        __builtin_prefetch((const void *)at);
}

int Snd_MixBlock()
{
    Lock lock(g_csMix);
    if (!g_pMixOut)
        return -1;
    {
        std::lock_guard<std::recursive_mutex> engineLock(g_csSampleEngine);
        Snd_ReleaseFinishedSamples();
    }
    if (g_bReverbChanged)
        Snd_ApplyReverbPreset(g_iReverbType);

    VOICE *pPreview = &g_stPreviewVoice;
    if (pPreview->uState & VOICE_ACTIVE) {
        pPreview->iPluginSlot = -1;
        Snd_MixPreviewVoice(pPreview);
        if (!(pPreview->uState & VOICE_ACTIVE)) {
            pPreview->pCurrent = pPreview->pStart;
            g_bPreviewEnded = 1;
        }
        if (pPreview->pStart)
            g_iPreviewPlayPosition = (int32_t)((pPreview->pCurrent - pPreview->pStart) / 2);
    }
    g_bPreviewPlaying = (int32_t)(pPreview->uState & VOICE_ACTIVE);

    if (g_iInterfaceVoiceOn) {
        g_stInterfaceVoice.iPluginSlot = -1;
        MixVoice(&g_stInterfaceVoice);
    }
    if (++g_uMixBlockNumber == 0) {
        // Wrapped: no entry may pass for this block's.
        memset(g_auBlockPluginLookup, 0, sizeof(g_auBlockPluginLookup));
        g_uMixBlockNumber = 1;
    }
    g_bMixingSongVoices = true;
    for (VOICE &voice : g_astVoices) {
        if (voice.uState & VOICE_ACTIVE) {
            MixVoice(&voice);
            // Each voice reads its own stream, more streams than the hardware follows: ask now for
            // what the voice reads in the next block.
            PrefetchBlock(&voice);
        }
    }
    g_bMixingSongVoices = false;
    Snd_MixSampleBuffers();
    if (g_bJamSessionOn)
        Snd_ApplyPlugins(g_pMixOut, g_iMixFrames);
    if (g_bReverbOn)
        Snd_MixReverb();
    return 0;
}
