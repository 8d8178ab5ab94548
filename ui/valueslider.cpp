#include "ui/valueslider.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "render/fonts.h"
#include "render/prims2d.h"
#include "render/gpustate.h"
#include "ui/langtext.h"
#include "ui/mouse.h"
#include "ui/valueeditor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

VALUESLIDER g_atValueSliders[UI_VALUESLIDERS];
int32_t g_iSliderAccel = 1;
int32_t g_iSliderAccelCount = 0;
WINDOW *g_pValueEditorWindow = nullptr;
VALUESLIDER *g_pValueEditorSlider = nullptr;
void *g_pPrevFocusWidget = nullptr;
void (*g_pfnValueEditorClosed)() = nullptr;

namespace {

int32_t ReadTarget(const void *target, uint8_t width)
{
    if (!target)
        return 0;
    switch (width) {
    case SLIDER_U8: return *static_cast<const uint8_t *>(target);
    case SLIDER_I16: return *static_cast<const int16_t *>(target);
    default: return *static_cast<const int32_t *>(target);
    }
}

VALUESLIDER *SliderOfBar(WIDGET *w)
{
    if (!w || w->kind != WIDGET_SCROLLBAR)
        return nullptr;
    auto *bar = reinterpret_cast<SCROLLBAR *>(w);
    auto *s = static_cast<VALUESLIDER *>(bar->owner);
    return s && s->bar == bar ? s : nullptr;
}

int32_t BarWidth(const VALUESLIDER *s)
{
    return s->head.w - 56;
}

TEXTFIELD *s_pValueEditorCaption = nullptr;

} // namespace

void Ui_InitValueSliderPool()
{
    for (VALUESLIDER &s : g_atValueSliders) {
        std::memset(&s, 0, sizeof s);
        s.head.flags = WIDGET_FREE;
    }
    g_iSliderAccel = 1;
    g_iSliderAccelCount = 0;
    g_pValueEditorWindow = nullptr;
    g_pValueEditorSlider = nullptr;
}

VALUESLIDER *Ui_AllocValueSlider()
{
    for (VALUESLIDER &s : g_atValueSliders)
        if (s.head.flags & WIDGET_FREE)
            return &s;
    return nullptr;
}

VALUESLIDER *Ui_CreateValueSlider(const VALUESLIDERDESC *desc, WINDOW *parent)
{
    if (!desc)
        return nullptr;
    VALUESLIDER *s = Ui_AllocValueSlider();
    if (!s)
        return nullptr;
    std::memset(s, 0, sizeof *s);
    s->head.kind = WIDGET_VALUESLIDER;
    s->head.x = desc->x;
    s->head.y = desc->y;
    s->head.w = desc->w;
    s->head.h = 12;
    s->target = desc->target;
    s->targetWidth = desc->targetWidth;
    s->value = ReadTarget(desc->target, desc->targetWidth);
    s->minimum = desc->minimum;
    s->maximum = desc->maximum;
    if (s->minimum < 0) {
        s->shift = -s->minimum;
        s->minimum = 0;
        s->maximum += s->shift;
        s->value += s->shift;
    }
    s->value = std::clamp(s->value, s->minimum, std::max(s->minimum, s->maximum));
    SCROLLBARDESC bd{};
    bd.flags = SCROLLBAR_HORIZONTAL;
    bd.x = desc->x;
    bd.y = uint16_t(desc->y + 2);
    bd.w = uint16_t(std::max(0, desc->w - 56));
    bd.h = 8;
    bd.position = s->value;
    bd.minimum = s->minimum;
    bd.maximum = s->maximum;
    bd.page = 0;
    bd.press = Ui_SliderBarMouse;
    bd.held = Ui_SliderBarMouse;
    // The bar goes into the window first so that a press on it finds the bar, not the slider.
    SCROLLBAR *bar = Ui_CreateScrollBar(&bd, parent);
    if (!bar)
        return nullptr; // the record stays free
    bar->owner = s;
    s->bar = bar;
    s->head.flags = 0;
    if (parent)
        Ui_AttachWidget(parent, &s->head);
    return s;
}

void Ui_StepValueSlider(VALUESLIDER *s, int64_t delta)
{
    if (!s)
        return;
    // 64-bit: a large accelerated step must stop at the end, never wrap past it.
    const int64_t v = int64_t(s->value) + delta;
    if (delta < 0)
        s->value = int32_t(std::max<int64_t>(v, s->minimum));
    else if (delta > 0)
        s->value = int32_t(std::min<int64_t>(v, s->maximum));
    if (s->bar) {
        Ui_SetScrollBarPos(s->bar, s->value);
        s->bar->dirty = 2;
    }
}

