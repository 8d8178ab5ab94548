// Song images: walking, saving and the two-pass load of the music chunks (header chunks, parameter
// lists, instruments, notes, riffs and the song grid with its event lists).
//
// Loading never trusts the image: Seq_LocateChunks reads every chunk it will use through a bounded
// reader into native records and checks counts, ranges and cross references; only an image that
// holds together reaches Seq_FinishLoad, which builds the items. New-id tables live in the load
// context, so the image itself is never written.
#include "sequencer/songfile.h"

#include "core/archive.h"
#include "core/browser.h"
#include "core/cardsave.h"
#include "core/idpool.h"
#include "audio/sampleslot.h"
#include "core/disc.h"
#include "sequencer/eventlists.h"
#include "sequencer/instruments.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/samples.h"
#include "sequencer/undo.h"
#include "video/respages.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <unistd.h>

extern std::recursive_mutex g_csMix;

int32_t g_iSongFormatVersion = SONG_FORMAT_VERSION;
int32_t g_iSongInsertRow = -1;
int32_t g_bLoadMissingData;
// Set when a load is abandoned or runs out of room: every later rebuild step stops, and the load is
// rolled back.
int g_bLoadAborted;

// The table of chunk types. The music chunks are served by the two-call save and load below; the
// rows keep the tags in type order.
const CHUNKTYPEDEF g_aChunkTypes[SONG_CHUNK_TYPES] = {
    {"00", nullptr, nullptr, nullptr, nullptr, 0},  {"H2", nullptr, nullptr, nullptr, nullptr, 1},
    {"AU", nullptr, nullptr, nullptr, nullptr, 2},  {"CN", nullptr, nullptr, nullptr, nullptr, 3},
    {"DS", nullptr, nullptr, nullptr, nullptr, 4},  {"RE", nullptr, nullptr, nullptr, nullptr, 5},
    {"EN", nullptr, nullptr, nullptr, nullptr, 6},  {"SP", nullptr, nullptr, nullptr, nullptr, 7},
    {"IN", nullptr, nullptr, nullptr, nullptr, 8},  {"NO", nullptr, nullptr, nullptr, nullptr, 9},
    {"RI", nullptr, nullptr, nullptr, nullptr, 10}, {"R2", nullptr, nullptr, nullptr, nullptr, 11},
    {"JT", nullptr, nullptr, nullptr, nullptr, 12}, {"JC", nullptr, nullptr, nullptr, nullptr, 13},
    {"JS", nullptr, nullptr, nullptr, nullptr, 14}, {"SN", nullptr, nullptr, nullptr, nullptr, 15},
    {"CH", nullptr, nullptr, nullptr, nullptr, 16}, {"CL", nullptr, nullptr, nullptr, nullptr, 17},
    {"VD", nullptr, nullptr, nullptr, nullptr, 18}, {"CP", nullptr, nullptr, nullptr, nullptr, 19},
    {"VI", nullptr, nullptr, nullptr, nullptr, 20}, {"SO", nullptr, nullptr, nullptr, nullptr, 21},
    {"CO", nullptr, nullptr, nullptr, nullptr, 22}, {"HE", nullptr, nullptr, nullptr, nullptr, 23},
    {"PC", nullptr, nullptr, nullptr, nullptr, 24},
};

void Seq_ResetSongFile()
{
    g_iSongFormatVersion = SONG_FORMAT_VERSION;
    g_iSongInsertRow = -1;
    g_bLoadAborted = 0;
    g_bLoadMissingData = 0;
    g_iSizeMusic = g_iSizeSongGrid = g_iSizeJams = g_iSizeResources = 0;
    g_iSizeHeader = 76;
    g_iSizeDiscs = 12;
}

int32_t Seq_CountDistinctIds(const uint16_t *a, int32_t countA, const uint16_t *b, int32_t countB)
{
    countA = a ? std::max(countA, 0) : 0;
    countB = b ? std::max(countB, 0) : 0;
    int32_t shared = 0;
    for (int32_t i = 0; i < countA; i++)
        if (std::find(b, b + countB, a[i]) != b + countB)
            shared++;
    return countA + countB - shared;
}

namespace {

constexpr char kDiscZero[] = "TONNIVELLE";

uint16_t Rd16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }
uint32_t Rd32(const uint8_t *p) { return (uint32_t)(p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24); }

bool IsStandardHeader(int32_t type)
{
    switch (type) {
    case CHUNK_H2: case CHUNK_AU: case CHUNK_CN: case CHUNK_CO: case CHUNK_HE: case CHUNK_VI: case CHUNK_SO:
        return false;
    default: return true;
    }
}

// Word length and item count of a standard header; the extended length only where the header
// is a standard one (H2's count word has a non-zero upper half in nearly every image).
void HeaderWords(const uint8_t *chunk, int32_t type, uint32_t *pWords, uint32_t *pCount)
{
    const uint32_t w = Rd16(chunk + 2), c = Rd32(chunk + 4);
    if (IsStandardHeader(type) && (c >> 16)) {
        *pWords = w + (c & 0xFFFF0000u);
        *pCount = c & 0xFFFF;
    } else {
        *pWords = w;
        *pCount = c;
    }
}

struct Writer
{
    std::vector<uint8_t> &b;
    void U8(uint32_t v) { b.push_back((uint8_t)v); }
    void U16(uint32_t v) { U8(v); U8(v >> 8); }
    void U32(uint32_t v) { U16(v); U16(v >> 16); }
    void Bytes(const void *p, size_t n) { b.insert(b.end(), (const uint8_t *)p, (const uint8_t *)p + n); }
    void Text(const char *s, size_t n)
    {
        size_t len = strnlen(s, n);
        Bytes(s, len);
        b.insert(b.end(), n - len, 0);
    }
    void Pad4() { while (b.size() & 3) U8(0); }
};

// Bounded reader over one chunk body: every read is checked, a short read sets `bad`.
struct Reader
{
    const uint8_t *p;
    size_t left;
    bool bad = false;
    bool Need(size_t n)
    {
        if (bad || n > left) {
            bad = true;
            return false;
        }
        return true;
    }
    uint8_t U8() { if (!Need(1)) return 0; left--; return *p++; }
    uint16_t U16() { if (!Need(2)) return 0; uint16_t v = Rd16(p); p += 2; left -= 2; return v; }
    uint32_t U32() { if (!Need(4)) return 0; uint32_t v = Rd32(p); p += 4; left -= 4; return v; }
    const uint8_t *Skip(size_t n) { if (!Need(n)) return nullptr; const uint8_t *at = p; p += n; left -= n; return at; }
};

int32_t Columns() { return g_bTaggedSongFile ? SEQ_GRID_COLUMNS : 24; }
int32_t EventColumn(int32_t k) { return Columns() + k; } // 0 tempo, 1 volume, 2 effect, 3 key

} // namespace

// ---- Native records of a checked image ----

struct SONGLIST
{
    std::vector<uint16_t> values;
    uint8_t a, b;
};
struct SONGINSTR
{
    uint16_t uRef;
    uint8_t ucKinds;
    std::vector<uint32_t> commands; // triples
};
struct SONGSAMPLE
{
    uint32_t uFrames, uLoop;
    char szName[20];
    const uint8_t *pData; // inside the image, 2 x frames bytes
};
struct SONGNOTE
{
    uint32_t uStart;
    uint8_t ucInstr, ucPitch, ucLength, ucLevel, ucS1, ucS2, ucS3, ucFlags, ucS4, ucS5;
    uint16_t uListA, uListC, uListB;
};
struct SONGRIFF
{
    uint8_t ucColour, ucStart, ucEnd, ucBars, ucTracks, ucType, ucMode;
    uint16_t uLink; // save number; 0xFFFF none (older heads)
    char szName[16];
    std::vector<uint16_t> cells; // note save numbers, track-major
};
struct SONGEVENT
{
    int32_t kind, row, length, start, end, type, aStart, aEnd, bStart, bEnd;
};
struct SONGRUN
{
    uint16_t row, column, riff, copies;
};
struct SONGRESREF
{
    uint16_t uDisc;
    const uint8_t *pRef; // the saved 12-byte reference, inside the image
};
struct SONGIMAGE
{
    std::vector<SONGRESREF> resources; // by save number
    bool hasIN = false, hasNO = false, hasRI = false, hasSN = false, hasEN = false, fromR2 = false;
    std::vector<SONGLIST> lists;
    std::vector<SONGINSTR> instruments;
    std::vector<SONGSAMPLE> samples;
    bool hasSP = false;
    std::vector<SONGNOTE> notes;
    std::vector<SONGRIFF> riffs;
    std::vector<SONGRUN> runs;
    std::vector<SONGEVENT> events;
    std::vector<char> discNames; // 20-byte records
    int32_t gridHeight = 0;
};

// ---- Walking ----

int32_t Seq_ChunkTypeOfTag(const uint8_t *chunk)
{
    if (!chunk)
        return -1;
    for (int32_t t = 0; t < SONG_CHUNK_TYPES; t++)
        if (chunk[0] == (uint8_t)g_aChunkTypes[t].tag[0] && chunk[1] == (uint8_t)g_aChunkTypes[t].tag[1])
            return t;
    return -1;
}

uint32_t Seq_ChunkStep(const uint8_t *chunk, size_t left, int32_t type)
{
    if (left < 4)
        return 0;
    uint64_t step;
    switch (type) {
    case CHUNK_AU: step = 36; break;
    case CHUNK_CO: step = 24; break;
    case CHUNK_HE: case CHUNK_H2: step = 12; break;
    case CHUNK_CN: step = 28; break;
    case CHUNK_VI: case CHUNK_SO: step = 4 + 4ull * Rd16(chunk + 2); break;
    default: {
        if (left < 8)
            return 0;
        uint32_t words, count;
        HeaderWords(chunk, type, &words, &count);
        step = 4ull * words;
        if (step < 8) // a zero or short length would never move on
            return 0;
    }
    }
    if (step > left)
        return 0;
    return (uint32_t)step;
}

const uint8_t *Seq_NextChunk(const uint8_t *chunk, int32_t type)
{
    return chunk + Seq_ChunkStep(chunk, SIZE_MAX, type);
}

int32_t Seq_GetDiscName(int32_t disc, char *out, int32_t length)
{
    if (!out || length <= 0)
        return 0;
    if (disc == 0) {
        snprintf(out, (size_t)length, "%s", kDiscZero);
        return 1;
    }
    return 0;
}

// ---- Contexts ----

void Seq_SetUsageSlot(CHUNKCONTEXT *ctx, int32_t slot, int32_t type)
{
    if (!ctx || slot < 0 || slot >= SONG_USAGE_SLOTS)
        return;
    ctx->auSlotType[slot] = (uint32_t)type;
    ctx->aBitmap[slot].assign(1, 0); // marks a slot in use even while empty
}

