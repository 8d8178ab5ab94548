#include "tools/interfaceset.h"

#include "tools/interfacepictures.h"
#include "tools/tilecontent.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace {

struct RGB
{
    int r, g, b;
};

// Darkest a visible pixel may be: anything that packs to 0 in 16 bits would turn transparent.
RGB Visible(RGB c)
{
    c.r = std::clamp(c.r, 0, 255);
    c.g = std::clamp(c.g, 0, 255);
    c.b = std::clamp(c.b, 0, 255);
    if (c.r < 16 && c.g < 16 && c.b < 16)
        c = {16, 16, 20};
    return c;
}

RGB Scale(RGB c, int percent)
{
    return Visible({c.r * percent / 100, c.g * percent / 100, c.b * percent / 100});
}

const RGB kWhite = {255, 255, 255};
const RGB kOutline = {24, 24, 30};

// Drawing into one picture, held to one image's rectangle so nothing spills into a neighbour.
struct Canvas
{
    std::vector<uint8_t> *rgb;
    int x0, y0, w, h;
    int minX = 0; // pixels left of this are outside (a slice of a wider drawing)

    void Plot(int x, int y, RGB c)
    {
        if (x < minX || y < 0 || x >= w || y >= h)
            return;
        c = Visible(c);
        uint8_t *p = &(*rgb)[(static_cast<size_t>(y0 + y) * CONTENT_PICTURE_SIDE + x0 + x) * 3];
        p[0] = static_cast<uint8_t>(c.r);
        p[1] = static_cast<uint8_t>(c.g);
        p[2] = static_cast<uint8_t>(c.b);
    }
    void Fill(int x, int y, int fw, int fh, RGB c)
    {
        for (int j = 0; j < fh; j++)
            for (int i = 0; i < fw; i++)
                Plot(x + i, y + j, c);
    }
    void Bevel(int x, int y, int bw, int bh, RGB face, bool raised)
    {
        Fill(x, y, bw, bh, face);
        RGB light = Scale(face, 150), dark = Scale(face, 55);
        if (!raised)
            std::swap(light, dark);
        Fill(x, y, bw, 1, light);
        Fill(x, y, 1, bh, light);
        Fill(x, y + bh - 1, bw, 1, dark);
        Fill(x + bw - 1, y, 1, bh, dark);
    }
    // ASCII art: 'o' outline, 'w' white, anything else left transparent.
    void Art(const char *const *rows, int n, int x, int y)
    {
        for (int j = 0; j < n; j++)
            for (int i = 0; rows[j][i]; i++) {
                if (rows[j][i] == 'o')
                    Plot(x + i, y + j, kOutline);
                else if (rows[j][i] == 'w')
                    Plot(x + i, y + j, kWhite);
            }
    }
    // Solid triangle pointing `dir` (0 up, 1 down, 2 left, 3 right) centred in the image.
    void Triangle(int dir, int size, RGB c)
    {
        const int cx = w / 2, cy = h / 2;
        for (int k = 0; k < size; k++)
            for (int s = -k; s <= k; s++) {
                const int along = k - size / 2;
                if (dir == 0)
                    Plot(cx + s, cy + along, c);
                else if (dir == 1)
                    Plot(cx + s, cy - along, c);
                else if (dir == 2)
                    Plot(cx + along, cy + s, c);
                else
                    Plot(cx - along, cy + s, c);
            }
    }
};

const char *const kPointerArt[] = {
    "o           ", "oo          ", "owo         ", "owwo        ", "owwwo       ", "owwwwo      ", "owwwwwo     ",
    "owwwwwwo    ", "owwwwwwwo   ", "owwwwwwwwo  ", "owwwwwwwwwo ", "owwwwwwwwwwo", "owwwwwwoooo ", "owwwowwo    ",
    "owwo owwo   ", "owo  owwo   ", "oo    owwo  ", "o     owwo  ", "       oo   ",
};
const char *const kSmallPointerArt[] = {
    "o       ", "oo      ", "owo     ", "owwo    ", "owwwo   ", "owwwwo  ", "owwwwwo ",
    "owwwwwwo", "owwwooo ", "owoowo  ", "oo  owo ", "o    oo ",
};

RGB NumberHue(int n)
{
    static const RGB kHues[] = {{70, 110, 170}, {90, 150, 110}, {170, 120, 70}, {140, 90, 160},
                                {80, 150, 160}, {160, 80, 90},  {120, 130, 140}, {150, 150, 80}};
    return kHues[n % 8];
}

// Marks of the tool pointers and the text icons: a white symbol on a coloured plate.
void Symbol(Canvas &c, int x, int y, int size, int shape, RGB ink = kWhite)
{
    const int m = size / 2;
    for (int j = 0; j < size; j++)
        for (int i = 0; i < size; i++) {
            const int dx = i - m, dy = j - m;
            bool on = false;
            switch (shape % 8) {
            case 0: on = dx == 0 || dy == 0; break;                           // plus
            case 1: on = dx == dy || dx == -dy; break;                        // cross
            case 2: on = i == 1 || j == 1 || i == size - 2 || j == size - 2; break; // square
            case 3: on = std::abs(dx) + std::abs(dy) == m - 1; break;         // diamond
            case 4: on = dy == 0 || (std::abs(dy) == 1 && std::abs(dx) >= m - 2); break; // two-way arrow
            case 5: on = dx * dx + dy * dy <= (m - 1) * (m - 1); break;      // dot
            case 6: on = j >= size - 1 - i; break;                            // corner
            default: on = i % 2 == 0 && j > 0 && j < size - 1; break;        // bars
            }
            if (on)
                c.Plot(x + i, y + j, ink);
        }
}


// ---- The editor top bar ----

constexpr int kTopBarPieceWidth = 128, kTopBarHeight = 60;
constexpr int kTopButtonX[6] = {9, 34, 59, 84, 109, 134};
constexpr int kTopButtonSize = 24;
// The symbols of the six sections: song track, video track, jam, load and save, CD, options.
constexpr int kTopButtonShape[6] = {7, 2, 5, 4, 3, 0};
const RGB kTopButtonHue[6] = {{60, 150, 120}, {70, 120, 190}, {190, 110, 60},
                              {150, 140, 70}, {150, 90, 170}, {120, 130, 145}};

void TopButton(Canvas &c, int x, int y, int button, bool lit)
{
    const RGB face = lit ? kTopButtonHue[button] : RGB{58, 66, 78};
    c.Bevel(x, y, kTopButtonSize, kTopButtonSize, face, true);
    const int size = 14, at = (kTopButtonSize - size) / 2;
    Symbol(c, x + at, y + at, size, kTopButtonShape[button], lit ? kWhite : RGB{140, 148, 158});
}

