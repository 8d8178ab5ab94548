#include "editors/curvewidget.h"

#include "render/prims2d.h"

#include <algorithm>
#include <cstring>

CURVEWIDGET g_atCurveWidgets[CURVE_WIDGETS];
CURVEPOINTS g_atCurvePoints[CURVE_POOL];

namespace {

// A record is also free again once the widget that owned it has gone with its window.
bool CurveFree(const CURVEPOINTS &c)
{
    return c.free || !c.owner || (c.owner->head.flags & WIDGET_FREE);
}

void PointValues(const CURVEPOINTS *c, int32_t i, int32_t *x, int32_t *y)
{
    if (c->shift == 8) {
        *x = c->points[i].x >> 8;
        *y = c->points[i].y >> 8;
    } else {
        // Packed byte pairs (a note's envelope list): point i is bytes 2i (x) and 2i + 1 (y).
        const uint8_t *b = reinterpret_cast<const uint8_t *>(c->points);
        *x = b[2 * i];
        *y = b[2 * i + 1];
    }
}

// The cursor: a 12-frame pulse, a frame for the select cursor, arrows for the move cursor.
void DrawCursor(uint8_t row, uint8_t frame, int32_t px, int32_t py)
{
    const int32_t d = 4 + (frame < 6 ? frame : 11 - frame) / 2;
    if (row == CURVE_CURSOR_SELECT) {
        const uint8_t r = 255, g = uint8_t(200 + frame * 4), b = 0;
        Gfx_AddLine(px - d, py - d, px + d, py - d, r, g, b);
        Gfx_AddLine(px + d, py - d, px + d, py + d, r, g, b);
        Gfx_AddLine(px + d, py + d, px - d, py + d, r, g, b);
        Gfx_AddLine(px - d, py + d, px - d, py - d, r, g, b);
    } else {
        const uint8_t r = 0, g = uint8_t(200 + frame * 4), b = 255;
        Gfx_AddLine(px - d - 2, py, px + d + 2, py, r, g, b);
        Gfx_AddLine(px, py - d - 2, px, py + d + 2, r, g, b);
        for (int s = -1; s <= 1; s += 2) {
            const int32_t e = s * (d + 2);
            Gfx_AddLine(px + e, py, px + e - s * 2, py - 2, r, g, b);
            Gfx_AddLine(px + e, py, px + e - s * 2, py + 2, r, g, b);
            Gfx_AddLine(px, py + e, px - 2, py + e - s * 2, r, g, b);
            Gfx_AddLine(px, py + e, px + 2, py + e - s * 2, r, g, b);
        }
    }
}

} // namespace

void Ed_InitCurvePools()
{
    for (CURVEWIDGET &w : g_atCurveWidgets) {
        std::memset(&w, 0, sizeof w);
        w.head.flags = WIDGET_FREE;
    }
    for (CURVEPOINTS &c : g_atCurvePoints) {
        std::memset(&c, 0, sizeof c);
        c.free = 1;
    }
}

CURVEWIDGET *Ed_CreateCurveWidget(const CURVEWIDGETDESC *desc, WINDOW *parent)
{
    if (!desc)
        return nullptr;
    CURVEWIDGET *w = nullptr;
    for (CURVEWIDGET &c : g_atCurveWidgets)
        if (c.head.flags & WIDGET_FREE) {
            w = &c;
            break;
        }
    if (!w)
        return nullptr;
    // Curves the last owner left behind go back to the pool with it.
    for (CURVEPOINTS &c : g_atCurvePoints)
        if (c.owner == w) {
            c.free = 1;
            c.owner = nullptr;
        }
    std::memset(w, 0, sizeof *w);
    w->head.kind = WIDGET_CURVE;
    w->head.x = uint16_t(desc->x);
    w->head.y = uint16_t(desc->y);
    w->head.w = uint16_t(std::max<int16_t>(desc->w, 1));
    w->head.h = uint16_t(std::max<int16_t>(desc->h, 1));
    w->gridX = desc->gridX;
    w->gridY = desc->gridY;
    w->head.press = desc->press;
    w->head.held = desc->held;
    w->head.release = desc->release;
    w->cursorRow = CURVE_CURSOR_SELECT;
    if (parent)
        Ui_AttachWidget(parent, &w->head);
    return w;
}

CURVEPOINTS *Ed_AttachCurve(CURVEWIDGET *widget, uint8_t r, uint8_t g, uint8_t b)
{
    if (!widget || widget->curveCount >= CURVE_SLOTS)
        return nullptr;
    for (CURVEPOINTS &c : g_atCurvePoints) {
        if (!CurveFree(c))
            continue;
        std::memset(&c, 0, sizeof c);
        c.points = c.own;
        c.owner = widget;
        c.r = r;
        c.g = g;
        c.b = b;
        widget->curves[widget->curveCount++] = &c;
        if (!widget->current)
            widget->current = &c;
        return &c;
    }
    return nullptr;
}

void Ed_FreeCurve(CURVEPOINTS *curve)
{
    if (!curve)
        return;
    CURVEWIDGET *w = curve->owner;
    if (w) {
        int32_t k = 0;
        for (int32_t i = 0; i < w->curveCount; i++)
            if (w->curves[i] != curve)
                w->curves[k++] = w->curves[i];
        for (int32_t i = k; i < CURVE_SLOTS; i++)
            w->curves[i] = nullptr;
        w->curveCount = uint8_t(k);
        if (w->current == curve)
            w->current = k ? w->curves[0] : nullptr;
    }
    curve->owner = nullptr;
    curve->free = 1;
}

