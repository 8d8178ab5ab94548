#include "jam/jamplay.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/devices.h"
#include "core/archive.h"
#include "core/mixlock.h"
#include "core/padbind.h"
#include "jam/jamseq.h"
#include "jam/netcommand.h"
#include "jam/netsession.h"
#include "jam/netjam.h"
#include "jam/jaminput.h"
#include "jam/jamsession.h"
#include "audio/plugin.h"
#include "sequencer/clock.h"
#include "sequencer/instruments.h"
#include "sequencer/samples.h"
#include "sequencer/songmodel.h"
#include "ui/langtext.h"
#include "ui/mouse.h"
#include "ui/popup.h"

char g_aszJamCaptions[JAM_CAPTIONS][JAM_CAPTION_BYTES];
char g_aszJamKeyboardNames[JAM_KEYBOARDS][JAM_CAPTION_BYTES];
int32_t g_iJamSlotChoice = -1;
int32_t g_iJamKeyboardChoice = -1;
int32_t g_iJamRiffKeyChoice = -1;
int32_t g_bJamReleasesPending = 0;

namespace {

constexpr int32_t kCaptionKeyboard = 1;
constexpr int32_t kCaptionRiff = 3;
constexpr int32_t kCaptionPad = 15;
constexpr int32_t kPartEntries = JAM_KEYBOARDS + JAM_PADS; // 0-1 keyboards, 2-10 pads
constexpr uint32_t kMulti = 0x8000;
constexpr int32_t kMaxPartName = 99;

const char *const kControllerNames[JAM_CONTROLLERS] = {"Volume", "Pitch", "Pan", "PitchBend Range"};

bool IsPlayer(int32_t p) { return p >= 0 && p < JAM_PLAYERS; }
bool IsPluginSlot(int64_t s) { return s >= 0 && s < JAM_PLUGIN_SLOTS; }

JamActions *Actions(NETNODE *node)
{
    return node && node->pJam ? node->pJam->pActions : nullptr;
}

void Send(NETNODE *node, int32_t command, uint32_t data)
{
    Net_SendJamCommand(node, node->pJam->uJamHeartbeat, command, data);
}

void SetCaption(int32_t index, const char *text, size_t max)
{
    std::snprintf(g_aszJamCaptions[index], JAM_CAPTION_BYTES, "%.*s", (int)std::min<size_t>(max, kMaxPartName),
                  text ? text : "");
}

// Name of entry c of the library folder (a, b) below directory `dir`; empty when none.
void LibraryName(int dir, uint32_t a, uint32_t b, uint32_t c, char *out, size_t size)
{
    out[0] = 0;
    if (dir < 0 || a < 1 || b < 1 || c < 1)
        return;
    const uint16_t path[3] = {(uint16_t)dir, (uint16_t)(a - 1), (uint16_t)(b - 1)};
    int32_t count = 0;
    const uint8_t *listing = Sys_WadListDirByIndex(path, 3, &count);
    if (!listing || (int64_t)c > count)
        return;
    std::snprintf(out, size, "%.*s", WAD_COMPANION_ROW, (const char *)listing + (size_t)c * WAD_COMPANION_ROW);
}

// The riff of entry n of a player's list: the song's riff list for this program's own.
uint16_t RiffOfEntry(const JAMNET *net, int32_t player, uint32_t entry)
{
    if (player == JAM_LOCAL_PLAYER || player == net->iNetMySlot)
        return entry >= 1 && entry <= g_uRiffListCount ? g_auRiffList[entry] : 0;
    return Jam_RiffListEntry(player, entry);
}

uint16_t InstrumentOfEntry(const JAMNET *net, int32_t player, uint32_t entry)
{
    const int32_t owner = player == JAM_LOCAL_PLAYER ? JAM_LOCAL_PLAYER : Jam_ListOwner(player, net->iNetMySlot);
    return Jam_InstrumentListEntry(owner, entry);
}

// The slot word of a list entry as the other players read it: this program's own list is named
// by its slot.
uint32_t ListWord(const JAMNET *net, int32_t player, uint32_t entry)
{
    return Jam_PackListEntry(player == JAM_LOCAL_PLAYER ? net->iNetMySlot : player, entry);
}

// After a choice from a pop-up: back to the jam screen with the keys live.
void FinishChoice(bool close)
{
    if (!close)
        return;
    if (g_pCurrentPopup && !g_pCurrentPopup->free)
        Ui_ClosePopup();
    g_iScreen = 10;
    g_iNextScreen = 10;
    g_iJamSlotChoice = g_iJamKeyboardChoice = g_iJamRiffKeyChoice = -1;
    g_bJamKeysActive = 1;
}

int32_t PickChoice(int32_t given, int32_t choice, int32_t limit, bool *fromPopup)
{
    *fromPopup = given < 0;
    const int32_t v = given < 0 ? choice : given;
    return v >= 0 && v < limit ? v : -1;
}

// A library word whose entry byte is 0 names nothing: the part is emptied.
void LibraryKeys(uint32_t word, uint32_t *k1, uint32_t *k2, uint32_t *k3)
{
    Jam_UnpackLibraryKey(word, k1, k2, k3);
    if (*k3 == 0)
        *k1 = 0;
}

bool NamesPart(uint32_t word) { return Jam_IsListEntry(word) || (word & 255) != 0; }

// Loads a part named by a slot word for a player, as every machine does for a command.
void LoadPadWord(JamActions *a, const JAMNET *net, int32_t player, int32_t pad, uint32_t word)
{
    if (Jam_IsListEntry(word)) {
        a->LoadPad(player, 1, 1, 1, pad,
                   InstrumentOfEntry(net, Jam_ListEntryPlayer(word), Jam_ListEntryNumber(word)));
        return;
    }
    uint32_t k1, k2, k3;
    LibraryKeys(word, &k1, &k2, &k3);
    a->LoadPad(player, k1, k2, k3, pad, JAM_LOAD_BY_KEYS);
}

void LoadKeyboardWord(JamActions *a, const JAMNET *net, int32_t player, int32_t keyboard, uint32_t word)
{
    const int32_t first = keyboard * JAM_KEYBOARD_KEYS;
    if (Jam_IsListEntry(word)) {
        a->LoadKeyboard(player, 1, 1, 1, first,
                        InstrumentOfEntry(net, Jam_ListEntryPlayer(word), Jam_ListEntryNumber(word)));
        return;
    }
    uint32_t k1, k2, k3;
    LibraryKeys(word, &k1, &k2, &k3);
    a->LoadKeyboard(player, k1, k2, k3, first, JAM_LOAD_BY_KEYS);
}

void LoadRiffWord(JamActions *a, const JAMNET *net, int32_t player, int32_t key, uint32_t word)
{
    if (Jam_IsListEntry(word)) {
        // Cleared first, so the same riff given again starts afresh.
        a->LoadRiffKey(0, 0, 0, key, player, 0);
        a->LoadRiffKey(1, 1, 1, key, player, RiffOfEntry(net, Jam_ListEntryPlayer(word), Jam_ListEntryNumber(word)));
        return;
    }
    uint32_t k1, k2, k3;
    LibraryKeys(word, &k1, &k2, &k3);
    a->LoadRiffKey(k1, k2, k3, key, player, JAM_LOAD_BY_KEYS);
}

// A slot word from a peer or a recording: a list entry must exist in the list it names.
bool SlotWordIsValid(const JAMNET *net, uint32_t word, bool riff)
{
    if (word >> 24)
        return false;
    if (!Jam_IsListEntry(word))
        return true;
    const int32_t p = Jam_ListEntryPlayer(word);
    const uint32_t n = Jam_ListEntryNumber(word);
    return riff ? RiffOfEntry(net, p, n) != 0 : InstrumentOfEntry(net, p, n) != 0;
}

bool IsLive(int32_t code)
{
    return (code >= 22 && code <= 27) || (code >= 31 && code <= 39) || (code >= 46 && code <= 51);
}

// Keys 0..n-1 held (22, 24): a latched key sounds while it is up.
void KeysHeld(uint32_t *words, const uint32_t *latches, int32_t n, uint32_t mask)
{
    for (int32_t k = 0; k < n; ++k) {
        const uint32_t bit = mask >> k & 1;
        words[k] = (words[k] & ~1u) | ((latches[k] & 1) ? bit ^ 1 : bit);
    }
}

// Latch toggles (23, 25): a latched key becomes unlatched and silent, an unlatched one latched
// and sounding.
void LatchToggle(uint32_t *words, uint32_t *latches, int32_t n, uint32_t mask)
{
    for (int32_t k = 0; k < n; ++k) {
        if (!(mask >> k & 1))
            continue;
        if (latches[k] & 1) {
            latches[k] &= ~1u;
            words[k] &= ~1u;
        } else {
            latches[k] |= 1;
            words[k] |= 1;
        }
    }
}

// A live command of a scheduled player waits in its track list 0 until its jam frame. Commands of
// one frame keep the order they were given in: a latch toggle after a key press is not the same
// as the press after the toggle.
void QueueLive(JAMNET *net, const JAMEVENT &e, int32_t player)
{
    std::vector<JAMEVENT> &ev = net->aTrackEvents[player][0].Events;
    if (ev.size() >= NET_MAX_LIST_EVENTS)
        return;
    ev.insert(std::upper_bound(ev.begin(), ev.end(), e.uHeartbeat,
                               [](uint32_t hb, const JAMEVENT &x) { return hb < x.uHeartbeat; }),
              e);
}

void ReportRefused(JAMNET *net, const JAMEVENT &e, int32_t player)
{
    if (net->uRefusedEvents++ == 0)
        std::fprintf(stderr, "Jam: a command out of range was ignored (player %d, command %d, data %u)\n", player,
                     e.iCommand, e.uData);
}

// The controller move of 31-38: mask, level and controller, then the update.
void ControllerMove(NETNODE *node, int32_t player, int32_t controller, uint32_t d, bool riffs, bool setMask)
{
    JAMNET *net = node->pJam;
    JAMPLAYER &pl = net->aPlayers[player];
    uint32_t mask, position;
    Jam_UnpackController(d, &mask, &position);
    if (setMask) {
        if (riffs) {
            pl.uRiffMask = (uint16_t)mask;
            if (!(mask & kMulti))
                pl.uPartMask = 0;
        } else {
            pl.uPartMask = (uint16_t)mask;
            if (!(mask & kMulti))
                pl.uRiffMask = 0;
        }
    }
    net->aDials[player].iPosition = (int32_t)position;
    Jam_SetPlayerController(net, player, controller);
    if (riffs)
        Jam_ApplyControllerToRiffs(node, player);
    else
        Jam_ApplyControllerToParts(node, player);
}

} // namespace

