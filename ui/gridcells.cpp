#include "ui/gridcells.h"
#include "ui/mouse.h"

#include "core/padbind.h"
#include "editors/songlanes.h"
#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "sequencer/channels.h"
#include "sequencer/eventlists.h"
#include "sequencer/songmodel.h"
#include "ui/gridops.h"
#include "ui/gridsetup.h"
#include "ui/riffeditor.h"
#include "ui/gridvideo.h"
#include "ui/gridworld.h"
#include "ui/view.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

char g_szCursorItemName[32] = "";
char g_szPendingToolTip[32] = "";
uint8_t g_bGridAreaMarked = 0;

namespace {

constexpr int32_t kHeaderRows = 62; // the world view's 60 rows and the two of the ring
constexpr int32_t kEventRowNames = 4;
const char *const kEventNames[kEventRowNames] = {"VOL", "FX", "BPM", "KEY"};

uint8_t s_aaRowHeaders[UI_HALVES][kHeaderRows][UI_IMAGE_SPRITE_BYTES];
int32_t s_aiRowHeaderCount[UI_HALVES];
int32_t s_aiPanelStyle[UI_HALVES], s_aiCursorStyle[UI_HALVES];

const IMAGEREC *Image(int32_t n)
{
    return g_pImageTable && n >= 0 && n < g_iImageCount ? &g_pImageTable[n] : nullptr;
}

bool World()
{
    return (g_ucGridOptions & 1) && g_ucGridKind != 3;
}

void FillCell(uint8_t *packet, int32_t image, int32_t colour, int32_t x, int32_t y)
{
    Ui_SetGridCellPacket(packet, image, colour, x, y);
}

int32_t Part(int32_t at, int32_t count)
{
    if (count <= 1)
        return 3;
    if (at <= 0)
        return 0;
    return at >= count - 1 ? 2 : 1;
}

// Text in a font of the interface set, in a colour, leaving the current font and colour alone.
void Text(const char *text, int32_t x, int32_t y, FONT *font, uint32_t colour, bool right = false)
{
    Gfx_DrawTextInFont(text, x, y, font, colour, g_pOrderingTable, right ? GFX_TEXT_RIGHT : GFX_TEXT_LEFT);
}

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b)
{
    return r | g << 8 | b << 16;
}

const uint8_t *StyleColour(int32_t style, int32_t which)
{
    return g_aaabGridFrameStyles[std::clamp(style, 0, 3)][which];
}

void Band(int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t *c)
{
    if (w > 0 && h > 0)
        Gfx_AddTile(x, y, w, h, c[0], c[1], c[2]);
}

// A rectangle's outline of the given thickness, inside (x, y, w, h).
void Outline(int32_t x, int32_t y, int32_t w, int32_t h, int32_t t, const uint8_t *c)
{
    Band(x, y, w, t, c);
    Band(x, y + h - t, w, t, c);
    Band(x, y + t, t, h - 2 * t, c);
    Band(x + w - t, y + t, t, h - 2 * t, c);
}

// A track shows grey when its panel flag is set or it is marked silent (a lane header click, or
// the tracks left out of an area being played).
bool TrackFlagged(int32_t row)
{
    return (row < 32 && (g_uSongMuteMask >> row & 1)) || (row < 99 && g_aChannelMute[row][3]);
}

int32_t SongTrackHeader(int32_t row, bool world)
{
    if (row >= 99 && row <= 102)
        return world ? GRIDIMG_WORLD_EVENT_HEADER : GRIDIMG_EVENT_HEADERS + row - 99;
    if (row < 0 || row > 102)
        return -1;
    const bool flagged = TrackFlagged(row);
    if (world)
        return flagged ? GRIDIMG_WORLD_TRACK_FLAGGED : GRIDIMG_WORLD_TRACK;
    return flagged ? GRIDIMG_TRACK_FLAGGED : GRIDIMG_TRACK_HEADER;
}

int32_t KindSlot(uint8_t kind)
{
    switch (kind) {
    case 2: return 0;
    case 3: return 1;
    case 5: return 2;
    case 6: return 3;
    default: return -1;
    }
}