std::vector<uint32_t> *Seq_GetUsageBitmap(CHUNKCONTEXT *ctx, int32_t type)
{
    for (int32_t s = 0; s < SONG_USAGE_SLOTS; s++)
        if (ctx->auSlotType[s] == (uint32_t)type && !ctx->aBitmap[s].empty())
            return &ctx->aBitmap[s];
    return nullptr;
}

void Seq_MarkBit(std::vector<uint32_t> *bitmap, uint32_t n)
{
    if (!bitmap)
        return;
    if ((n >> 5) >= bitmap->size())
        bitmap->resize((n >> 5) + 1, 0);
    (*bitmap)[n >> 5] |= 1u << (n & 31);
}

bool Seq_TestBit(const std::vector<uint32_t> *bitmap, uint32_t n)
{
    if (!bitmap)
        return true; // a type without a bitmap takes every item
    return (n >> 5) < bitmap->size() && ((*bitmap)[n >> 5] >> (n & 31) & 1);
}

// ---- Saving ----

namespace {

// Source kind of a slot: 0 a library sample (saved as its resource reference), 1 a sample the
// edit chain makes (an edited library sample: the chain starts from its source), 2 a sample made
// in the program, 3 the same with an edit chain.
int32_t InstrumentSource(const INSTRUMENTSLOT &s)
{
    if (s.ucKey1 == 255 && s.iSampleId < 0)
        return s.pCommands ? 3 : 2;
    if (s.ucKey1 >= 254 || (!s.ucKey1 && !s.uKey2 && !s.uKey3))
        return 1;
    return s.pCommands || (s.cSampleState & SAMPLE_STATE_EDITED) ? 1 : 0;
}

// The 13 resource-kind rows of a disc record.
RESKINDROW *DiscRows(DISKNAMES *disc)
{
    return reinterpret_cast<RESKINDROW *>(disc->abDiscData);
}

// Registered disc records in pool order.
std::vector<DISKNAMES *> RegisteredDiscs()
{
    std::vector<DISKNAMES *> discs;
    if (!g_pDiscPool)
        return discs;
    const int32_t highest = Sys_PoolHighestId(g_pDiscPool);
    for (int32_t id = 0; id <= highest; id++)
        if (DISKNAMES *d = static_cast<DISKNAMES *>(Sys_PoolGet(g_pDiscPool, id)))
            discs.push_back(d);
    return discs;
}

// The discs whose resources an image names: the registered ones, or the open archive alone when
// none is registered (the content builder writes clips before any disc record exists).
std::vector<DISKNAMES *> ResourceDiscs()
{
    std::vector<DISKNAMES *> discs = RegisteredDiscs();
    if (discs.empty() && g_pCurrentDisc)
        discs.push_back(g_pCurrentDisc);
    return discs;
}

constexpr uint32_t kResIdWords = (RESPAGE_POOL_PAGES << RESPAGE_POOL_SHIFT) / 32;

// Stamps save numbers on the marked resources of one disc; how many there are.
int32_t NumberDiscResources(DISKNAMES *disc, const uint32_t *mask, int32_t *next)
{
    int32_t counter = 0;
    for (int32_t kind = 0; kind < RES_KIND_COUNT; kind++) {
        const RESKINDROW &row = DiscRows(disc)[kind];
        if (row.depth)
            Vid_NumberResources(Vid_GetKindTree(&row), &counter, next, mask);
    }
    return counter;
}

int32_t SampleIndexOfId(int32_t id)
{
    for (int32_t i = 1; i < g_uSampleCount && i < SEQ_MAX_SAMPLES; i++)
        if (g_aSamples[i].iSampleId == id && id != 0)
            return i;
    return -1;
}

uint32_t InstrumentRecordBytes(const INSTRUMENTSLOT &s)
{
    const int32_t kind = InstrumentSource(s);
    return kind == 1 || kind == 3 ? 4u + 12u * s.ucCommandCount : 4u;
}

bool SlotInUse(int32_t slot)
{
    const INSTRUMENTSLOT &s = g_aInstrumentSlots[slot];
    return !Seq_InstrumentSlotFree(slot) || s.ucAllocated;
}

int32_t PackedLength(const RIFFENTRY *r, const CHUNKCONTEXT *ctx, std::vector<uint8_t> *out)
{
    const int32_t steps = r->ucBars * SEQ_STEPS_PER_BAR;
    const int32_t full = r->ucTracks * steps * 2;
    int32_t packed = 0;
    for (int32_t t = 0; t < r->ucTracks; t++) {
        packed++;
        for (int32_t s = 0; s < steps; s++) {
            const uint16_t id = r->puNotes[t * steps + s];
            if (id)
                packed += ctx->noteSave[id] < 256 ? 2 : 3;
        }
    }
    const bool usePacked = packed < full;
    if (out) {
        Writer w{*out};
        for (int32_t t = 0; t < r->ucTracks; t++) {
            if (usePacked) {
                int32_t k = 0;
                for (int32_t s = 0; s < steps; s++)
                    k += r->puNotes[t * steps + s] != 0;
                w.U8((uint32_t)k);
            }
            for (int32_t s = 0; s < steps; s++) {
                const uint16_t id = r->puNotes[t * steps + s];
                const uint16_t save = id ? ctx->noteSave[id] : 0;
                if (!usePacked) {
                    w.U16(save);
                } else if (id) {
                    if (save < 256) {
                        w.U8((uint32_t)s);
                        w.U8(save);
                    } else {
                        w.U8((uint32_t)s | 0x80);
                        w.U16(save);
                    }
                }
            }
        }
    }
    return usePacked ? packed : -full;
}

// The SN entries of the song, written or only counted.
uint32_t SongEntries(const CHUNKCONTEXT *ctx, std::vector<uint8_t> *out)
{
    uint32_t n = 0;
    const bool tagged = g_bTaggedSongFile != 0;
    auto put = [&](uint32_t row, uint32_t column, uint32_t value, uint32_t extra) {
        n++;
        if (!out)
            return;
        Writer w{*out};
        if (tagged) {
            w.U16(row);
            w.U16(column);
            w.U16(value);
            w.U16(extra);
        } else {
            w.U16((row & 0x7FF) | column << 11);
            w.U16((value & 0x7FF) | extra << 11);
        }
    };
    const int32_t rows = std::min<int32_t>(Seq_CountUsedRows(), SEQ_GRID_ROWS);
    for (int32_t c = 0; c < Columns(); c++)
        for (int32_t row = 0; row < rows;) {
            const uint16_t cell = g_aSongGrid[row][c];
            const int32_t id = cell & SEQ_CELL_ID_MASK;
            if (!id || (cell & 0xF000)) {
                row++;
                continue;
            }
            const RIFFENTRY *r = Seq_GetRiff(id);
            const int32_t len = r ? r->ucBars : 1;
            int32_t copies = 0;
            while (copies < 31 && row + (copies + 1) * len < SEQ_GRID_ROWS &&
                   g_aSongGrid[row + (copies + 1) * len][c] == cell)
                copies++;
            if (r && Seq_TestBit(nullptr, 0) && c + r->ucTracks <= Columns())
                put((uint32_t)row, (uint32_t)c, ctx->riffSave[id], (uint32_t)copies);
            row += (copies + 1) * len;
        }
    for (int32_t k = 0; k < 4; k++) {
        const int32_t column = EventColumn(k);
        TRACKENTRY **head = Seq_ListHead(LIST_TEMPO + k);
        for (const TRACKENTRY *e = head ? *head : nullptr; e; e = e->pNext) {
            const uint32_t row = (uint32_t)Seq_EntryRow(e), len = (uint32_t)Seq_EntryLength(e);
            if (k == 3) {
                put(row, (uint32_t)column, e->uStart, e->uEnd);
                continue;
            }
            const uint32_t type = (uint32_t)e->uEffectWord >> 11;
            put(row, (uint32_t)column, e->uStart, len);
            put(row, (uint32_t)column, e->uEnd, k == 2 ? type : len);
            if (k == 2 && (type == 7 || type == 8)) {
                const uint32_t ps = e->pPartner ? e->pPartner->uStart : 0, pe = e->pPartner ? e->pPartner->uEnd : 0;
                put(ps & 0xFF, (uint32_t)column, pe & 0xFF, len);
                if (tagged)
                    put(ps & 0xFF00, (uint32_t)column, pe & 0xFF00, type);
                else
                    put(ps >> 8, (uint32_t)column, pe >> 8, type);
            }
        }
    }
    return n;
}

} // namespace

int32_t Seq_PackRiffGrid(int32_t riff, const CHUNKCONTEXT *ctx, std::vector<uint8_t> *out)
{
    const RIFFENTRY *r = Seq_GetRiff(riff);
    return r ? PackedLength(r, ctx, out) : 0;
}

namespace {
// Set while the song sizes are taken: the sizing must not flush the riffs waiting for deletion
// (the flush itself recomputes the sizes).
bool g_bSizingSong = false;
} // namespace

void Seq_SizeDiscChunk(CHUNKCONTEXT *ctx)
{
    // One record per registered disc; the program's own disc when none is.
    const uint32_t discs = (uint32_t)std::max<size_t>(RegisteredDiscs().size(), 1);
    ctx->aChunk[CHUNK_DS].uSize = SONG_DISC_RECORD * discs;
    ctx->aChunk[CHUNK_DS].uCount = discs;
}

void Seq_SizeHeaderChunks(CHUNKCONTEXT *ctx)
{
    ctx->aChunk[CHUNK_H2].uSize = 12;
    ctx->aChunk[CHUNK_AU].uSize = 36;
    ctx->aChunk[CHUNK_CN].uSize = 28;
    Seq_SizeDiscChunk(ctx);
}

bool Seq_SizeResourceChunk(CHUNKCONTEXT *ctx)
{
    // The marked resources by disc, numbered 0, 1, 2 ... across the discs in disc order.
    std::vector<uint32_t> *resBits = Seq_GetUsageBitmap(ctx, CHUNK_RE);
    if (!resBits)
        return false;
    resBits->resize(kResIdWords, 0);
    for (size_t i = 0; i < ctx->videoResources.size() && i < resBits->size(); i++)
        (*resBits)[i] |= ctx->videoResources[i];
    int32_t next = 0;
    uint32_t groups = 0;
    for (DISKNAMES *disc : ResourceDiscs())
        if (NumberDiscResources(disc, resBits->data(), &next) > 0)
            groups++;
    size_t marked = 0;
    for (uint32_t word : *resBits)
        marked += (size_t)__builtin_popcount(word);
    // A library instrument no disc holds could not be named in the image. The video's marks may
    // include resources that live inside others (a model's textures): only the listed ones count.
    if ((size_t)next != marked && ctx->iVideoResCount == 0)
        return false;
    ctx->aChunk[CHUNK_RE].uCount = groups;
    ctx->aChunk[CHUNK_RE].uSize = groups ? 4 * groups + (uint32_t)RESREF_SIZE * (uint32_t)next : 0;
    return true;
}

