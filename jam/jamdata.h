// The jam's records that travel or are saved: the 696-byte player block, the 24-byte jam event,
// the packed words by which parts and settings are named between players, and the per-player
// riff and instrument lists.
//
// Blocks and events are native records; Jam_EncodePlayer / Jam_DecodePlayer and the event codec
// write and read them field by field at their fixed little-endian offsets. No in-memory record is
// ever sent or written as it lies.
#pragma once

#include <cstddef>
#include <cstdint>

enum : int32_t
{
    JAM_PLAYERS = 5,       // 0..3 the network slots, 4 the local player
    JAM_LOCAL_PLAYER = 4,
    JAM_NET_SLOTS = 4,
    JAM_PLAYER_BLOCKS = 11, // 5 local previous, 6..9 previous of 0..3, 10 local older
    JAM_RIFF_KEYS = 12,
    JAM_PADS = 9,
    JAM_KEYBOARDS = 2,
    JAM_KEYBOARD_KEYS = 17,
    JAM_PART_ENTRIES = 16, // levels, pitches, pans: 0-1 keyboards, 2-10 pads, 11-15 reserved
    JAM_PLUGIN_SLOTS = 16,
    JAM_ROWS = 60,
    JAM_EVENT_SLOTS = 220,
    JAM_CHANNELS = 99,
    JAM_PHRASE_STEPS = 64,
    JAM_BAR_STEPS = 16,
};

constexpr size_t JAM_PLAYER_BYTES = 696;
constexpr size_t JAM_EVENT_BYTES = 24;

struct JAMKEYBOARD
{
    uint32_t uHeld;     // bits 0..16
    uint32_t uReleased; // bits 0..16, keys that went up since last cleared
    uint32_t uOctave;   // 0..5
    uint32_t uSlotWord; // not shifted
    bool operator==(const JAMKEYBOARD &) const = default;
};

// One player's input and settings. Offsets of the saved and sent form in the comments.
struct JAMPLAYER
{
    uint32_t auRiffKey[JAM_RIFF_KEYS];      // 0: bit 0 on, bits 1..31 slot word << 1
    uint32_t auRiffLatch[JAM_RIFF_KEYS];    // 48: bit 0
    uint32_t auPad[JAM_PADS];               // 96: bit 0 held, bits 1..31 slot word << 1
    uint32_t auPadLatch[JAM_PADS];          // 132
    JAMKEYBOARD aKeyboard[JAM_KEYBOARDS];   // 168, 184
    uint32_t auLevel[JAM_PART_ENTRIES];     // 200
    int32_t aiPitch[JAM_PART_ENTRIES];      // 264: 1/256 semitone
    uint32_t auPan[JAM_PART_ENTRIES];       // 328
    int32_t aiRiffPitch[JAM_RIFF_KEYS];     // 392
    int32_t aiRiffPrevPitch[JAM_RIFF_KEYS]; // 440
    uint32_t auRiffVolume[JAM_RIFF_KEYS];   // 488: 256 or more counts as 255
    uint16_t uPartMask;                     // 536
    uint16_t uRiffMask;                     // 538
    uint32_t uController;                   // 540: 0 volume, 1 pitch, 2 pan, 3 bend range
    uint32_t uBendRange;                    // 544: 1..72
    uint8_t abReserved[16];                 // 548
    uint32_t auPluginRouting[JAM_PLUGIN_SLOTS]; // 564: part mask << 16 | riff mask
    int32_t aiReserved[JAM_PLUGIN_SLOTS];       // 628
    int32_t iPluginSlot;                        // 692: 0..15, -1 none
    bool operator==(const JAMPLAYER &) const = default;
};

// Offsets of the block's fields, for the codec and its tests.
enum : uint32_t
{
    JAMPLAYER_OFS_RIFFKEY = 0,
    JAMPLAYER_OFS_RIFFLATCH = 48,
    JAMPLAYER_OFS_PAD = 96,
    JAMPLAYER_OFS_PADLATCH = 132,
    JAMPLAYER_OFS_KEYBOARD = 168,
    JAMPLAYER_OFS_LEVEL = 200,
    JAMPLAYER_OFS_PITCH = 264,
    JAMPLAYER_OFS_PAN = 328,
    JAMPLAYER_OFS_RIFFPITCH = 392,
    JAMPLAYER_OFS_RIFFPREVPITCH = 440,
    JAMPLAYER_OFS_RIFFVOLUME = 488,
    JAMPLAYER_OFS_PARTMASK = 536,
    JAMPLAYER_OFS_RIFFMASK = 538,
    JAMPLAYER_OFS_CONTROLLER = 540,
    JAMPLAYER_OFS_BENDRANGE = 544,
    JAMPLAYER_OFS_RESERVED = 548,
    JAMPLAYER_OFS_ROUTING = 564,
    JAMPLAYER_OFS_RESERVED2 = 628,
    JAMPLAYER_OFS_PLUGINSLOT = 692,
};

void Jam_EncodePlayer(const JAMPLAYER &player, uint8_t out[JAM_PLAYER_BYTES]);
// Every bit pattern is a block; the values are checked where they are used.
void Jam_DecodePlayer(const uint8_t in[JAM_PLAYER_BYTES], JAMPLAYER *player);

