#include "audio/soundout.h"

#include "platform/audio_out.h"

#include <atomic>
#include <cstdio>
#include <cstring>

int g_iOutputDeviceCount = 0;
char g_aszOutputDeviceNames[SND_MAX_OUTPUT_DEVICES][256];
int g_iStreamBufferBytes = SND_STREAM_BLOCK_BYTES * SND_STREAM_BLOCKS;
int g_iStreamWritePos = 0;
char g_szSoundStatusText[256];
char g_szSoundErrorText[256];

namespace {
// Written on the main thread, read by the mix tick.
std::atomic<bool> s_bStreamOn{false};

void SetError()
{
    std::snprintf(g_szSoundErrorText, sizeof g_szSoundErrorText, "%s", Plat_AudioOutError());
}

bool TryOpen(int device)
{
    std::snprintf(g_szSoundStatusText, sizeof g_szSoundStatusText, "Attempting to use %.200s",
                  g_aszOutputDeviceNames[device]);
    if (Plat_AudioOutOpen(device) != 0) {
        SetError();
        return false;
    }
    return true;
}
} // namespace

int Snd_EnumOutputDevices(void *)
{
    int n = Plat_AudioOutEnumerate();
    if (n > SND_MAX_OUTPUT_DEVICES)
        n = SND_MAX_OUTPUT_DEVICES;
    for (int i = 0; i < SND_MAX_OUTPUT_DEVICES; ++i) {
        const char *name = i < n ? Plat_AudioOutDeviceName(i) : nullptr;
        std::snprintf(g_aszOutputDeviceNames[i], sizeof g_aszOutputDeviceNames[i], "%s", name ? name : "");
    }
    g_iOutputDeviceCount = n;
    if (*Plat_AudioOutError())
        SetError();
    return 0;
}

int Snd_GetOutputDeviceCount()
{
    return g_iOutputDeviceCount;
}

const char *Snd_GetOutputDeviceName(int device)
{
    if (device < 0 || device >= g_iOutputDeviceCount)
        return "";
    return g_aszOutputDeviceNames[device];
}

int Snd_OpenOutputDevice(void *, int device)
{
    if (Plat_AudioOutIsOpen())
        return 0;
    // A stored device number may name a device that has since gone; the default still plays.
    bool ok = device > 0 && device < g_iOutputDeviceCount && TryOpen(device);
    if (!ok && !TryOpen(0))
        return -1;
    std::snprintf(g_szSoundStatusText, sizeof g_szSoundStatusText,
                  "Buffer Format:> Channels:%d Rate:%d Bits:%d", 2, 44100, 16);
    return 0;
}

int Snd_CloseOutputDevice()
{
    s_bStreamOn.store(false);
    Plat_AudioOutClose();
    return 1;
}

int Snd_CreateStreamBuffer()
{
    if (s_bStreamOn.load())
        return 0;
    if (!Plat_AudioOutIsOpen() || Plat_AudioOutStart() != 0) {
        std::snprintf(g_szSoundErrorText, sizeof g_szSoundErrorText, "no output device open");
        return -1;
    }
    Plat_AudioOutClear();
    s_bStreamOn.store(true);
    return 0;
}

int Snd_ReleaseStreamBuffer()
{
    if (!s_bStreamOn.load())
        return 0;
    Snd_ClearStreamBuffer();
    s_bStreamOn.store(false);
    Plat_AudioOutStop();
    return 0;
}

int Snd_ClearStreamBuffer()
{
    if (s_bStreamOn.load())
        Plat_AudioOutClear();
    return 0;
}

int Snd_WriteStreamBlock(const void *source, int size, int)
{
    if (!s_bStreamOn.load() || !source || size <= 0 || size % 4 != 0 || size > g_iStreamBufferBytes)
        return -1;
    if (!Plat_AudioOutBlockWanted(size / 4) || Plat_AudioOutWrite(source, static_cast<size_t>(size)) != 0)
        return -1;
    g_iStreamWritePos += size;
    if (g_iStreamWritePos >= g_iStreamBufferBytes)
        g_iStreamWritePos -= g_iStreamBufferBytes;
    return 0;
}
