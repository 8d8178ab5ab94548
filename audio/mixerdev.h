// The audio mixer device: the levels of the sound card's inputs and outputs for the mixer-input
// panel, so the user can set what the sound capture records.
//
// An open mixer has destination lines, each with source lines; a source line's level is that of
// its first control, as a left and a right value 0..255 (a mono line uses left only). Every
// accessor is safe on a closed mixer and checks its line numbers. Main thread only.
#pragma once

#include <cstdint>

constexpr int SND_MIXER_NAME_BYTES = 64;
constexpr int SND_MIXER_CAPS_BYTES = 48;

extern int g_iMixerDeviceCount;
extern int32_t g_iMixerLastResult;

// Lists the mixer devices. 0 (also with none), or -1 when one cannot be read.
int Snd_EnumMixerDevices();
// Opens a device and reads all its lines and their values once. 0, or -1 with nothing open
// (then there are no lines).
int Snd_OpenMixer(int device);
// 0.
int Snd_CloseMixer();
// Reads every source line's value once. 0, or -1 when a read failed.
int Snd_ReadAllMixerControls();
// The level of a source line's first control. Fader: 0 with left and right (a mono line gives
// right 0). Switch, custom control or a line without a control: 0, outputs left alone. -1 when
// the mixer is closed, the line does not exist or the read fails.
int Snd_GetMixerControlValue(int destination, int source, int *left, int *right);
// Sets a fader's level (values clamped to 0..255; a mono line takes left only). Other controls: 0,
// nothing set. -1 when the mixer is closed, the line does not exist or the write fails.
int Snd_SetMixerControlValue(int destination, int source, int left, int right);
// Destinations of the open mixer (0 when closed).
int Snd_GetMixerLineCount();
// Source lines of a destination (0 when it does not exist).
int Snd_GetMixerControlCount(int destination);
// Name of a destination, and of a source line's first control, into 64 bytes. 0, or -1 (empty).
int Snd_GetMixerLineName(int destination, char *out);
int Snd_GetMixerControlName(int destination, int source, char *out);

// 0..255 from a raw value within bounds, and back; truncated toward zero.
int Snd_MixerRawToLevel(int64_t raw, int64_t minimum, int64_t maximum);
int64_t Snd_MixerLevelToRaw(int level, int64_t minimum, int64_t maximum);
