// The pad binding table: for each of the 80 screen ids, which handler each of the 16 pad slots
// runs and on which edge (press, held, release). Built once at start-up from the data below;
// the dispatch rules are those of Sys_PadDispatch.
#pragma once

#include "core/padbind.h"

#include <cstdint>

struct PADBINDENTRY
{
    uint8_t screen;
    uint8_t slot;
    PADACTION action; // null: a raw cell that runs nothing but blocks
    uint16_t kind;
};

constexpr int UI_SCREEN_BINDINGS = 320;
constexpr int UI_PAGE_MENU_SCREENS = 20;
extern const PADBINDENTRY g_atScreenBindings[UI_SCREEN_BINDINGS];
extern const uint8_t g_aucPageMenuScreens[UI_PAGE_MENU_SCREENS];

void Ui_BindPageMenuSlots(int32_t screen);
void Ui_BindScreenButtons();
void Ui_InitScreenPrompts();
