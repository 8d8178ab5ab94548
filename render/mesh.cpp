#include "render/mesh.h"

#include "app/calllog.h"
#include "app/startup.h"
#include "render/d3ddevice.h"
#include "render/dxerrors.h"
#include "render/prims3d.h"
#include "render/textures.h"
#include "video/vidobject.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

MESH *g_pMeshList = nullptr;
int32_t g_iMeshCount = 0;

const uint8_t g_aModelRecordSize[MODEL_GROUPS] = {16, 16, 28, 36, 28, 32, 40, 52};

namespace {

// Where each group keeps its fields. One colour or one normal means a flat primitive.
struct GROUPLAYOUT
{
    uint8_t corners;
    uint8_t colourCount, colours[4];
    uint8_t vertices[4];
    uint8_t normalCount, normals[4];
    bool textured;
    uint8_t uvs[4];
    uint8_t flags;
};

const GROUPLAYOUT kLayout[MODEL_GROUPS] = {
    {3, 1, {0}, {4, 6, 8}, 1, {12}, false, {}, 10},
    {4, 1, {0}, {4, 6, 8, 10}, 1, {12}, false, {}, 14},
    {3, 3, {0, 20, 24}, {4, 6, 8}, 3, {12, 14, 16}, false, {}, 10},
    {4, 4, {0, 20, 24, 28}, {4, 6, 8, 10}, 4, {12, 14, 16, 18}, false, {}, 32},
    {3, 1, {0}, {4, 6, 8}, 1, {24}, true, {12, 16, 20}, 10},
    {4, 1, {0}, {4, 6, 8, 10}, 1, {30}, true, {16, 20, 24, 28}, 12},
    {3, 3, {0, 32, 36}, {4, 6, 8}, 3, {12, 14, 16}, true, {20, 24, 28}, 10},
    {4, 4, {0, 40, 44, 48}, {4, 6, 8, 10}, 4, {16, 18, 20, 22}, true, {24, 28, 32, 36}, 12},
};

// Meshes take the groups in this order; every list of the mesh follows it.
const int kGroupOrder[MODEL_GROUPS] = {0, 2, 1, 3, 4, 6, 5, 7};

uint16_t U16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
int16_t I16(const uint8_t *p) { return static_cast<int16_t>(U16(p)); }
uint32_t U32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint32_t Rgb(const uint8_t *p) { return static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2]; }

int32_t Check(int32_t sw3dResult)
{
    g_hrD3D = Gfx_D3DResult(sw3dResult);
    if (g_hrD3D != 0)
        Gfx_D3DErrorName(g_hrD3D);
    return g_hrD3D;
}

bool GroupReadable(const MODEL *model, int g)
{
    const uint64_t need = static_cast<uint64_t>(model->counts[g]) * g_aModelRecordSize[g];
    return need == 0 || (model->groups[g] && need <= model->groupBytes[g]);
}

// Checks a model against a mesh before anything is written: every group readable, every
// vertex and normal index inside its table, the corners inside the mesh and (when indices are
// to be appended) the lists inside their 5 m and 7 m entries.
bool ModelFits(const MESH *mesh, const MODEL *model, bool appendIndices)
{
    if (!mesh || !model || !mesh->source)
        return false;
    uint64_t corners = 0, triangles = 0, outlines = 0;
    for (int g = 0; g < MODEL_GROUPS; g++) {
        if (!GroupReadable(model, g))
            return false;
        const GROUPLAYOUT &l = kLayout[g];
        for (uint32_t r = 0; r < model->counts[g]; r++) {
            const uint8_t *rec = model->groups[g] + static_cast<size_t>(r) * g_aModelRecordSize[g];
            for (int c = 0; c < l.corners; c++)
                if (!model->vertices || U16(rec + l.vertices[c]) >= model->vertexCount)
                    return false;
            for (int c = 0; c < l.normalCount; c++)
                if (!model->normals || U16(rec + l.normals[c]) >= model->normalCount)
                    return false;
        }
        corners += static_cast<uint64_t>(model->counts[g]) * l.corners;
        triangles += static_cast<uint64_t>(model->counts[g]) * l.corners;
        outlines += static_cast<uint64_t>(model->counts[g]) * (l.corners + 1);
    }
    if (corners > mesh->vertexCount)
        return false;
    if (appendIndices && (mesh->triangleFill + triangles > 5ull * mesh->primitiveCount ||
                          mesh->outlineFill + outlines > 7ull * mesh->primitiveCount))
        return false;
    return true;
}

