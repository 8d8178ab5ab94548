#include "ui/menupages.h"

#include "app/calllog.h"
#include "core/padbind.h"
#include "core/soundlib.h"
#include "ui/amchannels.h"
#include "ui/riffeditor.h"
#include "editors/topbar.h"
#include "jam/jamscreen.h"
#include "jam/netobjects.h"
#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "sequencer/instruments.h"
#include "sequencer/playback.h"
#include "ui/chasepicker.h"
#include "video/chase.h"
#include "video/render.h"
#include "ui/gridops.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/mouse.h"
#include "ui/popup.h"
#include "ui/riffpalette.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

MENUITEM g_atMenuItems[MENU_ITEM_ROWS];
int16_t g_sMenuPage;
const uint8_t *g_pMenuItems = g_atMenuPageTable[0].items;
const uint8_t *g_pMenuFKeys = g_atMenuPageTable[0].fkeys;
int16_t g_sMenuItemCount;
MENUROWSTATE g_aMenuRowState[MENU_ROW_STATES];
POPUP *g_pPageMenuPopup;
int16_t g_sPageMenuSavedScreen;
void *g_pPageMenuSavedFocus;
int16_t g_sPageMenuRows;
POPUPDESC g_atPageMenuDescs[MENU_PAGES];
MENUHANDLER g_pfnLinkChannel, g_pfnAskUnlinkChannel;
MENUHANDLER g_pfnUpgradeSample, g_pfnDowngradeSample;

namespace {

struct ItemsInit
{
    ItemsInit()
    {
        Ui_ResetMenuItems();
        Ui_SetMenuPage(0);
    }
} s_itemsInit;

int32_t MainFontWidth(const char *text)
{
    FONT *saved = g_pFont;
    g_pFont = &g_tFontMain;
    const int32_t w = Gfx_GetTextWidth(text);
    g_pFont = saved;
    return w;
}

// What an item without a handler does when asked to run: the refusal sound and one log line.
void Refuse(const char *what, int32_t n)
{
    static char names[16][32];
    const int k = (n >= 0 && n < 16) ? n : 0;
    std::snprintf(names[k], sizeof names[k], "%s(%d)", what, int(n));
    Ui_RefuseUnbuilt(names[k]);
}

bool MenuOpen();
void TakeDownMenu();

} // namespace

void Ui_ResetMenuItems()
{
    std::memcpy(g_atMenuItems, g_atMenuItemTable, sizeof g_atMenuItems);
}

void Ui_SetMenuItemHandler(int row, MENUHANDLER handler)
{
    if (row >= 0 && row < MENU_ITEM_ROWS)
        g_atMenuItems[row].handler = handler;
}

void Ui_SetMenuPage(int16_t page)
{
    if (page < 0 || page >= MENU_PAGES)
        page = MENU_PAGE_NONE;
    g_sMenuPage = page;
    g_pMenuItems = g_atMenuPageTable[page].items;
    g_pMenuFKeys = g_atMenuPageTable[page].fkeys;
    int16_t n = 0;
    while (n < MENU_PAGE_ITEMS && g_pMenuItems[n] != MENU_LIST_END)
        n++;
    g_sMenuItemCount = n;
}

void Ui_RunPageItemForSlot(int32_t slot)
{
    if (g_sMenuPage == MENU_PAGE_NONE)
        return;
    bool hasSlot = false;
    for (int i = 0; i < g_sMenuItemCount; i++) {
        const MENUITEM &item = g_atMenuItems[g_pMenuItems[i]];
        if ((item.slot & 0xFF) != uint32_t(slot & 0xFF))
            continue;
        if (item.handler) {
            const MENUHANDLER handler = item.handler;
            if (g_iScreen == 21 && MenuOpen()) {
                // As a choice from the open menu: it closes first.
                Seq_PlayInterfaceSound(0);
                g_iNextScreen = g_sPageMenuSavedScreen;
                TakeDownMenu();
            }
            handler();
            return;
        }
        hasSlot = true;
    }
    if (hasSlot)
        Refuse("Ui_RunPageItemForSlot", slot);
}

int Ui_MenuFKeyRow(int n)
{
    if (n < 0 || n >= MENU_FKEYS || g_sMenuPage == MENU_PAGE_NONE)
        return -1;
    const uint8_t row = g_pMenuFKeys[n];
    return row == MENU_EMPTY_ITEM || row >= MENU_ITEM_ROWS ? -1 : row;
}

bool Ui_RunMenuFKey(int n)
{
    const int row = Ui_MenuFKeyRow(n);
    if (row < 0 || !g_atMenuItems[row].handler) {
        Seq_PlayInterfaceSound(3);
        return false;
    }
    Seq_PlayInterfaceSound(0);
    const MENUHANDLER handler = g_atMenuItems[row].handler;
    if (MenuOpen()) {
        // A function key while the menu is open: the menu goes first, as on a choice.
        g_iNextScreen = g_sPageMenuSavedScreen;
        TakeDownMenu();
    }
    handler();
    return true;
}

