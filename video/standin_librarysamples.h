// Stand-in until the sequencer's instruments come from the archive: the sequencer's stand-in
// library answers the lookups by name that the archive cannot.
#pragma once

#include <cstdint>

int Vid_StandinFindLibrarySample(const uint8_t path[3], const char name[8], uint16_t aIndex[4], uint32_t *pSize);
