#include "ui/samplepanel.h"

#include "app/calllog.h"
#include "app/settings.h"
#include "audio/capture.h"
#include "audio/import.h"
#include "audio/sampleedit.h"
#include "audio/sampleslot.h"
#include "core/padbind.h"
#include "editors/topbar.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "sequencer/instruments.h"
#include "sequencer/samples.h"
#include "ui/barmouse.h"
#include "ui/busybox.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/samplemenu.h"
#include "ui/scrollbar.h"
#include "ui/shortcuts.h"
#include "ui/textfield.h"
#include "ui/view.h"
#include "ui/widgets.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

WINDOW *g_pSampleEditWindow = nullptr;
SCROLLBAR *g_pSampleRangeBar = nullptr;
uint8_t g_ucSampleEditMode = SAMPLEPANEL_EDIT;
int32_t g_iSampleEditSlot = 0;
uint8_t g_ucSampleOpenCountdown = 0;
int32_t g_aiSampleMarkerPx[4];
int32_t g_aiSampleMarkerPos[4];
int8_t g_cSampleMarker = 0;
uint8_t g_bSampleLoopPresent = 0;
int32_t g_iSampleLength = 0;
uint8_t g_ucSampleMoveStep = 1;
uint8_t g_ucSampleMoveHold = 0;
uint8_t g_bSampleMoved = 0;
uint8_t g_ucSampleMoveDelay = 0;
uint8_t g_ucSampleLoopSnap = 0;
int32_t g_bSamplePanelReady = 0;
void *g_pSampleRecordBox = nullptr;

// What the range bar's callback reads (ui/barmouse.cpp): the view, the position a scroll starts
// from, and a hold-off after a bar step.
int32_t g_iSampleViewStart = 0, g_iSampleViewEnd = 0, g_iSampleMarker = 0;
int32_t g_iSamplePanelIdle = 0;

namespace {

TEXTFIELD *s_pCaption = nullptr;
char s_szCaption[64];
// Page 6's rows whose handlers go while the sample plays, and what they were.
constexpr int kPlayLockedRows[] = {47, 42, 39, 41, 37, 27, 44, 40, 48, 38, 45, 64, 11};
MENUHANDLER s_apfnSavedRows[sizeof kPlayLockedRows / sizeof kPlayLockedRows[0]];
bool s_bRowsLocked = false;

int32_t LastSample()
{
    return std::max(0, g_iSampleLength - 1);
}

int32_t ViewWidth()
{
    return std::max(1, g_iSampleViewEnd - g_iSampleViewStart);
}

void SyncSelection()
{
    g_iEditSelFirst = g_aiSampleMarkerPos[SAMPLEMARK_START];
    g_iEditSelLast = g_aiSampleMarkerPos[SAMPLEMARK_END];
}

void ResetMarkers()
{
    g_aiSampleMarkerPx[SAMPLEMARK_START] = 0;
    g_aiSampleMarkerPx[SAMPLEMARK_END] = SAMPLE_VIEW_PIXELS;
    g_aiSampleMarkerPos[SAMPLEMARK_START] = Ui_SamplePosOfPixel(0);
    g_aiSampleMarkerPos[SAMPLEMARK_END] = Ui_SamplePosOfPixel(SAMPLE_VIEW_PIXELS);
    g_aiSampleMarkerPx[SAMPLEMARK_CURSOR] = 0;
    g_aiSampleMarkerPos[SAMPLEMARK_CURSOR] = g_iSampleViewStart;
    g_cSampleMarker = SAMPLEMARK_CURSOR;
    SyncSelection();
}

bool MarkerInView(int m)
{
    if (m == SAMPLEMARK_LOOP && !g_bSampleLoopPresent)
        return false;
    return g_aiSampleMarkerPos[m] >= g_iSampleViewStart && g_aiSampleMarkerPos[m] <= g_iSampleViewEnd;
}

void ReadLoop()
{
    const int32_t loop = g_pEditSample ? Snd_GetEditLoopStart() : -1;
    g_bSampleLoopPresent = loop >= 0;
    g_aiSampleMarkerPos[SAMPLEMARK_LOOP] = std::max(loop, 0);
}

uint8_t ProcessView()
{
    Snd_ProcessEditRange(g_iSampleViewStart, g_iSampleViewEnd);
    return 0;
}

uint8_t SelectInstrument()
{
    Snd_SelectEditInstrument(g_iSampleEditSlot, 0);
    return 0;
}

uint8_t NormaliseSample()
{
    // "Normalise sample" works on the whole sample, whatever the area.
    if (g_iEditFrames > 0)
        Snd_DoSampleEdit(EDIT_NORMALISE, 0, g_iEditFrames - 1, 0);
    return 0;
}

void AfterEdit()
{
    g_iSampleLength = g_iEditFrames;
    Ui_SampleSetView(0, LastSample());
}

void PlayRecorded(uint32_t)
{
    Ui_SampleMenuPlay();
}

void RecordButton(uint32_t)
{
    Ui_StartPcAudioRecording();
}

void ShowPosition(char *out, size_t size, int32_t value, bool present)
{
    if (present)
        std::snprintf(out, size, "%.6d", int(value));
    else
        std::snprintf(out, size, "------");
}

void DrawImage(int32_t id, int32_t x, int32_t y)
{
    if (const IMAGEREC *image = Gfx_GetImage(id))
        Gfx_AddImageSprite(image, x, y, 128, 128, 128);
}

} // namespace

