// Effect plug-in instances that voices can be mixed into.
// Stand-in until the plug-ins are built: the instance table and the calls the mixer makes.
#pragma once

#include <cstdint>

constexpr int SND_PLUGIN_SLOTS = 80;

struct PLUGININSTANCE
{
    uint32_t uBlockFlag;
    int16_t *pInput; // 16-bit stereo block the attached voices are mixed into
};

extern PLUGININSTANCE *g_apPlugins[SND_PLUGIN_SLOTS];

// Writes the instance of slot 0..79 (null when empty, or for any other slot). Returns 0.
int Snd_GetPlugin(int32_t slot, PLUGININSTANCE **ppOut);
// Runs every open instance over the block and clears its input. Returns 0.
int Snd_ApplyPlugins(int16_t *pMix, int32_t frames);