// A queued jam command. The two link words and the unused word of the saved and sent form are
// written as 0 and ignored on reading.
struct JAMEVENT
{
    uint32_t uHeartbeat;
    int32_t iCommand; // 0 empty head; -1 and -2 terminators in the saved jam
    uint32_t uData;
    bool operator==(const JAMEVENT &) const = default;
};

void Jam_EncodeEvent(const JAMEVENT &event, uint8_t out[JAM_EVENT_BYTES]);
void Jam_DecodeEvent(const uint8_t in[JAM_EVENT_BYTES], JAMEVENT *event);

// ---- Packed words ----

// Slot word, 24 bits: a list entry 0x800000 | player << 21 | entry (1-based, 21 bits); a library
// entry c | b << 8 | a << 16 (bit 23 clear); 0 nothing.
constexpr uint32_t JAM_SLOTWORD_LIST = 0x800000;
constexpr uint32_t JAM_SLOTWORD_ENTRY_MASK = 0x1FFFFF;
// A riff or instrument to be loaded from the library by its keys, not from a list.
constexpr uint32_t JAM_LOAD_BY_KEYS = 0xFF7FFFFF;

constexpr uint32_t Jam_PackListEntry(int32_t player, uint32_t entry)
{
    return JAM_SLOTWORD_LIST | (uint32_t)(player & 3) << 21 | (entry & JAM_SLOTWORD_ENTRY_MASK);
}
constexpr bool Jam_IsListEntry(uint32_t word) { return (word & JAM_SLOTWORD_LIST) != 0; }
constexpr int32_t Jam_ListEntryPlayer(uint32_t word) { return (int32_t)(word >> 21 & 3); }
constexpr uint32_t Jam_ListEntryNumber(uint32_t word) { return word & JAM_SLOTWORD_ENTRY_MASK; }

uint32_t Jam_PackLibraryKey(uint32_t a, uint32_t b, uint32_t c);
void Jam_UnpackLibraryKey(uint32_t word, uint32_t *a, uint32_t *b, uint32_t *c);

// The words of the riff key and pad entries keep the slot word above the on/held bit.
constexpr uint32_t Jam_SlotWordOf(uint32_t keyWord) { return keyWord >> 1; }
constexpr uint32_t Jam_KeyWord(uint32_t slotWord, uint32_t on) { return slotWord << 1 | (on & 1); }

// Values that travel in the 24 bits a command keeps.
constexpr uint32_t Jam_PackController(uint32_t mask, uint32_t position) { return mask << 8 | (position & 255); }
constexpr uint32_t Jam_PackPluginLoad(uint32_t pluginIndex, uint32_t slot) { return (pluginIndex & 255) | slot << 8; }
constexpr uint32_t Jam_PackXY(int32_t x, int32_t y) { return (uint32_t)(x & 255) | (uint32_t)(y & 255) << 8; }
constexpr uint32_t Jam_PackKeyboardData(uint32_t mask17, uint32_t octave) { return (mask17 & 0x1FFFF) | octave << 17; }

// Base pitch of key 0 by an instrument's library kind 1..3 (36, 48, 60); 0 for other kinds.
int32_t Jam_BasePitchOfKind(int32_t kind);

// A riff volume as a row level: 256 or more counts as 255.
constexpr uint8_t Jam_RiffVolumeLevel(uint32_t volume) { return volume >= 256 ? 255 : (uint8_t)volume; }

// ---- Per-player lists ----
//
// Riff lists for the network slots 0..3 (this program's own riffs are the song's riff list).
// Instrument lists for 0..3 and, kept apart, this program's own list under the local player 4:
// the slot the server gives arrives later than the session start that fills it, so a list entry
// that names g_iNetMySlot is looked up in list 4 (Jam_ListOwner). Entries count from 1.
enum : int32_t
{
    JAM_MAX_RIFF_IDS = 1500,
    JAM_MAX_INSTRUMENT_IDS = 201,
    JAM_SCRATCH_BYTES = 5120,
};

extern uint16_t *g_apJamRiffIds[JAM_NET_SLOTS];
extern int32_t g_aiJamRiffIdCount[JAM_NET_SLOTS];
extern uint16_t *g_apJamInstrumentIds[JAM_PLAYERS];
extern int32_t g_aiJamInstrumentIdCount[JAM_PLAYERS];
extern uint8_t *g_pJamScratch;

// 0, or -1 when memory ran out (nothing allocated then). Also empties the template count.
int32_t Jam_AllocPlayerLists();
void Jam_FreePlayerLists();
// 0, or -1 refused: no lists, player out of range, or the list is full (a received template
// decides how many are appended).
int32_t Jam_AppendRiffId(int32_t player, uint16_t id);
int32_t Jam_AppendInstrumentId(int32_t player, uint16_t id);
// The list that holds a player's entries: 4 for this program's own slot.
int32_t Jam_ListOwner(int32_t player, int32_t mySlot);
// The riff or instrument of entry n (1-based) of a player's list, 0 when the entry is not
// 1..count or there is no such list.
uint16_t Jam_RiffListEntry(int32_t player, uint32_t entry);
uint16_t Jam_InstrumentListEntry(int32_t player, uint32_t entry);
// The 1-based position of instrument slot `slot` in this program's own list, -1 when absent.
int32_t Jam_FindOwnInstrument(int32_t slot);
