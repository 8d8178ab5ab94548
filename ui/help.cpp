#include "ui/help.h"

#include "app/calllog.h"
#include "app/mainwindow.h"
#include "core/archive.h"
#include "core/console_memory.h"
#include "core/padbind.h"
#include "app/settings.h"
#include "editors/chaseeditor.h"
#include "editors/curveeditor.h"
#include "editors/topbar.h"
#include "platform/backend.h"
#include "platform/settings_store.h"
#include "render/d3ddevice.h"
#include "editors/jukebox.h"
#include "jam/jamsession.h"
#include "render/fonts.h"
#include "render/gpustate.h"
#include "render/prims2d.h"
#include "sequencer/instruments.h"
#include "ui/barmouse.h"
#include "ui/busybox.h"
#include "ui/gridops.h"
#include "ui/gridstate.h"
#include "ui/handlers.h"
#include "ui/langtext.h"
#include "ui/list.h"
#include "ui/menupages.h"
#include "ui/mouse.h"
#include "ui/msgbox.h"
#include "ui/popup.h"
#include "ui/scrollbar.h"
#include "ui/textfield.h"
#include "ui/widgets.h"
#include "video/chase.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

uint8_t g_ucHelpPageCount = 0;
uint8_t g_ucHelpPage = 0;
uint8_t g_ucHelpFlags = 0;
int32_t g_bHelpActive = 0;
POPUP *g_pHelpTopicPopup = nullptr;
WINDOW *g_pHelpTextWindow = nullptr;
TEXTFIELD *g_pHelpCaption = nullptr;
SCROLLBAR *g_pHelpScrollBar = nullptr;
int16_t g_sHelpScrollLine = 0;
int8_t g_cHelpScrollOffset = 0;
int8_t g_cHelpScrollDir = 0;
const char *g_pHelpFirstLine = nullptr;
std::vector<std::vector<std::string>> g_aHelpPages;
char g_acHelpReadArea[HELP_READ_BYTES];

// What the help text window's scroll bar reads (ui/barmouse.cpp): the scroll line and the lines.
int32_t g_iHelpFirstLine = 0;
int32_t g_iHelpLineCount = 0;

// The idle demo (editors): the introduction starts it when it closes.
void Ed_AttractStartDemo();

namespace {

int32_t FontMeasure(const char *text)
{
    FONT *saved = g_pFont;
    g_pFont = &g_tFontMain;
    const int32_t w = Gfx_GetTextWithIconsWidth(text);
    g_pFont = saved;
    return w;
}

const char *const kLanguageFolders[5] = {"ENGLISH", "FRENCH", "GERMAN", "SPANISH", "ITALIAN"};

int16_t s_sHelpReturnScreen = 0;
void *s_pHelpReturnFocus = nullptr;
char s_szCaption[UI_POPUP_TEXT];
// Topics whose menus sit over a pop-up list: help goes back to that pop-up.
constexpr int32_t kPopupTopics[] = {2, 5, 15, 16, 18, 24, 25};

const char *LanguageFolder()
{
    return kLanguageFolders[g_ucLanguage < 5 ? g_ucLanguage : 0];
}

int32_t Sign(int32_t v)
{
    return v < 0 ? -1 : v > 0 ? 1 : 0;
}

const std::vector<std::string> *CurrentPage()
{
    return g_ucHelpPage < g_aHelpPages.size() ? &g_aHelpPages[g_ucHelpPage] : nullptr;
}

// Wraps the read area's text into one stored page.
void StorePage(int32_t bytes)
{
    static char wrapped[HELP_READ_BYTES * 3];
    int32_t lines = 0;
    const int32_t written =
        Ui_WrapHelpText(wrapped, int32_t(sizeof wrapped), g_acHelpReadArea, HELP_WRAP_WIDTH, bytes, &lines);
    std::vector<std::string> page;
    for (int32_t at = 0; at < written && int32_t(page.size()) < lines;) {
        const char *line = wrapped + at;
        const size_t n = strnlen(line, size_t(written - at));
        page.emplace_back(line, n);
        at += int32_t(n) + 1;
    }
    // An empty or missing file is one empty page: a title of its own, never the next page's.
    if (page.empty())
        page.emplace_back("");
    g_aHelpPages.push_back(std::move(page));
}

void LoadFixedTopic(int32_t topic)
{
    g_ucHelpTopic = uint8_t(topic);
    g_ucHelpPageCount = 1;
    g_ucHelpPage = 0;
    // A fixed text has no topic list; the introduction keeps its automatic close.
    g_ucHelpFlags = uint8_t(g_ucHelpFlags & HELP_FLAG_AUTO_CLOSE);
    Ui_LoadHelpPages();
}

bool AliveFocus(void *focus)
{
    if (!focus)
        return false;
    for (const WINDOW &w : g_atWindows)
        if (focus == &w)
            return Ui_WindowIsOpen(&w) && !w.closing;
    return !(static_cast<const WIDGET *>(focus)->flags & WIDGET_FREE);
}

void ReturnToPopup()
{
    if (g_pCurrentPopup && !g_pCurrentPopup->free && g_pCurrentPopup->window) {
        Ui_SetFocus(g_pCurrentPopup->window);
        g_iNextScreen = 9;
    } else {
        Ui_ReturnToEditorMenu();
    }
}

} // namespace

