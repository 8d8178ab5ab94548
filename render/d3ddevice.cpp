#include "render/d3ddevice.h"

#include "core/file.h"
#include "render/display.h"
#include "render/dxerrors.h"
#include "render/gpustate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

RENDERDEVICE g_aRenderDevices[RENDER_MAX_DEVICES] = {};
int32_t g_iRenderDeviceCount = 0;
int32_t g_iRenderDevice = -1;
SW3DINTERFACE *g_pD3D = nullptr;
SW3DDEVICE *g_pD3DDevice = nullptr;
SW3DVIEWPORTOBJ *g_pViewport = nullptr;
int32_t g_hrD3D = 0;
SW3DZFORMAT g_aZBufferFormats[8] = {};
int32_t g_iZBufferFormatCount = 0;
SW3DVIEWPORT g_tViewportDesc = {};
SW3DRECT g_rcClear = {};
int32_t g_bSoftware3D = 0;
SW3DTLVERTEX g_aScratchVertices[8] = {};
int32_t g_iD3DOffsetX = 0, g_iD3DOffsetY = 0;

namespace {

// Keeps and names a device result; answers it.
int32_t Check(int32_t sw3dResult)
{
    g_hrD3D = Gfx_D3DResult(sw3dResult);
    if (g_hrD3D != 0)
        Gfx_D3DErrorName(g_hrD3D);
    return g_hrD3D;
}

int32_t EnumDeviceCallback(const SW3DDEVICEINFO *info, void *)
{
    // The table holds eight; further devices are not listed.
    if (g_iRenderDeviceCount >= RENDER_MAX_DEVICES)
        return 0;
    RENDERDEVICE &r = g_aRenderDevices[g_iRenderDeviceCount];
    std::snprintf(r.name, sizeof r.name, "%s (%s)", info->name, info->description);
    r.guid = info->guid;
    r.hardware = Sw3d_GuidEqual(info->guid, SW3D_GUID_HARDWARE) ? 1 : 0;
    r.desc = r.hardware ? &info->hardware : &info->emulation;
    const SW3DDEVICEDESC &d = *r.desc;
    const bool capable = (d.devCaps & SW3D_DEVCAPS_DRAWPRIMTLVERTEX) && (d.devCaps & SW3D_DEVCAPS_TEXTUREVIDEOMEMORY) &&
                         (d.textureBlendCaps & SW3D_TEXBLEND_MODULATE) && (d.srcBlendCaps & SW3D_BLENDCAPS_ONE) &&
                         (d.destBlendCaps & SW3D_BLENDCAPS_ONE);
    if (!capable)
        r.hardware = 0;
    r.desc = nullptr; // the description lives only as long as this call
    g_iRenderDeviceCount++;
    return 1;
}

int32_t EnumZFormatCallback(const SW3DZFORMAT *format, void *)
{
    if (format->flags == SW3D_ZF_ZBUFFER && format->depth == 16) {
        g_aZBufferFormats[0] = *format;
        g_iZBufferFormatCount = 1;
        return 0;
    }
    return 1;
}

bool Surfaces(SW3DSURFACES *s)
{
    int32_t pitch = 0, w = 0, h = 0, zw = 0, zh = 0;
    s->colour = Gfx_GetBackBuffer(&pitch, &w, &h);
    if (!s->colour)
        return false;
    s->pitch = pitch;
    s->width = w;
    s->height = h;
    s->pixelFormat = g_iPixelFormat;
    s->z = Gfx_GetZBuffer(&zw, &zh);
    if (s->z && (zw != w || zh != h))
        s->z = nullptr; // a z-buffer of another mode is not used
    s->zPitch = zw * 2;
    return true;
}

// Width and height of the display mode, or the screen layout when no mode is set.
void ModeSize(int32_t *w, int32_t *h)
{
    if (!Gfx_GetBackBuffer(nullptr, w, h)) {
        *w = g_iScreenWidth;
        *h = g_iScreenHeight;
    }
}

void SetViewportDesc(int32_t x, int32_t y, int32_t w, int32_t h)
{
    g_tViewportDesc = {x, y, w, h, -1.0f, 1.0f, 2.0f, 2.0f, 0.0f, 1.0f};
}

} // namespace

