#include "tools/reswriters.h"

#include "video/resformat.h"

#include <cmath>
#include <cstring>

namespace {

void Put16(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}
void Add16(std::vector<uint8_t> &b, uint32_t v)
{
    b.resize(b.size() + 2);
    Put16(b, b.size() - 2, v);
}
void Add32(std::vector<uint8_t> &b, uint32_t v)
{
    b.resize(b.size() + 4);
    Put32(b, b.size() - 4, v);
}

int16_t Clamp16(double v)
{
    const long r = std::lround(v);
    return static_cast<int16_t>(r < -32768 ? -32768 : (r > 32767 ? 32767 : r));
}

std::vector<uint8_t> Tim(int depth, int width, int height, const std::vector<uint16_t> &palette,
                         const std::vector<uint8_t> &pixelBytes)
{
    std::vector<uint8_t> b;
    Add32(b, 0x10);
    Add32(b, static_cast<uint32_t>(depth | (depth < 2 ? 8 : 0)));
    if (depth < 2) {
        Add32(b, static_cast<uint32_t>(12 + 2 * palette.size()));
        Add16(b, 0);
        Add16(b, 0);
        Add16(b, static_cast<uint32_t>(palette.size()));
        Add16(b, 1);
        for (uint16_t c : palette)
            Add16(b, c);
    }
    const int words = depth == 0 ? width / 4 : (depth == 1 ? width / 2 : width);
    Add32(b, static_cast<uint32_t>(12 + pixelBytes.size()));
    Add16(b, 0);
    Add16(b, 0);
    Add16(b, static_cast<uint32_t>(words));
    Add16(b, static_cast<uint32_t>(height));
    b.insert(b.end(), pixelBytes.begin(), pixelBytes.end());
    return b;
}

} // namespace

uint16_t Content_Colour15(int r, int g, int b)
{
    auto c = [](int v) { return v < 0 ? 0 : (v > 255 ? 31 : v >> 3); };
    return static_cast<uint16_t>(c(r) | c(g) << 5 | c(b) << 10);
}

uint16_t CONTENTMODEL::Vertex(double x, double y, double z)
{
    const std::array<int16_t, 3> v = {Clamp16(x), Clamp16(y), Clamp16(z)};
    for (size_t i = 0; i < vertices.size(); i++)
        if (vertices[i] == v)
            return static_cast<uint16_t>(i);
    vertices.push_back(v);
    return static_cast<uint16_t>(vertices.size() - 1);
}

uint16_t CONTENTMODEL::Normal(double x, double y, double z)
{
    const double len = std::sqrt(x * x + y * y + z * z);
    if (len > 0) {
        x /= len;
        y /= len;
        z /= len;
    } else {
        y = -1;
    }
    const std::array<int16_t, 3> n = {Clamp16(x * 4096), Clamp16(y * 4096), Clamp16(z * 4096)};
    for (size_t i = 0; i < normals.size(); i++)
        if (normals[i] == n)
            return static_cast<uint16_t>(i);
    normals.push_back(n);
    return static_cast<uint16_t>(normals.size() - 1);
}

std::vector<uint8_t> Content_WriteModel(const CONTENTMODEL &model)
{
    std::vector<uint8_t> b(RESMODEL_HEADER, 0);
    uint16_t counts[RESMODEL_GROUP_COUNT] = {};
    for (const CONTENTPRIM &p : model.prims)
        counts[p.group]++;
    Put16(b, RESMODEL_VERTEX_COUNT, static_cast<uint32_t>(model.vertices.size()));
    Put16(b, RESMODEL_NORMAL_COUNT, static_cast<uint32_t>(model.normals.size()));
    Put32(b, RESMODEL_FLAGS, model.flags);
    for (int g = 0; g < RESMODEL_GROUP_COUNT; g++)
        Put16(b, RESMODEL_GROUP_COUNTS + 2 * g, counts[g]);
    Put32(b, RESMODEL_VERTICES, RESMODEL_HEADER);
    Put32(b, RESMODEL_COLOUR, model.colour.r | model.colour.g << 8 | model.colour.b << 16);
    for (const auto &v : model.vertices) {
        for (int16_t c : v)
            Add16(b, static_cast<uint16_t>(c));
        Add16(b, 0);
    }
    Put32(b, RESMODEL_NORMALS, static_cast<uint32_t>(b.size()));
    for (const auto &n : model.normals) {
        for (int16_t c : n)
            Add16(b, static_cast<uint16_t>(c));
        Add16(b, 0);
    }
    for (int g = 0; g < RESMODEL_GROUP_COUNT; g++) {
        if (!counts[g])
            continue;
        Put32(b, RESMODEL_GROUPS + 4 * g, static_cast<uint32_t>(b.size()));
        for (const CONTENTPRIM &p : model.prims) {
            if (p.group != g)
                continue;
            const size_t at = b.size();
            b.resize(at + kResPrimSize[g], 0);
            const int corners = kResPrimCorners[g];
            const int colourCount = (g == 2 || g == 3 || g == 6 || g == 7) ? corners : 1;
            for (int c = 0; c < colourCount; c++) {
                const size_t o = at + kResPrimColours[g][c];
                b[o] = p.colours[c].r;
                b[o + 1] = p.colours[c].g;
                b[o + 2] = p.colours[c].b;
            }
            for (int c = 0; c < corners; c++)
                Put16(b, at + kResPrimVertices[g] + 2 * c, p.vertices[c]);
            for (int c = 0; c < kResPrimNormalCount[g]; c++)
                Put16(b, at + kResPrimNormals[g] + 2 * c, p.normals[c]);
            Put16(b, at + kResPrimFlags[g], p.semi ? RESPRIM_SEMITRANS : 0);
            if (g >= 4) {
                for (int c = 0; c < corners; c++) {
                    b[at + kResPrimFirstUV[g] + 4 * c] = p.uv[c][0];
                    b[at + kResPrimFirstUV[g] + 4 * c + 1] = p.uv[c][1];
                }
                Put16(b, at + kResPrimTexture[g], p.texture);
            }
        }
    }
    return b;
}

