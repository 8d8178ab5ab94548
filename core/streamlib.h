// The movie stream library: reads a movie's sectors from the disc through the CD command interface
// into a ring handed over by the caller, checks them, and hands back whole frames.
//
// A movie file is a run of frames of STREAM_FRAME_SECTORS sectors each. Every sector starts with a
// 32-byte little-endian header:
//   u16 magic STREAM_SECTOR_MAGIC, u16 kind (STREAM_KIND_PICTURE for pictures),
//   u16 index of the sector in its frame, u16 sectors in the frame (STREAM_FRAME_SECTORS),
//   u32 frame number (counted from 1), u32 bytes of the frame's data,
//   u16 width of the picture in bytes, u16 height in rows, 12 bytes 0.
// The frame's data are the sectors' remaining bytes joined in order: u32 picture offset, 8 bytes
// 0, then at 12 + picture offset the picture's rows of 16-bit console colours.
//
// Reads run one frame at a time and never wait: a read is started, and a later call collects it
// when the drive reports it done. Frames stay in their ring slot until released. Main thread only.
#pragma once

#include <cstdint>

enum
{
    STREAM_SECTOR_MAGIC = 0x4D56,
    STREAM_SECTOR_HEADER = 32,
    STREAM_FRAME_SECTORS = 6,
    STREAM_SECTOR_DATA = 2048 - STREAM_SECTOR_HEADER,
    STREAM_FRAME_BYTES = STREAM_FRAME_SECTORS * STREAM_SECTOR_DATA,
    STREAM_KIND_PICTURE = 4,
    // Read mode of movie sectors: double speed, whole data sectors.
    STREAM_READ_MODE = 0x180,
};

// The header of a frame as the stream library hands it back.
struct STREAMHEADER
{
    uint16_t uKind;
    uint16_t uSectors;
    uint32_t uFrameNumber;
    uint32_t uFrameBytes;
    uint16_t uWidth; // bytes a row
    uint16_t uHeight;
};

// Ring hand-over: frames are kept in slots of the ring (sectors x 2048 bytes; null takes it back).
void Sys_StreamLibSetRing(void *ring, int32_t sectors);
// Set-up: frames below firstFrame are dropped, as are frames above lastFrame (-1: no end).
void Sys_StreamLibSetup(int32_t mode, int32_t firstFrame, int32_t lastFrame, void (*onFrame)(),
                        void (*onEnd)());
// Forgets every frame and any read in progress.
void Sys_StreamLibClear();
// Starts reading the movie at a disc sector; 1 when the drive accepted it.
int32_t Sys_StreamLibStartRead(int32_t sector);
// Stops reading (the frames already kept stay).
void Sys_StreamLibStopRead();
// The next whole frame: 0 and the slot's data and header, or 1 when none is ready.
int32_t Sys_StreamLibNext(uint32_t **buffer, STREAMHEADER **header);
// Frame number of the last frame handed out (0 before any).
int32_t Sys_StreamLibFrameNumber();
// Frees the slot of a frame handed out by Sys_StreamLibNext; other pointers are ignored.
int32_t Sys_ReleaseBuffer(void *buffer);
// Sector the next read starts at; -1 when not reading.
int32_t Sys_StreamLibNextSector();
// Frames refused because their sectors did not fit together (for the diagnostics).
int32_t Sys_StreamLibBadFrames();
