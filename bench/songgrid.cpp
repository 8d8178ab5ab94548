// A frame of the song grid with every cell of a long song filled: the song grid set up as the
// studio shows it (23 x 15 cells of 24 pixels with its headers and labels) and in the world view
// (97 x 60 cells), every cell rebuilt each frame while the view scrolls right, walked by the
// widget frame, drawn into the layer and flushed. Reports frames per second on one core; the goal
// is at least 500.
#include "app/settings.h"
#include "core/browser.h"
#include "core/console_memory.h"
#include "core/disc.h"
#include "core/file.h"
#include "core/padbind.h"
#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/texpages.h"
#include "render/textures.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "ui/gridsetup.h"
#include "ui/view.h"
#include "ui/widgets.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<uint8_t> s_tx(TX_FILE_MAX);

bool Load(std::string &why)
{
    char exe[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string dir = n > 0 ? std::string(exe, size_t(n)) : std::string();
    dir = dir.substr(0, dir.rfind('/'));
    std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/../data/", dir.c_str());
    DISPLAYCONFIG config = Sys_DefaultDisplayConfig();
    Sys_SetDisplayConfig(&config);
    Sys_InitDisplayEnvs();
    Sys_InitCore();
    Sys_InitPackets();
    Sys_AllocOrderingTables(0, 1);
    Sys_AllocOrderingTables(1, 3);
    Sys_InitSmallPrimitiveAreas();
    Gfx_InitSoftGpu();
    Sys_DiscInit();
    Gfx_InitTextureTable();
    for (int page = 6; page <= 27; page++) {
        const std::string name = "win" + std::to_string(page) + ".raw";
        if (Gfx_LoadTextureFile(Sys_MakeDataPath(name.c_str()), 0, page) != 0) {
            why = std::string("no interface pictures in ") + g_szDataDir;
            return false;
        }
    }
    const long size = Sys_LoadFileToBuffer("win.tx", s_tx.data(), s_tx.size());
    if (size <= 0 || Gfx_ParseTxFile(s_tx.data(), size_t(size)) != 0) {
        why = "no win.tx";
        return false;
    }
    Gfx_LoadFonts(0);
    Ui_InitWidgetPools();
    g_iScreen = 10;
    return true;
}

// Every track of the first 400 song rows holds a riff: blocks of one, two and three tracks.
bool FillSong()
{
    Seq_ResetSongModel();
    Seq_Init();
    Seq_NewSong();
    const int32_t riffs[3] = {Seq_NewRiff(1, 1), Seq_NewRiff(2, 2), Seq_NewRiff(3, 3)};
    for (int32_t r : riffs)
        if (r <= 0)
            return false;
    for (int32_t row = 0; row < 400; row += 6)
        for (int32_t track = 0; track + 3 <= 99; track += 3) {
            const int32_t k = (row / 6 + track / 3) % 3;
            for (int32_t dr = 0; dr < 6; dr += k + 1)
                for (int32_t dt = 0; dt < 3; dt += k + 1)
                    if (dt + k + 1 <= 3)
                        Seq_PlaceRiffAt(riffs[k], row + dr, track + dt);
        }
    g_uSongRowCount = 400;
    return true;
}

void Run(benchmark::State &state, bool world)
{
    std::string why;
    if (!Load(why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    Sys_SetGridLayout();
    if (!FillSong()) {
        state.SkipWithError("the song could not be filled");
        return;
    }
    g_ucGridOptions = world ? 1 : 0;
    if (!Ui_SetupGridScreen(2)) {
        state.SkipWithError("the grid did not open");
        return;
    }
    const uint32_t dropped = g_uPacketsDropped;
    for (auto _ : state) {
        if (!g_pGridView->columnStep) {
            if (g_pGridView->firstColumn > 300)
                g_pGridView->firstColumn = -1;
            Ui_ViewScrollRight(g_pGridView);
        }
        Ui_RefreshView(g_pGridView);
        Gfx_BeginFrame();
        Ui_WidgetFrame();
        Gfx_EndFrame();
        Gfx_FlushLayer();
    }
    if (g_uPacketsDropped != dropped)
        state.SkipWithError("packets were dropped");
    state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    Ui_CloseGridScreen();
}

void BM_SongGridFrame(benchmark::State &state)
{
    Run(state, false);
}
BENCHMARK(BM_SongGridFrame)->Unit(benchmark::kMicrosecond);

void BM_SongGridWorldViewFrame(benchmark::State &state)
{
    Run(state, true);
}
BENCHMARK(BM_SongGridWorldViewFrame)->Unit(benchmark::kMicrosecond);

} // namespace
