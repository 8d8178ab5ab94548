// A headless display in a 640 x 480 mode with the 3-D device, its lights and material, for tests
// of 3-D drawing and of the calls that reach the device.
#pragma once

#include <cstdint>

// Mode 0 is 640 x 480 in 5:6:5, mode 1 the same in 5:5:5. True when everything was made.
bool Test3D_Open(int32_t mode = 0);
void Test3D_Close();
