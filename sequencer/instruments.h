// Instruments, command chains and the song's sample table.
#pragma once

#include <cstdint>

// Plays interface sound n: 0 confirm, 1 select, 2 move, 3 bad, 4 cancel.
void Seq_PlayInterfaceSound(int32_t n);
// Mode 0 clears every slot marked temporary that no note uses; mode 1 every slot no note uses.
void Seq_ClearUnusedInstruments(int32_t mode);
// Riff type that a slot's sample gives (its sample record's category), 255 when none.
uint8_t Seq_InstrumentCategory(int32_t slot);
// Empties a slot: its command chain and (with freeSample) its loaded sample go.
void Seq_ClearInstrumentSlot(int32_t slot, int32_t freeSample);
// Empties the song's sample table.
void Seq_ClearSampleTable();
int Seq_CreateCommandEntryPool();
void Seq_DestroyCommandEntryPool();