int32_t Ui_SamplePosOfPixel(int32_t px)
{
    px = std::clamp(px, 0, SAMPLE_VIEW_PIXELS);
    const int64_t pos = g_iSampleViewStart + int64_t(px) * ViewWidth() / SAMPLE_VIEW_PIXELS;
    return int32_t(std::clamp<int64_t>(pos, 0, LastSample()));
}

int32_t Ui_SamplePixelOfPos(int32_t pos)
{
    return int32_t(int64_t(pos - g_iSampleViewStart) * SAMPLE_VIEW_PIXELS / ViewWidth());
}

void Ui_OpenSampleEditPanel(int32_t mode, int32_t slot)
{
    if (mode == SAMPLEPANEL_EDIT &&
        (slot < 1 || slot >= SEQ_INSTRUMENT_SLOTS || !g_aInstrumentSlots[slot].pszName ||
         !g_aInstrumentSlots[slot].pszName[0])) {
        Seq_PlayInterfaceSound(3);
        return;
    }
    g_ucSampleEditMode = uint8_t(mode == SAMPLEPANEL_RECORD ? SAMPLEPANEL_RECORD : SAMPLEPANEL_EDIT);
    g_iSampleEditSlot = mode == SAMPLEPANEL_RECORD ? 0 : slot;
    if (g_pGridView)
        g_pGridView->head.flags |= WIDGET_HIDDEN;
    g_ucSampleOpenCountdown = 5;
    g_bSamplePanelReady = 0;
    g_iNextScreen = 10;
    // A window of an earlier start of the widget pools is not ours any more.
    if (g_pSampleEditWindow &&
        (!Ui_WindowIsOpen(g_pSampleEditWindow) || g_pSampleEditWindow->draw != Ui_DrawSampleEditPanel))
        g_pSampleEditWindow = nullptr;
    if (!g_pSampleEditWindow) {
        WINDOWDESC d{};
        d.x = uint16_t(std::max(0, (g_iScreenWidth - 328) / 2));
        d.y = uint16_t(std::max(0, (g_iScreenHeight - 115) / 2));
        d.w = 328;
        d.h = 155;
        d.style = 1;
        d.draw = Ui_DrawSampleEditPanel;
        g_pSampleEditWindow = Ui_OpenWindow(&d);
        if (!g_pSampleEditWindow) {
            Ui_PlayRefusal();
            Ui_ReturnToEditorMenu();
            return;
        }
        std::snprintf(s_szCaption, sizeof s_szCaption, "%s", Ui_Text(647));
        TEXTFIELDDESC tf{s_szCaption, 6, 7, 315, 14, g_pSampleEditWindow, 0, 0, 128, 1};
        s_pCaption = Ui_CreateTextField(&tf);
        SCROLLBARDESC bd{};
        bd.flags = SCROLLBAR_HORIZONTAL;
        bd.x = 27;
        bd.y = 127;
        bd.w = SAMPLE_VIEW_PIXELS;
        bd.h = 8;
        bd.page = 1;
        bd.press = Ui_SampleRangeBarMouse;
        bd.held = Ui_SampleRangeBarMouse;
        g_pSampleRangeBar = Ui_CreateScrollBar(&bd, g_pSampleEditWindow);
        const UIRECT preview{264, 137, 24, 14}, record{293, 137, 24, 14};
        Ui_AddClickArea(g_pSampleEditWindow, &preview, PlayRecorded, 0);
        Ui_AddClickArea(g_pSampleEditWindow, &record, RecordButton, 0);
        Ui_SetWindowRole(UI_ROLE_SAMPLE_EDITOR, g_pSampleEditWindow, nullptr);
        // The sample list's own edits stay greyed while a sample is open here.
        Ui_DisableSampleListItems();
    }
    g_iSampleLength = 0;
    g_iSampleViewStart = g_iSampleViewEnd = 0;
    ResetMarkers();
    g_bSampleLoopPresent = 0;
    g_ucSampleMoveStep = 1;
    g_ucSampleMoveHold = g_ucSampleMoveDelay = 0;
    g_ucSampleLoopSnap = 0;
    if (!g_bRecording.load())
        g_pSampleRecordBox = nullptr;
    Ui_SetFocus(g_pSampleEditWindow);
}

