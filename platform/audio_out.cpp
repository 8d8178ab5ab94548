#include "platform/audio_out.h"

#include "platform/backend.h"
#include "platform/clock.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Frames waiting to play. Guarded by s_mutex; the SDL callback pulls from it on SDL's thread.
struct Ring
{
    int16_t data[PLAT_AUDIO_MAX_QUEUE_FRAMES * PLAT_AUDIO_CHANNELS];
    int head = 0; // first queued frame
    int count = 0;

    void Clear() { head = count = 0; }

    void Push(const int16_t *src, int frames)
    {
        for (int i = 0; i < frames; ++i) {
            int at = (head + count + i) % PLAT_AUDIO_MAX_QUEUE_FRAMES;
            data[at * 2] = src[i * 2];
            data[at * 2 + 1] = src[i * 2 + 1];
        }
        count += frames;
    }

    // Fills frames frames of dst; whatever the queue lacks is silence.
    void Pull(int16_t *dst, int frames)
    {
        int n = std::min(frames, count);
        for (int i = 0; i < n; ++i) {
            int at = (head + i) % PLAT_AUDIO_MAX_QUEUE_FRAMES;
            dst[i * 2] = data[at * 2];
            dst[i * 2 + 1] = data[at * 2 + 1];
        }
        std::memset(dst + n * 2, 0, static_cast<size_t>(frames - n) * PLAT_AUDIO_FRAME_BYTES);
        head = (head + n) % PLAT_AUDIO_MAX_QUEUE_FRAMES;
        count -= n;
    }
};

// WAV recording of what the headless device played; the header is patched whenever the device
// stops or closes, so the file is whole between uses.
struct Dump
{
    FILE *file = nullptr;
    std::string path;
    uint32_t frames = 0;

    static void Put32(unsigned char *p, uint32_t v)
    {
        p[0] = static_cast<unsigned char>(v);
        p[1] = static_cast<unsigned char>(v >> 8);
        p[2] = static_cast<unsigned char>(v >> 16);
        p[3] = static_cast<unsigned char>(v >> 24);
    }

    void WriteHeader()
    {
        unsigned char h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                               16, 0, 0, 0, 1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 16, 0,
                               'd', 'a', 't', 'a', 0, 0, 0, 0};
        uint32_t dataBytes = frames * PLAT_AUDIO_FRAME_BYTES;
        Put32(h + 4, 36 + dataBytes);
        Put32(h + 24, PLAT_AUDIO_RATE);
        Put32(h + 28, PLAT_AUDIO_RATE * PLAT_AUDIO_FRAME_BYTES);
        Put32(h + 40, dataBytes);
        long end = std::ftell(file);
        std::fseek(file, 0, SEEK_SET);
        std::fwrite(h, 1, sizeof h, file);
        if (end > 44)
            std::fseek(file, end, SEEK_SET);
        std::fflush(file);
    }

    void Open(const char *name)
    {
        if (file && path == name)
            return;
        Close();
        file = std::fopen(name, "wb");
        if (!file) {
            std::fprintf(stderr, "audio dump: cannot write %s\n", name);
            return;
        }
        path = name;
        frames = 0;
        WriteHeader();
    }

    void Append(const int16_t *src, int n)
    {
        if (!file || n <= 0)
            return;
        // A 4 GB data chunk is the format's limit; stop recording there.
        if (frames > (0xFFFFFFFFu - 44u) / PLAT_AUDIO_FRAME_BYTES - static_cast<uint32_t>(n))
            return;
        unsigned char buf[512 * PLAT_AUDIO_FRAME_BYTES];
        while (n > 0) {
            int k = std::min(n, 512);
            for (int i = 0; i < k * 2; ++i) {
                uint16_t v = static_cast<uint16_t>(src[i]);
                buf[i * 2] = static_cast<unsigned char>(v);
                buf[i * 2 + 1] = static_cast<unsigned char>(v >> 8);
            }
            std::fwrite(buf, PLAT_AUDIO_FRAME_BYTES, static_cast<size_t>(k), file);
            frames += static_cast<uint32_t>(k);
            src += k * 2;
            n -= k;
        }
    }

    void Sync()
    {
        if (file)
            WriteHeader();
    }

    void Close()
    {
        if (!file)
            return;
        WriteHeader();
        std::fclose(file);
        file = nullptr;
        path.clear();
    }
};

