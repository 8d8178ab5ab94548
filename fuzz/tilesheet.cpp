// The tile-sheet and jam-backdrop readers over arbitrary bytes: the first bytes choose the sheet's
// columns, rows and page (sizes past the pages included), the rest is the file. Every tile the
// pages answer for is then drawn at positions around the layer's edges, and save-under windows
// open and close there.
#include "core/file.h"
#include "fuzz/fuzztemp.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/raster.h"
#include "render/screentiles.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    static const std::string dir = FuzzTempDir() + "/tnv_fuzz_tiles_" + std::to_string(getpid()) + "/";
    static bool once = [] {
        std::string cmd = "mkdir -p " + dir;
        return std::system(cmd.c_str()) == 0 && Gfx_InitSoftGpu() == 0;
    }();
    if (!once)
        return 0;
    const int columns = data[0] % 24, rows = data[1] % 24, page = data[2] % 9 - 1;
    const std::string path = dir + "sheet.raw";
    if (FILE *f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data + 4, 1, size - 4, f);
        std::fclose(f);
    }
    Gfx_LoadTileSheet(path.c_str(), columns, rows, page);
    Gfx_ResetDrawState();
    for (int i = 0; i < 8; i++) {
        const int x = int8_t(data[(3 + i) % size]) * 6, y = int8_t(data[(5 + i) % size]) * 5;
        Gfx_DrawScreenTile(x, y, uint8_t(i * 5), uint8_t(data[3] + i), uint8_t(i));
        Gfx_PushSaveUnder(x, y, data[3] * 3, data[2] * 2);
        Gfx_DrawPointer(x, y, 1);
        Gfx_DrawPointer(x, y, 0);
    }
    Gfx_PopSaveUnder(0, 0, 1, 1);
    Gfx_PopAllSaveUnders();

    std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s", dir.c_str());
    if (FILE *f = std::fopen((dir + "pcjambg.raw").c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    Gfx_LoadJamBackground();
    Gfx_DrawJamBackground();
    Gfx_FreeJamBackground();
    return 0;
}
