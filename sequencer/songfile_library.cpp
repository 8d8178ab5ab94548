// The riff library: a library riff is a small untagged song image in the archive's "/R" folder,
// addressed by a kind and three index numbers. A loaded one becomes the riff in hand and stays
// marked for deletion until it is placed.
#include "sequencer/songfile.h"

#include "core/archive.h"
#include "core/browser.h"
#include "core/disc.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "sequencer/samples.h"

#include <cstdlib>
#include <cstring>

int32_t Seq_LoadLibraryRiffImage(const uint8_t *image, size_t size)
{
    const uint16_t riffsBefore = g_uRiffCount;
    bool slotUsed[SEQ_INSTRUMENT_SLOTS];
    for (int32_t s = 0; s < SEQ_INSTRUMENT_SLOTS; s++)
        slotUsed[s] = !Seq_InstrumentSlotFree(s) || g_aInstrumentSlots[s].ucAllocated;
    const int32_t tagged = g_bTaggedSongFile;
    g_bTaggedSongFile = 0;
    CHUNKLOADCONTEXT load;
    const uint32_t mask = 1u << (CHUNK_RI - 1);
    int32_t result = Seq_LoadChunks(image, size, mask, 0, 0, &load);
    if (result == SONGLOAD_OK) {
        Seq_PurgeDeletedRiffs();
        result = Seq_FinishLoad(mask, &load);
    }
    g_bTaggedSongFile = tagged;
    // The riff in hand is the one this load made: an image that brought none (or a refused one)
    // must not make an older riff of the song the library riff.
    const int32_t riff = g_uRiffCount - 1;
    if (result != 0 || g_uRiffCount == riffsBefore || !Seq_GetRiff(riff)) {
        g_uLibraryRiff = 0;
        std::memset(g_auLibraryRiffKey, 0, sizeof(g_auLibraryRiffKey));
        return 10;
    }
    RIFFENTRY *r = Seq_GetRiff(riff);
    g_uLibraryRiff = (uint16_t)riff;
    r->iUseCount = 1;
    r->uFlags |= RIFF_FLAG_DELETE;
    for (int32_t s = 1; s < SEQ_INSTRUMENT_SLOTS; s++)
        if (!slotUsed[s] && !Seq_InstrumentSlotFree(s))
        {
            g_aInstrumentSlots[s].uMark = 0xFFFF;
            g_abInstrumentMarks[s] = 1;
        }
    return 1;
}

int32_t Seq_LoadLibraryRiffLocal(int32_t kind, int32_t index1, int32_t index2, int32_t index3)
{
    return Seq_LoadLibraryRiff(kind, index1, index2, index3, nullptr);
}

int32_t Seq_LoadLibraryRiff(int32_t kind, int32_t index1, int32_t index2, int32_t index3, void *)
{
    g_bLoadAborted = 0;
    const uint8_t keys[4] = {(uint8_t)kind, (uint8_t)index1, (uint8_t)index2, (uint8_t)index3};
    if (std::memcmp(keys, g_auLibraryRiffKey, 4) == 0)
        return -1;
    std::memcpy(g_auLibraryRiffKey, keys, 4);
    uint16_t path[WAD_MAX_DEPTH + 1] = {};
    if (index1 < 1 || index2 < 1 || index3 < 1 || Sys_WadDirPathToIndices("/R", path) != 1) {
        std::memset(g_auLibraryRiffKey, 0, sizeof(g_auLibraryRiffKey));
        return 10;
    }
    path[1] = (uint16_t)(index1 - 1);
    path[2] = (uint16_t)(index2 - 1);
    path[3] = (uint16_t)(index3 - 1);
    char name[8];
    uint32_t bytes = 0;
    uint8_t *image = (uint8_t *)Sys_WadLoadEntryAlloc(0, path, 4, name, &bytes);
    if (!image) {
        std::memset(g_auLibraryRiffKey, 0, sizeof(g_auLibraryRiffKey));
        return 10;
    }
    const uint8_t saved[4] = {keys[0], keys[1], keys[2], keys[3]};
    const int32_t result = Seq_LoadLibraryRiffImage(image, bytes);
    std::free(image);
    if (result == 1)
        std::memcpy(g_auLibraryRiffKey, saved, 4);
    return result;
}
