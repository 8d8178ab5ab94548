// Stand-in until the chase editor defines these.
#include "video/standin_chaseeditor.h"

__attribute__((weak)) UIWINDOW *g_pChaseEditWindow = nullptr;
__attribute__((weak)) CHASE *g_pEditChase = nullptr;
__attribute__((weak)) int32_t g_iChaseEditPage = 0;
