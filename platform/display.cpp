// The display: SDL2 backend and headless memory surfaces.
#include "platform/display.h"

#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/window_sdl.h"

#include <png.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

struct PLATDISPLAY
{
    int device = -1;
    bool headless = true;
    bool hasSurfaces = false;
    PLATDISPLAYMODE mode = {};
    int32_t pitch = 0; // bytes
    std::vector<uint16_t> back;
    uint32_t lostMask = 0;
    PLATGAMMARAMP ramp = {};
    SDL_Renderer *renderer = nullptr;
    SDL_Texture *texture = nullptr;
    bool vsync = false;
    uint64_t nextPresentUs = 0;
};

namespace {

constexpr PLATDISPLAYMODE Mode565(uint32_t w, uint32_t h)
{
    return {w, h, 16, 0xF800, 0x07E0, 0x001F};
}

constexpr PLATDISPLAYMODE Mode555(uint32_t w, uint32_t h)
{
    return {w, h, 16, 0x7C00, 0x03E0, 0x001F};
}

std::vector<PLATDISPLAYDEVICE> DefaultHeadlessDevices()
{
    PLATDISPLAYDEVICE d;
    d.driver = "headless";
    d.description = "Memory display";
    // Both 16-bit layouts, sizes above the layer, and a 32-bit mode that the studio cannot use.
    d.modes = {Mode565(640, 480), Mode555(640, 480), Mode565(800, 600), Mode565(1024, 768),
               {640, 480, 32, 0xFF0000, 0x00FF00, 0x0000FF}};
    return {d};
}

struct HeadlessState
{
    std::vector<PLATDISPLAYDEVICE> devices = DefaultHeadlessDevices();
    uint32_t loseOnNextCheck = 0;
    bool busy = false;
    PLATDISPLAYSTEP failStep = PLAT_DISPLAY_STEP_NONE;
};

HeadlessState s_headless;
PLATDISPLAY s_display; // one device open at a time
bool s_open = false;
// The last headless present: its pixels as they were, converted to RGB only when someone reads
// them (a dump or a test), which is most of a frame's cost when done every time.
std::vector<uint8_t> s_presented;
std::vector<uint16_t> s_presentedRaw;
PLATDISPLAYMODE s_presentedMode = {};
PLATGAMMARAMP s_presentedRamp = {};
bool s_presentedStale = false;
uint32_t s_presentedW = 0, s_presentedH = 0;
uint32_t s_presentCount = 0;
uint32_t s_conversions = 0;

void IdentityRamp(PLATGAMMARAMP *ramp)
{
    // The desktop's own ramp: full scale, so that 255 maps to 65535.
    for (int i = 0; i < 256; i++)
        ramp->red[i] = ramp->green[i] = ramp->blue[i] = static_cast<uint16_t>(i * 257);
}

bool IsIdentity(const PLATGAMMARAMP &ramp)
{
    for (int i = 0; i < 256; i++)
        if ((ramp.red[i] >> 8) != i || (ramp.green[i] >> 8) != i || (ramp.blue[i] >> 8) != i)
            return false;
    return true;
}

uint8_t Channel(uint16_t pixel, uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = std::countr_zero(mask);
    int bits = std::popcount(mask);
    uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8)
        return static_cast<uint8_t>(v >> (bits - 8));
    // Repeat the top bits so that full scale stays full scale (5 bits: v << 3 | v >> 2).
    uint32_t wide = 0;
    for (int pos = 8 - bits; pos > -bits; pos -= bits)
        wide |= pos >= 0 ? v << pos : v >> -pos;
    return static_cast<uint8_t>(wide);
}

// Each channel's values of a mode mapped through the ramp once, so a frame is table lookups.
struct ChannelTables
{
    uint32_t mask[3];
    int shift[3];
    uint8_t out[3][256];
};

void BuildTables(const PLATDISPLAYMODE &mode, const PLATGAMMARAMP &ramp, ChannelTables *t)
{
    const uint32_t masks[3] = {mode.redMask, mode.greenMask, mode.blueMask};
    for (int c = 0; c < 3; c++) {
        // Keep at most 8 bits of a channel; the 16-bit modes have 5 or 6.
        t->shift[c] = masks[c] ? std::countr_zero(masks[c]) : 0;
        t->mask[c] = masks[c] & (0xFFu << t->shift[c]);
        for (uint32_t v = 0; v < 256; v++) {
            const uint16_t pixel = static_cast<uint16_t>((v << t->shift[c]) & t->mask[c]);
            uint8_t rgb[3];
            Plat_DisplayConvertPixel(pixel, mode, ramp, rgb);
            t->out[c][v] = rgb[c];
        }
    }
}

