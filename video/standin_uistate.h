// Stand-ins for the interface state the video engine reads, until the editor screens build it.
// Weak, so the interface's own definitions win at link time.
#pragma once

#include <cstdint>

struct WINDOW;

extern WINDOW *g_pGridWindow;   // the main grid window, null when not open (ui/gridsetup.cpp)
extern uint8_t g_ucChaseLevel;    // the chase editor's level
extern uint8_t g_ucGridKind;      // kind of the grid shown on screen 0
extern uint8_t g_ucGridPasteMode; // 1 while the grid pastes
extern uint8_t g_ucScreenSubState; // screen 7's sub-state byte
extern int32_t g_iGridCursorColumn;
extern int32_t g_iWindowX, g_iWindowY; // position of the window showing the video

// Sets the top bar's prompt to language text id (editors/topbar.cpp).
void Ed_SetPromptText(int32_t textId);
