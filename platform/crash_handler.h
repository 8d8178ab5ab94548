// Fatal-signal handler: catches SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT on an alternate
// stack, hands the faulting context to one report procedure, then lets the default action end
// the process. The same on both backends: the headless program crashes like the real one.
//
// Everything the report procedure calls while handling a signal must be async-signal-safe: no
// allocation, no locks, no stdio. The Plat_Crash* helpers below are.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t PLAT_CRASH_BREAKPOINT = 5; // SIGTRAP: never caught, reported as a breakpoint

enum
{
    PLAT_CRASH_REG_AX,
    PLAT_CRASH_REG_BX,
    PLAT_CRASH_REG_CX,
    PLAT_CRASH_REG_DX,
    PLAT_CRASH_REG_SI,
    PLAT_CRASH_REG_DI,
    PLAT_CRASH_REG_BP,
    PLAT_CRASH_REG_SP,
    PLAT_CRASH_REG_IP,
    PLAT_CRASH_REG_FLAGS,
    PLAT_CRASH_REG_CS,
    PLAT_CRASH_REG_SS,
    PLAT_CRASH_REG_COUNT
};

enum
{
    PLAT_CRASH_SEG_DS,
    PLAT_CRASH_SEG_ES,
    PLAT_CRASH_SEG_FS,
    PLAT_CRASH_SEG_GS,
    PLAT_CRASH_SEG_COUNT
};

// What the handler knows of a fault. Values are full 64-bit; on x86-64 the registers are the
// 64-bit ones (rax into AX, rip into IP, eflags into FLAGS, ...).
struct PLATCRASHCONTEXT
{
    uint32_t uCode;  // the signal number
    uint32_t uFlags; // the signal's si_code (why it was raised: access error, sent by kill, ...)
    uint64_t uAddr;  // address of the faulting instruction
    uint64_t auSegments[PLAT_CRASH_SEG_COUNT];
    uint64_t auRegisters[PLAT_CRASH_REG_COUNT];
    uint64_t auStack[4]; // native words at sp, sp - 8, sp - 16, sp - 24 (0 where unreadable)
    int bMainThread;
    char szThreadName[16]; // the kernel's name of the faulting thread
};

typedef void (*PLATCRASHPROC)(const PLATCRASHCONTEXT *context);

// Installs the handler for the five signals (process-wide) and the calling thread's alternate
// stack, and notes the local time zone's offset for Plat_CrashLocalSeconds. Returns 0, or -1 when
// a signal could not be taken.
int Plat_CrashHandlerInstall(PLATCRASHPROC proc);

// Seconds since 1970 in local time (the offset noted at install). Async-signal-safe.
int64_t Plat_CrashLocalSeconds();
// Creates or truncates name (relative to the working folder) and writes data. Returns 0, or -1
// when the file cannot be created or written. Async-signal-safe.
int Plat_CrashWriteFile(const char *name, const char *data, size_t len);
