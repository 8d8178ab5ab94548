// The interface's screen-graphics set, made at build time: "win.tx" (the image records of the
// interface pictures) and "win.vrm" (its page and CLUT rows, never shown), and the colour-scheme
// palette "gfx/pal.tim".
#pragma once

#include "tools/interfaceset.h"

#include <cstdint>
#include <vector>

// Where record n lies: picture (page) 6..27 and its u, v there (tools/interfaceset.h).
void Content_ImagePlace(int n, int *page, int *u, int *v);
std::vector<uint8_t> Content_WinTx();
std::vector<uint8_t> Content_WinVrm();
std::vector<uint8_t> Content_PaletteTim();
// "win.tx", "win.vrm" and "gfx/pal.tim", relative to the data folder.
std::vector<CONTENTFILE> Content_ScreenGraphicsFiles();
