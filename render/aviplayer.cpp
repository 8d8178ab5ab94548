#include "render/aviplayer.h"

#include "core/file.h"
#include "platform/clock.h"
#include "render/display.h"
#include "render/dxerrors.h"
#include "render/gpustate.h"
#include "render/textures.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

AVIREADER g_tAviReader;
AVISTREAMINFO g_tAviStreamInfo;
AVISURFACE *g_pAviSurface;
int32_t g_bAviPlaying;
int64_t g_iAviStartUs;
int32_t g_iAviFrameWidth = 640;
int32_t g_iAviFrameHeight = 480;

namespace {

FILE *s_pAviFile;

int64_t ClockUs()
{
    return static_cast<int64_t>(Plat_ClockNowUs());
}

uint16_t Pack(const uint8_t *bgr, bool is565)
{
    const uint32_t b = bgr[0], g = bgr[1], r = bgr[2];
    if (is565)
        return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
    return static_cast<uint16_t>(((r & 0xF8) << 7) | ((g & 0xF8) << 2) | (b >> 3));
}

} // namespace

int32_t Gfx_OpenAviStream(const char *path, AVISURFACE *surface)
{
    Gfx_CloseAviStream();
    g_pAviSurface = surface;
    char host[SYS_HOSTPATH_SIZE];
    if (!path || Sys_HostPath(path, host, sizeof host) != 0 || !(s_pAviFile = std::fopen(host, "rb"))) {
        std::snprintf(g_szErrorText, sizeof g_szErrorText, "Couldn't Load Video File (%s).", path ? path : "");
        return -1;
    }
    if (Gfx_AviOpenFile(&g_tAviReader, s_pAviFile) != 0) {
        // Name the file in front of the reader's reason.
        const char *cut = std::strstr(g_szErrorText, ". ");
        const std::string text = std::string("Couldn't Load Video File (") + path + "). " + (cut ? cut + 2 : g_szErrorText);
        std::snprintf(g_szErrorText, sizeof g_szErrorText, "%s", text.c_str());
        std::fclose(s_pAviFile);
        s_pAviFile = nullptr;
        return -1;
    }
    g_tAviStreamInfo = g_tAviReader.info;
    g_iAviFrameWidth = g_tAviStreamInfo.rcFrame[2] - g_tAviStreamInfo.rcFrame[0];
    g_iAviFrameHeight = g_tAviStreamInfo.rcFrame[3] - g_tAviStreamInfo.rcFrame[1];
    return 0;
}

int32_t Gfx_StartAviPlayback()
{
    g_bAviPlaying = 1;
    g_iAviStartUs = ClockUs();
    return 0;
}

int32_t Gfx_UpdateAviFrame()
{
    if (!g_bAviPlaying)
        return 0;
    // Whole microseconds times rate / scale, so a frame is due exactly at its time, however long
    // the program has run. A stream that failed to open has no frames: it has ended at once.
    const int64_t elapsed = std::max<int64_t>(0, ClockUs() - g_iAviStartUs);
    const unsigned __int128 scaled = static_cast<unsigned __int128>(elapsed) * g_tAviStreamInfo.dwRate;
    const unsigned __int128 per = static_cast<unsigned __int128>(g_tAviStreamInfo.dwScale) * 1000000u;
    const unsigned __int128 due = per ? scaled / per : 0;
    if (due >= g_tAviStreamInfo.dwLength) {
        g_bAviPlaying = 0;
        return 1;
    }
    const int32_t frame = static_cast<int32_t>(due);
    AVISURFACE *s = g_pAviSurface;
    if (!s)
        return DDERR_INVALIDOBJECT;
    const bool is565 = s->greenMask == 0x7E0;
    const uint8_t *dib = Gfx_AviDecodeFrame(&g_tAviReader, frame);
    if (!dib)
        return DDERR_GENERIC;
    if (!s->pixels || s->pitch < 2 * s->width || s->width < 0 || s->height < 0)
        return DDERR_SURFACELOST;
    // Bottom row of the frame to surface row height - 1: the picture stands upright. What does not
    // fit the surface is cut off.
    const int32_t w = g_tAviReader.width, h = g_tAviReader.height;
    const int32_t stride = Gfx_AviDecodedStride(&g_tAviReader);
    const int32_t cols = std::min(w, s->width);
    for (int32_t row = 0; row < h; row++) {
        const int32_t target = h - 1 - row;
        if (target >= s->height)
            continue;
        const uint8_t *src = dib + AVI_DIB_HEADER_SIZE + static_cast<size_t>(row) * stride;
        uint16_t *dst = reinterpret_cast<uint16_t *>(reinterpret_cast<uint8_t *>(s->pixels) +
                                                     static_cast<size_t>(target) * s->pitch);
        for (int32_t x = 0; x < cols; x++)
            dst[x] = Pack(src + 3 * x, is565);
    }
    return 0;
}

int32_t Gfx_StopAviPlayback()
{
    g_bAviPlaying = 0;
    return 0;
}

int32_t Gfx_CloseAviStream()
{
    g_bAviPlaying = 0;
    Gfx_AviCloseReader(&g_tAviReader);
    g_tAviStreamInfo = AVISTREAMINFO{};
    g_iAviFrameWidth = 640;
    g_iAviFrameHeight = 480;
    if (s_pAviFile) {
        std::fclose(s_pAviFile);
        s_pAviFile = nullptr;
    }
    return 0;
}

void Gfx_AviBackBufferSurface(AVISURFACE *surface)
{
    if (!surface)
        return;
    *surface = AVISURFACE{};
    surface->pixels = Gfx_GetBackBuffer(&surface->pitch, &surface->width, &surface->height);
    surface->greenMask = g_iPixelFormat == PIXELFORMAT_565 ? 0x7E0u : 0x3E0u;
}

int32_t Gfx_AviTextureSurface(const TEXSURFACE *texture, AVISURFACE *surface)
{
    if (!surface)
        return -1;
    *surface = AVISURFACE{};
    if (!texture || !texture->pixels || texture->bytesPerPixel != 2 ||
        !(texture->format & (TEX_16_RGB565 | TEX_16_RGB555 | TEX_16_ARGB1555)) || texture->width > 0x7FFF ||
        texture->height > 0x7FFF || texture->pitch > 0x7FFFFFFF || texture->pitch < 2 * texture->width)
        return -1;
    surface->pixels = reinterpret_cast<uint16_t *>(texture->pixels);
    surface->pitch = static_cast<int32_t>(texture->pitch);
    surface->width = static_cast<int32_t>(texture->width);
    surface->height = static_cast<int32_t>(texture->height);
    surface->greenMask = texture->format == TEX_16_RGB565 ? 0x7E0u : 0x3E0u;
    return 0;
}
