// Timers, the mix pump, the mixdown to a WAV file and frame timing.
//
// Three periodic timers (platform/timer.h): the 1 ms mix pump, the 2 ms tick used while
// recording and the 20 ms network step used in a jam. Each pump tick offers the block mixed last
// time to the sound output; only when the output takes it does the sequencer step and the next
// block get mixed, so the song advances exactly one step per block heard.
//
// The mix step runs under g_csMix (core/mixlock.h). Flags the timer threads read are atomics.
#pragma once

#include <atomic>
#include <cstdint>

// Mix buffers.
extern int16_t *g_pMixOutputBuffer;
extern int32_t g_iMixBlockFrames; // 72 at 44100 Hz
constexpr int32_t SYS_MIX_OUTPUT_BYTES = 1764000 + 88200;
constexpr int32_t SYS_MIX_SMALL_BLOCK_BYTES = 304;

// Timer state.
extern uint32_t g_uMixTimerId;
extern std::atomic<int32_t> g_bMixPumpOn;
extern uint32_t g_uTickTimerId;
extern std::atomic<int32_t> g_bTickTimerOn;
extern std::atomic<int32_t> g_bTickTimerRunning;
extern uint32_t g_uNetStepTimerId;
extern std::atomic<int32_t> g_bSeqTimerRunning;
extern std::atomic<int32_t> g_bNetStepOwnTimer;
extern int32_t g_bAudioSuspended;
// The three flags as they were at the last suspension or crash stop.
extern std::atomic<int32_t> g_bSavedMixPumpOn;
extern std::atomic<int32_t> g_bSavedTickTimerOn;
extern std::atomic<int32_t> g_bSavedSeqTimerRunning;
extern std::atomic<int32_t> g_iRecordRunning;
// Set every 20 ms of pump (or tick) time, for the frame code's pacing.
extern std::atomic<uint8_t> g_ucFrameTick;

// Mixdown state.
extern std::atomic<int32_t> g_bMixdownRunning;
extern std::atomic<int32_t> g_bMixdownAbort; // the progress box's Stop
extern int32_t g_iMixdownSeconds;            // length of the mixdown buffer
extern int16_t *g_pMixdownBuffer;
extern int32_t g_iMixdownFill;  // frames in the buffer, not yet written
extern int32_t g_iMixdownTotal; // frames written to the file
extern int32_t g_iMixdownEnd;   // last used row of the song
extern uint32_t g_uMixdownProgressRow;
// Longest mixdown in seconds; a song that never reaches its end stops here.
extern int32_t g_iMixdownMaxSeconds;
// Blocks rendered per main-loop pass (one second of sound).
constexpr int32_t SYS_MIXDOWN_BLOCKS_PER_PASS = 600;

// Frame statistics (diagnostics only).
extern float g_fFramesPerSecond;
extern float g_fRecentFramesPerSecond;

// Makes the mix buffers and hands the mixer its parameters, then sizes the reverb lines.
// Returns the reverb sizing's result, -1 when the buffers cannot be made.
int Sys_AllocMixBuffers();
void Sys_FreeMixBuffers();

// Timers are stopped from the main thread and never with g_csMix held: the stop waits for a
// callback that may be waiting for that lock.
// 1: started (or already running); 0 during a mixdown or when the timer cannot start.
int Sys_StartMixTimer();
// 0 during a mixdown (nothing stopped), else 1.
int Sys_StopMixTimer();
// 1, or 0 when the timer cannot start (flags left clear).
int Sys_StartTickTimer();
int Sys_StopTickTimer();
int Sys_StartSeqTimer();
int Sys_StopSeqTimer();

// on = 1: no mix step is running when it returns and none starts until on = 0.
int Sys_SuspendAudio(int on);
// Stops mixing and the timers, then posts the program's own close.
int Sys_RequestQuit();
// The crash report's stop (registered when a timer starts): mixing off, the three flags saved
// and cleared, every timer halted. Only atomic stores, as it runs in the fault handler.
void Sys_CrashStopTimers();

// The timer callbacks (tests drive them directly on the manual clock).
void Sys_MixTimerProc(void *);
void Sys_TickTimerProc(void *);
void Sys_NetStepTimerProc(void *);
// One mix step: offer the waiting block; when taken, step the sequencer and mix the next.
void Sys_MixTick();

// Renders the song from its start into a 44100 Hz stereo WAV file on the main loop. Returns 0,
// or -1 when the file or the buffer cannot be made (nothing starts; a box says why).
int Sys_StartMixdown(const char *fileName);
// Up to one second of sound per call; ends the mixdown at the song's end, when playback stops,
// at the length limit or on the progress box's Stop.
void Sys_MixdownStep();
void Sys_FinishMixdown();

void Sys_FrameTiming();
