// The curve widget (kind 5): up to four point curves on a grid, one of them carrying an animated
// cursor on its current point. A curve is a list of at most 64 points sorted by x, 0..255 on
// both axes (held as value << 8 when the curve's shift is 8), joined by straight lines.
// Also the two small fixed-point helpers the editors share for graphs, meters and fades.
#pragma once

#include "ui/widgets.h"

#include <cstdint>

constexpr int32_t CURVE_MAX_POINTS = 64;
constexpr int32_t CURVE_POOL = 4;
constexpr int32_t CURVE_SLOTS = 4;
constexpr int32_t CURVE_WIDGETS = 1;
constexpr int32_t CURVE_CURSOR_FRAMES = 12;

// CURVEWIDGET head flags.
enum : uint32_t
{
    CURVE_PLAIN = 0x80,        // no point dots, no grid and frame
    CURVE_CENTRE_LINE = 0x100, // a red line across at half height
};

enum : uint8_t
{
    CURVE_CURSOR_MOVE = 0,
    CURVE_CURSOR_SELECT = 1,
    CURVE_CURSOR_NONE = 2,
};

struct CURVEWIDGET;

struct CURVEPOINT
{
    uint16_t x, y;
};

struct CURVEPOINTS
{
    uint8_t free; // nonzero while the record is unused
    uint8_t current;
    uint8_t count;
    uint8_t r, g, b;
    uint8_t shift; // 8: points hold value << 8; 0: points is an array of (x, y) byte pairs
    CURVEWIDGET *owner;
    CURVEPOINT *points; // own[] unless set otherwise (byte pairs are read through it)
    CURVEPOINT own[CURVE_MAX_POINTS];
};

struct CURVEWIDGET
{
    WIDGET head;
    int16_t gridX, gridY;
    uint8_t curveCount;
    CURVEPOINTS *current;
    uint8_t cursorRow;
    uint8_t cursorFrame;
    uint8_t inputDelay;
    CURVEPOINTS *curves[CURVE_SLOTS];
};

struct CURVEWIDGETDESC
{
    int16_t x, y, w, h;
    int16_t gridX, gridY;
    UIWIDGETCALLBACK press, held, release;
};

extern CURVEWIDGET g_atCurveWidgets[CURVE_WIDGETS];
extern CURVEPOINTS g_atCurvePoints[CURVE_POOL];

void Ed_InitCurvePools();
// Null when the widget is in use. Attached to the parent when one is given.
CURVEWIDGET *Ed_CreateCurveWidget(const CURVEWIDGETDESC *desc, WINDOW *parent);
// Null when no curve record is free or the widget already has four.
CURVEPOINTS *Ed_AttachCurve(CURVEWIDGET *widget, uint8_t r, uint8_t g, uint8_t b);
// Gives a curve record back (its slot in the owner is cleared).
void Ed_FreeCurve(CURVEPOINTS *curve);
// Inserts before the first point whose x is at least x; the index, or -1 when the curve is full.
int32_t Ed_InsertCurvePoint(CURVEPOINTS *curve, uint16_t x, uint16_t y);
// Removes point `index`; false when there is no such point.
bool Ed_RemoveCurvePoint(CURVEPOINTS *curve, int32_t index);
// Copies count, current point, colour and points (not the record's own pointers).
void Ed_CopyCurve(CURVEPOINTS *to, const CURVEPOINTS *from);

// (size * ((value << 8) / full)) >> 8 in signed integers; 0 when full is 0.
int32_t Ed_ScaleFixed(int32_t value, int32_t full, int32_t size);
// Adds step when the byte is below target, then takes it off when the byte is (now) above; the
// byte never wraps, so it comes to rest within one step of the target.
void Ed_StepByteToward(uint8_t *value, uint8_t target, uint8_t step);

// The point's place inside the widget (pixels from its top left), higher values higher up.
void Ed_CurvePointPixel(const CURVEWIDGET *widget, const CURVEPOINTS *curve, int32_t index, int32_t *px,
                        int32_t *py);
void Ed_DrawCurve(CURVEWIDGET *widget, CURVEPOINTS *curve);
void Ed_DrawCurveWidget(CURVEWIDGET *widget);
// A note envelope (count points of x | y << 8) drawn w x h at (x, y) as straight lines.
void Ed_DrawNoteCurve(const uint16_t *values, int32_t count, int32_t x, int32_t y, int32_t w, int32_t h);
