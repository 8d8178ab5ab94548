// Stand-in for the browser list views' redraw mark until the interface framework is built. Weak,
// so the real definition wins at link time.
#include "ui/standin_ui.h"

#include "app/calllog.h"

__attribute__((weak)) void Ui_MarkBrowserListsDirty()
{
    Sys_CallLog("Ui_MarkBrowserListsDirty");
}