void Ui_StoreSliderValue(VALUESLIDER *s)
{
    if (!s || !s->target)
        return;
    const int32_t v = s->value - s->shift;
    switch (s->targetWidth) {
    case SLIDER_U8: *static_cast<uint8_t *>(s->target) = uint8_t(v); break;
    case SLIDER_I16: *static_cast<int16_t *>(s->target) = int16_t(v); break;
    default: *static_cast<int32_t *>(s->target) = v; break;
    }
}

void Ui_FormatSliderValue(const VALUESLIDER *s, char *out, int size)
{
    if (!out || size <= 0)
        return;
    out[0] = '\0';
    if (!s)
        return;
    const int32_t v = s->value - s->shift;
    if (s->divisor != 0.0f)
        std::snprintf(out, size_t(size), "%.3f", double(v) / double(s->divisor));
    else
        std::snprintf(out, size_t(size), "%d", v);
}

void Ui_DrawValueSlider(VALUESLIDER *s)
{
    if (!s || (s->head.flags & VALUESLIDER_SKIP_ALL))
        return;
    Ui_KeyRepeatTick();
    if (s->head.flags & VALUESLIDER_SKIP_AFTER_TICK)
        return;
    if (s->idle)
        s->idle--;
    const int32_t barWidth = BarWidth(s);
    if (!s->hideNumber) {
        char text[32];
        Ui_FormatSliderValue(s, text, sizeof text);
        g_pFont = &g_tFontMain;
        const uint32_t colour = g_uiTextColour;
        g_uiTextColour = 0x808080;
        Gfx_DrawTextCentred(text, s->head.x + barWidth + 31, s->head.y + 1, g_pOrderingTable);
        g_uiTextColour = colour;
    }
    Gfx_AddBevelBox(s->head.x + barWidth + 5, s->head.y, s->hideNumber ? 92 : 50, s->head.h);
}

void Ui_ResetSliderAcceleration()
{
    g_iSliderAccel = 1;
    g_iSliderAccelCount = 0;
}

void Ui_SliderBarMouse(WIDGET *w)
{
    VALUESLIDER *s = SliderOfBar(w);
    if (!s)
        return;
    SCROLLBAR *bar = s->bar;
    const int32_t step = Ui_ScrollBarStepAtPointer(bar);
    const bool press = (g_ucMouseButtons & MOUSE_LEFT_PRESS) != 0;
    if (step == -1 || step == 1) {
        // An arrow acts on the press, then once per 6-frame repeat while held.
        if (!press && bar->holdCount)
            return;
        bar->pressed = step < 0 ? SCROLLPART_FIRST_ARROW : SCROLLPART_SECOND_ARROW;
        Ui_StepValueSlider(s, int64_t(step) * g_iSliderAccel);
        bar->holdCount = 6;
        if (++g_iSliderAccelCount > 4) {
            // Capped at the whole range: a long hold can never overflow the step.
            const int64_t range = std::max<int64_t>(1, int64_t(s->maximum) - s->minimum);
            g_iSliderAccel = int32_t(std::min<int64_t>(int64_t(g_iSliderAccel) * 2, range));
            g_iSliderAccelCount = 0;
        }
    } else if (step != 0) {
        const int64_t page = std::max<int64_t>(1, s->maximum / 16);
        Ui_StepValueSlider(s, step < 0 ? -page : page);
    } else {
        return;
    }
    s->idle = 10;
}

