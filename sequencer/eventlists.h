// The song's event lists: tempo ('c'), master volume ('d'), effect ('e') and song key ('f').
#pragma once

#include <cstdint>

// Song key 1..12 (0 none) at a row of the key list, with its mode.
int32_t Seq_SongKeyAt(int32_t row, int32_t *pMode);
