// Render objects: a model with its coordinate system, lights, colour tables, texture, instances
// and fade. Model resources are render objects, and so are the seven lane render slots that the
// chase types fill each frame for the frame render.
#pragma once

#include <cstdint>

#include "core/fixmath.h"
#include "render/mesh.h"

struct IMAGEREC;
struct TEXTURE;

// VIDOBJECT.flags (model flags and the frame render's bits)
constexpr uint32_t VIDOBJ_LANEOBJECT = 0x20; // shows a lane particle object instead of a model
constexpr uint32_t VIDOBJ_SOLID = 0x40;
constexpr uint32_t VIDOBJ_OUTLINE = 0x80;
constexpr uint32_t VIDOBJ_OWNTEXTURE = 0x100;
constexpr uint32_t VIDOBJ_FADING = 0x40000;
constexpr uint32_t VIDOBJ_HUBLINES = 0x80000;
constexpr uint32_t VIDOBJ_INVERTED = 0x800000;
constexpr uint32_t VIDOBJ_OUTLINE_ADDITIVE = 0x4000000;
constexpr uint32_t VIDOBJ_OUTLINE_RECOLOUR = 0x8000000;
constexpr uint32_t VIDOBJ_OUTLINE_INVERTED = 0x10000000;

// A model with its mesh; the frame render's MODELHOLDER (model first, mesh ninth word).
using MODELINSTANCE = MODELHOLDER;

struct VIDOBJECT
{
    MODELINSTANCE *pInstance; // null = no model
    uint32_t flags;           // 0x40 always set on models
    FIXMATRIX mtxLight;       // rows = light directions, 4.12
    FIXMATRIX mtxLightColour; // column i = colour of light i
    uint8_t colour[4];        // r, g, b, packet code
    uint16_t *pColourTable;   // 256 colours, null = none
    MODELINSTANCE **ppAltModels; // by instance number
    void *pAnimation;         // vertex-group animation, null = none
    uint32_t uOwnLights;      // non-zero when the lights are the object's own
    IMAGEREC *pImage;         // image record of the last texture loaded for the model
    TEXTURE *texture;         // the device texture drawn with VIDOBJ_OWNTEXTURE
    COORD *pInstanceParent;   // whose translation the instance offsets move; null = own
    int32_t iInstanceCount;
    int16_t sFadeLevel;       // 0..4096
    int16_t sFadeStep;
    int32_t *pInstanceOffsets; // four i32 per instance: x, y, z, unused
    COORD coord;
    uint8_t ucLaneObject;     // lane particle object index of VIDOBJ_LANEOBJECT slots
    void *pGridEffect;
    void *pPictureEffect;
    FIXMATRIX mtxSavedLightColour; // what a fade scales from
    uint8_t savedColour[4];
    uint16_t uClutPosition;   // texture memory: x = (p & 63) * 16, y = p >> 6
    int16_t sScrollU;
    int16_t sScrollV;
    uint16_t uTexClutPosition;
    uint32_t uIndexCount;     // indices of the model's primitives
    void *pTypeBlock;         // the chase type's own block
};

// A zeroed object (model resources are objects); null when out of memory. Free with
// Vid_DestroyObject.
VIDOBJECT *Vid_NewObject();
// Destroys the instance (mesh, model data, instance) and frees the object; null is ignored.
void Vid_DestroyObject(VIDOBJECT *object);
// Gives the object an instance holding model (a malloc'd block the instance then owns) and a
// mesh sized for all its primitives. 0, or -1 with nothing kept (the caller still owns model);
// an object that has an instance already is refused.
int32_t Vid_NewModelInstance(VIDOBJECT *object, MODEL *model);
void Vid_DestroyModelInstance(MODELINSTANCE *instance);
MODELINSTANCE *Vid_GetModelInstance(const VIDOBJECT *object);
void Vid_SetObjectImage(VIDOBJECT *object, IMAGEREC *image);
IMAGEREC *Vid_GetObjectImage(const VIDOBJECT *object);
void Vid_SetObjectIndexCount(VIDOBJECT *object, uint32_t count);
uint32_t Vid_GetObjectIndexCount(const VIDOBJECT *object);
// count {u, v} byte pairs: adds du, dv, then pulls the coordinate back by 64 when most results
// left 64..128 on one side.
void Vid_ScrollUVs(uint8_t *uvs, int32_t count, int32_t du, int32_t dv);
void Vid_AdvanceFade(VIDOBJECT *object);
void Vid_SetObjectLight(VIDOBJECT *object, int32_t light, int32_t x, int32_t y, int32_t z);
