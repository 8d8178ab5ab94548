// The jam chunks of a song image (JT jam records, JC selection, JS jam sequence) and the jam
// template files, which are song images of one jam record with the music it plays.
#include "sequencer/songfile.h"
#include "sequencer/songfile_extras.h"

#include "core/browser.h"
#include "core/disc.h"
#include "core/archive.h"
#include "jam/jamrecords.h"
#include "sequencer/samples.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "video/lanes.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

uint16_t Rd16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }
void Wr16(uint8_t *p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

bool WithCompanions(const CHUNKCONTEXT *ctx) { return ctx->aChunk[CHUNK_JS].uCount != 0; }

bool RecordTaken(const CHUNKCONTEXT *ctx, int32_t n)
{
    const std::vector<uint32_t> *bits = Seq_GetUsageBitmap(const_cast<CHUNKCONTEXT *>(ctx), CHUNK_JT);
    return g_JamSetups[n].ucState != 0 && Seq_TestBit(bits, (uint32_t)n);
}

// Rows of a record (or companion) that name song items, turned to save numbers or back.
// fnRiff / fnSlot return the new value, or -1 when the item is not there (the row is emptied).
template <typename R, typename S>
void TranslateRows(uint8_t *rec, int32_t instrAt, int32_t instrRows, int32_t riffAt, int32_t riffRows, R fnRiff,
                   S fnSlot)
{
    for (int32_t i = 0; i < instrRows; i++) {
        uint8_t *row = rec + instrAt + i * JAM_ROW_BYTES;
        if (row[0] != JAM_ROW_SONG)
            continue;
        const int32_t v = fnSlot((int16_t)Rd16(row + 2));
        if (v < 0)
            row[0] = JAM_ROW_EMPTY;
        else
            Wr16(row + 2, (uint32_t)v);
    }
    for (int32_t i = 0; i < riffRows; i++) {
        uint8_t *row = rec + riffAt + i * JAM_ROW_BYTES;
        if (row[6] != JAM_ROW_SONG)
            continue;
        const int32_t v = fnRiff((int16_t)Rd16(row));
        if (v < 0)
            row[6] = JAM_ROW_EMPTY;
        else
            Wr16(row, (uint32_t)v);
    }
}

template <typename R, typename S> void TranslateRecord(uint8_t *rec, R fnRiff, S fnSlot)
{
    TranslateRows(rec, JAM_RECORD_INSTRUMENT_AT, JAM_RECORD_INSTRUMENTS, JAM_RECORD_RIFF_AT, JAM_RECORD_RIFFS,
                  fnRiff, fnSlot);
}
template <typename R, typename S> void TranslateCompanion(uint8_t *rec, R fnRiff, S fnSlot)
{
    TranslateRows(rec, JAM_COMPANION_INSTRUMENT_AT, JAM_COMPANION_INSTRUMENTS, JAM_COMPANION_RIFF_AT,
                  JAM_COMPANION_RIFFS, fnRiff, fnSlot);
}

} // namespace

// ---- Saving ----

void Seq_PrepareJamChunks(uint32_t parts, CHUNKCONTEXT *ctx)
{
    for (int32_t t : {CHUNK_JT, CHUNK_JC, CHUNK_JS})
        ctx->aChunk[t].uSize = ctx->aChunk[t].uCount = 0;
    if (!(parts & SONGPART_JAMS))
        return;
    if (g_uJamSequenceLength && g_uJamSequenceLength <= JAM_SEQUENCE_BYTES) {
        ctx->aChunk[CHUNK_JS].uCount = 1;
        ctx->aChunk[CHUNK_JS].uSize = (g_uJamSequenceLength + 3) & ~3u;
    }
    uint32_t records = 0;
    for (int32_t n = 0; n < JAM_RECORDS; n++)
        if (RecordTaken(ctx, n))
            records++;
    if (records) {
        const uint32_t items = records * (WithCompanions(ctx) ? 2 : 1);
        ctx->aChunk[CHUNK_JT].uCount = items;
        ctx->aChunk[CHUNK_JT].uSize = items * JAM_RECORD_SIZE;
    }
    if (g_bJamSelectionActive) {
        ctx->aChunk[CHUNK_JC].uCount = 1;
        ctx->aChunk[CHUNK_JC].uSize = 4;
    }
}

