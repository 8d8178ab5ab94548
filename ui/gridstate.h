// The grid screens' state that the mouse layer and the pointer tools read: which grid is shown,
// its cursor, the video grid's row count and the paste or delete mode of grid navigation.
#pragma once

#include <cstdint>

extern uint8_t g_ucGridKind;       // 1 video, 2 song, 3 riff editor; 0 none
extern uint8_t g_ucGridRowCount;   // rows of the video grid
extern uint8_t g_ucGridPasteMode;  // 1 while navigation pastes, 0 while it deletes
extern uint8_t g_ucScreenSubState; // the video grid screen's (7) sub-state; its prompt depends on it
extern int16_t g_sGridCursorX, g_sGridCursorY; // visible cell of the cursor
// Screen 50's help topic (108: the credits).
extern uint8_t g_ucHelpTopic;

// The grid row of the cursor: the view's first row + 1 + the cursor row, never negative.
int32_t Ui_GridCursorRowClamped();
