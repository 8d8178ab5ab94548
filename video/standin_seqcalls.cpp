// Stand-in until the sequencer's interface sounds are built: plays nothing.
#include "video/standin_seqcalls.h"

__attribute__((weak)) void Seq_PlayInterfaceSound(int32_t)
{
}
