// Triangles a second through the software 3-D device: small gouraud triangles, textured ones with
// bilinear filtering, and lit world-space ones through the transforms.
#include "platform/backend.h"
#include "platform/display.h"
#include "platform/sw3d.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/gpustate.h"
#include "render/lights.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

bool Open()
{
    Plat_SetBackend(PLAT_BACKEND_HEADLESS);
    g_iScreenWidth = 640;
    g_iScreenHeight = 480;
    return Gfx_EnumerateDisplayDevices(nullptr) == 0 && Gfx_CreateDirectDraw(0) == 0 && Gfx_SetDisplayMode(0) == 0 &&
           Gfx_EnumerateD3DDevices(nullptr) == 0 && Gfx_CreateD3DDevice(1) == 0 && Gfx_CreateLights() == 0;
}

void Close()
{
    Gfx_ReleaseLights();
    Gfx_ReleaseD3DDevice();
    Gfx_ReleaseDirectDraw();
}

// A grid of triangles about `size` pixels on a side over the screen.
std::vector<SW3DTLVERTEX> Grid(float size)
{
    std::vector<SW3DTLVERTEX> v;
    for (float y = 0; y + size < 480; y += size)
        for (float x = 0; x + size < 640; x += size) {
            v.push_back({x, y, 0.5f, 1.0f, 0x00FF0000, 0, 0, 0});
            v.push_back({x + size, y, 0.5f, 1.0f, 0x0000FF00, 0, 1, 0});
            v.push_back({x, y + size, 0.5f, 1.0f, 0x000000FF, 0, 0, 1});
        }
    return v;
}

void Run(benchmark::State &state, bool textured)
{
    if (!Open()) {
        state.SkipWithError("no 3-D device");
        return;
    }
    const std::vector<SW3DTLVERTEX> v = Grid(static_cast<float>(state.range(0)));
    std::vector<uint16_t> texels(64 * 64, 0xF81F);
    SW3DTEXTURE tex{64, 64, SW3D_TEX_16_RGB565, 128, texels.data(), nullptr, 0};
    if (textured) {
        Sw3d_SetTexture(g_pD3DDevice, 0, &tex);
        Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_MAGFILTER, SW3D_FILTER_LINEAR);
    }
    for (auto _ : state) {
        Gfx_ClearViewportColour(0);
        Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLELIST, SW3D_FVF_TLVERTEX, v.data(),
                           static_cast<int32_t>(v.size()), 0);
    }
    state.counters["triangles/s"] =
        benchmark::Counter(static_cast<double>(v.size() / 3) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    Sw3d_SetTexture(g_pD3DDevice, 0, nullptr);
    Close();
}

void BM_Gouraud(benchmark::State &state)
{
    Run(state, false);
}
BENCHMARK(BM_Gouraud)->Arg(8)->Arg(32);

void BM_TexturedBilinear(benchmark::State &state)
{
    Run(state, true);
}
BENCHMARK(BM_TexturedBilinear)->Arg(8)->Arg(32);

void BM_LitWorldSpace(benchmark::State &state)
{
    if (!Open()) {
        state.SkipWithError("no 3-D device");
        return;
    }
    std::vector<SW3DVERTEX> v;
    for (int i = 0; i < 1000; i++) {
        const float x = static_cast<float>(i % 40) * 10.0f - 200.0f, y = static_cast<float>(i / 40) * 10.0f - 120.0f;
        v.push_back({x, y, 300.0f, -0.5f, -0.5f, -0.7f, 0x00FFFFFF, 0, 0});
        v.push_back({x + 8, y, 300.0f, -0.5f, -0.5f, -0.7f, 0x00FFFFFF, 1, 0});
        v.push_back({x, y + 8, 300.0f, -0.5f, -0.5f, -0.7f, 0x00FFFFFF, 0, 1});
    }
    for (auto _ : state)
        Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLELIST, SW3D_FVF_VERTEX, v.data(), static_cast<int32_t>(v.size()), 0);
    state.counters["triangles/s"] =
        benchmark::Counter(1000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    Close();
}
BENCHMARK(BM_LitWorldSpace);

} // namespace


