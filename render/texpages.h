// Texture pages and image areas: the bookkeeping of a 1024 x 512 texture memory of 16-bit words.
// 32 pages of 64 words x 256 rows (page i at x (i % 16) * 64, y (i / 16) * 256), image areas placed
// in the pages' free blocks, palette rows (CLUTs) in the corner rows 385-511 of columns 768-1023,
// the interface's screen-graphics sets (a TX file of image records and a VRM file of page and
// palette rows) and console images (TIM layout) placed from memory.
//
// No pixels are kept: the uploads to texture memory are the console library's no-op calls. What a
// record shows comes from its TEXTURE or from the 2D rasteriser's texel sources. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

struct TEXTURE;

constexpr int32_t TEXPAGE_COUNT = 32;
constexpr int32_t TEXPAGE_WIDTH = 64;   // words
constexpr int32_t TEXPAGE_HEIGHT = 256; // rows
constexpr int32_t IMAGE_POOL_SIZE = 127;
constexpr int32_t IMAGEREC_FILE_SIZE = 28; // bytes of one record in a TX file
constexpr int32_t TX_FILE_MAX = 131072;
constexpr int32_t VRM_PAGE_BYTES = 32768;
constexpr int32_t VRM_CLUT_ROW_BYTES = 512;
constexpr int32_t TX_MAX_CLUT_ROWS = 128; // rows 256..383 of the CLUT columns
constexpr int32_t CLUT_AREA_ROWS = 127;   // rows 385..511
constexpr int32_t CLUT_AREA_X = 768;
constexpr int32_t CLUT_AREA_Y = 385;

// TEXPAGE.state
constexpr uint16_t TEXPAGE_FREE = 0;
constexpr uint16_t TEXPAGE_DISPLAY = 1;
constexpr uint16_t TEXPAGE_CLUT = 2;
constexpr uint16_t TEXPAGE_LOADED = 3;

// IMAGEREC.kind
constexpr uint8_t IMAGE_KIND_4BIT = 1;
constexpr uint8_t IMAGE_KIND_8BIT = 2;
constexpr uint8_t IMAGE_KIND_16BIT = 4;

// IMAGEREC.state
constexpr uint16_t IMAGE_STATE_INUSE = 0x4000;

// Gfx_LoadImageData flags
constexpr uint32_t IMAGE_LOAD_SEMITRANS = 8;    // mark every non-zero colour semi-transparent
constexpr uint32_t IMAGE_LOAD_KEEPPALETTE = 16; // keep a copy of an 8-bit image's 256 colours
constexpr uint32_t IMAGE_LOAD_KEEPKIND = 64;    // leave the record's kind as it is

struct TEXPAGE
{
    int16_t x;
    int16_t y;
    uint16_t state;    // TEXPAGE_
    uint32_t freeMask; // bit 4 * band + column: 8 bands of 32 rows x 4 columns of 16 words
};

// An image area. The TX file holds these as 28-byte little-endian records (the two pointer fields
// are 0 there); loaded tables are parsed into this native form.
struct IMAGEREC
{
    uint8_t x;         // offset in the page in 4-bit texel units: 0, 64, 128, 192 for allocated areas
    uint8_t v;         // row in the page
    uint8_t u;         // offset in the image's own texels
    uint8_t kind;      // IMAGE_KIND_
    uint16_t state;    // IMAGE_STATE_INUSE for pool records
    uint16_t related;  // font sheet: record whose CLUT the glyphs use; window frame: the image
    int16_t width;     // in the image's own texels
    int16_t height;    // rows
    uint16_t page;     // texture-page word; low 5 bits = page number
    uint16_t clut;     // CLUT word, 0 = none
    TEXTURE *texture;  // made from the image's pixels, or null
    uint32_t blocks;   // the page blocks this area holds
    uint16_t *palette; // owned copy of an 8-bit image's 256 colours, or null
};

