#include "editors/blockselect.h"
#include "ui/amchannels.h"
#include "ui/liveentry.h"
#include "ui/riffpalette.h"
#include "ui/gridsetup.h"

#include "editors/chaseeditor.h"
#include "editors/mixerpanel.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "sequencer/playback.h"
#include "sequencer/songmodel.h"
#include "ui/barmouse.h"
#include "ui/gridcells.h"
#include "ui/gridops.h"
#include "ui/gridvideo.h"
#include "ui/gridworld.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/noteparams.h"
#include "ui/popupkinds.h"
#include "ui/riffeditor.h"
#include "ui/videopreview.h"

#include <algorithm>
#include <cstdlib>

WINDOW *g_pGridWindow = nullptr;
uint8_t g_ucGridRedraw = 0;
uint8_t g_ucGridOptions = 0;
int16_t g_asGridMark[4] = {};
uint8_t g_ucGridMarkRepaint = 0, g_ucGridMarkStyle = 0;
int8_t g_cGridGlideStepX = 0, g_cGridGlideOffsetX = 0, g_cGridGlideStepY = 0, g_cGridGlideOffsetY = 0;
uint8_t g_ucGridScrollLevel = 0, g_ucGridScrollCount = 0;
int8_t g_cGridPendingColumns = 0, g_cGridPendingRows = 0;
uint8_t g_ucRiffOctave = 3;
uint8_t g_ucRiffEditorBars = 1;
uint32_t g_uSongMuteMask = 0;
uint32_t *g_puGridMuteMask = nullptr;
uint8_t *g_p_ucWorkBuffer = nullptr;

namespace {

// Every speed divides its cell size, so a one-cell scroll ends on a cell.
constexpr GRIDGEOMETRY kGeometry[3] = {
    {56, 8, 23, 15, 24, 24, {2, 6, 12}, {2, 6, 12}, {2, 4}}, // video track
    {56, 8, 23, 15, 24, 24, {2, 6, 12}, {2, 6, 12}, {2, 4}}, // song track
    {57, 26, 16, 12, 12, 10, {2, 4, 6}, {2, 5, 5}, {2, 4}},  // riff editor
};
constexpr GRIDGEOMETRY kWorldView = {28, 8, 97, 60, 6, 6, {2, 3, 6}, {2, 3, 6}, {2, 4}};

constexpr int32_t kSongGridRows = 103; // tracks 0-98 and the four event rows
constexpr int32_t kRiffRows = 12;

// What kinds 1 and 2 keep between visits: first visible cell and cursor.
struct KEPTVIEW
{
    int16_t firstColumn = -1, firstRow = -1, cursorX = 0, cursorY = 0;
};
KEPTVIEW s_kept[2];

const GRIDGEOMETRY *s_geometry = &kGeometry[1];

bool ColumnScrolling()
{
    return g_pGridView && g_pGridView->columnStep != 0;
}
bool RowScrolling()
{
    return g_pGridView && g_pGridView->rowStep != 0;
}

void Keep()
{
    if (!g_pGridView || (g_ucGridKind != 1 && g_ucGridKind != 2))
        return;
    KEPTVIEW &k = s_kept[g_ucGridKind - 1];
    k.firstColumn = g_pGridView->firstColumn;
    k.firstRow = g_pGridView->firstRow;
    k.cursorX = g_sGridCursorX;
    k.cursorY = g_sGridCursorY;
}

void CountStep()
{
    if (g_ucGridScrollCount < 255)
        g_ucGridScrollCount++;
}

// One cell toward the bar's request at the current speed.
void StartColumnScroll(bool right)
{
    CountStep();
    g_pGridView->columnSpeed = s_geometry->speedsAcross[g_ucGridScrollLevel];
    if (right)
        Ui_ViewScrollRight(g_pGridView);
    else
        Ui_ViewScrollLeft(g_pGridView);
}
void StartRowScroll(bool down)
{
    CountStep();
    g_pGridView->rowSpeed = s_geometry->speedsDown[g_ucGridScrollLevel];
    if (down)
        Ui_ViewScrollDown(g_pGridView);
    else
        Ui_ViewScrollUp(g_pGridView);
}

// A jump of several cells: the last column a song allows, then never before the start.
void JumpColumns(int32_t by)
{
    VIEWWIDGET *v = g_pGridView;
    int32_t first = v->firstColumn + by;
    first = std::min(first, int32_t(g_uSongRowCount) - 23 - 1);
    first = std::max(first, -1);
    v->firstColumn = int16_t(first);
    Ui_RefreshView(v);
}
void JumpRows(int32_t by)
{
    VIEWWIDGET *v = g_pGridView;
    int32_t first = v->firstRow + by;
    first = std::min(first, 102 - 15);
    first = std::max(first, -1);
    v->firstRow = int16_t(first);
    Ui_RefreshView(v);
}

void StepPending(int8_t *pending, SCROLLBAR *bar, bool scrolling)
{
    if (!*pending || !bar || scrolling)
        return;
    const int8_t d = *pending > 0 ? 1 : -1;
    *pending = int8_t(*pending - d);
    bar->step = d;
}

// The name of the item under the pointer follows the pointer while a grid is shown.
void GridHover()
{
    if (g_pGridView)
        Ui_UpdateCursorItem(g_ucGridKind);
}

// The menu items the grid runs: Play, the mute panel and the world view.
void InstallMenuHandlers()
{
    Ui_SetMenuItemHandler(1, Ui_PlayFromCursor);
    Ui_SetMenuItemHandler(7, Ui_OpenMutePanel);
    Ui_SetMenuItemHandler(9, Ed_OpenMixerPanel);
    if (!g_atMenuItems[10].handler)
        Ui_SetMenuItemHandler(10, (g_ucGridOptions & 1) ? Ui_WorldViewOff : Ui_WorldViewOn);
    Ui_SetMenuItemHandler(103, Ui_WorldViewOff);
    Ui_InstallRiffMenuHandlers();
    Ui_InstallPopupKindItems();
    Ui_InstallRiffPaletteItems();
    Ui_InstallLiveEntryItems();
    Ed_InstallAmChannelItems();
    Ed_InstallChaseMenuItems();
    Ui_InstallVideoPreviewItems();
}

} // namespace

