// Stand-in until the file browser screen is built: the state its scroll bar acts on.
// The browser's row move is kept within its entries so the bar can be used meanwhile.
#include "ui/barmouse.h"

#include "app/calllog.h"
#include "core/browser.h"

#include <algorithm>

int32_t g_bBrowserOpen = 0;
int32_t g_iBrowserSelected = 0;

__attribute__((weak)) void Ui_BrowserMoveSelection(int32_t rows)
{
    Sys_CallLog("Ui_BrowserMoveSelection");
    const int32_t last = std::max(0, g_iBrowserEntryCount - 1);
    g_iBrowserSelected = std::clamp(g_iBrowserSelected + rows, 0, last);
}
