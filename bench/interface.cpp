// A typical interface frame, drawn for real: a tile background, 8 windows (panel, bevels, caption
// bar, frame pieces, image sprites), 400 glyphs of text and the pointer, built with the 2D
// builders, walked by the frame cycle into the layer through the rasteriser, the pointer drawn and
// taken away. The interface set comes from the built data folder beside the benchmarks
// (<build>/data). Reports frames per second on one core; the goal is at least 1000.
#include "app/settings.h"
#include "app/startup.h"
#include "core/console_memory.h"
#include "core/disc.h"
#include "core/file.h"
#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/prims2d.h"
#include "render/screentiles.h"
#include "render/texpages.h"
#include "render/textures.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<uint8_t> s_tx(TX_FILE_MAX);
FONT s_font{};
const int32_t s_pointer = 642;

bool LoadInterface(std::string &why)
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
    Sys_AllocOrderingTables(0, 16);
    Sys_AllocOrderingTables(1, 16);
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
    g_pFont = &s_font;
    s_font.sheet = Gfx_GetImage(1);
    if (Gfx_LoadFont("gfx\\fonts\\tonnivels.bin") != 0) {
        why = g_szErrorText;
        return false;
    }
    Gfx_LoadTileSheet(Sys_MakeDataPath("blanks.raw"), 12, 18, 0);
    Gfx_LoadTileSheet(Sys_MakeDataPath("bardata.raw"), 12, 3, 6);
    Gfx_SelectTileSet(0);
    g_pPointerShape = &s_pointer;
    return true;
}

void Window(int x, int y, int w, int h, int k)
{
    // Built back to front: the last packet linked is drawn first.
    static const char *const kLines[] = {"Riff 12  Drums  Bar 1.1", "Volume 100  Pan C", "Reverb  Hall 2.4 s",
                                         "Tempo 120 BPM  4/4"};
    for (int i = 0; i < 4; i++)
        Gfx_DrawText(kLines[(i + k) % 4], x + 10, y + 24 + 14 * i, g_pOrderingTable);
    for (int i = 0; i < 6; i++)
        Gfx_AddImageSprite(Gfx_GetImage(688 + i), x + w - 14, y + 20 + 10 * i, 128, 128, 128);
    Gfx_AddInsetBox(x + 6, y + 20, w - 24, h - 26);
    Gfx_DrawCaptionBar("Window", x + w / 2, y + 4, w - 8);
    for (int i = 0; i < 9; i++)
        Gfx_AddImageSprite(Gfx_GetImage(784 + 3 * i), x + (i % 3) * (w - 8) / 2, y + (i / 3) * (h - 8) / 2, 128, 128,
                           128);
    Gfx_AddBevelBox(x, y, w, h);
    Gfx_AddTile(x, y, w, h, 40, 56, 64);
}

void BuildScreen()
{
    const OTLIST *lists = Sys_OrderingTableLists(g_pFrameBuffer);
    // Windows above the background: list 1 is walked after list 0.
    g_pOrderingTable = lists[1].base + 4 * 8;
    for (int k = 0; k < 8; k++)
        Window(20 + (k % 4) * 152, 40 + (k / 4) * 210, 140, 190, k);
    // 400 glyphs in all: the windows' 8 x 4 lines hold about 560 characters, less the blanks.
    g_pOrderingTable = lists[0].base + 4 * 15;
    for (int y = 0; y < 480; y += 24)
        for (int x = 0; x < 640; x += 24)
            if (uint8_t *p = Gfx_AddPacket(g_pOrderingTable, sizeof(PACKET_SPRITE_T))) {
                PACKET_SPRITE_T s{PACKET{0, 5, 0, 0, 5, PACKET_SPRITE}, int16_t(x), int16_t(y), 0, 0,
                                  PACKET_SCREEN_TILE_MARKER, 24, 24};
                std::memcpy(p + 4, reinterpret_cast<const uint8_t *>(&s) + 4, sizeof s - 4);
            }
    Gfx_AddDrawArea(0, 0, 640, 480);
}

void BM_InterfaceFrameDrawn(benchmark::State &state)
{
    std::string why;
    if (!LoadInterface(why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    const uint32_t dropped = g_uPacketsDropped;
    int16_t px = 100;
    for (auto _ : state) {
        Gfx_BeginFrame();
        BuildScreen();
        Gfx_EndFrame();
        px = int16_t((px + 7) % 600);
        Gfx_DrawPointer(px, 200, 1);
        Gfx_DrawPointer(px, 200, 0);
    }
    if (g_uPacketsDropped != dropped)
        state.SkipWithError("packets were dropped");
    // What the last frame showed, so a frame that draws nothing cannot pass for a fast one.
    int64_t white = 0;
    for (int i = 0; i < LAYER_WIDTH * LAYER_HEIGHT; i++)
        white += g_pLayerFrame[i] == 0xFFFF;
    state.counters["white_text_pixels"] = double(white);
    state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    Gfx_FreeTextureTable();
    Gfx_ShutdownSoftGpu();
}
BENCHMARK(BM_InterfaceFrameDrawn)->Unit(benchmark::kMicrosecond);

} // namespace
