// The software 3-D device. Its pixel rules are written in sw3d.h.
#include "platform/sw3d.h"
#include "platform/sw3d_internal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

const SW3DGUID SW3D_GUID_HARDWARE = {{0x84, 0xE6, 0x3D, 0xE0, 0x46, 0xAA, 0xCF, 0x11, 0x81, 0x6F, 0x00, 0x00,
                                      0xC0, 0x20, 0x15, 0x6E}};
const SW3DGUID SW3D_GUID_EMULATION = {{0x60, 0x2C, 0xD7, 0xA4, 0x5D, 0xB5, 0x11, 0xD0, 0x9E, 0x2B, 0x00, 0xA0,
                                       0xC9, 0x1E, 0x4A, 0x31}};

bool Sw3d_GuidEqual(const SW3DGUID &a, const SW3DGUID &b)
{
    return std::memcmp(a.b, b.b, sizeof a.b) == 0;
}

namespace {

using namespace sw3d;

constexpr SW3DDEVICEDESC kFullCaps = {SW3D_DEVCAPS_DRAWPRIMTLVERTEX | SW3D_DEVCAPS_TEXTUREVIDEOMEMORY,
                                      SW3D_TEXBLEND_MODULATE, SW3D_BLENDCAPS_ONE | SW3D_BLENDCAPS_SRCALPHA,
                                      SW3D_BLENDCAPS_ONE | SW3D_BLENDCAPS_SRCALPHA};

std::vector<SW3DDEVICEINFO> DefaultDevices()
{
    SW3DDEVICEINFO emu{};
    emu.guid = SW3D_GUID_EMULATION;
    std::strcpy(emu.description, "Software rasteriser");
    std::strcpy(emu.name, "Software 3D");
    emu.emulation = kFullCaps;
    SW3DDEVICEINFO hw{};
    hw.guid = SW3D_GUID_HARDWARE;
    std::strcpy(hw.description, "Studio rasteriser");
    std::strcpy(hw.name, "Studio 3D");
    hw.hardware = kFullCaps;
    return {emu, hw};
}

const std::vector<SW3DZFORMAT> kDefaultZFormats = {{SW3D_ZF_ZBUFFER, 16}};

std::vector<SW3DDEVICEINFO> s_devices = DefaultDevices();
std::vector<SW3DZFORMAT> s_zFormats = kDefaultZFormats;
int32_t s_failAfter = -1;
int32_t s_failResult = SW3D_ERR_GENERIC;

SW3DDEVICE *s_device = nullptr; // the one device
std::vector<SW3DVIEWPORTOBJ *> s_viewports;
std::vector<SW3DMATERIALOBJ *> s_materials; // handle - 1 -> material
std::array<SW3DMATRIX, 4> s_transforms = [] {
    std::array<SW3DMATRIX, 4> t{};
    for (auto &m : t)
        m._11 = m._22 = m._33 = m._44 = 1.0f;
    return t;
}();

// The failure hook: answers the injected result when it is this call's turn.
int32_t Counted()
{
    if (s_failAfter < 0)
        return SW3D_OK;
    if (s_failAfter == 0) {
        s_failAfter = -1;
        return s_failResult;
    }
    s_failAfter--;
    return SW3D_OK;
}


// Clip-space polygon clipping against 0 <= z <= w and the guard band, then the viewport mapping.
constexpr float kGuard = 8.0f;

SW3DPVERTEX Lerp(const SW3DPVERTEX &a, const SW3DPVERTEX &b, float f)
{
    auto mix = [f](float p, float q) { return p + (q - p) * f; };
    auto mixc = [f](uint32_t p, uint32_t q, int shift) {
        const float pc = static_cast<float>((p >> shift) & 0xFF), qc = static_cast<float>((q >> shift) & 0xFF);
        const float r = pc + (qc - pc) * f;
        return static_cast<uint32_t>(std::clamp(std::floor(r + 0.5f), 0.0f, 255.0f)) << shift;
    };
    return {mix(a.x, b.x), mix(a.y, b.y), mix(a.z, b.z), mix(a.w, b.w),
            mixc(a.colour, b.colour, 24) | mixc(a.colour, b.colour, 16) | mixc(a.colour, b.colour, 8) |
                mixc(a.colour, b.colour, 0),
            mix(a.tu, b.tu), mix(a.tv, b.tv)};
}

// Plane distances: inside when >= 0.
float Plane(const SW3DPVERTEX &v, int plane)
{
    switch (plane) {
    case 0: return v.z;
    case 1: return v.w - v.z;
    case 2: return kGuard * v.w - v.x;
    case 3: return kGuard * v.w + v.x;
    case 4: return kGuard * v.w - v.y;
    default: return kGuard * v.w + v.y;
    }
}

int ClipPolygon(SW3DPVERTEX *poly, int n, SW3DPVERTEX *scratch)
{
    for (int plane = 0; plane < 6 && n > 0; plane++) {
        int m = 0;
        for (int i = 0; i < n; i++) {
            const SW3DPVERTEX &p = poly[i], &q = poly[(i + 1) % n];
            const float dp = Plane(p, plane), dq = Plane(q, plane);
            if (!(dp >= 0.0f) && !(dq >= 0.0f))
                continue;
            if (dp >= 0.0f)
                scratch[m++] = p;
            if ((dp >= 0.0f) != (dq >= 0.0f))
                scratch[m++] = Lerp(p, q, dp / (dp - dq));
        }
        std::copy(scratch, scratch + m, poly);
        n = m;
    }
    return n;
}

SVERTEX ToScreen(const SW3DVIEWPORT &vp, const SW3DPVERTEX &p)
{
    const float rhw = 1.0f / p.w;
    const float nx = p.x * rhw, ny = p.y * rhw, nz = p.z * rhw;
    SVERTEX s;
    s.sx = static_cast<float>(vp.x) + (nx - vp.clipX) / vp.clipWidth * static_cast<float>(vp.width);
    s.sy = static_cast<float>(vp.y) + (vp.clipY - ny) / vp.clipHeight * static_cast<float>(vp.height);
    s.sz = vp.minZ + nz * (vp.maxZ - vp.minZ);
    s.rhw = rhw;
    s.colour = p.colour;
    s.tu = p.tu;
    s.tv = p.tv;
    return s;
}

void DrawClippedTriangle(const SW3DDEVICE &d, const Target &t, const SW3DPVERTEX &a, const SW3DPVERTEX &b,
                         const SW3DPVERTEX &c)
{
    SW3DPVERTEX poly[16] = {a, b, c}, scratch[16];
    const int n = ClipPolygon(poly, 3, scratch);
    if (n < 3)
        return;
    const SW3DVIEWPORT &vp = d.current->desc;
    const SVERTEX s0 = ToScreen(vp, poly[0]);
    for (int i = 1; i + 1 < n; i++)
        DrawTriangle(d, t, s0, ToScreen(vp, poly[i]), ToScreen(vp, poly[i + 1]));
}

void DrawClippedLine(const SW3DDEVICE &d, const Target &t, SW3DPVERTEX a, SW3DPVERTEX b)
{
    for (int plane = 0; plane < 6; plane++) {
        const float da = Plane(a, plane), db = Plane(b, plane);
        if (!(da >= 0.0f) && !(db >= 0.0f))
            return;
        if (!(da >= 0.0f))
            a = Lerp(a, b, da / (da - db));
        else if (!(db >= 0.0f))
            b = Lerp(a, b, da / (da - db));
    }
    const SW3DVIEWPORT &vp = d.current->desc;
    DrawLine(d, t, ToScreen(vp, a), ToScreen(vp, b));
}

void DrawClippedPoint(const SW3DDEVICE &d, const Target &t, const SW3DPVERTEX &p)
{
    for (int plane = 0; plane < 6; plane++)
        if (!(Plane(p, plane) >= 0.0f))
            return;
    if (p.w > 0.0f)
        DrawPoint(d, t, ToScreen(d.current->desc, p));
}

SW3DMATRIX Multiply(const SW3DMATRIX &a, const SW3DMATRIX &b)
{
    const float *pa = &a._11, *pb = &b._11;
    SW3DMATRIX r{};
    float *pr = &r._11;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            float s = 0.0f;
            for (int k = 0; k < 4; k++)
                s += pa[i * 4 + k] * pb[k * 4 + j];
            pr[i * 4 + j] = s;
        }
    return r;
}