const char *Gfx_GetRenderDeviceName(int32_t device)
{
    if (device < 0 || device >= g_iRenderDeviceCount)
        return "";
    return g_aRenderDevices[device].name;
}

int32_t Gfx_D3DResult(int32_t r)
{
    switch (r) {
    case SW3D_OK: return 0;
    case SW3D_ERR_INVALIDPARAMS:
    case SW3D_ERR_STATE: return DDERR_INVALIDPARAMS;
    case SW3D_ERR_NODEVICE: return D3DERR_INVALID_DEVICE;
    case SW3D_ERR_NOVIEWPORT: return D3DERR_NOCURRENTVIEWPORT;
    case SW3D_ERR_PRIMITIVE: return D3DERR_INVALIDPRIMITIVETYPE;
    case SW3D_ERR_VERTEXTYPE: return D3DERR_INVALIDVERTEXTYPE;
    case SW3D_ERR_NOTARGET: return DDERR_SURFACELOST;
    case SW3D_ERR_SCENE: return D3DERR_SCENE_IN_SCENE;
    case SW3D_ERR_NOSCENE: return D3DERR_SCENE_NOT_IN_SCENE;
    case SW3D_ERR_VIEWPORTNODEVICE: return D3DERR_VIEWPORTHASNODEVICE;
    default: return DDERR_GENERIC;
    }
}

const char *Gfx_D3DErrorName(int32_t result)
{
    const char *name = nullptr;
    switch (result) {
    case D3DERR_INVALID_DEVICE: name = "D3DERR_INVALID_DEVICE"; break;
    case D3DERR_INITFAILED: name = "D3DERR_INITFAILED"; break;
    case D3DERR_SETVIEWPORTDATA_FAILED: name = "D3DERR_SETVIEWPORTDATA_FAILED"; break;
    case D3DERR_INVALIDCURRENTVIEWPORT: name = "D3DERR_INVALIDCURRENTVIEWPORT"; break;
    case D3DERR_INVALIDPRIMITIVETYPE: name = "D3DERR_INVALIDPRIMITIVETYPE"; break;
    case D3DERR_INVALIDVERTEXTYPE: name = "D3DERR_INVALIDVERTEXTYPE"; break;
    case D3DERR_TEXTURE_BADSIZE: name = "D3DERR_TEXTURE_BADSIZE"; break;
    case D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY: name = "D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY"; break;
    case D3DERR_ZBUFF_NEEDS_VIDEOMEMORY: name = "D3DERR_ZBUFF_NEEDS_VIDEOMEMORY"; break;
    case D3DERR_SURFACENOTINVIDMEM: name = "D3DERR_SURFACENOTINVIDMEM"; break;
    case D3DERR_NOVIEWPORTS: name = "D3DERR_NOVIEWPORTS"; break;
    case D3DERR_VIEWPORTDATANOTSET: name = "D3DERR_VIEWPORTDATANOTSET"; break;
    case D3DERR_VIEWPORTHASNODEVICE: name = "D3DERR_VIEWPORTHASNODEVICE"; break;
    case D3DERR_NOCURRENTVIEWPORT: name = "D3DERR_NOCURRENTVIEWPORT"; break;
    case D3DERR_INVALIDVERTEXFORMAT: name = "D3DERR_INVALIDVERTEXFORMAT"; break;
    default: return nullptr;
    }
    std::snprintf(g_szDXErrorName, sizeof g_szDXErrorName, "%s", name);
    return g_szDXErrorName;
}

int32_t Gfx_CreateD3D()
{
    return Check(Sw3d_Open(g_pDirectDraw, &g_pD3D));
}

