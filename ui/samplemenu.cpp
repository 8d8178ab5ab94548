#include "ui/samplemenu.h"

#include "app/calllog.h"
#include "audio/effects.h"
#include "audio/sampleedit.h"
#include "core/padbind.h"
#include "editors/options.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "sequencer/instruments.h"
#include "sequencer/samples.h"
#include "ui/busybox.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/riffeditor.h"
#include "ui/samplepanel.h"
#include "ui/textfield.h"
#include "ui/valueslider.h"
#include "ui/widgets.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

int32_t g_iEffectParamEffect = 0;
int32_t g_aiEffectSavedValues[32];
int32_t g_iEffectParamRows = 0;
int32_t g_aiEffectRowParam[32];
POPUP *g_pEffectPopup = nullptr;
WINDOW *g_pMixPanelWindow = nullptr;
int32_t g_iMixNote = 48, g_iMixFineTune = 50;
uint8_t g_ucSampleSourceMode = 0;
int32_t g_iRememberedLoopPoint = 1;

extern int32_t g_iSampleViewStart, g_iSampleViewEnd;

namespace {

// Menu rows of the two pages.
enum : int
{
    ROW_ZOOM_OUT = 37,
    ROW_COPY = 39,
    ROW_APPLY_EFFECTS = 40,
    ROW_CUT = 42,
    ROW_PLAY = 43,
    ROW_TRIM = 44,
    ROW_MIX = 45,
    ROW_SET_FADE = 46,
    ROW_PASTE = 47,
    ROW_REVERSE = 48,
    ROW_GRID_SPACING = 49,
    ROW_SAMPLE_PALETTE = 27,
    ROW_LOOP = 59,
    ROW_LOOP_OFF = 60,
    ROW_FIRST_EFFECT = 107,
};

constexpr int kSampleListRows[] = {30, 31, 33, 34, 35};
MENUHANDLER s_apfnSampleListRows[std::size(kSampleListRows)];
bool s_bSampleListOff = false;

// The effect pop-up's row: the number (1-based) and the name; the value is read when drawn.
constexpr int kRowName = 4;
int32_t s_iEffectListWidth = 0;
POPUPDESC s_tEffectDesc;
OPTIONGADGET s_atMixPage[ED_GADGETS];
TEXTFIELD *s_pMixCaption = nullptr;

bool Editing()
{
    return g_bSamplePanelReady && g_pEditSample && g_iEditFrames > 0 && g_ucSampleEditMode == SAMPLEPANEL_EDIT;
}

const char *SampleName()
{
    const int32_t slot = g_iSampleEditSlot;
    if (slot > 0 && slot < SEQ_INSTRUMENT_SLOTS && g_aInstrumentSlots[slot].pszName)
        return g_aInstrumentSlots[slot].pszName;
    return "";
}

void Busy(int32_t code)
{
    g_iNextScreen = SCREEN_SAMPLEEDIT;
    Ui_OpenBusyBox(SampleName(), Ui_Text(94), UI_BUSY_CENTRED, 100, code);
}

void BackToEditor(uint8_t)
{
    g_iNextScreen = SCREEN_SAMPLEEDIT;
    if (g_pSampleEditWindow)
        Ui_SetFocus(g_pSampleEditWindow);
}

void Tell(int32_t text)
{
    MSGBOXREQUEST req{};
    req.pszText = Ui_Text(text);
    req.ucButtonCount = 1;
    req.asButtonText[0] = 114;
    req.pfnAnswer = BackToEditor;
    Ui_OpenMessageBox(&req);
}

int32_t AreaStart()
{
    return std::min(g_aiSampleMarkerPos[SAMPLEMARK_START], g_aiSampleMarkerPos[SAMPLEMARK_END]);
}

int32_t AreaEnd()
{
    return std::max(g_aiSampleMarkerPos[SAMPLEMARK_START], g_aiSampleMarkerPos[SAMPLEMARK_END]);
}

int32_t AreaLength()
{
    return AreaEnd() - AreaStart() + 1;
}

bool ClipboardHolds()
{
    return g_stEditClipboard.pData && g_stEditClipboard.iFrames > 0;
}

// After an edit that may change the length: the markers held to the sample, the area what the
// operations act on, and the whole sample shown again.
void RefreshAfterEdit()
{
    g_iSampleLength = g_iEditFrames;
    const int32_t last = std::max(0, g_iSampleLength - 1);
    for (int m = 0; m < 4; m++)
        g_aiSampleMarkerPos[m] = std::clamp(g_aiSampleMarkerPos[m], 0, last);
    g_iEditSelFirst = AreaStart();
    g_iEditSelLast = AreaEnd();
    if (ClipboardHolds() && !g_bEditPreviewOn)
        Ui_SetMenuItemHandler(ROW_PASTE, Ui_SampleMenuPaste);
    Ui_SampleSetView(0, last);
}

uint8_t AreaOp(int32_t code)
{
    Snd_DoSampleEdit(code, g_iEditSelFirst, g_iEditSelLast, 0);
    return 0;
}

uint8_t OpTrim() { return AreaOp(EDIT_CROP); }
uint8_t OpReverse() { return AreaOp(EDIT_REVERSE); }
uint8_t OpCopy() { return AreaOp(EDIT_COPY); }
uint8_t OpCut() { return AreaOp(EDIT_CUT); }
uint8_t OpPaste() { return AreaOp(EDIT_PASTE); }

uint8_t OpMix()
{
    if (!ClipboardHolds())
        return 0;
    Snd_DoSampleEdit(EDIT_MIX, g_iEditSelFirst, g_iEditSelLast + 1, Snd_EditNoteToRate(g_iMixNote, g_iMixFineTune));
    return 0;
}

void AfterCopy()
{
    g_iNextScreen = SCREEN_SAMPLEEDIT;
    if (ClipboardHolds() && !g_bEditPreviewOn)
        Ui_SetMenuItemHandler(ROW_PASTE, Ui_SampleMenuPaste);
}

EFFECTUNIT *Effect(int32_t n)
{
    return n >= 0 && n < EFFECT_COUNT ? g_apEffects[n] : nullptr;
}

int32_t MainTextWidth(const char *text)
{
    FONT *saved = g_pFont;
    g_pFont = &g_tFontMain;
    const int32_t w = Gfx_GetTextWidth(text ? text : "");
    g_pFont = saved;
    return w;
}

void FillEffectRow(int32_t op, int32_t number, void *row, void *)
{
    const int32_t n = op == LISTFILL_FIRST ? 1 : op == LISTFILL_NEXT ? number + 1 : number - 1;
    if (n < 1 || n > g_iEffectParamRows || !row)
        return;
    auto *r = static_cast<char *>(row);
    const int32_t word = n;
    std::memcpy(r, &word, 4);
    const int32_t shown = g_iEffectParamRows - 2;
    char *text = r + kRowName;
    const EFFECTUNIT *unit = Effect(g_iEffectParamEffect);
    if (n <= shown && unit) {
        const char *name = unit->pRows[g_aiEffectRowParam[n - 1]].pszName;
        std::snprintf(text, UI_POPUP_ROW_STRIDE - kRowName, "%s", name ? name : "");
    } else {
        std::snprintf(text, UI_POPUP_ROW_STRIDE - kRowName, "%s", Ui_Text(n == shown + 1 ? 346 : 112));
    }
}

void DrawEffectRow(void *row, int32_t x, int32_t y)
{
    const auto *r = static_cast<const char *>(row);
    int32_t n = 0;
    std::memcpy(&n, r, 4);
    if (n < 1)
        return;
    Gfx_DrawText(r + kRowName, x, y + 1, g_pOrderingTable);
    const EFFECTUNIT *unit = Effect(g_iEffectParamEffect);
    if (!unit || n > g_iEffectParamRows - 2)
        return;
    const EFFECTPARAM &param = unit->pRows[g_aiEffectRowParam[n - 1]];
    char value[32];
    if (param.fScale == 1.0f)
        std::snprintf(value, sizeof value, "%d", param.iCurrent);
    else
        std::snprintf(value, sizeof value, "%.3f", double(param.iCurrent) / double(param.fScale));
    Gfx_DrawTextRight(value, x + s_iEffectListWidth - 4, y + 1, g_pOrderingTable);
}

void RestoreEffectValues()
{
    const EFFECTUNIT *unit = Effect(g_iEffectParamEffect);
    if (!unit)
        return;
    for (uint32_t i = 0; i < unit->uRowCount && i < 32; i++)
        unit->pRows[i].iCurrent = g_aiEffectSavedValues[i];
}

// The pop-up goes without touching the values (the value editor and "Apply filter" keep them).
void TakeDownEffectPopup()
{
    POPUP *p = g_pEffectPopup;
    g_pEffectPopup = nullptr;
    if (p && !p->free)
        Ui_TakeDownPopup(p);
    Ui_SetMenuPage(6);
    g_iNextScreen = SCREEN_SAMPLEEDIT;
    if (g_pSampleEditWindow)
        Ui_SetFocus(g_pSampleEditWindow);
}

void ParamEdited()
{
    g_pfnValueEditorClosed = nullptr;
    if (g_pEffectPopup && !g_pEffectPopup->free && g_pEffectPopup->list) {
        Ui_RefillListRows(g_pEffectPopup->list);
        Ui_SetFocus(g_pEffectPopup->window);
    }
}

uint8_t OpEffect()
{
    return Ui_ApplySelectedEffect();
}

void MixPanelLinks()
{
    for (OPTIONGADGET &g : s_atMixPage)
        g = OPTIONGADGET{};
    for (int i = 0; i < 2; i++) {
        OPTIONGADGET &g = s_atMixPage[i];
        g.text = int16_t(i == 0 ? 70 : 60);
        g.x = 148;
        g.y = int16_t(23 + 18 * i);
        g.kind = GADGET_SLIDER;
        g.width = SLIDER_I32;
        g.minimum = 0;
        g.maximum = i == 0 ? 96 : 100;
        g.target = i == 0 ? &g_iMixNote : &g_iMixFineTune;
        g.link[GADGET_LEFT] = g.link[GADGET_RIGHT] = -1;
        g.link[GADGET_UP] = int8_t(i == 0 ? -1 : 0);
        g.link[GADGET_DOWN] = int8_t(i == 0 ? 1 : -1);
    }
}

void LoopAt(int32_t point)
{
    Snd_DoSampleEdit(EDIT_LOOP, point, 0, 0);
    g_bSampleLoopPresent = Snd_GetEditLoopStart() >= 0;
    g_aiSampleMarkerPos[SAMPLEMARK_LOOP] = std::max(point, 0);
    g_aiSampleMarkerPx[SAMPLEMARK_LOOP] = Ui_SamplePixelOfPos(std::max(point, 0));
}

} // namespace

