#include "ui/widgets.h"

#include "editors/curvewidget.h"
#include "app/calllog.h"
#include "audio/midiin.h"
#include "core/console_memory.h"
#include "core/padbind.h"
#include "jam/netobjects.h"
#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/prims2d.h"
#include "render/screentiles.h"
#include "render/texpages.h"
#include "ui/busybox.h"
#include "ui/gridops.h"
#include "ui/list.h"
#include "ui/mouse.h"
#include "ui/popup.h"
#include "ui/scrollbar.h"
#include "ui/textfield.h"
#include "ui/toolbar.h"
#include "ui/valueslider.h"
#include "ui/view.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

WINDOW g_atWindows[UI_WINDOWS];
WINDOW *g_apWindowStack[UI_WINDOWS];
uint8_t g_ucWindowDepth = 0;
void *g_pFocusWidget = nullptr;
WINDOW *g_pUpdatingWindow = nullptr;
WIDGET *g_pDrawingWidget = nullptr;
WINDOW *g_pModalWindow = nullptr;
uint8_t g_ucUiColourScheme = 0;
uint8_t g_abUiTint[3] = {128, 128, 128};
int32_t g_iBlinkPhase = 0;
uint8_t g_ucPulse = 128;
int32_t g_bPopupStepDone = 0;
int32_t g_iRepeatDelay = 0;
int32_t g_bUiRedrawOnce = 0;
uint32_t g_uUiFreeMemory = 0;
int32_t g_iTexturePagesUsed = 0;
uint16_t g_wUiPadWord = 0;
uint8_t g_abFillColour[3] = {};
int32_t g_iBackgroundCounter = 0;
uint8_t g_ucDialogFrameDelay = 0;
int32_t g_iBusyCountdown = 0;
uint8_t g_bSeeThroughOnce = 0;
uint32_t g_uUiFlags = 0;
int32_t g_bJamWindowOpen = 0;

const uint8_t g_aabBevelSchemes[2][2][3] = {{{70, 80, 80}, {15, 20, 20}}, {{64, 160, 64}, {0, 40, 0}}};

