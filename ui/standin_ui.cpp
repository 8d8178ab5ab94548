#include "ui/standin_ui.h"

#include "app/calllog.h"
#include "app/timers.h"

void * g_pCurrentPopup = nullptr;
uint8_t g_ucPopupReturn = 0;
int32_t g_bUiRedrawOnce = 0;
uint32_t g_uUiFreeMemory = 0;
int32_t g_iTexturePagesUsed = 0;

// Stand-in.
void Ui_ToggleMouseMode()
{
    Sys_CallLog("Ui_ToggleMouseMode");
}

// Stand-in.
void Ui_InitWidgetPools()
{
    Sys_CallLog("Ui_InitWidgetPools");
}

// Stand-in: one pop-up always free.
void * Ui_OpenPopup(int, const void *, int, int, int, int)
{
    Sys_CallLog("Ui_OpenPopup");
    static int s_popup;
    return &s_popup;
}

// Stand-in.
void Ui_Frame()
{
    Sys_CallLog("Ui_Frame");
}

// Stand-in.
void Ui_EscapeAction()
{
    Sys_CallLog("Ui_EscapeAction");
}

// Stand-in: the user's close request quits at once; the interface will ask first.
void Ui_HandleCloseRequest()
{
    Sys_CallLog("Ui_HandleCloseRequest");
    Sys_RequestQuit();
}

// Stand-in.
void Ui_OpenWavSaveProgress(const char *, int)
{
    Sys_CallLog("Ui_OpenWavSaveProgress");
}

// Stand-in.
void Ui_FinishWavSaveProgress()
{
    Sys_CallLog("Ui_FinishWavSaveProgress");
}
