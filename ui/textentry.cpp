#include "ui/textentry.h"

#include "app/calllog.h"
#include "app/mainwindow.h"
#include "core/padbind.h"
#include "render/fonts.h"
#include "render/prims2d.h"
#include "sequencer/instruments.h"
#include "ui/langtext.h"
#include "ui/mouse.h"
#include "ui/textfield.h"
#include "editors/topbar.h"

#include <algorithm>
#include <cctype>
#include <cstring>

const char g_szKeyboardKeys[51] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!?():;,.@$+-#\"";
WINDOW *g_pTextEntryWindow = nullptr;
WINDOW *g_pKeyboardWindow = nullptr;
char g_szTextEntryField[UI_TEXTENTRY_MAX + 1];
uint8_t g_ucKeyboardCursor = KEY_ACCEPT;
uint8_t g_ucTextEntryFilter = 0;

namespace {

// The on-screen keyboard below the edit line, in the same window (a click acts only on the
// focused window): ten 22-pixel keys a row, 16-pixel rows, then the four function keys.
constexpr int kKeyboardH = 112;
constexpr int kKeyX = 10, kKeyY = 50, kKeyW = 22, kKeyH = 16;
constexpr int kFnX = 10, kFnY = 132, kFnW = 55, kFnH = 16;
const int16_t kFnTexts[4] = {136, 137, 138, 139};
const char *const kFnLabels[4] = {"OK", "CANCEL", "SPACE", "DEL"};

struct TEXTENTRYSTATE
{
    TEXTFIELD *caption, *edit;
    int16_t savedScreen;
    void (*accept)();
    void (*cancel)();
    char *buffer;
    int16_t fieldWidth;
    uint8_t maxLength;
    void *savedFocus;
    int16_t titleText;
} s_te;

void KeyRect(int key, int *x, int *y, int *w, int *h)
{
    if (key >= KEY_ACCEPT) {
        *x = kFnX + (key - KEY_ACCEPT) * kFnW;
        *y = kFnY;
        *w = kFnW - 2;
        *h = kFnH;
    } else {
        *x = kKeyX + (key % 10) * kKeyW;
        *y = kKeyY + (key / 10) * kKeyH;
        *w = kKeyW - 2;
        *h = kKeyH - 2;
    }
}

void DrawKeyboard(void *)
{
    g_pFont = &g_tFontMain;
    const uint32_t colour = g_uiTextColour;
    for (int k = 0; k <= KEY_DELETE_LAST; k++) {
        int x, y, w, h;
        KeyRect(k, &x, &y, &w, &h);
        const bool on = k == g_ucKeyboardCursor;
        g_uiTextColour = on ? 0xFFFFFF : 0x808080;
        char label[2] = {k < KEY_ACCEPT ? g_szKeyboardKeys[k] : '\0', '\0'};
        const char *text = k < KEY_ACCEPT ? label : kFnLabels[k - KEY_ACCEPT];
        Gfx_DrawTextCentred(text, x + w / 2, y + 2, g_pOrderingTable);
        if (on)
            Gfx_AddTile(x, y, w, h, 0, 96, 0);
        Gfx_AddBevelBox(x, y, w, h);
    }
    g_uiTextColour = colour;
}

void Ui_KeyboardClick(int32_t event)
{
    if (event != UI_CLICK_PRESS)
        return;
    const int32_t key = Ui_KeyboardKeyAtPointer();
    if (key < 0)
        return;
    g_ucKeyboardCursor = uint8_t(key);
    g_iNextScreen = key >= KEY_ACCEPT ? SCREEN_TEXTENTRY : SCREEN_TEXTKEYS;
    Ui_TextEntryPressKey(key, false);
}

// The held handlers act at once, after 12 frames, then every third frame.
bool RepeatReady()
{
    g_bKeyHeldMark = 1;
    return g_iRepeatDelay == 0 && (g_iKeyRepeatCount == 0 || g_iKeyRepeatCount >= 12);
}

void MoveCursor(int key, bool setDelay)
{
    g_ucKeyboardCursor = uint8_t(key);
    g_iNextScreen = key >= KEY_ACCEPT ? SCREEN_TEXTENTRY : SCREEN_TEXTKEYS;
    if (setDelay)
        g_iRepeatDelay = 3;
    if ((g_ucMouseButtons & MOUSE_MODE) && g_pKeyboardWindow) {
        int x, y, w, h;
        KeyRect(key, &x, &y, &w, &h);
        g_sMouseX = int16_t(g_pKeyboardWindow->x + x + w / 2);
        g_sMouseY = int16_t(g_pKeyboardWindow->y + y + h / 2);
    }
}

void CopyBounded(char *dst, const char *src, size_t maxChars)
{
    const size_t n = src ? strnlen(src, maxChars) : 0;
    std::memcpy(dst, src ? src : "", n);
    dst[n] = '\0';
}

// Characters the field may hold: the length limit and the pixel width.
size_t FitText(char *text)
{
    const size_t limit = s_te.maxLength ? size_t(s_te.maxLength - 1) : 0;
    size_t n = strnlen(text, limit);
    text[n] = '\0';
    g_pFont = &g_tFontMain;
    while (n > 0 && Gfx_GetTextWidth(text) >= s_te.fieldWidth)
        text[--n] = '\0';
    return n;
}

void Close(bool accepted)
{
    Sys_EndTextEntry();
    g_iNextScreen = s_te.savedScreen;
    WINDOW *w = g_pTextEntryWindow;
    g_pTextEntryWindow = g_pKeyboardWindow = nullptr;
    if (w)
        Ui_CloseWindow(w);
    Ui_SetFocus(s_te.savedFocus);
    if (accepted && s_te.buffer) {
        // The caller's buffer holds maxLength bytes: the text and its NUL fit.
        CopyBounded(s_te.buffer, g_szTextEntryField, s_te.maxLength - 1u);
    }
    void (*cb)() = accepted ? s_te.accept : s_te.cancel;
    s_te.buffer = nullptr;
    if (cb)
        cb();
}

} // namespace

