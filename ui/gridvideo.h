// The video track grid (grid kind 1): four collapsible lane groups, each a lane row with, while
// open, a sub-row per chase entry of its clips, then the fixed lane rows; the cell description and
// the cell drawers of the grid and its world view; and the horizontal value scroller of the chase
// editor's sliders (screens 41 and 42).
#pragma once

#include <cstdint>

struct VIDCLIP;
struct CHASE;

constexpr int32_t UI_GRID_MAX_ROWS = 255;
extern uint8_t g_aucGridRowGroupSize[4];
extern uint8_t g_aucGridRowGroupFirst[6]; // four collapsible groups, then the two fixed rows
extern uint8_t g_aucGridRowKinds[UI_GRID_MAX_ROWS + 1];
extern uint32_t g_uGridHiddenLanes; // the video grid's hidden lane groups (bit n = group n)

enum : uint8_t
{
    VIDCELL_CLIP = 2,
    VIDCELL_CHASE = 3,
    VIDCELL_EMPTY = 4,
    VIDCELL_NO_ROW = 9,
    VIDCELL_NO_ENTRY = 10,
};
struct VIDCELLDESC
{
    uint8_t kind;
    VIDCLIP *clip;
    CHASE *chase;
    uint8_t emptyCode; // 5..8
};

// Six rows: the four group lane rows and the two fixed rows, groups closed.
void Ui_ResetGridRows();
int32_t Ui_FindRowGroup(int32_t row);
void Ui_DescribeVideoCell(int32_t column, int32_t row, VIDCELLDESC *out);
// The image of a video grid cell and its colour entry (-1: neutral).
int32_t Ui_VideoCellImage(int32_t column, int32_t row, int32_t *colourEntry);
void Ui_VideoCellCallback(uint8_t *packet, int32_t column, int32_t row, int32_t x, int32_t y);
int32_t Ui_WorldVideoCellImage(int32_t column, int32_t row, int32_t *colourEntry);
void Ui_WorldCellCallback(uint8_t *packet, int32_t column, int32_t row, int32_t x, int32_t y);
// The name of the clip or chase at a cell ("" for none), at most size - 1 characters.
void Ui_VideoCellName(int32_t column, int32_t row, char *out, int32_t size);

void Ui_ToggleRowGroup(int32_t group);
void Ui_UpdateGridRowTotal();
void Ui_RebuildRowGroups();
void Ui_ToggleRowGroupAtCursor();
void Ui_ResumeGridNavigation();
void Ui_ShowGridView();

// The value scroller.
struct HSCROLLER
{
    uint32_t flags; // 4: horizontal
    int16_t x, y, width;
    int32_t position, minimum, page, maximum;
};
struct SCROLLERSTATE
{
    uint8_t part; // 0 left arrow, 1 thumb, 2 right arrow
    HSCROLLER *scroller;
    int32_t value, minimum, maximum;
    int16_t width;
    void (*change)(int32_t value);
    void (*drag)(int32_t value);
    uint8_t delay;
    int32_t thumbX; // where the thumb was last drawn, for dragging
};
extern SCROLLERSTATE g_tScroller;
void Ui_DrawHScroller(HSCROLLER *s);
// The step a drag moves the value by: (maximum - minimum) / (width - 32), at least 1.
int32_t Ui_ScrollerDragStep();
void Ui_ScrollerBack();
void Ui_ScrollerPartLeft();
void Ui_ScrollerPartRight();
void Ui_ScrollerPress();
void Ui_ScrollerDragEnd();
void Ui_ScrollerDragLeft();
void Ui_ScrollerDragRight();
