#include "render/textures.h"

#include "core/file.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/dxerrors.h"
#include "render/gpustate.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

TEXTURE **g_ppTextures = nullptr;
TEXFORMAT g_aTextureFormats[TEXTURE_MAX_FORMATS] = {};
int32_t g_iTextureFormatCount = 0;
int32_t g_bTextureGrabMode = 0;
int32_t g_iCurrentTexture = -2;

namespace {

constexpr int PAGE_SIDE = 256;
constexpr size_t PAGE_TEXEL_WORDS = PAGE_SIDE * PAGE_SIDE * 2; // colour and mask per pixel
// No real picture comes near this; a bigger file is not a picture.
constexpr long RAW_MAX_BYTES = PAGE_SIDE * PAGE_SIDE * 3 + 4096;

int32_t DefaultCreateSurface(TEXSURFACE *surface, uint32_t width, uint32_t height, const TEXPIXELFORMAT *format,
                             uint32_t texFormat, uint32_t bytesPerPixel)
{
    if (width == 0 || height == 0 || bytesPerPixel == 0 || width > 4096 || height > 4096)
        return DDERR_INVALIDPARAMS;
    size_t bytes = static_cast<size_t>(width) * height * bytesPerPixel;
    auto *pixels = static_cast<uint8_t *>(std::calloc(bytes, 1));
    if (!pixels)
        return DDERR_OUTOFMEMORY;
    surface->width = width;
    surface->height = height;
    surface->pitch = width * bytesPerPixel;
    surface->format = texFormat;
    surface->bytesPerPixel = bytesPerPixel;
    surface->pixelFormat = *format;
    surface->pixels = pixels;
    return 0;
}

void DefaultReleaseSurface(TEXSURFACE *surface)
{
    Gfx_D3DForgetTexture(surface); // the device reads the pixels in place
    std::free(surface->pixels);
    surface->pixels = nullptr;
}

// Direct3D-side failures: named, kept in the device's result word, returned.
int32_t ReportD3D(int32_t result)
{
    if (result != 0) {
        Gfx_D3DErrorName(result);
        g_hrD3D = result;
    }
    return result;
}

uint32_t NextPow2(uint32_t v)
{
    uint32_t p = 1;
    while (p < v && p < 0x80000000u)
        p <<= 1;
    return p;
}

uint32_t Isqrt(uint32_t v)
{
    uint32_t r = 0;
    while ((r + 1) * (r + 1) <= v)
        r++;
    return r;
}

uint16_t ReadU16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadU32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

bool IsTexelSource(const TEXTURE *t)
{
    return t && t->pixels && t->depth == 0 && !t->surface;
}

void ReleaseSurfaceOf(TEXTURE *t)
{
    if (t->surface) {
        g_tTextureDevice.releaseSurface(t->surface);
        delete t->surface;
    }
    t->surface = nullptr;
    t->d3dTexture = nullptr;
    delete t->palette;
    t->palette = nullptr;
}

// Forgets a texel source that is about to go, so the rasteriser never reads freed memory.
void DropClutSource(const TEXTURE *t)
{
    if (IsTexelSource(t) && g_pClutSource == reinterpret_cast<const uint16_t *>(t->pixels))
        g_pClutSource = nullptr;
}

// The palette object follows the texture's four-byte entries, in both of its forms.
void SyncPalette(TEXTURE *t)
{
    if (!t->palette)
        return;
    std::memcpy(t->palette->entries, t->palette32, sizeof t->palette32);
    for (int i = 0; i < 256; i++) {
        const TEXPALENTRY &e = t->palette32[i];
        t->palette->rgb[i] = (static_cast<uint32_t>(e.red) << 16) | (static_cast<uint32_t>(e.green) << 8) | e.blue;
    }
}

struct MatchContext
{
    uint32_t wanted;
    TEXPIXELFORMAT found;
    bool matched;
};

int32_t MatchFormat(const TEXPIXELFORMAT *format, void *context)
{
    auto *m = static_cast<MatchContext *>(context);
    uint32_t bytes = 0;
    if (Gfx_ClassifyPixelFormat(format, &bytes) == m->wanted) {
        m->found = *format;
        m->matched = true;
        return 0;
    }
    return 1;
}

int32_t ListFormat(const TEXPIXELFORMAT *format, void *)
{
    uint32_t bytes = 0;
    uint32_t bit = Gfx_ClassifyPixelFormat(format, &bytes);
    if (bit == 0)
        return 1; // luminance and bump formats are passed over
    if (g_iTextureFormatCount < TEXTURE_MAX_FORMATS) {
        TEXFORMAT &e = g_aTextureFormats[g_iTextureFormatCount++];
        e.format = bit;
        e.bytesPerPixel = bytes;
        e.pixelFormat = *format;
    }
    return 1;
}

} // namespace

