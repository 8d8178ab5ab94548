// Stand-in until the vertex-group animation is built: no animation moves a model.
#include "video/standin_render.h"

__attribute__((weak)) int32_t Vid_AnimateObject(VIDOBJECT *, int32_t time)
{
    return time;
}
