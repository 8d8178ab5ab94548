// The text field (widget kind 4): a one-line caption on a colour gradient inside an inset bevel,
// the title bar of pop-ups, boxes and panels; the bevel builders that boxes and panels share; and
// the key-repeat counter of text entry and sliders.
#pragma once

#include "ui/widgets.h"

#include <cstdint>

enum : uint8_t
{
    TEXTFIELD_CENTRED = 1,
    TEXTFIELD_NO_ICON = 2,
    TEXTFIELD_NO_DRAG = 4,
};

// Interface image of the field's icon.
constexpr int32_t UI_TEXTFIELD_ICON = 813;

// Four lines (top, left, right, bottom) for each half.
struct BEVELSET
{
    uint8_t lines[UI_HALVES][4][UI_LINE_BYTES];
};

struct TEXTFIELDDESC
{
    const char *text;
    int16_t x, y, w, h;
    WINDOW *parent;
    uint8_t r, g, b;
    uint8_t style;
};

struct TEXTFIELD
{
    WIDGET head;
    BEVELSET bevel;
    uint8_t quad[UI_HALVES][UI_SHADED_BYTES];
    const char *text; // not copied: the owner may change the caption between frames
    uint8_t style;
};

struct ICONBUTTON
{
    int16_t x, y;
    int16_t image, disabledImage, backdropImage;
    int16_t user0, user1;
    uint32_t flags; // bit 0 disabled
};

extern TEXTFIELD g_atTextFields[UI_TEXTFIELDS];
extern int32_t g_iKeyRepeatCount;
extern int32_t g_bKeyHeldMark;
extern int32_t g_bKeyFirstPress;

void Ui_InitTextFieldPool();
// Null when all seven are in use.
TEXTFIELD *Ui_CreateTextField(const TEXTFIELDDESC *desc);
void Ui_BuildRaisedBevel(BEVELSET *set, int32_t x, int32_t y, int32_t w, int32_t h);
void Ui_BuildInsetBevel(BEVELSET *set, int32_t x, int32_t y, int32_t w, int32_t h);
void Ui_LinkBevel(const BEVELSET *set);
void Ui_DrawTextField(TEXTFIELD *field);
// Where the caption starts: x of a left-aligned or centred text of `textWidth` pixels.
int32_t Ui_TextFieldTextX(int32_t x, int32_t w, uint8_t style, int32_t textWidth);
void Ui_DrawIconButton(const ICONBUTTON *button, int32_t index, int32_t selectedIndex);
void Ui_KeyRepeatTick();