extern TEXPAGE g_aTexPages[TEXPAGE_COUNT];
extern const int16_t g_asTexPageOrder[TEXPAGE_COUNT];
extern IMAGEREC g_astImageRecords[IMAGE_POOL_SIZE];
extern IMAGEREC g_tScratchImage;
extern IMAGEREC g_tClutArea;
extern IMAGEREC *g_pDebugFontImage;
extern int32_t g_iFreeTextureBlocks;

// The loaded screen-graphics set: image n is g_pImageTable[n] for n < g_iImageCount. Valid until
// the next load. Look images up through Gfx_GetImage, which checks the number.
extern IMAGEREC *g_pImageTable;
extern int32_t g_iImageCount;
// Pages listed by the loaded TX file and its CLUT row count.
extern int32_t g_iTxPageCount;
extern int32_t g_aiTxPages[TEXPAGE_COUNT];
extern int32_t g_iTxClutRows;

// CLUT area bookkeeping.
extern int16_t g_asClut16Cursor[2];  // x, y
extern int16_t g_asClut256Cursor[2]; // x, y
extern uint16_t g_ausClutRowUse[CLUT_AREA_ROWS];
extern int32_t g_iFreeClut16Count;
extern int32_t g_iFreeClut256Count;
// 256-colour CLUTs of the video engine, two tables of four.
extern uint16_t g_ausVideoCluts[2][4];

struct SCREENGRAPHICSSET
{
    const char *vrmName;
    const char *txName;
    IMAGEREC **ppTable;
};
extern const SCREENGRAPHICSSET g_astScreenGraphicsSets[2];

// Set-up of pages, pool, scratch and CLUT areas; installs the "win.tx" already in g_abWinTexture.
void Gfx_InitTexturePages();
void Gfx_InstallStartupGraphics();
void Gfx_InitDebugText();
// Loads set 0 ("win") or 1 ("jam"), then its fonts. Missing files leave things as described in
// the .cpp; a broken TX file is refused whole (the loaded set stays). 0 loaded, -1 not.
int32_t Gfx_LoadScreenGraphics(int32_t set);

// Parses a TX file (bytes, size) into the loaded set's table. 0, or -1 (nothing changed) when it is
// too large, too short or lists a page above 31 or more than 128 CLUT rows.
int32_t Gfx_ParseTxFile(const uint8_t *data, size_t size);

// Image n of the loaded set, or null when n is outside the table (draw nothing).
IMAGEREC *Gfx_GetImage(int32_t n);

IMAGEREC *Gfx_AllocImageArea(int32_t width, int32_t height, int32_t kind);
void Gfx_FreeImageArea(IMAGEREC *record);
// kind 1 = 16 colours, 2 = 256 colours; colours may be null. The CLUT word, or 0.
uint16_t Gfx_AllocClut(const uint16_t *colours, int32_t kind);
// Frees of CLUTs not in use are ignored.
void Gfx_FreeClut(uint16_t clut, int32_t kind);
void Gfx_ResetClutArea();

// Places TIM data (data, size bytes) held by the caller; rewrites the pixel block's x, y with the
// area's position. Returns the record, or null (nothing kept) when the data are not a TIM image
// that fits size, or there is no room.
IMAGEREC *Gfx_LoadImageData(uint8_t *data, size_t size, uint32_t flags, IMAGEREC *record);
// A 128 x 64 8-bit picture with a 256-entry palette of r, g, b bytes.
IMAGEREC *Gfx_CreateUserImageArea(const uint8_t *pixels, const uint8_t *palette);
// Palette of 4 bytes an entry (r, g, b, unwritten) read from a TIM file; the caller frees it with
// free(). Null when missing, not 4/8-bit or too short.
uint8_t *Gfx_ReadTexturePalette(const char *path, int32_t maxEntries);
// Called by nothing; kept for the console screen-texture format.
int32_t Gfx_LoadScreenTexture(const char *path, int32_t flags);

int32_t Gfx_CountFreeTextureBlocks();
