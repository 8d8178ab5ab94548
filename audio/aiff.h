// AIFF images: "FORM" <size> "AIFF", then chunks, every field big-endian.
//
//   "COMM": u16 channels, u32 sample frames, u16 bits per sample, 80-bit extended sample rate
//   "MARK": u16 count, then per marker u16 id, u32 frame position, counted name padded to even
//   "SSND": u32 offset, u32 block size, samples from offset
//   "NAME": the sound's name
// Every chunk is stepped over by its own size (padded to even), so chunks of other kinds are
// skipped. Sizes and counts are checked against the image: frames the image does not hold are
// left out, and an image without "COMM" or "SSND" is refused. The image is never written to.
#pragma once

#include <cstdint>

struct SAMPLESLOT;

// What an AIFF image says, with the samples still in the image.
struct AIFFINFO
{
    uint16_t uChannels;
    uint16_t uBits;       // 1..32; samples take (bits + 7) / 8 bytes, left-justified
    uint32_t uFrames;     // frames the image really holds (at most the "COMM" count)
    uint32_t uRate;       // Hz
    const uint8_t *pSamples;
    bool bBeginLoop;      // a marker named "beg loop"
    uint32_t uBeginLoop;  // its frame
    bool bEndLoop;        // a marker named "end loop"
    uint32_t uEndLoop;
    bool bName;           // a "NAME" chunk
    char szName[256];
};

// Reads the image's chunks into *pInfo. 0, or -1 with a text in g_szErrorText.
int Snd_ReadAiffInfo(const uint8_t *pImage, uint32_t size, AIFFINFO *pInfo);
// Sample frame i of channel (0 left), as signed 16 bits.
int16_t Snd_AiffSample(const AIFFINFO *pInfo, uint32_t frame, uint32_t channel);

// Loads an AIFF image into the slot as stereo frames: a mono file plays the same on both sides,
// of more channels the first two are left and right. 8-bit samples are widened, deeper ones keep
// their top 16 bits. Data at a rate other than 44100, 22050 or 11025 Hz is converted to 44100 Hz
// so that it plays at its own speed. A "beg loop" marker starts the loop there; a "NAME" chunk
// names the slot. 0, or -1 (slot unchanged) with a text in g_szErrorText.
int Snd_ParseAiff(SAMPLESLOT *pSlot, const uint8_t *pImage, uint32_t size);

// The 80-bit extended rate as the nearest integer: the top 32 bits of the mantissa shifted down
// to the exponent, rounding by the last bit shifted out. 0 for rates below 1 Hz or of 2^31 Hz
// and above (and for negative ones).
uint32_t Snd_ExtendedToInt(const uint8_t *pExtended);
// Reverses four bytes in place.
void Snd_SwapLong(uint8_t *p);