struct Device
{
    std::string name;
    std::string sdlName; // empty: the system default
};

// Lock order: s_control, then SDL's device lock, then s_mutex. SDL's audio thread holds its
// device lock while it pulls (and takes s_mutex then), so nothing calls into SDL while holding
// s_mutex; s_control keeps the calls that do (enumerate, open, start, stop, close) one at a time.
std::mutex s_control;
std::mutex s_mutex;
Ring s_ring;
std::vector<Device> s_devices;
std::string s_error;
int s_queueFrames = -1;
bool s_open = false;
bool s_started = false;
uint64_t s_played = 0;

// Headless device.
bool s_headless = false;
uint64_t s_lastUs = 0;
uint64_t s_carry = 0; // frame fraction left over, in millionths of a frame
Dump s_dump;

// SDL device.
SDL_AudioDeviceID s_sdlDevice = 0;

int QueueFramesLocked()
{
    if (s_queueFrames < 0) {
        long env = Plat_GetEnvInt("TNV_AUDIO_QUEUE_FRAMES", PLAT_AUDIO_DEFAULT_QUEUE_FRAMES);
        s_queueFrames = static_cast<int>(std::clamp<long>(env, 72, PLAT_AUDIO_MAX_QUEUE_FRAMES));
    }
    return s_queueFrames;
}

// Plays what the clock says has been played since the last call.
void DrainLocked()
{
    if (!s_headless || !s_open)
        return;
    uint64_t now = Plat_ClockNowUs();
    uint64_t dt = now > s_lastUs ? now - s_lastUs : 0;
    s_lastUs = now;
    if (!s_started)
        return;
    uint64_t acc = s_carry + dt * PLAT_AUDIO_RATE;
    uint64_t frames = acc / 1000000u;
    s_carry = acc % 1000000u;
    int16_t buf[256 * PLAT_AUDIO_CHANNELS];
    while (frames > 0) {
        // A long jump of the clock over an empty queue is silence; only the dump needs its frames.
        if (s_ring.count == 0 && !s_dump.file) {
            s_played += frames;
            break;
        }
        int k = static_cast<int>(std::min<uint64_t>(frames, 256));
        s_ring.Pull(buf, k);
        s_dump.Append(buf, k);
        s_played += static_cast<uint64_t>(k);
        frames -= static_cast<uint64_t>(k);
    }
}

void SDLCALL SdlPull(void *, Uint8 *stream, int len)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    int frames = len / PLAT_AUDIO_FRAME_BYTES;
    s_ring.Pull(reinterpret_cast<int16_t *>(stream), frames);
    s_played += static_cast<uint64_t>(frames);
}

void SdlFail(const char *what)
{
    s_error = std::string(what) + ": " + SDL_GetError();
}

} // namespace

int Plat_AudioOutEnumerate()
{
    std::lock_guard<std::mutex> control(s_control);
    std::vector<Device> found;
    std::string error;
    if (Plat_IsHeadless()) {
        found.push_back({"Default device : headless", ""});
        found.push_back({"Virtual output : headless", "virtual"});
    } else {
        bool up = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        const char *driver = up ? SDL_GetCurrentAudioDriver() : nullptr;
        std::string suffix = std::string(" : ") + (driver ? driver : "none");
        found.push_back({"Default device" + suffix, ""});
        if (up) {
            int n = SDL_GetNumAudioDevices(0);
            for (int i = 0; i < n && static_cast<int>(found.size()) < PLAT_AUDIO_MAX_DEVICES; ++i) {
                const char *name = SDL_GetAudioDeviceName(i, 0);
                if (name && *name)
                    found.push_back({name + suffix, name});
            }
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        } else {
            error = std::string("audio init: ") + SDL_GetError();
        }
    }
    std::lock_guard<std::mutex> lock(s_mutex);
    s_devices = std::move(found);
    if (!error.empty())
        s_error = error;
    return static_cast<int>(s_devices.size());
}

int Plat_AudioOutDeviceCount()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return static_cast<int>(s_devices.size());
}

const char *Plat_AudioOutDeviceName(int index)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (index < 0 || index >= static_cast<int>(s_devices.size()))
        return nullptr;
    return s_devices[static_cast<size_t>(index)].name.c_str();
}

