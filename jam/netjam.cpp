#include "jam/netjam.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "app/cmdline.h"
#include "app/mainwindow.h"
#include "app/timers.h"
#include "audio/midiin.h"
#include "core/file.h"
#include "jam/jaminput.h"
#include "jam/jamplay.h"
#include "jam/jamrecord.h"
#include "jam/jamseq.h"
#include "jam/jamsession.h"
#include "jam/netcommand.h"
#include "jam/netsession.h"
#include "jam/netobjects.h"
#include "jam/jamtemplates.h"
#include "platform/kescomms.h"
#include "sequencer/clock.h"
#include "ui/langtext.h"

// ==== Keys ====

uint8_t g_abJamKeyState[JAM_KEY_STATES];
int32_t g_bJamKeyboardPoll = 1;
int32_t g_bJamCtrlHeld = 0;
int32_t g_bJamShiftHeld = 0;
int32_t g_iJamMidiBaseNote = 12;
int32_t g_iJamMidiController = 1;

namespace {

std::mutex s_keyLock;
uint8_t s_abKeySnapshot[JAM_KEY_STATES];

// Virtual-key numbers of the keys, by bit.
constexpr uint8_t kRiffKeys[12] = {0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B};
constexpr uint8_t kPadKeys[9] = {0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69};
// Q 2 W 3 E R 5 T 6 Y 7 U I 9 O 0 P: a piano row, the black keys on the row above.
constexpr uint8_t kKeyboard0[17] = {'Q', '2', 'W', '3', 'E', 'R', '5', 'T', '6', 'Y', '7', 'U', 'I', '9', 'O', '0', 'P'};
// Z S X D C V G B H N J M , L . ; /
constexpr uint8_t kKeyboard1[17] = {'Z', 'S', 'X', 'D', 'C', 'V', 'G', 'B', 'H',
                                    'N', 'J', 'M', 0xBC, 'L', 0xBE, 0xBA, 0xBF};
constexpr uint8_t kShift[3] = {0x10, 0xA0, 0xA1};
constexpr uint8_t kCtrl[3] = {0x11, 0xA2, 0xA3};
constexpr uint8_t kTab = 0x09;

bool Down(const uint8_t *keys, uint8_t vk) { return (keys[vk] & 0x80) != 0; }

bool AnyDown(const uint8_t *keys, const uint8_t (&vks)[3])
{
    return Down(keys, vks[0]) || Down(keys, vks[1]) || Down(keys, vks[2]);
}

bool MidiHeld(const uint8_t *notes, int32_t note) { return notes && note >= 0 && note < 256 && notes[note] != 0; }

void Log(NETNODE *node, const char *line)
{
    if (node->LogSink)
        node->LogSink(line);
    else
        Jam_LogLine(line);
}

bool IsProgram(const NETNODE *node) { return node == &g_NetNode; }

uint32_t OwnId(const NETNODE *node) { return node->pSessionA ? node->pSessionA->uPlayerId : 0; }

const char *Text(int id, const char *fallback)
{
    const char *t = Ui_Text(id);
    return t && *t ? t : fallback;
}

} // namespace

void Jam_KeyEvent(uint32_t virtualKey, bool down)
{
    if (virtualKey >= (uint32_t)JAM_KEY_STATES)
        return;
    std::lock_guard<std::mutex> hold(s_keyLock);
    s_abKeySnapshot[virtualKey] = down ? 0x80 : 0;
    // Either side's modifier also sets the one without a side, as a keyboard reports them.
    if (virtualKey == 0xA0 || virtualKey == 0xA1)
        s_abKeySnapshot[0x10] = (s_abKeySnapshot[0xA0] | s_abKeySnapshot[0xA1]) & 0x80;
    if (virtualKey == 0xA2 || virtualKey == 0xA3)
        s_abKeySnapshot[0x11] = (s_abKeySnapshot[0xA2] | s_abKeySnapshot[0xA3]) & 0x80;
}

void Jam_ReleaseAllKeys()
{
    std::lock_guard<std::mutex> hold(s_keyLock);
    std::memset(s_abKeySnapshot, 0, sizeof s_abKeySnapshot);
}

int32_t Jam_ReadKeyboard()
{
    std::lock_guard<std::mutex> hold(s_keyLock);
    std::memcpy(g_abJamKeyState, s_abKeySnapshot, sizeof g_abJamKeyState);
    return 1;
}

void Jam_KeyMasks(const uint8_t keys[JAM_KEY_STATES], const uint8_t *midi, uint32_t out[4])
{
    const int32_t base = g_iJamMidiBaseNote;
    std::memset(out, 0, 4 * sizeof *out);
    for (int i = 0; i < 12; ++i)
        if (Down(keys, kRiffKeys[i]) || MidiHeld(midi, base + 48 + i))
            out[0] |= 1u << i;
    for (int i = 0; i < 9; ++i)
        if (Down(keys, kPadKeys[i]) || MidiHeld(midi, base + 60 + i))
            out[1] |= 1u << i;
    for (int i = 0; i < 17; ++i) {
        if (Down(keys, kKeyboard0[i]) || MidiHeld(midi, base + i))
            out[2] |= 1u << i;
        if (Down(keys, kKeyboard1[i]) || MidiHeld(midi, base + 24 + i))
            out[3] |= 1u << i;
    }
}

// The local tally: each command counts in its rows for the current beat.
static void Jam_UpdateLocalTally(JAMNET *net, const JAMEVENT &e)
{
    const int32_t beat = net->iTallyRing & 3;
    auto add = [&](int row) {
        if (net->auLocalCount[row][beat] < UINT16_MAX)
            ++net->auLocalCount[row][beat];
    };
    switch (e.iCommand) {
    case 22:
    case 23:
        for (int k = 0; k < 12; ++k)
            if (e.uData >> k & 1)
                add(1 + k);
        break;
    case 24:
    case 25:
        for (int k = 0; k < 9; ++k)
            if (e.uData >> k & 1)
                add(13 + k);
        break;
    case 26: add(23); break;
    case 27: add(24); break;
    default: return;
    }
    net->auLocalRing[net->iTallyRing & 15] = (uint32_t)Jam_MostUsedRow(&net->auLocalCount[0][beat], 4, 25);
}

