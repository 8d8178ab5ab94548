#include "tools/videocontent.h"

#include "video/resformat.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct V3
{
    double x, y, z;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Unit(V3 a)
{
    const double l = std::sqrt(Dot(a, a));
    return l > 0 ? a * (1.0 / l) : V3{0, -1, 0};
}

CONTENTRGB Rgb(int r, int g, int b)
{
    auto c = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
    return {c(r), c(g), c(b)};
}
CONTENTRGB Mix(CONTENTRGB a, CONTENTRGB b, double t)
{
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return Rgb(static_cast<int>(a.r + (b.r - a.r) * t), static_cast<int>(a.g + (b.g - a.g) * t),
               static_cast<int>(a.b + (b.b - a.b) * t));
}
// Hue 0..1, saturation and value 0..1.
CONTENTRGB Hsv(double h, double s, double v)
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

// ---- Textures ----

uint32_t Hash(int x, int y, int seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

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

// ---- Glyphs (letter models and the placeholders' numbers) ----

struct GLYPH
{
    int width = 0, height = 0;  // cells
    int top = 0;                // rows above the baseline
    std::vector<uint8_t> on;    // width x height
};

// Rasterises one character of DejaVu Sans Bold without smoothing, pixels pixels high.
GLYPH RenderGlyph(char ch, int pixels)
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

// A letter of blocks: each inked cell a cube, only the outer faces kept, the front and back
// merged along rows. x runs from 0; the baseline is y 0 and ink above it has negative y.
CONTENTMODEL LetterModel(char ch)
{
    CONTENTMODEL m;
    const GLYPH g = RenderGlyph(ch, 17);
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
        glyphs.push_back(RenderGlyph(c, 22));
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

// ---- The whole set ----

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

// Textures of the textured family (folder 3 of the model textures), by texture number.
const TEXTUREKIND kModelTextures[] = {TEX_BRICKS, TEX_MARBLE, TEX_PLASMA, TEX_WOOD};
// One texture in each other family's folder, so each holds something.
const TEXTUREKIND kFamilyTextures[] = {TEX_CHECKER, TEX_RINGS, TEX_NEONGRID, TEX_BRICKS, TEX_ICE};

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
    return static_cast<int>(ModelFamilies().size());
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
    const std::vector<MODELFAMILY> families = ModelFamilies();
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
                AddItem(items, tex, std::string("TEX") + char('0' + t), names[t], Tim(Texture(kModelTextures[t])));
        } else {
            AddItem(items, tex, "TEX0", "Pattern", Tim(Texture(kFamilyTextures[f % 5])));
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
    AddItem(items, "D/B/A", "DOME", "Sky dome", Content_WriteModel(Dome()));
    AddItem(items, "D/B/A", "STARS", "Night sky", Content_WriteModel(StarSphere()));
    AddItem(items, "D/D/A", "SKY", "Sky", Tim(Texture(TEX_SKY)));
    AddItem(items, "D/D/A", "SUNSET", "Sunset", Tim(Texture(TEX_SUNSET)));
    folder("D/B/B", "Rooms");
    folder("D/D/B", "Rooms");
    AddItem(items, "D/B/B", "TUNNEL", "Tunnel box", Content_WriteModel(Room(700, 500, 5600, 0, true)));
    AddItem(items, "D/B/B", "ROOM", "Room", Content_WriteModel(Room(2600, 1400, 2600, 1, false)));
    AddItem(items, "D/D/B", "PANELS", "Panels", Tim(Texture(TEX_PANELS)));
    AddItem(items, "D/D/B", "BRICKS", "Bricks", Tim(Texture(TEX_BRICKS)));
    folder("D/B/C", "Floors");
    folder("D/D/C", "Floors");
    AddItem(items, "D/B/C", "GRID", "Floor grid", Content_WriteModel(Floor(true)));
    AddItem(items, "D/B/C", "CHECKS", "Checker floor", Content_WriteModel(Floor(false)));
    AddItem(items, "D/D/C", "NEON", "Neon grid", Tim(Texture(TEX_NEONGRID)));

    // Map textures: the 16 user-image places first.
    folder("F", "Textures");
    folder("F/A", "Your pictures");
    for (int i = 0; i < 16; i++)
        AddItem(items, "F/A", "USER" + std::to_string(i + 1), "Picture " + std::to_string(i + 1), Tim(Placeholder(i)));
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
                    Tim(Texture(mapFamilies[f].textures[t].first)));
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
    AddItem(items, "J/A", "SOFT", "Soft glow", Sprite([](double x, double y) {
        const double d = std::sqrt(x * x + y * y);
        return std::pow(std::max(0.0, 1 - d), 1.6);
    }, Rgb(255, 255, 255)));
    AddItem(items, "J/A", "SPARKLE", "Sparkle", Sprite([](double x, double y) {
        const double d = std::sqrt(x * x + y * y);
        const double rays = std::max(std::max(0.0, 1 - std::fabs(x) * 8) * (1 - std::fabs(y)),
                                     std::max(0.0, 1 - std::fabs(y) * 8) * (1 - std::fabs(x)));
        return std::max(rays, std::pow(std::max(0.0, 1 - d * 2.5), 1.2));
    }, Rgb(255, 250, 220)));
    AddItem(items, "J/A", "RINGLET", "Ringlet", Sprite([](double x, double y) {
        const double d = std::sqrt(x * x + y * y);
        return std::max(0.0, 1 - std::fabs(d - 0.65) * 6);
    }, Rgb(220, 240, 255)));

    // The letter font: model n is the character of code n.
    folder("L", "Fonts");
    folder("L/A", "Block letters");
    for (int code = 0; code < CONTENT_LETTER_COUNT; code++) {
        const char ch = Content_LetterOfCode(code);
        const std::string name = (ch >= 'a' ? std::string("LOW_") : std::string("CHR_")) + char(ch >= 'a' ? ch - 32 : ch);
        AddItem(items, "L/A", name, std::string(1, ch), Content_WriteModel(LetterModel(ch)));
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
