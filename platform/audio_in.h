// Sound capture: one mono, signed 16-bit little-endian input stream captured into a looping
// buffer, with notifications when the capture position reaches the buffer's start or its middle,
// and when capture stops.
//
// Real backend: an SDL capture device (SDL converts, so every device offers every rate).
// Headless backend: a generated source that produces Plat_AudioInGeneratedSample(n) for sample n
// at the rate asked, as the platform clock moves (the manual clock in tests). Its devices:
//   0 "Default capture device" (11025, 22050, 44100), 1 "Line in" (22050 only),
//   2 "Digital out" (none of the three rates).
//
// One capture device at a time. Notifications run on the producing thread (SDL's, or the
// headless source's own thread); they must not call back into this module's open/close.
#pragma once

#include <cstdint>

constexpr int PLAT_AUDIO_IN_MAX_DEVICES = 16;

// Rates a device offers, as a bit mask.
enum
{
    PLAT_AUDIO_IN_11025 = 1,
    PLAT_AUDIO_IN_22050 = 2,
    PLAT_AUDIO_IN_44100 = 4,
};

// Notification kinds.
enum
{
    PLAT_AUDIO_IN_STOPPED = 1,
    PLAT_AUDIO_IN_AT_START = 2,
    PLAT_AUDIO_IN_AT_MIDDLE = 3,
};
using PLATAUDIOINNOTIFY = void (*)(int kind, void *context);

// Lists the capture devices again; entry 0 is the system's default. Returns the count.
int Plat_AudioInEnumerate();
int Plat_AudioInDeviceCount();
// Description and driver of an entry; null when out of range.
const char *Plat_AudioInDeviceDescription(int index);
const char *Plat_AudioInDeviceModule(int index);
// Rate mask of an entry; 0 when out of range.
int Plat_AudioInDeviceRates(int index);

// Opens an entry with a looping buffer of bufferBytes (even, at least 4) at rate Hz, stopped.
// Returns 0, or -1 with Plat_AudioInError set.
int Plat_AudioInOpen(int index, int rate, int bufferBytes, PLATAUDIOINNOTIFY notify, void *context);
bool Plat_AudioInIsOpen();
// Starts capturing into the buffer from offset 0. 0, or -1 when not open.
int Plat_AudioInStart();
// Stops capturing, then sends PLAT_AUDIO_IN_STOPPED. 0, or -1 when not capturing.
int Plat_AudioInStop();
// Offset of the next byte the device will write, or -1 when not open.
int Plat_AudioInPosition();
// The buffer's bytes from offset for bytes bytes, as one or two parts (the second from the
// buffer's start when the range wraps). 0, or -1 when not open or the range does not fit.
int Plat_AudioInLock(int offset, int bytes, const uint8_t **part1, int *bytes1, const uint8_t **part2,
                     int *bytes2);
// Copies bytes bytes from offset (wrapping at the buffer's end) into destination, while the
// producer cannot write them: what a reader that runs beside capture must use, as the parts of
// Plat_AudioInLock may be overwritten once the producer laps them. 0, or -1 as Plat_AudioInLock.
int Plat_AudioInRead(int offset, int bytes, uint8_t *destination);
void Plat_AudioInClose();
const char *Plat_AudioInError();

// Headless source: sample n since the start of capture.
int16_t Plat_AudioInGeneratedSample(uint64_t n);
// Headless: a source of its own (sample n since the start of capture at rate Hz) in place of the
// ramp; null gives the ramp back.
using PLATAUDIOINGENERATOR = int16_t (*)(uint64_t n, int rate);
void Plat_AudioInSetGenerator(PLATAUDIOINGENERATOR generator);
// Headless: the next opens fail as if the device had gone.
void Plat_AudioInHeadlessFailOpen(bool fail);
