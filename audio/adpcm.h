// Console ADPCM: the packed sample format of the interface sounds and the instrument library.
//
// Data is a run of 16-byte blocks. Byte 0: shift (low nibble) | filter << 4; byte 1: block flag
// (ADPCM_FLAG_*); bytes 2-15: 28 four-bit samples, low nibble first. A sample decodes as
//   e = ((int16)(nibble << 12) >> shift) << 6
//   s = (e + h1 * c0 + h2 * c1) >> 6      (32-bit, arithmetic shift)
//   h2 = h1, h1 = s                       (history kept unclamped)
// with (c0, c1) the block's filter pair; the output is s clamped to 16 bits. The first block of
// the data only primes the history: it is decoded but not output.
//
// The history starts at zero on every decode, so the same bytes always give the same samples
// (stored sample edits are replayed on freshly decoded samples).
//
// The encoder is the decoder's inverse: it writes a silent priming block, then for each block of
// 28 samples tries every filter and shift against the exact decode arithmetic and keeps the one
// whose decoded block is nearest (least squared error, nibbles chosen sample by sample).
#pragma once

#include <cstdint>

enum
{
    ADPCM_BLOCK_BYTES = 16,
    ADPCM_BLOCK_SAMPLES = 28,
    ADPCM_FILTER_COUNT = 5, // filters 5..15 decode with pair 0
};

enum
{
    ADPCM_FLAG_LAST_TWO = 1, // this block and the next are the last two
    ADPCM_FLAG_LAST = 3,     // this block is the last
    ADPCM_FLAG_LOOP = 6,     // the loop starts at this block
    ADPCM_FLAG_END = 7,      // stop before this block
};

struct ADPCMDECODE
{
    uint32_t uSamples;        // samples written
    uint32_t uLoopStartFrame; // valid when bLoops
    bool bLoops;
};

// Room a decode of size bytes needs, in samples.
uint64_t Snd_AdpcmMaxSamples(uint32_t size);

// Decodes size bytes (a trailing partial block is ignored) into out, which holds capacity
// samples. Returns 0, or -1 for null arguments or too small a capacity (nothing written).
int Snd_DecodeAdpcm(const uint8_t *pData, uint32_t size, int16_t *pOut, uint32_t capacity, ADPCMDECODE *pResult);

// Bytes the encoding of count samples takes.
uint32_t Snd_AdpcmEncodedSize(uint32_t count, int32_t loopStartFrame);

// Encodes count samples (the last block padded with silence) into out. loopStartFrame < 0: no
// loop; otherwise the loop starts at the block holding that frame (loops start on block edges).
// Returns the bytes written, or -1 for null arguments, a loop start past the end or too small
// an output.
int64_t Snd_EncodeAdpcm(const int16_t *pSamples, uint32_t count, int32_t loopStartFrame, uint8_t *pOut,
                        uint32_t capacity);