// Piece `piece` of the 640 x 60 bar: its slice of one picture of the whole bar.
void TopBarPiece(Canvas &c, int piece)
{
    const int left = piece * kTopBarPieceWidth;
    // A canvas shifted so the bar's own coordinates can be used; Plot clips to the piece.
    Canvas bar = c;
    bar.x0 -= left;
    bar.w = left + kTopBarPieceWidth;
    bar.minX = left;
    const auto fill = [&](int x, int y, int w, int h, RGB col) {
        for (int j = 0; j < h; j++)
            for (int i = std::max(x, left); i < std::min(x + w, left + kTopBarPieceWidth); i++)
                bar.Plot(i, y + j, col);
    };
    for (int y = 0; y < kTopBarHeight; y++)
        fill(0, y, 640, 1, {40 - y / 6, 46 - y / 6, 56 - y / 6});
    fill(0, 0, 640, 1, {96, 108, 124});
    fill(0, kTopBarHeight - 1, 640, 1, {14, 16, 20});
    const auto inset = [&](int x, int y, int w, int h, RGB face) {
        fill(x, y, w, h, face);
        fill(x, y, w, 1, {16, 18, 22});
        fill(x, y, 1, h, {16, 18, 22});
        fill(x, y + h - 1, w, 1, {88, 98, 112});
        fill(x + w - 1, y, 1, h, {88, 98, 112});
    };
    // The display: title, tempo, beat light, cursor, memory, position and length.
    inset(172, 3, 240, 38, {14, 26, 30});
    // The function-key tray.
    inset(412, 5, 210, 22, {24, 28, 34});
    // The prompt line.
    inset(2, 44, 632, 14, {20, 24, 30});
    for (int b = 0; b < 6; b++)
        if (kTopButtonX[b] + kTopButtonSize > left && kTopButtonX[b] < left + kTopBarPieceWidth)
            TopButton(bar, kTopButtonX[b], 9, b, false);
}

void Lamp(Canvas &c, int w, int h, int quarter)
{
    const RGB off = {70, 30, 30}, on[4] = {{120, 240, 120}, {90, 210, 100}, {70, 180, 90}, {60, 150, 80}};
    const RGB col = quarter ? on[quarter - 1] : off;
    const int r = std::min(w, h) / 2;
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++) {
            const int dx = 2 * i + 1 - w, dy = 2 * j + 1 - h;
            if (dx * dx + dy * dy <= 4 * r * r)
                c.Plot(i, j, dx * dx + dy * dy <= r * r ? Scale(col, 130) : col);
        }
}

// ---- The main editing grid's cells and headers ----

constexpr int kRiffIcons[16] = {146, 147, 151, 152, 153, 154, 156, 159, 161, 180, 181, 183, 204, 205, 206, 207};

bool IsRiffIcon(int n)
{
    return std::find(std::begin(kRiffIcons), std::end(kRiffIcons), n) != std::end(kRiffIcons);
}

// An empty cell: a dark face with a faint line along its right and bottom edges; bar cells are a
// shade lighter with a brighter left edge, so bars read at a glance.
void EmptyCell(Canvas &c, int w, int h, RGB face, bool bar)
{
    const RGB f = bar ? Scale(face, 125) : face;
    c.Fill(0, 0, w, h, f);
    c.Fill(w - 1, 0, 1, h, Scale(face, 145));
    c.Fill(0, h - 1, w, 1, Scale(face, 145));
    if (bar)
        c.Fill(0, 0, 1, h, Scale(face, 230));
}

// A piece of a block that the cell colour tints. The tint masks the texels, so the face is white
// (it shows the tint itself) and the shadow keeps only the low bits of each channel.
const RGB kTintFace = {255, 255, 255};
const RGB kTintShadow = {123, 125, 123};
const RGB kTintInk = {40, 40, 40};

void BlockPiece(Canvas &c, int w, int h, bool top, bool bottom, bool left, bool right)
{
    c.Fill(0, 0, w, h, kTintFace);
    const int edge = w >= 12 ? 2 : 1;
    if (bottom)
        c.Fill(0, h - edge, w, edge, kTintShadow);
    if (right)
        c.Fill(w - edge, 0, edge, h, kTintShadow);
    // The block's outer edges: a dark line, so neighbouring blocks stay apart.
    if (top)
        c.Fill(0, 0, w, 1, kTintInk);
    if (left)
        c.Fill(0, 0, 1, h, kTintInk);
    if (bottom)
        c.Fill(0, h - 1, w, 1, kTintInk);
    if (right)
        c.Fill(w - 1, 0, 1, h, kTintInk);
}

// A riff type's or a clip's icon: a closed block with a symbol in it, dark on the face or, for
// the second eight, light on a dark plate.
void IconCell(Canvas &c, int w, int h, int shape, bool filled)
{
    BlockPiece(c, w, h, true, true, true, true);
    const int s = 12, x = (w - s) / 2, y = (h - s) / 2;
    if (filled)
        c.Fill(x, y, s, s, kTintInk);
    const RGB ink = filled ? kTintFace : kTintInk;
    const int m = s / 2;
    for (int j = 0; j < s; j++)
        for (int i = 0; i < s; i++) {
            const int dx = i - m, dy = j - m;
            bool on = false;
            switch (shape % 8) {
            case 0: on = (dx == 0 || dx == -1 || dy == 0 || dy == -1) && std::abs(dx) < 5 && std::abs(dy) < 5; break;
            case 1: on = (dx == dy || dx == -dy - 1) && std::abs(dx) < 5; break;
            case 2: on = (i == 2 || j == 2 || i == s - 3 || j == s - 3) && i >= 2 && j >= 2 && i <= s - 3 && j <= s - 3; break;
            case 3: on = std::abs(dx) + std::abs(dy) == 4; break;
            case 4: on = (j >= 3 && j <= 8 && (i == 3 || i == 8)) || (j == 8 && i >= 1 && i <= 3) || (j == 8 && i >= 6 && i <= 8) || (j == 3 && i >= 3 && i <= 8); break; // two notes
            case 5: on = dx * dx + dy * dy <= 12; break;
            case 6: on = j >= 2 && j <= 9 && i >= 2 && i <= 9 && (i - 2) >= (9 - j); break;
            default: on = (i % 3 == 1) && j >= 2 && j <= 9; break;
            }
            if (on)
                c.Plot(x + i, y + j, ink);
        }
}

// A row header: a bevelled plate in the row's hue with a coloured tab at its left.
void HeaderPlate(Canvas &c, int w, int h, RGB face, RGB tab)
{
    c.Fill(0, 0, w, h, face);
    c.Fill(0, 0, w, 1, Scale(face, 150));
    c.Fill(0, h - 1, w, 1, Scale(face, 55));
    c.Fill(w - 1, 0, 1, h, Scale(face, 55));
    c.Fill(0, 0, w >= 24 ? 3 : 2, h, tab);
}

const RGB kEmptyFace = {30, 36, 44};
// The empty lanes of the video grid: the collapsible groups (code 8), then lanes 5, 6 and 7.
const RGB kLaneFaces[4] = {{30, 38, 52}, {40, 34, 50}, {30, 44, 44}, {46, 40, 30}};
// The song's event rows 99 to 102: volume, effects, tempo, key.
const RGB kEventFaces[4] = {{44, 40, 28}, {40, 30, 46}, {28, 42, 46}, {30, 46, 34}};

// The riff editor's cells, 12 x 10: a note in its octave's colour (968-975), the empty cells on a
// light or a dark key with or without the beat line (976-979), and the cells past the riff (980).
const RGB kOctaveFaces[8] = {{120, 60, 200}, {60, 90, 230}, {40, 170, 220}, {40, 200, 110},
                             {170, 210, 40}, {240, 180, 40}, {240, 110, 40}, {230, 50, 70}};

