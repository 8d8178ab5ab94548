// Instrument slots loaded from the archive's instrument library, the command chains of sample
// edits, the song's sample table, preview, copy and octave shift.
#include "sequencer/samples.h"
#include "sequencer/undo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "audio/adpcm.h"
#include "audio/mixer.h"
#include "audio/sampleedit.h"
#include "audio/sampleslot.h"
#include "core/archive.h"
#include "core/disc.h"
#include "core/mixlock.h"
#include "jam/netobjects.h"
#include "sequencer/channels.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "video/resformat.h"
#include "video/respages.h"

INSTRUMENTSLOT g_aInstrumentSlots[SEQ_INSTRUMENT_SLOTS];
SAMPLEENTRY g_aSamples[SEQ_MAX_SAMPLES];
uint16_t g_uSampleCount = 1;
int32_t g_iCommandEntriesUsed;
int32_t g_iFoundInstrumentSlot = -1;
uint8_t g_abInstrumentMarks[SEQ_INSTRUMENT_SLOTS];
int32_t g_aiPendingInstrumentKeys[4];

namespace {

constexpr uint32_t SAMPLE_FILE_HEADER = 48;
constexpr uint32_t SAMPLE_FILE_CATEGORY = 40;

// The command pool: a fixed block with a free list, so a song never holds more than its 128.
COMMANDENTRY s_aCommandPool[SEQ_COMMAND_ENTRIES];
COMMANDENTRY *s_pFreeCommands;
bool s_bPoolMade;

COMMANDENTRY *TakeEntry()
{
    if (!s_bPoolMade)
        Seq_CreateCommandEntryPool();
    COMMANDENTRY *e = s_pFreeCommands;
    if (!e)
        return nullptr;
    s_pFreeCommands = e->pNext;
    *e = COMMANDENTRY{};
    g_iCommandEntriesUsed++;
    return e;
}

void GiveEntry(COMMANDENTRY *e)
{
    if (e < s_aCommandPool || e >= s_aCommandPool + SEQ_COMMAND_ENTRIES)
        return; // not ours: never link foreign memory into the pool
    *e = COMMANDENTRY{};
    e->pNext = s_pFreeCommands;
    s_pFreeCommands = e;
    g_iCommandEntriesUsed--;
}

bool InRange(int32_t slot)
{
    return slot >= 1 && slot <= 200;
}

void FreeLoadedSample(int32_t sampleId)
{
    SAMPLESLOT *sample = nullptr;
    if (Snd_FindSampleById(&sample, (uint32_t)sampleId) >= 0)
        Snd_FreeSample(sample);
}

// The entry the resource loader stands on while it calls Seq_LoadSampleFile.
const WADENTRY *s_pLoadingEntry;

void *LoadInstrumentRes(int32_t id, void *data, const uint16_t *path, int32_t depth, uint32_t size)
{
    std::free(data); // streamed kind: never given a buffer, but a buffer is ours to free
    if (!path || depth < 1)
        return nullptr;
    s_pLoadingEntry = Sys_WadEntryAt((int)path[depth - 1] + 1);
    // The record marks the resource as loaded; records move when one is removed, so nothing
    // reads the resource's data through this pointer.
    SAMPLEENTRY *entry = Seq_LoadSampleFile(id, 0, path[0], 0, size);
    s_pLoadingEntry = nullptr;
    return entry;
}

void FreeInstrumentRes(int32_t id, void *, const uint16_t *, int32_t)
{
    FreeLoadedSample(id);
    for (int32_t i = 1; i < g_uSampleCount; i++)
        if (g_aSamples[i].iSampleId == id) {
            Seq_RemoveSampleRecord(id, 0);
            break;
        }
}

uint8_t s_ucInstrumentCallbacks;
int32_t s_iPreviewChannel; // the channel of the last preview note

NOTEENTRY DefaultNoteOf(int32_t slot, int32_t pitch, int32_t length, int32_t lists[3])
{
    const NOTEPARAMS &d = g_DefaultNote;
    lists[0] = Seq_AddParamList(d.ucCountA, d.auValuesA, d.ucAOfA, 0);
    lists[1] = Seq_AddParamList(d.ucCountB, d.auValuesB, d.ucAOfB, 0);
    lists[2] = Seq_AddParamList(d.ucCountC, d.auValuesC, d.ucAOfC, d.ucBOfC);
    NOTEENTRY n{};
    n.uInstrument = (uint16_t)slot;
    n.ucPitch = (uint8_t)pitch;
    n.ucLength = (uint8_t)length;
    n.ucLevel = g_CurrentNote.ucLevel ? g_CurrentNote.ucLevel : 255;
    n.ucFlags = g_CurrentNote.ucFlags;
    n.ucSetting1 = d.ucSetting1;
    n.ucSetting2 = d.ucSetting2;
    n.ucSetting3 = d.ucSetting3;
    n.ucSetting4 = d.ucSetting4;
    n.ucSetting5 = d.ucSetting5;
    n.uListA = (uint16_t)(lists[0] < 0 ? 0 : lists[0]);
    n.uListB = (uint16_t)(lists[1] < 0 ? 0 : lists[1]);
    n.uListC = (uint16_t)(lists[2] < 0 ? 0 : lists[2]);
    return n;
}

void PlayNote(int32_t slot, int32_t pitch, int32_t length, int32_t channel)
{
    int32_t lists[3];
    const NOTEENTRY n = DefaultNoteOf(slot, pitch, length, lists);
    if (lists[0] >= 0 && lists[1] >= 0 && lists[2] >= 0)
        Seq_TriggerNote(nullptr, &n, channel, 5, 0, 0, 0);
    for (int32_t list : lists)
        if (list >= 0)
            Seq_ReleaseParamList(list);
}

bool KeysEqual(const INSTRUMENTSLOT &inst, int32_t key1, int32_t key2, int32_t key3)
{
    return inst.ucKey1 == key1 && inst.uKey2 == key2 && inst.uKey3 == key3;
}

} // namespace

