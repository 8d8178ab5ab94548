// Stand-in until sample import is built: loads the sound into a new sample slot and returns the
// slot's index in place of an instrument slot; nothing is registered with the song. Weak, so the
// real definitions win at link time.
#include "audio/standin_import.h"

#include "audio/sampleslot.h"
#include "audio/wav.h"
#include "core/file.h"

#include <cstdio>
#include <cstdlib>

__attribute__((weak)) int Snd_ImportRawSample(const char *fileName, const void *data, uint32_t size, int rate)
{
    SAMPLESLOT *slot = nullptr;
    uint32_t format = (data || size) ? 16 : 8;
    if (Snd_LoadSample(&slot, fileName ? fileName : "", data, size, format) != 0 || !slot)
        return -1;
    slot->uRate = (uint32_t)rate;
    return (int)slot->uIndex;
}

__attribute__((weak)) int Snd_ImportWavSample(const char *fileName)
{
    if (Snd_WavOpenRead(fileName) != 0) {
        std::snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s). %s", fileName ? fileName : "",
                      Snd_WavErrorText());
        return -1;
    }
    int16_t *left = nullptr, *right = nullptr;
    int frames = 0, rate = 0;
    Snd_WavReadData(&left, &right, &frames, &rate);
    Snd_WavCloseRead();
    int result = -1;
    if (left && frames > 0)
        result = Snd_ImportRawSample(fileName, left, static_cast<uint32_t>(frames) * 2, rate);
    else
        std::snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s). No samples.", fileName);
    std::free(left);
    std::free(right);
    return result;
}
