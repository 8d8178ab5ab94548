// Pop-up dialogs: a titled window holding one list from which the user picks a row (a library
// entry, a device, ...). Thirty kinds share the mechanism; each kind keeps its list position in
// its own descriptor, so it reopens where it was left. Screen 9 moves, pages library folders,
// chooses and closes; screen 48 steps whole folders while slot 0 is held.
#pragma once

#include "ui/list.h"
#include "ui/textfield.h"
#include "ui/widgets.h"

#include <cstdint>

constexpr int UI_POPUPS = 4;
constexpr int UI_POPUP_KINDS = 30;
constexpr int UI_POPUP_TEXT = 100;
constexpr int UI_POPUP_ROW_STRIDE = 102;
constexpr int UI_POPUP_PATH = 5;

enum : uint8_t
{
    POPUP_RIFF_LIBRARY = 0,
    POPUP_CLIP_LIBRARY = 1,
    POPUP_SAMPLE_LIBRARY = 2,
    POPUP_PAGE_MENU = 16,
    POPUP_JAM_CONTROLLER = 18,
    POPUP_JAM_PLUGIN_SLOT = 19,
    POPUP_JAM_PLUGIN_LIST = 20,
    POPUP_DEVICE = 21,
    POPUP_RESOLUTION = 22,
    POPUP_JAM_LIST = 23,
    POPUP_AUDIO_IN = 24,
    POPUP_AUDIO_OUT = 25,
    POPUP_MIDI_IN = 26,
};

struct POPUPDESC
{
    uint16_t root;      // archive node of the library below the archive's root
    int16_t folder;     // 1-based
    int16_t subfolder;  // 1-based
    uint16_t selected;
    uint16_t first;
};

struct POPUP
{
    WINDOW *window;
    LISTWIDGET *list;
    TEXTFIELD *titleField;
    uint8_t kind;
    uint16_t folderCount;
    uint16_t entryFolderCount;
    POPUPDESC *desc;
    char title[UI_POPUP_TEXT];
    char subtitle[UI_POPUP_TEXT];
    uint8_t hasSubtitle;
    uint8_t header[UI_HALVES][UI_QUAD_BYTES];
    uint8_t lines[UI_HALVES][4][UI_LINE_BYTES];
    uint8_t divider[UI_HALVES][UI_LINE_BYTES]; // the slot number column of kinds 4 and 19
    uint8_t rateDivider[UI_HALVES][UI_LINE_BYTES]; // kind 4: between the names and the rates
    uint8_t free;
    // The library listing of the current sub-folder, copied: the archive's listing buffer
    // changes with every navigation. Row n is names[n - 1], 32 bytes each.
    uint8_t *names;
    uint8_t *empty;
    int32_t nameCount;
};

extern POPUP g_atPopups[UI_POPUPS];
extern POPUPDESC g_atPopupDescs[UI_POPUP_KINDS];
extern POPUP *g_pCurrentPopup;
extern POPUP *g_pParentPopup; // current again when the pop-up over it goes
extern int16_t g_sReturnScreen;
// Set to 9 (the pop-up screen) when the start-up opens its pop-up (kind 29).
extern uint8_t g_ucPopupReturn;
extern void *g_pReturnFocus;
extern int32_t g_bPopupForceAccept;
extern int32_t g_bFolderStepped;
// The sample library's quality folder (0 11 kHz, 1 22 kHz, 2 44 kHz).
extern uint8_t g_ucLibraryQuality;
// The options page's resolution text, set by a choice in the resolution pop-up.
extern char g_szResolutionText[UI_POPUP_TEXT];

// The library descriptors, once the archive index has been read; frees every slot.
void Ui_InitPopupDescs();
// Frees every slot, keeping the descriptors (the widget pools' start).
void Ui_FreePopupSlots();
// Run by the archive when its index has been read.
void Ui_SetupArchiveLists();
// Null when all four slots are in use or the window cannot be made. A null desc takes the kind's
// own descriptor.
POPUP *Ui_OpenPopup(int32_t kind, POPUPDESC *desc, int32_t x, int32_t y, int32_t width, int32_t height);
// The same for a kind whose rows its opener supplies (the page menu): rows, their source and
// their drawing (null: plain text).
POPUP *Ui_OpenPopupRows(int32_t kind, POPUPDESC *desc, int32_t x, int32_t y, int32_t width, int32_t height,
                        int32_t rows, LISTFILLROW fillRow, LISTDRAWROW drawRow);
// Closes the window and frees the slot, keeping the list position in the descriptor; screen and
// focus are left to the caller. The parent pop-up, when there is one, becomes current again.
void Ui_TakeDownPopup(POPUP *p);
// Screen 9's handlers.
void Ui_ClosePopup();
void Ui_PopupChoose();
void Ui_PopupAccept();
void Ui_PopupUp();
void Ui_PopupDown();
void Ui_PopupPrevSubfolder();
void Ui_PopupNextSubfolder();
void Ui_PopupFolderModifierDown();
// Screen 48's.
void Ui_PopupFolderModifierUp();
void Ui_PopupSlot0Left();  // previous folder
void Ui_PopupSlot0Right(); // next folder

void Ui_PopupStorePosition(POPUP *p);
void Ui_PopupPrevFolder(POPUP *p);
void Ui_PopupNextFolder(POPUP *p);
void Ui_PopupReload(POPUP *p);
// In a jam the riff and sample libraries end with a folder per jam player (0..g_iJamPlayers - 1)
// listing that player's riffs or instruments, and the riff library then one with the song's
// riffs (JAM_LOCAL_PLAYER). The player of the pop-up's folder, -1 for an archive folder.
int32_t Ui_JamLibraryFolderPlayer(const POPUP *p);
void Ui_PopupDraw(void *popup);
// The right button on screen 9.
void Ui_PopupRightPress();

// The folder bar of a library list: the range over all sub-folders of the library's folders and
// the current sub-folder's place among them. False when the pop-up is not a library.
bool Ui_PopupFolderBarRange(const POPUP *p, int32_t *total, int32_t *position);
// The folder bar's press and held hook: steps one sub-folder either way.
void Ui_LibraryFolderPress(WIDGET *bar);
void Ui_LibraryFolderHeld(WIDGET *bar);

// The jam's pop-ups: the controller choice (kind 18), the local player's plug-in slots (kind 19,
// with the plug-in menu page) and the plug-in list over it (kind 20), and the menu's release and
// reset of the chosen slot, which tell the other players.
void Jam_OpenControllerList();
void Jam_OpenPluginSlotList();
void Jam_OpenPluginLoadList();
void Jam_MenuReleasePlugin();
void Jam_MenuResetPlugin();
