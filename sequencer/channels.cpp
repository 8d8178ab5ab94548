// The channel engine: notes into voices, with envelopes, repeated hits, vibrato, glide and the
// effect copies of a note's preset. Runs inside Seq_Tick under g_csMix; main-thread triggers
// (auditions) take g_csMix too.
#include "sequencer/channels.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "core/event.h"
#include "core/fixmath.h"
#include "core/mixlock.h"
#include "core/soundlib.h"
#include "sequencer/clock.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/samples.h"
#include "sequencer/tables.h"

SEQCHANNEL g_aSeqChannels[99];
int32_t g_iAllocChannels = 24;
uint8_t g_aChannelMute[99][4];
EFFECTPRESETENTRY g_aEffectPresets[76][9];

namespace {

// Point data copied out of the list store when a note starts: the store packs itself whenever a
// list goes, so a pointer into it would not stay valid while the note sounds.
constexpr int32_t kMaxPoints = 66;
uint8_t s_aucPoints[99][3][kMaxPoints * 2];
int32_t s_aiBasePitch[99];
int32_t s_iKeyOns;

// AM pairs. A joined track's note sounds on the channel after its own and the AM track's note
// (the modifier) on the one before its own, so the modifier's channel sits just below the
// channel it modulates. The modifier is silent: its amplitude envelope, shaped at full level
// whatever level the note keeps, scales the channel above it. When it ends, the last scale holds
// until that channel's next note.
constexpr int32_t kAmFull = 1 << 16;
constexpr int64_t kAmEnvelopeTop = int64_t(255) * 255 * 256;
uint8_t s_abAmModifier[99];
int32_t s_aiAmCut[99]; // kAmFull - the scale: 0 plays the channel as it is

int32_t VoiceBind(int32_t channel, uint32_t sampleId)
{
    SAMPLESLOT *slot = nullptr;
    const int32_t result = Snd_FindSampleById(&slot, sampleId);
    g_apVoiceSample[channel] = result >= 0 ? slot : nullptr;
    if (result >= 0 && slot)
        Snd_StartVoice(&g_astVoices[channel], slot, 16);
    return result;
}
int32_t VoiceStop(int32_t channel)
{
    return Snd_StopVoice(&g_astVoices[channel]);
}
int32_t VoicePitch(int32_t channel, int32_t rate)
{
    return Snd_SetVoicePitch(&g_astVoices[channel], rate);
}
int32_t VoiceOffset(int32_t channel, uint32_t offset)
{
    return Snd_SetVoiceStartOffset(&g_astVoices[channel], offset);
}
int32_t VoicePlugin(int32_t channel, int32_t slot)
{
    return Snd_SetVoicePlugin(channel, slot);
}

const SEQVOICEOPS kAudioVoices = {Sys_KeyVoices, VoiceBind,        VoiceStop,         VoicePitch,
                                  VoiceOffset,   Sys_SetVoiceVolume, Sys_SetVoiceReverb, VoicePlugin};

int32_t PointTime(const SEQCHANNEL &c, int32_t list, int32_t k)
{
    return c.apPoints[list][2 * k];
}
int32_t PointLevel(const SEQCHANNEL &c, int32_t list, int32_t k)
{
    return c.apPoints[list][2 * k + 1];
}
int32_t Segment(const SEQCHANNEL &c, int32_t list, int32_t dt)
{
    return ((dt * c.aiTimeScale[list]) >> 10) + 1;
}

// Copies a list's points into the channel's own buffer; its count, with a and b bytes.
int32_t TakeList(int32_t channel, int32_t slot, int32_t listId, uint8_t *pA, uint8_t *pB)
{
    SEQCHANNEL &c = g_aSeqChannels[channel];
    uint8_t *dst = s_aucPoints[channel][slot];
    std::memset(dst, 0, sizeof(s_aucPoints[channel][slot]));
    c.apPoints[slot] = dst;
    uint32_t bytes = 0;
    const uint8_t *p = Seq_GetParamList(listId, &bytes);
    if (!p) {
        *pA = *pB = 0;
        return 0;
    }
    const int32_t n = p[0];
    const int32_t kept = n < kMaxPoints ? n : kMaxPoints;
    std::memcpy(dst, p + 1, (size_t)kept * 2);
    *pA = p[1 + 2 * n];
    *pB = p[2 + 2 * n];
    return kept;
}

// Step 5 of a trigger: a channel made ready for a note (or an effect copy of it).
void SetUp(int32_t channel, const NOTEENTRY &n, int32_t mode)
{
    SEQCHANNEL &c = g_aSeqChannels[channel];
    c = SEQCHANNEL{};
    c.ucState = 8;
    s_abAmModifier[channel] = 0;
    g_tSeqVoiceOps.keyVoices(0, channel);
    g_tSeqVoiceOps.stopVoice(channel);
    c.ucOwner = (uint8_t)mode;
    c.uInstrument = n.uInstrument;
    c.iPitch = n.ucPitch << 15;
    s_aiBasePitch[channel] = c.iPitch;
    c.ucLengthLeft = c.ucLengthCopy = (uint8_t)(n.ucLength + 1);
    c.ucLevel = n.ucLevel;
    c.iPanValue = 0x80;
    c.ucFlags = n.ucFlags;
    c.ucVibratoRate = n.ucSetting4;
    c.ucVibratoDepth = n.ucSetting5;
    c.ucHitMask = n.ucSetting2;
    c.ucReverbMask = n.ucSetting3;
    c.uSampleStart = n.uSampleStart;
    const uint16_t tempo = g_uTempo ? g_uTempo : 130;
    uint8_t a = 0, b = 0;
    c.ucAmpPoints = (uint8_t)TakeList(channel, 0, n.uListA, &a, &b);
    c.aiTimeScale[0] = (36000 << (a & 15)) / tempo;
    c.ucPanPoints = (uint8_t)TakeList(channel, 1, n.uListB, &a, &b);
    c.aiTimeScale[1] = (36000 << (a & 15)) / tempo;
    c.ucPitchPoints = (uint8_t)TakeList(channel, 2, n.uListC, &a, &b);
    c.aiTimeScale[2] = (36000 << (a & 15)) / tempo;
    c.ucPitchShift = (uint8_t)(b & 15);
    c.ucAmpIndex = 0;
    c.ucPanIndex = 1;
    c.ucPitchIndex = 1;
    c.ucHitIndex = 0;
    c.ucLastFineStep = 255;
    c.ucMaster = 255;
    if (c.ucFlags & NOTE_FLAG_HITS8)
        for (int32_t k = 0; k < 8; k++) {
            c.aucHitMarks[3 * k] = (uint8_t)((c.ucHitMask >> (7 - k)) & 1);
            c.aucReverbMarks[3 * k] = (uint8_t)((c.ucReverbMask >> (7 - k)) & 1);
        }
    if (c.ucFlags & NOTE_FLAG_HITS6)
        for (int32_t k = 0; k < 6; k++) {
            c.aucHitMarks[4 * k] = (uint8_t)((c.ucHitMask >> (7 - k)) & 1);
            c.aucReverbMarks[4 * k] = (uint8_t)((c.ucReverbMask >> (7 - k)) & 1);
        }
}

void SendPitch(int32_t channel)
{
    SEQCHANNEL &c = g_aSeqChannels[channel];
    int32_t index = (c.iPitch >> 8) + g_usTuning + c.iPitchOffset + c.iDetune;
    index = Seq_ClampPitchCents(index);
    g_tSeqVoiceOps.setPitch(channel, (int32_t)(((int64_t)g_auSeqPitchTable[index] * 44100) >> 12));
}

void KeyOn(int32_t channel)
{
    SEQCHANNEL &c = g_aSeqChannels[channel];
    const INSTRUMENTSLOT *inst =
        c.uInstrument <= 200 && !s_abAmModifier[channel] ? &g_aInstrumentSlots[c.uInstrument] : nullptr;
    c.uBindResult = (uint16_t)(inst ? g_tSeqVoiceOps.bindSample(channel, (uint32_t)inst->iSampleId) : -1);
    s_aiAmCut[channel] = 0;
    g_tSeqVoiceOps.setStartOffset(channel, c.uSampleStart);
    s_iKeyOns++;
    c.ucLengthLeft = c.ucLengthCopy;
    c.ucMuteSeen = g_aChannelMute[channel][3];
    // A repeated hit starts the pitch envelope again from the note's own pitch.
    c.iPitch = s_aiBasePitch[channel];
    c.ucAmpPhase = 1;
    c.ucAmpIndex = 0;
    c.iAmpValue = 0;
    c.iAmpCount = Segment(c, 0, c.ucAmpPoints ? PointTime(c, 0, 0) : 0);
    c.iAmpStep = (c.ucLevel * (c.ucAmpPoints ? PointLevel(c, 0, 0) : 255) * 256) / c.iAmpCount;
    c.ucPanIndex = 1;
    c.iPanValue = (c.ucPanPoints ? PointLevel(c, 1, 0) : 128) * 256;
    c.iPanCount = Segment(c, 1, c.ucPanPoints > 1 ? PointTime(c, 1, 1) : 0);
    c.iPanStep = c.ucPanPoints > 1 ? (PointLevel(c, 1, 1) * 256 - c.iPanValue) / c.iPanCount : 0;
    c.ucPitchIndex = 1;
    c.iPitchCount = Segment(c, 2, c.ucPitchPoints > 1 ? PointTime(c, 2, 1) : 0);
    const int32_t p0 = c.ucPitchPoints ? PointLevel(c, 2, 0) : 127;
    c.iPitchStep = c.ucPitchPoints > 1 ? ((PointLevel(c, 2, 1) - p0) * (1 << (c.ucPitchShift + 8))) / c.iPitchCount : 0;
    c.iPitch -= (256 << c.ucPitchShift) * (127 - p0);
}

void Retune(int32_t channel)
{
    SEQCHANNEL &c = g_aSeqChannels[channel];
    SendPitch(channel);
    c.ucOwner = g_bJamActive == 1 ? 4 : 1;
    if (c.ucVibratoDepth) {
        c.ucVibratoOn = 1;
        c.uVibratoPhase = 0;
        c.ucVibratoHold = c.ucVibratoRate < 8 ? (uint8_t)(c.ucVibratoRate & 7) : 0;
    } else {
        c.ucVibratoOn = 0;
    }
    c.ucState = 2;
}

void PostRelease(int32_t channel)
{
    struct
    {
        uint16_t first, second;
    } words{(uint16_t)channel, 0};
    Sys_EventDispatch(0x30002, (uintptr_t)&words);
}

void Play(int32_t channel)
{
    SEQCHANNEL &c = g_aSeqChannels[channel];
    if (g_bStepBoundary && c.ucLengthLeft)
        c.ucLengthLeft--;
    // Amplitude.
    const int32_t n = c.ucAmpPoints;
    if ((c.ucAmpPhase == 1 || c.ucAmpPhase == 3) && c.ucLengthLeft == 0) {
        c.ucAmpPhase = 4;
        c.iAmpCount = Segment(c, 0, n >= 2 ? PointTime(c, 0, n - 1) - PointTime(c, 0, n - 2) : 0);
        c.iAmpStep = c.iAmpValue / c.iAmpCount;
        PostRelease(channel);
    } else if (c.ucAmpPhase == 1) {
        if (c.iAmpCount == 0) {
            c.ucAmpIndex++;
            if (c.ucAmpIndex >= n - 1) {
                c.ucAmpPhase = 3;
            } else {
                const int32_t k = c.ucAmpIndex;
                c.iAmpCount = Segment(c, 0, PointTime(c, 0, k) - PointTime(c, 0, k - 1));
                c.iAmpStep = (c.ucLevel * PointLevel(c, 0, k) * 256 - c.iAmpValue) / c.iAmpCount;
            }
        } else {
            c.iAmpValue += c.iAmpStep;
            c.iAmpCount--;
        }
    } else if (c.ucAmpPhase == 4) {
        if (c.iAmpCount == 0) {
            c.ucAmpPhase = 0;
            c.iAmpValue = 0;
            c.ucLevel = 0;
            c.ucState = 0;
            c.ucOwner = 0;
        } else {
            c.iAmpValue -= c.iAmpStep;
            if (c.iAmpValue < 0)
                c.iAmpValue = 0;
            c.iAmpCount--;
        }
    }
    // Pan and pitch envelopes hold their last value.
    if (c.iPanCount == 0 && c.ucPanIndex < c.ucPanPoints - 1) {
        const int32_t k = ++c.ucPanIndex;
        c.iPanCount = Segment(c, 1, PointTime(c, 1, k) - PointTime(c, 1, k - 1));
        c.iPanStep = (PointLevel(c, 1, k) * 256 - c.iPanValue) / c.iPanCount;
    } else if (c.iPanCount > 0) {
        c.iPanCount--;
        c.iPanValue += c.iPanStep;
    }
    if (c.iPitchCount == 0 && c.ucPitchIndex < c.ucPitchPoints - 1) {
        const int32_t k = ++c.ucPitchIndex;
        c.iPitchCount = Segment(c, 2, PointTime(c, 2, k) - PointTime(c, 2, k - 1));
        c.iPitchStep = ((PointLevel(c, 2, k) - PointLevel(c, 2, k - 1)) * (1 << (c.ucPitchShift + 8))) / c.iPitchCount;
    } else if (c.iPitchCount > 0) {
        c.iPitchCount--;
        c.iPitch += c.iPitchStep;
    }
    if (c.ucVibratoOn) {
        const int32_t wave = Sys_FixedSin((int32_t)c.uVibratoPhase * 4);
        c.iPitchOffset = (int16_t)(c.iPitchOffset + (wave * 8) / (g_auCurveTable[255 - c.ucVibratoDepth] * 32));
        if (c.ucVibratoHold == 0) {
            c.ucVibratoHold = c.ucVibratoRate < 8 ? (uint8_t)(c.ucVibratoRate & 7) : 0;
            c.uVibratoPhase = (uint16_t)(c.uVibratoPhase + (c.ucVibratoRate >> 3));
            if (c.uVibratoPhase > 1024)
                c.uVibratoPhase -= 1024;
        } else {
            c.ucVibratoHold--;
        }
    }
    if (g_bQuarterStep && c.uGlideLeft) {
        c.iPitchOffset = (int16_t)(c.iPitchOffset + c.iGlideStep);
        c.uGlideLeft--;
    }
    if (s_abAmModifier[channel]) {
        g_tSeqVoiceOps.setVolume(channel, 0, 0);
        return;
    }
    const SEQCHANNEL *modifier = channel > 0 && s_abAmModifier[channel - 1] ? &g_aSeqChannels[channel - 1] : nullptr;
    if (modifier && modifier->ucState == 2)
        s_aiAmCut[channel] =
            kAmFull - (int32_t)std::min<int64_t>((std::max<int64_t>(modifier->iAmpValue, 0) * kAmFull) / kAmEnvelopeTop, kAmFull);
    const uint8_t mute = g_aChannelMute[channel][3];
    const bool muted = mute || (c.ucFlags & NOTE_FLAG_MUTED);
    if (!muted)
        SendPitch(channel);
    c.ucMuteSeen = mute;
    if (muted) {
        g_tSeqVoiceOps.setVolume(channel, 0, 0);
        return;
    }
    int32_t pan = c.iPanValue >> 8;
    pan = pan < 0 ? 0 : pan > 255 ? 255 : pan;
    int32_t panL = g_aucPanTable[pan][0], panR = g_aucPanTable[pan][1];
    if (g_ucMixMono & 1)
        panL = panR = (panL + panR) / 2;
    const int64_t amp = ((int64_t)c.iAmpValue * (kAmFull - s_aiAmCut[channel])) >> 16;
    const int64_t level = g_aPlayColumns[channel].iLevel / 256;
    int32_t left = (int32_t)(((((amp * panL) >> 17) * level) >> 10) >> 1);
    int32_t right = (int32_t)(((((amp * panR) >> 17) * level) >> 10) >> 1);
    if (c.ucEffectFlags & 1) {
        left = -left;
        right = -right;
    }
    g_tSeqVoiceOps.setVolume(channel, left, right);
}

} // namespace