void Ui_MenuRecordFromPcAudio()
{
    Ui_OpenSampleEditPanel(SAMPLEPANEL_RECORD, 0);
}

void Ui_MenuEditSample()
{
    const POPUP *p = g_pCurrentPopup;
    const int32_t slot = p && !p->free && p->list ? p->list->selected + 1 : 0;
    Ui_OpenSampleEditPanel(SAMPLEPANEL_EDIT, slot);
}

void Ui_SampleEditLoad()
{
    Ed_SetPromptText(74);
    if (Snd_OpenSampleEditor(EDIT_FULL) != 1) {
        MSGBOXREQUEST req{};
        req.pszText = Ui_Text(526);
        req.ucButtonCount = 1;
        req.asButtonText[0] = 114;
        req.pfnAnswer = Ui_SampleEditLoadFailed;
        Ui_OpenMessageBox(&req);
        return;
    }
    if (g_ucSampleEditMode == SAMPLEPANEL_RECORD) {
        // Nothing to load yet: the panel waits for the record button.
        g_iSampleLength = 0;
        g_iNextScreen = SCREEN_SAMPLEEDIT;
        Ui_SetMenuPage(6);
        g_bSamplePanelReady = 1;
        Ui_SetFocus(g_pSampleEditWindow);
        return;
    }
    Ui_OpenBusyBox(g_aInstrumentSlots[g_iSampleEditSlot].pszName, Ui_Text(94), UI_BUSY_CENTRED, 100, 3);
}

void Ui_SampleEditReady()
{
    g_iNextScreen = SCREEN_SAMPLEEDIT;
    Ui_SetMenuPage(6);
    g_iSampleLength = g_iEditFrames;
    g_iSampleViewStart = 0;
    g_iSampleViewEnd = LastSample();
    ReadLoop();
    ResetMarkers();
    g_bSamplePanelReady = 1;
    Ui_SampleSetView(0, LastSample());
}

void Ui_SampleEditLoadFailed(uint8_t)
{
    Ui_CloseSampleEditPanel();
}

void Ui_CloseSampleEditPanel()
{
    if (g_bEditPreviewOn)
        Snd_ToggleEditPreview(0);
    Ui_SampleMenuIdle();
    if (g_pSampleEditWindow)
        Ui_CloseWindow(g_pSampleEditWindow);
    g_pSampleEditWindow = nullptr;
    g_pSampleRangeBar = nullptr;
    s_pCaption = nullptr;
    g_bSamplePanelReady = 0;
    g_ucSampleOpenCountdown = 0;
    Ui_ReturnToEditorMenu();
    Snd_CloseSampleEditor();
    Ui_EnableSampleListItems();
    if (g_pGridView)
        g_pGridView->head.flags &= ~WIDGET_HIDDEN;
    if (g_pGridWindow)
        Ui_SetFocus(g_pGridWindow);
    if (g_pGridView)
        Ui_RefreshView(g_pGridView);
}

