// Stand-ins for the screen tiles and the save-under list until they are built: tiles draw
// nothing and there are no saved rectangles to free. Weak, so the real definitions win at link
// time.
#include <cstdint>

__attribute__((weak)) void Gfx_DrawScreenTile(int32_t, int32_t, uint8_t, uint8_t, uint8_t)
{
}

__attribute__((weak)) void Gfx_PopAllSaveUnders()
{
}