void Jam_PollLocalInput(NETNODE *node, const uint8_t keys[JAM_KEY_STATES], const uint8_t *midi, int32_t midiController)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net || !keys || net->bNetJamHold || g_bTextEntryActive || net->iJamReplay)
        return;
    g_bJamCtrlHeld = AnyDown(keys, kCtrl);
    g_bJamShiftHeld = AnyDown(keys, kShift);
    // Tab flips the controller once per press, not on every frame it is held.
    const bool tab = Down(keys, kTab);
    if (tab && !net->bTabWasDown) {
        net->iLocalController ^= 1;
        Jam_SetPlayerController(net, JAM_LOCAL_PLAYER, net->iLocalController);
    }
    net->bTabWasDown = tab;
    if (g_bJamReleasesPending)
        Jam_ClearLocalReleases(net);

    uint32_t masks[4];
    Jam_KeyMasks(keys, midi, masks);
    const JAMPLAYER &me = net->aPlayers[JAM_LOCAL_PLAYER];
    for (int32_t group = 0; group < 4; ++group) {
        if (masks[group] == net->auSentMask[group])
            continue;
        int32_t command = 0;
        uint32_t data = masks[group];
        switch (group) {
        case 0: command = g_bJamShiftHeld ? 23 : 22; break;
        case 1: command = 24; break;
        case 2: command = 26; data = Jam_PackKeyboardData(masks[2], me.aKeyboard[0].uOctave); break;
        default: command = 27; data = Jam_PackKeyboardData(masks[3], me.aKeyboard[1].uOctave); break;
        }
        const JAMEVENT e{net->uJamHeartbeat, command, data};
        Net_SendJamCommand(node, net->uJamHeartbeat, command, data);
        Jam_ApplyLocalEvent(node, e);
        Jam_UpdateLocalTally(net, e);
        if (g_bNetJamImmediate && !g_bJamSinglePlayer) {
            const int32_t bar = (int32_t)((uint32_t)std::abs(g_iJamStep.load() % 64) / 16);
            Jam_CountPlayerKeys(net, e, net->iNetMySlot, bar);
            Jam_UpdatePlayerTally(net, net->iNetMySlot, bar, group);
        }
        net->auSentMask[group] = masks[group];
    }
    if (midi && midiController >= 0 && midiController != net->iMidiCtrlSent) {
        Jam_SetDialFromRange(node, JAM_LOCAL_PLAYER, midiController, 0, 128);
        net->iMidiCtrlSent = midiController;
    }
}

void Jam_PollLocalInput()
{
    uint8_t *notes = nullptr;
    Snd_GetMidiNoteTable(&notes);
    const int32_t ctrl = g_iJamMidiController >= 0 && g_iJamMidiController < 256
                             ? g_abMidiController[g_iJamMidiController]
                             : -1;
    // No controller value is sent before the controller has moved.
    JAMNET *net = g_NetNode.pJam;
    const int32_t value = net && net->iMidiCtrlSent < 0 && ctrl == 0 ? -1 : ctrl;
    Jam_PollLocalInput(&g_NetNode, g_abJamKeyState, notes, value);
}

// ==== Tally ====

int32_t Jam_MostUsedRow(const uint16_t *counts, size_t stride, size_t count)
{
    int32_t best = 0;
    uint16_t most = 0;
    for (size_t row = 0; row < count; ++row)
        if (counts[row * stride] > most) {
            most = counts[row * stride];
            best = (int32_t)row;
        }
    return best;
}

void Jam_CountPlayerKeys(JAMNET *net, const JAMEVENT &e, int32_t player, int32_t bar)
{
    if (!net || bar < 0 || bar > 3)
        return;
    if (player == JAM_LOCAL_PLAYER)
        return; // the local player's tally counts per beat when the keys are read
    if (player < 0 || player >= JAM_NET_SLOTS)
        return;
    JAMTALLY &t = net->aTally[player];
    auto add = [&](int row, int group) {
        uint16_t &c = t.auCount[row][group * 4 + bar];
        if (c < UINT16_MAX)
            ++c;
    };
    switch (e.iCommand) {
    case 22:
    case 23:
        for (int k = 0; k < 12; ++k)
            if (e.uData >> k & 1)
                add(1 + k, 0);
        break;
    case 24:
    case 25:
        for (int k = 0; k < 9; ++k)
            if (e.uData >> k & 1)
                add(13 + k, 1);
        break;
    case 26: add(23, 2); break;
    case 27: add(24, 3); break;
    default: break;
    }
}

void Jam_UpdatePlayerTally(JAMNET *net, int32_t player, int32_t bar, int32_t group)
{
    if (!net || player < 0 || player >= JAM_NET_SLOTS || bar < 0 || bar > 3 || group < 0 || group > 3)
        return;
    JAMTALLY &t = net->aTally[player];
    const int32_t i = group * 4 + bar;
    t.auCurrent[i] = (uint32_t)Jam_MostUsedRow(&t.auCount[0][i], 16, 25);
}

// ==== The jam step ====

void Net_JamStep(NETNODE *node)
{
    JAMNET *net = node->pJam;
    if (g_bNetJamImmediate) {
        Jam_ClearRemoteReleases(net);
        Net_ApplyAllQueuedEvents(node);
    } else {
        Net_ApplyRemoteEvents(node, net->uJamHeartbeat);
        Net_ApplyForwardedEvents(node, net->uJamHeartbeat);
    }
    ++net->uJamHeartbeat;
}

