#include "render/fonts.h"
#include "tools/fontcontent.h"

#include <gtest/gtest.h>

// Every rendered font reads back through the studio's font reader, with the widths of the cells
// the builder drew: the glyphs '!'..'~' all have ink, and the blank is as wide as 'c'.
TEST(FontContent, RenderedFontsReadBackWithTheirCells)
{
    for (const CONTENTFONT &f : g_atContentFonts) {
        SCOPED_TRACE(f.name);
        FONTSHEET sheet;
        std::string err;
        ASSERT_TRUE(Content_RenderFontSheet(f, sheet, err)) << err;
        ASSERT_EQ(sheet.file.size(), size_t(FONT_HEADER_BYTES + sheet.rows * sheet.width / 2));
        ASSERT_LE(sheet.rows, 256);

        IMAGEREC image{};
        image.width = int16_t(sheet.width);
        FONT font{};
        ASSERT_EQ(Gfx_ParseFont(sheet.file.data(), sheet.file.size(), &image, 0x1234, &font), 0);
        EXPECT_EQ(font.size[0].height, sheet.height);
        EXPECT_GE(sheet.height, f.pixels);
        for (int g = 0; g < 94; ++g) {
            const FONTSOURCE s = font.source[g];
            int ink = 0;
            for (int r = 0; r < sheet.height; ++r)
                for (int i = 0; i < font.size[g].width; ++i) {
                    const uint8_t t = sheet.texels[size_t((s.v + r) * sheet.width + s.u + i)];
                    ASSERT_NE(t, 15) << "glyph " << g << " runs into an edge";
                    ink += t != 0;
                }
            EXPECT_GT(ink, 0) << "glyph " << g;
            EXPECT_EQ(sheet.texels[size_t(s.v * sheet.width + s.u + font.size[g].width)], 15) << g;
        }
        // Accented letters have ink too; 'W' is wider than 'i'.
        EXPECT_GT(font.size[97].width, 1);
        EXPECT_GT(font.size['W' - 33].width, font.size['i' - 33].width);
    }
    std::string err;
    EXPECT_EQ(Content_FontFiles(err).size(), 5u) << err;
}

TEST(FontContent, MissingFaceIsReported)
{
    FONTSHEET sheet;
    std::string err;
    EXPECT_FALSE(Content_RenderFontSheet({"x", "NoSuchFace.ttf", 10}, sheet, err));
    EXPECT_NE(err.find("NoSuchFace.ttf"), std::string::npos);
}
