// Instrument slot operations on the song: clearing, clean-up, lookups and names.
#include "sequencer/instruments.h"

#include <cstring>
#include <mutex>

#include "audio/mixer.h"
#include "audio/sampleslot.h"
#include "core/mixlock.h"
#include "sequencer/songmodel.h"

uint16_t g_uInstrumentCount;
uint8_t g_ucPendingInstrumentSlot = 201;

namespace {

bool InRange(int32_t slot)
{
    return slot >= 1 && slot <= 200;
}

bool NoteUses(int32_t slot)
{
    for (int32_t id = 1; id <= g_uNoteCount; id++)
        if (Seq_GetNote(id)->uInstrument == slot)
            return true;
    return false;
}

} // namespace

void Seq_PlayInterfaceSound(int32_t n)
{
    Snd_PlayInterfaceSound(n);
}

bool Seq_InstrumentSlotFree(int32_t slot)
{
    if (slot < 0 || slot >= SEQ_INSTRUMENT_SLOTS)
        return true;
    const INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
    return inst.ucKey1 == 0 && inst.uKey2 == 0 && inst.uKey3 == 0;
}

void Seq_ClearInstrument(int32_t slot, int32_t releaseSample, int32_t noUndo)
{
    if (!InRange(slot) || Seq_InstrumentSlotFree(slot))
        return;
    INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
    {
        std::lock_guard<std::recursive_mutex> lock(g_csMix);
        if (releaseSample)
            Seq_RemoveSampleRecord(inst.iSampleId, 1);
        SAMPLESLOT *sample = nullptr;
        if (Snd_FindSampleById(&sample, (uint32_t)inst.iSampleId) >= 0)
            Snd_FreeSample(sample);
        Seq_FreeCommandChain(inst.pCommands);
        inst.pCommands = nullptr;
        inst.ucCommandCount = 0;
    }
    for (int32_t riff = 1; riff < g_uRiffCount;) {
        RIFFENTRY *r = Seq_GetRiff(riff);
        if (r->iUseCount > 0) {
            const int32_t steps = r->ucBars * SEQ_STEPS_PER_BAR;
            for (int32_t t = 0; t < r->ucTracks; t++)
                for (int32_t s = 0; s < steps; s++) {
                    const NOTEENTRY *n = Seq_GetNote(*Seq_RiffCell(Seq_GetRiff(riff), s, t));
                    if (n && n->uInstrument == slot)
                        Seq_ReplaceRiffCell(riff, s, t, 0, noUndo);
                }
            if (!Seq_RiffHasNotes(riff) && riff != g_uCurrentRiff && Seq_ReleaseRiff(riff, 3, 1))
                continue;
        }
        riff++;
    }
    if (g_NoteClipboard.puNotes) {
        const int32_t refs = g_NoteClipboard.ucColour == 1 ? 2 : 1;
        for (int32_t i = 0; i < SEQ_CLIPBOARD_CELLS; i++) {
            const int32_t note = g_NoteClipboard.puNotes[i];
            const NOTEENTRY *n = Seq_GetNote(note);
            if (!n || n->uInstrument != slot)
                continue;
            g_NoteClipboard.puNotes[i] = 0;
            for (int32_t k = 0; k < refs; k++)
                if (Seq_DeleteNote(note, 1, 0))
                    break; // freed: its id now names another note
        }
    }
    inst = INSTRUMENTSLOT{};
    g_abInstrumentMarks[slot] = 0;
    if (slot == g_ucPendingInstrumentSlot)
        g_ucPendingInstrumentSlot = 201;
    if (g_uInstrumentCount)
        g_uInstrumentCount--;
}

void Seq_ClearUnusedInstruments(int32_t mode)
{
    for (int32_t slot = 1; slot <= 200; slot++) {
        if (Seq_InstrumentSlotFree(slot) || NoteUses(slot))
            continue;
        if (mode == 0 && g_aInstrumentSlots[slot].uMark != 0xFFFF)
            continue;
        Seq_ClearInstrument(slot, 1, 1);
    }
}

int32_t Seq_FindLibraryInstrument(int32_t kind, int32_t key1, int32_t key2, int32_t key3)
{
    // Every slot counts (1..200): a library instrument in a high slot is reused, not loaded twice.
    for (int32_t slot = 1; slot <= 200; slot++) {
        const INSTRUMENTSLOT &inst = g_aInstrumentSlots[slot];
        if (Seq_InstrumentSlotFree(slot) || inst.ucKind != kind || inst.ucKey1 != key1 || inst.uKey2 != key2 ||
            inst.uKey3 != key3 || inst.ucKey1 >= 254 || inst.cSampleState != SAMPLE_STATE_LIBRARY)
            continue;
        return slot;
    }
    return 0;
}

int32_t Seq_GetInstrumentKind(int32_t slot)
{
    return InRange(slot) && !Seq_InstrumentSlotFree(slot) ? g_aInstrumentSlots[slot].ucKind : 0;
}

bool Seq_InstrumentHasName(int32_t slot)
{
    return InRange(slot) && !Seq_InstrumentSlotFree(slot) && slot != g_ucPendingInstrumentSlot &&
           g_aInstrumentSlots[slot].pszName && g_aInstrumentSlots[slot].pszName[0];
}

void Seq_GetInstrumentName(int32_t slot, char out[20])
{
    std::memset(out, 0, 20);
    if (Seq_InstrumentHasName(slot))
        std::strncpy(out, g_aInstrumentSlots[slot].pszName, 19);
}

void Seq_RemoveDuplicateInstruments()
{
    for (int32_t a = 1; a <= 200; a++) {
        if (Seq_InstrumentSlotFree(a))
            continue;
        const INSTRUMENTSLOT &keep = g_aInstrumentSlots[a];
        for (int32_t b = a + 1; b <= 200; b++) {
            INSTRUMENTSLOT &other = g_aInstrumentSlots[b];
            if (!Seq_InstrumentSlotFree(b) && other.ucKey1 == keep.ucKey1 && other.uKey2 == keep.uKey2 &&
                other.uKey3 == keep.uKey3)
                other = INSTRUMENTSLOT{};
        }
    }
    g_uInstrumentCount = 0;
    for (int32_t slot = 1; slot <= 200; slot++)
        g_uInstrumentCount += !Seq_InstrumentSlotFree(slot);
}
