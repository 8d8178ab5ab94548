// The user image bank: up to 16 pictures of 128 x 64 palette indices, each with its own 256-colour
// palette, brought in from bitmap files and stored with the song as one block.
//
// Block layout (little-endian): "USER", u32 count, then per picture its 8192 index bytes (row 0
// first) and its 768 palette bytes (red, green, blue). Size 8 + 8960 x count.
//
// Slots 0 .. count-1 are in use, in the order they were filled; the bank is only ever emptied
// whole. An empty slot holds a ramp: byte c of every row is c, palette entry i is (i >> 3) grey.
// Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t USERIMAGE_SLOTS = 16;
constexpr int32_t USERIMAGE_RECORD = 8192 + 768; // 8960
constexpr int32_t USERIMAGEBLOCK_HEADER = 8;

extern uint8_t *g_pUserImages;   // 16 x 8192 bytes
extern uint8_t *g_pUserPalettes; // 16 x 768 bytes
extern int32_t g_iUserImageCount;

// Allocates the slots once and empties the bank.
void Gfx_InitUserImages();
// Count 0, every slot back to the ramp.
void Gfx_ResetUserImages();
void Gfx_FreeUserImages();

// Loads an 8-bit bitmap into the next free slot. The slot number, or -1 when the bank is full or
// the file is refused (the slot is then left as it was).
int32_t Gfx_LoadUserImage(const char *path);

// Bytes of the bank's block: 8 + 8960 x count.
uint32_t Gfx_GetUserImagesSize();
// Writes the block at buffer, which holds at least Gfx_GetUserImagesSize bytes. Bytes written.
uint32_t Gfx_WriteUserImages(void *buffer);
// Reads a block of size bytes into the bank. -1, with the bank unchanged, when the tag is not
// "USER", the count is above 16 or the pictures do not fit in size.
int32_t Gfx_ReadUserImages(const void *buffer, size_t size);