uint32_t Seq_PrepareSave(uint32_t parts, int32_t *pBlocks, CHUNKCONTEXT *ctx)
{
    for (auto &rec : ctx->aChunk)
        rec = CHUNKRECORD{};
    if (!g_bSizingSong)
        Seq_FlushDeletedRiffs();
    Seq_SizeHeaderChunks(ctx);
    Seq_SetUsageSlot(ctx, 7, CHUNK_RE);
    std::vector<uint32_t> *resBits = Seq_GetUsageBitmap(ctx, CHUNK_RE);
    ctx->riffSave.assign(g_uRiffCount + 1u, 0);
    ctx->noteSave.assign(g_uNoteCount + 1u, 0);
    ctx->listSave.assign(SEQ_PARAM_LIST_SLOTS, 0xFFFF);
    ctx->slotSave.assign(SEQ_INSTRUMENT_SLOTS, 0xFFFF);
    if (parts & SONGPART_SONG) {
        std::vector<uint32_t> *riffBits = Seq_GetUsageBitmap(ctx, CHUNK_RI);
        std::vector<bool> notesTaken(g_uNoteCount + 1u), slotsTaken(SEQ_INSTRUMENT_SLOTS),
            listsTaken(SEQ_PARAM_LIST_SLOTS);
        uint32_t riffs = 0, riffBytes = 0;
        for (int32_t id = 1; id < g_uRiffCount; id++) {
            if (!Seq_TestBit(riffBits, (uint32_t)id))
                continue;
            const RIFFENTRY *r = Seq_GetRiff(id);
            ctx->riffSave[id] = (uint16_t)riffs++;
            const int32_t cells = r->ucBars * r->ucTracks * SEQ_STEPS_PER_BAR;
            for (int32_t i = 0; i < cells; i++)
                if (r->puNotes[i] && r->puNotes[i] <= g_uNoteCount)
                    notesTaken[r->puNotes[i]] = true;
        }
        uint32_t notes = 0;
        for (int32_t id = 1; id <= g_uNoteCount; id++) {
            if (!notesTaken[id])
                continue;
            ctx->noteSave[id] = (uint16_t)++notes;
            const NOTEENTRY *n = Seq_GetNote(id);
            if (n->uInstrument > 0 && n->uInstrument < SEQ_INSTRUMENT_SLOTS)
                slotsTaken[n->uInstrument] = true;
            for (uint16_t l : {n->uListA, n->uListB, n->uListC})
                if (l < SEQ_PARAM_LIST_SLOTS)
                    listsTaken[l] = true;
        }
        for (int32_t id = 1; id < g_uRiffCount; id++)
            if (Seq_TestBit(riffBits, (uint32_t)id)) {
                const int32_t len = Seq_PackRiffGrid(id, ctx, nullptr);
                riffBytes += 28u + (uint32_t)(len < 0 ? -len : len);
            }
        uint32_t slots = 0, slotBytes = 0, samples = 0, sampleBytes = 0;
        std::vector<bool> samplesTaken(SEQ_MAX_SAMPLES);
        ctx->sampleSave.assign(SEQ_MAX_SAMPLES, 0xFFFF);
        // A caller's IN bitmap names the slots wanted besides those the notes use (a jam
        // template's instrument rows); without one every library instrument in use goes too.
        const std::vector<uint32_t> *slotBits = Seq_GetUsageBitmap(ctx, CHUNK_IN);
        for (int32_t slot = 1; slot < SEQ_INSTRUMENT_SLOTS; slot++) {
            const INSTRUMENTSLOT &in = g_aInstrumentSlots[slot];
            const bool wanted = slotBits ? Seq_TestBit(slotBits, (uint32_t)slot) && SlotInUse(slot)
                                         : SlotInUse(slot) && in.ucKey1;
            if (!(slotsTaken[slot] || wanted))
                continue;
            // A library sample travels as its resource reference: one that is not loaded any
            // more cannot be named, and the save is refused rather than lose the instrument.
            if (InstrumentSource(in) == 0) {
                if (in.iSampleId <= 0 || !Vid_GetResData(in.iSampleId))
                    return 0;
                Seq_MarkBit(resBits, (uint32_t)in.iSampleId);
            }
            ctx->slotSave[slot] = (uint16_t)slots++;
            slotBytes += InstrumentRecordBytes(in);
            if (InstrumentSource(in) >= 2) {
                const int32_t index = SampleIndexOfId(in.iSampleId);
                if (index >= 0)
                    samplesTaken[index] = true;
            }
            uint32_t left = 0;
            for (const COMMANDENTRY *c = in.pCommands; c; c = c->pNext) {
                if (left == 0) {
                    left = (uint32_t)std::max(1, Seq_CommandEntryCount((int32_t)c->uType));
                    if (c->uType == 18 && c->uParam0 < SEQ_PARAM_LIST_SLOTS)
                        listsTaken[c->uParam0] = true;
                }
                left--;
            }
        }
        for (int32_t i = 1; i < g_uSampleCount && i < SEQ_MAX_SAMPLES; i++) {
            if (!samplesTaken[i])
                continue;
            const uint64_t bytes = 2ull * g_aSamples[i].uLength;
            // The untagged length field is 16 bits: a longer sample is refused, never wrapped.
            if (!g_bTaggedSongFile && bytes > 65534)
                return 0;
            ctx->sampleSave[i] = (uint16_t)samples++;
            sampleBytes += (uint32_t)((g_bTaggedSongFile ? 28 : 24) + bytes);
        }
        uint32_t lists = 0, listBytes = 0;
        for (int32_t l = 0; l < (int32_t)SEQ_PARAM_LIST_SLOTS; l++) {
            if (!listsTaken[l])
                continue;
            uint32_t bytes = 0;
            const uint8_t *data = Seq_GetParamList(l, &bytes);
            if (!data)
                continue;
            ctx->listSave[l] = (uint16_t)lists++;
            listBytes += (2u * data[0] + 6) & ~3u;
        }
        const uint32_t noteBytes = notes * (g_bTaggedSongFile ? 20 : 18);
        auto set = [&](int32_t t, uint32_t count, uint32_t bytes) {
            ctx->aChunk[t].uCount = count;
            ctx->aChunk[t].uSize = count ? (bytes + 3) & ~3u : 0;
        };
        set(CHUNK_EN, lists, listBytes);
        set(CHUNK_SP, samples, sampleBytes);
        set(CHUNK_IN, slots, slotBytes);
        set(CHUNK_NO, notes, noteBytes);
        set(CHUNK_RI, riffs, riffBytes);
        const uint32_t entries = SongEntries(ctx, nullptr);
        set(CHUNK_SN, entries, entries * (g_bTaggedSongFile ? 8 : 4));
    }
    // Video and jams first: the chases mark the resources they use into the RE bitmap.
    Seq_PrepareJamChunks(parts, ctx);
    Seq_PrepareVideoChunks(parts, ctx);
    if (!Seq_SizeResourceChunk(ctx))
        return 0;
    uint32_t total = 0;
    for (int32_t t = 0; t < SONG_CHUNK_TYPES; t++)
        total += ctx->aChunk[t].uSize + (ctx->aChunk[t].uCount && IsStandardHeader(t) ? 8 : 0);
    if (pBlocks)
        *pBlocks = (int32_t)((total + 8703) >> 13);
    return total;
}

void Seq_UpdateSongSizes()
{
    Seq_CountUsedRows();
    if (g_bSizingSong)
        return;
    // Sized as a save of the song and its jams would be; a save that would be refused (a library
    // sample no longer loaded) still shows what it had sized so far.
    CHUNKCONTEXT ctx;
    g_bSizingSong = true;
    Seq_PrepareSave(SONGPART_SONG | SONGPART_JAMS, nullptr, &ctx);
    g_bSizingSong = false;
    auto bytes = [&](std::initializer_list<int32_t> types) {
        int64_t sum = 0;
        for (int32_t t : types) {
            const CHUNKRECORD &rec = ctx.aChunk[t];
            sum += int64_t(rec.uSize) + (rec.uCount && IsStandardHeader(t) ? 8 : 0);
        }
        return int32_t(std::min<int64_t>(sum, INT32_MAX));
    };
    g_iSizeMusic = bytes({CHUNK_EN, CHUNK_SP, CHUNK_IN, CHUNK_NO, CHUNK_RI, CHUNK_R2, CHUNK_SN});
    g_iSizeSongGrid = bytes({CHUNK_SN});
    g_iSizeJams = bytes({CHUNK_JT, CHUNK_JC, CHUNK_JS});
    g_iSizeHeader = bytes({CHUNK_H2, CHUNK_AU, CHUNK_CN});
    g_iSizeDiscs = bytes({CHUNK_DS});
    g_iSizeResources = bytes({CHUNK_RE});
}

int32_t Seq_SongSizeTotal()
{
    const int64_t sum = int64_t(g_iSizeMusic) + g_iSizeJams + g_iSizeHeader + g_iSizeDiscs + g_iSizeResources;
    return int32_t(std::min<int64_t>(sum, INT32_MAX));
}

namespace {

// The 8-byte header of a chunk with items: tag, length in words (the extended length when it
// reaches 0x10000), item count.
void WriteChunkHeader(const CHUNKCONTEXT *ctx, int32_t t, Writer &w)
{
    const CHUNKRECORD &rec = ctx->aChunk[t];
    const uint32_t words = (rec.uSize + 11) >> 2;
    w.Bytes(g_aChunkTypes[t].tag, 2);
    w.U16(words & 0xFFFF);
    w.U32(words >= 0x10000 ? (words & 0xFFFF0000u) | (rec.uCount & 0xFFFF) : rec.uCount);
}

// Pads the body to a word and checks that it came out at the size the preparation announced.
bool EndChunkBody(const CHUNKCONTEXT *ctx, int32_t t, Writer &w, size_t start)
{
    w.Pad4();
    return w.b.size() - start == ctx->aChunk[t].uSize;
}

} // namespace

bool Seq_WriteHeaderChunk(const CHUNKCONTEXT *ctx, uint32_t imageSize, std::vector<uint8_t> *img)
{
    uint32_t present = 0;
    for (int32_t t = 1; t < SONG_CHUNK_TYPES; t++)
        if (ctx->aChunk[t].uSize)
            present |= 1u << (t - 1);
    Writer w{*img};
    w.Bytes("H2", 2);
    w.U16(3);
    w.U32((uint32_t)SONG_FORMAT_VERSION | present << 8);
    w.U32(imageSize);
    return true;
}

