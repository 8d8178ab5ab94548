#include "tools/videogen.h"

#include <algorithm>

namespace {

// ---- Model building ----

// A flat face of 3 or 4 corners in cyclic order, its normal turned towards out.
void Face(CONTENTMODEL &m, std::initializer_list<V3> corners, CONTENTRGB colour, V3 out, bool semi = false)
{
    const std::vector<V3> p(corners);
    V3 n = Unit(Cross(p[1] - p[0], p[2] - p[0]));
    if (Dot(n, out) < 0)
        n = n * -1;
    CONTENTPRIM prim;
    prim.semi = semi;
    prim.colours[0] = colour;
    prim.normals[0] = m.Normal(n.x, n.y, n.z);
    if (p.size() == 3) {
        prim.group = 0;
        for (int c = 0; c < 3; c++)
            prim.vertices[c] = m.Vertex(p[c].x, p[c].y, p[c].z);
    } else {
        prim.group = 1;
        const int order[4] = {0, 1, 3, 2}; // cyclic to strip order
        for (int c = 0; c < 4; c++)
            prim.vertices[c] = m.Vertex(p[order[c]].x, p[order[c]].y, p[order[c]].z);
    }
    m.prims.push_back(prim);
}

// A face of an object centred on the origin: its normal points away from the centre.
void OutFace(CONTENTMODEL &m, std::initializer_list<V3> corners, CONTENTRGB colour, bool semi = false)
{
    V3 c{0, 0, 0};
    for (V3 p : corners)
        c = c + p;
    Face(m, corners, colour, c, semi);
}

struct SURFACEPOINT
{
    V3 p, n;
    CONTENTRGB colour;
};

// A quad patch of a smooth surface: corners in cyclic order. Textured when texture >= 0 (the u, v
// of each corner in uv).
void SmoothQuad(CONTENTMODEL &m, const SURFACEPOINT (&q)[4], bool semi, int texture = -1,
                const uint8_t (*uv)[2] = nullptr)
{
    CONTENTPRIM prim;
    prim.group = texture >= 0 ? 7 : 3;
    prim.semi = semi;
    const int order[4] = {0, 1, 3, 2};
    for (int c = 0; c < 4; c++) {
        const SURFACEPOINT &s = q[order[c]];
        prim.vertices[c] = m.Vertex(s.p.x, s.p.y, s.p.z);
        prim.normals[c] = m.Normal(s.n.x, s.n.y, s.n.z);
        prim.colours[c] = s.colour;
        if (uv) {
            prim.uv[c][0] = uv[order[c]][0];
            prim.uv[c][1] = uv[order[c]][1];
        }
    }
    if (texture >= 0)
        prim.texture = static_cast<uint16_t>(texture);
    m.prims.push_back(prim);
}

// A surface of nu x nv quads over (u, v) in 0..1. Textured surfaces map the texture repeatU x
// repeatV times.
void Surface(CONTENTMODEL &m, int nu, int nv, const std::function<SURFACEPOINT(double, double)> &at, bool semi = false,
             int texture = -1, int repeatU = 1, int repeatV = 1)
{
    for (int i = 0; i < nu; i++) {
        for (int j = 0; j < nv; j++) {
            const double u0 = double(i) / nu, u1 = double(i + 1) / nu, v0 = double(j) / nv, v1 = double(j + 1) / nv;
            const SURFACEPOINT q[4] = {at(u0, v0), at(u1, v0), at(u1, v1), at(u0, v1)};
            // Texture coordinates repeat; each quad takes its share of one repeat.
            auto span = [](double t0, double t1, int repeat, uint8_t *a, uint8_t *b) {
                const double s0 = t0 * repeat, s1 = t1 * repeat, base = std::floor(s0 + 1e-9);
                *a = static_cast<uint8_t>(std::lround(std::clamp(s0 - base, 0.0, 1.0) * 63));
                *b = static_cast<uint8_t>(std::lround(std::clamp(s1 - base, 0.0, 1.0) * 63));
            };
            uint8_t ua, ub, va, vb;
            span(u0, u1, repeatU, &ua, &ub);
            span(v0, v1, repeatV, &va, &vb);
            const uint8_t uv[4][2] = {{ua, va}, {ub, va}, {ub, vb}, {ua, vb}};
            SmoothQuad(m, q, semi, texture, texture >= 0 ? uv : nullptr);
        }
    }
}

// ---- Solids ----

CONTENTMODEL Cube(double h, const CONTENTRGB (&c)[6], bool semi = false)
{
    CONTENTMODEL m;
    const V3 p[8] = {{-h, -h, -h}, {h, -h, -h}, {h, h, -h}, {-h, h, -h}, {-h, -h, h}, {h, -h, h}, {h, h, h}, {-h, h, h}};
    OutFace(m, {p[0], p[1], p[2], p[3]}, c[0], semi);
    OutFace(m, {p[5], p[4], p[7], p[6]}, c[1], semi);
    OutFace(m, {p[4], p[0], p[3], p[7]}, c[2], semi);
    OutFace(m, {p[1], p[5], p[6], p[2]}, c[3], semi);
    OutFace(m, {p[4], p[5], p[1], p[0]}, c[4], semi);
    OutFace(m, {p[3], p[2], p[6], p[7]}, c[5], semi);
    m.colour = c[0];
    return m;
}

CONTENTMODEL Pyramid()
{
    CONTENTMODEL m;
    const double h = 130, b = 120;
    const V3 apex{0, -h, 0}, base[4] = {{-b, 90, -b}, {b, 90, -b}, {b, 90, b}, {-b, 90, b}};
    const V3 centre{0, 20, 0};
    const CONTENTRGB sides[4] = {Rgb(240, 196, 64), Rgb(224, 150, 40), Rgb(250, 214, 100), Rgb(200, 130, 30)};
    for (int i = 0; i < 4; i++) {
        const V3 a = base[i], b2 = base[(i + 1) % 4];
        Face(m, {apex, a, b2}, sides[i], (apex + a + b2) * (1.0 / 3) - centre);
    }
    Face(m, {base[0], base[1], base[2], base[3]}, Rgb(150, 90, 20), V3{0, 1, 0});
    m.colour = Rgb(255, 220, 120);
    return m;
}

// Faces of a convex solid given as index triples into verts, coloured by face.
CONTENTMODEL Polyhedron(const std::vector<V3> &verts, const std::vector<std::array<int, 3>> &faces,
                        const std::function<CONTENTRGB(int, V3)> &colour, bool semi = false)
{
    CONTENTMODEL m;
    for (size_t f = 0; f < faces.size(); f++) {
        const V3 a = verts[faces[f][0]], b = verts[faces[f][1]], c = verts[faces[f][2]];
        const V3 mid = (a + b + c) * (1.0 / 3);
        Face(m, {a, b, c}, colour(static_cast<int>(f), Unit(mid)), mid, semi);
    }
    return m;
}

std::vector<V3> IcosaVerts(double r)
{
    const double t = (1 + std::sqrt(5.0)) / 2;
    std::vector<V3> v = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                         {0, -1, -t}, {0, 1, -t}, {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    for (V3 &p : v)
        p = Unit(p) * r;
    return v;
}
const std::vector<std::array<int, 3>> kIcosaFaces = {
    {0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
    {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
    {3, 8, 9},  {4, 9, 5},  {2, 4, 11},  {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};

CONTENTMODEL Octahedron()
{
    const double r = 150;
    const std::vector<V3> v = {{r, 0, 0}, {-r, 0, 0}, {0, r, 0}, {0, -r, 0}, {0, 0, r}, {0, 0, -r}};
    const std::vector<std::array<int, 3>> f = {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4},
                                               {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};
    CONTENTMODEL m = Polyhedron(v, f, [](int i, V3) {
        return Hsv(0.52 + 0.05 * (i % 4), 0.7, i < 4 ? 0.95 : 0.75);
    });
    m.colour = Rgb(120, 230, 255);
    return m;
}

CONTENTMODEL Gem(bool semi)
{
    CONTENTMODEL m = Polyhedron(IcosaVerts(140), kIcosaFaces, [semi](int i, V3 n) {
        return semi ? Hsv(0.75 + 0.08 * n.y, 0.55, 0.95) : Hsv(0.9 + 0.1 * n.x, 0.75, 0.8 + 0.2 * (i % 2));
    }, semi);
    m.colour = Rgb(255, 120, 200);
    return m;
}

CONTENTMODEL Tetrahedron()
{
    const double r = 160;
    const std::vector<V3> v = {{r, r, r}, {-r, -r, r}, {-r, r, -r}, {r, -r, -r}};
    for (const V3 &p : v)
        (void)p;
    std::vector<V3> s;
    for (V3 p : v)
        s.push_back(Unit(p) * r);
    const std::vector<std::array<int, 3>> f = {{0, 1, 2}, {0, 3, 1}, {0, 2, 3}, {1, 3, 2}};
    CONTENTMODEL m = Polyhedron(s, f, [](int i, V3) {
        const CONTENTRGB c[4] = {Rgb(120, 220, 90), Rgb(60, 170, 70), Rgb(170, 240, 120), Rgb(40, 130, 60)};
        return c[i];
    });
    m.colour = Rgb(160, 255, 140);
    return m;
}

// A cut gem: a flat table, an eight-sided crown and a pointed pavilion.
CONTENTMODEL Diamond(bool semi)
{
    CONTENTMODEL m;
    const int n = 8;
    const double girdle = 150, table = 80, crownY = -50, tableY = -90, tipY = 140;
    std::vector<V3> g, t;
    for (int i = 0; i < n; i++) {
        const double a = 2 * kPi * i / n;
        g.push_back({girdle * std::cos(a), crownY + 40, girdle * std::sin(a)});
        t.push_back({table * std::cos(a + kPi / n), tableY, table * std::sin(a + kPi / n)});
    }
    const V3 tip{0, tipY, 0};
    for (int i = 0; i < n; i++) {
        const int j = (i + 1) % n;
        const CONTENTRGB light = semi ? Hsv(0.55, 0.25, 1.0) : Hsv(0.58, 0.35, 1.0);
        const CONTENTRGB dark = semi ? Hsv(0.6, 0.45, 0.9) : Hsv(0.62, 0.6, 0.8);
        OutFace(m, {g[i], g[j], t[i]}, light, semi);
        OutFace(m, {t[i], g[j], t[j]}, dark, semi);
        OutFace(m, {g[i], tip, g[j]}, i % 2 ? light : dark, semi);
    }
    // The table: a fan from its centre.
    const V3 c{0, tableY, 0};
    for (int i = 0; i < n; i++)
        Face(m, {c, t[i], t[(i + 1) % n]}, semi ? Hsv(0.55, 0.15, 1.0) : Hsv(0.56, 0.2, 1.0), V3{0, -1, 0}, semi);
    m.colour = Rgb(200, 240, 255);
    return m;
}

// ---- Curved shapes ----

CONTENTMODEL Sphere(double r, const std::function<CONTENTRGB(double, double)> &colour, bool semi = false,
                    int texture = -1, bool inward = false)
{
    CONTENTMODEL m;
    Surface(m, 18, 10, [&](double u, double v) {
        const double a = 2 * kPi * u, b = kPi * v;
        const V3 n{std::sin(b) * std::cos(a), -std::cos(b), std::sin(b) * std::sin(a)};
        return SURFACEPOINT{n * r, inward ? n * -1 : n, colour(u, v)};
    }, semi, texture, 2, 1);
    m.colour = colour(0, 0.5);
    return m;
}

CONTENTMODEL Torus(double big, double small, const std::function<CONTENTRGB(double, double)> &colour,
                   bool semi = false, int texture = -1)
{
    CONTENTMODEL m;
    Surface(m, 24, 12, [&](double u, double v) {
        const double a = 2 * kPi * u, b = 2 * kPi * v;
        const V3 ring{std::cos(a), 0, std::sin(a)};
        const V3 n = ring * std::cos(b) + V3{0, -std::sin(b), 0};
        return SURFACEPOINT{ring * big + n * small, n, colour(u, v)};
    }, semi, texture, 4, 1);
    m.colour = colour(0, 0);
    return m;
}

// A solid of revolution around y: profile (radius, y) from top to bottom, flat caps where the
// radius at an end is not 0.
CONTENTMODEL Lathe(const std::vector<std::pair<double, double>> &profile,
                   const std::function<CONTENTRGB(double, double)> &colour, int segments, int texture = -1)
{
    CONTENTMODEL m;
    const int rows = static_cast<int>(profile.size()) - 1;
    Surface(m, segments, rows, [&](double u, double v) {
        const int k = std::min(rows - 1, static_cast<int>(v * rows + 1e-9));
        const double f = v * rows - k;
        const double r = profile[k].first + (profile[k + 1].first - profile[k].first) * f;
        const double y = profile[k].second + (profile[k + 1].second - profile[k].second) * f;
        const double dr = profile[k + 1].first - profile[k].first, dy = profile[k + 1].second - profile[k].second;
        const double a = 2 * kPi * u;
        const V3 radial{std::cos(a), 0, std::sin(a)};
        // Normal: the profile's tangent turned outwards.
        const V3 n = Unit(radial * dy + V3{0, -dr, 0});
        return SURFACEPOINT{radial * r + V3{0, y, 0}, n, colour(u, v)};
    }, false, texture, 2, 1);
    for (int end = 0; end < 2; end++) {
        const auto &pr = end == 0 ? profile.front() : profile.back();
        if (pr.first <= 0)
            continue;
        const V3 c{0, pr.second, 0};
        for (int i = 0; i < segments; i++) {
            const double a0 = 2 * kPi * i / segments, a1 = 2 * kPi * (i + 1) / segments;
            const V3 p0{pr.first * std::cos(a0), pr.second, pr.first * std::sin(a0)};
            const V3 p1{pr.first * std::cos(a1), pr.second, pr.first * std::sin(a1)};
            Face(m, {c, p0, p1}, colour(0, end), V3{0, end == 0 ? -1.0 : 1.0, 0});
        }
    }
    m.colour = colour(0, 0.5);
    return m;
}

// A tube swept along a helix.
CONTENTMODEL Helix()
{
    CONTENTMODEL m;
    const double turns = 2.5, radius = 110, height = 260, tube = 26;
    Surface(m, 60, 8, [&](double u, double v) {
        const double a = 2 * kPi * turns * u;
        const V3 centre{radius * std::cos(a), -height / 2 + height * u, radius * std::sin(a)};
        const V3 tangent = Unit({-radius * std::sin(a) * 2 * kPi * turns, height, radius * std::cos(a) * 2 * kPi * turns});
        const V3 out{std::cos(a), 0, std::sin(a)};
        const V3 side = Unit(Cross(tangent, out));
        const double b = 2 * kPi * v;
        const V3 n = out * std::cos(b) + side * std::sin(b);
        return SURFACEPOINT{centre + n * tube, n, Hsv(0.0 + 0.8 * u, 0.8, 1.0)};
    });
    m.colour = Rgb(255, 255, 255);
    return m;
}

// ---- Extruded outlines ----

// An outline (x, y) that every ray from the origin crosses once, extruded depth deep along z.
CONTENTMODEL Extrude(const std::vector<std::pair<double, double>> &outline, double depth, CONTENTRGB front,
                     CONTENTRGB back, CONTENTRGB side)
{
    CONTENTMODEL m;
    const double f = -depth / 2, b = depth / 2;
    const size_t n = outline.size();
    for (size_t i = 0; i < n; i++) {
        const auto &p = outline[i], &q = outline[(i + 1) % n];
        Face(m, {{0, 0, f}, {p.first, p.second, f}, {q.first, q.second, f}}, front, V3{0, 0, -1});
        Face(m, {{0, 0, b}, {q.first, q.second, b}, {p.first, p.second, b}}, back, V3{0, 0, 1});
        const V3 out{(p.first + q.first) / 2, (p.second + q.second) / 2, 0};
        Face(m, {{p.first, p.second, f}, {q.first, q.second, f}, {q.first, q.second, b}, {p.first, p.second, b}}, side,
             out);
    }
    m.colour = front;
    return m;
}

// A five-pointed star with raised centres on both sides.
CONTENTMODEL Star()
{
    CONTENTMODEL m;
    std::vector<V3> rim;
    for (int i = 0; i < 10; i++) {
        const double a = -kPi / 2 + kPi * i / 5, r = i % 2 ? 70 : 170;
        rim.push_back({r * std::cos(a), r * std::sin(a), 0});
    }
    const V3 front{0, 0, -55}, back{0, 0, 55};
    for (int i = 0; i < 10; i++) {
        const V3 a = rim[i], b = rim[(i + 1) % 10];
        const CONTENTRGB c = i % 2 ? Rgb(255, 200, 40) : Rgb(255, 236, 120);
        const V3 mid = (a + b) * 0.5;
        Face(m, {front, a, b}, c, mid + V3{0, 0, -40});
        Face(m, {back, b, a}, i % 2 ? Rgb(220, 150, 20) : Rgb(240, 190, 60), mid + V3{0, 0, 40});
    }
    m.colour = Rgb(255, 240, 150);
    return m;
}

// A flat ring with square edges.
CONTENTMODEL Ring()
{
    CONTENTMODEL m;
    const int n = 32;
    const double ro = 170, ri = 120, h = 22;
    for (int i = 0; i < n; i++) {
        const double a0 = 2 * kPi * i / n, a1 = 2 * kPi * (i + 1) / n;
        const V3 o0{ro * std::cos(a0), 0, ro * std::sin(a0)}, o1{ro * std::cos(a1), 0, ro * std::sin(a1)};
        const V3 i0{ri * std::cos(a0), 0, ri * std::sin(a0)}, i1{ri * std::cos(a1), 0, ri * std::sin(a1)};
        const V3 up{0, -h, 0}, down{0, h, 0};
        const CONTENTRGB top = Hsv(double(i) / n, 0.65, 1.0), edge = Hsv(double(i) / n, 0.75, 0.75);
        Face(m, {o0 + up, o1 + up, i1 + up, i0 + up}, top, V3{0, -1, 0});
        Face(m, {o0 + down, i0 + down, i1 + down, o1 + down}, top, V3{0, 1, 0});
        Face(m, {o0 + up, o0 + down, o1 + down, o1 + up}, edge, (o0 + o1) * 0.5);
        Face(m, {i0 + up, i1 + up, i1 + down, i0 + down}, edge, (i0 + i1) * -0.5);
    }
    m.colour = Rgb(255, 255, 255);
    return m;
}

// An icosahedron with a spike raised on every face.
CONTENTMODEL SpikyBall()
{
    CONTENTMODEL m;
    const std::vector<V3> v = IcosaVerts(90);
    for (size_t f = 0; f < kIcosaFaces.size(); f++) {
        const V3 a = v[kIcosaFaces[f][0]], b = v[kIcosaFaces[f][1]], c = v[kIcosaFaces[f][2]];
        const V3 tip = Unit(a + b + c) * 190;
        const CONTENTRGB col = Hsv(0.08 + 0.04 * (f % 3), 0.85, 1.0);
        Face(m, {a, b, tip}, col, (a + b + tip) * (1.0 / 3));
        Face(m, {b, c, tip}, Mix(col, Rgb(80, 20, 0), 0.3), (b + c + tip) * (1.0 / 3));
        Face(m, {c, a, tip}, Mix(col, Rgb(255, 255, 200), 0.3), (c + a + tip) * (1.0 / 3));
    }
    m.colour = Rgb(255, 200, 80);
    return m;
}

CONTENTMODEL Gear()
{
    std::vector<std::pair<double, double>> outline;
    const int teeth = 12;
    for (int i = 0; i < teeth * 4; i++) {
        const double a = 2 * kPi * i / (teeth * 4);
        const double r = (i % 4 == 1 || i % 4 == 2) ? 175 : 140;
        outline.push_back({r * std::cos(a), r * std::sin(a)});
    }
    return Extrude(outline, 50, Rgb(150, 160, 178), Rgb(120, 130, 150), Rgb(90, 100, 120));
}

CONTENTMODEL Heart()
{
    std::vector<std::pair<double, double>> outline;
    for (int i = 0; i < 40; i++) {
        const double t = 2 * kPi * i / 40;
        const double x = 16 * std::pow(std::sin(t), 3);
        const double y = 13 * std::cos(t) - 5 * std::cos(2 * t) - 2 * std::cos(3 * t) - std::cos(4 * t);
        outline.push_back({x * 10, -y * 10 - 20});
    }
    return Extrude(outline, 60, Rgb(240, 40, 70), Rgb(200, 20, 50), Rgb(170, 10, 40));
}

CONTENTMODEL PlusShape()
{
    std::vector<std::pair<double, double>> outline;
    const double a = 50, b = 170;
    const double pts[12][2] = {{a, -b}, {a, -a}, {b, -a}, {b, a}, {a, a}, {a, b},
                               {-a, b}, {-a, a}, {-b, a}, {-b, -a}, {-a, -a}, {-a, -b}};
    // Points along each edge keep every ray from the centre crossing the outline once.
    for (int i = 0; i < 12; i++) {
        const double *p = pts[i], *q = pts[(i + 1) % 12];
        for (int k = 0; k < 2; k++)
            outline.push_back({p[0] + (q[0] - p[0]) * k / 2, p[1] + (q[1] - p[1]) * k / 2});
    }
    return Extrude(outline, 80, Rgb(60, 200, 255), Rgb(30, 150, 220), Rgb(20, 110, 190));
}


// A letter of blocks: each inked cell a cube, only the outer faces kept, the front and back
// merged along rows. x runs from 0; the baseline is y 0 and ink above it has negative y.
CONTENTMODEL LetterModelOf(char ch)
{
    CONTENTMODEL m;
    const GLYPH g = Content_RenderGlyph(ch, 17);
    const double cell = 7, depth = 24;
    const double f = -depth / 2, b = depth / 2;
    auto on = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < g.width && y < g.height && g.on[static_cast<size_t>(y) * g.width + x];
    };
    // Gold at the top to deep orange at the bottom; the sides darker.
    const double topY = -g.top * cell, range = std::max(1, g.height) * cell;
    auto shade = [&](double y, double dim) {
        const double t = (y - topY) / range;
        return Mix(Rgb(static_cast<int>(255 * dim), static_cast<int>(236 * dim), static_cast<int>(120 * dim)),
                   Rgb(static_cast<int>(240 * dim), static_cast<int>(110 * dim), static_cast<int>(20 * dim)), t);
    };
    auto quad = [&](V3 p0, V3 p1, V3 p2, V3 p3, V3 n, double dim) {
        const SURFACEPOINT q[4] = {{p0, n, shade(p0.y, dim)}, {p1, n, shade(p1.y, dim)},
                                   {p2, n, shade(p2.y, dim)}, {p3, n, shade(p3.y, dim)}};
        SmoothQuad(m, q, false);
    };
    for (int y = 0; y < g.height; y++) {
        const double y0 = (y - g.top) * cell, y1 = y0 + cell;
        for (int x = 0; x < g.width;) {
            if (!on(x, y)) {
                x++;
                continue;
            }
            int end = x;
            while (on(end, y))
                end++;
            const double x0 = x * cell, x1 = end * cell;
            quad({x0, y0, f}, {x1, y0, f}, {x1, y1, f}, {x0, y1, f}, {0, 0, -1}, 1.0);
            quad({x1, y0, b}, {x0, y0, b}, {x0, y1, b}, {x1, y1, b}, {0, 0, 1}, 0.6);
            x = end;
        }
        for (int x = 0; x < g.width; x++) {
            if (!on(x, y))
                continue;
            const double x0 = x * cell, x1 = x0 + cell;
            if (!on(x, y - 1))
                quad({x0, y0, f}, {x0, y0, b}, {x1, y0, b}, {x1, y0, f}, {0, -1, 0}, 0.9);
            if (!on(x, y + 1))
                quad({x0, y1, f}, {x1, y1, f}, {x1, y1, b}, {x0, y1, b}, {0, 1, 0}, 0.55);
            if (!on(x - 1, y))
                quad({x0, y0, f}, {x0, y1, f}, {x0, y1, b}, {x0, y0, b}, {-1, 0, 0}, 0.7);
            if (!on(x + 1, y))
                quad({x1, y0, f}, {x1, y0, b}, {x1, y1, b}, {x1, y1, f}, {1, 0, 0}, 0.7);
        }
    }
    m.colour = Rgb(255, 220, 120);
    return m;
}


// ---- The whole set ----

MODELENTRY E(const char *name, const char *shown, std::function<CONTENTMODEL()> make)
{
    return MODELENTRY{name, shown, std::move(make)};
}

std::vector<MODELFAMILY> ModelFamilies()
{
    auto hue = [](double h) { return [h](double u, double v) { return Hsv(h + 0.1 * v, 0.75, 1.0 - 0.25 * v + 0.05 * std::sin(u * 12)); }; };
    return {
        {"Solids",
         {E("CUBE", "Cube", [] {
               const CONTENTRGB c[6] = {Rgb(230, 60, 60),  Rgb(60, 200, 90),  Rgb(60, 120, 240),
                                        Rgb(250, 200, 50), Rgb(200, 80, 220), Rgb(60, 210, 220)};
               return Cube(110, c);
           }),
          E("PYRAMID", "Pyramid", Pyramid),
          E("OCTAHED", "Octahedron", Octahedron),
          E("GEM", "Gem", [] { return Gem(false); }),
          E("TETRA", "Tetrahedron", Tetrahedron),
          E("DIAMOND", "Diamond", [] { return Diamond(false); })}},
        {"Curves",
         {E("SPHERE", "Sphere", [hue] { return Sphere(140, hue(0.58)); }),
          E("TORUS", "Torus", [] {
               return Torus(120, 45, [](double u, double v) { return Hsv(0.02 + 0.08 * std::sin(2 * kPi * v), 0.8, 1.0 - 0.2 * u); });
           }),
          E("CYLINDER", "Cylinder", [] {
               return Lathe({{110, -130}, {110, 130}}, [](double, double v) { return Mix(Rgb(120, 230, 120), Rgb(30, 120, 60), v); }, 24);
           }),
          E("CONE", "Cone", [] {
               return Lathe({{0, -160}, {130, 120}}, [](double, double v) { return Mix(Rgb(255, 170, 60), Rgb(200, 60, 20), v); }, 24);
           }),
          E("VASE", "Vase", [] {
               return Lathe({{40, -160}, {60, -120}, {45, -60}, {110, 20}, {120, 80}, {80, 150}},
                            [](double, double v) { return Mix(Rgb(100, 160, 255), Rgb(230, 240, 255), v); }, 20);
           }),
          E("HELIX", "Helix", Helix)}},
        {"Stars and rings",
         {E("STAR", "Star", Star),
          E("RING", "Ring", Ring),
          E("SPIKES", "Spiky ball", SpikyBall),
          E("GEAR", "Gear", Gear),
          E("HEART", "Heart", Heart),
          E("CROSS", "Cross", PlusShape)}},
        {"Textured",
         {E("BOXTEX", "Textured box", [] {
               // A cube of six textured faces (texture 0), flat-lit.
               CONTENTMODEL m;
               const double h = 110;
               const V3 p[8] = {{-h, -h, -h}, {h, -h, -h}, {h, h, -h}, {-h, h, -h},
                                {-h, -h, h},  {h, -h, h},  {h, h, h},  {-h, h, h}};
               const int faces[6][4] = {{0, 1, 2, 3}, {5, 4, 7, 6}, {4, 0, 3, 7}, {1, 5, 6, 2}, {4, 5, 1, 0}, {3, 2, 6, 7}};
               for (const auto &f : faces) {
                   const V3 n = Unit(p[f[0]] + p[f[1]] + p[f[2]] + p[f[3]]);
                   CONTENTPRIM prim;
                   prim.group = 5;
                   prim.colours[0] = Rgb(235, 235, 235);
                   prim.normals[0] = m.Normal(n.x, n.y, n.z);
                   const int order[4] = {0, 1, 3, 2};
                   const uint8_t uv[4][2] = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
                   for (int c = 0; c < 4; c++) {
                       const V3 q = p[f[order[c]]];
                       prim.vertices[c] = m.Vertex(q.x, q.y, q.z);
                       prim.uv[c][0] = uv[order[c]][0];
                       prim.uv[c][1] = uv[order[c]][1];
                   }
                   prim.texture = 0;
                   m.prims.push_back(prim);
               }
               m.colour = Rgb(255, 255, 255);
               return m;
           }),
          E("BALLTEX", "Textured ball", [] { return Sphere(140, [](double, double) { return Rgb(235, 235, 235); }, false, 1); }),
          E("RINGTEX", "Textured ring", [] {
               return Torus(120, 45, [](double, double) { return Rgb(235, 235, 235); }, false, 2);
           }),
          E("DRUMTEX", "Textured drum", [] {
               return Lathe({{110, -120}, {110, 120}}, [](double, double) { return Rgb(235, 235, 235); }, 20, 3);
           })}},
        {"Glass",
         {E("GLASSBOX", "Glass box", [] {
               const CONTENTRGB c[6] = {Rgb(120, 200, 255), Rgb(120, 200, 255), Rgb(90, 170, 240),
                                        Rgb(90, 170, 240),  Rgb(160, 220, 255), Rgb(70, 140, 220)};
               return Cube(110, c, true);
           }),
          E("BUBBLE", "Bubble", [] {
               return Sphere(140, [](double u, double v) { return Hsv(0.5 + 0.3 * u, 0.4, 1.0 - 0.3 * v); }, true);
           }),
          E("GLASSGEM", "Glass gem", [] { return Gem(true); }),
          E("CRYSTAL", "Crystal", [] { return Diamond(true); }),
          E("HALO", "Halo", [] {
               return Torus(130, 30, [](double u, double) { return Hsv(0.12 + 0.1 * std::sin(2 * kPi * u), 0.5, 1.0); }, true);
           })}},
    };
}


CONTENTMODEL Dome()
{
    // A hemisphere seen from inside, textured with the sky (texture 0).
    CONTENTMODEL m;
    const double r = 6000;
    Surface(m, 16, 6, [&](double u, double v) {
        const double a = 2 * kPi * u, b = kPi / 2 * v + 0.0001;
        const V3 n{std::sin(b) * std::cos(a), -std::cos(b), std::sin(b) * std::sin(a)};
        return SURFACEPOINT{n * r + V3{0, 600, 0}, n * -1, Rgb(240, 240, 240)};
    }, false, 0, 4, 1);
    m.colour = Rgb(120, 170, 240);
    return m;
}

CONTENTMODEL StarSphere()
{
    CONTENTMODEL m = Sphere(6000, [](double u, double v) {
        const double s = (Hash(static_cast<int>(u * 18), static_cast<int>(v * 10), 3) & 7) / 7.0;
        return Mix(Rgb(5, 5, 30), Rgb(40, 20, 90), v * 0.7 + s * 0.3);
    }, false, -1, true);
    return m;
}

CONTENTMODEL Room(double w, double h, double len, int texture, bool open)
{
    // Walls seen from inside, in pieces so the texture repeats; a tunnel leaves its ends open.
    CONTENTMODEL m;
    const CONTENTRGB col = Rgb(230, 230, 230);
    const uint8_t uv[4][2] = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
    // Each wall: a corner and the two edges it spans (the first along z for the long walls).
    struct WALL
    {
        V3 corner, a, b;
    };
    std::vector<WALL> walls = {
        {{-w, h, -len}, {0, 0, 2 * len}, {2 * w, 0, 0}},   // floor
        {{-w, -h, -len}, {0, 0, 2 * len}, {2 * w, 0, 0}},  // ceiling
        {{-w, -h, -len}, {0, 0, 2 * len}, {0, 2 * h, 0}},  // left
        {{w, -h, -len}, {0, 0, 2 * len}, {0, 2 * h, 0}},   // right
    };
    if (!open) {
        walls.push_back({{-w, -h, -len}, {2 * w, 0, 0}, {0, 2 * h, 0}});
        walls.push_back({{-w, -h, len}, {2 * w, 0, 0}, {0, 2 * h, 0}});
    }
    for (const WALL &wall : walls) {
        const V3 centre = wall.corner + wall.a * 0.5 + wall.b * 0.5;
        const V3 n = Unit(centre) * -1;
        const int along = open ? 8 : 2, across = open ? 2 : 2;
        for (int i = 0; i < along; i++)
            for (int j = 0; j < across; j++) {
                auto at = [&](double s, double t) { return wall.corner + wall.a * s + wall.b * t; };
                const double s0 = double(i) / along, s1 = double(i + 1) / along;
                const double t0 = double(j) / across, t1 = double(j + 1) / across;
                const SURFACEPOINT q[4] = {{at(s0, t0), n, col}, {at(s1, t0), n, col}, {at(s1, t1), n, col},
                                           {at(s0, t1), n, col}};
                SmoothQuad(m, q, false, texture, uv);
            }
    }
    m.colour = Rgb(120, 230, 255);
    return m;
}

CONTENTMODEL Floor(bool textured)
{
    CONTENTMODEL m;
    const int n = 12;
    const double size = 4800, y = 320;
    for (int i = 0; i < n; i++)
        for (int j = 0; j < n; j++) {
            const double x0 = -size + 2 * size * i / n, x1 = -size + 2 * size * (i + 1) / n;
            const double z0 = -size + 2 * size * j / n, z1 = -size + 2 * size * (j + 1) / n;
            if (textured) {
                const SURFACEPOINT q[4] = {{{x0, y, z0}, {0, -1, 0}, Rgb(230, 230, 230)},
                                           {{x1, y, z0}, {0, -1, 0}, Rgb(230, 230, 230)},
                                           {{x1, y, z1}, {0, -1, 0}, Rgb(230, 230, 230)},
                                           {{x0, y, z1}, {0, -1, 0}, Rgb(230, 230, 230)}};
                const uint8_t uv[4][2] = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
                SmoothQuad(m, q, false, 0, uv);
            } else {
                const CONTENTRGB c = (i + j) % 2 ? Rgb(230, 230, 240) : Rgb(40, 40, 60);
                Face(m, {{x0, y, z0}, {x1, y, z0}, {x1, y, z1}, {x0, y, z1}}, c, V3{0, -1, 0});
            }
        }
    m.colour = Rgb(200, 200, 220);
    return m;
}


} // namespace

std::vector<MODELFAMILY> Content_ModelFamilies()
{
    return ModelFamilies();
}

CONTENTMODEL Content_Dome()
{
    return Dome();
}

CONTENTMODEL Content_StarSphere()
{
    return StarSphere();
}

CONTENTMODEL Content_Room(double w, double h, double len, int texture, bool open)
{
    return Room(w, h, len, texture, open);
}

CONTENTMODEL Content_Floor(bool textured)
{
    return Floor(textured);
}

CONTENTMODEL Content_LetterModel(char ch)
{
    return LetterModelOf(ch);
}