SEQVOICEOPS g_tSeqVoiceOps = kAudioVoices;

void Seq_UseVoiceOps(const SEQVOICEOPS *ops)
{
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    g_tSeqVoiceOps = ops ? *ops : kAudioVoices;
}

void Seq_ClearChannels()
{
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    std::memset(g_aSeqChannels, 0, sizeof(g_aSeqChannels));
    std::memset(s_abAmModifier, 0, sizeof(s_abAmModifier));
    std::memset(s_aiAmCut, 0, sizeof(s_aiAmCut));
}

void Seq_LoadEffectPresets()
{
    for (int32_t p = 1; p < 76; p++)
        for (int32_t e = 0; e < 9; e++) {
            const uint8_t *b = &g_abDefaultEffects[((p - 1) * 9 + e) * 12];
            EFFECTPRESETENTRY &x = g_aEffectPresets[p][e];
            x.iDelay = (int16_t)(b[0] | b[1] << 8);
            x.iDetune = (int16_t)(b[2] | b[3] << 8);
            x.ucRate = b[4];
            x.ucDepth = b[5];
            x.ucFlags = b[6];
            x.ucShare = b[7];
            x.ucPan = b[8];
            std::memcpy(x.aucUnused, b + 9, 3);
        }
    for (EFFECTPRESETENTRY &x : g_aEffectPresets[0])
        x = EFFECTPRESETENTRY{-1, 0, 0, 0, 0, 0, 0, {0, 0, 0}};
}