// ---- Sample table ----

int32_t Seq_AddSampleRecord(uint32_t bytes)
{
    if (g_uSampleCount < 1)
        g_uSampleCount = 1;
    if (g_uSampleCount >= SEQ_MAX_SAMPLES)
        return -1;
    const int32_t index = g_uSampleCount++;
    g_aSamples[index] = SAMPLEENTRY{};
    g_aSamples[index].uLength = bytes / 2;
    return index;
}

void Seq_RemoveSampleRecord(int32_t sampleId, int32_t release)
{
    for (int32_t i = 1; i < g_uSampleCount; i++) {
        if (g_aSamples[i].iSampleId != sampleId)
            continue;
        std::memmove(&g_aSamples[i], &g_aSamples[i + 1], sizeof(SAMPLEENTRY) * (size_t)(g_uSampleCount - i - 1));
        g_uSampleCount--;
        for (int32_t k = g_uSampleCount; k < g_uSampleCount + 2 && k < SEQ_MAX_SAMPLES; k++)
            g_aSamples[k] = SAMPLEENTRY{};
        Seq_RelinkInstrumentNames();
        // The resource's own free comes back here for its record: it finds none, as it should.
        if (release && sampleId > 0)
            Vid_ReleaseResource(sampleId);
        return;
    }
}

int32_t Seq_NewSampleId()
{
    for (int32_t n = 0; n <= 200; n++) {
        bool taken = false;
        for (int32_t i = 1; i < g_uSampleCount && !taken; i++)
            taken = g_aSamples[i].iSampleId == -(n + 1);
        if (!taken)
            return -(n + 1);
    }
    return 0;
}

int32_t Seq_FindSampleRecord(int32_t slot)
{
    if (slot < 0 || slot >= SEQ_INSTRUMENT_SLOTS || Seq_InstrumentSlotFree(slot))
        return 0;
    for (int32_t i = 1; i < g_uSampleCount; i++)
        if (g_aSamples[i].iSampleId == g_aInstrumentSlots[slot].iSampleId)
            return i;
    return 0;
}

void Seq_RelinkInstrumentNames()
{
    for (int32_t slot = 0; slot < SEQ_INSTRUMENT_SLOTS; slot++) {
        if (Seq_InstrumentSlotFree(slot))
            continue;
        const int32_t record = Seq_FindSampleRecord(slot);
        g_aInstrumentSlots[slot].pszName = record ? g_aSamples[record].szName : nullptr;
    }
}

uint8_t Seq_InstrumentCategory(int32_t slot)
{
    const int32_t record = Seq_FindSampleRecord(slot);
    return record && g_aSamples[record].ucCategory < 18 ? g_aSamples[record].ucCategory : 255;
}

void Seq_ClearSampleTable()
{
    std::memset(g_aSamples, 0, sizeof(g_aSamples));
    g_uSampleCount = 1;
}

// ---- Slots ----

