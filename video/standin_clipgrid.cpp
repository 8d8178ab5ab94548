// Stand-in until the video clips are built: there are no clip grids to empty.
#include "video/standin_clipgrid.h"

void Vid_FreeClipGrid(int32_t)
{
}
