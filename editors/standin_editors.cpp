#include "editors/standin_editors.h"

#include "app/calllog.h"
#include "editors/topbar.h"

int32_t g_iAttractLastActivity = 0;

// Stand-in.
void Ed_AttractTick()
{
    Sys_CallLog("Ed_AttractTick");
}

// Stand-in.
void Ed_PlaylistTick()
{
    Sys_CallLog("Ed_PlaylistTick");
}

// The function keys run the current menu page's items.
void Ed_FunctionKeyAction(int key)
{
    Sys_CallLog("Ed_FunctionKeyAction");
    Ed_RunFunctionKey(key);
}