// Rows of 16-bit pixels (pitch in pixels) converted through the ramp into RGB bytes.
void ConvertFrame(const uint16_t *pixels, size_t pitch, const PLATDISPLAYMODE &mode, const PLATGAMMARAMP &ramp,
                  std::vector<uint8_t> *rgb)
{
    const uint32_t w = mode.width, h = mode.height;
    rgb->resize(static_cast<size_t>(w) * h * 3);
    ChannelTables t;
    BuildTables(mode, ramp, &t);
    uint8_t *out = rgb->data();
    for (uint32_t y = 0; y < h; y++) {
        const uint16_t *row = pixels + static_cast<size_t>(y) * pitch;
        for (uint32_t x = 0; x < w; x++, out += 3)
            for (int c = 0; c < 3; c++)
                out[c] = t.out[c][(row[x] & t.mask[c]) >> t.shift[c]];
    }
    s_conversions++;
}

void KeepPresented(const PLATDISPLAY &d)
{
    const size_t w = d.mode.width, h = d.mode.height, pitch = static_cast<size_t>(d.pitch / 2);
    s_presentedRaw.resize(w * h);
    for (size_t y = 0; y < h; y++)
        std::memcpy(s_presentedRaw.data() + y * w, d.back.data() + y * pitch, w * 2);
    s_presentedMode = d.mode;
    s_presentedRamp = d.ramp;
    s_presentedStale = true;
    s_presentedW = d.mode.width;
    s_presentedH = d.mode.height;
}

const std::vector<uint8_t> &PresentedRgb()
{
    if (s_presentedStale) {
        ConvertFrame(s_presentedRaw.data(), s_presentedMode.width, s_presentedMode, s_presentedRamp, &s_presented);
        s_presentedStale = false;
    }
    return s_presented;
}

std::vector<PLATDISPLAYDEVICE> SdlDevices()
{
    PLATDISPLAYDEVICE d;
    const char *driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
    d.driver = driver ? driver : "sdl";
    d.description = "Display window";
    // The interface size first; the larger ones serve the full-screen video.
    d.modes = {Mode565(640, 480), Mode565(800, 600), Mode565(1024, 768)};
    return {d};
}

void SdlDropSurfaces(PLATDISPLAY *d)
{
    if (d->texture)
        SDL_DestroyTexture(d->texture);
    d->texture = nullptr;
}

