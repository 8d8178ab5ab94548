#include "core/standin_event.h"

#include "app/calllog.h"

#include <cstdio>

// Stand-in for the event registry.
int Sys_EventDestroyClass(int eventClass)
{
    char name[40];
    std::snprintf(name, sizeof name, "Sys_EventDestroyClass(%d)", eventClass);
    Sys_CallLog(name);
    return 0;
}
