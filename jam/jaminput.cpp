#include "jam/jaminput.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/browser.h"
#include "core/mixlock.h"
#include "core/soundlib.h"
#include "jam/jamseq.h"
#include "jam/jamsession.h"
#include "jam/jamplay.h"
#include "jam/jamsound.h"
#include "sequencer/samples.h"

namespace {

using NetLock = std::lock_guard<std::recursive_mutex>;

bool IsPlayer(int32_t p) { return p >= 0 && p < JAM_PLAYERS; }
bool IsSlot(int32_t s) { return s >= 0 && s < JAM_EVENT_SLOTS; }
bool IsRow(int32_t r) { return r >= 0 && r < JAM_ROWS; }
bool IsInstrument(int32_t i) { return i >= 1 && i <= 200; }

uint8_t Level(uint32_t v) { return v > 255 ? 255 : (uint8_t)v; }
uint8_t Pitch(int32_t v) { return (uint8_t)std::clamp(v, 0, 127); }

// The event slot of key k of keyboard `keyboard` of the player, -1 none.
int32_t KeyboardSlot(int32_t player, int32_t keyboard, int32_t k)
{
    return g_aJamPlayerRows[player].aiKeyboardSlot[keyboard * JAM_KEYBOARD_KEYS + k];
}

void Jam_KeyboardKeyDown(JAMNET *net, int32_t player, int32_t keyboard, int32_t k)
{
    const int32_t s = KeyboardSlot(player, keyboard, k);
    if (!IsSlot(s))
        return;
    const JAMPLAYER &b = net->aPlayers[player];
    JAMSTATE *st = g_pJamState;
    st->aSlotNotes[s].ucPitch = Pitch(k + (int32_t)b.aKeyboard[keyboard].uOctave * 12 + (b.aiPitch[keyboard] >> 8));
    st->aucSlotLevel[s] = Level(b.auLevel[keyboard]);
    Jam_StartPart(1, s);
}

void Jam_KeyboardKeyUp(int32_t player, int32_t keyboard, int32_t k)
{
    const int32_t s = KeyboardSlot(player, keyboard, k);
    if (IsSlot(s))
        Jam_StopPart(1, s);
}

// Takes the instrument for a keyboard or pad: from the library by its keys (found or loaded),
// or a given slot (one more use when it counts uses). 0 when it could not be had.
int32_t TakeInstrument(uint32_t key1, uint32_t key2, uint32_t key3, uint32_t instrument)
{
    if (instrument != JAM_LOAD_BY_KEYS) {
        const int32_t slot = (int32_t)instrument;
        if (!IsInstrument(slot))
            return 0;
        if (const uint8_t uses = g_JamSeqCalls.InstrumentUses(slot))
            g_JamSeqCalls.SetInstrumentUses(slot, (uint8_t)(uses + 1));
        return slot;
    }
    int32_t slot = Jam_FindInstrumentSlot(key1, key2, key3, 3, nullptr);
    if (!slot)
        slot = g_JamSeqCalls.AllocInstrumentSlot();
    if (!IsInstrument(slot))
        return 0;
    if (g_JamSeqCalls.LoadInstrument(slot, key1, key2, key3, 3) == 10)
        return 0;
    if (IsInstrument(g_iFoundInstrumentSlot))
        slot = g_iFoundInstrumentSlot;
    return slot;
}

// Gives back one use of an instrument the jam took. An instrument that counts no uses (the
// song's own) is never released: releasing it would clear it from the song.
void GiveInstrument(int32_t slot)
{
    if (IsInstrument(slot) && g_JamSeqCalls.InstrumentUses(slot))
        g_JamSeqCalls.ReleaseInstrument(slot);
}

void FreeSlot(JAMSTATE *s, int32_t slot)
{
    std::lock_guard<std::recursive_mutex> hold(g_csMix);
    s->aucSlotChannel[slot] = JAM_NO_CHANNEL;
    s->aucSlotInstrument[slot] = 0;
    s->aucSlotAssigned[slot] = 0;
    s->aucSlotReleased[slot] = 0;
    s->aucSlotTrigger[slot] = JAM_TRIGGER_UNASSIGNED;
}

void BindSlot(JAMSTATE *s, int32_t slot, int32_t instrument)
{
    std::lock_guard<std::recursive_mutex> hold(g_csMix);
    s->aucSlotInstrument[slot] = (uint8_t)instrument;
    s->aucSlotAssigned[slot] = 1;
    s->aucSlotReleased[slot] = 0;
    s->aucSlotTrigger[slot] = JAM_TRIGGER_IDLE;
    s->aSlotNotes[slot].ucPitch = (uint8_t)Jam_BasePitchOfKind(g_JamSeqCalls.InstrumentKind(instrument));
}

void StopSlotVoice(JAMSTATE *s, int32_t slot)
{
    const uint8_t c = s->aucSlotChannel[slot];
    if (c != JAM_NO_CHANNEL)
        g_JamSeqCalls.StopVoice(c);
}

int32_t FreeSlotCount(JAMSTATE *s)
{
    int32_t n = 0;
    for (int32_t i = 0; i < JAM_EVENT_SLOTS; ++i)
        n += s->aucSlotAssigned[i] ? 0 : 1;
    return n;
}

void LogRefusal(const char *what, int32_t player)
{
    char line[JAM_LOG_CHARS];
    std::snprintf(line, sizeof line, "No room left in the jam for player %d's %s.", player + 1, what);
    Jam_LogLine(line);
}


} // namespace

