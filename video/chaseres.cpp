#include "video/chaseres.h"

#include <cstring>

#include "core/archive.h"
#include "video/resloaders.h"
#include "video/respages.h"

namespace {

// Index path of the kind's folder followed by path; its depth, or -1.
int32_t FullPath(int32_t kind, const uint16_t *path, int32_t depth, uint16_t *out)
{
    const RESKINDROW *row = Vid_GetKindRow(kind);
    if (!row || depth < 0 || (depth && !path) || row->depth + depth > WAD_MAX_DEPTH || !g_pWadTree)
        return -1;
    std::memcpy(out, row->path, sizeof(uint16_t) * row->depth);
    for (int32_t i = 0; i < depth; i++)
        out[row->depth + i] = path[i];
    return row->depth + depth;
}

// Movie records made from the movie resources' definitions; a located sector stays with them.
struct MOVIERECORD
{
    const TEXTDEF *def;
    VIDMOVIEREC rec;
};
MOVIERECORD s_aMovies[8];

} // namespace

int32_t Vid_ChaseResFolderCount(int32_t kind, const uint16_t *path, int32_t depth)
{
    uint16_t full[WAD_MAX_DEPTH];
    const int32_t n = FullPath(kind, path, depth, full);
    const int32_t count = n < 0 ? -1 : Sys_WadCountAt(full, n);
    return count < 0 ? 0 : count;
}

int32_t Vid_ChaseResEntryCount(int32_t kind, const uint16_t *path, int32_t depth)
{
    uint16_t full[WAD_MAX_DEPTH];
    const int32_t n = FullPath(kind, path, depth, full);
    const int32_t count = n < 0 ? -1 : Sys_WadFileCountAt(full, n);
    return count < 0 ? 0 : count;
}

int32_t Vid_ChaseResName(int32_t kind, const uint16_t *path, int32_t depth, int32_t entry, char *out, int32_t size)
{
    if (!out || size < 1)
        return -1;
    out[0] = 0;
    uint16_t full[WAD_MAX_DEPTH];
    const int32_t n = FullPath(kind, path, depth, full);
    int32_t count = 0;
    const uint8_t *rows = n < 0 ? nullptr : Sys_WadListDirByIndex(full, n, &count);
    // Row 0 names the folder, row k + 1 its entry k.
    const int32_t row = entry < 0 ? 0 : entry + 1;
    if (!rows || row > count)
        return -1;
    const char *text = reinterpret_cast<const char *>(rows + row * WAD_COMPANION_ROW);
    const size_t len = strnlen(text, WAD_COMPANION_ROW);
    const size_t keep = len < static_cast<size_t>(size - 1) ? len : static_cast<size_t>(size - 1);
    std::memcpy(out, text, keep);
    out[keep] = 0;
    return 0;
}

uint32_t Vid_ChaseResEntrySize(int32_t kind, const uint16_t *path, int32_t depth)
{
    if (!path || depth < 1 || depth > 8)
        return 0;
    // The resource pages count listing numbers from 1.
    uint16_t listed[8];
    std::memcpy(listed, path, sizeof(uint16_t) * static_cast<size_t>(depth));
    listed[depth - 1] = static_cast<uint16_t>(listed[depth - 1] + 1);
    return Vid_GetResFileSize(kind, listed, depth);
}

int32_t Vid_ChasePointCount(const void *list, int32_t *closed)
{
    const auto *points = static_cast<const POINTLIST *>(list);
    if (closed)
        *closed = points ? static_cast<int32_t>(points->closed != 0) : 0;
    return points ? static_cast<int32_t>(points->keyCount) : 0;
}

int32_t Vid_ChasePoint(const void *list, int32_t from, int32_t to, int32_t t, int32_t out[3])
{
    RESPOINT p{};
    if (Vid_PointListAt(static_cast<const POINTLIST *>(list), from, to, t, &p) != 0)
        return -1;
    out[0] = p.x;
    out[1] = p.y;
    out[2] = p.z;
    return 0;
}

VIDMOVIEREC *Vid_ChaseMovieRecord(void *data)
{
    const auto *def = static_cast<const TEXTDEF *>(data);
    if (!def)
        return nullptr;
    MOVIERECORD *free = nullptr;
    for (MOVIERECORD &m : s_aMovies) {
        if (m.def == def)
            return &m.rec;
        if (!m.def && !free)
            free = &m;
    }
    if (!free)
        free = &s_aMovies[0];
    free->def = def;
    free->rec = {VIDMOVIE_UNLOCATED, def->disc, def->text, static_cast<int16_t>(def->first),
                 static_cast<int16_t>(def->second)};
    return &free->rec;
}

void Vid_ChaseSetAnimSpeed(void *anim, int32_t speed)
{
    auto *a = static_cast<ANIMRES *>(anim);
    if (a && a->extra)
        a->extra->speed = static_cast<uint16_t>(speed);
}

int32_t Vid_ChaseCurrentDisc()
{
    return g_pCurrentDisc ? g_pCurrentDisc->uNumber : -1;
}

VIDCHASERES g_VidChaseRes = {
    Vid_GetResData,       Vid_ChaseResFolderCount, Vid_ChaseResEntryCount, Vid_ChaseResName,
    Vid_ChaseResEntrySize, Vid_ChasePointCount,    Vid_ChasePoint,         Vid_ChaseMovieRecord,
    Vid_ChaseCurrentDisc, Vid_ChaseSetAnimSpeed,
};
