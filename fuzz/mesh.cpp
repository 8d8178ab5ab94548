// Model images over arbitrary bytes: read, turned into a mesh sized as the video engine sizes it
// and into one sized by the image's own first bytes (so counts and mesh disagree), refreshed,
// given the alternative texture coordinates, recoloured, and drawn without a device.
#include "render/mesh.h"
#include "video/vidobject.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MODEL model{};
    if (Gfx_ReadModelImage(data, size, &model) != 0)
        return 0;
    uint32_t t = 0, q = 0;
    Gfx_CountModelPrimitives(&model, &t, &q);
    MESH *meshes[2] = {Gfx_CreateMesh(3 * t + 4 * q, t + q),
                       Gfx_CreateMesh(model.engine[0] | model.engine[1] << 8, model.engine[2] | model.engine[3] << 8)};
    for (MESH *mesh : meshes) {
        if (!mesh)
            continue;
        Gfx_BuildModelMesh(mesh, &model);
        Gfx_BuildModelMesh(mesh, &model);
        Gfx_UpdateModelMesh(mesh, &model);
        for (int i = 0; i < MODEL_UV_TABLES; i++)
            if (model.uvTables[i])
                Gfx_SetMeshUVs(mesh, model.uvTables[i], model.uvBytes[i]);
        Gfx_SetMeshColoursInverted(mesh, model.engine[4] & 1);
        Gfx_SetMeshOutputColour(mesh, 0xFFFFFFFFu);
        MODELHOLDER holder{};
        holder.model = &model;
        holder.mesh = mesh;
        VIDOBJECT object{};
        object.flags = 0xFFFFFFFFu;
        object.colour[0] = 1;
        object.colour[1] = 2;
        object.colour[2] = 3;
        Gfx_DrawModelMesh(&holder, &object);
    }
    Gfx_DestroyAllMeshes();
    return 0;
}
