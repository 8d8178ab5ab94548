// Stand-in for the screen tiles and the save-under list until they are built: tiles draw
// nothing and there are no saved rectangles to free.
#include <cstdint>

void Gfx_DrawScreenTile(const uint8_t *)
{
}

void Gfx_PopAllSaveUnders()
{
}
