#include "render/display.h"

#include "platform/display.h"
#include "render/d3ddevice.h"
#include "render/dxerrors.h"
#include "render/gpustate.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

DISPLAYDEVICE g_aDisplayDevices[DISPLAY_MAX_DEVICES];
int32_t g_iDisplayDevice = -1;
int32_t g_iDisplayDeviceCount = 0;
PLATDISPLAY *g_pDirectDraw = nullptr;
void *g_hDisplayWnd = nullptr;
int32_t g_hrDD = DD_OK;
int32_t g_bGammaControl = 0;
PLATDISPLAY *g_pGammaControl = nullptr;
GAMMARAMP g_abGammaRamp;
int32_t g_iGammaLevel = 255;
int32_t g_bDebugFont = 0;
uint16_t *g_pGrabSurface = nullptr;
int32_t g_iGrabSize[2] = {};

namespace {

std::vector<uint16_t> s_zBuffer;
std::vector<uint16_t> s_grab;
bool s_enumerating = false; // the record being filled may be made current

// Our own 5 x 7 letters for ASCII 32..126, one row a byte, bit 4 the leftmost column. Each is
// drawn doubled in height in an 8 x 16 cell.
constexpr uint8_t kGlyphs[95][7] = {
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // space
    {0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04}, // !
    {0x0A, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00}, // "
    {0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A}, // #
    {0x04, 0x0F, 0x14, 0x0E, 0x05, 0x1E, 0x04}, // $
    {0x19, 0x19, 0x02, 0x04, 0x08, 0x13, 0x13}, // %
    {0x08, 0x14, 0x14, 0x08, 0x15, 0x12, 0x0D}, // &
    {0x04, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00}, // '
    {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02}, // (
    {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08}, // )
    {0x00, 0x04, 0x15, 0x0E, 0x15, 0x04, 0x00}, // *
    {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}, // +
    {0x00, 0x00, 0x00, 0x00, 0x04, 0x04, 0x08}, // ,
    {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}, // -
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04}, // .
    {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}, // /
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, // 0
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}, // 1
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, // 2
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}, // 3
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, // 4
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}, // 5
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, // 6
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}, // 7
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, // 8
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}, // 9
    {0x00, 0x00, 0x04, 0x00, 0x00, 0x04, 0x00}, // :
    {0x00, 0x00, 0x04, 0x00, 0x04, 0x04, 0x08}, // ;
    {0x02, 0x04, 0x08, 0x10, 0x08, 0x04, 0x02}, // <
    {0x00, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x00}, // =
    {0x08, 0x04, 0x02, 0x01, 0x02, 0x04, 0x08}, // >
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04}, // ?
    {0x0E, 0x11, 0x17, 0x15, 0x17, 0x10, 0x0E}, // @
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}, // A
    {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}, // B
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}, // C
    {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}, // D
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}, // E
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}, // F
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}, // G
    {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}, // H
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}, // I
    {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}, // J
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}, // K
    {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}, // L
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}, // M
    {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}, // N
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, // O
    {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}, // P
    {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}, // Q
    {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}, // R
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}, // S
    {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}, // T
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, // U
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}, // V
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}, // W
    {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}, // X
    {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}, // Y
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}, // Z
    {0x0E, 0x08, 0x08, 0x08, 0x08, 0x08, 0x0E}, // [
    {0x10, 0x10, 0x08, 0x04, 0x02, 0x01, 0x01}, // backslash
    {0x0E, 0x02, 0x02, 0x02, 0x02, 0x02, 0x0E}, // ]
    {0x04, 0x0A, 0x11, 0x00, 0x00, 0x00, 0x00}, // ^
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F}, // _
    {0x08, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00}, // `
    {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F}, // a
    {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x1E}, // b
    {0x00, 0x00, 0x0E, 0x10, 0x10, 0x11, 0x0E}, // c
    {0x01, 0x01, 0x0D, 0x13, 0x11, 0x11, 0x0F}, // d
    {0x00, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E}, // e
    {0x06, 0x09, 0x08, 0x1C, 0x08, 0x08, 0x08}, // f
    {0x00, 0x0F, 0x11, 0x11, 0x0F, 0x01, 0x0E}, // g
    {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x11}, // h
    {0x04, 0x00, 0x0C, 0x04, 0x04, 0x04, 0x0E}, // i
    {0x02, 0x00, 0x06, 0x02, 0x02, 0x12, 0x0C}, // j
    {0x10, 0x10, 0x12, 0x14, 0x18, 0x14, 0x12}, // k
    {0x0C, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}, // l
    {0x00, 0x00, 0x1A, 0x15, 0x15, 0x11, 0x11}, // m
    {0x00, 0x00, 0x16, 0x19, 0x11, 0x11, 0x11}, // n
    {0x00, 0x00, 0x0E, 0x11, 0x11, 0x11, 0x0E}, // o
    {0x00, 0x00, 0x1E, 0x11, 0x1E, 0x10, 0x10}, // p
    {0x00, 0x00, 0x0D, 0x13, 0x0F, 0x01, 0x01}, // q
    {0x00, 0x00, 0x16, 0x19, 0x10, 0x10, 0x10}, // r
    {0x00, 0x00, 0x0E, 0x10, 0x0E, 0x01, 0x1E}, // s
    {0x08, 0x08, 0x1C, 0x08, 0x08, 0x09, 0x06}, // t
    {0x00, 0x00, 0x11, 0x11, 0x11, 0x13, 0x0D}, // u
    {0x00, 0x00, 0x11, 0x11, 0x11, 0x0A, 0x04}, // v
    {0x00, 0x00, 0x11, 0x11, 0x15, 0x15, 0x0A}, // w
    {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11}, // x
    {0x00, 0x00, 0x11, 0x11, 0x0F, 0x01, 0x0E}, // y
    {0x00, 0x00, 0x1F, 0x02, 0x04, 0x08, 0x1F}, // z
    {0x02, 0x04, 0x04, 0x08, 0x04, 0x04, 0x02}, // {
    {0x04, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}, // |
    {0x08, 0x04, 0x04, 0x02, 0x04, 0x04, 0x08}, // }
    {0x00, 0x00, 0x08, 0x15, 0x02, 0x00, 0x00}, // ~
};
constexpr int GLYPH_CELL_W = 8;
constexpr int GLYPH_CELL_H = 16;

