// Stand-ins for the interface calls the program spine makes, until the interface is built.
#pragma once

#include "ui/popup.h"
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

// The riff editor's note entry in live-play mode: a MIDI note-on enters a note at the cursor.
// Stand-in until the riff editor is built: it keeps the notes entered, oldest first.
void Ui_LiveNoteEntry(int note, int velocity);
struct UILIVENOTE
{
    int note;
    int velocity;
};
const UILIVENOTE *Ui_StandinLiveNotes(int *count);
void Ui_StandinClearLiveNotes();

// The mixdown's progress box: opened with the file name, "Finished" and an Okay button at the
// end. Its Stop button sets g_bMixdownAbort.
void Ui_OpenWavSaveProgress(const char *fileName, int mode);
void Ui_FinishWavSaveProgress();

// The display test's boxes: the question whose answer runs the test, and the failure report.
void Ui_AskTestDisplayMode();
void Ui_ReportDisplayModeFailed();

// Marks the disk browser's list views for a rebuild from the browser table on the next frame.
void Ui_MarkBrowserListsDirty();
