#include "ui/scrollbar.h"

#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/texpages.h"
#include "ui/mouse.h"

#include <algorithm>
#include <cstring>

SCROLLBAR g_atScrollBars[UI_SCROLLBARS];

namespace {

// Interface images of set 0: [vertical, horizontal] of first arrow, lit, second arrow, lit,
// track, thumb start, middle, end.
constexpr int16_t kBarImages[2][8] = {{693, 301, 688, 302, 107, 694, 108, 695}, {691, 299, 692, 300, 106, 689, 105, 690}};

bool Vertical(const SCROLLBAR *bar)
{
    return !(bar->head.flags & SCROLLBAR_HORIZONTAL);
}

const IMAGEREC *BarImage(const SCROLLBAR *bar, int part)
{
    return Gfx_GetImage(kBarImages[Vertical(bar) ? 0 : 1][part]);
}

void SetSprite(uint8_t *packet, const IMAGEREC *image, int x, int y, int w, int h, uint8_t tint)
{
    PACKET_SPRITE_T s{PACKET{0, 5, tint, tint, tint, image ? uint8_t(PACKET_SPRITE) : uint8_t(PACKET_NOP)},
                      int16_t(x), int16_t(y), image ? image->u : uint8_t(0), image ? image->v : uint8_t(0),
                      image ? image->clut : uint16_t(0), int16_t(w), int16_t(h)};
    std::memcpy(packet, &s, sizeof s);
}

void SetWindow(uint8_t *packet, const IMAGEREC *image)
{
    const int16_t rect[4] = {int16_t(image ? image->u : 0), int16_t(image ? image->v : 0), int16_t(image ? 8 : 255),
                             int16_t(image ? 8 : 255)};
    Gfx_SetTextureWindowPacket(packet, rect);
}

void BuildHalf(SCROLLBAR *bar, SCROLLBARHALF &h)
{
    const WIDGET &w = bar->head;
    const bool v = Vertical(bar);
    // Arrows at the two ends, the track between them.
    SetSprite(h.sprites[BARSPRITE_FIRST_ARROW], BarImage(bar, 0), w.x, w.y, 8, 8, 128);
    SetSprite(h.sprites[BARSPRITE_SECOND_ARROW], BarImage(bar, 2), v ? w.x : w.x + w.w - 8, v ? w.y + w.h - 8 : w.y, 8,
              8, 128);
    SetSprite(h.sprites[BARSPRITE_TRACK], BarImage(bar, 4), v ? w.x : w.x + 8, v ? w.y + 8 : w.y, v ? 8 : w.w - 16,
              v ? w.h - 16 : 8, 128);
    for (int i = BARSPRITE_THUMB_START; i <= BARSPRITE_THUMB_END; i++)
        SetSprite(h.sprites[i], BarImage(bar, 5 + i - BARSPRITE_THUMB_START), w.x, w.y, 8, 8, 128);
    const IMAGEREC *track = BarImage(bar, 4);
    Gfx_SetDrawModePacket(h.modes[0], 0, 0, track ? track->page : 0);
    Gfx_SetDrawModePacket(h.modes[1], 0, 0, track ? track->page : 0);
    SetWindow(h.windows[0], BarImage(bar, 6));
    SetWindow(h.windows[1], track);
    SetWindow(h.windows[2], nullptr);
    for (auto &a : h.areas) {
        const int16_t rect[4] = {0, 0, int16_t(g_iScreenWidth), int16_t(g_iScreenHeight)};
        Gfx_SetDrawAreaPacket(a, rect);
    }
}

PACKET_SPRITE_T &Sprite(uint8_t *packet)
{
    return *reinterpret_cast<PACKET_SPRITE_T *>(packet);
}

} // namespace

void Ui_InitScrollBarPool()
{
    for (SCROLLBAR &b : g_atScrollBars) {
        std::memset(&b, 0, sizeof b);
        b.head.flags = WIDGET_FREE;
    }
}

SCROLLBAR *Ui_CreateScrollBar(const SCROLLBARDESC *desc, WINDOW *parent)
{
    if (!desc)
        return nullptr;
    SCROLLBAR *bar = nullptr;
    for (SCROLLBAR &b : g_atScrollBars)
        if (b.head.flags & WIDGET_FREE) {
            bar = &b;
            break;
        }
    if (!bar)
        return nullptr;
    std::memset(bar, 0, sizeof *bar);
    bar->head.kind = WIDGET_SCROLLBAR;
    bar->head.flags = desc->flags & ~WIDGET_FREE;
    bar->head.x = desc->x;
    bar->head.y = desc->y;
    bar->head.w = desc->w;
    bar->head.h = desc->h;
    bar->head.press = desc->press ? desc->press : Ui_ScrollBarPress;
    bar->head.held = desc->held ? desc->held : Ui_ScrollBarHeld;
    bar->position = desc->position;
    bar->minimum = desc->minimum;
    bar->page = desc->page;
    bar->maximum = desc->maximum;
    bar->change = desc->change;
    bar->dirty = 2;
    for (SCROLLBARHALF &h : bar->half)
        BuildHalf(bar, h);
    if (parent)
        Ui_AttachWidget(parent, &bar->head);
    return bar;
}

void Ui_SetScrollBarPos(SCROLLBAR *bar, int32_t position)
{
    if (bar)
        bar->position = position;
}

void Ui_SetScrollBarMax(SCROLLBAR *bar, int32_t maximum)
{
    if (bar)
        bar->maximum = maximum;
}

