// The rasteriser under arbitrary draw state and primitive fields: every write stays inside the
// exactly sized 640 x 480 frame and every texel read inside the exactly sized 256 x 256 page
// (the sanitizers see any stray access; rows past the frame are null).
#include "render/gpustate.h"
#include "render/raster.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Reader
{
    const uint8_t *p;
    size_t left;
    int32_t I16()
    {
        int16_t v = 0;
        if (left >= 2) {
            std::memcpy(&v, p, 2);
            p += 2, left -= 2;
        } else {
            left = 0;
        }
        return v;
    }
    // Draw-state values reach well past the frame (packets carry up to 12 + 16 bits).
    int32_t Wide() { return I16() * 3 + I16(); }
    uint8_t U8()
    {
        if (!left)
            return 0;
        --left;
        return *p++;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static std::vector<uint16_t> frame(size_t(LAYER_WIDTH) * LAYER_HEIGHT);
    static std::vector<uint16_t> texels(256 * 512, 0x1234);
    static std::vector<uint16_t> tile(24 * 24, 0x4321);
    g_pLayerFrame = frame.data();
    for (int r = 0; r < LAYER_ROW_TABLE_SIZE; ++r)
        g_apLayerRows[r] = r < LAYER_HEIGHT ? frame.data() + r * LAYER_WIDTH : nullptr;
    Gfx_ResetDrawState();

    Reader in{data, size};
    g_iPixelFormat = (in.U8() & 1) ? PIXELFORMAT_555 : PIXELFORMAT_565;
    g_pClutSource = (in.U8() & 1) ? texels.data() : nullptr;
    while (in.left) {
        const uint8_t op = in.U8() % 11;
        const int32_t a = in.I16(), b = in.I16(), c = in.I16(), d = in.I16();
        const uint8_t r = in.U8(), g = in.U8(), bl = in.U8();
        switch (op) {
        case 0: Gfx_RasterTile(a, b, c, d, r, g, bl); break;
        case 1: Gfx_RasterFillRect(a, b, c, d, r, g, bl); break;
        case 2: Gfx_RasterLine(a, b, c, d, r, g, bl); break;
        case 3: Gfx_RasterSprite(a, b, r, g, c, d); break;
        case 4: Gfx_RasterGlyph(a, b, r, g, c, d, bl, r, g); break;
        case 5: Gfx_RasterTexturedQuad(a, b, r, g, c, d); break;
        case 6: Gfx_CopyScreenTile(a, b, tile.data()); break;
        case 7:
            g_iDrawAreaLeft = a * 2, g_iDrawAreaTop = b * 2;
            g_iDrawAreaRight = g_iDrawAreaLeft + in.Wide(), g_iDrawAreaBottom = g_iDrawAreaTop + in.Wide();
            break;
        case 8: g_iDrawOffsetX = in.Wide(), g_iDrawOffsetY = in.Wide(); break;
        case 9:
            g_bTexWindow = r & 1;
            g_iTexWindowX = a, g_iTexWindowY = b, g_iTexWindowW = c, g_iTexWindowH = d;
            g_uTexturePage = g;
            break;
        default:
            Gfx_MaskedCopy(a, b, c, d, uint32_t(in.Wide()), uint32_t(in.Wide()), uint32_t(in.Wide()),
                           uint32_t(in.Wide()), uint32_t(in.Wide()), uint32_t(in.Wide()), uint16_t(r << 8 | g));
            (void)Gfx_GetClutColour(a, b);
            break;
        }
    }
    return 0;
}