HELPMEASURE g_pfnHelpMeasure = FontMeasure;

int32_t Ui_HelpTopicForPage(int32_t page)
{
    // The curve editor over a marked area shares page 7 with the envelope curves, but its curves
    // mean other things: each has its own topic.
    if (page == 7) {
        switch (g_ucCurveMode) {
        case CURVEMODE_AREA_VOLUME: return HELP_TOPIC_AREA_VOLUME;
        case CURVEMODE_AREA_PAN: return HELP_TOPIC_AREA_PAN;
        case CURVEMODE_AREA_OFFSET: return HELP_TOPIC_AREA_OFFSET;
        default: break;
        }
    }
    // The clip editor over an effect clip edits screen effects, not objects: its own pages.
    if ((page == 10 || page == 11 || page == 13 || page == 14) && g_pChaseEditWindow &&
        (g_ucChaseEditFlags & CHASEEDIT_EFFECT))
        return HELP_TOPIC_CHASE_SELECT;
    return page;
}

int32_t Ui_HelpChaseTypePage()
{
    const CHASE *chase = g_pEditChase;
    const int32_t id = chase && chase->pDef ? int32_t(chase->pDef->uStoredId) : 0;
    return id >= 1 && id <= 20 ? id : 0;
}

void Ui_ShowPageHelp()
{
    g_ucHelpPageCount = uint8_t(std::clamp<int32_t>(g_sMenuItemCount + 1, 1, HELP_MAX_PAGES));
    g_ucHelpTopic = uint8_t(Ui_HelpTopicForPage(g_sMenuPage));
    g_ucHelpPage = 0;
    g_bHelpActive = 1;
    g_atPopupDescs[10].selected = 0;
    g_atPopupDescs[10].first = 0;
    // Chosen from the page menu, the menu's own screen is already on its way back.
    s_sHelpReturnScreen = int16_t(g_iNextScreen >= 0 ? g_iNextScreen : g_iScreen);
    s_pHelpReturnFocus = Ui_GetFocus();
    g_ucHelpFlags = HELP_FLAG_TOPIC_LIST;
    Ui_OpenBusyBox(Ui_Text(312), Ui_Text(41), UI_BUSY_CENTRED, 100, 15);
}

