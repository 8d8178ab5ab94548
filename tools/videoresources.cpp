#include "tools/videoresources.h"

#include "tools/videogen.h"
#include "video/resformat.h"

#include <algorithm>
#include <cstdio>

namespace {

// ---- Point lists ----

std::vector<CONTENTPOINT> Points(int count, const std::function<V3(double)> &at, int keyEvery, bool closed)
{
    std::vector<CONTENTPOINT> pts;
    for (int i = 0; i < count; i++) {
        const V3 p = at(closed ? double(i) / count : (count > 1 ? double(i) / (count - 1) : 0));
        pts.push_back({static_cast<int32_t>(std::lround(p.x)), static_cast<int32_t>(std::lround(p.y)),
                       static_cast<int32_t>(std::lround(p.z)), i % keyEvery == 0});
    }
    return pts;
}

// Layout n of q points (all keys).
std::vector<CONTENTPOINT> Layout(int shape, int q)
{
    switch (shape) {
    case 0: // line
        return Points(q, [q](double t) { return V3{q > 1 ? -220 + 440 * t : 0, 0, 0}; }, 1, false);
    case 1: // ring
        return Points(q, [](double t) { return V3{220 * std::cos(2 * kPi * t), 0, 220 * std::sin(2 * kPi * t)}; }, 1, true);
    case 2: { // grid
        const int cols = std::max(1, static_cast<int>(std::ceil(std::sqrt(q))));
        const int rows = (q + cols - 1) / cols;
        std::vector<CONTENTPOINT> pts;
        for (int i = 0; i < q; i++) {
            const int c = i % cols, r = i / cols;
            const double step = 440.0 / std::max(1, cols - 1);
            pts.push_back({static_cast<int32_t>(cols > 1 ? -220 + c * step : 0), 0,
                           static_cast<int32_t>(rows > 1 ? -220 + r * (440.0 / (rows - 1)) : 0), true});
        }
        return pts;
    }
    case 3: // helix
        return Points(q, [](double t) {
            return V3{160 * std::cos(4 * kPi * t), 220 - 440 * t, 160 * std::sin(4 * kPi * t)};
        }, 1, false);
    case 4: { // cloud
        std::vector<CONTENTPOINT> pts;
        for (int i = 0; i < q; i++) {
            auto r = [&](int k) { return static_cast<int32_t>((Hash(i, q, k) % 441) - 220); };
            pts.push_back({r(1), r(2), r(3), true});
        }
        return pts;
    }
    default: { // sphere, evenly spread
        std::vector<CONTENTPOINT> pts;
        const double golden = kPi * (3 - std::sqrt(5.0));
        for (int i = 0; i < q; i++) {
            const double y = q > 1 ? 1 - 2.0 * i / (q - 1) : 0, r = std::sqrt(std::max(0.0, 1 - y * y));
            pts.push_back({static_cast<int32_t>(std::lround(220 * r * std::cos(golden * i))),
                           static_cast<int32_t>(std::lround(220 * y)),
                           static_cast<int32_t>(std::lround(220 * r * std::sin(golden * i))), true});
        }
        return pts;
    }
    }
}

// ---- Animations of a model: vertex positions over eight frames ----

CONTENTANIM Animate(const CONTENTMODEL &m, int style)
{
    CONTENTANIM a;
    const int frames = 8, step = 256;
    a.loopStart = 0;
    a.loopEnd = static_cast<int16_t>(frames * step);
    a.groupItems = {static_cast<int16_t>(m.vertices.size())};
    double extent = 1;
    for (const auto &v : m.vertices)
        for (int16_t c : v)
            extent = std::max(extent, std::fabs(double(c)));
    for (int f = 0; f <= frames; f++) {
        CONTENTANIMFRAME fr;
        fr.time = static_cast<uint16_t>(f * step);
        const double phase = 2 * kPi * f / frames;
        std::vector<std::array<int16_t, 4>> items;
        for (size_t i = 0; i < m.vertices.size(); i++) {
            double x = m.vertices[i][0], y = m.vertices[i][1], z = m.vertices[i][2];
            if (style == 0) { // pulse
                const double s = 1 + 0.18 * std::sin(phase);
                x *= s, y *= s, z *= s;
            } else if (style == 1) { // wobble
                x += 0.15 * extent * std::sin(phase + y / extent * 3);
                z += 0.15 * extent * std::cos(phase + y / extent * 3);
            } else { // twist
                const double ang = 0.6 * std::sin(phase) * (y / extent);
                const double c = std::cos(ang), s = std::sin(ang);
                const double nx = x * c - z * s, nz = x * s + z * c;
                x = nx, z = nz;
            }
            auto clamp = [](double v) { return static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L)); };
            items.push_back({clamp(x), clamp(y), clamp(z), static_cast<int16_t>(i)});
        }
        fr.groups.push_back(std::move(items));
        a.frames.push_back(std::move(fr));
    }
    return a;
}

