#include "jam/jamseq.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "audio/mixer.h"
#include "core/mixlock.h"
#include "core/soundlib.h"
#include "jam/jamchannel.h"
#include "jam/jamnet.h"
#include "jam/jamplay.h"
#include "jam/jamsession.h"
#include "sequencer/clock.h"
#include "sequencer/playback.h"
#include "sequencer/undo.h"
#include "sequencer/samples.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songfile.h"
#include "sequencer/songmodel.h"

JAMSTATE *g_pJamState;
JAMPLAYERROW g_aJamPlayerRows[JAM_PLAYERS];
uint8_t g_aJamSlotPan[JAM_EVENT_SLOTS][4];
std::atomic<int32_t> g_iJamStep;
std::atomic<int32_t> g_iJamPhraseStep;
std::atomic<int32_t> g_iJamPhraseBar;
std::atomic<int32_t> g_iJamBar;
std::atomic<int32_t> g_iJamCurrentRow;
int32_t g_iJamPendingRiff = -1;
int32_t g_iJamPendingInstrument = -1;
int32_t g_bNetJamImmediate = 1;
std::atomic<uint32_t> g_uJamBarEnds;
std::atomic<uint32_t> g_uJamPhraseEnds;

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr auto kAcq = std::memory_order_acquire;
constexpr auto kRel = std::memory_order_release;

bool IsRowOwner(int32_t owner) { return owner >= 0 && owner < JAM_ROWS; }
bool IsSlotOwner(int32_t owner) { return owner >= JAM_OWNER_SLOT && owner < JAM_OWNER_SLOT + JAM_EVENT_SLOTS; }
bool IsRow(int32_t row) { return row >= 0 && row < JAM_ROWS; }
bool IsSlot(int32_t slot) { return slot >= 0 && slot < JAM_EVENT_SLOTS; }

int32_t RowBars(const JAMROW &r) { return r.Riff.ucBars < 1 ? 1 : r.Riff.ucBars > 8 ? 8 : r.Riff.ucBars; }
int32_t RowTracks(const JAMROW &r) { return r.Riff.ucTracks > 12 ? 12 : r.Riff.ucTracks; }

// The level ramp of a row's channels: start and total change, scaled by the row volume.
void RowRamp(const JAMSTATE *s, int32_t row, int32_t *start, int32_t *delta)
{
    const int32_t vol = s->aucRowVolume[row].load();
    const int32_t a = s->aRows[row].Riff.ucStartLevel, b = s->aRows[row].Riff.ucEndLevel;
    *start = a * 1024 * vol / 255;
    *delta = (b - a) * 1024 * vol / 255;
}

void ClearRowCopy(JAMROW &r)
{
    uint16_t *grid = r.pGrid;
    std::memset(&r.Riff, 0, sizeof r.Riff);
    if (grid)
        std::memset(grid, 0, JAM_ROW_GRID_CELLS * sizeof(uint16_t));
    r.Riff.puNotes = grid;
}

// Stops and unloads the local player's audition row.
void FreeAuditionEntry()
{
    int32_t &row = g_aJamPlayerRows[JAM_LOCAL_PLAYER].aiRiffRow[JAM_RIFF_KEYS];
    if (IsRow(row)) {
        Jam_StopPart(2, row);
        Jam_UnloadRow(row);
    }
    row = -1;
    // The instruments a library riff brought for the audition go with it.
    Jam_ReleaseRiffInstrumentList(JAM_LOCAL_PLAYER, JAM_RIFF_KEYS);
}

// ---- Default calls ----

