// Stand-in for the jam's single-player flag until the jam is built. Weak, so the real definition
// wins at link time.
#include "jam/standin_jam.h"

__attribute__((weak)) int32_t g_bJamSinglePlayer = 0;
__attribute__((weak)) uint32_t g_uiJamStartTime = 0;
__attribute__((weak)) uint32_t g_uiJamSyncTime = 0;
