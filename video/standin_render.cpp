// Stand-ins until the vertex-group animation and the tunnel chase are built: no animation moves
// a model, and no tunnel is drawn.
#include "video/standin_render.h"

__attribute__((weak)) int32_t Vid_AnimateObject(VIDOBJECT *, int32_t time)
{
    return time;
}

__attribute__((weak)) void Vid_DrawTunnel(VIDOBJECT *, int32_t)
{
}
