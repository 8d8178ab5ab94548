// STAND-IN (see standin_topbar.h).
#include "editors/standin_topbar.h"

#include "app/calllog.h"

#define STANDIN __attribute__((weak))

STANDIN uint8_t g_ucJamReturnScreen = 0;

// Runs the mode at once: no editor window is open that would have to close first.
STANDIN void Ed_CloseWindowsThenRun(void (*action)())
{
    if (action)
        action();
}

STANDIN void Ed_ReturnFromJam()
{
    Sys_CallLog("Ed_ReturnFromJam");
}