int32_t Seq_AllocInstrumentSlot()
{
    for (int32_t i = 1; i <= 200; i++) {
        INSTRUMENTSLOT &inst = g_aInstrumentSlots[i];
        if (inst.ucAllocated || !Seq_InstrumentSlotFree(i))
            continue;
        inst = INSTRUMENTSLOT{};
        inst.ucAllocated = 1;
        inst.ucReserved = 255;
        inst.ucUseCount = g_bJamSessionOn ? 1 : 0;
        if (!g_bJamActive)
            g_bSongChanged = 1;
        return i;
    }
    return SEQ_NO_INSTRUMENT;
}

void Seq_ClearInstrumentSlot(int32_t slot, int32_t freeSample)
{
    if (slot < 0 || slot >= SEQ_INSTRUMENT_SLOTS)
        return;
    INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
    Seq_FreeCommandChain(inst.pCommands);
    if (freeSample && !Seq_InstrumentSlotFree(slot)) {
        std::lock_guard<std::recursive_mutex> lock(g_csMix);
        // A library sample goes with its resource (whose free takes the loaded sample too).
        if (inst.iSampleId > 0)
            Vid_ReleaseResource(inst.iSampleId);
        FreeLoadedSample(inst.iSampleId);
    }
    inst = INSTRUMENTSLOT{};
    g_abInstrumentMarks[slot] = 0;
    if (slot == g_ucPendingInstrumentSlot)
        g_ucPendingInstrumentSlot = 201;
}

void Seq_ReleaseInstrument(int32_t slot)
{
    if (!InRange(slot))
        return;
    INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
    if (inst.ucUseCount)
        inst.ucUseCount--;
    if (inst.ucUseCount == 0 && !Seq_InstrumentSlotFree(slot))
        Seq_ClearInstrument(slot, 1, 1);
}

// ---- Command chains ----

int Seq_CreateCommandEntryPool()
{
    s_pFreeCommands = nullptr;
    for (int32_t i = SEQ_COMMAND_ENTRIES - 1; i >= 0; i--) {
        s_aCommandPool[i] = COMMANDENTRY{};
        s_aCommandPool[i].pNext = s_pFreeCommands;
        s_pFreeCommands = &s_aCommandPool[i];
    }
    g_iCommandEntriesUsed = 0;
    s_bPoolMade = true;
    // Chains made before (none in a running studio) would now point into the fresh free list.
    for (INSTRUMENTSLOT &inst : g_aInstrumentSlots) {
        inst.pCommands = nullptr;
        inst.ucCommandCount = 0;
        inst.cSampleState = (int8_t)(inst.cSampleState & SAMPLE_STATE_OWN);
    }
    return 0;
}

void Seq_DestroyCommandEntryPool()
{
    s_bPoolMade = false;
    s_pFreeCommands = nullptr;
    g_iCommandEntriesUsed = 0;
}

int32_t Seq_FreeCommandEntries()
{
    if (!s_bPoolMade)
        return SEQ_COMMAND_ENTRIES;
    return SEQ_COMMAND_ENTRIES - g_iCommandEntriesUsed;
}

int32_t Seq_AddInstrumentCommand(int32_t slot, uint32_t type, uint32_t param0, uint32_t param1)
{
    if (slot < 0 || slot >= SEQ_INSTRUMENT_SLOTS)
        return -1;
    INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
    if (inst.ucCommandCount >= SEQ_COMMAND_ENTRIES)
        return -1;
    COMMANDENTRY *e = TakeEntry();
    if (!e)
        return -1;
    e->uParam0 = param0;
    e->uParam1 = param1;
    e->uType = type;
    inst.uMark = 0;
    if (!inst.pCommands) {
        inst.pCommands = e;
        inst.cSampleState = (int8_t)(inst.cSampleState | SAMPLE_STATE_EDITED);
    } else {
        COMMANDENTRY *p = inst.pCommands;
        while (p->pNext)
            p = p->pNext;
        p->pNext = e;
    }
    inst.ucCommandCount++;
    return 0;
}

void Seq_RemoveLastInstrumentCommand(int32_t slot)
{
    if (slot < 0 || slot >= SEQ_INSTRUMENT_SLOTS)
        return;
    INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
    if (!inst.pCommands)
        return;
    COMMANDENTRY **pp = &inst.pCommands;
    while ((*pp)->pNext)
        pp = &(*pp)->pNext;
    GiveEntry(*pp);
    *pp = nullptr;
    if (inst.ucCommandCount)
        inst.ucCommandCount--;
    if (!inst.pCommands)
        inst.cSampleState = (int8_t)(inst.cSampleState & ~SAMPLE_STATE_EDITED);
}

