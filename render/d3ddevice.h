// The 3-D device as the drawing layer sees it.
#pragma once

#include <cstdint>

// Result of the last call made on the 3-D device (0 = success).
extern int32_t g_hrD3D;
