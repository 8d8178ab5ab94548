// Stand-in until the resource loaders are in: no resource has data, so the chase types that
// need one refuse their keys or draw nothing.
#include "video/standin_chaseres.h"

__attribute__((weak)) void *Vid_GetResData(int32_t)
{
    return nullptr;
}

__attribute__((weak)) int32_t Vid_ChasePointCount(const void *, int32_t *closed)
{
    if (closed)
        *closed = 0;
    return 0;
}

__attribute__((weak)) int32_t Vid_ChasePoint(const void *, int32_t, int32_t, int32_t, int32_t *)
{
    return -1;
}

__attribute__((weak)) VIDMOVIEREC *Vid_ChaseMovieRecord(void *)
{
    return nullptr;
}

__attribute__((weak)) void Vid_ChaseSetAnimSpeed(void *, int32_t)
{
}
