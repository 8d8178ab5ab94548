// STAND-IN (see standin_jamparts.h). Weak, so the real definitions win.
#include "jam/standin_jamparts.h"

#include <algorithm>
#include <vector>

#include "jam/jaminput.h"
#include "jam/jamseq.h"
#include "jam/jamsession.h"
#include "render/screentiles.h"
#include "sequencer/samples.h"

#define STANDIN __attribute__((weak))

namespace {

void ClearWord(uint32_t &word) { word &= 1; }

} // namespace

STANDIN void Jam_AssignRiffFromLibrary(uint32_t a, uint32_t b, uint32_t c, int32_t key)
{
    if (key < 0 || key >= JAM_RIFF_KEYS)
        return;
    Jam_LoadRiffKey(c ? a : 0, b, c, key, JAM_LOCAL_PLAYER, JAM_LOAD_BY_KEYS);
    if (!c)
        ClearWord(g_JamNet.aPlayers[JAM_LOCAL_PLAYER].auRiffKey[key]);
}

STANDIN void Jam_AssignInstrumentFromLibrary(uint32_t a, uint32_t b, uint32_t c, int32_t pad)
{
    if (pad < 0 || pad >= JAM_PADS)
        return;
    Jam_LoadPad(JAM_LOCAL_PLAYER, c ? a : 0, b, c, pad, JAM_LOAD_BY_KEYS);
}

STANDIN void Jam_AssignKeyboardFromLibrary(uint32_t a, uint32_t b, uint32_t c, int32_t keyboard)
{
    if (keyboard < 0 || keyboard >= JAM_KEYBOARDS)
        return;
    Jam_LoadKeyboard(JAM_LOCAL_PLAYER, c ? a : 0, b, c, keyboard * JAM_KEYBOARD_KEYS, JAM_LOAD_BY_KEYS);
}

STANDIN void Jam_BuildRiffInstrumentList(int32_t player, int32_t riffKey, int32_t riff, int32_t fromMarks)
{
    std::vector<uint8_t> &list = g_aJamPlayerRows[player].aRiffInstruments[riffKey];
    list.clear();
    if (fromMarks) {
        for (int32_t slot = 1; slot <= 200; ++slot)
            if (g_abInstrumentMarks[slot])
                list.push_back((uint8_t)slot);
    } else if (const RIFFENTRY *r = g_JamSeqCalls.GetRiff(riff); r && r->puNotes) {
        const int32_t cells = std::clamp<int32_t>(r->ucTracks, 0, 12) * std::clamp<int32_t>(r->ucBars, 1, 8) * 16;
        for (int32_t i = 0; i < cells; ++i)
            if (const JAMNOTE *n = g_JamSeqCalls.GetNote(r->puNotes[i]); r->puNotes[i] && n)
                if (n->uInstrument >= 1 && n->uInstrument <= 200 &&
                    std::find(list.begin(), list.end(), (uint8_t)n->uInstrument) == list.end())
                    list.push_back((uint8_t)n->uInstrument);
    }
    // Only instruments that count uses take one: the song's own are never released.
    for (uint8_t slot : list)
        if (const uint8_t uses = g_JamSeqCalls.InstrumentUses(slot))
            g_JamSeqCalls.SetInstrumentUses(slot, (uint8_t)(uses + 1));
}

STANDIN void Jam_FreePlayerRiffChannel(int32_t player, int32_t riffKey)
{
    JAMSTATE *s = g_pJamState;
    int32_t &row = g_aJamPlayerRows[player].aiRiffRow[riffKey];
    if (s && row >= 0 && row < JAM_ROWS) {
        Jam_StopPart(2, row);
        for (int32_t c = 0; c < JAM_CHANNELS; ++c) {
            const int32_t owner = s->aiChannelOwner[c];
            if (owner == row || owner == (row | JAM_OWNER_LAYER))
                g_JamSeqCalls.StopVoice(c);
        }
        Jam_UnloadRow(row);
    }
    for (uint8_t slot : g_aJamPlayerRows[player].aRiffInstruments[riffKey])
        if (g_JamSeqCalls.InstrumentUses(slot))
            g_JamSeqCalls.ReleaseInstrument(slot);
    g_aJamPlayerRows[player].aRiffInstruments[riffKey].clear();
    row = -1;
}

STANDIN void Jam_SetPlayerController(int32_t, int32_t) {}
STANDIN void Jam_LoadPlayerPlugin(int32_t, int32_t, int32_t) {}
STANDIN void Jam_PlayerPluginInput(int32_t, int32_t, int32_t, int32_t) {}

// The frame handler keeps the jam playing: the background and the input pass.
STANDIN void Jam_FrameUpdate()
{
    if (g_bBackgroundDirty)
        Gfx_DrawJamBackground();
    Jam_ApplyPlayerInput();
}

STANDIN WINDOW *Jam_OpenLogWindow() { return nullptr; }
STANDIN void Jam_RefreshLogList() {}
STANDIN void Net_SendJamStart() {}
STANDIN void Net_SendSyncRequest() {}
