// Dragging a window by any of its text fields, and the close box at the left end of a caption.
// The caption's style byte: TEXTFIELD_NO_ICON (bit 1) has no close box, TEXTFIELD_NO_DRAG (bit 2)
// cannot be moved.
#pragma once

#include "ui/widgets.h"

#include <cstdint>

// The top bar of the editor screens (null when not open); its close box only sounds.
extern WINDOW *g_pTopBarWindow;

// Press and held callback of every text field.
void Ui_CaptionMouse(WIDGET *caption);
// Release callback: ends the drag.
void Ui_CaptionRelease(WIDGET *caption);
void Ui_CloseBoxClick();
// Where a drag with the pointer at (px, py) puts a w x h window: grab point kept, x even, flush
// with the screen's edges, never negative.
void Ui_CaptionDragTarget(int32_t px, int32_t py, int32_t w, int32_t h, int32_t *x, int32_t *y);
