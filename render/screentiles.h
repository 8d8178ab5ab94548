// Screen tiles, backgrounds, save-under and the mouse pointer of the 2D layer.
//
// Tile pages: seven pages of 20 x 20 tiles of 24 x 24 16-bit pixels, filled from tile sheets
// (headerless 24-bit RGB pictures of columns x 24 by rows x 24 pixels). Page 0 holds "blanks.raw",
// page 6 "bardata.raw", pages 1-5 the selected tile set. Screen-tile packets address a tile by
// row, column and page bytes; the columns of pages 1-4 go through the set's remap table.
//
// Save-under: windows save the layer rectangle they cover when they open (plus an 8-pixel margin
// right and below) and put it back when they close, newest first. The pointer is drawn into the
// layer after the frame's walk and its rectangle restored after the layer was shown. Every copy is
// held to the 640 x 480 layer, wherever the rectangle lies. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t TILE_SIZE = 24;
constexpr int32_t TILE_PAGES = 7;
constexpr int32_t TILE_PAGE_TILES = 20; // per row and per column
constexpr uint32_t TILE_BYTES = 1152;
constexpr uint32_t TILE_ROW_BYTES = 23040;
constexpr uint32_t TILE_PAGE_BYTES = 460800;
constexpr uint32_t TILESHEET_TILE_BYTES = 1728; // 24 x 24 x 3
constexpr int32_t JAM_BACKGROUND_PIXELS = 640 * 480;

// -1 until a set is selected, then 0 (all screens) or 1 (video screens).
extern int32_t g_iTileSet;
// Column remap tables of the two sets.
extern const uint16_t g_ausTileRemap0[92];
extern const uint16_t g_ausTileRemap1[44];
// Tile-sheet files read since start (tests check that re-selecting a set reads nothing).
extern uint32_t g_uTileSheetsRead;

// Reads a sheet of columns x rows tiles (each at most 20) into tile page `page` (0-6), converting
// to the layer's pixel layout. The page is cleared first, so a short file leaves black tiles and a
// missing one a black page. 0 when the whole sheet was read, else -1 with the reason reported.
int32_t Gfx_LoadTileSheet(const char *path, int32_t columns, int32_t rows, int32_t page);
// 0 = the tile set of all screens, any other value the video screens' one. Loads pages 1-5 unless
// that set is already selected.
void Gfx_SelectTileSet(int32_t set);
// The 24 x 24 pixels of a tile, or null when the row, column or page lies outside the pages or
// (pages 1-4) outside the remap table.
const uint16_t *Gfx_TileAddress(int row, int column, int page);
// Empties the tile pages and forgets the selected set (start-up and tests).
void Gfx_ResetTilePages();

// A saved layer rectangle. x, y, width, height are as asked; only the part inside the layer is
// kept and put back.
struct SAVEUNDER
{
    uint32_t saved;
    int32_t x, y, width, height;
    uint16_t *pixels;
    SAVEUNDER *next;     // older record
    SAVEUNDER *previous; // newer record, or the list head
};

// Saves the record's rectangle into a new buffer and sets the flag (a set flag frees the old
// buffer first); restores it, frees the buffer and clears the flag (nothing when not saved).
void Gfx_SaveRect(SAVEUNDER *record);
void Gfx_RestoreRect(SAVEUNDER *record);
// A window of w x h opens or closes at x, y. Windows of at least 501 x 351 save nothing.
void Gfx_PushSaveUnder(int32_t x, int32_t y, int32_t w, int32_t h);
void Gfx_PopSaveUnder(int32_t x, int32_t y, int32_t w, int32_t h);
void Gfx_PopAllSaveUnders();
// Records on the list, newest first (null ends it).
const SAVEUNDER *Gfx_NewestSaveUnder();

// draw 1: saves the layer under the current pointer image at x, y and draws the image there;
// draw 0: puts the saved pixels back. The image is the one g_pPointerShape names.
void Gfx_DrawPointer(int32_t x, int32_t y, int32_t draw);

// The network jam screen's full-screen picture "pcjambg.raw" (640 x 480 24-bit RGB).
extern int32_t g_bJamBackgroundLoaded;
extern int32_t g_bBackgroundDirty;
// Loads it (a missing or short file leaves black and is reported); marks it loaded either way.
void Gfx_LoadJamBackground();
void Gfx_FreeJamBackground();
// Copies it over the whole layer and clears g_bBackgroundDirty.
void Gfx_DrawJamBackground();

// 256 colours 0xRRGGBB to 16-bit pixels of the layer's layout.
void Gfx_ConvertPalette(const uint32_t *pColours, uint16_t *pOut);
// Copies h lines of w packed 16-bit pixels into the layer at x, y; what falls outside the layer is
// left out.
void Gfx_CopyToLayer(int32_t x, int32_t y, int32_t w, int32_t h, const uint16_t *pPixels);

// Per-channel colour products of the layer's layout, built by the soft GPU's set-up.
void Gfx_InitColourModulation();
// The channel-by-channel product of the 16-bit colour a and the current fill colour.
uint32_t Gfx_ModulateColour(uint32_t a);
