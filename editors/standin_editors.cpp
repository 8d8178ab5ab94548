#include "editors/standin_editors.h"

#include "app/calllog.h"
#include "editors/topbar.h"

int32_t g_iAttractLastActivity = 0;

// The function keys run the current menu page's items.
void Ed_FunctionKeyAction(int key)
{
    Sys_CallLog("Ed_FunctionKeyAction");
    Ed_RunFunctionKey(key);
}
