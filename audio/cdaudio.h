// CD audio and CD sampling. The player plays an audio CD by reading its sectors digitally and
// adding them to the studio's output (Snd_CdMixInto, called by the mix pump); its position runs on
// the platform clock, so it keeps counting while the output is closed. Positions are absolute
// minute:second:frame (75 frames a second, the first track at 0:02:00) packed as
// minute | second << 8 | frame << 16. All time arithmetic is done in sectors and packed at the end.
//
// g_iCdState 0 means no CD at all: every operation but open and close does nothing and returns 0.
// Operations return 0 or an error code (the text stays in g_szCdErrorText for the CD screen).
#pragma once

#include <cstdint>

enum
{
    CD_STATE_NONE = 0,
    CD_STATE_STOPPED = 1,
    CD_STATE_PAUSED = 2,
    CD_STATE_PLAYING = 3,

    CD_MAX_TRACKS = 99,
    CD_LEAD_IN_SECTORS = 150,

    // Error codes (never 0; kept in g_iCdLastError).
    CDERR_NO_DEVICE = 0x101,
    CDERR_NO_DISC = 0x102,
    CDERR_DOOR_OPEN = 0x103,
    CDERR_READ = 0x104,
    CDERR_BAD_POSITION = 0x105,
    CDERR_BAD_TRACK = 0x106,
    CDERR_BAD_TOC = 0x107,
};

// One entry of the track table handed to the CD screen.
struct CDTRACKENTRY
{
    uint8_t bMinute;
    uint8_t bSecond;
    uint8_t bFrame;
    uint8_t bTrack;
};
static_assert(sizeof(CDTRACKENTRY) == 4, "CDTRACKENTRY is 4 bytes");

extern int32_t g_iCdDeviceId; // -1 when closed
extern int32_t g_iCdState;
extern int32_t g_iCdLastError;
extern char g_szCdErrorText[256];
extern int32_t g_iCdTrackCount;
// Packed start and length of tracks 1..count; start[count + 1] is the end of the last track.
extern uint32_t g_auCdTrackStart[CD_MAX_TRACKS + 2];
extern uint32_t g_auCdTrackLength[CD_MAX_TRACKS + 2];
extern uint32_t g_uCdDiscEnd; // packed sum of the track lengths
extern int32_t g_iCdCurrentTrack;
extern int32_t g_iCdStepForwardSeconds;
extern int32_t g_iCdStepBackSeconds;
extern int32_t g_iCdSampleRate;
extern int32_t g_iCdSampleRateCode;
extern int32_t g_bMixWasOnBeforeSampling;

// Packing helpers: sectors from the first track's start <-> packed absolute positions.
uint32_t Snd_CdPackSector(int32_t sector);
// -1 for seconds or frames out of range.
int32_t Snd_CdSectorFromMsf(int minute, int second, int frame);

int Snd_CdOpenDevice();
int Snd_CdCloseDevice();
int Snd_CdPlay();
int Snd_CdPlayFrom(int minute, int second, int frame);
int Snd_CdStop();
int Snd_CdPause();
int Snd_CdSeek(int minute, int second, int frame);
int Snd_CdEject();
// The status byte: 0x80 playing, 0x40 seeking, 0x10 door open, 0x02 paused or not ready, 0
// stopped; an error code on failure.
int Snd_CdGetStatus();
int Snd_CdGetPosition();
int Snd_CdGetTrackCount();
int Snd_CdGetCurrentTrack();
// Reads the table of contents into the track tables; the packed end of the last track, or an
// error code.
int Snd_CdReadTrackList();
int Snd_CdStepForward();
int Snd_CdStepBack();

int Snd_CdCommand(int command, const uint8_t *param, uint8_t *result);
int Snd_CdPositionCommand(int command, const uint8_t *param, uint8_t *result);
// Fills table[1..count + 1] (the caller's array holds count + 2 entries); the track count, or 0.
int Snd_CdGetTrackTable(CDTRACKENTRY *table);
int Snd_CdInit();
int Snd_CdReinit();
int Snd_CdStatus();
int Snd_CdCheckStatus(int mode);

// The file-system side of the interface: this drive never holds a data disc.
int Snd_CdFindFile(void *record, const char *name);
int Snd_CdIdentifyDisc();
int Snd_CdCheckReady(int mode);
int Snd_CdReadSectors(int count, void *buffer, int mode);
int Snd_CdSetFlags(int flags);
int Snd_CdReadSync(int mode, uint8_t *result);
int Snd_CdSetHandler(void *handler);
int Snd_CdSync(int mode, uint8_t *result);

// Sampling at rate code 0 (11025), 1 (22050) or 2 (44100 Hz). While a disc plays, the disc's own
// sound is taken digitally from the position at start to the position at stop; otherwise the
// sound input is recorded. Start: 0, or -1 (mix given back). Stop: the new instrument slot, or
// -1 (nothing recorded, disc gone; g_szCdErrorText says why).
int Snd_CdStartSampling(int rateCode);
int Snd_CdStopSampling();

// Adds frames of the playing disc to an interleaved stereo block (the mix pump's thread).
void Snd_CdMixInto(int16_t *block, int32_t frames);
