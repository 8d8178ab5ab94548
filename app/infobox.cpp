// The information box and the failed-check box: the platform's modal message boxes (logged, and
// answered at once, headless).
#include "app/crash.h"
#include "core/file.h"
#include "platform/window.h"
#include "render/display.h"

#include <cstdio>
#include <cstdlib>

int Sys_InfoBox(const char *caption, const char *text)
{
    return Plat_MessageBox(caption, text);
}

void Sys_AssertBox(const char *caption, const char *fileName, int line)
{
    Gfx_FlipToGdi();
    std::snprintf(g_szErrorText, sizeof g_szErrorText, "%s (LINE #%d)", fileName ? fileName : "", line);
    if (Plat_MessageBoxOkCancel(caption, g_szErrorText) == 1)
        return;
    // Ended on purpose after a failed check: not a success, so the status says so.
    std::fflush(nullptr);
    std::_Exit(1);
}
