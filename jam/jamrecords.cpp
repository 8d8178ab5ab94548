#include "jam/jamrecords.h"

#include "sequencer/songcontrol.h"

#include <cstring>

uint8_t g_aabJamRecords[JAM_RECORDS][JAM_RECORD_SIZE];
int32_t g_bJamSelectionActive;
uint8_t g_abJamSequence[JAM_SEQUENCE_BYTES];
uint32_t g_uJamSequenceLength;
uint32_t g_uJamSequenceState;
uint32_t g_uJamSequenceRead, g_uJamSequenceWrite;

void Jam_ResetRecords()
{
    for (auto &r : g_aabJamRecords) {
        std::memset(r, 0, sizeof(r));
        for (int32_t i = 0; i < JAM_RECORD_INSTRUMENTS; i++)
            r[JAM_RECORD_INSTRUMENT_AT + i * JAM_ROW_BYTES] = JAM_ROW_EMPTY;
        for (int32_t i = 0; i < JAM_RECORD_RIFFS; i++)
            r[JAM_RECORD_RIFF_AT + i * JAM_ROW_BYTES + 6] = JAM_ROW_EMPTY;
    }
    g_bJamSelectionActive = 0;
    g_uJamSequenceLength = g_uJamSequenceState = g_uJamSequenceRead = g_uJamSequenceWrite = 0;
}

uint8_t *Jam_CompanionRecord(int32_t n)
{
    return n >= 0 && n < JAM_RECORDS ? &g_abJamSetupData[1 + n * JAM_COMPANION_SIZE] : nullptr;
}

void Jam_SetRecordRiff(int32_t record, int32_t row, int32_t riff)
{
    if (record < 0 || record >= JAM_RECORDS || row < 0 || row >= JAM_RECORD_RIFFS)
        return;
    uint8_t *p = &g_aabJamRecords[record][JAM_RECORD_RIFF_AT + row * JAM_ROW_BYTES];
    p[0] = (uint8_t)riff;
    p[1] = (uint8_t)(riff >> 8);
    p[6] = riff > 0 ? JAM_ROW_SONG : JAM_ROW_EMPTY;
}

void Jam_SetRecordInstrument(int32_t record, int32_t row, int32_t slot)
{
    if (record < 0 || record >= JAM_RECORDS || row < 0 || row >= JAM_RECORD_INSTRUMENTS)
        return;
    uint8_t *p = &g_aabJamRecords[record][JAM_RECORD_INSTRUMENT_AT + row * JAM_ROW_BYTES];
    p[0] = slot > 0 ? JAM_ROW_SONG : JAM_ROW_EMPTY;
    p[2] = (uint8_t)slot;
    p[3] = (uint8_t)(slot >> 8);
}
