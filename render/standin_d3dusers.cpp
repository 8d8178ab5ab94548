// Stand-ins for the quad index grid and the scene state of the primitive drawers, until those
// are built on the 3-D device.
#include "render/d3ddevice.h"

int32_t Gfx_InitQuadIndexGrid()
{
    return 0;
}

int32_t Gfx_ResetLightingState()
{
    return 0;
}
