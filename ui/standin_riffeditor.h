// STAND-INS for what the riff editor needs of screens not built yet: the riff
// palette pop-up and the effect names. Definitions are weak; the real ones
// replace them.
#pragma once

#include <cstdint>

void Ui_OpenRiffPalettePopup();
// The effect number (text 152 + n) the effect selector of a note names.
int32_t Ui_NoteEffectNumber(uint8_t selector);