SCROLLBAR *Ui_MarkScrollBarDirty(SCROLLBAR *bar)
{
    if (bar)
        bar->dirty = 2;
    return bar;
}

void Ui_ScrollThumbGeometry(const SCROLLBAR *bar, int32_t *top, int32_t *middle)
{
    const bool v = Vertical(bar);
    const int32_t length = v ? bar->head.h : bar->head.w, origin = v ? bar->head.y : bar->head.x;
    const int32_t track = length - 16;
    // 64-bit products: positions and ranges come from owners' tables of any size.
    int64_t thumb = 0;
    const int64_t range = int64_t(bar->maximum) + bar->page - bar->minimum;
    if (range != 0)
        thumb = int64_t(bar->page) * track / range;
    if (thumb == 0)
        thumb = 16;
    int64_t t = 0;
    if (bar->maximum != bar->minimum)
        t = (int64_t(track) - thumb) * (int64_t(bar->position) - bar->minimum) / (int64_t(bar->maximum) - bar->minimum);
    t += 8 + origin;
    int64_t mid = bar->page == 0 ? 0 : std::max<int64_t>(thumb - 16, 0);
    const int64_t secondArrow = origin + length - 8;
    if (t + 16 + mid > secondArrow)
        t = secondArrow - mid - 16;
    *top = int32_t(t);
    *middle = int32_t(mid);
}

void Ui_PlaceScrollThumb(SCROLLBAR *bar)
{
    if (!bar || bar->dirty == 0)
        return;
    bar->dirty--;
    int32_t top, middle;
    Ui_ScrollThumbGeometry(bar, &top, &middle);
    const bool v = Vertical(bar);
    SCROLLBARHALF &h = bar->half[g_iFrameBufferIndex & 1];
    auto place = [&](int sprite, int32_t at, int32_t length) {
        PACKET_SPRITE_T &s = Sprite(h.sprites[sprite]);
        s.x = int16_t(v ? bar->head.x : at);
        s.y = int16_t(v ? at : bar->head.y);
        s.w = int16_t(v ? 8 : length);
        s.h = int16_t(v ? length : 8);
    };
    place(BARSPRITE_THUMB_START, top, 8);
    place(BARSPRITE_THUMB_MIDDLE, top + 8, middle);
    place(BARSPRITE_THUMB_END, top + 8 + middle, 8);
}

void Ui_LightScrollBarParts(SCROLLBAR *bar)
{
    if (!bar || (bar->dirty == 0 && bar->pressed == SCROLLPART_NONE))
        return;
    SCROLLBARHALF &h = bar->half[g_iFrameBufferIndex & 1];
    const bool lit = g_iBlinkPhase < 6;
    auto arrow = [&](int sprite, int normal, int litImage, bool on) {
        const IMAGEREC *image = BarImage(bar, on ? litImage : normal);
        if (!image)
            return;
        PACKET_SPRITE_T &s = Sprite(h.sprites[sprite]);
        s.u = image->u;
        s.v = image->v;
        s.clut = image->clut;
    };
    arrow(BARSPRITE_FIRST_ARROW, 0, 1, lit && bar->pressed == SCROLLPART_FIRST_ARROW);
    arrow(BARSPRITE_SECOND_ARROW, 2, 3, lit && bar->pressed == SCROLLPART_SECOND_ARROW);
    const uint8_t tint = lit && bar->pressed == SCROLLPART_THUMB ? 255 : 128;
    for (int i = BARSPRITE_THUMB_START; i <= BARSPRITE_THUMB_END; i++) {
        PACKET_SPRITE_T &s = Sprite(h.sprites[i]);
        s.head.r = s.head.g = s.head.b = tint;
    }
}

void Ui_DrawScrollBar(SCROLLBAR *bar)
{
    if (!bar || (bar->head.flags & SCROLLBAR_HIDDEN))
        return;
    // A thumb placed in one half is placed in the other on the next frame (dirty count 2).
    Ui_LightScrollBarParts(bar);
    Ui_PlaceScrollThumb(bar);
    const SCROLLBARHALF &h = bar->half[g_iFrameBufferIndex & 1];
    // Linked last-drawn first: arrows, caps, window off, middle, its window, track, its window,
    // the screen area, the draw mode.
    Ui_LinkPacket(h.sprites[BARSPRITE_SECOND_ARROW], UI_SPRITE_BYTES);
    Ui_LinkPacket(h.sprites[BARSPRITE_FIRST_ARROW], UI_SPRITE_BYTES);
    Ui_LinkPacket(h.sprites[BARSPRITE_THUMB_END], UI_SPRITE_BYTES);
    Ui_LinkPacket(h.sprites[BARSPRITE_THUMB_START], UI_SPRITE_BYTES);
    Ui_LinkPacket(h.windows[2], UI_ENV_BYTES);
    Ui_LinkPacket(h.sprites[BARSPRITE_THUMB_MIDDLE], UI_SPRITE_BYTES);
    Ui_LinkPacket(h.windows[0], UI_ENV_BYTES);
    Ui_LinkPacket(h.sprites[BARSPRITE_TRACK], UI_SPRITE_BYTES);
    Ui_LinkPacket(h.windows[1], UI_ENV_BYTES);
    Ui_LinkPacket(h.areas[0], UI_ENV_BYTES);
    Ui_LinkPacket(h.modes[0], UI_MODE_BYTES);
}

void Ui_TickScrollBars()
{
    for (SCROLLBAR &b : g_atScrollBars) {
        if (b.head.flags & WIDGET_FREE)
            continue;
        b.step = 0;
        if (b.holdCount)
            b.holdCount--;
    }
}