int32_t Fail(int32_t result)
{
    Gfx_DDErrorName(result);
    g_hrDD = result;
    return result;
}

int32_t ResultOf(PLATDISPLAYRESULT r)
{
    switch (r) {
    case PLAT_DISPLAY_OK:
        return DD_OK;
    case PLAT_DISPLAY_LOST:
        return DDERR_SURFACELOST;
    case PLAT_DISPLAY_BUSY:
        return DDERR_WASSTILLDRAWING;
    case PLAT_DISPLAY_BADMODE:
        return DDERR_INVALIDMODE;
    case PLAT_DISPLAY_NOTREADY:
        return DDERR_NOTINITIALIZED;
    case PLAT_DISPLAY_FAILED:
        break;
    }
    return DDERR_GENERIC;
}

DISPLAYDEVICE *CurrentDevice()
{
    if (g_iDisplayDevice < 0 || g_iDisplayDevice >= g_iDisplayDeviceCount)
        return nullptr;
    return &g_aDisplayDevices[g_iDisplayDevice];
}

uint32_t PixelFormatOf(const PLATDISPLAYMODE &m)
{
    if (m.depth != 16)
        return 0;
    if (m.redMask == 0xF800 && m.greenMask == 0x07E0 && m.blueMask == 0x001F)
        return PIXELFORMAT_565;
    if (m.redMask == 0x7C00 && m.greenMask == 0x03E0 && m.blueMask == 0x001F)
        return PIXELFORMAT_555;
    return 0;
}

PLATDISPLAYMODE PlatModeOf(const DISPLAYMODE &m)
{
    if (m.pixelFormat == PIXELFORMAT_555)
        return {m.width, m.height, m.depth, 0x7C00, 0x03E0, 0x001F};
    return {m.width, m.height, m.depth, 0xF800, 0x07E0, 0x001F};
}

