// Stand-in for the song loader's flags until the sequencer's loader is built. Weak, so the real
// definitions win at link time.
#include "core/disc.h"

__attribute__((weak)) int g_bLoadAborted;
__attribute__((weak)) int g_bDiscChanged;
