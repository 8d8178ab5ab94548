// STAND-INS for what the riff editor needs of screens not built yet: the value editor, the curve
// widget and editor, the quit question, the riff palette pop-up, the channel links and the note
// effect pop-up. Definitions are weak; the real ones replace them.
#pragma once

#include <cstdint>

// The value editor: edits *target (width 0 u8, 1 u16, 2 u32) within min..max; `done` runs after
// a value is stored. Stand-in: keeps the request; a value comes through Ui_StandinValueEditorSet.
void Ui_OpenNoteValueEditor(void *target, int32_t width, uint32_t min, uint32_t max, int32_t title,
                            void (*done)());
// Stand-in only: stores a value into the open request (held to its range) and runs its `done`.
// False when no request is open.
bool Ui_StandinValueEditorSet(uint32_t value);
// The open request's title, -1 when none.
int32_t Ui_StandinValueEditorTitle();

// A curve of a note's parameter list drawn w x h at (x, y).
void Ed_DrawNoteCurve(const uint16_t *values, int32_t count, int32_t x, int32_t y, int32_t w, int32_t h);
void Ed_OpenCurveEditor(int32_t mode);
void Ui_AskQuit();
void Ui_OpenRiffPalettePopup();
void Ui_RebuildChannelLinks();
void Ui_ChannelLinkAction();
void Ui_OpenNoteEffectPopup();
// The effect number (text 152 + n) the effect selector of a note names.
int32_t Ui_NoteEffectNumber(uint8_t selector);