WINDOW *Ui_OpenTextEntry(const TEXTENTRYREQUEST *r)
{
    Sys_CallLog("Ui_OpenTextEntry");
    if (!r || g_pTextEntryWindow)
        return nullptr;
    WINDOWDESC wd{};
    wd.x = uint16_t(std::clamp<int32_t>(r->x, 0, 0xFFFF));
    wd.y = uint16_t(std::clamp<int32_t>(r->y, 0, 0xFFFF));
    wd.w = 240;
    wd.h = uint16_t(44 + kKeyboardH);
    wd.style = 1;
    wd.input = Ui_TextEntryFrameUpdate;
    wd.draw = DrawKeyboard;
    WINDOW *w = Ui_OpenWindow(&wd);
    if (!w)
        return nullptr;
    WINDOW *k = w;
    s_te = TEXTENTRYSTATE{};
    s_te.titleText = r->titleText;
    TEXTFIELDDESC cd{Ui_Text(r->titleText), 6, 5, 227, 14, w, 0, 0, 128, 0};
    TEXTFIELDDESC ed{g_szTextEntryField, 6, 23, 227, 14, w, 0, 128, 0, 6};
    s_te.caption = k ? Ui_CreateTextField(&cd) : nullptr;
    s_te.edit = s_te.caption ? Ui_CreateTextField(&ed) : nullptr;
    if (!s_te.edit) {
        Ui_CloseWindow(w);
        return nullptr;
    }
    s_te.edit->head.flags |= WIDGET_TEXT_CURSOR;
    g_pTextEntryWindow = w;
    g_pKeyboardWindow = k;
    Ui_SetWindowRole(UI_ROLE_KEYBOARD, k, Ui_KeyboardClick);
    g_ucTextEntryFilter = 0;
    s_te.savedScreen = int16_t(g_iScreen);
    s_te.accept = r->accept;
    s_te.cancel = r->cancel;
    s_te.buffer = r->text;
    s_te.fieldWidth = r->fieldWidth ? r->fieldWidth : 136;
    s_te.maxLength = uint8_t(r->maxLength == 0 ? UI_TEXTENTRY_MAX : std::min<int>(r->maxLength, UI_TEXTENTRY_MAX));
    // A caller's text longer than the field allows is cut, never copied past the field.
    std::memset(g_szTextEntryField, 0, sizeof g_szTextEntryField);
    CopyBounded(g_szTextEntryField, r->text, s_te.maxLength - 1u);
    FitText(g_szTextEntryField);
    // The press that opened the entry does not type.
    g_iRepeatDelay = 3;
    g_iKeyRepeatCount = 1;
    g_bKeyHeldMark = 1;
    s_te.savedFocus = g_pFocusWidget;
    Ui_SetFocus(w);
    g_ucKeyboardCursor = KEY_ACCEPT;
    g_iNextScreen = SCREEN_TEXTENTRY;
    g_uTextEntryFilter = g_ucTextEntryFilter;
    Sys_BeginTextEntry(Ui_AcceptTextEntry, Ui_CancelTextEntry, Ui_TextEntryKeyboardChanged, s_te.maxLength,
                       g_szTextEntryField);
    return w;
}

void Ui_AcceptTextEntry()
{
    Sys_CallLog("Ui_AcceptTextEntry");
    if (g_pTextEntryWindow)
        Close(true);
}

void Ui_CancelTextEntry()
{
    Sys_CallLog("Ui_CancelTextEntry");
    if (g_pTextEntryWindow)
        Close(false);
}

void Ui_TextEntryKeyboardChanged()
{
    if (!g_pTextEntryWindow)
        return;
    CopyBounded(g_szTextEntryField, g_szTextEntry, s_te.maxLength - 1u);
    // The PC keyboard keeps to the same pixel width as the pad; the capture follows the field.
    if (FitText(g_szTextEntryField) < std::strlen(g_szTextEntry))
        CopyBounded(g_szTextEntry, g_szTextEntryField, sizeof g_szTextEntryField - 1);
}

