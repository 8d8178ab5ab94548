#include "jam/jamsound.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "audio/mixer.h"
#include "audio/plugin.h"
#include "core/mixlock.h"
#include "jam/jamchannel.h"
#include "jam/jamplay.h"
#include "jam/jamseq.h"
#include "jam/netjam.h"
#include "jam/jaminput.h"
#include "jam/jamsession.h"

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

bool IsPlayer(int32_t p) { return p >= 0 && p < JAM_PLAYERS; }
bool IsPluginSlot(int32_t s) { return s >= 0 && s < JAM_PLUGIN_SLOTS; }
bool IsRow(int32_t r) { return r >= 0 && r < JAM_ROWS; }
bool IsSlot(int32_t s) { return s >= 0 && s < JAM_EVENT_SLOTS; }

// The event slots of part entry 0..10 (keyboards, then pads) with the key each plays (0 for pads).
template <typename F> void ForPartSlots(int32_t player, int32_t entry, F f)
{
    const JAMPLAYERROW &rows = g_aJamPlayerRows[player];
    if (entry < JAM_KEYBOARDS) {
        for (int32_t k = 0; k < JAM_KEYBOARD_KEYS; ++k)
            if (IsSlot(rows.aiKeyboardSlot[entry * JAM_KEYBOARD_KEYS + k]))
                f(rows.aiKeyboardSlot[entry * JAM_KEYBOARD_KEYS + k], k);
    } else if (entry < JAM_KEYBOARDS + JAM_PADS && IsSlot(rows.aiPadSlot[entry - JAM_KEYBOARDS])) {
        f(rows.aiPadSlot[entry - JAM_KEYBOARDS], -1);
    }
}

// Routing of one row or slot: to `instance` when chosen, off when it was routed to it.
void Route(std::atomic<int32_t> &target, bool chosen, int32_t instance)
{
    if (chosen)
        target = instance;
    else if (target == instance)
        target = -1;
}

} // namespace

void JamSoundActions::LoadRiffKey(uint32_t a, uint32_t b, uint32_t c, int32_t riffKey, int32_t player, uint32_t riff)
{
    Jam_LoadRiffKey(a, b, c, riffKey, player, riff);
}

int32_t JamSoundActions::LoadPad(int32_t player, uint32_t key1, uint32_t key2, uint32_t key3, int32_t pad,
                                 uint32_t instrument)
{
    return Jam_LoadPad(player, key1, key2, key3, pad, instrument);
}

void JamSoundActions::LoadKeyboard(int32_t player, uint32_t key1, uint32_t key2, uint32_t key3, int32_t firstKey,
                                   uint32_t instrument)
{
    Jam_LoadKeyboard(player, key1, key2, key3, firstKey, instrument);
}

void JamSoundActions::StartPart(int32_t kind, int32_t index) { Jam_StartPart(kind, index); }
void JamSoundActions::StopPart(int32_t kind, int32_t index) { Jam_StopPart(kind, index); }
void JamSoundActions::DropPlayerParts(int32_t player) { Jam_DropPlayerParts(m_pNet, player); }

void Jam_LoadPlayerPlugin(int32_t player, int32_t slot, int32_t pluginIndex)
{
    if (!IsPlayer(player) || !IsPluginSlot(slot))
        return;
    int32_t &instance = g_aJamPlayerRows[player].aiPluginSlot[slot];
    if (pluginIndex >= 0) {
        instance = Snd_OpenPlugin(pluginIndex, nullptr);
        return;
    }
    if (instance < 0)
        return;
    {
        // Nothing plays into the instance once it is gone: the rows, slots and sounding voices
        // routed to it go straight to the mix.
        Lock hold(g_csMix);
        if (JAMSTATE *s = g_pJamState) {
            for (auto &p : s->aiRowPlugin)
                if (p == instance)
                    p = -1;
            for (auto &p : s->aiSlotPlugin)
                if (p == instance)
                    p = -1;
        }
        for (int32_t v = 0; v < SND_VOICE_COUNT; ++v)
            if (g_astVoices[v].iPluginSlot == instance)
                Snd_SetVoicePlugin(v, -1);
    }
    Snd_ClosePlugin(instance);
    instance = -1;
}

void Jam_PlayerPluginInput(int32_t player, int32_t slot, int32_t x, int32_t y)
{
    const int32_t instance = Jam_PlayerPluginInstance(player, slot);
    if (instance >= 0)
        Snd_PluginInput(instance, x, y, x, y, 0, 0);
}

void JamSoundActions::LoadPlugin(int32_t player, int32_t slot, int32_t pluginIndex)
{
    Jam_LoadPlayerPlugin(player, slot, pluginIndex);
}

