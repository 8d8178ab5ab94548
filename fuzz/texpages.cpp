// The texture-page readers over arbitrary bytes: the TX file (parsed, then installed as at
// start-up), the same bytes as a console image placed in fresh pages, and as a palette file.
#include "core/console_memory.h"
#include "fuzz/fuzztemp.h"
#include "core/disc.h"
#include "core/file.h"
#include "render/texpages.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool ready = false;
    static std::string dir;
    if (!ready) {
        std::string pattern = FuzzTempDir() + "/tnv_fuzz_texpages_XXXXXX";
        if (!mkdtemp(pattern.data()))
            return 0;
        dir = pattern;
        std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/", dir.c_str());
        DISPLAYCONFIG config = Sys_DefaultDisplayConfig();
        Sys_SetDisplayConfig(&config);
        Sys_DiscInit();
        ready = true;
    }

    // As the start-up installs it.
    const size_t txSize = size < size_t(SYS_WINTEXTURE_SIZE) ? size : size_t(SYS_WINTEXTURE_SIZE);
    std::memcpy(g_abWinTexture, data, txSize);
    g_iWinTextureSize = static_cast<int32_t>(txSize);
    Gfx_InitTexturePages();
    for (int32_t n = -1; n <= g_iImageCount; n++)
        if (IMAGEREC *r = Gfx_GetImage(n))
            (void)r->page;
    Gfx_ParseTxFile(data, size);

    // As a console image, into fresh pages and then into the record it made.
    std::vector<uint8_t> image(data, data + size);
    if (IMAGEREC *r = Gfx_LoadImageData(image.data(), image.size(), 8 | 16, nullptr)) {
        std::vector<uint8_t> again(data, data + size);
        Gfx_LoadImageData(again.data(), again.size(), 64, r);
        Gfx_FreeImageArea(r);
    }

    // As a palette file.
    const std::string path = dir + "/pal.tim";
    if (FILE *f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        std::free(Gfx_ReadTexturePalette("pal.tim", 256));
    }
    g_iWinTextureSize = 0;
    return 0;
}
