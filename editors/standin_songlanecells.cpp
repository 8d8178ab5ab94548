// Stand-in: see standin_songlanecells.h.
#include "editors/standin_songlanecells.h"

#include "render/prims2d.h"
#include "render/texpages.h"
#include "sequencer/eventlists.h"
#include "ui/gridworld.h"

namespace {

// The list kind and colour entry of grid rows 99 to 102.
struct LANE
{
    int32_t kind, colour;
};
constexpr LANE kLanes[4] = {{LIST_VOLUME, 24}, {LIST_EFFECT, 26}, {LIST_TEMPO, 25}, {LIST_KEY, 27}};
// Single-track riff pieces of the song grid: first, middle, last, alone.
constexpr int32_t kPieces = 940 + 3 * 4;

void Cell(uint8_t *packet, int32_t lane, int32_t column, int32_t x, int32_t y)
{
    const IMAGEREC *table = g_pImageTable;
    auto image = [&](int32_t n) { return table && n < g_iImageCount ? &table[n] : nullptr; };
    TRACKQUERY q{};
    q.iRow = int16_t(column);
    if (column < 0 || !Seq_GetTrackEntryAt(&q, kLanes[lane].kind)) {
        const int32_t n = ED_LANE_CELL_IMAGES + 2 * lane + ((column & 3) == 0 ? 0 : 1);
        Gfx_SetSpritePacket(packet, image(n), x, y, 128, 128, 128);
        return;
    }
    const int32_t part = q.uLength <= 1 ? 3 : q.uRowsIn == 0 ? 0 : q.uRowsIn + 1 >= q.uLength ? 2 : 1;
    Ui_SetGridCellPacket(packet, kPieces + part, kLanes[lane].colour, x, y);
}

} // namespace

void Ed_DrawSongCellKind100(uint8_t *packet, int32_t column, int32_t x, int32_t y)
{
    Cell(packet, 0, column, x, y);
}
void Ed_DrawSongCellKind101(uint8_t *packet, int32_t column, int32_t x, int32_t y)
{
    Cell(packet, 1, column, x, y);
}
void Ed_DrawSongCellKind99(uint8_t *packet, int32_t column, int32_t x, int32_t y)
{
    Cell(packet, 2, column, x, y);
}
void Ed_DrawSongCellKind102(uint8_t *packet, int32_t column, int32_t x, int32_t y)
{
    Cell(packet, 3, column, x, y);
}