namespace {

// Stretch masks of the nine pieces: bit 0 moves x by w - 24, bit 1 y by h - 24, bit 2 widens by
// w - 24, bit 3 heightens by h - 24.
constexpr uint8_t kPieceMask[UI_FRAME_PIECES] = {0, 4, 1, 8, 12, 9, 2, 6, 3};

// The screen-wide packets of both halves and the background sprite.
struct SCREENPACKETS
{
    uint8_t area[UI_ENV_BYTES];
    uint8_t offset[UI_ENV_BYTES];
    uint8_t windowOff[2][UI_ENV_BYTES];
    uint8_t backgroundMode[UI_MODE_BYTES];
    uint8_t background[UI_SPRITE_BYTES];
    uint8_t backgroundWindow[UI_ENV_BYTES];
};
SCREENPACKETS s_screen[UI_HALVES];

template <typename T> void Put(uint8_t *packet, const T &t)
{
    std::memcpy(packet, &t, sizeof(T));
}

void SetWindowPacket(uint8_t *packet, int x, int y, int w, int h)
{
    const int16_t rect[4] = {int16_t(x), int16_t(y), int16_t(w), int16_t(h)};
    Gfx_SetTextureWindowPacket(packet, rect);
}

void SetAreaPacket(uint8_t *packet, int x, int y, int w, int h)
{
    const int16_t rect[4] = {int16_t(x), int16_t(y), int16_t(w), int16_t(h)};
    Gfx_SetDrawAreaPacket(packet, rect);
}

void SetOffsetPacket(uint8_t *packet, int x, int y)
{
    const uint16_t xy[2] = {uint16_t(x), uint16_t(y)};
    Gfx_SetDrawOffsetPacket(packet, xy);
}

// Builds the current or given half's nine frame pieces of a window.
void BuildFramePieces(WINDOW *w, int half)
{
    WINDOWHALF &h = w->half[half];
    const IMAGEREC *pageImage = nullptr;
    for (int i = 0; i < UI_FRAME_PIECES; i++) {
        int x, y, pw, ph;
        Ui_FramePieceRect(i, w->w, w->h, &x, &y, &pw, &ph);
        std::memset(h.pieces[i], 0, UI_SPRITE_BYTES);
        if (i == 4) {
            // The centre: an opaque tile, or nothing when the window was opened see-through.
            const uint8_t *c = w->style == 1 ? (const uint8_t *)"\x20\x30\x30" : (const uint8_t *)"\x28\x38\x40";
            PACKET_TILE_T t{PACKET{0, 4, c[0], c[1], c[2], PACKET_TILE}, int16_t(x), int16_t(y), int16_t(pw), int16_t(ph)};
            if (w->seeThrough)
                t.head.code = PACKET_NOP;
            Put(h.pieces[i], t);
            SetWindowPacket(h.windows[i], 0, 0, 255, 255);
            continue;
        }
        const IMAGEREC *image = Gfx_GetImage(g_ausWindowFrameImages[w->style * UI_FRAME_PIECES + i]);
        const uint8_t *tint = w->style == 0 ? g_abUiTint : (const uint8_t *)"\x80\x80\x80";
        PACKET_SPRITE_T s{PACKET{0, 5, tint[0], tint[1], tint[2], PACKET_SPRITE}, int16_t(x), int16_t(y), 0, 0, 0,
                          int16_t(pw), int16_t(ph)};
        if (image) {
            s.u = image->u;
            s.v = image->v;
            s.clut = image->clut;
            pageImage = image;
            SetWindowPacket(h.windows[i], image->u, image->v, 8, 8);
        } else {
            s.head.code = PACKET_NOP;
            SetWindowPacket(h.windows[i], 0, 0, 255, 255);
        }
        Put(h.pieces[i], s);
    }
    Gfx_SetDrawModePacket(h.mode, 0, 0, pageImage ? pageImage->page : 0);
}

void BuildHalf(WINDOW *w, int half)
{
    BuildFramePieces(w, half);
    SetOffsetPacket(w->half[half].offset, w->x, w->y);
    SetWindowPacket(w->half[half].windowOff, 0, 0, 255, 255);
}

int StackIndex(const WINDOW *w)
{
    for (int i = 0; i < g_ucWindowDepth; i++)
        if (g_apWindowStack[i] == w)
            return i;
    return -1;
}

bool OwnedBy(const void *p, const WINDOW *w)
{
    if (p == w)
        return true;
    for (const WIDGET *c = w->children; c; c = c->next)
        if (c == p)
            return true;
    return false;
}

void DestroyWindow(WINDOW *w)
{
    for (WIDGET *c = w->children; c; c = c->next) {
        if (c->kind == WIDGET_LIST)
            Ui_FreeList(reinterpret_cast<LISTWIDGET *>(c));
        if (g_pGridView && c == &g_pGridView->head)
            g_pGridView = nullptr;
        c->flags |= WIDGET_FREE;
    }
    // Nothing may keep pointing at a dead window or its children: a modal window left set would
    // freeze the interface, a captured widget would keep getting held calls, and a reused record
    // would inherit the focus.
    if (g_pModalWindow == w)
        g_pModalWindow = nullptr;
    if (g_pFocusWidget && OwnedBy(g_pFocusWidget, w))
        g_pFocusWidget = nullptr;
    if (g_pClickedWidget && OwnedBy(g_pClickedWidget, w))
        g_pClickedWidget = nullptr;
    if (g_pUpdatingWindow == w)
        g_pUpdatingWindow = nullptr;
    Ui_ForgetWindowRoles(w);
    Ui_FreeNodeList(w);
    if (w->onClose)
        w->onClose();
    w->flags |= WINDOW_FREE;
    w->children = nullptr;
    const int at = StackIndex(w);
    if (at >= 0) {
        for (int i = at; i + 1 < g_ucWindowDepth; i++)
            g_apWindowStack[i] = g_apWindowStack[i + 1];
        g_apWindowStack[--g_ucWindowDepth] = nullptr;
    }
    if (g_bJamSessionOn)
        g_bBackgroundDirty = 1;
}

void DrawWindow(WINDOW *w)
{
    const int half = g_iFrameBufferIndex & 1, other = half ^ 1;
    WINDOWHALF &h = w->half[half];
    if (w->frameRedraw) {
        w->frameRedraw--;
        BuildFramePieces(w, half);
    }
    if (!(w->flags & WINDOW_REDRAW) && (w->flags & WINDOW_COPY_PIECES)) {
        std::memcpy(h.pieces, w->half[other].pieces, sizeof h.pieces);
        w->flags &= ~WINDOW_COPY_PIECES;
    }
    if (w->predraw)
        w->predraw();
    for (WIDGET *c = w->children; c; c = c->next)
        if (!(c->flags & WIDGET_HIDDEN))
            Ui_DrawWidget(c);
    if (w->draw)
        w->draw(w->user);
    if (!(w->flags & WINDOW_NO_FRAME)) {
        Ui_LinkPacket(h.windowOff, UI_ENV_BYTES);
        for (int i = 0; i < UI_FRAME_PIECES; i++) {
            Ui_LinkPacket(h.pieces[i], UI_SPRITE_BYTES);
            Ui_LinkPacket(h.windows[i], UI_ENV_BYTES);
        }
        Ui_LinkPacket(h.mode, UI_MODE_BYTES);
        if (!(w->flags & WINDOW_NO_BORDER))
            Ui_DrawWindowBorder(w);
    }
    Ui_LinkPacket(h.offset, UI_ENV_BYTES);
    if (w->flags & WINDOW_REDRAW) {
        w->flags |= WINDOW_COPY_PIECES;
        w->flags &= ~WINDOW_REDRAW;
    }
}

void BuildScreenPackets()
{
    const IMAGEREC *bg = Gfx_GetImage(UI_BACKGROUND_IMAGE);
    for (SCREENPACKETS &s : s_screen) {
        SetAreaPacket(s.area, 0, 0, g_iScreenWidth, g_iScreenHeight);
        SetOffsetPacket(s.offset, 0, 0);
        SetWindowPacket(s.windowOff[0], 0, 0, 255, 255);
        SetWindowPacket(s.windowOff[1], 0, 0, 255, 255);
        Gfx_SetDrawModePacket(s.backgroundMode, 0, 0, bg ? bg->page : 0);
        PACKET_SPRITE_T sprite{PACKET{0, 5, 128, 128, 128, bg ? uint8_t(PACKET_SPRITE) : uint8_t(PACKET_NOP)}, 0, 0, 0, 0,
                               0, int16_t(g_iScreenWidth), int16_t(g_iScreenHeight)};
        Put(s.background, sprite);
        SetWindowPacket(s.backgroundWindow, bg ? bg->u : 0, bg ? bg->v : 0, bg ? bg->width : 255,
                        bg ? bg->height : 255);
    }
}

} // namespace

