#include "video/chaseres.h"

#include <cstring>

#include "core/archive.h"
#include "video/standin_chaseres.h"

namespace {

// The archive folder of each resource kind, by kind number.
const char *const kKindFolders[13] = {"/B/B", "/D/B", "/D/D", "/F", "/B/F", "/H", "/J",
                                      "/L",   "/B/D", "/N",   "/B/H", "/P", "/T"};

// Index path of the kind's folder followed by path; its depth, or -1.
int32_t FullPath(int32_t kind, const uint16_t *path, int32_t depth, uint16_t *out)
{
    if (kind < 0 || kind >= 13 || depth < 0 || depth > 8 || (depth && !path) || !g_pWadTree)
        return -1;
    const int32_t base = Sys_WadDirPathToIndices(kKindFolders[kind], out);
    if (base < 0 || base + depth > WAD_MAX_DEPTH)
        return -1;
    for (int32_t i = 0; i < depth; i++)
        out[base + i] = path[i];
    return base + depth;
}

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
    uint16_t full[WAD_MAX_DEPTH];
    if (depth < 1)
        return 0;
    const int32_t n = FullPath(kind, path, depth - 1, full);
    int32_t count = 0;
    if (n < 0 || !Sys_WadListDirByIndex(full, n, &count) || path[depth - 1] >= count)
        return 0;
    const WADENTRY *e = Sys_WadEntryAt(path[depth - 1] + 1);
    return e ? e->uSize : 0;
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