// ---- Captions ----

void Jam_InitCaptions()
{
    static const char *const fixed[] = {"blank", "Piano1", "Piano2"};
    for (int32_t i = 0; i < 3; ++i)
        SetCaption(i, fixed[i], kMaxPartName);
    for (int32_t k = 0; k < 12; ++k)
        std::snprintf(g_aszJamCaptions[kCaptionRiff + k], JAM_CAPTION_BYTES, "Fkey%d", k + 1);
    for (int32_t p = 0; p < 10; ++p)
        std::snprintf(g_aszJamCaptions[kCaptionPad + p], JAM_CAPTION_BYTES, "Numpad%d", p + 1);
    SetCaption(JAM_CAPTION_STATUS, "ModWheel", kMaxPartName);
    for (auto &n : g_aszJamKeyboardNames)
        n[0] = 0;
    g_iJamSlotChoice = g_iJamKeyboardChoice = g_iJamRiffKeyChoice = -1;
}

// ---- Part assignment ----

int32_t Jam_AssignRiffFromList(NETNODE *node, int32_t player, uint32_t entry, int32_t key, int32_t close)
{
    JamActions *a = Actions(node);
    bool popup;
    key = PickChoice(key, g_iJamRiffKeyChoice, JAM_RIFF_KEYS, &popup);
    if (!a || key < 0 || !IsPlayer(player))
        return -1;
    JAMNET *net = node->pJam;
    const uint16_t riff = RiffOfEntry(net, player, entry);
    if (!riff)
        return -1;
    a->LoadRiffKey(1, 1, 1, key, JAM_LOCAL_PLAYER, riff);
    const uint32_t word = ListWord(net, player, entry);
    uint32_t &w = net->aPlayers[JAM_LOCAL_PLAYER].auRiffKey[key];
    w = Jam_KeyWord(word, w);
    const RIFFENTRY *r = g_JamSeqCalls.GetRiff(riff);
    SetCaption(kCaptionRiff + key, r ? r->szName : "", sizeof r->szName);
    Send(node, key + 10, word);
    FinishChoice(close != 0);
    return 0;
}

int32_t Jam_AssignRiffFromLibrary(NETNODE *node, uint32_t a, uint32_t b, uint32_t c, int32_t key)
{
    JamActions *act = Actions(node);
    bool popup;
    key = PickChoice(key, g_iJamRiffKeyChoice, JAM_RIFF_KEYS, &popup);
    if (!act || key < 0 || a > 127 || b > 255 || c > 255)
        return -1;
    JAMNET *net = node->pJam;
    act->LoadRiffKey(c ? a : 0, b, c, key, JAM_LOCAL_PLAYER, JAM_LOAD_BY_KEYS);
    const uint32_t word = Jam_PackLibraryKey(a, b, c);
    uint32_t &w = net->aPlayers[JAM_LOCAL_PLAYER].auRiffKey[key];
    w = Jam_KeyWord(word, w);
    char name[64];
    LibraryName(g_iWadDirR, a, b, c, name, sizeof name);
    SetCaption(kCaptionRiff + key, c ? name : "Empty", 16);
    Send(node, key + 10, word);
    FinishChoice(popup);
    return 0;
}

