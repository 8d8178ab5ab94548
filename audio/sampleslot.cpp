#include "audio/sampleslot.h"

#include "audio/mixer.h"
#include "core/mixlock.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

SAMPLESLOT **g_ppSampleSlots;
int32_t g_iSampleSlotCount;
SAMPLESLOT g_astInterfaceSounds[5];

// Larger data than this is refused: offsets inside the mixer stay far from overflow.
static constexpr uint64_t MAX_SAMPLE_BYTES = 1ull << 30;

int Snd_AllocSampleTable(int32_t slotCount)
{
    if (slotCount <= 0 || slotCount > 65536)
        return -1;
    Snd_FreeSampleTable();
    g_ppSampleSlots = (SAMPLESLOT **)calloc((size_t)slotCount, sizeof(SAMPLESLOT *));
    if (!g_ppSampleSlots)
        return -1;
    g_iSampleSlotCount = slotCount;
    return 0;
}

void Snd_FreeSampleTable()
{
    Snd_FreeAllSamples();
    free(g_ppSampleSlots);
    g_ppSampleSlots = nullptr;
    g_iSampleSlotCount = 0;
}

int Snd_AllocSampleSlot(SAMPLESLOT **ppOut)
{
    for (int32_t i = 0; i < g_iSampleSlotCount; i++) {
        if (g_ppSampleSlots[i])
            continue;
        SAMPLESLOT *pSlot = (SAMPLESLOT *)calloc(1, sizeof(SAMPLESLOT));
        if (!pSlot)
            return -1;
        pSlot->uIndex = (uint32_t)i;
        g_ppSampleSlots[i] = pSlot;
        if (ppOut)
            *ppOut = pSlot;
        return i;
    }
    return -1;
}

void Snd_FreeSampleData(SAMPLESLOT *pSlot)
{
    if (!pSlot)
        return;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    Snd_StopSampleVoices(pSlot);
    if (!(pSlot->uFlags & SAMPLE_BORROWED) && pSlot->pData) {
        uint32_t frameBytes = (pSlot->uFlags & SAMPLE_STEREO) ? 4 : 2;
        Snd_ForgetSampleData(pSlot->pData, (size_t)pSlot->uFrames * frameBytes);
        free(pSlot->pData);
    }
    pSlot->pData = nullptr;
    pSlot->uFrames = 0;
    pSlot->pCurrent = pSlot->pEnd = pSlot->pStart = pSlot->pLoop = nullptr;
    pSlot->uFlags &= ~SAMPLE_BORROWED;
}

int Snd_FreeSample(SAMPLESLOT *pSlot)
{
    if (!pSlot)
        return 0;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    Snd_FreeSampleData(pSlot);
    if (pSlot->uIndex < (uint32_t)g_iSampleSlotCount && g_ppSampleSlots[pSlot->uIndex] == pSlot) {
        g_ppSampleSlots[pSlot->uIndex] = nullptr;
        free(pSlot);
    }
    return 0;
}

void Snd_FreeAllSamples()
{
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    for (int32_t i = 0; i < g_iSampleSlotCount; i++)
        Snd_FreeSample(g_ppSampleSlots[i]);
}

int Snd_AllocSampleData(SAMPLESLOT *pSlot, uint32_t frames, bool stereo)
{
    if (!pSlot)
        return -1;
    uint64_t bytes = (uint64_t)frames * (stereo ? 4 : 2);
    if (bytes > MAX_SAMPLE_BYTES)
        return -1;
    uint8_t *pData = (uint8_t *)calloc(1, (size_t)bytes + SAMPLE_GUARD_BYTES);
    if (!pData)
        return -1;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    Snd_FreeSampleData(pSlot);
    pSlot->pData = pData;
    pSlot->uFrames = frames;
    pSlot->uFlags = stereo ? (pSlot->uFlags | SAMPLE_STEREO) : (pSlot->uFlags & ~SAMPLE_STEREO);
    Snd_ResetSamplePointers(pSlot);
    return 0;
}

void Snd_ResetSamplePointers(SAMPLESLOT *pSlot)
{
    if (!pSlot)
        return;
    uint32_t frameBytes = (pSlot->uFlags & SAMPLE_STEREO) ? 4 : 2;
    pSlot->pStart = pSlot->pCurrent = pSlot->pData;
    if (!pSlot->pData) {
        pSlot->pEnd = pSlot->pLoop = nullptr;
        return;
    }
    pSlot->pEnd = pSlot->pData + (size_t)pSlot->uFrames * frameBytes;
    uint32_t loopFrame = (pSlot->uFlags & SAMPLE_LOOPS) ? pSlot->uLoopStartFrame : 0;
    if (loopFrame >= pSlot->uFrames)
        loopFrame = 0;
    pSlot->pLoop = pSlot->pData + (size_t)loopFrame * frameBytes;
}
