// The CD player screen (screens 54 and 59): a full-screen audio CD player with ten transport
// buttons, sampling from the playing disc into a new instrument, and a music video generated
// from the archive's clips that plays while the disc runs. Its options page "Auto-Generate
// Video" (on screen 22) also generates a video for the song from the video track's menu.
// Main thread only.
#pragma once

#include <cstdint>

struct WINDOW;
struct MSGBOX;
struct CDTRACKENTRY;

constexpr int32_t SCREEN_CD = 54;
constexpr int32_t SCREEN_CD_SEEK = 59;
constexpr int32_t CD_TABLE_ENTRIES = 101; // entries 0..count + 1 of a full 99-track disc
constexpr int32_t CD_HOLD_FRAMES = 100;

enum : uint8_t
{
    CDSCREEN_PLAYING = 0,
    CDSCREEN_STOPPED = 1,
    CDSCREEN_FORWARD = 2,
    CDSCREEN_REWIND = 3,
    CDSCREEN_PAUSED = 4,
    CDSCREEN_SAMPLING = 5,
    CDSCREEN_CHOSEN = 6,
    CDSCREEN_PLAY_ASKED = 7,
    CDSCREEN_NO_DISC = 8,
};

enum : uint8_t
{
    CDBUTTON_PREVIOUS,
    CDBUTTON_REWIND,
    CDBUTTON_PLAY,
    CDBUTTON_SAMPLE,
    CDBUTTON_PAUSE,
    CDBUTTON_STOP,
    CDBUTTON_FORWARD,
    CDBUTTON_NEXT,
    CDBUTTON_EJECT,
    CDBUTTON_LEAVE,
    CDBUTTONS,
};

extern WINDOW *g_pCdWindow;
extern uint8_t g_ucCdState;
extern uint8_t g_ucCdCursor;
extern CDTRACKENTRY *g_pCdTrackTable; // CD_TABLE_ENTRIES entries while the screen is open
extern int16_t g_sCdTrackCount;
extern int16_t g_sCdTrack; // from 1
extern uint8_t g_aucCdLength[3];  // hours, minutes, seconds
extern uint8_t g_aucCdElapsed[3];
extern uint8_t g_ucCdHold;
extern uint8_t g_ucCdFrequency; // 0 11025, 1 22050, 2 44100 Hz; the "FREQ." selector's choice
// A rewind or fast forward pressed with the mouse runs until the left button comes up.
extern uint8_t g_bCdCursorLatched;
extern uint8_t g_bCdVideoMode;
extern uint8_t g_ucCdFade;
extern int16_t g_sCdIdle;
extern MSGBOX *g_pCdMessageBox;
extern int32_t g_iCdLastSampledSlot; // the instrument the last sampling made, 0 none
// The options page.
extern WINDOW *g_pCdOptionsWindow;
extern int32_t g_iCdVariety, g_iCdRateOfChange, g_iCdThirdValue;
extern uint8_t g_ucCdOptionsMode; // 1 CD player, 2 video track

// Times as the screen shows them: seconds split into hours, minutes and seconds (hours held to
// 255); "%.2d:%.2d:%.2d" of them.
void Ed_CdSplitTime(int32_t seconds, uint8_t out[3]);
void Ed_CdFormatTime(const uint8_t t[3], char *out, int size);

void Ed_CdPlayerCommand();
void Ed_AutoGenerateVideoCommand();
void Ed_OpenCdOptions(uint8_t mode);
void Ed_CloseCdOptions();
void Ed_AskForAudioCd();
void Ed_OpenCdScreen();
void Ed_CdCursorLeft();
void Ed_CdCursorRight();
void Ed_CdTransportAction();
void Ed_CdAskLeave();
void Ed_CdSeekStop();
// The window's per-frame step and drawing.
void Ed_CdFrame(void *user);
// The video track's "Auto-generate video" item.
void Ed_InstallCdMenuItems();
// The busy operation that generates the video (23).
void Ed_InitCdOperations();
// The leave question's "Okay" without the question.
void Ed_CdLeave();
