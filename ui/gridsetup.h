// The main editing grid: one screen shared by the video track (kind 1), the song track (kind 2)
// and the riff editor (kind 3). Geometry per kind, set-up and close, the cursor and its glide,
// and one-cell scrolling that speeds up while a direction is held.
#pragma once

#include "ui/gridstate.h"
#include "ui/view.h"
#include "ui/widgets.h"

#include <cstdint>

#include "core/browser.h" // the grid panel's layout, set at start-up

extern WINDOW *g_pGridWindow;
extern uint8_t g_ucGridRedraw;   // frames in which the row headers are rebuilt
extern uint8_t g_ucGridOptions;  // bit 0: world view
extern int16_t g_asGridMark[4];  // start column, start row, end column, end row
extern uint8_t g_ucGridMarkRepaint, g_ucGridMarkStyle;
extern int8_t g_cGridGlideStepX, g_cGridGlideOffsetX, g_cGridGlideStepY, g_cGridGlideOffsetY;
extern uint8_t g_ucGridScrollLevel, g_ucGridScrollCount;
extern int8_t g_cGridPendingColumns, g_cGridPendingRows; // whole cells still to scroll into view
extern uint8_t g_ucRiffOctave;     // 1..6, the riff editor's octave
extern uint8_t g_ucRiffEditorBars; // bars of the riff being edited, 1..8
extern uint32_t g_uSongMuteMask;   // muted song tracks
extern uint32_t *g_puGridMuteMask; // the shown kind's mask
extern uint8_t *g_p_ucWorkBuffer;

constexpr size_t UI_GRID_WORK_BYTES = 494505;

struct GRIDGEOMETRY
{
    uint16_t originX, originY;
    uint8_t columns, rows, cellWidth, cellHeight;
    uint8_t speedsAcross[3], speedsDown[3];
    uint8_t thresholds[2];
};
// The geometry of a kind (1..3), in world view for kinds 1 and 2 when asked.
const GRIDGEOMETRY *Ui_GridGeometry(int32_t kind, bool worldView);

// False when the buffers cannot be had or the window or view cannot be made; nothing is left open.
bool Ui_SetupGridScreen(int32_t kind);
void Ui_CloseGridScreen();
// The place (first visible cell and cursor) kind 1 or 2 opens at next time.
// The song position under the song grid's cursor: the open song grid's, or the one it kept
// when it closed (a screen over it, such as the file screen, closes it).
int32_t Ui_SongGridCursorPosition();
void Ui_SetGridPlace(int32_t kind, int16_t firstColumn, int16_t firstRow, int16_t cursorX, int16_t cursorY);
// The work buffer is shared with other screens; they give it back through here.
void Ui_FreeGridWorkBuffer();
void Ui_RequestGridRedraw();
// The column bar's range: the song's columns less the visible ones, never below 0.
void Ui_UpdateColumnScrollRange(WIDGET *bar);
void Ui_GridChangedHook(int32_t kind);

int32_t Ui_GridCursorColumnRaw();
int32_t Ui_GridCursorRowRaw();
void Ui_AdjustColumnForScroll(int32_t *column);
void Ui_AdjustRowForScroll(int32_t *row);
int32_t Ui_GridCursorColumn();
int32_t Ui_GridCursorRow();
int32_t Ui_GridMouseColumn();
int32_t Ui_GridMouseRow();
int32_t Ui_GridCursorColumnClamped();

void Ui_GridScrollLeft();
void Ui_GridScrollRight();
void Ui_GridScrollUp();
void Ui_GridScrollDown();
void Ui_GridAccelerate();
void Ui_GridCursorGlide();
void Ui_GridFrameUpdate();
void Ui_GridFrameDraw();

// Pad handlers of the grid screens: a one-cell request on the axis' scroll bar.
void Ui_GridStepUp();
void Ui_GridStepDown();
void Ui_GridStepLeft();
void Ui_GridStepRight();