// A jam template has no AU, CN or DS (its preparation leaves them unsized).
bool Seq_WriteAuthorChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_AU].uSize)
        return true;
    Writer w{*img};
    w.Bytes("AU", 2);
    w.U16(1);
    w.Text(ctx->szAuthor, 32);
    return true;
}

bool Seq_WriteReservedChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_CN].uSize)
        return true;
    Writer w{*img};
    w.Bytes("CN", 2);
    w.U16(7);
    img->insert(img->end(), 24, 0);
    return true;
}

// DS: the registered discs (the program's own disc 0 when none is).
bool Seq_WriteDiscChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_DS].uCount)
        return true;
    Writer w{*img};
    WriteChunkHeader(ctx, CHUNK_DS, w);
    const size_t start = img->size();
    const std::vector<DISKNAMES *> discs = RegisteredDiscs();
    for (DISKNAMES *disc : discs) {
        char name[19] = {};
        memcpy(name, disc->szName, strnlen(disc->szName, 18));
        w.U8(disc->uNumber & 0xFF);
        w.Bytes(name, 19);
    }
    if (discs.empty()) {
        w.U8(0);
        w.Text(kDiscZero, 19);
    }
    return EndChunkBody(ctx, CHUNK_DS, w, start);
}

bool Seq_WriteResourceChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_RE].uCount)
        return true;
    std::vector<uint32_t> *resBits = Seq_GetUsageBitmap(ctx, CHUNK_RE);
    if (!resBits || resBits->size() < kResIdWords)
        return false;
    Writer w{*img};
    WriteChunkHeader(ctx, CHUNK_RE, w);
    const size_t start = img->size();
    size_t marked = 0;
    for (uint32_t word : *resBits)
        marked += (size_t)__builtin_popcount(word);
    bool ok = true;
    std::vector<uint8_t> refs(RESREF_SIZE * (marked + 1));
    for (DISKNAMES *disc : ResourceDiscs()) {
        int32_t n = 0;
        for (int32_t kind = 0; kind < RES_KIND_COUNT; kind++) {
            const RESKINDROW &row = DiscRows(disc)[kind];
            // The walk writes one reference per marked resource, never more than are marked.
            if (row.depth && Vid_WriteResRefs(Vid_GetKindTree(&row), refs.data(), resBits->data(), &n) != 0)
                ok = false;
        }
        if (n == 0)
            continue;
        w.U16(disc->uNumber);
        w.U16((uint32_t)n);
        w.Bytes(refs.data(), RESREF_SIZE * (size_t)n);
    }
    return EndChunkBody(ctx, CHUNK_RE, w, start) && ok;
}

bool Seq_WriteParamListChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_EN].uCount)
        return true;
    Writer w{*img};
    WriteChunkHeader(ctx, CHUNK_EN, w);
    const size_t start = img->size();
    for (int32_t l = 0; l < (int32_t)SEQ_PARAM_LIST_SLOTS; l++) {
        if (l >= (int32_t)ctx->listSave.size() || ctx->listSave[l] == 0xFFFF)
            continue;
        uint32_t bytes = 0;
        const uint8_t *data = Seq_GetParamList(l, &bytes);
        const uint32_t rec = (2u * data[0] + 6) & ~3u;
        const size_t at = img->size();
        w.Bytes(data, std::min<uint32_t>(bytes, 2u * data[0] + 3));
        while (img->size() - at < rec)
            w.U8(0);
    }
    return EndChunkBody(ctx, CHUNK_EN, w, start);
}

bool Seq_WriteSampleChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_SP].uCount)
        return true;
    Writer w{*img};
    WriteChunkHeader(ctx, CHUNK_SP, w);
    const size_t start = img->size();
    bool ok = true;
    for (int32_t i = 1; i < g_uSampleCount && i < SEQ_MAX_SAMPLES; i++) {
        if (ctx->sampleSave[i] == 0xFFFF)
            continue;
        const SAMPLEENTRY &e = g_aSamples[i];
        SAMPLESLOT *slot = nullptr;
        Snd_FindSampleById(&slot, (uint32_t)e.iSampleId);
        if (g_bTaggedSongFile) {
            w.U32(e.uLength);
            w.U32(slot && (slot->uFlags & SAMPLE_LOOPS) ? slot->uLoopStartFrame : 0xFFFFFFFFu);
        } else {
            w.U8((2 * e.uLength) >> 8); // high byte first
            w.U8(2 * e.uLength);
            w.U16(0);
        }
        w.Text(e.szName, 20);
        // The sound as the audio engine holds it (its slot may be widened to stereo).
        std::vector<int16_t> mono(e.uLength, 0);
        if (slot && slot->uFrames == e.uLength)
            Snd_CopySampleLeft(mono.data(), slot);
        else
            ok = false; // a sample whose sound is not there is not saved as silence
        for (int16_t v : mono)
            w.U16((uint16_t)v);
    }
    return EndChunkBody(ctx, CHUNK_SP, w, start) && ok;
}

bool Seq_WriteInstrumentChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_IN].uCount)
        return true;
    Writer w{*img};
    WriteChunkHeader(ctx, CHUNK_IN, w);
    const size_t start = img->size();
    for (int32_t slot = 1; slot < SEQ_INSTRUMENT_SLOTS; slot++) {
        if (ctx->slotSave[slot] == 0xFFFF)
            continue;
        const INSTRUMENTSLOT &in = g_aInstrumentSlots[slot];
        const int32_t kind = InstrumentSource(in);
        const int32_t index = kind >= 2 ? SampleIndexOfId(in.iSampleId) : -1;
        if (kind == 0)
            w.U16((uint32_t)Vid_GetResSaveNumber(in.iSampleId));
        else
            w.U16(index >= 0 ? ctx->sampleSave[index] : 0);
        w.U8(kind ? (uint32_t)(in.ucKind & 15) << 4 | (uint32_t)kind : 0);
        const bool commands = kind == 1 || kind == 3;
        const uint32_t c = commands ? (uint32_t)in.ucCommandCount : 0;
        w.U8(c);
        uint32_t left = 0, written = 0;
        for (const COMMANDENTRY *e = in.pCommands; e && written < c; e = e->pNext, written++) {
            uint32_t p0 = e->uParam0;
            if (left == 0) {
                left = (uint32_t)std::max(1, Seq_CommandEntryCount((int32_t)e->uType));
                if (e->uType == 18)
                    p0 = p0 < SEQ_PARAM_LIST_SLOTS ? ctx->listSave[p0] : 0xFFFF;
            }
            left--;
            w.U32(p0);
            w.U32(e->uParam1);
            w.U32(e->uType);
        }
    }
    return EndChunkBody(ctx, CHUNK_IN, w, start);
}

bool Seq_WriteNoteChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_NO].uCount)
        return true;
    Writer w{*img};
    WriteChunkHeader(ctx, CHUNK_NO, w);
    const size_t start = img->size();
    for (int32_t id = 1; id <= g_uNoteCount; id++) {
        if (!ctx->noteSave[id])
            continue;
        const NOTEENTRY *n = Seq_GetNote(id);
        if (g_bTaggedSongFile)
            w.U32(n->uSampleStart);
        else
            w.U16(std::min<uint32_t>(n->uSampleStart / 14, 0xFFFF));
        w.U8(n->uInstrument > 0 && n->uInstrument < SEQ_INSTRUMENT_SLOTS ? ctx->slotSave[n->uInstrument] & 0xFF : 0xFF);
        w.U8(n->ucPitch);
        w.U8(n->ucLength);
        w.U8(n->ucLevel);
        w.U8(n->ucSetting1);
        w.U8(n->ucSetting2);
        w.U8(n->ucSetting3);
        w.U8(n->ucFlags);
        w.U8(n->ucSetting4);
        w.U8(n->ucSetting5);
        for (uint16_t l : {n->uListA, n->uListC, n->uListB})
            w.U16(l < SEQ_PARAM_LIST_SLOTS ? ctx->listSave[l] : 0xFFFF);
    }
    return EndChunkBody(ctx, CHUNK_NO, w, start);
}

bool Seq_WriteRiffChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_RI].uCount)
        return true;
    Writer w{*img};
    WriteChunkHeader(ctx, CHUNK_RI, w);
    const size_t start = img->size();
    std::vector<uint32_t> *riffBits = Seq_GetUsageBitmap(ctx, CHUNK_RI);
    for (int32_t id = 1; id < g_uRiffCount; id++) {
        if (!Seq_TestBit(riffBits, (uint32_t)id))
            continue;
        const RIFFENTRY *r = Seq_GetRiff(id);
        // A link to a riff left out of the image would name another riff: link to itself.
        const uint16_t link = Seq_TestBit(riffBits, r->uLink) && Seq_GetRiff(r->uLink) ? ctx->riffSave[r->uLink]
                                                                                     : ctx->riffSave[id];
        w.U8(Seq_PackRiffGrid(id, ctx, nullptr) > 0 ? 'C' : 'F');
        w.U8(r->ucColour);
        w.U8(r->ucStartLevel);
        w.U8(r->ucEndLevel);
        w.U8(r->ucBars);
        w.U8(r->ucTracks);
        w.U8(r->ucType);
        w.U8((r->uKey & 0x3F) | (r->uKey >> 14) << 6);
        w.U16(link);
        w.U16(0);
        w.Text(r->szName, 16);
        Seq_PackRiffGrid(id, ctx, img);
    }
    return EndChunkBody(ctx, CHUNK_RI, w, start);
}

bool Seq_WriteSongChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_SN].uCount)
        return true;
    Writer w{*img};
    WriteChunkHeader(ctx, CHUNK_SN, w);
    const size_t start = img->size();
    SongEntries(ctx, img);
    return EndChunkBody(ctx, CHUNK_SN, w, start);
}

std::vector<uint8_t> Seq_WriteChunks(uint32_t size, const char author[32], CHUNKCONTEXT *ctx)
{
    std::vector<uint8_t> img;
    img.reserve(size);
    memset(ctx->szAuthor, 0, sizeof(ctx->szAuthor));
    if (author)
        memcpy(ctx->szAuthor, author, strnlen(author, 32));
    // In type order; the jam chunks (12-14) come before SN and the video chunks after it.
    bool ok = Seq_WriteHeaderChunk(ctx, size, &img);
    ok &= Seq_WriteAuthorChunk(ctx, &img);
    ok &= Seq_WriteReservedChunk(ctx, &img);
    ok &= Seq_WriteDiscChunk(ctx, &img);
    // A resource chunk that cannot be written leaves no image at all.
    if (!Seq_WriteResourceChunk(ctx, &img))
        return {};
    ok &= Seq_WriteParamListChunk(ctx, &img);
    ok &= Seq_WriteSampleChunk(ctx, &img);
    ok &= Seq_WriteInstrumentChunk(ctx, &img);
    ok &= Seq_WriteNoteChunk(ctx, &img);
    ok &= Seq_WriteRiffChunk(ctx, &img);
    ok &= Seq_WriteJamChunks(ctx, &img);
    ok &= Seq_WriteSongChunk(ctx, &img);
    ok &= Seq_WriteVideoChunks(ctx, &img);
    if (!ok || img.size() != size)
        return {}; // never hand out an image that is not the one announced
    return img;
}