void ListModes(DISPLAYDEVICE *dev, const PLATDISPLAYDEVICE &src)
{
    dev->modeCount = 0;
    for (const PLATDISPLAYMODE &m : src.modes) {
        // Only layouts the layer frame can be copied into unchanged; a full table stops the list.
        const uint32_t format = PixelFormatOf(m);
        if (format == 0 || dev->modeCount == DISPLAY_MAX_MODES)
            continue;
        DISPLAYMODE &out = dev->modes[dev->modeCount++];
        out.width = m.width;
        out.height = m.height;
        out.depth = m.depth;
        out.pixelFormat = format;
        std::snprintf(out.name, sizeof out.name, "%d X %d X %dBit", static_cast<int>(m.width),
                      static_cast<int>(m.height), static_cast<int>(m.depth));
    }
}

void DrawGlyph(uint16_t *back, int32_t pitch, int32_t bw, int32_t bh, int32_t x, int32_t y, unsigned char c,
               uint16_t ink, uint16_t paper)
{
    const uint8_t *glyph = (c >= 32 && c < 127) ? kGlyphs[c - 32] : nullptr;
    for (int row = 0; row < GLYPH_CELL_H; row++) {
        const int py = y + row;
        if (py < 0 || py >= bh)
            continue;
        uint16_t *line = reinterpret_cast<uint16_t *>(reinterpret_cast<uint8_t *>(back) + static_cast<size_t>(py) * pitch);
        const int gr = (row - 1) / 2; // glyph rows 0..6 on cell rows 1..14
        uint8_t bits = 0;
        if (row >= 1 && gr < 7)
            bits = glyph ? glyph[gr] : ((gr == 0 || gr == 6) ? 0x1F : 0x11); // a box for the rest
        for (int col = 0; col < GLYPH_CELL_W; col++) {
            const int px = x + col;
            if (px < 0 || px >= bw)
                continue;
            const bool on = col >= 1 && col <= 5 && (bits & (0x10 >> (col - 1)));
            line[px] = on ? ink : paper;
        }
    }
}

void DrawText(uint16_t *back, int32_t pitch, int32_t bw, int32_t bh, int32_t x, int32_t y, const char *text)
{
    const uint16_t paper = Gfx_PackFillColour(128, 128, 128);
    const uint16_t ink = Gfx_PackFillColour(0, 255, 0);
    for (const char *p = text; *p; p++, x += GLYPH_CELL_W) {
        if (x >= bw)
            break;
        DrawGlyph(back, pitch, bw, bh, x, y, static_cast<unsigned char>(*p), ink, paper);
    }
}

} // namespace

int32_t Gfx_EnumerateDisplayDevices(void *window)
{
    g_iDisplayDeviceCount = 0;
    g_hDisplayWnd = window;
    g_iDisplayDevice = -1;
    const std::vector<PLATDISPLAYDEVICE> devices = Plat_DisplayDevices();
    for (size_t i = 0; i < devices.size() && g_iDisplayDeviceCount < DISPLAY_MAX_DEVICES; i++) {
        DISPLAYDEVICE &dev = g_aDisplayDevices[g_iDisplayDeviceCount];
        dev = DISPLAYDEVICE{};
        dev.currentMode = -1;
        dev.backendIndex = static_cast<int32_t>(i);
        dev.hasGuid = devices[i].hasGuid ? 1 : 0;
        std::memcpy(dev.guid, devices[i].guid, sizeof dev.guid);
        std::snprintf(dev.name, sizeof dev.name, "%s (%s)", devices[i].driver.c_str(), devices[i].description.c_str());
        dev.has3D = devices[i].has3D ? 1 : 0;
        dev.primaryGamma = devices[i].primaryGamma ? 1 : 0;
        // A device that cannot be opened is left out; the next one takes its record.
        s_enumerating = true;
        const int32_t opened = Gfx_CreateDirectDraw(g_iDisplayDeviceCount);
        s_enumerating = false;
        if (opened != DD_OK)
            continue;
        ListModes(&dev, devices[i]);
        Gfx_ReleaseDirectDraw();
        g_iDisplayDeviceCount++;
    }
    g_iDisplayDevice = -1;
    return DD_OK;
}

