// Mouse callbacks of the scroll bars whose owners act on a step at once: the grid's bars, lists,
// the file browser's list, the help text, the sample panel's range bar and the curve editor.
// Each is stored as both the press and the held callback of its bar.
#pragma once

#include "ui/widgets.h"

#include <cstdint>

// Grid view bars: the vertical track pages the song or video grid, the rest steps as any bar.
void Ui_GridScrollBarPress(WIDGET *bar);
// List bars: arrows move the selection a row (with the list's own hold timing), the track pages.
void Ui_ListScrollBarMouse(WIDGET *bar);
// A library pop-up's folder bar: the arrows step one sub-folder (never past either end), the
// track jumps a whole folder.
void Ui_PagedListScrollBarMouse(WIDGET *bar);
// The file screen's list bar moves the file selection a row (four entries), whatever the step's
// size, while the screen is open.
void Ui_BrowserListBarInput(WIDGET *bar);
// The help text bar: arrows once per press, the track repeats.
void Ui_HelpScrollBarMouse(WIDGET *bar);
// The sample panel's bar scrolls the view back or on from the selected marker.
void Ui_SampleRangeBarMouse(WIDGET *bar);
// The curve editor's bars: every part steps by one, once per repeat.
void Ui_ScrollBarClick(WIDGET *bar);

// What the callbacks above read and call of owners that keep their own state.
constexpr int32_t HELP_PAGE_LINES = 18; // lines of the help text window
extern int32_t g_iHelpFirstLine;
extern int32_t g_iHelpLineCount;
void Ui_RedrawHelpText();

extern int32_t g_iSampleViewStart, g_iSampleViewEnd, g_iSampleMarker;
extern int32_t g_iSamplePanelIdle;
void Ui_SampleScrollBack();
void Ui_SampleScrollOn();

// The curve editor's remembered scroll operation: the bar and direction of the last step.
extern WIDGET *g_pCurveScrollBar;
extern int32_t g_iCurveScrollDir;
void Ed_CurveScrollStep(WIDGET *bar, int32_t dir);
