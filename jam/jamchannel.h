// The jam sequencer's view of the sequencer's channel records, play columns and mute bytes: the
// one place that names their fields. Callers hold g_csMix.
#pragma once

#include <cstdint>

#include "sequencer/channels.h"
#include "sequencer/playback.h"

inline uint8_t JamCh_Mode(int32_t c) { return g_aSeqChannels[c].ucOwner; }
inline bool JamCh_JustTriggered(int32_t c) { return g_aSeqChannels[c].ucState == SEQ_STATE_SETUP; }
inline uint8_t JamCh_Level(int32_t c) { return g_aSeqChannels[c].ucLevel; }
inline uint16_t JamCh_Delay(int32_t c) { return g_aSeqChannels[c].uStartDelay; }
inline uint8_t JamCh_LengthLeft(int32_t c) { return g_aSeqChannels[c].ucLengthLeft; }
inline void JamCh_SetLengthLeft(int32_t c, uint8_t n) { g_aSeqChannels[c].ucLengthLeft = n; }
inline void JamCh_AddPitch(int32_t c, int32_t delta) { g_aSeqChannels[c].iPitch += delta; }
inline void JamCh_SetPitch(int32_t c, int32_t pitch) { g_aSeqChannels[c].iPitch = pitch; }
// A layer voice taken over: level and envelope value 0.
inline void JamCh_ClearLevel(int32_t c)
{
    g_aSeqChannels[c].ucLevel = 0;
    g_aSeqChannels[c].iAmpValue = 0;
}
inline void JamCh_SetPan(int32_t c, int32_t value, const uint8_t *envelope)
{
    g_aSeqChannels[c].iPanValue = value;
    g_aSeqChannels[c].apPoints[1] = envelope;
}
inline uint8_t JamCh_Mute(int32_t c) { return g_aChannelMute[c][3]; }
inline void JamCh_SetMute(int32_t c, uint8_t mute) { g_aChannelMute[c][3] = mute; }

// The level ramp of channel c's play column.
inline void JamCol_SetRamp(int32_t c, int32_t start, int32_t delta)
{
    g_aPlayColumns[c].iLevel = start;
    g_aPlayColumns[c].iLevelStep = delta;
}
inline void JamCol_SetPosition(int32_t c, int32_t stepsLeft, int32_t rampLength)
{
    g_aPlayColumns[c].uStepsLeft = (uint16_t)stepsLeft;
    g_aPlayColumns[c].uLevelUpdates = (uint16_t)rampLength;
}
