// Stand-ins for the overlays and the browser grid layout, until they are built.
#pragma once

#include <cstdint>

void Sys_SwitchOverlay(int overlay);
void Sys_SetGridLayout();
