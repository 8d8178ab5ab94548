// The top bar as a toolbar in mouse mode: six mode buttons at its left, twelve function-key
// buttons at its right running the current menu page's F-key items, each outlined under the
// pointer with a hint beside the pointer.
#pragma once

#include "ui/mouse.h"

#include <cstdint>

constexpr int UI_HINT_CHARS = 128;
extern char g_szHintText[UI_HINT_CHARS];
// The highlighted top-bar button (owned by the top bar), the studio's main mode (0 song, 1 video, 3 load and save,
// 4 CD sampling options, 5 options).
extern uint8_t g_ucTopBarButton;
// Where the last hint was drawn (x, y, w, h); zero width when none.
extern int16_t g_asHintBox[4];

void Ui_DrawFKeyToolbar();
// 1 when the pointer is over the button (outline and hint set), else 0; a press runs the action.
int32_t Ui_ToolbarButton(const UIRECT *rect, void (*action)(), const char *hint, int32_t isFunctionKey);
// Draws the hint beside the pointer, kept on screen.
void Ui_DrawHint(const char *text);
// Once a frame before the mouse: the last hint's area is given back and the pending hint drawn.
void Ui_HintFrame();
// The name of the grid item under the pointer, drawn beside it as a hint is (its area saved).
void Ui_DrawToolTip(const char *text);

// The mode buttons' actions (ui/toolbarmodes.cpp).
void Ui_ToolbarSongTrack();
void Ui_ToolbarVideoTrack();
void Ui_ToolbarMusicJam();
void Ui_ToolbarLoadSave();
void Ui_ToolbarCdPlayer();
void Ui_ToolbarOptions();