void Seq_FreeCommandChain(COMMANDENTRY *pFirst)
{
    // Command by command: the entries after a command's first carry values, whose type field
    // may hold any number (18 among them) and names no list.
    int32_t left = 0;
    while (pFirst) {
        COMMANDENTRY *pNext = pFirst->pNext;
        if (left == 0) {
            left = Seq_CommandEntryCount((int32_t)pFirst->uType);
            if (left < 1)
                left = 1;
            if (pFirst->uType == 18)
                Seq_ReleaseParamList((int32_t)pFirst->uParam0);
        }
        left--;
        GiveEntry(pFirst);
        pFirst = pNext;
    }
}

int32_t Seq_CommandParamCount(int32_t defaultCount, int32_t code)
{
    switch (code) {
    case 0: return 4;
    case 1: return 5;
    case 2: return 6;
    case 3: return 10;
    case 4:
    case 5:
    case 7: return 7;
    case 6: return 14;
    default: return defaultCount;
    }
}

int32_t Seq_CommandEntryCount(int32_t code)
{
    if (code == 15 || code == 17 || code == 18)
        return 2;
    if (code < 0 || code > 7)
        return 1;
    return (Seq_CommandParamCount(0, code) + 2) / 3 + 1;
}

// Type-18 commands hold one list reference each (counted command by command, see
// Seq_FreeCommandChain).
void Seq_CountOtherListRefs(std::vector<int32_t> &counts)
{
    for (const INSTRUMENTSLOT &inst : g_aInstrumentSlots) {
        int32_t left = 0;
        for (const COMMANDENTRY *p = inst.pCommands; p; p = p->pNext) {
            if (left == 0) {
                left = Seq_CommandEntryCount((int32_t)p->uType);
                if (left < 1)
                    left = 1;
                if (p->uType == 18 && p->uParam0 < counts.size())
                    counts[p->uParam0]++;
            }
            left--;
        }
    }
}

int32_t Seq_PackedInstrumentSize(int32_t slot)
{
    if (!InRange(slot) || Seq_InstrumentSlotFree(slot))
        return 0;
    const int8_t state = g_aInstrumentSlots[slot].cSampleState;
    return (state == 1 || state == 3) ? 4 + 12 * g_aInstrumentSlots[slot].ucCommandCount : 4;
}

uint8_t *Seq_PackInstrument(uint8_t *out, int32_t slot)
{
    if (!out || Seq_PackedInstrumentSize(slot) == 0)
        return out;
    const INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
    uint16_t ref = 0;
    if (inst.cSampleState < SAMPLE_STATE_OWN) {
        ref = (uint16_t)Vid_GetResSaveNumber(inst.iSampleId);
    } else {
        const int32_t record = Seq_FindSampleRecord(slot);
        ref = record ? g_aSamples[record].ucSaveByte : 0;
    }
    out[0] = (uint8_t)ref;
    out[1] = (uint8_t)(ref >> 8);
    out[2] = inst.cSampleState ? (uint8_t)(inst.ucKind << 4 | (inst.cSampleState & 15)) : 0;
    out[3] = inst.ucCommandCount;
    out += 4;
    if (Seq_PackedInstrumentSize(slot) == 4)
        return out;
    int32_t left = 0;
    for (const COMMANDENTRY *p = inst.pCommands; p; p = p->pNext) {
        uint32_t p0 = p->uParam0;
        if (left == 0) {
            left = Seq_CommandEntryCount((int32_t)p->uType);
            if (left < 1)
                left = 1;
            if (p->uType == 18) {
                // The list's save number stands for its id in a song file.
                const int32_t id = (int32_t)p->uParam0;
                p0 = id >= 0 && id < SEQ_PARAM_LIST_SLOTS ? g_aParamListSlots[id].uSaveNumber : 0;
            }
        }
        left--;
        for (uint32_t v : {p0, p->uParam1, p->uType}) {
            out[0] = (uint8_t)v;
            out[1] = (uint8_t)(v >> 8);
            out[2] = (uint8_t)(v >> 16);
            out[3] = (uint8_t)(v >> 24);
            out += 4;
        }
    }
    return out;
}

// ---- Loading from the archive ----

