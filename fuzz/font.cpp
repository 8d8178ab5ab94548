// The font file reader over arbitrary bytes: the first two bytes choose the sheet's position and
// width, the rest is the file. A measured font is then used to measure and build text.
#include "core/console_memory.h"
#include "render/fonts.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    IMAGEREC sheet{};
    sheet.u = data[0];
    sheet.v = static_cast<uint8_t>(data[0] * 7);
    sheet.width = static_cast<int16_t>(data[1] + 1);
    sheet.page = 3;
    FONT font{};
    if (Gfx_ParseFont(data + 2, size - 2, &sheet, 0x7C00, &font) != 0)
        return 0;
    for (int g = 0; g < FONT_GLYPHS; ++g)
        if (font.size[g].width < 0 || font.size[g].width > 256)
            __builtin_trap();
    FONT *saved = g_pFont;
    g_pFont = &font;
    static char text[256];
    for (int i = 0; i < 255; ++i)
        text[i] = static_cast<char>(i + 1);
    Gfx_GetTextWidth(text);
    Gfx_GetTextWithIconsWidth(text);
    Gfx_DrawTextNow(text, 0, 0);
    g_pFont = saved;
    return 0;
}
