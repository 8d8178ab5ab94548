// The interface's screen-graphics set, made at build time: "win.tx" (the image records of the
// interface pictures) and "win.vrm" (its page and CLUT rows, never shown), and the colour-scheme
// palette "gfx/pal.tim".
#pragma once

#include "tools/soundcontent.h"

#include <cstdint>
#include <vector>

constexpr int CONTENT_IMAGE_RECORDS = 1024;
constexpr int CONTENT_IMAGE_CELL = 32; // each record is a 32 x 32 cell of its picture

// Where record n lies: picture (page) 6..27 and the cell's u, v in it.
void Content_ImagePlace(int n, int *page, int *u, int *v);
std::vector<uint8_t> Content_WinTx();
std::vector<uint8_t> Content_WinVrm();
std::vector<uint8_t> Content_PaletteTim();
// "win.tx", "win.vrm" and "gfx/pal.tim", relative to the data folder.
std::vector<CONTENTFILE> Content_ScreenGraphicsFiles();
