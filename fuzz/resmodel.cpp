// Model resource files over arbitrary bytes: checked, laid out, turned into an object with its
// mesh, built, refreshed from every UV layer, and freed.
#include "render/mesh.h"
#include "video/resloaders.h"
#include "video/vidobject.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    RESMODEL *m = Vid_ParseModel(data, size);
    if (!m)
        return 0;
    VIDOBJECT *object = Vid_NewObject();
    if (!object || Vid_NewModelInstance(object, &m->model) != 0) {
        std::free(m);
        Vid_DestroyObject(object);
        return 0;
    }
    MESH *mesh = Vid_GetModelInstance(object)->mesh;
    if (Gfx_BuildModelMesh(mesh, &m->model) == 0) {
        Gfx_UpdateModelMesh(mesh, &m->model);
        for (int i = 0; i < MODEL_UV_TABLES; i++)
            if (m->model.uvTables[i])
                Gfx_SetMeshUVs(mesh, m->model.uvTables[i], m->model.uvBytes[i]);
    }
    Vid_DestroyObject(object);
    return 0;
}