int32_t Ed_InsertCurvePoint(CURVEPOINTS *c, uint16_t x, uint16_t y)
{
    if (!c || !c->points || c->count >= CURVE_MAX_POINTS)
        return -1;
    int32_t at = 0;
    while (at < c->count && c->points[at].x < x)
        at++;
    for (int32_t i = c->count; i > at; i--)
        c->points[i] = c->points[i - 1];
    c->points[at] = CURVEPOINT{x, y};
    c->count++;
    return at;
}

bool Ed_RemoveCurvePoint(CURVEPOINTS *c, int32_t index)
{
    if (!c || !c->points || index < 0 || index >= c->count)
        return false;
    for (int32_t i = index; i + 1 < c->count; i++)
        c->points[i] = c->points[i + 1];
    c->count--;
    if (c->count && c->current >= c->count)
        c->current = uint8_t(c->count - 1);
    return true;
}

void Ed_CopyCurve(CURVEPOINTS *to, const CURVEPOINTS *from)
{
    if (!to || !from || !to->points || !from->points)
        return;
    to->count = std::min<uint8_t>(from->count, CURVE_MAX_POINTS);
    to->current = from->current;
    to->r = from->r;
    to->g = from->g;
    to->b = from->b;
    to->shift = from->shift;
    std::memmove(to->points, from->points, sizeof(CURVEPOINT) * to->count);
}

int32_t Ed_ScaleFixed(int32_t value, int32_t full, int32_t size)
{
    if (full == 0)
        return 0;
    const int64_t part = (int64_t(value) * 256) / full;
    // An arithmetic shift of the signed product, as the fixed-point form has it.
    return int32_t((int64_t(size) * part) >> 8);
}

void Ed_StepByteToward(uint8_t *value, uint8_t target, uint8_t step)
{
    if (!value)
        return;
    int32_t v = *value;
    if (v < target)
        v += step;
    if (v > target)
        v -= step;
    *value = uint8_t(std::clamp(v, 0, 255));
}

void Ed_CurvePointPixel(const CURVEWIDGET *w, const CURVEPOINTS *c, int32_t i, int32_t *px, int32_t *py)
{
    int32_t x = 0, y = 0;
    PointValues(c, i, &x, &y);
    *px = Ed_ScaleFixed(x, 255, w->head.w);
    *py = Ed_ScaleFixed(255 - y, 255, w->head.h);
}

void Ed_DrawCurve(CURVEWIDGET *w, CURVEPOINTS *c)
{
    if (!w || !c || !c->points)
        return;
    const bool focused = Ui_IsUpdatingWindowFocused();
    int32_t lastX = 0, lastY = 0;
    for (int32_t i = 0; i < c->count && i < CURVE_MAX_POINTS; i++) {
        int32_t px = 0, py = 0;
        Ed_CurvePointPixel(w, c, i, &px, &py);
        px += w->head.x;
        py += w->head.y;
        if (w->current == c && i == c->current && focused && w->cursorRow != CURVE_CURSOR_NONE) {
            DrawCursor(w->cursorRow, w->cursorFrame, px, py);
            w->cursorFrame = uint8_t((w->cursorFrame + 1) % CURVE_CURSOR_FRAMES);
        }
        if (!(w->head.flags & CURVE_PLAIN))
            Gfx_AddTile(px - 1, py - 1, 3, 3, 255, 255, 255);
        if (i > 0)
            Gfx_AddLine(lastX, lastY, px, py, c->r, c->g, c->b);
        lastX = px;
        lastY = py;
    }
}

void Ed_DrawCurveWidget(CURVEWIDGET *w)
{
    if (!w || (w->head.flags & WIDGET_FREE))
        return;
    if (w->inputDelay)
        w->inputDelay--;
    for (int32_t i = 0; i < w->curveCount && i < CURVE_SLOTS; i++)
        Ed_DrawCurve(w, w->curves[i]);
    if (w->head.flags & CURVE_PLAIN)
        return;
    const int32_t x = w->head.x, y = w->head.y, width = w->head.w, height = w->head.h;
    if (w->head.flags & CURVE_CENTRE_LINE)
        Gfx_AddLine(x, y + height / 2, x + width, y + height / 2, 128, 0, 0);
    Gfx_AddLine(x, y, x + width, y, 0, 40, 0);
    // A zero step would never reach the far edge.
    if (w->gridX > 0)
        for (int32_t gx = x; gx <= x + width; gx += w->gridX)
            Gfx_AddLine(gx, y, gx, y + height, 0, 40, 0);
    if (w->gridY > 0)
        for (int32_t gy = y; gy <= y + height; gy += w->gridY)
            Gfx_AddLine(x, gy, x + width, gy, 0, 40, 0);
    Gfx_AddTile(x, y, width, height, 0, 16, 0);
    Gfx_AddBevelBox(x - 1, y - 1, width + 2, height + 2);
}

void Ed_DrawNoteCurve(const uint16_t *values, int32_t count, int32_t x, int32_t y, int32_t w, int32_t h)
{
    if (!values || w <= 1 || h <= 1)
        return;
    const auto px = [&](uint16_t v) { return x + Ed_ScaleFixed(v & 0xFF, 255, w - 1); };
    const auto py = [&](uint16_t v) { return y + Ed_ScaleFixed(255 - (v >> 8), 255, h - 1); };
    count = std::min(count, CURVE_MAX_POINTS);
    for (int32_t i = 1; i < count; i++)
        Gfx_AddLine(px(values[i - 1]), py(values[i - 1]), px(values[i]), py(values[i]), 0, 192, 0);
    Gfx_AddTile(x, y, w, h, 0, 16, 0);
}