SAMPLEENTRY *Seq_LoadSampleFile(int32_t resourceId, int32_t, int32_t rateCode, int32_t, uint32_t fileSize)
{
    const WADENTRY *e = s_pLoadingEntry;
    // A file shorter than its header holds no sample (the data size would go negative).
    if (!e || fileSize <= SAMPLE_FILE_HEADER || fileSize != e->uSize || fileSize > SAMPLE_MAX_FILE_BYTES)
        return nullptr;
    const uint32_t rounded = (fileSize + 2047u) & ~2047u;
    auto *buffer = static_cast<uint8_t *>(std::calloc(1, rounded));
    if (!buffer)
        return nullptr;
    SAMPLEENTRY *result = nullptr;
    if (Sys_WadReadEntry(buffer, e) >= 0) {
        const uint32_t dataBytes = fileSize - SAMPLE_FILE_HEADER;
        const int32_t index = Seq_AddSampleRecord((uint32_t)((uint64_t)dataBytes * 7 / 2));
        if (index > 0) {
            SAMPLEENTRY &record = g_aSamples[index];
            record.ucCategory = buffer[SAMPLE_FILE_CATEGORY];
            char name[32];
            std::snprintf(name, sizeof(name), "Sample %d", index);
            SAMPLESLOT *slot = nullptr;
            if (Snd_LoadSample(&slot, name, buffer + SAMPLE_FILE_HEADER, dataBytes, SAMPLE_FORMAT_ADPCM_MEMORY) == 0) {
                static const uint32_t kRates[3] = {11025, 22050, 44100};
                slot->uRate = kRates[rateCode >= 0 && rateCode <= 2 ? rateCode : 2];
                slot->uSampleId = (uint32_t)resourceId;
                std::memcpy(record.szName, buffer, 19);
                record.szName[19] = 0;
                record.iSampleId = (int16_t)resourceId;
                result = &record;
            } else {
                record.iSampleId = (int16_t)resourceId;
                Seq_RemoveSampleRecord(resourceId, 0);
            }
        }
    }
    std::free(buffer);
    return result;
}

void Seq_InstallSampleLoader()
{
    if (!s_ucInstrumentCallbacks)
        s_ucInstrumentCallbacks = Vid_AddResCallbacks(LoadInstrumentRes, FreeInstrumentRes);
    if (!g_aucResKindCallbacks[RES_INSTRUMENT])
        g_aucResKindCallbacks[RES_INSTRUMENT] = s_ucInstrumentCallbacks;
    RESKINDROW *row = Vid_GetKindRow(RES_INSTRUMENT);
    if (row && !row->callbacks)
        Vid_SetKindCallbacks(row, g_aucResKindCallbacks[RES_INSTRUMENT]);
}

