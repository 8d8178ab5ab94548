#include "support/testlayer.h"

#include "render/gpustate.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

constexpr uint16_t GUARD = 0xA5A5;
constexpr size_t GUARD_BEFORE = 16 * LAYER_WIDTH;
// Rows 480..639 of the row table, and some slack after them.
constexpr size_t GUARD_AFTER = (LAYER_ROW_TABLE_SIZE - LAYER_HEIGHT + 16) * LAYER_WIDTH;
constexpr size_t FRAME_PIXELS = size_t(LAYER_WIDTH) * LAYER_HEIGHT;

std::vector<uint16_t> &Block()
{
    static std::vector<uint16_t> block(GUARD_BEFORE + FRAME_PIXELS + GUARD_AFTER);
    return block;
}

void Expand(uint16_t p, uint8_t *rgb)
{
    uint32_t r, g, b;
    if (g_iPixelFormat == PIXELFORMAT_555) {
        r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
        rgb[1] = uint8_t((g << 3) | (g >> 2));
    } else {
        r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
        rgb[1] = uint8_t((g << 2) | (g >> 4));
    }
    rgb[0] = uint8_t((r << 3) | (r >> 2));
    rgb[2] = uint8_t((b << 3) | (b >> 2));
}

} // namespace

void TestLayer_SetUp(int pixelFormat)
{
    std::vector<uint16_t> &block = Block();
    std::fill(block.begin(), block.end(), GUARD);
    g_pLayerFrame = block.data() + GUARD_BEFORE;
    std::fill(g_pLayerFrame, g_pLayerFrame + FRAME_PIXELS, uint16_t(0));
    for (int r = 0; r < LAYER_ROW_TABLE_SIZE; ++r)
        g_apLayerRows[r] = g_pLayerFrame + r * LAYER_WIDTH;
    g_iPixelFormat = pixelFormat;
    Gfx_ResetDrawState();
    g_pClutSource = nullptr;
}

bool TestLayer_GuardsIntact()
{
    const std::vector<uint16_t> &block = Block();
    for (size_t i = 0; i < GUARD_BEFORE; ++i)
        if (block[i] != GUARD)
            return false;
    for (size_t i = GUARD_BEFORE + FRAME_PIXELS; i < block.size(); ++i)
        if (block[i] != GUARD)
            return false;
    return true;
}

void TestLayer_Fill(uint16_t pixel)
{
    std::fill(g_pLayerFrame, g_pLayerFrame + FRAME_PIXELS, pixel);
}

uint16_t TestLayer_Pixel(int x, int y)
{
    return g_pLayerFrame[y * LAYER_WIDTH + x];
}

uint64_t TestLayer_Hash()
{
    uint64_t h = 0xCBF29CE484222325ull;
    for (size_t i = 0; i < FRAME_PIXELS; ++i) {
        const uint16_t p = g_pLayerFrame[i];
        for (uint8_t byte : {uint8_t(p & 0xFF), uint8_t(p >> 8)}) {
            h ^= byte;
            h *= 0x100000001B3ull;
        }
    }
    return h;
}

bool TestLayer_WritePng(const std::string &path)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<uint8_t> line(LAYER_WIDTH * 3);
    volatile bool ok = false;
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, f);
        png_set_IHDR(png, info, LAYER_WIDTH, LAYER_HEIGHT, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < LAYER_HEIGHT; ++y) {
            for (int x = 0; x < LAYER_WIDTH; ++x)
                Expand(TestLayer_Pixel(x, y), &line[x * 3]);
            png_write_row(png, line.data());
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0 && ok;
}

::testing::AssertionResult TestLayer_MatchesGolden(const std::string &name, uint64_t expected)
{
    const uint64_t actual = TestLayer_Hash();
    const char *dump = std::getenv("TNV_GOLDEN_DUMP");
    const bool always = dump && *dump && *dump != '0';
    std::string png;
    if (actual != expected || always) {
        std::error_code ec;
        std::filesystem::create_directories("golden_out", ec);
        png = (std::filesystem::current_path(ec) / "golden_out" / (name + ".png")).string();
        if (!TestLayer_WritePng(png))
            png = "(could not write " + png + ")";
    }
    if (actual == expected)
        return ::testing::AssertionSuccess();
    char text[64];
    std::snprintf(text, sizeof text, "0x%016llX", static_cast<unsigned long long>(actual));
    return ::testing::AssertionFailure() << "layer " << name << " hashes to " << text << ", picture in " << png;
}

void TestTexels_FillFixture(TestTexels &t)
{
    for (int v = 0; v < 256; ++v)
        for (int u = 0; u < 256; ++u) {
            uint16_t colour = Gfx_PackFillColour(uint8_t(u), uint8_t(v), uint8_t((u ^ v) * 2));
            uint16_t mask = ((u / 8 + v / 8) % 5 == 0) ? 0xFFFF : 0;
            if (v >= 200 && v < 212) {
                colour = Gfx_PackFillColour(255, 255, 255);
                mask = ((u * 3 + v * 5) % 7 < 3) ? 0 : 0xFFFF;
            }
            t.Set(u, v, colour, mask);
        }
}
