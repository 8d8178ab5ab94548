// The world view of the song and video grids (6 x 6-pixel cells, 97 x 60 visible) and the song
// grid's cells in it: riffs as framed blocks, the four event lanes below the tracks.
#pragma once

#include <cstdint>

// Tints of clips, chases and riffs: a colour value modulo 48 picks the entry.
extern const uint8_t g_aabGridCellColours[48][3];

// Fills a cell's packet with an interface image at (x, y): at the neutral tint for a colour entry
// below 0, else tinted by the entry (the tint masks the image's texels, so tinted images are drawn
// light).
void Ui_SetGridCellPacket(uint8_t *packet, int32_t image, int32_t colourEntry, int32_t x, int32_t y);

// The song grid's cell callback in the world view; also the lane rows 99 to 102.
void Ui_SongCellCallback(uint8_t *packet, int32_t column, int32_t row, int32_t x, int32_t y);
// The lane cell of an event-row lane type (99..102) at a song column.
void Ui_SongLaneCell(uint8_t *packet, int32_t laneType, int32_t column, int32_t x, int32_t y);
// The image a song cell shows in the world view, and its colour entry (-1 for the neutral 128).
int32_t Ui_SongWorldCellImage(int32_t column, int32_t row, int32_t *colourEntry);

// Both only act when the flag is the other way; they reopen the current song or video grid.
void Ui_WorldViewOn();
void Ui_WorldViewOff();
