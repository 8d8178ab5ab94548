// The song's user image block over arbitrary bytes: read, then written back.
#include "render/userimages.h"

#include <cstdint>
#include <cstddef>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool s_bBank = (Gfx_InitUserImages(), true);
    (void)s_bBank;
    if (Gfx_ReadUserImages(data, size) == 0) {
        std::vector<uint8_t> out(Gfx_GetUserImagesSize());
        Gfx_WriteUserImages(out.data());
    }
    return 0;
}