// Textures of the textured family (folder 3 of the model textures), by texture number.
const TEXTUREKIND kModelTextures[] = {TEX_BRICKS, TEX_MARBLE, TEX_PLASMA, TEX_WOOD};
// One texture in each other family's folder, so each holds something.
const TEXTUREKIND kFamilyTextures[] = {TEX_CHECKER, TEX_RINGS, TEX_NEONGRID, TEX_BRICKS, TEX_ICE};


std::string Letters(const std::string &folder, int index)
{
    return folder + "/" + Content_FolderLetter(index);
}

void AddItem(std::vector<VIDEOITEM> &items, const std::string &folder, const std::string &name, const std::string &shown,
             std::vector<uint8_t> data)
{
    items.push_back({folder, name, shown, std::move(data)});
}

} // namespace

char Content_FolderLetter(int index)
{
    return index < 26 ? static_cast<char>('A' + index) : static_cast<char>('0' + (index - 26));
}

char Content_LetterOfCode(int code)
{
    if (code < 10)
        return static_cast<char>('0' + code);
    if (code < 36)
        return static_cast<char>('A' + code - 10);
    return static_cast<char>('a' + code - 36);
}

int Content_ModelFamilyCount()
{
    return static_cast<int>(Content_ModelFamilies().size());
}

std::vector<CONTENTRGB> Content_ChasePaletteColours()
{
    // Eight greys, then fifteen hues in eight shades from deep to pale.
    std::vector<CONTENTRGB> c;
    for (int i = 0; i < 8; i++)
        c.push_back(Rgb(i * 255 / 7, i * 255 / 7, i * 255 / 7));
    for (int h = 0; h < 15; h++) {
        for (int s = 0; s < 8; s++) {
            const double value = 0.35 + 0.65 * std::min(1.0, s / 4.0);
            const double sat = s < 5 ? 0.95 : 0.95 - (s - 4) * 0.22;
            c.push_back(Hsv(h / 15.0, sat, value));
        }
    }
    return c;
}

std::vector<CONTENTFILE> Content_VideoDataFiles()
{
    const std::vector<CONTENTRGB> colours = Content_ChasePaletteColours();
    std::vector<uint16_t> palette;
    for (const CONTENTRGB &c : colours)
        palette.push_back(Content_Colour15(c.r, c.g, c.b));
    // An 8-bit picture of 128 x 1 showing the palette itself.
    std::vector<uint8_t> indices(128);
    for (int i = 0; i < 128; i++)
        indices[i] = static_cast<uint8_t>(i);
    CONTENTFILE f;
    f.path = "BOOT/PALETTE.PAL";
    f.data = Content_WriteTim8(128, 1, indices, palette);
    return {f};
}