SW3DPVERTEX Transform(const SW3DMATRIX &m, float x, float y, float z)
{
    SW3DPVERTEX p{};
    p.x = x * m._11 + y * m._21 + z * m._31 + m._41;
    p.y = x * m._12 + y * m._22 + z * m._32 + m._42;
    p.z = x * m._13 + y * m._23 + z * m._33 + m._43;
    p.w = x * m._14 + y * m._24 + z * m._34 + m._44;
    return p;
}

uint32_t Channel8(float v)
{
    if (!(v > 0.0f))
        return 0;
    if (v >= 1.0f)
        return 255;
    return static_cast<uint32_t>(std::floor(v * 255.0f + 0.5f));
}

uint32_t Light(const SW3DDEVICE &d, const SW3DVERTEX &v)
{
    const SW3DMATERIALOBJ *mat = d.material && d.material <= s_materials.size() ? s_materials[d.material - 1] : nullptr;
    const SW3DMATRIX &w = s_transforms[SW3D_TRANSFORM_WORLD];
    const float nx = v.nx * w._11 + v.ny * w._21 + v.nz * w._31;
    const float ny = v.nx * w._12 + v.ny * w._22 + v.nz * w._32;
    const float nz = v.nx * w._13 + v.ny * w._23 + v.nz * w._33;
    float sum[3] = {0.0f, 0.0f, 0.0f};
    if (d.current)
        for (int i = 0; i < d.current->lightCount; i++) {
            const SW3DLIGHT &l = d.current->lights[i]->desc;
            if (!(l.flags & SW3D_LIGHT_ACTIVE) || l.type != SW3D_LIGHT_DIRECTIONAL)
                continue;
            const float len = std::sqrt(l.direction.x * l.direction.x + l.direction.y * l.direction.y +
                                        l.direction.z * l.direction.z);
            if (!(len > 0.0f))
                continue;
            const float dot = -(nx * l.direction.x + ny * l.direction.y + nz * l.direction.z) / len;
            if (!(dot > 0.0f))
                continue;
            sum[0] += l.colour.r * dot;
            sum[1] += l.colour.g * dot;
            sum[2] += l.colour.b * dot;
        }
    const ARGB vc = Unpack(v.colour);
    const ARGB amb = Unpack(d.ambient);
    const float diffuse[3] = {vc.r / 255.0f, vc.g / 255.0f, vc.b / 255.0f};
    const float ambient[3] = {amb.r / 255.0f, amb.g / 255.0f, amb.b / 255.0f};
    const float matAmb[3] = {mat ? mat->desc.ambient.r : 0.0f, mat ? mat->desc.ambient.g : 0.0f,
                             mat ? mat->desc.ambient.b : 0.0f};
    const float emissive[3] = {mat ? mat->desc.emissive.r : 0.0f, mat ? mat->desc.emissive.g : 0.0f,
                               mat ? mat->desc.emissive.b : 0.0f};
    uint32_t out = vc.a << 24;
    for (int ch = 0; ch < 3; ch++) {
        const float c = ambient[ch] * matAmb[ch] + diffuse[ch] * sum[ch] + emissive[ch];
        out |= Channel8(c) << (16 - ch * 8);
    }
    return out;
}

