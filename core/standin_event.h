// Stand-in for the event registry, until it is built.
#pragma once

#include <cstdint>

int Sys_EventDestroyClass(int eventClass);
