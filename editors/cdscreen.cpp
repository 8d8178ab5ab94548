#include "editors/cdscreen.h"

#include "app/calllog.h"
#include "app/timers.h"
#include "audio/capture.h"
#include "audio/cdaudio.h"
#include "core/padbind.h"
#include "core/soundlib.h"
#include "editors/options.h"
#include "editors/topbar.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "sequencer/instruments.h"
#include "sequencer/livehook.h"
#include "ui/busybox.h"
#include "ui/gridops.h"
#include "ui/frontend.h"
#include "ui/gridsetup.h"
#include "ui/gridstate.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/textfield.h"
#include "ui/valueslider.h"
#include "ui/widgets.h"
#include "video/autovideo.h"
#include "video/engine.h"
#include "video/lanes.h"
#include "video/render.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

WINDOW *g_pCdWindow = nullptr;
uint8_t g_ucCdState = CDSCREEN_STOPPED;
uint8_t g_ucCdCursor = CDBUTTON_PLAY;
CDTRACKENTRY *g_pCdTrackTable = nullptr;
int16_t g_sCdTrackCount = 0;
int16_t g_sCdTrack = 1;
uint8_t g_aucCdLength[3];
uint8_t g_aucCdElapsed[3];
uint8_t g_ucCdHold = 0;
uint8_t g_ucCdFrequency = 1;
uint8_t g_bCdCursorLatched = 0;
uint8_t g_bCdVideoMode = 0;
uint8_t g_ucCdFade = 0;
int16_t g_sCdIdle = 0;
MSGBOX *g_pCdMessageBox = nullptr;
int32_t g_iCdLastSampledSlot = 0;
WINDOW *g_pCdOptionsWindow = nullptr;
int32_t g_iCdVariety = 50, g_iCdRateOfChange = 50, g_iCdThirdValue = 50;
uint8_t g_ucCdOptionsMode = 1;

