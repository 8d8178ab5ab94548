// Empties the song's instruments, command chains, sample table and parameter lists between tests.
#pragma once

#include "sequencer/instruments.h"
#include "sequencer/samples.h"
#include "sequencer/songmodel.h"
#include "video/respages.h"

inline void ClearSongData()
{
    // Library samples go with their resources (whose free takes their records and samples).
    for (int32_t slot = 0; slot < SEQ_INSTRUMENT_SLOTS; slot++)
        if (!Seq_InstrumentSlotFree(slot) && g_aInstrumentSlots[slot].iSampleId > 0 && g_pResPagePool)
            Vid_ReleaseResource(g_aInstrumentSlots[slot].iSampleId);
    for (int32_t slot = 0; slot < SEQ_INSTRUMENT_SLOTS; slot++)
        Seq_ClearInstrumentSlot(slot, 0);
    Seq_ClearSampleTable();
    Seq_CreateCommandEntryPool();
    Seq_ResetSongModel();
    g_uSampleNameCounter = 0;
    g_uInstrumentCount = 0;
    g_ucPendingInstrumentSlot = 201;
}
