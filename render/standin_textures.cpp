// Stand-in for the texture table until it is built: no slot holds a texel source yet.
#include <cstdint>

const uint16_t *Gfx_TextureSlotTexels(int32_t)
{
    return nullptr;
}
