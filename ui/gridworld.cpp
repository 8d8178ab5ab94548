#include "ui/gridworld.h"

#include "render/ordertable.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "sequencer/eventlists.h"
#include "sequencer/songmodel.h"
#include "ui/gridsetup.h"
#include "ui/menupages.h"

#include <algorithm>
#include <cstring>

const uint8_t g_aabGridCellColours[48][3] = {
    {0, 136, 104}, {0, 96, 56},   {8, 72, 24},   {16, 64, 8},   {48, 72, 24},  {72, 80, 40},  {0, 136, 96},
    {0, 96, 40},   {8, 72, 8},    {32, 72, 8},   {72, 88, 32},  {80, 96, 48},  {0, 128, 88},  {0, 96, 16},
    {16, 72, 8},   {64, 96, 16},  {80, 96, 32},  {96, 96, 48},  {0, 128, 56},  {0, 96, 0},    {48, 96, 8},
    {72, 104, 16}, {96, 96, 32},  {0, 128, 24},  {16, 96, 0},   {64, 104, 16}, {96, 112, 24}, {0, 128, 0},
    {40, 112, 0},  {88, 112, 16}, {24, 128, 0},  {64, 112, 0},  {64, 128, 0},  {16, 32, 16},  {16, 48, 32},
    {16, 32, 16},  {8, 64, 40},   {16, 48, 16},  {24, 40, 16},  {8, 72, 56},   {8, 64, 24},   {16, 48, 16},
    {40, 56, 24},  {0, 96, 72},   {8, 72, 40},   {8, 64, 16},   {32, 56, 16},  {56, 64, 32},
};

namespace {

constexpr int32_t kPastEnd = 218;
constexpr int32_t kSingle = 233, kFirst = 234, kMiddle = 235, kLast = 236;
// [track part][bar part]: 0 first, 1 middle, 2 last.
constexpr int32_t kRiffPieces[3][3] = {{224, 225, 226}, {227, 228, 229}, {230, 231, 232}};

struct LANE
{
    int32_t type, emptyBar, emptyBeat, colour;
};
// Grid rows 99 to 102.
constexpr LANE kLanes[4] = {{100, 217, 213, 24}, {101, 216, 212, 26}, {99, 215, 211, 25}, {102, 220, 219, 27}};

int32_t Part(int32_t at, int32_t count)
{
    if (at <= 0)
        return 0;
    return at >= count - 1 ? 2 : 1;
}

int32_t RunPiece(int32_t at, int32_t length)
{
    if (length <= 1)
        return kSingle;
    if (at <= 0)
        return kFirst;
    return at >= length - 1 ? kLast : kMiddle;
}

int32_t LaneImage(const LANE &lane, int32_t column, int32_t *colour)
{
    TRACKQUERY q{};
    q.iRow = int16_t(column);
    if (column < 0 || !Seq_GetTrackEntryAt(&q, lane.type)) {
        *colour = -1;
        return (column & 3) == 0 ? lane.emptyBar : lane.emptyBeat;
    }
    *colour = lane.colour;
    return RunPiece(q.uRowsIn, q.uLength);
}

void Fill(uint8_t *packet, int32_t image, int32_t colour, int32_t x, int32_t y)
{
    Ui_SetGridCellPacket(packet, image, colour, x, y);
}

// Reopens the current grid with the kept place replaced.
void Reopen(int16_t firstColumn, int16_t firstRow, int16_t cursorX, int16_t cursorY, bool world)
{
    const int32_t kind = g_ucGridKind;
    Ui_CloseGridScreen();
    Ui_SetGridPlace(kind, firstColumn, firstRow, cursorX, cursorY);
    g_ucGridOptions = uint8_t(world ? g_ucGridOptions | 1 : g_ucGridOptions & ~1);
    Ui_SetupGridScreen(kind);
}

} // namespace

void Ui_SetGridCellPacket(uint8_t *packet, int32_t image, int32_t colour, int32_t x, int32_t y)
{
    const IMAGEREC *im = g_pImageTable && image >= 0 && image < g_iImageCount ? &g_pImageTable[image] : nullptr;
    if (colour < 0) {
        Gfx_SetSpritePacket(packet, im, x, y, 128, 128, 128);
        return;
    }
    // Only the glyph sprite takes a tint, and 128 is the brightest it gives; a little under the
    // table keeps the brightest riffs from glaring.
    const uint8_t *c = g_aabGridCellColours[colour % 48];
    const auto tint = [](uint8_t v) { return uint8_t(std::min(v * 7 / 8, 128)); };
    Gfx_SetSpritePacket(packet, im, x, y, tint(c[0]), tint(c[1]), tint(c[2]));
    if (im) {
        PACKET_SPRITE_T s;
        std::memcpy(&s, packet, sizeof s);
        s.head.code = PACKET_GLYPH;
        std::memcpy(packet, &s, sizeof s);
    }
}

