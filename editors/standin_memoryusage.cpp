// STAND-IN for the memory totals of the clip palette's module until it is built: the song's
// riff and note records and its used grid rows, in bytes, so the top bar shows a live figure.
#include "editors/topbar.h"

#include "sequencer/songmodel.h"

int32_t g_iSongMemoryBytes = 0;

void Ed_UpdateMemoryUsage()
{
    int64_t bytes = int64_t(g_uSongRowCount) * SEQ_GRID_COLUMNS * 2;
    for (int32_t id = 1; id < g_uRiffCount; id++)
        if (const RIFFENTRY *r = Seq_GetRiff(id))
            bytes += int64_t(sizeof(RIFFENTRY)) + int64_t(r->ucBars) * SEQ_STEPS_PER_BAR * r->ucTracks * 2;
    bytes += int64_t(g_uNoteCount) * int64_t(sizeof(NOTEENTRY));
    g_iSongMemoryBytes = int32_t(bytes > INT32_MAX ? INT32_MAX : bytes);
}
