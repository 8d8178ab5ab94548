#include "core/standin_services.h"

#include "app/calllog.h"

// Stand-in.
void Sys_SetGridLayout()
{
    Sys_CallLog("Sys_SetGridLayout");
}
