// The song image loader over arbitrary bytes: a whole-song load, a listing of the image's riffs,
// then a save and a second load of what the first one built (the model must stay whole).
#include "core/browser.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "jam/jamrecords.h"
#include "video/autovideo.h"
#include "video/chasetypes.h"
#include "video/respages.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

constexpr uint32_t kParts = SONGPART_SONG | SONGPART_VIDEO | SONGPART_JAMS;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool ready = [] {
        Seq_Init();
        // The video chunks are read too (no archive: their resources stay unresolved).
        Vid_CreateResPagePool();
        Vid_InitVideoCore();
        return true;
    }();
    (void)ready;
    g_bTaggedSongFile = size & 1; // both layouts, chosen by the input's length
    Seq_NewSong();
    Seq_ResetJamSlots();
    Jam_ResetRecords();
    std::vector<uint8_t> image(data, data + size);
    std::vector<FILERIFF> riffs;
    Seq_ListFileRiffs(image.data(), image.size(), &riffs);
    Seq_LoadSongImage(image.data(), image.size());
    char why[256];
    if (Seq_CheckSongModel(why, sizeof(why)) != 0) {
        std::fprintf(stderr, "model broken after a load: %s\n", why);
        std::abort();
    }
    const std::vector<uint8_t> again = Seq_SaveSongImage(kParts, "fuzz");
    if (again.empty() || Seq_LoadSongImage(again.data(), again.size()) != 0)
        std::abort();
    if (Seq_SaveSongImage(kParts, "fuzz") != again)
        std::abort();
    Seq_NewSong();
    Vid_FreeAllClipsAndChases();
    return 0;
}