JamActions *Jam_SoundActions()
{
    static JamSoundActions actions{&g_JamNet};
    return &actions;
}

// ---- The per-frame pass ----

void Jam_ApplyPlayerInput(JAMNET *net)
{
    if (!net)
        net = &g_JamNet;
    JAMSTATE *s = g_pJamState;
    if (!s)
        return;
    NetLock hold(net->Lock);
    std::lock_guard<std::recursive_mutex> mix(g_csMix);
    for (int32_t p = 0; p < JAM_PLAYERS; ++p)
        for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k) {
            const int32_t r = g_aJamPlayerRows[p].aiRiffRow[k];
            if (!IsRow(r))
                continue;
            const uint8_t volume = Jam_RiffVolumeLevel(net->aPlayers[p].auRiffVolume[k]);
            s->aucRowVolume[r] = volume;
            s->aucRowMute[r] = volume == 0 ? 1 : 0;
        }
    for (int32_t p = 0; p < JAM_PLAYERS; ++p)
        for (int32_t kb = 0; kb < JAM_KEYBOARDS; ++kb)
            Jam_ApplyKeyboard(net, kb, p);
    for (int32_t p = 0; p < JAM_PLAYERS; ++p)
        Jam_ApplyRiffKeys(net, p);
    for (int32_t p = 0; p < JAM_PLAYERS; ++p)
        Jam_ApplyPads(net, p);
}

void Jam_ApplyKeyboard(JAMNET *net, int32_t keyboard, int32_t player)
{
    if (!g_pJamState || !net || !IsPlayer(player) || keyboard < 0 || keyboard >= JAM_KEYBOARDS)
        return;
    std::lock_guard<std::recursive_mutex> mix(g_csMix); // the tick reads the slot notes
    const JAMKEYBOARD &kb = net->aPlayers[player].aKeyboard[keyboard];
    // Keys that went up first, so a key let go and pressed again in one frame sounds anew.
    for (int32_t k = 0; k < JAM_KEYBOARD_KEYS; ++k)
        if (kb.uReleased >> k & 1)
            Jam_KeyboardKeyUp(player, keyboard, k);
    for (int32_t k = 0; k < JAM_KEYBOARD_KEYS; ++k)
        if (kb.uHeld >> k & 1)
            Jam_KeyboardKeyDown(net, player, keyboard, k);
}

void Jam_ApplyRiffKeys(JAMNET *net, int32_t player)
{
    JAMSTATE *s = g_pJamState;
    if (!s || !net || !IsPlayer(player))
        return;
    std::lock_guard<std::recursive_mutex> mix(g_csMix);
    const JAMPLAYER &b = net->aPlayers[player];
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k) {
        const int32_t r = g_aJamPlayerRows[player].aiRiffRow[k];
        if (!IsRow(r))
            continue;
        // The riff runs on either way; the key only makes it audible. A volume of 0 keeps it
        // silent even while the key is on.
        Jam_StopPart(2, r);
        if ((b.auRiffKey[k] & 1) && s->aucRowVolume[r] != 0)
            Jam_StartPart(2, r);
    }
}

