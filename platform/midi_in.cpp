#include "platform/midi_in.h"

#include "platform/backend.h"
#include "platform/clock.h"

#include <RtMidi.h>
#include <alsa/asoundlib.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

// s_mutex guards the port list and the open state; s_callMutex is held while a message is
// delivered, so closing waits for a delivery in flight.
std::mutex s_mutex;
std::mutex s_callMutex;
std::vector<std::string> s_ports;
std::string s_error;
bool s_open = false;
std::atomic<bool> s_started{false};
PLATMIDIINPROC s_proc = nullptr;
void *s_context = nullptr;
int s_headlessPorts = 0;
std::unique_ptr<RtMidiIn> s_rt;

uint32_t Pack(const uint8_t *bytes, int count)
{
    uint32_t m = 0;
    for (int i = 0; i < count && i < 3; ++i)
        m |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    return m;
}

void Deliver(const uint8_t *bytes, int count, uint32_t timeMs)
{
    if (count <= 0 || bytes[0] < 0x80 || bytes[0] >= 0xF0)
        return;
    std::lock_guard<std::mutex> lock(s_callMutex);
    if (!s_started.load() || !s_proc)
        return;
    s_proc(Pack(bytes, count), timeMs, s_context);
}

void RtCallback(double, std::vector<unsigned char> *message, void *)
{
    if (!message || message->empty())
        return;
    Deliver(message->data(), static_cast<int>(std::min<size_t>(message->size(), 3)), Plat_Milliseconds());
}

void QuietAlsa(const char *, int, const char *, int, const char *, ...)
{
}

// Whether the machine has a MIDI sequencer at all, asked without the library's complaints on
// stderr: no MIDI device is no error.
bool SequencerPresent()
{
    snd_lib_error_set_handler(QuietAlsa);
    snd_seq_t *seq = nullptr;
    const int rc = snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK);
    if (rc == 0)
        snd_seq_close(seq);
    snd_lib_error_set_handler(nullptr);
    return rc == 0;
}

} // namespace

int Plat_MidiInEnumerate()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_ports.clear();
    if (Plat_IsHeadless()) {
        for (int i = 0; i < s_headlessPorts; ++i)
            s_ports.push_back("Scripted port " + std::to_string(i + 1));
        return static_cast<int>(s_ports.size());
    }
    if (!SequencerPresent()) {
        s_error = "no MIDI sequencer device";
        return 0;
    }
    // Without a sequencer device the constructor throws; that is a machine with no ports.
    try {
        RtMidiIn probe(RtMidi::LINUX_ALSA, "tnvpc list");
        unsigned n = probe.getPortCount();
        for (unsigned i = 0; i < n; ++i)
            s_ports.push_back(probe.getPortName(i));
    } catch (const RtMidiError &e) {
        s_error = e.getMessage();
        s_ports.clear();
    }
    return static_cast<int>(s_ports.size());
}

int Plat_MidiInPortCount()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return static_cast<int>(s_ports.size());
}

const char *Plat_MidiInPortName(int index)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (index < 0 || index >= static_cast<int>(s_ports.size()))
        return nullptr;
    return s_ports[static_cast<size_t>(index)].c_str();
}

int Plat_MidiInOpen(int index, PLATMIDIINPROC proc, void *context)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (s_open) {
        s_error = "MIDI input already open";
        return -1;
    }
    if (index < 0 || index >= static_cast<int>(s_ports.size())) {
        s_error = "no MIDI input port " + std::to_string(index);
        return -1;
    }
    {
        std::lock_guard<std::mutex> call(s_callMutex);
        s_proc = proc;
        s_context = context;
        s_started = false;
    }
    if (!Plat_IsHeadless()) {
        try {
            auto rt = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, "tnvpc");
            // Port order can change while the program runs; open the port of the listed name.
            unsigned n = rt->getPortCount();
            unsigned port = static_cast<unsigned>(index);
            for (unsigned i = 0; i < n; ++i)
                if (rt->getPortName(i) == s_ports[static_cast<size_t>(index)]) {
                    port = i;
                    break;
                }
            if (port >= n)
                throw RtMidiError("MIDI input port gone", RtMidiError::INVALID_DEVICE);
            rt->ignoreTypes(true, true, true);
            rt->setCallback(RtCallback, nullptr);
            rt->openPort(port, "tnvpc input");
            s_rt = std::move(rt);
        } catch (const RtMidiError &e) {
            s_error = e.getMessage();
            return -1;
        }
    }
    s_open = true;
    s_error.clear();
    return 0;
}

bool Plat_MidiInIsOpen()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_open;
}

int Plat_MidiInStart()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (!s_open)
        return -1;
    s_started = true;
    return 0;
}

int Plat_MidiInStop()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (!s_open)
        return -1;
    std::lock_guard<std::mutex> call(s_callMutex);
    s_started = false;
    return 0;
}

void Plat_MidiInClose()
{
    std::unique_ptr<RtMidiIn> rt;
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        if (!s_open)
            return;
        s_open = false;
        {
            std::lock_guard<std::mutex> call(s_callMutex);
            s_started = false;
            s_proc = nullptr;
            s_context = nullptr;
        }
        rt = std::move(s_rt);
    }
    // Closing the port ends RtMidi's thread; our callback already delivers nothing.
    if (rt) {
        try {
            rt->closePort();
        } catch (const RtMidiError &) {
        }
    }
}

const char *Plat_MidiInError()
{
    thread_local std::string copy;
    std::lock_guard<std::mutex> lock(s_mutex);
    copy = s_error;
    return copy.c_str();
}

void Plat_MidiInHeadlessSetPorts(int count)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_headlessPorts = count < 0 ? 0 : count;
}

int Plat_MidiInHeadlessInject(const uint8_t *bytes, int count, uint32_t timeMs)
{
    if (!bytes || count <= 0 || count > 3 || bytes[0] < 0x80 || bytes[0] >= 0xF0)
        return 0;
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        if (!s_open || !s_started.load())
            return 0;
    }
    Deliver(bytes, count, timeMs);
    return 1;
}
