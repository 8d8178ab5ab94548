#include "video/autovideo.h"

#include "core/archive.h"
#include "core/disc.h"
#include "core/random.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "video/chase.h"
#include "video/clips.h"
#include "video/lanes.h"
#include "video/respages.h"
#include "video/clipimage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

int32_t g_iAutoVideoRows = 0;
uint8_t g_ucAutoTriggerCounter = 6;
uint8_t g_ucLibraryTriggerCounter = 6;
uint8_t g_ucTriggerLimit = 12;
uint8_t g_ucClipMenuState = 0;
int32_t g_iAutoVideoProgress = 0;
int32_t g_iAutoVideoProgressTotal = 0;
// Set while a library image is read, for the chunk handlers.
uint8_t g_bVidLibraryLoad = 0;

namespace {

std::vector<uint8_t> s_pick; // the pick buffer of a build

uint32_t U32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
}

bool IsImageHeader(const uint8_t *image, size_t size)
{
    if (size < 12)
        return false;
    const int32_t type = Seq_ChunkTypeOfTag(image);
    return type == CHUNK_H2 || type == CHUNK_HE;
}

uint32_t SlotBytes(uint32_t size)
{
    return (size + 15) & ~3u;
}

uint8_t NextTrigger(uint8_t &counter)
{
    const uint8_t v = counter;
    counter = static_cast<uint8_t>(counter >= g_ucTriggerLimit ? 6 : counter + 1);
    return v;
}

// The clip's chases follow trigger A = 1; a B of the counter when they have two keys or more.
void PrepareChases(VIDCLIP *clip, uint8_t &counter)
{
    for (VIDCLIPENTRY *e = clip->pFirst; e; e = e->pNext) {
        CHASE *c = e->pChase;
        if (!c)
            continue;
        c->ucTrigA = c->ucWorkTrigA = 1;
        if (c->ucTrigB == 0 || c->ucTrigB >= 6) // 1..5 are the sequencer's own sources
            c->ucTrigB = c->ucWorkTrigB = Vid_GetChaseKeyCount(c) >= 2 ? NextTrigger(counter) : 0;
    }
}

CHASE *FirstChase(const VIDCLIP *clip)
{
    return clip && clip->pFirst ? clip->pFirst->pChase : nullptr;
}

bool SameChain(const VIDCLIP *a, const VIDCLIP *b)
{
    if (!a || !b || a->sEntryCount != b->sEntryCount)
        return false;
    const VIDCLIPENTRY *x = a->pFirst, *y = b->pFirst;
    for (; x && y; x = x->pNext, y = y->pNext)
        if (x->pChase != y->pChase)
            return false;
    return !x && !y;
}

int32_t RowCells(int32_t row)
{
    int32_t cells = 0;
    if (row >= 0 && row < SEQ_GRID_ROWS)
        for (int32_t c = 0; c < SEQ_GRID_COLUMNS; c++)
            cells += g_aSongGrid[row][c] != 0;
    return cells;
}

bool PickBuffer()
{
    if (s_pick.size() == VID_AUTO_PICK_BUDGET)
        return true;
    try {
        s_pick.assign(VID_AUTO_PICK_BUDGET, 0);
    } catch (const std::bad_alloc &) {
        s_pick.clear();
        return false;
    }
    return true;
}

void FreePickBuffer()
{
    std::vector<uint8_t>().swap(s_pick);
}

// Lane count of a row: the first two choices are lanes 0 and 1, later ones random among 2..5
// (4 and 5 count but take no object lane).
void ChooseLanes(int32_t count, bool chosen[6])
{
    for (int32_t i = 0; i < 6; i++)
        chosen[i] = false;
    for (int32_t k = 0; k < count; k++) {
        int32_t lane = k;
        if (k >= 2) {
            do
                lane = 2 + (Sys_Rand() & 3);
            while (chosen[lane]);
        }
        chosen[lane] = true;
    }
}

