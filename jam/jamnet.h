// The network-facing state of one jam program, held in a context object rather than in globals,
// so that tests can run two to five players in one process. Its calls into the sound side go
// through JamActions, which the program binds to its one jam sequencer and tests replace with a
// recorder. The jam sequencer state (JAMSTATE, Jam_Tick) stays global: there is one sequencer.
//
// Threads: a JAMNET is read and written only under its jam lock (the 20 ms jam step and the main
// thread's jam screen). Receive threads only decode messages into an inbox; the jam step drains
// it under the lock. The mix thread never touches a JAMNET.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "jam/jamdata.h"

// What the network side asks of the sound side. Kinds and indices as the jam sequencer takes them
// (kind 1 event slot, kind 2 row); slot words and library keys as in jamdata.h.
class JamActions
{
public:
    virtual ~JamActions() = default;
    // a = 0 clears the key; riff JAM_LOAD_BY_KEYS loads library riff (a, b, c), else riff id.
    virtual void LoadRiffKey(uint32_t a, uint32_t b, uint32_t c, int32_t riffKey, int32_t player, uint32_t riff) = 0;
    // key1 = 0 clears. 1 loaded, 0 cleared, 10 the library load failed.
    virtual int32_t LoadPad(int32_t player, uint32_t key1, uint32_t key2, uint32_t key3, int32_t pad,
                            uint32_t instrument) = 0;
    // firstKey 0 or 17. key1 = 0 clears.
    virtual void LoadKeyboard(int32_t player, uint32_t key1, uint32_t key2, uint32_t key3, int32_t firstKey,
                              uint32_t instrument) = 0;
    virtual void StartPart(int32_t kind, int32_t index) = 0;
    virtual void StopPart(int32_t kind, int32_t index) = 0;
    // Effect plug-ins of a player's slots: open plug-in `pluginIndex` in `slot` (-1 closes it),
    // and pass an input value to the open one.
    virtual void LoadPlugin(int32_t player, int32_t slot, int32_t pluginIndex) = 0;
    virtual void PluginInput(int32_t player, int32_t slot, int32_t a, int32_t b) = 0;
    // The other players' departures and "player left" clean-up.
    virtual void DropPlayerParts(int32_t player) = 0;
    // The rest of a player's plug-in slots: reset the open one, show it in the panel, and send
    // the chosen parts through it (part mask bits 0-1 keyboards, 2-10 pads; riff mask bits 0-11).
    virtual void ResetPlugin(int32_t, int32_t) {}
    virtual void SelectPlugin(int32_t, int32_t) {}
    virtual void RoutePlugin(int32_t, int32_t, uint32_t, uint32_t) {}
    // A controller value reaches the sound of part entry 0..10 (keyboards, then pads; octave of a
    // keyboard for its pitches) or of riff key 0..11 (pitch: the previous value too).
    virtual void ControlPart(int32_t, int32_t, int32_t, int32_t, uint32_t) {}
    virtual void ControlRiff(int32_t, int32_t, int32_t, int32_t, int32_t) {}
    virtual void SetTempo(int32_t) {}
};

// A player's controller dial. The position 0..255 is the controller level, a fraction of the
// value range iMin..iMax.
struct JAMDIAL
{
    int32_t iLow = 0, iCentre = 128, iHigh = 255;
    uint32_t uFlags = 4; // bit 2 clamp, bit 1 pull to the centre
    int32_t iSpare = 0;
    int32_t iPosition = 128;
    int32_t aiSpare[2] = {128, 128};
    int32_t iMin = 0, iMax = 255;
};

// One of the four player slots of a network jam (the server's table and the client's copy).
struct NETPLAYERSLOT
{
    uint32_t uPlayerId; // 0 empty
    char szName[256];   // "EMPTY" when free
    uint32_t uState;    // server: 0 none, 1 holding for a template, 2 template applied
};

