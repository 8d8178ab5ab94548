#include "audio/capture.h"

#include "app/devices.h"
#include "app/settings.h"
#include "audio/soundout.h"
#include "core/file.h"
#include "platform/audio_in.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

int g_iInputDeviceCount = 0;
char g_aszInputDeviceNames[SND_MAX_INPUT_DEVICES][SND_INPUT_NAME_BYTES];
std::atomic<int32_t> g_bRecording{0};
std::atomic<int32_t> g_iRecordedBytes{0};
int32_t g_iCaptureBufferBytes = 0;
int32_t g_iCaptureRate = 0;
int32_t g_iCaptureReadPos = 0;
int32_t g_iCaptureLastResult = 0;

namespace {

// Platform device of each list entry.
int s_aiPlatformDevice[SND_MAX_INPUT_DEVICES];

// Four auto-reset events: 0 ends the thread, 1..3 are the stop, start and middle notifications.
struct Events
{
    std::mutex mutex;
    std::condition_variable cv;
    bool set[4] = {};

    void Signal(int i)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            set[i] = true;
        }
        cv.notify_all();
    }

    // The lowest signalled event, which is reset.
    int WaitAny()
    {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, [&] { return set[0] || set[1] || set[2] || set[3]; });
        for (int i = 0; i < 4; ++i)
            if (set[i]) {
                set[i] = false;
                return i;
            }
        return -1;
    }

    void Reset()
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (bool &b : set)
            b = false;
    }
};

Events s_events;
bool s_bufferMade = false;
int s_openDevice = -1; // list entry of the open device, -1 when closed
int s_openRates = 0;
FILE *s_file = nullptr;
uint8_t *s_memory = nullptr;
// One copy at a time: the final copy of a stop never races the thread's. Guards
// g_iCaptureReadPos and the staging buffer.
std::mutex s_copyMutex;
// Held only while a copy writes the caller's memory buffer, so a reader of that buffer (the live
// input step, under the mix lock) waits for one memcpy at most, never for the device.
std::mutex s_memoryMutex;
std::vector<uint8_t> s_stage;
std::thread s_thread;
std::atomic<int> s_threadExit{0};

void LogFailure(const char *what)
{
    std::snprintf(g_szSoundErrorText, sizeof g_szSoundErrorText, "%s: %.200s", what, Plat_AudioInError());
    std::fprintf(stderr, "%s\n", g_szSoundErrorText);
}

void OnNotify(int kind, void *)
{
    if (kind >= 1 && kind <= 3)
        s_events.Signal(kind);
}

void Snd_CaptureThread()
{
    for (;;) {
        int which = s_events.WaitAny();
        if (which == 0)
            break;
        if (which >= 1 && which <= 3)
            Snd_CaptureCopy();
    }
    s_threadExit = SND_CAPTURE_THREAD_EXIT;
}

int RateFlag(int rate)
{
    switch (rate) {
    case 44100: return PLAT_AUDIO_IN_44100;
    case 22050: return PLAT_AUDIO_IN_22050;
    case 11025: return PLAT_AUDIO_IN_11025;
    default: return 0;
    }
}

} // namespace

int Snd_EnumInputDevices()
{
    g_iInputDeviceCount = 0;
    std::memset(g_aszInputDeviceNames, 0, sizeof g_aszInputDeviceNames);
    int n = Plat_AudioInEnumerate();
    for (int i = 0; i < n; ++i) {
        if (!Snd_InputDeviceCallback(i, Plat_AudioInDeviceDescription(i), Plat_AudioInDeviceModule(i)))
            break;
    }
    return 0;
}

