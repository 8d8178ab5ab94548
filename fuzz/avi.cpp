// The video-file reader over arbitrary bytes: open, then decode the first frames, the last one and
// a jump back, as the player would.
#include "render/avireader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    AVIREADER reader;
    if (Gfx_AviOpenMemory(&reader, data, size) == 0) {
        const int32_t count = static_cast<int32_t>(reader.info.dwLength);
        for (int32_t n : {0, 1, 2, count - 1, 1})
            Gfx_AviDecodeFrame(&reader, n);
    }
    Gfx_AviCloseReader(&reader);
    return 0;
}
