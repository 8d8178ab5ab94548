#include "tools/interfacepictures.h"

#include <algorithm>
#include <cstdio>

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

struct Picture
{
    std::vector<uint8_t> rgb = std::vector<uint8_t>(CONTENT_PICTURE_SIDE * CONTENT_PICTURE_SIDE * 3, 0);

    void Plot(int x, int y, RGB c)
    {
        if (x < 0 || y < 0 || x >= CONTENT_PICTURE_SIDE || y >= CONTENT_PICTURE_SIDE)
            return;
        c = Visible(c);
        uint8_t *p = &rgb[(static_cast<size_t>(y) * CONTENT_PICTURE_SIDE + x) * 3];
        p[0] = static_cast<uint8_t>(c.r);
        p[1] = static_cast<uint8_t>(c.g);
        p[2] = static_cast<uint8_t>(c.b);
    }

    void Fill(int x, int y, int w, int h, RGB c)
    {
        for (int j = 0; j < h; j++)
            for (int i = 0; i < w; i++)
                Plot(x + i, y + j, c);
    }

    void Frame(int x, int y, int w, int h, RGB c)
    {
        Fill(x, y, w, 1, c);
        Fill(x, y + h - 1, w, 1, c);
        Fill(x, y, 1, h, c);
        Fill(x + w - 1, y, 1, h, c);
    }

    // Raised panel: light edges top and left, shadow bottom and right.
    void Bevel(int x, int y, int w, int h, RGB face, bool raised)
    {
        Fill(x, y, w, h, face);
        RGB light = Scale(face, 150), dark = Scale(face, 50);
        if (!raised)
            std::swap(light, dark);
        for (int k = 0; k < 2; k++) {
            Fill(x + k, y + k, w - 2 * k, 1, light);
            Fill(x + k, y + k, 1, h - 2 * k, light);
            Fill(x + k, y + h - 1 - k, w - 2 * k, 1, dark);
            Fill(x + w - 1 - k, y + k, 1, h - 2 * k, dark);
        }
    }

    // Button with a face shading from light at the top to the plain colour at the bottom.
    void Button(int x, int y, int w, int h, RGB face)
    {
        for (int j = 0; j < h; j++)
            Fill(x + 1, y + j, w - 2, 1, Scale(face, 130 - 30 * j / std::max(1, h - 1)));
        Fill(x + 2, y, w - 4, 1, Scale(face, 60));
        Fill(x + 2, y + h - 1, w - 4, 1, Scale(face, 60));
        Fill(x, y + 2, 1, h - 4, Scale(face, 60));
        Fill(x + w - 1, y + 2, 1, h - 4, Scale(face, 60));
        Plot(x + 1, y + 1, Scale(face, 60));
        Plot(x + w - 2, y + 1, Scale(face, 60));
        Plot(x + 1, y + h - 2, Scale(face, 60));
        Plot(x + w - 2, y + h - 2, Scale(face, 60));
    }

    // Right-pointing triangle mark inside a size x size box.
    void Arrow(int x, int y, int size, RGB c)
    {
        for (int j = 0; j < size; j++) {
            int len = size / 2 - std::abs(j - size / 2);
            Fill(x, y + j, len, 1, c);
        }
    }
};

RGB PageHue(int page)
{
    static const RGB kHues[] = {{70, 110, 170}, {90, 150, 110}, {170, 120, 70}, {140, 90, 160},
                                {80, 150, 160}, {160, 80, 90},  {120, 130, 140}, {150, 150, 80}};
    return kHues[page % 8];
}

} // namespace

std::vector<uint8_t> Content_InterfacePicture(int page)
{
    Picture p;
    const RGB hue = PageHue(page);
    const RGB grey = {150, 150, 160};
    // A 4 x 4 grid of 64 x 64 cells; the kind of each cell turns with the page so no two pages
    // look alike.
    for (int cell = 0; cell < 16; cell++) {
        const int x = (cell % 4) * 64, y = (cell / 4) * 64;
        switch ((cell + page) % 5) {
        case 0: // window panel with a caption bar
            p.Bevel(x + 2, y + 2, 60, 60, grey, true);
            p.Fill(x + 5, y + 5, 54, 10, Scale(hue, 120));
            p.Bevel(x + 6, y + 19, 52, 38, Scale(grey, 80), false);
            break;
        case 1: // two buttons, one pressed
            p.Button(x + 4, y + 6, 56, 22, hue);
            p.Bevel(x + 4, y + 36, 56, 22, Scale(hue, 70), false);
            p.Arrow(x + 26, y + 40, 14, {230, 230, 230});
            break;
        case 2: // frames inside each other
            for (int k = 0; k < 4; k++)
                p.Frame(x + 4 + k * 7, y + 4 + k * 7, 56 - k * 14, 56 - k * 14, Scale(hue, 160 - k * 25));
            break;
        case 3: // level bar: a sunken trough with a graded fill
            p.Bevel(x + 4, y + 8, 56, 48, Scale(grey, 60), false);
            for (int j = 0; j < 40; j++)
                p.Fill(x + 10, y + 12 + j, 44 * (40 - j) / 40, 1, Scale(hue, 70 + j * 2));
            break;
        default: // round knob on a plate
            p.Bevel(x + 4, y + 4, 56, 56, Scale(grey, 90), true);
            for (int j = -20; j <= 20; j++)
                for (int i = -20; i <= 20; i++)
                    if (i * i + j * j <= 400)
                        p.Plot(x + 32 + i, y + 32 + j, Scale(hue, 140 - (i + j) / 2));
            p.Fill(x + 31, y + 14, 3, 16, {240, 240, 240});
            break;
        }
    }
    return p.rgb;
}

std::vector<CONTENTFILE> Content_InterfacePictureFiles()
{
    std::vector<CONTENTFILE> files;
    for (int page = CONTENT_FIRST_PICTURE; page <= CONTENT_LAST_PICTURE; page++) {
        char name[32];
        std::snprintf(name, sizeof name, "win%d.raw", page);
        CONTENTFILE f;
        f.path = name;
        f.data = Content_InterfacePicture(page);
        files.push_back(std::move(f));
    }
    return files;
}
