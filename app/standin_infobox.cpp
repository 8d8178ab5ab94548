#include "app/standin_infobox.h"

#include "app/calllog.h"
#include "platform/window.h"

// Stand-in: the platform message box without the display flip.
int Sys_InfoBox(const char *caption, const char *text)
{
    Sys_CallLog("Sys_InfoBox");
    return Plat_MessageBox(caption, text);
}
