// tnv_song info over arbitrary bytes: the chunk listing of a song file, behind its save header or bare.
#include "sequencer/songfile.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    int32_t tagged = 1;
    const int32_t at = Seq_LocateSongImage(data, size, &tagged);
    if (at < 0 || (size_t)at > size)
        return 0;
    std::string text;
    Seq_DescribeImage(data + at, size - (size_t)at, &text);
    return 0;
}
