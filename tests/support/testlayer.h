// A 640 x 480 2D layer for rasteriser tests, with guard memory around the frame (rows 480..639 of
// the row table point into it), plus golden-picture checks: a hash of the frame compared with a
// stored value, and a PNG of the frame written on a mismatch so a person can look.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

// Allocates (once) and clears the layer, points g_pLayerFrame and g_apLayerRows at it, sets the
// pixel format and resets the draw state; no CLUT source.
void TestLayer_SetUp(int pixelFormat);
// True while nothing was written outside the 640 x 480 frame since the set-up.
bool TestLayer_GuardsIntact();
void TestLayer_Fill(uint16_t pixel);
uint16_t TestLayer_Pixel(int x, int y);
// FNV-1a 64 of the frame's 614400 bytes (little-endian pixels).
uint64_t TestLayer_Hash();
// Writes the frame as an 8-bit RGB PNG (the pixel format decides the expansion); false on failure.
bool TestLayer_WritePng(const std::string &path);
// Compares the frame with a stored hash; on a mismatch writes golden_out/<name>.png under the
// working directory and says where. TNV_GOLDEN_DUMP=1 writes the PNG every time.
::testing::AssertionResult TestLayer_MatchesGolden(const std::string &name, uint64_t expected);

// A 256 x 256 texel page (rows of 1024 bytes: colour, colour, mask, mask per pair).
struct TestTexels
{
    uint16_t words[256 * 512];
    void Set(int u, int v, uint16_t colour, uint16_t mask)
    {
        uint16_t *p = words + v * 512 + (u >> 1) * 4 + (u & 1);
        p[0] = colour;
        p[2] = mask;
    }
    uint16_t Colour(int u, int v) const { return words[v * 512 + (u >> 1) * 4 + (u & 1)]; }
    uint16_t Mask(int u, int v) const { return words[v * 512 + (u >> 1) * 4 + 2 + (u & 1)]; }
};

// The picture page of the golden fixtures, in the current pixel format: a colour gradient with
// transparent squares, and rows 200..211 of white glyph strokes on transparency.
void TestTexels_FillFixture(TestTexels &t);
