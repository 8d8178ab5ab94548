// The video chunks of a song image: RE (the resources the chases use), CH (packed chases), CL
// (clips: chains of chases by save index) and VD (lane placements), and the checked reading of
// them. A broken video chunk never costs the music: the video that holds together is built and
// the rest is reported missing.
#include "sequencer/songfile.h"
#include "sequencer/songfile_extras.h"

#include "core/disc.h"
#include "video/autovideo.h"
#include "video/chase.h"
#include "video/chasepack.h"
#include "video/chasetypes.h"
#include "video/clips.h"
#include "video/lanes.h"
#include "video/resformat.h"
#include "video/videorebuild.h"
#include "video/respages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

// Every position the lanes hold is saved (a limit of 24 positions dropped the rest of a video
// while the save reported success).
int16_t g_sVideoRowLimit = 999;

namespace {

constexpr uint32_t kClipPart = 1u << (CHUNK_CL - 1); // the clips alone (a clip image)
constexpr uint32_t kResBitmapWords = 65536 / 32; // resource ids and stored numbers are 16-bit

uint16_t Rd16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }

bool VideoReady() { return g_pChasePool && g_pVidClipPool; }

template <typename F> void ForLaneBlocks(F fn)
{
    for (int32_t lane = 0; lane < VID_LANE_COUNT; lane++)
        for (VIDLANEBLOCK *b = &g_aVideoLanes[lane]; b && b->uStart != VID_LANE_END; b = b->pNext) {
            if (!b->pClip)
                continue;
            const int32_t length = b->uLength & 0x7FFF;
            if (b->uStart + length - 1 > g_sVideoRowLimit)
                break;
            fn(lane, b, length);
        }
}

void Header(std::vector<uint8_t> *img, int32_t t, const CHUNKRECORD &rec)
{
    const uint32_t words = (rec.uSize + 11) >> 2;
    img->push_back((uint8_t)g_aChunkTypes[t].tag[0]);
    img->push_back((uint8_t)g_aChunkTypes[t].tag[1]);
    img->push_back((uint8_t)words);
    img->push_back((uint8_t)(words >> 8));
    const uint32_t count = words >= 0x10000 ? (words & 0xFFFF0000u) | (rec.uCount & 0xFFFF) : rec.uCount;
    for (int32_t i = 0; i < 4; i++)
        img->push_back((uint8_t)(count >> (8 * i)));
}

void Put16(std::vector<uint8_t> *img, uint32_t v)
{
    img->push_back((uint8_t)v);
    img->push_back((uint8_t)(v >> 8));
}

} // namespace

// ---- Saving ----

void Seq_PrepareVideoChunks(uint32_t parts, CHUNKCONTEXT *ctx)
{
    for (int32_t t : {CHUNK_CH, CHUNK_CL, CHUNK_VD})
        ctx->aChunk[t].uSize = ctx->aChunk[t].uCount = 0;
    ctx->iVideoResCount = 0;
    ctx->videoResources.clear();
    if (!(parts & (SONGPART_VIDEO | kClipPart)) || !VideoReady())
        return;
    Vid_CountVideoChunkSize(ctx, (parts & SONGPART_VIDEO) != 0);
}

