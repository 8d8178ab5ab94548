#include "ui/requesters.h"

#include "jam/jamsession.h"

#include "app/calllog.h"
#include "app/devices.h"
#include "app/timers.h"
#include "core/padbind.h"
#include "core/soundlib.h"
#include "ui/langtext.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/toolbar.h"
#include "ui/widgets.h"

#include <cstdio>
#include <cstring>

MSGBOX *g_pWavSaveBox = nullptr;

namespace {

constexpr int32_t kScreenOptions = 22;

// Set while the mixdown box is gone because its Stop closed it: the end then shows "Finished"
// in a box of its own.
bool s_bWavBoxStopped = false;

MSGBOX *OpenBox(int16_t text, int16_t left, int16_t right, MSGBOXANSWERFN answer)
{
    MSGBOXREQUEST r{};
    r.pszText = Ui_Text(text);
    r.ucButtonCount = right < 0 ? 1 : 2;
    r.asButtonText[0] = left;
    r.asButtonText[1] = right < 0 ? 0 : right;
    r.pfnAnswer = answer;
    return Ui_OpenMessageBox(&r);
}

// After a display-test box: the mode list closes and the options come back.
void BackToOptions()
{
    if (g_pCurrentPopup && !g_pCurrentPopup->free)
        Ui_ClosePopup();
    if (WINDOW *options = g_atWindowRoles[UI_ROLE_OPTION].window; options && Ui_WindowIsOpen(options))
        Ui_SetFocus(options);
    g_iNextScreen = kScreenOptions;
}

// The box is still the mixdown's own: a closed slot may already hold another box.
bool WavBoxOpen()
{
    return g_pWavSaveBox && g_pWavSaveBox->pWindow && g_pWavSaveBox->pfnAnswer == Ui_WavSaveStopPressed;
}

} // namespace

void Ui_AskQuit()
{
    Sys_CallLog("Ui_AskQuit");
    // One question is enough however often the window is asked to close.
    for (const MSGBOX &box : g_aMsgBoxes)
        if (box.pWindow && box.pfnAnswer == Ui_QuitBoxAnswer)
            return;
    Sys_PauseAudioMix(0);
    // A hint left on screen would be saved under the box and come back after it.
    g_szHintText[0] = 0;
    if (!OpenBox(571, 112, 114, Ui_QuitBoxAnswer))
        Sys_ResumeAudioMix(0); // no free box: the studio goes on as before
}

void Ui_QuitBoxAnswer(uint8_t button)
{
    Sys_CallLog("Ui_QuitBoxAnswer");
    if (button == 1)
        Sys_RequestQuit();
    Sys_ResumeAudioMix(0);
}

void Ui_AskTestDisplayMode()
{
    Sys_CallLog("Ui_AskTestDisplayMode");
    OpenBox(589, 112, 114, Ui_DisplayTestStart);
}

void Ui_DisplayTestStart(uint8_t button)
{
    BackToOptions();
    if (button != 1)
        return;
    if (Sys_TryDisplayMode(g_iRequestedGfxDevice, g_iRequestedGfxMode) != 0)
        Ui_ReportDisplayModeFailed();
    else
        Ui_AskSawTestPattern();
}

void Ui_AskSawTestPattern()
{
    Sys_CallLog("Ui_AskSawTestPattern");
    OpenBox(590, 111, 110, Ui_DisplayTestAnswer);
}

void Ui_DisplayTestAnswer(uint8_t button)
{
    BackToOptions();
    if (button != 1)
        return; // the display is already back on the mode in force
    if (g_iRequestedGfxMode >= 0)
        Sys_QueryDisplayMode();
    else if (g_iRequestedGfxDevice >= 0)
        Sys_SwitchGfxDevice(g_iRequestedGfxDevice);
}

void Ui_ReportDisplayModeFailed()
{
    Sys_CallLog("Ui_ReportDisplayModeFailed");
    OpenBox(591, 114, -1, Ui_DisplayTestBoxClosed);
}

void Ui_DisplayTestBoxClosed(uint8_t)
{
    g_iNextScreen = kScreenOptions;
}

void Ui_OpenWavSaveProgress(const char *, int)
{
    Sys_CallLog("Ui_OpenWavSaveProgress");
    // The blanks size the box for the percentage line; the box then shows the plain title.
    char title[MSGBOX_TEXT_COPY];
    std::snprintf(title, sizeof(title), "%s                  ", Ui_Text(603));
    MSGBOXREQUEST r{};
    r.ucIcon = 4;
    r.pszText = title;
    r.ucButtonCount = 1;
    r.asButtonText[0] = 514;
    r.pfnAnswer = Ui_WavSaveStopPressed;
    r.ucFlags = MSGBOX_COPY_TEXT | MSGBOX_MIXDOWN_PERCENT;
    s_bWavBoxStopped = false;
    g_pWavSaveBox = Ui_OpenMessageBox(&r);
    if (g_pWavSaveBox)
        std::snprintf(g_pWavSaveBox->szText, sizeof(g_pWavSaveBox->szText), "%s", Ui_Text(603));
}

void Ui_WavSaveStopPressed(uint8_t)
{
    Sys_CallLog("Ui_WavSaveStopPressed");
    // The box is closing with this answer.
    g_pWavSaveBox = nullptr;
    if (g_bMixdownRunning) {
        g_bMixdownAbort = 1;
        s_bWavBoxStopped = true;
    }
}

void Ui_FinishWavSaveProgress()
{
    Sys_CallLog("Ui_FinishWavSaveProgress");
    if (WavBoxOpen()) {
        MSGBOX *box = g_pWavSaveBox;
        std::snprintf(box->szText, sizeof(box->szText), "%s", Ui_Text(605));
        box->pszText = box->szText;
        box->asButtonText[0] = 114;
        // The box stays up until "Okay"; its answer no longer stops anything.
        box->pfnAnswer = nullptr;
    } else if (s_bWavBoxStopped) {
        OpenBox(605, 114, -1, nullptr);
    }
    g_pWavSaveBox = nullptr;
    s_bWavBoxStopped = false;
}

void Ui_SetVoiceStub(int32_t, int32_t) {}

void Ui_JamBoxClosed(uint8_t)
{
    Sys_CallLog("Ui_JamBoxClosed");
    g_iNextScreen = 10;
    // The box's callback runs from the frame, after the box has let go of the keys: the jam can
    // end here as its own end box does.
    Jam_EndSession(1);
}
