// STAND-INS until the chase editor's regions and the CD screen's selector answer the pointer:
// the chase editor's region actions, the CD screen's selector and button latch. Weak, so the
// editors' own replace them at link time.
#include "ui/clickactions.h"
#include "ui/handlers.h"
#include "ui/valueeditor.h"

#include "app/calllog.h"

__attribute__((weak)) int32_t Ed_ChaseEditorAction(int32_t, int32_t, int32_t)
{
    Sys_CallLog("Ed_ChaseEditorAction");
    return -1;
}

__attribute__((weak)) uint8_t g_ucCdSelector = 0;
__attribute__((weak)) uint8_t g_bCdCursorLatched = 0;
