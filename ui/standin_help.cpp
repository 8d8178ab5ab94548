// Stand-in until the help pages are built: the introduction they show at start-up. With no pages
// to load, a busy box would only flash and hold the pad for nothing, so it is only noted.
#include "app/calllog.h"
#include "ui/langtext.h"

void Ui_ShowIntroduction()
{
    Sys_CallLog("Ui_ShowIntroduction");
}
