#include "tools/imagecontent.h"

#include <algorithm>
#include <cmath>

namespace {

struct STROKE
{
    float x0, y0, x1, y1;
};

// Letters on a grid 6 units wide and 8 high (y down), built from round-capped strokes. The O is
// a ring around a short upright segment, so it has straight sides like the rest.
struct LETTER
{
    char c;
    float width;
    std::vector<STROKE> strokes;
};

const std::vector<LETTER> &Letters()
{
    static const std::vector<LETTER> letters = {
        {'T', 6, {{0, 0, 6, 0}, {3, 0, 3, 8}}},
        {'O', 6, {}},
        {'N', 6, {{0, 0, 0, 8}, {0, 0, 6, 8}, {6, 0, 6, 8}}},
        {'I', 0, {{0, 0, 0, 8}}},
        {'V', 6, {{0, 0, 3, 8}, {3, 8, 6, 0}}},
        {'E', 6, {{0, 0, 0, 8}, {0, 0, 6, 0}, {0, 4, 4.5f, 4}, {0, 8, 6, 8}}},
        {'L', 6, {{0, 0, 0, 8}, {0, 8, 6, 8}}},
    };
    return letters;
}

float SegmentDistance(float px, float py, const STROKE &s)
{
    const float dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    const float len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? ((px - s.x0) * dx + (py - s.y0) * dy) / len2 : 0;
    t = std::clamp(t, 0.0f, 1.0f);
    const float ex = px - (s.x0 + t * dx), ey = py - (s.y0 + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

constexpr float kStrokeRadius = 0.75f;
constexpr float kLetterGap = 3.0f;

// Whether a point (in letter units, relative to the letter's top-left) lies on the letter.
bool OnLetter(const LETTER &l, float x, float y)
{
    if (l.c == 'O')
        return std::fabs(SegmentDistance(x, y, {3, 3, 3, 5}) - 3) <= kStrokeRadius;
    for (const STROKE &s : l.strokes)
        if (SegmentDistance(x, y, s) <= kStrokeRadius)
            return true;
    return false;
}

const LETTER *Find(char c)
{
    for (const LETTER &l : Letters())
        if (l.c == c)
            return &l;
    return nullptr;
}

// Coverage (0..1) of a word at pixel (px, py): 4 x 4 samples a pixel for clean edges.
float WordCoverage(const char *word, float left, float top, float unit, int px, int py)
{
    int hits = 0;
    for (int sy = 0; sy < 4; sy++)
        for (int sx = 0; sx < 4; sx++) {
            const float ux = (px + (sx + 0.5f) / 4 - left) / unit;
            const float uy = (py + (sy + 0.5f) / 4 - top) / unit;
            float x0 = 0;
            for (const char *c = word; *c; c++) {
                const LETTER *l = Find(*c);
                if (l && ux >= x0 - 1 && ux <= x0 + l->width + 1 && OnLetter(*l, ux - x0, uy)) {
                    hits++;
                    break;
                }
                x0 += (l ? l->width : 6) + kLetterGap;
            }
        }
    return hits / 16.0f;
}

float WordWidth(const char *word)
{
    float w = 0;
    for (const char *c = word; *c; c++) {
        const LETTER *l = Find(*c);
        w += (l ? l->width : 6) + (c[1] ? kLetterGap : 0);
    }
    return w;
}

float Mix(float a, float b, float t)
{
    return a + (b - a) * t;
}

} // namespace

std::vector<uint8_t> Content_DrawLoadingPicture()
{
    const int w = CONTENT_LOADING_WIDTH, h = CONTENT_LOADING_HEIGHT;
    std::vector<float> px(static_cast<size_t>(w) * h * 3);
    // Night-blue to plum, with a soft glow behind the title.
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const float t = static_cast<float>(y) / (h - 1);
            const float gx = (x - w * 0.5f) / (w * 0.45f), gy = (y - h * 0.42f) / (h * 0.35f);
            const float glow = std::exp(-(gx * gx + gy * gy)) * 0.55f;
            float *p = &px[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = Mix(14, 58, t) + glow * 50;
            p[1] = Mix(20, 22, t) + glow * 40;
            p[2] = Mix(52, 78, t) + glow * 90;
        }

    // The name, centred.
    const char *name = "TONNIVELLE";
    const float unit = 6.2f;
    const float left = (w - (WordWidth(name) + 2 * kStrokeRadius) * unit) / 2 + kStrokeRadius * unit;
    const float top = 170;
    for (int y = static_cast<int>(top) - 12; y < static_cast<int>(top + 8 * unit) + 12; y++)
        for (int x = 0; x < w; x++) {
            float *p = &px[(static_cast<size_t>(y) * w + x) * 3];
            const float shadow = WordCoverage(name, left + 3, top + 4, unit, x, y);
            for (int c = 0; c < 3; c++)
                p[c] *= 1 - 0.5f * shadow;
            const float cover = WordCoverage(name, left, top, unit, x, y);
            const float ink[3] = {246, 240, 252};
            for (int c = 0; c < 3; c++)
                p[c] = Mix(p[c], ink[c], cover);
        }

    // A thin rule under the name and a row of level bars below it, teal to amber.
    const int ruleY = static_cast<int>(top + 8 * unit) + 28;
    for (int x = 120; x < w - 120; x++) {
        float *p = &px[(static_cast<size_t>(ruleY) * w + x) * 3];
        const float fade = 1 - std::fabs(x - w * 0.5f) / (w * 0.5f - 120);
        for (int c = 0; c < 3; c++)
            p[c] = Mix(p[c], 230, 0.7f * fade);
    }
    const int bars = 24, barW = 10, barGap = 6, baseY = 400;
    const int barsLeft = (w - (bars * barW + (bars - 1) * barGap)) / 2;
    for (int b = 0; b < bars; b++) {
        const float level = 0.35f + 0.3f * std::sin(b * 0.7f) + 0.25f * std::sin(b * 1.9f + 1);
        const int height = static_cast<int>(std::clamp(level, 0.1f, 1.0f) * 60);
        const float t = static_cast<float>(b) / (bars - 1);
        const float colour[3] = {Mix(60, 250, t), Mix(210, 170, t), Mix(200, 70, t)};
        for (int y = baseY - height; y < baseY; y++)
            for (int x = barsLeft + b * (barW + barGap); x < barsLeft + b * (barW + barGap) + barW; x++) {
                float *p = &px[(static_cast<size_t>(y) * w + x) * 3];
                for (int c = 0; c < 3; c++)
                    p[c] = Mix(p[c], colour[c], 0.85f);
            }
    }

    std::vector<uint8_t> rgb(px.size());
    for (size_t i = 0; i < px.size(); i++)
        rgb[i] = static_cast<uint8_t>(std::clamp(std::lround(px[i]), 0L, 255L));
    return rgb;
}

std::vector<uint8_t> Content_EncodeBmp24(int32_t width, int32_t height, const std::vector<uint8_t> &rgb)
{
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t pixels = stride * static_cast<uint32_t>(height);
    std::vector<uint8_t> out(54 + pixels, 0);
    auto put16 = [&](size_t at, uint32_t v) {
        out[at] = static_cast<uint8_t>(v);
        out[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    put16(26, 1);
    put16(28, 24);
    put32(34, pixels);
    put32(38, 2835); // 72 dots an inch
    put32(42, 2835);
    for (int32_t y = 0; y < height; y++) {
        uint8_t *row = &out[54 + static_cast<size_t>(height - 1 - y) * stride];
        const uint8_t *src = &rgb[static_cast<size_t>(y) * width * 3];
        for (int32_t x = 0; x < width; x++) {
            row[x * 3 + 0] = src[x * 3 + 2];
            row[x * 3 + 1] = src[x * 3 + 1];
            row[x * 3 + 2] = src[x * 3 + 0];
        }
    }
    return out;
}

std::vector<CONTENTFILE> Content_PictureFiles()
{
    CONTENTFILE f;
    f.path = "loading_tnv.bmp";
    f.data = Content_EncodeBmp24(CONTENT_LOADING_WIDTH, CONTENT_LOADING_HEIGHT, Content_DrawLoadingPicture());
    return {f};
}