WINDOW *Ui_OpenValueEditor(void *target, uint8_t targetWidth, int32_t minimum, int32_t maximum, int32_t titleText,
                           int32_t x, int32_t y, int32_t width)
{
    Sys_CallLog("Ui_OpenValueEditor");
    if (g_pValueEditorWindow)
        return nullptr;
    if (width <= 0)
        width = 200;
    WINDOWDESC wd{};
    wd.x = uint16_t(x > 0 ? x : std::max(0, g_iScreenWidth / 2 - width / 2));
    wd.y = uint16_t(y > 0 ? y : 90);
    wd.w = uint16_t(width);
    wd.h = 40;
    wd.style = 1;
    WINDOW *win = Ui_OpenWindow(&wd);
    if (!win)
        return nullptr;
    VALUESLIDERDESC sd{};
    sd.x = 6;
    sd.y = 23;
    sd.w = uint16_t(width - 12);
    sd.target = target;
    sd.targetWidth = targetWidth;
    sd.minimum = minimum;
    sd.maximum = maximum;
    VALUESLIDER *s = Ui_CreateValueSlider(&sd, win);
    TEXTFIELDDESC td{};
    td.text = Ui_Text(titleText);
    td.x = 6;
    td.y = 7;
    td.w = int16_t(width - 13);
    td.h = 14;
    td.parent = win;
    td.r = 0;
    td.g = 0;
    td.b = 128;
    TEXTFIELD *caption = s ? Ui_CreateTextField(&td) : nullptr;
    if (!s || !caption) {
        Ui_CloseWindow(win);
        return nullptr;
    }
    s_pValueEditorCaption = caption;
    g_pValueEditorWindow = win;
    g_pValueEditorSlider = s;
    g_pPrevFocusWidget = g_pFocusWidget;
    Ui_ValueEditorOpened(g_pPrevFocusWidget);
    Ui_SetFocus(win);
    g_sReturnScreen = int16_t(g_iScreen);
    g_iNextScreen = SCREEN_VALUEEDIT;
    s->bar->pressed = SCROLLPART_THUMB;
    return win;
}

int32_t Ui_ValueEditorDragStep(const VALUESLIDER *s)
{
    if (!s)
        return 4;
    const int32_t span = BarWidth(s) - 32;
    // A bar of 32 pixels or less would divide by zero or go negative.
    const int32_t k = span > 0 ? std::max(1, s->maximum / span) : 1;
    return 4 * k;
}

void Ui_ValueEditorLeft()
{
    if (g_pValueEditorSlider && g_pValueEditorSlider->bar) {
        SCROLLBAR *b = g_pValueEditorSlider->bar;
        b->pressed = uint8_t(std::max<int>(SCROLLPART_FIRST_ARROW, b->pressed - 1));
        b->dirty = 2;
    }
}

void Ui_ValueEditorRight()
{
    if (g_pValueEditorSlider && g_pValueEditorSlider->bar) {
        SCROLLBAR *b = g_pValueEditorSlider->bar;
        b->pressed = uint8_t(std::min<int>(SCROLLPART_SECOND_ARROW, b->pressed + 1));
        b->dirty = 2;
    }
}

void Ui_ValueEditorBeginStep()
{
    VALUESLIDER *s = g_pValueEditorSlider;
    if (!s || !s->bar)
        return;
    switch (s->bar->pressed) {
    case SCROLLPART_FIRST_ARROW:
    case SCROLLPART_SECOND_ARROW:
        if (g_iRepeatDelay == 0) {
            Ui_StepValueSlider(s, s->bar->pressed == SCROLLPART_FIRST_ARROW ? -1 : 1);
            g_iRepeatDelay = 10;
        }
        break;
    default: g_iNextScreen = SCREEN_VALUEDRAG; break;
    }
}

void Ui_ValueEditorStepUp()
{
    Ui_StepValueSlider(g_pValueEditorSlider, Ui_ValueEditorDragStep(g_pValueEditorSlider));
}

void Ui_ValueEditorStepDown()
{
    Ui_StepValueSlider(g_pValueEditorSlider, -Ui_ValueEditorDragStep(g_pValueEditorSlider));
}

void Ui_ValueEditorEndStep()
{
    g_iNextScreen = SCREEN_VALUEEDIT;
}

void Ui_ValueEditorClose()
{
    Sys_CallLog("Ui_ValueEditorClose");
    if (!g_pValueEditorWindow)
        return;
    // No cancel: leaving always keeps the value.
    Ui_StoreSliderValue(g_pValueEditorSlider);
    WINDOW *win = g_pValueEditorWindow;
    g_pValueEditorWindow = nullptr;
    g_pValueEditorSlider = nullptr;
    s_pValueEditorCaption = nullptr;
    Ui_CloseWindow(win);
    Ui_SetFocus(g_pPrevFocusWidget);
    g_iNextScreen = g_sReturnScreen;
    // The follow-up belongs to this opening only: a later editor opened without one must not run it.
    void (*closed)() = g_pfnValueEditorClosed;
    g_pfnValueEditorClosed = nullptr;
    if (closed)
        closed();
}