std::vector<uint8_t> Seq_SaveSongImage(uint32_t parts, const char *author)
{
    CHUNKCONTEXT ctx;
    int32_t blocks = 0;
    const uint32_t size = Seq_PrepareSave(parts, &blocks, &ctx);
    char text[32] = {};
    if (author)
        memcpy(text, author, strnlen(author, 32));
    return Seq_WriteChunks(size, text, &ctx);
}

// ---- Locating and checking ----

// Locate handlers: what a load keeps of each chunk met while the image is walked (the walk has
// checked that the chunk lies whole inside the image and is long enough for its type).
void Seq_LocateAuthorChunk(const uint8_t *chunk, CHUNKLOADCONTEXT *load, int32_t)
{
    memcpy(load->szAuthor, chunk + 4, 32);
}

void Seq_LocateReservedChunk(const uint8_t *chunk, CHUNKLOADCONTEXT *load, int32_t)
{
    memcpy(load->abReserved, chunk + 4, 24);
}

void Seq_LocateOldReservedChunk(const uint8_t *chunk, CHUNKLOADCONTEXT *load, int32_t)
{
    memcpy(load->abReserved, chunk + 5, 16);
}

void Seq_LocateVideoBlock(const uint8_t *chunk, CHUNKLOADCONTEXT *load, int32_t)
{
    load->pVideoBlock = chunk + 4;
}

void Seq_LocateSongBlock(const uint8_t *chunk, CHUNKLOADCONTEXT *load, int32_t)
{
    load->pSongBlock = chunk + 4;
}

void Seq_LocateChunk(const uint8_t *chunk, uint32_t size, uint32_t count, CHUNKLOADCONTEXT *load, int32_t type)
{
    if (type < 0 || type >= SONG_CHUNK_TYPES)
        return;
    CHUNKRECORD &rec = load->ctx.aChunk[type];
    rec.pChunk = chunk;
    rec.uSize = size;
    rec.uCount = count;
}

namespace {

bool ParseImage(const uint8_t *image, size_t length, CHUNKLOADCONTEXT *load)
{
    if (length < 12)
        return false;
    const int32_t first = Seq_ChunkTypeOfTag(image);
    if (first != CHUNK_H2 && first != CHUNK_HE)
        return false;
    g_iSongFormatVersion = first == CHUNK_H2 ? image[4] : (int32_t)Rd32(image + 4);
    const uint32_t total = Rd32(image + 8);
    if (total < 12 || total > length)
        return false;
    auto img = std::make_shared<SONGIMAGE>();
    const uint8_t *end = image + total;
    const uint8_t *p = image + Seq_ChunkStep(image, total, first);
    while (p < end) {
        const size_t left = (size_t)(end - p);
        if (left < 4)
            return false; // not even a chunk's tag and length
        const int32_t type = Seq_ChunkTypeOfTag(p);
        const uint32_t step = Seq_ChunkStep(p, left, type < 0 ? CHUNK_00 : type);
        if (!step)
            return false; // a chunk that crosses the end or cannot be stepped over
        uint32_t words = 0, count = 0;
        if (type >= 0 && IsStandardHeader(type))
            HeaderWords(p, type, &words, &count);
        Reader r{p + 8, step >= 8 ? step - 8u : 0u};
        switch (type) {
        case CHUNK_AU: Seq_LocateAuthorChunk(p, load, type); break;
        case CHUNK_CN: Seq_LocateReservedChunk(p, load, type); break;
        case CHUNK_CO: Seq_LocateOldReservedChunk(p, load, type); break;
        case CHUNK_DS: {
            const size_t n = std::min<size_t>((step - 8) / SONG_DISC_RECORD, SONG_LOAD_DISCS);
            img->discNames.assign((const char *)p + 8, (const char *)p + 8 + n * SONG_DISC_RECORD);
            break;
        }
        case CHUNK_RE: {
            img->resources.clear();
            for (uint32_t g = 0; g < count && !r.bad; g++) {
                const uint16_t disc = r.U16(), n = r.U16();
                for (uint32_t k = 0; k < n && !r.bad; k++)
                    if (const uint8_t *ref = r.Skip(RESREF_SIZE))
                        img->resources.push_back({disc, ref});
            }
            break;
        }
        case CHUNK_EN: {
            img->hasEN = true;
            img->lists.clear();
            for (uint32_t i = 0; i < count && !r.bad; i++) {
                SONGLIST l;
                const uint8_t n = r.U8();
                for (int32_t k = 0; k < n; k++)
                    l.values.push_back(r.U16());
                l.a = r.U8();
                l.b = r.U8();
                r.Skip(((2u * n + 6) & ~3u) - (2u * n + 3));
                img->lists.push_back(std::move(l));
            }
            break;
        }
        case CHUNK_SP: {
            img->hasSP = true;
            img->samples.clear();
            for (uint32_t i = 0; i < count && !r.bad; i++) {
                SONGSAMPLE sp{};
                uint64_t bytes;
                if (g_bTaggedSongFile) {
                    sp.uFrames = r.U32();
                    sp.uLoop = r.U32();
                    bytes = 2ull * sp.uFrames;
                } else {
                    const uint8_t hi = r.U8(), lo = r.U8();
                    r.U16();
                    bytes = (uint32_t)(hi << 8 | lo) & ~1u;
                    sp.uFrames = (uint32_t)(bytes / 2);
                    sp.uLoop = 0xFFFFFFFFu;
                }
                const uint8_t *name = r.Skip(20);
                if (!name || bytes > r.left || bytes == 0)
                    return false;
                memcpy(sp.szName, name, 20);
                sp.szName[19] = 0;
                sp.pData = r.Skip((size_t)bytes);
                if (sp.uLoop != 0xFFFFFFFFu && sp.uLoop >= sp.uFrames)
                    return false;
                img->samples.push_back(sp);
            }
            break;
        }
        case CHUNK_IN: {
            img->hasIN = true;
            img->instruments.clear();
            for (uint32_t i = 0; i < count && !r.bad; i++) {
                SONGINSTR in;
                in.uRef = r.U16();
                in.ucKinds = r.U8();
                const uint8_t c = r.U8();
                const int32_t kind = in.ucKinds & 15;
                if (kind == 1 || kind == 3)
                    for (int32_t k = 0; k < 3 * c; k++)
                        in.commands.push_back(r.U32());
                img->instruments.push_back(std::move(in));
            }
            break;
        }
        case CHUNK_NO: {
            img->hasNO = true;
            img->notes.clear();
            if (count > SEQ_MAX_NOTES * 16u)
                return false;
            for (uint32_t i = 0; i < count && !r.bad; i++) {
                SONGNOTE n;
                n.uStart = g_bTaggedSongFile ? r.U32() : r.U16() * 14u;
                n.ucInstr = r.U8();
                n.ucPitch = r.U8();
                n.ucLength = r.U8();
                n.ucLevel = r.U8();
                n.ucS1 = r.U8();
                n.ucS2 = r.U8();
                n.ucS3 = r.U8();
                n.ucFlags = r.U8();
                n.ucS4 = r.U8();
                n.ucS5 = r.U8();
                n.uListA = r.U16();
                n.uListC = r.U16();
                n.uListB = r.U16();
                img->notes.push_back(n);
            }
            break;
        }
        case CHUNK_RI:
        case CHUNK_R2: {
            img->hasRI = true;
            img->fromR2 = type == CHUNK_R2;
            img->riffs.clear();
            if (count > SEQ_MAX_RIFFS * 16u)
                return false;
            const size_t head = type == CHUNK_R2 ? 23 : g_iSongFormatVersion < 8 ? 24 : 28;
            for (uint32_t i = 0; i < count && !r.bad; i++) {
                const uint8_t *h = r.Skip(head);
                if (!h)
                    return false;
                SONGRIFF rf{};
                const uint8_t coding = h[0];
                rf.ucBars = h[4];
                rf.ucTracks = h[5];
                if ((coding != 'C' && coding != 'F') || rf.ucBars < 1 || rf.ucBars > SEQ_MAX_BARS ||
                    rf.ucTracks < 1 || rf.ucTracks > SEQ_MAX_TRACKS)
                    return false;
                rf.uLink = 0xFFFF;
                if (type == CHUNK_RI) {
                    rf.ucColour = h[1];
                    rf.ucStart = h[2];
                    rf.ucEnd = h[3];
                    rf.ucType = h[6];
                    if (head == 28) {
                        rf.ucMode = h[7];
                        rf.uLink = Rd16(h + 8);
                    }
                    memcpy(rf.szName, h + (head == 28 ? 12 : 8), 16);
                    rf.szName[15] = 0;
                } else {
                    rf.ucStart = rf.ucEnd = 255;
                    rf.ucType = 255;
                }
                const int32_t steps = rf.ucBars * SEQ_STEPS_PER_BAR;
                rf.cells.assign((size_t)steps * rf.ucTracks, 0);
                for (int32_t t = 0; t < rf.ucTracks && !r.bad; t++) {
                    if (coding == 'F') {
                        for (int32_t s = 0; s < steps; s++)
                            rf.cells[(size_t)t * steps + s] = r.U16();
                        continue;
                    }
                    const uint8_t k = r.U8();
                    for (int32_t j = 0; j < k && !r.bad; j++) {
                        uint8_t s = r.U8();
                        uint16_t note = 0;
                        if (s & 0x80) {
                            s &= 0x7F;
                            note = r.U16();
                        } else {
                            note = r.U8();
                        }
                        if (s >= steps || note == 0)
                            return false;
                        rf.cells[(size_t)t * steps + s] = note;
                    }
                }
                img->riffs.push_back(std::move(rf));
            }
            break;
        }
        case CHUNK_SN: {
            img->hasSN = true;
            img->runs.clear();
            img->events.clear();
            const bool tagged = g_bTaggedSongFile != 0;
            const int32_t cols = Columns();
            auto next = [&](uint32_t &row, uint32_t &col, uint32_t &val, uint32_t &extra) {
                if (tagged) {
                    row = r.U16();
                    col = r.U16();
                    val = r.U16();
                    extra = r.U16();
                } else {
                    const uint32_t a = r.U16(), b = r.U16();
                    row = a & 0x7FF;
                    col = a >> 11;
                    val = b & 0x7FF;
                    extra = b >> 11;
                }
                return !r.bad;
            };
            for (uint32_t i = 0; i < count; i++) {
                uint32_t row, col, val, extra;
                if (!next(row, col, val, extra))
                    return false;
                if (col < (uint32_t)cols) {
                    if (row >= SEQ_GRID_ROWS || extra > 31)
                        return false;
                    img->runs.push_back({(uint16_t)row, (uint16_t)col, (uint16_t)val, (uint16_t)extra});
                    continue;
                }
                const int32_t k = (int32_t)col - cols;
                if (k > 3 || row >= SEQ_GRID_ROWS)
                    return false;
                SONGEVENT e{LIST_TEMPO + k, (int32_t)row, 1, (int32_t)val, 0, 0, 0, 0, 0, 0};
                if (k == 3) {
                    e.end = (int32_t)extra;
                    img->events.push_back(e);
                    continue;
                }
                uint32_t row2, col2, val2, extra2;
                if (++i >= count || !next(row2, col2, val2, extra2) || col2 != col || row2 != row)
                    return false;
                e.length = (int32_t)extra;
                e.end = (int32_t)val2;
                if (k == 2) {
                    e.type = (int32_t)extra2;
                    if (e.type == 7 || e.type == 8) {
                        uint32_t r3, c3, v3, x3, r4, c4, v4, x4;
                        if (i + 2 >= count || !next(r3, c3, v3, x3) || !next(r4, c4, v4, x4) || c3 != col ||
                            c4 != col)
                            return false;
                        i += 2;
                        e.aStart = (int32_t)(r3 & 0xFF);
                        e.aEnd = (int32_t)(v3 & 0xFF);
                        e.bStart = (int32_t)(tagged ? r4 >> 8 : r4) & 0xFF;
                        e.bEnd = (int32_t)(tagged ? v4 >> 8 : v4) & 0xFF;
                    }
                    if (e.type > 31)
                        return false;
                } else if (extra2 != extra) {
                    return false;
                }
                if (e.length < 1 || e.length > 31)
                    return false;
                if (k == 0 && (e.start < SEQ_TEMPO_MIN || e.start > SEQ_TEMPO_MAX || e.end < SEQ_TEMPO_MIN ||
                               e.end > SEQ_TEMPO_MAX))
                    return false;
                img->events.push_back(e);
            }
            break;
        }
        case CHUNK_VI: Seq_LocateVideoBlock(p, load, type); break;
        case CHUNK_SO: Seq_LocateSongBlock(p, load, type); break;
        default: break; // unknown and later chunk types are stepped over
        }
        if (r.bad)
            return false;
        if (type >= 0)
            Seq_LocateChunk(p, step, count, load, type);
        p += step;
    }
    // Cross references: every save number names a record of the image.
    for (const SONGINSTR &in : img->instruments) {
        const int32_t kind = in.ucKinds & 15;
        if (kind > 3 || (kind >= 2 && in.uRef >= img->samples.size()) ||
            (kind == 0 && in.uRef >= img->resources.size()))
            return false;
        uint32_t left = 0;
        for (size_t k = 0; k < in.commands.size(); k += 3) {
            if (left == 0) {
                const uint32_t type = in.commands[k + 2];
                left = (uint32_t)std::max(1, Seq_CommandEntryCount((int32_t)std::min<uint32_t>(type, 255)));
                if (type == 18 && in.commands[k] >= img->lists.size())
                    return false;
            }
            left--;
        }
        if (left)
            return false; // a command cut short
    }
    for (const SONGNOTE &n : img->notes) {
        if ((n.ucInstr != 0xFF && n.ucInstr >= img->instruments.size()) || n.uListA >= img->lists.size() ||
            n.uListB >= img->lists.size() || n.uListC >= img->lists.size() || n.ucLength == 0 || n.ucPitch >= 120)
            return false;
    }
    for (const SONGRIFF &rf : img->riffs) {
        if (rf.uLink != 0xFFFF && rf.uLink >= img->riffs.size())
            return false;
        for (uint16_t c : rf.cells)
            if (c > img->notes.size())
                return false;
        // Every note ends inside its riff, and no note starts under another.
        const int32_t steps = rf.ucBars * SEQ_STEPS_PER_BAR;
        for (int32_t t = 0; t < rf.ucTracks; t++) {
            int32_t freeFrom = 0;
            for (int32_t st = 0; st < steps; st++) {
                const uint16_t c = rf.cells[(size_t)t * steps + st];
                if (!c)
                    continue;
                const int32_t noteLength = img->notes[c - 1].ucLength;
                if (st < freeFrom || st + noteLength > steps)
                    return false;
                freeFrom = st + noteLength;
            }
        }
    }
    // The grid: runs inside the grid and never overlapping.
    std::vector<uint8_t> used((size_t)SEQ_GRID_ROWS * SEQ_GRID_COLUMNS, 0);
    for (const SONGRUN &run : img->runs) {
        if (run.riff >= img->riffs.size())
            return false;
        const SONGRIFF &rf = img->riffs[run.riff];
        const int32_t height = (run.copies + 1) * rf.ucBars;
        if (run.row + height > SEQ_LAST_PLACE_ROW + 1 || run.column + rf.ucTracks > Columns())
            return false;
        for (int32_t y = run.row; y < run.row + height; y++)
            for (int32_t x = run.column; x < run.column + rf.ucTracks; x++)
                if (used[(size_t)y * SEQ_GRID_COLUMNS + x]++)
                    return false;
        img->gridHeight = std::max(img->gridHeight, run.row + height);
    }
    for (const SONGEVENT &e : img->events)
        img->gridHeight = std::max(img->gridHeight, e.row + e.length);
    load->image = img;
    return true;
}

} // namespace