void Ui_SampleEditPanelTick()
{
    if (g_ucSampleOpenCountdown && --g_ucSampleOpenCountdown == 0)
        Ui_SampleEditLoad();
    if (g_ucSampleMoveDelay)
        g_ucSampleMoveDelay--;
    if (g_iSamplePanelIdle > 0)
        g_iSamplePanelIdle--;
    if (!g_bSampleMoved) {
        g_ucSampleMoveHold = 0;
        g_ucSampleMoveStep = 1;
    }
    g_bSampleMoved = 0;
    if (g_bEditPreviewOn)
        Ui_SampleMenuPlaying();
    else
        Ui_SampleMenuIdle();
    Ui_SampleSnapLoop();
}

void Ui_SampleSetView(int32_t start, int32_t end)
{
    const int32_t last = LastSample();
    if (g_iSampleLength <= SAMPLE_VIEW_PIXELS) {
        // A short sample is shown whole: no shift can make it 232 wide.
        start = 0;
        end = last;
    } else {
        const int32_t w = std::max(end - start, SAMPLE_VIEW_PIXELS);
        end = start + w;
        if (start < 0) {
            end -= start;
            start = 0;
        }
        if (end > last) {
            start -= end - last;
            end = last;
        }
    }
    g_iSampleViewStart = start;
    g_iSampleViewEnd = end;
    Ui_OpenBusyBox(g_iSampleEditSlot > 0 && g_aInstrumentSlots[g_iSampleEditSlot].pszName
                       ? g_aInstrumentSlots[g_iSampleEditSlot].pszName
                       : "",
                   Ui_Text(94), UI_BUSY_CENTRED, 100, 4);
}

void Ui_SampleApplyView()
{
    if (g_aiSampleMarkerPos[SAMPLEMARK_CURSOR] < g_iSampleViewStart ||
        g_aiSampleMarkerPos[SAMPLEMARK_CURSOR] > g_iSampleViewEnd)
        g_aiSampleMarkerPos[SAMPLEMARK_CURSOR] = g_iSampleViewStart;
    ReadLoop();
    for (int m = 0; m < 4; m++)
        g_aiSampleMarkerPx[m] = Ui_SamplePixelOfPos(g_aiSampleMarkerPos[m]);
    if (g_pSampleRangeBar) {
        g_pSampleRangeBar->page = g_iSampleViewEnd - g_iSampleViewStart;
        Ui_SetScrollBarMax(g_pSampleRangeBar, std::max(0, g_iSampleLength - g_pSampleRangeBar->page));
        Ui_SetScrollBarPos(g_pSampleRangeBar, g_iSampleViewStart);
        Ui_MarkScrollBarDirty(g_pSampleRangeBar);
    }
    g_iNextScreen = SCREEN_SAMPLEEDIT;
    if (g_pSampleEditWindow)
        Ui_SetFocus(g_pSampleEditWindow);
}

void Ui_SampleScrollBack()
{
    Sys_CallLog("Ui_SampleScrollBack");
    if (g_iSampleLength <= 0)
        return; // no sample shown: nothing to scroll
    const int32_t w = std::max(g_iSampleViewEnd - g_iSampleViewStart, SAMPLE_VIEW_PIXELS);
    Ui_SampleSetView(g_iSampleMarker - w, g_iSampleMarker);
}

void Ui_SampleScrollOn()
{
    Sys_CallLog("Ui_SampleScrollOn");
    if (g_iSampleLength <= 0)
        return;
    const int32_t w = std::max(g_iSampleViewEnd - g_iSampleViewStart, SAMPLE_VIEW_PIXELS);
    Ui_SampleSetView(g_iSampleMarker, g_iSampleMarker + w);
}

