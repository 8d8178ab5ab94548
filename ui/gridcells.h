// What the main editing grid draws besides the video and riff cells: the song grid's cells, the
// row headers and labels, the column labels, the cursor frame, the marked range and the panel
// frame in its colour style; the name of the item under the pointer; and the grid's mouse.
#pragma once

#include <cstdint>

struct WIDGET;

// Image numbers of the grid's cells and headers (the interface set draws them).
enum : int32_t
{
    GRIDIMG_EMPTY_BAR = 900,
    GRIDIMG_EMPTY_BEAT = 901,
    GRIDIMG_PAST_END = 902,
    GRIDIMG_TRACK_HEADER = 912,
    GRIDIMG_TRACK_FLAGGED = 913,
    GRIDIMG_EVENT_HEADERS = 914, // rows 99 to 102
    GRIDIMG_VIDEO_HEADERS = 918, // row kinds 2, 3, 5, 6
    GRIDIMG_VIDEO_HIDDEN = 922,
    GRIDIMG_VIDEO_EMPTY = 926,
    GRIDIMG_WORLD_VIDEO_HEADERS = 927, // kinds 2, 3, 5, 6, then the empty row
    GRIDIMG_WORLD_TRACK = 932,
    GRIDIMG_WORLD_TRACK_FLAGGED = 933,
    GRIDIMG_COLUMN_STRIP = 934,
    GRIDIMG_WORLD_COLUMN_STRIP = 935,
    GRIDIMG_WORLD_EVENT_HEADER = 938,
    GRIDIMG_RIFF_PIECES = 940, // [track part 0..3][bar part 0..3]: first, middle, last, single
    GRIDIMG_WORLD_VIDEO_HIDDEN = 956,
};

// Set by a press that must not turn into a drag or a release action.
extern uint8_t g_bGridDragStopped, g_bGridPressHandled, g_bGridDragLock;
extern uint32_t g_uGridPressTime;
extern int16_t g_sGridPressColumn, g_sGridPressRow;
// Set while a marked area is shown outside the marking screens.
extern uint8_t g_bGridAreaMarked;
// The item under the pointer and the tool tip the widget frame shows next.
extern char g_szCursorItemName[32];
extern char g_szPendingToolTip[32];

// The image and colour entry (-1: neutral) of a song grid cell outside the world view.
int32_t Ui_SongCellImage(int32_t column, int32_t row, int32_t *colourEntry);
void Ui_DrawSongCell(uint8_t *packet, int32_t column, int32_t row, int32_t x, int32_t y);
void Ui_DrawSongCellPastEnd(uint8_t *packet, int32_t column, int32_t x, int32_t y);

// The grid window's draw callback: row headers, labels and the column strip.
void Ui_DrawGridHeader(void *user);
void Ui_DrawColumnLabels();
void Ui_DrawGridRowLabels();
void Ui_BuildRowHeaders(int half);
// The row header image of a grid row (-1 for none).
int32_t Ui_RowHeaderImage(int32_t row);
void Ui_DrawGridCursor();
void Ui_DrawMarkedRange();
void Ui_UpdateCursorItem(int32_t kind);

// The colour styles of the cursor and of the panel frame around the cells.
void Ui_SetCursorFrameStyle(int half, int32_t style);
void Ui_SetPanelFrameStyle(int half, int32_t style);
void Ui_SetGridClipAreas();
// The style the panel frame and the cursor show in a half now.
int32_t Ui_PanelFrameStyle(int half);
int32_t Ui_CursorFrameStyle(int half);

void Ui_GridMousePress(WIDGET *w);
void Ui_GridMouseDrag(WIDGET *w);
void Ui_GridMouseRelease(WIDGET *w);