int32_t Gfx_CreateDirectDraw(int32_t device)
{
    // During the enumeration the record being filled is not counted yet.
    const int32_t limit = s_enumerating ? g_iDisplayDeviceCount + 1 : g_iDisplayDeviceCount;
    if (device < 0 || device >= limit || device >= DISPLAY_MAX_DEVICES)
        return Fail(DDERR_INVALIDPARAMS);
    if (g_pDirectDraw)
        Gfx_ReleaseDirectDraw();
    g_iDisplayDevice = device;
    DISPLAYDEVICE &dev = g_aDisplayDevices[device];
    PLATDISPLAYRESULT r = PLAT_DISPLAY_FAILED;
    g_pDirectDraw = Plat_DisplayOpen(dev.backendIndex, &r);
    if (!g_pDirectDraw) {
        // No object, so no current device either.
        g_iDisplayDevice = -1;
        return Fail(ResultOf(r) == DD_OK ? DDERR_GENERIC : ResultOf(r));
    }
    if (!dev.has3D)
        return DD_OK;
    if (dev.primaryGamma)
        g_bGammaControl = 1;
    g_bDebugFont = 1;
    return DD_OK;
}

int32_t Gfx_FindDisplayMode(uint32_t width, uint32_t height, uint32_t depth)
{
    const DISPLAYDEVICE *dev = CurrentDevice();
    if (!dev)
        return -1;
    for (int32_t i = 0; i < dev->modeCount; i++)
        if (dev->modes[i].width == width && dev->modes[i].height == height && dev->modes[i].depth == depth)
            return i;
    return -1;
}

int32_t Gfx_SetDisplayMode(int32_t mode)
{
    DISPLAYDEVICE *dev = CurrentDevice();
    if (!dev || !g_pDirectDraw)
        return Fail(DDERR_NOTINITIALIZED);
    if (mode < 0 || mode >= dev->modeCount)
        return Fail(DDERR_INVALIDMODE);
    Gfx_RestoreDisplayMode();
    const PLATDISPLAYRESULT r = Plat_DisplaySetMode(g_pDirectDraw, PlatModeOf(dev->modes[mode]));
    if (r != PLAT_DISPLAY_OK)
        return Fail(ResultOf(r));
    dev->currentMode = mode;
    g_iPixelFormat = static_cast<int>(dev->modes[mode].pixelFormat);
    if (g_bGammaControl && dev->primaryGamma) {
        g_pGammaControl = g_pDirectDraw;
        int32_t level = 0;
        Gfx_GetGammaRamp(&level);
    }
    return DD_OK;
}

int32_t Gfx_RestoreDisplayMode()
{
    DISPLAYDEVICE *dev = CurrentDevice();
    if (dev && dev->currentMode != -1 && g_pDirectDraw) {
        Gfx_ReleaseColourKeySurface();
        Gfx_ReleaseSurfaces();
        Plat_DisplayRestoreMode(g_pDirectDraw);
        dev->currentMode = -1;
        g_pGammaControl = nullptr;
    }
    return DD_OK;
}

int32_t Gfx_ReleaseDirectDraw()
{
    if (g_pDirectDraw) {
        Gfx_RestoreDisplayMode();
        Plat_DisplayClose(g_pDirectDraw);
        g_pDirectDraw = nullptr;
        g_pGammaControl = nullptr;
        g_iDisplayDevice = -1;
    }
    return DD_OK;
}

int32_t Gfx_CreateZBuffer(const void *)
{
    int32_t w = 0, h = 0;
    if (!Gfx_GetBackBuffer(nullptr, &w, &h))
        return Fail(DDERR_NOTINITIALIZED);
    s_zBuffer.assign(static_cast<size_t>(w) * h, 0xFFFF);
    return DD_OK;
}

int32_t Gfx_ReleaseSurfaces()
{
    s_zBuffer.clear();
    s_zBuffer.shrink_to_fit();
    return DD_OK;
}