void Vid_CountVideoChunkSize(CHUNKCONTEXT *ctx, bool lanes)
{
    if (!ctx || !VideoReady())
        return;
    uint32_t placements = 0;
    if (lanes)
        ForLaneBlocks([&](int32_t, VIDLANEBLOCK *, int32_t) { placements++; });
    const std::vector<uint32_t> *clipBits = Seq_GetUsageBitmap(ctx, CHUNK_CL);
    // Every clip is saved, the ones on no lane too (the clip list is part of the song).
    std::vector<bool> chaseTaken((size_t)std::max(0, g_iChaseHighestId + 1));
    uint32_t clips = 0, clipBytes = 0;
    for (int32_t id = 0; id <= g_iClipHighestId; id++) {
        VIDCLIP *c = Vid_GetClip(id);
        if (!c || !Seq_TestBit(clipBits, (uint32_t)id))
            continue;
        int32_t entries = 0;
        for (const VIDCLIPENTRY *e = c->pFirst; e; e = e->pNext, entries++) {
            const int32_t chase = Vid_ChaseId(e->pChase);
            if (chase >= 0 && chase < (int32_t)chaseTaken.size())
                chaseTaken[chase] = true;
        }
        c->uSaveIndex = (uint16_t)clips++;
        clipBytes += 16 + 4 * ((entries + 1) / 2);
    }
    ctx->videoResources.assign(kResBitmapWords, 0);
    uint32_t chases = 0, chaseBytes = 0;
    for (int32_t id = 0; id <= g_iChaseHighestId; id++) {
        CHASE *c = Vid_GetChase(id);
        if (!c || !chaseTaken[id] || (c->uFlags & CHASEFLAG_NOTSAVED))
            continue;
        c->uSaveIndex = (uint16_t)chases++;
        chaseBytes += Vid_PackedChaseSize(c);
        Vid_MarkChaseResources(c, ctx->videoResources.data());
    }
    // Resource save numbers, in tree order across the kinds; pack reads them.
    int32_t counter = 0, next = 0;
    for (int32_t kind = 0; kind < RES_KIND_COUNT; kind++)
        Vid_NumberResources(Vid_GetKindTree(Vid_GetKindRow(kind)), &counter, &next, ctx->videoResources.data());
    ctx->iVideoResCount = counter;
    if (counter && !ctx->aChunk[CHUNK_RE].uCount) {
        ctx->aChunk[CHUNK_RE].uCount = 1; // one disc: the archive
        ctx->aChunk[CHUNK_RE].uSize = 4 + (uint32_t)RESREF_SIZE * (uint32_t)counter;
    }
    ctx->aChunk[CHUNK_CH].uCount = chases;
    ctx->aChunk[CHUNK_CH].uSize = chaseBytes;
    ctx->aChunk[CHUNK_CL].uCount = clips;
    ctx->aChunk[CHUNK_CL].uSize = clipBytes;
    ctx->aChunk[CHUNK_VD].uCount = placements;
    ctx->aChunk[CHUNK_VD].uSize = 8 * placements;
}

bool Seq_WriteChaseChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_CH].uCount)
        return true;
    Header(img, CHUNK_CH, ctx->aChunk[CHUNK_CH]);
    const size_t start = img->size();
    std::vector<bool> taken((size_t)std::max(0, g_iChaseHighestId + 1));
    const std::vector<uint32_t> *clipBits = Seq_GetUsageBitmap(ctx, CHUNK_CL);
    for (int32_t id = 0; id <= g_iClipHighestId; id++)
        if (const VIDCLIP *c = Vid_GetClip(id); c && Seq_TestBit(clipBits, (uint32_t)id))
            for (const VIDCLIPENTRY *e = c->pFirst; e; e = e->pNext) {
                const int32_t chase = Vid_ChaseId(e->pChase);
                if (chase >= 0 && chase < (int32_t)taken.size())
                    taken[chase] = true;
            }
    for (int32_t id = 0; id <= g_iChaseHighestId; id++) {
        CHASE *c = Vid_GetChase(id);
        if (c && taken[id] && !(c->uFlags & CHASEFLAG_NOTSAVED))
            Vid_PackChase(c, img);
    }
    return img->size() - start == ctx->aChunk[CHUNK_CH].uSize;
}

