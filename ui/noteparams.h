// The note parameter panel beside the riff grid (screen 14), the repeat pattern row (screen 16)
// and the riff channel mutes (screen 13).
#pragma once

#include <cstdint>

struct NOTEGADGET
{
    uint16_t text;                 // language text id of the name
    int16_t left, top;             // rectangle in panel coordinates
    uint16_t right, bottom;
    uint8_t neighbour[4];          // left, right, up, down; 66 none
    uint8_t x, y;                  // where the value is drawn
    void (*draw)();
    void (*action)();
};
constexpr int32_t UI_NOTE_GADGETS = 12;
constexpr uint8_t UI_NO_GADGET = 66;
constexpr int32_t UI_NOTE_PANEL_X = 252, UI_NOTE_PANEL_Y = 25;
extern const NOTEGADGET g_atNoteGadgets[UI_NOTE_GADGETS];

extern uint8_t g_ucNoteGadget;      // the current gadget
extern uint8_t g_ucRepeatStep;      // 0..7, 8 the mode box
extern uint8_t g_ucRepeatStepKept;  // the step remembered while on the mode box
extern uint8_t g_ucNotePanelFlags;  // bit 0: the panel edits the notes of the marked area
extern uint8_t g_ucPanelHighlight, g_ucPanelHighlightTarget;

void Ui_OpenChannelMutes();
void Ui_ChannelMuteLeft();
void Ui_ChannelMuteRight();
void Ui_ChannelMuteToggle();
void Ui_GadgetScreenBack();

void Ui_OpenNoteParams();
void Ui_NoteGadgetLeft();
void Ui_NoteGadgetRight();
void Ui_NoteGadgetUp();
void Ui_NoteGadgetDown();
void Ui_NoteGadgetAction();
void Ui_NoteParamBack();
// The area menu's "Change note parameters": the panel edits every note of the marked columns.
void Ui_AreaNoteParams();
void Ui_ApplyNoteParamsToArea();
// Writes the panel's note back at its step on the current channel and closes the undo step.
void Ui_WriteSelectedNote();

void Ui_RepeatStepLeft();
void Ui_RepeatStepRight();
void Ui_RepeatStepToggle();
void Ui_RepeatModeBox();
void Ui_RepeatStepRow();
void Ui_GadgetPanelBack();