std::vector<uint8_t> Content_WriteTim8(int width, int height, const std::vector<uint8_t> &indices,
                                       const std::vector<uint16_t> &palette)
{
    std::vector<uint16_t> colours(palette);
    colours.resize(256, 0);
    return Tim(1, width, height, colours, indices);
}

std::vector<uint8_t> Content_WriteTim4(int width, int height, const std::vector<uint8_t> &indices,
                                       const std::vector<uint16_t> &palette)
{
    std::vector<uint16_t> colours(palette);
    colours.resize(16, 0);
    std::vector<uint8_t> packed(static_cast<size_t>(width / 2) * height, 0);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            packed[static_cast<size_t>(y) * (width / 2) + x / 2] |=
                static_cast<uint8_t>((indices[static_cast<size_t>(y) * width + x] & 15) << (4 * (x & 1)));
    return Tim(0, width, height, colours, packed);
}

std::vector<uint8_t> Content_WritePointList(const std::vector<CONTENTPOINT> &points, bool closed)
{
    std::vector<uint8_t> b(RESPOINTS_HEADER, 0);
    uint32_t keys = 0;
    for (const CONTENTPOINT &p : points)
        keys += p.key ? 1 : 0;
    Put32(b, RESPOINTS_COUNT, static_cast<uint32_t>(points.size()));
    Put32(b, RESPOINTS_KEYS, keys);
    Put32(b, RESPOINTS_CLOSED, closed ? 1 : 0);
    for (const CONTENTPOINT &p : points) {
        Add32(b, static_cast<uint32_t>(p.x));
        Add32(b, static_cast<uint32_t>(p.y));
        Add32(b, static_cast<uint32_t>(p.z));
        Add32(b, p.key ? RESPOINT_KEY : 0);
    }
    return b;
}

std::vector<uint8_t> Content_WriteAnimation(const CONTENTANIM &anim)
{
    const int groups = static_cast<int>(anim.groupItems.size());
    std::vector<uint8_t> b(RESANIM_HEADER + ResAnimArraysBytes(groups), 0);
    Put16(b, RESANIM_LOOP_START, static_cast<uint16_t>(anim.loopStart));
    Put16(b, RESANIM_LOOP_END, static_cast<uint16_t>(anim.loopEnd));
    Put16(b, RESANIM_GROUP_COUNT, static_cast<uint32_t>(groups));
    Put16(b, RESANIM_FRAME_COUNT, static_cast<uint32_t>(anim.frames.size()));
    for (int g = 0; g < groups; g++) {
        const size_t e = RESANIM_HEADER + RESANIM_GROUP_ENTRY * g;
        Put16(b, e + RESANIM_GROUP_ITEMS, static_cast<uint16_t>(anim.groupItems[g]));
        Put16(b, e + RESANIM_GROUP_KIND, RESANIM_KIND_VERTICES);
        Put16(b, e + RESANIM_GROUP_BYTES, static_cast<uint32_t>(anim.groupItems[g] * 8));
    }
    for (const CONTENTANIMFRAME &f : anim.frames) {
        uint32_t mask = 0;
        for (int g = 0; g < groups && g < static_cast<int>(f.groups.size()); g++)
            if (!f.groups[g].empty())
                mask |= 1u << g;
        const size_t at = b.size();
        b.resize(at + RESANIM_FRAME_HEAD, 0);
        Put32(b, at + RESANIM_FRAME_MASK, mask);
        Put32(b, at + RESANIM_FRAME_TIME, f.time);
        for (int g = 0; g < groups; g++) {
            if (!(mask >> g & 1))
                continue;
            for (const auto &item : f.groups[g])
                for (int16_t v : item)
                    Add16(b, static_cast<uint16_t>(v));
        }
    }
    return b;
}

std::vector<uint8_t> Content_WriteTextDef(const std::string &text, int first, int second)
{
    std::vector<uint8_t> b(RESTEXTDEF_HEADER, 0);
    const std::string body = "text\n" + text + "\r\n" + std::to_string(first) + "\r\n" + std::to_string(second) + "\r\n";
    b.insert(b.end(), body.begin(), body.end());
    return b;
}
