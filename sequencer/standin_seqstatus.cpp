// Stand-in for the sequencer's block size and status until the sequencer is built. Weak, so the
// real definitions win at link time.
#include <cstdint>

__attribute__((weak)) uint32_t g_uSeqBlockSize;
__attribute__((weak)) uint8_t g_bySeqStatus;