void CallTrigger(const RIFFENTRY *riff, const JAMNOTE *note, int32_t c, int32_t mode, int32_t step, int32_t track,
                 int32_t plugin)
{
    Seq_TriggerNote(riff, note, c, mode, step, track, plugin);
}
int CallStopVoice(int32_t v) { return Snd_StopVoiceIndex(v); }
int32_t CallReverb(int32_t on, int32_t voice) { return Sys_SetVoiceReverb(on, voice); }
void CallStartClock() { Seq_StartClock(); }
void CallSetTempo(int32_t bpm)
{
    std::lock_guard<std::recursive_mutex> hold(g_csMix); // the clock reads tempo and step length
    Seq_SetTempo(bpm);
}
void CallFreeUndo() { Seq_FreeUndoLog(); }
void CallReleaseList(int32_t id) { Seq_ReleaseParamList(id); }
int32_t CallRiffCount() { return g_uRiffCount; }
const JAMNOTE *CallGetNote(int32_t id) { return Seq_GetNote(id); }
int32_t CallRiffOwner(int32_t id)
{
    const RIFFENTRY *r = Seq_GetRiff(id);
    return r ? r->iListMark : -1;
}
int32_t CallLoadInstrument(int32_t slot, uint32_t k1, uint32_t k2, uint32_t k3, int32_t kind)
{
    const int32_t result = Seq_LoadInstrument(slot, (int32_t)k1, (int32_t)k2, (int32_t)k3, kind, 0, 1, 1);
    if (result == 10)
        return 10;
    // Another slot already held it: the one allocated for it goes back.
    if (g_iFoundInstrumentSlot >= 1 && g_iFoundInstrumentSlot != slot && Seq_InstrumentSlotFree(slot))
        g_aInstrumentSlots[slot] = INSTRUMENTSLOT{};
    if (g_iFoundInstrumentSlot < 1)
        g_iFoundInstrumentSlot = slot;
    return 0;
}
// A library riff for a riff key or an audition: the riff library reads it from the archive and
// takes the mix lock only to install it. The jam copies it into a row and releases it at once, so
// it never becomes the editor's riff in hand, and the same riff asked for twice loads twice.
int32_t CallLoadLibraryRiff(int32_t directory, int32_t a, int32_t b, int32_t c, void *)
{
    const uint16_t inHand = g_uLibraryRiff;
    std::memset(g_auLibraryRiffKey, 0, sizeof g_auLibraryRiffKey);
    const int32_t loaded = Seq_LoadLibraryRiffLocal(directory, a, b, c);
    const int32_t id = loaded == 1 ? g_uLibraryRiff : 0;
    g_uLibraryRiff = inHand;
    std::memset(g_auLibraryRiffKey, 0, sizeof g_auLibraryRiffKey);
    return id;
}
int32_t CallIsLibrary(int32_t slot)
{
    // Key 1 of 254 or 255, or no keys, marks the song's own sample, never a library one.
    const INSTRUMENTSLOT &i = g_aInstrumentSlots[slot];
    if (Seq_InstrumentSlotFree(slot) || i.ucKey1 >= 254)
        return 0;
    return (i.ucKey1 || i.uKey2 || i.uKey3) ? 1 : 0;
}
uint8_t CallUses(int32_t slot)
{
    return slot >= 1 && slot <= 200 ? g_aInstrumentSlots[slot].ucUseCount : 0;
}
void CallSetUses(int32_t slot, uint8_t n)
{
    if (slot >= 1 && slot <= 200)
        g_aInstrumentSlots[slot].ucUseCount = n;
}

} // namespace

const JAMSEQCALLS g_JamSeqDefaultCalls = {
    .TriggerNote = CallTrigger,
    .StopVoice = CallStopVoice,
    .SetVoiceReverb = CallReverb,
    .StartClock = CallStartClock,
    .SetTempo = CallSetTempo,
    .FreeUndoLog = CallFreeUndo,
    .FillDefaultNote = Seq_FillDefaultNote,
    .ReleaseParamList = CallReleaseList,
    .RiffCount = CallRiffCount,
    .GetRiff = Seq_GetRiff,
    .GetNote = CallGetNote,
    .RiffOwner = CallRiffOwner,
    .AddRiffNoteRefs = Seq_AddRiffNoteRefs,
    .ReleaseRiff = Seq_ReleaseRiff,
    .ReleaseNote = Seq_DeleteNote,
    .LoadLibraryRiff = CallLoadLibraryRiff,
    .AllocInstrumentSlot = Seq_AllocInstrumentSlot,
    .LoadInstrument = CallLoadInstrument,
    .ReleaseInstrument = Seq_ReleaseInstrument,
    .ClearInstrument = Seq_ClearInstrument,
    .InstrumentKind = Seq_GetInstrumentKind,
    .InstrumentIsLibrary = CallIsLibrary,
    .InstrumentUses = CallUses,
    .SetInstrumentUses = CallSetUses,
};
JAMSEQCALLS g_JamSeqCalls = g_JamSeqDefaultCalls;

// ---- State ----

void Jam_ClearPlayerRows()
{
    for (JAMPLAYERROW &pr : g_aJamPlayerRows) {
        for (auto &v : pr.aiKeyboardSlot) v = -1;
        for (auto &v : pr.aiPadSlot) v = -1;
        for (auto &v : pr.aiRiffRow) v = -1;
        for (auto &v : pr.aRiffInstruments) v.clear();
        for (auto &v : pr.aiPluginSlot) v = -1;
        std::memset(pr.aucBarLevel, 0, sizeof pr.aucBarLevel);
        std::memset(pr.aucBarTarget, 0, sizeof pr.aucBarTarget);
    }
}