namespace {

void JamHeader(CHUNKCONTEXT *ctx, int32_t t, std::vector<uint8_t> *img)
{
    const uint32_t words = (ctx->aChunk[t].uSize + 11) >> 2;
    img->push_back((uint8_t)g_aChunkTypes[t].tag[0]);
    img->push_back((uint8_t)g_aChunkTypes[t].tag[1]);
    img->push_back((uint8_t)words);
    img->push_back((uint8_t)(words >> 8));
    const uint32_t count = ctx->aChunk[t].uCount;
    for (int32_t i = 0; i < 4; i++)
        img->push_back((uint8_t)(count >> (8 * i)));
}

} // namespace

bool Seq_WriteJamChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_JT].uCount)
        return true;
    auto riffSave = [&](int32_t id) -> int32_t {
        if (id < 1 || id >= (int32_t)ctx->riffSave.size() || !Seq_GetRiff(id) ||
            !Seq_TestBit(Seq_GetUsageBitmap(ctx, CHUNK_RI), (uint32_t)id))
            return -1;
        return ctx->riffSave[id];
    };
    auto slotSave = [&](int32_t slot) -> int32_t {
        if (slot < 1 || slot >= (int32_t)ctx->slotSave.size() || ctx->slotSave[slot] == 0xFFFF)
            return -1;
        return ctx->slotSave[slot];
    };
    JamHeader(ctx, CHUNK_JT, img);
    const size_t start = img->size();
    uint16_t number = 0;
    for (int32_t n = 0; n < JAM_RECORDS; n++) {
        if (!RecordTaken(ctx, n))
            continue;
        uint8_t rec[JAM_RECORD_SIZE];
        memcpy(rec, g_aabJamRecords[n], sizeof(rec));
        rec[0] = g_JamSetups[n].ucState;
        Wr16(rec + 2, number++);
        TranslateRecord(rec, riffSave, slotSave);
        img->insert(img->end(), rec, rec + sizeof(rec));
        if (WithCompanions(ctx)) {
            uint8_t comp[JAM_RECORD_SIZE] = {};
            memcpy(comp, Jam_CompanionRecord(n), JAM_COMPANION_SIZE);
            TranslateCompanion(comp, riffSave, slotSave);
            img->insert(img->end(), comp, comp + sizeof(comp));
        }
    }
    return img->size() - start == ctx->aChunk[CHUNK_JT].uSize;
}

bool Seq_WriteJamSelectChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_JC].uCount)
        return true;
    JamHeader(ctx, CHUNK_JC, img);
    uint8_t number = 0;
    for (int32_t n = 0; n < JAM_RECORDS; n++)
        img->push_back(RecordTaken(ctx, n) ? ++number : 0);
    return true;
}

bool Seq_WriteJamSequenceChunk(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    if (!ctx->aChunk[CHUNK_JS].uCount)
        return true;
    JamHeader(ctx, CHUNK_JS, img);
    img->insert(img->end(), g_abJamSequence, g_abJamSequence + g_uJamSequenceLength);
    while (img->size() & 3)
        img->push_back(0);
    return true;
}

bool Seq_WriteJamChunks(CHUNKCONTEXT *ctx, std::vector<uint8_t> *img)
{
    bool ok = Seq_WriteJamChunk(ctx, img);
    ok &= Seq_WriteJamSelectChunk(ctx, img);
    ok &= Seq_WriteJamSequenceChunk(ctx, img);
    return ok;
}

// ---- Loading ----