// ---------------------------------------------------------------- menu rows

void Ui_InstallSampleEditItems()
{
    s_bSampleListOff = false;
    Ui_SetMenuItemHandler(ROW_ZOOM_OUT, Ui_SampleMenuZoomOut);
    Ui_SetMenuItemHandler(ROW_COPY, Ui_SampleMenuCopy);
    Ui_SetMenuItemHandler(ROW_APPLY_EFFECTS, Ui_SampleMenuApplyEffects);
    Ui_SetMenuItemHandler(ROW_CUT, Ui_SampleMenuCut);
    Ui_SetMenuItemHandler(ROW_TRIM, Ui_SampleMenuTrim);
    Ui_SetMenuItemHandler(ROW_MIX, Ui_SampleMenuMix);
    Ui_SetMenuItemHandler(ROW_SET_FADE, Ui_SampleMenuStayOnEditor);
    Ui_SetMenuItemHandler(ROW_PASTE, Ui_SampleMenuPaste);
    Ui_SetMenuItemHandler(ROW_REVERSE, Ui_SampleMenuReverse);
    Ui_SetMenuItemHandler(ROW_GRID_SPACING, Ui_SampleMenuStayOnEditor);
    Ui_SetMenuItemHandler(ROW_LOOP_OFF, Ui_SampleMenuLoopOff);
    static const MENUHANDLER kEffects[EFFECT_COUNT] = {
        [] { Ui_SampleMenuEffect(0); }, [] { Ui_SampleMenuEffect(1); }, [] { Ui_SampleMenuEffect(2); },
        [] { Ui_SampleMenuEffect(3); }, [] { Ui_SampleMenuEffect(4); }, [] { Ui_SampleMenuEffect(5); },
        [] { Ui_SampleMenuEffect(6); }, [] { Ui_SampleMenuEffect(7); },
    };
    for (int i = 0; i < EFFECT_COUNT; i++)
        Ui_SetMenuItemHandler(ROW_FIRST_EFFECT + i, kEffects[i]);
    g_atMenuItems[ROW_LOOP] = g_atMenuItemTable[ROW_LOOP];
    Ui_SetMenuItemHandler(ROW_LOOP, Ui_SampleMenuLoopOn);
    g_iRememberedLoopPoint = 1;
    g_iMixNote = 48;
    g_iMixFineTune = 50;
}