int32_t Ui_ReadHelpFile(const char *path)
{
    std::memset(g_acHelpReadArea, 0, sizeof g_acHelpReadArea);
    char dir[128];
    std::snprintf(dir, sizeof dir, "%s", path ? path : "");
    char *cut = std::strrchr(dir, '/');
    if (!cut)
        return 0;
    *cut = 0;
    const char *name = cut + 1;
    if (Sys_WadChangeDir(dir[0] ? dir : "/") != 0)
        return 0;
    const WADENTRY *entry = Sys_WadFindEntry(name);
    if (!entry) {
        if (g_ucHelpPageCount > 0)
            g_ucHelpPageCount--;
        return 0;
    }
    // Larger files are cut: the area keeps its terminator whatever the archive holds.
    const int32_t bytes = int32_t(std::min<uint32_t>(entry->uSize, HELP_READ_BYTES - 1));
    if (bytes > 0 && Sys_WadReadEntryPart(g_acHelpReadArea, entry, bytes) < 0) {
        std::memset(g_acHelpReadArea, 0, sizeof g_acHelpReadArea);
        return 0;
    }
    g_acHelpReadArea[bytes] = 0;
    return bytes;
}

int32_t Ui_WrapHelpText(char *dest, int32_t capacity, const char *text, int32_t width, int32_t length,
                        int32_t *lineCount)
{
    int32_t out = 0, lines = 0, lineWidth = 0;
    bool lineOpen = false;
    auto put = [&](char c) {
        if (out < capacity - 1)
            dest[out++] = c;
    };
    auto endLine = [&] {
        put(0);
        lines++;
        lineWidth = 0;
        lineOpen = false;
    };
    char word[HELP_READ_BYTES];
    int32_t at = 0;
    while (at < length && text[at]) {
        if (text[at] == '\r') {
            at++;
            continue;
        }
        if (text[at] == '\n') {
            // The line ends with a blank, so the next word measures from a clean start.
            put(' ');
            endLine();
            at++;
            continue;
        }
        // A word: its separating blank, then up to the next blank, CR, LF or the end.
        int32_t n = 0;
        if (text[at] == ' ')
            word[n++] = text[at++];
        while (at < length && text[at] && text[at] != ' ' && text[at] != '\r' && text[at] != '\n' &&
               n < int32_t(sizeof word) - 1)
            word[n++] = text[at++];
        word[n] = 0;
        const int32_t w = g_pfnHelpMeasure(word);
        const char *start = word;
        if (lineOpen && lineWidth + w > width) {
            endLine();
            if (*start == ' ')
                start++;
        }
        for (const char *c = start; *c; c++)
            put(*c);
        lineWidth += start == word ? w : g_pfnHelpMeasure(start);
        lineOpen = true;
    }
    // The last line counts even without a line feed.
    if (lineOpen)
        endLine();
    if (capacity > 0 && out < capacity)
        dest[out] = 0;
    if (lineCount)
        *lineCount = lines;
    return out;
}

uint8_t Ui_LoadHelpPages()
{
    g_aHelpPages.clear();
    const int32_t wanted = std::min<int32_t>(g_ucHelpPageCount, HELP_MAX_PAGES);
    // Found pages are kept in order without gaps: a missing file lowers the count.
    for (int32_t file = 0; file < wanted && int32_t(g_aHelpPages.size()) < g_ucHelpPageCount; file++) {
        char path[64];
        std::snprintf(path, sizeof path, "/demohelp/%s/%.3d/%.3d", LanguageFolder(), int(g_ucHelpTopic), int(file));
        // The clip editor's overview describes the chase being edited, by its type's stored id;
        // without one (or its page) the editor's own overview stays.
        if (file == 0 && g_ucHelpTopic == 14) {
            char typePath[64];
            std::snprintf(typePath, sizeof typePath, "/demohelp/%s/%.3d/%.3d", LanguageFolder(),
                          int(HELP_TOPIC_CHASE_TYPES), Ui_HelpChaseTypePage());
            const uint8_t before = g_ucHelpPageCount;
            const int32_t bytes = Ui_HelpChaseTypePage() > 0 ? Ui_ReadHelpFile(typePath) : 0;
            g_ucHelpPageCount = before;
            if (bytes > 0) {
                StorePage(bytes);
                continue;
            }
        }
        const uint8_t before = g_ucHelpPageCount;
        const int32_t bytes = Ui_ReadHelpFile(path);
        if (g_ucHelpPageCount < before)
            continue;
        StorePage(bytes);
    }
    g_ucHelpPageCount = uint8_t(g_aHelpPages.size());
    if (g_ucHelpPage >= g_ucHelpPageCount)
        g_ucHelpPage = 0;
    return 0;
}