// A bred child that went on no lane holds nothing: give its record back at once, so the clip
// pool (160 clips) is not used up by rows of children that were never shown.
void DropUnused(VIDCLIP *kid, VIDCLIP *const *a, VIDCLIP *const *b)
{
    if (!kid || kid->uRefCount || !(kid->uFlags & CLIPFLAG_AUTO))
        return;
    for (int32_t l = 0; l < 4; l++)
        if (kid == a[l] || kid == b[l])
            return;
    Vid_DestroyClip(kid);
}

void NewParents(int32_t r2, VIDCLIP *a[4], VIDCLIP *b[4], CHASE *bases[4], int32_t chance)
{
    if (r2 & 1)
        Vid_PickLaneClips(a, b, chance);
    else
        Vid_PickLaneClips(b, a, chance);
    for (int32_t l = 0; l < 4; l++)
        bases[l] = FirstChase((r2 & 2) ? a[l] : b[l]);
}

} // namespace

int32_t Vid_LoadClipImage(const uint8_t *image, size_t size)
{
    if (!image || !IsImageHeader(image, size))
        return SONGLOAD_UNREADABLE;
    g_bVidLibraryLoad = 1;
    g_iSongFormatVersion = Seq_ChunkTypeOfTag(image) == CHUNK_H2 ? image[4] : static_cast<int32_t>(U32(image + 4));
    const int32_t result = Vid_ReadClipImageChunks(image, size);
    g_bVidLibraryLoad = 0;
    g_iSongFormatVersion = SONG_FORMAT_VERSION;
    return result;
}

int32_t Vid_PickRandomLibraryClips(uint8_t *buffer, uint32_t budget, int32_t maxPicks, int32_t group)
{
    uint16_t path[WAD_MAX_DEPTH + 1] = {};
    if (!buffer || Sys_WadDirPathToIndices("/AUTO", path) != 1)
        return 0;
    path[1] = static_cast<uint16_t>(group);
    const int32_t styles = Sys_WadCountAt(path, 2);
    if (styles < 1)
        return 0;
    if (group == VID_AUTO_GROUP_OBJECTS) {
        g_iAutoVideoProgress = 0;
        g_iAutoVideoProgressTotal = maxPicks * 3;
    }
    uint32_t used = 0;
    int32_t picks = 0;
    while (used < budget && picks < maxPicks) {
        path[2] = static_cast<uint16_t>(Sys_Rand() % styles);
        const int32_t files = Sys_WadFileCountAt(path, 3);
        if (files < 1)
            return 0;
        // Every file of the style can be drawn (a folder of one file too).
        path[3] = static_cast<uint16_t>(Sys_Rand() % files);
        char name[8];
        uint32_t bytes = 0;
        uint8_t *file = static_cast<uint8_t *>(Sys_WadLoadEntryAlloc(0, path, 4, name, &bytes));
        if (!file)
            return 0;
        const uint32_t readSize = (bytes + 2047) & ~2047u;
        if (static_cast<uint64_t>(used) + readSize >= budget || SlotBytes(bytes) > budget - used) {
            std::free(file);
            break;
        }
        if (!IsImageHeader(file, bytes) || U32(file + 8) > bytes) {
            std::free(file);
            return 0;
        }
        const uint32_t slot = SlotBytes(bytes);
        std::memset(buffer + used, 0, slot);
        std::memcpy(buffer + used, file, bytes);
        std::free(file);
        int32_t rows = 0;
        const uint8_t *names = Sys_WadListDirByIndex(path, 3, &rows);
        char *shown = reinterpret_cast<char *>(buffer + used + slot - VID_AUTO_NAME_BYTES);
        // The count is of entries: row k + 1 names entry k, row 0 the folder.
        if (names && path[3] + 1 <= rows)
            std::memcpy(shown, names + (path[3] + 1) * WAD_COMPANION_ROW, VID_AUTO_NAME_BYTES - 1);
        shown[VID_AUTO_NAME_BYTES - 1] = 0;
        used += slot;
        picks++;
        g_iAutoVideoProgress++;
    }
    g_iAutoVideoProgressTotal = picks * 3;
    return picks;
}

