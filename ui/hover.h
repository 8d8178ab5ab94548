// What the pointer's mere position does each frame in mouse mode, before the buttons are routed:
// the grid scrolls while the pointer rests at a screen edge, and in lists and boxes the row or
// button under the pointer becomes the selected one, so that a click or a pad press acts on it.
#pragma once

#include <cstdint>

struct LISTWIDGET;

// All of the hover work of the current screen, with the last frame's pointer.
void Ui_PointerHover();
// The grid's part: the riff editor's side scrolling and the edge scrolling of the song and video
// grids on their screens.
void Ui_GridEdgeScroll();
// The row under the pointer held to what a list shows: a row above the list is its first row;
// then first .. total - 1 for a list shorter than its window, else first .. first + visible - 1.
int32_t Ui_HoverListRow(int32_t row, int32_t first, int32_t total, int32_t visible);
// The pointer over a list's rows selects the row under it (nothing while the list scrolls).
void Ui_HoverList(LISTWIDGET *list);
// The focused message box's button under the pointer becomes its chosen button.
void Ui_MsgBoxHover();

// Sizing a riff (screen 12) adds at most this many columns and rows to its first cell.
constexpr int32_t UI_MARK_MAX_MORE_COLUMNS = 7, UI_MARK_MAX_MORE_ROWS = 11;
// The extra columns w and rows h of a mark grown one step at a time toward a cell `columns` right
// and `rows` below its start: a step is taken only while the size fits (null: always); the
// dimension further from the target grows first, rows on a tie.
void Ui_GrowMarkToward(int32_t columns, int32_t rows, bool (*fits)(int32_t bars, int32_t tracks), int32_t *w,
                       int32_t *h);
// Screen 12: the mark's far corner toward the cell under the pointer, as far as the song grid has
// room for the riff; the cursor goes to the corner.
void Ui_MarkBlockToPointer();
// The cursor row from the mark's start row on to the last row of the same lane kind, below limit.
void Ui_CursorToLaneEnd(int32_t limit);
// Screen 12's hover: the corner follows the pointer once it has moved since sizing began.
void Ui_SizingHover();
// Screen 3's hover: the block being pasted moves with the pointer, keeping its size.
void Ui_PasteBlockHover();
// The riff editor's side panel: the pointer over it takes the panel (screen 14) and picks the
// setting under it; the pointer elsewhere on the grid leaves it.
void Ui_RiffPanelHover();
// The file browser's button rows, the option page's gadgets, the sample editor's markers, the
// curve's points and the help topics under the pointer.
void Ui_FileBrowserHover();
void Ui_OptionGadgetHover();
// The transpose key dialog: the key (or the scale row) under the pointer becomes the chosen one.
void Ui_SlotDialogHover();
void Ui_SampleMarkerHover();
// The pointer over the chase editor's preview has it drawn again.
void Ui_ChasePreviewHover();
void Ui_CurvePointHover();
void Ui_HelpTopicHover();
// The CD player's options page: its "No video" and "Generate video" rows under the pointer take
// the focus. The slot dialog's key or scale row, and the icon picker's cell, under the pointer
// become the chosen ones.
void Ui_CdOptionsHover();
void Ui_SlotDialogHover();
void Ui_IconGridHover();
