// The riff icon picker: a small window of 16 icon cells (8 x 2) from which a riff's type, and so
// its icon, is chosen (screen 52).
#pragma once

#include <cstdint>

struct WINDOW;

enum : uint8_t
{
    ICONPICKER_PALETTE = 1, // the riff selected in the riff palette
    ICONPICKER_CURRENT = 2, // the riff editor's riff
};
constexpr int32_t UI_ICON_CELLS = 16;
extern const uint16_t g_auIconCellImages[UI_ICON_CELLS];

extern uint8_t g_ucIconCell;
extern uint8_t g_ucIconPickerMode;
extern WINDOW *g_pIconPickerWindow;

void Ui_OpenIconPicker(uint8_t mode);
void Ui_DrawIconPicker(void *user);
void Ui_IconPickerLeft();
void Ui_IconPickerRight();
void Ui_IconPickerUp();
void Ui_IconPickerDown();
void Ui_IconPickerChoose();
void Ui_IconPickerClose();