bool ValidDevice(const SW3DDEVICE *device)
{
    return device && device == s_device;
}

int32_t Primitives(SW3DPRIMITIVE type, int32_t n)
{
    switch (type) {
    case SW3D_PT_POINTLIST: return n;
    case SW3D_PT_LINELIST: return n / 2;
    case SW3D_PT_LINESTRIP: return n - 1;
    case SW3D_PT_TRIANGLELIST: return n / 3;
    case SW3D_PT_TRIANGLESTRIP:
    case SW3D_PT_TRIANGLEFAN: return n - 2;
    default: return -1;
    }
}

// Walks a primitive's vertices (through the index list when given) and hands each point, line or
// triangle to the drawers.
template <typename POINTFN, typename LINEFN, typename TRIFN>
void Walk(SW3DPRIMITIVE type, int32_t n, const uint16_t *idx, POINTFN point, LINEFN line, TRIFN tri)
{
    auto at = [idx](int32_t i) { return idx ? static_cast<int32_t>(idx[i]) : i; };
    switch (type) {
    case SW3D_PT_POINTLIST:
        for (int32_t i = 0; i < n; i++)
            point(at(i));
        break;
    case SW3D_PT_LINELIST:
        for (int32_t i = 0; i + 1 < n; i += 2)
            line(at(i), at(i + 1));
        break;
    case SW3D_PT_LINESTRIP:
        for (int32_t i = 0; i + 1 < n; i++)
            line(at(i), at(i + 1));
        break;
    case SW3D_PT_TRIANGLELIST:
        for (int32_t i = 0; i + 2 < n; i += 3)
            tri(at(i), at(i + 1), at(i + 2));
        break;
    case SW3D_PT_TRIANGLESTRIP:
        for (int32_t i = 0; i + 2 < n; i++)
            tri(at(i), at(i + 1), at(i + 2));
        break;
    default:
        for (int32_t i = 1; i + 1 < n; i++)
            tri(at(0), at(i), at(i + 1));
        break;
    }
}

int32_t DrawCommon(SW3DDEVICE *device, SW3DPRIMITIVE type, uint32_t fvf, const void *vertices, int32_t vertexCount,
                   const uint16_t *indices, int32_t indexCount, uint32_t flags)
{
    if (!ValidDevice(device))
        return SW3D_ERR_NODEVICE;
    if (Primitives(type, 3) < 0)
        return SW3D_ERR_PRIMITIVE;
    if (fvf != SW3D_FVF_TLVERTEX && fvf != SW3D_FVF_LVERTEX && fvf != SW3D_FVF_VERTEX)
        return SW3D_ERR_VERTEXTYPE;
    if (!vertices || vertexCount < 0 || (indices && indexCount < 0))
        return SW3D_ERR_INVALIDPARAMS;
    if (indices)
        for (int32_t i = 0; i < indexCount; i++)
            if (indices[i] >= vertexCount)
                return SW3D_ERR_INVALIDPARAMS;
    if (!device->current)
        return SW3D_ERR_NOVIEWPORT;
    if (const int32_t r = Counted())
        return r;
    Target t;
    if (!GetTarget(*device, &t))
        return SW3D_ERR_NOTARGET;
    const int32_t n = indices ? indexCount : vertexCount;
    const SW3DDEVICE &d = *device;
    if (fvf == SW3D_FVF_TLVERTEX) {
        const SW3DTLVERTEX *tl = static_cast<const SW3DTLVERTEX *>(vertices);
        auto sv = [tl](int32_t i) { return SVERTEX{tl[i].sx, tl[i].sy, tl[i].sz, tl[i].rhw, tl[i].colour, tl[i].tu, tl[i].tv}; };
        Walk(type, n, indices, [&](int32_t i) { DrawPoint(d, t, sv(i)); },
             [&](int32_t i, int32_t j) { DrawLine(d, t, sv(i), sv(j)); },
             [&](int32_t i, int32_t j, int32_t k) { DrawTriangle(d, t, sv(i), sv(j), sv(k)); });
        return SW3D_OK;
    }
    std::vector<SW3DPVERTEX> p(static_cast<size_t>(vertexCount));
    const SW3DMATRIX m = Multiply(Multiply(s_transforms[SW3D_TRANSFORM_WORLD], s_transforms[SW3D_TRANSFORM_VIEW]),
                                  s_transforms[SW3D_TRANSFORM_PROJECTION]);
    for (int32_t i = 0; i < vertexCount; i++) {
        if (fvf == SW3D_FVF_LVERTEX) {
            const SW3DLVERTEX &l = static_cast<const SW3DLVERTEX *>(vertices)[i];
            p[i] = Transform(m, l.x, l.y, l.z);
            p[i].colour = l.colour;
            p[i].tu = l.tu;
            p[i].tv = l.tv;
        } else {
            const SW3DVERTEX &v = static_cast<const SW3DVERTEX *>(vertices)[i];
            p[i] = Transform(m, v.x, v.y, v.z);
            p[i].colour = (flags & SW3D_DP_DONOTLIGHT) || !d.material ? v.colour : Light(d, v);
            p[i].tu = v.tu;
            p[i].tv = v.tv;
        }
    }
    Walk(type, n, indices, [&](int32_t i) { DrawClippedPoint(d, t, p[i]); },
         [&](int32_t i, int32_t j) { DrawClippedLine(d, t, p[i], p[j]); },
         [&](int32_t i, int32_t j, int32_t k) { DrawClippedTriangle(d, t, p[i], p[j], p[k]); });
    return SW3D_OK;
}

} // namespace

