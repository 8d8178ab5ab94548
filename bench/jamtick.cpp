// The jam sequencer's step callback on the mix thread: 24 calls per step, with every row holding
// a riff that starts a note on each of its 12 tracks at each step, and 40 held keys.
#include <benchmark/benchmark.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "core/mixlock.h"
#include "jam/jamseq.h"

namespace {

JAMNOTE s_note;
std::vector<uint16_t> s_grid(12 * 16, 1);
RIFFENTRY s_riff;

void Trigger(const RIFFENTRY *, const JAMNOTE *, int32_t c, int32_t mode, int32_t, int32_t, int32_t)
{
    g_aSeqChannels[c].ucOwner = (uint8_t)mode;
    g_aSeqChannels[c].ucLengthLeft = 2;
}
const JAMNOTE *GetNote(int32_t) { return &s_note; }
RIFFENTRY *GetRiff(int32_t)
{
    s_riff.puNotes = s_grid.data();
    return &s_riff;
}
void DefaultNote(JAMNOTE *n) { *n = JAMNOTE{}; }
void ReleaseList(int32_t) {}
void AddRefs(int32_t) {}

void BM_JamTickFullLoad(benchmark::State &state)
{
    g_JamSeqCalls.TriggerNote = Trigger;
    g_JamSeqCalls.GetNote = GetNote;
    g_JamSeqCalls.GetRiff = GetRiff;
    g_JamSeqCalls.FillDefaultNote = DefaultNote;
    g_JamSeqCalls.ReleaseParamList = ReleaseList;
    g_JamSeqCalls.AddRiffNoteRefs = AddRefs;
    s_riff.ucBars = 1;
    s_riff.ucTracks = 12;
    Jam_AllocPlayerLists();
    Jam_AllocState();
    for (int32_t row = 0; row < JAM_ROWS; ++row) {
        Jam_CopyRiffToRow(row, 1);
        g_pJamState->aucRowState[row] = 1;
        Jam_StartPart(2, row);
    }
    for (int32_t slot = 0; slot < 40; ++slot) {
        g_pJamState->aucSlotAssigned[slot] = 1;
        g_pJamState->aucSlotInstrument[slot] = 1;
        g_pJamState->aucSlotTrigger[slot] = 0;
        Jam_StartPart(1, slot);
    }
    std::lock_guard<std::recursive_mutex> hold(g_csMix);
    for (auto _ : state) {
        for (int i = 0; i < 24; ++i) {
            g_iSubStep = g_iSubStep % 24 + 1;
            Jam_Tick();
        }
        // The engine frees what has been released.
        for (int c = 0; c < JAM_CHANNELS; ++c)
            if (g_aSeqChannels[c].ucLengthLeft && --g_aSeqChannels[c].ucLengthLeft == 0)
                g_aSeqChannels[c].ucOwner = 0;
    }
    state.SetLabel("one step of 24 calls");
    Jam_FreeState();
    g_JamSeqCalls = g_JamSeqDefaultCalls;
}
BENCHMARK(BM_JamTickFullLoad);

} // namespace