uint8_t Seq_AllocChannel()
{
    const uint32_t row = g_uSongRow.load() < (uint32_t)SEQ_GRID_ROWS ? g_uSongRow.load() : 0;
    int32_t candidate = 255, lowest = 256, latest = -1;
    const int32_t count = g_iAllocChannels < 1 ? 1 : g_iAllocChannels > 99 ? 99 : g_iAllocChannels;
    for (int32_t ch = count - 1; ch >= 0; ch--) {
        SEQCHANNEL &c = g_aSeqChannels[ch];
        if (c.ucState == 8 || g_aSongGrid[row][ch] != 0)
            continue;
        if (c.ucOwner == 0) {
            c = SEQCHANNEL{};
            return (uint8_t)ch;
        }
        if (c.ucOwner != 2)
            continue;
        if (c.ucLevel < lowest) {
            lowest = c.ucLevel;
            candidate = ch;
        }
        if (c.uStartDelay > latest) {
            latest = c.uStartDelay;
            candidate = ch;
        }
    }
    return (uint8_t)candidate;
}

int32_t Seq_AllocChannel(int32_t, int32_t, int32_t)
{
    return Seq_AllocChannel();
}

int32_t Seq_BindChannelSample(int32_t channel)
{
    if (channel < 0 || channel >= 99)
        return -1;
    const uint32_t slot = g_aSeqChannels[channel].uInstrument;
    if (slot > 200)
        return -1;
    return g_tSeqVoiceOps.bindSample(channel, (uint32_t)g_aInstrumentSlots[slot].iSampleId);
}