// --- interface and devices ---

int32_t Sw3d_Open(const void *display, SW3DINTERFACE **out)
{
    if (!out)
        return SW3D_ERR_INVALIDPARAMS;
    *out = nullptr;
    if (!display)
        return SW3D_ERR_NODEVICE;
    if (const int32_t r = Counted())
        return r;
    *out = new SW3DINTERFACE{};
    return SW3D_OK;
}

int32_t Sw3d_Release(SW3DINTERFACE *iface)
{
    if (const int32_t r = Counted())
        return r;
    delete iface;
    return SW3D_OK;
}

int32_t Sw3d_EnumDevices(SW3DINTERFACE *iface, SW3DENUMDEVICES callback, void *context)
{
    if (!iface || !callback)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    for (const SW3DDEVICEINFO &d : s_devices)
        if (!callback(&d, context))
            break;
    return SW3D_OK;
}

int32_t Sw3d_EnumZBufferFormats(SW3DINTERFACE *iface, const SW3DGUID *device, SW3DENUMZFORMATS callback,
                                void *context)
{
    if (!iface || !device || !callback)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    for (const SW3DZFORMAT &f : s_zFormats)
        if (!callback(&f, context))
            break;
    return SW3D_OK;
}

int32_t Sw3d_CreateDevice(SW3DINTERFACE *iface, const SW3DGUID *guid, SW3DTARGETFN target, SW3DDEVICE **out)
{
    if (!out)
        return SW3D_ERR_INVALIDPARAMS;
    *out = nullptr;
    if (!iface || !guid || !target)
        return SW3D_ERR_INVALIDPARAMS;
    const bool listed = std::any_of(s_devices.begin(), s_devices.end(),
                                    [guid](const SW3DDEVICEINFO &d) { return Sw3d_GuidEqual(d.guid, *guid); });
    if (!listed || s_device)
        return SW3D_ERR_NODEVICE;
    if (const int32_t r = Counted())
        return r;
    SW3DSURFACES s{};
    if (!target(&s) || !s.colour)
        return SW3D_ERR_NOTARGET;
    SW3DDEVICE *d = new SW3DDEVICE{};
    d->target = target;
    d->zEnable = 1;
    d->shadeMode = SW3D_SHADE_GOURAUD;
    d->zWrite = 1;
    d->srcBlend = SW3D_BLEND_ONE;
    d->destBlend = SW3D_BLEND_ZERO;
    d->cullMode = SW3D_CULL_NONE;
    d->zFunc = SW3D_CMP_LESSEQUAL;
    d->colourOp = SW3D_TOP_MODULATE;
    d->colourArg1 = SW3D_TA_TEXTURE;
    d->colourArg2 = SW3D_TA_CURRENT;
    d->magFilter = d->minFilter = SW3D_FILTER_POINT;
    s_device = d;
    *out = d;
    return SW3D_OK;
}

int32_t Sw3d_ReleaseDevice(SW3DDEVICE *device)
{
    if (!ValidDevice(device))
        return SW3D_ERR_NODEVICE;
    if (const int32_t r = Counted())
        return r;
    for (SW3DVIEWPORTOBJ *vp : device->viewports)
        vp->device = nullptr;
    delete device;
    s_device = nullptr;
    return SW3D_OK;
}

int32_t Sw3d_EvictManagedTextures(SW3DINTERFACE *iface)
{
    if (!iface)
        return SW3D_ERR_INVALIDPARAMS;
    return Counted();
}

// --- viewports ---

int32_t Sw3d_CreateViewport(SW3DINTERFACE *iface, SW3DVIEWPORTOBJ **out)
{
    if (!out)
        return SW3D_ERR_INVALIDPARAMS;
    *out = nullptr;
    if (!iface)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    *out = new SW3DVIEWPORTOBJ{};
    s_viewports.push_back(*out);
    return SW3D_OK;
}

