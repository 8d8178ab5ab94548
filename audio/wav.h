// RIFF WAVE files: the writer makes the mixdown file, the reader loads user files for import.
// One file of each direction is open at a time. Every call returns 0 or SND_E_FAIL.
//
// Written layout (56-byte header): "RIFF" <size> "WAVE", "fmt " of 16 bytes (PCM, 16 bits),
// "fact" of 4 bytes (the frame total given at close), "data" of interleaved s16le frames.
#pragma once

#include <cstdint>

constexpr int32_t SND_E_FAIL = static_cast<int32_t>(0x80004005u);

// The format record of a file read: the 16 bytes of "fmt ", the extra size and as many of the
// extra bytes as the record holds (enough for the extensible format's sub-format).
struct WAVFILE
{
    uint16_t wFormatTag;
    uint16_t wChannels;
    uint32_t dwSampleRate;
    uint32_t dwBytesPerSec;
    uint16_t wBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t wExtraSize;
    uint8_t abExtra[22];
};

int32_t Snd_WavOpenWrite(const char *fileName, int rate, int channels);
// Appends frames of interleaved signed 16-bit samples. A failed write is also reported at close.
int32_t Snd_WavWrite(const void *buffer, int frames);
// Patches the sizes and the "fact" total and closes the file.
int32_t Snd_WavCloseWrite(uint32_t total);

// Opens a file for reading: it must be RIFF/WAVE with a "fmt " of at least 16 bytes and a "data"
// chunk. Every size is checked against the file.
int32_t Snd_WavOpenRead(const char *fileName);
// Reads the whole "data" chunk into new signed 16-bit buffers (free them with free()): right is
// null for a mono file. PCM of 8 or 16 bits, mono or stereo, is read; anything else gives null
// buffers and 0 frames with Snd_WavErrorText saying why. Data at a rate other than 44100, 22050
// or 11025 Hz is converted to 44100 Hz so it plays at the right speed; *rate is the rate of the
// returned data.
int32_t Snd_WavReadData(int16_t **left, int16_t **right, int *frames, int *rate);
int32_t Snd_WavCloseRead();
// The format record of the file open for reading (null when none).
const WAVFILE *Snd_WavReadFormat();

// Why the last call failed or read no data ("" when it did not).
const char *Snd_WavErrorText();