void Ui_SampleZoomIntoArea()
{
    const int32_t length = g_aiSampleMarkerPos[SAMPLEMARK_END] - g_aiSampleMarkerPos[SAMPLEMARK_START] + 1;
    if (length <= SAMPLE_VIEW_PIXELS)
        return;
    const int32_t start = g_aiSampleMarkerPos[SAMPLEMARK_START];
    Ui_SampleSetView(start, start + std::max(length / 2, SAMPLE_VIEW_PIXELS));
}

void Ui_SampleZoomOut()
{
    Ui_SampleSetView(0, LastSample());
}

namespace {

void MoveMarker(int32_t dir)
{
    if (!g_bSamplePanelReady || g_iSampleLength <= 0 || g_ucSampleMoveDelay)
        return;
    g_bSampleMoved = 1;
    g_ucSampleMoveHold = uint8_t(std::min(g_ucSampleMoveHold + 1, 255));
    g_ucSampleMoveStep = g_ucSampleMoveHold <= 10 ? 1 : g_ucSampleMoveHold <= 20 ? 2 : 5;
    const int m = g_cSampleMarker;
    const int32_t px = g_aiSampleMarkerPx[m];
    if (dir < 0 && px <= 0) {
        if (g_iSampleViewStart > 0) {
            g_iSampleMarker = g_aiSampleMarkerPos[m];
            Ui_SampleScrollBack();
        }
        return;
    }
    if (dir > 0 && px >= SAMPLE_VIEW_PIXELS) {
        if (g_iSampleViewEnd < LastSample()) {
            g_iSampleMarker = g_aiSampleMarkerPos[m];
            Ui_SampleScrollOn();
        }
        return;
    }
    g_aiSampleMarkerPx[m] = std::clamp(px + dir * g_ucSampleMoveStep, 0, SAMPLE_VIEW_PIXELS);
    g_aiSampleMarkerPos[m] = Ui_SamplePosOfPixel(g_aiSampleMarkerPx[m]);
    int32_t *p = g_aiSampleMarkerPx;
    if ((m == SAMPLEMARK_END && p[SAMPLEMARK_END] < p[SAMPLEMARK_START]) ||
        (m == SAMPLEMARK_START && p[SAMPLEMARK_START] > p[SAMPLEMARK_END])) {
        std::swap(p[SAMPLEMARK_START], p[SAMPLEMARK_END]);
        g_cSampleMarker = int8_t(m == SAMPLEMARK_END ? SAMPLEMARK_START : SAMPLEMARK_END);
        g_aiSampleMarkerPos[SAMPLEMARK_START] = Ui_SamplePosOfPixel(p[SAMPLEMARK_START]);
        g_aiSampleMarkerPos[SAMPLEMARK_END] = Ui_SamplePosOfPixel(p[SAMPLEMARK_END]);
    }
    if (m == SAMPLEMARK_LOOP)
        g_ucSampleLoopSnap |= 1;
    SyncSelection();
}

void StepMarker(int32_t dir)
{
    if (!g_bSamplePanelReady)
        return;
    for (int i = 0; i < 4; i++) {
        g_cSampleMarker = int8_t((g_cSampleMarker + dir + 4) % 4);
        if (MarkerInView(g_cSampleMarker))
            break;
    }
    if ((g_ucMouseButtons & MOUSE_MODE) && g_pSampleEditWindow)
    {
        g_sMouseX = int16_t(g_pSampleEditWindow->x + 323);
        g_sMouseY = int16_t(g_pSampleEditWindow->y + 28 + 12 * g_cSampleMarker);
    }
}

} // namespace

void Ui_SampleMarkerLeft()
{
    MoveMarker(-1);
}

void Ui_SampleMarkerRight()
{
    MoveMarker(1);
}

void Ui_SamplePrevMarker()
{
    StepMarker(-1);
}

void Ui_SampleNextMarker()
{
    StepMarker(1);
}

