// Stand-in until the plug-ins are built: no libraries, so applying only clears the inputs.
#include "audio/plugin.h"

#include <cstring>

PLUGININSTANCE *g_apPlugins[SND_PLUGIN_SLOTS];

int Snd_GetPlugin(int32_t slot, PLUGININSTANCE **ppOut)
{
    if (!ppOut)
        return 0;
    *ppOut = (slot >= 0 && slot < SND_PLUGIN_SLOTS) ? g_apPlugins[slot] : nullptr;
    return 0;
}

int Snd_ApplyPlugins(int16_t *, int32_t frames)
{
    for (PLUGININSTANCE *p : g_apPlugins) {
        if (p && p->pInput && frames > 0)
            memset(p->pInput, 0, (size_t)frames * 4);
        if (p)
            p->uBlockFlag = 0;
    }
    return 0;
}
