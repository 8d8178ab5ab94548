// Stand-in for the key list until the event lists are built: the song has no key.
#include "sequencer/eventlists.h"

int32_t Seq_SongKeyAt(int32_t, int32_t *pMode)
{
    if (pMode)
        *pMode = 0;
    return 0;
}