const GRIDGEOMETRY *Ui_GridGeometry(int32_t kind, bool worldView)
{
    if (kind < 1 || kind > 3)
        return nullptr;
    if (worldView && kind != 3)
        return &kWorldView;
    return &kGeometry[kind - 1];
}

void Ui_FreeGridWorkBuffer()
{
    std::free(g_p_ucWorkBuffer);
    g_p_ucWorkBuffer = nullptr;
}

bool Ui_SetupGridScreen(int32_t kind)
{
    const bool world = (g_ucGridOptions & 1) && kind != 3;
    const GRIDGEOMETRY *g = Ui_GridGeometry(kind, world);
    if (!g)
        return false;
    // The buffers are had once and kept; another screen may have given the work buffer back.
    if (!g_p_ucWorkBuffer)
        g_p_ucWorkBuffer = static_cast<uint8_t *>(std::calloc(1, UI_GRID_WORK_BYTES));
    if (!g_pGridCellPackets)
        g_pGridCellPackets = static_cast<uint8_t *>(std::calloc(1, UI_GRID_CELL_BYTES));
    if (!g_p_ucWorkBuffer || !g_pGridCellPackets)
        return false;
    if (g_pGridWindow)
        Ui_CloseGridScreen();

    if (!g_bUiFontsLoaded)
        Ui_LoadInterfaceFonts();
    InstallMenuHandlers();

    WINDOWDESC wd{};
    wd.input = Ui_UpdateBeatPosition;
    wd.draw = Ui_DrawGridHeader;
    if (kind == 3) {
        wd.w = 348;
        wd.h = 189;
        wd.x = uint16_t(std::max(0, (g_iScreenWidth - 348) / 2 - 30));
        wd.y = uint16_t(std::max(0, (g_iScreenHeight - 149) / 2));
    } else {
        wd.x = uint16_t(g_iGridPanelX);
        wd.y = uint16_t(g_iGridPanelY);
        wd.w = uint16_t(g_iGridPanelWidth);
        wd.h = uint16_t(std::max(0, g_iGridPanelHeight - 32));
        g_bSeeThroughOnce = 1;
    }
    WINDOW *w = Ui_OpenWindow(&wd);
    g_bSeeThroughOnce = 0;
    if (!w)
        return false;

    Keep();
    g_ucGridKind = uint8_t(kind);
    s_geometry = g;
    VIEWDESC vd{};
    vd.x = g->originX;
    vd.y = g->originY;
    vd.columns = g->columns;
    vd.rows = g->rows;
    vd.cellWidth = g->cellWidth;
    vd.cellHeight = g->cellHeight;
    vd.flags = VIEW_COLUMN_BAR | VIEW_ROW_BAR;
    vd.columnSpeed = g->speedsAcross[0];
    vd.rowSpeed = g->speedsDown[0];
    vd.frameA = Ui_GridFrameUpdate;
    vd.frameB = Ui_GridFrameDraw;
    if (kind != 3)
        vd.columnBarChange = Ui_UpdateColumnScrollRange;
    vd.press = Ui_GridMousePress;
    vd.held = Ui_GridMouseDrag;
    vd.release = Ui_GridMouseRelease;
    // Every cell image lies on the grid's one picture: the view draws them under one draw mode.
    vd.image = Gfx_GetImage(GRIDIMG_EMPTY_BAR);
    if (kind == 2)
        vd.cell = world ? Ui_SongCellCallback : Ui_DrawSongCell;
    else if (kind == 1)
        vd.cell = world ? Ui_WorldCellCallback : Ui_VideoCellCallback;
    else
        vd.cell = Ui_DrawRiffCell;
    if (kind == 3)
        vd.columnScrolled = Ui_ScrollCellBuffer;
    if (kind == 3) {
        vd.columnCount = int16_t(16 * std::clamp<int>(g_ucRiffEditorBars, 1, 8));
        vd.rowCount = kRiffRows;
        vd.firstColumn = vd.firstRow = -1;
        g_sGridCursorX = 0;
        g_sGridCursorY = 12;
        vd.flags &= ~uint32_t(VIEW_ROW_BAR);
    } else {
        const KEPTVIEW &k = s_kept[kind - 1];
        vd.columnCount = int16_t(g_uSongRowCount);
        vd.rowCount = kind == 2 ? int16_t(kSongGridRows) : int16_t(std::max<int>(g_ucGridRowCount, 15));
        vd.firstColumn = k.firstColumn;
        vd.firstRow = k.firstRow;
        g_sGridCursorX = k.cursorX;
        g_sGridCursorY = k.cursorY;
    }
    VIEWWIDGET *v = Ui_CreateView(&vd, w);
    if (!v) {
        Ui_CloseWindow(w);
        return false;
    }
    g_pGridWindow = w;
    g_pGridView = v;
    for (SCROLLBAR *bar : {v->rowBar, v->columnBar})
        if (bar)
            bar->head.press = bar->head.held = Ui_GridScrollBarPress;
    Ui_SetWindowRole(UI_ROLE_GRID, w, nullptr);
    g_puGridMuteMask = kind == 2 ? &g_uSongMuteMask : nullptr;
    g_ucGridScrollLevel = g_ucGridScrollCount = 0;
    g_cGridGlideStepX = g_cGridGlideOffsetX = g_cGridGlideStepY = g_cGridGlideOffsetY = 0;
    g_cGridPendingColumns = g_cGridPendingRows = 0;
    g_ucGridMarkRepaint = 2;
    g_ucGridMarkStyle = 0;
    for (int half = 0; half < UI_HALVES; half++) {
        Ui_SetPanelFrameStyle(half, 0);
        Ui_SetCursorFrameStyle(half, 0);
    }
    Ui_SetGridClipAreas();
    g_pfnMouseHover = GridHover;
    Ui_RequestGridRedraw();
    Ui_SetFocus(w);
    Ui_StopGridScrollRepeat();
    Ui_GridChangedHook(kind);
    Ui_ReturnToEditorMenu();
    return true;
}

