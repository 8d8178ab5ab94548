// Stand-in for the save-under list until it is built: there are no saved rectangles to free.
// Weak, so the real definition wins at link time.
#include <cstdint>

__attribute__((weak)) void Gfx_PopAllSaveUnders()
{
}
