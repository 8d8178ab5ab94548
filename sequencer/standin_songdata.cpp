// Stand-ins for the song data until the sequencer is built.
#include "sequencer/standin_songdata.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "audio/sampleslot.h"
#include "sequencer/standin_commands.h"

INSTRUMENTSLOT g_aInstrumentSlots[SEQ_INSTRUMENT_SLOTS];
SAMPLEENTRY g_aSamples[SEQ_MAX_SAMPLES];
int32_t g_iSampleCount = 0;
STANDINNOTE g_aNotes[SEQ_STANDIN_NOTES];
int32_t g_iNoteCount = 0;
int16_t g_iTransposition = 0;
uint16_t g_auPitchTable[SEQ_PITCH_TABLE_SIZE];

namespace {

struct LibrarySample
{
    uint8_t key1;
    uint16_t key2, key3;
    uint8_t path[3];
    char name[8];
    std::vector<int16_t> data;
};

std::vector<LibrarySample> &Library()
{
    static std::vector<LibrarySample> s_library;
    return s_library;
}

struct PitchTableInit
{
    PitchTableInit()
    {
        // Entry 60 x 128 (middle C) plays at the sample's own rate.
        for (int32_t i = 0; i < SEQ_PITCH_TABLE_SIZE; i++) {
            double v = 4096.0 * std::pow(2.0, (i - 60 * 128) / (12.0 * 128.0));
            g_auPitchTable[i] = (uint16_t)(v > 65535.0 ? 65535.0 : v);
        }
    }
} s_pitchTableInit;

} // namespace

int32_t Seq_AddSampleRecord(uint32_t bytes)
{
    if (g_iSampleCount >= SEQ_MAX_SAMPLES)
        return -1;
    SAMPLEENTRY &entry = g_aSamples[g_iSampleCount];
    entry = SAMPLEENTRY{};
    entry.uLength = bytes / 2;
    return g_iSampleCount++;
}

void Seq_RemoveSampleRecord(int32_t sampleId, int32_t)
{
    for (int32_t i = 0; i < g_iSampleCount; i++) {
        if (g_aSamples[i].iSampleId != sampleId)
            continue;
        std::memmove(&g_aSamples[i], &g_aSamples[i + 1], sizeof(SAMPLEENTRY) * (size_t)(g_iSampleCount - i - 1));
        g_iSampleCount--;
        for (INSTRUMENTSLOT &inst : g_aInstrumentSlots) {
            if (inst.ucKey1 != 255)
                continue; // named by the library
            inst.pszName = nullptr;
            for (int32_t k = 0; k < g_iSampleCount; k++)
                if (g_aSamples[k].iSampleId == inst.iSampleId)
                    inst.pszName = g_aSamples[k].szName;
        }
        return;
    }
}

int32_t Seq_AllocInstrumentSlot()
{
    for (int32_t i = 1; i < SEQ_NO_INSTRUMENT; i++) {
        INSTRUMENTSLOT &inst = g_aInstrumentSlots[i];
        if (inst.ucMark || inst.ucKey1 || inst.uKey2 || inst.uKey3)
            continue;
        inst = INSTRUMENTSLOT{};
        inst.ucMark = 1;
        return i;
    }
    return SEQ_NO_INSTRUMENT;
}

int32_t Seq_NewSampleId()
{
    for (int32_t n = 0; n <= 200; n++) {
        bool taken = false;
        for (int32_t i = 0; i < g_iSampleCount && !taken; i++)
            taken = g_aSamples[i].iSampleId == -(n + 1);
        if (!taken)
            return -(n + 1);
    }
    return 0;
}

