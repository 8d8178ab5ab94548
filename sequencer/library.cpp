// Giving up the riff in hand from the riff library and the instruments its load brought.
#include <cstring>

#include "sequencer/instruments.h"
#include "sequencer/library.h"
#include "sequencer/playback.h"
#include "sequencer/samples.h"
#include "sequencer/songmodel.h"

void Seq_DropLibraryRiff()
{
    if (g_bSongPlaying.load() == 254) {
        Seq_StopSong();
        Seq_StopRiffPreview();
    }
    bool loaded = false;
    for (uint8_t key : g_auLibraryRiffKey)
        loaded = loaded || key != 0;
    // The library riff by its held id: "the last riff" is another one once a riff was made since.
    if (loaded && g_uLibraryRiff)
        Seq_ReleaseRiff(g_uLibraryRiff, 3, 1);
    g_uLibraryRiff = 0;
    for (int32_t slot = 1; slot < SEQ_INSTRUMENT_SLOTS; slot++)
        if (g_abInstrumentMarks[slot]) {
            if (!Seq_InstrumentSlotFree(slot))
                Seq_ClearInstrument(slot, 1, 1);
            g_abInstrumentMarks[slot] = 0;
        }
    std::memset(g_auLibraryRiffKey, 0, sizeof(g_auLibraryRiffKey));
}
