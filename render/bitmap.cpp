#include "render/bitmap.h"

#include "app/settings.h"
#include "core/file.h"
#include "platform/display.h"
#include "platform/window.h"
#include "render/display.h"
#include "render/dxerrors.h"
#include "render/gpustate.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

uint32_t U16(const uint8_t *p)
{
    return p[0] | (p[1] << 8);
}

uint32_t U32(const uint8_t *p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

int32_t Refuse(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_szErrorText, sizeof g_szErrorText, format, args);
    va_end(args);
    return -1;
}

int32_t Named(int32_t result)
{
    Gfx_DDErrorName(result);
    g_hrDD = result;
    return result;
}

// Red, green and blue of one stored pixel. Indices past the colour table are black.
void PixelRgb(const BMPIMAGE &bmp, const uint8_t *row, int32_t x, uint8_t rgb[3])
{
    uint32_t index = 0;
    switch (bmp.bitCount) {
    case 1:
        index = (row[x >> 3] >> (7 - (x & 7))) & 1;
        break;
    case 4:
        index = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
        break;
    case 8:
        index = row[x];
        break;
    case 16: {
        const uint32_t p = U16(row + 2 * x);
        const uint32_t r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
        rgb[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
        rgb[1] = static_cast<uint8_t>((g << 3) | (g >> 2));
        rgb[2] = static_cast<uint8_t>((b << 3) | (b >> 2));
        return;
    }
    default: {
        const uint8_t *p = row + x * (bmp.bitCount / 8);
        rgb[0] = p[2];
        rgb[1] = p[1];
        rgb[2] = p[0];
        return;
    }
    }
    if (static_cast<int32_t>(index) >= bmp.colourCount) {
        rgb[0] = rgb[1] = rgb[2] = 0;
        return;
    }
    rgb[0] = bmp.colours[index][2];
    rgb[1] = bmp.colours[index][1];
    rgb[2] = bmp.colours[index][0];
}

} // namespace

int32_t Gfx_ParseBmp(const uint8_t *data, size_t size, BMPIMAGE *out)
{
    if (size < BMP_FILEHEADER_SIZE + BMP_INFOHEADER_SIZE || data[0] != 'B' || data[1] != 'M')
        return Refuse("Not a bitmap file");
    const uint32_t offBits = U32(data + 10);
    const uint8_t *info = data + BMP_FILEHEADER_SIZE;
    const uint32_t infoSize = U32(info);
    if (infoSize < BMP_INFOHEADER_SIZE || infoSize > size - BMP_FILEHEADER_SIZE)
        return Refuse("Bitmap header of %u bytes not supported", infoSize);
    const int32_t width = static_cast<int32_t>(U32(info + 4));
    const int32_t rawHeight = static_cast<int32_t>(U32(info + 8));
    const int32_t bitCount = static_cast<int32_t>(U16(info + 14));
    const uint32_t compression = U32(info + 16);
    const uint32_t clrUsed = U32(info + 32);
    if (width <= 0 || width > BMP_MAX_SIDE || rawHeight == 0 || rawHeight < -BMP_MAX_SIDE ||
        rawHeight > BMP_MAX_SIDE)
        return Refuse("Bitmap size %d x %d not supported", width, rawHeight);
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return Refuse("Bitmap of %d bits a pixel not supported", bitCount);
    if (compression != 0)
        return Refuse("Compressed bitmaps are not supported");

    const int32_t height = rawHeight < 0 ? -rawHeight : rawHeight;
    const uint64_t stride = (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4;
    const uint64_t pixelBytes = stride * static_cast<uint64_t>(height);
    const uint64_t tableStart = BMP_FILEHEADER_SIZE + static_cast<uint64_t>(infoSize);
    if (offBits < tableStart || offBits > size || pixelBytes > size - offBits)
        return Refuse("Bitmap file is cut short");

    out->width = width;
    out->height = height;
    out->bitCount = bitCount;
    out->topDown = rawHeight < 0 ? 1 : 0;
    out->stride = static_cast<uint32_t>(stride);
    std::memset(out->colours, 0, sizeof out->colours);
    out->colourCount = 0;
    if (bitCount <= 8) {
        // The table ends where the pixels start: an oversized count never reads pixels as colours.
        uint64_t count = clrUsed ? clrUsed : (1u << bitCount);
        const uint64_t held = (offBits - tableStart) / 4;
        if (count > held)
            count = held;
        if (count > 256)
            count = 256;
        std::memcpy(out->colours, data + tableStart, count * 4);
        out->colourCount = static_cast<int32_t>(count);
    }
    out->bits.assign(data + offBits, data + offBits + pixelBytes);
    return 0;
}

int32_t Gfx_ReadBmpFile(const char *path, BMPIMAGE *out)
{
    char host[SYS_HOSTPATH_SIZE];
    if (!path || Sys_HostPath(path, host, sizeof host) != 0)
        return Refuse("Couldn't Load File (%s). Name too long!", path ? path : "");
    FILE *f = std::fopen(host, "rb");
    if (!f)
        return Refuse("Couldn't Load File (%s). File not found!", path);
    std::vector<uint8_t> bytes;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0)
        size = std::ftell(f);
    if (size < 0 || size > BMP_MAX_FILE || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        return Refuse("Couldn't Load File (%s). File too large!", path);
    }
    bytes.resize(static_cast<size_t>(size));
    const size_t got = size ? std::fread(bytes.data(), 1, bytes.size(), f) : 0;
    std::fclose(f);
    if (got != bytes.size())
        return Refuse("Couldn't Load File (%s). Read failed!", path);
    if (Gfx_ParseBmp(bytes.data(), bytes.size(), out) != 0) {
        char reason[SYS_ERRORTEXT_SIZE];
        std::snprintf(reason, sizeof reason, "%s", g_szErrorText);
        return Refuse("Couldn't Load File (%s). %s!", path, reason);
    }
    return 0;
}

