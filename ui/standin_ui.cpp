#include "ui/standin_ui.h"

#include "app/calllog.h"
#include "app/devices.h"
#include "app/startup.h"
#include "app/timers.h"
#include "audio/midiin.h"
#include "core/console_memory.h"
#include "core/padbind.h"
#include "ui/padslot.h"
#include "ui/widgets.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/prims2d.h"
#include "render/screentiles.h"

#include <algorithm>
#include <cstring>

uint8_t g_ucPopupReturn = 0;
int32_t g_bUiRedrawOnce = 0;
uint32_t g_uUiFreeMemory = 0;
int32_t g_iTexturePagesUsed = 0;

// The per-frame dispatcher's interface frame: the widget frame between two debug markers, then the
// riff editor's live-play notes of the frame, taken on the main thread.
void Ui_Frame()
{
    Sys_CallLog("Ui_Frame");
    Sys_DebugSetMark(4);
    Ui_WidgetFrame();
    Snd_DispatchLiveNotes();
    Sys_DebugSetMark(0);
}

// Escape backs out of whatever is open, as the screen's back slot does; on the grids it asks
// whether to quit.
void Ui_EscapeAction()
{
    Sys_CallLog("Ui_EscapeAction");
    if (g_iScreen == 0 || g_iScreen == 7)
        Ui_AskQuit();
    else
        Ui_RunPadSlot(12);
}
