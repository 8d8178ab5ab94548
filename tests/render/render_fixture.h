// Shared set-up of the render tests: a console machine brought up as the core start-up does, the
// software GPU, and a recorder in place of the rasteriser so tests see what the walker asked for
// whatever rasteriser is linked.
#pragma once

#include "core/console_memory.h"
#include "core/event.h"
#include "platform/clock.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/ordertable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace rendertest {

inline std::vector<std::string> g_calls;

inline void Note(const char *fmt, auto... args)
{
    char buf[128];
    std::snprintf(buf, sizeof(buf), fmt, args...);
    g_calls.emplace_back(buf);
}

inline const RASTERROUTINES kRecorder = {
    [](int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b) {
        Note("tile %d %d %d %d %d %d %d", x, y, w, h, r, g, b);
    },
    [](int32_t x, int32_t y, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b) {
        Note("rect %d %d %d %d %d %d %d", x, y, w, h, r, g, b);
    },
    [](int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t r, uint8_t g, uint8_t b) {
        Note("line %d %d %d %d %d %d %d", x0, y0, x1, y1, r, g, b);
    },
    [](int32_t x, int32_t y, uint8_t u, uint8_t v, int32_t w, int32_t h) {
        Note("sprite %d %d %d %d %d %d", x, y, u, v, w, h);
    },
    [](int32_t x, int32_t y, uint8_t u, uint8_t v, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b) {
        Note("glyph %d %d %d %d %d %d %d %d %d", x, y, u, v, w, h, r, g, b);
    },
    [](int32_t x0, int32_t y0, uint8_t u, uint8_t v, int32_t x3, int32_t y3) {
        Note("tquad %d %d %d %d %d %d", x0, y0, u, v, x3, y3);
    },
    [](int32_t x, int32_t y, uint8_t row, uint8_t column, uint8_t page) {
        Note("screentile %d %d %d %d %d", x, y, row, column, page);
    },
    [](int32_t x, int32_t y, int32_t w, int32_t h) {
        Note("blit %d %d %d %d", x, y, w, h);
        return 0;
    },
};

// Console bring-up with two lists of `entries0` and `entries1` entries.
inline void BringUp(int32_t entries0 = 4, int32_t entries1 = 3)
{
    DISPLAYCONFIG config = Sys_DefaultDisplayConfig();
    ASSERT_EQ(Sys_SetDisplayConfig(&config), 0);
    Sys_InitDisplayEnvs();
    Sys_InitCore();
    Sys_InitPackets();
    if (entries0) {
        ASSERT_EQ(Sys_AllocOrderingTables(0, entries0), 0);
    }
    if (entries1) {
        ASSERT_EQ(Sys_AllocOrderingTables(1, entries1), 0);
    }
    Sys_InitSmallPrimitiveAreas();
}

class RenderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        BringUp();
        ASSERT_EQ(Gfx_InitSoftGpu(), 0);
        g_tRasterRoutines = kRecorder;
        g_calls.clear();
        g_bGpuLayerFlush = 1;
        g_iScreenHeight = LAYER_HEIGHT;
        g_uPacketsDropped = 0;
        g_iFrameModeStep = 0;
    }
    void TearDown() override
    {
        g_tRasterRoutines = g_tDefaultRasterRoutines;
        Gfx_ShutdownSoftGpu();
        Sys_FreePacketBuffers();
        Sys_EventInit();
    }
};

// A packet written byte by byte at an arena address, so tests state the layout themselves.
struct RawPacket
{
    uint32_t addr;
    uint8_t *p;
    RawPacket &u8(int off, uint8_t v)
    {
        p[off] = v;
        return *this;
    }
    RawPacket &u16(int off, uint16_t v)
    {
        std::memcpy(p + off, &v, 2);
        return *this;
    }
    RawPacket &u32(int off, uint32_t v)
    {
        std::memcpy(p + off, &v, 4);
        return *this;
    }
    RawPacket &rgbc(uint8_t r, uint8_t g, uint8_t b, uint8_t code)
    {
        return u8(8, r).u8(9, g).u8(10, b).u8(11, code);
    }
};

// `bytes` zeroed bytes from the packet allocator, linked in front of `entry`.
inline RawPacket Add(uint32_t entry, uint32_t bytes)
{
    uint32_t addr = 0;
    uint8_t *p = Gfx_AddPacket(entry, bytes, &addr);
    EXPECT_NE(p, nullptr);
    if (p)
        std::memset(p + 4, 0, bytes - 4);
    return RawPacket{addr, p};
}

inline OTLIST List(int i)
{
    return Sys_OrderingTableLists(g_pFrameBuffer)[i];
}

inline uint32_t Entry(int list, uint32_t e)
{
    return List(list).base + 4 * e;
}

} // namespace rendertest
