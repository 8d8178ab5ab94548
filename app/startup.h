// The program's spine: the entry body, start-up, the message and frame loop, the per-frame
// dispatcher with its frame states, shutdown, and registration with the lobby library.
#pragma once

#include <atomic>
#include <cstdint>

// The main window's handle: non-zero while the window exists (there is only one).
using MAINWND = uintptr_t;

extern void *g_hInstance;
extern MAINWND g_hMainWnd;
extern uint32_t g_uAutoPlayMsg;
extern int32_t g_bQuitRequested;
extern int32_t g_bAppActive;
extern int32_t g_bMainLoopStarted;
extern int32_t g_bFileThreadMode;
extern std::atomic<int32_t> g_bAudioMixEnabled; // read by the mix timer thread
extern int32_t g_iMixTimerMode;
extern int32_t g_iMainFrameCount;
extern int32_t g_iPrimitivesDrawn;
extern int32_t g_bPointerShown;
extern int16_t g_iPointerX;
extern int16_t g_iPointerY;
extern int32_t g_iFrameState;
extern int32_t g_iFrameStateCountdown;
extern void *g_pCoreHeap;
extern uint32_t g_uCoreHeapSize;
extern const int32_t *g_pPointerShape;

// Frame states of Sys_FrameDispatch.
enum
{
    FRAMESTATE_INTERFACE = 0,
    FRAMESTATE_DISPLAYWINDOW = 1,
    FRAMESTATE_PLAYLIST = 13,
    FRAMESTATE_COUNTDOWN = 16,
    FRAMESTATE_ENTEROVERLAY = 17,
};

// Lobby registration values.
constexpr int LOBBY_SERVER_TYPE = 3;
constexpr int LOBBY_TIMEOUT = 3000;
constexpr int32_t SESSION_POINTER_IMAGE = 642;
constexpr int32_t DEFAULT_POINTER_IMAGE = 642;

int Sys_MainThreadGuard(void *hInstance, void *hPrevInstance, const char *commandLine, int showCommand);
// 0 after a normal run, 0 when the window cannot be made, -2 when start-up fails.
int Sys_RunApplication(void *hInstance, void *hPrevInstance, const char *commandLine, int showCommand);
int Sys_Startup(MAINWND hwnd);
void Sys_CoreStartup();
int Sys_FrameUpdate();
void Sys_FrameDispatch();
int Sys_Shutdown(MAINWND hwnd);
void Sys_CoreShutdown();
// The core shutdown's releases of buffers other modules hold, each only what is still held (a
// shutdown after a failed start-up calls them too).
// The frame records' ordering-table arrays and the save-icon block.
void Sys_FreeFrameBlocks();
// The resource-page pool, the language texts and the grid screens' work and cell buffers.
void Sys_FreeCoreTables();
// The memory layout's heap handles.
void Sys_FreeCoreLayout();
int Sys_LobbyUnregister();
