#include "core/standin_services.h"

#include "app/calllog.h"

#include <cstdio>

// Stand-in: entering an overlay runs only its actions.
void Sys_SwitchOverlay(int overlay)
{
    char name[40];
    std::snprintf(name, sizeof name, "Sys_SwitchOverlay(%d)", overlay);
    Sys_CallLog(name);
}

// Stand-in.
void Sys_SetGridLayout()
{
    Sys_CallLog("Sys_SetGridLayout");
}
