// Writers of the video engine's resource files (layouts in video/resformat.h, which the studio's
// loaders read): models, TIM pictures, point lists, vertex-group animations, text definitions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A console colour: red bits 0-4, green 5-9, blue 10-14 (8-bit channels in).
uint16_t Content_Colour15(int r, int g, int b);

struct CONTENTRGB
{
    uint8_t r, g, b;
};

// One primitive of a model. Corners of quads are in strip order (0, 1, 2 and 1, 2, 3 are the two
// triangles; the edge runs 0, 1, 3, 2). Flat groups use colours[0] and normals[0].
struct CONTENTPRIM
{
    int group = 0; // 0-7 as in the model format
    uint16_t vertices[4] = {};
    uint16_t normals[4] = {};
    CONTENTRGB colours[4] = {};
    uint8_t uv[4][2] = {};
    uint16_t texture = 0; // texture number in the model's texture folder (groups 4-7)
    bool semi = false;
};

struct CONTENTMODEL
{
    std::vector<std::array<int16_t, 3>> vertices;
    std::vector<std::array<int16_t, 3>> normals; // 4096 = 1.0
    std::vector<CONTENTPRIM> prims;
    uint32_t flags = 0;
    CONTENTRGB colour = {128, 128, 128}; // the object's colour (outlines)

    // Same vertex or normal twice gives the same number.
    uint16_t Vertex(double x, double y, double z);
    uint16_t Normal(double x, double y, double z); // any length; stored as a unit vector
};

std::vector<uint8_t> Content_WriteModel(const CONTENTMODEL &model);

// TIM pictures. 8-bit: width x height indices and 256 console colours. 4-bit: indices 0-15, 16
// colours. 16-bit: width x height console colours. Index 0 (and colour 0) is transparent.
std::vector<uint8_t> Content_WriteTim8(int width, int height, const std::vector<uint8_t> &indices,
                                       const std::vector<uint16_t> &palette);
std::vector<uint8_t> Content_WriteTim4(int width, int height, const std::vector<uint8_t> &indices,
                                       const std::vector<uint16_t> &palette);

struct CONTENTPOINT
{
    int32_t x, y, z;
    bool key;
};
std::vector<uint8_t> Content_WritePointList(const std::vector<CONTENTPOINT> &points, bool closed);

struct CONTENTANIMFRAME
{
    uint16_t time;
    // Per group: the items of that group, or empty when the frame does not hold it. Kind 1 items
    // are {x, y, z, vertex}.
    std::vector<std::vector<std::array<int16_t, 4>>> groups;
};
struct CONTENTANIM
{
    int16_t loopStart = 0, loopEnd = 0;
    std::vector<int16_t> groupItems; // item count of each group (all kind 1)
    std::vector<CONTENTANIMFRAME> frames;
};
std::vector<uint8_t> Content_WriteAnimation(const CONTENTANIM &anim);

std::vector<uint8_t> Content_WriteTextDef(const std::string &text, int first, int second);
