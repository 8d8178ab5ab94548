// The interface's image set, laid out once for the whole build: every image record of "win.tx"
// gets its own rectangle in one of the pictures "win6.raw" .. "win27.raw", and the picture holds
// exactly that image there, nothing else. The five font sheets are images 0-4, their glyph ink
// drawn white from the same rendered sheet the font files are written from.
//
// Rectangles start on 8-texel boundaries (texture windows tile from them) and keep a transparent
// gap to their neighbours, except the grid's 24 x 24 cells, which share one picture edge to edge
// (they are drawn whole, never tiled). Pure black is transparent.
#pragma once

#include "tools/fontcontent.h"
#include "tools/soundcontent.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int CONTENT_IMAGE_RECORDS = 1024;

// What an image shows.
enum CONTENTDRAW
{
    DRAW_NONE,
    DRAW_FONT,         // a font sheet; param = index into g_atContentFonts
    DRAW_POINTER,      // the arrow pointer
    DRAW_TOOL_POINTER, // arrow with a tool mark; param = the mark
    DRAW_ICON,         // inline text icon; param = the shape
    DRAW_ARROW,        // scroll arrow; param = direction 0 up, 1 down, 2 left, 3 right (+4 lit)
    DRAW_TRACK,        // scroll track; param 0 vertical, 1 horizontal
    DRAW_THUMB,        // scroll thumb part; param = 0 start cap, 1 middle, 2 end cap (+4 horizontal)
    DRAW_FRAME,        // window frame piece; param = 3 x part + style
    DRAW_BUTTON,       // labelled button face
    DRAW_MARK,         // an image no screen names yet: a small bevelled tile in the number's hue
    DRAW_BACKGROUND,   // the screen background, repeated: background tile 0 of the tile sheets
    DRAW_SHADOW,       // window border shadow
    DRAW_FIELD_ICON,   // the icon at the left of a title field
    DRAW_GRID,         // a cell or row header of the main editing grid; param = the image number
    DRAW_TOPBAR,       // one of the five pieces of the editor top bar; param = the piece
    DRAW_TOPBUTTON,    // a lit section button of the top bar; param = the button
    DRAW_LAMP,         // the top bar's beat light; param 0 off, 1..4 the beat's quarters
    DRAW_FILESCREEN,   // the file screen's file icons, list cursor and buttons; param = the image number
    DRAW_JAM,          // the jam screen's keys, pads, piano keys, octave digits, dial, activity icons
    DRAW_AM,           // the note panel's AM indicator; param 0 an AM channel, 1 a note with its modifier
};

// The main editing grid's cells are drawn through one draw mode, so they share one picture.
bool Content_IsGridImage(int n);

struct CONTENTIMAGE
{
    int page = 0; // 6..27
    int u = 0, v = 0, w = 0, h = 0;
    CONTENTDRAW draw = DRAW_NONE;
    int param = 0;
};

struct INTERFACESET
{
    std::vector<CONTENTIMAGE> images;            // by image number
    std::vector<std::vector<uint8_t>> pictures;   // pages 6..27, 256 x 256 RGB each
    std::vector<FONTSHEET> sheets;                // g_atContentFonts order
    std::vector<CONTENTFILE> fontFiles;           // "gfx/fonts/<name>.bin"
    std::string error;                            // why the fonts are missing, if they are
};

// Built on first use. Without the fonts (a face cannot be read) the set still has every other
// image, and `error` says what went wrong.
const INTERFACESET &Content_InterfaceSet();