void Net_EndBarWork(NETNODE *node, int32_t bar, int32_t step)
{
    JAMNET *net = node->pJam;
    if (!g_bNetJamImmediate && !g_bJamSinglePlayer)
        Net_SendEventBatchAt(node, bar, step);
    const int32_t b = (int32_t)((uint32_t)std::abs(step % 64) / 16);
    for (JAMTALLY &t : net->aTally)
        for (int32_t g = 0; g < 4; ++g) {
            t.auCurrent[g * 4 + b] = 0;
            for (auto &row : t.auCount)
                row[g * 4 + b] = 0;
        }
}

void Jam_CatchUpPhrase(NETNODE *node)
{
    JAMNET *net = node->pJam;
    const int32_t L = std::max<int32_t>(4, g_iJamTickLen.load());
    const uint32_t frames = 4u * (uint32_t)L;
    for (uint32_t s = net->uJamHeartbeat; s < frames; ++s) {
        Net_ApplyRemoteEvents(node, s);
        Net_ApplyForwardedEvents(node, s);
        const uint32_t n = s + 1;
        if (n % (uint32_t)(L / 4) == (uint32_t)(L / 4 - 1)) {
            net->iTallyRing = (net->iTallyRing + 1) & 15;
            net->auLocalRing[net->iTallyRing] = 0;
            for (auto &row : net->auLocalCount)
                row[net->iTallyRing & 3] = 0;
        }
        if (n % (uint32_t)L == (uint32_t)(L - 1)) {
            const uint32_t b = (n / (uint32_t)L) & 3;
            for (JAMTALLY &t : net->aTally)
                for (uint32_t g = 0; g < 4; ++g)
                    t.auShown[g * 4 + ((b + 1) & 3)] = t.auCurrent[g * 4 + b];
        }
    }
    net->uJamHeartbeat = frames;
}

void Net_EndPhraseWork(NETNODE *node)
{
    JAMNET *net = node->pJam;
    const uint32_t frames = 4u * (uint32_t)std::max<int32_t>(4, g_iJamTickLen.load());
    if (net->uJamHeartbeat != frames)
        Jam_CatchUpPhrase(node);
    // A replay's next phrase goes into the set the new phrase plays.
    Jam_ReadSaveEvents(node);
    std::swap(net->iEventSetNow, net->iEventSetNext);
    net->uJamHeartbeat = 0;
    if (IsProgram(node))
        g_uiJamStartTime = Sys_GetMilliseconds();
    net->iTallyRing = 0;
    net->uBatchSent = 0;
    for (int32_t p = 0; p < JAM_NET_SLOTS; ++p) {
        Net_ClearEventList(net, net->iEventSetNext & 1, p);
        net->aPlayers[6 + p] = net->aPlayers[p];
        if (g_bNetJamImmediate)
            Net_ClearImmediateEvents(net, p);
    }
    Net_ClearEventList(net, net->iEventSetNext & 1, JAM_LOCAL_PLAYER);
    for (int32_t p = 0; p < JAM_PLAYERS; ++p)
        net->aEventLists[net->iEventSetNow & 1][p].uCursor = 0;
    Jam_WriteSaveEvents(node);
    net->aPlayers[10] = net->aPlayers[5];
    net->aPlayers[5] = net->aPlayers[JAM_LOCAL_PLAYER];
    if (!net->bNetJamHold && g_iJamStartState == JAM_START_RUNNING)
        Net_SendPlayerState(node);
}

void Net_NodeFrame(NETNODE *node, const uint8_t *keys)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net)
        return;
    std::lock_guard<std::recursive_mutex> hold(net->Lock);
    if (node->pSessionA)
        Net_ServiceInbox(node);
    if (!g_bSeqTimerRunning)
        return;
    // What the clock raised since the last frame, oldest first; the bar work goes before the
    // phrase work, so the last bar's batch leaves before the sets swap.
    const uint32_t bars = g_uJamBarEnds.load(std::memory_order_acquire);
    const uint32_t phrases = g_uJamPhraseEnds.load(std::memory_order_acquire);
    if (IsProgram(node) && g_iJamStartState != JAM_START_RUNNING) {
        // Ends from before this jam's start (an earlier jam) are not this jam's.
        node->uBarEndsDone = bars;
        node->uPhraseEndsDone = phrases;
    } else if (IsProgram(node)) {
        uint32_t pending = bars - node->uBarEndsDone;
        if (pending > 64)
            pending = 1; // a clock that ran on without the jam step: only the latest counts
        const int32_t bar = g_iJamBar.load();
        const int32_t step = g_iJamStep.load() / JAM_BAR_STEPS * JAM_BAR_STEPS;
        for (uint32_t i = pending; i > 0; --i)
            Net_EndBarWork(node, bar - (int32_t)i, step - (int32_t)(i - 1) * JAM_BAR_STEPS);
        node->uBarEndsDone = bars;
        if (phrases != node->uPhraseEndsDone) {
            Net_EndPhraseWork(node);
            node->uPhraseEndsDone = phrases;
        }
    }
    if (!g_bJamSessionOn)
        return;
    if (keys)
        Jam_PollLocalInput(node, keys, nullptr, -1);
    else if (IsProgram(node))
        Jam_PollLocalInput();
    Net_JamStep(node);
    if (IsProgram(node))
        Jam_ApplyPlayerInput(net);
}

void Net_FrameStep(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t)
{
    g_iNetFrameSteps++;
    // The main thread starts and stops sessions and sets the node's jam under this lock.
    std::lock_guard<std::recursive_mutex> hold(g_JamNet.Lock);
    if (!g_bJamSessionOn && !g_NetNode.pSessionA)
        return;
    if (g_bSeqTimerRunning && g_bJamKeyboardPoll)
        Jam_ReadKeyboard();
    if (!g_NetNode.pJam)
        return;
    Net_NodeFrame(&g_NetNode, nullptr);
}

// ==== Client messages ====

void Net_ResetClientSlots(NETNODE *node)
{
    if (!node->pJam)
        return;
    for (NETPLAYERSLOT &s : node->pJam->aClientSlots) {
        s.uPlayerId = 0;
        std::memset(s.szName, 0, sizeof s.szName);
        std::strcpy(s.szName, "EMPTY");
        s.uState = 0;
    }
}

