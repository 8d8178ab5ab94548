// Playback: the clock's play modes and state, the play columns, and the channel engine.
#pragma once

#include <atomic>
#include <cstdint>

struct RIFFENTRY;

struct PLAYCOLUMN
{
    uint16_t uRiff;     // 0 = the column plays nothing
    uint8_t ucStep;     // next step of the riff
    uint8_t ucTrack;    // the riff's track this column plays
    uint16_t uStepsLeft;
    uint16_t uLevelUpdates;
    int32_t iLevel;     // 0..255 << 10
    int32_t iLevelStep; // added every quarter step
};

typedef void (*SEQSTEPFN)();
// The channel allocator hook: the requester (a column, or the channel of the note whose effect
// copy asks), the kind of channel (2 effect copy, 3 preview, 4 jam riff note) and the track. The
// jam installs its own; the sequencer's is Seq_AllocChannel. A channel 0..98, or 255.
typedef int32_t (*SEQCHANNELALLOCFN)(int32_t owner, int32_t kind, int32_t track);

extern PLAYCOLUMN g_aPlayColumns[99];
extern std::atomic<SEQSTEPFN> g_pfnSeqStep;
extern SEQCHANNELALLOCFN g_pfnSeqChannelAlloc;
extern std::atomic<uint8_t> g_bSongPlaying; // 255 song, 254 riff preview, 0 stopped
extern std::atomic<uint32_t> g_uSongRow;
extern uint16_t g_uStepsLeftInBar;
extern uint8_t g_bSeqStepHooked;
extern uint8_t g_bFastForward;
extern uint16_t g_uPreviewRiff;
extern uint8_t g_ucPreviewStep, g_ucPreviewMode;
extern uint8_t g_aucChannelEnabled[99];
extern int32_t g_aiKeyLights[12];

// Clock counters.
extern std::atomic<uint32_t> g_uSeqTickCount;
extern int32_t g_iStepAccum, g_iFineAccum, g_iSubStep, g_iFineStep;
extern uint8_t g_ucQuarterPhase, g_bStepBoundary, g_bQuarterStep, g_bInSeqTick, g_ucBeatStep;
extern std::atomic<uint8_t> g_ucStepCount16;
extern int16_t g_sDetuneSweep, g_sDetuneWobble;
extern uint8_t g_bDetuneSweepDown, g_bDetuneWobbleDown;
// The jam-data size word and the sequencer/interface status byte (bit 2: sample edits re-applied).
extern uint32_t g_uSeqBlockSize;
extern uint8_t g_bySeqStatus;

// Zeroes the clock counters and the play state (start-up and new song).
void Seq_ResetPlayState();
// Idle step and the sequencer's own channel allocator.
void Seq_InstallDefaultStep();

int32_t Seq_Tick();
void Seq_StepIdle();
void Seq_StepRiffPreview();
void Seq_StepSong();
void Seq_StepSongRiffLoop();
void Seq_StepReverse();
void Seq_StartSongAt(int32_t row, int32_t mode);
void Seq_PlaySongFrom(uint32_t row);
void Seq_PauseSong();
void Seq_StopSong();
void Seq_StartFastForward();
void Seq_StopCueing();
void Seq_StartReverseCue();
// Plays one riff of 1..8 bars alone from a step, in g_ucPreviewMode (1 once, 2 loop), each track
// with the riff's level ramp advanced to that step; the metronome clicks on screen 58.
void Seq_PlayRiffPreview(int32_t startStep, int32_t riff);
void Seq_StopRiffPreview();
// Advances every play column's level ramp one unit (four times a step).
void Seq_StepLevelRamps();
// Stops, then plays the song from a row with the open riff looping (it must have 1..8 bars).
void Seq_RestartSongAtRow(int32_t row);
