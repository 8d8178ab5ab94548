#include "platform/audio_in.h"

#include "platform/backend.h"
#include "platform/clock.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Device
{
    std::string description;
    std::string module;
    std::string sdlName; // empty: the system default
    int rates = 0;
};

constexpr int kAllRates = PLAT_AUDIO_IN_11025 | PLAT_AUDIO_IN_22050 | PLAT_AUDIO_IN_44100;

// Lock order: s_control, then SDL's device lock, then s_mutex. SDL's capture thread holds its
// device lock while it pushes (and takes s_mutex then), so SDL is never called with s_mutex held
// for a device that may be running; s_control keeps open, start, stop and close one at a time.
std::recursive_mutex s_control;
std::mutex s_mutex;
std::vector<Device> s_devices;
std::string s_error;
bool s_open = false;
bool s_started = false;
bool s_headless = false;
std::vector<uint8_t> s_ring;
int s_writePos = 0;
int s_rate = 0;
PLATAUDIOINNOTIFY s_notify = nullptr;
void *s_context = nullptr;

// Headless source.
std::atomic<bool> s_failOpen{false};
std::atomic<PLATAUDIOINGENERATOR> s_generator{nullptr};
uint64_t s_startUs = 0;
uint64_t s_generated = 0; // samples produced since start
std::thread s_source;
std::atomic<bool> s_sourceQuit{false};
std::atomic<bool> s_sourceDone{false};

// SDL device.
SDL_AudioDeviceID s_sdlDevice = 0;

// Writes bytes into the ring and collects the notification points passed.
void PutLocked(const uint8_t *data, int bytes, std::vector<int> &kinds)
{
    const int size = static_cast<int>(s_ring.size());
    const int half = size / 2;
    while (bytes > 0) {
        int n = std::min(bytes, size - s_writePos);
        std::copy(data, data + n, s_ring.begin() + s_writePos);
        int before = s_writePos;
        s_writePos += n;
        if (before < half && s_writePos >= half)
            kinds.push_back(PLAT_AUDIO_IN_AT_MIDDLE);
        if (s_writePos == size) {
            s_writePos = 0;
            kinds.push_back(PLAT_AUDIO_IN_AT_START);
        }
        data += n;
        bytes -= n;
    }
}

void Notify(const std::vector<int> &kinds, PLATAUDIOINNOTIFY fn, void *context)
{
    if (!fn)
        return;
    for (int k : kinds)
        fn(k, context);
}

// Produces every sample the clock says is due since the start.
void GenerateLocked(std::vector<int> &kinds)
{
    if (!s_headless || !s_started)
        return;
    uint64_t now = Plat_ClockNowUs();
    uint64_t due = now > s_startUs ? (now - s_startUs) * static_cast<uint64_t>(s_rate) / 1000000u : 0;
    uint8_t buf[512];
    while (s_generated < due) {
        int n = static_cast<int>(std::min<uint64_t>(due - s_generated, sizeof buf / 2));
        for (int i = 0; i < n; ++i) {
            const uint64_t at = s_generated + static_cast<uint64_t>(i);
            const PLATAUDIOINGENERATOR gen = s_generator.load();
            uint16_t v = static_cast<uint16_t>(gen ? gen(at, s_rate) : Plat_AudioInGeneratedSample(at));
            buf[i * 2] = static_cast<uint8_t>(v);
            buf[i * 2 + 1] = static_cast<uint8_t>(v >> 8);
        }
        PutLocked(buf, n * 2, kinds);
        s_generated += static_cast<uint64_t>(n);
    }
}

// The headless source's thread: sleeps on the platform clock until the next notification point
// is due, then produces up to now, so notifications come as the clock passes them.
void SourceThread()
{
    struct Done
    {
        ~Done() { s_sourceDone = true; }
    } done;
    for (;;) {
        uint64_t deadline;
        {
            std::lock_guard<std::mutex> lock(s_mutex);
            if (s_sourceQuit.load())
                return;
            const uint64_t halfSamples = s_ring.size() / 4;
            uint64_t next = (s_generated / halfSamples + 1) * halfSamples;
            // First microsecond at which next samples are due.
            deadline = s_startUs + (next * 1000000u + static_cast<uint64_t>(s_rate) - 1) / static_cast<uint64_t>(s_rate);
        }
        Plat_WaitUntilUs(deadline);
        std::vector<int> kinds;
        PLATAUDIOINNOTIFY fn;
        void *context;
        {
            std::lock_guard<std::mutex> lock(s_mutex);
            if (s_sourceQuit.load())
                return;
            GenerateLocked(kinds);
            fn = s_notify;
            context = s_context;
        }
        Notify(kinds, fn, context);
    }
}

