// Movies streamed from the disc: the CD is set to the movie file, frames flow through the stream
// library (core/streamlib.h) into a ring, and the newest picture becomes the source of a 128 x 64
// 16-bit stream texture that movie objects share.
//
// The per-frame state machine keeps the drive inside the movie's sectors and loops the movie at
// its end. Every CD command is tried a bounded number of times: a drive that refuses (a machine
// without one refuses everything) costs a few calls a frame, never a hang. Main thread only.
#pragma once

#include "core/streamlib.h"

#include <cstdint>

struct IMAGEREC;

enum
{
    STREAM_SLOT_COUNT = 40,
    STREAM_RING_SECTORS = 24,
    STREAM_RING_BYTES = STREAM_RING_SECTORS * 2048,
    STREAM_SMALL_BYTES = 14336,
    STREAM_TEXTURE_WIDTH = 128,
    STREAM_TEXTURE_HEIGHT = 64,

    // g_iStreamControl
    STREAM_CONTROL_START = 0,
    STREAM_CONTROL_STOP = 1,
    STREAM_CONTROL_RUNNING = 2,
    STREAM_CONTROL_OPENED = 3, // set by Sys_StreamStart: the read states bring the stream up
    // g_iStreamRead
    STREAM_READ_READING = 1,
    STREAM_READ_WAITING = 2,
    STREAM_READ_RESTART = 3,
    // STREAMSLOT.uState
    STREAM_SLOT_USED = 1,
    STREAM_SLOT_FREE = 3,
    // Sys_StreamPutFrame kinds
    STREAM_PUT_NEWEST = 1, // older frames are released first
    STREAM_PUT_ANY = 2,
};

// A frame kept for display: where it goes, its pixels, the ring buffer to release, its time
// (loop count | frame number).
struct STREAMSLOT
{
    uint16_t uState;
    uint16_t uKind;
    uint16_t auRect[4]; // x, y, w, h
    void *pData;
    void *pRelease;
    uint32_t uTime;
};

extern uint8_t g_abStreamStart[3]; // BCD minute, second, frame of the movie's first sector
extern uint8_t g_abStreamHead[3];  // the drive's position as last read back
extern uint8_t g_abStreamPos[3];   // where the stream last sought to
extern int32_t g_iStreamControl;
extern int32_t g_iStreamRead;
extern uint32_t g_uStreamLoop; // grows by 0x10000 each time the movie passes its last frame
extern int32_t g_iStreamFirstFrame;
extern int32_t g_iStreamLastFrame;
extern int32_t g_bStreaming;
extern int32_t g_bStreamOpen; // a movie was found on the disc by Sys_StreamStart
extern STREAMSLOT g_astStreamSlots[STREAM_SLOT_COUNT];

// The stream texture and its users.
extern IMAGEREC *g_pStreamTexture;
extern int32_t g_bStreamTextureInUse;
extern int32_t g_iStreamUsers;
extern uint16_t g_uStreamClut;
extern uint8_t *g_pStreamBuffer; // the ring while the texture exists, else the small buffer
extern int32_t g_iStreamBufferSize;
extern int16_t g_asStreamMoviePos[2]; // where frames go in texture memory
// The newest picture (rows of 16-bit console colours), or null.
extern const uint16_t *g_pStreamPixels;
extern int32_t g_iStreamPixelWidth;
extern int32_t g_iStreamPixelHeight;
extern int32_t g_iStreamDisplayBuffer;
extern int32_t g_abStreamDisplayBusy[2];

// Opens the movie through the disc layer to learn where it lies and how many frames it holds.
// 0 when it lies on the disc (the stream is then set up), -1 otherwise (nothing streams).
int32_t Sys_StreamStart(const char *fileName);
void Sys_StreamUpdate();
void Sys_StreamStop();
void Sys_StreamPause();
// 1 when the drive took the position (the head is read back), 0 when it refused every try.
int32_t Sys_CdSeekTo(const uint8_t *msf);
void Sys_StreamStartRead();
int32_t Sys_StreamPollRead();
int32_t Sys_StreamPositionInRange(uint8_t m, uint8_t s, uint8_t f);
// outMsf = msf + sectors; 0, or -1 when either position is not a valid BCD position.
int32_t Sys_MsfAdd(const uint8_t *msf, uint8_t *outMsf, int32_t sectors);
int32_t Sys_StreamReadFrame();
// 0 stored, -1 when no slot is free (the caller keeps the buffer).
int32_t Sys_StreamPutFrame(const uint16_t rect[4], void *data, void *buffer, uint32_t time, int32_t kind);
void Sys_StreamResetFrames();
void Sys_StreamFreeFrames();
int32_t Sys_StreamAcquire();
void Sys_StreamRelease();
int32_t Sys_StreamCreateTexture();
void Sys_StreamFreeTexture();
void Sys_StreamClearRing();
// Frees the stream buffer and the texture at shutdown.
void Sys_StreamShutdown();
