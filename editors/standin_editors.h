// Stand-ins for the editor calls the program spine makes, until the editor screens are built.
#pragma once

#include <cstdint>

extern int32_t g_iAttractLastActivity;

void Ed_AttractTick();
void Ed_PlaylistTick();
void Ed_FunctionKeyAction(int);