void DrawRiffCellImage(int n, Canvas &c)
{
    const int w = c.w, h = c.h;
    if (n >= 968 && n <= 975) {
        const RGB f = kOctaveFaces[n - 968];
        // The note sits on the cell's own face, so the image fills its rectangle.
        c.Fill(0, 0, w, h, {40, 46, 58});
        c.Fill(w - 1, 0, 1, h, {56, 64, 81});
        c.Fill(0, 1, w - 1, h - 2, f);
        c.Fill(0, 1, w - 1, 1, Scale(f, 140));
        c.Fill(0, h - 2, w - 1, 1, Scale(f, 60));
        return;
    }
    if (n == 980) {
        c.Fill(0, 0, w, h, {18, 19, 24});
        for (int j = 0; j < h; j++)
            if (j % 4 == 0)
                c.Fill(0, j, w, 1, {26, 27, 33});
        return;
    }
    const bool dark = n == 977 || n == 979, beat = n == 976 || n == 977;
    const RGB face = dark ? RGB{24, 28, 36} : RGB{40, 46, 58};
    c.Fill(0, 0, w, h, face);
    c.Fill(w - 1, 0, 1, h, Scale(face, 140));
    c.Fill(0, h - 1, w, 1, Scale(face, 70));
    if (beat)
        c.Fill(0, 0, 1, h, {70, 84, 100});
}

void DrawGridImage(int n, Canvas &c)
{
    const int w = c.w, h = c.h;
    if (n >= 968 && n <= 980) {
        DrawRiffCellImage(n, c);
        return;
    }
    // Song grid, 24 x 24.
    if (n == 900 || n == 901) {
        EmptyCell(c, w, h, kEmptyFace, n == 900);
        return;
    }
    if (n == 902 || n == 238 || n == 276) {
        c.Fill(0, 0, w, h, {18, 19, 24});
        for (int k = 0; k < w + h; k += 6)
            for (int j = 0; j < h; j++)
                if (k - j >= 0 && k - j < w)
                    c.Plot(k - j, j, n == 276 ? RGB{30, 34, 42} : RGB{26, 27, 33});
        return;
    }
    if (n >= 960 && n <= 967) {
        EmptyCell(c, w, h, kEventFaces[(n - 960) / 2], (n - 960) % 2 == 0);
        return;
    }
    if (n >= 940 && n <= 955) {
        const int tp = (n - 940) / 4, bp = (n - 940) % 4; // 0 first, 1 middle, 2 last, 3 single
        BlockPiece(c, w, h, tp == 0 || tp == 3, tp == 2 || tp == 3, bp == 0 || bp == 3, bp == 2 || bp == 3);
        return;
    }
    if (n == 198 || n == 201) {
        BlockPiece(c, w, h, true, true, false, n == 201);
        return;
    }
    if (n == 274 || n == 275) {
        // Chase entries: a slimmer band than clips, on the empty cell's dark.
        c.Fill(0, 0, w, h, kTintInk);
        Canvas band{c.rgb, c.x0, c.y0 + 4, w, h - 8};
        BlockPiece(band, w, h - 8, true, true, false, n == 275);
        return;
    }
    if (IsRiffIcon(n)) {
        const int i = int(std::find(std::begin(kRiffIcons), std::end(kRiffIcons), n) - std::begin(kRiffIcons));
        IconCell(c, w, h, i, i >= 8);
        return;
    }
    if (n == 237 || n == 239) {
        IconCell(c, w, h, n == 237 ? 7 : 5, n == 239);
        return;
    }
    // Empty lanes of the video grid: bar and plain cells.
    struct LANEIMAGE
    {
        int bar, plain, face;
    };
    static const LANEIMAGE kLaneImages[] = {{271, 272, 0}, {240, 241, 1}, {243, 244, 2}, {247, 248, 3}};
    for (const LANEIMAGE &l : kLaneImages)
        if (n == l.bar || n == l.plain) {
            EmptyCell(c, w, h, kLaneFaces[l.face], n == l.bar);
            return;
        }
    // Row headers, 48 x 24 (world view 12 x 6).
    if (n == 912 || n == 913 || n == 932 || n == 933) {
        const bool flagged = n == 913 || n == 933;
        HeaderPlate(c, w, h, flagged ? RGB{44, 44, 48} : RGB{52, 70, 88}, flagged ? RGB{150, 60, 50} : RGB{90, 170, 110});
        return;
    }
    if (n >= 914 && n <= 917) {
        HeaderPlate(c, w, h, Scale(kEventFaces[n - 914], 160), Scale(kEventFaces[n - 914], 330));
        return;
    }
    if (n == 938) {
        HeaderPlate(c, w, h, {60, 60, 52}, {170, 150, 90});
        return;
    }
    if ((n >= 918 && n <= 926) || (n >= 927 && n <= 931) || (n >= 956 && n <= 959)) {
        // Video rows by kind: 2 group lane, 3 entry sub-row, 5 and 6 the fixed lanes; hidden ones dim.
        static const RGB kKindFaces[4] = {{52, 70, 96}, {44, 56, 70}, {78, 60, 92}, {52, 84, 84}};
        int kind = 0;
        bool hidden = false, empty = false;
        if (n >= 918 && n <= 921)
            kind = n - 918;
        else if (n >= 922 && n <= 925)
            kind = n - 922, hidden = true;
        else if (n == 926 || n == 931)
            empty = true;
        else if (n >= 927 && n <= 930)
            kind = n - 927;
        else
            kind = n - 956, hidden = true;
        if (empty) {
            c.Fill(0, 0, w, h, {24, 26, 30});
            return;
        }
        const RGB face = hidden ? RGB{40, 40, 44} : kKindFaces[kind];
        HeaderPlate(c, w, h, face, hidden ? RGB{80, 80, 84} : Scale(face, 220));
        if (kind == 1 && w >= 24) // sub-rows are indented
            c.Fill(3, 0, 6, h, Scale(face, 70));
        return;
    }
    if (n == 934 || n == 935) {
        // The column header strip under the cells: a tick at every bar (every cell in world view:
        // four to a piece).
        c.Fill(0, 0, w, h, {22, 26, 32});
        if (n == 934)
            c.Fill(0, 0, 1, 3, {110, 130, 150});
        else
            for (int k = 0; k < 24; k += 6)
                c.Fill(k, 0, 1, k == 0 ? 3 : 2, k == 0 ? RGB{110, 130, 150} : RGB{60, 70, 84});
        return;
    }
    // World view, 6 x 6.
    if (n == 210 || n == 214) {
        c.Fill(0, 0, w, h, n == 214 ? RGB{40, 48, 58} : kEmptyFace);
        c.Fill(w - 1, 0, 1, h, n == 214 ? RGB{46, 56, 66} : RGB{36, 43, 52});
        c.Fill(0, h - 1, w, 1, n == 214 ? RGB{46, 56, 66} : RGB{36, 43, 52});
        if (n == 214)
            c.Fill(0, 0, 1, h, {72, 88, 104});
        return;
    }
    struct WORLDEMPTY
    {
        int bar, plain;
        RGB face;
    };
    static const WORLDEMPTY kWorldEmpty[] = {{217, 213, kEventFaces[0]}, {216, 212, kEventFaces[1]},
                                             {215, 211, kEventFaces[2]}, {220, 219, kEventFaces[3]},
                                             {263, 259, kLaneFaces[0]},  {264, 260, kLaneFaces[1]},
                                             {265, 261, kLaneFaces[2]}};
    for (const WORLDEMPTY &e : kWorldEmpty)
        if (n == e.bar || n == e.plain) {
            c.Fill(0, 0, w, h, n == e.bar ? Scale(e.face, 125) : e.face);
            c.Fill(w - 1, 0, 1, h, Scale(e.face, 140));
            if (n == e.bar)
                c.Fill(0, 0, 1, h, Scale(e.face, 220));
            return;
        }
    if (n == 218 || n == 267) {
        c.Fill(0, 0, w, h, {18, 19, 24});
        c.Plot(n == 218 ? 2 : 3, 3, {28, 29, 36});
        return;
    }
    if (n >= 224 && n <= 232) {
        const int tp = (n - 224) / 3, bp = (n - 224) % 3;
        BlockPiece(c, w, h, tp == 0, tp == 2, bp == 0, bp == 2);
        return;
    }
    if (n >= 233 && n <= 236) {
        BlockPiece(c, w, h, true, true, n == 233 || n == 234, n == 233 || n == 236);
        return;
    }
    if (n >= 268 && n <= 270) {
        c.Fill(0, 0, w, h, kTintInk);
        Canvas band{c.rgb, c.x0, c.y0 + 1, w, h - 2};
        BlockPiece(band, w, h - 2, true, true, n == 268, n == 270);
        return;
    }
}

