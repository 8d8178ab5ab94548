// MIDI input: one input port at a time, whose short messages (status, data 1, data 2) reach a
// callback on the driver's thread, packed as status | data1 << 8 | data2 << 16.
//
// Real backend: the ALSA sequencer through RtMidi; a machine without a sequencer has no ports,
// which is not an error. System messages (sysex, timing, active sensing) are dropped.
// Headless backend: scripted ports (none unless a test sets some) and messages a test injects;
// an injected message reaches the callback on the injecting thread while the port is started.
#pragma once

#include <cstdint>

using PLATMIDIINPROC = void (*)(uint32_t message, uint32_t timeMs, void *context);

// Lists the input ports again. Returns the count (0 when there are none).
int Plat_MidiInEnumerate();
int Plat_MidiInPortCount();
// Name of a listed port; null when out of range.
const char *Plat_MidiInPortName(int index);

// Opens a listed port. 0, or -1 when it is not listed or cannot be opened.
int Plat_MidiInOpen(int index, PLATMIDIINPROC proc, void *context);
bool Plat_MidiInIsOpen();
// Messages reach the callback only between start and stop. 0, or -1 when not open.
int Plat_MidiInStart();
int Plat_MidiInStop();
// Closes the port; once it returns no callback runs. Closing what is not open does nothing.
void Plat_MidiInClose();
const char *Plat_MidiInError();

// Headless: the port list (names "Scripted port 1".."N").
void Plat_MidiInHeadlessSetPorts(int count);
// Headless: delivers a message of up to 3 bytes to the open, started port. A status byte
// 0xF0 and above is dropped, as the real port does. Returns 1 when delivered.
int Plat_MidiInHeadlessInject(const uint8_t *bytes, int count, uint32_t timeMs);
