// Songs of the older video layout keep their whole video in one "VI" block: old chase records,
// then timeline entries giving each chase a run of positions. After a load the block is turned
// into current chases, grouped into clips (an object and the modifiers after it, a camera, a
// screen effect) and placed on the lanes.
//
// Block layout (little-endian): u32 chase count N; N records of 32 bytes (+12 u32 old type 1-13,
// +16 u32 move duration, +20 u32 trigger row, +28 u32 key count K) each followed by K keys of the
// old type's key size; u32 entry count M; M entries of 8 bytes (i16 chase number from 1, i16
// start position, i16 length, i16 unused).
#pragma once

#include <cstddef>
#include <cstdint>

struct CHASE;

enum : uint32_t
{
    VIDREBUILD_PLACE = 1u << 28,   // place the clips on the lanes
    VIDREBUILD_TABLE = 1u << 29,   // make the chase table
    VIDREBUILD_NOTHING = 1u << 30, // build no chase
};

// Key bytes of an old chase type, 0 for a type that never existed.
int32_t Vid_OldChaseKeySize(int32_t oldType);
// A new chase (no references) from an old record read from its move duration on (`bytes` left
// there), or null when its type is unknown, it does not fit or a key is refused. A key whose
// resource cannot be found keeps its other channels and sets *missing (when given).
CHASE *Vid_ConvertOldChase(int32_t oldType, const uint8_t *record, size_t bytes, int32_t *missing = nullptr);
// Rebuilds the video of an old block of `size` bytes; positions go to entry start + targetRow
// (-1 counts as 0). 1 when done, 0 when the block does not hold together or a chase cannot be
// made (nothing made is kept then). Placements the lanes refuse are skipped.
int32_t Vid_RebuildFromSong(const uint8_t *block, size_t size, uint32_t flags, int32_t targetRow,
                            int32_t *missing = nullptr);
