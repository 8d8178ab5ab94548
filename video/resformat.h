// Byte layouts of the video engine's resource files in the archive: models, point lists,
// vertex-group animations and text definitions (images are TIM files, render/texpages.h). The
// loaders (video/resloaders.cpp) and the content builder's writers (tools/) both use these, so
// a file the builder writes is the file the studio reads. All fields little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

// Resource kinds: the rows of a disc record, one archive folder each.
enum
{
    RES_MODELS = 0,     // "/B/B" models
    RES_BACK = 1,       // "/D/B" background models
    RES_BACKTEX = 2,    // "/D/D" background (and non-model) textures
    RES_MAPTEX = 3,     // "/F"   map textures; folder 0 holds the user-image placeholders
    RES_LAYOUT = 4,     // "/B/F" point layouts
    RES_PATH = 5,       // "/H"   paths
    RES_PARTICLE = 6,   // "/J"   particle sprites
    RES_TEXT = 7,       // "/L"   letter models of the 3-D fonts
    RES_MODTEX = 8,     // "/B/D" model textures
    RES_INSTRUMENT = 9, // "/N"   instruments (the sequencer streams them)
    RES_ANIM = 10,      // "/B/H" vertex-group animations
    RES_TUNNEL = 11,    // "/P"   tunnel profiles and tunnel paths
    RES_TEXTDEF = 12,   // "/T"   text definitions
    RES_KIND_COUNT = 13,
};

// ---- Model (kinds 0, 1, 7) ----
// Header of 100 bytes, then V vertices of 8 bytes {i16 x, y, z, pad}, N normals of 8 bytes
// (4096 = 1.0), the primitive records of each non-empty group in group order, then each present
// UV layer (index count x {u8 u, u8 v}).
constexpr size_t RESMODEL_HEADER = 100;
constexpr size_t RESMODEL_VERTEX_COUNT = 0;  // i16 V
constexpr size_t RESMODEL_NORMAL_COUNT = 2;  // i16 N
constexpr size_t RESMODEL_FLAGS = 4;         // u32; the loader adds RESMODEL_FLAG_LOADED
constexpr size_t RESMODEL_GROUP_COUNTS = 8;  // u16 x 8
constexpr size_t RESMODEL_VERTICES = 24;     // u32; the file holds 100
constexpr size_t RESMODEL_NORMALS = 28;      // u32; non-zero = the normals are present
constexpr size_t RESMODEL_COLOUR = 32;       // u32 r, g, b, code: the object's colour
constexpr size_t RESMODEL_GROUPS = 36;       // u32 x 8; the file holds their offsets or 0
constexpr size_t RESMODEL_UV_LAYERS = 68;    // u32 x 3; non-zero = the layer is present
constexpr uint32_t RESMODEL_FLAG_LOADED = 0x40;
constexpr int32_t RESMODEL_GROUP_COUNT = 8;
constexpr int32_t RESMODEL_UV_LAYER_COUNT = 3;

// Primitive records (the layouts of render/mesh.h): size, corners, and for the textured groups
// 4-7 where the first u/v pair, the colour-table word, the texture-page word and the u16 texture
// number sit. u/v pairs are 4 bytes apart.
constexpr uint8_t kResPrimSize[RESMODEL_GROUP_COUNT] = {16, 16, 28, 36, 28, 32, 40, 52};
constexpr uint8_t kResPrimCorners[RESMODEL_GROUP_COUNT] = {3, 4, 3, 4, 3, 4, 3, 4};
constexpr uint8_t kResPrimFlags[RESMODEL_GROUP_COUNT] = {10, 14, 10, 32, 10, 12, 10, 12};
constexpr uint8_t kResPrimFirstUV[RESMODEL_GROUP_COUNT] = {0, 0, 0, 0, 12, 16, 20, 24};
constexpr uint8_t kResPrimClut[RESMODEL_GROUP_COUNT] = {0, 0, 0, 0, 14, 18, 22, 26};
constexpr uint8_t kResPrimTexPage[RESMODEL_GROUP_COUNT] = {0, 0, 0, 0, 18, 22, 26, 30};
constexpr uint8_t kResPrimTexture[RESMODEL_GROUP_COUNT] = {0, 0, 0, 0, 22, 26, 30, 34};
// Vertex and normal index fields; flat primitives have one normal.
constexpr uint8_t kResPrimVertices[RESMODEL_GROUP_COUNT] = {4, 4, 4, 4, 4, 4, 4, 4};
constexpr uint8_t kResPrimNormalCount[RESMODEL_GROUP_COUNT] = {1, 1, 3, 4, 1, 1, 3, 4};
constexpr uint8_t kResPrimNormals[RESMODEL_GROUP_COUNT] = {12, 12, 12, 12, 24, 30, 12, 16};
// Extra colours of the gouraud groups (corner 0 uses the word at 0).
constexpr uint8_t kResPrimColours[RESMODEL_GROUP_COUNT][4] = {
    {0}, {0}, {0, 20, 24}, {0, 20, 24, 28}, {0}, {0}, {0, 32, 36}, {0, 40, 44, 48}};
