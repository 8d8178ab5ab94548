// The sequencer's boot tables in the archive's "BOOT" folder: "DEFRIF" (75 records of two key
// bytes and a value byte) and "EFFREAL" (the 75 effect presets of 9 entries of 12 bytes that
// notes name by number).
#pragma once

#include "tools/soundcontent.h"

#include <cstdint>
#include <vector>

// One preset entry as the channel engine reads it.
struct BOOTEFFECTENTRY
{
    int16_t delay;  // quarter steps; -1 = empty
    int16_t detune; // 1/128 semitone
    uint8_t rate, depth, flags, share, pan;
};

std::vector<uint8_t> Content_DefaultRiffTable();
std::vector<uint8_t> Content_EffectPresets();
// Both files, as archive files "BOOT/DEFRIF" and "BOOT/EFFREAL".
std::vector<CONTENTFILE> Content_BootFiles();
