// Stand-in until the interface's message boxes are built: only the fields the pad check uses.
#pragma once

#include <cstdint>

enum : uint8_t
{
    MSGBOX_COPY_TEXT = 1, // the box keeps its own copy of the text
};

typedef void (*MSGBOXANSWERFN)(uint8_t button);

struct MSGBOXREQUEST
{
    uint8_t ucIcon;
    const char *pszText;
    uint8_t ucButtonCount;     // 0, 1 or 2
    int16_t asButtonText[2];   // language text ids, left button first
    MSGBOXANSWERFN pfnAnswer;  // gets the chosen button (0 = left)
    uint8_t ucFlags;
    uint8_t ucOffset22; // the request byte at offset 22 in the console layout
};

struct MSGBOX
{
    const char *pszText;
    char szText[256];
    uint8_t ucButtonCount;
    int16_t asButtonText[2];
    MSGBOXANSWERFN pfnAnswer;
    uint8_t ucFlags;
    int16_t sSavedScreen;
};

extern MSGBOX *g_pPadRemovedBox;
#include "ui/langtext.h"

MSGBOX *Ui_OpenMessageBox(const MSGBOXREQUEST *req);
// The stand-in's one box: the last one opened (tests read it).
MSGBOX *Ui_StandinMessageBox();
void Ui_StopPlayback();
