// Stand-in for the video engine's resource-kind set-up of a disc record until the video engine is
// built. Weak, so the real definition wins at link time.
#include <cstdint>
#include <cstring>

__attribute__((weak)) void Vid_InitDiscResKinds(uint8_t *discData)
{
    static const char *const kKinds[] = {"RES_MODELS", "RES_MODTEX", "RES_LAYOUT",  "RES_BACK",
                                         "RES_BACKTEX", "RES_MAPTEX", "RES_PATH",   "RES_PARTICLE",
                                         "RES_TEXT",   "RES_INSTRUMENT", "RES_ANIM"};
    std::memset(discData, 0, 520);
    for (size_t i = 0; i < sizeof(kKinds) / sizeof(kKinds[0]); i++)
        std::memcpy(discData + i * 40, kKinds[i], std::strlen(kKinds[i]));
}

// Nothing is loaded into a resource-kind row until the video engine exists.
__attribute__((weak)) void Vid_ReleaseResData(uint8_t *)
{
}
