// The sequencer clock: tempo, step length and the play modes driven by Seq_Tick.
#pragma once

#include <atomic>
#include <cstdint>

extern uint16_t g_uTempo;       // beats per minute
extern uint32_t g_iStepLength;  // sub-step length in clock units
extern uint32_t g_uSongTempo;   // the tempo the tempo list last set
extern uint16_t g_usTuning;     // pitch offset of every channel, 1872
extern uint8_t g_bSeqClockRunning;
extern const uint16_t g_auStepLengths[961]; // tempos 40..1000: round(768000 / tempo)

// Stores the tempo (held to 40..1000) and its step length.
void Seq_SetTempo(int32_t bpm);
int32_t Seq_StartClock();
void Seq_StopClock();
