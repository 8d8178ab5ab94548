// STAND-INS until the CD screen's selector answers the pointer: the CD screen's selector and
// button latch. Weak, so the CD screen's own replace them at link time.
#include "ui/clickactions.h"

__attribute__((weak)) uint8_t g_ucCdSelector = 0;
__attribute__((weak)) uint8_t g_bCdCursorLatched = 0;