int32_t Seq_LoadInstrument(int32_t slot, int32_t key1, int32_t key2, int32_t key3, int32_t kind,
                           int32_t takePending, int32_t replaceCommands, int32_t noUndo)
{
    // The abort flag belongs to the song load that may call this: clearing it here would turn
    // an aborted load into a finished one.
    g_iFoundInstrumentSlot = -1;
    if (key3 == 0)
        return 5;
    if (!InRange(slot))
        return 10; // slot 0 is the staging record itself
    const bool wasFree = Seq_InstrumentSlotFree(slot);
    if (g_bJamSessionOn) {
        for (int32_t s = 1; s <= 200; s++) {
            INSTRUMENTSLOT &inst = g_aInstrumentSlots[s];
            if (Seq_InstrumentSlotFree(s) || !KeysEqual(inst, key1, key2, key3) || inst.ucKind != kind)
                continue;
            if (inst.ucUseCount)
                inst.ucUseCount++;
            g_iFoundInstrumentSlot = s;
            return 5;
        }
    }
    const int32_t pending = g_ucPendingInstrumentSlot;
    if (takePending && pending != 201) {
        if (g_aiPendingInstrumentKeys[0] == kind && g_aiPendingInstrumentKeys[1] == key1 &&
            g_aiPendingInstrumentKeys[2] == key2 && g_aiPendingInstrumentKeys[3] == key3) {
            if (slot != pending) {
                g_aInstrumentSlots[slot] = g_aInstrumentSlots[pending];
                g_aInstrumentSlots[pending] = INSTRUMENTSLOT{};
            }
            g_ucPendingInstrumentSlot = 201;
            return kind + 2;
        }
        Seq_DropPendingInstrument();
    }

    INSTRUMENTSLOT &target = g_aInstrumentSlots[slot];
    int8_t oldState = 0;
    if (!Seq_InstrumentSlotFree(slot)) {
        {
            std::lock_guard<std::recursive_mutex> lock(g_csMix);
            const int32_t oldId = target.iSampleId;
            Seq_RemoveSampleRecord(oldId, 1);
            FreeLoadedSample(oldId);
        }
        oldState = target.cSampleState;
        if (g_uInstrumentCount)
            g_uInstrumentCount--;
        if (replaceCommands) {
            bool any = false;
            for (int32_t id = 1; id <= g_uNoteCount; id++)
                if (NOTEENTRY *n = Seq_GetNote(id); n->uInstrument == slot) {
                    n->uSampleStart = 0;
                    any = true;
                }
            if (any)
                g_CurrentNote.uSampleStart = 0;
        }
    }

    INSTRUMENTSLOT &staging = g_aInstrumentSlots[0];
    staging = INSTRUMENTSLOT{};
    staging.ucKind = (uint8_t)kind;
    staging.ucKey1 = (uint8_t)key1;
    staging.uKey2 = (uint16_t)key2;
    staging.uKey3 = (uint16_t)key3;
    staging.uDisc = g_pCurrentDisc ? g_pCurrentDisc->uNumber : 0;
    staging.ucReserved = 255;
    staging.ucAllocated = 1;
    const int32_t result = kind >= 1 && kind <= 3 ? kind + 2 : 0;

    // The sample loader, unless another (a test's) stands in its place.
    RESKINDROW *row = Vid_GetKindRow(RES_INSTRUMENT);
    if (!g_aucResKindCallbacks[RES_INSTRUMENT] || (row && !row->callbacks))
        Seq_InstallSampleLoader();
    const uint16_t path[4] = {(uint16_t)(kind - 1), (uint16_t)(key1 - 1), (uint16_t)(key2 - 1), (uint16_t)(key3 - 1)};
    int32_t id = -1;
    SAMPLEENTRY *record = nullptr;
    if (kind >= 1 && key1 >= 1 && key2 >= 1)
        record = static_cast<SAMPLEENTRY *>(Vid_LoadResource(RES_INSTRUMENT, path, 4, &id));
    if (!record || id < 1 || id > 0x7FFF) {
        if (record)
            Vid_ReleaseResource(id);
        Seq_FreeCommandChain(target.pCommands);
        target = INSTRUMENTSLOT{};
        staging = INSTRUMENTSLOT{};
        return 10;
    }
    Vid_AddResRef(id);
    if (const WADENTRY *e = Sys_WadEntryAt(key3))
        std::memcpy(staging.achArchiveName, e->szName, 8);
    if (replaceCommands) {
        Seq_FreeCommandChain(target.pCommands);
    } else {
        staging.pCommands = target.pCommands;
        staging.ucCommandCount = target.ucCommandCount;
        staging.cSampleState = oldState;
    }
    staging.iSampleId = (int16_t)id;
    staging.ucUseCount = g_bJamSessionOn ? 1 : 0;
    g_uInstrumentCount++;
    target = staging;
    staging = INSTRUMENTSLOT{};
    Seq_RelinkInstrumentNames();
    // A load into an empty slot is undone by emptying the slot again (kind word 1).
    if (!noUndo) {
        const uint16_t words[9] = {(uint16_t)(wasFree ? 1 : 0), (uint16_t)kind, (uint16_t)key1, (uint16_t)key2,
                                   (uint16_t)key3, (uint16_t)takePending, (uint16_t)replaceCommands, 0,
                                   (uint16_t)slot};
        Seq_UndoRecordInstrument(words);
    }
    if (!g_bJamActive)
        Seq_UpdateSongSizes();
    return result;
}

// ---- Preview ----

int32_t Seq_PreviewLibraryInstrument(int32_t key1, int32_t key2, int32_t key3, int32_t kind)
{
    Seq_DropPendingInstrument();
    const int32_t slot = Seq_AllocInstrumentSlot();
    if (slot == SEQ_NO_INSTRUMENT)
        return 10;
    g_ucPendingInstrumentSlot = (uint8_t)slot;
    const int32_t result = Seq_LoadInstrument(slot, key1, key2, key3, kind, 0, 1, 1);
    if (result == 10 || g_aInstrumentSlots[slot].ucKey1 != key1 || Seq_InstrumentSlotFree(slot)) {
        g_aInstrumentSlots[slot] = INSTRUMENTSLOT{};
        g_ucPendingInstrumentSlot = 201;
        return 10;
    }
    g_aiPendingInstrumentKeys[0] = kind;
    g_aiPendingInstrumentKeys[1] = key1;
    g_aiPendingInstrumentKeys[2] = key2;
    g_aiPendingInstrumentKeys[3] = key3;
    // In a jam the preview takes a channel of its own; otherwise channel 0.
    int32_t channel = 0;
    if (g_bJamSessionOn && g_pfnSeqChannelAlloc) {
        const int32_t c = g_pfnSeqChannelAlloc(0, 3, 0);
        if (c >= 0 && c < 99)
            channel = c;
    }
    s_iPreviewChannel = channel;
    {
        std::lock_guard<std::recursive_mutex> lock(g_csMix);
        g_aPlayColumns[channel].iLevel = 256 << 10;
    }
    PlayNote(slot, result * 12, 32, channel);
    return 1;
}