int Snd_InputDeviceCallback(int platformDevice, const char *description, const char *module)
{
    if (g_iInputDeviceCount >= SND_MAX_INPUT_DEVICES)
        return 0;
    int slot = g_iInputDeviceCount;
    std::snprintf(g_aszInputDeviceNames[slot], SND_INPUT_NAME_BYTES, "%.120s (%.120s)\n",
                  description ? description : "", module ? module : "");
    s_aiPlatformDevice[slot] = platformDevice;
    if (Plat_AudioInDeviceRates(platformDevice) != 0)
        ++g_iInputDeviceCount;
    else
        g_aszInputDeviceNames[slot][0] = 0;
    return 1;
}

int Snd_GetInputDeviceCount()
{
    return g_iInputDeviceCount;
}

int Snd_GetInputDeviceName(char *destination, int index)
{
    if (!destination)
        return -1;
    if (index < 0 || index >= g_iInputDeviceCount) {
        destination[0] = 0;
        return -1;
    }
    std::memcpy(destination, g_aszInputDeviceNames[index], SND_INPUT_NAME_BYTES);
    return 0;
}

int Snd_OpenCaptureDevice(int device, int bytes, int rate)
{
    if (s_openDevice >= 0)
        Snd_CloseCaptureDevice();
    if (g_iInputDeviceCount == 0) {
        std::snprintf(g_szSoundErrorText, sizeof g_szSoundErrorText, "no capture device");
        return -1;
    }
    // A stored device number from an earlier session may be gone.
    if (device < 0 || device >= g_iInputDeviceCount)
        device = 0;
    s_openDevice = device;
    s_openRates = Plat_AudioInDeviceRates(s_aiPlatformDevice[device]);
    g_iCaptureBufferBytes = bytes;
    g_iCaptureRate = rate;
    if (Snd_CreateCaptureBuffer(bytes) != 0) {
        Snd_CloseCaptureDevice();
        return -1;
    }
    return 0;
}

int Snd_CreateCaptureBuffer(int bytes)
{
    if (s_openDevice < 0)
        return -1;
    int flag = RateFlag(g_iCaptureRate);
    if (flag != 0 && (s_openRates & flag) == 0) {
        std::snprintf(g_szSoundErrorText, sizeof g_szSoundErrorText, "capture device lacks %d Hz", g_iCaptureRate);
        return -1;
    }
    s_events.Reset();
    if (Plat_AudioInOpen(s_aiPlatformDevice[s_openDevice], g_iCaptureRate, bytes, OnNotify, nullptr) != 0) {
        g_iCaptureLastResult = -1;
        LogFailure("create capture buffer");
        return -1;
    }
    g_iCaptureBufferBytes = bytes;
    s_bufferMade = true;
    return 0;
}

void Snd_ReleaseCaptureBuffer()
{
    if (!s_bufferMade)
        return;
    Plat_AudioInClose();
    s_events.Reset();
    s_bufferMade = false;
}

void Snd_CloseCaptureDevice()
{
    Snd_ReleaseCaptureBuffer();
    s_openDevice = -1;
    s_openRates = 0;
}

void Snd_CaptureCopy()
{
    std::lock_guard<std::mutex> lock(s_copyMutex);
    const int size = g_iCaptureBufferBytes;
    int pos = Plat_AudioInPosition();
    if (pos < 0 || size <= 0) {
        g_iCaptureLastResult = -1;
        LogFailure("capture position");
        return;
    }
    if (pos < g_iCaptureReadPos)
        pos += size;
    int length = pos - g_iCaptureReadPos;
    if (length <= 0)
        return;
    // Copied out under the device's own lock: the producer may lap a slow reader.
    if (s_stage.size() < static_cast<size_t>(length))
        s_stage.resize(static_cast<size_t>(length));
    if (Plat_AudioInRead(g_iCaptureReadPos, length, s_stage.data()) != 0) {
        g_iCaptureLastResult = -1;
        LogFailure("capture lock");
        return;
    }
    if (s_file) {
        Sys_WriteFile(s_file, s_stage.data(), length);
    } else if (s_memory) {
        // The newest data always lands at the buffer's start.
        std::lock_guard<std::mutex> memoryLock(s_memoryMutex);
        std::memcpy(s_memory, s_stage.data(), static_cast<size_t>(length));
    }
    g_iCaptureReadPos += length;
    if (g_iCaptureReadPos >= size)
        g_iCaptureReadPos -= size;
    g_iRecordedBytes.fetch_add(length);
}

