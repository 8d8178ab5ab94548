// Stand-in until the resource pages are built: no page pool, no loaders.
#include "video/standin_respool.h"

#include "app/calllog.h"

__attribute__((weak)) void Vid_CreateResPagePool()
{
    Sys_CallLog("Vid_CreateResPagePool");
}

__attribute__((weak)) void Vid_InstallResLoaders()
{
}
