// Periodic timers: one thread per timer, firing at absolute deadlines on the platform clock.
//
// Deadlines are start + k x period, so a late callback never pushes the later ones back (no
// drift); a timer that fell behind fires the missed deadlines one after another, except on the
// real clock after a stall of more than 100 ms, where it starts again from now. On the manual
// clock a timer fires only when a test moves the clock past its next deadline.
//
// Killing a timer joins its thread: once Plat_TimerKill returns, no callback of that timer runs.
// Timers still running at exit are killed then.
#pragma once

#include <cstdint>

using PLATTIMERPROC = void (*)(void *arg);

// Starts a periodic timer. Returns its id (never 0), or 0 when the period is 0, the callback is
// null or the thread cannot be made.
uint32_t Plat_TimerStart(uint32_t periodMs, PLATTIMERPROC fn, void *arg);
// Stops the timer and waits for its thread. Unknown ids and 0 are ignored. Called from the
// timer's own callback it stops the timer without waiting.
void Plat_TimerKill(uint32_t id);
// Halts every timer's callbacks (the threads go on waiting) or lets them run again. Safe in a
// signal handler: it only stores an atomic flag.
void Plat_TimerHaltAll(bool halt);
// Number of timers running.
int Plat_TimerCount();

// Manual clock: waits until every running timer has run each callback due up to the clock's
// present time, so that what the timers do keeps pace with the one who moves the clock (the
// headless frame loop). Gives up after limitMs of real time (a callback that waits for the
// caller); false then. True at once on the real clock.
bool Plat_TimersCatchUp(uint32_t limitMs);

// Tests: the next count starts fail as if no thread could be made.
void Plat_TimerFailStarts(int count);