int32_t Sw3d_ReleaseViewport(SW3DVIEWPORTOBJ *viewport)
{
    if (!viewport)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    if (SW3DDEVICE *d = viewport->device) {
        std::erase(d->viewports, viewport);
        if (d->current == viewport)
            d->current = nullptr;
    }
    std::erase(s_viewports, viewport);
    delete viewport;
    return SW3D_OK;
}

int32_t Sw3d_AddViewport(SW3DDEVICE *device, SW3DVIEWPORTOBJ *viewport)
{
    if (!ValidDevice(device) || !viewport || viewport->device)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    device->viewports.push_back(viewport);
    viewport->device = device;
    return SW3D_OK;
}

int32_t Sw3d_DeleteViewport(SW3DDEVICE *device, SW3DVIEWPORTOBJ *viewport)
{
    // A viewport already taken off answers success, so a release that stopped half-way can be
    // run again.
    if (!ValidDevice(device) || !viewport || (viewport->device && viewport->device != device))
        return SW3D_ERR_INVALIDPARAMS;
    if (!viewport->device)
        return SW3D_OK;
    if (const int32_t r = Counted())
        return r;
    std::erase(device->viewports, viewport);
    if (device->current == viewport)
        device->current = nullptr;
    viewport->device = nullptr;
    return SW3D_OK;
}

int32_t Sw3d_SetViewport(SW3DVIEWPORTOBJ *viewport, const SW3DVIEWPORT *desc)
{
    if (!viewport || !desc || desc->width < 0 || desc->height < 0 || !(desc->clipWidth != 0.0f) ||
        !(desc->clipHeight != 0.0f))
        return SW3D_ERR_INVALIDPARAMS;
    if (!viewport->device)
        return SW3D_ERR_VIEWPORTNODEVICE;
    if (const int32_t r = Counted())
        return r;
    viewport->desc = *desc;
    return SW3D_OK;
}

int32_t Sw3d_GetViewport(SW3DVIEWPORTOBJ *viewport, SW3DVIEWPORT *desc)
{
    if (!viewport || !desc)
        return SW3D_ERR_INVALIDPARAMS;
    *desc = viewport->desc;
    return SW3D_OK;
}

int32_t Sw3d_SetCurrentViewport(SW3DDEVICE *device, SW3DVIEWPORTOBJ *viewport)
{
    if (!ValidDevice(device) || !viewport || viewport->device != device)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    device->current = viewport;
    return SW3D_OK;
}