void Jam_ApplyPads(JAMNET *net, int32_t player)
{
    JAMSTATE *s = g_pJamState;
    if (!s || !net || !IsPlayer(player))
        return;
    std::lock_guard<std::recursive_mutex> mix(g_csMix); // the tick reads the slot notes
    const JAMPLAYER &b = net->aPlayers[player];
    for (int32_t pad = 0; pad < JAM_PADS; ++pad) {
        const int32_t slot = g_aJamPlayerRows[player].aiPadSlot[pad];
        if (!IsSlot(slot))
            continue;
        if (b.auPad[pad] & 1) {
            // Held: started whatever channel its note plays on (a start is a no-op while the
            // note sounds), so a pad on channel 0 is not cut and retriggered every frame.
            const int32_t entry = 2 + pad;
            s->aucSlotLevel[slot] = Level(b.auLevel[entry]);
            s->aSlotNotes[slot].ucPitch =
                Pitch(Jam_BasePitchOfKind(g_JamSeqCalls.InstrumentKind(s->aucSlotInstrument[slot])) +
                      (b.aiPitch[entry] >> 8));
            Jam_StartPart(1, slot);
        } else if (s->aucSlotChannel[slot] != JAM_NO_CHANNEL) {
            Jam_StopPart(1, slot);
        }
    }
}

// ---- Loaders ----

void Jam_LoadKeyboard(int32_t player, uint32_t key1, uint32_t key2, uint32_t key3, int32_t firstKey,
                      uint32_t instrument)
{
    JAMSTATE *s = g_pJamState;
    if (!s || !IsPlayer(player) || (firstKey != 0 && firstKey != JAM_KEYBOARD_KEYS))
        return;
    NetLock hold(g_JamNet.Lock);
    const int32_t keyboard = firstKey / JAM_KEYBOARD_KEYS;
    JAMPLAYERROW &pr = g_aJamPlayerRows[player];
    JAMKEYBOARD &kb = g_JamNet.aPlayers[player].aKeyboard[keyboard];
    const int32_t first = pr.aiKeyboardSlot[firstKey];
    if (key1 == 0) {
        if (!IsSlot(first))
            return;
        StopSlotVoice(s, first);
        GiveInstrument(s->aucSlotInstrument[first]);
        kb.uOctave = 5;
        kb.uSlotWord = 0;
        for (int32_t k = 0; k < JAM_KEYBOARD_KEYS; ++k) {
            int32_t &slot = pr.aiKeyboardSlot[firstKey + k];
            if (IsSlot(slot)) {
                Jam_StopPart(1, slot);
                FreeSlot(s, slot);
            }
            slot = -1;
        }
        return;
    }
    int32_t missing = 0;
    for (int32_t k = 0; k < JAM_KEYBOARD_KEYS; ++k)
        missing += IsSlot(pr.aiKeyboardSlot[firstKey + k]) ? 0 : 1;
    if (missing > FreeSlotCount(s)) {
        LogRefusal("keyboard", player);
        return;
    }
    const int32_t inst = TakeInstrument(key1, key2, key3, instrument);
    if (!inst)
        return;
    if (IsSlot(first)) {
        const int32_t old = s->aucSlotInstrument[first];
        StopSlotVoice(s, first);
        // The old instrument's use goes back; for the same instrument that is the extra use
        // just taken.
        GiveInstrument(old);
    }
    for (int32_t k = 0; k < JAM_KEYBOARD_KEYS; ++k) {
        int32_t &slot = pr.aiKeyboardSlot[firstKey + k];
        if (!IsSlot(slot)) {
            slot = Jam_FindFreeSlot();
            if (!IsSlot(slot))
                break; // counted above; cannot happen
        } else {
            Jam_StopPart(1, slot);
        }
        BindSlot(s, slot, inst);
    }
}