int32_t Jam_AllocState()
{
    if (g_pJamState)
        return -1; // one jam at a time
    JAMSTATE *s = new (std::nothrow) JAMSTATE();
    if (!s)
        return -1;
    for (JAMROW &r : s->aRows) {
        r.pGrid = (uint16_t *)std::calloc(JAM_ROW_GRID_CELLS, sizeof(uint16_t));
        if (!r.pGrid) {
            for (JAMROW &f : s->aRows)
                std::free(f.pGrid);
            delete s;
            return -1;
        }
    }
    {
        Lock hold(g_csMix);
        g_bJamActive = 1;
    }
    g_JamSeqCalls.FreeUndoLog();
    g_pJamState = s;
    if (g_JamSetups[0].ucState == 0)
        g_JamSetups[0].ucState = 2;
    Jam_InitState();
    Jam_RestartClock();
    Lock hold(g_csMix);
    g_pfnSeqChannelAlloc = Jam_AllocChannel;
    return 0;
}

void Jam_InitState()
{
    JAMSTATE *s = g_pJamState;
    if (!s)
        return;
    Lock hold(g_csMix);
    for (int32_t slot = 1; slot <= 200; ++slot)
        if (g_JamSeqCalls.InstrumentIsLibrary(slot)) {
            Jam_AppendInstrumentId(JAM_LOCAL_PLAYER, (uint16_t)slot);
            g_JamSeqCalls.SetInstrumentUses(slot, 1);
        }
    for (int32_t i = 0; i < JAM_EVENT_SLOTS; ++i) {
        g_JamSeqCalls.FillDefaultNote(&s->aSlotNotes[i]);
        s->aSlotNotes[i].ucLength = JAM_SLOT_LENGTH;
        s->aucSlotTrigger[i] = JAM_TRIGGER_UNASSIGNED;
        s->aucSlotChannel[i] = JAM_NO_CHANNEL;
        s->aucSlotAssigned[i] = 0;
        s->aucSlotReleased[i] = 1;
        s->aucSlotInstrument[i] = 0;
        s->aucSlotPan[i] = 128;
        s->aiSlotPlugin[i] = -1;
        g_aJamSlotPan[i][0] = 0;
        g_aJamSlotPan[i][2] = 255;
    }
    for (int32_t r = 0; r < JAM_ROWS; ++r) {
        s->aucRowState[r] = 0;
        s->aucRowMute[r] = 1;
        for (auto &c : s->aucRowChannels[r])
            c = JAM_NO_CHANNEL;
        ClearRowCopy(s->aRows[r]);
        s->aiRowPlugin[r] = -1;
    }
    for (auto &o : s->aiChannelOwner)
        o = -1;
    for (int32_t i = 0; i < 4; ++i)
        Jam_SetSetupState(i, i < 3 ? 2 : 0);
    Jam_ClearPlayerRows();
    g_iJamPendingRiff = -1;
    g_iJamPendingInstrument = -1;
    g_iJamCurrentRow = 0;
}

void Jam_FreeState()
{
    JAMSTATE *s = g_pJamState;
    {
        // After this no tick sees the state.
        Lock hold(g_csMix);
        g_pfnSeqStep = Seq_StepIdle;
        g_pfnSeqChannelAlloc = Seq_AllocChannel;
        g_bJamActive = 0;
        g_pJamState = nullptr;
    }
    if (s) {
        for (JAMROW &r : s->aRows)
            std::free(r.pGrid);
        for (JAMNOTE &n : s->aSlotNotes) {
            g_JamSeqCalls.ReleaseParamList(n.uListA);
            g_JamSeqCalls.ReleaseParamList(n.uListB);
            g_JamSeqCalls.ReleaseParamList(n.uListC);
        }
        delete s;
    }
    Jam_FreePlayerLists();
    for (int32_t p = 0; p < JAM_PLAYERS; ++p)
        Jam_ReleasePlayerMusic(p);
}

void Jam_ReleasePlayerMusic(int32_t player)
{
    // Later ids move down after a release, so the same id is looked at again.
    for (int32_t id = 1; id < g_JamSeqCalls.RiffCount();) {
        if (g_JamSeqCalls.RiffOwner(id) == player)
            g_JamSeqCalls.ReleaseRiff(id, 3, 1);
        else
            ++id;
    }
    for (int32_t slot = 1; slot <= 200; ++slot)
        if (g_JamSeqCalls.InstrumentIsLibrary(slot) && g_JamSeqCalls.InstrumentUses(slot))
            g_JamSeqCalls.ClearInstrument(slot, 1, 1);
}

void Jam_RestartClock()
{
    g_JamSeqCalls.StartClock();
    g_JamSeqCalls.SetVoiceReverb(0, 0xFFFFFF);
    g_JamSeqCalls.SetTempo(g_uTempo);
    Jam_ResetRowSteps();
}

void Jam_ResetRowSteps()
{
    JAMSTATE *s = g_pJamState;
    if (s)
        for (auto &step : s->aiRowStep)
            step = 0;
    g_iJamStep = 0;
}

