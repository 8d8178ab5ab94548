// Stand-in until the video engine's resource lookup is built: looks in the stand-in library.
#include "video/standin_resbyname.h"

#include "sequencer/standin_songdata.h"

int Vid_LoadResByName(int32_t kind, const uint8_t path[3], const char name[8], uint16_t aIndex[4], uint32_t *pSize)
{
    if (kind != 9 || !path || !name || !aIndex)
        return -1;
    return Seq_StandinFindLibrarySample(path, name, aIndex, pSize);
}