const TEXDEVICE g_tDefaultTextureDevice = {
    Gfx_D3DEnumTextureFormats, Gfx_D3DTextureCaps, Gfx_D3DManagedTextures, DefaultCreateSurface,
    DefaultReleaseSurface,     Gfx_D3DSetColourStage, Gfx_D3DSetTexture,  Gfx_BindGrabTexture,
};
TEXDEVICE g_tTextureDevice = g_tDefaultTextureDevice;

// --- table ---

int32_t Gfx_InitTextureTable()
{
    Gfx_FreeTextureTable();
    g_ppTextures = static_cast<TEXTURE **>(std::calloc(TEXTURE_SLOTS, sizeof(TEXTURE *)));
    g_iCurrentTexture = -2;
    return g_ppTextures ? 0 : -1;
}

void Gfx_FreeTextureTable()
{
    if (!g_ppTextures)
        return;
    for (int32_t i = 0; i < TEXTURE_SLOTS; i++)
        Gfx_FreeTexture(g_ppTextures[i]);
    std::free(g_ppTextures);
    g_ppTextures = nullptr;
}

int32_t Gfx_GetTextureSlot(TEXTURE **out, int32_t n)
{
    if (!out || !g_ppTextures || n < -1 || n >= TEXTURE_SLOTS)
        return -1;
    if (n == -1) {
        for (int32_t i = 0; i < TEXTURE_SLOTS && n < 0; i++)
            if (!g_ppTextures[i])
                n = i;
        if (n < 0)
            return -1;
    } else if (g_ppTextures[n]) {
        return -1;
    }
    auto *t = new (std::nothrow) TEXTURE{};
    if (!t)
        return -1;
    std::strcpy(t->name, "New Texture");
    t->slot = static_cast<uint32_t>(n);
    g_ppTextures[n] = t;
    *out = t;
    return n;
}

void Gfx_FreeTexture(TEXTURE *texture)
{
    if (!texture)
        return;
    DropClutSource(texture);
    std::free(texture->pixels);
    texture->pixels = nullptr;
    ReleaseSurfaceOf(texture);
    if (g_ppTextures && texture->slot < static_cast<uint32_t>(TEXTURE_SLOTS) &&
        g_ppTextures[texture->slot] == texture)
        g_ppTextures[texture->slot] = nullptr;
    delete texture;
}

// --- raw interface pictures ---

uint16_t Gfx_PackRawColour(uint8_t r, uint8_t g, uint8_t b)
{
    if (g_iPixelFormat == PIXELFORMAT_555)
        return static_cast<uint16_t>(((r & 0xF8) << 7) | ((g & 0xF8) << 2) | ((b & 0xF8) >> 3));
    return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | ((b & 0xF8) >> 3));
}

int32_t Gfx_LoadTextureFile(const char *path, uint32_t format, int32_t n)
{
    if (!path || std::strlen(path) >= TEXTURE_NAME_SIZE)
        return -1; // a cut name would name another file
    TEXTURE *t = nullptr;
    if (Gfx_GetTextureSlot(&t, n) < 0)
        return -1;
    std::strcpy(t->name, path);
    t->formatRequest = format;
    if (Gfx_LoadRawTexture(t) != 0) {
        Gfx_FreeTexture(t);
        return -1;
    }
    return 0;
}

