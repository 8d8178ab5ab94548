// The texture table: 1024 slots of TEXTURE records. A slot holds either a software texel source
// (a raw interface picture, read by the 2D rasteriser through Gfx_GetTexelSource) or a 3-D
// texture made from a console image: an index copy, a palette and a surface in one of the TEX_
// formats that the 3-D device offers.
//
// Surfaces and palettes live in plain memory owned by the record; the 3-D device reads them
// through the TEXSURFACE it is handed (width, height, pitch, format, pixels, palette, colour key).
// Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t TEXTURE_SLOTS = 1024;
constexpr int32_t TEXTURE_MAX_FORMATS = 24;
constexpr int32_t TEXTURE_NAME_SIZE = 256;

// TEXTURE.flags
constexpr uint32_t TEXTURE_INVERTED = 0x20000;
// Format-request bit that asks for a plain off-screen surface (nothing asks for it).
constexpr uint32_t TEXTURE_REQUEST_SURFACE = 0x10000;

// Texture formats; the bit is the format's value in masks and in the format list.
constexpr uint32_t TEX_8_PAL8 = 0x1;
constexpr uint32_t TEX_16_RGB565 = 0x2;
constexpr uint32_t TEX_16_RGB555 = 0x4;
constexpr uint32_t TEX_16_ARGB1555 = 0x8;
constexpr uint32_t TEX_16_ARGB4444 = 0x10;
constexpr uint32_t TEX_32_RGB888 = 0x20;
constexpr uint32_t TEX_32_ARGB8888 = 0x40;
constexpr uint32_t TEX_UNKNOWN = 0x10000000;

// Pixel format as the 3-D device reports it (32 bytes).
struct TEXPIXELFORMAT
{
    uint32_t size; // 32
    uint32_t flags; // TEXPF_ bits
    uint32_t fourCC;
    uint32_t bitCount;
    uint32_t redMask;
    uint32_t greenMask;
    uint32_t blueMask;
    uint32_t alphaMask;
};
static_assert(sizeof(TEXPIXELFORMAT) == 32);

constexpr uint32_t TEXPF_ALPHAPIXELS = 0x1;
constexpr uint32_t TEXPF_FOURCC = 0x4;
constexpr uint32_t TEXPF_PALETTEINDEXED8 = 0x20;
constexpr uint32_t TEXPF_RGB = 0x40;
constexpr uint32_t TEXPF_LUMINANCE = 0x20000;
constexpr uint32_t TEXPF_BUMPLUMINANCE = 0x40000;
constexpr uint32_t TEXPF_BUMPDUDV = 0x80000;

struct TEXFORMAT
{
    uint32_t format;        // TEX_ bit
    uint32_t bytesPerPixel; // 0 for TEX_UNKNOWN
    TEXPIXELFORMAT pixelFormat;
};

// Palette entry: 8-bit red, green, blue and a flags byte.
struct TEXPALENTRY
{
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t flags;
};
static_assert(sizeof(TEXPALENTRY) == 4);

// The palette object of a TEX_8_PAL8 surface; rgb holds the same entries as 0x00RRGGBB, the form
// the 3-D device reads.
struct TEXPALETTE
{
    TEXPALENTRY entries[256];
    uint32_t rgb[256];
};

// A texture surface: what the 3-D device draws from. Rows are pitch bytes apart; the size may be
// larger than asked (the upload then stretches the image over it). Black (0 to 0) is the colour
// key of every texture surface.
struct TEXSURFACE
{
    uint32_t width;
    uint32_t height;
    uint32_t pitch;
    uint32_t format;        // TEX_ bit
    uint32_t bytesPerPixel;
    uint32_t managed;       // kept by the device (else in system memory); informational
    uint32_t colourKeyLow;
    uint32_t colourKeyHigh;
    int32_t hasColourKey;
    TEXPIXELFORMAT pixelFormat;
    uint8_t *pixels;
    const TEXPALETTE *palette; // attached palette (TEX_8_PAL8 only), else null
};

struct TEXTURE
{
    uint32_t flags;          // TEXTURE_INVERTED
    uint32_t formatRequest;  // mask of TEX_ bits
    uint32_t depth;          // source indices: 1 = 4-bit, 2 = 8-bit; 0 for a raw picture
    uint32_t slot;
    uint32_t indexBytes;     // size of the index copy
    uint32_t paletteEntries; // 16 or 256
    char name[TEXTURE_NAME_SIZE];
    uint8_t *pixels;         // texel source (raw picture) or the copy of the source indices
    TEXSURFACE *surface;
    TEXSURFACE *d3dTexture;  // the surface as the 3-D device binds it
    TEXPALETTE *palette;     // palettised formats only
    TEXPALENTRY palette32[256];
    uint16_t palette16[256]; // console colours: red bits 0-4, green 5-9, blue 10-14
    uint32_t width;          // surface size asked for (after any rounding)
    uint32_t height;
    const TEXFORMAT *format; // chosen entry of the format list
};

extern TEXTURE **g_ppTextures; // TEXTURE_SLOTS slots, null when the table is not made
extern TEXFORMAT g_aTextureFormats[TEXTURE_MAX_FORMATS];
extern int32_t g_iTextureFormatCount;
// Set while the video renderer's grabbed picture stands in for the textures of meshes.
extern int32_t g_bTextureGrabMode;
// Number given to the last Gfx_SetCurrentTexture that bound (-2 at load).
extern int32_t g_iCurrentTexture;

// Texture caps of the 3-D device.
constexpr uint32_t TEXCAPS_POW2 = 0x2;
constexpr uint32_t TEXCAPS_SQUAREONLY = 0x20;

