// The widget toolkit: windows from a fixed pool, each with a chain of child widgets (lists,
// views, scroll bars, text fields, curves, value sliders), stacked and walked once a frame.
//
// Drawing is double buffered like the console's: every window and widget keeps its packets for
// both frame-buffer halves and links the current half's set (g_iFrameBufferIndex) into the
// interface's ordering-table entry each frame. Kept packets live in the records; linking copies
// one into the frame's packet area in front of g_pOrderingTable (Ui_LinkPacket), so what is
// linked last is drawn first. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

struct IMAGEREC;
struct WINDOW;
struct WIDGET;

typedef void (*UICALLBACK)();
typedef void (*UIUSERCALLBACK)(void *user);
typedef void (*UIWIDGETCALLBACK)(WIDGET *widget);

constexpr int UI_HALVES = 2;
constexpr int UI_WINDOWS = 10;
constexpr int UI_LISTS = 4;
constexpr int UI_VIEWS = 1;
constexpr int UI_SCROLLBARS = 32;
constexpr int UI_TEXTFIELDS = 7;
constexpr int UI_FRAME_PIECES = 9;
// The interface's entry: entry 1 of the second ordering table of the current frame buffer.
constexpr uint32_t UI_INTERFACE_LIST = 1;
constexpr uint32_t UI_INTERFACE_ENTRY = 1;

enum : uint8_t
{
    WIDGET_LIST = 1,
    WIDGET_VIEW = 2,
    WIDGET_SCROLLBAR = 3,
    WIDGET_TEXTFIELD = 4,
    WIDGET_CURVE = 5,
    WIDGET_VALUESLIDER = 6,
};

// WIDGET.flags
enum : uint32_t
{
    WIDGET_FREE = 0x1,
    WIDGET_HIDDEN = 0x20,
    WIDGET_TEXT_CURSOR = 0x40,
    WIDGET_LIST_LIT_GREEN = 0x100,
    WIDGET_LIST_NO_FOCUS_LIGHT = 0x200,
    WIDGET_LIST_ALWAYS_LIT = 0x400,
};

// WINDOW.flags
enum : uint32_t
{
    WINDOW_REDRAW = 0x1,
    WINDOW_COPY_PIECES = 0x2,
    WINDOW_FREE = 0x4,
    WINDOW_INPUT_ONLY = 0x8,
    WINDOW_NO_FRAME = 0x10,
    WINDOW_NO_BORDER = 0x20,
};

// Packet sizes of the kept packets.
constexpr size_t UI_SPRITE_BYTES = 24;
constexpr size_t UI_IMAGE_SPRITE_BYTES = 28;
constexpr size_t UI_LINE_BYTES = 20;
constexpr size_t UI_TILE_BYTES = 20;
constexpr size_t UI_QUAD_BYTES = 28;
constexpr size_t UI_SHADED_BYTES = 40;
constexpr size_t UI_ENV_BYTES = 16;
constexpr size_t UI_MODE_BYTES = 12;

// The head every child record begins with.
struct WIDGET
{
    WIDGET *next;
    uint8_t kind;
    uint32_t flags;
    uint16_t x, y, w, h; // relative to the parent window
    WINDOW *parent;
    UIWIDGETCALLBACK press, held, release;
};

struct WINDOWHALF
{
    uint8_t pieces[UI_FRAME_PIECES][UI_SPRITE_BYTES]; // the centre is a 20-byte tile in its slot
    uint8_t offset[UI_ENV_BYTES];
    uint8_t windows[UI_FRAME_PIECES][UI_ENV_BYTES];
    uint8_t mode[UI_MODE_BYTES];
    uint8_t windowOff[UI_ENV_BYTES];
};

struct WINDOW
{
    WIDGET *children;
    void *nodes;
    uint16_t x, y, w, h;
    uint32_t flags;
    uint8_t closing;
    WINDOWHALF half[UI_HALVES];
    UICALLBACK input;
    UIUSERCALLBACK draw;
    UICALLBACK predraw;
    void *user;
    UICALLBACK onClose;
    uint8_t style;
    uint8_t frameRedraw;
    uint8_t seeThrough; // the centre piece was left out at opening
};

