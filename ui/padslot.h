// Pad slots run by the mouse, the rule by which a requested screen change takes effect, and the
// pointer tools: the pointer image and top-bar prompt of each screen.
#pragma once

#include <cstdint>

// Runs the current screen's binding for the slot at once, whatever its edge kind, then applies a
// pending screen change. A raw or empty cell runs nothing; the screen change still applies.
void Ui_RunPadSlot(int32_t slot);
// Makes g_iNextScreen current when one is pending.
void Ui_ApplyNextScreen();
// Escape outside text entry: backs out through the screen's slot 12; on the grids (screens 0 and 7)
// it asks whether to quit.
void Ui_EscapeAction();

struct POINTERTOOL
{
    int32_t image;  // interface image of the pointer
    const char *prompt; // the top-bar prompt; "None" leaves the prompt alone
};
constexpr int UI_POINTER_TOOLS = 23;
constexpr int UI_POINTER_SCREENS = 80;
extern const POINTERTOOL g_atPointerTools[UI_POINTER_TOOLS];
extern const POINTERTOOL *g_apScreenPointerTool[UI_POINTER_SCREENS];
extern const POINTERTOOL *g_pPointerTool;
// The prompt the pointer tool last asked the top bar for (null: none yet).
extern const char *g_pszPointerPrompt;

void Ui_SetScreenPointerMode(int32_t screen, int32_t record);
void Ui_InitPointerModes();
// Per frame in mouse mode without a jam: picks the tool for the pointer over the grid cells.
void Ui_UpdatePointerMode();
// The hover hook of the grid kind, run after the tool is picked; set by the grid screens.
extern void (*g_pfnGridHover)(int32_t kind);

// Tool menu actions: each switches the grid into a click mode.
void Ui_ToolResizeRiff();
void Ui_ToolCloneRiff();
void Ui_ToolChangeRiffVolume();
void Ui_ToolSplitRiff();
void Ui_ToolExpandClip();
void Ui_ToolChangeNoteLength();
