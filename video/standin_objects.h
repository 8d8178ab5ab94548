// Stand-in for the render objects until they are built: a model resource is a VIDOBJECT, and
// these calls keep what the loaders need of one (its model instance, the image record of its last
// texture, its index count) beside the object's drawing fields.
#pragma once

#include <cstdint>

struct IMAGEREC;
struct MODEL;
struct MODELHOLDER;
struct VIDOBJECT;

// A zeroed object; null when out of memory.
VIDOBJECT *Vid_NewObject();
// The object's model instance: the holder of model (whose data block the instance then owns and
// frees with free()) and a mesh sized for all its primitives. 0, or -1 (nothing kept).
int32_t Vid_NewModelInstance(VIDOBJECT *object, MODEL *model);
MODELHOLDER *Vid_GetModelInstance(const VIDOBJECT *object);
void Vid_SetObjectImage(VIDOBJECT *object, IMAGEREC *image);
IMAGEREC *Vid_GetObjectImage(const VIDOBJECT *object);
void Vid_SetObjectIndexCount(VIDOBJECT *object, uint32_t count);
uint32_t Vid_GetObjectIndexCount(const VIDOBJECT *object);
// Destroys the instance (mesh, then model data, then the holder) and the object.
void Vid_DestroyObject(VIDOBJECT *object);
