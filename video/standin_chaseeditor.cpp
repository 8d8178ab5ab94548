// Stand-in until the chase editor and the frame render define these.
#include "video/standin_chaseeditor.h"

__attribute__((weak)) UIWINDOW *g_pChaseEditWindow = nullptr;
__attribute__((weak)) CHASE *g_pEditChase = nullptr;
__attribute__((weak)) int32_t g_iChaseEditPage = 0;
__attribute__((weak)) int32_t g_iSceneExtent = 0;
__attribute__((weak)) const VIDPATHPREVIEW *g_pPathPreview = nullptr;
__attribute__((weak)) int32_t g_iCameraScale = 9500;
