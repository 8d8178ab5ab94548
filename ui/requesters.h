// The small question boxes built on the message box: quitting, testing a new display mode or
// device, and the mixdown's progress. Main thread only.
#pragma once

#include <cstdint>

struct MSGBOX;

// The running mixdown's box, from its opening until it closes (null otherwise).
extern MSGBOX *g_pWavSaveBox;

// "Quit to Desktop?": the mix pauses while the box is up; "Okay" quits, either answer resumes it.
void Ui_AskQuit();
void Ui_QuitBoxAnswer(uint8_t button);

// The display test: the question, the test itself on "Okay", the failure report, and the
// question whether the test pattern was seen ("Yes" keeps the wanted mode or device).
void Ui_AskTestDisplayMode();
void Ui_DisplayTestStart(uint8_t button);
void Ui_AskSawTestPattern();
void Ui_DisplayTestAnswer(uint8_t button);
void Ui_ReportDisplayModeFailed();
void Ui_DisplayTestBoxClosed(uint8_t button);

// The mixdown's progress box: the title with a percentage line and a "Stop" button that asks the
// mixdown to end; at the end it reads "Finished" with an "Okay" button.
void Ui_OpenWavSaveProgress(const char *fileName, int mode);
void Ui_WavSaveStopPressed(uint8_t button);
void Ui_FinishWavSaveProgress();

// Called by the sequencer's stop for each voice; nothing to do.
void Ui_SetVoiceStub(int32_t voice, int32_t value);
// The callback of a jam message box that ends the jam: back to the jam screen, and the jam ends.
void Ui_JamBoxClosed(uint8_t button);
