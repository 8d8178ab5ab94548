// The strip across the top of the editor screens: six section buttons, the prompt line, the song
// title, counters, the beat light and the function-key icons of the current menu page; and the
// switching between the big editor sections. Main thread only.
#pragma once

#include <cstdint>

struct WINDOW;

extern WINDOW *g_pTopBarWindow;
extern uint8_t g_ucTopBarButton;     // 0..5, the highlighted button
extern uint16_t g_usPromptTextId;    // language text of the prompt line
extern int32_t g_iStatusHoldFrames;  // while not 0, a status text keeps the prompt line
extern uint8_t g_ucVideoGridCountdown; // frames until the video grid opens (0 none)
// What the end of a jam rebuilds: 1 video grid, 2 song grid, 6 file screen, 7 option pages, 9 the
// network pop-up.
extern uint8_t g_ucJamReturnScreen;
extern void (*g_pfnJamEntry)();

constexpr int ED_TOPBAR_BUTTONS = 6;
constexpr int32_t ED_TOPBAR_X = 8, ED_TOPBAR_Y = 8, ED_TOPBAR_H = 60;
// The lit image of each button, and the button's x in the bar (all at y 9).
extern const int16_t g_asTopBarLitImages[ED_TOPBAR_BUTTONS];
extern const int16_t g_asTopBarButtonX[ED_TOPBAR_BUTTONS];
// Images of the bar: background pieces, beat light (stopped, then four quarters), F-key icon
// while a message box is up.
constexpr int32_t ED_TOPBAR_BACKGROUND = 733, ED_TOPBAR_PIECES = 5;
constexpr int32_t ED_BEAT_LIGHT_OFF = 719;
constexpr int32_t ED_FKEY_BLOCKED_ICON = 699;

void Ed_OpenTopBar();
void Ed_DrawTopBar(void *user);
void Ed_TopBarFrame();
void Ed_DrawFunctionKeyIcons();
void Ed_DrawPlayLight();

void Ed_TopBarLeft();
void Ed_TopBarRight();
void Ed_TopBarChoose();

void Ed_SetPromptText(int32_t textId);
void Ed_CloseWindowsThenRun(void (*action)());
void Ed_ShowSongGrid();
void Ed_ShowVideoGrid();
void Ed_LeaveScreen();
void Ed_LeaveScreenAction();
void Ed_BackAction();
void Ed_RunFunctionKey(int32_t key);
// A function key pressed in the window: runs the current menu page's item for it.
void Ed_FunctionKeyAction(int key);
void Ed_ReturnFromJam();
void Ed_WarnLowMemoryThenJam();

// The memory the song takes, in bytes, as the bar shows it.
extern int32_t g_iSongMemoryBytes;
void Ed_UpdateMemoryUsage();