void ScaleOf(const MESH *mesh, float *su, float *sv)
{
    if (mesh->texture) {
        *su = 1.0f / static_cast<float>(mesh->texture->width + 1);
        *sv = 1.0f / static_cast<float>(mesh->texture->height + 1);
    } else {
        *su = *sv = 1.0f / 64.0f;
    }
}

void Position(SW3DVERTEX &v, const MODEL *model, const uint8_t *rec, uint8_t at)
{
    const uint8_t *e = model->vertices + static_cast<size_t>(U16(rec + at)) * 8;
    v.x = I16(e);
    v.y = I16(e + 2);
    v.z = I16(e + 4);
}

bool Usable(const MESH *mesh) { return mesh && mesh->source && mesh->output; }

int32_t Draw(MESH *mesh, SW3DPRIMITIVE type, const uint16_t *indices, int32_t count)
{
    return Check(Sw3d_DrawProcessed(g_pD3DDevice, type, mesh->output, static_cast<int32_t>(mesh->vertexCount + 1),
                                    indices, count));
}

// The pass's texture for groups 0-3 (first) or 4-7.
int32_t BindFor(MESH *mesh, const VIDOBJECT *object, bool textured)
{
    const uint32_t f = object->flags;
    if (f & VIDOBJ_OWNTEXTURE)
        return Gfx_BindTextureRecord(object->texture, 0, (f & VIDOBJ_INVERTED) ? 1 : 0);
    if (textured)
        return Gfx_BindTexture(mesh->texture, mesh->flags, 1);
    return Gfx_BindTexture(nullptr, 0, 0);
}

} // namespace

int32_t Gfx_ReadModelImage(const uint8_t *image, size_t size, MODEL *out)
{
    if (!image || !out || size < MODEL_IMAGE_HEADER)
        return -1;
    MODEL m = {};
    std::memcpy(m.engine, image, 8);
    for (int g = 0; g < MODEL_GROUPS; g++)
        m.counts[g] = U16(image + 8 + 2 * g);
    // A table runs from its offset to the end of the image; the records are checked against that.
    auto table = [&](size_t at, const uint8_t **p, uint32_t *bytes) {
        const uint32_t off = U32(image + at);
        if (off == 0)
            return true;
        if (off >= size)
            return false;
        *p = image + off;
        *bytes = static_cast<uint32_t>(std::min<size_t>(size - off, UINT32_MAX));
        return true;
    };
    uint32_t vbytes = 0, nbytes = 0;
    if (!table(24, &m.vertices, &vbytes) || !table(28, &m.normals, &nbytes))
        return -1;
    m.vertexCount = vbytes / 8;
    m.normalCount = nbytes / 8;
    for (int g = 0; g < MODEL_GROUPS; g++)
        if (!table(36 + 4 * g, &m.groups[g], &m.groupBytes[g]))
            return -1;
    for (int t = 0; t < MODEL_UV_TABLES; t++)
        if (!table(68 + 4 * t, &m.uvTables[t], &m.uvBytes[t]))
            return -1;
    *out = m;
    return 0;
}

void Gfx_CountModelPrimitives(const MODEL *model, uint32_t *triangles, uint32_t *quads)
{
    uint32_t t = 0, q = 0;
    for (int g = 0; model && g < MODEL_GROUPS; g++)
        (kLayout[g].corners == 3 ? t : q) += model->counts[g];
    if (triangles)
        *triangles = t;
    if (quads)
        *quads = q;
}