bool Seq_WriteClipChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_CL].uCount)
        return true;
    Header(img, CHUNK_CL, ctx->aChunk[CHUNK_CL]);
    const size_t start = img->size();
    const std::vector<uint32_t> *clipBits = Seq_GetUsageBitmap(ctx, CHUNK_CL);
    for (int32_t id = 0; id <= g_iClipHighestId; id++) {
        const VIDCLIP *c = Vid_GetClip(id);
        if (!c || !Seq_TestBit(clipBits, (uint32_t)id))
            continue;
        int32_t entries = 0;
        for (const VIDCLIPENTRY *e = c->pFirst; e; e = e->pNext)
            entries++;
        Put16(img, (uint32_t)entries);
        Put16(img, c->uLabel);
        char name[12] = {};
        memcpy(name, c->szName, strnlen(c->szName, 11));
        img->insert(img->end(), name, name + 12);
        for (const VIDCLIPENTRY *e = c->pFirst; e; e = e->pNext)
            Put16(img, e->pChase && !(e->pChase->uFlags & CHASEFLAG_NOTSAVED) ? e->pChase->uSaveIndex : 0xFFFF);
        if (entries & 1)
            Put16(img, 0);
    }
    return img->size() - start == ctx->aChunk[CHUNK_CL].uSize;
}

bool Seq_WriteLaneChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_VD].uCount)
        return true;
    Header(img, CHUNK_VD, ctx->aChunk[CHUNK_VD]);
    const size_t start = img->size();
    ForLaneBlocks([&](int32_t lane, VIDLANEBLOCK *b, int32_t length) {
        Put16(img, b->pClip->uSaveIndex);
        Put16(img, b->uStart);
        Put16(img, (uint32_t)length);
        Put16(img, (uint32_t)lane);
    });
    return img->size() - start == ctx->aChunk[CHUNK_VD].uSize;
}

bool Seq_WriteVideoChunks(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    bool ok = Seq_WriteChaseChunk(ctx, img);
    ok &= Seq_WriteClipChunk(ctx, img);
    ok &= Seq_WriteLaneChunk(ctx, img);
    return ok;
}

// ---- Loading ----


struct SONGCLIP
{
    uint16_t uLabel;
    char szName[12];
    std::vector<uint16_t> chases;
};
struct SONGPLACE
{
    uint16_t clip, start, length, lane;
};
struct SONGEXTRAS
{
    bool broken = false; // a video chunk that did not hold together (what did is kept)
    bool hasVideo = false;
    std::vector<const uint8_t *> resRefs; // 12-byte references, by save number (null: other disc)
    std::vector<std::pair<const uint8_t *, uint32_t>> chases;
    std::vector<SONGCLIP> clips;
    std::vector<SONGPLACE> places;
    const uint8_t *pOldVideo = nullptr; // the older layout's whole-video block
    uint32_t uOldVideoBytes = 0;
    SONGJAMS jams;
};

SONGJAMS *Seq_ExtraJams(CHUNKLOADCONTEXT *load)
{
    return load && load->extras ? &load->extras->jams : nullptr;
}
int32_t Seq_ListFileClips(const uint8_t *image, size_t length, std::vector<std::string> *out)
{
    if (out)
        out->clear();
    CHUNKLOADCONTEXT load;
    const int32_t version = g_iSongFormatVersion;
    const int32_t r = Seq_LocateChunks(image, length, 0, -1, &load);
    g_iSongFormatVersion = version;
    if (r != SONGLOAD_OK || !load.extras)
        return 0;
    if (out)
        for (const SONGCLIP &c : load.extras->clips)
            out->emplace_back(c.szName, strnlen(c.szName, 11));
    return (int32_t)load.extras->clips.size();
}

