// Stand-in until the sample import is built: the two imports the disk browser calls.
#pragma once

#include <cstdint>

// Raw 16-bit mono from data and size when either is given, else from the named file. The
// instrument slot (1..200), or -1 when the sound cannot be read.
int32_t Snd_ImportRawSample(const char *fileName, const void *pData, uint32_t size, int32_t rate);
// A WAV file; results as Snd_ImportRawSample.
int32_t Snd_ImportWavSample(const char *fileName);