void Ui_SetGridPlace(int32_t kind, int16_t firstColumn, int16_t firstRow, int16_t cursorX, int16_t cursorY)
{
    if (kind == 1 || kind == 2)
        s_kept[kind - 1] = KEPTVIEW{firstColumn, firstRow, cursorX, cursorY};
}

int32_t Ui_SongGridCursorPosition()
{
    if (g_pGridView && g_ucGridKind == 2)
        return g_pGridView->firstColumn + 1 + g_sGridCursorX;
    const KEPTVIEW &k = s_kept[1];
    return k.firstColumn + 1 + k.cursorX;
}

void Ui_CloseGridScreen()
{
    Keep();
    if (g_pfnMouseHover == GridHover)
        g_pfnMouseHover = nullptr;
    WINDOW *w = g_pGridWindow;
    g_pGridWindow = nullptr;
    if (!w || !Ui_WindowIsOpen(w))
        return;
    // The view and its bars go back to their pools now, so the next grid can be set up in the
    // same frame; the window itself dies with the walk.
    for (WIDGET *c = w->children; c; c = c->next)
        c->flags |= WIDGET_FREE;
    w->children = nullptr;
    g_pGridView = nullptr;
    Ui_FreeNodeList(w);
    Ui_CloseWindow(w);
}

