#include "ui/textfield.h"

#include "render/fonts.h"
#include "render/framecycle.h"
#include "render/gpustate.h"
#include "render/ordertable.h"
#include "render/prims2d.h"
#include "render/texpages.h"
#include "ui/caption.h"
#include "ui/mouse.h"

#include <cstring>

TEXTFIELD g_atTextFields[UI_TEXTFIELDS];
int32_t g_iKeyRepeatCount = 0;
int32_t g_bKeyHeldMark = 0;
int32_t g_bKeyFirstPress = 1;

namespace {

void BuildBevel(BEVELSET *set, int32_t x, int32_t y, int32_t w, int32_t h, bool raised)
{
    const uint8_t *light = g_aabBevelSchemes[g_ucUiColourScheme & 1][0];
    const uint8_t *dark = g_aabBevelSchemes[g_ucUiColourScheme & 1][1];
    const uint8_t *topLeft = raised ? light : dark, *bottomRight = raised ? dark : light;
    const int32_t lines[4][4] = {
        {x, y, x + w - 1, y}, {x, y, x, y + h - 1}, {x + w, y + 1, x + w, y + h}, {x + 1, y + h, x + w - 1, y + h}};
    for (auto &half : set->lines)
        for (int i = 0; i < 4; i++) {
            const uint8_t *c = i < 2 ? topLeft : bottomRight;
            Gfx_SetLinePacket(half[i], lines[i][0], lines[i][1], lines[i][2], lines[i][3], c[0], c[1], c[2]);
        }
}

} // namespace

void Ui_InitTextFieldPool()
{
    for (TEXTFIELD &f : g_atTextFields) {
        std::memset(&f, 0, sizeof f);
        f.head.flags = WIDGET_FREE;
    }
}

TEXTFIELD *Ui_CreateTextField(const TEXTFIELDDESC *desc)
{
    if (!desc)
        return nullptr;
    TEXTFIELD *f = nullptr;
    for (TEXTFIELD &c : g_atTextFields)
        if (c.head.flags & WIDGET_FREE) {
            f = &c;
            break;
        }
    if (!f)
        return nullptr;
    std::memset(f, 0, sizeof *f);
    f->head.kind = WIDGET_TEXTFIELD;
    f->head.x = uint16_t(desc->x);
    f->head.y = uint16_t(desc->y);
    f->head.w = uint16_t(desc->w);
    f->head.h = uint16_t(desc->h);
    // Every text field drags its window and holds the close box.
    f->head.press = Ui_CaptionMouse;
    f->head.held = Ui_CaptionMouse;
    f->head.release = Ui_CaptionRelease;
    Ui_BuildInsetBevel(&f->bevel, desc->x, desc->y, desc->w, desc->h);
    for (auto &q : f->quad) {
        PACKET_GOURAUD_QUAD_T g{};
        g.head = PACKET{0, 9, 0, 0, 0, PACKET_GOURAUD_QUAD};
        g.x0 = desc->x;
        g.y0 = desc->y;
        g.v[0] = {desc->r, desc->g, desc->b, 0, int16_t(desc->x + desc->w), desc->y};
        g.v[1] = {0, 0, 0, 0, desc->x, int16_t(desc->y + desc->h)};
        g.v[2] = {desc->r, desc->g, desc->b, 0, int16_t(desc->x + desc->w), int16_t(desc->y + desc->h)};
        std::memcpy(q, &g, sizeof g);
    }
    f->text = desc->text;
    f->style = desc->style;
    if (desc->parent)
        Ui_AttachWidget(desc->parent, &f->head);
    return f;
}

void Ui_BuildRaisedBevel(BEVELSET *set, int32_t x, int32_t y, int32_t w, int32_t h)
{
    if (set)
        BuildBevel(set, x, y, w, h, true);
}

void Ui_BuildInsetBevel(BEVELSET *set, int32_t x, int32_t y, int32_t w, int32_t h)
{
    if (set)
        BuildBevel(set, x, y, w, h, false);
}

void Ui_LinkBevel(const BEVELSET *set)
{
    if (!set)
        return;
    const auto &l = set->lines[g_iFrameBufferIndex & 1];
    for (int i : {2, 0, 1, 3})
        Ui_LinkPacket(l[i], UI_LINE_BYTES);
}

int32_t Ui_TextFieldTextX(int32_t x, int32_t w, uint8_t style, int32_t textWidth)
{
    const bool icon = !(style & TEXTFIELD_NO_ICON);
    const int32_t start = icon ? x + 17 : x + 3, width = icon ? w - 1 + 14 : w - 1;
    if (!(style & TEXTFIELD_CENTRED))
        return start;
    // Centred on the area's middle: the text's own centring takes half its width off.
    const int32_t centre = icon ? (start - 16 + width) / 2 : (start + width) / 2;
    return centre - (textWidth >> 1);
}

void Ui_DrawTextField(TEXTFIELD *field)
{
    if (!field)
        return;
    const WIDGET &w = field->head;
    const int32_t y = w.y + 2;
    g_pFont = &g_tFontMain;
    const uint32_t colour = g_uiTextColour;
    g_uiTextColour = 0x808080;
    const char *text = field->text ? field->text : "";
    const int32_t x = Ui_TextFieldTextX(w.x, w.w, field->style, Gfx_GetTextWidth(text));
    if ((w.flags & WIDGET_TEXT_CURSOR) && g_iBlinkPhase < 6)
        Gfx_DrawText("_", x + Gfx_GetTextWidth(text), y, g_pOrderingTable);
    Gfx_DrawText(text, x, y, g_pOrderingTable);
    if (!(field->style & TEXTFIELD_NO_ICON))
        Gfx_AddImageSprite(Gfx_GetImage(UI_TEXTFIELD_ICON), w.x + 2, w.y + 2, 128, 128, 128);
    g_uiTextColour = colour;
    Ui_LinkBevel(&field->bevel);
    Ui_LinkPacket(field->quad[g_iFrameBufferIndex & 1], UI_SHADED_BYTES);
}

void Ui_DrawIconButton(const ICONBUTTON *button, int32_t index, int32_t selectedIndex)
{
    if (!button || button->image == 0)
        return;
    const bool disabled = button->flags & 1;
    int32_t image = button->image;
    uint8_t brightness = 128;
    if (disabled && button->disabledImage)
        image = button->disabledImage;
    if (disabled && !button->disabledImage)
        brightness = 48;
    else if (g_iBlinkPhase < 6 && index == selectedIndex && Ui_IsUpdatingWindowFocused())
        brightness = 64;
    Gfx_AddImageSprite(Gfx_GetImage(image), button->x, button->y, brightness, brightness, brightness);
    if (button->backdropImage)
        Gfx_AddImageSprite(Gfx_GetImage(button->backdropImage), button->x - 1, button->y - 1, 128, 128, 128);
}

void Ui_KeyRepeatTick()
{
    if (!g_bKeyHeldMark) {
        g_iRepeatDelay = 0;
        g_iKeyRepeatCount = 0;
        g_bKeyFirstPress = 1;
    } else if (g_iKeyRepeatCount < 12) {
        g_iKeyRepeatCount++;
    }
    g_bKeyHeldMark = 0;
}
