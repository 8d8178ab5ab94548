// Tile sheets and the jam backdrop of the data folder, drawn in code: the 12 ".raw" sheets of the
// screen tiles (headerless 24-bit RGB, columns x 24 by rows x 24 pixels) and "pcjambg.raw"
// (640 x 480). Tiles are opaque: black is an ordinary colour here.
#pragma once

#include "tools/soundcontent.h"

#include <cstdint>
#include <string>
#include <vector>

struct CONTENTTILESHEET
{
    const char *name;
    int columns, rows;
};
extern const CONTENTTILESHEET g_atContentTileSheets[12];

// One sheet by its file name; empty for a name not in the table.
std::vector<uint8_t> Content_TileSheet(const std::string &name);
std::vector<uint8_t> Content_JamBackground();
// Pixel (x, y) of tile (row, column) of a sheet: red, green, blue.
const uint8_t *Content_TilePixel(const std::string &sheet, int row, int column, int x, int y);
// Every sheet and the backdrop, as data-folder files.
std::vector<CONTENTFILE> Content_TileFiles();