void Seq_LocateExtraChunks(const uint8_t *, size_t, CHUNKLOADCONTEXT *load)
{
    auto x = std::make_shared<SONGEXTRAS>();
    load->extras = x;
    CHUNKCONTEXT &ctx = load->ctx;
    auto body = [&](int32_t t, uint32_t *bytes) -> const uint8_t * {
        const CHUNKRECORD &rec = ctx.aChunk[t];
        if (!rec.pChunk || rec.uSize < 8)
            return nullptr;
        *bytes = rec.uSize - 8;
        return rec.pChunk + 8;
    };
    uint32_t bytes = 0;
    if (const uint8_t *p = body(CHUNK_RE, &bytes)) {
        size_t at = 0;
        for (uint32_t g = 0; g < ctx.aChunk[CHUNK_RE].uCount; g++) {
            if (bytes - at < 4) {
                x->broken = true;
                break;
            }
            const uint16_t disc = Rd16(p + at), n = Rd16(p + at + 2);
            at += 4;
            if ((size_t)n * RESREF_SIZE > bytes - at) {
                x->broken = true;
                break;
            }
            // Only the archive (disc 0) is known here; other discs' resources are missing.
            for (uint32_t i = 0; i < n; i++)
                x->resRefs.push_back(disc == 0 ? p + at + RESREF_SIZE * i : nullptr);
            at += (size_t)n * RESREF_SIZE;
        }
    }
    if (const uint8_t *p = body(CHUNK_CH, &bytes)) {
        x->hasVideo = true;
        size_t at = 0;
        for (uint32_t i = 0; i < ctx.aChunk[CHUNK_CH].uCount; i++) {
            const uint32_t size = Vid_ChaseRecordSize(p + at, bytes - at);
            if (!size) {
                x->broken = true; // unknown type or cut short: the rest cannot be stepped over
                break;
            }
            x->chases.push_back({p + at, size});
            at += size;
        }
    }
    if (const uint8_t *p = body(CHUNK_CL, &bytes)) {
        x->hasVideo = true;
        size_t at = 0;
        for (uint32_t i = 0; i < ctx.aChunk[CHUNK_CL].uCount; i++) {
            if (bytes - at < 16) {
                x->broken = true;
                break;
            }
            const int32_t n = (int16_t)Rd16(p + at);
            SONGCLIP c{};
            c.uLabel = Rd16(p + at + 2);
            memcpy(c.szName, p + at + 4, 11);
            size_t size;
            if (n >= 0) {
                size = 16 + 2 * (size_t)(n + (n & 1));
                if (size > bytes - at) {
                    x->broken = true;
                    break;
                }
                for (int32_t e = 0; e < n; e++)
                    c.chases.push_back(Rd16(p + at + 16 + 2 * e));
            } else {
                // Older songs: one-byte references, a 255 adding 256 to those after it.
                size = (16 + (size_t)-n + 3) & ~size_t{3};
                if (size > bytes - at) {
                    x->broken = true;
                    break;
                }
                uint32_t add = 0;
                for (int32_t e = 0; e < -n; e++) {
                    const uint8_t b = p[at + 16 + e];
                    if (b == 255)
                        add += 256;
                    else
                        c.chases.push_back((uint16_t)(b + add));
                }
            }
            x->clips.push_back(std::move(c));
            at += size;
        }
    }
    if (const uint8_t *p = body(CHUNK_VD, &bytes)) {
        x->hasVideo = true;
        const uint32_t n = ctx.aChunk[CHUNK_VD].uCount;
        if ((uint64_t)n * 8 > bytes)
            x->broken = true;
        for (uint32_t i = 0; i < n && (size_t)(i + 1) * 8 <= bytes; i++) {
            const uint8_t *r = p + 8 * i;
            x->places.push_back({Rd16(r), Rd16(r + 2), (uint16_t)(Rd16(r + 4) & 0x7FFF), Rd16(r + 6)});
        }
    }
    if (const CHUNKRECORD &vi = ctx.aChunk[CHUNK_VI]; vi.pChunk && vi.uSize >= 4) {
        x->pOldVideo = vi.pChunk + 4;
        x->uOldVideoBytes = vi.uSize - 4;
    }
    Seq_LocateJamChunks(load);
}

namespace {

bool TakesVideo(uint32_t mask)
{
    return mask == 0 || (mask >> (CHUNK_CH - 1) & 7) || (mask & SONGPART_OLD_VIDEO);
}

} // namespace

