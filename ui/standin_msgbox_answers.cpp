// Stand-ins until the pop-ups, the busy box and the card screens are built: the answers the
// operation-result boxes give, and the busy box's current operation.
#include "core/padbind.h"

#include <cstdint>

void Ui_FormatResultClosed(uint8_t)
{
}

// Back to the library pop-up the operation came from.
void Ui_ReturnToPopup(uint8_t)
{
    g_iNextScreen = 9;
}

void Ui_LeaveToGrid(uint8_t)
{
    g_iNextScreen = 0;
}

int32_t Ui_StandinBusyOperation()
{
    return 0;
}
