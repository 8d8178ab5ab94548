// Crash report "errorlog.txt" and the information box.
//
// Sys_InstallCrashFilter (called by the entry before the program runs) routes every fatal signal
// to Sys_CrashReportFilter, which stops the audio, writes the report into the working folder (or,
// when it cannot, into the user's folder) and lets the process end. The report is built without allocation or stdio, since it runs inside
// the signal handler.
#pragma once

#include "platform/crash_handler.h"

#include <cstddef>
#include <cstdint>

#define CRASH_REPORT_FILE "errorlog.txt"
#define CRASH_MAIN_THREAD "Main Thread"

// Stops the mix and the timers when a fault strikes: clears the mix flag, keeps the timers'
// running flags for a later restore, tells each timer to stop. It runs inside a signal handler,
// so it may only store to atomics: no locks, no joins. Registered by the timer module.
typedef void (*CRASHSTOPPROC)();
void Sys_SetCrashStopProc(CRASHSTOPPROC proc);

// Installs the fatal-signal handler; the main thread's faults are reported as "Main Thread",
// other threads' by their own names. Returns 0, or -1 when a signal could not be taken.
int Sys_InstallCrashFilter();
// Notes where reports go: the working (start) folder, else the user's folder g_szBaseDir (made
// when missing). Install calls it; call it again once the settings have set g_szBaseDir. Where
// the report went is said on stderr.
void Sys_SetCrashReportFolders();

// Stops the audio, then writes the report for context: returns 1 at once for a breakpoint (no
// report), else 0 (with or without a report: one that cannot be created is skipped).
int Sys_CrashReportFilter(const PLATCRASHCONTEXT *context, const char *threadName);

// The report's text into out (always terminated); returns its length.
size_t Sys_FormatCrashReport(char *out, size_t outSize, const PLATCRASHCONTEXT *context,
                             const char *threadName, const char *timeText);
// Local date and time in the C locale's long form ("Thu Dec 10 13:30:13 2026") into buffer
// (256 bytes).
void Sys_FormatLocalTime(char *buffer);
// The same form for a count of local seconds since 1970, without the C library (the signal
// handler's clock). buffer holds at least 32 bytes.
void Sys_FormatTimeSafe(char *buffer, int64_t localSeconds);

// The modal information box; returns the button pressed (1 = OK).
int Sys_InfoBox(const char *caption, const char *text);
// A failed check: "<fileName> (LINE #<line>)" into g_szErrorText and an OK / Cancel warning box
// under caption. OK goes on; Cancel ends the program at once with status 1.
void Sys_AssertBox(const char *caption, const char *fileName, int line);