int32_t Seq_LocateChunks(const uint8_t *image, size_t length, uint32_t mask, int32_t target, CHUNKLOADCONTEXT *load)
{
    if (!image || !load)
        return SONGLOAD_NO_IMAGE;
    std::vector<uint32_t> keepBits[SONG_USAGE_SLOTS];
    load->iTarget = target;
    load->uMask = mask;
    memset(load->szAuthor, 0, sizeof(load->szAuthor));
    memset(load->abReserved, 0, sizeof(load->abReserved));
    load->pSongBlock = load->pVideoBlock = nullptr;
    load->image.reset();
    for (auto &rec : load->ctx.aChunk)
        rec = CHUNKRECORD{};
    const int32_t version = g_iSongFormatVersion;
    const bool ok = ParseImage(image, length, load);
    if (!ok) {
        g_iSongFormatVersion = version;
        load->image.reset();
        return SONGLOAD_UNREADABLE;
    }
    Seq_LocateExtraChunks(image, length, load);
    return SONGLOAD_OK;
}

int32_t Seq_LoadChunks(const uint8_t *image, size_t length, uint32_t mask, int32_t target, int32_t,
                       CHUNKLOADCONTEXT *load)
{
    const int32_t result = Seq_LocateChunks(image, length, mask, target, load);
    if (result != SONGLOAD_OK)
        return result; // the current song is left exactly as it was
    g_bLoadAborted = 0;
    g_bLoadMissingData = 0;
    // Undo steps recorded before the load would replay against a song that has moved on.
    Seq_FreeUndoLog();
    if (target == -1 && (mask == 0 || (mask & 0x84000)))
        Seq_NewSong();
    return SONGLOAD_OK;
}

namespace {

bool Selected(uint32_t mask, int32_t type)
{
    return mask == 0 || (mask >> (type - 1) & 1);
}

struct Added
{
    std::vector<int32_t> lists;       // references held until the notes have theirs
    std::vector<int32_t> noteRefs;    // note ids, one reference each
    std::vector<int32_t> slots;       // instrument slots taken
    std::vector<int32_t> samples;     // sample ids made
    std::vector<int32_t> riffs;       // riff ids made
    std::vector<std::pair<int32_t, int32_t>> placed;
};

void Seq_RollbackLoad(Added &a)
{
    for (auto it = a.placed.rbegin(); it != a.placed.rend(); ++it)
        Seq_RemoveRiffAt(it->first, it->second, 1);
    for (auto it = a.riffs.rbegin(); it != a.riffs.rend(); ++it)
        Seq_ReleaseRiff(*it, 3, 1);
    // Highest ids first: deleting a note lowers every later id.
    std::sort(a.noteRefs.begin(), a.noteRefs.end(), std::greater<int32_t>());
    for (int32_t id : a.noteRefs)
        if (id > 0)
            Seq_DeleteNote(id, 1, 0);
    for (int32_t l : a.lists)
        if (l >= 0)
            Seq_ReleaseParamList(l);
    for (int32_t s : a.slots) {
        Seq_ClearInstrumentSlot(s, 1);
        if (g_uInstrumentCount)
            g_uInstrumentCount--;
    }
    for (int32_t id : a.samples) {
        SAMPLESLOT *slot = nullptr;
        if (Snd_FindSampleById(&slot, (uint32_t)id) >= 0)
            Snd_FreeSample(slot);
        Seq_RemoveSampleRecord(id, 1);
    }
}

} // namespace

namespace {

// Where a saved library instrument is: its kind and three library keys. The reference's disc is
// found by name among the registered discs; only the disc in use can be read (no disc prompt
// ever waits), so any other gives -1 and the load goes on without it.
int32_t LibraryKeys(const SONGIMAGE &img, const SONGRESREF &res, int32_t keys[4])
{
    char name[20] = {};
    if (Seq_GetDiscName(res.uDisc, name, sizeof name) != 1) {
        bool found = false;
        for (size_t at = 0; at + SONG_DISC_RECORD <= img.discNames.size() && !found; at += SONG_DISC_RECORD)
            if ((uint8_t)img.discNames[at] == (res.uDisc & 0xFF)) {
                memcpy(name, &img.discNames[at + 1], 19);
                found = true;
            }
        if (!found)
            return -1;
    }
    DISKNAMES *disc = nullptr;
    for (DISKNAMES *d : RegisteredDiscs())
        if (strncmp(d->szName, name, 18) == 0) {
            disc = d;
            break;
        }
    const RESKINDROW *row = Vid_GetKindRow(RES_INSTRUMENT);
    if (!disc || disc != g_pCurrentDisc || !row || row->depth != 1 || res.pRef[0] != (uint8_t)row->letters[0])
        return -1;
    char entry[8];
    memcpy(entry, res.pRef + RESREF_LETTERS, 8);
    uint16_t index[4] = {};
    if (!res.pRef[1] || !res.pRef[2] || !res.pRef[3] ||
        Vid_LoadResByName(RES_INSTRUMENT, res.pRef + 1, entry, index, nullptr) != 0 || index[0] > 2)
        return -1;
    keys[0] = index[0] + 1;
    keys[1] = index[1] + 1;
    keys[2] = index[2] + 1;
    keys[3] = index[3];
    return 0;
}

} // namespace

