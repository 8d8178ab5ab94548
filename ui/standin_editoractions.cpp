// STAND-IN until the chase editor's regions answer the pointer: the chase editor's region
// actions. Weak, so the editor's own replaces it at link time.
#include "ui/clickactions.h"
#include "ui/handlers.h"
#include "ui/valueeditor.h"

#include "app/calllog.h"

__attribute__((weak)) int32_t Ed_ChaseEditorAction(int32_t, int32_t, int32_t)
{
    Sys_CallLog("Ed_ChaseEditorAction");
    return -1;
}
