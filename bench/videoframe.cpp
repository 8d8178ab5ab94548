// Frames a second of the video frame render on a busy scene: 5 lanes, 40 lit textured objects (4
// lanes of 10 instances) and a full-screen textured background, at 640 x 480 through the software
// 3-D device. Goal: at least 150 a second on one core.
#include "core/event.h"
#include "core/fixmath.h"
#include "platform/backend.h"
#include "platform/display.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/lights.h"
#include "render/prims3d.h"
#include "render/textures.h"
#include "tests/support/videoscene.h"
#include "video/engine.h"
#include "video/interp.h"
#include "video/render.h"
#include "video/vidobject.h"

#include <benchmark/benchmark.h>

namespace {

bool Open()
{
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    g_iScreenWidth = 640;
    g_iScreenHeight = 480;
    return Gfx_EnumerateDisplayDevices(nullptr) == 0 && Gfx_CreateDirectDraw(0) == 0 && Gfx_SetDisplayMode(0) == 0 &&
           Gfx_EnumerateD3DDevices(nullptr) == 0 && Gfx_CreateD3DDevice(1) == 0 && Gfx_CreateLights() == 0 &&
           Gfx_InitTextureTable() == 0 && Gfx_EnumTextureFormats() == 0 && Gfx_ResetLightingState() == 0 &&
           Gfx_CreateColourKeySurface(256, 256) == 0;
}

void Close()
{
    Gfx_DestroyAllMeshes();
    Sw3d_SetTexture(g_pD3DDevice, 0, nullptr);
    Gfx_FreeTextureTable();
    Gfx_ReleaseColourKeySurface();
    Gfx_ReleaseLights();
    Gfx_ReleaseD3DDevice();
    Gfx_ReleaseDirectDraw();
}

void BM_VideoFrameBusyScene(benchmark::State &state)
{
    if (!Open()) {
        state.SkipWithError("no 3-D device");
        return;
    }
    Sys_BuildSineTable();
    Sys_EventInit();
    Sys_EventCreateClass(1, 11);
    Sys_EventCreateClass(3, 4);
    Vid_EarlyInit();
    Vid_InitChaseEngine();
    const int16_t view[4] = {0, 0, 640, 480};
    Vid_SetViewport(view);

    TEXTURE *texture = nullptr, *backTexture = nullptr;
    const std::vector<uint8_t> tim = videoscene::ChequerTim(31 << 10 | 31 << 5 | 31, 8 << 10 | 20 << 5 | 4);
    const std::vector<uint8_t> backTim = videoscene::ChequerTim(6 << 10 | 6 << 5 | 20, 2 << 10 | 2 << 5 | 8);
    videoscene::SceneModel cube, back;
    if (Gfx_CreateTextureFromImage(&texture, tim.data(), tim.size(), -1) != 0 ||
        Gfx_CreateTextureFromImage(&backTexture, backTim.data(), backTim.size(), -1) != 0 ||
        !videoscene::BuildCube(cube, 14, 0xFFFFFF, texture) || !videoscene::BuildCube(back, 1500, 0xFFFFFF, backTexture)) {
        state.SkipWithError("scene not built");
        Close();
        return;
    }
    // Four object lanes of 10 instances on a ring, and the background about the camera.
    static int32_t offsets[4][40];
    for (int32_t lane = 0; lane < 4; lane++) {
        VIDOBJECT &o = g_aLaneSlots[lane];
        o.pInstance = &cube.holder;
        o.flags = VIDOBJ_SOLID | VIDOBJ_OWNLIGHTS_APPLY;
        o.iInstanceCount = 10;
        o.pInstanceOffsets = offsets[lane];
        for (int32_t i = 0; i < 10; i++) {
            offsets[lane][4 * i + 0] = (i - 5) * 34 + 17;
            offsets[lane][4 * i + 1] = (lane - 2) * 40 + 20;
            offsets[lane][4 * i + 2] = (i % 3) * 20;
        }
    }
    VIDOBJECT &b = g_aLaneSlots[4];
    b.pInstance = &back.holder;
    b.flags = VIDOBJ_SOLID;
    g_iSceneExtent = 150;
    for (auto _ : state) {
        g_iSceneExtent = 150;
        Vid_RenderFrame();
    }
    // How much of the picture the scene covers, so a scene that slipped out of view shows.
    int32_t pitch = 0, w = 0, h = 0, covered = 0;
    if (const uint16_t *px = Gfx_GetBackBuffer(&pitch, &w, &h))
        for (int32_t y = 0; y < h; y++)
            for (int32_t x = 0; x < w; x++)
                covered += px[y * (pitch / 2) + x] != 0;
    state.counters["covered %"] = w && h ? 100.0 * covered / (w * h) : 0.0;
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    Vid_ShutdownChaseEngine();
    Close();
}
BENCHMARK(BM_VideoFrameBusyScene)->Unit(benchmark::kMillisecond);

} // namespace
