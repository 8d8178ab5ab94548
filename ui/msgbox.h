// Message boxes: up to five small windows with a text, an icon and up to two buttons; the newest
// takes the pad (screen 17) until answered, then the screen and focus it found come back and the
// caller's answer function runs.
#pragma once

#include "ui/langtext.h"
#include "ui/widgets.h"

#include <cstdint>

struct WINDOW;

enum : uint8_t
{
    MSGBOX_COPY_TEXT = 1,        // the box keeps its own copy of the text
    MSGBOX_RECORD_TIME = 2,      // a line with the seconds recorded so far
    MSGBOX_MIXDOWN_PERCENT = 8,  // a line with the mixdown's percentage and a bar
    MSGBOX_JAM_COUNTDOWN = 16,   // a line with the seconds until the jam starts and a bar
};
constexpr uint8_t MSGBOX_PROGRESS = MSGBOX_RECORD_TIME | MSGBOX_MIXDOWN_PERCENT | MSGBOX_JAM_COUNTDOWN;

constexpr int MSGBOX_SLOTS = 5;
constexpr int32_t SCREEN_MSGBOX = 17;
constexpr int MSGBOX_TEXT_COPY = 256;

typedef void (*MSGBOXANSWERFN)(uint8_t button);
typedef void (*MSGBOXUSERANSWERFN)(uint8_t button, uint32_t user);

// Zeroed by the caller; zero fields take the defaults.
struct MSGBOXREQUEST
{
    uint16_t x;     // 0: centred
    uint16_t y;     // 0: centred, then 40 pixels up
    uint16_t width; // 0: 220
    uint8_t ucIcon; // 0..8
    const char *pszText;
    uint8_t ucButtonCount;   // 0, 1 or 2
    int16_t asButtonText[2]; // language text ids, left button first
    uint8_t ucOffset22;      // kept as callers fill it; not read
    uint32_t uReserved;
    MSGBOXANSWERFN pfnAnswer;         // gets the chosen button (0 = left)
    MSGBOXUSERANSWERFN pfnUserAnswer; // used instead when uUserValue is not 0
    uint8_t ucFlags;
    uint32_t uUserValue;
};

struct MSGBOX
{
    WINDOW *pWindow; // null: the slot is free
    uint8_t ucButtonCount;
    const char *pszText;
    uint16_t width, height;
    uint16_t lineCount;
    int16_t asButtonText[2];
    int16_t asButtonX[2]; // left edges inside the box
    int16_t sButtonWidth;
    uint8_t ucChosen;
    int32_t iIconImage;
    int16_t sSavedScreen;
    MSGBOXANSWERFN pfnAnswer;
    MSGBOXUSERANSWERFN pfnUserAnswer;
    void *pSavedFocus;
    char szText[MSGBOX_TEXT_COPY];
    uint32_t uUserValue;
    int32_t iCloseFrame;
    uint8_t ucFlags;
    uint8_t ucClosedOnce; // iCloseFrame is set
    WIDGET aButtonWidgets[2]; // the buttons' click targets, children of the box's window
};
constexpr uint8_t WIDGET_MSGBOX_BUTTON = 7;

extern MSGBOX g_aMsgBoxes[MSGBOX_SLOTS];

// At shutdown, before the language texts go: every box still open keeps its own copy of its text
// (cut to the copy's size), so nothing is left pointing into the freed texts.
void Ui_KeepMessageBoxTexts();
extern MSGBOX *g_pCurrentMsgBox;
extern MSGBOX *g_pPadRemovedBox;
// The card-format result box (codes 22 and 23) while it is open.
extern MSGBOX *g_pFormatResultBox;
extern int32_t g_bModalBoxOpen;

// Opens a box; null when all five slots are in use or cooling (a closed slot is reused only
// three frames after it closed).
MSGBOX *Ui_OpenMessageBox(const MSGBOXREQUEST *req);
// Closes a box (nothing when it is already closed). When another box stays open it becomes the
// current one and this box's answer is dropped; otherwise screen and focus come back and the
// answer is delivered.
void Ui_CloseMessageBox(MSGBOX *box);
// A click on a button chooses it and answers as slot 14 does.
void Ui_MsgBoxButtonClick(WIDGET *button);
// Pad handlers of screen 17. Moving the choice in mouse mode puts the pointer on the button.
void Ui_MessageBoxAccept();
void Ui_MessageBoxLeft();
void Ui_MessageBoxRight();
// Shows the result of an operation that failed or needs confirming: 22/23 a memory card format
// (cardSlot 0 or 1), 10 sound memory full, 20/21 out of memory. Other codes show nothing.
MSGBOX *Ui_ShowOperationResult(int32_t code, int32_t cardSlot = 0);
// The answer of the card-format result box: forgets the box and goes back to the file screen.
void Ui_FormatResultClosed(uint8_t button);

// Line breaking of box texts: calls line(start, length) for each line that fits width pixels in
// the main font; words wider than a line are split. Returns the number of lines.
int Ui_MsgBoxWrap(const char *text, int32_t width, void (*line)(const char *start, int length, void *user),
                  void *user);

// The progress line under the text of a box with one of the progress flags: its text and how
// far its bar is filled (0..barWidth). False for a box without one.
bool Ui_MsgBoxProgress(const MSGBOX *box, char *text, int size, int32_t barWidth, int32_t *fill);

// Frees every slot at once (start-up and tests).
void Ui_ResetMessageBoxes();

void Ui_StopPlayback();