uint32_t Ui_LinkPacket(const void *packet, size_t bytes)
{
    uint32_t addr = 0;
    uint8_t *p = Gfx_AddPacket(g_pOrderingTable, static_cast<uint32_t>(bytes), &addr);
    if (!p)
        return 0;
    std::memcpy(p + 4, static_cast<const uint8_t *>(packet) + 4, bytes - 4);
    return addr;
}

void Ui_FramePieceRect(int piece, int w, int h, int *x, int *y, int *pw, int *ph)
{
    const uint8_t m = kPieceMask[piece];
    *x = 8 * (piece % 3) + ((m & 1) ? w - 24 : 0);
    *y = 8 * (piece / 3) + ((m & 2) ? h - 24 : 0);
    *pw = 8 + ((m & 4) ? w - 24 : 0);
    *ph = 8 + ((m & 8) ? h - 24 : 0);
}

void Ui_InitWidgetPools()
{
    g_pModalWindow = nullptr;
    g_pFocusWidget = nullptr;
    g_pUpdatingWindow = nullptr;
    g_pDrawingWidget = nullptr;
    for (WINDOW &w : g_atWindows) {
        // A window still open from an earlier start gives its click areas back first.
        Ui_FreeNodeList(&w);
        std::memset(&w, 0, sizeof w);
        w.flags = WINDOW_FREE;
    }
    std::fill(std::begin(g_apWindowStack), std::end(g_apWindowStack), nullptr);
    g_ucWindowDepth = 0;
    Ui_InitListPool();
    Ui_InitViewPool();
    Ui_InitScrollBarPool();
    Ui_InitTextFieldPool();
    Ui_InitValueSliderPool();
    Ed_InitCurvePools();
    Ui_InitMousePointer();
    g_abUiTint[0] = g_abUiTint[1] = g_abUiTint[2] = 128;
    g_ucUiColourScheme = 0;
    BuildScreenPackets();
    g_iBackgroundCounter = 0;
    g_iBusyCountdown = 0;
    Ui_ResetBusyBox();
    Ui_FreePopupSlots();
    g_iBlinkPhase = 0;
    g_ucPulse = 128;
    Ui_InitFrontEnd();
}

