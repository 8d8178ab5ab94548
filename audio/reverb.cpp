// Stand-in until the reverb stage is built: no delay lines, the dry send passes to the output.
#include "audio/reverb.h"

#include "audio/mixer.h"

int Snd_ApplyReverbPreset(int32_t)
{
    g_bReverbChanged = 0;
    return 0;
}

int Snd_MixReverb()
{
    if (!g_pMixOut || !g_pMixSend || g_pMixSend == g_pMixOut)
        return 0;
    for (int32_t i = 0; i < g_iMixFrames * 2; i++) {
        int32_t v = g_pMixOut[i] + g_pMixSend[i];
        g_pMixOut[i] = (int16_t)(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
    }
    return 0;
}

void Snd_FreeReverbDelays()
{
}