void StopSource()
{
    if (!s_source.joinable())
        return;
    s_sourceQuit = true;
    // A wake that lands between the thread's look at the quit flag and its wait is lost, and the
    // manual clock may never reach the deadline: repeat it until the thread is out.
    while (!s_sourceDone.load()) {
        Plat_ClockWake();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    s_source.join();
}

void SDLCALL SdlPush(void *, Uint8 *stream, int len)
{
    std::vector<int> kinds;
    PLATAUDIOINNOTIFY fn;
    void *context;
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        if (!s_open || !s_started)
            return;
        PutLocked(stream, len & ~1, kinds);
        fn = s_notify;
        context = s_context;
    }
    Notify(kinds, fn, context);
}

} // namespace

int16_t Plat_AudioInGeneratedSample(uint64_t n)
{
    // A ramp with a slow sweep on top: every byte position differs, so a misplaced byte shows.
    return static_cast<int16_t>(static_cast<uint16_t>(n * 1021u + (n >> 7) * 3u));
}

void Plat_AudioInSetGenerator(PLATAUDIOINGENERATOR generator)
{
    s_generator = generator;
}

void Plat_AudioInHeadlessFailOpen(bool fail)
{
    s_failOpen = fail;
}

int Plat_AudioInEnumerate()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_devices.clear();
    if (Plat_IsHeadless()) {
        s_devices.push_back({"Default capture device", "headless", "", kAllRates});
        s_devices.push_back({"Line in", "headless", "line", PLAT_AUDIO_IN_22050});
        s_devices.push_back({"Digital out", "headless", "digital", 0});
        return static_cast<int>(s_devices.size());
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        s_error = std::string("audio init: ") + SDL_GetError();
        return 0;
    }
    const char *driver = SDL_GetCurrentAudioDriver();
    std::string module = driver ? driver : "none";
    s_devices.push_back({"Default capture device", module, "", kAllRates});
    int n = SDL_GetNumAudioDevices(1);
    for (int i = 0; i < n && static_cast<int>(s_devices.size()) < PLAT_AUDIO_IN_MAX_DEVICES; ++i) {
        const char *name = SDL_GetAudioDeviceName(i, 1);
        if (name && *name)
            s_devices.push_back({name, module, name, kAllRates});
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return static_cast<int>(s_devices.size());
}

int Plat_AudioInDeviceCount()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return static_cast<int>(s_devices.size());
}

const char *Plat_AudioInDeviceDescription(int index)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (index < 0 || index >= static_cast<int>(s_devices.size()))
        return nullptr;
    return s_devices[static_cast<size_t>(index)].description.c_str();
}

const char *Plat_AudioInDeviceModule(int index)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (index < 0 || index >= static_cast<int>(s_devices.size()))
        return nullptr;
    return s_devices[static_cast<size_t>(index)].module.c_str();
}

int Plat_AudioInDeviceRates(int index)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (index < 0 || index >= static_cast<int>(s_devices.size()))
        return 0;
    return s_devices[static_cast<size_t>(index)].rates;
}

int Plat_AudioInOpen(int index, int rate, int bufferBytes, PLATAUDIOINNOTIFY notify, void *context)
{
    std::lock_guard<std::recursive_mutex> control(s_control);
    std::unique_lock<std::mutex> lock(s_mutex);
    if (s_open) {
        s_error = "capture already open";
        return -1;
    }
    if (index < 0 || index >= static_cast<int>(s_devices.size())) {
        s_error = "no capture device " + std::to_string(index);
        return -1;
    }
    if (rate < 1000 || rate > 192000 || bufferBytes < 4 || bufferBytes % 2 != 0 || bufferBytes > (64 << 20)) {
        s_error = "capture format refused";
        return -1;
    }
    const Device dev = s_devices[static_cast<size_t>(index)];
    s_headless = Plat_IsHeadless();
    if (s_headless) {
        if (s_failOpen.load()) {
            s_error = "capture device gone";
            return -1;
        }
    } else {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            s_error = std::string("audio init: ") + SDL_GetError();
            return -1;
        }
        SDL_AudioSpec want{};
        want.freq = rate;
        want.format = AUDIO_S16LSB;
        want.channels = 1;
        want.samples = 512;
        want.callback = SdlPush;
        SDL_AudioSpec have{};
        lock.unlock();
        SDL_AudioDeviceID id = SDL_OpenAudioDevice(dev.sdlName.empty() ? nullptr : dev.sdlName.c_str(), 1, &want,
                                                   &have, 0);
        lock.lock();
        if (id == 0) {
            s_error = std::string("open capture device: ") + SDL_GetError();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return -1;
        }
        s_sdlDevice = id;
    }
    s_ring.assign(static_cast<size_t>(bufferBytes), 0);
    s_writePos = 0;
    s_rate = rate;
    s_notify = notify;
    s_context = context;
    s_started = false;
    s_open = true;
    s_error.clear();
    return 0;
}