WINDOW *Ui_OpenWindow(const WINDOWDESC *desc)
{
    if (!desc || g_ucWindowDepth >= UI_WINDOWS)
        return nullptr;
    if (g_bJamSessionOn)
        g_bBackgroundDirty = 1;
    WINDOW *w = nullptr;
    for (WINDOW &c : g_atWindows)
        if (c.flags & WINDOW_FREE) {
            w = &c;
            break;
        }
    if (!w)
        return nullptr;
    std::memset(w, 0, sizeof *w);
    w->x = desc->x;
    w->y = desc->y;
    w->w = desc->w;
    w->h = desc->h;
    w->style = desc->style < 3 ? desc->style : 0;
    w->seeThrough = g_bSeeThroughOnce;
    Gfx_PushSaveUnder(w->x, w->y, w->w, w->h);
    for (int half = 0; half < UI_HALVES; half++)
        BuildHalf(w, half);
    g_apWindowStack[g_ucWindowDepth++] = w;
    if (desc->init)
        desc->init();
    w->input = desc->input;
    w->draw = desc->draw;
    w->predraw = desc->predraw;
    w->user = desc->user;
    return w;
}

void Ui_CloseWindow(WINDOW *w)
{
    if (!w || (w->flags & WINDOW_FREE) || w->closing)
        return;
    w->closing = 1;
    Gfx_PopSaveUnder(w->x, w->y, w->w, w->h);
}

bool Ui_WindowIsOpen(const WINDOW *w)
{
    return w && !(w->flags & WINDOW_FREE) && !w->closing;
}

void Ui_AttachWidget(WINDOW *window, WIDGET *child)
{
    if (!window || !child)
        return;
    child->next = nullptr;
    child->parent = window;
    WIDGET **at = &window->children;
    while (*at)
        at = &(*at)->next;
    *at = child;
}

void Ui_DrawWidget(WIDGET *w)
{
    if (!w)
        return;
    g_pDrawingWidget = w;
    switch (w->kind) {
    case WIDGET_LIST: Ui_DrawList(reinterpret_cast<LISTWIDGET *>(w)); break;
    case WIDGET_VIEW: Ui_DrawView(reinterpret_cast<VIEWWIDGET *>(w)); break;
    case WIDGET_SCROLLBAR: Ui_DrawScrollBar(reinterpret_cast<SCROLLBAR *>(w)); break;
    case WIDGET_TEXTFIELD: Ui_DrawTextField(reinterpret_cast<TEXTFIELD *>(w)); break;
    case WIDGET_VALUESLIDER: Ui_DrawValueSlider(reinterpret_cast<VALUESLIDER *>(w)); break;
    case WIDGET_CURVE: Ed_DrawCurveWidget(reinterpret_cast<CURVEWIDGET *>(w)); break;
    default: break;
    }
}

