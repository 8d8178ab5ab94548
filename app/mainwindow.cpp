#include "app/mainwindow.h"

#include "app/calllog.h"
#include "app/devices.h"
#include "app/settings.h"
#include "app/timers.h"
#include "core/padbind.h"
#include "editors/topbar.h"
#include "jam/netjam.h"
#include "ui/padslot.h"
#include "ui/riffeditor.h"
#include "ui/widgets.h"
#include "jam/netobjects.h"
#include "video/engine.h"

#include <cstdio>
#include <cstring>

uint16_t &g_wPadButtons = Sys_PadBuffer(1)->buttons;

// Entry i is the key that drives bit i of the pad word (0: no key).
const uint16_t g_awPadKeys[16] = {
    0x60, 0,    0,    0x6B, 0x26, 0x27, 0x28, 0x25, // Numpad0, -, -, Add, Up, Right, Down, Left
    0x75, 0x1B, 0x74, 0x76, 0x72, 0x71, 0x70, 0x73, // F6, Escape, F5, F7, F3, F2, F1, F4
};

uint32_t g_uKeyModifiers = 0;
int32_t g_iLastKeyCode = 0;

char g_szTextEntry[TEXTENTRY_SIZE];
int32_t g_bTextEntryActive = 0;
uint8_t g_ucTextEntryLimit = 0;
TEXTENTRYFN g_pfnTextEntryEnter = nullptr;
TEXTENTRYFN g_pfnTextEntryEscape = nullptr;
TEXTENTRYFN g_pfnTextEntryChanged = nullptr;
uint32_t g_uTextEntryFilter = 0;

namespace {

bool IsAsciiAlnum(uint32_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool FilterAllows(uint32_t c)
{
    if (g_uTextEntryFilter & TEXTFILTER_NUMBER)
        return (c >= '0' && c <= '9') || c == '.';
    if (g_uTextEntryFilter & TEXTFILTER_FILENAME)
        return IsAsciiAlnum(c) || c == '.' || c == '-' || c == '+' || c == ' ';
    if (g_uTextEntryFilter & TEXTFILTER_ALNUM)
        return IsAsciiAlnum(c);
    return true;
}

void TextChanged()
{
    if (g_pfnTextEntryChanged)
        g_pfnTextEntryChanged();
}

intptr_t TextEntryChar(MAINWND hwnd, uint32_t c)
{
    size_t len = std::strlen(g_szTextEntry);
    switch (c) {
    case 8:
        if (len > 0)
            g_szTextEntry[len - 1] = '\0';
        TextChanged();
        return 0;
    case 9:
        for (int i = 0; i < 4; i++)
            Sys_WindowProc(hwnd, PLATEVENT{PLAT_EV_CHAR, ' '});
        return 0;
    case 10:
        Plat_Beep();
        return 0;
    case 13:
        if (g_pfnTextEntryEnter)
            g_pfnTextEntryEnter();
        g_szTextEntry[0] = '\0';
        return 0;
    case 27:
        if (g_pfnTextEntryEscape)
            g_pfnTextEntryEscape();
        return 0;
    default:
        if (c == 0 || c > 255 || !FilterAllows(c))
            return 0;
        if (len < g_ucTextEntryLimit && len + 1 < sizeof g_szTextEntry) {
            g_szTextEntry[len] = static_cast<char>(c);
            g_szTextEntry[len + 1] = '\0';
            TextChanged();
        }
        return 0;
    }
}

bool KeyDrivesPad(int bit)
{
    return bit >= 0 && (bit < 8 || g_ucFullScreenVideo == 1);
}

// Return is the pad's accept button (slot 14). The key table gives slot 14 to F1 only in the
// full-screen video, elsewhere F1 runs the menu page's item, so screens without one (options,
// value editor, mixer, file screen, lane dialogs) could not be accepted from the keyboard.
// The message box takes Return through its own shortcut, and a jam plays the keyboard.
constexpr uint32_t VK_RETURN = 0x0D;
constexpr int PAD_ACCEPT_BIT = 14;
constexpr int32_t SCREEN_MESSAGE_BOX = 17;

bool ReturnDrivesPad()
{
    return g_bJamSessionOn == 0 && g_iScreen != SCREEN_MESSAGE_BOX;
}

void KeyDown(uint32_t key)
{
    int bit = Sys_KeyToPadButton(key);
    if (KeyDrivesPad(bit))
        Sys_SetPadButtons(static_cast<uint16_t>(~(1u << bit)), 0);
    else if (key == VK_RETURN && ReturnDrivesPad())
        Sys_SetPadButtons(static_cast<uint16_t>(~(1u << PAD_ACCEPT_BIT)), 0);
    if (key == VK_SHIFT)
        g_uKeyModifiers |= 1;
    else if (key == VK_CONTROL)
        g_uKeyModifiers |= 2;
    else if (key == VK_MENU)
        g_uKeyModifiers |= 4;
    else if (key == VK_ESCAPE)
        Ui_EscapeAction();
    else if (key >= VK_F1 && key <= VK_F12) {
        if (g_bJamSessionOn == 0) {
            g_iLastKeyCode = static_cast<int32_t>(key);
            Ed_FunctionKeyAction(static_cast<int>(key));
        }
    } else
        g_iLastKeyCode = static_cast<int32_t>(key);
}

void KeyUp(uint32_t key)
{
    int bit = Sys_KeyToPadButton(key);
    if (KeyDrivesPad(bit))
        Sys_SetPadButtons(static_cast<uint16_t>(1u << bit), 1);
    else if (key == VK_RETURN) // whatever screen the press led to
        Sys_SetPadButtons(static_cast<uint16_t>(1u << PAD_ACCEPT_BIT), 1);
    if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU)
        g_uKeyModifiers = 0;
}

void Activate(uint32_t active)
{
    if (active == 0 && g_bDisplayOpen) {
        Sys_SuspendAudio(1);
        Sys_CloseAudioOutput();
        Sys_ReleaseDisplayObjects();
        Sys_CloseDisplay();
    } else if (active != 0 && g_bMainLoopStarted && g_bAppActive == 0) {
        Sys_ReopenDevices(g_iGfxDevice);
        Sys_SuspendAudio(0);
    }
    g_bAppActive = active ? 1 : 0;
}

} // namespace