int32_t Ui_HelpLineCount()
{
    const std::vector<std::string> *page = CurrentPage();
    return page ? int32_t(page->size()) - 1 : 0;
}

void Ui_HelpTopicRowText(int32_t op, int32_t number, void *row, void *)
{
    const int32_t n = op == LISTFILL_FIRST ? 1 : op == LISTFILL_NEXT ? number + 1 : number - 1;
    auto *r = static_cast<char *>(row);
    if (!r || n < 1)
        return;
    const uint16_t word = uint16_t(n);
    std::memcpy(r, &word, 2);
    const char *title = n <= int32_t(g_aHelpPages.size()) ? g_aHelpPages[size_t(n - 1)][0].c_str() : "";
    std::snprintf(r + 2, UI_POPUP_ROW_STRIDE - 3, "%s", title);
    r[UI_POPUP_ROW_STRIDE - 1] = 0;
}

void Ui_OpenHelpTopicList()
{
    int32_t width = g_pfnHelpMeasure(Ui_Text(311)) + 40;
    for (const auto &page : g_aHelpPages)
        width = std::max(width, g_pfnHelpMeasure(page[0].c_str()) + 30);
    width = std::min(width, 350);
    const int32_t height = std::min(int32_t(g_ucHelpPageCount) * 12 + 31, 175);
    POPUP *p = Ui_OpenPopupRows(10, nullptr, g_iScreenWidth / 4, 69, width, height, g_ucHelpPageCount,
                                Ui_HelpTopicRowText, nullptr);
    g_pHelpTopicPopup = p;
    if (!p) {
        Ui_HelpFinished();
        return;
    }
    Ui_SetFocus(p->window);
    g_iNextScreen = SCREEN_HELPTOPICS;
    g_sHelpScrollLine = 0;
    g_cHelpScrollOffset = g_cHelpScrollDir = 0;
    g_bModalBoxOpen = 1;
}

void Ui_ChooseHelpTopic()
{
    POPUP *p = g_pHelpTopicPopup;
    if (!p || p->free || !p->list)
        return;
    Ui_PopupStorePosition(p);
    const int32_t row = p->list->selected;
    Ui_TakeDownPopup(p);
    g_pHelpTopicPopup = nullptr;
    Seq_PlayInterfaceSound(1);
    g_ucHelpPage = uint8_t(std::clamp<int32_t>(row, 0, std::max(0, g_ucHelpPageCount - 1)));
    Ui_OpenHelpText();
}

void Ui_FindFirstHelpLine()
{
    const std::vector<std::string> *page = CurrentPage();
    if (!page) {
        g_pHelpFirstLine = nullptr;
        return;
    }
    // The title is skipped; from line 1 of the scroll on, the line above the view is drawn too.
    const int32_t index = 1 + std::max(0, g_sHelpScrollLine - 1);
    g_pHelpFirstLine = index < int32_t(page->size()) ? (*page)[size_t(index)].c_str() : nullptr;
    g_iHelpFirstLine = g_sHelpScrollLine;
    g_iHelpLineCount = Ui_HelpLineCount();
}

void Ui_ShowHelpPage()
{
    g_sHelpScrollLine = 0;
    g_cHelpScrollOffset = g_cHelpScrollDir = 0;
    const std::vector<std::string> *page = CurrentPage();
    std::snprintf(s_szCaption, sizeof s_szCaption, "%s", page ? (*page)[0].c_str() : "");
    if (g_pHelpScrollBar) {
        Ui_SetScrollBarMax(g_pHelpScrollBar, std::max(0, Ui_HelpLineCount() - g_pHelpScrollBar->page));
        Ui_SetScrollBarPos(g_pHelpScrollBar, 0);
        Ui_MarkScrollBarDirty(g_pHelpScrollBar);
    }
    Ui_FindFirstHelpLine();
}

