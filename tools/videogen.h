// Shared pieces of the video resource generators (tools/videomodels.cpp, videotextures.cpp,
// videoresources.cpp): vectors and colours, the model catalogue, textures and glyphs.
#pragma once

#include "tools/reswriters.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr double kPi = 3.14159265358979323846;

struct V3
{
    double x, y, z;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 Unit(V3 a)
{
    const double l = std::sqrt(Dot(a, a));
    return l > 0 ? a * (1.0 / l) : V3{0, -1, 0};
}

inline CONTENTRGB Rgb(int r, int g, int b)
{
    auto c = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
    return {c(r), c(g), c(b)};
}
inline CONTENTRGB Mix(CONTENTRGB a, CONTENTRGB b, double t)
{
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return Rgb(static_cast<int>(a.r + (b.r - a.r) * t), static_cast<int>(a.g + (b.g - a.g) * t),
               static_cast<int>(a.b + (b.b - a.b) * t));
}
// Hue 0..1, saturation and value 0..1.
inline CONTENTRGB Hsv(double h, double s, double v)
{
    h = h - std::floor(h);
    const double c = v * s, x = c * (1 - std::fabs(std::fmod(h * 6, 2) - 1)), m = v - c;
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(h * 6) % 6) {
    case 0: r = c, g = x; break;
    case 1: r = x, g = c; break;
    case 2: g = c, b = x; break;
    case 3: g = x, b = c; break;
    case 4: r = x, b = c; break;
    default: r = c, b = x; break;
    }
    return Rgb(static_cast<int>((r + m) * 255), static_cast<int>((g + m) * 255), static_cast<int>((b + m) * 255));
}

inline uint32_t Hash(int x, int y, int seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

// ---- Models (tools/videomodels.cpp) ----

struct MODELENTRY
{
    const char *name;
    const char *shown;
    std::function<CONTENTMODEL()> make;
};

struct MODELFAMILY
{
    const char *title;
    std::vector<MODELENTRY> models;
};

// The model families of "/B/B" in folder order.
std::vector<MODELFAMILY> Content_ModelFamilies();
// Backgrounds: a sky dome (texture 0), a starry sphere, a room or open tunnel (walls textured
// with texture), a floor (textured with texture 0, or checked).
CONTENTMODEL Content_Dome();
CONTENTMODEL Content_StarSphere();
CONTENTMODEL Content_Room(double w, double h, double len, int texture, bool open);
CONTENTMODEL Content_Floor(bool textured);
// A letter of blocks: x from 0, the baseline at y 0, ink above it at negative y (models are
// y-down).
CONTENTMODEL Content_LetterModel(char ch);

// ---- Pictures (tools/videotextures.cpp) ----

enum TEXTUREKIND
{
    TEX_CHECKER,
    TEX_STRIPES,
    TEX_DOTS,
    TEX_WAVES,
    TEX_TARTAN,
    TEX_NEONGRID,
    TEX_MARBLE,
    TEX_WOOD,
    TEX_BRICKS,
    TEX_METAL,
    TEX_PLASMA,
    TEX_RAINBOW,
    TEX_SUNSET,
    TEX_RINGS,
    TEX_SKY,
    TEX_PANELS,
    TEX_LAVA,
    TEX_ICE,
};

// A 64 x 64 8-bit TIM of the pattern.
std::vector<uint8_t> Content_TextureTim(TEXTUREKIND kind);
// The user-image place of slot 0..15: 128 x 64, a card with its number.
std::vector<uint8_t> Content_PlaceholderTim(int slot);
// Particle sprites, 32 x 32 4-bit: 0 soft glow, 1 sparkle, 2 ringlet.
std::vector<uint8_t> Content_SpriteTim(int which);

struct GLYPH
{
    int width = 0, height = 0; // cells
    int top = 0;               // rows above the baseline
    std::vector<uint8_t> on;   // width x height
};
// One character of DejaVu Sans Bold, pixels high, without smoothing.
GLYPH Content_RenderGlyph(char ch, int pixels);
