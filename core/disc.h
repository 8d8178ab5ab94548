// The disc file layer: a fixed table of open files shaped like a console's disc library, over
// host files (the data folder) and over files on a data disc read in whole 2048-byte sectors
// through the CD command interface (platform/cd.h). Every open tries the host file first.
//
// Disc positions are packed BCD minute, second, frame: 75 sectors a second, 4500 a minute, no
// lead-in. Waits for the drive are bounded: a drive that never answers makes the call fail, it
// never hangs the program.
#pragma once

#include "platform/cd.h"

#include <cstdint>
#include <cstdio>

enum
{
    DISC_SECTOR_SIZE = 2048,
    DISC_MAX_FILES = 8,

    DISCFILE_FREE = 0,
    DISCFILE_HOST = 1,
    DISCFILE_DISC = 2,

    // Tries of a drive command before giving up, and the longest wait for the drive.
    DISC_COMMAND_TRIES = 10,
    DISC_WAIT_MS = 5000,
};

struct DISCFILE
{
    uint32_t uKind;
    uint32_t uPosition; // disc files
    uint32_t uStartSector; // disc files
    uint32_t uHostSize; // host files, taken at open
    union {
        FILE *pHostFile;
        PLATCDFILE stDisc;
    };
};
static_assert(sizeof(DISCFILE) == 40, "DISCFILE is 40 bytes");

extern DISCFILE g_aDiscFiles[DISC_MAX_FILES];
extern int g_bDiscLayerOn;
extern int g_bDiscDataDisc;

// Flags of the song loader that a disc change raises.
extern int g_bLoadAborted;
extern int g_bDiscChanged;

void Sys_DiscInit();
// The console file system's start for host files: marks the host side ready.
void Sys_DiscInitHostFiles();
// Closes every open slot (at shutdown).
void Sys_DiscShutdown();

DISCFILE *Sys_DiscOpen(const char *name);
// Size in bytes; -1 when the layer is off or the handle is bad.
int Sys_DiscFileSize(DISCFILE *handle);
// Reads size x count bytes; returns the bytes read (never past the end of the file).
int Sys_DiscRead(void *buffer, int size, int count, DISCFILE *handle);
// whence 0 start, 1 current, 2 end (disc files: position = size - offset). The new position;
// 0 when the layer is off, -1 on a bad seek.
int Sys_DiscSeek(DISCFILE *handle, int offset, int whence);
void Sys_DiscClose(DISCFILE *handle);
// Loads a file whole into a new malloc'd buffer (the caller frees it); null on failure.
void *Sys_DiscLoadFile(int region, const char *name);

// Reads count sectors from the disc into buffer; 1 when done, 0 on failure.
int Sys_DiscReadSectors(int sector, int count, void *buffer);
// Sector to BCD minute, second, frame (3 bytes); 0, or -1 when the sector has no BCD position.
int Sys_MsfFromSector(int sector, uint8_t *outMsf);
// BCD minute, second, frame to a sector; -1 when the bytes are not a valid position.
int Sys_SectorFromMsf(const uint8_t *msf);

// Opens the one-button "Okay" box with the out-of-memory text (language text 348); its answer
// calls callback (may be null). Then plays the "bad" interface sound. The box, or null when none
// could be opened.
struct MSGBOX;
MSGBOX *Sys_ShowOutOfMemoryBox(void (*callback)(uint8_t button));

int Sys_CdStop();
int Sys_CdPause();
void Sys_CdStopDrive();
// Waits (bounded) while the lid is open; returns the last drive status.
int Sys_CdWaitLid();
// mode 1: wait for a data disc and reopen the archive; mode 2: only check. 1 when ready, 0 on
// failure with g_iDiscError 3 (no disc), 4 (not a data disc) or 5 (archive reopen failed).
int Sys_DiscChange(int mode);

// Links of the chain starting at arena address link before its terminator (the link whose first
// word is -1, CONSOLE_LINK_END); an address outside the arena reads as a terminator. -1 for a chain
// that loops.
int Sys_CountLinks(uint32_t link);

// The vertical-blank callback the packet-buffer set-up hands to the console library: one timer
// tick, then event 0x10009 with argument 0. The library's hook does nothing, so the frame loop
// never calls it; it stays correct for whoever does.
void Sys_FrameCallback();