int32_t Jam_AssignInstrumentFromList(NETNODE *node, int32_t player, uint32_t entry, int32_t pad, int32_t close)
{
    if (g_iJamKeyboardChoice >= 0 && pad < 0)
        return Jam_AssignKeyboardFromList(node, player, entry, g_iJamKeyboardChoice, 1);
    JamActions *a = Actions(node);
    bool popup;
    pad = PickChoice(pad, g_iJamSlotChoice, JAM_PADS, &popup);
    if (!a || pad < 0 || !IsPlayer(player))
        return -1;
    JAMNET *net = node->pJam;
    const uint16_t inst = InstrumentOfEntry(net, player, entry);
    if (!inst)
        return -1;
    a->LoadPad(JAM_LOCAL_PLAYER, 1, 1, 1, pad, inst);
    const uint32_t word = ListWord(net, player, entry);
    uint32_t &w = net->aPlayers[JAM_LOCAL_PLAYER].auPad[pad];
    w = Jam_KeyWord(word, w);
    char name[20];
    Seq_GetInstrumentName(inst, name);
    SetCaption(kCaptionPad + pad, name, sizeof name);
    Send(node, pad + 1, word);
    FinishChoice(close != 0);
    return 0;
}

int32_t Jam_AssignInstrumentFromLibrary(NETNODE *node, uint32_t a, uint32_t b, uint32_t c, int32_t pad)
{
    if (g_iJamKeyboardChoice >= 0 && pad < 0) {
        const int32_t done = Jam_AssignKeyboardFromLibrary(node, a, b, c, g_iJamKeyboardChoice);
        FinishChoice(done == 0);
        return done;
    }
    JamActions *act = Actions(node);
    bool popup;
    pad = PickChoice(pad, g_iJamSlotChoice, JAM_PADS, &popup);
    if (!act || pad < 0 || a > 127 || b > 255 || c > 255)
        return -1;
    JAMNET *net = node->pJam;
    act->LoadPad(JAM_LOCAL_PLAYER, c ? a : 0, b, c, pad, JAM_LOAD_BY_KEYS);
    const uint32_t word = Jam_PackLibraryKey(a, b, c);
    uint32_t &w = net->aPlayers[JAM_LOCAL_PLAYER].auPad[pad];
    w = Jam_KeyWord(word, w);
    char name[64];
    LibraryName(g_iWadDirN, a, b, c, name, sizeof name);
    SetCaption(kCaptionPad + pad, c ? name : "Empty", kMaxPartName);
    Send(node, pad + 1, word);
    FinishChoice(popup);
    return 0;
}

int32_t Jam_AssignKeyboardFromList(NETNODE *node, int32_t player, uint32_t entry, int32_t keyboard, int32_t close)
{
    JamActions *a = Actions(node);
    if (!a || keyboard < 0 || keyboard >= JAM_KEYBOARDS || !IsPlayer(player))
        return -1;
    JAMNET *net = node->pJam;
    const uint16_t inst = InstrumentOfEntry(net, player, entry);
    if (!inst)
        return -1;
    a->LoadKeyboard(JAM_LOCAL_PLAYER, 1, 1, 1, keyboard * JAM_KEYBOARD_KEYS, inst);
    const uint32_t word = ListWord(net, player, entry);
    net->aPlayers[JAM_LOCAL_PLAYER].aKeyboard[keyboard].uSlotWord = word;
    char name[20];
    Seq_GetInstrumentName(inst, name);
    std::snprintf(g_aszJamKeyboardNames[keyboard], JAM_CAPTION_BYTES, "%.*s", (int)sizeof name, name);
    SetCaption(kCaptionKeyboard + keyboard, name, sizeof name);
    Send(node, keyboard + 28, word);
    FinishChoice(close != 0);
    return 0;
}

int32_t Jam_AssignKeyboardFromLibrary(NETNODE *node, uint32_t a, uint32_t b, uint32_t c, int32_t keyboard)
{
    JamActions *act = Actions(node);
    if (!act || keyboard < 0 || keyboard >= JAM_KEYBOARDS || a > 127 || b > 255 || c > 255)
        return -1;
    JAMNET *net = node->pJam;
    act->LoadKeyboard(JAM_LOCAL_PLAYER, c ? a : 0, b, c, keyboard * JAM_KEYBOARD_KEYS, JAM_LOAD_BY_KEYS);
    const uint32_t word = Jam_PackLibraryKey(a, b, c);
    net->aPlayers[JAM_LOCAL_PLAYER].aKeyboard[keyboard].uSlotWord = word;
    char name[64];
    if (c)
        LibraryName(g_iWadDirN, a, b, c, name, sizeof name);
    else
        std::snprintf(name, sizeof name, "%s",
                      Ui_Text(keyboard == 0 ? 696 : 697));
    std::snprintf(g_aszJamKeyboardNames[keyboard], JAM_CAPTION_BYTES, "%s", name);
    SetCaption(kCaptionKeyboard + keyboard, name, kMaxPartName);
    Send(node, keyboard + 28, word);
    return 0;
}

void Jam_AssignRiffFromLibrary(uint32_t a, uint32_t b, uint32_t c, int32_t key)
{
    Jam_AssignRiffFromLibrary(&g_NetNode, a, b, c, key);
}
void Jam_AssignInstrumentFromLibrary(uint32_t a, uint32_t b, uint32_t c, int32_t pad)
{
    Jam_AssignInstrumentFromLibrary(&g_NetNode, a, b, c, pad);
}
void Jam_AssignKeyboardFromLibrary(uint32_t a, uint32_t b, uint32_t c, int32_t keyboard)
{
    Jam_AssignKeyboardFromLibrary(&g_NetNode, a, b, c, keyboard);
}

// ---- Riff keys' instrument lists ----

