#include "audio/standin_audio.h"

#include "app/calllog.h"

// Stand-in; fails when a test asks.
int Snd_EnumInputDevices()
{
    Sys_CallLog("Snd_EnumInputDevices");
    return Sys_CallLogShouldFail("Snd_EnumInputDevices") ? -1 : 0;
}

// Stand-in.
int Snd_EnumMidiInDevices()
{
    Sys_CallLog("Snd_EnumMidiInDevices");
    return 0;
}

// Stand-in.
int Snd_EnumMixerDevices()
{
    Sys_CallLog("Snd_EnumMixerDevices");
    return 0;
}