void Ui_OpenHelpText()
{
    g_iAttractLastActivity = g_iFrameCount.load();
    WINDOWDESC d{};
    d.x = uint16_t(std::max(0, g_iScreenWidth / 2 - 150));
    d.y = uint16_t(std::max(0, (g_iScreenHeight - 250) / 2));
    d.w = 300;
    d.h = 250;
    d.style = 1;
    d.draw = Ui_DrawHelpText;
    g_pHelpTextWindow = Ui_OpenWindow(&d);
    if (!g_pHelpTextWindow) {
        Ui_PlayRefusal();
        Ui_HelpFinished();
        return;
    }
    const std::vector<std::string> *page = CurrentPage();
    std::snprintf(s_szCaption, sizeof s_szCaption, "%s", page ? (*page)[0].c_str() : "");
    TEXTFIELDDESC tf{s_szCaption, 6, 7, 287, 14, g_pHelpTextWindow, 0, 0, 128, 0};
    g_pHelpCaption = Ui_CreateTextField(&tf);
    g_sHelpScrollLine = 0;
    g_cHelpScrollOffset = g_cHelpScrollDir = 0;
    SCROLLBARDESC bd{};
    bd.flags = SCROLLBAR_VERTICAL;
    bd.x = 285;
    bd.y = 24;
    bd.w = 8;
    bd.h = 220;
    bd.page = HELP_VISIBLE_LINES;
    bd.maximum = std::max(0, Ui_HelpLineCount() - HELP_VISIBLE_LINES);
    bd.press = Ui_HelpScrollBarMouse;
    bd.held = Ui_HelpScrollBarMouse;
    g_pHelpScrollBar = Ui_CreateScrollBar(&bd, g_pHelpTextWindow);
    Ui_FindFirstHelpLine();
    g_iNextScreen = SCREEN_HELPTEXT;
    Ui_SetFocus(g_pHelpTextWindow);
}

void Ui_HelpScrollStep()
{
    if (!g_cHelpScrollDir)
        return;
    g_cHelpScrollOffset = int8_t(g_cHelpScrollOffset + g_cHelpScrollDir);
    if (std::abs(g_cHelpScrollOffset) < HELP_LINE_HEIGHT)
        return;
    // A negative offset moved the text up: one line further on.
    g_sHelpScrollLine = int16_t(g_sHelpScrollLine - Sign(g_cHelpScrollOffset));
    g_cHelpScrollOffset = g_cHelpScrollDir = 0;
    Ui_FindFirstHelpLine();
    if (g_pHelpScrollBar) {
        Ui_SetScrollBarPos(g_pHelpScrollBar, g_sHelpScrollLine);
        Ui_MarkScrollBarDirty(g_pHelpScrollBar);
    }
}

void Ui_DrawHelpText(void *)
{
    WINDOW *w = g_pHelpTextWindow;
    if (!w)
        return;
    FONT *savedFont = g_pFont;
    const uint32_t savedColour = g_uiTextColour;
    g_pFont = &g_tFontMain;
    g_uiTextColour = 90u | 90u << 8 | 90u << 16;
    Ui_HelpScrollStep();
    // Linked last is drawn first: the whole window again, the lines, their clip, the frame.
    Gfx_AddDrawArea(w->x, w->y, w->w, w->h);
    const std::vector<std::string> *page = CurrentPage();
    if (page) {
        int32_t index = 1 + std::max(0, g_sHelpScrollLine - 1);
        int32_t y = g_sHelpScrollLine == 0 ? 24 : 12;
        const int32_t most = g_sHelpScrollLine == 0 ? 19 : 20;
        for (int32_t k = 0; k < most && index < int32_t(page->size()); k++, index++, y += HELP_LINE_HEIGHT)
            Gfx_DrawTextWithIcons((*page)[size_t(index)].c_str(), 9, y + g_cHelpScrollOffset, g_pOrderingTable);
    }
    Gfx_AddDrawArea(w->x + 7, w->y + 24, 286, 220);
    Gfx_AddBevelBox(6, 23, 287, 221);
    Gfx_AddTile(7, 24, 286, 220, 20, 36, 44);
    g_uiTextColour = savedColour;
    g_pFont = savedFont;
    Ui_HelpIdleCheck();
}

