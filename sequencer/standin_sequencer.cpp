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

std::atomic<uint32_t> g_uSongRow{0};
std::atomic<int32_t> g_iSeqTicks{0};

namespace {
std::atomic<int32_t> s_iTicksInRow{0};
} // namespace

// Stand-in. Not logged: it runs on the mix thread.
void Seq_Tick()
{
    g_iSeqTicks++;
    if (!g_bSongPlaying)
        return;
    if (++s_iTicksInRow >= SEQ_STANDIN_TICKS_PER_ROW) {
        s_iTicksInRow = 0;
        g_uSongRow++;
    }
}

// Stand-in.
void Seq_StopCueing()
{
    Sys_CallLog("Seq_StopCueing");
}

// Stand-in.
void Seq_PlaySongFrom(uint32_t row)
{
    Sys_CallLog("Seq_PlaySongFrom");
    s_iTicksInRow = 0;
    g_uSongRow = row;
    g_bSongPlaying = 1;
}