void Ui_InitSampleMenuOperations()
{
    Ui_SetBusyOperation(5, OpTrim, RefreshAfterEdit);
    Ui_SetBusyOperation(6, OpReverse, RefreshAfterEdit);
    Ui_SetBusyOperation(7, OpCopy, AfterCopy);
    Ui_SetBusyOperation(8, OpCut, RefreshAfterEdit);
    Ui_SetBusyOperation(9, OpPaste, RefreshAfterEdit);
    Ui_SetBusyOperation(16, OpMix, RefreshAfterEdit);
    Ui_SetBusyOperation(19, OpEffect, RefreshAfterEdit);
}

void Ui_SampleMenuZoomOut()
{
    if (!Editing())
        return;
    if (g_iSampleViewStart == 0 && g_iSampleViewEnd == std::max(0, g_iSampleLength - 1))
        return;
    Ui_SampleZoomOut();
}

void Ui_SampleMenuCopy()
{
    if (!Editing()) {
        Ui_PlayRefusal();
        return;
    }
    Busy(7);
}

void Ui_SampleMenuApplyEffects()
{
    Ui_SetMenuPage(8);
}

void Ui_SampleMenuCut()
{
    if (!Editing()) {
        Ui_PlayRefusal();
        return;
    }
    if (g_iSampleLength - AreaLength() < SAMPLE_MIN_AREA) {
        Tell(550);
        return;
    }
    Busy(8);
}

