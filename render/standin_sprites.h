// Stand-in for the interface's ordering-table entry and the image sprite builder, until the 2D
// drawing primitives are built. Only what the fonts use.
#pragma once

#include "render/texpages.h"

#include <cstdint>

// The interface's current ordering-table entry (an arena address).
extern uint32_t g_pOrderingTable;

// Builds a tinted sprite of the image (draw mode with its page word, then the sprite) and links it
// in front of g_pOrderingTable; returns the entry, 0 when nothing was built.
uint32_t Gfx_AddImageSprite(const IMAGEREC *image, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b);