void Seq_LocateJamChunks(CHUNKLOADCONTEXT *load)
{
    SONGJAMS *jams = Seq_ExtraJams(load);
    CHUNKCONTEXT &ctx = load->ctx;
    if (const uint8_t *p = ctx.aChunk[CHUNK_JT].pChunk) {
        const uint32_t step = ctx.aChunk[CHUNK_JT].uSize, count = ctx.aChunk[CHUNK_JT].uCount;
        // Each record is followed by its companion when the jam sequence was saved with it (the
        // writer's rule), so the items come in pairs exactly when the image holds JS.
        const bool pairs = ctx.aChunk[CHUNK_JS].pChunk != nullptr;
        if (count > (pairs ? 2u : 1u) * JAM_RECORDS || (uint64_t)count * JAM_RECORD_SIZE > step - 8u ||
            (pairs && (count & 1))) {
            jams->broken = true;
        } else {
            for (uint32_t i = 0; i < count; i++) {
                std::vector<uint8_t> rec(p + 8 + (size_t)i * JAM_RECORD_SIZE, p + 8 + (size_t)(i + 1) * JAM_RECORD_SIZE);
                if (pairs && (i & 1))
                    jams->companions.push_back(std::move(rec));
                else
                    jams->records.push_back(std::move(rec));
            }
        }
    }
    jams->hasJC = ctx.aChunk[CHUNK_JC].pChunk && ctx.aChunk[CHUNK_JC].uCount;
    if (const uint8_t *p = ctx.aChunk[CHUNK_JS].pChunk) {
        const uint32_t bytes = ctx.aChunk[CHUNK_JS].uSize - 8u;
        if (bytes > JAM_SEQUENCE_BYTES)
            jams->broken = true;
        else {
            jams->pSequence = p + 8;
            jams->uSequenceBytes = bytes;
        }
    }
}

// ---- Pass 1: a selective load spreads its choice of jam records to their riffs and instruments ----

void Seq_SelectJamSelectChunk(CHUNKLOADCONTEXT *load)
{
    CHUNKCONTEXT &ctx = load->ctx;
    const CHUNKRECORD &jc = ctx.aChunk[CHUNK_JC];
    std::vector<uint32_t> *bits = Seq_GetUsageBitmap(&ctx, CHUNK_JT);
    const bool chosen = load->uMask == 0 || (load->uMask >> (CHUNK_JC - 1) & 1);
    if (!chosen || !jc.pChunk || jc.uSize < 8 + JAM_RECORDS || !jc.uCount || !bits)
        return;
    for (int32_t i = 0; i < JAM_RECORDS; i++)
        if (const uint8_t b = jc.pChunk[8 + i]; b && b <= JAM_RECORDS)
            Seq_MarkBit(bits, b - 1u);
}

void Seq_SelectJamChunk(CHUNKLOADCONTEXT *load)
{
    SONGJAMS *jams = Seq_ExtraJams(load);
    CHUNKCONTEXT &ctx = load->ctx;
    std::vector<uint32_t> *bits = Seq_GetUsageBitmap(&ctx, CHUNK_JT);
    if (!jams || !bits)
        return;
    std::vector<uint32_t> *riffs = Seq_GetUsageBitmap(&ctx, CHUNK_RI);
    std::vector<uint32_t> *slots = Seq_GetUsageBitmap(&ctx, CHUNK_IN);
    auto markRiff = [&](int32_t save) {
        if (save >= 0)
            Seq_MarkBit(riffs, (uint32_t)save);
        return save;
    };
    auto markSlot = [&](int32_t save) {
        if (save >= 0)
            Seq_MarkBit(slots, (uint32_t)save);
        return save;
    };
    for (size_t i = 0; i < jams->records.size(); i++) {
        if (!Seq_TestBit(bits, (uint32_t)i))
            continue;
        std::vector<uint8_t> rec = jams->records[i];
        TranslateRecord(rec.data(), markRiff, markSlot);
        if (i < jams->companions.size()) {
            std::vector<uint8_t> comp = jams->companions[i];
            TranslateCompanion(comp.data(), markRiff, markSlot);
        }
    }
}

// ---- Pass 2 ----