int32_t Vid_LoadRandomClips(uint8_t *buffer, uint32_t budget, int32_t n)
{
    int32_t loaded = 0;
    uint32_t at = 0;
    for (int32_t i = 0; i < n && buffer; i++) {
        if (budget - at < 12 || !IsImageHeader(buffer + at, budget - at))
            break;
        const uint32_t size = U32(buffer + at + 8);
        if (size < 12 || SlotBytes(size) > budget - at)
            break;
        g_pLoadedClip = nullptr;
        if (Vid_LoadClipImage(buffer + at, size) == 0) {
            loaded++;
            if (g_pLoadedClip) {
                std::memcpy(g_pLoadedClip->szName, buffer + at + SlotBytes(size) - VID_AUTO_NAME_BYTES, 11);
                g_pLoadedClip->szName[11] = 0;
            }
        }
        g_iAutoVideoProgress += 2;
        at += SlotBytes(size);
    }
    Vid_ReleaseUnusedResources();
    return loaded;
}

VIDCLIP *Vid_PickRandomClip(int32_t kind)
{
    std::vector<VIDCLIP *> found;
    for (int32_t id = 0; id <= g_iClipHighestId; id++) {
        VIDCLIP *c = Vid_GetClip(id);
        const CHASE *first = FirstChase(c);
        if (first && first->pDef && first->pDef->uKind == static_cast<uint32_t>(kind))
            found.push_back(c);
    }
    if (found.empty())
        return nullptr;
    // Up to three draws prefer a clip that nothing shows yet.
    VIDCLIP *clip = nullptr;
    for (int32_t probe = 0; probe < 3; probe++) {
        clip = found[static_cast<size_t>(Sys_Rand()) % found.size()];
        if (clip->uRefCount == 0)
            break;
    }
    PrepareChases(clip, g_ucAutoTriggerCounter);
    return clip;
}

void Vid_PickLaneClips(VIDCLIP *out[4], VIDCLIP *const *previous, int32_t chance)
{
    for (int32_t l = 0; l < 4; l++)
        out[l] = !previous || (Sys_Rand() & 127) < chance + 27 ? Vid_PickRandomClip(CHASEKIND_PLAIN) : previous[l];
}

void Vid_CrossClips(VIDCLIP *const *a, VIDCLIP *const *b, VIDCLIP *out[4], CHASE *const *bases, int32_t)
{
    for (int32_t l = 0; l < 4; l++) {
        VIDCLIP *A = a[l], *B = b[l];
        if (A == B || !A || !B) {
            out[l] = A ? A : B;
            continue;
        }
        const int32_t r = Sys_Rand();
        VIDCLIP *child = Vid_NewClip();
        if (!child) {
            out[l] = (r & 1) ? A : B;
            continue;
        }
        child->uFlags |= CLIPFLAG_AUTO;
        const int32_t n = std::min<int32_t>(std::max(A->sEntryCount, B->sEntryCount), 32);
        for (int32_t i = 0; i < n; i++) {
            CHASE *c = nullptr;
            VIDCLIP *source = nullptr;
            if (i == 0) {
                c = bases && bases[l] ? bases[l] : FirstChase(A);
            } else if (((r >> i) & 1) && (c = Vid_GetClipEntryChase(A, i + 1))) {
                source = A;
            } else if ((c = Vid_GetClipEntryChase(B, i + 1))) {
                source = B;
            }
            if (c && source && c->pDef && c->pDef->mix && !c->pDef->mix(c, source, i + 1))
                c = nullptr;
            if (c && !Vid_AppendClipEntry(child, c))
                break;
        }
        if (!child->pFirst || SameChain(child, A)) {
            Vid_DestroyClip(child);
            out[l] = A;
        } else if (SameChain(child, B)) {
            Vid_DestroyClip(child);
            out[l] = B;
        } else {
            out[l] = child;
        }
    }
}

