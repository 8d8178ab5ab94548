// Recording a jam to "jam_save.jam" and playing it back phrase by phrase, and the text dump of a
// remote player's pending live commands ("jam_dump.txt").
//
// The recording holds the four remote players' blocks as they stood when recording started (the
// head: four {u32 player, 696-byte block} pairs, 2800 bytes), then one record per phrase: for
// each player 0..3 in turn a u32 player number, the player's 24-byte events, and a 24-byte
// terminator whose command is -1 (after players 0..2) or -2 (after player 3). Little-endian, no
// magic; the two link words of an event are written as 0.
//
// A crash mid-jam leaves a readable file: the head is written beside the file and renamed over
// it, and each phrase record is appended whole and flushed before the next phrase. A torn last
// record is cut off by the next append, and a replay stops before it.
//
// Everything here runs under the jam lock of the node's JAMNET.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jam/jamdata.h"
#include "jam/jamnet.h"

struct NETNODE;

constexpr char JAM_SAVE_FILE[] = "jam_save.jam";
constexpr char JAM_DUMP_FILE[] = "jam_dump.txt";
constexpr size_t JAM_SAVE_PAIR_BYTES = 4 + JAM_PLAYER_BYTES;
constexpr size_t JAM_SAVE_HEAD_BYTES = JAM_NET_SLOTS * JAM_SAVE_PAIR_BYTES; // 2800
// A recording larger than this is refused rather than read into memory.
constexpr size_t JAM_SAVE_MAX_BYTES = size_t(64) << 20;
constexpr int32_t JAM_SAVE_NEXT_PLAYER = -1;
constexpr int32_t JAM_SAVE_END_PHRASE = -2;

// ---- The file's layout ----

std::vector<uint8_t> Jam_EncodeSaveHead(const JAMPLAYER players[JAM_NET_SLOTS]);
// One phrase record from the events of players 0..3 (each list from its read cursor).
std::vector<uint8_t> Jam_EncodeSavePhrase(const JAMEVENTLIST *const lists[JAM_NET_SLOTS]);

// The head: 0 with the four blocks (by player number), -1 when it is shorter than four whole
// pairs or names a player outside 0..3.
int32_t Jam_DecodeSaveHead(const uint8_t *data, size_t size, JAMPLAYER players[JAM_NET_SLOTS]);

// One phrase record's events per player (commands 1 and above; empty and unknown records that
// are 0 or below are skipped as the player's list would skip them).
struct JAMSAVEPHRASE
{
    std::vector<JAMEVENT> aEvents[JAM_NET_SLOTS];
};
enum : int32_t
{
    JAM_SAVE_PHRASE = 1, // a whole record, *at moved past it
    JAM_SAVE_END = 0,    // no bytes left
    JAM_SAVE_BROKEN = -1 // a torn record or a player number outside 0..3; *at not moved
};
int32_t Jam_DecodeSavePhrase(const uint8_t *data, size_t size, size_t *at, JAMSAVEPHRASE *out);

// ---- Recording and replay of a node's jam ----

// Where the program keeps its recording and dump: the user's folder (empty when it has none).
std::string Jam_SavePath();
std::string Jam_DumpPath();

// Starts recording to `path` (the head written at once, replacing an older recording) or stops
// it; shows "Saving Jam Session..." / "Finished Saving Jam Session...". A head that cannot be
// written is written at the next phrase end instead, from the blocks as they stand then.
void Jam_SaveToggle(NETNODE *node, const std::string &path);
// Starts playing `path` back (players 0..3 take its head, the jam switches to scheduled mode) or
// stops it (the mode back, the jam state reset). Nothing while recording. A recording that cannot
// be read or has no whole head does not start: 0 started or stopped, -1 refused.
int32_t Jam_PlaySavedToggle(NETNODE *node, const std::string &path);
// The phrase end's work, called by the jam step: before the event sets swap, the next phrase
// record of a replay goes into the set the new phrase plays; after it, a recording appends the
// events of that set.
void Jam_ReadSaveEvents(NETNODE *node);
void Jam_WriteSaveEvents(NETNODE *node);

// The jam ends: recording stops, and a replay stops with the command mode it began in (the
// jam's own end resets the rest), so the next jam hears the network again.
void Jam_EndRecordingAndReplay(NETNODE *node);

// The program's own jam, with the recording in the user's folder; the jam screen's next screen
// becomes 10 as it does for the other jam menu entries.
void Jam_SaveToggle();
void Jam_PlaySavedToggle();

// ---- Dump ----

// Appends player 0..3's track list 0 as text: a header, then a block per pending command (one
// block of zeros when there is none). 0 written, -1 not (bad player, file not writable).
int32_t Jam_WriteDump(const JAMNET *net, int32_t player, const std::string &path);
void Jam_WriteDump(int32_t player);
