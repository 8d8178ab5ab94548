// Stand-ins for the texture table's format choice until the texture table is built on the 3-D
// device.
#include "render/d3ddevice.h"

int32_t Gfx_EnumTextureFormats()
{
    return 0;
}

int32_t Gfx_FindTextureFormat()
{
    return 0;
}
