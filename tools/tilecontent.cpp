#include "tools/tilecontent.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

const CONTENTTILESHEET g_atContentTileSheets[12] = {
    {"blanks.raw", 12, 18},   {"bardata.raw", 12, 3},   {"rblk_all.raw", 15, 18}, {"hrif_all.raw", 15, 18},
    {"vrif_all.raw", 15, 18}, {"mrif_all.raw", 15, 18}, {"bg_tiles.raw", 10, 1},  {"rblk_vid.raw", 19, 16},
    {"hrif_vid.raw", 19, 16}, {"vrif_vid.raw", 17, 16}, {"mrif_vid.raw", 17, 16}, {"vid_bg_tiles.raw", 10, 1},
};

namespace {

constexpr int T = 24;

struct RGB
{
    int r, g, b;
};

RGB Mix(RGB a, RGB b, int percentB)
{
    return {a.r + (b.r - a.r) * percentB / 100, a.g + (b.g - a.g) * percentB / 100, a.b + (b.b - a.b) * percentB / 100};
}

RGB Shade(RGB c, int percent)
{
    return {std::clamp(c.r * percent / 100, 0, 255), std::clamp(c.g * percent / 100, 0, 255),
            std::clamp(c.b * percent / 100, 0, 255)};
}

// Riff colours by row: the hue circle, then greys.
RGB RowHue(int row)
{
    static const RGB kHues[] = {{200, 70, 70},  {210, 130, 60}, {200, 190, 70}, {120, 190, 70}, {60, 170, 110},
                                {60, 170, 180}, {70, 120, 210}, {110, 90, 210}, {170, 80, 200}, {200, 80, 150},
                                {150, 110, 80}, {110, 140, 90}, {90, 130, 150}, {140, 140, 160}, {180, 180, 180},
                                {120, 120, 120}, {90, 100, 110}, {60, 70, 80}};
    return kHues[row % 18];
}

struct Sheet
{
    int columns, rows;
    std::vector<uint8_t> rgb;
    Sheet(int c, int r) : columns(c), rows(r), rgb(size_t(c) * r * T * T * 3, 0) {}
    void Plot(int col, int row, int x, int y, RGB c)
    {
        if (x < 0 || y < 0 || x >= T || y >= T)
            return;
        uint8_t *p = &rgb[((size_t(row) * T + y) * size_t(columns) * T + size_t(col) * T + x) * 3];
        p[0] = uint8_t(std::clamp(c.r, 0, 255));
        p[1] = uint8_t(std::clamp(c.g, 0, 255));
        p[2] = uint8_t(std::clamp(c.b, 0, 255));
    }
};

// Blanks: panel fills of the windows. Row = colour, column = which edge or texture.
RGB BlankPixel(int row, int col, int x, int y)
{
    const RGB base = Mix({70, 84, 96}, RowHue(row), 35);
    const RGB light = Shade(base, 140), dark = Shade(base, 55);
    switch (col) {
    case 1: return y < 2 ? light : base;
    case 2: return y >= T - 2 ? dark : base;
    case 3: return x < 2 ? light : base;
    case 4: return x >= T - 2 ? dark : base;
    case 5: return (x < 2 || y < 2) ? light : base;
    case 6: return y < 2 ? light : x >= T - 2 ? dark : base;
    case 7: return x < 2 ? light : y >= T - 2 ? dark : base;
    case 8: return (x >= T - 2 || y >= T - 2) ? dark : base;
    case 9: return ((x / 4 + y / 4) & 1) ? Shade(base, 92) : base;
    case 10: return y == T / 2 ? dark : y == T / 2 + 1 ? light : base;
    case 11: return x == T / 2 ? dark : x == T / 2 + 1 ? light : base;
    default: return base;
    }
}

// Bars: level segments; row 0 green, 1 amber, 2 red; column = how much is lit.
RGB BarPixel(int row, int col, int x, int y)
{
    static const RGB kLit[3] = {{80, 220, 90}, {240, 190, 60}, {240, 70, 60}};
    const RGB off = Shade(kLit[row], 25);
    const int lit = (col + 1) * 2;
    if (x < 2 || x >= T - 2 || y % 4 == 3)
        return {20, 24, 28};
    return T - y <= lit ? kLit[row] : off;
}

// Riff blocks: row = the riff's colour; columns: left end, middle, right end, single cell, the
// same four selected, then muted, shadowed and empty variants.
RGB RiffBlockPixel(int row, int col, int x, int y, int sheetColumns)
{
    const RGB hue = RowHue(row);
    const int part = col % 4;
    const bool selected = col >= 4 && col < 8, muted = col >= 8;
    RGB face = muted ? Mix(hue, {90, 90, 90}, 60 + (col - 8) * 40 / std::max(1, sheetColumns - 8)) : hue;
    if (selected)
        face = Mix(face, {255, 255, 255}, 30);
    const bool left = part == 0 || part == 3, right = part == 2 || part == 3;
    if (y < 2 || y >= T - 2 || (left && x < 2) || (right && x >= T - 2))
        return selected ? RGB{250, 250, 250} : Shade(face, 50);
    if (y == 2 || (left && x == 2))
        return Shade(face, 140);
    return (x + y) % 6 == 0 ? Shade(face, 90) : face;
}

// Riff strips: horizontal (note lines), vertical (beats) and mixed (a grid of both).
RGB StripPixel(int kind, int row, int col, int x, int y)
{
    const RGB hue = RowHue(row), back = Shade(hue, 35);
    const int seed = (row * 7 + col * 13) % 11;
    bool on = false;
    if (kind == 0)
        on = (y == 4 + seed % 6 || y == 12 + seed % 8) && x >= seed % 5 && x < T - (seed % 7);
    else if (kind == 1)
        on = (x == 4 + seed % 6 || x == 14 + seed % 7) && y >= 3 && y < T - 3;
    else
        on = (x % 8 == seed % 8) || (y % 8 == (seed * 3) % 8);
    if (y == 0 || x == 0)
        return Shade(hue, 60);
    return on ? Shade(hue, 130) : back;
}

// Backgrounds: dark slate patterns, column 0 the plain one behind every screen.
RGB BackgroundPixel(int col, int x, int y, bool video)
{
    const RGB base = video ? RGB{34, 30, 48} : RGB{38, 48, 58};
    switch (col) {
    case 0: // a quiet quilt: a faint light seam top and left, shade bottom and right
        if (y == 0 || x == 0)
            return Shade(base, 125);
        if (y == T - 1 || x == T - 1)
            return Shade(base, 80);
        return ((x + y) % 12 == 0) ? Shade(base, 108) : base;
    case 1: return ((x / 2 + y / 2) & 1) ? Shade(base, 110) : base;
    case 2: return (y % 12 == 0 || (x + (y / 12) * 12) % 24 == 0) ? Shade(base, 75) : base;
    case 3: return (x % 6 == 0 && y % 6 == 0) ? Shade(base, 150) : base;
    case 4: return Shade(base, 80 + 40 * y / T);
    case 5: return ((x - y + T) % 8 < 2) ? Shade(base, 115) : base;
    case 6: return (std::abs(x - T / 2) + std::abs(y - T / 2) < 6) ? Shade(base, 125) : base;
    case 7: return (x % 4 == 0) ? Shade(base, 110) : base;
    case 8: return (y % 4 == 0) ? Shade(base, 110) : base;
    default: return Shade(base, 95 + (x * y) % 10);
    }
}

} // namespace

