// The sound card's mixer: destinations ("Playback", "Recording"), each with source lines, each
// line with its first control (a fader with 1 or 2 channels and raw bounds, a switch, or a custom
// control without a level).
//
// Real backend: the ALSA simple mixer. Devices: "default", then one per card. A simple element
// with a playback volume is a line of "Playback", one with a capture volume a line of
// "Recording"; an element with only a switch is a switch line, an enumerated one a custom line.
// Headless backend: one device, "Headless mixer", whose lines live in memory:
//   Playback:  "Master" (fader, 2 channels, 0..65535), "Microphone" (fader, 1 channel, 0..65535),
//              "Mute" (switch), "Empty" (no control)
//   Recording: "Capture" (fader, 2 channels, -10..21), "Input Source" (custom)
// Every open starts the headless lines from those values again (faders at their minimum).
#pragma once

#include <cstdint>

enum PLATMIXERKIND
{
    PLAT_MIXER_NONE = 0, // the line has no control
    PLAT_MIXER_FADER = 1,
    PLAT_MIXER_SWITCH = 2,
    PLAT_MIXER_CUSTOM = 3,
};

struct PLATMIXERCONTROL
{
    PLATMIXERKIND kind;
    int channels; // 1 or 2 for a fader
    int64_t minimum;
    int64_t maximum;
    char name[64];
};

// Lists the mixer devices again. Returns the count.
int Plat_MixerEnumerate();
const char *Plat_MixerDeviceName(int index);

// Opens a listed device and reads its lines. 0, or -1 (nothing open).
int Plat_MixerOpen(int index);
void Plat_MixerClose();
bool Plat_MixerIsOpen();
int Plat_MixerDestinationCount();
// Null when out of range.
const char *Plat_MixerDestinationName(int destination);
int Plat_MixerSourceCount(int destination);
const char *Plat_MixerSourceName(int destination, int source);
// The first control of a line. 0, or -1 when out of range.
int Plat_MixerSourceControl(int destination, int source, PLATMIXERCONTROL *control);
// Raw values of the control's channels (a switch has one: 0 or 1). 0, or -1.
int Plat_MixerGet(int destination, int source, int64_t *values, int count);
// Sets count channels from values (clamped to the bounds). 0, or -1.
int Plat_MixerSet(int destination, int source, const int64_t *values, int count);
const char *Plat_MixerError();

// Headless: the next open fails.
void Plat_MixerHeadlessFailOpen(bool fail);
