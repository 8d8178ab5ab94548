// Stand-in until the timers and frame cycle are built: the shared frame counter.
#include <atomic>
#include <cstdint>

std::atomic<int32_t> g_iFrameCount;
