// Meshes: console models turned into vertex buffers and index lists that the 3-D device
// transforms, lights and draws. Also serves the video engine's line figure and quad grid.
//
// Results are 0 or a 3-D layer code (kept in g_hrD3D and named through Gfx_D3DErrorName).
// A model that does not fit its mesh, or whose records point past its tables, is refused with
// DDERR_INVALIDPARAMS before anything is written.
#pragma once

#include "platform/sw3d.h"

#include <cstddef>
#include <cstdint>

struct TEXTURE;
struct VIDOBJECT;

constexpr int32_t MODEL_GROUPS = 8;
constexpr int32_t MODEL_UV_TABLES = 3;
constexpr size_t MODEL_IMAGE_HEADER = 80;

// A console model as the video engine holds it. The tables are little-endian bytes; the
// counts say how much of each may be read (the console record had none, so a broken model
// could read and write anywhere).
struct MODEL
{
    uint8_t engine[8];            // the video engine's bytes 0-7
    uint16_t counts[MODEL_GROUPS]; // primitives of each group
    const uint8_t *vertices;      // 8-byte entries {i16 x, y, z, pad}
    uint32_t vertexCount;
    const uint8_t *normals;       // 8-byte entries, 4096 = 1.0
    uint32_t normalCount;
    const uint8_t *groups[MODEL_GROUPS];
    uint32_t groupBytes[MODEL_GROUPS];
    const uint8_t *uvTables[MODEL_UV_TABLES]; // {u8 u, u8 v} per mesh vertex
    uint32_t uvBytes[MODEL_UV_TABLES];
};

// Record size of each primitive group; group 1 and 3 (and 5, 7) are quads.
extern const uint8_t g_aModelRecordSize[MODEL_GROUPS];

// Reads a model image: the console layout (counts at 8, table offsets from the image start at
// 24, 28, 36-67 and 68-79; offset 0 = no table). The model points into the image. 0, or -1
// when the image is too short or an offset lies outside it.
int32_t Gfx_ReadModelImage(const uint8_t *image, size_t size, MODEL *out);
// Triangles (groups 0, 2, 4, 6) and quads (1, 3, 5, 7) of a model.
void Gfx_CountModelPrimitives(const MODEL *model, uint32_t *triangles, uint32_t *quads);

constexpr uint32_t MESH_INVERTED = 4;
constexpr uint32_t MESH_VB_SYSTEMMEMORY = 0x800;

struct MESHVBDESC
{
    uint32_t size;  // 16
    uint32_t caps;  // MESH_VB_SYSTEMMEMORY
    uint32_t fvf;
    uint32_t vertexCount; // n + 1
};

struct MESH
{
    uint32_t flags;          // MESH_INVERTED
    uint32_t vertexCount;    // n; the buffers hold n + 1
    uint32_t primitiveCount; // m
    uint16_t nextVertex;
    uint16_t triangleFill;
    uint16_t outlineFill;
    uint16_t *triangles;     // 5 m entries
    uint16_t *outlines;      // 7 m entries
    MESHVBDESC vbDesc;
    SW3DVERTEX *source;      // n + 1, SW3D_FVF_VERTEX
    SW3DPVERTEX *output;     // n + 1, transformed (clip space kept)
    TEXTURE *texture;
    uint32_t *colours;       // n + 1, as converted from the model
    MESH *next;
    MESH *prev;
};

// The video engine's model holder: first word the model, ninth word the mesh.
struct MODELHOLDER
{
    MODEL *model;
    void *engine[7];
    MESH *mesh;
};

extern MESH *g_pMeshList;
extern int32_t g_iMeshCount;

// Null when out of memory or the sizes do not fit the 16-bit index lists.
MESH *Gfx_CreateMesh(uint32_t n, uint32_t m);
void Gfx_DestroyMesh(MESH *mesh);
void Gfx_DestroyAllMeshes();

int32_t Gfx_BuildModelMesh(MESH *mesh, const MODEL *model);
int32_t Gfx_UpdateModelMesh(MESH *mesh, const MODEL *model);
void Gfx_SetMeshTexture(MESH *mesh, TEXTURE *texture);
// colours: 256 console colours for the mesh's texture.
int32_t Gfx_SetMeshTexturePalette(MESH *mesh, const uint16_t *colours);
// pairs: n {u8 u, u8 v}; bytes is what may be read.
int32_t Gfx_SetMeshUVs(MESH *mesh, const uint8_t *pairs, size_t bytes);
int32_t Gfx_SetMeshVertices16(MESH *mesh, const int16_t *positions, const int16_t *normals, uint32_t first,
                              uint32_t count);
int32_t Gfx_SetMeshVertices32(MESH *mesh, const int32_t *positions, const uint32_t *colours, uint32_t first,
                              uint32_t count);

int32_t Gfx_TransformLightMesh(MESH *mesh);
int32_t Gfx_TransformMesh(MESH *mesh);

int32_t Gfx_DrawModelMesh(const MODELHOLDER *holder, const VIDOBJECT *object);
// 1 when none of the model's primitives is semi-transparent (its solid draw blends nothing).
int32_t Gfx_ModelIsOpaque(const MODEL *model);
// corners: four vertex numbers; colour: r, g, b bytes.
int32_t Gfx_DrawMeshQuad(MESH *mesh, const uint16_t *corners, const uint8_t *colour, int32_t style);
int32_t Gfx_DrawMeshQuadOutline(MESH *mesh, const uint16_t *corners, const uint8_t *colour);
int32_t Gfx_DrawMeshLines(MESH *mesh, const uint16_t *indices, uint16_t count);

void Gfx_SetMeshColoursInverted(MESH *mesh, uint32_t on);
// colour 0xFFFFFFFF restores the converted colours.
int32_t Gfx_SetMeshOutputColour(MESH *mesh, uint32_t colour);
