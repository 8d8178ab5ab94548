#include "core/savetitle.h"
#include "core/console_memory.h"
#include "render/ordertable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
// The two bytes a code is stored as, high byte first.
std::pair<int, int> StoredBytes(uint16_t storedOrder)
{
    return {storedOrder & 0xFF, storedOrder >> 8};
}

uint16_t Stored(uint16_t numeric)
{
    return static_cast<uint16_t>((numeric >> 8) | (numeric << 8));
}
} // namespace

TEST(SaveTitle, AsciiToCodeGoldenTable)
{
    struct Case
    {
        int ch;
        uint16_t code; // numeric; 0 = no code
    };
    const Case cases[] = {
        {'A', 0x8260}, {'Z', 0x8279}, {'a', 0x8281}, {'z', 0x829A}, {'0', 0x824F}, {'9', 0x8258},
        {' ', 0x8140}, {'!', 0x8149}, {'"', 0x8168}, {'#', 0x8194}, {'$', 0x8190}, {'%', 0x8193},
        {'&', 0x8195}, {'\'', 0x8166}, {'(', 0x8169}, {')', 0x816A}, {'*', 0x8196}, {'+', 0x817B},
        {',', 0x8143}, {'-', 0x817C}, {'.', 0x8144}, {'/', 0x815E}, {':', 0x8146}, {';', 0x8147},
        {'<', 0x8171}, {'=', 0x8181}, {'>', 0x8172}, {'?', 0x8148}, {'@', 0x8197}, {'[', 0x816D},
        {'\\', 0x818F}, {']', 0x816E}, {'^', 0x814F}, {'_', 0x8151}, {'`', 0x8165}, {'{', 0x816F},
        {'|', 0x8162}, {'}', 0x8170}, {'~', 0x8150},
        // Outside 32-126: no code, which ends a title.
        {0, 0}, {9, 0}, {31, 0}, {127, 0}, {128, 0}, {0xE9, 0}, {255, 0}, {-1, 0}, {0x141, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.ch);
        EXPECT_EQ(Sys_AsciiToTitleCode(c.ch), Stored(c.code));
    }
    // Stored order: 'A' is the bytes 0x82, 0x60.
    EXPECT_EQ(StoredBytes(Sys_AsciiToTitleCode('A')), std::make_pair(0x82, 0x60));
}

TEST(SaveTitle, EveryPrintableCharacterComesBackOrAsItsStandIn)
{
    const std::string replaced = "<[{>]}^|_~";
    const std::string becomes = "((()))  -";
    for (int ch = 32; ch <= 126; ch++) {
        SCOPED_TRACE(ch);
        int expected = ch;
        size_t at = replaced.find(static_cast<char>(ch));
        if (at != std::string::npos)
            expected = at < becomes.size() ? becomes[at] : 0; // '~' has no way back
        EXPECT_EQ(Sys_TitleCodeToAscii(Sys_AsciiToTitleCode(ch)), expected);
    }
}

TEST(SaveTitle, CodesOutsideTheTablesGiveNothing)
{
    const uint16_t numeric[] = {0x0000, 0x8150, 0x824E, 0x8259, 0x825F, 0x827A, 0x8280, 0x829B,
                                0x889F, 0x8141, 0xFFFF, 0x4100};
    for (uint16_t n : numeric) {
        SCOPED_TRACE(n);
        EXPECT_EQ(Sys_TitleCodeToAscii(Stored(n)), 0);
    }
    // A code in numeric order (not swapped) is not recognised.
    EXPECT_EQ(Sys_TitleCodeToAscii(0x8260), 0);
}

TEST(SaveTitle, CopySwapsAndZeroFillsAfterTheFirstZero)
{
    const uint16_t src[6] = {0x6082, 0x6182, 0x0000, 0x6282, 0x6382, 0x1234};
    uint16_t dst[6];
    std::memset(dst, 0xAB, sizeof dst);
    Sys_CopyTitleCodes(dst, src, 6);
    const uint16_t expected[6] = {0x8260, 0x8261, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(dst, expected, sizeof dst));

    // n limits the copy; nothing past it is touched.
    std::memset(dst, 0xAB, sizeof dst);
    Sys_CopyTitleCodes(dst, src, 1);
    EXPECT_EQ(dst[0], 0x8260);
    EXPECT_EQ(dst[1], 0xABAB);
    Sys_CopyTitleCodes(dst, src, 0);
    EXPECT_EQ(dst[0], 0x8260);
}