int32_t Gfx_LoadRawTexture(TEXTURE *texture)
{
    if (!texture)
        return -1;
    char host[SYS_HOSTPATH_SIZE];
    if (Sys_HostPath(texture->name, host, sizeof host) != 0)
        return -1;
    FILE *f = std::fopen(host, "rb");
    if (!f) {
        std::snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s).", texture->name);
        return -1;
    }
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0)
        length = std::ftell(f);
    std::rewind(f);
    uint32_t side = length > 0 && length <= RAW_MAX_BYTES ? Isqrt(static_cast<uint32_t>(length / 3)) : 0;
    if (side == 0 || side > PAGE_SIDE) {
        std::fclose(f);
        std::snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s). Not a picture.", texture->name);
        return -1;
    }
    size_t bytes = static_cast<size_t>(side) * side * 3;
    auto *rgb = static_cast<uint8_t *>(std::malloc(bytes));
    bool read = rgb && std::fread(rgb, 1, bytes, f) == bytes;
    std::fclose(f);
    auto *texels = static_cast<uint16_t *>(std::malloc(PAGE_TEXEL_WORDS * sizeof(uint16_t)));
    if (!read || !texels) {
        std::free(rgb);
        std::free(texels);
        std::snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load File (%s).", texture->name);
        return -1;
    }
    // The rasteriser reads whole 256-texel rows, so a smaller picture sits in the top-left of a
    // transparent page.
    for (size_t i = 0; i < PAGE_TEXEL_WORDS; i += 4) {
        texels[i] = texels[i + 1] = 0;
        texels[i + 2] = texels[i + 3] = 0xFFFF;
    }
    for (uint32_t y = 0; y < side; y++) {
        uint16_t *row = texels + static_cast<size_t>(y) * PAGE_SIDE * 2;
        const uint8_t *src = rgb + static_cast<size_t>(y) * side * 3;
        for (uint32_t x = 0; x < side; x++, src += 3) {
            uint16_t c = Gfx_PackRawColour(src[0], src[1], src[2]);
            size_t at = (x / 2) * 4 + (x & 1);
            row[at] = c;
            row[at + 2] = c == 0 ? 0xFFFF : 0;
        }
    }
    std::free(rgb);
    DropClutSource(texture);
    std::free(texture->pixels);
    texture->pixels = reinterpret_cast<uint8_t *>(texels);
    texture->depth = 0;
    return 0;
}

const uint16_t *Gfx_GetTexelSource(int slot)
{
    if (!g_ppTextures || slot < 0 || slot >= TEXTURE_SLOTS)
        return nullptr;
    const TEXTURE *t = g_ppTextures[slot];
    return IsTexelSource(t) ? reinterpret_cast<const uint16_t *>(t->pixels) : nullptr;
}

// --- formats ---

uint32_t Gfx_ClassifyPixelFormat(const TEXPIXELFORMAT *f, uint32_t *bytesPerPixel)
{
    uint32_t bytes = 0, bit = TEX_UNKNOWN;
    if (!f || (f->flags & (TEXPF_LUMINANCE | TEXPF_BUMPLUMINANCE | TEXPF_BUMPDUDV))) {
        bit = 0;
    } else if (f->bitCount == 8 && (f->flags & TEXPF_PALETTEINDEXED8)) {
        bit = TEX_8_PAL8;
        bytes = 1;
    } else if (f->bitCount == 16) {
        if (f->redMask == 0xF800 && f->greenMask == 0x07E0 && f->blueMask == 0x001F)
            bit = TEX_16_RGB565;
        else if (f->redMask == 0x7C00 && f->greenMask == 0x03E0 && f->blueMask == 0x001F && f->alphaMask == 0)
            bit = TEX_16_RGB555;
        else if (f->redMask == 0x7C00 && f->greenMask == 0x03E0 && f->blueMask == 0x001F && f->alphaMask == 0x8000)
            bit = TEX_16_ARGB1555;
        else if (f->redMask == 0x0F00 && f->greenMask == 0x00F0 && f->blueMask == 0x000F && f->alphaMask == 0xF000)
            bit = TEX_16_ARGB4444;
        if (bit != TEX_UNKNOWN)
            bytes = 2;
    } else if (f->bitCount == 32 && f->redMask == 0xFF0000 && f->greenMask == 0xFF00 && f->blueMask == 0xFF) {
        if (f->alphaMask == 0)
            bit = TEX_32_RGB888;
        else if (f->alphaMask == 0xFF000000u)
            bit = TEX_32_ARGB8888;
        if (bit != TEX_UNKNOWN)
            bytes = 4;
    }
    if (bytesPerPixel)
        *bytesPerPixel = bytes;
    return bit;
}

int32_t Gfx_EnumTextureFormats()
{
    g_iTextureFormatCount = 0;
    std::memset(g_aTextureFormats, 0, sizeof g_aTextureFormats);
    return ReportD3D(g_tTextureDevice.enumFormats(ListFormat, nullptr));
}

const TEXFORMAT *Gfx_FindTextureFormat()
{
    for (uint32_t bit = TEX_8_PAL8; bit <= TEX_32_ARGB8888; bit <<= 1)
        for (int32_t i = 0; i < g_iTextureFormatCount; i++)
            if (g_aTextureFormats[i].format == bit)
                return &g_aTextureFormats[i];
    return nullptr;
}