namespace {

uint8_t s_ucGridKindBack = 2;
int16_t s_sVideoTrackSeen = 0;
uint8_t s_ucAnimation = 0;
uint8_t s_ucAnimationTick = 0;
int s_iLastStatus = 0;
uint8_t s_bDoorOpen = 0;
int16_t s_sReloadCountdown = 0;
uint8_t *s_pCaptureBuffer = nullptr;
OPTIONGADGET s_atCdPage[ED_GADGETS];
TEXTFIELD *s_pOptionsCaption = nullptr;
char s_szSamplingText[64];
constexpr int16_t kVideoWidth = 208, kVideoHeight = 180;
int16_t s_asVideoView[4];
void SetVideoView();

// The buttons' rows: a gadget row spans its y to y + 16 and x - 75 to x + 75.
constexpr int16_t kCdButtonX = 83, kCdNoVideoY = 61, kCdGenerateY = 77;

enum
{
    GADGET_VARIETY,
    GADGET_RATE,
    GADGET_NO_VIDEO,
    GADGET_GENERATE,
};

int32_t Seconds(const CDTRACKENTRY &e)
{
    return e.bMinute * 60 + e.bSecond;
}

int32_t PositionSeconds()
{
    const int pos = Snd_CdGetPosition();
    return (pos & 0xFF) * 60 + (pos >> 8 & 0xFF);
}

void TrackStart(int track, int *m, int *s, int *f)
{
    const CDTRACKENTRY &e = g_pCdTrackTable[std::clamp(track, 1, CD_TABLE_ENTRIES - 1)];
    *m = e.bMinute;
    *s = e.bSecond;
    *f = e.bFrame;
}

void ComputeLength()
{
    if (!g_pCdTrackTable || g_sCdTrack < 1 || g_sCdTrack > g_sCdTrackCount) {
        std::memset(g_aucCdLength, 0, 3);
        return;
    }
    // The entry after the last track holds the end of the disc.
    const int32_t next = Seconds(g_pCdTrackTable[g_sCdTrack + 1]);
    Ed_CdSplitTime(std::max(0, next - Seconds(g_pCdTrackTable[g_sCdTrack])), g_aucCdLength);
}

void ComputeElapsed()
{
    if (!g_pCdTrackTable || g_sCdTrack < 1 || g_sCdTrack > g_sCdTrackCount) {
        std::memset(g_aucCdElapsed, 0, 3);
        return;
    }
    Ed_CdSplitTime(std::max(0, PositionSeconds() - Seconds(g_pCdTrackTable[g_sCdTrack])), g_aucCdElapsed);
}

int32_t TimeSeconds(const uint8_t t[3])
{
    return t[0] * 3600 + t[1] * 60 + t[2];
}

void FreeTable()
{
    std::free(g_pCdTrackTable);
    g_pCdTrackTable = nullptr;
    g_sCdTrackCount = 0;
}

void ReadTable()
{
    if (!g_pCdTrackTable)
        g_pCdTrackTable = static_cast<CDTRACKENTRY *>(std::calloc(CD_TABLE_ENTRIES, sizeof(CDTRACKENTRY)));
    if (!g_pCdTrackTable) {
        g_sCdTrackCount = 0;
        return;
    }
    std::memset(g_pCdTrackTable, 0, CD_TABLE_ENTRIES * sizeof(CDTRACKENTRY));
    // The drive fills entries 1..count + 1; a full disc has 99 tracks, and the table holds 101.
    const int count = Snd_CdGetTrackTable(g_pCdTrackTable);
    g_sCdTrackCount = int16_t(std::clamp(count, 0, CD_TABLE_ENTRIES - 2));
    if (g_sCdTrackCount > 0)
        g_pCdTrackTable[0] = g_pCdTrackTable[g_sCdTrackCount + 1];
}

void GoToTrackStart(int track, bool play)
{
    int m, s, f;
    TrackStart(track, &m, &s, &f);
    if (play)
        Snd_CdPlayFrom(m, s, f);
    else
        Snd_CdSeek(m, s, f);
}

void LoadDisc()
{
    if (g_pCdWindow)
        Ui_SetFocus(g_pCdWindow);
    g_iNextScreen = SCREEN_CD;
    g_ucCdCursor = CDBUTTON_PLAY;
    std::memset(g_aucCdLength, 0, 3);
    std::memset(g_aucCdElapsed, 0, 3);
    if (g_bCdVideoMode)
        SetVideoView();
    ReadTable();
    g_sCdTrack = 1;
    if (g_sCdTrackCount < 1) {
        g_ucCdState = CDSCREEN_NO_DISC;
        return;
    }
    GoToTrackStart(1, false);
    ComputeLength();
    g_ucCdHold = 0;
    g_ucCdState = CDSCREEN_CHOSEN;
    ComputeElapsed();
}

void StopCapture()
{
    g_iRecordRunning = 0;
    if (s_pCaptureBuffer) {
        Sys_StopTickTimer();
        Snd_StopRecording();
        g_p_ucRecordBuffer = nullptr;
        std::free(s_pCaptureBuffer);
        s_pCaptureBuffer = nullptr;
    }
    Seq_RemoveStepHook();
}

void StartCapture()
{
    g_iRecordRunning = 1;
    if (!s_pCaptureBuffer)
        s_pCaptureBuffer = static_cast<uint8_t *>(std::calloc(1, SEQ_RECORD_BUFFER_BYTES));
    if (!s_pCaptureBuffer) {
        g_iRecordRunning = 0;
        return;
    }
    g_p_ucRecordBuffer = s_pCaptureBuffer;
    Snd_StartRecording(44100, s_pCaptureBuffer, SEQ_RECORD_BUFFER_BYTES, 0);
    Sys_StartTickTimer();
    Seq_InstallStepHook();
    g_iShownPosition = 0;
}

void ForgetVideo()
{
    Vid_ResetVideo();
    Vid_FreeAllClipsAndChases();
}

void BackToEditor()
{
    if (g_pGridWindow && Ui_WindowIsOpen(g_pGridWindow)) {
        Ui_SetFocus(g_pGridWindow);
        Ui_ReturnToEditorMenu();
    } else {
        Ui_ReturnToMainScreen();
    }
}

void Sampled(uint8_t)
{
    g_pCdMessageBox = nullptr;
    if (g_ucCdState == CDSCREEN_SAMPLING) {
        g_ucCdCursor = CDBUTTON_STOP;
        Ed_CdTransportAction();
    }
    g_iNextScreen = SCREEN_CD;
}

void OpenSamplingBox()
{
    std::snprintf(s_szSamplingText, sizeof s_szSamplingText, "%-28s", Ui_Text(515));
    MSGBOXREQUEST req{};
    req.ucIcon = 4;
    req.pszText = s_szSamplingText;
    req.ucButtonCount = 1;
    req.asButtonText[0] = 514;
    req.ucFlags = MSGBOX_COPY_TEXT | MSGBOX_RECORD_TIME;
    req.pfnAnswer = Sampled;
    g_pCdMessageBox = Ui_OpenMessageBox(&req);
}

void DiscAnswer(uint8_t button)
{
    g_pCdMessageBox = nullptr;
    if (button == 1) {
        if (g_iCdDeviceId == -1)
            Snd_CdOpenDevice();
        if (Snd_CdGetTrackCount() > 0)
            Ed_OpenCdScreen();
        else
            Ed_AskForAudioCd();
        return;
    }
    if (g_bCdVideoMode) {
        // Nothing will leave the screen that would stop the capture: stop it here.
        StopCapture();
        ForgetVideo();
        g_bCdVideoMode = 0;
    }
    BackToEditor();
}

void LeaveAnswer(uint8_t button)
{
    g_pCdMessageBox = nullptr;
    if (button == 1)
        Ed_CdLeave();
    else
        g_iNextScreen = SCREEN_CD;
}

uint8_t GenerateVideo()
{
    return Vid_BuildAutoVideo(g_iCdVariety, g_iCdRateOfChange, g_iCdThirdValue, g_ucCdOptionsMode == 1 ? 1 : 0)
               ? 0
               : 20;
}

void AfterGenerate()
{
    if (g_ucCdOptionsMode == 1) {
        StartCapture();
        Ed_AskForAudioCd();
    } else {
        BackToEditor();
    }
}

void StartGenerating()
{
    Sys_SwitchOverlay(0);
    Ed_CloseCdOptions();
    g_bCdVideoMode = g_ucCdOptionsMode == 1 ? 1 : 0;
    Ui_OpenBusyBox(Ui_Text(397), Ui_Text(41), UI_BUSY_CENTRED, 100, 23);
}

void OverwriteAnswer(uint8_t button)
{
    if (button == 1)
        StartGenerating();
    else
        g_iNextScreen = SCREEN_OPTIONS;
}

void NoVideoAction()
{
    Sys_SwitchOverlay(0);
    Ed_CloseCdOptions();
    g_bCdVideoMode = 0;
    Ed_AskForAudioCd();
}

bool SongHasVideo()
{
    return Vid_GetVideoEnd() > 0;
}

void GenerateAction()
{
    if (g_bSoftware3D == 1) {
        Seq_PlayInterfaceSound(3);
        return;
    }
    if (SongHasVideo()) {
        MSGBOXREQUEST req{};
        req.ucIcon = 5;
        req.pszText = Ui_Text(527);
        req.ucButtonCount = 2;
        req.asButtonText[0] = 112;
        req.asButtonText[1] = 114;
        req.pfnAnswer = OverwriteAnswer;
        Ui_OpenMessageBox(&req);
        return;
    }
    StartGenerating();
}

void BuildOptionsPage(uint8_t mode)
{
    for (OPTIONGADGET &g : s_atCdPage)
        g = OPTIONGADGET{};
    const int16_t texts[2] = {392, 393};
    int32_t *targets[2] = {&g_iCdVariety, &g_iCdRateOfChange};
    for (int i = 0; i < 2; i++) {
        OPTIONGADGET &g = s_atCdPage[i];
        g.text = texts[i];
        g.x = 148;
        g.y = int16_t(25 + 18 * i);
        g.kind = GADGET_SLIDER;
        g.width = SLIDER_I32;
        g.minimum = 0;
        g.maximum = 100;
        g.target = targets[i];
        g.link[GADGET_LEFT] = g.link[GADGET_RIGHT] = -1;
        g.link[GADGET_UP] = int8_t(i == 0 ? -1 : 0);
        g.link[GADGET_DOWN] = int8_t(i == 0 ? 1 : GADGET_GENERATE);
    }
    OPTIONGADGET &none = s_atCdPage[GADGET_NO_VIDEO];
    OPTIONGADGET &gen = s_atCdPage[GADGET_GENERATE];
    // The two buttons stand one above the other, on the rows the page's click map knows.
    gen.text = 395;
    gen.kind = GADGET_BUTTON;
    gen.action = GenerateAction;
    gen.x = kCdButtonX;
    gen.y = kCdGenerateY;
    gen.link[GADGET_UP] = mode == 1 ? GADGET_NO_VIDEO : GADGET_RATE;
    gen.link[GADGET_DOWN] = -1;
    gen.link[GADGET_LEFT] = mode == 1 ? GADGET_NO_VIDEO : -1;
    gen.link[GADGET_RIGHT] = -1;
    if (g_bSoftware3D == 1)
        gen.flags |= GADGET_DISABLED;
    if (mode == 1) {
        none.text = 394;
        none.kind = GADGET_BUTTON;
        none.action = NoVideoAction;
        none.x = kCdButtonX;
        none.y = kCdNoVideoY;
        none.link[GADGET_LEFT] = -1;
        none.link[GADGET_RIGHT] = GADGET_GENERATE;
        none.link[GADGET_UP] = GADGET_RATE;
        none.link[GADGET_DOWN] = GADGET_GENERATE;
        s_atCdPage[GADGET_RATE].link[GADGET_DOWN] = GADGET_NO_VIDEO;
    }
}

void DrawAt(int32_t cx, int32_t cy, int32_t dx, int32_t dy, const char *text, uint32_t colour,
            int32_t align = GFX_TEXT_LEFT, int32_t font = 1)
{
    Gfx_DrawTextInFont(text, cx + dx, cy + dy, &g_atUiFonts[font], colour, g_pOrderingTable, align);
}

// The panel is drawn from boxes and marks of its own, so it reads the same whatever pictures
// the content holds. The transport row and the "FREQ." choices stand exactly where the screen's
// click map finds them (ui/clickmaps.h); the small texts use the grid's small font.
void DrawPanel()
{
    const int32_t cx = g_iScreenWidth / 2, cy = g_iScreenHeight / 2;
    static const char *const kMarks[CDBUTTONS] = {"|<", "<<", ">", "o", "||", "[]", ">>", ">|", "^", "X"};
    const bool focused = g_pFocusWidget == g_pCdWindow;
    for (int n = 0; n < CDBUTTONS; n++) {
        const int32_t x = cx - 105 + 21 * n, y = cy + 97;
        const bool lit = n == g_ucCdCursor && focused;
        const bool dim = n == CDBUTTON_SAMPLE && g_bCdVideoMode;
        const uint32_t colour = dim ? 0x404040u : lit ? 0x00ff60u : 0xc0c0c0u;
        DrawAt(x, y, 10, 2, kMarks[n], colour, GFX_TEXT_CENTRED, 0);
        if (lit)
            Gfx_AddTile(x + 1, y + 1, 18, 16, 0, 72, 24);
        Gfx_AddInsetBox(x, y, 20, 18);
    }
    static const char *const kStates[6] = {">", "[]", ">>", "<<", "||", "o"};
    if (g_ucCdState < 6)
        DrawAt(cx, cy, -6, 118, kStates[g_ucCdState], 0xffc000u, GFX_TEXT_CENTRED);
    else if (g_ucCdState == CDSCREEN_NO_DISC)
        DrawAt(cx, cy, -6, 118, "-", 0x6060a0u, GFX_TEXT_CENTRED);
    char text[64];
    std::snprintf(text, sizeof text, "%s: %.2d/%.2d", Ui_Text(376), int(g_sCdTrack), int(g_sCdTrackCount));
    DrawAt(cx, cy, -104, 117, text, 0xc0c0c0u);
    Ed_CdFormatTime(g_aucCdLength, text, sizeof text);
    DrawAt(cx, cy, 7, 117, text, 0xc0c0c0u);
    Ed_CdFormatTime(g_aucCdElapsed, text, sizeof text);
    DrawAt(cx, cy, 7, 123, text, 0xffffffu);
    DrawAt(cx, cy, 66, 117, "FREQ.", 0xc0c0c0u);
    static const char *const kFreq[3] = {"11", "22", "44"};
    for (int i = 0; i < 3; i++) {
        const int32_t x = cx + 66 + 12 * i, y = cy + 123;
        const bool chosen = i == g_ucCdFrequency;
        DrawAt(x, y, 0, 0, kFreq[i], chosen ? 0xffffffu : 0x806e00u);
        if (chosen)
            Gfx_AddTile(x - 1, y, 11, 7, 0, 110, 128); // r, g, b
    }
    if (g_ucCdState == CDSCREEN_PLAYING || g_ucCdState == CDSCREEN_SAMPLING) {
        static const char *const kTurn[4] = {"|", "/", "-", "\\"};
        DrawAt(cx, cy, 52, 118, kTurn[s_ucAnimation & 3], 0x00e040u, GFX_TEXT_CENTRED);
    }
    Gfx_AddInsetBox(cx - 113, cy + 90, 226, 42);
}

// The generated video's picture, above the panel: 208 x 180 from the screen centre's
// (-104, -110). The screen's own window shows it, so the video takes no window of its own.
void SetVideoView()
{
    s_asVideoView[0] = int16_t(std::max(0, g_iScreenWidth / 2 - 104));
    s_asVideoView[1] = int16_t(std::max(0, g_iScreenHeight / 2 - 110));
    s_asVideoView[2] = kVideoWidth;
    s_asVideoView[3] = kVideoHeight;
    Vid_SetViewport(s_asVideoView);
    // The lanes take the clips at the video's start now, not when the position first moves.
    Vid_ForceVideoPosition(0);
    g_bLaneUpdateForce = 1;
}

// Black ground, laid in tiles no larger than a tile primitive takes (256 x 256).
void Ground(int32_t x0, int32_t y0, int32_t w, int32_t h)
{
    for (int32_t y = y0; y < y0 + h; y += 256)
        for (int32_t x = x0; x < x0 + w; x += 256)
            Gfx_AddTile(x, y, std::min(256, x0 + w - x), std::min(256, y0 + h - y), 0, 0, 0);
}

void DrawVideo()
{
    Vid_RenderFrame();
    if (g_bGpuLayerFlush)
        Gfx_CopySurfaceRectToFrame(s_asVideoView[0], s_asVideoView[1], s_asVideoView[2], s_asVideoView[3]);
    const int32_t x = s_asVideoView[0], y = s_asVideoView[1];
    Gfx_AddInsetBox(x - 1, y - 1, kVideoWidth + 2, kVideoHeight + 2);
}

} // namespace