int32_t VideoRowHeader(int32_t row, bool world)
{
    if (row < 0)
        return -1;
    if (row >= g_ucGridRowCount)
        return world ? GRIDIMG_WORLD_VIDEO_HEADERS + 4 : GRIDIMG_VIDEO_EMPTY;
    const int32_t slot = KindSlot(g_aucGridRowKinds[row]);
    if (slot < 0)
        return world ? GRIDIMG_WORLD_VIDEO_HEADERS + 4 : GRIDIMG_VIDEO_EMPTY;
    const int32_t group = Ui_FindRowGroup(row);
    const bool hidden = group >= 0 && (g_uGridHiddenLanes >> std::min(group, 31) & 1);
    if (world)
        return (hidden ? GRIDIMG_WORLD_VIDEO_HIDDEN : GRIDIMG_WORLD_VIDEO_HEADERS) + slot;
    return (hidden ? GRIDIMG_VIDEO_HIDDEN : GRIDIMG_VIDEO_HEADERS) + slot;
}

// The panel frame around the cells: an inset bevel and an outline in the panel's colour style.
void DrawPanelFrame(int half)
{
    const VIEWWIDGET *v = g_pGridView;
    if (!v || g_ucGridKind == 3)
        return;
    const int32_t x = v->head.x, y = v->head.y, w = v->head.w, h = v->head.h;
    const uint8_t *style = StyleColour(s_aiPanelStyle[half], 1);
    const uint8_t *lit = StyleColour(s_aiPanelStyle[half], 0);
    Gfx_AddLine(x - 1, y - 1, x + w, y - 1, 15, 20, 20);
    Gfx_AddLine(x - 1, y - 1, x - 1, y + h, 15, 20, 20);
    Gfx_AddLine(x - 1, y + h, x + w, y + h, 70, 80, 80);
    Gfx_AddLine(x + w, y - 1, x + w, y + h, 70, 80, 80);
    // The world view's labels come up to its cells: a thinner line there.
    const int32_t t = World() ? 1 : 2;
    Outline(x - 1 - t, y - 1 - t, w + 2 + 2 * t, h + 2 + 2 * t, t, s_aiPanelStyle[half] == 0 ? style : lit);
}

} // namespace

// ---- Song cells ----

int32_t Ui_SongCellImage(int32_t column, int32_t row, int32_t *colourEntry)
{
    *colourEntry = -1;
    if (column >= g_uSongRowCount)
        return GRIDIMG_PAST_END;
    GRIDCELLQUERY q{};
    if (column >= 0 && row >= 0 && row <= 98) {
        q.uRow = uint16_t(column);
        q.ucColumn = uint8_t(row);
        if (Seq_GetGridCellInfo(&q, nullptr)) {
            *colourEntry = q.ucColour % 48;
            if (q.ucBar == 0 && q.ucColumnOffset == 0)
                return q.ucIcon ? q.ucIcon : g_auRiffTypeIcons[18];
            return GRIDIMG_RIFF_PIECES + Part(q.ucColumnOffset, q.ucTracks) * 4 + Part(q.ucBar, q.ucBars);
        }
    }
    return (column & 3) == 0 ? GRIDIMG_EMPTY_BAR : GRIDIMG_EMPTY_BEAT;
}

void Ui_DrawSongCellPastEnd(uint8_t *packet, int32_t, int32_t x, int32_t y)
{
    FillCell(packet, GRIDIMG_PAST_END, -1, x, y);
}

void Ui_DrawSongCell(uint8_t *packet, int32_t column, int32_t row, int32_t x, int32_t y)
{
    if (column >= g_uSongRowCount) {
        Ui_DrawSongCellPastEnd(packet, column, x, y);
        return;
    }
    switch (row) {
    case 99: Ed_DrawSongCellKind100(packet, column, x, y); return;
    case 100: Ed_DrawSongCellKind101(packet, column, x, y); return;
    case 101: Ed_DrawSongCellKind99(packet, column, x, y); return;
    case 102: Ed_DrawSongCellKind102(packet, column, x, y); return;
    default: break;
    }
    int32_t colour = -1;
    const int32_t image = Ui_SongCellImage(column, row, &colour);
    FillCell(packet, image, colour, x, y);
}

// ---- Headers ----

int32_t Ui_RowHeaderImage(int32_t row)
{
    const bool world = World();
    if (g_ucGridKind == 2)
        return SongTrackHeader(row, world);
    if (g_ucGridKind == 1)
        return VideoRowHeader(row, world);
    return -1;
}