int32_t Gfx_ReleaseD3D()
{
    if (g_pD3D) {
        if (const int32_t r = Check(Sw3d_Release(g_pD3D)))
            return r;
    }
    g_pD3D = nullptr;
    return 0;
}

int32_t Gfx_EnumerateD3DDevices(void *)
{
    g_iRenderDeviceCount = 0;
    if (!g_pD3D && Gfx_CreateD3D() != 0)
        return 1;
    const int32_t r = Check(Sw3d_EnumDevices(g_pD3D, EnumDeviceCallback, nullptr));
    Gfx_ReleaseD3D();
    return r;
}

int32_t Gfx_CreateD3DDevice(int32_t n)
{
    // A device left from a failed set-up would otherwise be lost, and the rasteriser makes one
    // device at a time.
    if (g_pD3DDevice || g_pViewport)
        Gfx_ReleaseD3DDevice();
    if (!g_pD3D && Gfx_CreateD3D() != 0)
        return 1;
    // Asked for a record that was not listed: the last one listed stands in.
    if (n < 0 || n >= g_iRenderDeviceCount)
        n = g_iRenderDeviceCount > 0 ? g_iRenderDeviceCount - 1 : 0;
    g_iRenderDevice = n;
    const RENDERDEVICE &rec = g_aRenderDevices[n];
    if (g_iDisplayDevice >= 0 && g_iDisplayDevice < DISPLAY_MAX_DEVICES)
        g_aDisplayDevices[g_iDisplayDevice].surfaceMemory = rec.hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY;
    g_bSoftware3D = rec.hardware ? 0 : 1;
    g_pD3DDevice = nullptr;
    g_iZBufferFormatCount = 0;
    if (const int32_t r = Check(Sw3d_EnumZBufferFormats(g_pD3D, &rec.guid, EnumZFormatCallback, nullptr)))
        return r;
    if (g_iZBufferFormatCount == 0) {
        // Without a 16-bit format the z-buffer would be made from whatever slot 0 held.
        g_hrD3D = D3DERR_ZBUFFER_NOTPRESENT;
        Gfx_DDErrorName(g_hrD3D);
        return g_hrD3D;
    }
    if (const int32_t r = Gfx_CreateZBuffer(&g_aZBufferFormats[0]))
        return r;
    if (const int32_t r = Check(Sw3d_CreateDevice(g_pD3D, &rec.guid, Surfaces, &g_pD3DDevice)))
        return r;
    std::snprintf(g_szErrorText, sizeof g_szErrorText, "%s Device Created", rec.name);
    if (const int32_t r = Gfx_CreateViewport())
        return r;
    if (const int32_t r = Gfx_SetInitialRenderState())
        return r;
    g_iD3DOffsetX = g_iD3DOffsetY = 0;
    return 0;
}

int32_t Gfx_ReleaseD3DDevice()
{
    if (g_pD3D) {
        if (const int32_t r = Check(Sw3d_EvictManagedTextures(g_pD3D)))
            return r;
    }
    if (const int32_t r = Gfx_ReleaseViewport())
        return r;
    if (g_pD3DDevice) {
        if (const int32_t r = Check(Sw3d_ReleaseDevice(g_pD3DDevice)))
            return r;
        g_pD3DDevice = nullptr;
    }
    // The display's last-failure word is sticky, so the release's own answer decides.
    if (const int32_t r = Gfx_ReleaseSurfaces())
        return r;
    return Gfx_ReleaseD3D();
}

int32_t Gfx_CreateViewport()
{
    g_pViewport = nullptr;
    int32_t w = 0, h = 0;
    ModeSize(&w, &h);
    SetViewportDesc(0, 0, w, h);
    g_rcClear = {0, 0, w, h};
    if (const int32_t r = Check(Sw3d_CreateViewport(g_pD3D, &g_pViewport)))
        return r;
    if (const int32_t r = Check(Sw3d_AddViewport(g_pD3DDevice, g_pViewport)))
        return r;
    if (const int32_t r = Check(Sw3d_SetViewport(g_pViewport, &g_tViewportDesc)))
        return r;
    return Check(Sw3d_SetCurrentViewport(g_pD3DDevice, g_pViewport));
}

