// The channel engine: 99 channels, one per song-grid column and voice.
#pragma once

#include <cstdint>

struct RIFFENTRY;

// A channel a note was just given to: reserved, not sounding yet.
constexpr uint8_t SEQ_STATE_SETUP = 8;

struct SEQCHANNEL
{
    int32_t iPitch; // pitch << 15 plus the pitch envelope; index = pitch >> 8
    uint8_t aucUnused1[2];
    uint8_t ucLengthLeft;
    uint8_t ucState; // 0 free, 1 wait hit, 2 playing, 4 delay, 6 key-on, 7 retune, 8 reserved
    uint8_t ucUnused2;
    uint8_t ucLevel;
    uint8_t ucFlags;
    uint8_t ucMaster; // 255 own channel, else the channel this effect copy follows
    int32_t iAmpValue, iAmpCount, iAmpStep;
    int32_t iPanValue, iPanCount, iPanStep;
    int32_t iPitchCount, iPitchStep;
    uint8_t ucOwner;
    uint8_t ucVibratoOn, ucVibratoHold;
    uint8_t ucLengthCopy;
    uint16_t uStartDelay;
    uint16_t uVibratoPhase;
    int16_t iGlideStep;
    uint16_t uGlideLeft;
    int16_t iPitchOffset;
    int16_t iDetune;
    uint8_t ucHitMask, ucHitIndex, ucReverbMask, ucLastFineStep;
    uint8_t aucHitMarks[24];
    uint8_t aucReverbMarks[24];
    uint32_t uSampleStart;
    uint16_t uBindResult;
    uint8_t ucAmpPoints, ucAmpIndex, ucAmpPhase, ucPanPoints, ucPanIndex, ucPitchPoints, ucPitchIndex, ucPitchShift;
    const uint8_t *apPoints[3]; // amplitude, pan, pitch point data ({time, level} pairs)
    int32_t aiTimeScale[3];
    uint8_t ucMuteSeen;
    uint8_t ucEffectFlags;
    uint8_t ucVibratoRate, ucVibratoDepth;
    uint32_t uInstrument;
};

struct EFFECTPRESETENTRY
{
    int16_t iDelay; // quarter steps, -1 empty
    int16_t iDetune;
    uint8_t ucRate, ucDepth, ucFlags, ucShare, ucPan, aucUnused[3];
};
static_assert(sizeof(EFFECTPRESETENTRY) == 12, "preset entries are 12 bytes");

extern SEQCHANNEL g_aSeqChannels[99];
extern int32_t g_iAllocChannels;
extern uint8_t g_aChannelMute[99][4];
// Presets 1..75 come from "/BOOT/EFFREAL"; the editor screens change them.
extern EFFECTPRESETENTRY g_aEffectPresets[76][9];

// The voice calls of the channel engine, through a table so that tests can record them.
struct SEQVOICEOPS
{
    int32_t (*keyVoices)(int32_t on, int32_t voice);
    int32_t (*bindSample)(int32_t channel, uint32_t sampleId); // readies the voice; lookup result
    int32_t (*stopVoice)(int32_t channel);
    int32_t (*setPitch)(int32_t channel, int32_t rate);
    int32_t (*setStartOffset)(int32_t channel, uint32_t offset);
    int32_t (*setVolume)(int32_t channel, int32_t left, int32_t right);
    int32_t (*setReverb)(int32_t on, int32_t channel);
    int32_t (*setPlugin)(int32_t channel, int32_t slot);
};
extern SEQVOICEOPS g_tSeqVoiceOps;
void Seq_UseVoiceOps(const SEQVOICEOPS *ops); // null: the audio engine's voices

void Seq_ClearChannels();
// Copies presets 1..75 from the boot table.
void Seq_LoadEffectPresets();
void Seq_TriggerNote(const RIFFENTRY *riff, int32_t note, int32_t channel, int32_t mode, int32_t step, int32_t track,
                     int32_t plugin);
void Seq_RunChannels();
uint8_t Seq_AllocChannel();
// The same, as the allocator hook (its arguments are not needed by the sequencer's own).
int32_t Seq_AllocChannel(int32_t owner, int32_t kind, int32_t track);
struct NOTEENTRY;
// The same trigger for a note record that need not live in the note pool (the jam's slot notes).
void Seq_TriggerNote(const RIFFENTRY *riff, const NOTEENTRY *note, int32_t channel, int32_t mode, int32_t step,
                     int32_t track, int32_t plugin);
int32_t Seq_BindChannelSample(int32_t channel);