namespace {
// Marks the instruments of the notes in `cells` grid cells, then lists them in slot order, each
// raising its use count once.
void BuildFromGrid(int32_t player, int32_t key, const uint16_t *grid, int32_t cells)
{
    std::memset(g_abInstrumentMarks, 0, sizeof g_abInstrumentMarks);
    for (int32_t i = 0; grid && i < cells; ++i)
        if (grid[i])
            if (const JAMNOTE *n = g_JamSeqCalls.GetNote(grid[i]))
                if (n->uInstrument >= 1 && n->uInstrument < SEQ_INSTRUMENT_SLOTS)
                    g_abInstrumentMarks[n->uInstrument] = 1;
    std::vector<uint8_t> &list = g_aJamPlayerRows[player].aRiffInstruments[key];
    list.clear();
    for (int32_t slot = 1; slot < SEQ_INSTRUMENT_SLOTS; ++slot)
        if (g_abInstrumentMarks[slot]) {
            list.push_back((uint8_t)slot);
            const uint8_t uses = g_JamSeqCalls.InstrumentUses(slot);
            if (uses && uses < 255)
                g_JamSeqCalls.SetInstrumentUses(slot, (uint8_t)(uses + 1));
        }
}
} // namespace

void Jam_BuildRiffInstrumentList(int32_t player, int32_t key, int32_t row)
{
    JAMSTATE *s = g_pJamState;
    if (!s || !IsPlayer(player) || key < 0 || key > JAM_RIFF_KEYS || row < 0 || row >= JAM_ROWS)
        return;
    BuildFromGrid(player, key, s->aRows[row].pGrid, JAM_ROW_GRID_CELLS);
}

void Jam_BuildRiffInstrumentList(int32_t player, int32_t key, int32_t riff, int32_t fromMarks)
{
    if (!IsPlayer(player) || key < 0 || key > JAM_RIFF_KEYS)
        return;
    if (fromMarks) {
        Jam_BuildRiffInstrumentListFromMarks(player, key);
        return;
    }
    const RIFFENTRY *r = g_JamSeqCalls.GetRiff(riff);
    if (r && r->puNotes)
        BuildFromGrid(player, key, r->puNotes,
                      std::clamp<int32_t>(r->ucTracks, 0, 12) * std::clamp<int32_t>(r->ucBars, 1, 8) * JAM_BAR_STEPS);
    else
        g_aJamPlayerRows[player].aRiffInstruments[key].clear();
}

void Jam_BuildRiffInstrumentListFromMarks(int32_t player, int32_t key)
{
    if (!IsPlayer(player) || key < 0 || key > JAM_RIFF_KEYS)
        return;
    std::vector<uint8_t> &list = g_aJamPlayerRows[player].aRiffInstruments[key];
    list.clear();
    for (int32_t slot = 1; slot < SEQ_INSTRUMENT_SLOTS; ++slot)
        if (g_abInstrumentMarks[slot])
            list.push_back((uint8_t)slot);
}

void Jam_ReleaseRiffInstrumentList(int32_t player, int32_t key)
{
    if (!IsPlayer(player) || key < 0 || key > JAM_RIFF_KEYS)
        return;
    std::vector<uint8_t> &list = g_aJamPlayerRows[player].aRiffInstruments[key];
    // One that counts no uses is the song's own: a release would empty its slot.
    for (uint8_t slot : list)
        if (g_JamSeqCalls.InstrumentUses(slot))
            g_JamSeqCalls.ReleaseInstrument(slot);
    list.clear();
}

int32_t Jam_BuildWadPath(const uint16_t indices[4], const char *name, char *outPath, size_t outSize,
                         uint16_t outIndices[8])
{
    std::string path;
    int32_t i = 0;
    if (indices[0] == g_iWadDirR && g_iWadDirR >= 0) {
        path = "R";
        i = 1;
    } else if (indices[0] == g_iWadDirN && g_iWadDirN >= 0) {
        path = "N";
        i = 1;
        if (indices[1] >= 1 && indices[1] <= 3) {
            path += "/";
            path += "BDF"[indices[1] - 1];
            i = 2;
        }
    }
    for (; i < 4; ++i)
        if (indices[i]) {
            path += "/";
            path += (char)indices[i];
        }
    path += "/";
    path.append(name ? name : "", name ? strnlen(name, 8) : 0);
    std::snprintf(outPath, outSize, "%s", path.c_str());
    return Sys_WadPathToIndices(path.c_str(), outIndices);
}

// ---- Controllers ----

const char *Jam_ControllerName(int32_t controller)
{
    return controller >= 0 && controller < JAM_CONTROLLERS ? kControllerNames[controller] : "";
}

void Jam_SetPlayerController(JAMNET *net, int32_t player, int32_t controller)
{
    if (!net || !IsPlayer(player) || controller < 0 || controller >= JAM_CONTROLLERS)
        return;
    JAMPLAYER &pl = net->aPlayers[player];
    JAMDIAL &d = net->aDials[player];
    pl.uController = (uint32_t)controller;
    const int32_t range = (int32_t)std::clamp<uint32_t>(pl.uBendRange, 1, 72);
    switch (controller) {
    case JAM_CONTROL_VOLUME: d.iMin = 0, d.iMax = 255; break;
    case JAM_CONTROL_PITCH: d.iMin = -range * 256, d.iMax = range * 256; break;
    case JAM_CONTROL_PAN: d.iMin = -128, d.iMax = 127; break;
    default: d.iMin = 1, d.iMax = 72; break;
    }
    if (player == g_iJamSelectedPlayer)
        std::snprintf(g_aszJamCaptions[JAM_CAPTION_STATUS], JAM_CAPTION_BYTES, "%s = %d",
                      kControllerNames[controller], Jam_GetControllerValue(net, player));
}

void Jam_SetPlayerController(int32_t player, int32_t controller)
{
    Jam_SetPlayerController(g_NetNode.pJam, player, controller);
}

void Jam_SetControllerValue(JAMNET *net, int32_t player, int32_t value)
{
    if (!net || !IsPlayer(player))
        return;
    JAMDIAL &d = net->aDials[player];
    const int64_t span = (int64_t)d.iMax - d.iMin + 1;
    const int64_t v = std::clamp<int64_t>(value, d.iMin, d.iMax);
    d.iPosition = span > 0 ? (int32_t)(((v - d.iMin) * 65536 / span) >> 8) : 0;
}

int32_t Jam_GetControllerValue(const JAMNET *net, int32_t player)
{
    if (!net || !IsPlayer(player))
        return 0;
    const JAMDIAL &d = net->aDials[player];
    return (int32_t)(d.iMin + ((((int64_t)d.iMax - d.iMin + 1) * d.iPosition) >> 8));
}

