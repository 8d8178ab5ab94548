// Stand-in for the video engine's library lookup by name, until the video engine is built.
#pragma once

#include <cstdint>

// Finds library resource (kind, three path levels, 8-byte name): its four index numbers and its
// size in bytes (48-byte header included). 0, or -1 when there is none.
int Vid_LoadResByName(int32_t kind, const uint8_t path[3], const char name[8], uint16_t aIndex[4], uint32_t *pSize);
