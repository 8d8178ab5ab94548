// Sound output: one stream of 44100 Hz, stereo, signed 16-bit frames, written in whole blocks.
//
// The writer asks "is a block wanted" and then writes one block; the device keeps only a short
// queue ahead of what is playing (default 8 blocks of 72 frames, about 13 ms) so a key answers at
// once. When the queue runs dry the device plays silence, never old sound.
//
// Real backend: an SDL audio device pulling from our own mutex-guarded ring buffer.
// Headless backend: a virtual device that plays 44.1 frames per millisecond of the platform clock
// (the manual clock in tests). TNV_AUDIO_DUMP=file.wav records every frame it played, silence
// included, so a frame's position in the file is its play time.
//
// One output at a time; all calls may come from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int PLAT_AUDIO_RATE = 44100;
constexpr int PLAT_AUDIO_CHANNELS = 2;
constexpr int PLAT_AUDIO_FRAME_BYTES = 4;
constexpr int PLAT_AUDIO_MAX_DEVICES = 8;
constexpr int PLAT_AUDIO_DEFAULT_QUEUE_FRAMES = 8 * 72;
constexpr int PLAT_AUDIO_MAX_QUEUE_FRAMES = 32 * 72;

// Lists the output devices again. Entry 0 is always the system's default device; at most
// PLAT_AUDIO_MAX_DEVICES entries. Returns the count (at least 1).
int Plat_AudioOutEnumerate();
int Plat_AudioOutDeviceCount();
// "name : driver" of an entry from the last enumeration; null when out of range.
const char *Plat_AudioOutDeviceName(int index);

// Opens entry index of the last enumeration at 44100 Hz stereo 16-bit, stopped and empty.
// Returns 0, or -1 with Plat_AudioOutError set (an index out of range fails too).
int Plat_AudioOutOpen(int index);
bool Plat_AudioOutIsOpen();
// Plays (silence until blocks come). 0, or -1 when not open.
int Plat_AudioOutStart();
// Pauses playing; what is queued stays.
void Plat_AudioOutStop();
// True when open, started or not, and the queue holds room for blockFrames more frames below the
// queue depth.
bool Plat_AudioOutBlockWanted(int blockFrames);
// Queues whole frames (bytes / 4). Returns 0, or -1 when not open or the queue has no room for them.
int Plat_AudioOutWrite(const void *data, size_t bytes);
// Drops everything queued; the device goes on with silence.
void Plat_AudioOutClear();
void Plat_AudioOutClose();

// Queue depth in frames, 72..PLAT_AUDIO_MAX_QUEUE_FRAMES; TNV_AUDIO_QUEUE_FRAMES sets the
// default. Takes effect at once.
void Plat_AudioOutSetQueueFrames(int frames);
int Plat_AudioOutQueueFrames();
// Frames queued and not yet played.
int Plat_AudioOutQueuedFrames();
// Frames played since open, silence included (headless: exact; SDL: as pulled by the device).
uint64_t Plat_AudioOutPlayedFrames();

// Text of the last failure ("" when none).
const char *Plat_AudioOutError();
