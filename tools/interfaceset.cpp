#include "tools/interfaceset.h"

#include "tools/interfacepictures.h"
#include "tools/tilecontent.h"

#include <algorithm>
#include <cstdlib>

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

    void Plot(int x, int y, RGB c)
    {
        if (x < 0 || y < 0 || x >= w || y >= h)
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
void Symbol(Canvas &c, int x, int y, int size, int shape)
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
                c.Plot(x + i, y + j, kWhite);
        }
}

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
    case DRAW_NONE:
        break;
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
        if (std::find(order.begin(), order.end(), n) == order.end())
            order.push_back(n);
    int page = CONTENT_FIRST_PICTURE, x = 0, y = 0, shelf = 0;
    for (int n : order) {
        CONTENTIMAGE &im = set.images[static_cast<size_t>(n)];
        const int cw = std::min(Align8(im.w + 1), CONTENT_PICTURE_SIDE), ch = Align8(im.h + 1);
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
