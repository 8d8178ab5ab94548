// Stand-ins for the sequencer calls the program spine makes, until the sequencer is built.
#pragma once

#include <cstdint>

extern uint16_t g_uSongRowCount;

void Seq_Init();
void Seq_ResetSongFile();
int Seq_CountUsedRows();
void Seq_ShutdownSong();
void Seq_FreeUndoLog();
