// STAND-INS (see standin_riffeditor.h).
#include "ui/standin_riffeditor.h"

#include "app/calllog.h"
#include "app/timers.h"
#include "render/prims2d.h"
#include "ui/handlers.h"

#include <algorithm>

#define STANDIN __attribute__((weak))

STANDIN void Ui_OpenRiffPalettePopup()
{
    Sys_CallLog("Ui_OpenRiffPalettePopup");
}

STANDIN int32_t Ui_NoteEffectNumber(uint8_t)
{
    return 0;
}