void Ui_SampleMenuTrim()
{
    if (!Editing()) {
        Ui_PlayRefusal();
        return;
    }
    if (AreaLength() < SAMPLE_MIN_AREA) {
        Tell(550);
        return;
    }
    Busy(5);
}

void Ui_SampleMenuMix()
{
    if (!Editing()) {
        Ui_PlayRefusal();
        return;
    }
    if (!ClipboardHolds()) {
        Tell(316);
        return;
    }
    Ui_OpenMixPanel();
}

void Ui_SampleMenuStayOnEditor()
{
    g_iNextScreen = SCREEN_SAMPLEEDIT;
}

void Ui_SampleMenuPaste()
{
    if (!Editing() || !ClipboardHolds()) {
        Ui_PlayRefusal();
        return;
    }
    Busy(9);
}

void Ui_SampleMenuReverse()
{
    if (!Editing()) {
        Ui_PlayRefusal();
        return;
    }
    Busy(6);
}

void Ui_SampleMenuLoopOn()
{
    if (!Editing()) {
        Ui_PlayRefusal();
        return;
    }
    LoopAt(0);
    g_iRememberedLoopPoint = 1;
    Ui_SwapLoopItem();
    Ui_SetMenuPage(6);
}

void Ui_SampleMenuLoopOff()
{
    if (!Editing()) {
        Ui_PlayRefusal();
        return;
    }
    Snd_DoSampleEdit(EDIT_LOOP, -1, 0, 0);
    g_bSampleLoopPresent = 0;
    g_aiSampleMarkerPx[SAMPLEMARK_LOOP] = -1;
    Ui_SwapLoopItem();
    Ui_SetMenuPage(6);
}

void Ui_SampleMenuEffect(int32_t n)
{
    if (!Editing()) {
        Ui_PlayRefusal();
        return;
    }
    Ui_OpenEffectParams(n);
}

void Ui_SwapLoopItem()
{
    // One row of the page shows either item: its text and handler follow the loop.
    const bool on = g_pEditSample && Snd_GetEditLoopStart() >= 0;
    g_atMenuItems[ROW_LOOP].text = g_atMenuItemTable[on ? ROW_LOOP_OFF : ROW_LOOP].text;
    g_atMenuItems[ROW_LOOP].handler = on ? Ui_SampleMenuLoopOff : Ui_SampleMenuLoopOn;
}

void Ui_ToggleLoop()
{
    if (g_ucSampleSourceMode == 1 || !Editing())
        return;
    if (Snd_GetEditLoopStart() < 0) {
        const int32_t point = std::clamp(g_iRememberedLoopPoint - 1, 0, std::max(0, g_iEditFrames - 1));
        LoopAt(point);
        Ui_SwapLoopItem();
    } else {
        g_iRememberedLoopPoint = Snd_GetEditLoopStart() + 1;
        Ui_SampleMenuLoopOff();
    }
}

