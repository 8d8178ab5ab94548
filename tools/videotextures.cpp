#include "tools/videogen.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace {

// Smooth value noise that tiles every period cells.
double Noise(double x, double y, int period, int seed)
{
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    auto v = [&](int i, int j) {
        return (Hash(((i % period) + period) % period, ((j % period) + period) % period, seed) & 0xFFFF) / 65535.0;
    };
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double a = v(x0, y0) + (v(x0 + 1, y0) - v(x0, y0)) * sx;
    const double b = v(x0, y0 + 1) + (v(x0 + 1, y0 + 1) - v(x0, y0 + 1)) * sx;
    return a + (b - a) * sy;
}

double Turbulence(double x, double y, int seed)
{
    double sum = 0, amp = 0.5;
    int period = 4;
    for (int o = 0; o < 4; o++) {
        sum += amp * Noise(x * period, y * period, period, seed + o);
        amp *= 0.5;
        period *= 2;
    }
    return sum;
}


// A picture of shades 0..1 drawn through a ramp of key colours into 255 palette entries (index 0
// is transparent, so no texel uses it).
struct PICTURE
{
    int width = 64, height = 64;
    std::vector<uint8_t> indices;
    std::vector<uint16_t> palette;
};

PICTURE Ramp(int w, int h, const std::vector<CONTENTRGB> &keys, const std::function<double(double, double)> &shade)
{
    PICTURE p;
    p.width = w;
    p.height = h;
    p.palette.assign(256, 0);
    for (int i = 1; i < 256; i++) {
        const double t = (i - 1) / 254.0 * (keys.size() - 1);
        const size_t k = std::min(keys.size() - 2, static_cast<size_t>(t));
        const CONTENTRGB c = Mix(keys[k], keys[k + 1], t - k);
        uint16_t colour = Content_Colour15(c.r, c.g, c.b);
        p.palette[i] = colour ? colour : 1; // colour 0 would be transparent too
    }
    p.indices.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            double s = shade((x + 0.5) / w, (y + 0.5) / h);
            s = s < 0 ? 0 : (s > 1 ? 1 : s);
            p.indices[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(1 + std::lround(s * 254));
        }
    }
    return p;
}

std::vector<uint8_t> Tim(const PICTURE &p)
{
    return Content_WriteTim8(p.width, p.height, p.indices, p.palette);
}