int32_t Seq_FinishVideoLoad(uint32_t mask, CHUNKLOADCONTEXT *load)
{
    SONGEXTRAS *x = load ? load->extras.get() : nullptr;
    if (!x || !TakesVideo(mask) || !VideoReady())
        return 0;
    const bool whole = load->iTarget == -1;
    if (whole)
        Vid_ResetVideo(); // a whole song brings its own video, or none
    int32_t result = x->broken ? SONGLOAD_MISSING : 0;
    if (x->pOldVideo && (mask == 0 || (mask & SONGPART_OLD_VIDEO))) {
        // The older layout: its chases become clips on the lanes. A block that does not hold
        // together costs the video alone.
        int32_t missing = 0;
        if (!Vid_RebuildFromSong(x->pOldVideo, x->uOldVideoBytes, VIDREBUILD_TABLE | VIDREBUILD_PLACE,
                                 whole ? -1 : g_iSongInsertRow, &missing) ||
            missing)
            result |= SONGLOAD_MISSING;
        Vid_MarkLanesChanged();
        Vid_ReleaseUnusedResources();
    }
    if (!x->hasVideo)
        return result;
    // Resources by save number: those the chosen chases use, all when no chase was chosen.
    std::vector<uint16_t> resIds(x->resRefs.size(), 0xFFFF);
    const std::vector<uint32_t> *resBits =
        Seq_GetUsageBitmap(&load->ctx, CHUNK_CH) ? Seq_GetUsageBitmap(&load->ctx, CHUNK_RE) : nullptr;
    for (size_t i = 0; i < x->resRefs.size(); i++) {
        if (!Seq_TestBit(resBits, (uint32_t)i))
            continue;
        const int32_t id = x->resRefs[i] ? Vid_LoadSavedResRef(x->resRefs[i]) : -1;
        if (id > 0 && id < 0xFFFF)
            resIds[i] = (uint16_t)id;
        else
            result |= SONGLOAD_MISSING;
    }
    const VIDLOADMAP map{resIds.data(), (uint32_t)resIds.size(), (uint32_t)g_iSongFormatVersion};
    std::vector<CHASE *> chases;
    result |= Seq_LoadChaseChunk(load, &map, &chases);
    std::vector<VIDCLIP *> clips;
    result |= Seq_LoadClipChunk(load, chases, &clips);
    result |= Seq_LoadLaneChunk(load, clips);
    // Chases no clip took go again.
    for (CHASE *c : chases)
        if (c && c->uRefCount == 0)
            Vid_FreeChase(c);
    g_iVideoEnd = Vid_GetVideoEnd();
    Vid_MarkLanesChanged();
    Vid_ReleaseUnusedResources();
    return result;
}

int32_t Seq_LoadChaseChunk(CHUNKLOADCONTEXT *load, const VIDLOADMAP *map, std::vector<CHASE *> *chases)
{
    SONGEXTRAS *x = load->extras.get();
    const std::vector<uint32_t> *bits = Seq_GetUsageBitmap(&load->ctx, CHUNK_CH);
    chases->assign(x ? x->chases.size() : 0, nullptr);
    for (size_t i = 0; i < chases->size(); i++) {
        if (!Seq_TestBit(bits, (uint32_t)i))
            continue; // not chosen: 0
        (*chases)[i] = Vid_UnpackChase(x->chases[i].first, x->chases[i].second, map);
        if (!(*chases)[i])
            return SONGLOAD_MISSING; // the rest of the table stays empty
    }
    return 0;
}

int32_t Seq_LoadClipChunk(CHUNKLOADCONTEXT *load, const std::vector<CHASE *> &chases, std::vector<VIDCLIP *> *table)
{
    SONGEXTRAS *x = load->extras.get();
    const bool whole = load->iTarget == -1;
    const std::vector<uint32_t> *bits = Seq_GetUsageBitmap(&load->ctx, CHUNK_CL);
    int32_t result = 0;
    std::vector<VIDCLIP *> &clips = *table;
    clips.assign(x ? x->clips.size() : 0, nullptr);
    for (size_t i = 0; i < clips.size(); i++) {
        if (!Seq_TestBit(bits, (uint32_t)i))
            continue;
        const SONGCLIP &sc = x->clips[i];
        VIDCLIP *clip = Vid_NewClip();
        if (!clip) {
            result |= SONGLOAD_MISSING;
            break;
        }
        memcpy(clip->szName, sc.szName, 11);
        clip->szName[11] = 0;
        bool whole_clip = !sc.chases.empty();
        for (uint16_t r : sc.chases) {
            CHASE *c = r < chases.size() ? chases[r] : nullptr;
            if (!c || !Vid_AppendClipEntry(clip, c))
                whole_clip = false;
        }
        if (!whole_clip || !clip->pFirst) {
            result |= SONGLOAD_MISSING;
            Vid_DestroyClip(clip);
            continue;
        }
        clip->uLabel = sc.uLabel;
        // A clip inserted into a song that holds an equal one becomes that clip. A whole song
        // keeps its clips as they were saved (so it saves back byte for byte), and a library load
        // always gives its own clip (the clip menus preview it).
        VIDCLIP *same = g_bVidLibraryLoad || whole ? nullptr : Vid_FindIdenticalClip(clip);
        if (same && same != clip) {
            Vid_DestroyClip(clip);
            clip = same;
        }
        clips[i] = clip;
        if (g_bVidLibraryLoad)
            g_pLoadedClip = clip;
    }
    return result;
}

