// Stand-in until sample import is built: declares the raw import CD sampling calls.
#pragma once

#include <cstdint>

// Raw 16-bit mono from data (when data or size is given) or from the named file, at rate, into a
// new instrument. The instrument slot, or -1.
int Snd_ImportRawSample(const char *fileName, const void *data, uint32_t size, int rate);