PLATDISPLAYRESULT SdlSetMode(PLATDISPLAY *d, const PLATDISPLAYMODE &mode)
{
    SDL_Window *window = Plat_WindowSdlHandle();
    if (!window || !d->renderer)
        return PLAT_DISPLAY_NOTREADY;
    SdlDropSurfaces(d);
    // The window is made at the interface's scaled size; a size change here races the window
    // system (a first picture can land at the old size), so it is made only when needed.
    const int scale = Plat_WindowScaleFor(static_cast<int>(mode.width), static_cast<int>(mode.height));
    const int ww = static_cast<int>(mode.width) * scale, wh = static_cast<int>(mode.height) * scale;
    int cw = 0, ch = 0;
    SDL_GetWindowSize(window, &cw, &ch);
    if (cw != ww || ch != wh) {
        SDL_SetWindowSize(window, ww, wh);
        SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    d->texture = SDL_CreateTexture(d->renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                   static_cast<int>(mode.width), static_cast<int>(mode.height));
    if (!d->texture) {
        std::fprintf(stderr, "tnvpc: display texture: %s\n", SDL_GetError());
        return PLAT_DISPLAY_FAILED;
    }
    return PLAT_DISPLAY_OK;
}

PLATDISPLAYRESULT SdlPresent(PLATDISPLAY *d)
{
    void *pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(d->texture, nullptr, &pixels, &pitch) != 0)
        return PLAT_DISPLAY_FAILED;
    const bool identity = IsIdentity(d->ramp);
    ChannelTables t;
    BuildTables(d->mode, d->ramp, &t);
    const size_t rowBytes = d->mode.width * 2;
    for (uint32_t y = 0; y < d->mode.height; y++) {
        const uint16_t *src = d->back.data() + static_cast<size_t>(y) * (d->pitch / 2);
        uint16_t *dst = reinterpret_cast<uint16_t *>(static_cast<uint8_t *>(pixels) + static_cast<size_t>(y) * pitch);
        if (identity && d->mode.redMask == 0xF800) {
            std::memcpy(dst, src, rowBytes);
            continue;
        }
        for (uint32_t x = 0; x < d->mode.width; x++) {
            const uint8_t r = t.out[0][(src[x] & t.mask[0]) >> t.shift[0]];
            const uint8_t g = t.out[1][(src[x] & t.mask[1]) >> t.shift[1]];
            const uint8_t b = t.out[2][(src[x] & t.mask[2]) >> t.shift[2]];
            dst[x] = static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
        }
    }
    SDL_UnlockTexture(d->texture);
    int ww = 0, wh = 0;
    SDL_GetRendererOutputSize(d->renderer, &ww, &wh);
    const int scale = std::max(1, std::min(ww / static_cast<int>(d->mode.width), wh / static_cast<int>(d->mode.height)));
    const int dw = static_cast<int>(d->mode.width) * scale, dh = static_cast<int>(d->mode.height) * scale;
    SDL_Rect dst = {(ww - dw) / 2, (wh - dh) / 2, dw, dh};
    SDL_SetRenderDrawColor(d->renderer, 0, 0, 0, 255);
    SDL_RenderClear(d->renderer);
    SDL_RenderCopy(d->renderer, d->texture, nullptr, &dst);
    SDL_RenderPresent(d->renderer);
    if (!d->vsync) {
        // Without vsync the loop would spin: hold it near the display's usual 60 frames a second.
        const uint64_t now = Plat_ClockNowUs();
        if (d->nextPresentUs > now)
            Plat_WaitUntilUs(d->nextPresentUs);
        d->nextPresentUs = std::max(now, d->nextPresentUs) + 16667;
    }
    return PLAT_DISPLAY_OK;
}

} // namespace

void Plat_DisplayConvertPixel(uint16_t pixel, const PLATDISPLAYMODE &mode, const PLATGAMMARAMP &ramp, uint8_t rgb[3])
{
    rgb[0] = static_cast<uint8_t>(ramp.red[Channel(pixel, mode.redMask)] >> 8);
    rgb[1] = static_cast<uint8_t>(ramp.green[Channel(pixel, mode.greenMask)] >> 8);
    rgb[2] = static_cast<uint8_t>(ramp.blue[Channel(pixel, mode.blueMask)] >> 8);
}

std::vector<PLATDISPLAYDEVICE> Plat_DisplayDevices()
{
    return Plat_IsHeadless() ? s_headless.devices : SdlDevices();
}

