// The main window's message handling: the keyboard as the console pad, keys for the interface,
// keyboard text entry, focus changes and the ends of the program.
#pragma once

#include "app/startup.h"
#include "core/console_memory.h"
#include "platform/window.h"

#include <cstdint>

// Port 1's button word of the console's controller buffers (active low: a clear bit is a held
// button); the keyboard drives it.
extern uint16_t &g_wPadButtons;
extern const uint16_t g_awPadKeys[16];

extern uint32_t g_uKeyModifiers; // bit 0 Shift, bit 1 Ctrl, bit 2 Alt
extern int32_t g_iLastKeyCode;

using TEXTENTRYFN = void (*)();
constexpr int TEXTENTRY_SIZE = 256;
extern char g_szTextEntry[TEXTENTRY_SIZE];
extern int32_t g_bTextEntryActive;
extern uint8_t g_ucTextEntryLimit;
extern TEXTENTRYFN g_pfnTextEntryEnter;
extern TEXTENTRYFN g_pfnTextEntryEscape;
extern TEXTENTRYFN g_pfnTextEntryChanged;
extern uint32_t g_uTextEntryFilter;

enum
{
    TEXTFILTER_ALNUM = 1,      // letters and digits
    TEXTFILTER_NUMBER = 2,     // digits and '.'; wins over the others
    TEXTFILTER_FILENAME = 4,   // letters, digits, '.', '-', '+' and space; wins over ALNUM
};

// Virtual-key numbers the window procedure acts on.
enum
{
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_ESCAPE = 0x1B,
    VK_F1 = 0x70,
    VK_F12 = 0x7B,
};

// Creates the window titled with the product name. 1, or 0 when it cannot be made.
int Sys_CreateMainWindow(void *hInstance, int showCommand);
void Sys_DestroyMainWindow();
// Handles one window event; the answer mirrors what a window procedure returns.
intptr_t Sys_WindowProc(MAINWND hwnd, const PLATEVENT &ev);
int Sys_KeyToPadButton(uint32_t keyCode);
void Sys_SetPadButtons(uint16_t bits, int set);
void Sys_SetPadConnected();
void Sys_BeginTextEntry(TEXTENTRYFN pfnEnter, TEXTENTRYFN pfnEscape, TEXTENTRYFN pfnChanged, int maxLen,
                        const char *initialText);
void Sys_EndTextEntry();
