#include "editors/mixerpanel.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "audio/mixerdev.h"
#include "render/fonts.h"
#include "render/prims2d.h"
#include "sequencer/instruments.h"
#include "ui/gridops.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/msgbox.h"
#include "ui/scrollbar.h"
#include "ui/textfield.h"
#include "ui/valueslider.h"
#include "ui/widgets.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

MIXERSCREENLINE g_astMixerScreenLines[ED_MIXER_ROWS];
uint8_t g_ucMixerLine = 0;
int32_t g_iMixerLineIndex = 0;
uint8_t g_ucMixerControlCount = 0;
WINDOW *g_pMixerWindow = nullptr;

namespace {

int32_t s_iLineShown = -1;
uint8_t s_ucLineCount = 0;
char s_szLineName[32] = "";
VALUESLIDER *s_pLineSlider = nullptr;
void *s_pSavedFocus = nullptr;
int32_t s_iSavedScreen = 0;
// What was last written to each control, so the mixer is only written on a change.
int32_t s_aiWritten[ED_MIXER_ROWS];

int32_t ControlCount(int32_t line)
{
    // The panel has 16 rows; controls past them are not shown.
    return std::clamp(Snd_GetMixerControlCount(line), 0, ED_MIXER_ROWS);
}

void SetDisabled(VALUESLIDER *s, bool disabled)
{
    if (!s)
        return;
    const auto apply = [disabled](uint32_t &flags) {
        if (disabled)
            flags |= VALUESLIDER_SKIP_ALL;
        else
            flags &= ~uint32_t(VALUESLIDER_SKIP_ALL);
    };
    apply(s->head.flags);
    if (s->bar) {
        apply(s->bar->head.flags);
        Ui_MarkScrollBarDirty(s->bar);
    }
}

void SetLevel(MIXERSCREENLINE &row, int32_t level)
{
    row.level = std::clamp(level, 0, 255);
    if (row.slider) {
        Ui_StepValueSlider(row.slider, int64_t(row.level) + row.slider->shift - row.slider->value);
    }
}

// The rows' levels as the sliders hold them, written to the line's controls that changed.
void WriteLevels(int32_t line, bool all)
{
    for (int i = 0; i < g_ucMixerControlCount; i++) {
        MIXERSCREENLINE &row = g_astMixerScreenLines[i];
        if (row.slider)
            row.level = row.slider->value - row.slider->shift;
        if (!all && s_aiWritten[i] == row.level)
            continue;
        s_aiWritten[i] = row.level;
        Snd_SetMixerControlValue(line, i, row.level, row.level);
    }
}

void StepFocused(int64_t delta)
{
    if (g_ucMixerLine < ED_MIXER_ROWS && g_astMixerScreenLines[g_ucMixerLine].slider)
        Ui_StepValueSlider(g_astMixerScreenLines[g_ucMixerLine].slider, delta);
}

int32_t CoarseStep()
{
    const VALUESLIDER *s = g_ucMixerLine < ED_MIXER_ROWS ? g_astMixerScreenLines[g_ucMixerLine].slider : nullptr;
    if (!s || !s->bar)
        return 2;
    const int32_t span = int32_t(s->bar->head.w) - 32;
    return 2 * (span > 0 ? std::max(1, s->maximum / span) : 1);
}

SCROLLBAR *FocusedBar()
{
    VALUESLIDER *s = g_ucMixerLine < ED_MIXER_ROWS ? g_astMixerScreenLines[g_ucMixerLine].slider : nullptr;
    return s ? s->bar : nullptr;
}

} // namespace

void Ed_MixerRefreshLines()
{
    const int32_t line = g_iMixerLineIndex;
    for (int i = 0; i < ED_MIXER_ROWS; i++) {
        MIXERSCREENLINE &row = g_astMixerScreenLines[i];
        if (i < g_ucMixerControlCount) {
            char name[SND_MIXER_NAME_BYTES] = {};
            Snd_GetMixerControlName(line, i, name);
            std::snprintf(row.name, sizeof row.name, "%.31s", name);
            int left = 0, right = 0;
            if (Snd_GetMixerControlValue(line, i, &left, &right) != 0)
                left = 0;
            SetLevel(row, left);
            s_aiWritten[i] = row.level;
            SetDisabled(row.slider, false);
        } else {
            row.name[0] = 0;
            SetDisabled(row.slider, true);
        }
        if (row.slider && row.slider->bar)
            Ui_MarkScrollBarDirty(row.slider->bar);
    }
}

