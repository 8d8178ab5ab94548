// Operations on the main editing grid: back to the editor menu, the saved view, the cursor, the
// beat line, the mute panel (screen 51) and the frame colour styles.
#pragma once

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