void Ui_BuildRowHeaders(int half)
{
    const VIEWWIDGET *v = g_pGridView;
    half &= 1;
    s_aiRowHeaderCount[half] = 0;
    if (!v || g_ucGridKind == 3)
        return;
    const int32_t x = v->head.x - 2 * v->cellWidth;
    const int32_t rows = std::min<int32_t>(v->ringRows - 2, kHeaderRows);
    for (int32_t r = 0; r < rows; r++) {
        const int32_t row = v->firstRow + 1 + r;
        const IMAGEREC *im = Image(Ui_RowHeaderImage(row));
        if (!im)
            continue;
        uint8_t *p = s_aaRowHeaders[half][s_aiRowHeaderCount[half]++];
        std::memset(p, 0, UI_IMAGE_SPRITE_BYTES);
        Gfx_SetImageSpritePacket(p, im, x, v->head.y + r * v->cellHeight, 128, 128, 128);
    }
}

void Ui_DrawColumnLabels()
{
    const VIEWWIDGET *v = g_pGridView;
    if (!v)
        return;
    const bool world = World();
    char text[16];
    if (g_ucGridKind == 3) {
        // Bar numbers over the riff editor's steps.
        for (int32_t c = 0; c < v->ringColumns - 2; c++) {
            const int32_t step = v->firstColumn + 1 + c;
            if (step < 0 || step >= 16 * g_ucRiffEditorBars || step % 16 != 0)
                continue;
            std::snprintf(text, sizeof text, "%.3d", step / 16 + 1);
            Text(text, v->head.x + c * v->cellWidth + v->columnOffset, v->head.y - 11, &g_atUiFonts[1],
                 Rgb(128, 128, 128));
        }
        return;
    }
    // A number at every bar line (1, 5, 9, ...) over the strip under the cells.
    const IMAGEREC *strip = Image(world ? GRIDIMG_WORLD_COLUMN_STRIP : GRIDIMG_COLUMN_STRIP);
    const int32_t y = v->head.y + v->head.h;
    const int32_t pieceWidth = strip ? strip->width : 24;
    const int32_t cellsPerPiece = std::max(1, pieceWidth / std::max<int32_t>(1, v->cellWidth));
    const int32_t first = v->firstColumn + 1;
    const int32_t shift = ((first % cellsPerPiece) + cellsPerPiece) % cellsPerPiece;
    const int32_t visible = v->ringColumns - 2;
    for (int32_t c = -1; c <= visible; c++) {
        const int32_t column = first + c;
        if (column < 0 || (column & 3) != 0 || column >= g_uSongRowCount)
            continue;
        const int32_t x = v->head.x + c * v->cellWidth + v->columnOffset + 2;
        if (x < v->head.x || x > v->head.x + v->head.w - 14)
            continue;
        std::snprintf(text, sizeof text, "%.3d", column + 1);
        Text(text, x, y - 1, &g_atUiFonts[1], Rgb(96, 110, 124));
    }
    // The strip moves with the cells; pieces that would stick out at either end are left out (the
    // panel behind has the strip's colour).
    for (int32_t x = -shift * v->cellWidth + v->columnOffset; strip && x + pieceWidth <= v->head.w; x += pieceWidth)
        if (x >= 0)
            Gfx_AddImageSprite(strip, v->head.x + x, y, 128, 128, 128);
}

