// Resource pages: the reference-counted records of the video engine's loaded resources (models,
// textures, paths, layouts, particles, fonts, animations, tunnels, instruments). Each kind has an
// archive folder; its sub-folders become a tree of folder records when a disc is registered, and
// every loaded entry becomes a leaf record under its folder, addressed by its pool id.
//
// Each disc record keeps 13 kind rows in its 520 bytes of disc data. The rows hold no pointers:
// the tree is a pool id and the callbacks a slot of the callback table.
//
// Resource id 0 is never a loaded resource (callers treat ids below 1 as none); the pool keeps it.
// Main thread only.
#pragma once

#include "video/resformat.h"

#include <cstddef>
#include <cstdint>

struct IDPOOL;
struct DISKNAMES;

constexpr uint32_t RESPAGE_POOL_SHIFT = 8;
constexpr uint32_t RESPAGE_POOL_PAGES = 128;
constexpr int32_t RESROW_PATH_MAX = 6;

// Kind row flags.
constexpr uint16_t RESROW_LOAD_WHOLE = 1; // the entry is read into memory before the callback
constexpr uint16_t RESROW_STREAMED = 2;   // the callback reads the entry; each load is its own record

// load(kind or record id, file buffer (owned by the callback) or null, path, depth, size)
typedef void *(*RESLOADFN)(int32_t kind, void *data, const uint16_t *path, int32_t depth, uint32_t size);
// free(id, data, path from the kind folder, depth)
typedef void (*RESFREEFN)(int32_t id, void *data, const uint16_t *path, int32_t depth);

struct RESKINDROW
{
    uint16_t path[RESROW_PATH_MAX]; // index path of the kind's folder
    char letters[RESROW_PATH_MAX];  // the one-letter names of that path's folders
    uint16_t depth;
    uint16_t disc;
    uint16_t flags;    // RESROW_
    int16_t tree;      // id of the first top-level folder record, -1 none
    uint8_t callbacks; // slot of the callback table, 0 none
    uint8_t kind;
    uint8_t reserved[12];
};
static_assert(sizeof(RESKINDROW) == 40, "a kind row fills its 40 bytes of disc data");
static_assert(alignof(RESKINDROW) <= 2, "kind rows sit at even offsets of the disc record");

struct RESPAGE
{
    char name[8];       // entry or folder name, not terminated
    uint16_t index;     // position in its folder: folder number, or 0-based entry number
    uint16_t saveNumber;
    uint32_t count;     // references
    RESKINDROW *row;    // top-level folder records: the row that owns the tree
    RESPAGE *child;
    RESPAGE *next;
    RESPAGE *parent;    // null for top-level folders
    void *data;         // loaded data; null for folders
    uint8_t folder;     // 1 for folder records
};

extern IDPOOL *g_pResPagePool;
// Callback slot each kind's rows get when a disc is registered (Vid_InstallResLoaders sets them).
extern uint8_t g_aucResKindCallbacks[RES_KIND_COUNT];

// Callback slots: installed once, then named by rows. Slot 0 means none.
uint8_t Vid_AddResCallbacks(RESLOADFN load, RESFREEFN free);
void Vid_SetKindCallbacks(RESKINDROW *row, uint8_t slot);

void Vid_CreateResPagePool();
// Destroys the pool header with whatever pages are left (the disc records released their data
// first); safe to repeat. A later page made creates the pool again.
void Vid_FreeResPagePool();
// The 13 rows of a disc record's data (called when a disc is registered). 0, or 1 when a kind's
// folder is missing (every tree built is freed again).
int32_t Vid_InitDiscResKinds(uint8_t *discData);
int32_t Vid_InitResKindRow(RESKINDROW *row, int32_t kind, const char *folderPath, uint8_t callbacks,
                           uint16_t flags);
int32_t Vid_BuildResTree(RESPAGE *parent, RESPAGE **firstChild, uint16_t *indexPath, int32_t depth);
void Vid_FreeResTree(RESPAGE *node);
void Vid_FreeKindRowTree(RESKINDROW *row);
// The core's shutdown name for the same.
void Vid_ReleaseResData(uint8_t *row);

// The current disc's row of a kind, or null.
RESKINDROW *Vid_GetKindRow(int32_t kind);
RESPAGE *Vid_GetKindTree(const RESKINDROW *row);

// path: folder numbers then the 0-based entry number, relative to the kind's folder. Data, and
// the id in outId; null and -1 when it cannot be loaded (the tree is then as it was). Adds no
// reference.
void *Vid_LoadResource(int32_t kind, const uint16_t *path, int32_t depth, int32_t *outId);
void Vid_AddResRef(int32_t id);
// One reference fewer; at 0 the resource is freed. A release at 0 is refused (returns -1).
int32_t Vid_ReleaseResRef(int32_t id);
void Vid_ReleaseUnusedResources();
// Frees whatever its count (resets and shutdown). The count it had, or -1.
int32_t Vid_ReleaseResource(int32_t id);

// Data of a loaded resource, or null (not a resource, freed, or a folder).
void *Vid_GetResData(int32_t id);
int32_t Vid_GetResSaveNumber(int32_t id);
int32_t Vid_GetResCount(int32_t id);
RESKINDROW *Vid_GetResKindRow(int32_t id);
// Index path from the top-level folder down to id (root first). 0, or -1.
int32_t Vid_GetResIndexPath(int32_t id, uint16_t *outPath, int32_t *outDepth);
// First letter of each ancestor's name, root first; the depth (0 for none).
int32_t Vid_GetResPath(int32_t id, char *out);
// Bytes of the entry at the kind's folder + path, the last element a listing number (1 = first
// entry). 0 when absent.
uint32_t Vid_GetResFileSize(int32_t kind, const uint16_t *path, int32_t depth);
// "/" + the row's letters + count folder letters + name as index numbers; writes the count + 1
// numbers below the kind folder (the last a listing number). 0, or -1.
int32_t Vid_ResNameToIndexPath(int32_t kind, const uint8_t *letters, int32_t count, const char name[8],
                               uint16_t *outPath);
// The library resource of kind at three folder letters and a name: its four index numbers below
// the kind folder and its size. 0, or -1.
int Vid_LoadResByName(int32_t kind, const uint8_t path[3], const char name[8], uint16_t aIndex[4], uint32_t *pSize);

// Saving: walk a tree depth first; loaded leaves are taken when mask is null or has bit id set.
void Vid_NumberResources(const RESPAGE *tree, int32_t *counter, int32_t *nextNumber, const uint32_t *mask);
// Writes 12-byte saved references at out + 12 x *count, raising *count. -1 when a resource lies
// deeper than four folder letters (nothing written for it), else 0.
int32_t Vid_WriteResRefs(const RESPAGE *tree, uint8_t *out, const uint32_t *mask, int32_t *count);
// Loads the resource of a saved reference: its id or -1.
int32_t Vid_LoadSavedResRef(const uint8_t ref[RESREF_SIZE]);
// Walks a row's tree; the node's data and id, or null when a level is missing.
void *Vid_FindResByPath(const RESKINDROW *row, const uint16_t *path, int32_t depth, int32_t *outId);
