#include "audio/midiin.h"

#include "app/settings.h"
#include "platform/midi_in.h"
#include "ui/liveentry.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

int g_iMidiInDeviceCount = 0;
std::atomic<int32_t> g_bMidiInOpen{0};
std::atomic<int32_t> g_bMidiInActive{0};
std::recursive_mutex g_csMidiIn;
uint8_t g_abMidiNoteVelocity[256];
uint8_t g_abMidiController[256];
std::atomic<int32_t> g_iMidiChannelFilter{-1};
std::atomic<int32_t> g_bMidiLivePlay{0};
uint32_t g_auMidiStore[2][SND_MIDI_STORE_HALF];
int32_t g_aiMidiStoreCount[2];
int32_t g_iMidiStoreHalf = 0;
int32_t g_iMidiStoreWritePos = 0;

namespace {

// Device capability records as listed (the product name is all that is read from them).
std::vector<std::array<uint8_t, SND_MIDI_CAPS_BYTES>> s_caps;
std::vector<std::array<char, SND_MIDI_NAME_BYTES>> s_names;

// Live-play notes waiting for the main thread; guarded by g_csMidiIn.
struct LiveNote
{
    uint8_t note;
    uint8_t velocity;
};
LiveNote s_liveQueue[SND_MIDI_LIVE_QUEUE];
int s_liveCount = 0;

void PlatformCallback(uint32_t message, uint32_t timeMs, void *)
{
    Snd_MidiInCallback(nullptr, SND_MIM_DATA, 0, message, timeMs);
}

} // namespace

int Snd_EnumMidiInDevices()
{
    int n = Plat_MidiInEnumerate();
    s_caps.assign(static_cast<size_t>(n), {});
    s_names.assign(static_cast<size_t>(n), {});
    g_iMidiInDeviceCount = n;
    if (n <= 0)
        return -1;
    for (int i = 0; i < n; ++i) {
        const char *name = Plat_MidiInPortName(i);
        if (!name) {
            g_iMidiInDeviceCount = i;
            return -1;
        }
        // The record's product name holds 32 characters; the name slot keeps the whole name.
        std::snprintf(reinterpret_cast<char *>(s_caps[static_cast<size_t>(i)].data() + 8), 32, "%s", name);
        std::snprintf(s_names[static_cast<size_t>(i)].data(), SND_MIDI_NAME_BYTES, "%s", name);
    }
    return 0;
}

int Snd_GetMidiInDeviceCount()
{
    return g_iMidiInDeviceCount;
}

int Snd_GetMidiInDeviceName(char *destination, int index)
{
    if (!destination)
        return -1;
    if (index < 0 || index >= g_iMidiInDeviceCount || static_cast<size_t>(index) >= s_names.size()) {
        destination[0] = 0;
        return -1;
    }
    std::memcpy(destination, s_names[static_cast<size_t>(index)].data(), SND_MIDI_NAME_BYTES);
    return 0;
}

int Snd_OpenMidiIn(int device)
{
    if (g_bMidiInOpen.load())
        return 0;
    // No MIDI keyboard is an ordinary set-up, not an error worth a console line.
    if (device < 0 || device >= Plat_MidiInPortCount())
        return -1;
    if (Plat_MidiInOpen(device, PlatformCallback, nullptr) != 0) {
        std::fprintf(stderr, "MIDI input: %s\n", Plat_MidiInError());
        return -1;
    }
    g_bMidiInOpen = 1;
    return 0;
}

int Snd_CloseMidiIn()
{
    if (!g_bMidiInOpen.load())
        return 0;
    g_bMidiInOpen = 0;
    // Not under g_csMidiIn: the close waits for a callback in flight, which takes it.
    Plat_MidiInClose();
    return 0;
}

int Snd_StartMidiIn()
{
    if (!g_bMidiInOpen.load())
        return 1;
    {
        std::lock_guard<std::recursive_mutex> lock(g_csMidiIn);
        g_iMidiStoreHalf = 0;
        g_iMidiStoreWritePos = 0;
        g_aiMidiStoreCount[0] = g_aiMidiStoreCount[1] = 0;
    }
    return Plat_MidiInStart() == 0 ? 0 : -1;
}