void Ui_HelpIdleCheck()
{
    if (!g_pHelpTextWindow)
        return;
    // A button held down counts as the reader being there.
    if (g_wPadButtons != 0xFFFF)
        g_iAttractLastActivity = g_iFrameCount.load();
    if ((g_ucHelpFlags & HELP_FLAG_AUTO_CLOSE) && g_ucPadMissingCount == 0 &&
        g_iFrameCount.load() - g_iAttractLastActivity >= HELP_IDLE_CLOSE_FRAMES) {
        Sys_CallLog("Ui_HelpIdleClose");
        Ui_CloseHelpText();
    }
}

void Ui_HelpScrollUp()
{
    g_iAttractLastActivity = g_iFrameCount.load();
    if (g_sHelpScrollLine > 0 && !g_cHelpScrollDir)
        g_cHelpScrollDir = HELP_SCROLL_SPEED;
}

void Ui_HelpScrollDown()
{
    g_iAttractLastActivity = g_iFrameCount.load();
    if (g_sHelpScrollLine < Ui_HelpLineCount() - HELP_VISIBLE_LINES && !g_cHelpScrollDir)
        g_cHelpScrollDir = -HELP_SCROLL_SPEED;
}

void Ui_HelpPrevPage()
{
    g_iAttractLastActivity = g_iFrameCount.load();
    if (g_cHelpScrollDir || !g_pHelpTextWindow || g_ucHelpPage == 0)
        return;
    g_ucHelpPage--;
    Ui_ShowHelpPage();
}

void Ui_HelpNextPage()
{
    g_iAttractLastActivity = g_iFrameCount.load();
    if (g_cHelpScrollDir || !g_pHelpTextWindow || g_ucHelpPage + 1 >= g_ucHelpPageCount)
        return;
    g_ucHelpPage++;
    Ui_ShowHelpPage();
}

// Ui_HelpScrollBarMouse moved the scroll line (ui/barmouse.cpp).
void Ui_RedrawHelpText()
{
    g_sHelpScrollLine = int16_t(std::clamp(g_iHelpFirstLine, 0, std::max(0, Ui_HelpLineCount() - HELP_VISIBLE_LINES)));
    g_cHelpScrollOffset = g_cHelpScrollDir = 0;
    Ui_FindFirstHelpLine();
    if (g_pHelpScrollBar) {
        Ui_SetScrollBarPos(g_pHelpScrollBar, g_sHelpScrollLine);
        Ui_MarkScrollBarDirty(g_pHelpScrollBar);
    }
}

namespace {

void CloseTextWindow()
{
    if (g_pHelpTextWindow)
        Ui_CloseWindow(g_pHelpTextWindow);
    g_pHelpTextWindow = nullptr;
    g_pHelpCaption = nullptr;
    g_pHelpScrollBar = nullptr;
    g_cHelpScrollOffset = g_cHelpScrollDir = 0;
}

void ReopenTopicList()
{
    // The list opens with the page just read selected and in view.
    POPUPDESC &d = g_atPopupDescs[10];
    d.selected = g_ucHelpPage;
    const int32_t visible = std::max(1, (std::min(int32_t(g_ucHelpPageCount) * 12 + 31, 175) - 24) / 12);
    if (d.selected < d.first)
        d.first = d.selected;
    else if (d.selected >= d.first + visible)
        d.first = uint16_t(d.selected - visible + 1);
    Ui_OpenHelpTopicList();
}

} // namespace