MESH *Gfx_CreateMesh(uint32_t n, uint32_t m)
{
    // Vertex n is addressed by 16-bit indices and the fill counters are 16-bit.
    if (n > 0xFFFF || 7ull * m > 0xFFFF)
        return nullptr;
    MESH *mesh = static_cast<MESH *>(std::calloc(1, sizeof(MESH)));
    if (!mesh)
        return nullptr;
    mesh->vertexCount = n;
    mesh->primitiveCount = m;
    mesh->vbDesc = {16, MESH_VB_SYSTEMMEMORY, SW3D_FVF_VERTEX, n + 1};
    mesh->source = static_cast<SW3DVERTEX *>(std::calloc(n + 1, sizeof(SW3DVERTEX)));
    mesh->output = static_cast<SW3DPVERTEX *>(std::calloc(n + 1, sizeof(SW3DPVERTEX)));
    mesh->triangles = static_cast<uint16_t *>(std::calloc(5 * m + 1, sizeof(uint16_t)));
    mesh->outlines = static_cast<uint16_t *>(std::calloc(7 * m + 1, sizeof(uint16_t)));
    mesh->colours = static_cast<uint32_t *>(std::calloc(n + 1, sizeof(uint32_t)));
    if (!mesh->source || !mesh->output || !mesh->triangles || !mesh->outlines || !mesh->colours) {
        std::free(mesh->source);
        std::free(mesh->output);
        std::free(mesh->triangles);
        std::free(mesh->outlines);
        std::free(mesh->colours);
        std::free(mesh);
        return nullptr;
    }
    mesh->next = g_pMeshList;
    mesh->prev = nullptr;
    if (g_pMeshList)
        g_pMeshList->prev = mesh;
    g_pMeshList = mesh;
    g_iMeshCount++;
    return mesh;
}

void Gfx_DestroyMesh(MESH *mesh)
{
    if (!mesh)
        return;
    std::free(mesh->source);
    std::free(mesh->output);
    std::free(mesh->triangles);
    std::free(mesh->outlines);
    std::free(mesh->colours);
    if (mesh->prev)
        mesh->prev->next = mesh->next;
    else if (g_pMeshList == mesh)
        g_pMeshList = mesh->next;
    if (mesh->next)
        mesh->next->prev = mesh->prev;
    std::free(mesh);
    g_iMeshCount--;
}

void Gfx_DestroyAllMeshes()
{
    while (g_pMeshList)
        Gfx_DestroyMesh(g_pMeshList);
}

int32_t Gfx_BuildModelMesh(MESH *mesh, const MODEL *model)
{
    if (!ModelFits(mesh, model, true))
        return DDERR_INVALIDPARAMS;
    float su, sv;
    ScaleOf(mesh, &su, &sv);
    mesh->nextVertex = 0;
    for (int g : kGroupOrder) {
        const GROUPLAYOUT &l = kLayout[g];
        for (uint32_t r = 0; r < model->counts[g]; r++) {
            const uint8_t *rec = model->groups[g] + static_cast<size_t>(r) * g_aModelRecordSize[g];
            const uint16_t k = mesh->nextVertex;
            uint16_t *tri = mesh->triangles + mesh->triangleFill;
            uint16_t *out = mesh->outlines + mesh->outlineFill;
            if (l.corners == 3) {
                const uint16_t t[3] = {k, uint16_t(k + 1), uint16_t(k + 2)};
                const uint16_t o[4] = {k, uint16_t(k + 1), uint16_t(k + 2), k};
                std::memcpy(tri, t, sizeof t);
                std::memcpy(out, o, sizeof o);
            } else {
                const uint16_t t[4] = {k, uint16_t(k + 1), uint16_t(k + 2), uint16_t(k + 3)};
                const uint16_t o[5] = {k, uint16_t(k + 1), uint16_t(k + 3), uint16_t(k + 2), k};
                std::memcpy(tri, t, sizeof t);
                std::memcpy(out, o, sizeof o);
            }
            mesh->triangleFill = static_cast<uint16_t>(mesh->triangleFill + l.corners);
            mesh->outlineFill = static_cast<uint16_t>(mesh->outlineFill + l.corners + 1);
            for (int c = 0; c < l.corners; c++) {
                SW3DVERTEX &v = mesh->source[k + c];
                Position(v, model, rec, l.vertices[c]);
                const uint8_t *nrm =
                    model->normals + static_cast<size_t>(U16(rec + l.normals[l.normalCount == 1 ? 0 : c])) * 8;
                v.nx = I16(nrm) / 4096.0f;
                v.ny = I16(nrm + 2) / 4096.0f;
                v.nz = I16(nrm + 4) / 4096.0f;
                v.colour = Rgb(rec + l.colours[l.colourCount == 1 ? 0 : c]);
                if (l.textured) {
                    v.tu = rec[l.uvs[c]] * su;
                    v.tv = rec[l.uvs[c] + 1] * sv;
                }
                mesh->colours[k + c] = v.colour;
                mesh->nextVertex++;
            }
        }
    }
    return 0;
}