int32_t Vid_LayAutoLanes(int32_t, int32_t chance, int32_t, int32_t step)
{
    if (step < 1)
        step = 1;
    g_iAutoVideoRows = Seq_CountUsedRows();
    const int32_t rows = g_iAutoVideoRows;
    VIDCLIP *a[4], *b[4], *kids[4];
    CHASE *bases[4];
    Vid_PickLaneClips(a, nullptr, chance);
    Vid_PickLaneClips(b, a, chance);
    for (int32_t l = 0; l < 4; l++)
        bases[l] = FirstChase(a[l]);
    for (int32_t r = 0; r < rows; r += step) {
        const int32_t lanes = std::min((RowCells(r) + 3) / 4, 4);
        const int32_t r2 = Sys_Rand();
        Vid_CrossClips(a, b, kids, bases, chance);
        bool chosen[6];
        ChooseLanes(lanes, chosen);
        const int32_t length = std::min(step, rows - r);
        for (int32_t l = 0; l < 4; l++) {
            if (chosen[l] && kids[l]) {
                if (Vid_PlaceClipRun(l, r, length, kids[l]) == LANE_NORECORD)
                    return 0;
            } else {
                for (int32_t p = r; p < r + length; p++)
                    Vid_CutLaneAt(l, p);
            }
            DropUnused(kids[l], a, b);
        }
        // New parents every eight rows (a row ending an eight when the step is larger).
        if ((r + step) / 8 != r / 8 || r % 8 == 7)
            NewParents(r2, a, b, bases, chance);
    }
    return 1;
}

int32_t Vid_LayAutoLoopLanes(int32_t, int32_t chance, int32_t)
{
    g_iAutoVideoRows = VID_AUTO_LOOP_ROWS - 1;
    VIDCLIP *a[4], *b[4], *kids[4];
    CHASE *bases[4];
    Vid_PickLaneClips(a, nullptr, chance);
    Vid_PickLaneClips(b, a, chance);
    for (int32_t l = 0; l < 4; l++)
        bases[l] = FirstChase(a[l]);
    for (int32_t r = 0; r < VID_AUTO_LOOP_ROWS; r++) {
        const int32_t r2 = Sys_Rand();
        Vid_CrossClips(a, b, kids, bases, chance);
        bool chosen[6];
        ChooseLanes(4, chosen);
        for (int32_t l = 0; l < 4; l++) {
            if (chosen[l] && kids[l]) {
                if (Vid_PlaceClipAt(l, r, kids[l]) == LANE_NORECORD)
                    return 0;
            } else {
                Vid_CutLaneAt(l, r);
            }
            DropUnused(kids[l], a, b);
        }
        if (r % 8 == 7)
            NewParents(r2, a, b, bases, chance);
    }
    return 1;
}

int32_t Vid_LayEffectClips(int32_t start, int32_t end, int32_t *sections, int32_t n)
{
    if (!sections || n < 1 || !PickBuffer())
        return 0;
    sections[n] = end;
    const int32_t picks =
        Vid_PickRandomLibraryClips(s_pick.data(), VID_AUTO_PICK_BUDGET, std::min(n, 10), VID_AUTO_GROUP_EFFECTS);
    if (picks < 1 || Vid_LoadRandomClips(s_pick.data(), VID_AUTO_PICK_BUDGET, picks) < 1)
        return 0;
    VIDCLIP *previous = nullptr;
    if (sections[0] > start) {
        previous = Vid_PickRandomClip(CHASEKIND_DVE);
        if (previous && Vid_PlaceClipRun(5, start, sections[0] - start, previous) == LANE_NORECORD)
            return 0;
    }
    for (int32_t i = 0; i < n; i++) {
        if (sections[i + 1] <= sections[i])
            continue;
        VIDCLIP *clip = Vid_PickRandomClip(CHASEKIND_DVE);
        for (int32_t tries = 1; tries < 5 && clip == previous; tries++)
            clip = Vid_PickRandomClip(CHASEKIND_DVE);
        if (!clip)
            continue;
        if (Vid_PlaceClipRun(5, sections[i], sections[i + 1] - sections[i], clip) == LANE_NORECORD)
            return 0;
        previous = clip;
    }
    return 1;
}

