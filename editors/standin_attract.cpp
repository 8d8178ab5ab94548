// Stand-in until the attract mode is built: the frame of the last user activity.
#include <cstdint>

int32_t g_iLastActivityFrame;