int32_t Sw3d_ViewportClear(SW3DVIEWPORTOBJ *viewport, const SW3DRECT *rects, int32_t count, uint32_t flags,
                           uint32_t colour, float z)
{
    if (!viewport || (count > 0 && !rects) || count < 0)
        return SW3D_ERR_INVALIDPARAMS;
    if (!viewport->device)
        return SW3D_ERR_VIEWPORTNODEVICE;
    if (const int32_t r = Counted())
        return r;
    SW3DSURFACES s{};
    if (!viewport->device->target(&s) || !s.colour)
        return SW3D_ERR_NOTARGET;
    if ((flags & SW3D_CLEAR_ZBUFFER) && !s.z)
        return SW3D_ERR_NOTARGET;
    const uint16_t pixel = PackTarget((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF, s.pixelFormat);
    const uint16_t zv = ZOf(z);
    for (int32_t i = 0; i < count; i++) {
        const int32_t x0 = std::clamp(rects[i].x1, 0, s.width), x1 = std::clamp(rects[i].x2, 0, s.width);
        const int32_t y0 = std::clamp(rects[i].y1, 0, s.height), y1 = std::clamp(rects[i].y2, 0, s.height);
        for (int32_t y = y0; y < y1; y++) {
            if (flags & SW3D_CLEAR_TARGET) {
                uint16_t *row = reinterpret_cast<uint16_t *>(reinterpret_cast<uint8_t *>(s.colour) + static_cast<size_t>(y) * s.pitch);
                std::fill(row + x0, row + x1, pixel);
            }
            if (flags & SW3D_CLEAR_ZBUFFER) {
                uint16_t *row = reinterpret_cast<uint16_t *>(reinterpret_cast<uint8_t *>(s.z) + static_cast<size_t>(y) * s.zPitch);
                std::fill(row + x0, row + x1, zv);
            }
        }
    }
    return SW3D_OK;
}

// --- lights and materials ---

int32_t Sw3d_CreateLight(SW3DINTERFACE *iface, SW3DLIGHTOBJ **out)
{
    if (!out)
        return SW3D_ERR_INVALIDPARAMS;
    *out = nullptr;
    if (!iface)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    *out = new SW3DLIGHTOBJ{};
    return SW3D_OK;
}

int32_t Sw3d_LightSet(SW3DLIGHTOBJ *light, const SW3DLIGHT *desc)
{
    if (!light || !desc)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    light->desc = *desc;
    return SW3D_OK;
}

int32_t Sw3d_LightGet(SW3DLIGHTOBJ *light, SW3DLIGHT *desc)
{
    if (!light || !desc)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    *desc = light->desc;
    return SW3D_OK;
}

namespace {

using namespace sw3d;

void Detach(SW3DVIEWPORTOBJ *vp, SW3DLIGHTOBJ *light)
{
    auto end = std::remove(vp->lights.begin(), vp->lights.begin() + vp->lightCount, light);
    vp->lightCount = static_cast<int32_t>(end - vp->lights.begin());
}

} // namespace

int32_t Sw3d_ReleaseLight(SW3DLIGHTOBJ *light)
{
    if (!light)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    for (SW3DVIEWPORTOBJ *vp : s_viewports) // a light that goes leaves every viewport
        Detach(vp, light);
    delete light;
    return SW3D_OK;
}

int32_t Sw3d_ViewportAddLight(SW3DVIEWPORTOBJ *viewport, SW3DLIGHTOBJ *light)
{
    if (!viewport || !light || viewport->lightCount >= SW3D_MAX_VIEWPORT_LIGHTS)
        return SW3D_ERR_INVALIDPARAMS;
    if (std::find(viewport->lights.begin(), viewport->lights.begin() + viewport->lightCount, light) !=
        viewport->lights.begin() + viewport->lightCount)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    viewport->lights[viewport->lightCount++] = light;
    return SW3D_OK;
}

int32_t Sw3d_ViewportDeleteLight(SW3DVIEWPORTOBJ *viewport, SW3DLIGHTOBJ *light)
{
    if (!viewport || !light)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    Detach(viewport, light);
    return SW3D_OK;
}

int32_t Sw3d_CreateMaterial(SW3DINTERFACE *iface, SW3DMATERIALOBJ **out)
{
    if (!out)
        return SW3D_ERR_INVALIDPARAMS;
    *out = nullptr;
    if (!iface)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    SW3DMATERIALOBJ *m = new SW3DMATERIALOBJ{};
    // A free slot first, so handles stay small across device switches.
    auto slot = std::find(s_materials.begin(), s_materials.end(), nullptr);
    if (slot == s_materials.end())
        slot = s_materials.insert(s_materials.end(), nullptr);
    *slot = m;
    m->handle = static_cast<uint32_t>(slot - s_materials.begin()) + 1;
    *out = m;
    return SW3D_OK;
}

int32_t Sw3d_MaterialSet(SW3DMATERIALOBJ *material, const SW3DMATERIAL *desc)
{
    if (!material || !desc)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    material->desc = *desc;
    return SW3D_OK;
}

int32_t Sw3d_MaterialGet(SW3DMATERIALOBJ *material, SW3DMATERIAL *desc)
{
    if (!material || !desc)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    *desc = material->desc;
    return SW3D_OK;
}

int32_t Sw3d_MaterialGetHandle(SW3DMATERIALOBJ *material, SW3DDEVICE *device, uint32_t *handle)
{
    if (!material || !ValidDevice(device) || !handle)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    *handle = material->handle;
    return SW3D_OK;
}

int32_t Sw3d_ReleaseMaterial(SW3DMATERIALOBJ *material)
{
    if (!material)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    if (s_device && s_device->material == material->handle)
        s_device->material = 0;
    s_materials[material->handle - 1] = nullptr;
    delete material;
    return SW3D_OK;
}

int32_t Sw3d_SetLightState(SW3DDEVICE *device, SW3DLIGHTSTATE state, uint32_t value)
{
    if (!ValidDevice(device))
        return SW3D_ERR_NODEVICE;
    if (state == SW3D_LIGHTSTATE_MATERIAL) {
        if (value > s_materials.size() || (value && !s_materials[value - 1]))
            return SW3D_ERR_INVALIDPARAMS;
    } else if (state != SW3D_LIGHTSTATE_AMBIENT) {
        return SW3D_ERR_STATE;
    }
    if (const int32_t r = Counted())
        return r;
    (state == SW3D_LIGHTSTATE_MATERIAL ? device->material : device->ambient) = value;
    return SW3D_OK;
}

int32_t Sw3d_GetLightState(SW3DDEVICE *device, SW3DLIGHTSTATE state, uint32_t *value)
{
    if (!ValidDevice(device) || !value)
        return SW3D_ERR_INVALIDPARAMS;
    if (state != SW3D_LIGHTSTATE_MATERIAL && state != SW3D_LIGHTSTATE_AMBIENT)
        return SW3D_ERR_STATE;
    *value = state == SW3D_LIGHTSTATE_MATERIAL ? device->material : device->ambient;
    return SW3D_OK;
}

// --- render and stage states ---

namespace {

using namespace sw3d;

uint32_t *RenderStateSlot(SW3DDEVICE *d, SW3DRENDERSTATE state)
{
    switch (state) {
    case SW3D_RS_ZENABLE: return &d->zEnable;
    case SW3D_RS_SHADEMODE: return &d->shadeMode;
    case SW3D_RS_ZWRITEENABLE: return &d->zWrite;
    case SW3D_RS_SRCBLEND: return &d->srcBlend;
    case SW3D_RS_DESTBLEND: return &d->destBlend;
    case SW3D_RS_CULLMODE: return &d->cullMode;
    case SW3D_RS_ZFUNC: return &d->zFunc;
    case SW3D_RS_ALPHABLENDENABLE: return &d->blendEnable;
    case SW3D_RS_COLORKEYENABLE: return &d->colourKey;
    default: return nullptr;
    }
}

bool ValidRenderValue(SW3DRENDERSTATE state, uint32_t v)
{
    switch (state) {
    case SW3D_RS_ZENABLE:
    case SW3D_RS_ZWRITEENABLE:
    case SW3D_RS_ALPHABLENDENABLE:
    case SW3D_RS_COLORKEYENABLE: return v <= 1;
    case SW3D_RS_SHADEMODE: return v == SW3D_SHADE_FLAT || v == SW3D_SHADE_GOURAUD;
    case SW3D_RS_CULLMODE: return v == SW3D_CULL_NONE; // the studio never culls
    case SW3D_RS_ZFUNC: return v >= SW3D_CMP_NEVER && v <= SW3D_CMP_ALWAYS;
    default: return v >= SW3D_BLEND_ZERO && v <= SW3D_BLEND_INVDESTCOLOR;
    }
}

uint32_t *StageSlot(SW3DDEVICE *d, SW3DTSS state)
{
    switch (state) {
    case SW3D_TSS_COLOROP: return &d->colourOp;
    case SW3D_TSS_COLORARG1: return &d->colourArg1;
    case SW3D_TSS_COLORARG2: return &d->colourArg2;
    case SW3D_TSS_MAGFILTER: return &d->magFilter;
    case SW3D_TSS_MINFILTER: return &d->minFilter;
    default: return nullptr;
    }
}

bool ValidStageValue(SW3DTSS state, uint32_t v)
{
    switch (state) {
    case SW3D_TSS_COLOROP: return v >= SW3D_TOP_DISABLE && v <= SW3D_TOP_MODULATE;
    case SW3D_TSS_COLORARG1:
    case SW3D_TSS_COLORARG2: return v <= SW3D_TA_TEXTURE;
    default: return v == SW3D_FILTER_POINT || v == SW3D_FILTER_LINEAR;
    }
}

} // namespace

int32_t Sw3d_SetRenderState(SW3DDEVICE *device, SW3DRENDERSTATE state, uint32_t value)
{
    if (!ValidDevice(device))
        return SW3D_ERR_NODEVICE;
    uint32_t *slot = RenderStateSlot(device, state);
    if (!slot || !ValidRenderValue(state, value))
        return SW3D_ERR_STATE;
    if (const int32_t r = Counted())
        return r;
    *slot = value;
    return SW3D_OK;
}

int32_t Sw3d_GetRenderState(SW3DDEVICE *device, SW3DRENDERSTATE state, uint32_t *value)
{
    if (!ValidDevice(device) || !value)
        return SW3D_ERR_INVALIDPARAMS;
    uint32_t *slot = RenderStateSlot(device, state);
    if (!slot)
        return SW3D_ERR_STATE;
    *value = *slot;
    return SW3D_OK;
}

int32_t Sw3d_SetTextureStageState(SW3DDEVICE *device, int32_t stage, SW3DTSS state, uint32_t value)
{
    if (!ValidDevice(device))
        return SW3D_ERR_NODEVICE;
    uint32_t *slot = StageSlot(device, state);
    if (stage != 0 || !slot || !ValidStageValue(state, value))
        return SW3D_ERR_STATE;
    if (const int32_t r = Counted())
        return r;
    *slot = value;
    return SW3D_OK;
}

int32_t Sw3d_GetTextureStageState(SW3DDEVICE *device, int32_t stage, SW3DTSS state, uint32_t *value)
{
    if (!ValidDevice(device) || !value)
        return SW3D_ERR_INVALIDPARAMS;
    uint32_t *slot = StageSlot(device, state);
    if (stage != 0 || !slot)
        return SW3D_ERR_STATE;
    *value = *slot;
    return SW3D_OK;
}

int32_t Sw3d_SetTexture(SW3DDEVICE *device, int32_t stage, const SW3DTEXTURE *texture)
{
    if (!ValidDevice(device))
        return SW3D_ERR_NODEVICE;
    if (stage != 0)
        return SW3D_ERR_INVALIDPARAMS;
    if (texture) {
        const int32_t bpp = BytesPerTexel(texture->format);
        if (bpp == 0 || texture->width <= 0 || texture->height <= 0 || !texture->pixels ||
            int64_t{texture->pitch} < int64_t{texture->width} * bpp ||
            (texture->format == SW3D_TEX_8_PAL8 && !texture->palette))
            return SW3D_ERR_INVALIDPARAMS;
    }
    if (const int32_t r = Counted())
        return r;
    device->hasTexture = texture != nullptr;
    device->texture = texture ? *texture : SW3DTEXTURE{};
    return SW3D_OK;
}

// --- transforms ---

int32_t Sw3d_SetTransform(SW3DTRANSFORM which, const SW3DMATRIX *m)
{
    if (which < SW3D_TRANSFORM_WORLD || which > SW3D_TRANSFORM_PROJECTION || !m)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    s_transforms[which] = *m;
    return SW3D_OK;
}

int32_t Sw3d_GetTransform(SW3DTRANSFORM which, SW3DMATRIX *m)
{
    if (which < SW3D_TRANSFORM_WORLD || which > SW3D_TRANSFORM_PROJECTION || !m)
        return SW3D_ERR_INVALIDPARAMS;
    *m = s_transforms[which];
    return SW3D_OK;
}

// --- drawing ---

int32_t Sw3d_BeginScene(SW3DDEVICE *device)
{
    if (!ValidDevice(device))
        return SW3D_ERR_NODEVICE;
    if (device->inScene)
        return SW3D_ERR_SCENE;
    if (const int32_t r = Counted())
        return r;
    device->inScene = true;
    return SW3D_OK;
}

int32_t Sw3d_EndScene(SW3DDEVICE *device)
{
    if (!ValidDevice(device))
        return SW3D_ERR_NODEVICE;
    if (!device->inScene)
        return SW3D_ERR_NOSCENE;
    if (const int32_t r = Counted())
        return r;
    device->inScene = false;
    return SW3D_OK;
}

int32_t Sw3d_DrawPrimitive(SW3DDEVICE *device, SW3DPRIMITIVE type, uint32_t fvf, const void *vertices,
                           int32_t count, uint32_t flags)
{
    return DrawCommon(device, type, fvf, vertices, count, nullptr, 0, flags);
}

int32_t Sw3d_DrawIndexedPrimitive(SW3DDEVICE *device, SW3DPRIMITIVE type, uint32_t fvf, const void *vertices,
                                  int32_t vertexCount, const uint16_t *indices, int32_t indexCount, uint32_t flags)
{
    if (!indices)
        return SW3D_ERR_INVALIDPARAMS;
    return DrawCommon(device, type, fvf, vertices, vertexCount, indices, indexCount, flags);
}

int32_t Sw3d_ProcessVertices(SW3DDEVICE *device, const SW3DVERTEX *in, int32_t count, uint32_t flags,
                             SW3DPVERTEX *out)
{
    if (!ValidDevice(device))
        return SW3D_ERR_NODEVICE;
    if (!in || !out || count < 0)
        return SW3D_ERR_INVALIDPARAMS;
    if (const int32_t r = Counted())
        return r;
    const SW3DMATRIX m = Multiply(Multiply(s_transforms[SW3D_TRANSFORM_WORLD], s_transforms[SW3D_TRANSFORM_VIEW]),
                                  s_transforms[SW3D_TRANSFORM_PROJECTION]);
    for (int32_t i = 0; i < count; i++) {
        SW3DPVERTEX p = Transform(m, in[i].x, in[i].y, in[i].z);
        p.colour = (flags & SW3D_DP_DONOTLIGHT) || !device->material ? in[i].colour : Light(*device, in[i]);
        p.tu = in[i].tu;
        p.tv = in[i].tv;
        out[i] = p;
    }
    return SW3D_OK;
}

int32_t Sw3d_DrawProcessed(SW3DDEVICE *device, SW3DPRIMITIVE type, const SW3DPVERTEX *vertices,
                           int32_t vertexCount, const uint16_t *indices, int32_t indexCount)
{
    if (!ValidDevice(device))
        return SW3D_ERR_NODEVICE;
    if (Primitives(type, 3) < 0)
        return SW3D_ERR_PRIMITIVE;
    if (!vertices || vertexCount < 0 || (indices && indexCount < 0))
        return SW3D_ERR_INVALIDPARAMS;
    if (indices)
        for (int32_t i = 0; i < indexCount; i++)
            if (indices[i] >= vertexCount)
                return SW3D_ERR_INVALIDPARAMS;
    if (!device->current)
        return SW3D_ERR_NOVIEWPORT;
    if (const int32_t r = Counted())
        return r;
    Target t;
    if (!GetTarget(*device, &t))
        return SW3D_ERR_NOTARGET;
    const SW3DDEVICE &d = *device;
    const SW3DPVERTEX *p = vertices;
    Walk(type, indices ? indexCount : vertexCount, indices, [&](int32_t i) { DrawClippedPoint(d, t, p[i]); },
         [&](int32_t i, int32_t j) { DrawClippedLine(d, t, p[i], p[j]); },
         [&](int32_t i, int32_t j, int32_t k) { DrawClippedTriangle(d, t, p[i], p[j], p[k]); });
    return SW3D_OK;
}

// --- read-back and test hooks ---

int32_t Sw3d_GetLight(int32_t light, SW3DCOLOUR *colour, SW3DVECTOR *direction)
{
    if (!s_device || !s_device->current || light < 0 || light >= s_device->current->lightCount)
        return SW3D_ERR_INVALIDPARAMS;
    const SW3DLIGHT &l = s_device->current->lights[light]->desc;
    if (colour)
        *colour = l.colour;
    if (direction)
        *direction = l.direction;
    return SW3D_OK;
}

uint32_t Sw3d_GetAmbient()
{
    return s_device ? s_device->ambient : 0;
}

void Sw3d_TestSetDevices(const SW3DDEVICEINFO *devices, int32_t count)
{
    if (!devices)
        s_devices = DefaultDevices();
    else
        s_devices.assign(devices, devices + std::max(count, 0));
}

void Sw3d_TestSetZFormats(const SW3DZFORMAT *formats, int32_t count)
{
    if (count < 0 || !formats)
        s_zFormats = kDefaultZFormats;
    else
        s_zFormats.assign(formats, formats + count);
}

void Sw3d_TestFailAfter(int32_t calls, int32_t result)
{
    s_failAfter = calls;
    s_failResult = result;
}
