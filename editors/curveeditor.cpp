#include "editors/curveeditor.h"

#include "app/calllog.h"
#include "audio/sampleedit.h"
#include "core/padbind.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "sequencer/instruments.h"
#include "sequencer/noteedit.h"
#include "sequencer/songcontrol.h"
#include "sequencer/songmodel.h"
#include "sequencer/undo.h"
#include "ui/barmouse.h"
#include "ui/busybox.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/noteparams.h"
#include "ui/riffeditor.h"
#include "ui/textfield.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

uint8_t g_ucCurveMode = 0;
WIDGET *g_pCurveScrollBar = nullptr;
int32_t g_iCurveScrollDir = 0;
WINDOW *g_pCurveWindow = nullptr;
CURVEWIDGET *g_pCurveGraph = nullptr;
CURVEPOINTS *g_pCurve = nullptr;
LISTWIDGET *g_pCurvePresetList = nullptr;
SCROLLBAR *g_pCurveXBar = nullptr, *g_pCurveYBar = nullptr;
CURVEPOINTS g_stCurveUndo;
uint8_t g_ucCurveFlags = 0;
uint8_t g_ucCurveFocus = 0;
uint8_t g_aucBlockCurve[2 * CURVE_MAX_POINTS];
int16_t g_sBlockCurveCount = 0;
STOREDCURVE g_stAreaVolumeCurve, g_stAreaPanCurve, g_stAreaOffsetCurve;

