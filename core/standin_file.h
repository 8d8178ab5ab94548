// Stand-in for loading "win.tx" through the file wrapper, until it is built.
#pragma once

#include <cstdint>

int Sys_LoadWinTexture();