void Seq_DropPendingInstrument()
{
    const int32_t slot = g_ucPendingInstrumentSlot;
    if (slot == 201)
        return;
    if (g_tSeqVoiceOps.keyVoices)
        g_tSeqVoiceOps.keyVoices(0, s_iPreviewChannel);
    if (InRange(slot) && !Seq_InstrumentSlotFree(slot))
        Seq_ClearInstrument(slot, 1, 1);
    else if (InRange(slot))
        g_aInstrumentSlots[slot] = INSTRUMENTSLOT{};
    g_ucPendingInstrumentSlot = 201;
}

void Seq_PlayInstrumentTestNote(int32_t slot)
{
    if (!InRange(slot) || Seq_InstrumentSlotFree(slot))
        return;
    // Channel 0's column keeps whatever level the song last left it at (nothing when no song
    // has played), so the test note sets it as every audition does.
    {
        std::lock_guard<std::recursive_mutex> lock(g_csMix);
        g_aPlayColumns[0].iLevel = 256 << 10;
    }
    PlayNote(slot, (g_aInstrumentSlots[slot].ucKind + 2) * 12, 254, 0);
}

void Seq_StopInstrumentPreview()
{
    if (g_bJamSessionOn) {
        if (g_tSeqVoiceOps.keyVoices)
            g_tSeqVoiceOps.keyVoices(0, s_iPreviewChannel);
    } else {
        Seq_StopSong();
    }
}

// ---- Copy and octave shift ----

