// Stand-in for the event registry until it is built: the two calls the core bring-up makes.
#include <cstdint>

void Sys_EventInit()
{
}

int32_t Sys_EventCreateClass(int32_t, int32_t)
{
    return 0;
}
