// Stand-ins for the archive and its disc records, until they are built.
#pragma once

#include <cstdint>

int Sys_WadOpen(const char *wadName, const char *indexName, int mode);
void Sys_WadFreeBuffers();
void Sys_FreeDiscPool();
