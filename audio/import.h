// Sample import: recorded sound and chosen sound files become instruments of the song.
//
// Each import loads the sound into a sample slot, appends a record to the song's sample table
// and fills a new instrument slot, tying the three together with one fresh negative sample id
// (the mark of a sample made in the program). The instrument's name is the record's default name.
#pragma once

#include <cstdint>

struct SAMPLESLOT;

// Imports raw 16-bit mono: from data and size when either is given, else from the named file.
// Rate codes 3, 2, 1 for 44100, 22050, 11025 Hz; other rates keep the slot's default code.
// Returns the instrument slot (1..200). Nothing is left behind when the import fails: -1 when the
// sound cannot be read or the song has no room for another sample, 201 when the instrument table
// is full.
int32_t Snd_ImportRawSample(const char *fileName, const void *pData, uint32_t size, int32_t rate);
// Imports a WAV file: one instrument of the left (or only) channel and, for a stereo file, one of
// the right. Rate codes 3 for 44100, 2 for 22050, 1 for other rates. Returns the instrument of
// the last one made, with the failures of Snd_ImportRawSample.
int32_t Snd_ImportWavSample(const char *fileName);
// Appends a raw 16-bit file to the slot's data (the sample being edited). 1, or -1 (data kept)
// when the file cannot be read or memory is short.
int32_t Snd_AppendRawFile(const char *fileName, SAMPLESLOT *pSlot);
