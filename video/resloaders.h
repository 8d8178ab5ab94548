// The load and free callbacks of the resource kinds (file layouts in video/resformat.h). Every
// loader checks the file's counts, offsets and indices against its size before it keeps anything
// and refuses a broken file (null, with the reason in g_szResErrorText). Files are parsed into
// native records: nothing is patched into a loaded image as an address.
//
// Kinds 0, 1, 7 give a VIDOBJECT (a model with its mesh and textures); 2, 3, 6, 8 an IMAGEREC;
// 4, 5, 11 a POINTLIST; 10 an ANIMRES; 12 a TEXTDEF. Main thread only.
#pragma once

#include "render/mesh.h"
#include "video/resformat.h"

#include <cstddef>
#include <cstdint>

struct IMAGEREC;
struct VIDOBJECT;

extern char g_szResErrorText[160];
// Set by the texture chase while it loads user images, and by a song load while it loads its
// user images: map textures then come from the user image bank instead of the archive.
extern int32_t g_bResUserImage;
extern int32_t g_bSongUserImages;

// ---- Models ----
// The model data of a loaded model: one block, MODEL first, then the laid-out file.
struct RESMODEL
{
    MODEL model;          // tables point into bytes
    uint32_t flags;       // the file's flags | RESMODEL_FLAG_LOADED
    uint32_t colour;      // r, g, b, code
    uint32_t indexCount;  // 3 x triangles + 4 x quads of groups 0-3, else of groups 4-7
    uint32_t size;        // bytes of the file
    uint32_t texturesHeld; // textured primitives (groups 4-7 in order) holding a texture reference
    int16_t vertexCount;
    int16_t normalCount;
    uint8_t *bytes;       // the file; textured primitives hold resource ids in place of numbers
};

// Checks a model file and lays it out into a new block (free() it). Null when it is refused.
RESMODEL *Vid_ParseModel(const uint8_t *file, size_t size);
RESMODEL *Vid_GetObjectModel(const VIDOBJECT *object);
void *Vid_LoadModelRes(int32_t kind, void *data, const uint16_t *path, int32_t depth, uint32_t size);
// Loads every texture of the object's model from the texture kind of kind (8 for models, else 2)
// at (firstIndex, texture number). 1, or 0 when one is missing (no reference is then held).
int32_t Vid_LoadModelTextures(VIDOBJECT *object, int32_t kind, uint16_t firstIndex);
void Vid_ReleaseModelTextures(VIDOBJECT *object);
void Vid_FreeModelRes(int32_t id, void *object, const uint16_t *path, int32_t depth);

// ---- Images ----
void *Vid_LoadImageRes(int32_t kind, void *data, const uint16_t *path, int32_t depth, uint32_t size);
void Vid_FreeImageRes(int32_t id, void *image, const uint16_t *path, int32_t depth);

// ---- Point lists ----
struct RESPOINT
{
    int32_t x, y, z;
    uint32_t kind; // key points: 1 + 2 x the plain points that follow
};

struct POINTLIST
{
    uint32_t count;    // P
    uint32_t keyCount; // K, at least 1
    uint32_t closed;
    RESPOINT *points;
    uint32_t *keys;    // K point numbers
};

// Checks and lays out a point list file into a new list (Vid_FreePointList). Null when refused.
POINTLIST *Vid_ParsePointList(const uint8_t *file, size_t size);
void Vid_FreePointList(POINTLIST *list);
void *Vid_LoadPointListRes(int32_t kind, void *data, const uint16_t *path, int32_t depth, uint32_t size);
void Vid_FreePointListRes(int32_t id, void *list, const uint16_t *path, int32_t depth);
// The point between key from and key to at t (0..4096). 0, or -1 (out untouched) when t is
// outside 0..4096 or the list has no keys.
int32_t Vid_PointListAt(const POINTLIST *list, int32_t from, int32_t to, int32_t t, RESPOINT *out);

// ---- Vertex-group animations ----
struct ANIMEXTRA
{
    uint32_t stamp; // frame counter of the last evaluation
    uint16_t reserved;
    uint16_t speed; // RESANIM_SPEED after loading
};

struct ANIMGROUP
{
    int16_t items;
    uint16_t kind;  // RESANIM_KIND_
    uint16_t bytes; // what the group takes in a frame
};

struct ANIMFRAME
{
    ANIMFRAME *next; // a ring: the last frame's next is the first
    ANIMFRAME *prev;
    uint32_t mask;   // groups present
    uint16_t time;
    const uint8_t *items; // the items of each present group in group order
};

struct ANIMRES
{
    ANIMEXTRA *extra;
    int16_t groupCount;
    int16_t frameCount;
    int16_t loopStart;
    int16_t loopEnd;
    int32_t maxVertex;  // highest vertex index of the kind 1 items, -1 none
    ANIMGROUP *groups;  // groupCount
    ANIMFRAME **from;   // per group, the current frames (null at first)
    ANIMFRAME **to;
    int32_t *factors;   // per group, 0..4096
    ANIMFRAME *frames;  // frameCount; frames[0] is the first
    uint8_t *file;
    uint32_t size;
};

// Checks and lays out an animation file (which the result then owns). Null when refused; the
// file is then still the caller's.
ANIMRES *Vid_LayoutLoadedDef(uint8_t *file, size_t size);
void Vid_FreeAnim(ANIMRES *anim);
// Items of group g in a frame, or null when the frame does not hold the group.
const uint8_t *Vid_GroupItems(const ANIMRES *anim, const ANIMFRAME *frame, int32_t group);
void *Vid_LoadAnimRes(int32_t kind, void *data, const uint16_t *path, int32_t depth, uint32_t size);
void Vid_FreeAnimRes(int32_t id, void *anim, const uint16_t *path, int32_t depth);

// ---- Text definitions ----
struct TEXTDEF
{
    uint16_t disc;
    const char *text;
    uint16_t first;
    uint16_t second;
    char *buffer;
};

TEXTDEF *Vid_ParseTextDef(const uint8_t *file, size_t size);
void Vid_FreeTextDef(TEXTDEF *def);
void *Vid_LoadTextDefRes(int32_t kind, void *data, const uint16_t *path, int32_t depth, uint32_t size);
void Vid_FreeTextDefRes(int32_t id, void *def, const uint16_t *path, int32_t depth);

// Writes the callbacks into the kind rows of every registered disc, and into those of discs
// registered later.
void Vid_InstallResLoaders();