TEST(SaveTitle, GlyphRowsBecomeNibblesLowBitsFirst)
{
    uint16_t glyph[16] = {};
    glyph[0] = 0x0080; // bit 7: the first pixel
    glyph[1] = 0x0100; // bit 8: the last pixel
    glyph[2] = 0xAAAA; // checkerboard
    glyph[3] = 0x5555;
    glyph[4] = 0x0001; // bit 0: pixel 7
    glyph[15] = 0xFFFF;
    uint8_t out[TITLE_GLYPH_BYTES];
    std::memset(out, 0xEE, sizeof out);
    Sys_GlyphTo4Bit(out, glyph);
    const uint8_t rows[6][8] = {
        {0x01, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0x10},
        {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01},
        {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10},
        {0, 0, 0, 0x10, 0, 0, 0, 0},
        {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11},
    };
    const int rowOf[6] = {0, 1, 2, 3, 4, 15};
    for (int i = 0; i < 6; i++) {
        SCOPED_TRACE(rowOf[i]);
        EXPECT_EQ(0, std::memcmp(out + rowOf[i] * 8, rows[i], 8));
    }
    for (int r = 5; r < 15; r++)
        for (int b = 0; b < 8; b++)
            EXPECT_EQ(out[r * 8 + b], 0);
}

TEST(SaveTitle, GlyphQuadIsLinkedIntoItsEntry)
{
    Sys_TitleFontSetup();
    EXPECT_EQ(g_bTitleFontReady, 1);
    const uint32_t entry = CONSOLE_PACKET_BUFFER_ADDR;
    const uint32_t packet = CONSOLE_PACKET_BUFFER_ADDR + 64;
    ASSERT_EQ(Sys_ArenaWriteWord(entry, CONSOLE_LINK_END), 0);
    ASSERT_EQ(Sys_DrawGlyphQuad(entry, packet, 100, 50, 16, 32, 16, 16, 0), 0);
    EXPECT_EQ(Sys_ArenaReadWord(entry), packet);
    PACKET_TEXTURED_QUAD_T q;
    std::memcpy(&q, Sys_ArenaPtr(packet, sizeof q), sizeof q);
    EXPECT_EQ(q.head.link, CONSOLE_LINK_END);
    EXPECT_EQ(q.head.code, PACKET_TEXTURED_QUAD);
    EXPECT_EQ(q.head.length, 10u);
    const int16_t xy[8] = {q.x0, q.y0, q.x1, q.y1, q.x2, q.y2, q.x3, q.y3};
    const int16_t expectXy[8] = {100, 50, 116, 50, 100, 66, 116, 66};
    EXPECT_EQ(0, std::memcmp(xy, expectXy, sizeof xy));
    EXPECT_EQ(q.u0, 16);
    EXPECT_EQ(q.u1, 32);
    EXPECT_EQ(q.v0, 32);
    EXPECT_EQ(q.v3, 48);
    EXPECT_EQ(q.page, g_uTitleTexturePage);
    EXPECT_EQ(q.clut, g_uTitleClut);

    // Small glyphs take an 8x8 source.
    ASSERT_EQ(Sys_DrawGlyphQuad(entry, packet + 64, 0, 0, 8, 8, 8, 8, 1), 0);
    std::memcpy(&q, Sys_ArenaPtr(packet + 64, sizeof q), sizeof q);
    EXPECT_EQ(q.u3, 16);
    EXPECT_EQ(q.head.link, packet);

    // Addresses outside the arena link nothing.
    EXPECT_EQ(Sys_DrawGlyphQuad(entry, 0, 0, 0, 0, 0, 16, 16, 0), -1);
    EXPECT_EQ(Sys_DrawGlyphQuad(0xFFFFFF00u, packet, 0, 0, 0, 0, 16, 16, 0), -1);
    EXPECT_EQ(Sys_ArenaReadWord(entry), packet + 64);
}

TEST(SaveTitle, DrawingGlyphsRemembersAtMost32Codes)
{
    Sys_TitleFontSetup();
    uint16_t codes[40];
    for (int i = 0; i < 40; i++)
        codes[i] = Sys_AsciiToTitleCode('A' + i % 26);
    Sys_DrawTitleGlyphs(codes, 40);
    EXPECT_EQ(0, std::memcmp(g_auTitleCodes, codes, sizeof g_auTitleCodes));
    Sys_TitleFontSetup();
    EXPECT_EQ(g_auTitleCodes[0], 0);
}