void Snd_ReadCaptureMemory(void (*reader)(void *context), void *context)
{
    std::lock_guard<std::mutex> lock(s_memoryMutex);
    reader(context);
}

void Snd_StopCaptureThread()
{
    if (!s_thread.joinable())
        return;
    s_events.Signal(0);
    s_thread.join();
}

int Snd_CaptureThreadExitCode()
{
    return s_threadExit.load();
}

int Snd_StartRecording(int rate, void *memory, int bytes, int toFile)
{
    if (g_bRecording.load())
        return -1;
    s_file = nullptr;
    s_memory = nullptr;
    g_bRecording = 1;
    Sys_CloseAudioOutput();

    int result = -1;
    if (rate > 0 && rate <= 192000) {
        if (toFile) {
            if (Snd_OpenCaptureDevice(g_iAudioInDevice, rate * 4, rate) == 0) {
                // A file that cannot be made fails the start: a stale recording must not pass
                // for a new one.
                std::string path = Sys_MakeBasePath(PCMRECORDING);
                // The user's folder is made on first use.
                std::error_code ec;
                std::filesystem::path parent = std::filesystem::path(path).parent_path();
                if (!parent.empty())
                    std::filesystem::create_directories(parent, ec);
                s_file = Sys_OpenFileWrite(path.c_str(), 1, 0);
                if (s_file)
                    result = 0;
                else
                    std::snprintf(g_szSoundErrorText, sizeof g_szSoundErrorText, "cannot write %s", PCMRECORDING);
            }
        } else if (memory && bytes >= 4) {
            if (Snd_OpenCaptureDevice(g_iAudioInDevice, bytes & ~1, rate) == 0) {
                s_memory = static_cast<uint8_t *>(memory);
                result = 0;
            }
        }
    }
    if (result == 0) {
        g_iRecordedBytes = 0;
        g_iCaptureReadPos = 0;
        s_stage.resize(static_cast<size_t>(g_iCaptureBufferBytes));
        s_threadExit = 0;
        s_thread = std::thread(Snd_CaptureThread);
        if (Plat_AudioInStart() != 0) {
            LogFailure("start capture");
            Snd_StopCaptureThread();
            result = -1;
        }
    }
    if (result != 0) {
        // Nothing records: give back the device and the output the start took.
        g_iCaptureLastResult = -1;
        if (s_file) {
            Sys_DiscardFile(s_file);
            s_file = nullptr;
        }
        s_memory = nullptr;
        Snd_CloseCaptureDevice();
        g_bRecording = 0;
        Sys_OpenAudioOutput(g_iAudioOutDevice);
        return -1;
    }
    g_iCaptureLastResult = 0;
    return 0;
}

int Snd_StopRecording()
{
    if (!g_bRecording.load())
        return 0;
    g_bRecording = 0;
    // A failing stop is logged and the tear-down goes on, so the output always comes back.
    if (Plat_AudioInStop() != 0) {
        g_iCaptureLastResult = -1;
        LogFailure("stop capture");
    }
    // The tail captured since the last notification, before the file goes.
    Snd_CaptureCopy();
    Snd_StopCaptureThread();
    if (s_file) {
        if (Sys_CloseFile(s_file) != 0)
            std::snprintf(g_szSoundErrorText, sizeof g_szSoundErrorText, "cannot save %s", PCMRECORDING);
        s_file = nullptr;
    }
    s_memory = nullptr;
    Snd_CloseCaptureDevice();
    return Sys_OpenAudioOutput(g_iAudioOutDevice);
}
