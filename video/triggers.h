// Trigger banks: the music's and the pad's triggers as chases read them. Bank 0 holds note levels
// (index = song column + 2) with their marks in bank 3; bank 1 holds song events and pad buttons
// with their marks in bank 2. Each entry is a value and the frame count at which it was written.
//
// The sequencer's events write the banks on the mix thread while the main thread reads them, so
// each entry is one atomic word (value in the low 16 bits, stamp in the high 32).
#pragma once

#include <cstdint>

struct VIDCLIP;

constexpr int32_t VID_TRIGGER_BANKS = 4;
// Note triggers reach index 98 + 2; every index a u8 trigger source names has an entry, so no
// source needs a range check beyond this size.
constexpr int32_t VID_TRIGGER_ENTRIES = 256;

// Stores value and the current frame count. Banks outside 0..3 and indices outside the bank are
// ignored. Returns 0.
int Vid_SetTrigger(int32_t bank, int32_t index, int32_t value);
// Reads an entry; 0 with stamp 0 outside the banks.
void Vid_GetTrigger(int32_t bank, int32_t index, int16_t *value, uint32_t *stamp);
// Every entry to value 0, stamp 0.
void Vid_ClearTriggers();
// Note levels above 0 fall by 20 (floor 0), stamped; a note written meanwhile is never lost.
void Vid_DecayNoteTriggers();
// Gives the chases that follow notes (saved source A = 1) the columns of the notes of song row
// position: source column + 2, moving on through the row's notes chase by chase. clips: the 7
// lanes' clips at the position (null for none).
void Vid_AssignChaseChannels(VIDCLIP *const *clips, int32_t position);

// Pad buttons as triggers (event 0x10002, once a frame): indices 6..12 in bank 1 (value) and bank
// 2 (mark); pad 1 pressed gives 255, pad 2 pressed gives 0 (pad 2 last). Indices 13..16 follow
// the analog axes of pad port 1 while it is an analog pad (type nibble 7).
void Vid_PadTriggers(uintptr_t arg = 0);
// Sets the top bar's prompt for the current screen (g_iScreen).
void Vid_ShowScreenPrompt();
