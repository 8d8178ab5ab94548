#include "sequencer/livehook.h"

#include <cstdlib>
#include <cstring>

#include "audio/capture.h"
#include "audio/cdaudio.h"
#include "core/consolelib.h"
#include "core/event.h"
#include "core/soundlib.h"
#include "sequencer/clock.h"
#include "sequencer/playback.h"
#include "video/lanes.h"

std::atomic<uint8_t *> g_p_ucRecordBuffer{nullptr};
LIVEHOOKSTATE g_LiveHook;

namespace {

struct EVENTWORDS
{
    uint16_t first, second;
};

void Post(uint32_t id, uint16_t first, uint16_t second)
{
    EVENTWORDS words{first, second};
    Sys_EventDispatch(id, reinterpret_cast<uintptr_t>(&words));
}

uint16_t Peak(const uint8_t *buffer)
{
    int32_t peak = 0;
    for (int32_t i = 0; i < 1024; i++) {
        const uint8_t *p = buffer + 8 * i;
        const int32_t v = static_cast<int16_t>(p[0] | p[1] << 8);
        const int32_t a = v < 0 ? -v : v;
        if (a > peak)
            peak = a;
    }
    return static_cast<uint16_t>(peak > 0xFFFF ? 0xFFFF : peak);
}

struct PEAKREAD
{
    const uint8_t *buffer;
    uint16_t peak;
};

void ReadPeak(void *context)
{
    PEAKREAD *read = static_cast<PEAKREAD *>(context);
    read->peak = Peak(read->buffer);
}

} // namespace

uint16_t Seq_LiveRise(uint16_t previous, uint16_t peak)
{
    // Twice the jump: a plain difference of 16-bit sample peaks never reaches 32768 or 45056, so
    // only a jump of a third of full scale counts as a hit, and one of two thirds as a strong one.
    const int32_t rise = peak > previous ? 2 * (peak - previous) : 0;
    return static_cast<uint16_t>(rise > 0xFFFF ? 0xFFFF : rise);
}

uint32_t Seq_LiveLaneMask(uint16_t peak)
{
    if (peak == 0)
        return 65535;
    int32_t top = 15;
    while (!(peak >> top & 1))
        top--;
    static const uint32_t kMasks[16] = {255, 46, 46, 14, 14, 44, 44, 10, 12, 12, 4, 4, 8, 8, 0, 0};
    return kMasks[top];
}

void Seq_StepLiveInput()
{
    const uint8_t *buffer = g_p_ucRecordBuffer.load(std::memory_order_acquire);
    LIVEHOOKSTATE &h = g_LiveHook;
    if (!buffer)
        return;
    if (h.ucDivider != 0) {
        h.ucDivider--;
        return;
    }
    h.ucDivider = 2;
    h.iSoundState = Sys_PollSoundState(0, 5);
    if (h.iSoundState == 0)
        return;
    // The capture thread writes the buffer: read it under the recorder's memory lock.
    PEAKREAD read{buffer, 0};
    Snd_ReadCaptureMemory(ReadPeak, &read);
    const uint16_t peak = read.peak;
    if (peak > h.uLastPeak) {
        h.uPreviousPeak = h.uLastPeak;
        h.uLastPeak = peak;
        h.uRise = Seq_LiveRise(h.uPreviousPeak, h.uLastPeak);
        if (h.uRise > h.uLow) {
            if (h.ucHits == 4) {
                h.ucBeat = static_cast<uint8_t>((h.ucBeat + 1) & 15);
                Post(0x30002, h.ucBeat, static_cast<uint16_t>(h.uRise >> 8));
                h.ucHits = 0;
                if (h.uRise > h.uMiddle) {
                    if (h.ucCount12 == 12) {
                        Post(0x30000, h.ucBeat, static_cast<uint16_t>(h.uLastPeak >> 8));
                        h.ucCount12 = 0;
                    }
                    h.ucCount12++;
                    if (h.uRise > h.uHigh) {
                        Post(0x30001, h.ucBeat, 255);
                        h.uFramePeriod = h.uFrameCounter;
                        if (++h.ucCount64 == 64) {
                            h.ucCount64 = 0;
                            Post(0x30003, h.ucBeat, static_cast<uint16_t>(h.uRise >> 8));
                        }
                    }
                }
            }
            h.ucHits++;
        }
    }
    // The period is met once the counter has reached it (a strong hit may set it below the count).
    if (++h.uFrameCounter >= h.uFramePeriod) {
        h.uLaneMask = Seq_LiveLaneMask(h.uLastPeak);
        Vid_SetLaneMuteMask(h.uLaneMask);
        h.uFramePeriod = h.uFrameCounter;
        h.uLastPeak = peak;
        h.uFrameCounter = 0;
    }
}

void Seq_InstallStepHook()
{
    Sys_EnterCritical();
    if (!g_LiveHook.pWork)
        g_LiveHook.pWork = static_cast<uint8_t *>(std::calloc(1, 4096));
    uint8_t *work = g_LiveHook.pWork;
    g_LiveHook = LIVEHOOKSTATE{};
    g_LiveHook.pWork = work;
    g_LiveHook.uLow = 20480;
    g_LiveHook.uMiddle = 32768;
    g_LiveHook.uHigh = 45056;
    g_LiveHook.uLaneMask = 65535;
    g_pfnSeqStep = Seq_StepLiveInput;
    g_bSeqStepHooked = 255;
    Sys_ExitCritical();
    Seq_StartClock();
}

void Seq_RemoveStepHook()
{
    Snd_CdStop();
    Snd_CdCloseDevice();
    Sys_EnterCritical();
    std::free(g_LiveHook.pWork);
    g_LiveHook.pWork = nullptr;
    Vid_SetLaneMuteMask(65535);
    g_pfnSeqStep = Seq_StepIdle;
    g_bSeqStepHooked = 0;
    Sys_ExitCritical();
}