void Ui_SampleEditorMenu()
{
    Sys_CallLog("Ui_SampleEditorMenu");
    if (g_ucSampleEditMode == SAMPLEPANEL_RECORD) {
        Ui_SampleMenuPlaying();
        Ui_SetMenuItemHandler(ROW_PLAY, nullptr);
        Ui_SetMenuItemHandler(ROW_SAMPLE_PALETTE, Ui_OpenSamplePalette);
    } else if (!g_bEditPreviewOn) {
        Ui_SampleMenuIdle();
        Ui_SetMenuItemHandler(ROW_PLAY, Ui_SampleMenuPlay);
    }
    const bool paste = ClipboardHolds() && !g_bEditPreviewOn && g_ucSampleEditMode != SAMPLEPANEL_RECORD;
    Ui_SetMenuItemHandler(ROW_PASTE, paste ? Ui_SampleMenuPaste : nullptr);
    Ui_SwapLoopItem();
    Ui_OpenPageMenu();
}

void Ui_DisableSampleListItems()
{
    if (s_bSampleListOff)
        return;
    for (size_t i = 0; i < std::size(kSampleListRows); i++) {
        s_apfnSampleListRows[i] = g_atMenuItems[kSampleListRows[i]].handler;
        g_atMenuItems[kSampleListRows[i]].handler = nullptr;
    }
    s_bSampleListOff = true;
}

void Ui_EnableSampleListItems()
{
    if (!s_bSampleListOff)
        return;
    for (size_t i = 0; i < std::size(kSampleListRows); i++)
        g_atMenuItems[kSampleListRows[i]].handler = s_apfnSampleListRows[i];
    s_bSampleListOff = false;
}

int32_t Ui_PixelToSamplePos(int32_t px)
{
    const int64_t start = g_iSampleViewStart, end = g_iSampleViewEnd;
    const int64_t pos = start + (((end - start) * ((int64_t(px) << 8) / SAMPLE_VIEW_PIXELS)) >> 8);
    return int32_t(std::clamp<int64_t>(pos, INT32_MIN, INT32_MAX));
}

// ---------------------------------------------------------------- effect parameters

int32_t Ui_CountShownParams(int32_t effect)
{
    const EFFECTUNIT *unit = Effect(effect);
    if (!unit || !unit->pRows)
        return 0;
    int32_t n = 0;
    for (uint32_t i = 0; i < unit->uRowCount; i++)
        if (unit->pRows[i].ucKind)
            n++;
    return n;
}

void Ui_OpenEffectParams(int32_t n)
{
    Sys_CallLog("Ui_OpenEffectParams");
    EFFECTUNIT *unit = Effect(n);
    if (!unit || !unit->pRows) {
        Ui_PlayRefusal();
        return;
    }
    s_tEffectDesc.selected = s_tEffectDesc.first = 0;
    g_iEffectParamEffect = n;
    int32_t shown = 0;
    int32_t width = MainTextWidth(unit->pszName) + 24;
    for (uint32_t i = 0; i < unit->uRowCount && i < 32; i++) {
        g_aiEffectSavedValues[i] = unit->pRows[i].iCurrent;
        if (!unit->pRows[i].ucKind)
            continue;
        if (shown < 30)
            g_aiEffectRowParam[shown++] = int32_t(i);
        width = std::max(width, MainTextWidth(unit->pRows[i].pszName) + 78);
    }
    width = std::min(width, EFFECT_POPUP_MAX_W);
    g_iEffectParamRows = shown + 2;
    const int32_t height = std::min(g_iEffectParamRows * 12 + 31, EFFECT_POPUP_MAX_H);
    s_iEffectListWidth = width - 22;
    POPUP *p = Ui_OpenPopupRows(POPUP_EFFECT_PARAMS, &s_tEffectDesc, g_iScreenWidth / 4, 69, width, height,
                                g_iEffectParamRows, FillEffectRow, DrawEffectRow);
    if (!p)
        return;
    std::snprintf(p->title, sizeof p->title, "%s", unit->pszName ? unit->pszName : "");
    g_pEffectPopup = p;
    Ui_SetFocus(p->window);
    g_iNextScreen = 9;
}

