#include "core/soundlib.h"

#include "app/startup.h"
#include "audio/mixer.h"
#include "audio/reverb.h"
#include "audio/soundout.h"
#include "core/mixlock.h"

#include <mutex>

std::atomic<int32_t> g_iKeyFrameCounter{0};

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

bool IsVoice(int32_t voice)
{
    return voice >= 0 && voice < SND_VOICE_COUNT;
}

// A preset change puts both depths back to 256. A depth asked together with the change (in the
// same call, or while the change waits for the mix) is kept over that one change only, so a song
// loaded later never inherits an earlier song's depth.
void SetDepths(const SOUNDATTR &r, bool withPreset)
{
    const bool keep = withPreset || g_bReverbChanged;
    if (r.uMask & SOUNDATTR_DEPTH_LEFT) {
        g_iReverbDepthLeft = r.uDepthLeft;
        if (keep)
            g_iReverbAskedDepthLeft = r.uDepthLeft;
    }
    if (r.uMask & SOUNDATTR_DEPTH_RIGHT) {
        g_iReverbDepthRight = r.uDepthRight;
        if (keep)
            g_iReverbAskedDepthRight = r.uDepthRight;
    }
}

} // namespace

int32_t Sys_KeyVoices(int32_t on, int32_t voice)
{
    int32_t counter = g_iKeyFrameCounter + 1;
    g_iKeyFrameCounter = counter >= SYS_KEY_COUNTER_WRAP ? 0 : counter;
    Lock lock(g_csMix);
    if (on) {
        for (VOICE &v : g_astVoices) {
            if ((v.uState & VOICE_PREPARED) && v.pSlot)
                Snd_StartVoice(&v, v.pSlot, 0);
        }
    } else if (voice == SYS_ALL_VOICES) {
        for (VOICE &v : g_astVoices)
            v.uState = 0;
        for (VOICE &v : g_astVoices)
            Snd_StopVoice(&v);
    } else if (IsVoice(voice)) {
        Snd_StopVoice(&g_astVoices[voice]);
    }
    return 0;
}

int32_t Sys_SetVoiceVolume(int32_t voice, int32_t left, int32_t right)
{
    if (!IsVoice(voice))
        return -1;
    return Snd_SetVoiceVolume(&g_astVoices[voice], left, right);
}

int32_t Sys_SetVoiceAttributes(const SOUNDATTR *record)
{
    if (!record)
        return -1;
    if (record->uMask & (SOUNDATTR_VALUE | SOUNDATTR_DEPTH_LEFT))
        return Snd_SetMasterVolume(record->iValue1, record->iValue2);
    return 0;
}

int32_t Sys_SetVoiceReverb(int32_t on, int32_t voice)
{
    Lock lock(g_csMix);
    if (voice >= SYS_ALL_VOICES_FROM) {
        for (VOICE &v : g_astVoices)
            v.uReverbSend = (uint32_t)on;
    } else if (IsVoice(voice)) {
        g_astVoices[voice].uReverbSend = (uint32_t)on;
    }
    return 0;
}

int32_t Sys_SetReverbEnable(int32_t on)
{
    g_bReverbOn = on;
    return on;
}

int32_t Sys_SetReverbDepth(const SOUNDATTR *record)
{
    if (record) {
        Lock lock(g_csMix);
        SetDepths(*record, false);
    }
    return 0;
}

int32_t Sys_SetReverbAttributes(const SOUNDATTR *record)
{
    if (!record)
        return -1;
    Lock lock(g_csMix);
    const bool preset = (record->uMask & SOUNDATTR_VALUE) && record->iValue1 >= 0 &&
                        record->iValue1 < SND_REVERB_PRESETS;
    SetDepths(*record, preset);
    if (record->uMask & SOUNDATTR_VALUE) {
        if (!preset)
            return -1;
        g_iReverbType = record->iValue1;
        g_bReverbChanged = 1;
    }
    return 0;
}

int32_t Sys_ClearReverbLines(int32_t)
{
    Snd_ClearReverbDelays();
    return 0;
}

int32_t Sys_PollSoundState(int32_t, int32_t)
{
    return 1;
}

int32_t Sys_PauseAudioMix(int32_t)
{
    Snd_ClearStreamBuffer();
    g_bAudioMixEnabled = 0;
    return g_iMixTimerMode;
}

int32_t Sys_ResumeAudioMix(int32_t)
{
    g_bAudioMixEnabled = 1;
    return g_iMixTimerMode;
}

int32_t Sys_SetSoundInterrupt(int32_t)
{
    return 0;
}

void *Sys_SetSoundInterruptHandler(void *handler)
{
    return handler;
}

int32_t Sys_InitSound()
{
    return 0;
}

int32_t Sys_ApplySoundAttributes(const SOUNDATTR *)
{
    return 0;
}

int32_t Sys_PrepareSoundTransfer()
{
    return 0;
}

int32_t Sys_WaitSoundTransfer(int32_t)
{
    return 0;
}

int32_t Sys_SetSoundTransferMode(int32_t)
{
    return 0;
}

int32_t Sys_SetSoundTransferAddress(uint32_t)
{
    return 0;
}

int32_t Sys_WriteSoundMemory(const void *, uint32_t)
{
    return 0;
}

int32_t Sys_WriteSoundMemoryPart(const void *, uint32_t, uint32_t)
{
    return 0;
}
