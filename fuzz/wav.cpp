// The WAV reader over arbitrary bytes: open, read everything, close.
#include "audio/wav.h"
#include "fuzz/fuzztemp.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = FuzzTempDir() + "/tnv_fuzz_wav_" + std::to_string(getpid()) + ".wav";
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    if (Snd_WavOpenRead(path.c_str()) == 0) {
        int16_t *left = nullptr, *right = nullptr;
        int frames = 0, rate = 0;
        Snd_WavReadData(&left, &right, &frames, &rate);
        if (frames > 0 && left)
            (void)left[frames - 1];
        if (frames > 0 && right)
            (void)right[frames - 1];
        std::free(left);
        std::free(right);
        Snd_WavCloseRead();
    }
    return 0;
}