void Ed_CdSplitTime(int32_t seconds, uint8_t out[3])
{
    seconds = std::max(0, seconds);
    out[0] = uint8_t(std::min(seconds / 3600, 255));
    out[1] = uint8_t(seconds / 60 % 60);
    out[2] = uint8_t(seconds % 60);
}

void Ed_CdFormatTime(const uint8_t t[3], char *out, int size)
{
    std::snprintf(out, size_t(size), "%.2d:%.2d:%.2d", int(t[0]), int(t[1]), int(t[2]));
}

// ---------------------------------------------------------------- the options page

void Ed_CdPlayerCommand()
{
    Sys_CallLog("Ed_CdPlayerCommand");
    g_bCdVideoMode = 0;
    Ed_OpenCdOptions(1);
}

void Ed_AutoGenerateVideoCommand()
{
    Ed_OpenCdOptions(2);
}

void Ed_OpenCdOptions(uint8_t mode)
{
    Sys_CallLog("Ed_OpenCdOptions");
    if (Ui_WindowIsOpen(g_pOptionWindow)) {
        Ui_PlayRefusal();
        return;
    }
    g_ucCdOptionsMode = mode == 2 ? 2 : 1;
    // Labels stand left of the 180-pixel sliders: the page is as wide as both.
    constexpr int32_t w = 340, h = 98;
    WINDOWDESC d{};
    d.x = uint16_t(std::max(0, (g_iScreenWidth - w) / 2));
    d.y = uint16_t(std::max(0, (g_iScreenHeight - h) / 2));
    d.w = w;
    d.h = h;
    d.style = 1;
    d.draw = Ed_OptionPageDraw;
    WINDOW *win = Ui_OpenWindow(&d);
    if (!win) {
        Ui_PlayRefusal();
        return;
    }
    g_pOptionWindow = g_pCdOptionsWindow = win;
    // Still the options window for those who return to it, but its rows answer the page's own
    // click map (on the press), not the settings pages' (on the release).
    Ui_SetWindowRole(UI_ROLE_OPTION, win, nullptr);
    Ui_SetWindowRole(UI_ROLE_CD_OPTIONS, win, nullptr);
    BuildOptionsPage(g_ucCdOptionsMode);
    g_ucOptionPageMode = 4;
    if (!Ed_ShowGadgetPage(s_atCdPage, -1)) {
        Ed_DropGadgetPage();
        Ui_CloseWindow(win);
        g_pOptionWindow = g_pCdOptionsWindow = nullptr;
        g_pGadgetPage = g_pCurrentGadget = nullptr;
        g_ucOptionPageMode = 0;
        Ui_PlayRefusal();
        return;
    }
    TEXTFIELDDESC td{};
    td.text = Ui_Text(396);
    td.x = 6;
    td.y = 7;
    td.w = int16_t(w - 13);
    td.h = 14;
    td.parent = win;
    td.b = 128;
    s_pOptionsCaption = Ui_CreateTextField(&td);
    Ui_SetMenuPage(31);
    Ui_SetFocus(win);
    g_iNextScreen = SCREEN_OPTIONS;
    g_pCurrentGadget = &s_atCdPage[GADGET_GENERATE];
    Ed_GadgetFocus(g_pCurrentGadget);
}

