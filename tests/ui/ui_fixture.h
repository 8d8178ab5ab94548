// Shared set-up of the widget tests: a console machine brought up as the core start-up does, the
// guarded test layer, the built interface set (pictures, image table, fonts and their image
// bindings), the widget pools, and frames run through the real frame cycle.
#pragma once

#include "app/devices.h"
#include "app/settings.h"
#include "core/console_memory.h"
#include "core/disc.h"
#include "core/event.h"
#include "core/file.h"
#include "core/padbind.h"
#include "platform/clock.h"
#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/prims2d.h"
#include "render/screentiles.h"
#include "render/texpages.h"
#include "render/textures.h"
#include "support/testlayer.h"
#include "ui/handlers.h"
#include "ui/mouse.h"
#include "ui/widgets.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace uitest {

class UiTest : public ::testing::Test
{
protected:
    std::vector<uint8_t> m_tx = std::vector<uint8_t>(TX_FILE_MAX);

    void SetUp() override
    {
        Plat_ClockUse(PLAT_CLOCK_MANUAL);
        DISPLAYCONFIG config = Sys_DefaultDisplayConfig();
        ASSERT_EQ(Sys_SetDisplayConfig(&config), 0);
        Sys_InitDisplayEnvs();
        Sys_InitCore();
        Sys_InitPackets();
        ASSERT_EQ(Sys_AllocOrderingTables(0, 1), 0);
        ASSERT_EQ(Sys_AllocOrderingTables(1, 3), 0);
        Sys_InitSmallPrimitiveAreas();
        ASSERT_EQ(Gfx_InitSoftGpu(), 0);
        g_tRasterRoutines = g_tDefaultRasterRoutines;
        TestLayer_SetUp(PIXELFORMAT_565);
        g_iScreenWidth = 640;
        g_iScreenHeight = 480;
        g_uPacketsDropped = 0;
        g_iFrameModeStep = 0;

        const char *build = std::getenv("TNV_BUILD_DIR");
        ASSERT_NE(build, nullptr);
        std::snprintf(g_szDataDir, sizeof g_szDataDir, "%s/data/", build);
        Sys_DiscInit();
        ASSERT_EQ(Gfx_InitTextureTable(), 0);
        for (int n = 6; n <= 27; n++) {
            const std::string name = "win" + std::to_string(n) + ".raw";
            ASSERT_EQ(Gfx_LoadTextureFile(Sys_MakeDataPath(name.c_str()), 0, n), 0) << name;
        }
        const long size = Sys_LoadFileToBuffer("win.tx", m_tx.data(), m_tx.size());
        ASSERT_GT(size, 0);
        ASSERT_EQ(Gfx_ParseTxFile(m_tx.data(), size_t(size)), 0);
        Gfx_LoadFonts(0);
        ASSERT_NE(g_tFontMain.sheet, nullptr);

        // Port 1: a digital pad, nothing pressed.
        SetPad(1, 0x00, 0x41, 0xFFFF);
        SetPad(2, 0xFF, 0x00, 0xFFFF);
        g_iScreen = 10; // a screen without bindings, unless a test picks one
        g_iMouseDeltaX = g_iMouseDeltaY = 0;
        g_iMouseButton1 = 1;
        Ui_InitWidgetPools();
        g_iScreen = 10;
        g_uUnbuiltHandlerRuns = 0;
    }
    void TearDown() override
    {
        // Windows still open die with the test: their lists free their rows.
        for (WINDOW &w : g_atWindows)
            Ui_CloseWindow(&w);
        for (int i = 0; i < 3; i++)
            Walk();
        Ui_InitWidgetPools();
        Gfx_PopAllSaveUnders();
        Gfx_FreeTextureTable();
        g_pImageTable = nullptr;
        g_iImageCount = 0;
        g_szDataDir[0] = 0;
        g_pOrderingTable = 0;
        Gfx_ShutdownSoftGpu();
        Sys_FreePacketBuffers();
        Sys_EventInit();
    }

    static void SetPad(int port, uint8_t status, uint8_t type, uint16_t buttons)
    {
        PADBUFFER *p = Sys_PadBuffer(port);
        std::memset(p, 0, sizeof *p);
        p->status = status;
        p->type = type;
        p->buttons = buttons;
    }

    // One frame: start, the widget frame, the end (the walk into the layer).
    static void Frame()
    {
        Gfx_BeginFrame();
        Ui_WidgetFrame();
        Gfx_EndFrame();
    }
    // The widget frame alone, for stack bookkeeping.
    static void Walk()
    {
        Gfx_BeginFrame();
        Ui_WidgetFrame();
    }
};

} // namespace uitest
