// STAND-IN (see standin_jamsession.h). Weak, so the real definitions win.
#include "jam/standin_jamsession.h"

#define STANDIN __attribute__((weak))

STANDIN int32_t g_bJamCtrlHeld = 0;
STANDIN int32_t g_bJamShiftHeld = 0;
