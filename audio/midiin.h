// MIDI input: one input device, open while a jam session runs or while the riff editor's live-play
// mode is on. Per note and per controller it keeps the last value received, and it stores every
// message in one of two halves that a reader can take in turn.
//
// Messages arrive on the driver's thread and are handled under g_csMidiIn, which lives for the
// whole program. The note and controller tables are written under it and read without it (single
// bytes). Live-play notes are queued, never entered from the driver's thread: the main thread
// hands them to the riff editor with Snd_DispatchLiveNotes.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

constexpr int SND_MIDI_NAME_BYTES = 256;
constexpr int SND_MIDI_CAPS_BYTES = 44;
constexpr int SND_MIDI_STORE_HALF = 16384;
constexpr int SND_MIDI_LIVE_QUEUE = 256;

extern int g_iMidiInDeviceCount;
extern std::atomic<int32_t> g_bMidiInOpen;
extern std::atomic<int32_t> g_bMidiInActive;
extern std::recursive_mutex g_csMidiIn;
extern uint8_t g_abMidiNoteVelocity[256];
extern uint8_t g_abMidiController[256];
extern std::atomic<int32_t> g_iMidiChannelFilter; // 0..15, or -1 for every channel
extern std::atomic<int32_t> g_bMidiLivePlay;
// The message store: two halves, a count per half, the half being filled, the write position.
extern uint32_t g_auMidiStore[2][SND_MIDI_STORE_HALF];
extern int32_t g_aiMidiStoreCount[2];
extern int32_t g_iMidiStoreHalf;
extern int32_t g_iMidiStoreWritePos;

// Lists the input devices. 0, or -1 when there is none (no device is not an error for the
// program: the list is just empty).
int Snd_EnumMidiInDevices();
int Snd_GetMidiInDeviceCount();
// Copies the 256-byte name of a device. 0, or -1 (destination emptied) when out of range.
int Snd_GetMidiInDeviceName(char *destination, int index);

// 0, or -1 when the device cannot be opened.
int Snd_OpenMidiIn(int device);
// Stops the callbacks and closes the device. 0; closing what is not open does nothing.
int Snd_CloseMidiIn();
// 1 when not open; 0 started (the store starts empty at half 0), -1 on failure.
int Snd_StartMidiIn();
int Snd_StopMidiIn();
// Opens g_iMidiInDevice and starts it (jam start, live play on).
void Snd_MidiInBegin();
// Stops and closes (jam end, live play off). The close's result.
int Snd_MidiInEnd();

// The driver callback (kind 0x3C3 is a data message; every other kind is ignored).
constexpr uint32_t SND_MIM_OPEN = 0x3C1;
constexpr uint32_t SND_MIM_DATA = 0x3C3;
void Snd_MidiInCallback(void *handle, uint32_t message, uintptr_t instance, uintptr_t param1, uintptr_t param2);
void Snd_HandleMidiMessage(uint32_t message, uint32_t timeMs);

// 0 with the table, or 1 (out left alone) when not open.
int Snd_GetMidiNoteTable(uint8_t **table);
int Snd_GetMidiController(uint8_t *value, int controller);
// When open: the half being filled and its count (out left alone otherwise); filling moves to the
// other half, emptied.
void Snd_TakeMidiMessages(uint32_t **buffer, int32_t *count);

// Main thread: hands the queued live-play notes to the riff editor's note entry, oldest first.
// Returns how many.
int Snd_DispatchLiveNotes();
// Where the dispatched notes go: the riff editor's live note entry (tests may record instead).
extern void (*g_pfnSndLiveNote)(int32_t note, int32_t velocity);