void *Ui_GetFocus()
{
    return g_pFocusWidget;
}

bool Ui_WindowHasFocus(const WINDOW *w)
{
    const void *f = g_pFocusWidget;
    if (!w || !f)
        return false;
    // The focus is either a window record or a widget, which knows its window.
    if (f >= static_cast<const void *>(&g_atWindows[0]) && f < static_cast<const void *>(&g_atWindows[UI_WINDOWS]))
        return f == w;
    return static_cast<const WIDGET *>(f)->parent == w;
}

void Ui_SetFocus(void *w)
{
    g_pFocusWidget = w;
}

void Ui_SetModalWindow(WINDOW *w)
{
    g_pModalWindow = w;
}

void Ui_MoveWindow(WINDOW *w, int32_t x, int32_t y)
{
    if (!w || (w->flags & WINDOW_FREE))
        return;
    Gfx_PopSaveUnder(w->x, w->y, w->w, w->h);
    w->x = uint16_t(x);
    w->y = uint16_t(y);
    for (int half = 0; half < UI_HALVES; half++)
        SetOffsetPacket(w->half[half].offset, w->x, w->y);
    // Lists clip to their own screen rectangle: it moves with the window.
    for (WIDGET *c = w->children; c; c = c->next)
        if (c->kind == WIDGET_LIST && !(c->flags & WIDGET_FREE)) {
            auto *l = reinterpret_cast<LISTWIDGET *>(c);
            const int16_t clip[4] = {int16_t(c->x + w->x), int16_t(c->y + w->y), int16_t(c->w), int16_t(c->h)};
            for (auto &area : l->clip)
                Gfx_SetDrawAreaPacket(area, clip);
        }
    w->frameRedraw = 2;
    Gfx_PushSaveUnder(w->x, w->y, w->w, w->h);
}

void Ui_RedrawWindowFrame(WINDOW *w)
{
    if (w)
        w->frameRedraw = 2;
}

bool Ui_IsUpdatingWindowFocused()
{
    return g_pUpdatingWindow && g_pUpdatingWindow == g_pFocusWidget;
}

void Ui_DrawWindowBorder(const WINDOW *w)
{
    // Five shadow sprites along the bottom and the right, semi-transparent; the stretched ones
    // repeat their image through an 8 x 8 window.
    const IMAGEREC *image = Gfx_GetImage(UI_SHADOW_IMAGE);
    if (!image || w->w < 16 || w->h < 16)
        return;
    struct
    {
        int x, y, width, height, window; // window: 0 none, 1 repeat, 2 off
    } const parts[5] = {{3, w->h - 3, 8, 8, 2},          {11, w->h - 3, w->w - 14, 8, 1}, {w->w - 3, w->h - 3, 8, 8, 2},
                        {w->w - 3, 12, 8, w->h - 15, 1}, {w->w - 3, 4, 8, 8, 0}};
    for (const auto &p : parts) {
        PACKET_SPRITE_T s{PACKET{0, 5, 128, 128, 128, PACKET_SPRITE | PACKET_SEMI_TRANS}, int16_t(p.x), int16_t(p.y),
                          image->u, image->v, image->clut, int16_t(p.width), int16_t(p.height)};
        Ui_LinkPacket(&s, UI_SPRITE_BYTES);
        // Linked after its sprite, so it applies before it.
        if (p.window) {
            uint8_t env[UI_ENV_BYTES] = {};
            if (p.window == 1)
                SetWindowPacket(env, image->u, image->v, 8, 8);
            else
                SetWindowPacket(env, 0, 0, 255, 255);
            Ui_LinkPacket(env, UI_ENV_BYTES);
        }
    }
    // The shadow's own page, drawn before its sprites.
    uint8_t mode[UI_MODE_BYTES] = {};
    Gfx_SetDrawModePacket(mode, 0, 0, image->page);
    Ui_LinkPacket(mode, UI_MODE_BYTES);
}

