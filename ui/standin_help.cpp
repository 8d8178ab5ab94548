// Stand-in for the idle demo's start, which the introduction hands over to when it closes. Weak:
// the idle demo's own definition replaces it.
#include "app/calllog.h"

__attribute__((weak)) void Ed_AttractStartDemo()
{
    Sys_CallLog("Ed_AttractStartDemo");
}