void Ui_SampleSnapLoop()
{
    if (!(g_ucSampleLoopSnap & 1) || (g_ucSampleLoopSnap & 2))
        return;
    g_ucSampleLoopSnap = 0;
    // Too short for a loop of its own: a loop must leave 56 samples after it.
    const int32_t limit = g_iSampleLength - 2 * SAMPLE_LOOP_STEP;
    if (limit < 0)
        return;
    int32_t pos = (g_aiSampleMarkerPos[SAMPLEMARK_LOOP] + SAMPLE_LOOP_STEP / 2) / SAMPLE_LOOP_STEP * SAMPLE_LOOP_STEP;
    if (pos < g_iSampleViewStart)
        pos += SAMPLE_LOOP_STEP;
    else if (pos > g_iSampleViewEnd)
        pos -= SAMPLE_LOOP_STEP;
    pos = std::clamp(pos, 0, limit / SAMPLE_LOOP_STEP * SAMPLE_LOOP_STEP);
    g_aiSampleMarkerPos[SAMPLEMARK_LOOP] = pos;
    g_aiSampleMarkerPx[SAMPLEMARK_LOOP] = Ui_SamplePixelOfPos(pos);
    if (g_ucSampleEditMode == SAMPLEPANEL_EDIT)
        Snd_DoSampleEdit(EDIT_LOOP, pos, 0, 0);
}

void Ui_DrawSampleEditPanel(void *)
{
    WINDOW *w = g_pSampleEditWindow;
    if (!w)
        return;
    Ui_SampleEditPanelTick();
    if (!g_pSampleEditWindow)
        return;
    FONT *savedFont = g_pFont;
    const uint32_t savedColour = g_uiTextColour;
    g_pFont = &g_tFontMain;
    const bool have = g_bSamplePanelReady && g_iSampleLength > 0;
    // Linked last is drawn first: numbers and handles, then the wave under them, then the frame.
    const int32_t rows[8][2] = {{26, g_aiSampleMarkerPos[0] + 1},  {38, g_aiSampleMarkerPos[1] + 1},
                                {50, g_aiSampleMarkerPos[2] + 1},  {62, g_aiSampleMarkerPos[3] + 1},
                                {74, g_iSampleLength},             {86, g_iSampleViewStart + 1},
                                {98, g_iSampleViewEnd + 1},        {110, g_aiSampleMarkerPos[2] - g_aiSampleMarkerPos[1] + 1}};
    for (int i = 0; i < 8; i++) {
        char text[16];
        ShowPosition(text, sizeof text, rows[i][1], have && (i != 3 || g_bSampleLoopPresent));
        const uint32_t grey = i >= 4 ? 92u : 128u;
        g_uiTextColour = i == g_cSampleMarker ? (0u | 214u << 8 | 255u << 16) : (grey | grey << 8 | grey << 16);
        Gfx_DrawTextRight(text, 318, rows[i][0], g_pOrderingTable);
    }
    // Buttons: loop, preview, record.
    if (g_bSampleLoopPresent)
        DrawImage(Snd_IsEditSampleLooped() ? 505 : 508, 264, 122);
    DrawImage(g_bEditPreviewOn ? 717 : 634, 264, 137);
    DrawImage(666, 293, 137);
    if (g_pSampleRecordBox)
        DrawImage(404, 293, 122);
    static const int32_t kIndicators[4][3] = {{661, 265, 26}, {662, 264, 38}, {663, 264, 50}, {664, 264, 62}};
    if (g_cSampleMarker >= 0 && g_cSampleMarker < 4)
        DrawImage(kIndicators[g_cSampleMarker][0], kIndicators[g_cSampleMarker][1], kIndicators[g_cSampleMarker][2]);
    DrawImage(660, 263, 25);
    if (have) {
        Gfx_AddDrawArea(w->x, w->y, w->w, w->h);
        for (int m = 0; m < 4; m++) {
            if (!MarkerInView(m))
                continue;
            const int32_t px = g_aiSampleMarkerPx[m];
            const bool selected = m == g_cSampleMarker;
            const int32_t hx = px + (m == SAMPLEMARK_END ? 23 : 24);
            DrawImage(selected ? 685 : 304, hx, 26);
            DrawImage(selected ? 686 : 303, hx, 123);
            if (m == SAMPLEMARK_CURSOR)
                Gfx_AddLine(px + 27, 29, px + 27, 122, 0, 160, 160);
            else if (m == SAMPLEMARK_LOOP)
                Gfx_AddLine(px + 27, 29, px + 27, 122, 192, 0, 0);
        }
        // The wave: each column's lowest to highest sample of its part of the view.
        if (g_pEditSample && g_pEditSample->pData && int32_t(g_pEditSample->uFrames) >= g_iSampleLength) {
            const int16_t *data = reinterpret_cast<const int16_t *>(g_pEditSample->pData);
            for (int32_t x = 0; x < SAMPLE_VIEW_PIXELS; x++) {
                const int32_t from = Ui_SamplePosOfPixel(x), to = std::max(from, Ui_SamplePosOfPixel(x + 1) - 1);
                int32_t lo = 32767, hi = -32768;
                for (int32_t s = from; s <= to && s < g_iSampleLength; s++) {
                    lo = std::min<int32_t>(lo, data[s]);
                    hi = std::max<int32_t>(hi, data[s]);
                }
                if (lo > hi)
                    continue;
                const int32_t y0 = 76 - hi * 50 / 32768, y1 = 76 - lo * 50 / 32768;
                Gfx_AddLine(x + 27, y0, x + 27, std::max(y1, y0 + 1), 0, 220, 140);
            }
        }
        Gfx_AddLine(27, 76, 258, 76, 200, 0, 0);
        // The marked area, under the wave.
        const int32_t a = std::clamp(g_aiSampleMarkerPx[SAMPLEMARK_START], -1, 233);
        const int32_t b = std::clamp(g_aiSampleMarkerPx[SAMPLEMARK_END], -1, 233);
        if (a < SAMPLE_VIEW_PIXELS && b > 0 && b > a)
            Gfx_AddTile(a + 27, 26, b - a, 101, 0, 40, 80);
        Gfx_AddDrawArea(w->x + 27, w->y + 26, SAMPLE_VIEW_PIXELS, 101);
    }
    // The level meter beside the wave: while recording, the input's level.
    int32_t level = 0;
    if (g_pSampleRecordBox)
        level = std::min(100, int32_t(g_iRecordedBytes.load() > 0 ? 60 : 0));
    DrawImage(764, 9, 26 + level);
    DrawImage(763, 8, 25);
    Gfx_AddInsetBox(19, 25, 240, 110);
    Gfx_AddTile(20, 26, 238, 108, 8, 14, 18);
    g_uiTextColour = savedColour;
    g_pFont = savedFont;
}