// Sizes of the grid's images; 0 for the numbers that are not the grid's.
void GridImageSize(int n, int &w, int &h)
{
    w = h = 0;
    if ((n >= 900 && n <= 902) || (n >= 940 && n <= 955) || (n >= 960 && n <= 967) || IsRiffIcon(n) || n == 198 || n == 201 || n == 237 ||
        n == 238 || n == 239 || n == 240 || n == 241 || n == 243 || n == 244 || n == 247 || n == 248 || n == 271 ||
        n == 272 || n == 274 || n == 275 || n == 276)
        w = h = 24;
    else if (n >= 968 && n <= 980)
        w = 12, h = 10;
    else if ((n >= 912 && n <= 926))
        w = 48, h = 24;
    else if ((n >= 927 && n <= 933) || n == 938 || (n >= 956 && n <= 959))
        w = 12, h = 6;
    else if (n == 934 || n == 935)
        w = 24, h = 8;
    else if ((n >= 210 && n <= 220) || (n >= 224 && n <= 236) || (n >= 259 && n <= 261) || (n >= 263 && n <= 265) ||
             (n >= 267 && n <= 270))
        w = h = 6;
}

} // namespace

bool Content_IsGridImage(int n)
{
    int w = 0, h = 0;
    GridImageSize(n, w, h);
    return w > 0;
}