// Stage-0 colour operations and arguments.
constexpr uint32_t TEXOP_SELECTARG1 = 2;
constexpr uint32_t TEXOP_MODULATE = 4;
constexpr uint32_t TEXARG_DIFFUSE = 0;
constexpr uint32_t TEXARG_TEXTURE = 2;
constexpr uint32_t TEXARG_KEEP = 0xFFFFFFFFu; // second argument left as it is

typedef int32_t (*TEXFORMATPROC)(const TEXPIXELFORMAT *format, void *context); // 0 stops

// What the table asks of the 3-D device. g_tTextureDevice starts as g_tDefaultTextureDevice (the
// device layer); tests put in their own. Results are 0 or the device's failing code.
struct TEXDEVICE
{
    int32_t (*enumFormats)(TEXFORMATPROC proc, void *context);
    uint32_t (*textureCaps)();     // TEXCAPS_ bits
    int32_t (*managedTextures)();  // non-zero: surfaces are kept by the device
    // Makes a surface of at least width x height in the given format (pixels allocated by the
    // device may be larger); the default allocates exactly what is asked.
    int32_t (*createSurface)(TEXSURFACE *surface, uint32_t width, uint32_t height, const TEXPIXELFORMAT *format,
                             uint32_t texFormat, uint32_t bytesPerPixel);
    void (*releaseSurface)(TEXSURFACE *surface);
    int32_t (*setColourStage)(uint32_t op, uint32_t arg1, uint32_t arg2);
    int32_t (*setTexture)(const TEXSURFACE *texture); // stage 0; null = none
    int32_t (*bindGrabTexture)();
};
extern TEXDEVICE g_tTextureDevice;
extern const TEXDEVICE g_tDefaultTextureDevice;

// Table lifetime. Init: 0, or -1 when out of memory (a table already made is freed first).
int32_t Gfx_InitTextureTable();
void Gfx_FreeTextureTable();

// n = -1: the first empty slot; else slot n (0..1023) when empty. Makes an empty record, stores
// it in out and returns the slot; -1 (out unchanged) when taken, out of range, full or no table.
int32_t Gfx_GetTextureSlot(TEXTURE **out, int32_t n);
// Raw picture file into slot n; 0 or -1 (the slot stays empty on failure).
int32_t Gfx_LoadTextureFile(const char *path, uint32_t format, int32_t n);
// Reads the file named by the texture's name: a square of 24-bit pixels, side = isqrt(length / 3),
// at most 256. It becomes a 256 x 256 texel source (rows of 1024 bytes: colour a, colour b, mask
// a, mask b per pixel pair) in g_iPixelFormat; black (colour 0) has mask 0xFFFF, as does all of
// the page outside the picture. 0 or -1 (nothing changed).
int32_t Gfx_LoadRawTexture(TEXTURE *texture);
// The texel source of a slot holding a raw picture, else null.
const uint16_t *Gfx_GetTexelSource(int slot);

// Console image (bytes, size) into slot n as a 3-D texture; the texture goes into holder. -1
// when the image is not one or does not fit its size, or the slot or surface cannot be had;
// 0 with nothing made for depths other than 4 and 8 bits.
int32_t Gfx_CreateTextureFromImage(TEXTURE **holder, const uint8_t *image, size_t size, int32_t n);
// Index image (width in 16-bit words, height lines, depth 1 = 4-bit, 2 = 8-bit) into the texture's
// surface; 0 or a failing code.
int32_t Gfx_CreateTexture(TEXTURE *texture, int32_t width, int32_t height, const uint8_t *indices, int32_t depth);
int32_t Gfx_UploadTexturePixels(TEXTURE *texture);
// colours: 16-bit console colours for the entries in use, or null to reapply the texture's own.
int32_t Gfx_SetTexturePalette(TEXTURE *texture, const uint16_t *colours);
int32_t Gfx_SetTextureInverted(TEXTURE *texture, int32_t on);

// Binds for the next 3-D draws. The object (a mesh) is given by its texture and flags (bit 2:
// inverted); texture null = plain diffuse colour. flag: the grabbed picture may stand in.
int32_t Gfx_BindTexture(TEXTURE *texture, uint32_t objectFlags, int32_t flag);
int32_t Gfx_BindTextureRecord(TEXTURE *texture, int32_t unused, int32_t inverted);
// Binds the texture of slot n - 5 (-1: none); the same n again does nothing.
int32_t Gfx_SetCurrentTexture(int32_t n);

void Gfx_FreeTexture(TEXTURE *texture);

// Pixel format -> TEX_ bit (and bytes a pixel); 0 for formats that are passed over.
uint32_t Gfx_ClassifyPixelFormat(const TEXPIXELFORMAT *format, uint32_t *bytesPerPixel);
int32_t Gfx_EnumTextureFormats();
// First list entry of TEX_8_PAL8, else TEX_16_RGB565, ... TEX_32_ARGB8888; null when none.
const TEXFORMAT *Gfx_FindTextureFormat();

// 8-bit r, g, b as one pixel of a TEX_ format (the index itself is not handled here).
uint32_t Gfx_ConvertTexel(uint32_t format, uint8_t r, uint8_t g, uint8_t b);
// 24-bit colour in the display's 16-bit layout (g_iPixelFormat), as the raw loader packs it.
uint16_t Gfx_PackRawColour(uint8_t r, uint8_t g, uint8_t b);

struct TEXRECT
{
    int16_t x, y, w, h;
};
// Sample editor picture into slot 10's texel rows: from row y, h rows of w x 2 bytes, each byte
// one opaque pixel pair (0: two black pixels, else the low nibble's colour then the high's), the
// colours from the 16 console colours given. Clipped to the page; -1 without a texel source in
// slot 10 or without bytes.
int32_t Gfx_BlitNibbleImage(const uint8_t *bytes, const TEXRECT *rect, const uint16_t *colours);
