// Console model images for tests (and the fuzz seeds): the primitive groups' field layout, an
// image builder and a small model.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace modelimage {

// Field offsets of each primitive group, written out here so the tests state the layout.
struct TESTLAYOUT
{
    int size, corners;
    int colours[4], colourCount;
    int vertices[4];
    int normals[4], normalCount;
    int uvs[4];
    int flags;
};
inline const TESTLAYOUT kGroups[8] = {
    {16, 3, {0}, 1, {4, 6, 8}, {12}, 1, {-1}, 10},
    {16, 4, {0}, 1, {4, 6, 8, 10}, {12}, 1, {-1}, 14},
    {28, 3, {0, 20, 24}, 3, {4, 6, 8}, {12, 14, 16}, 3, {-1}, 10},
    {36, 4, {0, 20, 24, 28}, 4, {4, 6, 8, 10}, {12, 14, 16, 18}, 4, {-1}, 32},
    {28, 3, {0}, 1, {4, 6, 8}, {24}, 1, {12, 16, 20}, 10},
    {32, 4, {0}, 1, {4, 6, 8, 10}, {30}, 1, {16, 20, 24, 28}, 12},
    {40, 3, {0, 32, 36}, 3, {4, 6, 8}, {12, 14, 16}, 3, {20, 24, 28}, 10},
    {52, 4, {0, 40, 44, 48}, 4, {4, 6, 8, 10}, {16, 18, 20, 22}, 4, {24, 28, 32, 36}, 12},
};

inline void Put16(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}

struct Prim
{
    int group;
    std::vector<uint32_t> colours; // one for flat
    std::vector<int> vertices;
    std::vector<int> normals;      // one for flat
    std::vector<std::array<int, 2>> uvs;
    bool semi = false;
};

// A console model image: header, vertex table, normal table, the groups.
struct ModelImage
{
    std::vector<std::array<int16_t, 3>> vertices, normals;
    std::vector<Prim> prims;

    std::vector<uint8_t> Bytes() const
    {
        std::vector<uint8_t> b(80, 0);
        auto table = [&](size_t at, const std::vector<std::array<int16_t, 3>> &t) {
            if (t.empty())
                return;
            Put32(b, at, static_cast<uint32_t>(b.size()));
            for (const auto &e : t) {
                b.resize(b.size() + 8, 0);
                for (int i = 0; i < 3; i++)
                    Put16(b, b.size() - 8 + 2 * i, static_cast<uint16_t>(e[i]));
            }
        };
        table(24, vertices);
        table(28, normals);
        for (int g = 0; g < 8; g++) {
            const TESTLAYOUT &l = kGroups[g];
            uint16_t count = 0;
            const size_t start = b.size();
            for (const Prim &p : prims) {
                if (p.group != g)
                    continue;
                count++;
                const size_t r = b.size();
                b.resize(r + l.size, 0);
                for (int c = 0; c < l.colourCount; c++) {
                    b[r + l.colours[c]] = static_cast<uint8_t>(p.colours[c] >> 16);
                    b[r + l.colours[c] + 1] = static_cast<uint8_t>(p.colours[c] >> 8);
                    b[r + l.colours[c] + 2] = static_cast<uint8_t>(p.colours[c]);
                }
                for (int c = 0; c < l.corners; c++)
                    Put16(b, r + l.vertices[c], static_cast<uint32_t>(p.vertices[c]));
                for (int c = 0; c < l.normalCount; c++)
                    Put16(b, r + l.normals[c], static_cast<uint32_t>(p.normals[c]));
                for (int c = 0; l.uvs[0] >= 0 && c < l.corners; c++) {
                    b[r + l.uvs[c]] = static_cast<uint8_t>(p.uvs[c][0]);
                    b[r + l.uvs[c] + 1] = static_cast<uint8_t>(p.uvs[c][1]);
                }
                b[r + l.flags] = p.semi ? 2 : 0;
            }
            Put16(b, 8 + 2 * g, count);
            if (count)
                Put32(b, 36 + 4 * g, static_cast<uint32_t>(start));
        }
        return b;
    }
};

// Two flat triangles and one gouraud quad.
inline ModelImage SmallModel()
{
    ModelImage m;
    m.vertices = {{0, 0, 0}, {100, 0, 0}, {0, 100, 0}, {100, 100, 0}, {-50, 20, 30}};
    m.normals = {{0, 0, -4096}, {2048, 0, -2048}, {0, 4096, 0}};
    m.prims = {{0, {0x102030}, {0, 1, 2}, {0}, {}},
               {0, {0x405060}, {1, 3, 2}, {1}, {}},
               {3, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, {0, 1, 2, 4}, {0, 1, 2, 0}, {}}};
    return m;
}

} // namespace modelimage
