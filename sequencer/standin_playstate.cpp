// Stand-in until the clock's play columns and the riff preview are built: nothing holds riffs.
#include "sequencer/playstate.h"

void Seq_LowerPlayRiffIds(int32_t) {}
