// Stand-in for the video clips' grids until the clips are built.
#pragma once

#include <cstdint>

void Vid_FreeClipGrid(int32_t grid);