int32_t Ui_SongWorldCellImage(int32_t column, int32_t row, int32_t *colourEntry)
{
    *colourEntry = -1;
    if (column >= g_uSongRowCount)
        return kPastEnd;
    if (row >= 99 && row <= 102)
        return LaneImage(kLanes[row - 99], column, colourEntry);
    GRIDCELLQUERY q{};
    if (column >= 0 && row >= 0) {
        q.uRow = uint16_t(column);
        q.ucColumn = uint8_t(std::min(row, 255));
    }
    if (column < 0 || row < 0 || row > 98 || !Seq_GetGridCellInfo(&q, nullptr))
        return (column & 3) == 0 ? 214 : 210;
    *colourEntry = q.ucColour % 48;
    if (q.ucTracks <= 1)
        return RunPiece(q.ucBar, q.ucBars);
    return kRiffPieces[Part(q.ucColumnOffset, q.ucTracks)][Part(q.ucBar, q.ucBars)];
}

void Ui_SongCellCallback(uint8_t *packet, int32_t column, int32_t row, int32_t x, int32_t y)
{
    int32_t colour = -1;
    const int32_t image = Ui_SongWorldCellImage(column, row, &colour);
    Fill(packet, image, colour, x, y);
}

void Ui_SongLaneCell(uint8_t *packet, int32_t laneType, int32_t column, int32_t x, int32_t y)
{
    for (const LANE &lane : kLanes)
        if (lane.type == laneType) {
            int32_t colour = -1;
            const int32_t image = column >= g_uSongRowCount ? kPastEnd : LaneImage(lane, column, &colour);
            Fill(packet, image, colour, x, y);
            return;
        }
}

namespace {
// The "World View" row shows "Cancel World View" while the world view is on.
void SwapWorldViewItem(bool on)
{
    MENUITEM item = on ? g_atMenuItemTable[103] : g_atMenuItemTable[10];
    item.handler = on ? Ui_WorldViewOff : Ui_WorldViewOn;
    g_atMenuItems[10] = item;
}
} // namespace

void Ui_WorldViewOn()
{
    if ((g_ucGridOptions & 1) || !g_pGridView || (g_ucGridKind != 1 && g_ucGridKind != 2))
        return;
    SwapWorldViewItem(true);
    const int16_t first = int16_t(std::min<int32_t>(g_pGridView->firstColumn, 901));
    Reopen(first, -1, g_sGridCursorX, g_sGridCursorY, true);
}

void Ui_WorldViewOff()
{
    if (!(g_ucGridOptions & 1) || !g_pGridView || (g_ucGridKind != 1 && g_ucGridKind != 2))
        return;
    SwapWorldViewItem(false);
    const VIEWWIDGET *v = g_pGridView;
    const GRIDGEOMETRY *normal = Ui_GridGeometry(g_ucGridKind, false);
    // The cell under the cursor stays under it when it can; otherwise the view moves to it.
    int32_t cellX = std::clamp<int32_t>(v->firstColumn + 1 + g_sGridCursorX, 0, std::max(0, v->columnCount - 1));
    int32_t cellY = std::clamp<int32_t>(v->firstRow + 1 + g_sGridCursorY, 0, std::max(0, v->rowCount - 1));
    int32_t firstX = std::min<int32_t>(v->firstColumn, v->columnCount - 1);
    int32_t firstY = std::min<int32_t>(v->firstRow, v->rowCount - 3);
    firstX = std::max(firstX, cellX - normal->columns);
    firstY = std::max(firstY, cellY - normal->rows);
    firstX = std::max(firstX, -1);
    firstY = std::max(firstY, -1);
    firstX = std::min(firstX, cellX - 1);
    firstY = std::min(firstY, cellY - 1);
    Reopen(int16_t(firstX), int16_t(firstY), int16_t(cellX - firstX - 1), int16_t(cellY - firstY - 1), false);
}
