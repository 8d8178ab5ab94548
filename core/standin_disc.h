// Stand-in for the disc file layer and the settings' data folder until they are built: host files
// only, under g_szDataDir, with '\' taken as '/'. Same names and signatures as the real layer.
#pragma once

#include <cstdint>
#include <cstdio>

struct DISCFILE
{
    uint32_t uKind;
    uint32_t uPosition;
    uint32_t uStartSector;
    uint32_t uHostSize;
    FILE *pHostFile;
};

extern char g_szDataDir[256];

DISCFILE *Sys_DiscOpen(const char *name);
int Sys_DiscFileSize(DISCFILE *handle);
int Sys_DiscRead(void *buffer, int size, int count, DISCFILE *handle);
int Sys_DiscSeek(DISCFILE *handle, int offset, int whence);
void Sys_DiscClose(DISCFILE *handle);
int Sys_MsfFromSector(int sector, uint8_t *outMsf);
