// Stand-in until the clock's play modes are built: nothing to reset.
#include "sequencer/playback.h"

void Seq_ResetPlayState() {}
void Seq_InstallDefaultStep() {}
