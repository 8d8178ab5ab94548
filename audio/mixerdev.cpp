#include "audio/mixerdev.h"

#include "platform/mixer_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

int g_iMixerDeviceCount = 0;
int32_t g_iMixerLastResult = 0;

namespace {

bool s_open = false;

// A line's first control; false when the mixer is closed or the line does not exist.
bool Control(int destination, int source, PLATMIXERCONTROL *control)
{
    return s_open && Plat_MixerSourceControl(destination, source, control) == 0;
}

int Fail()
{
    g_iMixerLastResult = -1;
    return -1;
}

} // namespace

int Snd_MixerRawToLevel(int64_t raw, int64_t minimum, int64_t maximum)
{
    if (maximum <= minimum)
        return 0;
    raw = std::clamp(raw, minimum, maximum);
    return static_cast<int>((raw - minimum) * 255 / (maximum - minimum));
}

int64_t Snd_MixerLevelToRaw(int level, int64_t minimum, int64_t maximum)
{
    if (maximum <= minimum)
        return minimum;
    level = std::clamp(level, 0, 255);
    return minimum + static_cast<int64_t>(level) * (maximum - minimum) / 255;
}

int Snd_EnumMixerDevices()
{
    g_iMixerDeviceCount = 0;
    int n = Plat_MixerEnumerate();
    for (int i = 0; i < n; ++i) {
        if (!Plat_MixerDeviceName(i))
            return Fail();
        ++g_iMixerDeviceCount;
    }
    g_iMixerLastResult = 0;
    return 0;
}

int Snd_OpenMixer(int device)
{
    Snd_CloseMixer();
    if (device < 0 || device >= g_iMixerDeviceCount || Plat_MixerOpen(device) != 0) {
        std::fprintf(stderr, "mixer: %s\n", Plat_MixerError());
        return Fail();
    }
    s_open = true;
    g_iMixerLastResult = 0;
    Snd_ReadAllMixerControls();
    return 0;
}

int Snd_CloseMixer()
{
    if (s_open)
        Plat_MixerClose();
    s_open = false;
    return 0;
}

int Snd_ReadAllMixerControls()
{
    int result = 0;
    for (int d = 0; d < Snd_GetMixerLineCount(); ++d)
        for (int s = 0; s < Snd_GetMixerControlCount(d); ++s) {
            int l, r;
            if (Snd_GetMixerControlValue(d, s, &l, &r) != 0)
                result = -1;
        }
    return result;
}

int Snd_GetMixerControlValue(int destination, int source, int *left, int *right)
{
    PLATMIXERCONTROL c;
    if (!Control(destination, source, &c))
        return Fail();
    if (c.kind == PLAT_MIXER_SWITCH) {
        int64_t v;
        return Plat_MixerGet(destination, source, &v, 1) == 0 ? 0 : Fail();
    }
    if (c.kind != PLAT_MIXER_FADER)
        return 0;
    int64_t v[2] = {0, 0};
    int channels = c.channels == 1 || c.channels == 2 ? c.channels : 0;
    if (channels > 0 && Plat_MixerGet(destination, source, v, channels) != 0)
        return Fail();
    int l = 0, r = 0;
    if (channels == 2) {
        l = Snd_MixerRawToLevel(v[0], c.minimum, c.maximum);
        r = Snd_MixerRawToLevel(v[1], c.minimum, c.maximum);
    } else if (channels == 1) {
        l = Snd_MixerRawToLevel(v[0], c.minimum, c.maximum);
    }
    if (left)
        *left = l;
    if (right)
        *right = r;
    return 0;
}

int Snd_SetMixerControlValue(int destination, int source, int left, int right)
{
    PLATMIXERCONTROL c;
    if (!Control(destination, source, &c))
        return Fail();
    if (c.kind != PLAT_MIXER_FADER || (c.channels != 1 && c.channels != 2))
        return 0;
    int64_t v[2] = {Snd_MixerLevelToRaw(left, c.minimum, c.maximum),
                    Snd_MixerLevelToRaw(right, c.minimum, c.maximum)};
    return Plat_MixerSet(destination, source, v, c.channels) == 0 ? 0 : Fail();
}

int Snd_GetMixerLineCount()
{
    return s_open ? Plat_MixerDestinationCount() : 0;
}

int Snd_GetMixerControlCount(int destination)
{
    return s_open ? Plat_MixerSourceCount(destination) : 0;
}

int Snd_GetMixerLineName(int destination, char *out)
{
    if (!out)
        return -1;
    const char *name = s_open ? Plat_MixerDestinationName(destination) : nullptr;
    std::snprintf(out, SND_MIXER_NAME_BYTES, "%s", name ? name : "");
    return name ? 0 : -1;
}

int Snd_GetMixerControlName(int destination, int source, char *out)
{
    if (!out)
        return -1;
    PLATMIXERCONTROL c;
    bool ok = Control(destination, source, &c) && c.kind != PLAT_MIXER_NONE;
    std::snprintf(out, SND_MIXER_NAME_BYTES, "%s", ok ? c.name : "");
    return ok ? 0 : -1;
}
