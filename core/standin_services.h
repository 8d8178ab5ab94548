// Stand-in for the browser grid layout, until it is built.
#pragma once

#include <cstdint>

void Sys_SetGridLayout();
