// Stand-in until the render objects are built (see standin_objects.h).
#include "video/standin_objects.h"

#include "render/mesh.h"
#include "video/vidobject.h"

#include <cstdlib>
#include <new>

namespace {

struct OBJECTBOX
{
    VIDOBJECT object; // first, so the object's address is the box's
    MODELHOLDER *instance;
    IMAGEREC *image;
    uint32_t indexCount;
};

OBJECTBOX *Box(const VIDOBJECT *object)
{
    return reinterpret_cast<OBJECTBOX *>(const_cast<VIDOBJECT *>(object));
}

} // namespace

VIDOBJECT *Vid_NewObject()
{
    OBJECTBOX *box = static_cast<OBJECTBOX *>(std::calloc(1, sizeof(OBJECTBOX)));
    return box ? &box->object : nullptr;
}

int32_t Vid_NewModelInstance(VIDOBJECT *object, MODEL *model)
{
    if (!object || !model || Box(object)->instance)
        return -1;
    uint32_t t = 0, q = 0;
    Gfx_CountModelPrimitives(model, &t, &q);
    MODELHOLDER *holder = static_cast<MODELHOLDER *>(std::calloc(1, sizeof(MODELHOLDER)));
    MESH *mesh = holder ? Gfx_CreateMesh(3 * t + 4 * q, t + q) : nullptr;
    if (!mesh) {
        std::free(holder);
        return -1;
    }
    holder->model = model;
    holder->mesh = mesh;
    Box(object)->instance = holder;
    return 0;
}

MODELHOLDER *Vid_GetModelInstance(const VIDOBJECT *object)
{
    return object ? Box(object)->instance : nullptr;
}

void Vid_SetObjectImage(VIDOBJECT *object, IMAGEREC *image)
{
    if (object)
        Box(object)->image = image;
}

IMAGEREC *Vid_GetObjectImage(const VIDOBJECT *object)
{
    return object ? Box(object)->image : nullptr;
}

void Vid_SetObjectIndexCount(VIDOBJECT *object, uint32_t count)
{
    if (object)
        Box(object)->indexCount = count;
}

uint32_t Vid_GetObjectIndexCount(const VIDOBJECT *object)
{
    return object ? Box(object)->indexCount : 0;
}

void Vid_DestroyObject(VIDOBJECT *object)
{
    if (!object)
        return;
    OBJECTBOX *box = Box(object);
    if (box->instance) {
        Gfx_DestroyMesh(box->instance->mesh);
        std::free(box->instance->model);
        std::free(box->instance);
    }
    std::free(box);
}
