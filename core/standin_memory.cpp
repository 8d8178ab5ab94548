#include "core/standin_memory.h"

#include "app/calllog.h"

#include <cstdio>

int32_t g_iScreenWidth = 0;
int32_t g_iScreenHeight = 0;
uint32_t g_uEmulatedFreeMemory = 0;
int32_t g_iFrameCount = 0;
uint8_t g_ucDebugBreak = 0;

// Stand-in: keeps the screen size the rest of the start-up reads.
void Sys_SetDisplayConfig(const DISPLAYCONFIG *config)
{
    Sys_CallLog("Sys_SetDisplayConfig");
    if (config) {
        g_iScreenWidth = config->iWidth;
        g_iScreenHeight = config->iHeight;
    }
}

// Stand-in.
void Sys_InitDisplayEnvs()
{
    Sys_CallLog("Sys_InitDisplayEnvs");
}

// Stand-in: a fixed free-memory figure, well above the low-memory warning.
void Sys_InitCore()
{
    Sys_CallLog("Sys_InitCore");
    g_uEmulatedFreeMemory = 1u << 20;
    g_ucDebugBreak = 0;
}

// Stand-in.
void Sys_InitPackets()
{
    Sys_CallLog("Sys_InitPackets");
}

// Stand-in.
void Sys_AllocOrderingTables(int frameBuffer, int count)
{
    char name[48];
    std::snprintf(name, sizeof name, "Sys_AllocOrderingTables(%d,%d)", frameBuffer, count);
    Sys_CallLog(name);
}

// Stand-in: points each frame buffer's small-primitive area at its own block.
void Sys_SetSmallPrimAreas()
{
    Sys_CallLog("Sys_SetSmallPrimAreas");
}

// Stand-in.
void Sys_InitSaveIcons()
{
    Sys_CallLog("Sys_InitSaveIcons");
}

// Stand-in: the console print call prints nothing.
void Sys_DebugPrintf(const char *)
{
    Sys_CallLog("Sys_DebugPrintf");
}

// Stand-in: frees the camera frame blocks, the ordering-table arrays, the save-icon buffer and
// the video engine's further buffer, each when present.
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

// Stand-in.
void Sys_FreePacketBuffers()
{
    Sys_CallLog("Sys_FreePacketBuffers");
}

// Stand-in: frees the video engine's early table and the memory-layout control block.
void Sys_FreeCoreLayout()
{
    Sys_CallLog("Sys_FreeCoreLayout");
}
