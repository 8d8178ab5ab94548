// The ADPCM decoder and the sample loaders on arbitrary bytes: every load either fails cleanly or
// gives a slot whose header stays inside its data, and the decoder writes no more than it said.
#include "audio/adpcm.h"
#include "audio/mixer.h"
#include "audio/sampleslot.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

static void CheckSlot(const SAMPLESLOT *p)
{
    uint32_t frameBytes = (p->uFlags & SAMPLE_STEREO) ? 4 : 2;
    if (!p->pData || p->pStart != p->pData || p->pEnd != p->pData + (size_t)p->uFrames * frameBytes)
        abort();
    if (p->pLoop < p->pStart || p->pLoop > p->pEnd)
        abort();
    // Touch every frame: the sanitizer sees a short buffer.
    volatile uint8_t sum = 0;
    for (const uint8_t *b = p->pStart; b < p->pEnd; b++)
        sum = (uint8_t)(sum + *b);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool started = Snd_InitSampleEngine(256) == 0;
    if (!started || size > (1u << 20))
        return 0;

    std::vector<int16_t> out(Snd_AdpcmMaxSamples((uint32_t)size) + 1, 0x5A5A);
    ADPCMDECODE info;
    if (Snd_DecodeAdpcm(data, (uint32_t)size, out.data(), (uint32_t)out.size(), &info) != 0)
        abort();
    if (info.uSamples > out.size() - 1 || out.back() != 0x5A5A)
        abort();
    if (info.bLoops && info.uLoopStartFrame > info.uSamples)
        abort();

    for (uint32_t format : {SAMPLE_FORMAT_ADPCM_MEMORY, SAMPLE_FORMAT_RAW_MEMORY, SAMPLE_FORMAT_AIFF_MEMORY}) {
        SAMPLESLOT *p = nullptr;
        if (Snd_LoadSample(&p, "fuzz", data, (uint32_t)size, format) != 0)
            continue;
        CheckSlot(p);
        if (Snd_NarrowSample(p) == 0)
            CheckSlot(p);
        if (Snd_WidenSample(p) == 0)
            CheckSlot(p);
        Snd_FreeSample(p);
    }
    return 0;
}