int32_t Seq_LoadJamChunk(CHUNKLOADCONTEXT *load, const std::vector<int32_t> &riffId, const std::vector<int32_t> &slotId)
{
    SONGJAMS *jams = Seq_ExtraJams(load);
    if (!jams)
        return 0;
    int32_t result = 0;
    auto newRiff = [&](int32_t save) -> int32_t {
        if (save < 0 || save >= (int32_t)riffId.size() || !riffId[save]) {
            result |= SONGLOAD_MISSING;
            return -1;
        }
        return riffId[save];
    };
    auto newSlot = [&](int32_t save) -> int32_t {
        if (save < 0 || save >= (int32_t)slotId.size() || !slotId[save]) {
            result |= SONGLOAD_MISSING;
            return -1;
        }
        return slotId[save];
    };
    const std::vector<uint32_t> *bits = Seq_GetUsageBitmap(&load->ctx, CHUNK_JT);
    for (size_t i = 0; i < jams->records.size(); i++) {
        if (!Seq_TestBit(bits, (uint32_t)i))
            continue;
        int32_t target = -1;
        for (int32_t n = 0; n < JAM_RECORDS && target < 0; n++)
            if (g_JamSetups[n].ucState == 3)
                target = n;
        if (target < 0)
            target = (int32_t)i;
        if (target >= JAM_RECORDS)
            break;
        uint8_t *rec = g_aabJamRecords[target];
        memcpy(rec, jams->records[i].data(), JAM_RECORD_SIZE);
        TranslateRecord(rec, newRiff, newSlot);
        g_JamSetups[target].ucState = rec[0] ? rec[0] : 2;
        if (i < jams->companions.size()) {
            uint8_t comp[JAM_RECORD_SIZE];
            memcpy(comp, jams->companions[i].data(), JAM_RECORD_SIZE);
            TranslateCompanion(comp, newRiff, newSlot);
            memcpy(Jam_CompanionRecord(target), comp, JAM_COMPANION_SIZE);
        }
    }
    return result;
}

void Seq_LoadJamSelectChunk(CHUNKLOADCONTEXT *load)
{
    if (SONGJAMS *jams = Seq_ExtraJams(load); jams && jams->hasJC)
        g_bJamSelectionActive = 1;
}

void Seq_LoadJamSequenceChunk(CHUNKLOADCONTEXT *load)
{
    SONGJAMS *jams = Seq_ExtraJams(load);
    if (!jams || !jams->pSequence)
        return;
    // The length is the data's, not the chunk's: a header counted in would grow the sequence on
    // every load and save.
    g_uJamSequenceLength = jams->uSequenceBytes;
    g_uJamSequenceState |= 4;
    g_uJamSequenceRead = g_uJamSequenceWrite = 0;
    memcpy(g_abJamSequence, jams->pSequence, jams->uSequenceBytes);
}

int32_t Seq_FinishJamLoad(uint32_t mask, CHUNKLOADCONTEXT *load, const std::vector<int32_t> &riffId,
                          const std::vector<int32_t> &slotId)
{
    SONGJAMS *jams = Seq_ExtraJams(load);
    if (!jams)
        return 0;
    int32_t result = jams->broken ? SONGLOAD_MISSING : 0;
    if (!(mask == 0 || (mask >> (CHUNK_JT - 1) & 1)))
        return result;
    result |= Seq_LoadJamChunk(load, riffId, slotId);
    Seq_LoadJamSelectChunk(load);
    Seq_LoadJamSequenceChunk(load);
    return result;
}

// ---- Templates ----

uint32_t Seq_PrepareJamImage(CHUNKCONTEXT *ctx, int32_t jam)
{
    *ctx = CHUNKCONTEXT{};
    if (jam < 0 || jam >= JAM_RECORDS)
        return 0;
    Seq_SetUsageSlot(ctx, 3, CHUNK_RI);
    Seq_SetUsageSlot(ctx, 5, CHUNK_IN);
    Seq_SetUsageSlot(ctx, 8, CHUNK_JT);
    Seq_MarkBit(Seq_GetUsageBitmap(ctx, CHUNK_JT), (uint32_t)jam);
    std::vector<uint32_t> *riffs = Seq_GetUsageBitmap(ctx, CHUNK_RI);
    std::vector<uint32_t> *slots = Seq_GetUsageBitmap(ctx, CHUNK_IN);
    const uint8_t *rec = g_aabJamRecords[jam];
    for (int32_t i = 0; i < JAM_RECORD_RIFFS; i++) {
        const uint8_t *row = rec + JAM_RECORD_RIFF_AT + i * JAM_ROW_BYTES;
        const int32_t id = (int16_t)Rd16(row);
        if (row[6] == JAM_ROW_SONG && id > 0 && Seq_GetRiff(id))
            Seq_MarkBit(riffs, (uint32_t)id);
    }
    // The instruments the record's rows name travel with it, used by a riff or not, so the rows
    // keep them.
    for (int32_t i = 0; i < JAM_RECORD_INSTRUMENTS; i++) {
        const uint8_t *row = rec + JAM_RECORD_INSTRUMENT_AT + i * JAM_ROW_BYTES;
        const int32_t slot = (int16_t)Rd16(row + 2);
        if (row[0] == JAM_ROW_SONG && slot > 0 && slot < SEQ_INSTRUMENT_SLOTS)
            Seq_MarkBit(slots, (uint32_t)slot);
    }
    int32_t blocks = 0;
    uint32_t size = Seq_PrepareSave(SONGPART_SONG | SONGPART_JAMS, &blocks, ctx);
    if (!size)
        return 0;
    // A template is the record and the music it plays: no author, no spare header, no disc
    // names (its resources are known by their disc numbers) and no song grid.
    for (int32_t t : {CHUNK_AU, CHUNK_CN, CHUNK_DS, CHUNK_SN}) {
        CHUNKRECORD &r = ctx->aChunk[t];
        const bool standard = t == CHUNK_DS || t == CHUNK_SN;
        size -= r.uSize + (standard && r.uCount ? 8 : 0);
        r.uSize = r.uCount = 0;
    }
    return size;
}

