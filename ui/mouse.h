// The mouse side of the widget toolkit: the pointer position, the routing of button presses to
// the widget under the pointer (press, held, release callbacks of the WIDGET head), and the
// default press and held hooks of scroll bars and lists.
#pragma once

#include "ui/widgets.h"

#include <cstdint>

struct SCROLLBAR;
struct LISTWIDGET;

extern int16_t g_sMouseX, g_sMouseY;
// Bit 0 left button, bit 1 right, bit 3 held, bit 7 mouse mode.
extern uint8_t g_ucMouseButtons;
extern WIDGET *g_pClickedWidget; // the mouse-captured widget
extern int32_t g_bMouseHoldMarked; // set by the routing when a button was held this frame
extern int32_t g_iMouseHoldFrames;
extern int32_t g_bPointerFrozen;

void Ui_InitMousePointer();
// Moves the pointer by the last poll's movement and keeps it on the screen.
void Ui_DispatchMouseClick();
// Press, held and release of the left button, routed to the widget under the pointer.
void Ui_DispatchMouseButtons();
void Ui_DispatchKeyShortcut();
// The topmost open window under the screen point, and its first child there (null when none).
WINDOW *Ui_WindowAt(int x, int y);
WIDGET *Ui_WidgetAt(WINDOW *w, int x, int y);
// Frees the singly linked list held in the record's second word and clears the head.
void Ui_FreeNodeList(void *record);

// Scroll bar hooks: the arrows step by 1, the track by a page less one; a held press repeats
// after the hold count.
void Ui_ScrollBarPress(WIDGET *bar);
void Ui_ScrollBarHeld(WIDGET *bar);
// The list's bar hooks and the row click: the bar's step moves the list's selection; a click
// selects the row under the pointer.
void Ui_ListScrollPress(WIDGET *bar);
void Ui_ListScrollHeld(WIDGET *bar);
void Ui_ListRowClick(WIDGET *list);