std::vector<uint8_t> Content_TileSheet(const std::string &name)
{
    for (const CONTENTTILESHEET &s : g_atContentTileSheets) {
        if (name != s.name)
            continue;
        Sheet sheet(s.columns, s.rows);
        const std::string n = s.name;
        const bool video = n.find("vid") != std::string::npos;
        for (int row = 0; row < s.rows; row++)
            for (int col = 0; col < s.columns; col++)
                for (int y = 0; y < T; y++)
                    for (int x = 0; x < T; x++) {
                        RGB c;
                        if (n == "blanks.raw")
                            c = BlankPixel(row, col, x, y);
                        else if (n == "bardata.raw")
                            c = BarPixel(row, col, x, y);
                        else if (n.rfind("rblk", 0) == 0)
                            c = RiffBlockPixel(row + (video ? 3 : 0), col, x, y, s.columns);
                        else if (n.rfind("hrif", 0) == 0)
                            c = StripPixel(0, row, col, x, y);
                        else if (n.rfind("vrif", 0) == 0)
                            c = StripPixel(1, row, col, x, y);
                        else if (n.rfind("mrif", 0) == 0)
                            c = StripPixel(2, row, col, x, y);
                        else
                            c = BackgroundPixel(col, x, y, video);
                        sheet.Plot(col, row, x, y, c);
                    }
        return sheet.rgb;
    }
    return {};
}