void Ui_DrawGridRowLabels()
{
    const VIEWWIDGET *v = g_pGridView;
    if (!v || g_ucGridKind == 3)
        return;
    const bool world = World();
    const int32_t left = v->head.x - 2 * v->cellWidth;
    char text[16];
    for (int32_t r = 0; r < v->ringRows - 2; r++) {
        const int32_t row = v->firstRow + 1 + r;
        const int32_t y = v->head.y + r * v->cellHeight;
        text[0] = 0;
        uint32_t colour = Rgb(128, 128, 128);
        if (g_ucGridKind == 2) {
            if (row < 0 || row > 102)
                continue;
            if (row >= 99) {
                if (world)
                    continue;
                std::snprintf(text, sizeof text, "%s", kEventNames[row - 99]);
                colour = Rgb(110, 110, 100);
            } else {
                // World rows are 6 pixels high: every other one is numbered.
                if (world && (row & 1))
                    continue;
                std::snprintf(text, sizeof text, "%.2d", row + 1);
                if (TrackFlagged(row))
                    colour = Rgb(48, 48, 48);
                if (g_iScreen == 51 && row == g_ucMutePanelRow) {
                    colour = Rgb(0, 128, 0);
                    if (Ui_GetFocus() == g_pGridWindow && g_iBlinkPhase < 6)
                        continue;
                }
            }
        } else {
            const int32_t group = row >= 0 && row < g_ucGridRowCount ? Ui_FindRowGroup(row) : -1;
            if (group < 0 || group > 3 || g_aucGridRowGroupFirst[group] != row)
                continue;
            std::snprintf(text, sizeof text, "%.2d", group + 1);
            if (g_uGridHiddenLanes >> group & 1)
                colour = Rgb(64, 64, 64);
        }
        if (world)
            Text(text, v->head.x - 4, y - 1, &g_atUiFonts[1], colour, true);
        else
            Text(text, left + 8, y + 6, &g_atUiFonts[0], colour);
    }
}

void Ui_DrawGridHeader(void *)
{
    const int half = g_iFrameBufferIndex & 1;
    if (g_ucGridRedraw) {
        g_ucGridRedraw--;
        Ui_BuildRowHeaders(half);
    }
    // Text and strips first: what is added last is drawn first, so the headers go under them.
    Ui_DrawGridRowLabels();
    Ui_DrawColumnLabels();
    if (g_ucGridKind == 3)
        Ui_DrawRiffHeader();
    DrawPanelFrame(half);
    for (int32_t i = 0; i < s_aiRowHeaderCount[half]; i++)
        Ui_LinkPacket(s_aaRowHeaders[half][i], UI_IMAGE_SPRITE_BYTES);
    // The song and video grids open with their window's centre see-through: the panel behind the
    // headers is filled here, so nothing of an earlier layout (world view, another grid) shows.
    // (In bands: the rasteriser takes a tile of screen size for a screen clear and skips it.)
    if (g_pGridWindow && g_ucGridKind != 3) {
        const int32_t w = g_pGridWindow->w - 16, h = g_pGridWindow->h - 16;
        for (int32_t y = 0; y < h; y += 128)
            Gfx_AddTile(8, 8 + y, w, std::min<int32_t>(128, h - y), 22, 26, 32);
    }
}

// ---- Cursor and marked range ----

void Ui_DrawGridCursor()
{
    VIEWWIDGET *v = g_pGridView;
    if (!v || Ui_GetFocus() != g_pGridWindow)
        return;
    const int half = g_iFrameBufferIndex & 1;
    const int32_t style = s_aiCursorStyle[half];
    const int32_t cw = v->cellWidth, ch = v->cellHeight;
    const int32_t x = v->head.x + g_sGridCursorX * cw + g_cGridGlideOffsetX;
    const int32_t y = v->head.y + g_sGridCursorY * ch + g_cGridGlideOffsetY;
    const int32_t bar = cw >= 12 ? 3 : 1;
    // The play line and its shaded band come first so the bars stay on top.
    if (g_ucGridKind == 1 || g_ucGridKind == 2) {
        const int32_t at = std::clamp<int32_t>(g_iBeatLineOffset * cw / 24, 0, cw - 1);
        Gfx_AddLine(x + at, y, x + at, y + ch - 1, StyleColour(style, 0)[0], StyleColour(style, 0)[1],
                    StyleColour(style, 0)[2]);
        const int32_t band = cw >= 12 ? 4 : 1;
        Band(x + at - band, y, std::min(band, at), ch, StyleColour(style, 3));
    }
    Band(x, y, bar, ch, StyleColour(style, 0));
    Band(x + cw - bar, y, bar, ch, StyleColour(style, 0));
}