void Ui_UpdateColumnScrollRange(WIDGET *)
{
    VIEWWIDGET *v = g_pGridView;
    if (!v || !v->columnBar || g_ucGridKind == 3)
        return;
    Ui_SetScrollBarMax(v->columnBar, std::max(0, v->columnCount - (v->ringColumns - 2)));
}

void Ui_RequestGridRedraw()
{
    g_ucGridRedraw = 2;
}

void Ui_GridChangedHook(int32_t) {}

int32_t Ui_GridCursorColumnRaw()
{
    return (g_pGridView ? g_pGridView->firstColumn : -1) + 1 + g_sGridCursorX;
}
int32_t Ui_GridCursorRowRaw()
{
    return (g_pGridView ? g_pGridView->firstRow : -1) + 1 + g_sGridCursorY;
}

// While a scroll runs the first index has not moved yet, but the cells already show the next one.
void Ui_AdjustColumnForScroll(int32_t *column)
{
    if (g_pGridView) {
        if (g_pGridView->columnStep < 0)
            ++*column;
        else if (g_pGridView->columnStep > 0)
            --*column;
    }
    if (g_cGridGlideStepX > 0)
        ++*column;
    else if (g_cGridGlideStepX < 0)
        --*column;
}
void Ui_AdjustRowForScroll(int32_t *row)
{
    if (g_pGridView) {
        if (g_pGridView->rowStep < 0)
            ++*row;
        else if (g_pGridView->rowStep > 0)
            --*row;
    }
    if (g_cGridGlideStepY > 0)
        ++*row;
    else if (g_cGridGlideStepY < 0)
        --*row;
}
int32_t Ui_GridCursorColumn()
{
    int32_t c = Ui_GridCursorColumnRaw();
    Ui_AdjustColumnForScroll(&c);
    return c;
}
int32_t Ui_GridCursorRow()
{
    int32_t r = Ui_GridCursorRowRaw();
    Ui_AdjustRowForScroll(&r);
    return r;
}

int32_t Ui_GridMouseColumn()
{
    if (!g_pGridView || !g_pGridWindow || !g_pGridView->cellWidth)
        return 0;
    return (g_sMouseX - g_pGridWindow->x - g_pGridView->head.x) / g_pGridView->cellWidth;
}
int32_t Ui_GridMouseRow()
{
    if (!g_pGridView || !g_pGridWindow || !g_pGridView->cellHeight)
        return 0;
    return (g_sMouseY - g_pGridWindow->y - g_pGridView->head.y) / g_pGridView->cellHeight;
}
int32_t Ui_GridCursorColumnClamped()
{
    const int32_t first = g_pGridView ? g_pGridView->firstColumn : -1;
    return std::max(0, first + 1 + Ui_GridMouseColumn());
}

void Ui_GridScrollLeft()
{
    VIEWWIDGET *v = g_pGridView;
    if (v && v->firstColumn >= 0 && !ColumnScrolling())
        StartColumnScroll(false);
}
void Ui_GridScrollRight()
{
    VIEWWIDGET *v = g_pGridView;
    if (v && v->firstColumn - 1 + s_geometry->columns < v->columnCount && !ColumnScrolling())
        StartColumnScroll(true);
}
void Ui_GridScrollDown()
{
    VIEWWIDGET *v = g_pGridView;
    if (!v || RowScrolling())
        return;
    // Only while a real row lies below the view: the riff editor's twelve rows never scroll,
    // so its down request pages the octave instead.
    if (v->firstRow + 1 + s_geometry->rows < v->rowCount) {
        StartRowScroll(true);
        return;
    }
    // The riff editor pages an octave down at its last row.
    if (g_ucGridKind == 3 && g_ucRiffOctave > 1 && g_iScreen != 2) {
        g_ucRiffOctave--;
        g_sGridCursorY = 0;
        Ui_RefreshView(v);
    }
}
void Ui_GridScrollUp()
{
    VIEWWIDGET *v = g_pGridView;
    if (!v || RowScrolling())
        return;
    if (v->firstRow >= 0) {
        StartRowScroll(false);
        return;
    }
    if (g_ucGridKind == 3 && g_ucRiffOctave < 6 && g_iScreen != 2 && g_iScreen != 3) {
        g_ucRiffOctave++;
        g_sGridCursorY = int16_t(s_geometry->rows - 1);
        Ui_RefreshView(v);
    }
}