int32_t Gfx_SampleBmp(const BMPIMAGE &bmp, uint8_t *picture, uint8_t *palette)
{
    if (bmp.bitCount != 8)
        return Refuse("Only 8-bit bitmaps can be used as pictures");
    // Steps of width / 128 and height / 64 are exact in single precision, so the walk gives
    // exactly 64 rows of 128 samples; the counters only guard the buffers.
    const float yStep = static_cast<float>(bmp.height) / 64.0f;
    const float xStep = static_cast<float>(bmp.width) / 128.0f;
    int32_t rows = 0;
    for (float y = 0.0f; y < static_cast<float>(bmp.height) && rows < USERIMAGE_HEIGHT; y += yStep, rows++) {
        const uint8_t *row = bmp.bits.data() + static_cast<size_t>(y) * bmp.stride;
        uint8_t *dst = picture + rows * USERIMAGE_WIDTH;
        int32_t cols = 0;
        for (float x = 0.0f; x < static_cast<float>(bmp.width) && cols < USERIMAGE_WIDTH; x += xStep, cols++)
            dst[cols] = row[static_cast<size_t>(x)];
    }
    for (int32_t i = 0; i < 256; i++) {
        const bool fromFile = i < bmp.colourCount;
        palette[i * 3 + 0] = fromFile ? bmp.colours[i][2] : static_cast<uint8_t>(i);
        palette[i * 3 + 1] = fromFile ? bmp.colours[i][1] : static_cast<uint8_t>(i);
        palette[i * 3 + 2] = fromFile ? bmp.colours[i][0] : static_cast<uint8_t>(i);
    }
    return 0;
}

int32_t Gfx_LoadBmp(const char *name, uint8_t *picture, uint8_t *palette)
{
    BMPIMAGE bmp;
    if (Gfx_ReadBmpFile(name, &bmp) != 0)
        return -1;
    return Gfx_SampleBmp(bmp, picture, palette);
}

int32_t Gfx_BlitBitmap(const BMPIMAGE &bmp)
{
    int32_t pitch = 0, bw = 0, bh = 0;
    uint8_t *back = reinterpret_cast<uint8_t *>(Gfx_GetBackBuffer(&pitch, &bw, &bh));
    if (!back)
        return Named(DDERR_NOTINITIALIZED);
    const PLATDISPLAYRESULT r = Plat_DisplayBeginDraw(g_pDirectDraw);
    if (r == PLAT_DISPLAY_BUSY)
        return Named(DDERR_WASSTILLDRAWING);
    if (r == PLAT_DISPLAY_LOST) {
        Plat_DisplayRestore(g_pDirectDraw, PLAT_SURFACE_BACK);
        return Named(DDERR_SURFACELOST);
    }
    if (r != PLAT_DISPLAY_OK)
        return Named(DDERR_GENERIC);
    const int32_t w = bmp.width < bw ? bmp.width : bw;
    const int32_t h = bmp.height < bh ? bmp.height : bh;
    for (int32_t y = 0; y < h; y++) {
        const int32_t stored = bmp.topDown ? y : bmp.height - 1 - y;
        const uint8_t *src = bmp.bits.data() + static_cast<size_t>(stored) * bmp.stride;
        uint16_t *dst = reinterpret_cast<uint16_t *>(back + static_cast<size_t>(y) * pitch);
        for (int32_t x = 0; x < w; x++) {
            uint8_t rgb[3];
            PixelRgb(bmp, src, x, rgb);
            dst[x] = Gfx_PackFillColour(rgb[0], rgb[1], rgb[2]);
        }
    }
    return 0;
}

int32_t Gfx_BlitBitmapFile(const char *path)
{
    BMPIMAGE bmp;
    if (Gfx_ReadBmpFile(path, &bmp) != 0)
        return -1;
    return Gfx_BlitBitmap(bmp);
}

int32_t Gfx_ShowLoadingScreen()
{
    // A missing picture still gives the pause: start-up goes on after it all the same.
    Gfx_BlitBitmapFile(Sys_MakeDataPath("loading_tnv.bmp"));
    Gfx_Present();
    // Held on the clock, letting the window answer its system between seconds.
    for (int s = 0; s < 5; s++) {
        Sys_WaitSeconds(1);
        Plat_WindowPumpEvents();
    }
    return 0;
}