void Jam_ApplyControllerToParts(NETNODE *node, int32_t player)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net || !IsPlayer(player))
        return;
    JAMPLAYER &pl = net->aPlayers[player];
    const int32_t c = (int32_t)pl.uController;
    const int32_t v = Jam_GetControllerValue(net, player);
    JamActions *a = net->pActions;
    for (int32_t e = 0; e < kPartEntries; ++e) {
        if (!(pl.uPartMask >> e & 1))
            continue;
        const uint32_t octave = e < JAM_KEYBOARDS ? pl.aKeyboard[e].uOctave : 0;
        switch (c) {
        case JAM_CONTROL_VOLUME: pl.auLevel[e] = (uint32_t)v; break;
        case JAM_CONTROL_PAN: pl.auPan[e] = (uint32_t)(v + 128); break;
        case JAM_CONTROL_PITCH: pl.aiPitch[e] = v; break;
        default: pl.uBendRange = (uint32_t)v; continue;
        }
        if (a)
            a->ControlPart(player, e, c, v, octave);
    }
    const int32_t pos = net->aDials[player].iPosition;
    if (player == JAM_LOCAL_PLAYER && (pl.uPartMask & 0x7FF) && pos != net->iLastPartPosition) {
        Send(node, 35 + c, Jam_PackController(pl.uPartMask, (uint32_t)pos));
        net->iLastPartPosition = pos;
    }
}

void Jam_ApplyControllerToRiffs(NETNODE *node, int32_t player)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net || !IsPlayer(player))
        return;
    JAMPLAYER &pl = net->aPlayers[player];
    const int32_t c = (int32_t)pl.uController;
    if (c == JAM_CONTROL_PAN)
        return;
    const int32_t v = Jam_GetControllerValue(net, player);
    JamActions *a = net->pActions;
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k) {
        if (!(pl.uRiffMask >> k & 1) || !NamesPart(Jam_SlotWordOf(pl.auRiffKey[k])))
            continue;
        if (c == JAM_CONTROL_VOLUME) {
            pl.auRiffVolume[k] = (uint32_t)v;
            if (a)
                a->ControlRiff(player, k, c, v, 0);
        } else if (c == JAM_CONTROL_PITCH) {
            const int32_t previous = pl.aiRiffPitch[k];
            pl.aiRiffPrevPitch[k] = previous;
            pl.aiRiffPitch[k] = v;
            if (a)
                a->ControlRiff(player, k, c, v, previous);
        } else {
            pl.uBendRange = (uint32_t)v;
        }
    }
    const int32_t pos = net->aDials[player].iPosition;
    if (player == JAM_LOCAL_PLAYER && (pl.uRiffMask & 0xFFF) && pos != net->iLastRiffPosition) {
        Send(node, 31 + c, Jam_PackController(pl.uRiffMask, (uint32_t)pos));
        net->iLastRiffPosition = pos;
    }
}

void Jam_DialFromParts(JAMNET *net, int32_t player)
{
    if (!net || !IsPlayer(player))
        return;
    const JAMPLAYER &pl = net->aPlayers[player];
    if (pl.uController == JAM_CONTROL_BEND) {
        Jam_SetControllerValue(net, player, (int32_t)pl.uBendRange);
        return;
    }
    for (int32_t e = 0; e < kPartEntries; ++e) {
        if (!(pl.uPartMask >> e & 1))
            continue;
        switch (pl.uController) {
        case JAM_CONTROL_VOLUME: Jam_SetControllerValue(net, player, (int32_t)pl.auLevel[e]); break;
        // The pan entry, not the level: the dial shows what the pan controller set.
        case JAM_CONTROL_PAN: Jam_SetControllerValue(net, player, (int32_t)pl.auPan[e] - 128); break;
        default: Jam_SetControllerValue(net, player, pl.aiPitch[e]); break;
        }
        return;
    }
}

void Jam_DialFromRiffs(JAMNET *net, int32_t player)
{
    if (!net || !IsPlayer(player))
        return;
    const JAMPLAYER &pl = net->aPlayers[player];
    JAMDIAL &d = net->aDials[player];
    switch (pl.uController) {
    case JAM_CONTROL_VOLUME:
        d.iMin = 0;
        d.iMax = 255;
        for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k)
            if ((pl.uRiffMask >> k & 1) && NamesPart(Jam_SlotWordOf(pl.auRiffKey[k])))
                Jam_SetControllerValue(net, player, Jam_RiffVolumeLevel(pl.auRiffVolume[k]));
        break;
    case JAM_CONTROL_PITCH:
        for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k)
            if ((pl.uRiffMask >> k & 1) && NamesPart(Jam_SlotWordOf(pl.auRiffKey[k])))
                Jam_SetControllerValue(net, player, pl.aiRiffPitch[k]);
        break;
    case JAM_CONTROL_BEND: Jam_SetControllerValue(net, player, (int32_t)pl.uBendRange); break;
    default: break;
    }
}

namespace {
void ApplyDial(NETNODE *node, int32_t player)
{
    const JAMPLAYER &pl = node->pJam->aPlayers[player];
    if (pl.uPartMask)
        Jam_ApplyControllerToParts(node, player);
    if (pl.uRiffMask)
        Jam_ApplyControllerToRiffs(node, player);
    if (player == g_iJamSelectedPlayer)
        std::snprintf(g_aszJamCaptions[JAM_CAPTION_STATUS], JAM_CAPTION_BYTES, "%s = %d",
                      Jam_ControllerName((int32_t)pl.uController), Jam_GetControllerValue(node->pJam, player));
}
} // namespace

void Jam_UpdateDial(NETNODE *node, int32_t player, int32_t dy)
{
    if (!node || !node->pJam || !IsPlayer(player) || dy == 0)
        return;
    JAMDIAL &d = node->pJam->aDials[player];
    int64_t pos = (int64_t)d.iPosition - dy;
    if (d.uFlags & 4)
        pos = std::clamp<int64_t>(pos, d.iLow, d.iHigh);
    if (d.uFlags & 2)
        pos += pos < d.iCentre ? 1 : pos > d.iCentre ? -1 : 0;
    // The position travels in 8 bits whatever the flags say.
    d.iPosition = (int32_t)std::clamp<int64_t>(pos, 0, 255);
    ApplyDial(node, player);
}

void Jam_SetDialFromRange(NETNODE *node, int32_t player, int32_t value, int32_t low, int32_t high)
{
    if (!node || !node->pJam || !IsPlayer(player) || high <= low)
        return;
    // In proportion to the dial's 256 positions, not to the value range: a wide range (pitch)
    // would push the position far past what the command can carry.
    const int64_t pos = ((int64_t)value - low) * 256 / ((int64_t)high - low);
    node->pJam->aDials[player].iPosition = (int32_t)std::clamp<int64_t>(pos, 0, 255);
    ApplyDial(node, player);
}

int32_t g_bJamDialDrag = 0;

void Jam_StartDialDrag()
{
    g_bJamDialDrag = 1;
    Ui_FreezePointer();
}

void Jam_DialDragFrame(NETNODE *node)
{
    if (!g_bJamDialDrag)
        return;
    if (!(g_ucMouseButtons & MOUSE_LEFT_DOWN)) {
        g_bJamDialDrag = 0;
        Ui_UnfreezePointer();
        return;
    }
    Jam_UpdateDial(node, JAM_LOCAL_PLAYER, g_iMouseDeltaY);
}