void Ui_GridAccelerate()
{
    if (g_ucGridScrollLevel >= 2)
        return;
    if (g_ucGridScrollCount >= s_geometry->thresholds[g_ucGridScrollLevel]) {
        g_ucGridScrollLevel++;
        g_ucGridScrollCount = 0;
    }
}

void Ui_GridCursorGlide()
{
    if (g_pGridView) {
        const int32_t w = g_pGridView->cellWidth, h = g_pGridView->cellHeight;
        if (g_cGridGlideStepX) {
            if (g_cGridGlideOffsetX == w || g_cGridGlideOffsetX == -w) {
                g_sGridCursorX = int16_t(g_sGridCursorX + (g_cGridGlideOffsetX > 0 ? 1 : -1));
                g_cGridGlideStepX = g_cGridGlideOffsetX = 0;
            } else {
                g_cGridGlideOffsetX = int8_t(g_cGridGlideOffsetX + g_cGridGlideStepX);
            }
        }
        if (g_cGridGlideStepY) {
            if (g_cGridGlideOffsetY == h || g_cGridGlideOffsetY == -h) {
                g_sGridCursorY = int16_t(g_sGridCursorY + (g_cGridGlideOffsetY > 0 ? 1 : -1));
                g_cGridGlideStepY = g_cGridGlideOffsetY = 0;
            } else {
                g_cGridGlideOffsetY = int8_t(g_cGridGlideOffsetY + g_cGridGlideStepY);
            }
        }
    }
    Ui_GridAccelerate();
}

void Ui_GridFrameUpdate()
{
    VIEWWIDGET *v = g_pGridView;
    if (!v)
        return;
    if (g_bGridFollowPlay && g_bSongPlaying.load(std::memory_order_relaxed) == 255)
        Ui_FollowPlayback();
    if (g_ucGridKind == 3)
        Ui_RiffFrameStep();
    // The marked block follows the cursor while marking, and the cursor while carried.
    if (g_iScreen == 2)
        Ed_BlockSetCornerFromCursor();
    else if (g_iScreen == 3)
        Ed_BlockAutoScroll();
    if (g_ucGridMarkRepaint) {
        g_ucGridMarkRepaint--;
        Ui_SetPanelFrameStyle(g_iFrameBufferIndex & 1, g_ucGridMarkStyle);
    }
    SCROLLBAR *cb = v->columnBar, *rb = v->rowBar;
    const int16_t cstep = cb ? cb->step : 0, rstep = rb ? rb->step : 0;
    if (!cstep && !rstep)
        g_ucGridScrollLevel = g_ucGridScrollCount = 0;
    StepPending(&g_cGridPendingColumns, cb, ColumnScrolling());
    StepPending(&g_cGridPendingRows, rb, RowScrolling());
    const int16_t c = cb ? cb->step : 0, r = rb ? rb->step : 0;
    if (c == 1)
        Ui_GridScrollRight();
    else if (c == -1)
        Ui_GridScrollLeft();
    else if (c)
        JumpColumns(c);
    if (r == 1)
        Ui_GridScrollDown();
    else if (r == -1)
        Ui_GridScrollUp();
    else if (r)
        JumpRows(r);
}

void Ui_GridStepUp()
{
    Sys_CallLog("Ui_GridStepUp");
    if (g_pGridView && g_pGridView->rowBar)
        g_pGridView->rowBar->step = -1;
}
void Ui_GridStepDown()
{
    Sys_CallLog("Ui_GridStepDown");
    if (g_pGridView && g_pGridView->rowBar)
        g_pGridView->rowBar->step = 1;
}
void Ui_GridStepLeft()
{
    Sys_CallLog("Ui_GridStepLeft");
    if (g_pGridView && g_pGridView->columnBar && !g_bSongPlaying.load(std::memory_order_relaxed))
        g_pGridView->columnBar->step = -1;
}
void Ui_GridStepRight()
{
    Sys_CallLog("Ui_GridStepRight");
    if (g_pGridView && g_pGridView->columnBar && !g_bSongPlaying.load(std::memory_order_relaxed))
        g_pGridView->columnBar->step = 1;
}