int32_t Ui_StartPcAudioRecording()
{
    if (g_bEditPreviewOn)
        return 0;
    if (g_pSampleRecordBox)
        return 0;
    MSGBOXREQUEST req{};
    req.ucIcon = 4;
    req.pszText = Ui_Text(662);
    req.ucButtonCount = 1;
    req.asButtonText[0] = 514;
    req.ucFlags = MSGBOX_COPY_TEXT | MSGBOX_RECORD_TIME;
    req.pfnAnswer = Ui_RecordingStopped;
    MSGBOX *box = Ui_OpenMessageBox(&req);
    if (!box)
        return -1;
    g_pSampleRecordBox = box;
    if (Snd_StartRecording(44100, nullptr, 0, 1) != 0) {
        // Nothing records: the box goes at once rather than offer a Stop that appends nothing.
        g_pSampleRecordBox = nullptr;
        box->pfnAnswer = nullptr;
        Ui_CloseMessageBox(box);
        Seq_PlayInterfaceSound(3);
        return -1;
    }
    return 1;
}

void Ui_StopPcAudioRecording()
{
    Snd_StopRecording();
    const char *path = Sys_MakeBasePath(PCMRECORDING);
    if (g_ucSampleEditMode == SAMPLEPANEL_RECORD) {
        // A new instrument of the recording, then edited as any other.
        const int32_t slot = g_iRecordedBytes.load() > 0 ? Snd_ImportRawSample(path, nullptr, 0, 44100) : -1;
        if (slot < 1 || slot >= SEQ_INSTRUMENT_SLOTS) {
            Seq_PlayInterfaceSound(3);
            return;
        }
        g_iSampleEditSlot = slot;
        g_ucSampleEditMode = SAMPLEPANEL_EDIT;
        Snd_EditWholeSample(slot, 0);
    } else if (g_pEditSample && g_iRecordedBytes.load() > 0) {
        Snd_AppendRawFile(path, g_pEditSample);
        Snd_ResetSamplePointers(g_pEditSample);
        Snd_EditWholeSample(g_iSampleEditSlot, 0);
    }
    Ui_SampleEditReady();
}

