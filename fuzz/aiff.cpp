// The AIFF reader on arbitrary bytes: every image is refused cleanly or gives a slot whose
// header stays inside its data; the per-sample buffers load, play and mix the same images.
#include "audio/aiff.h"
#include "audio/mixer.h"
#include "audio/samplebuffer.h"
#include "audio/sampleslot.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

static void CheckSlot(const SAMPLESLOT *p)
{
    if (!p->pData || p->pStart != p->pData || p->pEnd != p->pData + (size_t)p->uFrames * 4)
        abort();
    if (p->pLoop < p->pStart || p->pLoop >= p->pEnd || !(p->uFlags & SAMPLE_STEREO))
        abort();
    volatile uint8_t sum = 0;
    for (const uint8_t *b = p->pStart; b < p->pEnd; b++)
        sum = (uint8_t)(sum + *b);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int16_t out[4096 * 2];
    static bool started = [] {
        if (Snd_InitSampleEngine(256) != 0)
            return false;
        float rate = 44100.0f, seconds = 0.0016666667f;
        Snd_SetMixParam(1, &rate);
        Snd_SetMixParam(4, &seconds);
        Snd_SetMixParam(16, out);
        return true;
    }();
    if (!started || size < 1 || size > (1u << 20))
        return 0;

    // An odd first byte puts a form header in front, so that the chunk walk is reached often.
    std::vector<uint8_t> image;
    if (data[0] & 1) {
        const uint8_t head[12] = {'F', 'O', 'R', 'M', 0, 0, 0, 0, 'A', 'I', 'F', 'F'};
        image.assign(head, head + 12);
    }
    image.insert(image.end(), data + 1, data + size);

    AIFFINFO info;
    if (Snd_ReadAiffInfo(image.data(), (uint32_t)image.size(), &info) == 0) {
        if (!info.uFrames || !info.uChannels || info.pSamples < image.data())
            abort();
        uint64_t bytes = (uint64_t)info.uFrames * info.uChannels * ((info.uBits + 7u) / 8u);
        if (info.pSamples + bytes > image.data() + image.size())
            abort();
        Snd_AiffSample(&info, info.uFrames - 1, info.uChannels - 1u);
    }

    const std::vector<uint8_t> before = image;
    SAMPLESLOT *p = nullptr;
    if (Snd_LoadSample(&p, "fuzz", image.data(), (uint32_t)image.size(), SAMPLE_FORMAT_AIFF_MEMORY) == 0) {
        CheckSlot(p);
        Snd_FreeSample(p);
    }
    if (image != before)
        abort();

    int32_t index = -1;
    if (Snd_TakeSampleBuffer(&index) == 0 &&
        Snd_LoadSampleBufferAiff(index, image.data(), (uint32_t)image.size()) == 0) {
        Snd_SetSampleBufferFrequency(index, 100 + data[0] * 700u);
        Snd_PlaySampleBuffer(index, data[0] & 2, 0);
        for (int block = 0; block < 4; block++)
            Snd_MixBlock();
    }
    Snd_ReleaseAllSampleBuffers();
    return 0;
}
