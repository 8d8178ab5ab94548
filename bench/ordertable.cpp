// A typical interface frame through the frame cycle: build and link the packets of a screen
// (sprites, glyphs, tiles, lines, boxes) into the ordering tables, then walk them at the frame end.
// The rasteriser's routines are replaced by counters so only the tables and the walk are timed.
#include "core/console_memory.h"
#include "core/event.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/ordertable.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

int64_t s_iDrawn = 0;

void CountRect(int32_t, int32_t, int32_t, int32_t, uint8_t, uint8_t, uint8_t)
{
    ++s_iDrawn;
}
void CountSprite(int32_t, int32_t, uint8_t, uint8_t, int32_t, int32_t)
{
    ++s_iDrawn;
}
void CountGlyph(int32_t, int32_t, uint8_t, uint8_t, int32_t, int32_t, uint8_t, uint8_t, uint8_t)
{
    ++s_iDrawn;
}
void CountQuad(int32_t, int32_t, uint8_t, uint8_t, int32_t, int32_t)
{
    ++s_iDrawn;
}
void CountTile(int32_t, int32_t, uint8_t, uint8_t, uint8_t)
{
    ++s_iDrawn;
}
int32_t CountBlit(int32_t, int32_t, int32_t, int32_t)
{
    ++s_iDrawn;
    return 0;
}

const RASTERROUTINES kCounters = {CountRect, CountRect, CountRect, CountSprite, CountGlyph, CountQuad, CountTile, CountBlit};

void BringUp()
{
    DISPLAYCONFIG config = Sys_DefaultDisplayConfig();
    Sys_SetDisplayConfig(&config);
    Sys_InitDisplayEnvs();
    Sys_InitCore();
    Sys_InitPackets();
    Sys_AllocOrderingTables(0, 16);
    Sys_AllocOrderingTables(1, 16);
    Sys_InitSmallPrimitiveAreas();
    Gfx_InitSoftGpu();
    g_tRasterRoutines = kCounters;
}

// Fills a packet linked in front of the entry, keeping the link the allocator wrote.
template <typename T> void Put(uint32_t entry, const T &fields)
{
    if (uint8_t *p = Gfx_AddPacket(entry, sizeof(T)))
        std::memcpy(p + 4, reinterpret_cast<const uint8_t *>(&fields) + 4, sizeof(T) - 4);
}

// One screen: a background of 24 x 24 screen tiles, 300 sprites, 2000 glyphs, 200 boxes and 100
// lines, spread over the entries of both lists.
void BuildScreen()
{
    const OTLIST *lists = Sys_OrderingTableLists(g_pFrameBuffer);
    auto entry = [&](int list, uint32_t e) { return lists[list].base + 4 * (e % lists[list].count); };
    for (int i = 0; i < 27 * 20; i++)
        Put(entry(0, 15), PACKET_SPRITE_T{PACKET{0, 5, 1, 2, 3, PACKET_SPRITE}, static_cast<int16_t>(i % 27 * 24),
                                          static_cast<int16_t>(i / 27 * 24), 0, 0, PACKET_SCREEN_TILE_MARKER, 24, 24});
    for (int i = 0; i < 200; i++)
        Put(entry(0, i), PACKET_FLAT_QUAD_T{PACKET{0, 6, 40, 40, 40, PACKET_FLAT_QUAD}, {{10, 10}, {90, 10}, {10, 40}, {90, 40}}});
    for (int i = 0; i < 100; i++)
        Put(entry(1, i), PACKET_LINE_T{PACKET{0, 4, 255, 255, 255, PACKET_LINE}, 0, 0, 100, 100});
    for (int i = 0; i < 300; i++)
        Put(entry(1, i), PACKET_SPRITE_T{PACKET{0, 5, 128, 128, 128, PACKET_SPRITE}, 5, 5, 0, 0, 0, 32, 32});
    for (int i = 0; i < 2000; i++)
        Put(entry(1, i), PACKET_SPRITE_T{PACKET{0, 5, 128, 128, 128, PACKET_GLYPH}, 5, 5, 0, 0, 0, 8, 12});
}

void BM_InterfaceFrame(benchmark::State &state)
{
    BringUp();
    s_iDrawn = 0;
    for (auto _ : state) {
        Gfx_BeginFrame();
        BuildScreen();
        Gfx_EndFrame();
    }
    state.counters["packets_per_frame"] = static_cast<double>(s_iDrawn) / static_cast<double>(state.iterations());
    state.counters["frames_per_second"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    Gfx_ShutdownSoftGpu();
}
BENCHMARK(BM_InterfaceFrame);

// The walk alone, over packets linked once.
void BM_WalkOnly(benchmark::State &state)
{
    BringUp();
    Gfx_BeginFrame();
    BuildScreen();
    const OTLIST *lists = Sys_OrderingTableLists(g_pFrameBuffer);
    for (auto _ : state)
        for (int i = 0; i < 2; i++)
            Gfx_DrawOrderingTable(lists[i].base + 4 * (lists[i].count - 1));
    Gfx_ShutdownSoftGpu();
}
BENCHMARK(BM_WalkOnly);

} // namespace