int Snd_StopMidiIn()
{
    if (!g_bMidiInOpen.load())
        return 1;
    return Plat_MidiInStop() == 0 ? 0 : -1;
}

void Snd_MidiInBegin()
{
    g_bMidiInActive = 1;
    if (Snd_OpenMidiIn(g_iMidiInDevice) == 0)
        Snd_StartMidiIn();
}

int Snd_MidiInEnd()
{
    Snd_StopMidiIn();
    int result = Snd_CloseMidiIn();
    g_bMidiInActive = 0;
    return result;
}

void Snd_MidiInCallback(void *, uint32_t message, uintptr_t, uintptr_t param1, uintptr_t param2)
{
    if (message != SND_MIM_DATA)
        return;
    Snd_HandleMidiMessage(static_cast<uint32_t>(param1), static_cast<uint32_t>(param2));
}

void Snd_HandleMidiMessage(uint32_t message, uint32_t)
{
    std::lock_guard<std::recursive_mutex> lock(g_csMidiIn);
    int half = g_iMidiStoreHalf & 1;
    // A full half keeps what it has; nothing is written past it.
    if (g_aiMidiStoreCount[half] < SND_MIDI_STORE_HALF) {
        g_auMidiStore[half][g_aiMidiStoreCount[half]] = message;
        ++g_aiMidiStoreCount[half];
    }
    const int status = static_cast<int>(message & 0xFF);
    const int data1 = static_cast<int>((message >> 8) & 0xFF);
    const int data2 = static_cast<int>((message >> 16) & 0xFF);
    const int filter = g_iMidiChannelFilter.load();
    if (filter == -1 || (status & 0x0F) == filter) {
        const int kind = status >> 4;
        if (!g_bMidiLivePlay.load()) {
            if (kind == 9)
                g_abMidiNoteVelocity[data1] = static_cast<uint8_t>(data2);
            else if (kind == 8)
                // A real note-off ends the note just as a note-on of velocity 0 does.
                g_abMidiNoteVelocity[data1] = 0;
            else if (kind == 11)
                g_abMidiController[data1] = static_cast<uint8_t>(data2);
        } else if (kind == 9 && data2 > 0 && s_liveCount < SND_MIDI_LIVE_QUEUE) {
            s_liveQueue[s_liveCount++] = {static_cast<uint8_t>(data1), static_cast<uint8_t>(data2)};
        }
    }
    g_iMidiStoreWritePos = g_aiMidiStoreCount[half];
}

int Snd_GetMidiNoteTable(uint8_t **table)
{
    if (!g_bMidiInOpen.load())
        return 1;
    if (table)
        *table = g_abMidiNoteVelocity;
    return 0;
}

int Snd_GetMidiController(uint8_t *value, int controller)
{
    if (!g_bMidiInOpen.load())
        return 1;
    if (value && controller >= 0 && controller < 256)
        *value = g_abMidiController[controller];
    return 0;
}

void Snd_TakeMidiMessages(uint32_t **buffer, int32_t *count)
{
    if (!g_bMidiInOpen.load())
        return;
    std::lock_guard<std::recursive_mutex> lock(g_csMidiIn);
    int half = g_iMidiStoreHalf & 1;
    if (buffer)
        *buffer = g_auMidiStore[half];
    if (count)
        *count = g_aiMidiStoreCount[half];
    g_iMidiStoreHalf = half ^ 1;
    g_aiMidiStoreCount[half ^ 1] = 0;
    g_iMidiStoreWritePos = 0;
}

void (*g_pfnSndLiveNote)(int32_t note, int32_t velocity) = Ui_LiveEntryMidiNote;

int Snd_DispatchLiveNotes()
{
    LiveNote notes[SND_MIDI_LIVE_QUEUE];
    int n;
    {
        std::lock_guard<std::recursive_mutex> lock(g_csMidiIn);
        n = s_liveCount;
        std::memcpy(notes, s_liveQueue, sizeof(LiveNote) * static_cast<size_t>(n));
        s_liveCount = 0;
    }
    // Outside the lock: the note entry edits the song and may take g_csMix.
    for (int i = 0; i < n; ++i)
        if (g_pfnSndLiveNote)
            g_pfnSndLiveNote(notes[i].note, notes[i].velocity);
    return n;
}
