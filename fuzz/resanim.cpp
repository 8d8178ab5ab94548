// Animation resource files over arbitrary bytes: checked, laid out, and every group's items of
// every frame walked round the ring.
#include "video/resloaders.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    uint8_t *copy = static_cast<uint8_t *>(std::malloc(size ? size : 1));
    if (!copy)
        return 0;
    if (size)
        std::memcpy(copy, data, size);
    ANIMRES *anim = Vid_LayoutLoadedDef(copy, size);
    if (!anim) {
        std::free(copy);
        return 0;
    }
    uint32_t sum = 0;
    const ANIMFRAME *f = anim->frames;
    for (int32_t i = 0; i < anim->frameCount; i++, f = f->next)
        for (int32_t g = 0; g < anim->groupCount; g++)
            if (const uint8_t *items = Vid_GroupItems(anim, f, g))
                for (uint32_t b = 0; b < anim->groups[g].bytes; b++)
                    sum += items[b];
    Vid_FreeAnim(anim);
    return static_cast<int>(sum & 0);
}