std::vector<uint8_t> Seq_WriteJamImage(int32_t jam, const char *author)
{
    CHUNKCONTEXT ctx;
    const uint32_t size = Seq_PrepareJamImage(&ctx, jam);
    if (!size)
        return {};
    char text[32] = {};
    if (author)
        memcpy(text, author, strnlen(author, 31));
    return Seq_WriteChunks(size, text, &ctx);
}

int32_t Seq_LoadJamTemplateImage(const uint8_t *image, size_t size, int32_t setup)
{
    if (!image || setup < 0 || setup >= JAM_RECORDS)
        return 0;
    g_bLoadAborted = 0;
    uint8_t saved[JAM_RECORDS];
    for (int32_t n = 0; n < JAM_RECORDS; n++) {
        saved[n] = g_JamSetups[n].ucState;
        // The record goes to the one setup marked loading, never to another that happens to be.
        if (g_JamSetups[n].ucState == 3)
            g_JamSetups[n].ucState = 2;
    }
    g_JamSetups[setup].ucState = 3;
    auto restore = [&] {
        for (int32_t n = 0; n < JAM_RECORDS; n++)
            if (n != setup || g_JamSetups[n].ucState == 3)
                g_JamSetups[n].ucState = saved[n];
    };
    // Templates are written in the tagged layout (the samples they carry may be long ones).
    const int32_t tagged = g_bTaggedSongFile;
    g_bTaggedSongFile = 1;
    CHUNKLOADCONTEXT load;
    // The music the record plays and the record; never the song's grid or lists.
    const uint32_t mask = 1u << (CHUNK_RI - 1) | 1u << (CHUNK_JT - 1) | 1u << (CHUNK_IN - 1) |
                          1u << (CHUNK_NO - 1) | 1u << (CHUNK_EN - 1) | 1u << (CHUNK_SP - 1) | 1u << (CHUNK_RE - 1);
    int32_t result = 0;
    if (Seq_LoadChunks(image, size, mask, 0, 0, &load) == SONGLOAD_OK && load.ctx.aChunk[CHUNK_JT].pChunk &&
        !(Seq_FinishLoad(mask, &load) & SONGLOAD_ABANDONED))
        result = 1;
    g_bTaggedSongFile = tagged;
    if (!result) {
        restore();
        return 0;
    }
    for (int32_t n = 0; n < JAM_RECORDS; n++)
        if (n != setup)
            g_JamSetups[n].ucState = saved[n];
    if (g_JamSetups[setup].ucState == 3)
        g_JamSetups[setup].ucState = 2;
    return 1;
}

int32_t Seq_LoadJamTemplate(const uint16_t path[4])
{
    if (!path)
        return 0;
    char name[8];
    uint32_t bytes = 0;
    uint8_t *file = static_cast<uint8_t *>(Sys_WadLoadEntryAlloc(0, path, 4, name, &bytes));
    if (!file)
        return 0;
    const int32_t r = Seq_LoadJamTemplateImage(file, bytes);
    std::free(file);
    return r;
}

