// A frame of the widget toolkit: all ten windows of the pool open with title bars, one of them
// holding the full cell view with both bars and another a list, walked by the widget frame and
// drawn by the frame cycle into the layer, then flushed. Reports frames per second on one core;
// the goal is at least 1000.
#include "app/settings.h"
#include "app/startup.h"
#include "core/console_memory.h"
#include "core/disc.h"
#include "core/file.h"
#include "core/padbind.h"
#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "render/textures.h"
#include "ui/list.h"
#include "ui/textfield.h"
#include "ui/view.h"
#include "ui/widgets.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
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

void Cell(uint8_t *packets, int32_t column, int32_t row, int32_t x, int32_t y)
{
    PACKET_TILE_T t{PACKET{0, 4, uint8_t(50 + 25 * (column & 7)), uint8_t(60 + 20 * (row & 7)), 110, PACKET_TILE},
                    int16_t(x + 1), int16_t(y + 1), 22, 22};
    std::memcpy(packets, &t, sizeof t);
}

void FillRow(int32_t op, int32_t number, void *row, void *)
{
    std::snprintf(static_cast<char *>(row) + 2, 40, "Riff %d", op == LISTFILL_NEXT ? number + 1 : number - 1);
}

void DrawRow(void *row, int32_t x, int32_t y)
{
    Gfx_DrawText(static_cast<const char *>(row) + 2, x, y, g_pOrderingTable);
}

const char *const kTitles[UI_WINDOWS] = {"Song grid", "Riffs", "Mixer", "Effects", "Options",
                                         "Samples",   "Video", "Jam",   "Help",    "Play list"};

void BM_WidgetFrame(benchmark::State &state)
{
    std::string why;
    if (!Load(why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    WINDOW *windows[UI_WINDOWS] = {};
    for (int i = 0; i < UI_WINDOWS; i++) {
        WINDOWDESC d{};
        d.x = uint16_t(i == 0 ? 8 : 40 + 50 * (i % 6));
        d.y = uint16_t(i == 0 ? 8 : 40 + 40 * (i % 5));
        d.w = uint16_t(i == 0 ? 624 : 200);
        d.h = uint16_t(i == 0 ? 464 : 150);
        d.style = uint8_t(i % 3);
        windows[i] = Ui_OpenWindow(&d);
        TEXTFIELDDESC t{kTitles[i], 4, 4, int16_t(d.w - 10), 14, windows[i], 40, 90, 150, 0};
        Ui_CreateTextField(&t);
    }
    VIEWDESC v{};
    v.x = 16;
    v.y = 24;
    v.columns = 23;
    v.rows = 17;
    v.cellWidth = 24;
    v.cellHeight = 24;
    v.flags = VIEW_ROW_BAR | VIEW_COLUMN_BAR | VIEW_ONE_PACKET;
    v.firstColumn = -1;
    v.firstRow = -1;
    v.columnCount = 200;
    v.rowCount = 100;
    v.columnSpeed = 8;
    v.rowSpeed = 8;
    v.cell = Cell;
    VIEWWIDGET *view = Ui_CreateView(&v, windows[0]);
    LISTDESC l{};
    l.x = 8;
    l.y = 24;
    l.w = 170;
    l.visibleRows = 8;
    l.totalRows = 100;
    l.rowHeight = 14;
    l.rowStride = 42;
    l.fillRow = FillRow;
    l.drawRow = DrawRow;
    LISTWIDGET *list = Ui_CreateList(&l, windows[9]);
    if (!view || !list || !windows[9]) {
        state.SkipWithError("the widgets did not open");
        return;
    }
    Ui_RefillListRows(list);
    Ui_SetFocus(windows[9]);
    const uint32_t dropped = g_uPacketsDropped;
    int frame = 0;
    for (auto _ : state) {
        if (frame++ % 8 == 0)
            Ui_ViewScrollRight(view);
        Ui_ListScrollDown(list);
        Gfx_BeginFrame();
        Ui_WidgetFrame();
        Gfx_EndFrame();
        Gfx_FlushLayer();
    }
    if (g_uPacketsDropped != dropped)
        state.SkipWithError("packets were dropped");
    state.counters["frames_per_second"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["packet_bytes"] = double(g_pPacketCursor - g_pPacketAreaStart);
}
BENCHMARK(BM_WidgetFrame)->Unit(benchmark::kMicrosecond);

} // namespace
