// Stand-in until the resource pages are built: nothing can be loaded, so chase types that need a
// resource refuse their keys.
#include "video/standin_resources.h"

__attribute__((weak)) void *Vid_LoadResource(int32_t, const uint16_t *, int32_t, int32_t *outId)
{
    if (outId)
        *outId = -1;
    return nullptr;
}

__attribute__((weak)) void Vid_AddResRef(int32_t)
{
}

__attribute__((weak)) int32_t Vid_ReleaseResRef(int32_t)
{
    return 0;
}

__attribute__((weak)) int32_t Vid_GetResSaveNumber(int32_t)
{
    return -1;
}

__attribute__((weak)) int32_t Vid_GetResIndexPath(int32_t, uint16_t *, int32_t *)
{
    return -1;
}
