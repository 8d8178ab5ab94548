// Stand-in for the AIFF reader until it is built. Weak, so the real reader wins at link time.
#include "audio/standin_aiff.h"

#include "core/file.h"

#include <cstdio>

__attribute__((weak)) int Snd_ParseAiff(SAMPLESLOT *, const uint8_t *, uint32_t)
{
    snprintf(g_szErrorText, sizeof g_szErrorText, "AIFF files can't be read yet");
    return -1;
}
