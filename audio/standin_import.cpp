// Stand-in until sample import is built: loads the raw data into a new sample slot and returns
// the slot's index in place of an instrument slot.
#include "audio/standin_import.h"

#include "audio/sampleslot.h"

__attribute__((weak)) int Snd_ImportRawSample(const char *fileName, const void *data, uint32_t size, int rate)
{
    SAMPLESLOT *slot = nullptr;
    uint32_t format = (data || size) ? 16 : 8;
    if (Snd_LoadSample(&slot, fileName ? fileName : "", data, size, format) != 0 || !slot)
        return -1;
    slot->uRate = (uint32_t)rate;
    return (int)slot->uIndex;
}