void Seq_TriggerNote(const RIFFENTRY *riff, int32_t noteId, int32_t channel, int32_t mode, int32_t step, int32_t track,
                     int32_t plugin)
{
    Seq_TriggerNote(riff, Seq_GetNote(noteId), channel, mode, step, track, plugin);
}

void Seq_TriggerNote(const RIFFENTRY *riff, const NOTEENTRY *pn, int32_t channel, int32_t mode, int32_t step,
                     int32_t track, int32_t plugin)
{
    if (!pn || channel < 0 || channel >= 99)
        return;
    std::lock_guard<std::recursive_mutex> lock(g_csMix);
    const NOTEENTRY n = *pn;
    int32_t nextPitch = -1, distance = 0;
    if ((n.ucFlags & NOTE_FLAG_GLIDE) && riff && track >= 0 && track < riff->ucTracks && step >= 0) {
        const int32_t steps = riff->ucBars * 16;
        for (int32_t s = step + 1; s < steps; s++)
            if (const NOTEENTRY *next = Seq_GetNote(riff->puNotes[track * steps + s])) {
                nextPitch = next->ucPitch;
                distance = s - step;
                break;
            }
    }
    if (n.uInstrument > 200)
        return;
    const bool modifier = mode != 5 && (n.ucFlags & NOTE_FLAG_SECOND_OF_PAIR);
    if (mode != 5) {
        if (modifier)
            channel--;
        else if ((n.ucFlags & NOTE_FLAG_JOINED) || (riff && track >= 0 && track < 12 && ((riff->uFlags >> track) & 1)))
            channel++;
        // The pair's other channel must still be one of the 99.
        if (channel < 0 || channel >= 99)
            return;
    }
    SEQCHANNEL &c = g_aSeqChannels[channel];
    // A modifier's envelope is its shape at full level.
    const uint8_t level = modifier ? 255 : n.ucLevel;
    if (n.ucSetting2 == 0) {
        c.iPitch = n.ucPitch << 15;
        s_aiBasePitch[channel] = c.iPitch;
        c.ucLevel = level;
        s_abAmModifier[channel] = modifier ? 1 : 0;
        c.iPanValue = 0x7FFF;
        c.ucFlags = n.ucFlags;
        c.ucVibratoRate = n.ucSetting4;
        c.ucVibratoDepth = n.ucSetting5;
        c.iPitchOffset = 0;
        c.iDetune = 0;
        c.ucState = 7;
        return;
    }
    SetUp(channel, n, mode);
    s_abAmModifier[channel] = modifier ? 1 : 0;
    c.ucLevel = level;
    if (distance > 0) {
        c.iGlideStep = (int16_t)((nextPitch * 128 - n.ucPitch * 128) / (4 * distance));
        c.uGlideLeft = (uint16_t)(4 * distance);
    }
    g_tSeqVoiceOps.setReverb(n.ucSetting3 ? 1 : 0, channel);
    g_tSeqVoiceOps.setPlugin(channel, plugin);
    const int32_t preset = n.ucSetting1;
    if (preset > 0 && preset < 76) {
        for (const EFFECTPRESETENTRY &e : g_aEffectPresets[preset]) {
            if (e.iDelay == -1)
                continue;
            const int32_t copy = g_pfnSeqChannelAlloc ? g_pfnSeqChannelAlloc(channel, 2, track) : 255;
            if (copy < 0 || copy >= 99 || copy == channel)
                continue;
            g_tSeqVoiceOps.setPlugin(copy, plugin);
            SetUp(copy, n, 2);
            SEQCHANNEL &x = g_aSeqChannels[copy];
            x.iPanValue = e.ucPan;
            if (e.ucRate || e.ucDepth) {
                x.ucVibratoRate = e.ucRate;
                x.ucVibratoDepth = e.ucDepth;
            }
            x.ucEffectFlags = e.ucFlags;
            x.ucLevel = (uint8_t)((((n.ucLevel * 256) / 255) * e.ucShare) >> 8);
            x.ucMaster = (uint8_t)channel;
            std::memcpy(x.aucHitMarks, c.aucHitMarks, sizeof(x.aucHitMarks));
            g_aPlayColumns[copy].iLevel = g_aPlayColumns[channel].iLevel;
            g_aPlayColumns[copy].iLevelStep = g_aPlayColumns[channel].iLevelStep;
            g_aPlayColumns[copy].uLevelUpdates = g_aPlayColumns[channel].uLevelUpdates;
            x.iGlideStep = c.iGlideStep;
            x.uGlideLeft = c.uGlideLeft;
            if (!n.ucSetting3) {
                g_tSeqVoiceOps.setReverb(0, copy);
            } else {
                g_tSeqVoiceOps.setReverb(1, copy);
                if (e.ucFlags & 8)
                    g_tSeqVoiceOps.setReverb(0, channel);
            }
            // The copy's level is taken from the note's own, never below 0.
            if ((n.ucSetting3 && (e.ucFlags & 8)) || (e.ucFlags & 32))
                c.ucLevel = (uint8_t)(c.ucLevel > x.ucLevel ? c.ucLevel - x.ucLevel : 0);
            x.iDetune = e.iDetune;
            if ((e.ucFlags & 4) && !(e.ucFlags & 16))
                x.iDetune = (int16_t)(x.iDetune + 1 + (g_sDetuneSweep >> 7));
            else if ((e.ucFlags & 4) && (e.ucFlags & 16))
                x.iDetune = (int16_t)(x.iDetune + g_sDetuneWobble);
            x.uStartDelay = (uint16_t)e.iDelay;
            x.ucState = n.ucSetting2 == 0 ? 7 : 1;
        }
    }
    c.ucState = n.ucSetting2 == 0 ? 7 : 1;
}