uint16_t *Gfx_GetZBuffer(int32_t *width, int32_t *height)
{
    int32_t w = 0, h = 0;
    if (s_zBuffer.empty() || !Gfx_GetBackBuffer(nullptr, &w, &h))
        return nullptr;
    if (width)
        *width = w;
    if (height)
        *height = h;
    return s_zBuffer.data();
}

uint16_t *Gfx_GetBackBuffer(int32_t *pitch, int32_t *width, int32_t *height)
{
    return Plat_DisplayBackBuffer(g_pDirectDraw, pitch, width, height);
}

int32_t Gfx_Present()
{
    // Nothing to show before a mode is set (the display is closed while the window is inactive).
    if (!Plat_DisplayHasSurfaces(g_pDirectDraw))
        return DD_OK;
    // A present that cannot be taken is dropped; only a lost surface needs mending.
    if (Plat_DisplayPresent(g_pDirectDraw) == PLAT_DISPLAY_LOST) {
        const PLATDISPLAYRESULT r = Plat_DisplayRestore(g_pDirectDraw, PLAT_SURFACE_PRIMARY);
        if (r != PLAT_DISPLAY_OK)
            return Fail(ResultOf(r));
    }
    if (!s_zBuffer.empty() && Plat_DisplayIsLost(g_pDirectDraw, PLAT_SURFACE_ZBUFFER) == PLAT_DISPLAY_LOST) {
        const PLATDISPLAYRESULT r = Plat_DisplayRestore(g_pDirectDraw, PLAT_SURFACE_ZBUFFER);
        if (r != PLAT_DISPLAY_OK)
            return Fail(ResultOf(r));
    }
    if (Plat_DisplayIsLost(g_pDirectDraw, PLAT_SURFACE_BACK) == PLAT_DISPLAY_LOST) {
        const PLATDISPLAYRESULT r = Plat_DisplayRestore(g_pDirectDraw, PLAT_SURFACE_BACK);
        if (r != PLAT_DISPLAY_OK)
            return Fail(ResultOf(r));
    }
    return DD_OK;
}

int32_t Gfx_CopyFrameToSurface(const uint16_t *frame)
{
    if (!frame)
        return Fail(DDERR_INVALIDPARAMS);
    int32_t pitch = 0, w = 0, h = 0;
    uint8_t *back = reinterpret_cast<uint8_t *>(Gfx_GetBackBuffer(&pitch, &w, &h));
    if (!back)
        return Fail(DDERR_NOTINITIALIZED);
    if (Plat_DisplayIsLost(g_pDirectDraw, PLAT_SURFACE_BACK) == PLAT_DISPLAY_LOST) {
        // Restored now; the copy waits for the next frame.
        const PLATDISPLAYRESULT r = Plat_DisplayRestore(g_pDirectDraw, PLAT_SURFACE_BACK);
        return r == PLAT_DISPLAY_OK ? DD_OK : Fail(ResultOf(r));
    }
    // A mode smaller than the layer takes its top-left part; a larger one keeps the rest.
    const size_t rowBytes = static_cast<size_t>(std::min(w, LAYER_WIDTH)) * 2;
    const int32_t rows = std::min(h, LAYER_HEIGHT);
    for (int32_t r = 0; r < rows; r++)
        std::memcpy(back + static_cast<size_t>(r) * pitch, frame + static_cast<size_t>(r) * LAYER_WIDTH, rowBytes);
    return DD_OK;
}

int32_t Gfx_CopySurfaceRectToFrame(int32_t x, int32_t y, int32_t w, int32_t h)
{
    int32_t pitch = 0, bw = 0, bh = 0;
    const uint8_t *back = reinterpret_cast<const uint8_t *>(Gfx_GetBackBuffer(&pitch, &bw, &bh));
    if (!back || !g_pLayerFrame)
        return Fail(DDERR_NOTINITIALIZED);
    // Clipped to the layer and to the back buffer; 64-bit sums so huge sizes cannot wrap.
    const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
    const int64_t x1 = std::min<int64_t>({int64_t{x} + w, LAYER_WIDTH, bw});
    const int64_t y1 = std::min<int64_t>({int64_t{y} + h, LAYER_HEIGHT, bh});
    if (x1 <= x0 || y1 <= y0)
        return DD_OK;
    for (int64_t row = y0; row < y1; row++) {
        uint16_t *dst = g_apLayerRows[row] ? g_apLayerRows[row] : g_pLayerFrame + row * LAYER_WIDTH;
        std::memcpy(dst + x0, back + row * pitch + x0 * 2, static_cast<size_t>(x1 - x0) * 2);
    }
    return DD_OK;
}

