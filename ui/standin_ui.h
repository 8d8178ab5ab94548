// Stand-ins for the interface calls the program spine makes, until the interface is built.
#pragma once

#include "ui/popup.h"
#include "ui/requesters.h"
#include "ui/widgets.h"

#include <cstdint>

extern uint8_t g_ucPopupReturn;
extern int32_t g_bUiRedrawOnce;
extern uint32_t g_uUiFreeMemory;
extern int32_t g_iTexturePagesUsed;
// The interface pad word: 0x1000 shows the whole display area, 0x2000 toggles the display-window
// size (ui/standin_padword.cpp).
extern uint16_t g_wUiPadWord;
// The interface's current fill colour: red, green, blue (ui/standin_fillcolour.cpp).
extern uint8_t g_abFillColour[3];

// The per-frame dispatcher's interface frame (ui/widgets.h has the widget frame itself).
void Ui_Frame();
void Ui_EscapeAction();
void Ui_HandleCloseRequest();


// Marks the disk browser's list views for a rebuild from the browser table on the next frame.
void Ui_MarkBrowserListsDirty();
