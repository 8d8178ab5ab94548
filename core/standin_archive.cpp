#include "core/standin_archive.h"

#include "app/calllog.h"

// Stand-in.
void Sys_WadFreeBuffers()
{
    Sys_CallLog("Sys_WadFreeBuffers");
}

// Stand-in: releases every "DISKNAMES" record's resource rows, frees the records and the pool.
void Sys_FreeDiscPool()
{
    Sys_CallLog("Sys_FreeDiscPool");
}
