// Image resource files over arbitrary bytes, through the loader of each image kind (with and
// without the user-image places) and its free.
#include "render/texpages.h"
#include "render/userimages.h"
#include "video/resformat.h"
#include "video/resloaders.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool ready = false;
    if (!ready) {
        Gfx_InitTexturePages();
        Gfx_InitUserImages();
        ready = true;
    }
    const int kinds[] = {RES_BACKTEX, RES_MAPTEX, RES_PARTICLE, RES_MODTEX};
    for (int kind : kinds) {
        void *copy = std::malloc(size ? size : 1);
        if (!copy)
            return 0;
        if (size)
            std::memcpy(copy, data, size);
        const uint16_t path[2] = {0, static_cast<uint16_t>(size > 0 ? data[0] % 20 : 0)};
        g_bSongUserImages = kind == RES_MAPTEX && size > 1 && (data[1] & 1);
        void *image = Vid_LoadImageRes(kind, copy, path, 2, static_cast<uint32_t>(size));
        g_bSongUserImages = 0;
        Vid_FreeImageRes(1, image, path, 2);
    }
    return 0;
}