bool Ui_ChooseMenuRow(int n)
{
    if (n < 0 || n >= g_sMenuItemCount) {
        Seq_PlayInterfaceSound(3);
        return false;
    }
    const MENUITEM &item = g_atMenuItems[g_pMenuItems[n]];
    if (!item.handler) {
        Seq_PlayInterfaceSound(3);
        return false;
    }
    Seq_PlayInterfaceSound(0);
    item.handler();
    return true;
}

void Ui_PageMenuGeometry(int16_t page, int rows, int32_t *x, int32_t *y, int32_t *w, int32_t *h)
{
    if (page < 0 || page >= MENU_PAGES)
        page = MENU_PAGE_NONE;
    const MENUPAGE &p = g_atMenuPageTable[page];
    int count = 0;
    int32_t width = 0;
    for (; count < MENU_PAGE_ITEMS && p.items[count] != MENU_LIST_END; count++)
        width = std::max(width, MainFontWidth(Ui_Text(g_atMenuItems[p.items[count]].text)) + 75);
    int icons = 0;
    for (int16_t icon : p.headerIcons)
        icons += icon != 0;
    width = std::max(width, MainFontWidth(Ui_Text(p.title)) + 48 + 16 * icons);
    if (rows < 0)
        rows = count;
    *w = std::min<int32_t>(width, 350);
    *h = std::min<int32_t>(rows * 16 + 31, 400);
    *x = g_iScreenWidth / 2 - 104;
    *y = page == 9 ? g_iScreenHeight / 2 - 50 : 69;
}

void Ui_PageMenuRowText(int row, char *out, int size)
{
    if (!out || size <= 0)
        return;
    if (row < 1 || row > g_sMenuItemCount) {
        out[0] = 0;
        return;
    }
    std::snprintf(out, size_t(size), "%s", Ui_Text(g_atMenuItems[g_pMenuItems[row - 1]].text));
}

namespace {

// Row buffers of the menu's list: the row number word, then the text (as the pop-up lays them).
constexpr int kRowText = 2;
constexpr int kRowTextMax = UI_POPUP_ROW_STRIDE - kRowText - 1;

bool IsChasePage(int16_t page)
{
    return page == 9 || page == 12 || page == 23;
}

// The definition pool a chase-type page lists: plain, modifier or screen effect.
int ChasePool(int16_t page)
{
    return page == 9 ? 0 : page == 12 ? 1 : 3;
}

uint32_t ChasePoolBits(int pool)
{
    return pool == 0 ? 0u : pool == 1 ? uint32_t(CHASETYPE_MOD) : pool == 2 ? uint32_t(CHASETYPE_CAM) : uint32_t(CHASETYPE_DVE);
}

bool MenuOpen()
{
    return g_pPageMenuPopup && !g_pPageMenuPopup->free && g_pPageMenuPopup->window;
}

// Takes the menu down: window closed, list position kept for the page, the pop-up below (when
// the menu was opened over one) current again, the focus back.
void TakeDownMenu()
{
    POPUP *p = g_pPageMenuPopup;
    g_pPageMenuPopup = nullptr;
    if (p && !p->free)
        Ui_TakeDownPopup(p);
    Ui_SetFocus(g_pPageMenuSavedFocus);
}

} // namespace

void Ui_RewriteMenuRows(int16_t page)
{
    if (page == 4) {
        const int channel = g_ucCurrentChannel;
        MENUITEM &row = g_atMenuItems[132];
        if (!Ed_IsLinkedChannel(channel) && !Ed_IsLinkedChannel(channel + 1)) {
            row.handler = g_pfnLinkChannel;
            row.text = 516;
        } else {
            row.handler = g_pfnAskUnlinkChannel;
            row.text = 517;
        }
        Ui_UpdatePasteNotesItem();
    } else if (page == 5) {
        MENUHANDLER upgrade = nullptr, downgrade = nullptr;
        const POPUP *p = g_pCurrentPopup;
        if (p && !p->free && p->list) {
            const int slot = p->list->selected + 1;
            const bool editorOpen = g_atWindowRoles[UI_ROLE_SAMPLE_EDITOR].window != nullptr;
            if (slot < SEQ_INSTRUMENT_SLOTS && g_aInstrumentSlots[slot].ucCommandCount == 0 && !editorOpen) {
                const int32_t kind = Seq_GetInstrumentKind(slot);
                // A sample already at the top (kind 3) or bottom (kind 1) quality cannot go further.
                upgrade = kind == 3 ? nullptr : g_pfnUpgradeSample;
                downgrade = kind == 1 ? nullptr : g_pfnDowngradeSample;
            }
        }
        g_atMenuItems[35].handler = upgrade;
        g_atMenuItems[34].handler = downgrade;
    }
}

