// Jam session state read by other subsystems.
// Stand-in until the jam session is built: only the flag the mixer and the window read.
#pragma once

#include <atomic>
#include <cstdint>

// 1 from the start to the end of a jam session.
extern std::atomic<int32_t> g_bJamSessionOn;