int32_t Seq_FinishLoad(uint32_t mask, CHUNKLOADCONTEXT *load)
{
    if (!load || !load->image) {
        g_iSongFormatVersion = SONG_FORMAT_VERSION;
        return SONGLOAD_ABANDONED;
    }
    SONGIMAGE &img = *load->image;
    CHUNKCONTEXT &ctx = load->ctx;
    const bool whole = load->iTarget == -1;
    Added added;

    // The older whole-song block has no layout this program knows: it is not merged, and the
    // load says that something could not be loaded.
    if (load->pSongBlock && (mask & SONGPART_OLD_SONG))
        g_bLoadMissingData = 1;

    // Pass 1: the chosen jam records and clips spread to what they use, then the selection
    // spreads from the chosen riffs (all when RI has no bitmap).
    Seq_SelectExtraChunks(load);
    std::vector<uint32_t> *riffBits = Seq_GetUsageBitmap(&ctx, CHUNK_RI);
    const bool takeRiffs = Selected(mask, CHUNK_RI) || Selected(mask, CHUNK_SN);
    std::vector<bool> riffTaken(img.riffs.size()), noteTaken(img.notes.size() + 1), listTaken(img.lists.size()),
        instrTaken(img.instruments.size());
    for (size_t i = 0; i < img.riffs.size(); i++) {
        riffTaken[i] = takeRiffs && Seq_TestBit(riffBits, (uint32_t)i);
        if (riffTaken[i])
            for (uint16_t c : img.riffs[i].cells)
                if (c)
                    noteTaken[c] = true;
    }
    for (size_t i = 1; i <= img.notes.size(); i++)
        if (noteTaken[i]) {
            const SONGNOTE &n = img.notes[i - 1];
            if (n.ucInstr != 0xFF)
                instrTaken[n.ucInstr] = true;
            listTaken[n.uListA] = listTaken[n.uListB] = listTaken[n.uListC] = true;
        }
    // Instruments: all of them unless the caller gave IN a bitmap, then those the notes use.
    std::vector<uint32_t> *instrBits = Seq_GetUsageBitmap(&ctx, CHUNK_IN);
    std::vector<bool> sampleTaken(img.samples.size());
    for (size_t i = 0; i < img.instruments.size(); i++) {
        if (!instrBits && takeRiffs)
            instrTaken[i] = true;
        if (!instrTaken[i])
            continue;
        const SONGINSTR &in = img.instruments[i];
        if ((in.ucKinds & 15) >= 2)
            sampleTaken[in.uRef] = true;
        uint32_t left = 0;
        for (size_t k = 0; k < in.commands.size(); k += 3) {
            if (left == 0) {
                left = (uint32_t)std::max(1, Seq_CommandEntryCount((int32_t)std::min<uint32_t>(in.commands[k + 2], 255)));
                if (in.commands[k + 2] == 18)
                    listTaken[in.commands[k]] = true;
            }
            left--;
        }
    }
    // A selected riff set is only valid with the song grid when every riff the grid names is in it.
    const bool withGrid = img.hasSN && Selected(mask, CHUNK_SN) && !riffBits;
    if (img.hasSN && Selected(mask, CHUNK_SN) && whole) {
        // The effect list starts from a plain row-0 entry; the image's own row-0 entry follows.
        Seq_SetTrackEntry(0, 1, 0, 0, 0, 0, 0, 0, 0, LIST_EFFECT);
    }
    // The insert row: a loaded grid goes below it, or is refused whole when it would not fit.
    int32_t insertRow = 0;
    if (withGrid && !whole && g_iSongInsertRow >= 0) {
        if (Seq_CountUsedRows() + img.gridHeight > SEQ_LAST_PLACE_ROW + 1) {
            g_bLoadAborted = 1;
        } else {
            insertRow = g_iSongInsertRow;
            // A riff that straddles the insert row is not cut: the insert is refused instead.
            for (int32_t c = 0; c < SEQ_GRID_COLUMNS && insertRow > 0; c++)
                if (Seq_CellBar(g_aSongGrid[insertRow][c]))
                    g_bLoadAborted = 1;
        }
    }

    // Pass 2: lists, instruments, notes, riffs, then the grid.
    std::vector<int32_t> listId(img.lists.size(), -1), slotId(img.instruments.size(), 0),
        noteId(img.notes.size() + 1, 0), riffId(img.riffs.size(), 0);
    for (size_t i = 0; i < img.lists.size() && !g_bLoadAborted; i++) {
        if (!listTaken[i])
            continue;
        const SONGLIST &l = img.lists[i];
        listId[i] = Seq_AddParamList((int32_t)l.values.size(), l.values.data(), l.a, l.b);
        if (listId[i] < 0)
            g_bLoadAborted = 1;
        else
            added.lists.push_back(listId[i]);
    }
    std::vector<int32_t> sampleId(img.samples.size(), 0);
    for (size_t i = 0; i < img.samples.size() && !g_bLoadAborted; i++) {
        if (!sampleTaken[i])
            continue;
        const SONGSAMPLE &sp = img.samples[i];
        const int32_t id = Seq_NewSampleId();
        SAMPLESLOT *slot = nullptr;
        if (id == 0 || g_uSampleCount >= SEQ_MAX_SAMPLES ||
            Snd_LoadSample(&slot, sp.szName, sp.pData, 2 * sp.uFrames, SAMPLE_FORMAT_RAW_MEMORY) != 0) {
            g_bLoadAborted = 1;
            break;
        }
        const int32_t record = Seq_AddSampleRecord(2 * sp.uFrames);
        if (record < 0) {
            Snd_FreeSample(slot);
            g_bLoadAborted = 1;
            break;
        }
        SAMPLEENTRY &e = g_aSamples[record];
        e.uLength = slot->uFrames;
        e.iSampleId = (int16_t)id;
        memcpy(e.szName, sp.szName, 20);
        Snd_ResetSamplePointers(slot);
        slot->uRate = 44100;
        {
            std::lock_guard<std::recursive_mutex> lock(g_csMix);
            slot->uSampleId = (uint32_t)id;
        }
        if (sp.uLoop != 0xFFFFFFFFu)
            Snd_SetSampleLoop(slot, sp.uLoop, 1);
        sampleId[i] = id;
        added.samples.push_back(id);
    }
    for (size_t i = 0; i < img.instruments.size() && !g_bLoadAborted; i++) {
        if (!instrTaken[i])
            continue;
        const SONGINSTR &in = img.instruments[i];
        if ((in.ucKinds & 15) == 0) {
            // A library instrument: one already in the song is used again, never loaded twice.
            int32_t keys[4] = {};
            int32_t lib = 0;
            if (LibraryKeys(img, img.resources[in.uRef], keys) == 0) {
                lib = Seq_FindLibraryInstrument(keys[0], keys[1], keys[2], keys[3]);
                if (!lib) {
                    lib = Seq_AllocInstrumentSlot();
                    if (lib <= 0 || lib >= SEQ_INSTRUMENT_SLOTS) {
                        g_bLoadAborted = 1;
                        break;
                    }
                    if (Seq_LoadInstrument(lib, keys[1], keys[2], keys[3], keys[0], 0, 1, 1) == 10)
                        lib = 0; // the slot is empty again
                    else
                        added.slots.push_back(lib);
                }
            }
            if (lib) {
                slotId[i] = lib;
                continue;
            }
            // Not found: the instrument comes out without its sample, and the load says so.
            g_bLoadMissingData = 1;
        }
        const int32_t slot = Seq_AllocInstrumentSlot();
        if (slot <= 0 || slot >= SEQ_INSTRUMENT_SLOTS) {
            g_bLoadAborted = 1;
            break;
        }
        added.slots.push_back(slot);
        g_uInstrumentCount++;
        INSTRUMENTSLOT &s = g_aInstrumentSlots[slot];
        s.uMark = 0;
        s.ucReserved = 255;
        if ((in.ucKinds & 15) >= 1)
            s.ucKind = (uint8_t)(in.ucKinds >> 4);
        if ((in.ucKinds & 15) >= 2) {
            s.ucKey1 = 255;
            s.uKey2 = s.uKey3 = 0xFFFF;
            s.iSampleId = (int16_t)sampleId[in.uRef];
            s.cSampleState = in.commands.empty() ? SAMPLE_STATE_OWN : SAMPLE_STATE_OWN | SAMPLE_STATE_EDITED;
            const int32_t record = SampleIndexOfId(s.iSampleId);
            s.pszName = record >= 0 ? g_aSamples[record].szName : nullptr;
        } else {
            s.ucKey1 = 0xFE;
            s.uKey2 = s.uKey3 = 0xFFFE;
        }
        uint32_t left = 0;
        for (size_t k = 0; k < in.commands.size(); k += 3) {
            uint32_t p0 = in.commands[k];
            if (left == 0) {
                left = (uint32_t)std::max(1, Seq_CommandEntryCount((int32_t)std::min<uint32_t>(in.commands[k + 2], 255)));
                if (in.commands[k + 2] == 18) {
                    p0 = (uint32_t)listId[p0];
                    Seq_AddParamListRef((int32_t)p0);
                }
            }
            left--;
            if (Seq_AddInstrumentCommand(slot, in.commands[k + 2], p0, in.commands[k + 1]) < 0) {
                g_bLoadAborted = 1;
                break;
            }
        }
        // A sample the chain makes (kind 1) is made by replaying the chain once the load is done.
        if ((in.ucKinds & 15) == 1 && s.pCommands)
            s.cSampleState = (int8_t)-SAMPLE_STATE_EDITED;
        slotId[i] = slot;
    }
    for (size_t i = 1; i <= img.notes.size() && !g_bLoadAborted; i++) {
        if (!noteTaken[i])
            continue;
        const SONGNOTE &n = img.notes[i - 1];
        const int32_t a = listId[n.uListA], b = listId[n.uListB], c = listId[n.uListC];
        Seq_AddParamListRef(a);
        Seq_AddParamListRef(b);
        Seq_AddParamListRef(c);
        const uint16_t before = g_uNoteCount;
        const int32_t id = Seq_FindOrAddNote((uint16_t)(n.ucInstr == 0xFF ? SEQ_NO_INSTRUMENT : slotId[n.ucInstr]), n.ucPitch / 12, n.ucPitch % 12, n.ucLength,
                                             n.ucLevel, n.ucFlags, n.ucS1, n.ucS2, n.ucS3, n.uStart, a, b, c, n.ucS4,
                                             n.ucS5, 0, 1);
        if (!(id > 0 && g_uNoteCount == before + 1)) {
            Seq_ReleaseParamList(a);
            Seq_ReleaseParamList(b);
            Seq_ReleaseParamList(c);
        }
        if (id <= 0) {
            g_bLoadAborted = 1;
            break;
        }
        // Ids stay put while the load holds a reference on each note it made or found.
        noteId[i] = id;
        added.noteRefs.push_back(id);
    }
    for (size_t i = 0; i < img.riffs.size() && !g_bLoadAborted; i++) {
        if (!riffTaken[i])
            continue;
        const SONGRIFF &rf = img.riffs[i];
        const int32_t id = Seq_NewRiff(rf.ucBars, rf.ucTracks);
        if (id <= 0) {
            g_bLoadAborted = 1;
            break;
        }
        riffId[i] = id;
        added.riffs.push_back(id);
        std::lock_guard<std::recursive_mutex> lock(g_csMix);
        RIFFENTRY *r = Seq_GetRiff(id);
        r->ucColour = rf.ucColour;
        r->ucStartLevel = rf.ucStart;
        r->ucEndLevel = rf.ucEnd;
        r->ucType = rf.ucType;
        r->uKey = (uint16_t)((rf.ucMode & 0x3F) | (rf.ucMode >> 6) << 14);
        memcpy(r->szName, rf.szName, 16);
        const int32_t steps = rf.ucBars * SEQ_STEPS_PER_BAR;
        for (int32_t t = 0; t < rf.ucTracks; t++)
            for (int32_t s = 0; s < steps; s++) {
                const uint16_t save = rf.cells[(size_t)t * steps + s];
                if (!save)
                    continue;
                const int32_t note = noteId[save];
                r->puNotes[t * steps + s] = (uint16_t)note;
                Seq_AddNoteRef(note);
                if (Seq_GetNote(note)->ucFlags & NOTE_FLAG_JOINED)
                    r->uFlags |= (uint16_t)(1u << t);
            }
    }
    if (!g_bLoadAborted) {
        // Links: rebuild each ring in save order.
        for (size_t i = 0; i < img.riffs.size(); i++) {
            const uint16_t link = img.riffs[i].uLink;
            if (!riffId[i] || link == 0xFFFF || link == i || !riffId[link])
                continue;
            const int32_t a = riffId[i], b = riffId[link];
            bool inRing = false;
            int32_t at = a;
            for (int32_t guard = 0; guard < SEQ_MAX_RIFFS; guard++) {
                at = Seq_GetRiff(at)->uLink;
                if (at == a)
                    break;
                if (at == b) {
                    inRing = true;
                    break;
                }
            }
            if (!inRing)
                Seq_LinkRiffAfter(a, b);
        }
    }
    if (withGrid && !g_bLoadAborted) {
        if (!whole && g_iSongInsertRow >= 0 && img.gridHeight > 0) {
            // Move everything from the insert row down by the loaded height.
            struct Moved
            {
                int32_t riff, row, column;
            };
            std::vector<Moved> moved;
            for (int32_t row = SEQ_GRID_ROWS - 1; row >= insertRow; row--)
                for (int32_t c = 0; c < SEQ_GRID_COLUMNS; c++) {
                    const uint16_t cell = g_aSongGrid[row][c];
                    if (cell && !(cell & 0xF000)) {
                        moved.push_back({cell & SEQ_CELL_ID_MASK, row, c});
                    }
                }
            for (const Moved &m : moved) {
                Seq_GetRiff(m.riff)->iUseCount++;
                Seq_RemoveRiffAt(m.row, m.column, 1);
            }
            for (const Moved &m : moved) {
                Seq_PlaceRiff(m.riff, m.row + img.gridHeight, m.column, 0, 1);
                Seq_GetRiff(m.riff)->iUseCount--;
            }
            Seq_ShiftTrackEntries(insertRow, img.gridHeight);
        }
        for (const SONGRUN &run : img.runs) {
            const int32_t id = riffId[run.riff];
            if (!id)
                continue;
            const int32_t bars = Seq_GetRiff(id)->ucBars;
            for (int32_t k = 0; k <= run.copies; k++) {
                const int32_t row = insertRow + run.row + k * bars;
                const int16_t before = Seq_GetRiff(id)->iUseCount;
                Seq_PlaceRiff(id, row, run.column, 0, 1);
                if (Seq_GetRiff(id)->iUseCount == before) {
                    g_bLoadAborted = 1;
                    break;
                }
                added.placed.push_back({row, run.column});
            }
            if (g_bLoadAborted)
                break;
        }
        for (const SONGEVENT &e : img.events) {
            if (g_bLoadAborted)
                break;
            if (Seq_SetTrackEntry(insertRow + e.row, e.length, e.start, e.end, e.type, e.aStart, e.aEnd, e.bStart,
                                  e.bEnd, e.kind) < 0)
                g_bLoadAborted = 1;
        }
    }
    int32_t result = 0;
    if (g_bLoadAborted) {
        Seq_RollbackLoad(added);
        if (whole)
            Seq_NewSong();
        result |= SONGLOAD_ABANDONED;
        g_bLoadAborted = 0;
    } else {
        // The load's own references go; the grid and riffs hold theirs.
        std::sort(added.noteRefs.begin(), added.noteRefs.end(), std::greater<int32_t>());
        for (int32_t id : added.noteRefs)
            Seq_ReleaseNoteRef(id);
        for (int32_t l : added.lists)
            Seq_ReleaseParamList(l);
        result |= Seq_FinishJamLoad(mask, load, riffId, slotId);
        result |= Seq_FinishVideoLoad(mask, load);
        Seq_UpdateSongSizes();
        for (int32_t slot : added.slots)
            if (g_aInstrumentSlots[slot].cSampleState < 0) {
                Seq_ReapplySampleEdits();
                break;
            }
    }
    load->extras.reset();
    if (g_bLoadMissingData)
        result |= SONGLOAD_MISSING;
    g_iSongFormatVersion = SONG_FORMAT_VERSION;
    load->image.reset();
    return result;
}

