// Value sliders (widget kind 6): one integer variable of the caller edited in place through a
// horizontal bar with arrows and a number box; and the value editor, a small window with one
// slider and a caption that writes the value back when it closes. The bar's mouse callback
// steps the value, faster the longer an arrow is held.
#pragma once

#include "ui/scrollbar.h"
#include "ui/textfield.h"
#include "ui/widgets.h"

#include <cstdint>

constexpr int UI_VALUESLIDERS = 32;
constexpr int32_t SCREEN_VALUEEDIT = 26;
constexpr int32_t SCREEN_VALUEDRAG = 27;

enum : uint32_t
{
    VALUESLIDER_SKIP_AFTER_TICK = 0x100,
    VALUESLIDER_SKIP_ALL = 0x800,
};

enum : uint8_t
{
    SLIDER_U8 = 0,
    SLIDER_I16 = 1,
    SLIDER_I32 = 2,
};

struct VALUESLIDER
{
    WIDGET head;
    SCROLLBAR *bar;
    void *target;
    int32_t value; // slider units: the variable + shift
    uint8_t targetWidth;
    int32_t minimum, maximum;
    uint8_t hideNumber;
    float divisor; // 0: shown as an integer
    int32_t shift;
    uint8_t idle; // frames since the last mouse step, counted down from 10
};

struct VALUESLIDERDESC
{
    uint16_t x, y, w;
    void *target;
    uint8_t targetWidth;
    int32_t minimum, maximum;
};

extern VALUESLIDER g_atValueSliders[UI_VALUESLIDERS];
extern int32_t g_iSliderAccel;      // the arrows' step, doubled every 5 repeats of a hold
extern int32_t g_iSliderAccelCount;

extern WINDOW *g_pValueEditorWindow;
extern VALUESLIDER *g_pValueEditorSlider;
extern void *g_pPrevFocusWidget;
extern int16_t g_sReturnScreen; // shared with the pop-ups (ui/popup.cpp)
// Run after the value editor has stored its value and closed (the opener's follow-up).
extern void (*g_pfnValueEditorClosed)();

void Ui_InitValueSliderPool();
// Null when all 32 are in use.
VALUESLIDER *Ui_AllocValueSlider();
// Null when no slider or bar is free (nothing is left attached).
VALUESLIDER *Ui_CreateValueSlider(const VALUESLIDERDESC *desc, WINDOW *parent);
// Moves the value by delta within minimum..maximum (never wrapping) and the bar with it.
void Ui_StepValueSlider(VALUESLIDER *slider, int64_t delta);
void Ui_StoreSliderValue(VALUESLIDER *slider);
void Ui_DrawValueSlider(VALUESLIDER *slider);
// The text the number box shows ("%d", or "%.3f" of the value over the divisor).
void Ui_FormatSliderValue(const VALUESLIDER *slider, char *out, int size);

// The bar callback of sliders (press and held).
void Ui_SliderBarMouse(WIDGET *bar);
void Ui_ResetSliderAcceleration();

// Null when the window, slider or caption cannot be had (nothing is left open).
WINDOW *Ui_OpenValueEditor(void *target, uint8_t targetWidth, int32_t minimum, int32_t maximum, int32_t titleText,
                           int32_t x, int32_t y, int32_t width);
// The held step of screen 27: 4 x max(1, maximum / (bar width - 32)).
int32_t Ui_ValueEditorDragStep(const VALUESLIDER *slider);
// Pad handlers: screen 26 part left / right, activate, close; screen 27 held steps and release.
void Ui_ValueEditorLeft();
void Ui_ValueEditorRight();
void Ui_ValueEditorBeginStep();
void Ui_ValueEditorClose();
void Ui_ValueEditorStepUp();
void Ui_ValueEditorStepDown();
void Ui_ValueEditorEndStep();
