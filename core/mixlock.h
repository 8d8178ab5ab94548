// The mix lock: one recursive mutex for the whole program.
//
// The mix step and the sequencer tick run under it; every voice operation and every free of sample
// data takes it, so the mixer never reads a voice that is half written or data that is being freed.
// It is never destroyed, so any thread may take it at any time, before start-up or after shutdown.
// Sys_EnterCritical / Sys_ExitCritical (core/consolelib.h) take and release it.
// Lock order: g_csMix before the plug-in lock.
#pragma once

#include <mutex>

extern std::recursive_mutex g_csMix;