PICTURE Texture(TEXTUREKIND kind)
{
    auto frac = [](double v) { return v - std::floor(v); };
    switch (kind) {
    case TEX_CHECKER:
        return Ramp(64, 64, {Rgb(30, 40, 90), Rgb(240, 240, 255)}, [](double x, double y) {
            return ((static_cast<int>(x * 4) + static_cast<int>(y * 4)) & 1) ? 1.0 : 0.0;
        });
    case TEX_STRIPES:
        return Ramp(64, 64, {Rgb(200, 20, 60), Rgb(255, 240, 220)}, [&](double x, double y) {
            return 0.5 + 0.5 * std::sin(2 * kPi * 4 * (x + y)) > 0.5 ? 1.0 : 0.15;
        });
    case TEX_DOTS:
        return Ramp(64, 64, {Rgb(20, 60, 40), Rgb(255, 220, 60)}, [&](double x, double y) {
            const double dx = frac(x * 4) - 0.5, dy = frac(y * 4) - 0.5;
            return std::sqrt(dx * dx + dy * dy) < 0.3 ? 1.0 : 0.1;
        });
    case TEX_WAVES:
        return Ramp(64, 64, {Rgb(0, 40, 110), Rgb(0, 160, 220), Rgb(220, 255, 255)}, [&](double x, double y) {
            return 0.5 + 0.5 * std::sin(2 * kPi * (3 * y + 0.25 * std::sin(2 * kPi * 2 * x)));
        });
    case TEX_TARTAN:
        return Ramp(64, 64, {Rgb(20, 60, 30), Rgb(160, 20, 30), Rgb(240, 200, 60)}, [&](double x, double y) {
            auto band = [&](double t) {
                const double f = frac(t * 2);
                return f < 0.15 ? 1.0 : (f < 0.45 ? 0.5 : 0.0);
            };
            return (band(x) + band(y)) / 2;
        });
    case TEX_NEONGRID:
        return Ramp(64, 64, {Rgb(10, 0, 40), Rgb(120, 0, 160), Rgb(255, 120, 255)}, [&](double x, double y) {
            const double gx = std::fabs(frac(x * 2) - 0.5), gy = std::fabs(frac(y * 2) - 0.5);
            const double d = 0.5 - std::max(gx, gy);
            return d < 0.03 ? 1.0 : std::max(0.0, 0.5 - d * 4);
        });
    case TEX_MARBLE:
        return Ramp(64, 64, {Rgb(70, 70, 80), Rgb(230, 225, 220), Rgb(255, 255, 255)}, [&](double x, double y) {
            return 0.5 + 0.5 * std::sin(2 * kPi * (x + 2.5 * Turbulence(x, y, 3)));
        });
    case TEX_WOOD:
        return Ramp(64, 64, {Rgb(90, 45, 15), Rgb(190, 120, 60), Rgb(230, 170, 100)}, [&](double x, double y) {
            const double r = 6 * (std::fabs(x - 0.5) + 0.3 * Turbulence(x, y, 7));
            return frac(r + 0.2 * std::sin(2 * kPi * y)) * 0.8 + 0.2 * Noise(x * 16, y * 16, 16, 9);
        });
    case TEX_BRICKS:
        return Ramp(64, 64, {Rgb(200, 190, 170), Rgb(120, 40, 25), Rgb(190, 80, 50)}, [&](double x, double y) {
            const int row = static_cast<int>(y * 8);
            const double bx = frac(x * 4 + (row % 2) * 0.5), by = frac(y * 8);
            if (bx < 0.06 || by < 0.12)
                return 0.0;
            return 0.5 + 0.5 * Noise(x * 16, y * 16, 16, 11 + row);
        });
    case TEX_METAL:
        return Ramp(64, 64, {Rgb(60, 66, 75), Rgb(170, 180, 190), Rgb(240, 245, 250)}, [&](double x, double y) {
            const double px = frac(x * 2), py = frac(y * 2);
            const double rx = std::min(std::fabs(px - 0.12), std::fabs(px - 0.88));
            const double ry = std::min(std::fabs(py - 0.12), std::fabs(py - 0.88));
            if (rx < 0.05 && ry < 0.05)
                return 1.0; // rivets
            if (px < 0.03 || py < 0.03)
                return 0.05;
            return 0.35 + 0.3 * Noise(x * 64, y * 4, 64, 5);
        });
    case TEX_PLASMA:
        return Ramp(64, 64, {Rgb(40, 0, 120), Rgb(255, 0, 140), Rgb(255, 200, 0), Rgb(0, 220, 200)}, [&](double x, double y) {
            const double v = std::sin(2 * kPi * x) + std::sin(2 * kPi * (y + x)) + std::sin(2 * kPi * 2 * y);
            return (v + 3) / 6;
        });
    case TEX_RAINBOW: {
        PICTURE p = Ramp(64, 64, {Rgb(0, 0, 0), Rgb(255, 255, 255)}, [](double x, double) { return x; });
        for (int i = 1; i < 256; i++) {
            const CONTENTRGB c = Hsv((i - 1) / 255.0, 0.85, 1.0);
            p.palette[i] = Content_Colour15(c.r, c.g, c.b);
        }
        return p;
    }
    case TEX_SUNSET:
        return Ramp(64, 64, {Rgb(30, 10, 60), Rgb(200, 40, 90), Rgb(255, 150, 40), Rgb(255, 240, 150)},
                    [](double, double y) { return 1 - y; });
    case TEX_RINGS:
        return Ramp(64, 64, {Rgb(0, 30, 60), Rgb(0, 200, 160), Rgb(255, 255, 200)}, [&](double x, double y) {
            const double d = std::sqrt((x - 0.5) * (x - 0.5) + (y - 0.5) * (y - 0.5));
            return 0.5 + 0.5 * std::cos(2 * kPi * d * 6);
        });
    case TEX_SKY:
        return Ramp(64, 64, {Rgb(250, 200, 150), Rgb(120, 170, 240), Rgb(30, 60, 150), Rgb(10, 20, 60)},
                    [&](double x, double y) { return 1 - y + 0.08 * (Turbulence(x, y, 21) - 0.5); });
    case TEX_PANELS:
        return Ramp(64, 64, {Rgb(20, 30, 40), Rgb(60, 90, 110), Rgb(120, 230, 255)}, [&](double x, double y) {
            const double px = frac(x * 2), py = frac(y * 4);
            if (px < 0.04 || py < 0.08)
                return 0.0;
            if (py > 0.45 && py < 0.55 && px > 0.2 && px < 0.8)
                return 1.0; // a lit strip
            return 0.45 + 0.1 * Noise(x * 8, y * 8, 8, 31);
        });
    case TEX_LAVA:
        return Ramp(64, 64, {Rgb(40, 0, 0), Rgb(200, 30, 0), Rgb(255, 160, 0), Rgb(255, 255, 120)},
                    [&](double x, double y) { return std::pow(Turbulence(x, y, 41), 1.5) * 1.6; });
    case TEX_ICE:
    default:
        return Ramp(64, 64, {Rgb(200, 230, 255), Rgb(120, 180, 240), Rgb(255, 255, 255)},
                    [&](double x, double y) { return Turbulence(x * 1.0, y, 51) * 1.2; });
    }
}


