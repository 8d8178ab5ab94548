#include "platform/mixer_device.h"

#include "platform/backend.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Line
{
    std::string name;
    PLATMIXERCONTROL control{};
    bool capture = false;           // which direction of the element
    snd_mixer_elem_t *elem = nullptr; // real backend
    int64_t values[2] = {0, 0};     // headless backend
};

struct Destination
{
    std::string name;
    std::vector<Line> lines;
};

struct Device
{
    std::string name;
    std::string alsaName;
};

std::mutex s_mutex;
std::vector<Device> s_devices;
std::vector<Destination> s_dest;
std::string s_error;
bool s_open = false;
snd_mixer_t *s_mixer = nullptr;
std::atomic<bool> s_failOpen{false};

Line MakeLine(const char *name, PLATMIXERKIND kind, int channels, int64_t lo, int64_t hi, const char *control)
{
    Line l;
    l.name = name;
    l.control.kind = kind;
    l.control.channels = channels;
    l.control.minimum = lo;
    l.control.maximum = hi;
    std::snprintf(l.control.name, sizeof l.control.name, "%s", control);
    l.values[0] = l.values[1] = lo;
    return l;
}

void HeadlessLines()
{
    Destination play{"Playback", {}};
    play.lines.push_back(MakeLine("Master", PLAT_MIXER_FADER, 2, 0, 65535, "Master Volume"));
    play.lines.push_back(MakeLine("Microphone", PLAT_MIXER_FADER, 1, 0, 65535, "Microphone Volume"));
    play.lines.push_back(MakeLine("Mute", PLAT_MIXER_SWITCH, 1, 0, 1, "Mute"));
    play.lines.push_back(MakeLine("Empty", PLAT_MIXER_NONE, 0, 0, 0, ""));
    Destination rec{"Recording", {}};
    rec.lines.push_back(MakeLine("Capture", PLAT_MIXER_FADER, 2, -10, 21, "Capture Volume"));
    rec.lines.push_back(MakeLine("Input Source", PLAT_MIXER_CUSTOM, 1, 0, 0, "Input Source"));
    s_dest.push_back(std::move(play));
    s_dest.push_back(std::move(rec));
}

// One line per simple element, in each direction it has.
void AlsaLines()
{
    Destination play{"Playback", {}};
    Destination rec{"Recording", {}};
    for (snd_mixer_elem_t *e = snd_mixer_first_elem(s_mixer); e; e = snd_mixer_elem_next(e)) {
        if (!snd_mixer_selem_is_active(e))
            continue;
        const char *name = snd_mixer_selem_get_name(e);
        for (int dir = 0; dir < 2; ++dir) {
            bool cap = dir == 1;
            bool vol = cap ? snd_mixer_selem_has_capture_volume(e) : snd_mixer_selem_has_playback_volume(e);
            bool sw = cap ? snd_mixer_selem_has_capture_switch(e) : snd_mixer_selem_has_playback_switch(e);
            Line l;
            if (vol) {
                long lo = 0, hi = 0;
                if (cap)
                    snd_mixer_selem_get_capture_volume_range(e, &lo, &hi);
                else
                    snd_mixer_selem_get_playback_volume_range(e, &lo, &hi);
                bool mono = cap ? snd_mixer_selem_is_capture_mono(e) : snd_mixer_selem_is_playback_mono(e);
                l = MakeLine(name, PLAT_MIXER_FADER, mono ? 1 : 2, lo, hi, (std::string(name) + " Volume").c_str());
            } else if (sw) {
                l = MakeLine(name, PLAT_MIXER_SWITCH, 1, 0, 1, (std::string(name) + " Switch").c_str());
            } else if (snd_mixer_selem_is_enumerated(e) &&
                       (cap ? snd_mixer_selem_is_enum_capture(e) : snd_mixer_selem_is_enum_playback(e))) {
                l = MakeLine(name, PLAT_MIXER_CUSTOM, 1, 0, 0, name);
            } else {
                continue;
            }
            l.capture = cap;
            l.elem = e;
            (cap ? rec : play).lines.push_back(std::move(l));
        }
    }
    s_dest.push_back(std::move(play));
    s_dest.push_back(std::move(rec));
}

Line *Find(int d, int s)
{
    if (!s_open || d < 0 || d >= static_cast<int>(s_dest.size()))
        return nullptr;
    auto &lines = s_dest[static_cast<size_t>(d)].lines;
    if (s < 0 || s >= static_cast<int>(lines.size()))
        return nullptr;
    return &lines[static_cast<size_t>(s)];
}

const snd_mixer_selem_channel_id_t kChannels[2] = {SND_MIXER_SCHN_FRONT_LEFT, SND_MIXER_SCHN_FRONT_RIGHT};

void CloseLocked()
{
    s_dest.clear();
    if (s_mixer) {
        snd_mixer_close(s_mixer);
        s_mixer = nullptr;
    }
    s_open = false;
}

// ALSA prints every failed lookup of its configuration (a machine without a card has many); our
// callers get the failures as results and report them once.
void QuietAlsa(const char *, int, const char *, int, const char *, ...) {}

} // namespace

int Plat_MixerEnumerate()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_devices.clear();
    static const bool s_quiet = snd_lib_error_set_handler(QuietAlsa) == 0;
    (void)s_quiet;
    if (Plat_IsHeadless()) {
        s_devices.push_back({"Headless mixer", ""});
        return 1;
    }
    int card = -1;
    bool any = false;
    std::vector<Device> cards;
    while (snd_card_next(&card) == 0 && card >= 0) {
        char *name = nullptr;
        std::string label = "Card " + std::to_string(card);
        if (snd_card_get_name(card, &name) == 0 && name) {
            label = name;
            free(name);
        }
        cards.push_back({label, "hw:" + std::to_string(card)});
        any = true;
    }
    // Without a card the "default" device may still be a sound server; it is listed when it opens.
    snd_mixer_t *probe = nullptr;
    if (snd_mixer_open(&probe, 0) == 0) {
        if (snd_mixer_attach(probe, "default") == 0 || any)
            s_devices.push_back({"Default mixer", "default"});
        snd_mixer_close(probe);
    }
    s_devices.insert(s_devices.end(), cards.begin(), cards.end());
    return static_cast<int>(s_devices.size());
}

