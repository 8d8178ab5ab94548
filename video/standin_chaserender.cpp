// Stand-in until the frame render is built: the scene extent it resets each frame. Weak, so the
// frame render's own definition wins at link time.
#include "video/standin_chaserender.h"

__attribute__((weak)) int32_t g_iSceneExtent = 0;
