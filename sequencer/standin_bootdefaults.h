// Stand-in for the sequencer's boot defaults until the sequencer is built.
#pragma once

#include <cstdint>

enum
{
    SEQ_DEFAULT_RIFFS_SIZE = 65536,
    SEQ_DEFAULT_EFFECTS_SIZE = 16384,
};

extern uint8_t g_abDefaultRiffs[SEQ_DEFAULT_RIFFS_SIZE];
extern uint8_t g_abDefaultEffects[SEQ_DEFAULT_EFFECTS_SIZE];

// Loads "/BOOT/DEFRIF" and "/BOOT/EFFREAL" after every archive open; a missing or oversized file
// leaves its buffer as it was.
void Seq_LoadBootDefaults();