int32_t Vid_FindSections(int32_t start, int32_t end, int32_t mode)
{
    int32_t sections[VID_POSITIONS / 8 + 2];
    int32_t n = 0;
    if (mode == 1) {
        for (int32_t s = 0; s < VID_AUTO_LOOP_ROWS; s += 8)
            sections[n++] = s;
    } else {
        int32_t previous = 0;
        for (int32_t g = start; g < end && n < VID_POSITIONS / 8; g += 8) {
            const int32_t last = std::min(g + 8, end);
            const int32_t rows = last - g;
            if (rows < 1)
                break;
            int32_t cells = 0;
            for (int32_t r = g; r < last; r++)
                cells += RowCells(r);
            if (n == 0 || std::abs(cells - previous) / rows >= 3)
                sections[n++] = g;
            previous = cells;
        }
    }
    return Vid_LayEffectClips(start, end, sections, n);
}

int32_t Vid_LayCameraClip(int32_t start, int32_t end)
{
    g_iSongFormatVersion = SONG_FORMAT_VERSION;
    if (end <= start)
        return 0;
    VIDCLIP *clip = Vid_NewClip();
    const int32_t type = Vid_FindChaseType(6);
    CHASE *chase = clip && type >= 0 ? Vid_NewChase(type) : nullptr;
    if (!chase) {
        if (clip)
            Vid_DestroyClip(clip);
        return 0;
    }
    int32_t values[VID_MAX_CHANNELS] = {2, 8, 0, 0, 0, 1, 4, 0, 0};
    uint8_t states[VID_MAX_CHANNELS] = {};
    for (int32_t c = 0; c < VID_MAX_CHANNELS; c++)
        states[c] = c < 9 && c < chase->pDef->sChannelCount ? KEYSTATE_SET : KEYSTATE_KEEP;
    if (!Vid_SetChaseKey(chase, 0, values, states) || !Vid_CompleteDefaultKey(chase) ||
        !Vid_AppendClipEntry(clip, chase)) {
        Vid_FreeChase(chase);
        Vid_DestroyClip(clip);
        return 0;
    }
    if (Vid_PlaceClipRun(4, start, end - start, clip) != LANE_DONE) {
        Vid_DestroyClip(clip);
        return 0;
    }
    return 1;
}

void Vid_FreeRandomClips(int32_t count, int32_t chance)
{
    // Cutting releases what the blocks held: non-bred clips keep their counts right.
    const int32_t end = std::max(Vid_GetVideoEnd(), VID_AUTO_LOOP_ROWS);
    for (int32_t l = 0; l < 4; l++)
        for (int32_t p = 0; p < end && p < VID_POSITIONS; p++)
            Vid_CutLaneAt(l, p);
    for (int32_t id = 0; id <= g_iClipHighestId; id++)
        if (VIDCLIP *c = Vid_GetClip(id); c && (c->uFlags & CLIPFLAG_AUTO))
            Vid_DeleteClip(c);
    Vid_LayAutoLoopLanes(count, chance, 0);
}

void Vid_FreeUnusedClipsAndChases()
{
    for (int32_t id = 0; id <= g_iClipHighestId; id++)
        if (VIDCLIP *c = Vid_GetClip(id); c && c->uRefCount == 0)
            Vid_DestroyClip(c);
    for (int32_t id = 0; id <= g_iChaseHighestId; id++)
        if (CHASE *c = Vid_GetChase(id); c && c->uRefCount == 0)
            Vid_FreeChase(c);
}

