// Stand-ins for the sequencer calls the program spine makes, until the sequencer is built.
#pragma once

#include <atomic>
#include <cstdint>

extern uint16_t g_uSongRowCount;

void Seq_Init();
void Seq_ResetSongFile();
int Seq_CountUsedRows();
void Seq_ShutdownSong();
void Seq_FreeUndoLog();

// Song transport, until the sequencer is built. The stand-in song plays from a row and steps one
// row every SEQ_STANDIN_TICKS_PER_ROW ticks, past the last used row as well (the mixdown decides
// where to stop); it stops only when told.
constexpr int32_t SEQ_STANDIN_TICKS_PER_ROW = 150;
extern std::atomic<uint32_t> g_uSongRow;
extern uint8_t g_bSongPlaying; // sequencer/standin_song.cpp
// Calls of Seq_Tick so far (stand-in).
extern std::atomic<int32_t> g_iSeqTicks;

// One sequencer step; runs once per mixed block, on the mix thread or the main thread.
void Seq_Tick();
void Seq_StopCueing();
void Seq_PlaySongFrom(uint32_t row);
void Seq_StopSong(); // sequencer/standin_song.cpp
