// The scroll bar (widget kind 3): a position within a range shown as a thumb on a track between
// two arrows, vertical or horizontal, from the interface images of the loaded set.
#pragma once

#include "ui/widgets.h"

#include <cstdint>

enum : uint32_t
{
    SCROLLBAR_VERTICAL = 2,
    SCROLLBAR_HORIZONTAL = 4,
    SCROLLBAR_HIDDEN = 0x800,
};

enum : uint8_t
{
    SCROLLPART_NONE = 0,
    SCROLLPART_FIRST_ARROW = 1,
    SCROLLPART_THUMB = 2,
    SCROLLPART_SECOND_ARROW = 3,
};

// Sprites of one half, in this order.
enum
{
    BARSPRITE_FIRST_ARROW,
    BARSPRITE_SECOND_ARROW,
    BARSPRITE_TRACK,
    BARSPRITE_THUMB_START,
    BARSPRITE_THUMB_MIDDLE,
    BARSPRITE_THUMB_END,
    BARSPRITES
};

struct SCROLLBARHALF
{
    uint8_t sprites[BARSPRITES][UI_SPRITE_BYTES];
    uint8_t modes[2][UI_MODE_BYTES];
    uint8_t windows[3][UI_ENV_BYTES]; // thumb middle, track, off
    uint8_t areas[2][UI_ENV_BYTES];
};

struct SCROLLBAR
{
    WIDGET head;
    int32_t position, minimum, page, maximum;
    uint8_t pressed;
    uint8_t dirty;
    int16_t step;
    uint8_t holdCount;
    UIWIDGETCALLBACK change;
    SCROLLBARHALF half[UI_HALVES];
    void *owner; // the list or value slider that made the bar
};

struct SCROLLBARDESC
{
    uint32_t flags;
    uint16_t x, y, w, h;
    int32_t position, minimum, page, maximum;
    UIWIDGETCALLBACK change, press, held;
};

extern SCROLLBAR g_atScrollBars[UI_SCROLLBARS];

void Ui_InitScrollBarPool();
// Null when all 32 are in use.
SCROLLBAR *Ui_CreateScrollBar(const SCROLLBARDESC *desc, WINDOW *parent);
void Ui_SetScrollBarPos(SCROLLBAR *bar, int32_t position);
void Ui_SetScrollBarMax(SCROLLBAR *bar, int32_t maximum);
SCROLLBAR *Ui_MarkScrollBarDirty(SCROLLBAR *bar);
// Places the thumb: y (or x) of the start cap and the middle's length, from the bar's values.
void Ui_ScrollThumbGeometry(const SCROLLBAR *bar, int32_t *top, int32_t *middle);
void Ui_PlaceScrollThumb(SCROLLBAR *bar);
void Ui_LightScrollBarParts(SCROLLBAR *bar);
void Ui_DrawScrollBar(SCROLLBAR *bar);
// Once a frame before the input: each bar's step of the last frame is spent, its hold counts down.
void Ui_TickScrollBars();
