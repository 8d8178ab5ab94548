#include "sequencer/standin_sequencer.h"

#include "app/calllog.h"

// Stand-in until the song file is built.
void Seq_ResetSongFile()
{
    Sys_CallLog("Seq_ResetSongFile");
}
