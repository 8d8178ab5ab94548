#include "video/vidobject.h"

#include <cstring>

#include "core/idpool.h"

void Vid_DestroyModelInstance(MODELINSTANCE *instance)
{
    if (!instance)
        return;
    Gfx_DestroyMesh(instance->mesh);
    Sys_MemFree(instance->model);
    Sys_MemFree(instance);
}

VIDOBJECT *Vid_NewObject()
{
    return static_cast<VIDOBJECT *>(Sys_MemAlloc(nullptr, sizeof(VIDOBJECT)));
}

void Vid_DestroyObject(VIDOBJECT *object)
{
    if (!object)
        return;
    Vid_DestroyModelInstance(object->pInstance);
    Sys_MemFree(object);
}

int32_t Vid_NewModelInstance(VIDOBJECT *object, MODEL *model)
{
    if (!object || !model || object->pInstance)
        return -1;
    auto *instance = static_cast<MODELINSTANCE *>(Sys_MemAlloc(nullptr, sizeof(MODELINSTANCE)));
    uint32_t triangles = 0, quads = 0;
    Gfx_CountModelPrimitives(model, &triangles, &quads);
    MESH *mesh = instance ? Gfx_CreateMesh(3 * triangles + 4 * quads, triangles + quads) : nullptr;
    if (!mesh) {
        Sys_MemFree(instance);
        return -1;
    }
    instance->model = model;
    instance->mesh = mesh;
    object->pInstance = instance;
    object->uIndexCount = 3 * triangles + 4 * quads;
    return 0;
}

MODELINSTANCE *Vid_GetModelInstance(const VIDOBJECT *object)
{
    return object ? object->pInstance : nullptr;
}

void Vid_SetObjectImage(VIDOBJECT *object, IMAGEREC *image)
{
    if (object)
        object->pImage = image;
}

IMAGEREC *Vid_GetObjectImage(const VIDOBJECT *object)
{
    return object ? object->pImage : nullptr;
}

void Vid_SetObjectIndexCount(VIDOBJECT *object, uint32_t count)
{
    if (object)
        object->uIndexCount = count;
}

uint32_t Vid_GetObjectIndexCount(const VIDOBJECT *object)
{
    return object ? object->uIndexCount : 0;
}

void Vid_ScrollUVs(uint8_t *uvs, int32_t count, int32_t du, int32_t dv)
{
    if (!uvs || count <= 0)
        return;
    int32_t tally[2] = {};
    const int32_t d[2] = {du, dv};
    for (int32_t i = 0; i < count; i++)
        for (int j = 0; j < 2; j++) {
            uint8_t &b = uvs[2 * i + j];
            b = static_cast<uint8_t>(b + d[j]);
            if (b >= 129)
                tally[j]++;
            else if (b < 64)
                tally[j]--;
        }
    for (int j = 0; j < 2; j++) {
        if (!tally[j])
            continue;
        const int32_t shift = tally[j] > 0 ? -64 : 64;
        for (int32_t i = 0; i < count; i++)
            uvs[2 * i + j] = static_cast<uint8_t>(uvs[2 * i + j] + shift);
    }
}

void Vid_AdvanceFade(VIDOBJECT *object)
{
    if (!object)
        return;
    int32_t level = object->sFadeLevel + object->sFadeStep;
    if (object->flags & VIDOBJ_FADING) {
        object->mtxLightColour = object->mtxSavedLightColour;
        if (level < 0)
            level = 0;
        if (level >= 4096) {
            level = 4096;
            object->flags &= ~VIDOBJ_FADING;
            std::memcpy(object->colour, object->savedColour, sizeof object->colour);
        } else {
            for (int i = 0; i < 3; i++)
                object->colour[i] = static_cast<uint8_t>(object->savedColour[i] * level >> 12);
            Sys_FxScaleMatrixRows(&object->mtxLightColour, level, level, level);
        }
    } else if (level < -32768 || level > 32767) {
        level = level < 0 ? -32768 : 32767;
    }
    object->sFadeLevel = static_cast<int16_t>(level);
}

void Vid_SetObjectLight(VIDOBJECT *object, int32_t light, int32_t x, int32_t y, int32_t z)
{
    if (!object || light < 0 || light > 2)
        return;
    object->mtxLight.m[light][0] = static_cast<int16_t>(x);
    object->mtxLight.m[light][1] = static_cast<int16_t>(y);
    object->mtxLight.m[light][2] = static_cast<int16_t>(z);
}