// A user-image placeholder: 128 x 64, a framed card with the slot's number.
PICTURE Placeholder(int slot)
{
    PICTURE p;
    p.width = 128;
    p.height = 64;
    p.palette.assign(256, 0);
    const CONTENTRGB card = Hsv(slot / 16.0, 0.45, 0.55), frame = Hsv(slot / 16.0, 0.3, 0.9);
    p.palette[1] = Content_Colour15(card.r, card.g, card.b);
    p.palette[2] = Content_Colour15(frame.r, frame.g, frame.b);
    p.palette[3] = Content_Colour15(255, 255, 255);
    p.palette[4] = Content_Colour15(card.r / 2, card.g / 2, card.b / 2);
    p.indices.assign(static_cast<size_t>(p.width) * p.height, 1);
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++)
            if (x < 3 || y < 3 || x >= p.width - 3 || y >= p.height - 3)
                p.indices[static_cast<size_t>(y) * p.width + x] = 2;
    // The number, two pixels a font pixel, with a shadow.
    const std::string text = std::to_string(slot + 1);
    std::vector<GLYPH> glyphs;
    int total = 0;
    for (char c : text) {
        glyphs.push_back(Content_RenderGlyph(c, 22));
        total += glyphs.back().width * 2 + 4;
    }
    int x0 = (p.width - total) / 2;
    for (const GLYPH &g : glyphs) {
        const int y0 = 32 - g.top;
        for (int pass = 0; pass < 2; pass++) {
            const int off = pass == 0 ? 2 : 0;
            for (int y = 0; y < g.height * 2; y++)
                for (int x = 0; x < g.width * 2; x++) {
                    if (!g.on[static_cast<size_t>(y / 2) * g.width + x / 2])
                        continue;
                    const int px = x0 + x + off, py = y0 + y - 4 + off;
                    if (px >= 0 && py >= 0 && px < p.width && py < p.height)
                        p.indices[static_cast<size_t>(py) * p.width + px] = pass == 0 ? 4 : 3;
                }
        }
        x0 += g.width * 2 + 4;
    }
    return p;
}

// A soft sprite of 32 x 32 in 16 shades (index 0 transparent).
std::vector<uint8_t> Sprite(const std::function<double(double, double)> &shade, CONTENTRGB tint)
{
    std::vector<uint8_t> idx(32 * 32);
    std::vector<uint16_t> palette(16, 0);
    for (int i = 1; i < 16; i++)
        palette[i] = Content_Colour15(tint.r * i / 15, tint.g * i / 15, tint.b * i / 15) | 1;
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) {
            const double s = shade((x + 0.5) / 16 - 1, (y + 0.5) / 16 - 1);
            idx[static_cast<size_t>(y) * 32 + x] = static_cast<uint8_t>(std::lround(std::clamp(s, 0.0, 1.0) * 15));
        }
    return Content_WriteTim4(32, 32, idx, palette);
}


} // namespace

// Rasterises one character of DejaVu Sans Bold without smoothing, pixels pixels high.
GLYPH Content_RenderGlyph(char ch, int pixels)
{
    GLYPH g;
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&lib) != 0)
        return g;
    if (FT_New_Face(lib, "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", 0, &face) == 0 &&
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)) == 0 &&
        FT_Load_Char(face, static_cast<FT_ULong>(static_cast<unsigned char>(ch)), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
        const FT_Bitmap &b = face->glyph->bitmap;
        g.width = static_cast<int>(b.width);
        g.height = static_cast<int>(b.rows);
        g.top = face->glyph->bitmap_top;
        g.on.assign(static_cast<size_t>(g.width) * g.height, 0);
        for (int y = 0; y < g.height; y++)
            for (int x = 0; x < g.width; x++)
                g.on[static_cast<size_t>(y) * g.width + x] = (b.buffer[y * b.pitch + x / 8] >> (7 - x % 8)) & 1;
    }
    if (face)
        FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return g;
}


std::vector<uint8_t> Content_TextureTim(TEXTUREKIND kind)
{
    return Tim(Texture(kind));
}

std::vector<uint8_t> Content_PlaceholderTim(int slot)
{
    return Tim(Placeholder(slot));
}

std::vector<uint8_t> Content_SpriteTim(int which)
{
    switch (which) {
    case 0:
        return Sprite([](double x, double y) {
            const double d = std::sqrt(x * x + y * y);
            return std::pow(std::max(0.0, 1 - d), 1.6);
        }, Rgb(255, 255, 255));
    case 1:
        return Sprite([](double x, double y) {
            const double d = std::sqrt(x * x + y * y);
            const double rays = std::max(std::max(0.0, 1 - std::fabs(x) * 8) * (1 - std::fabs(y)),
                                         std::max(0.0, 1 - std::fabs(y) * 8) * (1 - std::fabs(x)));
            return std::max(rays, std::pow(std::max(0.0, 1 - d * 2.5), 1.2));
        }, Rgb(255, 250, 220));
    default:
        return Sprite([](double x, double y) {
            const double d = std::sqrt(x * x + y * y);
            return std::max(0.0, 1 - std::fabs(d - 0.65) * 6);
        }, Rgb(220, 240, 255));
    }
}