void Jam_ClearSelection(JAMNET *net)
{
    if (!net)
        return;
    net->aPlayers[JAM_LOCAL_PLAYER].uPartMask = 0;
    net->aPlayers[JAM_LOCAL_PLAYER].uRiffMask = 0;
}

void Jam_SelectKeyboard(NETNODE *node, int32_t keyboard)
{
    if (!node || !node->pJam || g_iJamSelectedPlayer != JAM_LOCAL_PLAYER || keyboard < 0 || keyboard >= JAM_KEYBOARDS)
        return;
    JAMPLAYER &pl = node->pJam->aPlayers[JAM_LOCAL_PLAYER];
    if (!g_bJamCtrlHeld)
        Jam_ClearSelection(node->pJam);
    else
        pl.uPartMask |= kMulti;
    pl.uPartMask |= (uint16_t)(1u << keyboard);
    Jam_DialFromParts(node->pJam, JAM_LOCAL_PLAYER);
    Send(node, 50, pl.uPartMask);
}

namespace {
// Pads and riff keys: a plain click selects one, Ctrl toggles one more, Shift adds a range from
// the last clicked.
void SelectInMask(uint16_t *mask, uint16_t *other, int32_t bit, int32_t index, int32_t *last)
{
    if (!g_bJamCtrlHeld && !g_bJamShiftHeld) {
        *mask = 0;
        *other = 0;
        *mask ^= (uint16_t)(1u << (index + bit));
    } else {
        *mask |= kMulti;
        if (!g_bJamShiftHeld) {
            *mask ^= (uint16_t)(1u << (index + bit));
        } else {
            for (int32_t i = std::min(index, *last); i <= std::max(index, *last); ++i)
                *mask |= (uint16_t)(1u << (i + bit));
        }
    }
    *last = index;
}
} // namespace

void Jam_SelectPad(NETNODE *node, int32_t pad)
{
    if (!node || !node->pJam || g_iJamSelectedPlayer != JAM_LOCAL_PLAYER || pad < 0 || pad >= JAM_PADS)
        return;
    JAMNET *net = node->pJam;
    JAMPLAYER &pl = net->aPlayers[JAM_LOCAL_PLAYER];
    SelectInMask(&pl.uPartMask, &pl.uRiffMask, 2, pad, &net->iLastPad);
    Jam_DialFromParts(net, JAM_LOCAL_PLAYER);
    Send(node, 50, pl.uPartMask);
}

void Jam_SelectRiffKey(NETNODE *node, int32_t key)
{
    if (!node || !node->pJam || g_iJamSelectedPlayer != JAM_LOCAL_PLAYER || key < 0 || key >= JAM_RIFF_KEYS)
        return;
    JAMNET *net = node->pJam;
    JAMPLAYER &pl = net->aPlayers[JAM_LOCAL_PLAYER];
    SelectInMask(&pl.uRiffMask, &pl.uPartMask, 0, key, &net->iLastRiffKey);
    Jam_DialFromRiffs(net, JAM_LOCAL_PLAYER);
    Send(node, 51, pl.uRiffMask);
}

// ---- Effect plug-ins ----

int32_t Jam_LoadPlayerPlugin(NETNODE *node, int32_t player, int32_t pluginIndex, int32_t slot)
{
    JamActions *a = Actions(node);
    if (!a || !IsPlayer(player) || !IsPluginSlot(slot) || pluginIndex < 0 || pluginIndex >= g_iPluginCount)
        return -1;
    Jam_ReleasePlayerPlugin(node, player, slot);
    a->LoadPlugin(player, slot, pluginIndex);
    // Sent even when the library failed to open here: the others fail the same way.
    if (player == JAM_LOCAL_PLAYER) {
        Send(node, 44, Jam_PackPluginLoad((uint32_t)pluginIndex, (uint32_t)slot));
        Jam_SelectPlayerPlugin(node, player, slot);
    }
    return 0;
}

int32_t Jam_SelectPlayerPlugin(NETNODE *node, int32_t player, int32_t slot)
{
    JamActions *a = Actions(node);
    if (!a || !IsPlayer(player) || !IsPluginSlot(slot))
        return -1;
    node->pJam->aPlayers[player].iPluginSlot = slot;
    a->SelectPlugin(player, slot);
    if (player == JAM_LOCAL_PLAYER)
        Send(node, 42, (uint32_t)slot);
    Jam_LoadPluginRouting(node->pJam, player);
    return 0;
}

void Jam_ReleasePlayerPlugin(NETNODE *node, int32_t player, int32_t slot)
{
    if (JamActions *a = Actions(node); a && IsPlayer(player) && IsPluginSlot(slot))
        a->LoadPlugin(player, slot, -1);
}

void Jam_ResetPlayerPlugin(NETNODE *node, int32_t player, int32_t slot)
{
    if (JamActions *a = Actions(node); a && IsPlayer(player) && IsPluginSlot(slot))
        a->ResetPlugin(player, slot);
}

void Jam_RoutePlayerPlugin(NETNODE *node, int32_t player)
{
    JamActions *a = Actions(node);
    if (!a || !IsPlayer(player))
        return;
    const JAMPLAYER &pl = node->pJam->aPlayers[player];
    if (!IsPluginSlot(pl.iPluginSlot))
        return;
    a->RoutePlugin(player, pl.iPluginSlot, pl.uPartMask, pl.uRiffMask);
    Jam_StorePluginRouting(node->pJam, player);
}

void Jam_StorePluginRouting(JAMNET *net, int32_t player)
{
    if (!net || !IsPlayer(player))
        return;
    JAMPLAYER &pl = net->aPlayers[player];
    if (IsPluginSlot(pl.iPluginSlot))
        pl.auPluginRouting[pl.iPluginSlot] = (uint32_t)pl.uPartMask << 16 | pl.uRiffMask;
}

void Jam_LoadPluginRouting(JAMNET *net, int32_t player)
{
    if (!net || !IsPlayer(player))
        return;
    JAMPLAYER &pl = net->aPlayers[player];
    if (!IsPluginSlot(pl.iPluginSlot))
        return;
    const uint32_t w = pl.auPluginRouting[pl.iPluginSlot];
    pl.uPartMask = (uint16_t)(w >> 16);
    pl.uRiffMask = (uint16_t)w;
}

