// Stand-in for the song editor's event-row cells of the song grid (rows 99 to 102: volume,
// effects, tempo and key) until the song data lanes are built: an empty lane shows its own bar and
// plain cells, an entry a band in the lane's colour.
#pragma once

#include <cstdint>

// Image numbers of the empty lane cells: bar then plain cell for rows 99, 100, 101, 102.
constexpr int32_t ED_LANE_CELL_IMAGES = 960;

void Ed_DrawSongCellKind100(uint8_t *packet, int32_t column, int32_t x, int32_t y); // row 99
void Ed_DrawSongCellKind101(uint8_t *packet, int32_t column, int32_t x, int32_t y); // row 100
void Ed_DrawSongCellKind99(uint8_t *packet, int32_t column, int32_t x, int32_t y);  // row 101
void Ed_DrawSongCellKind102(uint8_t *packet, int32_t column, int32_t x, int32_t y); // row 102