const uint8_t *Content_TilePixel(const std::string &sheet, int row, int column, int x, int y)
{
    static std::string s_name;
    static std::vector<uint8_t> s_sheet;
    static int s_columns = 1;
    if (sheet != s_name) {
        s_name = sheet;
        s_sheet = Content_TileSheet(sheet);
        for (const CONTENTTILESHEET &s : g_atContentTileSheets)
            if (sheet == s.name)
                s_columns = s.columns;
    }
    static const uint8_t kBlack[3] = {0, 0, 0};
    const size_t at = ((size_t(row) * T + size_t(y)) * size_t(s_columns) * T + size_t(column) * T + size_t(x)) * 3;
    return at + 3 <= s_sheet.size() ? &s_sheet[at] : kBlack;
}

// The jam screen's panels over the stage: darkened wells with a light rim where the keys, pads,
// keyboards, dial, plug-in picture, player panels and log sit.
RGB JamPanelShade(int x, int y, RGB c)
{
    struct WELL
    {
        int x, y, w, h;
    };
    static const WELL kWells[] = {
        {56, 2, 528, 52},   // riff keys and their meters
        {76, 91, 488, 44},  // pads
        {30, 144, 180, 90}, // keyboard 0 with its plate and octave
        {424, 144, 180, 90}, // keyboard 1
        {222, 134, 194, 80}, // plug-in picture and dial
        {37, 231, 108, 122}, {190, 231, 108, 122}, {343, 231, 108, 122}, {496, 231, 108, 122}, // players
        {34, 369, 572, 96},  // log and chat
    };
    for (const WELL &w : kWells) {
        if (x < w.x || y < w.y || x >= w.x + w.w || y >= w.y + w.h)
            continue;
        const bool rim = x == w.x || y == w.y || x == w.x + w.w - 1 || y == w.y + w.h - 1;
        return rim ? Mix(c, {150, 170, 230}, 60) : Mix(c, {8, 8, 16}, 70);
    }
    return c;
}

std::vector<uint8_t> Content_JamBackground()
{
    // A stage: a deep blue to violet sky, a floor grid running to the horizon, three soft lights.
    std::vector<uint8_t> rgb(640 * 480 * 3);
    const int horizon = 300;
    const struct
    {
        int x, y, r;
        RGB c;
    } lights[] = {{140, 90, 70, {255, 120, 80}}, {320, 60, 90, {120, 180, 255}}, {500, 100, 70, {200, 120, 255}}};
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            RGB c;
            if (y < horizon) {
                c = Mix({10, 14, 40}, {60, 30, 90}, y * 100 / horizon);
                for (const auto &l : lights) {
                    const int d2 = (x - l.x) * (x - l.x) + (y - l.y) * (y - l.y);
                    if (d2 < l.r * l.r)
                        c = Mix(c, l.c, 45 - 45 * d2 / (l.r * l.r));
                }
            } else {
                const int depth = y - horizon + 1;
                c = Mix({40, 20, 60}, {20, 20, 30}, depth * 100 / 180);
                const int lane = ((x - 320) * 40) / depth;
                if (lane % 40 == 0 || (depth * depth / 40) % 24 == 0)
                    c = Mix(c, {120, 200, 255}, 50);
            }
            c = JamPanelShade(x, y, c);
            uint8_t *p = &rgb[(size_t(y) * 640 + size_t(x)) * 3];
            p[0] = uint8_t(c.r);
            p[1] = uint8_t(c.g);
            p[2] = uint8_t(c.b);
        }
    return rgb;
}

std::vector<CONTENTFILE> Content_TileFiles()
{
    std::vector<CONTENTFILE> files;
    for (const CONTENTTILESHEET &s : g_atContentTileSheets) {
        CONTENTFILE f;
        f.path = s.name;
        f.data = Content_TileSheet(s.name);
        files.push_back(std::move(f));
    }
    CONTENTFILE jam;
    jam.path = "pcjambg.raw";
    jam.data = Content_JamBackground();
    files.push_back(std::move(jam));
    return files;
}
