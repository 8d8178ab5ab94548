// Stand-in for the sequencer's instrument slots and sample table until the song model is built.
#include "sequencer/standin_samples.h"

#include <cstdio>
#include <cstring>

INSTRUMENTSLOT g_aInstrumentSlots[SEQ_INSTRUMENT_SLOTS];
SAMPLEENTRY g_aSamples[SEQ_SAMPLE_RECORDS];
uint16_t g_uSampleCount = 1;

static uint16_t s_uSampleNameCounter;

int32_t Seq_AddSampleRecord(uint32_t bytes)
{
    if (g_uSampleCount < 1)
        g_uSampleCount = 1;
    if (g_uSampleCount >= SEQ_SAMPLE_RECORDS)
        return -1;
    int32_t index = g_uSampleCount++;
    std::memset(&g_aSamples[index], 0, sizeof g_aSamples[index]);
    g_aSamples[index].uLength = bytes / 2;
    return index;
}

void Seq_RemoveSampleRecord(int16_t id, int32_t)
{
    for (int32_t i = 1; i < g_uSampleCount; i++) {
        if (g_aSamples[i].iSampleId != id)
            continue;
        std::memmove(&g_aSamples[i], &g_aSamples[i + 1], sizeof(SAMPLEENTRY) * (size_t)(g_uSampleCount - 1 - i));
        g_uSampleCount--;
        std::memset(&g_aSamples[g_uSampleCount], 0, sizeof(SAMPLEENTRY));
        // Names point into the records, which have moved.
        for (INSTRUMENTSLOT &slot : g_aInstrumentSlots) {
            slot.pszName = nullptr;
            if (!slot.uKey1 && !slot.uKey2 && !slot.uKey3)
                continue;
            for (int32_t k = 1; k < g_uSampleCount; k++)
                if (g_aSamples[k].iSampleId == slot.iSampleId)
                    slot.pszName = g_aSamples[k].szName;
        }
        return;
    }
}

int32_t Seq_AllocInstrumentSlot()
{
    for (int32_t i = 1; i < SEQ_NO_INSTRUMENT; i++) {
        INSTRUMENTSLOT &slot = g_aInstrumentSlots[i];
        if (slot.uKey1 || slot.uKey2 || slot.uKey3 || slot.uAllocated)
            continue;
        std::memset(&slot, 0, sizeof slot);
        slot.uAllocated = 1;
        slot.uReservedMark = 255;
        return i;
    }
    return SEQ_NO_INSTRUMENT;
}

int16_t Seq_NewSampleId()
{
    for (int32_t n = 0; n <= 200; n++) {
        bool taken = false;
        for (int32_t i = 1; i < g_uSampleCount && !taken; i++)
            taken = g_aSamples[i].iSampleId == -(n + 1);
        if (!taken)
            return (int16_t)-(n + 1);
    }
    return 0;
}

void Seq_MakeDefaultName(char *buffer, int32_t kind)
{
    if (!buffer || kind != 3)
        return;
    if (s_uSampleNameCounter > 9998)
        s_uSampleNameCounter = 0;
    s_uSampleNameCounter++;
    // The prefix is a language text in the real sequencer.
    snprintf(buffer, sizeof(SAMPLEENTRY::szName), "%s%.4d", "Sample", s_uSampleNameCounter);
}

void Seq_ClearSampleTables()
{
    std::memset(g_aInstrumentSlots, 0, sizeof g_aInstrumentSlots);
    std::memset(g_aSamples, 0, sizeof g_aSamples);
    g_uSampleCount = 1;
    s_uSampleNameCounter = 0;
}
