// The frame cycle: two FRAMEBUFFER records (core/console_memory.h) used in turn. The frame start
// makes the other record current, empties its tables and points the packet cursor at its
// primitive area; screens add packets; the frame end walks the record's tables into the 2D layer.
//
// Frame modes choose the primitive area: large (this record's half of the packet buffer, 372400
// bytes) or small (the depth-table memory, 16384 bytes). A mode set during a frame takes effect at
// the next reset; the steps between tell readers a switch happened within the last two frames.
#pragma once

#include "core/console_memory.h"

#include <cstdint>

constexpr uint32_t FRAME_LARGE_AREA_BYTES = 372400;
constexpr uint32_t FRAME_SMALL_AREA_BYTES = 16384;

// Events of class 1 the cycle posts, in frame order.
constexpr uint32_t GFX_EVENT_FRAME_START = 0x10002;
constexpr uint32_t GFX_EVENT_FRAME_END = 0x1000A;
constexpr uint32_t GFX_EVENT_FRAME_DRAW = 0x10000;
constexpr uint32_t GFX_EVENT_FRAME_DONE = 0x10003;

extern int32_t g_iFrameBufferIndex;
extern int32_t g_iFrameModeStep; // 0-5
extern uint32_t g_uFrameEndTicks;
extern uint32_t g_uRandomSeed;
extern int32_t g_iDisplayBlankCountdown;
extern int32_t g_bPadStep;       // 12, or 16 while an analogue pad is in port 1
extern PADBUFFER g_tPadCopy;     // working copy of port 1, refreshed by the display-window update

// Frame start and end, from the per-frame dispatcher; nothing while g_bFramesHeld is set.
void Gfx_BeginFrame();
void Gfx_EndFrame();
// Steps the frame mode, sets the packet cursor and end, empties the current record's tables.
// Returns the address of entry 0 of the two-entry table (0 before the packet buffers exist).
uint32_t Gfx_ResetFrameBuffer();
// Swaps the records and resets the new one, outside the frame tick.
void Gfx_SwapFrameBuffersNow();
// 0 = large area, 3 = small area (from the next reset); other modes change nothing. Returns mode.
int32_t Gfx_SetFrameMode(int32_t mode);
// True while the current frame's primitive area is the small one.
bool Gfx_SmallFrameArea();
// A texture-window packet that switches the window off, linked in front of `entry`. Returns its
// address, or 0 when the area is full or the entry is not in the arena.
uint32_t Gfx_AddTextureWindowReset(uint32_t entry);
// Per frame from the dispatcher: pans and sizes the display window from the pad. Returns 1 when
// the whole display is shown, 0 for the panned window.
int32_t Gfx_UpdateDisplayWindow();
// Sets both records' display environments for a screen of rect (i16 x, y, w, h): the display
// area is rect, the screen sits at 8, 20 with a height of 256, interlaced. The drawing clip stays
// empty, as the frame end relies on. Nothing when rect is null.
void Gfx_SetScreenSize(const int16_t rect[4]);
// A flat quadrilateral covering x .. x + w, y .. y + h in the interface's fill colour
// (g_abFillColour), linked in front of entry 1 of the depth table. Its address; 0 when the area is
// full, no frame is current or the frame uses the small area (the depth table's memory then
// holds the packets themselves).
uint32_t Gfx_AddFlatQuad(int16_t x, int16_t y, int16_t w, int16_t h);

// The video engine's viewport: an offset added to every rectangle, and the last rectangle set
// (i16 x, y, w, h, before the offset).
extern int16_t g_asViewportOffset[2];
extern int16_t g_asViewportRect[4];
// Clears the 3-D viewport to r, g, b; the entry is not used. Answers the device's result.
int32_t Gfx_ClearViewport(uint32_t entry, uint8_t r, uint8_t g, uint8_t b);
void Gfx_SetViewportOffset(int16_t x, int16_t y);
// Sets the 3-D viewport to the rectangle plus the offset and keeps the rectangle.
int32_t Gfx_SetViewportRect(const int16_t rect[4], int32_t, int32_t);
