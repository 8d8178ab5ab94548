// Stand-in for the instrument clean-up until the instrument table is built.
#include "sequencer/instruments.h"

#include <vector>

#include <cstring>

#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "sequencer/standin_songdata.h"


uint8_t Seq_InstrumentCategory(int32_t)
{
    return 255;
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

void Seq_ClearInstrumentSlot(int32_t slot, int32_t freeSample)
{
    if (slot < 0 || slot >= SEQ_INSTRUMENT_SLOTS)
        return;
    INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
    Seq_FreeCommandChain(inst.pCommands);
    SAMPLESLOT *pSample = nullptr;
    if (freeSample && (inst.ucKey1 || inst.uKey2 || inst.uKey3) &&
        Snd_FindSampleById(&pSample, (uint32_t)inst.iSampleId) >= 0)
        Snd_FreeSample(pSample);
    inst = INSTRUMENTSLOT{};
}

void Seq_ClearSampleTable()
{
    std::memset(g_aSamples, 0, sizeof(g_aSamples));
    g_iSampleCount = 0;
}

// Command chains are still allocated one by one (the sample editor's clipboard shares them).
int Seq_CreateCommandEntryPool()
{
    return 0;
}

void Seq_DestroyCommandEntryPool() {}
