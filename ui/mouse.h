// The mouse side of the widget toolkit: the pointer and the button byte, hit tests, the click
// areas of a window, the routing of left presses to the focused window (its click areas, the
// widget under the pointer, else the window's own handler) and of right presses to a pad slot of
// the current screen, and the default press and held hooks of scroll bars and lists.
#pragma once

#include "ui/widgets.h"

#include <cstdint>

struct SCROLLBAR;
struct LISTWIDGET;

extern int16_t g_sMouseX, g_sMouseY;
extern int16_t g_sGrabX, g_sGrabY; // the pointer inside the widget the last hit test found
// The button byte, rebuilt every frame.
enum : uint8_t
{
    MOUSE_LEFT_PRESS = 0x01,
    MOUSE_RIGHT_PRESS = 0x02,
    MOUSE_LEFT_RELEASE = 0x04,
    MOUSE_LEFT_DOWN = 0x08,
    MOUSE_RIGHT_DOWN = 0x10,
    MOUSE_LEFT_WAS_UP = 0x20,
    MOUSE_RIGHT_WAS_UP = 0x40,
    MOUSE_MODE = 0x80,
};
extern uint8_t g_ucMouseButtons;
extern WINDOW *g_pMouseWindow;   // the window under the pointer at the last button event
extern WIDGET *g_pClickedWidget; // the widget that took the last left press
extern int32_t g_bMouseHoldMarked; // set by the routing when the left button was held this frame
extern int32_t g_iMouseHoldFrames;
extern int32_t g_bPointerFrozen;
extern int32_t g_iLastClickTime;

// A rectangle of a window (relative to its origin) that takes a left press before its widgets.
struct CLICKAREA
{
    CLICKAREA *next;
    uint32_t value;
    int16_t x, y, w, h;
    void (*callback)(uint32_t value);
};

struct UIRECT
{
    int16_t x, y, w, h;
};

// The windows the mouse layer knows by their owner, each with its own click handler. The owners
// register their window when they open it; a window that dies leaves its role empty.
enum UIWINDOWROLE
{
    UI_ROLE_GRID,          // the song, video or riff grid
    UI_ROLE_PREVIEW,       // the video preview beside the grid
    UI_ROLE_SAMPLE_EDITOR,
    UI_ROLE_FILE_BROWSER,
    UI_ROLE_BAR_RANGE,     // the bar-range dialog of the option pages
    UI_ROLE_CHASE_EDITOR,
    UI_ROLE_CD_OPTIONS,
    UI_ROLE_CD_SCREEN,
    UI_ROLE_SLOT_DIALOG,
    UI_ROLE_KEYBOARD,      // the on-screen keyboard
    UI_ROLE_ICON_GRID,
    UI_ROLE_OPTION,        // the option page window
    UI_ROLES
};
// What reaches a role's handler.
enum
{
    UI_CLICK_PRESS = 1,
    UI_CLICK_RELEASE = 2,
    UI_CLICK_HELD = 3,
    UI_CLICK_LANE = 4, // the grid's lane column on screens 4 and 5
};
typedef void (*UIROLECLICK)(int32_t event);
struct UIWINDOWROLEREC
{
    WINDOW *window;
    UIROLECLICK click;
};
extern UIWINDOWROLEREC g_atWindowRoles[UI_ROLES];
void Ui_SetWindowRole(int32_t role, WINDOW *window, UIROLECLICK click);
// Clears every role that names the window (its destruction).
void Ui_ForgetWindowRoles(const WINDOW *window);

// The option pages' mode (4: the CD sampling options), owned by the option pages.
extern uint8_t g_ucOptionPageMode;
// Ends the play list on a press while it runs (screen 60); set by its owner.
extern void (*g_pfnEndPlaylist)();
// The value slider's acceleration reset of a left release; set by the sliders' owner.
extern void (*g_pfnResetSliderAcceleration)();
// Hover work of the current screen, run before the motion with the last frame's pointer.
extern void (*g_pfnMouseHover)();

void Ui_InitMousePointer();
void Ui_ToggleMouseMode();
void Ui_FreezePointer();
void Ui_UnfreezePointer();
// Per frame: pointer tool, hover work, the edge bits, motion and clamp (12 px short of the far
// edges), the raw up-states for the next frame. Nothing outside mouse mode.
void Ui_DispatchMouseClick();
// Per frame: left press, else release, else held; independently the right press.
void Ui_DispatchMouseButtons();
void Ui_DispatchKeyShortcut();
void Ui_MouseLeftPress(WINDOW *w);
void Ui_MouseLeftRelease(WINDOW *w);
void Ui_MouseLeftHeld(WINDOW *w);
void Ui_MouseRightPress();

// Hit tests against the pointer: windows and widgets with their edges, rectangles without the
// far edges.
WINDOW *Ui_WindowAtPointer();
WIDGET *Ui_WidgetAtPointer(WINDOW *w);
int32_t Ui_PointerInWindow(const WINDOW *w);
int32_t Ui_PointerInRect(const UIRECT *r);

// Appends a click area (nothing when memory is short); runs the first area holding the pointer.
void Ui_AddClickArea(WINDOW *w, const UIRECT *r, void (*callback)(uint32_t value), uint32_t value);
int32_t Ui_RunClickArea(WINDOW *w);
// Frees the singly linked list held in the record's second word and clears the head.
void Ui_FreeNodeList(void *record);

// Scroll bar hooks: the arrows step by 1, the track by a page less one; a held press repeats
// after the hold count.
void Ui_ScrollBarPress(WIDGET *bar);
void Ui_ScrollBarHeld(WIDGET *bar);
// The step a press at the pointer asks of the bar: -1 / +1 on the arrows, a page less one either
// side of the thumb while the bar's repeat delay is out, else 0 (also on the thumb, and for a
// bar with no direction).
int32_t Ui_ScrollBarStepAtPointer(const SCROLLBAR *bar);
// A click selects the row under the pointer (the list's bar callbacks are in ui/barmouse.h).
void Ui_ListRowClick(WIDGET *list);
// What a click on a real row does once it is the list's selection: help topics, pop-up and page
// menu rows are chosen (slot 14); a curve preset is shown on the curve and kept.
void Ui_ListRowChosen(struct LISTWIDGET *list, int32_t row);
