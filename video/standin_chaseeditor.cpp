// Stand-in until the chase editor and the frame render define these.
#include "video/standin_chaseeditor.h"

__attribute__((weak)) WINDOW *g_pChaseEditWindow = nullptr;
__attribute__((weak)) CHASE *g_pEditChase = nullptr;
__attribute__((weak)) int32_t g_iChaseEditPage = 0;
__attribute__((weak)) int32_t g_iSceneExtent = 0;