int Sys_CreateMainWindow(void *, int)
{
    if (!Plat_WindowCreate(g_szProductName, 640, 480)) {
        std::fprintf(stderr, "tnvpc: cannot create the window: %s\n", Plat_WindowError());
        return 0;
    }
    g_hMainWnd = 1;
    // Showing the window activates the application before the loop starts.
    Sys_WindowProc(g_hMainWnd, PLATEVENT{PLAT_EV_ACTIVATE, 1});
    return 1;
}

void Sys_DestroyMainWindow()
{
    Sys_CallLog("Sys_DestroyMainWindow");
    if (!g_hMainWnd)
        return;
    g_bAudioMixEnabled = 0;
    Plat_WindowDestroy();
    g_hMainWnd = 0;
}

intptr_t Sys_WindowProc(MAINWND hwnd, const PLATEVENT &ev)
{
    switch (ev.type) {
    case PLAT_EV_CLOSE:
        g_bAudioMixEnabled = 0;
        Plat_PostEvent(PLAT_EV_QUIT, 0);
        return 0;
    case PLAT_EV_CLOSEREQUEST:
        Ui_HandleCloseRequest();
        return 0;
    case PLAT_EV_ACTIVATE:
        // Keys are seen only while the window has focus: none stays down after it goes.
        if (!ev.code)
            Jam_ReleaseAllKeys();
        Activate(ev.code);
        return 1;
    case PLAT_EV_KEYDOWN:
        Jam_KeyEvent(ev.code, true);
        if (!g_bTextEntryActive)
            KeyDown(ev.code);
        return 1;
    case PLAT_EV_KEYUP:
        Jam_KeyEvent(ev.code, false);
        if (!g_bTextEntryActive)
            KeyUp(ev.code);
        else if (ev.code == VK_RETURN) // an accept that opened text entry must not stay held
            Sys_SetPadButtons(static_cast<uint16_t>(1u << PAD_ACCEPT_BIT), 1);
        return 1;
    case PLAT_EV_CHAR:
        // Outside text entry a character means nothing: it must not release pad buttons or
        // clear the modifiers as a key release would.
        if (g_bTextEntryActive)
            return TextEntryChar(hwnd, ev.code);
        return 0;
    default:
        return 0;
    }
}

int Sys_KeyToPadButton(uint32_t keyCode)
{
    if (keyCode == 0) // the unused entries hold 0; no key is 0
        return -1;
    for (int i = 0; i < 16; i++)
        if (g_awPadKeys[i] == keyCode)
            return i;
    return -1;
}

void Sys_SetPadButtons(uint16_t bits, int set)
{
    if (set)
        g_wPadButtons |= bits;
    else
        g_wPadButtons &= bits;
}

void Sys_SetPadConnected()
{
    PADBUFFER *port1 = Sys_PadBuffer(1);
    port1->status = 0;
    port1->type = 0x48;
}

void Sys_BeginTextEntry(TEXTENTRYFN pfnEnter, TEXTENTRYFN pfnEscape, TEXTENTRYFN pfnChanged, int maxLen,
                        const char *initialText)
{
    g_ucTextEntryLimit = static_cast<uint8_t>((maxLen & 255) - 1);
    // The start text is cut to what the field may hold, so the buffer never holds more.
    size_t n = initialText ? strnlen(initialText, g_ucTextEntryLimit) : 0;
    std::memcpy(g_szTextEntry, initialText ? initialText : "", n);
    g_szTextEntry[n] = '\0';
    g_pfnTextEntryEnter = pfnEnter;
    g_pfnTextEntryEscape = pfnEscape;
    g_pfnTextEntryChanged = pfnChanged;
    g_bTextEntryActive = 1;
    Plat_TextInput(true);
}

void Sys_EndTextEntry()
{
    g_szTextEntry[0] = '\0';
    g_pfnTextEntryEnter = nullptr;
    g_pfnTextEntryEscape = nullptr;
    g_pfnTextEntryChanged = nullptr;
    g_bTextEntryActive = 0;
    Plat_TextInput(false);
}
