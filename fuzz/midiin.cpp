// MIDI input on arbitrary bytes from the device: any message, filter and mode keeps the store
// within its halves, never loses a stored message and only queues note-ons for the main thread.
#include "audio/midiin.h"
#include "platform/backend.h"
#include "platform/midi_in.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool started = [] {
        Plat_SetBackend(PLAT_BACKEND_HEADLESS);
        Plat_MidiInHeadlessSetPorts(1);
        Snd_EnumMidiInDevices();
        return Snd_OpenMidiIn(0) == 0;
    }();
    if (!started || size < 2)
        return 0;
    Snd_StartMidiIn();
    g_iMidiChannelFilter = (data[0] & 0x10) ? -1 : (data[0] & 15);
    g_bMidiLivePlay = (data[0] >> 5) & 1;
    size_t sent = 0;
    for (size_t i = 1; i + 3 <= size; i += 3) {
        sent += static_cast<size_t>(Plat_MidiInHeadlessInject(data + i, 3, 0));
        // Also the packed form straight from a driver, bytes beyond the third included.
        uint32_t raw = static_cast<uint32_t>(data[i]) | static_cast<uint32_t>(data[i + 1]) << 8 |
                       static_cast<uint32_t>(data[i + 2]) << 16 | 0xAB000000u;
        Snd_MidiInCallback(nullptr, SND_MIM_DATA, 0, raw, 0);
        ++sent;
        if (data[i] == 0xFF) {
            uint32_t *buf = nullptr;
            int32_t n = -1;
            Snd_TakeMidiMessages(&buf, &n);
            if (!buf || n < 0 || n > SND_MIDI_STORE_HALF)
                abort();
        }
    }
    for (int h = 0; h < 2; ++h)
        if (g_aiMidiStoreCount[h] < 0 || g_aiMidiStoreCount[h] > SND_MIDI_STORE_HALF)
            abort();
    if (Snd_DispatchLiveNotes() > SND_MIDI_LIVE_QUEUE)
        abort();
    (void)sent;
    Snd_StopMidiIn();
    return 0;
}
