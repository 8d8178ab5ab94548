// Small models built in code for the video frame tests and the frame benchmark: a cube of gouraud
// quads (optionally textured) as a console model image, read and meshed, and a chequered texture.
// Header-only so the benchmarks can use it too.
#pragma once

#include "render/mesh.h"
#include "render/textures.h"

#include <array>
#include <cstdint>
#include <vector>

namespace videoscene {

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

struct SceneModel
{
    std::vector<uint8_t> bytes;
    MODEL model{};
    MODELHOLDER holder{};
    MESH *mesh = nullptr;
};

// A cube of side 2 x half about the origin: six gouraud quads (group 3) in colour, or textured
// gouraud quads (group 7) with the whole texture on each face. Faces are shaded a little apart so
// the edges read. False when the model or its mesh is refused.
inline bool BuildCube(SceneModel &m, int16_t half, uint32_t colour, TEXTURE *texture)
{
    const bool textured = texture != nullptr;
    const int16_t h = half, l = static_cast<int16_t>(-half);
    const std::array<std::array<int16_t, 3>, 8> vertices = {{{l, l, l}, {h, l, l}, {l, h, l}, {h, h, l},
                                                              {l, l, h}, {h, l, h}, {l, h, h}, {h, h, h}}};
    const std::array<std::array<int16_t, 3>, 6> normals = {
        {{0, 0, -4096}, {0, 0, 4096}, {-4096, 0, 0}, {4096, 0, 0}, {0, -4096, 0}, {0, 4096, 0}}};
    // Corners in strip order: (0,0), (1,0), (0,1), (1,1).
    const int faces[6][4] = {{0, 1, 2, 3}, {5, 4, 7, 6}, {4, 0, 6, 2}, {1, 5, 3, 7}, {4, 5, 0, 1}, {2, 3, 6, 7}};
    std::vector<uint8_t> &b = m.bytes;
    b.assign(80, 0);
    Put32(b, 24, static_cast<uint32_t>(b.size()));
    for (const auto &v : vertices) {
        b.resize(b.size() + 8, 0);
        for (int i = 0; i < 3; i++)
            Put16(b, b.size() - 8 + 2 * i, static_cast<uint16_t>(v[i]));
    }
    Put32(b, 28, static_cast<uint32_t>(b.size()));
    for (const auto &n : normals) {
        b.resize(b.size() + 8, 0);
        for (int i = 0; i < 3; i++)
            Put16(b, b.size() - 8 + 2 * i, static_cast<uint16_t>(n[i]));
    }
    const int group = textured ? 7 : 3;
    const size_t size = textured ? 52 : 36;
    const int colourAt[4] = {0, textured ? 40 : 20, textured ? 44 : 24, textured ? 48 : 28};
    const int normalAt = textured ? 16 : 12;
    const size_t start = b.size();
    for (int f = 0; f < 6; f++) {
        const size_t r = b.size();
        b.resize(r + size, 0);
        for (int c = 0; c < 4; c++) {
            const int shade = 255 - 18 * f - 10 * c;
            const uint32_t rr = ((colour >> 16) & 255) * shade / 255, gg = ((colour >> 8) & 255) * shade / 255,
                           bb = (colour & 255) * shade / 255;
            b[r + colourAt[c]] = static_cast<uint8_t>(rr);
            b[r + colourAt[c] + 1] = static_cast<uint8_t>(gg);
            b[r + colourAt[c] + 2] = static_cast<uint8_t>(bb);
            Put16(b, r + 4 + 2 * c, static_cast<uint32_t>(faces[f][c]));
            Put16(b, r + normalAt + 2 * c, static_cast<uint32_t>(f));
            if (textured) {
                b[r + 24 + 4 * c] = static_cast<uint8_t>((c & 1) ? 63 : 0);
                b[r + 24 + 4 * c + 1] = static_cast<uint8_t>((c & 2) ? 63 : 0);
            }
        }
    }
    Put16(b, 8 + 2 * group, 6);
    Put32(b, 36 + 4 * group, static_cast<uint32_t>(start));
    if (Gfx_ReadModelImage(b.data(), b.size(), &m.model) != 0)
        return false;
    uint32_t t = 0, q = 0;
    Gfx_CountModelPrimitives(&m.model, &t, &q);
    m.mesh = Gfx_CreateMesh(3 * t + 4 * q, t + q);
    if (!m.mesh)
        return false;
    if (texture)
        Gfx_SetMeshTexture(m.mesh, texture);
    if (Gfx_BuildModelMesh(m.mesh, &m.model) != 0)
        return false;
    m.holder = {};
    m.holder.model = &m.model;
    m.holder.mesh = m.mesh;
    return true;
}

// A 4-bit TIM of side 8 (a 64 x 64 texel page reads it scaled): a chequer of two colours.
inline std::vector<uint8_t> ChequerTim(uint16_t a, uint16_t c)
{
    std::vector<uint8_t> image = {0x10, 0, 0, 0, 8, 0, 0, 0, 44, 0, 0, 0, 0, 0, 0, 0, 16, 0, 1, 0};
    const uint16_t clut[16] = {0x0001, a, c};
    for (uint16_t v : clut) {
        image.push_back(static_cast<uint8_t>(v));
        image.push_back(static_cast<uint8_t>(v >> 8));
    }
    const uint8_t pixelHeader[] = {44, 0, 0, 0, 0, 0, 0, 0, 2, 0, 8, 0};
    image.insert(image.end(), pixelHeader, pixelHeader + sizeof pixelHeader);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x += 2)
            image.push_back(((x / 4 + y / 4) & 1) ? 0x22 : 0x11);
    return image;
}

} // namespace videoscene