void JamSoundActions::PluginInput(int32_t player, int32_t slot, int32_t x, int32_t y)
{
    Jam_PlayerPluginInput(player, slot, x, y);
}

void JamSoundActions::ResetPlugin(int32_t player, int32_t slot)
{
    PLUGININSTANCE *p = nullptr;
    const int32_t instance = Jam_PlayerPluginInstance(player, slot);
    if (instance < 0)
        return;
    Lock hold(g_csPlugins);
    Snd_GetPlugin(instance, &p);
    if (p && p->pfnReset)
        p->pfnReset(p->uHandle);
}

void JamSoundActions::SelectPlugin(int32_t player, int32_t slot)
{
    if (player == g_iJamSelectedPlayer)
        Snd_SelectPluginDisplay(Jam_PlayerPluginInstance(player, slot));
}

void JamSoundActions::RoutePlugin(int32_t player, int32_t slot, uint32_t partMask, uint32_t riffMask)
{
    JAMSTATE *s = g_pJamState;
    if (!s || !IsPlayer(player) || !IsPluginSlot(slot))
        return;
    const int32_t instance = g_aJamPlayerRows[player].aiPluginSlot[slot];
    const JAMPLAYERROW &rows = g_aJamPlayerRows[player];
    Lock hold(g_csMix);
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k)
        if (IsRow(rows.aiRiffRow[k]))
            Route(s->aiRowPlugin[rows.aiRiffRow[k]], riffMask >> k & 1, instance);
    for (int32_t p = 0; p < JAM_PADS; ++p)
        if (IsSlot(rows.aiPadSlot[p]))
            Route(s->aiSlotPlugin[rows.aiPadSlot[p]], partMask >> (p + 2) & 1, instance);
    for (int32_t g = 0; g < JAM_KEYBOARDS; ++g) {
        if (!IsSlot(rows.aiKeyboardSlot[g * JAM_KEYBOARD_KEYS]))
            continue;
        for (int32_t k = 0; k < JAM_KEYBOARD_KEYS; ++k)
            if (IsSlot(rows.aiKeyboardSlot[g * JAM_KEYBOARD_KEYS + k]))
                Route(s->aiSlotPlugin[rows.aiKeyboardSlot[g * JAM_KEYBOARD_KEYS + k]], partMask >> g & 1, instance);
    }
}

void JamSoundActions::ControlPart(int32_t player, int32_t entry, int32_t controller, int32_t value, uint32_t octave)
{
    JAMSTATE *s = g_pJamState;
    if (!s || !IsPlayer(player))
        return;
    Lock hold(g_csMix);
    ForPartSlots(player, entry, [&](int32_t slot, int32_t key) {
        const uint8_t c = s->aucSlotChannel[slot];
        switch (controller) {
        case JAM_CONTROL_VOLUME:
            s->aucSlotLevel[slot] = (uint8_t)std::clamp(value, 0, 255);
            if (c != JAM_NO_CHANNEL)
                JamCol_SetRamp(c, std::clamp(value, 0, 255) * 1024, 0);
            break;
        case JAM_CONTROL_PAN: {
            const int32_t pan = std::clamp(value + 128, 0, 255);
            s->aucSlotPan[slot] = (uint8_t)pan;
            g_aJamSlotPan[slot][1] = g_aJamSlotPan[slot][3] = (uint8_t)pan;
            if (c != JAM_NO_CHANNEL)
                JamCh_SetPan(c, pan * 256, g_aJamSlotPan[slot]);
            break;
        }
        case JAM_CONTROL_PITCH:
            if (c != JAM_NO_CHANNEL)
                JamCh_SetPitch(c, (key < 0 ? 60 : (int32_t)std::min<uint32_t>(octave, 5) * 12 + key) * 32768 +
                                      value * 128);
            break;
        default: break;
        }
    });
}

void JamSoundActions::ControlRiff(int32_t player, int32_t key, int32_t controller, int32_t value, int32_t previous)
{
    JAMSTATE *s = g_pJamState;
    if (!s || !IsPlayer(player) || key < 0 || key >= JAM_RIFF_KEYS)
        return;
    const int32_t row = g_aJamPlayerRows[player].aiRiffRow[key];
    if (!IsRow(row))
        return;
    if (controller == JAM_CONTROL_VOLUME) {
        Jam_AddRowPitch(row, 0);
    } else if (controller == JAM_CONTROL_PITCH) {
        s->aiRowPitch[row] = value;
        Jam_AddRowPitch(row, (value - previous) * 128);
    }
}