uint32_t Gfx_ConvertTexel(uint32_t format, uint8_t r, uint8_t g, uint8_t b)
{
    switch (format) {
    case TEX_16_RGB565:
        return ((r & 0xF8u) << 8) | ((g & 0xFCu) << 3) | (b >> 3);
    case TEX_16_RGB555:
    case TEX_16_ARGB1555:
        return ((r & 0xF8u) << 7) | ((g & 0xF8u) << 2) | (b >> 3);
    case TEX_16_ARGB4444:
        return ((r & 0xF0u) << 4) | (g & 0xF0u) | (b >> 4);
    case TEX_32_RGB888:
    case TEX_32_ARGB8888:
        return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
    default:
        return 0;
    }
}

// --- 3-D textures ---

int32_t Gfx_CreateTexture(TEXTURE *texture, int32_t width, int32_t height, const uint8_t *indices, int32_t depth)
{
    if (!texture || !indices || (depth != 1 && depth != 2) || width <= 0 || height <= 0 || width > 1024 ||
        height > 1024)
        return ReportD3D(DDERR_INVALIDPARAMS);
    // Console widths count 16-bit words.
    const uint32_t imageW = static_cast<uint32_t>(width) * (depth == 1 ? 4 : 2);
    const uint32_t imageH = static_cast<uint32_t>(height);
    uint32_t w = imageW, h = imageH;
    uint32_t caps = g_tTextureDevice.textureCaps();
    if (caps & TEXCAPS_POW2) {
        w = NextPow2(w);
        h = NextPow2(h);
    }
    if (caps & TEXCAPS_SQUAREONLY)
        w = h = w > h ? w : h;

    ReleaseSurfaceOf(texture);
    DropClutSource(texture);
    std::free(texture->pixels);
    texture->pixels = nullptr;
    texture->depth = static_cast<uint32_t>(depth);
    texture->width = w;
    texture->height = h;
    texture->format = Gfx_FindTextureFormat();

    // The copy has the surface's rows; what lies beyond the image is index 0 (black, keyed out).
    const uint32_t rowBytes = depth == 1 ? (w + 1) / 2 : w; // a square may make w odd
    const uint32_t imageRowBytes = depth == 1 ? imageW / 2 : imageW;
    const size_t copyBytes = static_cast<size_t>(rowBytes) * h;
    texture->pixels = static_cast<uint8_t *>(std::calloc(copyBytes, 1));
    if (!texture->pixels)
        return ReportD3D(DDERR_OUTOFMEMORY);
    for (uint32_t y = 0; y < imageH; y++)
        std::memcpy(texture->pixels + static_cast<size_t>(y) * rowBytes,
                    indices + static_cast<size_t>(y) * imageRowBytes, imageRowBytes);
    texture->indexBytes = static_cast<uint32_t>(copyBytes);

    int32_t hr = DDERR_INVALIDPIXELFORMAT; // no format of the seven: no surface
    MatchContext match{};
    if (texture->format) {
        match.wanted = texture->format->format;
        g_tTextureDevice.enumFormats(MatchFormat, &match);
    }
    auto *surface = new (std::nothrow) TEXSURFACE{};
    if (match.matched && surface)
        hr = g_tTextureDevice.createSurface(surface, w, h, &match.found, texture->format->format,
                                            texture->format->bytesPerPixel);
    else if (!surface)
        hr = DDERR_OUTOFMEMORY;
    if (hr == 0 && (surface->width < w || surface->height < h || !surface->pixels)) {
        g_tTextureDevice.releaseSurface(surface);
        hr = DDERR_INVALIDOBJECT;
    }
    if (hr != 0) {
        delete surface;
        Gfx_DDErrorName(hr);
        g_hrDD = hr;
        std::fprintf(stderr, "Couldn't Create Texture Surface #%u \n%s\n", texture->slot, g_szDXErrorName);
        return hr;
    }
    surface->managed = g_tTextureDevice.managedTextures() ? 1 : 0;
    surface->hasColourKey = 1; // black is transparent
    surface->colourKeyLow = surface->colourKeyHigh = 0;
    texture->surface = surface;
    int32_t up = Gfx_UploadTexturePixels(texture);
    if (up != 0)
        return up;
    texture->d3dTexture = surface;
    return 0;
}