namespace {

void FileScreenPicture(int n, Canvas &c);
void JamPicture(int n, const CONTENTIMAGE &im, Canvas &c);
void AmIndicator(Canvas &c, int w, int h, int param);

void DrawImage(const CONTENTIMAGE &im, int n, Canvas &c, const INTERFACESET &set)
{
    switch (im.draw) {
    case DRAW_FONT: {
        if (im.param >= static_cast<int>(set.sheets.size()))
            break;
        const FONTSHEET &s = set.sheets[static_cast<size_t>(im.param)];
        for (int r = 0; r < s.rows; r++)
            for (int x = 0; x < s.width; x++) {
                const uint8_t t = s.texels[static_cast<size_t>(r * s.width + x)];
                if (t != 0 && t != 15)
                    c.Plot(x, r, kWhite);
            }
        break;
    }
    case DRAW_POINTER:
        c.Art(kPointerArt, 19, 0, 0);
        break;
    case DRAW_TOOL_POINTER:
        c.Art(kSmallPointerArt, 12, 0, 0);
        c.Bevel(8, 8, 8, 8, NumberHue(im.param + 2), true);
        Symbol(c, 8, 8, 8, im.param);
        break;
    case DRAW_ICON:
        c.Bevel(0, 0, im.w, im.h, NumberHue(im.param), true);
        Symbol(c, (im.w - 7) / 2, (im.h - 7) / 2, 7, im.param);
        break;
    case DRAW_ARROW: {
        const bool lit = im.param >= 4;
        c.Bevel(0, 0, im.w, im.h, lit ? RGB{120, 170, 220} : RGB{90, 100, 110}, !lit);
        c.Triangle(im.param & 3, 3, lit ? kWhite : RGB{220, 225, 230});
        break;
    }
    case DRAW_TRACK:
        c.Fill(0, 0, im.w, im.h, {40, 46, 52});
        for (int k = 0; k < 8; k += 2)
            c.Plot(im.param ? k : 3, im.param ? 3 : k, {56, 64, 72});
        break;
    case DRAW_THUMB: {
        const RGB face = {130, 150, 170};
        const int part = im.param & 3;
        const bool horizontal = im.param >= 4;
        c.Fill(0, 0, im.w, im.h, face);
        // Light along the top and left, dark along the bottom and right; caps close their end.
        c.Fill(0, 0, horizontal ? im.w : 1, horizontal ? 1 : im.h, Scale(face, 150));
        c.Fill(horizontal ? 0 : im.w - 1, horizontal ? im.h - 1 : 0, horizontal ? im.w : 1, horizontal ? 1 : im.h,
               Scale(face, 55));
        if (part == 0)
            c.Fill(0, 0, horizontal ? 1 : im.w, horizontal ? im.h : 1, Scale(face, 150));
        if (part == 2)
            c.Fill(horizontal ? im.w - 1 : 0, horizontal ? 0 : im.h - 1, horizontal ? 1 : im.w, horizontal ? im.h : 1,
                   Scale(face, 55));
        if (part == 1)
            c.Fill(horizontal ? 3 : 2, horizontal ? 2 : 3, horizontal ? 2 : 4, horizontal ? 4 : 2, Scale(face, 75));
        break;
    }
    case DRAW_FRAME: {
        // Style 0 is a light grey that the window colour tints; 1 and 2 are drawn as they are.
        static const RGB kStyle[3] = {{230, 230, 230}, {70, 96, 110}, {150, 160, 170}};
        const int part = im.param / 3, style = im.param % 3;
        const RGB face = kStyle[style], light = Scale(face, 130), dark = Scale(face, 45);
        const int col = part % 3, row = part / 3;
        c.Fill(0, 0, im.w, im.h, face);
        if (row == 0)
            c.Fill(0, 0, im.w, 2, light);
        if (col == 0)
            c.Fill(0, 0, 2, im.h, light);
        if (row == 2)
            c.Fill(0, im.h - 2, im.w, 2, dark);
        if (col == 2)
            c.Fill(im.w - 2, 0, 2, im.h, dark);
        break;
    }
    case DRAW_BUTTON: {
        const RGB face = NumberHue(n);
        for (int j = 0; j < im.h; j++)
            c.Fill(0, j, im.w, 1, Scale(face, 130 - 40 * j / std::max(1, im.h - 1)));
        c.Fill(0, 0, im.w, 1, Scale(face, 170));
        c.Fill(0, im.h - 1, im.w, 1, Scale(face, 50));
        c.Fill(0, 0, 1, im.h, Scale(face, 170));
        c.Fill(im.w - 1, 0, 1, im.h, Scale(face, 50));
        c.Triangle(3, 5, {235, 235, 235});
        break;
    }
    case DRAW_JAM:
        JamPicture(n, im, c);
        break;
    case DRAW_MARK:
        c.Bevel(0, 0, im.w, im.h, NumberHue(n), true);
        Symbol(c, 4, 4, 8, n);
        break;
    case DRAW_BACKGROUND:
        for (int y = 0; y < im.h; y++)
            for (int x = 0; x < im.w; x++) {
                const uint8_t *t = Content_TilePixel("bg_tiles.raw", 0, 0, x, y);
                c.Plot(x, y, {t[0], t[1], t[2]});
            }
        break;
    case DRAW_SHADOW:
        c.Fill(0, 0, im.w, im.h, {18, 20, 24});
        break;
    case DRAW_FIELD_ICON:
        // A quaver on a round plate.
        c.Fill(1, 0, im.w - 2, im.h, {60, 110, 170});
        c.Fill(0, 1, im.w, im.h - 2, {60, 110, 170});
        c.Fill(4, 7, 3, 3, kWhite);
        c.Fill(6, 2, 1, 6, kWhite);
        c.Fill(7, 2, 2, 1, kWhite);
        c.Fill(8, 3, 1, 2, kWhite);
        break;
    case DRAW_GRID:
        DrawGridImage(n, c);
        break;
    case DRAW_TOPBAR:
        TopBarPiece(c, im.param);
        break;
    case DRAW_TOPBUTTON:
        TopButton(c, 0, 0, im.param, true);
        break;
    case DRAW_LAMP:
        Lamp(c, im.w, im.h, im.param);
        break;
    case DRAW_FILESCREEN:
        FileScreenPicture(n, c);
        break;
    case DRAW_AM:
        AmIndicator(c, im.w, im.h, im.param);
        break;
    case DRAW_NONE:
        break;
    }
}


// The AM indicator: a wave under the envelope that shapes it. On an AM channel (param 0) the
// plate is the modifier's dim blue; a note that has its modifier (param 1) lights it amber.
void AmIndicator(Canvas &c, int w, int h, int param)
{
    const RGB face = param ? RGB{150, 100, 20} : RGB{40, 60, 110};
    const RGB wave = param ? RGB{255, 220, 120} : RGB{150, 190, 255};
    const RGB hull = param ? RGB{255, 255, 200} : RGB{210, 230, 255};
    c.Bevel(0, 0, w, h, face, param != 0);
    const int mid = h / 2, inner = w - 6;
    for (int x = 0; x < inner; x++) {
        // The envelope rises and falls across the plate; the wave fills it, four cycles wide.
        const double t = double(x) / double(inner - 1);
        const double env = (h / 2 - 3) * (t < 0.5 ? t * 2 : (1 - t) * 2) + 1;
        const double y = env * std::sin(t * 4 * 2 * 3.14159265);
        c.Plot(3 + x, mid - int(std::lround(y)), wave);
        c.Plot(3 + x, mid - int(std::lround(env)), hull);
        c.Plot(3 + x, mid + int(std::lround(env)), hull);
    }
}

// ---- The file screen ----

// Images of the file screen: file kinds of the list (32 x 24), the list cursor (36 x 28, five
// steps of a pulse), the buttons (24 x 24) and the indicators of what a song file holds.
bool IsFileScreenImage(int n)
{
    return n == 110 || n == 114 || n == 115 || n == 135 || n == 136 || n == 327 || (n >= 407 && n <= 411) ||
           (n >= 160 && n <= 174 && n != 161); // 161 is a riff icon of the grid
}

void FileSheet(Canvas &c, RGB paper)
{
    c.Fill(0, 0, 16, 22, kOutline);
    c.Fill(1, 1, 14, 20, paper);
    for (int k = 0; k < 5; k++) // the folded corner
        c.Fill(15 - 5 + k, 1 + k, 5 - k, 1, {40, 44, 52});
}

void FileScreenPicture(int n, Canvas &c)
{
    const RGB folder = {214, 168, 74};
    const RGB ink = {40, 60, 110};
    if (n == 114 || n == 115 || n == 160) {
        const int x0 = n == 160 ? 3 : 0, y0 = n == 160 ? 5 : 0, w = n == 160 ? 18 : 24, h = n == 160 ? 14 : 18;
        if (n == 160)
            c.Bevel(0, 0, 24, 24, {70, 96, 120}, true);
        c.Fill(x0, y0, w / 2, 3, Scale(folder, 80));
        c.Fill(x0, y0 + 2, w, h, kOutline);
        c.Fill(x0 + 1, y0 + 3, w - 2, h - 2, folder);
        c.Fill(x0 + 1, y0 + 3, w - 2, 2, Scale(folder, 120));
        if (n == 115) // the way up
            for (int k = 0; k < 6; k++) {
                c.Fill(12 - k, 5 + k, 2 * k + 1, 1, ink);
                c.Fill(11, 11, 3, 5, ink);
            }
        if (n == 160) {
            c.Fill(x0 + w / 2 - 1, y0 + 5, 3, 9, kWhite);
            c.Fill(x0 + w / 2 - 4, y0 + 8, 9, 3, kWhite);
        }
        return;
    }
    if (n == 136 || n == 135 || n == 110) {
        FileSheet(c, {226, 230, 236});
        if (n == 136) { // two notes
            c.Fill(4, 13, 4, 3, ink);
            c.Fill(10, 11, 4, 3, ink);
            c.Fill(7, 5, 1, 9, ink);
            c.Fill(13, 3, 1, 9, ink);
            c.Fill(7, 4, 7, 2, ink);
        } else if (n == 135) { // a wave
            for (int x = 2; x < 14; x++) {
                const int y = 11 + ((x / 2) % 4 == 0 ? -4 : (x / 2) % 4 == 2 ? 4 : 0);
                c.Fill(x, std::min(y, 11), 1, std::abs(y - 11) + 1, {40, 140, 80});
            }
        } else { // a landscape
            c.Fill(1, 1, 14, 12, {120, 170, 220});
            c.Fill(10, 3, 3, 3, {250, 220, 90});
            for (int x = 1; x < 15; x++)
                c.Fill(x, 13 - std::abs(x - 6) / 2, 1, 8 + std::abs(x - 6) / 2, {70, 150, 70});
        }
        return;
    }
    if (n == 327) { // the frame of a list cell's picture
        const RGB line = {70, 84, 100};
        c.Fill(0, 0, 36, 1, line);
        c.Fill(0, 27, 36, 1, line);
        c.Fill(0, 0, 1, 28, line);
        c.Fill(35, 0, 1, 28, line);
        return;
    }
    if (n >= 407 && n <= 411) {
        const int step = n - 407, level = 120 + 30 * (step < 3 ? step : 4 - step);
        const RGB glow = {level / 2, level, 255};
        c.Fill(0, 0, 36, 2, glow);
        c.Fill(0, 26, 36, 2, glow);
        c.Fill(0, 0, 2, 28, glow);
        c.Fill(34, 0, 2, 28, glow);
        return;
    }
    // Buttons and indicators: a plate in the button's hue and its symbol.
    static const RGB kPlate[14] = {{70, 96, 120},  {60, 130, 90}, {60, 100, 160}, {150, 110, 50}, {160, 60, 60},
                                   {110, 80, 150}, {150, 80, 130}, {70, 110, 150}, {120, 80, 150}, {150, 130, 60},
                                   {60, 140, 140}, {140, 90, 70}, {90, 130, 70},  {130, 100, 150}};
    const int k = n == 174 ? 1 : n - 160;
    c.Bevel(0, 0, 24, 24, kPlate[k], true);
    switch (k) {
    case 1: // "Save as '.WAV' File": a wave
        for (int x = 4; x < 20; x++) {
            const int y = 12 + ((x / 2) % 4 == 0 ? -5 : (x / 2) % 4 == 2 ? 5 : 0);
            c.Fill(x, std::min(y, 12), 1, std::abs(y - 12) + 1, kWhite);
        }
        break;
    case 2: // "Load file": an arrow down into a tray
    case 3: // "Save file": an arrow up out of it
        c.Fill(5, 17, 14, 2, kWhite);
        c.Fill(4, 14, 2, 5, kWhite);
        c.Fill(18, 14, 2, 5, kWhite);
        c.Fill(11, 4, 2, 9, kWhite);
        for (int j = 0; j < 4; j++)
            c.Fill(12 - j - 1, k == 2 ? 13 - j : 4 + j, 2 * j + 2, 1, kWhite);
        break;
    case 4: // "Delete file": a cross
        for (int j = 0; j < 12; j++) {
            c.Fill(6 + j, 6 + j, 2, 1, kWhite);
            c.Fill(17 - j, 6 + j, 2, 1, kWhite);
        }
        break;
    case 5: // "Insert file": an arrow into a column
        c.Fill(15, 4, 3, 16, kWhite);
        c.Fill(4, 11, 8, 2, kWhite);
        for (int j = 0; j < 4; j++)
            c.Fill(12 - j, 8 + j, 1, 8 - 2 * j, kWhite);
        break;
    case 6: // "Jukebox": a play mark
        for (int j = 0; j < 12; j++)
            c.Fill(8 + j / 1, 6 + j / 2, 1, 12 - j, kWhite);
        break;
    default: // the indicators
        Symbol(c, 8, 8, 8, k);
        break;
    }
}

// ---- The jam screen ----

// A 3 x 5 face for the jam's labels: digits and "F".
const char *const kJamGlyphs[11][5] = {
    {"www", "w w", "w w", "w w", "www"}, {" w ", "ww ", " w ", " w ", "www"}, {"www", "  w", "www", "w  ", "www"},
    {"www", "  w", " ww", "  w", "www"}, {"w w", "w w", "www", "  w", "  w"}, {"www", "w  ", "www", "  w", "www"},
    {"www", "w  ", "www", "w w", "www"}, {"www", "  w", " w ", " w ", " w "}, {"www", "w w", "www", "w w", "www"},
    {"www", "w w", "www", "  w", "www"}, {"www", "w  ", "ww ", "w  ", "w  "},
};

void JamLabel(Canvas &c, const char *text, int cx, int cy, int scale, RGB ink)
{
    const int n = static_cast<int>(std::char_traits<char>::length(text));
    const int width = n * 4 * scale - scale;
    int x = cx - width / 2;
    const int y = cy - 5 * scale / 2;
    for (const char *t = text; *t; ++t, x += 4 * scale) {
        const int g = *t == 'F' ? 10 : *t - '0';
        if (g < 0 || g > 10)
            continue;
        for (int j = 0; j < 5; j++)
            for (int i = 0; i < 3; i++)
                if (kJamGlyphs[g][j][i] == 'w')
                    c.Fill(x + i * scale, y + j * scale, scale, scale, ink);
    }
}

// Riff key images: key k's images for states empty, assigned, lit.
constexpr int kJamRiffImages[12][3] = {{15, 5, 16},  {18, 17, 19}, {21, 20, 22}, {24, 23, 25},
                                       {27, 26, 28}, {30, 29, 31}, {33, 32, 34}, {36, 35, 37},
                                       {39, 38, 40}, {7, 6, 8},    {10, 9, 11},  {13, 12, 14}};

bool JamRiffImage(int n, int &key, int &state)
{
    for (int k = 0; k < 12; k++)
        for (int s = 0; s < 3; s++)
            if (kJamRiffImages[k][s] == n) {
                key = k;
                state = s;
                return true;
            }
    return false;
}

bool IsJamImage(int n)
{
    int k = 0, s = 0;
    return JamRiffImage(n, k, s) || (n >= 65 && n <= 73) || (n >= 75 && n <= 83) || (n >= 85 && n <= 93) ||
           (n >= 94 && n <= 99) || n == 103 || n == 104 || (n >= 137 && n <= 144) || (n >= 840 && n <= 845);
}

void JamImageSize(int n, int &w, int &h)
{
    int k = 0, s = 0;
    w = h = 32;
    if (JamRiffImage(n, k, s) || n <= 93)
        return;
    if (n <= 99 || n >= 840)
        w = h = 24;
    else if (n == 103)
        w = h = 10;
    else if (n == 104)
        w = h = 48;
    else if (n == 137 || n == 138)
        w = 9, h = 30;
    else
        w = 15, h = 48;
}

// The three groups of riff keys and of pads each have a colour.
const RGB kJamGroup[3] = {{230, 130, 60}, {60, 190, 220}, {170, 110, 230}};

void JamRoundBox(Canvas &c, int w, int h, RGB face, RGB rim)
{
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const bool corner = (x + y < 3) || (w - 1 - x + y < 3) || (x + h - 1 - y < 3) || (w - 1 - x + h - 1 - y < 3);
            if (corner)
                continue;
            const bool edge = x < 2 || y < 2 || x >= w - 2 || y >= h - 2;
            c.Plot(x, y, edge ? rim : Scale(face, 115 - 40 * y / h));
        }
}