void Jam_PluginPanelMouse(NETNODE *node, int32_t x, int32_t y, uint8_t buttons)
{
    JamActions *a = Actions(node);
    if (!a)
        return;
    const JAMPLAYER &pl = node->pJam->aPlayers[JAM_LOCAL_PLAYER];
    if (!IsPluginSlot(pl.iPluginSlot))
        return;
    const int32_t rx = x - JAM_PLUGIN_PANEL_X, ry = y - JAM_PLUGIN_PANEL_Y;
    Jam_RoutePlayerPlugin(node, JAM_LOCAL_PLAYER);
    // What the others receive is the packed position, so this instance gets the same bytes.
    int32_t px, py;
    Jam_UnpackXY(Jam_PackXY(rx, ry), &px, &py);
    a->PluginInput(JAM_LOCAL_PLAYER, pl.iPluginSlot, px, py);
    if (buttons & 0x01)
        Send(node, 46, Jam_PackXY(rx, ry));
    else if (buttons & 0x08)
        Send(node, 47, Jam_PackXY(rx, ry));
}

// ---- Jam commands ----

bool Jam_EventIsValid(const JAMNET *net, const JAMEVENT &e, int32_t player)
{
    if (!net || !IsPlayer(player))
        return false;
    const int32_t code = e.iCommand;
    const uint32_t d = e.uData;
    if (code >= 1 && code <= 9)
        return SlotWordIsValid(net, d, false);
    if (code >= 10 && code <= 21)
        return SlotWordIsValid(net, d, true);
    if (code == 28 || code == 29)
        return SlotWordIsValid(net, d, false);
    if (code == 26 || code == 27)
        return (d >> 17) <= 5;
    if (code == 42 || code == 43 || code == 45)
        return IsPluginSlot(d);
    if (code == 44)
        return (d >> 16) == 0 && IsPluginSlot(d >> 8 & 255) && (int32_t)(d & 255) < g_iPluginCount;
    if (code == 52)
        return d >= 40 && d <= 240;
    if (IsLive(code) || code == 50 || code == 51)
        return (d >> 24) == 0;
    return true;
}

void Jam_SendLocalAssignments(NETNODE *node)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net)
        return;
    const JAMPLAYER &me = net->aPlayers[JAM_LOCAL_PLAYER];
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k)
        if (const uint32_t word = Jam_SlotWordOf(me.auRiffKey[k]))
            Send(node, 10 + k, word);
    for (int32_t p = 0; p < JAM_PADS; ++p)
        if (const uint32_t word = Jam_SlotWordOf(me.auPad[p]))
            Send(node, 1 + p, word);
    for (int32_t k = 0; k < JAM_KEYBOARDS; ++k)
        if (me.aKeyboard[k].uSlotWord)
            Send(node, 28 + k, me.aKeyboard[k].uSlotWord);
}

void Jam_ApplyPlayerEvent(NETNODE *node, const JAMEVENT &e, int32_t player)
{
    JamActions *a = Actions(node);
    if (!a || player < 0 || player >= JAM_NET_SLOTS)
        return;
    JAMNET *net = node->pJam;
    if (!Jam_EventIsValid(net, e, player)) {
        ReportRefused(net, e, player);
        return;
    }
    JAMPLAYER &pl = net->aPlayers[player];
    const int32_t code = e.iCommand;
    const uint32_t d = e.uData;
    if (code >= 1 && code <= 9) {
        pl.auPad[code - 1] = Jam_KeyWord(d, pl.auPad[code - 1]);
        LoadPadWord(a, net, player, code - 1, d);
    } else if (code >= 10 && code <= 21) {
        pl.auRiffKey[code - 10] = Jam_KeyWord(d, pl.auRiffKey[code - 10]);
        LoadRiffWord(a, net, player, code - 10, d);
    } else if (IsLive(code)) {
        if (g_bNetJamImmediate)
            Jam_ApplyLiveEvent(node, e, player);
        else
            QueueLive(net, e, player);
    } else if (code == 28 || code == 29) {
        pl.aKeyboard[code - 28].uSlotWord = d;
        LoadKeyboardWord(a, net, player, code - 28, d);
    } else if (code == 42) {
        Jam_SelectPlayerPlugin(node, player, (int32_t)d);
    } else if (code == 43) {
        Jam_ResetPlayerPlugin(node, player, (int32_t)d);
    } else if (code == 44) {
        Jam_LoadPlayerPlugin(node, player, (int32_t)(d & 255), (int32_t)(d >> 8 & 255));
    } else if (code == 45) {
        Jam_ReleasePlayerPlugin(node, player, (int32_t)d);
    } else if (code == 52) {
        g_iJamTempo = (int32_t)d;
        {
            std::lock_guard<std::recursive_mutex> mix(g_csMix); // the clock reads it
            g_uTempo = (uint16_t)d;
        }
        Jam_SetTempoTick();
        a->SetTempo((int32_t)d);
    }
}

void Jam_ApplyLiveEvent(NETNODE *node, const JAMEVENT &e, int32_t player)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net || !IsPlayer(player))
        return;
    if (!Jam_EventIsValid(net, e, player)) {
        ReportRefused(net, e, player);
        return;
    }
    JAMPLAYER &pl = net->aPlayers[player];
    const uint32_t d = e.uData;
    switch (e.iCommand) {
    case 22: KeysHeld(pl.auRiffKey, pl.auRiffLatch, JAM_RIFF_KEYS, d); break;
    case 23: LatchToggle(pl.auRiffKey, pl.auRiffLatch, JAM_RIFF_KEYS, d); break;
    case 24: KeysHeld(pl.auPad, pl.auPadLatch, JAM_PADS, d); break;
    case 25: LatchToggle(pl.auPad, pl.auPadLatch, JAM_PADS, d); break;
    case 26:
    case 27: {
        JAMKEYBOARD &k = pl.aKeyboard[e.iCommand - 26];
        k.uReleased |= k.uHeld & ~d & 0x1FFFF;
        k.uHeld = d & 0x1FFFF;
        k.uOctave = d >> 17;
        break;
    }
    // The riff keys' volume, pitch and bend range, and the parts' volume, pitch, pan and bend
    // range: the pan (37) and riff bend (34) moves are applied too, so every machine hears what
    // the player set.
    case 31:
    case 32:
    case 34: ControllerMove(node, player, e.iCommand - 31, d, true, true); break;
    case 35:
    case 36:
    case 37: ControllerMove(node, player, e.iCommand - 35, d, false, true); break;
    case 38: ControllerMove(node, player, JAM_CONTROL_BEND, d, false, false); break;
    case 46:
    case 47: {
        if (!IsPluginSlot(pl.iPluginSlot))
            break;
        int32_t x, y;
        Jam_UnpackXY(d, &x, &y);
        Jam_RoutePlayerPlugin(node, player);
        if (net->pActions)
            net->pActions->PluginInput(player, pl.iPluginSlot, x, y);
        Jam_StorePluginRouting(net, player);
        break;
    }
    case 50:
        pl.uPartMask = (uint16_t)d;
        if (!(d & kMulti))
            pl.uRiffMask = 0;
        break;
    case 51:
        pl.uRiffMask = (uint16_t)d;
        if (!(d & kMulti))
            pl.uPartMask = 0;
        break;
    default: break;
    }
}