void Jam_SetSetupState(int32_t setup, uint8_t state)
{
    if (setup < 0 || setup >= 4)
        return;
    g_JamSetups[setup].ucState = state;
    g_JamSetups[setup].ucSelection = 0;
}

// ---- The tick ----

void Jam_Tick()
{
    JAMSTATE *s = g_pJamState;
    if (!s)
        return;

    // Event slots: a note requested and not yet sounding gets a channel.
    for (int32_t slot = 0; slot < JAM_EVENT_SLOTS; ++slot) {
        if (s->aucSlotTrigger[slot].load(kAcq) != JAM_TRIGGER_ON || s->aucSlotChannel[slot] != JAM_NO_CHANNEL)
            continue;
        const int32_t c = Jam_AllocChannel(JAM_OWNER_SLOT + slot, 3, 0);
        if (c == JAM_NO_CHANNEL) {
            s->aucSlotTrigger[slot] = JAM_TRIGGER_IDLE; // dropped: the key must be pressed again
            continue;
        }
        Jam_DropSlotsOnChannel(c);
        s->aucSlotChannel[slot] = (uint8_t)c;
        s->aucSlotReleased[slot] = 0;
        JamCh_SetMute(c, 0);
        JamCol_SetRamp(c, s->aucSlotLevel[slot] * 1024, 0);
        s->aiChannelOwner[c] = JAM_OWNER_SLOT + slot;
        JAMNOTE &note = s->aSlotNotes[slot];
        note.ucLevel = 255;
        note.uInstrument = s->aucSlotInstrument[slot];
        const uint8_t pan = s->aucSlotPan[slot];
        g_aJamSlotPan[slot][1] = pan;
        g_aJamSlotPan[slot][3] = pan;
        g_JamSeqCalls.TriggerNote(nullptr, &note, c, JAM_MODE_SLOT, 0, 0, s->aiSlotPlugin[slot]);
        JamCh_SetPan(c, pan * 256, g_aJamSlotPan[slot]);
    }

    if (g_iSubStep != 12 && g_iSubStep != 24)
        return;

    // Rows: one jam step. Every row's counter runs, muted or not, so all stay in step.
    for (int32_t row = 0; row < JAM_ROWS; ++row) {
        if (s->aucRowState[row].load(kAcq) == 1) {
            const JAMROW &r = s->aRows[row];
            const int32_t len = RowBars(r) * JAM_BAR_STEPS;
            const int32_t p = ((s->aiRowStep[row] % len) + len) % len;
            for (int32_t t = 0; t < RowTracks(r); ++t) {
                const uint16_t id = r.pGrid[t * len + p];
                if (!id)
                    continue;
                const int32_t c = Jam_AllocChannel(row, 4, t);
                g_iJamCurrentRow = row;
                if (c == JAM_NO_CHANNEL)
                    continue;
                if (IsSlotOwner(s->aiChannelOwner[c]))
                    Jam_DropSlotsOnChannel(c);
                s->aiChannelOwner[c] = row;
                s->aiChannelTrack[c] = t;
                s->aucRowChannels[row][t] = (uint8_t)c;
                JamCol_SetPosition(c, len - p, RowBars(r) * 64);
                int32_t start, delta;
                RowRamp(s, row, &start, &delta);
                JamCol_SetRamp(c, start, delta);
                JamCh_SetMute(c, s->aucRowMute[row]);
                const JAMNOTE *note = g_JamSeqCalls.GetNote(id);
                if (note)
                    g_JamSeqCalls.TriggerNote(&r.Riff, note, c, JAM_MODE_KEYED, p, t, s->aiRowPlugin[row]);
                // The row pitch goes onto the note just started only; the row's other channels
                // already carry it.
                JamCh_AddPitch(c, s->aiRowPitch[row] * 128);
            }
        }
        s->aiRowStep[row]++;
    }

    const int32_t step = ++g_iJamStep;
    if (step % JAM_BAR_STEPS == 0)
        Jam_EndBar();
    if (step == g_iJamPhraseStep + JAM_PHRASE_STEPS)
        Jam_EndPhrase();
}

void Jam_EndBar()
{
    ++g_iJamBar;
    g_uJamBarEnds.fetch_add(1, kRel);
}

void Jam_EndPhrase()
{
    g_iJamPhraseStep = g_iJamStep.load();
    g_iJamPhraseBar = g_iJamBar.load();
    Jam_SnapshotPhraseClock();
    g_uJamPhraseEnds.fetch_add(1, kRel);
}

