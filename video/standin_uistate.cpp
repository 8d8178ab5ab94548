// Stand-ins until the editor screens build these: level 0.
#include "video/standin_uistate.h"

__attribute__((weak)) uint8_t g_ucGridKind = 0;
__attribute__((weak)) uint8_t g_ucGridPasteMode = 0;
__attribute__((weak)) uint8_t g_ucScreenSubState = 0;
__attribute__((weak)) int32_t g_iGridCursorColumn = 0;
__attribute__((weak)) int32_t g_iWindowX = 0;
__attribute__((weak)) int32_t g_iWindowY = 0;