// Flag value 2 marks a semi-transparent primitive (what the mesh's blend reads). Loading sets the
// same bit (value 2) in the packet code byte (byte 3 of the colour word), and for textured
// primitives bit 5 (rate 1) in the texture-page word.
constexpr uint32_t RESPRIM_SEMITRANS = 2;
constexpr uint16_t RESPRIM_TEXPAGE_RATE1 = 0x20;

// ---- Point list (kinds 4, 5, 11) ----
// u32 reserved; u32 point count P; u32 key count K; u32 closed; u32 points (0 in the file);
// u32 key table (0 in the file); then P points {i32 x, y, z; u32 kind}.
constexpr size_t RESPOINTS_HEADER = 24;
constexpr size_t RESPOINTS_COUNT = 4;
constexpr size_t RESPOINTS_KEYS = 8;
constexpr size_t RESPOINTS_CLOSED = 12;
constexpr size_t RESPOINT_SIZE = 16;
constexpr uint32_t RESPOINT_KEY = 1; // kind word of a key point in the file

// ---- Vertex-group animation (kind 10) ----
// Header of 44 bytes:
//   0 u32 reserved        4 u32 reserved       8 u32 extra record (0 in the file)
//  12 i16 loop start     14 i16 loop end       16 i16 group count G    18 i16 frame count F
//  20 u32 reserved       24..43: five u32 slots for the loader (0 in the file)
// then G group entries of 12 bytes {i16 item count; i16 0; u32 0; i16 kind; i16 bytes a frame
// takes for the group = count x item size}, two arrays of G x 4 bytes and one of ((G + 1) / 2) x 4
// bytes (all 0 in the file), then F frames: a 16-byte head {u32 0; u32 0; u32 group mask (bit g);
// u32 time (low 16 bits)} and the items of each present group in group order.
// Kind 1 items are {i16 x, y, z, vertex index}; kind 2 items are 4 bytes.
constexpr size_t RESANIM_HEADER = 44;
constexpr size_t RESANIM_LOOP_START = 12;
constexpr size_t RESANIM_LOOP_END = 14;
constexpr size_t RESANIM_GROUP_COUNT = 16;
constexpr size_t RESANIM_FRAME_COUNT = 18;
constexpr size_t RESANIM_GROUP_ENTRY = 12;
constexpr size_t RESANIM_GROUP_ITEMS = 0;
constexpr size_t RESANIM_GROUP_KIND = 8;
constexpr size_t RESANIM_GROUP_BYTES = 10;
constexpr size_t RESANIM_FRAME_HEAD = 16;
constexpr size_t RESANIM_FRAME_MASK = 8;
constexpr size_t RESANIM_FRAME_TIME = 12;
constexpr int32_t RESANIM_MAX_GROUPS = 32; // one mask bit each
constexpr uint16_t RESANIM_KIND_VERTICES = 1;
constexpr uint16_t RESANIM_KIND_SHORT = 2;
constexpr uint16_t RESANIM_SPEED = 96;
constexpr size_t ResAnimArraysBytes(int32_t groups)
{
    return static_cast<size_t>(groups) * RESANIM_GROUP_ENTRY + 2u * 4u * static_cast<size_t>(groups) +
           4u * ((static_cast<size_t>(groups) + 1) / 2);
}
constexpr size_t ResAnimItemSize(uint16_t kind) { return kind == RESANIM_KIND_VERTICES ? 8 : 4; }

// ---- Text definition (kind 12) ----
// 16 bytes the loader replaces, then: a line ending in LF (unused), the text ending in CR LF, a
// decimal number ending in CR LF, a decimal number ending in CR (LF optional).
constexpr size_t RESTEXTDEF_HEADER = 16;

// ---- Saved resource reference (song files) ----
// Four one-letter folder names from the kind's top folder down to the resource's folder, root
// first, zero padded, then the 8-character entry name.
constexpr size_t RESREF_SIZE = 12;
constexpr int32_t RESREF_LETTERS = 4;

// ---- Folder display names ----
// Every listing's header entry points at rows of 32 bytes: row 0 the folder's title, row k + 1
// the shown name of entry k (tools/packer.h writes them).