int32_t Gfx_ReleaseViewport()
{
    if (g_pD3DDevice && g_pViewport) {
        if (const int32_t r = Check(Sw3d_DeleteViewport(g_pD3DDevice, g_pViewport)))
            return r;
    }
    if (g_pViewport) {
        if (const int32_t r = Check(Sw3d_ReleaseViewport(g_pViewport)))
            return r;
    }
    g_pViewport = nullptr;
    return 0;
}

bool Gfx_ScaleToMode(int32_t x, int32_t y, int32_t w, int32_t h, int32_t *X, int32_t *Y, int32_t *W, int32_t *H)
{
    int32_t mw = 0, mh = 0;
    ModeSize(&mw, &mh);
    const int64_t sw = g_iScreenWidth > 0 ? g_iScreenWidth : mw, sh = g_iScreenHeight > 0 ? g_iScreenHeight : mh;
    if (sw <= 0 || sh <= 0)
        return false;
    // Signed and cut to the mode: a preview window partly off screen keeps its visible part.
    const int64_t x0 = std::clamp<int64_t>(int64_t{x} * mw / sw, 0, mw);
    const int64_t y0 = std::clamp<int64_t>(int64_t{y} * mh / sh, 0, mh);
    const int64_t x1 = std::clamp<int64_t>((int64_t{x} + std::max(w, 0)) * mw / sw, x0, mw);
    const int64_t y1 = std::clamp<int64_t>((int64_t{y} + std::max(h, 0)) * mh / sh, y0, mh);
    *X = static_cast<int32_t>(x0);
    *Y = static_cast<int32_t>(y0);
    *W = static_cast<int32_t>(x1 - x0);
    *H = static_cast<int32_t>(y1 - y0);
    return true;
}

int32_t Gfx_SetViewport(int32_t x, int32_t y, int32_t w, int32_t h)
{
    int32_t X, Y, W, H;
    if (!Gfx_ScaleToMode(x, y, w, h, &X, &Y, &W, &H))
        return 0;
    SetViewportDesc(X, Y, W, H);
    g_rcClear = {X, Y, X + W, Y + H};
    g_iDrawAreaLeft = X;
    g_iDrawAreaTop = Y;
    g_iDrawAreaRight = X + W;
    g_iDrawAreaBottom = Y + H;
    g_iDrawOffsetX = g_iDrawOffsetY = 0;
    if (!g_pViewport)
        return 0;
    return Check(Sw3d_SetViewport(g_pViewport, &g_tViewportDesc));
}

int32_t Gfx_ClearViewportColour(uint32_t rgb)
{
    if (!g_pD3DDevice || !g_pViewport)
        return 0;
    return Check(Sw3d_ViewportClear(g_pViewport, &g_rcClear, 1, SW3D_CLEAR_TARGET | SW3D_CLEAR_ZBUFFER, rgb, 1.0f));
}

int32_t Gfx_ClearZBuffer()
{
    if (!g_pD3DDevice || !g_pViewport)
        return 0;
    return Check(Sw3d_ViewportClear(g_pViewport, &g_rcClear, 1, SW3D_CLEAR_ZBUFFER, 0, 1.0f));
}