int Plat_AudioOutOpen(int index)
{
    std::lock_guard<std::mutex> control(s_control);
    std::unique_lock<std::mutex> lock(s_mutex);
    if (s_open) {
        s_error = "output already open";
        return -1;
    }
    if (index < 0 || index >= static_cast<int>(s_devices.size())) {
        s_error = "no output device " + std::to_string(index);
        return -1;
    }
    const Device dev = s_devices[static_cast<size_t>(index)];
    s_ring.Clear();
    s_played = 0;
    s_started = false;
    s_headless = Plat_IsHeadless();
    QueueFramesLocked();
    if (s_headless) {
        s_lastUs = Plat_ClockNowUs();
        s_carry = 0;
        if (const char *dump = Plat_GetEnv("TNV_AUDIO_DUMP"))
            s_dump.Open(dump);
        s_open = true;
        s_error.clear();
        return 0;
    }
    lock.unlock();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        lock.lock();
        SdlFail("audio init");
        return -1;
    }
    SDL_AudioSpec want{};
    want.freq = PLAT_AUDIO_RATE;
    want.format = AUDIO_S16SYS;
    want.channels = PLAT_AUDIO_CHANNELS;
    // A small device buffer: our own queue is where the latency is chosen.
    want.samples = 256;
    want.callback = SdlPull;
    SDL_AudioSpec have{};
    // SDL converts when the card wants another format; the callback always sees ours.
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(dev.sdlName.empty() ? nullptr : dev.sdlName.c_str(), 0,
                                               &want, &have, 0);
    if (id == 0) {
        const std::string why = std::string("open audio device: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        lock.lock();
        s_error = why;
        return -1;
    }
    lock.lock();
    s_sdlDevice = id;
    s_open = true;
    s_error.clear();
    return 0;
}

bool Plat_AudioOutIsOpen()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_open;
}

int Plat_AudioOutStart()
{
    std::lock_guard<std::mutex> control(s_control);
    SDL_AudioDeviceID id = 0;
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        if (!s_open)
            return -1;
        DrainLocked();
        s_started = true;
        id = s_headless ? 0 : s_sdlDevice;
    }
    if (id)
        SDL_PauseAudioDevice(id, 0);
    return 0;
}

void Plat_AudioOutStop()
{
    std::lock_guard<std::mutex> control(s_control);
    SDL_AudioDeviceID id = 0;
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        if (!s_open)
            return;
        DrainLocked();
        s_started = false;
        s_dump.Sync();
        id = s_headless ? 0 : s_sdlDevice;
    }
    if (id)
        SDL_PauseAudioDevice(id, 1);
}

bool Plat_AudioOutBlockWanted(int blockFrames)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (!s_open)
        return false;
    DrainLocked();
    return s_ring.count + blockFrames <= QueueFramesLocked();
}

int Plat_AudioOutWrite(const void *data, size_t bytes)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (!s_open || !data) {
        s_error = "no output open";
        return -1;
    }
    DrainLocked();
    size_t frames = bytes / PLAT_AUDIO_FRAME_BYTES;
    if (frames > static_cast<size_t>(PLAT_AUDIO_MAX_QUEUE_FRAMES - s_ring.count))
        return -1;
    s_ring.Push(static_cast<const int16_t *>(data), static_cast<int>(frames));
    return 0;
}

void Plat_AudioOutClear()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    DrainLocked();
    s_ring.Clear();
}

void Plat_AudioOutClose()
{
    std::lock_guard<std::mutex> control(s_control);
    SDL_AudioDeviceID id = 0;
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        if (!s_open)
            return;
        DrainLocked();
        s_dump.Sync();
        s_open = false;
        s_started = false;
        s_ring.Clear();
        id = s_headless ? 0 : s_sdlDevice;
        s_sdlDevice = 0;
    }
    if (id) {
        SDL_CloseAudioDevice(id);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

void Plat_AudioOutSetQueueFrames(int frames)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_queueFrames = std::clamp(frames, 72, PLAT_AUDIO_MAX_QUEUE_FRAMES);
}

int Plat_AudioOutQueueFrames()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return QueueFramesLocked();
}

int Plat_AudioOutQueuedFrames()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    DrainLocked();
    return s_ring.count;
}

uint64_t Plat_AudioOutPlayedFrames()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    DrainLocked();
    return s_played;
}

const char *Plat_AudioOutError()
{
    // A copy per thread: the device thread may set a new error while the caller reads this one.
    thread_local std::string copy;
    std::lock_guard<std::mutex> lock(s_mutex);
    copy = s_error;
    return copy.c_str();
}