void JamPicture(int n, const CONTENTIMAGE &im, Canvas &c)
{
    int key = 0, state = 0;
    if (JamRiffImage(n, key, state)) {
        const RGB g = kJamGroup[key / 4];
        const RGB face = state == 0 ? RGB{46, 48, 58} : state == 1 ? Scale(g, 55) : g;
        JamRoundBox(c, im.w, im.h, face, state == 2 ? kWhite : Scale(g, state ? 90 : 45));
        char label[4];
        std::snprintf(label, sizeof label, "F%d", key + 1);
        JamLabel(c, label, im.w / 2, im.h / 2, 2, state == 2 ? RGB{30, 30, 40} : state ? kWhite : RGB{110, 110, 120});
        return;
    }
    if (n >= 65 && n <= 93) {
        const int pad = (n - 65) % 10, s = (n - 65) / 10;
        const RGB g = kJamGroup[pad / 3];
        const RGB face = s == 0 ? RGB{46, 48, 58} : s == 1 ? Scale(g, 55) : g;
        for (int y = 0; y < im.h; y++)
            for (int x = 0; x < im.w; x++) {
                const int dx = 2 * x - im.w + 1, dy = 2 * y - im.h + 1, d2 = dx * dx + dy * dy, r = im.w - 1;
                if (d2 > r * r + r) // the round reaches every side of its rectangle
                    continue;
                const bool rim = d2 > (r - 4) * (r - 4);
                c.Plot(x, y, rim ? (s == 2 ? kWhite : Scale(g, s ? 90 : 45)) : Scale(face, 120 - 40 * y / im.h));
            }
        const char label[2] = {static_cast<char>('1' + pad), 0};
        JamLabel(c, label, im.w / 2, im.h / 2, 2, s == 2 ? RGB{30, 30, 40} : s ? kWhite : RGB{110, 110, 120});
        return;
    }
    if (n >= 94 && n <= 99) {
        c.Bevel(0, 0, im.w, im.h, {40, 44, 70}, false);
        const char label[2] = {static_cast<char>('0' + n - 94), 0};
        JamLabel(c, label, im.w / 2, im.h / 2, 3, {250, 220, 120});
        return;
    }
    if (n == 103) {
        for (int y = 0; y < im.h; y++)
            for (int x = 0; x < im.w; x++) {
                const int dx = 2 * x - 9, dy = 2 * y - 9;
                if (dx * dx + dy * dy <= 81 + 9)
                    c.Plot(x, y, dx * dx + dy * dy <= 25 ? kWhite : RGB{250, 200, 90});
            }
        return;
    }
    if (n == 104) {
        for (int y = 0; y < im.h; y++)
            for (int x = 0; x < im.w; x++) {
                const int dx = 2 * x - 47, dy = 2 * y - 47, d2 = dx * dx + dy * dy;
                if (d2 > 47 * 47 + 47)
                    continue;
                RGB col = Scale({70, 80, 120}, 120 - 50 * (dx + dy + 94) / 188);
                if (d2 > 43 * 43)
                    col = {150, 160, 200};
                c.Plot(x, y, col);
            }
        // Ticks around the face every eighth of a turn.
        static const int kTicks[8][2] = {{24, 3}, {39, 9}, {45, 24}, {39, 39}, {24, 45}, {9, 39}, {3, 24}, {9, 9}};
        for (const auto &t : kTicks)
            c.Fill(t[0] - 1, t[1] - 1, 2, 2, kWhite);
        return;
    }
    if (n == 137 || n == 138) {
        const RGB face = n == 138 ? RGB{240, 170, 60} : RGB{30, 30, 36};
        c.Fill(0, 0, im.w, im.h, face);
        c.Fill(1, im.h - 4, im.w - 2, 3, Scale(face, n == 138 ? 80 : 220));
        return;
    }
    if (n >= 139 && n <= 144) {
        const bool lit = n <= 141;
        const int shape = (n - 139) % 3; // 0 cut right, 1 cut both, 2 cut left
        const RGB face = lit ? RGB{250, 200, 100} : RGB{236, 236, 232};
        for (int y = 0; y < im.h; y++)
            for (int x = 0; x < im.w; x++) {
                const bool top = y < 30;
                if (top && ((shape != 2 && x >= im.w - 4) || (shape != 0 && x < 4)))
                    continue;
                const bool edge = x == 0 || x == im.w - 1 || y == im.h - 1;
                c.Plot(x, y, edge ? RGB{90, 90, 100} : Scale(face, 100 - 25 * y / im.h));
            }
        return;
    }
    // Activity icons: a riff (notes on a bar), a pad (a drum), a keyboard per instrument kind.
    c.Fill(0, 0, 24, 24, n == 840 ? RGB{120, 70, 30} : n == 841 ? RGB{30, 90, 110} : RGB{70, 50, 110});
    if (n == 840) {
        for (int i = 0; i < 3; i++) {
            c.Fill(5 + 5 * i, 12 - 2 * i, 4, 4, kJamGroup[0]);
            c.Fill(8 + 5 * i, 5, 1, 9 - 2 * i, kWhite);
        }
    } else if (n == 841) {
        for (int y = 0; y < 12; y++)
            for (int x = 0; x < 16; x++) {
                const int dx = 2 * x - 15, dy = 2 * y - 11;
                if (dx * dx * 36 + dy * dy * 64 <= 36 * 64 + 200)
                    c.Plot(4 + x, 6 + y, y < 4 ? kWhite : kJamGroup[1]);
            }
    } else {
        const RGB ink = n == 845 ? RGB{250, 200, 90} : kJamGroup[(n - 842) % 3];
        for (int i = 0; i < 5; i++)
            c.Fill(4 + 3 * i, 6, 2, 12, kWhite);
        for (int i : {0, 1, 3})
            c.Fill(6 + 3 * i, 6, 2, 7, ink);
    }
}