int32_t Seq_CopyInstrument(int32_t slot)
{
    if (!InRange(slot) || Seq_InstrumentSlotFree(slot))
        return -1;
    const INSTRUMENTSLOT &src = g_aInstrumentSlots[slot];
    SAMPLESLOT *source = nullptr;
    const int32_t record = Seq_FindSampleRecord(slot);
    if (Snd_FindSampleById(&source, (uint32_t)src.iSampleId) < 0 || !source->pData || record == 0)
        return 10;
    const int32_t state = src.cSampleState & 3;
    // Everything the copy needs is checked first, so a refusal leaves the song as it was.
    if ((state & SAMPLE_STATE_EDITED) && Seq_FreeCommandEntries() < src.ucCommandCount)
        return 10;
    if (g_uSampleCount >= SEQ_MAX_SAMPLES)
        return 10;
    const int32_t newId = state < SAMPLE_STATE_OWN ? 0 : Seq_NewSampleId();
    if (state >= SAMPLE_STATE_OWN && newId == 0)
        return 10;
    const int32_t copy = Seq_AllocInstrumentSlot();
    if (copy == SEQ_NO_INSTRUMENT)
        return 10;

    // The copy owns its sample: a copy of the data under a new loaded sample.
    const bool stereo = (source->uFlags & SAMPLE_STEREO) != 0;
    const uint32_t words = source->uFrames * (stereo ? 2u : 1u);
    SAMPLESLOT *dup = nullptr;
    if (Snd_AllocSampleSlot(&dup) < 0 || Snd_AllocSampleData(dup, source->uFrames, stereo) != 0) {
        Snd_FreeSample(dup);
        g_aInstrumentSlots[copy] = INSTRUMENTSLOT{};
        return 10;
    }
    std::memcpy(dup->pData, source->pData, (size_t)words * 2);
    std::snprintf(dup->szName, sizeof(dup->szName), "%s", source->szName);
    dup->uRate = source->uRate;
    dup->uFlags = source->uFlags;
    dup->uLoopStartFrame = source->uLoopStartFrame;
    Snd_ResetSamplePointers(dup);

    int32_t id = newId;
    if (state < SAMPLE_STATE_OWN) {
        // A second page record of the same library entry: its own id, the shared name and data.
        uint16_t path[16] = {};
        int32_t depth = 0;
        int32_t resId = -1;
        // The page's path runs from the kind folder's first level down to the entry.
        if (Vid_GetResIndexPath(src.iSampleId, path, &depth) == 0 && depth >= 1)
            Vid_LoadResource(RES_INSTRUMENT, path, depth, &resId);
        if (resId < 1 || resId > 0x7FFF) {
            Snd_FreeSample(dup);
            g_aInstrumentSlots[copy] = INSTRUMENTSLOT{};
            return 10;
        }
        Vid_AddResRef(resId);
        // The resource load made its own sample; the copy plays the copied (edited) data instead.
        FreeLoadedSample(resId);
        id = resId;
    } else {
        const int32_t index = Seq_AddSampleRecord(words * 2);
        g_aSamples[index] = g_aSamples[record];
        g_aSamples[index].iSampleId = (int16_t)id;
    }
    dup->uSampleId = (uint32_t)id;
    const int32_t newRecord = [&] {
        for (int32_t i = 1; i < g_uSampleCount; i++)
            if (g_aSamples[i].iSampleId == id)
                return i;
        return 0;
    }();
    if (newRecord) {
        std::memcpy(g_aSamples[newRecord].szName, g_aSamples[Seq_FindSampleRecord(slot)].szName, 20);
        g_aSamples[newRecord].uLength = source->uFrames;
    }

    INSTRUMENTSLOT &dst = g_aInstrumentSlots[copy];
    const INSTRUMENTSLOT &from = g_aInstrumentSlots[slot];
    dst = from;
    dst.pCommands = nullptr;
    dst.ucCommandCount = 0;
    dst.cSampleState = (int8_t)(state & SAMPLE_STATE_OWN);
    dst.iSampleId = (int16_t)id;
    dst.ucAllocated = 1;
    dst.ucReserved = 255;
    dst.uMark = 0;
    if (state & SAMPLE_STATE_EDITED) {
        // Entries were counted free above. Each type-18 command owns one list reference.
        for (const COMMANDENTRY *p = from.pCommands; p; p = p->pNext)
            Seq_AddInstrumentCommand(copy, p->uType, p->uParam0, p->uParam1);
        int32_t left = 0;
        for (const COMMANDENTRY *p = from.pCommands; p; p = p->pNext) {
            if (left == 0) {
                left = std::max<int32_t>(Seq_CommandEntryCount((int32_t)p->uType), 1);
                if (p->uType == 18)
                    Seq_AddParamListRef((int32_t)p->uParam0);
            }
            left--;
        }
        dst.cSampleState = (int8_t)state;
    }
    g_uInstrumentCount++; // counted as every filled slot is, so clearing it balances
    Seq_RelinkInstrumentNames();
    if (!g_bJamActive)
        g_bSongChanged = 1;
    return 1;
}

namespace {

void ShiftOctave(int32_t slot, int32_t step)
{
    if (!InRange(slot) || Seq_InstrumentSlotFree(slot))
        return;
    const INSTRUMENTSLOT inst = g_aInstrumentSlots[slot];
    const int32_t kind = inst.ucKind + step;
    if (inst.cSampleState != SAMPLE_STATE_LIBRARY || kind < 1 || kind > 3)
        return;
    if (Seq_LoadInstrument(slot, inst.ucKey1, inst.uKey2, inst.uKey3, kind, 0, 0, 1) == 10)
        return;
    for (int32_t id = 1; id <= g_uNoteCount; id++) {
        NOTEENTRY *n = Seq_GetNote(id);
        if (n->uInstrument != slot)
            continue;
        if (step > 0 && n->ucPitch < 60)
            n->ucPitch = (uint8_t)(n->ucPitch + 12);
        else if (step < 0 && n->ucPitch > 11)
            n->ucPitch = (uint8_t)(n->ucPitch - 12);
    }
}

} // namespace

void Seq_InstrumentOctaveUp(int32_t slot)
{
    ShiftOctave(slot, 1);
}

void Seq_InstrumentOctaveDown(int32_t slot)
{
    ShiftOctave(slot, -1);
}

void Seq_ReapplySampleEdits()
{
    if (Snd_OpenSampleEditor(0) != 1)
        return;
    for (int32_t slot = 1; slot <= 200; slot++) {
        INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
        if (Seq_InstrumentSlotFree(slot) || inst.cSampleState >= 0)
            continue;
        inst.cSampleState = (int8_t)-inst.cSampleState;
        Snd_SelectEditInstrument(slot, 0);
        Snd_ReplayEditChain(inst.pCommands, inst.ucCommandCount);
    }
    Snd_CloseSampleEditor();
}