void Content_VideoResources(std::vector<VIDEOFOLDER> &folders, std::vector<VIDEOITEM> &items)
{
    folders.clear();
    items.clear();
    auto folder = [&](const std::string &path, const std::string &title) { folders.push_back({path, title}); };

    // Models, their textures and their animations.
    folder("B", "Objects");
    folder("B/B", "Models");
    folder("B/D", "Model textures");
    folder("B/H", "Animations");
    const std::vector<MODELFAMILY> families = Content_ModelFamilies();
    for (size_t f = 0; f < families.size(); f++) {
        const std::string fam = Letters("B/B", static_cast<int>(f));
        folder(fam, families[f].title);
        const std::string tex = Letters("B/D", static_cast<int>(f));
        folder(tex, families[f].title);
        const std::string anim = Letters("B/H", static_cast<int>(f));
        folder(anim, families[f].title);
        if (f == 3) {
            const char *names[] = {"Bricks", "Marble", "Plasma", "Wood"};
            for (int t = 0; t < 4; t++)
                AddItem(items, tex, std::string("TEX") + char('0' + t), names[t], Content_TextureTim(kModelTextures[t]));
        } else {
            AddItem(items, tex, "TEX0", "Pattern", Content_TextureTim(kFamilyTextures[f % 5]));
        }
        const std::vector<MODELENTRY> &models = families[f].models;
        for (size_t i = 0; i < models.size(); i++) {
            const CONTENTMODEL model = models[i].make();
            AddItem(items, fam, models[i].name, models[i].shown, Content_WriteModel(model));
            // The size probe of item i + 1 (5 bytes or more: it has animations), then its folder.
            AddItem(items, anim, std::string("ITEM") + std::to_string(i + 1), models[i].shown, {'A', 'N', 'I', 'M', 3});
            const std::string sub = Letters(anim, static_cast<int>(i));
            folder(sub, models[i].shown);
            const char *styles[] = {"Pulse", "Wobble", "Twist"};
            for (int s = 0; s < 3; s++)
                AddItem(items, sub, std::string(styles[s]).substr(0, 8), styles[s],
                        Content_WriteAnimation(Animate(model, s)));
        }
    }

    // Layouts: folder q - 1 holds the layouts of q points (1..32), then a spare of 48.
    folder("B/F", "Layouts");
    const char *layoutNames[] = {"Line", "Ring", "Grid", "Helix", "Cloud", "Sphere"};
    for (int q = 1; q <= 33; q++) {
        const int count = q <= 32 ? q : 48;
        const std::string dir = Letters("B/F", q - 1);
        folder(dir, std::to_string(count) + " points");
        for (int s = 0; s < 6; s++)
            AddItem(items, dir, std::string(layoutNames[s]).substr(0, 8), layoutNames[s],
                    Content_WritePointList(Layout(s, count), s == 1));
    }

    // Backgrounds and their textures.
    folder("D", "Backgrounds");
    folder("D/B", "Background models");
    folder("D/D", "Background textures");
    folder("D/B/A", "Skies");
    folder("D/D/A", "Skies");
    AddItem(items, "D/B/A", "DOME", "Sky dome", Content_WriteModel(Content_Dome()));
    AddItem(items, "D/B/A", "STARS", "Night sky", Content_WriteModel(Content_StarSphere()));
    AddItem(items, "D/D/A", "SKY", "Sky", Content_TextureTim(TEX_SKY));
    AddItem(items, "D/D/A", "SUNSET", "Sunset", Content_TextureTim(TEX_SUNSET));
    folder("D/B/B", "Rooms");
    folder("D/D/B", "Rooms");
    AddItem(items, "D/B/B", "TUNNEL", "Tunnel box", Content_WriteModel(Content_Room(700, 500, 5600, 0, true)));
    AddItem(items, "D/B/B", "ROOM", "Room", Content_WriteModel(Content_Room(2600, 1400, 2600, 1, false)));
    AddItem(items, "D/D/B", "PANELS", "Panels", Content_TextureTim(TEX_PANELS));
    AddItem(items, "D/D/B", "BRICKS", "Bricks", Content_TextureTim(TEX_BRICKS));
    folder("D/B/C", "Floors");
    folder("D/D/C", "Floors");
    AddItem(items, "D/B/C", "GRID", "Floor grid", Content_WriteModel(Content_Floor(true)));
    AddItem(items, "D/B/C", "CHECKS", "Checker floor", Content_WriteModel(Content_Floor(false)));
    AddItem(items, "D/D/C", "NEON", "Neon grid", Content_TextureTim(TEX_NEONGRID));

    // Map textures: the 16 user-image places first.
    folder("F", "Textures");
    folder("F/A", "Your pictures");
    for (int i = 0; i < 16; i++)
        AddItem(items, "F/A", "USER" + std::to_string(i + 1), "Picture " + std::to_string(i + 1), Content_PlaceholderTim(i));
    const struct
    {
        const char *title;
        std::vector<std::pair<TEXTUREKIND, const char *>> textures;
    } mapFamilies[] = {
        {"Patterns", {{TEX_CHECKER, "Checks"}, {TEX_STRIPES, "Stripes"}, {TEX_DOTS, "Dots"}, {TEX_WAVES, "Waves"},
                      {TEX_TARTAN, "Tartan"}, {TEX_NEONGRID, "Neon grid"}}},
        {"Materials", {{TEX_MARBLE, "Marble"}, {TEX_WOOD, "Wood"}, {TEX_BRICKS, "Bricks"}, {TEX_METAL, "Metal"},
                       {TEX_ICE, "Ice"}, {TEX_LAVA, "Lava"}}},
        {"Colours", {{TEX_PLASMA, "Plasma"}, {TEX_RAINBOW, "Rainbow"}, {TEX_SUNSET, "Sunset"}, {TEX_RINGS, "Rings"}}},
    };
    for (size_t f = 0; f < sizeof(mapFamilies) / sizeof(mapFamilies[0]); f++) {
        const std::string dir = Letters("F", static_cast<int>(f + 1));
        folder(dir, mapFamilies[f].title);
        for (size_t t = 0; t < mapFamilies[f].textures.size(); t++)
            AddItem(items, dir, "MAP" + std::to_string(t), mapFamilies[f].textures[t].second,
                    Content_TextureTim(mapFamilies[f].textures[t].first));
    }

    // Paths: closed and open, four families; family 2 holds the camera flights.
    folder("H", "Paths");
    struct PATHDEF
    {
        const char *name;
        bool closed;
        std::function<V3(double)> at;
    };
    const struct
    {
        const char *title;
        std::vector<PATHDEF> paths;
    } pathFamilies[] = {
        {"Circles",
         {{"Circle", true, [](double t) { return V3{160 * std::cos(2 * kPi * t), 0, 160 * std::sin(2 * kPi * t)}; }},
          {"Upright", true, [](double t) { return V3{160 * std::cos(2 * kPi * t), 160 * std::sin(2 * kPi * t), 0}; }},
          {"Ellipse", true, [](double t) { return V3{220 * std::cos(2 * kPi * t), 0, 100 * std::sin(2 * kPi * t)}; }},
          {"Figure 8", true, [](double t) {
               return V3{180 * std::sin(2 * kPi * t), 0, 120 * std::sin(4 * kPi * t)};
           }}}},
        {"Waves",
         {{"Sine", false, [](double t) { return V3{-240 + 480 * t, 80 * std::sin(4 * kPi * t), 0}; }},
          {"Zigzag", false, [](double t) {
               const double f = t * 4 - std::floor(t * 4);
               return V3{-240 + 480 * t, 100 * (f < 0.5 ? f * 4 - 1 : 3 - f * 4), 0};
           }},
          {"Bounce", false, [](double t) { return V3{-240 + 480 * t, -160 * std::fabs(std::sin(3 * kPi * t)) + 80, 0}; }},
          {"Rise", false, [](double t) { return V3{0, 200 - 400 * t, 0}; }}}},
        {"Flights",
         {{"Orbit", true, [](double t) { return V3{180 * std::cos(2 * kPi * t), -40, 180 * std::sin(2 * kPi * t)}; }},
          {"High", true, [](double t) { return V3{150 * std::cos(2 * kPi * t), -140, 150 * std::sin(2 * kPi * t)}; }},
          {"Swoop", true, [](double t) {
               return V3{190 * std::cos(2 * kPi * t), -60 - 90 * std::sin(4 * kPi * t), 190 * std::sin(2 * kPi * t)};
           }},
          {"Spiral", true, [](double t) {
               const double r = 120 + 70 * std::sin(2 * kPi * t);
               return V3{r * std::cos(6 * kPi * t), -100 * std::cos(2 * kPi * t), r * std::sin(6 * kPi * t)};
           }},
          {"Eight", true, [](double t) {
               return V3{200 * std::sin(2 * kPi * t), -60 * std::cos(4 * kPi * t) - 40, 140 * std::sin(4 * kPi * t)};
           }},
          {"Pendulum", true, [](double t) {
               const double a = 0.9 * std::sin(2 * kPi * t);
               return V3{180 * std::sin(a), -60 - 40 * std::cos(2 * a), -180 * std::cos(a)};
           }},
          {"Approach", true, [](double t) {
               const double r = 110 + 90 * (0.5 + 0.5 * std::cos(2 * kPi * t));
               return V3{r * std::sin(2 * kPi * t) * 0.5, -50, -r};
           }},
          {"Sweep", true, [](double t) {
               return V3{200 * std::cos(2 * kPi * t), -50 + 30 * std::sin(6 * kPi * t), 120 * std::sin(2 * kPi * t) - 60};
           }},
          {"Coaster", true, [](double t) {
               return V3{190 * std::cos(2 * kPi * t), -80 - 70 * std::sin(6 * kPi * t), 190 * std::sin(2 * kPi * t)};
           }}}},
        {"Knots",
         {{"Trefoil", true, [](double t) {
               const double a = 2 * kPi * t;
               return V3{60 * (std::sin(a) + 2 * std::sin(2 * a)), 60 * (std::cos(a) - 2 * std::cos(2 * a)), -60 * std::sin(3 * a)};
           }},
          {"Lissajou", true, [](double t) {
               return V3{180 * std::sin(2 * kPi * 3 * t), 140 * std::sin(2 * kPi * 2 * t), 100 * std::cos(2 * kPi * t)};
           }},
          {"Square", true, [](double t) {
               const double s = t * 4;
               const int side = std::min(3, static_cast<int>(s));
               const double f = s - side;
               const V3 c[4] = {{-150, 0, -150}, {150, 0, -150}, {150, 0, 150}, {-150, 0, 150}};
               return c[side] + (c[(side + 1) % 4] - c[side]) * f;
           }},
          {"Star", true, [](double t) {
               const double a = 2 * kPi * t, r = 100 + 80 * std::cos(5 * a);
               return V3{r * std::cos(a), 0, r * std::sin(a)};
           }}}},
    };
    for (size_t f = 0; f < sizeof(pathFamilies) / sizeof(pathFamilies[0]); f++) {
        const std::string dir = Letters("H", static_cast<int>(f));
        folder(dir, pathFamilies[f].title);
        for (size_t p = 0; p < pathFamilies[f].paths.size(); p++) {
            const PATHDEF &d = pathFamilies[f].paths[p];
            // A key every fourth point: each segment bends through three points between keys.
            const int count = d.closed ? 48 : 33;
            AddItem(items, dir, "PATH" + std::to_string(p), d.name, Content_WritePointList(Points(count, d.at, 4, d.closed), d.closed));
        }
    }

    // Particle sprites.
    folder("J", "Particles");
    folder("J/A", "Sprites");
    AddItem(items, "J/A", "SOFT", "Soft glow", Content_SpriteTim(0));
    AddItem(items, "J/A", "SPARKLE", "Sparkle", Content_SpriteTim(1));
    AddItem(items, "J/A", "RINGLET", "Ringlet", Content_SpriteTim(2));

    // The letter font: model n is the character of code n.
    folder("L", "Fonts");
    folder("L/A", "Block letters");
    for (int code = 0; code < CONTENT_LETTER_COUNT; code++) {
        const char ch = Content_LetterOfCode(code);
        const std::string name = (ch >= 'a' ? std::string("LOW_") : std::string("CHR_")) + char(ch >= 'a' ? ch - 32 : ch);
        AddItem(items, "L/A", name, std::string(1, ch), Content_WriteModel(Content_LetterModel(ch)));
    }

    // Tunnels: profiles (16 points, closed) and closed paths.
    folder("P", "Tunnels");
    folder("P/A", "Profiles");
    folder("P/B", "Tunnel paths");
    const struct
    {
        const char *name;
        std::function<V3(double)> at;
    } profiles[] = {
        {"Round", [](double t) { return V3{120 * std::cos(2 * kPi * t), 120 * std::sin(2 * kPi * t), 0}; }},
        {"Square", [](double t) {
             const double a = 2 * kPi * t, c = std::cos(a), s = std::sin(a), m = std::max(std::fabs(c), std::fabs(s));
             return V3{120 * c / m, 120 * s / m, 0};
         }},
        {"Flower", [](double t) {
             const double a = 2 * kPi * t, r = 110 + 30 * std::cos(4 * a);
             return V3{r * std::cos(a), r * std::sin(a), 0};
         }},
        {"Star", [](double t) {
             const double a = 2 * kPi * t, r = (static_cast<int>(std::lround(t * 16)) % 2) ? 70 : 140;
             return V3{r * std::cos(a), r * std::sin(a), 0};
         }},
        {"Oval", [](double t) { return V3{150 * std::cos(2 * kPi * t), 90 * std::sin(2 * kPi * t), 0}; }},
    };
    for (size_t i = 0; i < sizeof(profiles) / sizeof(profiles[0]); i++)
        AddItem(items, "P/A", "PROF" + std::to_string(i), profiles[i].name,
                Content_WritePointList(Points(16, profiles[i].at, 1, true), true));
    const struct
    {
        const char *name;
        std::function<V3(double)> at;
    } tunnels[] = {
        {"Loop", [](double t) { return V3{3200 * std::cos(2 * kPi * t), 0, 3200 * std::sin(2 * kPi * t)}; }},
        {"Hills", [](double t) {
             return V3{3400 * std::cos(2 * kPi * t), 700 * std::sin(6 * kPi * t), 3400 * std::sin(2 * kPi * t)};
         }},
        {"Twister", [](double t) {
             const double a = 2 * kPi * t;
             return V3{3000 * std::sin(a), 900 * std::sin(2 * a), 2200 * std::sin(2 * a)};
         }},
        {"Knot", [](double t) {
             const double a = 2 * kPi * t;
             return V3{1100 * (std::sin(a) + 2 * std::sin(2 * a)), 1100 * (std::cos(a) - 2 * std::cos(2 * a)),
                       -1100 * std::sin(3 * a)};
         }},
    };
    for (size_t i = 0; i < sizeof(tunnels) / sizeof(tunnels[0]); i++)
        AddItem(items, "P/B", "TUBE" + std::to_string(i), tunnels[i].name,
                Content_WritePointList(Points(48, tunnels[i].at, 1, true), true));

    // Text definitions belong to the movie chase, which this studio does not have; the folder
    // is there with one example so the kind has its tree.
    folder("T", "Texts");
    folder("T/A", "Titles");
    AddItem(items, "T/A", "TITLE", "Title", Content_WriteTextDef("TONNIVELLE", 0, 0));
}

bool Content_AddVideoResources(PACKDIR &root, std::string &err)
{
    std::vector<VIDEOFOLDER> folders;
    std::vector<VIDEOITEM> items;
    Content_VideoResources(folders, items);
    for (const VIDEOFOLDER &f : folders)
        Pack_Dir(root, f.path).title = f.title;
    for (VIDEOITEM &i : items) {
        if (i.name.empty() || i.name.size() > 8 || i.data.empty()) {
            err = i.folder + "/" + i.name + ": not an archive entry";
            return false;
        }
        PACKFILE file;
        file.name = i.name;
        file.shown = i.shown;
        file.data = std::move(i.data);
        Pack_Dir(root, i.folder).files.push_back(std::move(file));
    }
    return true;
}

