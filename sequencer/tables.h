// Fixed tables of playback: the curve table, the pitch table and the pan table.
#pragma once

#include <cstdint>

extern const uint16_t g_auCurveTable[256];
constexpr int32_t SEQ_PITCH_ENTRIES = 12289;
// 55 x 2^(i / 1536), rounded: the voice rate is (entry x 44100) >> 12.
extern uint16_t g_auSeqPitchTable[SEQ_PITCH_ENTRIES];
// {left, right} per pan position 0..255.
extern uint8_t g_aucPanTable[256][2];