void Vid_FreeAllClipsAndChases()
{
    if (g_pPreviewClip) {
        VIDCLIP *held = g_pPreviewClip;
        g_pPreviewClip = nullptr;
        Vid_ReleaseClip(held);
    }
    for (int32_t id = g_iClipHighestId; id >= 0; id--)
        if (VIDCLIP *c = Vid_GetClip(id))
            Vid_DeleteClip(c);
    for (int32_t id = g_iChaseHighestId; id >= 0; id--)
        if (CHASE *c = Vid_GetChase(id))
            Vid_FreeChase(c);
}

int32_t Vid_BuildAutoVideo(int32_t count, int32_t chance, int32_t spare, int32_t mode)
{
    int32_t rows = VID_AUTO_LOOP_ROWS - 1;
    if (mode != 1) {
        rows = Seq_CountUsedRows();
        if (rows == 0)
            return 1;
    }
    Vid_ResetVideo();
    Vid_FreeAllClipsAndChases();
    // A build numbers its trigger sources afresh, so one seed gives one video.
    g_ucAutoTriggerCounter = 6;
    Vid_FreeClipGrid(0);
    Vid_FreeClipGrid(1);
    Seq_ClearUndo();
    if (!PickBuffer()) {
        Sys_ShowOutOfMemoryBox(nullptr);
        return 0;
    }
    int32_t step = 1;
    if (mode != 1)
        for (int32_t r = rows; r > 200; r /= 2)
            step *= 2;
    g_iAutoVideoRows = rows;
    if (!Vid_LayCameraClip(0, rows) || !Vid_FindSections(0, rows, mode)) {
        FreePickBuffer();
        Vid_ResetVideo();
        Vid_FreeUnusedClipsAndChases(); // library clips read before the failure
        return 0;
    }
    const int32_t picks =
        Vid_PickRandomLibraryClips(s_pick.data(), VID_AUTO_PICK_BUDGET, count / 2 + 12, VID_AUTO_GROUP_OBJECTS);
    Vid_LoadRandomClips(s_pick.data(), VID_AUTO_PICK_BUDGET, picks);
    if (mode != 1) {
        Vid_LayAutoLanes(count / 2, chance, spare, step);
        Vid_FreeUnusedClipsAndChases();
    } else {
        Vid_LayAutoLoopLanes(count / 2, chance, spare);
    }
    FreePickBuffer();
    Vid_MarkLanesChanged();
    return 1;
}

int32_t Vid_LoadLibraryClip(int32_t folder, int32_t a, int32_t b, int32_t c)
{
    uint16_t path[4] = {static_cast<uint16_t>(folder), static_cast<uint16_t>(a - 1), static_cast<uint16_t>(b - 1),
                        static_cast<uint16_t>(c - 1)};
    uint8_t *image = nullptr;
    uint32_t bytes = 0;
    char name[8];
    if (folder >= 0 && a >= 1 && b >= 1 && c >= 1)
        image = static_cast<uint8_t *>(Sys_WadLoadEntryAlloc(0, path, 4, name, &bytes));
    g_pLoadedClip = nullptr;
    if (image)
        Vid_LoadClipImage(image, bytes);
    std::free(image);
    if (g_pPreviewClip) {
        VIDCLIP *held = g_pPreviewClip;
        g_pPreviewClip = nullptr;
        Vid_ReleaseClip(held);
    }
    VIDCLIP *clip = g_pLoadedClip;
    if (!clip) {
        g_ucClipMenuState = 20;
        Vid_ReleaseUnusedResources();
        return 0;
    }
    g_pPreviewClip = Vid_AddClipRef(clip);
    int32_t rows = 0;
    const uint8_t *names = Sys_WadListDirByIndex(path, 3, &rows);
    if (names && c <= rows) {
        std::memcpy(clip->szName, names + c * WAD_COMPANION_ROW, 11);
        clip->szName[11] = 0;
    }
    clip->uOffset &= static_cast<uint16_t>(~CLIPOFFSET_MENUHELD);
    PrepareChases(clip, g_ucLibraryTriggerCounter);
    Vid_ReleaseUnusedResources();
    return 1;
}
