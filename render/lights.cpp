#include "render/lights.h"

#include "core/file.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/dxerrors.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>

SW3DLIGHTOBJ *g_apLights[3] = {};
SW3DLIGHT g_tLightDesc = {};
SW3DMATERIALOBJ *g_pMaterial = nullptr;
uint32_t g_hMaterial = 0;
SW3DMATERIAL g_tMaterialDesc = {};

namespace {

int32_t LightResult(int32_t sw3dResult)
{
    g_hrDD = Gfx_D3DResult(sw3dResult);
    if (g_hrDD != 0)
        Gfx_DDErrorName(g_hrDD);
    return g_hrDD;
}

int32_t DeviceResult(int32_t sw3dResult)
{
    g_hrD3D = Gfx_D3DResult(sw3dResult);
    if (g_hrD3D != 0)
        Gfx_D3DErrorName(g_hrD3D);
    return g_hrD3D;
}

void Step(const char *format, int32_t n)
{
    std::snprintf(g_szErrorText, sizeof g_szErrorText, format, n);
}

// A light number that names no light is refused rather than followed.
SW3DLIGHTOBJ *Light(int32_t n)
{
    return n >= 0 && n < 3 ? g_apLights[n] : nullptr;
}

void MaterialRecord(float ar, float ag, float ab)
{
    g_tMaterialDesc = {};
    g_tMaterialDesc.size = sizeof(SW3DMATERIAL);
    g_tMaterialDesc.diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    g_tMaterialDesc.ambient = {ar, ag, ab, 0.0f};
    g_tMaterialDesc.rampSize = 16;
}

} // namespace

int32_t Gfx_InitLight(int32_t n)
{
    SW3DLIGHTOBJ *light = Light(n);
    if (!light)
        return LightResult(SW3D_ERR_INVALIDPARAMS);
    g_tLightDesc = {};
    g_tLightDesc.size = sizeof(SW3DLIGHT);
    g_tLightDesc.type = SW3D_LIGHT_DIRECTIONAL;
    g_tLightDesc.colour = {1.0f, 1.0f, 1.0f, 0.0f};
    g_tLightDesc.direction = {0.0f, 0.0f, 1.0f};
    g_tLightDesc.range = std::sqrt(FLT_MAX);
    g_tLightDesc.falloff = 1.0f;
    g_tLightDesc.attenuation0 = 1.0f;
    g_tLightDesc.flags = SW3D_LIGHT_ACTIVE;
    return LightResult(Sw3d_LightSet(light, &g_tLightDesc));
}

int32_t Gfx_SetLightColour(int32_t n, int32_t r, int32_t g, int32_t b)
{
    SW3DLIGHTOBJ *light = Light(n);
    if (!light)
        return LightResult(SW3D_ERR_INVALIDPARAMS);
    g_tLightDesc = {};
    g_tLightDesc.size = sizeof(SW3DLIGHT);
    if (const int32_t res = LightResult(Sw3d_LightGet(light, &g_tLightDesc)))
        return res;
    // 64-bit so the most negative value has an absolute value too.
    const int64_t ar = std::llabs(int64_t{r}), ag = std::llabs(int64_t{g}), ab = std::llabs(int64_t{b});
    g_tLightDesc.colour.r = static_cast<float>(ar) / 4096.0f;
    g_tLightDesc.colour.g = static_cast<float>(ag) / 4096.0f;
    g_tLightDesc.colour.b = static_cast<float>(ab) / 4096.0f;
    if (const int32_t res = LightResult(Sw3d_LightSet(light, &g_tLightDesc)))
        return res;
    std::snprintf(g_szErrorText, sizeof g_szErrorText, "RGB (%lld,%lld,%lld)\n", static_cast<long long>(ar),
                  static_cast<long long>(ag), static_cast<long long>(ab));
    return 0;
}

int32_t Gfx_SetLightDirection(int32_t n, int32_t x, int32_t y, int32_t z)
{
    if (x == 0 && y == 0 && z == 0)
        return 0;
    SW3DLIGHTOBJ *light = Light(n);
    if (!light)
        return LightResult(SW3D_ERR_INVALIDPARAMS);
    g_tLightDesc = {};
    g_tLightDesc.size = sizeof(SW3DLIGHT);
    if (const int32_t res = LightResult(Sw3d_LightGet(light, &g_tLightDesc)))
        return res;
    g_tLightDesc.direction = {static_cast<float>(x) / 4096.0f, static_cast<float>(y) / 4096.0f,
                              static_cast<float>(z) / 4096.0f};
    if (const int32_t res = LightResult(Sw3d_LightSet(light, &g_tLightDesc)))
        return res;
    std::snprintf(g_szErrorText, sizeof g_szErrorText, "DIR: XYZ (%1.3f,%1.3f,%1.3f)\n",
                  static_cast<double>(g_tLightDesc.direction.x), static_cast<double>(g_tLightDesc.direction.y),
                  static_cast<double>(g_tLightDesc.direction.z));
    return 0;
}

