// Stand-ins for the console memory layout, the core bring-up and its release, until they are built.
#pragma once

#include <cstdint>

// The console display configuration handed to the core bring-up.
struct DISPLAYCONFIG
{
    int32_t iWidth;
    int32_t iHeight;
    uint32_t uPacketBufferSize;
    int32_t iA;
    int32_t iB;
    int32_t iOrderingTableEntries;
};

extern int32_t g_iScreenWidth;
extern int32_t g_iScreenHeight;
extern uint32_t g_uEmulatedFreeMemory;
extern int32_t g_iFrameCount;
extern uint8_t g_ucDebugBreak;

void Sys_SetDisplayConfig(const DISPLAYCONFIG *config);
void Sys_InitDisplayEnvs();
void Sys_InitCore();
void Sys_InitPackets();
void Sys_AllocOrderingTables(int frameBuffer, int count);
void Sys_SetSmallPrimAreas();
void Sys_InitSaveIcons();
void Sys_DebugPrintf(const char *text);
void Sys_FreeFrameBlocks();
void Sys_FreeCoreTables();
void Sys_FreePacketBuffers();
void Sys_FreeCoreLayout();
