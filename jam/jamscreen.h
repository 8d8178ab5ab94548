// The jam screen: the frame handler that draws the shown player's riff keys, pads, keyboards,
// selection marks, the four players' activity panels, the controller dial and the plug-in panel,
// and runs the per-frame input; the jam log and the chat line below it; and the mouse hotspots
// with their pop-ups and the jam's page menu.
//
// Main thread only. Whatever changes a player block takes the jam lock of g_JamNet.
#pragma once

#include <cstdint>

#include "jam/jamdata.h"

struct WINDOW;
struct POPUP;

// ---- Drawing ----

// A button of a button list: its state (0 empty, 1 assigned, 2 lit), where it is (relative to
// the list's origin) and its image per state (-1 none).
struct JAMBUTTON
{
    int32_t iState, iX, iY, aiImage[3];
};
constexpr int32_t JAM_BUTTON_END = 255;

// The four lists: riff keys, pads, keyboard 0, keyboard 1 (keyboard 1 is keyboard 0 moved right).
enum : int32_t
{
    JAM_LIST_RIFFS = 0,
    JAM_LIST_PADS = 1,
    JAM_LIST_KEYBOARD0 = 2,
    JAM_LIST_KEYBOARD1 = 3,
    JAM_BUTTON_LISTS = 4,
};
// The list's records, ended by one whose state is JAM_BUTTON_END; *originX/Y its origin.
const JAMBUTTON *Jam_ButtonList(int32_t list, int32_t *originX, int32_t *originY);

// Button states of a player: a riff key is lit while on, and when latched only on the beat
// (rowStep a multiple of 4); a pad while held; a keyboard key while in the held mask.
int32_t Jam_RiffKeyButtonState(const JAMPLAYER &player, int32_t key, int32_t rowStep);
int32_t Jam_PadButtonState(const JAMPLAYER &player, int32_t pad);
int32_t Jam_KeyboardButtonState(const JAMPLAYER &player, int32_t keyboard, int32_t key);

// Where the dial's knob is drawn for a dial position 0..255.
void Jam_DialKnobPosition(int32_t position, int32_t *x, int32_t *y);

// The jam window's frame handler.
void Jam_FrameUpdate();

// ---- The log and the chat line ----

// Opens the window that holds the log list and the chat line, and binds the jam's menu items.
WINDOW *Jam_OpenLogWindow();
// The log list shows the newest lines (after Jam_LogLine).
void Jam_RefreshLogList();
// Row text of the log list: rows 1..31 are log lines, others empty.
void Jam_LogRowText(int32_t row, char *out, int32_t size);
// The chat line being typed (60 characters at most).
constexpr int32_t JAM_CHAT_CHARS = 60;
extern char g_szJamChatLine[JAM_CHAT_CHARS + 1];
void Jam_BeginChat();
void Jam_ChatAccept();
void Jam_ChatCancel();
void Jam_ChatChanged();

// ---- Mouse ----

enum : int32_t
{
    JAM_TRIGGER_LEFT = 1,
    JAM_TRIGGER_RIGHT = 2,
    JAM_TRIGGER_HELD = 3,
};
struct JAMHOTSPOT
{
    int32_t iX, iY, iW, iH;
    void (*pfnHandler)(int32_t argument);
    int32_t iTrigger, iArgument, iCaption;
};
// The table, ended by a record whose x is -1.
const JAMHOTSPOT *Jam_Hotspots();
// True when the pointer is inside: x - 1 < px < x + 3 + w and y - 1 < py < y + h.
bool Jam_HotspotContains(const JAMHOTSPOT &spot, int32_t px, int32_t py);
// The per-frame dispatch (acts only while g_bJamKeysActive is set).
void Jam_HandleMouse();

// Shows player p in the panels: p 4 always; 0..3 when shown and not this program's own slot.
void Jam_SelectPlayer(int32_t player);
void Jam_OctaveUp(int32_t keyboard);
void Jam_OctaveDown(int32_t keyboard);
void Jam_ChooseRiff(int32_t key);
void Jam_ChoosePadInstrument(int32_t pad);
void Jam_ChooseKeyboardInstrument(int32_t keyboard);
void Jam_OpenPageMenu();
// Page 28's "Load new template": the template list again.
void Jam_OpenTemplateList();
// A row of the riff or instrument library pop-up chosen in a jam: its library entry goes to the
// riff key, pad or keyboard the pop-up was opened for (the pop-up then closes). False when nothing
// was assigned.
bool Jam_ChooseFromLibraryPopup(POPUP *popup, int32_t row);
// A pop-up or menu of the jam closed: the screen's keys and mouse act again.
void Jam_PopupsClosed();
