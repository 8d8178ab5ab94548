// Stand-ins for the busy box operations whose subsystems are not built yet: the library riff
// load (the sequencer) and the library clip load (the video library). Each logs what it would
// load and succeeds, so the pop-up's flow runs through to its follow-up.
#include "app/calllog.h"
#include "core/padbind.h"
#include "ui/busybox.h"
#include "ui/popup.h"

namespace {

// Stand-in.
uint8_t LoadLibraryRiff()
{
    Sys_CallLog("Seq_LoadLibraryRiffLocal");
    return 0;
}

// Stand-in.
uint8_t LoadLibraryClip()
{
    Sys_CallLog("Vid_LoadLibraryClip");
    return 0;
}

void CloseCurrentPopup()
{
    if (g_pCurrentPopup && !g_pCurrentPopup->free)
        Ui_ClosePopup();
}

void BackToPopup()
{
    if (g_pCurrentPopup && !g_pCurrentPopup->free && g_pCurrentPopup->window) {
        Ui_SetFocus(g_pCurrentPopup->window);
        g_iNextScreen = 9;
    }
}

} // namespace

void Ui_InitStandinBusyOperations()
{
    Ui_SetBusyOperation(1, LoadLibraryRiff, CloseCurrentPopup);
    Ui_SetBusyOperation(14, LoadLibraryRiff, BackToPopup);
    Ui_SetBusyOperation(21, LoadLibraryClip, CloseCurrentPopup);
}
