// The hit maps of the editor windows that draw their controls as pictures, not widgets: each
// turns a pointer position (relative to the window origin wx, wy) into the index the editor's pad
// handlers already use. Ranges exclude both ends unless said otherwise.
#pragma once

#include <cstdint>

struct CLICKHIT
{
    int32_t region; // one of the window's region codes below; 0 = nothing hit
    int32_t index;  // the field, cell, slot, key or level the region gives
    bool operator==(const CLICKHIT &) const = default;
};

// The lane header of the song and video grids: the strip two cells wide at the window's left.
// Gives the lane (first visible row + 1 + the row under the pointer), -1 outside the strip.
int32_t Ui_LaneHeaderLane(int32_t px, int32_t py, int32_t wx, int32_t wy, int32_t cellWidth, int32_t cellHeight,
                          int32_t firstRow, int32_t maxRow);

// Riff editor: the octave strip (1 octave, index = octave) and the instrument row (2, index =
// column; count = instruments shown).
enum { RIFFHIT_OCTAVE = 1, RIFFHIT_INSTRUMENT = 2 };
CLICKHIT Ui_RiffEditorHit(int32_t px, int32_t py, int32_t wx, int32_t wy, int32_t instrumentCount);
// The 8-position selector of the side panel's item 4: 8 above wy + 55, else the position under
// the pointer (-1 past the last one).
int32_t Ui_RiffSelectorPosition(int32_t px, int32_t py, int32_t wx, int32_t wy, int32_t areaX, int32_t areaWidth);

// File browser: a file cell (index = first shown + column + 4 x row, given first shown), a field of
// the button rows (index = field), the title line, the author line.
enum { FILEHIT_ENTRY = 1, FILEHIT_FIELD = 2, FILEHIT_TITLE = 3, FILEHIT_AUTHOR = 4 };
CLICKHIT Ui_FileBrowserHit(int32_t px, int32_t py, int32_t wx, int32_t wy, int32_t firstShown);

// CD screen (centred on a screen of sw x sh): the transport row (index = cursor 0..9) and the
// small selector row (index 0..2).
enum { CDHIT_TRANSPORT = 1, CDHIT_SELECTOR = 2 };
CLICKHIT Ui_CdScreenHit(int32_t px, int32_t py, int32_t wx, int32_t wy, int32_t sw, int32_t sh);
// CD sampling options: the accept row and the second gadget's row.
enum { CDOPTHIT_ACCEPT = 1, CDOPTHIT_GADGET = 2 };
CLICKHIT Ui_CdOptionsHit(int32_t px, int32_t py, int32_t wx, int32_t wy);

// The bar-range dialog's count arrows: index -1 (left arrow) or +1 (right arrow); and the count a
// step leaves, kept to 1..9.
enum { BARHIT_ARROW = 1 };
CLICKHIT Ui_BarCountHit(int32_t px, int32_t py, int32_t wx, int32_t wy, int32_t width);
int32_t Ui_StepBarCount(int32_t count, int32_t step);

// An option gadget's row: x within the gadget's x +- 75, y from its y to y + 16.
bool Ui_OptionGadgetHit(int32_t px, int32_t py, int32_t gadgetX, int32_t gadgetY);

// Slot dialog: a slot 0..12 or the OK position 13.
enum { SLOTHIT_SLOT = 1 };
CLICKHIT Ui_SlotDialogHit(int32_t px, int32_t py, int32_t wx, int32_t wy);

// Icon grid: the cell, 8 to a row.
enum { ICONHIT_CELL = 1 };
CLICKHIT Ui_IconGridHit(int32_t px, int32_t py, int32_t wx, int32_t wy);

// Sample editor panel: the wave area (index = pointer position in the wave, p = px - wx - 27),
// the preview, record and loop buttons.
enum { SAMPLEHIT_WAVE = 1, SAMPLEHIT_PREVIEW = 2, SAMPLEHIT_RECORD = 3, SAMPLEHIT_LOOP = 4 };
CLICKHIT Ui_SampleEditorHit(int32_t px, int32_t py, int32_t wx, int32_t wy);
// Two presses less than 400 ms apart select the whole view.
bool Ui_IsDoublePress(uint32_t previous, uint32_t now);

// Chase editor regions, in the order they are tested.
enum
{
    CHASEHIT_CLOSE = 1,
    CHASEHIT_PREVIEW,
    CHASEHIT_LEVEL_BAR,
    CHASEHIT_PARAMETER, // index = parameter row
    CHASEHIT_SLIDERS,
    CHASEHIT_STRIP,
    CHASEHIT_ICON,
};
CLICKHIT Ui_ChaseEditorHit(int32_t px, int32_t py, int32_t wx, int32_t wy);
// The colour sliders: index = slider row; region 1 step down, 2 step up, 3 set the level (index2
// holds it through *level), 4 select a channel (*level = the channel).
enum { CHASESLIDER_DOWN = 1, CHASESLIDER_UP, CHASESLIDER_SET, CHASESLIDER_CHANNEL };
CLICKHIT Ui_ChaseSliderHit(int32_t px, int32_t py, int32_t wx, int32_t wy, int32_t *value);
// The parameter strip: region 1 a parameter (index 0, 1, 3 or 4), 2 a level 0..254.
enum { CHASESTRIP_PARAMETER = 1, CHASESTRIP_LEVEL = 2 };
CLICKHIT Ui_ChaseStripHit(int32_t px, int32_t wx);
// The level bar: -1 the left arrow, +1 the right arrow, 0 the bar between.
int32_t Ui_ChaseLevelArrow(int32_t px, int32_t wx);

// ((a x 256 x b) / c) >> 8 in 64 bits; 0 for c = 0.
int32_t Ui_MulDivFixed(int32_t a, int32_t b, int32_t c);
// A dragged curve point's position: (px - wx - 7) x 361 kept to 0..65535, then between its
// neighbours' positions (not below previous, not above next; either may be -1 for none).
int32_t Ui_CurvePointPosition(int32_t px, int32_t wx, int32_t previous, int32_t next);
// A dragged curve point's value: y = py - wy - 25 kept to 1..graph height, negated and scaled.
int32_t Ui_CurvePointValue(int32_t py, int32_t wy, int32_t graphHeight, int32_t valueShift);
