// The information box: the platform's modal message box (logged, and answered at once, headless).
#include "app/crash.h"
#include "platform/window.h"

int Sys_InfoBox(const char *caption, const char *text)
{
    return Plat_MessageBox(caption, text);
}