void Ui_PageMenuFillRow(int32_t op, int32_t number, void *row, void *)
{
    const int32_t n = op == LISTFILL_FIRST ? 1 : op == LISTFILL_NEXT ? number + 1 : number - 1;
    if (n < 1 || n > g_sPageMenuRows || !row)
        return;
    auto *r = static_cast<char *>(row);
    const uint16_t word = uint16_t(n);
    std::memcpy(r, &word, 2);
    char *text = r + kRowText;
    if (IsChasePage(g_sMenuPage)) {
        const int pool = ChasePool(g_sMenuPage);
        const CHASEDEF *def = Vid_GetChaseDef(int32_t(ChasePoolBits(pool) | uint32_t(n - 1)));
        if (n - 1 < MENU_ROW_STATES)
            g_aMenuRowState[n - 1].icon = 0;
        if (!def)
            std::snprintf(text, kRowTextMax + 1, "BUG");
        else if (def->uLabel > 0 && def->uLabel < TEXT_COUNT && Ui_Text(def->uLabel)[0])
            std::snprintf(text, kRowTextMax + 1, "%s", Ui_Text(def->uLabel));
        else
            std::snprintf(text, kRowTextMax + 1, "%s %d", Ui_Text(237), n);
        return;
    }
    if (n > g_sMenuItemCount)
        return;
    std::snprintf(text, kRowTextMax + 1, "%s", Ui_Text(g_atMenuItems[g_pMenuItems[n - 1]].text));
}

void Ui_DrawMenuItemRow(void *row, int32_t x, int32_t y)
{
    const auto *r = static_cast<const char *>(row);
    uint16_t n = 0;
    std::memcpy(&n, r, 2);
    if (n < 1)
        return;
    const uint32_t colour = g_uiTextColour;
    const bool chase = IsChasePage(g_sMenuPage);
    const MENUITEM *item = !chase && n <= g_sMenuItemCount ? &g_atMenuItems[g_pMenuItems[n - 1]] : nullptr;
    const bool greyed = item && !item->handler;
    const uint8_t red = uint8_t(colour & 0xFF), green = uint8_t(colour >> 8), blue = uint8_t(colour >> 16);
    int target = red == 0 ? 128 : 64;
    uint32_t drawn = colour;
    if (greyed) {
        target -= 32;
        if (red == 0)
            drawn = uint32_t(green == 128 ? 64 : 48) << 8 | uint32_t(blue) << 16;
        else
            drawn = uint32_t(std::max(red - 64, 0)) | uint32_t(std::max(green - 64, 0)) << 8 |
                    uint32_t(std::max(blue - 64, 0)) << 16;
    }
    MENUROWSTATE *state = n <= MENU_ROW_STATES ? &g_aMenuRowState[n - 1] : nullptr;
    int brightness = target;
    if (state) {
        state->target = uint8_t(target);
        // Rows glide toward their brightness, 8 a frame.
        int current = state->current;
        current = current < target ? std::min(current + 8, target) : std::max(current - 8, target);
        state->current = uint8_t(current);
        brightness = current;
    }
    g_uiTextColour = drawn;
    Gfx_DrawText(r + kRowText, x + 18, y + 3, g_pOrderingTable);
    g_uiTextColour = colour;
    const int32_t icon = item ? int32_t(item->icon) : (state ? state->icon : 0);
    if (const IMAGEREC *image = icon ? Gfx_GetImage(icon) : nullptr) {
        IMAGEREC shown = *image;
        shown.height = int16_t(std::min<int>(shown.height, 15));
        const uint8_t b = uint8_t(brightness);
        Gfx_AddImageSprite(&shown, x - 2, y + 1, b, b, b);
    }
}

void Ui_DrawPageMenuIcons()
{
    if (g_sMenuPage == 19 || g_sMenuPage < 0 || g_sMenuPage >= MENU_PAGES)
        return;
    const MENUPAGE &page = g_atMenuPageTable[g_sMenuPage];
    int32_t x = (MenuOpen() ? g_pPageMenuPopup->window->w : 150) - 1;
    for (int i = 4; i >= 0; i--) {
        if (!page.headerIcons[i])
            continue;
        x -= 17;
        const IMAGEREC *image = Gfx_GetImage(page.headerIcons[i]);
        if (!image)
            continue;
        // One texel row lower and 14 high, so the icon sits inside the title bar.
        IMAGEREC shown = *image;
        if (shown.height > 1) {
            shown.v = uint8_t(shown.v + 1);
            shown.height = int16_t(std::min<int>(shown.height - 1, 14));
        }
        Gfx_AddImageSprite(&shown, x, 6, 128, 128, 128);
    }
}

