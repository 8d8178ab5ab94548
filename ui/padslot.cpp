#include "ui/padslot.h"

#include "app/calllog.h"
#include "app/startup.h"
#include "core/padbind.h"
#include "ui/gridstate.h"
#include "ui/mouse.h"
#include "ui/requesters.h"
#include "ui/view.h"

#include <cstring>

const POINTERTOOL g_atPointerTools[UI_POINTER_TOOLS] = {
    {642, "None"},
    {551, "Paste riff"},
    {551, "Paste clip"},
    {548, "Delete riff"},
    {548, "Delete clip"},
    {553, "Select area"},
    {553, "Paste area"},
    {556, "Riff Editor"},
    {556, "Clip Editor"},
    {546, "Set length"},
    {549, "Set size"},
    {555, "Change riff volume"},
    {552, "Resize riff"},
    {552, "Resize clip"},
    {547, "Clone riff"},
    {550, "Expand/collapse clip"},
    {554, "Split Riff"},
    {642, "None"},
    {546, "Change note length"},
    {642, "Edit volume track"},
    {642, "Edit BPM track"},
    {642, "Edit reverb track"},
    {642, "Edit key track"},
};
const POINTERTOOL *g_apScreenPointerTool[UI_POINTER_SCREENS];
const POINTERTOOL *g_pPointerTool = &g_atPointerTools[0];
const char *g_pszPointerPrompt = nullptr;
void (*g_pfnGridHover)(int32_t kind) = nullptr;

void Ui_ApplyNextScreen()
{
    if (g_iNextScreen != -1) {
        g_iScreen = g_iNextScreen;
        g_iNextScreen = -1;
    }
}

void Ui_RunPadSlot(int32_t slot)
{
    if (g_iScreen >= 0 && g_iScreen < PAD_SCREENS && slot >= 0 && slot < PAD_SLOTS) {
        const uint16_t cell = g_PadBindings.auCell[g_iScreen][slot];
        // A raw cell has no action of its own: index 0 would call an unrelated handler.
        const uint32_t index = cell & BIND_INDEX_MASK;
        if (cell != 0 && !(cell & BIND_RAW) && index < uint32_t(g_nPadActions) && g_apfnPadActions[index])
            g_apfnPadActions[index]();
    }
    Ui_ApplyNextScreen();
}

void Ui_SetScreenPointerMode(int32_t screen, int32_t record)
{
    if (screen >= 0 && screen < UI_POINTER_SCREENS && record >= 0 && record < UI_POINTER_TOOLS)
        g_apScreenPointerTool[screen] = &g_atPointerTools[record];
}

void Ui_InitPointerModes()
{
    // Screens 76-79 have no tool of their own: the plain pointer.
    for (int s = 0; s < UI_POINTER_SCREENS; s++)
        Ui_SetScreenPointerMode(s, 0);
    static const int8_t kModes[][2] = {{0, 1},   {2, 5},   {3, 6},   {7, 2},   {8, 15},  {12, 10}, {32, 9},
                                       {34, 9},  {46, 9},  {65, 5},  {66, 7},  {67, 8},  {68, 12}, {69, 14},
                                       {70, 11}, {71, 16}, {72, 15}, {73, 13}, {74, 14}, {75, 18}};
    for (const auto &m : kModes)
        Ui_SetScreenPointerMode(m[0], m[1]);
}

void Ui_UpdatePointerMode()
{
    g_pPointerTool = &g_atPointerTools[0];
    const WINDOW *grid = g_atWindowRoles[UI_ROLE_GRID].window;
    if (grid && g_pGridView && g_pFocusWidget == grid && Ui_PointerInWindow(grid)) {
        const VIEWWIDGET *v = g_pGridView;
        const UIRECT cells{int16_t(grid->x + v->head.x), int16_t(grid->y + v->head.y),
                           int16_t(v->cellWidth * (v->ringColumns - 2)), int16_t(v->cellHeight * (v->ringRows - 2))};
        if (Ui_PointerInRect(&cells)) {
            const int32_t row = Ui_GridCursorRowClamped();
            const WINDOW *preview = g_atWindowRoles[UI_ROLE_PREVIEW].window;
            const bool keepPlain =
                g_ucGridKind == 1 && preview && (Ui_PointerInWindow(preview) || row >= g_ucGridRowCount);
            if (!keepPlain) {
                if (g_iScreen == 0)
                    g_pPointerTool = &g_atPointerTools[g_ucGridPasteMode ? 1 : 3];
                else if (g_iScreen == 7)
                    g_pPointerTool = &g_atPointerTools[g_ucGridPasteMode ? 2 : 4];
                else if (g_iScreen >= 0 && g_iScreen < UI_POINTER_SCREENS && g_apScreenPointerTool[g_iScreen])
                    g_pPointerTool = g_apScreenPointerTool[g_iScreen];
                // The event lanes name their own track.
                static const int8_t kLaneTools[4] = {19, 21, 20, 22};
                if (row >= 99 && row <= 102)
                    g_pPointerTool = &g_atPointerTools[kLaneTools[row - 99]];
                if (g_pfnGridHover)
                    g_pfnGridHover(g_ucGridKind);
            }
        }
    }
    if (std::strcmp(g_pPointerTool->prompt, "None") != 0)
        g_pszPointerPrompt = g_pPointerTool->prompt;
    g_pPointerShape = &g_pPointerTool->image;
}

void Ui_ToolResizeRiff() { g_iNextScreen = 68; }
void Ui_ToolCloneRiff() { g_iNextScreen = 69; }
void Ui_ToolChangeRiffVolume() { g_iNextScreen = 70; }
void Ui_ToolSplitRiff() { g_iNextScreen = 71; }
void Ui_ToolExpandClip() { g_iNextScreen = 72; }
void Ui_ToolChangeNoteLength() { g_iNextScreen = 75; }

void Ui_EscapeAction()
{
    Sys_CallLog("Ui_EscapeAction");
    if (g_iScreen == 0 || g_iScreen == 7)
        Ui_AskQuit();
    else
        Ui_RunPadSlot(12);
}
