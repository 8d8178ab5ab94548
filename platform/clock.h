// The clock: milliseconds, sleeps and absolute deadlines.
//
// Two sources. The real clock is CLOCK_MONOTONIC. The manual clock only moves when told to, so
// tests are deterministic and never depend on the machine's speed:
//  - Plat_ManualClockAdvance / Plat_ManualClockSet move it (from any thread);
//  - Plat_SleepMs on the manual clock moves it forward by the time asked (the caller wants time to
//    pass, so it passes);
//  - Plat_WaitUntilUs on the manual clock blocks until another thread has moved the clock to the
//    deadline (timer threads wait this way), or until Plat_ClockWake is called.
// The headless backend starts on the manual clock; tests may switch either way.
#pragma once

#include <cstdint>

enum PLATCLOCK
{
    PLAT_CLOCK_REAL = 0,
    PLAT_CLOCK_MANUAL = 1,
};

// Selects the clock source; the manual clock restarts at 0 when selected.
void Plat_ClockUse(PLATCLOCK source);
PLATCLOCK Plat_ClockSource();

// Microseconds since the clock started (monotonic).
uint64_t Plat_ClockNowUs();
// Milliseconds since the clock started, wrapping at 2^32 like a millisecond counter.
uint32_t Plat_Milliseconds();

// Lets time pass: the real clock sleeps, the manual clock advances.
void Plat_SleepMs(uint32_t ms);
// Waits until the clock reaches deadlineUs. Returns false when woken early by Plat_ClockWake.
bool Plat_WaitUntilUs(uint64_t deadlineUs);
// Wakes every Plat_WaitUntilUs waiter (used when stopping a timer thread).
void Plat_ClockWake();

// Manual clock control; ignored on the real clock.
void Plat_ManualClockAdvance(uint64_t us);
void Plat_ManualClockSet(uint64_t us);