void Ui_CloseHelpText()
{
    if (!g_pHelpTextWindow)
        return;
    Seq_PlayInterfaceSound(4);
    CloseTextWindow();
    g_ucHelpFlags = uint8_t(g_ucHelpFlags & ~HELP_FLAG_AUTO_CLOSE);
    if (g_ucHelpFlags & HELP_FLAG_TOPIC_LIST) {
        ReopenTopicList();
        return;
    }
    g_bModalBoxOpen = 0;
    g_iNextScreen = s_sHelpReturnScreen;
    if (AliveFocus(s_pHelpReturnFocus))
        Ui_SetFocus(s_pHelpReturnFocus);
    g_bHelpActive = 0;
    switch (g_ucHelpTopic) {
    case HELP_TOPIC_JAM:
        // The jam help is read over the top bar, which goes with it.
        if (g_pTopBarWindow && Ui_WindowIsOpen(g_pTopBarWindow))
            Ui_CloseWindow(g_pTopBarWindow);
        break;
    case HELP_TOPIC_START:
    case HELP_TOPIC_INTRODUCTION:
        // Read to the end (or left alone): a studio running without a 3-D card shows its demo.
        if (g_bSoftware3D)
            Ed_AttractStartDemo();
        break;
    default:
        break;
    }
}

void Ui_HelpTextBack()
{
    if ((g_ucHelpFlags & HELP_FLAG_TOPIC_LIST) || !g_pHelpTextWindow) {
        Ui_CloseHelpText();
        return;
    }
    // Back out of a fixed text: no demo after it, and each goes back where it belongs.
    Seq_PlayInterfaceSound(4);
    CloseTextWindow();
    g_ucHelpFlags = 0;
    g_bHelpActive = 0;
    g_bModalBoxOpen = 0;
    switch (g_ucHelpTopic) {
    case HELP_TOPIC_JAM:
        Ed_LeaveScreen();
        break;
    case HELP_TOPIC_CREDITS:
        if (WINDOW *options = g_atWindowRoles[UI_ROLE_OPTION].window) {
            Ui_SetFocus(options);
            g_iScreen = g_iNextScreen = 22;
            break;
        }
        [[fallthrough]];
    default:
        g_iNextScreen = s_sHelpReturnScreen;
        if (AliveFocus(s_pHelpReturnFocus))
            Ui_SetFocus(s_pHelpReturnFocus);
        break;
    }
}

void Ui_CloseHelpTopics()
{
    POPUP *p = g_pHelpTopicPopup;
    if (p && !p->free) {
        Ui_PopupStorePosition(p);
        Ui_TakeDownPopup(p);
    }
    g_pHelpTopicPopup = nullptr;
    Seq_PlayInterfaceSound(4);
    Ui_HelpFinished();
}

void Ui_HelpFinished()
{
    g_bHelpActive = 0;
    g_ucHelpFlags = 0;
    const int32_t topic = g_ucHelpTopic;
    const bool popupTopic = std::find(std::begin(kPopupTopics), std::end(kPopupTopics), topic) != std::end(kPopupTopics);
    if (g_bJamSessionOn) {
        if (topic == 29) {
            ReturnToPopup();
        } else {
            g_iNextScreen = 10;
            Ui_SetFocus(s_pHelpReturnFocus);
        }
    } else if (popupTopic) {
        ReturnToPopup();
    } else {
        // Back where help was asked for (the grid, its area selection, an editor), with its focus.
        g_iNextScreen = s_sHelpReturnScreen;
        Ui_SetFocus(s_pHelpReturnFocus);
    }
    g_bModalBoxOpen = 0;
}

uint8_t Ui_LoadJamHelp()
{
    LoadFixedTopic(HELP_TOPIC_JAM);
    return 0;
}

void Ui_OpenJamHelp()
{
    Ui_OpenHelpText();
}

void Ui_ShowJamHelp()
{
    g_ucHelpFlags = 0;
    s_sHelpReturnScreen = int16_t(g_iNextScreen >= 0 ? g_iNextScreen : g_iScreen);
    s_pHelpReturnFocus = Ui_GetFocus();
    g_bHelpActive = 1;
    Ui_OpenBusyBox("Jam Help", Ui_Text(350), UI_BUSY_CENTRED, 100, 20);
}

