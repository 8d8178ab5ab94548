// Stand-ins until the grid screens and the card screens are built:
// the answers the operation-result boxes give.
#include "core/padbind.h"

#include <cstdint>

void Ui_FormatResultClosed(uint8_t)
{
}

void Ui_LeaveToGrid(uint8_t)
{
    g_iNextScreen = 0;
}