void Ui_WidgetFrame()
{
    const int half = g_iFrameBufferIndex & 1;
    // 1. The interface entry of this frame.
    g_bPopupStepDone = 0;
    OTLIST *lists = g_pFrameBuffer ? Sys_OrderingTableLists(g_pFrameBuffer) : nullptr;
    g_pOrderingTable = lists && lists[UI_INTERFACE_LIST].count > UI_INTERFACE_ENTRY
                           ? lists[UI_INTERFACE_LIST].base + 4 * UI_INTERFACE_ENTRY
                           : 0;
    g_uUiFlags &= ~1u;
    // 2. Scroll bars: the step of the last frame is spent; the hold count runs down.
    Ui_TickScrollBars();
    // 3. Input: the hint of the last frame, then mouse, pads, buttons, keys.
    Ui_HintFrame();
    Ui_DispatchMouseClick();
    Ui_LatchPads();
    Ui_DispatchMouseButtons();
    Ui_DispatchKeyShortcut();
    if (g_ucDialogFrameDelay)
        g_ucDialogFrameDelay--;
    // 4. Screen-wide offset and area, linked first so they apply after every window.
    Ui_LinkPacket(s_screen[half].area, UI_ENV_BYTES);
    Ui_LinkPacket(s_screen[half].offset, UI_ENV_BYTES);
    // 5. The stack from the top down; closing windows die on their third walk.
    for (int i = g_ucWindowDepth - 1; i >= 0; i--) {
        if (i >= g_ucWindowDepth)
            continue; // a callback closed windows above
        WINDOW *w = g_apWindowStack[i];
        if (w->closing) {
            if (++w->closing >= 3)
                DestroyWindow(w);
            continue;
        }
        if (g_pModalWindow && g_pModalWindow != w)
            continue;
        g_pUpdatingWindow = w;
        if (w->input)
            w->input();
        if (!(w->flags & WINDOW_INPUT_ONLY) && !w->closing && !(w->flags & WINDOW_FREE))
            DrawWindow(w);
        g_pUpdatingWindow = nullptr;
    }
    // 6. The background, once: the layer keeps it.
    if (!g_bJamWindowOpen && !g_pModalWindow && g_iBackgroundCounter == 0) {
        const SCREENPACKETS &s = s_screen[half];
        Ui_LinkPacket(s.windowOff[0], UI_ENV_BYTES);
        Ui_LinkPacket(s.background, UI_SPRITE_BYTES);
        Ui_LinkPacket(s.backgroundWindow, UI_ENV_BYTES);
        Ui_LinkPacket(s.backgroundMode, UI_MODE_BYTES);
        Ui_LinkPacket(s.windowOff[1], UI_ENV_BYTES);
        g_iBackgroundCounter++;
    }
    // The frame end leaves the draw area at the frame buffer's empty clip: the screen-wide pair
    // goes in front as well, so the walk starts on the whole screen.
    Ui_LinkPacket(s_screen[half].area, UI_ENV_BYTES);
    Ui_LinkPacket(s_screen[half].offset, UI_ENV_BYTES);
    // 7. Shared repeat delay and the mouse hold.
    if (g_iRepeatDelay > 0)
        g_iRepeatDelay--;
    if (!g_bMouseHoldMarked)
        g_iMouseHoldFrames = 0;
    g_bMouseHoldMarked = 0;
    // 8. Blink and pulse.
    if (g_iBusyCountdown == 0) {
        g_iBlinkPhase = (g_iBlinkPhase + 1) % 12;
        const int target = g_iBlinkPhase < 6 ? 128 : 64;
        if (g_ucPulse < target)
            g_ucPulse = uint8_t(std::min(target, g_ucPulse + 16));
        else if (g_ucPulse > target)
            g_ucPulse = uint8_t(std::max(target, g_ucPulse - 16));
    }
}

void Ui_Frame()
{
    Sys_CallLog("Ui_Frame");
    Sys_DebugSetMark(4);
    Ui_WidgetFrame();
    Ui_TakeSongEnd();
    Snd_DispatchLiveNotes();
    Sys_DebugSetMark(0);
}