// A player's keys as the network reset leaves them.
static void ResetPlayerKeys(JAMPLAYER &p)
{
    for (int k = 0; k < JAM_RIFF_KEYS; ++k) {
        p.auRiffKey[k] = 0;
        p.auRiffLatch[k] &= ~1u;
        p.aiRiffPitch[k] = 0;
        p.auRiffVolume[k] = 128;
    }
    for (int k = 0; k < JAM_PADS; ++k) {
        p.auPad[k] = 0;
        p.auPadLatch[k] &= ~1u;
    }
    for (JAMKEYBOARD &k : p.aKeyboard) {
        k.uHeld = 0;
        k.uReleased = 0;
        k.uOctave = 5;
        k.uSlotWord = 0;
    }
}

// One slot's player is gone: its parts, its log line, its slot.
static void SlotLeft(NETNODE *node, int32_t slot, bool quiet)
{
    JAMNET *net = node->pJam;
    NETPLAYERSLOT &s = net->aClientSlots[slot];
    if (slot != net->iNetMySlot) {
        if (JamActions *a = net->pActions)
            a->DropPlayerParts(slot);
        if (!quiet) {
            const std::string line = std::string(s.szName) + " " + Text(683, "has left the jam session");
            Log(node, line.c_str());
        }
        ResetPlayerKeys(net->aPlayers[slot]);
        Net_ClearImmediateEvents(net, slot);
    }
    s.uPlayerId = 0;
    std::memset(s.szName, 0, sizeof s.szName);
    std::strcpy(s.szName, "EMPTY");
    net->aSlotNames[slot].uState = 0;
    std::strcpy(net->aSlotNames[slot].szName, "EMPTY");
}

void Net_PlayerLeft(NETNODE *node, uint32_t playerId)
{
    JAMNET *net = node->pJam;
    if (!net || playerId == 0)
        return;
    // The server gone, or this player put out of the session: either way the jam is over for
    // the others here, and our own parts stay.
    if (playerId == PLAT_NET_SERVER_PLAYER || playerId == OwnId(node)) {
        Log(node, Text(682, "Network connection lost"));
        for (int32_t slot = 0; slot < JAM_NET_SLOTS; ++slot)
            if (net->aClientSlots[slot].uPlayerId != 0 && slot != net->iNetMySlot)
                SlotLeft(node, slot, false);
        return;
    }
    for (int32_t slot = 0; slot < JAM_NET_SLOTS; ++slot)
        if (net->aClientSlots[slot].uPlayerId == playerId) {
            SlotLeft(node, slot, false);
            return;
        }
}

static void SlotEntry(NETNODE *node, const NETMSG &m)
{
    JAMNET *net = node->pJam;
    const uint32_t id = m.auWord[1];
    const int32_t slot = (int32_t)m.auWord[2];
    if (id != 0 && id == OwnId(node)) {
        net->iNetMySlot = slot;
        if (node->pSessionA)
            node->pSessionA->iSlot = slot;
    }
    NETPLAYERSLOT &copy = net->aClientSlots[slot];
    // A slot emptied while we still hold its player: the departure notice did not come first.
    // It is handled with the id we held (the message's is 0), so it is told once.
    if (std::strcmp(m.szName, "EMPTY") == 0 && copy.uPlayerId != 0 && copy.uPlayerId != id)
        Net_PlayerLeft(node, copy.uPlayerId);
    NETPLAYERSLOT &shown = net->aSlotNames[slot];
    if (m.szName[0] && std::strcmp(m.szName, "EMPTY") != 0 && std::strcmp(shown.szName, "EMPTY") == 0) {
        const std::string line = std::string(m.szName) + " " + Text(684, "has entered the jam session");
        Log(node, line.c_str());
    }
    copy.uPlayerId = id;
    std::memset(copy.szName, 0, sizeof copy.szName);
    const size_t n = strnlen(m.szName, NET_NAME_BYTES);
    std::memcpy(copy.szName, m.szName, n);
    std::memset(shown.szName, 0, sizeof shown.szName);
    std::memcpy(shown.szName, m.szName, n);
    shown.uState = id != 0;
}

static void PlayerState(NETNODE *node, const NETMSG &m)
{
    JAMNET *net = node->pJam;
    const int32_t slot = (int32_t)m.auWord[2];
    if (net->bNetJamHold || g_iJamStartState >= JAM_START_NOW || slot == net->iNetMySlot)
        return;
    JAMPLAYER &stored = net->aPlayers[6 + slot];
    if (m.Player == stored)
        return;
    Jam_ApplyPlayerBlock(node, slot, net->aPlayers[slot], m.Player);
    net->aPlayers[slot] = m.Player;
    stored = m.Player;
    if (!g_bSeqTimerRunning)
        Jam_ReplayPhrase(node);
}

static void StartMessage(NETNODE *node)
{
    if (IsProgram(node))
        Jam_OnStartMessage(); // asks for the start time itself
    else
        Net_SendSyncRequest(node);
}