bool Plat_AudioInIsOpen()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_open;
}

int Plat_AudioInStart()
{
    std::lock_guard<std::recursive_mutex> control(s_control);
    SDL_AudioDeviceID id = 0;
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        if (!s_open) {
            s_error = "no capture device open";
            return -1;
        }
        if (s_started)
            return 0;
        s_writePos = 0;
        s_started = true;
        if (s_headless) {
            s_startUs = Plat_ClockNowUs();
            s_generated = 0;
            s_sourceQuit = false;
            s_sourceDone = false;
            s_source = std::thread(SourceThread);
        } else {
            id = s_sdlDevice;
        }
    }
    if (id)
        SDL_PauseAudioDevice(id, 0);
    return 0;
}

int Plat_AudioInStop()
{
    std::lock_guard<std::recursive_mutex> control(s_control);
    PLATAUDIOINNOTIFY fn;
    void *context;
    SDL_AudioDeviceID id = 0;
    std::vector<int> kinds;
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        if (!s_open || !s_started) {
            s_error = "capture not running";
            return -1;
        }
        // What the clock has made due until now is captured before the stop.
        GenerateLocked(kinds);
        s_started = false;
        fn = s_notify;
        context = s_context;
        id = s_headless ? 0 : s_sdlDevice;
    }
    StopSource();
    if (id)
        SDL_PauseAudioDevice(id, 1);
    kinds.push_back(PLAT_AUDIO_IN_STOPPED);
    Notify(kinds, fn, context);
    return 0;
}

int Plat_AudioInPosition()
{
    std::vector<int> kinds;
    PLATAUDIOINNOTIFY fn;
    void *context;
    int pos;
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        if (!s_open)
            return -1;
        GenerateLocked(kinds);
        pos = s_writePos;
        fn = s_notify;
        context = s_context;
    }
    Notify(kinds, fn, context);
    return pos;
}

int Plat_AudioInLock(int offset, int bytes, const uint8_t **part1, int *bytes1, const uint8_t **part2,
                     int *bytes2)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    const int size = static_cast<int>(s_ring.size());
    if (!s_open || offset < 0 || offset >= size || bytes < 0 || bytes > size || !part1 || !bytes1 || !part2 ||
        !bytes2)
        return -1;
    int first = std::min(bytes, size - offset);
    *part1 = s_ring.data() + offset;
    *bytes1 = first;
    *part2 = bytes > first ? s_ring.data() : nullptr;
    *bytes2 = bytes - first;
    return 0;
}

int Plat_AudioInRead(int offset, int bytes, uint8_t *destination)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    const int size = static_cast<int>(s_ring.size());
    if (!s_open || offset < 0 || offset >= size || bytes < 0 || bytes > size || (!destination && bytes > 0))
        return -1;
    const int first = std::min(bytes, size - offset);
    std::copy(s_ring.begin() + offset, s_ring.begin() + offset + first, destination);
    std::copy(s_ring.begin(), s_ring.begin() + (bytes - first), destination + first);
    return 0;
}

void Plat_AudioInClose()
{
    std::lock_guard<std::recursive_mutex> control(s_control);
    if (Plat_AudioInIsOpen()) {
        std::unique_lock<std::mutex> lock(s_mutex);
        bool running = s_started;
        lock.unlock();
        if (running)
            Plat_AudioInStop();
    }
    SDL_AudioDeviceID id = 0;
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        if (!s_open)
            return;
        s_open = false;
        id = s_sdlDevice;
        s_sdlDevice = 0;
        s_notify = nullptr;
        s_context = nullptr;
    }
    if (id) {
        SDL_CloseAudioDevice(id);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    std::lock_guard<std::mutex> lock(s_mutex);
    s_ring.clear();
    s_ring.shrink_to_fit();
}

const char *Plat_AudioInError()
{
    thread_local std::string copy;
    std::lock_guard<std::mutex> lock(s_mutex);
    copy = s_error;
    return copy.c_str();
}