int32_t Gfx_SetAmbientColour(int32_t r, int32_t g, int32_t b)
{
    if (!g_pMaterial)
        return DeviceResult(SW3D_ERR_INVALIDPARAMS);
    const uint32_t packed = (static_cast<uint32_t>(r & 0xFF) << 16) | (static_cast<uint32_t>(g & 0xFF) << 8) |
                            static_cast<uint32_t>(b & 0xFF);
    g_tMaterialDesc = {};
    g_tMaterialDesc.size = sizeof(SW3DMATERIAL);
    if (const int32_t res = DeviceResult(Sw3d_MaterialGet(g_pMaterial, &g_tMaterialDesc)))
        return res;
    MaterialRecord(static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f);
    if (const int32_t res = DeviceResult(Sw3d_MaterialSet(g_pMaterial, &g_tMaterialDesc)))
        return res;
    uint32_t handle = 0;
    if (const int32_t res = DeviceResult(Sw3d_MaterialGetHandle(g_pMaterial, g_pD3DDevice, &handle)))
        return res;
    if (const int32_t res = DeviceResult(Sw3d_SetLightState(g_pD3DDevice, SW3D_LIGHTSTATE_MATERIAL, handle)))
        return res;
    if (const int32_t res = DeviceResult(Sw3d_SetLightState(g_pD3DDevice, SW3D_LIGHTSTATE_AMBIENT, packed)))
        return res;
    std::snprintf(g_szErrorText, sizeof g_szErrorText, "RGB (%d,%d,%d)\n", r, g, b);
    return 0;
}

int32_t Gfx_CreateMaterial()
{
    if (const int32_t res = DeviceResult(Sw3d_CreateMaterial(g_pD3D, &g_pMaterial)))
        return res;
    MaterialRecord(1.0f, 1.0f, 1.0f);
    if (const int32_t res = DeviceResult(Sw3d_MaterialSet(g_pMaterial, &g_tMaterialDesc)))
        return res;
    if (const int32_t res = DeviceResult(Sw3d_MaterialGetHandle(g_pMaterial, g_pD3DDevice, &g_hMaterial)))
        return res;
    return DeviceResult(Sw3d_SetLightState(g_pD3DDevice, SW3D_LIGHTSTATE_MATERIAL, g_hMaterial));
}

int32_t Gfx_CreateLights()
{
    for (int32_t n = 0; n < 3; n++) {
        g_apLights[n] = nullptr;
        Step("Couldn't Create Light #%d", n);
        if (const int32_t res = LightResult(Sw3d_CreateLight(g_pD3D, &g_apLights[n])))
            return res;
    }
    static constexpr int32_t kColour[3][3] = {{4096, 0, 0}, {0, 4096, 0}, {0, 0, 4096}};
    for (int32_t n = 0; n < 3; n++) {
        Gfx_InitLight(n);
        Gfx_SetLightColour(n, kColour[n][0], kColour[n][1], kColour[n][2]);
        Gfx_SetLightDirection(n, kColour[n][0], kColour[n][1], kColour[n][2]);
    }
    for (int32_t n = 0; n < 3; n++) {
        Step("Couldn't Add Light #%d to Viewport", n);
        if (const int32_t res = LightResult(Sw3d_ViewportAddLight(g_pViewport, g_apLights[n])))
            return res;
    }
    if (const int32_t res = DeviceResult(Sw3d_SetLightState(g_pD3DDevice, SW3D_LIGHTSTATE_AMBIENT, 0x20202020u)))
        return res;
    return Gfx_CreateMaterial();
}

int32_t Gfx_ReleaseLights()
{
    if (g_pMaterial) {
        if (const int32_t res = DeviceResult(Sw3d_ReleaseMaterial(g_pMaterial)))
            return res;
        g_pMaterial = nullptr;
        g_hMaterial = 0;
    }
    for (int32_t n = 2; n >= 0; n--) {
        if (!g_apLights[n])
            continue;
        if (g_pViewport) {
            Step("Couldn't Delete Light #%d from Viewport", n);
            if (const int32_t res = LightResult(Sw3d_ViewportDeleteLight(g_pViewport, g_apLights[n])))
                return res;
        }
        Step("Couldn't Release Light #%d", n);
        if (const int32_t res = LightResult(Sw3d_ReleaseLight(g_apLights[n])))
            return res;
        g_apLights[n] = nullptr;
    }
    return 0;
}