int32_t Gfx_UploadTexturePixels(TEXTURE *texture)
{
    if (!texture || !texture->surface || !texture->pixels || !texture->format || texture->width == 0 ||
        texture->height == 0)
        return DDERR_INVALIDPARAMS;
    TEXSURFACE *s = texture->surface;
    const uint32_t recW = texture->width, recH = texture->height;
    const uint32_t rowBytes = texture->depth == 1 ? (recW + 1) / 2 : recW;
    const uint32_t format = s->format;
    // A surface larger than asked is filled by stretching the image over it.
    for (uint32_t y = 0; y < s->height; y++) {
        const uint8_t *src = texture->pixels + static_cast<size_t>(y * static_cast<uint64_t>(recH) / s->height) * rowBytes;
        uint8_t *dst = s->pixels + static_cast<size_t>(y) * s->pitch;
        for (uint32_t x = 0; x < s->width; x++) {
            uint32_t sx = static_cast<uint32_t>(x * static_cast<uint64_t>(recW) / s->width);
            uint8_t index = texture->depth == 1 ? static_cast<uint8_t>((src[sx / 2] >> ((sx & 1) * 4)) & 15) : src[sx];
            const TEXPALENTRY &p = texture->palette32[index];
            uint32_t v = format == TEX_8_PAL8 ? index : Gfx_ConvertTexel(format, p.red, p.green, p.blue);
            switch (s->bytesPerPixel) {
            case 1:
                dst[x] = static_cast<uint8_t>(v);
                break;
            case 2:
                dst[x * 2] = static_cast<uint8_t>(v);
                dst[x * 2 + 1] = static_cast<uint8_t>(v >> 8);
                break;
            case 4:
                std::memcpy(dst + x * 4, &v, 4);
                break;
            default:
                break;
            }
        }
    }
    if (format == TEX_8_PAL8) {
        if (!texture->palette) {
            texture->palette = new (std::nothrow) TEXPALETTE{};
            if (!texture->palette)
                return ReportD3D(DDERR_OUTOFMEMORY);
            SyncPalette(texture);
        }
        s->palette = texture->palette;
    }
    return 0;
}

int32_t Gfx_SetTexturePalette(TEXTURE *texture, const uint16_t *colours)
{
    if (!texture)
        return DDERR_INVALIDPARAMS;
    uint32_t n = texture->paletteEntries > 256 ? 256 : texture->paletteEntries;
    const bool inverted = (texture->flags & TEXTURE_INVERTED) != 0;
    for (uint32_t i = 0; i < n; i++) {
        uint16_t c = colours ? colours[i] : texture->palette16[i];
        if (inverted)
            c = static_cast<uint16_t>((c & 0x8000) | (31 - (c & 31)) | ((31 - ((c >> 5) & 31)) << 5) |
                                      ((31 - ((c >> 10) & 31)) << 10));
        texture->palette16[i] = c;
        TEXPALENTRY &e = texture->palette32[i];
        e.red = static_cast<uint8_t>((c & 31) * 8);
        e.green = static_cast<uint8_t>(((c >> 5) & 31) * 8);
        e.blue = static_cast<uint8_t>(((c >> 10) & 31) * 8);
        e.flags = 0;
    }
    if (!texture->surface)
        return 0;
    if (texture->surface->format == TEX_8_PAL8) {
        SyncPalette(texture);
        return 0;
    }
    return Gfx_UploadTexturePixels(texture);
}

int32_t Gfx_SetTextureInverted(TEXTURE *texture, int32_t on)
{
    if (!texture)
        return DDERR_INVALIDPARAMS;
    const bool inverted = (texture->flags & TEXTURE_INVERTED) != 0;
    if (on && !inverted) {
        texture->flags |= TEXTURE_INVERTED;
        return Gfx_SetTexturePalette(texture, nullptr);
    }
    if (!on && inverted) {
        int32_t hr = Gfx_SetTexturePalette(texture, nullptr);
        texture->flags &= ~TEXTURE_INVERTED;
        return hr;
    }
    return 0;
}

