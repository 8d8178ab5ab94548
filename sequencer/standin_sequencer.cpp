#include "sequencer/standin_sequencer.h"

#include "app/calllog.h"

uint16_t g_uSongRowCount = 0;

// Stand-in.
void Seq_Init()
{
    Sys_CallLog("Seq_Init");
}

// Stand-in.
void Seq_ResetSongFile()
{
    Sys_CallLog("Seq_ResetSongFile");
}

// Stand-in: an empty song.
int Seq_CountUsedRows()
{
    Sys_CallLog("Seq_CountUsedRows");
    g_uSongRowCount = 0;
    return 0;
}

// Stand-in.
void Seq_ShutdownSong()
{
    Sys_CallLog("Seq_ShutdownSong");
}

// Stand-in.
void Seq_FreeUndoLog()
{
    Sys_CallLog("Seq_FreeUndoLog");
}