void Ui_OpenPageMenu()
{
    Sys_CallLog("Ui_OpenPageMenu");
    g_iStatusHoldFrames = 0;
    const int16_t page = g_sMenuPage;
    if (page == MENU_PAGE_NONE || page < 0 || page >= MENU_PAGES || MenuOpen())
        return;
    Ui_RewriteMenuRows(page);
    Seq_PlayInterfaceSound(1);
    const int16_t savedScreen = int16_t(g_iScreen);
    void *savedFocus = Ui_GetFocus();

    int rows = g_sMenuItemCount;
    if (IsChasePage(page))
        rows = std::clamp<int>(g_aiChaseDefHighest[ChasePool(page)], 0, 0x1FFF);
    int32_t x, y, w, h;
    Ui_PageMenuGeometry(page, rows, &x, &y, &w, &h);
    g_sPageMenuRows = int16_t(rows);

    // The menu may open over a pop-up (screen 9): that pop-up's return and its place as the
    // current one come back when the menu goes.
    POPUP *below = g_pCurrentPopup && !g_pCurrentPopup->free ? g_pCurrentPopup : nullptr;
    const int16_t returnScreen = g_sReturnScreen;
    void *returnFocus = g_pReturnFocus;
    // A page without items (the jam's) still opens with its title over one empty row.
    h = std::max<int32_t>(h, 40);
    POPUP *p = Ui_OpenPopupRows(POPUP_PAGE_MENU, &g_atPageMenuDescs[page], x, y, w, h, rows, Ui_PageMenuFillRow,
                                Ui_DrawMenuItemRow);
    g_sReturnScreen = returnScreen;
    g_pReturnFocus = returnFocus;
    if (!p) {
        g_pCurrentPopup = below;
        return;
    }
    g_pParentPopup = below;
    std::snprintf(p->title, sizeof p->title, "%s", Ui_Text(g_atMenuPageTable[page].title));
    // Linked before the title bar's widgets, so drawn over them.
    p->window->predraw = Ui_DrawPageMenuIcons;
    for (MENUROWSTATE &r : g_aMenuRowState)
        r.current = r.target = 64;
    // The rows were fetched before the row states were set: fetch again for the chase icons.
    Ui_RefillListRows(p->list);
    g_pPageMenuPopup = p;
    g_sPageMenuSavedScreen = savedScreen;
    g_pPageMenuSavedFocus = savedFocus;
    g_iNextScreen = 21;
}

void Ui_OpenPageMenuWithSound()
{
    Ui_OpenPageMenu();
}

void Ui_ListViewPageMenu()
{
    Ui_OpenPageMenu();
}

void Ui_PopupOpenPageMenu()
{
    const POPUP *p = g_pCurrentPopup;
    if (!p || p->free)
        return;
    switch (p->kind) {
    case 0: case 1: case 2: case 3: case 4: case 7: case 8: case 9: case 12: case 13: case 19: case 23:
        break;
    default:
        return;
    }
    // A library sample previewing stops before the menu covers it.
    if (p->kind == POPUP_SAMPLE_LIBRARY) {
        if (g_bJamSessionOn)
            Sys_KeyVoices(0, 0);
        else
            Seq_StopSong();
    }
    Ui_OpenPageMenu();
}

void Ui_PageMenuUp()
{
    if (MenuOpen())
        Ui_ListScrollUp(g_pPageMenuPopup->list);
}

void Ui_PageMenuDown()
{
    if (MenuOpen())
        Ui_ListScrollDown(g_pPageMenuPopup->list);
}

void Ui_ClosePageMenu()
{
    if (!MenuOpen() || g_bPopupStepDone)
        return;
    g_bPopupStepDone = 1;
    Sys_CallLog("Ui_ClosePageMenu");
    Seq_PlayInterfaceSound(4);
    TakeDownMenu();
    g_iNextScreen = g_sPageMenuSavedScreen;
    g_iViewRedrawCount = 3;
    switch (g_sMenuPage) {
    case 0:
    case 3:
    case 4:
    case 27:
        Ui_ReturnToEditorMenu();
        break;
    case 8:
        // The effects list is a sub-page of the sample editor: closing goes back to its page.
        Ui_SetMenuPage(6);
        break;
    case 28:
    case 30:
        Jam_PopupsClosed();
        break;
    default:
        break;
    }
}

