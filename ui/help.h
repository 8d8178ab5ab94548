// Help: plain text pages in the archive ("/demohelp/<LANGUAGE>/<topic>/<page>"), one topic per
// menu page plus the jam help, the introduction and the credits. The "Help" item loads the
// current page's topic behind the busy box, lists the page titles (pop-up kind 10, screen 49)
// and shows the chosen page in a text window (screen 50) that scrolls smoothly and pages left
// and right. Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct POPUP;
struct SCROLLBAR;
struct TEXTFIELD;
struct WINDOW;

constexpr int32_t HELP_READ_BYTES = 4096;  // the read area; a page file uses at most 4095 of it
constexpr int32_t HELP_MAX_PAGES = 64;      // page count of a menu topic: items + 1, at most 33
constexpr int32_t HELP_WRAP_WIDTH = 275;
constexpr int32_t HELP_VISIBLE_LINES = 18;
constexpr int32_t HELP_LINE_HEIGHT = 12;
constexpr int32_t HELP_SCROLL_SPEED = 2;    // pixels a frame
constexpr int32_t SCREEN_HELPTOPICS = 49;
constexpr int32_t SCREEN_HELPTEXT = 50;
// The introduction closes itself after this many counts of the frame counter without a key
// (20 seconds).
constexpr int32_t HELP_IDLE_CLOSE_FRAMES = 2000;
// The settings value that says the introduction was shown ("1").
constexpr const char *HELP_INTRODUCTION_SETTING = "Introduction";

enum : int32_t
{
    HELP_TOPIC_JAM = 100,
    HELP_TOPIC_CHASE_TYPES = 102,
    HELP_TOPIC_CHASE_SELECT = 103,
    HELP_TOPIC_AREA_PAN = 104,
    HELP_TOPIC_AREA_OFFSET = 105,
    HELP_TOPIC_AREA_VOLUME = 106,
    HELP_TOPIC_START = 101,
    HELP_TOPIC_INTRODUCTION = 107,
    HELP_TOPIC_CREDITS = 108,
};

enum : uint8_t
{
    HELP_FLAG_TOPIC_LIST = 1,
    HELP_FLAG_AUTO_CLOSE = 4,
};

extern uint8_t g_ucHelpPageCount;
extern uint8_t g_ucHelpTopic; // (ui/gridstate.cpp: the pointer's hover reads it)
extern uint8_t g_ucHelpPage;
extern uint8_t g_ucHelpFlags;
extern int32_t g_bHelpActive;
extern POPUP *g_pHelpTopicPopup;
extern WINDOW *g_pHelpTextWindow;
extern TEXTFIELD *g_pHelpCaption;
extern SCROLLBAR *g_pHelpScrollBar;
extern int16_t g_sHelpScrollLine;
extern int8_t g_cHelpScrollOffset;
extern int8_t g_cHelpScrollDir;
extern const char *g_pHelpFirstLine; // the first line drawn

// The loaded pages: line 0 of each is its title, the rest its wrapped text.
extern std::vector<std::vector<std::string>> g_aHelpPages;

// Measures a piece of text in pixels (the interface font with inline icons; tests give their own).
typedef int32_t (*HELPMEASURE)(const char *text);
extern HELPMEASURE g_pfnHelpMeasure;

// The topic of the current menu page, with the curve editor's and chase editor's replacements.
int32_t Ui_HelpTopicForPage(int32_t page);

// The page of topic 102 describing the edited chase's type: its stored id 1..20, 0 for none.
int32_t Ui_HelpChaseTypePage();

// The "Help" menu item.
void Ui_ShowPageHelp();
// Reads and wraps every page of g_ucHelpTopic (the busy box's operation). 0.
uint8_t Ui_LoadHelpPages();
// The page file at path into the read area (at most 4095 bytes, then a terminator): its byte
// count, or 0 when the folder or the entry is missing (a missing entry lowers the page count).
int32_t Ui_ReadHelpFile(const char *path);
extern char g_acHelpReadArea[HELP_READ_BYTES];
// Wraps length bytes of text into lines of at most width pixels, written to dest as NUL-ended
// lines (at most capacity bytes). The lines written go to *lineCount; returns the bytes written.
int32_t Ui_WrapHelpText(char *dest, int32_t capacity, const char *text, int32_t width, int32_t length,
                        int32_t *lineCount);

void Ui_OpenHelpTopicList();
void Ui_HelpTopicRowText(int32_t op, int32_t number, void *row, void *popup);
void Ui_ChooseHelpTopic();
void Ui_OpenHelpText();
void Ui_DrawHelpText(void *user);
void Ui_HelpScrollStep();
void Ui_FindFirstHelpLine();
void Ui_ShowHelpPage();
void Ui_HelpScrollUp();
void Ui_HelpScrollDown();
void Ui_HelpPrevPage();
void Ui_HelpNextPage();
void Ui_CloseHelpText();
void Ui_HelpTextBack();
void Ui_CloseHelpTopics();
void Ui_HelpFinished();
// Closes the introduction when no key came for HELP_IDLE_CLOSE_FRAMES (drawn every frame).
void Ui_HelpIdleCheck();
// Body lines of the current page (after its title).
int32_t Ui_HelpLineCount();

// The fixed texts: load (the busy box's operation), show (opens the busy box) and open.
uint8_t Ui_LoadJamHelp();
void Ui_ShowJamHelp();
void Ui_OpenJamHelp();
// True until the introduction has been shown once for this user (headless: only with the test
// hook TNV_FIRST_START=1, since the headless settings store always starts empty).
bool Ui_IntroductionDue();
// At start-up: the introduction behind the busy box, when it is due.
void Ui_ShowIntroduction();
uint8_t Ui_LoadIntroduction();
void Ui_OpenIntroduction();
uint8_t Ui_LoadCredits();
void Ui_ShowCredits();
void Ui_OpenCredits();

// The help item on the menu pages and the busy box's help operations.
void Ui_InstallHelpMenuItems();
void Ui_InitHelpOperations();

// The pad handlers of the topic list (screen 49: slots 4, 6, 12, 13/14) and the text window
// (screen 50: slots 4, 6 held; 7, 5 page; 12 back; 14 close).
void Ui_HelpTopicsUp();
void Ui_HelpTopicsDown();
void Ui_HelpTopicsClose();
void Ui_HelpTopicsOpen();
void Ui_HelpTextScrollUp();
void Ui_HelpTextScrollDown();
void Ui_HelpTextPrevPage();
void Ui_HelpTextNextPage();
void Ui_HelpTextClose();
void Ui_HelpTextAccept();