int32_t Seq_LoadLaneChunk(CHUNKLOADCONTEXT *load, const std::vector<VIDCLIP *> &clips)
{
    SONGEXTRAS *x = load->extras.get();
    if (!x || (load->uMask && !(load->uMask >> (CHUNK_VD - 1) & 1)))
        return 0; // the placements were not chosen
    const bool whole = load->iTarget == -1;
    int32_t result = 0;
    const int32_t insert = whole ? 0 : std::max(0, g_iSongInsertRow);
    int32_t height = 0;
    for (const SONGPLACE &pl : x->places)
        height = std::max(height, pl.start + pl.length);
    bool placed = true;
    if (!x->places.empty()) {
        if (!whole && g_iSongInsertRow >= 0 &&
            (g_iVideoEnd + height > 1000 || Vid_InsertLanePositions(insert, height) != 0)) {
            placed = false;
        } else {
            for (const SONGPLACE &pl : x->places) {
                VIDCLIP *clip = pl.clip < clips.size() ? clips[pl.clip] : nullptr;
                if (!clip || pl.lane >= VID_LANE_COUNT || pl.length < 1 || insert + pl.start + pl.length > 1000 ||
                    Vid_PlaceClipRun(pl.lane, insert + pl.start, pl.length, clip) != 0) {
                    placed = false;
                    result |= SONGLOAD_MISSING;
                    if (!clip)
                        break;
                }
            }
        }
        if (!placed)
            result |= SONGLOAD_MISSING;
    }
    return result;
}

namespace {
std::vector<uint32_t> *BitmapInFreeSlot(CHUNKCONTEXT &ctx, int32_t type);
} // namespace

void Seq_SelectClipChunk(CHUNKLOADCONTEXT *load)
{
    SONGEXTRAS *x = load->extras.get();
    CHUNKCONTEXT &ctx = load->ctx;
    const std::vector<uint32_t> *clipBits = Seq_GetUsageBitmap(&ctx, CHUNK_CL);
    if (!x || !clipBits)
        return;
    // The chosen clips bring their chases: a CH bitmap is made in a free slot when missing.
    std::vector<uint32_t> *chaseBits = BitmapInFreeSlot(ctx, CHUNK_CH);
    clipBits = Seq_GetUsageBitmap(&ctx, CHUNK_CL);
    for (size_t i = 0; i < x->clips.size(); i++)
        if (Seq_TestBit(clipBits, (uint32_t)i))
            for (uint16_t chase : x->clips[i].chases)
                Seq_MarkBit(chaseBits, chase);
}

namespace {

std::vector<uint32_t> *BitmapInFreeSlot(CHUNKCONTEXT &ctx, int32_t type)
{
    if (std::vector<uint32_t> *bits = Seq_GetUsageBitmap(&ctx, type))
        return bits;
    for (int32_t slot = 0; slot < SONG_USAGE_SLOTS; slot++)
        if (ctx.aBitmap[slot].empty()) {
            Seq_SetUsageSlot(&ctx, slot, type);
            return Seq_GetUsageBitmap(&ctx, type);
        }
    return nullptr;
}

} // namespace

