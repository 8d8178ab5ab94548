#include "core/mixlock.h"

std::recursive_mutex g_csMix;

void Sys_EnterCritical()
{
    g_csMix.lock();
}

void Sys_LeaveCritical()
{
    g_csMix.unlock();
}
