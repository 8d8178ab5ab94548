// Video files (RIFF "AVI "): a small reader of our own for the first video stream of a file, with
// frames stored uncompressed (8-bit palettised, 16-bit 5:5:5, 24-bit or 32-bit rows) or run-length
// coded 8-bit ("RLE8"). Frames are read on demand from a byte source (a file or memory), so a long
// clip is never held whole.
//
// Everything taken from the file is checked against the file before use: chunk sizes against the
// chunk that holds them, frame offsets against the "movi" list, picture sizes and counts against
// fixed limits. A file that does not fit is refused with a readable text in g_szErrorText.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

constexpr int32_t AVI_MAX_DIMENSION = 4096;
constexpr uint32_t AVI_MAX_FRAMES = 1u << 20;
constexpr int32_t AVI_DIB_HEADER_SIZE = 40;

constexpr uint32_t AVI_FOURCC(char a, char b, char c, char d)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

// Picture codings of the stream format (biCompression).
constexpr uint32_t AVI_BI_RGB = 0;
constexpr uint32_t AVI_BI_RLE8 = 1;

// The stream description as the stream header gives it (140 bytes, the system's own layout).
struct AVISTREAMINFO
{
    uint32_t fccType;
    uint32_t fccHandler;
    uint32_t dwFlags;
    uint32_t dwCaps;
    uint16_t wPriority;
    uint16_t wLanguage;
    uint32_t dwScale;
    uint32_t dwRate;
    uint32_t dwStart;
    uint32_t dwLength; // frames the reader can deliver (never more than the file holds)
    uint32_t dwInitialFrames;
    uint32_t dwSuggestedBufferSize;
    uint32_t dwQuality;
    uint32_t dwSampleSize;
    int32_t rcFrame[4]; // left, top, right, bottom
    uint32_t dwEditCount;
    uint32_t dwFormatChangeCount;
    char szName[64];
};
static_assert(sizeof(AVISTREAMINFO) == 140, "AVISTREAMINFO is 140 bytes");

// Where a frame's data lie in the file; size 0 repeats the frame before it.
struct AVIFRAMEREF
{
    uint64_t offset;
    uint32_t size;
};

// Reads size bytes at offset into dst; 0 when all were read, -1 otherwise.
using AVIREADFN = int (*)(void *context, uint64_t offset, void *dst, uint32_t size);

struct AVIREADER
{
    AVISTREAMINFO info;
    int32_t width;
    int32_t height;   // rows, always positive
    int32_t topDown;  // rows are stored top row first
    int32_t bitCount; // 8, 16, 24 or 32
    uint32_t compression;
    uint32_t palette[256]; // 0x00RRGGBB
    int32_t paletteCount;
    std::vector<AVIFRAMEREF> frames;
    uint64_t fileSize;
    AVIREADFN read;
    void *context;
    // The frame last decoded, kept for repeated and run-length frames.
    int32_t decodedFrame; // -1 when none
    std::vector<uint8_t> decoded; // packed bitmap: 40-byte header, then 24-bit rows, bottom row first
    std::vector<uint8_t> chunk;   // scratch for a frame's stored bytes
    std::vector<uint8_t> indices; // run-length frames: the palette indices drawn so far
    const uint8_t *memData; // bytes of a reader over memory
    size_t memSize;
};

// Reads the headers and the frame list. 0, or -1 with g_szErrorText set (the reader is then empty).
int32_t Gfx_AviOpenReader(AVIREADER *reader, AVIREADFN read, void *context, uint64_t fileSize);
// Over bytes the caller keeps for as long as the reader is used.
int32_t Gfx_AviOpenMemory(AVIREADER *reader, const uint8_t *data, size_t size);
// Over an open file the caller keeps open.
int32_t Gfx_AviOpenFile(AVIREADER *reader, FILE *file);
void Gfx_AviCloseReader(AVIREADER *reader);

// The frame as a packed bitmap (40-byte header, then rows of blue, green, red bytes padded to 4,
// bottom row first), valid until the next call; null when the frame is out of range or its data
// cannot be read or decoded.
const uint8_t *Gfx_AviDecodeFrame(AVIREADER *reader, int32_t frame);
// Bytes from one row of the packed bitmap to the next.
int32_t Gfx_AviDecodedStride(const AVIREADER *reader);