void Ui_ChoosePageMenuItem()
{
    if (!MenuOpen() || g_bPopupStepDone)
        return;
    LISTWIDGET *list = g_pPageMenuPopup->list;
    Ui_FinishListScroll(list);
    if (IsChasePage(g_sMenuPage)) {
        // The type picker closes the menu itself: this frame's pop-up step is its.
        Ui_ChooseChaseType();
        return;
    }
    g_bPopupStepDone = 1;
    const int row = list->selected;
    if (row >= g_sMenuItemCount)
        return;
    const MENUITEM &item = g_atMenuItems[g_pMenuItems[row]];
    if (!item.handler) {
        Ui_PlayRefusal();
        return;
    }
    const MENUHANDLER handler = item.handler;
    Sys_CallLog("Ui_ChoosePageMenuItem");
    if (!g_bJamSessionOn) {
        Seq_PlayInterfaceSound(0);
        g_iNextScreen = g_sPageMenuSavedScreen;
    }
    TakeDownMenu();
    handler();
}

const MENUITEM g_atMenuItemTable[MENU_ITEM_ROWS] = {
    {627, nullptr, 19, 14, 0}, // 0 Paste riff
    {631, nullptr, 7, 3, 0}, // 1 Play
    {0, nullptr, 2, 11, 0}, // 2 Riff Editor
    {0, nullptr, 8, 0, 0}, // 3 Area selection
    {0, nullptr, 11, 10, 0}, // 4 Riff Library
    {0, nullptr, 12, 9, 0}, // 5 Riff Palette
    {0, nullptr, 140, 66, 0}, // 6 Resize riff
    {0, nullptr, 3, 66, 0}, // 7 Change mute status
    {743, nullptr, 10, 66, 0}, // 8 Undo
    {0, nullptr, 661, 66, 0}, // 9 Change Mixer Settings
    {0, nullptr, 5, 66, 0}, // 10 World View
    {471, nullptr, 1, 66, 0}, // 11 Help
    {0, nullptr, 43, 9, 0}, // 12 Join riffs
    {0, nullptr, 15, 15, 0}, // 13 Cut area
    {0, nullptr, 16, 14, 0}, // 14 Copy area
    {0, nullptr, 18, 3, 0}, // 15 Play area
    {0, nullptr, 51, 10, 0}, // 16 Load sample at 11 khz
    {0, nullptr, 52, 11, 0}, // 17 Load sample at 22 khz
    {0, nullptr, 53, 9, 0}, // 18 Load sample at 44 khz
    {0, nullptr, 54, 0, 0}, // 19 Demo sample at 11 khz
    {0, nullptr, 55, 3, 0}, // 20 Demo sample at 22 khz
    {0, nullptr, 33, 8, 0}, // 21 Expand/collapse clip
    {0, nullptr, 38, 10, 0}, // 22 Clip Library
    {0, nullptr, 37, 66, 0}, // 23 Clip Palette
    {0, nullptr, 72, 11, 0}, // 24 Change note parameters
    {0, nullptr, 71, 66, 0}, // 25 Change riff channel mutes
    {0, nullptr, 49, 10, 0}, // 26 Sample library
    {0, nullptr, 48, 9, 0}, // 27 Sample palette
    {0, nullptr, 73, 3, 0}, // 28 Preview sample
    {0, nullptr, 74, 11, 0}, // 29 Edit sample
    {0, nullptr, 75, 66, 0}, // 30 Optimise sample list
    {0, nullptr, 76, 15, 0}, // 31 Delete sample
    {0, nullptr, 58, 14, 0}, // 32 Select sample
    {0, nullptr, 77, 66, 0}, // 33 Copy sample
    {0, nullptr, 78, 66, 0}, // 34 Downgrade sample quality
    {0, nullptr, 79, 66, 0}, // 35 Upgrade sample quality
    {0, nullptr, 80, 66, 0}, // 36 Move sample
    {0, nullptr, 81, 15, 0}, // 37 Zoom out
    {0, nullptr, 82, 66, 0}, // 38 Normalise sample
    {0, nullptr, 83, 0, 0}, // 39 Copy area
    {0, nullptr, 84, 10, 0}, // 40 Apply effects to area
    {0, nullptr, 85, 14, 0}, // 41 Zoom into area
    {0, nullptr, 86, 66, 0}, // 42 Cut area
    {0, nullptr, 7, 3, 0}, // 43 Play
    {0, nullptr, 88, 66, 0}, // 44 Trim area
    {0, nullptr, 89, 66, 0}, // 45 Mix samples
    {0, nullptr, 90, 66, 0}, // 46 Set fade
    {0, nullptr, 91, 66, 0}, // 47 Paste copied area
    {0, nullptr, 92, 66, 0}, // 48 Reverse area
    {0, nullptr, 93, 66, 0}, // 49 Set grid spacing
    {0, nullptr, 141, 15, 0}, // 50 Demo sample at 44 khz
    {0, nullptr, 142, 66, 0}, // 51 Clone riff
    {0, nullptr, 145, 66, 0}, // 52 Alter sample ADSR values
    {0, nullptr, 146, 66, 0}, // 53 Select point mode
    {0, nullptr, 147, 66, 0}, // 54 Move point mode
    {0, nullptr, 148, 11, 0}, // 55 Add new control point
    {0, nullptr, 150, 15, 0}, // 56 Delete control point
    {0, nullptr, 149, 10, 0}, // 57 Preset layouts
    {0, nullptr, 314, 66, 0}, // 58 Note
    {0, nullptr, 96, 66, 0}, // 59 Loop on
    {0, nullptr, 97, 66, 0}, // 60 Loop off
    {0, nullptr, 196, 3, 0}, // 61 Edit X scale
    {0, nullptr, 197, 0, 0}, // 62 Edit Y scale
    {0, nullptr, 198, 66, 0}, // 63 Change note length
    {0, nullptr, 10, 66, 0}, // 64 Undo
    {0, nullptr, 225, 66, 0}, // 65 Change riff name
    {0, nullptr, 23, 15, 0}, // 66 Delete riff
    {0, nullptr, 10, 66, 0}, // 67 Undo
    {0, nullptr, 44, 14, 0}, // 68 Paste note
    {0, nullptr, 45, 15, 0}, // 69 Delete note
    {0, nullptr, 231, 11, 0}, // 70 Edit Video Clip
    {0, nullptr, 253, 8, 0}, // 71 Add chase
    {0, nullptr, 254, 0, 0}, // 72 Change chase
    {0, nullptr, 255, 66, 0}, // 73 Cut chase
    {0, nullptr, 256, 66, 0}, // 74 Copy chase
    {0, nullptr, 257, 14, 0}, // 75 Paste chase
    {0, nullptr, 263, 9, 0}, // 76 Video to fullscreen
    {0, nullptr, 264, 66, 0}, // 77 Delete entire key
    {0, nullptr, 265, 66, 0}, // 78 Delete parameter key
    {0, nullptr, 270, 10, 0}, // 79 Edit global settings
    {0, nullptr, 271, 66, 0}, // 80 Resize clip
    {0, nullptr, 272, 3, 0}, // 81 Play clip
    {0, nullptr, 273, 66, 0}, // 82 Change riff volume
    {0, nullptr, 23, 15, 0}, // 83 Delete riff
    {0, nullptr, 274, 9, 0}, // 84 Remove unused riffs
    {0, nullptr, 225, 10, 0}, // 85 Change riff name
    {0, nullptr, 2, 11, 0}, // 86 Riff Editor
    {0, nullptr, 19, 14, 0}, // 87 Paste riff
    {0, nullptr, 273, 0, 0}, // 88 Change riff volume
    {0, nullptr, 276, 3, 0}, // 89 Play riff
    {0, nullptr, 284, 14, 0}, // 90 Accept
    {0, nullptr, 285, 15, 0}, // 91 Toggle
    {0, nullptr, 286, 11, 0}, // 92 Set all on
    {0, nullptr, 287, 9, 0}, // 93 Set all off
    {0, nullptr, 296, 66, 0}, // 94 Find riff in song
    {0, nullptr, 297, 66, 0}, // 95 Paste copied notes
    {0, nullptr, 302, 8, 0}, // 96 Change active channel
    {0, nullptr, 303, 66, 0}, // 97 Split Riff
    {0, nullptr, 72, 11, 0}, // 98 Change note parameters
    {0, nullptr, 304, 66, 0}, // 99 Change volume over area
    {0, nullptr, 305, 66, 0}, // 100 Change pan over area
    {0, nullptr, 306, 66, 0}, // 101 Change sample offset over area
    {0, nullptr, 307, 3, 0}, // 102 Demo riff
    {0, nullptr, 308, 66, 0}, // 103 Cancel World View
    {0, nullptr, 309, 66, 0}, // 104 Redo
    {0, nullptr, 317, 66, 0}, // 105 Change riff icon
    {0, nullptr, 317, 66, 0}, // 106 Change riff icon
    {0, nullptr, 318, 66, 0}, // 107 Comb filter
    {0, nullptr, 321, 66, 0}, // 108 All-pass filter
    {0, nullptr, 323, 66, 0}, // 109 Reverb filter
    {0, nullptr, 326, 66, 0}, // 110 High/low pass filter
    {0, nullptr, 329, 66, 0}, // 111 Flange filter
    {0, nullptr, 334, 66, 0}, // 112 Phase filter
    {0, nullptr, 546, 66, 0}, // 113 Weird filter
    {0, nullptr, 345, 66, 0}, // 114 Bandpass filter
    {0, nullptr, 314, 66, 0}, // 115 Note
    {0, nullptr, 351, 66, 0}, // 116 Clone clip
    {0, nullptr, 352, 11, 0}, // 117 Edit timeline
    {0, nullptr, 353, 66, 0}, // 118 Clone chase
    {0, nullptr, 359, 66, 0}, // 119 Play riff in song
    {0, nullptr, 314, 66, 0}, // 120 Note
    {0, nullptr, 387, 3, 0}, // 121 Demo Clip
    {0, nullptr, 390, 66, 0}, // 122 Change riff key
    {0, nullptr, 391, 66, 0}, // 123 Auto-generate video
    {0, nullptr, 399, 14, 0}, // 124 Paste clip
    {0, nullptr, 400, 15, 0}, // 125 Delete clip
    {0, nullptr, 401, 3, 0}, // 126 Preview clip
    {0, nullptr, 402, 11, 0}, // 127 Edit clip
    {0, nullptr, 403, 66, 0}, // 128 Name clip
    {0, nullptr, 404, 66, 0}, // 129 Remove unused clips
    {0, nullptr, 405, 66, 0}, // 130 Find clip in video
    {0, nullptr, 439, 66, 0}, // 131 Realtime recording
    {0, nullptr, 516, 66, 0}, // 132 Add AM channel
    {0, nullptr, 521, 66, 0}, // 133 Go to song start
    {0, nullptr, 522, 66, 0}, // 134 Go to song end
    {0, nullptr, 523, 66, 0}, // 135 Go to video start
    {0, nullptr, 524, 66, 0}, // 136 Go to video end
    {0, nullptr, 1, 66, 0}, // 137 Help
    {0, nullptr, 538, 66, 0}, // 138 Restore note parameters
    {0, nullptr, 31, 14, 0}, // 139 Paste clip
    {0, nullptr, 32, 15, 0}, // 140 Delete clip
    {0, nullptr, 10, 66, 0}, // 141 Undo
    {776, nullptr, 593, 66, 0}, // 142 Host Jam Game (LAN)
    {776, nullptr, 594, 66, 0}, // 143 Join Internet Jam Game (TCP/IP)
    {776, nullptr, 595, 66, 0}, // 144 Join Internet Jam Game (IPX)
    {776, nullptr, 596, 66, 0}, // 145 Join Jam Game (TCP/IP)
    {776, nullptr, 597, 66, 0}, // 146 Join Jam Game (LAN)
    {776, nullptr, 361, 66, 0}, // 147 Load new template
    {776, nullptr, 357, 66, 0}, // 148 Record jam
    {776, nullptr, 360, 66, 0}, // 149 Playback jam
    {776, nullptr, 355, 66, 0}, // 150 Set BPM
    {776, nullptr, 358, 66, 0}, // 151 Exit Music Jam
    {776, nullptr, 578, 66, 0}, // 152 Load Plug In
    {776, nullptr, 579, 66, 0}, // 153 Delete Plug In
    {776, nullptr, 580, 66, 0}, // 154 Reset Plug In
    {776, nullptr, 582, 66, 0}, // 155 Save Template
    {776, nullptr, 583, 66, 0}, // 156 Single Player Jam
    {776, nullptr, 588, 66, 0}, // 157 Host Jam TCPIP (debug only)
    {0, nullptr, 600, 66, 0}, // 158 Go to song bottom
    {0, nullptr, 599, 66, 0}, // 159 Go to song top
    {0, nullptr, 634, 66, 0}, // 160 Kick Player
    {0, nullptr, 635, 66, 0}, // 161 Ban Player
    {0, nullptr, 644, 66, 0}, // 162 Realtime Practice
    {0, nullptr, 658, 66, 0}, // 163 Play Fullscreen
    {0, nullptr, 678, 66, 0}, // 164 Record From PC Audio
    {699, nullptr, 666, 66, 0}, // 165 (empty)
    {0, nullptr, 673, 66, 0}, // 166 Reset Template
};