const char *Plat_MixerDeviceName(int index)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (index < 0 || index >= static_cast<int>(s_devices.size()))
        return nullptr;
    return s_devices[static_cast<size_t>(index)].name.c_str();
}

int Plat_MixerOpen(int index)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    CloseLocked();
    if (index < 0 || index >= static_cast<int>(s_devices.size())) {
        s_error = "no mixer device " + std::to_string(index);
        return -1;
    }
    if (Plat_IsHeadless()) {
        if (s_failOpen.load()) {
            s_error = "mixer device gone";
            return -1;
        }
        HeadlessLines();
        s_open = true;
        return 0;
    }
    const std::string &alsa = s_devices[static_cast<size_t>(index)].alsaName;
    int err = snd_mixer_open(&s_mixer, 0);
    if (err == 0)
        err = snd_mixer_attach(s_mixer, alsa.c_str());
    if (err == 0)
        err = snd_mixer_selem_register(s_mixer, nullptr, nullptr);
    if (err == 0)
        err = snd_mixer_load(s_mixer);
    if (err < 0) {
        s_error = std::string("mixer ") + alsa + ": " + snd_strerror(err);
        CloseLocked();
        return -1;
    }
    s_open = true;
    AlsaLines();
    return 0;
}

void Plat_MixerClose()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    CloseLocked();
}

bool Plat_MixerIsOpen()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_open;
}

int Plat_MixerDestinationCount()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_open ? static_cast<int>(s_dest.size()) : 0;
}

const char *Plat_MixerDestinationName(int destination)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (!s_open || destination < 0 || destination >= static_cast<int>(s_dest.size()))
        return nullptr;
    return s_dest[static_cast<size_t>(destination)].name.c_str();
}

int Plat_MixerSourceCount(int destination)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (!s_open || destination < 0 || destination >= static_cast<int>(s_dest.size()))
        return 0;
    return static_cast<int>(s_dest[static_cast<size_t>(destination)].lines.size());
}

const char *Plat_MixerSourceName(int destination, int source)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    Line *l = Find(destination, source);
    return l ? l->name.c_str() : nullptr;
}

int Plat_MixerSourceControl(int destination, int source, PLATMIXERCONTROL *control)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    Line *l = Find(destination, source);
    if (!l || !control)
        return -1;
    *control = l->control;
    return 0;
}

int Plat_MixerGet(int destination, int source, int64_t *values, int count)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    Line *l = Find(destination, source);
    if (!l || !values || count < 1 || count > 2)
        return -1;
    if (l->control.kind != PLAT_MIXER_FADER && l->control.kind != PLAT_MIXER_SWITCH)
        return -1;
    for (int c = 0; c < count; ++c) {
        int ch = std::min(c, l->control.channels - 1);
        if (!l->elem) {
            values[c] = l->values[ch];
            continue;
        }
        snd_mixer_selem_channel_id_t id = l->control.channels == 1 ? SND_MIXER_SCHN_MONO : kChannels[ch];
        int err;
        if (l->control.kind == PLAT_MIXER_FADER) {
            long v = 0;
            err = l->capture ? snd_mixer_selem_get_capture_volume(l->elem, id, &v)
                             : snd_mixer_selem_get_playback_volume(l->elem, id, &v);
            values[c] = v;
        } else {
            int v = 0;
            err = l->capture ? snd_mixer_selem_get_capture_switch(l->elem, id, &v)
                             : snd_mixer_selem_get_playback_switch(l->elem, id, &v);
            values[c] = v;
        }
        if (err < 0) {
            s_error = snd_strerror(err);
            return -1;
        }
    }
    return 0;
}

int Plat_MixerSet(int destination, int source, const int64_t *values, int count)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    Line *l = Find(destination, source);
    if (!l || !values || count < 1 || count > l->control.channels)
        return -1;
    if (l->control.kind != PLAT_MIXER_FADER && l->control.kind != PLAT_MIXER_SWITCH)
        return -1;
    for (int c = 0; c < count; ++c) {
        int64_t v = std::clamp(values[c], l->control.minimum, l->control.maximum);
        if (!l->elem) {
            l->values[c] = v;
            continue;
        }
        snd_mixer_selem_channel_id_t id = l->control.channels == 1 ? SND_MIXER_SCHN_MONO : kChannels[c];
        int err;
        if (l->control.kind == PLAT_MIXER_FADER)
            err = l->capture ? snd_mixer_selem_set_capture_volume(l->elem, id, static_cast<long>(v))
                             : snd_mixer_selem_set_playback_volume(l->elem, id, static_cast<long>(v));
        else
            err = l->capture ? snd_mixer_selem_set_capture_switch(l->elem, id, static_cast<int>(v))
                             : snd_mixer_selem_set_playback_switch(l->elem, id, static_cast<int>(v));
        if (err < 0) {
            s_error = snd_strerror(err);
            return -1;
        }
    }
    return 0;
}

const char *Plat_MixerError()
{
    thread_local std::string copy;
    std::lock_guard<std::mutex> lock(s_mutex);
    copy = s_error;
    return copy.c_str();
}

void Plat_MixerHeadlessFailOpen(bool fail)
{
    s_failOpen = fail;
}
