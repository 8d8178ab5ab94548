#include "core/standin_memory.h"

#include "app/calllog.h"

// Stand-in: frees the camera frame blocks, each frame buffer's two ordering-table arrays, the
// save-icon buffer and the video engine's further buffer, each when present.
void Sys_FreeFrameBlocks()
{
    Sys_CallLog("Sys_FreeFrameBlocks");
}

// Stand-in: frees the resource-page, animation-extra, lane-block, clip and clip-entry pool
// headers, the language texts and the interface and transfer buffers, each when present.
void Sys_FreeCoreTables()
{
    Sys_CallLog("Sys_FreeCoreTables");
}

// Stand-in: frees the video engine's early table and the memory-layout control block.
void Sys_FreeCoreLayout()
{
    Sys_CallLog("Sys_FreeCoreLayout");
}