PLATDISPLAY *Plat_DisplayOpen(int device, PLATDISPLAYRESULT *result)
{
    PLATDISPLAYRESULT dummy;
    if (!result)
        result = &dummy;
    const std::vector<PLATDISPLAYDEVICE> devices = Plat_DisplayDevices();
    if (device < 0 || device >= static_cast<int>(devices.size())) {
        *result = PLAT_DISPLAY_BADMODE;
        return nullptr;
    }
    if (s_open)
        Plat_DisplayClose(&s_display);
    const bool headless = Plat_IsHeadless();
    if (headless && s_headless.failStep == PLAT_DISPLAY_STEP_OPEN) {
        *result = PLAT_DISPLAY_FAILED;
        return nullptr;
    }
    s_display = PLATDISPLAY{};
    s_display.device = device;
    s_display.headless = headless;
    IdentityRamp(&s_display.ramp);
    if (!headless) {
        SDL_Window *window = Plat_WindowSdlHandle();
        if (!window) {
            *result = PLAT_DISPLAY_NOTREADY;
            return nullptr;
        }
        s_display.renderer = SDL_GetRenderer(window);
        if (!s_display.renderer)
            s_display.renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
        if (!s_display.renderer)
            s_display.renderer = SDL_CreateRenderer(window, -1, 0);
        if (!s_display.renderer) {
            std::fprintf(stderr, "tnvpc: display renderer: %s\n", SDL_GetError());
            *result = PLAT_DISPLAY_FAILED;
            return nullptr;
        }
        SDL_RendererInfo info;
        s_display.vsync = SDL_GetRendererInfo(s_display.renderer, &info) == 0 &&
                          (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
    }
    s_open = true;
    *result = PLAT_DISPLAY_OK;
    return &s_display;
}

void Plat_DisplayClose(PLATDISPLAY *d)
{
    if (!d || !s_open)
        return;
    Plat_DisplayRestoreMode(d);
    if (d->renderer)
        SDL_DestroyRenderer(d->renderer);
    d->renderer = nullptr;
    if (d->headless && s_presentCount > 0 && !s_presentedRaw.empty())
        if (const char *path = Plat_GetEnv("TNV_DUMP_FRAME"))
            Plat_WritePng(path, PresentedRgb().data(), s_presentedW, s_presentedH);
    s_open = false;
    *d = PLATDISPLAY{};
}

PLATDISPLAYRESULT Plat_DisplaySetMode(PLATDISPLAY *d, const PLATDISPLAYMODE &mode)
{
    if (!d || !s_open)
        return PLAT_DISPLAY_NOTREADY;
    const std::vector<PLATDISPLAYDEVICE> devices = Plat_DisplayDevices();
    const std::vector<PLATDISPLAYMODE> &modes = devices[d->device].modes;
    const bool known = std::any_of(modes.begin(), modes.end(), [&](const PLATDISPLAYMODE &m) {
        return std::memcmp(&m, &mode, sizeof m) == 0;
    });
    // Only 16-bit surfaces are made: the studio draws nothing else.
    if (!known || mode.depth != 16 || mode.width == 0 || mode.height == 0)
        return PLAT_DISPLAY_BADMODE;
    if (d->headless && s_headless.failStep == PLAT_DISPLAY_STEP_SETMODE)
        return PLAT_DISPLAY_FAILED;
    Plat_DisplayRestoreMode(d);
    if (!d->headless) {
        PLATDISPLAYRESULT r = SdlSetMode(d, mode);
        if (r != PLAT_DISPLAY_OK)
            return r;
        d->pitch = static_cast<int32_t>(mode.width * 2);
    } else {
        // Wider than a row, so that whoever ignores the pitch shows up in tests.
        d->pitch = static_cast<int32_t>(((mode.width * 2 + 63) & ~63u) + 64);
    }
    d->mode = mode;
    d->back.assign(static_cast<size_t>(d->pitch / 2) * mode.height, 0);
    d->lostMask = 0;
    d->hasSurfaces = true;
    return PLAT_DISPLAY_OK;
}

void Plat_DisplayRestoreMode(PLATDISPLAY *d)
{
    if (!d)
        return;
    SdlDropSurfaces(d);
    d->back.clear();
    d->back.shrink_to_fit();
    d->hasSurfaces = false;
    d->lostMask = 0;
}

bool Plat_DisplayHasSurfaces(const PLATDISPLAY *d)
{
    return d && d->hasSurfaces;
}

uint16_t *Plat_DisplayBackBuffer(PLATDISPLAY *d, int32_t *pitch, int32_t *width, int32_t *height)
{
    if (!d || !d->hasSurfaces)
        return nullptr;
    if (pitch)
        *pitch = d->pitch;
    if (width)
        *width = static_cast<int32_t>(d->mode.width);
    if (height)
        *height = static_cast<int32_t>(d->mode.height);
    return d->back.data();
}

PLATDISPLAYRESULT Plat_DisplayIsLost(PLATDISPLAY *d, uint32_t mask)
{
    if (!d || !d->hasSurfaces)
        return PLAT_DISPLAY_NOTREADY;
    if (d->headless && s_headless.loseOnNextCheck) {
        d->lostMask |= s_headless.loseOnNextCheck;
        s_headless.loseOnNextCheck = 0;
    }
    return (d->lostMask & mask) ? PLAT_DISPLAY_LOST : PLAT_DISPLAY_OK;
}

PLATDISPLAYRESULT Plat_DisplayRestore(PLATDISPLAY *d, uint32_t mask)
{
    if (!d || !d->hasSurfaces)
        return PLAT_DISPLAY_NOTREADY;
    if (!(d->lostMask & mask))
        return PLAT_DISPLAY_OK;
    if (d->headless && s_headless.failStep == PLAT_DISPLAY_STEP_RESTORE)
        return PLAT_DISPLAY_FAILED;
    if (d->lostMask & mask & PLAT_SURFACE_BACK)
        std::fill(d->back.begin(), d->back.end(), 0);
    d->lostMask &= ~mask;
    return PLAT_DISPLAY_OK;
}

PLATDISPLAYRESULT Plat_DisplayBeginDraw(PLATDISPLAY *d)
{
    if (Plat_DisplayIsLost(d, PLAT_SURFACE_BACK) != PLAT_DISPLAY_OK)
        return Plat_DisplayIsLost(d, PLAT_SURFACE_BACK);
    if (d->headless && s_headless.busy)
        return PLAT_DISPLAY_BUSY;
    return PLAT_DISPLAY_OK;
}

PLATDISPLAYRESULT Plat_DisplayPresent(PLATDISPLAY *d)
{
    if (!d || !d->hasSurfaces)
        return PLAT_DISPLAY_NOTREADY;
    if (Plat_DisplayIsLost(d, PLAT_SURFACE_PRIMARY) == PLAT_DISPLAY_LOST)
        return PLAT_DISPLAY_LOST;
    if (d->headless) {
        KeepPresented(*d);
    } else {
        PLATDISPLAYRESULT r = SdlPresent(d);
        if (r != PLAT_DISPLAY_OK)
            return r;
    }
    s_presentCount++;
    return PLAT_DISPLAY_OK;
}

PLATDISPLAYRESULT Plat_DisplaySetGammaRamp(PLATDISPLAY *d, const PLATGAMMARAMP &ramp)
{
    if (!d || !d->hasSurfaces)
        return PLAT_DISPLAY_NOTREADY;
    if (d->headless && s_headless.failStep == PLAT_DISPLAY_STEP_GAMMA)
        return PLAT_DISPLAY_FAILED;
    d->ramp = ramp;
    return PLAT_DISPLAY_OK;
}

PLATDISPLAYRESULT Plat_DisplayGetGammaRamp(PLATDISPLAY *d, PLATGAMMARAMP *ramp)
{
    if (!d || !d->hasSurfaces || !ramp)
        return PLAT_DISPLAY_NOTREADY;
    *ramp = d->ramp;
    return PLAT_DISPLAY_OK;
}

const std::vector<uint8_t> &Plat_DisplayPresentedFrame(uint32_t *width, uint32_t *height)
{
    if (width)
        *width = s_presentedW;
    if (height)
        *height = s_presentedH;
    return PresentedRgb();
}

uint32_t Plat_DisplayFrameConversions()
{
    return s_conversions;
}

uint32_t Plat_DisplayPresentCount()
{
    return s_presentCount;
}

bool Plat_WritePng(const char *path, const uint8_t *rgb, uint32_t width, uint32_t height)
{
    FILE *f = std::fopen(path, "wb");
    if (!f) {
        std::fprintf(stderr, "tnvpc: cannot write the frame to %s\n", path);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    volatile bool ok = false;
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, f);
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (uint32_t y = 0; y < height; y++)
            png_write_row(png, const_cast<png_bytep>(rgb + static_cast<size_t>(y) * width * 3));
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    if (std::fclose(f) != 0)
        ok = false;
    if (!ok)
        std::fprintf(stderr, "tnvpc: cannot write the frame to %s\n", path);
    return ok;
}

void Plat_DisplayHeadlessSetDevices(const std::vector<PLATDISPLAYDEVICE> &devices)
{
    s_headless.devices = devices;
}

void Plat_DisplayHeadlessReset()
{
    s_headless = HeadlessState{};
}

void Plat_DisplayHeadlessLoseSurfaces(uint32_t mask)
{
    s_headless.loseOnNextCheck |= mask;
}

void Plat_DisplayHeadlessSetBusy(bool busy)
{
    s_headless.busy = busy;
}

void Plat_DisplayHeadlessFailStep(PLATDISPLAYSTEP step)
{
    s_headless.failStep = step;
}
