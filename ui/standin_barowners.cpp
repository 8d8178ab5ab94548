// Stand-in until the file browser screen, the help pages, the sample editor panel and the curve
// editor are built: the state their scroll bars act on, and no-op versions of what the bars call.
// The browser's row move is kept within its entries so the bar can be used meanwhile.
#include "ui/barmouse.h"

#include "app/calllog.h"
#include "core/browser.h"

#include <algorithm>

int32_t g_bBrowserOpen = 0;
int32_t g_iBrowserSelected = 0;
int32_t g_iHelpFirstLine = 0;
int32_t g_iHelpLineCount = 0;
int32_t g_iSampleViewStart = 0, g_iSampleViewEnd = 0, g_iSampleMarker = 0;
int32_t g_iSamplePanelIdle = 0;
WIDGET *g_pCurveScrollBar = nullptr;
int32_t g_iCurveScrollDir = 0;

__attribute__((weak)) void Ui_BrowserMoveSelection(int32_t rows)
{
    Sys_CallLog("Ui_BrowserMoveSelection");
    const int32_t last = std::max(0, g_iBrowserEntryCount - 1);
    g_iBrowserSelected = std::clamp(g_iBrowserSelected + rows, 0, last);
}

__attribute__((weak)) void Ui_RedrawHelpText()
{
    Sys_CallLog("Ui_RedrawHelpText");
}

__attribute__((weak)) void Ui_SampleScrollBack()
{
    Sys_CallLog("Ui_SampleScrollBack");
}

__attribute__((weak)) void Ui_SampleScrollOn()
{
    Sys_CallLog("Ui_SampleScrollOn");
}

__attribute__((weak)) void Ed_CurveScrollStep(WIDGET *, int32_t)
{
    Sys_CallLog("Ed_CurveScrollStep");
}