void Seq_RunChannels()
{
    s_iKeyOns = 0;
    for (SEQCHANNEL &c : g_aSeqChannels)
        if (c.ucOwner == 2 && c.ucMaster < 99) {
            const SEQCHANNEL &m = g_aSeqChannels[c.ucMaster];
            const bool mute = g_aChannelMute[c.ucMaster][3] || (m.ucFlags & NOTE_FLAG_MUTED);
            c.ucFlags = (uint8_t)((c.ucFlags & ~NOTE_FLAG_MUTED) | (mute ? NOTE_FLAG_MUTED : 0));
        }
    for (int32_t ch = 0; ch < 99; ch++) {
        SEQCHANNEL &c = g_aSeqChannels[ch];
        // A free channel takes no hits: its marks are left from the note it played.
        if (c.ucState == 8 || c.ucState == 0)
            continue;
        if (c.uStartDelay == 0 && c.ucHitIndex < 23) {
            if (c.aucHitMarks[c.ucHitIndex]) {
                c.ucState = 6;
                c.aucHitMarks[c.ucHitIndex] = 0;
                g_tSeqVoiceOps.setReverb(c.aucReverbMarks[c.ucHitIndex] ? 1 : 0, ch);
                c.aucReverbMarks[c.ucHitIndex] = 0;
            }
            if (g_iFineStep != c.ucLastFineStep) {
                c.ucHitIndex++;
                c.ucLastFineStep = (uint8_t)g_iFineStep;
            }
        }
        if (c.ucState == 1 && c.uStartDelay)
            c.ucState = 4;
        if (c.ucState == 4) {
            if (c.uStartDelay == 0)
                c.ucState = 1;
            else if ((c.ucEffectFlags & 2) || g_bQuarterStep)
                c.uStartDelay--;
        }
        if (c.ucState == 6) {
            KeyOn(ch);
            Retune(ch);
        } else if (c.ucState == 7) {
            Retune(ch);
        }
        if (c.ucState == 2)
            Play(ch);
    }
    if (s_iKeyOns)
        g_tSeqVoiceOps.keyVoices(1, 0);
    g_bStepBoundary = 0;
    g_bQuarterStep = 0;
}