void Ui_RecordingStopped(uint8_t)
{
    g_pSampleRecordBox = nullptr;
    Ui_StopPcAudioRecording();
    g_iNextScreen = SCREEN_SAMPLEEDIT;
}

void Ui_SampleMenuNormalise()
{
    if (!g_bSamplePanelReady || g_iEditFrames <= 0) {
        Ui_PlayRefusal();
        return;
    }
    Ui_OpenBusyBox(g_aInstrumentSlots[g_iSampleEditSlot].pszName, Ui_Text(94), UI_BUSY_CENTRED, 100, 18);
}

void Ui_SampleMenuUndo()
{
    if (!g_bSamplePanelReady || Snd_UndoSampleEdit() == 0) {
        Ui_PlayRefusal();
        return;
    }
    AfterEdit();
}

void Ui_SampleMenuPlay()
{
    if (!g_bSamplePanelReady || g_pSampleRecordBox)
        return;
    Snd_ToggleEditPreview(g_aiSampleMarkerPos[SAMPLEMARK_CURSOR]);
}

void Ed_SamplePreviewToggle()
{
    // Recording has nothing of its own to preview yet.
    if (g_ucSampleEditMode != SAMPLEPANEL_EDIT)
        return;
    Ui_SampleMenuPlay();
}

void Ui_SampleMenuIdle()
{
    g_atMenuItems[43].text = 7;
    if (!s_bRowsLocked)
        return;
    for (size_t i = 0; i < std::size(kPlayLockedRows); i++)
        g_atMenuItems[kPlayLockedRows[i]].handler = s_apfnSavedRows[i];
    s_bRowsLocked = false;
}

void Ui_SampleMenuPlaying()
{
    g_atMenuItems[43].text = 514;
    if (s_bRowsLocked)
        return;
    for (size_t i = 0; i < std::size(kPlayLockedRows); i++) {
        s_apfnSavedRows[i] = g_atMenuItems[kPlayLockedRows[i]].handler;
        g_atMenuItems[kPlayLockedRows[i]].handler = nullptr;
    }
    s_bRowsLocked = true;
}

void Ui_InstallSampleMenuItems()
{
    s_bRowsLocked = false;
    Ui_SetMenuItemHandler(29, Ui_MenuEditSample);
    Ui_SetMenuItemHandler(164, Ui_MenuRecordFromPcAudio);
    Ui_SetMenuItemHandler(38, Ui_SampleMenuNormalise);
    Ui_SetMenuItemHandler(64, Ui_SampleMenuUndo);
    Ui_SetMenuItemHandler(43, Ui_SampleMenuPlay);
    Ui_SetMenuItemHandler(41, Ui_SampleZoomIntoArea);
    Ui_SetMenuItemHandler(37, Ui_SampleZoomOut);
}

void Ui_InitSamplePanelOperations()
{
    Ui_SetBusyOperation(3, SelectInstrument, Ui_SampleEditReady);
    Ui_SetBusyOperation(4, ProcessView, Ui_SampleApplyView);
    Ui_SetBusyOperation(18, NormaliseSample, AfterEdit);
}

void Ui_SampleEditClose()
{
    Ui_CloseSampleEditPanel();
}

void Ui_SampleEditLeft()
{
    Ui_SampleMarkerLeft();
}

void Ui_SampleEditRight()
{
    Ui_SampleMarkerRight();
}

void Ui_SampleEditPrevMarker()
{
    Ui_SamplePrevMarker();
}

void Ui_SampleEditNextMarker()
{
    Ui_SampleNextMarker();
}
