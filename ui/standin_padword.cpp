// Stand-in for the interface's pad word until the interface's pad handling is built. Weak, so the
// real definition wins at link time.
#include <cstdint>

__attribute__((weak)) uint16_t g_wUiPadWord;
