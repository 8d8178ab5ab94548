// Stand-ins for the core shutdown's release of buffers and pool headers that other services own
// (camera frame blocks, interface and transfer buffers, clip pools, the video engine's early
// table), until those services exist and the core shutdown frees them itself.
#pragma once

void Sys_FreeFrameBlocks();
void Sys_FreeCoreTables();
void Sys_FreeCoreLayout();
