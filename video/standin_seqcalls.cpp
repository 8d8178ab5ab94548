// Stand-ins until the sequencer builds these: an interface sound that plays nothing, and an empty
// song grid.
#include "video/standin_seqcalls.h"

__attribute__((weak)) void Seq_PlayInterfaceSound(int32_t)
{
}

__attribute__((weak)) uint16_t g_aSongGrid[1000][99];
