#include "tools/videocontent.h"

#include <cmath>
#include <cstring>
#include <string>

namespace {

uint32_t FourCC(const char *s)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

void Put16(std::vector<uint8_t> &out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t> &out, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Patch32(std::vector<uint8_t> &out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Starts a chunk (or a list with its type); returns where its size goes.
size_t Begin(std::vector<uint8_t> &out, const char *id, const char *listType = nullptr)
{
    Put32(out, FourCC(id));
    const size_t at = out.size();
    Put32(out, 0);
    if (listType)
        Put32(out, FourCC(listType));
    return at;
}

void End(std::vector<uint8_t> &out, size_t at)
{
    Patch32(out, at, static_cast<uint32_t>(out.size() - at - 4));
    if (out.size() & 1)
        out.push_back(0);
}

// Colours of the clip: a 6 x 6 x 6 cube, then 40 greys.
uint8_t Cube(int r, int g, int b)
{
    return static_cast<uint8_t>(r * 36 + g * 6 + b);
}

} // namespace

std::vector<uint8_t> Content_EncodeRle8(const std::vector<uint8_t> &indices, int32_t width, int32_t height)
{
    std::vector<uint8_t> out;
    for (int32_t y = height - 1; y >= 0; y--) {
        const uint8_t *row = indices.data() + static_cast<size_t>(y) * width;
        for (int32_t x = 0; x < width;) {
            int32_t run = 1;
            while (x + run < width && run < 255 && row[x + run] == row[x])
                run++;
            out.push_back(static_cast<uint8_t>(run));
            out.push_back(row[x]);
            x += run;
        }
        out.push_back(0);
        out.push_back(y > 0 ? 0 : 1);
    }
    return out;
}

std::vector<uint8_t> Content_EncodeAvi(const CONTENTVIDEO &v)
{
    const uint32_t count = static_cast<uint32_t>(v.frames.size());
    const uint32_t length = v.length ? v.length : count;
    size_t largest = 0;
    for (const auto &f : v.frames)
        largest = std::max(largest, f.size());
    const bool coded = v.compression != 0;
    const char *chunkId = coded ? "00dc" : "00db";

    std::vector<uint8_t> out;
    const size_t riff = Begin(out, "RIFF", "AVI ");
    const size_t hdrl = Begin(out, "LIST", "hdrl");
    const size_t avih = Begin(out, "avih");
    Put32(out, v.rate ? static_cast<uint32_t>(1000000.0 * v.scale / v.rate) : 0);
    Put32(out, static_cast<uint32_t>(largest * (v.scale ? v.rate / v.scale : 0)));
    Put32(out, 0);
    Put32(out, v.index ? 0x10 : 0); // has an index
    Put32(out, length);
    Put32(out, 0);
    Put32(out, 1);
    Put32(out, static_cast<uint32_t>(largest));
    Put32(out, static_cast<uint32_t>(v.width));
    Put32(out, static_cast<uint32_t>(v.height));
    for (int i = 0; i < 4; i++)
        Put32(out, 0);
    End(out, avih);
    const size_t strl = Begin(out, "LIST", "strl");
    const size_t strh = Begin(out, "strh");
    Put32(out, FourCC("vids"));
    Put32(out, v.handler);
    Put32(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, 0);
    Put32(out, v.scale);
    Put32(out, v.rate);
    Put32(out, 0);
    Put32(out, length);
    Put32(out, static_cast<uint32_t>(largest));
    Put32(out, 0xFFFFFFFFu);
    Put32(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint32_t>(v.width));
    Put16(out, static_cast<uint32_t>(v.height));
    End(out, strh);
    const size_t strf = Begin(out, "strf");
    const uint32_t colours = v.bitCount == 8 ? static_cast<uint32_t>(v.palette.size()) : 0;
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(v.width));
    Put32(out, static_cast<uint32_t>(v.topDown ? -v.height : v.height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(v.bitCount));
    Put32(out, v.compression);
    Put32(out, static_cast<uint32_t>(largest));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, colours);
    Put32(out, 0);
    for (uint32_t i = 0; i < colours; i++)
        Put32(out, v.palette[i] & 0xFFFFFF); // blue, green, red, 0
    End(out, strf);
    const size_t strn = Begin(out, "strn");
    const char name[] = "Tonnivelle clip";
    out.insert(out.end(), name, name + sizeof name);
    End(out, strn);
    End(out, strl);
    End(out, hdrl);

    const size_t movi = Begin(out, "LIST", "movi");
    const size_t moviType = movi + 4;
    std::vector<uint32_t> offsets;
    for (const auto &f : v.frames) {
        offsets.push_back(static_cast<uint32_t>(out.size() - (v.indexFromFileStart ? 0 : moviType)));
        const size_t c = Begin(out, chunkId);
        out.insert(out.end(), f.begin(), f.end());
        End(out, c);
    }
    End(out, movi);
    if (v.index) {
        const size_t idx = Begin(out, "idx1");
        for (uint32_t i = 0; i < count; i++) {
            Put32(out, FourCC(chunkId));
            Put32(out, 0x10); // key frame
            Put32(out, offsets[i]);
            Put32(out, static_cast<uint32_t>(v.frames[i].size()));
        }
        End(out, idx);
    }
    End(out, riff);
    return out;
}

std::vector<uint32_t> Content_VideoPalette()
{
    std::vector<uint32_t> p(256);
    for (int i = 0; i < 216; i++) {
        const uint32_t r = (i / 36) * 51, g = ((i / 6) % 6) * 51, b = (i % 6) * 51;
        p[static_cast<size_t>(i)] = r << 16 | g << 8 | b;
    }
    for (int i = 216; i < 256; i++) {
        const uint32_t l = static_cast<uint32_t>((i - 216) * 255 / 39);
        p[static_cast<size_t>(i)] = l << 16 | l << 8 | l;
    }
    return p;
}

// A dusk sky that slowly brightens, a ball circling over it, a floor of stripes that scroll, and a
// bar along the bottom that grows with the clip's progress.
std::vector<uint8_t> Content_DrawVideoFrame(int32_t n)
{
    const int32_t w = CONTENT_VIDEO_WIDTH, h = CONTENT_VIDEO_HEIGHT;
    std::vector<uint8_t> px(static_cast<size_t>(w) * h);
    const double t = static_cast<double>(n) / CONTENT_VIDEO_FRAMES;
    const double angle = 2.0 * M_PI * n / 50.0;
    const int32_t cx = w / 2 + static_cast<int32_t>(std::lround(50 * std::cos(angle)));
    const int32_t cy = 45 + static_cast<int32_t>(std::lround(25 * std::sin(angle)));
    for (int32_t y = 0; y < h; y++) {
        for (int32_t x = 0; x < w; x++) {
            uint8_t c;
            if (y >= h - 6) {
                c = x < (w * (n + 1)) / CONTENT_VIDEO_FRAMES ? Cube(5, 5, 0) : 216 + 8;
            } else if (y >= 84) {
                c = ((x + 2 * n + (y - 84) * 2) / 10) % 2 ? Cube(0, 2, 1) : Cube(0, 3, 1);
            } else {
                const int band = std::min(5, static_cast<int>((y * 4) / 84 + t * 2));
                c = Cube(band / 3, band / 2, 2 + band / 2 > 5 ? 5 : 2 + band / 2);
                const int32_t dx = x - cx, dy = y - cy;
                const int32_t d2 = dx * dx + dy * dy;
                if (d2 <= 14 * 14)
                    c = d2 <= 5 * 5 && dx < 0 && dy < 0 ? Cube(5, 5, 4) : Cube(5, 2 + (n / 10) % 3, 0);
            }
            px[static_cast<size_t>(y) * w + x] = c;
        }
    }
    return px;
}

std::vector<CONTENTFILE> Content_VideoFiles()
{
    CONTENTVIDEO v;
    v.width = CONTENT_VIDEO_WIDTH;
    v.height = CONTENT_VIDEO_HEIGHT;
    v.bitCount = 8;
    v.compression = 1;
    v.rate = CONTENT_VIDEO_RATE;
    v.palette = Content_VideoPalette();
    for (int32_t n = 0; n < CONTENT_VIDEO_FRAMES; n++)
        v.frames.push_back(Content_EncodeRle8(Content_DrawVideoFrame(n), v.width, v.height));
    CONTENTFILE f;
    f.path = CONTENT_VIDEO_PATH;
    f.data = Content_EncodeAvi(v);
    return {f};
}
