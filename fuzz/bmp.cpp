// The BMP reader over arbitrary bytes: parse, sample to a user picture, paint onto a headless
// back buffer.
#include "platform/backend.h"
#include "render/bitmap.h"
#include "render/display.h"

#include <cstdint>
#include <cstddef>

namespace {

bool OpenDisplay()
{
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    return Gfx_EnumerateDisplayDevices(nullptr) == 0 && Gfx_CreateDirectDraw(0) == 0 &&
           Gfx_SetDisplayMode(Gfx_FindDisplayMode(640, 480, 16)) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool s_bDisplay = OpenDisplay();
    BMPIMAGE bmp;
    if (Gfx_ParseBmp(data, size, &bmp) != 0)
        return 0;
    static uint8_t picture[USERIMAGE_BYTES];
    static uint8_t palette[USERPALETTE_BYTES];
    Gfx_SampleBmp(bmp, picture, palette);
    if (s_bDisplay)
        Gfx_BlitBitmap(bmp);
    return 0;
}
