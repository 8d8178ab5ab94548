// Stand-in until the memory-card services are built: the enter and leave actions of overlay 3.
#include "app/calllog.h"

void Sys_CardOverlayEnter()
{
    Sys_CallLog("Sys_CardOverlayEnter");
}

void Sys_CardOverlayLeave()
{
    Sys_CallLog("Sys_CardOverlayLeave");
}
