// The curve editor: one window in which a curve of 2 to 64 points is shaped (select and move
// points, add and delete them, load preset layouts, stretch its axes) and then applied: as the
// envelope of the marked part of the edited sample (mode 0), as the volume, pitch or pan envelope
// of the note on the note panel (modes 1 to 3), or across the notes of the riff editor's marked
// columns as their volume, pan or sample start (modes 4 to 6).
#pragma once

#include "editors/curvewidget.h"
#include "ui/list.h"
#include "ui/scrollbar.h"

#include <cstdint>

enum : uint8_t
{
    CURVEMODE_SAMPLE = 0,
    CURVEMODE_NOTE_VOLUME = 1,
    CURVEMODE_NOTE_PITCH = 2,
    CURVEMODE_NOTE_PAN = 3,
    CURVEMODE_AREA_VOLUME = 4,
    CURVEMODE_AREA_PAN = 5,
    CURVEMODE_AREA_OFFSET = 6,
    CURVEMODES = 7,
};

constexpr int32_t SCREEN_CURVE_SELECT = 23;
constexpr int32_t SCREEN_CURVE_MOVE = 24;
constexpr int32_t SCREEN_CURVE_PRESETS = 25;
constexpr int32_t SCREEN_CURVE_XBAR = 28;
constexpr int32_t SCREEN_CURVE_XTHUMB = 29;
constexpr int32_t SCREEN_CURVE_YBAR = 30;
constexpr int32_t SCREEN_CURVE_YTHUMB = 31;
constexpr int32_t CURVE_MENU_PAGE = 7;
constexpr int32_t CURVE_BUSY_CODE = 17;

// A curve kept as (x, y) byte pairs.
struct STOREDCURVE
{
    uint8_t points[2 * CURVE_MAX_POINTS];
    int16_t count;
};

struct CURVEPRESET
{
    const char *name;
    uint8_t count;
    uint8_t points[16][2];
};

extern uint8_t g_ucCurveMode;
extern WINDOW *g_pCurveWindow;
extern CURVEWIDGET *g_pCurveGraph;
extern CURVEPOINTS *g_pCurve;
extern LISTWIDGET *g_pCurvePresetList;
extern SCROLLBAR *g_pCurveXBar, *g_pCurveYBar;
extern CURVEPOINTS g_stCurveUndo;
extern uint8_t g_ucCurveFlags; // bit 0: a preset preview is shown, the undo copy holds the curve
extern uint8_t g_ucCurveFocus; // 0 graph, 1 presets, 2 X scale, 3 Y scale
extern uint8_t g_aucBlockCurve[2 * CURVE_MAX_POINTS];
extern int16_t g_sBlockCurveCount;
extern STOREDCURVE g_stAreaVolumeCurve, g_stAreaPanCurve, g_stAreaOffsetCurve;

void Ed_ResetStoredCurves();
// Gives the menu rows that open the editor their handlers (rows that have one keep it).
void Ed_InstallCurveMenuItems();
// Modes 0..6; refused (nothing opened) for another mode, when the editor is open already, or when
// the window or its parts cannot be had.
void Ed_OpenCurveEditor(int32_t mode);
bool Ed_CurveEditorIsOpen();
// Closes without applying anything (the program's own clean-up).
void Ed_CloseCurveEditor();

// The preset rows of a mode (P1..P5), null for no mode.
const CURVEPRESET *Ed_CurvePresets(int32_t mode, int32_t *count);
// The curve (byte pairs sorted by x) at x: straight between points; a segment of one x gives its
// right point; before the first point the first's y, past the last the last's y.
int32_t Ed_CurveValueAt(const uint8_t *points, int32_t count, int32_t x);
// Applies the stored curve of mode 4..6 to the notes starting in columns start..end of the
// current riff's current channel; the number of notes changed.
int32_t Ed_ApplyCurveOverRange(int32_t mode, int32_t start, int32_t end);
// The info line's numbers: count, point, x, y, X scale, Y range.
void Ed_CurveInfoText(char *out, int32_t size);

// Pad handlers.
void Ed_CurvePointLeft();
void Ed_CurvePointRight();
void Ed_CurvePointUp();
void Ed_CurvePointDown();
void Ed_CurveBeginMovePoint();
void Ed_CurveEndMovePoint();
void Ed_CurveEditBack();
void Ed_CurveOpenPageMenu();
void Ed_CurveListUp();
void Ed_CurveListDown();
void Ed_CurveEditAccept();
void Ed_CurveListBack();
void Ed_ScaleValueDown();
void Ed_ScaleValueUp();
void Ed_ScaleBeginAdjust();
void Ed_ScaleBack();
void Ed_ScaleAdjustDown();
void Ed_ScaleAdjustUp();
void Ed_ScaleEndAdjust();
// Menu page items.
void Ed_CurveSelectPointMode();
void Ed_CurveMovePointMode();
void Ed_CurveAddPoint();
void Ed_CurveDeletePoint();
void Ed_CurvePresetLayouts();
void Ed_CurveEditXScale();
void Ed_CurveEditYScale();
void Ed_CurveUndo();