int32_t Gfx_UpdateModelMesh(MESH *mesh, const MODEL *model)
{
    if (!ModelFits(mesh, model, false))
        return DDERR_INVALIDPARAMS;
    uint32_t k = 0;
    for (int g : kGroupOrder) {
        const GROUPLAYOUT &l = kLayout[g];
        for (uint32_t r = 0; r < model->counts[g]; r++) {
            const uint8_t *rec = model->groups[g] + static_cast<size_t>(r) * g_aModelRecordSize[g];
            for (int c = 0; c < l.corners; c++)
                Position(mesh->source[k++], model, rec, l.vertices[c]);
        }
    }
    return 0;
}

void Gfx_SetMeshTexture(MESH *mesh, TEXTURE *texture)
{
    if (mesh)
        mesh->texture = texture;
}

int32_t Gfx_SetMeshTexturePalette(MESH *mesh, const uint16_t *colours)
{
    if (!mesh || !mesh->texture || !colours)
        return DDERR_INVALIDPARAMS;
    return Gfx_SetTexturePalette(mesh->texture, colours);
}

int32_t Gfx_SetMeshUVs(MESH *mesh, const uint8_t *pairs, size_t bytes)
{
    if (!Usable(mesh) || !pairs || bytes / 2 < mesh->vertexCount)
        return DDERR_INVALIDPARAMS;
    float su, sv;
    ScaleOf(mesh, &su, &sv);
    for (uint32_t i = 0; i < mesh->vertexCount; i++) {
        mesh->source[i].tu = pairs[2 * i] * su;
        mesh->source[i].tv = pairs[2 * i + 1] * sv;
    }
    return 0;
}

int32_t Gfx_SetMeshVertices16(MESH *mesh, const int16_t *positions, const int16_t *normals, uint32_t first,
                              uint32_t count)
{
    if (!Usable(mesh) || !positions || !normals || first > mesh->vertexCount + 1 ||
        count > mesh->vertexCount + 1 - first)
        return DDERR_INVALIDPARAMS;
    for (uint32_t i = 0; i < count; i++) {
        SW3DVERTEX &v = mesh->source[first + i];
        const int16_t *p = positions + 4 * i, *n = normals + 4 * i;
        v.x = p[0];
        v.y = p[1];
        v.z = p[2];
        v.nx = n[0] / 4096.0f;
        v.ny = n[1] / 4096.0f;
        v.nz = n[2] / 4096.0f;
        v.colour = static_cast<uint32_t>(p[0] & 0xFF) << 16 | static_cast<uint32_t>(p[1] & 0xFF) << 8 |
                   static_cast<uint32_t>(p[2] & 0xFF);
    }
    return 0;
}

int32_t Gfx_SetMeshVertices32(MESH *mesh, const int32_t *positions, const uint32_t *colours, uint32_t first,
                              uint32_t count)
{
    if (!Usable(mesh) || !positions || !colours || first > mesh->vertexCount + 1 ||
        count > mesh->vertexCount + 1 - first)
        return DDERR_INVALIDPARAMS;
    for (uint32_t i = 0; i < count; i++) {
        SW3DVERTEX &v = mesh->source[first + i];
        const int32_t *p = positions + 4 * i;
        v.x = static_cast<float>(p[0]);
        v.y = static_cast<float>(p[1]);
        v.z = static_cast<float>(p[2]);
        v.colour = colours[i];
    }
    return 0;
}

