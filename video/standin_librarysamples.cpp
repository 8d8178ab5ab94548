// Stand-in until the sequencer's instruments come from the archive.
#include "video/standin_librarysamples.h"

#include "sequencer/standin_songdata.h"

int Vid_StandinFindLibrarySample(const uint8_t path[3], const char name[8], uint16_t aIndex[4], uint32_t *pSize)
{
    return Seq_StandinFindLibrarySample(path, name, aIndex, pSize);
}