int32_t Jam_AllocChannel(int32_t requester, int32_t kind, int32_t track)
{
    JAMSTATE *s = g_pJamState;
    if (!s)
        return JAM_NO_CHANNEL;
    if (kind == 4 && IsRow(requester) && track >= 0 && track < 12) {
        const uint8_t c = s->aucRowChannels[requester][track];
        if (c != JAM_NO_CHANNEL)
            return c;
    }
    const int32_t current = g_iJamCurrentRow;
    int32_t found = -1, layer = -1, finished = -1, steal = -1;
    int32_t minLevel = INT_MAX, maxDelay = -1;
    for (int32_t c = 0; c < JAM_CHANNELS; ++c) {
        if (JamCh_JustTriggered(c))
            continue;
        const uint8_t mode = JamCh_Mode(c);
        if (mode == JAM_MODE_FREE && kind != 2) {
            found = c;
            break;
        }
        if (mode == JAM_MODE_LAYER) {
            if (JamCh_Level(c) < minLevel) {
                minLevel = JamCh_Level(c);
                layer = c;
            }
            if (JamCh_Delay(c) > maxDelay) {
                maxDelay = JamCh_Delay(c);
                layer = c;
            }
        }
        const int32_t owner = s->aiChannelOwner[c];
        if (IsSlotOwner(owner) && JamCh_LengthLeft(c) == 0)
            finished = c;
        const bool stealable = (IsSlotOwner(owner) && s->aucSlotReleased[owner - JAM_OWNER_SLOT]) ||
                               (IsRowOwner(owner) && s->aucRowMute[owner]);
        if (stealable && (steal < 0 || !IsRowOwner(s->aiChannelOwner[steal])))
            steal = c;
    }
    if (found < 0) {
        const bool rowSteal = steal >= 0 && IsRowOwner(s->aiChannelOwner[steal]);
        if (steal >= 0 && !rowSteal)
            found = steal;
        else if (finished >= 0)
            found = finished;
        else if (rowSteal && (kind == 3 || (kind == 4 && IsRow(requester) && !s->aucRowMute[requester]) ||
                              (kind == 2 && IsRow(current) && !s->aucRowMute[current])))
            found = steal;
        else {
            if (kind == 3 && steal < 0) {
                int32_t least = 128;
                for (int32_t c = 0; c < JAM_CHANNELS; ++c)
                    if (!JamCh_JustTriggered(c) && JamCh_Mode(c) == JAM_MODE_KEYED && JamCh_LengthLeft(c) < least) {
                        least = JamCh_LengthLeft(c);
                        found = c;
                    }
            }
            if (found < 0)
                found = layer;
        }
    }
    if (found < 0)
        return JAM_NO_CHANNEL;
    const int32_t owner = s->aiChannelOwner[found];
    const int32_t t = s->aiChannelTrack[found];
    if (IsRowOwner(owner) && t >= 0 && t < 12)
        s->aucRowChannels[owner][t] = JAM_NO_CHANNEL;
    if (kind == 2) {
        JamCh_ClearLevel(found);
        JamCh_SetMute(found, IsRow(current) ? s->aucRowMute[current].load() : 0);
        s->aiChannelOwner[found] = current | JAM_OWNER_LAYER;
    }
    return found;
}

// ---- Parts ----

void Jam_DropSlotsOnChannel(int32_t channel)
{
    JAMSTATE *s = g_pJamState;
    if (!s)
        return;
    for (int32_t slot = 0; slot < JAM_EVENT_SLOTS; ++slot)
        if (s->aucSlotChannel[slot] == channel) {
            s->aucSlotTrigger[slot] = JAM_TRIGGER_IDLE;
            s->aucSlotChannel[slot] = JAM_NO_CHANNEL;
        }
}

void Jam_StartPart(int32_t kind, int32_t index)
{
    JAMSTATE *s = g_pJamState;
    if (!s)
        return;
    if (kind == 1 && IsSlot(index)) {
        if (s->aucSlotTrigger[index] == JAM_TRIGGER_UNASSIGNED)
            return;
        s->aucSlotReleased[index] = 0;
        s->aucSlotTrigger[index].store(JAM_TRIGGER_ON, kRel);
    } else if (kind == 2 && IsRow(index)) {
        Jam_SetRowMute(index, 0);
    }
}

void Jam_StopPart(int32_t kind, int32_t index)
{
    JAMSTATE *s = g_pJamState;
    if (!s)
        return;
    if (kind == 1 && IsSlot(index)) {
        Lock hold(g_csMix);
        const uint8_t c = s->aucSlotChannel[index];
        if (s->aucSlotTrigger[index] != JAM_TRIGGER_UNASSIGNED) {
            if (c != JAM_NO_CHANNEL)
                JamCh_SetMute(c, 1);
            s->aucSlotTrigger[index] = JAM_TRIGGER_IDLE;
        }
        if (c != JAM_NO_CHANNEL) {
            JamCh_SetLengthLeft(c, 0); // releases on the next step
            s->aiChannelOwner[c] = -1;
        }
        s->aucSlotReleased[index] = 1;
        s->aucSlotChannel[index] = JAM_NO_CHANNEL;
    } else if (kind == 2 && IsRow(index)) {
        Jam_SetRowMute(index, 1);
    }
}

