// The console-style CD command interface under the disc file layer.
//
// Commands, status bytes and answers keep the console's numbering so the disc layer reads as the
// console code did. Every call goes through a table of operations: the default table (used by
// both the real and the headless backend until a drive backend exists) answers as a machine with
// no CD: no disc, nothing found, every command refused. Tests install their own table to serve a
// disc image from memory.
#pragma once

#include <cstdint>

// Status byte bits.
enum
{
    PLAT_CD_STATUS_PLAYING = 0x80,
    PLAT_CD_STATUS_SEEKING = 0x40,
    PLAT_CD_STATUS_READING = 0x20,
    PLAT_CD_STATUS_LID_OPEN = 0x10,
};

// Commands the disc layer issues.
enum
{
    PLAT_CD_CMD_GETSTATUS = 1, // result byte 0 = status byte
    PLAT_CD_CMD_SETLOC = 2,    // parameter = BCD minute, second, frame of the next read
    PLAT_CD_CMD_STANDBY = 7,
    PLAT_CD_CMD_STOP = 8,
    PLAT_CD_CMD_PAUSE = 9,
    PLAT_CD_CMD_SETMODE = 14, // parameter byte 0 = mode
    PLAT_CD_CMD_GETLOC = 16,  // result bytes 0-2 = BCD minute, second, frame of the head
    PLAT_CD_CMD_SEEKDATA = 0x15, // parameter = BCD minute, second, frame
};

// Answers of CheckStatus and IdentifyDisc.
enum
{
    PLAT_CD_ANSWER_NONE = 0,
    PLAT_CD_ANSWER_DATA = 2,
    PLAT_CD_ANSWER_ERROR = 5,
    PLAT_CD_ANSWER_RETRY = 16,
};

// Where a file lies on the disc, as the file search fills it: BCD minute, second, frame, 0; the
// size in bytes; the name.
struct PLATCDFILE
{
    uint8_t abPosition[4];
    uint32_t uSize;
    char szName[16];
};
static_assert(sizeof(PLATCDFILE) == 24, "disc file record is 24 bytes");

struct PLATCDOPS
{
    int (*Init)();
    // 2 when a disc is ready, 5 on an error, 16 to ask again, other values otherwise.
    int (*CheckStatus)(int mode);
    // 2 data disc, 16 ask again, 0 no disc; other values are other disc types.
    int (*IdentifyDisc)();
    // -1 when the drive cannot be used.
    int (*CheckReady)(int mode);
    // 1 and the record filled when found, 0 otherwise.
    int (*FindFile)(PLATCDFILE *record, const char *name);
    // 1 when the drive accepted the command, 0 when it refused it. result may be null.
    int (*Command)(int command, const uint8_t *param, uint8_t *result);
    // 5 on an error, other values otherwise.
    int (*Sync)(int mode, uint8_t *result);
    // The status byte as last reported.
    int (*Status)();
    // Starts reading count sectors from the position of the last seek; 1 when accepted.
    int (*ReadSectors)(int count, void *buffer, int mode);
    // Sectors still outstanding, 0 when done, -1 on an error.
    int (*ReadSync)(int mode, uint8_t *result);
};

// Installs a table of operations (kept by pointer); null restores the no-disc table.
void Plat_CdSetOps(const PLATCDOPS *ops);
const PLATCDOPS *Plat_CdOps();

int Plat_CdInit();
int Plat_CdCheckStatus(int mode);
int Plat_CdIdentifyDisc();
int Plat_CdCheckReady(int mode);
int Plat_CdFindFile(PLATCDFILE *record, const char *name);
int Plat_CdCommand(int command, const uint8_t *param, uint8_t *result);
int Plat_CdSync(int mode, uint8_t *result);
int Plat_CdStatus();
int Plat_CdReadSectors(int count, void *buffer, int mode);
int Plat_CdReadSync(int mode, uint8_t *result);

// ---- Audio drive: the table of contents and digital reads of audio sectors ----
//
// The real backend opens the system's default drive through libcdio and reads with paranoia's
// error correction; the headless backend is a virtual disc made of the WAV files track01.wav,
// track02.wav, ... in the folder named by TNV_CD_DIR (no such variable: no drive; no such folder
// or no track01.wav: no disc). The folder vanishing is the disc being taken out.
//
// Sectors are counted from the first track's start (no lead-in). An audio sector is 588 stereo
// 16-bit frames at 44100 Hz, 75 a second. Every wait for the drive is bounded.

enum
{
    PLAT_CDA_MAX_TRACKS = 99,
    PLAT_CDA_SECTOR_BYTES = 2352,
    PLAT_CDA_SECTOR_FRAMES = 588,
    PLAT_CDA_SECTORS_PER_SECOND = 75,

    // Results.
    PLAT_CDA_OK = 0,
    PLAT_CDA_NO_DRIVE = 1,
    PLAT_CDA_NO_DISC = 2,
    PLAT_CDA_DOOR_OPEN = 3,
    PLAT_CDA_READ_ERROR = 4,
    PLAT_CDA_BAD_RANGE = 5,
};

// Tracks 1..count at index 0..count - 1: first sector and length in sectors, as the drive told
// them (callers check them).
struct PLATCDTOC
{
    int32_t iTrackCount;
    int32_t aiStart[PLAT_CDA_MAX_TRACKS];
    int32_t aiLength[PLAT_CDA_MAX_TRACKS];
};

struct PLATCDAUDIOOPS
{
    int (*Open)();
    void (*Close)();
    // PLAT_CDA_OK with a disc in, PLAT_CDA_NO_DISC or PLAT_CDA_DOOR_OPEN.
    int (*DiscState)();
    int (*ReadToc)(PLATCDTOC *toc);
    // count whole sectors from sector into buffer (count x 2352 bytes).
    int (*Read)(int32_t sector, int32_t count, void *buffer);
    int (*Eject)();
};

// Installs a table (kept by pointer); null restores the backend's own.
void Plat_CdAudioSetOps(const PLATCDAUDIOOPS *ops);

int Plat_CdAudioOpen();
void Plat_CdAudioClose();
int Plat_CdAudioDiscState();
int Plat_CdAudioReadToc(PLATCDTOC *toc);
int Plat_CdAudioRead(int32_t sector, int32_t count, void *buffer);
int Plat_CdAudioEject();
