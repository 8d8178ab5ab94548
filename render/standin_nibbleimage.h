// Stand-in for the texture table's nibble-image upload, until the texture table is built.
#pragma once

#include <cstdint>

struct NIBBLERECT
{
    int16_t x, y, w, h;
};

// Copies h rows of w x 2 bytes of 4-bit pixels into texture slot 10 from row y. Counts calls.
void Gfx_BlitNibbleImage(const uint8_t *pBytes, const NIBBLERECT *pRect);
extern int32_t g_iNibbleImageUploads;
