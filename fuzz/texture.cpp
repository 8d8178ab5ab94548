// The texture readers over arbitrary bytes: the raw interface picture (as a file) and the console
// image, on a device that offers every format and on one that wants square powers of two; then
// the sample editor's picture drawn from the same bytes.
#include "render/textures.h"
#include "fuzz/fuzztemp.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

uint32_t g_caps = 0;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = FuzzTempDir() + "/tnv_fuzz_texture_" + std::to_string(getpid()) + ".raw";
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    g_tTextureDevice = g_tDefaultTextureDevice;
    g_tTextureDevice.textureCaps = []() -> uint32_t { return g_caps; };
    if (Gfx_InitTextureTable() != 0)
        return 0;
    Gfx_EnumTextureFormats();
    if (Gfx_LoadTextureFile(path.c_str(), 0, 10) == 0) {
        const uint16_t *page = Gfx_GetTexelSource(10);
        volatile uint16_t last = page[256 * 256 * 2 - 1];
        (void)last;
    }
    for (uint32_t caps : {0u, TEXCAPS_POW2 | TEXCAPS_SQUAREONLY}) {
        g_caps = caps;
        TEXTURE *t = nullptr;
        if (Gfx_CreateTextureFromImage(&t, data, size, -1) == 0 && t) {
            Gfx_SetTextureInverted(t, 1);
            Gfx_BindTextureRecord(t, 0, 0);
            Gfx_FreeTexture(t);
        }
    }
    if (size >= 8) {
        TEXRECT rect;
        rect.x = static_cast<int16_t>(data[0] | (data[1] << 8));
        rect.y = static_cast<int16_t>(data[2] | (data[3] << 8));
        rect.w = static_cast<int16_t>(data[4] & 0x3F);
        rect.h = static_cast<int16_t>(data[5] & 0x3F);
        uint16_t colours[16] = {};
        // The source must hold h rows of w x 2 bytes; give it a buffer that does.
        std::string bytes(static_cast<size_t>(rect.w) * 2 * rect.h + 1, '\x5A');
        Gfx_BlitNibbleImage(reinterpret_cast<const uint8_t *>(bytes.data()), &rect, colours);
    }
    Gfx_FreeTextureTable();
    return 0;
}
