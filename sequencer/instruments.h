// Instruments, command chains and the song's sample table.
#pragma once

#include <cstdint>

#include "sequencer/samples.h"

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

extern uint16_t g_uInstrumentCount;      // non-free slots
extern uint8_t g_ucPendingInstrumentSlot; // the library instrument being previewed, 201 none

// Free: all three library keys 0.
bool Seq_InstrumentSlotFree(int32_t slot);
// Empties a non-free slot: its sample (and with releaseSample its record), its chain, every riff
// cell of its notes (riffs left empty go, except the open one) and its clipboard cells.
void Seq_ClearInstrument(int32_t slot, int32_t releaseSample, int32_t noUndo);
// The first slot 1..200 holding the library instrument without edits, else 0.
int32_t Seq_FindLibraryInstrument(int32_t kind, int32_t key1, int32_t key2, int32_t key3);
int32_t Seq_GetInstrumentKind(int32_t slot);
bool Seq_InstrumentHasName(int32_t slot);
void Seq_GetInstrumentName(int32_t slot, char out[20]);
// Of slots with equal library keys only the lowest stays (the others are zeroed, nothing
// released); the count is taken again.
void Seq_RemoveDuplicateInstruments();
int32_t Seq_PackedInstrumentSize(int32_t slot);