int32_t Gfx_CreateColourKeySurface(int32_t height, int32_t width)
{
    Gfx_ReleaseColourKeySurface();
    if (!Gfx_GetBackBuffer(nullptr, nullptr, nullptr))
        return Fail(DDERR_NOTINITIALIZED);
    if (height <= 0 || width <= 0 || height > 4096 || width > 4096)
        return Fail(DDERR_INVALIDPARAMS);
    s_grab.assign(static_cast<size_t>(height) * width, 0); // black is the colour key
    g_pGrabSurface = s_grab.data();
    g_iGrabSize[0] = height;
    g_iGrabSize[1] = width;
    return DD_OK;
}

int32_t Gfx_ReleaseColourKeySurface()
{
    Gfx_D3DForgetTexture(g_pGrabSurface); // the device reads the grab pixels in place
    s_grab.clear();
    s_grab.shrink_to_fit();
    g_pGrabSurface = nullptr;
    return DD_OK;
}

int32_t Gfx_GrabDrawArea()
{
    int32_t pitch = 0, bw = 0, bh = 0;
    const uint8_t *back = reinterpret_cast<const uint8_t *>(Gfx_GetBackBuffer(&pitch, &bw, &bh));
    if (!back || !g_pGrabSurface)
        return Fail(DDERR_NOTINITIALIZED);
    // The source is the draw area kept inside the back buffer.
    const int32_t sx0 = std::clamp(g_iDrawAreaLeft, 0, bw), sx1 = std::clamp(g_iDrawAreaRight, 0, bw);
    const int32_t sy0 = std::clamp(g_iDrawAreaTop, 0, bh), sy1 = std::clamp(g_iDrawAreaBottom, 0, bh);
    if (sx1 <= sx0 || sy1 <= sy0)
        return Fail(DDERR_INVALIDRECT);
    // The destination is (0, 0, first size, second size) as x and y extents.
    const int32_t gh = g_iGrabSize[0], gw = g_iGrabSize[1];
    const int64_t dw = gh, dh = gw;
    for (int64_t dy = 0; dy < dh && dy < gh; dy++) {
        const int64_t sy = sy0 + dy * (sy1 - sy0) / dh;
        const uint16_t *src = reinterpret_cast<const uint16_t *>(back + sy * pitch);
        for (int64_t dx = 0; dx < dw && dx < gw; dx++)
            g_pGrabSurface[dy * gw + dx] = src[sx0 + dx * (sx1 - sx0) / dw];
    }
    return DD_OK;
}

int32_t Gfx_DrawDeviceOverlay(const char *text, int32_t x, int32_t y)
{
    int32_t pitch = 0, bw = 0, bh = 0;
    uint16_t *back = Gfx_GetBackBuffer(&pitch, &bw, &bh);
    if (!back)
        return Fail(DDERR_NOTINITIALIZED);
    const PLATDISPLAYRESULT r = Plat_DisplayBeginDraw(g_pDirectDraw);
    if (r == PLAT_DISPLAY_BUSY)
        return -1;
    if (r == PLAT_DISPLAY_LOST) {
        const PLATDISPLAYRESULT restored = Plat_DisplayRestore(g_pDirectDraw, PLAT_SURFACE_BACK);
        return restored == PLAT_DISPLAY_OK ? DD_OK : Fail(ResultOf(restored));
    }
    if (r != PLAT_DISPLAY_OK)
        return Fail(ResultOf(r));
    if (text) {
        DrawText(back, pitch, bw, bh, x, y, text);
        return DD_OK;
    }
    char line[3 * DISPLAY_NAME_SIZE];
    const DISPLAYDEVICE *dev = CurrentDevice();
    const char *modeName = (dev && dev->currentMode >= 0) ? dev->modes[dev->currentMode].name : "";
    std::snprintf(line, sizeof line, "Mode: %s (%d/%d)", modeName, dev ? dev->currentMode + 1 : 0,
                  dev ? dev->modeCount : 0);
    DrawText(back, pitch, bw, bh, x, y, line);
    std::snprintf(line, sizeof line, "2D Device: %s (%d/%d)", dev ? dev->name : "", g_iDisplayDevice + 1,
                  g_iDisplayDeviceCount);
    DrawText(back, pitch, bw, bh, x, y + 16, line);
    std::snprintf(line, sizeof line, "3D Device: %s (%d/%d)", Gfx_GetRenderDeviceName(g_iRenderDevice),
                  g_iRenderDevice + 1, g_iRenderDeviceCount);
    DrawText(back, pitch, bw, bh, x, y + 32, line);
    return DD_OK;
}