void Ed_OpenMixerPanel()
{
    Sys_CallLog("Ed_OpenMixerPanel");
    if (Ui_WindowIsOpen(g_pMixerWindow))
        return;
    Snd_EnumMixerDevices();
    if (Snd_OpenMixer(0) != 0) {
        MSGBOXREQUEST r{};
        r.pszText = "The sound card's mixer could not be opened.";
        r.ucButtonCount = 1;
        r.asButtonText[0] = 114;
        Ui_OpenMessageBox(&r);
        return;
    }
    s_ucLineCount = uint8_t(std::clamp(Snd_GetMixerLineCount(), 0, 255));
    // A line index kept from another sound card, or a line without controls: no panel, and the
    // mixer is closed again.
    if (g_iMixerLineIndex < 0 || g_iMixerLineIndex >= s_ucLineCount || ControlCount(g_iMixerLineIndex) < 1) {
        Snd_CloseMixer();
        Ui_PlayRefusal();
        return;
    }
    char name[SND_MIXER_NAME_BYTES] = {};
    Snd_GetMixerLineName(g_iMixerLineIndex, name);
    std::snprintf(s_szLineName, sizeof s_szLineName, "%.31s", name);
    g_ucMixerControlCount = uint8_t(ControlCount(g_iMixerLineIndex));
    WINDOWDESC wd{};
    wd.x = 179;
    wd.y = 80;
    wd.w = 283;
    wd.h = uint16_t((g_ucMixerControlCount + 1) * 25 + 30);
    wd.style = 1;
    wd.draw = Ed_MixerPanelDraw;
    g_pMixerWindow = Ui_OpenWindow(&wd);
    if (!g_pMixerWindow) {
        Snd_CloseMixer();
        Ui_PlayRefusal();
        return;
    }
    TEXTFIELDDESC td{};
    td.text = Ui_Text(660);
    td.x = 6;
    td.y = 7;
    td.w = int16_t(283 - 13);
    td.h = 14;
    td.parent = g_pMixerWindow;
    td.b = 128;
    Ui_CreateTextField(&td);
    VALUESLIDERDESC sd{};
    sd.x = 12;
    sd.y = 35;
    sd.w = 260;
    sd.target = &g_iMixerLineIndex;
    sd.targetWidth = SLIDER_I32;
    sd.minimum = 0;
    sd.maximum = std::max(0, s_ucLineCount - 1);
    s_pLineSlider = Ui_CreateValueSlider(&sd, g_pMixerWindow);
    for (int i = 0; i < ED_MIXER_ROWS; i++) {
        MIXERSCREENLINE &row = g_astMixerScreenLines[i];
        row.slider = nullptr;
        // Rows below the window's height are never seen; only the line's own rows get sliders.
        if (i >= g_ucMixerControlCount)
            continue;
        VALUESLIDERDESC rd{};
        rd.x = 12;
        rd.y = uint16_t((i + 1) * 25 + 35);
        rd.w = 260;
        rd.target = &row.level;
        rd.targetWidth = SLIDER_I32;
        rd.minimum = 0;
        rd.maximum = 255;
        row.slider = Ui_CreateValueSlider(&rd, g_pMixerWindow);
    }
    s_iLineShown = g_iMixerLineIndex;
    Ed_MixerRefreshLines();
    g_ucMixerLine = 0;
    if (SCROLLBAR *bar = FocusedBar()) {
        bar->pressed = SCROLLPART_FIRST_ARROW;
        Ui_MarkScrollBarDirty(bar);
    }
    s_pSavedFocus = Ui_GetFocus();
    s_iSavedScreen = g_iScreen;
    Ui_SetFocus(g_pMixerWindow);
    g_iNextScreen = SCREEN_MIXER;
}