int32_t Gfx_TransformLightMesh(MESH *mesh)
{
    if (!Usable(mesh))
        return DDERR_INVALIDPARAMS;
    return Check(Sw3d_ProcessVertices(g_pD3DDevice, mesh->source, static_cast<int32_t>(mesh->vertexCount + 1), 0,
                                      mesh->output));
}

int32_t Gfx_TransformMesh(MESH *mesh)
{
    if (!Usable(mesh))
        return DDERR_INVALIDPARAMS;
    return Check(Sw3d_ProcessVertices(g_pD3DDevice, mesh->source, static_cast<int32_t>(mesh->vertexCount + 1),
                                      SW3D_DP_DONOTLIGHT, mesh->output));
}

int32_t Gfx_ModelIsOpaque(const MODEL *model)
{
    if (!model)
        return 0;
    for (int g = 0; g < MODEL_GROUPS; g++) {
        if (!GroupReadable(model, g))
            return 0;
        const GROUPLAYOUT &l = kLayout[g];
        for (uint32_t r = 0; r < model->counts[g]; r++)
            if (model->groups[g][static_cast<size_t>(r) * g_aModelRecordSize[g] + l.flags] & 2)
                return 0;
    }
    return 1;
}

int32_t Gfx_DrawModelMesh(const MODELHOLDER *holder, const VIDOBJECT *object)
{
    if (!holder || !object || !Usable(holder->mesh) || !holder->model)
        return DDERR_INVALIDPARAMS;
    MESH *mesh = holder->mesh;
    const MODEL *model = holder->model;
    // The draw reads each primitive's flags and walks the lists by the model's counts: both must
    // still be what the mesh was built from.
    uint32_t triangles = 0, outlines = 0;
    for (int g = 0; g < MODEL_GROUPS; g++) {
        if (!GroupReadable(model, g))
            return DDERR_INVALIDPARAMS;
        triangles += static_cast<uint32_t>(model->counts[g]) * kLayout[g].corners;
        outlines += static_cast<uint32_t>(model->counts[g]) * (kLayout[g].corners + 1);
    }
    if (triangles > mesh->triangleFill || outlines > mesh->outlineFill)
        return DDERR_INVALIDPARAMS;

    const uint32_t f = object->flags;
    Gfx_SetMeshColoursInverted(mesh, f & VIDOBJ_INVERTED);
    static const int kPasses[2][4] = {{0, 2, 1, 3}, {4, 6, 5, 7}};
    if (f & VIDOBJ_SOLID) {
        const uint16_t *list = mesh->triangles;
        for (int half = 0; half < 2; half++) {
            if (int32_t hr = BindFor(mesh, object, half == 1))
                return hr;
            for (int g : kPasses[half]) {
                const GROUPLAYOUT &l = kLayout[g];
                for (uint32_t r = 0; r < model->counts[g]; r++) {
                    const uint8_t *rec = model->groups[g] + static_cast<size_t>(r) * g_aModelRecordSize[g];
                    if (int32_t hr = Gfx_SetBlendMode((rec[l.flags] & 2) ? 1 : 0))
                        return hr;
                    if (int32_t hr = Draw(mesh, l.corners == 3 ? SW3D_PT_TRIANGLELIST : SW3D_PT_TRIANGLESTRIP, list,
                                          l.corners))
                        return hr;
                    list += l.corners;
                }
            }
        }
    }
    if (f & VIDOBJ_OUTLINE) {
        uint32_t colour = Rgb(object->colour);
        if (f & VIDOBJ_OUTLINE_INVERTED)
            colour ^= 0xFFFFFF;
        if (int32_t hr = Gfx_SetBlendMode((f & VIDOBJ_OUTLINE_ADDITIVE) ? 1 : 0))
            return hr;
        if (f & VIDOBJ_OUTLINE_RECOLOUR)
            Gfx_SetMeshOutputColour(mesh, colour);
        const uint16_t *list = mesh->outlines;
        for (int half = 0; half < 2; half++) {
            if (int32_t hr = BindFor(mesh, object, half == 1))
                return hr;
            for (int g : kPasses[half]) {
                const int32_t count = kLayout[g].corners + 1;
                for (uint32_t r = 0; r < model->counts[g]; r++, list += count)
                    if (int32_t hr = Draw(mesh, SW3D_PT_LINESTRIP, list, count))
                        return hr;
            }
        }
        if (f & VIDOBJ_OUTLINE_RECOLOUR)
            Gfx_SetMeshOutputColour(mesh, 0xFFFFFFFFu);
    } else if (f & VIDOBJ_HUBLINES) {
        const uint16_t n = static_cast<uint16_t>(mesh->vertexCount);
        for (uint16_t i = 0; i < n; i++) {
            const uint16_t pair[2] = {n, i};
            if (int32_t hr = Draw(mesh, SW3D_PT_LINELIST, pair, 2))
                return hr;
        }
    }
    if (int32_t hr = Gfx_SetBlendMode(0))
        return hr;
    g_iPrimitivesDrawn += static_cast<int32_t>(mesh->primitiveCount);
    return 0;
}

