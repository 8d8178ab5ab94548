// The sound output stream: the device list, the open output device and the stream of mixed
// blocks (72 frames, 44100 Hz, stereo, 16-bit) that the mix tick writes one at a time.
//
// Bring-up: Snd_EnumOutputDevices, Snd_OpenOutputDevice, Snd_CreateStreamBuffer; close:
// Snd_ClearStreamBuffer, Snd_ReleaseStreamBuffer, Snd_CloseOutputDevice. Open, close and clear run
// on the main thread with the mix stopped; Snd_WriteStreamBlock runs on the mix tick's thread.
#pragma once

#include <cstdint>

constexpr int SND_MAX_OUTPUT_DEVICES = 8;
constexpr int SND_STREAM_BLOCKS = 32;
constexpr int SND_STREAM_BLOCK_FRAMES = 72;
constexpr int SND_STREAM_BLOCK_BYTES = SND_STREAM_BLOCK_FRAMES * 4;

extern int g_iOutputDeviceCount;
extern char g_aszOutputDeviceNames[SND_MAX_OUTPUT_DEVICES][256];
extern int g_iStreamBufferBytes;
// Byte offset of the next block within the stream's cycle of 32 blocks; kept across reopen.
extern int g_iStreamWritePos;
extern char g_szSoundStatusText[256];
extern char g_szSoundErrorText[256];

// Lists the output devices (entry 0 the system default). Returns 0.
int Snd_EnumOutputDevices(void *window);
int Snd_GetOutputDeviceCount();
// Name of a listed device, "" when out of range.
const char *Snd_GetOutputDeviceName(int device);
// Opens a listed device. A device number that is no longer listed, or that fails to open, falls
// back to the default device (entry 0). Returns 0, or -1 when no device opens.
int Snd_OpenOutputDevice(void *window, int device);
// Returns 1.
int Snd_CloseOutputDevice();
// Starts the stream playing silence. Returns 0, or -1 when there is no open device.
int Snd_CreateStreamBuffer();
// Clears and stops the stream. Returns 0.
int Snd_ReleaseStreamBuffer();
// Drops what is queued. Returns 0.
int Snd_ClearStreamBuffer();
// Queues one block. Returns -1 when no block is wanted yet (try again next tick) or there is no
// stream, 0 when written.
int Snd_WriteStreamBlock(const void *source, int size, int flags);
