#include "ui/gridstate.h"

#include "ui/mouse.h"
#include "ui/view.h"

uint8_t g_ucGridKind = 0;
uint8_t g_ucGridRowCount = 6;
uint8_t g_ucGridPasteMode = 1;
uint8_t g_ucScreenSubState = 0;
int16_t g_sGridCursorX = 0, g_sGridCursorY = 0;
uint8_t g_ucHelpTopic = 0;
uint8_t g_ucOptionPageMode = 0;

int32_t Ui_GridCursorRowClamped()
{
    const int32_t first = g_pGridView ? g_pGridView->firstRow : -1;
    const int32_t row = first + 1 + g_sGridCursorY;
    return row < 0 ? 0 : row;
}