void Seq_SelectChaseChunk(CHUNKLOADCONTEXT *load)
{
    SONGEXTRAS *x = load->extras.get();
    CHUNKCONTEXT &ctx = load->ctx;
    const std::vector<uint32_t> *chaseBits = Seq_GetUsageBitmap(&ctx, CHUNK_CH);
    if (!x || !chaseBits)
        return;
    std::vector<uint32_t> *resBits = BitmapInFreeSlot(ctx, CHUNK_RE);
    if (!resBits)
        return;
    chaseBits = Seq_GetUsageBitmap(&ctx, CHUNK_CH);
    // Resource save numbers are 16-bit: the marks go into a bitmap that holds them all.
    resBits->resize(std::max<size_t>(resBits->size(), kResBitmapWords), 0);
    for (size_t i = 0; i < x->chases.size(); i++)
        if (Seq_TestBit(chaseBits, (uint32_t)i))
            Vid_UnpackChaseValues(x->chases[i].first, x->chases[i].second, resBits->data());
}

void Seq_SelectExtraChunks(CHUNKLOADCONTEXT *load)
{
    if (!load || !load->extras)
        return;
    Seq_SelectJamSelectChunk(load);
    Seq_SelectJamChunk(load);
    Seq_SelectClipChunk(load);
    Seq_SelectChaseChunk(load);
}

void Seq_DescribeExtraChunks(const uint8_t *image, size_t size, std::string *out)
{
    CHUNKLOADCONTEXT load;
    const int32_t version = g_iSongFormatVersion;
    if (Seq_LocateChunks(image, size, 0, -1, &load) != SONGLOAD_OK) {
        g_iSongFormatVersion = version;
        return;
    }
    Seq_LocateExtraChunks(image, size, &load);
    const SONGEXTRAS &x = *load.extras;
    char line[200];
    if (x.hasVideo || !x.resRefs.empty()) {
        int32_t lanes[VID_LANE_COUNT] = {};
        int32_t end = 0;
        for (const SONGPLACE &p : x.places) {
            if (p.lane < VID_LANE_COUNT)
                lanes[p.lane]++;
            end = std::max(end, p.start + p.length);
        }
        // Chase records can only be walked with the chase types registered; counts come from
        // the headers.
        const bool typesKnown = Vid_FindChaseType(1) >= 0;
        snprintf(line, sizeof line,
                 "video: %zu resources, %u chases, %zu clips, %zu placements to position %d (lanes %d %d %d %d %d %d %d)%s\n",
                 x.resRefs.size(), load.ctx.aChunk[CHUNK_CH].uCount, x.clips.size(), x.places.size(), end, lanes[0],
                 lanes[1], lanes[2], lanes[3], lanes[4], lanes[5], lanes[6],
                 x.broken && (typesKnown || !load.ctx.aChunk[CHUNK_CH].pChunk) ? ", broken" : "");
        *out += line;
        for (const SONGCLIP &c : x.clips) {
            snprintf(line, sizeof line, "  clip \"%.11s\": %zu chases\n", c.szName, c.chases.size());
            *out += line;
        }
    }
    if (x.pOldVideo) {
        const uint8_t *b = x.pOldVideo;
        snprintf(line, sizeof line, "old video block: %u bytes, %u chases (rebuilt on load)\n", x.uOldVideoBytes,
                 x.uOldVideoBytes >= 4 ? (uint32_t)(b[0] | b[1] << 8 | b[2] << 16) | (uint32_t)b[3] << 24 : 0u);
        *out += line;
    }
    const SONGJAMS &j = x.jams;
    if (!j.records.empty() || j.pSequence || j.hasJC) {
        snprintf(line, sizeof line, "jams: %zu records%s, selection %s, sequence %u bytes%s\n", j.records.size(),
                 j.companions.empty() ? "" : " with companions", j.hasJC ? "on" : "off", j.uSequenceBytes,
                 j.broken ? ", broken" : "");
        *out += line;
    }
    g_iSongFormatVersion = version;
}