void Jam_ApplyLocalEvent(NETNODE *node, const JAMEVENT &e)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net || e.iCommand < 22 || e.iCommand > 27)
        return;
    Jam_ApplyLiveEvent(node, e, JAM_LOCAL_PLAYER);
    const int32_t bar = (g_iJamStep.load() % JAM_PHRASE_STEPS + JAM_PHRASE_STEPS) % JAM_PHRASE_STEPS / JAM_BAR_STEPS;
    Jam_CountPlayerKeys(net, e, JAM_LOCAL_PLAYER, bar);
    if (e.iCommand >= 26)
        g_bJamReleasesPending = 1;
}

void Jam_ClearLocalReleases(JAMNET *net)
{
    if (!net)
        return;
    for (JAMKEYBOARD &k : net->aPlayers[JAM_LOCAL_PLAYER].aKeyboard)
        k.uReleased = 0;
    g_bJamReleasesPending = 0;
}

void Jam_ClearRemoteReleases(JAMNET *net)
{
    if (!net)
        return;
    for (int32_t p = 0; p < JAM_NET_SLOTS; ++p)
        for (JAMKEYBOARD &k : net->aPlayers[p].aKeyboard)
            k.uReleased = 0;
}

void Net_ApplyAllQueuedEvents(NETNODE *node)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net)
        return;
    for (int32_t p = 0; p < JAM_NET_SLOTS; ++p) {
        if (p == net->iNetMySlot)
            continue;
        // Applying may not queue more for this player, but take the list first all the same.
        std::vector<JAMEVENT> events;
        events.swap(net->aImmediateEvents[p].Events);
        net->aImmediateEvents[p].Clear();
        for (const JAMEVENT &e : events)
            if (e.iCommand)
                Jam_ApplyPlayerEvent(node, e, p);
    }
}

void Net_ApplyRemoteEvents(NETNODE *node, uint32_t frame)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net)
        return;
    for (int32_t p = 0; p < JAM_NET_SLOTS; ++p) {
        // A replay plays every recorded player, whichever slot this program had.
        if (p == net->iNetMySlot && !net->iJamReplay)
            continue;
        JAMEVENTLIST &list = net->aEventLists[net->iEventSetNow & 1][p];
        while (list.uCursor < list.Events.size() && list.Events[list.uCursor].uHeartbeat <= frame) {
            const JAMEVENT e = list.Events[list.uCursor++];
            if (e.iCommand)
                Jam_ApplyPlayerEvent(node, e, p);
        }
    }
}

void Net_ApplyForwardedEvents(NETNODE *node, uint32_t frame)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net)
        return;
    Jam_ClearRemoteReleases(net);
    for (int32_t p = 0; p < JAM_NET_SLOTS; ++p) {
        if (p == net->iNetMySlot && !net->iJamReplay)
            continue;
        for (JAMEVENTLIST &list : net->aTrackEvents[p]) {
            // Taken from the front as they come due; one that came late is taken too, so it
            // cannot hold up the ones behind it.
            size_t n = 0;
            while (n < list.Events.size() && list.Events[n].uHeartbeat <= frame)
                ++n;
            const std::vector<JAMEVENT> due(list.Events.begin(), list.Events.begin() + (ptrdiff_t)n);
            list.Events.erase(list.Events.begin(), list.Events.begin() + (ptrdiff_t)n);
            list.uCursor = 0;
            for (const JAMEVENT &e : due)
                Jam_ApplyLiveEvent(node, e, p);
        }
    }
}

void Jam_ApplyPlayerBlock(NETNODE *node, int32_t player, const JAMPLAYER &o, const JAMPLAYER &n)
{
    JamActions *a = Actions(node);
    if (!a || player < 0 || player >= JAM_NET_SLOTS)
        return;
    JAMNET *net = node->pJam;
    JAMPLAYER &pl = net->aPlayers[player];
    for (int32_t k = 0; k < JAM_RIFF_KEYS; ++k) {
        const uint32_t word = Jam_SlotWordOf(n.auRiffKey[k]);
        if (word != Jam_SlotWordOf(o.auRiffKey[k])) {
            if (!SlotWordIsValid(net, word, true))
                continue;
            if (!NamesPart(word))
                a->LoadRiffKey(0, 0, 0, k, player, 0);
            else
                LoadRiffWord(a, net, player, k, word);
        }
        pl.auRiffKey[k] = n.auRiffKey[k];
        pl.auRiffLatch[k] = (pl.auRiffLatch[k] & ~1u) | (n.auRiffLatch[k] & 1);
    }
    for (int32_t p = 0; p < JAM_PADS; ++p) {
        const uint32_t word = Jam_SlotWordOf(n.auPad[p]);
        if (word != Jam_SlotWordOf(o.auPad[p])) {
            if (!SlotWordIsValid(net, word, false))
                continue;
            LoadPadWord(a, net, player, p, word);
        }
        pl.auPad[p] = n.auPad[p];
        pl.auPadLatch[p] = (pl.auPadLatch[p] & ~1u) | (n.auPadLatch[p] & 1);
    }
    for (int32_t k = 0; k < JAM_KEYBOARDS; ++k) {
        const uint32_t word = n.aKeyboard[k].uSlotWord;
        if (word == o.aKeyboard[k].uSlotWord || !SlotWordIsValid(net, word, false))
            continue;
        LoadKeyboardWord(a, net, player, k, word);
        pl.aKeyboard[k].uSlotWord = word;
    }
}

void Jam_ReplayPhrase(NETNODE *node)
{
    JAMNET *net = node ? node->pJam : nullptr;
    if (!net)
        return;
    const uint32_t heartbeat = net->uJamHeartbeat;
    for (int32_t p = 0; p < JAM_NET_SLOTS; ++p) {
        if (p == net->iNetMySlot)
            continue;
        const JAMPLAYER now = net->aPlayers[p];
        Jam_ApplyPlayerBlock(node, p, now, net->aPlayers[6 + p]);
        net->aPlayers[p] = net->aPlayers[6 + p];
        net->aEventLists[net->iEventSetNow & 1][p].uCursor = 0;
    }
    // The live commands come back into the track lists as the phrase's commands are applied again.
    for (int32_t p = 0; p < JAM_NET_SLOTS; ++p)
        if (p != net->iNetMySlot)
            for (JAMEVENTLIST &l : net->aTrackEvents[p])
                l.Clear();
    Net_ResetTrackEvents(net);
    for (uint32_t frame = 0; frame < heartbeat; ++frame) {
        Net_ApplyRemoteEvents(node, frame);
        Net_ApplyForwardedEvents(node, frame);
    }
}