void Net_DispatchA(NETNODE *node, const uint8_t *message, size_t size, uint32_t)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net || !message || net->iJamReplay)
        return;
    const uint32_t limit = (uint32_t)std::clamp<int64_t>(g_iMaxTemplateSize, 0, NET_MAX_TEMPLATE_LIMIT);
    auto m = std::make_unique<NETMSG>();
    if (Net_ParseServerMessage(message, size, limit, m.get()) != NET_PARSE_OK) {
        ++net->uRefusedEvents;
        return;
    }
    const uint32_t now = node->uMessageArrivalMs ? node->uMessageArrivalMs : Sys_GetMilliseconds();
    switch (m->uId) {
    case NET_MSG_TEXT_RELAY: {
        std::string line((const char *)m->pPayload, std::min<size_t>(m->uPayloadBytes, JAM_LOG_CHARS - 1));
        Log(node, line.c_str());
        break;
    }
    case NET_MSG_SLOTS_CHANGED: Net_SendToServer(node, Net_BuildIdOnly(NET_MSG_SLOT_LIST_REQUEST)); break;
    case NET_MSG_SLOT_ENTRY: SlotEntry(node, *m); break;
    case NET_MSG_TEST_DATA:
        if (node->bTestDataToFile)
            if (FILE *f = std::fopen("testfile.dat", "ab")) {
                std::fwrite(m->pPayload, 1, m->uPayloadBytes, f);
                std::fclose(f);
            }
        break;
    case NET_MSG_COMMAND_RELAY: Net_QueueRelayedCommand(net, m->auWord[1], m->auWord[2], m->auWord[3]); break;
    case NET_MSG_START_TIME: Net_ApplySync(node, Net_SyncOf(*m), now); break;
    case NET_MSG_TIME_QUERY: Net_AnswerSyncQuery(node, m->auWord[1], m->auWord[2], now); break;
    case NET_MSG_PLAYER_STATE_RELAY: PlayerState(node, *m); break;
    case NET_MSG_BATCH_RELAY:
        Net_QueueRelayedBatch(net, m->auWord[1], (int32_t)m->auWord[3], (int32_t)m->auWord[4], m->aEvents,
                              m->uEventCount);
        break;
    case NET_MSG_POSITION_RELAY: {
        const NETPOSITION pos = Net_PositionOf(*m);
        ++node->uPositionReports;
        node->iLastReportedStep = pos.iStep;
        if (IsProgram(node)) {
            JAMCLOCK clock{};
            clock.aiWide[0] = (int32_t)pos.uClockA;
            clock.aiWide[1] = (int32_t)pos.uClockB;
            clock.aiWide[2] = (int32_t)pos.uClockC;
            clock.aiWide[3] = (int32_t)pos.uClockD;
            clock.aucNarrow[0] = pos.ucClockA;
            clock.aucNarrow[1] = pos.ucClockB;
            clock.aucNarrow[2] = pos.ucClockC;
            Jam_CheckPosition(pos.iStep, clock);
        }
        break;
    }
    case NET_MSG_TEMPLATE_RELAY: {
        const int32_t slot = (int32_t)m->auWord[1];
        if (slot >= 0 && slot < JAM_NET_SLOTS && slot != net->iNetMySlot && m->uPayloadBytes)
            Jam_LoadTemplateImage(node, slot, m->pPayload, m->uPayloadBytes);
        Net_SendTemplateApplied(node);
        break;
    }
    case NET_MSG_HOLD:
        net->bNetJamHold = 1;
        Net_SendToServer(node, Net_BuildSlotByte(NET_MSG_TEMPLATE_HOLDING, (uint8_t)net->iNetMySlot));
        break;
    case NET_MSG_TEMPLATE_DONE:
        net->bNetJamHold = 0;
        node->SentTemplate.clear();
        node->SentTemplate.shrink_to_fit();
        break;
    case NET_MSG_GO_AHEAD: {
        // A template that cannot be loaded goes out empty, so the others' hold still ends.
        std::vector<uint8_t> image;
        if (Jam_ReloadChosenTemplate(node, &image) != 0) {
            if (!node->ChosenTemplate.empty())
                Log(node, "That template could not be loaded.");
            image.clear();
        }
        Net_SendTemplate(node, image.data(), image.size());
        // Only now: the assignments name list entries the others file from that image.
        Jam_AssignLoadedTemplate(node);
        break;
    }
    case NET_MSG_START: StartMessage(node); break;
    default: break;
    }
}

int32_t Net_SendText(NETNODE *node, const char *text, int32_t slot)
{
    if (!node || !node->pJam || !text)
        return -1;
    uint32_t target = 0;
    if (slot >= 0) {
        if (slot >= JAM_NET_SLOTS || node->pJam->aClientSlots[slot].uPlayerId == 0)
            return -1;
        target = node->pJam->aClientSlots[slot].uPlayerId;
    }
    const size_t n = std::strlen(text);
    return Net_SendToServer(node, Net_BuildText(NET_MSG_TEXT, target, text, (uint32_t)n));
}

int32_t Net_SendTemplate(NETNODE *node, const void *data, size_t length)
{
    if (!node || !node->pJam || length > NET_MAX_TEMPLATE_LIMIT || (length && !data))
        return -1;
    node->SentTemplate.assign((const uint8_t *)data, (const uint8_t *)data + length);
    return Net_SendToServer(node, Net_BuildTemplate(NET_MSG_TEMPLATE, (uint32_t)node->pJam->iNetMySlot,
                                                    node->SentTemplate.data(), (uint32_t)length));
}

static int32_t SendSlotByte(NETNODE *node, uint32_t id)
{
    if (!node || !node->pJam)
        return -1;
    return Net_SendToServer(node, Net_BuildSlotByte(id, (uint8_t)node->pJam->iNetMySlot));
}

int32_t Net_SendTemplateLoading(NETNODE *node) { return SendSlotByte(node, NET_MSG_TEMPLATE_LOADING); }
int32_t Net_SendTemplateApplied(NETNODE *node) { return SendSlotByte(node, NET_MSG_TEMPLATE_APPLIED); }
int32_t Net_SendJamStart(NETNODE *node) { return SendSlotByte(node, NET_MSG_READY_TO_START); }
void Net_SendJamStart() { Net_SendJamStart(&g_NetNode); }

// ==== Server ====

int32_t Net_AddServerSlot(JAMNET *net, uint32_t playerId, const char *name)
{
    if (!net || playerId == 0 || playerId == PLAT_NET_SERVER_PLAYER || Net_ServerSlotOf(net, playerId) >= 0)
        return -1;
    for (int32_t s = 0; s < JAM_NET_SLOTS; ++s) {
        NETPLAYERSLOT &slot = net->aServerSlots[s];
        if (slot.uPlayerId == 0) {
            slot.uPlayerId = playerId;
            std::memset(slot.szName, 0, sizeof slot.szName);
            std::strncpy(slot.szName, name ? name : "", sizeof slot.szName - 1);
            slot.uState = 0;
            net->abServerSlotRunning[s] = 0;
            return s;
        }
    }
    return -1;
}

