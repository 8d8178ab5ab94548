// Stand-in for the interface's current fill colour until its colour setters are built. Weak, so
// the real definition wins at link time.
#include <cstdint>

__attribute__((weak)) uint8_t g_abFillColour[3];
