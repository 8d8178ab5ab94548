// Menu pages: each editing screen has a page of menu items (its page menu), twelve function-key
// items and the pad shortcuts of its items. The item rows are one table; an item whose handler
// is null is shown greyed and refuses to run. Editors install their handlers at start-up, and a
// few rows are rewritten while the program runs.
#pragma once

#include <cstdint>

struct POPUP;
struct POPUPDESC;

constexpr int MENU_ITEM_ROWS = 167;
constexpr int MENU_PAGES = 32;
constexpr int MENU_PAGE_ITEMS = 32;  // list bytes, 0xFF-ended
constexpr int MENU_FKEYS = 12;
constexpr int MENU_ROW_STATES = 30;
constexpr uint8_t MENU_LIST_END = 0xFF;
constexpr uint8_t MENU_EMPTY_ITEM = 165;
constexpr uint16_t MENU_NO_SLOT = 66;
constexpr int16_t MENU_PAGE_NONE = 31; // while playback runs: no menu, no shortcuts

typedef void (*MENUHANDLER)();

struct MENUITEM
{
    uint32_t icon;       // interface image, 0 = none
    MENUHANDLER handler; // null = greyed
    int16_t text;        // language text id
    uint16_t slot;       // pad slot (low byte compared); 66 = none
    uint32_t reserved;
};

struct MENUPAGE
{
    uint8_t items[MENU_PAGE_ITEMS]; // item rows, ended by 0xFF
    uint8_t fkeys[MENU_FKEYS];      // F1..F12 item rows; 165 = none
    int16_t title;                  // language text id
    int16_t headerIcons[5];         // title-bar images, 0 = none
};

struct MENUROWSTATE
{
    uint8_t current, target; // brightness
    int16_t icon;
};

extern const MENUITEM g_atMenuItemTable[MENU_ITEM_ROWS]; // as built
extern MENUITEM g_atMenuItems[MENU_ITEM_ROWS];           // in use: handlers and rewrites
extern const MENUPAGE g_atMenuPageTable[MENU_PAGES];
extern int16_t g_sMenuPage;
extern const uint8_t *g_pMenuItems;
extern const uint8_t *g_pMenuFKeys;
extern int16_t g_sMenuItemCount;
extern MENUROWSTATE g_aMenuRowState[MENU_ROW_STATES];

// Back to the rows as built (handlers gone).
void Ui_ResetMenuItems();
void Ui_SetMenuItemHandler(int row, MENUHANDLER handler);
// Makes a page current (out-of-range pages are taken as page 31).
void Ui_SetMenuPage(int16_t page);
// Runs the first item in the current page's list with this pad slot and a handler (never on
// page 31); an item that has the slot but no handler yet refuses.
void Ui_RunPageItemForSlot(int32_t slot);
// The item row of function key n (0 = F1) on the current page, or -1 for none.
int Ui_MenuFKeyRow(int n);
// Runs function key n's item; greyed or none: the refusal sound. Returns whether it ran.
bool Ui_RunMenuFKey(int n);
// Chooses visible row n (0-based) of the current page's list: greyed refuses with sound 3 and
// stays; otherwise sound 0 and the handler runs. Returns whether it ran.
bool Ui_ChooseMenuRow(int n);

// Where the page menu of a page goes: width fits the longest item (+75) and the title with its
// header icons (+48, +16 each), at most 350; height rows*16 + 31, at most 400; x = W/2 - 104,
// y = 69 (page 9: H/2 - 50). rows overrides the item count when not negative (chase-type pages).
void Ui_PageMenuGeometry(int16_t page, int rows, int32_t *x, int32_t *y, int32_t *w, int32_t *h);
// The item text of 1-based row n of the current page ("" outside the list).
void Ui_PageMenuRowText(int row, char *out, int size);

// The page menu: a pop-up list of the current page's items (screen 21).
extern POPUP *g_pPageMenuPopup;     // null while closed
extern int16_t g_sPageMenuSavedScreen;
extern void *g_pPageMenuSavedFocus;
extern int16_t g_sPageMenuRows;     // rows of the open menu (chase-type pages: the types)
// Each page's list position, kept between openings.
extern POPUPDESC g_atPageMenuDescs[MENU_PAGES];
// Handlers the rewritten rows take, installed by their editors; null leaves the row greyed.
extern MENUHANDLER g_pfnLinkChannel, g_pfnAskUnlinkChannel; // row 132 on page 4
extern MENUHANDLER g_pfnUpgradeSample, g_pfnDowngradeSample; // rows 35 and 34 on page 5

// Rows 132 (page 4) and 34/35 (page 5) follow the editor's state; run when the menu opens.
void Ui_RewriteMenuRows(int16_t page);
void Ui_OpenPageMenu();
void Ui_OpenPageMenuWithSound();
void Ui_ClosePageMenu();
void Ui_ChoosePageMenuItem();
void Ui_PageMenuUp();
void Ui_PageMenuDown();
// Slot 13 of a pop-up: the page menu over it, for the kinds that have one.
void Ui_PopupOpenPageMenu();
// Slot 13 of the chase editor's value scroller.
void Ui_ListViewPageMenu();
// The list callbacks: fill a row buffer (number word, text) and draw a row.
void Ui_PageMenuFillRow(int32_t op, int32_t number, void *row, void *user);
void Ui_DrawMenuItemRow(void *row, int32_t x, int32_t y);
// The header icons of the current page, right to left from x = menu width - 1.
void Ui_DrawPageMenuIcons();