int32_t Seq_SaveJamTemplates(const char *folder)
{
    if (!folder || !*folder)
        return -1;
    const std::string dir = std::string(folder) + "/JamTem";
    // The folder is made on first use; one that cannot be made is reported, never skipped.
    if (mkdir(folder, 0777) != 0 && errno != EEXIST)
        return -1;
    if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
        return -1;
    int32_t written = 0;
    for (int32_t n = 0; n < JAM_RECORDS; n++) {
        if (g_JamSetups[n].ucState == 0)
            continue;
        const std::vector<uint8_t> image = Seq_WriteJamImage(n, "AUTHOR BLOKE");
        const std::string path = dir + "/JamTem " + std::to_string(n) + ".jtm";
        if (image.empty() || Seq_WriteSongFile(path.c_str(), image) != 0)
            return -1;
        written++;
    }
    return written;
}

namespace {

// The archive listing's name of a node or file: up to 8 characters, not always terminated.
std::string ListedName(const char *name)
{
    return std::string(name, strnlen(name, WAD_NAME_LEN));
}

// A name as a file name: path separators and control characters become '_'.
std::string FileNamePart(std::string name)
{
    for (char &c : name)
        if (c == '/' || c == '\\' || (unsigned char)c < 32)
            c = '_';
    return name.empty() || name == "." || name == ".." ? std::string("_") : name;
}

bool MakeFolder(const std::string &path)
{
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

} // namespace

int32_t Seq_ConvertJamTemplates(const char *folder)
{
    if (!folder || !*folder)
        return -1;
    uint16_t path[WAD_MAX_DEPTH] = {};
    if (Sys_WadDirPathToIndices("/JAMTEM", path) != 1)
        return -1;
    const std::string top = std::string(folder) + "/JamTem";
    if (!MakeFolder(folder) || !MakeFolder(top))
        return -1;
    // The archive's templates and the user's files are both of this platform's tagged layout.
    const int32_t tagged = g_bTaggedSongFile;
    g_bTaggedSongFile = 1;
    Seq_FreeUndoLog();
    Vid_FreeClipGrid(0);
    Vid_FreeClipGrid(1);
    int32_t written = 0;
    const int32_t styles = Sys_WadCountAt(path, 1);
    for (int32_t st = 0; st < styles; st++) {
        path[1] = (uint16_t)st;
        char styleName[WAD_NAME_LEN + 1] = {};
        const int32_t sets = Sys_WadNodeNameAt(path, 2, styleName, WAD_NAME_LEN);
        const std::string styleDir = top + "/" + FileNamePart(ListedName(styleName));
        for (int32_t se = 0; se < sets; se++) {
            path[2] = (uint16_t)se;
            char setName[WAD_NAME_LEN + 1] = {};
            if (Sys_WadNodeNameAt(path, 3, setName, WAD_NAME_LEN) < 0)
                continue;
            const std::string setDir = styleDir + "/" + FileNamePart(ListedName(setName));
            const int32_t files = Sys_WadFileCountAt(path, 3);
            for (int32_t f = 0; f < files; f++) {
                path[3] = (uint16_t)f;
                std::string name;
                if (Sys_WadGotoIndexPath(path, 3))
                    if (const WADENTRY *e = Sys_WadEntryAt(f + 1))
                        name = FileNamePart(ListedName(e->szName));
                // Each template is read into an empty song, so its image holds its own music alone.
                Seq_NewSong();
                Seq_ResetJamSlots();
                Jam_ResetRecords();
                if (name.empty() || Seq_LoadJamTemplate(path) != 1)
                    continue;
                // Rows naming nothing the song has are written as empty rows.
                uint8_t *rec = g_aabJamRecords[0];
                for (int32_t i = 0; i < JAM_RECORD_RIFFS; i++) {
                    uint8_t *row = rec + JAM_RECORD_RIFF_AT + i * JAM_ROW_BYTES;
                    const int32_t id = (int16_t)Rd16(row);
                    if (row[6] == JAM_ROW_SONG && (id < 1 || id >= g_uRiffCount || !Seq_GetRiff(id)))
                        row[6] = JAM_ROW_EMPTY;
                }
                const std::vector<uint8_t> image = Seq_WriteJamImage(0, "AUTHOR BLOKE");
                // A file that cannot be written is skipped; the others go on.
                if (image.empty() || !MakeFolder(styleDir) || !MakeFolder(setDir) ||
                    Seq_WriteSongFile((setDir + "/" + name + ".jtm").c_str(), image) != 0)
                    continue;
                written++;
            }
        }
    }
    Seq_NewSong();
    Seq_ResetJamSlots();
    Jam_ResetRecords();
    g_bTaggedSongFile = tagged;
    return written;
}