void Jam_SetRowMute(int32_t row, int32_t mute)
{
    JAMSTATE *s = g_pJamState;
    if (!s || !IsRow(row))
        return;
    Lock hold(g_csMix);
    s->aucRowMute[row] = (uint8_t)mute;
    for (int32_t t = 0; t < 12; ++t) {
        const uint8_t c = s->aucRowChannels[row][t];
        if (c != JAM_NO_CHANNEL)
            JamCh_SetMute(c, (uint8_t)mute);
    }
    for (int32_t c = 0; c < JAM_CHANNELS; ++c)
        if (s->aiChannelOwner[c] == (row | JAM_OWNER_LAYER))
            JamCh_SetMute(c, (uint8_t)mute);
}

void Jam_AddRowPitch(int32_t row, int32_t delta)
{
    JAMSTATE *s = g_pJamState;
    if (!s || !IsRow(row))
        return;
    Lock hold(g_csMix);
    int32_t start, change;
    RowRamp(s, row, &start, &change);
    auto apply = [&](int32_t c) {
        JamCh_AddPitch(c, delta);
        JamCol_SetRamp(c, start, change);
    };
    for (int32_t t = 0; t < 12; ++t) {
        const uint8_t c = s->aucRowChannels[row][t];
        if (c != JAM_NO_CHANNEL)
            apply(c);
    }
    for (int32_t c = 0; c < JAM_CHANNELS; ++c)
        if (s->aiChannelOwner[c] == (row | JAM_OWNER_LAYER))
            apply(c);
}

void Jam_ReleaseRowNote(int32_t id)
{
    JAMSTATE *s = g_pJamState;
    if (!s || id <= 0)
        return;
    Lock hold(g_csMix);
    if (g_JamSeqCalls.ReleaseNote(id, 1, 0) != 1)
        return;
    // The note is gone and later ids moved down: every row in use follows.
    for (int32_t r = 0; r < JAM_ROWS; ++r) {
        if (s->aucRowState[r] != 1)
            continue;
        uint16_t *grid = s->aRows[r].pGrid;
        for (int32_t i = 0; i < JAM_ROW_GRID_CELLS; ++i) {
            if (grid[i] == id)
                grid[i] = 0;
            else if (grid[i] > id)
                --grid[i];
        }
    }
}

void Jam_UnloadRow(int32_t row)
{
    JAMSTATE *s = g_pJamState;
    if (!s || !IsRow(row))
        return;
    Lock hold(g_csMix);
    if (s->aucRowState[row] == 1) {
        const uint16_t *grid = s->aRows[row].pGrid;
        for (int32_t i = 0; i < JAM_ROW_GRID_CELLS; ++i)
            if (grid[i])
                Jam_ReleaseRowNote(grid[i]);
    }
    s->aucRowState[row] = 0;
}

int32_t Jam_FindFreeSlot()
{
    JAMSTATE *s = g_pJamState;
    if (s)
        for (int32_t i = 0; i < JAM_EVENT_SLOTS; ++i)
            if (!s->aucSlotAssigned[i])
                return i;
    return -1;
}

int32_t Jam_FindFreeChannel()
{
    JAMSTATE *s = g_pJamState;
    if (s)
        for (int32_t r = 0; r < JAM_ROWS; ++r)
            if (s->aucRowState[r] == 0)
                return r;
    return -1;
}

int32_t Jam_FindInstrumentSlot(uint32_t key1, uint32_t key2, uint32_t key3, int32_t kind, const char *name)
{
    for (int32_t slot = 1; slot <= 200; ++slot) {
        const INSTRUMENTSLOT &i = g_aInstrumentSlots[slot];
        if (i.ucKey1 != key1 || i.uKey2 != key2)
            continue;
        if (name ? std::memcmp(i.achArchiveName, name, 8) == 0
                 : (i.uKey3 == key3 && g_JamSeqCalls.InstrumentKind(slot) == kind))
            return slot;
    }
    return 0;
}

int32_t Jam_CopyRiffToRow(int32_t row, int32_t riff)
{
    JAMSTATE *s = g_pJamState;
    const RIFFENTRY *src = g_JamSeqCalls.GetRiff(riff);
    if (!s || !IsRow(row) || !src || !src->puNotes || s->aucRowState[row] != 0)
        return -1;
    const int32_t bars = src->ucBars < 1 ? 1 : src->ucBars > 8 ? 8 : src->ucBars;
    const int32_t tracks = src->ucTracks > 12 ? 12 : src->ucTracks;
    JAMROW &r = s->aRows[row];
    {
        // The tick does not read a free row, but a note release may renumber grids meanwhile.
        Lock hold(g_csMix);
        ClearRowCopy(r);
        std::memcpy(&r.Riff, src, RIFF_HEAD_BYTES);
        r.Riff.puNotes = r.pGrid;
        r.Riff.ucBars = (uint8_t)bars;
        r.Riff.ucTracks = (uint8_t)tracks;
        std::memcpy(r.pGrid, src->puNotes, (size_t)tracks * bars * JAM_BAR_STEPS * sizeof(uint16_t));
        g_JamSeqCalls.AddRiffNoteRefs(riff);
    }
    return row;
}

