// Song images of one video clip over arbitrary bytes, read as the clip library and the auto video
// read them (no archive: resource references stay unresolved). Whatever clip comes out is written
// again and read back, then everything is freed.
#include "video/autovideo.h"
#include "video/chasetypes.h"
#include "video/clips.h"
#include "video/respages.h"
#include "video/clipimage.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool ready = [] {
        Vid_CreateResPagePool();
        Vid_InitVideoCore();
        return true;
    }();
    (void)ready;
    const std::vector<uint8_t> image(data, data + size);
    g_pLoadedClip = nullptr;
    Vid_LoadClipImage(image.data(), image.size());
    if (VIDCLIP *clip = g_pLoadedClip) {
        const std::vector<uint8_t> again = Vid_WriteClipImage(clip);
        g_pLoadedClip = nullptr;
        Vid_LoadClipImage(again.data(), again.size());
    }
    Vid_FreeAllClipsAndChases();
    return 0;
}