void Ed_CloseCdOptions()
{
    Sys_CallLog("Ed_CloseCdOptions");
    if (g_pCdOptionsWindow && g_pOptionWindow == g_pCdOptionsWindow && g_ucOptionPageMode == 4) {
        Ed_StoreGadgetValues();
        Ed_CloseGadgetWindow();
        g_ucOptionPageMode = 0;
    }
    Ed_CdOptionsClosed();
}

void Ed_CdOptionsClosed()
{
    g_pCdOptionsWindow = nullptr;
    s_pOptionsCaption = nullptr;
    // Back to the editor; the page's actions open their box or busy box over it.
    BackToEditor();
}

void Ed_AskForAudioCd()
{
    Sys_CallLog("Ed_AskForAudioCd");
    MSGBOXREQUEST req{};
    req.ucIcon = 5;
    req.pszText = Ui_Text(412);
    req.ucButtonCount = 2;
    req.asButtonText[0] = 112;
    req.asButtonText[1] = 114;
    req.pfnAnswer = DiscAnswer;
    g_pCdMessageBox = Ui_OpenMessageBox(&req);
}

void Ed_OpenCdScreen()
{
    Sys_CallLog("Ed_OpenCdScreen");
    s_ucGridKindBack = g_ucGridKind == 1 ? 1 : 2;
    // The grid goes with its view kept; the video must not follow its cursor while the disc plays.
    if (g_pGridWindow)
        Ui_CloseGridScreen();
    Ui_SetMenuPage(31);
    if (!Ui_WindowIsOpen(g_pCdWindow)) {
        WINDOWDESC d{};
        d.w = uint16_t(g_iScreenWidth);
        d.h = uint16_t(g_iScreenHeight);
        d.style = 1;
        d.draw = Ed_CdFrame;
        g_pCdWindow = Ui_OpenWindow(&d);
        if (!g_pCdWindow) {
            Ui_PlayRefusal();
            Ui_ReturnToMainScreen();
            return;
        }
    }
    Ui_SetWindowRole(UI_ROLE_CD_SCREEN, g_pCdWindow, nullptr);
    g_bCdCursorLatched = 0;
    g_ucCdState = CDSCREEN_STOPPED;
    g_ucCdFade = 0;
    g_sCdIdle = 0;
    g_ucFullScreenVideo = 0;
    s_iLastStatus = Snd_CdGetStatus();
    s_bDoorOpen = (s_iLastStatus & 0x10) ? 1 : 0;
    s_sReloadCountdown = 0;
    s_sVideoTrackSeen = 1;
    LoadDisc();
}