// ---- Auditions ----

int32_t Jam_AddRiffSlot(int32_t riff, int32_t a, int32_t b, int32_t player, int32_t index, int32_t mySlot)
{
    JAMSTATE *s = g_pJamState;
    if (!s)
        return -1;
    if (g_iJamPendingRiff >= 0) {
        FreeAuditionEntry();
        Jam_UnloadRow(g_iJamPendingRiff);
        g_iJamPendingRiff = -1;
    }
    const int32_t row = Jam_FindFreeChannel();
    if (row < 0)
        return -1;
    s->aiRowStep[row] = g_iJamStep + (g_bNetJamImmediate ? 0 : JAM_PHRASE_STEPS);
    if (riff == 0) {
        int32_t id = 0;
        if (player == mySlot)
            id = index >= 1 && index <= g_uRiffListCount ? g_auRiffList[index] : 0;
        else
            id = Jam_RiffListEntry(player, (uint32_t)index);
        if (Jam_CopyRiffToRow(row, id) < 0)
            return -1;
    } else {
        std::memset(g_abInstrumentMarks, 0, sizeof g_abInstrumentMarks);
        const int32_t id = g_JamSeqCalls.LoadLibraryRiff(0, riff, a, b, g_pJamScratch);
        if (id <= 0)
            return -1;
        const int32_t copied = Jam_CopyRiffToRow(row, id);
        g_JamSeqCalls.ReleaseRiff(id, 0, 1);
        // The audition holds the instruments the load brought until it is replaced or cancelled.
        Jam_BuildRiffInstrumentListFromMarks(JAM_LOCAL_PLAYER, JAM_RIFF_KEYS);
        if (copied < 0) {
            Jam_ReleaseRiffInstrumentList(JAM_LOCAL_PLAYER, JAM_RIFF_KEYS);
            return -1;
        }
    }
    s->aRows[row].Riff.iUseCount++;
    s->aucRowVolume[row] = 255;
    s->aucRowMute[row] = 1;
    s->aucRowState[row].store(1, kRel); // the copy is complete: the tick may play it
    g_iJamPendingRiff = row;
    g_aJamPlayerRows[JAM_LOCAL_PLAYER].aiRiffRow[JAM_RIFF_KEYS] = row;
    Jam_StartPart(2, row);
    return row;
}

void Jam_CancelPendingRiff()
{
    const int32_t row = g_iJamPendingRiff;
    if (!g_pJamState || row < 0)
        return;
    Jam_StopPart(2, row);
    FreeAuditionEntry();
    Jam_UnloadRow(row);
    g_iJamPendingRiff = -1;
}

int32_t Jam_AddInstrumentSlot(uint32_t libraryKey, uint32_t a, uint32_t b, int32_t player, int32_t index,
                              int32_t mySlot)
{
    JAMSTATE *s = g_pJamState;
    if (!s)
        return 0;
    Jam_CancelPendingInstrument();
    int32_t slot = -1;
    for (int32_t i = 0; i < JAM_EVENT_SLOTS && slot < 0; ++i)
        if (s->aucSlotInstrument[i] == 0)
            slot = i;
    if (slot < 0)
        return 0;
    int32_t inst = 0, result = 0;
    if (libraryKey == 0) {
        inst = Jam_InstrumentListEntry(Jam_ListOwner(player, mySlot), (uint32_t)index);
        if (inst < 1 || inst > 200)
            return 0; // no such entry: nothing changes
        g_JamSeqCalls.SetInstrumentUses(inst, (uint8_t)(g_JamSeqCalls.InstrumentUses(inst) + 1));
    } else {
        inst = g_JamSeqCalls.AllocInstrumentSlot();
        if (inst < 1 || inst > 200)
            return 10;
        result = g_JamSeqCalls.LoadInstrument(inst, libraryKey, a, b, 3);
        if (g_iFoundInstrumentSlot >= 1 && g_iFoundInstrumentSlot <= 200)
            inst = g_iFoundInstrumentSlot;
    }
    {
        Lock hold(g_csMix);
        s->aucSlotInstrument[slot] = (uint8_t)inst;
        s->aucSlotAssigned[slot] = 1;
        s->aucSlotReleased[slot] = 0;
        s->aucSlotTrigger[slot] = JAM_TRIGGER_IDLE;
        s->aSlotNotes[slot].ucPitch = (uint8_t)Jam_BasePitchOfKind(g_JamSeqCalls.InstrumentKind(inst));
    }
    if (result == 10)
        return 10;
    g_iJamPendingInstrument = slot;
    s->aucSlotLevel[slot] = 255;
    Jam_StartPart(1, slot);
    return 1;
}

