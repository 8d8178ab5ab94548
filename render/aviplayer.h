// The video-file frame source: shows the video stream of a file on a 16-bit surface, one frame at
// a time, paced by the clock. One player; main thread only.
#pragma once

#include "render/avireader.h"

struct TEXSURFACE;

#include <cstdint>

// A 16-bit picture the player writes into. Its pixels are null while it cannot be written (a
// lost surface): the update then fails and writes nothing.
struct AVISURFACE
{
    uint16_t *pixels;
    int32_t pitch; // bytes from one row to the next
    int32_t width;
    int32_t height;
    uint32_t greenMask; // 0x7E0 for 5:6:5, else 5:5:5
};

extern AVIREADER g_tAviReader;
extern AVISTREAMINFO g_tAviStreamInfo;
extern AVISURFACE *g_pAviSurface;
extern int32_t g_bAviPlaying;
extern int64_t g_iAviStartUs; // clock at the start, microseconds
extern int32_t g_iAviFrameWidth;  // 640 while no stream is open
extern int32_t g_iAviFrameHeight; // 480 while no stream is open

// Opens the video stream of the file at path (a host path in the studio's spelling). 0, or -1 with
// g_szErrorText naming why (the player is then closed).
int32_t Gfx_OpenAviStream(const char *path, AVISURFACE *surface);
int32_t Gfx_StartAviPlayback();
// Shows the frame that is due: 0 shown (or not playing), 1 when the stream has ended (playback
// stops), or a failing result when the frame cannot be read or the surface not written.
int32_t Gfx_UpdateAviFrame();
int32_t Gfx_StopAviPlayback();
int32_t Gfx_CloseAviStream();

// The display's back buffer as a player surface; its pixels are null while no mode is set.
void Gfx_AviBackBufferSurface(AVISURFACE *surface);
// A 16-bit texture surface (5:6:5, 5:5:5 or 1:5:5:5) as a player surface, so frames become a
// texture the 3-D device draws. 0, or -1 (surface emptied) for any other texture format.
int32_t Gfx_AviTextureSurface(const TEXSURFACE *texture, AVISURFACE *surface);