void JamSoundActions::SetTempo(int32_t bpm) { g_JamSeqCalls.SetTempo(bpm); }

int32_t Jam_PlayerPluginInstance(int32_t player, int32_t slot)
{
    return IsPlayer(player) && IsPluginSlot(slot) ? g_aJamPlayerRows[player].aiPluginSlot[slot] : -1;
}

void Jam_ReleaseAllPlayerPlugins()
{
    for (int32_t p = 0; p < JAM_PLAYERS; ++p)
        for (int32_t slot = 0; slot < JAM_PLUGIN_SLOTS; ++slot)
            Jam_LoadPlayerPlugin(p, slot, -1);
}

bool Jam_DrawPluginPanel(const JAMNET *net, int32_t player)
{
    const int32_t instance =
        net && IsPlayer(player) ? Jam_PlayerPluginInstance(player, net->aPlayers[player].iPluginSlot) : -1;
    PLUGININSTANCE *p = nullptr;
    if (instance >= 0)
        Snd_GetPlugin(instance, &p);
    Snd_SelectPluginDisplay(p);
    if (!p)
        return false;
    g_iPluginPictureX = JAM_PLUGIN_PANEL_X;
    g_iPluginPictureY = JAM_PLUGIN_PANEL_Y;
    Snd_DrawPluginDisplay();
    return true;
}

void Jam_PluginSlotRowText(int32_t player, int32_t row, char *out, size_t size)
{
    out[0] = 0;
    PLUGININSTANCE *p = nullptr;
    const int32_t instance = row >= 1 ? Jam_PlayerPluginInstance(player, row - 1) : -1;
    if (instance < 0)
        return;
    Lock hold(g_csPlugins);
    Snd_GetPlugin(instance, &p);
    if (p)
        std::snprintf(out, size, "%.*s", (int)sizeof p->szName, p->szName);
}

void Jam_PluginListRowText(int32_t row, char *out, size_t size)
{
    out[0] = 0;
    Lock hold(g_csPlugins);
    if (row >= 1 && row <= g_iPluginCount)
        std::snprintf(out, size, "%.*s", SND_PLUGIN_NAME_BYTES, g_aszPluginNames[row - 1]);
}

void Jam_UpdateRiffMeters(int32_t player)
{
    JAMSTATE *s = g_pJamState;
    if (!s || !IsPlayer(player))
        return;
    JAMPLAYERROW &rows = g_aJamPlayerRows[player];
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k) {
        uint8_t *target = rows.aucBarTarget[k];
        const int32_t row = rows.aiRiffRow[k];
        if (!IsRow(row)) {
            std::fill(target, target + 8, (uint8_t)48);
        } else if (s->aucRowState[row] == 1) {
            const int32_t bars = std::clamp<int32_t>(s->aRows[row].Riff.ucBars, 1, 8);
            const int32_t len = bars * JAM_BAR_STEPS;
            const int32_t bar = ((s->aiRowStep[row] % len) + len) % len / JAM_BAR_STEPS;
            for (int32_t i = 0; i < 8; ++i)
                target[i] = i >= bars ? 48 : i <= bar ? 248 : 128;
        }
        for (int32_t i = 0; i < 8; ++i) {
            uint8_t &shown = rows.aucBarLevel[k][i];
            shown = (uint8_t)(shown < target[i] ? std::min(shown + 8, (int32_t)target[i])
                                                : std::max(shown - 8, (int32_t)target[i]));
        }
    }
}

void Jam_FreePlayerRiffChannel(int32_t player, int32_t riffKey)
{
    JAMSTATE *s = g_pJamState;
    if (!s || !IsPlayer(player) || riffKey < 0 || riffKey > JAM_RIFF_KEYS)
        return;
    int32_t &row = g_aJamPlayerRows[player].aiRiffRow[riffKey];
    if (!IsRow(row))
        return;
    {
        Lock hold(g_csMix);
        for (auto &ch : s->aucRowChannels[row]) {
            if (ch != JAM_NO_CHANNEL)
                g_JamSeqCalls.StopVoice(ch);
            ch = JAM_NO_CHANNEL;
        }
        for (int32_t c = 0; c < JAM_CHANNELS; ++c) {
            const int32_t owner = s->aiChannelOwner[c];
            if (owner == row || owner == (row | JAM_OWNER_LAYER)) {
                g_JamSeqCalls.StopVoice(c);
                s->aiChannelOwner[c] = -1;
            }
        }
        // The next riff in this row starts unrouted.
        s->aiRowPlugin[row] = -1;
    }
    Jam_ReleaseRiffInstrumentList(player, riffKey);
    Jam_UnloadRow(row);
    row = -1;
}
