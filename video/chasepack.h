// Packed chase records: how a chase travels in a song image (the items of the "CH" chunk).
//
// Little-endian, 4-byte aligned: u16 stored type id, trigger sources A and B, update mode, key
// count, option byte, move duration (the last two from format version 7 on), then a u16 time and
// a u16 channel mask per key, then the values of every key's masked channels bit-packed at the
// channels' widths, least significant bit first, the record padded with zeros to 4 bytes.
// Resource values are stored as the saved resources' numbers (the types' pack and remap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct CHASE;
struct VIDLOADMAP;

// Writes the record of a live chase at the end of out; its size in bytes (a multiple of 4).
uint32_t Vid_PackChase(const CHASE *chase, std::vector<uint8_t> *out);
uint32_t Vid_PackedChaseSize(const CHASE *chase);
// The size of a stored record of the song being read (g_iSongFormatVersion), or 0 when it does
// not fit in `left` bytes, its type is unknown or it names channels the type does not have.
uint32_t Vid_ChaseRecordSize(const uint8_t *record, size_t left);
// The registered type code of a stored record's type, -1 when no registered type has that id.
int32_t Vid_MapStoredChaseType(const uint8_t *record);
// Hands every packed value of a stored record to its type's mark method (resources used).
// 0 when the record's type is unknown.
int32_t Vid_UnpackChaseValues(const uint8_t *record, size_t left, uint32_t *bitmap);
// A new chase (no references) from a stored record, or null when the record is refused.
CHASE *Vid_UnpackChase(const uint8_t *record, size_t left, const VIDLOADMAP *map);
// The width a channel of a chase type (by stored id) had in songs of an older format version, or
// -1 when it is stored as the type has it now. Background records below version 12 hold a
// third 1-bit channel, read and dropped.
int32_t Vid_StoredChannelBits(int32_t storedId, int32_t channel, int32_t version);
// Marks the resources a live chase's keys use (ids as bits of bitmap).
void Vid_MarkChaseResources(const CHASE *chase, uint32_t *bitmap);