int32_t Gfx_SetGamma(int32_t level)
{
    // A negative step would make negative entries; it is as dark as 0.
    const float step = static_cast<float>(std::max(level, 0));
    float value = 0.0f;
    for (int i = 0; i < 256; i++) {
        if (value > 65535.0f)
            value = 65535.0f;
        const uint16_t entry = static_cast<uint16_t>(value);
        g_abGammaRamp.red[i] = g_abGammaRamp.green[i] = g_abGammaRamp.blue[i] = entry;
        value += step;
    }
    if (!g_pGammaControl)
        return Fail(DDERR_UNSUPPORTED);
    PLATGAMMARAMP ramp;
    std::memcpy(&ramp, &g_abGammaRamp, sizeof ramp);
    const PLATDISPLAYRESULT r = Plat_DisplaySetGammaRamp(g_pGammaControl, ramp);
    if (r != PLAT_DISPLAY_OK)
        return Fail(ResultOf(r));
    g_iGammaLevel = level;
    return DD_OK;
}

int32_t Gfx_GetGammaRamp(int32_t *level)
{
    if (!g_pGammaControl)
        return Fail(DDERR_UNSUPPORTED);
    PLATGAMMARAMP ramp;
    const PLATDISPLAYRESULT r = Plat_DisplayGetGammaRamp(g_pGammaControl, &ramp);
    if (r != PLAT_DISPLAY_OK)
        return Fail(ResultOf(r));
    std::memcpy(&g_abGammaRamp, &ramp, sizeof ramp);
    if (level)
        *level = g_iGammaLevel;
    return g_iGammaLevel;
}

int32_t Gfx_FlipToGdi()
{
    return DD_OK;
}

int32_t Gfx_GetDeviceCount()
{
    return g_iDisplayDeviceCount;
}

void Gfx_GetDeviceName(char *buffer, int32_t device)
{
    if (!buffer)
        return;
    buffer[0] = '\0';
    if (device >= 0 && device < g_iDisplayDeviceCount)
        std::snprintf(buffer, DISPLAY_NAME_SIZE, "%s", g_aDisplayDevices[device].name);
}

int32_t Gfx_GetModeCount()
{
    const DISPLAYDEVICE *dev = CurrentDevice();
    return dev ? dev->modeCount : 0;
}

void Gfx_GetModeName(char *buffer, int32_t mode)
{
    if (!buffer)
        return;
    buffer[0] = '\0';
    const DISPLAYDEVICE *dev = CurrentDevice();
    if (dev && mode >= 0 && mode < dev->modeCount)
        std::snprintf(buffer, DISPLAY_NAME_SIZE, "%s", dev->modes[mode].name);
}

void Gfx_GetModeSize(int32_t mode, int32_t *width, int32_t *height, int32_t *depth)
{
    const DISPLAYDEVICE *dev = CurrentDevice();
    if (!dev || mode < 0 || mode >= dev->modeCount)
        return;
    if (width)
        *width = static_cast<int32_t>(dev->modes[mode].width);
    if (height)
        *height = static_cast<int32_t>(dev->modes[mode].height);
    if (depth)
        *depth = static_cast<int32_t>(dev->modes[mode].depth);
}