void Seq_AddInstrumentCommand(int32_t slot, uint32_t type, uint32_t param0, uint32_t param1)
{
    if (slot < 0 || slot >= SEQ_INSTRUMENT_SLOTS)
        return;
    INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
    auto *pEntry = (COMMANDENTRY *)calloc(1, sizeof(COMMANDENTRY));
    if (!pEntry)
        return;
    pEntry->uParam0 = param0;
    pEntry->uParam1 = param1;
    pEntry->uType = type;
    if (!inst.pCommands) {
        inst.pCommands = pEntry;
        inst.ucChainCount++;
    } else {
        COMMANDENTRY *p = inst.pCommands;
        while (p->pNext)
            p = p->pNext;
        p->pNext = pEntry;
    }
    inst.uCommandCount++;
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
    free(*pp);
    *pp = nullptr;
    if (inst.uCommandCount)
        inst.uCommandCount--;
    if (!inst.pCommands && inst.ucChainCount)
        inst.ucChainCount--;
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
        free(pFirst);
        pFirst = pNext;
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

int Seq_LoadInstrument(int32_t slot, uint8_t key1, uint16_t key2, uint16_t key3, uint8_t, uint32_t)
{
    if (slot < 0 || slot >= SEQ_INSTRUMENT_SLOTS)
        return -1;
    const LibrarySample *pFound = nullptr;
    for (const LibrarySample &s : Library())
        if (s.key1 == key1 && s.key2 == key2 && s.key3 == key3)
            pFound = &s;
    if (!pFound)
        return -1;
    INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
    SAMPLESLOT *pOld = nullptr;
    if (inst.iSampleId && Snd_FindSampleById(&pOld, (uint32_t)inst.iSampleId) >= 0)
        Snd_FreeSample(pOld);
    Seq_RemoveSampleRecord(inst.iSampleId, 1);
    Seq_FreeCommandChain(inst.pCommands);
    inst.pCommands = nullptr;
    inst.uCommandCount = 0;
    inst.ucChainCount = 0;

    SAMPLESLOT *pSlot = nullptr;
    uint32_t bytes = (uint32_t)pFound->data.size() * 2;
    if (Snd_LoadSample(&pSlot, pFound->name, pFound->data.data(), bytes, SAMPLE_FORMAT_RAW_MEMORY) != 0)
        return -1;
    static int32_t s_iNextId = 1000;
    pSlot->uSampleId = (uint32_t)++s_iNextId;
    int32_t index = Seq_AddSampleRecord(bytes);
    if (index >= 0) {
        g_aSamples[index].iSampleId = s_iNextId;
        g_aSamples[index].pData = (int16_t *)pSlot->pData;
    }
    inst.iSampleId = s_iNextId;
    inst.ucKey1 = key1;
    inst.uKey2 = key2;
    inst.uKey3 = key3;
    std::memcpy(inst.aucLibPath, pFound->path, 3);
    std::memcpy(inst.achLibName, pFound->name, 8);
    return 0;
}

void Seq_AskForDisc(int32_t)
{
}

void Seq_StandinAddLibrarySample(uint8_t key1, uint16_t key2, uint16_t key3, const uint8_t path[3],
                                 const char name[8], const int16_t *pData, uint32_t frames)
{
    LibrarySample s{};
    s.key1 = key1;
    s.key2 = key2;
    s.key3 = key3;
    std::memcpy(s.path, path, 3);
    std::memcpy(s.name, name, 8);
    s.data.assign(pData, pData + frames);
    Library().push_back(std::move(s));
}

int Seq_StandinFindLibrarySample(const uint8_t path[3], const char name[8], uint16_t aIndex[4], uint32_t *pSize)
{
    for (const LibrarySample &s : Library()) {
        if (std::memcmp(s.path, path, 3) || std::memcmp(s.name, name, 8))
            continue;
        aIndex[0] = s.key1;
        aIndex[1] = s.key2;
        aIndex[2] = s.key3;
        aIndex[3] = 9;
        if (pSize)
            *pSize = (uint32_t)s.data.size() * 2 + 48;
        return 0;
    }
    return -1;
}

void Seq_StandinClearSongData()
{
    for (INSTRUMENTSLOT &inst : g_aInstrumentSlots) {
        Seq_FreeCommandChain(inst.pCommands);
        inst = INSTRUMENTSLOT{};
    }
    g_iSampleCount = 0;
    g_uSampleNameCounter = 0;
    g_iNoteCount = 0;
    Library().clear();
    Seq_ClearParamLists();
}