// What each image number is.
void Describe(int n, CONTENTIMAGE &im)
{
    // Font sheets: 0 the main interface font, 1 and 2 the fonts of the screen-graphics set, 3 the
    // small and 4 the tiny one.
    static const int kFontOf[5] = {2, 0, 1, 3, 4};
    struct ARROW
    {
        int n, param;
    };
    static const ARROW kArrows[] = {{693, 0}, {688, 1}, {691, 2}, {692, 3}, {301, 4}, {302, 5}, {299, 6}, {300, 7}};
    static const ARROW kThumbs[] = {{694, 0}, {108, 1}, {695, 2}, {689, 4}, {105, 5}, {690, 6}};
    if (n < 5) {
        im.draw = DRAW_FONT;
        im.param = kFontOf[n];
        return;
    }
    im.w = im.h = 16;
    im.draw = DRAW_MARK;
    if (n == 811) {
        im.draw = DRAW_BACKGROUND;
        im.w = im.h = 24;
    } else if (n == 812) {
        im.draw = DRAW_SHADOW;
        im.w = im.h = 8;
    } else if (n == 813) {
        im.draw = DRAW_FIELD_ICON;
        im.w = im.h = 12;
    } else if (n == 641 || n == 642) {
        im.draw = DRAW_POINTER;
        im.w = 12;
        im.h = 19;
    } else if (n >= 546 && n <= 556) {
        im.draw = DRAW_TOOL_POINTER;
        im.param = n - 546;
    } else if (n >= 700 && n <= 709) {
        im.draw = DRAW_ICON;
        im.param = n - 700;
        im.w = 11;
        im.h = 9;
    } else if (n == 107 || n == 106) {
        im.draw = DRAW_TRACK;
        im.param = n == 106;
        im.w = im.h = 8;
    } else if (n >= 784 && n <= 810) {
        im.draw = DRAW_FRAME;
        im.param = n - 784;
        im.w = im.h = 8;
    } else if (n == 102 || n == 782 || n == 783 || (n >= 426 && n <= 428)) {
        im.draw = DRAW_BUTTON;
        im.w = 24;
        im.h = 16;
    }
    for (const ARROW &a : kArrows)
        if (a.n == n) {
            im.draw = DRAW_ARROW;
            im.param = a.param;
            im.w = im.h = 8;
        }
    for (const ARROW &a : kThumbs)
        if (a.n == n) {
            im.draw = DRAW_THUMB;
            im.param = a.param;
            im.w = im.h = 8;
        }
    static const int kTopLit[6] = {711, 759, 478, 424, 350, 621};
    for (int b = 0; b < 6; b++)
        if (kTopLit[b] == n) {
            im.draw = DRAW_TOPBUTTON;
            im.param = b;
            im.w = im.h = kTopButtonSize;
        }
    if (n >= 733 && n <= 737) {
        im.draw = DRAW_TOPBAR;
        im.param = n - 733;
        im.w = kTopBarPieceWidth;
        im.h = kTopBarHeight;
    } else if (n >= 719 && n <= 723) {
        im.draw = DRAW_LAMP;
        im.param = n - 719;
        im.w = im.h = 10;
    }
    if (IsFileScreenImage(n)) {
        im.draw = DRAW_FILESCREEN;
        im.param = n;
        const bool frame = n == 327 || (n >= 407 && n <= 411), sheet = n == 110 || n == 135 || n == 136;
        const bool folder = n == 114 || n == 115;
        im.w = frame ? 36 : sheet ? 16 : 24;
        im.h = frame ? 28 : sheet ? 22 : folder ? 20 : 24;
    }
    if (IsJamImage(n)) {
        im.draw = DRAW_JAM;
        im.param = n;
        JamImageSize(n, im.w, im.h);
    }
    if (n == 468 || n == 432) {
        im.draw = DRAW_AM;
        im.param = n == 432;
        im.w = 24;
        im.h = 16;
    }
    int gw = 0, gh = 0;
    GridImageSize(n, gw, gh);
    if (gw) {
        im.draw = DRAW_GRID;
        im.param = n;
        im.w = gw;
        im.h = gh;
    }
}

