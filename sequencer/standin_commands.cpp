// Stand-in until the sequencer's command chains are built. Weak, so the real one wins at link time.
#include "sequencer/standin_commands.h"

__attribute__((weak)) int32_t Seq_CommandParamCount(int32_t defaultCount, int32_t code)
{
    switch (code)
    {
    case 0: return 4;
    case 1: return 5;
    case 2: return 6;
    case 3: return 10;
    case 4:
    case 5:
    case 7: return 7;
    case 6: return 14;
    default: return defaultCount;
    }
}
