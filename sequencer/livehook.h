// The live input step hook: while the sound input is captured for the video, the sequencer clock
// drives this hook instead of the song. It measures the loudness of the capture buffer, posts the
// sequencer's beat events for the video and shows more video lanes as the input gets louder.
//
// The hook runs on the tick (the mix thread, under the mix lock); install and remove on the main
// thread.
#pragma once

#include <atomic>
#include <cstdint>

// The capture buffer the hook reads (8192 bytes of mono 16-bit, newest data first); null when
// nothing is captured. Set by the recorder.
extern std::atomic<uint8_t *> g_p_ucRecordBuffer;
constexpr int32_t SEQ_RECORD_BUFFER_BYTES = 8192;

struct LIVEHOOKSTATE
{
    uint8_t *pWork; // 4096-byte work buffer while installed
    uint8_t ucDivider;
    uint16_t uLastPeak;
    uint16_t uPreviousPeak;
    uint16_t uRise;
    uint8_t ucHits;
    uint8_t ucBeat; // 0..15
    uint8_t ucCount12;
    uint8_t ucCount64;
    uint16_t uFrameCounter;
    uint16_t uFramePeriod;
    uint16_t uLow, uMiddle, uHigh;
    uint32_t uLaneMask; // last applied
    int32_t iSoundState;
};
extern LIVEHOOKSTATE g_LiveHook;

void Seq_InstallStepHook();
void Seq_RemoveStepHook();
// The step callback itself.
void Seq_StepLiveInput();
// The rise of a peak over the one before it, as the thresholds see it (0..65535).
uint16_t Seq_LiveRise(uint16_t previous, uint16_t peak);
// The lane mute mask a peak shows: louder input shows more lanes.
uint32_t Seq_LiveLaneMask(uint16_t peak);