int32_t Net_ServerSlotOf(const JAMNET *net, uint32_t playerId)
{
    if (!net || playerId == 0)
        return -1;
    for (int32_t s = 0; s < JAM_NET_SLOTS; ++s)
        if (net->aServerSlots[s].uPlayerId == playerId)
            return s;
    return -1;
}

int32_t Net_IsSlotPlayer(const JAMNET *net, uint32_t playerId) { return Net_ServerSlotOf(net, playerId) >= 0; }

void Net_ResetServerSlots(JAMNET *net)
{
    for (NETPLAYERSLOT &s : net->aServerSlots) {
        s.uPlayerId = 0;
        std::memset(s.szName, 0, sizeof s.szName);
        s.uState = 0;
    }
    std::memset(net->abServerSlotRunning, 0, sizeof net->abServerSlotRunning);
    net->iTemplatePhase = 0;
    net->iNetTemplateSlot = -1;
}

void Net_FreeTemplateCopies(JAMNET *net)
{
    for (auto &c : net->aTemplateCopies) {
        c.clear();
        c.shrink_to_fit();
    }
}

void Net_UpdateLobbyClientList(NETNODE *node)
{
    static KESDATACLIENT list[JAM_NET_SLOTS];
    for (int32_t s = 0; s < JAM_NET_SLOTS; ++s) {
        list[s] = KESDATACLIENT{};
        list[s].pszName = node->pJam->aServerSlots[s].szName;
    }
    SetKestrixDataClientList(list, JAM_NET_SLOTS, g_iJamPlayers);
}

static void ToAll(NETNODE *node, const std::vector<uint8_t> &m) { Net_SendFromServer(node, PLAT_NET_ALL_PLAYERS, m); }

// Sends to every slot that holds a player, except `except`.
static void ToOthers(NETNODE *node, int32_t except, const std::vector<uint8_t> &m)
{
    for (int32_t s = 0; s < JAM_NET_SLOTS; ++s)
        if (s != except && node->pJam->aServerSlots[s].uPlayerId != 0)
            Net_SendFromServer(node, node->pJam->aServerSlots[s].uPlayerId, m);
}

// Whether every slot holding a player, other than the requester's, has reached `state`.
static bool AllOthersAt(const JAMNET *net, uint32_t state)
{
    for (int32_t s = 0; s < JAM_NET_SLOTS; ++s)
        if (s != net->iNetTemplateSlot && net->aServerSlots[s].uPlayerId != 0 && net->aServerSlots[s].uState != state)
            return false;
    return true;
}

static void EndExchange(NETNODE *node)
{
    JAMNET *net = node->pJam;
    ToAll(node, Net_BuildIdAndZero(NET_MSG_TEMPLATE_DONE));
    for (NETPLAYERSLOT &s : net->aServerSlots)
        s.uState = 0;
    net->iTemplatePhase = 0;
}

static void CheckExchange(NETNODE *node)
{
    JAMNET *net = node->pJam;
    const int32_t req = net->iNetTemplateSlot;
    if (net->iTemplatePhase == 1 && AllOthersAt(net, 1)) {
        net->iTemplatePhase = 2;
        if (req >= 0 && net->aServerSlots[req].uPlayerId)
            Net_SendFromServer(node, net->aServerSlots[req].uPlayerId, Net_BuildIdAndZero(NET_MSG_GO_AHEAD));
    } else if (net->iTemplatePhase == 3 && AllOthersAt(net, 2)) {
        EndExchange(node);
    }
}

void Net_ServerSlotGone(NETNODE *node, int32_t slot)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net || slot < 0 || slot >= JAM_NET_SLOTS)
        return;
    net->abServerSlotRunning[slot] = 0;
    net->aServerSlots[slot].uState = 0;
    if (net->iTemplatePhase == 0)
        return;
    if (slot == net->iNetTemplateSlot) {
        // The player who asked is gone: nobody will send the template.
        EndExchange(node);
        return;
    }
    CheckExchange(node);
}

static void TimeRequest(NETNODE *node, int32_t fromSlot, uint32_t requester, uint32_t clock)
{
    JAMNET *net = node->pJam;
    // Someone whose jam clock runs knows where the phrase is; failing that, the last other one.
    int32_t asked = -1;
    for (int32_t s = 0; s < JAM_NET_SLOTS; ++s)
        if (s != fromSlot && net->aServerSlots[s].uPlayerId != 0 && net->abServerSlotRunning[s])
            asked = s;
    if (asked < 0)
        for (int32_t s = 0; s < JAM_NET_SLOTS; ++s)
            if (s != fromSlot && net->aServerSlots[s].uPlayerId != 0)
                asked = s;
    NETSYNC sync{requester, clock, 0, 0, 0, 0, 0};
    if (asked < 0) {
        sync = NETSYNC{requester, 0xFFFFFFFFu, 0, 0, 0, -1, -1};
        Net_SendFromServer(node, requester, Net_BuildSync(NET_MSG_START_TIME, sync));
        return;
    }
    Net_SendFromServer(node, net->aServerSlots[asked].uPlayerId, Net_BuildSync(NET_MSG_TIME_QUERY, sync));
}

