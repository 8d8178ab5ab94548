// Stand-in until the sample import is built: loads the sound into a sample slot and answers the
// slot's number as its instrument; nothing is registered with the song. Weak, so the real
// definitions win at link time.
#include "audio/standin_import.h"

#include "audio/sampleslot.h"
#include "audio/wav.h"
#include "core/file.h"

#include <cstdio>
#include <cstdlib>

__attribute__((weak)) int32_t Snd_ImportRawSample(const char *fileName, const void *pData, uint32_t size, int32_t rate)
{
    SAMPLESLOT *slot = nullptr;
    const uint32_t format = (pData || size) ? SAMPLE_FORMAT_RAW_MEMORY : SAMPLE_FORMAT_RAW_FILE;
    if (rate <= 0 || Snd_LoadSample(&slot, fileName, pData, size, format) != 0 || !slot)
        return -1;
    slot->uRate = static_cast<uint32_t>(rate);
    return static_cast<int32_t>(slot->uIndex) + 1;
}

__attribute__((weak)) int32_t Snd_ImportWavSample(const char *fileName)
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
    int32_t result = -1;
    if (left && frames > 0)
        result = Snd_ImportRawSample(fileName, left, static_cast<uint32_t>(frames) * 2, rate);
    else
        std::snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s). No samples.", fileName);
    std::free(left);
    std::free(right);
    return result;
}
