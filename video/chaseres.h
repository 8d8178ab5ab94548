// What the resource-list chase types (Shape, Background, Texture, Movie, Path, Camera) ask of the
// archive and of loaded resources beyond loading and references (g_VidRes): folder and entry
// counts and shown names for the editor's limits, entry sizes, resource data, points of point
// lists and movie records. A call table, so that tests can hand the types a small fake archive.
#pragma once

#include <cstdint>

// Resource kinds the chase types load.
enum
{
    VIDRES_MODELS = 0,
    VIDRES_BACK = 1,
    VIDRES_MAPTEX = 3,
    VIDRES_LAYOUT = 4,
    VIDRES_PATH = 5,
    VIDRES_ANIM = 10,
    VIDRES_MOVIE = 12,
};

// The record of a movie resource (kind 12).
constexpr uint32_t VIDMOVIE_UNLOCATED = 0x58585858; // "XXXX": the file's sector is not known yet
struct VIDMOVIEREC
{
    uint32_t uSector; // first sector of the movie file, or VIDMOVIE_UNLOCATED
    uint16_t uDisc;
    const char *pszFile;
    int16_t sFirstFrame;
    int16_t sLastFrame;
};

struct VIDCHASERES
{
    // Loaded data of resource id; null when it is none.
    void *(*data)(int32_t id);
    // Sub-folders / entries of the folder at path (depth numbers) below the kind's folder; 0 when
    // there is no such folder.
    int32_t (*folderCount)(int32_t kind, const uint16_t *path, int32_t depth);
    int32_t (*entryCount)(int32_t kind, const uint16_t *path, int32_t depth);
    // Shown name of that folder (entry < 0) or of its entry; 0, or -1 (out empty).
    int32_t (*name)(int32_t kind, const uint16_t *path, int32_t depth, int32_t entry, char *out, int32_t size);
    // Bytes of the entry at path (the last number the 0-based entry); 0 when absent.
    uint32_t (*entrySize)(int32_t kind, const uint16_t *path, int32_t depth);
    // Key points of a point list and whether it is closed; 0 for none.
    int32_t (*pointCount)(const void *list, int32_t *closed);
    // The point between keys from and to at t (0..4096), wrapping key numbers. 0, or -1.
    int32_t (*point)(const void *list, int32_t from, int32_t to, int32_t t, int32_t out[3]);
    // The record of a movie resource's data; null when it is none.
    VIDMOVIEREC *(*movie)(void *data);
    // Number of the disc in the drive (movies on another disc are not streamed).
    int32_t (*currentDisc)();
    // Sets the playing speed of a loaded animation.
    void (*setAnimSpeed)(void *anim, int32_t speed);
};
extern VIDCHASERES g_VidChaseRes;

// The archive-backed queries (folders under the kinds' folders of the open archive).
int32_t Vid_ChaseResFolderCount(int32_t kind, const uint16_t *path, int32_t depth);
int32_t Vid_ChaseResEntryCount(int32_t kind, const uint16_t *path, int32_t depth);
int32_t Vid_ChaseResName(int32_t kind, const uint16_t *path, int32_t depth, int32_t entry, char *out, int32_t size);
uint32_t Vid_ChaseResEntrySize(int32_t kind, const uint16_t *path, int32_t depth);
int32_t Vid_ChaseCurrentDisc();
// Over the resource loaders' point lists, movie definitions and animations.
int32_t Vid_ChasePointCount(const void *list, int32_t *closed);
int32_t Vid_ChasePoint(const void *list, int32_t from, int32_t to, int32_t t, int32_t out[3]);
VIDMOVIEREC *Vid_ChaseMovieRecord(void *data);
void Vid_ChaseSetAnimSpeed(void *anim, int32_t speed);