void Net_DispatchB(NETNODE *node, const uint8_t *message, size_t size, uint32_t sender)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net || !message)
        return;
    // A player without a slot (one too many) has no part in the jam.
    const int32_t slot = Net_ServerSlotOf(net, sender);
    if (slot < 0)
        return;
    const uint32_t limit = (uint32_t)std::clamp<int64_t>(g_iMaxTemplateSize, 0, NET_MAX_TEMPLATE_LIMIT);
    auto m = std::make_unique<NETMSG>();
    if (Net_ParseClientMessage(message, size, limit, m.get()) != NET_PARSE_OK)
        return;
    const uint32_t *w = m->auWord;
    switch (m->uId) {
    case NET_MSG_TEXT:
        Net_SendFromServer(node, w[1], Net_BuildText(NET_MSG_TEXT_RELAY, sender, m->pPayload, m->uPayloadBytes, w[3]));
        break;
    case NET_MSG_SLOTS_QUERY: Net_SendFromServer(node, sender, Net_BuildIdOnly(NET_MSG_SLOTS_CHANGED)); break;
    case NET_MSG_SLOT_LIST_REQUEST:
        for (int32_t s = 0; s < JAM_NET_SLOTS; ++s)
            Net_SendFromServer(node, sender,
                               Net_BuildSlotEntry(net->aServerSlots[s].uPlayerId, (uint32_t)s, net->aServerSlots[s].szName));
        if (g_bNetSession)
            Net_UpdateLobbyClientList(node);
        break;
    case NET_MSG_COMMAND: ToAll(node, Net_BuildCommandRelay(w[1], (uint32_t)slot, w[2])); break;
    // The requester is who sent it, whatever the message claims.
    case NET_MSG_TIME_REQUEST: TimeRequest(node, slot, sender, w[2]); break;
    case NET_MSG_TIME_ANSWER: {
        NETSYNC sync = Net_SyncOf(*m);
        if (Net_IsSlotPlayer(net, sync.uRequester))
            Net_SendFromServer(node, sync.uRequester, Net_BuildSync(NET_MSG_START_TIME, sync));
        break;
    }
    case NET_MSG_PLAYER_STATE:
        // Only a running jam clock sends its phrase state.
        net->abServerSlotRunning[slot] = 1;
        ToAll(node, Net_BuildPlayerState(NET_MSG_PLAYER_STATE_RELAY, w[1], (uint32_t)slot, m->Player));
        break;
    case NET_MSG_COMMAND_BATCH:
        ToAll(node, Net_BuildEventBatch(NET_MSG_BATCH_RELAY, (uint32_t)slot, (int32_t)w[3], (int32_t)w[4], m->aEvents,
                                        m->uEventCount));
        break;
    case NET_MSG_POSITION: {
        std::vector<uint8_t> relay(message, message + size);
        relay[0] = (uint8_t)(NET_MSG_POSITION_RELAY & 255);
        relay[1] = (uint8_t)(NET_MSG_POSITION_RELAY >> 8);
        ToAll(node, relay);
        break;
    }
    case NET_MSG_TEMPLATE:
        net->aTemplateCopies[slot].assign(m->pPayload, m->pPayload + m->uPayloadBytes);
        ToOthers(node, slot, Net_BuildTemplate(NET_MSG_TEMPLATE_RELAY, (uint32_t)slot, m->pPayload, m->uPayloadBytes));
        if (net->iTemplatePhase == 2 && slot == net->iNetTemplateSlot) {
            net->iTemplatePhase = 3;
            CheckExchange(node);
        }
        break;
    case NET_MSG_TEMPLATE_LOADING: {
        net->iNetTemplateSlot = slot;
        for (NETPLAYERSLOT &s : net->aServerSlots)
            s.uState = 0;
        int32_t players = 0;
        for (const NETPLAYERSLOT &s : net->aServerSlots)
            players += s.uPlayerId != 0;
        if (players <= 1) {
            net->iTemplatePhase = 2;
            Net_SendFromServer(node, sender, Net_BuildIdAndZero(NET_MSG_GO_AHEAD));
        } else {
            net->iTemplatePhase = 1;
            ToOthers(node, slot, Net_BuildSlotByte(NET_MSG_HOLD, (uint8_t)slot));
        }
        break;
    }
    case NET_MSG_TEMPLATE_HOLDING:
        if (net->iTemplatePhase == 1 && slot != net->iNetTemplateSlot) {
            net->aServerSlots[slot].uState = 1;
            CheckExchange(node);
        }
        break;
    case NET_MSG_TEMPLATE_APPLIED:
        if (net->iTemplatePhase >= 2 && slot != net->iNetTemplateSlot) {
            net->aServerSlots[slot].uState = 2;
            CheckExchange(node);
        } else if (net->iTemplatePhase == 0 || slot == net->iNetTemplateSlot) {
            // A catch-up template applied outside an exchange: nothing waits for it.
        }
        break;
    case NET_MSG_READY_TO_START:
        for (int32_t s = 0; s < JAM_NET_SLOTS; ++s)
            if (s != slot && net->aServerSlots[s].uPlayerId != 0 && !net->aTemplateCopies[s].empty())
                Net_SendFromServer(node, sender,
                                   Net_BuildTemplate(NET_MSG_TEMPLATE_RELAY, (uint32_t)s, net->aTemplateCopies[s].data(),
                                                     (uint32_t)net->aTemplateCopies[s].size()));
        Net_SendFromServer(node, sender, Net_BuildIdOnly(NET_MSG_START));
        break;
    default: break;
    }
}

// ==== Start time and position ====

uint32_t Net_NextPhraseTime(uint32_t clock, uint32_t now)
{
    return clock + (uint32_t)Net_PhraseLengthMs() - (now - g_uiJamStartTime.load());
}

void Net_SendSyncRequest(NETNODE *node)
{
    NETSYNC sync{OwnId(node), Sys_GetMilliseconds(), 0, 0, 0, 0, 0};
    Net_SendToServer(node, Net_BuildSync(NET_MSG_TIME_REQUEST, sync));
}

void Net_SendSyncRequest() { Net_SendSyncRequest(&g_NetNode); }

