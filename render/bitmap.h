// BMP files: the reader, the 128 x 64 user picture made from an 8-bit bitmap, painting a bitmap
// onto the back buffer, and the loading picture shown at start-up.
//
// The reader takes uncompressed files with a 40-byte (or longer) info header at 1, 4, 8, 16 (5:5:5),
// 24 or 32 bits a pixel, bottom-up or top-down. Pixel rows are kept in the order the file stores
// them, each padded to a multiple of 4 bytes, as the user pictures saved in songs were sampled that
// way. Compressed files, the old 12-byte header and anything that does not fit the file are refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int32_t BMP_FILEHEADER_SIZE = 14;
constexpr int32_t BMP_INFOHEADER_SIZE = 40;
constexpr int32_t BMP_MAX_SIDE = 16384;
constexpr int32_t BMP_MAX_FILE = 64 * 1024 * 1024;
constexpr int32_t USERIMAGE_WIDTH = 128;
constexpr int32_t USERIMAGE_HEIGHT = 64;
constexpr int32_t USERIMAGE_BYTES = USERIMAGE_WIDTH * USERIMAGE_HEIGHT; // 8192
constexpr int32_t USERPALETTE_BYTES = 256 * 3;                          // 768

struct BMPIMAGE
{
    int32_t width;
    int32_t height;     // rows, always positive
    int32_t bitCount;   // 1, 4, 8, 16, 24 or 32
    int32_t topDown;    // 1 when the first stored row is the top of the picture
    uint32_t stride;    // bytes a stored row, a multiple of 4
    int32_t colourCount; // table entries read from the file (0..256)
    uint8_t colours[256][4]; // blue, green, red, reserved, as the file holds them
    std::vector<uint8_t> bits; // height rows of stride bytes, in file order
};

// Parses a whole BMP file. 0, or -1 with the reason in g_szErrorText.
int32_t Gfx_ParseBmp(const uint8_t *data, size_t size, BMPIMAGE *out);
// Reads and parses a file given by its studio path. 0, or -1 with the reason in g_szErrorText.
int32_t Gfx_ReadBmpFile(const char *path, BMPIMAGE *out);

// The picture of an 8-bit bitmap sampled to 64 rows of 128 indices (row 0 is the first stored
// row), and its 256 palette entries as red, green, blue; entries the file does not define keep a
// grey ramp. Other depths and unreadable files give -1 and leave both outputs untouched.
int32_t Gfx_LoadBmp(const char *name, uint8_t *picture, uint8_t *palette);
// The same from a parsed bitmap.
int32_t Gfx_SampleBmp(const BMPIMAGE &bmp, uint8_t *picture, uint8_t *palette);

// Paints the bitmap upright and unscaled at the top-left of the back buffer, in its pixel layout,
// cut at the back buffer's edges. 0; -1 when the file cannot be read (nothing drawn); a display
// result when the back buffer cannot be drawn on.
int32_t Gfx_BlitBitmapFile(const char *path);
int32_t Gfx_BlitBitmap(const BMPIMAGE &bmp);

// "loading_tnv.bmp" of the data folder painted, presented and held for 5 seconds of the clock.
int32_t Gfx_ShowLoadingScreen();
