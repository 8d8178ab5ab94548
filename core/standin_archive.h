// Stand-ins for the archive's buffer release and its disc records' release, until they are built.
#pragma once

#include <cstdint>

void Sys_WadFreeBuffers();
void Sys_FreeDiscPool();