int32_t Gfx_SetInitialRenderState()
{
    struct STATE
    {
        bool stage;
        uint32_t which;
        uint32_t value;
    };
    static constexpr STATE kStates[] = {
        {false, SW3D_RS_SHADEMODE, SW3D_SHADE_GOURAUD},
        {false, SW3D_RS_CULLMODE, SW3D_CULL_NONE},
        {false, SW3D_RS_ZENABLE, 1},
        {false, SW3D_RS_ZWRITEENABLE, 1},
        {false, SW3D_RS_ZFUNC, SW3D_CMP_LESSEQUAL},
        {false, SW3D_RS_SRCBLEND, SW3D_BLEND_ONE},
        {false, SW3D_RS_DESTBLEND, SW3D_BLEND_ONE},
        {true, SW3D_TSS_COLOROP, SW3D_TOP_MODULATE},
        {true, SW3D_TSS_COLORARG1, SW3D_TA_TEXTURE},
        {true, SW3D_TSS_COLORARG2, SW3D_TA_DIFFUSE},
        {false, SW3D_RS_COLORKEYENABLE, 0},
    };
    for (const STATE &s : kStates) {
        const int32_t r = s.stage ? Sw3d_SetTextureStageState(g_pD3DDevice, 0, static_cast<SW3DTSS>(s.which), s.value)
                                  : Sw3d_SetRenderState(g_pD3DDevice, static_cast<SW3DRENDERSTATE>(s.which), s.value);
        if (Check(r))
            return g_hrD3D;
    }
    // These results are not looked at.
    Check(Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_MINFILTER, SW3D_FILTER_POINT));
    Check(Sw3d_SetTextureStageState(g_pD3DDevice, 0, SW3D_TSS_MAGFILTER, SW3D_FILTER_POINT));
    SW3DMATRIX m{};
    Gfx_SetIdentityMatrix(&m);
    Check(Sw3d_SetTransform(SW3D_TRANSFORM_WORLD, &m));
    Check(Sw3d_SetTransform(SW3D_TRANSFORM_VIEW, &m));
    Gfx_BuildProjectionMatrix(&m, 90.0f, 0.75f, 1.0f, 65535.0f);
    Check(Sw3d_SetTransform(SW3D_TRANSFORM_PROJECTION, &m));
    for (SW3DTLVERTEX &v : g_aScratchVertices)
        v = {0.0f, 0.0f, 0.1f, 1.0f, 0x00FFFFFFu, 0, 0.0f, 0.0f};
    g_hrD3D = 0;
    return 0;
}

void Gfx_BuildProjectionMatrix(SW3DMATRIX *m, float fov, float aspect, float nearZ, float farZ)
{
    if (!m)
        return;
    const float theta = fov / 180.0f * 3.1415927f;
    if (std::fabs(farZ - nearZ) < 0.01f || std::fabs(std::sin(theta / 2.0f)) < 0.01f)
        return;
    const float c = std::cos(theta / 2.0f) / std::sin(theta / 2.0f);
    const float q = farZ / (farZ - nearZ);
    *m = SW3DMATRIX{};
    m->_11 = aspect * c;
    m->_22 = c;
    m->_33 = q;
    m->_34 = 1.0f;
    m->_43 = -q * nearZ;
}

void Gfx_SetIdentityMatrix(SW3DMATRIX *m)
{
    if (!m)
        return;
    *m = SW3DMATRIX{};
    m->_11 = m->_22 = m->_33 = m->_44 = 1.0f;
}

void Gfx_MultiplyMatrix(const SW3DMATRIX *a, const SW3DMATRIX *b, SW3DMATRIX *out)
{
    if (!a || !b || !out)
        return;
    const float *pa = &a->_11, *pb = &b->_11;
    SW3DMATRIX r{};
    float *pr = &r._11;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            float s = 0.0f;
            for (int k = 0; k < 4; k++)
                s += pb[i * 4 + k] * pa[k * 4 + j];
            pr[i * 4 + j] = s;
        }
    *out = r;
}

int32_t Gfx_DrawTestTriangle()
{
    const SW3DTLVERTEX v[3] = {{0.0f, 0.0f, 0.1f, 1.0f, 0x00FF0000u, 0, 0.0f, 0.0f},
                               {0.0f, 200.0f, 0.1f, 1.0f, 0x0000FF00u, 0, 0.0f, 0.0f},
                               {100.0f, 100.0f, 0.1f, 1.0f, 0x000000FFu, 0, 0.0f, 0.0f}};
    return Check(Sw3d_DrawPrimitive(g_pD3DDevice, SW3D_PT_TRIANGLESTRIP, SW3D_FVF_TLVERTEX, v, 3, 0));
}