void Ui_TextEntryFrameUpdate()
{
    Ui_KeyRepeatTick();
    const uint8_t k = g_ucKeyboardCursor;
    Ed_SetPromptText(k >= KEY_ACCEPT ? kFnTexts[std::min<int>(k - KEY_ACCEPT, 3)] : s_te.titleText);
}

int32_t Ui_TextEntryAppend(char c)
{
    const size_t len = strnlen(g_szTextEntryField, UI_TEXTENTRY_MAX);
    if (len + 1 >= s_te.maxLength)
        return 0;
    char probe[UI_TEXTENTRY_MAX + 2];
    std::memcpy(probe, g_szTextEntryField, len);
    probe[len] = c;
    probe[len + 1] = '\0';
    g_pFont = &g_tFontMain;
    if (Gfx_GetTextWidth(probe) >= s_te.fieldWidth)
        return 0;
    std::memcpy(g_szTextEntryField, probe, len + 2);
    // One text: the PC keyboard goes on from what the pad typed.
    if (g_bTextEntryActive)
        CopyBounded(g_szTextEntry, g_szTextEntryField, sizeof g_szTextEntryField - 1);
    return 1;
}

void Ui_TextEntryPressKey(int32_t key, bool lower)
{
    if (!g_pTextEntryWindow || key < 0 || key > KEY_DELETE_LAST)
        return;
    switch (key) {
    case KEY_ACCEPT: Ui_AcceptTextEntry(); return;
    case KEY_CANCEL: Ui_CancelTextEntry(); return;
    case KEY_BLANK: Ui_TextEntryAppend(' '); return;
    case KEY_DELETE_LAST: {
        const size_t len = strnlen(g_szTextEntryField, UI_TEXTENTRY_MAX);
        if (len) {
            g_szTextEntryField[len - 1] = '\0';
            if (g_bTextEntryActive)
                CopyBounded(g_szTextEntry, g_szTextEntryField, sizeof g_szTextEntryField - 1);
        }
        return;
    }
    default: break;
    }
    if ((g_ucTextEntryFilter & 1) && key >= 36) {
        Seq_PlayInterfaceSound(3);
        return;
    }
    const char c = g_szKeyboardKeys[key];
    Ui_TextEntryAppend(lower ? char(std::tolower(static_cast<unsigned char>(c))) : c);
}

void Ui_TextEntryKeyLeft()
{
    if (!RepeatReady())
        return;
    const int k = g_ucKeyboardCursor;
    if (k < KEY_ACCEPT ? k % 10 != 0 : k > KEY_ACCEPT)
        MoveCursor(k - 1, true);
}

void Ui_TextEntryKeyRight()
{
    if (!RepeatReady())
        return;
    const int k = g_ucKeyboardCursor;
    if (k < KEY_ACCEPT ? k % 10 != 9 : k < KEY_DELETE_LAST)
        MoveCursor(k + 1, true);
}

void Ui_TextEntryKeyUp()
{
    if (!RepeatReady())
        return;
    static const uint8_t kFromFn[4] = {41, 43, 46, 48};
    const int k = g_ucKeyboardCursor;
    if (k >= KEY_ACCEPT)
        MoveCursor(kFromFn[k - KEY_ACCEPT], true);
    else if (k >= 10)
        MoveCursor(k - 10, true);
}

void Ui_TextEntryKeyDown()
{
    if (!RepeatReady())
        return;
    const int k = g_ucKeyboardCursor;
    if (k < 40)
        MoveCursor(k + 10, true);
    else if (k < KEY_ACCEPT)
        MoveCursor(k <= 43 ? KEY_ACCEPT : k <= 45 ? KEY_CANCEL : k <= 48 ? KEY_BLANK : KEY_DELETE_LAST, false);
}

void Ui_TextEntryTypeUpper()
{
    // On a function key this runs on the press alone; the held binding of the character keys
    // repeats.
    if (g_ucKeyboardCursor < KEY_ACCEPT && !RepeatReady())
        return;
    g_iRepeatDelay = 3;
    Ui_TextEntryPressKey(g_ucKeyboardCursor, false);
}

void Ui_TextEntryTypeLower()
{
    if (!RepeatReady())
        return;
    g_iRepeatDelay = 3;
    Ui_TextEntryPressKey(g_ucKeyboardCursor, true);
}

void Ui_TextEntryDeleteLast()
{
    if (!RepeatReady())
        return;
    g_iRepeatDelay = 3;
    Ui_TextEntryPressKey(KEY_DELETE_LAST, false);
}

int32_t Ui_KeyboardKeyAtPointer()
{
    const WINDOW *w = g_pKeyboardWindow;
    if (!w)
        return -1;
    const int px = g_sMouseX - w->x, py = g_sMouseY - w->y;
    for (int k = 0; k <= KEY_DELETE_LAST; k++) {
        int x, y, kw, kh;
        KeyRect(k, &x, &y, &kw, &kh);
        if (px >= x && px < x + kw && py >= y && py < y + kh)
            return k;
    }
    return -1;
}
