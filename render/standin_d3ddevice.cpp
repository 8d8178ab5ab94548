// Stand-in until the 3-D device module is built: only the shared result word.
#include "render/d3ddevice.h"

int32_t g_hrD3D = 0;
