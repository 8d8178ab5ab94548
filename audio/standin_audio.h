// Stand-ins for the audio calls the program spine makes, until the audio engine is built.
#pragma once

#include <cstdint>

int Snd_EnumInputDevices();
int Snd_EnumMidiInDevices();
int Snd_EnumMixerDevices();
