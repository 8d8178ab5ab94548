// The jam records a song carries: four 528-byte jam records (the riffs and instruments each
// setup plays), their 236-byte companions (g_abJamSetupData), the selection and the jam
// sequence. The state byte of a record is the jam's own (g_JamSetups[n].ucState); the rest is
// kept here in its stored layout, so the chunks translate only the rows that name song items.
//
// Record rows: 11 instrument rows of 20 bytes from +4 (+0 kind, +2 i16 slot) and 12 riff rows
// of 20 bytes from +224 (+0 i16 riff, +6 kind); kind 2 names a slot or riff of the song, 255 an
// empty row. Companion rows: 4 instrument rows from +36 and 6 riff rows from +116, same layout.
#pragma once

#include <cstdint>

enum : int32_t
{
    JAM_RECORDS = 4,
    JAM_RECORD_SIZE = 528,
    JAM_RECORD_INSTRUMENTS = 11,
    JAM_RECORD_INSTRUMENT_AT = 4,
    JAM_RECORD_RIFFS = 12,
    JAM_RECORD_RIFF_AT = 224,
    JAM_COMPANION_SIZE = 236,
    JAM_COMPANION_INSTRUMENTS = 4,
    JAM_COMPANION_INSTRUMENT_AT = 36,
    JAM_COMPANION_RIFFS = 6,
    JAM_COMPANION_RIFF_AT = 116,
    JAM_ROW_BYTES = 20,
    JAM_ROW_SONG = 2,
    JAM_ROW_EMPTY = 255,
    JAM_SEQUENCE_BYTES = 65536,
};

extern uint8_t g_aabJamRecords[JAM_RECORDS][JAM_RECORD_SIZE];
extern int32_t g_bJamSelectionActive;
// The jam sequence: recorded jam data, g_uJamSequenceLength bytes; state bit 2 = loaded.
extern uint8_t g_abJamSequence[JAM_SEQUENCE_BYTES];
extern uint32_t g_uJamSequenceLength;
extern uint32_t g_uJamSequenceState;
extern uint32_t g_uJamSequenceRead, g_uJamSequenceWrite;

// Empties every record (rows 255) and the sequence.
void Jam_ResetRecords();
// The companion record of setup n inside g_abJamSetupData.
uint8_t *Jam_CompanionRecord(int32_t n);
// Row n of a record or companion as (kind, value) by the layout above; set writes them back.
void Jam_SetRecordRiff(int32_t record, int32_t row, int32_t riff);
void Jam_SetRecordInstrument(int32_t record, int32_t row, int32_t slot);