bool Ui_IntroductionDue()
{
    // A headless run starts with an empty settings store: it counts as a user who has seen the
    // introduction unless TNV_FIRST_START asks for a first start.
    if (Plat_IsHeadless() && !Plat_GetEnvInt("TNV_FIRST_START", 0))
        return false;
    char seen[8] = {};
    return Plat_SettingsRead(SETTINGS_KEY, HELP_INTRODUCTION_SETTING, seen, sizeof seen) != 0 || seen[0] != '1';
}

void Ui_ShowIntroduction()
{
    Sys_CallLog("Ui_ShowIntroduction");
    if (!Ui_IntroductionDue())
        return;
    // Once: later starts go straight to the grid.
    Plat_SettingsWrite(SETTINGS_KEY, HELP_INTRODUCTION_SETTING, "1");
    s_sHelpReturnScreen = int16_t(g_iNextScreen >= 0 ? g_iNextScreen : g_iScreen);
    s_pHelpReturnFocus = Ui_GetFocus();
    g_bHelpActive = 1;
    g_ucHelpFlags = HELP_FLAG_AUTO_CLOSE;
    Ui_OpenBusyBox(Ui_Text(440), Ui_Text(41), UI_BUSY_CENTRED, 100, 24);
}

uint8_t Ui_LoadIntroduction()
{
    LoadFixedTopic(HELP_TOPIC_INTRODUCTION);
    return 0;
}

void Ui_OpenIntroduction()
{
    Ui_OpenHelpText();
}

uint8_t Ui_LoadCredits()
{
    LoadFixedTopic(HELP_TOPIC_CREDITS);
    return 0;
}

void Ui_ShowCredits()
{
    g_ucHelpFlags = 0;
    s_sHelpReturnScreen = int16_t(g_iNextScreen >= 0 ? g_iNextScreen : g_iScreen);
    s_pHelpReturnFocus = Ui_GetFocus();
    g_bHelpActive = 1;
    Ui_OpenBusyBox("Credits", Ui_Text(680), UI_BUSY_CENTRED, 100, 29);
}

void Ui_OpenCredits()
{
    Ui_OpenHelpText();
}

void Ui_InstallHelpMenuItems()
{
    Ui_SetMenuItemHandler(11, Ui_ShowPageHelp);
    Ui_SetMenuItemHandler(137, Ui_ShowPageHelp);
}

void Ui_InitHelpOperations()
{
    Ui_SetBusyOperation(15, Ui_LoadHelpPages, Ui_OpenHelpTopicList);
    Ui_SetBusyOperation(20, Ui_LoadJamHelp, Ui_OpenJamHelp);
    Ui_SetBusyOperation(24, Ui_LoadIntroduction, Ui_OpenIntroduction);
    Ui_SetBusyOperation(29, Ui_LoadCredits, Ui_OpenCredits);
}

// The screens' handlers: the topic list (49) and the text window (50).
void Ui_HelpTopicsUp()
{
    Ui_PopupUp();
}

void Ui_HelpTopicsDown()
{
    Ui_PopupDown();
}

void Ui_HelpTopicsClose()
{
    Ui_CloseHelpTopics();
}

void Ui_HelpTopicsOpen()
{
    Ui_ChooseHelpTopic();
}

void Ui_HelpTextScrollUp()
{
    Ui_HelpScrollUp();
}

void Ui_HelpTextScrollDown()
{
    Ui_HelpScrollDown();
}

void Ui_HelpTextPrevPage()
{
    Ui_HelpPrevPage();
}

void Ui_HelpTextNextPage()
{
    Ui_HelpNextPage();
}

void Ui_HelpTextClose()
{
    Ui_HelpTextBack();
}

void Ui_HelpTextAccept()
{
    Ui_CloseHelpText();
}