namespace {

constexpr int32_t kWindowW = 348, kWindowH = 143;
constexpr int32_t kGraphX = 8, kGraphY = 27, kGraphW = 180, kGraphH = 80;
constexpr int32_t kUnit = 1 << 8;
constexpr uint8_t kPreviewPending = 1;
constexpr int32_t kPresetRowStride = 8;

// Row texts of the mode titles.
constexpr int16_t kTitles[CURVEMODES] = {145, 68, 70, 69, 304, 305, 306};

SCROLLBAR *s_pActiveBar = nullptr;
TEXTFIELD *s_pTitle = nullptr;
uint8_t s_ucXScale = 0, s_ucYScale = 0; // the bars' values, written back on close
int32_t s_iShownPreset = -1;

bool Open()
{
    return g_pCurveWindow && g_pCurve && Ui_WindowIsOpen(g_pCurveWindow);
}

bool NoteMode()
{
    return g_ucCurveMode >= CURVEMODE_NOTE_VOLUME && g_ucCurveMode <= CURVEMODE_NOTE_PAN;
}

bool CentredMode()
{
    return g_ucCurveMode == CURVEMODE_SAMPLE || g_ucCurveMode == CURVEMODE_NOTE_PITCH ||
           g_ucCurveMode == CURVEMODE_NOTE_PAN || g_ucCurveMode == CURVEMODE_AREA_PAN;
}

STOREDCURVE *AreaCurve(int32_t mode)
{
    switch (mode) {
    case CURVEMODE_AREA_VOLUME: return &g_stAreaVolumeCurve;
    case CURVEMODE_AREA_PAN: return &g_stAreaPanCurve;
    case CURVEMODE_AREA_OFFSET: return &g_stAreaOffsetCurve;
    default: return nullptr;
    }
}

int32_t X(int32_t i)
{
    return g_pCurve->points[i].x >> 8;
}
int32_t Y(int32_t i)
{
    return g_pCurve->points[i].y >> 8;
}
void SetPoint(int32_t i, int32_t x, int32_t y)
{
    g_pCurve->points[i].x = uint16_t(std::clamp(x, 0, 255) << 8);
    g_pCurve->points[i].y = uint16_t(std::clamp(y, 0, 255) << 8);
}

// The note envelope a note mode edits: its points, count and X scale byte.
struct NOTELIST
{
    uint16_t *values;
    uint8_t *count;
    uint8_t *xScale;
    int32_t capacity;
};
NOTELIST NoteList(int32_t mode)
{
    NOTEPARAMS &n = g_tSelectedNote;
    switch (mode) {
    case CURVEMODE_NOTE_VOLUME: return {n.auValuesA, &n.ucCountA, &n.ucAOfA, 66};
    case CURVEMODE_NOTE_PAN: return {n.auValuesB, &n.ucCountB, &n.ucAOfB, 64};
    case CURVEMODE_NOTE_PITCH: return {n.auValuesC, &n.ucCountC, &n.ucAOfC, 64};
    default: return {nullptr, nullptr, nullptr, 0};
    }
}

// A kept curve comes back in its own order: points sharing an x were put in by the editor and
// would swap if inserted again. Only a list out of order is sorted by inserting.
void LoadBytePairs(const uint8_t *pairs, int32_t count)
{
    count = std::clamp(count, 0, CURVE_MAX_POINTS);
    bool sorted = true;
    for (int32_t i = 1; i < count; i++)
        sorted = sorted && pairs[2 * i] >= pairs[2 * i - 2];
    g_pCurve->count = 0;
    for (int32_t i = 0; i < count; i++) {
        const uint16_t x = uint16_t(pairs[2 * i] << 8), y = uint16_t(pairs[2 * i + 1] << 8);
        if (sorted)
            g_pCurve->points[g_pCurve->count++] = CURVEPOINT{x, y};
        else
            Ed_InsertCurvePoint(g_pCurve, x, y);
    }
}

void StoreBytePairs(uint8_t *pairs, int16_t *count)
{
    for (int32_t i = 0; i < g_pCurve->count; i++) {
        pairs[2 * i] = uint8_t(X(i));
        pairs[2 * i + 1] = uint8_t(Y(i));
    }
    *count = g_pCurve->count;
}

// A curve needs two points to be a curve: a stored list that lost them starts flat.
void LoadPoints()
{
    const int32_t mode = g_ucCurveMode;
    if (NoteMode()) {
        const NOTELIST l = NoteList(mode);
        const int32_t n = std::min<int32_t>(*l.count, CURVE_MAX_POINTS);
        // Copied as they are: the envelope's own order is the one that plays.
        for (int32_t i = 0; i < n; i++)
            g_pCurve->points[i] = CURVEPOINT{uint16_t((l.values[i] & 0xFF) << 8), uint16_t(l.values[i] & 0xFF00)};
        g_pCurve->count = uint8_t(n);
    } else if (mode == CURVEMODE_SAMPLE) {
        LoadBytePairs(g_aucBlockCurve, g_sBlockCurveCount);
    } else {
        const STOREDCURVE *s = AreaCurve(mode);
        LoadBytePairs(s->points, s->count);
    }
    if (g_pCurve->count < 2) {
        const uint8_t y = (mode == CURVEMODE_NOTE_VOLUME || mode == CURVEMODE_AREA_VOLUME) ? 255 : 128;
        const uint8_t flat[4] = {0, y, 255, y};
        LoadBytePairs(flat, 2);
    }
}

void SetCurveColour(uint8_t r, uint8_t g, uint8_t b)
{
    g_pCurve->r = r;
    g_pCurve->g = g;
    g_pCurve->b = b;
}

void RestorePreview()
{
    if (!(g_ucCurveFlags & kPreviewPending))
        return;
    Ed_CopyCurve(g_pCurve, &g_stCurveUndo);
    SetCurveColour(0, 192, 0);
    g_ucCurveFlags &= uint8_t(~kPreviewPending);
    s_iShownPreset = -1;
}

void BackToGraph()
{
    g_ucCurveFocus = 0;
    g_pCurveGraph->cursorRow = CURVE_CURSOR_SELECT;
    Ui_SetFocus(g_pCurveWindow);
    g_iNextScreen = SCREEN_CURVE_SELECT;
}

void ShowPreset(int32_t index)
{
    int32_t n = 0;
    const CURVEPRESET *rows = Ed_CurvePresets(g_ucCurveMode, &n);
    if (!rows || index < 0 || index >= n)
        return;
    const CURVEPRESET &p = rows[index];
    g_pCurve->count = 0;
    for (int32_t i = 0; i < p.count; i++)
        Ed_InsertCurvePoint(g_pCurve, uint16_t(p.points[i][0] << 8), uint16_t(p.points[i][1] << 8));
    g_pCurve->current = 0;
    SetCurveColour(0, 128, 255);
    s_iShownPreset = index;
}

// Moves the pointer onto the current point while the left button is held.
void PointerOnPoint()
{
    if (!(g_ucMouseButtons & MOUSE_LEFT_DOWN))
        return;
    int32_t px = 0, py = 0;
    Ed_CurvePointPixel(g_pCurveGraph, g_pCurve, g_pCurve->current, &px, &py);
    g_sMouseX = int16_t(g_pCurveWindow->x + 10 + px);
    g_sMouseY = int16_t(g_pCurveWindow->y + 10 + py);
}

void SelectStep(int32_t dir)
{
    if (g_pCurveGraph->inputDelay)
        return;
    const int32_t next = g_pCurve->current + dir;
    if (next < 0 || next >= g_pCurve->count)
        return;
    g_pCurve->current = uint8_t(next);
    g_pCurveGraph->inputDelay = 10;
    PointerOnPoint();
}

void MoveHorizontal(int32_t dir)
{
    const int32_t i = g_pCurve->current, last = g_pCurve->count - 1;
    const int32_t x = X(i);
    if (dir < 0) {
        const bool lastLocked = g_ucCurveMode >= CURVEMODE_NOTE_PITCH && i == last;
        if (x == 0 || (i > 0 && X(i - 1) >= x) || lastLocked)
            return;
    } else {
        if (i == 0 || x >= 255 || (i < last && X(i + 1) <= x))
            return;
    }
    g_pCurve->points[i].x = uint16_t((x + dir) * kUnit);
}

void MoveVertical(int32_t dir)
{
    const int32_t i = g_pCurve->current;
    if (g_ucCurveMode == CURVEMODE_NOTE_VOLUME && (i == 0 || i == g_pCurve->count - 1))
        return;
    g_pCurve->points[i].y = uint16_t(std::clamp(Y(i) + 2 * dir, 0, 255) * kUnit);
}

void PointKey(int32_t selectDir, int32_t moveX, int32_t moveY)
{
    if (!Open())
        return;
    if (g_pCurveGraph->cursorRow == CURVE_CURSOR_MOVE) {
        RestorePreview();
        if (moveX)
            MoveHorizontal(moveX);
        else
            MoveVertical(moveY);
    } else {
        SelectStep(selectDir);
    }
}

// ---- Scale bars ----

int32_t BarRange(const SCROLLBAR *bar)
{
    return bar ? bar->maximum : 0;
}

int32_t BarPage(const SCROLLBAR *bar)
{
    const int32_t length = (bar->head.flags & SCROLLBAR_VERTICAL) ? bar->head.h : bar->head.w;
    const int32_t range = BarRange(bar), span = length - 32;
    if (span <= 0 || range < span)
        return 1;
    return 2 * (range / span);
}

void ScaleX(int32_t d, bool grow)
{
    const int32_t last = g_pCurve->count - 1;
    const int32_t end = g_ucCurveMode == CURVEMODE_NOTE_VOLUME ? last : last - 1;
    // Where the last point stays, the others stop at it: a curve never turns back on itself.
    const int32_t limit = end == last ? 255 : X(last);
    for (int32_t i = 1; i <= end; i++) {
        const int32_t x = X(i);
        SetPoint(i, grow ? x / (2 * d) : std::min(x * 2 * d, limit), Y(i));
    }
}

void ScaleY(bool grow)
{
    for (int32_t i = 0; i < g_pCurve->count; i++) {
        const int32_t y = Y(i);
        int32_t to;
        if (grow)
            to = y > 128 ? y - (y - 128) / 2 : y + (128 - y) / 2;
        else
            to = 128 + 2 * (y - 128);
        SetPoint(i, X(i), to);
    }
}

// Moves a bar's value by delta within 0..range and reshapes the curve for the change.
void ChangeScale(SCROLLBAR *bar, int32_t delta)
{
    if (!bar || !Open())
        return;
    const int32_t from = bar->position;
    const int32_t to = std::clamp(from + delta, 0, BarRange(bar));
    if (to == from)
        return;
    RestorePreview();
    Ui_SetScrollBarPos(bar, to);
    bar->dirty = 2;
    const int32_t d = std::abs(to - from);
    if (bar == g_pCurveXBar) {
        s_ucXScale = uint8_t(to);
        ScaleX(d, to > from);
    } else {
        s_ucYScale = uint8_t(to);
        ScaleY(to > from);
    }
}

void EnterBar(SCROLLBAR *bar, uint8_t focus, int32_t screen)
{
    if (!Open() || !bar)
        return;
    RestorePreview();
    if (s_pActiveBar && s_pActiveBar != bar) {
        s_pActiveBar->pressed = SCROLLPART_NONE;
        s_pActiveBar->dirty = 2;
    }
    s_pActiveBar = bar;
    bar->pressed = SCROLLPART_SECOND_ARROW;
    bar->dirty = 2;
    g_pCurveGraph->inputDelay = 30;
    g_pCurveGraph->cursorRow = CURVE_CURSOR_NONE;
    g_ucCurveFocus = focus;
    g_iNextScreen = screen;
}

// ---- Mouse on the graph ----

bool s_bDragging = false;

// A press picks the point under the pointer (within a few pixels) and holds it for dragging.
void GraphPress(WIDGET *)
{
    if (!Open())
        return;
    RestorePreview();
    int32_t best = -1, bestDistance = 6;
    for (int32_t i = 0; i < g_pCurve->count; i++) {
        int32_t px = 0, py = 0;
        Ed_CurvePointPixel(g_pCurveGraph, g_pCurve, i, &px, &py);
        const int32_t d = std::max(std::abs(px - g_sGrabX), std::abs(py - g_sGrabY));
        if (d <= bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    g_ucCurveFocus = 0;
    Ui_SetFocus(g_pCurveWindow);
    if (best < 0) {
        BackToGraph();
        return;
    }
    g_pCurve->current = uint8_t(best);
    g_pCurveGraph->cursorRow = CURVE_CURSOR_MOVE;
    g_iNextScreen = SCREEN_CURVE_MOVE;
    s_bDragging = true;
}

// Dragging follows the pointer under the same rules as the keys: never past a neighbour, the
// first point's x fixed (and the last one's outside the sample and note volume modes), the volume
// envelope's ends level.
void Ui_DragCurvePoint(WIDGET *)
{
    if (!Open() || !s_bDragging)
        return;
    const int32_t w = std::max<int32_t>(g_pCurveGraph->head.w, 1), h = std::max<int32_t>(g_pCurveGraph->head.h, 1);
    const int32_t px = g_sMouseX - g_pCurveWindow->x - g_pCurveGraph->head.x;
    const int32_t py = g_sMouseY - g_pCurveWindow->y - g_pCurveGraph->head.y;
    const int32_t i = g_pCurve->current, last = g_pCurve->count - 1;
    int32_t x = std::clamp(px * 255 / w, 0, 255), y = std::clamp(255 - py * 255 / h, 0, 255);
    const bool lastFixed = g_ucCurveMode >= CURVEMODE_NOTE_PITCH && i == last;
    if (i == 0 || lastFixed)
        x = X(i);
    else
        x = std::clamp(x, X(i - 1), i < last ? X(i + 1) : 255);
    if (g_ucCurveMode == CURVEMODE_NOTE_VOLUME && (i == 0 || i == last))
        y = Y(i);
    SetPoint(i, x, y);
}

void Ui_CurveSelectPointMode(WIDGET *)
{
    if (!s_bDragging)
        return;
    s_bDragging = false;
    if (Open()) {
        g_pCurveGraph->cursorRow = CURVE_CURSOR_SELECT;
        g_iNextScreen = SCREEN_CURVE_SELECT;
    }
}

// ---- Drawing ----

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b)
{
    return r | g << 8 | b << 16;
}

int32_t TextWidth(const char *text)
{
    FONT *kept = g_pFont;
    g_pFont = &g_tFontAlt;
    const int32_t w = Gfx_GetTextWidth(text);
    g_pFont = kept;
    return w;
}

void DrawInfo(void *)
{
    if (!g_pCurve)
        return;
    char text[96];
    Ed_CurveInfoText(text, sizeof text);
    // Six numbers under the graph: the count, the point, its x and y, the X scale and the pitch
    // range; the last two grey where the mode has no such scale.
    int32_t x = 10;
    const char *p = text;
    for (int field = 0; field < 6 && *p; field++) {
        char part[16];
        int32_t n = 0;
        while (*p && *p != ' ' && n < 15)
            part[n++] = *p++;
        part[n] = 0;
        while (*p == ' ')
            p++;
        const bool grey = (field == 4 && g_ucCurveMode >= CURVEMODE_AREA_VOLUME) ||
                          (field == 5 && g_ucCurveMode != CURVEMODE_NOTE_PITCH);
        Gfx_DrawTextInFont(part, x, 126, &g_tFontAlt, grey ? Rgb(72, 72, 72) : Rgb(64, 200, 96), g_pOrderingTable);
        x += TextWidth(part) + (field == 1 || field == 3 ? 14 : 8);
    }
}

// The list keeps the row's number (from 1) in the row's first two bytes: that is all a row needs.
void FillPresetRow(int32_t, int32_t, void *, void *) {}

void DrawPresetRow(void *row, int32_t x, int32_t y)
{
    uint16_t number = 0;
    std::memcpy(&number, row, sizeof number);
    int32_t count = 0;
    const CURVEPRESET *rows = Ed_CurvePresets(g_ucCurveMode, &count);
    if (!rows || number < 1 || number > count)
        return;
    Gfx_DrawTextInFont(rows[number - 1].name, x + 4, y, &g_tFontAlt, g_uiTextColour, g_pOrderingTable);
}

void FreeEditor()
{
    if (g_pCurve)
        Ed_FreeCurve(g_pCurve);
    g_pCurve = nullptr;
    g_pCurveGraph = nullptr;
    g_pCurvePresetList = nullptr;
    g_pCurveXBar = g_pCurveYBar = nullptr;
    s_pActiveBar = nullptr;
    s_pTitle = nullptr;
    g_pCurveWindow = nullptr;
    g_ucCurveFlags = 0;
    s_iShownPreset = -1;
    s_bDragging = false;
}

// ---- Applying ----

uint8_t ApplySampleEnvelope()
{
    Sys_CallLog("Ed_ApplySampleEnvelope");
    if (g_iSampleEditorState == EDIT_CLOSED || g_sBlockCurveCount < 2)
        return 0;
    uint16_t values[CURVE_MAX_POINTS];
    const int32_t n = std::min<int32_t>(g_sBlockCurveCount, CURVE_MAX_POINTS);
    for (int32_t i = 0; i < n; i++)
        values[i] = uint16_t(g_aucBlockCurve[2 * i] | g_aucBlockCurve[2 * i + 1] << 8);
    const int32_t list = Seq_AddParamList(n, values, 0, 0);
    if (list < 0)
        return 20;
    int32_t first = 0, last = 0;
    Snd_GetEditSelection(&first, &last);
    // The envelope stops before its end argument: one past the marked area's last frame.
    Snd_DoSampleEdit(EDIT_ENVELOPE, first, last + 1, list);
    return 0;
}

void BackToSampleEditor()
{
    g_iNextScreen = 15;
}

void ApplyToNote()
{
    const NOTELIST l = NoteList(g_ucCurveMode);
    const int32_t n = std::min<int32_t>(g_pCurve->count, l.capacity);
    for (int32_t i = 0; i < n; i++)
        l.values[i] = uint16_t(X(i) | Y(i) << 8);
    *l.count = uint8_t(n);
    *l.xScale = s_ucXScale;
    if (g_ucCurveMode == CURVEMODE_NOTE_PITCH)
        g_tSelectedNote.ucBOfC = s_ucYScale;
    Ui_WriteSelectedNote();
    g_iNextScreen = 14;
}

} // namespace

void Ed_ResetStoredCurves()
{
    const struct
    {
        uint8_t *points;
        int16_t *count;
        uint8_t y;
    } kStart[] = {{g_aucBlockCurve, &g_sBlockCurveCount, 128},
                  {g_stAreaVolumeCurve.points, &g_stAreaVolumeCurve.count, 255},
                  {g_stAreaPanCurve.points, &g_stAreaPanCurve.count, 127},
                  {g_stAreaOffsetCurve.points, &g_stAreaOffsetCurve.count, 0}};
    for (const auto &s : kStart) {
        std::memset(s.points, 0, 2 * CURVE_MAX_POINTS);
        s.points[0] = 0;
        s.points[1] = s.y;
        s.points[2] = 255;
        s.points[3] = s.y;
        *s.count = 2;
    }
}

namespace {

void OpenSampleCurve()
{
    Ed_OpenCurveEditor(CURVEMODE_SAMPLE);
}
void OpenAreaVolume()
{
    Ed_OpenCurveEditor(CURVEMODE_AREA_VOLUME);
}
void OpenAreaPan()
{
    Ed_OpenCurveEditor(CURVEMODE_AREA_PAN);
}
void OpenAreaOffset()
{
    Ed_OpenCurveEditor(CURVEMODE_AREA_OFFSET);
}

void SetIfEmpty(int row, MENUHANDLER handler)
{
    if (!g_atMenuItems[row].handler)
        Ui_SetMenuItemHandler(row, handler);
}

void InstallPageItems()
{
    Ui_SetMenuItemHandler(53, Ed_CurveSelectPointMode);
    Ui_SetMenuItemHandler(54, Ed_CurveMovePointMode);
    Ui_SetMenuItemHandler(55, Ed_CurveAddPoint);
    Ui_SetMenuItemHandler(56, Ed_CurveDeletePoint);
    Ui_SetMenuItemHandler(57, Ed_CurvePresetLayouts);
    Ui_SetMenuItemHandler(61, Ed_CurveEditXScale);
    // Greyed while the pitch range cannot change.
    Ui_SetMenuItemHandler(62, g_ucCurveMode == CURVEMODE_NOTE_PITCH ? Ed_CurveEditYScale : nullptr);
    Ui_SetMenuItemHandler(67, Ed_CurveUndo);
}

} // namespace

void Ed_InstallCurveMenuItems()
{
    SetIfEmpty(52, OpenSampleCurve);
    SetIfEmpty(99, OpenAreaVolume);
    SetIfEmpty(100, OpenAreaPan);
    SetIfEmpty(101, OpenAreaOffset);
}

bool Ed_CurveEditorIsOpen()
{
    return Open();
}

void Ed_OpenCurveEditor(int32_t mode)
{
    Sys_CallLog("Ed_OpenCurveEditor");
    if (mode < 0 || mode >= CURVEMODES || Open()) {
        Ui_PlayRefusal();
        return;
    }
    // The note modes edit the note on the panel; without one there is nothing to shape.
    if ((mode >= CURVEMODE_NOTE_VOLUME && mode <= CURVEMODE_NOTE_PAN) && g_tSelectedNote.ucState == 255) {
        Ui_PlayRefusal();
        return;
    }
    g_ucCurveMode = uint8_t(mode);
    WINDOWDESC wd{};
    wd.x = uint16_t(std::max(0, (g_iScreenWidth - kWindowW) / 2));
    wd.y = uint16_t(std::max(0, (g_iScreenHeight - 103) / 2));
    wd.w = kWindowW;
    wd.h = kWindowH;
    wd.style = 1;
    wd.draw = DrawInfo;
    WINDOW *win = Ui_OpenWindow(&wd);
    if (!win) {
        Ui_PlayRefusal();
        return;
    }
    g_pCurveWindow = win;
    TEXTFIELDDESC td{Ui_Text(kTitles[mode]), 6, 7, int16_t(kWindowW - 13), 14, win, 0, 0, 128, 0};
    s_pTitle = Ui_CreateTextField(&td);
    CURVEWIDGETDESC cd{kGraphX, kGraphY, kGraphW, kGraphH, 10, 30, GraphPress, Ui_DragCurvePoint, Ui_CurveSelectPointMode};
    g_pCurveGraph = s_pTitle ? Ed_CreateCurveWidget(&cd, win) : nullptr;
    g_pCurve = g_pCurveGraph ? Ed_AttachCurve(g_pCurveGraph, 0, 192, 0) : nullptr;
    if (g_pCurve) {
        g_pCurve->shift = 8;
        if (CentredMode())
            g_pCurveGraph->head.flags |= CURVE_CENTRE_LINE;
        LoadPoints();
        g_pCurve->current = 0;
    }
    int32_t presets = 0;
    Ed_CurvePresets(mode, &presets);
    LISTDESC ld{};
    ld.x = 208;
    ld.y = 27;
    ld.w = 124;
    ld.visibleRows = 9;
    ld.totalRows = uint16_t(presets);
    ld.rowHeight = 12;
    ld.rowStride = kPresetRowStride;
    ld.fillRow = FillPresetRow;
    ld.drawRow = DrawPresetRow;
    g_pCurvePresetList = g_pCurve ? Ui_CreateList(&ld, win) : nullptr;
    if (g_pCurvePresetList)
        Ui_RefillListRows(g_pCurvePresetList);
    const bool note = mode >= CURVEMODE_NOTE_VOLUME && mode <= CURVEMODE_NOTE_PAN;
    s_ucXScale = note ? std::min<uint8_t>(*NoteList(mode).xScale, 7) : 0;
    s_ucYScale = mode == CURVEMODE_NOTE_PITCH ? std::min<uint8_t>(g_tSelectedNote.ucBOfC, 8) : 0;
    SCROLLBARDESC xd{};
    xd.flags = SCROLLBAR_HORIZONTAL;
    xd.x = 7;
    xd.y = 112;
    xd.w = 182;
    xd.h = 8;
    xd.position = s_ucXScale;
    xd.maximum = note ? 7 : 0;
    xd.press = Ui_ScrollBarClick;
    xd.held = Ui_ScrollBarClick;
    g_pCurveXBar = g_pCurvePresetList ? Ui_CreateScrollBar(&xd, win) : nullptr;
    SCROLLBARDESC yd = xd;
    yd.flags = SCROLLBAR_VERTICAL;
    yd.x = 194;
    yd.y = 26;
    yd.w = 8;
    yd.h = 83;
    yd.position = s_ucYScale;
    yd.maximum = mode == CURVEMODE_NOTE_PITCH ? 8 : 0;
    g_pCurveYBar = g_pCurveXBar ? Ui_CreateScrollBar(&yd, win) : nullptr;
    if (!g_pCurveYBar) {
        Ui_CloseWindow(win);
        FreeEditor();
        Ui_PlayRefusal();
        return;
    }
    g_ucCurveFocus = 0;
    g_ucCurveFlags = 0;
    s_pActiveBar = nullptr;
    g_pCurveGraph->cursorRow = CURVE_CURSOR_SELECT;
    std::memset(&g_stCurveUndo, 0, sizeof g_stCurveUndo);
    g_stCurveUndo.points = g_stCurveUndo.own;
    Ed_CopyCurve(&g_stCurveUndo, g_pCurve);
    Ui_SetFocus(win);
    g_iNextScreen = SCREEN_CURVE_SELECT;
    InstallPageItems();
    Ui_SetMenuPage(CURVE_MENU_PAGE);
}

void Ed_CloseCurveEditor()
{
    if (g_pCurveWindow && Ui_WindowIsOpen(g_pCurveWindow))
        Ui_CloseWindow(g_pCurveWindow);
    FreeEditor();
}

int32_t Ed_CurveValueAt(const uint8_t *points, int32_t count, int32_t x)
{
    if (!points || count <= 0)
        return 0;
    if (x < points[0] || count == 1)
        return points[1];
    // The segment whose right point is the first at or beyond x; past the last point, its level.
    int32_t k = 0;
    while (k + 1 < count && x > points[2 * (k + 1)])
        k++;
    if (k + 1 >= count)
        return points[2 * (count - 1) + 1];
    const int32_t x0 = points[2 * k], y0 = points[2 * k + 1];
    const int32_t x1 = points[2 * k + 2], y1 = points[2 * k + 3];
    if (x1 == x0)
        return y1;
    return (x - x0) * (y1 - y0) / (x1 - x0) + y0;
}

int32_t Ed_ApplyCurveOverRange(int32_t mode, int32_t start, int32_t end)
{
    const STOREDCURVE *curve = AreaCurve(mode);
    if (!curve || curve->count < 1)
        return 0;
    if (start > end)
        std::swap(start, end);
    start = std::max(start, 0);
    if (end < start)
        return 0;
    // One column is one position; more spread 0..255 over their steps.
    const int32_t steps = std::max(end - start, 1);
    Seq_DiscardRedo();
    int32_t changed = 0;
    for (int32_t i = 0; i <= end - start; i++) {
        const int32_t x = Ed_ScaleFixed(i, steps, 255);
        const int32_t y = std::clamp(Ed_CurveValueAt(curve->points, curve->count, x), 0, 255);
        int32_t covered = 0;
        const int32_t step = start + i;
        if (!Seq_GetNoteAt(step, g_ucCurrentChannel, nullptr, nullptr, nullptr, &covered) || covered)
            continue;
        NOTEPARAMS note{};
        Seq_ReadNote(step, g_ucCurrentChannel, &note);
        if (note.ucState == 255)
            continue;
        if (mode == CURVEMODE_AREA_VOLUME) {
            note.ucLevel = uint8_t(y);
        } else if (mode == CURVEMODE_AREA_PAN) {
            note.auValuesB[0] = uint16_t(0 | y << 8);
            note.auValuesB[1] = uint16_t(255 | y << 8);
            note.ucCountB = 2;
            note.ucAOfB = 1;
        } else {
            // The fixed-point scale in 64 bits: a long sample's limit does not fit the 32-bit form.
            note.uSampleStart = uint32_t((uint64_t(note.uSampleEndLimit) * uint64_t((y << 8) / 255)) >> 8);
        }
        Seq_WriteNote(step, g_ucCurrentChannel, &note);
        changed++;
    }
    Seq_CloseUndoStep();
    return changed;
}

void Ed_CurveInfoText(char *out, int32_t size)
{
    if (!out || size <= 0)
        return;
    out[0] = 0;
    if (!g_pCurve || !g_pCurve->count)
        return;
    const int32_t i = std::min<int32_t>(g_pCurve->current, g_pCurve->count - 1);
    const bool centred = g_ucCurveMode == CURVEMODE_NOTE_PITCH || g_ucCurveMode == CURVEMODE_NOTE_PAN ||
                         g_ucCurveMode == CURVEMODE_AREA_PAN;
    const int32_t y = Y(i) - (centred ? 128 : 0);
    const int32_t xScale = g_ucCurveMode >= CURVEMODE_AREA_VOLUME ? 0 : s_ucXScale + 1;
    const int32_t range = g_ucCurveMode == CURVEMODE_NOTE_PITCH ? 1 << s_ucYScale : 0;
    std::snprintf(out, size_t(size), "%.2d %.2d %+.3d %+.3d %.3d %.3d", int(g_pCurve->count), i + 1, X(i), y, xScale,
                  range);
}

// ---- Pad handlers ----

void Ed_CurvePointLeft()
{
    PointKey(-1, -1, 0);
}
void Ed_CurvePointRight()
{
    PointKey(1, 1, 0);
}
void Ed_CurvePointUp()
{
    PointKey(1, 0, 1);
}
void Ed_CurvePointDown()
{
    PointKey(-1, 0, -1);
}

void Ed_CurveBeginMovePoint()
{
    if (!Open())
        return;
    RestorePreview();
    g_pCurveGraph->cursorRow = CURVE_CURSOR_MOVE;
    g_iNextScreen = SCREEN_CURVE_MOVE;
}

void Ed_CurveEndMovePoint()
{
    if (!Open())
        return;
    g_pCurveGraph->cursorRow = CURVE_CURSOR_SELECT;
    g_iNextScreen = SCREEN_CURVE_SELECT;
}

void Ed_CurveSelectPointMode()
{
    if (!Open())
        return;
    RestorePreview();
    BackToGraph();
}

void Ed_CurveMovePointMode()
{
    if (!Open())
        return;
    RestorePreview();
    g_ucCurveFocus = 0;
    Ui_SetFocus(g_pCurveWindow);
    g_pCurveGraph->cursorRow = CURVE_CURSOR_MOVE;
    g_iNextScreen = SCREEN_CURVE_MOVE;
}

void Ed_CurveOpenPageMenu()
{
    if (!Open())
        return;
    Ui_SetMenuPage(CURVE_MENU_PAGE);
    Ui_OpenPageMenuWithSound();
}

void Ed_CurveAddPoint()
{
    if (!Open())
        return;
    RestorePreview();
    if (g_pCurve->count >= CURVE_MAX_POINTS || g_pCurve->count < 2)
        return;
    int32_t a = g_pCurve->current;
    if (a >= g_pCurve->count - 1)
        a = g_pCurve->count - 2;
    const int32_t xa = X(a), ya = Y(a), xb = X(a + 1), yb = Y(a + 1);
    const int32_t x = xa + (xb - xa) / 2, y = std::min(ya, yb) + std::abs(ya - yb) / 2;
    // Straight after a: xa <= x <= xb keeps the order, even where a and b share an x.
    for (int32_t i = g_pCurve->count; i > a + 1; i--)
        g_pCurve->points[i] = g_pCurve->points[i - 1];
    g_pCurve->count++;
    SetPoint(a + 1, x, y);
    g_pCurve->current = uint8_t(a + 1);
    BackToGraph();
}

void Ed_CurveDeletePoint()
{
    if (!Open())
        return;
    RestorePreview();
    const int32_t i = g_pCurve->current;
    if (i == 0 || i >= g_pCurve->count - 1 || (g_ucCurveMode == CURVEMODE_NOTE_VOLUME && g_pCurve->count < 5)) {
        Seq_PlayInterfaceSound(3);
        return;
    }
    Ed_RemoveCurvePoint(g_pCurve, i);
    g_pCurve->current = uint8_t(i - 1);
    BackToGraph();
}

void Ed_CurvePresetLayouts()
{
    if (!Open() || !g_pCurvePresetList || g_pCurvePresetList->totalRows == 0)
        return;
    if (!(g_ucCurveFlags & kPreviewPending))
        Ed_CopyCurve(&g_stCurveUndo, g_pCurve);
    g_ucCurveFlags |= kPreviewPending;
    g_ucCurveFocus = 1;
    g_pCurveGraph->cursorRow = CURVE_CURSOR_NONE;
    g_iNextScreen = SCREEN_CURVE_PRESETS;
    ShowPreset(g_pCurvePresetList->selected);
}

void Ed_CurveListUp()
{
    if (!Open() || !(g_ucCurveFlags & kPreviewPending))
        return;
    Ui_ListScrollUp(g_pCurvePresetList);
    if (g_pCurvePresetList->selected != s_iShownPreset)
        ShowPreset(g_pCurvePresetList->selected);
}

void Ed_CurveListDown()
{
    if (!Open() || !(g_ucCurveFlags & kPreviewPending))
        return;
    Ui_ListScrollDown(g_pCurvePresetList);
    if (g_pCurvePresetList->selected != s_iShownPreset)
        ShowPreset(g_pCurvePresetList->selected);
}

void Ed_CurveEditAccept()
{
    if (!Open())
        return;
    SetCurveColour(0, 192, 0);
    Ed_CopyCurve(&g_stCurveUndo, g_pCurve);
    g_ucCurveFlags &= uint8_t(~kPreviewPending);
    s_iShownPreset = -1;
    BackToGraph();
}

void Ed_CurveListBack()
{
    if (!Open())
        return;
    RestorePreview();
    BackToGraph();
}

void Ed_CurveUndo()
{
    if (!Open())
        return;
    g_ucCurveFlags &= uint8_t(~kPreviewPending);
    Ed_CopyCurve(g_pCurve, &g_stCurveUndo);
    SetCurveColour(0, 192, 0);
    s_iShownPreset = -1;
    BackToGraph();
}

void Ed_CurveEditXScale()
{
    EnterBar(g_pCurveXBar, 2, SCREEN_CURVE_XBAR);
}

void Ed_CurveEditYScale()
{
    if (!Open() || BarRange(g_pCurveYBar) == 0) {
        Ui_PlayRefusal();
        return;
    }
    EnterBar(g_pCurveYBar, 3, SCREEN_CURVE_YBAR);
}

void Ed_ScaleValueDown()
{
    if (!Open() || !s_pActiveBar)
        return;
    s_pActiveBar->pressed = uint8_t(std::max<int>(SCROLLPART_FIRST_ARROW, s_pActiveBar->pressed - 1));
    s_pActiveBar->dirty = 2;
}

void Ed_ScaleValueUp()
{
    if (!Open() || !s_pActiveBar)
        return;
    s_pActiveBar->pressed = uint8_t(std::min<int>(SCROLLPART_SECOND_ARROW, s_pActiveBar->pressed + 1));
    s_pActiveBar->dirty = 2;
}

void Ed_ScaleBeginAdjust()
{
    if (!Open() || !s_pActiveBar || g_pCurveGraph->inputDelay)
        return;
    switch (s_pActiveBar->pressed) {
    case SCROLLPART_THUMB:
        g_iNextScreen = s_pActiveBar == g_pCurveXBar ? SCREEN_CURVE_XTHUMB : SCREEN_CURVE_YTHUMB;
        break;
    case SCROLLPART_FIRST_ARROW: ChangeScale(s_pActiveBar, -1); break;
    case SCROLLPART_SECOND_ARROW: ChangeScale(s_pActiveBar, 1); break;
    default: return;
    }
    g_pCurveGraph->inputDelay = 8;
}

void Ed_ScaleBack()
{
    if (!Open())
        return;
    if (s_pActiveBar) {
        s_pActiveBar->pressed = SCROLLPART_NONE;
        s_pActiveBar->dirty = 2;
    }
    s_pActiveBar = nullptr;
    BackToGraph();
}

void Ed_ScaleAdjustDown()
{
    if (Open() && s_pActiveBar)
        ChangeScale(s_pActiveBar, -BarPage(s_pActiveBar));
}

void Ed_ScaleAdjustUp()
{
    if (Open() && s_pActiveBar)
        ChangeScale(s_pActiveBar, BarPage(s_pActiveBar));
}

void Ed_ScaleEndAdjust()
{
    if (!Open() || !s_pActiveBar)
        return;
    g_iNextScreen = s_pActiveBar == g_pCurveXBar ? SCREEN_CURVE_XBAR : SCREEN_CURVE_YBAR;
}

// The bars' mouse steps: one value a step on any part.
void Ed_CurveScrollStep(WIDGET *bar, int32_t dir)
{
    Sys_CallLog("Ed_CurveScrollStep");
    if (!Open() || !bar || (bar != &g_pCurveXBar->head && bar != &g_pCurveYBar->head))
        return;
    ChangeScale(reinterpret_cast<SCROLLBAR *>(bar), dir);
}

void Ed_CurveEditBack()
{
    Sys_CallLog("Ed_CurveEditBack");
    if (!Open())
        return;
    Seq_PlayInterfaceSound(4);
    RestorePreview();
    const int32_t mode = g_ucCurveMode;
    // What the window showed is taken before it goes.
    if (mode == CURVEMODE_SAMPLE) {
        StoreBytePairs(g_aucBlockCurve, &g_sBlockCurveCount);
    } else if (mode >= CURVEMODE_AREA_VOLUME) {
        STOREDCURVE *s = AreaCurve(mode);
        StoreBytePairs(s->points, &s->count);
    } else {
        ApplyToNote();
    }
    Ui_CloseWindow(g_pCurveWindow);
    FreeEditor();
    Ui_SetFocus(g_pGridWindow);
    if (mode == CURVEMODE_SAMPLE) {
        g_iNextScreen = 15;
        Ui_SetMenuPage(6);
        Ui_SetBusyOperation(CURVE_BUSY_CODE, ApplySampleEnvelope, BackToSampleEditor);
        Ui_OpenBusyBox(Ui_Text(145), Ui_Text(94), UI_BUSY_CENTRED, 100, CURVE_BUSY_CODE);
    } else if (mode >= CURVEMODE_AREA_VOLUME) {
        const int32_t start = std::min(g_asGridMark[0], g_asGridMark[2]);
        const int32_t end = std::max(g_asGridMark[0], g_asGridMark[2]);
        if (start >= 0)
            Ed_ApplyCurveOverRange(mode, start, end);
        Ui_ClearCellBuffer();
        Ui_ReturnToEditorMenu();
    }
}
