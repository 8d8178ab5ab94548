// Text entry: a small window with a caption and one edit line, fed at once by the PC keyboard
// (the keyboard capture) and by an on-screen keyboard that the pad or the mouse drives. The text
// reaches the caller's buffer only on accept.
#pragma once

#include "ui/widgets.h"

#include <cstdint>

constexpr int32_t SCREEN_TEXTKEYS = 18;  // cursor on a character key
constexpr int32_t SCREEN_TEXTENTRY = 62; // cursor on a function key
constexpr int UI_TEXTENTRY_MAX = 32;
// The on-screen keyboard's 50 character keys, five rows of ten; 50..53 accept, cancel, space,
// delete.
extern const char g_szKeyboardKeys[51];
enum : uint8_t
{
    KEY_ACCEPT = 50,
    KEY_CANCEL = 51,
    KEY_BLANK = 52,
    KEY_DELETE_LAST = 53,
};

struct TEXTENTRYREQUEST
{
    int32_t x, y;
    int16_t fieldWidth; // 0: 136 pixels
    uint8_t maxLength;  // 0: 32; at most 32; the text holds at most maxLength - 1 characters
    int16_t titleText;
    char *text; // initial text in, accepted text out (maxLength bytes at most)
    void (*accept)();
    void (*cancel)();
};

extern WINDOW *g_pTextEntryWindow;
extern WINDOW *g_pKeyboardWindow; // the window holding the on-screen keyboard
extern char g_szTextEntryField[UI_TEXTENTRY_MAX + 1];
extern uint8_t g_ucKeyboardCursor;
extern uint8_t g_ucTextEntryFilter; // bit 0 letters and digits only, bit 1 digits and '.' only

// Null when a window cannot be had (nothing is left open) or an entry is already open.
WINDOW *Ui_OpenTextEntry(const TEXTENTRYREQUEST *request);
void Ui_AcceptTextEntry();
void Ui_CancelTextEntry();
void Ui_TextEntryKeyboardChanged();
void Ui_TextEntryFrameUpdate();
// Appends one character by the append rule (length and pixel width); 1 when it was taken.
int32_t Ui_TextEntryAppend(char c);
// Runs the key: a function key's action, or types the character (lower case when asked).
void Ui_TextEntryPressKey(int32_t key, bool lower);
// The pad handlers of screens 18 and 62.
void Ui_TextEntryKeyLeft();
void Ui_TextEntryKeyRight();
void Ui_TextEntryKeyUp();
void Ui_TextEntryKeyDown();
void Ui_TextEntryTypeUpper();
void Ui_TextEntryTypeLower();
void Ui_TextEntryDeleteLast();
// The key under the pointer in the keyboard window, -1 when none.
int32_t Ui_KeyboardKeyAtPointer();