// ---------------------------------------------------------------- transport

void Ed_CdCursorLeft()
{
    if (g_ucCdCursor > 0)
        g_ucCdCursor--;
}

void Ed_CdCursorRight()
{
    if (g_ucCdCursor < CDBUTTONS - 1)
        g_ucCdCursor++;
}

void Ed_CdTransportAction()
{
    Sys_CallLog("Ed_CdTransportAction");
    if (g_ucCdState == CDSCREEN_NO_DISC || !g_pCdTrackTable)
        return;
    switch (g_ucCdCursor) {
    case CDBUTTON_PREVIOUS:
    case CDBUTTON_NEXT: {
        const bool previous = g_ucCdCursor == CDBUTTON_PREVIOUS;
        const bool can = previous ? g_sCdTrack > 1 : g_sCdTrack < g_sCdTrackCount;
        if (can) {
            g_sCdTrack = int16_t(g_sCdTrack + (previous ? -1 : 1));
            ComputeLength();
            g_ucCdHold = CD_HOLD_FRAMES;
            if (g_ucCdState == CDSCREEN_PLAYING || g_ucCdState == CDSCREEN_PLAY_ASKED) {
                GoToTrackStart(g_sCdTrack, true);
            } else {
                GoToTrackStart(g_sCdTrack, false);
                g_ucCdState = CDSCREEN_CHOSEN;
            }
            ComputeElapsed();
        }
        if (g_ucCdState != CDSCREEN_CHOSEN || !can)
            g_ucCdCursor = CDBUTTON_PLAY;
        return;
    }
    case CDBUTTON_REWIND:
        if (g_ucCdState == CDSCREEN_PLAYING || g_ucCdState == CDSCREEN_REWIND) {
            Snd_CdStepBack();
            g_ucCdState = CDSCREEN_REWIND;
            g_iNextScreen = SCREEN_CD_SEEK;
        }
        return;
    case CDBUTTON_PLAY:
        g_ucCdState = CDSCREEN_PLAY_ASKED;
        if (Snd_CdPlay() != 0)
            GoToTrackStart(g_sCdTrack, true);
        g_ucCdHold = CD_HOLD_FRAMES;
        return;
    case CDBUTTON_SAMPLE:
        if (g_ucCdState != CDSCREEN_PLAYING && g_ucCdState != CDSCREEN_PAUSED)
            return;
        if (g_bCdVideoMode) {
            g_ucCdCursor = CDBUTTON_PLAY;
            Seq_PlayInterfaceSound(3);
            return;
        }
        if (g_ucCdState == CDSCREEN_PAUSED)
            Snd_CdPlay();
        if (Snd_CdStartSampling(g_ucCdFrequency) != 0) {
            Seq_PlayInterfaceSound(3);
            return;
        }
        g_ucCdState = CDSCREEN_SAMPLING;
        OpenSamplingBox();
        return;
    case CDBUTTON_PAUSE:
        if (g_ucCdState == CDSCREEN_STOPPED || g_ucCdState == CDSCREEN_CHOSEN)
            return;
        if (g_ucCdState == CDSCREEN_PAUSED) {
            g_ucCdState = CDSCREEN_PLAY_ASKED;
            Snd_CdPlay();
        } else {
            g_ucCdState = CDSCREEN_PAUSED;
            Snd_CdPause();
        }
        return;
    case CDBUTTON_STOP:
        if (g_ucCdState == CDSCREEN_SAMPLING) {
            if (g_pCdMessageBox) {
                MSGBOX *box = g_pCdMessageBox;
                g_pCdMessageBox = nullptr;
                box->pfnAnswer = nullptr;
                Ui_CloseMessageBox(box);
            }
            const int slot = Snd_CdStopSampling();
            g_iCdLastSampledSlot = slot > 0 ? slot : 0;
            if (slot <= 0)
                Seq_PlayInterfaceSound(3);
            g_ucCdState = CDSCREEN_PAUSED;
            Snd_CdPause();
            return;
        }
        g_ucCdState = CDSCREEN_STOPPED;
        Snd_CdPause();
        GoToTrackStart(g_sCdTrack, false);
        ComputeElapsed();
        g_ucCdHold = CD_HOLD_FRAMES;
        return;
    case CDBUTTON_FORWARD:
        if (g_ucCdState == CDSCREEN_PLAYING || g_ucCdState == CDSCREEN_FORWARD) {
            Snd_CdStepForward();
            g_ucCdState = CDSCREEN_FORWARD;
            g_iNextScreen = SCREEN_CD_SEEK;
        }
        return;
    case CDBUTTON_EJECT: Snd_CdEject(); return;
    case CDBUTTON_LEAVE: Ed_CdAskLeave(); return;
    default: return;
    }
}

