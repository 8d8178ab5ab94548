// Small BMP files for tests, with every header field under the test's control.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

struct BMPFIXTURE
{
    int32_t width = 1;
    int32_t height = 1; // negative: top-down
    uint16_t bitCount = 8;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    uint32_t infoSize = 40;
    // Colour table entries written (blue, green, red, 0 each), from colour(i) as 0xRRGGBB.
    int32_t tableEntries = 0;
    std::function<uint32_t(int32_t)> colour = [](int32_t i) { return static_cast<uint32_t>(i * 0x010101); };
    // Pixel value at column x of stored row r: an index, 0xRRGGBB for 24/32 bits, 5:5:5 for 16.
    std::function<uint32_t(int32_t, int32_t)> pixel = [](int32_t, int32_t) { return 0u; };
    uint8_t padding = 0xEE; // row padding bytes, so a reader that drifts into them shows it
};

inline void BmpPut16(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline void BmpPut32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    BmpPut16(b, at, v & 0xFFFF);
    BmpPut16(b, at + 2, v >> 16);
}

inline std::vector<uint8_t> MakeBmp(const BMPFIXTURE &f)
{
    const int32_t rows = f.height < 0 ? -f.height : f.height;
    const uint32_t stride = (static_cast<uint32_t>(f.width) * f.bitCount + 31) / 32 * 4;
    const uint32_t offBits = 14 + f.infoSize + 4 * static_cast<uint32_t>(f.tableEntries);
    std::vector<uint8_t> b(offBits + static_cast<size_t>(stride) * rows, 0);
    b[0] = 'B';
    b[1] = 'M';
    BmpPut32(b, 2, static_cast<uint32_t>(b.size()));
    BmpPut32(b, 10, offBits);
    BmpPut32(b, 14, f.infoSize);
    BmpPut32(b, 18, static_cast<uint32_t>(f.width));
    BmpPut32(b, 22, static_cast<uint32_t>(f.height));
    BmpPut16(b, 26, 1);
    BmpPut16(b, 28, f.bitCount);
    BmpPut32(b, 30, f.compression);
    BmpPut32(b, 46, f.clrUsed);
    for (int32_t i = 0; i < f.tableEntries; i++) {
        const uint32_t c = f.colour(i);
        BmpPut32(b, 14 + f.infoSize + 4 * i, c & 0xFFFFFF); // stored as blue, green, red, 0
    }
    for (int32_t r = 0; r < rows; r++) {
        uint8_t *row = &b[offBits + static_cast<size_t>(r) * stride];
        for (uint32_t i = 0; i < stride; i++)
            row[i] = f.padding;
        const uint32_t used = (static_cast<uint32_t>(f.width) * f.bitCount + 7) / 8;
        for (uint32_t i = 0; i < used; i++)
            row[i] = 0;
        for (int32_t x = 0; x < f.width; x++) {
            const uint32_t v = f.pixel(x, r);
            switch (f.bitCount) {
            case 1:
                row[x / 8] |= static_cast<uint8_t>((v & 1) << (7 - x % 8));
                break;
            case 4:
                row[x / 2] |= static_cast<uint8_t>((v & 15) << (x % 2 ? 0 : 4));
                break;
            case 8:
                row[x] = static_cast<uint8_t>(v);
                break;
            case 16:
                row[2 * x] = static_cast<uint8_t>(v);
                row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
                break;
            default: {
                uint8_t *p = row + x * (f.bitCount / 8);
                p[0] = static_cast<uint8_t>(v);
                p[1] = static_cast<uint8_t>(v >> 8);
                p[2] = static_cast<uint8_t>(v >> 16);
                break;
            }
            }
        }
    }
    return b;
}