void Ui_DrawMarkedRange()
{
    VIEWWIDGET *v = g_pGridView;
    if (!v)
        return;
    const int32_t s = g_iScreen;
    const bool screen = s == 2 || s == 3 || s == 5 || s == 12 || s == 32 || s == 34 || s == 39 || s == 46;
    if (!screen && !g_bGridAreaMarked)
        return;
    const int32_t c0 = std::min(g_asGridMark[0], g_asGridMark[2]), c1 = std::max(g_asGridMark[0], g_asGridMark[2]);
    const int32_t r0 = std::min(g_asGridMark[1], g_asGridMark[3]), r1 = std::max(g_asGridMark[1], g_asGridMark[3]);
    const int32_t cw = v->cellWidth, ch = v->cellHeight;
    int32_t x0 = v->head.x + (c0 - v->firstColumn - 1) * cw + v->columnOffset;
    int32_t x1 = v->head.x + (c1 - v->firstColumn) * cw + v->columnOffset;
    int32_t y0 = v->head.y + (r0 - v->firstRow - 1) * ch + v->rowOffset;
    int32_t y1 = v->head.y + (r1 - v->firstRow) * ch + v->rowOffset;
    x0 = std::max<int32_t>(x0, v->head.x - 2 * cw);
    y0 = std::max<int32_t>(y0, v->head.y - 2 * ch);
    x1 = std::min<int32_t>(x1, g_iScreenWidth);
    y1 = std::min<int32_t>(y1, g_iScreenHeight);
    if (x1 <= x0 || y1 <= y0)
        return;
    const bool world = World();
    const int32_t line = world ? 1 : 2, band = world ? 1 : 2;
    Outline(x0, y0, x1 - x0, y1 - y0, line, StyleColour(2, 0));
    Outline(x0 + line, y0 + line, x1 - x0 - 2 * line, y1 - y0 - 2 * line, band, StyleColour(2, 2));
}

void Ui_GridFrameDraw()
{
    const int32_t s = g_iScreen;
    if (s == 5) {
        Ui_DrawGridCursor();
        Ui_DrawMarkedRange();
    } else if (s == 4) {
        Ui_DrawGridCursor();
    } else if (s != 13 && s != 16) {
        Ui_DrawMarkedRange();
    }
    if (g_ucGridKind == 3)
        Ui_DrawCellNumbers();
    else if (g_ucGridKind == 2)
        Ed_DrawSongRowMarkers();
    Ui_GridCursorGlide();
}

// ---- Styles ----

void Ui_SetCursorFrameStyle(int half, int32_t style)
{
    s_aiCursorStyle[half & 1] = std::clamp(style, 0, 3);
}

void Ui_SetPanelFrameStyle(int half, int32_t style)
{
    s_aiPanelStyle[half & 1] = std::clamp(style, 0, 3);
}

int32_t Ui_PanelFrameStyle(int half)
{
    return s_aiPanelStyle[half & 1];
}

int32_t Ui_CursorFrameStyle(int half)
{
    return s_aiCursorStyle[half & 1];
}

void Ui_SetGridClipAreas()
{
    // The cursor and the mark are drawn inside the view, under its clip area.
}

// ---- The item under the pointer ----

void Ui_UpdateCursorItem(int32_t kind)
{
    const VIEWWIDGET *v = g_pGridView;
    if (!v)
        return;
    const int32_t column = v->firstColumn + 1 + Ui_GridMouseColumn();
    const int32_t row = v->firstRow + 1 + Ui_GridMouseRow();
    g_szCursorItemName[0] = 0;
    if (kind == 2 && g_iScreen != 51) {
        if (row >= 0 && row < 99 && column >= 0) {
            GRIDCELLQUERY q{};
            q.uRow = uint16_t(column);
            q.ucColumn = uint8_t(row);
            char name[16] = "";
            if (Seq_GetGridCellInfo(&q, name))
                std::snprintf(g_szCursorItemName, sizeof g_szCursorItemName, "%.15s", name);
        } else if (row >= 99 && row <= 102) {
            std::snprintf(g_szCursorItemName, sizeof g_szCursorItemName, "%s", Ed_LaneCaption(column, row));
        }
    } else if (kind == 1 && g_iScreen != 51) {
        Ui_VideoCellName(column, row, g_szCursorItemName, sizeof g_szCursorItemName);
    }
    if (kind == 1 || kind == 2) {
        if (column >= 0)
            Seq_ComputeSongTime(column);
        // No tip for a cell hidden under another window (the pointer is on that window).
        const WINDOW *top = Ui_WindowAtPointer();
        if (!top || top == g_pGridWindow)
            std::memcpy(g_szPendingToolTip, g_szCursorItemName, sizeof g_szPendingToolTip);
        else
            g_szPendingToolTip[0] = '\0';
    }
}
