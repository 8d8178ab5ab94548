#include "ui/busybox.h"

#include "audio/sampleedit.h"
#include "core/console_memory.h"
#include "core/disc.h"
#include "core/padbind.h"
#include "editors/cdscreen.h"
#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "ui/help.h"
#include "ui/list.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/popupkinds.h"
#include "ui/samplemenu.h"
#include "ui/samplepanel.h"

#include <algorithm>
#include <cstdio>

BUSYBOX g_tBusyBox;
WINDOW *g_pBusyBoxWindow = nullptr;
BUSYOPROW g_atBusyOps[UI_BUSY_CODES];
const char *g_pszBusyReport = nullptr;

namespace {

bool ListScrolling(const POPUP *p)
{
    return p && p->list && p->list->scrollStep != 0;
}

void OnBusyClose()
{
    g_pBusyBoxWindow = nullptr;
    g_tBusyBox.window = nullptr;
    g_tBusyBox.caption = nullptr;
}

// Sample operations on the marked area.
uint8_t SampleOp(int32_t op)
{
    Snd_DoSampleEdit(op, g_iEditSelFirst, g_iEditSelLast, 0);
    return 0;
}
uint8_t Op3() { Snd_SelectEditInstrument(g_iEditInstrument, 0); return 0; }
uint8_t Op4() { Snd_ProcessEditRange(g_iEditSelFirst, g_iEditSelLast); return 0; }
uint8_t Op5() { return SampleOp(10); }
uint8_t Op6() { return SampleOp(11); }
uint8_t Op7() { return SampleOp(13); }
uint8_t Op8() { return SampleOp(12); }
uint8_t Op9() { return SampleOp(14); }
uint8_t Op18() { return SampleOp(19); }
void ToSampleEditor() { g_iNextScreen = 15; }

} // namespace

void Ui_SetBusyOperation(int32_t code, BUSYOPERATION run, BUSYFOLLOWUP followUp)
{
    if (code > 0 && code < UI_BUSY_CODES)
        g_atBusyOps[code] = {run, followUp};
}

void Ui_InitBusyOperations()
{
    for (BUSYOPROW &r : g_atBusyOps)
        r = {};
    Ui_SetBusyOperation(3, Op3, ToSampleEditor);
    Ui_SetBusyOperation(4, Op4, ToSampleEditor);
    Ui_SetBusyOperation(5, Op5, ToSampleEditor);
    Ui_SetBusyOperation(6, Op6, ToSampleEditor);
    Ui_SetBusyOperation(7, Op7, ToSampleEditor);
    Ui_SetBusyOperation(8, Op8, ToSampleEditor);
    Ui_SetBusyOperation(9, Op9, ToSampleEditor);
    Ui_SetBusyOperation(18, Op18, ToSampleEditor);
    Ui_InitLibraryBusyOperations();
    Ui_InitHelpOperations();
    Ui_InitSamplePanelOperations();
    Ui_InitSampleMenuOperations();
    Ed_InitCdOperations();
}

void Ui_ResetBusyBox()
{
    g_tBusyBox = BUSYBOX{};
    g_pBusyBoxWindow = nullptr;
    g_pszBusyReport = nullptr;
    Ui_InitBusyOperations();
}

WINDOW *Ui_OpenBusyBox(const char *name, const char *text, int32_t x, int32_t y, int32_t code)
{
    (void)y; // always centred vertically
    // One box: a pending one goes, and its operation with it.
    if (g_pBusyBoxWindow && Ui_WindowIsOpen(g_pBusyBoxWindow) && g_pBusyBoxWindow->draw == Ui_BusyBoxTick)
        Ui_CloseWindow(g_pBusyBoxWindow);
    OnBusyClose();
    BUSYBOX &b = g_tBusyBox;
    std::snprintf(b.name, sizeof b.name, "%s", name ? name : "");
    std::snprintf(b.text, sizeof b.text, "%s", text ? text : "");
    FONT *font = g_pFont;
    g_pFont = &g_tFontMain;
    const int32_t widest = std::max(Gfx_GetTextWidth(b.text), Gfx_GetTextWidth(b.name));
    g_pFont = font;
    const int32_t w = 150 + std::max(0, widest - 112);
    const int32_t h = 70;
    WINDOWDESC d{};
    d.x = uint16_t(x == UI_BUSY_CENTRED ? std::max(0, (g_iScreenWidth - w) / 2) : std::max(0, x));
    d.y = uint16_t(std::max(0, g_iScreenHeight / 2 - 35));
    d.w = uint16_t(w);
    d.h = uint16_t(h);
    d.draw = Ui_BusyBoxTick;
    d.user = &b;
    WINDOW *win = Ui_OpenWindow(&d);
    b.countdown = 0;
    g_iBusyCountdown = 0;
    if (!win)
        return nullptr;
    Ui_BuildInsetBevel(&b.lines, 6, 49, w - 13, 14);
    TEXTFIELDDESC f{b.text, 6, 5, int16_t(w - 13), 14, win, 0, 0, 128, 0};
    b.caption = Ui_CreateTextField(&f);
    b.window = win;
    g_pBusyBoxWindow = win;
    b.countdown = 5;
    g_iBusyCountdown = 5;
    b.code = uint8_t(code > 0 && code < UI_BUSY_CODES ? code : 0);
    b.result = 0;
    g_iNextScreen = 10;
    return win;
}

void Ui_BusyBoxTick(void *user)
{
    BUSYBOX &b = *static_cast<BUSYBOX *>(user);
    if (g_pUpdatingWindow && g_pUpdatingWindow != b.window)
        return; // a closed box's window on its way out
    FONT *font = g_pFont;
    g_pFont = &g_tFontMain;
    Ui_LinkBevel(&b.lines);
    const uint32_t colour = g_uiTextColour;
    g_uiTextColour = 0x006480; // 128, 100, 0
    if (b.window)
        Gfx_DrawTextCentred(b.name, b.window->w / 2, 51, g_pOrderingTable);
    g_uiTextColour = colour;
    g_pFont = font;
    b.result = 0;
    // Only the current box's own window counts down: a closed one still on the stack shares the
    // state but not the operation.
    if (!b.countdown || !b.window || g_pBusyBoxWindow != b.window || (g_pUpdatingWindow && g_pUpdatingWindow != b.window))
        return;
    // A pop-up list finishing its scroll step holds the operation back.
    if (!ListScrolling(static_cast<POPUP *>(g_pCurrentPopup)))
        b.countdown--;
    if (ListScrolling(g_pParentPopup))
        b.countdown++;
    g_iBusyCountdown = b.countdown;
    if (b.countdown != 1)
        return;
    const BUSYOPROW op = b.code ? g_atBusyOps[b.code] : BUSYOPROW{};
    Gfx_ResetFrameBuffer();
    g_bFramesHeld = 1;
    if (op.run)
        b.result = op.run();
    Gfx_ResetFrameBuffer();
    g_bFramesHeld = 0;
    const uint8_t result = b.result;
    Ui_CloseWindow(b.window);
    OnBusyClose();
    b.countdown = 0;
    g_iBusyCountdown = 0;
    if (op.followUp)
        op.followUp();
    Ui_ReportBusyResult(result);
}

void Ui_ReportBusyResult(uint8_t result)
{
    if (MSGBOX *box = Ui_ShowOperationResult(result))
        g_pszBusyReport = box->pszText;
}