const MENUPAGE g_atMenuPageTable[MENU_PAGES] = {
    {{0, 66, 1, 2, 3, 5, 4, 6, 51, 82, 133, 134, 159, 158, 8, 104, 97, 10, 11, 255}, {0, 66, 1, 3, 5, 4, 133, 134, 158, 9, 8, 11}, 24, {710, 0, 0, 0, 0}}, // 0
    {{12, 13, 14, 15, 11, 255}, {12, 13, 15, 14, 165, 165, 165, 165, 165, 165, 165, 11}, 8, {472, 710, 0, 0, 0}}, // 1
    {{16, 17, 18, 19, 20, 50, 11, 255}, {16, 17, 18, 19, 20, 50, 165, 165, 165, 165, 165, 11}, 49, {498, 682, 710, 0, 0}}, // 2
    {{139, 140, 1, 163, 70, 21, 76, 3, 23, 22, 80, 116, 135, 136, 10, 123, 141, 11, 255}, {139, 140, 1, 3, 23, 22, 21, 70, 135, 136, 141, 11}, 25, {760, 0, 0, 0, 0}}, // 3
    {{68, 69, 1, 119, 3, 27, 26, 138, 131, 162, 95, 82, 63, 106, 65, 132, 8, 104, 11, 255}, {68, 69, 1, 3, 27, 26, 119, 96, 131, 63, 8, 11}, 2, {682, 710, 0, 0, 0}}, // 4
    {{28, 29, 32, 31, 33, 30, 34, 35, 11, 255}, {32, 31, 28, 33, 29, 30, 34, 35, 165, 165, 165, 11}, 48, {758, 682, 710, 0, 0}}, // 5
    {{47, 42, 39, 43, 41, 37, 27, 44, 40, 48, 38, 45, 64, 11, 255}, {47, 42, 43, 39, 27, 41, 37, 48, 38, 45, 64, 11}, 74, {430, 758, 682, 710, 0}}, // 6
    {{53, 54, 55, 56, 57, 61, 62, 67, 11, 255}, {55, 56, 53, 54, 57, 61, 62, 67, 165, 165, 165, 11}, 145, {710, 0, 0, 0, 0}}, // 7
    {{59, 52, 107, 108, 109, 110, 111, 112, 113, 114, 11, 255}, {59, 52, 107, 108, 109, 110, 111, 112, 113, 114, 165, 11}, 95, {442, 430, 758, 682, 710}}, // 8
    {{11, 255}, {165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165}, 237, {760, 388, 0, 0, 0}}, // 9
    {{76, 81, 72, 71, 73, 74, 75, 77, 11, 255}, {75, 73, 81, 76, 72, 71, 74, 77, 165, 165, 165, 11}, 231, {760, 388, 0, 0, 0}}, // 10
    {{76, 81, 72, 71, 73, 74, 75, 77, 11, 255}, {75, 73, 81, 76, 72, 71, 74, 77, 165, 165, 165, 11}, 231, {760, 388, 0, 0, 0}}, // 11
    {{11, 255}, {165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165}, 237, {760, 388, 0, 0, 0}}, // 12
    {{76, 81, 72, 71, 73, 74, 75, 77, 11, 255}, {75, 73, 81, 76, 72, 71, 74, 77, 165, 165, 165, 11}, 231, {760, 388, 0, 0, 0}}, // 13
    {{76, 81, 72, 71, 73, 74, 75, 77, 11, 255}, {75, 73, 81, 76, 72, 71, 74, 77, 165, 165, 165, 11}, 231, {760, 388, 0, 0, 0}}, // 14
    {{87, 83, 89, 86, 85, 105, 84, 88, 122, 94, 11, 255}, {87, 83, 89, 86, 85, 105, 88, 122, 94, 165, 165, 11}, 12, {625, 710, 0, 0, 0}}, // 15
    {{90, 91, 92, 93, 11, 255}, {90, 91, 92, 93, 165, 165, 165, 165, 165, 165, 165, 11}, 295, {504, 0, 0, 0, 0}}, // 16
    {{13, 14, 98, 99, 100, 101, 11, 255}, {13, 14, 98, 99, 100, 101, 165, 165, 165, 165, 165, 11}, 8, {472, 710, 0, 0, 0}}, // 17
    {{102, 11, 255}, {102, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 11}, 11, {498, 710, 0, 0, 0}}, // 18
    {{255}, {165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165}, 26, {710, 0, 0, 0, 0}}, // 19
    {{255}, {165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165}, 26, {710, 0, 0, 0, 0}}, // 20
    {{255}, {165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165}, 26, {710, 0, 0, 0, 0}}, // 21
    {{255}, {165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165}, 26, {710, 0, 0, 0, 0}}, // 22
    {{11, 255}, {165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165}, 237, {760, 388, 0, 0, 0}}, // 23
    {{124, 125, 126, 128, 129, 130, 255}, {124, 125, 126, 128, 129, 130, 165, 165, 165, 165, 165, 165}, 37, {545, 760, 0, 0, 0}}, // 24
    {{121, 255}, {121, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165}, 386, {498, 760, 0, 0, 0}}, // 25
    {{13, 14, 255}, {13, 14, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165}, 8, {472, 760, 0, 0, 0}}, // 26
    {{156, 142, 146, 255}, {165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165}, 598, {710, 0, 0, 0, 0}}, // 27
    {{147, 155, 166, 150, 151, 255}, {165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165}, 572, {710, 0, 0, 0, 0}}, // 28
    {{152, 153, 154, 11, 255}, {165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165}, 577, {710, 0, 0, 0, 0}}, // 29
    {{160, 255}, {165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165}, 679, {710, 0, 0, 0, 0}}, // 30
    {{255}, {165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165, 165}, 0, {0, 0, 0, 0, 0}}, // 31
};
