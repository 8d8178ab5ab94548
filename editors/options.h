// The option pages (screen 22): a window of gadgets in which the user sets devices and levels,
// clears the song or the video, reads the song's statistics and opens the mixer panel. The same
// gadget engine runs the song lanes' small dialogs (bar range, reverb), told apart by
// g_ucOptionPageMode. Main thread only.
#pragma once

#include <cstdint>

struct WINDOW;
struct VALUESLIDER;

enum : uint8_t
{
    GADGET_NONE = 0,
    GADGET_SLIDER = 1,
    GADGET_BUTTON = 2,
    GADGET_CHOICE = 3,
    GADGET_BAR = 4,
    GADGET_ARROWS = 5,
    GADGET_PANEL_STATS = 6,
    GADGET_PANEL_VIDEO = 7,
    GADGET_PANEL_AUDIO = 8,
    GADGET_SMALL_BUTTON = 9,
    GADGET_PANEL_MIDI = 10,
    GADGET_KINDS = 11,
};

enum : uint32_t
{
    GADGET_DISABLED = 1,
    GADGET_RED_BAR = 2,
    GADGET_SIGNED = 4,
    GADGET_HIDDEN = 8,
};

// Links to the neighbouring gadgets, as indices into the page (-1 none).
enum
{
    GADGET_LEFT,
    GADGET_RIGHT,
    GADGET_UP,
    GADGET_DOWN,
};

struct OPTIONGADGET
{
    int16_t text;  // language text (0: an empty slot)
    int16_t text2; // first choice text (kind 3), sub-caption (kind 5)
    int16_t x, y;
    uint8_t kind;
    uint8_t width; // of the bound value: 0 u8, 1 i16, 2 i32
    int32_t minimum, maximum;
    void *target;      // the bound value (slider kinds)
    void (*action)();  // button kinds
    VALUESLIDER *widget;
    uint32_t flags;
    int8_t link[4];
    int16_t sliderWidth; // 0: 180
};

constexpr int ED_GADGETS = 9;
constexpr int ED_OPTION_PAGES = 4;
constexpr int32_t SCREEN_OPTIONS = 22;
constexpr int32_t SCREEN_OPTION_DRAG = 33;
constexpr int32_t ED_OPTION_W = 348, ED_OPTION_H = 194;
constexpr int ED_DEVICE_NAME = 256;

extern WINDOW *g_pOptionWindow;
extern OPTIONGADGET *g_pGadgetPage;
extern OPTIONGADGET *g_pCurrentGadget;
extern OPTIONGADGET *g_pOptionsPage;
extern OPTIONGADGET g_aatOptionPages[ED_OPTION_PAGES][ED_GADGETS];
extern uint8_t g_ucChoiceArrow;

extern int32_t g_iFeedbackQuality;   // 0..2
extern int32_t g_iMaxEffectChannels; // 1..99
extern int32_t g_iLowestMidiNote;    // 0..48
// The device names the panels show; "default" until a device is chosen.
extern char g_szGfxDeviceName[ED_DEVICE_NAME];
extern char g_szAudioInName[ED_DEVICE_NAME];
extern char g_szAudioOutName[ED_DEVICE_NAME];
extern char g_szMidiInName[ED_DEVICE_NAME];

// Builds the four option pages and puts the values to their start (also the tests' reset).
void Ed_InitOptionPages();
void Ed_OpenOptionPage();
void Ed_CloseOptionPage();
// Closes the window of whatever page or dialog the gadgets show (its values are not stored).
void Ed_CloseGadgetWindow();
// Closes the pages for another section; the action runs once the window is gone.
void Ed_OptionPageCloseThenRun(void (*action)());
// Back to the grid window and its editor menu (the song grid when none is open).
void Ed_ReturnToGrid();
// The CD player's options page (option page mode 4) has closed: back where it was opened from.
void Ed_CdOptionsClosed();
void Ed_OptionPageDraw(void *user);

// Shows a page in the open window (sliders made for its slider kinds) and focuses gadget
// `focus` (-1: none). Answers false when a slider cannot be had.
bool Ed_ShowGadgetPage(OPTIONGADGET *page, int focus);
// Stores every slider of the shown page into its value.
void Ed_StoreGadgetValues();
// Frees the shown page's sliders.
void Ed_DropGadgetPage();

// The mouse on a gadget window of the option page's kind (other dialogs built on the gadgets).
void Ed_OptionWindowClick(int32_t event);
void Ed_GadgetFocus(OPTIONGADGET *g);
void Ed_GadgetUnfocus(OPTIONGADGET *g);
void Ed_GadgetAccept();
// The gadget clicked becomes the current one and is accepted; the click keeps mouse mode on.
void Ed_GadgetAcceptByMouse(OPTIONGADGET *g);
void Ed_GadgetLeftKey();
void Ed_GadgetRightKey();
void Ed_GadgetUp();
void Ed_GadgetDown();
void Ed_GadgetMoveLeft();
void Ed_GadgetMoveRight();
void Ed_GadgetChoiceStep();
void Ed_OptionNextPage();
void Ed_OptionPrevPage();
void Ed_OptionPageBack();
void Ed_OptionRangeLeft();
void Ed_OptionRangeRight();
void Ed_OptionRangeEndAdjust();
// The screen-33 step: 2 x max(1, maximum / (bar width - 32)).
int32_t Ed_OptionDragStep(const VALUESLIDER *slider);

// A device name as the panels show it: longer than 28 characters, its first 29 and "...".
void Ed_ShortDeviceName(const char *name, char *out, int size);
// The text a panel row shows for a number ("%d").
void Ed_PanelNumber(int32_t value, char *out, int size);