int32_t Gfx_DrawMeshQuad(MESH *mesh, const uint16_t *corners, const uint8_t *colour, int32_t style)
{
    if (!Usable(mesh) || !corners || !colour)
        return DDERR_INVALIDPARAMS;
    for (int c = 0; c < 4; c++)
        if (corners[c] > mesh->vertexCount)
            return DDERR_INVALIDPARAMS;
    static const uint8_t kUV[4][4][2] = {
        {{1, 0}, {0, 0}, {1, 1}, {0, 1}},
        {{0, 0}, {0, 1}, {1, 0}, {1, 1}},
        {{0, 1}, {1, 1}, {0, 0}, {1, 0}},
        {{1, 1}, {1, 0}, {0, 1}, {0, 0}},
    };
    const int row = (style >= 2 && style <= 13) ? (style - 2) / 4 + 1 : 0;
    for (int c = 0; c < 4; c++) {
        SW3DPVERTEX &v = mesh->output[corners[c]];
        v.colour = Rgb(colour);
        v.tu = kUV[row][c][0];
        v.tv = kUV[row][c][1];
    }
    return Draw(mesh, SW3D_PT_TRIANGLESTRIP, corners, 4);
}

int32_t Gfx_DrawMeshQuadOutline(MESH *mesh, const uint16_t *corners, const uint8_t *colour)
{
    if (!Usable(mesh) || !corners || !colour)
        return DDERR_INVALIDPARAMS;
    for (int c = 0; c < 4; c++)
        if (corners[c] > mesh->vertexCount)
            return DDERR_INVALIDPARAMS;
    for (int c = 0; c < 4; c++)
        mesh->output[corners[c]].colour = Rgb(colour);
    const uint16_t strip[5] = {corners[0], corners[1], corners[3], corners[2], corners[0]};
    return Draw(mesh, SW3D_PT_LINESTRIP, strip, 5);
}

int32_t Gfx_DrawMeshLines(MESH *mesh, const uint16_t *indices, uint16_t count)
{
    if (!Usable(mesh) || !indices)
        return DDERR_INVALIDPARAMS;
    if (int32_t hr = Gfx_BindTexture(nullptr, 0, 0))
        return hr;
    if (int32_t hr = Gfx_SetBlendMode(1))
        return hr;
    return Draw(mesh, SW3D_PT_LINELIST, indices, count);
}

void Gfx_SetMeshColoursInverted(MESH *mesh, uint32_t on)
{
    if (!Usable(mesh))
        return;
    const bool inverted = (mesh->flags & MESH_INVERTED) != 0;
    if ((on != 0) == inverted)
        return;
    mesh->flags ^= MESH_INVERTED;
    for (uint32_t i = 0; i < mesh->vertexCount; i++)
        mesh->source[i].colour ^= 0xFFFFFF;
}

int32_t Gfx_SetMeshOutputColour(MESH *mesh, uint32_t colour)
{
    if (!Usable(mesh))
        return DDERR_INVALIDPARAMS;
    for (uint32_t i = 0; i < mesh->vertexCount; i++)
        mesh->output[i].colour = colour == 0xFFFFFFFFu ? mesh->colours[i] : colour;
    return 0;
}