int32_t Seq_LoadSongImage(const uint8_t *image, size_t length)
{
    CHUNKLOADCONTEXT load;
    const int32_t r = Seq_LoadChunks(image, length, 0, -1, 0, &load);
    if (r != SONGLOAD_OK)
        return r;
    const int32_t f = Seq_FinishLoad(0, &load);
    return f ? 0x100 | f : 0;
}

int32_t Seq_ListFileRiffs(const uint8_t *image, size_t length, std::vector<FILERIFF> *out)
{
    CHUNKLOADCONTEXT load;
    const int32_t version = g_iSongFormatVersion;
    const int32_t r = Seq_LocateChunks(image, length, 0, -1, &load);
    g_iSongFormatVersion = version;
    if (r != SONGLOAD_OK || !load.image)
        return 0;
    if (out) {
        out->clear();
        for (const SONGRIFF &rf : load.image->riffs) {
            FILERIFF f{};
            memcpy(f.szName, rf.szName, 16);
            f.ucType = rf.ucType;
            out->push_back(f);
        }
    }
    return (int32_t)load.image->riffs.size();
}

int32_t Seq_DescribeImage(const uint8_t *image, size_t size, std::string *out)
{
    char line[160];
    if (!image || size < 12 || (Seq_ChunkTypeOfTag(image) != CHUNK_H2 && Seq_ChunkTypeOfTag(image) != CHUNK_HE)) {
        *out += "not a song image\n";
        return -1;
    }
    const uint32_t total = Rd32(image + 8);
    snprintf(line, sizeof line, "image: %zu bytes, total %u, version %u, layout %s\n", size, total,
             Seq_ChunkTypeOfTag(image) == CHUNK_H2 ? image[4] : Rd32(image + 4),
             g_bTaggedSongFile ? "tagged" : "untagged");
    *out += line;
    const uint8_t *p = image;
    const uint8_t *end = image + std::min<size_t>(total, size); // the header's total bounds the walk
    while (p < end) {
        const int32_t type = end - p >= 4 ? Seq_ChunkTypeOfTag(p) : -1;
        const uint32_t step = end - p >= 4 ? Seq_ChunkStep(p, (size_t)(end - p), type < 0 ? CHUNK_00 : type) : 0;
        auto shown = [](uint8_t c) { return c >= 32 && c < 127 ? (char)c : '?'; };
        if (!step) {
            snprintf(line, sizeof line, "  %c%c at %zu: does not fit in the image\n", shown(p[0]),
                     end - p > 1 ? shown(p[1]) : '?', (size_t)(p - image));
            *out += line;
            return -1;
        }
        uint32_t words = 0, count = 0;
        if (type < 0 || IsStandardHeader(type))
            HeaderWords(p, type < 0 ? CHUNK_00 : type, &words, &count);
        snprintf(line, sizeof line, "  %c%c %8u bytes  %u items%s\n", shown(p[0]), shown(p[1]), step, count,
                 type < 0 ? "  (unknown, stepped over)" : "");
        *out += line;
        p += step;
    }
    return 0;
}

int32_t Seq_ReadSaveSummary(const uint8_t *image, size_t size, uint32_t *pParts, char author[32])
{
    size = std::min<size_t>(size, 128);
    if (!image || size < 12)
        return -1;
    const int32_t first = Seq_ChunkTypeOfTag(image);
    uint32_t parts = 0;
    if (first == CHUNK_H2) {
        parts = Rd32(image + 4) >> 8;
    } else if (first == CHUNK_HE) {
        const uint16_t flags = Rd16(image + 6);
        parts = (flags & 1 ? 0x100000u | 0x20000u : 0) | (flags & 2 ? 0x80000u | 0x4000u : 0);
    } else {
        return -1;
    }
    if (author)
        memset(author, 0, 32);
    for (size_t at = 12; at + 4 <= size;) {
        const int32_t type = Seq_ChunkTypeOfTag(image + at);
        const uint32_t step = Seq_ChunkStep(image + at, size - at, type < 0 ? CHUNK_00 : type);
        if (type == CHUNK_AU && step && author)
            memcpy(author, image + at + 4, 32);
        if (!step)
            break;
        at += step;
    }
    if (pParts)
        *pParts = parts;
    return 0;
}

// ---- Files ----

int32_t Seq_LocateSongImage(const uint8_t *file, size_t size, int32_t *pTagged)
{
    if (!file)
        return -1;
    if (size >= 12 && Seq_ChunkTypeOfTag(file) == CHUNK_H2) {
        if (pTagged)
            *pTagged = 1;
        return 0;
    }
    const int32_t at = Sys_LocateSaveData(file, size);
    if (at < 0)
        return -1;
    if (pTagged)
        *pTagged = size >= 4 && memcmp(file, "TVPC", 4) == 0;
    return at;
}

int32_t Seq_WriteSongFile(const char *path, const std::vector<uint8_t> &image)
{
    if (!path || image.empty())
        return -1;
    const std::string tmp = std::string(path) + ".part";
    const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return -1;
    size_t done = 0;
    while (done < image.size()) {
        const ssize_t n = write(fd, image.data() + done, image.size() - done);
        if (n <= 0) {
            close(fd);
            unlink(tmp.c_str());
            return -1;
        }
        done += (size_t)n;
    }
    if (fsync(fd) != 0 || close(fd) != 0 || rename(tmp.c_str(), path) != 0) {
        unlink(tmp.c_str());
        return -1;
    }
    return 0;
}