int32_t Gfx_CreateTextureFromImage(TEXTURE **holder, const uint8_t *image, size_t size, int32_t n)
{
    if (!holder || !image || size < 8 || ReadU32(image) != 0x10)
        return -1;
    const uint32_t depth = ReadU32(image + 4) & 7;
    if (depth > 1)
        return 0;
    const uint32_t colours = depth == 0 ? 16 : 256;
    // CLUT block at byte 8: length word, then 8 bytes of placement, then the colours.
    if (size < 12)
        return -1;
    const uint32_t clutLength = ReadU32(image + 8);
    if (clutLength < 12 + colours * 2 || clutLength > size - 8)
        return -1;
    const size_t pixelBlock = 8 + static_cast<size_t>(clutLength);
    if (size - pixelBlock < 12)
        return -1;
    const int16_t width = static_cast<int16_t>(ReadU16(image + pixelBlock + 8));
    const int16_t height = static_cast<int16_t>(ReadU16(image + pixelBlock + 10));
    if (width <= 0 || height <= 0 || width > 512 || height > 512)
        return -1;
    if (static_cast<size_t>(width) * 2 * height > size - pixelBlock - 12)
        return -1;

    TEXTURE *t = nullptr;
    if (Gfx_GetTextureSlot(&t, n) < 0)
        return -1;
    uint16_t clut[256];
    for (uint32_t i = 0; i < colours; i++)
        clut[i] = ReadU16(image + 20 + i * 2);
    t->paletteEntries = colours;
    Gfx_SetTexturePalette(t, clut);
    if (Gfx_CreateTexture(t, width, height, image + pixelBlock + 12, depth == 0 ? 1 : 2) != 0) {
        Gfx_FreeTexture(t);
        return -1;
    }
    *holder = t;
    return 0;
}

// --- binding ---

int32_t Gfx_BindTextureRecord(TEXTURE *texture, int32_t, int32_t inverted)
{
    if (!texture)
        return ReportD3D(g_tTextureDevice.setColourStage(TEXOP_SELECTARG1, TEXARG_DIFFUSE, TEXARG_KEEP));
    int32_t hr = Gfx_SetTextureInverted(texture, inverted);
    if (hr != 0)
        return ReportD3D(hr);
    if (!texture->d3dTexture)
        return 0;
    hr = ReportD3D(g_tTextureDevice.setColourStage(TEXOP_MODULATE, TEXARG_TEXTURE, TEXARG_DIFFUSE));
    if (hr != 0)
        return hr;
    return ReportD3D(g_tTextureDevice.setTexture(texture->d3dTexture));
}

int32_t Gfx_BindTexture(TEXTURE *texture, uint32_t objectFlags, int32_t flag)
{
    if (g_bTextureGrabMode && flag)
        return ReportD3D(g_tTextureDevice.bindGrabTexture());
    return Gfx_BindTextureRecord(texture, 0, (objectFlags & 4) ? 1 : 0);
}

int32_t Gfx_SetCurrentTexture(int32_t n)
{
    if (n == g_iCurrentTexture)
        return 0;
    if (n == -1) {
        int32_t hr = ReportD3D(g_tTextureDevice.setTexture(nullptr));
        if (hr != 0)
            return hr;
    } else if (g_ppTextures && n - 5 >= 0 && n - 5 < TEXTURE_SLOTS && g_ppTextures[n - 5]) {
        int32_t hr = ReportD3D(g_tTextureDevice.setTexture(g_ppTextures[n - 5]->d3dTexture));
        if (hr != 0)
            return hr;
    }
    g_iCurrentTexture = n;
    return 0;
}

// --- sample editor picture ---

int32_t Gfx_BlitNibbleImage(const uint8_t *bytes, const TEXRECT *rect, const uint16_t *colours)
{
    uint16_t *page = const_cast<uint16_t *>(Gfx_GetTexelSource(10));
    if (!page || !bytes || !rect || !colours)
        return -1;
    uint16_t pix[16];
    for (int i = 0; i < 16; i++) {
        uint16_t c = colours[i];
        uint16_t r = c & 31, g = (c >> 5) & 31, b = (c >> 10) & 31;
        pix[i] = g_iPixelFormat == PIXELFORMAT_555 ? static_cast<uint16_t>((r << 10) | (g << 5) | b)
                                                   : static_cast<uint16_t>((r << 11) | (g << 6) | b);
    }
    const int32_t srcRow = rect->w > 0 ? rect->w * 2 : 0;
    for (int32_t j = 0; j < rect->h; j++) {
        const int32_t y = rect->y + j;
        if (y < 0 || y >= PAGE_SIDE)
            continue;
        uint16_t *row = page + static_cast<size_t>(y) * PAGE_SIDE * 2;
        const uint8_t *src = bytes + static_cast<size_t>(j) * srcRow;
        // Each byte is one pair: 128 pairs fill the page's row.
        for (int32_t i = 0; i < srcRow && i < PAGE_SIDE / 2; i++) {
            uint8_t v = src[i];
            uint16_t *pair = row + i * 4;
            pair[0] = v ? pix[v & 15] : 0;
            pair[1] = v ? pix[v >> 4] : 0;
            pair[2] = pair[3] = 0;
        }
    }
    return 0;
}