bool Ui_EffectParamsChoose(POPUP *p, int32_t row)
{
    if (!p || p->kind != POPUP_EFFECT_PARAMS)
        return false;
    EFFECTUNIT *unit = Effect(g_iEffectParamEffect);
    const int32_t shown = g_iEffectParamRows - 2;
    if (!unit || row < 0 || row >= g_iEffectParamRows) {
        Ui_PlayRefusal();
        return true;
    }
    if (row == shown + 1) {
        Ui_EffectParamsClose(p);
        return true;
    }
    if (row == shown) {
        // Apply keeps the values the user set: the pop-up goes without the cancel's restore.
        TakeDownEffectPopup();
        Snd_FreeEditScratch();
        Snd_SetEffectRateFromSample();
        const int selected = Snd_SelectEffect(g_iEffectParamEffect);
        Snd_ReleaseEffect(g_iEffectParamEffect);
        const int scratch = Snd_AllocEditScratch();
        if (selected == EFFECT_OK && scratch == 0)
            Ui_OpenBusyBox(unit->pszName, Ui_Text(349), UI_BUSY_CENTRED, 100, 19);
        else
            Tell(348);
        return true;
    }
    EFFECTPARAM &param = unit->pRows[g_aiEffectRowParam[row]];
    WINDOW *win = Ui_OpenValueEditor(&param.iCurrent, SLIDER_I32, param.iMin, param.iMax, 0, 0, 0, 0);
    if (!win) {
        Ui_PlayRefusal();
        return true;
    }
    for (TEXTFIELD &f : g_atTextFields)
        if (f.head.parent == win)
            f.text = param.pszName ? param.pszName : "";
    if (param.fScale != 1.0f && g_pValueEditorSlider)
        g_pValueEditorSlider->divisor = param.fScale;
    g_pfnValueEditorClosed = ParamEdited;
    return true;
}

bool Ui_EffectParamsClose(POPUP *p)
{
    if (!p || p->kind != POPUP_EFFECT_PARAMS)
        return false;
    RestoreEffectValues();
    g_pEffectPopup = p;
    TakeDownEffectPopup();
    return true;
}

uint8_t Ui_ApplySelectedEffect()
{
    if (!g_pEditSample || g_iEditFrames <= 0 || !Effect(g_iEffectParamEffect))
        return 0;
    Snd_DoSampleEdit(g_iEffectParamEffect, g_iEditSelFirst, g_iEditSelLast, 0);
    return 0;
}

// ---------------------------------------------------------------- mix panel

void Ui_OpenMixPanel()
{
    Sys_CallLog("Ui_OpenMixPanel");
    if (Ui_WindowIsOpen(g_pOptionWindow)) {
        Ui_PlayRefusal();
        return;
    }
    // Wide enough for the labels left of the sliders and the sliders themselves.
    constexpr int32_t w = 148 + 180 + 12, h = 65;
    WINDOWDESC d{};
    d.x = uint16_t(std::max(0, g_iScreenWidth / 2 - w / 2));
    d.y = 100;
    d.w = w;
    d.h = h;
    d.style = 1;
    d.draw = Ed_OptionPageDraw;
    WINDOW *win = Ui_OpenWindow(&d);
    if (!win) {
        Ui_PlayRefusal();
        return;
    }
    g_pOptionWindow = win;
    g_pMixPanelWindow = win;
    Ui_SetWindowRole(UI_ROLE_OPTION, win, Ed_OptionWindowClick);
    g_iMixNote = 48;
    g_iMixFineTune = 50;
    MixPanelLinks();
    g_ucOptionPageMode = 3;
    if (!Ed_ShowGadgetPage(s_atMixPage, -1)) {
        Ed_DropGadgetPage();
        Ui_CloseWindow(win);
        g_pOptionWindow = g_pMixPanelWindow = nullptr;
        g_pGadgetPage = g_pCurrentGadget = nullptr;
        g_ucOptionPageMode = 0;
        Ui_PlayRefusal();
        return;
    }
    for (int i = 0; i < 2; i++)
        if (s_atMixPage[i].widget)
            s_atMixPage[i].widget->head.flags |= VALUESLIDER_SKIP_AFTER_TICK;
    TEXTFIELDDESC td{};
    td.text = Ui_Text(676);
    td.x = 6;
    td.y = 7;
    td.w = int16_t(w - 13);
    td.h = 14;
    td.parent = win;
    td.b = 128;
    s_pMixCaption = Ui_CreateTextField(&td);
    g_iNextScreen = SCREEN_OPTIONS;
    Ui_SetFocus(win);
    g_pCurrentGadget = &s_atMixPage[0];
    Ed_GadgetFocus(g_pCurrentGadget);
}

void Ui_CloseMixPanel()
{
    Sys_CallLog("Ui_CloseMixPanel");
    const bool shown = g_pMixPanelWindow && g_pOptionWindow == g_pMixPanelWindow && g_ucOptionPageMode == 3;
    g_pMixPanelWindow = nullptr;
    s_pMixCaption = nullptr;
    // Leaving the page in its mix mode keeps the values and runs the mix.
    if (shown)
        Ed_OptionPageBack();
}
