#include "editors/standin_editors.h"

#include "app/calllog.h"

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

// Stand-in.
void Ed_FunctionKeyAction(int)
{
    Sys_CallLog("Ed_FunctionKeyAction");
}