int Align8(int v)
{
    return (v + 7) & ~7;
}

INTERFACESET Build()
{
    INTERFACESET set;
    for (const CONTENTFONT &f : g_atContentFonts) {
        FONTSHEET sheet;
        std::string err;
        if (!Content_RenderFontSheet(f, sheet, err)) {
            set.error = err;
            set.sheets.clear();
            set.fontFiles.clear();
            break;
        }
        CONTENTFILE file;
        file.path = "gfx/fonts/" + f.name + ".bin";
        file.data = sheet.file;
        set.fontFiles.push_back(std::move(file));
        set.sheets.push_back(std::move(sheet));
    }

    set.images.resize(CONTENT_IMAGE_RECORDS);
    for (int n = 0; n < CONTENT_IMAGE_RECORDS; n++) {
        CONTENTIMAGE &im = set.images[static_cast<size_t>(n)];
        Describe(n, im);
        if (im.draw == DRAW_FONT) {
            // Without its sheet a font image keeps one blank line, so the table stays whole.
            const bool have = im.param < static_cast<int>(set.sheets.size());
            im.w = have ? set.sheets[static_cast<size_t>(im.param)].width : CONTENT_FONT_SHEET_WIDTH;
            im.h = have ? set.sheets[static_cast<size_t>(im.param)].rows : 1;
        }
    }

    // Shelves. Images drawn under one draw mode share a page: the scroll bar's parts and the
    // window frame's pieces go first, then the fonts, then the rest in number order.
    std::vector<int> order;
    for (int n : {105, 106, 107, 108, 299, 300, 301, 302, 688, 689, 690, 691, 692, 693, 694, 695})
        order.push_back(n);
    for (int n = 784; n <= 810; n++)
        order.push_back(n);
    for (int n = 0; n < CONTENT_IMAGE_RECORDS; n++)
        if (!Content_IsGridImage(n) && std::find(order.begin(), order.end(), n) == order.end())
            order.push_back(n);
    // The grid's images last, on a picture of their own: its cells are drawn under one draw mode,
    // so they must share it (packed edge to edge: cells are drawn whole and never tiled). Row
    // headers and strips carry their own page and follow.
    const size_t gridFrom = order.size();
    const auto isCell = [](int n, int side) {
        int w = 0, h = 0;
        GridImageSize(n, w, h);
        return w == side && h == side;
    };
    size_t smallFrom = 0;
    for (int side : {24, 6}) {
        if (side == 6)
            smallFrom = order.size();
        for (int n = 0; n < CONTENT_IMAGE_RECORDS; n++)
            if (isCell(n, side))
                order.push_back(n);
    }
    // The riff editor's cells share the cells' picture too, after the small ones.
    const auto isRiffCell = [](int n) { return n >= 968 && n <= 980; };
    for (int n = 968; n <= 980; n++)
        order.push_back(n);
    const size_t cellsEnd = order.size();
    for (int n = 0; n < CONTENT_IMAGE_RECORDS; n++)
        if (Content_IsGridImage(n) && !isCell(n, 24) && !isCell(n, 6) && !isRiffCell(n))
            order.push_back(n);
    int page = CONTENT_FIRST_PICTURE, x = 0, y = 0, shelf = 0;
    for (size_t k = 0; k < order.size(); k++) {
        const int n = order[k];
        CONTENTIMAGE &im = set.images[static_cast<size_t>(n)];
        const bool cell = k >= gridFrom && k < smallFrom;
        (void)cellsEnd;
        if (k == gridFrom && (x || y)) {
            ++page;
            x = y = shelf = 0;
        }
        // The small cells start a shelf of their own, clear of the big ones packed edge to edge.
        if (k == smallFrom) {
            x = 0;
            y += shelf + 8;
            shelf = 0;
        }
        const int cw = std::min(Align8(im.w + (cell ? 0 : 1)), CONTENT_PICTURE_SIDE), ch = Align8(im.h + (cell ? 0 : 1));
        if (x + cw > CONTENT_PICTURE_SIDE) {
            x = 0;
            y += shelf;
            shelf = 0;
        }
        if (y + ch > CONTENT_PICTURE_SIDE) {
            ++page;
            x = y = shelf = 0;
        }
        im.page = std::min(page, CONTENT_LAST_PICTURE);
        im.u = x;
        im.v = y;
        x += cw;
        shelf = std::max(shelf, ch);
    }

    const int pages = CONTENT_LAST_PICTURE - CONTENT_FIRST_PICTURE + 1;
    set.pictures.assign(static_cast<size_t>(pages),
                        std::vector<uint8_t>(CONTENT_PICTURE_SIDE * CONTENT_PICTURE_SIDE * 3, 0));
    for (int n = 0; n < CONTENT_IMAGE_RECORDS; n++) {
        const CONTENTIMAGE &im = set.images[static_cast<size_t>(n)];
        Canvas c{&set.pictures[static_cast<size_t>(im.page - CONTENT_FIRST_PICTURE)], im.u, im.v, im.w, im.h};
        DrawImage(im, n, c, set);
    }
    return set;
}

} // namespace

const INTERFACESET &Content_InterfaceSet()
{
    static const INTERFACESET s_set = Build();
    return s_set;
}