void Jam_CancelPendingInstrument()
{
    JAMSTATE *s = g_pJamState;
    const int32_t slot = g_iJamPendingInstrument;
    if (!s || !IsSlot(slot))
        return;
    const uint8_t c = s->aucSlotChannel[slot];
    if (c != JAM_NO_CHANNEL)
        g_JamSeqCalls.StopVoice(c);
    Jam_StopPart(1, slot);
    s->aucSlotLevel[slot] = 0;
    g_JamSeqCalls.ReleaseInstrument(s->aucSlotInstrument[slot]);
    // The slot goes back to the free ones (instrument 0, never assigned), so later auditions find
    // it again.
    s->aucSlotInstrument[slot] = 0;
    s->aucSlotAssigned[slot] = 0;
    s->aucSlotTrigger[slot] = JAM_TRIGGER_UNASSIGNED;
    g_iJamPendingInstrument = -1;
}

// ---- A remote player leaves ----

namespace {

bool NamesPlayer(uint32_t slotWord, int32_t player)
{
    return Jam_IsListEntry(slotWord) && Jam_ListEntryPlayer(slotWord) == player;
}

void StopSlot(int32_t slot)
{
    if (IsSlot(slot))
        Jam_StopPart(1, slot);
}

} // namespace

void Jam_DropPlayerParts(JAMNET *net, int32_t player)
{
    if (!net || player < 0 || player >= JAM_NET_SLOTS || player == net->iNetMySlot)
        return;
    JAMPLAYER &local = net->aPlayers[JAM_LOCAL_PLAYER];
    JAMPLAYER &gone = net->aPlayers[player];
    JAMPLAYERROW &rows = g_aJamPlayerRows[JAM_LOCAL_PLAYER];
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k) {
        if (!NamesPlayer(Jam_SlotWordOf(local.auRiffKey[k]), player))
            continue;
        // The local key loses its riff: its row stops and is unloaded.
        if (IsRow(rows.aiRiffRow[k])) {
            Jam_StopPart(2, rows.aiRiffRow[k]);
            Jam_UnloadRow(rows.aiRiffRow[k]);
            rows.aiRiffRow[k] = -1;
        }
        local.auRiffKey[k] &= 1;
        gone.auRiffKey[k] = 0;
        gone.auRiffLatch[k] &= ~1u;
        gone.auRiffVolume[k] = 128;
        gone.aiRiffPitch[k] = 0;
        gone.aiRiffPrevPitch[k] = 0;
    }
    for (int32_t p = 0; p < JAM_PADS; ++p) {
        if (!NamesPlayer(Jam_SlotWordOf(local.auPad[p]), player))
            continue;
        StopSlot(rows.aiPadSlot[p]);
        local.auPad[p] &= 1;
        gone.auPad[p] = 0;
        gone.auPadLatch[p] &= ~1u;
    }
    for (int32_t k = 0; k < JAM_KEYBOARDS; ++k) {
        if (!NamesPlayer(local.aKeyboard[k].uSlotWord, player))
            continue;
        for (int32_t key = 0; key < JAM_KEYBOARD_KEYS; ++key)
            StopSlot(rows.aiKeyboardSlot[k * JAM_KEYBOARD_KEYS + key]);
        local.aKeyboard[k].uSlotWord = 0;
        gone.aKeyboard[k].uOctave = 5;
        gone.aKeyboard[k].uSlotWord = 0;
    }
    if (uint16_t *list = g_apJamRiffIds[player]) {
        const int32_t n = g_aiJamRiffIdCount[player];
        for (int32_t i = 0; i < n; ++i) {
            const uint16_t id = list[i];
            g_JamSeqCalls.ReleaseRiff(id, 3, 1);
            for (int32_t j = i + 1; j < n; ++j)
                if (list[j] > id)
                    --list[j];
        }
        g_aiJamRiffIdCount[player] = 0;
    }
    if (uint16_t *list = g_apJamInstrumentIds[player]) {
        // Two references: the load's and the list's.
        for (int32_t i = 0; i < g_aiJamInstrumentIdCount[player]; ++i) {
            g_JamSeqCalls.ReleaseInstrument(list[i]);
            g_JamSeqCalls.ReleaseInstrument(list[i]);
        }
        g_aiJamInstrumentIdCount[player] = 0;
    }
}
