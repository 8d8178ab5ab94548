// Stand-in for the archive until the archive reader is built: no archive ever opens. Weak, so
// the real definitions win at link time.
#include "core/wad.h"

__attribute__((weak)) int g_iDiscError;

__attribute__((weak)) int Sys_WadOpen(const char *, const char *, int)
{
    return 0;
}

__attribute__((weak)) void Sys_WadClose()
{
}
