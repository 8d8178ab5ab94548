// Operations on the main editing grid: back to the editor menu, the saved view, the cursor, the
// beat line, the mute panel (screen 51) and the frame colour styles.
#pragma once

#include "render/fonts.h"

#include <atomic>
#include <cstdint>

extern uint8_t g_ucGridToolMode;   // 1 draw, 0 erase
extern int16_t g_asSavedGridView[4]; // first column, first row, cursor x, cursor y
extern uint8_t g_ucMutePanelRow;
extern int32_t g_iBeatLineOffset;  // pixels the play line sits left of the cell's right edge
// Four styles (green, red, blue, magenta) of four colours: lines, plain bands, two shaded bands.
extern const uint8_t g_aaabGridFrameStyles[4][4][3];

void Ui_ReturnToEditorMenu();
void Ui_FinishCursorGlide();
void Ui_SetGridOrigin(int32_t column, int32_t row);
void Ui_SaveGridView();
void Ui_RestoreGridView();
void Ui_ClampGridCursorRow();
void Ui_UpdateBeatPosition();
void Ui_AfterPlayHook();

void Ui_OpenMutePanel();
void Ui_MutePanelUp();
void Ui_MutePanelDown();
void Ui_MutePanelToggle();
void Ui_MutePanelClose();

// Set while a play started from the grid runs, so the view follows the playing row.
extern uint8_t g_bGridFollowPlay;
void Ui_FollowPlayback();
void Ui_StopPlayback();
void Ui_EndPlayback();
// Song play ran past its last row. Called on the mix thread, so it only raises g_bSongEnded; the
// next interface frame (Ui_TakeSongEnd) returns to the grid's menu and brings the cursor back.
extern std::atomic<int32_t> g_bSongEnded;
void Ui_OnSongEnd();
void Ui_TakeSongEnd();

// Leaving sub-screens.
void Ui_LeaveToGrid(uint8_t button);
void Ui_CancelRangeMark();
void Ui_BeginRangeMark(int32_t column, int32_t row);
void Ui_ReturnAndErase();
void Ui_ReturnAndDraw();

// Play and stop from the grid.
void Ui_PlayFromCursor();
void Ui_PlayVideoFromCursor();
void Ui_RestartMarkedPlay();

// The tools on a cell: the cell under the mouse pointer, the tool mode choosing.
void Ui_EraseAtCell();
void Ui_DrawAtCell();
void Ui_DrawAtCursorCell();
void Ui_ApplyToolAtPointer();
void Ui_ClickRiffCell();
void Ui_RebuildAndRefresh();

// The sample editor's 232-pixel bar position of a value between start and end.
int32_t Ui_ValueToBarPixels(int64_t value, int64_t start, int64_t end);

// The song options panel (tempo).
struct SONGOPTIONS
{
    int16_t tempo;
    uint8_t changed;
};
extern SONGOPTIONS g_tSongOptions;
void Ui_ClearOptionPanelFlag();
void Ui_LoadSongOptions();
void Ui_ApplyOptionPanel();

// The interface fonts: main "tonnivel" on image 0, small "teeny" on 3, tiny "weewee" on 4.
extern FONT g_atUiFonts[3];
extern uint8_t g_bUiFontsLoaded;
// Loads the three; a missing or broken file leaves its record as it was and says so on stderr.
void Ui_LoadInterfaceFonts();