void Net_AnswerSyncQuery(NETNODE *node, uint32_t requester, uint32_t requesterClock, uint32_t now)
{
    NETSYNC sync{requester,
                 Net_NextPhraseTime(requesterClock, now),
                 g_iJamPhraseBar + 4,
                 g_uTempo,
                 g_iJamPhraseStep + JAM_PHRASE_STEPS,
                 g_iJamPlayers,
                 g_iMaxTemplateSize};
    // Two players started together: this jam's clock does not run yet, and its next phrase is
    // its own start, at the bar and step it will start from. Told as the next phrase of a running
    // clock, the requester would count one phrase ahead and play every batch a phrase early.
    if (!g_bSeqTimerRunning) {
        if (g_iJamStartState == JAM_START_WAITING && g_iJamSyncKind == JAM_SYNC_AT_TIME)
            sync.uTime = requesterClock + (g_uiJamSyncTime.load() - now);
        sync.iBar = g_iJamBar;
        sync.iStep = g_iJamStep;
    }
    Net_SendToServer(node, Net_BuildSync(NET_MSG_TIME_ANSWER, sync));
}

bool Net_ApplySync(NETNODE *, const NETSYNC &s, uint32_t now)
{
    // Values from the network that no jam can take are refused as a whole: a tempo outside
    // 40..240 would make the phrase length 0 and the wait below endless.
    if (s.uTempo != 0 && (s.uTempo < 40 || s.uTempo > 240))
        return false;
    if (s.iPlayers != -1 && (s.iPlayers < 1 || s.iPlayers > JAM_NET_SLOTS))
        return false;
    if (s.iLimit != -1 && (s.iLimit < 0 || (uint32_t)s.iLimit > NET_MAX_TEMPLATE_LIMIT))
        return false;
    if (s.uTempo != 0) {
        g_iJamTempo = (int32_t)s.uTempo;
        g_uTempo = (uint16_t)s.uTempo;
        Jam_SetTempoTick();
    }
    const uint32_t phrase = (uint32_t)std::max<int32_t>(1, Net_PhraseLengthMs());
    uint32_t start = s.uTime == 0xFFFFFFFFu ? Net_NextPhraseTime(now, now) : s.uTime;
    // Whole phrases forward until the start lies ahead; a start from far back is moved in one go.
    const int32_t behind = (int32_t)(now - start);
    if (behind > 0)
        start += ((uint32_t)behind / phrase + 1) * phrase;
    Jam_SetSyncTime(start);
    if (s.iPlayers != -1)
        g_iJamPlayers = s.iPlayers;
    if (s.iLimit != -1)
        g_iMaxTemplateSize = s.iLimit;
    g_iJamBar = s.iBar;
    g_iJamStep = s.iStep;
    // The phrase that starts then begins at that bar, so batches sort into the right phrase.
    g_iJamPhraseBar = s.iBar;
    return true;
}

void Net_SendPosition(NETNODE *node)
{
    if (g_bJamSinglePlayer || !node || !node->pJam)
        return;
    JAMCLOCK c{};
    Jam_ReadSeqClock(&c);
    NETPOSITION pos{};
    pos.uHeartbeat = node->pJam->uJamHeartbeat;
    pos.uClockA = (uint32_t)c.aiWide[0];
    pos.uClockB = (uint32_t)c.aiWide[1];
    pos.ucClockA = c.aucNarrow[0];
    pos.iStep = g_iJamStep;
    pos.uClockC = (uint32_t)c.aiWide[2];
    pos.uClockD = (uint32_t)c.aiWide[3];
    pos.ucClockB = c.aucNarrow[1];
    pos.ucClockC = c.aucNarrow[2];
    pos.iBar = g_iJamBar;
    Net_SendToServer(node, Net_BuildPosition(NET_MSG_POSITION, pos));
}

// ==== Reset ====

void Net_ResetJamState(NETNODE *node)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net)
        return;
    std::lock_guard<std::recursive_mutex> hold(net->Lock);
    for (JAMPLAYER &p : net->aPlayers)
        ResetPlayerKeys(p);
    for (int32_t i = 0; i < JAM_PLAYERS; ++i) {
        JAMPLAYER &p = net->aPlayers[i];
        for (int k = 0; k < JAM_RIFF_KEYS; ++k)
            p.aiRiffPrevPitch[k] = 0;
        for (int k = 0; k < JAM_PART_ENTRIES; ++k) {
            p.auLevel[k] = 128;
            p.aiPitch[k] = 0;
            p.auPan[k] = 128;
        }
        p.uPartMask = 0;
        p.uRiffMask = 0;
        p.uController = 0;
        p.uBendRange = 12;
        p.iPluginSlot = -1;
        for (int32_t &r : p.aiReserved)
            r = -1;
        net->aEventLists[net->iEventSetNow & 1][i].uCursor = 0;
    }
    for (JAMTALLY &t : net->aTally) {
        std::memset(t.auCurrent, 0, sizeof t.auCurrent);
        std::memset(t.auShown, 0, sizeof t.auShown);
    }
    std::memset(net->auLocalRing, 0, sizeof net->auLocalRing);
    std::memset(net->auLocalCount, 0, sizeof net->auLocalCount);
    net->iTallyRing = 0;
    std::memset(net->auSentMask, 0, sizeof net->auSentMask);
    for (int32_t s = 0; s < JAM_NET_SLOTS; ++s) {
        NETPLAYERSLOT &c = net->aClientSlots[s];
        c.uPlayerId = 0;
        std::memset(c.szName, 0, sizeof c.szName);
        std::strcpy(c.szName, "EMPTY");
        std::memset(net->aSlotNames[s].szName, 0, sizeof net->aSlotNames[s].szName);
        std::strcpy(net->aSlotNames[s].szName, "EMPTY");
        net->aSlotNames[s].uState = 0;
        Net_ClearImmediateEvents(net, s);
    }
    net->aPlayers[5] = net->aPlayers[JAM_LOCAL_PLAYER];
    net->aPlayers[10] = net->aPlayers[JAM_LOCAL_PLAYER];
    Net_ResetTrackEvents(net);
    net->uJamHeartbeat = 0;
    if (IsProgram(node)) {
        g_uiJamStartTime = Sys_GetMilliseconds();
        g_uiJamSyncTime = 0;
        Jam_SetTempoTick();
    }
}
