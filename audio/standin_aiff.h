// Stand-in for the AIFF reader until it is built: it refuses every image.
#pragma once

#include <cstdint>

struct SAMPLESLOT;

// Parses an AIFF image into the slot. 0, or -1 with a text in g_szErrorText.
int Snd_ParseAiff(SAMPLESLOT *pSlot, const uint8_t *pData, uint32_t size);