void Ed_MixerPanelDraw(void *)
{
    Gfx_DrawTextInFont(s_szLineName, 12, 24, &g_atUiFonts[0], 0x808080, g_pOrderingTable);
    for (int i = 0; i < g_ucMixerControlCount; i++)
        Gfx_DrawTextInFont(g_astMixerScreenLines[i].name, 12, (i + 1) * 25 + 24, &g_atUiFonts[0], 0x808080,
                           g_pOrderingTable);
    WriteLevels(s_iLineShown, false);
    if (s_pLineSlider) {
        const int32_t line = s_pLineSlider->value - s_pLineSlider->shift;
        if (line != s_iLineShown) {
            g_iMixerLineIndex = line;
            s_iLineShown = line;
            char name[SND_MIXER_NAME_BYTES] = {};
            Snd_GetMixerLineName(line, name);
            std::snprintf(s_szLineName, sizeof s_szLineName, "%.31s", name);
            // The window keeps the rows it was opened with.
            int rows = 0;
            while (rows < ED_MIXER_ROWS && g_astMixerScreenLines[rows].slider)
                rows++;
            g_ucMixerControlCount = uint8_t(std::min(ControlCount(line), rows));
            if (g_ucMixerLine >= std::max<int>(g_ucMixerControlCount, 1)) {
                if (SCROLLBAR *bar = FocusedBar())
                    bar->pressed = SCROLLPART_NONE;
                g_ucMixerLine = 0;
                if (SCROLLBAR *bar = FocusedBar())
                    bar->pressed = SCROLLPART_FIRST_ARROW;
            }
            Ed_MixerRefreshLines();
        }
    }
}

void Ed_CloseMixerPanel()
{
    Sys_CallLog("Ed_CloseMixerPanel");
    if (!Ui_WindowIsOpen(g_pMixerWindow))
        return;
    if (s_pLineSlider)
        g_iMixerLineIndex = s_pLineSlider->value - s_pLineSlider->shift;
    if (g_iMixerLineIndex == s_iLineShown)
        WriteLevels(g_iMixerLineIndex, true);
    Ui_CloseWindow(g_pMixerWindow);
    g_pMixerWindow = nullptr;
    s_pLineSlider = nullptr;
    for (MIXERSCREENLINE &row : g_astMixerScreenLines)
        row.slider = nullptr;
    Snd_CloseMixer();
    Seq_PlayInterfaceSound(2);
    if (s_pSavedFocus)
        Ui_SetFocus(s_pSavedFocus);
    g_iNextScreen = s_iSavedScreen;
}

void Ed_MixerChoiceLeft()
{
    if (SCROLLBAR *bar = FocusedBar(); bar && bar->pressed > SCROLLPART_FIRST_ARROW) {
        bar->pressed--;
        Ui_MarkScrollBarDirty(bar);
    }
}

void Ed_MixerChoiceRight()
{
    if (SCROLLBAR *bar = FocusedBar(); bar && bar->pressed < SCROLLPART_SECOND_ARROW) {
        bar->pressed++;
        Ui_MarkScrollBarDirty(bar);
    }
}

namespace {

void MoveFocus(int to)
{
    SCROLLBAR *from = FocusedBar();
    const uint8_t cursor = from ? from->pressed : uint8_t(SCROLLPART_FIRST_ARROW);
    if (from) {
        from->pressed = SCROLLPART_NONE;
        Ui_MarkScrollBarDirty(from);
    }
    g_ucMixerLine = uint8_t(to);
    if (SCROLLBAR *bar = FocusedBar()) {
        bar->pressed = cursor ? cursor : uint8_t(SCROLLPART_FIRST_ARROW);
        Ui_MarkScrollBarDirty(bar);
    }
}

} // namespace

void Ed_MixerLineUp()
{
    if (g_ucMixerLine > 0)
        MoveFocus(g_ucMixerLine - 1);
}

void Ed_MixerLineDown()
{
    if (g_ucMixerLine + 1 < g_ucMixerControlCount)
        MoveFocus(g_ucMixerLine + 1);
}

void Ed_MixerChoiceAct()
{
    SCROLLBAR *bar = FocusedBar();
    if (!bar)
        return;
    switch (bar->pressed) {
    case SCROLLPART_FIRST_ARROW:
    case SCROLLPART_SECOND_ARROW:
        if (g_iRepeatDelay == 0) {
            StepFocused(bar->pressed == SCROLLPART_FIRST_ARROW ? -1 : 1);
            g_iRepeatDelay = 10;
        }
        break;
    case SCROLLPART_THUMB: g_iNextScreen = SCREEN_MIXER_LEVEL; break;
    default: break;
    }
}

void Ed_MixerLevelCoarseStep()
{
    StepFocused(CoarseStep());
}

void Ed_MixerLevelCoarseStep2()
{
    StepFocused(CoarseStep());
}

void Ed_MixerLevelPageBack()
{
    g_iNextScreen = SCREEN_MIXER;
}