// A list of jam events with its read cursor. Empty is the head with command 0 of the record
// lists; the dump and the recording walk it from the first record.
struct JAMEVENTLIST
{
    std::vector<JAMEVENT> Events;
    size_t uCursor = 0;
    void Clear()
    {
        Events.clear();
        uCursor = 0;
    }
};

// The activity tally of one remote slot: current and shown words, and 25 rows of 16 counters
// (index group x 4 + bar).
struct JAMTALLY
{
    uint32_t auCurrent[16];
    uint32_t auShown[16];
    uint16_t auCount[25][16];
};

struct JAMNET
{
    JamActions *pActions = nullptr;
    std::recursive_mutex Lock; // the jam lock

    JAMPLAYER aPlayers[JAM_PLAYER_BLOCKS]{};

    // Scheduled lists: two sets of five players; immediate lists and track lists of 0..3.
    JAMEVENTLIST aEventLists[2][JAM_PLAYERS];
    int32_t iEventSetNow = 0;
    int32_t iEventSetNext = 1;
    JAMEVENTLIST aImmediateEvents[JAM_NET_SLOTS];
    JAMEVENTLIST aTrackEvents[JAM_NET_SLOTS][4];
    uint32_t auTrackCounter[JAM_NET_SLOTS]{};
    size_t uBatchSent = 0; // local records of the next set already sent in this phrase

    NETPLAYERSLOT aClientSlots[JAM_NET_SLOTS]{};
    NETPLAYERSLOT aSlotNames[JAM_NET_SLOTS]{}; // what the jam screen shows; uState is the shown flag
    NETPLAYERSLOT aServerSlots[JAM_NET_SLOTS]{};
    std::vector<uint8_t> aTemplateCopies[JAM_NET_SLOTS];
    int32_t iNetTemplateSlot = -1;
    int32_t iNetMySlot = 0;
    uint32_t uJamHeartbeat = 0;
    int32_t bNetJamHold = 0;
    int32_t iJamReplay = 0;
    // The jam recording: on while recording, its file, and the bytes of it that end in a whole
    // record (0: its head is not written yet). A replay holds the recording's bytes and where the
    // next phrase record starts.
    int32_t bJamRecording = 0;
    std::string RecordPath;
    uint64_t uRecordedBytes = 0;
    std::vector<uint8_t> ReplayBytes;
    size_t uReplayAt = 0;

    JAMTALLY aTally[JAM_NET_SLOTS]{};

    // Controllers: a dial per player; the local player's last sent positions and last clicked
    // pad and riff key; commands refused as out of range.
    JAMDIAL aDials[JAM_PLAYERS];
    int32_t iLastPartPosition = 128;
    int32_t iLastRiffPosition = 128;
    int32_t iLastPad = 0;
    int32_t iLastRiffKey = 0;
    uint32_t uRefusedEvents = 0;

    // The local keys: the masks last sent (riff keys, pads, keyboards 0 and 1), the controller
    // Tab chooses, whether Tab was down at the last frame, and the MIDI controller value last
    // applied (-1 none yet).
    uint32_t auSentMask[4]{};
    int32_t iLocalController = 0;
    int32_t bTabWasDown = 0;
    int32_t iMidiCtrlSent = -1;
    // The local tally: 25 rows x 4 beats, and a ring of the most used row per beat.
    uint16_t auLocalCount[25][4]{};
    uint32_t auLocalRing[16]{};
    int32_t iTallyRing = 0;

    // Server: slots whose player has sent a phrase state (its jam clock runs), and where the
    // template exchange stands (0 none, 1 waiting for holds, 2 waiting for the applied answers).
    uint8_t abServerSlotRunning[JAM_NET_SLOTS]{};
    int32_t iTemplatePhase = 0;
};

// Empties the slot tables ("EMPTY"), the event lists and the tallies; the blocks become zero.
void Net_InitJamNet(JAMNET *net, JamActions *actions);