void Ed_CdSeekStop()
{
    Sys_CallLog("Ed_CdSeekStop");
    g_iNextScreen = SCREEN_CD;
    g_ucCdState = CDSCREEN_PLAY_ASKED;
    Snd_CdPlay();
}

void Ed_CdAskLeave()
{
    Sys_CallLog("Ed_CdAskLeave");
    if (g_ucFullScreenVideo || !g_pCdWindow)
        return;
    MSGBOXREQUEST req{};
    req.ucIcon = 5;
    req.pszText = Ui_Text(646);
    req.ucButtonCount = 2;
    req.asButtonText[0] = 112;
    req.asButtonText[1] = 114;
    req.pfnAnswer = LeaveAnswer;
    g_pCdMessageBox = Ui_OpenMessageBox(&req);
}

void Ed_CdLeave()
{
    Sys_CallLog("Ed_CdLeave");
    if (g_ucCdState == CDSCREEN_SAMPLING)
        Snd_CdStopSampling();
    if (g_bCdVideoMode)
        ForgetVideo();
    FreeTable();
    g_ucCdState = CDSCREEN_STOPPED;
    Snd_CdStop();
    g_bCdCursorLatched = 0;
    Ui_SetWindowRole(UI_ROLE_CD_SCREEN, nullptr, nullptr);
    if (g_pCdWindow && Ui_WindowIsOpen(g_pCdWindow))
        Ui_CloseWindow(g_pCdWindow);
    g_pCdWindow = nullptr;
    Vid_SetLaneMuteMask(0);
    Sys_PauseAudioMix(0);
    StopCapture();
    Vid_SetLaneMuteMask(0);
    g_ucFullScreenVideo = 0;
    g_bCdVideoMode = 0;
    Sys_ResumeAudioMix(0);
    g_ucGridKind = s_ucGridKindBack;
    if (s_ucGridKindBack == 1)
        Ed_ShowVideoGrid();
    else
        Ed_ShowSongGrid();
    Ui_ReturnToEditorMenu();
}