struct WINDOWDESC
{
    uint16_t x, y, w, h;
    uint8_t style;
    UICALLBACK init;
    UICALLBACK input;
    UIUSERCALLBACK draw;
    UICALLBACK predraw;
    void *user;
};

extern WINDOW g_atWindows[UI_WINDOWS];
extern WINDOW *g_apWindowStack[UI_WINDOWS];
extern uint8_t g_ucWindowDepth;
extern void *g_pFocusWidget; // a WINDOW or a WIDGET
extern WINDOW *g_pUpdatingWindow;
extern WIDGET *g_pDrawingWidget;
extern WINDOW *g_pModalWindow;
extern uint8_t g_ucUiColourScheme;
extern uint8_t g_abUiTint[3];
extern int32_t g_iBlinkPhase;
extern uint8_t g_ucPulse;
extern int32_t g_bPopupStepDone;
extern int32_t g_iRepeatDelay;
extern int32_t g_iBackgroundCounter; // the background is drawn while this is 0
extern uint8_t g_ucDialogFrameDelay;
extern int32_t g_iBusyCountdown;     // the busy box's; blinking pauses while it runs
extern uint8_t g_bSeeThroughOnce;    // the next window opened leaves its centre see-through
extern uint32_t g_uUiFlags;
extern int32_t g_bUiRedrawOnce;     // cleared by the frame loop after one forced redraw
extern uint32_t g_uUiFreeMemory;    // free memory the start-up measured
extern int32_t g_iTexturePagesUsed; // free texture blocks the start-up counted
// The interface pad word: 0x1000 shows the whole display area, 0x2000 toggles the display-window
// size; the display-window update reads it.
extern uint16_t g_wUiPadWord;
// The current fill colour (red, green, blue) the flat-quadrilateral builder uses.
extern uint8_t g_abFillColour[3];
extern int32_t g_bJamWindowOpen;
// Interface images of the window border's five shadow sprites and the background.
constexpr int32_t UI_SHADOW_IMAGE = 812;
constexpr int32_t UI_BACKGROUND_IMAGE = 811;

// Bevel colours of the two schemes: light then dark, r, g, b.
extern const uint8_t g_aabBevelSchemes[2][2][3];

// Copies a kept packet into the frame's packet area in front of g_pOrderingTable. 0 when the area
// is full.
uint32_t Ui_LinkPacket(const void *packet, size_t bytes);

void Ui_InitWidgetPools();
// The front end's defaults (colours, the pad binding table, ...), run last by Ui_InitWidgetPools.
void Ui_InitFrontEnd();
WINDOW *Ui_OpenWindow(const WINDOWDESC *desc);
void Ui_CloseWindow(WINDOW *w);
void Ui_AttachWidget(WINDOW *window, WIDGET *child);
void Ui_DrawWidget(WIDGET *w);
void *Ui_GetFocus();
// True when the focus is the window itself or one of its widgets.
bool Ui_WindowHasFocus(const WINDOW *w);
void Ui_SetFocus(void *w);
void Ui_SetModalWindow(WINDOW *w);
void Ui_RedrawWindowFrame(WINDOW *w);
// Moves an open window: its save-under, offset and list clips follow.
void Ui_MoveWindow(WINDOW *w, int32_t x, int32_t y);
bool Ui_IsUpdatingWindowFocused();
void Ui_WidgetFrame();
// The interface's work in frame state 0: the widget frame between two debug markers, the song's
// end when play ran off it, then the riff editor's live-play notes of the frame.
void Ui_Frame();
// The window's shadow, built at the packet cursor.
void Ui_DrawWindowBorder(const WINDOW *w);
// Combines pad ports 1 and 2 into the working pad and dispatches the screen's bindings.
void Ui_LatchPads();
// The slots that went down and came up at the last latch.
extern uint16_t g_wPadPressed, g_wPadReleased;
// True when the widget or window is still in use (not free in its pool).
bool Ui_WindowIsOpen(const WINDOW *w);

// Geometry of frame piece i of a w x h window (relative to the window).
void Ui_FramePieceRect(int piece, int w, int h, int *x, int *y, int *pw, int *ph);