int32_t Jam_LoadPad(int32_t player, uint32_t key1, uint32_t key2, uint32_t key3, int32_t pad, uint32_t instrument)
{
    JAMSTATE *s = g_pJamState;
    if (!s || !IsPlayer(player) || pad < 0 || pad >= JAM_PADS)
        return 10;
    NetLock hold(g_JamNet.Lock);
    int32_t &slot = g_aJamPlayerRows[player].aiPadSlot[pad];
    uint32_t &word = g_JamNet.aPlayers[player].auPad[pad];
    if (key1 == 0) {
        if (IsSlot(slot)) {
            StopSlotVoice(s, slot);
            Jam_StopPart(1, slot);
            GiveInstrument(s->aucSlotInstrument[slot]);
            FreeSlot(s, slot);
            slot = -1;
        }
        word &= 1;
        return 0;
    }
    if (!IsSlot(slot) && FreeSlotCount(s) == 0) {
        LogRefusal("pad", player);
        return 10;
    }
    const int32_t inst = TakeInstrument(key1, key2, key3, instrument);
    if (!inst)
        return 10;
    if (IsSlot(slot)) {
        StopSlotVoice(s, slot);
        Jam_StopPart(1, slot);
        GiveInstrument(s->aucSlotInstrument[slot]);
    } else {
        slot = Jam_FindFreeSlot();
    }
    BindSlot(s, slot, inst);
    return 1;
}

int32_t Jam_LoadRiffKey(uint32_t a, uint32_t b, uint32_t c, int32_t riffKey, int32_t player, uint32_t riff)
{
    JAMSTATE *s = g_pJamState;
    if (!s || !IsPlayer(player) || riffKey < 0 || riffKey >= JAM_RIFF_KEYS)
        return -1;
    NetLock hold(g_JamNet.Lock);
    int32_t &keyRow = g_aJamPlayerRows[player].aiRiffRow[riffKey];
    uint32_t &word = g_JamNet.aPlayers[player].auRiffKey[riffKey];
    if (const int32_t old = keyRow; IsRow(old)) {
        Jam_FreePlayerRiffChannel(player, riffKey); // sets the key's row to -1
        s->aucRowState[old] = 0;
        keyRow = -1;
    }
    if (a == 0) {
        word &= 1;
        return 0;
    }
    // Never a row another key holds: with all 60 in use the key stays empty.
    const int32_t row = Jam_FindFreeChannel();
    if (!IsRow(row)) {
        LogRefusal("riff", player);
        word &= 1;
        return -1;
    }
    s->aiRowStep[row] = g_iJamStep + (player == JAM_LOCAL_PLAYER && !g_bNetJamImmediate ? JAM_PHRASE_STEPS : 0);
    int32_t copied;
    if (riff == JAM_LOAD_BY_KEYS) {
        std::memset(g_abInstrumentMarks, 0, sizeof g_abInstrumentMarks);
        const int32_t tagged = g_bTaggedSongFile;
        g_bTaggedSongFile = 0;
        const int32_t id = g_JamSeqCalls.LoadLibraryRiff(0, (int32_t)a, (int32_t)b, (int32_t)c, g_pJamScratch);
        g_bTaggedSongFile = tagged;
        if (id <= 0) {
            word &= 1;
            return -1;
        }
        copied = Jam_CopyRiffToRow(row, id);
        if (copied >= 0)
            Jam_BuildRiffInstrumentList(player, riffKey, id, 1);
        g_JamSeqCalls.ReleaseRiff(id, 0, 1);
    } else {
        copied = Jam_CopyRiffToRow(row, (int32_t)riff);
        if (copied >= 0)
            Jam_BuildRiffInstrumentList(player, riffKey, (int32_t)riff, 0);
    }
    if (copied < 0) {
        word &= 1;
        return -1;
    }
    {
        std::lock_guard<std::recursive_mutex> mix(g_csMix);
        JAMROW &r = s->aRows[row];
        r.Riff.ucStartLevel = 255;
        r.Riff.ucEndLevel = 255;
        r.Riff.iUseCount++;
        s->aucRowMute[row] = 1;
    }
    std::memset(g_auLibraryRiffKey, 0, sizeof g_auLibraryRiffKey);
    Sys_SetReverbEnable(0);
    s->aucRowState[row].store(1, std::memory_order_release); // the copy is complete: the tick may play it
    keyRow = row;
    return 1;
}