// ---------------------------------------------------------------- per frame

void Ed_CdFrame(void *)
{
    if (g_pUpdatingWindow && g_pUpdatingWindow != g_pCdWindow)
        return;
    // 1. Idle and fade of the panel over the video.
    if (g_bCdVideoMode) {
        if (g_pPadButtons && *g_pPadButtons != 0xFFFF)
            g_sCdIdle = 0;
        else if (g_sCdIdle < 120)
            g_sCdIdle++;
        if (g_sCdIdle < 120)
            g_ucCdFade = uint8_t(std::max(0, g_ucCdFade - 6));
        else
            g_ucCdFade = uint8_t(std::min(60, g_ucCdFade + 6));
        if (g_ucCdFade < 60)
            g_iViewRedrawCount = 2;
    }
    // 2. The door.
    const int status = Snd_CdGetStatus();
    const bool open = status >= 0 && status < 0x100 && (status & 0x10);
    if (open && !s_bDoorOpen) {
        s_bDoorOpen = 1;
        if (g_ucCdState == CDSCREEN_SAMPLING)
            Snd_CdStopSampling();
        g_ucCdState = CDSCREEN_NO_DISC;
        g_sCdTrackCount = 0;
    } else if (!open && s_bDoorOpen) {
        s_bDoorOpen = 0;
        FreeTable();
        s_sReloadCountdown = int16_t(g_iScreen == SCREEN_CD ? CD_HOLD_FRAMES : 1);
    }
    if (s_sReloadCountdown > 0 && --s_sReloadCountdown == 0)
        LoadDisc();
    s_iLastStatus = status;
    // 3. By state.
    if (g_ucCdHold)
        g_ucCdHold--;
    switch (g_ucCdState) {
    case CDSCREEN_PLAYING:
    case CDSCREEN_SAMPLING:
        if (g_sCdTrack == g_sCdTrackCount && TimeSeconds(g_aucCdElapsed) >= TimeSeconds(g_aucCdLength) - 1 &&
            TimeSeconds(g_aucCdLength) > 0) {
            if (g_ucCdState == CDSCREEN_SAMPLING) {
                g_ucCdCursor = CDBUTTON_STOP;
                Ed_CdTransportAction();
            }
            ReadTable();
            g_sCdTrack = 1;
            if (g_sCdTrackCount > 0)
                GoToTrackStart(1, false);
            Snd_CdPause();
            ComputeLength();
            g_ucCdState = CDSCREEN_CHOSEN;
            g_ucCdCursor = CDBUTTON_STOP;
        } else if (!g_ucCdHold) {
            const int track = Snd_CdGetCurrentTrack();
            if (track >= 1 && track <= g_sCdTrackCount && track != g_sCdTrack) {
                g_sCdTrack = int16_t(track);
                ComputeLength();
            }
        }
        break;
    case CDSCREEN_FORWARD:
    case CDSCREEN_REWIND: {
        if (g_ucCdState == CDSCREEN_FORWARD)
            Snd_CdStepForward();
        else
            Snd_CdStepBack();
        const int track = Snd_CdGetCurrentTrack();
        if (track >= 1 && track <= g_sCdTrackCount && track != g_sCdTrack) {
            g_sCdTrack = int16_t(track);
            ComputeLength();
        }
        break;
    }
    case CDSCREEN_PLAY_ASKED: g_ucCdState = CDSCREEN_PLAYING; break;
    default: g_sCdIdle = 0; break;
    }
    // 4. The activity animation.
    if (g_ucCdState == CDSCREEN_PLAYING || g_ucCdState == CDSCREEN_SAMPLING) {
        if (++s_ucAnimationTick >= 2) {
            s_ucAnimationTick = 0;
            s_ucAnimation = uint8_t((s_ucAnimation + 1) & 3);
        }
    }
    // 5. Elapsed time.
    if (g_ucCdState == CDSCREEN_PLAYING || g_ucCdState == CDSCREEN_FORWARD || g_ucCdState == CDSCREEN_REWIND ||
        g_ucCdState == CDSCREEN_SAMPLING)
        ComputeElapsed();
    // 6. The generated video follows the disc.
    if (g_bCdVideoMode) {
        if (g_sCdTrack != s_sVideoTrackSeen) {
            s_sVideoTrackSeen = g_sCdTrack;
            Vid_FreeRandomClips(g_iCdVariety, g_iCdRateOfChange);
            // The lanes still hold the clips just deleted and the position has not moved: make
            // them take the new ones, or the picture stays black for the rest of the disc.
            g_iShownPosition = -1;
            g_bLaneUpdateForce = 1;
        }
        if (g_ucCdState != CDSCREEN_SAMPLING)
            Vid_UpdateLanes();
        DrawVideo();
    }
    if (g_ucCdFade < 60)
        DrawPanel();
    // The screen is the player alone: black ground, with the video's rectangle left open.
    if (!g_bCdVideoMode) {
        Ground(0, 0, g_iScreenWidth, g_iScreenHeight);
    } else {
        const int32_t x = s_asVideoView[0], y = s_asVideoView[1], x1 = x + kVideoWidth, y1 = y + kVideoHeight;
        Ground(0, 0, g_iScreenWidth, y);
        Ground(0, y1, g_iScreenWidth, g_iScreenHeight - y1);
        Ground(0, y, x, kVideoHeight);
        Ground(x1, y, g_iScreenWidth - x1, kVideoHeight);
    }
}

void Ed_InstallCdMenuItems()
{
    Ui_SetMenuItemHandler(123, Ed_AutoGenerateVideoCommand);
}

void Ed_InitCdOperations()
{
    Ui_SetBusyOperation(23, GenerateVideo, AfterGenerate);
}
